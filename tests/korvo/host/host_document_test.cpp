// Documents and objects as the module sees them: time and interpolation, placement
// matrices, working copies, tags, materials and bone weights.
#include <gtest/gtest.h>

#include <cmath>

#include "korvo/host/host.h"

namespace korvo {
namespace {

constexpr double kHalfPi = 1.5707963267948966;

SceneObject polygonObject(const std::string& name) {
    SceneObject o;
    o.name = name;
    o.type = ObjectType::Polygon;
    o.points = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}};
    o.polygons = {{0, 1, 2, 3}};
    return o;
}

class HostDocument : public ::testing::Test {
protected:
    KrvDocument load(const Scene& scene) { return host.loadDocument(scene); }
    KrvObject find(KrvDocument d, const std::string& name) {
        KrvObject o = host.findObject(d, name);
        EXPECT_NE(o, nullptr) << name;
        return o;
    }
    std::string name(KrvObject o) {
        KrvString s{};
        h.string->construct(&s);
        h.object->get_name(o, &s);
        std::string n = toUtf8(&s);
        h.string->destroy(&s);
        return n;
    }
    void setTime(KrvDocument d, float numerator, float denominator) {
        KrvContainer c{};
        h.container->construct(&c, 0);
        h.container->set_time(&c, KRV_DOC_TIME, KrvTime{numerator, denominator});
        h.document->set_settings(d, 0, &c);
        h.container->destroy(&c);
        h.document->evaluate(d, 0, 0, 1);
    }
    KrvParamId parameter(int32_t id) {
        const void* table = nullptr;
        int32_t version = 0, flags = 0;
        KrvLibrary library = h.plugin->find_library(KRV_LIBRARY_BASE, KRV_LIBRARY_LOOKUP_SIZE);
        EXPECT_TRUE(h.plugin->library_table(library, &version, &flags, &table));
        const auto* base = static_cast<const KrvBaseLibrary*>(table);
        KrvParamId p;
        base->param_construct(&p);
        base->param_set(&p, id, 0, 0);
        return p;
    }
    void TearDown() override {
        EXPECT_TRUE(host.faults().empty()) << host.faults().front();
        EXPECT_EQ(host.liveCounts().total(), 0);
    }

    Host host;
    const KrvHost& h = *host.root();
};

void expectNear(KrvVector v, float x, float y, float z) {
    EXPECT_NEAR(v.x, x, 1e-5f);
    EXPECT_NEAR(v.y, y, 1e-5f);
    EXPECT_NEAR(v.z, z, 1e-5f);
}

TEST_F(HostDocument, SettingsEntriesComeFromTheScene) {
    Scene scene;
    scene.fps = 25;
    scene.end = Time{75, 25};
    scene.time = Time{1, 1};
    KrvDocument d = load(scene);
    KrvContainer c{};
    h.container->construct(&c, -1);
    h.document->get_settings(d, 0, &c);
    EXPECT_EQ(h.container->get_int(&c, KRV_DOC_FPS, 0), 25);
    const KrvTime end = h.container->get_time(&c, KRV_DOC_MAXTIME, KrvTime{0, 1});
    EXPECT_EQ(end.numerator, 75);
    EXPECT_EQ(end.denominator, 25);
    EXPECT_EQ(h.container->get_time(&c, KRV_DOC_TIME, KrvTime{0, 1}).numerator, 1);
    h.container->destroy(&c);

    h.container->construct(&c, -1);
    h.document->get_settings(load(Scene{}), 0, &c);
    EXPECT_EQ(h.container->entry_type(&c, KRV_DOC_MAXTIME), KRV_ENTRY_ABSENT);
    h.container->destroy(&c);
}

TEST_F(HostDocument, EvaluationInterpolatesOnlyAnimatedChannels) {
    Scene scene;
    scene.fps = 30;
    SceneObject o = polygonObject("Arm");
    o.rotation = {0.1, 0.2, 0.3};
    o.animation.position = {{0, {0, 0, 0}}, {10, {0, 5, 0}}, {20, {4, 5, -2}}};
    scene.objects.push_back(o);
    KrvDocument d = load(scene);
    KrvObject arm = find(d, "Arm");

    setTime(d, 5, 30);  // frame 5: halfway between the first two keys
    expectNear(h.object->position(arm), 0, 2.5f, 0);
    expectNear(h.object->rotation(arm), 0.1f, 0.2f, 0.3f);
    setTime(d, 0.5f, 1);  // frame 15
    expectNear(h.object->position(arm), 2, 5, -1);
    setTime(d, -1, 1);  // before the first key
    expectNear(h.object->position(arm), 0, 0, 0);
    setTime(d, 30, 1);  // after the last
    expectNear(h.object->position(arm), 4, 5, -2);
}

