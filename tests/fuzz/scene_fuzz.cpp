// libFuzzer target of the scene loader. Any text either loads or is refused with one
// line naming the file; a scene that loads writes back to text that loads to the same
// text again. A refusal names the JSON itself exactly when simdjson's full parse refuses
// the text: syntax, UTF-8, nesting and bytes after the end are faults of the JSON, and a
// fault of the content is never worded as one. A duplicate key is a fault of the JSON that
// simdjson lets pass: named where it stands, it may come before a syntax error further on.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <simdjson.h>

#include "korvo/scene/scene_json.h"

namespace {

[[noreturn]] void fault(const char* what, const std::string& detail) {
    std::fprintf(stderr, "scene fuzz: %s\n%s\n", what, detail.c_str());
    std::abort();
}

// What simdjson's DOM parser, which checks the whole text, says of it (nesting as deep
// as the reader allows, after a byte order mark, which the reader passes over). An integer
// beyond 64 bits stops its parse as a number error although JSON allows it: a text with a
// number error is not judged.
enum class FullParse { accepts, refuses, cannotTell };

FullParse fullParse(std::string text) {
    if (text.rfind("\xEF\xBB\xBF", 0) == 0) text.erase(0, 3);
    simdjson::dom::parser parser;
    if (parser.allocate(text.size() + 1, 10000 + 1) != simdjson::SUCCESS) return FullParse::cannotTell;
    simdjson::dom::element root;
    const simdjson::error_code error = parser.parse(text).get(root);
    if (error == simdjson::SUCCESS) return FullParse::accepts;
    return error == simdjson::NUMBER_ERROR ? FullParse::cannotTell : FullParse::refuses;
}

// A syntax fault is worded "FILE: line L, column C: malformed JSON: ...", with no path: the
// words alone may stand inside a quoted key of a content fault.
bool isMalformed(const std::string& error) {
    const std::string start = "fuzz.korvo.json: line ";
    if (error.rfind(start, 0) != 0) return false;
    const size_t place = error.find(": ", start.size());
    return place != std::string::npos && error.compare(place, 18, ": malformed JSON: ") == 0 &&
           error.find_first_not_of("0123456789, column", start.size()) == place;
}

bool namesTheJson(const std::string& error) {
    if (isMalformed(error)) return true;
    for (const char* words : {"arrays and objects are nested deeper", "is beyond the 32-bit float", ": duplicate key \""}) {
        if (error.find(words) != std::string::npos) return true;
    }
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    korvo::Scene scene;
    std::string error;
    if (!korvo::parseScene(text, "fuzz.korvo.json", scene, error)) {
        if (error.rfind("fuzz.korvo.json: ", 0) != 0 || error.find('\n') != std::string::npos)
            fault("a refusal that is not one line naming the file", error);
        const FullParse full = fullParse(text);
        if (full == FullParse::refuses && !namesTheJson(error))
            fault("JSON that simdjson refuses is refused for its content", error);
        if (full == FullParse::accepts && isMalformed(error))
            fault("JSON that simdjson accepts is called malformed", error);
        return 0;
    }
    if (fullParse(text) == FullParse::refuses) fault("a scene loads that simdjson refuses", text);
    const std::string written = korvo::sceneToJson(scene);
    korvo::Scene again;
    if (!korvo::parseScene(written, "written.korvo.json", again, error)) fault("a written scene is refused", error);
    if (korvo::sceneToJson(again) != written) fault("a written scene reads back differently", written);
    return 0;
}
