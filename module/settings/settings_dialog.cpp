#include "settings/settings_dialog.h"

#include "host/dialog.h"

namespace dorna {

namespace {

constexpr int32_t code(char a, char b, char c, char d) {
    return static_cast<int32_t>(KRV_FOURCC(a, b, c, d));
}

constexpr int32_t kIntValue = code('v', 'i', 'n', 't');
constexpr int32_t kRealValue = code('v', 'f', 'l', 't');
constexpr int32_t kValue = code('v', 'a', 'l', 'u');
constexpr int32_t kFormat = code('f', 'r', 'm', 't');
constexpr int32_t kMinimum = code('m', 'i', 'n', 'i');
constexpr int32_t kMaximum = code('m', 'a', 'x', 'i');
constexpr int32_t kStep = code('s', 't', 'e', 'p');
constexpr int32_t kTristate = code('t', 'r', 'i', 's');
constexpr int32_t kQuadword = code('q', 'u', 'a', 'd');
constexpr int32_t kIntFormat = code('f', 'l', 'n', 'g');
constexpr int32_t kRealFormat = code('f', 'r', 'e', 'a');
constexpr float kRealLimit = 9.0e18f;

constexpr uint32_t kTitledBorder = 0x80000000u;
constexpr int32_t kOkCancelButtons = 3;
constexpr float kPercent = 100.0f;
constexpr float kHundredth = 0.01f;

// Flags, integer fields and real fields, each in the order fillControls sets them.
constexpr int32_t kFlagControls[] = {
    kControlPhongAngle, kControlNormals,   kControlTextures,    kControlFrames,
    kControlBones,      kControlAnimation, kControlStandardMaterial, kControlOnlyBones,
    kControlScaleScene, kControlUniqueNames, kControlFramePerFile, kControlFrameRate,
};
constexpr int32_t kIntControls[] = {kControlTicksPerFrame, kControlDistancePerFrame};
constexpr int32_t kMaterialControls[] = {
    10020, 10021, 10022, 10023, 10025, 10026, 10027, 10028, 10030, 10031, 10032, 10033, 10035,
};
constexpr int32_t kScaleControls[] = {kControlScaleX, kControlScaleY, kControlScaleZ};

// Every element whose enabled state follows the working copy.
constexpr int32_t kDependentControls[] = {
    kControlSmoothingAngle, kControlScaleX, kControlScaleY, kControlScaleZ,
    kControlAnimation, kControlBones, kControlTicksPerFrame, kControlDistancePerFrame,
    kControlFramePerFile, kControlOnlyBones, kControlFrameRate,
    10020, 10021, 10022, 10023, 10025, 10026, 10027, 10028, 10030, 10031, 10032, 10033, 10035,
};

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

SettingsDialog::SettingsDialog()
    : smoothingAngle(0.0f),
      exportFrames(0),
      exportNormals(0),
      exportTextures(0),
      exportBones(0),
      useStandardMaterial(0),
      exportAnimation(0),
      onlyBones(0),
      readPhongAngle(0),
      scaleScene(0),
      uniqueNames(0),
      framePerFile(0),
      scalePercent{0.0f, 0.0f, 0.0f},
      ticksPerFrame(0),
      distancePerFrame(0),
      writeFrameRate(0),
      material{} {}

int32_t SettingsDialog::copySettingsToDialog(const ExportSettings* settings) {
    if (!settings) return 0;
    smoothingAngle = settings->smoothingAngle;
    exportFrames = settings->exportFrames;
    exportNormals = settings->exportNormals;
    exportTextures = settings->exportTextures;
    exportBones = settings->exportBones;
    useStandardMaterial = settings->useStandardMaterial;
    exportAnimation = settings->exportAnimation;
    onlyBones = settings->onlyBones;
    readPhongAngle = settings->readPhongAngle;
    scaleScene = settings->scaleScene;
    uniqueNames = settings->uniqueNames;
    framePerFile = settings->framePerFile;
    ticksPerFrame = settings->ticksPerFrame;
    distancePerFrame = settings->distancePerFrame;
    writeFrameRate = settings->writeFrameRate;
    // Single precision on purpose: 1.0 shows as exactly 100.
    scalePercent[0] = settings->sceneScale.x * kPercent;
    scalePercent[1] = settings->sceneScale.y * kPercent;
    scalePercent[2] = settings->sceneScale.z * kPercent;
    const Color* colors[] = {&settings->faceColor, &settings->specularColor, &settings->emissiveColor};
    for (int i = 0; i < 3; ++i) {
        material[4 * i + 0] = colors[i]->red;
        material[4 * i + 1] = colors[i]->green;
        material[4 * i + 2] = colors[i]->blue;
        material[4 * i + 3] = colors[i]->alpha;
    }
    material[12] = settings->specularPower;
    return 1;
}

int32_t SettingsDialog::copySettingsFromDialog(ExportSettings* settings) const {
    if (!settings) return 0;
    settings->smoothingAngle = smoothingAngle;
    settings->exportFrames = exportFrames;
    settings->exportNormals = exportNormals;
    settings->exportTextures = exportTextures;
    settings->exportBones = exportBones;
    settings->useStandardMaterial = useStandardMaterial;
    settings->exportAnimation = exportAnimation;
    settings->onlyBones = onlyBones;
    settings->readPhongAngle = readPhongAngle;
    settings->scaleScene = scaleScene;
    settings->uniqueNames = uniqueNames;
    settings->framePerFile = framePerFile;
    settings->ticksPerFrame = ticksPerFrame;
    settings->distancePerFrame = distancePerFrame;
    settings->writeFrameRate = writeFrameRate;
    // Single precision on purpose: 100 stores back as exactly 1.0, 250 as 2.5.
    settings->sceneScale.x = scalePercent[0] * kHundredth;
    settings->sceneScale.y = scalePercent[1] * kHundredth;
    settings->sceneScale.z = scalePercent[2] * kHundredth;
    Color* colors[] = {&settings->faceColor, &settings->specularColor, &settings->emissiveColor};
    for (int i = 0; i < 3; ++i) {
        colors[i]->red = material[4 * i + 0];
        colors[i]->green = material[4 * i + 1];
        colors[i]->blue = material[4 * i + 2];
        colors[i]->alpha = material[4 * i + 3];
    }
    settings->specularPower = material[12];
    return 1;
}

int32_t SettingsDialog::buildControls() {
    KrvDialog d = handle_;
    addElement(d, KRV_ELEMENT_TITLE, 0, "Dorna - Export settings", 0, 0, 0, 0);

    openGroup(d, kControlGenerals, "Generals", 9, 1, 7 | kTitledBorder);

    openGroup(d, 0, "Vertices/Normals", 57, 1, 1 | kTitledBorder);
    openGroup(d, 0, nullptr, 57, 2, 0);
    staticText(d, kControlAngleLabel, "Smoothing angle", 56, 150, 0);
    numberField(d, kControlSmoothingAngle, 16, 70);
    endGroup(d);
    checkbox(d, kControlPhongAngle, "Read smoothing-angle from PhongTag (if available)");
    endGroup(d);

    openGroup(d, kControlOptions, "", 57, 1, 1);
    checkbox(d, kControlUniqueNames, "Add unique number to each entity name");
    checkbox(d, kControlNormals, "Export normals");
    checkbox(d, kControlTextures, "Export textures");
    checkbox(d, kControlFrames, "Export frames");
    checkbox(d, kControlBones, "Export bones");
    checkbox(d, kControlAnimation, "Export animation");

    openGroup(d, kControlThresholds, "Animationthresholds", 0, 2, 9 | kTitledBorder);
    staticText(d, 0, "Ticks per frame", 0, 250, 0);
    numberField(d, kControlTicksPerFrame, 0, 70);
    staticText(d, 0, "Distance per frame", 0, 250, 0);
    numberField(d, kControlDistancePerFrame, 0, 70);
    checkbox(d, kControlFramePerFile, "Each frame to separat file");
    checkbox(d, kControlOnlyBones, "Only bones");
    checkbox(d, kControlFrameRate, "Write frame rate (AnimTicksPerSecond)");
    endGroup(d);

    checkbox(d, kControlScaleScene, "Scale Scene");
    openGroup(d, kControlScaling, "Scaling (percent)", 0, 6, 9 | kTitledBorder);
    const char* axes[] = {"X", "Y", "Z"};
    for (int i = 0; i < 3; ++i) {
        staticText(d, 0, axes[i], 0, 20, 0);
        numberField(d, kScaleControls[i], 0, 50);
    }
    endGroup(d);

    checkbox(d, kControlStandardMaterial, "Use standard-material");
    // Shares its id with the thresholds group; nothing addresses either by it.
    openGroup(d, kControlThresholds, "Standard-material", 0, 5, 9 | kTitledBorder);
    staticText(d, 0, "Channel", 0, 120, 9);
    const char* channels[] = {"Red", "Green", "Blue", "Alpha"};
    for (const char* channel : channels) staticText(d, 0, channel, 0, 50, 9);
    const char* rows[] = {"Facecolor", "Specular-Color", "Emissive-Color"};
    const int32_t rowIds[] = {kControlFaceColor, kControlSpecularColor, kControlEmissiveColor};
    for (int row = 0; row < 3; ++row) {
        staticText(d, 0, rows[row], 0, 120, 0);
        for (int32_t channel = 0; channel < 4; ++channel) numberField(d, rowIds[row] + channel, 0, 50);
    }
    staticText(d, 0, "Specular-Power", 0, 120, 0);
    numberField(d, kControlSpecularPower, 0, 50);
    endGroup(d);  // Standard-material
    endGroup(d);  // options
    endGroup(d);  // Generals

    staticText(d, 0, "Dorna Version 1.22", 0, 500, 0);
    staticText(d, 0, "Writes DirectX .x text files (xof 0302txt 0032)", 0, 250, 0);
    addElement(d, KRV_ELEMENT_BUTTONS, 0, nullptr, 0, 0, 0, kOkCancelButtons);
    return 1;
}

namespace {

// An integer element's value with its range: checkboxes are integers from 0 to 1.
void writeIntegerValue(KrvDialog dialog, int32_t id, int32_t value, int32_t minimum, int32_t maximum, int32_t step) {
    SettingsContainer container(kIntValue);
    container.writeInt(kValue, value);
    container.writeInt(kFormat, kIntFormat);
    container.writeInt(kMinimum, minimum);
    container.writeInt(kMaximum, maximum);
    container.writeInt(kStep, step);
    container.writeInt(kTristate, 0);
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
    SettingsContainer container(kRealValue);
    container.writeReal(kValue, value);
    container.writeInt(kFormat, kRealFormat);
    container.writeReal(kMinimum, -kRealLimit);
    container.writeReal(kMaximum, kRealLimit);
    container.writeReal(kStep, 1.0f);
    container.writeInt(kTristate, 0);
    container.writeInt(kQuadword, 0);
    setElementValue(handle_, id, container);
}

int32_t SettingsDialog::fillControls() {
    const int32_t flags[] = {
        readPhongAngle, exportNormals, exportTextures, exportFrames, exportBones, exportAnimation,
        useStandardMaterial, onlyBones, scaleScene, uniqueNames, framePerFile, writeFrameRate,
    };
    for (size_t i = 0; i < sizeof(flags) / sizeof(flags[0]); ++i) writeFlagControl(kFlagControls[i], flags[i]);
    writeIntControl(kIntControls[0], ticksPerFrame);
    writeIntControl(kIntControls[1], distancePerFrame);
    writeRealControl(kControlSmoothingAngle, smoothingAngle);
    for (int i = 0; i < 3; ++i) writeRealControl(kScaleControls[i], scalePercent[i]);
    for (int i = 0; i < 13; ++i) writeRealControl(kMaterialControls[i], material[i]);
    for (int32_t id : kDependentControls) enableElement(handle_, id, isEnabled(id));
    return 1;
}

bool SettingsDialog::isEnabled(int32_t id) const {
    switch (id) {
        case kControlSmoothingAngle:
            return !readPhongAngle;
        case kControlScaleX:
        case kControlScaleY:
        case kControlScaleZ:
            return scaleScene != 0;
        case kControlAnimation:
        case kControlBones:
            return exportFrames != 0;
        case kControlTicksPerFrame:
        case kControlDistancePerFrame:
        case kControlFramePerFile:
        case kControlFrameRate:
            return exportFrames && exportAnimation;
        case kControlOnlyBones:
            return exportFrames && exportAnimation && exportBones && !framePerFile;
        default:
            break;
    }
    for (int32_t materialId : kMaterialControls)
        if (id == materialId) return useStandardMaterial != 0;
    return true;
}

void SettingsDialog::readControls() {
    KrvDialog d = handle_;
    readPhongAngle = readElementFlag(d, kControlPhongAngle);
    exportNormals = readElementFlag(d, kControlNormals);
    exportTextures = readElementFlag(d, kControlTextures);
    exportFrames = readElementFlag(d, kControlFrames);
    exportBones = readElementFlag(d, kControlBones);
    exportAnimation = readElementFlag(d, kControlAnimation);
    useStandardMaterial = readElementFlag(d, kControlStandardMaterial);
    onlyBones = readElementFlag(d, kControlOnlyBones);
    scaleScene = readElementFlag(d, kControlScaleScene);
    uniqueNames = readElementFlag(d, kControlUniqueNames);
    framePerFile = readElementFlag(d, kControlFramePerFile);
    writeFrameRate = readElementFlag(d, kControlFrameRate);
    ticksPerFrame = readElementInt(d, kControlTicksPerFrame);
    distancePerFrame = readElementInt(d, kControlDistancePerFrame);
    smoothingAngle = readElementReal(d, kControlSmoothingAngle);
    for (int i = 0; i < 3; ++i) scalePercent[i] = readElementReal(d, kScaleControls[i]);
    for (int i = 0; i < 13; ++i) material[i] = readElementReal(d, kMaterialControls[i]);
}

void SettingsDialog::enableDependents(int32_t changedId) {
    KrvDialog d = handle_;
    switch (changedId) {
        case kControlFrames:
            enableElement(d, kControlAnimation, isEnabled(kControlAnimation));
            enableElement(d, kControlBones, isEnabled(kControlBones));
            [[fallthrough]];
        case kControlAnimation:
            enableElement(d, kControlTicksPerFrame, isEnabled(kControlTicksPerFrame));
            enableElement(d, kControlDistancePerFrame, isEnabled(kControlDistancePerFrame));
            enableElement(d, kControlFramePerFile, isEnabled(kControlFramePerFile));
            enableElement(d, kControlFrameRate, isEnabled(kControlFrameRate));
            [[fallthrough]];
        case kControlBones:
        case kControlFramePerFile:
            enableElement(d, kControlOnlyBones, isEnabled(kControlOnlyBones));
            break;
        case kControlPhongAngle:
            enableElement(d, kControlSmoothingAngle, isEnabled(kControlSmoothingAngle));
            break;
        case kControlScaleScene:
            for (int32_t id : kScaleControls) enableElement(d, id, isEnabled(id));
            break;
        case kControlStandardMaterial:
            for (int32_t id : kMaterialControls) enableElement(d, id, isEnabled(id));
            break;
        default:
            break;
    }
}

int32_t SettingsDialog::onAction(int32_t id, const KrvContainer*) {
    readControls();
    if (smoothingAngle > kMaximumSmoothingAngle) {
        smoothingAngle = kMaximumSmoothingAngle;
        writeRealControl(kControlSmoothingAngle, smoothingAngle);
    }
    // Also catches a value that is not a number.
    if (!(smoothingAngle >= 0.0f)) {
        smoothingAngle = 0.0f;
        writeRealControl(kControlSmoothingAngle, smoothingAngle);
    }
    // A distance below one frame would divide by zero or never end the key loop.
    if (distancePerFrame < 1) {
        distancePerFrame = 1;
        writeIntControl(kControlDistancePerFrame, distancePerFrame);
    }
    // Ticks below one would give every key time 0, or negative times.
    if (ticksPerFrame < 1) {
        ticksPerFrame = 1;
        writeIntControl(kControlTicksPerFrame, ticksPerFrame);
    }
    enableDependents(id);
    return 1;
}

}  // namespace dorna
