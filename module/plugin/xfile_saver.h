// The scene saver object the host creates through the registration record. Its one
// operation with work to do is `save`; the others answer as a saver without that
// capability does.
#pragma once

#include <korvo_sdk.h>

#include <cstdint>

#include "host/host.h"

namespace dorna {

// The base the host's saver objects share: a destructor and nothing else.
class SaverBase {
public:
    virtual ~SaverBase() = default;
    // A saver deleted by the host's destroy function goes back to the host's memory.
    static void operator delete(void* block) { hostFree(block); }
};

// The operations in the order of the object's table; each name gives the offset of its
// forwarding entry in the registration record. The defaults ignore their arguments.
class XFileSaver : public SaverBase {
public:
    virtual int32_t operation56(intptr_t);
    virtual void operation60(intptr_t);
    virtual int32_t operation64(intptr_t, intptr_t, intptr_t);
    virtual int32_t operation68(intptr_t, intptr_t);
    virtual int32_t operation76(intptr_t, intptr_t, intptr_t);
    virtual int32_t operation72(intptr_t, intptr_t, intptr_t, intptr_t, intptr_t);
    virtual void operation84(intptr_t, intptr_t);
    virtual int32_t operation80(intptr_t);
    virtual int32_t operation104(intptr_t, intptr_t, intptr_t);
    virtual int32_t operation88(intptr_t, intptr_t, intptr_t);
    virtual int32_t operation92(intptr_t, intptr_t, intptr_t, intptr_t);
    virtual int32_t operation100(intptr_t, intptr_t, intptr_t, intptr_t, intptr_t);
    virtual int32_t operation96(intptr_t, intptr_t, intptr_t, intptr_t);
    // The export (see the export driver).
    virtual int32_t save(void* hostObject, const KrvFileName* name, KrvDocument document, int32_t flags);
};

// The allocation function of the record: a new saver from the host's memory, or null.
KrvSaver KRV_CALL allocateSaver();
// The destroy function of the record: deletes the saver; null is ignored.
void KRV_CALL destroySaver(KrvSaver saver);
// Puts the destroy function and the forwarding entries into the record.
void fillSaverEntries(KrvSaverRecord& record);

}  // namespace dorna
