// The export options. One module-wide record holds the user's choices for as long as
// the module is loaded (the settings dialog's memory between saves; it is never saved);
// every export takes a snapshot of it and the writers read that.
#pragma once

#include <korvo_sdk.h>

#include <cstdint>

namespace dorna {

struct Color {
    float red, green, blue, alpha;
};

// Flags are 0 (off) or any other value (on); the dialog stores 0 or 1.
struct ExportSettings {
    int32_t debugListing;
    float smoothingAngle;  // degrees
    int32_t exportFrames;
    int32_t exportNormals;
    int32_t exportTextures;
    int32_t useStandardMaterial;
    int32_t exportAnimation;
    int32_t exportBones;
    int32_t onlyBones;
    int32_t readPhongAngle;
    int32_t scaleScene;
    int32_t uniqueNames;
    int32_t framePerFile;
    int32_t ticksPerFrame;
    int32_t distancePerFrame;
    KrvVector sceneScale;
    Color faceColor;
    Color specularColor;  // alpha is edited but written nowhere
    Color emissiveColor;  // alpha is edited but written nowhere
    float specularPower;
    int32_t writeFrameRate;  // declare the animation set's ticks per second in the file
    int32_t useNormalTags;   // vertex normals from an object's normal tag instead of the smoothing
    int32_t exportAllTakes;  // one animation set per take of the document
};

constexpr ExportSettings kDefaultExportSettings = {
    0,       80.0f, 1, 1, 1, 0, 0, 1, 1, 1, 0, 1, 0, 40, 1,
    {1.0f, 1.0f, 1.0f},
    {0.7f, 0.7f, 0.7f, 1.0f},
    {0.7f, 0.7f, 0.7f, 1.0f},
    {0.0f, 0.0f, 0.0f, 1.0f},
    2.0f,
    0,
    0,
    0,
};

// The module-wide record. It holds the defaults from the moment the module is loaded.
extern ExportSettings exportSettings;

// The step between exported frames and between animation keys. A distance below 1
// would divide by zero or never end the key loop, so it counts as 1.
int32_t effectiveDistancePerFrame(const ExportSettings& settings);
// The key time units per frame. Below 1 every key would share time 0, or get a negative
// time readers refuse, so it counts as 1.
int32_t effectiveTicksPerFrame(const ExportSettings& settings);

}  // namespace dorna
