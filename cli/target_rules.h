// What a target named with -o must be before anything is read or written: a file name
// in a folder that exists and is writable, with the suffix of what is written there.
#pragma once

#include <string>
#include <vector>

#include "korvo/files/target_file.h"

namespace korvo::cli {

// The target can be written as every command writes one (korvo/files/target_file.h): a file
// name whose folder exists and is writable, a device, or "-", and none of `inputs`;
// otherwise false with the reason in `error`.
bool targetFolderUsable(const std::string& target, std::string& error, const std::vector<std::string>& inputs = {});

// A target that will be a regular file must end in `suffix` (".x", ".json"; any case),
// unless `forced`. Standard output ("-") and existing targets that are not regular
// files (devices, FIFOs) take any name. False with one line in `error` otherwise;
// `writes` says what the command writes ("korvo export writes DirectX .x files").
bool targetSuffixAccepted(const std::string& target, const std::string& suffix, bool forced, const std::string& writes,
                          std::string& error);

// With one file per frame, the export to a target writes STEM_0.x, STEM_1.x, ... beside
// it (STEM: the target's name without its suffix). "" when no such name of any of
// `targets` is taken by a file that may not be written over (one of `protectedFiles`,
// a FIFO, a device) or by another of `targets`; else one line naming both.
std::string frameFilesProblem(const std::vector<std::string>& targets, const ProtectedFiles& protectedFiles);

// True when `s` ends in `end`, ignoring the case of ASCII letters.
bool endsWithIgnoringCase(const std::string& s, const std::string& end);

}  // namespace korvo::cli
