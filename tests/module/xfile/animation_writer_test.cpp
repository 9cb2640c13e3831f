// The animation set: which objects are animated, how many keys over the time range, at
// which frames and times, and the text of every key and Animation.
#include "xfile/animation_writer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/document.h"
#include "module/skin/skin_fixture.h"
#include "settings/export_settings.h"
#include "skin/animation_samples.h"

namespace dorna {
namespace {

using korvo::SceneObject;

// An object whose x position is its frame number.
SceneObject mover(const std::string& name, korvo::ObjectType type = korvo::ObjectType::Null) {
    SceneObject o;
    o.name = name;
    o.type = type;
    o.animation.position = {{0, {0, 0, 0}}, {1000, {1000, 0, 0}}};
    return o;
}

// The key line of an unrotated, unscaled object at x.
std::string keyAt(int time, const std::string& x, bool last) {
    return "  " + std::to_string(time) +
           ";16;  1.000000, 0.000000, 0.000000, 0.000000, 0.000000, 1.000000, 0.000000, 0.000000, "
           "0.000000, 0.000000, 1.000000, 0.000000, " +
           x + ", 0.000000, 0.000000, 1.000000" + (last ? ";;;\r\n" : ";;,\r\n");
}

std::string animationOpen(int keyCount) {
    return "Animation {\r\n  AnimationKey {\r\n  4;\r\n  " + std::to_string(keyCount) + ";\r\n";
}

std::string animationClose(const std::string& name) { return "  }\r\n  {" + name + "}\r\n}\r\n"; }

class AnimationSet : public WriterTest {
protected:
    // Every object is animated unless a test says otherwise.
    AnimationSet() { settings.onlyBones = 0; }

    // A document at 30 frames per second ending at `endFrame`.
    void loadScene(std::vector<SceneObject> objects, double endFrame) {
        korvo::Scene scene;
        scene.fps = 30;
        scene.end = korvo::Time{endFrame, 30};
        scene.objects = std::move(objects);
        document = host.loadDocument(scene);
    }

