#include "cli/export/animation_notes.h"

#include "cli/model/model_options.h"

namespace korvo::cli {

namespace {

// The dialog's defaults of a freshly loaded module, and its elements.
struct AnimationSettings {
    bool frames = true;      // Export frames: without it, neither bones nor animation
    bool animation = false;  // Export animation
    bool bones = true;       // Export bones
    bool onlyBones = true;   // Only bones
    bool animationTurnedOff = false;  // by the user: --no-animation or --no-frames
};

AnimationSettings settingsAfter(const DialogScript& script) {
    AnimationSettings s;
    for (const DialogChange& change : script.changes) {
        const bool on = change.value != 0;
        if (change.id == KRV_SETTINGS_FRAMES) s.frames = on;
        if (change.id == KRV_SETTINGS_ANIMATION) s.animation = on;
        if (change.id == KRV_SETTINGS_BONES) s.bones = on;
        if (change.id == KRV_SETTINGS_ONLY_BONES) s.onlyBones = on;
        if ((change.id == KRV_SETTINGS_ANIMATION || change.id == KRV_SETTINGS_FRAMES) && !on)
            s.animationTurnedOff = true;
    }
    return s;
}

bool isAnimated(const SceneObject& object) {
    const Animation& a = object.animation;
    return !a.position.empty() || !a.rotation.empty() || !a.scale.empty();
}

// Animated objects, and among them those that are not bones; with a stack of its own.
void countAnimated(const std::vector<SceneObject>& top, size_t& animated, size_t& notBones) {
    std::vector<const SceneObject*> pending;
    for (const SceneObject& object : top) pending.push_back(&object);
    while (!pending.empty()) {
        const SceneObject& object = *pending.back();
        pending.pop_back();
        if (isAnimated(object)) {
            ++animated;
            if (object.type != ObjectType::Bone) ++notBones;
        }
        for (const SceneObject& child : object.children) pending.push_back(&child);
    }
}

}  // namespace

std::vector<std::string> animationNotes(const Scene& scene, const DialogScript& script) {
    size_t animated = 0, notBones = 0;
    countAnimated(scene.objects, animated, notBones);
    if (animated == 0) return {};
    const AnimationSettings s = settingsAfter(script);
    if (s.animationTurnedOff) return {};
    if (!s.animation)
        return {"the model is animated, but the file will be static: --animation writes its animation"};
    if (s.bones && s.onlyBones && notBones > 0)
        return {std::to_string(notBones) + " animated object" + (notBones == 1 ? " is" : "s are") +
                " not a bone and left out by \"Only bones\": --no-only-bones writes " +
                (notBones == 1 ? "its" : "their") + " animation"};
    return {};
}

void chooseImportNotes(const DialogScript& script, import::ImportChoices& choices) {
    const AnimationSettings s = settingsAfter(script);
    choices.noteSkins = s.frames && s.bones;
    choices.noteAnimations = !s.animationTurnedOff;
}

ModelFacts modelFacts(const Scene& scene) {
    size_t animated = 0, notBones = 0;
    countAnimated(scene.objects, animated, notBones);
    return {animated > 0, scene.takes.size(), modelCarriesNormals(scene)};
}

}  // namespace korvo::cli
