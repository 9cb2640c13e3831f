// `korvo import`: a model file of any format the reader knows, as a Korvo scene.
#pragma once

#include <string>
#include <vector>

#include "korvo/import/scene_from_model.h"
#include "korvo/import/texture_paths.h"
#include "korvo/scene.h"

namespace korvo::import {

// Where the scene's texture names are to lead: `target` is the file the scene is written
// to (texture names become paths relative to its folder, texture_paths.h); the model's
// embedded images to write beside it come back in `images`, for writeImages() once the
// target is written.
struct TextureOutput {
    std::string target;
    bool copyBeside = false;  // every image found copied beside the target (texture_paths.h)
    std::vector<ImageFile> images;
    ProtectedFiles protectedFiles;  // never an image's file (texture_paths.h)
    std::function<bool(const std::string& path)> claim;  // a batch's reservation of an image's file
};

// False with one line naming the file and the reader's reason in `error` when the file
// cannot be read, its format is unknown or it holds no polygon mesh. Things the scene
// cannot keep (shear, lines, further animations) go to `note`, one line each. Without
// `textures` the texture names stay as the model stores them.
bool importModel(const std::string& path, Scene& out, std::string& error, const NoteSink& note,
                 const ImportChoices& choices = {}, TextureOutput* textures = nullptr);

}  // namespace korvo::import
