// The help text's layout: a switch and its negation as "--frames, --no-frames", without
// the parser's notation of the value each one sets.
#pragma once

#include <CLI/CLI.hpp>

#include <string>

namespace korvo::cli {

class HelpFormat : public CLI::Formatter {
public:
    HelpFormat();
    std::string make_option_name(const CLI::Option* option, bool positional) const override;
};

}  // namespace korvo::cli
