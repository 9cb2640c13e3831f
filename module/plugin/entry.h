// The module's entry point: start, registration, end and the host's queries.
#pragma once

#include <cstdint>

namespace dorna {

constexpr int32_t kMinimumInterfaceVersion = 7500;

// The answer to krv_main(message, data, value, text).
int32_t moduleMain(int32_t message, void* data, int32_t value, const char* text);

}  // namespace dorna
