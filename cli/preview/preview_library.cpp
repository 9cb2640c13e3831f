#include <dlfcn.h>

#include "cli/preview/preview_render.h"
#include "cli/session.h"

namespace korvo::cli::preview {

// cli/CMakeLists.txt builds it beside the command.
constexpr const char* kDrawingLibraryName = "korvo_preview.so";

OpenRendererFn* loadDrawingLibrary(std::string& error) {
    const std::string path = folderOfCommand() + "/" + kDrawingLibraryName;
    // Never unloaded: Mesa is not made to be, and the leak checker tells Mesa's own
    // blocks by the library they came from.
    void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library) {
        error = "cannot load the preview's drawing library: " + std::string(dlerror());
        return nullptr;
    }
    auto* open = reinterpret_cast<OpenRendererFn*>(dlsym(library, kOpenRendererSymbol));
    if (!open) {
        error = path + " is not the preview's drawing library: it has no " + kOpenRendererSymbol;
        return nullptr;
    }
    return open;
}

}  // namespace korvo::cli::preview
