// Hostile command lines and inputs, one row each: the status and the one line the
// command answers with, never a crash or a file.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "e2e/harness.h"

namespace korvo::e2e {
namespace {

TEST(CommandCases, EachIsRefusedWithOneLine) {
    TempFolder folder;
    writeFile(folder / "scene.korvo.json", R"({"korvo": 1, "objects": [{"name": "Box", "type": "cube"}]})");
    // A device as the scene: refused before it is read, which would never end.
    ASSERT_EQ(symlink("/dev/zero", (folder / "endless.korvo.json").c_str()), 0);
    // A FIFO as the module or a model: refused before it is opened, which would wait.
    ASSERT_EQ(mkfifo((folder / "fifo.so").c_str(), 0600), 0);
    ASSERT_EQ(mkfifo((folder / "fifo.obj").c_str(), 0600), 0);
    ASSERT_EQ(mkdir((folder / "d.obj").c_str(), 0700), 0);
    std::filesystem::copy_file(DORNA_MODULE_PATH, folder / "dorna.so");
    // A name that would clear the screen and set the window title.
    const std::string rawName = "a\nb\x1b[2J\x1b]0;x\x07.korvo.json";
    writeFile(folder / rawName, "{");
    struct Row {
        std::vector<std::string> arguments;
        int status;
        std::string line;  // the whole of standard error
    };
    std::vector<Row> rows = {
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
        {{"export", "scene.korvo.json", "-o", "out.x", "--module", "fifo.so"}, 2,
         "korvo: the module fifo.so is not a regular file\n"},
        // A module named without a folder is the file here, not one the system's loader finds.
        {{"export", "scene.korvo.json", "-o", "-", "--module", "dorna.so"}, 0, ""},
        {{"export", "scene.korvo.json", "-o", "/dev/stdout"}, 0, ""},
        {{"export", rawName, "-o", "out.x"}, 2, ""},
        {{"export", "scene.korvo.json", "-o", "out.x", "--no-phong-angle", "--smoothing-angle", std::string(100000, '9')},
         2, ""},
    };
#ifdef DORNA_WITH_IMPORT
    rows.push_back({{"import", "d.obj", "-o", "out.korvo.json"}, 2,
                    "korvo: d.obj is a folder, not a scene or model file (its files: d.obj/*)\n"});
    rows.push_back({{"import", "fifo.obj", "-o", "out.korvo.json"}, 2,
                    "korvo: fifo.obj: cannot import: not a regular file (a device, a pipe or a socket)\n"});
#endif
    for (const auto& row : rows) {
        const CommandResult r = runKorvo(row.arguments, folder.path());
        EXPECT_EQ(r.status, row.status) << r.err;
        if (!row.line.empty()) {
            EXPECT_EQ(r.err, row.line);
        }
        // Names and values reach the terminal escaped, and cut.
        EXPECT_EQ(r.err.find('\x1b'), std::string::npos) << r.err;
        EXPECT_LT(r.err.size(), 2100u);
        if (row.status == 0) {
            EXPECT_EQ(r.out.rfind("xof 0302txt 0032", 0), 0u) << row.arguments.back();
            continue;
        }
        EXPECT_EQ(r.err.find("korvo: "), 0u) << r.err;
        EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << r.err;
    }
    EXPECT_EQ(folder.entries(), (std::vector<std::string>{rawName, "d.obj", "dorna.so", "endless.korvo.json", "fifo.obj",
                                                          "fifo.so", "scene.korvo.json"}));
    // The largest float, which the documentation gives as the end of the range, is taken.
    const CommandResult largest =
        runKorvo({"dialog", "--no-phong-angle", "--smoothing-angle", "3.4028235e38"}, folder.path());
    EXPECT_EQ(largest.status, 0) << largest.err;
}

}  // namespace
}  // namespace korvo::e2e
