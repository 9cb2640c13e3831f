// Two passes over a refused text find its first fault of the JSON. A byte scan finds what
// simdjson names without a place, or cannot walk past: invalid UTF-8, a control character
// or an unclosed string, nesting too deep, bytes after the end, a document that ends
// inside an array or object. A walk with simdjson's On-Demand API through every value,
// up to that byte if the scan found one, finds syntax errors, duplicate keys and numbers
// beyond a double; its fault counts when it comes first.
#include "korvo/scene/scene_json_check.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "korvo/scene/json_key_set.h"
#include "korvo/scene/scene_json_text.h"

namespace korvo {
namespace {

namespace ondemand = simdjson::ondemand;

constexpr size_t kNowhere = ~size_t(0);

struct Fault {
    size_t offset = kNowhere;  // kNowhere: none found
    bool hasPath = false;      // a fault of a value, named by its path too
    std::string path;
    std::string what;
};

bool isWhitespace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }
bool endsToken(char c) { return isWhitespace(c) || c == ',' || c == ':' || c == ']' || c == '}' || c == '[' || c == '{'; }

// The length of the UTF-8 sequence at `i`, or 0 when it is not one.
size_t utf8Length(std::string_view t, size_t i) {
    const auto byte = [&](size_t k) { return i + k < t.size() ? static_cast<unsigned char>(t[i + k]) : 0u; };
    const auto continues = [&](size_t k) { return (byte(k) & 0xC0) == 0x80; };
    const unsigned lead = byte(0);
    if (lead < 0x80) return 1;
    if (lead >= 0xC2 && lead <= 0xDF) return continues(1) ? 2 : 0;
    if (lead >= 0xE0 && lead <= 0xEF) {
        const unsigned low = lead == 0xE0 ? 0xA0 : 0x80, high = lead == 0xED ? 0x9F : 0xBF;
        return byte(1) >= low && byte(1) <= high && continues(2) ? 3 : 0;
    }
    if (lead >= 0xF0 && lead <= 0xF4) {
        const unsigned low = lead == 0xF0 ? 0x90 : 0x80, high = lead == 0xF4 ? 0x8F : 0xBF;
        return byte(1) >= low && byte(1) <= high && continues(2) && continues(3) ? 4 : 0;
    }
    return 0;
}

// The faults a byte scan finds, with the first: strings and their bytes, nesting, the end.
Fault scanBytes(std::string_view t) {
    const auto fault = [](size_t at, std::string what) { return Fault{at, false, "", "malformed JSON: " + what}; };
    size_t depth = 0;
    bool rootEnded = false, rootSeen = false;
    for (size_t i = 0; i < t.size();) {
        const char c = t[i];
        if (isWhitespace(c)) {
            ++i;
            continue;
        }
        if (rootEnded) return fault(i, "bytes after the end of the document");
        rootSeen = true;
        if (c == '"') {
            const size_t start = i++;
            for (;;) {
                if (i >= t.size()) return fault(start, "a string is not closed");
                const auto b = static_cast<unsigned char>(t[i]);
                if (b == '"') break;
                if (b == '\\') {
                    i += 2;
                } else if (b < 0x20) {
                    return fault(i, "a control character in a string (it must be written escaped)");
                } else if (const size_t length = utf8Length(t, i)) {
                    i += length;
                } else {
                    return fault(i, "invalid UTF-8");
                }
            }
            ++i;
            rootEnded = depth == 0;
        } else if (c == '[' || c == '{') {
            if (depth == kMaxJsonNesting) {
                return Fault{i, false, "",
                             "arrays and objects are nested deeper than " + std::to_string(kMaxJsonNesting) + " levels"};
            }
            ++depth;
            ++i;
        } else if (c == ']' || c == '}') {
            if (depth == 0) return fault(i, std::string("unexpected '") + c + "'");
            rootEnded = --depth == 0;
            ++i;
        } else if (const size_t length = utf8Length(t, i)) {
            i += length;
            // A number or literal at the top is the whole document.
            if (depth == 0 && (i == t.size() || endsToken(t[i]))) rootEnded = true;
        } else {
            return fault(i, "invalid UTF-8");
        }
    }
    if (!rootSeen) return fault(t.size(), "the file holds no JSON value");
    if (depth > 0) return fault(t.size(), "the document ends before its arrays and objects are closed");
    return Fault{};
}

// The token at `at` as a message quotes it: up to the next whitespace or structural character.
std::string tokenAt(std::string_view t, size_t at) {
    if (at >= t.size()) return "the end of the document";
    size_t end = at + 1;
    if (!endsToken(t[at])) {
        while (end < t.size() && end - at < 24 && !endsToken(t[end])) ++end;
    }
    return "'" + std::string(t.substr(at, end - at)) + "'";
}

// True when the literal `word` stands at `at` alone, up to the next whitespace or
// structural character. Literals are judged by their text: simdjson's reading of one at
// the top level lets "false0" pass and refuses "null " with a blank after it.
bool literalAt(std::string_view t, size_t at, std::string_view word) {
    return t.substr(at, word.size()) == word && (at + word.size() == t.size() || endsToken(t[at + word.size()]));
}

// True when `token` follows the JSON grammar of numbers, so that simdjson refused it for its size.
bool isNumberText(std::string_view token) {
    size_t i = 0;
    const auto digits = [&] {
        const size_t start = i;
        while (i < token.size() && token[i] >= '0' && token[i] <= '9') ++i;
        return i > start;
    };
    if (i < token.size() && token[i] == '-') ++i;
    if (i < token.size() && token[i] == '0') {
        ++i;
    } else if (!digits()) {
        return false;
    }
    if (i < token.size() && token[i] == '.') {
        ++i;
        if (!digits()) return false;
    }
    if (i < token.size() && (token[i] == 'e' || token[i] == 'E')) {
        ++i;
        if (i < token.size() && (token[i] == '+' || token[i] == '-')) ++i;
        if (!digits()) return false;
    }
    return i == token.size();
}

// Reads every value of the document through, as simdjson checks it, without recursion.
class Walk {
public:
    // `t` is the text `json` holds; offsets are counted from its start.
    explicit Walk(std::string_view t) : t_(t) {}

