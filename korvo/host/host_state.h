// Inside the host: what the opaque handles point to, and the state of the one current
// Host that every C entry reaches through `hostState()`.
#pragma once

#include <korvo_sdk.h>

#include <atomic>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "korvo/host/copy_on_write.h"
#include "korvo/host/host.h"
#include "korvo/scene/scene.h"
#include "korvo/files/target_file.h"
#include "korvo/files/write_plan.h"

namespace korvo {

struct StringImpl {
    std::u32string text;
};

struct ContainerEntry {
    int32_t type = KRV_ENTRY_ABSENT;
    int32_t integer = 0;
    float real = 0;
    KrvVector vector{0, 0, 0};
    KrvTime time{0, 1};
    std::u32string text;
};

struct ContainerImpl {
    int32_t id = 0;
    std::map<int32_t, ContainerEntry> entries;
};

struct FileNameImpl {
    std::u32string path;
};

struct FileImpl {
    TargetFile out;  // open while out.fd >= 0
    bool failed = false;
    std::vector<char> buffer;
    uint64_t bytes = 0;
    std::string error;  // why it failed
};

struct MaterialImpl;
struct ChannelImpl {
    MaterialImpl* material = nullptr;
    int32_t number = 0;
};

struct MaterialImpl {
    MaterialImpl() = default;
    ~MaterialImpl();
    MaterialImpl(const MaterialImpl&) = delete;
    MaterialImpl& operator=(const MaterialImpl&) = delete;

    Material data;
    ChannelImpl channels[4];  // 0, 1, 2, 9
    const Channel* channel(int32_t number) const;
};

struct DocumentImpl;
struct ObjectImpl;

// A polygon's texture coordinates as the document keeps them: u and v per corner (32
// bytes a polygon instead of the interface record's 48).
struct PolygonCornerUVs {
    CornerUV a, b, c, d;
};

inline PolygonCornerUVs toCornerUVs(const PolygonUV& uv) {
    CornerUV c[4];
    for (int i = 0; i < 4; ++i) c[i] = {static_cast<float>(uv.corners[i][0]), static_cast<float>(uv.corners[i][1])};
    return {c[0], c[1], c[2], c[3]};
}

struct TagImpl {
    int32_t type = 0;
    ObjectImpl* owner = nullptr;
};

struct ObjectImpl {
    ObjectImpl();
    ~ObjectImpl();
    ObjectImpl(const ObjectImpl&) = delete;
    ObjectImpl& operator=(const ObjectImpl&) = delete;

    int32_t type = KRV_TYPE_NULL;
    ObjectType sceneType = ObjectType::Null;
    std::u32string name;
    std::string id;
    // Mutable: an object of a document takes its animated channels from the document's
    // last evaluation only when they are read (updatePlacement), even through a const view.
    mutable KrvVector position{0, 0, 0}, rotation{0, 0, 0}, scale{1, 1, 1};
    Animation animation;
    GeneratorParams generator;
    // The geometry, shared with the copies of the object until one of them changes it.
    CopyOnWrite<std::vector<KrvVector>> points;
    CopyOnWrite<std::vector<KrvPolygon>> polygons;
    bool hasUV = false;
    CopyOnWrite<std::vector<PolygonCornerUVs>> uvw;
    bool hasNormals = false;
    CopyOnWrite<std::vector<KrvPolygonNormals>> normals;
    // An imported model's texture coordinates and normals stay per vertex of the model
    // (uvw and normals are then empty): each polygon names the vertices of its corners,
    // and a polygon's records are made from them when asked for (uvRecord,
    // normalRecord). For a mesh whose vertices are shared by several corners, a
    // fraction of the records' size.
    bool cornersByVertex = false;
    CopyOnWrite<std::vector<KrvPolygon>> cornerVertex;
    CopyOnWrite<std::vector<CornerUV>> uvOfVertex;
    CopyOnWrite<std::vector<KrvVector>> normalOfVertex;
    std::optional<TextureTag> texture;
    std::shared_ptr<MaterialImpl> material;  // the texture tag's material, or none
    std::optional<PhongTag> phong;
    RestPose rest;
    CopyOnWrite<std::vector<BoneWeights>> weights;
    // The position in `weights` of each bone's first entry, built on the first lookup
    // of many weights (a mesh may be weighted by 200,000 bones); rebuilt when the
    // weights are another vector or of another size.
    mutable std::unordered_map<std::string, size_t> weightsByBone;
    mutable const std::vector<BoneWeights>* weightsIndexed = nullptr;
    mutable size_t weightsIndexedCount = 0;
    TagImpl uvTag, textureTag, phongTag, normalTag;

