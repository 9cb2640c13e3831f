// korvo export SCENE -o OUT.x [dialog options]: saves a scene through the module's
// .x saver, exactly as Korvo would, and reports what was written.
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <memory>

#include "cli/command.h"
#include "cli/dialog_options.h"
#include "cli/export_command.h"
#include "cli/session.h"
#include "korvo/platform.h"
#include "korvo/scene_json.h"
#ifdef KORVO_WITH_IMPORT
#include "cli/animation_notes.h"
#include "cli/model_options.h"
#include "korvo/import/import_model.h"
#endif

namespace korvo::cli {

namespace {

using Clock = std::chrono::steady_clock;

#ifdef KORVO_WITH_IMPORT
bool endsWith(const std::string& s, const std::string& end) {
    return s.size() >= end.size() && s.compare(s.size() - end.size(), end.size(), end) == 0;
}

bool isModel(const std::string& path) { return !endsWith(path, ".json"); }
#endif

// A scene file, or (with import built in) any model file the importer reads, with a
// note on what of its animation the dialog's settings would leave out.
bool readScene(const ExportArguments& a, const DialogScript& script, Scene& scene, std::string& error) {
#ifdef KORVO_WITH_IMPORT
    if (isModel(a.scene)) {
        const auto note = [](const std::string& line) { std::fprintf(stderr, "korvo: note: %s\n", line.c_str()); };
        if (!import::importModel(a.scene, scene, error, note, {a.animationChoice})) return false;
        for (const std::string& line : animationNotes(scene, script)) note(a.scene + ": " + line);
        return true;
    }
#else
    (void)script;
#endif
    return loadSceneFile(a.scene, scene, error);
}

size_t countObjects(const std::vector<SceneObject>& objects) {
    size_t n = objects.size();
    for (const SceneObject& o : objects) n += countObjects(o.children);
    return n;
}

}  // namespace

// The folder the target goes into must exist and be writable; otherwise nothing runs.
bool targetFolderUsable(const std::string& target, std::string& error) {
    const size_t slash = platform::lastSeparator(target);
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : target.substr(0, slash);
    if (target.empty() || slash == target.size() - 1) {
        error = "-o needs a file name, not \"" + target + "\"";
    } else if (!platform::isFolder(folder)) {
        error = "cannot write " + target + ": " +
                (platform::exists(folder) ? folder + " is a file, not a folder" : "the folder " + folder + " does not exist");
    } else if (!platform::isWritableFolder(folder)) {
        error = "cannot write " + target + ": the folder " + folder + " is not writable";
    } else if (platform::isFolder(target)) {
        error = "cannot write " + target + ": it is a folder";
    } else {
        return true;
    }
    return false;
}

namespace {

std::string sizeText(uint64_t bytes) {
    char buffer[32];
    if (bytes < 1024) std::snprintf(buffer, sizeof buffer, "%" PRIu64 " bytes", bytes);
    else if (bytes < 1024 * 1024) std::snprintf(buffer, sizeof buffer, "%.1f KiB", bytes / 1024.0);
    else std::snprintf(buffer, sizeof buffer, "%.1f MiB", bytes / (1024.0 * 1024.0));
    return buffer;
}

double seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

void printSummary(const std::vector<WrittenFile>& files, size_t objects, double elapsed) {
    uint64_t total = 0;
    for (const WrittenFile& f : files) total += f.bytes;
    std::string what;
    if (files.empty()) what = "wrote no file";
    else if (files.size() == 1) what = "wrote 1 file (" + files.front().path + ")";
    else what = "wrote " + std::to_string(files.size()) + " files (" + files.front().path + " .. " + files.back().path + ")";
    std::fprintf(stderr, "korvo: %s, %s, %zu object%s, %.2f s\n", what.c_str(), sizeText(total).c_str(), objects,
                 objects == 1 ? "" : "s", elapsed);
}

}  // namespace

int runExport(ExportArguments& a, std::vector<std::string>* written) {
    const Clock::time_point start = Clock::now();
    DialogScript script;
    std::string error;
    if (!a.dialog.script(script, error)) return fail(kExitBadInput, error);
    int64_t refuse = 0;
    if (!allocationToRefuse(refuse)) return kExitBadInput;
    if (!targetFolderUsable(a.output, error)) return fail(kExitBadInput, error);

    Scene scene;
    if (!readScene(a, script, scene, error)) return fail(kExitBadInput, error);
    const Clock::time_point loaded = Clock::now();

    HostBehaviour behaviour;
    behaviour.echo = true;
    Host host(behaviour);
    const bool progress = platform::isTerminal(stderr);
    host.onFileWritten([&host, progress](const WrittenFile&) {
        const size_t n = host.writtenFiles().size();
        if (progress && n >= 2) std::fprintf(stderr, "\rkorvo: %zu files written", n);
    });
    const KrvDocument document = host.loadDocument(scene);
    // The document holds its own copy of everything; the records would only add their
    // size to the peak memory of the save.
    const size_t objects = countObjects(scene.objects);
    scene = Scene{};
    const Clock::time_point built = Clock::now();

    int status = kExitOk;
    const SaverInfo* saver = nullptr;
    std::unique_ptr<LoadedModule> module = loadModule(host, resolveModulePath(a.module), saver, status);
    if (!module) return checkLeaks(host, status);
    const Clock::time_point started = Clock::now();

    host.setDialogScript(script);
    host.refuseAllocation(refuse);
    const int32_t answer = host.save(*saver, document, a.output);
    // Tells a test that walks N = 1, 2, ... when it has refused every allocation.
    if (refuse > host.allocationRequests())
        std::fprintf(stderr, "korvo: note: KORVO_FAIL_ALLOC=%" PRId64 " refused nothing: the save asked for %" PRId64
                     " allocations\n", refuse, host.allocationRequests());
    host.refuseAllocation(0);
    const Clock::time_point saved = Clock::now();
    if (written)
        for (const WrittenFile& f : host.writtenFiles()) written->push_back(f.path);
    if (progress && host.writtenFiles().size() >= 2) std::fputs("\r\033[K", stderr);

    const std::vector<DialogRun>& runs = host.dialogRuns();
    if (!runs.empty() && runs.back().refusal) {
        status = fail(kExitBadInput, refusalMessage(*runs.back().refusal));
    } else if (answer == Host::kSaverNotCreated) {
        status = fail(kExitFailed, "the export to " + a.output + " failed: the module could not create its saver");
    } else if (answer != 0) {
        // The host knows why a file failed (a full disk, say); the saver only answers a code.
        const std::string reason = host.fileErrors().empty() ? "the saver answered " + std::to_string(answer)
                                                             : host.fileErrors().front() + " (the saver answered " +
                                                                   std::to_string(answer) + ")";
        status = fail(kExitFailed, "the export to " + a.output + " failed: " + reason);
    } else if (!host.fileErrors().empty()) {
        status = fail(kExitFailed, "the export failed: " + host.fileErrors().front());
    } else if (runs.empty()) {
        status = fail(kExitFailed, "the export to " + a.output + " failed: the settings dialog could not be shown, nothing written");
    } else if (runs.back().button == 2) {
        std::fputs("korvo: export cancelled, nothing written\n", stderr);
    } else {
        printSummary(host.writtenFiles(), objects, seconds(saved - start));
    }
    module.reset();
    const Clock::time_point unloaded = Clock::now();
    if (a.timings)
        std::fprintf(stderr,
                     "korvo: timings: read %.3f s, document %.3f s, module start %.3f s, export %.3f s "
                     "(file system %.3f s), module end %.3f s\n",
                     seconds(loaded - start), seconds(built - loaded), seconds(started - built),
                     seconds(saved - started), host.fileSystemSeconds(), seconds(unloaded - saved));
    return checkLeaks(host, status);
}

Subcommand addExportCommand(CLI::App& korvo) {
    auto arguments = std::make_shared<ExportArguments>();
    CLI::App* app = korvo.add_subcommand("export", "export a scene file (or a model file) to a .x file");
    app->add_option("SCENE", arguments->scene, "the scene file (.korvo.json) or a model file")->required();
    app->add_option("-o,--output", arguments->output, "the .x file to write")->required();
    app->add_option("--module", arguments->module, "the module to load (default: beside the command)");
    app->add_flag("--timings", arguments->timings, "print the time of each phase");
    arguments->dialog.addTo(*app);
#ifdef KORVO_WITH_IMPORT
    addReaderTimeLimit(*app, arguments->readerTimeLimit);
    addAnimationChoice(*app, arguments->animationChoice);
    return {app, [arguments] {
                if (!isModel(arguments->scene)) return runExport(*arguments);
                return runWithModelReader(arguments->scene, arguments->readerTimeLimit,
                                          [arguments] { return runExport(*arguments); });
            }};
#else
    return {app, [arguments] { return runExport(*arguments); }};
#endif
}

}  // namespace korvo::cli
