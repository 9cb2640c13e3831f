#include "korvo/scene/scene_json.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <tuple>

#include <unistd.h>

namespace korvo {
namespace {

// ---------------------------------------------------------------- record comparison

bool same(const Channel& a, const Channel& b) { return std::tie(a.on, a.value, a.texture) == std::tie(b.on, b.value, b.texture); }

bool same(const Material& a, const Material& b) {
    return a.name == b.name && same(a.color, b.color) && same(a.luminance, b.luminance) &&
           same(a.transparency, b.transparency) && same(a.specular, b.specular);
}

bool same(const Polygon& a, const Polygon& b) { return std::tie(a.a, a.b, a.c, a.d) == std::tie(b.a, b.b, b.c, b.d); }
bool same(const PolygonUV& a, const PolygonUV& b) { return a.corners == b.corners; }
bool same(const PolygonNormals& a, const PolygonNormals& b) { return a.corners == b.corners; }
bool same(const Key& a, const Key& b) { return a.frame == b.frame && a.value == b.value; }
bool same(const BoneWeights& a, const BoneWeights& b) { return a.bone == b.bone && a.perPoint == b.perPoint; }

bool same(const SceneObject& a, const SceneObject& b);

template <class T>
bool same(const std::vector<T>& a, const std::vector<T>& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (!same(a[i], b[i])) return false;
    }
    return true;
}

bool same(const SceneObject& a, const SceneObject& b) {
    const auto sameTexture = [](const std::optional<TextureTag>& x, const std::optional<TextureTag>& y) {
        if (!x || !y) return x.has_value() == y.has_value();
        return std::tie(x->material, x->offset, x->scale) == std::tie(y->material, y->offset, y->scale);
    };
    const auto samePhong = [](const std::optional<PhongTag>& x, const std::optional<PhongTag>& y) {
        if (!x || !y) return x.has_value() == y.has_value();
        return std::tie(x->limit, x->angle) == std::tie(y->limit, y->angle);
    };
    const bool sameUvw = a.uvw.has_value() == b.uvw.has_value() && (!a.uvw || same(*a.uvw, *b.uvw));
    const bool sameNormals =
        a.normals.has_value() == b.normals.has_value() && (!a.normals || same(*a.normals, *b.normals));
    return std::tie(a.name, a.id, a.type, a.position, a.rotation, a.scale, a.points) ==
               std::tie(b.name, b.id, b.type, b.position, b.rotation, b.scale, b.points) &&
           same(a.polygons, b.polygons) && sameUvw && sameNormals && sameTexture(a.texture, b.texture) &&
           samePhong(a.phong, b.phong) && same(a.weights, b.weights) &&
           std::tie(a.rest.position, a.rest.rotation, a.rest.scale) ==
               std::tie(b.rest.position, b.rest.rotation, b.rest.scale) &&
           same(a.animation.position, b.animation.position) && same(a.animation.rotation, b.animation.rotation) &&
           same(a.animation.scale, b.animation.scale) &&
           std::tie(a.generator.size, a.generator.radius, a.generator.segments) ==
               std::tie(b.generator.size, b.generator.radius, b.generator.segments) &&
           same(a.children, b.children);
}

bool same(const Scene& a, const Scene& b) {
    const auto sameTime = [](const Time& x, const Time& y) {
        return x.numerator == y.numerator && x.denominator == y.denominator;
    };
    const bool sameEnd = a.end.has_value() == b.end.has_value() && (!a.end || sameTime(*a.end, *b.end));
    return a.fps == b.fps && sameEnd && sameTime(a.time, b.time) && same(a.materials, b.materials) &&
           same(a.objects, b.objects);
}

Scene parsed(const std::string& text) {
    Scene scene;
    std::string error;
    EXPECT_TRUE(parseScene(text, "good.korvo.json", scene, error)) << error;
    return scene;
}

// ---------------------------------------------------------------- a scene with every field

const char* const kFullScene = R"({
  "korvo": 1,
  "fps": 25,
  "endFrame": 50,
  "time": 0.5,
  "materials": [
    { "name": "Skin",
      "color":        { "on": true,  "value": [0.8, 0.6, 0.5], "texture": "tex/skin.png" },
      "luminance":    { "on": false, "value": [0, 0, 0] },
      "transparency": { "value": [0.25, 0, 0] },
      "specular":     { "on": true,  "value": [1, 1, 1] } },
    { "name": "Bare" }
  ],
  "objects": [
    { "name": "Arm", "id": "arm", "type": "polygon",
      "position": [1, 2, 3], "rotation": [0.1, 0.2, 0.3], "scale": [1, 2, 1],
      "points":   [[0,0,0], [1,0,0], [0,1,0], [1,1,0]],
      "polygons": [[0,1,2], [1,3,2,0]],
      "uvw":      [[[0,1],[1,1],[0,0]], [[1,1],[1,0],[0,0],[0.5,0.5]]],
      "texture":  { "material": "Skin", "offset": [0.1, 0.2], "scale": [2, 3] },
      "phong":    { "limit": 1, "angle": 1.3962634 },
      "weights":  { "upper": [1, 1, 0.5, 0], "lower": [0, 0, 0.5, 1] },
      "animation": { "position": [[0, 0,0,0], [10, 0,5,0]], "rotation": [[0, 0,0,0]], "scale": [] },
      "children": [
        { "name": "upper", "type": "bone", "rest": { "position": [0, 1, 0], "scale": [1, 1, 1] },
          "children": [ { "name": "Lower", "id": "lower", "type": "bone" } ] },
        { "name": "Box", "type": "cube", "size": [10, 20, 30], "segments": 2,
          "texture": { "material": "Bare" } },
        { "name": "Floor", "type": "plane", "size": [300, 400] },
        { "name": "Ball", "type": "sphere", "radius": 50, "segments": 16, "phong": { "limit": false } },
        { "name": "Eye", "type": "camera" },
        { "name": "Sun", "type": "light" },
        { "type": "null" }
      ] }
  ]
})";

