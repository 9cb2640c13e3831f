// Turns a model as the reader delivers it into the scene an artist would have in the
// host: the host's space, placements as position, rotation vector and scale, one polygon
// object per mesh, materials as channels, skeletons as bone objects with rest entries,
// and the first animation sampled into keys.
#pragma once

#include <functional>
#include <string>

#include "korvo/import/model_data.h"
#include "korvo/scene/scene.h"

namespace korvo::import {

// Receives one console line about something the scene cannot hold as the model has it.
using NoteSink = std::function<void(const std::string&)>;

struct ImportChoices {
    std::string animation;  // the current take: its index or its name; empty: the first
    // Notes on what the scene leaves out of skins and of animations; off where the scene
    // is read for an export that writes none.
    bool noteSkins = true;
    bool noteAnimations = true;
    // Polygon objects get their geometry as MeshArrays, ready for a document that an
    // export reads, instead of the records a scene file holds.
    bool documentArrays = false;
};

// False, with the reason in `error`, when the model holds no polygon mesh, nests its
// nodes too deep or has no animation `choices.animation`.
bool sceneFromModel(const ModelData& model, Scene& out, std::string& error, const NoteSink& note,
                    const ImportChoices& choices = {});

// The index of the animation `choice` names (its index or its name; empty: 0), -1 when
// the model has none of that index or name.
int chosenAnimation(const ModelData& model, const std::string& choice);

// The frame rate of the scene made from `model`: the rate the model states, else the
// tick rate of the animation kept (index `animation`) when that is a plausible frame
// rate, else 30.
int32_t sceneFrameRate(const ModelData& model, int animation = 0);

}  // namespace korvo::import
