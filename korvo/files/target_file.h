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
#include <map>
#include <string>
#include <tuple>
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

// Files a command must not write, compared by what they are once links are followed:
// an existing file by its device and inode, and any file by its folder's device and inode
// and its name, so that a file that does not exist yet is known once it is created.
class ProtectedFiles {
public:
    // `what` names the file in a message: "the input walk_3.x".
    void add(const std::string& path, const std::string& what);
    // What `path` would write over ("the input walk_3.x"), or null.
    const std::string* find(const std::string& path) const;
    bool empty() const { return keys_.empty(); }

private:
    using Key = std::tuple<uint64_t, uint64_t, std::string>;  // device, inode, name ("" for the file)
    std::map<Key, std::string> keys_;
};

// The one check for a side file: a file a command writes beside the target the user
// named (a frame file NAME_3.x, an embedded image NAME.png), which the user did not name.
// "" when `sideFile` may be written, else why not (without the side file's name):
// - `target` is standard output, a device, a FIFO, a socket, a path through an open
//   descriptor, or a link to one of them: nothing goes beside it;
// - `sideFile` is one of `protectedFiles` (an input; a batch's other targets);
// - `sideFile` exists and is not a regular file (a FIFO would block the export).
// With `sideFile` empty, only whether anything may be written beside `target`.
std::string sideFileProblem(const std::string& target, const std::string& sideFile,
                            const ProtectedFiles& protectedFiles = ProtectedFiles());

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
