// Texture references a reader can follow: a model stores its image names as its author's
// machine had them (absolute, backslashed, with a drive letter, or an embedded image's
// "*N"). The import finds each image from the model's folder and names it relative to the
// folder the written file goes into.
#pragma once

#include <string>
#include <vector>

#include "korvo/import/model_data.h"
#include "korvo/import/scene_from_model.h"
#include "korvo/files/write_plan.h"
#include "korvo/scene/scene.h"

namespace korvo::import {

struct TexturePlacement {
    std::string modelPath;     // the model (or scene file) the references come from
    std::string targetPath;    // the file written: names become relative to its folder
    bool copyBeside = false;   // copy every image found into the target's folder, named bare
    // The command's plan of what it writes, which names and checks each image's file
    // (embedded or copied); null: nothing but the target is protected, every name is free.
    const WritePlan* plan = nullptr;
};

// An embedded image to write beside the target, once the target itself is written.
struct ImageFile {
    std::string path;
    std::vector<unsigned char> bytes;
};

// Where the scene's texture names are to lead: `target` is the file the scene is written
// to (texture names become paths relative to its folder); the model's
// embedded images to write beside it come back in `images`, for writeImages() once the
// target is written.
struct TextureOutput {
    std::string target;
    bool copyBeside = false;  // every image found copied beside the target
    std::vector<ImageFile> images;
    const WritePlan* plan = nullptr;  // names and checks each image's file
};

// The image file `stored` refers to, searched from `modelFolder`: as given (either slash
// kind), without its drive prefix, then by its file name in the model's folder and its
// subfolders (a bounded search), where a name in another letter case is taken when no
// file has the name as stored (models made on Windows name "Wood.JPG" for "wood.jpg").
// Empty when nothing is found; `note` hears which file was taken of several such names.
std::string findTexture(const std::string& stored, const std::string& modelFolder, const NoteSink& note);

// Rewrites the texture references of `model` for `placement`: found images by their path
// relative to the target's folder with forward slashes (with `copyBeside`, by the bare
// name of their copy beside the target: their own name, or NAME_1.EXT, ... where a
// different file has it; the copies go to `images`); embedded images by the file they
// are to be written to beside the target (TARGET_NAME.png, TARGET_NAME_1.jpg, ... by their
// own format, one of a fixed list of image formats), which go to `images` (an earlier
// file of the same bytes is used again and not listed). A reference that cannot be
// followed keeps its stored name and gets one note. Nothing goes beside a target that
// is standard output, a device or a FIFO: every name is kept as stored, with a note for
// each embedded image.
void placeTextures(ModelData& model, const TexturePlacement& placement, std::vector<ImageFile>& images,
                   const NoteSink& note);

// The same for the texture names of a scene file's materials (`placement.modelPath` is the
// scene file): a name the scene's folder leads to is written relative to the target's
// folder, except that a stored name which already leads to that image from the target's
// folder is kept as it is. With `copyBeside` found images go to `images` as for a model.
void placeSceneTextures(Scene& scene, const TexturePlacement& placement, std::vector<ImageFile>& images,
                        const NoteSink& note);

// Writes `images`, each whole or not at all and never over a file that appeared since
// they were placed (one of the same bytes is taken as it is). Call it only once the file
// that names them is written, so that a failed command leaves nothing new beside its
// target. False with "cannot write FILE: REASON" in `error` at the first that fails.
bool writeImages(const std::vector<ImageFile>& images, std::string& error);

}  // namespace korvo::import
