#include "xfile/export_context.h"

namespace dorna {

ExportContext::ExportContext(const ExportSettings& settings, KrvDocument document, XTextWriter& writer,
                             ExportStatus& status)
    : settings(settings), document(document), writer(writer), status(status) {
    if (!reserveNameBuffers(names)) status.fail(ExportFailure::StorageRefused);
}

}  // namespace dorna
