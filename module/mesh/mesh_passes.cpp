// The passes of mesh building over plain arrays.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <utility>

#include "host/host.h"
#include "mesh/debug_listing.h"
#include "mesh/export_mesh.h"

namespace dorna {

namespace {

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

// The unit normal of the face a, b, c (see unitFaceNormal).
Vector faceNormal(const Vector& a, const Vector& b, const Vector& c) {
    const Vector e1 = minus(a, b);
    const Vector e2 = minus(a, c);
    return unitFaceNormal(Vector{e1.y * e2.z - e1.z * e2.y, e1.z * e2.x - e1.x * e2.z, e1.x * e2.y - e1.y * e2.x});
}

bool isZero(const Vector& v) { return v.x == 0.0f && v.y == 0.0f && v.z == 0.0f; }

bool sameVector(const Vector& a, const Vector& b) { return a.x == b.x && a.y == b.y && a.z == b.z; }

const KrvVector& cornerUV(const KrvPolygonUV& record, int32_t corner) {
    return corner == 0 ? record.a : corner == 1 ? record.b : record.c;
}

void releaseFaceCorners(ExportMesh& mesh) {
    mesh.faceNormals.reset();
    mesh.cornerStarts.reset();
    mesh.pointCorners.reset();
}

void setPositionAndUV(ExportVertex& vertex, const Vector& position, float u, float v) {
    vertex.x = position.x;
    vertex.y = position.y;
    vertex.z = position.z;
    vertex.u = u;
    vertex.v = v;
}

// The most corners any point has: the size of the per-point scratch arrays.
int32_t mostCornersOfAPoint(const int32_t* cornerStarts, int32_t pointCount) {
    int32_t most = 0;
    for (int32_t p = 0; p < pointCount; ++p)
        if (cornerStarts[p + 1] - cornerStarts[p] > most) most = cornerStarts[p + 1] - cornerStarts[p];
    return most;
}

// The vertex of every corner of one point (`count` corner numbers in corner order):
// the point's own for its first texture coordinate, numbers from `next` on for the
// others. `seen` holds room for `count` coordinates.
void numberPointUVs(int32_t point, const int32_t* corners, int32_t count, const float* cornerUVs,
                    int32_t* indices, float* seen, int32_t& next) {
    int32_t distinct = 0;
    int32_t firstNumber = next - 1;  // entry e > 0 is vertex firstNumber + e
    for (int32_t j = 0; j < count; ++j) {
        const float u = cornerUVs[2 * corners[j]];
        const float v = cornerUVs[2 * corners[j] + 1];
        int32_t e = 0;
        while (e < distinct && !(seen[2 * e] == u && seen[2 * e + 1] == v)) ++e;
        if (e == distinct) {
            seen[2 * e] = u;
            seen[2 * e + 1] = v;
            ++distinct;
            if (e > 0) ++next;
        }
        indices[corners[j]] = e == 0 ? point : firstNumber + e;
    }
}

// How the corners of a point are grouped by their faces: a group takes every later
// corner whose face normal makes a dot product of at least the limit with its seed's,
// and its normal is the sum of its face normals, normalised.
struct FaceSmoothing {
    const Vector* faceNormals;
    float cosLimit;
    Vector seed, sum;

    void start(int32_t corner) {
        seed = faceNormals[corner / 3];
        sum = seed;
    }
    bool joins(int32_t corner) {
        const Vector& other = faceNormals[corner / 3];
        // Summed in this order; a NaN never reaches the limit.
        const float d = seed.z * other.z + seed.y * other.y + other.x * seed.x;
        if (!(d >= cosLimit)) return false;
        sum.x += other.x;
        sum.y += other.y;
        sum.z += other.z;
        return true;
    }
    Vector normal() const { return normalizedOrZero(sum); }
};

// How the corners of a point are grouped by the normal tag: a group takes the corners
// whose normal equals its seed's, and that is its normal. A corner whose tag normal is
// unusable (zero or not finite, left zero when read) takes its face normal: from the
// face normals, or where they were not computed, from the positions of the face's
// vertices (each its point's).
struct TagNormals {
    const Vector* cornerNormals;
    const Vector* faceNormals;  // or null
    const ExportVertex* vertices;
    const int32_t* indices;
    Vector seed;

