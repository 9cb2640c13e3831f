// The settings dialog as the host shows it: layout, values, enabled states, and its
// reactions to the user's changes.
#include "settings/settings_dialog.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "host/host.h"
#include "korvo/host.h"
#include "module/host/host_spy.h"

namespace dorna {
namespace {

std::string kindName(int32_t kind) {
    switch (kind) {
        case KRV_ELEMENT_CHECKBOX: return "checkbox";
        case KRV_ELEMENT_STATIC: return "static";
        case KRV_ELEMENT_NUMBER: return "number";
        case KRV_ELEMENT_BUTTONS: return "buttons";
        default: return "kind " + std::to_string(kind);
    }
}

std::string number(double value) {
    char text[64];
    std::snprintf(text, sizeof(text), "%g", value);
    return text;
}

// One line per group or element, indented by nesting.
void render(const korvo::DialogNode& node, int depth, std::string& out) {
    for (const korvo::DialogNode& child : node.children) {
        std::string line(2 * depth, ' ');
        if (child.isGroup) {
            char border[16];
            std::snprintf(border, sizeof(border), "%08x", child.border);
            line += "group " + std::to_string(child.id) + (child.text ? " \"" + *child.text + "\"" : " -") +
                    " layout " + std::to_string(child.layout) + " columns " + std::to_string(child.columns) +
                    " rows " + std::to_string(child.rows) + " flags " + std::to_string(child.groupFlags) +
                    " border " + border + " spacing " + std::to_string(child.spacing[0]) + "," +
                    std::to_string(child.spacing[1]) + " space " + std::to_string(child.borderSpace[0]) + "," +
                    std::to_string(child.borderSpace[1]) + "," + std::to_string(child.borderSpace[2]) + "," +
                    std::to_string(child.borderSpace[3]);
        } else {
            line += kindName(child.kind) + " " + std::to_string(child.id) +
                    (child.text ? " \"" + *child.text + "\"" : "") + " layout " + std::to_string(child.layout) +
                    " width " + std::to_string(child.width) + " extra " + std::to_string(child.extra);
            if (child.value) line += " = " + number(child.value->value);
            if (!child.enabled) line += " (disabled)";
        }
        out += line + "\n";
        if (child.isGroup) render(child, depth + 1, out);
    }
}

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

