#include "cli/preview/preview_render.h"

#define GL_GLEXT_PROTOTYPES 1
#include <GL/osmesa.h>
#include <GL/gl.h>
#include <GL/glext.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <memory>
#include <string>
#include <type_traits>

#include "stb_easy_font.h"

namespace korvo::cli::preview {

namespace {

using Matrix = std::array<float, 16>;  // column-major, as OpenGL takes it
using Vector = std::array<double, 3>;

constexpr double kPi = 3.14159265358979323846;
// Room around the model's bounding sphere in every view.
constexpr double kMargin = 1.1;
// The three-quarter view: 35 degrees round from the front towards the right, 25 up.
constexpr double kTurn = 35 * kPi / 180, kRise = 25 * kPi / 180;
constexpr double kFieldOfView = 30 * kPi / 180;  // vertical, of the perspective view

Matrix multiply(const Matrix& a, const Matrix& b) {
    Matrix m{};
    for (int c = 0; c < 4; ++c)
        for (int r = 0; r < 4; ++r)
            for (int k = 0; k < 4; ++k) m[c * 4 + r] += a[k * 4 + r] * b[c * 4 + k];
    return m;
}

Vector cross(const Vector& a, const Vector& b) {
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}

double dot(const Vector& a, const Vector& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

Vector normalized(const Vector& v) {
    const double length = std::sqrt(dot(v, v));
    return {v[0] / length, v[1] / length, v[2] / length};
}

// The camera at `eye` looking along -`back`, `up` towards the picture's top.
Matrix lookFrom(const Vector& eye, const Vector& back, const Vector& up) {
    const Vector z = normalized(back);
    const Vector x = normalized(cross(up, z));
    const Vector y = cross(z, x);
    Matrix m{};
    for (int i = 0; i < 3; ++i) {
        m[i * 4 + 0] = float(x[i]);
        m[i * 4 + 1] = float(y[i]);
        m[i * 4 + 2] = float(z[i]);
    }
    m[12] = float(-dot(x, eye));
    m[13] = float(-dot(y, eye));
    m[14] = float(-dot(z, eye));
    m[15] = 1;
    return m;
}

Matrix orthographic(double halfWidth, double halfHeight, double near, double far) {
    Matrix m{};
    m[0] = float(1 / halfWidth);
    m[5] = float(1 / halfHeight);
    m[10] = float(-2 / (far - near));
    m[14] = float(-(far + near) / (far - near));
    m[15] = 1;
    return m;
}

Matrix perspective(double halfHeightSlope, double aspect, double near, double far) {
    Matrix m{};
    m[0] = float(1 / (halfHeightSlope * aspect));
    m[5] = float(1 / halfHeightSlope);
    m[10] = float(-(far + near) / (far - near));
    m[11] = -1;
    m[14] = float(-2 * far * near / (far - near));
    return m;
}

const char* const kMeshVertexShader = R"(#version 120
attribute vec3 position;
attribute vec3 normal;
attribute vec3 faceNormal;
attribute vec2 uv;
uniform mat4 view;
uniform mat4 projection;
varying vec3 eyePosition;
varying vec3 eyeNormal;
varying vec3 eyeFaceNormal;
varying vec2 texCoord;
void main() {
    vec4 p = view * vec4(position, 1.0);
    eyePosition = p.xyz;
    eyeNormal = mat3(view) * normal;
    eyeFaceNormal = mat3(view) * faceNormal;
    texCoord = uv;
    gl_Position = projection * p;
}
)";

// Lit by a light near the camera, so that what faces the viewer is bright. A face whose
// normal points away from the camera is striped in the warning colour instead.
const char* const kMeshFragmentShader = R"(#version 120
uniform bool perspective;
uniform int surface;
uniform vec3 colour;
uniform sampler2D image;
uniform vec3 warning;
uniform vec3 warningStripe;
uniform vec3 checkerLight;
uniform vec3 checkerDark;
varying vec3 eyePosition;
varying vec3 eyeNormal;
varying vec3 eyeFaceNormal;
varying vec2 texCoord;
void main() {
    vec3 toCamera = perspective ? normalize(-eyePosition) : vec3(0.0, 0.0, 1.0);
    // Not for a face seen exactly edge-on, whose few pixels would flicker either way.
    if (dot(eyeFaceNormal, toCamera) < -0.001) {
        bool stripe = mod(floor((gl_FragCoord.x + gl_FragCoord.y) / 6.0), 2.0) < 1.0;
        gl_FragColor = vec4(stripe ? warningStripe : warning, 1.0);
        // A face that points away loses a tie of depth, at the edge it shares with the
        // face in front of it.
        gl_FragDepth = gl_FragCoord.z + 1.0e-5;
        return;
    }
    gl_FragDepth = gl_FragCoord.z;
    vec3 base = colour;
    if (surface == 1) {
        base = texture2D(image, vec2(texCoord.x, 1.0 - texCoord.y)).rgb;
    } else if (surface == 2) {
        vec2 square = floor(texCoord * 8.0);
        base = mod(square.x + square.y, 2.0) < 1.0 ? checkerLight : checkerDark;
    }
    vec3 n = length(eyeNormal) > 0.0 ? normalize(eyeNormal) : vec3(0.0, 0.0, 1.0);
    float light = 0.3 + 0.7 * max(dot(n, normalize(vec3(-0.3, 0.45, 1.0))), 0.0);
    gl_FragColor = vec4(base * light, 1.0);
}
)";

const char* const kFlatVertexShader = R"(#version 120
attribute vec3 position;
uniform mat4 transform;
void main() { gl_Position = transform * vec4(position, 1.0); }
)";

