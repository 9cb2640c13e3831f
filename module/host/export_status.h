// The outcome of one output file: the first reason it cannot be kept. Every fallible
// step of the module answers a result its caller must check; the step that knows why
// it failed records the reason here, and the export driver reads the record once. A file
// is kept only when no reason was recorded.
#pragma once

#include <cstdint>

namespace dorna {

enum class ExportFailure : int32_t {
    None,
    StorageRefused,     // the host refused memory for part of the scene
    TextureNameLost,    // a material's texture name could not be handed over
    WriteFailed,        // the host refused a write
    PolygonOutOfRange,  // a polygon names a point its object does not have
    BlocksUnbalanced,   // the file would end with a block left open or closed twice
};

class ExportStatus {
public:
    // Keeps the first reason; later ones are consequences or would tell the user nothing
    // new. Answers false, the result of the step that failed.
    bool fail(ExportFailure reason) {
        if (first_ == ExportFailure::None) first_ = reason;
        return false;
    }
    bool ok() const { return first_ == ExportFailure::None; }
    ExportFailure first() const { return first_; }

private:
    ExportFailure first_ = ExportFailure::None;
};

}  // namespace dorna
