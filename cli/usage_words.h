// What a mistyped command line is told in words: the value an option needs, with an
// example, and the known option nearest to a misspelt one.
#pragma once

#include <CLI/CLI.hpp>

#include <string>
#include <vector>

namespace korvo::cli {

// "-j needs a number of workers, e.g. -j 4": `spelled` is the name the user typed.
std::string valueNeeded(const std::string& subcommand, const CLI::Option& option, const std::string& spelled);

// The one of `names` nearest to `typed` ("exprot" -> "export"), or "" when none is
// near enough to be what the user meant.
std::string nearestName(const std::string& typed, const std::vector<std::string>& names);

// The option of `command` nearest to `unknown` ("--animaton" -> "--animation"), or ""
// when none is near enough to be what the user meant.
std::string nearestOption(const CLI::App& command, const std::string& unknown);

}  // namespace korvo::cli
