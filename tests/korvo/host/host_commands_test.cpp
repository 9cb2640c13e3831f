// Modelling commands: triangulation in place with UV corners, generators made
// editable, and the commands that change nothing or fail.
#include <gtest/gtest.h>

#include "korvo/host/host.h"

// The SDK's plain records live in the global namespace; so do their comparisons.
static bool operator==(const KrvPolygon& a, const KrvPolygon& b) { return a.a == b.a && a.b == b.b && a.c == b.c && a.d == b.d; }
static bool operator==(const KrvVector& a, const KrvVector& b) { return a.x == b.x && a.y == b.y && a.z == b.z; }

namespace korvo {
namespace {

class HostCommands : public ::testing::Test {
protected:
    void TearDown() override {
        EXPECT_TRUE(host.faults().empty()) << host.faults().front();
        EXPECT_EQ(host.liveCounts().total(), 0);
    }
    int32_t send(int32_t command, KrvObject object, KrvDocument document = nullptr) {
        data = KrvCommandData{document, object, nullptr, 0, 0, 0, 1, 0, nullptr};
        return h.command->send(command, &data);
    }
    std::vector<KrvPolygon> polygons(KrvObject o) {
        int32_t n = 0;
        const KrvPolygon* p = h.object->polygons(o, &n);
        return std::vector<KrvPolygon>(p, p + n);
    }

    Host host;
    const KrvHost& h = *host.root();
    KrvCommandData data{};
};

TEST_F(HostCommands, TriangulationSplitsQuadsInPlaceWithTheirUVs) {
    Scene scene;
    SceneObject o;
    o.name = "Mesh";
    o.type = ObjectType::Polygon;
    o.points = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}, {2, 0, 0}};
    o.polygons = {{0, 1, 2, 3}, {1, 4, 2, 2}, {3, 2, 4, 0}};
    const Vec2 ua{0, 0}, ub{1, 0}, uc{1, 1}, ud{0, 1}, ue{0.5, 0.5};
    o.uvw = std::vector<PolygonUV>{{{ua, ub, uc, ud}}, {{ub, ue, uc, uc}}, {{ud, uc, ue, ua}}};
    // The normal tag holds the same corners with z 0: it must be split alike.
    const auto normal = [](const Vec2& uv) { return Vec3{uv[0], uv[1], 0}; };
    o.normals.emplace();
    for (const PolygonUV& p : *o.uvw)
        o.normals->push_back({{normal(p.corners[0]), normal(p.corners[1]), normal(p.corners[2]), normal(p.corners[3])}});
    scene.objects.push_back(o);
    KrvObject mesh = host.findObject(host.loadDocument(scene), "Mesh");

    EXPECT_TRUE(send(KRV_COMMAND_TRIANGULATE, mesh));
    EXPECT_EQ(data.result, nullptr);
    EXPECT_EQ(polygons(mesh), (std::vector<KrvPolygon>{
                                  {0, 1, 2, 2}, {0, 2, 3, 3}, {1, 4, 2, 2}, {3, 2, 4, 4}, {3, 4, 0, 0}}));
    KrvTag uv = h.object->find_tag(mesh, KRV_TAG_UVW, 0);
    KrvPolygonNormals normals[5];
    EXPECT_EQ(h.tag->normals_of_polygons(h.object->find_tag(mesh, KRV_TAG_NORMALS, 0), 0, 5, normals), 1);
    const KrvVector a{0, 0, 0}, b{1, 0, 0}, c{1, 1, 0}, d{0, 1, 0}, e{0.5f, 0.5f, 0};
    const KrvVector expected[5][4] = {{a, b, c, c}, {a, c, d, d}, {b, e, c, c}, {d, c, e, e}, {d, e, a, a}};
    for (int32_t i = 0; i < 5; ++i) {
        const KrvPolygonUV got = h.tag->uv_of_polygon(uv, i);
        EXPECT_TRUE(got.a == expected[i][0] && got.b == expected[i][1] && got.c == expected[i][2] &&
                    got.d == expected[i][3])
            << "polygon " << i;
        const KrvPolygonNormals& n = normals[i];
        EXPECT_TRUE(n.a == expected[i][0] && n.b == expected[i][1] && n.c == expected[i][2] && n.d == expected[i][3])
            << "normals of polygon " << i;
    }
    // Triangulating again changes nothing; optimising never does.
    EXPECT_TRUE(send(KRV_COMMAND_TRIANGULATE, mesh));
    EXPECT_TRUE(send(KRV_COMMAND_OPTIMIZE, mesh));
    EXPECT_EQ(polygons(mesh).size(), 5u);
}

