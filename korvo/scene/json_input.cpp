// Strict JSON (RFC 8259) as the checker reads it: strings must be valid UTF-8 without raw
// control characters, numbers follow the JSON grammar, a UTF-8 byte order mark may open
// the text.
#include "korvo/scene/json_input.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace korvo {
namespace {

constexpr size_t kChunk = size_t(1) << 20;

bool isDigit(char c) { return c >= '0' && c <= '9'; }

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

void appendUtf8(std::string& out, uint32_t code) {
    if (code < 0x80) {
        out += char(code);
    } else if (code < 0x800) {
        out += char(0xC0 | (code >> 6));
        out += char(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += char(0xE0 | (code >> 12));
        out += char(0x80 | ((code >> 6) & 0x3F));
        out += char(0x80 | (code & 0x3F));
    } else {
        out += char(0xF0 | (code >> 18));
        out += char(0x80 | ((code >> 12) & 0x3F));
        out += char(0x80 | ((code >> 6) & 0x3F));
        out += char(0x80 | (code & 0x3F));
    }
}

// Eight ASCII digits at `p` as their value, or false when they are not all digits; the
// bytes are read as one little-endian word (x86, for which the host is built).
[[gnu::always_inline]] inline bool eightDigits(const char* p, uint64_t& value) {
    uint64_t word;
    std::memcpy(&word, p, 8);
    if ((((word & 0xF0F0F0F0F0F0F0F0u) | (((word + 0x0606060606060606u) & 0xF0F0F0F0F0F0F0F0u) >> 4))) !=
        0x3333333333333333u) {
        return false;
    }
    word -= 0x3030303030303030u;
    word = word * 10 + (word >> 8);  // pairs of digits
    constexpr uint64_t kMask = 0x000000FF000000FFu;
    constexpr uint64_t kHundredsAndMillions = 100 + (uint64_t(1000000) << 32);
    constexpr uint64_t kOnesAndTenThousands = 1 + (uint64_t(10000) << 32);
    value = (((word & kMask) * kHundredsAndMillions) + (((word >> 16) & kMask) * kOnesAndTenThousands)) >> 32;
    return true;
}

// The first byte from `q` on that is not whitespace, or `end`; the indentation of a
// pretty-printed file is passed eight spaces at a time.
[[gnu::always_inline]] inline const char* afterWhitespace(const char* q, const char* end) {
    constexpr uint64_t kEightSpaces = 0x2020202020202020u;
    for (;;) {
        uint64_t word;
        while (end - q >= 8 && (std::memcpy(&word, q, 8), word == kEightSpaces)) q += 8;
        if (q == end || !(*q == ' ' || *q == '\n' || *q == '\r' || *q == '\t')) return q;
        ++q;
    }
}

// What a scan of a JSON number found: its length, and its digits as one integer with a
// power of ten when there are at most 19 of them.
struct NumberScan {
    size_t length = 0;     // 0: not a number
    bool complete = true;  // false: the number may go on past the bytes available
    bool negative = false;
    bool integerSyntax = true;  // no fraction, no exponent
    bool digitsFit = false;     // at most 19 digits (leading zeros included): `digits` holds them
    uint64_t digits = 0;
    int64_t exponent = 0;  // the value is digits * 10^exponent
};

[[gnu::always_inline]] inline NumberScan scanNumber(const char* s, size_t available) {
    NumberScan scan;
    const char* const end = s + available;
    const char* q = s;
    const auto incomplete = [&] {
        scan.complete = false;
        return scan;
    };
    if (q < end && *q == '-') {
        scan.negative = true;
        ++q;
    }
    if (q == end) return incomplete();
    const char* const first = q;
    uint64_t digits = 0;
    if (*q == '0') {
        ++q;
    } else if (*q >= '1' && *q <= '9') {
        while (q < end && isDigit(*q)) digits = digits * 10 + unsigned(*q++ - '0');
    } else {
        return scan;
    }
    size_t digitCount = size_t(q - first);
    if (q < end && *q == '.') {
        scan.integerSyntax = false;
        const char* const fraction = ++q;
        uint64_t eight;
        while (end - q >= 8 && eightDigits(q, eight)) {
            digits = digits * 100000000 + eight;
            q += 8;
        }
        while (q < end && isDigit(*q)) digits = digits * 10 + unsigned(*q++ - '0');
        if (q == fraction) return q == end ? incomplete() : scan;
        digitCount += size_t(q - fraction);
        scan.exponent = -int64_t(q - fraction);
    }
    if (q < end && (*q == 'e' || *q == 'E')) {
        scan.integerSyntax = false;
        ++q;
        bool negativeExponent = false;
        if (q < end && (*q == '+' || *q == '-')) negativeExponent = *q++ == '-';
        const char* const exponentDigits = q;
        int64_t e = 0;
        while (q < end && isDigit(*q)) {
            if (e < 100000) e = e * 10 + (*q - '0');
            ++q;
        }
        if (q == exponentDigits) return q == end ? incomplete() : scan;
        scan.exponent += negativeExponent ? -e : e;
    }
    if (q == end) scan.complete = false;
    scan.digitsFit = digitCount <= 19;
    scan.digits = digits;
    scan.length = size_t(q - s);
    return scan;
}

// The value of a scan whose digits make an exact double (up to 2^53) and whose power of
// ten is at most 22 either way: both factors are exact, so one operation rounds correctly.
[[gnu::always_inline]] inline bool exactValue(const NumberScan& scan, double& value) {
    static constexpr double kPowers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                         1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    if (!scan.digitsFit || scan.digits > (uint64_t(1) << 53) || scan.exponent < -22 || scan.exponent > 22) {
        return false;
    }
    const double digits = double(scan.digits);
    value = scan.exponent < 0 ? digits / kPowers[-scan.exponent] : digits * kPowers[scan.exponent];
    if (scan.negative) value = -value;
    return true;
}

// An integer token, exact when it fits 64 bits as the checker's JSON reader keeps it:
// negative ones as int64, others as uint64 (held here as the int64 maximum when above it).
bool integerValue(const char* s, const NumberScan& scan, JsonNumber& out) {
    uint64_t magnitude = scan.digits;
    if (!scan.digitsFit) {  // more than 19 digits: exact only while within 64 bits
        magnitude = 0;
        for (size_t i = scan.negative ? 1 : 0; i < scan.length; ++i) {
            if (__builtin_mul_overflow(magnitude, 10u, &magnitude) ||
                __builtin_add_overflow(magnitude, uint64_t(s[i] - '0'), &magnitude)) {
                return false;
            }
        }
    }
    constexpr uint64_t kInt64Max = uint64_t(std::numeric_limits<int64_t>::max());
    if (scan.negative) {
        if (magnitude > kInt64Max + 1) return false;
        out.integer = magnitude == kInt64Max + 1 ? std::numeric_limits<int64_t>::min() : -int64_t(magnitude);
        out.value = double(out.integer);
    } else {
        out.integer = magnitude > kInt64Max ? std::numeric_limits<int64_t>::max() : int64_t(magnitude);
        out.value = double(magnitude);
    }
    out.isInteger = true;
    return true;
}

}  // namespace

JsonInput::JsonInput(std::string_view text)
    : start_(text.data()), p_(text.data()), end_(text.data() + text.size()), atFileEnd_(true) {
    if (text.size() >= 3 && std::memcmp(p_, "\xEF\xBB\xBF", 3) == 0) p_ += 3;
}

JsonInput::JsonInput(std::FILE* file) : file_(file), buffer_(kChunk) {
    start_ = p_ = end_ = buffer_.data();
    if (ensure(3) && std::memcmp(p_, "\xEF\xBB\xBF", 3) == 0) p_ += 3;
}

// Moves the bytes not yet taken to the front and reads more after them; the buffer
// grows only for a token longer than it.
bool JsonInput::refill() {
    if (atFileEnd_) return false;
    const size_t kept = size_t(end_ - p_);
    dropped_ += size_t(p_ - start_);
    if (kept + kChunk / 2 > buffer_.size()) {
        std::vector<char> larger(buffer_.size() * 2);
        std::memcpy(larger.data(), p_, kept);
        buffer_.swap(larger);
    } else if (kept > 0 && p_ != buffer_.data()) {
        std::memmove(buffer_.data(), p_, kept);
    }
    start_ = p_ = buffer_.data();
    end_ = p_ + kept;
    const size_t count = std::fread(buffer_.data() + kept, 1, buffer_.size() - kept, file_);
    if (count == 0) {
        if (std::ferror(file_)) throw ReadFailure{errno};
        atFileEnd_ = true;
        return false;
    }
    end_ += count;
    return true;
}

bool JsonInput::ensure(size_t count) {
    while (size_t(end_ - p_) < count) {
        if (!refill()) return false;
    }
    return true;
}

void JsonInput::skipWhitespace() {
    for (;;) {
        p_ = afterWhitespace(p_, end_);
        if (p_ < end_ || !refill()) return;
    }
}

int JsonInput::peekAfterWhitespace() {
    skipWhitespace();
    return p_ < end_ ? static_cast<unsigned char>(*p_) : -1;
}

void JsonInput::expect(char c) {
    if (peek() != static_cast<unsigned char>(c)) throw MalformedJson{};
    ++p_;
}

void JsonInput::readLiteral(std::string_view word) {
    if (!ensure(word.size()) || std::memcmp(p_, word.data(), word.size()) != 0) throw MalformedJson{};
    p_ += word.size();
}

namespace {

enum class NumberFault { None, Malformed, OutOfRange };

// The value of the complete number token `s` that `scan` describes.
[[gnu::always_inline]] inline NumberFault numberValue(const char* s, const NumberScan& scan, JsonNumber& number) {
    number = JsonNumber{};
    if (scan.integerSyntax && integerValue(s, scan, number)) return NumberFault::None;
    if (!scan.integerSyntax && exactValue(scan, number.value)) return NumberFault::None;
    const size_t length = scan.length;
    const auto result = std::from_chars(s, s + length, number.value);
    if (result.ec == std::errc::result_out_of_range) {
        // Below the smallest double it is 0, as strtod gives; beyond the largest it is refused.
        const std::string text(s, length);
        number.value = std::strtod(text.c_str(), nullptr);
        return std::isfinite(number.value) ? NumberFault::None : NumberFault::OutOfRange;
    }
    return result.ec == std::errc() && result.ptr == s + length ? NumberFault::None : NumberFault::Malformed;
}

// Scans the number at `p`, asking `ensure` for more bytes while it may go on past `end`
// (which moves both); a text that is no number is malformed.
template <class Ensure>
NumberScan scanWholeNumber(const char* const& p, const char* const& end, Ensure ensure) {
    NumberScan scan;
    for (;;) {
        const size_t available = size_t(end - p);
        scan = scanNumber(p, available);
        if (scan.complete || !ensure(available + 1)) break;
    }
    if (scan.length == 0) throw MalformedJson{};
    return scan;
}

}  // namespace

JsonNumber JsonInput::readNumber() {
    const NumberScan scan = scanWholeNumber(p_, end_, [this](size_t count) { return ensure(count); });
    JsonNumber number;
    const NumberFault fault = numberValue(p_, scan, number);
    if (fault == NumberFault::OutOfRange) {
        NumberOutOfRange outOfRange;
        outOfRange.text.assign(p_, scan.length);
        throw outOfRange;
    }
    if (fault != NumberFault::None) throw MalformedJson{};
    p_ += scan.length;
    return number;
}

void JsonInput::skipNumber() {
    const NumberScan scan = scanWholeNumber(p_, end_, [this](size_t count) { return ensure(count); });
    // Below 10^300 by its digits and exponent alone, a number needs no value to be known finite.
    if (int64_t(scan.length) + scan.exponent >= 300) {
        readNumber();
        return;
    }
    p_ += scan.length;
}

size_t JsonInput::readNumbers(JsonNumber* out, size_t least, size_t most) {
    // A row is short: it is read only where it lies whole in the buffer, so that nothing
    // is taken when it turns out to be something else.
    constexpr size_t kLongestRow = 512;
    if (size_t(end_ - p_) < kLongestRow && !atFileEnd_) refill();
    const char* q = p_;
    const char* const end = end_;
    const auto skipBlanks = [&] { q = afterWhitespace(q, end); };
    skipBlanks();
    if (q == end || *q != '[') return 0;
    ++q;
    size_t count = 0;
    for (;;) {
        skipBlanks();
        if (count == most || q == end || !(*q == '-' || isDigit(*q))) return 0;
        const NumberScan scan = scanNumber(q, size_t(end - q));
        if (scan.length == 0 || !scan.complete || numberValue(q, scan, out[count]) != NumberFault::None) return 0;
        q += scan.length;
        ++count;
        skipBlanks();
        if (q == end) return 0;
        if (*q == ']') break;
        if (*q != ',') return 0;
        ++q;
    }
    if (count < least) return 0;
    p_ = q + 1;
    return count;
}

bool JsonInput::skipNumbers(size_t& lastNumberAt) {
    constexpr size_t kLongestRow = 512, kMostNumbers = 16;
    if (size_t(end_ - p_) < kLongestRow && !atFileEnd_) refill();
    const char* q = afterWhitespace(p_, end_);
    const char* const end = end_;
    if (q == end || *q != '[') return false;
    ++q;
    const char* last = nullptr;
    for (size_t count = 0;; ++count) {
        q = afterWhitespace(q, end);
        if (count == kMostNumbers || q == end || !(*q == '-' || isDigit(*q))) return false;
        const NumberScan scan = scanNumber(q, size_t(end - q));
        // One that may be beyond a double is left to readNumber.
        if (scan.length == 0 || !scan.complete || int64_t(scan.length) + scan.exponent >= 300) return false;
        last = q;
        q = afterWhitespace(q + scan.length, end);
        if (q == end) return false;
        if (*q == ']') break;
        if (*q != ',') return false;
        ++q;
    }
    lastNumberAt = dropped_ + size_t(last - start_);
    p_ = q + 1;
    return true;
}

uint32_t JsonInput::readHex4() {
    if (!ensure(4)) throw MalformedJson{};
    uint32_t code = 0;
    for (int i = 0; i < 4; ++i) {
        const int digit = hexValue(p_[i]);
        if (digit < 0) throw MalformedJson{};
        code = code * 16 + uint32_t(digit);
    }
    p_ += 4;
    return code;
}

// After the backslash.
void JsonInput::appendEscape(std::string& out) {
    if (!ensure(1)) throw MalformedJson{};
    const char c = *p_++;
    switch (c) {
        case '"': out += '"'; return;
        case '\\': out += '\\'; return;
        case '/': out += '/'; return;
        case 'b': out += '\b'; return;
        case 'f': out += '\f'; return;
        case 'n': out += '\n'; return;
        case 'r': out += '\r'; return;
        case 't': out += '\t'; return;
        case 'u': break;
        default: throw MalformedJson{};
    }
    uint32_t code = readHex4();
    if (code >= 0xDC00 && code <= 0xDFFF) throw MalformedJson{};
    if (code >= 0xD800 && code <= 0xDBFF) {
        if (!ensure(2) || p_[0] != '\\' || p_[1] != 'u') throw MalformedJson{};
        p_ += 2;
        const uint32_t low = readHex4();
        if (low < 0xDC00 || low > 0xDFFF) throw MalformedJson{};
        code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
    }
    appendUtf8(out, code);
}

// One UTF-8 sequence of two to four bytes, checked as RFC 3629 defines it.
void JsonInput::appendMultibyte(std::string& out) {
    ensure(4);
    const auto byte = [&](size_t i) { return i < size_t(end_ - p_) ? static_cast<unsigned char>(p_[i]) : 0u; };
    const unsigned lead = byte(0);
    size_t length = 0;
    unsigned low = 0x80, high = 0xBF;  // the range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    } else {
        throw MalformedJson{};
    }
    if (byte(1) < low || byte(1) > high) throw MalformedJson{};
    for (size_t i = 2; i < length; ++i) {
        if (byte(i) < 0x80 || byte(i) > 0xBF) throw MalformedJson{};
    }
    out.append(p_, length);
    p_ += length;
}

