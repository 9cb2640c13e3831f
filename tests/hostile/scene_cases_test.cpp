// Hostile scene files, one row each: loaded, or refused with one line naming the file,
// the place and what is wrong; never a crash, a hang, memory growing with the nesting, or
// a value the module would turn into infinity. Shapes that cost the square of their size
// before (an object of 200,000 keys, weights of 70,000 bones) are here at full size.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <string>

#include "e2e/harness.h"
#include "korvo/scene/scene_json.h"

namespace korvo::e2e {
namespace {

std::string manyKeys(int count, const std::string& last) {
    std::string text = R"({"korvo": 1)";
    for (int i = 0; i < count; ++i) text += ", \"k" + std::to_string(i) + "\": 0";
    return text + last + "}";
}

// A one-point mesh weighted to `count` bones, each its child.
std::string manyBones(int count) {
    std::string weights, bones;
    for (int i = 0; i < count; ++i) {
        const std::string name = "\"b" + std::to_string(i) + "\"";
        weights += (i ? ", " : "") + name + ": [1]";
        bones += (i ? ", " : "") + std::string(R"({"name": )") + name + R"(, "type": "bone"})";
    }
    return R"({"korvo": 1, "objects": [{"type": "polygon", "points": [[0, 0, 0]], "weights": {)" + weights +
           R"(}, "children": [)" + bones + "]}]}";
}

std::string nestedObjects(int levels) {
    std::string text = R"({"korvo": 1, "objects": [)";
    for (int i = 0; i < levels; ++i) text += R"({"type": "null", "children": [)";
    for (int i = 0; i < levels; ++i) text += "]}";
    return text + "]}";
}

std::string withObject(const std::string& object) { return R"({"korvo": 1, "objects": [)" + object + "]}"; }

// A mesh of `count` points whose one polygon, after them, names a point beyond the last:
// the text of the points is given back while they are read, and the refusal must still
// find its line and column.
std::string farIndex(int count) {
    std::string points;
    for (int i = 0; i < count; ++i) points += (i ? ",\n" : "") + std::string("[0.125, -2.5, 1e-3]");
    return withObject(R"({"type": "polygon", "points": [)" + points + "],\n" + R"("polygons": [[0, 1, )" +
                      std::to_string(count) + "]]}");
}

TEST(SceneCases, EachLoadsOrIsRefusedWithOneLine) {
    TempFolder folder;
    ASSERT_EQ(mkfifo((folder / "pipe.korvo.json").c_str(), 0600), 0);
    const struct {
        const char* name;
        std::string bytes;  // written to NAME.korvo.json; empty: `path` is read as it is
        std::string path;
        bool loads;
        std::string line;  // after "PATH: "
    } rows[] = {
        {"keys", manyKeys(200000, ""), "", false, "top level at line 1, column 14: unknown key \"k0\""},
        {"duplicate", manyKeys(200000, R"(, "k0": 1)"), "", false, "top level at line 1, column 2688904: duplicate key \"k0\""},
        {"bones", manyBones(70000), "", true, ""},
        {"arrays", std::string(20000000, '[') + std::string(20000000, ']'), "", false,
         "line 1, column 10001: arrays and objects are nested deeper than 10000 levels"},
        {"points", withObject(R"({"type": "polygon", "points": )" + std::string(30000, '[')), "", false,
         "line 1, column 10053: arrays and objects are nested deeper than 10000 levels"},
        {"zero", "", "/dev/zero", false, "cannot read the file: not a regular file (a device, a pipe or a socket)"},
        {"pipe", "", folder / "pipe.korvo.json", false,
         "cannot read the file: not a regular file (a device, a pipe or a socket)"},
        {"deep", nestedObjects(1001), "", false,
         "objects[0].children[0] ... children[0].children[0].children (2001 steps) at line 1, column 30025: "
         "objects are nested deeper than 1000 levels"},
        {"trailing", std::string(R"({"korvo": 1})") + '\0' + "garbage", "", false,
         "line 1, column 13: malformed JSON: bytes after the end of the document"},
        {"far index", farIndex(300000), "", false,
         "objects[0].polygons[0] at line 300001, column 14: point index 300000 out of range (the object has 300000 "
         "points)"},
        {"byte order mark", "\xEF\xBB\xBF{\"korvo\": 1, \"fps\": 24}", "", true, ""},
        {"range end", withObject(R"({"type": "null", "position": [3.4028235e38, -3.4028235e38, 0]})"), "", true, ""},
        {"beyond range", withObject(R"({"type": "null", "scale": [1, 3.4028236e38, 1]})"), "", false,
         "objects[0].scale[1] at line 1, column 56: number 3.4028236e+38 is beyond the 32-bit float range"},
        {"cube size", withObject(R"({"type": "cube", "size": [3e38, 1, 1]})"), "", false,
         "objects[0].size[0] at line 1, column 52: must be at most 1e18, found 3e+38"},
        {"radius", withObject(R"({"type": "sphere", "radius": 1e19})"), "", false,
         "objects[0].radius at line 1, column 55: must be at most 1e18, found 1e+19"},
        {"texture offset",
         R"({"korvo": 1, "materials": [{"name": "M"}], "objects": [{"type": "plane", "texture": )"
         R"({"material": "M", "offset": [0, 1e20], "scale": [1, 1]}}]})",
         "", false, "objects[0].texture.offset[1] at line 1, column 117: must be from -1e18 to 1e18, found 1e+20"},
        {"texture scale",
         R"({"korvo": 1, "materials": [{"name": "M"}], "objects": [{"type": "plane", "texture": )"
         R"({"material": "M", "scale": [-1e20, 1]}}]})",
         "", false, "objects[0].texture.scale[0] at line 1, column 113: must be from -1e18 to 1e18, found -1e+20"},
        {"colour", R"({"korvo": 1, "materials": [{"name": "M", "transparency": {"value": [3e38, 3e38, 3e38]}}]})", "",
         false, "materials[0].transparency.value[0] at line 1, column 69: must be from -1e18 to 1e18, found 3e+38"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        std::string path = row.path;
        if (path.empty()) {
            path = folder / (std::string(row.name) + ".korvo.json");
            writeFile(path, row.bytes);
        }
        Scene scene;
        std::string error;
        EXPECT_EQ(loadSceneFile(path, scene, error), row.loads) << error;
        if (!row.loads) {
            EXPECT_EQ(error, path + ": " + row.line);
        }
    }
}

}  // namespace
}  // namespace korvo::e2e
