#include "cli/dialog/dialog_probe.h"

#include <memory>

#include "cli/command.h"
#include "cli/session.h"
#include "korvo/files/platform.h"

namespace korvo::cli {

int probeDialog(const std::string& modulePath, const DialogScript& script, bool echo, DialogRun& run, bool verbose) {
    // The dialog opens when a save starts. An empty document gives the module nothing
    // to write; the target lies in a private folder that is removed afterwards.
    const std::string folder = platform::createTemporaryFolder();
    if (folder.empty()) return fail(kExitFailed, "cannot create a temporary folder");
    HostBehaviour behaviour;
    behaviour.echo = echo;
    Host host(behaviour);
    const KrvDocument document = host.loadDocument(Scene{});
    int status = kExitOk;
    const SaverInfo* saver = nullptr;
    std::unique_ptr<LoadedModule> module = loadModule(host, modulePath, saver, status, verbose);
    if (module) {
        host.setDialogScript(script);
        host.save(*saver, document, folder + "/dialog.x");
        if (host.dialogRuns().empty()) status = fail(kExitFailed, "the module showed no dialog");
        else run = host.dialogRuns().back();
        module.reset();
    }
    for (const WrittenFile& f : host.writtenFiles()) platform::removeFile(f.path);
    platform::removeFolder(folder);
    return checkLeaks(host, status);
}

void describeDialogOptions(DialogOptions& options, const std::string& moduleOption) {
    const std::string path = resolveModulePath(moduleOption);
    if (!platform::exists(path)) return;
    DialogRun run;
    if (probeDialog(path, DialogScript{}, false, run) == kExitOk) options.describe(run.shown);
}

}  // namespace korvo::cli
