#include "korvo/import/affine.h"

#include <gtest/gtest.h>

#include <cmath>

#include "korvo/host/placement.h"

namespace korvo::import {
namespace {

constexpr double kPi = 3.14159265358979323846;

TEST(Placement, DecompositionRecomposesEveryPlacement) {
    const double angles[] = {-3.0, -kPi / 2, -1.1, 0.0, 0.4, kPi / 2, 2.9};
    const Vec3 scales[] = {{1, 1, 1}, {2, 0.5, 3}, {-1.5, 2, 1}, {0.01, 100, 7}};
    for (double a : angles)
        for (double b : angles)
            for (double c : {0.0, 1.3, -2.2})
                for (const Vec3& s : scales) {
                    const Affine m = composePlacement({{1, -2, 3}, {a, b, c}, s});
                    bool shear = true;
                    const Placement p = decomposePlacement(m, shear);
                    EXPECT_FALSE(shear);
                    EXPECT_LE(std::fabs(p.rotation[1]), kPi / 2 + 1e-12);
                    EXPECT_LT(maxDifference(composePlacement(p), m), 1e-9)
                        << a << " " << b << " " << c << " scale " << s[0] << " " << s[1] << " " << s[2];
                }
}

// The host places points as a reader of the exported file does: the exporter's
// matrix E (its axes written as the columns of the file's rows) read as rows.
TEST(Placement, CompositionIsTheHostsLocalMatrix) {
    const Placement placements[] = {{{1, 2, 3}, {kPi / 2, 0, 0}, {2, 1, 1}},
                                    {{0, 0, 0}, {0, kPi / 2, 0}, {1, 1, 1}},
                                    {{-4, 0.5, 2}, {0.3, -1.2, 2.5}, {1, -2, 0.5}}};
    for (const Placement& p : placements) {
        const auto vector = [](const Vec3& v) {
            return KrvVector{static_cast<float>(v[0]), static_cast<float>(v[1]), static_cast<float>(v[2])};
        };
        const KrvMatrix host = localMatrix(vector(p.position), vector(p.rotation), vector(p.scale));
        const Affine m = composePlacement(p);
        const KrvVector* axes[3] = {&host.axis1, &host.axis2, &host.axis3};
        for (int c = 0; c < 3; ++c) {
            EXPECT_NEAR(m.linear[0][c], axes[c]->x, 1e-6);
            EXPECT_NEAR(m.linear[1][c], axes[c]->y, 1e-6);
            EXPECT_NEAR(m.linear[2][c], axes[c]->z, 1e-6);
        }
        EXPECT_EQ(m.offset, p.position);
    }
    // The exporter's file rows for rotation (pi/2, 0, 0) and scale (2, 1, 1) are
    // (0, 0, 1), (0, 1, 0), (-2, 0, 0): a reader maps x to (0, 0, 1), z to (-2, 0, 0).
    const Affine m = composePlacement({{1, 2, 3}, {kPi / 2, 0, 0}, {2, 1, 1}});
    EXPECT_LT(maxDifference(m, Affine{{{{0, 0, -2}, {0, 1, 0}, {1, 0, 0}}}, {1, 2, 3}}), 1e-12);
}

TEST(Placement, ShearIsReportedAndTheRestKept) {
    Affine m;
    m.linear[1][0] = 0.5;  // y leans with x
    m.offset = {4, 5, 6};
    bool shear = false;
    const Placement p = decomposePlacement(m, shear);
    EXPECT_TRUE(shear);
    EXPECT_EQ(p.position, (Vec3{4, 5, 6}));
    EXPECT_NEAR(p.scale[0], 1, 1e-12);
}

TEST(Placement, MirrorZTurnsHandednessAndBack) {
    const Affine m = composePlacement({{1, 2, 3}, {0.3, -0.2, 1.1}, {1, 2, 3}});
    const Affine mirrored = mirrorZ(m);
    EXPECT_NEAR(mirrored.offset[2], -3, 1e-12);
    EXPECT_LT(maxDifference(mirrorZ(mirrored), m), 1e-15);
    EXPECT_NEAR(determinant(mirrored.linear), determinant(m.linear), 1e-9);
}

// A spin about Y sampled in small steps: the chosen angles never jump, pass beyond pi,
// and still describe the sampled rotation.
TEST(Placement, NearestEquivalentRotationKeepsAnglesContinuous) {
    Vec3 previous{0, 0.3, 0};
    for (int step = 1; step <= 80; ++step) {
        const Affine turned = composePlacement({{0, 0, 0}, {0.1 * step, 0.3, 0.05 * step}, {1, 1, 1}});
        bool shear = false;
        const Placement principal = decomposePlacement(turned, shear);
        const Vec3 chosen = nearestEquivalentRotation(principal.rotation, previous);
        for (int i = 0; i < 3; ++i) EXPECT_LT(std::fabs(chosen[i] - previous[i]), 0.2) << step;
        EXPECT_LT(maxDifference(composePlacement({{0, 0, 0}, chosen, {1, 1, 1}}), turned), 1e-9);
        previous = chosen;
    }
    EXPECT_NEAR(previous[0], 8.0, 1e-9);
    EXPECT_NEAR(previous[2], 4.0, 1e-9);
}

}  // namespace
}  // namespace korvo::import
