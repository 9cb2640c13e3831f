#include "host/dialog.h"

#include "host/host.h"

namespace dorna {

KrvDialog createDialog(KrvDialogCallback callback, void* object) {
    return host()->dialog->create(callback, object);
}

void freeDialog(KrvDialog& dialog) {
    if (dialog) host()->dialog->free(dialog);
    dialog = nullptr;
}

void* objectOfDialog(KrvDialog dialog) { return host()->dialog->object_of(dialog); }

void* objectOfItem(void* item) { return host()->dialog->object_of_item(item); }

int32_t openDialog(KrvDialog dialog, int32_t mode, int32_t x, int32_t y, int32_t width, int32_t height) {
    if (!dialog) return 0;
    return host()->dialog->open(dialog, mode, 0, x, y, width, height);
}

int32_t closeDialog(KrvDialog dialog) { return dialog ? host()->dialog->close(dialog) : 0; }

int32_t sendDialogResult(KrvDialog dialog, const HostContainer& result) {
    return dialog ? host()->dialog->send_result(dialog, result.get()) : 0;
}

int32_t addElement(KrvDialog dialog, int32_t kind, int32_t id, const char* text, int32_t layout,
                   int32_t width, int32_t height, int32_t extra) {
    if (!dialog) return 0;
    if (!text) return host()->dialog->add_element(dialog, kind, id, nullptr, layout, width, height, extra);
    HostString hostText(text);
    return host()->dialog->add_element(dialog, kind, id, hostText.get(), layout, width, height, extra);
}

int32_t beginGroup(KrvDialog dialog, int32_t id, int32_t layout, int32_t columns, int32_t rows,
                   const char* title, int32_t groupFlags) {
    if (!dialog) return 0;
    if (!title) return host()->dialog->group_begin(dialog, id, layout, columns, rows, nullptr, groupFlags);
    HostString hostTitle(title);
    return host()->dialog->group_begin(dialog, id, layout, columns, rows, hostTitle.get(), groupFlags);
}

int32_t endGroup(KrvDialog dialog) { return dialog ? host()->dialog->group_end(dialog) : 0; }

int32_t setGroupBorder(KrvDialog dialog, uint32_t style) {
    return dialog ? host()->dialog->group_border(dialog, style) : 0;
}

int32_t setGroupSpacing(KrvDialog dialog, int32_t horizontal, int32_t vertical) {
    return dialog ? host()->dialog->group_spacing(dialog, horizontal, vertical) : 0;
}

int32_t setGroupBorderSpace(KrvDialog dialog, int32_t left, int32_t top, int32_t right, int32_t bottom) {
    return dialog ? host()->dialog->group_border_space(dialog, left, top, right, bottom) : 0;
}

int32_t enableElement(KrvDialog dialog, int32_t id, bool enabled) {
    return dialog ? host()->dialog->enable(dialog, id, enabled ? 1 : 0) : 0;
}

int32_t setElementValue(KrvDialog dialog, int32_t id, const HostContainer& value) {
    return dialog ? host()->dialog->set_value(dialog, id, value.get()) : 0;
}

int32_t readElementFlag(KrvDialog dialog, int32_t id) { return readElementInt(dialog, id) != 0 ? 1 : 0; }

int32_t readElementInt(KrvDialog dialog, int32_t id) {
    if (!dialog) return 0;
    ValueHolder value;
    host()->dialog->get_value(dialog, id, value.get());
    return value.asInt();
}

float readElementReal(KrvDialog dialog, int32_t id) {
    if (!dialog) return 0.0f;
    ValueHolder value;
    host()->dialog->get_value(dialog, id, value.get());
    return value.asReal();
}

}  // namespace dorna
