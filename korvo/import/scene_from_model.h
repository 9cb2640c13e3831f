// Turns a model as the reader delivers it into the scene an artist would have in the
// host: the host's space, placements as position, rotation vector and scale, one polygon
// object per mesh, materials as channels, skeletons as bone objects with rest entries,
// and the first animation sampled into keys.
#pragma once

#include <functional>
#include <string>

#include "korvo/import/model_data.h"
#include "korvo/scene.h"

namespace korvo::import {

// Receives one console line about something the scene cannot hold as the model has it.
using NoteSink = std::function<void(const std::string&)>;

// False, with the reason in `error`, when the model holds no polygon mesh.
bool sceneFromModel(const ModelData& model, Scene& out, std::string& error, const NoteSink& note);

// The frame rate of the scene made from `model`: the rate the model states, else the
// tick rate of its first animation when that is a plausible frame rate, else 30.
int32_t sceneFrameRate(const ModelData& model);

}  // namespace korvo::import
