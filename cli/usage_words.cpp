#include "cli/usage_words.h"

#include <algorithm>
#include <vector>

namespace korvo::cli {

namespace {

// The value of each option that takes one; "" as the subcommand matches any.
struct ValueWords {
    const char* subcommand;
    const char* option;
    const char* words;
    const char* example;
};

const ValueWords kValueWords[] = {
    {"export", "--output", "the .x file to write, or a folder ending in /", "out.x"},
    {"import", "--output", "the scene file to write", "model.korvo.json"},
    {"preview", "--output", "the PNG file to write", "preview.png"},
    {"", "--jobs", "a number of workers", "4"},
    {"", "--module", "the module's path", "build/module/dorna.so"},
    {"", "--reader-time-limit", "a number of seconds", "120"},
    {"", "--animation-index", "an animation's number (from 0) or name", "0"},
    {"", "--poses", "a number of poses", "6"},
    {"", "--size", "the picture's WIDTHxHEIGHT", "800x600"},
    {"", "--smoothing-angle", "an angle in degrees", "30"},
    {"", "--ticks-per-frame", "a whole number of ticks", "160"},
    {"", "--distance-per-frame", "a whole number of frames", "2"},
    {"", "--scale", "three percentages X,Y,Z", "50,50,50"},
    {"", "--face-color", "four numbers R,G,B,A from 0 to 1", "1,0,0,1"},
    {"", "--specular-color", "four numbers R,G,B,A from 0 to 1", "1,1,1,1"},
    {"", "--emissive-color", "four numbers R,G,B,A from 0 to 1", "0,0,0,1"},
    {"", "--specular-power", "a number", "20"},
};

// Edits (insert, delete, replace, swap two neighbours) that turn `a` into `b`.
size_t editDistance(const std::string& a, const std::string& b) {
    std::vector<std::vector<size_t>> d(a.size() + 1, std::vector<size_t>(b.size() + 1));
    for (size_t i = 0; i <= a.size(); ++i) d[i][0] = i;
    for (size_t j = 0; j <= b.size(); ++j) d[0][j] = j;
    for (size_t i = 1; i <= a.size(); ++i)
        for (size_t j = 1; j <= b.size(); ++j) {
            d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + (a[i - 1] == b[j - 1] ? 0 : 1)});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
                d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
        }
    return d[a.size()][b.size()];
}

}  // namespace

std::string valueNeeded(const std::string& subcommand, const CLI::Option& option, const std::string& spelled) {
    const std::string name = "--" + (option.get_lnames().empty() ? std::string() : option.get_lnames().front());
    for (const ValueWords& w : kValueWords)
        if (name == w.option && (*w.subcommand == '\0' || subcommand == w.subcommand))
            return spelled + " needs " + w.words + ", e.g. " + spelled + " " + w.example;
    return spelled + " needs a value (" + option.get_type_name() + ")";
}

std::string nearestName(const std::string& typed, const std::vector<std::string>& names) {
    std::string best;
    size_t bestDistance = 0;
    for (const std::string& name : names) {
        const size_t d = editDistance(typed, name);
        if (best.empty() || d < bestDistance) best = name, bestDistance = d;
    }
    // A slip of a letter or two, more in a long name; a name of two letters names nothing near.
    const size_t allowed = std::max<size_t>(1, std::min<size_t>(3, typed.size() / 4));
    return !best.empty() && typed.size() > 2 && bestDistance <= allowed ? best : "";
}

std::string nearestOption(const CLI::App& command, const std::string& unknown) {
    std::vector<std::string> names;
    for (const CLI::Option* option : command.get_options()) {
        if (option->get_group().empty()) continue;  // hidden: a spelling that is refused
        for (const std::string& l : option->get_lnames()) names.push_back("--" + l);
        for (const std::string& s : option->get_snames()) names.push_back("-" + s);
    }
    return nearestName(unknown.substr(0, unknown.find('=')), names);
}

}  // namespace korvo::cli
