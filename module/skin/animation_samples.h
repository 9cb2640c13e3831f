// Animation samples: which objects move, how many keys the document's time range
// gives, and each object's local export matrix at a key.
//
// Key k is the object's local export matrix at frame first + k x distancePerFrame and
// has the key time k x ticksPerFrame; first is 0, or a take's start frame. Sampling sets
// the document's current time and has the host evaluate it, so the document must be the
// export's working copy.
#pragma once

#include <korvo_sdk.h>

#include <cstdint>

#include "host/document.h"
#include "math/matrix.h"

namespace dorna {

struct ExportSettings;

// What every Animation of one set shares.
struct Sampling {
    KrvDocument document;
    float rate;        // frames per second
    int32_t keyCount;
    int32_t first;     // the frame of key 0
    int32_t step;      // frames between keys
    int32_t ticks;     // key time units per key
};

// The sampling of `document` under `settings`: from frame 0 towards its end.
Sampling samplingOf(KrvDocument document, const ExportSettings& settings);
// The sampling of the time range from `start` towards `end` (a take's).
Sampling samplingOfRange(KrvDocument document, const ExportSettings& settings, HostTime start, HostTime end);

// Whether the file of `document` gets an animation set under `settings`.
bool writesAnimationSet(const ExportSettings& settings, KrvDocument document);

// Which objects move: bones while bones are exported; every other object unless only
// bones are exported.
bool isAnimated(bool isBone, const ExportSettings& settings);
// `animated`: whether the object, a later sibling or one of their descendants is
// animated. False when the host refused the memory to look.
[[nodiscard]] bool anyAnimated(KrvObject object, const ExportSettings& settings, bool& animated);

// The keys from frame 0 towards `endFrame` (never reaching it) in steps of `step`
// frames (at least 1): endFrame / step rounded up, and 0 for an end at or before frame 0.
int32_t keyCountOf(int32_t endFrame, int32_t step);

// The time of key k, wrapping as the 32-bit integer the file stores.
int32_t keyTimeOf(const Sampling& sampling, int32_t key);
// The object's local export matrix with the document at the frame of key k.
Matrix sampleKey(const Sampling& sampling, KrvObject object, int32_t key);

}  // namespace dorna
