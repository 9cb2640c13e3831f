#include "xfile/animation_writer.h"

#include <cstdio>
#include <cstring>

#include "host/document.h"
#include "host/host.h"
#include "host/object_walk.h"
#include "host/objects.h"
#include "settings/export_settings.h"
#include "skin/animation_samples.h"
#include "xfile/export_context.h"
#include "xfile/names.h"
#include "xfile/non_finite_report.h"
#include "xfile/text_writer.h"

namespace dorna {

namespace {

// One Animation: the AnimationKey of the object's matrices (key type 4) and the
// reference to the object's frame.
void writeAnimation(ExportContext& context, const Sampling& sampling, KrvObject object) {
    XTextWriter& writer = context.writer;
    const Block animation(writer, "Animation {\r\n", "}\r\n");
    {
        const Block key(writer, "  AnimationKey {\r\n  4;\r\n  ", "  }\r\n");
        writer.writeInt(sampling.keyCount);
        writer.writeText(";\r\n");
        // A file that cannot be kept stops at once: a long animation would be lost work.
        for (int32_t k = 0; k < sampling.keyCount && context.status.ok(); ++k)
            writeMatrixKey(writer, keyTimeOf(sampling, k), sampleKey(sampling, object, k),
                           k + 1 == sampling.keyCount);
    }
    reportNonFinite(context, object);
    writer.writeText("  {");
    writer.writeName(frameName(context.names, object));
    writer.writeText("}\r\n");
}

// The object, its later siblings and all their descendants, depth first.
void writeAnimations(ExportContext& context, const Sampling& sampling, KrvObject object) {
    const bool walked = visitDepthFirst(object, [&](KrvObject o, int32_t) {
        if (isAnimated(isInstance(o, KRV_TYPE_BONE), context.settings)) writeAnimation(context, sampling, o);
        return context.status.ok();
    });
    if (!walked) context.status.fail(ExportFailure::StorageRefused);
}

// Set names are cut to this many characters: a name is for telling sets apart.
constexpr int32_t kMaxSetNameLength = 1000;

// The names of the sets written so far, in host memory, for keeping each set's name
// unique in the file: their text one after the other, and a table of them by hash so
// that a document of many takes costs no more than a pass over their names.
struct SetNames {
    HostArray<char> text;
    int64_t used = 0;
    HostArray<int64_t> offsets;  // per name
    HostArray<int32_t> lengths;  // per name
    HostArray<int32_t> slots;    // name index + 1, or 0 for a free slot
    int32_t slotMask = 0;
    int32_t count = 0;
};

// The slot of `candidate`: the one holding it, or the free one where it would go.
int32_t slotOf(const SetNames& names, const char* candidate, int32_t length) {
    for (int32_t slot = static_cast<int32_t>(hashOfText(candidate, length)) & names.slotMask;;
         slot = (slot + 1) & names.slotMask) {
        const int32_t entry = names.slots[slot] - 1;
        if (entry < 0) return slot;
        if (names.lengths[entry] == length &&
            std::memcmp(names.text + names.offsets[entry], candidate, static_cast<size_t>(length)) == 0)
            return slot;
    }
}

bool prepareSetNames(SetNames& names, int32_t takes) {
    if (takes > (1 << 28)) return false;  // the table's slots would pass the 32-bit range
    int32_t slots = 16;
    while (slots < 2 * int64_t{takes}) slots *= 2;
    names.slotMask = slots - 1;
    if (!names.offsets.allocate(takes) || !names.lengths.allocate(takes) || !names.slots.allocate(slots)) return false;
    names.slots.fill(0);
    return true;
}

// Keeps `name` as the next entry; false when the host refuses the storage.
bool keepSetName(SetNames& names, const char* name, int32_t length, int32_t slot) {
    if (!names.text.grow(names.used, names.used + length, 4096)) return false;
    std::memcpy(names.text + names.used, name, static_cast<size_t>(length));
    names.offsets[names.count] = names.used;
    names.lengths[names.count] = length;
    names.used += length;
    names.slots[slot] = ++names.count;
    return true;
}

// The name of a take's set, by the naming step of frames: cleaned, cut, "_" before a
// name that reads as a number or a keyword (or is empty), then "_2", "_3", ... where an
// earlier set has it. Kept in `names`; a length of 0 when the host refuses the storage.
NameText setName(const HostString& takeName, SetNames& names) {
    char raw[kMaxSetNameLength + 1];
    char out[kMaxSetNameLength + 1 + kNumberRoom];
    const int32_t rawLength = takeName.toText(raw, kMaxSetNameLength);
    int32_t length = cleanNameText(raw, rawLength, out + 1, kMaxSetNameLength);
    if (length == 0 || readsAsNumberOrKeyword(out + 1, length)) {
        out[0] = '_';
        ++length;
    } else {
        std::memmove(out, out + 1, static_cast<size_t>(length));
    }
    const int32_t base = length;
    int32_t slot = slotOf(names, out, length);
    for (int32_t number = 2; names.slots[slot] != 0; ++number) {
        length = base + std::snprintf(out + base, kNumberRoom, "_%d", static_cast<int>(number));
        slot = slotOf(names, out, length);
    }
    if (!keepSetName(names, out, length, slot)) return NameText{out, 0};
    return NameText{names.text + names.offsets[names.count - 1], length};
}

void writeSet(ExportContext& context, const Sampling& sampling, KrvObject first, const NameText* name) {
    const Block set(context.writer, "\r\nAnimationSet ", name ? *name : NameText{"", 0}, name ? " {\r\n" : "{\r\n",
                    "}\r\n");
    writeAnimations(context, sampling, first);
}

// One set per take of the document, in take order, each over its own range and named
// after the take; a take without keys is left out with a console line.
void writeTakeSets(ExportContext& context, KrvObject first, int32_t takes) {
    SetNames names;
    if (!prepareSetNames(names, takes)) {
        context.status.fail(ExportFailure::StorageRefused);
    } else {
        for (int32_t t = 0; t < takes && context.status.ok(); ++t) {
            HostString takeName;
            HostTime start, end;
            if (!documentTake(context.document, t, takeName, start, end)) continue;
            const NameText name = setName(takeName, names);
            if (name.length == 0) {
                context.status.fail(ExportFailure::StorageRefused);
                break;
            }
            setCurrentTake(context.document, t);
            const Sampling sampling = samplingOfRange(context.document, context.settings, start, end);
            if (sampling.keyCount == 0) {
                ConsoleLine("Dorna: take ").add(takeName).add(" left out: its time range holds no keys").print();
                continue;
            }
            writeSet(context, sampling, first, &name);
        }
    }
}

}  // namespace

void writeMatrixKey(XTextWriter& writer, int32_t keyTime, const Matrix& matrix, bool last) {
    writer.writeText("  ");
    writer.writeInt(keyTime);
    writer.writeText(";16;  ");
    writeFileMatrix(writer, matrix, ", ");
    writer.writeText(last ? ";;;\r\n" : ";;,\r\n");
}

void writeAnimationSet(ExportContext& context) {
    const KrvObject first = firstObject(context.document);
    if (!first) return;
    const int32_t takes = context.settings.exportAllTakes ? documentTakeCount(context.document) : 0;
    const Sampling sampling = samplingOf(context.document, context.settings);

    // Readers refuse an Animation without keys; a set without Animations is left out too.
    if (takes <= 0 && sampling.keyCount == 0) {
        printLine("Dorna: no AnimationSet written: the scene's time range ends at frame 0 or before, "
                  "so there are no keys");
        return;
    }
    bool animated = false;
    if (!anyAnimated(first, context.settings, animated)) {
        context.status.fail(ExportFailure::StorageRefused);
        return;
    }
    if (!animated) {
        printLine("Dorna: no AnimationSet written: no exported object is animated");
        return;
    }
    if (takes > 0) {
        writeTakeSets(context, first, takes);
        return;
    }
    writeSet(context, sampling, first, nullptr);
}

}  // namespace dorna
