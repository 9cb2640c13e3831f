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

// What a path names, links followed. Other: a device, FIFO or socket.
enum class FileKind { Missing, Regular, Folder, Other };
FileKind fileKind(const std::string& path);
// True when both paths name one existing file (same device and inode, links followed).
bool sameFile(const std::string& a, const std::string& b);
// The device and inode of the file `path` names (links followed; on Windows its volume
// and file index). False when there is no such file.
bool fileIdentity(const std::string& path, uint64_t& device, uint64_t& inode);
// The path the chain of symbolic links at `path` finally points to (`path` itself when it
// is no link; the end of a dangling link). `viaDescriptor` is set when the chain passes
// through /proc, as /dev/stdout does: such a path names an open descriptor, not a file.
// "" with errno set on a loop of links. Windows: `path`, as links are not followed there.
std::string resolveLinks(const std::string& path, bool& viaDescriptor);

// Creates a new file for writing, as bytes, at `pattern` with its trailing "XXXXXX"
// replaced so that the name is unique; the name goes back into `pattern`. It gets the
// permission bits, owner and group of the existing file `like` (as far as the process
// may set them), or those of any new file when `like` is "". Until forgetTemporary, an
// interrupt (see guardInterrupts) removes it. Returns the descriptor, or -1 with errno set.
int createUniqueFile(std::string& pattern, const std::string& like);
void forgetTemporary(const std::string& path);
// Opens an existing file for writing in place (a device, a FIFO, a descriptor's path),
// appending: no temporary file, no rename. -1 with errno set.
int openInPlace(const std::string& path);
// A descriptor of its own for standard output.
int duplicateStandardOutput();
// Flushes the file's data to the disk: 0, or -1 with errno set.
int syncFile(int fd);
// Flushes a folder's entries (a rename in it) to the disk, where the system allows it.
void syncFolder(const std::string& folder);
// Writes some of `bytes`: the count written, or -1 with errno set.
long writeSome(int fd, const char* bytes, size_t count);
// Starts writing `length` bytes of the file from `offset` to the disk, without waiting for
// them, so that the flush at the end finds most of a large file already written.
void startWriteback(int fd, uint64_t offset, uint64_t length);
// 0, or -1 with errno set.
int closeFile(int fd);
bool removeFile(const std::string& path);
// Renames `from` over `to`: an earlier file at `to` is replaced in one step. False with
// errno set when that fails.
bool replaceFile(const std::string& from, const std::string& to);
// Renames `from` to `to` only when no file is named `to`, in one step. False with errno
// set (EEXIST when `to` exists).
bool placeNewFile(const std::string& from, const std::string& to);

// From now on SIGINT, SIGTERM and SIGHUP remove the temporary files of createUniqueFile,
// end the processes of forwardInterruptsTo after handing them the signal, print
// "korvo: `what` was interrupted by SIGTERM" and end the process by the signal (status
// 128 + its number). A forked child that inherits this removes the files it knows of,
// silently. SIGXFSZ is ignored, so that a file-size limit fails the write (EFBIG)
// instead of killing the process.
// Windows keeps the system's handling of Ctrl-C.
void guardInterrupts(const std::string& what);
// A child process that an interrupt must reach (and is waited for) before the exit.
// False when the command already has as many as it can track.
bool forwardInterruptsTo(long processId);
void stopForwardingTo(long processId);

// In a forked child: it gets SIGTERM when the process `parent` ends, however it ends.
// False when `parent` has ended already (the child should end).
bool endWithParent(long parent);

// Opens /dev/null on any of standard input, output and error that is closed, so that no
// file or socket the command opens later takes their place (a socket on descriptor 2
// would receive every message). Standard output that was closed stays refused as a
// target (duplicateStandardOutput fails with EBADF).
void keepStandardDescriptorsOpen();

std::FILE* openForReading(const std::string& path);

// Asks that the whole large pages within [data, data + bytes) be backed by large pages
// where the system offers them: a large array written once then costs a page fault for
// every 2 MB instead of every 4 KB. Only advice; nothing happens elsewhere.
void adviseLargePages(const void* data, size_t bytes);
// Keeps blocks of up to 32 MiB in the allocator's heap when they are freed, where the C
// library would give each one back to the system and take fresh (zeroed) pages for the
// next: an import and an export free and make arrays of that size one after another, and
// on a virtual machine fresh pages cost more than their filling. Call once, at the start.
void keepLargeBlocks();
// With `on`, every block freed stays in the allocator's heap for reuse, however large
// (no mapping of its own for a large block, no trimming of the heap's free top); off
// again, the free top goes back to the system and large blocks are mapped apart as
// before. A model's export frees the reader's arrays and the import's as it goes, each
// larger than 32 MiB at 10M triangles: kept, the document's and the module's arrays
// reuse their pages instead of faulting in fresh zeroed ones.
void keepFreedMemory(bool on);
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
