// Loading a module as Korvo does: the dynamic library, its krv_main, the start and
// registration messages, and the end message before it is unloaded.
#pragma once

#include <korvo_sdk.h>

#include <memory>
#include <string>

#include "korvo/host/host.h"

namespace korvo {

class LoadedModule {
public:
    // Loads the library at `path`, sends message 1 with the host's root and a start
    // text, then message 2. Null with `error` set (one line) when that fails.
    static std::unique_ptr<LoadedModule> load(Host& host, const std::string& path, std::string& error);
    // Sends message 3, forgets the module's savers and unloads the library.
    ~LoadedModule();
    LoadedModule(const LoadedModule&) = delete;
    LoadedModule& operator=(const LoadedModule&) = delete;

    // The saver registered for `suffix` (without the point), or null.
    const SaverInfo* saver(const std::string& suffix) const;
    int32_t send(int32_t message, void* data, int32_t value, const char* text);

private:
    LoadedModule(Host& host, void* library, KrvMainFn main);
    Host& host_;
    void* library_;
    KrvMainFn main_;
};

}  // namespace korvo
