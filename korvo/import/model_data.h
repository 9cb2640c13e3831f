// A model as the independent reader (assimp) delivers it, copied into plain records:
// right-handed, Y up, counter-clockwise front faces, texture origin at the bottom-left.
// The importer converts it into a Scene; `korvo check` prints it; the tests compare two
// of them.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "korvo/import/affine.h"

namespace korvo::import {

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

struct ModelMesh {
    std::string name;
    int material = 0;
    std::vector<Vec3> positions;
    std::vector<Vec3> normals;        // one per vertex as the file gives them, or empty
    std::vector<Vec2> uv;             // first texture channel, one per vertex, or empty
    std::vector<uint32_t> faceSizes;  // corners per face
    std::vector<uint32_t> corners;    // the faces' vertex indices, face after face
    std::vector<ModelBone> bones;
    bool hasColors = false;  // per-vertex colours, which the scene does not keep
    uint32_t morphTargets = 0;  // blend shapes, which the scene does not keep
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
