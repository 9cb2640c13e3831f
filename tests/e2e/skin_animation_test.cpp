// Skinned and animated scenes through the korvo command: the example loads in the
// independent reader with its bones and animation, a mesh without polygons takes no
// skin, and one file per frame holds the whole scene at its frame.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "e2e/harness.h"

namespace korvo::e2e {
namespace {

const std::string kExample = std::string(DORNA_SOURCE_DIR) + "/examples/skinned.korvo.json";

int countOf(const std::string& text, const std::string& what) {
    int count = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + what.size())) ++count;
    return count;
}

// The text of the block that opens with `opening`, up to its matching brace.
std::string blockOf(const std::string& text, const std::string& opening) {
    const size_t start = text.find(opening);
    if (start == std::string::npos) return "";
    int depth = 0;
    for (size_t at = start; at < text.size(); ++at) {
        if (text[at] == '{') ++depth;
        if (text[at] == '}' && --depth == 0) return text.substr(start, at + 1 - start);
    }
    return "";
}

class SkinAnimation : public ::testing::Test {
protected:
    CommandResult run(const std::vector<std::string>& arguments) {
        return runKorvo(arguments, folder.path(), {{"KORVO_CHECK_LEAKS", "1"}});
    }
    TempFolder folder;
};

TEST_F(SkinAnimation, TheExampleLoadsWithItsBonesAndAnimation) {
    const CommandResult exported = run({"export", kExample, "-o", "arm.x", "--animation"});
    ASSERT_EQ(exported.status, 0) << exported.err;
    const CommandResult check = run({"check", "arm.x"});
    ASSERT_EQ(check.status, 0) << check.err;
    // The points between two bones give their vertices to both.
    EXPECT_NE(check.out.find("    bone \"Shoulder\": 60 weights\n"
                             "    bone \"Elbow\": 60 weights\n"
                             "    bone \"Wrist\": 12 weights\n"),
              std::string::npos)
        << check.out;
    // Only the bones move (the default "only bones"): 60 frames, one key each.
    EXPECT_NE(check.out.find("3 channels\n"
                             "    \"Shoulder\": 60 position, 60 rotation, 60 scale keys\n"
                             "    \"Elbow\": 60 position, 60 rotation, 60 scale keys\n"
                             "    \"Wrist\": 60 position, 60 rotation, 60 scale keys\n"),
              std::string::npos)
        << check.out;

    // The skin stands inside the mesh, with the offset of each bone's rest chain.
    const std::string text = readFile(folder / "arm.x");
    const std::string mesh = blockOf(text, "Mesh M_Arm_0 {");
    EXPECT_EQ(countOf(mesh, "SkinWeights {"), 3);
    EXPECT_NE(mesh.find("XSkinMeshHeader {\r\n2;\r\n"), std::string::npos);
    EXPECT_NE(blockOf(mesh, "SkinWeights {\r\n \"Wrist\"").find("0.000000, -4.000000, 0.000000, 1.000000;;"),
              std::string::npos);
}

TEST_F(SkinAnimation, AMeshWithoutPolygonsTakesNoSkinAndLeavesNoneForTheNext) {
    writeFile(folder / "scene.korvo.json", R"({ "korvo": 1, "objects": [
      { "name": "Skinned", "type": "polygon", "points": [[0,0,0], [1,0,0], [0,1,0]], "polygons": [[0,1,2]],
        "weights": { "Bone": [1, 1, 1] } },
      { "name": "Points", "type": "polygon", "points": [[0,0,0], [1,0,0], [0,1,0]], "polygons": [],
        "weights": { "Bone": [1, 1, 1] } },
      { "name": "Plain", "type": "polygon", "points": [[0,0,0], [1,0,0], [0,1,0]], "polygons": [[0,1,2]] },
      { "name": "Bone", "type": "bone", "rest": { "position": [0, 2, 0], "scale": [1, 1, 1] } } ] })");
    const CommandResult exported = run({"export", "scene.korvo.json", "-o", "scene.x"});
    ASSERT_EQ(exported.status, 0) << exported.err;
    const std::string text = readFile(folder / "scene.x");

    EXPECT_EQ(countOf(text, "\nXSkinMeshHeader {\r\n"), 1);
    EXPECT_EQ(countOf(blockOf(text, "Mesh M_Skinned_0 {"), "SkinWeights {"), 1);
    EXPECT_EQ(blockOf(text, "Frame Points_1 {").find("Skin"), std::string::npos);
    EXPECT_EQ(blockOf(text, "Frame Plain_2 {").find("Skin"), std::string::npos);
    EXPECT_EQ(run({"check", "scene.x"}).status, 0);
}

TEST_F(SkinAnimation, EachFrameFileHoldsTheWholeSceneAtItsFrame) {
    writeFile(folder / "scene.korvo.json", R"({ "korvo": 1, "fps": 30, "endFrame": 6, "objects": [
      { "name": "Mover", "type": "null", "animation": { "position": [[0, 0,0,0], [6, 6,0,0]] },
        "children": [
          { "name": "Skin", "type": "polygon", "points": [[0,0,0], [1,0,0], [0,1,0]], "polygons": [[0,1,2]],
            "weights": { "Bone": [1, 1, 0.5] } },
          { "name": "Bone", "type": "bone", "rest": { "position": [0, 0, 0], "scale": [1, 1, 1] },
            "animation": { "position": [[0, 0,0,0], [6, 0,12,0]] } } ] } ] })");
    const CommandResult exported =
        run({"export", "scene.korvo.json", "-o", "anim.x", "--animation", "--frame-per-file", "--distance-per-frame",
             "2"});
    ASSERT_EQ(exported.status, 0) << exported.err;
    EXPECT_EQ(folder.entries(), (std::vector<std::string>{"anim_0.x", "anim_1.x", "anim_2.x", "scene.korvo.json"}));

    for (int index = 0; index < 3; ++index) {
        SCOPED_TRACE("file " + std::to_string(index));
        const std::string name = "anim_" + std::to_string(index) + ".x";
        const std::string text = readFile(folder / name);
        const std::string frame = std::to_string(2 * index);
        const std::string boneY = std::to_string(4 * index);
        // Complete: header, root frame closed at the end, no animation set.
        EXPECT_EQ(text.substr(0, 18), "xof 0302txt 0032\r\n");
        EXPECT_EQ(text.substr(text.size() - 5), "\r\n}\r\n");
        EXPECT_EQ(text.find("AnimationSet {\r\n", text.find("Frame DORNA_ROOT")), std::string::npos);
        // Names numbered from 0 in every file; bones are never numbered.
        const std::string mover = blockOf(text, "Frame Mover_0 {");
        EXPECT_NE(mover.find("Frame Skin_1 {"), std::string::npos);
        // The scene at the file's frame.
        EXPECT_NE(mover.find(frame + ".000000, 0.000000, 0.000000, 1.000000;;}"), std::string::npos) << mover;
        EXPECT_NE(blockOf(text, "Frame Bone {").find("0.000000, " + boneY + ".000000, 0.000000, 1.000000;;}"),
                  std::string::npos);
        // The skin in every file, from the rest placement whatever the frame.
        const std::string skin = blockOf(text, "Mesh M_Skin_1 {");
        EXPECT_NE(skin.find("XSkinMeshHeader {\r\n1;\r\n3;\r\n1;\r\n}"), std::string::npos) << skin;
        EXPECT_NE(skin.find("0.000000, 0.000000, 0.000000, 1.000000;;\r\n}"), std::string::npos);
        EXPECT_EQ(run({"check", name}).status, 0);
    }
}

}  // namespace
}  // namespace korvo::e2e