    Vector normalOf(int32_t corner) const {
        const Vector& n = cornerNormals[corner];
        if (!isZero(n)) return n;
        if (faceNormals) return faceNormals[corner / 3];
        const int32_t* face = indices + corner / 3 * 3;
        const auto position = [&](int32_t i) {
            const ExportVertex& v = vertices[face[i]];
            return Vector{v.x, v.y, v.z};
        };
        return faceNormal(position(0), position(1), position(2));
    }
    void start(int32_t corner) { seed = normalOf(corner); }
    bool joins(int32_t corner) const { return sameVector(normalOf(corner), seed); }
    Vector normal() const { return seed; }
};

// The corners of one point (`count` corner numbers in corner order, rewritten in place
// by group) merged into groups from `firstGroup` on, whose corner starts begin at
// `firstCorner`: each group is seeded by the first corner not taken yet and takes the
// later corners the rule lets join. `scratch` holds room for 3 x count numbers.
// Returns the group count.
template <typename Rule>
int32_t groupPoint(int32_t* corners, int32_t count, Rule& rule, NormalGroups& groups, int32_t firstGroup,
                   int32_t firstCorner, int32_t* scratch) {
    // The common case first: every later corner joins the first one's group (asked in
    // the order the general way asks), whose corners then stay as they are. Otherwise
    // the general way starts over.
    if (count > 0) {
        rule.start(corners[0]);
        int32_t joined = 1;
        while (joined < count && rule.joins(corners[joined])) ++joined;
        if (joined == count) {
            groups.normals[firstGroup] = rule.normal();
            groups.cornerStarts[firstGroup] = firstCorner;
            return 1;
        }
    }
    int32_t* groupOf = scratch;
    int32_t* inCorner = scratch + count;
    int32_t* cursor = scratch + 2 * count;
    for (int32_t j = 0; j < count; ++j) {
        groupOf[j] = -1;
        inCorner[j] = corners[j];
    }
    int32_t groupCount = 0;
    for (int32_t j = 0; j < count; ++j) {
        if (groupOf[j] >= 0) continue;
        rule.start(inCorner[j]);
        int32_t size = 1;
        groupOf[j] = groupCount;
        for (int32_t k = j + 1; k < count; ++k) {
            if (groupOf[k] >= 0 || !rule.joins(inCorner[k])) continue;
            groupOf[k] = groupCount;
            ++size;
        }
        groups.normals[firstGroup + groupCount] = rule.normal();
        cursor[groupCount] = size;
        ++groupCount;
    }
    // Each group's corners in corner order: sizes turned into starts, then placed.
    int32_t start = 0;
    for (int32_t g = 0; g < groupCount; ++g) {
        const int32_t size = cursor[g];
        groups.cornerStarts[firstGroup + g] = firstCorner + start;
        cursor[g] = start;
        start += size;
    }
    for (int32_t j = 0; j < count; ++j) corners[cursor[groupOf[j]]++] = inCorner[j];
    return groupCount;
}

// The groups of every point by `rule`; see smoothNormals.
template <typename Rule>
bool groupCorners(ExportMesh& mesh, Rule& rule) {
    mesh.normalGroups = NormalGroups{};
    if (!mesh.cornerStarts || !mesh.pointCorners || mesh.pointCount <= 0) {
        releaseFaceCorners(mesh);
        return false;
    }
    const int32_t* starts = mesh.cornerStarts;
    const int32_t cornerCount = starts[mesh.pointCount];
    const int32_t most = mostCornersOfAPoint(starts, mesh.pointCount);
    // A point has at most as many groups as corners: the normals and group starts take
    // room for that many, of which only the pages in use are ever touched.
    NormalGroups& groups = mesh.normalGroups;
    HostArray<int32_t> scratch;
    const bool grouped = groups.groupStarts.allocate(int64_t{mesh.pointCount} + 1) &&
                         groups.normals.allocate(cornerCount) && groups.cornerStarts.allocate(int64_t{cornerCount} + 1) &&
                         scratch.allocate(int64_t{3} * most);
    if (grouped) {
        // The corners by point become the corners by point and group.
        groups.corners = std::move(mesh.pointCorners);
        int32_t groupCount = 0;
        for (int32_t p = 0; p < mesh.pointCount; ++p) {
            groups.groupStarts[p] = groupCount;
            groupCount += groupPoint(groups.corners + starts[p], starts[p + 1] - starts[p], rule, groups, groupCount,
                                     starts[p], scratch);
        }
        groups.groupStarts[mesh.pointCount] = groupCount;
        groups.cornerStarts[groupCount] = cornerCount;
        groups.groupCount = groupCount;
    } else {
        groups = NormalGroups{};
    }
    releaseFaceCorners(mesh);
    return grouped;
}

const KrvVector& cornerNormal(const KrvPolygonNormals& record, int32_t corner) {
    return corner == 0 ? record.a : corner == 1 ? record.b : record.c;
}

// Room for the first vertices a split adds.
constexpr int32_t kFirstAddedRoom = 100;

bool isFinite(const KrvVector& v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }

}  // namespace

bool setMeshPoints(ExportMesh& mesh, const Vector* points, int32_t pointCount) {
    if (!points || pointCount < 0) pointCount = 0;
    if (!mesh.points.allocate(pointCount)) return false;
    mesh.pointCount = pointCount;
    if (pointCount > 0) std::memcpy(mesh.points, points, sizeof(Vector) * static_cast<size_t>(pointCount));
    return true;
}

void addPolygonUVs(ExportMesh& mesh, const KrvPolygonUV* records, int32_t first, int32_t count,
                   const TextureTransform& transform) {
    float* uv = mesh.cornerUVs + 6 * static_cast<size_t>(first);
    for (int32_t i = 0; i < count; ++i) {
        for (int32_t corner = 0; corner < 3; ++corner) {
            const KrvVector& record = cornerUV(records[i], corner);
            *uv++ = (record.x - transform.offsetU) * transform.scaleU;
            *uv++ = (record.y - transform.offsetV) * transform.scaleV;
        }
    }
}

bool computeFaceNormals(ExportMesh& mesh, const KrvPolygon* polygons, int32_t polygonCount, bool faceNormals) {
    if (mesh.pointCount <= 0 || !mesh.points) return false;
    mesh.normalGroups = NormalGroups{};
    if (polygonCount < 0 || polygonCount > INT32_MAX / 3) polygonCount = 0;
    if ((faceNormals && !mesh.faceNormals.allocate(polygonCount)) ||
        !mesh.cornerStarts.allocate(int64_t{mesh.pointCount} + 1) ||
        !mesh.pointCorners.allocate(int64_t{3} * polygonCount)) {
        releaseFaceCorners(mesh);
        return false;
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
        if (faceNormals)
            mesh.faceNormals[k] =
                faceNormal(mesh.points[polygon.a], mesh.points[polygon.b], mesh.points[polygon.c]);
    }
    for (int32_t p = mesh.pointCount; p > 0; --p) starts[p] = starts[p - 1];
    starts[0] = 0;
    return true;
}

bool buildIndices(ExportMesh& mesh, const KrvPolygon* polygons, int32_t polygonCount) {
    mesh.indices.reset();
    mesh.vertices.reset();
    mesh.indexCount = 0;
    mesh.vertexCount = 0;
    if (!mesh.pointCorners || mesh.pointCount <= 0) return false;
    const int32_t indexCount = 3 * (polygonCount > 0 ? polygonCount : 0);
    if (!mesh.indices.allocate(indexCount)) return false;
    mesh.indexCount = indexCount;
    for (int32_t k = 0; k < indexCount / 3; ++k) {
        mesh.indices[3 * k] = polygons[k].a;
        mesh.indices[3 * k + 1] = polygons[k].b;
        mesh.indices[3 * k + 2] = polygons[k].c;
    }
    int32_t vertexCount = mesh.pointCount;
    const bool withUVs = mesh.hasUV && mesh.cornerUVs;
    if (withUVs) {
        const int32_t most = mostCornersOfAPoint(mesh.cornerStarts, mesh.pointCount);
        HostArray<float> seen;
        if (!seen.allocate(int64_t{2} * most)) return false;
        for (int32_t p = 0; p < mesh.pointCount; ++p)
            numberPointUVs(p, mesh.pointCorners + mesh.cornerStarts[p], mesh.cornerStarts[p + 1] - mesh.cornerStarts[p],
                           mesh.cornerUVs, mesh.indices, seen, vertexCount);
    }
    if (!mesh.vertices.allocate(vertexCount)) return false;
    mesh.vertexCount = vertexCount;
    mesh.vertices.fill(0);
    // Every vertex takes the texture coordinate of its first corner. A point's first
    // corner has the point's own vertex, and its added vertices were numbered as they
    // were first met, so the next number not written yet is the only new one.
    int32_t nextAdded = mesh.pointCount;
    for (int32_t p = 0; p < mesh.pointCount; ++p) {
        const int32_t first = mesh.cornerStarts[p];
        const int32_t end = mesh.cornerStarts[p + 1];
        if (!withUVs || first == end) {
            setPositionAndUV(mesh.vertices[p], mesh.points[p], 0.0f, 0.0f);
            continue;
        }
        const float* uv = mesh.cornerUVs + 2 * mesh.pointCorners[first];
        setPositionAndUV(mesh.vertices[p], mesh.points[p], uv[0], uv[1]);
        for (int32_t i = first + 1; i < end; ++i) {
            const int32_t corner = mesh.pointCorners[i];
            if (mesh.indices[corner] != nextAdded) continue;
            uv = mesh.cornerUVs + 2 * corner;
            setPositionAndUV(mesh.vertices[nextAdded++], mesh.points[p], uv[0], uv[1]);
        }
    }
    mesh.cornerUVs.reset();
    return true;
}

bool smoothNormals(ExportMesh& mesh, float cosLimit) {
    if (!mesh.faceNormals) {
        releaseFaceCorners(mesh);
        return false;
    }
    FaceSmoothing rule{mesh.faceNormals, cosLimit, {}, {}};
    return groupCorners(mesh, rule);
}

void addPolygonNormals(ExportMesh& mesh, const KrvPolygonNormals* records, int32_t first, int32_t count) {
    Vector* normal = mesh.cornerNormals + 3 * static_cast<size_t>(first);
    for (int32_t i = 0; i < count; ++i) {
        for (int32_t corner = 0; corner < 3; ++corner) {
            const KrvVector& n = cornerNormal(records[i], corner);
            *normal++ = isFinite(n) ? normalizedOrZero(Vector{n.x, n.y, n.z}) : Vector{0.0f, 0.0f, 0.0f};
        }
    }
}

bool groupByTagNormals(ExportMesh& mesh) {
    TagNormals rule{mesh.cornerNormals, mesh.faceNormals, mesh.vertices, mesh.indices, {}};
    const bool grouped = mesh.cornerNormals && mesh.vertices && mesh.indices && groupCorners(mesh, rule);
    mesh.cornerNormals.reset();
    return grouped;
}

bool splitByNormals(ExportMesh& mesh) {
    const NormalGroups& groups = mesh.normalGroups;
    if (!mesh.vertices || !mesh.indices || !groups.groupStarts) return false;
    // The vertices added for corners whose group normal differs from the one their vertex
    // already has follow the base records.
    HostArray<ExportVertex>& vertices = mesh.vertices;
    int32_t count = mesh.vertexCount;
    for (int32_t g = 0; g < groups.groupCount; ++g) {
        const Vector& normal = groups.normals[g];
        for (int32_t i = groups.cornerStarts[g]; i < groups.cornerStarts[g + 1]; ++i) {
            const int32_t corner = groups.corners[i];
            ExportVertex& vertex = vertices[mesh.indices[corner]];
            const Vector current{vertex.nx, vertex.ny, vertex.nz};
            if (isZero(current)) {
                // A zero normal counts as none: the next group reaching it gives one.
                vertex.nx = normal.x;
                vertex.ny = normal.y;
                vertex.nz = normal.z;
            } else if (!sameVector(current, normal)) {
                ExportVertex copy = vertex;
                copy.nx = normal.x;
                copy.ny = normal.y;
                copy.nz = normal.z;
                if (count == INT32_MAX || !vertices.grow(count, int64_t{count} + 1, kFirstAddedRoom)) return false;
                vertices[count] = copy;
                mesh.indices[corner] = count++;
            }
        }
    }
    mesh.vertexCount = count;
    return true;
}

}  // namespace dorna