    Fault run(simdjson::padded_string_view json, ondemand::parser& parser) {
        if (parser.allocate(std::max(parser.capacity(), json.length()), kMaxJsonNesting + 2) != simdjson::SUCCESS) {
            return Fault{};
        }
        ondemand::document doc;
        // Its faults (strings, UTF-8, no value at all) are the byte scan's to name.
        if (parser.iterate(json).get(doc)) return syntaxFault(t_.size(), "the file holds no JSON value");
        doc_ = &doc;
        ondemand::json_type type;
        const size_t first = offsetOf(doc);
        if (doc.type().get(type)) return unexpected(first);
        if (type == ondemand::json_type::boolean || type == ondemand::json_type::null) {
            // Judged by the text alone: simdjson may not step past a literal at the top.
            const Fault fault = readScalar(doc, type, first);
            if (fault.offset != kNowhere) return fault;
            size_t after = first + (t_[first] == 'f' ? 5 : 4);
            while (after < t_.size() && isWhitespace(t_[after])) ++after;
            if (after < t_.size()) return syntaxFault(after, "bytes after the end of the document");
            return Fault{};
        }
        if (type != ondemand::json_type::array && type != ondemand::json_type::object) {
            const Fault fault = readScalar(doc, type, first);
            if (fault.offset != kNowhere) return fault;
        } else {
            ondemand::value root;
            if (doc.get_value().get(root)) return unexpected(first);
            if (Fault fault = enter(root, type); fault.offset != kNowhere) return fault;
            if (Fault fault = walkLevels(); fault.offset != kNowhere) return fault;
        }
        const size_t after = offsetOf(doc);
        if (after < t_.size()) return syntaxFault(after, "bytes after the end of the document");
        return Fault{};
    }

private:
    struct Level {
        bool isObject = false;
        bool inChild = false;  // a child was read: step past it before the next
        size_t index = 0;
        std::string_view key;
        KeySet keys;
        ondemand::array_iterator element, elementsEnd;
        ondemand::object_iterator field, fieldsEnd;
    };

    size_t offsetOf(ondemand::document& doc) {
        const char* at = nullptr;
        if (doc.current_location().get(at)) return t_.size();
        return std::min(size_t(at - t_.data()), t_.size());
    }

    Fault syntaxFault(size_t at, std::string what) { return Fault{at, false, "", "malformed JSON: " + what}; }
    Fault unexpected(size_t at) { return syntaxFault(at, "unexpected " + tokenAt(t_, at)); }
    Fault valueFault(size_t at, std::string what) {
        std::vector<PathStep> steps;
        for (size_t i = 0; i < depth_; ++i) {
            const Level& level = levels_[i];
            steps.push_back(level.isObject ? PathStep{level.key, 0, false} : PathStep{{}, level.index, true});
        }
        return Fault{at, true, pathText(steps), std::move(what)};
    }

    // A number, string or literal at `at`.
    template <class Value>
    Fault readScalar(Value& v, ondemand::json_type type, size_t at) {
        switch (type) {
            case ondemand::json_type::number: {
                double x;
                if (!v.get_double().get(x)) return Fault{};
                std::string_view token = t_.substr(at, 1);
                while (at + token.size() < t_.size() && !endsToken(t_[at + token.size()])) {
                    token = t_.substr(at, token.size() + 1);
                }
                if (isNumberText(token)) {
                    return valueFault(at, "number " + std::string(token) + " is beyond the 32-bit float range");
                }
                return syntaxFault(at, "invalid number " + tokenAt(t_, at));
            }
            case ondemand::json_type::string: {
                std::string_view text;
                if (!v.get_string().get(text)) return Fault{};
                return syntaxFault(at, "invalid escape in a string");
            }
            case ondemand::json_type::boolean: {
                bool b;
                if (v.get_bool().get(b)) b = false;  // steps past it; the text decides
                if (literalAt(t_, at, "true") || literalAt(t_, at, "false")) return Fault{};
                return syntaxFault(at, "invalid literal " + tokenAt(t_, at));
            }
            default: {
                bool isNull;
                if (v.is_null().get(isNull)) isNull = false;  // steps past it; the text decides
                if (literalAt(t_, at, "null")) return Fault{};
                return syntaxFault(at, "invalid literal " + tokenAt(t_, at));
            }
        }
    }

