#include "cli/export/model_preset.h"

#include <optional>

namespace korvo::cli {

namespace {

// The user's last setting of a checkbox, if any.
std::optional<bool> userSetting(const DialogScript& user, int32_t element) {
    std::optional<bool> on;
    for (const DialogChange& change : user.changes)
        if (change.id == element) on = change.value != 0;
    return on;
}

}  // namespace

DialogScript applyModelPreset(const DialogScript& user, const ModelFacts& facts) {
    DialogScript script;
    script.cancel = user.cancel;
    const auto preset = [&](int32_t element, bool on, const char* option) {
        if (!userSetting(user, element)) script.changes.push_back({element, on ? 1.0 : 0.0, option});
    };
    // The preset only sets what stays enabled under the user's own settings, so that it
    // never makes an option of the user's refused.
    const bool animation = userSetting(user, KRV_SETTINGS_FRAMES).value_or(true) &&
                           userSetting(user, KRV_SETTINGS_ANIMATION).value_or(true);
    if (facts.animated && animation) {
        preset(KRV_SETTINGS_ANIMATION, true, "--animation (on for animated models)");
        preset(KRV_SETTINGS_FRAME_RATE, true, "--frame-rate (on for animated models)");
        if (userSetting(user, KRV_SETTINGS_BONES).value_or(true) &&
            !userSetting(user, KRV_SETTINGS_FRAME_PER_FILE).value_or(false))
            preset(KRV_SETTINGS_ONLY_BONES, false, "--no-only-bones (on for animated models)");
        if (facts.takes > 1) preset(KRV_SETTINGS_ALL_TAKES, true, "--all-takes (on for models of several animations)");
    }
    if (facts.normals) preset(KRV_SETTINGS_NORMAL_TAGS, true, "--normal-tags (on for models that carry normals)");
    script.changes.insert(script.changes.end(), user.changes.begin(), user.changes.end());
    return script;
}

}  // namespace korvo::cli
