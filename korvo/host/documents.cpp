// Live documents: built from scene records, copied, timed and evaluated.
#include <cmath>
#include <type_traits>

#include "korvo/host/host_state.h"
#include "korvo/host/placement.h"
#include "korvo/console/text.h"

namespace korvo {

const Channel* MaterialImpl::channel(int32_t number) const {
    switch (number) {
        case KRV_CHANNEL_COLOR: return &data.color;
        case KRV_CHANNEL_LUMINANCE: return &data.luminance;
        case KRV_CHANNEL_TRANSPARENCY: return &data.transparency;
        case KRV_CHANNEL_SPECULAR: return &data.specular;
        default: return nullptr;
    }
}

DialogNode& DialogImpl::currentGroup() {
    DialogNode* node = &root;
    for (size_t index : openGroups) node = &node->children[index];
    return *node;
}

namespace {

KrvVector toVector(const Vec3& v) {
    return {static_cast<float>(v[0]), static_cast<float>(v[1]), static_cast<float>(v[2])};
}

int32_t typeId(ObjectType type) {
    switch (type) {
        case ObjectType::Polygon: return KRV_TYPE_POLYGON;
        case ObjectType::Null: return KRV_TYPE_NULL;
        case ObjectType::Bone: return KRV_TYPE_BONE;
        case ObjectType::Cube: return KRV_TYPE_CUBE;
        case ObjectType::Plane: return KRV_TYPE_PLANE;
        case ObjectType::Sphere: return KRV_TYPE_SPHERE;
        case ObjectType::Camera: return KRV_TYPE_CAMERA;
        case ObjectType::Light: return KRV_TYPE_LIGHT;
    }
    return KRV_TYPE_NULL;
}

std::shared_ptr<MaterialImpl> makeMaterial(const Material& data) {
    auto m = std::make_shared<MaterialImpl>();
    m->data = data;
    const int32_t numbers[4] = {KRV_CHANNEL_COLOR, KRV_CHANNEL_LUMINANCE, KRV_CHANNEL_TRANSPARENCY,
                                KRV_CHANNEL_SPECULAR};
    for (int i = 0; i < 4; ++i) m->channels[i] = {m.get(), numbers[i]};
    Host::State& state = hostState();
    state.liveMaterials.insert(m.get());
    for (const ChannelImpl& c : m->channels) state.liveChannels.insert(&c);
    return m;
}

std::shared_ptr<MaterialImpl> materialNamed(const std::vector<std::shared_ptr<MaterialImpl>>& materials,
                                            const std::string& name) {
    for (const auto& m : materials)
        if (m->data.name == name) return m;
    return nullptr;
}

// The geometry made ready by an import: moved in from a scene given to keep, else copied.
void takeArrays(ObjectImpl& o, MeshArrays arrays) {
    o.points = CopyOnWrite<std::vector<KrvVector>>(std::move(arrays.points));
    o.polygons = CopyOnWrite<std::vector<KrvPolygon>>(std::move(arrays.polygons));
    o.cornersByVertex = true;
    o.cornerVertex = CopyOnWrite<std::vector<KrvPolygon>>(std::move(arrays.cornerVertex));
    o.hasUV = arrays.uvOfVertex.has_value();
    if (arrays.uvOfVertex) o.uvOfVertex = CopyOnWrite<std::vector<CornerUV>>(std::move(*arrays.uvOfVertex));
    o.hasNormals = arrays.normalOfVertex.has_value();
    if (arrays.normalOfVertex)
        o.normalOfVertex = CopyOnWrite<std::vector<KrvVector>>(std::move(*arrays.normalOfVertex));
}

// `Object` is a const SceneObject, or a SceneObject whose arrays the document takes.
template <typename Object>
std::unique_ptr<ObjectImpl> buildObject(Object& source, const std::vector<std::shared_ptr<MaterialImpl>>& materials) {
    auto o = std::make_unique<ObjectImpl>();
    o->sceneType = source.type;
    o->type = typeId(source.type);
    o->name = fromUtf8(source.name);
    o->id = source.id.empty() ? source.name : source.id;
    o->position = toVector(source.position);
    o->rotation = toVector(source.rotation);
    o->scale = toVector(source.scale);
    o->animation = source.animation;
    o->generator = source.generator;
    // A scene given to keep gives back each array once converted, so that the scene's
    // arrays and the document's are never all held at once.
    const auto giveBack = [](auto& records) {
        if constexpr (!std::is_const_v<Object>) std::decay_t<decltype(records)>().swap(records);
    };
    if (source.arrays) {
        takeArrays(*o, std::move(*source.arrays));
    } else {
        std::vector<KrvVector>& points = o->points.edit();
        points.reserve(source.points.size());
        for (const Vec3& p : source.points) points.push_back(toVector(p));
        giveBack(source.points);
        std::vector<KrvPolygon>& polygons = o->polygons.edit();
        polygons.reserve(source.polygons.size());
        for (const Polygon& p : source.polygons) polygons.push_back({p.a, p.b, p.c, p.d});
        giveBack(source.polygons);
        if (source.uvw) {
            o->hasUV = true;
            std::vector<PolygonCornerUVs>& uvw = o->uvw.edit();
            uvw.reserve(source.uvw->size());
            for (const PolygonUV& uv : *source.uvw) uvw.push_back(toCornerUVs(uv));
            giveBack(*source.uvw);
        }
        if (source.normals) {
            o->hasNormals = true;
            std::vector<KrvPolygonNormals>& normals = o->normals.edit();
            normals.reserve(source.normals->size());
            for (const PolygonNormals& n : *source.normals)
                normals.push_back({toVector(n.corners[0]), toVector(n.corners[1]), toVector(n.corners[2]),
                                   toVector(n.corners[3])});
            giveBack(*source.normals);
        }
    }
    o->texture = source.texture;
    if (source.texture) o->material = materialNamed(materials, source.texture->material);
    o->phong = source.phong;
    o->rest = source.rest;
    o->weights = CopyOnWrite<std::vector<BoneWeights>>(source.weights);
    for (auto& child : source.children) o->children.push_back(buildObject(child, materials));
    linkChildren(*o);
    return o;
}

// The objects follow the document's evaluations from its current one on.
void adoptObjects(std::vector<std::unique_ptr<ObjectImpl>>& list, const DocumentImpl& document) {
    for (auto& o : list) {
        o->document = &document;
        o->evaluatedAt = document.evaluations;
        adoptObjects(o->children, document);
    }
}

}  // namespace

void linkList(std::vector<std::unique_ptr<ObjectImpl>>& list, ObjectImpl* parent) {
    for (size_t i = 0; i < list.size(); ++i) {
        list[i]->parent = parent;
        list[i]->next = i + 1 < list.size() ? list[i + 1].get() : nullptr;
    }
}

void linkChildren(ObjectImpl& o) { linkList(o.children, &o); }

void updatePlacement(const ObjectImpl& o) {
    if (!o.document || o.evaluatedAt == o.document->evaluations) return;
    const Animation& a = o.animation;
    const double frame = o.document->evaluatedFrame;
    if (!a.position.empty()) o.position = toVector(interpolateKeys(a.position, frame));
    if (!a.rotation.empty()) o.rotation = toVector(interpolateKeys(a.rotation, frame));
    if (!a.scale.empty()) o.scale = toVector(interpolateKeys(a.scale, frame));
    o.evaluatedAt = o.document->evaluations;
}

// A free object: it keeps the placement its source has now.
std::unique_ptr<ObjectImpl> cloneObject(const ObjectImpl& s) {
    updatePlacement(s);
    auto o = std::make_unique<ObjectImpl>();
    o->type = s.type;
    o->sceneType = s.sceneType;
    o->name = s.name;
    o->id = s.id;
    o->position = s.position;
    o->rotation = s.rotation;
    o->scale = s.scale;
    o->animation = s.animation;
    o->generator = s.generator;
    o->points = s.points;
    o->polygons = s.polygons;
    o->hasUV = s.hasUV;
    o->uvw = s.uvw;
    o->hasNormals = s.hasNormals;
    o->normals = s.normals;
    o->cornersByVertex = s.cornersByVertex;
    o->cornerVertex = s.cornerVertex;
    o->uvOfVertex = s.uvOfVertex;
    o->normalOfVertex = s.normalOfVertex;
    o->texture = s.texture;
    o->material = s.material;
    o->phong = s.phong;
    o->rest = s.rest;
    o->weights = s.weights;
    o->mesh = s.mesh;
    for (const auto& child : s.children) o->children.push_back(cloneObject(*child));
    linkChildren(*o);
    return o;
}

namespace {

template <typename SceneRecords>  // const Scene, or a Scene whose arrays the document takes
std::unique_ptr<DocumentImpl> documentOf(SceneRecords& scene) {
    auto d = std::make_unique<DocumentImpl>();
    d->fps = scene.fps;
    if (scene.end)
        d->end = KrvTime{static_cast<float>(scene.end->numerator), static_cast<float>(scene.end->denominator)};
    d->time = {static_cast<float>(scene.time.numerator), static_cast<float>(scene.time.denominator)};
    d->takes = scene.takes;
    d->currentTake = scene.currentTake;
    for (const Material& m : scene.materials) d->materials.push_back(makeMaterial(m));
    for (auto& o : scene.objects) d->objects.push_back(buildObject(o, d->materials));
    linkList(d->objects, nullptr);
    adoptObjects(d->objects, *d);
    evaluateDocument(*d);
    return d;
}

}  // namespace

std::unique_ptr<DocumentImpl> buildDocument(const Scene& scene) { return documentOf(scene); }
std::unique_ptr<DocumentImpl> buildDocument(Scene&& scene) { return documentOf(scene); }

std::unique_ptr<DocumentImpl> copyDocument(const DocumentImpl& source) {
    auto d = std::make_unique<DocumentImpl>();
    d->fps = source.fps;
    d->end = source.end;
    d->time = source.time;
    d->takes = source.takes;
    d->currentTake = source.currentTake;
    d->materials = source.materials;  // materials never change: shared
    for (const auto& o : source.objects) d->objects.push_back(cloneObject(*o));
    linkList(d->objects, nullptr);
    adoptObjects(d->objects, *d);
    d->isCopy = true;
    return d;
}

int64_t frameOfSeconds(double seconds, int32_t fps) {
    const double frame = std::round(seconds * fps);
    return std::fabs(frame) < 1e15 ? static_cast<int64_t>(frame) : 0;
}

void evaluateDocument(DocumentImpl& document) {
    const double seconds = document.time.denominator != 0
                               ? static_cast<double>(document.time.numerator) / document.time.denominator
                               : 0.0;
    document.evaluatedFrame = seconds * document.fps;
    ++document.evaluations;
}

namespace {

void noteFrame(SaveProgress& p, int64_t now) {
    if (now <= p.frame.load(std::memory_order_relaxed)) advance(p.sweeps, 1);
    else if (p.frame.load(std::memory_order_relaxed) < 0) p.sweeps.store(1, std::memory_order_relaxed);
    p.frame.store(now, std::memory_order_relaxed);
}

DocumentImpl* documentImpl(KrvDocument document, const char* entry) {
    Host::State& state = hostState();
    auto* impl = reinterpret_cast<DocumentImpl*>(document);
    if (impl != nullptr && state.documents.count(impl)) return impl;
    state.fault(std::string(entry) + ": " + (document ? "a document that is not alive" : "a null document"));
    return nullptr;
}

KrvDocument KRV_CALL documentCopy(KrvDocument document, int32_t /*flags*/) {
    Host::State& state = hostState();
    DocumentImpl* source = documentImpl(document, "document copy");
    if (!source || !state.allowAllocation()) return nullptr;
    std::unique_ptr<DocumentImpl> copy = copyDocument(*source);
    DocumentImpl* handle = copy.get();
    state.documents.emplace(handle, std::move(copy));
    return reinterpret_cast<KrvDocument>(handle);
}

void KRV_CALL documentRelease(KrvDocument document) {
    if (document == nullptr) return;
    Host::State& state = hostState();
    DocumentImpl* impl = documentImpl(document, "document release");
    if (!impl) return;
    if (!impl->isCopy) return state.fault("document release: the host's own document, not a copy");
    state.documents.erase(impl);
}

KrvObject KRV_CALL firstObject(KrvDocument document) {
    DocumentImpl* impl = documentImpl(document, "document first_object");
    if (!impl || impl->objects.empty()) return nullptr;
    return reinterpret_cast<KrvObject>(impl->objects.front().get());
}

void KRV_CALL getSettings(KrvDocument document, int32_t /*mode*/, KrvContainer* out) {
    DocumentImpl* impl = documentImpl(document, "document get_settings");
    if (!impl || !containerImpl(out)) return;
    kContainerTable.set_time(out, KRV_DOC_TIME, impl->time);
    kContainerTable.set_int(out, KRV_DOC_FPS, impl->fps);
    if (impl->end) kContainerTable.set_time(out, KRV_DOC_MAXTIME, *impl->end);
}

void KRV_CALL setSettings(KrvDocument document, int32_t /*mode*/, const KrvContainer* settings) {
    DocumentImpl* impl = documentImpl(document, "document set_settings");
    if (!impl || !containerImpl(settings)) return;
    if (kContainerTable.entry_type(settings, KRV_DOC_TIME) == KRV_ENTRY_TIME)
        impl->time = kContainerTable.get_time(settings, KRV_DOC_TIME, impl->time);
    if (kContainerTable.entry_type(settings, KRV_DOC_FPS) == KRV_ENTRY_INT)
        impl->fps = kContainerTable.get_int(settings, KRV_DOC_FPS, impl->fps);
    if (kContainerTable.entry_type(settings, KRV_DOC_MAXTIME) == KRV_ENTRY_TIME)
        impl->end = kContainerTable.get_time(settings, KRV_DOC_MAXTIME, KrvTime{0, 1});
    if (kContainerTable.entry_type(settings, KRV_DOC_TIME) == KRV_ENTRY_TIME && impl->time.denominator != 0)
        noteFrame(hostState().progress,
                  frameOfSeconds(double(impl->time.numerator) / impl->time.denominator, impl->fps));
}

int32_t KRV_CALL evaluate(KrvDocument document, int32_t /*a*/, int32_t /*b*/, int32_t /*c*/) {
    DocumentImpl* impl = documentImpl(document, "document evaluate");
    if (!impl) return 0;
    evaluateDocument(*impl);
    return 1;
}

// The host redraws on message 5; headless, there is nothing to do.
void KRV_CALL documentMessage(KrvDocument document, int32_t /*message*/, void* /*data*/) {
    documentImpl(document, "document message");
}

int32_t KRV_CALL takeCount(KrvDocument document) {
    DocumentImpl* impl = documentImpl(document, "document take_count");
    return impl ? static_cast<int32_t>(impl->takes.size()) : 0;
}

const Take* takeOf(KrvDocument document, int32_t index, const char* entry) {
    DocumentImpl* impl = documentImpl(document, entry);
    if (!impl || index < 0 || index >= static_cast<int32_t>(impl->takes.size())) return nullptr;
    return &impl->takes[static_cast<size_t>(index)];
}

int32_t KRV_CALL takeName(KrvDocument document, int32_t index, KrvString* out) {
    const Take* take = takeOf(document, index, "document take_name");
    StringImpl* name = stringImpl(out);
    if (!take || !name) return 0;
    name->text = fromUtf8(take->name);
    return 1;
}

int32_t KRV_CALL takeRange(KrvDocument document, int32_t index, KrvTime* start, KrvTime* end) {
    const Take* take = takeOf(document, index, "document take_range");
    if (!take || !start || !end) return 0;
    const float fps = static_cast<float>(documentImpl(document, "document take_range")->fps);
    *start = {static_cast<float>(take->startFrame), fps};
    *end = {static_cast<float>(take->endFrame), fps};
    return 1;
}

int32_t KRV_CALL setCurrentTake(KrvDocument document, int32_t index) {
    if (!takeOf(document, index, "document set_current_take")) return 0;
    documentImpl(document, "document set_current_take")->currentTake = index;
    return 1;
}

}  // namespace

const KrvDocumentTable kDocumentTable = {
    sizeof(KrvDocumentTable), documentCopy, documentRelease, firstObject, getSettings,
    setSettings, evaluate, documentMessage, takeCount, takeName, takeRange, setCurrentTake,
};

}  // namespace korvo
