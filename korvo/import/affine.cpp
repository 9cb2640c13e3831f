#include "korvo/import/affine.h"

#include <algorithm>
#include <cmath>

namespace korvo::import {

namespace {

constexpr double kPi = 3.14159265358979323846;

// The host's rotation builders, each given by its three axes (the matrix columns).
Affine fromAxes(const Vec3& axis1, const Vec3& axis2, const Vec3& axis3) {
    Affine m;
    for (int r = 0; r < 3; ++r) {
        m.linear[r][0] = axis1[r];
        m.linear[r][1] = axis2[r];
        m.linear[r][2] = axis3[r];
    }
    return m;
}

Affine rotationX(double a) {
    return fromAxes({1, 0, 0}, {0, std::cos(a), -std::sin(a)}, {0, std::sin(a), std::cos(a)});
}
Affine rotationY(double a) {
    return fromAxes({std::cos(a), 0, std::sin(a)}, {0, 1, 0}, {-std::sin(a), 0, std::cos(a)});
}
Affine rotationZ(double a) {
    return fromAxes({std::cos(a), -std::sin(a), 0}, {std::sin(a), std::cos(a), 0}, {0, 0, 1});
}

double dot(const Vec3& a, const Vec3& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }
Vec3 cross(const Vec3& a, const Vec3& b) {
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}
Vec3 scaled(const Vec3& v, double f) { return {v[0] * f, v[1] * f, v[2] * f}; }
Vec3 minus(const Vec3& a, const Vec3& b) { return {a[0] - b[0], a[1] - b[1], a[2] - b[2]}; }

// A unit vector along v, or `fallback` when v has no length.
Vec3 normalized(const Vec3& v, const Vec3& fallback) {
    const double length = std::sqrt(dot(v, v));
    return length > 0 ? scaled(v, 1 / length) : fallback;
}

// Any unit vector perpendicular to the unit vector v.
Vec3 perpendicular(const Vec3& v) {
    const Vec3 helper = std::fabs(v[0]) < 0.9 ? Vec3{1, 0, 0} : Vec3{0, 1, 0};
    return normalized(cross(v, helper), {0, 0, 1});
}

double wrapNear(double angle, double target) {
    return angle + 2 * kPi * std::round((target - angle) / (2 * kPi));
}

}  // namespace

Affine multiply(const Affine& a, const Affine& b) {
    Affine m;
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c)
            m.linear[r][c] = a.linear[r][0] * b.linear[0][c] + a.linear[r][1] * b.linear[1][c] +
                             a.linear[r][2] * b.linear[2][c];
        m.offset[r] = a.linear[r][0] * b.offset[0] + a.linear[r][1] * b.offset[1] +
                      a.linear[r][2] * b.offset[2] + a.offset[r];
    }
    return m;
}

double determinant(const Mat3& m) {
    return m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) -
           m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
           m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
}

Affine inverse(const Affine& a) {
    const Mat3& m = a.linear;
    const double f = 1 / determinant(m);
    Affine inv;
    inv.linear[0][0] = (m[1][1] * m[2][2] - m[1][2] * m[2][1]) * f;
    inv.linear[0][1] = (m[0][2] * m[2][1] - m[0][1] * m[2][2]) * f;
    inv.linear[0][2] = (m[0][1] * m[1][2] - m[0][2] * m[1][1]) * f;
    inv.linear[1][0] = (m[1][2] * m[2][0] - m[1][0] * m[2][2]) * f;
    inv.linear[1][1] = (m[0][0] * m[2][2] - m[0][2] * m[2][0]) * f;
    inv.linear[1][2] = (m[0][2] * m[1][0] - m[0][0] * m[1][2]) * f;
    inv.linear[2][0] = (m[1][0] * m[2][1] - m[1][1] * m[2][0]) * f;
    inv.linear[2][1] = (m[0][1] * m[2][0] - m[0][0] * m[2][1]) * f;
    inv.linear[2][2] = (m[0][0] * m[1][1] - m[0][1] * m[1][0]) * f;
    for (int r = 0; r < 3; ++r)
        inv.offset[r] = -(inv.linear[r][0] * a.offset[0] + inv.linear[r][1] * a.offset[1] +
                          inv.linear[r][2] * a.offset[2]);
    return inv;
}

Vec3 transformPoint(const Affine& a, const Vec3& p) {
    Vec3 q;
    for (int r = 0; r < 3; ++r)
        q[r] = a.linear[r][0] * p[0] + a.linear[r][1] * p[1] + a.linear[r][2] * p[2] + a.offset[r];
    return q;
}

