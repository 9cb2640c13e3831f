#include "xfile/text_writer.h"

#include <cstring>

#include "host/files.h"
#include "xfile/number_format.h"

namespace dorna {

XTextWriter::XTextWriter(ExportStatus& status)
    : status_(status), file_(createFile()), isOpen_(false), depth_(0), nonFinite_(0), length_(0) {}

XTextWriter::~XTextWriter() {
    if (file_) discard();
}

bool XTextWriter::open(const KrvFileName* name) {
    if (!file_ || !openFileForWriting(file_, name)) return false;
    isOpen_ = true;
    return true;
}

void XTextWriter::flush() {
    if (length_ > 0 && isOpen_ && status_.ok() && !writeFile(file_, buffer_, length_))
        status_.fail(ExportFailure::WriteFailed);
    length_ = 0;
}

void XTextWriter::writeBytes(const char* bytes, int32_t count) {
    if (!isOpen_ || !status_.ok() || count <= 0) return;
    if (count > kCapacity - length_) {
        flush();
        if (count > kCapacity) {
            if (status_.ok() && !writeFile(file_, bytes, count)) status_.fail(ExportFailure::WriteFailed);
            return;
        }
    }
    std::memcpy(buffer_ + length_, bytes, static_cast<size_t>(count));
    length_ += count;
}

void XTextWriter::writeText(const char* text) { writeBytes(text, static_cast<int32_t>(std::strlen(text))); }

int32_t XTextWriter::takeNonFiniteCount() {
    const int32_t count = nonFinite_;
    nonFinite_ = 0;
    return count;
}

void XTextWriter::writeReal(double value) {
    value = finiteOrZero(value);
    char text[kRealTextCapacity];
    writeBytes(text, formatReal(text, value));
}

void XTextWriter::writeInt(int32_t value) {
    char text[kIntTextCapacity];
    writeBytes(text, formatInt(text, value));
}

void XTextWriter::finish() {
    if (depth_ != 0) status_.fail(ExportFailure::BlocksUnbalanced);
}

bool XTextWriter::close() {
    flush();
    const bool committed = isOpen_ && closeFile(file_) != 0;
    if (isOpen_ && !committed) status_.fail(ExportFailure::WriteFailed);
    isOpen_ = false;
    freeFile(file_);
    return committed;
}

void XTextWriter::discard() {
    isOpen_ = false;
    length_ = 0;
    freeFile(file_);
}

void XTextWriter::openFrame(NameText name) {
    writeText("Frame ");
    writeName(name);
    writeText(" {\r\n");
    ++depth_;
}

void XTextWriter::closeFrame() {
    writeText("}\r\n");
    --depth_;
}

Block::Block(XTextWriter& writer, const char* openText, const char* closeText)
    : writer_(writer), closeText_(closeText) {
    writer_.writeText(openText);
    ++writer_.depth_;
}

Block::Block(XTextWriter& writer, const char* head, NameText name, const char* tail, const char* closeText)
    : writer_(writer), closeText_(closeText) {
    writer_.writeText(head);
    writer_.writeName(name);
    writer_.writeText(tail);
    ++writer_.depth_;
}

Block::~Block() {
    writer_.writeText(closeText_);
    --writer_.depth_;
}

void writeFileMatrix(XTextWriter& writer, const Matrix& m, const char* rowEnd) {
    const Vector* axes[3] = {&m.axis1, &m.axis2, &m.axis3};
    for (int32_t r = 0; r < 3; ++r) {
        for (const Vector* axis : axes) {
            writer.writeReal(r == 0 ? axis->x : r == 1 ? axis->y : axis->z);
            writer.writeText(", ");
        }
        writer.writeReal(0.0);
        writer.writeText(rowEnd);
    }
    writer.writeReal(m.offset.x);
    writer.writeText(", ");
    writer.writeReal(m.offset.y);
    writer.writeText(", ");
    writer.writeReal(m.offset.z);
    writer.writeText(", ");
    writer.writeReal(1.0);
}

}  // namespace dorna
