// Mesh building from host polygon objects: smoothing by angle and phong tag, texture
// splits, vertex splits by normals, placement, and survival of refused allocations.
#include "mesh/export_mesh.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <random>
#include <vector>

#include "host/host.h"
#include "module/mesh/host_fixture.h"

namespace dorna {
namespace {

using korvo::SceneObject;
using Triangle = std::array<int32_t, 3>;
using UV = std::array<korvo::Vec2, 3>;

constexpr double kDegree = 3.141592653589793 / 180.0;

SceneObject polygonObject(std::vector<korvo::Vec3> points, std::vector<Triangle> triangles) {
    SceneObject o;
    o.name = "Mesh";
    o.type = korvo::ObjectType::Polygon;
    o.points = std::move(points);
    for (const Triangle& t : triangles) o.polygons.push_back({t[0], t[1], t[2], t[2]});
    return o;
}

void setUVs(SceneObject& o, const std::vector<UV>& uvs) {
    o.uvw.emplace();
    for (const UV& uv : uvs) o.uvw->push_back({{uv[0], uv[1], uv[2], uv[2]}});
}

void setNormals(SceneObject& o, const std::vector<std::array<korvo::Vec3, 3>>& normals) {
    o.normals.emplace();
    for (const auto& n : normals) o.normals->push_back({{n[0], n[1], n[2], n[2]}});
}

// Two triangles meeting at a right angle along the edge from point 0 to point 1: the
// first faces +z, the second +y.
SceneObject rightAngleFold() {
    return polygonObject({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}}, {{0, 1, 2}, {0, 3, 1}});
}

class MeshBuilding : public HostTest {
protected:
    // The defaults of the settings dialog.
    MeshOptions options{80.0f, true, false, false};

    ~MeshBuilding() override { releaseExportMesh(mesh); }

    void build(const SceneObject& o) {
        releaseExportMesh(mesh);
        ExportStatus status;
        EXPECT_TRUE(buildExportMesh(mesh, load(o), options, status));
    }

    std::vector<int32_t> indices() const { return std::vector<int32_t>(mesh.indices.get(), mesh.indices + mesh.indexCount); }

    void expectNormal(int32_t vertex, float x, float y, float z) const {
        ASSERT_LT(vertex, mesh.vertexCount);
        const ExportVertex& v = mesh.vertices[vertex];
        EXPECT_FLOAT_EQ(v.nx, x) << "vertex " << vertex;
        EXPECT_FLOAT_EQ(v.ny, y) << "vertex " << vertex;
        EXPECT_FLOAT_EQ(v.nz, z) << "vertex " << vertex;
    }

    void expectPositionAndUV(int32_t vertex, float x, float y, float z, float u, float v) const {
        ASSERT_LT(vertex, mesh.vertexCount);
        const ExportVertex& e = mesh.vertices[vertex];
        EXPECT_EQ(e.x, x) << "vertex " << vertex;
        EXPECT_EQ(e.y, y) << "vertex " << vertex;
        EXPECT_EQ(e.z, z) << "vertex " << vertex;
        EXPECT_EQ(e.u, u) << "vertex " << vertex;
        EXPECT_EQ(e.v, v) << "vertex " << vertex;
    }

    ExportMesh mesh{};
};

TEST_F(MeshBuilding, TriangleWithoutTextureCoordinates) {
    build(polygonObject({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2}}));
    EXPECT_EQ(mesh.hasUV, 0);
    ASSERT_EQ(mesh.vertexCount, 3);
    EXPECT_EQ(indices(), (std::vector<int32_t>{0, 1, 2}));
    for (int32_t i = 0; i < 3; ++i) expectNormal(i, 0, 0, 1);
    expectPositionAndUV(1, 1, 0, 0, 0, 0);
    releaseExportMesh(mesh);
    expectNothingHeld();
}

