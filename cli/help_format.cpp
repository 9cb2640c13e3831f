#include "cli/help_format.h"

namespace korvo::cli {

HelpFormat::HelpFormat() { column_width(44); }

std::string HelpFormat::make_option_name(const CLI::Option* option, bool positional) const {
    const std::string name = CLI::Formatter::make_option_name(option, positional);
    // "--frames,--no-frames{false}": the braces give the value a negated flag stores.
    std::string out;
    bool inBraces = false;
    for (char c : name) {
        if (c == '{') inBraces = true;
        else if (c == '}') inBraces = false;
        else if (!inBraces) out += c == ',' ? std::string(", ") : std::string(1, c);
    }
    return out;
}

}  // namespace korvo::cli
