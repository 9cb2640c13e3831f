// Draws the preview offscreen with Mesa's software OpenGL (OSMesa): no window, no
// display server. One renderer draws one picture: views into rectangles of it, text on
// it, then hands back its pixels.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "cli/preview_pose.h"

namespace korvo::cli::preview {

struct Rgb {
    float r = 0, g = 0, b = 0;
};

// Pixels as 8-bit RGBA, the top row first.
struct Image {
    int width = 0, height = 0;
    std::vector<uint8_t> rgba;
};

// How a material's faces are filled.
struct Surface {
    enum Kind { Colour, Texture, Checker } kind = Colour;
    Rgb colour;
    int texture = -1;  // Texture: the index addTexture returned
};

enum class ViewKind { Front, Side, Top, Perspective };

// Pixels from the picture's top-left corner.
struct Rect {
    int x = 0, y = 0, width = 0, height = 0;
};

// The picture's fixed colours, which the tests look for.
namespace colours {
constexpr Rgb kBackground{0.80f, 0.82f, 0.85f};
constexpr Rgb kPanelEdge{0.55f, 0.57f, 0.60f};
constexpr Rgb kLegendBackground{0.94f, 0.94f, 0.95f};
constexpr Rgb kGrid{0.66f, 0.68f, 0.72f};
constexpr Rgb kGridAxis{0.45f, 0.47f, 0.52f};
constexpr Rgb kBone{1.0f, 0.80f, 0.0f};
constexpr Rgb kText{0.08f, 0.08f, 0.10f};
// A face whose normal points away from the camera: magenta stripes.
constexpr Rgb kWarning{1.0f, 0.0f, 1.0f};
constexpr Rgb kWarningStripe{0.55f, 0.0f, 0.55f};
// A texture that was not found or cannot be read.
constexpr Rgb kCheckerLight{0.92f, 0.92f, 0.92f};
constexpr Rgb kCheckerDark{0.30f, 0.30f, 0.30f};
}  // namespace colours

class Renderer {
public:
    // The picture's size is fixed for the renderer's life. False with `error` when Mesa
    // cannot make the context or its shaders.
    bool open(int width, int height, std::string& error);
    Renderer();
    ~Renderer();
    Renderer(const Renderer&) = delete;
    Renderer& operator=(const Renderer&) = delete;

    // Fills the whole picture with `colour`, or one rectangle of it.
    void fill(const Rect& rect, Rgb colour);
    // An image as a texture; its index for Surface::texture.
    int addTexture(const Image& image);
    void setSurfaces(std::vector<Surface> surfaces);  // by material index
    // The mesh to draw from now on: `uv` per corner as Triangulation has it.
    void setMesh(const PosedCorners& corners, const std::vector<float>& uv, const std::vector<DrawRange>& ranges);
    void setSkeleton(const Skeleton& skeleton);

    // The mesh, the ground grid and the skeleton seen from one side, fitted to `bounds`.
    void drawView(ViewKind kind, const Rect& rect, const Bounds& bounds);
    // One line of text at `scale` times the font's size (7 pixels high); its top-left at x, y.
    void drawText(int x, int y, int scale, const std::string& text, Rgb colour);
    static int textWidth(const std::string& text, int scale);

    Image pixels();

private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace korvo::cli::preview
