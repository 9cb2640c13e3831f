#include "korvo/platform.h"

#include <cerrno>
#include <cstdlib>
#include <filesystem>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>
#else
#include <sys/stat.h>
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

int createUniqueFile(std::string& pattern) {
    const size_t at = pattern.size() - 6;
    for (int attempt = 0; attempt < 100; ++attempt) {
        fillUnique(pattern, at, uniqueSeed());
        const int fd = _wopen(wide(pattern).c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    return -1;
}

long writeSome(int fd, const char* bytes, size_t count) { return _write(fd, bytes, unsigned(count)); }

int closeFile(int fd) { return _close(fd); }

bool removeFile(const std::string& path) { return _wunlink(wide(path).c_str()) == 0; }

bool replaceFile(const std::string& from, const std::string& to) {
    if (MoveFileExW(wide(from).c_str(), wide(to).c_str(), MOVEFILE_REPLACE_EXISTING)) return true;
    errno = errnoOf(GetLastError());
    return false;
}

std::FILE* openForReading(const std::string& path) { return _wfopen(wide(path).c_str(), L"rb"); }

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

int createUniqueFile(std::string& pattern) {
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0) return fd;
    // mkstemp creates 0600; the file gets the permissions of any new file.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, 0666 & ~mask);
    return fd;
}

long writeSome(int fd, const char* bytes, size_t count) { return long(::write(fd, bytes, count)); }

int closeFile(int fd) { return ::close(fd); }

bool removeFile(const std::string& path) { return ::unlink(path.c_str()) == 0; }

bool replaceFile(const std::string& from, const std::string& to) { return std::rename(from.c_str(), to.c_str()) == 0; }

std::FILE* openForReading(const std::string& path) { return std::fopen(path.c_str(), "rb"); }

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
