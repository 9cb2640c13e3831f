// The export that `korvo export` runs, for the subcommands that export first (preview).
#pragma once

#include <string>
#include <vector>

#include "cli/dialog/dialog_options.h"

namespace korvo::cli {

struct ExportArguments {
    std::vector<std::string> inputs;  // several with an output folder
    std::string output;               // a file, or a folder ending in a separator
    std::string module;
    bool timings = false;
    bool verbose = false;
    bool forPreview = false;  // into a private folder: no summary naming a file the user never sees
    bool forceName = false;  // a target file whose name does not end in .x
    unsigned jobs = 0;       // exports side by side into a folder; 0: one per core
    unsigned readerTimeLimit = 0;
    std::string animationChoice;
    bool keepTexturePaths = false;
    bool copyTextures = false;
    DialogOptions dialog;
};

// Exports as `korvo export` does, messages included; the exit status. `written`, when
// given, receives the paths of the files the module wrote, `images` those of a model's
// embedded images written beside them.
int runExport(const ExportArguments& a, std::vector<std::string>* written = nullptr,
              std::vector<std::string>* images = nullptr);

}  // namespace korvo::cli
