// The guarded run of the model reader: what a job that runs out of memory in the child says.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <functional>
#include <new>
#include <string>

#include "korvo/import/reader_guard.h"

namespace korvo::import {
namespace {

// The child's standard error, through a pipe (the lines are far shorter than its buffer).
std::string errorsOf(const std::string& input, const std::function<int()>& job, GuardedRun& run) {
    int ends[2];
    if (pipe(ends) != 0) return "no pipe";
    std::fflush(stderr);
    const int saved = dup(2);
    dup2(ends[1], 2);
    close(ends[1]);
    run = runReaderGuarded(0, input, job);
    dup2(saved, 2);
    close(saved);
    std::string text;
    char buffer[256];
    for (ssize_t n; (n = read(ends[0], buffer, sizeof buffer)) > 0;) text.append(buffer, size_t(n));
    close(ends[0]);
    return text;
}

// As every other out-of-memory line: the model named, bad input while the reader runs.
TEST(ReaderGuard, MemoryRunningOutInTheJobNamesTheModel) {
    const struct {
        bool readerDone;
        int status;
        std::string line;
    } rows[] = {
        {false, 2, "korvo: models/big.glb: cannot be read: out of memory\n"},
        {true, 1, "korvo: models/big.glb: out of memory\n"},
    };
    for (const auto& row : rows) {
        GuardedRun run;
        const std::string errors = errorsOf("models/big.glb", [&row]() -> int {
            if (row.readerDone) readerFinished();
            throw std::bad_alloc();
        }, run);
        EXPECT_EQ(run.end, GuardedRun::End::Exited);
        EXPECT_EQ(run.status, row.status);
        EXPECT_EQ(errors, row.line);
    }
}

}  // namespace
}  // namespace korvo::import
