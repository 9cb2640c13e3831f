// The host's plug-in services: registration, resources and the idle call.
#pragma once

#include <korvo_sdk.h>

#include <cstdint>

#include "host/host.h"

namespace dorna {

// register(9000, kind, id, name, record, size): nonzero when the host accepted it.
int32_t registerPlugin(int32_t kind, int32_t pluginId, const HostString& name, void* record,
                       int32_t recordSize);
// Frees a host resource if present and sets the handle to null.
void freeResource(KrvResource& resource);
// The host's general service without arguments.
void hostIdle();

}  // namespace dorna
