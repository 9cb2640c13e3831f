// The one symbol the module exports. Everything else is hidden, so the host can reach
// the module only through this entry point and the tables it hands over.
#include <korvo_sdk.h>

#include "plugin/entry.h"

extern "C" KRV_EXPORT int32_t KRV_CALL krv_main(int32_t message, void* data, int32_t value,
                                                const char* text) {
    return dorna::moduleMain(message, data, value, text);
}