TEST_F(HostDocument, LoadingEvaluatesAtTheSceneTime) {
    Scene scene;
    scene.time = Time{1, 3};  // frame 10 at 30 fps
    SceneObject o;
    o.name = "Bone";
    o.type = ObjectType::Bone;
    o.animation.scale = {{0, {1, 1, 1}}, {20, {3, 1, 1}}};
    scene.objects.push_back(o);
    expectNear(h.object->scale(find(load(scene), "Bone")), 2, 1, 1);
}

// Objects take their animated channels when read: whatever is read, and in whatever
// order, must be the document as its last evaluation left it.
TEST_F(HostDocument, ReadsShowTheLastEvaluationWhateverIsReadFirst) {
    Scene scene;
    scene.fps = 10;
    SceneObject parent = polygonObject("Parent");
    parent.animation.position = {{0, {0, 0, 0}}, {10, {10, 0, 0}}};
    SceneObject child = polygonObject("Child");
    child.animation.scale = {{0, {1, 1, 1}}, {10, {3, 1, 1}}};
    parent.children.push_back(child);
    scene.objects = {parent};
    KrvDocument d = load(scene);

    setTime(d, 1, 2);  // frame 5, nothing read
    setTime(d, 1, 10);  // frame 1
    KrvObject free = h.object->copy(find(d, "Child"), 0);  // the copy reads first
    const KrvMatrix placed = h.object->global_matrix(free);
    expectNear(placed.offset, 1, 0, 0);
    expectNear(placed.axis1, 1.2f, 0, 0);

    // A time change alone moves nothing; a later evaluation leaves the free copy alone.
    KrvContainer c{};
    h.container->construct(&c, 0);
    h.container->set_time(&c, KRV_DOC_TIME, KrvTime{1, 1});
    h.document->set_settings(d, 0, &c);
    h.container->destroy(&c);
    expectNear(h.object->position(find(d, "Parent")), 1, 0, 0);
    h.document->evaluate(d, 0, 0, 1);  // frame 10
    expectNear(h.object->scale(free), 1.2f, 1, 1);
    expectNear(h.object->global_matrix(free).offset, 1, 0, 0);
    h.object->release(free);

    // A working copy made before anything is read still holds the evaluated frame.
    KrvDocument copy = h.document->copy(d, KRV_COPY_WORKING);
    setTime(d, 0, 1);
    KrvObject copied = h.object->first_child(h.document->first_object(copy));
    expectNear(h.object->global_matrix(copied).offset, 10, 0, 0);
    expectNear(h.object->scale(copied), 3, 1, 1);
    expectNear(h.object->scale(find(d, "Child")), 1, 1, 1);
    h.document->release(copy);
}

TEST_F(HostDocument, GlobalMatrixPlacesPointsAsTheFileFormDoes) {
    // The module writes W(E) per frame and a reader maps a point p to p.W(E); the host's
    // global matrix must put p at the same spot.
    Scene scene;
    SceneObject a = polygonObject("RotY");
    a.position = {1, 2, 3};
    a.rotation = {kHalfPi, 0, 0};
    SceneObject b = polygonObject("Scaled");
    b.position = {1, 2, 3};
    b.rotation = {kHalfPi, 0, 0};
    b.scale = {2, 1, 1};
    SceneObject c = polygonObject("RotX");
    c.rotation = {0, kHalfPi, 0};
    SceneObject parent = polygonObject("Parent");
    parent.position = {10, 0, 0};
    parent.rotation = {0, 0, kHalfPi};
    SceneObject child = polygonObject("Child");
    child.position = {1, 0, 0};
    parent.children.push_back(child);
    scene.objects = {a, b, c, parent};
    KrvDocument d = load(scene);
    auto at = [&](const char* object, KrvVector p) {
        const KrvMatrix m = h.object->global_matrix(find(d, object));
        return KrvVector{m.offset.x + m.axis1.x * p.x + m.axis2.x * p.y + m.axis3.x * p.z,
                         m.offset.y + m.axis1.y * p.x + m.axis2.y * p.y + m.axis3.y * p.z,
                         m.offset.z + m.axis1.z * p.x + m.axis2.z * p.y + m.axis3.z * p.z};
    };
    // File rows (0,0,1,0), (0,1,0,0), (-1,0,0,0), (1,2,3,1).
    expectNear(at("RotY", {1, 0, 0}), 1, 2, 4);
    expectNear(at("RotY", {0, 0, 1}), 0, 2, 3);
    // With scale (2,1,1) the third row is (-2,0,0,0).
    expectNear(at("Scaled", {0, 0, 1}), -1, 2, 3);
    // Rotation (0, pi/2, 0): rows (1,0,0,0), (0,0,-1,0), (0,1,0,0).
    expectNear(at("RotX", {0, 1, 0}), 0, 0, -1);
    // A child's point goes through its own frame, then its parent's: rows (0,-1,0,0),
    // (1,0,0,0) and offset (10,0,0).
    expectNear(at("Child", {0, 0, 0}), 10, -1, 0);
    expectNear(at("Child", {0, 1, 0}), 11, -1, 0);
}

