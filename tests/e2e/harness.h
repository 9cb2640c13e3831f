// End-to-end harness: the korvo command as a process, the built module in-process
// through the dynamic loader, temporary folders and whole-file reads.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "file_text.h"
#include "korvo/host/host.h"
#include "korvo/host/module_loader.h"

namespace korvo::e2e {

using testfiles::readFile;
using testfiles::writeFile;

struct CommandResult {
    int status = -1;  // the exit status; 128 + N when killed by signal N
    std::string out;
    std::string err;
};

// What a run may take: a time limit (a run that hangs is killed by SIGALRM and
// reported, not waited for) and a file-size limit (a disk that fills up during the write).
struct Limits {
    unsigned seconds = 300;
    // Bytes any file, the captured output too, may grow to (SIGXFSZ at its default); -1: none.
    int64_t fileSizeLimit = -1;
};

// Runs `program` with `arguments` in `folder`, with `environment` added to (or, for an
// empty value, removed from) the test's own, under `limits`.
CommandResult runProgram(const std::string& program, const std::vector<std::string>& arguments,
                         const std::string& folder = ".", const std::map<std::string, std::string>& environment = {},
                         Limits limits = {});
// runProgram of KORVO_COMMAND_PATH.
CommandResult runKorvo(const std::vector<std::string>& arguments, const std::string& folder = ".",
                       const std::map<std::string, std::string>& environment = {}, Limits limits = {});

#ifdef FAULTY_READER_PATH
// The environment in which the command's model reader crashes on a model whose file name
// begins with "crash" and hangs on one that begins with "hang" (tests/readers/faulty_reader.cpp).
std::map<std::string, std::string> faultyReaderEnvironment();
#endif

// True when the run was ended by its time limit.
bool timedOut(const CommandResult& r);

// A fresh folder under /tmp, removed with everything in it.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::string& path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }
    // The names in the folder, sorted.
    std::vector<std::string> entries() const;

private:
    std::string path_;
};

// The module loaded into a host in this process, with its .x saver.
struct ModuleSession {
    explicit ModuleSession(HostBehaviour behaviour = {});
    ~ModuleSession();
    // Saves `document` to `target` through the saver with `script` for its dialog.
    int32_t save(KrvDocument document, const std::string& target, DialogScript script = {});

    Host host;
    std::unique_ptr<LoadedModule> module;
    const SaverInfo* saver = nullptr;
};

}  // namespace korvo::e2e
