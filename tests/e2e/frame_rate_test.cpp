// "Write frame rate (AnimTicksPerSecond)": a reader that honours the record plays the
// animation set at the scene's speed, whatever the frame rate.
#ifdef DORNA_WITH_IMPORT

#include <gtest/gtest.h>

#include <utility>

#include "e2e/harness.h"
#include "korvo/import/model_reader.h"

namespace korvo::e2e {
namespace {

// One cube turning from frame 0 to `endFrame`.
std::string turningCube(int fps, int endFrame) {
    return "{\"korvo\": 1, \"fps\": " + std::to_string(fps) + ", \"endFrame\": " + std::to_string(endFrame) +
           ", \"objects\": [{\"name\": \"Cube\", \"type\": \"cube\", \"animation\": {\"rotation\": "
           "[[0, 0, 0, 0], [" + std::to_string(endFrame) + ", 3, 0, 0]]}}]}";
}

TEST(FrameRate, TheRecordGivesTheSceneDurationInSeconds) {
    constexpr int kEndSeconds = 4;
    // Keys a distance of frames apart still play at the scene's speed.
    for (const auto& [fps, distance] : {std::pair{24, 1}, {25, 1}, {30, 1}, {60, 1}, {30, 5}}) {
        TempFolder folder;
        writeFile(folder / "cube.korvo.json", turningCube(fps, kEndSeconds * fps));
        const CommandResult r = runKorvo({"export", "cube.korvo.json", "-o", "out.x", "--animation", "--no-only-bones",
                                          "--frame-rate", "--distance-per-frame", std::to_string(distance)},
                                         folder.path());
        ASSERT_EQ(r.status, 0) << r.err;
        const std::string text = readFile(folder / "out.x");
        EXPECT_NE(text.find("\r\n\r\nAnimTicksPerSecond {\r\n " + std::to_string(fps * 40 / distance) +
                            ";\r\n}\r\nFrame DORNA_ROOT"),
                  std::string::npos);
        import::ModelData model;
        std::string error;
        ASSERT_TRUE(import::readModel(folder / "out.x", import::ReadMode::AsStored, model, error)) << error;
        ASSERT_EQ(model.animations.size(), 1u);
        const import::ModelAnimation& set = model.animations[0];
        // The set's keys run from frame 0 towards the end: within one key.
        EXPECT_NEAR(set.duration / set.ticksPerSecond, kEndSeconds, double(distance) / fps + 1e-9) << fps << " fps";
    }
}

// With "Export all takes" every take is a set of its own, named and timed from tick 0;
// off, the file is the one the scene gives without takes.
TEST(FrameRate, EachTakeIsANamedSetOfItsOwnRange) {
    TempFolder folder;
    std::string scene = turningCube(30, 90);
    writeFile(folder / "plain.korvo.json", scene);
    scene.insert(scene.size() - 1, ", \"takes\": [{\"name\": \"Walk\", \"endFrame\": 30}, {\"name\": \"30\", "
                                   "\"startFrame\": 30, \"endFrame\": 90}, {\"name\": \"Walk\", \"endFrame\": 30}]");
    writeFile(folder / "takes.korvo.json", scene);
    const std::vector<std::string> options = {"--animation", "--no-only-bones", "--frame-rate"};
    const auto exported = [&](const std::string& input, const std::string& output, std::vector<std::string> more) {
        std::vector<std::string> arguments = {"export", input, "-o", output};
        arguments.insert(arguments.end(), options.begin(), options.end());
        arguments.insert(arguments.end(), more.begin(), more.end());
        const CommandResult r = runKorvo(arguments, folder.path());
        EXPECT_EQ(r.status, 0) << r.err;
        return readFile(folder / output);
    };
    EXPECT_EQ(exported("takes.korvo.json", "current.x", {}), exported("plain.korvo.json", "plain.x", {}));
    exported("takes.korvo.json", "all.x", {"--all-takes"});

    import::ModelData model;
    std::string error;
    ASSERT_TRUE(import::readModel(folder / "all.x", import::ReadMode::AsStored, model, error)) << error;
    ASSERT_EQ(model.animations.size(), 3u);
    const std::pair<std::string, double> expected[] = {{"Walk", 29}, {"_30", 59}, {"Walk_2", 29}};
    for (size_t t = 0; t < 3; ++t) {
        EXPECT_EQ(model.animations[t].name, expected[t].first);
        EXPECT_DOUBLE_EQ(model.animations[t].duration / model.animations[t].ticksPerSecond * 30, expected[t].second);
    }
}

// Off, the header is the fixed block: every file written with the defaults stays as it was.
TEST(FrameRate, OffOrWithoutAnAnimationSetTheFileHasNoRecord) {
    TempFolder folder;
    writeFile(folder / "cube.korvo.json", turningCube(30, 30));
    for (const std::vector<std::string>& options :
         {std::vector<std::string>{"--animation"}, {"--frame-rate", "--animation", "--frame-per-file"}}) {
        std::vector<std::string> arguments = {"export", "cube.korvo.json", "-o", "out.x"};
        arguments.insert(arguments.end(), options.begin(), options.end());
        const CommandResult r = runKorvo(arguments, folder.path());
        ASSERT_EQ(r.status, 0) << r.err;
        for (const std::string& name : folder.entries()) {
            if (name == "cube.korvo.json") continue;
            EXPECT_EQ(readFile(folder / name).find("AnimTicksPerSecond"), std::string::npos) << name;
        }
    }
}

}  // namespace
}  // namespace korvo::e2e

#endif  // DORNA_WITH_IMPORT
