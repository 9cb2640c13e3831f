// The conversion of a model into a scene, on small models built here.
#include "korvo/import/scene_from_model.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstring>

#include "korvo/host/host.h"
#include "korvo/import/scene_pose.h"

namespace korvo::import {
namespace {

constexpr double kPi = 3.14159265358979323846;

Affine translation(double x, double y, double z) {
    Affine a;
    a.offset = {x, y, z};
    return a;
}

Affine rotationAboutY(double angle) {  // right-handed
    Affine a;
    a.linear = {{{std::cos(angle), 0, std::sin(angle)}, {0, 1, 0}, {-std::sin(angle), 0, std::cos(angle)}}};
    return a;
}

int addNode(ModelData& model, const std::string& name, int parent, const Affine& transform = {}) {
    ModelNode node;
    node.name = name;
    node.parent = parent;
    node.transform = transform;
    model.nodes.push_back(node);
    const int index = static_cast<int>(model.nodes.size()) - 1;
    if (parent >= 0) model.nodes[parent].children.push_back(index);
    return index;
}

// A unit square in the XY plane facing +Z, as two triangles whose corners are not shared.
ModelMesh square(const std::string& name, int material = 0) {
    ModelMesh mesh;
    mesh.name = name;
    mesh.material = material;
    mesh.positions = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 0, 0}, {1, 1, 0}, {0, 1, 0}};
    mesh.uv = {{0, 0}, {1, 0}, {1, 1}, {0, 0}, {1, 1}, {0, 1}};
    mesh.faceSizes = {3, 3};
    mesh.corners = {0, 1, 2, 3, 4, 5};
    return mesh;
}

ModelData modelWithSquare(const Affine& placement = {}) {
    ModelData model;
    addNode(model, "root", -1);
    const int node = addNode(model, "Square", 0, placement);
    model.nodes[node].meshes = {0};
    model.meshes = {square("SquareMesh")};
    model.materials.push_back({"Paint", Vec3{0.5, 0.25, 1}, std::nullopt, std::nullopt, std::nullopt, {}});
    return model;
}

Scene convert(const ModelData& model, std::vector<std::string>* notes = nullptr) {
    Scene scene;
    std::string error;
    EXPECT_TRUE(sceneFromModel(model, scene, error, [&](const std::string& line) {
        if (notes) notes->push_back(line);
    })) << error;
    return scene;
}

Vec3 minus(const Vec3& a, const Vec3& b) { return {a[0] - b[0], a[1] - b[1], a[2] - b[2]}; }
Vec3 cross(const Vec3& a, const Vec3& b) {
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}

TEST(SceneFromModel, MirrorsZKeepsTheFrontAndTurnsTextureSpace) {
    const Scene scene = convert(modelWithSquare(translation(0, 0, 5)));
    ASSERT_EQ(scene.objects.size(), 1u);  // the empty root is not an object
    const SceneObject& object = scene.objects[0];
    EXPECT_EQ(object.type, ObjectType::Polygon);
    EXPECT_EQ(object.position, (Vec3{0, 0, -5}));
    ASSERT_EQ(object.points.size(), 4u);  // corners at one place become one point
    ASSERT_EQ(object.polygons.size(), 2u);
    for (const Polygon& p : object.polygons) {
        EXPECT_EQ(p.d, p.c);
        // The source faces +Z; in the host's space that is -Z, and the host's normal
        // (B - A) x (C - A) must point there.
        const Vec3 normal = cross(minus(object.points[p.b], object.points[p.a]),
                                  minus(object.points[p.c], object.points[p.a]));
        EXPECT_LT(normal[2], 0);
    }
    ASSERT_TRUE(object.uvw.has_value());
    // First source triangle: corners 0, 1, 2 with v 0, 0, 1 become a, c, b with v 1, 1, 0.
    const PolygonUV& uv = (*object.uvw)[0];
    EXPECT_EQ(uv.corners[0], (Vec2{0, 1}));
    EXPECT_EQ(uv.corners[1], (Vec2{1, 0}));
    EXPECT_EQ(uv.corners[2], (Vec2{1, 1}));
    EXPECT_EQ(uv.corners[3], uv.corners[2]);
    EXPECT_EQ(object.texture->material, "Paint");
}

