#include "korvo/scene/json_key_set.h"

#include <functional>

namespace korvo {

bool KeySet::insert(std::string_view key) {
    if (2 * (count_ + 1) > slots_.size()) grow();
    const uint64_t hash = std::hash<std::string_view>()(key);
    const size_t mask = slots_.size() - 1;
    for (size_t i = size_t(hash) & mask;; i = (i + 1) & mask) {
        Slot& slot = slots_[i];
        if (slot.length == kEmpty) {
            slot = Slot{hash, text_.size(), key.size()};
            text_.append(key);
            ++count_;
            return true;
        }
        if (slot.hash == hash && std::string_view(text_).substr(slot.offset, slot.length) == key) return false;
    }
}

void KeySet::clear() {
    if (count_ == 0) return;
    text_.clear();
    slots_.assign(slots_.size(), Slot{});
    count_ = 0;
}

// Doubles the table (at least 16 slots) and places every key again.
void KeySet::grow() {
    std::vector<Slot> old(slots_.size() < 8 ? 16 : slots_.size() * 2);
    old.swap(slots_);
    const size_t mask = slots_.size() - 1;
    for (const Slot& slot : old) {
        if (slot.length == kEmpty) continue;
        size_t i = size_t(slot.hash) & mask;
        while (slots_[i].length != kEmpty) i = (i + 1) & mask;
        slots_[i] = slot;
    }
}

}  // namespace korvo
