#include "plugin/entry.h"

#include <korvo_sdk.h>

#include <cstddef>

#include "host/host.h"
#include "plugin/registration.h"

namespace dorna {

namespace {

// Start messages not yet matched by an end message.
int32_t gStartCount = 0;

constexpr int32_t kMessageQueryVersion = 4;
constexpr int32_t kMessageQueryValue = 6;
constexpr int32_t kRefusedStart = -3;
constexpr int32_t kUnhandled = -1;

int32_t start(void* root, const char* text) {
    // Only the first of nested starts takes the root; a failed first start still counts,
    // so a repeated start answers 1 without checking again.
    if (++gStartCount != 1) return 1;
    if (setHost(static_cast<const KrvHost*>(root)) < kMinimumInterfaceVersion) return kRefusedStart;
    return text ? 1 : kRefusedStart;
}

int32_t registerPlugins() {
    printLine("Initialize X-Export Plugin");
    // A saver the host refuses is not an error of the module: it simply offers none.
    registerSaver();
    return 1;
}

int32_t end() {
    --gStartCount;
    return 1;
}

int32_t describeModule(void* data) {
    auto* info = static_cast<KrvModuleInfo*>(data);
    if (!info) return kUnhandled;
    if (info->size >= offsetof(KrvModuleInfo, version) + sizeof info->version)
        info->version = KRV_EXPORT_MODULE_VERSION;
    return 1;
}

}  // namespace

int32_t moduleMain(int32_t message, void* data, int32_t, const char* text) {
    switch (message) {
        case KRV_MSG_START:
            return start(data, text);
        case KRV_MSG_REGISTER:
            return registerPlugins();
        case KRV_MSG_END:
            return end();
        case kMessageQueryVersion:
            return 2;
        case KRV_MSG_MODULE_INFO:
            return describeModule(data);
        case kMessageQueryValue: {
            const intptr_t value = reinterpret_cast<intptr_t>(data);
            return value == 0 || value == 1 ? 1 : kUnhandled;
        }
        default:
            return kUnhandled;
    }
}

}  // namespace dorna
