// The per-point lists: a group normal of zero length stays zero instead of NaN.
#include "mesh/normal_groups.h"

#include <gtest/gtest.h>

namespace dorna {
namespace {

TEST(GrowArrays, NormalizingKeepsAZeroNormal) {
    const Vector unit = normalizedOrZero(Vector{3, 0, 4});
    EXPECT_FLOAT_EQ(unit.x, 0.6f);
    EXPECT_EQ(unit.y, 0.0f);
    EXPECT_FLOAT_EQ(unit.z, 0.8f);
    const Vector zero = normalizedOrZero(Vector{0, 0, 0});
    EXPECT_EQ(zero.x, 0.0f);
    EXPECT_EQ(zero.y, 0.0f);
    EXPECT_EQ(zero.z, 0.0f);
}

}  // namespace
}  // namespace dorna
