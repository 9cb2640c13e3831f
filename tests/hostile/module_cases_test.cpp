// Scenes a hostile user could hand the exporter, through the korvo command and the real
// module: each one written soundly (a whole, finite file that the tests' reader loads
// with every bone and animation resolved) with the console line that says what was
// changed, or refused with one line. One row per case.
#include <gtest/gtest.h>

#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "e2e/harness.h"
#include "reliability/xfile_checks.h"

#ifdef DORNA_WITH_IMPORT
#include "korvo/import/model_reader.h"
#endif

namespace korvo::e2e {
namespace {

std::string triangle(const std::string& name, const std::string& extra = "") {
    return R"({ "name": ")" + name +
           R"(", "type": "polygon", "points": [[0,0,0], [1,0,0], [0,1,0]], "polygons": [[0,1,2]])" + extra + " }";
}

std::string bone(const std::string& name, const std::string& id, const std::string& extra = "") {
    return R"({ "name": ")" + name + R"(", "id": ")" + id + R"(", "type": "bone", "rest": { "scale": [1,1,1] })" +
           extra + " }";
}

std::string scene(const std::vector<std::string>& objects, const std::string& time = R"("endFrame": 2)",
                  const std::string& materials = "") {
    std::string text = R"({ "korvo": 1, "fps": 30, )" + (time.empty() ? "" : time + ", ") + materials + R"("objects": [)";
    for (size_t i = 0; i < objects.size(); ++i) text += (i ? ", " : "") + objects[i];
    return text + "] }";
}

std::string null(const std::string& name, const std::string& extra = "") {
    return R"({ "name": ")" + name + R"(", "type": "null")" + extra + " }";
}

const std::string kMoves = R"(, "animation": { "position": [[0, 0,0,0], [2, 1,0,0]] })";

// A mesh weighted by `bones` bones b0, b1, ..., which follow it.
std::string manyBones(int bones) {
    std::string weights;
    std::vector<std::string> objects;
    for (int b = 0; b < bones; ++b) {
        weights += std::string(b ? ", " : "") + "\"b" + std::to_string(b) + "\": [1, 1, 1]";
        objects.push_back(bone("B" + std::to_string(b), "b" + std::to_string(b)));
    }
    objects.insert(objects.begin(), triangle("Body", R"(, "weights": {)" + weights + "}"));
    return scene(objects);
}

// Names a reader would take for numbers or keywords, on bones that weight a mesh and
// move, and on objects.
const std::vector<std::string> kReaderWords = {"7", "12a", "-3", "Float", "WORD", "template", "Array"};
// The same kinds of word in other spellings, for objects beside such bones without
// unique names (a bone and an object of one name would name one frame twice).
const std::vector<std::string> kOtherWords = {"8", "12b", "-4", "float", "word", "TEMPLATE", "array"};

std::string readerWords(const std::vector<std::string>& objectNames) {
    std::string weights;
    std::vector<std::string> objects;
    for (size_t i = 0; i < kReaderWords.size(); ++i) {
        weights += std::string(i ? ", " : "") + "\"w" + std::to_string(i) + "\": [1, 0.5, 0.25]";
        objects.push_back(bone(kReaderWords[i], "w" + std::to_string(i),
                               R"(, "animation": { "rotation": [[0, 0,0,0], [2, 0,1,0]] })"));
        objects.push_back(triangle(objectNames[i]));
    }
    objects.insert(objects.begin(), triangle("Skin", R"(, "weights": {)" + weights + "}"));
    return scene(objects);
}

const std::string kLong(600000, 'n');

struct Case {
    const char* what;
    std::string scene;
    std::vector<std::string> options;
    int status;
    std::string line;                   // a console line the run prints ("" for none)
    std::vector<std::string> written;   // texts the file holds
    std::vector<std::string> absent;    // texts it does not hold
    // The reader aborts on frame names of some thousand characters and takes no number
    // of 20 digits: such files are not read back.
    bool readBack = true;
};

