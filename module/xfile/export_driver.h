// The export: the settings dialog, then one output file, or one complete file per
// exported animation frame.
#pragma once

#include <korvo_sdk.h>

#include <cstdint>

#include "host/filename.h"

namespace dorna {

struct ExportSettings;

// Results of saveScene.
constexpr int32_t kSaveDone = 0;  // written, cancelled or not asked for
constexpr int32_t kSaveCannotCreateFile = -1;
constexpr int32_t kSaveCannotWriteFile = -4;
constexpr int32_t kSaveNoWorkingCopy = -7;

// The saver's `save`: exports `document` to `target` when bit 0 of `flags` is set. The
// settings dialog edits `remembered`, the user's choices kept between saves.
int32_t saveScene(ExportSettings& remembered, const KrvFileName* target, KrvDocument document, int32_t flags);

// Renames `name` for file `index` of a one-file-per-frame export: scene.x becomes
// scene_<index>.x, walk.cycle.x walk.cycle_<index>.x. False, with the name left without
// its suffix, when the host cannot give the name as a string.
[[nodiscard]] bool frameFileName(HostFileName& name, int32_t index);

}  // namespace dorna
