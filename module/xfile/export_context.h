// The export in progress: what one output file is written from and into, passed down
// the scene walk to every writer.
#pragma once

#include <korvo_sdk.h>

namespace dorna {

struct ExportSettings;
class ExportStatus;
class XTextWriter;

struct ExportContext {
    const ExportSettings& settings;  // the module-wide record, as the dialog left it
    KrvDocument document;            // the working copy of the file being written
    XTextWriter& writer;
    ExportStatus& status;            // where every writer records why the file cannot be kept
};

}  // namespace dorna
