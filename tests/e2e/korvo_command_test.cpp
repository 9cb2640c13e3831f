// The korvo command as a user runs it: exit statuses, one clear line per failure,
// no partial output, the dialog options and the test switches of the environment.
#include <gtest/gtest.h>

#include "e2e/harness.h"

namespace korvo::e2e {
namespace {

const char* const kScene = R"({
  "korvo": 1, "fps": 30, "endTime": 0.2,
  "materials": [ { "name": "Skin", "color": { "on": true, "value": [0.8, 0.6, 0.5], "texture": "skin.png" } } ],
  "objects": [
    { "name": "Arm", "type": "polygon", "position": [1, 2, 3], "rotation": [0.3, 0.2, 0.1],
      "points": [[0,0,0], [1,0,0], [1,1,0], [0,1,0]], "polygons": [[0,1,2,3]],
      "uvw": [[[0,0], [1,0], [1,1], [0,1]]], "texture": { "material": "Skin" },
      "weights": { "bone1": [1, 0.5, 0, 0] },
      "animation": { "position": [[0, 1,2,3], [6, 2,2,3]] },
      "children": [ { "name": "Box", "type": "cube" } ] },
    { "name": "Bone", "id": "bone1", "type": "bone", "rest": { "position": [0, 1, 0] },
      "animation": { "rotation": [[0, 0,0,0], [6, 0,1,0]] } }
  ] })";

class KorvoCommand : public ::testing::Test {
protected:
    void SetUp() override { writeFile(folder / "scene.korvo.json", kScene); }
    CommandResult run(const std::vector<std::string>& arguments, const std::map<std::string, std::string>& env = {}) {
        return runKorvo(arguments, folder.path(), env);
    }
    TempFolder folder;
};

TEST_F(KorvoCommand, ExportWritesTheFileAndEndsWithOneSummaryLine) {
    const CommandResult r = run({"export", "scene.korvo.json", "-o", "scene.x"}, {{"KORVO_CHECK_LEAKS", "1"}});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(readFile(folder / "scene.x").substr(0, 18), "xof 0302txt 0032\r\n");
    EXPECT_EQ(r.err.rfind("korvo: wrote 1 file (scene.x), "), r.err.find("korvo: wrote")) << r.err;
    EXPECT_NE(r.err.find(", 3 objects, "), std::string::npos) << r.err;
    EXPECT_EQ(folder.entries(), (std::vector<std::string>{"scene.korvo.json", "scene.x"}));
}