    korvo::Host host;
};

TEST_F(SettingsDialogTest, LayoutValuesAndEnabledStatesWithTheDefaults) {
    ExportSettings settings = kDefaultExportSettings;
    ASSERT_TRUE(run(settings, {}));
    const korvo::DialogSnapshot& shown = host.dialogRuns()[0].shown;
    ASSERT_TRUE(shown.title.has_value());
    EXPECT_EQ(*shown.title, "Dorna - Export settings");
    std::string layout;
    render(shown.root, 0, layout);
    EXPECT_EQ(layout,
              "group 10002 \"Generals\" layout 9 columns 1 rows 0 flags 0 border 80000007 spacing 4,4 space 4,4,4,4\n"
              "  group 0 \"Vertices/Normals\" layout 57 columns 1 rows 0 flags 0 border 80000001 spacing 4,4 space 4,4,4,4\n"
              "    group 0 - layout 57 columns 2 rows 0 flags 0 border 00000000 spacing 4,4 space 4,4,4,4\n"
              "      static 10003 \"Smoothing angle\" layout 56 width 150 extra 0\n"
              "      number 10004 layout 16 width 70 extra 0 = 80 (disabled)\n"
              "    checkbox 10040 \"Read smoothing-angle from PhongTag (if available)\" layout 8 width 0 extra 0 = 1\n"
              "    checkbox 10050 \"Use normal tags\" layout 8 width 0 extra 0 = 0\n"
              "  group 10005 \"\" layout 57 columns 1 rows 0 flags 0 border 00000001 spacing 4,4 space 4,4,4,4\n"
              "    checkbox 10046 \"Add unique number to each entity name\" layout 8 width 0 extra 0 = 1\n"
              "    checkbox 10006 \"Export normals\" layout 8 width 0 extra 0 = 1\n"
              "    checkbox 10007 \"Export textures\" layout 8 width 0 extra 0 = 1\n"
              "    checkbox 10008 \"Export frames\" layout 8 width 0 extra 0 = 1\n"
              "    checkbox 10037 \"Export bones\" layout 8 width 0 extra 0 = 1\n"
              "    checkbox 10009 \"Export animation\" layout 8 width 0 extra 0 = 0\n"
              "    group 10010 \"Animationthresholds\" layout 0 columns 2 rows 0 flags 0 border 80000009 spacing 4,4 space 4,4,4,4\n"
              "      static 0 \"Ticks per frame\" layout 0 width 250 extra 0\n"
              "      number 10011 layout 0 width 70 extra 0 = 40 (disabled)\n"
              "      static 0 \"Distance per frame\" layout 0 width 250 extra 0\n"
              "      number 10039 layout 0 width 70 extra 0 = 1 (disabled)\n"
              "      checkbox 10047 \"Each frame to separat file\" layout 8 width 0 extra 0 = 0 (disabled)\n"
              "      checkbox 10038 \"Only bones\" layout 8 width 0 extra 0 = 1 (disabled)\n"
              "      checkbox 10048 \"Write frame rate (AnimTicksPerSecond)\" layout 8 width 0 extra 0 = 0 (disabled)\n"
              "      checkbox 10051 \"Export all takes\" layout 8 width 0 extra 0 = 0 (disabled)\n"
              "    checkbox 10041 \"Scale Scene\" layout 8 width 0 extra 0 = 0\n"
              "    group 10045 \"Scaling (percent)\" layout 0 columns 6 rows 0 flags 0 border 80000009 spacing 4,4 space 4,4,4,4\n"
              "      static 0 \"X\" layout 0 width 20 extra 0\n"
              "      number 10042 layout 0 width 50 extra 0 = 100 (disabled)\n"
              "      static 0 \"Y\" layout 0 width 20 extra 0\n"
              "      number 10043 layout 0 width 50 extra 0 = 100 (disabled)\n"
              "      static 0 \"Z\" layout 0 width 20 extra 0\n"
              "      number 10044 layout 0 width 50 extra 0 = 100 (disabled)\n"
              "    checkbox 10012 \"Use standard-material\" layout 8 width 0 extra 0 = 0\n"
              "    group 10010 \"Standard-material\" layout 0 columns 5 rows 0 flags 0 border 80000009 spacing 4,4 space 4,4,4,4\n"
              "      static 0 \"Channel\" layout 0 width 120 extra 9\n"
              "      static 0 \"Red\" layout 0 width 50 extra 9\n"
              "      static 0 \"Green\" layout 0 width 50 extra 9\n"
              "      static 0 \"Blue\" layout 0 width 50 extra 9\n"
              "      static 0 \"Alpha\" layout 0 width 50 extra 9\n"
              "      static 0 \"Facecolor\" layout 0 width 120 extra 0\n"
              "      number 10020 layout 0 width 50 extra 0 = 0.7 (disabled)\n"
              "      number 10021 layout 0 width 50 extra 0 = 0.7 (disabled)\n"
              "      number 10022 layout 0 width 50 extra 0 = 0.7 (disabled)\n"
              "      number 10023 layout 0 width 50 extra 0 = 1 (disabled)\n"
              "      static 0 \"Specular-Color\" layout 0 width 120 extra 0\n"
              "      number 10025 layout 0 width 50 extra 0 = 0.7 (disabled)\n"
              "      number 10026 layout 0 width 50 extra 0 = 0.7 (disabled)\n"
              "      number 10027 layout 0 width 50 extra 0 = 0.7 (disabled)\n"
              "      number 10028 layout 0 width 50 extra 0 = 1 (disabled)\n"
              "      static 0 \"Emissive-Color\" layout 0 width 120 extra 0\n"
              "      number 10030 layout 0 width 50 extra 0 = 0 (disabled)\n"
              "      number 10031 layout 0 width 50 extra 0 = 0 (disabled)\n"
              "      number 10032 layout 0 width 50 extra 0 = 0 (disabled)\n"
              "      number 10033 layout 0 width 50 extra 0 = 1 (disabled)\n"
              "      static 0 \"Specular-Power\" layout 0 width 120 extra 0\n"
              "      number 10035 layout 0 width 50 extra 0 = 2 (disabled)\n"
              "static 0 \"Dorna Version 1.22\" layout 0 width 500 extra 0\n"
              "static 0 \"Writes DirectX .x text files (xof 0302txt 0032)\" layout 0 width 250 extra 0\n"
              "buttons 0 layout 0 width 0 extra 3\n");
    // Confirmed unchanged: the record comes back as it went in.
    EXPECT_EQ(describe(settings), describe(kDefaultExportSettings));
}

TEST_F(SettingsDialogTest, FillControlsSetsValuesInOrderAndTheirRanges) {
    dorna_test::HostSpy spy(host.root());
    setHost(spy.root());
    ExportSettings settings = kDefaultExportSettings;
    ASSERT_TRUE(run(settings, {}));
    std::vector<std::string> expected;
    for (int id : {10040, 10006, 10007, 10008, 10037, 10009, 10012, 10038, 10041, 10046, 10047, 10048, 10050,
                   10051, 10011, 10039, 10004, 10042, 10043, 10044, 10020, 10021, 10022, 10023, 10025, 10026,
                   10027, 10028, 10030, 10031, 10032, 10033, 10035})
        expected.push_back("set_value " + std::to_string(id));
    EXPECT_EQ(spy.callsStartingWith("set_value"), expected);

    const korvo::DialogValue& flag = *element(10006)->value;
    EXPECT_FALSE(flag.isReal);
    EXPECT_EQ(flag.minimum, 0);
    EXPECT_EQ(flag.maximum, 1);
    EXPECT_EQ(flag.step, 0);
    EXPECT_EQ(flag.format, KRV_FOURCC('f', 'l', 'n', 'g'));
    const korvo::DialogValue& integer = *element(10011)->value;
    EXPECT_FALSE(integer.isReal);
    EXPECT_EQ(integer.minimum, -2147483647);
    EXPECT_EQ(integer.maximum, 2147483647);
    EXPECT_EQ(integer.step, 1);
    const korvo::DialogValue& real = *element(10035)->value;
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
        {10004, 11}, {10011, 12}, {10039, 13}, {10042, 25}, {10043, 50}, {10044, 75}, {10020, 21}, {10021, 22},
        {10022, 23}, {10023, 24}, {10025, 26}, {10026, 27}, {10027, 28}, {10028, 29}, {10030, 31}, {10031, 32},
        {10032, 33}, {10033, 34}, {10035, 35},
    };
    for (const auto& [id, value] : shown) EXPECT_EQ(element(id)->value->value, value) << id;
    EXPECT_EQ(describe(settings), describe(numbers));

