// Host file names: storage the module provides, constructed and destroyed by the host.
#pragma once

#include <korvo_sdk.h>

#include "host/host.h"

namespace dorna {

class HostFileName {
public:
    HostFileName();
    // Constructed, then a copy of the source.
    explicit HostFileName(const KrvFileName* source);
    ~HostFileName();
    HostFileName(const HostFileName&) = delete;
    HostFileName& operator=(const HostFileName&) = delete;

    KrvFileName* get() { return &value_; }
    const KrvFileName* get() const { return &value_; }

    // The whole name as a string. False, with `out` emptied, when the host has none to
    // give (it could not allocate it).
    [[nodiscard]] bool toString(HostString& out) const;
    void setFromString(const HostString& name);
    void removeSuffix();
    // The suffix without its point.
    void setSuffix(const HostString& suffix);

private:
    KrvFileName value_;
};

// Destroys and frees a file-name object the host allocated; null is ignored.
void freeFileNameObject(KrvFileName* object);

}  // namespace dorna
