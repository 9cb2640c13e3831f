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
#include <cstdint>
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
    uint64_t written = 0;   // bytes written
    uint64_t handedOver = 0;  // bytes whose writing to the disk was started
};

// How a target is written: the file it finally names, links followed, and whether it is
// written in place (a device, FIFO or socket, or a path through an open descriptor such as
// /dev/stdout) rather than replaced. False with the reason in `error`: an empty name, a
// folder, a loop of links.
struct ResolvedTarget {
    std::string path;
    bool inPlace = false;
};
bool resolveTarget(const std::string& target, ResolvedTarget& out, std::string& error);

// The folder of `path`: "." for a bare name, "/" for a file in the root.
std::string folderOf(const std::string& path);

// Opens `target` for writing. False with the reason (without the name) in `error`.
bool openTarget(const std::string& target, TargetFile& file, std::string& error);
// Writes every byte. False with the reason in `error`.
bool writeTarget(TargetFile& file, const char* bytes, size_t count, std::string& error);
// Flushes the file to the disk and puts it in place. False with the reason in `error`:
// the temporary file is gone and the earlier file untouched.
bool commitTarget(TargetFile& file, std::string& error);
// Closes an open target without putting it in place.
void abandonTarget(TargetFile& file);

// `count` bytes as a new file `path`, which must not exist: the bytes go to a temporary
// file that takes the name only if no file has it, in one step, so that a file that
// appears meanwhile is never replaced. False with the reason in `error`; `existed` is set
// when a file of that name was there first.
bool writeNewFile(const std::string& path, const char* bytes, size_t count, bool& existed, std::string& error);

// `count` bytes as the whole of `target`. False with "cannot write TARGET: REASON" in `error`.
bool writeWholeTarget(const std::string& target, const char* bytes, size_t count, std::string& error);
bool writeWholeTarget(const std::string& target, const std::string& text, std::string& error);

}  // namespace korvo
