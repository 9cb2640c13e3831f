// The growable arrays of the mesh conversion: for every point of a polygon object a
// varying number of corners, smoothing groups and texture coordinates.
//
// Every array starts with capacity 5 and doubles when an append finds it full. Storage comes from the mesh's arena and is taken at the first append: an
// array nobody appends to costs nothing, while its capacity reads 5 from creation as
// it always has. Entries at or beyond `count` are never read.
#pragma once

#include <cstdint>

#include "mesh/arena.h"
#include "math/matrix.h"

namespace dorna {

// The capacity of a new array.
constexpr int32_t kFirstCapacity = 5;

// Corner numbers: 3 x triangle + corner 0, 1 or 2.
struct CornerList {
    int32_t* items;
    int32_t count;
    int32_t capacity;
};

// One smoothing group of one point.
struct NormalGroup {
    Vector normal;       // a face normal, then the sum of the group's, at the end normalised
    CornerList corners;  // the corners that use this group
};

// The smoothing groups of one point (capacity before count).
struct NormalGroupList {
    NormalGroup* items;
    int32_t capacity;
    int32_t count;
};

// One distinct texture coordinate at one point.
struct PointUV {
    float u, v;
    CornerList corners;  // the corners that use this coordinate
};

struct PointUVList {
    PointUV* items;
    int32_t count;
    int32_t capacity;
};

// One point of the host object.
struct MeshPoint {
    Vector position;
    PointUVList uvs;
};

CornerList newCornerList();
NormalGroupList newNormalGroupList();
MeshPoint newMeshPoint(Vector position);

// 1, or 0 when the list was full and could not grow: it then keeps its elements,
// storage and capacity, and the corner is not added.
int32_t appendCorner(MeshArena& arena, CornerList& list, int32_t corner);
// Appends the corner and adds `normal` to the group's normal component by component.
// 1, or 0 when the corner list could not grow; the group is then unchanged.
int32_t addToGroup(MeshArena& arena, NormalGroup& group, Vector normal, int32_t corner);
// A new group at position count with `normal` and `corner` as its first corner.
// 1, or 0 when no storage could be had; the list is then unchanged.
int32_t appendGroup(MeshArena& arena, NormalGroupList& list, Vector normal, int32_t corner);
// `v` scaled to length 1 (the length taken in double precision, the components stored
// as floats); a zero vector stays zero.
Vector normalizedOrZero(Vector v);
// Normalises the normal of every group in use; a zero normal stays zero.
void normalizeGroups(NormalGroupList& list);
// A new texture coordinate at position count with `corner` as its first corner.
// 1, or 0 when no storage could be had; the point is then unchanged.
int32_t appendUV(MeshArena& arena, MeshPoint& point, float u, float v, int32_t corner);

// Return the storage (and that of every entry) to the arena and reset to creation.
void destroyCornerList(MeshArena& arena, CornerList& list);
void destroyNormalGroupList(MeshArena& arena, NormalGroupList& list);
void destroyMeshPoint(MeshArena& arena, MeshPoint& point);

}  // namespace dorna
