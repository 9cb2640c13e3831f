// The outcome of one output file: the first reason it cannot be kept, recorded where
// the failure happens and read once by the export driver. A file is kept only when no
// reason was recorded.
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
    // Keeps the first reason; later ones are consequences or would tell the user nothing new.
    void fail(ExportFailure reason) {
        if (first_ == ExportFailure::None) first_ = reason;
    }
    bool ok() const { return first_ == ExportFailure::None; }
    ExportFailure first() const { return first_; }

private:
    ExportFailure first_ = ExportFailure::None;
};

}  // namespace dorna
