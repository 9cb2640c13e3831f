// The module spine across the real boundary: the built library loaded by the host, its
// one exported symbol, and exports through the korvo command. What the module registers
// is asserted once, by the registration's unit test (tests/module/plugin).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <set>
#include <sstream>
#include <string>

#include "e2e/harness.h"

namespace korvo::e2e {
namespace {

const std::string kRootOpening = "Frame DORNA_ROOT {\r\n";
const std::string kRootClosing = "\r\n}\r\n";
constexpr size_t kBlockSize = 3103;

const char* const kScene = R"({ "korvo": 1, "fps": 30, "endTime": 3.0,
  "objects": [ { "name": "Empty", "type": "null" } ] })";

// The fixed block's outline; its exact text is checked by the module's unit tests.
void expectHeaderBlock(const std::string& content) {
    ASSERT_GE(content.size(), kBlockSize);
    const std::string block = content.substr(0, kBlockSize);
    size_t lines = 0;
    for (size_t at = block.find("\r\n"); at != std::string::npos; at = block.find("\r\n", at + 2)) ++lines;
    EXPECT_EQ(lines, 165u);
    EXPECT_EQ(block.substr(0, 28), "xof 0302txt 0032\r\nHeader {\r\n");
    EXPECT_EQ(block.substr(kBlockSize - 33), " Matrix4x4 matrixOffset;\r\n}\r\n\r\n\r\n");
}

TEST(SpineLibrary, ExportsOnlyTheEntryPoint) {
    FILE* pipe = popen((std::string("nm -D --defined-only '") + DORNA_MODULE_PATH + "'").c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::set<std::string> names;
    char line[1024];
    while (std::fgets(line, sizeof(line), pipe)) {
        std::istringstream fields(line);
        std::string address, type, name;
        fields >> address >> type >> name;
        if (!name.empty()) names.insert(name);
    }
    ASSERT_EQ(pclose(pipe), 0);
    EXPECT_EQ(names, (std::set<std::string>{"krv_main"}));
}

TEST(SpineLibrary, SettingsStayWhileTheModuleIsLoaded) {
    TempFolder folder;
    writeFile(folder / "scene.korvo.json", kScene);
    ModuleSession session;
    Scene scene;
    SceneObject empty;
    empty.name = "Empty";
    scene.objects.push_back(empty);
    KrvDocument document = session.host.loadDocument(scene);
    DialogScript first;
    first.changes = {{KRV_SETTINGS_NORMALS, 0, ""}, {KRV_SETTINGS_SCALE_SCENE, 1, ""}, {KRV_SETTINGS_SCALE_X, 250, ""}};
    EXPECT_EQ(session.save(document, folder / "a.x"), 0);
    EXPECT_EQ(session.save(document, folder / "b.x", first), 0);
    EXPECT_EQ(session.save(document, folder / "c.x"), 0);
    ASSERT_EQ(session.host.dialogRuns().size(), 3u);
    const std::string scaled = readFile(folder / "c.x");
    EXPECT_NE(scaled.find(kRootOpening + "FrameTransformMatrix {\r\n2.500000, 0.000000, 0.000000, 0.000000,\r\n"),
              std::string::npos);
    EXPECT_EQ(readFile(folder / "b.x"), scaled);
    EXPECT_EQ(readFile(folder / "a.x").find("FrameTransformMatrix {\r\n2.5"), std::string::npos);
}

class SpineCommand : public ::testing::Test {
protected:
    void SetUp() override { writeFile(folder / "scene.korvo.json", kScene); }
    CommandResult run(const std::vector<std::string>& arguments) {
        return runKorvo(arguments, folder.path(), {{"KORVO_CHECK_LEAKS", "1"}});
    }
    TempFolder folder;
};

TEST_F(SpineCommand, ExportWritesHeaderRootFrameAndClosing) {
    const CommandResult r = run({"export", "scene.korvo.json", "-o", "scene.x"});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string content = readFile(folder / "scene.x");
    expectHeaderBlock(content);
    EXPECT_EQ(content.substr(kBlockSize, kRootOpening.size()), kRootOpening);
    EXPECT_EQ(content.substr(content.size() - kRootClosing.size()), kRootClosing);
}

TEST_F(SpineCommand, ScaledRootFrame) {
    const CommandResult r = run({"export", "scene.korvo.json", "-o", "scene.x", "--scale-scene", "--scale", "200,50,-100"});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string expected = kRootOpening +
                                 "FrameTransformMatrix {\r\n"
                                 "2.000000, 0.000000, 0.000000, 0.000000,\r\n"
                                 "0.000000, 0.500000, 0.000000, 0.000000,\r\n"
                                 "0.000000, 0.000000, -1.000000, 0.000000,\r\n"
                                 "0.000000, 0.000000, 0.000000, 1.000000;;}\r\n";
    EXPECT_EQ(readFile(folder / "scene.x").substr(kBlockSize, expected.size()), expected);
}

TEST_F(SpineCommand, WithoutFramesTheFileHoldsNoRootFrame) {
    const CommandResult r = run({"export", "scene.korvo.json", "-o", "scene.x", "--no-frames", "--scale-scene"});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string content = readFile(folder / "scene.x");
    expectHeaderBlock(content);
    EXPECT_EQ(content.find("DORNA_ROOT"), std::string::npos);
}

TEST_F(SpineCommand, OneFilePerExportedFrame) {
    const CommandResult r = run({"export", "scene.korvo.json", "-o", "walk.x", "--animation", "--frame-per-file",
                                 "--distance-per-frame", "4"});
    ASSERT_EQ(r.status, 0) << r.err;
    std::vector<std::string> expected;
    for (int i = 0; i < 22; ++i) expected.push_back("walk_" + std::to_string(i) + ".x");
    expected.push_back("scene.korvo.json");
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(folder.entries(), expected);
}

// The host's allocations during a save come in this order: the saver, the dialog, the
// file object, the working copy.
TEST_F(SpineCommand, AFileObjectTheHostCannotGiveFailsTheExport) {
    const CommandResult r =
        runKorvo({"export", "scene.korvo.json", "-o", "scene.x"}, folder.path(),
                 {{"KORVO_CHECK_LEAKS", "1"}, {"KORVO_FAIL_ALLOC", "3"}});
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_NE(r.err.find("Dorna: Couldn\xC2\xB4t create File!\n"), std::string::npos) << r.err;
    EXPECT_EQ(folder.entries(), (std::vector<std::string>{"scene.korvo.json"}));
}

TEST_F(SpineCommand, AWorkingCopyTheHostCannotGiveFailsTheExport) {
    const CommandResult r =
        runKorvo({"export", "scene.korvo.json", "-o", "scene.x"}, folder.path(),
                 {{"KORVO_CHECK_LEAKS", "1"}, {"KORVO_FAIL_ALLOC", "4"}});
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_NE(r.err.find("-7"), std::string::npos) << r.err;
    EXPECT_EQ(folder.entries(), (std::vector<std::string>{"scene.korvo.json"}));
}

TEST_F(SpineCommand, TheDialogCorrectsAngleAndDistance) {
    const CommandResult r = run({"dialog", "--no-phong-angle", "--smoothing-angle", "200", "--animation",
                                 "--distance-per-frame", "0"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("number " + std::to_string(KRV_SETTINGS_SMOOTHING_ANGLE) + " = 180\n"), std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("number " + std::to_string(KRV_SETTINGS_DISTANCE_PER_FRAME) + " = 1\n"), std::string::npos)
        << r.out;
}

}  // namespace
}  // namespace korvo::e2e
