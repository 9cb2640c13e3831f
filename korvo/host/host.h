// The stand-in Korvo host as seen from C++: the `korvo` command and the tests create one
// `korvo::Host`, hand its root (`root()`) to the module, build live documents from
// scene records, and afterwards read what the module did: console lines, user
// messages, files written, dialogs shown, and what it still holds.
//
// The host interface has no context pointer, so the C entries reach the host through
// one process-wide current instance: at most one Host exists at a time.
#pragma once

#include <korvo_sdk.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "korvo/scene/scene.h"
#include "korvo/files/write_plan.h"

namespace korvo {

// Live handles the host handed out and that were not given back yet.
struct Counts {
    int64_t blocks = 0;          // memory blocks (including bone weight arrays)
    int64_t strings = 0;         // strings constructed in place or allocated by the host
    int64_t containers = 0;
    int64_t values = 0;          // value holders that own host storage
    int64_t files = 0;
    int64_t fileNames = 0;
    int64_t dialogs = 0;
    int64_t documentCopies = 0;
    int64_t objectCopies = 0;    // free objects: object copies and command results
    int64_t commandResults = 0;  // result lists of modelling commands
    int64_t total() const {
        return blocks + strings + containers + values + files + fileNames + dialogs + documentCopies +
               objectCopies + commandResults;
    }
};

struct WrittenFile {
    std::string path;  // UTF-8, as the module named it
    uint64_t bytes = 0;
};

// A scene saver the module registered; the record's entries as the host copied them.
struct SaverInfo {
    int32_t id = 0;
    std::string name;    // UTF-8
    std::string suffix;  // UTF-8, without the point
    KrvSaverAllocFn allocate = nullptr;
    KrvSaverSaveFn save = nullptr;
    KrvSaverDestroyFn destroy = nullptr;
};

// One value a dialog element holds, as set through the 'vint' / 'vflt' containers.
struct DialogValue {
    bool isReal = false;  // 'vflt'; otherwise 'vint'
    double value = 0;
    double minimum = 0;
    double maximum = 0;
    double step = 0;
    uint32_t format = 0;  // 'flng', 'frea', ...
};

// The element tree a module built, with values and enabled states at one moment.
struct DialogNode {
    bool isGroup = false;
    int32_t kind = 0;  // element kind (KRV_ELEMENT_*); 0 for groups
    int32_t id = 0;
    std::optional<std::string> text;  // UTF-8; for groups the title
    int32_t layout = 0;
    int32_t width = 0;
    int32_t height = 0;
    int32_t extra = 0;  // static text: border style; button row: button set
    // Groups only.
    int32_t columns = 0;
    int32_t rows = 0;
    int32_t groupFlags = 0;
    uint32_t border = 0;  // bit 31: the border carries the title
    int32_t spacing[2] = {0, 0};
    int32_t borderSpace[4] = {0, 0, 0, 0};
    std::vector<DialogNode> children;
    // State.
    bool enabled = true;
    std::optional<DialogValue> value;
};

struct DialogSnapshot {
    std::optional<std::string> title;
    DialogNode root;  // a group holding the top-level elements
};

// A user's change of one element: checkboxes take 0 or 1, number fields any number
// (clamped to the element's range as a real dialog would).
struct DialogChange {
    int32_t id = 0;
    double value = 0;
    std::string source;  // who asked, for messages (e.g. "--animation")
};

// What the user does in the next dialogs the module opens.
struct DialogScript {
    // Applied in this order. A change aimed at an element that is disabled at its turn
    // is retried after all others; if it is still disabled then, it is refused, the
    // remaining changes are dropped and Cancel is pressed.
    std::vector<DialogChange> changes;
    bool cancel = false;  // press Cancel instead of OK
};

struct DialogRefusal {
    DialogChange change;
    std::string element;  // the element's label, UTF-8 ("" when unknown)
    bool missing = false; // no element with that id; otherwise it was disabled
    std::string reason;   // set when the check before OK refused the settings; no change is named
};

// One modal run of a dialog.
struct DialogRun {
    DialogSnapshot shown;  // after the changes, just before the button was pressed
    std::optional<DialogRefusal> refusal;
    int32_t button = 0;            // 1 OK, 2 Cancel
    bool closedByModule = false;   // the module answered the button with `close`
};

// A registration call the module made, in order (descriptions and plug-ins).
struct RegistrationEvent {
    bool isDescription = false;
    int32_t what = 0;  // plug-in registration: 9000
    int32_t kind = 0;  // plug-in registration: 25 for a scene saver
    int32_t id = 0;
    std::string name;  // UTF-8
    int32_t recordSize = 0;
    bool accepted = false;
};

// How far a save has come, as the host sees the module's calls: for a progress line
// drawn by another thread, hence atomics, which only the host's thread changes.
struct SaveProgress {
    // Polygon objects and generators of the document loaded last, and of those the ones
    // whose points or polygons the module has asked for (in the document or any copy).
    std::atomic<uint32_t> meshes{0};
    std::atomic<uint32_t> meshesRead{0};
    // The frame the module last set a document's time to (-1: none yet), the document's
    // end frame, and how often the time set did not move forward: the module samples
    // the animation from frame 0 again for each object.
    std::atomic<int64_t> frame{-1};
    std::atomic<int64_t> endFrame{0};
    std::atomic<uint32_t> sweeps{0};
    // Bytes handed to the file service, and files committed.
    std::atomic<uint64_t> bytes{0};
    std::atomic<uint32_t> files{0};
};

// Behaviour a test can change.
struct HostBehaviour {
    bool echo = false;                // console lines and user messages to stderr
    bool acceptDescriptions = true;   // library 1000467's description registration
    bool acceptRegistrations = true;  // plug-in registration
    bool offerBaseLibrary = true;     // find_library(1000467) answers
    int32_t baseLibrarySize = -1;     // -1: the real table size
};

class Host {
public:
    explicit Host(HostBehaviour behaviour = {});
    ~Host();
    Host(const Host&) = delete;
    Host& operator=(const Host&) = delete;