    Fault enter(ondemand::value& v, ondemand::json_type type) {
        const size_t at = offsetOf(*doc_);
        if (depth_ == kMaxJsonNesting) {
            return Fault{at, false, "",
                         "arrays and objects are nested deeper than " + std::to_string(kMaxJsonNesting) + " levels"};
        }
        if (levels_.size() == depth_) levels_.emplace_back();
        Level& level = levels_[depth_];
        level.isObject = type == ondemand::json_type::object;
        level.inChild = false;
        level.index = 0;
        level.key = {};
        if (level.isObject) {
            level.keys.clear();
            ondemand::object object;
            if (v.get_object().get(object) || object.begin().get(level.field) || object.end().get(level.fieldsEnd)) {
                return unexpected(offsetOf(*doc_));
            }
        } else {
            ondemand::array array;
            if (v.get_array().get(array) || array.begin().get(level.element) || array.end().get(level.elementsEnd)) {
                return unexpected(offsetOf(*doc_));
            }
        }
        ++depth_;
        return Fault{};
    }

    Fault walkLevels() {
        while (depth_ > 0) {
            Level& level = levels_[depth_ - 1];
            if (level.inChild) {
                if (level.isObject) {
                    ++level.field;
                } else {
                    ++level.element;
                    ++level.index;
                }
                level.inChild = false;
            }
            ondemand::value child;
            if (level.isObject) {
                if (!(level.field != level.fieldsEnd)) {
                    --depth_;
                    continue;
                }
                ondemand::field field;
                if ((*level.field).get(field)) return unexpected(offsetOf(*doc_));
                const size_t keyAt = size_t(field.key().raw() - t_.data()) - 1;
                std::string_view key;
                if (field.unescaped_key().get(key)) return syntaxFault(keyAt, "invalid escape in a string");
                level.key = {};
                if (!level.keys.insert(key)) {
                    --depth_;  // the path names the object
                    return valueFault(keyAt, "duplicate key " + jsonString(key));
                }
                level.key = key;
                child = field.value();
            } else {
                if (!(level.element != level.elementsEnd)) {
                    --depth_;
                    continue;
                }
                if ((*level.element).get(child)) return unexpected(offsetOf(*doc_));
            }
            level.inChild = true;
            const size_t at = offsetOf(*doc_);
            ondemand::json_type type;
            if (child.type().get(type)) return unexpected(at);
            Fault fault = type == ondemand::json_type::array || type == ondemand::json_type::object
                              ? enter(child, type)
                              : readScalar(child, type, at);
            if (fault.offset != kNowhere) return fault;
        }
        return Fault{};
    }

    std::string_view t_;
    ondemand::document* doc_ = nullptr;
    std::vector<Level> levels_;
    size_t depth_ = 0;
};

}  // namespace

std::string placeOf(std::string_view text, size_t offset) {
    offset = std::min(offset, text.size());
    size_t line = 1, lineStart = 0;
    for (const char* p = text.data(); const void* newline = std::memchr(p, '\n', size_t(text.data() + offset - p));) {
        ++line;
        p = static_cast<const char*>(newline) + 1;
        lineStart = size_t(p - text.data());
    }
    size_t column = 1;
    for (size_t i = lineStart; i < offset; ++i) column += (static_cast<unsigned char>(text[i]) & 0xC0) != 0x80;
    return "line " + std::to_string(line) + ", column " + std::to_string(column);
}

std::string jsonFault(std::string_view text, simdjson::padded_string_view json, const std::string& fileLabel,
                      ondemand::parser& parser) {
    const std::string_view t(json.data(), json.length());
    const size_t skipped = size_t(json.data() - text.data());  // a byte order mark
    const Fault scanned = scanBytes(t);
    Fault walked;
    if (scanned.offset == kNowhere) {
        walked = Walk(t).run(json, parser);
    } else {
        // Walked up to the scan's fault, in a copy that ends there.
        const simdjson::padded_string prefix(t.data(), scanned.offset);
        walked = Walk(std::string_view(prefix.data(), prefix.size())).run(prefix, parser);
        if (walked.offset >= scanned.offset) walked = scanned;
    }
    if (walked.offset == kNowhere) return "";
    const std::string place = placeOf(text, skipped + walked.offset);
    if (!walked.hasPath) return fileLabel + ": " + place + ": " + walked.what;
    return fileLabel + ": " + (walked.path.empty() ? "top level" : walked.path) + " at " + place + ": " + walked.what;
}

}  // namespace korvo