TEST(SceneJson, ReadsEveryField) {
    const Scene scene = parsed(kFullScene);
    EXPECT_EQ(scene.fps, 25);
    ASSERT_TRUE(scene.end);
    EXPECT_EQ(scene.end->numerator, 50);
    EXPECT_EQ(scene.end->denominator, 25);
    EXPECT_EQ(scene.time.numerator, 0.5);
    EXPECT_EQ(scene.time.denominator, 1);

    ASSERT_EQ(scene.materials.size(), 2u);
    const Material& skin = scene.materials[0];
    EXPECT_EQ(skin.name, "Skin");
    EXPECT_TRUE(skin.color.on);
    EXPECT_EQ(skin.color.value, (Vec3{0.8, 0.6, 0.5}));
    EXPECT_EQ(skin.color.texture, "tex/skin.png");
    EXPECT_FALSE(skin.transparency.on);
    EXPECT_EQ(skin.transparency.value, (Vec3{0.25, 0, 0}));
    EXPECT_FALSE(skin.luminance.texture);
    EXPECT_TRUE(skin.specular.on);
    const Material& bare = scene.materials[1];
    EXPECT_TRUE(same(bare.color, Channel{}) && same(bare.specular, Channel{}));

    ASSERT_EQ(scene.objects.size(), 1u);
    const SceneObject& arm = scene.objects[0];
    EXPECT_EQ(arm.name, "Arm");
    EXPECT_EQ(arm.id, "arm");
    EXPECT_EQ(arm.type, ObjectType::Polygon);
    EXPECT_EQ(arm.position, (Vec3{1, 2, 3}));
    EXPECT_EQ(arm.rotation, (Vec3{0.1, 0.2, 0.3}));
    EXPECT_EQ(arm.scale, (Vec3{1, 2, 1}));
    EXPECT_EQ(arm.points.size(), 4u);
    EXPECT_EQ(arm.points[3], (Vec3{1, 1, 0}));
    ASSERT_EQ(arm.polygons.size(), 2u);
    EXPECT_TRUE(same(arm.polygons[0], Polygon{0, 1, 2, 2}));  // a triangle repeats c
    EXPECT_TRUE(same(arm.polygons[1], Polygon{1, 3, 2, 0}));
    ASSERT_TRUE(arm.uvw);
    EXPECT_TRUE(same((*arm.uvw)[0], PolygonUV{{Vec2{0, 1}, Vec2{1, 1}, Vec2{0, 0}, Vec2{0, 0}}}));
    EXPECT_TRUE(same((*arm.uvw)[1], PolygonUV{{Vec2{1, 1}, Vec2{1, 0}, Vec2{0, 0}, Vec2{0.5, 0.5}}}));
    ASSERT_TRUE(arm.texture);
    EXPECT_EQ(arm.texture->material, "Skin");
    EXPECT_EQ(arm.texture->offset, (Vec2{0.1, 0.2}));
    EXPECT_EQ(arm.texture->scale, (Vec2{2, 3}));
    ASSERT_TRUE(arm.phong);
    EXPECT_TRUE(arm.phong->limit);
    EXPECT_EQ(arm.phong->angle, 1.3962634);
    ASSERT_EQ(arm.weights.size(), 2u);  // in the file's order
    EXPECT_EQ(arm.weights[0].bone, "upper");
    EXPECT_EQ(arm.weights[1].bone, "lower");
    EXPECT_EQ(arm.weights[1].perPoint, (std::vector<double>{0, 0, 0.5, 1}));
    ASSERT_EQ(arm.animation.position.size(), 2u);
    EXPECT_EQ(arm.animation.position[1].frame, 10);
    EXPECT_EQ(arm.animation.position[1].value, (Vec3{0, 5, 0}));
    EXPECT_EQ(arm.animation.rotation.size(), 1u);
    EXPECT_TRUE(arm.animation.scale.empty());

    ASSERT_EQ(arm.children.size(), 7u);
    const SceneObject& upper = arm.children[0];
    EXPECT_EQ(upper.id, "upper");  // the name stands in
    EXPECT_EQ(upper.rest.position, (Vec3{0, 1, 0}));
    EXPECT_FALSE(upper.rest.rotation);
    EXPECT_EQ(upper.rest.scale, (Vec3{1, 1, 1}));
    EXPECT_EQ(upper.children[0].type, ObjectType::Bone);
    const SceneObject& box = arm.children[1];
    EXPECT_EQ(box.generator.size, (Vec3{10, 20, 30}));
    EXPECT_EQ(box.generator.segments, 2);
    EXPECT_EQ(box.texture->offset, (Vec2{0, 0}));
    EXPECT_EQ(box.texture->scale, (Vec2{1, 1}));
    EXPECT_EQ(arm.children[2].generator.size, (Vec3{300, 200, 400}));  // width x, depth z
    EXPECT_EQ(arm.children[2].generator.segments, 0);
    EXPECT_EQ(arm.children[3].generator.radius, 50);
    EXPECT_FALSE(arm.children[3].phong->limit);
    EXPECT_FALSE(arm.children[3].phong->angle);
    EXPECT_EQ(arm.children[4].type, ObjectType::Camera);
    EXPECT_EQ(arm.children[5].type, ObjectType::Light);
    EXPECT_EQ(arm.children[6].name, "");
    EXPECT_EQ(arm.children[6].type, ObjectType::Null);
}

