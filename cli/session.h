// What the subcommands that run the module share: finding and loading it, the test
// switches of the environment, and the one-line failure messages.
#pragma once

#include <CLI/CLI.hpp>

#include <memory>
#include <string>

#include "korvo/host/host.h"
#include "korvo/host/module_loader.h"

namespace korvo::cli {

// Prints "korvo: MESSAGE" on standard error and returns `status`.
int fail(int status, const std::string& message);

// The folder of the running command, where the libraries it loads on demand lie.
std::string folderOfCommand();

// --module, else $KORVO_MODULE, else module/dorna.so beside the folder of the command
// (build/cli/korvo -> build/module/dorna.so).
std::string resolveModulePath(const std::string& option);

// Loads the module and finds its .x saver. On failure prints the reason and sets
// `status` (2 for a module file that does not exist, 1 otherwise). The lines the module
// prints on the host's console as it starts reach standard error only when `verbose`;
// its later lines as the host's echo has them.
std::unique_ptr<LoadedModule> loadModule(Host& host, const std::string& path, const SaverInfo*& saver, int& status,
                                         bool verbose = false);

// Adds --keep-texture-paths to `command`: texture names as the scene or model stores them
// instead of paths relative to the written file.
void addKeepTexturePaths(CLI::App& command, bool& keep);

// Adds --copy-textures to `command`: every image found copied beside the written file and
// named by its bare name.
void addCopyTextures(CLI::App& command, bool& copy);

// Adds --verbose to `command`: the module's start line too.
void addVerbose(CLI::App& command, bool& verbose);

// KORVO_FAIL_ALLOC=N: 0 when unset. False (after printing why) when malformed.
bool allocationToRefuse(int64_t& n);

// After the module is unloaded: with KORVO_CHECK_LEAKS=1, one line per handle still
// alive and per misuse of the interface, and status 3 if there is any.
int checkLeaks(const Host& host, int status);

}  // namespace korvo::cli
