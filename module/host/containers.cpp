#include "host/containers.h"

namespace dorna {

int32_t containerId(const KrvContainer* container) { return host()->container->get_id(container); }

int32_t containerEntryType(const KrvContainer* container, int32_t entry) {
    return host()->container->entry_type(container, entry);
}

int32_t readContainerInt(const KrvContainer* container, int32_t entry, int32_t fallback) {
    if (containerEntryType(container, entry) == KRV_ENTRY_ABSENT) return fallback;
    return host()->container->get_int(container, entry, fallback);
}

HostContainer::HostContainer(int32_t id) { host()->container->construct(&value_, id); }

HostContainer::HostContainer(const HostContainer& source)
    : HostContainer(kEmptyContainerId) {
    host()->container->copy(&value_, &source.value_, 0);
}

HostContainer& HostContainer::operator=(const HostContainer& source) {
    if (this != &source) host()->container->copy(&value_, &source.value_, 0);
    return *this;
}

HostContainer::~HostContainer() { host()->container->destroy(&value_); }

int32_t HostContainer::id() const { return containerId(&value_); }

int32_t HostContainer::entryType(int32_t entry) const { return containerEntryType(&value_, entry); }

int32_t HostContainer::readFlag(int32_t entry, int32_t fallback) const {
    return has(entry) ? host()->container->get_flag(&value_, entry, fallback) : fallback;
}

int32_t HostContainer::readInt(int32_t entry, int32_t fallback) const {
    return readContainerInt(&value_, entry, fallback);
}

float HostContainer::readReal(int32_t entry, float fallback) const {
    return has(entry) ? host()->container->get_real(&value_, entry, fallback) : fallback;
}

KrvVector HostContainer::readVector(int32_t entry, KrvVector fallback) const {
    return has(entry) ? host()->container->get_vector(&value_, entry, fallback) : fallback;
}

KrvTime HostContainer::readTime(int32_t entry, KrvTime fallback) const {
    return has(entry) ? host()->container->get_time(&value_, entry, fallback) : fallback;
}

bool HostContainer::readString(int32_t entry, HostString& out) const {
    if (!has(entry)) return true;
    KrvString* allocated = host()->container->get_string_alloc(&value_, entry);
    if (!allocated) return false;
    out.adoptAllocated(allocated);
    return true;
}

void HostContainer::writeInt(int32_t entry, int32_t value) {
    host()->container->set_int(&value_, entry, value);
}

void HostContainer::writeReal(int32_t entry, float value) {
    host()->container->set_real(&value_, entry, value);
}

void HostContainer::writeTime(int32_t entry, KrvTime value) {
    host()->container->set_time(&value_, entry, value);
}

ValueHolder::~ValueHolder() {
    // Empty and immediate holders own nothing, so they need no host.
    if (value_.kind != KRV_VALUE_NONE && value_.kind != KRV_VALUE_IMMEDIATE)
        host()->value->destroy(&value_);
}

int32_t ValueHolder::asInt() const { return host()->value->get_int(&value_); }

float ValueHolder::asReal() const { return host()->value->get_real(&value_); }

KrvVector ValueHolder::asVector() const { return host()->value->get_vector(&value_); }

}  // namespace dorna