TEST(SceneJson, DefaultsOfAMinimalScene) {
    const Scene scene = parsed(R"({"korvo": 1, "endTime": 2.5})");
    EXPECT_EQ(scene.fps, 30);
    ASSERT_TRUE(scene.end);
    EXPECT_EQ(scene.end->numerator, 2.5);
    EXPECT_EQ(scene.end->denominator, 1);
    EXPECT_EQ(scene.time.numerator, 0);
    EXPECT_TRUE(scene.materials.empty());
    EXPECT_TRUE(scene.objects.empty());
    EXPECT_FALSE(parsed(R"({"korvo": 1.0, "fps": 0})").end);
}

// ---------------------------------------------------------------- writing

TEST(SceneJson, RoundTripGivesAnEqualSceneAndTheSameText) {
    const Scene scene = parsed(kFullScene);
    const std::string written = sceneToJson(scene);
    const Scene again = parsed(written);
    EXPECT_TRUE(same(scene, again)) << written;
    EXPECT_EQ(sceneToJson(again), written);
}

TEST(SceneJson, RoundTripKeepsNumbersAndOddCases) {
    Scene scene;
    scene.fps = 24;
    scene.end = Time{7.25, 1};
    scene.time = Time{0.1, 1};
    SceneObject mesh;
    mesh.name = "M \"quoted\" \xC3\xA9";
    mesh.id = "mesh/1";
    mesh.type = ObjectType::Polygon;
    mesh.position = {0.1f, -0.0, 1e-30};
    mesh.rotation = {3.4028234663852886e38, -1.1754943508222875e-38, 1.0 / 3};
    mesh.points = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
    mesh.polygons = {{0, 1, 2, 2}, {0, 1, 2, 2}};
    // The second triangle keeps a distinct UV corner d: it must come back as four corners.
    mesh.uvw = std::vector<PolygonUV>{{{Vec2{0, 0}, Vec2{1, 0}, Vec2{1, 1}, Vec2{1, 1}}},
                                      {{Vec2{0, 0}, Vec2{1, 0}, Vec2{1, 1}, Vec2{0.5, 0.25}}}};
    // The first keeps a distinct normal corner d as well.
    mesh.normals = std::vector<PolygonNormals>{{{Vec3{0, 0, 1}, Vec3{0, 0.6, 0.8}, Vec3{1, 0, 0}, Vec3{0, 1, 0}}},
                                               {{Vec3{0, 0, 2}, Vec3{0, 0, 2}, Vec3{0, 0, 2}, Vec3{0, 0, 2}}}};
    mesh.weights = {{"zeta bone", std::vector<double>(3, 0.2)}, {"alpha", {0.1, 0.2, 0.3}}};
    SceneObject bone1, bone2;
    bone1.name = bone1.id = "zeta bone";
    bone2.name = "A";
    bone2.id = "alpha";
    bone1.type = bone2.type = ObjectType::Bone;
    bone1.rest.rotation = Vec3{0, 0.5, 0};
    mesh.children = {bone1, bone2};
    scene.objects = {mesh};

    scene.takes = {{"Walk \"slow\"", 0, 12.5}, {"Run", 12.5, 30}};
    scene.currentTake = 1;

    const Scene again = parsed(sceneToJson(scene));
    EXPECT_TRUE(same(scene, again)) << sceneToJson(scene);
    EXPECT_TRUE(std::signbit(again.objects[0].position[1]));
    ASSERT_EQ(again.takes.size(), 2u);
    EXPECT_EQ(std::tie(again.takes[0].name, again.takes[0].startFrame, again.takes[0].endFrame, again.currentTake),
              std::tie(scene.takes[0].name, scene.takes[0].startFrame, scene.takes[0].endFrame, scene.currentTake));
    EXPECT_EQ(again.takes[1].endFrame, 30);
}

TEST(SceneJson, WritesAPrettyStableFile) {
    const Scene scene = parsed(R"({"korvo": 1, "fps": 30, "endFrame": 60, "materials": [{"name": "Red",
        "color": {"on": true, "value": [1, 0, 0], "texture": "red.png"}}],
        "objects": [{"name": "Tri", "type": "polygon", "points": [[0,0,0],[1,0,0],[0,1,0]],
          "polygons": [[0,1,2]], "uvw": [[[0,0],[1,0],[0,1]]], "texture": {"material": "Red"},
          "phong": {"limit": true}, "weights": {"b": [1, 0.5, 0]},
          "children": [{"name": "b", "type": "bone", "rest": {"position": [0, 1, 0]},
                        "animation": {"rotation": [[0, 0, 0, 0], [5, 0, 1.5, 0]]}},
                       {"name": "S", "type": "sphere", "segments": 8}]}]})");
    const std::string expected = R"({
  "korvo": 1,
  "fps": 30,
  "endFrame": 60,
  "time": 0,
  "materials": [
    {
      "name": "Red",
      "color": { "on": true, "value": [1, 0, 0], "texture": "red.png" },
      "luminance": { "on": false, "value": [0, 0, 0] },
      "transparency": { "on": false, "value": [0, 0, 0] },
      "specular": { "on": false, "value": [0, 0, 0] }
    }
  ],
  "objects": [
    {
      "name": "Tri",
      "type": "polygon",
      "position": [0, 0, 0],
      "rotation": [0, 0, 0],
      "scale": [1, 1, 1],
      "points": [
        [0, 0, 0],
        [1, 0, 0],
        [0, 1, 0]
      ],
      "polygons": [
        [0, 1, 2]
      ],
      "uvw": [
        [[0, 0], [1, 0], [0, 1]]
      ],
      "texture": { "material": "Red", "offset": [0, 0], "scale": [1, 1] },
      "phong": { "limit": true },
      "weights": {
        "b": [1, 0.5, 0]
      },
      "children": [
        {
          "name": "b",
          "type": "bone",
          "position": [0, 0, 0],
          "rotation": [0, 0, 0],
          "scale": [1, 1, 1],
          "rest": {
            "position": [0, 1, 0]
          },
          "animation": {
            "rotation": [
              [0, 0, 0, 0],
              [5, 0, 1.5, 0]
            ]
          }
        },
        {
          "name": "S",
          "type": "sphere",
          "position": [0, 0, 0],
          "rotation": [0, 0, 0],
          "scale": [1, 1, 1],
          "radius": 100,
          "segments": 8
        }
      ]
    }
  ]
}
)";
    EXPECT_EQ(sceneToJson(scene), expected);
}

