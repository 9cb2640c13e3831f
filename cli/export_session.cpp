#include "cli/export_session.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <new>
#include <optional>

#include "cli/command.h"
#include "cli/export_batch.h"
#include "cli/input_kind.h"
#include "cli/session.h"
#include "korvo/scene_json.h"
#include "korvo/status_line.h"
#include "korvo/target_file.h"
#ifdef KORVO_WITH_IMPORT
#include "cli/animation_notes.h"
#include "korvo/import/import_model.h"
#endif

namespace korvo::cli {

namespace {

using Clock = std::chrono::steady_clock;

double seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

// The embedded images of a model, to write beside the target once the export succeeded.
struct ModelImages {
#ifdef KORVO_WITH_IMPORT
    import::TextureOutput output;
#endif
    // False with "cannot write FILE: REASON" in `error`; the files written go to `written`.
    bool write(std::vector<std::string>& written, std::string& error) const {
#ifdef KORVO_WITH_IMPORT
        if (!import::writeImages(output.images, error)) return false;
        for (const import::ImageFile& image : output.images) written.push_back(image.path);
#else
        (void)written;
        (void)error;
#endif
        return true;
    }
};

// A scene file, or (with import built in) any model file the importer reads, with a
// note on what of its animation the dialog's settings would leave out. A model's texture
// names become paths relative to `target`'s folder, its embedded images go to `images`.
bool readScene(const std::string& path, const std::string& target, const ExportSettings& settings, Scene& scene,
               ModelImages& images, std::string& error) {
#ifdef KORVO_WITH_IMPORT
    if (readsModel(path)) {
        const auto note = [](const std::string& line) { printError("korvo: note: %s\n", line.c_str()); };
        images.output.target = target;
        images.output.protectedFiles = settings.protectedFiles;
        images.output.claim = settings.claimImage;
        import::ImportChoices choices;
        choices.animation = settings.animationChoice;
        chooseImportNotes(settings.script, choices);
        if (!import::importModel(path, scene, error, note, choices,
                                 settings.keepTexturePaths ? nullptr : &images.output))
            return false;
        for (const std::string& line : animationNotes(scene, settings.script)) note(path + ": " + line);
        return true;
    }
#else
    (void)settings;
    (void)target;
    (void)images;
#endif
    return loadSceneFile(path, scene, error);
}

size_t countObjects(const std::vector<SceneObject>& objects) {
    size_t n = objects.size();
    for (const SceneObject& o : objects) n += countObjects(o.children);
    return n;
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
    host_.protectFiles(settings_.protectedFiles);
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
    const bool framePerFile = writesFilePerFrame(settings_.script);
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
    bool read = false;
    error = folderGivenAsInput(input);
    try {
        read = error.empty() && readScene(input, target, settings_, scene, images, error);
    } catch (const std::bad_alloc&) {
        error = input + ": cannot be read: out of memory";
    }
    if (!read) {
        result.status = fail(kExitBadInput, error);
        return result;
    }
    const Clock::time_point loaded = Clock::now();

    const KrvDocument document = host_.loadDocument(scene);
    // The document holds its own copy of everything; the records would only add their
    // size to the peak memory of the save.
    result.objects = countObjects(scene.objects);
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
    host_.setDialogScript(settings_.script);
    host_.refuseAllocation(settings_.refuseAllocation);
    exporting = true;
    const int32_t answer = host_.save(*saver_, document, target);
    if (progress) progress->stop();
    const bool refusedMemory = settings_.refuseAllocation > 0 && host_.allocationRequests() >= settings_.refuseAllocation;
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
