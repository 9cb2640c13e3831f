// korvo preview: properties of the picture (where a colour is, whether two poses
// differ), not its exact pixels, which differ between drawing libraries.
#ifdef DORNA_WITH_IMPORT
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>

#include "e2e/harness.h"
#include "stb_image.h"
#include "stb_image_write.h"

namespace korvo::e2e {
namespace {

struct Picture {
    int width = 0, height = 0;
    std::vector<uint8_t> rgba;
    const uint8_t* at(int x, int y) const { return &rgba[(size_t(y) * size_t(width) + size_t(x)) * 4]; }
};

Picture readPicture(const std::string& path) {
    Picture p;
    int channels = 0;
    uint8_t* pixels = stbi_load(path.c_str(), &p.width, &p.height, &channels, 4);
    if (pixels) {
        p.rgba.assign(pixels, pixels + size_t(p.width) * size_t(p.height) * 4);
        stbi_image_free(pixels);
    }
    return p;
}

using ColourTest = std::function<bool(const uint8_t*)>;
const ColourTest kRed = [](const uint8_t* p) { return p[0] > 150 && p[1] < 70 && p[2] < 70; };
const ColourTest kGreen = [](const uint8_t* p) { return p[1] > 150 && p[0] < 70 && p[2] < 70; };
const ColourTest kBlue = [](const uint8_t* p) { return p[2] > 150 && p[0] < 70 && p[1] < 70; };
const ColourTest kWarning = [](const uint8_t* p) { return p[0] > 100 && p[2] > 100 && p[1] < 40; };
const ColourTest kBone = [](const uint8_t* p) { return p[0] > 230 && p[1] > 170 && p[1] < 230 && p[2] < 40; };
// A mesh without a material, in the standard material's grey, lit.
const ColourTest kPlainGrey = [](const uint8_t* p) { return p[0] > 60 && p[0] < 190 && p[0] == p[1] && p[1] == p[2]; };

// The default picture: 1600x1000, a legend of 40 pixels at the bottom and four panels
// of 800x480 with a one-pixel edge; the front view is the top-left one.
struct Box {
    int x0 = 0, y0 = 0, x1 = 0, y1 = 0;  // inclusive
};
constexpr Box kFrontView{1, 1, 798, 478};

struct Found {
    size_t count = 0;
    Box box{1 << 30, 1 << 30, -1, -1};
    double meanX = 0;
};

Found find(const Picture& p, const Box& where, const ColourTest& test) {
    Found f;
    for (int y = where.y0; y <= where.y1; ++y)
        for (int x = where.x0; x <= where.x1; ++x) {
            if (!test(p.at(x, y))) continue;
            ++f.count;
            f.meanX += x;
            f.box = {std::min(f.box.x0, x), std::min(f.box.y0, y), std::max(f.box.x1, x), std::max(f.box.y1, y)};
        }
    if (f.count) f.meanX /= double(f.count);
    return f;
}

class Preview : public ::testing::Test {
protected:
    // The temporary files of the export go into a folder of the test's own.
    CommandResult run(const std::vector<std::string>& arguments) {
        return runKorvo(arguments, folder.path(), {{"TMPDIR", temporary.path()}});
    }
    TempFolder folder, temporary;
};

const char* const kRedCube = R"({ "korvo": 1,
  "materials": [ { "name": "Rot", "color": { "on": true, "value": [1, 0, 0] } } ],
  "objects": [ { "name": "Würfel", "type": "cube", "size": [1, 1, 1], "position": [0, 0.5, 0],
                 "texture": { "material": "Rot" } } ] })";

