// Real models nobody here wrote: imported, exported by the module through the korvo
// command, read back with the independent reader and compared with the source.
#ifdef DORNA_WITH_IMPORT

#include <gtest/gtest.h>

#include "e2e/harness.h"
#include "korvo/import/model_compare.h"
#include "korvo/import/model_reader.h"
#include "korvo/import/model_report.h"
#include "korvo/scene/scene_json.h"

namespace korvo::e2e {
namespace {

const std::string kModels = "/usr/share/assimp/models/";

class ImportRoundTrip : public testing::TestWithParam<const char*> {};

// World triangles with texture coordinates, bone names, weight sums of 1 and the
// animated nodes' world transforms at six frames.
TEST_P(ImportRoundTrip, ExportReadsBackAsTheSource) {
    TempFolder folder;
    EXPECT_EQ(import::roundTripModel(KORVO_COMMAND_PATH, kModels + GetParam(), folder / "out.x"),
              std::vector<std::string>{});
}

INSTANTIATE_TEST_SUITE_P(Models, ImportRoundTrip,
                         testing::Values("glTF2/simple_skin/simple_skin.gltf", "Collada/duck.dae",
                                         "FBX/spider.fbx", "MS3D/Wuson.ms3d", "X/anim_test.x",
                                         "X/BCN_Epileptic.X"));

TEST(ImportCommand, WritesASceneFileTheLoaderAccepts) {
    TempFolder folder;
    const CommandResult result =
        runKorvo({"import", kModels + "glTF2/simple_skin/simple_skin.gltf", "-o", folder / "skin.korvo.json"});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.err, "");
    Scene scene;
    std::string error;
    EXPECT_TRUE(loadSceneFile(folder / "skin.korvo.json", scene, error)) << error;
    EXPECT_EQ(folder.entries(), std::vector<std::string>{"skin.korvo.json"});
}

TEST(ImportCommand, BadInputIsOneLineAndStatusTwo) {
    TempFolder folder;
    writeFile(folder / "empty.obj", "v 0 0 0\n");
    writeFile(folder / "scene.korvo.json", "earlier");
    const CommandResult result = runKorvo({"import", folder / "empty.obj", "-o", folder / "scene.korvo.json"});
    EXPECT_EQ(result.status, 2);
    EXPECT_EQ(result.err.find("korvo: " + folder / "empty.obj" + ": cannot import: "), 0u) << result.err;
    EXPECT_EQ(result.err.find('\n'), result.err.size() - 1);
    EXPECT_EQ(readFile(folder / "scene.korvo.json"), "earlier");

    const CommandResult unknown = runKorvo({"export", folder / "scene.korvo", "-o", folder / "out.x"});
    EXPECT_EQ(unknown.status, 2);
    EXPECT_NE(unknown.err.find("cannot import"), std::string::npos) << unknown.err;
}

// An animated model keeps its animation by default; what the user's options leave out of
// it is said, with the option that keeps it, unless the user turned the animation off.
TEST(ExportCommand, AnimationLeftOutOfAModelIsNotedWithTheOptionThatKeepsIt) {
    TempFolder folder;
    const std::string model = kModels + "X/anim_test.x";
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"--no-animation"}, ""},
        {{"--only-bones"}, "1 animated object is not a bone and left out by \"Only bones\": --no-only-bones writes its "
                           "animation"},
        {{}, ""}};
    for (const auto& [options, note] : cases) {
        std::vector<std::string> arguments = {"export", model, "-o", folder / "anim.x"};
        arguments.insert(arguments.end(), options.begin(), options.end());
        const CommandResult r = runKorvo(arguments);
        ASSERT_EQ(r.status, 0) << r.err;
        const std::string expected = note.empty() ? "animation" : "korvo: note: " + model + ": " + note + "\n";
        EXPECT_EQ(r.err.find(expected) != std::string::npos, !note.empty()) << r.err;
    }
}

