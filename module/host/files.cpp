#include "host/files.h"

#include "host/host.h"

namespace dorna {

namespace {
constexpr uint32_t kFileType = KRV_FOURCC('K', 'R', 'V', 'C');
constexpr uint32_t kFileCreator = KRV_FOURCC('K', 'R', 'V', '1');
}  // namespace

KrvFile createFile() { return host()->file->create(); }

void freeFile(KrvFile& file) {
    if (file) host()->file->free(file);
    file = nullptr;
}

int32_t openFileForWriting(KrvFile file, const KrvFileName* name) {
    return host()->file->open(file, name, KRV_FILE_WRITE, KRV_FILE_WRITE, KRV_FILE_WRITE, kFileType,
                              kFileCreator);
}

int32_t closeFile(KrvFile file) { return host()->file->close(file); }

int32_t writeFile(KrvFile file, const void* bytes, int32_t count) {
    return host()->file->write(file, bytes, count);
}

}  // namespace dorna