const char* const kFlatFragmentShader = R"(#version 120
uniform vec3 colour;
void main() { gl_FragColor = vec4(colour, 1.0); }
)";

enum Attribute : GLuint { kPosition = 0, kNormal = 1, kFaceNormal = 2, kUv = 3 };

GLuint compile(GLenum kind, const char* source, std::string& error) {
    const GLuint shader = glCreateShader(kind);
    glShaderSource(shader, 1, &source, nullptr);
    glCompileShader(shader);
    GLint ok = 0;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
    if (!ok) {
        char log[1024] = "";
        glGetShaderInfoLog(shader, sizeof log, nullptr, log);
        error = std::string("the drawing library refused a shader: ") + log;
    }
    return shader;
}

GLuint link(const char* vertex, const char* fragment, std::string& error) {
    const GLuint program = glCreateProgram();
    for (const auto& [kind, source] : {std::pair{GLenum(GL_VERTEX_SHADER), vertex}, std::pair{GLenum(GL_FRAGMENT_SHADER), fragment}}) {
        const GLuint shader = compile(kind, source, error);
        glAttachShader(program, shader);
        glDeleteShader(shader);
    }
    glBindAttribLocation(program, kPosition, "position");
    glBindAttribLocation(program, kNormal, "normal");
    glBindAttribLocation(program, kFaceNormal, "faceNormal");
    glBindAttribLocation(program, kUv, "uv");
    glLinkProgram(program);
    GLint ok = 0;
    glGetProgramiv(program, GL_LINK_STATUS, &ok);
    if (!ok && error.empty()) {
        char log[1024] = "";
        glGetProgramInfoLog(program, sizeof log, nullptr, log);
        error = std::string("the drawing library cannot link a shader: ") + log;
    }
    return program;
}

void setColour(GLuint program, const char* name, Rgb c) { glUniform3f(glGetUniformLocation(program, name), c.r, c.g, c.b); }

void setMatrix(GLuint program, const char* name, const Matrix& m) {
    glUniformMatrix4fv(glGetUniformLocation(program, name), 1, GL_FALSE, m.data());
}

// 1, 2 or 5 times a power of ten, near `step`.
double roundStep(double step) {
    const double power = std::pow(10.0, std::floor(std::log10(step)));
    for (double f : {1.0, 2.0, 5.0})
        if (f * power >= step) return f * power;
    return 10 * power;
}

// The ground grid: lines on the plane y = 0 round the model's footprint, every 1, 2 or 5
// times a power of ten so that a few cells span the model. The lines through the origin
// (when it is on the grid) come last, as the axes.
struct Grid {
    std::vector<float> lines, axes;
    double halfSize = 0;
};

