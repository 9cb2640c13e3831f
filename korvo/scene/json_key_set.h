// The keys of one JSON object, to find a repeated key in time linear in their number: one
// open-addressed table over one buffer of the keys' text, so that 200,000 keys cost
// 200,000 short probes and no allocation per key.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace korvo {

class KeySet {
public:
    // False when `key` is already in the set.
    bool insert(std::string_view key);
    void clear();

private:
    struct Slot {
        uint64_t hash = 0;
        size_t offset = 0;
        size_t length = kEmpty;
    };
    static constexpr size_t kEmpty = ~size_t(0);

    void grow();

    std::string text_;
    std::vector<Slot> slots_;
    size_t count_ = 0;
};

}  // namespace korvo