TEST_F(MeshBuilding, FaceNormalIsMadeUnitLengthInSinglePrecision) {
    // The cross product is (0, 1, 4): the root of 17 and its reciprocal rounded to floats
    // give 0.970142543, where a length taken in double would give 0.970142484.
    const Vector points[] = {{0, 0, 0}, {1, 0, 0}, {0, 4, -1}};
    const KrvPolygon triangle = {0, 1, 2, 2};
    ASSERT_TRUE(setMeshPoints(mesh, points, 3));
    ASSERT_TRUE(computeFaceNormals(mesh, &triangle, 1));
    const Vector& unit = mesh.faceNormals[0];
    EXPECT_EQ(unit.x, 0.0f);
    EXPECT_EQ(unit.y, 0.242535636f);
    EXPECT_EQ(unit.z, 0.970142543f);
    // Faces whose squared cross product leaves the float range still get a unit normal.
    for (const float size : {1.0e10f, 1.0e-10f}) {
        SCOPED_TRACE(size);
        releaseExportMesh(mesh);
        const Vector far[] = {{0, 0, 0}, {size, 0, 0}, {0, size, 0}};
        ASSERT_TRUE(setMeshPoints(mesh, far, 3));
        ASSERT_TRUE(computeFaceNormals(mesh, &triangle, 1));
        const Vector& n = mesh.faceNormals[0];
        EXPECT_EQ(n.x, 0.0f);
        EXPECT_EQ(n.y, 0.0f);
        EXPECT_EQ(n.z, 1.0f);
    }
}

TEST_F(MeshBuilding, CoplanarTrianglesShareTheirPoints) {
    build(polygonObject({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0}}, {{0, 1, 2}, {1, 3, 2}}));
    EXPECT_EQ(mesh.vertexCount, mesh.pointCount);
    EXPECT_EQ(indices(), (std::vector<int32_t>{0, 1, 2, 1, 3, 2}));
    for (int32_t p = 0; p < 4; ++p) EXPECT_EQ(groupsOfPoint(mesh.normalGroups, p), 1);
}

TEST_F(MeshBuilding, FoldBelowTheAngleLimitSplitsEveryCornerOfTheSecondFace) {
    for (const float angle : {80.0f, 90.0f}) {
        SCOPED_TRACE(angle);
        options.smoothingAngle = angle;
        build(rightAngleFold());
        EXPECT_EQ(groupsOfPoint(mesh.normalGroups, 0), 2);
        EXPECT_EQ(groupsOfPoint(mesh.normalGroups, 1), 2);
        ASSERT_EQ(mesh.vertexCount, 6);
        EXPECT_EQ(indices(), (std::vector<int32_t>{0, 1, 2, 4, 3, 5}));
        expectNormal(0, 0, 0, 1);
        expectNormal(4, 0, 1, 0);
        expectNormal(5, 0, 1, 0);
        expectNormal(3, 0, 1, 0);
        expectPositionAndUV(4, 0, 0, 0, 0, 0);
        expectPositionAndUV(5, 1, 0, 0, 0, 0);
    }
}

TEST_F(MeshBuilding, FoldAboveTheAngleLimitSmoothsTheSharedPoints) {
    options.smoothingAngle = 100.0f;
    build(rightAngleFold());
    EXPECT_EQ(groupsOfPoint(mesh.normalGroups, 0), 1);
    ASSERT_EQ(mesh.vertexCount, 4);
    EXPECT_EQ(indices(), (std::vector<int32_t>{0, 1, 2, 0, 3, 1}));
    const float half = static_cast<float>(1.0 / std::sqrt(2.0));
    expectNormal(0, 0, half, half);
    expectNormal(1, 0, half, half);
    expectNormal(2, 0, 0, 1);
    expectNormal(3, 0, 1, 0);
}

