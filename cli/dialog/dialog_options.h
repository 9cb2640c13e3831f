// The options that set the settings dialog's elements as a user would, and the order
// in which they are applied: an element before the elements it enables.
#pragma once

#include <CLI/CLI.hpp>

#include <string>
#include <vector>

#include "korvo/host/host.h"

namespace korvo::cli {

class DialogOptions {
public:
    // Adds --smoothing-angle, --frames/--no-frames, ..., --cancel to `command`; the
    // "Export frames" switch under another name where the command's own --frames means
    // something else.
    void addTo(CLI::App& command, const char* framesSwitch = "frames");
    // The user's changes in dependency order; false with `error` (one line) when a value
    // is malformed.
    bool script(DialogScript& out, std::string& error) const;
    // Each option's help as the dialog stands in `dialog` (the settings a save starts
    // with): the element, its value there and the options that enable it.
    void describe(const DialogSnapshot& dialog);
    // One line for a change the dialog refused: "--ticks-per-frame needs --animation ...".
    std::string refusalMessage(const DialogRefusal& refusal) const;

private:
    // The options that enable `element`, with the name this command gives the "Export
    // frames" switch; "" when it is always enabled.
    std::string neededOptions(int32_t element) const;

    struct Switch {
        const char* name;
        int32_t element;
        bool value = false;
        CLI::Option* option = nullptr;
    };
    struct Numbers {
        const char* name;
        std::vector<int32_t> elements;  // one number per element
        bool integer = false;
        std::string text;
        CLI::Option* option = nullptr;
    };
    // One entry per element group, in the order the changes are applied.
    struct Entry {
        bool isSwitch;
        size_t index;
    };
    std::vector<Switch> switches_;
    std::vector<Numbers> numbers_;
    std::vector<Entry> order_;
    bool cancel_ = false;
    std::string framesSwitch_ = "frames";
};

}  // namespace korvo::cli
