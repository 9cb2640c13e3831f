// Documents and time: working copies, the first object, the time range, the current
// time and its evaluation.
#pragma once

#include <korvo_sdk.h>

#include <cstdint>

#include "host/host.h"

namespace dorna {

// A time of numerator / denominator seconds. A plain value; the host sees it only as
// a container entry.
struct HostTime {
    float numerator = 0.0f;
    float denominator = 1.0f;
};

KrvTime toKrvTime(HostTime time);
HostTime fromKrvTime(KrvTime time);

// The frame of `time` at `rate` frames per second: floor(rate * numerator, rounded to a
// 32-bit real) divided by floor(denominator), truncated toward zero. 0 when the
// denominator floors to 0; results beyond the 32-bit range are clamped to it.
int32_t frameOfTime(HostTime time, float rate);

// A new document from the host's copy operation (KRV_COPY_WORKING for a working
// copy), or null.
KrvDocument copyDocument(KrvDocument document, int32_t flags);
// Releases a copy made by copyDocument if present and sets the handle to null.
void releaseDocument(KrvDocument& document);

// The first top-level object, or null.
KrvObject firstObject(KrvDocument document);
// The frame rate (document entry 1001), 0 when absent.
int32_t documentFrameRate(KrvDocument document);
// The end of the time range (document entry 1003), 0 / 1 when absent.
HostTime documentEndTime(KrvDocument document);
// Sets the current time (document entry 1000).
void setDocumentTime(KrvDocument document, HostTime time);
// Evaluates the document at its current time (0, 0, 1), then tells it that it changed
// (message 5), so that every object stands where the time puts it.
void animateDocument(KrvDocument document);

// The document's takes (named animations, each over a time range of its own): their
// number, 0 when it has none or the host offers no takes.
int32_t documentTakeCount(KrvDocument document);
// Take `index`'s name and time range; false for no such take.
bool documentTake(KrvDocument document, int32_t index, HostString& name, HostTime& start, HostTime& end);
// Makes take `index` the one the document evaluates; false for no such take.
bool setCurrentTake(KrvDocument document, int32_t index);

}  // namespace dorna
