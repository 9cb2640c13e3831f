#include "cli/target_rules.h"

#include <sys/stat.h>
#ifdef _WIN32
#include <windows.h>
#endif

#include <cctype>

#include "korvo/platform.h"

namespace korvo::cli {

namespace {

// An existing target that is neither a regular file nor a folder: a device, a FIFO.
bool isSpecialFile(const std::string& path) {
#ifdef _WIN32
    struct _stat64 info;
    if (_wstat64(platform::widePath(path).c_str(), &info) != 0) return false;
#else
    struct stat info;
    if (stat(path.c_str(), &info) != 0) return false;
#endif
    return (info.st_mode & S_IFMT) != S_IFREG && (info.st_mode & S_IFMT) != S_IFDIR;
}

}  // namespace

bool targetFolderUsable(const std::string& target, std::string& error) {
    const size_t slash = platform::lastSeparator(target);
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : target.substr(0, slash);
    if (target.empty() || slash == target.size() - 1) {
        error = "-o needs a file name, not \"" + target + "\"";
    } else if (!platform::isFolder(folder)) {
        error = "cannot write " + target + ": " +
                (platform::exists(folder) ? folder + " is a file, not a folder" : "the folder " + folder + " does not exist");
    } else if (!platform::isWritableFolder(folder)) {
        error = "cannot write " + target + ": the folder " + folder + " is not writable";
    } else if (platform::isFolder(target)) {
        error = "cannot write " + target + ": it is a folder";
    } else {
        return true;
    }
    return false;
}

#ifdef _WIN32
namespace {

bool fileIdentity(const std::string& path, BY_HANDLE_FILE_INFORMATION& info) {
    const HANDLE file = CreateFileW(platform::widePath(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    const bool known = GetFileInformationByHandle(file, &info) != 0;
    CloseHandle(file);
    return known;
}

}  // namespace

bool sameFile(const std::string& a, const std::string& b) {
    BY_HANDLE_FILE_INFORMATION x, y;
    return fileIdentity(a, x) && fileIdentity(b, y) && x.dwVolumeSerialNumber == y.dwVolumeSerialNumber &&
           x.nFileIndexHigh == y.nFileIndexHigh && x.nFileIndexLow == y.nFileIndexLow;
}
#else
bool sameFile(const std::string& a, const std::string& b) {
    struct stat x, y;
    return stat(a.c_str(), &x) == 0 && stat(b.c_str(), &y) == 0 && x.st_dev == y.st_dev && x.st_ino == y.st_ino;
}
#endif

bool endsWithIgnoringCase(const std::string& s, const std::string& end) {
    if (s.size() < end.size()) return false;
    for (size_t i = 0; i < end.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(s[s.size() - end.size() + i])) !=
            std::tolower(static_cast<unsigned char>(end[i])))
            return false;
    return true;
}

bool targetSuffixAccepted(const std::string& target, const std::string& suffix, bool forced, const std::string& writes,
                          std::string& error) {
    if (forced || target == "-" || endsWithIgnoringCase(target, suffix) || isSpecialFile(target)) return true;
    error = target + ": " + writes + "; use a name ending in " + suffix + ", or --force-name";
    return false;
}

}  // namespace korvo::cli
