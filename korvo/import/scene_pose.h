// Where the host shows a scene's polygons: every polygon object's polygons placed by the
// host's composition of the local matrices, from the top object down. The counterpart
// of the model's world triangles, for comparing an import with its source.
#pragma once

#include <string>
#include <vector>

#include "korvo/import/model_pose.h"
#include "korvo/scene/scene.h"

namespace korvo::import {

// Triangles in the host's space (left-handed, texture origin top-left), corners a, b, c
// of every polygon (a quad also gives a, c, d), in object order.
std::vector<WorldTriangle> sceneTriangles(const Scene& scene);

// The same triangles in the reader's space: Z mirrored, winding and v turned back, so
// that they compare directly with worldTriangles of the source model.
std::vector<WorldTriangle> sceneTrianglesInModelSpace(const Scene& scene);

struct PlacedObject {
    std::string name;
    Affine global;  // in the host's space
};

// Every object (depth first) with its world matrix at `frame`: each animation channel
// gives its value by linear interpolation between the neighbouring keys, as the host
// evaluates a document; channels without keys keep the object's own placement.
std::vector<PlacedObject> sceneObjectsAt(const Scene& scene, double frame);

}  // namespace korvo::import
