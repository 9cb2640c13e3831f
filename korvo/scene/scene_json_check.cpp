// The text is first read by a fast pass of this file's own, which finds the first fault
// and where it lies. A duplicate key, a number beyond a double or a nesting too deep is
// named by that pass; a syntax error is named by nlohmann's SAX parser as the messages
// always have, but the parser reads only from the start of the last string or number
// token before the fault (the text its message quotes begins there), behind a few bytes
// that open the arrays and objects around it, so that a fault at the end of a huge file
// costs one quick pass and not a full parse. Should the parser see that stretch
// otherwise, it reads the whole text again. Its handler keeps no value, only where it is
// (for the path of a duplicate key or an overflowing number) and the keys of each open
// object.
#include "korvo/scene/scene_json_check.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <iterator>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "korvo/scene/json_input.h"
#include "korvo/scene/json_key_set.h"
#include "korvo/scene/scene_json_text.h"

namespace korvo {
namespace {

using Json = nlohmann::json;

// The bytes of the text, from memory or a file, after `leadIn` (bytes that stand for what
// comes before `from`), counting what was read and noting the first NUL byte: the parser
// takes a NUL for the end of the input, so a NUL after the document would otherwise hide
// what follows it.
class ByteStream {
public:
    ByteStream(std::string_view text, std::string leadIn = {}, size_t from = 0)
        : leadIn_(std::move(leadIn)), text_(text.substr(from)) {
        p_ = leadIn_.data();
        end_ = p_ + leadIn_.size();
    }
    // `file` is read from its start; its first `from` bytes are passed over.
    ByteStream(std::FILE* file, std::string leadIn = {}, size_t from = 0)
        : file_(file), buffer_(size_t(1) << 16), leadIn_(std::move(leadIn)) {
        std::rewind(file_);
        while (from > 0) {
            const size_t count = std::fread(buffer_.data(), 1, std::min(from, buffer_.size()), file_);
            if (count == 0) break;
            from -= count;
        }
        if (std::ferror(file_)) throw ReadFailure{errno};
        p_ = leadIn_.data();
        end_ = p_ + leadIn_.size();
    }

    bool exhausted() {
        if (p_ < end_) return false;
        if (!inText_) {
            inText_ = true;
            p_ = text_.data();
            end_ = p_ + text_.size();
            if (p_ < end_) return false;
        }
        if (!file_) return true;
        const size_t count = std::fread(buffer_.data(), 1, buffer_.size(), file_);
        if (count == 0) {
            if (std::ferror(file_)) throw ReadFailure{errno};
            return true;
        }
        p_ = buffer_.data();
        end_ = p_ + count;
        return false;
    }
    // Its bytes are read through pointers into itself.
    ByteStream(const ByteStream&) = delete;
    ByteStream& operator=(const ByteStream&) = delete;

    char current() const { return *p_; }
    void advance() {
        if (*p_ == '\0' && firstNul_ < 0) firstNul_ = int64_t(read_);
        ++p_;
        ++read_;
    }
    size_t read() const { return read_; }
    int64_t firstNul() const { return firstNul_; }

private:
    std::FILE* file_ = nullptr;
    std::vector<char> buffer_;
    std::string leadIn_;
    std::string_view text_;
    bool inText_ = false;
    const char* p_;
    const char* end_;
    size_t read_ = 0;
    int64_t firstNul_ = -1;
};

// An input iterator over a ByteStream, as the parser takes its input; the default one is the end.
class ByteIterator {
public:
    using iterator_category = std::input_iterator_tag;
    using value_type = char;
    using difference_type = std::ptrdiff_t;
    using pointer = const char*;
    using reference = char;

