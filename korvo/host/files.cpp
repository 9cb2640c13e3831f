// File names and files. A file opened for writing goes to its target as every command
// writes one (korvo/files/target_file.h): a successful close puts it in place, so an export
// that fails leaves any earlier file at that name untouched.
#include <chrono>

#include "korvo/host/host_state.h"
#include "korvo/files/platform.h"
#include "korvo/console/text.h"

namespace korvo {

namespace {

// Output arrives line by line; it reaches the disk in blocks of this size.
constexpr size_t kFileBlock = 1 << 20;

}  // namespace

FileNameImpl* fileNameImpl(const KrvFileName* f) {
    Host::State& state = hostState();
    auto* impl = f ? static_cast<FileNameImpl*>(f->impl) : nullptr;
    if (impl != nullptr && state.fileNames.count(impl)) return impl;
    // The host's own name handed to save is not registered; it is alive while save runs.
    if (impl != nullptr && f != nullptr && state.hostFileNames.count(impl)) return impl;
    state.fault(f ? "a file name that is not constructed (or already destroyed)" : "a null file name");
    return nullptr;
}

namespace {

// The position of the suffix's point in the last path component, or npos. A leading
// point (".profile") starts a name, not a suffix.
size_t suffixPoint(const std::u32string& path) {
    size_t nameStart = path.size();
    while (nameStart > 0 && !platform::isSeparator(path[nameStart - 1])) --nameStart;
    const size_t point = path.find_last_of(U'.');
    if (point == std::u32string::npos || point <= nameStart) return std::u32string::npos;
    return point;
}

void KRV_CALL nameConstruct(KrvFileName* f) {
    if (f == nullptr) return hostState().fault("file name construct: null storage");
    f->impl = own(hostState().fileNames, std::make_unique<FileNameImpl>());
}

void KRV_CALL nameDestroy(KrvFileName* f) {
    Host::State& state = hostState();
    auto* impl = f ? static_cast<FileNameImpl*>(f->impl) : nullptr;
    if (impl == nullptr || !state.fileNames.erase(impl))
        return state.fault("file name destroy: a file name that is not constructed");
    f->impl = nullptr;
}

void KRV_CALL nameCopy(KrvFileName* dst, const KrvFileName* src) {
    FileNameImpl* to = fileNameImpl(dst);
    const FileNameImpl* from = fileNameImpl(src);
    if (to && from) to->path = from->path;
}

KrvString* KRV_CALL nameToString(const KrvFileName* f) {
    const FileNameImpl* impl = fileNameImpl(f);
    return impl ? allocateString(impl->path) : nullptr;
}

void KRV_CALL nameSetString(KrvFileName* f, const KrvString* s) {
    FileNameImpl* impl = fileNameImpl(f);
    const StringImpl* text = stringImpl(s);
    if (impl && text) impl->path = text->text;
}

void KRV_CALL nameRemoveSuffix(KrvFileName* f) {
    FileNameImpl* impl = fileNameImpl(f);
    if (!impl) return;
    const size_t point = suffixPoint(impl->path);
    if (point != std::u32string::npos) impl->path.erase(point);
}

void KRV_CALL nameSetSuffix(KrvFileName* f, const KrvString* suffix) {
    FileNameImpl* impl = fileNameImpl(f);
    const StringImpl* text = stringImpl(suffix);
    if (!impl || !text) return;
    nameRemoveSuffix(f);
    if (!text->text.empty()) impl->path += U'.' + text->text;
}

void KRV_CALL nameFreeObject(KrvFileName* f) {
    if (f == nullptr) return;
    Host::State& state = hostState();
    const auto allocated = state.allocatedFileNames.find(f);
    if (allocated == state.allocatedFileNames.end())
        return state.fault("file name free_object: a file-name object the host did not allocate");
    nameDestroy(f);
    state.allocatedFileNames.erase(allocated);
}

FileImpl* fileImpl(KrvFile file, const char* entry) {
    Host::State& state = hostState();
    auto* impl = reinterpret_cast<FileImpl*>(file);
    if (impl != nullptr && state.files.count(impl)) return impl;
    state.fault(std::string(entry) + ": " + (file ? "a file that is not alive" : "a null file"));
    return nullptr;
}

KrvFile KRV_CALL fileCreate() {
    Host::State& state = hostState();
    if (!state.allowAllocation()) return nullptr;
    return reinterpret_cast<KrvFile>(own(state.files, std::make_unique<FileImpl>()));
}

void failFile(FileImpl& f, const std::string& why) {
    if (f.failed) return;
    f.failed = true;
    f.error = why;
}

// Adds the time of its scope to the host's file-system seconds (`korvo export --timings`).
struct FileSystemTime {
    using Clock = std::chrono::steady_clock;
    FileSystemTime() = default;
    FileSystemTime(const FileSystemTime&) = delete;
    FileSystemTime& operator=(const FileSystemTime&) = delete;
    ~FileSystemTime() { hostState().fileSystemSeconds += std::chrono::duration<double>(Clock::now() - start).count(); }
    const Clock::time_point start = Clock::now();
};

void flush(FileImpl& f) {
    std::string error;
    if (!f.failed && !writeTarget(f.out, f.buffer.data(), f.buffer.size(), error)) failFile(f, error);
    if (!f.failed) advance(hostState().progress.bytes, f.buffer.size());
    f.buffer.clear();
}

// Drops an open file without committing it.
void discard(FileImpl& f) {
    abandonTarget(f.out);
    f.buffer.clear();
    f.buffer.shrink_to_fit();
}

void KRV_CALL fileFree(KrvFile file) {
    if (file == nullptr) return;
    FileImpl* f = fileImpl(file, "file free");
    if (!f) return;
    discard(*f);  // freed while still open: nothing is committed
    hostState().files.erase(f);
}

int32_t KRV_CALL fileOpen(KrvFile file, const KrvFileName* name, int32_t mode, int32_t access, int32_t share,
                          uint32_t /*type*/, uint32_t /*creator*/) {
    Host::State& state = hostState();
    FileImpl* f = fileImpl(file, "file open");
    const FileNameImpl* n = fileNameImpl(name);
    if (!f || !n) return 0;
    if (f->out.fd >= 0) {
        state.fault("file open: the file is already open");
        return 0;
    }
    if (mode != 2 || access != 2 || share != 2) {
        state.fault("file open: only writing (2, 2, 2) is supported");
        return 0;
    }
    const std::string target = toPathBytes(n->path);
    std::string error;
    // Any other file than the one handed to save is written beside it: a frame file.
    if (!state.saveTarget.empty() && target != state.saveTarget)
        error = state.writePlan.frameFileProblem(state.saveTarget, target);
    if (!error.empty() || !openTarget(target, f->out, error)) {
        state.fileErrors.push_back("cannot create " + target + ": " + error);
        return 0;
    }
    f->failed = false;
    f->error.clear();
    f->bytes = 0;
    f->buffer.reserve(kFileBlock);
    return 1;
}

int32_t KRV_CALL fileWrite(KrvFile file, const void* bytes, int32_t count) {
    Host::State& state = hostState();
    FileImpl* f = fileImpl(file, "file write");
    if (!f || f->out.fd < 0 || f->failed) return 0;
    if (count < 0 || (count > 0 && bytes == nullptr)) {
        state.fault("file write: a negative count or null bytes");
        return 0;
    }
    if (state.writeBudget >= 0) {
        if (count > state.writeBudget) {
            state.writeBudget = 0;
            failFile(*f, "no space left on device (write limit)");
            return 0;
        }
        state.writeBudget -= count;
    }
    const auto* p = static_cast<const char*>(bytes);
    f->buffer.insert(f->buffer.end(), p, p + count);
    f->bytes += static_cast<uint64_t>(count);
    if (f->buffer.size() >= kFileBlock) {
        const FileSystemTime timed;
        flush(*f);
    }
    return f->failed ? 0 : 1;
}

int32_t KRV_CALL fileClose(KrvFile file) {
    Host::State& state = hostState();
    FileImpl* f = fileImpl(file, "file close");
    if (!f) return 0;
    if (f->out.fd < 0) {
        state.fault("file close: the file is not open");
        return 0;
    }
    const FileSystemTime timed;
    flush(*f);
    std::string error;
    if (f->failed) abandonTarget(f->out);
    else if (!commitTarget(f->out, error)) failFile(*f, error);
    if (f->failed) {
        state.fileErrors.push_back("cannot write " + f->out.target + ": " + f->error);
        return 0;
    }
    state.written.push_back({f->out.target, f->bytes});
    advance(state.progress.files, 1);
    if (state.onWritten) state.onWritten(state.written.back());
    return 1;
}

}  // namespace

const KrvFileNameTable kFileNameTable = {
    sizeof(KrvFileNameTable), nameConstruct, nameDestroy, nameCopy, nameToString, nameSetString,
    nameRemoveSuffix, nameSetSuffix, nameFreeObject,
};

const KrvFileTable kFileTable = {sizeof(KrvFileTable), fileCreate, fileFree, fileOpen, fileClose, fileWrite};

}  // namespace korvo
