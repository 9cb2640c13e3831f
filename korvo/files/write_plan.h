// Every file a command writes, decided and checked in one place. A command plans before
// it reads or writes anything: planWrites takes its inputs and -o and returns the target
// of each input, or the one line that refuses the command. Names known only once an input
// is read (an embedded image, a copied texture) and the frame files the module names are
// decided and checked by the same plan, in its second step, before they are written.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <tuple>
#include <vector>

namespace korvo {

// True when `s` ends in `end`, ignoring the case of ASCII letters.
bool endsWithIgnoringCase(const std::string& s, const std::string& end);

// True when -o names a folder to export into: it ends in a separator.
bool namesFolder(const std::string& output);

// "-" for a target that names the command's standard output through the file system
// (/dev/stdout, /dev/fd/1, /proc/self/fd/1): written in place as "-" writes it, where a
// file beside it cannot be made (a pipe, a terminal). Any other target as it is.
std::string standardOutputInPlace(const std::string& target);

// What a command is asked to write.
struct WriteRequest {
    std::vector<std::string> inputs;  // the files it reads
    std::string output;               // -o as given
    std::string suffix;               // what a written file's name ends in: ".x", ".json", ".png"
    std::string writes;               // "korvo export writes DirectX .x files": why the suffix
    bool forceName = false;           // --force-name: any suffix
    bool intoFolder = false;          // -o FOLDER/ exports each input to FOLDER/NAME.x
    bool framePerFile = false;        // the module writes STEM_0.x, STEM_1.x, ... beside each target
};

// Files a command must not write, compared by what they are once links are followed:
// an existing file by its device and inode, and any file by its folder's device and inode
// and its name, so that a file that does not exist yet is known once it is created.
class ProtectedFiles {
public:
    // `what` names the file in a message: "the input walk_3.x".
    void add(const std::string& path, const std::string& what);
    // What `path` would write over ("the input walk_3.x"), or null.
    const std::string* find(const std::string& path) const;

private:
    using Key = std::tuple<uint64_t, uint64_t, std::string>;  // device, inode, name ("" for the file)
    std::map<Key, std::string> keys_;
};

class WritePlan {
public:
    // The file each input is written to, in the order of the inputs: "-" for standard
    // output (however named), FOLDER/NAME.x in a folder.
    std::vector<std::string> targets;
    // In a batch: reserves a side file's name for the export of this process, false when
    // another export of the batch has it. Empty: every name is free.
    std::function<bool(const std::string& path)> reserve;

    // The second step: "" when `file`, which the command names beside `target` (an
    // embedded image, a copied texture), may be written; else why not (without the file's
    // name): `target` is standard output, a device, a FIFO, a socket, a path through an
    // open descriptor, or a link to one of them, beside which nothing goes; `file` is an
    // input or another target of the command; `file` exists and is not a regular file;
    // `file` is a link into a folder that does not exist.
    // With `file` empty, only whether anything may be written beside `target`.
    std::string sideFileProblem(const std::string& target, const std::string& file = std::string()) const;
    // "" when the module, saving to `target`, may create `file`: a frame file of it
    // (TARGET_STEM_N.x in its folder) that passes sideFileProblem.
    std::string frameFileProblem(const std::string& target, const std::string& file) const;
    // Reserves `file` through `reserve`; true without one.
    bool reserveSideFile(const std::string& file) const;

    // Candidate names of side files, in the order a command tries them: the embedded image
    // number `n` of `target` (TARGET_STEM.png, TARGET_STEM_1.jpg, ...; characters outside
    // Latin-1 as "_", as the .x file holds its texture names in Latin-1), and a copy of
    // the file `name` beside it (NAME.EXT, NAME_1.EXT, ...).
    static std::string imageFile(const std::string& target, size_t n, const std::string& suffix);
    static std::string copyFile(const std::string& target, const std::string& name, size_t n);

private:
    friend std::string planWrites(const WriteRequest& request, WritePlan& plan);
    ProtectedFiles protected_;  // the inputs, and a batch's targets
};

// The first step: "" with `plan` filled, or the one line that refuses the command (bad
// input, status 2). Refused: a target that is an input (links and hard links followed);
// a target whose folder does not exist or is not writable; a name without `suffix`
// (unless forced, standard output, a device, a FIFO); several inputs without a folder;
// one file per frame beside standard output or a device, or over an input; in a folder,
// two inputs with one target, a target that would replace an input, a target that is not
// a regular file, or a target among another's frame files.
std::string planWrites(const WriteRequest& request, WritePlan& plan);

}  // namespace korvo
