// libFuzzer target of the scene loader. Any text either loads or is refused with one
// line naming the file; a scene that loads writes back to text that loads to the same
// text again.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "korvo/scene_json.h"

namespace {

[[noreturn]] void fault(const char* what, const std::string& detail) {
    std::fprintf(stderr, "scene fuzz: %s\n%s\n", what, detail.c_str());
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
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
