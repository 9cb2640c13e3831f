// One export of one input to one target, through a module loaded once for every export
// of the session: what `korvo export` runs for a single file and each batch worker
// runs for its share of a batch.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "cli/dialog/dialog_options.h"
#include "korvo/host/host.h"
#include "korvo/host/module_loader.h"
#include "korvo/files/write_plan.h"

namespace korvo::cli {

struct ExportSettings {
    std::string modulePath;
    DialogScript script;
    const DialogOptions* dialog = nullptr;  // names the options of a refused change
    int64_t refuseAllocation = 0;           // KORVO_FAIL_ALLOC
    bool progress = false;                  // count the files of one export on standard error
    bool verbose = false;                   // --verbose: the module's start line too
    std::string animationChoice;            // --animation-index: the animation of a model that is the current take
    bool keepTexturePaths = false;          // --keep-texture-paths: a model's texture names as stored
    // Every file the command writes: the targets, and what may go beside them.
    WritePlan plan;
    bool copyTextures = false;              // --copy-textures: every image found copied beside the target
};

struct ExportResult {
    int status = 0;
    bool cancelled = false;
    std::vector<WrittenFile> files;
    std::vector<std::string> images;  // a model's embedded images written beside the files
    size_t objects = 0;
    double seconds = 0;
    // For --timings: read, document, module start, export and its file system part.
    std::vector<double> phases;
};

class ExportSession {
public:
    explicit ExportSession(ExportSettings settings);
    ~ExportSession();
    ExportSession(const ExportSession&) = delete;
    ExportSession& operator=(const ExportSession&) = delete;

    // Reads `input` (a scene file, or a model with import built in) and saves it to
    // `target`. A failure prints one line; an export that writes nothing says why.
    ExportResult exportOne(const std::string& input, const std::string& target);
    // Unloads the module; with KORVO_CHECK_LEAKS=1 what is still alive decides the status.
    // The time the module took to end goes to `unloadSeconds` when given.
    int finish(int status, double* unloadSeconds = nullptr);

private:
    ExportResult save(const std::string& input, const std::string& target);

    ExportSettings settings_;
    Host host_;
    std::unique_ptr<LoadedModule> module_;
    const SaverInfo* saver_ = nullptr;
    int moduleStatus_ = 0;  // why the module could not be loaded
};

// "12.3 KiB".
std::string sizeText(uint64_t bytes);

}  // namespace korvo::cli
