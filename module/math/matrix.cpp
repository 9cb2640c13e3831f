#include "math/matrix.h"

#include <cmath>

namespace dorna {

namespace {

Vector vec(float x, float y, float z) { return Vector{x, y, z}; }

// axis1 * b.x + axis2 * b.y + axis3 * b.z of `a`, each component one float sum of products.
Vector applyAxes(const Matrix& a, const Vector& b) {
    return vec(a.axis1.x * b.x + a.axis2.x * b.y + a.axis3.x * b.z,
               a.axis1.y * b.x + a.axis2.y * b.y + a.axis3.y * b.z,
               a.axis1.z * b.x + a.axis2.z * b.y + a.axis3.z * b.z);
}

float dot(const Vector& a, const Vector& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

// Sine and cosine of the 32-bit angle, rounded once to 32 bits.
float sinOf(float angle) { return static_cast<float>(std::sin(static_cast<double>(angle))); }
float cosOf(float angle) { return static_cast<float>(std::cos(static_cast<double>(angle))); }

}  // namespace

Matrix identityMatrix() { return Matrix{vec(0, 0, 0), vec(1, 0, 0), vec(0, 1, 0), vec(0, 0, 1)}; }

Matrix scaleMatrix(Vector s) {
    return Matrix{vec(0, 0, 0), vec(s.x, 0, 0), vec(0, s.y, 0), vec(0, 0, s.z)};
}

Matrix rotationX(float angle) {
    const float c = cosOf(angle), s = sinOf(angle);
    return Matrix{vec(0, 0, 0), vec(1, 0, 0), vec(0, c, -s), vec(0, s, c)};
}

Matrix rotationY(float angle) {
    const float c = cosOf(angle), s = sinOf(angle);
    return Matrix{vec(0, 0, 0), vec(c, 0, s), vec(0, 1, 0), vec(-s, 0, c)};
}

Matrix rotationZ(float angle) {
    const float c = cosOf(angle), s = sinOf(angle);
    return Matrix{vec(0, 0, 0), vec(c, -s, 0), vec(s, c, 0), vec(0, 0, 1)};
}

Matrix mulMatrix(const Matrix& a, const Matrix& b) {
    // The offset is summed from a's offset onwards, term by term in 32-bit floats.
    const Vector& p = b.offset;
    const Vector offset = vec(a.offset.x + a.axis1.x * p.x + a.axis2.x * p.y + a.axis3.x * p.z,
                              a.offset.y + a.axis1.y * p.x + a.axis2.y * p.y + a.axis3.y * p.z,
                              a.offset.z + a.axis1.z * p.x + a.axis2.z * p.y + a.axis3.z * p.z);
    return Matrix{offset, applyAxes(a, b.axis1), applyAxes(a, b.axis2), applyAxes(a, b.axis3)};
}

Matrix mulFileMatrix(const Matrix& a, const Matrix& b) {
    // The translation row of W(a)*W(b) is a's translation row times b's 3x3 block
    // plus b's translation row.
    return Matrix{vec(dot(a.offset, b.axis1) + b.offset.x, dot(a.offset, b.axis2) + b.offset.y,
                      dot(a.offset, b.axis3) + b.offset.z),
                  applyAxes(a, b.axis1), applyAxes(a, b.axis2), applyAxes(a, b.axis3)};
}

Matrix composeExportMatrix(Vector position, Vector rotation, Vector scale) {
    const Matrix s = scaleMatrix(scale);
    const Matrix ry = rotationY(-rotation.x);
    const Matrix rx = rotationX(-rotation.y);
    const Matrix rz = rotationZ(-rotation.z);
    Matrix m = mulMatrix(mulMatrix(mulMatrix(rz, rx), ry), s);
    m.offset = position;
    return m;
}

void setIdentity(Matrix4x4& record) {
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) record.m[r][c] = r == c ? 1.0f : 0.0f;
}

Matrix4x4 fromMatrix(Matrix4x4& record, const Matrix& matrix) {
    const Vector* axes[3] = {&matrix.axis1, &matrix.axis2, &matrix.axis3};
    for (int c = 0; c < 3; ++c) {
        record.m[0][c] = axes[c]->x;
        record.m[1][c] = axes[c]->y;
        record.m[2][c] = axes[c]->z;
    }
    record.m[0][3] = record.m[1][3] = record.m[2][3] = 0.0f;
    record.m[3][0] = matrix.offset.x;
    record.m[3][1] = matrix.offset.y;
    record.m[3][2] = matrix.offset.z;
    record.m[3][3] = 1.0f;
    return record;
}

Matrix toMatrix(const Matrix4x4& record) {
    const auto& m = record.m;
    return Matrix{vec(m[3][0], m[3][1], m[3][2]), vec(m[0][0], m[1][0], m[2][0]),
                  vec(m[0][1], m[1][1], m[2][1]), vec(m[0][2], m[1][2], m[2][2])};
}

Matrix4x4 transposed(const Matrix4x4& record) {
    Matrix4x4 t;
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) t.m[r][c] = record.m[c][r];
    return t;
}

