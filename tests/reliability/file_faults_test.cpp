// Faults of the file system around an export: a target that cannot be created, a disk
// that fills up during the write, a cancelled dialog. Each ends with the status and the
// line the korvo command documents, nothing left alive, no temporary file left
// behind, and any earlier file at the target name intact byte for byte.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "e2e/harness.h"

namespace korvo::reliability {
namespace {

using e2e::CommandResult;
using e2e::Limits;
using e2e::runKorvo;
using e2e::readFile;
using e2e::TempFolder;
using e2e::writeFile;

const std::string kEarlier = "xof 0302txt 0032\r\n// earlier export \xB4\r\nFrame Old {\r\n}\r\n";
const std::string kShowcase = std::string(DORNA_SOURCE_DIR) + "/examples/showcase.korvo.json";
const std::string kSkinned = std::string(DORNA_SOURCE_DIR) + "/examples/skinned.korvo.json";
const std::string kWriteFailed = "Dorna: Couldn\xC2\xB4t write File!\n";

class FileFaults : public testing::Test {
protected:
    CommandResult exportTo(const std::string& scene, const std::string& target, std::vector<std::string> options = {},
                           Limits limits = {}) {
        std::vector<std::string> arguments = {"export", scene, "-o", target};
        arguments.insert(arguments.end(), options.begin(), options.end());
        return runKorvo(arguments, folder.path(), {{"KORVO_CHECK_LEAKS", "1"}}, limits);
    }
    TempFolder folder;
};

TEST_F(FileFaults, ATargetThatCannotBeCreatedIsRefusedBeforeTheExport) {
    writeFile(folder / "plain.txt", kEarlier);
    ASSERT_EQ(mkdir((folder / "taken.x").c_str(), 0755), 0);
    writeFile(folder / "taken.x/inside.x", kEarlier);
    const struct {
        std::string target, message;
    } cases[] = {
        // The folder part names a regular file.
        {"plain.txt/out.x", "korvo: cannot write plain.txt/out.x: plain.txt is a file, not a folder\n"},
        {"taken.x", "korvo: cannot write taken.x: it is a folder\n"},
        {"missing/", "korvo: cannot write into missing/: the folder does not exist\n"},
    };
    for (const auto& c : cases) {
        const CommandResult r = exportTo(kShowcase, c.target);
        EXPECT_EQ(r.status, 2) << c.target << "\n" << r.err;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    }
    EXPECT_EQ(folder.entries(), (std::vector<std::string>{"plain.txt", "taken.x"}));
    EXPECT_EQ(readFile(folder / "plain.txt"), kEarlier);
    EXPECT_EQ(readFile(folder / "taken.x/inside.x"), kEarlier);
}

TEST_F(FileFaults, AFolderThatCannotBeWrittenKeepsTheEarlierFile) {
    if (geteuid() == 0) GTEST_SKIP() << "permissions do not bind the superuser";
    ASSERT_EQ(mkdir((folder / "locked").c_str(), 0755), 0);
    writeFile(folder / "locked/out.x", kEarlier);
    ASSERT_EQ(chmod((folder / "locked").c_str(), 0555), 0);
    const CommandResult r = exportTo(kShowcase, "locked/out.x");
    chmod((folder / "locked").c_str(), 0755);
    EXPECT_EQ(r.status, 2) << r.err;
    EXPECT_NE(r.err.find("korvo: cannot write locked/out.x: the folder locked is not writable\n"), std::string::npos)
        << r.err;
    EXPECT_EQ(readFile(folder / "locked/out.x"), kEarlier);
}

// The disk fills up: the file-size limit ends the write with EFBIG at the byte given.
TEST_F(FileFaults, AFullDiskFailsTheExportAndKeepsTheEarlierFile) {
    ASSERT_EQ(exportTo(kShowcase, "whole.x").status, 0);
    const std::string whole = readFile(folder / "whole.x");
    ASSERT_GT(whole.size(), 1000u);

    writeFile(folder / "out.x", kEarlier);
    // The limit holds for the captured standard error as well: it needs its 1 KiB.
    for (const int64_t room : {int64_t(1024), int64_t(whole.size() / 2), int64_t(whole.size() - 1)}) {
        const CommandResult r = exportTo(kShowcase, "out.x", {}, Limits{120, room});
        EXPECT_EQ(r.status, 1) << room << " bytes\n" << r.err;
        EXPECT_NE(r.err.find(kWriteFailed), std::string::npos) << r.err;
        // The host's reason, not only the saver's code.
        EXPECT_NE(r.err.find("korvo: the export to out.x failed: cannot write "), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("(the saver answered -4)"), std::string::npos) << r.err;
        EXPECT_EQ(readFile(folder / "out.x"), kEarlier) << room << " bytes";
        EXPECT_EQ(folder.entries(), (std::vector<std::string>{"out.x", "whole.x"})) << room << " bytes";
    }
    // Room for the whole file and not a byte more is enough.
    const CommandResult r = exportTo(kShowcase, "out.x", {}, Limits{120, int64_t(whole.size())});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(readFile(folder / "out.x"), whole);
}

TEST_F(FileFaults, AFullDiskFailsAnExportOfOneFilePerFrame) {
    const std::vector<std::string> perFrame = {"--animation", "--frame-per-file", "--distance-per-frame", "20"};
    ASSERT_EQ(exportTo(kSkinned, "walk.x", perFrame).status, 0);
    const std::vector<std::string> written = {"walk_0.x", "walk_1.x", "walk_2.x"};
    ASSERT_EQ(folder.entries(), written);
    for (const std::string& name : written) writeFile(folder / name, kEarlier);

    const CommandResult r = exportTo(kSkinned, "walk.x", perFrame, Limits{120, 4096});
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_NE(r.err.find(kWriteFailed), std::string::npos) << r.err;
    EXPECT_EQ(folder.entries(), written);
    for (const std::string& name : written) EXPECT_EQ(readFile(folder / name), kEarlier) << name;
}

TEST_F(FileFaults, ACancelledDialogWritesNothing) {
    writeFile(folder / "out.x", kEarlier);
    writeFile(folder / "walk_0.x", kEarlier);
    for (const std::vector<std::string>& options :
         {std::vector<std::string>{"--cancel"}, {"--animation", "--frame-per-file", "--cancel"}}) {
        const CommandResult r = exportTo(kSkinned, options.size() > 1 ? "walk.x" : "out.x", options);
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_NE(r.err.find("korvo: export cancelled, nothing written\n"), std::string::npos) << r.err;
    }
    EXPECT_EQ(folder.entries(), (std::vector<std::string>{"out.x", "walk_0.x"}));
    EXPECT_EQ(readFile(folder / "out.x"), kEarlier);
    EXPECT_EQ(readFile(folder / "walk_0.x"), kEarlier);
}

}  // namespace
}  // namespace korvo::reliability
