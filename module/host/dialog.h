// The host's dialog service. Every element operation on a dialog the host refused to
// create (a null handle) does nothing and answers 0.
#pragma once

#include <korvo_sdk.h>

#include <cstdint>

#include "host/containers.h"

namespace dorna {

// A new host dialog bound to `callback` and `object`, or null.
KrvDialog createDialog(KrvDialogCallback callback, void* object);
// Frees the dialog if present and sets the handle to null.
void freeDialog(KrvDialog& dialog);
// The object the dialog was created with, or the object behind an item handle.
void* objectOfDialog(KrvDialog dialog);
void* objectOfItem(void* item);
// Runs the dialog until it is closed; nonzero when it could be shown.
int32_t openDialog(KrvDialog dialog, int32_t mode, int32_t x, int32_t y, int32_t width, int32_t height);
int32_t closeDialog(KrvDialog dialog);
int32_t sendDialogResult(KrvDialog dialog, const HostContainer& result);

// Elements. `text` may be null (no text); "" is an empty text.
int32_t addElement(KrvDialog dialog, int32_t kind, int32_t id, const char* text, int32_t layout,
                   int32_t width, int32_t height, int32_t extra);
int32_t beginGroup(KrvDialog dialog, int32_t id, int32_t layout, int32_t columns, int32_t rows,
                   const char* title, int32_t groupFlags);
int32_t endGroup(KrvDialog dialog);
int32_t setGroupBorder(KrvDialog dialog, uint32_t style);
int32_t setGroupSpacing(KrvDialog dialog, int32_t horizontal, int32_t vertical);
int32_t setGroupBorderSpace(KrvDialog dialog, int32_t left, int32_t top, int32_t right, int32_t bottom);
int32_t enableElement(KrvDialog dialog, int32_t id, bool enabled);
int32_t setElementValue(KrvDialog dialog, int32_t id, const HostContainer& value);
// The element's value; 0 without a dialog.
int32_t readElementFlag(KrvDialog dialog, int32_t id);
int32_t readElementInt(KrvDialog dialog, int32_t id);
float readElementReal(KrvDialog dialog, int32_t id);

}  // namespace dorna
