// Standard error as the command writes it: its lines, and on a terminal one progress
// line below them that is redrawn in place and cleared before any other line is
// written. Every line written to standard error while a progress line may be drawn goes
// through printError or writeError.
#pragma once

#include <functional>
#include <string>
#ifndef _WIN32
#include <condition_variable>
#include <mutex>
#include <thread>
#endif

#if defined(__MINGW32__)
#define KORVO_PRINTF(text, first) __attribute__((format(__MINGW_PRINTF_FORMAT, text, first)))
#else
#define KORVO_PRINTF(text, first) __attribute__((format(printf, text, first)))
#endif

namespace korvo {

// fprintf(stderr, ...), after clearing the progress line.
void printError(const char* format, ...) KORVO_PRINTF(1, 2);
// Writes `text` (whole lines) to `fd`, a copy of standard error's descriptor, after
// clearing the progress line.
void writeError(int fd, const std::string& text);
// Clears the progress line from a signal handler: async-signal-safe.
void clearProgressLineOnSignal();

// A line that says what a long task is doing, drawn on standard error only when it is a
// terminal, only once the task has run for a second, and then redrawn four times a
// second by a thread of its own. `describe` gives the text (without a line feed); it
// runs on that thread, so it may read only what is safe to read from there (atomics).
class ProgressLine {
public:
    explicit ProgressLine(std::function<std::string()> describe);
    ~ProgressLine();  // stop()
    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;

    // Ends the thread and clears the line; nothing is drawn after.
    void stop();

private:
    void run();

    std::function<std::string()> describe_;
#ifndef _WIN32
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stopping_ = false;
    std::thread thread_;
#endif
};

}  // namespace korvo
