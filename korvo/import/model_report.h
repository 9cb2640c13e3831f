// The text `korvo check` prints about a model: frames with their nesting, meshes,
// materials and textures, bones, animations and their keys.
#pragma once

#include <string>

#include "korvo/import/model_data.h"

namespace korvo::import {

std::string describeModel(const ModelData& model);

}  // namespace korvo::import
