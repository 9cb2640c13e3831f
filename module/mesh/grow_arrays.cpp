#include "mesh/grow_arrays.h"

#include <cmath>
#include <cstring>

namespace dorna {

namespace {

// Storage for `capacity` entries at the first append, else twice `capacity` with the
// entries in use carried over: a point shared by many corners (the middle of a fan of
// 400,000 triangles) then costs linear time, not a copy of its list every 5 corners. The entries themselves are moved: a corner list built
// by appends always has the capacity a copy made by appending its corners one by one
// would get, so moving it gives the same result without the copying.
template <typename Entry>
bool makeRoom(MeshArena& arena, Entry*& items, int32_t count, int32_t& capacity) {
    if (items && count < capacity) return true;
    if (items && capacity > INT32_MAX / 2) return false;
    const int32_t newCapacity = items ? 2 * capacity : capacity;
    auto* grown = static_cast<Entry*>(arenaAlloc(arena, sizeof(Entry) * static_cast<size_t>(newCapacity)));
    if (!grown) return false;
    if (items) {
        std::memcpy(static_cast<void*>(grown), items, sizeof(Entry) * static_cast<size_t>(count));
        arenaFree(arena, items, sizeof(Entry) * static_cast<size_t>(capacity));
    }
    items = grown;
    capacity = newCapacity;
    return true;
}

}  // namespace

CornerList newCornerList() { return CornerList{nullptr, 0, kFirstCapacity}; }

NormalGroupList newNormalGroupList() { return NormalGroupList{nullptr, kFirstCapacity, 0}; }

MeshPoint newMeshPoint(Vector position) { return MeshPoint{position, PointUVList{nullptr, 0, kFirstCapacity}}; }

int32_t appendCorner(MeshArena& arena, CornerList& list, int32_t corner) {
    if (!makeRoom(arena, list.items, list.count, list.capacity)) return 0;
    list.items[list.count++] = corner;
    return 1;
}

int32_t addToGroup(MeshArena& arena, NormalGroup& group, Vector normal, int32_t corner) {
    if (!appendCorner(arena, group.corners, corner)) return 0;
    group.normal.x += normal.x;
    group.normal.y += normal.y;
    group.normal.z += normal.z;
    return 1;
}

int32_t appendGroup(MeshArena& arena, NormalGroupList& list, Vector normal, int32_t corner) {
    if (!makeRoom(arena, list.items, list.count, list.capacity)) return 0;
    NormalGroup& group = list.items[list.count];
    group.normal = normal;
    group.corners = newCornerList();
    if (!appendCorner(arena, group.corners, corner)) return 0;
    ++list.count;
    return 1;
}

Vector normalizedOrZero(Vector v) {
    const double length = std::sqrt(double(v.x) * v.x + double(v.y) * v.y + double(v.z) * v.z);
    if (length == 0.0) return Vector{0, 0, 0};
    const double factor = 1.0 / length;
    return Vector{static_cast<float>(v.x * factor), static_cast<float>(v.y * factor),
                  static_cast<float>(v.z * factor)};
}

void normalizeGroups(NormalGroupList& list) {
    for (int32_t i = 0; i < list.count; ++i) list.items[i].normal = normalizedOrZero(list.items[i].normal);
}

int32_t appendUV(MeshArena& arena, MeshPoint& point, float u, float v, int32_t corner) {
    PointUVList& uvs = point.uvs;
    if (!makeRoom(arena, uvs.items, uvs.count, uvs.capacity)) return 0;
    PointUV& entry = uvs.items[uvs.count];
    entry.u = u;
    entry.v = v;
    entry.corners = newCornerList();
    if (!appendCorner(arena, entry.corners, corner)) return 0;
    ++uvs.count;
    return 1;
}

void destroyCornerList(MeshArena& arena, CornerList& list) {
    arenaFree(arena, list.items, sizeof(int32_t) * static_cast<size_t>(list.capacity));
    list = newCornerList();
}

void destroyNormalGroupList(MeshArena& arena, NormalGroupList& list) {
    for (int32_t i = list.count - 1; i >= 0; --i) destroyCornerList(arena, list.items[i].corners);
    arenaFree(arena, list.items, sizeof(NormalGroup) * static_cast<size_t>(list.capacity));
    list = newNormalGroupList();
}

void destroyMeshPoint(MeshArena& arena, MeshPoint& point) {
    PointUVList& uvs = point.uvs;
    for (int32_t i = uvs.count - 1; i >= 0; --i) destroyCornerList(arena, uvs.items[i].corners);
    arenaFree(arena, uvs.items, sizeof(PointUV) * static_cast<size_t>(uvs.capacity));
    point = newMeshPoint(point.position);
}

}  // namespace dorna
