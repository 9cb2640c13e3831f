#include "korvo/import/reader_guard.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#ifdef __linux__
#include <sys/prctl.h>
#endif
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <new>

namespace korvo::import {

namespace {

// In the child: the pipe's writing end until the reader has finished.
int finishedPipe = -1;
// Elsewhere: who else is told.
void (*finishedReport)() = nullptr;

// In the parent: the child to forward signals to, and the last signal that reached the
// parent (so that a child ended by it is not taken for a crashing reader).
volatile sig_atomic_t childPid = 0;
volatile sig_atomic_t receivedSignal = 0;

constexpr int kForwarded[] = {SIGINT, SIGTERM, SIGHUP};

void forwardSignal(int signal, siginfo_t* info, void*) {
    receivedSignal = signal;
    // The kernel sends a terminal's signals to the whole foreground group, the child too.
    if (info->si_code != SI_KERNEL && childPid > 0) kill(childPid, signal);
}

class ForwardSignals {
public:
    explicit ForwardSignals(pid_t child) {
        childPid = child;
        receivedSignal = 0;
        struct sigaction action {};
        action.sa_sigaction = forwardSignal;
        action.sa_flags = SA_SIGINFO;
        sigemptyset(&action.sa_mask);
        for (size_t i = 0; i < std::size(kForwarded); ++i) sigaction(kForwarded[i], &action, &previous_[i]);
    }
    ~ForwardSignals() {
        for (size_t i = 0; i < std::size(kForwarded); ++i) sigaction(kForwarded[i], &previous_[i], nullptr);
        childPid = 0;
    }
    ForwardSignals(const ForwardSignals&) = delete;
    ForwardSignals& operator=(const ForwardSignals&) = delete;

private:
    struct sigaction previous_[std::size(kForwarded)];
};

[[noreturn]] void runChild(pid_t parent, int writeEnd, const std::string& input, const std::function<int()>& job) {
#ifdef __linux__
    // A parent killed outright (SIGKILL, an alarm) takes a hanging reader with it.
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != parent) _exit(1);
#else
    (void)parent;
#endif
    // A crash the parent reports must not also leave a core file in the working folder,
    // replacing a user's file named "core".
    const rlimit noCore{0, 0};
    setrlimit(RLIMIT_CORE, &noCore);
    finishedPipe = writeEnd;
    int status = 1;
    try {
        status = job();
    } catch (const std::bad_alloc&) {
        // Named as every other out-of-memory line names it; no allocation while memory is short.
        const bool reading = finishedPipe >= 0;
        std::fprintf(stderr, reading ? "korvo: %s: cannot be read: out of memory\n" : "korvo: %s: out of memory\n",
                     input.c_str());
        status = reading ? 2 : 1;
    }
    std::exit(status);  // flushes the standard streams, runs the leak check of a sanitizer build
}

// Waits until the reader has finished (true) or the pipe closes without it (false);
// -1 when `seconds` run out first.
int waitForReader(int readEnd, unsigned seconds) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + std::chrono::seconds(seconds);
    for (;;) {
        int timeout = -1;
        if (seconds > 0) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
            if (left <= 0) return -1;
            timeout = static_cast<int>(left);
        }
        pollfd fd{readEnd, POLLIN, 0};
        const int ready = poll(&fd, 1, timeout);
        if (ready < 0 && errno == EINTR) continue;
        if (ready == 0) return -1;
        char byte = 0;
        ssize_t n = 0;
        do n = read(readEnd, &byte, 1);
        while (n < 0 && errno == EINTR);
        return n == 1;
    }
}

int waitForChild(pid_t child) {
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    return status;
}

}  // namespace

GuardedRun runReaderGuarded(unsigned seconds, const std::string& input, const std::function<int()>& job) {
    int ends[2];
    if (pipe2(ends, O_CLOEXEC) != 0) return {GuardedRun::End::Exited, job(), 0};
    std::fflush(nullptr);  // nothing buffered may be written twice
    const pid_t parent = getpid();
    const pid_t child = fork();
    if (child < 0) {
        close(ends[0]);
        close(ends[1]);
        return {GuardedRun::End::Exited, job(), 0};
    }
    if (child == 0) {
        close(ends[0]);
        runChild(parent, ends[1], input, job);
    }
    close(ends[1]);
    const ForwardSignals forward(child);
    const int finished = waitForReader(ends[0], seconds);
    close(ends[0]);
    if (finished < 0) {
        kill(child, SIGKILL);
        waitForChild(child);
        return {GuardedRun::End::ReaderTimedOut, 0, SIGKILL};
    }
    const int status = waitForChild(child);
    if (WIFEXITED(status)) return {GuardedRun::End::Exited, WEXITSTATUS(status), 0};
    const int signal = WTERMSIG(status);
    const bool crashed = finished == 0 && signal != receivedSignal;
    return {crashed ? GuardedRun::End::ReaderCrashed : GuardedRun::End::Killed, 0, signal};
}

void onReaderFinished(void (*report)()) { finishedReport = report; }

void readerFinished() {
    if (finishedPipe < 0) {
        if (finishedReport) finishedReport();
        return;
    }
    const char byte = 1;
    while (write(finishedPipe, &byte, 1) < 0 && errno == EINTR) {
    }
    close(finishedPipe);
    finishedPipe = -1;
}

}  // namespace korvo::import
