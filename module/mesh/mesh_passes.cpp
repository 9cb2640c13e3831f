// The passes of mesh building over plain arrays.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

#include "host/host.h"
#include "mesh/debug_listing.h"
#include "mesh/export_mesh.h"

namespace dorna {

namespace {

template <typename T>
T* allocArray(int32_t count) {
    return static_cast<T*>(hostAlloc(sizeof(T) * static_cast<size_t>(count > 0 ? count : 0)));
}

Vector minus(const Vector& a, const Vector& b) { return Vector{a.x - b.x, a.y - b.y, a.z - b.z}; }

// A face normal is made unit length in single precision throughout: squares, their sum,
// the root and its reciprocal are each rounded to a 32-bit float (only the group normals
// take their length in higher precision). Where the sum of squares leaves the range of
// normal floats (faces billions of units wide, or far below a millionth), the float
// length would be infinite, zero or imprecise: such a face takes its length in double
// precision instead, and a face without area keeps the zero normal.
Vector unitFaceNormal(const Vector& n) {
    const float squares = n.x * n.x + n.y * n.y + n.z * n.z;
    if (squares < std::numeric_limits<float>::min() || std::isinf(squares)) return normalizedOrZero(n);
    const float length = std::sqrt(squares);
    const float factor = 1.0f / length;
    return Vector{n.x * factor, n.y * factor, n.z * factor};
}

bool isZero(const Vector& v) { return v.x == 0.0f && v.y == 0.0f && v.z == 0.0f; }

bool sameVector(const Vector& a, const Vector& b) { return a.x == b.x && a.y == b.y && a.z == b.z; }

int32_t cornerPoint(const KrvPolygon& polygon, int32_t corner) {
    return corner == 0 ? polygon.a : corner == 1 ? polygon.b : polygon.c;
}

const KrvVector& cornerUV(const KrvPolygonUV& record, int32_t corner) {
    return corner == 0 ? record.a : corner == 1 ? record.b : record.c;
}

// The points are given up together with their texture coordinates; the passes after
// this see no points and leave the mesh without vertices.
void dropPoints(ExportMesh& mesh) {
    for (int32_t p = 0; p < mesh.pointCount; ++p) destroyMeshPoint(mesh.arena, mesh.points[p]);
    hostFreeAndClear(mesh.points);
    mesh.pointCount = 0;
}

void releaseGroupLists(MeshArena& arena, NormalGroupList*& lists, int32_t count) {
    if (!lists) return;
    for (int32_t p = 0; p < count; ++p) destroyNormalGroupList(arena, lists[p]);
    hostFreeAndClear(lists);
}

NormalGroupList* newGroupLists(int32_t count) {
    auto* lists = allocArray<NormalGroupList>(count);
    if (lists)
        for (int32_t p = 0; p < count; ++p) lists[p] = newNormalGroupList();
    return lists;
}

// The corners of one point (`count` corner numbers in corner order) merged into
// `groups`. False when storage ran out.
bool smoothPoint(MeshArena& arena, const int32_t* corners, int32_t count, const Vector* faceNormals,
                 NormalGroupList& groups, float cosLimit, unsigned char* taken) {
    std::memset(taken, 0, static_cast<size_t>(count));
    for (int32_t j = 0; j < count; ++j) {
        if (taken[j]) continue;
        const Vector& seed = faceNormals[corners[j] / 3];
        if (!appendGroup(arena, groups, seed, corners[j])) return false;
        NormalGroup& group = groups.items[groups.count - 1];
        for (int32_t k = j + 1; k < count; ++k) {
            if (taken[k]) continue;
            const Vector& other = faceNormals[corners[k] / 3];
            // Summed in this order; a NaN never reaches the limit.
            const float d = seed.z * other.z + seed.y * other.y + other.x * seed.x;
            if (!(d >= cosLimit)) continue;
            if (!addToGroup(arena, group, other, corners[k])) return false;
            taken[k] = 1;
        }
    }
    normalizeGroups(groups);
    return true;
}

void releaseFaceCorners(ExportMesh& mesh) {
    hostFreeAndClear(mesh.faceNormals);
    hostFreeAndClear(mesh.cornerStarts);
    hostFreeAndClear(mesh.pointCorners);
}

void setPositionAndUV(ExportVertex& vertex, const Vector& position, float u, float v) {
    vertex.x = position.x;
    vertex.y = position.y;
    vertex.z = position.z;
    vertex.u = u;
    vertex.v = v;
}

// The vertices of the points and their texture splits, numbered as buildIndices does.
ExportVertex* baseVertices(const ExportMesh& mesh, int32_t baseCount) {
    auto* base = allocArray<ExportVertex>(baseCount);
    if (!base) return nullptr;
    fillBytes(base, sizeof(ExportVertex) * static_cast<size_t>(baseCount), 0);
    int32_t next = mesh.pointCount;
    for (int32_t p = 0; p < mesh.pointCount; ++p) {
        const MeshPoint& point = mesh.points[p];
        const PointUVList& uvs = point.uvs;
        if (uvs.count > 0)
            setPositionAndUV(base[p], point.position, uvs.items[0].u, uvs.items[0].v);
        else
            setPositionAndUV(base[p], point.position, 0.0f, 0.0f);
        if (!mesh.hasUV) continue;
        for (int32_t e = 1; e < uvs.count; ++e)
            setPositionAndUV(base[next++], point.position, uvs.items[e].u, uvs.items[e].v);
    }
    return base;
}

// The vertices: the base records first, then those added for corners whose group
// normal differs from the one their vertex already has. The room for added vertices
// starts at 100 records and the buffer doubles whenever it is full, so that millions
// of added vertices cost linear time; the finished buffer becomes the mesh's vertex
// array as it is.
struct VertexBuffer {
    ExportVertex* items;
    int32_t count;
    int32_t capacity;
};

constexpr int32_t kFirstAddedRoom = 100;

bool appendVertex(VertexBuffer& buffer, const ExportVertex& vertex) {
    if (buffer.count == buffer.capacity) {
        const int32_t growth = buffer.capacity > kFirstAddedRoom ? buffer.capacity : kFirstAddedRoom;
        if (buffer.capacity > INT32_MAX - growth) return false;
        auto* grown = allocArray<ExportVertex>(buffer.capacity + growth);
        if (!grown) return false;
        std::memcpy(grown, buffer.items, sizeof(ExportVertex) * static_cast<size_t>(buffer.count));
        hostFree(buffer.items);
        buffer.items = grown;
        buffer.capacity += growth;
    }
    buffer.items[buffer.count++] = vertex;
    return true;
}

}  // namespace

int32_t setMeshPoints(ExportMesh& mesh, const Vector* points, int32_t pointCount) {
    if (!points || pointCount < 0) pointCount = 0;
    mesh.points = allocArray<MeshPoint>(pointCount);
    if (!mesh.points) return 0;
    mesh.pointCount = pointCount;
    for (int32_t p = 0; p < pointCount; ++p) mesh.points[p] = newMeshPoint(points[p]);
    return 1;
}

int32_t addPolygonUVs(ExportMesh& mesh, const KrvPolygon* polygons, const KrvPolygonUV* records,
                      int32_t first, int32_t count, const TextureTransform& transform) {
    if (!mesh.points) return 0;
    for (int32_t i = 0; i < count; ++i) {
        const int32_t k = first + i;
        for (int32_t corner = 0; corner < 3; ++corner) {
            const KrvVector& record = cornerUV(records[i], corner);
            const float u = (record.x - transform.offsetU) * transform.scaleU;
            const float v = (record.y - transform.offsetV) * transform.scaleV;
            const int32_t cornerNumber = 3 * k + corner;
            MeshPoint& point = mesh.points[cornerPoint(polygons[k], corner)];
            PointUV* match = nullptr;
            for (int32_t e = 0; e < point.uvs.count; ++e) {
                if (point.uvs.items[e].u == u && point.uvs.items[e].v == v) {
                    match = &point.uvs.items[e];
                    break;
                }
            }
            const int32_t stored = match ? appendCorner(mesh.arena, match->corners, cornerNumber)
                                         : appendUV(mesh.arena, point, u, v, cornerNumber);
            if (!stored) {
                dropPoints(mesh);
                return 0;
            }
        }
    }
    return 1;
}

int32_t computeFaceNormals(ExportMesh& mesh, const KrvPolygon* polygons, int32_t polygonCount) {
    if (mesh.pointCount <= 0 || !mesh.points) return 0;
    releaseGroupLists(mesh.arena, mesh.normalGroups, mesh.pointCount);
    releaseFaceCorners(mesh);
    if (polygonCount < 0 || polygonCount > INT32_MAX / 3) polygonCount = 0;
    mesh.faceNormals = allocArray<Vector>(polygonCount);
    mesh.cornerStarts = allocArray<int32_t>(mesh.pointCount + 1);
    mesh.pointCorners = allocArray<int32_t>(3 * polygonCount);
    if (!mesh.faceNormals || !mesh.cornerStarts || !mesh.pointCorners) {
        releaseFaceCorners(mesh);
        return 0;
    }
    // The corners sorted by point, keeping their order: counted into the next point's
    // start, summed up, then placed with each point's start as its cursor, which leaves
    // every start at the next point's; one step back restores them.
    int32_t* starts = mesh.cornerStarts;
    fillBytes(starts, sizeof(int32_t) * static_cast<size_t>(mesh.pointCount + 1), 0);
    for (int32_t k = 0; k < polygonCount; ++k) {
        ++starts[polygons[k].a + 1];
        ++starts[polygons[k].b + 1];
        ++starts[polygons[k].c + 1];
    }
    for (int32_t p = 0; p < mesh.pointCount; ++p) starts[p + 1] += starts[p];
    for (int32_t k = 0; k < polygonCount; ++k) {
        const KrvPolygon& polygon = polygons[k];
        mesh.pointCorners[starts[polygon.a]++] = 3 * k;
        mesh.pointCorners[starts[polygon.b]++] = 3 * k + 1;
        mesh.pointCorners[starts[polygon.c]++] = 3 * k + 2;
        const Vector& a = mesh.points[polygon.a].position;
        const Vector e1 = minus(a, mesh.points[polygon.b].position);
        const Vector e2 = minus(a, mesh.points[polygon.c].position);
        mesh.faceNormals[k] = unitFaceNormal(Vector{e1.y * e2.z - e1.z * e2.y, e1.z * e2.x - e1.x * e2.z,
                                                    e1.x * e2.y - e1.y * e2.x});
    }
    for (int32_t p = mesh.pointCount; p > 0; --p) starts[p] = starts[p - 1];
    starts[0] = 0;
    return 1;
}

int32_t smoothNormals(ExportMesh& mesh, float cosLimit) {
    if (!mesh.faceNormals || mesh.pointCount <= 0) return 0;
    const int32_t* starts = mesh.cornerStarts;
    int32_t maxCorners = 0;
    for (int32_t p = 0; p < mesh.pointCount; ++p)
        if (starts[p + 1] - starts[p] > maxCorners) maxCorners = starts[p + 1] - starts[p];
    releaseGroupLists(mesh.arena, mesh.normalGroups, mesh.pointCount);
    mesh.normalGroups = newGroupLists(mesh.pointCount);
    auto* taken = static_cast<unsigned char*>(hostAlloc(static_cast<size_t>(maxCorners)));
    bool smoothed = mesh.normalGroups && taken && maxCorners > 0;
    for (int32_t p = 0; smoothed && p < mesh.pointCount; ++p)
        smoothed = smoothPoint(mesh.arena, mesh.pointCorners + starts[p], starts[p + 1] - starts[p],
                               mesh.faceNormals, mesh.normalGroups[p], cosLimit, taken);
    hostFree(taken);
    releaseFaceCorners(mesh);
    // Without corners the points keep their empty groups (and so zero normals). A
    // failure midway leaves no groups: half-merged points would pass for the mesh's
    // own, so the mesh ends up without vertices.
    if (!smoothed && maxCorners > 0) releaseGroupLists(mesh.arena, mesh.normalGroups, mesh.pointCount);
    return smoothed ? 1 : 0;
}

int32_t buildIndices(ExportMesh& mesh, const KrvPolygon* polygons, int32_t polygonCount) {
    hostFreeAndClear(mesh.indices);
    mesh.indexCount = 0;
    const int32_t indexCount = 3 * (polygonCount > 0 ? polygonCount : 0);
    mesh.indices = allocArray<int32_t>(indexCount);
    if (!mesh.indices) return 0;
    mesh.indexCount = indexCount;
    for (int32_t k = 0; k < indexCount / 3; ++k) {
        mesh.indices[3 * k] = polygons[k].a;
        mesh.indices[3 * k + 1] = polygons[k].b;
        mesh.indices[3 * k + 2] = polygons[k].c;
    }
    if (mesh.hasUV == 1) {
        int32_t next = mesh.pointCount;
        for (int32_t p = 0; p < mesh.pointCount; ++p) {
            const PointUVList& uvs = mesh.points[p].uvs;
            for (int32_t e = 1; e < uvs.count; ++e, ++next) {
                const CornerList& corners = uvs.items[e].corners;
                for (int32_t i = 0; i < corners.count; ++i) mesh.indices[corners.items[i]] = next;
            }
        }
    }
    listIndices(mesh.indices, mesh.indexCount);
    return 1;
}

int32_t splitByNormals(ExportMesh& mesh) {
    if (!mesh.points || !mesh.indices || !mesh.normalGroups) return 0;
    int32_t baseCount = mesh.pointCount;
    if (mesh.hasUV)
        for (int32_t p = 0; p < mesh.pointCount; ++p)
            if (mesh.points[p].uvs.count > 1) baseCount += mesh.points[p].uvs.count - 1;
    if (baseCount <= 0) return 0;
    ExportVertex* base = baseVertices(mesh, baseCount);
    if (!base) return 0;

    VertexBuffer buffer{base, baseCount, baseCount};
    for (int32_t p = 0; p < mesh.pointCount; ++p) {
        const NormalGroupList& groups = mesh.normalGroups[p];
        for (int32_t g = 0; g < groups.count; ++g) {
            const NormalGroup& group = groups.items[g];
            for (int32_t i = 0; i < group.corners.count; ++i) {
                const int32_t corner = group.corners.items[i];
                ExportVertex& vertex = buffer.items[mesh.indices[corner]];
                const Vector current{vertex.nx, vertex.ny, vertex.nz};
                if (isZero(current)) {
                    // A zero normal counts as none: the next group reaching it gives one.
                    vertex.nx = group.normal.x;
                    vertex.ny = group.normal.y;
                    vertex.nz = group.normal.z;
                } else if (!sameVector(current, group.normal)) {
                    ExportVertex copy = vertex;
                    copy.nx = group.normal.x;
                    copy.ny = group.normal.y;
                    copy.nz = group.normal.z;
                    if (!appendVertex(buffer, copy)) {
                        hostFree(buffer.items);
                        return 0;
                    }
                    mesh.indices[corner] = buffer.count - 1;
                }
            }
        }
    }
    hostFree(mesh.vertices);
    mesh.vertices = buffer.items;
    mesh.vertexCount = buffer.count;
    return 1;
}

}  // namespace dorna
