// Skin weights and their blocks: which bones a mesh gets, the weights carried over to
// the exported vertices and normalised, the header and weight blocks with their offset
// matrices, and what remains of one mesh's skin when the next is written.
#include "xfile/skin_writer.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "host/host.h"
#include "module/skin/skin_fixture.h"
#include "mesh/export_mesh.h"
#include "settings/export_settings.h"
#include "skin/placement.h"
#include "xfile/scene_walk.h"
#include "skin/skin_weights.h"

namespace dorna {
namespace {

using korvo::SceneObject;

const std::string kIdentityRows =
    "1.000000, 0.000000, 0.000000, 0.000000,\r\n"
    "0.000000, 1.000000, 0.000000, 0.000000,\r\n"
    "0.000000, 0.000000, 1.000000, 0.000000,\r\n";

korvo::BoneWeights weightsOf(const std::string& bone, std::vector<double> perPoint) {
    return korvo::BoneWeights{bone, std::move(perPoint)};
}

class SkinWeights : public WriterTest {
protected:
    SkinWeights() { initSkinData(skin); }
    ~SkinWeights() override { releaseSkinData(skin); }

    // The mesh as the scene walk hands it over: built, unplaced.
    struct Converted {
        ExportMesh mesh;
        MeshArrays arrays{};
    };
    void convert(KrvObject object, Converted& out) {
        ExportStatus status;
        EXPECT_TRUE(buildExportMesh(out.mesh, object, meshOptionsOf(settings), status));
        out.arrays = finishExportMesh(out.mesh, nullptr, nullptr);
    }

    void writeSkin(KrvObject object, ExportContext& context) {
        Converted mesh;
        convert(object, mesh);
        writeMeshSkin(context, skin, object, mesh.arrays.vertexCount, mesh.arrays.indices, mesh.arrays.indexCount);
    }
    std::string skinOf(KrvObject object) {
        return captured([&](ExportContext& context) { writeSkin(object, context); });
    }

    KrvObject find(const std::string& name) { return host.findObject(document, name); }

    SkinData skin;
};

TEST_F(SkinWeights, ASingleBoneWeightsEveryVertexFully) {
    SceneObject mesh = triangleObject("Mesh");
    mesh.weights = {weightsOf("Bone", {0.5, 0.25, 2.0})};
    const KrvObject object = load({mesh, boneObject("Bone", {0, 2, 0})}, "Mesh");

    EXPECT_EQ(skinOf(object),
              "\r\nXSkinMeshHeader {\r\n1;\r\n3;\r\n1;\r\n}\r\n\r\n"
              "SkinWeights {\r\n \"Bone\";\r\n 3;\r\n0,\r\n1,\r\n2;\r\n1.000000,\r\n1.000000,\r\n1.000000;\r\n" +
                  kIdentityRows + "0.000000, -2.000000, 0.000000, 1.000000;;\r\n}\r\n\r\n");
    EXPECT_TRUE(host.userMessages().empty());
}

TEST_F(SkinWeights, WeightsAreSharedOutByTheirSumAndOnlyPositiveOnesCount) {
    // Point 0: 0.2 and 0.6; point 1: zero and negative, in no block; point 2: the first bone.
    SceneObject mesh = triangleObject("Mesh");
    mesh.weights = {weightsOf("First", {0.2, 0.0, 1.0}), weightsOf("Second", {0.6, -1.0, 0.0})};
    const KrvObject object = load({mesh, boneObject("First"), boneObject("Second")}, "Mesh");

    const std::string rest = kIdentityRows + "0.000000, 0.000000, 0.000000, 1.000000;;\r\n}\r\n\r\n";
    EXPECT_EQ(skinOf(object),
              "\r\nXSkinMeshHeader {\r\n2;\r\n3;\r\n2;\r\n}\r\n\r\n"
              "SkinWeights {\r\n \"First\";\r\n 2;\r\n0,\r\n2;\r\n0.250000,\r\n1.000000;\r\n" + rest +
              "SkinWeights {\r\n \"Second\";\r\n 1;\r\n0;\r\n0.750000;\r\n" + rest);
}

TEST_F(SkinWeights, APointSplitIntoThreeVerticesGivesAllThreeToEachBone) {
    // Three faces at right angles meet at point 0: smoothing keeps its normals apart.
    SceneObject corner =
        polygonObject("Corner", {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}}, {{0, 1, 2}, {0, 2, 3}, {0, 3, 1}});
    corner.weights = {weightsOf("A", {1, 0, 0, 0}), weightsOf("B", {0.5, 0, 0, 0})};
    const KrvObject object = load({corner, boneObject("A"), boneObject("B")}, "Corner");
    Converted mesh;
    convert(object, mesh);
    ASSERT_TRUE(setMesh(skin, object, mesh.arrays.vertexCount, mesh.arrays.indices, mesh.arrays.indexCount));

