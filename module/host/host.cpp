#include "host/host.h"

#include <charconv>
#include <cstring>

#include "host/library.h"

namespace dorna {

namespace {
const KrvHost* gRoot = nullptr;
}  // namespace

const KrvHost* host() { return gRoot; }

int32_t setHost(const KrvHost* root) {
    if (root != gRoot) forgetHostLibraries();
    gRoot = root;
    return root ? root->version : 0;
}

void* hostAlloc(size_t bytes) { return gRoot->memory->alloc(bytes == 0 ? 1 : bytes, 0, 0); }

void hostFree(void* block) {
    if (block) gRoot->memory->free(block);
}

void fillBytes(void* block, size_t count, uint8_t value) {
    auto* bytes = static_cast<unsigned char*>(block);
    const uint32_t word = 0x01010101u * value;
    size_t i = 0;
    for (; i + 4 <= count; i += 4) std::memcpy(bytes + i, &word, 4);
    for (; i < count; ++i) bytes[i] = value;
}

HostString::HostString() { gRoot->string->construct(&value_); }

HostString::HostString(const char* text) : HostString() { setText(text); }

HostString::HostString(const HostString& other) : HostString() {
    gRoot->string->assign(&value_, &other.value_);
}

HostString& HostString::operator=(const HostString& other) {
    if (this != &other) gRoot->string->assign(&value_, &other.value_);
    return *this;
}

HostString::~HostString() { gRoot->string->destroy(&value_); }

void HostString::setText(const char* text) { gRoot->string->set_text(&value_, text, -1, 0); }

void HostString::setText(const char* text, int32_t length) { gRoot->string->set_text(&value_, text, length, 0); }

int32_t HostString::length() const { return gRoot->string->length(&value_); }

void HostString::append(const HostString& other) { insert(length(), other); }

void HostString::insert(int32_t position, const HostString& other) {
    gRoot->string->insert(&value_, position, &other.value_);
}

bool HostString::find(const HostString& pattern, int32_t* position, int32_t start) const {
    return gRoot->string->find(&value_, &pattern.value_, position, start) != 0;
}

void HostString::remove(int32_t position, int32_t count) {
    gRoot->string->remove(&value_, position, count);
}

int32_t HostString::toText(char* buffer, int32_t max) const {
    return gRoot->string->to_text(&value_, buffer, max, 0);
}

void HostString::adoptAllocated(KrvString* allocated) {
    if (!allocated) return;
    gRoot->string->assign(&value_, allocated);
    gRoot->string->free_allocated(allocated);
}

ConsoleLine& ConsoleLine::add(const char* text) {
    line_.append(HostString(text));
    return *this;
}

ConsoleLine& ConsoleLine::add(const char* text, int32_t length) {
    HostString piece;
    piece.setText(text, length);
    line_.append(piece);
    return *this;
}

ConsoleLine& ConsoleLine::add(const HostString& text) {
    line_.append(text);
    return *this;
}

ConsoleLine& ConsoleLine::add(int64_t number) {
    char digits[24];
    *std::to_chars(digits, digits + sizeof digits - 1, number).ptr = '\0';
    return add(digits);
}

void ConsoleLine::print() const { printLine(line_); }

void printLine(const HostString& text) { gRoot->console->print_line(text.get()); }

void printLine(const char* text) { printLine(HostString(text)); }

void reportMessage(const HostString& text) { gRoot->console->message(text.get(), KRV_MESSAGE_WARNING); }

void reportMessage(const char* text) { reportMessage(HostString(text)); }

}  // namespace dorna
