#include "korvo/files/target_file.h"

#include <cerrno>
#include <cstring>

#include "korvo/files/platform.h"

namespace korvo {

namespace {

// Fixed length, so that any name the folder takes can be replaced: a temporary name built
// from the target's would pass the system's limit of 255 bytes before the target does.
constexpr char kTemporaryName[] = ".korvo-XXXXXX";

std::string folderOf(const std::string& path) {
    const size_t slash = platform::lastSeparator(path);
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

struct Resolved {
    std::string path;  // the file the target finally names
    bool inPlace;      // written straight through, not replaced
};

// False with the reason in `error`.
bool resolveTarget(const std::string& target, Resolved& out, std::string& error) {
    if (target.empty()) {
        error = "empty file name";
        return false;
    }
    bool viaDescriptor = false;
    out.path = platform::resolveLinks(target, viaDescriptor);
    if (out.path.empty()) {
        error = std::strerror(errno);
        return false;
    }
    const platform::FileKind kind = platform::fileKind(out.path);
    if (kind == platform::FileKind::Folder) {
        error = "it is a folder";
        return false;
    }
    out.inPlace = kind == platform::FileKind::Other || (viaDescriptor && kind == platform::FileKind::Regular);
    return true;
}

std::string nameOf(const std::string& path) {
    const size_t slash = platform::lastSeparator(path);
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

void ProtectedFiles::add(const std::string& path, const std::string& what) {
    uint64_t device = 0, inode = 0;
    if (platform::fileIdentity(path, device, inode)) keys_.emplace(Key{device, inode, std::string()}, what);
    bool viaDescriptor = false;
    const std::string resolved = platform::resolveLinks(path, viaDescriptor);
    if (!resolved.empty() && platform::fileIdentity(folderOf(resolved), device, inode))
        keys_.emplace(Key{device, inode, nameOf(resolved)}, what);
}

const std::string* ProtectedFiles::find(const std::string& path) const {
    if (keys_.empty()) return nullptr;
    uint64_t device = 0, inode = 0;
    if (platform::fileIdentity(path, device, inode))
        if (const auto at = keys_.find(Key{device, inode, std::string()}); at != keys_.end()) return &at->second;
    bool viaDescriptor = false;
    const std::string resolved = platform::resolveLinks(path, viaDescriptor);
    if (!resolved.empty() && platform::fileIdentity(folderOf(resolved), device, inode))
        if (const auto at = keys_.find(Key{device, inode, nameOf(resolved)}); at != keys_.end()) return &at->second;
    return nullptr;
}

std::string sideFileProblem(const std::string& target, const std::string& sideFile, const ProtectedFiles& protectedFiles) {
    if (target == kStandardOutput) return "nothing is written beside standard output";
    Resolved resolved;
    std::string error;
    if (resolveTarget(target, resolved, error) && resolved.inPlace)
        return "nothing is written beside " + target + ", which is not a regular file";
    if (sideFile.empty()) return std::string();
    if (const std::string* what = protectedFiles.find(sideFile)) return "it is " + *what;
    if (!resolveTarget(sideFile, resolved, error)) return error;
    return resolved.inPlace ? "it is not a regular file" : std::string();
}

std::string targetProblem(const std::string& target, const std::vector<std::string>& inputs) {
    if (target == kStandardOutput) return std::string();
    for (const std::string& input : inputs)
        if (platform::sameFile(target, input)) return "cannot write " + target + ": it is the input " + input;
    Resolved resolved;
    std::string error;
    if (!resolveTarget(target, resolved, error)) return "cannot write " + target + ": " + error;
    if (resolved.inPlace) return std::string();
    const std::string folder = folderOf(resolved.path);
    if (!platform::isFolder(folder))
        return "cannot write " + target + ": " +
               (platform::exists(folder) ? folder + " is a file, not a folder" : "the folder " + folder + " does not exist");
    if (!platform::isWritableFolder(folder)) return "cannot write " + target + ": the folder " + folder + " is not writable";
    return std::string();
}

bool openTarget(const std::string& target, TargetFile& file, std::string& error) {
    file = TargetFile{};
    file.target = target;
    if (target == kStandardOutput) {
        file.fd = platform::duplicateStandardOutput();
        if (file.fd < 0) error = std::strerror(errno);
        return file.fd >= 0;
    }
    Resolved resolved;
    if (!resolveTarget(target, resolved, error)) return false;
    file.replaced = resolved.path;
    if (resolved.inPlace) {
        file.fd = platform::openInPlace(resolved.path);
        if (file.fd < 0) error = std::strerror(errno);
        return file.fd >= 0;
    }
    const std::string folder = folderOf(resolved.path);
    if (!platform::isFolder(folder)) {
        error = "the folder " + folder + " does not exist";
        return false;
    }
    file.temporary = folder + "/" + kTemporaryName;
    const bool existing = platform::fileKind(resolved.path) == platform::FileKind::Regular;
    file.fd = platform::createUniqueFile(file.temporary, existing ? resolved.path : std::string());
    if (file.fd < 0) {
        error = std::strerror(errno);
        file.temporary.clear();
        return false;
    }
    return true;
}

bool writeTarget(TargetFile& file, const char* bytes, size_t count, std::string& error) {
    size_t done = 0;
    while (done < count) {
        const long n = platform::writeSome(file.fd, bytes + done, count - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            error = std::strerror(n < 0 ? errno : EIO);
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

bool commitTarget(TargetFile& file, std::string& error) {
    bool ok = platform::syncFile(file.fd) == 0;
    if (!ok) error = std::strerror(errno);
    if (platform::closeFile(file.fd) != 0 && ok) {
        error = std::strerror(errno);
        ok = false;
    }
    file.fd = -1;
    if (file.temporary.empty()) return ok;
    if (ok && !platform::replaceFile(file.temporary, file.replaced)) {
        error = std::strerror(errno);
        ok = false;
    }
    if (ok) platform::syncFolder(folderOf(file.replaced));
    else platform::removeFile(file.temporary);
    platform::forgetTemporary(file.temporary);
    file.temporary.clear();
    return ok;
}

void abandonTarget(TargetFile& file) {
    if (file.fd < 0) return;
    platform::closeFile(file.fd);
    file.fd = -1;
    if (file.temporary.empty()) return;
    platform::removeFile(file.temporary);
    platform::forgetTemporary(file.temporary);
    file.temporary.clear();
}

bool writeNewFile(const std::string& path, const char* bytes, size_t count, bool& existed, std::string& error) {
    existed = false;
    TargetFile file;
    file.target = path;
    file.temporary = folderOf(path) + "/" + kTemporaryName;
    file.fd = platform::createUniqueFile(file.temporary, std::string());
    if (file.fd < 0) {
        error = std::strerror(errno);
        return false;
    }
    bool ok = writeTarget(file, bytes, count, error);
    if (ok && platform::syncFile(file.fd) != 0) {
        error = std::strerror(errno);
        ok = false;
    }
    if (platform::closeFile(file.fd) != 0 && ok) {
        error = std::strerror(errno);
        ok = false;
    }
    file.fd = -1;
    if (ok && !platform::placeNewFile(file.temporary, path)) {
        existed = errno == EEXIST;
        error = existed ? "a file of that name appeared meanwhile" : std::strerror(errno);
        ok = false;
    }
    if (ok) platform::syncFolder(folderOf(path));
    else platform::removeFile(file.temporary);
    platform::forgetTemporary(file.temporary);
    return ok;
}

bool writeWholeTarget(const std::string& target, const char* bytes, size_t count, std::string& error) {
    TargetFile file;
    std::string reason;
    const bool written = openTarget(target, file, reason) && writeTarget(file, bytes, count, reason);
    if (written && commitTarget(file, reason)) return true;
    abandonTarget(file);
    error = "cannot write " + target + ": " + reason;
    return false;
}

bool writeWholeTarget(const std::string& target, const std::string& text, std::string& error) {
    return writeWholeTarget(target, text.data(), text.size(), error);
}

}  // namespace korvo
