#include "xfile/export_driver.h"

#include <cstring>

#include "host/document.h"
#include "host/export_status.h"
#include "settings/export_settings.h"
#include "settings/settings_dialog.h"
#include "skin/animation_samples.h"
#include "xfile/animation_writer.h"
#include "xfile/export_context.h"
#include "xfile/frame_writer.h"
#include "xfile/header.h"
#include "xfile/names.h"
#include "xfile/number_format.h"
#include "xfile/scene_walk.h"
#include "xfile/text_writer.h"

namespace dorna {

namespace {

// The texts name the failure the way users of the exporter know it; 0xB4 is the
// accent of "Couldn´t" in the host's 8-bit text.
constexpr char kCannotCreateFile[] = "Dorna: Couldn\xB4t create File!";
constexpr char kCannotWriteFile[] = "Dorna: Couldn\xB4t write File!";

constexpr int32_t kSaveRequested = 1;
// The dialog opens in the host's default mode, position and size.
constexpr int32_t kDialogMode = 0;
constexpr int32_t kDefaultPosition = -1;

struct FramePlan {
    bool perFrame;         // one file per exported frame
    int32_t distance;      // frames between two files, at least 1
    int32_t frameNumber;   // the animation frame of the current file
    bool noObjects;        // the document holds nothing to write: no file, and no later one
};

int32_t cannotCreate() {
    printLine(kCannotCreateFile);
    return kSaveCannotCreateFile;
}

int32_t cannotWrite() {
    printLine(kCannotWriteFile);
    return kSaveCannotWriteFile;
}

// The text of one file after its header: the scene, the root frame's end and the
// animation set.
void writeScene(ExportContext& context) {
    const ExportSettings& settings = context.settings;
    if (settings.exportFrames)
        writeRootFrame(context.writer, settings, [&] { exportHierarchy(context); });
    else
        exportHierarchy(context);
    if (settings.exportAnimation && settings.exportFrames && !settings.framePerFile && context.status.ok())
        writeAnimationSet(context);
}

// One output file; the result of the save so far (kSaveDone while it goes on).
int32_t exportFile(const ExportSettings& settings, const KrvFileName* target, KrvDocument document, int32_t index,
                   FramePlan& plan) {
    ExportStatus status;
    XTextWriter writer(status);
    HostTime time;
    HostFileName name(target);

    KrvDocument copy = copyDocument(document, KRV_COPY_WORKING);
    if (!copy) return kSaveNoWorkingCopy;
    ExportContext context{settings, copy, writer, status};
    const KrvObject first = firstObject(copy);
    time.denominator = static_cast<float>(documentFrameRate(copy));

    int32_t result = kSaveDone;
    if (!first) {
        plan.noObjects = true;
    } else {
        bool named = true;
        if (plan.perFrame) {
            named = frameFileName(name, index);
            if (index > 0) plan.frameNumber += plan.distance;
            time.numerator = static_cast<float>(plan.frameNumber);
            setDocumentTime(copy, time);
            animateDocument(copy);
        }
        if (!status.ok()) {
            result = cannotWrite();
        } else if (!named || !writer.open(name.get())) {
            result = cannotCreate();
        } else {
            writeHeader(context);
            // Without the frame table two referenced frames could share a name: the file
            // is not kept.
            const bool nonBonesReferenced = writesAnimationSet(settings, copy) && isAnimated(false, settings);
            if (!beginFrameNames(context.names, copy, settings.exportBones && settings.exportFrames,
                                 nonBonesReferenced))
                status.fail(ExportFailure::StorageRefused);
            else
                writeScene(context);
            writer.finish();
            // After a refused write the host drops the file as it closes it, naming the
            // cause; a file short for any other reason is never closed, so never kept.
            const bool keepable = status.ok() || status.first() == ExportFailure::WriteFailed;
            const bool committed = keepable && writer.close();
            if (!status.ok() || !committed) result = cannotWrite();
        }
    }

    // A file not committed is dropped with the writer.
    releaseDocument(copy);
    return result;
}

// True, with a line, when the animation set's last key time would pass the largest time
// the file stores: its times would wrap to negative ones that readers refuse or play
// backwards, so nothing is written.
bool lastKeyTimeOverflows(const ExportSettings& settings, KrvDocument document) {
    if (!writesAnimationSet(settings, document)) return false;
    const Sampling sampling = samplingOf(document, settings);
    const int64_t last = int64_t{sampling.keyCount - 1} * sampling.ticks;
    if (sampling.keyCount == 0 || last <= INT32_MAX) return false;
    ConsoleLine("Dorna: nothing written: the last animation key would fall at tick ")
        .add(last)
        .add(", past 2147483647: fewer ticks per frame or a larger distance per frame keep it")
        .print();
    return true;
}

}  // namespace

bool frameFileName(HostFileName& name, int32_t index) {
    // "_<index>.x" goes on as text: setting the suffix through the host would take a
    // point inside the name ("walk.cycle_3") for a suffix and give every frame the
    // same file.
    char ending[kIntTextCapacity + 3] = "_";
    const int32_t digits = formatInt(ending + 1, index);
    std::memcpy(ending + 1 + digits, ".x", 3);
    name.removeSuffix();
    HostString whole;
    if (!name.toString(whole)) return false;
    whole.append(HostString(ending));
    name.setFromString(whole);
    return true;
}

int32_t saveScene(ExportSettings& remembered, const KrvFileName* target, KrvDocument document, int32_t flags) {
    if (!(flags & kSaveRequested)) return kSaveDone;

    SettingsDialog dialog;
    dialog.copySettingsToDialog(&remembered);
    if (!dialog.runModal(kDialogMode, kDefaultPosition, kDefaultPosition, 0, 0)) return kSaveDone;
    dialog.copySettingsFromDialog(&remembered);
    // Every file of this save is written from the choices confirmed now.
    const ExportSettings settings = remembered;

    if (lastKeyTimeOverflows(settings, document)) return kSaveCannotWriteFile;

    FramePlan plan{settings.framePerFile && settings.exportAnimation, effectiveDistancePerFrame(settings), 0, false};
    int32_t frameCount = 1;
    if (plan.perFrame) {
        // From the document the host passed in: the working copies come per file.
        const int32_t endFrame =
            frameOfTime(documentEndTime(document), static_cast<float>(documentFrameRate(document)));
        // Rounded down, where the animation set's key count (keyCountOf) is rounded up:
        // with the end at frame 90 and a distance of 4 there are 22 files (frames 0 to
        // 84) but 23 keys (frames 0 to 88). The exporter has always counted them so: a
        // file for every whole distance before the end and a key for every step that
        // starts before it; the two stay apart on purpose.
        frameCount = endFrame / plan.distance;
    }

    for (int32_t index = 0; index < frameCount; ++index) {
        const int32_t result = exportFile(settings, target, document, index, plan);
        if (result != kSaveDone || plan.noObjects) return result;
    }
    return kSaveDone;
}

}  // namespace dorna