Grid groundGrid(const Bounds& b, double radius) {
    Grid g;
    const double step = roundStep(std::max(b.high[0] - b.low[0], b.high[2] - b.low[2]) / 4 + radius / 8);
    constexpr int kMaxCells = 40;
    // Centred on the origin, or on the model when that is far from it.
    double centre[2] = {0, 0};
    double reach = std::max({std::abs(b.low[0]), std::abs(b.high[0]), std::abs(b.low[2]), std::abs(b.high[2])});
    int cells = int(std::ceil(reach * 1.15 / step));
    if (cells > kMaxCells / 2) {
        centre[0] = std::round((b.low[0] + b.high[0]) / 2 / step) * step;
        centre[1] = std::round((b.low[2] + b.high[2]) / 2 / step) * step;
        reach = std::max({b.high[0] - centre[0], centre[0] - b.low[0], b.high[2] - centre[1], centre[1] - b.low[2]});
        cells = std::min(kMaxCells / 2, int(std::ceil(reach * 1.15 / step)));
    }
    cells = std::max(cells, 1);
    g.halfSize = cells * step;
    for (int i = -cells; i <= cells; ++i) {
        const double at = i * step;
        const bool axis = i == 0 && centre[0] == 0 && centre[1] == 0;
        std::vector<float>& out = axis ? g.axes : g.lines;
        const float lineAlongX[6] = {float(centre[0] - g.halfSize), 0, float(centre[1] + at),
                                     float(centre[0] + g.halfSize), 0, float(centre[1] + at)};
        const float lineAlongZ[6] = {float(centre[0] + at), 0, float(centre[1] - g.halfSize),
                                     float(centre[0] + at), 0, float(centre[1] + g.halfSize)};
        out.insert(out.end(), lineAlongX, lineAlongX + 6);
        out.insert(out.end(), lineAlongZ, lineAlongZ + 6);
    }
    return g;
}

// stb_easy_font draws the printable ASCII characters: each UTF-8 sequence of anything
// else becomes one '?'.
std::string printable(const std::string& text) {
    std::string out;
    for (unsigned char c : text) {
        if (c >= 32 && c < 127) out += char(c);
        else if (c < 0x80 || c >= 0xC0) out += '?';
    }
    return out;
}

class MesaRenderer final : public Renderer {
public:
    ~MesaRenderer() override {
        if (context) OSMesaDestroyContext(context);
    }
    bool open(int pictureWidth, int pictureHeight, std::string& error);

    void fill(const Rect& rect, Rgb colour) override;
    int addTexture(const Image& image) override;
    void setSurfaces(std::vector<Surface> surfaces) override { this->surfaces = std::move(surfaces); }
    void setMesh(const PosedCorners& corners, const std::vector<float>& uv, const std::vector<DrawRange>& ranges) override;
    void setSkeleton(const Skeleton& skeleton) override { this->skeleton = skeleton; }
    void drawView(ViewKind kind, const Rect& rect, const Bounds& bounds) override;
    void drawText(int x, int y, int scale, const std::string& text, Rgb colour) override;
    Image pixels() override;

private:
    void drawLines(const std::vector<float>& points, GLenum mode, const Matrix& transform, Rgb colour) const;
    void drawMesh(const Matrix& view, const Matrix& projection, bool isPerspective) const;

    OSMesaContext context = nullptr;
    std::vector<uint8_t> buffer;
    int width = 0, height = 0;
    GLuint meshProgram = 0, flatProgram = 0;
    GLuint buffers[4] = {0, 0, 0, 0};  // positions, normals, face normals, uv
    std::vector<GLuint> textures;
    std::vector<Surface> surfaces;
    std::vector<DrawRange> ranges;
    Skeleton skeleton;
};

void MesaRenderer::drawLines(const std::vector<float>& points, GLenum mode, const Matrix& transform, Rgb colour) const {
    if (points.empty()) return;
    glUseProgram(flatProgram);
    setMatrix(flatProgram, "transform", transform);
    setColour(flatProgram, "colour", colour);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    glEnableVertexAttribArray(kPosition);
    glVertexAttribPointer(kPosition, 3, GL_FLOAT, GL_FALSE, 0, points.data());
    glDrawArrays(mode, 0, GLsizei(points.size() / 3));
    glDisableVertexAttribArray(kPosition);
}

