// The faults of a scene file's JSON itself, named as a refusal names them: a syntax error
// by line and column, a duplicate key or a number beyond a double by its JSON path,
// nesting deeper than kMaxJsonNesting, bytes after the end of the document. The scene
// reader asks for them when it refuses a file, as they come before the faults of its
// content; the text is read again, without keeping it.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace korvo {

// The one-line message ("<fileLabel>: line 2, column 10: malformed JSON: ...") of the
// first such fault, or "" when the JSON is sound.
std::string jsonFault(std::string_view text, const std::string& fileLabel);
// The same for an open file, read from its start; throws ReadFailure (json_input.h).
std::string jsonFault(std::FILE* file, const std::string& fileLabel);

}  // namespace korvo
