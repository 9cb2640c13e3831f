// The beginning of every file: the signature, the Header object and the template
// definitions.
#pragma once

#include <cstdint>


namespace dorna {

struct ExportContext;

// 3103 bytes in 165 lines, each ended by CR LF.
extern const char kFixedHeaderBlock[];
extern const int32_t kFixedHeaderBlockSize;

// Writes the fixed block in one write, with the AnimTicksPerSecond template and value
// where the settings ask for the frame rate.
void writeHeader(ExportContext& context);

}  // namespace dorna
