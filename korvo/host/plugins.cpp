// Plug-in registration, host library 1000467 and the idle service.
#include "korvo/host/host_state.h"
#include "korvo/console/text.h"

namespace korvo {

namespace {

std::string utf8Of(const KrvString* s) {
    if (s == nullptr) return {};
    const StringImpl* impl = stringImpl(s);
    return impl ? toUtf8(impl->text) : std::string();
}

int32_t KRV_CALL registerDescription(int32_t pluginId, const KrvString* name, KrvResource /*resource*/) {
    Host::State& state = hostState();
    RegistrationEvent event;
    event.isDescription = true;
    event.id = pluginId;
    event.name = utf8Of(name);
    event.accepted = state.behaviour.acceptDescriptions;
    state.registrations.push_back(event);
    return event.accepted ? 1 : 0;
}

void KRV_CALL paramConstruct(KrvParamId* id) {
    if (id) *id = KrvParamId{0, {0, 0, 0}};
}

void KRV_CALL paramDestroy(KrvParamId* id) {
    if (id) *id = KrvParamId{0, {0, 0, 0}};
}

void KRV_CALL paramSet(KrvParamId* id, int32_t a, int32_t b, int32_t c) {
    if (id == nullptr) return;
    id->ids[0] = a;
    id->ids[1] = b;
    id->ids[2] = c;
    id->depth = c != 0 ? 3 : b != 0 ? 2 : 1;
}

int32_t KRV_CALL registerPlugin(int32_t what, int32_t kind, int32_t id, const KrvString* name, void* record,
                                int32_t recordSize) {
    Host::State& state = hostState();
    RegistrationEvent event;
    event.what = what;
    event.kind = kind;
    event.id = id;
    event.name = utf8Of(name);
    event.recordSize = recordSize;
    const auto* saver = static_cast<const KrvSaverRecord*>(record);
    event.accepted = state.behaviour.acceptRegistrations && what == KRV_REGISTER_WHAT &&
                     kind == KRV_PLUGIN_SCENE_SAVER && saver != nullptr &&
                     recordSize == static_cast<int32_t>(sizeof(KrvSaverRecord)) && saver->allocate &&
                     saver->save && saver->destroy;
    state.registrations.push_back(event);
    if (!event.accepted) return 0;
    // The record lives only during this call: keep copies of what is needed later.
    SaverInfo info;
    info.id = id;
    info.name = event.name;
    info.suffix = utf8Of(saver->suffix);
    info.allocate = saver->allocate;
    info.save = saver->save;
    info.destroy = saver->destroy;
    state.savers.push_back(info);
    return 1;
}

KrvLibrary KRV_CALL findLibrary(int32_t id, int32_t /*sizeValue*/) {
    Host::State& state = hostState();
    if (id != KRV_LIBRARY_BASE || !state.behaviour.offerBaseLibrary) return nullptr;
    return reinterpret_cast<KrvLibrary>(&state.baseLibrary);
}

int32_t KRV_CALL libraryTable(KrvLibrary library, int32_t* version, int32_t* flags, const void** table) {
    Host::State& state = hostState();
    if (library != reinterpret_cast<KrvLibrary>(&state.baseLibrary)) return 0;
    state.baseLibrary = {1, state.behaviour.baseLibrarySize >= 0 ? state.behaviour.baseLibrarySize
                                                                  : static_cast<int32_t>(sizeof(KrvBaseLibrary)),
                         registerDescription, paramConstruct, paramDestroy, paramSet};
    if (version) *version = state.baseLibrary.version;
    if (flags) *flags = 0;
    if (table) *table = &state.baseLibrary;
    return 1;
}

// The host owns no module resources; there is nothing to free.
void KRV_CALL freeResource(KrvResource /*resource*/) {}

void KRV_CALL idle() { ++hostState().idleCalls; }

}  // namespace

const KrvPluginTable kPluginTable = {sizeof(KrvPluginTable), registerPlugin, findLibrary, libraryTable,
                                     freeResource, idle};

}  // namespace korvo