double maxDifference(const Affine& a, const Affine& b) {
    double d = 0;
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c) d = std::max(d, std::fabs(a.linear[r][c] - b.linear[r][c]));
        d = std::max(d, std::fabs(a.offset[r] - b.offset[r]));
    }
    return d;
}

Affine mirrorZ(const Affine& a) {
    static constexpr double sign[3] = {1, 1, -1};
    Affine m;
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c) m.linear[r][c] = sign[r] * sign[c] * a.linear[r][c];
        m.offset[r] = sign[r] * a.offset[r];
    }
    return m;
}

Affine composePlacement(const Placement& p) {
    Affine s;
    for (int i = 0; i < 3; ++i) s.linear[i][i] = p.scale[i];
    const Affine e = multiply(multiply(multiply(rotationZ(-p.rotation[2]), rotationX(-p.rotation[1])),
                                       rotationY(-p.rotation[0])),
                              s);
    // The exporter writes e's axes as the columns of the file's row-vector matrix, so a
    // reader (and the host, which places points as the file does) sees e transposed.
    Affine m;
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) m.linear[r][c] = e.linear[c][r];
    m.offset = p.position;
    return m;
}

// The host's matrix is S . Q with Q a rotation whose transpose is, in standard right-hand
// rotations about the axes, R = Rz(c) . Rx(b) . Ry(a) with (a, b, c) the rotation vector;
// R has row 2 = (-cos b sin a, sin b, cos b cos a) and column 1 = (-sin c cos b,
// cos c cos b, sin b). The rows of the host's matrix are the scaled columns of R.
Placement decomposePlacement(const Affine& a, bool& shear) {
    Placement p;
    p.position = a.offset;
    const Vec3 c0 = a.linear[0], c1 = a.linear[1], c2 = a.linear[2];
    p.scale = {std::sqrt(dot(c0, c0)), std::sqrt(dot(c1, c1)), std::sqrt(dot(c2, c2))};
    const bool mirrored = determinant(a.linear) < 0;
    if (mirrored) p.scale[0] = -p.scale[0];

    // Orthonormal axes nearest to the rows (the x axis kept exactly).
    const Vec3 x = normalized(mirrored ? scaled(c0, -1) : c0, {1, 0, 0});
    // A row of length 0 (a scale of 0) takes the axis nearest to the unturned one.
    const Vec3 yRaw = normalized(c1, normalized(minus(Vec3{0, 1, 0}, scaled(x, x[1])), perpendicular(x)));
    const Vec3 y = normalized(minus(yRaw, scaled(x, dot(yRaw, x))), perpendicular(x));
    const Vec3 z = cross(x, y);
    const Vec3 zRaw = normalized(c2, z);
    constexpr double kShearTolerance = 1e-5;
    shear = std::fabs(dot(x, yRaw)) > kShearTolerance || std::fabs(dot(x, zRaw)) > kShearTolerance ||
            std::fabs(dot(yRaw, zRaw)) > kShearTolerance;

    const double sinB = std::clamp(y[2], -1.0, 1.0);  // R[2][1]
    const double cosB = std::hypot(x[2], z[2]);        // |(R[2][0], R[2][2])|
    p.rotation[1] = std::atan2(sinB, cosB);
    if (cosB > 1e-12) {
        p.rotation[0] = std::atan2(-x[2], z[2]);
        p.rotation[2] = std::atan2(-y[0], y[1]);
    } else {  // gimbal lock: only a + c or a - c is fixed; put it all into c
        p.rotation[0] = 0;
        p.rotation[2] = std::atan2(x[1], x[0]);
    }
    return p;
}

Vec3 nearestEquivalentRotation(const Vec3& rotation, const Vec3& previous) {
    const Vec3 candidates[2] = {
        rotation, {rotation[0] + kPi, kPi - rotation[1], rotation[2] + kPi}};
    Vec3 best = rotation;
    double bestDistance = -1;
    for (const Vec3& candidate : candidates) {
        Vec3 wrapped;
        double distance = 0;
        for (int i = 0; i < 3; ++i) {
            wrapped[i] = wrapNear(candidate[i], previous[i]);
            distance += (wrapped[i] - previous[i]) * (wrapped[i] - previous[i]);
        }
        if (bestDistance < 0 || distance < bestDistance) {
            best = wrapped;
            bestDistance = distance;
        }
    }
    return best;
}

}  // namespace korvo::import
