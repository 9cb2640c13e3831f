// What a model shows: node transforms at a time of an animation, and its triangles in
// world space. Used to convert a model and to compare two of them.
#pragma once

#include <array>
#include <vector>

#include "korvo/import/model_data.h"

namespace korvo::import {

// The transform of every node relative to the world at `ticks` of `animation` (channels
// interpolated linearly, rotations spherically, held before the first and after the
// last key); with no animation, the stored transforms.
std::vector<Affine> nodeGlobals(const ModelData& model, const ModelAnimation* animation, double ticks);
// The transform of one node relative to its parent, the same way.
Affine nodeLocal(const ModelData& model, const ModelAnimation* animation, int node, double ticks);

struct WorldCorner {
    Vec3 position{0, 0, 0};
    Vec2 uv{0, 0};
};

struct WorldTriangle {
    std::array<WorldCorner, 3> corners;
    bool hasUv = false;
};

// Every triangle of every mesh placed by the node that holds it (unskinned, stored node
// transforms), in node order and face order. Faces other than triangles are left out.
std::vector<WorldTriangle> worldTriangles(const ModelData& model);

// Every triangle as a player shows it with the nodes at `globals`: a vertex of a skinned
// mesh placed by its bones (each bone's world transform times its offset, blended by the
// weights in proportion), any other by the node that holds the mesh. Bones that name no
// node are left out.
std::vector<WorldTriangle> skinnedTriangles(const ModelData& model, const std::vector<Affine>& globals);

// The length of the diagonal of the triangles' bounding box.
double boundingSize(const std::vector<WorldTriangle>& triangles);

// Per vertex, the sum of the weights all bones of the mesh give it.
std::vector<double> weightSums(const ModelMesh& mesh);

}  // namespace korvo::import
