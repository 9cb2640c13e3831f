// Whole scenes through the korvo command: a small scene against its expected file byte
// for byte, and the showcase read back by the independent reader, with frames and
// without, placing every vertex at the same point of the world.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "e2e/harness.h"

#ifdef DORNA_WITH_IMPORT
#include "korvo/import/model_compare.h"
#include "korvo/import/model_pose.h"
#include "korvo/import/model_reader.h"
#endif

namespace korvo::e2e {
namespace {

const std::string kSource = DORNA_SOURCE_DIR;
const std::string kShowcase = kSource + "/examples/showcase.korvo.json";

class SceneExport : public ::testing::Test {
protected:
    // Exports `scene` to `output` in the temporary folder with the leak check on.
    void exportScene(const std::string& scene, const std::string& output, std::vector<std::string> options = {}) {
        std::vector<std::string> arguments = {"export", scene, "-o", folder / output};
        arguments.insert(arguments.end(), options.begin(), options.end());
        const CommandResult r = runKorvo(arguments, folder.path(), {{"KORVO_CHECK_LEAKS", "1"}});
        ASSERT_EQ(r.status, 0) << r.err;
    }
    TempFolder folder;
};

TEST_F(SceneExport, ASmallSceneIsWrittenExactlyAsExpected) {
    exportScene(kSource + "/tests/e2e/expected/small_scene.korvo.json", "small.x");
    const std::string expected = readFile(kSource + "/tests/e2e/expected/small_scene.x");
    ASSERT_EQ(expected.size(), 5026u) << "the expected file lost its CR LF";
    EXPECT_EQ(readFile(folder / "small.x"), expected);
}

#ifdef DORNA_WITH_IMPORT

import::ModelData readBack(const std::string& path) {
    import::ModelData model;
    std::string error;
    EXPECT_TRUE(import::readModel(path, import::ReadMode::Triangles, model, error)) << path << ": " << error;
    return model;
}

std::vector<std::string> nodeNames(const import::ModelData& model) {
    std::vector<std::string> names;
    for (const import::ModelNode& node : model.nodes) names.push_back(node.name);
    return names;
}

// The length of the triangles' bounding box along one axis.
double extent(const std::vector<import::WorldTriangle>& triangles, int axis) {
    double low = 1e300, high = -1e300;
    for (const import::WorldTriangle& t : triangles)
        for (const import::WorldCorner& c : t.corners) {
            low = std::min(low, c.position[axis]);
            high = std::max(high, c.position[axis]);
        }
    return high - low;
}

TEST_F(SceneExport, TheShowcaseReadsBackWithItsFramesMeshesAndMaterials) {
    exportScene(kShowcase, "showcase.x");
    const import::ModelData model = readBack(folder / "showcase.x");
    const std::vector<std::string> names = nodeNames(model);
    for (const char* frame : {"DORNA_ROOT", "Szene_Wohnzimmer_0", "Tisch_1", "Tisch_Platte_2", "Kugel_gross_3",
                              "Fuesse_4", "Fuss_vorne_5", "Fuss_hinten_6", "Zeltdach_7"}) {
        EXPECT_NE(std::find(names.begin(), names.end(), frame), names.end()) << frame;
    }
    ASSERT_EQ(model.meshes.size(), 5u);
    int textured = 0;
    for (const import::ModelMesh& mesh : model.meshes) {
        EXPECT_FALSE(mesh.uv.empty()) << mesh.name;
        const import::ModelMaterial& material = model.materials.at(static_cast<size_t>(mesh.material));
        for (const import::ModelTexture& texture : material.textures) {
            // Named from the written file's folder, where the scene's name would lead nowhere.
            EXPECT_TRUE(std::filesystem::equivalent(folder / texture.path, kSource + "/examples/textures/holz.png"))
                << texture.path;
            ++textured;
        }
    }
    EXPECT_EQ(textured, 4);  // the table top, both feet and the roof; the ball is plain
}

TEST_F(SceneExport, FramesOnAndOffPlaceEveryVertexAtTheSamePoint) {
    exportScene(kShowcase, "frames.x");
    exportScene(kShowcase, "flat.x", {"--no-frames"});
    const std::vector<import::WorldTriangle> framed = import::worldTriangles(readBack(folder / "frames.x"));
    const std::vector<import::WorldTriangle> flat = import::worldTriangles(readBack(folder / "flat.x"));
    ASSERT_EQ(framed.size(), 12u + 224u + 12u + 12u + 4u);
    ASSERT_EQ(flat.size(), framed.size());
    EXPECT_EQ(import::compareTriangles(framed, flat, 1e-4, 1e-6), std::vector<std::string>{});
}

TEST_F(SceneExport, TheSceneScaleMovesVerticesTheSameWayWithFramesAndWithout) {
    const std::vector<std::string> scaling = {"--scale-scene", "--scale", "50,200,100"};
    std::vector<std::string> flatScaling = scaling;
    flatScaling.push_back("--no-frames");
    exportScene(kShowcase, "plain.x");
    exportScene(kShowcase, "scaled.x", scaling);
    exportScene(kShowcase, "scaled-flat.x", flatScaling);
    const std::vector<import::WorldTriangle> plain = import::worldTriangles(readBack(folder / "plain.x"));
    const std::vector<import::WorldTriangle> scaled = import::worldTriangles(readBack(folder / "scaled.x"));
    const std::vector<import::WorldTriangle> flat = import::worldTriangles(readBack(folder / "scaled-flat.x"));
    EXPECT_EQ(import::compareTriangles(scaled, flat, 1e-4, 1e-6), std::vector<std::string>{});
    // The scale really applies: half as wide, twice as tall, as deep as before.
    for (int axis = 0; axis < 3; ++axis) {
        const double factor[3] = {0.5, 2.0, 1.0};
        EXPECT_NEAR(extent(scaled, axis), extent(plain, axis) * factor[axis], 1e-4) << "axis " << axis;
    }
}

#endif

}  // namespace
}  // namespace korvo::e2e
