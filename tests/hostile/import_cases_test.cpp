// Models made to break the import, the export of a model and `korvo check`: each is
// refused with one line and its status, or written soundly; never a crash or a hang.
// A reader that crashes or hangs is the test reader's doing (tests/readers/faulty_reader.cpp),
// so that the guard is tested whatever the installed assimp crashes or loops on.
#ifdef DORNA_WITH_IMPORT

#include <gtest/gtest.h>

#include <dirent.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

#include "e2e/harness.h"
#include "korvo/import/model_reader.h"
#include "korvo/scene/scene_json.h"

namespace korvo::e2e {
namespace {

std::string nestedFrames(int depth, const std::string& firstName = "f0") {
    std::string x = "xof 0302txt 0032\n";
    for (int i = 0; i < depth; ++i) x += "Frame " + (i == 0 ? firstName : "f" + std::to_string(i)) + " {\n";
    x += "Mesh m { 3; 0.0;0.0;0.0;, 1.0;0.0;0.0;, 0.0;1.0;0.0;; 1; 3;0,1,2;; }\n";
    for (int i = 0; i < depth; ++i) x += "}\n";
    return x;
}

// A frame whose matrix is all zeros, holding a placed frame with a mesh.
std::string zeroMatrix() {
    std::string zeros = "0.0";
    for (int i = 1; i < 16; ++i) zeros += ",0.0";
    return "xof 0302txt 0032\nFrame a {\n FrameTransformMatrix { " + zeros +
           ";; }\n Frame b {\n  FrameTransformMatrix { 1.0,0.0,0.0,0.0, 0.0,1.0,0.0,0.0, 0.0,0.0,1.0,0.0, "
           "1.0,2.0,3.0,1.0;; }\n  Mesh m { 3; 0.0;0.0;0.0;, 1.0;0.0;0.0;, 0.0;1.0;0.0;; 1; 3;0,1,2;; }\n }\n}\n";
}

// A frame with a mesh, moved by two position keys, the last at tick `lastTick`.
std::string twoKeys(const std::string& lastTick) {
    return "xof 0302txt 0032\nFrame a {\n FrameTransformMatrix { 1.0,0.0,0.0,0.0, 0.0,1.0,0.0,0.0, 0.0,0.0,1.0,0.0, "
           "0.0,0.0,0.0,1.0;; }\n Mesh m { 3; 0.0;0.0;0.0;, 1.0;0.0;0.0;, 0.0;1.0;0.0;; 1; 3;0,1,2;; }\n}\n"
           "AnimationSet s {\n Animation {\n  {a}\n  AnimationKey { 2; 2; 0;3;0.0,0.0,0.0;;, " +
           lastTick + ";3;1.0,0.0,0.0;;; }\n }\n}\n";
}

struct HostileModel {
    const char* name;
    std::string model;       // written to the file `file`
    const char* file;
    std::vector<std::string> arguments;  // "IN" and "OUT" stand for the model and the target
    int status;
    const char* line;  // the last line on standard error holds this
};

void PrintTo(const HostileModel& c, std::ostream* out) { *out << c.name; }

std::string lastLine(std::string text) {
    while (!text.empty() && text.back() == '\n') text.pop_back();
    return text.substr(text.rfind('\n') + 1);  // npos + 1 is 0
}

class ImportCases : public testing::TestWithParam<HostileModel> {};

TEST_P(ImportCases, RefusedWithOneLineOrWrittenSoundly) {
    const HostileModel& c = GetParam();
    TempFolder folder;
    writeFile(folder / c.file, c.model);
    std::vector<std::string> arguments;
    for (const std::string& a : c.arguments) arguments.push_back(a == "IN" ? c.file : a);
    const CommandResult r = runKorvo(arguments, folder.path(), faultyReaderEnvironment(), Limits{120, -1});
    EXPECT_EQ(r.status, c.status) << r.err;
    EXPECT_NE(lastLine(r.err).find(c.line), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("nan"), std::string::npos) << r.err;

    const std::vector<std::string> written = folder.entries();
    const bool scene = std::find(written.begin(), written.end(), "out.korvo.json") != written.end();
    const bool x = std::find(written.begin(), written.end(), "out.x") != written.end();
    if (c.status != 0) {
        EXPECT_EQ(written, std::vector<std::string>{c.file});
    }
    std::string error;
    if (scene) {
        Scene loaded;
        EXPECT_TRUE(loadSceneFile(folder / "out.korvo.json", loaded, error)) << error;
    }
    if (x) {
        const std::string text = readFile(folder / "out.x");
        EXPECT_EQ(text.find("nan"), std::string::npos);
        import::ModelData model;
        EXPECT_TRUE(import::readModel(folder / "out.x", import::ReadMode::AsStored, model, error)) << error;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Models, ImportCases,
    testing::Values(
        HostileModel{"deep_import", nestedFrames(15000), "deep.x", {"import", "IN", "-o", "out.korvo.json"}, 2,
                     "deep.x: cannot import: node 'f1001': objects are nested deeper than 1000 levels"},
        HostileModel{"deep_export", nestedFrames(15000), "deep.x", {"export", "IN", "-o", "out.x"}, 2,
                     "objects are nested deeper than 1000 levels"},
        HostileModel{"deep_check", nestedFrames(20000), "deep.x", {"check", "IN"}, 0, ""},
        HostileModel{"crashing_reader_import", nestedFrames(1), "crash.x", {"import", "IN", "-o", "out.korvo.json"}, 2,
                     "korvo: the model reader crashed on crash.x (Segmentation fault)"},
        HostileModel{"crashing_reader_check", nestedFrames(1), "crash.x", {"check", "IN"}, 2,
                     "korvo: the model reader crashed on crash.x"},
        HostileModel{"hanging_reader_export", nestedFrames(1), "hang.x",
                     {"export", "IN", "-o", "out.x", "--reader-time-limit", "1"}, 2,
                     "korvo: the model reader gave up after 1 s on hang.x"},
        HostileModel{"zero_matrix_import", zeroMatrix(), "zero.x", {"import", "IN", "-o", "out.korvo.json"}, 0,
                     "node 'a': the placement has a scale of 0"},
        HostileModel{"zero_matrix_export", zeroMatrix(), "zero.x", {"export", "IN", "-o", "out.x"}, 0, "wrote 1 file"},
        // A frame count past 2^31 must not wrap into a short or dropped animation.
        HostileModel{"endless_animation_import", twoKeys("4000000000"), "endless.x", {"import", "IN", "-o", "out.korvo.json"},
                     2, "more than an import samples (1000000, over 9 hours at 30 fps)"},
        HostileModel{"sparse_animation_import", twoKeys("100000"), "sparse.x", {"import", "IN", "-o", "out.korvo.json"},
                     0, "stored keys per channel; it is sampled every"}),
    [](const testing::TestParamInfo<HostileModel>& info) { return std::string(info.param.name); });

// Reads `count` bytes from `fd` within `seconds`; false when they do not come.
bool readBytes(int fd, int count, int seconds) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + std::chrono::seconds(seconds);
    while (count > 0) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        pollfd ready{fd, POLLIN, 0};
        if (left <= 0 || poll(&ready, 1, static_cast<int>(left)) <= 0) return false;
        char byte;
        if (read(fd, &byte, 1) != 1) return false;
        --count;
    }
    return true;
}

// The processes of the group `group` that still run. A process that has ended is no
// longer counted though it waits to be reaped (by init, once its parent is gone).
int runningInGroup(pid_t group) {
    int running = 0;
    DIR* processes = opendir("/proc");
    if (!processes) return -1;
    while (const dirent* entry = readdir(processes)) {
        std::ifstream stat(std::string("/proc/") + entry->d_name + "/stat");
        std::string line;
        if (!std::getline(stat, line) || line.rfind(')') == std::string::npos) continue;
        std::istringstream fields(line.substr(line.rfind(')') + 1));  // the name may hold spaces
        char state = 0;
        pid_t parent = 0, processGroup = 0;
        if (fields >> state >> parent >> processGroup && processGroup == group && state != 'Z' && state != 'X')
            ++running;
    }
    closedir(processes);
    return running;
}

// A signal for the command reaches the reader's process too, and a command killed
// outright takes its batch workers with it: nothing is left running. The signal is sent
// once every reader has said that it runs.
TEST(ImportCases, AnEndedCommandLeavesNothingRunning) {
    TempFolder folder;
    writeFile(folder / "hang.x", nestedFrames(1));
    writeFile(folder / "hang2.x", nestedFrames(1));
    ASSERT_EQ(mkdir((folder / "out").c_str(), 0755), 0);
    const struct {
        std::vector<std::string> arguments;
        int readers;
        int signal;
    } rows[] = {
        {{"check", "hang.x", "--reader-time-limit", "0"}, 1, SIGTERM},
        {{"export", "hang.x", "hang2.x", "-o", "out/", "-j", "2", "--reader-time-limit", "0"}, 2, SIGKILL},
    };
    for (const auto& row : rows) {
        std::vector<char*> argv = {const_cast<char*>(KORVO_COMMAND_PATH)};
        for (const std::string& a : row.arguments) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        int ready[2];
        ASSERT_EQ(pipe(ready), 0);
        const pid_t korvo = fork();
        if (korvo == 0) {
            setpgid(0, 0);  // a group of its own, to see afterwards that it is empty
            alarm(60);
            close(ready[0]);
            for (const auto& [name, value] : faultyReaderEnvironment()) setenv(name.c_str(), value.c_str(), 1);
            setenv("FAULTY_READER_READY_FD", std::to_string(ready[1]).c_str(), 1);
            if (chdir(folder.path().c_str()) == 0) execv(KORVO_COMMAND_PATH, argv.data());
            _exit(127);
        }
        setpgid(korvo, korvo);
        close(ready[1]);
        EXPECT_TRUE(readBytes(ready[0], row.readers, 30)) << row.arguments[0] << ": the readers did not start";
        close(ready[0]);
        kill(korvo, row.signal);
        int status = 0;
        waitpid(korvo, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status)) << row.arguments[0];
        EXPECT_EQ(WTERMSIG(status), row.signal);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (runningInGroup(korvo) > 0 && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        EXPECT_EQ(runningInGroup(korvo), 0) << row.arguments[0];
        kill(-korvo, SIGKILL);
    }
}

}  // namespace
}  // namespace korvo::e2e

#endif  // DORNA_WITH_IMPORT
