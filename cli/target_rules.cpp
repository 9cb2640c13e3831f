#include "cli/target_rules.h"

#include <sys/stat.h>
#ifdef _WIN32
#include <windows.h>
#endif

#include <cctype>

#include "korvo/platform.h"
#include "korvo/target_file.h"

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

bool targetFolderUsable(const std::string& target, std::string& error, const std::vector<std::string>& inputs) {
    if (target.empty() || platform::lastSeparator(target) + 1 == target.size()) {
        error = "-o needs a file name, not \"" + target + "\"";
        return false;
    }
    error = targetProblem(target, inputs);
    return error.empty();
}

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
    // A path through an open descriptor (/dev/stdout) is written in place, whatever it names.
    bool viaDescriptor = false;
    platform::resolveLinks(target, viaDescriptor);
    if (viaDescriptor) return true;
    error = target + ": " + writes + "; use a name ending in " + suffix + ", or --force-name";
    return false;
}

}  // namespace korvo::cli
