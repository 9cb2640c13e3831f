// Objects, their tags, and materials.
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "korvo/host/host_state.h"
#include "korvo/host/placement.h"
#include "korvo/console/text.h"

namespace korvo {

KrvMatrix globalMatrixOf(const ObjectImpl& object) {
    KrvMatrix m{{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    // From the top object down: M = L(top) . ... . L(object).
    std::vector<const ObjectImpl*> chain;
    for (const ObjectImpl* o = &object; o != nullptr; o = o->parent) chain.push_back(o);
    if (chain.back()->placedUnder) m = *chain.back()->placedUnder;
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        updatePlacement(**it);
        m = mulMatrix(m, localMatrix((*it)->position, (*it)->rotation, (*it)->scale));
    }
    return m;
}

std::optional<KrvMatrix> placementOfParent(const ObjectImpl& o) {
    return o.parent ? std::optional<KrvMatrix>(globalMatrixOf(*o.parent)) : o.placedUnder;
}

int32_t parameterNumber(const KrvParamId* id) {
    if (id == nullptr || id->depth < 1) return 0;
    return id->ids[0];
}

namespace {

ObjectImpl* objectImpl(KrvObject object, const char* entry) {
    return hostState().validObject(object, entry) ? reinterpret_cast<ObjectImpl*>(object) : nullptr;
}

KrvObject handle(const ObjectImpl* o) { return reinterpret_cast<KrvObject>(const_cast<ObjectImpl*>(o)); }

int32_t KRV_CALL isInstance(KrvObject object, int32_t type) {
    ObjectImpl* o = objectImpl(object, "object is_instance");
    return o && o->type == type ? 1 : 0;
}

KrvObject KRV_CALL firstChild(KrvObject object) {
    ObjectImpl* o = objectImpl(object, "object first_child");
    return o && !o->children.empty() ? handle(o->children.front().get()) : nullptr;
}

KrvObject KRV_CALL next(KrvObject object) {
    ObjectImpl* o = objectImpl(object, "object next");
    return o ? handle(o->next) : nullptr;
}

KrvObject KRV_CALL parent(KrvObject object) {
    ObjectImpl* o = objectImpl(object, "object parent");
    return o ? handle(o->parent) : nullptr;
}

void KRV_CALL getName(KrvObject object, KrvString* out) {
    ObjectImpl* o = objectImpl(object, "object get_name");
    StringImpl* s = stringImpl(out);
    if (o && s) s->text = o->name;
}

void KRV_CALL setName(KrvObject object, const KrvString* name) {
    ObjectImpl* o = objectImpl(object, "object set_name");
    const StringImpl* s = stringImpl(name);
    if (o && s) o->name = s->text;
}

KrvMatrix KRV_CALL globalMatrix(KrvObject object) {
    const ObjectImpl* o = objectImpl(object, "object global_matrix");
    return o ? globalMatrixOf(*o) : KrvMatrix{{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
}

KrvVector KRV_CALL position(KrvObject object) {
    ObjectImpl* o = objectImpl(object, "object position");
    if (!o) return KrvVector{0, 0, 0};
    updatePlacement(*o);
    return o->position;
}

KrvVector KRV_CALL rotation(KrvObject object) {
    ObjectImpl* o = objectImpl(object, "object rotation");
    if (!o) return KrvVector{0, 0, 0};
    updatePlacement(*o);
    return o->rotation;
}

KrvVector KRV_CALL scale(KrvObject object) {
    ObjectImpl* o = objectImpl(object, "object scale");
    if (!o) return KrvVector{1, 1, 1};
    updatePlacement(*o);
    return o->scale;
}

// The rest entries of a bone (and of any object that gives them), present only when given.
const std::optional<Vec3>* restEntry(const ObjectImpl& o, int32_t number) {
    switch (number) {
        case KRV_REST_POSITION: return &o.rest.position;
        case KRV_REST_SCALE: return &o.rest.scale;
        case KRV_REST_ROTATION: return &o.rest.rotation;
        default: return nullptr;
    }
}

KrvVector toVector(const Vec3& v) {
    return {static_cast<float>(v[0]), static_cast<float>(v[1]), static_cast<float>(v[2])};
}

int32_t KRV_CALL objectReadParameter(KrvObject object, const KrvParamId* id, KrvValue* out, int32_t /*flags*/) {
    ObjectImpl* o = objectImpl(object, "object read_parameter");
    const std::optional<Vec3>* entry = o ? restEntry(*o, parameterNumber(id)) : nullptr;
    if (entry && *entry) {
        const KrvVector v = toVector(**entry);
        fillValue(out, KRV_VALUE_VECTOR, &v);
        return 1;
    }
    fillValue(out, KRV_VALUE_NONE, nullptr);
    return 0;
}

void KRV_CALL objectGetParameters(KrvObject object, KrvContainer* out) {
    ObjectImpl* o = objectImpl(object, "object get_parameters");
    ContainerImpl* c = containerImpl(out);
    if (!o || !c) return;
    c->entries.clear();
    for (int32_t number : {KRV_REST_POSITION, KRV_REST_SCALE, KRV_REST_ROTATION}) {
        const std::optional<Vec3>& entry = *restEntry(*o, number);
        if (entry) kContainerTable.set_vector(out, number, toVector(*entry));
    }
}

KrvObject KRV_CALL objectCopy(KrvObject object, int32_t /*flags*/) {
    Host::State& state = hostState();
    ObjectImpl* o = objectImpl(object, "object copy");
    if (!o || !state.allowAllocation()) return nullptr;
    std::unique_ptr<ObjectImpl> copy = cloneObject(*o);
    copy->placedUnder = placementOfParent(*o);
    ObjectImpl* h = copy.get();
    state.freeObjects.emplace(h, std::move(copy));
    return handle(h);
}

void KRV_CALL objectRelease(KrvObject object) {
    if (object == nullptr) return;
    Host::State& state = hostState();
    auto* o = reinterpret_cast<ObjectImpl*>(object);
    if (!state.freeObjects.erase(o))
        state.fault(state.liveObjects.count(o) ? "object release: an object that is not a free copy"
                                               : "object release: an object that is not alive");
}

const KrvVector* KRV_CALL points(KrvObject object, int32_t* count) {
    ObjectImpl* o = objectImpl(object, "object points");
    if (o) noteMeshRead(*o);
    const bool has = o && o->type == KRV_TYPE_POLYGON && !o->points->empty();
    if (count) *count = has ? static_cast<int32_t>(o->points->size()) : 0;
    return has ? o->points->data() : nullptr;
}

const KrvPolygon* KRV_CALL polygons(KrvObject object, int32_t* count) {
    ObjectImpl* o = objectImpl(object, "object polygons");
    if (o) noteMeshRead(*o);
    const bool has = o && o->type == KRV_TYPE_POLYGON && !o->polygons->empty();
    if (count) *count = has ? static_cast<int32_t>(o->polygons->size()) : 0;
    return has ? o->polygons->data() : nullptr;
}

// The weights the object holds for the bone, or null (a handle that is not a bone, or no entry).
const BoneWeights* weightsFor(KrvObject polygonObject, KrvObject bone, const char* entry) {
    ObjectImpl* o = objectImpl(polygonObject, entry);
    ObjectImpl* b = objectImpl(bone, entry);
    if (!o || !b || b->type != KRV_TYPE_BONE) return nullptr;
    const std::vector<BoneWeights>& all = *o->weights;
    // Few weights are searched; many are indexed, so that asking for each bone of a
    // mesh stays linear in the bones.
    if (all.size() <= 16) {
        for (const BoneWeights& w : all)
            if (w.bone == b->id) return &w;
        return nullptr;
    }
    if (o->weightsIndexed != &all || o->weightsIndexedCount != all.size()) {
        o->weightsByBone.clear();
        for (size_t i = 0; i < all.size(); ++i) o->weightsByBone.emplace(all[i].bone, i);
        o->weightsIndexed = &all;
        o->weightsIndexedCount = all.size();
    }
    const auto found = o->weightsByBone.find(b->id);
    return found == o->weightsByBone.end() ? nullptr : &all[found->second];
}

float* KRV_CALL boneWeights(KrvObject polygonObject, KrvObject bone) {
    const BoneWeights* w = weightsFor(polygonObject, bone, "object bone_weights");
    if (!w) return nullptr;
    const size_t n = w->perPoint.size();
    auto* weights = static_cast<float*>(kMemoryTable.alloc(n * sizeof(float), 0, 0));
    if (!weights) return nullptr;
    for (size_t i = 0; i < n; ++i) weights[i] = static_cast<float>(w->perPoint[i]);
    return weights;
}

int32_t KRV_CALL hasBoneWeights(KrvObject polygonObject, KrvObject bone) {
    return weightsFor(polygonObject, bone, "object has_bone_weights") ? 1 : 0;
}

// Every bone of the document by its id, without recursion (the scene may be deep).
void indexBones(const DocumentImpl& document) {
    std::vector<const ObjectImpl*> pending;
    for (const auto& o : document.objects) pending.push_back(o.get());
    while (!pending.empty()) {
        const ObjectImpl* o = pending.back();
        pending.pop_back();
        if (o->type == KRV_TYPE_BONE) document.bonesById.emplace(o->id, const_cast<ObjectImpl*>(o));
        for (const auto& child : o->children) pending.push_back(child.get());
    }
    document.bonesIndexed = true;
}

KrvObject* KRV_CALL weightingBones(KrvObject polygonObject, int32_t* count) {
    ObjectImpl* o = objectImpl(polygonObject, "object weighting_bones");
    if (!count) return nullptr;
    *count = -1;
    if (!o || !o->document) return nullptr;
    if (!o->document->bonesIndexed) indexBones(*o->document);
    std::vector<KrvObject> bones;
    for (const BoneWeights& w : *o->weights) {
        const auto found = o->document->bonesById.find(w.bone);
        if (found != o->document->bonesById.end()) bones.push_back(handle(found->second));
    }
    *count = 0;
    if (bones.empty()) return nullptr;
    auto* block = static_cast<KrvObject*>(kMemoryTable.alloc(bones.size() * sizeof(KrvObject), 0, 0));
    if (!block) {
        *count = -1;
        return nullptr;
    }
    std::memcpy(block, bones.data(), bones.size() * sizeof(KrvObject));
    *count = static_cast<int32_t>(bones.size());
    return block;
}

KrvTag KRV_CALL findTag(KrvObject object, int32_t type, int32_t index) {
    ObjectImpl* o = objectImpl(object, "object find_tag");
    if (!o || index != 0) return nullptr;
    const TagImpl* tag = nullptr;
    if (type == KRV_TAG_UVW && o->hasUV) tag = &o->uvTag;
    if (type == KRV_TAG_TEXTURE && o->texture) tag = &o->textureTag;
    if (type == KRV_TAG_PHONG && o->phong) tag = &o->phongTag;
    if (type == KRV_TAG_NORMALS && o->hasNormals) tag = &o->normalTag;
    return reinterpret_cast<KrvTag>(const_cast<TagImpl*>(tag));
}

TagImpl* tagImpl(KrvTag tag, const char* entry) {
    return hostState().validTag(tag, entry) ? reinterpret_cast<TagImpl*>(tag) : nullptr;
}

// The texture tag's offset and scale, the phong tag's angle.
std::optional<float> tagReal(const TagImpl& t, int32_t number) {
    const ObjectImpl& o = *t.owner;
    if (t.type == KRV_TAG_TEXTURE) {
        switch (number) {
            case KRV_TEXTURE_OFFSET_U: return static_cast<float>(o.texture->offset[0]);
            case KRV_TEXTURE_OFFSET_V: return static_cast<float>(o.texture->offset[1]);
            case KRV_TEXTURE_SCALE_U: return static_cast<float>(o.texture->scale[0]);
            case KRV_TEXTURE_SCALE_V: return static_cast<float>(o.texture->scale[1]);
        }
    }
    if (t.type == KRV_TAG_PHONG && number == KRV_PHONG_ANGLE && o.phong->angle) return static_cast<float>(*o.phong->angle);
    return std::nullopt;
}

int32_t KRV_CALL tagReadParameter(KrvTag tag, const KrvParamId* id, KrvValue* out, int32_t /*flags*/) {
    TagImpl* t = tagImpl(tag, "tag read_parameter");
    const int32_t number = parameterNumber(id);
    if (t && t->type == KRV_TAG_PHONG && number == KRV_PHONG_LIMIT) {
        const int32_t limit = t->owner->phong->limit ? 1 : 0;
        fillValue(out, KRV_VALUE_INT, &limit);
        return 1;
    }
    if (t) {
        if (std::optional<float> r = tagReal(*t, number)) {
            fillValue(out, KRV_VALUE_REAL, &*r);
            return 1;
        }
    }
    fillValue(out, KRV_VALUE_NONE, nullptr);
    return 0;
}

void KRV_CALL tagGetParameters(KrvTag tag, KrvContainer* out) {
    TagImpl* t = tagImpl(tag, "tag get_parameters");
    ContainerImpl* c = containerImpl(out);
    if (!t || !c) return;
    c->entries.clear();
    if (t->type == KRV_TAG_TEXTURE) {
        for (int32_t number : {KRV_TEXTURE_OFFSET_U, KRV_TEXTURE_OFFSET_V, KRV_TEXTURE_SCALE_U, KRV_TEXTURE_SCALE_V}) kContainerTable.set_real(out, number, *tagReal(*t, number));
    } else if (t->type == KRV_TAG_PHONG) {
        kContainerTable.set_int(out, KRV_PHONG_LIMIT, t->owner->phong->limit ? 1 : 0);
        if (std::optional<float> angle = tagReal(*t, KRV_PHONG_ANGLE)) kContainerTable.set_real(out, KRV_PHONG_ANGLE, *angle);
    }
}

// The interface's record of a polygon's texture coordinates, with its third coordinate.
KrvPolygonUV toPolygonUV(const PolygonCornerUVs& uv) {
    return {{uv.a.u, uv.a.v, 0}, {uv.b.u, uv.b.v, 0}, {uv.c.u, uv.c.v, 0}, {uv.d.u, uv.d.v, 0}};
}

KrvPolygonUV KRV_CALL uvOfPolygon(KrvTag tag, int32_t index) {
    TagImpl* t = tagImpl(tag, "tag uv_of_polygon");
    if (!t) return {};
    if (t->type != KRV_TAG_UVW) {
        hostState().fault("tag uv_of_polygon: not a UV tag");
        return {};
    }
    const size_t count = uvRecordCount(*t->owner);
    if (index < 0 || static_cast<size_t>(index) >= count) {
        hostState().fault("tag uv_of_polygon: polygon " + std::to_string(index) + " out of range (" +
                          std::to_string(count) + " polygons)");
        return {};
    }
    return toPolygonUV(uvRecord(*t->owner, static_cast<size_t>(index)));
}

// The records of polygons first .. first + count - 1 of a per-polygon tag of `type`
// (`recordCount` of the tag's owner, each made a host record by `record`), zero where
// the range leaves them, as uv_of_polygons and normals_of_polygons answer.
template <typename Record, typename Convert>
int32_t polygonRecords(const char* entry, const char* kindText, int32_t type, KrvTag tag, int32_t first,
                       int32_t count, Record* out, size_t (*recordCount)(const ObjectImpl&), Convert record) {
    if (count <= 0) return 1;
    if (out == nullptr) {
        hostState().fault(std::string(entry) + ": null records");
        return 0;
    }
    std::fill(out, out + count, Record{});
    TagImpl* t = tagImpl(tag, entry);
    if (!t) return 0;
    if (t->type != type) {
        hostState().fault(std::string(entry) + ": not " + kindText);
        return 0;
    }
    const ObjectImpl& owner = *t->owner;
    const auto records = static_cast<int64_t>(recordCount(owner));
    const int64_t end = int64_t{first} + count;
    const int64_t from = first < 0 ? 0 : first;
    const int64_t to = end < records ? end : records;
    for (int64_t i = from; i < to; ++i) {
        out[i - first] = record(owner, static_cast<size_t>(i));
    }
    if (first < 0 || end > records) {
        hostState().fault(std::string(entry) + ": polygons " + std::to_string(first) + " to " +
                          std::to_string(end - 1) + " out of range (" + std::to_string(records) + " polygons)");
        return 0;
    }
    return 1;
}

int32_t KRV_CALL uvOfPolygons(KrvTag tag, int32_t first, int32_t count, KrvPolygonUV* out) {
    return polygonRecords("tag uv_of_polygons", "a UV tag", KRV_TAG_UVW, tag, first, count, out, uvRecordCount,
                          [](const ObjectImpl& o, size_t i) { return toPolygonUV(uvRecord(o, i)); });
}

int32_t KRV_CALL normalsOfPolygons(KrvTag tag, int32_t first, int32_t count, KrvPolygonNormals* out) {
    return polygonRecords("tag normals_of_polygons", "a normal tag", KRV_TAG_NORMALS, tag, first, count, out,
                          normalRecordCount, normalRecord);
}

KrvMaterial KRV_CALL tagMaterial(KrvTag tag) {
    TagImpl* t = tagImpl(tag, "tag material");
    if (!t || t->type != KRV_TAG_TEXTURE) return nullptr;
    return reinterpret_cast<KrvMaterial>(t->owner->material.get());
}

MaterialImpl* materialImpl(KrvMaterial material, const char* entry) {
    Host::State& state = hostState();
    auto* m = reinterpret_cast<MaterialImpl*>(material);
    if (m != nullptr && state.liveMaterials.count(m)) return m;
    state.fault(std::string(entry) + ": " + (material ? "a material that is not alive" : "a null material"));
    return nullptr;
}

int channelIndex(int32_t number) {
    switch (number) {
        case KRV_CHANNEL_COLOR: return 0;
        case KRV_CHANNEL_LUMINANCE: return 1;
        case KRV_CHANNEL_TRANSPARENCY: return 2;
        case KRV_CHANNEL_SPECULAR: return 3;
        default: return -1;
    }
}

KrvChannel KRV_CALL materialChannel(KrvMaterial material, int32_t number) {
    MaterialImpl* m = materialImpl(material, "material channel");
    const int index = channelIndex(number);
    if (!m || index < 0) return nullptr;
    return reinterpret_cast<KrvChannel>(&m->channels[index]);
}

void KRV_CALL channelData(KrvChannel channel, KrvContainer* out) {
    Host::State& state = hostState();
    auto* c = reinterpret_cast<ChannelImpl*>(channel);
    if (c == nullptr || !state.liveChannels.count(c)) return state.fault("material channel_data: a channel that is not alive");
    ContainerImpl* container = containerImpl(out);
    if (!container) return;
    container->entries.clear();
    const Channel* data = c->material->channel(c->number);
    if (data->texture) {
        ContainerEntry& e = container->entries[KRV_CHANNEL_TEXTURE];
        e.type = KRV_ENTRY_STRING;
        e.text = fromUtf8(*data->texture);
    }
}

int32_t KRV_CALL channelEnabled(KrvMaterial material, int32_t number) {
    MaterialImpl* m = materialImpl(material, "material channel_enabled");
    const Channel* c = m ? m->channel(number) : nullptr;
    return c && c->on ? 1 : 0;
}

int32_t KRV_CALL materialReadParameter(KrvMaterial material, const KrvParamId* id, KrvValue* out, int32_t /*flags*/) {
    MaterialImpl* m = materialImpl(material, "material read_parameter");
    const Channel* c = nullptr;
    if (m) {
        switch (parameterNumber(id)) {
            case KRV_PARAM_COLOR: c = &m->data.color; break;
            case KRV_PARAM_LUMINANCE: c = &m->data.luminance; break;
            case KRV_PARAM_TRANSPARENCY: c = &m->data.transparency; break;
            case KRV_PARAM_SPECULAR: c = &m->data.specular; break;
        }
    }
    if (!c) {
        fillValue(out, KRV_VALUE_NONE, nullptr);
        return 0;
    }
    const KrvVector v = toVector(c->value);
    fillValue(out, KRV_VALUE_VECTOR, &v);
    return 1;
}

}  // namespace

const KrvObjectTable kObjectTable = {
    sizeof(KrvObjectTable), isInstance, firstChild, next, parent, getName, setName, globalMatrix,
    position, rotation, scale, objectReadParameter, objectGetParameters, objectCopy, objectRelease,
    points, polygons, boneWeights, findTag, hasBoneWeights, weightingBones,
};

const KrvTagTable kTagTable = {sizeof(KrvTagTable), tagReadParameter, tagGetParameters, uvOfPolygon, tagMaterial,
                                uvOfPolygons, normalsOfPolygons};

const KrvMaterialTable kMaterialTable = {
    sizeof(KrvMaterialTable), materialChannel, channelData, channelEnabled, materialReadParameter,
};

}  // namespace korvo
