// korvo export MODEL_OR_SCENE... -o FOLDER/: each input exported to FOLDER/NAME.x, a
// few side by side, each in a worker process that loads the module once.
#pragma once

#include <string>
#include <vector>

#include "cli/export/export_session.h"

namespace korvo::cli {

// Whether the user's options turn on one file per frame: the module's defaults leave it
// off, and animation is off for a scene file unless asked, on for an animated model
// (`model`: a model is read, which may be animated).
bool writesFilePerFrame(const DialogScript& script, bool model);

// Exports every input to its target in `settings.plan` with `jobs` exports side by side
// (0: one per core). A progress line on a terminal, the lines of each export as it ends,
// then one summary line. Status 1 when any export failed (the others are written), 2 for
// a batch that cannot start (options the dialog refuses, no module).
// The model reader may take `readerSeconds` per model (0: no limit); its crash or hang
// fails that model's export with the line a single export gives.
int runBatch(const std::vector<std::string>& inputs, unsigned jobs,
             const ExportSettings& settings, unsigned readerSeconds);

}  // namespace korvo::cli
