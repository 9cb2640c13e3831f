// The faults of a scene file's JSON itself, found after the scene reader stopped, as they
// come before faults of the content: a syntax error, a duplicate key or a number beyond a
// double (named by their JSON path too), invalid UTF-8, nesting deeper than
// kMaxJsonNesting, bytes after the end of the document. Each is named by line and column.
#pragma once

#include <string>
#include <string_view>

#include <simdjson.h>

namespace korvo {

// Arrays and objects nested deeper than this are refused: no scene needs more than
// about two levels per object level, and objects nest at most a thousand deep.
constexpr size_t kMaxJsonNesting = 10000;

// "line 4, column 23" of the byte at `offset` in `text`; columns count characters.
std::string placeOf(std::string_view text, size_t offset);

// The one-line message ("<fileLabel>: line 2, column 10: malformed JSON: ...") of the
// first such fault of `json`, or "" when the JSON is sound. `text` is the whole file, of
// which `json` may leave out a byte order mark at the start. `parser` is the reader's,
// whose memory is used again.
std::string jsonFault(std::string_view text, simdjson::padded_string_view json, const std::string& fileLabel,
                      simdjson::ondemand::parser& parser);

}  // namespace korvo