    const std::pair<int, bool ExportSettings::*> flags[] = {
        {10040, &ExportSettings::readPhongAngle}, {10006, &ExportSettings::exportNormals},
        {10007, &ExportSettings::exportTextures}, {10008, &ExportSettings::exportFrames},
        {10037, &ExportSettings::exportBones},    {10009, &ExportSettings::exportAnimation},
        {10012, &ExportSettings::useStandardMaterial}, {10038, &ExportSettings::onlyBones},
        {10041, &ExportSettings::scaleScene},     {10046, &ExportSettings::uniqueNames},
        {10047, &ExportSettings::framePerFile},   {10048, &ExportSettings::writeFrameRate},
        {10050, &ExportSettings::useNormalTags},  {10051, &ExportSettings::exportAllTakes},
    };
    for (const auto& [onId, onField] : flags) {
        for (const auto& flag : flags) settings.*flag.second = false;
        settings.*onField = true;
        ASSERT_TRUE(run(settings, {}));
        for (const auto& [id, field] : flags) {
            EXPECT_EQ(element(id)->value->value, id == onId ? 1 : 0) << onId << " on, " << id << " shown";
            EXPECT_EQ(settings.*field, id == onId) << onId << " on, " << id << " stored";
        }
    }
}

TEST_F(SettingsDialogTest, SmoothingAngleIsClampedToZeroTo180) {
    ExportSettings settings = kDefaultExportSettings;
    ASSERT_TRUE(run(settings, {{10040, 0, ""}, {10004, 200, ""}}));
    EXPECT_EQ(settings.smoothingAngle, 180.0f);
    EXPECT_EQ(element(10004)->value->value, 180.0);
    ASSERT_TRUE(run(settings, {{10004, -5, ""}}));
    EXPECT_EQ(settings.smoothingAngle, 0.0f);
    ASSERT_TRUE(run(settings, {{10004, 45.5, ""}}));
    EXPECT_EQ(settings.smoothingAngle, 45.5f);
}