TEST_F(MeshBuilding, PhongTagDecidesTheLimitWhenAskedTo) {
    SceneObject fold = rightAngleFold();
    fold.phong = korvo::PhongTag{false, std::nullopt};
    build(fold);
    EXPECT_EQ(mesh.vertexCount, 4) << "without its limit every corner smooths with every other";

    fold.phong = korvo::PhongTag{true, 100 * kDegree};
    build(fold);
    EXPECT_EQ(mesh.vertexCount, 4);

    fold.phong = korvo::PhongTag{true, 60 * kDegree};
    options.smoothingAngle = 120.0f;
    build(fold);
    EXPECT_EQ(mesh.vertexCount, 6);

    fold.phong = korvo::PhongTag{true, std::nullopt};
    build(fold);
    EXPECT_EQ(mesh.vertexCount, 4) << "without an angle the tag's limit is the smoothing angle";

    fold.phong = korvo::PhongTag{false, std::nullopt};
    options.smoothingAngle = 80.0f;
    options.readPhongAngle = false;
    build(fold);
    EXPECT_EQ(mesh.vertexCount, 6);
}

TEST_F(MeshBuilding, ExtraTextureCoordinatesAreNumberedAfterThePointsInPointOrder) {
    SceneObject o = polygonObject({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0}}, {{0, 1, 2}, {0, 3, 2}, {3, 2, 1}});
    setUVs(o, {{{{0, 0}, {1, 0}, {0, 1}}}, {{{1, 0}, {1, 1}, {0, 1}}}, {{{0, 0}, {1, 1}, {1, 0}}}});
    build(o);
    EXPECT_EQ(mesh.hasUV, 1);
    ASSERT_EQ(mesh.vertexCount, 7);
    EXPECT_EQ(indices(), (std::vector<int32_t>{0, 1, 2, 4, 3, 2, 6, 5, 1}));
    expectPositionAndUV(0, 0, 0, 0, 0, 0);
    expectPositionAndUV(3, 1, 1, 0, 1, 1);
    expectPositionAndUV(4, 0, 0, 0, 1, 0);
    expectPositionAndUV(5, 0, 1, 0, 1, 1);
    expectPositionAndUV(6, 1, 1, 0, 0, 0);
    for (int32_t i = 0; i < 7; ++i) expectNormal(i, 0, 0, 1);
}

TEST_F(MeshBuilding, CoordinatesEqualAsNumbersShareAVertexWithTheFirstCornersSign) {
    // 0 and -0 compare equal: one vertex, whose text ("0.000000" or "-0.000000") is the
    // first corner's.
    SceneObject o = polygonObject({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0}}, {{0, 1, 2}, {0, 1, 3}, {3, 2, 1}});
    setUVs(o, {{{{0, 0}, {-0.0, 0}, {0, 1}}}, {{{-0.0, 0}, {0, 0}, {1, 1}}}, {{{1, 1}, {0, 1}, {-0.0, 0}}}});
    build(o);
    ASSERT_EQ(mesh.vertexCount, 4);
    EXPECT_FALSE(std::signbit(mesh.vertices[0].u));
    EXPECT_TRUE(std::signbit(mesh.vertices[1].u));
}

TEST_F(MeshBuilding, NormalTagGivesEveryCornerTheModelsNormalWhenAskedTo) {
    SceneObject fold = rightAngleFold();
    // Point 0 has one normal on both faces (given at two lengths), point 1 two; the
    // second face's point 3 has none usable and takes its face's.
    const double nan = std::nan("");
    setNormals(fold, {{{{0, 0, 2}, {0, 0, 1}, {0, 0.6, 0.8}}}, {{{0, 0, 1}, {nan, 0, 0}, {0, 1, 0}}}});
    build(fold);
    EXPECT_EQ(mesh.vertexCount, 6) << "off: the smoothing angle decides";

    options.useNormalTags = true;
    build(fold);
    ASSERT_EQ(mesh.vertexCount, 5);
    EXPECT_EQ(indices(), (std::vector<int32_t>{0, 1, 2, 0, 3, 4}));
    expectNormal(0, 0, 0, 1);
    expectNormal(1, 0, 0, 1);
    expectNormal(2, 0, 0.6f, 0.8f);
    expectNormal(3, 0, 1, 0);
    expectNormal(4, 0, 1, 0);

    // A host without the entry has no normal tags to give.
    KrvHost older = *host.root();
    KrvTagTable tags = *older.tag;
    tags.size = offsetof(KrvTagTable, normals_of_polygons);
    older.tag = &tags;
    setHost(&older);
    build(fold);
    EXPECT_EQ(mesh.vertexCount, 6);
    setHost(host.root());
    releaseExportMesh(mesh);
    expectNothingHeld();
}

