// What a new user meets first: the help's defaults and requirements, the exit-status
// table of every subcommand, the names -o accepts, --version and unknown subcommands.
#include <gtest/gtest.h>

#include <poll.h>
#include <pty.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <map>
#include <thread>
#include <sstream>

#include "e2e/harness.h"

namespace korvo::e2e {
namespace {

const char* const kScene = R"({"korvo": 1, "objects": [{"name": "Box", "type": "cube"}]})";

class CommandTable : public ::testing::Test {
protected:
    void SetUp() override {
        writeFile(folder / "scene.korvo.json", kScene);
        writeFile(folder / "empty.korvo.json", R"({"korvo": 1})");
        writeFile(folder / "junk.x", "not a model at all");
    }
    CommandResult run(const std::vector<std::string>& arguments, const std::map<std::string, std::string>& env = {}) {
        return runKorvo(arguments, folder.path(), env);
    }
    TempFolder folder;
};

// Each element's value as `korvo dialog` prints it, by id.
std::map<int, std::string> dialogValues(const std::string& dialog) {
    std::map<int, std::string> values;
    std::istringstream lines(dialog);
    for (std::string line; std::getline(lines, line);) {
        std::istringstream words(line);
        std::string kind;
        int id = 0;
        if (!(words >> kind >> id) || (kind != "checkbox" && kind != "number")) continue;
        const size_t at = line.find(" = ");
        values[id] = line.substr(at + 3, line.find(' ', at + 3) - at - 3);
    }
    return values;
}

// The four elements of a colour: red, green, blue and alpha.
std::vector<int> channels(int red) { return {red, red + 1, red + 2, red + 3}; }

TEST_F(CommandTable, HelpShowsTheDialogsDefaultsAndWhatEnablesEachOption) {
    const struct {
        std::string option, value;
        std::vector<int> elements;
        std::string needs;                   // "" when nothing else must be given
        std::vector<std::string> disabling;  // options that leave the element disabled
    } rows[] = {
        {"--frames", "", {KRV_SETTINGS_FRAMES}, "", {}},
        {"--animation", "", {KRV_SETTINGS_ANIMATION}, "--frames", {"--no-frames"}},
        {"--bones", "", {KRV_SETTINGS_BONES}, "--frames", {"--no-frames"}},
        {"--ticks-per-frame", "160", {KRV_SETTINGS_TICKS_PER_FRAME}, "--animation", {}},
        {"--distance-per-frame", "2", {KRV_SETTINGS_DISTANCE_PER_FRAME}, "--animation", {}},
        {"--frame-per-file", "", {KRV_SETTINGS_FRAME_PER_FILE}, "--animation", {}},
        {"--only-bones", "", {KRV_SETTINGS_ONLY_BONES}, "--animation, --bones and --no-frame-per-file",
         {"--animation", "--frame-per-file"}},
        {"--frame-rate", "", {KRV_SETTINGS_FRAME_RATE}, "--animation", {}},
        {"--all-takes", "", {KRV_SETTINGS_ALL_TAKES}, "--animation", {}},
        {"--phong-angle", "", {KRV_SETTINGS_PHONG_ANGLE}, "", {}},
        {"--smoothing-angle", "30", {KRV_SETTINGS_SMOOTHING_ANGLE}, "--no-phong-angle", {}},
        {"--normal-tags", "", {KRV_SETTINGS_NORMAL_TAGS}, "", {}},
        {"--unique-names", "", {KRV_SETTINGS_UNIQUE_NAMES}, "", {}},
        {"--normals", "", {KRV_SETTINGS_NORMALS}, "", {}},
        {"--textures", "", {KRV_SETTINGS_TEXTURES}, "", {}},
        {"--scale-scene", "", {KRV_SETTINGS_SCALE_SCENE}, "", {}},
        {"--scale", "50,50,50", {KRV_SETTINGS_SCALE_X, KRV_SETTINGS_SCALE_Y, KRV_SETTINGS_SCALE_Z}, "--scale-scene",
         {}},
        {"--standard-material", "", {KRV_SETTINGS_STANDARD_MATERIAL}, "", {}},
        {"--face-color", "1,0,0,1", channels(KRV_SETTINGS_FACE_COLOR), "--standard-material", {}},
        {"--specular-color", "1,0,0,1", channels(KRV_SETTINGS_SPECULAR_COLOR), "--standard-material", {}},
        {"--emissive-color", "1,0,0,1", channels(KRV_SETTINGS_EMISSIVE_COLOR), "--standard-material", {}},
        {"--specular-power", "4", {KRV_SETTINGS_SPECULAR_POWER}, "--standard-material", {}},
    };
    const CommandResult dialog = run({"dialog"});
    ASSERT_EQ(dialog.status, 0) << dialog.err;
    const std::map<int, std::string> values = dialogValues(dialog.out);
    const CommandResult help = run({"export", "--help"});
    ASSERT_EQ(help.status, 0) << help.err;
    for (const auto& row : rows) {
        std::string defaults;
        for (int id : row.elements) defaults += (defaults.empty() ? "" : ",") + values.at(id);
        const std::string note = " (default " + defaults + (row.needs.empty() ? ")" : "; needs " + row.needs + ")");
        const size_t at = help.out.find("\n  " + row.option + (row.value.empty() ? ", --no-" + row.option.substr(2) : " "));
        ASSERT_NE(at, std::string::npos) << row.option << "\n" << help.out;
        EXPECT_NE(help.out.substr(at, help.out.find("\n  -", at + 1) - at).find(note), std::string::npos)
            << row.option << " should say" << note << "\n" << help.out;
        if (row.needs.empty()) continue;
        std::vector<std::string> arguments = {"dialog"};
        arguments.insert(arguments.end(), row.disabling.begin(), row.disabling.end());
        arguments.push_back(row.option);
        if (!row.value.empty()) arguments.push_back(row.value);
        const CommandResult refused = run(arguments);
        EXPECT_EQ(refused.status, 2) << row.option;
        EXPECT_NE(refused.err.find("korvo: " + row.option + " needs " + row.needs + ": "), std::string::npos) << refused.err;
    }
    for (const char* label : {"--smoothing-angle DEG ", "--ticks-per-frame N ", "--scale X,Y,Z ", "--face-color R,G,B,A "})
        EXPECT_NE(help.out.find(label), std::string::npos) << label;
    EXPECT_EQ(help.out.find("TEXT"), std::string::npos) << help.out;
    EXPECT_EQ(help.out.find("{false}"), std::string::npos) << help.out;
    EXPECT_EQ(help.out.find("switch \"\""), std::string::npos) << "a switch without its element's label\n" << help.out;
}

TEST_F(CommandTable, EveryRowOfTheExitStatusTable) {
    ASSERT_EQ(mkfifo((folder / "pipe").c_str(), 0600), 0);
    writeFile(folder / "notamodule.so", "text");
    const struct {
        std::vector<std::string> arguments;
        int status;
        std::string message;
    } rows[] = {
        {{"export", "scene.korvo.json", "-o", "out.x"}, 0, "korvo: wrote 1 file (out.x)"},
        {{"export", "empty.korvo.json", "-o", "out.x"}, 0, "korvo: wrote no file: empty.korvo.json holds no object to export\n"},
        {{"check", "out.x"}, 0, ""},
        {{"export", "nosuch.obj", "-o", "out.x"}, 2, "nosuch.obj"},
        {{"check", "nosuch.x"}, 2, "korvo: nosuch.x: cannot be read: No such file or directory\n"},
        {{"import", "nosuch.obj", "-o", "s.korvo.json"}, 2, "nosuch.obj"},
        {{"export", "scene.korvo.json", "-o", "nowhere/out.x"}, 2, "the folder nowhere does not exist"},
        {{"import", "out.x", "-o", "nowhere/s.korvo.json"}, 2, "the folder nowhere does not exist"},
        {{"export", "scene.korvo.json", "-o", "out.x", "--frobnicate"}, 2, "korvo: unknown option --frobnicate ("},
        {{"export", "scene.korvo.json", "-o", "out.x", "--smoothing-angle", "0x10", "--no-phong-angle"}, 2,
         "korvo: --smoothing-angle needs a finite decimal number, not \"0x10\"\n"},
        {{"frobnicate"}, 2, "korvo: unknown subcommand \"frobnicate\" (the subcommands are export, dialog, import, check"},
        {{"exprot"}, 2, "korvo: unknown subcommand \"exprot\": did you mean export? (the subcommands are"},
        {{"export", "scene.korvo.json", "-o", "out.obj"}, 2,
         "korvo: out.obj: korvo export writes DirectX .x files; use a name ending in .x, or --force-name\n"},
        {{"import", "out.x", "-o", "scene.x"}, 2, "korvo: scene.x: korvo import writes scene files"},
        {{"preview", "scene.korvo.json", "-o", "p.jpg"}, 2,
         "korvo: p.jpg: korvo preview writes PNG pictures; use a name ending in .png, or --force-name\n"},
        {{"export", "scene.korvo.json", "-o", "out.x", "--module", "notamodule.so"}, 1, "korvo: "},
        {{"check", "junk.x"}, 1, "korvo: junk.x: cannot be read: "},
        // Named as it is, and exempt from the suffix rules: standard output and non-files.
        {{"export", "scene.korvo.json", "-o", "out.OBJ", "--force-name"}, 0, "korvo: wrote 1 file (out.OBJ)"},
        {{"export", "scene.korvo.json", "-o", "UPPER.X"}, 0, "korvo: wrote 1 file (UPPER.X)"},
        {{"export", "scene.korvo.json", "-o", "pipe", "--cancel"}, 0, "korvo: export cancelled"},
        {{"export", "scene.korvo.json", "-o", "-", "--cancel"}, 0, "korvo: export cancelled"},
        {{"import", "out.x", "-o", "scene.KORVO.JSON"}, 0, ""},
        // A scene file in any letter case, to every subcommand.
        {{"export", "scene.KORVO.JSON", "-o", "upper.x"}, 0, "korvo: wrote 1 file (upper.x)"},
        {{"import", "scene.KORVO.JSON", "-o", "again.korvo.json"}, 2, "korvo: scene.KORVO.JSON is a scene file already"},
        {{"check", "scene.KORVO.JSON"}, 2, "korvo: scene.KORVO.JSON is a scene file: "},
    };
    for (const auto& row : rows) {
        const CommandResult r = run(row.arguments);
        EXPECT_EQ(r.status, row.status) << row.arguments[0] << " " << row.arguments[1] << "\n" << r.err;
        EXPECT_NE(r.err.find(row.message), std::string::npos) << row.message << "\n" << r.err;
    }
    EXPECT_EQ(readFile(folder / "junk.x"), "not a model at all");
    EXPECT_FALSE(testfiles::exists(folder / "scene.x"));
}

// Every line a user reads: the command's own, in words, naming the model a reader's line
// is about, and only notes on what is written.
TEST_F(CommandTable, EveryLineSaysWhatItIsAbout) {
    const std::string models = "/usr/share/assimp/models/";
    const std::string skinned = models + "X/anim_test.x";  // animated; two bones the file lacks
    const std::string ddl = models + "OpenGEX/empty_camera.ogex";
    const std::string animated = std::string(DORNA_SOURCE_DIR) + "/examples/skinned.korvo.json";
    ASSERT_EQ(mkdir((folder / "models").c_str(), 0700), 0);
    ASSERT_EQ(mkdir((folder / "batch").c_str(), 0700), 0);
    ASSERT_EQ(run({"export", animated, "-o", "walk.x", "--animation"}).status, 0);
    const struct {
        std::vector<std::string> arguments;
        int status;
        std::string shown;      // in standard output or error
        std::string notShown;   // "": nothing left out
    } rows[] = {
        {{"export", "scene.korvo.json", "-o", "a.x"}, 0, "korvo: wrote 1 file (a.x)", "Initialize"},
        {{"export", "scene.korvo.json", "-o", "a.x", "--verbose"}, 0, "Initialize X-Export Plugin\n", ""},
        {{"dialog"}, 0, "title ", "Initialize"},
        {{"dialog", "--verbose"}, 0, "Initialize X-Export Plugin\n", ""},
        {{"check", ddl}, 1, "korvo: " + ddl + ": reader: nullptr returned by creating DDLNode.\n", ""},
        {{"export", ddl, "scene.korvo.json", "-o", "batch/"}, 1, "korvo: " + ddl + ": reader: nullptr returned", ""},
        {{"export", "--version"}, 0, "Dorna Version", ""},
        {{"preview", "a.x", "--version"}, 0, "Dorna Version", ""},
        {{"check", "--help"}, 0, "FILE", " TEXT"},
        {{"import", "--help"}, 0, "--reader-time-limit SECONDS ", " TEXT"},
        {{"preview", "--help"}, 0, "--poses N ", " TEXT"},
        {{"preview", "--help"}, 0, "--size WIDTHxHEIGHT ", " INT"},
        {{"export", "scene.korvo.json", "-o", "a.x", "-j"}, 2, "korvo: -j needs a number of workers, e.g. -j 4 (", ""},
        {{"export", "scene.korvo.json", "--output"}, 2, "korvo: --output needs the .x file to write", ""},
        {{"preview", "a.x", "-o", "p.png", "--poses"}, 2, "korvo: --poses needs a number of poses, e.g. --poses 6", ""},
        {{"export", "scene.korvo.json", "-o", "a.x", "--animaton"}, 2,
         "korvo: unknown option --animaton: did you mean --animation? (korvo export --help", ""},
        {{"dialog", "--no-bonse"}, 2, "did you mean --no-bones?", ""},
        {{"check", "a.x", "b.x"}, 2, "korvo: b.x: one input too many, korvo check takes one (", ""},
        {{"export", "models", "-o", "a.x"}, 2, "korvo: models is a folder, not a scene or model file (its files: models/*)", ""},
        {{"import", "models/", "-o", "s.korvo.json"}, 2, "korvo: models/ is a folder", ""},
        {{"preview", "models", "-o", "p.png"}, 2, "korvo: models is a folder", ""},
        {{"export", "models", "scene.korvo.json", "-o", "batch/"}, 1, "korvo: models is a folder", ""},
        {{"preview", "a.x", "-o", "p.png", "--frames", "6"}, 2,
         "korvo: --frames is now --poses: --poses 6 draws a contact sheet of 6 poses", ""},
        {{"preview", "a.x", "-o", "p.png", "--no-frames"}, 2, "--no-export-frames", ""},
        {{"preview", "scene.korvo.json", "-o", "p.png"}, 0, "korvo: wrote p.png", "wrote 1 file"},
        // A .x file with an export option is drawn as its export would be.
        {{"preview", "walk.x", "-o", "p.png", "--poses", "2"}, 0, "korvo: wrote p.png", ""},
        {{"preview", "walk.x", "-o", "p.png", "--poses", "2", "--no-animation"}, 2,
         "the export of walk.x has no animation set", ""},
        {{"preview", "walk.x", "-o", "p.png", "--poses", "2", "--animation"}, 0, "korvo: wrote p.png", ""},
        {{"export", skinned, "-o", "s.x"}, 0, "has no node of that name", ""},
        {{"export", skinned, "-o", "s.x"}, 0, "korvo: wrote 1 file", "static"},
        {{"export", skinned, "-o", "s.x", "--no-bones"}, 0, "korvo: wrote 1 file", "has no node of that name"},
        {{"export", skinned, "-o", "s.x", "--no-animation"}, 0, "korvo: wrote 1 file", "static"},
    };
    for (const auto& row : rows) {
        const CommandResult r = run(row.arguments);
        std::string line;
        for (const std::string& a : row.arguments) line += " " + a;
        EXPECT_EQ(r.status, row.status) << line << "\n" << r.err;
        EXPECT_NE((r.out + r.err).find(row.shown), std::string::npos) << line << " should show " << row.shown << "\n" << r.err;
        if (!row.notShown.empty()) {
            EXPECT_EQ((r.out + r.err).find(row.notShown), std::string::npos) << line << "\n" << r.out << r.err;
        }
    }
}

// `korvo export long.korvo.json -o -` in `folder`, its standard error a terminal or a
// pipe, its standard output read only after 2 s: the export waits on it that long.
// What reached standard error.
std::string slowExportsError(const std::string& folder, bool onTerminal) {
    int output[2], error[2] = {-1, -1}, terminal = -1;
    if (pipe(output) != 0 || (!onTerminal && pipe(error) != 0)) return "no pipe";
    const pid_t child = onTerminal ? forkpty(&terminal, nullptr, nullptr, nullptr) : fork();
    if (child < 0) return "no child";
    if (child == 0) {
        dup2(output[1], STDOUT_FILENO);
        if (!onTerminal) dup2(error[1], STDERR_FILENO);
        if (chdir(folder.c_str()) == 0)
            execl(KORVO_COMMAND_PATH, KORVO_COMMAND_PATH, "export", "long.korvo.json", "-o", "-", nullptr);
        _exit(127);
    }
    close(output[1]);
    if (!onTerminal) close(error[1]), terminal = error[0];
    std::this_thread::sleep_for(std::chrono::milliseconds(2000));
    std::string shown;
    pollfd ends[2] = {{output[0], POLLIN, 0}, {terminal, POLLIN, 0}};
    for (int open = 2; open > 0 && poll(ends, 2, 10000) > 0;) {
        for (pollfd& end : ends) {
            if (end.fd < 0 || end.revents == 0) continue;
            char buffer[65536];
            const ssize_t n = read(end.fd, buffer, sizeof buffer);
            if (n > 0 && end.fd == terminal) shown.append(buffer, size_t(n));
            if (n <= 0) close(end.fd), end.fd = -1, --open;  // a terminal whose writer left reads EIO
        }
    }
    int status = 0;
    waitpid(child, &status, 0);
    return shown;
}

TEST_F(CommandTable, ALongExportShowsItsProgressOnATerminalOnly) {
    writeFile(folder / "long.korvo.json", R"({"korvo": 1, "objects": [{"name": "Box", "type": "cube", "segments": 40}]})");
    const std::string shown = slowExportsError(folder.path(), true);
    const size_t summary = shown.find("korvo: wrote 1 file (-)");
    ASSERT_NE(summary, std::string::npos) << shown;
    const size_t line = shown.find("\rkorvo: exporting meshes: 1 of 1 (100%), ");
    EXPECT_LT(line, summary) << shown;
    EXPECT_EQ(shown.substr(summary - 4, 4), "\r\033[K") << "the line is cleared before the summary\n" << shown;

    const std::string piped = slowExportsError(folder.path(), false);
    EXPECT_NE(piped.find("korvo: wrote 1 file (-)"), std::string::npos) << piped;
    EXPECT_EQ(piped.find_first_of("\r\033"), std::string::npos) << piped;
}

TEST_F(CommandTable, VersionNamesTheCommandAndTheModule) {
    const CommandResult r = run({"--version"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.find("korvo 1.0 "), 0u) << r.out;
    EXPECT_NE(r.out.find("\nmodule "), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("dorna.so: Dorna Version 1.22\n"), std::string::npos) << r.out;
}

}  // namespace
}  // namespace korvo::e2e
