#include "korvo/scene/scene_json_text.h"

#include <charconv>
#include <cmath>


namespace korvo {
namespace {

struct TypeName {
    ObjectType type;
    std::string_view name;
};

constexpr TypeName kTypeNames[] = {
    {ObjectType::Polygon, "polygon"}, {ObjectType::Null, "null"},     {ObjectType::Bone, "bone"},
    {ObjectType::Cube, "cube"},       {ObjectType::Plane, "plane"},   {ObjectType::Sphere, "sphere"},
    {ObjectType::Camera, "camera"},   {ObjectType::Light, "light"},
};

// Paths up to this many steps are written whole; longer ones show their ends.
constexpr size_t kWholePathSteps = 16;
constexpr size_t kShownEndSteps = 4;

bool isPlainKey(std::string_view key) {
    if (key.empty()) return false;
    for (size_t i = 0; i < key.size(); ++i) {
        const char c = key[i];
        const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
        const bool digit = c >= '0' && c <= '9';
        if (!letter && !(digit && i > 0)) return false;
    }
    return true;
}

void appendStep(std::string& out, const PathStep& step) {
    if (step.isIndex) {
        out += '[';
        out += std::to_string(step.index);
        out += ']';
    } else if (isPlainKey(step.key)) {
        if (!out.empty()) out += '.';
        out += step.key;
    } else {
        out += '[';
        out += jsonString(step.key);
        out += ']';
    }
}


// The bytes of the UTF-8 sequence at `i` that are right so far: the whole sequence when
// `whole` is set, else its lead and the continuation bytes that fit it (0: not a lead).
size_t utf8Prefix(std::string_view t, size_t i, bool& whole) {
    const auto byte = [&](size_t k) { return i + k < t.size() ? static_cast<unsigned char>(t[i + k]) : 0u; };
    const unsigned lead = byte(0);
    size_t length = 0;
    unsigned low = 0x80, high = 0xBF;  // the range of the first continuation byte
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
        whole = false;
        return 0;
    }
    size_t k = 1;
    for (; k < length; ++k) {
        const unsigned b = byte(k);
        if (k == 1 ? b < low || b > high : (b & 0xC0) != 0x80) break;
    }
    whole = k == length;
    return k;
}

}  // namespace

// Escapes as JSON requires and no more (\b \f \n \r \t, other control characters as
// \u00XX); a sequence that is not UTF-8 becomes one U+FFFD for its lead and the bytes
// that fitted it, or for a byte that cannot begin one.
std::string jsonString(std::string_view text) {
    std::string out = "\"";
    for (size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c >= 0x80) {
            bool whole;
            const size_t length = utf8Prefix(text, i, whole);
            if (whole) {
                out.append(text.substr(i, length));
            } else {
                out += "\xEF\xBF\xBD";
            }
            i += length > 0 ? length : 1;
            continue;
        }
        ++i;
        switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\b': out += "\\b"; break;
            case '\f': out += "\\f"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            default:
                if (c < 0x20) {
                    static const char kHex[] = "0123456789abcdef";
                    out += "\\u00";
                    out += kHex[c >> 4];
                    out += kHex[c & 15];
                } else {
                    out += char(c);
                }
        }
    }
    out += '"';
    return out;
}


void appendNumber(std::string& out, double value) {
    if (!std::isfinite(value)) {
        out += "null";
        return;
    }
    if (value == 0 && std::signbit(value)) {
        out += "-0.0";
        return;
    }
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    out.append(buffer, result.ptr);
}

std::string numberText(double value) {
    std::string text;
    appendNumber(text, value);
    return text;
}

std::string_view typeName(ObjectType type) {
    for (const TypeName& entry : kTypeNames) {
        if (entry.type == type) return entry.name;
    }
    return "null";
}

bool typeOfName(std::string_view name, ObjectType& type) {
    for (const TypeName& entry : kTypeNames) {
        if (entry.name == name) {
            type = entry.type;
            return true;
        }
    }
    return false;
}

std::string pathText(const std::vector<PathStep>& steps) {
    std::string text;
    if (steps.size() <= kWholePathSteps) {
        for (const PathStep& step : steps) appendStep(text, step);
        return text;
    }
    for (size_t i = 0; i < kShownEndSteps; ++i) appendStep(text, steps[i]);
    // The tail starts at a key, so that it reads as a path of its own.
    size_t tailStart = steps.size() - kShownEndSteps;
    if (steps[tailStart].isIndex) --tailStart;
    std::string tail;
    for (size_t i = tailStart; i < steps.size(); ++i) appendStep(tail, steps[i]);
    return text + " ... " + tail + " (" + std::to_string(steps.size()) + " steps)";
}

}  // namespace korvo
