// The export in progress: everything one output file is written from and into, passed
// down the scene walk to every writer. Nothing of one export lives outside it.
#pragma once

#include <korvo_sdk.h>

#include <cstdint>

#include "settings/export_settings.h"
#include "skin/bone_search.h"
#include "host/export_status.h"
#include "xfile/names.h"

namespace dorna {

class XTextWriter;

struct ExportContext {
    // Takes the settings as they are now and the name buffers; a refused buffer is
    // recorded in `status`.
    ExportContext(const ExportSettings& settings, KrvDocument document, XTextWriter& writer, ExportStatus& status);
    ExportContext(const ExportContext&) = delete;
    ExportContext& operator=(const ExportContext&) = delete;

    const ExportSettings settings;  // a snapshot: the dialog's record may change after it
    KrvDocument document;           // the working copy of the file being written
    XTextWriter& writer;
    ExportStatus& status;           // where every writer records why the file cannot be kept
    int32_t uniqueNumber = 0;       // the next number appended to an entity name
    FrameNames names;               // the frame table and the buffers names pass through
    BoneSearch bones;               // the bone search index of the file
};

}  // namespace dorna
