#include "korvo/host/host.h"

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

#include "korvo/host/host_state.h"
#include "korvo/console/status_line.h"
#include "korvo/console/text.h"

namespace korvo {

namespace {

Host* currentHost = nullptr;
Host::State* currentState = nullptr;

std::string quoted(const std::u32string& text) {
    std::string s = toUtf8(text);
    if (s.size() > 60) s = s.substr(0, 57) + "...";
    return "\"" + s + "\"";
}

}  // namespace

Host::State& hostState() {
    if (currentState == nullptr) {
        std::fputs("korvo: the module called the host while no host exists\n", stderr);
        std::abort();
    }
    return *currentState;
}

bool Host::State::allowAllocation() {
    ++allocationCount;
    return refuseAt == 0 || allocationCount != refuseAt;
}

void Host::State::fault(const std::string& what) {
    faults.push_back(what);
    if (behaviour.echo) printError("korvo: interface misuse: %s\n", what.c_str());
}

bool Host::State::validObject(const void* o, const char* entry) {
    if (o != nullptr && liveObjects.count(static_cast<const ObjectImpl*>(o))) return true;
    fault(std::string(entry) + ": " + (o ? "an object that is not alive" : "a null object"));
    return false;
}

bool Host::State::validTag(const void* t, const char* entry) {
    if (t != nullptr && t == lastLiveTag) return true;
    if (t != nullptr && liveTags.count(static_cast<const TagImpl*>(t))) {
        lastLiveTag = static_cast<const TagImpl*>(t);
        return true;
    }
    fault(std::string(entry) + ": " + (t ? "a tag that is not alive" : "a null tag"));
    return false;
}

ObjectImpl::ObjectImpl() {
    uvTag = {KRV_TAG_UVW, this};
    textureTag = {KRV_TAG_TEXTURE, this};
    phongTag = {KRV_TAG_PHONG, this};
    normalTag = {KRV_TAG_NORMALS, this};
    if (currentState) {
        currentState->liveObjects.insert(this);
        currentState->liveTags.insert(&uvTag);
        currentState->liveTags.insert(&textureTag);
        currentState->liveTags.insert(&phongTag);
        currentState->liveTags.insert(&normalTag);
    }
}

ObjectImpl::~ObjectImpl() {
    if (currentState) {
        currentState->liveObjects.erase(this);
        currentState->liveTags.erase(&uvTag);
        currentState->liveTags.erase(&textureTag);
        currentState->liveTags.erase(&phongTag);
        currentState->liveTags.erase(&normalTag);
        currentState->lastLiveTag = nullptr;
    }
}

MaterialImpl::~MaterialImpl() {
    if (currentState) {
        currentState->liveMaterials.erase(this);
        for (const ChannelImpl& c : channels) currentState->liveChannels.erase(&c);
    }
}

Host::Host(HostBehaviour behaviour) : state_(std::make_unique<State>()) {
    if (currentHost != nullptr) throw std::logic_error("korvo: only one Host may exist at a time");
    currentHost = this;
    currentState = state_.get();
    State& s = *state_;
    s.behaviour = behaviour;
    s.root.version = KRV_INTERFACE_VERSION;
    s.root.string = &kStringTable;
    s.root.memory = &kMemoryTable;
    s.root.console = &kConsoleTable;
    s.root.container = &kContainerTable;
    s.root.value = &kValueTable;
    s.root.filename = &kFileNameTable;
    s.root.file = &kFileTable;
    s.root.dialog = &kDialogTable;
    s.root.document = &kDocumentTable;
    s.root.object = &kObjectTable;
    s.root.tag = &kTagTable;
    s.root.material = &kMaterialTable;
    s.root.command = &kCommandTable;
    s.root.plugin = &kPluginTable;
}

Host::~Host() {
    State& s = *state_;
    // What the module left behind goes with the registries, so that the process itself
    // does not leak (the leak report has already been taken by whoever cares); an open
    // file is dropped uncommitted, and the objects go while their live sets exist.
    for (auto& [handle, f] : s.files) abandonTarget(f->out);
    s.freeObjects.clear();
    s.documents.clear();
    currentState = nullptr;
    currentHost = nullptr;
}

Host& Host::current() {
    if (currentHost == nullptr) throw std::logic_error("korvo: no Host exists");
    return *currentHost;
}

const KrvHost* Host::root() const { return &state_->root; }
HostBehaviour& Host::behaviour() { return state_->behaviour; }

namespace {

bool isMesh(const ObjectImpl& o) {
    return o.type == KRV_TYPE_POLYGON || o.sceneType == ObjectType::Cube || o.sceneType == ObjectType::Plane ||
           o.sceneType == ObjectType::Sphere;
}

void numberMeshes(const std::vector<std::unique_ptr<ObjectImpl>>& objects, uint32_t& count) {
    for (const auto& o : objects) {
        if (isMesh(*o)) o->mesh = count++;
        numberMeshes(o->children, count);
    }
}

}  // namespace

void noteMeshRead(const ObjectImpl& object) {
    Host::State& s = hostState();
    if (object.mesh >= s.meshRead.size() || s.meshRead[object.mesh]) return;
    s.meshRead[object.mesh] = 1;
    advance(s.progress.meshesRead, 1);
}

const SaveProgress& Host::saveProgress() const { return state_->progress; }

namespace {

KrvDocument keepDocument(Host::State& state, std::unique_ptr<DocumentImpl> document) {
    uint32_t meshes = 0;
    numberMeshes(document->objects, meshes);
    SaveProgress& p = state.progress;
    state.meshRead.assign(meshes, 0);
    p.meshes = meshes;
    p.meshesRead = 0;
    p.frame = -1;
    const std::optional<KrvTime>& end = document->end;
    p.endFrame = end && end->denominator != 0 ? frameOfSeconds(double(end->numerator) / end->denominator, document->fps)
                                              : 0;
    p.sweeps = 0;
    p.bytes = 0;
    p.files = 0;
    DocumentImpl* handle = document.get();
    state.documents.emplace(handle, std::move(document));
    return reinterpret_cast<KrvDocument>(handle);
}

}  // namespace

KrvDocument Host::loadDocument(const Scene& scene) { return keepDocument(*state_, buildDocument(scene)); }

KrvDocument Host::loadDocument(Scene&& scene) { return keepDocument(*state_, buildDocument(std::move(scene))); }

void Host::releaseDocument(KrvDocument document) {
    state_->documents.erase(reinterpret_cast<DocumentImpl*>(document));
}

namespace {

const ObjectImpl* findIn(const std::vector<std::unique_ptr<ObjectImpl>>& list, const std::u32string& name) {
    for (const auto& o : list) {
        if (o->name == name) return o.get();
        if (const ObjectImpl* found = findIn(o->children, name)) return found;
    }
    return nullptr;
}

}  // namespace

KrvObject Host::findObject(KrvDocument document, const std::string& name) const {
    auto it = state_->documents.find(reinterpret_cast<DocumentImpl*>(document));
    if (it == state_->documents.end()) return nullptr;
    return reinterpret_cast<KrvObject>(const_cast<ObjectImpl*>(findIn(it->second->objects, fromUtf8(name))));
}

const std::vector<std::string>& Host::consoleLines() const { return state_->console; }
const std::vector<std::string>& Host::userMessages() const { return state_->messages; }
void Host::clearMessages() {
    state_->console.clear();
    state_->messages.clear();
}

Counts Host::liveCounts() const {
    const State& s = *state_;
    Counts c;
    c.blocks = static_cast<int64_t>(s.blocks.size());
    c.strings = static_cast<int64_t>(s.strings.size());
    c.containers = static_cast<int64_t>(s.containers.size());
    c.values = static_cast<int64_t>(s.values.size());
    c.files = static_cast<int64_t>(s.files.size());
    c.fileNames = static_cast<int64_t>(s.fileNames.size());
    c.dialogs = static_cast<int64_t>(s.dialogs.size());
    for (const auto& [impl, document] : s.documents) c.documentCopies += document->isCopy ? 1 : 0;
    c.objectCopies = static_cast<int64_t>(s.freeObjects.size());
    c.commandResults = static_cast<int64_t>(s.commandResults.size());
    return c;
}

std::vector<std::string> Host::leakReport() const {
    const State& s = *state_;
    std::vector<std::string> lines;
    char line[160];
    for (const auto& [address, block] : s.blocks) {
        std::snprintf(line, sizeof line, "leaked block of %zu bytes", block.size);
        lines.push_back(line);
    }
    for (const auto& [handle, impl] : s.strings) lines.push_back("leaked string " + quoted(impl->text));
    for (const auto& [handle, c] : s.containers) {
        std::snprintf(line, sizeof line, "leaked container with id %" PRId32 " and %zu entries", c->id,
                      c->entries.size());
        lines.push_back(line);
    }
    for (const auto& [data, value] : s.values) {
        std::snprintf(line, sizeof line, "leaked value holder of kind %" PRId32, value.kind);
        lines.push_back(line);
    }
    for (const auto& [handle, f] : s.files)
        lines.push_back("leaked file object" + (f->out.target.empty() ? std::string() : " for " + f->out.target));
    for (const auto& [handle, f] : s.fileNames) lines.push_back("leaked file name " + quoted(f->path));
    for (const auto& [handle, d] : s.dialogs)
        lines.push_back("leaked dialog" + (d->title ? " \"" + *d->title + "\"" : std::string()));
    for (const auto& [impl, document] : s.documents)
        if (document->isCopy) lines.push_back("leaked document copy");
    for (const auto& [impl, object] : s.freeObjects) lines.push_back("leaked object copy " + quoted(object->name));
    for (size_t i = 0; i < s.commandResults.size(); ++i) lines.push_back("leaked modelling command result list");
    return lines;
}

const std::vector<std::string>& Host::faults() const { return state_->faults; }

void Host::refuseAllocation(int64_t n) {
    state_->refuseAt = n;
    state_->allocationCount = 0;
}

int64_t Host::allocationRequests() const { return state_->allocationCount; }
int64_t Host::failedAllocations() const { return state_->failedAllocations; }

const std::vector<WrittenFile>& Host::writtenFiles() const { return state_->written; }
const std::vector<std::string>& Host::fileErrors() const { return state_->fileErrors; }
void Host::limitWrites(int64_t bytes) { state_->writeBudget = bytes; }
double Host::fileSystemSeconds() const { return state_->fileSystemSeconds; }
void Host::onFileWritten(std::function<void(const WrittenFile&)> callback) {
    state_->onWritten = std::move(callback);
}

const std::vector<SaverInfo>& Host::savers() const { return state_->savers; }
const std::vector<RegistrationEvent>& Host::registrations() const { return state_->registrations; }
void Host::forgetSavers() { state_->savers.clear(); }
int64_t Host::idleCalls() const { return state_->idleCalls; }

int32_t Host::save(const SaverInfo& saver, KrvDocument document, const std::string& target, int32_t flags) {
    KrvSaver object = saver.allocate();
    if (object == nullptr) return kSaverNotCreated;
    // The host's own file name, not one handed out: it is not counted.
    FileNameImpl name{fromPathBytes(target)};
    state_->hostFileNames.insert(&name);
    KrvFileName fileName{&name};
    state_->saveTarget = target;
    const int32_t result = saver.save(object, nullptr, &fileName, document, flags);
    state_->saveTarget.clear();
    state_->hostFileNames.erase(&name);
    saver.destroy(object);
    return result;
}

void Host::followPlan(WritePlan plan) { state_->writePlan = std::move(plan); }

void Host::setDialogScript(DialogScript script) { state_->script = std::move(script); }
void Host::setCheckBeforeOk(std::function<std::string(const DialogNode& shown)> check) {
    state_->checkBeforeOk = std::move(check);
}
const std::vector<DialogRun>& Host::dialogRuns() const { return state_->dialogRuns; }

}  // namespace korvo
