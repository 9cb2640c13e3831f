// The output stream of one .x file: a host file opened for writing, the text operations
// every writer uses, and the file's block structure. Text is gathered in the writer and
// handed to the host in few writes (a key line of sixteen reals, or a list of indices,
// would otherwise cost one host write per number). Once the export has failed nothing
// more reaches the host: the file will not be kept.
#pragma once

#include <korvo_sdk.h>

#include <cmath>
#include <cstdint>
#include <cstring>

#include "host/export_status.h"
#include "math/matrix.h"
#include "xfile/names.h"
#include "xfile/number_format.h"

namespace dorna {

class XTextWriter {
public:
    // Obtains a file object from the host's file service; a refused write is recorded
    // in `status`, which also stops the writing once any step has failed.
    explicit XTextWriter(ExportStatus& status);
    // Drops the file if its owner neither committed nor discarded it.
    ~XTextWriter();
    XTextWriter(const XTextWriter&) = delete;
    XTextWriter& operator=(const XTextWriter&) = delete;

    // Opens the file for writing on `name`. False, with nothing written, when the host
    // refuses.
    [[nodiscard]] bool open(const KrvFileName* name);

    // Text for the file. Without an open file, or after a failure, nothing is written.
    void writeBytes(const char* bytes, int32_t count);
    void writeText(const char* text);
    void writeName(NameText name) { writeBytes(name.text, name.length); }
    // A real as "%0.6f" writes it (a 32-bit real is widened first), an integer as "%i".
    // NaN and infinity are written as 0 (see finiteOrZero).
    void writeReal(double value);
    void writeInt(int32_t value);

    // The value, or 0 for NaN and infinity, which no reader takes: counted, so that the
    // object they came from can be named. Inline: it is asked for every number of the
    // vertex lists.
    double finiteOrZero(double value) {
        if (std::isfinite(value)) return value;
        ++nonFinite_;
        return 0.0;
    }
    // The non-finite values written since the last call.
    int32_t takeNonFiniteCount();

    // The Frame block of an object of the scene walk, which opens it as it enters the
    // object and closes it as it leaves (a guard cannot span the walk's steps):
    // "Frame NAME {" and its closing brace.
    void openFrame(NameText name);
    void closeFrame();

    // The end of the file's text: a block left open is a failure of the export.
    void finish();
    // Hands the gathered text to the host and closes the file: the host keeps it unless
    // a write was refused. A refusal at closing is recorded. True when the file was
    // committed.
    [[nodiscard]] bool close();
    // Frees the file object without closing it: the host keeps nothing of it.
    void discard();

private:
    friend class Block;
    void flush();

    static constexpr int32_t kCapacity = 4096;

    ExportStatus& status_;
    KrvFile file_;
    bool isOpen_;
    int32_t depth_;
    int32_t nonFinite_;
    int32_t length_;
    char buffer_[kCapacity];
};

// One block of the file, opened by its text when the guard is made and closed by its
// closing text when the guard goes: the two texts stand in one place and no block is
// left open on any path.
class Block {
public:
    Block(XTextWriter& writer, const char* openText, const char* closeText);
    // The opening text around a name: "Frame " NAME " {\r\n".
    Block(XTextWriter& writer, const char* head, NameText name, const char* tail, const char* closeText);
    ~Block();
    Block(const Block&) = delete;
    Block& operator=(const Block&) = delete;

private:
    XTextWriter& writer_;
    const char* closeText_;
};

// The rows of a long list (vertices, faces, texture coordinates) gathered as text and
// handed to the writer many rows at a time, the number text made in place: the same
// bytes as the writer's own calls, without a call per number and separator. Nothing
// else may be written through the writer while text is held: it goes out when the next
// piece might not fit, at flush(), and when the list text goes.
class ListText {
public:
    explicit ListText(XTextWriter& writer) : writer_(writer), length_(0) {}
    ~ListText() { flush(); }
    ListText(const ListText&) = delete;
    ListText& operator=(const ListText&) = delete;

    // As XTextWriter::writeReal (a non-finite value is counted and written as 0).
    void real(double value) {
        room(static_cast<int32_t>(kRealTextCapacity));
        length_ += formatReal(text_ + length_, writer_.finiteOrZero(value));
    }
    void integer(int32_t value) {
        room(static_cast<int32_t>(kIntTextCapacity));
        length_ += formatInt(text_ + length_, value);
    }
    // `count` bytes of literal text, at most kCapacity.
    void text(const char* bytes, int32_t count) {
        room(count);
        std::memcpy(text_ + length_, bytes, static_cast<size_t>(count));
        length_ += count;
    }
    template <size_t N>
    void text(const char (&literal)[N]) {
        text(literal, static_cast<int32_t>(N - 1));
    }
    // Room for `count` bytes written in place from the address returned, up to the
    // address given to commit(); at most kCapacity.
    char* reserve(int32_t count) {
        room(count);
        return text_ + length_;
    }
    void commit(const char* end) { length_ = static_cast<int32_t>(end - text_); }
    void flush() {
        writer_.writeBytes(text_, length_);
        length_ = 0;
    }

    static constexpr int32_t kCapacity = 32 * 1024;

private:
    void room(int32_t count) {
        if (count > kCapacity - length_) flush();
    }

    XTextWriter& writer_;
    int32_t length_;
    char text_[kCapacity];
};

// The sixteen values of a matrix in its file form, row by row: each of the first three
// rows holds one component of the three axes and 0, followed by `rowEnd`; the fourth
// holds the offset and 1 and is left open for the caller's ending. The one routine
// every matrix of the file goes through.
void writeFileMatrix(XTextWriter& writer, const Matrix& m, const char* rowEnd);

}  // namespace dorna
