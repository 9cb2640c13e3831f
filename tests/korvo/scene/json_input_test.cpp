#include "korvo/scene/json_input.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

namespace korvo {
namespace {

double readOne(const std::string& text) { return JsonInput(text).readNumber().value; }

// The reader's shortcuts for short numbers must give the correctly rounded double, as
// strtod does, for every spelling: shortest forms of arbitrary doubles, and decimals with
// up to 20 digits and exponents around the shortcut's limits. An integer "-0" is +0, as
// the JSON checker reads it.
TEST(JsonInput, NumbersReadAsCorrectlyRounded) {
    std::mt19937_64 random(7);
    for (int i = 0; i < 200000; ++i) {
        uint64_t bits = random();
        double value;
        std::memcpy(&value, &bits, sizeof value);
        if (!std::isfinite(value)) continue;
        char buffer[64];
        const std::string shortest(buffer, std::to_chars(buffer, buffer + sizeof buffer, value).ptr);
        ASSERT_EQ(readOne(shortest), value) << shortest;

        std::string decimal = std::to_string(random() % 100000000000ull) + "." +
                              std::to_string(random() % 1000000000ull);
        decimal.resize(1 + random() % decimal.size());
        if (decimal.back() == '.') decimal += '5';
        if (random() % 2) decimal += "e" + std::to_string(int(random() % 60) - 30);
        if (random() % 2) decimal = "-" + decimal;
        double expected = std::strtod(decimal.c_str(), nullptr);
        if (decimal.find_first_of(".e") == std::string::npos) expected += 0.0;  // an integer "-0" is 0
        ASSERT_EQ(readOne(decimal), expected) << decimal;
        ASSERT_EQ(std::signbit(readOne(decimal)), std::signbit(expected)) << decimal;
    }
}

}  // namespace
}  // namespace korvo
