// Text conversions of the host: host strings hold Unicode code points; 8-bit text the
// module passes is Latin-1; everything the host prints or names on disk is UTF-8.
#pragma once

#include <string>

namespace korvo {

// Invalid UTF-8 sequences decode to U+FFFD, one per bad byte.
std::u32string fromUtf8(const std::string& utf8);
std::string toUtf8(const std::u32string& text);
// File names as the bytes given: a byte that is not part of valid UTF-8 decodes to
// U+DC80 + byte (a lone surrogate, which no valid UTF-8 holds) and encodes back to itself,
// so that a name that is not UTF-8 still names its own file. Elsewhere such a surrogate
// encodes as U+FFFD.
std::u32string fromPathBytes(const std::string& bytes);
std::string toPathBytes(const std::u32string& text);
std::u32string fromLatin1(const char* text, size_t length);
// A code point above U+00FF becomes '?'.
std::string toLatin1(const std::u32string& text);

}  // namespace korvo