TEST_F(MeshBuilding, NormalTagWithOneNormalPerPointGivesTheVerticesTheirNormalsWithoutGroups) {
    // Every point's corners agree on its normal (given at two lengths at point 0; point 3
    // has none usable and takes its face's), and point 1 has two texture coordinates:
    // its added vertex takes the point's normal too. Point 4 has no corner.
    SceneObject o = polygonObject({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0}, {5, 5, 5}}, {{0, 1, 2}, {0, 3, 1}});
    setUVs(o, {{{{0, 0}, {1, 0}, {0, 1}}}, {{{0, 0}, {1, 1}, {0.5, 0}}}});
    setNormals(o, {{{{0, 0, 2}, {0, 0.6, 0.8}, {0, 1, 0}}}, {{{0, 0, 1}, {0, 0, 0}, {0, 0.6, 0.8}}}});
    options.useNormalTags = true;
    build(o);
    EXPECT_EQ(mesh.normalGroups.groupStarts, nullptr) << "nothing left for the vertex splits";
    ASSERT_EQ(mesh.vertexCount, 6);
    EXPECT_EQ(indices(), (std::vector<int32_t>{0, 1, 2, 0, 3, 5}));
    expectNormal(0, 0, 0, 1);
    expectNormal(1, 0, 0.6f, 0.8f);
    expectNormal(5, 0, 0.6f, 0.8f);
    expectNormal(3, 0, 0, -1);
    expectNormal(4, 0, 0, 0);
    expectPositionAndUV(5, 1, 0, 0, 0.5f, 0);

    // Listed, the groups are kept and split as before.
    options.debugListing = true;
    build(o);
    ASSERT_NE(mesh.normalGroups.groupStarts, nullptr);
    EXPECT_EQ(mesh.vertexCount, 6);
    expectNormal(5, 0, 0.6f, 0.8f);
}

TEST_F(MeshBuilding, HostWithoutTheRangeCallGivesTheSameCoordinates) {
    // More triangles than one read takes, so that the reads meet at a boundary.
    std::vector<korvo::Vec3> points;
    std::vector<Triangle> triangles;
    std::vector<UV> uvs;
    for (int32_t k = 0; k < 300; ++k) {
        points.insert(points.end(), {{double(k), 0, 0}, {double(k) + 1, 0, 0}, {double(k), 1, 0}});
        triangles.push_back({3 * k, 3 * k + 1, 3 * k + 2});
        uvs.push_back({{{k / 300.0, 0}, {k / 300.0, 0.5}, {1, k / 300.0}}});
    }
    SceneObject o = polygonObject(points, triangles);
    setUVs(o, uvs);
    build(o);
    const std::vector<ExportVertex> ranged(mesh.vertices.get(), mesh.vertices + mesh.vertexCount);
    expectPositionAndUV(899, 299, 1, 0, 1, float(299 / 300.0));

    KrvHost older = *host.root();
    KrvTagTable tags = *older.tag;
    tags.size = offsetof(KrvTagTable, uv_of_polygons);
    older.tag = &tags;
    setHost(&older);
    build(o);
    ASSERT_EQ(mesh.vertexCount, int32_t(ranged.size()));
    for (int32_t i = 0; i < mesh.vertexCount; ++i) {
        EXPECT_EQ(mesh.vertices[i].u, ranged[i].u) << i;
        EXPECT_EQ(mesh.vertices[i].v, ranged[i].v) << i;
    }
    // The older host's tables end here: the mesh goes back through the full one.
    setHost(host.root());
}

