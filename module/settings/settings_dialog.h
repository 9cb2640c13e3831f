// The modal dialog "Dorna - Export settings": it edits a working copy of the export
// settings, which the export driver copies in before and back after a confirmed run.
// One table of the elements that edit a setting (settings_dialog.cpp) drives both
// copies, the values shown, the values read back and the enabled states.
#pragma once

#include <cstdint>

#include "host/dialog_frame.h"
#include "settings/export_settings.h"

namespace dorna {

constexpr float kMaximumSmoothingAngle = 180.0f;

// One element's value in the working copy: `integer` for checkboxes and whole-number
// fields, `real` for decimal fields (the scale in percent).
union WorkingValue {
    int32_t integer;
    float real;
};

class SettingsDialog : public ModalDialog {
public:
    // The elements that edit a setting: rows of the element table.
    static constexpr int kEditedElements = 33;

    SettingsDialog();

    // Copies the record's fields (not `debugListing`) into the working
    // copy, the scale as percent. 0 without a record.
    int32_t copySettingsToDialog(const ExportSettings* settings);
    // The reverse; the percent values come back as scale factors. 0 without a record.
    int32_t copySettingsFromDialog(ExportSettings* settings) const;

    int32_t buildControls() override;
    int32_t fillControls() override;
    // Reads every element back, corrects the smoothing angle, the distance and the
    // ticks per frame, and renews the enabled states that depend on element `id`.
    int32_t onAction(int32_t id, const KrvContainer* message) override;

private:
    WorkingValue& working(int32_t id);
    bool isEnabled(int row) const;
    void readControls();
    void enableDependents(int32_t changedId);
    void writeControl(int row);
    void writeRealControl(int32_t id, float value);
    void writeIntControl(int32_t id, int32_t value);
    void writeFlagControl(int32_t id, int32_t value);

    // The working copy, one value per row of the element table.
    WorkingValue working_[kEditedElements];
};

}  // namespace dorna