// Objects nested as deep as the reader takes them: the text grows with the depth, not with
// its square, and reads back equal.
TEST(SceneJson, DeepNestingIsIndentedNoDeeperThan32Levels) {
    Scene scene;
    std::vector<SceneObject>* level = &scene.objects;
    for (int i = 0; i < 999; ++i) {
        SceneObject& object = level->emplace_back();
        object.name = object.id = "n" + std::to_string(i);
        level = &object.children;
    }
    const std::string text = sceneToJson(scene);
    size_t widest = 0;
    for (size_t start = 0; start < text.size(); start = text.find('\n', start) + 1) {
        widest = std::max(widest, text.find_first_not_of(' ', start) - start);
    }
    EXPECT_EQ(widest, 64u);
    EXPECT_TRUE(same(parsed(text), scene));
}

// ---------------------------------------------------------------- refused scenes

struct BadCase {
    const char* name;
    std::string text;
    std::string message;  // after "bad.korvo.json: "
};

std::ostream& operator<<(std::ostream& out, const BadCase& c) { return out << c.name; }

// A polygon object around `extra` members, for the geometry cases.
std::string polygonScene(const std::string& extra) {
    return R"({"korvo": 1, "objects": [{"name": "Tri", "type": "polygon",
        "points": [[0,0,0], [1,0,0], [0,1,0]], "polygons": [[0,1,2], [2,1,0]])" +
           extra + "}]}";
}

// `text` with its one `from` replaced by `to`.
std::string replaced(std::string text, const std::string& from, const std::string& to) {
    return text.replace(text.find(from), from.size(), to);
}

std::string objectScene(const std::string& object) { return R"({"korvo": 1, "objects": [)" + object + "]}"; }

