// What reads an input, decided by its name alone and alike in every command (export,
// batch, import, check, preview): a scene file ends in ".json" in any letter case
// (scene.korvo.json, SCENE.KORVO.JSON); any other file is a model for the model reader.
#pragma once

#include <string>

namespace korvo::cli {

// Whether `input` is a scene file.
bool isSceneFile(const std::string& input);

// When `input` names a folder, the line that says so (naming the files in it as what
// to give instead); otherwise "".
std::string folderGivenAsInput(const std::string& input);

// Whether `input` is read by the model reader: with import built in, any file that is
// not a scene file; without it, none.
bool readsModel(const std::string& input);

}  // namespace korvo::cli
