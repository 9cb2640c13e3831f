#include "korvo/files/file_text.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#ifdef __linux__
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace korvo {

FileText::~FileText() {
#ifdef __linux__
    if (mapped_) munmap(const_cast<char*>(data_), mapped_);
#endif
}

#ifdef __linux__
// The file mapped privately and read-only, in a reserved range of zero pages one longer
// than the padding needs, so that the bytes past the end read as zeros. Its pages come in
// as they are first read, not all at once: with the pages read given back behind the
// reader, the text is never resident whole.
bool FileText::map(std::FILE* file, size_t size, size_t padding) {
    const size_t page = size_t(sysconf(_SC_PAGESIZE));
    const size_t fileLength = (size + page - 1) / page * page;
    const size_t length = (size + padding + page - 1) / page * page;
    void* range = mmap(nullptr, length, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (range == MAP_FAILED) return false;
    if (mmap(range, fileLength, PROT_READ, MAP_PRIVATE | MAP_FIXED, fileno(file), 0) == MAP_FAILED) {
        munmap(range, length);
        return false;
    }
    data_ = static_cast<const char*>(range);
    size_ = size;
    capacity_ = length;
    mapped_ = length;
    return true;
}
#endif

bool FileText::load(std::FILE* file, size_t padding) {
#ifdef __linux__
    struct stat status;
    if (fstat(fileno(file), &status) == 0 && S_ISREG(status.st_mode) && status.st_size > 0 &&
        map(file, size_t(status.st_size), padding)) {
        return true;
    }
#endif
    // Read into one buffer, sized by the file's end once a first read succeeded (reading a
    // directory fails there), and grown should the file be longer than it was.
    size_t room = size_t(1) << 16;
    buffer_.reset(new char[room + padding]);
    size_t length = std::fread(buffer_.get(), 1, room, file);
    for (bool sized = false; length == room;) {
        size_t wanted = 2 * room;
        if (!sized && std::fseek(file, 0, SEEK_END) == 0) {
            const long end = std::ftell(file);
            if (end > long(room)) wanted = size_t(end) + 1;
            if (std::fseek(file, long(length), SEEK_SET) != 0) return false;
            sized = true;
        }
        std::unique_ptr<char[]> larger(new char[wanted + padding]);
        std::memcpy(larger.get(), buffer_.get(), length);
        buffer_ = std::move(larger);
        room = wanted;
        length += std::fread(buffer_.get() + length, 1, room - length, file);
    }
    if (std::ferror(file)) return false;
    std::memset(buffer_.get() + length, 0, padding);
    data_ = buffer_.get();
    size_ = length;
    capacity_ = length + padding;
    return true;
}

void FileText::release(const char* upTo) {
#ifdef __linux__
    if (!mapped_ || upTo <= data_ + released_) return;
    const size_t page = size_t(sysconf(_SC_PAGESIZE));
    const size_t end = std::min(size_t(upTo - data_), size_) / page * page;
    if (end <= released_) return;
    madvise(const_cast<char*>(data_) + released_, end - released_, MADV_DONTNEED);
    released_ = end;
#else
    (void)upTo;
#endif
}

}  // namespace korvo
