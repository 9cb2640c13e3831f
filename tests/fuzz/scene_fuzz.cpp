// libFuzzer target of the scene loader. Any text either loads or is refused with one
// line naming the file; a scene that loads writes back to text that loads to the same
// text again. A refusal names the JSON itself exactly when simdjson's full parse refuses
// the text: syntax, UTF-8, nesting and bytes after the end are faults of the JSON, and a
// fault of the content is never worded as one.
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

// True when simdjson's DOM parser, which checks the whole text, accepts it (nesting as
// deep as the reader allows, after a byte order mark, which the reader passes over).
bool fullParseAccepts(std::string text) {
    if (text.rfind("\xEF\xBB\xBF", 0) == 0) text.erase(0, 3);
    simdjson::dom::parser parser;
    if (parser.allocate(text.size() + 1, 10000 + 1) != simdjson::SUCCESS) return true;
    simdjson::dom::element root;
    return parser.parse(text).get(root) == simdjson::SUCCESS;
}

bool namesTheJson(const std::string& error) {
    for (const char* words : {": malformed JSON: ", "arrays and objects are nested deeper", "is beyond the 32-bit float"}) {
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
        const bool accepted = fullParseAccepts(text);
        if (!accepted && !namesTheJson(error)) fault("JSON that simdjson refuses is refused for its content", error);
        if (accepted && error.find(": malformed JSON: ") != std::string::npos)
            fault("JSON that simdjson accepts is called malformed", error);
        return 0;
    }
    if (!fullParseAccepts(text)) fault("a scene loads that simdjson refuses", text);
    const std::string written = korvo::sceneToJson(scene);
    korvo::Scene again;
    if (!korvo::parseScene(written, "written.korvo.json", again, error)) fault("a written scene is refused", error);
    if (korvo::sceneToJson(again) != written) fault("a written scene reads back differently", written);
    return 0;
}
