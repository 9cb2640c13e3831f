// A file's bytes in memory, followed by at least `padding` readable bytes (a parser that
// reads whole blocks past the end needs them). On Linux the file is mapped, not copied,
// and the pages already read can be given back to the system while the file is still
// being read; should they be needed again (a refusal names its line), they are read from
// the file again. Elsewhere the file is read into one buffer and nothing is given back.
#pragma once

#include <cstddef>
#include <cstdio>
#include <memory>

namespace korvo {

class FileText {
public:
    FileText() = default;
    FileText(const FileText&) = delete;
    FileText& operator=(const FileText&) = delete;
    ~FileText();

    // Reads `file` (open for reading, at its start); false with errno set when it cannot.
    bool load(std::FILE* file, size_t padding);

    const char* data() const { return data_; }
    size_t size() const { return size_; }
    // The readable bytes: the size and at least the padding.
    size_t capacity() const { return capacity_; }

    // Gives back the whole pages before `upTo` that were read.
    void release(const char* upTo);

private:
    bool map(std::FILE* file, size_t size, size_t padding);

    const char* data_ = nullptr;
    size_t size_ = 0;
    size_t capacity_ = 0;
    size_t mapped_ = 0;    // the length of the mapping, 0 when the bytes are in buffer_
    size_t released_ = 0;  // the bytes from the start given back so far
    std::unique_ptr<char[]> buffer_;
};

}  // namespace korvo
