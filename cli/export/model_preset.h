// The command's preset for models: a model is exported as its author made it, so what
// the settings dialog leaves off for scene files (its defaults stay those of Korvo) is
// turned on where the model has it.
#pragma once

#include <cstddef>

#include "korvo/host/host.h"

namespace korvo::cli {

// What the preset asks of a model, learnt once it is read.
struct ModelFacts {
    bool animated = false;  // an object of the model has keys
    size_t takes = 0;       // the model's animations
    bool normals = false;   // a polygon object of the model keeps normals of its own
};

// `user` with the preset's changes ahead of it: an animated model keeps its animation,
// states its frame rate and moves every animated object, not only bones; a model of
// several animations writes them all; a model that carries normals keeps them. An
// element the user sets, on or off, is left to the user.
DialogScript applyModelPreset(const DialogScript& user, const ModelFacts& facts);

}  // namespace korvo::cli
