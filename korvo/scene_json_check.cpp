// The text is first read by the scene reader's own JSON reader, which finds whether there
// is a fault; only then does nlohmann's SAX parser read it again to name the fault as the
// messages always have. Its handler keeps no value, only where it is (for the path of a
// duplicate key or an overflowing number) and the keys of each open object.
#include "korvo/scene_json_check.h"

#include <cerrno>
#include <cstring>
#include <iterator>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "korvo/json_input.h"
#include "korvo/json_key_set.h"
#include "korvo/scene_json_text.h"

namespace korvo {
namespace {

using Json = nlohmann::json;

// The bytes of the text, from memory or a file, counting what was read and noting the
// first NUL byte: the parser takes a NUL for the end of the input, so a NUL after the
// document would otherwise hide what follows it.
class ByteStream {
public:
    explicit ByteStream(std::string_view text) : p_(text.data()), end_(text.data() + text.size()) {}
    explicit ByteStream(std::FILE* file) : file_(file), buffer_(size_t(1) << 16) { p_ = end_ = buffer_.data(); }

    bool exhausted() {
        if (p_ < end_) return false;
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
    void count(const char* bytes, size_t size) {
        for (size_t i = 0; i < size && at_ < index_; ++i, ++at_) {
            if (bytes[i] == '\n') {
                ++line_;
                column_ = 1;
            } else if ((static_cast<unsigned char>(bytes[i]) & 0xC0) != 0x80) {
                ++column_;
            }
        }
    }
    explicit Position(size_t index) : index_(index) {}
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

// Reads the stream through; `reread` feeds the text again to Position for a fault at a byte.
template <class Reread>
std::string faultOf(ByteStream& stream, const std::string& fileLabel, Reread reread) {
    CheckingSax sax(stream);
    Fault fault;
    if (!Json::sax_parse(ByteIterator(stream), ByteIterator(), &sax)) {
        fault = sax.fault();
    } else if (stream.firstNul() >= 0) {
        fault = Fault{true, true, size_t(stream.firstNul()) + 1, "", "malformed JSON: bytes after the end of the document"};
    }
    if (!fault.found) return "";
    if (!fault.atByte) return fileLabel + ": " + (fault.path.empty() ? "top level" : fault.path) + ": " + fault.what;
    Position position(fault.bytesRead > 0 ? fault.bytesRead - 1 : 0);
    reread(position);
    return fileLabel + ": " + position.text() + ": " + fault.what;
}

// True when the JSON has none of the faults named here.
bool isSound(JsonInput& in) {
    try {
        in.skipValue(true);
        return in.peek() == -1;
    } catch (const MalformedJson&) {
        return false;
    }
}

}  // namespace

std::string jsonFault(std::string_view text, const std::string& fileLabel) {
    JsonInput in(text);
    if (isSound(in)) return "";
    ByteStream stream(text);
    return faultOf(stream, fileLabel, [text](Position& position) { position.count(text.data(), text.size()); });
}

std::string jsonFault(std::FILE* file, const std::string& fileLabel) {
    std::rewind(file);
    {
        JsonInput in(file);
        if (isSound(in)) return "";
    }
    std::rewind(file);
    ByteStream stream(file);
    return faultOf(stream, fileLabel, [file](Position& position) {
        std::rewind(file);
        std::vector<char> buffer(size_t(1) << 16);
        size_t count;
        while ((count = std::fread(buffer.data(), 1, buffer.size(), file)) > 0) position.count(buffer.data(), count);
    });
}

}  // namespace korvo