const BadCase kBadCases[] = {
    // the JSON itself
    {"SyntaxError", "{\"korvo\": 1,\n  \"fps\": x}",
     "line 2, column 10: malformed JSON: unexpected 'x'"},
    {"Truncated", "{\"korvo\": 1,",
     "line 1, column 13: malformed JSON: the document ends before its arrays and objects are closed"},
    {"ColumnCountsCharacters", "{\"name\xC3\xA9\": ?}",
     "line 1, column 11: malformed JSON: unexpected '?'"},
    // each fault of the JSON by its line and column, whatever follows it
    {"InvalidUtf8", "{\"korvo\": 1,\n \"objects\": [{\"name\": \"a\xFF\"}]}",
     "line 2, column 25: malformed JSON: invalid UTF-8"},
    {"ControlCharacter", "{\"korvo\": 1, \"x\": \"a\tb\"}",
     "line 1, column 21: malformed JSON: a control character in a string (it must be written escaped)"},
    {"UnclosedString", "{\"korvo\": 1, \"x", "line 1, column 14: malformed JSON: a string is not closed"},
    {"BadEscape", "{\"korvo\": 1, \"a\\q\": 1}", "line 1, column 14: malformed JSON: invalid escape in a string"},
    {"LeadingZero", "{\"korvo\": 01}", "line 1, column 11: malformed JSON: invalid number '01'"},
    {"BadLiteral", "{\"korvo\": 1, \"x\": tru}", "line 1, column 19: malformed JSON: invalid literal 'tru'"},
    {"LiteralRunOnAtTheTop", "false0", "line 1, column 1: malformed JSON: invalid literal 'false0'"},
    {"LiteralAndABlankAtTheTop", "null ", "top level at line 1, column 1: expected an object, found null"},
    {"MissingComma", "{\"korvo\": 1 \"fps\": 2}", "line 1, column 13: malformed JSON: unexpected '\"fps\"'"},
    {"MissingColon", "{\"korvo\" 1}", "line 1, column 10: malformed JSON: unexpected '1'"},
    {"TrailingComma", "{\"korvo\": 1, \"objects\": [],}", "line 1, column 28: malformed JSON: unexpected '}'"},
    {"WrongBracket", "{\"korvo\": 1, \"objects\": [}}", "line 1, column 26: malformed JSON: unexpected '}'"},
    {"Empty", " \n ", "line 2, column 2: malformed JSON: the file holds no JSON value"},
    {"AfterTheEnd", "{\"korvo\": 1}\n{}", "line 2, column 1: malformed JSON: bytes after the end of the document"},
    {"JsonFaultBeforeContentFault", "{\"fsp\": 1, \"korvo\": [1 2]}",
     "line 1, column 24: malformed JSON: unexpected '2'"},
    {"DuplicateKey", objectScene(R"({"type": "null", "name": "a", "type": "bone"})"),
     "objects[0] at line 1, column 56: duplicate key \"type\""},
    {"NumberOverflowsDouble", polygonScene(R"(, "position": [0, 1e400, 0])"),
     "objects[0].position[1] at line 2, column 96: number 1e400 is beyond the 32-bit float range"},
    {"NumberOverflowsFloat", polygonScene(R"(, "scale": [1, 1, -3.5e38])"),
     "objects[0].scale[2] at line 2, column 96: number -3.5e+38 is beyond the 32-bit float range"},
    // top level
    {"RootNotObject", "[]", "top level at line 1, column 1: expected an object, found an array"},
    {"MissingVersion", "{}", "top level at line 1, column 1: missing required key \"korvo\""},
    {"WrongVersion", R"({"korvo": 2})", "korvo at line 1, column 11: unsupported format version 2 (this host reads version 1)"},
    {"UnknownTopKey", R"({"korvo": 1, "fsp": 30})", "top level at line 1, column 14: unknown key \"fsp\""},
    {"NegativeFps", R"({"korvo": 1, "fps": -1})", "fps at line 1, column 21: must be 0 or more, found -1"},
    {"FractionalFps", R"({"korvo": 1, "fps": 29.97})", "fps at line 1, column 21: expected an integer, found the number 29.97"},
    {"BothEnds", R"({"korvo": 1, "endTime": 1, "endFrame": 30})",
     "top level at line 1, column 1: give either \"endTime\" or \"endFrame\", not both"},
    {"EndFrameWithoutFps", R"({"korvo": 1, "fps": 0, "endFrame": 30})", "endFrame at line 1, column 36: needs fps above 0 (fps is 0)"},
    {"TakeEndsBeforeStart", R"({"korvo": 1, "takes": [{"name": "Run", "startFrame": 5, "endFrame": 4}]})",
     "takes[0].endFrame at line 1, column 69: ends before its start frame"},
    {"CurrentTakeOutOfRange", R"({"korvo": 1, "takes": [{"name": "Run", "endFrame": 4}], "currentTake": 1})",
     "currentTake at line 1, column 72: take 1 out of range (the file has 1 takes)"},
    {"VersionNotInteger", R"({"korvo": "1"})", "korvo at line 1, column 11: expected an integer, found a string"},
    {"NotANumberLiteral", "{\"korvo\": 1, \"time\": NaN}",
     "line 1, column 22: malformed JSON: unexpected 'NaN'"},
    {"TimeNotNumber", R"({"korvo": 1, "time": "0"})", "time at line 1, column 22: expected a number, found a string"},
    // materials
    {"MaterialsNotArray", R"({"korvo": 1, "materials": {}})",
     "materials at line 1, column 27: expected an array of materials, found an object"},
    {"MaterialWithoutName", R"({"korvo": 1, "materials": [{"color": {}}]})",
     "materials[0] at line 1, column 28: missing required key \"name\""},
    {"DuplicateMaterial", R"({"korvo": 1, "materials": [{"name": "A"}, {"name": "B"}, {"name": "A"}]})",
     "materials[2].name at line 1, column 67: duplicate material name \"A\""},
    {"TextureOffColor", R"({"korvo": 1, "materials": [{"name": "A", "specular": {"texture": "s.png"}}]})",
     "materials[0].specular at line 1, column 55: \"texture\" is allowed only on the color channel"},
    {"UnknownChannelKey", R"({"korvo": 1, "materials": [{"name": "A", "color": {"enabled": true}}]})",
     "materials[0].color at line 1, column 52: unknown key \"enabled\""},
    {"ChannelValueLength", R"({"korvo": 1, "materials": [{"name": "A", "color": {"value": [1, 0]}}]})",
     "materials[0].color.value at line 1, column 61: expected 3 numbers, found 2"},
    {"ChannelOnNotBool", R"({"korvo": 1, "materials": [{"name": "A", "color": {"on": 1}}]})",
     "materials[0].color.on at line 1, column 58: expected true or false, found the number 1"},
    // objects
    {"ObjectsNotArray", R"({"korvo": 1, "objects": 3})", "objects at line 1, column 25: expected an array of objects, found the number 3"},
    {"ObjectWithoutType", objectScene(R"({"name": "A"})"), "objects[0] at line 1, column 26: missing required key \"type\""},
    {"UnknownType", objectScene(R"({"type": "mesh"})"),
     "objects[0].type at line 1, column 35: unknown object type \"mesh\" (expected polygon, null, bone, cube, plane, sphere, camera or "
     "light)"},
    {"ObjectNotObject", R"({"korvo": 1, "objects": [{"type": "null"}, 3]})",
     "objects[1] at line 1, column 44: expected an object, found the number 3"},
    {"PositionNotArray", objectScene(R"({"type": "null", "position": "0 0 0"})"),
     "objects[0].position at line 1, column 55: expected an array of 3 numbers, found a string"},
    {"UnknownObjectKey", objectScene(R"({"type": "null", "colour": 1})"), "objects[0] at line 1, column 43: unknown key \"colour\""},
    {"NameNotString", objectScene(R"({"type": "null", "name": 7})"),
     "objects[0].name at line 1, column 51: expected a string, found the number 7"},
    {"PositionLength", objectScene(R"({"type": "null", "position": [0, 0]})"),
     "objects[0].position at line 1, column 55: expected 3 numbers, found 2"},
    {"GeometryOnNull", objectScene(R"({"type": "null", "points": []})"),
     "objects[0] at line 1, column 43: \"points\" is allowed only on polygon objects, not on a null"},
    {"WeightsOnCube", objectScene(R"({"type": "cube", "weights": {}})"),
     "objects[0] at line 1, column 43: \"weights\" is allowed only on polygon objects, not on a cube"},
    {"TextureOnBone", objectScene(R"({"type": "bone", "texture": {"material": "A"}})"),
     "objects[0] at line 1, column 43: \"texture\" is allowed only on polygon objects and generators, not on a bone"},
    {"RestOnPolygon", polygonScene(R"(, "rest": {})"),
     "objects[0] at line 2, column 80: \"rest\" is allowed only on bones, not on a polygon"},
    {"SizeOnSphere", objectScene(R"({"type": "sphere", "size": [1, 1, 1]})"),
     "objects[0] at line 1, column 45: \"size\" is allowed only on cubes and planes, not on a sphere"},
    {"DeepPath", objectScene(R"({"type": "null", "children": [{"type": "null"}, {"type": "null",
        "children": [{"type": "bone", "rest": {"scale": [1, "1", 1]}}]}]})"),
     "objects[0].children[1].children[0].rest.scale[1] at line 2, column 61: expected a number, found a string"},
    // geometry
    {"PointLength", R"({"korvo": 1, "objects": [{"type": "polygon", "points": [[0,0,0], [1,0]]}]})",
     "objects[0].points[1] at line 1, column 66: expected 3 numbers, found 2"},
    {"PolygonNotArray", replaced(polygonScene(""), "[2,1,0]", "2"),
     "objects[0].polygons[1] at line 2, column 70: expected an array of 3 or 4 point indices, found the number 2"},
    {"PolygonTooShort", replaced(polygonScene(R"(, "uvw": [])"), "[2,1,0]", "[2,1]"),
     "objects[0].polygons[1] at line 2, column 70: a polygon needs 3 or 4 point indices, found 2"},
    {"PolygonTooLong", replaced(polygonScene(""), "[2,1,0]", "[2,1,0,1,2]"),
     "objects[0].polygons[1] at line 2, column 70: a polygon needs 3 or 4 point indices, found 5"},
    {"PointIndexOutOfRange", replaced(polygonScene(""), "[2,1,0]", "[2,1,12]"),
     "objects[0].polygons[1] at line 2, column 70: point index 12 out of range (the object has 3 points)"},
    {"NegativePointIndex", replaced(polygonScene(""), "[0,1,2]", "[0,-1,2]"),
     "objects[0].polygons[0] at line 2, column 61: point index -1 out of range (the object has 3 points)"},
    {"FractionalPointIndex", replaced(polygonScene(""), "[0,1,2]", "[0,1.5,2]"),
     "objects[0].polygons[0][1] at line 2, column 64: expected an integer, found the number 1.5"},
    {"UvwCount", polygonScene(R"(, "uvw": [[[0,0],[1,0],[0,1]]])"),
     "objects[0].uvw at line 2, column 87: expected one entry per polygon (2), found 1"},
    {"UvwCorners", polygonScene(R"(, "uvw": [[[0,0],[1,0],[0,1]], [[0,0],[1,0],[0,1],[1,1]]])"),
     "objects[0].uvw[1] at line 2, column 109: expected 3 corners like its polygon, found 4"},
    {"UvwWithoutPolygons", R"({"korvo": 1, "objects": [{"type": "polygon", "points": [[0,0,0]],
        "uvw": [[[0,0],[1,0],[0,1]]]}]})",
     "objects[0].uvw at line 2, column 16: expected one entry per polygon (0), found 1"},
    {"UvwCornerLength", polygonScene(R"(, "uvw": [[[0,0],[1,0],[0,1]], [[0,0],[1,0,0],[0,1]]])"),
     "objects[0].uvw[1][1] at line 2, column 116: expected 2 numbers, found 3"},
    {"NormalsCount", polygonScene(R"(, "normals": [[[0,0,1],[0,0,1],[0,0,1]]])"),
     "objects[0].normals at line 2, column 91: expected one entry per polygon (2), found 1"},
    {"NormalsBeforePolygons", R"({"korvo": 1, "objects": [{"type": "polygon", "normals": [[[0,0,1],[0,0,1],[0,0,1]],
        [[0,0,1],[0,0,1],[0,0,1],[0,0,1]]], "points": [[0,0,0],[1,0,0],[0,1,0]], "polygons": [[0,1,2],[2,1,0]]}]})",
     "objects[0].normals[1] at line 2, column 9: expected 3 corners like its polygon, found 4"},
    {"NormalCornerLength", polygonScene(R"(, "normals": [[[0,0,1],[0,0,1],[0,0,1]], [[0,0,1],[1,0],[0,0,1]]])"),
     "objects[0].normals[1][1] at line 2, column 128: expected 3 numbers, found 2"},
    {"WeightsLength", polygonScene(R"(, "weights": {"b": [1, 1]}, "children": [{"name": "b", "type": "bone"}])"),
     "objects[0].weights.b at line 2, column 97: expected one weight per point (3), found 2"},
    {"WeightsNotObject", polygonScene(R"(, "weights": [[1, 1, 1]])"),
     "objects[0].weights at line 2, column 91: expected an object, found an array"},
    {"WeightsUnknownBone", polygonScene(R"(, "weights": {"Bone 1": [1, 1, 1]})"),
     "objects[0].weights[\"Bone 1\"] at line 2, column 102: no object has the id \"Bone 1\""},
    {"WeightsNotABone", polygonScene(R"(, "weights": {"n": [1, 1, 1]}, "children": [{"name": "n", "type": "null"}])"),
     "objects[0].weights.n at line 2, column 97: objects[0].children[0] (id \"n\") is a null, not a bone"},
    {"WeightsAmbiguous",
     polygonScene(R"(, "weights": {"b": [1, 1, 1]}, "children": [{"name": "b", "type": "bone"}, )"
                  R"({"name": "b", "type": "bone"}])"),
     "objects[0].weights.b at line 2, column 97: id \"b\" is ambiguous: several objects are named so (objects[0].children[0] and "
     "others); give the bone an \"id\""},
    {"DuplicateId", objectScene(R"({"type": "bone", "id": "x"}, {"type": "bone", "name": "y", "id": "x"})"),
     "objects[1].id at line 1, column 55: id \"x\" is already used by objects[0]"},
    {"NameCollidesWithId", objectScene(R"({"type": "bone", "id": "x"}, {"type": "null", "name": "x"})"),
     "objects[1] at line 1, column 55: id \"x\" (taken from its name) is already used by objects[0]"},
    // tags
    {"TextureUnknownMaterial", polygonScene(R"(, "texture": {"material": "Skn"})"),
     "objects[0].texture.material at line 2, column 104: unknown material \"Skn\""},
    {"TextureWithoutMaterial", polygonScene(R"(, "texture": {"offset": [0, 0]})"),
     "objects[0].texture at line 2, column 91: missing required key \"material\""},
    {"PhongLimit", polygonScene(R"(, "phong": {"limit": 2})"),
     "objects[0].phong.limit at line 2, column 99: expected true, false, 0 or 1, found the number 2"},
    // animation
    {"KeyLength", objectScene(R"({"type": "null", "animation": {"position": [[0, 1, 2]]}})"),
     "objects[0].animation.position[0] at line 1, column 70: a key needs 4 numbers (frame, x, y, z), found 3"},
    {"KeysNotAscending", objectScene(R"({"type": "null", "animation": {"scale": [[0,1,1,1], [10,2,2,2], [10,3,3,3]]}})"),
     "objects[0].animation.scale[2] at line 1, column 90: frame 10 does not come after the previous key's frame 10"},
    {"KeyNotArray", objectScene(R"({"type": "null", "animation": {"rotation": [0, 0, 0, 0]}})"),
     "objects[0].animation.rotation[0] at line 1, column 70: expected a key [frame, x, y, z], found the number 0"},
    {"UnknownChannel", objectScene(R"({"type": "null", "animation": {"translation": []}})"),
     "objects[0].animation at line 1, column 57: unknown key \"translation\""},
    // generators
    {"SphereSegments", objectScene(R"({"type": "sphere", "segments": 2})"),
     "objects[0].segments at line 1, column 57: must be from 4 to 1000, found 2"},
    {"CubeSegments", objectScene(R"({"type": "cube", "segments": 1001})"),
     "objects[0].segments at line 1, column 55: must be from 1 to 1000, found 1001"},
    {"CubeSizeNegative", objectScene(R"({"type": "cube", "size": [1, -2, 1]})"),
     "objects[0].size[1] at line 1, column 55: must be above 0, found -2"},
    {"PlaneSizeLength", objectScene(R"({"type": "plane", "size": [1, 1, 1]})"),
     "objects[0].size at line 1, column 52: expected 2 numbers, found 3"},
    {"RadiusZero", objectScene(R"({"type": "sphere", "radius": 0})"), "objects[0].radius at line 1, column 55: must be above 0, found 0"},
    {"ChildrenNotArray", objectScene(R"({"type": "null", "children": {}})"),
     "objects[0].children at line 1, column 55: expected an array of objects, found an object"},
};

