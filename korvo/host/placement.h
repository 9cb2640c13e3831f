// Placement arithmetic of the host: local and global matrices of objects, and the
// interpolation of animation keys. Computed in 32-bit floats in the same order as the
// module computes its export matrices, so that a scene exported with frames and
// without frames puts every vertex at the same point.
#pragma once

#include <korvo_sdk.h>

#include <vector>

#include "korvo/scene/scene.h"

namespace korvo {

// The host-convention product A.B: B applied first, then A.
KrvMatrix mulMatrix(const KrvMatrix& a, const KrvMatrix& b);
KrvVector transformPoint(const KrvMatrix& m, const KrvVector& p);

// An object's placement relative to its parent. The module writes its export matrix
// E = Rz(-r.z).Rx(-r.y).Ry(-r.x).S(scale) (its own rotation builders, offset = position)
// in the file's row-vector convention, where a point p lands at E's axes dotted with p
// plus the offset. The host matrix that places p at the same spot has the transposed
// 3x3 block of E and the same offset.
KrvMatrix localMatrix(const KrvVector& position, const KrvVector& rotation, const KrvVector& scale);

// The value of a channel at `frame`: linear between the neighbouring keys, component by
// component; the first key's value before it, the last key's after it. `keys` is not empty.
Vec3 interpolateKeys(const std::vector<Key>& keys, double frame);

}  // namespace korvo