    ASSERT_TRUE(findBones(object, skin));
    ASSERT_EQ(skin.boneCount, 2);
    for (int32_t b = 0; b < 2; ++b) {
        std::set<int32_t> vertices;
        for (int32_t i = 0; i < skin.bones[b].pairCount; ++i) {
            const ExportVertex& v = mesh.arrays.vertices[skin.bones[b].pairs[i].vertex];
            EXPECT_EQ(v.x * v.x + v.y * v.y + v.z * v.z, 0.0f) << "a vertex of point 0";
            vertices.insert(skin.bones[b].pairs[i].vertex);
        }
        EXPECT_EQ(vertices.size(), 3u) << "bone " << b;
        EXPECT_EQ(skin.bones[b].pairCount, 3) << "bone " << b;
    }
    EXPECT_EQ(maxWeightsPerVertex(skin), 2);
    EXPECT_EQ(maxWeightsPerFace(skin), 2);
}

TEST_F(SkinWeights, BonesAreSearchedFromTheMeshOnwardsDepthFirst) {
    // Before the mesh and above it nothing is searched; after it: its own children, then
    // its later siblings with their children.
    SceneObject mesh = triangleObject("Mesh");
    mesh.children = {boneObject("Own")};
    mesh.weights = {weightsOf("Before", {1, 1, 1}), weightsOf("Own", {1, 1, 1}), weightsOf("After", {1, 1, 1}),
                    weightsOf("Child", {1, 1, 1}), weightsOf("Above", {1, 1, 1})};
    SceneObject holder;
    holder.name = "Above";
    holder.type = korvo::ObjectType::Bone;
    holder.children = {mesh, boneObject("After", {0, 0, 0}, {boneObject("Child")})};
    const KrvObject object = load({boneObject("Before"), holder}, "Mesh");

    const std::string text = skinOf(object);
    EXPECT_EQ(text.find("\"Before\""), std::string::npos);
    EXPECT_EQ(text.find("\"Above\""), std::string::npos);
    const size_t own = text.find("\"Own\""), after = text.find("\"After\""), child = text.find("\"Child\"");
    ASSERT_NE(child, std::string::npos);
    EXPECT_LT(own, after);
    EXPECT_LT(after, child);
    EXPECT_EQ(text.rfind("\r\nXSkinMeshHeader {\r\n3;\r\n9;\r\n3;\r\n}", 0), 0u) << text.substr(0, 40);
    // Every vertex has three bones at weight 1: each written weight is a third.
    EXPECT_EQ(countOf(text, "0.333333"), 9);
}

TEST_F(SkinWeights, AnOffsetMatrixUndoesTheWholeRestChain) {
    SceneObject mesh = triangleObject("Mesh");
    mesh.weights = {weightsOf("Child", {1, 1, 1})};
    SceneObject holder;  // not a bone: passed over in the chain
    holder.name = "Holder";
    holder.type = korvo::ObjectType::Null;
    holder.position = {5, 5, 5};
    holder.children = {boneObject("Child", {0, 1, 0})};
    const KrvObject object = load({mesh, boneObject("Parent", {0, 2, 0}, {holder})}, "Mesh");

    const std::string text = skinOf(object);
    EXPECT_NE(text.find(kIdentityRows + "0.000000, -3.000000, 0.000000, 1.000000;;\r\n}"), std::string::npos)
        << text;
}

TEST_F(SkinWeights, ARestMatrixWithoutInverseIsInvertedWithZeroScalesAsOne) {
    SceneObject mesh = triangleObject("Mesh");
    mesh.weights = {weightsOf("NoScale", {1, 1, 1}), weightsOf("Flat", {1, 1, 1})};
    SceneObject noScale = boneObject("NoScale", {0, 2, 0});
    noScale.rest.scale.reset();
    SceneObject flat = boneObject("Flat", {0, 2, 0});
    flat.rest.scale = korvo::Vec3{2, 0, 1};
    const KrvObject object = load({mesh, noScale, flat}, "Mesh");

    const std::string text = skinOf(object);
    EXPECT_NE(text.find(kIdentityRows + "0.000000, -2.000000, 0.000000, 1.000000;;"), std::string::npos) << text;
    EXPECT_NE(text.find("0.500000, 0.000000, 0.000000, 0.000000,\r\n"
                        "0.000000, 1.000000, 0.000000, 0.000000,\r\n"
                        "0.000000, 0.000000, 1.000000, 0.000000,\r\n"
                        "0.000000, -2.000000, 0.000000, 1.000000;;"),
              std::string::npos)
        << text;
    EXPECT_EQ(text.find("nan"), std::string::npos);
    EXPECT_EQ(text.find("inf"), std::string::npos);
}

TEST_F(SkinWeights, ARestChainOfFortyBonesIsCutToTheBoneItself) {
    auto chainOf = [](int depth) {
        SceneObject bone = boneObject("B" + std::to_string(depth - 1), {0, 1, 0});
        for (int i = depth - 2; i >= 0; --i) bone = boneObject("B" + std::to_string(i), {0, 1, 0}, {bone});
        return bone;
    };
    load({chainOf(39)}, "B0");
    EXPECT_EQ(boneOffsetMatrix(find("B38")).offset.y, -39.0f);
    EXPECT_TRUE(host.userMessages().empty());

    load({chainOf(40)}, "B0");
    EXPECT_EQ(boneOffsetMatrix(find("B39")).offset.y, -1.0f);
    EXPECT_EQ(host.userMessages(), std::vector<std::string>{"To many parent objects!"});
}

TEST_F(SkinWeights, AMeshTakesAtMost199Bones) {
    SceneObject mesh = triangleObject("Mesh");
    std::vector<SceneObject> scene;
    for (int i = 0; i < 200; ++i) {
        const std::string name = "B" + std::to_string(i);
        mesh.weights.push_back(weightsOf(name, {1, 1, 1}));
        scene.push_back(boneObject(name));
    }
    scene.insert(scene.begin(), mesh);
    const KrvObject object = load(scene, "Mesh");

    const std::string text = skinOf(object);
    EXPECT_EQ(text.rfind("\r\nXSkinMeshHeader {\r\n199;\r\n597;\r\n199;\r\n}", 0), 0u) << text.substr(0, 40);
    EXPECT_EQ(countOf(text, "SkinWeights {"), 199);
    EXPECT_NE(text.find("\"B198\""), std::string::npos);
    EXPECT_EQ(text.find("\"B199\""), std::string::npos);
    EXPECT_TRUE(host.userMessages().empty());
}

TEST_F(SkinWeights, NothingIsWrittenWithoutInfluencingBonesOrWithoutBonesAndFrames) {
    SceneObject mesh = triangleObject("Mesh");
    mesh.weights = {weightsOf("Zero", {0, 0, 0}), weightsOf("Bone", {1, 1, 1})};
    SceneObject group;
    group.name = "Group";
    const KrvObject object = load({mesh, group, boneObject("Zero"), boneObject("Unweighted")}, "Mesh");
    EXPECT_EQ(skinOf(object), "");

    load({mesh, boneObject("Bone")}, "Mesh");
    settings.exportBones = 0;
    EXPECT_EQ(skinOf(find("Mesh")), "");
    settings.exportBones = 1;
    settings.exportFrames = 0;
    EXPECT_EQ(skinOf(find("Mesh")), "");
}

TEST_F(SkinWeights, NothingOfOneMeshReachesTheNext) {
    SceneObject first = triangleObject("First");
    first.weights = {weightsOf("Bone", {1, 1, 1})};
    SceneObject empty = polygonObject("Empty", {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {});
    empty.weights = {weightsOf("Bone", {1, 1, 1})};
    SceneObject second = triangleObject("Second");
    second.weights = {weightsOf("Bone", {1, 0, 0})};
    load({first, empty, second, boneObject("Bone")}, "First");

    EXPECT_NE(skinOf(find("First")), "");
    // A mesh without polygons has no mesh block: no skin, and nothing of the first kept.
    EXPECT_EQ(skinOf(find("Empty")), "");
    EXPECT_EQ(skin.tallies, nullptr);
    EXPECT_EQ(skin.boneCount, 0);
    // The next mesh counts its own bones only: one bone, at one vertex.
    EXPECT_EQ(skinOf(find("Second")),
              "\r\nXSkinMeshHeader {\r\n1;\r\n1;\r\n1;\r\n}\r\n\r\n"
              "SkinWeights {\r\n \"Bone\";\r\n 1;\r\n0;\r\n1.000000;\r\n" +
                  kIdentityRows + "0.000000, 0.000000, 0.000000, 1.000000;;\r\n}\r\n\r\n");
}

TEST_F(SkinWeights, RefusedStorageIsReportedNeverLeaksAndDropsTheFile) {
    SceneObject mesh = triangleObject("Mesh");
    mesh.weights = {weightsOf("Bone", {1, 1, 1})};
    const KrvObject object = load({mesh, boneObject("Bone")}, "Mesh");

    std::set<std::string> messages;
    bool completedOnce = false;
    for (int64_t n = 1; !completedOnce; ++n) {
        host.clearMessages();
        const ExportFailure failure = failureOf([&](ExportContext& context) {
            Converted converted;
            convert(object, converted);
            host.refuseAllocation(n);
            writeMeshSkin(context, skin, object, converted.arrays.vertexCount, converted.arrays.indices,
                          converted.arrays.indexCount);
            completedOnce = host.allocationRequests() < n;
            host.refuseAllocation(0);
        });
        releaseSkinData(skin);
        expectNothingHeld();
        const bool failed = failure != ExportFailure::None;
        EXPECT_LE(host.userMessages().size(), 1u) << "refusal " << n;
        for (const std::string& message : host.userMessages()) {
            messages.insert(message);
            EXPECT_EQ(failure, ExportFailure::StorageRefused) << message;
        }
        if (completedOnce) {
            EXPECT_FALSE(failed);
        }
        // Short of the whole skin, the file is never kept: a bone does not silently drop out.
        EXPECT_TRUE(failed || completedOnce) << "refusal " << n << " was neither written whole nor recorded";
    }
    EXPECT_EQ(messages, (std::set<std::string>{"Unable to create Skinweigths!", "Unable to create Vertexweigths!"}));
}

}  // namespace
}  // namespace dorna
