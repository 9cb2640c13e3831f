// The animation set: matrix keys of the animated objects, sampled over the document's
// time range (see skin/animation_samples.h), written after the root frame. Every
// animated object gets one Animation with one AnimationKey of matrix keys (key type 4).
#pragma once

#include <korvo_sdk.h>

#include <cstdint>

#include "math/matrix.h"

namespace dorna {

class XTextWriter;
struct ExportContext;

// Writes the whole AnimationSet of the context's document; nothing when it holds no
// object, and nothing but a console line when there would be no keys (no end time, a
// frame rate of 0, an end at or before frame 0) or no animated object.
void writeAnimationSet(ExportContext& context);

// One key line: the time, 16 and the file form of `matrix`; ";;;" ends the last key,
// ";;," every other.
void writeMatrixKey(XTextWriter& writer, int32_t keyTime, const Matrix& matrix, bool last);

}  // namespace dorna
