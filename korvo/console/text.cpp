#include "korvo/console/text.h"

#include <cstdint>

namespace korvo {

namespace {

constexpr char32_t kEscapedByte = 0xDC00;

// `bad` is what an invalid byte decodes to.
std::u32string decodeUtf8(const std::string& utf8, char32_t (*bad)(unsigned char)) {
    std::u32string out;
    out.reserve(utf8.size());
    const auto* s = reinterpret_cast<const unsigned char*>(utf8.data());
    const size_t n = utf8.size();
    size_t i = 0;
    while (i < n) {
        const unsigned char lead = s[i];
        int extra = 0;
        char32_t c = 0;
        char32_t minimum = 0;
        if (lead < 0x80) {
            out.push_back(lead);
            ++i;
            continue;
        } else if ((lead & 0xE0) == 0xC0) {
            extra = 1, c = lead & 0x1F, minimum = 0x80;
        } else if ((lead & 0xF0) == 0xE0) {
            extra = 2, c = lead & 0x0F, minimum = 0x800;
        } else if ((lead & 0xF8) == 0xF0) {
            extra = 3, c = lead & 0x07, minimum = 0x10000;
        } else {
            out.push_back(bad(lead));
            ++i;
            continue;
        }
        bool valid = i + static_cast<size_t>(extra) < n;
        for (int k = 1; valid && k <= extra; ++k) {
            if ((s[i + k] & 0xC0) != 0x80) valid = false;
            else c = (c << 6) | (s[i + k] & 0x3F);
        }
        if (!valid || c < minimum || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
            out.push_back(bad(lead));
            ++i;
            continue;
        }
        out.push_back(c);
        i += extra + 1;
    }
    return out;
}

void appendUtf8(std::string& out, char32_t c) {
    if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) c = 0xFFFD;
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

}  // namespace

std::u32string fromUtf8(const std::string& utf8) {
    return decodeUtf8(utf8, [](unsigned char) -> char32_t { return 0xFFFD; });
}

std::u32string fromPathBytes(const std::string& bytes) {
    return decodeUtf8(bytes, [](unsigned char b) -> char32_t { return kEscapedByte + b; });
}

std::string toPathBytes(const std::u32string& text) {
    std::string out;
    out.reserve(text.size());
    for (char32_t c : text) {
        if (c >= kEscapedByte + 0x80 && c <= kEscapedByte + 0xFF) out.push_back(static_cast<char>(c - kEscapedByte));
        else appendUtf8(out, c);
    }
    return out;
}

std::string toUtf8(const std::u32string& text) {
    std::string out;
    out.reserve(text.size());
    for (char32_t c : text) appendUtf8(out, c);
    return out;
}

std::u32string fromLatin1(const char* text, size_t length) {
    std::u32string out(length, U'\0');
    for (size_t i = 0; i < length; ++i) out[i] = static_cast<unsigned char>(text[i]);
    return out;
}

std::string toLatin1(const std::u32string& text) {
    std::string out(text.size(), '\0');
    for (size_t i = 0; i < text.size(); ++i)
        out[i] = text[i] <= 0xFF ? static_cast<char>(static_cast<unsigned char>(text[i])) : '?';
    return out;
}

std::string printable(const std::string& text, size_t most) {
    static const char kHex[] = "0123456789abcdef";
    std::string out;
    out.reserve(text.size() < most ? text.size() : most);
    for (size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == '\n') out += "\\n";
        else if (c == '\r') out += "\\r";
        else if (c == '\t') out += "\\t";
        else if (c < 0x20 || c == 0x7F) out += std::string("\\x") + kHex[c >> 4] + kHex[c & 15];
        else if (c == 0xC2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) < 0xA0 &&
                 static_cast<unsigned char>(text[i + 1]) >= 0x80) {
            const auto code = static_cast<unsigned char>(text[++i]);
            out += std::string("\\u00") + kHex[code >> 4] + kHex[code & 15];
        } else out += static_cast<char>(c);
    }
    if (out.size() <= most || most < 8) return out;
    // Cut on character boundaries: never inside a UTF-8 sequence.
    size_t head = most * 2 / 3;
    size_t tail = out.size() - (most - head - 3);
    while (head > 0 && (static_cast<unsigned char>(out[head]) & 0xC0) == 0x80) --head;
    while (tail < out.size() && (static_cast<unsigned char>(out[tail]) & 0xC0) == 0x80) ++tail;
    return out.substr(0, head) + "..." + out.substr(tail);
}

}  // namespace korvo
