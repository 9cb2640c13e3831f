// `korvo import MODEL -o SCENE.korvo.json`, and the model loading that `korvo export`
// uses for anything that is not a scene file.
#pragma once

#include <string>

#include "cli/command.h"
#include "korvo/scene.h"

namespace korvo::cli {

Subcommand addImportCommand(CLI::App& korvo);

// A model file of any format the reader knows, as a scene: notes about what the scene
// cannot hold go to standard error. False with one line in `error` for bad input.
bool loadModelAsScene(const std::string& path, Scene& out, std::string& error);

}  // namespace korvo::cli
