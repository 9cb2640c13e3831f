#include "korvo/scene/scene_rows.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <limits>
#include <string_view>
#include <system_error>

#include <fast_float/fast_float.h>

#include "korvo/files/file_text.h"
#include "korvo/files/platform.h"

namespace korvo {
namespace {

// Longer numbers, exponents of three digits and integers of many digits are left to the
// JSON parser, whose reading of them (a refusal, or a value beyond the float range or
// below the normal ones) is the one that counts.
constexpr ptrdiff_t kLongestNumber = 40;
constexpr ptrdiff_t kLongestExponent = 2;
constexpr ptrdiff_t kLongestInteger = 18;
// A rest this short is always worth its copy.
constexpr size_t kSmallRest = size_t(1) << 16;
// Once this much of the text is split, the arrays read so far must be most of it, or the
// text is left to the JSON parser whole: many small arrays cost more read ahead than not.
constexpr size_t kProbeLength = size_t(1) << 20;
// An array that closes within this many bytes is left to the JSON parser: its records and
// its place in the rest would cost more than reading it ahead saves.
constexpr ptrdiff_t kShortArray = 256;
// The pages read are given back at most once for this many bytes between arrays.
constexpr size_t kReleaseStep = size_t(1) << 20;
// How many rows are read between two returns of the pages read.
constexpr size_t kRowsPerRelease = 4096;

struct Cursor {
    const char* p;
    const char* end;
};

inline int countTrailingZeros(uint64_t x) {
#if defined(__GNUC__)
    return __builtin_ctzll(x);
#else
    int n = 0;
    while (!(x & 1)) x >>= 1, ++n;
    return n;
#endif
}

inline bool isDigit(char c) { return static_cast<unsigned char>(c - '0') < 10; }
// Space, tab, line feed and carriage return.
inline bool isBlank(char c) {
    const unsigned char u = static_cast<unsigned char>(c);
    return u <= ' ' && ((uint64_t(0x100002600) >> u) & 1);
}

inline uint64_t wordAt(const char* p) {
    uint64_t word;
    std::memcpy(&word, p, 8);
    return word;
}

// The top bit of each byte of `word` that is not a digit. A byte is a digit when, less
// '0', it is below 10: adding 0x76 then leaves its top bit clear. A carry out of a byte
// that is no digit only reaches the bytes after it, so the first such byte is always right.
inline uint64_t notDigits(uint64_t word) {
    const uint64_t offset = word ^ 0x3030303030303030u;
    return ((offset + 0x7676767676767676u) | offset) & 0x8080808080808080u;
}

// Rows of a pretty file start with a line's indentation, whose spaces are counted eight
// bytes at a time.
inline void skipBlanks(Cursor& c) {
    constexpr uint64_t kEightSpaces = 0x2020202020202020u;
    while (c.p < c.end && isBlank(*c.p)) {
        if (*c.p++ != '\n') continue;
        while (c.end - c.p >= 8) {
            const uint64_t notSpace = wordAt(c.p) ^ kEightSpaces;
            if (notSpace) {
                c.p += countTrailingZeros(notSpace) >> 3;
                break;
            }
            c.p += 8;
        }
    }
}

// Takes `expected` after blanks; most often there are none.
inline bool take(Cursor& c, char expected) {
    if (c.p == c.end) return false;
    if (*c.p != expected) {
        skipBlanks(c);
        if (c.p == c.end || *c.p != expected) return false;
    }
    ++c.p;
    return true;
}

// The value of the `count` (1 to 8) digits that start `word`'s text.
inline uint64_t digitsValue(uint64_t word, int count) {
    // The digits' values, the first in the top byte of eight; what follows them is shifted out.
    uint64_t v = (word - 0x3030303030303030u) << (8 * (8 - count));
    v = v * 10 + (v >> 8);
    return (((v & 0x000000FF000000FFu) * (100 + (uint64_t(1000000) << 32))) +
            (((v >> 16) & 0x000000FF000000FFu) * (1 + (uint64_t(10000) << 32)))) >> 32;
}

constexpr uint64_t kPowersOfTen[] = {1, 10, 100, 1000, 10000, 100000, 1000000, 10000000, 100000000};

// The digits from `p` on, eight at a time, added to `value` (at most 19 digits in all are
// exact); `p` is left after them.
inline void readDigits(const char*& p, const char* end, uint64_t& value, ptrdiff_t& count) {
    while (end - p >= 8) {
        const uint64_t word = wordAt(p);
        const uint64_t notDigit = notDigits(word);
        const int digits = notDigit ? countTrailingZeros(notDigit) >> 3 : 8;
        if (digits == 0) return;
        value = value * kPowersOfTen[digits] + digitsValue(word, digits);
        count += digits;
        p += digits;
        if (digits < 8) return;
    }
    for (; p < end && isDigit(*p); ++p, ++count) value = value * 10 + uint64_t(*p - '0');
}

// A JSON number within the float range as the reader reads one: correctly rounded, and an
// integer written "-0" as +0 (it is the integer 0). The digits are gathered here, and a
// number of at most 19 of them becomes a double in one step of the library's (its exact
// decimal value rounded once); longer ones are left to its whole reading.
[[gnu::always_inline]] inline bool readReal(Cursor& c, double& x) {
    skipBlanks(c);
    const char* const start = c.p;
    const char* const end = c.end;
    const char* p = start;
    const bool negative = p < end && *p == '-';
    p += negative;
    if (p == end || !isDigit(*p)) return false;
    uint64_t mantissa = 0;
    ptrdiff_t digits = 0;
    if (*p == '0') {
        ++p, ++digits;
    } else {
        readDigits(p, end, mantissa, digits);
    }
    bool integer = true;
    int64_t exponent = 0;
    if (p < end && *p == '.') {
        ++p;
        if (p == end || !isDigit(*p)) return false;
        const ptrdiff_t before = digits;
        readDigits(p, end, mantissa, digits);
        exponent = before - digits;
        integer = false;
    }
    if (p < end && (*p == 'e' || *p == 'E')) {
        ++p;
        const bool below = p < end && *p == '-';
        if (p < end && (*p == '+' || *p == '-')) ++p;
        const char* const exponentDigits = p;
        int64_t e = 0;
        for (; p < end && isDigit(*p); ++p) {
            if (p - exponentDigits == kLongestExponent) return false;  // left to the JSON parser
            e = e * 10 + (*p - '0');
        }
        if (p == exponentDigits) return false;
        exponent += below ? -e : e;
        integer = false;
    }
    if (p - start > (integer ? kLongestInteger : kLongestNumber)) return false;
    const bool exact = digits <= 19;  // the mantissa holds every digit
    fast_float::adjusted_mantissa rounded{};
    rounded.power2 = -1;
    if (exact) rounded = fast_float::compute_float<fast_float::binary_format<double>>(exponent, mantissa);
    if (exact && mantissa == 0) {
        x = negative && !integer ? -0.0 : 0.0;
    } else if (rounded.power2 >= 0) {
        fast_float::to_float(negative, rounded, x);
    } else {  // a longer number, or one the step cannot round for sure
        const fast_float::from_chars_result read = fast_float::from_chars(start, p, x);
        if (read.ptr != p || read.ec != std::errc()) return false;
    }
    if (!(std::fabs(x) < kFloatRangeEnd)) return false;
    c.p = p;
    return true;
}

// A point index: a plain integer within the 32-bit range.
[[gnu::always_inline]] inline bool readIndex(Cursor& c, int32_t& index) {
    skipBlanks(c);
    const char* p = c.p;
    // Up to seven digits and what follows them, converted in one step.
    if (c.end - p >= 8) {
        const uint64_t word = wordAt(p);
        const uint64_t notDigit = notDigits(word);
        const int digits = notDigit ? countTrailingZeros(notDigit) >> 3 : 8;
        if (digits > 0 && digits < 8) {
            const char next = p[digits];
            if ((*p == '0' && digits > 1) || next == '.' || next == 'e' || next == 'E') return false;
            index = static_cast<int32_t>(digitsValue(word, digits));
            c.p = p + digits;
            return true;
        }
    }
    if (p == c.end || !isDigit(*p)) return false;
    int64_t value = *p++ - '0';
    if (value != 0) {
        while (p < c.end && isDigit(*p)) {
            value = value * 10 + (*p++ - '0');
            if (value > std::numeric_limits<int32_t>::max()) return false;
        }
    }
    if (p < c.end && (isDigit(*p) || *p == '.' || *p == 'e' || *p == 'E')) return false;
    index = static_cast<int32_t>(value);
    c.p = p;
    return true;
}

// After a row: true while more rows follow; `closed` when the array ended instead.
inline bool nextRow(Cursor& c, bool& closed) {
    if (take(c, ',')) return true;
    closed = take(c, ']');
    return false;
}

// Room for one more element: the array doubles into memory advised to large pages before
// anything is copied there, as a page fault costs as much as reading a few hundred numbers.
template <class T>
[[gnu::noinline]] void grow(std::vector<T>& v) {
    std::vector<T> larger;
    larger.reserve(std::max<size_t>(2 * v.capacity(), 16));
    platform::adviseLargePages(larger.data(), larger.capacity() * sizeof(T));
    larger.insert(larger.end(), v.begin(), v.end());
    v.swap(larger);
}

template <class T>
[[gnu::always_inline]] inline void makeRoom(std::vector<T>& v) {
    if (v.size() == v.capacity()) grow(v);
}

// Room for `count` elements, in memory advised to large pages.
template <class T>
void reserveLarge(std::vector<T>& v, size_t count) {
    v.reserve(count);
    platform::adviseLargePages(v.data(), v.capacity() * sizeof(T));
}

inline void releaseNow(size_t row, FileText* file, const Cursor& c) {
    if (file && row % kRowsPerRelease == kRowsPerRelease - 1) file->release(c.p);
}

// Each reader starts after the array's "[" and is true when it read the whole array,
// non-empty, up to its "]".

bool readPoints(Cursor& c, RowBlock& block, FileText* file) {
    bool closed = false;
    for (size_t row = 0;; ++row) {
        Vec3 v;
        if (!take(c, '[') || !readReal(c, v[0]) || !take(c, ',') || !readReal(c, v[1]) || !take(c, ',') ||
            !readReal(c, v[2]) || !take(c, ']')) {
            return false;
        }
        makeRoom(block.points);
        block.points.push_back(v);
        releaseNow(row, file, c);
        if (!nextRow(c, closed)) return closed;
    }
}

bool readPolygons(Cursor& c, RowBlock& block, FileText* file) {
    bool closed = false;
    for (size_t row = 0;; ++row) {
        int32_t index[4];
        if (!take(c, '[') || !readIndex(c, index[0]) || !take(c, ',') || !readIndex(c, index[1]) ||
            !take(c, ',') || !readIndex(c, index[2])) {
            return false;
        }
        uint8_t corners = 3;
        index[3] = index[2];
        if (take(c, ',')) {
            if (!readIndex(c, index[3])) return false;
            corners = 4;
        }
        if (!take(c, ']')) return false;
        block.largestIndex = std::max({block.largestIndex, index[0], index[1], index[2], index[3]});
        makeRoom(block.polygons);
        block.polygons.push_back(Polygon{index[0], index[1], index[2], index[3]});
        makeRoom(block.corners);
        block.corners.push_back(corners);
        releaseNow(row, file, c);
        if (!nextRow(c, closed)) return closed;
    }
}

// Where a corner's text starts, and its length.
struct CornerText {
    const char* start;
    size_t length;
};

// Whether the `length` bytes at `a` and `b` are the same, when their last eight (if there
// are that many) are: a corner's text is a few words long, too short for a call's cost.
inline bool sameText(const char* a, const char* b, size_t length) {
    if (length < 8) return std::memcmp(a, b, length) == 0;
    for (size_t at = 0; at + 8 < length; at += 8) {
        if (wordAt(a + at) != wordAt(b + at)) return false;
    }
    return true;
}

// The corner at `c` when it is spelled as one of the `count` corners of `previous`, whose
// texts are `spelled`: its numbers are then theirs.
template <size_t N, class Record>
bool repeatsCorner(Cursor& c, const CornerText* spelled, const Record& previous, size_t count,
                   std::array<double, N>& value) {
    const size_t left = size_t(c.end - c.p);
    for (size_t j = 0; j < count; ++j) {
        // Most texts that differ end elsewhere, or differ in their last digits.
        const size_t length = spelled[j].length;
        if (length > left || c.p[length - 1] != ']' ||
            (length >= 8 && wordAt(c.p + length - 8) != wordAt(spelled[j].start + length - 8))) {
            continue;
        }
        if (sameText(c.p, spelled[j].start, length)) {
            value = previous.corners[j];
            c.p += spelled[j].length;
            return true;
        }
    }
    return false;
}

// Entries of 3 or 4 corners of N numbers; a triangle's fourth corner repeats its third.
// Neighbouring polygons share most of their corners' vertices, so a corner spelled as one
// of the previous entry's takes its numbers instead of reading them again.
template <size_t N, class Record>
bool readCornerLists(Cursor& c, std::vector<Record>& out, std::vector<uint8_t>& corners, FileText* file) {
    bool closed = false;
    CornerText spelled[2][4];
    size_t previousCount = 0;
    for (size_t row = 0;; ++row) {
        if (!take(c, '[')) return false;
        // Written in place; the records of a list that is not read whole are dropped with it.
        makeRoom(out);
        Record& record = out.emplace_back();
        const Record& previous = row > 0 ? out[out.size() - 2] : record;
        const CornerText* const previousText = spelled[(row + 1) & 1];
        CornerText* const currentText = spelled[row & 1];
        size_t count = 0;
        do {
            skipBlanks(c);
            if (count == 4 || c.p == c.end || *c.p != '[') return false;
            const char* const start = c.p;
            if (!repeatsCorner<N>(c, previousText, previous, previousCount, record.corners[count])) {
                ++c.p;
                for (size_t k = 0; k < N; ++k) {
                    if ((k > 0 && !take(c, ',')) || !readReal(c, record.corners[count][k])) return false;
                }
                if (!take(c, ']')) return false;
            }
            currentText[count] = CornerText{start, size_t(c.p - start)};
            ++count;
        } while (take(c, ','));
        if (count < 3 || !take(c, ']')) return false;
        previousCount = count;
        if (count == 3) record.corners[3] = record.corners[2];
        makeRoom(corners);
        corners.push_back(static_cast<uint8_t>(count));
        releaseNow(row, file, c);
        if (!nextRow(c, closed)) return closed;
    }
}

// True when the array at `p` closes within kShortArray bytes, or holds a string.
bool isShortArray(const char* p, const char* end) {
    const char* const stop = p + std::min(kShortArray, end - p);
    int depth = 0;
    for (; p < stop; ++p) {
        if (*p == '[') {
            ++depth;
        } else if (*p == ']') {
            if (--depth == 0) return true;
        } else if (*p == '"') {
            return true;
        }
    }
    return false;
}

bool kindOfKey(std::string_view key, RowKind& kind) {
    if (key == "points") kind = RowKind::Points;
    else if (key == "polygons") kind = RowKind::Polygons;
    else if (key == "uvw") kind = RowKind::Uvw;
    else if (key == "normals") kind = RowKind::Normals;
    else return false;
    return true;
}

// The array at `c` (after its "["), read into `block` when it has the usual shape. The
// records are sized ahead where the arrays read before tell their length: a list per
// corner has one entry per polygon, and a closed mesh of triangles twice as many polygons
// as points.
bool readArray(Cursor& c, RowBlock& block, size_t lastPoints, size_t lastPolygons, FileText* file) {
    switch (block.kind) {
        case RowKind::Points: return readPoints(c, block, file);
        case RowKind::Polygons:
            reserveLarge(block.polygons, 2 * lastPoints);
            reserveLarge(block.corners, 2 * lastPoints);
            return readPolygons(c, block, file);
        case RowKind::Uvw:
            reserveLarge(block.uvw, lastPolygons);
            reserveLarge(block.corners, lastPolygons);
            return readCornerLists<2>(c, block.uvw, block.corners, file);
        case RowKind::Normals:
            reserveLarge(block.normals, lastPolygons);
            reserveLarge(block.corners, lastPolygons);
            return readCornerLists<3>(c, block.normals, block.corners, file);
    }
    return false;
}

}  // namespace

bool splitRows(const char* json, size_t length, size_t padding, FileText* file, SplitText& out) {
    out = SplitText{};
    const char* const end = json + length;
    const char* copied = json;  // the text before it is in out.rest, or stands there as "[]"
    const auto keep = [&](const char* upTo) { out.rest.insert(out.rest.end(), copied, upTo); };
    // Only an array that is the value of a key is read: the scanner keeps what came last.
    enum class After { Other, String, Colon } after = After::Other;
    std::string_view lastString, key;
    size_t lastPoints = 0, lastPolygons = 0;  // the lengths of the last such arrays read
    const char* released = json;
    size_t readAhead = 0;  // the bytes of the arrays read
    const char* const probeAt = json + std::min(length, kProbeLength);
    const char* p = json;
    while (p < end) {
        if (p >= probeAt && readAhead < size_t(p - json) / 2) break;
        const char ch = *p;
        if (isBlank(ch)) {
            Cursor blanks{p, end};
            skipBlanks(blanks);
            p = blanks.p;
            continue;
        }
        if (ch == '"') {
            const char* q = p + 1;
            while (q < end && *q != '"') q += *q == '\\' ? 2 : 1;
            q = std::min(q, end);
            lastString = std::string_view(p + 1, size_t(q - p - 1));
            after = After::String;
            p = q + 1;
            continue;
        }
        if (ch == ':' && after == After::String) {
            key = lastString;
            after = After::Colon;
            ++p;
            continue;
        }
        RowKind kind;
        if (ch == '[' && after == After::Colon && kindOfKey(key, kind) && !isShortArray(p, end)) {
            RowBlock block;
            block.kind = kind;
            Cursor c{p + 1, end};
            if (readArray(c, block, lastPoints, lastPolygons, file)) {
                if (block.kind == RowKind::Points) lastPoints = block.points.size();
                if (block.kind == RowKind::Polygons) lastPolygons = block.polygons.size();
                readAhead += size_t(c.p - p);
                keep(p);
                block.at = out.rest.size();
                out.rest.push_back('[');
                out.rest.push_back(']');
                out.blocks.push_back(std::move(block));
                copied = p = c.p;
                if (file && size_t(p - released) >= kReleaseStep) {
                    file->release(p);
                    released = p;
                }
                after = After::Other;
                continue;
            }
        }
        after = After::Other;
        ++p;
    }
    if (p < end) {  // left at the probe
        out = SplitText{};
        return false;
    }
    keep(end);
    // Arrays of another shape, or few in a large text: the copy would cost more than it saves.
    if (out.blocks.empty() || (out.rest.size() > length / 2 && out.rest.size() > kSmallRest)) {
        out = SplitText{};
        return false;
    }
    out.restLength = out.rest.size();
    out.rest.resize(out.restLength + padding, ' ');
    return true;
}

}  // namespace korvo
