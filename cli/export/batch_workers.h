// Runs the jobs of a batch on worker processes, a few at a time: each worker runs one
// job after the other (so that what it sets up once, such as a loaded module, serves
// all of its jobs), and a crash ends only the job it was running. Each job's standard
// error is gathered and handed over whole when the job ends, so the lines of jobs
// running side by side never mix. A job may begin with a watched part (reading a model
// with a library that can crash or hang): a worker still in it after a time limit is
// killed, and a worker that dies in it is told apart from one dying later. (On Windows
// the jobs run one after the other in the command's own process, unwatched.)
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace korvo::cli {

struct JobOutcome {
    int status = 0;
    uint32_t files = 0;   // files written
    uint64_t bytes = 0;   // their size
};

struct JobReport {
    size_t index = 0;
    JobOutcome outcome;
    std::string messages;  // what the job wrote on standard error
    int signal = 0;        // the signal that ended the worker during the job, else 0
    bool timedOut = false;       // the worker was killed: the watched part took too long
    bool inWatchedPart = false;  // the worker ended (signal or time limit) in the watched part
};

struct WorkerTasks {
    // In a worker: runs job `index`.
    std::function<JobOutcome(size_t index)> run;
    // In a worker, after its last job: its exit status.
    std::function<int()> finish;
    // In the command's process: whether job `index` begins with a watched part, which
    // ends when the job calls watchedPartDone(). Empty: no job has one.
    std::function<bool(size_t index)> watched;
    // The seconds a watched part may take from the job's start (0: no limit).
    unsigned watchSeconds = 0;
};

// In a worker, during a job: its watched part has ended.
void watchedPartDone();

// In a worker, during a job: reserves the file name `name` for the job, in one step in
// the command's process, so that two jobs never pick one name for files they write
// (an embedded image of each). False when another job of the batch holds it. Outside a
// worker every name is free.
bool reserveName(const std::string& name);

// The processors the system offers (at least 1).
unsigned coreCount();

// Runs jobs 0 .. count - 1 on up to `parallel` workers. `started(index)` and
// `ended(report)` are called in the command's process, in the order things happen.
// Returns the highest exit status a worker ended with (0 when every worker ended well).
int runInWorkers(size_t count, unsigned parallel, const WorkerTasks& tasks,
                 const std::function<void(size_t)>& started, const std::function<void(const JobReport&)>& ended);

}  // namespace korvo::cli
