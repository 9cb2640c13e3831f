#include "skin/animation_set.h"

#include "host/document.h"
#include "host/host.h"
#include "host/objects.h"
#include "settings/export_settings.h"
#include "xfile/buffered_text.h"
#include "xfile/names.h"
#include "xfile/non_finite_report.h"
#include "xfile/text_writer.h"

namespace dorna {

namespace {

// What every Animation of one set shares.
struct Sampling {
    KrvDocument document;
    float rate;         // frames per second
    int32_t keyCount;
    int32_t step;       // frames between keys
    int32_t ticks;      // key time units per key
};

// The document as it stands at `frame`: one evaluation by the host.
void showFrame(const Sampling& sampling, int64_t frame) {
    HostTime time;
    time.numerator = static_cast<float>(frame);
    time.denominator = sampling.rate;
    setDocumentTime(sampling.document, time);
    animateDocument(sampling.document);
}

void writeAnimation(const Sampling& sampling, KrvObject object, XTextWriter& writer) {
    writeAnimationOpen(writer, sampling.keyCount);
    // Every object starts again at frame 0, so no key depends on the objects before it.
    // A failed write drops the file: a long animation stops at once rather than at its end.
    for (int32_t k = 0; k < sampling.keyCount && !writer.writeFailed(); ++k) {
        showFrame(sampling, int64_t{k} * sampling.step);
        // Key times wrap as 32-bit integers, as the file stores them.
        const int32_t keyTime = static_cast<int32_t>(static_cast<uint32_t>(k) * static_cast<uint32_t>(sampling.ticks));
        writeMatrixKey(writer, keyTime, objectExportMatrix(object), k + 1 == sampling.keyCount);
    }
    reportNonFinite(writer, object);
    const NameText name = frameName(object);
    writer.writeText("  }\r\n  {");
    writer.writeBytes(name.text, name.length);
    writer.writeText("}\r\n}\r\n");
}

// True when the object, a later sibling or one of their descendants is animated.
bool anyAnimated(KrvObject object) {
    for (KrvObject o = object; o; o = nextObject(o)) {
        if (isAnimated(isInstance(o, KRV_TYPE_BONE), exportSettings)) return true;
        if (KrvObject child = firstChild(o)) {
            if (anyAnimated(child)) return true;
        }
    }
    return false;
}

// The object, its later siblings and all their descendants, depth first.
void writeAnimations(const Sampling& sampling, KrvObject object, XTextWriter& writer) {
    for (KrvObject o = object; o && !writer.writeFailed(); o = nextObject(o)) {
        if (isAnimated(isInstance(o, KRV_TYPE_BONE), exportSettings)) writeAnimation(sampling, o, writer);
        if (KrvObject child = firstChild(o)) writeAnimations(sampling, child, writer);
    }
}

}  // namespace

bool isAnimated(bool isBone, const ExportSettings& settings) {
    const bool bones = settings.exportBones != 0;
    const bool onlyBones = settings.onlyBones != 0;
    return isBone ? bones : !onlyBones || !bones;
}

bool writesAnimationSet(const ExportSettings& settings, KrvDocument document) {
    return settings.exportAnimation && settings.exportFrames && !settings.framePerFile && document &&
           firstObject(document);
}

int32_t keyCountOf(int32_t endFrame, int32_t step) {
    if (endFrame <= 0 || step < 1) return 0;
    return endFrame / step + (endFrame % step != 0 ? 1 : 0);
}

int32_t writeAnimationOpen(XTextWriter& writer, int32_t keyCount) {
    BufferedText out(writer);
    out.text("Animation {\r\n  AnimationKey {\r\n  4;\r\n  ");
    out.integer(keyCount);
    out.text(";\r\n");
    return 1;
}

int32_t writeMatrixKey(XTextWriter& writer, int32_t keyTime, const Matrix& matrix, bool last) {
    BufferedText out(writer);
    out.text("  ");
    out.integer(keyTime);
    out.text(";16;  ");
    appendFileMatrix(out, matrix, ", ");
    out.text(last ? ";;;\r\n" : ";;,\r\n");
    return 1;
}

void writeAnimationSet(KrvDocument document, XTextWriter& writer) {
    const KrvObject first = firstObject(document);
    if (!first) return;
    Sampling sampling;
    sampling.document = document;
    sampling.rate = static_cast<float>(documentFrameRate(document));
    sampling.step = effectiveDistancePerFrame(exportSettings);
    sampling.keyCount = keyCountOf(frameOfTime(documentEndTime(document), sampling.rate), sampling.step);
    sampling.ticks = effectiveTicksPerFrame(exportSettings);

    // Readers refuse an Animation without keys; a set without Animations is left out too.
    if (sampling.keyCount == 0) {
        printLine("Dorna: no AnimationSet written: the scene's time range ends at frame 0 or before, "
                  "so there are no keys");
        return;
    }
    if (!anyAnimated(first)) {
        printLine("Dorna: no AnimationSet written: no exported object is animated");
        return;
    }

    writer.writeText("\r\nAnimationSet {\r\n");
    writeAnimations(sampling, first, writer);
    writer.writeText("}\r\n");
}

}  // namespace dorna
