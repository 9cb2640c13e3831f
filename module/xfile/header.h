// The beginning of every file: the signature, the Header object, the template
// definitions and, when frames are exported, the opening of the root frame.
#pragma once

#include <cstdint>


namespace dorna {

struct ExportContext;

// 3103 bytes in 165 lines, each ended by CR LF.
extern const char kFixedHeaderBlock[];
extern const int32_t kFixedHeaderBlockSize;

// Writes the fixed block in one write; with `exportFrames` also "Frame DORNA_ROOT {"
// and, with `scaleScene`, the root frame's scaling matrix. The export driver closes the
// root frame after the scene.
void writeHeader(ExportContext& context);

}  // namespace dorna
