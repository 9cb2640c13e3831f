#include "cli/input_kind.h"

#include "korvo/files/platform.h"
#include "korvo/files/write_plan.h"

namespace korvo::cli {

bool isSceneFile(const std::string& input) { return endsWithIgnoringCase(input, ".json"); }

std::string folderGivenAsInput(const std::string& input) {
    if (!platform::isFolder(input)) return "";
    std::string folder = input;
    while (folder.size() > 1 && platform::isSeparator(static_cast<unsigned char>(folder.back()))) folder.pop_back();
    return input + " is a folder, not a scene or model file (its files: " + (folder == "/" ? "" : folder) + "/*)";
}

bool readsModel(const std::string& input) {
#ifdef KORVO_WITH_IMPORT
    return !isSceneFile(input);
#else
    (void)input;
    return false;
#endif
}

}  // namespace korvo::cli