    ObjectImpl* parent = nullptr;
    ObjectImpl* next = nullptr;
    // A free copy keeps the place of its source in the scene: the global matrix of the
    // source's parent when the copy was made (identity for a top object).
    std::optional<KrvMatrix> placedUnder;
    std::vector<std::unique_ptr<ObjectImpl>> children;
    // The document whose evaluations set the animated channels (null for a free object),
    // and the number of its evaluations the channels stand at.
    const DocumentImpl* document = nullptr;
    mutable uint64_t evaluatedAt = 0;
    // The mesh of the loaded document this object is or copies (SaveProgress), or kNoMesh.
    static constexpr uint32_t kNoMesh = UINT32_MAX;
    uint32_t mesh = kNoMesh;
};

// The number of texture coordinate and normal records of an object, and polygon i's.
inline size_t uvRecordCount(const ObjectImpl& o) { return o.cornersByVertex ? o.cornerVertex->size() : o.uvw->size(); }
inline size_t normalRecordCount(const ObjectImpl& o) {
    return o.cornersByVertex ? o.cornerVertex->size() : o.normals->size();
}
inline PolygonCornerUVs uvRecord(const ObjectImpl& o, size_t i) {
    if (!o.cornersByVertex) return (*o.uvw)[i];
    const KrvPolygon& c = (*o.cornerVertex)[i];
    const std::vector<CornerUV>& uv = *o.uvOfVertex;
    return {uv[c.a], uv[c.b], uv[c.c], uv[c.d]};
}
inline KrvPolygonNormals normalRecord(const ObjectImpl& o, size_t i) {
    if (!o.cornersByVertex) return (*o.normals)[i];
    const KrvPolygon& c = (*o.cornerVertex)[i];
    const std::vector<KrvVector>& n = *o.normalOfVertex;
    return {n[c.a], n[c.b], n[c.c], n[c.d]};
}

struct DocumentImpl {
    int32_t fps = 30;
    std::optional<KrvTime> end;
    KrvTime time{0, 1};
    std::vector<std::shared_ptr<MaterialImpl>> materials;
    std::vector<std::unique_ptr<ObjectImpl>> objects;
    bool isCopy = false;
    std::vector<Take> takes;  // ranges of the time line: every take evaluates the same keys
    int32_t currentTake = 0;
    // An evaluation counts itself and keeps its frame; each object catches up when its
    // placement is read, so an animation key of one object does not evaluate them all.
    uint64_t evaluations = 0;
    double evaluatedFrame = 0;
    // The bones by id, for weighting_bones: taken at its first call, as the objects of a
    // document do not change once it is loaded or copied.
    mutable std::unordered_map<std::string, ObjectImpl*> bonesById;
    mutable bool bonesIndexed = false;
};

// A modelling command's result: the list handed to the module and the objects it names.
struct CommandResult : KrvObjectList {
    std::vector<KrvObject> objects;
};

struct DialogImpl {
    KrvDialogCallback callback = nullptr;
    void* object = nullptr;
    std::optional<std::string> title;
    DialogNode root;
    std::vector<size_t> openGroups;  // path of child indices from the root
    std::map<int32_t, DialogValue> values;
    std::unordered_set<int32_t> disabled;
    bool closed = false;
    bool running = false;
    DialogNode& currentGroup();
};

// Deep copies (children, tags, weights) with parents and siblings linked.
std::unique_ptr<ObjectImpl> cloneObject(const ObjectImpl& source);
// Sets `parent` and `next` of the children of `o`, and of a top-level list.
void linkChildren(ObjectImpl& o);
void linkList(std::vector<std::unique_ptr<ObjectImpl>>& list, ObjectImpl* parent);
// The object's placement in the scene, composed from the top object down.
KrvMatrix globalMatrixOf(const ObjectImpl& object);
// Where a free copy of `o` is placed: under the global matrix of `o`'s parent.
std::optional<KrvMatrix> placementOfParent(const ObjectImpl& o);
// Every object's animated channels at the document's current time: the objects take
// them when read (updatePlacement).
void evaluateDocument(DocumentImpl& document);
// Brings the object's position, rotation and scale to its document's last evaluation.
// Every reader of them calls it first.
void updatePlacement(const ObjectImpl& object);
std::unique_ptr<DocumentImpl> buildDocument(const Scene& scene);
// The same, taking over the scene's MeshArrays instead of copying them.
std::unique_ptr<DocumentImpl> buildDocument(Scene&& scene);
std::unique_ptr<DocumentImpl> copyDocument(const DocumentImpl& source);

// What the host hands out and owns, by the address the module holds: finding the address
// tells whether it is alive, erasing it frees it, and whatever the module leaves behind
// goes with the host.
template <typename Handle, typename Impl = Handle>
using Owned = std::unordered_map<const Handle*, std::unique_ptr<Impl>>;

// Takes `object` into `registry`; its address is the handle.
template <typename Handle, typename Impl>
Impl* own(Owned<Handle, Impl>& registry, std::unique_ptr<Impl> object) {
    Impl* address = object.get();
    registry.emplace(address, std::move(object));
    return address;
}

// Storage of the C allocator handed to the module: memory blocks and value storage.
struct FreeMemory {
    void operator()(void* memory) const { std::free(memory); }
};
using Memory = std::unique_ptr<void, FreeMemory>;
struct MemoryBlock {
    Memory memory;
    size_t size = 0;
};
struct ValueStorage {
    Memory memory;
    int32_t kind = 0;
};

struct Host::State {
    HostBehaviour behaviour;
    KrvHost root{};

