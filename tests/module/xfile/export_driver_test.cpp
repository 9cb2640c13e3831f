// The export driver: which files a save writes, under which names, and what it
// answers when the host cannot give what a file needs.
#include "xfile/export_driver.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/host.h"
#include "file_text.h"
#include "korvo/host/host.h"
#include "module/host/host_spy.h"
#include "settings/export_settings.h"
#include "xfile/header.h"

namespace dorna {
namespace {

using testfiles::exists;
using testfiles::readFile;


const std::string kBlock(kFixedHeaderBlock, kFixedHeaderBlockSize);
const std::string kRootOpening = "Frame DORNA_ROOT {\r\n";
const std::string kRootClosing = "\r\n}\r\n";

korvo::Scene sceneOf(double endSeconds, int32_t fps) {
    korvo::Scene scene;
    scene.fps = fps;
    scene.end = korvo::Time{endSeconds, 1.0};
    korvo::SceneObject empty;
    empty.name = "Empty";
    empty.type = korvo::ObjectType::Null;
    scene.objects.push_back(empty);
    return scene;
}

korvo::DialogChange change(int32_t id, double value) { return korvo::DialogChange{id, value, ""}; }

class ExportDriver : public ::testing::Test {
protected:
    ExportDriver() : spy(host.root()) {
        setHost(spy.root());
    }
    ~ExportDriver() override { setHost(nullptr); }

    std::string path(const std::string& name) const { return directory + "/" + name; }

    int32_t save(const std::string& target, KrvDocument document, std::vector<korvo::DialogChange> changes = {},
                 int32_t flags = 1) {
        korvo::DialogScript script;
        script.changes = std::move(changes);
        host.setDialogScript(script);
        spy.calls.clear();
        int32_t result;
        {
            HostFileName name;
            name.setFromString(HostString(target.c_str()));
            result = saveScene(remembered, name.get(), document, flags);
        }
        EXPECT_EQ(host.liveCounts().total(), 0) << ::testing::PrintToString(host.leakReport());
        EXPECT_TRUE(host.faults().empty()) << ::testing::PrintToString(host.faults());
        return result;
    }

    std::vector<std::string> writtenNames() const {
        std::vector<std::string> names;
        for (const korvo::WrittenFile& file : host.writtenFiles())
            names.push_back(file.path.substr(directory.size() + 1));
        return names;
    }

