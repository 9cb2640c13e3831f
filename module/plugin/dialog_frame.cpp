#include "plugin/dialog_frame.h"

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

int32_t DialogBase::dispatch(const KrvContainer* message, SettingsContainer&) {
    const int32_t code = containerId(message);
    switch (code) {
        case kMessageNotice:
            onNotice(message);
            return 1;
        case kMessageHost:
        case kMessageSync:
            return onHostMessage(readContainerInt(message, kEntryHostId, 0), message);
        case kMessageAction:
            return onAction(readContainerInt(message, kEntryElementId, 0), message);
        case kMessageLayout:
            if (initialised_) return 1;
            initialised_ = 1;
            return buildControls();
        case kMessageValues:
            return fillControls();
        case kMessageCheckClose:
            return mayClose();
        case kMessageCommandNotice:
            return onCommandNotice(readContainerInt(message, kEntryCommandId, 0), message);
        case kMessageCommand:
            return onAction(readContainerInt(message, kEntryCommandId, 0), message);
        case kMessageDestroyed:
            onClosed();
            initialised_ = 0;
            return 0;
        case kMessageIdle:
            hostIdle();
            return 0;
        default:
            return 0;
    }
}

int32_t KRV_CALL DialogBase::messageCallback(KrvDialog dialog, void* item, const KrvContainer* message) {
    SettingsContainer result(kEmptyContainerId);
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

int32_t ModalDialog::dispatch(const KrvContainer* message, SettingsContainer& result) {
    switch (containerId(message)) {
        case kMessageAction: {
            const int32_t id = readContainerInt(message, kEntryElementId, 0);
            closeAllowed_ = 1;
            const int32_t answer = onAction(id, message);
            if ((closeAllowed_ && id == kOkButton) || id == kCancelButton)
                closeWithResult(id == kOkButton ? 1 : 0);
            return answer;
        }
        case kMessageAskClose:
            return confirmed_ == 1 ? mayClose() : 0;
        case kMessageCheckClose:
            if (confirmed_ == 1 && addElement(handle_, KRV_ELEMENT_CLOSE_CHECK, 0, nullptr, 0, 0, 0, 0)) {
                confirmed_ = 0;
                return 1;
            }
            return 0;
        case kMessageIdle:
            return 0;
        default:
            return DialogBase::dispatch(message, result);
    }
}

}  // namespace dorna
