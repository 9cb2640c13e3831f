// Draws the preview offscreen with Mesa's software OpenGL (OSMesa): no window, no
// display server. One renderer draws one picture: views into rectangles of it, text on
// it, then hands back its pixels.
//
// The drawing is a library of its own, korvo_preview.so beside the command, loaded only
// when a preview is drawn: Mesa brings LLVM, whose relocated code made 43 MiB of every
// korvo command's memory when the command itself was linked to it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "cli/preview/preview_pose.h"

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
    virtual ~Renderer() = default;

    // Fills the whole picture with `colour`, or one rectangle of it.
    virtual void fill(const Rect& rect, Rgb colour) = 0;
    // An image as a texture; its index for Surface::texture.
    virtual int addTexture(const Image& image) = 0;
    virtual void setSurfaces(std::vector<Surface> surfaces) = 0;  // by material index
    // The mesh to draw from now on: `uv` per corner as Triangulation has it.
    virtual void setMesh(const PosedCorners& corners, const std::vector<float>& uv,
                         const std::vector<DrawRange>& ranges) = 0;
    virtual void setSkeleton(const Skeleton& skeleton) = 0;

    // The mesh, the ground grid and the skeleton seen from one side, fitted to `bounds`.
    virtual void drawView(ViewKind kind, const Rect& rect, const Bounds& bounds) = 0;
    // One line of text at `scale` times the font's size (7 pixels high); its top-left at x, y.
    virtual void drawText(int x, int y, int scale, const std::string& text, Rgb colour) = 0;

    virtual Image pixels() = 0;
};

// The drawing library's one entry point: a renderer of a picture of `width` x `height`
// pixels, its size fixed for its life; null with `error` when Mesa cannot make the
// context or its shaders.
using OpenRendererFn = Renderer*(int width, int height, std::string* error);
constexpr const char* kOpenRendererSymbol = "korvo_preview_open_renderer";

// Loads the drawing library beside the command and finds its entry point. Null with
// `error` when it cannot be loaded (Mesa missing too) or is not that library.
OpenRendererFn* loadDrawingLibrary(std::string& error);

}  // namespace korvo::cli::preview
