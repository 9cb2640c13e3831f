#include "xfile/animation_writer.h"

#include "host/document.h"
#include "host/host.h"
#include "host/objects.h"
#include "settings/export_settings.h"
#include "skin/animation_samples.h"
#include "xfile/buffered_text.h"
#include "xfile/export_context.h"
#include "xfile/names.h"
#include "xfile/non_finite_report.h"
#include "xfile/text_writer.h"

namespace dorna {

namespace {

void writeAnimation(ExportContext& context, const Sampling& sampling, KrvObject object) {
    XTextWriter& writer = context.writer;
    writeAnimationOpen(writer, sampling.keyCount);
    // A file that cannot be kept stops at once: a long animation would be lost work.
    for (int32_t k = 0; k < sampling.keyCount && context.status.ok(); ++k)
        writeMatrixKey(writer, keyTimeOf(sampling, k), sampleKey(sampling, object, k), k + 1 == sampling.keyCount);
    reportNonFinite(writer, object);
    const NameText name = frameName(object);
    // The AnimationKey ends, the reference to the object's frame follows, the Animation ends.
    writer.closeBlock("  }\r\n");
    writer.writeText("  {");
    writer.writeBytes(name.text, name.length);
    writer.writeText("}\r\n");
    writer.closeBlock("}\r\n");
}

// The object, its later siblings and all their descendants, depth first.
void writeAnimations(ExportContext& context, const Sampling& sampling, KrvObject object) {
    for (KrvObject o = object; o && context.status.ok(); o = nextObject(o)) {
        if (isAnimated(isInstance(o, KRV_TYPE_BONE), context.settings)) writeAnimation(context, sampling, o);
        if (KrvObject child = firstChild(o)) writeAnimations(context, sampling, child);
    }
}

}  // namespace

void writeAnimationOpen(XTextWriter& writer, int32_t keyCount) {
    BufferedText out(writer);
    out.openBlock("Animation {\r\n");
    out.openBlock("  AnimationKey {\r\n  4;\r\n  ");
    out.integer(keyCount);
    out.text(";\r\n");
}

void writeMatrixKey(XTextWriter& writer, int32_t keyTime, const Matrix& matrix, bool last) {
    BufferedText out(writer);
    out.text("  ");
    out.integer(keyTime);
    out.text(";16;  ");
    appendFileMatrix(out, matrix, ", ");
    out.text(last ? ";;;\r\n" : ";;,\r\n");
}

void writeAnimationSet(ExportContext& context) {
    const KrvObject first = firstObject(context.document);
    if (!first) return;
    const Sampling sampling = samplingOf(context.document, context.settings);

    // Readers refuse an Animation without keys; a set without Animations is left out too.
    if (sampling.keyCount == 0) {
        printLine("Dorna: no AnimationSet written: the scene's time range ends at frame 0 or before, "
                  "so there are no keys");
        return;
    }
    if (!anyAnimated(first, context.settings)) {
        printLine("Dorna: no AnimationSet written: no exported object is animated");
        return;
    }

    context.writer.openBlock("\r\nAnimationSet {\r\n");
    writeAnimations(context, sampling, first);
    context.writer.closeBlock("}\r\n");
}

}  // namespace dorna
