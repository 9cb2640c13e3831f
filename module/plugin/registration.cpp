#include "plugin/registration.h"

#include "host/library.h"
#include "host/plugin_services.h"
#include "plugin/xfile_saver.h"

namespace dorna {

int32_t registerSceneSaver(int32_t pluginId, const HostString& name, int32_t info,
                           KrvSaverAllocFn allocate, const HostString& description,
                           const HostString& suffix, intptr_t lastValue) {
    if (description.length() > 0 &&
        !registerDescription(pluginId, description, nullptr))
        return 0;

    KrvSaverRecord record;
    fillBytes(&record, sizeof(record), 0);
    record.info = info;
    record.last_value = lastValue;
    record.allocate = allocate;
    record.suffix = suffix.get();
    fillSaverEntries(record);
    // 288 bytes on the 32-bit host; every entry is pointer-sized, so twice that on 64-bit.
    return registerPlugin(KRV_PLUGIN_SCENE_SAVER, pluginId, name, &record,
                          static_cast<int32_t>(sizeof(record)));
}

int32_t registerSaver() {
    const HostString name("X-File Export");
    const HostString suffix("x");
    const HostString description("Fsdkstlexport");
    // The record points to the suffix, so it lives until the host has copied the record.
    const int32_t accepted =
        registerSceneSaver(kSaverPluginId, name, 0, &allocateSaver, description, suffix, 0);
    return accepted ? 1 : 0;
}

}  // namespace dorna
