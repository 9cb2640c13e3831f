#include "korvo/host/generators.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <utility>

namespace korvo {
namespace {

struct Geometry {
    std::vector<Vec3> points;
    std::vector<Polygon> polygons;
    std::vector<PolygonUV> uvw;
};

Geometry generate(ObjectType type, int32_t segments, Vec3 size = {200, 200, 200}, double radius = 100) {
    SceneObject object;
    object.type = type;
    object.generator.size = size;
    object.generator.radius = radius;
    object.generator.segments = segments;
    Geometry g;
    g.points = {{9, 9, 9}};  // whatever was there is replaced
    generateGeometry(object, g.points, g.polygons, g.uvw);
    return g;
}

Vec3 minus(const Vec3& a, const Vec3& b) { return {a[0] - b[0], a[1] - b[1], a[2] - b[2]}; }
Vec3 cross(const Vec3& a, const Vec3& b) {
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}
double dot(const Vec3& a, const Vec3& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

int cornerCount(const Polygon& p) { return p.d == p.c ? 3 : 4; }

// Every polygon's normal (B - A) x (C - A) points away from the object's centre, which is
// what "clockwise seen from the front" means in the host's left-handed space.
void expectOutwardWinding(const Geometry& g) {
    for (size_t i = 0; i < g.polygons.size(); ++i) {
        const Polygon& p = g.polygons[i];
        const Vec3 &a = g.points[p.a], &b = g.points[p.b], &c = g.points[p.c], &d = g.points[p.d];
        const Vec3 normal = cross(minus(b, a), minus(c, a));
        const double n = cornerCount(p);
        Vec3 centroid;
        for (int k = 0; k < 3; ++k) centroid[k] = (a[k] + b[k] + c[k] + (n == 4 ? d[k] : 0)) / n;
        ASSERT_GT(dot(normal, centroid), 0) << "polygon " << i;
    }
}

// Each edge is used once in each direction: the surface is closed and consistently wound.
void expectClosedSurface(const Geometry& g) {
    std::map<std::pair<int32_t, int32_t>, int> directedEdges;
    for (const Polygon& p : g.polygons) {
        const int32_t corners[4] = {p.a, p.b, p.c, p.d};
        const int n = cornerCount(p);
        for (int k = 0; k < n; ++k) ++directedEdges[{corners[k], corners[(k + 1) % n]}];
    }
    for (const auto& [edge, count] : directedEdges) {
        ASSERT_EQ(count, 1) << edge.first << "->" << edge.second;
        ASSERT_EQ(directedEdges.count({edge.second, edge.first}), 1u) << edge.first << "->" << edge.second;
    }
}

// UVs lie in [0, 1] and run clockwise like the corners (u right, v down): the texture is
// seen unmirrored from the front. A triangle's corner d repeats c.
void expectUnmirroredUvs(const Geometry& g) {
    ASSERT_EQ(g.uvw.size(), g.polygons.size());
    for (size_t i = 0; i < g.uvw.size(); ++i) {
        const auto& uv = g.uvw[i].corners;
        for (const Vec2& corner : uv) {
            ASSERT_TRUE(corner[0] >= 0 && corner[0] <= 1 && corner[1] >= 0 && corner[1] <= 1) << "polygon " << i;
        }
        const double area =
            (uv[1][0] - uv[0][0]) * (uv[2][1] - uv[0][1]) - (uv[1][1] - uv[0][1]) * (uv[2][0] - uv[0][0]);
        ASSERT_GT(area, 0) << "polygon " << i;
        if (cornerCount(g.polygons[i]) == 3) {
            ASSERT_EQ(uv[3], uv[2]) << "polygon " << i;
        }
    }
}

TEST(Generators, CubeIsAClosedOutwardBoxOfTheGivenSize) {
    for (int32_t segments : {0, 1, 3}) {
        SCOPED_TRACE(segments);
        const Geometry g = generate(ObjectType::Cube, segments, {10, 20, 30});
        const size_t n = segments == 0 ? 1 : size_t(segments);
        EXPECT_EQ(g.points.size(), 6 * n * n + 2);
        EXPECT_EQ(g.polygons.size(), 6 * n * n);
        for (const Polygon& p : g.polygons) EXPECT_EQ(cornerCount(p), 4);
        for (const Vec3& p : g.points) {
            const double x = std::fabs(p[0]), y = std::fabs(p[1]), z = std::fabs(p[2]);
            EXPECT_TRUE(x <= 5 && y <= 10 && z <= 15);
            EXPECT_TRUE(x == 5 || y == 10 || z == 15) << "on the surface";
        }
        expectOutwardWinding(g);
        expectClosedSurface(g);
        expectUnmirroredUvs(g);
    }
}

TEST(Generators, CubeFrontFaceShowsTheTextureUpright) {
    const Geometry g = generate(ObjectType::Cube, 1, {2, 2, 2});
    // The front face (-Z) comes first; its UV origin is its top-left corner seen from the front.
    const Polygon& front = g.polygons[0];
    EXPECT_EQ(g.points[front.a], (Vec3{-1, 1, -1}));
    EXPECT_EQ(g.points[front.b], (Vec3{1, 1, -1}));
    EXPECT_EQ(g.points[front.c], (Vec3{1, -1, -1}));
    EXPECT_EQ(g.points[front.d], (Vec3{-1, -1, -1}));
    EXPECT_EQ(g.uvw[0].corners[0], (Vec2{0, 0}));
    EXPECT_EQ(g.uvw[0].corners[2], (Vec2{1, 1}));
}

TEST(Generators, PlaneLiesInXZFacingUp) {
    const Geometry g = generate(ObjectType::Plane, 4, {300, 200, 100});
    EXPECT_EQ(g.points.size(), 25u);
    EXPECT_EQ(g.polygons.size(), 16u);
    for (const Polygon& p : g.polygons) {
        const Vec3 normal = cross(minus(g.points[p.b], g.points[p.a]), minus(g.points[p.c], g.points[p.a]));
        EXPECT_GT(normal[1], 0);
        EXPECT_EQ(normal[0], 0);
        EXPECT_EQ(normal[2], 0);
    }
    EXPECT_EQ(g.points.front(), (Vec3{-150, 0, 50}));  // UV origin: the far left corner
    EXPECT_EQ(g.points.back(), (Vec3{150, 0, -50}));
    EXPECT_EQ(g.uvw[0].corners[0], (Vec2{0, 0}));
    expectUnmirroredUvs(g);

    // Open: only the 4 x 4 border edges lack a neighbour.
    std::map<std::pair<int32_t, int32_t>, int> edges;
    for (const Polygon& p : g.polygons) {
        const int32_t c[4] = {p.a, p.b, p.c, p.d};
        for (int k = 0; k < 4; ++k) ++edges[{std::min(c[k], c[(k + 1) % 4]), std::max(c[k], c[(k + 1) % 4])}];
    }
    int border = 0;
    for (const auto& entry : edges) border += entry.second == 1;
    EXPECT_EQ(border, 16);
    EXPECT_EQ(generate(ObjectType::Plane, 0).polygons.size(), 1u);
}

TEST(Generators, SphereHasPoleTrianglesAndBandsOfQuads) {
    const Geometry g = generate(ObjectType::Sphere, 0, {}, 50);
    EXPECT_EQ(g.points.size(), 2u + 11 * 24);  // 24 meridians, 12 bands
    ASSERT_EQ(g.polygons.size(), 12u * 24);
    size_t triangles = 0;
    for (const Polygon& p : g.polygons) triangles += cornerCount(p) == 3;
    EXPECT_EQ(triangles, 48u);
    for (const Vec3& p : g.points) EXPECT_NEAR(std::sqrt(dot(p, p)), 50, 1e-9);
    EXPECT_EQ(g.points.front(), (Vec3{0, 50, 0}));
    EXPECT_EQ(g.points.back(), (Vec3{0, -50, 0}));
    expectOutwardWinding(g);
    expectClosedSurface(g);
    expectUnmirroredUvs(g);
}

TEST(Generators, SphereWithOddOrTooFewSegments) {
    const Geometry odd = generate(ObjectType::Sphere, 9);
    EXPECT_EQ(odd.polygons.size(), 9u * 4);
    expectOutwardWinding(odd);
    expectClosedSurface(odd);
    expectUnmirroredUvs(odd);
    // A record built in code with 2 segments still gets a valid sphere.
    const Geometry few = generate(ObjectType::Sphere, 2);
    EXPECT_EQ(few.polygons.size(), 8u);
    expectClosedSurface(few);
}

TEST(Generators, OtherTypesHaveNoGeometry) {
    for (ObjectType type : {ObjectType::Polygon, ObjectType::Null, ObjectType::Bone, ObjectType::Camera}) {
        const Geometry g = generate(type, 0);
        EXPECT_TRUE(g.points.empty() && g.polygons.empty() && g.uvw.empty());
    }
}

}  // namespace
}  // namespace korvo
