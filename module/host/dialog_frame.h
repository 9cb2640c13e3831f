// Module objects bound to host dialogs. The host reports everything that happens in a
// dialog as a message; the frame turns each message into a call of one operation of
// the object bound to the dialog. ModalDialog adds OK and Cancel.
#pragma once

#include <korvo_sdk.h>

#include <cstdint>

#include "host/containers.h"
#include "host/host.h"

namespace dorna {

class DialogBase {
public:
    // Binds a new host dialog to this object; the handle is null if the host refused.
    DialogBase();
    // Frees the host dialog.
    virtual ~DialogBase();
    DialogBase(const DialogBase&) = delete;
    DialogBase& operator=(const DialogBase&) = delete;

    virtual int32_t buildControls();
    virtual int32_t fillControls();
    virtual int32_t onHostMessage(int32_t id, const KrvContainer* message);
    virtual int32_t onCommandNotice(int32_t id, const KrvContainer* message);
    virtual int32_t onAction(int32_t id, const KrvContainer* message);
    virtual int32_t mayClose();
    virtual void onNotice(const KrvContainer* message);
    virtual void onClosed();
    // Turns one host message into the call of an operation; `result` is handed back to
    // the host when an operation gave it an id.
    virtual int32_t dispatch(const KrvContainer* message, HostContainer& result);

    KrvDialog handle() const { return handle_; }
    bool initialised() const { return initialised_ != 0; }

    // The callback every dialog of the module is created with.
    static int32_t KRV_CALL messageCallback(KrvDialog dialog, void* item, const KrvContainer* message);

protected:
    KrvDialog handle_;
    int32_t initialised_;
};

class ModalDialog : public DialogBase {
public:
    ModalDialog() : confirmed_(0) {}

    // Lays the dialog out and runs it until it is closed. True when the host could show
    // it and it was closed with OK.
    bool runModal(int32_t mode, int32_t x, int32_t y, int32_t width, int32_t height);
    // Records the outcome and asks the host to close the dialog.
    void closeWithResult(int32_t confirmed);

    int32_t dispatch(const KrvContainer* message, HostContainer& result) override;

    bool confirmed() const { return confirmed_ != 0; }

protected:
    int32_t confirmed_;
};

}  // namespace dorna