TEST_F(KorvoCommand, OneFilePerFrame) {
    const CommandResult r = run({"export", "scene.korvo.json", "-o", "anim.x", "--animation", "--frame-per-file",
                                 "--distance-per-frame", "2"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(folder.entries(),
              (std::vector<std::string>{"anim_0.x", "anim_1.x", "anim_2.x", "scene.korvo.json"}));
    EXPECT_NE(r.err.find("korvo: wrote 3 files (anim_0.x .. anim_2.x), "), std::string::npos) << r.err;
}

TEST_F(KorvoCommand, BadInputIsRefusedWithStatusTwoAndNoOutput) {
    writeFile(folder / "bad.korvo.json", R"({"korvo": 1, "objects": [{"type": "polygon", "polygons": [[0,1,2]]}]})");
    writeFile(folder / "earlier.x", "earlier");
    const struct {
        std::vector<std::string> arguments;
        std::string message;
    } cases[] = {
        {{"export", "bad.korvo.json", "-o", "earlier.x"}, "korvo: bad.korvo.json: objects[0].polygons[0]"},
        {{"export", "missing.korvo.json", "-o", "earlier.x"}, "missing.korvo.json"},
        {{"export", "scene.korvo.json", "-o", "nowhere/out.x"}, "korvo: cannot write nowhere/out.x: the folder nowhere does not exist\n"},
        {{"export", "scene.korvo.json", "-o", "earlier.x", "--no-frames", "--animation"},
         "korvo: --animation needs --frames: \"Export animation\" stays disabled in the settings dialog"},
        {{"export", "scene.korvo.json", "-o", "earlier.x", "--smoothing-angle", "30"},
         "korvo: --smoothing-angle needs --no-phong-angle: \"Smoothing angle\" stays disabled"},
        {{"export", "scene.korvo.json", "-o", "earlier.x", "--scale-scene", "--scale", "1,2"},
         "korvo: --scale needs three finite decimal numbers X,Y,Z, not \"1,2\"\n"},
        {{"export", "scene.korvo.json", "-o", "earlier.x", "--ticks-per-frame", "2.5"},
         "korvo: --ticks-per-frame needs a whole 32-bit number, not \"2.5\"\n"},
        {{"export", "scene.korvo.json", "-o", "earlier.x", "--frobnicate"}, "--frobnicate"},
        {{"export", "scene.korvo.json"}, "--output"},
        {{"export", "scene.korvo.json", "-o", "earlier.x", "--module", "no/such.so"}, "korvo: the module no/such.so does not exist"},
    };
    for (const auto& c : cases) {
        const CommandResult r = run(c.arguments);
        EXPECT_EQ(r.status, 2) << c.message << "\n" << r.err;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        EXPECT_EQ(readFile(folder / "earlier.x"), "earlier");
    }
    EXPECT_EQ(folder.entries(), (std::vector<std::string>{"bad.korvo.json", "earlier.x", "scene.korvo.json"}));
}

TEST_F(KorvoCommand, OptionsApplyInDependencyOrderWhateverTheirOrderOnTheLine) {
    const CommandResult r = run({"export", "scene.korvo.json", "-o", "out.x", "--only-bones", "--no-frame-per-file",
                                 "--scale", "50,50,50", "--scale-scene", "--smoothing-angle", "45", "--no-phong-angle",
                                 "--animation"});
    EXPECT_EQ(r.status, 0) << r.err;
}

TEST_F(KorvoCommand, CancelWritesNothing) {
    const CommandResult r = run({"export", "scene.korvo.json", "-o", "out.x", "--cancel"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("korvo: export cancelled, nothing written\n"), std::string::npos) << r.err;
    EXPECT_EQ(folder.entries(), std::vector<std::string>{"scene.korvo.json"});
}

TEST_F(KorvoCommand, ADialogThatCannotBeShownFailsTheExport) {
    // The dialog is among the save's first allocations: one of them refuses it.
    bool seen = false;
    for (int n = 1; n <= 5 && !seen; ++n) {
        const CommandResult r = run({"export", "scene.korvo.json", "-o", "out.x"}, {{"KORVO_FAIL_ALLOC", std::to_string(n)}});
        seen = r.err.find("korvo: the export to out.x failed: the settings dialog could not be shown, nothing written\n") !=
               std::string::npos;
        if (seen) {
            EXPECT_EQ(r.status, 1) << r.err;
        }
    }
    EXPECT_TRUE(seen);
    EXPECT_EQ(folder.entries(), std::vector<std::string>{"scene.korvo.json"});
}

TEST_F(KorvoCommand, DialogPrintsTheSettingsAfterTheOptions) {
    const CommandResult r = run({"dialog", "--no-frames", "--standard-material", "--face-color", "1,0.5,0,1"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.find("title \"Dorna - Export settings\"\n"), 0u) << r.out;
    const auto id = [](int element) { return std::to_string(element); };
    for (const std::string& line : {"    checkbox " + id(KRV_SETTINGS_FRAMES) + " \"Export frames\" = off\n",
                                    "    checkbox " + id(KRV_SETTINGS_ANIMATION) +
                                        " \"Export animation\" = off (disabled)\n",
                                    "    checkbox " + id(KRV_SETTINGS_STANDARD_MATERIAL) +
                                        " \"Use standard-material\" = on\n",
                                    "      number " + id(KRV_SETTINGS_FACE_COLOR + 1) + " = 0.5\n",
                                    "      number " + id(KRV_SETTINGS_SPECULAR_POWER) + " = 2\n"})
        EXPECT_NE(r.out.find(line), std::string::npos) << line << "\n" << r.out;
    EXPECT_EQ(run({"dialog", "--no-frames", "--bones"}).status, 2);
}

TEST_F(KorvoCommand, EveryRefusedAllocationEndsCleanly) {
    // Refuse the first, second, ... allocation of the save until none is left to refuse:
    // each run ends with status 0 or 1, one line saying why, and nothing left alive.
    int n = 1;
    for (; n < 100000; ++n) {
        const CommandResult r = run({"export", "scene.korvo.json", "-o", "out.x"},
                                    {{"KORVO_FAIL_ALLOC", std::to_string(n)}, {"KORVO_CHECK_LEAKS", "1"}});
        ASSERT_TRUE(r.status == 0 || r.status == 1) << "allocation " << n << ": status " << r.status << "\n" << r.err;
        if (r.err.find("refused nothing") != std::string::npos) break;
    }
    EXPECT_GT(n, 10);
}

}  // namespace
}  // namespace korvo::e2e