    ByteIterator() = default;
    explicit ByteIterator(ByteStream& stream) : stream_(&stream) {}
    char operator*() const { return stream_->current(); }
    ByteIterator& operator++() {
        stream_->advance();
        return *this;
    }
    bool operator==(const ByteIterator& other) const { return atEnd() == other.atEnd(); }
    bool operator!=(const ByteIterator& other) const { return !(*this == other); }

private:
    bool atEnd() const { return !stream_ || stream_->exhausted(); }
    ByteStream* stream_ = nullptr;
};

// Line and column (1-based, the column in characters) of byte `index`, read from the text again.
class Position {
public:
    explicit Position(size_t index) : index_(index) {}
    void count(const char* bytes, size_t size) {
        const char* p = bytes;
        const char* const end = bytes + std::min(size, index_ - at_);
        at_ += size_t(end - bytes);
        while (const void* newline = std::memchr(p, '\n', size_t(end - p))) {
            ++line_;
            column_ = 1;
            p = static_cast<const char*>(newline) + 1;
        }
        for (; p < end; ++p) {
            if ((static_cast<unsigned char>(*p) & 0xC0) != 0x80) ++column_;
        }
    }
    std::string text() const { return "line " + std::to_string(line_) + ", column " + std::to_string(column_); }

private:
    size_t index_;
    size_t at_ = 0;
    size_t line_ = 1;
    size_t column_ = 1;
};

// nlohmann's message without its own prefix and position, e.g. "syntax error while
// parsing value - invalid literal; last read: 'x'".
std::string parserReason(const char* what) {
    const std::string_view text(what);
    const size_t column = text.find("column ");
    const size_t colon = column == std::string_view::npos ? column : text.find(": ", column);
    if (colon == std::string_view::npos) return std::string(text);
    return std::string(text.substr(colon + 2));
}

// The first fault, found while the parser reads: either at a path or at a byte.
struct Fault {
    bool found = false;
    bool atByte = false;
    size_t bytesRead = 0;  // atByte: the fault is at the byte before this count
    std::string path;
    std::string what;
};

class CheckingSax {
public:
    explicit CheckingSax(const ByteStream& stream) : stream_(stream) {}

    bool null() { return value(); }
    bool boolean(bool) { return value(); }
    bool number_integer(Json::number_integer_t) { return value(); }
    bool number_unsigned(Json::number_unsigned_t) { return value(); }
    bool number_float(Json::number_float_t, const Json::string_t&) { return value(); }
    bool string(Json::string_t&) { return value(); }
    bool binary(Json::binary_t&) { return value(); }

    bool start_object(std::size_t) { return enter(true); }
    bool key(Json::string_t& name) {
        Level& level = levels_[depth_ - 1];
        if (!level.keys.insert(name)) {
            fault_ = Fault{true, false, 0, pathOf(depth_ - 1), "duplicate key " + jsonString(name)};
            return false;
        }
        level.key = name;
        return true;
    }
    bool end_object() { return leave(); }
    bool start_array(std::size_t) { return enter(false); }
    bool end_array() { return leave(); }

    template <class Exception>
    bool parse_error(std::size_t bytesRead, const std::string& lastToken, const Exception& ex) {
        if (ex.id == 406) {  // number overflow: named like any other out-of-range number
            fault_ = Fault{true, false, 0, pathOf(depth_), "number " + lastToken + " is beyond the 32-bit float range"};
        } else {
            fault_ = Fault{true, true, bytesRead, "", "malformed JSON: " + parserReason(ex.what())};
        }
        return false;
    }

    const Fault& fault() const { return fault_; }

private:
    struct Level {
        bool isObject = false;
        size_t count = 0;                          // arrays: elements finished so far
        std::string key;                           // objects: the key being read
        KeySet keys;                               // objects: keys seen so far
    };

    bool value() {
        finishElement();
        return true;
    }
    void finishElement() {
        if (depth_ > 0 && !levels_[depth_ - 1].isObject) ++levels_[depth_ - 1].count;
    }
    bool enter(bool isObject) {
        if (depth_ == kMaxJsonNesting) {
            fault_ = Fault{true, true, stream_.read(), "",
                           "arrays and objects are nested deeper than " + std::to_string(kMaxJsonNesting) + " levels"};
            return false;
        }
        if (levels_.size() == depth_) levels_.emplace_back();
        Level& level = levels_[depth_++];
        level.isObject = isObject;
        level.count = 0;
        level.key.clear();
        level.keys.clear();
        return true;
    }
    bool leave() {
        --depth_;
        finishElement();
        return true;
    }
    std::string pathOf(size_t levels) const {
        std::vector<PathStep> steps;
        steps.reserve(levels);
        for (size_t i = 0; i < levels; ++i) {
            const Level& level = levels_[i];
            steps.push_back(level.isObject ? PathStep{level.key, 0, false} : PathStep{{}, level.count, true});
        }
        return pathText(steps);
    }

