// The host's global matrices and the module's frames agree: a scene exported with
// frames and without frames puts every vertex at the same point.
#include <gtest/gtest.h>

#include <array>
#include <cctype>
#include <cmath>
#include <cstdlib>

#include "e2e/harness.h"

namespace korvo::e2e {
namespace {

using Row = std::array<double, 4>;
using Matrix = std::array<Row, 4>;
using Point = std::array<double, 3>;

Matrix identity() { return {Row{1, 0, 0, 0}, Row{0, 1, 0, 0}, Row{0, 0, 1, 0}, Row{0, 0, 0, 1}}; }

// Row-vector convention of the file: p' = p . M.
Point place(const Point& p, const Matrix& m) {
    Point out{};
    for (int c = 0; c < 3; ++c) out[c] = p[0] * m[0][c] + p[1] * m[1][c] + p[2] * m[2][c] + m[3][c];
    return out;
}

// Tokens of a .x text file: words, numbers and the braces; separators dropped.
std::vector<std::string> tokens(const std::string& text) {
    std::vector<std::string> out;
    std::string current;
    auto flush = [&] {
        if (!current.empty()) out.push_back(current);
        current.clear();
    };
    for (char c : text) {
        if (c == '{' || c == '}') {
            flush();
            out.push_back(std::string(1, c));
        } else if (std::isspace(static_cast<unsigned char>(c)) || c == ';' || c == ',') {
            flush();
        } else {
            current += c;
        }
    }
    flush();
    return out;
}

// Every mesh's vertices placed in the world through the frames around it.
std::vector<std::vector<Point>> worldVertices(const std::string& text) {
    const std::vector<std::string> t = tokens(text);
    std::vector<std::vector<Point>> meshes;
    std::vector<Matrix> frames;  // one entry per open brace: its frame's matrix, or identity
    for (size_t i = 0; i < t.size(); ++i) {
        if (t[i] == "template") {
            while (t[i] != "}") ++i;
        } else if (t[i] == "Frame") {
            frames.push_back(identity());
            i += 2;
        } else if (t[i] == "FrameTransformMatrix") {
            Matrix& m = frames.back();
            for (int k = 0; k < 16; ++k) m[k / 4][k % 4] = std::atof(t[i + 2 + k].c_str());
            i += 18;  // name-less block: "{", 16 numbers, "}"
        } else if (t[i] == "Mesh") {
            const int count = std::atoi(t[i + 3].c_str());
            std::vector<Point> vertices;
            for (int v = 0; v < count; ++v) {
                Point p{std::atof(t[i + 4 + 3 * v].c_str()), std::atof(t[i + 5 + 3 * v].c_str()),
                        std::atof(t[i + 6 + 3 * v].c_str())};
                for (auto f = frames.rbegin(); f != frames.rend(); ++f) p = place(p, *f);
                vertices.push_back(p);
            }
            meshes.push_back(vertices);
            frames.push_back(identity());
            i += 2;
        } else if (t[i] == "{") {
            frames.push_back(identity());
        } else if (t[i] == "}") {
            frames.pop_back();
        }
    }
    return meshes;
}

TEST(Placement, FramesAndGlobalMatricesPutEveryVertexAtTheSamePoint) {
    Scene scene;
    SceneObject root;
    root.name = "Root";
    root.type = ObjectType::Null;
    root.position = {5, -2, 1};
    root.rotation = {0.7, -0.4, 1.1};
    root.scale = {1, 2, 0.5};
    SceneObject arm;
    arm.name = "Arm";
    arm.type = ObjectType::Polygon;
    arm.position = {1, 2, 3};
    arm.rotation = {0.3, 0.2, -0.9};
    arm.scale = {3, 1, 1};
    arm.points = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 2}};
    arm.polygons = {{0, 1, 2, 3}};
    SceneObject box;
    box.name = "Box";
    box.type = ObjectType::Cube;
    box.position = {0, 4, 0};
    box.rotation = {0, 0.5, 0};
    arm.children.push_back(box);
    root.children.push_back(arm);
    scene.objects.push_back(root);

    TempFolder folder;
    ModuleSession session;
    const KrvDocument document = session.host.loadDocument(scene);
    ASSERT_EQ(session.save(document, folder / "frames.x"), 0);
    ASSERT_EQ(session.save(document, folder / "flat.x", {{{KRV_SETTINGS_FRAMES, 0, "--no-frames"}}, false}), 0);
    const auto framed = worldVertices(readFile(folder / "frames.x"));
    const auto flat = worldVertices(readFile(folder / "flat.x"));
    ASSERT_EQ(framed.size(), 2u);
    ASSERT_EQ(flat.size(), framed.size());
    for (size_t m = 0; m < framed.size(); ++m) {
        ASSERT_EQ(framed[m].size(), flat[m].size());
        for (size_t v = 0; v < framed[m].size(); ++v)
            for (int c = 0; c < 3; ++c)
                // Six printed decimals per matrix element and float arithmetic on both roads.
                EXPECT_NEAR(framed[m][v][c], flat[m][v][c], 2e-4 + 2e-6 * std::abs(flat[m][v][c]))
                    << "mesh " << m << " vertex " << v;
    }
}

}  // namespace
}  // namespace korvo::e2e
