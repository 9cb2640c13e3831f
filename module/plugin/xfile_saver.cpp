#include "plugin/xfile_saver.h"

#include <new>

#include "host/host.h"
#include "settings/export_settings.h"
#include "xfile/export_driver.h"

namespace dorna {

namespace {

// The forwarding entries of the default operations: the host calls them with the saver
// as the object of the call; they ignore their arguments and answer as the defaults do.
template <int32_t Answer, typename... Arguments>
int32_t KRV_CALL answer(KrvSaver, Arguments...) {
    return Answer;
}

// The export (see the export driver), with the settings the user chose last.
int32_t KRV_CALL save(KrvSaver, void*, const KrvFileName* name, KrvDocument document, int32_t flags) {
    return saveScene(exportSettings, name, document, flags);
}

}  // namespace

KrvSaver KRV_CALL allocateSaver() {
    void* block = hostAlloc(sizeof(XFileSaver));
    if (!block) return nullptr;
    return new (block) XFileSaver();
}

void KRV_CALL destroySaver(KrvSaver saver) { hostFree(saver); }

void fillSaverEntries(KrvSaverRecord& record) {
    record.destroy = &destroySaver;
    record.default_op1 = &answer<1, intptr_t>;
    record.default_op2 = &answer<0, intptr_t>;
    record.default_op3 = &answer<1, intptr_t, intptr_t, intptr_t>;
    record.default_op4 = &answer<1, intptr_t, intptr_t>;
    record.default_op5 = &answer<1, intptr_t, intptr_t, intptr_t>;
    record.default_op6 = &answer<1, intptr_t, intptr_t, intptr_t, intptr_t, intptr_t>;
    record.default_op7 = &answer<0, intptr_t, intptr_t>;
    record.default_op8 = &answer<0, intptr_t>;
    record.default_op9 = &answer<0, intptr_t, intptr_t, intptr_t>;
    record.default_op10 = &answer<0, intptr_t, intptr_t, intptr_t>;
    record.default_op11 = &answer<1, intptr_t, intptr_t, intptr_t, intptr_t>;
    record.default_op12 = &answer<1, intptr_t, intptr_t, intptr_t, intptr_t, intptr_t>;
    record.default_op13 = &answer<1, intptr_t, intptr_t, intptr_t, intptr_t>;
    record.save = &save;
}

}  // namespace dorna
