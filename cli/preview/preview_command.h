// `korvo preview FILE.x -o PREVIEW.png`: draws what an independent reader gets from a
// .x file (or from the export of a scene or model) into a PNG.
#pragma once

#include "cli/command.h"

namespace korvo::cli {

Subcommand addPreviewCommand(CLI::App& korvo);

}  // namespace korvo::cli
