// The settings dialog as the user meets it: what each element shows and stores, the
// values' ranges, which elements are enabled, and its reactions to the user's changes.
#include "settings/settings_dialog.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <string>
#include <vector>

#include "host/host.h"
#include "korvo/host/host.h"

namespace dorna {
namespace {

// Every field, so that two records compare as a whole.
std::string describe(const ExportSettings& s) {
    char text[1024];
    std::snprintf(text, sizeof(text),
                  "listing %d angle %.9g frames %d normals %d textures %d standard %d animation %d "
                  "bones %d onlyBones %d phong %d scale %d unique %d perFile %d ticks %d distance %d "
                  "sceneScale %.9g %.9g %.9g face %.9g %.9g %.9g %.9g specular %.9g %.9g %.9g %.9g "
                  "emissive %.9g %.9g %.9g %.9g power %.9g",
                  s.debugListing, s.smoothingAngle, s.exportFrames,
                  s.exportNormals, s.exportTextures, s.useStandardMaterial, s.exportAnimation, s.exportBones,
                  s.onlyBones, s.readPhongAngle, s.scaleScene, s.uniqueNames, s.framePerFile, s.ticksPerFrame,
                  s.distancePerFrame, s.sceneScale.x, s.sceneScale.y, s.sceneScale.z, s.faceColor.red,
                  s.faceColor.green, s.faceColor.blue, s.faceColor.alpha, s.specularColor.red,
                  s.specularColor.green, s.specularColor.blue, s.specularColor.alpha, s.emissiveColor.red,
                  s.emissiveColor.green, s.emissiveColor.blue, s.emissiveColor.alpha, s.specularPower);
    return text;
}

class SettingsDialogTest : public ::testing::Test {
protected:
    SettingsDialogTest() { setHost(host.root()); }
    ~SettingsDialogTest() override { setHost(nullptr); }

    // Runs a dialog filled from `settings` with the given changes; true when confirmed,
    // with the dialog's values copied back into `settings`.
    bool run(ExportSettings& settings, std::vector<korvo::DialogChange> changes, bool cancel = false) {
        korvo::DialogScript script;
        script.changes = std::move(changes);
        script.cancel = cancel;
        host.setDialogScript(script);
        SettingsDialog dialog;
        dialog.copySettingsToDialog(&settings);
        const bool confirmed = dialog.runModal(0, -1, -1, 0, 0);
        if (confirmed) dialog.copySettingsFromDialog(&settings);
        return confirmed;
    }

    const korvo::DialogNode* element(int32_t id) const { return find(host.dialogRuns().back().shown.root, id); }

    static const korvo::DialogNode* find(const korvo::DialogNode& node, int32_t id) {
        for (const korvo::DialogNode& child : node.children) {
            if (!child.isGroup && child.id == id) return &child;
            if (const korvo::DialogNode* found = find(child, id)) return found;
        }
        return nullptr;
    }

    bool enabled(int32_t id) const { return element(id)->enabled; }

    // Every element that shows a value, in the dialog's order.
    static void collectValues(const korvo::DialogNode& node, std::vector<const korvo::DialogNode*>& out) {
        for (const korvo::DialogNode& child : node.children) {
            if (!child.isGroup && child.value) out.push_back(&child);
            collectValues(child, out);
        }
    }