    // Accounting registries: everything handed out and not given back.
    std::unordered_map<const void*, MemoryBlock> blocks;
    Owned<StringImpl> strings;
    Owned<KrvString> allocatedStrings;
    Owned<ContainerImpl> containers;
    Owned<ContainerImpl> internalContainers;  // dialog messages: not counted
    std::unordered_map<const void*, ValueStorage> values;
    Owned<FileImpl> files;
    Owned<FileNameImpl> fileNames;
    std::unordered_set<const FileNameImpl*> hostFileNames;  // the target names handed to save, not owned
    Owned<KrvFileName> allocatedFileNames;
    Owned<DialogImpl> dialogs;
    Owned<DocumentImpl> documents;
    Owned<ObjectImpl> freeObjects;
    Owned<KrvObjectList, CommandResult> commandResults;
    std::unordered_set<const ObjectImpl*> liveObjects;
    std::unordered_set<const TagImpl*> liveTags;
    // The tag last found alive: the module asks for a mesh's texture coordinates one
    // polygon at a time, so checking the same tag again costs no lookup. Cleared when
    // any object's tags die.
    const TagImpl* lastLiveTag = nullptr;
    std::unordered_set<const ChannelImpl*> liveChannels;
    std::unordered_set<const MaterialImpl*> liveMaterials;

    int64_t refuseAt = 0;
    int64_t allocationCount = 0;
    int64_t failedAllocations = 0;  // memory blocks the system could not give
    std::vector<std::string> faults;

    std::vector<std::string> console;
    std::vector<std::string> messages;

    int64_t writeBudget = -1;
    double fileSystemSeconds = 0;
    std::vector<WrittenFile> written;
    std::vector<std::string> fileErrors;
    WritePlan writePlan;
    std::string saveTarget;  // the file name handed to the running save, as bytes
    std::function<void(const WrittenFile&)> onWritten;

    SaveProgress progress;
    std::vector<char> meshRead;  // by ObjectImpl::mesh

    std::vector<SaverInfo> savers;
    std::vector<RegistrationEvent> registrations;
    KrvBaseLibrary baseLibrary{};
    int64_t idleCalls = 0;

    DialogScript script;
    std::function<std::string(const DialogNode& shown)> checkBeforeOk;
    std::vector<DialogRun> dialogRuns;

    // False when this request is the one to refuse.
    bool allowAllocation();
    void fault(const std::string& what);
    bool validObject(const void* o, const char* entry);
    bool validTag(const void* t, const char* entry);
};

Host::State& hostState();

extern const KrvStringTable kStringTable;
extern const KrvMemoryTable kMemoryTable;
extern const KrvConsoleTable kConsoleTable;
extern const KrvContainerTable kContainerTable;
extern const KrvValueTable kValueTable;
extern const KrvFileNameTable kFileNameTable;
extern const KrvFileTable kFileTable;
extern const KrvDialogTable kDialogTable;
extern const KrvDocumentTable kDocumentTable;
extern const KrvObjectTable kObjectTable;
extern const KrvTagTable kTagTable;
extern const KrvMaterialTable kMaterialTable;
extern const KrvCommandTable kCommandTable;
extern const KrvPluginTable kPluginTable;

// Helpers shared by the service files.
// Counts the object's mesh as read by the module (SaveProgress).
void noteMeshRead(const ObjectImpl& object);
// A time of `seconds` at `fps` as a whole frame for SaveProgress; 0 when beyond any frame.
int64_t frameOfSeconds(double seconds, int32_t fps);
// Adds to a counter of SaveProgress, which only the host's thread changes.
template <typename T, typename N>
void advance(std::atomic<T>& counter, N n) {
    counter.store(counter.load(std::memory_order_relaxed) + static_cast<T>(n), std::memory_order_relaxed);
}
StringImpl* stringImpl(const KrvString* s);  // null (and a fault) when not live
void constructString(KrvString* s, std::u32string text);
KrvString* allocateString(std::u32string text);  // null when refused
ContainerImpl* containerImpl(const KrvContainer* c);
FileNameImpl* fileNameImpl(const KrvFileName* f);
// Fills a value holder the module provided; any storage it owned is released first.
void fillValue(KrvValue* out, int32_t kind, const void* data);
// The parameter id of a one-level KrvParamId, or 0.
int32_t parameterNumber(const KrvParamId* id);
// Internal containers (dialog messages) that are not handed out and not counted.
ContainerImpl* internalContainer(KrvContainer* c);

}  // namespace korvo
