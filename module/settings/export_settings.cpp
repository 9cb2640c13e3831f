#include "settings/export_settings.h"

namespace dorna {

// Constant-initialised: the defaults are in place before any code of the module runs.
ExportSettings exportSettings = kDefaultExportSettings;

int32_t effectiveDistancePerFrame(const ExportSettings& settings) {
    return settings.distancePerFrame < 1 ? 1 : settings.distancePerFrame;
}

int32_t effectiveTicksPerFrame(const ExportSettings& settings) {
    return settings.ticksPerFrame < 1 ? 1 : settings.ticksPerFrame;
}

}  // namespace dorna