class RefusedScene : public testing::TestWithParam<BadCase> {};

TEST_P(RefusedScene, IsRefusedWithOnePreciseMessage) {
    Scene scene;
    scene.fps = 99;
    std::string error;
    EXPECT_FALSE(parseScene(GetParam().text, "bad.korvo.json", scene, error));
    EXPECT_EQ(error, "bad.korvo.json: " + GetParam().message);
    EXPECT_EQ(scene.fps, 99);  // the scene passed in is left as it was
}

INSTANTIATE_TEST_SUITE_P(SceneJson, RefusedScene, testing::ValuesIn(kBadCases),
                         [](const testing::TestParamInfo<BadCase>& info) { return std::string(info.param.name); });

TEST(SceneJson, RefusesObjectsNestedTooDeeply) {
    std::string text = R"({"korvo": 1, "objects": [)";
    for (int i = 0; i < 1001; ++i) text += R"({"type": "null", "children": [)";
    for (int i = 0; i < 1001; ++i) text += "]}";
    text += "]}";
    Scene scene;
    std::string error;
    EXPECT_FALSE(parseScene(text, "deep.korvo.json", scene, error));
    EXPECT_NE(error.find(": objects are nested deeper than 1000 levels"), std::string::npos) << error;
}

// Long arrays are read straight from the text, but not under a key spelled with an escape:
// each text is read both ways and must give the same scene, or the same refusal (but for
// its place: a value under an escaped key is placed at its object). Each array starts a
// line and is made long with blanks, as short ones are left to the JSON parser.
TEST(SceneJson, ArraysReadAheadAreReadAsTheParserReadsThem) {
    const std::string kPoints = R"(, "@points":
[[0,0,0], [1,0,0], [0,1,0]])";
    const std::string cases[] = {
        // numbers of every spelling, zeros of both signs, quads and triangles, blanks
        R"(, "@points":
[[0, -0, -0.0], [1E+05, -1.5e-7, 3.4028235e38], [0.1, 123456789012345678, 1234567890123456789], [1e-99, 2.5E3, -0e0]],
"@polygons":
[[0,1,2], [3, 2 ,1,0]], "@uvw":
[[[0,1],[1e-3,-0],[2,3]], [[0, 1], [0,1],[0,1], [ 0 , 1 ]]], "@normals":
[[[0,0,1],[0,0,1.0],[-0.0,0,1]], [[0,0,1],[0,0,1],[0,0,1.0],[0,0,1]]])",
        // digits of every count, in one step or past it
        R"(, "@points":
