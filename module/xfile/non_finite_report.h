// The console line for an object whose conversion gave NaN or infinity (points 1e20
// apart, a transparency of 3e38, texture scales of 1e20): the writers put 0 in their
// place, and the user learns which object lost its values.
#pragma once

#include <korvo_sdk.h>

namespace dorna {

struct ExportContext;

// When the writer wrote non-finite values as 0 since the last call, one console line
// naming the object's frame and their number. Resets the writer's count.
void reportNonFinite(ExportContext& context, KrvObject object);

}  // namespace dorna
