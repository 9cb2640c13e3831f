#include "korvo/files/platform.h"
#include "korvo/console/status_line.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <filesystem>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <signal.h>
#ifdef __GLIBC__
#include <malloc.h>
#endif
#ifdef __linux__
#include <sys/mman.h>
#include <sys/prctl.h>
#endif
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace korvo::platform {

size_t lastSeparator(const std::string& path) {
#ifdef _WIN32
    return path.find_last_of("/\\");
#else
    return path.find_last_of('/');
#endif
}

int64_t fileSize(const std::string& path) {
    std::error_code error;
    const auto size = std::filesystem::file_size(std::filesystem::u8path(path), error);
    return error ? -1 : static_cast<int64_t>(size);
}

#ifdef _WIN32

namespace {

std::wstring wide(const std::string& text) {
    if (text.empty()) return std::wstring();
    const int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0);
    std::wstring out(size_t(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), int(text.size()), out.data(), n);
    return out;
}

std::string utf8(const wchar_t* text, size_t length) {
    if (length == 0) return std::string();
    const int n = WideCharToMultiByte(CP_UTF8, 0, text, int(length), nullptr, 0, nullptr, nullptr);
    std::string out(size_t(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, int(length), out.data(), n, nullptr, nullptr);
    return out;
}

// errno for the system's error codes that can reach a user here.
int errnoOf(DWORD error) {
    switch (error) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND: return ENOENT;
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION: return EACCES;
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL: return ENOSPC;
        default: return EIO;
    }
}

// Six characters that make a name unique with high likelihood; the caller retries.
void fillUnique(std::string& name, size_t at, unsigned seed) {
    static const char letters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    for (size_t i = 0; i < 6; ++i) {
        name[at + i] = letters[seed % 36];
        seed = seed / 36 + (seed % 36) * 2654435761u;
    }
}

unsigned uniqueSeed() {
    static unsigned counter = 0;
    return GetTickCount() ^ (GetCurrentProcessId() << 16) ^ (++counter * 2246822519u);
}

}  // namespace

bool isSeparator(char32_t c) { return c == U'/' || c == U'\\'; }

std::wstring widePath(const std::string& path) { return wide(path); }

bool exists(const std::string& path) { return GetFileAttributesW(wide(path).c_str()) != INVALID_FILE_ATTRIBUTES; }

