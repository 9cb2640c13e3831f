// The model reader library can crash or loop forever on a damaged file. A command that
// reads a model runs its whole job in one child process; the parent waits, within a time
// limit, until the child says that the reader has finished, and turns a crash or a hang
// of the reader into one line instead of taking the command down with it.
#pragma once

#include <functional>
#include <string>

namespace korvo::import {

struct GuardedRun {
    enum class End {
        Exited,          // the job returned: `status` is its exit status
        ReaderCrashed,   // the child died by `signal` before the reader finished
        ReaderTimedOut,  // the reader had not finished within the limit; the child was killed
        Killed,          // the child died by `signal` after the reader had finished
    };
    End end = End::Exited;
    int status = 0;
    int signal = 0;
};

// Forks; the child runs `job` and exits with its result. The parent forwards SIGINT,
// SIGTERM and SIGHUP sent to it alone (a terminal's Ctrl-C reaches both processes by
// itself) and kills the child when it has not called readerFinished() within `seconds`
// (0: no limit). When no child can be made, `job` runs in this process. Memory running
// out in the child's `job` ends it with one line naming `input` (the model read) and the
// status 2 while the reader runs, as for input that cannot be read, 1 after.
GuardedRun runReaderGuarded(unsigned seconds, const std::string& input, const std::function<int()>& job);

// Called by the job once the model reader has returned (and released its scene); outside
// a guarded run it only calls what onReaderFinished() gave.
void readerFinished();

// Outside a guarded run, what readerFinished() calls: a batch worker tells the command,
// which holds the time limit of each model it exports (cli/export/batch_workers.h).
void onReaderFinished(void (*report)());

}  // namespace korvo::import
