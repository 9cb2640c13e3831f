// A model as the independent reader (assimp) delivers it, copied into plain records:
// right-handed, Y up, counter-clockwise front faces, texture origin at the bottom-left.
// The importer converts it into a Scene; `korvo check` prints it; the tests compare two
// of them.
#pragma once

#include <array>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "korvo/import/affine.h"

namespace korvo::import {

// The reader's 32-bit floats, kept as they are: an export hands them to the document
// unchanged.
using Float3 = std::array<float, 3>;
using Float2 = std::array<float, 2>;

// The double of a float's shortest decimal form, so that a colour 0.4 is written into a
// scene file as 0.4 and not as 0.4000000059604645.
inline double shortestDouble(float value) {
    char text[32];
    const auto end = std::to_chars(text, text + sizeof text, value).ptr;
    double result = 0;
    std::from_chars(text, end, result);  // as strtod rounds, many times faster
    return result;
}

// float(shortestDouble(value)) without the decimal text: the float itself, but for the
// one magnitude where the double of the shortest form rounds to the next float
// (7.038531e-26, found by checking every finite float).
inline float shortestFloat(float value) {
    uint32_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    return (bits & 0x7fffffffu) == 0x15ae43fdu ? static_cast<float>(shortestDouble(value)) : value;
}

inline Vec3 shortestDouble(const Float3& v) {
    return {shortestDouble(v[0]), shortestDouble(v[1]), shortestDouble(v[2])};
}

inline Vec2 shortestDouble(const Float2& v) { return {shortestDouble(v[0]), shortestDouble(v[1])}; }

struct ModelNode {
    std::string name;
    int parent = -1;  // nodes are stored parents first; the root is node 0
    std::vector<int> children;
    Affine transform;  // relative to the parent
    std::vector<int> meshes;
};

struct VertexWeight {
    uint32_t vertex = 0;
    double weight = 0;
};

struct ModelBone {
    std::string name;  // names the node that moves it
    Affine offset;     // mesh space -> bone space in the bind pose (the inverse bind matrix)
    std::vector<VertexWeight> weights;
};

// A mesh's per-vertex values where they lie: in the mesh's own arrays, or in the
// reader's that the mesh took over (see ModelMesh::taken).
struct VertexValues {
    size_t count = 0;
    const Float3* positions = nullptr;
    const Float3* normals = nullptr;  // one per vertex, or null
    const float* uv = nullptr;        // u, v of vertex v at uv[v * uvStride], or null
    size_t uvStride = 2;

    Float2 uvOf(size_t v) const { return {uv[v * uvStride], uv[v * uvStride + 1]}; }
};

struct ModelMesh {
    std::string name;
    int material = 0;
    std::vector<Float3> positions;
    std::vector<Float3> normals;      // one per vertex as the file gives them, or empty
    std::vector<Float2> uv;           // first texture channel, one per vertex, or empty
    // A mesh read for an import (readModel's VertexArrays::TakenOver) keeps the reader's
    // own vertex arrays instead of copying them: `taken` points into them and the three
    // above stay empty. `takenArrays` owns them, so that they go with the mesh.
    VertexValues taken;
    std::vector<std::shared_ptr<const void>> takenArrays;
    std::vector<uint32_t> faceSizes;  // corners per face
    std::vector<uint32_t> corners;    // the faces' vertex indices, face after face
    std::vector<ModelBone> bones;
    bool hasColors = false;  // per-vertex colours, which the scene does not keep
    uint32_t morphTargets = 0;  // blend shapes, which the scene does not keep

    // The per-vertex values, taken over or copied; normals only when there is one per
    // vertex.
    VertexValues vertices() const {
        if (taken.positions) return taken;
        return {positions.size(), positions.data(),
                normals.size() == positions.size() && !normals.empty() ? normals.data() : nullptr,
                uv.empty() ? nullptr : uv.data()->data(), 2};
    }
};

struct ModelTexture {
    std::string kind;  // "Diffuse", "Specular", ...
    std::string path;  // as stored in the model
};

struct ModelMaterial {
    std::string name;
    std::optional<Vec3> diffuse, specular, emissive;
    std::optional<double> opacity;
    std::vector<ModelTexture> textures;
};

struct VectorKey {
    double time = 0;  // ticks
    Vec3 value{0, 0, 0};
};

struct RotationKey {
    double time = 0;                          // ticks
    std::array<double, 4> wxyz{1, 0, 0, 0};  // unit quaternion
};

struct ModelChannel {
    std::string nodeName;
    int node = -1;  // the node of that name, -1 when there is none
    std::vector<VectorKey> position, scale;
    std::vector<RotationKey> rotation;
};

struct ModelAnimation {
    std::string name;
    double duration = 0;        // ticks
    double ticksPerSecond = 0;  // 0 when the model does not say
    std::vector<ModelChannel> channels;
    uint32_t morphChannels = 0;  // meshes the animation morphs, which the scene does not keep
};

// An image stored inside the model file (GLB, FBX), in its own file format.
struct ModelImage {
    std::string name;       // the file name the model gave it, or empty
    std::string format;     // "png", "jpg", ...; empty for raw pixels, which are not kept
    std::vector<unsigned char> bytes;
};

struct ModelData {
    std::vector<ModelNode> nodes;
    std::vector<ModelMesh> meshes;
    std::vector<ModelMaterial> materials;
    std::vector<ModelAnimation> animations;
    std::vector<ModelImage> images;  // referred to as "*N" or by their name
    double frameRate = 0;  // the document frame rate the model states, 0 when it states none
    std::vector<std::string> notes;  // what the reading left out of the file, one line each
};

}  // namespace korvo::import
