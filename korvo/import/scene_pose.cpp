#include "korvo/import/scene_pose.h"

namespace korvo::import {

namespace {

void addTriangle(const SceneObject& object, const Affine& global, size_t polygon, const int32_t (&points)[3],
                 const int (&corners)[3], std::vector<WorldTriangle>& out) {
    WorldTriangle t;
    t.hasUv = object.uvw.has_value();
    for (int k = 0; k < 3; ++k) {
        t.corners[k].position = transformPoint(global, object.points[points[k]]);
        if (t.hasUv) t.corners[k].uv = (*object.uvw)[polygon].corners[corners[k]];
    }
    out.push_back(t);
}

void collect(const SceneObject& object, const Affine& parent, std::vector<WorldTriangle>& out) {
    const Affine global = multiply(parent, composePlacement({object.position, object.rotation, object.scale}));
    if (object.type == ObjectType::Polygon) {
        for (size_t p = 0; p < object.polygons.size(); ++p) {
            const Polygon& polygon = object.polygons[p];
            addTriangle(object, global, p, {polygon.a, polygon.b, polygon.c}, {0, 1, 2}, out);
            if (polygon.d != polygon.c) addTriangle(object, global, p, {polygon.a, polygon.c, polygon.d}, {0, 2, 3}, out);
        }
    }
    for (const SceneObject& child : object.children) collect(child, global, out);
}

Vec3 channelAt(const std::vector<Key>& keys, const Vec3& still, double frame) {
    if (keys.empty()) return still;
    if (frame <= keys.front().frame) return keys.front().value;
    if (frame >= keys.back().frame) return keys.back().value;
    size_t next = 1;
    while (keys[next].frame < frame) ++next;
    const Key& a = keys[next - 1];
    const Key& b = keys[next];
    const double f = (frame - a.frame) / (b.frame - a.frame);
    return {a.value[0] + (b.value[0] - a.value[0]) * f, a.value[1] + (b.value[1] - a.value[1]) * f,
            a.value[2] + (b.value[2] - a.value[2]) * f};
}

void place(const SceneObject& object, const Affine& parent, double frame, std::vector<PlacedObject>& out) {
    const Placement placement{channelAt(object.animation.position, object.position, frame),
                              channelAt(object.animation.rotation, object.rotation, frame),
                              channelAt(object.animation.scale, object.scale, frame)};
    const Affine global = multiply(parent, composePlacement(placement));
    out.push_back({object.name, global});
    for (const SceneObject& child : object.children) place(child, global, frame, out);
}

}  // namespace

std::vector<PlacedObject> sceneObjectsAt(const Scene& scene, double frame) {
    std::vector<PlacedObject> objects;
    for (const SceneObject& object : scene.objects) place(object, Affine{}, frame, objects);
    return objects;
}

std::vector<WorldTriangle> sceneTriangles(const Scene& scene) {
    std::vector<WorldTriangle> triangles;
    for (const SceneObject& object : scene.objects) collect(object, Affine{}, triangles);
    return triangles;
}

std::vector<WorldTriangle> sceneTrianglesInModelSpace(const Scene& scene) {
    std::vector<WorldTriangle> triangles = sceneTriangles(scene);
    for (WorldTriangle& t : triangles) {
        std::swap(t.corners[1], t.corners[2]);
        for (WorldCorner& c : t.corners) {
            c.position[2] = -c.position[2];
            c.uv[1] = 1 - c.uv[1];
        }
    }
    return triangles;
}

}  // namespace korvo::import
