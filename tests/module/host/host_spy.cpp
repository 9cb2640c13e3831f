#include "module/host/host_spy.h"

#include <cstdio>
#include <cstring>

#include "korvo/host/host.h"

namespace dorna_test {

namespace {

HostSpy* gSpy = nullptr;

void record(std::string call) { gSpy->calls.push_back(std::move(call)); }

void* KRV_CALL spyAlloc(size_t bytes, int32_t a, int32_t b) {
    record("alloc " + std::to_string(bytes));
    return gSpy->real->memory->alloc(bytes, a, b);
}

void KRV_CALL spyFree(void* block) {
    record("free");
    gSpy->real->memory->free(block);
}

void KRV_CALL spyPrintLine(const KrvString* text) {
    record("print_line " + korvo::toUtf8(text));
    gSpy->real->console->print_line(text);
}

int32_t KRV_CALL spyGetInt(const KrvContainer* c, int32_t entry, int32_t fallback) {
    record("get_int " + std::to_string(entry));
    return gSpy->real->container->get_int(c, entry, fallback);
}

KrvTime KRV_CALL spyGetTime(const KrvContainer* c, int32_t entry, KrvTime fallback) {
    record("get_time " + std::to_string(entry));
    return gSpy->real->container->get_time(c, entry, fallback);
}

void KRV_CALL spySetTime(KrvContainer* c, int32_t entry, KrvTime value) {
    char text[96];
    std::snprintf(text, sizeof(text), "set_time %d %g/%g", entry, value.numerator, value.denominator);
    record(text);
    gSpy->real->container->set_time(c, entry, value);
}

int32_t KRV_CALL spySetValue(KrvDialog dialog, int32_t id, const KrvContainer* value) {
    record("set_value " + std::to_string(id));
    return gSpy->real->dialog->set_value(dialog, id, value);
}

int32_t KRV_CALL spyEnable(KrvDialog dialog, int32_t id, int32_t enabled) {
    record("enable " + std::to_string(id) + " " + std::to_string(enabled));
    return gSpy->real->dialog->enable(dialog, id, enabled);
}

int32_t KRV_CALL spyRegister(int32_t what, int32_t kind, int32_t id, const KrvString* name, void* data,
                             int32_t size) {
    record("register_plugin " + std::to_string(kind) + " " + std::to_string(id));
    const auto* bytes = static_cast<const unsigned char*>(data);
    gSpy->lastRecord.assign(bytes, bytes + (size > 0 ? size : 0));
    return gSpy->real->plugin->register_plugin(what, kind, id, name, data, size);
}

void KRV_CALL spyFreeResource(KrvResource resource) {
    record("free_resource");
    gSpy->real->plugin->free_resource(resource);
}

}  // namespace

HostSpy::HostSpy(const KrvHost* realRoot) : real(realRoot) {
    gSpy = this;
    root_ = *realRoot;
    memory_ = *realRoot->memory;
    memory_.alloc = spyAlloc;
    memory_.free = spyFree;
    root_.memory = &memory_;
    console_ = *realRoot->console;
    console_.print_line = spyPrintLine;
    root_.console = &console_;
    container_ = *realRoot->container;
    container_.get_int = spyGetInt;
    container_.get_time = spyGetTime;
    container_.set_time = spySetTime;
    root_.container = &container_;
    dialog_ = *realRoot->dialog;
    dialog_.set_value = spySetValue;
    dialog_.enable = spyEnable;
    root_.dialog = &dialog_;
    plugin_ = *realRoot->plugin;
    plugin_.register_plugin = spyRegister;
    plugin_.free_resource = spyFreeResource;
    root_.plugin = &plugin_;
}

HostSpy::~HostSpy() { gSpy = nullptr; }

std::vector<std::string> HostSpy::callsStartingWith(const std::string& prefix) const {
    std::vector<std::string> matching;
    for (const std::string& call : calls)
        if (call.compare(0, prefix.size(), prefix) == 0) matching.push_back(call);
    return matching;
}

}  // namespace dorna_test