[[0.09780436999999997, -9007199254740993, 12345678901234567890.5], [0.00000000000000000000123, 7.038531e-26, -1.17549435e-38],
[123456789012345678, -0.5e-2, 4.9406564584124654e-24]], "@polygons":
[[0,1,2]])",
        // corner lists before the polygons, polygons before the points
        R"(, "@uvw":
[[[0,0],[1,0],[0,1]]], "@normals":
[[[0,0,1],[0,0,1],[0,0,1]]], "@polygons":
[[0,1,2]])" + kPoints,
        kPoints + R"(, "@polygons":
[[0,1,3]])",
        R"(, "@polygons":
[[0,1,3]])" + kPoints,
        kPoints + R"(, "@polygons":
[[0,1,2]], "@uvw":
[[[0,0],[1,0],[0,1],[1,1]]])",
        kPoints + R"(, "@polygons":
[[0,1,2]], "@normals":
[[[0,0,1],[0,0,1],[0,0,1]], [[0,0,1],[0,0,1],[0,0,1]]])",
        kPoints + R"(, "@polygons":
[[0,1,2], [0,-0,1], [0,1.0,2], [0,1]])",
        kPoints + R"(, "@polygons":
[[0,1,2], [00,1,2]])",
        kPoints + R"(, "@polygons":
