#include "plugin/entry.h"

#include "host/host.h"
#include "plugin/registration.h"
#include "plugin/resources.h"

namespace dorna {

namespace {

int32_t gStartCount = 0;
char gStartText[kStartTextCapacity] = {};

constexpr int32_t kMessageQueryVersion = 4;
constexpr int32_t kMessageQueryValue = 6;
constexpr int32_t kRefusedStart = -3;
constexpr int32_t kUnhandled = -1;

int32_t start(void* root, const char* text) {
    // Only the first of nested starts takes the root; a failed first start still counts,
    // so a repeated start answers 1 without checking again.
    if (++gStartCount != 1) return 1;
    if (setHost(static_cast<const KrvHost*>(root)) < kMinimumInterfaceVersion) return kRefusedStart;
    if (!text) return kRefusedStart;
    int32_t length = 0;
    for (; length < kStartTextCapacity - 1 && text[length] != '\0'; ++length) gStartText[length] = text[length];
    gStartText[length] = '\0';
    return 1;
}

int32_t registerPlugins() {
    printLine("Initialize X-Export Plugin");
    // A saver the host refuses is not an error of the module: it simply offers none.
    registerSaver();
    return 1;
}

int32_t end() {
    if (--gStartCount == 0) releaseModuleResources();
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
        case kMessageQueryValue: {
            const intptr_t value = reinterpret_cast<intptr_t>(data);
            return value == 0 || value == 1 ? 1 : kUnhandled;
        }
        default:
            return kUnhandled;
    }
}

const char* startText() { return gStartText; }

int32_t startCount() { return gStartCount; }

}  // namespace dorna
