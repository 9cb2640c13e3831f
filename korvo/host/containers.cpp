// Settings containers with typed entries, and value holders.
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "korvo/host/host_state.h"

namespace korvo {

ContainerImpl* containerImpl(const KrvContainer* c) {
    Host::State& state = hostState();
    auto* impl = c ? static_cast<ContainerImpl*>(c->impl) : nullptr;
    if (impl != nullptr && (state.containers.count(impl) || state.internalContainers.count(impl))) return impl;
    state.fault(c ? "a container that is not constructed (or already destroyed)" : "a null container");
    return nullptr;
}

ContainerImpl* internalContainer(KrvContainer* c) {
    ContainerImpl* impl = own(hostState().internalContainers, std::make_unique<ContainerImpl>());
    c->impl = impl;
    return impl;
}

bool isOwningKind(int32_t kind) {
    return kind == KRV_VALUE_INT || kind == KRV_VALUE_REAL || kind == KRV_VALUE_VECTOR;
}

void fillValue(KrvValue* out, int32_t kind, const void* data) {
    Host::State& state = hostState();
    if (out == nullptr) return state.fault("a null value holder");
    if (isOwningKind(out->kind)) state.values.erase(out->data);
    out->kind = kind;
    out->data = nullptr;
    size_t size = 0;
    switch (kind) {
        case KRV_VALUE_INT: size = sizeof(int32_t); break;
        case KRV_VALUE_REAL: size = sizeof(float); break;
        case KRV_VALUE_VECTOR: size = sizeof(KrvVector); break;
        case KRV_VALUE_IMMEDIATE: out->data = reinterpret_cast<void*>(static_cast<intptr_t>(*static_cast<const int32_t*>(data))); return;
        default: out->kind = KRV_VALUE_NONE; return;
    }
    Memory storage(std::malloc(size));
    std::memcpy(storage.get(), data, size);
    out->data = storage.get();
    state.values.emplace(out->data, ValueStorage{std::move(storage), kind});
}

namespace {

void KRV_CALL construct(KrvContainer* c, int32_t id) {
    if (c == nullptr) return hostState().fault("container construct: null storage");
    ContainerImpl* impl = own(hostState().containers, std::make_unique<ContainerImpl>());
    impl->id = id;
    c->impl = impl;
}

void KRV_CALL destroy(KrvContainer* c) {
    ContainerImpl* impl = containerImpl(c);
    if (!impl) return;
    Host::State& state = hostState();
    if (state.internalContainers.count(impl)) return state.fault("container destroy: a message the host owns");
    state.containers.erase(impl);
    c->impl = nullptr;
}

void KRV_CALL copy(KrvContainer* dst, const KrvContainer* src, int32_t /*flags*/) {
    ContainerImpl* to = containerImpl(dst);
    const ContainerImpl* from = containerImpl(src);
    if (to && from && to != from) *to = *from;
}

int32_t KRV_CALL getId(const KrvContainer* c) {
    const ContainerImpl* impl = containerImpl(c);
    return impl ? impl->id : -1;
}

void KRV_CALL setId(KrvContainer* c, int32_t id) {
    if (ContainerImpl* impl = containerImpl(c)) impl->id = id;
}

const ContainerEntry* entryOf(const KrvContainer* c, int32_t entry) {
    const ContainerImpl* impl = containerImpl(c);
    if (!impl) return nullptr;
    auto it = impl->entries.find(entry);
    return it == impl->entries.end() ? nullptr : &it->second;
}

ContainerEntry* newEntry(KrvContainer* c, int32_t entry, int32_t type) {
    ContainerImpl* impl = containerImpl(c);
    if (!impl) return nullptr;
    ContainerEntry& e = impl->entries[entry];
    e = ContainerEntry{};
    e.type = type;
    return &e;
}

int32_t KRV_CALL entryType(const KrvContainer* c, int32_t entry) {
    const ContainerEntry* e = entryOf(c, entry);
    return e ? e->type : KRV_ENTRY_ABSENT;
}

int32_t KRV_CALL getInt(const KrvContainer* c, int32_t entry, int32_t fallback) {
    const ContainerEntry* e = entryOf(c, entry);
    if (!e) return fallback;
    if (e->type == KRV_ENTRY_INT) return e->integer;
    if (e->type == KRV_ENTRY_REAL && std::isfinite(e->real)) return static_cast<int32_t>(e->real);
    return fallback;
}

void KRV_CALL setInt(KrvContainer* c, int32_t entry, int32_t value) {
    if (ContainerEntry* e = newEntry(c, entry, KRV_ENTRY_INT)) e->integer = value;
}

float KRV_CALL getReal(const KrvContainer* c, int32_t entry, float fallback) {
    const ContainerEntry* e = entryOf(c, entry);
    if (!e) return fallback;
    if (e->type == KRV_ENTRY_REAL) return e->real;
    if (e->type == KRV_ENTRY_INT) return static_cast<float>(e->integer);
    return fallback;
}

void KRV_CALL setReal(KrvContainer* c, int32_t entry, float value) {
    if (ContainerEntry* e = newEntry(c, entry, KRV_ENTRY_REAL)) e->real = value;
}

KrvVector KRV_CALL getVector(const KrvContainer* c, int32_t entry, KrvVector fallback) {
    const ContainerEntry* e = entryOf(c, entry);
    return e && e->type == KRV_ENTRY_VECTOR ? e->vector : fallback;
}

void KRV_CALL setVector(KrvContainer* c, int32_t entry, KrvVector value) {
    if (ContainerEntry* e = newEntry(c, entry, KRV_ENTRY_VECTOR)) e->vector = value;
}

KrvTime KRV_CALL getTime(const KrvContainer* c, int32_t entry, KrvTime fallback) {
    const ContainerEntry* e = entryOf(c, entry);
    return e && e->type == KRV_ENTRY_TIME ? e->time : fallback;
}

void KRV_CALL setTime(KrvContainer* c, int32_t entry, KrvTime value) {
    if (ContainerEntry* e = newEntry(c, entry, KRV_ENTRY_TIME)) e->time = value;
}

KrvString* KRV_CALL getStringAlloc(const KrvContainer* c, int32_t entry) {
    const ContainerEntry* e = entryOf(c, entry);
    if (!e || e->type != KRV_ENTRY_STRING) return nullptr;
    return allocateString(e->text);
}

void KRV_CALL setString(KrvContainer* c, int32_t entry, const KrvString* value) {
    const StringImpl* text = stringImpl(value);
    if (!text) return;
    if (ContainerEntry* e = newEntry(c, entry, KRV_ENTRY_STRING)) e->text = text->text;
}

void KRV_CALL valueDestroy(KrvValue* v) {
    if (v == nullptr) return;
    Host::State& state = hostState();
    if (isOwningKind(v->kind)) {
        if (!state.values.erase(v->data)) state.fault("value destroy: a holder whose storage the host did not hand out");
    }
    v->kind = KRV_VALUE_NONE;
    v->data = nullptr;
}

// The storage of an owning holder, or null (and a fault) when it is not live.
const void* valueData(const KrvValue* v) {
    Host::State& state = hostState();
    if (v == nullptr) {
        state.fault("a null value holder");
        return nullptr;
    }
    if (!isOwningKind(v->kind)) return nullptr;
    if (!state.values.count(v->data)) {
        state.fault("a value holder whose storage is not alive");
        return nullptr;
    }
    return v->data;
}

int32_t KRV_CALL valueInt(const KrvValue* v) {
    const void* data = valueData(v);
    if (v && v->kind == KRV_VALUE_IMMEDIATE) return static_cast<int32_t>(reinterpret_cast<intptr_t>(v->data));
    if (!data) return 0;
    if (v->kind == KRV_VALUE_INT) return *static_cast<const int32_t*>(data);
    if (v->kind == KRV_VALUE_REAL) {
        const float r = *static_cast<const float*>(data);
        return std::isfinite(r) ? static_cast<int32_t>(r) : 0;
    }
    return 0;
}

float KRV_CALL valueReal(const KrvValue* v) {
    const void* data = valueData(v);
    if (v && v->kind == KRV_VALUE_IMMEDIATE) return static_cast<float>(reinterpret_cast<intptr_t>(v->data));
    if (!data) return 0;
    if (v->kind == KRV_VALUE_REAL) return *static_cast<const float*>(data);
    if (v->kind == KRV_VALUE_INT) return static_cast<float>(*static_cast<const int32_t*>(data));
    return 0;
}

KrvVector KRV_CALL valueVector(const KrvValue* v) {
    const void* data = valueData(v);
    if (data && v->kind == KRV_VALUE_VECTOR) return *static_cast<const KrvVector*>(data);
    return {0, 0, 0};
}

}  // namespace

const KrvContainerTable kContainerTable = {
    sizeof(KrvContainerTable), construct, destroy, copy, getId, setId, entryType,
    getInt,  // flags are integer entries used as switches
    setInt, getInt, setInt, getReal, setReal, getVector, setVector, getTime, setTime,
    getStringAlloc, setString,
};

const KrvValueTable kValueTable = {sizeof(KrvValueTable), valueDestroy, valueInt, valueReal, valueVector};

}  // namespace korvo
