#include "skin/animation_set.h"

#include "host/document.h"
#include "host/objects.h"
#include "settings/export_settings.h"
#include "xfile/buffered_text.h"
#include "xfile/names.h"
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
    for (int32_t k = 0; k < sampling.keyCount; ++k) {
        showFrame(sampling, int64_t{k} * sampling.step);
        // Key times wrap as 32-bit integers, as the file stores them.
        const int32_t keyTime = static_cast<int32_t>(static_cast<uint32_t>(k) * static_cast<uint32_t>(sampling.ticks));
        writeMatrixKey(writer, keyTime, objectExportMatrix(object), k + 1 == sampling.keyCount);
    }
    writer.writeText("  }\r\n  {");
    writer.writeHostString(objectIdentifier(object));
    writer.writeText("}\r\n}\r\n");
}

// The object, its later siblings and all their descendants, depth first.
void writeAnimations(const Sampling& sampling, KrvObject object, XTextWriter& writer) {
    for (KrvObject o = object; o; o = nextObject(o)) {
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
    sampling.ticks = exportSettings.ticksPerFrame;

    writer.writeText("\r\nAnimationSet {\r\n");
    writeAnimations(sampling, first, writer);
    writer.writeText("}\r\n");
}

}  // namespace dorna
