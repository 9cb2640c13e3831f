// korvo dialog [dialog options]: shows the module's settings dialog, applies the
// options as a user would, and prints what the dialog then holds.
#include <cstdio>
#include <memory>

#include "cli/command.h"
#include "cli/dialog/dialog_options.h"
#include "cli/dialog/dialog_probe.h"
#include "cli/session.h"
#include "korvo/host/dialog_text.h"

namespace korvo::cli {

namespace {

struct DialogArguments {
    std::string module;
    bool verbose = false;
    DialogOptions dialog;
};

int runDialog(DialogArguments& a) {
    DialogScript script;
    std::string error;
    if (!a.dialog.script(script, error)) return fail(kExitBadInput, error);
    DialogRun run;
    const int status = probeDialog(resolveModulePath(a.module), script, true, run, a.verbose);
    if (status != kExitOk) return status;
    if (run.refusal) return fail(kExitBadInput, a.dialog.refusalMessage(*run.refusal));
    std::fputs(dialogToText(run.shown).c_str(), stdout);
    return kExitOk;
}

}  // namespace

Subcommand addDialogCommand(CLI::App& korvo) {
    auto arguments = std::make_shared<DialogArguments>();
    CLI::App* app = korvo.add_subcommand("dialog", "print the settings dialog after the options are applied");
    app->add_option("--module", arguments->module, "the module to load (default: beside the command)")->type_name("PATH");
    addVerbose(*app, arguments->verbose);
    arguments->dialog.addTo(*app);
    return {app, [arguments] { return runDialog(*arguments); }, [arguments] { return describeDialogOptions(arguments->dialog, arguments->module); }};
}

}  // namespace korvo::cli
