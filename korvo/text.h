// Text conversions of the host: host strings hold Unicode code points; 8-bit text the
// module passes is Latin-1; everything the host prints or names on disk is UTF-8.
#pragma once

#include <string>

namespace korvo {

// Invalid UTF-8 sequences decode to U+FFFD, one per bad byte.
std::u32string fromUtf8(const std::string& utf8);
std::string toUtf8(const std::u32string& text);
std::u32string fromLatin1(const char* text, size_t length);
// A code point above U+00FF becomes '?'.
std::string toLatin1(const std::u32string& text);

}  // namespace korvo
