// The matrix conventions: the export matrix of a placement, the two products, the
// file form and the inverse.
#include "math/matrix.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

namespace dorna {
namespace {

constexpr float kHalfPi = 1.5707963267948966f;
constexpr float kTolerance = 1e-6f;

// The file form of a Matrix, row by row, as the writers print it.
Matrix4x4 fileForm(const Matrix& matrix) {
    Matrix4x4 record;
    setIdentity(record);
    return fromMatrix(record, matrix);
}

void expectRows(const Matrix4x4& actual, const float (&expected)[4][4], float tolerance = kTolerance) {
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            EXPECT_NEAR(actual.m[r][c], expected[r][c], tolerance) << "row " << r << " column " << c;
}

void expectSameMatrix(const Matrix& a, const Matrix& b, float tolerance = kTolerance) {
    const float* x = &a.offset.x;
    const float* y = &b.offset.x;
    for (int i = 0; i < 12; ++i) EXPECT_NEAR(x[i], y[i], tolerance) << "element " << i;
}

TEST(ComposeExportMatrix, RestPlacementIsTheIdentity) {
    const Matrix m = composeExportMatrix({0, 0, 0}, {0, 0, 0}, {1, 1, 1});
    const float rows[4][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}};
    expectRows(fileForm(m), rows, 0.0f);
}

TEST(ComposeExportMatrix, FirstAngleTurnsAboutYWithInvertedSign) {
    const Matrix m = composeExportMatrix({1, 2, 3}, {kHalfPi, 0, 0}, {1, 1, 1});
    const float rows[4][4] = {{0, 0, 1, 0}, {0, 1, 0, 0}, {-1, 0, 0, 0}, {1, 2, 3, 1}};
    expectRows(fileForm(m), rows);
}

TEST(ComposeExportMatrix, ScaleStandsInTheRowOfItsAxis) {
    const Matrix m = composeExportMatrix({1, 2, 3}, {kHalfPi, 0, 0}, {2, 1, 1});
    const float rows[4][4] = {{0, 0, 1, 0}, {0, 1, 0, 0}, {-2, 0, 0, 0}, {1, 2, 3, 1}};
    expectRows(fileForm(m), rows);
}

TEST(ComposeExportMatrix, SecondAngleTurnsAboutXAndThirdAboutZ) {
    const float aboutX[4][4] = {{1, 0, 0, 0}, {0, 0, -1, 0}, {0, 1, 0, 0}, {0, 0, 0, 1}};
    expectRows(fileForm(composeExportMatrix({0, 0, 0}, {0, kHalfPi, 0}, {1, 1, 1})), aboutX);
    const float aboutZ[4][4] = {{0, -1, 0, 0}, {1, 0, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}};
    expectRows(fileForm(composeExportMatrix({0, 0, 0}, {0, 0, kHalfPi}, {1, 1, 1})), aboutZ);
}

TEST(ComposeExportMatrix, RotationsApplyInTheOrderZXYToTheScaledPoint) {
    const Vector rotation{0.3f, -0.7f, 1.1f};
    const Vector scale{2, 3, 0.5f};
    const Matrix expected = mulMatrix(
        mulMatrix(mulMatrix(rotationZ(-rotation.z), rotationX(-rotation.y)), rotationY(-rotation.x)),
        scaleMatrix(scale));
    Matrix m = composeExportMatrix({4, 5, 6}, rotation, scale);
    EXPECT_FLOAT_EQ(m.offset.x, 4);
    EXPECT_FLOAT_EQ(m.offset.y, 5);
    EXPECT_FLOAT_EQ(m.offset.z, 6);
    m.offset = expected.offset;
    expectSameMatrix(m, expected, 0.0f);
}

TEST(MatrixProducts, IdentityIsNeutralOnBothSides) {
    const Matrix a = composeExportMatrix({1, -2, 3}, {0.4f, 0.2f, -0.9f}, {1, 2, 3});
    expectSameMatrix(mulMatrix(a, identityMatrix()), a, 0.0f);
    expectSameMatrix(mulMatrix(identityMatrix(), a), a, 0.0f);
    expectSameMatrix(mulFileMatrix(a, identityMatrix()), a, 0.0f);
    expectSameMatrix(mulFileMatrix(identityMatrix(), a), a, 0.0f);
}

TEST(MatrixProducts, FileProductCarriesTheFirstTranslationThroughTheSecondBlock) {
    const Matrix a = composeExportMatrix({1, 0, 0}, {0, 0, 0}, {1, 1, 1});
    const Matrix b = composeExportMatrix({0, 0, 0}, {0, 0, kHalfPi}, {1, 1, 1});
    const Matrix file = mulFileMatrix(a, b);
    EXPECT_NEAR(file.offset.x, 0, kTolerance);
    EXPECT_NEAR(file.offset.y, -1, kTolerance);
    EXPECT_NEAR(file.offset.z, 0, kTolerance);
    const Matrix host = mulMatrix(a, b);
    EXPECT_NEAR(host.offset.x, 1, kTolerance);
    EXPECT_NEAR(host.offset.y, 0, kTolerance);
    EXPECT_NEAR(host.offset.z, 0, kTolerance);
}

// The host product's offset is a's offset plus the three moved terms, added one after the
// other: each 4 is lost on 1e8 in 32 bits, while their sum 12 would not be.
TEST(MatrixProducts, HostProductAddsTheOffsetTermsInTurn) {
    const Matrix a{{1e8f, 1e8f, 1e8f}, {4, 4, 4}, {4, 4, 4}, {4, 4, 4}};
    const Matrix b{{1, 1, 1}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    const Matrix m = mulMatrix(a, b);
    EXPECT_EQ(m.offset.x, 1e8f);
    EXPECT_EQ(m.offset.y, 1e8f);
    EXPECT_EQ(m.offset.z, 1e8f);
}

TEST(MatrixProducts, FileProductIsTheRowProductOfTheFileForms) {
    const Matrix a = composeExportMatrix({1, 2, 3}, {0.5f, -0.25f, 1.0f}, {1, 2, 1});
    const Matrix b = composeExportMatrix({-3, 0.5f, 2}, {-1.2f, 0.3f, 0.1f}, {2, 1, 0.5f});
    const Matrix4x4 wa = fileForm(a), wb = fileForm(b);
    Matrix4x4 product;
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) {
            double sum = 0;
            for (int k = 0; k < 4; ++k) sum += double(wa.m[r][k]) * wb.m[k][c];
            product.m[r][c] = float(sum);
        }
    expectRows(fileForm(mulFileMatrix(a, b)), product.m, 1e-5f);
}

TEST(Matrix4x4Record, ConversionsAndTransposeRoundTrip) {
    const Matrix m = composeExportMatrix({7, 8, 9}, {0.1f, 0.2f, 0.3f}, {1, 2, 3});
    Matrix4x4 record;
    setIdentity(record);
    const Matrix4x4 copy = fromMatrix(record, m);
    EXPECT_EQ(0, std::memcmp(&copy, &record, sizeof record));
    expectSameMatrix(toMatrix(record), m, 0.0f);
    const Matrix4x4 twice = transposed(transposed(record));
    EXPECT_EQ(0, std::memcmp(&twice, &record, sizeof record));
    EXPECT_EQ(record.m[3][1], transposed(record).m[1][3]);
}

TEST(Matrix4x4Record, InverseTimesRecordIsTheIdentity) {
    Matrix4x4 record;
    fromMatrix(record, composeExportMatrix({1, -2, 0.5f}, {0.7f, -0.4f, 2.0f}, {2, 0.5f, 1.5f}));
    const Matrix4x4 inverse = inverted(record);
    float product[4][4];
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) {
            float sum = 0;
            for (int k = 0; k < 4; ++k) sum += record.m[r][k] * inverse.m[k][c];
            product[r][c] = sum;
        }
    const float identity[4][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}};
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) EXPECT_NEAR(product[r][c], identity[r][c], 1e-5f);
    expectRows(inverted(inverse), record.m, 1e-5f);
}

TEST(Matrix4x4Record, InverseOfAFullMatrixUsesTheFourthColumn) {
    const Matrix4x4 record{{{2, 0, 0, 1}, {0, 4, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}}};
    const float expected[4][4] = {{0.5f, 0, 0, -0.5f}, {0, 0.25f, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}};
    expectRows(inverted(record), expected, 0.0f);
}

TEST(Matrix4x4Record, TranslationInvertsToTheNegatedOffset) {
    Matrix4x4 record;
    fromMatrix(record, composeExportMatrix({0, 2, 0}, {0, 0, 0}, {1, 1, 1}));
    const float expected[4][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, -2, 0, 1}};
    expectRows(inverted(record), expected, 0.0f);
}

TEST(Matrix4x4Record, SingularRecordGivesNonFiniteElements) {
    Matrix4x4 record;
    fromMatrix(record, scaleMatrix({0, 0, 0}));
    const Matrix4x4 inverse = inverted(record);
    EXPECT_FALSE(std::isfinite(inverse.m[0][0]) && std::isfinite(inverse.m[3][3]));
}

}  // namespace
}  // namespace dorna
