// korvo export A B C -o FOLDER/: every good input written, a bad one failing alone,
// the same bytes whatever the number of exports side by side.
#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include "e2e/harness.h"
#ifdef DORNA_WITH_IMPORT
#include "korvo/import/model_reader.h"
#endif

namespace korvo::e2e {
namespace {

const std::string kModels = "/usr/share/assimp/models/";

std::vector<std::string> namesIn(const std::string& path) {
    std::vector<std::string> names;
    if (DIR* d = opendir(path.c_str())) {
        while (const dirent* e = readdir(d))
            if (std::string(e->d_name) != "." && std::string(e->d_name) != "..") names.push_back(e->d_name);
        closedir(d);
    }
    std::sort(names.begin(), names.end());
    return names;
}

class BatchExport : public ::testing::Test {
protected:
    CommandResult run(const std::vector<std::string>& arguments) { return runKorvo(arguments, folder.path()); }
    TempFolder folder;
};

// Batches of the sample models of the package assimp-testmodels, skipped without them.
class BatchExportOfSamples : public BatchExport {
protected:
    void SetUp() override {
        if (access(kModels.c_str(), R_OK) != 0)
            GTEST_SKIP() << "the sample models are not installed in " << kModels << " (package assimp-testmodels)";
    }
};

TEST_F(BatchExportOfSamples, WritesEveryGoodInputFailsTheBadOneAndParallelRunsWriteTheSameBytes) {
    writeFile(folder / "broken.obj", "v 1 2\nf 1 2 3 4 5\n");
    const std::vector<std::string> inputs = {
        DORNA_SOURCE_DIR "/examples/showcase.korvo.json", DORNA_SOURCE_DIR "/examples/skinned.korvo.json",
        kModels + "OBJ/box.obj", kModels + "MS3D/jeep1.ms3d", "broken.obj", kModels + "Collada/duck.dae"};
    const std::vector<std::string> written = {"box.x", "duck.x", "jeep1.x", "showcase.x", "skinned.x"};
    std::string first;
    for (const char* jobs : {"1", "2"}) {
        const std::string out = std::string("j") + jobs;
        ASSERT_EQ(mkdir((folder / out).c_str(), 0755), 0);
        std::vector<std::string> arguments = {"export"};
        arguments.insert(arguments.end(), inputs.begin(), inputs.end());
        arguments.insert(arguments.end(), {"-o", out + "/", "-j", jobs});
        const CommandResult r = run(arguments);
        EXPECT_EQ(r.status, 1) << r.err;
        EXPECT_NE(r.err.find("korvo: broken.obj: "), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("korvo: 6 inputs: 5 exported (5 files, "), std::string::npos) << r.err;
        EXPECT_NE(r.err.find(" KiB), 1 failed (broken.obj), "), std::string::npos) << r.err;
        EXPECT_EQ(namesIn(folder / out), written);
        std::string all;
        for (const std::string& name : written) all += readFile(folder / out + "/" + name);
        if (first.empty()) first = all;
        else EXPECT_TRUE(all == first) << "-j 2 wrote other bytes than -j 1";
    }
#ifdef DORNA_WITH_IMPORT
    for (const std::string& name : written) {
        import::ModelData model;
        std::string error;
        EXPECT_TRUE(import::readModel(folder / "j2/" + name, import::ReadMode::AsStored, model, error)) << name << error;
    }
#endif
}

#ifdef DORNA_WITH_IMPORT
// The model reader is watched in a batch as in a single export: its hang and its crash
// (the test reader's, on demand) each fail their own model with the same line, the
// other models are written.
TEST_F(BatchExport, AReaderThatHangsOrCrashesFailsOnlyItsModel) {
    const std::string triangle = "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n";
    for (const char* name : {"hang.obj", "crash.obj", "box.obj"}) writeFile(folder / name, triangle);
    ASSERT_EQ(mkdir((folder / "out").c_str(), 0755), 0);
    const CommandResult r = runKorvo({"export", "hang.obj", "crash.obj", "box.obj", "-o", "out/", "-j", "2",
                                      "--reader-time-limit", "1"},
                                     folder.path(), faultyReaderEnvironment());
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_NE(r.err.find("korvo: the model reader gave up after 1 s on hang.obj\n"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("korvo: the model reader crashed on crash.obj (Segmentation fault)\n"), std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("korvo: 3 inputs: 1 exported (1 file, "), std::string::npos) << r.err;
    EXPECT_EQ(namesIn(folder / "out"), std::vector<std::string>{"box.x"});
}
#endif

TEST_F(BatchExport, ABatchThatCannotStartWritesNothing) {
    writeFile(folder / "a.korvo.json", R"({"korvo": 1, "objects": [{"name": "Box", "type": "cube"}]})");
    ASSERT_EQ(mkdir((folder / "sub").c_str(), 0755), 0);
    writeFile(folder / "sub/a.korvo.json", readFile(folder / "a.korvo.json"));
    writeFile(folder / "sub/b.x", "earlier");
    const struct {
        std::vector<std::string> arguments;
        std::string message;
    } cases[] = {
        {{"export", "a.korvo.json", "sub/a.korvo.json", "-o", "out/"}, "korvo: cannot write into out/: the folder does not exist\n"},
        {{"export", "a.korvo.json", "sub/a.korvo.json", "-o", "sub/"},
         "korvo: a.korvo.json and sub/a.korvo.json would both be written to sub/a.x"},
        {{"export", "sub/b.x", "-o", "sub/"}, "korvo: sub/b.x would be replaced by its own export"},
        {{"export", "a.korvo.json", "sub/a.korvo.json", "-o", "one.x"}, "give -o FOLDER/"},
        {{"export", "a.korvo.json", "-o", "sub/", "--no-frames", "--animation"}, "korvo: --animation needs --frames"},
    };
    for (const auto& c : cases) {
        const CommandResult r = run(c.arguments);
        EXPECT_EQ(r.status, 2) << r.err;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << c.message << "\n" << r.err;
    }
    EXPECT_EQ(namesIn(folder / "sub"), (std::vector<std::string>{"a.korvo.json", "b.x"}));
    EXPECT_EQ(readFile(folder / "sub/b.x"), "earlier");
}

// With standard error closed no channel of a worker takes its place: every export is
// written, as it is with standard error open. A closed standard output is no target.
TEST_F(BatchExport, ClosedStandardDescriptorsLoseNoExport) {
    const std::string scene = readFile(DORNA_SOURCE_DIR "/examples/skinned.korvo.json");
    writeFile(folder / "a.korvo.json", scene);
    writeFile(folder / "b.korvo.json", scene);
    ASSERT_EQ(mkdir((folder / "out").c_str(), 0755), 0);
    const CommandResult r = runProgram("/bin/sh", {"-c", "exec \"$0\" \"$@\" 2>&-", KORVO_COMMAND_PATH, "export",
                                                   "a.korvo.json", "b.korvo.json", "-o", "out/", "-j", "2"},
                                       folder.path());
    EXPECT_EQ(r.status, 0) << r.err;
    ASSERT_EQ(run({"export", "a.korvo.json", "-o", "one.x"}).status, 0);
    EXPECT_EQ(namesIn(folder / "out"), (std::vector<std::string>{"a.x", "b.x"}));
    EXPECT_TRUE(readFile(folder / "out/a.x") == readFile(folder / "one.x"));
    EXPECT_TRUE(readFile(folder / "out/b.x") == readFile(folder / "one.x"));
    const CommandResult closedOutput =
        runProgram("/bin/sh", {"-c", "exec \"$0\" \"$@\" >&-", KORVO_COMMAND_PATH, "export", "a.korvo.json", "-o", "-"},
                   folder.path());
    EXPECT_EQ(closedOutput.status, 1) << closedOutput.err;
    EXPECT_NE(closedOutput.err.find("cannot create -: Bad file descriptor"), std::string::npos) << closedOutput.err;
}

#ifdef DORNA_WITH_IMPORT
// a.glb's image takes a_1.png (a.png is the user's), the name a_1.glb's image takes first:
// side by side, each export names a file that holds its own image, whatever runs first.
TEST_F(BatchExportOfSamples, ImagesOfExportsSideBySideNeverShareAName) {
    std::string glb = readFile(kModels + "glTF2/BoxTextured-glTF-Binary/BoxTextured.glb");
    writeFile(folder / "a.glb", glb);
    glb[glb.find("\x89PNG") + 100] ^= 1;  // another image of the same size
    writeFile(folder / "a_1.glb", glb);
    const std::string marker = "TextureFilename { \"";
    for (const std::string out : {"o1", "o2", "o3"}) {
        ASSERT_EQ(mkdir((folder / out).c_str(), 0755), 0);
        writeFile(folder / out + "/a.png", "mine");
        const CommandResult r = run({"export", "a.glb", "a_1.glb", "-o", out + "/", "-j", "2"});
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(readFile(folder / out + "/a.png"), "mine");
        for (const char* model : {"a", "a_1"}) {
            const std::string x = readFile(folder / out + "/" + model + ".x");
            const size_t at = x.find(marker) + marker.size();
            const std::string image = readFile(folder / out + "/" + x.substr(at, x.find('"', at) - at));
            ASSERT_GT(image.size(), 100u) << model;
            EXPECT_NE(readFile(folder / model + ".glb").find(image), std::string::npos) << model << " names another image";
        }
    }
}
#endif

}  // namespace
}  // namespace korvo::e2e
