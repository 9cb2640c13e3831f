// Writing a file the user named, the one way every command does it:
// - a regular file (new or existing) is written to a temporary file of fixed-length name
//   in its folder, flushed to the disk, renamed over it, and the folder flushed; an
//   existing file keeps its permission bits, owner and group;
// - a symbolic link stays: the file it finally points to is replaced (or created, for a
//   dangling link whose folder exists);
// - a device, FIFO or socket, or a path through an open descriptor (/dev/stdout), is
//   written in place; "-" is standard output;
// - a failure or an interrupt (platform::guardInterrupts) leaves no temporary file and
//   every earlier file as it was.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace korvo {

// The target name that means standard output.
constexpr char kStandardOutput[] = "-";

struct TargetFile {
    int fd = -1;
    std::string target;     // as the user named it
    std::string temporary;  // beside the file replaced; "" when written in place
    std::string replaced;   // the file the target finally names, links followed
};

// Before any work is done: "" when `target` can be written, else why not, as
// "cannot write TARGET: the folder F does not exist". A target that is one of `inputs`
// (the same file, links followed) is refused: writing it would destroy what is read.
std::string targetProblem(const std::string& target, const std::vector<std::string>& inputs = {});

// Opens `target` for writing. False with the reason (without the name) in `error`.
bool openTarget(const std::string& target, TargetFile& file, std::string& error);
// Writes every byte. False with the reason in `error`.
bool writeTarget(TargetFile& file, const char* bytes, size_t count, std::string& error);
// Flushes the file to the disk and puts it in place. False with the reason in `error`:
// the temporary file is gone and the earlier file untouched.
bool commitTarget(TargetFile& file, std::string& error);
// Closes an open target without putting it in place.
void abandonTarget(TargetFile& file);

// `count` bytes as the whole of `target`. False with "cannot write TARGET: REASON" in `error`.
bool writeWholeTarget(const std::string& target, const char* bytes, size_t count, std::string& error);
bool writeWholeTarget(const std::string& target, const std::string& text, std::string& error);

}  // namespace korvo