    // The instance the C entries serve; it must exist.
    static Host& current();

    // The root table (version 7500) to hand to the module with message 1.
    const KrvHost* root() const;
    HostBehaviour& behaviour();

    // A live document built from a scene, evaluated at its time. The host owns it
    // until the Host is destroyed (or `releaseDocument`).
    KrvDocument loadDocument(const Scene& scene);
    // The same, taking over the geometry the scene holds ready (SceneObject::arrays).
    KrvDocument loadDocument(Scene&& scene);
    void releaseDocument(KrvDocument document);
    // The first object named `name` (UTF-8), depth first, or null.
    KrvObject findObject(KrvDocument document, const std::string& name) const;

    // Console lines and user messages, UTF-8, in order.
    const std::vector<std::string>& consoleLines() const;
    const std::vector<std::string>& userMessages() const;
    void clearMessages();

    // Counted since the last loadDocument.
    const SaveProgress& saveProgress() const;

    // Accounting.
    Counts liveCounts() const;
    // One line per live handle, e.g. `block of 24 bytes`, `string "Cube"`.
    std::vector<std::string> leakReport() const;
    // Misuse of the interface seen so far (unknown or already freed handles, indices
    // out of range), one line each.
    const std::vector<std::string>& faults() const;
    // Refuse the n-th allocation request from now on (1: the next one); 0: none.
    // Allocation requests are: memory blocks, bone weights, allocated strings, file
    // objects, dialogs, document and object copies, and command 230's new object.
    void refuseAllocation(int64_t n);
    // Allocation requests since the last `refuseAllocation` (or since construction).
    int64_t allocationRequests() const;
    // Memory blocks the module asked for that the system could not give.
    int64_t failedAllocations() const;

    // Files committed by a successful close, in order.
    const std::vector<WrittenFile>& writtenFiles() const;
    // Files that could not be opened or committed, one clear line each.
    const std::vector<std::string>& fileErrors() const;
    // Every write after `bytes` more bytes fails (as on a full disk); -1: no limit.
    void limitWrites(int64_t bytes);
    // The command's plan of what it writes: a file a save opens beside its target must be
    // one of the target's frame files that the plan allows (not an input, not a batch's
    // other target, not beside a device). Any other fails to open, with its reason in
    // fileErrors().
    void followPlan(WritePlan plan);
    // Seconds spent handing file bytes to the operating system: writes, closes, commits.
    double fileSystemSeconds() const;
    void onFileWritten(std::function<void(const WrittenFile&)> callback);

    // Registration.
    const std::vector<SaverInfo>& savers() const;
    const std::vector<RegistrationEvent>& registrations() const;
    void forgetSavers();  // before the module that registered them is unloaded
    // Saves as Korvo does: allocate the saver, call save(saver, null, target, document,
    // flags), destroy it. Returns save's result, or kSaverNotCreated.
    static constexpr int32_t kSaverNotCreated = -1000;
    int32_t save(const SaverInfo& saver, KrvDocument document, const std::string& target,
                 int32_t flags = 1);
    int64_t idleCalls() const;

    // Dialogs.
    void setDialogScript(DialogScript script);
    // Asked with the dialog as it stands before the script presses OK: "" presses it, any
    // other text is the reason for a refusal (DialogRefusal::reason), and Cancel is pressed.
    void setCheckBeforeOk(std::function<std::string(const DialogNode& shown)> check);
    const std::vector<DialogRun>& dialogRuns() const;
    // The element tree, values and states of a live dialog now.
    DialogSnapshot snapshot(KrvDialog dialog) const;
    // Sends a message (a container with the code as its id and integer entries) to a
    // live dialog's callback, as the modal loop does; returns the callback's answer.
    int32_t sendDialogMessage(KrvDialog dialog, uint32_t code,
                              const std::vector<std::pair<uint32_t, int32_t>>& entries = {});

    struct State;

private:
    std::unique_ptr<State> state_;
};

// Host strings from and to UTF-8 (for tests and the command).
std::string toUtf8(const KrvString* s);
void setUtf8(KrvString* s, const std::string& utf8);

}  // namespace korvo
