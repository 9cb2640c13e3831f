// Geometry of the generator objects cube, plane and sphere, in the host's space:
// left-handed, Y up, front faces wound clockwise seen from the front (the normal
// (B - A) x (C - A) of a polygon points outward), texture origin at the top-left.
// Parameters and layout are described in docs/scene-format.md.
#pragma once

#include <vector>

#include "korvo/scene/scene.h"

namespace korvo {

// Fills `points`, `polygons` (quads; a sphere's pole triangles are stored with d == c)
// and one UV record per polygon for a cube, plane or sphere, centred on the object's
// origin. Any other type yields no geometry.
void generateGeometry(const SceneObject& generator, std::vector<Vec3>& points,
                      std::vector<Polygon>& polygons, std::vector<PolygonUV>& uvw);

}  // namespace korvo
