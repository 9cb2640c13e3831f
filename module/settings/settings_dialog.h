// The modal dialog "Dorna - Export settings": it edits a working copy of the export
// settings, which the export driver copies in before and back after a confirmed run.
#pragma once

#include <cstdint>

#include "plugin/dialog_frame.h"
#include "settings/export_settings.h"

namespace dorna {

// Element ids of the settings dialog.
enum SettingsControl : int32_t {
    kControlGenerals = 10002,
    kControlAngleLabel = 10003,
    kControlSmoothingAngle = 10004,
    kControlOptions = 10005,
    kControlNormals = 10006,
    kControlTextures = 10007,
    kControlFrames = 10008,
    kControlAnimation = 10009,
    kControlThresholds = 10010,  // also the id of the standard-material group
    kControlTicksPerFrame = 10011,
    kControlStandardMaterial = 10012,
    kControlFaceColor = 10020,      // to 10023: red, green, blue, alpha
    kControlSpecularColor = 10025,  // to 10028
    kControlEmissiveColor = 10030,  // to 10033
    kControlSpecularPower = 10035,
    kControlBones = 10037,
    kControlOnlyBones = 10038,
    kControlDistancePerFrame = 10039,
    kControlPhongAngle = 10040,
    kControlScaleScene = 10041,
    kControlScaleX = 10042,
    kControlScaleY = 10043,
    kControlScaleZ = 10044,
    kControlScaling = 10045,
    kControlUniqueNames = 10046,
    kControlFramePerFile = 10047,
    kControlFrameRate = 10048,
};

constexpr float kMaximumSmoothingAngle = 180.0f;

class SettingsDialog : public ModalDialog {
public:
    SettingsDialog();

    // Copies the record's fields (not `debugListing` and `document`) into the working
    // copy, the scale as percent. 0 without a record.
    int32_t copySettingsToDialog(const ExportSettings* settings);
    // The reverse; the percent values come back as scale factors. 0 without a record.
    int32_t copySettingsFromDialog(ExportSettings* settings) const;

    int32_t buildControls() override;
    int32_t fillControls() override;
    // Reads every element back, corrects the smoothing angle and the distance per
    // frame, and renews the enabled states that depend on element `id`.
    int32_t onAction(int32_t id, const KrvContainer* message) override;

    // The working copy, in the order the dialog keeps it.
    float smoothingAngle;
    int32_t exportFrames;
    int32_t exportNormals;
    int32_t exportTextures;
    int32_t exportBones;
    int32_t useStandardMaterial;
    int32_t exportAnimation;
    int32_t onlyBones;
    int32_t readPhongAngle;
    int32_t scaleScene;
    int32_t uniqueNames;
    int32_t framePerFile;
    float scalePercent[3];
    int32_t ticksPerFrame;
    int32_t distancePerFrame;
    int32_t writeFrameRate;
    // face red, green, blue, alpha; specular the same; emissive the same; power.
    float material[13];

    // Whether element `id` is enabled under the working copy's values.
    bool isEnabled(int32_t id) const;

private:
    void readControls();
    void enableDependents(int32_t changedId);
    void writeRealControl(int32_t id, float value);
    void writeIntControl(int32_t id, int32_t value);
    void writeFlagControl(int32_t id, int32_t value);
};

}  // namespace dorna