void MesaRenderer::drawMesh(const Matrix& view, const Matrix& projection, bool isPerspective) const {
    glUseProgram(meshProgram);
    setMatrix(meshProgram, "view", view);
    setMatrix(meshProgram, "projection", projection);
    glUniform1i(glGetUniformLocation(meshProgram, "perspective"), isPerspective);
    glUniform1i(glGetUniformLocation(meshProgram, "image"), 0);
    setColour(meshProgram, "warning", colours::kWarning);
    setColour(meshProgram, "warningStripe", colours::kWarningStripe);
    setColour(meshProgram, "checkerLight", colours::kCheckerLight);
    setColour(meshProgram, "checkerDark", colours::kCheckerDark);
    const GLuint attributes[4] = {kPosition, kNormal, kFaceNormal, kUv};
    for (int i = 0; i < 4; ++i) {
        glBindBuffer(GL_ARRAY_BUFFER, buffers[i]);
        glEnableVertexAttribArray(attributes[i]);
        glVertexAttribPointer(attributes[i], i == 3 ? 2 : 3, GL_FLOAT, GL_FALSE, 0, nullptr);
    }
    for (const DrawRange& range : ranges) {
        const Surface surface = range.material >= 0 && size_t(range.material) < surfaces.size()
                                    ? surfaces[size_t(range.material)]
                                    : Surface{};
        glUniform1i(glGetUniformLocation(meshProgram, "surface"), int(surface.kind));
        setColour(meshProgram, "colour", surface.colour);
        if (surface.kind == Surface::Texture) glBindTexture(GL_TEXTURE_2D, textures[size_t(surface.texture)]);
        glDrawArrays(GL_TRIANGLES, GLint(range.firstCorner), GLsizei(range.cornerCount));
    }
    for (GLuint a : attributes) glDisableVertexAttribArray(a);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
}

bool MesaRenderer::open(int pictureWidth, int pictureHeight, std::string& error) {
    width = pictureWidth;
    height = pictureHeight;
    context = OSMesaCreateContextExt(OSMESA_RGBA, 24, 0, 0, nullptr);
    if (!context) {
        error = "the drawing library (OSMesa) cannot make a context";
        return false;
    }
    buffer.assign(size_t(width) * size_t(height) * 4, 0);
    if (!OSMesaMakeCurrent(context, buffer.data(), GL_UNSIGNED_BYTE, width, height)) {
        error = "the drawing library (OSMesa) cannot draw a picture of " + std::to_string(width) + "x" +
                std::to_string(height) + " pixels";
        return false;
    }
    meshProgram = link(kMeshVertexShader, kMeshFragmentShader, error);
    flatProgram = link(kFlatVertexShader, kFlatFragmentShader, error);
    if (!error.empty()) return false;
    glGenBuffers(4, buffers);
    glEnable(GL_SCISSOR_TEST);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    return true;
}

void MesaRenderer::fill(const Rect& rect, Rgb colour) {
    glScissor(rect.x, height - rect.y - rect.height, rect.width, rect.height);
    glClearColor(colour.r, colour.g, colour.b, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

int MesaRenderer::addTexture(const Image& image) {
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, image.width, image.height, 0, GL_RGBA, GL_UNSIGNED_BYTE, image.rgba.data());
    textures.push_back(texture);
    return int(textures.size() - 1);
}

void MesaRenderer::setMesh(const PosedCorners& corners, const std::vector<float>& uv, const std::vector<DrawRange>& ranges) {
    const std::vector<float>* arrays[4] = {&corners.positions, &corners.normals, &corners.faceNormals, &uv};
    for (int i = 0; i < 4; ++i) {
        glBindBuffer(GL_ARRAY_BUFFER, buffers[i]);
        glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(arrays[i]->size() * sizeof(float)), arrays[i]->data(), GL_STATIC_DRAW);
    }
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    this->ranges = ranges;
}