TEST_F(HostCommands, TriangulatingAWorkingCopyLeavesTheDocumentAsItWas) {
    Scene scene;
    SceneObject o;
    o.name = "Mesh";
    o.type = ObjectType::Polygon;
    o.points = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}};
    o.polygons = {{0, 1, 2, 3}};
    o.uvw = std::vector<PolygonUV>{{{Vec2{0, 0}, Vec2{1, 0}, Vec2{1, 1}, Vec2{0, 1}}}};
    scene.objects.push_back(o);
    KrvDocument document = host.loadDocument(scene);
    KrvObject original = host.findObject(document, "Mesh");
    KrvDocument copy = h.document->copy(document, KRV_COPY_WORKING);
    KrvObject mesh = h.document->first_object(copy);
    int32_t n = 0;
    // The copy shares the geometry until it changes it.
    EXPECT_EQ(h.object->points(mesh, &n), h.object->points(original, &n));

    EXPECT_TRUE(send(KRV_COMMAND_TRIANGULATE, mesh));
    EXPECT_EQ(polygons(mesh), (std::vector<KrvPolygon>{{0, 1, 2, 2}, {0, 2, 3, 3}}));
    EXPECT_EQ(polygons(original), (std::vector<KrvPolygon>{{0, 1, 2, 3}}));
    const KrvPolygonUV uv = h.tag->uv_of_polygon(h.object->find_tag(original, KRV_TAG_UVW, 0), 0);
    EXPECT_TRUE(uv.d == (KrvVector{0, 1, 0}));
    h.document->release(copy);
}

TEST_F(HostCommands, MakeEditableTurnsAGeneratorCopyIntoAPolygonObject) {
    Scene scene;
    Material m;
    m.name = "Paint";
    scene.materials.push_back(m);
    SceneObject cube;
    cube.name = "Box";
    cube.type = ObjectType::Cube;
    cube.position = {1, 2, 3};
    cube.rotation = {0.5, 0, 0};
    cube.texture = TextureTag{"Paint", {0, 0}, {1, 1}};
    SceneObject child;
    child.name = "Handle";
    child.type = ObjectType::Null;
    cube.children.push_back(child);
    scene.objects.push_back(cube);
    KrvDocument document = host.loadDocument(scene);
    KrvObject box = host.findObject(document, "Box");

    KrvObject copy = h.object->copy(box, 0);
    EXPECT_EQ(host.liveCounts().objectCopies, 1);
    ASSERT_TRUE(send(KRV_COMMAND_MAKE_EDITABLE, copy, document));
    ASSERT_NE(data.result, nullptr);
    ASSERT_EQ(data.result->count, 1);
    KrvObject made = data.result->items[0];
    EXPECT_EQ(host.liveCounts().objectCopies, 1);  // the copy was consumed
    EXPECT_TRUE(h.object->is_instance(made, KRV_TYPE_POLYGON));
    int32_t points = 0, count = 0;
    EXPECT_NE(h.object->points(made, &points), nullptr);
    EXPECT_GT(points, 0);
    EXPECT_NE(h.object->polygons(made, &count), nullptr);
    EXPECT_NE(h.object->find_tag(made, KRV_TAG_UVW, 0), nullptr);
    EXPECT_NE(h.tag->material(h.object->find_tag(made, KRV_TAG_TEXTURE, 0)), nullptr);
    const KrvVector p = h.object->position(made);
    EXPECT_TRUE(p == (KrvVector{1, 2, 3}));
    KrvObject handle = h.object->first_child(made);
    ASSERT_NE(handle, nullptr);
    EXPECT_TRUE(h.object->is_instance(handle, KRV_TYPE_NULL));
    EXPECT_EQ(h.object->parent(handle), made);
    KrvString name{};
    h.string->construct(&name);
    h.object->get_name(made, &name);
    EXPECT_EQ(toUtf8(&name), "Box");
    h.string->destroy(&name);

    h.command->free_result(data.result);
    h.object->release(made);
}

TEST_F(HostCommands, MakeEditableFailsOnEverythingButGenerators) {
    Scene scene;
    for (ObjectType type : {ObjectType::Polygon, ObjectType::Null, ObjectType::Bone, ObjectType::Camera}) {
        SceneObject o;
        o.name = "O" + std::to_string(static_cast<int>(type));
        o.type = type;
        scene.objects.push_back(o);
    }
    KrvDocument document = host.loadDocument(scene);
    for (KrvObject o = h.document->first_object(document); o; o = h.object->next(o)) {
        KrvObject copy = h.object->copy(o, 0);
        EXPECT_FALSE(send(KRV_COMMAND_MAKE_EDITABLE, copy, document));
        EXPECT_EQ(data.result, nullptr);
        h.object->release(copy);  // a failed command leaves the copy with the caller
    }
}

}  // namespace
}  // namespace korvo
