// Hostile command lines and inputs, one row each: the status and the one line the
// command answers with, never a crash or a file.
#include <gtest/gtest.h>

#include <unistd.h>

#include "e2e/harness.h"

namespace korvo::e2e {
namespace {

TEST(CommandCases, EachIsRefusedWithOneLine) {
    TempFolder folder;
    writeFile(folder / "scene.korvo.json", R"({"korvo": 1, "objects": [{"name": "Box", "type": "cube"}]})");
    // A device as the scene: refused before it is read, which would never end.
    ASSERT_EQ(symlink("/dev/zero", (folder / "endless.korvo.json").c_str()), 0);
    const struct {
        std::vector<std::string> arguments;
        int status;
        std::string line;  // the whole of standard error
    } rows[] = {
        {{"export", "scene.korvo.json"}, 2, "korvo: --output is required (korvo export --help lists the options)\n"},
        {{"export", "scene.korvo.json", "-o", "out.x", "--frobnicate"}, 2,
         "korvo: unknown option --frobnicate (korvo export --help lists the options)\n"},
        {{"export", "scene.korvo.json", "-o", "out.x", "--no-phong-angle", "--smoothing-angle", "0x10"}, 2,
         "korvo: --smoothing-angle needs a finite decimal number, not \"0x10\"\n"},
        {{"export", "scene.korvo.json", "-o", "out.x", "--scale-scene", "--scale", "inf,1,1"}, 2,
         "korvo: --scale needs three finite decimal numbers X,Y,Z, not \"inf,1,1\"\n"},
        {{"export", "scene.korvo.json", "-o", "out.x", "-j", "0"}, 2, ""},
        {{"export", "endless.korvo.json", "-o", "out.x"}, 2,
         "korvo: endless.korvo.json: cannot read the file: not a regular file (a device, a pipe or a socket)\n"},
    };
    for (const auto& row : rows) {
        const CommandResult r = runKorvo(row.arguments, folder.path());
        EXPECT_EQ(r.status, row.status) << r.err;
        if (!row.line.empty()) {
            EXPECT_EQ(r.err, row.line);
        }
        EXPECT_EQ(r.err.find("korvo: "), 0u) << r.err;
        EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << r.err;
    }
    EXPECT_EQ(folder.entries(), (std::vector<std::string>{"endless.korvo.json", "scene.korvo.json"}));
    // The largest float, which the documentation gives as the end of the range, is taken.
    const CommandResult largest =
        runKorvo({"dialog", "--no-phong-angle", "--smoothing-angle", "3.4028235e38"}, folder.path());
    EXPECT_EQ(largest.status, 0) << largest.err;
}

}  // namespace
}  // namespace korvo::e2e
