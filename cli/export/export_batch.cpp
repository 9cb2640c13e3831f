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

int runBatch(const std::vector<std::string>& inputs, unsigned jobs,
             const ExportSettings& settings, unsigned readerSeconds) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point start = Clock::now();
    ExportSettings batchSettings = settings;
    const std::vector<std::string>& targets = settings.plan.targets;
    // Two exports side by side never pick one name for their embedded images.
    batchSettings.plan.reserve = reserveName;
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
