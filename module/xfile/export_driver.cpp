#include "xfile/export_driver.h"

#include <cstring>

#include "host/document.h"
#include "mesh/traversal.h"
#include "settings/export_settings.h"
#include "settings/settings_dialog.h"
#include "skin/animation_set.h"
#include "xfile/names.h"
#include "xfile/number_format.h"
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

// What became of one output file.
enum class FileOutcome { Written, NoObjects, NoWorkingCopy, CannotCreate, CannotWrite };

struct FramePlan {
    bool perFrame;         // one file per exported frame
    int32_t distance;      // frames between two files, at least 1
    int32_t frameNumber;   // the animation frame of the current file
};

FileOutcome exportFile(const KrvFileName* target, KrvDocument document, int32_t index, FramePlan& plan) {
    XTextWriter writer;
    HostTime time;
    HostFileName name(target);

    KrvDocument copy = copyDocument(document, KRV_COPY_WORKING);
    if (!copy) return FileOutcome::NoWorkingCopy;
    exportSettings.document = copy;
    const KrvObject first = firstObject(copy);
    entityCounter = 0;
    time.denominator = static_cast<float>(documentFrameRate(copy));

    FileOutcome outcome = FileOutcome::Written;
    if (!first) {
        outcome = FileOutcome::NoObjects;
    } else {
        bool named = true;
        if (plan.perFrame) {
            named = frameFileName(name, index);
            if (index > 0) plan.frameNumber += plan.distance;
            time.numerator = static_cast<float>(plan.frameNumber);
            setDocumentTime(copy, time);
            animateDocument(copy);
        }
        if (!named || !writer.open(name.get())) {
            outcome = FileOutcome::CannotCreate;
        } else if (!beginBoneNames(copy)) {
            // Without the bone table two bones could share a name: the file is not kept.
            writer.markIncomplete();
        } else {
            exportHierarchy(copy, writer);
            if (exportSettings.exportFrames) writer.writeText("\r\n}\r\n");
            if (exportSettings.exportAnimation && exportSettings.exportFrames && !exportSettings.framePerFile)
                writeAnimationSet(copy, writer);
            endBoneNames();
        }
    }

    releaseDocument(copy);
    exportSettings.document = nullptr;
    const bool opened = writer.isOpen();
    if (!writer.close() && opened) outcome = FileOutcome::CannotWrite;
    return outcome;
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

int32_t saveScene(const KrvFileName* target, KrvDocument document, int32_t flags) {
    if (!(flags & kSaveRequested)) return kSaveDone;

    SettingsDialog dialog;
    dialog.copySettingsToDialog(&exportSettings);
    if (!dialog.runModal(kDialogMode, kDefaultPosition, kDefaultPosition, 0, 0)) return kSaveDone;
    dialog.copySettingsFromDialog(&exportSettings);

    FramePlan plan{exportSettings.framePerFile && exportSettings.exportAnimation,
                   effectiveDistancePerFrame(exportSettings), 0};
    int32_t frameCount = 1;
    if (plan.perFrame) {
        // From the document the host passed in: the working copies come per file.
        const int32_t endFrame =
            frameOfTime(documentEndTime(document), static_cast<float>(documentFrameRate(document)));
        frameCount = endFrame / plan.distance;
    }

    for (int32_t index = 0; index < frameCount; ++index) {
        switch (exportFile(target, document, index, plan)) {
            case FileOutcome::Written:
                break;
            case FileOutcome::NoObjects:
                return kSaveDone;
            case FileOutcome::NoWorkingCopy:
                return kSaveNoWorkingCopy;
            case FileOutcome::CannotCreate:
                printLine(kCannotCreateFile);
                return kSaveCannotCreateFile;
            case FileOutcome::CannotWrite:
                printLine(kCannotWriteFile);
                return kSaveCannotWriteFile;
        }
    }
    return kSaveDone;
}

}  // namespace dorna
