// The scene as a Korvo scene file describes it: plain records, no behaviour.
// The loader fills it from JSON (scene_json), the importer from a model file, and the
// host builds its live documents from it.
#pragma once

#include <korvo_sdk.h>

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace korvo {

using Vec3 = std::array<double, 3>;
using Vec2 = std::array<double, 2>;

struct Channel {
    bool on = false;
    Vec3 value{0, 0, 0};
    std::optional<std::string> texture;  // only the colour channel carries one
};

struct Material {
    std::string name;
    Channel color;         // channel 0, parameter 2100
    Channel luminance;     // channel 1, parameter 2300
    Channel transparency;  // channel 2, parameter 2400
    Channel specular;      // channel 9, parameter 3100
};

enum class ObjectType { Polygon, Null, Bone, Cube, Plane, Sphere, Camera, Light };

// One polygon: 3 or 4 point indices; a triangle is stored with d == c.
struct Polygon {
    int32_t a = 0, b = 0, c = 0, d = 0;
};

// Texture coordinates of one polygon's corners a, b, c, d; a triangle's d repeats c.
struct PolygonUV {
    std::array<Vec2, 4> corners{};
};

// The normals of one polygon's corners a, b, c, d; a triangle's d repeats c.
struct PolygonNormals {
    std::array<Vec3, 4> corners{};
};

// Texture coordinates as the host's documents keep them: u and v (the host interface's
// record adds a third coordinate, always 0, when a polygon's record is asked for).
struct CornerUV {
    float u = 0, v = 0;
};

// A polygon object's geometry in the layout of the host's documents (the interface's
// records, 32-bit floats). A model imported for an export is converted into these once,
// and the document takes them over as they are. Its texture coordinates and normals stay
// per vertex of the model, as the model has them: each polygon names the vertex of its
// corners a, b, c, d.
struct MeshArrays {
    std::vector<KrvVector> points;
    std::vector<KrvPolygon> polygons;
    std::vector<KrvPolygon> cornerVertex;  // per polygon: the vertices of its corners
    std::optional<std::vector<CornerUV>> uvOfVertex;
    std::optional<std::vector<KrvVector>> normalOfVertex;
};

struct TextureTag {
    std::string material;  // by name
    Vec2 offset{0, 0};
    Vec2 scale{1, 1};
};

struct PhongTag {
    bool limit = false;
    std::optional<double> angle;  // radians; the entry is present only when given
};

struct RestPose {
    std::optional<Vec3> position;  // entry 1007
    std::optional<Vec3> rotation;  // entry 1009
    std::optional<Vec3> scale;     // entry 1008
};

// One key of an animation channel: [frame, x, y, z].
struct Key {
    double frame = 0;
    Vec3 value{0, 0, 0};
};

struct Animation {
    std::vector<Key> position, rotation, scale;  // frames ascending
};

struct BoneWeights {
    std::string bone;              // the bone's id
    std::vector<double> perPoint;  // one weight per point of the object
};

// Parameters of the generators cube, plane and sphere (see docs/scene-format.md).
struct GeneratorParams {
    Vec3 size{200, 200, 200};  // cube: edge lengths; plane: width (x) and depth (z)
    double radius = 100;       // sphere
    int32_t segments = 0;      // 0: the generator's own default
};

// Objects nest at most this many levels, the top objects being the first: the host and
// the module walk the object tree recursively.
constexpr int kMaxObjectDepth = 1000;

struct SceneObject {
    std::string name;  // UTF-8
    std::string id;    // unique; defaults to the name
    ObjectType type = ObjectType::Null;
    Vec3 position{0, 0, 0};
    Vec3 rotation{0, 0, 0};  // radians, the host's rotation vector
    Vec3 scale{1, 1, 1};
    std::vector<Vec3> points;
    std::vector<Polygon> polygons;
    std::optional<std::vector<PolygonUV>> uvw;
    std::optional<std::vector<PolygonNormals>> normals;  // the normal tag
    // Instead of the four above, the geometry ready for the document (see MeshArrays).
    std::optional<MeshArrays> arrays;
    std::optional<TextureTag> texture;
    std::optional<PhongTag> phong;
    std::vector<BoneWeights> weights;
    RestPose rest;
    Animation animation;
    GeneratorParams generator;
    std::vector<SceneObject> children;
};

// A time of numerator / denominator seconds, kept as the file gave it: `endTime` is
// (seconds / 1), `endFrame` is (frames / fps), so that frame arithmetic stays exact.
struct Time {
    double numerator = 0;
    double denominator = 1;
};

// A named animation of the document: a range of its time line, in frames.
struct Take {
    std::string name;
    double startFrame = 0;
    double endFrame = 0;
};

struct Scene {
    int32_t fps = 30;
    std::optional<Time> end;  // entry 1003; absent when the file gives no end
    Time time;                // entry 1000: the current time
    std::vector<Material> materials;
    std::vector<SceneObject> objects;
    std::vector<Take> takes;  // none: the time range is the one animation
    int32_t currentTake = 0;  // an index into `takes`
};

}  // namespace korvo
