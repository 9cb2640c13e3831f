// The operating-system calls of the stand-in host and the korvo command, in one place.
// Paths are UTF-8 on every system; on Windows they reach the system as UTF-16 and may
// use '\' as well as '/'.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace korvo::platform {

// True for a character that separates path components.
bool isSeparator(char32_t c);
// The position of the last separator in `path`, or npos.
size_t lastSeparator(const std::string& path);

bool exists(const std::string& path);
bool isFolder(const std::string& path);
bool isWritableFolder(const std::string& path);
// A device, pipe or socket (links followed): reading one may never end or block.
bool isDeviceOrPipe(const std::string& path);

// Creates a new file for writing, as bytes, at `pattern` with its trailing "XXXXXX"
// replaced so that the name is unique; the name goes back into `pattern`. Returns the
// descriptor, or -1 with errno set.
int createUniqueFile(std::string& pattern);
// Writes some of `bytes`: the count written, or -1 with errno set.
long writeSome(int fd, const char* bytes, size_t count);
// 0, or -1 with errno set.
int closeFile(int fd);
bool removeFile(const std::string& path);
// Renames `from` over `to`: an earlier file at `to` is replaced in one step. False with
// errno set when that fails.
bool replaceFile(const std::string& from, const std::string& to);

std::FILE* openForReading(const std::string& path);
// The size of the file, or -1.
int64_t fileSize(const std::string& path);

// A new private folder for temporary files, or "" when it cannot be made.
std::string createTemporaryFolder();
bool removeFolder(const std::string& path);

// The path of the running program.
std::string commandPath();
// The file name of a module library: "dorna.so" or "dorna.dll".
const char* moduleFileName();
bool isTerminal(std::FILE* stream);
// The command-line arguments as UTF-8 (Windows hands main them in its code page).
std::vector<std::string> commandArguments(int argc, char** argv);

#ifdef _WIN32
// A UTF-8 path as Windows' wide-character functions take it.
std::wstring widePath(const std::string& path);
#endif

}  // namespace korvo::platform