// A model's own normals are written as it gives them (the model preset turns "Use normal
// tags" on); without it the smoothing angle decides, as for a scene file.
TEST(ExportCommand, AModelsOwnNormalsAreKeptUnlessTurnedOff) {
    TempFolder folder;
    writeFile(folder / "tilted.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\nvn 0.6 0 0.8\nf 1//1 2//1 3//1\n");
    const std::string tilted = "0.600000; 0.000000; -0.800000;";
    const std::pair<std::vector<std::string>, bool> cases[] = {{{}, true}, {{"--no-normal-tags"}, false}};
    for (const auto& [options, kept] : cases) {
        std::vector<std::string> arguments = {"export", "tilted.obj", "-o", "tilted.x"};
        arguments.insert(arguments.end(), options.begin(), options.end());
        const CommandResult r = runKorvo(arguments, folder.path());
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(readFile(folder / "tilted.x").find(tilted) != std::string::npos, kept) << readFile(folder / "tilted.x");
    }
}

// Lights and cameras that the reader's check refuses are left out with a note; the meshes export.
TEST(ExportCommand, LightsTheReadersCheckRefusesAreLeftOut) {
    TempFolder folder;
    for (const char* model : {"OpenGEX/collada.ogex", "OpenGEX/camera.ogex"}) {
        const CommandResult r = runKorvo({"export", kModels + model, "-o", folder / "out.x"});
        EXPECT_EQ(r.status, 0) << model << ": " << r.err;
        EXPECT_NE(r.err.find("that no node places (the reader's check refuses them"), std::string::npos) << r.err;
    }
}

// With the defaults a model of several clips keeps each, by name, at its length: every
// key in, every key out, at the speed the frame-rate record states.
TEST(ExportCommand, AModelKeepsEveryClipByNameAndLength) {
    TempFolder folder;
    const std::string model = kModels + "X/Testwuson.X";
    const CommandResult r = runKorvo({"export", model, "-o", folder / "wuson.x"});
    ASSERT_EQ(r.status, 0) << r.err;
    import::ModelData source, written;
    std::string error;
    ASSERT_TRUE(import::readModel(model, import::ReadMode::AsStored, source, error)) << error;
    ASSERT_TRUE(import::readModel(folder / "wuson.x", import::ReadMode::AsStored, written, error)) << error;
    ASSERT_EQ(written.animations.size(), source.animations.size());
    ASSERT_EQ(source.animations.size(), 3u);
    for (size_t a = 0; a < source.animations.size(); ++a) {
        const import::ModelAnimation& in = source.animations[a];
        const import::ModelAnimation& out = written.animations[a];
        EXPECT_EQ(out.name, in.name);
        EXPECT_NEAR(out.duration / out.ticksPerSecond, in.duration / in.ticksPerSecond, 1e-6) << in.name;
    }
}

TEST(CheckCommand, PrintsWhatTheReaderSeesOrFailsWithItsReason) {
    TempFolder folder;
    const CommandResult export_ =
        runKorvo({"export", kModels + "X/anim_test.x", "-o", folder / "anim.x", "--animation"});
    ASSERT_EQ(export_.status, 0) << export_.err;
    const CommandResult check = runKorvo({"check", folder / "anim.x"});
    EXPECT_EQ(check.status, 0) << check.err;
    import::ModelData model;
    std::string error;
    ASSERT_TRUE(import::readModel(folder / "anim.x", import::ReadMode::AsStored, model, error)) << error;
    EXPECT_EQ(check.out, import::describeModel(model));
    EXPECT_NE(check.out.find("    bone \"joint1\": "), std::string::npos) << check.out;
    EXPECT_NE(check.out.find("animations: 1\n"), std::string::npos) << check.out;

    writeFile(folder / "broken.x", "xof 0302txt 0032\nFrame {");
    const CommandResult broken = runKorvo({"check", folder / "broken.x"});
    EXPECT_EQ(broken.status, 1);
    EXPECT_EQ(broken.err.find("korvo: " + folder / "broken.x" + ": cannot be read: "), 0u) << broken.err;
    EXPECT_EQ(broken.out, "");
}

}  // namespace
}  // namespace korvo::e2e

#endif  // DORNA_WITH_IMPORT
