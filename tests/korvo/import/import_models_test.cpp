// Imports real models that nobody here wrote and compares the scene the host would show
// with what the independent reader shows of the source.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <map>
#include <set>

#include "file_text.h"
#include "korvo/import/import_model.h"
#include "korvo/import/model_compare.h"
#include "korvo/import/model_reader.h"
#include "korvo/import/scene_pose.h"
#include "korvo/scene/scene_json.h"

namespace korvo::import {
namespace {

const std::string kModels = "/usr/share/assimp/models/";

struct Imported {
    ModelData source;
    Scene scene;
    std::vector<std::string> notes;
};

Imported importFile(const std::string& path) {
    Imported result;
    std::string error;
    EXPECT_TRUE(readModel(path, ReadMode::Triangles, result.source, error)) << error;
    EXPECT_TRUE(importModel(path, result.scene, error, [&](const std::string& n) { result.notes.push_back(n); }))
        << error;
    // The host's loader accepts what the importer made, and reads back the same scene.
    const std::string json = sceneToJson(result.scene);
    Scene reloaded;
    EXPECT_TRUE(parseScene(json, path, reloaded, error)) << error;
    EXPECT_EQ(sceneToJson(reloaded), json);
    return result;
}

void collectBones(const SceneObject& object, std::set<std::string>& names) {
    if (object.type == ObjectType::Bone) names.insert(object.name);
    for (const SceneObject& child : object.children) collectBones(child, names);
}

void collectWeightSums(const SceneObject& object, std::vector<double>& sums) {
    if (!object.weights.empty()) {
        std::vector<double> perPoint(object.points.size(), 0.0);
        for (const BoneWeights& bone : object.weights)
            for (size_t p = 0; p < perPoint.size(); ++p) perPoint[p] += bone.perPoint[p];
        sums.insert(sums.end(), perPoint.begin(), perPoint.end());
    }
    for (const SceneObject& child : object.children) collectWeightSums(child, sums);
}

void expectSameTriangles(const Imported& imported) {
    const std::vector<WorldTriangle> expected = worldTriangles(imported.source);
    ASSERT_FALSE(expected.empty());
    const double tolerance = 1e-4 * boundingSize(expected);
    EXPECT_EQ(compareTriangles(expected, sceneTrianglesInModelSpace(imported.scene), tolerance, 1e-5),
              std::vector<std::string>{});
}

// With every bone of the source kept, the weights of each point add up to 1.
void expectSkeleton(const Imported& imported, const std::set<std::string>& expectedBones, bool allBonesKept) {
    std::set<std::string> bones;
    for (const SceneObject& object : imported.scene.objects) collectBones(object, bones);
    EXPECT_EQ(bones, expectedBones);
    std::vector<double> sums;
    for (const SceneObject& object : imported.scene.objects) collectWeightSums(object, sums);
    ASSERT_FALSE(sums.empty());
    for (double sum : sums) {
        if (allBonesKept)
            EXPECT_NEAR(sum, 1.0, 1e-4);
        else
            EXPECT_LE(sum, 1.0 + 1e-4);
    }
}

// The world matrix of every animated node at several frames, from the scene's keys by
// the host's composition, against the reader's interpolation of the source.
void expectAnimatedPlacements(const Imported& imported) {
    const ModelData& source = imported.source;
    ASSERT_FALSE(source.animations.empty());
    const ModelAnimation& animation = source.animations[0];
    const Scene& scene = imported.scene;
    ASSERT_TRUE(scene.end.has_value());
    const double lastFrame = scene.end->numerator / scene.end->denominator * scene.fps - 1;
    const double size = boundingSize(worldTriangles(source));
    for (double frame : {0.0, std::floor(lastFrame / 3), std::floor(lastFrame / 2), lastFrame}) {
        const std::vector<Affine> expected =
            nodeGlobals(source, &animation, frame / scene.fps * animation.ticksPerSecond);
        std::map<std::string, Affine> placed;
        for (const PlacedObject& object : sceneObjectsAt(scene, frame)) placed.emplace(object.name, object.global);
        for (const ModelChannel& channel : animation.channels) {
            ASSERT_TRUE(placed.count(channel.nodeName)) << channel.nodeName;
            EXPECT_LT(maxDifference(mirrorZ(placed[channel.nodeName]), expected[channel.node]), 1e-4 * size)
                << channel.nodeName << " at frame " << frame;
        }
    }
}

TEST(ImportModels, SimpleSkinGltf) {
    const Imported imported = importFile(kModels + "glTF2/simple_skin/simple_skin.gltf");
    expectSameTriangles(imported);
    expectSkeleton(imported, {"nodes[1]", "nodes[2]"}, true);
    expectAnimatedPlacements(imported);
}

TEST(ImportModels, DuckCollada) {
    const Imported imported = importFile(kModels + "Collada/duck.dae");
    expectSameTriangles(imported);
    ASSERT_EQ(imported.scene.materials.size(), 1u);
    const Material& material = imported.scene.materials[0];
    EXPECT_EQ(material.name, "blinn3");
    EXPECT_EQ(material.color.texture, std::optional<std::string>("./duckCM.tga"));
    EXPECT_FALSE(material.transparency.on);
}

TEST(ImportModels, SpiderFbx) {
    const Imported imported = importFile(kModels + "FBX/spider.fbx");
    expectSameTriangles(imported);
    EXPECT_EQ(imported.notes, std::vector<std::string>{});
    ASSERT_EQ(imported.scene.materials.size(), 4u);
    EXPECT_EQ(imported.scene.materials[0].color.texture,
              std::optional<std::string>("D:\\projects\\assimp_int\\test\\models\\OBJ\\drkwood2.jpg"));
}

TEST(ImportModels, WusonMs3d) {
    const Imported imported = importFile(kModels + "MS3D/Wuson.ms3d");
    expectSameTriangles(imported);
}

TEST(ImportModels, AnimTestX) {
    const Imported imported = importFile(kModels + "X/anim_test.x");
    expectSameTriangles(imported);
    // The file's mesh names four bones, but only two of them are frames of the file.
    expectSkeleton(imported, {"joint1", "joint2"}, false);
    ASSERT_EQ(imported.notes.size(), 2u);
    EXPECT_EQ(imported.notes[0], kModels + "X/anim_test.x: mesh 'pCylinder1': bone 'joint3' has no node of that "
                                           "name; its weights are left out");
    EXPECT_EQ(imported.scene.fps, 24);
    expectAnimatedPlacements(imported);
}

TEST(ImportModels, BadInputGivesOneLineWithTheReason) {
    const std::string missing = kModels + "no/such/model.obj";
    Scene scene;
    std::string error;
    const NoteSink ignore = [](const std::string&) {};
    EXPECT_FALSE(importModel(missing, scene, error, ignore));
    EXPECT_EQ(error.find(missing + ": cannot import: "), 0u) << error;

    const testfiles::ScratchFolder scratch("import");
    const std::string unknown = scratch.path() + "/import_unknown.unknownformat";
    std::ofstream(unknown) << "this is no model\n";
    EXPECT_FALSE(importModel(unknown, scene, error, ignore));
    EXPECT_EQ(error.find(unknown + ": cannot import: "), 0u) << error;
    EXPECT_EQ(error.find('\n'), std::string::npos);

    const std::string lines = scratch.path() + "/import_lines.obj";
    std::ofstream(lines) << "v 0 0 0\nv 1 0 0\nl 1 2\n";
    EXPECT_FALSE(importModel(lines, scene, error, ignore));
    EXPECT_NE(error.find("no polygon mesh"), std::string::npos) << error;
}

}  // namespace
}  // namespace korvo::import
