// The two matrix conventions of the exporter and the arithmetic between them.
//
// The host places things with its affine Matrix (column convention: a point p maps to
// offset + axis1*p.x + axis2*p.y + axis3*p.z). The .x file stores 4x4 matrices row by
// row in the row-vector convention, the translation in the fourth row. Every matrix the
// writers put into a file is the file form W(M) of a host Matrix: the three axes as the
// columns of the upper-left block, the offset as the fourth row.
//
// Every element is a 32-bit float, stored as such after every operation.
#pragma once

#include <korvo_sdk.h>

namespace dorna {

using Vector = KrvVector;
using Matrix = KrvMatrix;

// Sixteen floats m[row][column], in the order a .x Matrix4x4 is written.
struct Matrix4x4 {
    float m[4][4];
};

Matrix identityMatrix();
// Offset 0; axis1 (s.x, 0, 0), axis2 (0, s.y, 0), axis3 (0, 0, s.z).
Matrix scaleMatrix(Vector s);
// Rotations by `angle` radians about one axis, as the host builds them.
Matrix rotationX(float angle);
Matrix rotationY(float angle);
Matrix rotationZ(float angle);

// The host-convention product a*b: b is applied first, then a.
Matrix mulMatrix(const Matrix& a, const Matrix& b);
// The Matrix whose file form is W(a)*W(b): in the file's row-vector convention a is
// applied first, then b.
Matrix mulFileMatrix(const Matrix& a, const Matrix& b);

// The export matrix of a placement: Rz(-r.z) * Rx(-r.y) * Ry(-r.x) * S(scale) with the
// position as offset. The first rotation angle turns about Y, the second about X.
Matrix composeExportMatrix(Vector position, Vector rotation, Vector scale);

void setIdentity(Matrix4x4& record);
// Sets the record to W(matrix) and returns a copy of it.
Matrix4x4 fromMatrix(Matrix4x4& record, const Matrix& matrix);
// The Matrix whose file form matches the record's first three columns; the fourth
// column is not read.
Matrix toMatrix(const Matrix4x4& record);
Matrix4x4 transposed(const Matrix4x4& record);
// The general inverse by cofactors. A singular record gives non-finite elements; no
// error is reported.
Matrix4x4 inverted(const Matrix4x4& record);

}  // namespace dorna
