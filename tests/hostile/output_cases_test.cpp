// Targets and failures a hostile user can bring about around the command's output: each
// ends with its exit status and one line, and no file the user did not name is touched.
#include <gtest/gtest.h>

#include <unistd.h>

#include <map>
#include <string>
#include <vector>

#include "e2e/harness.h"

namespace korvo::hostile {
namespace {

using e2e::CommandResult;
using e2e::readFile;
using e2e::runKorvo;
using e2e::TempFolder;
using e2e::writeFile;

const std::string kShowcase = std::string(DORNA_SOURCE_DIR) + "/examples/showcase.korvo.json";
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
#ifdef DORNA_WITH_IMPORT
        {"the model as the target, through a link", {"export", "m.x", "-o", "link.x"}, 2,
         "korvo: cannot write link.x: it is the input m.x\n"},
        {"the model as the import's target", {"import", "m.x", "-o", "./m.x"}, 2,
         "korvo: cannot write ./m.x: it is the input m.x\n"},
        {"an embedded image beside a target named outside Latin-1",
         {"export", "/usr/share/assimp/models/glTF2/BoxTextured-glTF-Binary/BoxTextured.glb", "-o", kCyrillic + ".x"}, 0,
         "korvo: wrote 1 file (" + kCyrillic + ".x), "},
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
    std::vector<std::string> entries = {kCafeUtf8, "caf\xE8.x", kCafeLatin1, "link.x", "m.x",
                                        shortest + ".x", longest + ".x", "s.korvo.json"};
#ifdef DORNA_WITH_IMPORT
    // The image takes a name the file can hold, and the file names it so.
    EXPECT_NE(readFile(folder / (kCyrillic + ".x")).find("TextureFilename { \"______.png\"; }"), std::string::npos);
    EXPECT_EQ(readFile(folder / "______.png").substr(1, 3), "PNG");
    entries.insert(entries.begin(), "______.png");
    entries.push_back(kCyrillic + ".x");
#endif
    EXPECT_EQ(folder.entries(), entries);
}

}  // namespace
}  // namespace korvo::hostile
