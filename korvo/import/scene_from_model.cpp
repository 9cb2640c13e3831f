#include "korvo/import/scene_from_model.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <set>
#include <unordered_map>
#include <unordered_set>

#include "korvo/import/model_pose.h"

namespace korvo::import {

namespace {

// One object of the scene being planned. The plan is a tree of indices so that skinned
// meshes can be moved to where the exporter searches their bones before the records
// are built.
struct PlanItem {
    int node = -1;  // the model node whose space the object has; -1: the world
    int mesh = -1;  // the mesh of a polygon object
    ObjectType type = ObjectType::Null;
    std::string name;
    int parent = -1;
    std::vector<int> children;
};

struct Conversion {
    const ModelData& model;
    const NoteSink& note;
    const NoteSink& skinNote;  // `note`, or nothing when no skin is written
    std::unordered_map<std::string, int> nodeByName;
    std::vector<bool> usableMesh;  // meshes with at least one triangle
    std::vector<bool> boneNode;
    std::vector<int> itemOfBoneNode;       // -1 for nodes that are not bones
    std::vector<PlanItem> plan;            // plan[0] is the world
    std::vector<Affine> restGlobal;        // per node, stored transforms
    std::vector<std::string> ids;          // per plan item
    std::vector<bool> oddPlacementNoted;   // per plan item: shear, scale 0 or no placement
    // Per plan item, the part of its rest placement the host's placement cannot hold
    // (identity for nearly every item): the host's placement times it is the model's.
    std::vector<Affine> remainder;
    std::vector<bool> animatedNodes;  // per node (one more, never set), filled when first asked
    // Per plan item: how a mesh's points move so that the one bind pose the host keeps
    // for each bone weights them as the mesh's own did. Empty: as they are; one entry:
    // every point by it; else one per bone of the mesh, blended by each point's weights.
    std::vector<std::vector<Affine>> rebind;
    bool documentArrays = false;  // ImportChoices::documentArrays
};

std::string quoted(const std::string& s) { return "'" + s + "'"; }

bool finite(const Vec3& v) { return std::isfinite(v[0]) && std::isfinite(v[1]) && std::isfinite(v[2]); }
bool finite(const Float3& v) { return std::isfinite(v[0]) && std::isfinite(v[1]) && std::isfinite(v[2]); }

bool finite(const Affine& a) {
    for (int r = 0; r < 3; ++r)
        if (!finite(a.linear[r]) || !std::isfinite(a.offset[r])) return false;
    return true;
}

int triangleCount(const ModelMesh& mesh) {
    return static_cast<int>(std::count(mesh.faceSizes.begin(), mesh.faceSizes.end(), 3u));
}

int boneNodeOf(const Conversion& c, const ModelBone& bone) {
    const auto found = c.nodeByName.find(bone.name);
    return found == c.nodeByName.end() ? -1 : found->second;
}

// Bones are the nodes the skinned meshes name, and the nodes lying between two of them,
// so that a skeleton stays one chain of bone objects.
void findBoneNodes(Conversion& c) {
    const size_t nodeCount = c.model.nodes.size();
    c.boneNode.assign(nodeCount, false);
    for (size_t m = 0; m < c.model.meshes.size(); ++m) {
        if (!c.usableMesh[m]) continue;
        for (const ModelBone& bone : c.model.meshes[m].bones) {
            const int node = boneNodeOf(c, bone);
            if (node < 0)
                c.skinNote("mesh " + quoted(c.model.meshes[m].name) + ": bone " + quoted(bone.name) +
                       " has no node of that name; its weights are left out");
            else
                c.boneNode[node] = true;
        }
    }
    for (size_t n = 0; n < nodeCount; ++n) {
        if (!c.boneNode[n]) continue;
        std::vector<int> between;
        int up = c.model.nodes[n].parent;
        for (; up >= 0 && !c.boneNode[up]; up = c.model.nodes[up].parent) between.push_back(up);
        if (up >= 0)
            for (int node : between) c.boneNode[node] = true;
    }
}

int addItem(Conversion& c, PlanItem item) {
    const int index = static_cast<int>(c.plan.size());
    if (item.parent >= 0) c.plan[item.parent].children.push_back(index);
    c.plan.push_back(std::move(item));
    return index;
}

// Adds the object of `node` (and the polygon objects of its meshes) under `parent`;
// returns the node's item.
int planNode(Conversion& c, int node, int parent) {
    const ModelNode& source = c.model.nodes[node];
    std::vector<int> meshes;
    for (int m : source.meshes)
        if (c.usableMesh[m]) meshes.push_back(m);

    PlanItem item;
    item.node = node;
    item.name = source.name;
    item.parent = parent;
    if (c.boneNode[node]) {
        item.type = ObjectType::Bone;
    } else if (meshes.size() == 1) {
        item.type = ObjectType::Polygon;
        item.mesh = meshes[0];
    }
    const int index = addItem(c, item);
    if (item.type == ObjectType::Bone) c.itemOfBoneNode[node] = index;

    // A mesh carries one material, so a node with several meshes (or a bone with a
    // mesh) gets one polygon object per mesh as its first children.
    if (item.type != ObjectType::Polygon) {
        for (size_t k = 0; k < meshes.size(); ++k) {
            PlanItem meshItem;
            meshItem.node = node;
            meshItem.mesh = meshes[k];
            meshItem.type = ObjectType::Polygon;
            const std::string& meshName = c.model.meshes[meshes[k]].name;
            meshItem.name = meshName.empty() ? source.name + "_" + std::to_string(k) : meshName;
            meshItem.parent = index;
            addItem(c, meshItem);
        }
    }
    return index;
}

// Plans `nodes` and their descendants under `parent`, depth first in the model's order.
// Walked with a stack of its own: a model may nest its nodes many thousands deep.
void planTrees(Conversion& c, const std::vector<int>& nodes, int parent) {
    std::vector<std::pair<int, int>> pending;  // node, parent item
    for (size_t k = nodes.size(); k-- > 0;) pending.emplace_back(nodes[k], parent);
    while (!pending.empty()) {
        const auto [node, parentItem] = pending.back();
        pending.pop_back();
        const int index = planNode(c, node, parentItem);
        const std::vector<int>& children = c.model.nodes[node].children;
        for (size_t k = children.size(); k-- > 0;) pending.emplace_back(children[k], index);
    }
}

bool isIdentity(const Affine& a) { return maxDifference(a, Affine{}) < 1e-12; }

void buildPlan(Conversion& c) {
    c.itemOfBoneNode.assign(c.model.nodes.size(), -1);
    c.plan.push_back(PlanItem{});  // the world
    const ModelNode& root = c.model.nodes[0];
    const bool rootHasMeshes = std::any_of(root.meshes.begin(), root.meshes.end(),
                                           [&](int m) { return c.usableMesh[m]; });
    // A root that neither places nor holds anything is the reader's container, not an
    // object of the model.
    if (!rootHasMeshes && !c.boneNode[0] && isIdentity(root.transform)) {
        planTrees(c, root.children, 0);
    } else {
        planTrees(c, {0}, 0);
    }
}

// The scene loader refuses objects nested deeper than kMaxObjectDepth, and the host and
// the module would run out of stack on them: such a model is refused with its message.
bool withinDepthLimit(const Conversion& c, std::string& error) {
    std::vector<int> depth(c.plan.size(), -1);  // the top objects have depth 0
    for (size_t item = 1; item < c.plan.size(); ++item) {
        depth[item] = depth[c.plan[item].parent] + 1;  // planned parents before children
        if (depth[item] >= kMaxObjectDepth) {
            error = "node " + quoted(c.plan[item].name) + ": objects are nested deeper than " +
                    std::to_string(kMaxObjectDepth) + " levels";
            return false;
        }
    }
    return true;
}

int positionInParent(const Conversion& c, int item) {
    const std::vector<int>& siblings = c.plan[c.plan[item].parent].children;
    return static_cast<int>(std::find(siblings.begin(), siblings.end(), item) - siblings.begin());
}

// The exporter searches a mesh's bones in the mesh object, its later siblings and all
// their descendants.
bool exporterFinds(const Conversion& c, int meshItem, int boneItem) {
    const int meshParent = c.plan[meshItem].parent;
    const int meshPosition = positionInParent(c, meshItem);
    for (int x = boneItem; x > 0; x = c.plan[x].parent) {
        if (x == meshItem) return true;
        if (c.plan[x].parent == meshParent && positionInParent(c, x) > meshPosition) return true;
    }
    return false;
}

std::vector<int> pathFromWorld(const Conversion& c, int item) {
    std::vector<int> path;
    for (int x = item; x >= 0; x = c.plan[x].parent) path.push_back(x);
    std::reverse(path.begin(), path.end());
    return path;
}

std::vector<int> boneItemsOfMesh(const Conversion& c, const ModelMesh& mesh) {
    std::vector<int> items;
    for (const ModelBone& bone : mesh.bones) {
        const int node = boneNodeOf(c, bone);
        if (node >= 0 && c.itemOfBoneNode[node] >= 0) items.push_back(c.itemOfBoneNode[node]);
    }
    return items;
}

// Moves a skinned mesh whose bones the exporter would not find to just before its
// skeleton (or to the front of the object that holds all its bones). The object keeps
// its place in the world: placements are derived from the model's node transforms.
void placeSkinnedMeshes(Conversion& c) {
    for (int item = 1; item < static_cast<int>(c.plan.size()); ++item) {
        if (c.plan[item].type != ObjectType::Polygon) continue;
        const std::vector<int> bones = boneItemsOfMesh(c, c.model.meshes[c.plan[item].mesh]);
        if (std::all_of(bones.begin(), bones.end(), [&](int b) { return exporterFinds(c, item, b); }))
            continue;
        std::vector<int> common = pathFromWorld(c, bones[0]);
        for (int bone : bones) {
            const std::vector<int> path = pathFromWorld(c, bone);
            size_t shared = 0;
            while (shared < common.size() && shared < path.size() && common[shared] == path[shared]) ++shared;
            common.resize(shared);
        }
        const int ancestor = common.back();
        std::vector<int>& oldSiblings = c.plan[c.plan[item].parent].children;
        oldSiblings.erase(std::find(oldSiblings.begin(), oldSiblings.end(), item));
        int newParent = ancestor;
        int position = 0;
        if (c.plan[ancestor].type == ObjectType::Bone) {
            newParent = c.plan[ancestor].parent;
            position = positionInParent(c, ancestor);
        }
        std::vector<int>& newSiblings = c.plan[newParent].children;
        newSiblings.insert(newSiblings.begin() + position, item);
        c.plan[item].parent = newParent;
    }
}

const Affine& globalOf(const std::vector<Affine>& globals, int node) {
    static const Affine world;
    return node < 0 ? world : globals[node];
}

// An item's placement relative to its object's parent, at `ticks` of `animation` when
// `globals` are taken there.
Affine localOf(const Conversion& c, const std::vector<Affine>& globals, int item,
               const ModelAnimation* animation = nullptr, double ticks = 0) {
    const int node = c.plan[item].node;
    const int parentNode = c.plan[c.plan[item].parent].node;
    const Affine local = multiply(inverse(globalOf(globals, parentNode)), globalOf(globals, node));
    if (finite(local)) return local;
    // Below a placement of scale 0 the world placements no longer tell the local one;
    // the model's own transform still does where the object keeps the node's parent.
    if (node == parentNode) return Affine{};
    if (c.model.nodes[node].parent == parentNode) return nodeLocal(c.model, animation, node, ticks);
    return local;
}

// The host's placement for `local`. One that is not finite (a skinned mesh moved out
// from below a placement of scale 0) becomes no placement at all. Where the placement
// cannot hold `local` (shear, a scale along turned axes), what it leaves over goes to
// `remainder` when given, and the note is left to the caller.
Placement hostPlacement(Conversion& c, int item, const Affine& local, const char* what, Affine* remainder = nullptr) {
    if (!finite(local)) {
        if (!c.oddPlacementNoted[item])
            c.note("node " + quoted(c.plan[item].name) + ": " + what +
                   " cannot be derived below a placement of scale 0; the object is given none (identity)");
        c.oddPlacementNoted[item] = true;
        return Placement{};
    }
    bool shear = false;
    const Placement placement = decomposePlacement(mirrorZ(local), shear);
    if (shear && remainder) {
        *remainder = multiply(inverse(mirrorZ(composePlacement(placement))), local);
        return placement;
    }
    if (shear && !c.oddPlacementNoted[item]) {
        c.oddPlacementNoted[item] = true;
        c.note("node " + quoted(c.plan[item].name) + ": " + what +
               " has shear or a scale along turned axes, which the host's placement cannot hold; the nearest "
               "placement is used");
    }
    return placement;
}

// ---- materials ----

// Names handed out, and for each wanted name the next number to try: a name is never
// given back, so every number below it is taken, and N items of one name cost N tries.
struct UsedNames {
    std::unordered_set<std::string> names;
    std::unordered_map<std::string, int> nextNumber;
};

// `wanted`, or the first "wanted#N" (N from 2) not yet used.
std::string uniqueName(const std::string& wanted, UsedNames& used) {
    if (used.names.insert(wanted).second) return wanted;
    int& n = used.nextNumber.emplace(wanted, 2).first->second;
    std::string name = wanted + "#" + std::to_string(n);
    while (!used.names.insert(name).second) name = wanted + "#" + std::to_string(++n);
    ++n;
    return name;
}

const ModelTexture* colorTexture(const ModelMaterial& material) {
    for (const char* kind : {"Diffuse", "BaseColor"})
        for (const ModelTexture& texture : material.textures)
            if (texture.kind == kind) return &texture;
    return nullptr;
}

bool isBlack(const Vec3& v) { return v[0] <= 0 && v[1] <= 0 && v[2] <= 0; }

Material convertMaterial(const ModelMaterial& source, const std::string& name) {
    Material m;
    m.name = name;
    m.color.on = true;
    m.color.value = source.diffuse.value_or(Vec3{1, 1, 1});
    if (const ModelTexture* texture = colorTexture(source)) m.color.texture = texture->path;
    if (source.emissive && !isBlack(*source.emissive)) {
        m.luminance.on = true;
        m.luminance.value = *source.emissive;
    }
    // The exporter writes the mean of the transparency value as the alpha.
    if (source.opacity && *source.opacity < 1) {
        m.transparency.on = true;
        m.transparency.value = {*source.opacity, *source.opacity, *source.opacity};
    }
    if (source.specular && !isBlack(*source.specular)) {
        m.specular.on = true;
        m.specular.value = *source.specular;
    }
    return m;
}

// ---- meshes ----

struct BoneShare {
    uint32_t bone = 0;  // index among the mesh's bones
    double weight = 0;
};

// The weights of every vertex as runs of one array: vertex v's are shares[first[v]] up to
// shares[first[v + 1]], in the order of the mesh's bones. Both empty for a mesh without
// weights.
struct VertexShares {
    std::vector<uint32_t> first;
    std::vector<BoneShare> shares;

