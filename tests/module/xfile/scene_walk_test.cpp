// The walk over the object tree: which objects get a frame and a mesh, in which order
// and nesting, what is skipped with its subtree, meshes placed without frames, and a
// file that survives every refused allocation with balanced braces.
#include "xfile/scene_walk.h"

#include <gtest/gtest.h>
#include <pthread.h>

#include <string>
#include <vector>

#include "file_text.h"
#include "module/skin/skin_fixture.h"
#include "settings/export_settings.h"
#include "xfile/names.h"

namespace dorna {
namespace {

using korvo::ObjectType;
using korvo::SceneObject;

SceneObject object(const std::string& name, ObjectType type, std::vector<SceneObject> children = {}) {
    SceneObject o;
    o.name = name;
    o.type = type;
    o.children = std::move(children);
    return o;
}

SceneObject triangle(const std::string& name, std::vector<SceneObject> children = {}) {
    SceneObject o = triangleObject(name);
    o.children = std::move(children);
    return o;
}

// The frames and meshes of a text as "Frame[Mesh Child[...]]", following its braces
// (strings skipped); "unbalanced" when they do not match.
std::string outline(const std::string& text) {
    std::string result;
    std::vector<bool> shown;  // per open brace: whether it is a frame or mesh
    size_t lineStart = 0;
    bool inString = false;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\n') lineStart = i + 1;
        if (c == '"') inString = !inString;
        if (inString) continue;
        if (c == '{') {
            const std::string head = text.substr(lineStart, i - lineStart);
            const bool frame = head.rfind("Frame ", 0) == 0;
            const bool mesh = head.rfind("Mesh ", 0) == 0;
            if (frame || mesh) {
                if (!result.empty() && result.back() != '[') result += ' ';
                result += head.substr(frame ? 6 : 5, head.size() - (frame ? 7 : 6));
                if (frame) result += '[';
            }
            shown.push_back(frame);
        } else if (c == '}') {
            if (shown.empty()) return "unbalanced";
            if (shown.back()) {
                // A frame without frames or meshes inside shows as its name alone.
                if (result.back() == '[') {
                    result.pop_back();
                } else {
                    result += ']';
                }
            }
            shown.pop_back();
        }
    }
    return shown.empty() && !inString ? result : "unbalanced";
}

// Every write of the module's files also lands in `recorded`, so that a file the host
// does not commit can still be read.
std::string recorded;
const KrvFileTable* realFiles = nullptr;

int32_t KRV_CALL recordWrite(KrvFile file, const void* bytes, int32_t count) {
    recorded.append(static_cast<const char*>(bytes), static_cast<size_t>(count));
    return realFiles->write(file, bytes, count);
}

class SceneWalk : public WriterTest {
protected:
    SceneWalk() {
        realFiles = host.root()->file;
        files = *realFiles;
        files.write = recordWrite;
        root = *host.root();
        root.file = &files;
        setHost(&root);
    }

    // The text the walk over these top-level objects writes.
    std::string exported(std::vector<SceneObject> objects) {
        load(std::move(objects), "");
        return captured([&](ExportContext& context) { exportHierarchy(context); });
    }