void JsonInput::readString(std::string& out) {
    out.clear();
    expect('"');
    for (;;) {
        const char* start = p_;
        while (p_ < end_) {
            const unsigned char c = static_cast<unsigned char>(*p_);
            if (c < 0x20 || c >= 0x80 || c == '"' || c == '\\') break;
            ++p_;
        }
        out.append(start, p_);
        if (p_ == end_) {
            if (!refill()) throw MalformedJson{};
            continue;
        }
        const unsigned char c = static_cast<unsigned char>(*p_);
        if (c == '"') {
            ++p_;
            return;
        }
        if (c == '\\') {
            ++p_;
            appendEscape(out);
        } else if (c >= 0x80) {
            appendMultibyte(out);
        } else {
            throw MalformedJson{};  // a raw control character
        }
    }
}

void JsonInput::skipValue() {
    std::vector<char> open;  // the closing bracket of each container entered
    std::string key;
    const auto readKey = [&] {
        readString(key);
        expect(':');
    };
    for (;;) {
        const int c = peek();
        if (c == '{' || c == '[') {
            if (open.size() >= kMaxJsonNesting) throw MalformedJson{};
            take();
            const char close = c == '{' ? '}' : ']';
            if (peek() == close) {
                take();
            } else {
                open.push_back(close);
                if (close == '}') readKey();
                continue;
            }
        } else if (c == '"') {
            readString(key);
        } else if (c == '-' || (c >= '0' && c <= '9')) {
            skipNumber();
        } else if (c == 't') {
            readLiteral("true");
        } else if (c == 'f') {
            readLiteral("false");
        } else if (c == 'n') {
            readLiteral("null");
        } else {
            throw MalformedJson{};
        }
        // The value is complete: close what ends here, go on with the next element.
        for (;;) {
            if (open.empty()) return;
            if (!another(open.back())) {
                open.pop_back();
                continue;
            }
            if (open.back() == '}') readKey();
            break;
        }
    }
}

}  // namespace korvo