    const BoneShare* begin(size_t v) const { return first.empty() ? nullptr : shares.data() + first[v]; }
    const BoneShare* end(size_t v) const { return first.empty() ? nullptr : shares.data() + first[v + 1]; }
};

// The weights of the bones that became bone objects (boneItem[b] >= 0), counted first so
// that each vertex's run is placed once.
VertexShares vertexShares(const ModelMesh& mesh, const std::vector<int>& boneItem) {
    VertexShares out;
    const size_t vertexCount = mesh.vertices().count;
    size_t total = 0;
    for (size_t b = 0; b < mesh.bones.size(); ++b)
        if (boneItem[b] >= 0) total += mesh.bones[b].weights.size();
    if (total == 0) return out;
    out.first.assign(vertexCount + 1, 0);
    for (size_t b = 0; b < mesh.bones.size(); ++b)
        if (boneItem[b] >= 0)
            for (const VertexWeight& w : mesh.bones[b].weights)
                if (w.vertex < vertexCount) ++out.first[w.vertex + 1];
    for (size_t v = 0; v < vertexCount; ++v) out.first[v + 1] += out.first[v];
    out.shares.resize(out.first[vertexCount]);
    std::vector<uint32_t> next(out.first.begin(), out.first.end() - 1);
    for (size_t b = 0; b < mesh.bones.size(); ++b)
        if (boneItem[b] >= 0)
            for (const VertexWeight& w : mesh.bones[b].weights)
                if (w.vertex < vertexCount) out.shares[next[w.vertex]++] = {static_cast<uint32_t>(b), w.weight};
    return out;
}

uint64_t mixed(uint64_t h, uint64_t value) {
    h ^= value + 0x9e3779b97f4a7c15ull + (h << 6) + (h >> 2);
    return h;
}

// Vertices that share position and weights bit for bit become one point, numbered in the
// order of their first vertex: the point of every vertex, and the first vertex of every
// point. `positions` are the reader's floats, or the doubles they were moved to (the same
// floats are the same doubles, and the reverse). One open-addressed table, sized for the
// points expected (nothing is allocated per vertex), whose entries keep part of their
// hash beside the point, so that a vertex is compared only with points of that part; the
// slots of the vertices a few places ahead are fetched while the current one is placed.
template <typename Position>
void matchPoints(const Position* positions, size_t vertexCount, size_t expectedPoints, const VertexShares& weights,
                 std::vector<int32_t>& pointOfVertex, std::vector<uint32_t>& vertexOfPoint) {
    // Sized for `expectedPoints`, at most half full, and doubled when half full: the
    // smaller the table, the more of it is found in the caches. Zero is an empty slot.
    // The zeros are written, not taken from the system as calloc's untouched pages: a
    // probe reads a slot before it writes it, and a page first read is mapped to the
    // system's shared zero page, so its first write faults a second time and flushes
    // the other threads' address caches (the reader's scene is freed on one meanwhile):
    // at 10M triangles the matching took 0.55 s that way, 0.13 to 0.20 s written.
    size_t slotCount = 16;
    while (slotCount < 2 * std::min(expectedPoints, vertexCount)) slotCount *= 2;
    std::vector<uint64_t> slots(slotCount);  // hash part << 32 | point + 1
    const auto same = [&](size_t a, size_t b) {
        if (std::memcmp(positions[a].data(), positions[b].data(), sizeof(Position)) != 0) return false;
        if (weights.first.empty()) return true;
        const BoneShare *wa = weights.begin(a), *wb = weights.begin(b);
        if (weights.end(a) - wa != weights.end(b) - wb) return false;
        for (; wa != weights.end(a); ++wa, ++wb)
            if (wa->bone != wb->bone || std::memcmp(&wa->weight, &wb->weight, sizeof(double)) != 0) return false;
        return true;
    };
    const auto hashOf = [&](size_t v) {
        uint64_t h = 0;
        for (auto x : positions[v]) {
            uint64_t bits = 0;
            std::memcpy(&bits, &x, sizeof x);
            h = mixed(h, bits);
        }
        for (const BoneShare* w = weights.begin(v); w != weights.end(v); ++w) {
            uint64_t bits = 0;
            std::memcpy(&bits, &w->weight, sizeof bits);
            h = mixed(mixed(h, w->bone), bits);
        }
        h ^= h >> 29;
        h *= 0xbf58476d1ce4e5b9ull;
        return h ^ (h >> 32);
    };
    constexpr size_t kAhead = 16;
    uint64_t ahead[kAhead];
    for (size_t v = 0; v < kAhead && v < vertexCount; ++v) ahead[v] = hashOf(v);
    pointOfVertex.resize(vertexCount);
    vertexOfPoint.clear();
    vertexOfPoint.reserve(vertexCount);
    for (size_t v = 0; v < vertexCount; ++v) {
        const uint64_t h = ahead[v % kAhead];
        if (v + kAhead < vertexCount) {
            const uint64_t later = hashOf(v + kAhead);
            ahead[v % kAhead] = later;
            __builtin_prefetch(&slots[later & (slotCount - 1)]);
        }
        if (2 * (vertexOfPoint.size() + 1) > slotCount) {
            // Every point placed again: they are distinct, each takes the first empty slot.
            slotCount *= 2;
            slots.assign(slotCount, 0);
            for (size_t point = 0; point < vertexOfPoint.size(); ++point) {
                const uint64_t held = hashOf(vertexOfPoint[point]);
                size_t slot = held & (slotCount - 1);
                while (slots[slot] != 0) slot = (slot + 1) & (slotCount - 1);
                slots[slot] = held >> 32 << 32 | (point + 1);
            }
        }
        const uint64_t part = h >> 32 << 32;
        size_t slot = h & (slotCount - 1);
        for (;; slot = (slot + 1) & (slotCount - 1)) {
            const uint64_t entry = slots[slot];
            if (entry == 0) {
                slots[slot] = part | (vertexOfPoint.size() + 1);
                pointOfVertex[v] = static_cast<int32_t>(vertexOfPoint.size());
                vertexOfPoint.push_back(static_cast<uint32_t>(v));
                break;
            }
            const auto point = static_cast<uint32_t>(entry) - 1;
            if ((entry >> 32 << 32) == part && same(vertexOfPoint[point], v)) {
                pointOfVertex[v] = static_cast<int32_t>(point);
                break;
            }
        }
    }
}

// A vertex's position re-bound to the bind poses the host keeps (Conversion::rebind).
Vec3 reboundPoint(const std::vector<Affine>& rebind, const Vec3& p, const BoneShare* first, const BoneShare* end) {
    if (rebind.empty()) return p;
    if (rebind.size() == 1) return transformPoint(rebind[0], p);
    Vec3 sum{0, 0, 0};
    double total = 0;
    for (const BoneShare* w = first; w != end; ++w) {
        const Vec3 moved = transformPoint(rebind[w->bone], p);
        for (int i = 0; i < 3; ++i) sum[i] += w->weight * moved[i];
        total += w->weight;
    }
    if (!(total > 0)) return p;
    for (double& x : sum) x /= total;
    return sum;
}

// A normal moved by `fold` (the inverse transpose of the placement folded into the
// points), made unit length again.
Vec3 foldedNormal(const Affine& normalMap, const Float3& n) {
    Vec3 turned{0, 0, 0};
    for (int r = 0; r < 3; ++r)
        for (int k = 0; k < 3; ++k) turned[r] += normalMap.linear[k][r] * double(n[k]);
    const double length = std::sqrt(turned[0] * turned[0] + turned[1] * turned[1] + turned[2] * turned[2]);
    return length > 0 ? Vec3{turned[0] / length, turned[1] / length, turned[2] / length} : turned;
}

// What a mesh's conversion needs besides the model: the bind poses of its points
// (Conversion::rebind) and the placement folded into its points, if any.
struct MeshPlacing {
    const std::vector<Affine>* rebind = nullptr;
    const Affine* fold = nullptr;
};

// Vertices that share position and weights become one point, so that the host sees one
// connected surface; texture coordinates and normals live on the polygon corners.
// Mirroring Z turns the winding, so corners b and c trade places to keep the front.
// With `arrays` the geometry is written in the document's layout (MeshArrays), from the
// reader's floats where they are the values (no placement to apply), else the scene
// file's records; both hold the same numbers.
void convertMesh(const Conversion& c, const ModelMesh& mesh, const MeshPlacing& placing, bool arrays,
                 SceneObject& out) {
    const VertexValues vertices = mesh.vertices();
    const size_t vertexCount = vertices.count;
    std::vector<int> boneItem(mesh.bones.size(), -1);
    for (size_t b = 0; b < mesh.bones.size(); ++b) {
        const int node = boneNodeOf(c, mesh.bones[b]);
        if (node >= 0 && c.itemOfBoneNode[node] >= 0) boneItem[b] = c.itemOfBoneNode[node];
    }
    const VertexShares weights = vertexShares(mesh, boneItem);
    const std::vector<Affine>& rebind = *placing.rebind;

    // Folded positions are matched as they land: two may meet there.
    std::vector<Vec3> folded;
    if (placing.fold) {
        folded.reserve(vertexCount);
        for (size_t v = 0; v < vertexCount; ++v)
            folded.push_back(transformPoint(*placing.fold, shortestDouble(vertices.positions[v])));
    }
    // A closed surface of triangles has about half as many points as triangles, however
    // many vertices its corners split into (a flat-shaded one has three per triangle);
    // more points grow the table.
    const size_t triangles = static_cast<size_t>(triangleCount(mesh));
    const size_t expectedPoints = triangles / 2 + 1;
    std::vector<int32_t> pointOfVertex;
    std::vector<uint32_t> vertexOfPoint;
    if (placing.fold)
        matchPoints(folded.data(), vertexCount, expectedPoints, weights, pointOfVertex, vertexOfPoint);
    else
        matchPoints(vertices.positions, vertexCount, expectedPoints, weights, pointOfVertex, vertexOfPoint);
    const size_t pointCount = vertexOfPoint.size();

    const auto pointAt = [&](uint32_t v) {
        const Vec3 p = placing.fold ? folded[v] : shortestDouble(vertices.positions[v]);
        return reboundPoint(rebind, p, weights.begin(v), weights.end(v));
    };
    const bool hasUv = vertices.uv != nullptr;
    const bool hasNormals = vertices.normals != nullptr;
    Affine normalMap;
    if (placing.fold) {
        normalMap = inverse(*placing.fold);
        normalMap.offset = {0, 0, 0};
    }
    // A normal that is not finite is left zero: the export takes the face's there.
    const auto normalAt = [&](uint32_t v) {
        const Float3& n = vertices.normals[v];
        const Vec3 turned = placing.fold ? foldedNormal(normalMap, n) : Vec3{n[0], n[1], n[2]};
        return finite(turned) ? Vec3{turned[0], turned[1], -turned[2]} : Vec3{0, 0, 0};
    };
    // The texture origin moves to the top-left: v becomes 1 - v, of the shortest decimal
    // form as a scene file holds it. Once per vertex, not per corner.
    const auto uvAt = [&](uint32_t v) {
        const Float2 t = vertices.uvOf(v);
        return Vec2{shortestDouble(t[0]), 1 - shortestDouble(t[1])};
    };
    const auto eachTriangle = [&](auto&& take) {
        size_t first = 0;
        for (uint32_t size : mesh.faceSizes) {
            if (size == 3) take(mesh.corners[first], mesh.corners[first + 2], mesh.corners[first + 1]);
            first += size;
        }
    };

    if (arrays) {
        MeshArrays& a = out.arrays.emplace();
        a.points.reserve(pointCount);
        const bool asRead = !placing.fold && rebind.empty();
        for (uint32_t v : vertexOfPoint) {
            if (asRead) {
                const Float3& p = vertices.positions[v];
                a.points.push_back({shortestFloat(p[0]), shortestFloat(p[1]), -shortestFloat(p[2])});
            } else {
                const Vec3 p = pointAt(v);
                a.points.push_back({static_cast<float>(p[0]), static_cast<float>(p[1]), static_cast<float>(-p[2])});
            }
        }
        a.polygons.reserve(triangles);
        a.cornerVertex.reserve(triangles);
        eachTriangle([&](uint32_t p, uint32_t q, uint32_t r) {
            a.polygons.push_back({pointOfVertex[p], pointOfVertex[q], pointOfVertex[r], pointOfVertex[r]});
            a.cornerVertex.push_back({static_cast<int32_t>(p), static_cast<int32_t>(q), static_cast<int32_t>(r),
                                      static_cast<int32_t>(r)});
        });
        if (hasUv) {
            // v is flipped in the double a scene file holds: its decimal text is made once
            // per value among the last ones seen (rows of vertices share their v).
            std::vector<CornerUV>& uv = a.uvOfVertex.emplace();
            uv.reserve(vertexCount);
            struct Flipped {
                uint32_t bits = ~0u;  // a NaN: no texture coordinate of an imported mesh
                float v = 0;
            };
            std::array<Flipped, 1024> recent;
            for (size_t v = 0; v < vertexCount; ++v) {
                const Float2 t = vertices.uvOf(v);
                uint32_t bits = 0;
                std::memcpy(&bits, &t[1], sizeof bits);
                Flipped& known = recent[(bits ^ (bits >> 10) ^ (bits >> 20)) & (recent.size() - 1)];
                if (known.bits != bits) known = {bits, static_cast<float>(1 - shortestDouble(t[1]))};
                uv.push_back({shortestFloat(t[0]), known.v});
            }
        }
        if (hasNormals) {
            std::vector<KrvVector>& normals = a.normalOfVertex.emplace();
            normals.reserve(vertexCount);
            for (uint32_t v = 0; v < vertexCount; ++v) {
                const Float3& n = vertices.normals[v];
                if (!placing.fold) {
                    normals.push_back(finite(n) ? KrvVector{n[0], n[1], -n[2]} : KrvVector{0, 0, 0});
                } else {
                    const Vec3 turned = normalAt(v);
                    normals.push_back({static_cast<float>(turned[0]), static_cast<float>(turned[1]),
                                       static_cast<float>(turned[2])});
                }
            }
        }
    } else {
        out.points.reserve(pointCount);
        for (uint32_t v : vertexOfPoint) {
            const Vec3 p = pointAt(v);
            out.points.push_back({p[0], p[1], -p[2]});
        }
        out.polygons.reserve(triangles);
        eachTriangle([&](uint32_t p, uint32_t q, uint32_t r) {
            out.polygons.push_back({pointOfVertex[p], pointOfVertex[q], pointOfVertex[r], pointOfVertex[r]});
        });
        if (hasUv) {
            std::vector<Vec2> uvOfVertex(vertexCount);
            for (size_t v = 0; v < vertexCount; ++v) uvOfVertex[v] = uvAt(static_cast<uint32_t>(v));
            std::vector<PolygonUV>& uvw = out.uvw.emplace();
            uvw.reserve(triangles);
            eachTriangle([&](uint32_t p, uint32_t q, uint32_t r) {
                uvw.push_back({{uvOfVertex[p], uvOfVertex[q], uvOfVertex[r], uvOfVertex[r]}});
            });
        }
        if (hasNormals) {
            std::vector<PolygonNormals>& normals = out.normals.emplace();
            normals.reserve(triangles);
            eachTriangle([&](uint32_t p, uint32_t q, uint32_t r) {
                const Vec3 nr = normalAt(r);
                normals.push_back({{normalAt(p), normalAt(q), nr, nr}});
            });
        }
    }

    // One weight entry per bone object, in the order of the mesh's bones; a point takes
    // the shares of its first vertex, in their order.
    std::unordered_map<int, size_t> entryOfItem;
    std::vector<size_t> entryOfBone(mesh.bones.size());
    for (size_t b = 0; b < mesh.bones.size(); ++b) {
        if (boneItem[b] < 0) continue;
        auto entry = entryOfItem.find(boneItem[b]);
        if (entry == entryOfItem.end()) {
            entry = entryOfItem.emplace(boneItem[b], out.weights.size()).first;
            out.weights.push_back({c.ids[boneItem[b]], std::vector<double>(pointCount, 0.0)});
        }
        entryOfBone[b] = entry->second;
    }
    for (size_t point = 0; point < pointCount; ++point)
        for (const BoneShare* w = weights.begin(vertexOfPoint[point]); w != weights.end(vertexOfPoint[point]); ++w)
            out.weights[entryOfBone[w->bone]].perPoint[point] += w->weight;
}

// ---- bones ----

// The bind pose of every bone in world space: from the first mesh it deforms (the
// inverse of its offset matrix, placed by the mesh's node), or for a bone that deforms
// nothing, carried over from its nearest bone ancestor by the node transforms.
std::vector<std::optional<Affine>> worldBindPoses(const Conversion& c) {
    std::vector<std::optional<Affine>> bind(c.model.nodes.size());
    for (int item = 1; item < static_cast<int>(c.plan.size()); ++item) {
        if (c.plan[item].type != ObjectType::Polygon) continue;
        const Affine& meshGlobal = c.restGlobal[c.plan[item].node];
        for (const ModelBone& bone : c.model.meshes[c.plan[item].mesh].bones) {
            const int node = boneNodeOf(c, bone);
            if (node >= 0 && c.boneNode[node] && !bind[node])
                bind[node] = multiply(meshGlobal, inverse(bone.offset));
        }
    }
    for (size_t n = 0; n < c.model.nodes.size(); ++n) {
        if (!c.boneNode[n] || bind[n]) continue;
        int up = c.model.nodes[n].parent;
        while (up >= 0 && !c.boneNode[up]) up = c.model.nodes[up].parent;
        bind[n] = up >= 0 ? multiply(*bind[up], multiply(inverse(c.restGlobal[up]), c.restGlobal[n]))
                          : c.restGlobal[n];
    }
    return bind;
}

int parentBoneItem(const Conversion& c, int item) {
    int up = c.plan[item].parent;
    while (up > 0 && c.plan[up].type != ObjectType::Bone) up = c.plan[up].parent;
    return up > 0 ? up : -1;
}

int topBoneItem(const Conversion& c, int item) {
    for (int up = parentBoneItem(c, item); up >= 0; up = parentBoneItem(c, item)) item = up;
    return item;
}

double scaleOf(const Affine& a) {
    double s = 1;
    for (int r = 0; r < 3; ++r) s = std::max(s, std::fabs(a.offset[r]));
    return s;
}

// Rest entries: each bone's bind pose relative to its parent bone; a topmost bone's
// relative to the space of the first mesh it deforms. The exporter chains them into
// the rest matrix whose inverse it writes, which is then the mesh's inverse bind matrix.
void setRestPoses(Conversion& c, std::vector<SceneObject*>& objectOfItem) {
    const std::vector<std::optional<Affine>> bind = worldBindPoses(c);
    std::unordered_map<int, Affine> spaceOfTop;  // topmost bone item -> mesh space
    for (int item = 1; item < static_cast<int>(c.plan.size()); ++item) {
        if (c.plan[item].type != ObjectType::Polygon) continue;
        const ModelMesh& mesh = c.model.meshes[c.plan[item].mesh];
        const Affine& meshGlobal = c.restGlobal[c.plan[item].node];
        for (const ModelBone& bone : mesh.bones) {
            const int node = boneNodeOf(c, bone);
            if (node < 0 || !c.boneNode[node]) continue;
            const int top = topBoneItem(c, c.itemOfBoneNode[node]);
            spaceOfTop.emplace(top, meshGlobal);
        }
    }
    for (int item = 1; item < static_cast<int>(c.plan.size()); ++item) {
        if (c.plan[item].type != ObjectType::Bone) continue;
        const int parentBone = parentBoneItem(c, item);
        Affine above;
        if (parentBone >= 0) {
            above = *bind[c.plan[parentBone].node];
        } else {
            const auto space = spaceOfTop.find(item);
            above = space != spaceOfTop.end() ? space->second
                                              : globalOf(c.restGlobal, c.plan[c.plan[item].parent].node);
        }
        const Placement rest =
            hostPlacement(c, item, multiply(inverse(above), *bind[c.plan[item].node]), "the bind pose");
        objectOfItem[item]->rest = RestPose{rest.position, rest.rotation, rest.scale};
    }
}

// Where a bone's bind pose in a mesh differs from the one the host keeps (that of the
// first mesh the skeleton deforms, in that mesh's space, which the exporter's offset
// matrices follow), the mesh's points move so that each bone weights them as in the
// model: by D = kept · model⁻¹ of each bone. Exact when every bone of the mesh asks the
// same D (the mesh was bound in another space), and for points of one bone; otherwise
// the points are moved by their weights' blend of the bones' D, with one note.
void planRebinds(Conversion& c) {
    c.rebind.assign(c.plan.size(), {});
    const std::vector<std::optional<Affine>> bind = worldBindPoses(c);
    std::unordered_map<int, Affine> spaceOfTop;  // topmost bone item -> mesh space
    std::unordered_map<int, std::string> meshOfTop;
    for (int item = 1; item < static_cast<int>(c.plan.size()); ++item) {
        if (c.plan[item].type != ObjectType::Polygon) continue;
        const ModelMesh& mesh = c.model.meshes[c.plan[item].mesh];
        const Affine& meshGlobal = c.restGlobal[c.plan[item].node];
        std::vector<Affine> perBone(mesh.bones.size());
        bool differs = false, same = true;
        int reference = -1;  // the first bone of a node
        std::string firstDiffering;
        for (size_t b = 0; b < mesh.bones.size(); ++b) {
            const int node = boneNodeOf(c, mesh.bones[b]);
            if (node < 0 || !c.boneNode[node]) continue;
            const int top = topBoneItem(c, c.itemOfBoneNode[node]);
            const Affine& space = spaceOfTop.emplace(top, meshGlobal).first->second;
            const std::string& first = meshOfTop.emplace(top, c.plan[item].name).first->second;
            const Affine wanted = inverse(mesh.bones[b].offset);  // in this mesh's space
            const Affine kept = multiply(inverse(space), *bind[node]);
            perBone[b] = multiply(kept, inverse(wanted));
            if (maxDifference(wanted, kept) > 1e-5 * scaleOf(wanted) && !differs) {
                differs = true;
                firstDiffering =
                    "bone " + quoted(mesh.bones[b].name) + " has another bind pose in mesh " + quoted(first);
            }
            if (reference < 0) reference = static_cast<int>(b);
            if (maxDifference(perBone[b], perBone[reference]) > 1e-5 * scaleOf(perBone[reference])) same = false;
        }
        if (!differs) continue;
        if (same) {
            c.rebind[item] = {perBone[reference]};
        } else {
            c.rebind[item] = std::move(perBone);
            c.skinNote("mesh " + quoted(c.plan[item].name) + ": " + firstDiffering +
                   ", and its bones differ by different transforms; its points are re-bound by the blend of their "
                   "weights, which is exact only for points of one bone");
        }
    }
}

// ---- animation ----

int32_t roundedRate(double rate) { return static_cast<int32_t>(std::lround(rate)); }

// Whether the node has a channel in any of the model's animations (one pass over the
// channels, on the first question).
bool animatedNode(Conversion& c, int node) {
    if (c.animatedNodes.empty()) {
        c.animatedNodes.assign(c.model.nodes.size() + 1, false);
        for (const ModelAnimation& animation : c.model.animations)
            for (const ModelChannel& channel : animation.channels)
                if (channel.node >= 0 && static_cast<size_t>(channel.node) < c.model.nodes.size())
                    c.animatedNodes[static_cast<size_t>(channel.node)] = true;
    }
    return node >= 0 && c.animatedNodes[static_cast<size_t>(node)];
}

// The longest animation an import samples, in frames of the scene (over 9 hours at 30
// frames per second); a longer one is refused rather than filling memory.
constexpr double kMostAnimationFrames = 1e6;
// Keys per channel sampled whatever the model holds, and per key the model stores in its
// busiest channel: a few stored keys spread over a long time are not sampled at every
// frame, which would cost memory the file's size does not justify.
constexpr int64_t kFreeKeysPerChannel = 10000;
constexpr int64_t kKeysPerStoredKey = 64;

double animationSeconds(const ModelAnimation& animation) {
    const double ticksPerSecond = animation.ticksPerSecond > 0 ? animation.ticksPerSecond : 25;
    return animation.duration / ticksPerSecond;
}

// The frames sampled: 0 to `lastFrame` every `step` frames, and the last one.
std::vector<int32_t> sampledFrames(int32_t lastFrame, int32_t step) {
    std::vector<int32_t> frames;
    for (int32_t f = 0; f < lastFrame; f += step) frames.push_back(f);
    if (lastFrame >= 0) frames.push_back(lastFrame);
    return frames;
}

// The step between sampled frames: 1, or more (with a note) when every frame would give
// a channel far more keys than the model stores in any.
int32_t sampleStep(const ModelAnimation& animation, int32_t lastFrame, const NoteSink& note) {
    size_t stored = 1;
    for (const ModelChannel& channel : animation.channels)
        stored = std::max({stored, channel.position.size(), channel.rotation.size(), channel.scale.size()});
    const int64_t most = std::max<int64_t>(kFreeKeysPerChannel, kKeysPerStoredKey * static_cast<int64_t>(stored));
    if (int64_t{lastFrame} + 1 <= most) return 1;
    const auto step = static_cast<int32_t>((int64_t{lastFrame} + most - 2) / (most - 1));
    note("the animation runs " + std::to_string(lastFrame) + " frames from at most " + std::to_string(stored) +
         " stored keys per channel; it is sampled every " + std::to_string(step) + " frames");
    return step;
}

// One animation sampled at the scene's rate: the node placements of each frame sampled
// (every frame, or every N frames and the last where the model's own keys do not justify
// so many; see sampleStep).
struct ClipFrames {
    const ModelAnimation* animation = nullptr;
    double ticksPerSecond = 25;
    int32_t fps = 30;
    int32_t lastFrame = 0;                     // -1 for an animation that ends before it starts
    std::vector<int32_t> sampled;              // the frames sampled
    std::vector<std::vector<Affine>> globals;  // per frame sampled, per node

