// The opening of an object's Frame: the header line with the object's name and the
// FrameTransformMatrix with its placement relative to its parent. The traversal writes
// what the frame holds and closes it.
#pragma once

#include <korvo_sdk.h>

#include <cstdint>

namespace dorna {

class XTextWriter;

// Writes "Frame NAME {" and the matrix block, whose last row ends in ";;}" without a
// line end. Every line is indented by `*depth` levels (none without a depth). 1 when
// written; 0, with nothing written, when the writer has no open file.
int32_t writeFrameHeader(XTextWriter& writer, KrvObject object, const int32_t* depth = nullptr);

}  // namespace dorna
