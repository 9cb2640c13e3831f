#include "cli/target_rules.h"

#include <sys/stat.h>
#ifdef _WIN32
#include <windows.h>
#endif

#include <cctype>
#include <filesystem>
#include <map>

#include "korvo/files/platform.h"
#include "korvo/files/target_file.h"

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

// The name without its suffix, as the host takes a suffix off: from the last point that
// does not begin the name.
std::string stemOf(const std::string& name) {
    const size_t point = name.rfind('.');
    return point == std::string::npos || point == 0 ? name : name.substr(0, point);
}

// The STEM of a frame file's name STEM_N.x, or "" when `name` is none.
std::string frameStem(const std::string& name) {
    if (name.size() < 5 || name.compare(name.size() - 2, 2, ".x") != 0) return std::string();
    size_t digits = name.size() - 2;
    while (digits > 0 && name[digits - 1] >= '0' && name[digits - 1] <= '9') --digits;
    if (digits == name.size() - 2 || digits < 2 || name[digits - 1] != '_') return std::string();
    return name.substr(0, digits - 1);
}

}  // namespace

std::string frameFilesProblem(const std::vector<std::string>& targets, const ProtectedFiles& protectedFiles) {
    // Folder -> stem -> target; a batch writes into one folder.
    std::map<std::string, std::map<std::string, std::string>> stems;
    for (const std::string& target : targets) {
        const size_t slash = platform::lastSeparator(target);
        const std::string folder = slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
        stems[folder].emplace(stemOf(target.substr(folder.size())), target);
    }
    const auto clash = [](const std::map<std::string, std::string>& byStem, const std::string& name) -> const std::string* {
        const std::string stem = frameStem(name);
        const auto at = stem.empty() ? byStem.end() : byStem.find(stem);
        return at == byStem.end() ? nullptr : &at->second;
    };
    for (const auto& [folder, byStem] : stems) {
        for (const auto& named : byStem)
            if (const std::string* owner = clash(byStem, named.second.substr(folder.size())))
                return "the frame files of " + *owner + " would include " + named.second +
                       ", which another input is exported to";
        std::error_code error;
        for (std::filesystem::directory_iterator entry(std::filesystem::u8path(folder.empty() ? "." : folder), error), end;
             !error && entry != end; entry.increment(error)) {
            const std::string name = entry->path().filename().u8string();
            const std::string* owner = clash(byStem, name);
            if (!owner) continue;
            const std::string problem = sideFileProblem(*owner, folder + name, protectedFiles);
            if (!problem.empty())
                return "cannot write the frame file " + folder + name + " of " + *owner + ": " + problem;
        }
    }
    return std::string();
}

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
