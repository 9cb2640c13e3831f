#include "cli/model/model_options.h"

#include <csignal>
#include <cstring>

#include "cli/command.h"
#include "cli/session.h"
#include "korvo/import/reader_guard.h"
#include "korvo/files/platform.h"

namespace korvo::cli {

void addReaderTimeLimit(CLI::App& command, unsigned& seconds) {
    seconds = kReaderTimeLimit;
    command.add_option("--reader-time-limit", seconds,
                       "seconds the model reader may take before it is stopped (default " +
                           std::to_string(kReaderTimeLimit) + "; 0: no limit)")
        ->type_name("SECONDS");
}

void addAnimationChoice(CLI::App& command, std::string& choice) {
    command.add_option("--animation-index", choice,
                       "the model's animation to make the current take, written alone unless --all-takes, by its "
                       "number (from 0) or name (default: the first; korvo check lists them)")
        ->type_name("N|NAME");
}

namespace {

bool anyCarriesNormals(const std::vector<SceneObject>& objects) {
    for (const SceneObject& object : objects)
        if ((object.normals && !object.normals->empty()) ||
            (object.arrays && object.arrays->normalOfVertex && !object.arrays->normalOfVertex->empty()) ||
            anyCarriesNormals(object.children))
            return true;
    return false;
}

}  // namespace

bool modelCarriesNormals(const Scene& scene) { return anyCarriesNormals(scene.objects); }

int runWithModelReader(const std::string& file, unsigned seconds, const std::function<int()>& job,
                       const std::function<void()>& cleanUp) {
    using End = import::GuardedRun::End;
    const import::GuardedRun run = import::runReaderGuarded(seconds, file, job);
    if (cleanUp) cleanUp();
    // A reading process that was ended may have left its progress line drawn.
    if (run.end != End::Exited && platform::isTerminal(stderr)) std::fputs("\r\033[K", stderr);
    switch (run.end) {
    case End::Exited:
        return run.status;
    case End::ReaderCrashed:
        return fail(kExitBadInput, "the model reader crashed on " + file + " (" + strsignal(run.signal) + ")");
    case End::ReaderTimedOut:
        return fail(kExitBadInput, "the model reader gave up after " + std::to_string(seconds) + " s on " + file);
    case End::Killed:
        break;
    }
    // As if there were no child: the signal that ended it ends this process too.
    std::signal(run.signal, SIG_DFL);
    std::raise(run.signal);
    return 128 + run.signal;
}

}  // namespace korvo::cli