// A unit cube fitted to the panel: its bounding sphere (radius sqrt(3)/2) with a tenth
// more room spans the panel's 478 rows.
TEST_F(Preview, RedCubeFromTheFrontCoversItsRectangleAndNothingWarns) {
    writeFile(folder / "cube.korvo.json", kRedCube);
    const CommandResult r = run({"preview", "cube.korvo.json", "-o", "cube.png"});
    ASSERT_EQ(r.status, 0) << r.err;
    const Picture p = readPicture(folder / "cube.png");
    ASSERT_EQ(p.width, 1600);
    ASSERT_EQ(p.height, 1000);
    const double half = 0.5 * 478 / (2 * 1.1 * std::sqrt(3.0) / 2);
    const Found red = find(p, kFrontView, kRed);
    EXPECT_NEAR(red.box.x0, 400 - half, 3);
    EXPECT_NEAR(red.box.x1, 400 + half, 3);
    EXPECT_NEAR(red.box.y0, 240 - half, 3);
    EXPECT_NEAR(red.box.y1, 240 + half, 3);
    EXPECT_GT(red.count, 0.97 * (2 * half) * (2 * half));
    EXPECT_EQ(find(p, {0, 0, 1599, 959}, kWarning).count, 0u);
    // The export went into a private folder, which is gone; beside the picture, nothing.
    EXPECT_EQ(temporary.entries(), std::vector<std::string>{});
    EXPECT_EQ(folder.entries(), (std::vector<std::string>{"cube.korvo.json", "cube.png"}));
}

