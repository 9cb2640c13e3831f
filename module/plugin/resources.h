// The module's own resources: a resource handle and a file-name object, both none
// until something gives the module such resources. Released by the last end message
// and again, harmlessly, at unload.
#pragma once

#include <korvo_sdk.h>

#include <cstdint>

namespace dorna {

struct ResourceHolder {
    KrvResource resource;
    KrvFileName* fileName;
    int32_t notOwned;  // set: the module must not release them
};

ResourceHolder& moduleResources();
// Frees what the holder owns and empties it; an empty holder causes no host call.
void releaseModuleResources();

}  // namespace dorna
