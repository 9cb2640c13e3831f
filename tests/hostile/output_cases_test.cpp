// Targets and failures a hostile user can bring about around the command's output: each
// ends with its exit status and one line, and no file the user did not name is touched.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "e2e/harness.h"
#include "korvo/files/write_plan.h"
#include "korvo/scene/scene_json.h"

namespace korvo::hostile {
namespace {

using e2e::CommandResult;
using e2e::readFile;
using e2e::runKorvo;
using e2e::TempFolder;
using e2e::writeFile;

const std::string kShowcase = std::string(DORNA_SOURCE_DIR) + "/examples/showcase.korvo.json";
const std::string kSkinned = std::string(DORNA_SOURCE_DIR) + "/examples/skinned.korvo.json";
const std::string kBoxGlb = "/usr/share/assimp/models/glTF2/BoxTextured-glTF-Binary/BoxTextured.glb";
const std::string kBoxGltf = "/usr/share/assimp/models/glTF2/BoxTextured-glTF/";
const std::string kEarlier = "an earlier file\n";
// "café.x" in UTF-8, and the same name with the Latin-1 é, which is not UTF-8.
const std::string kCafeUtf8 = "caf\xC3\xA9.x";
const std::string kCafeLatin1 = "caf\xE9";
// "модель.x": a name a .x file cannot hold (its texture names are Latin-1).
const std::string kCyrillic = "\xD0\xBC\xD0\xBE\xD0\xB4\xD0\xB5\xD0\xBB\xD1\x8C";

struct Case {
    const char* name;
    std::vector<std::string> arguments;
    int status;
    std::string line;  // a whole line of standard error
    std::map<std::string, std::string> environment = {};
};

TEST(OutputCases, EachEndsWithItsStatusAndLine) {
    TempFolder folder;
    writeFile(folder / "s.korvo.json", readFile(kShowcase));
    writeFile(folder / kCafeUtf8, kEarlier);
    ASSERT_EQ(mkdir((folder / kCafeLatin1).c_str(), 0755), 0);
    writeFile(folder / (kCafeLatin1 + "/s.korvo.json"), readFile(kShowcase));
    ASSERT_EQ(runKorvo({"export", "s.korvo.json", "-o", "m.x"}, folder.path()).status, 0);
    const std::string model = readFile(folder / "m.x");
    ASSERT_EQ(symlink("m.x", (folder / "link.x").c_str()), 0);
    const std::string longest(255 - 2, 'n'), shortest(242 - 2, 'n');
    // Files beside a target: frame files that are an input or a FIFO, a target that is a
    // FIFO through a link, a batch whose targets meet through links or frame files.
    writeFile(folder / "walk.korvo.json", readFile(kSkinned));
    ASSERT_EQ(symlink("walk.korvo.json", (folder / "walk_3.x").c_str()), 0);
    ASSERT_EQ(mkfifo((folder / "run_0.x").c_str(), 0644), 0);
    ASSERT_EQ(symlink("nowhere/x.x", (folder / "dangle_1.x").c_str()), 0);
    ASSERT_EQ(mkfifo((folder / "pipe").c_str(), 0644), 0);
    ASSERT_EQ(symlink("pipe", (folder / "pipe.x").c_str()), 0);
    for (const char* name : {"a.korvo.json", "b.korvo.json", "a_3.korvo.json"}) writeFile(folder / name, readFile(kSkinned));
    for (const char* out : {"out", "out2", "out3"}) ASSERT_EQ(mkdir((folder / out).c_str(), 0755), 0);
    ASSERT_EQ(symlink("a.x", (folder / "out/b.x").c_str()), 0);
    writeFile(folder / "out2/a.x", kEarlier);
    ASSERT_EQ(mkfifo((folder / "out2/walk.x").c_str(), 0644), 0);
    ASSERT_EQ(symlink("out2/a.x", (folder / "c.korvo.json").c_str()), 0);
#ifdef DORNA_WITH_IMPORT
    // An embedded PNG whose model names its type "image/a/b".
    std::string glb = readFile(kBoxGlb);
    glb.replace(glb.find("image/png"), 9, "image/a/b");
    writeFile(folder / "box.glb", glb);
    ASSERT_EQ(mkdir((folder / "m.a").c_str(), 0755), 0);
    // A model whose embedded image (t.png beside t.x) and another image it names, t.png
    // beside the model, would take one name beside the target.
    std::string twin = readFile(kBoxGltf + "BoxTextured.gltf");
    twin.replace(twin.find("\"name\": \"Texture\""), 17, "\"emissiveTexture\": {\"index\": 1}, \"name\": \"Texture\"");
    twin.replace(twin.find("\"source\": 0"), 11, "\"source\": 0}, {\"sampler\": 0, \"source\": 1");
    twin.replace(twin.find("\"CesiumLogoFlat.png\""), 20, "\"data:image/png;base64,iVBORw0KGgo=\"}, {\"uri\": \"t.png\"");
    ASSERT_EQ(mkdir((folder / "twin").c_str(), 0755), 0);
    writeFile(folder / "twin/twin.gltf", twin);
    writeFile(folder / "twin/BoxTextured0.bin", readFile(kBoxGltf + "BoxTextured0.bin"));
    writeFile(folder / "twin/t.png", "another image");
#endif
    const std::vector<std::string> perFrame = {"--animation", "--frame-per-file"};
    const auto with = [](std::vector<std::string> a, const std::vector<std::string>& more) {
        a.insert(a.end(), more.begin(), more.end());
        return a;
    };

    const std::vector<Case> cases = {
        {"a target that is not UTF-8 is its own file", {"export", "s.korvo.json", "-o", "caf\xE8.x"}, 0,
         "korvo: wrote 1 file (caf\xE8.x), "},
        {"a folder that is not UTF-8 is found", {"export", kCafeLatin1 + "/s.korvo.json", "-o", kCafeLatin1 + "/o.x"}, 0,
         "korvo: wrote 1 file (" + kCafeLatin1 + "/o.x), "},
        {"the scene as the target", {"export", "s.korvo.json", "-o", "s.korvo.json"}, 2,
         "korvo: cannot write s.korvo.json: it is the input s.korvo.json\n"},
        {"refused memory names its reason", {"export", "s.korvo.json", "-o", "oom.x"}, 1,
         "korvo: the export to oom.x failed: out of memory (the saver answered -4)\n", {{"KORVO_FAIL_ALLOC", "20"}}},
        {"a name of 255 bytes", {"export", "s.korvo.json", "-o", longest + ".x"}, 0, "korvo: wrote 1 file (" + longest + ".x), "},
        {"a name of 242 bytes", {"export", "s.korvo.json", "-o", shortest + ".x"}, 0,
         "korvo: wrote 1 file (" + shortest + ".x), "},
        {"a frame file that is the input", with({"export", "walk.korvo.json", "-o", "walk.x"}, perFrame), 2,
         "korvo: cannot write the frame file walk_3.x of walk.x: it is the input walk.korvo.json\n"},
        {"a frame file that is a FIFO", with({"export", "walk.korvo.json", "-o", "run.x"}, perFrame), 2,
         "korvo: cannot write the frame file run_0.x of run.x: it is not a regular file\n"},
        {"a frame file that links into no folder", with({"export", "walk.korvo.json", "-o", "dangle.x"}, perFrame), 2,
         "korvo: cannot write the frame file dangle_1.x of dangle.x: the folder nowhere does not exist\n"},
        {"frame files beside a FIFO", with({"export", "walk.korvo.json", "-o", "pipe.x"}, perFrame), 2,
         "korvo: --animation with --frame-per-file writes one file per frame beside the target: nothing is written "
         "beside pipe.x, which is not a regular file\n"},
        {"two targets through a link", {"export", "a.korvo.json", "b.korvo.json", "-o", "out/"}, 2,
         "korvo: a.korvo.json and b.korvo.json would both be written to out/b.x: export them into different folders\n"},
        {"an input that another target replaces", {"export", "a.korvo.json", "c.korvo.json", "-o", "out2/"}, 2,
         "korvo: c.korvo.json would be replaced by the export of a.korvo.json before it is read: export into another "
         "folder\n"},
        {"a batch's target that is a FIFO", {"export", "walk.korvo.json", "-o", "out2/"}, 2,
         "korvo: cannot write out2/walk.x for walk.korvo.json: it is not a regular file (a device, a FIFO or a socket)\n"},
        {"a target among another's frame files", with({"export", "a.korvo.json", "a_3.korvo.json", "-o", "out3/"}, perFrame),
         2, "korvo: the frame files of out3/a.x would include out3/a_3.x, which another input is exported to\n"},
#ifdef DORNA_WITH_IMPORT
        {"no image beside standard output", {"import", "box.glb", "-o", "-"}, 0,
         "korvo: note: box.glb: texture \"*0\": the embedded image is not written (nothing is written beside standard "
         "output); its stored name is kept\n"},
        {"an image's suffix from a list, not the model's type", {"import", "box.glb", "-o", "m.korvo.json"}, 0, ""},
        {"a target named like its image", {"import", "box.glb", "-o", "i.png", "--force-name"}, 0, ""},
        {"the model as the target, through a link", {"export", "m.x", "-o", "link.x"}, 2,
         "korvo: cannot write link.x: it is the input m.x\n"},
        {"the model as the import's target", {"import", "m.x", "-o", "./m.x"}, 2,
         "korvo: cannot write ./m.x: it is the input m.x\n"},
        {"an embedded image and a copy of another image of its name",
         {"export", "twin/twin.gltf", "-o", "t.x", "--copy-textures"}, 0, "korvo: wrote 3 files (t.x, t.png, t_1.png), "},
        {"a picture to standard output by its name, into a pipe",
         {"preview", "m.x", "--size", "64x64", "-o", "/dev/stdout"}, 0, "korvo: wrote - (64x64, 4 views)\n"},
        {"an embedded image beside a target named outside Latin-1",
         {"export", "/usr/share/assimp/models/glTF2/BoxTextured-glTF-Binary/BoxTextured.glb", "-o", kCyrillic + ".x"}, 0,
         "korvo: wrote 2 files (" + kCyrillic + ".x, ______.png), "},
#endif
    };
    for (const Case& c : cases) {
        const CommandResult r = runKorvo(c.arguments, folder.path(), c.environment);
        EXPECT_EQ(r.status, c.status) << c.name << "\n" << r.err;
        const size_t at = r.err.find(c.line);
        EXPECT_TRUE(at != std::string::npos && (at == 0 || r.err[at - 1] == '\n')) << c.name << "\n" << r.err;
    }
    EXPECT_EQ(readFile(folder / kCafeUtf8), kEarlier);
    EXPECT_EQ(readFile(folder / "caf\xE8.x"), readFile(folder / "m.x"));
    EXPECT_EQ(readFile(folder / "s.korvo.json"), readFile(kShowcase));
    EXPECT_EQ(readFile(folder / "m.x"), model);
    std::vector<std::string> entries = {kCafeUtf8,      "a.korvo.json", "a_3.korvo.json", "b.korvo.json",
                                        "c.korvo.json", "caf\xE8.x",   kCafeLatin1,      "link.x",  "dangle_1.x",
                                        "m.x",          "out",          "out2",           "out3",
                                        "pipe",         "pipe.x",       "run_0.x",        "s.korvo.json",
                                        "walk.korvo.json", "walk_3.x",  shortest + ".x",  longest + ".x"};
#ifdef DORNA_WITH_IMPORT
    for (const char* name : {"box.glb", "i.png", "i_1.png", "m.a", "m.korvo.json", "m.png", "t.png", "t.x", "t_1.png", "twin"})
        entries.push_back(name);
    EXPECT_EQ(readFile(folder / "t_1.png"), "another image");
    EXPECT_NE(readFile(folder / "i.png").find("\"texture\": \"i_1.png\""), std::string::npos);
    EXPECT_EQ(readFile(folder / "i_1.png"), readFile(folder / "m.png"));
    EXPECT_NE(readFile(folder / "m.korvo.json").find("\"texture\": \"m.png\""), std::string::npos);
    EXPECT_EQ(readFile(folder / "m.png").substr(1, 3), "PNG");
    EXPECT_TRUE(std::filesystem::is_empty(folder / "m.a"));
    // The image takes a name the file can hold, and the file names it so.
    EXPECT_NE(readFile(folder / (kCyrillic + ".x")).find("TextureFilename { \"______.png\"; }"), std::string::npos);
    EXPECT_EQ(readFile(folder / "______.png").substr(1, 3), "PNG");
    entries.push_back("______.png");
    entries.push_back(kCyrillic + ".x");
#endif
    std::sort(entries.begin(), entries.end());
    EXPECT_EQ(folder.entries(), entries);
    EXPECT_EQ(readFile(folder / "walk.korvo.json"), readFile(kSkinned));
    EXPECT_EQ(readFile(folder / "out2/a.x"), kEarlier);
    EXPECT_TRUE(std::filesystem::is_empty(folder / "out3"));
}

// Whatever the command checked before, the host writes only frame files its plan allows:
// a frame file that became the input after the plan was made is not replaced.
TEST(OutputCases, TheHostRefusesAProtectedFrameFile) {
    TempFolder folder;
    WritePlan plan;
    ASSERT_EQ(planWrites({{folder / "walk_1.x"}, folder / "walk.x", ".x", "", false, false, true}, plan), "");
    writeFile(folder / "walk_1.x", kEarlier);
    e2e::ModuleSession session;
    session.host.followPlan(plan);
    Scene scene;
    std::string error;
    ASSERT_TRUE(loadSceneFile(kSkinned, scene, error)) << error;
    const KrvDocument document = session.host.loadDocument(scene);
    const DialogScript perFrame{{{KRV_SETTINGS_ANIMATION, 1, ""}, {KRV_SETTINGS_FRAME_PER_FILE, 1, ""}}};
    EXPECT_NE(session.save(document, folder / "walk.x", perFrame), 0);
    EXPECT_EQ(readFile(folder / "walk_1.x"), kEarlier);
    ASSERT_EQ(session.host.fileErrors().size(), 1u);
    EXPECT_EQ(session.host.fileErrors()[0],
              "cannot create " + folder / "walk_1.x" + ": it is the input " + folder / "walk_1.x");
}

}  // namespace
}  // namespace korvo::hostile
