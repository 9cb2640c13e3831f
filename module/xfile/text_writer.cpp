#include "xfile/text_writer.h"

#include <cmath>
#include <cstring>

#include "host/files.h"
#include "xfile/number_format.h"

namespace dorna {

namespace {

// Blanks for 16 levels; deeper levels take several writes.
constexpr char kBlanks[] = "                                                                ";
constexpr int32_t kBlanksPerWrite = sizeof(kBlanks) - 1;
constexpr int32_t kIndentWidth = 4;

}  // namespace

XTextWriter::XTextWriter(ExportStatus& status)
    : status_(status), file_(createFile()), isOpen_(0), depth_(0), nonFinite_(0) {}

XTextWriter::~XTextWriter() {
    if (file_) discard();
}

bool XTextWriter::open(const KrvFileName* name) {
    if (!file_ || !openFileForWriting(file_, name)) return false;
    isOpen_ = 1;
    return true;
}

void XTextWriter::writeBytes(const char* bytes, int32_t count) {
    if (!isOpen_) return;
    if (!writeFile(file_, bytes, count)) status_.fail(ExportFailure::WriteFailed);
}

void XTextWriter::writeText(const char* text) { writeBytes(text, static_cast<int32_t>(std::strlen(text))); }

void XTextWriter::writeIndent(int32_t level) {
    for (int64_t blanks = int64_t{level} * kIndentWidth; blanks > 0; blanks -= kBlanksPerWrite)
        writeBytes(kBlanks, blanks < kBlanksPerWrite ? static_cast<int32_t>(blanks) : kBlanksPerWrite);
}

void XTextWriter::openBlock(const char* text) {
    writeText(text);
    enterBlock();
}

void XTextWriter::closeBlock(const char* text) {
    writeText(text);
    leaveBlock();
}

double XTextWriter::finiteOrZero(double value) {
    if (std::isfinite(value)) return value;
    ++nonFinite_;
    return 0.0;
}

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
    const bool committed = isOpen_ && closeFile(file_) != 0;
    if (isOpen_ && !committed) status_.fail(ExportFailure::WriteFailed);
    isOpen_ = 0;
    freeFile(file_);
    return committed;
}

void XTextWriter::discard() {
    isOpen_ = 0;
    freeFile(file_);
}

}  // namespace dorna
