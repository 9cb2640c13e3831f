// korvo dialog [dialog options]: shows the module's settings dialog, applies the
// options as a user would, and prints what the dialog then holds.
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "cli/command.h"
#include "cli/dialog_options.h"
#include "cli/session.h"
#include "korvo/dialog_text.h"
#include "korvo/platform.h"

namespace korvo::cli {

namespace {

struct DialogArguments {
    std::string module;
    DialogOptions dialog;
};

int runDialog(DialogArguments& a) {
    DialogScript script;
    std::string error;
    if (!a.dialog.script(script, error)) return fail(kExitBadInput, error);

    // The dialog opens when a save starts. An empty document gives the module nothing
    // to write; the target lies in a private folder that is removed afterwards.
    const std::string folder = platform::createTemporaryFolder();
    if (folder.empty()) return fail(kExitFailed, "cannot create a temporary folder");
    const std::string target = folder + "/dialog.x";

    HostBehaviour behaviour;
    behaviour.echo = true;
    Host host(behaviour);
    const KrvDocument document = host.loadDocument(Scene{});
    int status = kExitOk;
    const SaverInfo* saver = nullptr;
    std::unique_ptr<LoadedModule> module = loadModule(host, resolveModulePath(a.module), saver, status);
    if (module) {
        host.setDialogScript(script);
        host.save(*saver, document, target);
        const std::vector<DialogRun>& runs = host.dialogRuns();
        if (runs.empty()) status = fail(kExitFailed, "the module showed no dialog");
        else if (runs.back().refusal) status = fail(kExitBadInput, refusalMessage(*runs.back().refusal));
        else std::fputs(dialogToText(runs.back().shown).c_str(), stdout);
        module.reset();
    }
    for (const WrittenFile& f : host.writtenFiles()) platform::removeFile(f.path);
    platform::removeFolder(folder);
    return checkLeaks(host, status);
}

}  // namespace

Subcommand addDialogCommand(CLI::App& korvo) {
    auto arguments = std::make_shared<DialogArguments>();
    CLI::App* app = korvo.add_subcommand("dialog", "print the settings dialog after the options are applied");
    app->add_option("--module", arguments->module, "the module to load (default: beside the command)");
    arguments->dialog.addTo(*app);
    return {app, [arguments] { return runDialog(*arguments); }};
}

}  // namespace korvo::cli
