// The formatting floor of an export: the numbers of an exported .x file formatted again
// with the module's number text and written to a file, with no mesh work. The file is
// read and taken apart first (not timed) into literal text and numbers; the timed part
// rebuilds the same bytes through a 1 MiB buffer and writes them with write(2), as a
// bare exporter would. The rebuilt file is compared with the original, so the floor
// writes exactly what the export wrote. Like the host's commit of a target, the file's
// writing to the disk is started in steps on the way and the file is flushed (fsync)
// before it is closed; the time spent in the file system (writes, flush, close) is
// reported apart, as `korvo export --timings` reports the export's, so that the
// formatting can be compared on its own too. A single run moves with the machine's load
// as much as the difference being measured, so the timed part runs RUNS times (default
// 5), each into a fresh file as the export writes one, and the median is printed.
//
//   format_floor EXPORTED.x OUT.x [RUNS]
//   prints "floor SECONDS BYTES NUMBERS FILE_SYSTEM_SECONDS" (medians of the runs)
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "xfile/number_format.h"

namespace {

// One piece of the file: literal text, then a number (a real, an integer, or none).
struct Piece {
    std::string literal;
    enum Kind { None, Real, Integer } kind = None;
    float real = 0;
    int32_t integer = 0;
};

bool isWordCharacter(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
}

// The number text starting at `at` (an optional minus, digits, optionally a point and
// digits) as a piece, when formatting it again gives the same text; else false.
bool parseNumber(const std::string& text, size_t at, size_t& end, Piece& piece) {
    size_t i = at;
    if (text[i] == '-') ++i;
    const size_t digits = i;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i;
    if (i == digits) return false;
    bool real = false;
    if (i + 1 < text.size() && text[i] == '.' && text[i + 1] >= '0' && text[i + 1] <= '9') {
        real = true;
        ++i;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i;
    }
    if (i < text.size() && isWordCharacter(text[i])) return false;
    const std::string token = text.substr(at, i - at);
    char again[dorna::kRealTextCapacity];
    if (real) {
        piece.kind = Piece::Real;
        piece.real = std::strtof(token.c_str(), nullptr);
        dorna::formatReal(again, piece.real);
    } else {
        const long long value = std::strtoll(token.c_str(), nullptr, 10);
        if (value < INT32_MIN || value > INT32_MAX) return false;
        piece.kind = Piece::Integer;
        piece.integer = static_cast<int32_t>(value);
        dorna::formatInt(again, piece.integer);
    }
    if (token != again) return false;
    end = i;
    return true;
}

std::vector<Piece> takeApart(const std::string& text, size_t& numbers) {
    std::vector<Piece> pieces(1);
    numbers = 0;
    for (size_t i = 0; i < text.size();) {
        const bool starts = (text[i] == '-' || (text[i] >= '0' && text[i] <= '9')) &&
                            (i == 0 || !isWordCharacter(text[i - 1]));
        size_t end = 0;
        Piece number;
        if (starts && parseNumber(text, i, end, number)) {
            number.literal = std::move(pieces.back().literal);
            pieces.back() = number;
            pieces.emplace_back();
            ++numbers;
            i = end;
        } else {
            pieces.back().literal += text[i++];
        }
    }
    return pieces;
}

constexpr size_t kBufferBytes = 1 << 20;

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

// The file being written: its descriptor, the bytes written, and those whose writing to the
// disk was started (in steps, as the host starts them while it makes the rest).
struct Output {
    int fd;
    uint64_t written = 0;
    uint64_t handedOver = 0;
};

constexpr uint64_t kWritebackStep = uint64_t(8) << 20;

// Adds the time it takes to `fileSystem`.
bool writeAll(Output& out, const char* bytes, size_t count, double& fileSystem) {
    const Clock::time_point start = Clock::now();
    out.written += count;
    while (count > 0) {
        const ssize_t n = write(out.fd, bytes, count);
        if (n <= 0) break;
        bytes += n;
        count -= static_cast<size_t>(n);
    }
    if (out.written - out.handedOver >= kWritebackStep) {
        sync_file_range(out.fd, off64_t(out.handedOver), off64_t(out.written - out.handedOver), SYNC_FILE_RANGE_WRITE);
        out.handedOver = out.written;
    }
    fileSystem += secondsSince(start);
    return count == 0;
}

struct Timing {
    double seconds;
    double fileSystem;
};

// One timed rebuild of the file from its pieces; false when the file could not be written.
bool rebuild(const std::vector<Piece>& pieces, const char* path, Timing& timing) {
    const Clock::time_point start = Clock::now();
    timing.fileSystem = 0;
    Output out{open(path, O_WRONLY | O_CREAT | O_TRUNC, 0644)};
    if (out.fd < 0) return false;
    std::vector<char> buffer(kBufferBytes);
    size_t used = 0;
    bool written = true;
    for (const Piece& piece : pieces) {
        if (kBufferBytes - used < piece.literal.size() + dorna::kRealTextCapacity) {
            written = written && writeAll(out, buffer.data(), used, timing.fileSystem);
            used = 0;
        }
        if (piece.literal.size() > kBufferBytes - dorna::kRealTextCapacity) {
            written = written && writeAll(out, piece.literal.data(), piece.literal.size(), timing.fileSystem);
        } else {
            std::memcpy(buffer.data() + used, piece.literal.data(), piece.literal.size());
            used += piece.literal.size();
        }
        if (piece.kind == Piece::Real) used += static_cast<size_t>(dorna::formatReal(buffer.data() + used, piece.real));
        if (piece.kind == Piece::Integer) used += static_cast<size_t>(dorna::formatInt(buffer.data() + used, piece.integer));
    }
    written = written && writeAll(out, buffer.data(), used, timing.fileSystem);
    const Clock::time_point commit = Clock::now();
    written = fsync(out.fd) == 0 && written;
    written = close(out.fd) == 0 && written;
    timing.fileSystem += secondsSince(commit);
    timing.seconds = secondsSince(start);
    return written;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc == 4 ? std::atoi(argv[3]) : 5;
    if ((argc != 3 && argc != 4) || runs < 1) {
        std::fprintf(stderr, "usage: format_floor EXPORTED.x OUT.x [RUNS]\n");
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    const std::string original((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (!in.good() && !in.eof()) {
        std::fprintf(stderr, "format_floor: cannot read %s\n", argv[1]);
        return 1;
    }
    size_t numbers = 0;
    const std::vector<Piece> pieces = takeApart(original, numbers);

    std::vector<double> seconds, fileSystem;
    for (int run = 0; run < runs; ++run) {
        unlink(argv[2]);
        Timing timing{};
        if (!rebuild(pieces, argv[2], timing)) {
            std::fprintf(stderr, "format_floor: cannot write %s\n", argv[2]);
            return 1;
        }
        seconds.push_back(timing.seconds);
        fileSystem.push_back(timing.fileSystem);
    }

    std::ifstream again(argv[2], std::ios::binary);
    const std::string rebuilt((std::istreambuf_iterator<char>(again)), std::istreambuf_iterator<char>());
    if (rebuilt != original) {
        std::fprintf(stderr, "format_floor: the rebuilt file differs from %s\n", argv[1]);
        return 1;
    }
    std::printf("floor %.3f %zu %zu %.3f\n", median(seconds), original.size(), numbers, median(fileSystem));
    return 0;
}
