// Placements of scene objects in the file's row-vector convention: an object's own
// matrix relative to its parent (frames and animation keys), and a bone's rest and
// offset matrices (skin weights).
#pragma once

#include <korvo_sdk.h>

#include <cstdint>

#include "math/matrix.h"

namespace dorna {

// The most bone objects in the rest chain of one bone, the bone itself included.
constexpr int32_t kMaxRestChain = 39;

// composeExportMatrix of the object's own position, rotation and scale, relative to its
// parent, as the host reports them.
Matrix objectExportMatrix(KrvObject object);

// The matrix written as the bone's offset: the inverse of its rest matrix, the bone's
// rest placement through its bone ancestors in the file's row-vector convention (the
// rest matrix of the bone, then of each bone above it). A rest matrix
// without an inverse (a zero or missing rest scale) is inverted with every zero scale
// factor taken as 1, so that no non-finite number reaches the file.
Matrix boneOffsetMatrix(KrvObject bone);

}  // namespace dorna
