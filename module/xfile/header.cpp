#include "xfile/header.h"

#include <charconv>
#include <cmath>

#include "host/document.h"
#include "host/host.h"
#include "settings/export_settings.h"
#include "skin/animation_samples.h"
#include "xfile/export_context.h"
#include "xfile/text_writer.h"

namespace dorna {

namespace {

// Readers assume a tick rate of their own (D3DX: 4800 per second) unless the file
// states it; laid out like the fixed templates, after them.
const char kAnimTicksPerSecondTemplate[] =
    "template AnimTicksPerSecond {\r\n"
    " <9E415A43-7BA6-4a73-8743-B73D47E88476>\r\n"
    " DWORD AnimTicksPerSecond;\r\n"
    "}\r\n"
    "\r\n";
constexpr int32_t kBlankLineSize = 2;  // the fixed block ends with a blank line of its own

// The key ticks of one second, 0 when they are no DWORD (ticks per frame of 0 or less).
// Keys lie a distance of frames apart and a key's time advances by the ticks per frame,
// so a second of the scene holds fps / distance keys.
int64_t ticksPerSecond(const ExportSettings& settings, KrvDocument document) {
    const double ticks = std::round(static_cast<double>(documentFrameRate(document)) * settings.ticksPerFrame /
                                    effectiveDistancePerFrame(settings));
    return ticks >= 1 && ticks <= 4294967295.0 ? static_cast<int64_t>(ticks) : 0;
}

}  // namespace

void writeHeader(ExportContext& context) {
    const ExportSettings& settings = context.settings;
    XTextWriter& writer = context.writer;
    const bool declareTicks = settings.writeFrameRate && writesAnimationSet(settings, context.document);
    const int64_t ticks = declareTicks ? ticksPerSecond(settings, context.document) : 0;
    if (declareTicks && ticks == 0)
        printLine("Dorna: AnimTicksPerSecond left out: the frame rate times the ticks per frame over the distance "
                  "per frame is not a positive 32-bit number");
    if (ticks == 0) {
        writer.writeBytes(kFixedHeaderBlock, kFixedHeaderBlockSize);
    } else {
        char text[24];
        const char* end = std::to_chars(text, text + sizeof text, ticks).ptr;
        writer.writeBytes(kFixedHeaderBlock, kFixedHeaderBlockSize - kBlankLineSize);
        writer.writeText(kAnimTicksPerSecondTemplate);
        const Block value(writer, "\r\nAnimTicksPerSecond {\r\n ", ";\r\n}\r\n");
        writer.writeBytes(text, static_cast<int32_t>(end - text));
    }
}

}  // namespace dorna
