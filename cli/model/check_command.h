// `korvo check FILE.x`: what an independent reader sees in a written file.
#pragma once

#include "cli/command.h"

namespace korvo::cli {

Subcommand addCheckCommand(CLI::App& korvo);

}  // namespace korvo::cli
