#include "cli/export/export_session.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cinttypes>
#include <cstdio>
#include <new>
#include <optional>

#include "cli/command.h"
#include "cli/export/export_batch.h"
#include "cli/input_kind.h"
#include "cli/session.h"
#include "korvo/scene/scene_json.h"
#include "korvo/console/status_line.h"
#include "korvo/files/platform.h"
#include "korvo/files/target_file.h"
#include "korvo/console/text.h"
#include "korvo/import/texture_paths.h"
#ifdef KORVO_WITH_IMPORT
#include "cli/export/animation_notes.h"
#include "cli/model/model_options.h"
#include "cli/export/model_preset.h"
#include "korvo/import/import_model.h"
#endif

namespace korvo::cli {

namespace {

using Clock = std::chrono::steady_clock;

double seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

// The embedded images of a model, to write beside the target once the export succeeded.
struct ModelImages {
    import::TextureOutput output;
    // False with "cannot write FILE: REASON" in `error`; the files written go to `written`.
    bool write(std::vector<std::string>& written, std::string& error) const {
        if (!import::writeImages(output.images, error)) return false;
        for (const import::ImageFile& image : output.images) written.push_back(image.path);
        return true;
    }
};

#ifdef KORVO_WITH_IMPORT
// A texture name kept as stored that names an image inside the model ("*0") leads a
// reader to no file: one note for each such name.
void noteEmbeddedReferences(const Scene& scene, const std::string& target, const import::NoteSink& note) {
    std::vector<std::string> noted;
    for (const Material& material : scene.materials) {
        const std::optional<std::string>& name = material.color.texture;
        const bool embedded = name && name->size() > 1 && (*name)[0] == '*' &&
                              name->find_first_not_of("0123456789", 1) == std::string::npos;
        if (!embedded || std::find(noted.begin(), noted.end(), *name) != noted.end()) continue;
        noted.push_back(*name);
        note("texture \"" + *name + "\" is an image inside the model; it is written as a reference without a file" +
             (target == kStandardOutput ? " (-o FILE.x writes the image beside the file)"
                                        : " (without --keep-texture-paths the image is written beside the file)"));
    }
}
#endif

// A scene file, or (with import built in) any model file the importer reads, with a
// note on what of its animation the dialog's settings would leave out. The texture names
// of either become paths relative to `target`'s folder (with --copy-textures the bare
// names of copies beside it); a model's embedded images and the copies go to `images`.
// `script` is the user's, with the model preset for a model.
bool readScene(const std::string& path, const std::string& target, const ExportSettings& settings, Scene& scene,
               ModelImages& images, DialogScript& script, std::string& error) {
    script = settings.script;
    const auto note = [](const std::string& line) { printError("korvo: note: %s\n", printable(line).c_str()); };
#ifdef KORVO_WITH_IMPORT
    if (readsModel(path)) {
        images.output.target = target;
        images.output.copyBeside = settings.copyTextures;
        images.output.plan = &settings.plan;
        import::ImportChoices choices;
        choices.animation = settings.animationChoice;
        chooseImportNotes(settings.script, choices);
        choices.documentArrays = true;
        if (!import::importModel(path, scene, error, note, choices,
                                 settings.keepTexturePaths ? nullptr : &images.output))
            return false;
        script = applyModelPreset(settings.script, modelFacts(scene));
        for (const std::string& line : animationNotes(scene, script)) note(path + ": " + line);
        if (settings.keepTexturePaths)
            noteEmbeddedReferences(scene, target, [&](const std::string& line) { note(path + ": " + line); });
        return true;
    }
#endif
    if (!loadSceneFile(path, scene, error)) return false;
    const import::NoteSink sceneNote = [&](const std::string& line) { note(path + ": " + line); };
    if (!settings.keepTexturePaths)
        import::placeSceneTextures(
            scene, {path, target, settings.copyTextures, &settings.plan},
            images.output.images, sceneNote);
    return true;
}

// For a model's export, memory freed stays in the process until the export ends (see
// platform::keepFreedMemory). Not for a scene file: its reader's records are freed in
// pieces the document's arrays cannot reuse, and kept they would only raise the peak.
struct FreedMemoryKept {
    explicit FreedMemoryKept(bool on) : on(on) {
        if (on) platform::keepFreedMemory(true);
    }
    ~FreedMemoryKept() {
        if (on) platform::keepFreedMemory(false);
    }
    FreedMemoryKept(const FreedMemoryKept&) = delete;
    FreedMemoryKept& operator=(const FreedMemoryKept&) = delete;
    const bool on;
};

size_t countObjects(const std::vector<SceneObject>& objects) {
    size_t n = objects.size();
    for (const SceneObject& o : objects) n += countObjects(o.children);
    return n;
}

// The frame the scene ends at, as the module reads it from the document (at most the
// largest 32-bit number); 0 without an end.
int64_t endFrameOf(const Scene& scene) {
    if (!scene.end || std::floor(scene.end->denominator) < 1) return 0;
    const double frame = std::trunc(std::floor(scene.fps * scene.end->numerator) / std::floor(scene.end->denominator));
    if (!(frame > 0)) return 0;
    return frame < INT32_MAX ? static_cast<int64_t>(frame) : INT32_MAX;
}

double elementValue(const DialogNode& node, int32_t id) {
    if (!node.isGroup && node.id == id && node.value) return node.value->value;
    for (const DialogNode& child : node.children)
        if (double value = elementValue(child, id)) return value;
    return 0;
}

// The refusal of settings under which the animation set's last key would fall past the
// largest time a file stores (the module would refuse to write it), or "".
std::string keyTimeRefusal(const DialogNode& shown, int64_t endFrame) {
    const bool keys = elementValue(shown, KRV_SETTINGS_FRAMES) != 0 && elementValue(shown, KRV_SETTINGS_ANIMATION) != 0 &&
                      elementValue(shown, KRV_SETTINGS_FRAME_PER_FILE) == 0;
    const int64_t ticks = std::max<int64_t>(1, static_cast<int64_t>(elementValue(shown, KRV_SETTINGS_TICKS_PER_FRAME)));
    const int64_t step = std::max<int64_t>(1, static_cast<int64_t>(elementValue(shown, KRV_SETTINGS_DISTANCE_PER_FRAME)));
    if (!keys || endFrame <= 0) return "";
    const int64_t last = (endFrame + step - 1) / step - 1;
    if (last <= INT32_MAX / ticks) return "";
    return std::to_string(ticks) + " ticks per frame (--ticks-per-frame) put the last animation key (frame " +
           std::to_string(last * step) + ") at tick " + std::to_string(last * ticks) +
           ", past the largest key time a file stores (2147483647): nothing written";
}

// "korvo: exporting meshes: 12 of 40 (30%), 3.2 MiB written": what the host has seen
// the module do, short enough for a terminal's row. The module samples each animated
// object's keys from frame 0 again; each frame file is one time set.
std::string exportProgress(const SaveProgress& p, bool framePerFile) {
    const uint64_t meshes = p.meshes, meshesRead = p.meshesRead, sweeps = p.sweeps, files = p.files;
    const int64_t frame = p.frame, endFrame = std::max<int64_t>(p.endFrame, 0);
    const auto percent = [](uint64_t part, uint64_t whole) {
        return " (" + std::to_string(whole ? std::min(part, whole) * 100 / whole : 100) + "%)";
    };
    std::string text;
    if (frame < 0)
        text = "korvo: exporting meshes: " + std::to_string(meshesRead) + " of " + std::to_string(meshes) +
               percent(meshesRead, meshes);
    else if (framePerFile)
        text = "korvo: exporting frames: " + std::to_string(frame) + "/" + std::to_string(endFrame) +
               percent(uint64_t(frame), uint64_t(endFrame)) + ", " + std::to_string(files) +
               (files == 1 ? " file" : " files");
    else
        text = "korvo: exporting keys: object " + std::to_string(sweeps) + ", frame " + std::to_string(frame) + "/" +
               std::to_string(endFrame) + percent(uint64_t(frame), uint64_t(endFrame));
    return text + ", " + sizeText(p.bytes) + " written";
}

HostBehaviour echoing() {
    HostBehaviour behaviour;
    behaviour.echo = true;
    return behaviour;
}

}  // namespace

std::string sizeText(uint64_t bytes) {
    char buffer[32];
    if (bytes < 1024) std::snprintf(buffer, sizeof buffer, "%" PRIu64 " bytes", bytes);
    else if (bytes < 1024 * 1024) std::snprintf(buffer, sizeof buffer, "%.1f KiB", bytes / 1024.0);
    else std::snprintf(buffer, sizeof buffer, "%.1f MiB", bytes / (1024.0 * 1024.0));
    return buffer;
}

ExportSession::ExportSession(ExportSettings settings) : settings_(std::move(settings)), host_(echoing()) {
    host_.followPlan(settings_.plan);
}

ExportSession::~ExportSession() = default;

ExportResult ExportSession::exportOne(const std::string& input, const std::string& target) {
    try {
        return save(input, target);
    } catch (const std::bad_alloc&) {
        // Whatever was written is committed only by a whole save, so nothing is left half.
        ExportResult result;
        result.status = fail(kExitFailed, "the export of " + input + " failed: out of memory");
        return result;
    }
}

ExportResult ExportSession::save(const std::string& input, const std::string& target) {
    ExportResult result;
    const Clock::time_point start = Clock::now();
    std::atomic<bool> exporting{false};
    const bool model = readsModel(input);
    const bool framePerFile = writesFilePerFrame(settings_.script, model);
    const FreedMemoryKept kept(model);
    std::optional<ProgressLine> progress;
    if (settings_.progress)
        progress.emplace([&] {
            return exporting ? exportProgress(host_.saveProgress(), framePerFile)
                             : "korvo: reading " + input + " (" + std::to_string(int(seconds(Clock::now() - start))) +
                                   " s)";
        });
    Scene scene;
    ModelImages images;
    std::string error;
    DialogScript script;
    bool read = false;
    error = folderGivenAsInput(input);
    try {
        read = error.empty() && readScene(input, target, settings_, scene, images, script, error);
    } catch (const std::bad_alloc&) {
        error = input + ": cannot be read: out of memory";
    }
    if (!read) {
        result.status = fail(kExitBadInput, error);
        return result;
    }
    const Clock::time_point loaded = Clock::now();

    result.objects = countObjects(scene.objects);
    const int64_t endFrame = endFrameOf(scene);
    // The document takes over a model's geometry and copies the rest; the records would
    // only add their size to the peak memory of the save.
    const KrvDocument document = host_.loadDocument(std::move(scene));
    scene = Scene{};
    const Clock::time_point built = Clock::now();

    // Loaded once, on the first export; a module that cannot be loaded fails each.
    if (!module_) module_ = loadModule(host_, settings_.modulePath, saver_, moduleStatus_, settings_.verbose);
    if (!module_) {
        host_.releaseDocument(document);
        result.status = moduleStatus_;
        return result;
    }
    const Clock::time_point started = Clock::now();

    const size_t runsBefore = host_.dialogRuns().size();
    const size_t filesBefore = host_.writtenFiles().size();
    const size_t errorsBefore = host_.fileErrors().size();
    const int64_t failedBefore = host_.failedAllocations();
    host_.setDialogScript(script);
    host_.setCheckBeforeOk([endFrame](const DialogNode& shown) { return keyTimeRefusal(shown, endFrame); });
    host_.refuseAllocation(settings_.refuseAllocation);
    exporting = true;
    const int32_t answer = host_.save(*saver_, document, target);
    if (progress) progress->stop();
    const bool refusedMemory =
        (settings_.refuseAllocation > 0 && host_.allocationRequests() >= settings_.refuseAllocation) ||
        host_.failedAllocations() > failedBefore;
    // Tells a test that walks N = 1, 2, ... when it has refused every allocation.
    const int64_t refuse = settings_.refuseAllocation;
    if (refuse > host_.allocationRequests())
        std::fprintf(stderr, "korvo: note: KORVO_FAIL_ALLOC=%" PRId64 " refused nothing: the save asked for %" PRId64
                     " allocations\n", refuse, host_.allocationRequests());
    host_.refuseAllocation(0);
    host_.releaseDocument(document);
    const Clock::time_point saved = Clock::now();
    result.files.assign(host_.writtenFiles().begin() + filesBefore, host_.writtenFiles().end());

    const std::vector<DialogRun>& runs = host_.dialogRuns();
    const bool shown = runs.size() > runsBefore;
    const std::string* fileError = host_.fileErrors().size() > errorsBefore ? &host_.fileErrors()[errorsBefore] : nullptr;
    if (shown && runs.back().refusal) {
        result.status = fail(kExitBadInput, settings_.dialog->refusalMessage(*runs.back().refusal));
    } else if (answer == Host::kSaverNotCreated) {
        result.status = fail(kExitFailed, "the export to " + target + " failed: the module could not create its saver");
    } else if (answer != 0) {
        // The host knows why a file failed (a full disk, say); the saver only answers a code.
        const std::string code = "the saver answered " + std::to_string(answer);
        const std::string reason = fileError       ? *fileError + " (" + code + ")"
                                   : refusedMemory ? "out of memory (" + code + ")"
                                                   : code;
        result.status = fail(kExitFailed, "the export to " + target + " failed: " + reason);
    } else if (fileError) {
        result.status = fail(kExitFailed, "the export failed: " + *fileError);
    } else if (!shown) {
        result.status = fail(kExitFailed, "the export to " + target + " failed: the settings dialog could not be shown, nothing written");
    } else if (runs.back().button == 2) {
        result.cancelled = true;
        std::fputs("korvo: export cancelled, nothing written\n", stderr);
    } else if (result.files.empty()) {
        std::fprintf(stderr, "korvo: wrote no file: %s\n",
                     result.objects == 0 ? (input + " holds no object to export").c_str()
                                         : "the module found nothing to write with these settings");
    }
    // Only beside files written: a failed or cancelled export leaves nothing new.
    if (result.status == kExitOk && !result.files.empty() && !images.write(result.images, error))
        result.status = fail(kExitFailed, "the export to " + target + " failed: " + error);
    result.seconds = seconds(saved - start);
    result.phases = {seconds(loaded - start), seconds(built - loaded), seconds(started - built), seconds(saved - started),
                     host_.fileSystemSeconds()};
    return result;
}

int ExportSession::finish(int status, double* unloadSeconds) {
    const Clock::time_point start = Clock::now();
    module_.reset();
    if (unloadSeconds) *unloadSeconds = seconds(Clock::now() - start);
    return checkLeaks(host_, status);
}

}  // namespace korvo::cli
