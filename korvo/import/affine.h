// Affine placements in double precision, in the column convention (a point p maps
// to linear * p + offset), and their conversion to and from the host's placement
// (position, rotation vector, scale).
#pragma once

#include <array>

#include "korvo/scene/scene.h"

namespace korvo::import {

using Mat3 = std::array<std::array<double, 3>, 3>;  // [row][column]

struct Affine {
    Mat3 linear{{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}};
    Vec3 offset{0, 0, 0};
};

Affine multiply(const Affine& a, const Affine& b);  // b applied first, then a
Affine inverse(const Affine& a);
Vec3 transformPoint(const Affine& a, const Vec3& p);
double determinant(const Mat3& m);
// The largest absolute difference of any element, offset included.
double maxDifference(const Affine& a, const Affine& b);

// Mirrors Z on both sides: turns a placement of the importer's right-handed space into
// the same placement in the host's left-handed space (and back).
Affine mirrorZ(const Affine& a);

struct Placement {
    Vec3 position{0, 0, 0};
    Vec3 rotation{0, 0, 0};
    Vec3 scale{1, 1, 1};
};

// The host's local matrix: E = Rz(-r.z) . Rx(-r.y) . Ry(-r.x) . S(scale) built from the
// exporter's rotation builders, with its 3x3 block transposed (the exporter writes E's
// axes as columns of the .x file's row-vector matrix, so readers see the transpose, and
// the host places points as the file does), offset = position. The scale therefore acts
// along the parent's axes, after the rotation.
Affine composePlacement(const Placement& p);

// The exact inverse of composePlacement for every matrix of the form S . rotation; the
// rotation angles come out in the principal range (the second angle within +-pi/2).
// Any other matrix (shear, or a scale along turned axes) gets the nearest rotation and
// `shear` is set. A mirroring matrix gets a negative x scale.
Placement decomposePlacement(const Affine& a, bool& shear);

// The rotation vector equivalent to `rotation` that lies nearest to `previous`, so that
// a sampled track of angles stays continuous (no jumps of 2 pi, no flips between the
// two angle triples that describe the same rotation).
Vec3 nearestEquivalentRotation(const Vec3& rotation, const Vec3& previous);

}  // namespace korvo::import
