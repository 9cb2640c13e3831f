// The korvo command as a process under the limits a fault test needs: a time limit
// (a run that hangs is killed and reported, not waited for) and a file-size limit
// (a disk that fills up during the write).
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "e2e/harness.h"

namespace korvo::reliability {

struct Limits {
    unsigned seconds = 120;        // SIGALRM ends the run after this long
    int64_t fileSizeLimit = -1;    // bytes any file, the captured output too, may grow to; -1: none
};

// Runs KORVO_COMMAND_PATH like e2e::runKorvo, under `limits`. A run killed by the
// time limit has status 128 + SIGALRM.
e2e::CommandResult runKorvoLimited(const std::vector<std::string>& arguments, const std::string& folder,
                                   const std::map<std::string, std::string>& environment, Limits limits);

bool timedOut(const e2e::CommandResult& r);

}  // namespace korvo::reliability