bool isFolder(const std::string& path) {
    const DWORD attributes = GetFileAttributesW(wide(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool isWritableFolder(const std::string& path) { return isFolder(path) && _waccess(wide(path).c_str(), 2) == 0; }

bool isDeviceOrPipe(const std::string& path) {
    const HANDLE file = CreateFileW(wide(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    const DWORD type = GetFileType(file);
    CloseHandle(file);
    return type == FILE_TYPE_CHAR || type == FILE_TYPE_PIPE;
}

FileKind fileKind(const std::string& path) {
    const DWORD attributes = GetFileAttributesW(wide(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return FileKind::Missing;
    return attributes & FILE_ATTRIBUTE_DIRECTORY ? FileKind::Folder : FileKind::Regular;
}

bool sameFile(const std::string& a, const std::string& b) {
    BY_HANDLE_FILE_INFORMATION info[2];
    const std::string* paths[2] = {&a, &b};
    for (int i = 0; i < 2; ++i) {
        const HANDLE h = CreateFileW(wide(*paths[i]).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                     nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        if (h == INVALID_HANDLE_VALUE) return false;
        const BOOL known = GetFileInformationByHandle(h, &info[i]);
        CloseHandle(h);
        if (!known) return false;
    }
    return info[0].dwVolumeSerialNumber == info[1].dwVolumeSerialNumber &&
           info[0].nFileIndexHigh == info[1].nFileIndexHigh && info[0].nFileIndexLow == info[1].nFileIndexLow;
}

bool fileIdentity(const std::string& path, uint64_t& device, uint64_t& inode) {
    const HANDLE h = CreateFileW(wide(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    BY_HANDLE_FILE_INFORMATION info;
    const BOOL known = GetFileInformationByHandle(h, &info);
    CloseHandle(h);
    if (!known) return false;
    device = info.dwVolumeSerialNumber;
    inode = (uint64_t(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    return true;
}

std::string resolveLinks(const std::string& path, bool& viaDescriptor) {
    viaDescriptor = false;
    return path;
}

int createUniqueFile(std::string& pattern, const std::string& /*like*/) {
    const size_t at = pattern.size() - 6;
    for (int attempt = 0; attempt < 100; ++attempt) {
        fillUnique(pattern, at, uniqueSeed());
        const int fd = _wopen(wide(pattern).c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    return -1;
}

void forgetTemporary(const std::string&) {}

int openInPlace(const std::string& path) { return _wopen(wide(path).c_str(), _O_WRONLY | _O_APPEND | _O_BINARY); }

int duplicateStandardOutput() {
    const int fd = _dup(1);
    if (fd >= 0) _setmode(fd, _O_BINARY);
    return fd;
}

int syncFile(int fd) { return _commit(fd); }

void syncFolder(const std::string&) {}

void guardInterrupts(const std::string&) {}
bool forwardInterruptsTo(long) { return true; }
void keepStandardDescriptorsOpen() {}
bool endWithParent(long) { return true; }
void stopForwardingTo(long) {}

long writeSome(int fd, const char* bytes, size_t count) { return _write(fd, bytes, unsigned(count)); }

void startWriteback(int, uint64_t, uint64_t) {}

int closeFile(int fd) { return _close(fd); }

bool removeFile(const std::string& path) { return _wunlink(wide(path).c_str()) == 0; }

bool replaceFile(const std::string& from, const std::string& to) {
    if (MoveFileExW(wide(from).c_str(), wide(to).c_str(), MOVEFILE_REPLACE_EXISTING)) return true;
    errno = errnoOf(GetLastError());
    return false;
}

bool placeNewFile(const std::string& from, const std::string& to) {
    // Without MOVEFILE_REPLACE_EXISTING the move fails when `to` exists.
    if (MoveFileExW(wide(from).c_str(), wide(to).c_str(), 0)) return true;
    const DWORD error = GetLastError();
    errno = error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS ? EEXIST : errnoOf(error);
    return false;
}

std::FILE* openForReading(const std::string& path) { return _wfopen(wide(path).c_str(), L"rb"); }

void adviseLargePages(const void*, size_t) {}

void keepLargeBlocks() {}

void keepFreedMemory(bool) {}

std::string createTemporaryFolder() {
    wchar_t base[MAX_PATH + 1];
    const DWORD n = GetTempPathW(MAX_PATH + 1, base);
    if (n == 0 || n > MAX_PATH) return std::string();
    std::string folder = utf8(base, n) + "korvo-XXXXXX";
    const size_t at = folder.size() - 6;
    for (int attempt = 0; attempt < 100; ++attempt) {
        fillUnique(folder, at, uniqueSeed());
        if (CreateDirectoryW(wide(folder).c_str(), nullptr)) return folder;
        if (GetLastError() != ERROR_ALREADY_EXISTS) break;
    }
    return std::string();
}

bool removeFolder(const std::string& path) { return RemoveDirectoryW(wide(path).c_str()) != 0; }

std::string commandPath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, path.data(), DWORD(path.size()));
        if (n == 0) return std::string();
        if (n < path.size()) return utf8(path.data(), n);
        path.resize(path.size() * 2);  // cut: the buffer was too small
    }
}

const char* moduleFileName() { return "dorna.dll"; }

bool isTerminal(std::FILE* stream) { return _isatty(_fileno(stream)) != 0; }

std::vector<std::string> commandArguments(int argc, char** argv) {
    int count = 0;
    wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    if (arguments == nullptr) return std::vector<std::string>(argv, argv + argc);
    std::vector<std::string> out;
    for (int i = 0; i < count; ++i) out.push_back(utf8(arguments[i], wcslen(arguments[i])));
    LocalFree(arguments);
    return out;
}

#else

bool isSeparator(char32_t c) { return c == U'/'; }

bool exists(const std::string& path) {
    struct stat info;
    return ::stat(path.c_str(), &info) == 0;
}

bool isFolder(const std::string& path) {
    struct stat info;
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool isWritableFolder(const std::string& path) { return isFolder(path) && ::access(path.c_str(), W_OK) == 0; }

bool isDeviceOrPipe(const std::string& path) {
    struct stat info;
    return ::stat(path.c_str(), &info) == 0 && (S_ISCHR(info.st_mode) || S_ISBLK(info.st_mode) ||
                                                S_ISFIFO(info.st_mode) || S_ISSOCK(info.st_mode));
}

FileKind fileKind(const std::string& path) {
    struct stat info;
    if (::stat(path.c_str(), &info) != 0) return FileKind::Missing;
    if (S_ISREG(info.st_mode)) return FileKind::Regular;
    return S_ISDIR(info.st_mode) ? FileKind::Folder : FileKind::Other;
}

bool sameFile(const std::string& a, const std::string& b) {
    struct stat first, second;
    return ::stat(a.c_str(), &first) == 0 && ::stat(b.c_str(), &second) == 0 && first.st_dev == second.st_dev &&
           first.st_ino == second.st_ino;
}

bool fileIdentity(const std::string& path, uint64_t& device, uint64_t& inode) {
    struct stat info;
    if (::stat(path.c_str(), &info) != 0) return false;
    device = uint64_t(info.st_dev);
    inode = uint64_t(info.st_ino);
    return true;
}

std::string resolveLinks(const std::string& path, bool& viaDescriptor) {
    // As many links as the system itself follows before it reports a loop.
    constexpr int kMostLinks = 40;
    viaDescriptor = false;
    std::string current = path;
    for (int hop = 0; hop <= kMostLinks; ++hop) {
        if (current.compare(0, 6, "/proc/") == 0) viaDescriptor = true;
        struct stat info;
        if (::lstat(current.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return current;
        std::string link(size_t(info.st_size > 0 ? info.st_size : 255) + 1, '\0');
        ssize_t n;
        while ((n = ::readlink(current.c_str(), link.data(), link.size())) == ssize_t(link.size()))
            link.resize(link.size() * 2);  // a /proc link reports size 0; the text may be longer
        if (n < 0) return current;
        link.resize(size_t(n));
        const size_t slash = current.find_last_of('/');
        current = link[0] == '/' || slash == std::string::npos ? link : current.substr(0, slash + 1) + link;
    }
    errno = ELOOP;
    return std::string();
}

namespace {

// The temporary files an interrupt removes, and the children it reaches first. The
// handler reads only these fixed arrays; they change with the signals blocked.
constexpr int kTrackedFiles = 16;
constexpr size_t kTrackedPath = 4096 + 1;
char gTemporaries[kTrackedFiles][kTrackedPath];
// As many as a batch may run side by side (-j takes at most 1024), and a few more.
constexpr int kChildren = 1024 + 16;
pid_t gChildren[kChildren];
char gInterruptWhat[4096];
pid_t gGuardingProcess = 0;
constexpr int kInterrupts[] = {SIGINT, SIGTERM, SIGHUP};

// Blocks the interrupts for its scope.
class InterruptsHeld {
public:
    InterruptsHeld() {
        sigset_t held;
        sigemptyset(&held);
        for (int s : kInterrupts) sigaddset(&held, s);
        sigprocmask(SIG_BLOCK, &held, &previous_);
    }
    ~InterruptsHeld() { sigprocmask(SIG_SETMASK, &previous_, nullptr); }
    InterruptsHeld(const InterruptsHeld&) = delete;
    InterruptsHeld& operator=(const InterruptsHeld&) = delete;

private:
    sigset_t previous_;
};

void writeError(const char* text) {
    size_t length = 0;
    while (text[length]) ++length;
    while (length > 0) {
        const ssize_t n = ::write(STDERR_FILENO, text, length);
        if (n <= 0) return;
        text += n;
        length -= size_t(n);
    }
}

// Only async-signal-safe calls from here on.
extern "C" void onInterrupt(int signal) {
    const bool guarding = ::getpid() == gGuardingProcess;
    if (guarding) {
        for (pid_t child : gChildren)
            if (child > 0) ::kill(child, signal);
        for (pid_t child : gChildren)
            if (child > 0) ::waitpid(child, nullptr, 0);
    }
    for (char* path : gTemporaries)
        if (path[0]) ::unlink(path);
    if (guarding && gInterruptWhat[0]) {
        clearProgressLineOnSignal();
        writeError("korvo: ");
        writeError(gInterruptWhat);
        writeError(signal == SIGINT ? " was interrupted by SIGINT\n"
                   : signal == SIGTERM ? " was interrupted by SIGTERM\n" : " was interrupted by SIGHUP\n");
    }
    // Ends the process by the signal itself once the handler returns, as its caller expects.
    ::signal(signal, SIG_DFL);
    ::raise(signal);
}

}  // namespace

void guardInterrupts(const std::string& what) {
    const InterruptsHeld held;
    const size_t length = std::min(what.size(), sizeof gInterruptWhat - 1);
    what.copy(gInterruptWhat, length);
    gInterruptWhat[length] = '\0';
    gGuardingProcess = ::getpid();
    struct sigaction action = {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    for (int s : kInterrupts) sigaddset(&action.sa_mask, s);
    for (int s : kInterrupts) sigaction(s, &action, nullptr);
    ::signal(SIGXFSZ, SIG_IGN);
}

bool forwardInterruptsTo(long processId) {
    const InterruptsHeld held;
    for (pid_t& child : gChildren)
        if (child == 0) {
            child = pid_t(processId);
            return true;
        }
    return false;
}

void stopForwardingTo(long processId) {
    const InterruptsHeld held;
    for (pid_t& child : gChildren)
        if (child == pid_t(processId)) child = 0;
}

int createUniqueFile(std::string& pattern, const std::string& like) {
    const InterruptsHeld held;
    const int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (fd < 0) return fd;
    for (char* slot : gTemporaries)
        if (!slot[0] && pattern.size() < kTrackedPath) {
            pattern.copy(slot, pattern.size());
            slot[pattern.size()] = '\0';
            break;
        }
    struct stat earlier;
    if (!like.empty() && ::stat(like.c_str(), &earlier) == 0) {
        // Owner first: changing it may clear the set-id bits the mode then restores.
        if (::fchown(fd, earlier.st_uid, earlier.st_gid) != 0) (void)!::fchown(fd, uid_t(-1), earlier.st_gid);
        ::fchmod(fd, earlier.st_mode & 07777);
    } else {
        // mkstemp creates 0600; the file gets the permissions of any new file.
        const mode_t mask = ::umask(0);
        ::umask(mask);
        ::fchmod(fd, 0666 & ~mask);
    }
    return fd;
}

void forgetTemporary(const std::string& path) {
    const InterruptsHeld held;
    for (char* slot : gTemporaries)
        if (path.compare(slot) == 0) slot[0] = '\0';
}

namespace {
// Standard output was closed when the command started: what goes there is lost.
bool gStandardOutputClosed = false;
}  // namespace

void keepStandardDescriptorsOpen() {
    for (int fd = 0; fd <= 2; ++fd)
        if (::fcntl(fd, F_GETFD) < 0 && errno == EBADF) {
            if (fd == STDOUT_FILENO) gStandardOutputClosed = true;
            // open takes the lowest free descriptor: this one.
            const int opened = ::open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
            if (opened >= 0 && opened != fd) ::close(opened);
        }
}

bool endWithParent(long parent) {
#ifdef __linux__
    // SIGTERM, so that the child's interrupt handling removes its temporary files.
    ::prctl(PR_SET_PDEATHSIG, SIGTERM);
#endif
    // The parent may have ended before the request was made.
    return ::getppid() == pid_t(parent);
}

int openInPlace(const std::string& path) { return ::open(path.c_str(), O_WRONLY | O_APPEND | O_NOCTTY | O_CLOEXEC); }

int duplicateStandardOutput() {
    // A closed standard output is not written as if it were /dev/null, which holds it open.
    if (gStandardOutputClosed) {
        errno = EBADF;
        return -1;
    }
    return ::fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 3);
}

int syncFile(int fd) {
    int result;
    while ((result = ::fsync(fd)) != 0 && errno == EINTR) {
    }
    // A device or FIFO written in place has nothing to flush.
    return result != 0 && (errno == EINVAL || errno == EROFS) ? 0 : result;
}

void syncFolder(const std::string& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

long writeSome(int fd, const char* bytes, size_t count) { return long(::write(fd, bytes, count)); }

void startWriteback(int fd, uint64_t offset, uint64_t length) {
#ifdef __linux__
    // A hint: a device or pipe refuses it, and the flush at the end checks every byte.
    ::sync_file_range(fd, off64_t(offset), off64_t(length), SYNC_FILE_RANGE_WRITE);
#else
    (void)fd, (void)offset, (void)length;
#endif
}

int closeFile(int fd) { return ::close(fd); }

bool removeFile(const std::string& path) { return ::unlink(path.c_str()) == 0; }

bool replaceFile(const std::string& from, const std::string& to) { return std::rename(from.c_str(), to.c_str()) == 0; }

bool placeNewFile(const std::string& from, const std::string& to) {
#ifdef __linux__
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) return false;
#endif
    // A file system without the flag: a new link fails as well when `to` exists.
    if (::link(from.c_str(), to.c_str()) != 0) return false;
    ::unlink(from.c_str());
    return true;
}

std::FILE* openForReading(const std::string& path) { return std::fopen(path.c_str(), "rb"); }

void adviseLargePages(const void* data, size_t bytes) {
#ifdef __linux__
    constexpr uintptr_t kLargePage = uintptr_t(1) << 21;
    const uintptr_t start = (uintptr_t(data) + kLargePage - 1) & ~(kLargePage - 1);
    const uintptr_t end = (uintptr_t(data) + bytes) & ~(kLargePage - 1);
    if (end > start) madvise(reinterpret_cast<void*>(start), end - start, MADV_HUGEPAGE);
#else
    (void)data;
    (void)bytes;
#endif
}

void keepLargeBlocks() {
#ifdef __GLIBC__
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
#endif
}

void keepFreedMemory(bool on) {
#ifdef __GLIBC__
    // The C library's defaults: 65,536 mappings, a free top of 128 KiB trimmed.
    mallopt(M_MMAP_MAX, on ? 0 : 65536);
    mallopt(M_TRIM_THRESHOLD, on ? INT_MAX : 128 * 1024);
    if (!on) malloc_trim(0);
#else
    (void)on;
#endif
}

std::string createTemporaryFolder() {
    const char* base = std::getenv("TMPDIR");
    std::string folder = std::string(base && *base ? base : "/tmp") + "/korvo-XXXXXX";
    return ::mkdtemp(folder.data()) ? folder : std::string();
}

bool removeFolder(const std::string& path) { return ::rmdir(path.c_str()) == 0; }

std::string commandPath() {
    std::string path(4096, '\0');
    const ssize_t n = ::readlink("/proc/self/exe", path.data(), path.size() - 1);
    if (n <= 0) return std::string();
    path.resize(size_t(n));
    return path;
}

const char* moduleFileName() { return "dorna.so"; }

bool isTerminal(std::FILE* stream) { return ::isatty(::fileno(stream)) == 1; }

std::vector<std::string> commandArguments(int argc, char** argv) { return std::vector<std::string>(argv, argv + argc); }

#endif

}  // namespace korvo::platform
