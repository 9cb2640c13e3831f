// `korvo import`: a model file of any format the reader knows, as a Korvo scene.
#pragma once

#include <string>
#include <vector>

#include "korvo/import/scene_from_model.h"
#include "korvo/import/texture_paths.h"
#include "korvo/scene/scene.h"

namespace korvo::import {

// False with one line naming the file and the reader's reason in `error` when the file
// cannot be read, its format is unknown or it holds no polygon mesh. Things the scene
// cannot keep (shear, lines, further animations) go to `note`, one line each. Without
// `textures` the texture names stay as the model stores them.
bool importModel(const std::string& path, Scene& out, std::string& error, const NoteSink& note,
                 const ImportChoices& choices = {}, TextureOutput* textures = nullptr);

}  // namespace korvo::import
