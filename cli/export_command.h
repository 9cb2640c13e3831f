// The export that `korvo export` runs, for the subcommands that export first (preview).
#pragma once

#include <string>
#include <vector>

#include "cli/dialog_options.h"

namespace korvo::cli {

struct ExportArguments {
    std::string scene;
    std::string output;
    std::string module;
    bool timings = false;
    unsigned readerTimeLimit = 0;
    std::string animationChoice;
    DialogOptions dialog;
};

// Exports as `korvo export` does, messages included; the exit status. `written`, when
// given, receives the paths of the files the module wrote.
int runExport(ExportArguments& a, std::vector<std::string>* written = nullptr);

// The folder the target goes into exists and is writable, and the target is no folder;
// otherwise false with the reason in `error`.
bool targetFolderUsable(const std::string& target, std::string& error);

}  // namespace korvo::cli