    std::string animationSet() {
        return captured([&](ExportContext& context) { writeAnimationSet(context); });
    }
};

TEST(AnimationSelection, BonesWhileBonesAreExportedOtherObjectsUnlessOnlyBones) {
    struct Row {
        int exportBones, onlyBones;
        bool bone, other;
    };
    const Row table[] = {{1, 1, true, false}, {1, 0, true, true}, {0, 1, false, true}, {0, 0, false, true}};
    for (const Row& row : table) {
        ExportSettings settings = kDefaultExportSettings;
        settings.exportBones = row.exportBones;
        settings.onlyBones = row.onlyBones;
        EXPECT_EQ(isAnimated(true, settings), row.bone) << row.exportBones << row.onlyBones;
        EXPECT_EQ(isAnimated(false, settings), row.other) << row.exportBones << row.onlyBones;
    }
}

TEST(AnimationKeyCount, KeysStopBeforeTheEndFrame) {
    EXPECT_EQ(keyCountOf(10, 1), 10);
    EXPECT_EQ(keyCountOf(10, 3), 4);
    EXPECT_EQ(keyCountOf(9, 3), 3);
    EXPECT_EQ(keyCountOf(1, 1), 1);
    EXPECT_EQ(keyCountOf(0, 1), 0);
    // An end before frame 0 has no keys, never a negative count.
    EXPECT_EQ(keyCountOf(-5, 2), 0);
}

TEST_F(AnimationSet, KeysEveryStepFramesAtTicksPerKey) {
    settings.distancePerFrame = 3;
    settings.ticksPerFrame = 40;
    loadScene({mover("Mover")}, 10);
    EXPECT_EQ(animationSet(), "\r\nAnimationSet {\r\n" + animationOpen(4) + keyAt(0, "0.000000", false) +
                                  keyAt(40, "3.000000", false) + keyAt(80, "6.000000", false) +
                                  keyAt(120, "9.000000", true) + animationClose("Mover") + "}\r\n");
}

TEST_F(AnimationSet, EveryFrameUpToTheOneBeforeTheEnd) {
    settings.ticksPerFrame = 40;
    loadScene({mover("Mover")}, 10);
    std::string keys;
    for (int k = 0; k < 10; ++k) keys += keyAt(40 * k, std::to_string(k) + ".000000", k == 9);
    EXPECT_EQ(animationSet(), "\r\nAnimationSet {\r\n" + animationOpen(10) + keys + animationClose("Mover") + "}\r\n");

    // A step below 1 counts as 1.
    settings.distancePerFrame = 0;
    EXPECT_EQ(animationSet(), "\r\nAnimationSet {\r\n" + animationOpen(10) + keys + animationClose("Mover") + "}\r\n");
}

TEST_F(AnimationSet, ShortRangesGiveOneKeyOrNone) {
    settings.ticksPerFrame = -7;
    loadScene({mover("Mover")}, 1);
    EXPECT_EQ(animationSet(),
              "\r\nAnimationSet {\r\n" + animationOpen(1) + keyAt(0, "0.000000", true) + animationClose("Mover") + "}\r\n");

    // Readers refuse an Animation without keys: no set at all.
    loadScene({mover("Mover")}, 0);
    EXPECT_EQ(animationSet(), "");
    loadScene({mover("Mover")}, -5);
    EXPECT_EQ(animationSet(), "");

    // Ticks below 1 count as 1: no negative key times, no two keys at one time.
    loadScene({mover("Mover")}, 3);
    const std::string text = animationSet();
    EXPECT_NE(text.find(keyAt(2, "2.000000", true)), std::string::npos) << text;
    settings.ticksPerFrame = 0;
    EXPECT_EQ(animationSet(), text);
}

TEST_F(AnimationSet, EveryAnimatedObjectStartsAtFrameZero) {
    settings.distancePerFrame = 2;
    SceneObject first = mover("First");
    first.children = {mover("Inner")};
    loadScene({first, mover("My Second")}, 4);
    const std::string keys = keyAt(0, "0.000000", false) + keyAt(40, "2.000000", true);
    EXPECT_EQ(animationSet(), "\r\nAnimationSet {\r\n" + animationOpen(2) + keys + animationClose("First") +
                                  animationOpen(2) + keys + animationClose("Inner") + animationOpen(2) + keys +
                                  animationClose("My_Second") + "}\r\n");
}

TEST_F(AnimationSet, OnlyBonesStillVisitsTheChildrenOfEveryObject) {
    SceneObject group = mover("Group");
    group.children = {mover("Bone", korvo::ObjectType::Bone)};
    SceneObject camera = mover("Camera", korvo::ObjectType::Camera);
    loadScene({group, camera}, 1);
    settings.onlyBones = 1;

    const std::string bone = animationOpen(1) + keyAt(0, "0.000000", true) + animationClose("Bone");
    const std::string others = animationOpen(1) + keyAt(0, "0.000000", true) + animationClose("Group");
    const std::string cameraKeys = animationOpen(1) + keyAt(0, "0.000000", true) + animationClose("Camera");
    EXPECT_EQ(animationSet(), "\r\nAnimationSet {\r\n" + bone + "}\r\n");
    settings.onlyBones = 0;
    EXPECT_EQ(animationSet(), "\r\nAnimationSet {\r\n" + others + bone + cameraKeys + "}\r\n");
    settings.exportBones = 0;
    settings.onlyBones = 1;
    EXPECT_EQ(animationSet(), "\r\nAnimationSet {\r\n" + others + cameraKeys + "}\r\n");
}

TEST_F(AnimationSet, ADocumentWithoutObjectsOrWithoutAnimatedOnesHasNoSet) {
    loadScene({}, 10);
    EXPECT_EQ(animationSet(), "");
    loadScene({mover("Mover")}, 10);
    settings.onlyBones = 1;
    EXPECT_EQ(animationSet(), "");
}

TEST_F(AnimationSet, AKeyIsTheFileFormOfTheMatrix) {
    Matrix m;
    m.offset = {1, 2, 3};
    m.axis1 = {0, 0, -1};
    m.axis2 = {0, 1, 0};
    m.axis3 = {2, 0, 0};
    EXPECT_EQ(captured([&](XTextWriter& writer) { writeMatrixKey(writer, 5, m, false); }),
              "  5;16;  0.000000, 0.000000, 2.000000, 0.000000, 0.000000, 1.000000, 0.000000, 0.000000, "
              "-1.000000, 0.000000, 0.000000, 0.000000, 1.000000, 2.000000, 3.000000, 1.000000;;,\r\n");
}

}  // namespace
}  // namespace dorna