    const ByteStream& stream_;
    std::vector<Level> levels_;
    size_t depth_ = 0;
    Fault fault_;
};

// The parser's first fault in `stream`, or none.
Fault parseFault(ByteStream& stream) {
    CheckingSax sax(stream);
    if (!Json::sax_parse(ByteIterator(stream), ByteIterator(), &sax)) return sax.fault();
    if (stream.firstNul() >= 0) {
        return Fault{true, true, size_t(stream.firstNul()) + 1, "", "malformed JSON: bytes after the end of the document"};
    }
    return Fault{};
}

// The message of `fault`; `reread` feeds the text again to Position for a fault at a byte.
template <class Reread>
std::string messageOf(const Fault& fault, const std::string& fileLabel, Reread reread) {
    if (!fault.found) return "";
    if (!fault.atByte) return fileLabel + ": " + (fault.path.empty() ? "top level" : fault.path) + ": " + fault.what;
    Position position(fault.bytesRead > 0 ? fault.bytesRead - 1 : 0);
    reread(position);
    return fileLabel + ": " + position.text() + ": " + fault.what;
}

// What the fast pass found: a fault it names itself, or a syntax error for the parser to
// name from `resumeAt` on, behind `leadIn`.
struct Located {
    Fault fault;
    bool syntax = false;
    size_t resumeAt = 0;
    std::string leadIn;
};

// The parser's state where a string or number token begins, as the bytes that lead it
// there from the start; each enclosing array adds "[" before them, each enclosing object
// "{\"\":".
constexpr std::string_view kDocument = "";
constexpr std::string_view kElement = "[";
constexpr std::string_view kKey = "{";
constexpr std::string_view kMember = "{\"\":";

// Reads the JSON through as the parser does and stops at its first fault. The parser's
// message for a syntax error quotes the text from the start of the last string or number
// token, so that token's start is where the parser resumes.
Located locate(JsonInput& in) {
    struct Level {
        bool isObject = false;
        size_t count = 0;  // arrays: elements before the current one
        std::string key;   // objects: the key of the current member
        KeySet keys;
    };
    std::vector<Level> levels;
    size_t depth = 0;
    std::string_view state = kDocument;  // where a token would begin in the innermost level
    std::string text;                    // a string value
    Located found;
    // The enclosing levels at the last mark: those below `unchangedBelow` are still the
    // same, so that a mark copies only the levels entered since the one before.
    std::vector<char> markedIsObject;
    size_t markedDepth = 0, unchangedBelow = 0;
    std::string_view markedState = kDocument;
    const auto markToken = [&] {
        found.resumeAt = in.offset();
        markedState = state;
        if (markedIsObject.size() < depth) markedIsObject.resize(levels.size());
        for (size_t i = unchangedBelow; i < depth; ++i) markedIsObject[i] = levels[i].isObject;
        markedDepth = unchangedBelow = depth;
    };
    const auto pathOf = [&](size_t count) {
        std::vector<PathStep> steps;
        steps.reserve(count);
        for (size_t i = 0; i < count; ++i) {
            const Level& level = levels[i];
            steps.push_back(level.isObject ? PathStep{level.key, 0, false} : PathStep{{}, level.count, true});
        }
        return pathText(steps);
    };
    // The key of a member and its colon; false at a repeated key.
    const auto readKey = [&] {
        Level& level = levels[depth - 1];
        if (in.peek() == '"') markToken();
        in.readString(level.key);
        if (!level.keys.insert(level.key)) {
            found.fault = Fault{true, false, 0, pathOf(depth - 1), "duplicate key " + jsonString(level.key)};
            return false;
        }
        in.expect(':');
        state = kMember;
        return true;
    };
    try {
        for (;;) {
            // A value is expected.
            const int c = in.peek();
            size_t lastNumberAt;
            if (c == '[' && depth < kMaxJsonNesting && in.skipNumbers(lastNumberAt)) {
                // A row of numbers, as points and polygons are: marked at its last number.
                if (levels.size() == depth) levels.emplace_back();
                levels[depth].isObject = false;
                ++depth;
                state = kElement;
                markToken();
                found.resumeAt = lastNumberAt;
                --depth;
            } else if (c == '{' || c == '[') {
                if (depth == kMaxJsonNesting) {
                    found.fault = Fault{true, true, in.offset() + 1, "",
                                        "arrays and objects are nested deeper than " + std::to_string(kMaxJsonNesting) +
                                            " levels"};
                    return found;
                }
                in.take();
                if (levels.size() == depth) levels.emplace_back();
                Level& level = levels[depth++];
                level.isObject = c == '{';
                level.count = 0;
                level.keys.clear();
                state = level.isObject ? kKey : kElement;
                if (in.peek() != (level.isObject ? '}' : ']')) {
                    if (level.isObject && !readKey()) return found;
                    continue;
                }
                in.take();
                --depth;
            } else if (c == '"') {
                markToken();
                in.readString(text);
            } else if (c == '-' || (c >= '0' && c <= '9')) {
                markToken();
                in.skipNumber();
            } else if (c == 't') {
                in.readLiteral("true");
            } else if (c == 'f') {
                in.readLiteral("false");
            } else if (c == 'n') {
                in.readLiteral("null");
            } else {
                throw MalformedJson{};
            }
            // The value is complete: close what ends here, go on with the next element.
            for (;;) {
                unchangedBelow = std::min(unchangedBelow, depth);
                if (depth == 0) {
                    if (in.peek() != -1) throw MalformedJson{};
                    return found;
                }
                Level& level = levels[depth - 1];
                const int next = in.peek();
                if (next == ',') {
                    in.take();
                    if (!level.isObject) {
                        ++level.count;
                        state = kElement;
                        break;
                    }
                    state = kKey;
                    if (!readKey()) return found;
                    break;
                }
                if (next != (level.isObject ? '}' : ']')) throw MalformedJson{};
                in.take();
                --depth;
            }
        }
    } catch (const NumberOutOfRange& number) {
        found.fault = Fault{true, false, 0, pathOf(depth), "number " + number.text + " is beyond the 32-bit float range"};
        return found;
    } catch (const MalformedJson&) {
        found.syntax = true;
    }
    for (size_t i = 0; i + 1 < markedDepth; ++i) found.leadIn += markedIsObject[i] ? "{\"\":" : "[";
    found.leadIn += markedState;
    return found;
}

// The first fault of the text: `stream(leadIn, from)` gives its bytes from `from` on behind
// `leadIn`, `reread` feeds them to Position.
template <class Stream, class Reread>
std::string faultOf(JsonInput& in, const std::string& fileLabel, Stream stream, Reread reread) {
    const Located located = locate(in);
    if (!located.syntax) return messageOf(located.fault, fileLabel, reread);
    if (located.resumeAt > 0 || !located.leadIn.empty()) {
        ByteStream resumed = stream(located.leadIn, located.resumeAt);
        Fault fault = parseFault(resumed);
        const size_t leadIn = located.leadIn.size();
        if (fault.found && fault.atByte && fault.what.rfind("malformed JSON: ", 0) == 0 && fault.bytesRead > leadIn) {
            fault.bytesRead = fault.bytesRead - leadIn + located.resumeAt;
            return messageOf(fault, fileLabel, reread);
        }
    }
    ByteStream whole = stream(std::string(), 0);
    return messageOf(parseFault(whole), fileLabel, reread);
}

}  // namespace

std::string jsonFault(std::string_view text, const std::string& fileLabel) {
    JsonInput in(text);
    return faultOf(
        in, fileLabel, [text](std::string leadIn, size_t from) { return ByteStream(text, std::move(leadIn), from); },
        [text](Position& position) { position.count(text.data(), text.size()); });
}

std::string jsonFault(std::FILE* file, const std::string& fileLabel) {
    std::rewind(file);
    JsonInput in(file);
    return faultOf(
        in, fileLabel, [file](std::string leadIn, size_t from) { return ByteStream(file, std::move(leadIn), from); },
        [file](Position& position) {
            std::rewind(file);
            std::vector<char> buffer(size_t(1) << 16);
            size_t count;
            while ((count = std::fread(buffer.data(), 1, buffer.size(), file)) > 0) position.count(buffer.data(), count);
        });
}

}  // namespace korvo
