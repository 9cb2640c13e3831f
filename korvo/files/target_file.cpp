#include "korvo/files/target_file.h"

#include <cerrno>
#include <cstring>

#include "korvo/files/platform.h"

namespace korvo {

namespace {

// Fixed length, so that any name the folder takes can be replaced: a temporary name built
// from the target's would pass the system's limit of 255 bytes before the target does.
constexpr char kTemporaryName[] = ".korvo-XXXXXX";
// The disk is given the written bytes in steps of this size while the rest is made, so
// that writing a large file overlaps its making instead of all waiting for the flush.
constexpr uint64_t kWritebackStep = uint64_t(8) << 20;

}  // namespace

std::string folderOf(const std::string& path) {
    const size_t slash = platform::lastSeparator(path);
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

bool resolveTarget(const std::string& target, ResolvedTarget& out, std::string& error) {
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

bool openTarget(const std::string& target, TargetFile& file, std::string& error) {
    file = TargetFile{};
    file.target = target;
    if (target == kStandardOutput) {
        file.fd = platform::duplicateStandardOutput();
        if (file.fd < 0) error = std::strerror(errno);
        return file.fd >= 0;
    }
    ResolvedTarget resolved;
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
    file.written += count;
    if (!file.temporary.empty() && file.written - file.handedOver >= kWritebackStep) {
        platform::startWriteback(file.fd, file.handedOver, file.written - file.handedOver);
        file.handedOver = file.written;
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
