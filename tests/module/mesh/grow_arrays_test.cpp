// The growable arrays: growth by five that keeps every element and corner, and lists
// that stay as they were when the host refuses storage.
#include "mesh/grow_arrays.h"

#include <gtest/gtest.h>

#include "module/mesh/host_fixture.h"

namespace dorna {
namespace {

class GrowArrays : public HostTest {
protected:
    ~GrowArrays() override { releaseArena(arena); }
    MeshArena arena{};
};

TEST_F(GrowArrays, CornerListDoublesKeepingItsOrder) {
    CornerList list = newCornerList();
    EXPECT_EQ(list.capacity, 5);
    int32_t capacities[11];
    for (int32_t i = 0; i < 11; ++i) {
        ASSERT_EQ(appendCorner(arena, list, 100 + i), 1);
        capacities[i] = list.capacity;
    }
    EXPECT_EQ(capacities[4], 5);
    EXPECT_EQ(capacities[5], 10);
    EXPECT_EQ(capacities[9], 10);
    EXPECT_EQ(capacities[10], 20);
    ASSERT_EQ(list.count, 11);
    for (int32_t i = 0; i < 11; ++i) EXPECT_EQ(list.items[i], 100 + i);
}

TEST_F(GrowArrays, SixthGroupKeepsTheEarlierGroupsWithAllTheirCorners) {
    NormalGroupList list = newNormalGroupList();
    for (int32_t g = 0; g < 5; ++g) {
        ASSERT_EQ(appendGroup(arena, list, Vector{float(g), 0, 0}, 10 * g), 1);
        for (int32_t c = 1; c < 7; ++c) ASSERT_EQ(addToGroup(arena, list.items[g], Vector{0, 1, 0}, 10 * g + c), 1);
    }
    EXPECT_EQ(list.capacity, 5);
    ASSERT_EQ(appendGroup(arena, list, Vector{0, 0, 9}, 99), 1);
    EXPECT_EQ(list.capacity, 10);
    ASSERT_EQ(list.count, 6);
    for (int32_t g = 0; g < 5; ++g) {
        const NormalGroup& group = list.items[g];
        EXPECT_EQ(group.normal.x, float(g));
        EXPECT_EQ(group.normal.y, 6.0f);
        ASSERT_EQ(group.corners.count, 7);
        EXPECT_EQ(group.corners.capacity, 10);
        for (int32_t c = 0; c < 7; ++c) EXPECT_EQ(group.corners.items[c], 10 * g + c);
    }
    EXPECT_EQ(list.items[5].normal.z, 9.0f);
    EXPECT_EQ(list.items[5].corners.count, 1);
    EXPECT_EQ(list.items[5].corners.items[0], 99);
}

TEST_F(GrowArrays, SixthTextureCoordinateKeepsEveryEarlierCorner) {
    MeshPoint point = newMeshPoint(Vector{1, 2, 3});
    EXPECT_EQ(point.uvs.capacity, 5);
    for (int32_t e = 0; e < 5; ++e) {
        ASSERT_EQ(appendUV(arena, point, float(e), 0.5f, 100 * e), 1);
        for (int32_t c = 1; c < 8; ++c) ASSERT_EQ(appendCorner(arena, point.uvs.items[e].corners, 100 * e + c), 1);
    }
    ASSERT_EQ(appendUV(arena, point, 7.0f, 7.0f, 555), 1);
    EXPECT_EQ(point.uvs.capacity, 10);
    ASSERT_EQ(point.uvs.count, 6);
    for (int32_t e = 0; e < 5; ++e) {
        const PointUV& uv = point.uvs.items[e];
        EXPECT_EQ(uv.u, float(e));
        EXPECT_EQ(uv.v, 0.5f);
        ASSERT_EQ(uv.corners.count, 8);
        for (int32_t c = 0; c < 8; ++c) EXPECT_EQ(uv.corners.items[c], 100 * e + c);
    }
    EXPECT_EQ(point.uvs.items[5].corners.items[0], 555);
}

TEST_F(GrowArrays, NormalizingKeepsAZeroNormal) {
    NormalGroupList list = newNormalGroupList();
    appendGroup(arena, list, Vector{3, 0, 4}, 0);
    appendGroup(arena, list, Vector{0, 0, 0}, 1);
    normalizeGroups(list);
    EXPECT_FLOAT_EQ(list.items[0].normal.x, 0.6f);
    EXPECT_EQ(list.items[0].normal.y, 0.0f);
    EXPECT_FLOAT_EQ(list.items[0].normal.z, 0.8f);
    EXPECT_EQ(list.items[1].normal.x, 0.0f);
    EXPECT_EQ(list.items[1].normal.y, 0.0f);
    EXPECT_EQ(list.items[1].normal.z, 0.0f);
}

TEST_F(GrowArrays, RefusedGrowthLeavesTheListAsItWas) {
    CornerList list = newCornerList();
    for (int32_t i = 0; i < 5; ++i) appendCorner(arena, list, i);
    // Fill the arena's chunk so that the next block has to come from the host.
    while (arena.end - arena.cursor >= 8) arenaAlloc(arena, 8);
    host.refuseAllocation(1);
    const int32_t* items = list.items;
    EXPECT_EQ(appendCorner(arena, list, 5), 0);
    EXPECT_EQ(list.items, items);
    EXPECT_EQ(list.count, 5);
    EXPECT_EQ(list.capacity, 5);

    NormalGroupList groups = newNormalGroupList();
    host.refuseAllocation(1);
    EXPECT_EQ(appendGroup(arena, groups, Vector{0, 0, 1}, 0), 0);
    EXPECT_EQ(groups.count, 0);
    EXPECT_EQ(groups.items, nullptr);
    host.refuseAllocation(0);
    EXPECT_EQ(appendCorner(arena, list, 5), 1);
    EXPECT_EQ(list.capacity, 10);
}

TEST_F(GrowArrays, ArenaReusesReturnedBlocksAndGivesEverythingBack) {
    void* small = arenaAlloc(arena, 20);
    arenaFree(arena, small, 20);
    EXPECT_EQ(arenaAlloc(arena, 24), small);
    void* large = arenaAlloc(arena, 4096);
    ASSERT_NE(large, nullptr);
    void* other = arenaAlloc(arena, 100000);
    arenaFree(arena, large, 4096);
    ASSERT_NE(other, nullptr);
    releaseArena(arena);
    expectNothingHeld();
}

}  // namespace
}  // namespace dorna
