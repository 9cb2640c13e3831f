// Host memory owned by one value: an array of `T` from the host's allocator, its size
// checked (a count below 0, or one whose bytes pass the address range, is refused) and
// given back exactly once, when the array is reset, reassigned or goes out of scope.
// Reads as a plain pointer, so that code over arrays stays code over arrays. For plain
// records only: the elements are copied as bytes and never constructed or destroyed.
#pragma once

#include <cstdint>
#include <cstring>
#include <type_traits>

#include "host/host.h"

namespace dorna {

template <typename T>
class HostArray {
    static_assert(std::is_trivially_copyable_v<T>, "host arrays hold plain records");

public:
    HostArray() = default;
    ~HostArray() { hostFree(items_); }
    HostArray(HostArray&& other) noexcept : items_(other.items_), capacity_(other.capacity_) {
        other.items_ = nullptr;
        other.capacity_ = 0;
    }
    HostArray& operator=(HostArray&& other) noexcept {
        if (this != &other) {
            hostFree(items_);
            items_ = other.items_;
            capacity_ = other.capacity_;
            other.items_ = nullptr;
            other.capacity_ = 0;
        }
        return *this;
    }
    HostArray(const HostArray&) = delete;
    HostArray& operator=(const HostArray&) = delete;

    // A new block of `count` elements in place of the old one (whose contents go).
    // False, and empty, when the size is refused or the host refuses the block.
    [[nodiscard]] bool allocate(int64_t count) {
        reset();
        if (!fits(count)) return false;
        items_ = static_cast<T*>(hostAlloc(sizeof(T) * static_cast<size_t>(count)));
        capacity_ = items_ ? count : 0;
        return items_ != nullptr;
    }
    // Room for at least `needed` elements keeping the first `used`: at least twice the
    // room there was, so that a list appended one by one costs linear time. False, with
    // the array as it was, when the host refuses.
    [[nodiscard]] bool grow(int64_t used, int64_t needed, int64_t first = 16) {
        if (needed <= capacity_) return true;
        int64_t capacity = capacity_ > 0 ? 2 * capacity_ : first;
        if (capacity < needed) capacity = needed;
        if (!fits(capacity)) return false;
        T* grown = static_cast<T*>(hostAlloc(sizeof(T) * static_cast<size_t>(capacity)));
        if (!grown) return false;
        if (used > 0) std::memcpy(grown, items_, sizeof(T) * static_cast<size_t>(used));
        hostFree(items_);
        items_ = grown;
        capacity_ = capacity;
        return true;
    }
    // Takes over a block of `count` elements the host allocated for the module.
    void adopt(T* block, int64_t count) {
        reset();
        items_ = block;
        capacity_ = block ? count : 0;
    }
    // Gives the block back.
    void reset() {
        hostFree(items_);
        items_ = nullptr;
        capacity_ = 0;
    }
    // Every byte of the block set to `value`.
    void fill(uint8_t value) { fillBytes(items_, sizeof(T) * static_cast<size_t>(capacity_), value); }

    operator T*() const { return items_; }
    T* get() const { return items_; }
    int64_t capacity() const { return capacity_; }

private:
    static bool fits(int64_t count) {
        return count >= 0 && static_cast<uint64_t>(count) <= SIZE_MAX / sizeof(T);
    }

    T* items_ = nullptr;
    int64_t capacity_ = 0;
};

}  // namespace dorna