TEST(SceneFromModel, NodeWithSeveralMeshesBecomesANullWithOneObjectEach) {
    ModelData model = modelWithSquare();
    model.meshes.push_back(square("", 1));
    model.nodes[1].meshes = {0, 1};
    model.materials.push_back({"", std::nullopt, Vec3{1, 1, 1}, Vec3{0.2, 0, 0}, 0.25, {{"Diffuse", "t.png"}}});
    const Scene scene = convert(model);
    ASSERT_EQ(scene.objects.size(), 1u);
    const SceneObject& null = scene.objects[0];
    EXPECT_EQ(null.type, ObjectType::Null);
    ASSERT_EQ(null.children.size(), 2u);
    EXPECT_EQ(null.children[0].name, "SquareMesh");
    EXPECT_EQ(null.children[1].name, "Square_1");
    EXPECT_EQ(null.children[1].texture->material, "Material1");

    const Material& m = scene.materials[1];
    EXPECT_TRUE(m.color.on);
    EXPECT_EQ(m.color.value, (Vec3{1, 1, 1}));
    EXPECT_EQ(m.color.texture, std::optional<std::string>("t.png"));
    EXPECT_TRUE(m.luminance.on);
    EXPECT_EQ(m.luminance.value, (Vec3{0.2, 0, 0}));
    // The exporter's alpha is the mean of the transparency value.
    EXPECT_TRUE(m.transparency.on);
    EXPECT_EQ(m.transparency.value, (Vec3{0.25, 0.25, 0.25}));
    EXPECT_TRUE(m.specular.on);
    EXPECT_FALSE(scene.materials[0].transparency.on);
    EXPECT_FALSE(scene.materials[0].luminance.on);
}

// A skinned mesh after its skeleton: the exporter searches bones only in the mesh's
// later siblings and their descendants, so the mesh moves in front of the skeleton,
// keeping its place in the world; the bones' rest entries chain up to the inverse bind
// matrices in the mesh's space.
TEST(SceneFromModel, SkinnedMeshIsPlacedWhereItsBonesAreFoundWithMatchingRestEntries) {
    ModelData model;
    addNode(model, "root", -1);
    const int hip = addNode(model, "hip", 0, multiply(translation(0, 1, 0), rotationAboutY(0.5)));
    const int knee = addNode(model, "knee", hip, translation(0, -0.5, 0.25));
    const int body = addNode(model, "body", 0, translation(2, 0, 0));
    model.nodes[body].meshes = {0};
    ModelMesh mesh = square("skin");
    const std::vector<Affine> globals = nodeGlobals(model, nullptr, 0);
    for (int bone : {hip, knee}) {
        // Bound in a pose slightly other than the stored one.
        const Affine bind = multiply(inverse(globals[body]), multiply(globals[bone], rotationAboutY(0.1)));
        ModelBone b{model.nodes[bone].name, inverse(bind), {}};
        for (uint32_t v = 0; v < 6; ++v) b.weights.push_back({v, 0.5});
        mesh.bones.push_back(b);
    }
    model.meshes = {mesh};
    model.materials.resize(1);

    const Scene scene = convert(model);
    ASSERT_EQ(scene.objects.size(), 2u);
    EXPECT_EQ(scene.objects[0].name, "body");
    EXPECT_EQ(scene.objects[0].position, (Vec3{2, 0, 0}));
    const SceneObject& hipObject = scene.objects[1];
    ASSERT_EQ(hipObject.children.size(), 1u);
    const SceneObject& kneeObject = hipObject.children[0];
    EXPECT_EQ(hipObject.type, ObjectType::Bone);
    EXPECT_EQ(kneeObject.type, ObjectType::Bone);
    ASSERT_EQ(scene.objects[0].weights.size(), 2u);
    EXPECT_EQ(scene.objects[0].weights[1].bone, "knee");
    EXPECT_EQ(scene.objects[0].weights[1].perPoint, std::vector<double>(4, 0.5));

    auto restOf = [](const SceneObject& bone) {
        return composePlacement({*bone.rest.position, *bone.rest.rotation, *bone.rest.scale});
    };
    const Affine hipRest = restOf(hipObject);
    const Affine kneeRest = multiply(hipRest, restOf(kneeObject));
    EXPECT_LT(maxDifference(inverse(hipRest), mirrorZ(mesh.bones[0].offset)), 1e-12);
    EXPECT_LT(maxDifference(inverse(kneeRest), mirrorZ(mesh.bones[1].offset)), 1e-12);
}

