// The opening of an object's Frame: the header line with the object's name and the
// FrameTransformMatrix with its placement relative to its parent. The scene walk writes
// what the frame holds and closes it.
#pragma once

#include <korvo_sdk.h>

#include <cstdint>

#include "xfile/names.h"

namespace dorna {

class XTextWriter;

// Opens the block "Frame NAME {" and writes the matrix block, whose last row ends in
// ";;}" without a line end. Every line is indented by `level` levels.
void writeFrameHeader(XTextWriter& writer, KrvObject object, NameText name, int32_t level = 0);

}  // namespace dorna
