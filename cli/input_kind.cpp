#include "cli/input_kind.h"

#include "cli/target_rules.h"

namespace korvo::cli {

bool isSceneFile(const std::string& input) { return endsWithIgnoringCase(input, ".json"); }

bool readsModel(const std::string& input) {
#ifdef KORVO_WITH_IMPORT
    return !isSceneFile(input);
#else
    (void)input;
    return false;
#endif
}

}  // namespace korvo::cli
