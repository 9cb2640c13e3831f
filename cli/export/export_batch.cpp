#include "cli/export/export_batch.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <set>

#include "cli/export/batch_workers.h"
#include "cli/command.h"
#include "cli/dialog/dialog_probe.h"
#include "cli/input_kind.h"
#include "cli/session.h"
#include "cli/target_rules.h"
#include "korvo/files/platform.h"
#include "korvo/console/text.h"
#ifdef KORVO_WITH_IMPORT
#include "korvo/import/reader_guard.h"
#endif

namespace korvo::cli {

namespace {

std::string fileName(const std::string& path) {
    const size_t slash = platform::lastSeparator(path);
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The folder without its trailing separators ("/" stays "/").
std::string folderOf(const std::string& output) {
    size_t end = output.size();
    while (end > 1 && platform::isSeparator(static_cast<unsigned char>(output[end - 1]))) --end;
    return output.substr(0, end);
}

// Refuses a batch that cannot start: one line, and false. Targets are compared by what
// they name, links followed: two names for one file are one target, and a target that is
// an input (any input: the batch would replace it before it is read) is refused. The
// targets and inputs go to `protectedFiles`: no export writes another file over them.
bool batchPlanned(const std::vector<std::string>& inputs, const std::string& folder, bool framePerFile,
                  std::vector<std::string>& targets, ProtectedFiles& protectedFiles) {
    if (!platform::isFolder(folder)) {
        fail(kExitBadInput, "cannot write into " + folder + "/: " +
                                (platform::exists(folder) ? "it is a file, not a folder" : "the folder does not exist"));
        return false;
    }
    if (!platform::isWritableFolder(folder)) {
        fail(kExitBadInput, "cannot write into " + folder + "/: the folder is not writable");
        return false;
    }
    ProtectedFiles written;
    for (size_t i = 0; i < inputs.size(); ++i) {
        targets.push_back(batchTarget(folder, inputs[i]));
        // The user named the folder, not this file: a FIFO there would block the export.
        if (platform::fileKind(targets.back()) == platform::FileKind::Other) {
            fail(kExitBadInput, "cannot write " + targets.back() + " for " + inputs[i] +
                                    ": it is not a regular file (a device, a FIFO or a socket)");
            return false;
        }
        if (const std::string* other = written.find(targets.back())) {
            fail(kExitBadInput, *other + " and " + inputs[i] + " would both be written to " + targets.back() +
                                    ": export them into different folders");
            return false;
        }
        written.add(targets.back(), inputs[i]);
    }
    for (size_t i = 0; i < inputs.size(); ++i) {
        const std::string* writer = platform::exists(inputs[i]) ? written.find(inputs[i]) : nullptr;
        if (writer && *writer == inputs[i]) {
            fail(kExitBadInput, inputs[i] + " would be replaced by its own export: export it into another folder");
            return false;
        }
        if (writer) {
            fail(kExitBadInput, inputs[i] + " would be replaced by the export of " + *writer + " before it is read: "
                                "export into another folder");
            return false;
        }
        protectedFiles.add(inputs[i], "the input " + inputs[i]);
    }
    for (size_t i = 0; i < inputs.size(); ++i) protectedFiles.add(targets[i], "the target of " + inputs[i]);
    if (framePerFile) {
        if (const std::string problem = frameFilesProblem(targets, protectedFiles); !problem.empty()) {
            fail(kExitBadInput, problem);
            return false;
        }
    }
    return true;
}

// "a.obj, b.glb and 3 more".
std::string someNames(const std::vector<std::string>& names) {
    std::string text;
    const size_t shown = names.size() <= 3 ? names.size() : 2;
    for (size_t i = 0; i < shown; ++i) text += (i == 0 ? "" : i + 1 == names.size() ? " and " : ", ") + names[i];
    if (shown < names.size()) text += " and " + std::to_string(names.size() - shown) + " more";
    return text;
}

}  // namespace

bool writesFilePerFrame(const DialogScript& script, bool model) {
    bool animation = model, perFrame = false;
    for (const DialogChange& change : script.changes) {
        if (change.id == KRV_SETTINGS_ANIMATION) animation = change.value != 0;
        if (change.id == KRV_SETTINGS_FRAME_PER_FILE) perFrame = change.value != 0;
    }
    return animation && perFrame;
}

bool namesFolder(const std::string& output) {
    return !output.empty() && platform::isSeparator(static_cast<unsigned char>(output.back()));
}

std::string batchTarget(const std::string& folder, const std::string& input) {
    std::string name = fileName(input);
    if (endsWithIgnoringCase(name, ".korvo.json") && name.size() > 11) {
        name.resize(name.size() - 11);
    } else if (const size_t dot = name.rfind('.'); dot != std::string::npos && dot > 0) {
        name.resize(dot);
    }
    return (folder == "/" ? "" : folder) + "/" + name + ".x";
}

int runBatch(const std::vector<std::string>& inputs, const std::string& output, unsigned jobs,
             const ExportSettings& settings, unsigned readerSeconds) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point start = Clock::now();
    std::vector<std::string> targets;
    ExportSettings batchSettings = settings;
    const bool anyModel = std::any_of(inputs.begin(), inputs.end(), readsModel);
    if (!batchPlanned(inputs, folderOf(output), writesFilePerFrame(settings.script, anyModel), targets,
                      batchSettings.protectedFiles))
        return kExitBadInput;
    // Two exports side by side never pick one name for their embedded images.
    batchSettings.claimImage = reserveName;
    if (!platform::exists(settings.modulePath))
        return fail(kExitBadInput, "the module " + settings.modulePath + " does not exist (give --module PATH or set KORVO_MODULE)");
    // Options the dialog refuses are refused once, before any export.
    if (!settings.script.changes.empty()) {
        DialogRun run;
        if (const int status = probeDialog(settings.modulePath, settings.script, false, run); status != kExitOk)
            return status;
        if (run.refusal) return fail(kExitBadInput, settings.dialog->refusalMessage(*run.refusal));
    }