TEST_F(Preview, FlippedWindingShowsTheWarningColour) {
    writeFile(folder / "flipped.korvo.json", R"({ "korvo": 1, "objects": [ { "name": "Box", "type": "polygon",
      "points": [[-1, 1, -1], [1, 1, -1], [1, -1, -1], [-1, -1, -1], [-1, 1, 1], [1, 1, 1], [1, -1, 1], [-1, -1, 1]],
      "polygons": [[3, 2, 1, 0], [6, 7, 4, 5], [0, 1, 5, 4], [7, 6, 2, 3], [2, 6, 5, 1], [7, 3, 0, 4]] } ] })");
    const CommandResult r = run({"preview", "flipped.korvo.json", "-o", "flipped.png"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_GT(find(readPicture(folder / "flipped.png"), kFrontView, kWarning).count, 10000u);
}

// A quad facing the front with a texture green on its left half and blue on its right.
TEST_F(Preview, TexturedQuadShowsItsTextureAndAMissingOneIsAChecker) {
    const uint8_t texels[] = {0, 255, 0, 0, 0, 255, 0, 255, 0, 0, 0, 255};
    ASSERT_TRUE(stbi_write_png((folder / "tex.png").c_str(), 2, 2, 3, texels, 6));
    writeFile(folder / "quad.korvo.json", R"({ "korvo": 1,
      "materials": [ { "name": "Bild", "color": { "on": true, "value": [1, 1, 1], "texture": "tex.png" } } ],
      "objects": [ { "name": "Quad", "type": "polygon", "points": [[-1, 1, 0], [1, 1, 0], [1, -1, 0], [-1, -1, 0]],
        "polygons": [[0, 1, 2, 3]], "uvw": [[[0, 0], [1, 0], [1, 1], [0, 1]]], "texture": { "material": "Bild" } } ] })");
    CommandResult r = run({"preview", "quad.korvo.json", "-o", "quad.png"});
    ASSERT_EQ(r.status, 0) << r.err;
    Picture p = readPicture(folder / "quad.png");
    const Found green = find(p, kFrontView, kGreen), blue = find(p, kFrontView, kBlue);
    EXPECT_GT(green.count, 20000u);
    EXPECT_GT(blue.count, 20000u);
    EXPECT_LT(green.meanX, 400);
    EXPECT_GT(blue.meanX, 400);
    EXPECT_EQ(r.err.find("note"), std::string::npos) << r.err;

    ASSERT_EQ(std::remove((folder / "tex.png").c_str()), 0);
    r = run({"preview", "quad.korvo.json", "-o", "quad.png"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("korvo: note: textures not found, drawn as a checker: tex.png (looked in "), std::string::npos)
        << r.err;
    p = readPicture(folder / "quad.png");
    EXPECT_EQ(find(p, kFrontView, kGreen).count + find(p, kFrontView, kBlue).count, 0u);
    const ColourTest light = [](const uint8_t* c) { return c[0] > 200 && c[0] == c[1] && c[1] == c[2]; };
    const ColourTest dark = [](const uint8_t* c) { return c[0] > 50 && c[0] < 100 && c[0] == c[1] && c[1] == c[2]; };
    EXPECT_GT(find(p, kFrontView, light).count, 10000u);
    EXPECT_GT(find(p, kFrontView, dark).count, 10000u);
}

// Textures a hostile scene names: a FIFO (which would wait for a writer) and a small PNG
// declaring 16384x16384 pixels (1 GiB to decode), used by two materials. Both are drawn
// as the checker with a note, and the export's private folder is gone afterwards.
TEST_F(Preview, AFifoOrAnOversizedTextureIsACheckerAndNothingIsLeft) {
    ASSERT_EQ(mkfifo((folder / "fifo.png").c_str(), 0600), 0);
    const unsigned char header[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13, 'I', 'H', 'D', 'R',
                                    0, 0, 0x40, 0, 0, 0, 0x40, 0, 8, 2, 0, 0, 0, 0, 0, 0, 0};
    writeFile(folder / "big.png", std::string(reinterpret_cast<const char*>(header), sizeof header));
    const std::string quad = R"({ "name": "Q", "type": "polygon", "points": [[-1, 1, 0], [1, 1, 0], [1, -1, 0]],
        "polygons": [[0, 1, 2]], "uvw": [[[0, 0], [1, 0], [1, 1]]], "texture": { "material": ")";
    writeFile(folder / "hostile.korvo.json", R"({ "korvo": 1, "materials": [
        { "name": "A", "color": { "on": true, "texture": "big.png" } },
        { "name": "B", "color": { "on": true, "texture": "big.png" } },
        { "name": "C", "color": { "on": true, "texture": "fifo.png" } } ],
      "objects": [ )" + quad + R"(A" } }, )" + quad + R"(B" } }, )" + quad + R"(C" } } ] })");
    const CommandResult r = run({"preview", "hostile.korvo.json", "-o", "hostile.png"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("big.png (16384x16384 pixels, more than the 67108864 a preview decodes), "), std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("fifo.png (not a regular file)"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("big.png", r.err.find("big.png") + 1), std::string::npos) << "decoded once: " << r.err;
    EXPECT_EQ(temporary.entries(), std::vector<std::string>{});
}

// The skinned example: the poses of its animation differ, and its bones lie within the
// mesh (a bone pixel has mesh on both sides of it along its row), which has no material
// and is drawn in the standard material's grey, not black.
TEST_F(Preview, SkinnedExampleMovesAndItsBonesLieInsideTheMesh) {
    const std::string example = std::string(DORNA_SOURCE_DIR) + "/examples/skinned.korvo.json";
    CommandResult r = run({"preview", example, "-o", "sheet.png", "--animation", "--poses", "2"});
    ASSERT_EQ(r.status, 0) << r.err;
    const Picture sheet = readPicture(folder / "sheet.png");
    // Two cells side by side of 800x960, each with its label in its top 40 rows.
    size_t differing = 0;
    for (int y = 41; y < 958; ++y)
        for (int x = 1; x < 798; ++x)
            differing += std::memcmp(sheet.at(x, y), sheet.at(x + 800, y), 3) != 0;
    EXPECT_GT(differing, 2000u);

    r = run({"preview", example, "-o", "still.png"});
    ASSERT_EQ(r.status, 0) << r.err;
    const Picture still = readPicture(folder / "still.png");
    size_t bone = 0, inside = 0;
    for (int y = kFrontView.y0; y <= kFrontView.y1; ++y)
        for (int x = kFrontView.x0; x <= kFrontView.x1; ++x) {
            if (!kBone(still.at(x, y))) continue;
            ++bone;
            int left = x, right = x;
            while (left > kFrontView.x0 && kBone(still.at(left, y))) --left;
            while (right < kFrontView.x1 && kBone(still.at(right, y))) ++right;
            inside += kPlainGrey(still.at(left, y)) && kPlainGrey(still.at(right, y));
        }
    EXPECT_GT(bone, 300u);
    // The joints' squares at the mesh's ends reach a few pixels past it.
    EXPECT_GT(inside, bone * 9 / 10);
}

// A model's export names its textures relative to the exported file in the private
// folder. The duck's texture lies in a folder of its own, so that its bare name beside
// the model cannot stand in for the name the export wrote, and the model two folders
// down, so that the name does not lead to it from the model's folder by chance.
TEST_F(Preview, ModelShowsTheTextureItsExportNames) {
    const std::string collada = "/usr/share/assimp/models/Collada/";
    std::string duck = readFile(collada + "duck.dae");
    const size_t name = duck.find("./duckCM.tga");
    ASSERT_NE(name, std::string::npos);
    duck.replace(name, 12, "textures/duckCM.tga");
    std::filesystem::create_directories(folder / "models/duck/textures");
    writeFile(folder / "models/duck/duck.dae", duck);
    std::filesystem::copy_file(collada + "duckCM.tga", folder / "models/duck/textures/duckCM.tga");
    const CommandResult r = run({"preview", "models/duck/duck.dae", "-o", "duck.png"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err.find("note"), std::string::npos) << r.err;
    const ColourTest yellow = [](const uint8_t* p) { return p[0] > 180 && p[1] > 150 && p[2] < 80; };
    EXPECT_GT(find(readPicture(folder / "duck.png"), kFrontView, yellow).count, 10000u);
}

TEST_F(Preview, AFileTheReaderRefusesFailsWithItsReason) {
    writeFile(folder / "bad.x", "xof 0303txt 0032\nFrame X {\n  FrameTransformMatrix { 1;2;3 }\n");
    const CommandResult check = run({"check", "bad.x"});
    const CommandResult r = run({"preview", "bad.x", "-o", "bad.png"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, check.err);
    EXPECT_NE(r.err.find("korvo: bad.x: cannot be read: "), std::string::npos) << r.err;
    EXPECT_FALSE(testfiles::exists(folder / "bad.png"));
}

// Mesa is loaded by the preview alone: linked into the command, it made most of every
// other command's memory before anything was read.
TEST_F(Preview, OnlyThePreviewLoadsMesa) {
    writeFile(folder / "cube.korvo.json", kRedCube);
    const std::map<std::string, std::string> tellLibraries{{"LD_DEBUG", "libs"}, {"TMPDIR", temporary.path()}};
    const CommandResult exported = runKorvo({"export", "cube.korvo.json", "-o", "cube.x"}, folder.path(), tellLibraries);
    ASSERT_EQ(exported.status, 0) << exported.err;
    EXPECT_EQ(exported.err.find("libOSMesa"), std::string::npos);
    const CommandResult previewed = runKorvo({"preview", "cube.x", "-o", "cube.png"}, folder.path(), tellLibraries);
    ASSERT_EQ(previewed.status, 0) << previewed.err;
    EXPECT_NE(previewed.err.find("libOSMesa"), std::string::npos);
}

// A command installed without its drawing library says so before it exports anything.
TEST_F(Preview, WithoutItsDrawingLibraryFailsAtOnceInOneLine) {
    writeFile(folder / "cube.korvo.json", kRedCube);
    const std::string lone = folder / "korvo";
    writeFile(lone, readFile(KORVO_COMMAND_PATH));
    ASSERT_EQ(chmod(lone.c_str(), 0700), 0);
    const CommandResult r =
        runProgram(lone, {"preview", "cube.korvo.json", "-o", "cube.png", "--module", DORNA_MODULE_PATH}, folder.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "korvo: cannot load the preview's drawing library: " + folder.path() +
                         "/korvo_preview.so: cannot open shared object file: No such file or directory\n");
    EXPECT_FALSE(testfiles::exists(folder / "cube.png"));
}

}  // namespace
}  // namespace korvo::e2e
#endif  // DORNA_WITH_IMPORT
