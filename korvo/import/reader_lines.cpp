#include "korvo/import/reader_lines.h"

#include <unistd.h>

#include <cstdio>
#include <iostream>
#include <system_error>

#include "korvo/console/status_line.h"

namespace korvo::import {

namespace {

// A reader that prints a line per vertex would bury everything else.
constexpr size_t kMostLines = 200;

void flushStreams() {
    std::cout.flush();
    std::cerr.flush();
    std::fflush(stdout);
    std::fflush(stderr);
}

}  // namespace

ReaderLines::ReaderLines(const std::string& model) : prefix_("korvo: " + model + ": reader: ") {
    int ends[2];
    flushStreams();
    if (::pipe(ends) != 0) return;
    // With standard output or error closed the pipe would take their numbers: nothing is caught.
    if (ends[0] <= STDERR_FILENO || ends[1] <= STDERR_FILENO) {
        ::close(ends[0]);
        ::close(ends[1]);
        return;
    }
    savedOutput_ = ::dup(STDOUT_FILENO);
    savedError_ = ::dup(STDERR_FILENO);
    bool caught = savedOutput_ >= 0 && savedError_ >= 0 && ::dup2(ends[1], STDOUT_FILENO) >= 0 &&
                  ::dup2(ends[1], STDERR_FILENO) >= 0;
    ::close(ends[1]);
    if (caught) {
        try {
            reader_ = std::thread([this, from = ends[0]] { passOn(from); });
        } catch (const std::system_error&) {
            caught = false;
        }
    }
    if (!caught) {
        // The reader's lines go where they went.
        ::close(ends[0]);
        if (savedOutput_ >= 0) ::dup2(savedOutput_, STDOUT_FILENO), ::close(savedOutput_);
        if (savedError_ >= 0) ::dup2(savedError_, STDERR_FILENO), ::close(savedError_);
        savedOutput_ = savedError_ = -1;
    }
}

ReaderLines::~ReaderLines() {
    if (savedError_ < 0) return;
    flushStreams();
    // The pipe's last writers go, and the thread reads to its end.
    ::dup2(savedOutput_, STDOUT_FILENO);
    ::dup2(savedError_, STDERR_FILENO);
    reader_.join();
    ::close(savedOutput_);
    ::close(savedError_);
}

void ReaderLines::passOn(int from) const {
    std::string pending;
    size_t lines = 0, leftOut = 0;
    const auto finishLine = [&] {
        if (pending.empty()) return;
        if (lines++ < kMostLines) {
            // Control characters of a damaged file stay off the terminal.
            for (char& c : pending)
                if ((static_cast<unsigned char>(c) < 0x20 && c != '\t') || c == 0x7f) c = '?';
            writeError(savedError_, prefix_ + pending + "\n");
        } else {
            ++leftOut;
        }
        pending.clear();
    };
    char buffer[4096];
    for (ssize_t n; (n = ::read(from, buffer, sizeof buffer)) != 0;) {
        if (n < 0) break;
        for (ssize_t i = 0; i < n; ++i) {
            if (buffer[i] == '\n') finishLine();
            else if (buffer[i] != '\r') pending += buffer[i];
        }
    }
    finishLine();
    if (leftOut > 0) writeError(savedError_, prefix_ + std::to_string(leftOut) + " more lines left out\n");
    ::close(from);
}

}  // namespace korvo::import
