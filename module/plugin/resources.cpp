#include "plugin/resources.h"

#include "host/filename.h"
#include "host/plugin_services.h"

namespace dorna {

namespace {

// Its destructor is the exit handler that releases the holder when the module is
// unloaded; after the last end message it finds nothing left to do.
struct ModuleResources {
    ResourceHolder holder{nullptr, nullptr, 0};
    ~ModuleResources() { releaseModuleResources(); }
};

ModuleResources gResources;

}  // namespace

ResourceHolder& moduleResources() { return gResources.holder; }

void releaseModuleResources() {
    ResourceHolder& holder = gResources.holder;
    if (holder.notOwned) return;
    if (holder.resource) freeResource(holder.resource);
    if (holder.fileName) {
        freeFileNameObject(holder.fileName);
        holder.fileName = nullptr;
    }
}

}  // namespace dorna