[[0,1,2], [1e0,1,2], [0,1,12345678], [0,1,2147483648]])",
        // numbers the reader refuses or reads otherwise
        R"(, "@points":
[[3.5e38,0,0]])",
        R"(, "@points":
[[1e-400,0,0]])",
        R"(, "@points":
[[1e400,0,0]])",
        R"(, "@points":
[[1e4000478737255797737255797737,0,0]])",
        R"(, "@points":
[[01,0,0]])",
        R"(, "@points":
[[1.,0,0]])",
        R"(, "@points":
[[.5,0,0]])",
        R"(, "@points":
[[+1,0,0]])",
        R"(, "@points":
[[1e,0,0]])",
        // arrays of another shape, broken arrays, the key elsewhere
        R"(, "@points":
[[0,0,0],])",
        R"(, "@points":
[[0,0,0] [1,1,1]])",
        R"(, "@points":
[[0,0,0], [1,1]])",
        R"(, "@points":
[[0,0,0]], "weights": {"points": [1]}, "children": [{"name": "points", "type": "bone"}])",
        R"(, "children": [{"type": "null", "@points":
[[0,0,0]]}])",
    };
    for (const std::string& members : cases) {
        const auto text = [&](bool escaped) {
            std::string t = R"({"korvo": 1, "objects": [{"type": "polygon")" + members + "}]}";
            for (size_t at = t.find("\n["); at != std::string::npos; at = t.find("\n[", at + 1)) {
                t.insert(at + 2, std::string(300, ' '));
            }
            for (size_t at = t.find('@'); at != std::string::npos; at = t.find('@', at)) {
                char escape[8];
                std::snprintf(escape, sizeof escape, "\\u%04x", unsigned(t[at + 1]));
                t.replace(at, 2, escaped ? escape : std::string(1, t[at + 1]));
            }
            return t;
        };
        Scene straight, parsed;
        std::string straightError, parsedError;
        const bool straightRead = parseScene(text(false), "rows.korvo.json", straight, straightError);
        const bool parsedRead = parseScene(text(true), "rows.korvo.json", parsed, parsedError);
        EXPECT_EQ(straightRead, parsedRead) << members;
        const auto withoutPlace = [](const std::string& error) {
            return std::regex_replace(error, std::regex(" at line [0-9]+, column [0-9]+"), "");
        };
        EXPECT_EQ(withoutPlace(straightError), withoutPlace(parsedError)) << members;
        if (straightRead && parsedRead) {
            EXPECT_EQ(sceneToJson(straight), sceneToJson(parsed)) << members;
        }
    }
}

// ---------------------------------------------------------------- files

class SceneFile : public testing::Test {
protected:
    void SetUp() override {
        folder_ = std::filesystem::temp_directory_path() /
                  ("scene_json_test_" + std::to_string(::getpid()) + "_" +
                   testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(folder_);
    }
    void TearDown() override { std::filesystem::remove_all(folder_); }
    std::filesystem::path folder_;
};

TEST_F(SceneFile, LoadsAFile) {
    const std::string path = (folder_ / "ok.korvo.json").string();
    std::ofstream(path) << kFullScene;
    Scene scene;
    std::string error;
    ASSERT_TRUE(loadSceneFile(path, scene, error)) << error;
    EXPECT_TRUE(same(scene, parsed(kFullScene)));
}

TEST_F(SceneFile, NamesTheFileInEveryMessage) {
    const std::string missing = (folder_ / "missing.korvo.json").string();
    Scene scene;
    std::string error;
    EXPECT_FALSE(loadSceneFile(missing, scene, error));
    EXPECT_EQ(error, missing + ": cannot open the file: No such file or directory");

    EXPECT_FALSE(loadSceneFile(folder_.string(), scene, error));
    EXPECT_EQ(error, folder_.string() + ": cannot read the file: Is a directory");

    const std::string bad = (folder_ / "arm.korvo.json").string();
    std::ofstream(bad) << replaced(polygonScene(""), "[2,1,0]", "[2,1,12]");
    EXPECT_FALSE(loadSceneFile(bad, scene, error));
    EXPECT_EQ(error,
              bad + ": objects[0].polygons[1] at line 2, column 70: point index 12 out of range (the object has 3 points)");
}

}  // namespace
}  // namespace korvo
