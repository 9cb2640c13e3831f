#include "cli/export/batch_workers.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <map>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "korvo/files/platform.h"
#endif

namespace korvo::cli {

#ifdef _WIN32

unsigned coreCount() {
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    return info.dwNumberOfProcessors > 0 ? unsigned(info.dwNumberOfProcessors) : 1;
}

void watchedPartDone() {}

bool reserveName(const std::string&) { return true; }

int runInWorkers(size_t count, unsigned, const WorkerTasks& tasks, const std::function<void(size_t)>& started,
                 const std::function<void(const JobReport&)>& ended) {
    for (size_t i = 0; i < count; ++i) {
        started(i);
        JobReport report;
        report.index = i;
        report.outcome = tasks.run(i);
        ended(report);
    }
    return tasks.finish();
}

#else

unsigned coreCount() {
    const long n = sysconf(_SC_NPROCESSORS_ONLN);
    return n > 0 ? unsigned(n) : 1;
}

namespace {

using Clock = std::chrono::steady_clock;

// What a worker sends back: that a job's watched part has ended, that the job has ended
// (followed by `textSize` bytes of messages), or that it asks for a name (followed by
// the name's `textSize` bytes; the command answers one byte, 1 when it is granted).
struct ReportHeader {
    enum Kind : uint32_t { JobEnded, WatchedPartDone, ReserveName };
    uint64_t index;
    int32_t status;
    uint32_t files;
    uint64_t bytes;
    uint64_t textSize;
    Kind kind;
};

// In a worker: its end of the channel to the command.
int workerChannel = -1;

bool sendAll(int fd, const void* data, size_t size) {
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = send(fd, p, size, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        p += n;
        size -= size_t(n);
    }
    return true;
}

// False at the end of the stream or on an error.
bool receiveAll(int fd, void* data, size_t size) {
    char* p = static_cast<char*>(data);
    while (size > 0) {
        const ssize_t n = recv(fd, p, size, 0);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        p += n;
        size -= size_t(n);
    }
    return true;
}

// The whole content of the open file `fd`, then empties it.
std::string takeContent(int fd) {
    struct stat info;
    std::string text;
    if (fstat(fd, &info) == 0 && info.st_size > 0) {
        text.resize(size_t(info.st_size));
        const ssize_t n = pread(fd, text.data(), text.size(), 0);
        text.resize(n > 0 ? size_t(n) : 0);
    }
    if (ftruncate(fd, 0) != 0 || lseek(fd, 0, SEEK_SET) < 0) text += "korvo: cannot reset the message buffer\n";
    return text;
}

// The worker's life: job numbers in, reports out, until the command sends no more.
[[noreturn]] void workerMain(int channel, const WorkerTasks& tasks) {
    // Standard error goes to an unnamed scratch file while a job runs.
    std::fflush(stderr);
    const int realError = dup(2);
    std::FILE* capture = std::tmpfile();
    if (capture) dup2(fileno(capture), 2);
    workerChannel = channel;
    uint64_t index;
    while (receiveAll(channel, &index, sizeof index)) {
        const JobOutcome outcome = tasks.run(size_t(index));
        std::fflush(stdout);
        std::fflush(stderr);
        const std::string text = capture ? takeContent(fileno(capture)) : std::string();
        const ReportHeader header{index, outcome.status, outcome.files, outcome.bytes, text.size(), ReportHeader::JobEnded};
        if (!sendAll(channel, &header, sizeof header) || !sendAll(channel, text.data(), text.size())) break;
    }
    dup2(realError, 2);
    const int status = tasks.finish();
    std::fflush(stdout);
    std::fflush(stderr);
    _exit(status);
}

struct Worker {
    pid_t pid = -1;
    int channel = -1;  // the command's end of the worker's socket pair
    bool busy = false;
    size_t job = 0;
    bool watching = false;        // the job is in its watched part
    Clock::time_point deadline;   // when the watched part has taken too long
};

// The milliseconds poll may wait before a watched part takes too long; -1: no limit.
int pollTimeout(const std::vector<Worker>& workers, unsigned seconds) {
    if (seconds == 0) return -1;
    int timeout = -1;
    for (const Worker& w : workers) {
        if (!w.busy || !w.watching) continue;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(w.deadline - Clock::now()).count();
        const int ms = left <= 0 ? 0 : int(std::min<long long>(left + 1, 1 << 30));
        timeout = timeout < 0 ? ms : std::min(timeout, ms);
    }
    return timeout;
}

bool startWorker(std::vector<Worker>& workers, const WorkerTasks& tasks) {
    int ends[2];
    if (socketpair(AF_UNIX, SOCK_STREAM, 0, ends) != 0) return false;
    std::fflush(stdout);
    std::fflush(stderr);
    const pid_t parent = getpid();
    const pid_t pid = fork();
    if (pid < 0) {
        close(ends[0]);
        close(ends[1]);
        return false;
    }
    if (pid == 0) {
        // A command killed outright takes its workers with it: none writes after the batch ended.
        if (!platform::endWithParent(parent)) _exit(1);
        close(ends[0]);
        for (const Worker& w : workers) close(w.channel);
        workerMain(ends[1], tasks);
    }
    close(ends[1]);
    // An interrupt of the command reaches the worker first, which removes its temporary
    // files; a worker it could not reach is not used.
    if (!platform::forwardInterruptsTo(pid)) {
        kill(pid, SIGKILL);
        while (waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
        }
        close(ends[0]);
        return false;
    }
    Worker worker;
    worker.pid = pid;
    worker.channel = ends[0];
    workers.push_back(worker);
    return true;
}

// Waits for the worker to end: its exit status, or 128 + the signal that ended it.
int reap(const Worker& worker, int& signal) {
    int status = 0;
    while (waitpid(worker.pid, &status, 0) < 0 && errno == EINTR) {
    }
    platform::stopForwardingTo(worker.pid);
    signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + signal;
}

}  // namespace

void watchedPartDone() {
    if (workerChannel < 0) return;
    const ReportHeader header{0, 0, 0, 0, 0, ReportHeader::WatchedPartDone};
    sendAll(workerChannel, &header, sizeof header);
}

bool reserveName(const std::string& name) {
    if (workerChannel < 0) return true;
    const ReportHeader header{0, 0, 0, 0, name.size(), ReportHeader::ReserveName};
    unsigned char granted = 0;
    return sendAll(workerChannel, &header, sizeof header) && sendAll(workerChannel, name.data(), name.size()) &&
           receiveAll(workerChannel, &granted, 1) && granted == 1;
}

int runInWorkers(size_t count, unsigned parallel, const WorkerTasks& tasks, const std::function<void(size_t)>& started,
                 const std::function<void(const JobReport&)>& ended) {
    std::vector<Worker> workers;
    std::map<std::string, size_t> reserved;  // name -> the job holding it
    size_t next = 0;
    int worst = 0;
    const auto retire = [&](size_t w) {
        close(workers[w].channel);
        int signal = 0;
        const int status = reap(workers[w], signal);
        // A worker that ended during a job has failed that job, which says so.
        if (!workers[w].busy) worst = std::max(worst, status);
        workers.erase(workers.begin() + long(w));
        return signal;
    };
    while (true) {
        // Every idle worker gets the next job; while jobs wait, workers are added.
        for (size_t w = 0; w < workers.size() || (next < count && workers.size() < parallel); ++w) {
            if (w == workers.size() && !startWorker(workers, tasks)) break;
            Worker& worker = workers[w];
            if (worker.busy || next >= count) continue;
            const uint64_t index = next;
            if (!sendAll(worker.channel, &index, sizeof index)) continue;
            worker.busy = true;
            worker.job = next++;
            worker.watching = tasks.watched && tasks.watched(worker.job);
            worker.deadline = Clock::now() + std::chrono::seconds(tasks.watchSeconds);
            started(worker.job);
        }
        // No job left for an idle worker: it may finish.
        if (next >= count)
            for (Worker& worker : workers)
                if (!worker.busy) shutdown(worker.channel, SHUT_WR);
        std::vector<pollfd> waiting;
        for (const Worker& worker : workers)
            if (worker.busy) waiting.push_back({worker.channel, POLLIN, 0});
        if (waiting.empty()) break;
        if (poll(waiting.data(), waiting.size(), pollTimeout(workers, tasks.watchSeconds)) < 0) {
            if (errno == EINTR) continue;
            break;
        }
        for (const pollfd& p : waiting) {
            if (p.revents == 0) continue;
            const size_t w = size_t(std::find_if(workers.begin(), workers.end(),
                                                 [&](const Worker& x) { return x.channel == p.fd; }) - workers.begin());
            JobReport report;
            report.index = workers[w].job;
            ReportHeader header;
            const bool received = receiveAll(p.fd, &header, sizeof header);
            if (received && header.kind == ReportHeader::WatchedPartDone) {
                workers[w].watching = false;
                continue;
            }
            if (received && header.kind == ReportHeader::ReserveName) {
                std::string name(header.textSize, '\0');
                if (receiveAll(p.fd, name.data(), name.size())) {
                    const auto holder = reserved.emplace(name, workers[w].job).first;
                    const unsigned char granted = holder->second == workers[w].job ? 1 : 0;
                    if (sendAll(p.fd, &granted, 1)) continue;
                }
            }
            if (received) {
                report.messages.resize(header.textSize);
                if (receiveAll(p.fd, report.messages.data(), report.messages.size())) {
                    report.outcome = {header.status, header.files, header.bytes};
                    workers[w].busy = false;
                    ended(report);
                    continue;
                }
            }
            // The worker ended in the middle of the job: the job failed, the worker is gone.
            report.inWatchedPart = workers[w].watching;
            report.signal = retire(w);
            report.outcome.status = 1;
            report.messages.clear();
            ended(report);
        }
        // A worker still in a watched part past its time is killed: its job failed.
        for (size_t w = workers.size(); tasks.watchSeconds > 0 && w-- > 0;) {
            if (!workers[w].busy || !workers[w].watching || Clock::now() < workers[w].deadline) continue;
            JobReport report;
            report.index = workers[w].job;
            kill(workers[w].pid, SIGKILL);
            retire(w);
            report.outcome.status = 1;
            report.timedOut = report.inWatchedPart = true;
            ended(report);
        }
    }
    // The jobs are all given out, or no worker could be started for the rest.
    for (size_t i = next; i < count; ++i) {
        JobReport report;
        report.index = i;
        report.outcome.status = 1;
        report.messages = "korvo: no worker process could be started\n";
        started(i);
        ended(report);
    }
    while (!workers.empty()) retire(workers.size() - 1);
    return worst;
}

#endif

}  // namespace korvo::cli