void MesaRenderer::drawView(ViewKind kind, const Rect& rect, const Bounds& bounds) {
    Vector centre{0, 0, 0};
    double radius = 1;
    if (!bounds.empty) {
        for (int i = 0; i < 3; ++i) centre[i] = (bounds.low[i] + bounds.high[i]) / 2;
        const Vector half{bounds.high[0] - centre[0], bounds.high[1] - centre[1], bounds.high[2] - centre[2]};
        radius = std::sqrt(dot(half, half));
        if (!(radius > 0)) radius = 1;
    }
    const Grid grid = groundGrid(bounds, radius);
    // Far enough that the whole grid lies between the near and far planes.
    const double reach = 2 * std::sqrt(2.0) * grid.halfSize + std::abs(centre[1]) + radius;
    Vector back{0, 0, 1}, up{0, 1, 0};
    if (kind == ViewKind::Side) back = {1, 0, 0};
    if (kind == ViewKind::Top) back = {0, 1, 0}, up = {0, 0, -1};
    if (kind == ViewKind::Perspective)
        back = {std::sin(kTurn) * std::cos(kRise), std::sin(kRise), std::cos(kTurn) * std::cos(kRise)};
    const double aspect = double(rect.width) / rect.height;
    Matrix projection;
    double distance;
    if (kind == ViewKind::Perspective) {
        const double slope = std::tan(kFieldOfView / 2);
        const double narrowest = std::atan(aspect < 1 ? slope * aspect : slope);
        distance = kMargin * radius / std::sin(narrowest);
        projection = perspective(slope, aspect, std::max(distance - reach, distance * 1e-3), distance + reach);
    } else {
        const double half = kMargin * radius;
        distance = 2 * reach;
        projection = aspect >= 1 ? orthographic(half * aspect, half, distance - reach, distance + reach)
                                 : orthographic(half, half / aspect, distance - reach, distance + reach);
    }
    const Vector eye{centre[0] + back[0] * distance, centre[1] + back[1] * distance, centre[2] + back[2] * distance};
    const Matrix view = lookFrom(eye, back, up);
    const Matrix transform = multiply(projection, view);

    glViewport(rect.x, height - rect.y - rect.height, rect.width, rect.height);
    glScissor(rect.x, height - rect.y - rect.height, rect.width, rect.height);
    glEnable(GL_DEPTH_TEST);
    glLineWidth(1);
    drawLines(grid.lines, GL_LINES, transform, colours::kGrid);
    drawLines(grid.axes, GL_LINES, transform, colours::kGridAxis);
    drawMesh(view, projection, kind == ViewKind::Perspective);
    // The skeleton shows through the mesh.
    glDisable(GL_DEPTH_TEST);
    glLineWidth(3);
    drawLines(skeleton.lines, GL_LINES, transform, colours::kBone);
    glPointSize(7);
    drawLines(skeleton.joints, GL_POINTS, transform, colours::kBone);
}

void MesaRenderer::drawText(int x, int y, int scale, const std::string& text, Rgb colour) {
    std::string ascii = printable(text);
    std::vector<char> quads(ascii.size() * 400 + 64);
    const int count = stb_easy_font_print(0, 0, ascii.data(), nullptr, quads.data(), int(quads.size()));
    // Quads of x, y, z and a colour (16 bytes a corner) into a triangle list of x, y, z.
    std::vector<float> triangles;
    triangles.reserve(size_t(count) * 18);
    for (int q = 0; q < count; ++q) {
        const float* corner[4];
        for (int k = 0; k < 4; ++k) corner[k] = reinterpret_cast<const float*>(quads.data() + (q * 4 + k) * 16);
        for (int k : {0, 1, 2, 0, 2, 3}) triangles.insert(triangles.end(), corner[k], corner[k] + 3);
    }
    // Font units to the picture's pixels, then to the -1..1 of the viewport.
    Matrix transform{};
    transform[0] = float(2.0 * scale / width);
    transform[5] = float(-2.0 * scale / height);
    transform[10] = 1;
    transform[12] = float(2.0 * x / width - 1);
    transform[13] = float(1 - 2.0 * y / height);
    transform[15] = 1;
    glViewport(0, 0, width, height);
    glScissor(0, 0, width, height);
    glDisable(GL_DEPTH_TEST);
    drawLines(triangles, GL_TRIANGLES, transform, colour);
}

Image MesaRenderer::pixels() {
    glFinish();
    Image image;
    image.width = width;
    image.height = height;
    image.rgba.resize(buffer.size());
    // OSMesa's rows run from the bottom up.
    const size_t row = size_t(width) * 4;
    for (int y = 0; y < height; ++y)
        std::copy_n(buffer.data() + size_t(height - 1 - y) * row, row, image.rgba.data() + size_t(y) * row);
    return image;
}

}  // namespace

}  // namespace korvo::cli::preview

// The library's only exported symbol (it is built with hidden visibility).
extern "C" __attribute__((visibility("default"))) korvo::cli::preview::Renderer* korvo_preview_open_renderer(
    int width, int height, std::string* error) {
    static_assert(std::is_same_v<decltype(korvo_preview_open_renderer), korvo::cli::preview::OpenRendererFn>);
    auto renderer = std::make_unique<korvo::cli::preview::MesaRenderer>();
    if (!renderer->open(width, height, *error)) return nullptr;
    return renderer.release();
}
