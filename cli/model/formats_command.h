// `korvo formats`: the model formats `korvo import` and `korvo export` read.
#pragma once

#include "cli/command.h"

namespace korvo::cli {

Subcommand addFormatsCommand(CLI::App& korvo);

}  // namespace korvo::cli
