// Settings containers and value holders: storage the module provides and the host
// fills. Both hand their host storage back when they go out of scope.
#pragma once

#include <korvo_sdk.h>

#include <cstdint>

#include "host/host.h"

namespace dorna {

// The id of a result container nobody has answered into yet.
constexpr int32_t kEmptyContainerId = -1;

// Reads of a container the module does not own (a message the host passes in).
int32_t containerId(const KrvContainer* container);
int32_t containerEntryType(const KrvContainer* container, int32_t entry);
// `fallback` for an absent entry, without asking for the value.
int32_t readContainerInt(const KrvContainer* container, int32_t entry, int32_t fallback);

class HostContainer {
public:
    explicit HostContainer(int32_t id = kEmptyContainerId);
    // Constructed with id -1, then a copy of the source (flags 0).
    HostContainer(const HostContainer& source);
    HostContainer& operator=(const HostContainer& source);
    ~HostContainer();

    KrvContainer* get() { return &value_; }
    const KrvContainer* get() const { return &value_; }

    int32_t id() const;
    // -1 (KRV_ENTRY_ABSENT) when the entry is not there.
    int32_t entryType(int32_t entry) const;
    bool has(int32_t entry) const { return entryType(entry) != KRV_ENTRY_ABSENT; }

    // Each read returns `fallback` for an absent entry without asking for the value.
    int32_t readFlag(int32_t entry, int32_t fallback) const;
    int32_t readInt(int32_t entry, int32_t fallback) const;
    float readReal(int32_t entry, float fallback) const;
    KrvVector readVector(int32_t entry, KrvVector fallback) const;
    KrvTime readTime(int32_t entry, KrvTime fallback) const;
    // Leaves `out` untouched for an absent entry. False when the entry is there but the
    // host could not hand it over (it refused the string's storage).
    [[nodiscard]] bool readString(int32_t entry, HostString& out) const;

    void writeInt(int32_t entry, int32_t value);
    void writeReal(int32_t entry, float value);
    void writeTime(int32_t entry, KrvTime value);

private:
    KrvContainer value_;
};

// A value read from a parameter or a dialog element. Empty (kind 0) until the host
// fills it; a holder of another kind owns host storage until it is destroyed.
class ValueHolder {
public:
    ValueHolder() : value_{KRV_VALUE_NONE, nullptr} {}
    // Kind 15 with the integer held in place: the answer of a dialog element read
    // when there is no dialog.
    explicit ValueHolder(int32_t immediateValue)
        : value_{KRV_VALUE_IMMEDIATE, reinterpret_cast<void*>(static_cast<intptr_t>(immediateValue))} {}
    ~ValueHolder();
    ValueHolder(const ValueHolder&) = delete;
    ValueHolder& operator=(const ValueHolder&) = delete;

    KrvValue* get() { return &value_; }
    const KrvValue* get() const { return &value_; }
    int32_t kind() const { return value_.kind; }

    int32_t asInt() const;
    float asReal() const;
    KrvVector asVector() const;

private:
    KrvValue value_;
};

}  // namespace dorna
