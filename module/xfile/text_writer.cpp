#include "xfile/text_writer.h"

#include <cmath>
#include <cstring>

#include "host/files.h"
#include "settings/export_settings.h"
#include "xfile/header.h"
#include "xfile/number_format.h"

namespace dorna {

namespace {

// One buffer for every host string: a name may be long, and a buffer of this size on
// the stack, or allocated per call, would cost more than the conversion itself.
char gHostStringBuffer[kHostStringBufferSize];

// Blanks for 16 levels; deeper levels take several writes.
constexpr char kBlanks[] = "                                                                ";
constexpr int32_t kBlanksPerWrite = sizeof(kBlanks) - 1;
constexpr int32_t kIndentWidth = 4;

}  // namespace

XTextWriter::XTextWriter() : file_(createFile()), isOpen_(0), writeFailed_(0), incomplete_(0), nonFinite_(0) {}

XTextWriter::~XTextWriter() {
    if (file_) close();
}

bool XTextWriter::open(const KrvFileName* name) {
    if (!file_ || !openFileForWriting(file_, name)) return false;
    isOpen_ = 1;
    writeHeader(*this, exportSettings);
    return true;
}

int32_t XTextWriter::writeBytes(const char* bytes, int32_t count) {
    if (!file_) return 0;
    const int32_t accepted = writeFile(file_, bytes, count);
    if (!accepted) writeFailed_ = 1;
    return accepted;
}

int32_t XTextWriter::writeText(const char* text) {
    return writeBytes(text, static_cast<int32_t>(std::strlen(text)));
}

int32_t XTextWriter::writeHostString(const HostString& text) {
    int32_t count = text.toText(gHostStringBuffer, kHostStringBufferSize - 1);
    if (count <= 0) return 1;
    if (count > kHostStringBufferSize - 1) count = kHostStringBufferSize - 1;
    return writeBytes(gHostStringBuffer, count);
}

int32_t XTextWriter::writeIndent(int32_t level) {
    if (!isOpen_) return 0;
    for (int64_t blanks = int64_t{level} * kIndentWidth; blanks > 0; blanks -= kBlanksPerWrite)
        writeBytes(kBlanks, blanks < kBlanksPerWrite ? static_cast<int32_t>(blanks) : kBlanksPerWrite);
    return 1;
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

int32_t XTextWriter::writeReal(double value) {
    value = finiteOrZero(value);
    char text[kRealTextCapacity];
    return writeBytes(text, formatReal(text, value));
}

int32_t XTextWriter::writeInt(int32_t value) {
    char text[kIntTextCapacity];
    return writeBytes(text, formatInt(text, value));
}

bool XTextWriter::close() {
    bool committed = false;
    if (isOpen_ && !incomplete_) committed = closeFile(file_) != 0;
    isOpen_ = 0;
    freeFile(file_);
    return committed && !writeFailed_;
}

}  // namespace dorna
