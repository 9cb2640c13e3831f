#include "reliability/xfile_checks.h"

#include <cctype>
#include <cstring>

namespace korvo::reliability {

std::string braceFault(const std::string& text) {
    long depth = 0, line = 1;
    bool quoted = false;
    for (const char c : text) {
        if (c == '\n') ++line;
        else if (c == '"') quoted = !quoted;
        else if (quoted) continue;
        else if (c == '{') ++depth;
        else if (c == '}' && --depth < 0) return "a \"}\" without its \"{\" at line " + std::to_string(line);
    }
    if (quoted) return "a quoted text that does not end";
    if (depth > 0) return std::to_string(depth) + " \"{\" not closed at the end";
    return "";
}

namespace {

bool wordCharacter(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

bool startsWithIgnoringCase(const char* at, const char* end, const char* word) {
    for (; *word; ++word, ++at)
        if (at == end || std::tolower(static_cast<unsigned char>(*at)) != *word) return false;
    return true;
}

std::string lineAround(const std::string& text, size_t at) {
    const size_t start = text.rfind('\n', at);
    const size_t end = text.find('\n', at);
    return text.substr(start == std::string::npos ? 0 : start + 1,
                       (end == std::string::npos ? text.size() : end) - (start == std::string::npos ? 0 : start + 1));
}

}  // namespace

std::string nonFiniteFault(const std::string& text) {
    const char* begin = text.data();
    const char* end = begin + text.size();
    for (const char* p = begin; p != end; ++p) {
        if (p != begin && wordCharacter(p[-1])) continue;
        for (const char* word : {"nan", "infinity", "inf"}) {
            if (!startsWithIgnoringCase(p, end, word)) continue;
            const char* after = p + std::strlen(word);
            if (after == end || !wordCharacter(*after)) return "non-finite number in: " + lineAround(text, size_t(p - begin));
        }
    }
    return "";
}

}  // namespace korvo::reliability
