#include "host/library.h"

namespace dorna {

namespace {

const void* gCachedBase = nullptr;

const KrvBaseLibrary* baseLibrary(size_t entryOffset) {
    return static_cast<const KrvBaseLibrary*>(findHostLibrary(KRV_LIBRARY_BASE, entryOffset));
}

}  // namespace

const void* findHostLibrary(int32_t libraryId, size_t entryOffset) {
    const bool cacheable = libraryId == KRV_LIBRARY_BASE;
    const void* table = nullptr;
    if (cacheable && gCachedBase) {
        table = gCachedBase;
    } else {
        KrvLibrary library = host()->plugin->find_library(libraryId, KRV_LIBRARY_LOOKUP_SIZE);
        if (!library) return nullptr;
        int32_t version = 0;
        int32_t flags = 0;
        if (!host()->plugin->library_table(library, &version, &flags, &table) || !table) return nullptr;
        if (cacheable) gCachedBase = table;
    }
    // The size is the table's second 32-bit field. The whole entry must lie inside the
    // table, not only its first byte.
    const int32_t size = static_cast<const int32_t*>(table)[1];
    if (size < 0 || static_cast<size_t>(size) < entryOffset + sizeof(void*)) return nullptr;
    return table;
}

void forgetHostLibraries() { gCachedBase = nullptr; }

int32_t registerDescription(int32_t pluginId, const HostString& description, KrvResource resource) {
    const KrvBaseLibrary* library = baseLibrary(offsetof(KrvBaseLibrary, register_description));
    if (!library || !library->register_description) return 0;
    return library->register_description(pluginId, description.get(), resource);
}

ParameterId::ParameterId(int32_t id) : value_{} {
    const KrvBaseLibrary* library = baseLibrary(offsetof(KrvBaseLibrary, param_construct));
    if (library && library->param_construct) library->param_construct(&value_);
    set(id, 0, 0);
}

ParameterId::~ParameterId() {
    const KrvBaseLibrary* library = baseLibrary(offsetof(KrvBaseLibrary, param_destroy));
    if (library && library->param_destroy) library->param_destroy(&value_);
}

void ParameterId::set(int32_t a, int32_t b, int32_t c) {
    const KrvBaseLibrary* library = baseLibrary(offsetof(KrvBaseLibrary, param_set));
    if (library && library->param_set) library->param_set(&value_, a, b, c);
}

}  // namespace dorna