    double ticksOfFrame(int32_t f) const { return f * ticksPerSecond / fps; }
};

// The caller refused an animation of more than kMostAnimationFrames.
ClipFrames sampleClip(const Conversion& c, const ModelAnimation& animation, int32_t fps, const NoteSink& note) {
    ClipFrames clip;
    clip.animation = &animation;
    clip.ticksPerSecond = animation.ticksPerSecond > 0 ? animation.ticksPerSecond : 25;
    clip.fps = fps;
    clip.lastFrame = static_cast<int32_t>(std::lround(std::max(animationSeconds(animation) * fps, -1.0)));
    clip.sampled = sampledFrames(clip.lastFrame, sampleStep(animation, clip.lastFrame, note));
    for (int32_t f : clip.sampled) clip.globals.push_back(nodeGlobals(c.model, &animation, clip.ticksOfFrame(f)));
    return clip;
}

// The part of the parent's rest placement the host could not hold, which a child below a
// still parent takes on in its keys as in its rest placement; identity elsewhere.
Affine remainderAbove(Conversion& c, int item) {
    const int parent = c.plan[item].parent;
    const bool stillParent = parent == 0 || !animatedNode(c, c.plan[parent].node);
    return stillParent && c.plan[item].type != ObjectType::Bone ? c.remainder[parent] : Affine{};
}

// The item's local placement at the k-th frame sampled.
Affine localAt(Conversion& c, const ClipFrames& clip, int item, size_t k, const Affine& above) {
    const Affine local = localOf(c, clip.globals[k], item, clip.animation, clip.ticksOfFrame(clip.sampled[k]));
    return isIdentity(above) ? local : multiply(above, local);
}

bool movesIn(Conversion& c, const ClipFrames& clip, int item) {
    const Affine above = remainderAbove(c, item);
    const Affine local = localOf(c, c.restGlobal, item);
    const Affine rest = isIdentity(above) ? local : multiply(above, local);
    for (size_t k = 0; k < clip.sampled.size(); ++k)
        if (maxDifference(localAt(c, clip, item, k, above), rest) > 1e-6 * scaleOf(rest)) return true;
    return false;
}

// Keys of the clip's frames from `firstFrame` of the time line on; rotation angles are
// taken nearest to `previous`, the object's last key.
void addKeys(Conversion& c, const ClipFrames& clip, int32_t firstFrame, int item, SceneObject& object, Vec3& previous) {
    const Affine above = remainderAbove(c, item);
    for (size_t k = 0; k < clip.sampled.size(); ++k) {
        Placement p = hostPlacement(c, item, localAt(c, clip, item, k, above), "the animated placement");
        p.rotation = nearestEquivalentRotation(p.rotation, previous);
        previous = p.rotation;
        const double frame = firstFrame + clip.sampled[k];
        object.animation.position.push_back({frame, p.position});
        object.animation.rotation.push_back({frame, p.rotation});
        object.animation.scale.push_back({frame, p.scale});
    }
}

// Every animation becomes a take, a range of the time line: the current one from frame 0
// (so that the document's time range is its own), the others after it in the model's
// order. Each take ends one frame after its last key: the exporter samples from a take's
// start up to its end, never the end itself, so every key of the clip is written.
void sampleAnimations(Conversion& c, int current, Scene& scene, std::vector<SceneObject*>& objectOfItem) {
    std::vector<int> order = {current};
    for (int a = 0; a < static_cast<int>(c.model.animations.size()); ++a)
        if (a != current) order.push_back(a);

    // An object that moves in one take gets keys in all, so that each take shows it as
    // the model does.
    std::vector<bool> moving(c.plan.size(), false);
    for (int a : order) {
        const ClipFrames clip = sampleClip(c, c.model.animations[a], scene.fps, c.note);
        for (int item = 1; item < static_cast<int>(c.plan.size()); ++item)
            if (!moving[item]) moving[item] = movesIn(c, clip, item);
    }

    std::vector<Vec3> previous(c.plan.size());
    for (int item = 1; item < static_cast<int>(c.plan.size()); ++item) previous[item] = objectOfItem[item]->rotation;
    scene.takes.resize(order.size());
    int32_t firstFrame = 0;
    const NoteSink noted = [](const std::string&) {};  // the first pass gave the notes
    for (int a : order) {
        const ClipFrames clip = sampleClip(c, c.model.animations[a], scene.fps, noted);
        for (int item = 1; item < static_cast<int>(c.plan.size()); ++item)
            if (moving[item]) addKeys(c, clip, firstFrame, item, *objectOfItem[item], previous[item]);
        const int32_t endFrame = firstFrame + clip.lastFrame + 1;
        const std::string& name = c.model.animations[a].name;
        scene.takes[a] =
            Take{name.empty() ? "Animation" + std::to_string(a) : name, double(firstFrame), double(endFrame)};
        firstFrame = endFrame;
    }
    scene.currentTake = current;
    scene.end = Time{scene.takes[current].endFrame, static_cast<double>(scene.fps)};
}

// ---- validation ----

// A scene file holds finite numbers only; the reader passes infinities and NaNs through.
bool findNonFinite(const ModelData& model, std::string& error) {
    for (const ModelNode& node : model.nodes)
        if (!finite(node.transform)) {
            error = "node " + quoted(node.name) + " has a transform that is not finite";
            return true;
        }
    for (const ModelMesh& mesh : model.meshes) {
        const VertexValues vertices = mesh.vertices();
        for (size_t v = 0; v < vertices.count; ++v)
            if (!finite(vertices.positions[v]) ||
                (vertices.uv && !(std::isfinite(vertices.uvOf(v)[0]) && std::isfinite(vertices.uvOf(v)[1])))) {
                error = "mesh " + quoted(mesh.name) + ": vertex " + std::to_string(v) +
                        " has a coordinate that is not finite";
                return true;
            }
        for (const ModelBone& bone : mesh.bones)
            if (!finite(bone.offset)) {
                error = "mesh " + quoted(mesh.name) + ": bone " + quoted(bone.name) +
                        " has an offset matrix that is not finite";
                return true;
            }
    }
    return false;
}

// ---- records ----

void assignIds(Conversion& c) {
    std::unordered_map<std::string, int> count;
    for (size_t item = 1; item < c.plan.size(); ++item) ++count[c.plan[item].name];
    UsedNames used;
    for (size_t item = 1; item < c.plan.size(); ++item)
        if (count[c.plan[item].name] == 1) used.names.insert(c.plan[item].name);
    c.ids.assign(c.plan.size(), "");
    for (size_t item = 1; item < c.plan.size(); ++item) {
        const std::string& name = c.plan[item].name;
        c.ids[item] = count[name] == 1 ? name : uniqueName(name, used);
    }
}

// The rest placement of a null or polygon object whose host placement cannot hold its
// node's: the rest goes into the object's own points where it has points of its own
// (a polygon object that is neither skinned nor animated), and into each child's
// placement (c.remainder), so that every vertex lands where the model puts it. A null
// has no points to misplace; only a polygon object that cannot keep it is placed
// approximately, with the note.
Placement restPlacement(Conversion& c, int item, bool& foldIntoPoints) {
    const PlanItem& plan = c.plan[item];
    foldIntoPoints = false;
    Affine local = localOf(c, c.restGlobal, item);
    if (plan.type == ObjectType::Bone) return hostPlacement(c, item, local, "the placement");
    const Affine& above = c.remainder[plan.parent];
    if (!isIdentity(above)) local = multiply(above, local);
    Affine remainder;
    const Placement placement = hostPlacement(c, item, local, "the placement", &remainder);
    if (isIdentity(remainder)) return placement;
    c.remainder[item] = remainder;
    foldIntoPoints = plan.type == ObjectType::Polygon && c.model.meshes[plan.mesh].bones.empty() &&
                     !animatedNode(c, plan.node);
    if (plan.type == ObjectType::Polygon && !foldIntoPoints && !c.oddPlacementNoted[item]) {
        c.oddPlacementNoted[item] = true;
        c.note("node " + quoted(plan.name) +
               ": the placement has shear or a scale along turned axes, which the host's placement cannot hold; the "
               "nearest placement is used (the objects below it are placed exactly)");
    }
    return placement;
}

void buildObject(Conversion& c, int item, const std::vector<std::string>& materialNames, SceneObject& out,
                 std::vector<SceneObject*>& objectOfItem) {
    const PlanItem& plan = c.plan[item];
    objectOfItem[item] = &out;
    out.name = plan.name;
    out.id = c.ids[item];
    out.type = plan.type;
    bool foldIntoPoints = false;
    const Placement placement = restPlacement(c, item, foldIntoPoints);
    out.position = placement.position;
    out.rotation = placement.rotation;
    out.scale = placement.scale;
    if ((placement.scale[0] == 0 || placement.scale[1] == 0 || placement.scale[2] == 0) && !c.oddPlacementNoted[item])
        c.note("node " + quoted(plan.name) +
               ": the placement has a scale of 0, which flattens the object and everything below it; it is kept");
    if (plan.type == ObjectType::Polygon) {
        const ModelMesh& mesh = c.model.meshes[plan.mesh];
        convertMesh(c, mesh, {&c.rebind[item], foldIntoPoints ? &c.remainder[item] : nullptr}, c.documentArrays,
                    out);
        if (mesh.material >= 0 && mesh.material < static_cast<int>(materialNames.size()))
            out.texture = TextureTag{materialNames[mesh.material], {0, 0}, {1, 1}};
    }
    out.children.resize(plan.children.size());
    for (size_t k = 0; k < plan.children.size(); ++k)
        buildObject(c, plan.children[k], materialNames, out.children[k], objectOfItem);
}

}  // namespace

int32_t sceneFrameRate(const ModelData& model, int animation) {
    if (model.frameRate >= 1) return roundedRate(model.frameRate);
    if (animation >= 0 && animation < static_cast<int>(model.animations.size())) {
        // Formats that count time in frames give their frame rate as the tick rate.
        const double ticks = model.animations[animation].ticksPerSecond;
        if (ticks >= 12 && ticks <= 240 && ticks == std::floor(ticks)) return roundedRate(ticks);
    }
    return 30;
}

int chosenAnimation(const ModelData& model, const std::string& choice) {
    const int count = static_cast<int>(model.animations.size());
    if (choice.empty()) return count > 0 ? 0 : -1;
    for (int a = 0; a < count; ++a)
        if (model.animations[a].name == choice) return a;
    if (choice.find_first_not_of("0123456789") != std::string::npos || choice.size() > 9) return -1;
    const int index = std::stoi(choice);
    return index < count ? index : -1;
}

bool sceneFromModel(const ModelData& model, Scene& out, std::string& error, const NoteSink& note,
                    const ImportChoices& choices) {
    const NoteSink silent = [](const std::string&) {};
    Conversion c{model, note, choices.noteSkins ? note : silent, {}, {}, {}, {}, {}, {}, {}, {}, {}, {}, {},
                 choices.documentArrays};
    if (model.nodes.empty()) {
        error = "the model holds no nodes";
        return false;
    }
    for (int n = static_cast<int>(model.nodes.size()) - 1; n >= 0; --n) c.nodeByName[model.nodes[n].name] = n;
    c.usableMesh.resize(model.meshes.size());
    for (size_t m = 0; m < model.meshes.size(); ++m) {
        c.usableMesh[m] = triangleCount(model.meshes[m]) > 0;
        if (!c.usableMesh[m])
            note("mesh " + quoted(model.meshes[m].name) +
                 " holds only points or lines, which a polygon object cannot hold; it is left out");
    }
    const bool anyPolygonObject = std::any_of(model.nodes.begin(), model.nodes.end(), [&](const ModelNode& node) {
        return std::any_of(node.meshes.begin(), node.meshes.end(), [&](int m) { return c.usableMesh[m]; });
    });
    if (!anyPolygonObject) {
        error = "the model holds no polygon mesh (empty scene)";
        return false;
    }
    if (findNonFinite(model, error)) return false;
    const int animation = chosenAnimation(model, choices.animation);
    if (!choices.animation.empty() && animation < 0) {
        error = "there is no animation " + quoted(choices.animation) + " (the model has " +
                std::to_string(model.animations.size()) + ", numbered from 0)";
        return false;
    }
    const size_t colored = static_cast<size_t>(std::count_if(
        model.meshes.begin(), model.meshes.end(), [](const ModelMesh& mesh) { return mesh.hasColors; }));
    if (colored > 0)
        note(std::to_string(colored) + (colored == 1 ? " mesh has" : " meshes have") +
             " vertex colours, which are not exported (a mesh is written with its material's colour)");
    const bool morphs = std::any_of(model.animations.begin(), model.animations.end(),
                                    [](const ModelAnimation& a) { return a.morphChannels > 0; });
    if (morphs) {
        uint64_t targets = 0;
        for (size_t m = 0; m < model.meshes.size(); ++m)
            if (c.usableMesh[m]) targets += model.meshes[m].morphTargets;
        note("morph animation is not exported: " + std::to_string(targets) + " target" + (targets == 1 ? "" : "s"));
    }
    findBoneNodes(c);
    buildPlan(c);
    if (!withinDepthLimit(c, error)) return false;
    placeSkinnedMeshes(c);
    c.restGlobal = nodeGlobals(model, nullptr, 0);
    c.oddPlacementNoted.assign(c.plan.size(), false);
    c.remainder.assign(c.plan.size(), Affine{});
    assignIds(c);

    out = Scene{};
    out.fps = sceneFrameRate(model, animation);
    UsedNames usedMaterialNames;
    std::vector<std::string> materialNames;
    for (size_t m = 0; m < model.materials.size(); ++m) {
        const std::string& wanted = model.materials[m].name;
        materialNames.push_back(uniqueName(wanted.empty() ? "Material" + std::to_string(m) : wanted,
                                           usedMaterialNames));
        out.materials.push_back(convertMaterial(model.materials[m], materialNames.back()));
    }

    planRebinds(c);
    std::vector<SceneObject*> objectOfItem(c.plan.size(), nullptr);
    const std::vector<int>& top = c.plan[0].children;
    out.objects.resize(top.size());
    for (size_t k = 0; k < top.size(); ++k) buildObject(c, top[k], materialNames, out.objects[k], objectOfItem);
    setRestPoses(c, objectOfItem);
    // Animations that only morph leave nothing for the scene to play.
    const bool onlyMorphs = std::all_of(model.animations.begin(), model.animations.end(), [](const ModelAnimation& a) {
        return a.channels.empty() && a.morphChannels > 0;
    });
    if (animation >= 0 && !onlyMorphs) {
        // Every animation is a take on one time line: all of them together are bounded.
        double frames = 0;
        for (const ModelAnimation& a : model.animations) {
            const double lastFrame = std::round(animationSeconds(a) * out.fps);
            frames += std::max(lastFrame, -1.0) + 1;
            if (!(frames <= kMostAnimationFrames)) {
                char count[32];
                std::snprintf(count, sizeof count, "%.0f", std::isfinite(lastFrame) ? lastFrame : 0.0);
                error = "the animation " + quoted(a.name) + " runs " +
                        (std::isfinite(lastFrame) ? std::string(count) + " frames" : std::string("without end")) +
                        (model.animations.size() > 1 ? " (all of the model's together more)" : "") +
                        ", more than an import samples (" + std::to_string(static_cast<int64_t>(kMostAnimationFrames)) +
                        ", over 9 hours at 30 fps)";
                return false;
            }
        }
        sampleAnimations(c, animation, out, objectOfItem);
    }
    return true;
}

}  // namespace korvo::import
