#include "xfile/number_format.h"

#include <charconv>
#include <cstring>

namespace dorna {

namespace {

constexpr int kExponentBias = 1023;
constexpr uint64_t kFractionMask = (uint64_t{1} << 52) - 1;
// The fraction bits of a double that a float widened to it leaves zero.
constexpr uint64_t kBeyondFloatMask = (uint64_t{1} << 29) - 1;

// The value times 10^6 rounded half to even, as printf rounds its exact binary value,
// for a value that a float holds exactly and whose magnitude is below 2^43: with the
// float's 24-bit significand m and exponent e, the value is m * 2^(e - 23), so the
// value times 10^6 is m * 5^6 * 2^(e - 17), an integer below 2^38 shifted by e - 17.
// False for any other value.
bool scaledByMillion(uint64_t bits, uint64_t& units) {
    const int exponent = static_cast<int>((bits >> 52) & 0x7FF) - kExponentBias;
    if (exponent >= 43) return false;  // also infinities and NaNs
    if (exponent < -21) {              // below 2^-21: less than half a millionth
        units = 0;
        return true;
    }
    const uint64_t fraction = bits & kFractionMask;
    if ((fraction & kBeyondFloatMask) != 0) return false;
    const uint64_t product = ((fraction | (uint64_t{1} << 52)) >> 29) * 15625;
    if (exponent >= 17) {
        units = product << (exponent - 17);
        return true;
    }
    const int shift = 17 - exponent;
    const uint64_t remainder = product & ((uint64_t{1} << shift) - 1);
    const uint64_t half = uint64_t{1} << (shift - 1);
    units = product >> shift;
    if (remainder > half || (remainder == half && (units & 1) != 0)) ++units;
    return true;
}

}  // namespace

// The module's reals are floats: their text comes from exact integer arithmetic, several
// times faster than the general conversion. Other values take std::to_chars in fixed
// notation with precision 6, which rounds exactly as printf's "%0.6f" does, without the
// locale and format parsing.
int32_t formatReal(char* out, double value) {
    uint64_t bits;
    std::memcpy(&bits, &value, sizeof(bits));
    uint64_t units;
    if (!scaledByMillion(bits, units)) {
        const std::to_chars_result result =
            std::to_chars(out, out + kRealTextCapacity - 1, value, std::chars_format::fixed, 6);
        *result.ptr = '\0';
        return static_cast<int32_t>(result.ptr - out);
    }
    char* at = out;
    if (bits >> 63) *at++ = '-';  // as printf: -0.0 and small negative values keep it
    at = std::to_chars(at, out + kRealTextCapacity - 1, units / 1000000).ptr;
    *at = '.';
    uint64_t decimals = units % 1000000;
    for (int i = 6; i > 0; --i) {
        at[i] = static_cast<char>('0' + decimals % 10);
        decimals /= 10;
    }
    at[7] = '\0';
    return static_cast<int32_t>(at + 7 - out);
}

int32_t formatInt(char* out, int32_t value) {
    const std::to_chars_result result = std::to_chars(out, out + kIntTextCapacity - 1, value);
    *result.ptr = '\0';
    return static_cast<int32_t>(result.ptr - out);
}

}  // namespace dorna