TEST(SceneFromModel, AnimationIsSampledPerFrameWithContinuousAngles) {
    ModelData model = modelWithSquare();
    ModelAnimation spin{"spin", 2, 2, {}};  // one second at 2 ticks per second
    ModelChannel channel{"Square", 1, {{0, {0, 0, 0}}, {2, {0, 3, 0}}}, {}, {}};
    for (int k = 0; k <= 8; ++k) {  // three half turns about Y
        const double angle = 3 * kPi * k / 8;
        channel.rotation.push_back({k / 4.0, {std::cos(angle / 2), 0, std::sin(angle / 2), 0}});
    }
    spin.channels = {channel};
    model.animations = {spin};

    const Scene scene = convert(model);
    EXPECT_EQ(scene.fps, 30);
    ASSERT_TRUE(scene.end.has_value());
    EXPECT_EQ(scene.end->numerator, 31);  // one frame past the last key: the exporter samples every key
    EXPECT_EQ(scene.end->denominator, 30);
    const Animation& animation = scene.objects[0].animation;
    ASSERT_EQ(animation.rotation.size(), 31u);
    ASSERT_EQ(animation.position.size(), 31u);
    EXPECT_EQ(animation.position[15].value, (Vec3{0, 1.5, 0}));
    for (size_t k = 1; k < animation.rotation.size(); ++k) {
        EXPECT_EQ(animation.rotation[k].frame, static_cast<double>(k));
        for (int i = 0; i < 3; ++i)
            EXPECT_LT(std::fabs(animation.rotation[k].value[i] - animation.rotation[k - 1].value[i]), 0.5) << k;
    }
    // Mirroring Z turns the sense of the turn about Y, and the host's first angle turns
    // about Y with its sign inverted: three half turns come out as 3 pi.
    EXPECT_NEAR(animation.rotation.back().value[0], 3 * kPi, 1e-9);
}

// A placement the host cannot hold goes into the object's own points, and into its
// children's placements: every corner lands where the model puts it, without a note (a
// null, which has no points, is placed approximately, its children exactly).
TEST(SceneFromModel, ShearIsFoldedIntoPointsAndChildren) {
    Affine shear = rotationAboutY(0.7);
    shear.linear[0][1] += 0.4;
    shear.linear[2][2] *= 2.5;
    shear.offset = {1, -2, 3};
    ModelData model = modelWithSquare(shear);  // a polygon object with shear
    const int null = addNode(model, "Frame", 0, shear);
    const int child = addNode(model, "Child", null, multiply(translation(0.5, 1, -2), rotationAboutY(0.3)));
    model.nodes[child].meshes = {0};
    std::vector<std::string> notes;
    const Scene scene = convert(model, &notes);
    EXPECT_EQ(notes, std::vector<std::string>{});
    const std::vector<WorldTriangle> expected = worldTriangles(model), got = sceneTrianglesInModelSpace(scene);
    ASSERT_EQ(got.size(), expected.size());
    for (size_t t = 0; t < got.size(); ++t)
        for (int k = 0; k < 3; ++k)
            for (int i = 0; i < 3; ++i)
                EXPECT_NEAR(got[t].corners[k].position[i], expected[t].corners[k].position[i], 1e-9) << t << " " << k;
}