std::vector<Case> cases() {
    return {
        {"a name of 600,000 characters on two objects and two bones",
         scene({triangle(kLong), triangle(kLong + "x"), bone(kLong, "a"), bone(kLong + "y", "b")}),
         {"--animation"}, 0, "",
         {"Frame " + std::string(511938, 'n') + "_0 {\r\n", "Frame " + std::string(511938, 'n') + "_1 {\r\n",
          "Frame " + std::string(511950, 'n') + " {\r\n", "Frame " + std::string(511950, 'n') + "_2 {\r\n",
          "Mesh M_" + std::string(511938, 'n') + "_1 {\r\n"},
         {},
         false},
        {"points 1e20 apart give normals beyond the range of numbers",
         scene({triangle("Huge").replace(triangle("Huge").find("[1,0,0], [0,1,0]"), 16, "[1e20,0,0], [0,1e20,0]")}),
         {}, 0, "Dorna: Huge_0: 9 values beyond the range of numbers (NaN or infinity) were written as 0\n",
         {"0.000000; 0.000000; 0.000000;;\r\n"},
         {},
         false},
        {"control characters in names", scene({triangle("a\\u000bb\\u000cc\\u0000d\\u007f"), bone("e\\u0001f", "e")}),
         {"--no-unique-names"}, 0, "", {"Frame a_b_c_d_ {\r\n", "Mesh M_a_b_c_d_ {\r\n", "Frame e_f {\r\n"}, {}},
        {"bones whose cleaned names collide",
         scene({triangle("Skin", R"(, "weights": { "p": [1, 1, 0], "q": [0, 1, 1], "r": [1, 0, 1] })"),
                bone("a b", "p", R"(, "animation": { "position": [[0, 0,0,0], [2, 1,0,0]] })"),
                bone("a_b", "q", R"(, "animation": { "position": [[0, 0,0,0], [2, 2,0,0]] })"),
                bone("a b", "r", R"(, "animation": { "position": [[0, 0,0,0], [2, 3,0,0]] })")}),
         {"--animation"}, 0, "",
         {"Frame a_b {", "Frame a_b_2 {", "Frame a_b_3 {", " \"a_b\";", " \"a_b_2\";", " \"a_b_3\";", "{a_b}",
          "{a_b_2}", "{a_b_3}"},
         {}},
        {"an animation without an end", scene({triangle("Mover")}, ""), {"--animation", "--no-only-bones"}, 0,
         "Dorna: no AnimationSet written: the scene's time range ends at frame 0 or before, so there are no keys\n",
         {}, {"\nAnimationSet {", "\nAnimation {"}},
        {"an animation at 0 frames per second", R"({ "korvo": 1, "fps": 0, "endTime": 2, "objects": [)" +
                                                   triangle("Mover") + "] }",
         {"--animation", "--no-only-bones"}, 0, "Dorna: no AnimationSet written: the scene's time range", {},
         {"\nAnimationSet {"}},
        {"a mesh weighted by 201 bones", manyBones(201), {}, 0,
         "Dorna: mesh M_Body_0: 201 bones weight it, more than a mesh can hold (199); left out: B199, B200\n",
         {"XSkinMeshHeader {\r\n199;\r\n"}, {" \"B199\";"}},
        {"names read as numbers or keywords, unique names on", readerWords(kReaderWords), {"--animation"}, 0, "",
         {"Frame _7 {", "Frame 12a {", "Frame _3 {", "Frame _Float {", "Frame _WORD {", "Frame _template {",
          "Frame _Array {", " \"_7\";", " \"12a\";", " \"_Array\";", "{_7}", "{12a}", "{_template}",
          "Frame 7_1 {", "Mesh M_7_1 {", "Frame Float_4 {", "Mesh M__3_3 {"},
         {}},
        {"names read as numbers or keywords, unique names off", readerWords(kOtherWords),
         {"--animation", "--no-unique-names"}, 0, "",
         {"Frame _7 {", "Frame 12a {", "Frame _Float {", "Frame _8 {", "Frame 12b {", "Frame _4 {", "Frame _float {",
          "Frame _TEMPLATE {", "Mesh M_8 {", "Mesh M_float {", "Mesh M_TEMPLATE {", " \"_WORD\";", "{_WORD}"},
         {"Frame 7 {", "Frame Float {", "Frame WORD {", "Frame 8 {"}},
        {"a numbered object and a bone of its numbered name",
         scene({null("x"), triangle("Skin", R"(, "weights": { "b": [1, 1, 1] })"), bone("x_0", "b")}), {}, 0, "",
         {"Frame x_0_2 {", "Frame x_0 {", " \"x_0\";"}, {}},
        {"animated objects whose cleaned names collide, unique names off",
         scene({null("a b", kMoves), null("a_b", kMoves), triangle("a{b", kMoves), null("a\\nb", kMoves)}),
         {"--no-unique-names", "--animation", "--no-only-bones"}, 0, "",
         {"Frame a_b {", "Frame a_b_2 {", "Frame a_b_3 {", "Frame a_b_4 {", "{a_b_4}"}, {}},
        {"key times past the largest a file stores", scene({triangle("Mover", kMoves)}, R"("endFrame": 3)"),
         {"--animation", "--no-only-bones", "--ticks-per-frame", "2147483647"}, 2,
         "korvo: 2147483647 ticks per frame (--ticks-per-frame) put the last animation key (frame 2) at tick 4294967294, past", {}, {}},
        {"key times up to the largest a file stores", scene({triangle("Mover", kMoves)}, R"("endFrame": 3)"),
         {"--animation", "--no-only-bones", "--ticks-per-frame", "1073741823", "--frame-rate"}, 0, "",
         {"  2147483646;16;"}, {}},
        {"control characters and letters outside Latin-1 in a texture name",
         scene({triangle("T", R"(, "uvw": [[[0,0],[1,0],[0,1]]], "texture": { "material": "M" })")}, "",
               R"("materials": [{ "name": "M", "color": { "on": true, "texture": "a\u0000b\u001b[2J\u007f\u043c?.png" } }], )"),
         {}, 0, "Dorna: mesh M_T_0: 1 character of its texture name is outside Latin-1 and written as \"?\"\n",
         {"TextureFilename { \"a_b_[2J_??.png\"; }\r\n"}, {}},
        {"objects no reference names keep a shared name", scene({null("a b"), triangle("a_b")}),
         {"--no-unique-names"}, 0, "", {"Frame a_b {"}, {"Frame a_b_2 {"}},
    };
}

#ifdef DORNA_WITH_IMPORT
// "" when the reader loads the file and every bone and every animation channel names
// one frame of it, and no two bones of a mesh share a name.
std::string readerFault(const std::string& path) {
    import::ModelData model;
    std::string error;
    if (!import::readModel(path, import::ReadMode::AsStored, model, error)) return "the reader refuses it: " + error;
    std::multiset<std::string> frames;
    for (const import::ModelNode& node : model.nodes) frames.insert(node.name);
    for (const import::ModelMesh& mesh : model.meshes) {
        std::set<std::string> names;
        for (const import::ModelBone& bone : mesh.bones) {
            if (frames.count(bone.name) != 1) return "bone \"" + bone.name.substr(0, 40) + "\" names no single frame";
            if (!names.insert(bone.name).second) return "two bones \"" + bone.name.substr(0, 40) + "\"";
        }
    }
    for (const import::ModelAnimation& animation : model.animations)
        for (const import::ModelChannel& channel : animation.channels)
            if (frames.count(channel.nodeName) != 1)
                return "channel \"" + channel.nodeName.substr(0, 40) + "\" names no single frame";
    return "";
}
#endif

TEST(HostileModuleCases, EachSceneIsWrittenWholeWithItsLine) {
    for (const Case& c : cases()) {
        SCOPED_TRACE(c.what);
        TempFolder folder;
        writeFile(folder / "scene.korvo.json", c.scene);
        std::vector<std::string> arguments = {"export", "scene.korvo.json", "-o", "scene.x"};
        arguments.insert(arguments.end(), c.options.begin(), c.options.end());
        const CommandResult r = runKorvo(arguments, folder.path(), {{"KORVO_CHECK_LEAKS", "1"}});
        ASSERT_EQ(r.status, c.status) << r.err.substr(0, 2000);
        if (!c.line.empty()) {
            EXPECT_NE(r.err.find(c.line), std::string::npos) << r.err.substr(0, 2000);
        }
        if (c.status != 0) continue;

        const std::string text = readFile(folder / "scene.x");
        EXPECT_EQ(reliability::braceFault(text), "");
        EXPECT_EQ(reliability::nonFiniteFault(text), "");
        for (const std::string& expected : c.written)
            EXPECT_NE(text.find(expected), std::string::npos) << expected.substr(0, 80);
        for (const std::string& unexpected : c.absent)
            EXPECT_EQ(text.find(unexpected), std::string::npos) << unexpected.substr(0, 80);
#ifdef DORNA_WITH_IMPORT
        if (c.readBack) {
            EXPECT_EQ(readerFault(folder / "scene.x"), "");
        }
#endif
#ifdef IRRLICHT_LOAD_PATH
        if (c.readBack) {
            // The library's own leaks are not the module's.
            const std::string load = std::string("ASAN_OPTIONS=detect_leaks=0 '") + IRRLICHT_LOAD_PATH + "' '" +
                                     (folder / "scene.x") + "' > '" + (folder / "irrlicht.txt") + "'";
            EXPECT_EQ(std::system(load.c_str()), 0) << "Irrlicht cannot load the file";
        }
#endif
    }
}

}  // namespace
}  // namespace korvo::e2e
