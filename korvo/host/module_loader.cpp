#include "korvo/host/module_loader.h"

#ifdef _WIN32
#include <windows.h>

#include "korvo/files/platform.h"
#else
#include <dlfcn.h>
#endif

namespace korvo {

namespace {

#ifdef _WIN32
void* openLibrary(const std::string& path, std::string& error) {
    HMODULE library = LoadLibraryW(platform::widePath(path).c_str());
    if (!library) error = "cannot load the module " + path + " (error " + std::to_string(GetLastError()) + ")";
    return reinterpret_cast<void*>(library);
}
void* findSymbol(void* library, const char* name) {
    return reinterpret_cast<void*>(GetProcAddress(reinterpret_cast<HMODULE>(library), name));
}
void closeLibrary(void* library) { FreeLibrary(reinterpret_cast<HMODULE>(library)); }
#else
void* openLibrary(const std::string& path, std::string& error) {
    void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library) error = "cannot load the module: " + std::string(dlerror());
    return library;
}
void* findSymbol(void* library, const char* name) { return dlsym(library, name); }
void closeLibrary(void* library) { dlclose(library); }
#endif

}  // namespace

LoadedModule::LoadedModule(Host& host, void* library, KrvMainFn main) : host_(host), library_(library), main_(main) {}

std::unique_ptr<LoadedModule> LoadedModule::load(Host& host, const std::string& path, std::string& error) {
    void* library = openLibrary(path, error);
    if (!library) return nullptr;
    auto main = reinterpret_cast<KrvMainFn>(findSymbol(library, "krv_main"));
    if (!main) {
        error = "the module " + path + " exports no krv_main";
        closeLibrary(library);
        return nullptr;
    }
    std::unique_ptr<LoadedModule> module(new LoadedModule(host, library, main));
    const int32_t started = main(KRV_MSG_START, const_cast<KrvHost*>(host.root()), 0, path.c_str());
    if (started != 1) {
        error = "the module " + path + " refused to start (answer " + std::to_string(started) + ")";
        return nullptr;  // the destructor still sends the end message and unloads
    }
    module->send(KRV_MSG_REGISTER, nullptr, 0, nullptr);
    return module;
}

LoadedModule::~LoadedModule() {
    main_(KRV_MSG_END, nullptr, 0, nullptr);
    host_.forgetSavers();
    closeLibrary(library_);
}

const SaverInfo* LoadedModule::saver(const std::string& suffix) const {
    for (const SaverInfo& s : host_.savers())
        if (s.suffix == suffix) return &s;
    return nullptr;
}

int32_t LoadedModule::send(int32_t message, void* data, int32_t value, const char* text) {
    return main_(message, data, value, text);
}

}  // namespace korvo