    korvo::Host host;
};

// With the defaults the smoothing angle comes from the phong tag and animation, scaling
// and the standard material are off: only the switches can be changed at first.
TEST_F(SettingsDialogTest, WithTheDefaultsOnlyTheSwitchesAreEnabled) {
    ExportSettings settings = kDefaultExportSettings;
    ASSERT_TRUE(run(settings, {}));
    ASSERT_TRUE(host.dialogRuns()[0].shown.title.has_value());
    EXPECT_EQ(*host.dialogRuns()[0].shown.title, "Dorna - Export settings");
    // The switches the user starts from; what they govern waits for them.
    const int32_t switches[] = {
        KRV_SETTINGS_PHONG_ANGLE, KRV_SETTINGS_NORMAL_TAGS, KRV_SETTINGS_UNIQUE_NAMES, KRV_SETTINGS_NORMALS,
        KRV_SETTINGS_TEXTURES,    KRV_SETTINGS_FRAMES,      KRV_SETTINGS_BONES,        KRV_SETTINGS_ANIMATION,
        KRV_SETTINGS_SCALE_SCENE, KRV_SETTINGS_STANDARD_MATERIAL,
    };
    std::vector<const korvo::DialogNode*> values;
    collectValues(host.dialogRuns()[0].shown.root, values);
    EXPECT_EQ(values.size(), 33u);  // one per setting the dialog edits
    for (const korvo::DialogNode* element : values)
        EXPECT_EQ(element->enabled, std::count(std::begin(switches), std::end(switches), element->id) == 1)
            << element->id;
    // Confirmed unchanged: the record comes back as it went in.
    EXPECT_EQ(describe(settings), describe(kDefaultExportSettings));
}

// A switch takes 0 or 1, a count any integer, a value any real the host's field holds.
TEST_F(SettingsDialogTest, EachKindOfValueTakesItsRange) {
    ExportSettings settings = kDefaultExportSettings;
    ASSERT_TRUE(run(settings, {}));
    const korvo::DialogValue& flag = *element(KRV_SETTINGS_NORMALS)->value;
    EXPECT_FALSE(flag.isReal);
    EXPECT_EQ(flag.minimum, 0);
    EXPECT_EQ(flag.maximum, 1);
    EXPECT_EQ(flag.step, 0);
    EXPECT_EQ(flag.format, KRV_FOURCC('f', 'l', 'n', 'g'));
    const korvo::DialogValue& integer = *element(KRV_SETTINGS_TICKS_PER_FRAME)->value;
    EXPECT_FALSE(integer.isReal);
    EXPECT_EQ(integer.minimum, -2147483647);
    EXPECT_EQ(integer.maximum, 2147483647);
    EXPECT_EQ(integer.step, 1);
    const korvo::DialogValue& real = *element(KRV_SETTINGS_SPECULAR_POWER)->value;
    EXPECT_TRUE(real.isReal);
    EXPECT_EQ(real.minimum, static_cast<double>(-9.0e18f));
    EXPECT_EQ(real.maximum, static_cast<double>(9.0e18f));
    EXPECT_EQ(real.step, 1.0);
    EXPECT_EQ(real.format, KRV_FOURCC('f', 'r', 'e', 'a'));
}

// Each element shows its own setting and stores it back: distinct numbers, and the
// checkboxes switched on one at a time.
TEST_F(SettingsDialogTest, EachElementShowsAndStoresItsOwnSetting) {
    ExportSettings settings = kDefaultExportSettings;
    settings.smoothingAngle = 11.0f;
    settings.ticksPerFrame = 12;
    settings.distancePerFrame = 13;
    settings.sceneScale = {0.25f, 0.5f, 0.75f};
    settings.faceColor = {21.0f, 22.0f, 23.0f, 24.0f};
    settings.specularColor = {26.0f, 27.0f, 28.0f, 29.0f};
    settings.emissiveColor = {31.0f, 32.0f, 33.0f, 34.0f};
    settings.specularPower = 35.0f;
    const ExportSettings numbers = settings;
    ASSERT_TRUE(run(settings, {}));
    const std::pair<int, double> shown[] = {
        {KRV_SETTINGS_SMOOTHING_ANGLE, 11}, {KRV_SETTINGS_TICKS_PER_FRAME, 12}, {KRV_SETTINGS_DISTANCE_PER_FRAME, 13},
        {KRV_SETTINGS_SCALE_X, 25},         {KRV_SETTINGS_SCALE_Y, 50},         {KRV_SETTINGS_SCALE_Z, 75},
        {KRV_SETTINGS_SPECULAR_POWER, 35},
    };
    for (int channel = 0; channel < 4; ++channel) {
        EXPECT_EQ(element(KRV_SETTINGS_FACE_COLOR + channel)->value->value, 21 + channel);
        EXPECT_EQ(element(KRV_SETTINGS_SPECULAR_COLOR + channel)->value->value, 26 + channel);
        EXPECT_EQ(element(KRV_SETTINGS_EMISSIVE_COLOR + channel)->value->value, 31 + channel);
    }
    for (const auto& [id, value] : shown) EXPECT_EQ(element(id)->value->value, value) << id;
    EXPECT_EQ(describe(settings), describe(numbers));

    // Each checkbox with the label the user reads beside it.
    const struct {
        int32_t id;
        bool ExportSettings::*field;
        const char* label;
    } flags[] = {
        {KRV_SETTINGS_PHONG_ANGLE, &ExportSettings::readPhongAngle,
         "Read smoothing-angle from PhongTag (if available)"},
        {KRV_SETTINGS_NORMAL_TAGS, &ExportSettings::useNormalTags, "Use normal tags"},
        {KRV_SETTINGS_UNIQUE_NAMES, &ExportSettings::uniqueNames, "Add unique number to each entity name"},
        {KRV_SETTINGS_NORMALS, &ExportSettings::exportNormals, "Export normals"},
        {KRV_SETTINGS_TEXTURES, &ExportSettings::exportTextures, "Export textures"},
        {KRV_SETTINGS_FRAMES, &ExportSettings::exportFrames, "Export frames"},
        {KRV_SETTINGS_BONES, &ExportSettings::exportBones, "Export bones"},
        {KRV_SETTINGS_ANIMATION, &ExportSettings::exportAnimation, "Export animation"},
        {KRV_SETTINGS_FRAME_PER_FILE, &ExportSettings::framePerFile, "Each frame to separat file"},
        {KRV_SETTINGS_ONLY_BONES, &ExportSettings::onlyBones, "Only bones"},
        {KRV_SETTINGS_FRAME_RATE, &ExportSettings::writeFrameRate, "Write frame rate (AnimTicksPerSecond)"},
        {KRV_SETTINGS_ALL_TAKES, &ExportSettings::exportAllTakes, "Export all takes"},
        {KRV_SETTINGS_SCALE_SCENE, &ExportSettings::scaleScene, "Scale Scene"},
        {KRV_SETTINGS_STANDARD_MATERIAL, &ExportSettings::useStandardMaterial, "Use standard-material"},
    };
    for (const auto& flag : flags) {
        ASSERT_TRUE(element(flag.id)->text.has_value()) << flag.id;
        EXPECT_EQ(*element(flag.id)->text, flag.label);
    }
    for (const auto& on : flags) {
        for (const auto& flag : flags) settings.*flag.field = false;
        settings.*on.field = true;
        ASSERT_TRUE(run(settings, {}));
        for (const auto& flag : flags) {
            const int expected = flag.id == on.id ? 1 : 0;
            EXPECT_EQ(element(flag.id)->value->value, expected) << on.id << " on, " << flag.id << " shown";
            EXPECT_EQ(settings.*flag.field, expected == 1) << on.id << " on, " << flag.id << " stored";
        }
    }
}

TEST_F(SettingsDialogTest, SmoothingAngleIsClampedToZeroTo180) {
    ExportSettings settings = kDefaultExportSettings;
    ASSERT_TRUE(run(settings, {{KRV_SETTINGS_PHONG_ANGLE, 0, ""}, {KRV_SETTINGS_SMOOTHING_ANGLE, 200, ""}}));
    EXPECT_EQ(settings.smoothingAngle, 180.0f);
    EXPECT_EQ(element(KRV_SETTINGS_SMOOTHING_ANGLE)->value->value, 180.0);
    ASSERT_TRUE(run(settings, {{KRV_SETTINGS_SMOOTHING_ANGLE, -5, ""}}));
    EXPECT_EQ(settings.smoothingAngle, 0.0f);
    ASSERT_TRUE(run(settings, {{KRV_SETTINGS_SMOOTHING_ANGLE, 45.5, ""}}));
    EXPECT_EQ(settings.smoothingAngle, 45.5f);
}

TEST_F(SettingsDialogTest, DistanceAndTicksPerFrameAreAtLeastOne) {
    ExportSettings settings = kDefaultExportSettings;
    ASSERT_TRUE(run(settings, {{KRV_SETTINGS_ANIMATION, 1, ""},
                               {KRV_SETTINGS_DISTANCE_PER_FRAME, 0, ""},
                               {KRV_SETTINGS_TICKS_PER_FRAME, 0, ""}}));
    EXPECT_EQ(settings.distancePerFrame, 1);
    EXPECT_EQ(element(KRV_SETTINGS_DISTANCE_PER_FRAME)->value->value, 1.0);
    EXPECT_EQ(settings.ticksPerFrame, 1);
    EXPECT_EQ(element(KRV_SETTINGS_TICKS_PER_FRAME)->value->value, 1.0);
    ASSERT_TRUE(run(settings, {{KRV_SETTINGS_DISTANCE_PER_FRAME, -3, ""}}));
    EXPECT_EQ(settings.distancePerFrame, 1);
    ASSERT_TRUE(run(settings, {{KRV_SETTINGS_DISTANCE_PER_FRAME, 5, ""}, {KRV_SETTINGS_TICKS_PER_FRAME, -7, ""}}));
    EXPECT_EQ(settings.distancePerFrame, 5);
    EXPECT_EQ(settings.ticksPerFrame, 1);
}

TEST_F(SettingsDialogTest, FramesGovernAnimationAndBones) {
    ExportSettings settings = kDefaultExportSettings;
    ASSERT_TRUE(run(settings, {{KRV_SETTINGS_FRAMES, 0, ""}}));
    for (int id :
         {KRV_SETTINGS_ANIMATION, KRV_SETTINGS_BONES, KRV_SETTINGS_TICKS_PER_FRAME, KRV_SETTINGS_DISTANCE_PER_FRAME,
          KRV_SETTINGS_FRAME_PER_FILE, KRV_SETTINGS_ONLY_BONES, KRV_SETTINGS_FRAME_RATE})
        EXPECT_FALSE(enabled(id)) << id;

    settings.exportAnimation = 1;
    ASSERT_TRUE(run(settings, {{KRV_SETTINGS_FRAMES, 1, ""}}));
    for (int id :
         {KRV_SETTINGS_ANIMATION, KRV_SETTINGS_BONES, KRV_SETTINGS_TICKS_PER_FRAME, KRV_SETTINGS_DISTANCE_PER_FRAME,
          KRV_SETTINGS_FRAME_PER_FILE, KRV_SETTINGS_ONLY_BONES, KRV_SETTINGS_FRAME_RATE})
        EXPECT_TRUE(enabled(id)) << id;
}

TEST_F(SettingsDialogTest, OnlyBonesFollowsBonesAndFramePerFile) {
    ExportSettings settings = kDefaultExportSettings;
    settings.exportAnimation = 1;
    settings.exportBones = 0;
    ASSERT_TRUE(run(settings, {}));
    EXPECT_FALSE(enabled(KRV_SETTINGS_ONLY_BONES));
    ASSERT_TRUE(run(settings, {{KRV_SETTINGS_BONES, 1, ""}}));
    EXPECT_TRUE(enabled(KRV_SETTINGS_ONLY_BONES));
    ASSERT_TRUE(run(settings, {{KRV_SETTINGS_FRAME_PER_FILE, 1, ""}}));
    EXPECT_FALSE(enabled(KRV_SETTINGS_ONLY_BONES));
    EXPECT_EQ(settings.framePerFile, 1);
}

TEST_F(SettingsDialogTest, PhongScaleAndMaterialSwitches) {
    ExportSettings settings = kDefaultExportSettings;
    ASSERT_TRUE(run(settings, {{KRV_SETTINGS_SCALE_SCENE, 1, ""},
                               {KRV_SETTINGS_STANDARD_MATERIAL, 1, ""},
                               {KRV_SETTINGS_PHONG_ANGLE, 0, ""}}));
    for (int id : {KRV_SETTINGS_SMOOTHING_ANGLE, KRV_SETTINGS_SCALE_X, KRV_SETTINGS_SCALE_Y, KRV_SETTINGS_SCALE_Z,
                   KRV_SETTINGS_SPECULAR_POWER})
        EXPECT_TRUE(enabled(id)) << id;
    for (int color : {KRV_SETTINGS_FACE_COLOR, KRV_SETTINGS_SPECULAR_COLOR, KRV_SETTINGS_EMISSIVE_COLOR})
        for (int channel = 0; channel < 4; ++channel) EXPECT_TRUE(enabled(color + channel)) << color + channel;
    // Switched off again, the smoothing angle keeps its value.
    ASSERT_TRUE(run(settings, {{KRV_SETTINGS_PHONG_ANGLE, 1, ""}}));
    EXPECT_FALSE(enabled(KRV_SETTINGS_SMOOTHING_ANGLE));
    EXPECT_EQ(element(KRV_SETTINGS_SMOOTHING_ANGLE)->value->value, 80.0);
}

TEST_F(SettingsDialogTest, ScaleIsShownAndStoredInPercent) {
    ExportSettings settings = kDefaultExportSettings;
    ASSERT_TRUE(
        run(settings,
            {{KRV_SETTINGS_SCALE_SCENE, 1, ""}, {KRV_SETTINGS_SCALE_X, 250, ""}, {KRV_SETTINGS_SCALE_Y, 50, ""}}));
    EXPECT_EQ(settings.sceneScale.x, 2.5f);
    EXPECT_EQ(settings.sceneScale.y, 0.5f);
    EXPECT_EQ(settings.sceneScale.z, 1.0f);
    ASSERT_TRUE(run(settings, {}));
    EXPECT_EQ(element(KRV_SETTINGS_SCALE_X)->value->value, 250.0);
    EXPECT_EQ(element(KRV_SETTINGS_SCALE_Y)->value->value, 50.0);
    EXPECT_EQ(element(KRV_SETTINGS_SCALE_Z)->value->value, 100.0);
}

TEST_F(SettingsDialogTest, MaterialValuesComeBackInRecordOrder) {
    ExportSettings settings = kDefaultExportSettings;
    ASSERT_TRUE(run(settings, {{KRV_SETTINGS_STANDARD_MATERIAL, 1, ""},
                               {KRV_SETTINGS_FACE_COLOR, 0.25, ""},
                               {KRV_SETTINGS_SPECULAR_COLOR + 3, 0.5, ""},
                               {KRV_SETTINGS_EMISSIVE_COLOR + 3, 0.75, ""},
                               {KRV_SETTINGS_SPECULAR_POWER, 8, ""}}));
    EXPECT_EQ(settings.faceColor.red, 0.25f);
    EXPECT_EQ(settings.specularColor.alpha, 0.5f);
    EXPECT_EQ(settings.emissiveColor.alpha, 0.75f);
    EXPECT_EQ(settings.specularPower, 8.0f);
    EXPECT_EQ(settings.useStandardMaterial, 1);
}

TEST_F(SettingsDialogTest, CancelLeavesTheSettingsUntouched) {
    ExportSettings settings = kDefaultExportSettings;
    settings.sceneScale = {0.3f, 0.7f, 1.1f};
    const ExportSettings before = settings;
    EXPECT_FALSE(
        run(settings,
            {{KRV_SETTINGS_NORMALS, 0, ""}, {KRV_SETTINGS_SCALE_SCENE, 1, ""}, {KRV_SETTINGS_SCALE_X, 400, ""}}, true));
    EXPECT_EQ(describe(settings), describe(before));
}

TEST_F(SettingsDialogTest, CopiesNeedARecordAndSkipTheListing) {
    SettingsDialog dialog;
    EXPECT_EQ(dialog.copySettingsToDialog(nullptr), 0);
    EXPECT_EQ(dialog.copySettingsFromDialog(nullptr), 0);
    ExportSettings settings = kDefaultExportSettings;
    settings.debugListing = 1;
    dialog.copySettingsToDialog(&settings);
    ExportSettings back = kDefaultExportSettings;
    dialog.copySettingsFromDialog(&back);
    EXPECT_EQ(back.debugListing, 0);
}

}  // namespace
}  // namespace dorna
