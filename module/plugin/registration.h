// The registration of the scene saver "X-File Export".
#pragma once

#include <korvo_sdk.h>

#include <cstdint>

#include "host/host.h"

namespace dorna {

constexpr int32_t kSaverPluginId = 1016875;

// Registers the saver with its description; 1 when the host accepted it, else 0.
int32_t registerSaver();

// The general registration of a scene saver: the description first (through library
// 1000467), then the record. 0 when the description is refused or cannot be
// registered, otherwise the host's answer to the registration.
int32_t registerSceneSaver(int32_t pluginId, const HostString& name, int32_t info,
                           KrvSaverAllocFn allocate, const HostString& description,
                           const HostString& suffix, intptr_t lastValue);

}  // namespace dorna
