#include "plugin/xfile_saver.h"

#include <new>

#include "settings/export_settings.h"
#include "xfile/export_driver.h"

namespace dorna {

int32_t XFileSaver::operation56(intptr_t) { return 1; }
void XFileSaver::operation60(intptr_t) {}
int32_t XFileSaver::operation64(intptr_t, intptr_t, intptr_t) { return 1; }
int32_t XFileSaver::operation68(intptr_t, intptr_t) { return 1; }
int32_t XFileSaver::operation76(intptr_t, intptr_t, intptr_t) { return 1; }
int32_t XFileSaver::operation72(intptr_t, intptr_t, intptr_t, intptr_t, intptr_t) { return 1; }
void XFileSaver::operation84(intptr_t, intptr_t) {}
int32_t XFileSaver::operation80(intptr_t) { return 0; }
int32_t XFileSaver::operation104(intptr_t, intptr_t, intptr_t) { return 0; }
int32_t XFileSaver::operation88(intptr_t, intptr_t, intptr_t) { return 0; }
int32_t XFileSaver::operation92(intptr_t, intptr_t, intptr_t, intptr_t) { return 1; }
int32_t XFileSaver::operation100(intptr_t, intptr_t, intptr_t, intptr_t, intptr_t) { return 1; }
int32_t XFileSaver::operation96(intptr_t, intptr_t, intptr_t, intptr_t) { return 1; }

int32_t XFileSaver::save(void*, const KrvFileName* name, KrvDocument document, int32_t flags) {
    return saveScene(exportSettings, name, document, flags);
}

namespace {

XFileSaver* asSaver(KrvSaver saver) { return static_cast<XFileSaver*>(saver); }

// Forwarding entries: the host calls them with the saver as the object of the call.
// Operations without a result answer 0.
int32_t KRV_CALL forward56(KrvSaver s, intptr_t a) { return asSaver(s)->operation56(a); }
int32_t KRV_CALL forward60(KrvSaver s, intptr_t a) {
    asSaver(s)->operation60(a);
    return 0;
}
int32_t KRV_CALL forward64(KrvSaver s, intptr_t a, intptr_t b, intptr_t c) {
    return asSaver(s)->operation64(a, b, c);
}
int32_t KRV_CALL forward68(KrvSaver s, intptr_t a, intptr_t b) { return asSaver(s)->operation68(a, b); }
int32_t KRV_CALL forward72(KrvSaver s, intptr_t a, intptr_t b, intptr_t c, intptr_t d, intptr_t e) {
    return asSaver(s)->operation72(a, b, c, d, e);
}
int32_t KRV_CALL forward76(KrvSaver s, intptr_t a, intptr_t b, intptr_t c) {
    return asSaver(s)->operation76(a, b, c);
}
int32_t KRV_CALL forward80(KrvSaver s, intptr_t a) { return asSaver(s)->operation80(a); }
int32_t KRV_CALL forward84(KrvSaver s, intptr_t a, intptr_t b) {
    asSaver(s)->operation84(a, b);
    return 0;
}
int32_t KRV_CALL forward88(KrvSaver s, intptr_t a, intptr_t b, intptr_t c) {
    return asSaver(s)->operation88(a, b, c);
}
int32_t KRV_CALL forward92(KrvSaver s, intptr_t a, intptr_t b, intptr_t c, intptr_t d) {
    return asSaver(s)->operation92(a, b, c, d);
}
int32_t KRV_CALL forward96(KrvSaver s, intptr_t a, intptr_t b, intptr_t c, intptr_t d) {
    return asSaver(s)->operation96(a, b, c, d);
}
int32_t KRV_CALL forward100(KrvSaver s, intptr_t a, intptr_t b, intptr_t c, intptr_t d, intptr_t e) {
    return asSaver(s)->operation100(a, b, c, d, e);
}
int32_t KRV_CALL forward104(KrvSaver s, intptr_t a, intptr_t b, intptr_t c) {
    return asSaver(s)->operation104(a, b, c);
}
int32_t KRV_CALL forwardSave(KrvSaver s, void* hostObject, const KrvFileName* name, KrvDocument document,
                             int32_t flags) {
    return asSaver(s)->save(hostObject, name, document, flags);
}

}  // namespace

KrvSaver KRV_CALL allocateSaver() {
    void* block = hostAlloc(sizeof(XFileSaver));
    if (!block) return nullptr;
    return new (block) XFileSaver();
}

void KRV_CALL destroySaver(KrvSaver saver) {
    if (saver) delete asSaver(saver);
}

void fillSaverEntries(KrvSaverRecord& record) {
    record.destroy = &destroySaver;
    record.op_56 = &forward56;
    record.op_60 = &forward60;
    record.op_64 = &forward64;
    record.op_68 = &forward68;
    record.op_72 = &forward72;
    record.op_76 = &forward76;
    record.op_80 = &forward80;
    record.op_84 = &forward84;
    record.op_88 = &forward88;
    record.op_92 = &forward92;
    record.op_96 = &forward96;
    record.op_100 = &forward100;
    record.op_104 = &forward104;
    record.save = &forwardSave;
}

}  // namespace dorna
