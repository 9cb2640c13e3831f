// The smoothing groups of the mesh conversion: every point has a varying number of
// corners and groups, so each point's list is a run of one shared array, found through a
// table of starts (point p's entries are starts[p] .. starts[p + 1] - 1). A counting pass
// sizes the table, so no point costs a block of its own.
#pragma once

#include <cmath>
#include <cstdint>

#include "host/host_array.h"
#include "math/matrix.h"

namespace dorna {

// The smoothing groups of every point. Group g's corners are
// corners[cornerStarts[g] .. cornerStarts[g + 1] - 1] in corner order; the groups of a
// point follow one another in the order they were seeded, so the corners array holds
// every corner once, by point, then group, then corner number.
struct NormalGroups {
    HostArray<int32_t> groupStarts;   // point count + 1 entries
    HostArray<Vector> normals;        // one per group: the sum of its face normals, then normalised
    HostArray<int32_t> cornerStarts;  // group count + 1 entries
    HostArray<int32_t> corners;       // corner numbers: 3 x triangle + corner 0, 1 or 2
    int32_t groupCount = 0;
};

inline int32_t groupsOfPoint(const NormalGroups& groups, int32_t point) {
    return groups.groupStarts[point + 1] - groups.groupStarts[point];
}

// `v` scaled to length 1 (the length taken in double precision, the components stored
// as floats); a zero vector stays zero. Inline: the mesh building normalises every
// corner's normal.
inline Vector normalizedOrZero(Vector v) {
    const double length = std::sqrt(double(v.x) * v.x + double(v.y) * v.y + double(v.z) * v.z);
    if (length == 0.0) return Vector{0, 0, 0};
    const double factor = 1.0 / length;
    return Vector{static_cast<float>(v.x * factor), static_cast<float>(v.y * factor),
                  static_cast<float>(v.z * factor)};
}


}  // namespace dorna
