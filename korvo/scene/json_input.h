// The bytes of a JSON text read token by token, from memory or from a file in chunks,
// so that a scene file is never held whole. The scene reader drives it; anything that
// is not JSON (or a nesting deeper than kMaxJsonNesting) throws MalformedJson, and the
// refusal's message comes from the JSON checker (scene_json_check.h), which reads the
// text again to name the fault and its place.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace korvo {

// Arrays and objects nested deeper than this are refused: no scene needs more than
// about two levels per object level, and objects nest at most a thousand deep.
constexpr size_t kMaxJsonNesting = 10000;

struct MalformedJson {};
// A number written correctly whose value is beyond the largest double; `text` is its token.
struct NumberOutOfRange : MalformedJson {
    std::string text;
};

// The file could not be read; `error` is the errno value.
struct ReadFailure {
    int error;
};

// Left uninitialised by default, as the scene reader keeps arrays of them on its hot path;
// readNumber sets every member.
struct JsonNumber {
    double value;     // correctly rounded; an integer written "-0" is +0
    bool isInteger;   // no fraction or exponent, and within 64 bits
    int64_t integer;  // when isInteger (otherwise 0); values above the int64 range are held as its maximum
};

class JsonInput {
public:
    explicit JsonInput(std::string_view text);
    // Reads `file` in chunks as they are needed; the caller closes it.
    explicit JsonInput(std::FILE* file);

    // Skips whitespace and returns the next byte without taking it, or -1 at the end.
    int peek() {
        if (p_ < end_ && static_cast<unsigned char>(*p_) > ' ') return static_cast<unsigned char>(*p_);
        return peekAfterWhitespace();
    }
    // Takes the byte `peek` returned.
    void take() { ++p_; }
    // Skips whitespace and takes `c`.
    void expect(char c);
    // After an element of an array or object closed by `close`: true when a ',' follows
    // (taken), false when `close` does (taken).
    bool another(char close) {
        const int c = peek();
        if (c == ',' || c == static_cast<unsigned char>(close)) {
            ++p_;
            return c == ',';
        }
        throw MalformedJson{};
    }

    // The string at the next '"', unescaped, as UTF-8 (checked).
    void readString(std::string& out);
    // The number at the next '-' or digit.
    JsonNumber readNumber();
    // The same without its value; beyond a double it throws NumberOutOfRange as readNumber does.
    void skipNumber();
    // An array of 1 to 16 numbers passed over in one pass, with the offset of its last
    // number's first byte; false with nothing taken when the next value is anything else
    // (or a number that may be beyond a double).
    bool skipNumbers(size_t& lastNumberAt);
    // The common shape of points, corners and polygons: an array of `least` to `most`
    // numbers, read in one pass into `out`. Returns their count, or 0 with nothing taken
    // when the next value is anything else (then read it with the calls above).
    size_t readNumbers(JsonNumber* out, size_t least, size_t most);
    // `word` ("true", "false", "null") at the next byte.
    void readLiteral(std::string_view word);
    // Skips the next value, whatever it is, without recursion.
    void skipValue();

    // The count of bytes taken so far from the start of the text (a byte order mark included).
    size_t offset() const { return dropped_ + size_t(p_ - start_); }

private:
    bool refill();
    bool ensure(size_t count);
    void skipWhitespace();
    int peekAfterWhitespace();
    uint32_t readHex4();
    void appendEscape(std::string& out);
    void appendMultibyte(std::string& out);

    std::FILE* file_ = nullptr;
    std::vector<char> buffer_;
    const char* start_ = nullptr;  // where the bytes in memory begin
    size_t dropped_ = 0;           // bytes before start_, moved out of the buffer
    const char* p_ = nullptr;
    const char* end_ = nullptr;
    bool atFileEnd_ = false;
};

}  // namespace korvo
