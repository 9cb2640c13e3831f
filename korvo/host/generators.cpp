// Generator geometry. Every grid is laid out as a texture is seen from the front: column i
// runs to the right, row j runs down, so the corners (i, j), (i + 1, j), (i + 1, j + 1),
// (i, j + 1) are clockwise seen from the front and their UVs are (i / n, j / n) onward.
#include "korvo/host/generators.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <unordered_map>

namespace korvo {
namespace {

constexpr int32_t kDefaultGridSegments = 1;
constexpr int32_t kDefaultSphereSegments = 24;
constexpr double kPi = 3.14159265358979323846;

// The quads of an (n x n) grid whose point indices are `index[j * (n + 1) + i]`.
void addGrid(int32_t n, const std::vector<int32_t>& index, std::vector<Polygon>& polygons,
             std::vector<PolygonUV>& uvw) {
    const int32_t stride = n + 1;
    const double step = 1.0 / n;
    for (int32_t j = 0; j < n; ++j) {
        for (int32_t i = 0; i < n; ++i) {
            const int32_t topLeft = j * stride + i;
            polygons.push_back(Polygon{index[topLeft], index[topLeft + 1], index[topLeft + stride + 1],
                                       index[topLeft + stride]});
            const double u0 = i * step, u1 = (i + 1) * step, v0 = j * step, v1 = (j + 1) * step;
            uvw.push_back(PolygonUV{{Vec2{u0, v0}, Vec2{u1, v0}, Vec2{u1, v1}, Vec2{u0, v1}}});
        }
    }
}

// A cube face: its outward normal and, seen from outside, the texture's right and down
// directions, each a unit axis; right x down = normal.
struct CubeFace {
    int normal[3];
    int right[3];
    int down[3];
};

constexpr CubeFace kCubeFaces[6] = {
    {{0, 0, -1}, {1, 0, 0}, {0, -1, 0}},   // front
    {{1, 0, 0}, {0, 0, 1}, {0, -1, 0}},    // right
    {{0, 0, 1}, {-1, 0, 0}, {0, -1, 0}},   // back
    {{-1, 0, 0}, {0, 0, -1}, {0, -1, 0}},  // left
    {{0, 1, 0}, {1, 0, 0}, {0, 0, -1}},    // top, its upper edge at the back
    {{0, -1, 0}, {1, 0, 0}, {0, 0, 1}},    // bottom, its upper edge at the front
};

// Points on the cube's surface lie on a lattice of (n + 1)^3 positions; edges and corners
// shared by faces are one point, so the surface is closed.
void generateCube(const GeneratorParams& params, std::vector<Vec3>& points, std::vector<Polygon>& polygons,
                  std::vector<PolygonUV>& uvw) {
    const int32_t n = params.segments > 0 ? params.segments : kDefaultGridSegments;
    const int64_t stride = n + 1;
    const size_t facePoints = size_t(stride * stride);
    points.reserve(6 * size_t(n) * size_t(n) + 2);
    polygons.reserve(6 * size_t(n) * size_t(n));
    uvw.reserve(polygons.capacity());

    std::unordered_map<int64_t, int32_t> pointOfLattice;
    pointOfLattice.reserve(6 * facePoints);
    std::vector<int32_t> index(facePoints);
    for (const CubeFace& face : kCubeFaces) {
        // The face's top-left corner: on the normal's side, where right and down start.
        int64_t corner[3];
        for (int k = 0; k < 3; ++k) {
            corner[k] = face.normal[k] > 0 || face.right[k] < 0 || face.down[k] < 0 ? n : 0;
        }
        for (int32_t j = 0; j <= n; ++j) {
            for (int32_t i = 0; i <= n; ++i) {
                int64_t lattice[3];
                for (int k = 0; k < 3; ++k) lattice[k] = corner[k] + face.right[k] * i + face.down[k] * j;
                const int64_t key = (lattice[0] * stride + lattice[1]) * stride + lattice[2];
                const auto [entry, isNew] = pointOfLattice.emplace(key, int32_t(points.size()));
                if (isNew) {
                    Vec3 p;
                    for (int k = 0; k < 3; ++k) p[k] = (double(lattice[k]) / n - 0.5) * params.size[k];
                    points.push_back(p);
                }
                index[size_t(j * stride + i)] = entry->second;
            }
        }
        addGrid(n, index, polygons, uvw);
    }
}

// Lies in the XZ plane facing +Y: right is +X, down (towards the viewer) is -Z.
void generatePlane(const GeneratorParams& params, std::vector<Vec3>& points, std::vector<Polygon>& polygons,
                   std::vector<PolygonUV>& uvw) {
    const int32_t n = params.segments > 0 ? params.segments : kDefaultGridSegments;
    const double width = params.size[0], depth = params.size[2];
    points.reserve(size_t(n + 1) * size_t(n + 1));
    polygons.reserve(size_t(n) * size_t(n));
    uvw.reserve(polygons.capacity());
    std::vector<int32_t> index;
    index.reserve(points.capacity());
    for (int32_t j = 0; j <= n; ++j) {
        for (int32_t i = 0; i <= n; ++i) {
            index.push_back(int32_t(points.size()));
            points.push_back(Vec3{(double(i) / n - 0.5) * width, 0, (0.5 - double(j) / n) * depth});
        }
    }
    addGrid(n, index, polygons, uvw);
}

// `segments` meridians and segments / 2 parallel bands. u runs once around, starting and
// ending at the back (+Z) and passing the front (-Z) left to right; v runs from the north
// pole (v = 0) to the south pole. The pole bands are triangles with d == c.
void generateSphere(const GeneratorParams& params, std::vector<Vec3>& points, std::vector<Polygon>& polygons,
                    std::vector<PolygonUV>& uvw) {
    // Fewer than 4 meridians would leave no parallel between the poles.
    const int32_t meridians = std::max(params.segments > 0 ? params.segments : kDefaultSphereSegments, 4);
    const int32_t bands = meridians / 2;
    const double radius = params.radius;
    points.reserve(2 + size_t(bands - 1) * size_t(meridians));
    polygons.reserve(size_t(bands) * size_t(meridians));
    uvw.reserve(polygons.capacity());

    const int32_t north = 0;
    points.push_back(Vec3{0, radius, 0});
    for (int32_t p = 1; p < bands; ++p) {
        const double theta = kPi * p / bands;
        for (int32_t k = 0; k < meridians; ++k) {
            const double phi = 2 * kPi * k / meridians;
            points.push_back(Vec3{-radius * std::sin(theta) * std::sin(phi), radius * std::cos(theta),
                                  radius * std::sin(theta) * std::cos(phi)});
        }
    }
    const int32_t south = int32_t(points.size());
    points.push_back(Vec3{0, -radius, 0});

    // Point k of parallel p (1 .. bands - 1), wrapping around at the seam.
    const auto ring = [meridians](int32_t p, int32_t k) { return 1 + (p - 1) * meridians + k % meridians; };
    const double du = 1.0 / meridians, dv = 1.0 / bands;
    for (int32_t p = 0; p < bands; ++p) {
        const double v0 = p * dv, v1 = (p + 1) * dv;
        for (int32_t k = 0; k < meridians; ++k) {
            const double u0 = k * du, u1 = (k + 1) * du, uMid = (k + 0.5) * du;
            if (p == 0) {
                const int32_t right = ring(1, k + 1), left = ring(1, k);
                polygons.push_back(Polygon{north, right, left, left});
                uvw.push_back(PolygonUV{{Vec2{uMid, v0}, Vec2{u1, v1}, Vec2{u0, v1}, Vec2{u0, v1}}});
            } else if (p == bands - 1) {
                polygons.push_back(Polygon{ring(p, k), ring(p, k + 1), south, south});
                uvw.push_back(PolygonUV{{Vec2{u0, v0}, Vec2{u1, v0}, Vec2{uMid, v1}, Vec2{uMid, v1}}});
            } else {
                polygons.push_back(Polygon{ring(p, k), ring(p, k + 1), ring(p + 1, k + 1), ring(p + 1, k)});
                uvw.push_back(PolygonUV{{Vec2{u0, v0}, Vec2{u1, v0}, Vec2{u1, v1}, Vec2{u0, v1}}});
            }
        }
    }
}

}  // namespace

void generateGeometry(const SceneObject& generator, std::vector<Vec3>& points, std::vector<Polygon>& polygons,
                      std::vector<PolygonUV>& uvw) {
    points.clear();
    polygons.clear();
    uvw.clear();
    switch (generator.type) {
        case ObjectType::Cube: generateCube(generator.generator, points, polygons, uvw); break;
        case ObjectType::Plane: generatePlane(generator.generator, points, polygons, uvw); break;
        case ObjectType::Sphere: generateSphere(generator.generator, points, polygons, uvw); break;
        default: break;
    }
}

}  // namespace korvo
