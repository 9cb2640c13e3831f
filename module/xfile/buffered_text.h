// Text gathered on the stack and handed to the writer in few writes: a key line of
// sixteen reals, or a list of indices, would otherwise cost one host write per number.
#pragma once

#include <cstdint>
#include <cstring>

#include "xfile/number_format.h"
#include "xfile/text_writer.h"

namespace dorna {

class BufferedText {
public:
    explicit BufferedText(XTextWriter& writer) : writer_(writer), length_(0) {}
    ~BufferedText() { flush(); }
    BufferedText(const BufferedText&) = delete;
    BufferedText& operator=(const BufferedText&) = delete;

    void text(const char* text) {
        const size_t count = std::strlen(text);
        if (count > kCapacity - length_) {
            flush();
            if (count > kCapacity) {
                writer_.writeBytes(text, static_cast<int32_t>(count));
                return;
            }
        }
        std::memcpy(buffer_ + length_, text, count);
        length_ += count;
    }
    // As "%0.6f" (a 32-bit real is widened by the call).
    void real(double value) {
        makeRoom(kRealTextCapacity);
        length_ += static_cast<size_t>(formatReal(buffer_ + length_, value));
    }
    // As "%i".
    void integer(int32_t value) {
        makeRoom(kIntTextCapacity);
        length_ += static_cast<size_t>(formatInt(buffer_ + length_, value));
    }
    void flush() {
        if (length_ > 0) writer_.writeBytes(buffer_, static_cast<int32_t>(length_));
        length_ = 0;
    }

private:
    static constexpr size_t kCapacity = 4096;

    void makeRoom(size_t needed) {
        if (needed > kCapacity - length_) flush();
    }

    XTextWriter& writer_;
    size_t length_;
    char buffer_[kCapacity];
};

}  // namespace dorna
