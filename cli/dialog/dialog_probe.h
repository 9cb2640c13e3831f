// The settings dialog as a save opens it, without writing anything: what `korvo
// dialog` prints and the defaults of the help text.
#pragma once

#include <string>

#include "cli/dialog/dialog_options.h"
#include "korvo/host/host.h"

namespace korvo::cli {

// Saves an empty document into a private temporary folder with `script` for the dialog,
// and gives the dialog's run. With `echo` the module's console lines reach standard
// error, its start line only when `verbose` too. Returns 0, or the status after one
// printed line saying why there is no run.
int probeDialog(const std::string& modulePath, const DialogScript& script, bool echo, DialogRun& run,
                bool verbose = false);

// Gives each dialog option's help the dialog's default, from the module that
// `moduleOption` (--module) names. Without a module the help names the elements only.
void describeDialogOptions(DialogOptions& options, const std::string& moduleOption);


}  // namespace korvo::cli
