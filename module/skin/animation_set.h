// The animation set: matrix keys of the animated objects, sampled over the document's
// time range, written after the root frame.
//
// Every animated object gets one Animation with one AnimationKey of matrix keys (key
// type 4): key k is the object's local export matrix at frame k x distancePerFrame and
// has the key time k x ticksPerFrame. Sampling sets the document's current time and has
// the host evaluate it, so the document must be the export's working copy.
#pragma once

#include <korvo_sdk.h>

#include <cstdint>

#include "skin/matrix.h"

namespace dorna {

class XTextWriter;
struct ExportSettings;

// Writes the whole AnimationSet of `document`; nothing when it holds no object, and
// nothing but a console line when there would be no keys (no end time, a frame rate of
// 0, an end at or before frame 0) or no animated object.
void writeAnimationSet(KrvDocument document, XTextWriter& writer);

// Whether the file of `document` gets an animation set under `settings`.
bool writesAnimationSet(const ExportSettings& settings, KrvDocument document);

// Which objects move: bones while bones are exported; every other object unless only
// bones are exported.
bool isAnimated(bool isBone, const ExportSettings& settings);

// The keys from frame 0 towards `endFrame` (never reaching it) in steps of `step`
// frames (at least 1): endFrame / step rounded up, and 0 for an end at or before frame 0.
int32_t keyCountOf(int32_t endFrame, int32_t step);

// "Animation {", the AnimationKey's opening, key type 4 and the key count.
int32_t writeAnimationOpen(XTextWriter& writer, int32_t keyCount);
// One key line: the time, 16 and the file form of `matrix`; ";;;" ends the last key,
// ";;," every other.
int32_t writeMatrixKey(XTextWriter& writer, int32_t keyTime, const Matrix& matrix, bool last);

}  // namespace dorna
