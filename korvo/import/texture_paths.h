// Texture references a reader can follow: a model stores its image names as its author's
// machine had them (absolute, backslashed, with a drive letter, or an embedded image's
// "*N"). The import finds each image from the model's folder and names it relative to the
// folder the written file goes into.
#pragma once

#include <string>

#include "korvo/import/model_data.h"
#include "korvo/import/scene_from_model.h"

namespace korvo::import {

struct TexturePlacement {
    std::string modelPath;     // the model the references come from
    std::string targetPath;    // the file written: names become relative to its folder
};

// The image file `stored` refers to, searched from `modelFolder`: as given (either slash
// kind), without its drive prefix, then by its file name in the model's folder and its
// subfolders (a bounded search). Empty when nothing is found.
std::string findTexture(const std::string& stored, const std::string& modelFolder);

// Rewrites the texture references of `model` for `placement`: found images by their path
// relative to the target's folder with forward slashes; embedded images written once
// beside the target (TARGET_NAME.png, TARGET_NAME_1.jpg, ... by their own format) and
// named by that file. A reference that cannot be followed keeps its stored name and gets
// one note. False with the reason in `error` when an embedded image cannot be written.
bool placeTextures(ModelData& model, const TexturePlacement& placement, std::string& error, const NoteSink& note);

}  // namespace korvo::import