    korvo::Host host;
    dorna_test::HostSpy spy;
    testfiles::ScratchFolder scratch{"driver"};
    const std::string directory = scratch.path();
    // The user's choices between saves, as the module keeps them.
    ExportSettings remembered = kDefaultExportSettings;
};

TEST_F(ExportDriver, WithoutBitZeroNothingHappens) {
    KrvDocument document = host.loadDocument(sceneOf(3, 30));
    EXPECT_EQ(save(path("scene.x"), document, {}, 0), 0);
    EXPECT_EQ(save(path("scene.x"), document, {}, 2), 0);
    EXPECT_TRUE(host.dialogRuns().empty());
    EXPECT_TRUE(host.writtenFiles().empty());
}

TEST_F(ExportDriver, DefaultsWriteOneFileWithTheRootFrame) {
    KrvDocument document = host.loadDocument(sceneOf(3, 30));
    EXPECT_EQ(save(path("scene.x"), document), 0);
    EXPECT_EQ(writtenNames(), (std::vector<std::string>{"scene.x"}));
    const std::string content = readFile(path("scene.x"));
    EXPECT_EQ(content.substr(0, kBlock.size() + kRootOpening.size()), kBlock + kRootOpening);
    EXPECT_EQ(content.substr(content.size() - kRootClosing.size()), kRootClosing);
    // The time of the working copy is left as the host delivers it.
    EXPECT_TRUE(spy.callsStartingWith("set_time").empty());
}

TEST_F(ExportDriver, WithoutFramesThereIsNoRootFrame) {
    KrvDocument document = host.loadDocument(sceneOf(3, 30));
    EXPECT_EQ(save(path("scene.x"), document, {change(KRV_SETTINGS_ANIMATION, 1), change(KRV_SETTINGS_FRAMES, 0)}), 0);
    EXPECT_EQ(readFile(path("scene.x")), kBlock);
}

TEST_F(ExportDriver, FramePerFileWritesOneFilePerFrame) {
    KrvDocument document = host.loadDocument(sceneOf(3, 30));
    EXPECT_EQ(
        save(path("scene.x"), document, {change(KRV_SETTINGS_ANIMATION, 1), change(KRV_SETTINGS_FRAME_PER_FILE, 1)}),
        0);
    std::vector<std::string> expected;
    for (int i = 0; i < 90; ++i) expected.push_back("scene_" + std::to_string(i) + ".x");
    EXPECT_EQ(writtenNames(), expected);
    EXPECT_FALSE(exists(path("scene.x")));
    // Every file is complete on its own.
    const std::string last = readFile(path("scene_89.x"));
    EXPECT_EQ(last.substr(0, kBlock.size() + kRootOpening.size()), kBlock + kRootOpening);
    EXPECT_EQ(last.substr(last.size() - kRootClosing.size()), kRootClosing);
}

TEST_F(ExportDriver, DistancePerFrameStepsThroughTheFrames) {
    KrvDocument document = host.loadDocument(sceneOf(3, 30));
    EXPECT_EQ(save(path("scene.x"), document,
                   {change(KRV_SETTINGS_ANIMATION, 1), change(KRV_SETTINGS_FRAME_PER_FILE, 1),
                    change(KRV_SETTINGS_DISTANCE_PER_FRAME, 4)}),
              0);
    ASSERT_EQ(host.writtenFiles().size(), 22u);
    EXPECT_EQ(writtenNames().back(), "scene_21.x");
    std::vector<std::string> times;
    for (int frame = 0; frame <= 84; frame += 4) times.push_back("set_time 1000 " + std::to_string(frame) + "/30");
    EXPECT_EQ(spy.callsStartingWith("set_time"), times);
}

TEST_F(ExportDriver, FramePerFileWithoutAnimationWritesOneFile) {
    KrvDocument document = host.loadDocument(sceneOf(3, 30));
    EXPECT_EQ(save(path("scene.x"), document,
                   {change(KRV_SETTINGS_ANIMATION, 1), change(KRV_SETTINGS_FRAME_PER_FILE, 1),
                    change(KRV_SETTINGS_ANIMATION, 0)}),
              0);
    EXPECT_EQ(writtenNames(), (std::vector<std::string>{"scene.x"}));
}

TEST_F(ExportDriver, AnEndBeforeOneStepWritesNothing) {
    KrvDocument document = host.loadDocument(sceneOf(0.1, 30));
    EXPECT_EQ(save(path("scene.x"), document,
                   {change(KRV_SETTINGS_ANIMATION, 1), change(KRV_SETTINGS_FRAME_PER_FILE, 1),
                    change(KRV_SETTINGS_DISTANCE_PER_FRAME, 4)}),
              0);
    EXPECT_TRUE(host.writtenFiles().empty());
    korvo::Scene noEnd = sceneOf(0, 30);
    noEnd.end.reset();
    EXPECT_EQ(save(path("scene.x"), host.loadDocument(noEnd)), 0);
    EXPECT_TRUE(host.writtenFiles().empty());
}

TEST_F(ExportDriver, ADocumentWithoutObjectsWritesNothing) {
    korvo::Scene scene = sceneOf(3, 30);
    scene.objects.clear();
    KrvDocument document = host.loadDocument(scene);
    EXPECT_EQ(save(path("scene.x"), document), 0);
    EXPECT_EQ(
        save(path("scene.x"), document, {change(KRV_SETTINGS_ANIMATION, 1), change(KRV_SETTINGS_FRAME_PER_FILE, 1)}),
        0);
    EXPECT_TRUE(host.writtenFiles().empty());
    EXPECT_TRUE(host.fileErrors().empty());
}

TEST_F(ExportDriver, CancelWritesNothingAndKeepsTheSettings) {
    KrvDocument document = host.loadDocument(sceneOf(3, 30));
    korvo::DialogScript script;
    script.changes = {change(KRV_SETTINGS_NORMALS, 0)};
    script.cancel = true;
    host.setDialogScript(script);
    HostFileName name;
    name.setFromString(HostString(path("scene.x").c_str()));
    EXPECT_EQ(saveScene(remembered, name.get(), document, 1), 0);
    EXPECT_TRUE(host.writtenFiles().empty());
    EXPECT_EQ(remembered.exportNormals, 1);
}

TEST_F(ExportDriver, SettingsCarryOverToTheNextSave) {
    KrvDocument document = host.loadDocument(sceneOf(3, 30));
    EXPECT_EQ(save(path("a.x"), document,
                   {change(KRV_SETTINGS_NORMALS, 0), change(KRV_SETTINGS_PHONG_ANGLE, 0),
                    change(KRV_SETTINGS_SMOOTHING_ANGLE, 45)}),
              0);
    EXPECT_EQ(save(path("b.x"), document), 0);
    ASSERT_EQ(host.dialogRuns().size(), 2u);
    const korvo::DialogNode& groups = host.dialogRuns()[1].shown.root;
    // The second dialog opens with the first one's choices.
    EXPECT_EQ(remembered.exportNormals, 0);
    EXPECT_EQ(remembered.smoothingAngle, 45.0f);
    EXPECT_EQ(remembered.readPhongAngle, 0);
    EXPECT_FALSE(groups.children.empty());
}

TEST_F(ExportDriver, ATargetThatCannotBeCreatedIsReported) {
    KrvDocument document = host.loadDocument(sceneOf(3, 30));
    EXPECT_EQ(save(path("missing/scene.x"), document), kSaveCannotCreateFile);
    EXPECT_EQ(host.consoleLines(), (std::vector<std::string>{"Dorna: Couldn\xC2\xB4t create File!"}));
    EXPECT_TRUE(host.writtenFiles().empty());
}

TEST_F(ExportDriver, AFailedWriteIsReportedAndTheEarlierFileStays) {
    KrvDocument document = host.loadDocument(sceneOf(3, 30));
    EXPECT_EQ(save(path("scene.x"), document), 0);
    const std::string earlier = readFile(path("scene.x"));
    host.limitWrites(1000);
    EXPECT_EQ(save(path("scene.x"), document), kSaveCannotWriteFile);
    EXPECT_EQ(host.consoleLines(), (std::vector<std::string>{"Dorna: Couldn\xC2\xB4t write File!"}));
    EXPECT_EQ(readFile(path("scene.x")), earlier);
}

TEST_F(ExportDriver, PerFrameFilesStopAtTheFirstFailure) {
    KrvDocument document = host.loadDocument(sceneOf(0.2, 30));
    const std::vector<korvo::DialogChange> perFrame = {change(KRV_SETTINGS_ANIMATION, 1),
                                                       change(KRV_SETTINGS_FRAME_PER_FILE, 1)};
    EXPECT_EQ(save(path("whole.x"), document, perFrame), 0);
    ASSERT_EQ(host.writtenFiles().size(), 6u);
    // Room for two files and a little of the third.
    host.limitWrites(static_cast<int64_t>(host.writtenFiles()[0].bytes + host.writtenFiles()[1].bytes) + 10);
    EXPECT_EQ(save(path("scene.x"), document, perFrame), kSaveCannotWriteFile);
    EXPECT_EQ(writtenNames(), (std::vector<std::string>{"whole_0.x", "whole_1.x", "whole_2.x", "whole_3.x",
                                                        "whole_4.x", "whole_5.x", "scene_0.x", "scene_1.x"}));
    EXPECT_FALSE(exists(path("scene_2.x")));
}

// Every host allocation of a save refused in turn: the save answers a failure or
// writes complete files, and gives back everything it took.
TEST_F(ExportDriver, SurvivesEveryRefusedAllocation) {
    KrvDocument document = host.loadDocument(sceneOf(0.2, 30));
    const std::vector<korvo::DialogChange> perFrame = {change(KRV_SETTINGS_ANIMATION, 1),
                                                       change(KRV_SETTINGS_FRAME_PER_FILE, 1)};
    bool sawNoWorkingCopy = false;
    for (int64_t n = 1;; ++n) {
        host.refuseAllocation(n);
        const int32_t result = save(path("scene.x"), document, perFrame);
        const bool refused = host.allocationRequests() >= n;
        if (result == kSaveNoWorkingCopy) sawNoWorkingCopy = true;
        EXPECT_TRUE(result == 0 || result == kSaveCannotCreateFile || result == kSaveCannotWriteFile ||
                    result == kSaveNoWorkingCopy)
            << n;
        for (const korvo::WrittenFile& file : host.writtenFiles()) {
            const std::string content = readFile(file.path);
            EXPECT_EQ(content.substr(0, kBlock.size()), kBlock) << file.path;
            EXPECT_EQ(content.substr(content.size() - kRootClosing.size()), kRootClosing) << file.path;
        }
        if (!refused) break;
        ASSERT_LT(n, 1000);
    }
    EXPECT_TRUE(sawNoWorkingCopy);
}

TEST_F(ExportDriver, FrameFileNames) {
    HostFileName name;
    name.setFromString(HostString("/data/walk.cycle.x"));
    ASSERT_TRUE(frameFileName(name, 12));
    HostString text;
    EXPECT_TRUE(name.toString(text));
    char buffer[64];
    text.toText(buffer, 63);
    EXPECT_STREQ(buffer, "/data/walk.cycle_12.x");

    name.setFromString(HostString("/data/noSuffix"));
    EXPECT_TRUE(frameFileName(name, -1));
    EXPECT_TRUE(name.toString(text));
    text.toText(buffer, 63);
    EXPECT_STREQ(buffer, "/data/noSuffix_-1.x");
}

}  // namespace
}  // namespace dorna
