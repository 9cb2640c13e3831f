// libFuzzer target of the scene loader. Any text either loads or is refused with one
// line naming the file; a scene that loads writes back to text that loads to the same
// text again. The JSON checker names a syntax error exactly as a full parse by
// nlohmann's parser does, although it lets the parser read only the end of the text.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <nlohmann/json.hpp>

#include "korvo/scene/scene_json.h"
#include "korvo/scene/scene_json_check.h"

namespace {

[[noreturn]] void fault(const char* what, const std::string& detail) {
    std::fprintf(stderr, "scene fuzz: %s\n%s\n", what, detail.c_str());
    std::abort();
}

// A full parse's syntax error as the checker words it (line, and column in characters,
// of the byte before the parser's count), or "".
std::string fullParseSyntaxError(const std::string& text) {
    try {
        const nlohmann::json parsed = nlohmann::json::parse(text);
        return "";
    } catch (const nlohmann::json::parse_error& e) {
        const std::string what = e.what();
        const size_t index = e.byte > 0 ? e.byte - 1 : 0;
        size_t line = 1, column = 1;
        for (size_t i = 0; i < index && i < text.size(); ++i) {
            if (text[i] == '\n') {
                ++line;
                column = 1;
            } else if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) {
                ++column;
            }
        }
        return "fuzz.json: line " + std::to_string(line) + ", column " + std::to_string(column) +
               ": malformed JSON: " + what.substr(what.find(": ", what.find("column ")) + 2);
    } catch (const nlohmann::json::exception&) {  // a number beyond a double, named by the checker
        return "";
    }
}

void checkSyntaxMessage(const std::string& text) {
    const std::string checked = korvo::jsonFault(text, "fuzz.json");
    if (checked.find(": malformed JSON: syntax error") == std::string::npos) return;
    const std::string full = fullParseSyntaxError(text);
    if (checked != full) fault("a syntax error named otherwise than by a full parse", checked + "\n" + full);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    checkSyntaxMessage(text);
    korvo::Scene scene;
    std::string error;
    if (!korvo::parseScene(text, "fuzz.korvo.json", scene, error)) {
        if (error.rfind("fuzz.korvo.json: ", 0) != 0 || error.find('\n') != std::string::npos)
            fault("a refusal that is not one line naming the file", error);
        return 0;
    }
    const std::string written = korvo::sceneToJson(scene);
    korvo::Scene again;
    if (!korvo::parseScene(written, "written.korvo.json", again, error)) fault("a written scene is refused", error);
    if (korvo::sceneToJson(again) != written) fault("a written scene reads back differently", written);
    return 0;
}
