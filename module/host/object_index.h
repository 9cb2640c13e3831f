// The one table that finds a record by its host object: open addressing over a plain
// array of slots (a power of two of them, -1 free, at most half full), each holding the
// index of a record in the owner's array.
#pragma once

#include <korvo_sdk.h>

#include <cstdint>

namespace dorna {

inline uint32_t hashOfObject(KrvObject object) {
    const uint64_t value = reinterpret_cast<uintptr_t>(object);
    return static_cast<uint32_t>((value * 0x9E3779B97F4A7C15ull) >> 32);
}

// Enters record `index` under `object`.
inline void indexObject(int32_t* slots, int32_t slotCount, KrvObject object, int32_t index) {
    const uint32_t mask = static_cast<uint32_t>(slotCount - 1);
    uint32_t s = hashOfObject(object) & mask;
    while (slots[s] >= 0) s = (s + 1) & mask;
    slots[s] = index;
}

// The record entered under `object`, or -1: `isOf(index)` tells whether record `index`
// is the object's (a record may have been entered under an object since gone).
template <typename IsOf>
int32_t findIndexedObject(const int32_t* slots, int32_t slotCount, KrvObject object, IsOf isOf) {
    const uint32_t mask = static_cast<uint32_t>(slotCount - 1);
    for (uint32_t s = hashOfObject(object) & mask;; s = (s + 1) & mask) {
        const int32_t index = slots[s];
        if (index < 0 || isOf(index)) return index;
    }
}

}  // namespace dorna
