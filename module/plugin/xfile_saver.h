// The scene saver object the host creates through the registration record. Its one
// operation with work to do is `save`; the default operations answer as a saver
// without that capability does, straight from their forwarding entries.
#pragma once

#include <korvo_sdk.h>

#include <cstdint>

namespace dorna {

// A saver holds nothing: the host's handle for the module's export.
struct XFileSaver {};

// The allocation function of the record: a new saver from the host's memory, or null.
KrvSaver KRV_CALL allocateSaver();
// The destroy function of the record: gives the saver back; null is ignored.
void KRV_CALL destroySaver(KrvSaver saver);
// Puts the destroy function and the forwarding entries into the record.
void fillSaverEntries(KrvSaverRecord& record);

}  // namespace dorna