TEST_F(MeshBuilding, TextureTagOffsetsAndScalesTheCoordinates) {
    SceneObject o = polygonObject({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2}});
    setUVs(o, {{{{0.75, 0.25}, {1, 1}, {0, 0}}}});
    o.texture = korvo::TextureTag{"", {0.5, 0.25}, {2, 3}};
    build(o);
    expectPositionAndUV(0, 0, 0, 0, 0.5f, 0.0f);
    expectPositionAndUV(1, 1, 0, 0, 1.0f, 2.25f);
    expectPositionAndUV(2, 0, 1, 0, -1.0f, -0.75f);
}

TEST_F(MeshBuilding, QuadExportsItsFirstTriangleOnly) {
    SceneObject o = polygonObject({{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}}, {});
    o.polygons.push_back({0, 1, 2, 3});
    build(o);
    EXPECT_EQ(indices(), (std::vector<int32_t>{0, 1, 2}));
    ASSERT_EQ(mesh.vertexCount, 4);
    expectNormal(3, 0, 0, 0);
}

TEST_F(MeshBuilding, DegenerateFaceTakesItsVertexNormalFromTheNextGroup) {
    // Triangle 0 lies on a line; triangle 1 is a proper face through the same points 0, 1.
    const SceneObject o = polygonObject({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {2, 0, 0}}, {{0, 1, 3}, {0, 1, 2}});
    build(o);
    EXPECT_EQ(groupsOfPoint(mesh.normalGroups, 0), 2);
    EXPECT_EQ(mesh.normalGroups.normals[0].z, 0.0f);
    EXPECT_EQ(indices(), (std::vector<int32_t>{0, 1, 3, 0, 1, 2}));
    ASSERT_EQ(mesh.vertexCount, 4);
    expectNormal(0, 0, 0, 1);
    expectNormal(1, 0, 0, 1);
    expectNormal(3, 0, 0, 0);

    options.smoothingAngle = 100.0f;
    build(o);
    EXPECT_EQ(groupsOfPoint(mesh.normalGroups, 0), 1);
    EXPECT_EQ(mesh.vertexCount, 4);
    expectNormal(0, 0, 0, 1);
}

TEST_F(MeshBuilding, PointUsedByNoPolygonKeepsAZeroVertex) {
    SceneObject o = polygonObject({{0, 0, 0}, {1, 0, 0}, {5, 5, 5}, {0, 1, 0}}, {{0, 1, 3}});
    setUVs(o, {{{{0.5, 0.5}, {1, 0}, {0, 1}}}});
    build(o);
    ASSERT_EQ(mesh.vertexCount, 4);
    expectPositionAndUV(2, 5, 5, 5, 0, 0);
    expectNormal(2, 0, 0, 0);
    expectPositionAndUV(0, 0, 0, 0, 0.5f, 0.5f);
}

TEST_F(MeshBuilding, PointsWithoutPolygonsGiveVerticesButNoIndices) {
    build(polygonObject({{0, 0, 0}, {1, 0, 0}}, {}));
    EXPECT_EQ(mesh.indexCount, 0);
    EXPECT_EQ(mesh.vertexCount, 2);
}

TEST_F(MeshBuilding, PolygonNamingAMissingPointLeavesTheMeshEmpty) {
    SceneObject o = polygonObject({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2}});
    o.polygons.push_back({0, 2, 3, 3});
    ExportStatus status;
    EXPECT_FALSE(buildExportMesh(mesh, load(o), options, status));
    EXPECT_EQ(status.first(), ExportFailure::PolygonOutOfRange);
    EXPECT_EQ(mesh.vertexCount, 0);
    EXPECT_EQ(mesh.indexCount, 0);
    ASSERT_EQ(host.consoleLines().size(), 1u);
    EXPECT_EQ(host.consoleLines()[0], "Dorna: mesh of \"Mesh\" cannot be exported: polygon 1 uses a point beyond the object's 3 points");
}

