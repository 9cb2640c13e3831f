#include "host/plugin_services.h"

namespace dorna {

int32_t registerPlugin(int32_t kind, int32_t pluginId, const HostString& name, void* record,
                       int32_t recordSize) {
    return host()->plugin->register_plugin(KRV_REGISTER_WHAT, kind, pluginId, name.get(), record,
                                           recordSize);
}

void freeResource(KrvResource& resource) {
    if (resource) host()->plugin->free_resource(resource);
    resource = nullptr;
}

void hostIdle() { host()->plugin->idle(); }

}  // namespace dorna
