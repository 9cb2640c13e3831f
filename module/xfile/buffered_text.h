// Text gathered on the stack and handed to the writer in few writes: a key line of
// sixteen reals, or a list of indices, would otherwise cost one host write per number.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>

#include "math/matrix.h"
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
    // Text that opens or closes a block of the file (see XTextWriter::openBlock).
    void openBlock(const char* text) {
        this->text(text);
        writer_.enterBlock();
    }
    void closeBlock(const char* text) {
        this->text(text);
        writer_.leaveBlock();
    }
    // Four blanks per level.
    void indent(int32_t level) {
        for (int32_t i = 0; i < level; ++i) text("    ");
    }
    // As "%0.6f" (a 32-bit real is widened by the call); NaN and infinity as 0, noted
    // on the writer.
    void real(double value) {
        if (!std::isfinite(value)) value = writer_.finiteOrZero(value);
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

// The sixteen values of a matrix in its file form, row by row, every row indented by
// `level`: each of the first three rows holds one component of the three axes and 0,
// followed by `rowEnd`; the fourth holds the offset and 1 and is left open for the
// caller's ending. The one routine every matrix of the file goes through.
inline void appendFileMatrix(BufferedText& out, const Matrix& m, const char* rowEnd, int32_t level = 0) {
    const Vector* axes[3] = {&m.axis1, &m.axis2, &m.axis3};
    for (int32_t r = 0; r < 3; ++r) {
        out.indent(level);
        for (const Vector* axis : axes) {
            out.real(r == 0 ? axis->x : r == 1 ? axis->y : axis->z);
            out.text(", ");
        }
        out.real(0.0);
        out.text(rowEnd);
    }
    out.indent(level);
    out.real(m.offset.x);
    out.text(", ");
    out.real(m.offset.y);
    out.text(", ");
    out.real(m.offset.z);
    out.text(", ");
    out.real(1.0);
}

}  // namespace dorna
