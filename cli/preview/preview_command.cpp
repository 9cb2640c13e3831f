#include "cli/preview/preview_command.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>

#include "cli/dialog/dialog_probe.h"
#include "cli/export/export_command.h"
#include "cli/input_kind.h"
#include "cli/model/model_options.h"
#include "cli/preview/preview_image.h"
#include "cli/preview/preview_pose.h"
#include "cli/preview/preview_render.h"
#include "cli/session.h"
#include "korvo/import/model_pose.h"
#include "korvo/import/model_reader.h"
#include "korvo/import/reader_guard.h"
#include "korvo/files/platform.h"
#include "korvo/files/target_file.h"
#include "korvo/files/write_plan.h"
#include "korvo/console/text.h"

namespace korvo::cli {

namespace {

using namespace preview;
using import::ModelData;

constexpr int kSmallestSide = 64, kLargestSide = 8192;
constexpr int kMostFrames = 100;
// A material without a diffuse colour.
constexpr Rgb kPlainGrey{0.7f, 0.7f, 0.7f};

struct PreviewArguments {
    std::string input;
    std::string output;
    std::string module;
    std::string size = "1600x1000";
    int poses = 0;
    std::string oldPoses;  // --frames N, the former spelling of --poses N
    bool oldNoFrames = false;
    unsigned readerTimeLimit = kReaderTimeLimit;
    bool forceName = false;  // a picture whose name does not end in .png
    ExportArguments exportArguments;  // its dialog options
    std::string exportFolder;  // the private folder of a scene's or model's export
};

bool parseSize(const std::string& text, int& width, int& height) {
    const size_t x = text.find('x');
    if (x == std::string::npos || x == 0 || x + 1 == text.size()) return false;
    for (size_t i = 0; i < text.size(); ++i)
        if (i != x && !std::isdigit(static_cast<unsigned char>(text[i]))) return false;
    if (x > 5 || text.size() - x - 1 > 5) return false;
    width = std::stoi(text.substr(0, x));
    height = std::stoi(text.substr(x + 1));
    return width >= kSmallestSide && width <= kLargestSide && height >= kSmallestSide && height <= kLargestSide;
}

bool isXFile(const std::string& path) {
    return path.size() >= 2 && path[path.size() - 2] == '.' && std::tolower(static_cast<unsigned char>(path.back())) == 'x';
}

std::string fileNameOf(const std::string& path) {
    const size_t slash = platform::lastSeparator(path);
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The folder of an export made only to be previewed, removed with what the module wrote.
class TemporaryExport {
public:
    ~TemporaryExport() {
        for (const std::string& file : written) platform::removeFile(file);
        for (const std::string& file : images) platform::removeFile(file);
        if (!folder.empty()) platform::removeFolder(folder);
    }
    std::string folder;
    std::vector<std::string> written;
    std::vector<std::string> images;  // a model's embedded images beside them
};

// Reads each material's first diffuse texture, looked for as the file names it, relative
// to each of `folders` in turn (with '\' read as '/'), then by its bare name in the
// first. A texture that is missing or unreadable is drawn as a checker and named in one
// note.
std::vector<Surface> loadSurfaces(const ModelData& model, const std::vector<std::string>& folders, Renderer& renderer) {
    std::vector<Surface> surfaces;
    std::vector<std::string> missing, unreadable;
    std::map<std::string, Surface> decoded;  // by the file found: each is decoded once
    for (const import::ModelMaterial& material : model.materials) {
        Surface surface;
        surface.colour = material.diffuse ? Rgb{float((*material.diffuse)[0]), float((*material.diffuse)[1]),
                                                float((*material.diffuse)[2])}
                                          : kPlainGrey;
        const auto texture = std::find_if(material.textures.begin(), material.textures.end(),
                                          [](const import::ModelTexture& t) { return t.kind == "Diffuse"; });
        if (texture != material.textures.end() && !texture->path.empty()) {
            std::string name = texture->path;
            std::replace(name.begin(), name.end(), '\\', '/');
            std::vector<std::string> candidates;
            if (name.front() == '/') candidates.push_back(name);
            for (const std::string& folder : folders) candidates.push_back(folder + "/" + name);
            candidates.push_back(folders.front() + "/" + fileNameOf(name));
            const auto found = std::find_if(candidates.begin(), candidates.end(),
                                            [](const std::string& c) { return platform::exists(c) && !platform::isFolder(c); });
            Image image;
            std::string error;
            if (found == candidates.end()) {
                if (std::find(missing.begin(), missing.end(), texture->path) == missing.end()) missing.push_back(texture->path);
                surface.kind = Surface::Checker;
            } else if (const auto known = decoded.find(*found); known != decoded.end()) {
                surface.kind = known->second.kind;
                surface.texture = known->second.texture;
            } else {
                // Opened only as a regular file (a FIFO would wait for a writer, a device
                // never end), decoded only within the pixel budget.
                if (platform::fileKind(*found) != platform::FileKind::Regular) {
                    unreadable.push_back(*found + " (not a regular file)");
                    surface.kind = Surface::Checker;
                } else if (!readImage(*found, image, error)) {
                    unreadable.push_back(*found + " (" + error + ")");
                    surface.kind = Surface::Checker;
                } else {
                    surface.kind = Surface::Texture;
                    surface.texture = renderer.addTexture(image);
                }
                decoded.emplace(*found, surface);
            }
        }
        surfaces.push_back(surface);
    }
    std::string note;
    const auto list = [](const std::vector<std::string>& names) {
        std::string text;
        for (const std::string& n : names) text += (text.empty() ? "" : ", ") + n;
        return text;
    };
    if (!missing.empty()) {
        note = "not found, drawn as a checker: " + list(missing) + " (looked in " + list(folders) + ")";
    }
    if (!unreadable.empty()) note += (note.empty() ? "" : "; ") + std::string("cannot be read, drawn as a checker: ") + list(unreadable);
    if (!note.empty()) std::fprintf(stderr, "korvo: note: textures %s\n", printable(note).c_str());
    return surfaces;
}

std::string withThousands(size_t n) {
    std::string digits = std::to_string(n), out;
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
        out += digits[i];
    }
    return out;
}

std::string number(double value, const char* format) {
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

// "tick 1180" or, when the file gives its rate, "tick 1180 (0.98 s)".
std::string timeText(double ticks, double ticksPerSecond) {
    std::string text = "tick " + number(ticks, "%g");
    if (ticksPerSecond > 0) text += " (" + number(ticks / ticksPerSecond, "%.2f") + " s)";
    return text;
}

std::string legendText(const std::string& name, const ModelData& model, size_t triangles, const std::vector<bool>& bones) {
    size_t vertices = 0;
    for (const import::ModelMesh& mesh : model.meshes) vertices += mesh.positions.size();
    const size_t boneCount = size_t(std::count(bones.begin(), bones.end(), true));
    std::string text = name + "    " + withThousands(vertices) + " vertices    " + withThousands(triangles) +
                       " triangles    " + withThousands(boneCount) + (boneCount == 1 ? " bone    " : " bones    ");
    if (model.animations.empty()) return text + "no animation";
    const import::ModelAnimation& a = model.animations.front();
    text += "animation " + number(a.duration, "%g") + " ticks";
    if (a.ticksPerSecond > 0) text += " (" + number(a.duration / a.ticksPerSecond, "%.2f") + " s)";
    if (model.animations.size() > 1) text += ", the first of " + std::to_string(model.animations.size()) + " sets";
    return text;
}

// The font's scale for a picture: about one line in 50 of its height.
int textScale(int height) { return std::max(1, (height + 180) / 360); }

struct Layout {
    std::vector<Rect> cells;
    Rect legend;
};

// `count` cells in rows above the legend, as many columns as make the cells largest.
Layout layOut(int width, int height, size_t count) {
    Layout layout;
    const int scale = textScale(height);
    const int legendHeight = 12 * scale + 4;
    layout.legend = {0, height - legendHeight, width, legendHeight};
    const int area = height - legendHeight;
    size_t columns = 1;
    double best = 0;
    for (size_t c = 1; c <= count; ++c) {
        const size_t rows = (count + c - 1) / c;
        const double side = std::min(double(width) / c, double(area) / rows);
        if (side > best) best = side, columns = c;
    }
    const size_t rows = (count + columns - 1) / columns;
    for (size_t i = 0; i < count; ++i) {
        const int x0 = int(width * (i % columns) / columns), x1 = int(width * (i % columns + 1) / columns);
        const int y0 = int(area * (i / columns) / rows), y1 = int(area * (i / columns + 1) / rows);
        // One pixel of the panel's edge on every side.
        layout.cells.push_back({x0 + 1, y0 + 1, x1 - x0 - 2, y1 - y0 - 2});
    }
    return layout;
}

void label(Renderer& renderer, const Rect& cell, int scale, const std::string& text) {
    renderer.drawText(cell.x + 4 * scale, cell.y + 3 * scale, scale, text, colours::kText);
}

void drawLegend(Renderer& renderer, const Layout& layout, int scale, const std::string& text) {
    renderer.fill(layout.legend, colours::kLegendBackground);
    renderer.drawText(layout.legend.x + 4 * scale, layout.legend.y + 2 + 3 * scale, scale, text, colours::kText);
}

// The four views of the model as the file stores it.
void drawViews(const ModelData& model, const Triangulation& triangulation, const std::vector<bool>& bones,
               Renderer& renderer, const Layout& layout, int scale) {
    const std::vector<import::Affine> globals = import::nodeGlobals(model, nullptr, 0);
    PosedCorners corners;
    poseCorners(model, triangulation, globals, corners);
    const Skeleton skeleton = poseSkeleton(model, bones, globals);
    Bounds bounds;
    addToBounds(corners.positions, bounds);
    addToBounds(skeleton.joints, bounds);
    std::vector<DrawRange> ranges;
    for (const Triangulation::Placed& p : triangulation.placed) ranges.push_back(p.range);
    renderer.setMesh(corners, triangulation.uv, ranges);
    renderer.setSkeleton(skeleton);
    const ViewKind kinds[4] = {ViewKind::Front, ViewKind::Side, ViewKind::Top, ViewKind::Perspective};
    const char* names[4] = {"front", "right side", "top", "three-quarter"};
    for (int v = 0; v < 4; ++v) {
        renderer.drawView(kinds[v], layout.cells[v], bounds);
        label(renderer, layout.cells[v], scale, names[v]);
    }
}

// `frames` poses spread evenly from the first key to the end of the first animation
// set, each in the three-quarter view; all fitted to the bounds of every pose, so that
// the model moves within the sheet as it moves in the animation.
void drawContactSheet(const ModelData& model, const Triangulation& triangulation, const std::vector<bool>& bones,
                      Renderer& renderer, const Layout& layout, int scale, int frames) {
    const import::ModelAnimation& animation = model.animations.front();
    double start = animation.duration;
    for (const import::ModelChannel& c : animation.channels) {
        if (!c.position.empty()) start = std::min(start, c.position.front().time);
        if (!c.rotation.empty()) start = std::min(start, c.rotation.front().time);
        if (!c.scale.empty()) start = std::min(start, c.scale.front().time);
    }
    std::vector<double> times;
    for (int i = 0; i < frames; ++i)
        times.push_back(frames == 1 ? start : start + (animation.duration - start) * i / (frames - 1));
    std::vector<DrawRange> ranges;
    for (const Triangulation::Placed& p : triangulation.placed) ranges.push_back(p.range);
    PosedCorners corners;
    Bounds bounds;
    for (double t : times) {
        const std::vector<import::Affine> globals = import::nodeGlobals(model, &animation, t);
        poseCorners(model, triangulation, globals, corners);
        addToBounds(corners.positions, bounds);
        addToBounds(poseSkeleton(model, bones, globals).joints, bounds);
    }
    for (size_t i = 0; i < times.size(); ++i) {
        const std::vector<import::Affine> globals = import::nodeGlobals(model, &animation, times[i]);
        poseCorners(model, triangulation, globals, corners);
        renderer.setMesh(corners, triangulation.uv, ranges);
        renderer.setSkeleton(poseSkeleton(model, bones, globals));
        renderer.drawView(ViewKind::Perspective, layout.cells[i], bounds);
        label(renderer, layout.cells[i], scale, timeText(times[i], animation.ticksPerSecond));
    }
}

int runPreview(PreviewArguments& a, const CLI::App& app) {
    int width = 0, height = 0;
    if (!parseSize(a.size, width, height))
        return fail(kExitBadInput, "--size needs WIDTHxHEIGHT, each from " + std::to_string(kSmallestSide) + " to " +
                                       std::to_string(kLargestSide) + " pixels, not \"" + a.size + "\"");
    // In korvo export --frames is the "Export frames" switch; here no option means two things.
    if (app.count("--frames") > 0) {
        const std::string n = a.oldPoses.empty() ? "N" : a.oldPoses;
        return fail(kExitBadInput, "--frames is now --poses: --poses " + n + " draws a contact sheet of " + n +
                                       " poses (the \"Export frames\" switch is --export-frames here)");
    }
    if (a.oldNoFrames) return fail(kExitBadInput, "--no-frames: the \"Export frames\" switch is --no-export-frames here");
    const bool sheet = app.count("--poses") > 0;
    if (sheet && (a.poses < 1 || a.poses > kMostFrames))
        return fail(kExitBadInput, "--poses needs a number of poses from 1 to " + std::to_string(kMostFrames) +
                                       ", not " + std::to_string(a.poses));
    std::string error = folderGivenAsInput(a.input);
    if (!error.empty()) return fail(kExitBadInput, error);
    WritePlan plan;
    if (const std::string refusal =
            planWrites({{a.input}, a.output, ".png", "korvo preview writes PNG pictures", a.forceName}, plan);
        !refusal.empty())
        return fail(kExitBadInput, refusal);
    const std::string& target = plan.targets.front();
    // Before an export or a read that may take long, so that a preview that cannot draw says so at once.
    OpenRendererFn* const openRenderer = loadDrawingLibrary(error);
    if (!openRenderer) return fail(kExitFailed, error);

    std::string file = a.input;
    std::string shownName = fileNameOf(a.input);
    std::vector<std::string> textureFolders{folderOf(a.input)};
    TemporaryExport exported;
    // A .x file is drawn as it is, unless an option asks what its export would give.
    DialogScript script;
    if (!a.exportArguments.dialog.script(script, error)) return fail(kExitBadInput, error);
    const bool asExported = !isXFile(a.input) || !script.changes.empty() || script.cancel || !a.module.empty() ||
                            !a.exportArguments.animationChoice.empty();
    if (asExported) {
        // What a save would give: the export into a private folder, then its preview.
        exported.folder = a.exportFolder;
        if (exported.folder.empty()) return fail(kExitFailed, "cannot make a temporary folder for the export");
        a.exportArguments.inputs = {a.input};
        a.exportArguments.output = exported.folder + "/" + fileNameOf(a.input) + ".x";
        a.exportArguments.module = a.module;
        a.exportArguments.forPreview = true;
        const int status = runExport(a.exportArguments, &exported.written, &exported.images);
        if (status != kExitOk) return status;
        if (exported.written.empty()) return fail(kExitFailed, "the export wrote no file: there is nothing to preview");
        if (exported.written.size() > 1)
            std::fprintf(stderr, "korvo: note: the export wrote %zu files; the preview shows the first\n", exported.written.size());
        // Texture names become relative to the exported file, beside which a model's
        // embedded images lie; a name that was not found stays as the input gives it,
        // relative to the input's folder.
        file = exported.written.front();
        textureFolders.insert(textureFolders.begin(), folderOf(file));
        shownName = fileNameOf(a.input) + " exported";
    }

    ModelData model;
    // The reader's own lines name what the user gave, not the private export.
    const bool read = import::readModel(file, import::ReadMode::AsStored, model, error, a.input);
    import::readerFinished();
    if (!read) return fail(kExitFailed, file + ": cannot be read: " + error);
    if (sheet && model.animations.empty())
        return fail(kExitBadInput, (exported.folder.empty() ? file : "the export of " + a.input) +
                                       " has no animation set: --poses needs one");

    const std::unique_ptr<Renderer> opened(openRenderer(width, height, &error));
    if (!opened) return fail(kExitFailed, error);
    Renderer& renderer = *opened;
    const Triangulation triangulation = triangulate(model);
    const std::vector<bool> bones = boneNodes(model);
    renderer.setSurfaces(loadSurfaces(model, textureFolders, renderer));
    const Layout layout = layOut(width, height, sheet ? size_t(a.poses) : 4);
    const int scale = textScale(height);
    renderer.fill({0, 0, width, height}, colours::kPanelEdge);
    for (const Rect& cell : layout.cells) renderer.fill(cell, colours::kBackground);
    if (sheet) drawContactSheet(model, triangulation, bones, renderer, layout, scale, a.poses);
    else drawViews(model, triangulation, bones, renderer, layout, scale);
    drawLegend(renderer, layout, scale, legendText(shownName, model, triangulation.triangles(), bones));

    if (!writePng(renderer.pixels(), target, error)) return fail(kExitFailed, error);
    std::fprintf(stderr, "korvo: wrote %s (%dx%d, %s)\n", printable(target).c_str(), width, height,
                 sheet ? (std::to_string(a.poses) + (a.poses == 1 ? " pose" : " poses")).c_str() : "4 views");
    return kExitOk;
}

}  // namespace

Subcommand addPreviewCommand(CLI::App& korvo) {
    auto arguments = std::make_shared<PreviewArguments>();
    CLI::App* app = korvo.add_subcommand(
        "preview", "draw a .x file as an independent reader sees it (or a scene or model as its export would be) "
                   "into a PNG: four views, or a contact sheet of the animation's poses");
    app->add_option("FILE", arguments->input,
                    "the .x file (drawn as it is unless an export option is given), or a scene or model file to "
                    "export first")
        ->required()
        ->type_name("FILE");
    app->add_option("-o,--output", arguments->output, "the PNG file to write")->required()->type_name("FILE");
    app->add_flag("--force-name", arguments->forceName, "write to -o FILE even when its name does not end in .png");
    app->add_option("--poses", arguments->poses,
                    "a contact sheet of N poses (1 to 100) over the first animation set, instead of the four views")
        ->type_name("N");
    app->add_option("--size", arguments->size, "the picture's size in pixels (default 1600x1000)")
        ->type_name("WIDTHxHEIGHT");
    app->add_option("--module", arguments->module, "the module to load for an export (default: beside the command)")
        ->type_name("PATH");
    addVerbose(*app, arguments->exportArguments.verbose);
    // The former spellings, refused with a pointer to the present ones.
    app->add_option("--frames", arguments->oldPoses)->expected(0, 1)->group("");
    app->add_flag("--no-frames", arguments->oldNoFrames)->group("");
    // The "Export frames" switch under a name that cannot be taken for the poses.
    arguments->exportArguments.dialog.addTo(*app, "export-frames");
    addReaderTimeLimit(*app, arguments->readerTimeLimit);
    addAnimationChoice(*app, arguments->exportArguments.animationChoice);
    // The whole preview runs where a crash or hang of the model reader cannot take the command down.
    return {app,
            [arguments, app] {
                // The export's private folder is made and removed here, outside the process
                // that reads: whatever ends that one (a reader crash, an interrupt, the time
                // limit), no folder or file of the export is left. A .x file given export
                // options is exported too, so every preview gets one.
                arguments->exportFolder = platform::createTemporaryFolder();
                const std::string folder = arguments->exportFolder;
                const auto removeFolder = [folder] {
                    std::error_code ignored;
                    if (!folder.empty()) std::filesystem::remove_all(folder, ignored);
                };
                return runWithModelReader(arguments->input, arguments->readerTimeLimit,
                                          [arguments, app] { return runPreview(*arguments, *app); }, removeFolder);
            },
            [arguments] { describeDialogOptions(arguments->exportArguments.dialog, arguments->module); }};
}

}  // namespace korvo::cli
