// Mesh building: one host polygon object becomes an indexed triangle mesh with one
// normal and one texture coordinate per vertex. Points are duplicated where their
// corners need different texture coordinates or different smoothed normals.
//
// The passes work on plain arrays (points, polygons, UV records) so that they can be
// driven without a host object; buildExportMesh reads the object and runs them.
// Polygon k becomes triangle k from its first three point indices a, b, c; corner i of
// triangle k has the corner number 3k + i.
#pragma once

#include <korvo_sdk.h>

#include <cstdint>

#include "host/export_status.h"
#include "mesh/normal_groups.h"
#include "math/matrix.h"

namespace dorna {

struct ExportVertex {
    float x, y, z;
    float nx, ny, nz;
    float u, v;
};

// A new mesh is ready to be built; the mesh owns all its arrays.
struct ExportMesh {
    HostArray<Vector> points;          // one position per host point
    int32_t pointCount = 0;
    bool hasUV = false;                // the object has a UV tag
    // From the face normals to the smoothing: the unit normal of every polygon, and the
    // corners of every point, point p's at pointCorners[cornerStarts[p] .. cornerStarts[p + 1] - 1]
    // in corner order.
    HostArray<Vector> faceNormals;
    HostArray<int32_t> cornerStarts;   // pointCount + 1 entries
    HostArray<int32_t> pointCorners;   // one per corner
    NormalGroups normalGroups;         // from the smoothing to the vertex splits
    HostArray<int32_t> indices;        // vertex index of every corner
    int32_t indexCount = 0;            // 3 x number of polygons
    HostArray<ExportVertex> vertices;
    int32_t vertexCount = 0;
};

// Offset and scale of the texture tag: U = (u - offsetU) * scaleU, likewise V.
struct TextureTransform {
    float offsetU, offsetV, scaleU, scaleV;
};
constexpr TextureTransform kNoTextureTransform = {0.0f, 0.0f, 1.0f, 1.0f};

// The choices of the export that shape a mesh.
struct MeshOptions {
    float smoothingAngle;  // degrees
    bool readPhongAngle;   // the smoothing angle from the object's phong tag where it has one
    bool useNormalTags;    // vertex normals from the object's normal tag where it has one
    bool debugListing;     // print what was computed to the host console
};

// Converts a polygon object (its polygons already triangles in their first three points);
// without polygons the mesh has no indices. False, with the mesh empty and the reason in
// `status`, when the host refused storage or a polygon names a point the object does
// not have (named on the console).
[[nodiscard]] bool buildExportMesh(ExportMesh& mesh, KrvObject object, const MeshOptions& options,
                                   ExportStatus& status);
// The index of the first polygon whose corners a, b, c name a point outside the
// object, or -1. A mesh with such a polygon is not converted.
int32_t firstPolygonOutOfRange(const KrvPolygon* polygons, int32_t polygonCount, int32_t pointCount);

// The passes, in the order buildExportMesh runs them. Each answers true, or false when
// the host refused its storage or its input is missing; what it leaves is then released
// with the mesh.

// Takes the position of every point.
[[nodiscard]] bool setMeshPoints(ExportMesh& mesh, const Vector* points, int32_t pointCount);
// The unit normal of every polygon and the corners of every point (faceNormals,
// cornerStarts, pointCorners); without `faceNormals` only where every point's corners
// start (cornerStarts), for the grouping by tag normals, which places the corners when
// it needs them and takes the normals of the faces that need one from their points.
[[nodiscard]] bool computeFaceNormals(ExportMesh& mesh, const KrvPolygon* polygons, int32_t polygonCount,
                                      bool faceNormals = true);
// The corner-to-vertex map and the vertices' positions and texture coordinates from the
// object's UV tag (hasUV set; without one every vertex is its point), and with
// `tagNormals` the smoothing groups from the object's normal tag instead of
// smoothNormals; where every point has one group (and not `keepGroups`), the vertices'
// normals instead, with no groups and nothing for splitByNormals to do. Reads the
// texture tag's offset and scale. See CornerReading.
[[nodiscard]] bool readCorners(ExportMesh& mesh, KrvObject object, const KrvPolygon* polygons, int32_t polygonCount,
                               bool tagNormals, bool keepGroups);

// The part of readCorners over plain arrays: the polygons' texture coordinates and tag
// normals read in runs of polygons, in polygon order, each corner compared as it comes
// with what its point has had so far, so that no corner's coordinates or normal are
// kept.
//
// The texture coordinates: the distinct coordinates of a point (compared exactly, the
// first corner's kept) each take a vertex, the first the point's own, the others
// numbered after the points in point order. Normals are left zero.
//
// The tag normals (a non-finite one read as zero): the corners of every point whose
// normals made unit length are the same form a group with that normal, the groups in
// the order of their first corners; a corner without a usable normal takes the normal
// of its face, from the face's points. Reads after computeFaceNormals without face
// normals and gives back what it made; where a point has two groups or the reading
// keeps the groups, the corners by point become the groups' corners, else every vertex
// takes its point's group normal and the mesh has no groups.
struct CornerReading {
    // A texture coordinate of a point after its first, while its vertex number is not
    // known: the entries of a point are linked in the order they were met.
    struct ExtraUV {
        float u, v;
        int32_t next;    // the point's next entry, or -1
        int32_t vertex;  // its vertex, once numbered
    };
    ExportMesh* mesh = nullptr;
    const KrvPolygon* polygons = nullptr;
    int32_t polygonCount = 0;
    bool withUVs = false, withNormals = false;
    bool keepGroups = false;  // the groups even where every point has one
    TextureTransform transform = kNoTextureTransform;
    // Per point: what it has had (seen, further texture coordinates, further groups)
    // and, where it has them, the first of its further texture coordinates and its
    // group count. While the corners are read a point's own vertex holds its first
    // corner's texture coordinate, and its first corner's tag normal as given (in x, y,
    // z) and made unit length (in nx, ny, nz).
    HostArray<uint8_t> pointState;
    HostArray<int32_t> firstExtraUV, groupCounts;
    HostArray<ExtraUV> extraUVs;
    int32_t extraUVCount = 0;
    HostArray<int32_t> extraUVCorners;  // the corners that have one of extraUVs (its number + pointCount)
    int32_t extraUVCornerCount = 0;
    HostArray<int32_t> groupOf;  // every corner's group within its point, once a point has two
};
// Room for the reading; false when the host refuses it.
[[nodiscard]] bool startCorners(CornerReading& reading, ExportMesh& mesh, const KrvPolygon* polygons,
                                int32_t polygonCount, bool withUVs, bool withNormals, bool keepGroups,
                                const TextureTransform& transform);
// The records of polygons first .. first + count - 1, in polygon order from 0 on: the
// texture coordinates (null without UVs) and the tag normals (null without them).
// False when the host refuses room.
[[nodiscard]] bool addCorners(CornerReading& reading, const KrvPolygonUV* uvs, const KrvPolygonNormals* normals,
                              int32_t first, int32_t count);
// The vertices and, with tag normals, the groups (or the vertices' normals), once every
// polygon was added.
[[nodiscard]] bool finishCorners(CornerReading& reading);

// The cosine below which two corners of a point keep apart: from the smoothing angle,
// or from the object's phong tag when the options say so.
float smoothingLimit(KrvObject object, const MeshOptions& options);
// Merges the corners of every point into smoothing groups (normalGroups): each group is
// seeded by the first corner not taken yet and takes every later corner whose face
// normal makes a dot product of at least cosLimit with the seed's. Gives back the face
// normals and the corners by point, which nothing needs after it.
[[nodiscard]] bool smoothNormals(ExportMesh& mesh, float cosLimit);
// The final vertices: every corner whose group normal differs from the normal its
// vertex already has gets a copy of the vertex with the group normal.
[[nodiscard]] bool splitByNormals(ExportMesh& mesh);

// What the writers take of a built mesh: its vertices and indices (null, with a count of
// 0, when the mesh has none), borrowed from the mesh.
struct MeshArrays {
    ExportVertex* vertices;
    int32_t vertexCount;
    int32_t* indices;
    int32_t indexCount;
};
// Places the vertices by `matrix` and `sceneScale` (see placeVertices) and gives back
// every other array of the mesh, so that the conversion's storage is returned before the
// text is written. The vertices and indices stay the mesh's.
MeshArrays finishExportMesh(ExportMesh& mesh, const Matrix* matrix, const Vector* sceneScale);
// Places vertices where they are. Without a matrix they are unchanged. With one,
// positions go through the matrix (then scaled by `sceneScale` when there is one) and
// normals through its axes alone, neither scaled nor normalised.
void placeVertices(ExportVertex* vertices, int32_t vertexCount, const Matrix* matrix, const Vector* sceneScale);
// Returns every array of the mesh and leaves it cleared.
void releaseExportMesh(ExportMesh& mesh);

}  // namespace dorna
