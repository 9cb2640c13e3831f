// The module's access to the host: the interface root, memory, strings and the
// console. Every other part of the module reaches the host through this layer.
#pragma once

#include <korvo_sdk.h>

#include <cstddef>
#include <cstdint>

namespace dorna {

// The root stored by the first start message; null before it.
const KrvHost* host();
// Stores the root and returns its interface version.
int32_t setHost(const KrvHost* root);

// A block from the host's allocator; a request for 0 bytes asks for 1. Null when refused.
void* hostAlloc(size_t bytes);
// Returns a block; null is ignored.
void hostFree(void* block);

// Fills `count` bytes with `value`, four bytes at a time, then the rest.
void fillBytes(void* block, size_t count, uint8_t value);

// A host string. Its storage is the module's; the host constructs it in place and the
// destructor hands it back, so that no host string outlives the scope that made it.
class HostString {
public:
    HostString();
    // From 8-bit Latin-1 text.
    explicit HostString(const char* text);
    HostString(const HostString& other);
    HostString& operator=(const HostString& other);
    ~HostString();

    KrvString* get() { return &value_; }
    const KrvString* get() const { return &value_; }

    void setText(const char* text);
    // From `length` bytes of 8-bit Latin-1 text.
    void setText(const char* text, int32_t length);
    int32_t length() const;
    void append(const HostString& other);
    void insert(int32_t position, const HostString& other);
    // True when found at or after `start`; `position` receives the first occurrence.
    bool find(const HostString& pattern, int32_t* position, int32_t start) const;
    void remove(int32_t position, int32_t count);
    // Writes at most `max` characters as 8-bit text plus a terminator into `buffer`
    // (max + 1 bytes); returns the characters written.
    int32_t toText(char* buffer, int32_t max) const;
    // Takes over a string the host allocated (copies it, then frees the host's one).
    void adoptAllocated(KrvString* allocated);

private:
    KrvString value_;
};

// One console line built from pieces: text as host strings keep it (every character of
// a name survives), 8-bit text, numbers in decimal.
class ConsoleLine {
public:
    explicit ConsoleLine(const char* start) : line_(start) {}
    ConsoleLine& add(const char* text);
    ConsoleLine& add(const char* text, int32_t length);
    ConsoleLine& add(const HostString& text);
    ConsoleLine& add(int64_t number);
    void print() const;

private:
    HostString line_;
};

// One line on the host console.
void printLine(const HostString& text);
void printLine(const char* text);
// A message to the user (the host's message entry, a warning), not the console.
void reportMessage(const HostString& text);
void reportMessage(const char* text);

}  // namespace dorna