TEST_F(MeshBuilding, FanKeepsEveryCornerOfItsCentreInOrder) {
    std::vector<korvo::Vec3> points{{0, 0, 0}};
    std::vector<Triangle> triangles;
    const int32_t blades = 12;
    for (int32_t i = 0; i < blades; ++i) {
        const double a = 2 * 3.141592653589793 * i / blades;
        points.push_back({std::cos(a), std::sin(a), 0});
    }
    for (int32_t i = 0; i < blades; ++i) triangles.push_back({0, 1 + i, 1 + (i + 1) % blades});
    build(polygonObject(points, triangles));
    const NormalGroups& groups = mesh.normalGroups;
    ASSERT_EQ(groupsOfPoint(groups, 0), 1);
    ASSERT_EQ(groups.cornerStarts[1] - groups.cornerStarts[0], blades);
    for (int32_t i = 0; i < blades; ++i) EXPECT_EQ(groups.corners[groups.cornerStarts[0] + i], 3 * i);
    EXPECT_EQ(mesh.vertexCount, blades + 1);
}

TEST_F(MeshBuilding, FlatShadedGridGivesEveryCornerItsGroupNormal) {
    // A bumpy grid at smoothing angle 0: thousands of added vertices. Faces whose
    // normals agree to float precision still share a group.
    const int32_t n = 40;
    std::mt19937 random(7);
    std::uniform_real_distribution<double> height(0.0, 1.0);
    std::vector<korvo::Vec3> points;
    for (int32_t y = 0; y <= n; ++y)
        for (int32_t x = 0; x <= n; ++x) points.push_back({double(x), double(y), height(random)});
    std::vector<Triangle> triangles;
    for (int32_t y = 0; y < n; ++y)
        for (int32_t x = 0; x < n; ++x) {
            const int32_t p = y * (n + 1) + x;
            triangles.push_back({p, p + 1, p + n + 1});
            triangles.push_back({p + 1, p + n + 2, p + n + 1});
        }
    options.smoothingAngle = 0.0f;
    build(polygonObject(points, triangles));
    ASSERT_EQ(mesh.indexCount, int32_t(3 * triangles.size()));

    std::vector<int32_t> seen(mesh.indexCount, 0);
    int32_t expectedVertices = mesh.pointCount;
    for (int32_t p = 0; p < mesh.pointCount; ++p) {
        const NormalGroups& groups = mesh.normalGroups;
        for (int32_t g = groups.groupStarts[p]; g < groups.groupStarts[p + 1]; ++g) {
            const Vector& normal = groups.normals[g];
            // Every corner outside the point's first group gets a vertex of its own.
            if (g > groups.groupStarts[p]) expectedVertices += groups.cornerStarts[g + 1] - groups.cornerStarts[g];
            for (int32_t i = groups.cornerStarts[g]; i < groups.cornerStarts[g + 1]; ++i) {
                const int32_t corner = groups.corners[i];
                ++seen[corner];
                const ExportVertex& v = mesh.vertices[mesh.indices[corner]];
                ASSERT_EQ(v.x, float(points[p][0]));
                ASSERT_EQ(v.y, float(points[p][1]));
                ASSERT_EQ(v.z, float(points[p][2]));
                ASSERT_EQ(v.nx, normal.x);
                ASSERT_EQ(v.ny, normal.y);
                ASSERT_EQ(v.nz, normal.z);
            }
        }
    }
    EXPECT_EQ(seen, std::vector<int32_t>(mesh.indexCount, 1));
    EXPECT_EQ(mesh.vertexCount, expectedVertices);
    EXPECT_GT(mesh.vertexCount - mesh.pointCount, 5000);
}

