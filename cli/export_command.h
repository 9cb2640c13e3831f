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
    DialogOptions dialog;
};

// Exports as `korvo export` does, messages included; the exit status. `written`, when
// given, receives the paths of the files the module wrote.
int runExport(ExportArguments& a, std::vector<std::string>* written = nullptr);

// The target can be written as every command writes one (korvo/target_file.h): a file
// name whose folder exists and is writable, a device, or "-", and none of `inputs`;
// otherwise false with the reason in `error`.
bool targetFolderUsable(const std::string& target, std::string& error, const std::vector<std::string>& inputs = {});

}  // namespace korvo::cli
