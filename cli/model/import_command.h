// `korvo import MODEL -o SCENE.korvo.json`: a model file as a scene file.
#pragma once

#include "cli/command.h"

namespace korvo::cli {

Subcommand addImportCommand(CLI::App& korvo);

}  // namespace korvo::cli
