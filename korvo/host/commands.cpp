// Modelling commands: 230 turns a generator into a polygon object, 227 optimises
// (nothing to do here), 221 splits quads into triangles in place.
#include <algorithm>

#include "korvo/host/generators.h"
#include "korvo/host/host_state.h"

namespace korvo {

namespace {

bool isGenerator(const ObjectImpl& o) {
    return o.sceneType == ObjectType::Cube || o.sceneType == ObjectType::Plane || o.sceneType == ObjectType::Sphere;
}

KrvVector toVector(const Vec3& v) {
    return {static_cast<float>(v[0]), static_cast<float>(v[1]), static_cast<float>(v[2])};
}

// A new free polygon object with the generator's name, placement, tags, geometry and
// copies of its children.
std::unique_ptr<ObjectImpl> makeEditable(const ObjectImpl& generator) {
    SceneObject description;
    description.type = generator.sceneType;
    description.generator = generator.generator;
    std::vector<Vec3> points;
    std::vector<Polygon> polygons;
    std::vector<PolygonUV> uvw;
    generateGeometry(description, points, polygons, uvw);

    updatePlacement(generator);
    auto o = std::make_unique<ObjectImpl>();
    o->type = KRV_TYPE_POLYGON;
    o->sceneType = ObjectType::Polygon;
    o->name = generator.name;
    o->id = generator.id;
    o->position = generator.position;
    o->rotation = generator.rotation;
    o->scale = generator.scale;
    o->animation = generator.animation;
    o->texture = generator.texture;
    o->material = generator.material;
    o->phong = generator.phong;
    o->rest = generator.rest;
    o->mesh = generator.mesh;
    o->placedUnder = placementOfParent(generator);
    for (const Vec3& p : points) o->points.edit().push_back(toVector(p));
    for (const Polygon& p : polygons) o->polygons.edit().push_back({p.a, p.b, p.c, p.d});
    o->hasUV = !uvw.empty();
    for (const PolygonUV& uv : uvw) o->uvw.edit().push_back(toCornerUVs(uv));
    // Weights are per point; they survive only when they fit the generated points.
    for (const BoneWeights& w : *generator.weights)
        if (w.perPoint.size() == o->points->size()) o->weights.edit().push_back(w);
    for (const auto& child : generator.children) o->children.push_back(cloneObject(*child));
    linkChildren(*o);
    return o;
}

int32_t makeEditableCommand(Host::State& state, KrvCommandData& data) {
    if (!state.validObject(data.object, "command 230")) return 0;
    auto* generator = reinterpret_cast<ObjectImpl*>(data.object);
    if (!isGenerator(*generator) || !state.allowAllocation()) return 0;
    std::unique_ptr<ObjectImpl> made = makeEditable(*generator);
    ObjectImpl* handle = made.get();
    state.freeObjects.emplace(handle, std::move(made));
    auto result = std::make_unique<CommandResult>();
    result->objects.push_back(reinterpret_cast<KrvObject>(handle));
    result->count = 1;
    result->items = result->objects.data();
    data.result = own(state.commandResults, std::move(result));
    // The command consumes a free object it was given (the copy the caller made for it);
    // an object of a document stays where it is.
    state.freeObjects.erase(generator);
    return 1;
}

// A polygon's per-corner records (UVs, normals) as the triangulation splits it: a quad's
// become (a, b, c) and (a, c, d), the last corner repeated.
template <typename Record>
void splitCornerRecords(const Record& r, bool quad, std::vector<Record>& out) {
    if (quad) {
        out.push_back({r.a, r.b, r.c, r.c});
        out.push_back({r.a, r.c, r.d, r.d});
    } else {
        out.push_back(r);
    }
}

int32_t triangulateCommand(Host::State& state, KrvCommandData& data) {
    if (!state.validObject(data.object, "command 221")) return 0;
    auto* o = reinterpret_cast<ObjectImpl*>(data.object);
    if (o->type != KRV_TYPE_POLYGON) return 0;
    const std::vector<KrvPolygon>& source = *o->polygons;
    const size_t uvCount = uvRecordCount(*o), normalCount = normalRecordCount(*o);
    // Triangles only, with no UV or normal record beyond them: nothing changes, and the
    // arrays stay shared with the document the object was copied from.
    const bool triangles =
        std::all_of(source.begin(), source.end(), [](const KrvPolygon& p) { return p.d == p.c; });
    if (triangles && (!o->hasUV || uvCount <= source.size()) && (!o->hasNormals || normalCount <= source.size()))
        return 1;
    std::vector<KrvPolygon> polygons;
    std::vector<PolygonCornerUVs> uvw;
    std::vector<KrvPolygonNormals> normals;
    polygons.reserve(source.size() * 2);
    uvw.reserve(o->hasUV ? uvCount * 2 : 0);
    normals.reserve(o->hasNormals ? normalCount * 2 : 0);
    for (size_t i = 0; i < source.size(); ++i) {
        const KrvPolygon& p = source[i];
        const bool quad = p.d != p.c;
        if (quad) {
            polygons.push_back({p.a, p.b, p.c, p.c});
            polygons.push_back({p.a, p.c, p.d, p.d});
        } else {
            polygons.push_back(p);
        }
        if (o->hasUV && i < uvCount) splitCornerRecords(uvRecord(*o, i), quad, uvw);
        if (o->hasNormals && i < normalCount) splitCornerRecords(normalRecord(*o, i), quad, normals);
    }
    o->cornersByVertex = false;
    o->cornerVertex = {};
    o->uvOfVertex = {};
    o->normalOfVertex = {};
    o->polygons = CopyOnWrite<std::vector<KrvPolygon>>(std::move(polygons));
    if (o->hasUV) o->uvw = CopyOnWrite<std::vector<PolygonCornerUVs>>(std::move(uvw));
    if (o->hasNormals) o->normals = CopyOnWrite<std::vector<KrvPolygonNormals>>(std::move(normals));
    return 1;
}

int32_t KRV_CALL send(int32_t command, KrvCommandData* data) {
    Host::State& state = hostState();
    if (data == nullptr) {
        state.fault("command send: a null command record");
        return 0;
    }
    data->result = nullptr;
    switch (command) {
        case KRV_COMMAND_MAKE_EDITABLE: return makeEditableCommand(state, *data);
        case KRV_COMMAND_OPTIMIZE: return state.validObject(data->object, "command 227") ? 1 : 0;
        case KRV_COMMAND_TRIANGULATE: return triangulateCommand(state, *data);
        default: return 0;
    }
}

void KRV_CALL freeResult(KrvObjectList* result) {
    if (result == nullptr) return;
    Host::State& state = hostState();
    if (!state.commandResults.erase(result)) return state.fault("command free_result: a list the host did not hand out");
}

}  // namespace

const KrvCommandTable kCommandTable = {sizeof(KrvCommandTable), send, freeResult};

}  // namespace korvo