// An export's import hands the document its geometry ready (MeshArrays); the document must
// then hold, bit for bit, what it builds from the scene file's records: with a placement
// folded into the points and without, through the floats whose shortest decimal form is
// not the float itself, -0, a normal that is not finite and points that merge.
TEST(SceneFromModel, DocumentArraysHoldWhatTheRecordsGive) {
    const auto bitsOf = [](uint32_t bits) {
        float f = 0;
        std::memcpy(&f, &bits, sizeof f);
        return f;
    };
    const float odd = bitsOf(0x15ae43fd), oddNegative = bitsOf(0x95ae43fd);
    ModelData model = modelWithSquare();
    ModelMesh& mesh = model.meshes[0];
    mesh.positions[1] = {odd, -0.0f, oddNegative};
    mesh.positions[4] = {0.1f, 0.7f, odd};
    mesh.uv[2] = {odd, 0.99999994f};
    mesh.uv[5] = {oddNegative, 0.3f};
    mesh.normals = {{0, 0, 1}, {0.6f, 0, 0.8f}, {INFINITY, 0, 0}, {0, -0.0f, 1}, {odd, 1, 0}, {0, 0, -1}};
    Affine shear = rotationAboutY(0.7);
    shear.linear[0][1] += 0.4;
    const int sheared = addNode(model, "Sheared", 0, shear);
    model.nodes[sheared].meshes = {0};

    Host host;
    KrvDocument documents[2];
    for (bool arrays : {false, true}) {
        Scene scene;
        std::string error;
        ImportChoices choices;
        choices.documentArrays = arrays;
        ASSERT_TRUE(sceneFromModel(model, scene, error, [](const std::string&) {}, choices)) << error;
        documents[arrays] = host.loadDocument(std::move(scene));
    }
    const KrvHost& h = *host.root();
    const auto same = [](const auto* a, const auto* b, size_t count) {
        return std::memcmp(a, b, count * sizeof *a) == 0;
    };
    for (const char* name : {"Square", "Sheared"}) {
        const KrvObject records = host.findObject(documents[0], name), arrays = host.findObject(documents[1], name);
        ASSERT_TRUE(records && arrays) << name;
        int32_t n[2] = {0, 0};
        const KrvVector* points[2] = {h.object->points(records, &n[0]), h.object->points(arrays, &n[1])};
        ASSERT_EQ(n[0], n[1]);
        EXPECT_LT(n[0], 6) << name;  // corners at one place are one point
        EXPECT_TRUE(same(points[0], points[1], static_cast<size_t>(n[0]))) << name;
        const KrvPolygon* polygons[2] = {h.object->polygons(records, &n[0]), h.object->polygons(arrays, &n[1])};
        ASSERT_EQ(n[0], 2);
        ASSERT_EQ(n[1], 2);
        EXPECT_TRUE(same(polygons[0], polygons[1], 2)) << name;
        KrvPolygonUV uv[2][2];
        KrvPolygonNormals normals[2][2];
        for (int k = 0; k < 2; ++k) {
            const KrvObject o = k == 0 ? records : arrays;
            ASSERT_EQ(h.tag->uv_of_polygons(h.object->find_tag(o, KRV_TAG_UVW, 0), 0, 2, uv[k]), 1);
            ASSERT_EQ(h.tag->normals_of_polygons(h.object->find_tag(o, KRV_TAG_NORMALS, 0), 0, 2, normals[k]), 1);
        }
        EXPECT_TRUE(same(uv[0], uv[1], 2)) << name;
        EXPECT_TRUE(same(normals[0], normals[1], 2)) << name;
    }
    EXPECT_TRUE(host.faults().empty());
}

// Each animation is a take of its own range; the current one starts the time line, and an
// object that moves in one take holds its own pose in the others.
TEST(SceneFromModel, EveryAnimationBecomesATake) {
    ModelData model = modelWithSquare();
    const ModelChannel lift{"Square", 1, {{0, {0, 0, 0}}, {10, {0, 2, 0}}}, {}, {}};
    model.animations = {{"", 10, 24, {}}, {"Lift", 10, 24, {lift}}};  // ten frames each at 24 per second
    Scene scene;
    std::string error;
    ASSERT_TRUE(sceneFromModel(model, scene, error, [](const std::string&) {}, {"Lift"})) << error;
    ASSERT_EQ(scene.takes.size(), 2u);
    EXPECT_EQ(scene.takes[0].name, "Animation0");
    EXPECT_EQ(scene.takes[1].name, "Lift");
    EXPECT_EQ(scene.currentTake, 1);
    EXPECT_EQ((std::array{scene.takes[1].startFrame, scene.takes[1].endFrame}), (std::array{0.0, 11.0}));
    EXPECT_EQ((std::array{scene.takes[0].startFrame, scene.takes[0].endFrame}), (std::array{11.0, 22.0}));
    EXPECT_EQ(scene.end->numerator, 11);
    const std::vector<Key>& keys = scene.objects[0].animation.position;
    ASSERT_EQ(keys.size(), 22u);
    EXPECT_EQ(keys[10].value, (Vec3{0, 2, 0}));
    EXPECT_EQ(keys[11].value, (Vec3{0, 0, 0}));
    EXPECT_EQ(keys[21].frame, 21);
}

