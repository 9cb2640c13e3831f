// Reals must read exactly as printf's "%0.6f" would print them, since that is the
// text every .x file carries; the fast formatter is checked against printf itself.
#include "xfile/number_format.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <string>

namespace dorna {
namespace {

std::string viaPrintf(double value) {
    char text[400];
    std::snprintf(text, sizeof(text), "%0.6f", value);
    return text;
}

std::string viaFormatter(double value) {
    char text[kRealTextCapacity];
    const int32_t length = formatReal(text, value);
    EXPECT_EQ(static_cast<size_t>(length), std::strlen(text));
    return text;
}

TEST(FormatReal, MatchesPrintfOnSpecialValues) {
    const double values[] = {
        0.0, -0.0, 1.0, -1.0, 0.5, 0.7f, 0.1, 2.5, 100.0, 1e-7, -1e-7, 5e-7, -5e-7,
        4.9999995e-7, 5.0000005e-7, 0.0000005, 0.0000015, 0.0000025, 1.0000005, 2.0000005,
        0.1234565, 0.1234575, 123456.7890125, 9.0e18, -9.0e18, 1e22, 1e300, -1e300,
        DBL_MAX, -DBL_MAX, DBL_MIN, DBL_TRUE_MIN, FLT_MAX, FLT_MIN, 16777216.0, 16777217.0,
        static_cast<double>(3.14159265f), static_cast<double>(-0.000001f),
        std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(),
    };
    for (double value : values) EXPECT_EQ(viaFormatter(value), viaPrintf(value)) << value;
}

TEST(FormatReal, NegativeZeroKeepsItsSign) {
    EXPECT_EQ(viaFormatter(-0.0), "-0.000000");
    // A tiny negative value rounds to zero and keeps the sign, as printf does.
    EXPECT_EQ(viaFormatter(-1e-9), "-0.000000");
}

TEST(FormatReal, MatchesPrintfOnHalfwayCases) {
    // Values exactly halfway between two six-decimal results, and their neighbours.
    for (int64_t k = -3000; k <= 3000; ++k) {
        const double halfway = (static_cast<double>(k) + 0.5) / 1e6;
        for (double value : {halfway, std::nextafter(halfway, 1e9), std::nextafter(halfway, -1e9)})
            ASSERT_EQ(viaFormatter(value), viaPrintf(value)) << value;
    }
    for (int k = 0; k < 64; ++k) {
        const double exact = std::ldexp(2 * k + 1, -7);  // halfway cases with a finite binary form
        ASSERT_EQ(viaFormatter(exact), viaPrintf(exact));
        ASSERT_EQ(viaFormatter(-exact), viaPrintf(-exact));
    }
}

TEST(FormatReal, MatchesPrintfOnRandomFloatsAndDoubles) {
    std::mt19937_64 random(20261207);
    std::uniform_int_distribution<uint32_t> floatBits;
    std::uniform_int_distribution<uint64_t> doubleBits;
    std::uniform_real_distribution<double> geometry(-10000.0, 10000.0);
    for (int i = 0; i < 200000; ++i) {
        const uint32_t bits = floatBits(random);
        float f;
        std::memcpy(&f, &bits, sizeof(f));
        if (std::isnan(f)) continue;
        ASSERT_EQ(viaFormatter(f), viaPrintf(f)) << f;
    }
    for (int i = 0; i < 50000; ++i) {
        const uint64_t bits = doubleBits(random);
        double d;
        std::memcpy(&d, &bits, sizeof(d));
        if (std::isnan(d)) continue;
        ASSERT_EQ(viaFormatter(d), viaPrintf(d)) << d;
    }
    for (int i = 0; i < 200000; ++i) {
        const double d = static_cast<float>(geometry(random));
        ASSERT_EQ(viaFormatter(d), viaPrintf(d)) << d;
    }
}

// Floats take integer arithmetic from 2^-21 to 2^43 and doubles with more precision the
// general conversion: a sweep over the float range, its edges and the doubles beside them.
TEST(FormatReal, MatchesPrintfAcrossTheFloatRangeAndItsEdges) {
    const float low = std::ldexp(1.0f, -21), high = std::ldexp(1.0f, 43);
    for (float edge : {low, high, 1.0f, std::ldexp(1.0f, 17)}) {
        float f = edge;
        for (int i = 0; i < 200; ++i) f = std::nextafter(f, 0.0f);
        for (int i = 0; i < 400; ++i, f = std::nextafter(f, INFINITY)) {
            for (double value : {static_cast<double>(f), -static_cast<double>(f),
                                 std::nextafter(static_cast<double>(f), 0.0)})
                ASSERT_EQ(viaFormatter(value), viaPrintf(value)) << value;
        }
    }
    uint32_t first, last;
    const float from = std::ldexp(1.0f, -24), to = std::ldexp(1.0f, 44);
    std::memcpy(&first, &from, sizeof(first));
    std::memcpy(&last, &to, sizeof(last));
    for (uint32_t bits = first; bits < last; bits += 997) {
        float f;
        std::memcpy(&f, &bits, sizeof(f));
        ASSERT_EQ(viaFormatter(f), viaPrintf(f)) << f;
    }
}

TEST(FormatReal, WidensSinglePrecisionFirst) {
    char text[kRealTextCapacity];
    formatReal(text, 0.7f);
    EXPECT_STREQ(text, "0.700000");
    formatReal(text, 16777217.0f);  // not representable: the float is 16777216
    EXPECT_STREQ(text, "16777216.000000");
}

TEST(FormatInt, MatchesPrintf) {
    for (int32_t value : {0, 1, -1, 9, 10, -10, 123456789, INT32_MAX, INT32_MIN}) {
        char expected[16];
        std::snprintf(expected, sizeof(expected), "%i", value);
        char text[kIntTextCapacity];
        EXPECT_EQ(formatInt(text, value), static_cast<int32_t>(std::strlen(expected)));
        EXPECT_STREQ(text, expected);
    }
}

}  // namespace
}  // namespace dorna