    KrvFileTable files;
    KrvHost root;
};

TEST_F(SceneWalk, FramesNestAsTheObjectTreeWithEachMeshInsideItsFrame) {
    const std::string text = exported({object("Root", ObjectType::Null,
                                              {triangle("A", {object("A child", ObjectType::Null)}),
                                               object("B", ObjectType::Null)}),
                                       triangle("C")});
    EXPECT_EQ(outline(text), "Root_0[A_1[M_A_1 A_child_2] B_3] C_4[M_C_4]");
    // The frame's matrix line is ended by the walk; the mesh follows the frame directly.
    EXPECT_NE(text.find(";;}\r\nFrame A_1 {"), std::string::npos);
    EXPECT_NE(text.find(";;}\r\nMesh M_A_1 {\r\n"), std::string::npos);
    expectNothingHeld();
}

TEST_F(SceneWalk, WithoutUniqueNamesTheCleanedNamesAreKept) {
    settings.uniqueNames = 0;
    EXPECT_EQ(outline(exported({triangle("Box"), triangle("Box")})), "Box[M_Box] Box[M_Box]");
}

TEST_F(SceneWalk, BonesGetFramesOnlyWithBonesExported) {
    const std::vector<SceneObject> scene = {
        object("Hip", ObjectType::Null, {boneObject("Thigh", {0, 1, 0}, {triangle("Skin")})}),
        object("After", ObjectType::Null)};
    // A bone keeps its plain name and takes no number.
    EXPECT_EQ(outline(exported(scene)), "Hip_0[Thigh[Skin_1[M_Skin_1]]] After_2");
    settings.exportBones = 0;
    EXPECT_EQ(outline(exported(scene)), "Hip_0[Skin_1[M_Skin_1]] After_2");
    expectNothingHeld();
}

TEST_F(SceneWalk, AnObjectTheHostCannotConvertIsSkippedWithItsSubtree) {
    const std::string text = exported({object("Camera", ObjectType::Camera, {triangle("Under camera")}),
                                       object("Light", ObjectType::Light), triangle("After")});
    EXPECT_EQ(outline(text), "After_2[M_After_2]");
    expectNothingHeld();
}

TEST_F(SceneWalk, AGeneratorIsExportedAsThePolygonObjectTheHostMakesOfIt) {
    SceneObject box = object("Box", ObjectType::Cube, {object("Lid", ObjectType::Null)});
    box.position = {0, 5, 0};
    const std::string text = exported({box});
    EXPECT_EQ(outline(text), "Box_0[M_Box_0 Lid_1]");
    EXPECT_NE(text.find("0.000000, 5.000000, 0.000000, 1.000000;;}"), std::string::npos);
    // Six faces of two triangles each.
    EXPECT_NE(text.find("\r\n 12;\r\n3;"), std::string::npos);
    expectNothingHeld();
}

TEST_F(SceneWalk, APolygonObjectWithPointsButNoPolygonsKeepsItsFrameButHasNoMesh) {
    SceneObject cloud = object("Cloud", ObjectType::Polygon, {triangle("Child")});
    cloud.points = {{0, 0, 0}, {1, 0, 0}};
    EXPECT_EQ(outline(exported({cloud})), "Cloud_0[Child_1[M_Child_1]]");
    settings.exportFrames = 0;
    EXPECT_EQ(outline(exported({cloud})), "M_Child_1");
    expectNothingHeld();
}

TEST_F(SceneWalk, APolygonOutOfRangeFailsTheFileAndEndsTheWalk) {
    SceneObject bad = triangle("Bad");
    bad.polygons.push_back({0, 2, 7, 7});
    load({bad, triangle("After")}, "");
    recorded.clear();
    EXPECT_EQ(failureOf([](ExportContext& context) { exportHierarchy(context); }), ExportFailure::PolygonOutOfRange);
    // Nothing after the failure is written.
    EXPECT_EQ(recorded.find("After"), std::string::npos);
    expectNothingHeld();
}

TEST_F(SceneWalk, WithoutFramesMeshesFollowEachOtherPlacedInTheWorld) {
    settings.exportFrames = 0;
    SceneObject moved = triangle("Moved");
    moved.position = {0, 0, 2};
    SceneObject parent = object("Parent", ObjectType::Null, {moved});
    parent.position = {10, 0, 0};
    parent.scale = {2, 2, 2};
    const std::vector<SceneObject> scene = {parent, boneObject("Bone", {0, 0, 0}, {triangle("Tri")})};
    std::string text = exported(scene);
    EXPECT_EQ(outline(text), "M_Moved_1 M_Tri_2");
    EXPECT_NE(text.find(" 3;\r\n10.000000; 0.000000; 4.000000;,\r\n12.000000; 0.000000; 4.000000;,\r\n"
                        "10.000000; 2.000000; 4.000000;;\r\n"),
              std::string::npos)
        << text;
    EXPECT_EQ(text.find("SkinWeights"), std::string::npos);

    settings.scaleScene = 1;
    settings.sceneScale = {0.5f, 1.0f, -1.0f};
    text = exported(scene);
    EXPECT_NE(text.find(" 3;\r\n5.000000; 0.000000; -4.000000;,\r\n6.000000; 0.000000; -4.000000;,\r\n"), std::string::npos)
        << text;
}

TEST_F(SceneWalk, NullsAndBonesAreNotCopiedForAConversionTheHostCannotMake) {
    // Each copy would take the whole subtree along: quadratic in the depth of the tree.
    SceneObject chain = object("Leaf", ObjectType::Null);
    for (int level = 0; level < 200; ++level)
        chain = level % 2 ? object("Null", ObjectType::Null, {chain}) : boneObject("Bone", {0, 0, 0}, {chain});
    load({chain}, "");
    captured([&](ExportContext& context) {
        host.refuseAllocation(0);
        exportHierarchy(context);
        // The walk's path grows by doubling: a handful of blocks, where a copy per object
        // would cost hundreds.
        EXPECT_LT(host.allocationRequests(), 20);
    });
}

// Runs `body` on a thread of `stackBytes` of stack.
template <typename Body>
void onThread(size_t stackBytes, Body body) {
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    pthread_attr_setstacksize(&attributes, stackBytes);
    pthread_t thread;
    const auto run = [](void* argument) -> void* {
        (*static_cast<Body*>(argument))();
        return nullptr;
    };
    ASSERT_EQ(pthread_create(&thread, &attributes, run, &body), 0);
    pthread_join(thread, nullptr);
    pthread_attr_destroy(&attributes);
}

// A scene 10,000 objects deep, written on a thread with a quarter of the stack a Windows
// thread has by default: no walk of the export keeps its path on the stack. (The test's
// scene records and the stand-in host nest as deep: they are made and given back on a
// thread of ample stack.)
TEST_F(SceneWalk, ASceneTenThousandDeepIsWrittenOnASmallStack) {
    constexpr int kDepth = 10000;
    constexpr size_t kAmpleStack = size_t{1} << 30;
    onThread(kAmpleStack, [&] {
        SceneObject chain = triangleObject("Leaf");
        for (int level = 0; level < kDepth; ++level) {
            SceneObject parent = level % 100 ? object("Null", ObjectType::Null) : boneObject("Bone");
            parent.children.push_back(std::move(chain));
            chain = std::move(parent);
        }
        korvo::Scene scene;
        scene.objects.push_back(std::move(chain));
        document = host.loadDocument(scene);
    });

    std::string text;
    onThread(256 * 1024, [&] {
        text = captured([](ExportContext& context) {
            EXPECT_TRUE(beginFrameNames(context.names, context.document, true, true));
            exportHierarchy(context);
        });
    });
    EXPECT_EQ(countOf(text, "Frame "), kDepth + 1);
    EXPECT_EQ(countOf(text, "Mesh M_Leaf"), 1);
    onThread(kAmpleStack, [&] { host.releaseDocument(document); });
}

TEST_F(SceneWalk, ADocumentWithoutObjectsWritesNothing) {
    EXPECT_EQ(exported({}), "");
    expectNothingHeld();
}

// Refuses each allocation of the walk in turn: the file is whole or records why it
// cannot be kept, its braces balance, and everything taken is given back.
TEST_F(SceneWalk, SurvivesEveryRefusedAllocation) {
    SceneObject box = object("Box", ObjectType::Cube);
    const std::vector<SceneObject> scene = {
        object("Root", ObjectType::Null, {triangle("A", {triangle("A child")}), box, triangle("B")}), triangle("C")};

    // The walk over a fresh document with the n-th allocation refused (0: none).
    int64_t requests = 0;
    const testfiles::ScratchFolder scratch("traversal");
    const auto walk = [&](int64_t refused, bool& incomplete) {
        load(scene, "");
        ExportStatus status;
        XTextWriter writer(status);
        ExportContext context{settings, document, writer, status};
        HostFileName name;
        name.setFromString(HostString((scratch.path() + "/refused.x").c_str()));
        EXPECT_TRUE(writer.open(name.get()));
        recorded.clear();
        host.refuseAllocation(refused);
        exportHierarchy(context);
        requests = host.allocationRequests();
        host.refuseAllocation(0);
        incomplete = !status.ok();
        // A sound file hands over all its text as it closes.
        if (incomplete)
            writer.discard();
        else
            EXPECT_TRUE(writer.close());
        host.releaseDocument(document);
        return recorded;
    };

    bool incomplete = false;
    const std::string whole = walk(0, incomplete);
    ASSERT_FALSE(incomplete);
    ASSERT_EQ(outline(whole), "Root_0[A_1[M_A_1 A_child_2[M_A_child_2]] Box_3[M_Box_3] B_4[M_B_4]] C_5[M_C_5]");
    const int64_t total = requests;
    ASSERT_GT(total, 10);

    int incompleteFiles = 0;
    for (int64_t refused = 1; refused <= total && !HasFailure(); ++refused) {
        const std::string text = walk(refused, incomplete);
        if (incomplete) {
            ++incompleteFiles;
            // Nothing past the failure reaches the file.
            EXPECT_EQ(whole.compare(0, text.size(), text), 0) << "refused allocation " << refused << "\n" << text;
        } else {
            EXPECT_EQ(text, whole) << "refused allocation " << refused;
        }
        expectNothingHeld();
    }
    EXPECT_GT(incompleteFiles, 0);
}

}  // namespace
}  // namespace dorna