// A second mesh bound to the same bones in poses of its own is re-bound to the poses
// the host keeps: silently where one transform relates them, with one note where its
// bones ask different ones and only its points of one bone come out exact.
TEST(SceneFromModel, MeshesBoundInOtherPosesAreReBoundWithANoteWhereInexact) {
    for (const bool sameShift : {true, false}) {
        ModelData model;
        addNode(model, "root", -1);
        const int hip = addNode(model, "hip", 0, translation(0, 1, 0));
        const int knee = addNode(model, "knee", hip, translation(0, -0.5, 0));
        for (const char* name : {"first", "second"}) {
            model.nodes[addNode(model, name, 0)].meshes = {static_cast<int>(model.meshes.size())};
            model.meshes.push_back(square(name));
        }
        const std::vector<Affine> globals = nodeGlobals(model, nullptr, 0);
        for (ModelMesh& mesh : model.meshes) {
            for (int bone : {hip, knee}) {
                Affine bind = globals[bone];
                if (&mesh == &model.meshes[1])
                    bind = multiply(translation(0, 0.3, bone == knee && !sameShift ? 0.2 : 0), bind);
                ModelBone b{model.nodes[bone].name, inverse(bind), {}};
                for (uint32_t v = 0; v < 6; ++v) b.weights.push_back({v, 0.5});
                mesh.bones.push_back(b);
            }
        }
        model.materials.resize(1);
        std::vector<std::string> notes;
        const Scene scene = convert(model, &notes);
        EXPECT_EQ(notes.size(), sameShift ? 0u : 1u) << sameShift;
        if (!sameShift && !notes.empty()) {
            EXPECT_EQ(notes[0].find("mesh 'second': bone 'hip' has another bind pose in mesh 'first'"), 0u) << notes[0];
        }
        const SceneObject& second = scene.objects[1];
        ASSERT_EQ(second.name, "second");
        EXPECT_NEAR(second.points[0][1], -0.3, 1e-12);  // moved onto the kept bind poses
    }
}

TEST(SceneFromModel, NotesNameWhatTheSceneCannotHold) {
    ModelData model = modelWithSquare();
    ModelMesh lines;
    lines.name = "Wire";
    lines.positions = {{0, 0, 0}, {1, 0, 0}};
    lines.faceSizes = {2};
    lines.corners = {0, 1};
    model.meshes.push_back(lines);
    model.nodes[1].meshes.push_back(1);
    model.meshes[0].hasColors = true;
    model.meshes[0].morphTargets = 2;
    model.animations = {{"first", 0, 25, {}}, {"second", 25, 25, {}, 1}};
    std::vector<std::string> notes;
    const Scene scene = convert(model, &notes);
    EXPECT_EQ(notes, (std::vector<std::string>{
                         "mesh 'Wire' holds only points or lines, which a polygon object cannot hold; it is left out",
                         "1 mesh has vertex colours, which are not exported (a mesh is written with its material's "
                         "colour)",
                         "morph animation is not exported: 2 targets"}));
    EXPECT_EQ(scene.objects[0].type, ObjectType::Polygon);  // the one mesh left
    EXPECT_EQ(scene.end->numerator, 1);  // a clip of one pose still gives its key

    // The current take, by name or number; a choice the model does not have is refused.
    Scene chosen;
    std::string error;
    for (const char* choice : {"second", "1"}) {
        ASSERT_TRUE(sceneFromModel(model, chosen, error, [](const std::string&) {}, {choice})) << error;
        EXPECT_EQ(chosen.end->numerator, 26) << choice;  // one second at its 25 ticks per second
    }
    EXPECT_FALSE(sceneFromModel(model, chosen, error, [](const std::string&) {}, {"2"}));
    EXPECT_EQ(error, "there is no animation '2' (the model has 2, numbered from 0)");

    // A model whose only animation morphs has no time range to play.
    model.animations = {{"morph", 25, 25, {}, 1}};
    ASSERT_TRUE(sceneFromModel(model, chosen, error, [](const std::string&) {})) << error;
    EXPECT_FALSE(chosen.end.has_value());
    EXPECT_TRUE(chosen.takes.empty());

    model.nodes[1].meshes = {1};
    Scene empty;
    EXPECT_FALSE(sceneFromModel(model, empty, error, [](const std::string&) {}));
    EXPECT_EQ(error, "the model holds no polygon mesh (empty scene)");

    ModelData infinite = modelWithSquare();
    infinite.meshes[0].positions[4][1] = INFINITY;
    EXPECT_FALSE(sceneFromModel(infinite, empty, error, [](const std::string&) {}));
    EXPECT_EQ(error, "mesh 'SquareMesh': vertex 4 has a coordinate that is not finite");
}

}  // namespace
}  // namespace korvo::import
