// What the preview draws of a model read back from a .x file: its triangles in world
// space at a pose (skinned meshes deformed by their bone weights), the skeleton's lines
// and the bounds that the views are fitted to.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "korvo/import/model_data.h"

namespace korvo::cli::preview {

// The corners of one mesh placed by one node, drawn with the mesh's material.
struct DrawRange {
    size_t firstCorner = 0;
    size_t cornerCount = 0;
    int material = 0;
};

// Every polygon of every mesh placed in the node tree, split into triangles (a fan from
// the first corner), as vertex indices of its mesh. Built once; posed many times.
struct Triangulation {
    struct Placed {
        int node = 0;
        int mesh = 0;
        DrawRange range;
    };
    std::vector<Placed> placed;
    std::vector<uint32_t> cornerVertex;  // per corner: the vertex of its mesh
    std::vector<float> uv;               // per corner: u and v, or 0, 0 for a mesh without
    size_t triangles() const { return cornerVertex.size() / 3; }
};

Triangulation triangulate(const import::ModelData& model);

// Per corner, in world space: the position, the file's normal (the face's own normal from
// its winding when the file has none) and the face's mean normal, the same for its three
// corners, which decides whether the face points away from the camera.
struct PosedCorners {
    std::vector<float> positions;
    std::vector<float> normals;
    std::vector<float> faceNormals;
};

struct Bounds {
    std::array<double, 3> low{0, 0, 0}, high{0, 0, 0};
    bool empty = true;
    void add(const float* point);
};

// The line segments of the skeleton: each bone's joint to its parent's joint when the
// parent is a bone too; and every joint as a point.
struct Skeleton {
    std::vector<float> lines;   // x, y, z of both ends, segment after segment
    std::vector<float> joints;  // x, y, z per joint
};

// The nodes that some mesh names as a bone.
std::vector<bool> boneNodes(const import::ModelData& model);

// `globals` are the nodes' world transforms at the pose (import::nodeGlobals).
void poseCorners(const import::ModelData& model, const Triangulation& triangulation,
                 const std::vector<import::Affine>& globals, PosedCorners& out);
Skeleton poseSkeleton(const import::ModelData& model, const std::vector<bool>& bones,
                      const std::vector<import::Affine>& globals);

void addToBounds(const std::vector<float>& points, Bounds& bounds);

}  // namespace korvo::cli::preview
