#include "settings/settings_dialog.h"

#include <cstddef>
#include <iterator>

#include "host/dialog.h"

namespace dorna {

namespace {

constexpr float kRealLimit = 9.0e18f;
constexpr uint32_t kTitledBorder = 0x80000000u;
constexpr float kPercent = 100.0f;
constexpr float kHundredth = 0.01f;

// How a row's setting is kept in the record, shown and read back.
enum class ValueKind : uint8_t {
    Flag,     // a bool setting in a checkbox, shown as 0 or 1
    Integer,  // an int32_t setting in a whole-number field
    Real,     // a float setting in a decimal field
    Percent,  // a float scale factor in a decimal field, shown in percent
};

// When a row's element is enabled: every `on` checkbox (0: none) is checked and the
// `off` checkbox (0: none) is not. With neither it is always enabled.
struct EnabledWhen {
    int32_t on[3];
    int32_t off;
};

constexpr EnabledWhen kAlways = {{0, 0, 0}, 0};
constexpr EnabledWhen kWithFrames = {{KRV_SETTINGS_FRAMES, 0, 0}, 0};
constexpr EnabledWhen kWithAnimation = {{KRV_SETTINGS_FRAMES, KRV_SETTINGS_ANIMATION, 0}, 0};
constexpr EnabledWhen kWithBoneKeys = {{KRV_SETTINGS_FRAMES, KRV_SETTINGS_ANIMATION, KRV_SETTINGS_BONES},
                                       KRV_SETTINGS_FRAME_PER_FILE};
constexpr EnabledWhen kWithoutPhongAngle = {{0, 0, 0}, KRV_SETTINGS_PHONG_ANGLE};
constexpr EnabledWhen kWithScale = {{KRV_SETTINGS_SCALE_SCENE, 0, 0}, 0};
constexpr EnabledWhen kWithStandardMaterial = {{KRV_SETTINGS_STANDARD_MATERIAL, 0, 0}, 0};

// One element that edits a setting: its id, how its value is kept, where the setting
// lies in the record, and when the element is enabled.
struct EditedElement {
    int32_t id;
    ValueKind kind;
    size_t field;  // byte offset in ExportSettings
    EnabledWhen enabledWhen;
};

// Every element that edits a setting, in the order the values are set and read back:
// the checkboxes, the whole numbers, then the decimals.
constexpr EditedElement kElements[] = {
    {KRV_SETTINGS_PHONG_ANGLE, ValueKind::Flag, offsetof(ExportSettings, readPhongAngle), kAlways},
    {KRV_SETTINGS_NORMALS, ValueKind::Flag, offsetof(ExportSettings, exportNormals), kAlways},
    {KRV_SETTINGS_TEXTURES, ValueKind::Flag, offsetof(ExportSettings, exportTextures), kAlways},
    {KRV_SETTINGS_FRAMES, ValueKind::Flag, offsetof(ExportSettings, exportFrames), kAlways},
    {KRV_SETTINGS_BONES, ValueKind::Flag, offsetof(ExportSettings, exportBones), kWithFrames},
    {KRV_SETTINGS_ANIMATION, ValueKind::Flag, offsetof(ExportSettings, exportAnimation), kWithFrames},
    {KRV_SETTINGS_STANDARD_MATERIAL, ValueKind::Flag, offsetof(ExportSettings, useStandardMaterial), kAlways},
    {KRV_SETTINGS_ONLY_BONES, ValueKind::Flag, offsetof(ExportSettings, onlyBones), kWithBoneKeys},
    {KRV_SETTINGS_SCALE_SCENE, ValueKind::Flag, offsetof(ExportSettings, scaleScene), kAlways},
    {KRV_SETTINGS_UNIQUE_NAMES, ValueKind::Flag, offsetof(ExportSettings, uniqueNames), kAlways},
    {KRV_SETTINGS_FRAME_PER_FILE, ValueKind::Flag, offsetof(ExportSettings, framePerFile), kWithAnimation},
    {KRV_SETTINGS_FRAME_RATE, ValueKind::Flag, offsetof(ExportSettings, writeFrameRate), kWithAnimation},
    {KRV_SETTINGS_NORMAL_TAGS, ValueKind::Flag, offsetof(ExportSettings, useNormalTags), kAlways},
    {KRV_SETTINGS_ALL_TAKES, ValueKind::Flag, offsetof(ExportSettings, exportAllTakes), kWithAnimation},
    {KRV_SETTINGS_TICKS_PER_FRAME, ValueKind::Integer, offsetof(ExportSettings, ticksPerFrame), kWithAnimation},
    {KRV_SETTINGS_DISTANCE_PER_FRAME, ValueKind::Integer, offsetof(ExportSettings, distancePerFrame), kWithAnimation},
    {KRV_SETTINGS_SMOOTHING_ANGLE, ValueKind::Real, offsetof(ExportSettings, smoothingAngle), kWithoutPhongAngle},
    {KRV_SETTINGS_SCALE_X, ValueKind::Percent, offsetof(ExportSettings, sceneScale.x), kWithScale},
    {KRV_SETTINGS_SCALE_Y, ValueKind::Percent, offsetof(ExportSettings, sceneScale.y), kWithScale},
    {KRV_SETTINGS_SCALE_Z, ValueKind::Percent, offsetof(ExportSettings, sceneScale.z), kWithScale},
    {KRV_SETTINGS_FACE_COLOR, ValueKind::Real, offsetof(ExportSettings, faceColor.red), kWithStandardMaterial},
    {KRV_SETTINGS_FACE_COLOR + 1, ValueKind::Real, offsetof(ExportSettings, faceColor.green), kWithStandardMaterial},
    {KRV_SETTINGS_FACE_COLOR + 2, ValueKind::Real, offsetof(ExportSettings, faceColor.blue), kWithStandardMaterial},
    {KRV_SETTINGS_FACE_COLOR + 3, ValueKind::Real, offsetof(ExportSettings, faceColor.alpha), kWithStandardMaterial},
    {KRV_SETTINGS_SPECULAR_COLOR, ValueKind::Real, offsetof(ExportSettings, specularColor.red), kWithStandardMaterial},
    {KRV_SETTINGS_SPECULAR_COLOR + 1, ValueKind::Real, offsetof(ExportSettings, specularColor.green),
     kWithStandardMaterial},
    {KRV_SETTINGS_SPECULAR_COLOR + 2, ValueKind::Real, offsetof(ExportSettings, specularColor.blue),
     kWithStandardMaterial},
    {KRV_SETTINGS_SPECULAR_COLOR + 3, ValueKind::Real, offsetof(ExportSettings, specularColor.alpha),
     kWithStandardMaterial},
    {KRV_SETTINGS_EMISSIVE_COLOR, ValueKind::Real, offsetof(ExportSettings, emissiveColor.red), kWithStandardMaterial},
    {KRV_SETTINGS_EMISSIVE_COLOR + 1, ValueKind::Real, offsetof(ExportSettings, emissiveColor.green),
     kWithStandardMaterial},
    {KRV_SETTINGS_EMISSIVE_COLOR + 2, ValueKind::Real, offsetof(ExportSettings, emissiveColor.blue),
     kWithStandardMaterial},
    {KRV_SETTINGS_EMISSIVE_COLOR + 3, ValueKind::Real, offsetof(ExportSettings, emissiveColor.alpha),
     kWithStandardMaterial},
    {KRV_SETTINGS_SPECULAR_POWER, ValueKind::Real, offsetof(ExportSettings, specularPower), kWithStandardMaterial},
};
static_assert(std::size(kElements) == SettingsDialog::kEditedElements, "one working value per row");

constexpr int kNoRow = -1;

int rowOf(int32_t id) {
    for (int row = 0; row < SettingsDialog::kEditedElements; ++row)
        if (kElements[row].id == id) return row;
    return kNoRow;
}

bool isAlwaysEnabled(const EnabledWhen& rule) { return rule.on[0] == 0 && rule.off == 0; }

// Whether the element's enabled state follows checkbox `id` (0 is no element).
bool dependsOn(const EnabledWhen& rule, int32_t id) {
    return id != 0 && (rule.off == id || rule.on[0] == id || rule.on[1] == id || rule.on[2] == id);
}

// The row's setting in the record, by its offset.
bool& flagSetting(ExportSettings& settings, const EditedElement& element) {
    return *reinterpret_cast<bool*>(reinterpret_cast<char*>(&settings) + element.field);
}

bool flagSetting(const ExportSettings& settings, const EditedElement& element) {
    return *reinterpret_cast<const bool*>(reinterpret_cast<const char*>(&settings) + element.field);
}

int32_t& intSetting(ExportSettings& settings, const EditedElement& element) {
    return *reinterpret_cast<int32_t*>(reinterpret_cast<char*>(&settings) + element.field);
}

int32_t intSetting(const ExportSettings& settings, const EditedElement& element) {
    return *reinterpret_cast<const int32_t*>(reinterpret_cast<const char*>(&settings) + element.field);
}

float& realSetting(ExportSettings& settings, const EditedElement& element) {
    return *reinterpret_cast<float*>(reinterpret_cast<char*>(&settings) + element.field);
}

float realSetting(const ExportSettings& settings, const EditedElement& element) {
    return *reinterpret_cast<const float*>(reinterpret_cast<const char*>(&settings) + element.field);
}

int32_t asFlag(int32_t value) { return value != 0 ? 1 : 0; }

void openGroup(KrvDialog dialog, int32_t id, const char* title, int32_t layout, int32_t columns,
               uint32_t border) {
    beginGroup(dialog, id, layout, columns, 0, title, 0);
    setGroupBorder(dialog, border);
    setGroupSpacing(dialog, 4, 4);
    setGroupBorderSpace(dialog, 4, 4, 4, 4);
}

void staticText(KrvDialog dialog, int32_t id, const char* text, int32_t layout, int32_t width,
                int32_t border) {
    addElement(dialog, KRV_ELEMENT_STATIC, id, text, layout, width, 0, border);
}

void numberField(KrvDialog dialog, int32_t id, int32_t layout, int32_t width) {
    addElement(dialog, KRV_ELEMENT_NUMBER, id, nullptr, layout, width, 0, 0);
}

void checkbox(KrvDialog dialog, int32_t id, const char* text) {
    addElement(dialog, KRV_ELEMENT_CHECKBOX, id, text, 8, 0, 0, 0);
}

}  // namespace

SettingsDialog::SettingsDialog() : working_{} {}

WorkingValue& SettingsDialog::working(int32_t id) { return working_[rowOf(id)]; }

int32_t SettingsDialog::copySettingsToDialog(const ExportSettings* settings) {
    if (!settings) return 0;
    const ExportSettings& source = *settings;
    for (int row = 0; row < kEditedElements; ++row) {
        const EditedElement& element = kElements[row];
        switch (element.kind) {
            case ValueKind::Flag: working_[row].integer = flagSetting(source, element) ? 1 : 0; break;
            case ValueKind::Integer: working_[row].integer = intSetting(source, element); break;
            case ValueKind::Real: working_[row].real = realSetting(source, element); break;
            // Single precision on purpose: 1.0 shows as exactly 100.
            case ValueKind::Percent: working_[row].real = realSetting(source, element) * kPercent; break;
        }
    }
    return 1;
}

int32_t SettingsDialog::copySettingsFromDialog(ExportSettings* settings) const {
    if (!settings) return 0;
    for (int row = 0; row < kEditedElements; ++row) {
        const EditedElement& element = kElements[row];
        switch (element.kind) {
            case ValueKind::Flag: flagSetting(*settings, element) = working_[row].integer != 0; break;
            case ValueKind::Integer: intSetting(*settings, element) = working_[row].integer; break;
            case ValueKind::Real: realSetting(*settings, element) = working_[row].real; break;
            // Single precision on purpose: 100 stores back as exactly 1.0, 250 as 2.5.
            case ValueKind::Percent: realSetting(*settings, element) = working_[row].real * kHundredth; break;
        }
    }
    return 1;
}

int32_t SettingsDialog::buildControls() {
    KrvDialog d = handle_;
    addElement(d, KRV_ELEMENT_TITLE, 0, "Dorna - Export settings", 0, 0, 0, 0);

    openGroup(d, KRV_SETTINGS_GENERALS, "Generals", 9, 1, 7 | kTitledBorder);

    openGroup(d, 0, "Vertices/Normals", 57, 1, 1 | kTitledBorder);
    openGroup(d, 0, nullptr, 57, 2, 0);
    staticText(d, KRV_SETTINGS_ANGLE_LABEL, "Smoothing angle", 56, 150, 0);
    numberField(d, KRV_SETTINGS_SMOOTHING_ANGLE, 16, 70);
    endGroup(d);
    checkbox(d, KRV_SETTINGS_PHONG_ANGLE, "Read smoothing-angle from PhongTag (if available)");
    checkbox(d, KRV_SETTINGS_NORMAL_TAGS, "Use normal tags");
    endGroup(d);

    openGroup(d, KRV_SETTINGS_OPTIONS, "", 57, 1, 1);
    checkbox(d, KRV_SETTINGS_UNIQUE_NAMES, "Add unique number to each entity name");
    checkbox(d, KRV_SETTINGS_NORMALS, "Export normals");
    checkbox(d, KRV_SETTINGS_TEXTURES, "Export textures");
    checkbox(d, KRV_SETTINGS_FRAMES, "Export frames");
    checkbox(d, KRV_SETTINGS_BONES, "Export bones");
    checkbox(d, KRV_SETTINGS_ANIMATION, "Export animation");

    openGroup(d, KRV_SETTINGS_THRESHOLDS, "Animationthresholds", 0, 2, 9 | kTitledBorder);
    staticText(d, 0, "Ticks per frame", 0, 250, 0);
    numberField(d, KRV_SETTINGS_TICKS_PER_FRAME, 0, 70);
    staticText(d, 0, "Distance per frame", 0, 250, 0);
    numberField(d, KRV_SETTINGS_DISTANCE_PER_FRAME, 0, 70);
    checkbox(d, KRV_SETTINGS_FRAME_PER_FILE, "Each frame to separat file");
    checkbox(d, KRV_SETTINGS_ONLY_BONES, "Only bones");
    checkbox(d, KRV_SETTINGS_FRAME_RATE, "Write frame rate (AnimTicksPerSecond)");
    checkbox(d, KRV_SETTINGS_ALL_TAKES, "Export all takes");
    endGroup(d);

    checkbox(d, KRV_SETTINGS_SCALE_SCENE, "Scale Scene");
    openGroup(d, KRV_SETTINGS_SCALING, "Scaling (percent)", 0, 6, 9 | kTitledBorder);
    const char* axes[] = {"X", "Y", "Z"};
    const int32_t axisIds[] = {KRV_SETTINGS_SCALE_X, KRV_SETTINGS_SCALE_Y, KRV_SETTINGS_SCALE_Z};
    for (int i = 0; i < 3; ++i) {
        staticText(d, 0, axes[i], 0, 20, 0);
        numberField(d, axisIds[i], 0, 50);
    }
    endGroup(d);

    checkbox(d, KRV_SETTINGS_STANDARD_MATERIAL, "Use standard-material");
    // Shares its id with the thresholds group; nothing addresses either by it.
    openGroup(d, KRV_SETTINGS_THRESHOLDS, "Standard-material", 0, 5, 9 | kTitledBorder);
    staticText(d, 0, "Channel", 0, 120, 9);
    const char* channels[] = {"Red", "Green", "Blue", "Alpha"};
    for (const char* channel : channels) staticText(d, 0, channel, 0, 50, 9);
    const char* rows[] = {"Facecolor", "Specular-Color", "Emissive-Color"};
    const int32_t rowIds[] = {KRV_SETTINGS_FACE_COLOR, KRV_SETTINGS_SPECULAR_COLOR, KRV_SETTINGS_EMISSIVE_COLOR};
    for (int row = 0; row < 3; ++row) {
        staticText(d, 0, rows[row], 0, 120, 0);
        for (int32_t channel = 0; channel < 4; ++channel) numberField(d, rowIds[row] + channel, 0, 50);
    }
    staticText(d, 0, "Specular-Power", 0, 120, 0);
    numberField(d, KRV_SETTINGS_SPECULAR_POWER, 0, 50);
    endGroup(d);  // Standard-material
    endGroup(d);  // options
    endGroup(d);  // Generals

    staticText(d, 0, "Dorna Version " KRV_EXPORT_MODULE_VERSION, 0, 500, 0);
    staticText(d, 0, "Writes DirectX .x text files (xof 0302txt 0032)", 0, 250, 0);
    addElement(d, KRV_ELEMENT_BUTTONS, 0, nullptr, 0, 0, 0, KRV_BUTTONS_OK_CANCEL);
    return 1;
}

namespace {

// An integer element's value with its range: checkboxes are integers from 0 to 1.
void writeIntegerValue(KrvDialog dialog, int32_t id, int32_t value, int32_t minimum, int32_t maximum, int32_t step) {
    HostContainer container(KRV_DIALOG_VALUE_INT);
    container.writeInt(KRV_DIALOG_VALUE_VALUE, value);
    container.writeInt(KRV_DIALOG_VALUE_FORMAT, KRV_DIALOG_FORMAT_INT);
    container.writeInt(KRV_DIALOG_VALUE_MINIMUM, minimum);
    container.writeInt(KRV_DIALOG_VALUE_MAXIMUM, maximum);
    container.writeInt(KRV_DIALOG_VALUE_STEP, step);
    container.writeInt(KRV_DIALOG_VALUE_TRISTATE, 0);
    setElementValue(dialog, id, container);
}

}  // namespace

void SettingsDialog::writeFlagControl(int32_t id, int32_t value) {
    writeIntegerValue(handle_, id, asFlag(value), 0, 1, 0);
}

void SettingsDialog::writeIntControl(int32_t id, int32_t value) {
    writeIntegerValue(handle_, id, value, -2147483647, 2147483647, 1);
}

void SettingsDialog::writeRealControl(int32_t id, float value) {
    HostContainer container(KRV_DIALOG_VALUE_REAL);
    container.writeReal(KRV_DIALOG_VALUE_VALUE, value);
    container.writeInt(KRV_DIALOG_VALUE_FORMAT, KRV_DIALOG_FORMAT_REAL);
    container.writeReal(KRV_DIALOG_VALUE_MINIMUM, -kRealLimit);
    container.writeReal(KRV_DIALOG_VALUE_MAXIMUM, kRealLimit);
    container.writeReal(KRV_DIALOG_VALUE_STEP, 1.0f);
    container.writeInt(KRV_DIALOG_VALUE_TRISTATE, 0);
    container.writeInt(KRV_DIALOG_VALUE_QUADWORD, 0);
    setElementValue(handle_, id, container);
}

void SettingsDialog::writeControl(int row) {
    const EditedElement& element = kElements[row];
    switch (element.kind) {
        case ValueKind::Flag: writeFlagControl(element.id, working_[row].integer); break;
        case ValueKind::Integer: writeIntControl(element.id, working_[row].integer); break;
        case ValueKind::Real:
        case ValueKind::Percent: writeRealControl(element.id, working_[row].real); break;
    }
}

int32_t SettingsDialog::fillControls() {
    for (int row = 0; row < kEditedElements; ++row) writeControl(row);
    for (int row = 0; row < kEditedElements; ++row)
        if (!isAlwaysEnabled(kElements[row].enabledWhen)) enableElement(handle_, kElements[row].id, isEnabled(row));
    return 1;
}

bool SettingsDialog::isEnabled(int row) const {
    const EnabledWhen& rule = kElements[row].enabledWhen;
    for (int32_t id : rule.on)
        if (id != 0 && working_[rowOf(id)].integer == 0) return false;
    return rule.off == 0 || working_[rowOf(rule.off)].integer == 0;
}

void SettingsDialog::readControls() {
    for (int row = 0; row < kEditedElements; ++row) {
        const EditedElement& element = kElements[row];
        switch (element.kind) {
            case ValueKind::Flag: working_[row].integer = readElementFlag(handle_, element.id); break;
            case ValueKind::Integer: working_[row].integer = readElementInt(handle_, element.id); break;
            case ValueKind::Real:
            case ValueKind::Percent: working_[row].real = readElementReal(handle_, element.id); break;
        }
    }
}

void SettingsDialog::enableDependents(int32_t changedId) {
    for (int row = 0; row < kEditedElements; ++row)
        if (dependsOn(kElements[row].enabledWhen, changedId)) enableElement(handle_, kElements[row].id, isEnabled(row));
}

int32_t SettingsDialog::onAction(int32_t id, const KrvContainer*) {
    readControls();
    float& smoothingAngle = working(KRV_SETTINGS_SMOOTHING_ANGLE).real;
    if (smoothingAngle > kMaximumSmoothingAngle) {
        smoothingAngle = kMaximumSmoothingAngle;
        writeRealControl(KRV_SETTINGS_SMOOTHING_ANGLE, smoothingAngle);
    }
    // Also catches a value that is not a number.
    if (!(smoothingAngle >= 0.0f)) {
        smoothingAngle = 0.0f;
        writeRealControl(KRV_SETTINGS_SMOOTHING_ANGLE, smoothingAngle);
    }
    // A distance below one frame would divide by zero or never end the key loop.
    int32_t& distancePerFrame = working(KRV_SETTINGS_DISTANCE_PER_FRAME).integer;
    if (distancePerFrame < 1) {
        distancePerFrame = 1;
        writeIntControl(KRV_SETTINGS_DISTANCE_PER_FRAME, distancePerFrame);
    }
    // Ticks below one would give every key time 0, or negative times.
    int32_t& ticksPerFrame = working(KRV_SETTINGS_TICKS_PER_FRAME).integer;
    if (ticksPerFrame < 1) {
        ticksPerFrame = 1;
        writeIntControl(KRV_SETTINGS_TICKS_PER_FRAME, ticksPerFrame);
    }
    enableDependents(id);
    return 1;
}

}  // namespace dorna
