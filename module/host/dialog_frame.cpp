#include "host/dialog_frame.h"

#include "host/dialog.h"
#include "host/plugin_services.h"

namespace dorna {

DialogBase::DialogBase() : handle_(nullptr), initialised_(0) {
    handle_ = createDialog(&DialogBase::messageCallback, this);
}

DialogBase::~DialogBase() { freeDialog(handle_); }

int32_t DialogBase::buildControls() { return 1; }

int32_t DialogBase::fillControls() { return 1; }

int32_t DialogBase::onHostMessage(int32_t, const KrvContainer*) { return 1; }

int32_t DialogBase::onCommandNotice(int32_t, const KrvContainer*) { return 0; }

int32_t DialogBase::onAction(int32_t, const KrvContainer*) { return 1; }

int32_t DialogBase::mayClose() { return 0; }

void DialogBase::onNotice(const KrvContainer*) {}

void DialogBase::onClosed() {}

int32_t DialogBase::dispatch(const KrvContainer* message, HostContainer&) {
    const int32_t code = containerId(message);
    switch (code) {
        case KRV_DIALOG_MSG_NOTICE:
            onNotice(message);
            return 1;
        case KRV_DIALOG_MSG_HOST:
        case KRV_DIALOG_MSG_SYNC:
            return onHostMessage(readContainerInt(message, KRV_DIALOG_ENTRY_HOST_ID, 0), message);
        case KRV_DIALOG_MSG_ACTION:
            return onAction(readContainerInt(message, KRV_DIALOG_ENTRY_ELEMENT, 0), message);
        case KRV_DIALOG_MSG_LAYOUT:
            if (initialised_) return 1;
            initialised_ = 1;
            return buildControls();
        case KRV_DIALOG_MSG_VALUES:
            return fillControls();
        case KRV_DIALOG_MSG_CHECK_CLOSE:
            return mayClose();
        case KRV_DIALOG_MSG_COMMAND_NOTICE:
            return onCommandNotice(readContainerInt(message, KRV_DIALOG_ENTRY_COMMAND, 0), message);
        case KRV_DIALOG_MSG_COMMAND:
            return onAction(readContainerInt(message, KRV_DIALOG_ENTRY_COMMAND, 0), message);
        case KRV_DIALOG_MSG_DESTROYED:
            onClosed();
            initialised_ = 0;
            return 0;
        case KRV_DIALOG_MSG_IDLE:
            hostIdle();
            return 0;
        default:
            return 0;
    }
}

int32_t KRV_CALL DialogBase::messageCallback(KrvDialog dialog, void* item, const KrvContainer* message) {
    HostContainer result(kEmptyContainerId);
    void* object = item ? objectOfItem(item) : objectOfDialog(dialog);
    if (!object) return 0;
    const int32_t answer = static_cast<DialogBase*>(object)->dispatch(message, result);
    if (result.id() != kEmptyContainerId) sendDialogResult(dialog, result);
    return answer;
}

bool ModalDialog::runModal(int32_t mode, int32_t x, int32_t y, int32_t width, int32_t height) {
    if (!handle_) return false;
    addElement(handle_, KRV_ELEMENT_LAYOUT_DONE, 0, nullptr, 0, 0, 0, 0);
    const int32_t shown = openDialog(handle_, mode, x, y, width, height);
    return shown != 0 && confirmed_ == 1;
}

void ModalDialog::closeWithResult(int32_t confirmed) {
    confirmed_ = confirmed;
    if (handle_) closeDialog(handle_);
}

int32_t ModalDialog::dispatch(const KrvContainer* message, HostContainer& result) {
    switch (containerId(message)) {
        case KRV_DIALOG_MSG_ACTION: {
            const int32_t id = readContainerInt(message, KRV_DIALOG_ENTRY_ELEMENT, 0);
            const int32_t answer = onAction(id, message);
            if (id == KRV_BUTTON_OK || id == KRV_BUTTON_CANCEL)
                closeWithResult(id == KRV_BUTTON_OK ? 1 : 0);
            return answer;
        }
        case KRV_DIALOG_MSG_ASK_CLOSE:
            return confirmed_ == 1 ? mayClose() : 0;
        case KRV_DIALOG_MSG_CHECK_CLOSE:
            if (confirmed_ == 1 && addElement(handle_, KRV_ELEMENT_CLOSE_CHECK, 0, nullptr, 0, 0, 0, 0)) {
                confirmed_ = 0;
                return 1;
            }
            return 0;
        case KRV_DIALOG_MSG_IDLE:
            return 0;
        default:
            return DialogBase::dispatch(message, result);
    }
}

}  // namespace dorna
