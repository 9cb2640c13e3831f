#include "korvo/console/status_line.h"

#include <cstdarg>
#include <cstdio>

#ifndef _WIN32
#include <sys/ioctl.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <system_error>
#endif

namespace korvo {

#ifdef _WIN32

// The Windows build draws no progress line: only the lines themselves.
void printError(const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    std::vfprintf(stderr, format, arguments);
    va_end(arguments);
}

void writeError(int, const std::string& text) { std::fputs(text.c_str(), stderr); }
void clearProgressLineOnSignal() {}

ProgressLine::ProgressLine(std::function<std::string()> describe) : describe_(std::move(describe)) {}
ProgressLine::~ProgressLine() = default;
void ProgressLine::stop() {}
void ProgressLine::run() {}

#else

namespace {

// One progress line at a time: the terminal it is drawn on (standard error when it
// began, kept while a model reader's lines are caught) and whether it shows now.
// Atomic for a signal handler that clears the line.
std::mutex gLock;
std::atomic<int> gTerminal{-1};
std::atomic<bool> gDrawn{false};

void writeAll(int fd, const char* bytes, size_t size) {
    for (size_t done = 0; done < size;) {
        const ssize_t n = ::write(fd, bytes + done, size - done);
        if (n <= 0) return;
        done += size_t(n);
    }
}

constexpr char kClear[] = "\r\033[K";

void clearLocked() {
    if (!gDrawn) return;
    writeAll(gTerminal, kClear, sizeof kClear - 1);
    gDrawn = false;
}

// A line longer than the terminal would wrap, and the carriage return would go back
// only to the start of its last row.
size_t terminalWidth(int fd) {
    winsize size{};
    if (::ioctl(fd, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
    return 80;
}

// One row of the terminal: no control characters (a file name may hold any), and cut
// at a character's start.
std::string fitted(std::string text, size_t width) {
    for (char& c : text)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = '?';
    if (text.size() < width) return text;
    text.resize(width - 1);
    while (!text.empty() && (static_cast<unsigned char>(text.back()) & 0xC0) == 0x80) text.pop_back();
    if (!text.empty() && static_cast<unsigned char>(text.back()) >= 0xC0) text.pop_back();
    return text;
}

}  // namespace

void printError(const char* format, ...) {
    const std::lock_guard<std::mutex> held(gLock);
    clearLocked();
    va_list arguments;
    va_start(arguments, format);
    std::vfprintf(stderr, format, arguments);
    va_end(arguments);
}

void writeError(int fd, const std::string& text) {
    const std::lock_guard<std::mutex> held(gLock);
    clearLocked();
    writeAll(fd, text.data(), text.size());
}

void clearProgressLineOnSignal() {
    const int terminal = gTerminal;
    if (terminal >= 0 && gDrawn.exchange(false)) writeAll(terminal, kClear, sizeof kClear - 1);
}

ProgressLine::ProgressLine(std::function<std::string()> describe) : describe_(std::move(describe)) {
    if (::isatty(STDERR_FILENO) != 1) return;
    const std::lock_guard<std::mutex> held(gLock);
    if (gTerminal >= 0) return;  // another line is running
    gTerminal = ::dup(STDERR_FILENO);
    if (gTerminal < 0) return;
    try {
        thread_ = std::thread([this] { run(); });
    } catch (const std::system_error&) {
        ::close(gTerminal);
        gTerminal = -1;
    }
}

ProgressLine::~ProgressLine() { stop(); }

void ProgressLine::stop() {
    if (!thread_.joinable()) return;
    {
        const std::lock_guard<std::mutex> held(mutex_);
        stopping_ = true;
    }
    wake_.notify_one();
    thread_.join();
    const std::lock_guard<std::mutex> held(gLock);
    clearLocked();
    ::close(gTerminal.exchange(-1));
}

void ProgressLine::run() {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point start = Clock::now();
    std::string shown;
    std::unique_lock<std::mutex> lock(mutex_);
    while (!wake_.wait_for(lock, std::chrono::milliseconds(250), [this] { return stopping_; })) {
        if (Clock::now() - start < std::chrono::seconds(1)) continue;
        const std::string text = fitted(describe_(), terminalWidth(gTerminal));
        const std::lock_guard<std::mutex> held(gLock);
        if (gDrawn && text == shown) continue;
        shown = text;
        const std::string line = "\r" + text + "\033[K";
        writeAll(gTerminal, line.data(), line.size());
        gDrawn = true;
    }
}

#endif

}  // namespace korvo
