// Texture names of an exported model a reader can follow from the written file's folder:
// relative, backslashed and drive-prefixed references, and images embedded in the model.
#ifdef DORNA_WITH_IMPORT
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

#include "e2e/harness.h"

namespace korvo::e2e {
namespace {

namespace fs = std::filesystem;
const std::string kModels = "/usr/share/assimp/models/";

std::vector<std::string> textureNames(const std::string& xText) {
    std::vector<std::string> names;
    const std::regex reference("TextureFilename \\{ \"([^\"]*)\"; \\}");
    for (std::sregex_iterator m(xText.begin(), xText.end(), reference), end; m != end; ++m) names.push_back((*m)[1]);
    return names;
}

TEST(TexturePaths, ExportedModelsNameImagesThatOpenFromTheOutputFolder) {
    TempFolder folder;
    fs::create_directories(folder / "models/tex");
    fs::create_directories(folder / "out");
    fs::copy_file(kModels + "Collada/duck.dae", folder / "models/duck.dae");
    fs::copy_file(kModels + "Collada/duckCM.tga", folder / "models/duckCM.tga");
    fs::copy_file(kModels + "FBX/spider.fbx", folder / "models/spider.fbx");  // "D:\...\drkwood2.jpg"
    fs::copy_file(kModels + "OBJ/drkwood2.jpg", folder / "models/tex/drkwood2.jpg");

    const CommandResult duck = runKorvo({"export", "models/duck.dae", "-o", "out/duck.x"}, folder.path());
    ASSERT_EQ(duck.status, 0) << duck.err;
    EXPECT_EQ(textureNames(readFile(folder / "out/duck.x")), std::vector<std::string>{"../models/duckCM.tga"});

    const CommandResult spider = runKorvo({"export", "models/spider.fbx", "-o", "out/spider.x"}, folder.path());
    ASSERT_EQ(spider.status, 0) << spider.err;
    const std::vector<std::string> names = textureNames(readFile(folder / "out/spider.x"));
    EXPECT_NE(std::find(names.begin(), names.end(), "../models/tex/drkwood2.jpg"), names.end());
    EXPECT_NE(spider.err.find("texture \"D:\\projects\\assimp_int\\test\\models\\OBJ\\SpiderTex.jpg\" not found"),
              std::string::npos) << spider.err;

    const CommandResult box = runKorvo(
        {"export", kModels + "glTF2/BoxTextured-glTF-Binary/BoxTextured.glb", "-o", "out/box.x"}, folder.path());
    ASSERT_EQ(box.status, 0) << box.err;
    EXPECT_EQ(textureNames(readFile(folder / "out/box.x")), std::vector<std::string>{"box.png"});
    EXPECT_EQ(readFile(folder / "out/box.png").substr(1, 3), "PNG");
    EXPECT_NE(box.err.find("korvo: wrote 2 files (out/box.x, out/box.png), "), std::string::npos) << box.err;
    // Kept as a reference, the embedded image has no file: the user hears so.
    const CommandResult reference = runKorvo(
        {"export", kModels + "glTF2/BoxTextured-glTF-Binary/BoxTextured.glb", "-o", "out/ref.x", "--keep-texture-paths"},
        folder.path());
    ASSERT_EQ(reference.status, 0) << reference.err;
    EXPECT_NE(reference.err.find("texture \"*0\" is an image inside the model; it is written as a reference without a file"),
              std::string::npos) << reference.err;
    // A file of the image's name that is not the image is the user's: it stays.
    writeFile(folder / "out/scene.png", "mine");
    const CommandResult imported = runKorvo(
        {"import", kModels + "glTF2/BoxTextured-glTF-Binary/BoxTextured.glb", "-o", "out/scene.korvo.json"},
        folder.path());
    ASSERT_EQ(imported.status, 0) << imported.err;
    EXPECT_EQ(readFile(folder / "out/scene.png"), "mine");
    EXPECT_NE(readFile(folder / "out/scene.korvo.json").find("\"texture\": \"scene_1.png\""), std::string::npos);
    EXPECT_EQ(readFile(folder / "out/scene_1.png"), readFile(folder / "out/box.png"));

    const CommandResult kept =
        runKorvo({"export", "models/duck.dae", "-o", "out/kept.x", "--keep-texture-paths"}, folder.path());
    ASSERT_EQ(kept.status, 0) << kept.err;
    EXPECT_EQ(textureNames(readFile(folder / "out/kept.x")), std::vector<std::string>{"./duckCM.tga"});
}

// An export that fails after the model is read leaves no embedded image beside its target.
TEST(TexturePaths, AFailedExportWritesNoImage) {
    TempFolder folder;
    const CommandResult r = runKorvo({"export", kModels + "glTF2/BoxTextured-glTF-Binary/BoxTextured.glb", "-o", "box.x"},
                                     folder.path(), {{"KORVO_FAIL_ALLOC", "1"}});
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_EQ(folder.entries(), std::vector<std::string>{}) << r.err;
}

// A name stored in another letter case than the file's (models made on Windows): the file
// of the exact name wins; of several in other cases, the first by path, with a note.
TEST(TexturePaths, NamesInAnotherLetterCaseAreFoundTheExactOneFirst) {
    TempFolder folder;
    fs::create_directories(folder / "m/b");
    fs::create_directories(folder / "m/a");
    writeFile(folder / "m/wood.obj", "mtllib wood.mtl\nusemtl wood\nv 0 0 0\nv 1 0 0\nv 0 1 0\nvt 0 0\nf 1/1 2/1 3/1\n");
    writeFile(folder / "m/wood.mtl", "newmtl wood\nKd 1 1 1\nmap_Kd Textures/Wood.JPG\n");
    writeFile(folder / "m/b/wood.jpg", "b");
    writeFile(folder / "m/a/WOOD.jpg", "a");
    const CommandResult twoCases = runKorvo({"export", "m/wood.obj", "-o", "two.x"}, folder.path());
    ASSERT_EQ(twoCases.status, 0) << twoCases.err;
    EXPECT_EQ(textureNames(readFile(folder / "two.x")), std::vector<std::string>{"m/a/WOOD.jpg"});
    EXPECT_NE(twoCases.err.find("texture \"Textures/Wood.JPG\": 2 files have its name in another letter case; took "),
              std::string::npos) << twoCases.err;

    fs::create_directories(folder / "m/c");
    writeFile(folder / "m/c/Wood.JPG", "c");
    const CommandResult exact = runKorvo({"export", "m/wood.obj", "-o", "exact.x"}, folder.path());
    ASSERT_EQ(exact.status, 0) << exact.err;
    EXPECT_EQ(textureNames(readFile(folder / "exact.x")), std::vector<std::string>{"m/c/Wood.JPG"});
}

// A scene file's texture names: found from its folder (a folder in another letter case, a
// sibling folder for a name from another machine), written relative to the file written or,
// with --copy-textures, as bare names of copies beside it; a name not found is kept.
TEST(TexturePaths, SceneTextureNamesLeadFromTheWrittenFileOrMoveWithIt) {
    TempFolder folder;
    fs::create_directories(folder / "scenes/textures");
    fs::create_directories(folder / "maps");
    fs::create_directories(folder / "out");
    writeFile(folder / "scenes/textures/holz.png", "wood");
    writeFile(folder / "maps/bark.png", "bark");
    std::string materials, objects;
    const char* const textures[] = {"Textures\\Holz.png", "D:\\art\\bark.png", "missing.png"};
    for (int i = 0; i < 3; ++i) {
        const std::string name = "m" + std::to_string(i);
        materials += std::string(i ? "," : "") + R"({"name": ")" + name + R"(", "color": {"on": true, "value": [1, 1, 1],
            "texture": ")" + std::regex_replace(textures[i], std::regex("\\\\"), "\\\\") + R"("}})";
        objects += std::string(i ? "," : "") + R"({"name": "o)" + name + R"(", "type": "polygon",
            "points": [[0,0,0],[1,0,0],[0,1,0]], "polygons": [[0,1,2]], "texture": {"material": ")" + name + R"("}})";
    }
    writeFile(folder / "scenes/s.korvo.json",
              R"({"korvo": 1, "materials": [)" + materials + R"(], "objects": [)" + objects + "]}");

    const CommandResult placed = runKorvo({"export", "scenes/s.korvo.json", "-o", "out/s.x"}, folder.path());
    ASSERT_EQ(placed.status, 0) << placed.err;
    EXPECT_EQ(textureNames(readFile(folder / "out/s.x")),
              (std::vector<std::string>{"../scenes/textures/holz.png", "../maps/bark.png", "missing.png"}));
    EXPECT_NE(placed.err.find("texture \"missing.png\" not found; its name is kept as stored"), std::string::npos)
        << placed.err;

    // A different file of the image's name stays; the copy takes the next name, once.
    writeFile(folder / "out/holz.png", "mine");
    const CommandResult copied =
        runKorvo({"export", "scenes/s.korvo.json", "-o", "out/c.x", "--copy-textures"}, folder.path());
    ASSERT_EQ(copied.status, 0) << copied.err;
    EXPECT_EQ(textureNames(readFile(folder / "out/c.x")),
              (std::vector<std::string>{"holz_1.png", "bark.png", "missing.png"}));
    EXPECT_EQ(readFile(folder / "out/holz.png"), "mine");
    EXPECT_EQ(readFile(folder / "out/holz_1.png"), "wood");
    EXPECT_EQ(readFile(folder / "out/bark.png"), "bark");
    EXPECT_NE(copied.err.find("korvo: wrote 3 files (out/c.x, out/holz_1.png, out/bark.png), "), std::string::npos)
        << copied.err;
}

}  // namespace
}  // namespace korvo::e2e
#endif  // DORNA_WITH_IMPORT