    const unsigned parallel = unsigned(std::min<size_t>(jobs ? jobs : coreCount(), inputs.size()));
    // Each worker process has its own session: the module is loaded once per worker.
    std::unique_ptr<ExportSession> session;
    WorkerTasks tasks;
    tasks.run = [&](size_t i) {
        if (!session) session = std::make_unique<ExportSession>(batchSettings);
        const ExportResult r = session->exportOne(inputs[i], targets[i]);
        JobOutcome outcome{r.status, uint32_t(r.files.size()), 0};
        for (const WrittenFile& f : r.files) outcome.bytes += f.bytes;
        return outcome;
    };
    tasks.finish = [&] { return session ? session->finish(kExitOk) : kExitOk; };
#ifdef KORVO_WITH_IMPORT
    // A model's export begins with the model reader, watched as in a single export.
    tasks.watched = [&](size_t i) { return readsModel(inputs[i]); };
    tasks.watchSeconds = readerSeconds;
    import::onReaderFinished(watchedPartDone);
#else
    (void)readerSeconds;
#endif

    const bool terminal = platform::isTerminal(stderr);
    size_t done = 0, exported = 0, files = 0;
    uint64_t bytes = 0;
    std::vector<std::string> failed;
    std::set<size_t> running;
    const auto showProgress = [&] {
        if (!terminal) return;
        std::fprintf(stderr, "\rkorvo: %zu/%zu done%s%s\033[K", done, inputs.size(), running.empty() ? "" : ", exporting ",
                     running.empty() ? "" : printable(fileName(inputs[*running.rbegin()])).c_str());
    };
    const auto started = [&](size_t i) {
        running.insert(i);
        showProgress();
    };
    const auto ended = [&](const JobReport& report) {
        running.erase(report.index);
        ++done;
        if (terminal) std::fputs("\r\033[K", stderr);
        std::fputs(report.messages.c_str(), stderr);
        const std::string input = printable(inputs[report.index]);
        if (report.timedOut)
            std::fprintf(stderr, "korvo: the model reader gave up after %u s on %s\n", readerSeconds, input.c_str());
#ifdef KORVO_WITH_IMPORT
        // Only a model's reader is watched, and only where models are read.
        else if (report.signal != 0 && report.inWatchedPart)
            std::fprintf(stderr, "korvo: the model reader crashed on %s (%s)\n", input.c_str(), strsignal(report.signal));
#endif
        else if (report.signal != 0)
            std::fprintf(stderr, "korvo: the export of %s failed: its worker process ended by signal %d\n",
                         input.c_str(), report.signal);
        if (report.outcome.status == kExitOk) {
            ++exported;
            files += report.outcome.files;
            bytes += report.outcome.bytes;
        } else {
            failed.push_back(printable(fileName(inputs[report.index])));
        }
        showProgress();
    };
    const int workers = runInWorkers(inputs.size(), parallel, tasks, started, ended);
    if (terminal) std::fputs("\r\033[K", stderr);

    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    std::fprintf(stderr, "korvo: %zu input%s: %zu exported (%zu file%s, %s)%s, %.2f s\n", inputs.size(),
                 inputs.size() == 1 ? "" : "s", exported, files, files == 1 ? "" : "s", sizeText(bytes).c_str(),
                 failed.empty() ? "" : (", " + std::to_string(failed.size()) + " failed (" + someNames(failed) + ")").c_str(),
                 seconds);
    if (!failed.empty()) return kExitFailed;
    return workers;
}

}  // namespace korvo::cli
