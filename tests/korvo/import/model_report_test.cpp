#include "korvo/import/model_report.h"

#include <gtest/gtest.h>

#include "korvo/import/model_compare.h"

namespace korvo::import {
namespace {

TEST(ModelReport, ListsFramesMeshesMaterialsBonesAndKeys) {
    ModelData model;
    model.nodes = {{"root", -1, {1, 2}, {}, {}}, {"Body", 0, {}, {}, {0}}, {"Arm", 0, {3}, {}, {}},
                   {"Hand", 2, {}, {}, {}}};
    ModelMesh mesh;
    mesh.name = "BodyMesh";
    mesh.positions.resize(5);
    mesh.faceSizes = {3, 4};
    mesh.corners = {0, 1, 2, 0, 2, 3, 4};
    mesh.bones = {{"Arm", {}, {{0, 1}, {1, 0.5}}}};
    model.meshes = {mesh};
    model.materials = {{"Skin", Vec3{0.5, 0.25, 1}, std::nullopt, Vec3{0, 0, 0}, 0.5, {{"Diffuse", "skin.png"}}}};
    ModelChannel channel{"Hand", 3, {{0, {}}, {1, {}}}, {}, {{0, {}}}};
    model.animations = {{"wave", 48, 24, {channel}}};
    EXPECT_EQ(describeModel(model),
              "frames: 4\n"
              "  \"root\"\n"
              "    \"Body\" mesh 0\n"
              "    \"Arm\"\n"
              "      \"Hand\"\n"
              "meshes: 1\n"
              "  mesh 0 \"BodyMesh\": 5 vertices, 2 faces (1 triangles), material 0, no uv\n"
              "    bone \"Arm\": 2 weights\n"
              "materials: 1\n"
              "  material 0 \"Skin\"\n"
              "    diffuse 0.5 0.25 1\n"
              "    emissive 0 0 0\n"
              "    opacity 0.5\n"
              "    texture Diffuse \"skin.png\"\n"
              "animations: 1\n"
              "  animation \"wave\": 48 ticks at 24 ticks per second (2 s), 1 channels\n"
              "    \"Hand\": 2 position, 1 rotation, 0 scale keys\n");
}

WorldTriangle triangle(Vec3 a, Vec3 b, Vec3 c) {
    WorldTriangle t;
    t.corners[0].position = a;
    t.corners[1].position = b;
    t.corners[2].position = c;
    return t;
}

TEST(CompareTriangles, PairsTrianglesInAnyOrderButKeepsTheirWinding) {
    const std::vector<WorldTriangle> expected = {triangle({0, 0, 0}, {1, 0, 0}, {0, 1, 0}),
                                                 triangle({5, 5, 5}, {6, 5, 5}, {5, 6, 5})};
    const std::vector<WorldTriangle> rotated = {triangle({6, 5, 5}, {5, 6, 5}, {5, 5, 5.00001}),
                                                triangle({1, 0, 0}, {0, 1, 0}, {0, 0, 0})};
    EXPECT_EQ(compareTriangles(expected, rotated, 1e-4, 1e-4), std::vector<std::string>{});

    const std::vector<WorldTriangle> flipped = {triangle({0, 0, 0}, {0, 1, 0}, {1, 0, 0}), rotated[0]};
    EXPECT_EQ(compareTriangles(expected, flipped, 1e-4, 1e-4),
              std::vector<std::string>{"no partner for the triangle (0 0 0)(1 0 0)(0 1 0)"});

    std::vector<WorldTriangle> withUv = expected;
    withUv[0].hasUv = true;
    withUv[0].corners[2].uv = {0, 1};
    EXPECT_EQ(compareTriangles(withUv, expected, 1e-4, 1e-4).size(), 1u);
    EXPECT_EQ(compareTriangles(expected, {expected[0]}, 1e-4, 1e-4).front(), "2 triangles expected, 1 found");
}

TEST(CompareTriangles, ExportedNamesAreLatin1WithSeparatorsReplaced) {
    EXPECT_EQ(exportedName("Bein 3.Li-x/y\\z^"), "Bein_3_Li_x_y_z_");
    EXPECT_EQ(exportedName("K\xC3\xB6pfchen \xC3\x9F \xE2\x82\xAC"), "Koepfchen_ss_?");
    EXPECT_EQ(exportedName("nodes[1] {a;b,c} <d>(e)#\"f\"\t"), "nodes_1___a_b_c___d__e___f__");
    EXPECT_EQ(exportedName(""), "_");
}

}  // namespace
}  // namespace korvo::import
