#include "host/filename.h"

namespace dorna {

HostFileName::HostFileName() { host()->filename->construct(&value_); }

HostFileName::HostFileName(const KrvFileName* source) : HostFileName() {
    host()->filename->copy(&value_, source);
}

HostFileName::~HostFileName() { host()->filename->destroy(&value_); }

bool HostFileName::toString(HostString& out) const {
    KrvString* allocated = host()->filename->to_string_alloc(&value_);
    if (!allocated) {
        out.setText("");
        return false;
    }
    out.adoptAllocated(allocated);
    return true;
}

void HostFileName::setFromString(const HostString& name) {
    host()->filename->set_string(&value_, name.get());
}

void HostFileName::removeSuffix() { host()->filename->remove_suffix(&value_); }

void HostFileName::setSuffix(const HostString& suffix) {
    host()->filename->set_suffix(&value_, suffix.get());
}

void freeFileNameObject(KrvFileName* object) {
    if (object) host()->filename->free_object(object);
}

}  // namespace dorna
