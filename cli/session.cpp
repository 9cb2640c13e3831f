#include "cli/session.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "cli/command.h"
#include "korvo/files/platform.h"
#include "korvo/console/text.h"
#include "korvo/console/status_line.h"

namespace korvo::cli {

int fail(int status, const std::string& message) {
    printError("korvo: %s\n", printable(message).c_str());
    return status;
}

std::string folderOfCommand() {
    const std::string path = platform::commandPath();
    const size_t slash = platform::lastSeparator(path);
    return slash == std::string::npos ? "." : path.substr(0, slash);
}

std::string resolveModulePath(const std::string& option) {
    if (!option.empty()) return option;
    if (const char* env = std::getenv("KORVO_MODULE"); env && *env) return env;
    return folderOfCommand() + "/../module/" + platform::moduleFileName();
}

std::unique_ptr<LoadedModule> loadModule(Host& host, const std::string& path, const SaverInfo*& saver, int& status,
                                         bool verbose) {
    if (!platform::exists(path)) {
        status = fail(kExitBadInput, "the module " + path + " does not exist (give --module PATH or set KORVO_MODULE)");
        return nullptr;
    }
    // The loader would wait on a FIFO for a writer, and read a device.
    if (platform::fileKind(path) != platform::FileKind::Regular) {
        status = fail(kExitBadInput, "the module " + path + " is not a regular file");
        return nullptr;
    }
    // A name without a folder is the file of that name here, as for every other file
    // the command takes; the system's loader would search its library folders instead.
#ifdef _WIN32
    const std::string file = platform::lastSeparator(path) == std::string::npos ? ".\\" + path : path;
#else
    const std::string file = platform::lastSeparator(path) == std::string::npos ? "./" + path : path;
#endif
    std::string error;
    // The module greets the console when it starts; the host records the line either way.
    const bool echo = host.behaviour().echo;
    host.behaviour().echo = echo && verbose;
    std::unique_ptr<LoadedModule> module = LoadedModule::load(host, file, error);
    host.behaviour().echo = echo;
    if (!module) {
        status = fail(kExitFailed, error);
        return nullptr;
    }
    saver = module->saver("x");
    if (!saver) {
        status = fail(kExitFailed, "the module " + path + " registered no saver for .x files");
        return nullptr;
    }
    return module;
}

void addKeepTexturePaths(CLI::App& command, bool& keep) {
    command.add_flag("--keep-texture-paths", keep,
                     "write texture names as the scene or model stores them (default: the path of each image "
                     "found, relative to the written file, a model's embedded images written beside it)");
}

void addCopyTextures(CLI::App& command, bool& copy) {
    command.add_flag("--copy-textures", copy,
                     "copy every texture image found beside the written file and write their bare names, so that "
                     "the file and its images move together (a different file of the same name is never replaced: "
                     "the copy takes NAME_1.EXT)")
        ->excludes("--keep-texture-paths");
}

void addVerbose(CLI::App& command, bool& verbose) {
    command.add_flag("--verbose", verbose, "also print the module's start line from the host's console");
}

bool allocationToRefuse(int64_t& n) {
    n = 0;
    const char* text = std::getenv("KORVO_FAIL_ALLOC");
    if (text == nullptr || *text == '\0') return true;
    errno = 0;
    char* end = nullptr;
    const long long value = std::strtoll(text, &end, 10);
    if (*end != '\0' || errno == ERANGE || value < 1) {
        fail(kExitBadInput, std::string("KORVO_FAIL_ALLOC needs a number of 1 or more, not \"") + text + "\"");
        return false;
    }
    n = value;
    return true;
}

int checkLeaks(const Host& host, int status) {
    const char* flag = std::getenv("KORVO_CHECK_LEAKS");
    if (flag == nullptr || std::string(flag) != "1") return status;
    const std::vector<std::string> leaks = host.leakReport();
    for (const std::string& line : leaks) std::fprintf(stderr, "korvo: %s\n", line.c_str());
    for (const std::string& line : host.faults()) std::fprintf(stderr, "korvo: interface misuse: %s\n", line.c_str());
    return leaks.empty() && host.faults().empty() ? status : kExitLeaks;
}

}  // namespace korvo::cli
