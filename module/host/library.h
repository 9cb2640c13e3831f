// The host library 1000467: the description registration and parameter identifiers.
#pragma once

#include <korvo_sdk.h>

#include <cstddef>
#include <cstdint>

#include "host/host.h"

namespace dorna {

// The table of the host library `libraryId` when it holds an entry at byte offset
// `entryOffset`, else null. The table of library 1000467 is looked up once and kept.
const void* findHostLibrary(int32_t libraryId, size_t entryOffset);
// Drops the kept table; the tables belong to the root, so a new root forgets them.
void forgetHostLibraries();

// Registers the description resource of a plug-in through library 1000467. 0 when the
// library or its entry is missing, otherwise the library's answer.
int32_t registerDescription(int32_t pluginId, const HostString& description, KrvResource resource);

// A parameter identifier built by library 1000467 from (id, 0, 0). Without the library
// it stays zeroed, which names no parameter.
class ParameterId {
public:
    explicit ParameterId(int32_t id);
    ~ParameterId();
    ParameterId(const ParameterId&) = delete;
    ParameterId& operator=(const ParameterId&) = delete;

    void set(int32_t a, int32_t b, int32_t c);
    const KrvParamId* get() const { return &value_; }

private:
    KrvParamId value_;
};

}  // namespace dorna