TEST_F(HostDocument, AWorkingCopyIsDeepAndIndependent) {
    Scene scene;
    SceneObject o = polygonObject("Cube");
    o.animation.position = {{0, {0, 0, 0}}, {30, {3, 0, 0}}};
    o.children.push_back(polygonObject("Child"));
    scene.objects = {o, polygonObject("Second")};
    KrvDocument d = load(scene);
    KrvDocument copy = h.document->copy(d, KRV_COPY_WORKING);
    ASSERT_NE(copy, nullptr);
    KrvObject first = h.document->first_object(copy);
    EXPECT_EQ(name(first), "Cube");
    EXPECT_EQ(name(h.object->next(first)), "Second");
    EXPECT_EQ(h.object->next(h.object->next(first)), nullptr);
    KrvObject child = h.object->first_child(first);
    EXPECT_EQ(name(child), "Child");
    EXPECT_EQ(h.object->parent(child), first);
    EXPECT_EQ(h.object->parent(first), nullptr);

    KrvString renamed{};
    h.string->construct(&renamed);
    setUtf8(&renamed, "Cube_0");
    h.object->set_name(first, &renamed);
    h.string->destroy(&renamed);
    setTime(copy, 1, 1);
    EXPECT_EQ(name(first), "Cube_0");
    expectNear(h.object->position(first), 3, 0, 0);
    EXPECT_EQ(name(find(d, "Cube")), "Cube");
    expectNear(h.object->position(find(d, "Cube")), 0, 0, 0);
    h.document->release(copy);
}