Matrix4x4 inverted(const Matrix4x4& record) {
    const Matrix4x4 t = transposed(record);
    const float* s = &t.m[0][0];
    float p[12];
    float d[16];

    // Cofactors of rows 0 and 1 from pairwise products of the lower two rows of t.
    p[0] = s[10] * s[15];
    p[1] = s[11] * s[14];
    p[2] = s[9] * s[15];
    p[3] = s[11] * s[13];
    p[4] = s[9] * s[14];
    p[5] = s[10] * s[13];
    p[6] = s[8] * s[15];
    p[7] = s[11] * s[12];
    p[8] = s[8] * s[14];
    p[9] = s[10] * s[12];
    p[10] = s[8] * s[13];
    p[11] = s[9] * s[12];
    d[0] = (p[0] * s[5] + p[3] * s[6] + p[4] * s[7]) - (p[1] * s[5] + p[2] * s[6] + p[5] * s[7]);
    d[1] = (p[1] * s[4] + p[6] * s[6] + p[9] * s[7]) - (p[0] * s[4] + p[7] * s[6] + p[8] * s[7]);
    d[2] = (p[2] * s[4] + p[7] * s[5] + p[10] * s[7]) - (p[3] * s[4] + p[6] * s[5] + p[11] * s[7]);
    d[3] = (p[5] * s[4] + p[8] * s[5] + p[11] * s[6]) - (p[4] * s[4] + p[9] * s[5] + p[10] * s[6]);
    d[4] = (p[1] * s[1] + p[2] * s[2] + p[5] * s[3]) - (p[0] * s[1] + p[3] * s[2] + p[4] * s[3]);
    d[5] = (p[0] * s[0] + p[7] * s[2] + p[8] * s[3]) - (p[1] * s[0] + p[6] * s[2] + p[9] * s[3]);
    d[6] = (p[3] * s[0] + p[6] * s[1] + p[11] * s[3]) - (p[2] * s[0] + p[7] * s[1] + p[10] * s[3]);
    d[7] = (p[4] * s[0] + p[9] * s[1] + p[10] * s[2]) - (p[5] * s[0] + p[8] * s[1] + p[11] * s[2]);

    // Cofactors of rows 2 and 3 from pairwise products of the upper two rows of t.
    p[0] = s[2] * s[7];
    p[1] = s[3] * s[6];
    p[2] = s[1] * s[7];
    p[3] = s[3] * s[5];
    p[4] = s[1] * s[6];
    p[5] = s[2] * s[5];
    p[6] = s[0] * s[7];
    p[7] = s[3] * s[4];
    p[8] = s[0] * s[6];
    p[9] = s[2] * s[4];
    p[10] = s[0] * s[5];
    p[11] = s[1] * s[4];
    d[8] = (p[0] * s[13] + p[3] * s[14] + p[4] * s[15]) - (p[1] * s[13] + p[2] * s[14] + p[5] * s[15]);
    d[9] = (p[1] * s[12] + p[6] * s[14] + p[9] * s[15]) - (p[0] * s[12] + p[7] * s[14] + p[8] * s[15]);
    d[10] = (p[2] * s[12] + p[7] * s[13] + p[10] * s[15]) - (p[3] * s[12] + p[6] * s[13] + p[11] * s[15]);
    d[11] = (p[5] * s[12] + p[8] * s[13] + p[11] * s[14]) - (p[4] * s[12] + p[9] * s[13] + p[10] * s[14]);
    d[12] = (p[2] * s[10] + p[5] * s[11] + p[1] * s[9]) - (p[4] * s[11] + p[0] * s[9] + p[3] * s[10]);
    d[13] = (p[8] * s[11] + p[0] * s[8] + p[7] * s[10]) - (p[6] * s[10] + p[9] * s[11] + p[1] * s[8]);
    d[14] = (p[6] * s[9] + p[11] * s[11] + p[3] * s[8]) - (p[10] * s[11] + p[2] * s[8] + p[7] * s[9]);
    d[15] = (p[10] * s[10] + p[4] * s[8] + p[9] * s[9]) - (p[8] * s[9] + p[11] * s[10] + p[5] * s[8]);

    const float det = s[0] * d[0] + s[1] * d[1] + s[2] * d[2] + s[3] * d[3];
    const float factor = 1.0f / det;
    Matrix4x4 result;
    float* out = &result.m[0][0];
    for (int i = 0; i < 16; ++i) out[i] = d[i] * factor;
    return result;
}

}  // namespace dorna
