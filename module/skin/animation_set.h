// The animation set: matrix keys of the animated objects, sampled over the document's
// time range, written after the root frame.
#pragma once

#include <korvo_sdk.h>

namespace dorna {

class XTextWriter;

// Writes the whole AnimationSet of `document` (the working copy of the output file).
void writeAnimationSet(KrvDocument document, XTextWriter& writer);

}  // namespace dorna
