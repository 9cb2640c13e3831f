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

struct ExportSettings {
    bool debugListing;
    float smoothingAngle;  // degrees
    bool exportFrames;
    bool exportNormals;
    bool exportTextures;
    bool useStandardMaterial;
    bool exportAnimation;
    bool exportBones;
    bool onlyBones;
    bool readPhongAngle;
    bool scaleScene;
    bool uniqueNames;
    bool framePerFile;
    int32_t ticksPerFrame;
    int32_t distancePerFrame;
    KrvVector sceneScale;
    Color faceColor;
    Color specularColor;  // alpha is edited but written nowhere
    Color emissiveColor;  // alpha is edited but written nowhere
    float specularPower;
    bool writeFrameRate;  // declare the animation set's ticks per second in the file
    bool useNormalTags;   // vertex normals from an object's normal tag instead of the smoothing
    bool exportAllTakes;  // one animation set per take of the document
};

constexpr ExportSettings kDefaultExportSettings = {
    false,   80.0f, true, true, true, false, false, true, true, true, false, true, false, 40, 1,
    {1.0f, 1.0f, 1.0f},
    {0.7f, 0.7f, 0.7f, 1.0f},
    {0.7f, 0.7f, 0.7f, 1.0f},
    {0.0f, 0.0f, 0.0f, 1.0f},
    2.0f,
    false,
    false,
    false,
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
