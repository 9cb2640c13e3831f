// Numbers as the .x text writes them: reals like "%0.6f", integers like "%i".
#pragma once

#include <cstddef>
#include <cstdint>

namespace dorna {

// Room for any double in fixed notation with six decimals: a sign, 309 integer
// digits, the point and six decimals, plus a terminator.
constexpr size_t kRealTextCapacity = 320;
constexpr size_t kIntTextCapacity = 12;

// Writes `value` as "%0.6f" would into `out` (kRealTextCapacity bytes), zero-terminated;
// returns the number of characters. A 32-bit real is widened to 64 bits by the call.
int32_t formatReal(char* out, double value);
// Writes `value` as "%i" would into `out` (kIntTextCapacity bytes), zero-terminated.
int32_t formatInt(char* out, int32_t value);

}  // namespace dorna
