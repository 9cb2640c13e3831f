#include "skin/animation_samples.h"

#include "host/document.h"
#include "host/host.h"
#include "host/object_walk.h"
#include "host/objects.h"
#include "settings/export_settings.h"
#include "skin/placement.h"

namespace dorna {

Sampling samplingOf(KrvDocument document, const ExportSettings& settings) {
    return samplingOfRange(document, settings, HostTime{}, documentEndTime(document));
}

Sampling samplingOfRange(KrvDocument document, const ExportSettings& settings, HostTime start, HostTime end) {
    Sampling sampling;
    sampling.document = document;
    sampling.rate = static_cast<float>(documentFrameRate(document));
    sampling.first = frameOfTime(start, sampling.rate);
    sampling.step = effectiveDistancePerFrame(settings);
    const int64_t frames = int64_t{frameOfTime(end, sampling.rate)} - sampling.first;
    sampling.keyCount = frames > INT32_MAX ? keyCountOf(INT32_MAX, sampling.step)
                                           : keyCountOf(static_cast<int32_t>(frames), sampling.step);
    sampling.ticks = effectiveTicksPerFrame(settings);
    return sampling;
}

bool isAnimated(bool isBone, const ExportSettings& settings) {
    const bool bones = settings.exportBones != 0;
    const bool onlyBones = settings.onlyBones != 0;
    return isBone ? bones : !onlyBones || !bones;
}

bool anyAnimated(KrvObject object, const ExportSettings& settings, bool& animated) {
    animated = false;
    return visitDepthFirst(object, [&](KrvObject o, int32_t) {
        animated = isAnimated(isInstance(o, KRV_TYPE_BONE), settings);
        return !animated;
    });
}

bool writesAnimationSet(const ExportSettings& settings, KrvDocument document) {
    return settings.exportAnimation && settings.exportFrames && !settings.framePerFile && document &&
           firstObject(document);
}

int32_t keyCountOf(int32_t endFrame, int32_t step) {
    if (endFrame <= 0 || step < 1) return 0;
    // Rounded up, where the files of a one-file-per-frame export (saveScene) are rounded
    // down: with the end at frame 90 and a distance of 4 there are 23 keys (frames 0 to
    // 88) but 22 files (frames 0 to 84). The exporter has always counted them so: a key for
    // every step that starts before the end and a file for every whole distance before
    // it; the two stay apart on purpose.
    return endFrame / step + (endFrame % step != 0 ? 1 : 0);
}

int32_t keyTimeOf(const Sampling& sampling, int32_t key) {
    return static_cast<int32_t>(static_cast<uint32_t>(key) * static_cast<uint32_t>(sampling.ticks));
}

Matrix sampleKey(const Sampling& sampling, KrvObject object, int32_t key) {
    // Every object starts again at frame 0, so no key depends on the objects before it.
    HostTime time;
    time.numerator = static_cast<float>(sampling.first + int64_t{key} * sampling.step);
    time.denominator = sampling.rate;
    setDocumentTime(sampling.document, time);
    animateDocument(sampling.document);
    return objectExportMatrix(object);
}

}  // namespace dorna
