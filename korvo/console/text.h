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

// The longest text printable() keeps whole.
constexpr size_t kPrintableLength = 2000;
// UTF-8 `text` as it may reach a terminal: control characters (C0, DEL and the C1 range,
// which would move the cursor, clear the screen or set a window title) written as \n,
// \r, \t or \xHH (\u00HH for C1), and a text longer than `most` bytes cut in the
// middle to its start and end around "...". Everything else is kept as it is.
std::string printable(const std::string& text, size_t most = kPrintableLength);

}  // namespace korvo