TEST_F(MeshBuilding, PlacementScalesPositionsAndTurnsNormals) {
    build(polygonObject({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2}}));
    Matrix matrix = scaleMatrix(Vector{2, 2, 2});
    matrix.offset = Vector{1, 0, 0};
    const std::vector<ExportVertex> built(mesh.vertices.get(), mesh.vertices + mesh.vertexCount);
    std::vector<ExportVertex> placed = built;
    placeVertices(placed.data(), 3, &matrix, nullptr);
    EXPECT_EQ(placed[1].x, 3.0f);
    EXPECT_EQ(placed[2].y, 2.0f);
    EXPECT_EQ(placed[2].x, 1.0f);
    EXPECT_EQ(placed[0].nz, 2.0f) << "normals are not normalised again";

    const Vector sceneScale{1, 3, 0.5f};
    placed = built;
    placeVertices(placed.data(), 3, &matrix, &sceneScale);
    EXPECT_EQ(placed[1].x, 3.0f);
    EXPECT_EQ(placed[2].y, 6.0f);
    EXPECT_EQ(placed[0].nz, 2.0f) << "the scene scale does not reach the normals";

    // Finished unplaced, the arrays are the mesh's own and the rest is released.
    const std::vector<int32_t> builtIndices = indices();
    const MeshArrays arrays = finishExportMesh(mesh, nullptr, nullptr);
    ASSERT_EQ(arrays.vertexCount, 3);
    EXPECT_EQ(0, std::memcmp(arrays.vertices, built.data(), sizeof(ExportVertex) * 3));
    EXPECT_EQ(std::vector<int32_t>(arrays.indices, arrays.indices + arrays.indexCount), builtIndices);
    EXPECT_EQ(mesh.points, nullptr);
    releaseExportMesh(mesh);
    expectNothingHeld();
}

TEST_F(MeshBuilding, EveryRefusedAllocationLeavesAUsableOrEmptyMeshAndNoLeak) {
    // Enough of everything to reach every allocation: texture splits, a fold, a fan.
    SceneObject o = polygonObject({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}}, {{0, 1, 2}, {0, 3, 1}});
    setUVs(o, {{{{0, 0}, {1, 0}, {0, 1}}}, {{{1, 1}, {1, 0}, {0, 1}}}});
    setNormals(o, {{{{0, 0, 1}, {0, 0, 1}, {0, 0, 1}}}, {{{0, 1, 0}, {0, 1, 0}, {0, 1, 0}}}});
    const KrvObject object = load(o);
    // Once smoothed, once from the normal tag.
    for (const int32_t useTags : {0, 1}) {
        SCOPED_TRACE(useTags);
        options.useNormalTags = useTags != 0;
        host.refuseAllocation(0);
        ExportStatus whole;
        ASSERT_TRUE(buildExportMesh(mesh, object, options, whole));
        const int32_t fullVertexCount = mesh.vertexCount;
        releaseExportMesh(mesh);
        const int64_t requests = host.allocationRequests();
        ASSERT_GT(requests, 3);
        for (int64_t n = 1; n <= requests; ++n) {
            SCOPED_TRACE(n);
            host.refuseAllocation(n);
            ExportStatus status;
            const bool built = buildExportMesh(mesh, object, options, status);
            host.refuseAllocation(0);
            // A refusal empties the mesh and says so: the file must not be kept without it.
            EXPECT_EQ(built, status.ok());
            if (!built) {
                EXPECT_EQ(status.first(), ExportFailure::StorageRefused);
                EXPECT_EQ(mesh.vertices, nullptr);
            }
            EXPECT_TRUE(mesh.vertexCount == 0 || mesh.vertexCount <= fullVertexCount + 2);
            for (int32_t i = 0; mesh.vertexCount > 0 && i < mesh.indexCount; ++i) {
                ASSERT_GE(mesh.indices[i], 0);
                ASSERT_LT(mesh.indices[i], mesh.vertexCount);
            }
            releaseExportMesh(mesh);
            expectNothingHeld();
        }
    }
}

}  // namespace
}  // namespace dorna
