// What an export or import does to the files around its target: links stay links,
// modes stay, devices and pipes are written in place, an interrupt or a full disk
// leaves no temporary file and every earlier file as it was.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "e2e/harness.h"

namespace korvo::reliability {
namespace {

using e2e::CommandResult;
using e2e::Limits;
using e2e::readFile;
using e2e::runKorvo;
using e2e::TempFolder;
using e2e::writeFile;

const std::string kEarlier = "xof 0302txt 0032\r\n// earlier export\r\n";
const std::string kShowcase = std::string(DORNA_SOURCE_DIR) + "/examples/showcase.korvo.json";
// A billion frames of animation: its export (at 1 tick per frame, so that the key times
// fit) runs until it is stopped.
const std::string kEndless =
    R"({"korvo": 1, "fps": 30, "endFrame": 1000000000, "objects": [{"name": "Mover", "type": "bone",)"
    R"( "animation": {"position": [[0, 0, 0, 0], [10, 1, 2, 3]]}}]})";

bool hasTemporaryFile(const TempFolder& folder) {
    for (const std::string& name : folder.entries())
        if (name.rfind(".korvo-", 0) == 0) return true;
    return false;
}

// The command started without waiting; its standard error goes to `errPath`.
pid_t startKorvo(const std::vector<std::string>& arguments, const std::string& folder, const std::string& errPath) {
    std::vector<std::string> argv = {KORVO_COMMAND_PATH};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    std::vector<char*> pointers;
    for (std::string& a : argv) pointers.push_back(a.data());
    pointers.push_back(nullptr);
    const pid_t child = fork();
    if (child == 0) {
        const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (err < 0 || chdir(folder.c_str()) != 0) _exit(127);
        dup2(err, STDERR_FILENO);
        alarm(120);
        execv(pointers[0], pointers.data());
        _exit(127);
    }
    return child;
}

int statusOf(pid_t child) {
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

class SafeOutput : public testing::Test {
protected:
    void SetUp() override {
        // Texture names as stored: the same text whatever folder a target lies in.
        ASSERT_EQ(runKorvo({"export", kShowcase, "-o", folder / "whole.x", "--keep-texture-paths"}).status, 0);
        whole = readFile(folder / "whole.x");
    }
    CommandResult exportTo(const std::string& target, Limits limits = {}) {
        return runKorvo({"export", kShowcase, "-o", target, "--keep-texture-paths"}, folder.path(),
                        {{"KORVO_CHECK_LEAKS", "1"}}, limits);
    }
    TempFolder folder;
    std::string whole;
};

TEST_F(SafeOutput, ALinkStaysAndTheFileItNamesIsReplacedKeepingItsMode) {
    ASSERT_EQ(mkdir((folder / "real").c_str(), 0755), 0);
    for (const mode_t mode : {0600, 0755, 0444}) {
        const std::string name = "real/file" + std::to_string(mode) + ".x";
        writeFile(folder / name, kEarlier);
        ASSERT_EQ(chmod((folder / name).c_str(), mode), 0);
        // The superuser may give the file away: owner and group must stay as well.
        const uid_t owner = geteuid() == 0 ? 65534 : geteuid();
        const gid_t group = geteuid() == 0 ? 65534 : getegid();
        ASSERT_EQ(chown((folder / name).c_str(), owner, group), 0);
        ASSERT_EQ(symlink(name.c_str(), (folder / "link.x").c_str()), 0);
        // Through the link, and by its own name.
        for (const std::string& target : {std::string("link.x"), name}) {
            const CommandResult r = exportTo(target);
            EXPECT_EQ(r.status, 0) << target << "\n" << r.err;
            EXPECT_EQ(readFile(folder / name), whole) << target;
            struct stat info;
            ASSERT_EQ(stat((folder / name).c_str(), &info), 0);
            EXPECT_EQ(info.st_mode & 07777, mode) << target;
            EXPECT_EQ(info.st_uid, owner);
            EXPECT_EQ(info.st_gid, group);
            ASSERT_EQ(lstat((folder / "link.x").c_str(), &info), 0);
            EXPECT_TRUE(S_ISLNK(info.st_mode)) << target;
        }
        unlink((folder / "link.x").c_str());
    }
    // A dangling link: the file is created where it points, through a second link too.
    ASSERT_EQ(symlink("real/new.x", (folder / "dangling.x").c_str()), 0);
    ASSERT_EQ(symlink("dangling.x", (folder / "chain.x").c_str()), 0);
    EXPECT_EQ(exportTo("chain.x").status, 0);
    EXPECT_EQ(readFile(folder / "real/new.x"), whole);
    // ... unless its folder does not exist: refused, nothing made.
    ASSERT_EQ(symlink("missing/new.x", (folder / "nowhere.x").c_str()), 0);
    const CommandResult r = exportTo("nowhere.x");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("korvo: cannot write nowhere.x: the folder missing does not exist\n"), std::string::npos) << r.err;
    EXPECT_EQ(folder.entries(), (std::vector<std::string>{"chain.x", "dangling.x", "nowhere.x", "real", "whole.x"}));
}

TEST_F(SafeOutput, DevicesPipesAndStandardOutputAreWrittenInPlace) {
    const CommandResult toNull = exportTo("/dev/null");
    EXPECT_EQ(toNull.status, 0) << toNull.err;
    struct stat info;
    ASSERT_EQ(lstat("/dev/null", &info), 0);
    EXPECT_TRUE(S_ISCHR(info.st_mode));
    // The link names the command's open standard output (here a file): written there.
    const CommandResult toStdout = exportTo("/dev/stdout");
    EXPECT_EQ(toStdout.status, 0) << toStdout.err;
    EXPECT_EQ(toStdout.out, whole);
    ASSERT_EQ(lstat("/dev/stdout", &info), 0);
    EXPECT_TRUE(S_ISLNK(info.st_mode));

    ASSERT_EQ(mkfifo((folder / "pipe.x").c_str(), 0600), 0);
    std::string fromFifo;
    std::thread reader([&] { fromFifo = readFile(folder / "pipe.x"); });
    const CommandResult toFifo = exportTo("pipe.x");
    reader.join();
    EXPECT_EQ(toFifo.status, 0) << toFifo.err;
    EXPECT_EQ(fromFifo, whole);

    // "-": the bytes arrive through a pipe, nothing else does.
    std::FILE* pipe = popen(("'" + std::string(KORVO_COMMAND_PATH) + "' export '" + kShowcase + "' -o - 2>/dev/null").c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string piped;
    char block[4096];
    for (size_t n; (n = std::fread(block, 1, sizeof block, pipe)) > 0;) piped.append(block, n);
    EXPECT_EQ(pclose(pipe), 0);
    EXPECT_EQ(piped, whole);
    // Several files cannot share standard output.
    const CommandResult several = runKorvo({"export", kShowcase, "-o", "-", "--animation", "--frame-per-file"});
    EXPECT_EQ(several.status, 2);
    EXPECT_EQ(several.out, "");
    EXPECT_EQ(several.err, "korvo: -o - writes one file to standard output; --animation with --frame-per-file writes "
                           "one per frame\n");
    EXPECT_EQ(folder.entries(), (std::vector<std::string>{"pipe.x", "whole.x"}));
}

TEST_F(SafeOutput, AnInterruptRemovesTheTemporaryFileAndKeepsTheEarlierOne) {
    writeFile(folder / "endless.korvo.json", kEndless);
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        writeFile(folder / "out.x", kEarlier);
        const pid_t child = startKorvo(
            {"export", "endless.korvo.json", "-o", "out.x", "--animation", "--ticks-per-frame", "1"}, folder.path(),
            folder / "err.txt");
        while (!hasTemporaryFile(folder) && waitpid(child, nullptr, WNOHANG) == 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        kill(child, signal);
        EXPECT_EQ(statusOf(child), 128 + signal);
        const std::string name = signal == SIGTERM ? "SIGTERM" : signal == SIGINT ? "SIGINT" : "SIGHUP";
        const std::string err = readFile(folder / "err.txt");
        EXPECT_NE(err.find("korvo: the export to out.x was interrupted by " + name + "\n"), std::string::npos) << err;
        EXPECT_EQ(readFile(folder / "out.x"), kEarlier) << name;
        EXPECT_EQ(folder.entries(), (std::vector<std::string>{"endless.korvo.json", "err.txt", "out.x", "whole.x"}));
    }
}

// The disk fills after the first kilobytes of a billion frames: the export ends at the
// first failed write, not after the animation. The time is a figure, not an assertion.
TEST_F(SafeOutput, AFullDiskEndsALongAnimationAtTheFirstFailedWrite) {
    writeFile(folder / "endless.korvo.json", kEndless);
    writeFile(folder / "out.x", kEarlier);
    const auto start = std::chrono::steady_clock::now();
    const CommandResult r = runKorvo(
        {"export", "endless.korvo.json", "-o", "out.x", "--animation", "--ticks-per-frame", "1"}, folder.path(), {},
        Limits{120, 64 * 1024});
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    RecordProperty("seconds", std::to_string(seconds));
    std::printf("a full disk ended the export of a billion frames after %.3f s\n", seconds);
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_NE(r.err.find("Dorna: Couldn\xC2\xB4t write File!\n"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("korvo: the export to out.x failed: cannot write out.x: File too large (the saver answered -4)\n"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(readFile(folder / "out.x"), kEarlier);
    EXPECT_FALSE(hasTemporaryFile(folder));
}

#ifdef DORNA_WITH_IMPORT
TEST_F(SafeOutput, TwoImportsToOneTargetLeaveOneWholeFile) {
    ASSERT_EQ(runKorvo({"import", folder / "whole.x", "-o", folder / "alone.korvo.json"}).status, 0);
    const std::string alone = readFile(folder / "alone.korvo.json");
    pid_t children[2];
    for (int i = 0; i < 2; ++i)
        children[i] = startKorvo({"import", "whole.x", "-o", "both.korvo.json"}, folder.path(),
                                 folder / ("err" + std::to_string(i)));
    for (pid_t child : children) EXPECT_EQ(statusOf(child), 0);
    EXPECT_EQ(readFile(folder / "both.korvo.json"), alone);
    EXPECT_EQ(folder.entries(),
              (std::vector<std::string>{"alone.korvo.json", "both.korvo.json", "err0", "err1", "whole.x"}));
}
#endif

}  // namespace
}  // namespace korvo::reliability