TEST_F(HostDocument, PointsPolygonsAndTagsOfAPolygonObject) {
    Scene scene;
    Material skin;
    skin.name = "Skin";
    skin.color = {true, {0.8, 0.6, 0.5}, std::string("tex/sk\u00EDn.png")};
    skin.transparency = {false, {0.2, 0.4, 0.6}, std::nullopt};
    scene.materials.push_back(skin);
    SceneObject o = polygonObject("Quad");
    o.uvw = std::vector<PolygonUV>{{{{{0, 1}, {1, 1}, {1, 0}, {0, 0}}}}};
    o.texture = TextureTag{"Skin", {0.5, 0.25}, {2, 4}};
    o.phong = PhongTag{true, std::nullopt};
    scene.objects.push_back(o);
    KrvObject quad = find(load(scene), "Quad");

    int32_t count = 0;
    const KrvVector* points = h.object->points(quad, &count);
    ASSERT_EQ(count, 4);
    expectNear(points[2], 1, 1, 0);
    const KrvPolygon* polygons = h.object->polygons(quad, &count);
    ASSERT_EQ(count, 1);
    EXPECT_EQ(polygons[0].d, 3);

    KrvTag uv = h.object->find_tag(quad, KRV_TAG_UVW, 0);
    ASSERT_NE(uv, nullptr);
    expectNear(h.tag->uv_of_polygon(uv, 0).b, 1, 1, 0);
    EXPECT_EQ(h.object->find_tag(quad, KRV_TAG_UVW, 1), nullptr);
    // The records of a range in one call, as one by one.
    KrvPolygonUV record{};
    EXPECT_NE(h.tag->uv_of_polygons(uv, 0, 1, &record), 0);
    expectNear(record.b, 1, 1, 0);

    KrvTag texture = h.object->find_tag(quad, KRV_TAG_TEXTURE, 0);
    ASSERT_NE(texture, nullptr);
    KrvValue v{};
    const float expected[] = {0.5f, 0.25f, 2, 4};
    const int32_t ids[] = {1000, 1001, 1014, 1015};
    for (int i = 0; i < 4; ++i) {
        KrvParamId p = parameter(ids[i]);
        ASSERT_TRUE(h.tag->read_parameter(texture, &p, &v, 0));
        EXPECT_EQ(v.kind, KRV_VALUE_REAL);
        EXPECT_EQ(h.value->get_real(&v), expected[i]);
        h.value->destroy(&v);
    }

    KrvContainer phong{};
    h.container->construct(&phong, -1);
    h.tag->get_parameters(h.object->find_tag(quad, KRV_TAG_PHONG, 0), &phong);
    EXPECT_EQ(h.container->get_int(&phong, 1001, -1), 1);
    EXPECT_EQ(h.container->entry_type(&phong, 1002), KRV_ENTRY_ABSENT);
    h.container->destroy(&phong);

    KrvMaterial material = h.tag->material(texture);
    ASSERT_NE(material, nullptr);
    EXPECT_TRUE(h.material->channel_enabled(material, KRV_CHANNEL_COLOR));
    EXPECT_FALSE(h.material->channel_enabled(material, KRV_CHANNEL_TRANSPARENCY));
    KrvParamId p = parameter(KRV_PARAM_TRANSPARENCY);
    ASSERT_TRUE(h.material->read_parameter(material, &p, &v, 0));
    expectNear(h.value->get_vector(&v), 0.2f, 0.4f, 0.6f);  // the value, even while switched off
    h.value->destroy(&v);
    KrvContainer data{};
    h.container->construct(&data, -1);
    h.material->channel_data(h.material->channel(material, KRV_CHANNEL_COLOR), &data);
    KrvString* name = h.container->get_string_alloc(&data, KRV_CHANNEL_TEXTURE);
    EXPECT_EQ(toUtf8(name), "tex/sk\u00EDn.png");
    h.string->free_allocated(name);
    h.material->channel_data(h.material->channel(material, KRV_CHANNEL_SPECULAR), &data);
    EXPECT_EQ(h.container->entry_type(&data, KRV_CHANNEL_TEXTURE), KRV_ENTRY_ABSENT);
    h.container->destroy(&data);
}

TEST_F(HostDocument, RestEntriesAndBoneWeightsByBoneId) {
    Scene scene;
    SceneObject mesh = polygonObject("Mesh");
    mesh.weights = {{"b1", {1, 0.5, 0, 0.25}}};
    SceneObject bone;
    bone.name = "Upper";
    bone.id = "b1";
    bone.type = ObjectType::Bone;
    bone.rest.position = Vec3{0, 1, 0};
    SceneObject other = bone;
    other.name = "Lower";
    other.id = "b2";
    other.rest = RestPose{};
    scene.objects = {mesh, bone, other};
    KrvDocument d = load(scene);

    float* weights = h.object->bone_weights(find(d, "Mesh"), find(d, "Upper"));
    ASSERT_NE(weights, nullptr);
    EXPECT_EQ(weights[1], 0.5f);
    EXPECT_EQ(weights[3], 0.25f);
    EXPECT_EQ(host.liveCounts().blocks, 1);
    h.memory->free(weights);
    EXPECT_EQ(h.object->bone_weights(find(d, "Mesh"), find(d, "Lower")), nullptr);

    // The bones that weight an object, listed in one call; none for the bone itself.
    int32_t count = -1;
    KrvObject* bones = h.object->weighting_bones(find(d, "Mesh"), &count);
    ASSERT_EQ(count, 1);
    EXPECT_EQ(bones[0], find(d, "Upper"));
    h.memory->free(bones);
    EXPECT_EQ(h.object->weighting_bones(find(d, "Upper"), &count), nullptr);
    EXPECT_EQ(count, 0);

    KrvContainer c{};
    h.container->construct(&c, -1);
    h.object->get_parameters(find(d, "Upper"), &c);
    EXPECT_EQ(h.container->entry_type(&c, 1007), KRV_ENTRY_VECTOR);
    EXPECT_EQ(h.container->entry_type(&c, 1008), KRV_ENTRY_ABSENT);
    EXPECT_EQ(h.container->entry_type(&c, 1009), KRV_ENTRY_ABSENT);
    expectNear(h.container->get_vector(&c, 1007, KrvVector{}), 0, 1, 0);
    h.container->destroy(&c);
}

}  // namespace
}  // namespace korvo
