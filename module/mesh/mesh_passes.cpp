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

// The most corners any point has: the size of the per-point scratch arrays.
int32_t mostCornersOfAPoint(const int32_t* cornerStarts, int32_t pointCount) {
    int32_t most = 0;
    for (int32_t p = 0; p < pointCount; ++p)
        if (cornerStarts[p + 1] - cornerStarts[p] > most) most = cornerStarts[p + 1] - cornerStarts[p];
    return most;
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

// Room for the first vertices a split adds.
constexpr int32_t kFirstAddedRoom = 100;

bool isFinite(const KrvVector& v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }

const KrvVector& cornerNormal(const KrvPolygonNormals& record, int32_t corner) {
    return corner == 0 ? record.a : corner == 1 ? record.b : record.c;
}

// The corners of every point in corner order (pointCorners), from the points' starts:
// each start is its point's cursor, which leaves it at the next point's start; one step
// back restores them. With `faceNormals`, also the unit normal of every polygon.
bool placeCorners(ExportMesh& mesh, const KrvPolygon* polygons, int32_t polygonCount, bool faceNormals) {
    if (!mesh.pointCorners.allocate(int64_t{3} * polygonCount)) return false;
    int32_t* starts = mesh.cornerStarts;
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

// What a point has had while the corners are read.
constexpr uint8_t kPointSeen = 1;        // its first corner
constexpr uint8_t kPointMoreUVs = 2;     // texture coordinates after its first corner's
constexpr uint8_t kPointMoreGroups = 4;  // groups after its first corner's

// Room at first for the entries of the reading's lists, and for the vertices added by
// texture coordinates beyond the points' own (one per 16 polygons).
constexpr int32_t kFirstEntries = 64;

// The normal a corner is grouped by: its tag normal made unit length, or where that is
// zero its face's, from the face's points.
Vector groupingNormal(const Vector& given, const ExportMesh& mesh, const KrvPolygon& polygon) {
    if (!isZero(given)) return normalizedOrZero(given);
    return faceNormal(mesh.points[polygon.a], mesh.points[polygon.b], mesh.points[polygon.c]);
}

// The vertex of a corner of point `p` whose texture coordinate is not the point's
// first: that of an earlier corner with the same coordinate, or a new entry. Until
// finishCorners numbers them, entry e stands as vertex pointCount + e.
bool extraUV(CornerReading& r, int32_t p, float u, float v, int32_t corner, int32_t& vertex) {
    const int32_t pointCount = r.mesh->pointCount;
    int32_t found = -1, last = -1;
    if (r.pointState[p] & kPointMoreUVs) {
        for (int32_t e = r.firstExtraUV[p]; e >= 0 && found < 0; e = r.extraUVs[e].next) {
            if (r.extraUVs[e].u == u && r.extraUVs[e].v == v) found = e;
            last = e;
        }
    }
    if (found < 0) {
        if (r.extraUVCount >= INT32_MAX - pointCount ||
            !r.extraUVs.grow(r.extraUVCount, int64_t{r.extraUVCount} + 1, kFirstEntries))
            return false;
        found = r.extraUVCount++;
        r.extraUVs[found] = CornerReading::ExtraUV{u, v, -1, 0};
        if (last >= 0) {
            r.extraUVs[last].next = found;
        } else {
            r.firstExtraUV[p] = found;
            r.pointState[p] |= kPointMoreUVs;
        }
    }
    if (!r.extraUVCorners.grow(r.extraUVCornerCount, int64_t{r.extraUVCornerCount} + 1, kFirstEntries)) return false;
    r.extraUVCorners[r.extraUVCornerCount++] = corner;
    vertex = pointCount + found;
    return true;
}

// The group of a corner of point `p` whose normal `n` is not the point's first group's:
// an earlier group with that normal, or a new one (numbered from 1 within the point).
// Until finishCorners places them, the normals of a point's groups after its first are
// kept in the room of the group normals from its first corner's number on (a point has
// no more groups than corners). The first time a point has two groups, every corner
// read so far is in its point's first group.
bool extraGroup(CornerReading& r, int32_t p, const Vector& n, int32_t corner, int32_t& group) {
    Vector* normals = r.mesh->normalGroups.normals + r.mesh->cornerStarts[p];
    const bool more = (r.pointState[p] & kPointMoreGroups) != 0;
    const int32_t count = more ? r.groupCounts[p] : 1;
    for (int32_t g = 1; g < count; ++g) {
        if (sameVector(normals[g], n)) {
            group = g;
            return true;
        }
    }
    if (!r.groupOf) {
        if (!r.groupOf.allocate(int64_t{3} * r.polygonCount)) return false;
        fillBytes(r.groupOf, sizeof(int32_t) * static_cast<size_t>(corner), 0);
    }
    normals[count] = n;
    r.groupCounts[p] = count + 1;
    r.pointState[p] |= kPointMoreGroups;
    group = count;
    return true;
}

// The groups of point `p` after its first (which starts at its corners' start), from
// `firstGroup` on: their normals moved to their places (never after where extraGroup
// kept them), and the point's corners (in corner order) rewritten by group, each
// group's in corner order. `scratch` holds room for 2 x its corners. Returns their count.
int32_t placeGroups(const CornerReading& r, int32_t p, int32_t firstGroup, int32_t* scratch) {
    NormalGroups& groups = r.mesh->normalGroups;
    const int32_t start = r.mesh->cornerStarts[p];
    const int32_t count = r.mesh->cornerStarts[p + 1] - start;
    const int32_t added = r.groupCounts[p] - 1;
    for (int32_t g = 1; g <= added; ++g) groups.normals[firstGroup + g - 1] = groups.normals[start + g];
    int32_t* corners = groups.corners + start;
    int32_t* inCorner = scratch;
    int32_t* cursor = scratch + count;
    for (int32_t g = 0; g <= added; ++g) cursor[g] = 0;
    for (int32_t j = 0; j < count; ++j) {
        inCorner[j] = corners[j];
        ++cursor[r.groupOf[corners[j]]];
    }
    // Sizes turned into starts, then each corner placed.
    int32_t at = 0;
    for (int32_t g = 0; g <= added; ++g) {
        const int32_t size = cursor[g];
        if (g > 0) groups.cornerStarts[firstGroup + g - 1] = start + at;
        cursor[g] = at;
        at += size;
    }
    for (int32_t j = 0; j < count; ++j) corners[cursor[r.groupOf[inCorner[j]]]++] = inCorner[j];
    return added;
}

}  // namespace

bool setMeshPoints(ExportMesh& mesh, const Vector* points, int32_t pointCount) {
    if (!points || pointCount < 0) pointCount = 0;
    if (!mesh.points.allocate(pointCount)) return false;
    mesh.pointCount = pointCount;
    if (pointCount > 0) std::memcpy(mesh.points, points, sizeof(Vector) * static_cast<size_t>(pointCount));
    return true;
}

bool computeFaceNormals(ExportMesh& mesh, const KrvPolygon* polygons, int32_t polygonCount, bool faceNormals) {
    if (mesh.pointCount <= 0 || !mesh.points) return false;
    mesh.normalGroups = NormalGroups{};
    if (polygonCount < 0 || polygonCount > INT32_MAX / 3) polygonCount = 0;
    if ((faceNormals && !mesh.faceNormals.allocate(polygonCount)) ||
        !mesh.cornerStarts.allocate(int64_t{mesh.pointCount} + 1)) {
        releaseFaceCorners(mesh);
        return false;
    }
    // The corners counted into the next point's start, then summed up.
    int32_t* starts = mesh.cornerStarts;
    fillBytes(starts, sizeof(int32_t) * static_cast<size_t>(mesh.pointCount + 1), 0);
    for (int32_t k = 0; k < polygonCount; ++k) {
        ++starts[polygons[k].a + 1];
        ++starts[polygons[k].b + 1];
        ++starts[polygons[k].c + 1];
    }
    for (int32_t p = 0; p < mesh.pointCount; ++p) starts[p + 1] += starts[p];
    if (faceNormals && !placeCorners(mesh, polygons, polygonCount, true)) {
        releaseFaceCorners(mesh);
        return false;
    }
    return true;
}

bool startCorners(CornerReading& reading, ExportMesh& mesh, const KrvPolygon* polygons, int32_t polygonCount,
                  bool withUVs, bool withNormals, bool keepGroups, const TextureTransform& transform) {
    reading = CornerReading{};
    mesh.indices.reset();
    mesh.vertices.reset();
    mesh.indexCount = 0;
    mesh.vertexCount = 0;
    mesh.normalGroups = NormalGroups{};
    if (mesh.pointCount <= 0 || !mesh.points || (withNormals && !mesh.cornerStarts)) return false;
    if (polygonCount < 0 || polygonCount > INT32_MAX / 3) polygonCount = 0;
    reading.mesh = &mesh;
    reading.polygons = polygons;
    reading.polygonCount = polygonCount;
    reading.withUVs = withUVs;
    reading.withNormals = withNormals;
    reading.keepGroups = keepGroups;
    reading.transform = transform;
    if (!mesh.indices.allocate(int64_t{3} * polygonCount) ||
        !mesh.vertices.allocate(int64_t{mesh.pointCount} + polygonCount / 16 + kFirstEntries) ||
        !reading.pointState.allocate(mesh.pointCount) || (withUVs && !reading.firstExtraUV.allocate(mesh.pointCount)) ||
        (withNormals && (!reading.groupCounts.allocate(mesh.pointCount) ||
                         !mesh.normalGroups.normals.allocate(mesh.cornerStarts[mesh.pointCount]))))
        return false;
    mesh.indexCount = 3 * polygonCount;
    reading.pointState.fill(0);
    return true;
}

bool addCorners(CornerReading& r, const KrvPolygonUV* uvs, const KrvPolygonNormals* normals, int32_t first,
                int32_t count) {
    const ExportMesh& mesh = *r.mesh;
    const TextureTransform t = r.transform;
    ExportVertex* const vertices = mesh.vertices;
    int32_t* const indices = mesh.indices;
    uint8_t* const pointState = r.pointState;
    for (int32_t i = 0; i < count; ++i) {
        const int32_t k = first + i;
        const KrvPolygon& polygon = r.polygons[k];
        for (int32_t j = 0; j < 3; ++j) {
            const int32_t corner = 3 * k + j;
            const int32_t p = j == 0 ? polygon.a : j == 1 ? polygon.b : polygon.c;
            float u = 0.0f, v = 0.0f;
            if (uvs) {
                const KrvVector& record = cornerUV(uvs[i], j);
                u = (record.x - t.offsetU) * t.scaleU;
                v = (record.y - t.offsetV) * t.scaleV;
            }
            const KrvVector* n = normals ? &cornerNormal(normals[i], j) : nullptr;
            // The point's own vertex keeps its first corner's coordinate and normals.
            ExportVertex& own = vertices[p];
            if (!(pointState[p] & kPointSeen)) {
                pointState[p] = kPointSeen;
                own.u = u;
                own.v = v;
                if (n) {
                    const Vector given = isFinite(*n) ? Vector{n->x, n->y, n->z} : Vector{0.0f, 0.0f, 0.0f};
                    const Vector unit = groupingNormal(given, mesh, polygon);
                    own.x = given.x;
                    own.y = given.y;
                    own.z = given.z;
                    own.nx = unit.x;
                    own.ny = unit.y;
                    own.nz = unit.z;
                    if (r.groupOf) r.groupOf[corner] = 0;
                }
                indices[corner] = p;
                continue;
            }
            int32_t vertex = p;
            if (uvs && !(u == own.u && v == own.v) && !extraUV(r, p, u, v, corner, vertex)) return false;
            indices[corner] = vertex;
            if (n) {
                // Equal as given to the first corner's usable normal, or equal made unit
                // length (a zero or non-finite one takes its face's instead).
                int32_t group = 0;
                if (!(n->x == own.x && n->y == own.y && n->z == own.z) || isZero(Vector{own.x, own.y, own.z})) {
                    const Vector given = isFinite(*n) ? Vector{n->x, n->y, n->z} : Vector{0.0f, 0.0f, 0.0f};
                    const Vector unit = groupingNormal(given, mesh, polygon);
                    if (!sameVector(unit, Vector{own.nx, own.ny, own.nz}) && !extraGroup(r, p, unit, corner, group))
                        return false;
                }
                if (r.groupOf) r.groupOf[corner] = group;
            }
        }
    }
    return true;
}

bool finishCorners(CornerReading& r) {
    ExportMesh& mesh = *r.mesh;
    const int32_t pointCount = mesh.pointCount;
    const int32_t vertexCount = pointCount + r.extraUVCount;
    if (!mesh.vertices.grow(pointCount, vertexCount)) return false;
    NormalGroups& groups = mesh.normalGroups;
    const int32_t* starts = mesh.cornerStarts;
    HostArray<int32_t> scratch;
    // Where every point has one group, each vertex takes its point's group normal here.
    const bool grouped = r.withNormals && (r.groupOf || r.keepGroups);
    if (grouped) {
        const int32_t cornerCount = starts[pointCount];
        // A point has at most as many groups as corners: the normals (see startCorners) and
        // group starts take room for that many, of which only the pages in use are ever
        // touched.
        if (!placeCorners(mesh, r.polygons, r.polygonCount, false) ||
            !groups.groupStarts.allocate(int64_t{pointCount} + 1) ||
            !groups.cornerStarts.allocate(int64_t{cornerCount} + 1) ||
            (r.groupOf && !scratch.allocate(int64_t{2} * mostCornersOfAPoint(starts, pointCount)))) {
            groups = NormalGroups{};
            return false;
        }
        groups.corners = std::move(mesh.pointCorners);
    }
    int32_t groupCount = 0;
    int32_t added = pointCount;
    for (int32_t p = 0; p < pointCount; ++p) {
        ExportVertex& own = mesh.vertices[p];
        const uint8_t state = r.pointState[p];
        const bool seen = (state & kPointSeen) != 0;
        Vector normal{0.0f, 0.0f, 0.0f};
        if (r.withNormals && !grouped && seen) normal = Vector{own.nx, own.ny, own.nz};
        if (grouped) {
            groups.groupStarts[p] = groupCount;
            if (seen) {
                groups.normals[groupCount] = Vector{own.nx, own.ny, own.nz};
                groups.cornerStarts[groupCount] = starts[p];
                ++groupCount;
                if (state & kPointMoreGroups) groupCount += placeGroups(r, p, groupCount, scratch);
            }
        }
        const Vector& position = mesh.points[p];
        own = ExportVertex{position.x, position.y, position.z, normal.x, normal.y, normal.z,
                           seen ? own.u : 0.0f, seen ? own.v : 0.0f};
        if (state & kPointMoreUVs) {
            for (int32_t e = r.firstExtraUV[p]; e >= 0; e = r.extraUVs[e].next) {
                r.extraUVs[e].vertex = added;
                mesh.vertices[added++] = ExportVertex{position.x, position.y, position.z, normal.x, normal.y,
                                                      normal.z, r.extraUVs[e].u, r.extraUVs[e].v};
            }
        }
    }
    for (int32_t i = 0; i < r.extraUVCornerCount; ++i) {
        int32_t& index = mesh.indices[r.extraUVCorners[i]];
        index = r.extraUVs[index - pointCount].vertex;
    }
    mesh.vertexCount = vertexCount;
    if (grouped) {
        groups.groupStarts[pointCount] = groupCount;
        groups.cornerStarts[groupCount] = starts[pointCount];
        groups.groupCount = groupCount;
    }
    if (r.withNormals) {
        if (!grouped) groups = NormalGroups{};
        releaseFaceCorners(mesh);
    }
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

bool splitByNormals(ExportMesh& mesh) {
    const NormalGroups& groups = mesh.normalGroups;
    if (!mesh.vertices || !mesh.indices || !groups.groupStarts) return false;
    // The vertices added for corners whose group normal differs from the one their vertex
    // already has follow the base records.
    HostArray<ExportVertex>& vertices = mesh.vertices;
    int32_t count = mesh.vertexCount;
    // Only a corner outside its point's first group can need a copy (before that group
    // no other has given the point's vertices a normal): room for that many up front,
    // so that the vertices are copied once at most, not at every doubling.
    int64_t outside = 0;
    for (int32_t p = 0; p < mesh.pointCount; ++p) {
        const int32_t first = groups.groupStarts[p];
        const int32_t end = groups.groupStarts[p + 1];
        if (end - first > 1) outside += groups.cornerStarts[end] - groups.cornerStarts[first + 1];
    }
    if (outside > 0 && count + outside <= INT32_MAX && !vertices.grow(count, count + outside)) return false;
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