TEST_F(SettingsDialogTest, DistanceAndTicksPerFrameAreAtLeastOne) {
    ExportSettings settings = kDefaultExportSettings;
    ASSERT_TRUE(run(settings, {{10009, 1, ""}, {10039, 0, ""}, {10011, 0, ""}}));
    EXPECT_EQ(settings.distancePerFrame, 1);
    EXPECT_EQ(element(10039)->value->value, 1.0);
    EXPECT_EQ(settings.ticksPerFrame, 1);
    EXPECT_EQ(element(10011)->value->value, 1.0);
    ASSERT_TRUE(run(settings, {{10039, -3, ""}}));
    EXPECT_EQ(settings.distancePerFrame, 1);
    ASSERT_TRUE(run(settings, {{10039, 5, ""}, {10011, -7, ""}}));
    EXPECT_EQ(settings.distancePerFrame, 5);
    EXPECT_EQ(settings.ticksPerFrame, 1);
}

TEST_F(SettingsDialogTest, FramesGovernAnimationAndBones) {
    ExportSettings settings = kDefaultExportSettings;
    ASSERT_TRUE(run(settings, {{10008, 0, ""}}));
    for (int id : {10009, 10037, 10011, 10039, 10047, 10038, 10048}) EXPECT_FALSE(enabled(id)) << id;

    settings.exportAnimation = 1;
    ASSERT_TRUE(run(settings, {{10008, 1, ""}}));
    for (int id : {10009, 10037, 10011, 10039, 10047, 10038, 10048}) EXPECT_TRUE(enabled(id)) << id;
}

TEST_F(SettingsDialogTest, OnlyBonesFollowsBonesAndFramePerFile) {
    ExportSettings settings = kDefaultExportSettings;
    settings.exportAnimation = 1;
    settings.exportBones = 0;
    ASSERT_TRUE(run(settings, {}));
    EXPECT_FALSE(enabled(10038));
    ASSERT_TRUE(run(settings, {{10037, 1, ""}}));
    EXPECT_TRUE(enabled(10038));
    ASSERT_TRUE(run(settings, {{10047, 1, ""}}));
    EXPECT_FALSE(enabled(10038));
    EXPECT_EQ(settings.framePerFile, 1);
}

TEST_F(SettingsDialogTest, PhongScaleAndMaterialSwitches) {
    ExportSettings settings = kDefaultExportSettings;
    ASSERT_TRUE(run(settings, {{10041, 1, ""}, {10012, 1, ""}, {10040, 0, ""}}));
    for (int id : {10004, 10042, 10043, 10044, 10020, 10023, 10028, 10033, 10035}) EXPECT_TRUE(enabled(id)) << id;
    // Switched off again, the smoothing angle keeps its value.
    ASSERT_TRUE(run(settings, {{10040, 1, ""}}));
    EXPECT_FALSE(enabled(10004));
    EXPECT_EQ(element(10004)->value->value, 80.0);
}

TEST_F(SettingsDialogTest, ScaleIsShownAndStoredInPercent) {
    ExportSettings settings = kDefaultExportSettings;
    ASSERT_TRUE(run(settings, {{10041, 1, ""}, {10042, 250, ""}, {10043, 50, ""}}));
    EXPECT_EQ(settings.sceneScale.x, 2.5f);
    EXPECT_EQ(settings.sceneScale.y, 0.5f);
    EXPECT_EQ(settings.sceneScale.z, 1.0f);
    ASSERT_TRUE(run(settings, {}));
    EXPECT_EQ(element(10042)->value->value, 250.0);
    EXPECT_EQ(element(10043)->value->value, 50.0);
    EXPECT_EQ(element(10044)->value->value, 100.0);
}

TEST_F(SettingsDialogTest, MaterialValuesComeBackInRecordOrder) {
    ExportSettings settings = kDefaultExportSettings;
    ASSERT_TRUE(run(settings, {{10012, 1, ""}, {10020, 0.25, ""}, {10028, 0.5, ""}, {10033, 0.75, ""},
                               {10035, 8, ""}}));
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
    EXPECT_FALSE(run(settings, {{10006, 0, ""}, {10041, 1, ""}, {10042, 400, ""}}, true));
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
