#include "skin/skin_weights.h"

#include <cstdint>

#include "host/host.h"
#include "host/object_walk.h"
#include "host/objects.h"
#include "skin/bone_search.h"

namespace dorna {

namespace {

// The texts are the ones users of the exporter know, misspellings included; 0xB4 is the
// accent of "shouldn´t" in the host's 8-bit text.
constexpr char kCannotCreatePointLists[] = "Unable to create Skinweigths!";
constexpr char kCannotCreatePairs[] = "Unable to create Vertexweigths!";
constexpr char kPairsOverrun[] = "More Skinweights than allocated! this shouldn\xB4t happen! :(";

void releasePointLists(SkinData& skin) { skin.pointLists = PointVertexLists{}; }

void releaseMesh(SkinData& skin) {
    skin.tallies.reset();
    skin.mesh = nullptr;
    skin.indices = nullptr;
    skin.vertexCount = 0;
    skin.indexCount = 0;
}

void emptyEntries(SkinData& skin) {
    for (BoneWeights& entry : skin.bones) {
        entry = BoneWeights{};
    }
    skin.boneCount = 0;
}

// The distinct vertices of every point, built from the polygons' first three corners:
// corner k of polygon p is index 3p + k of the mesh's indices. Corners that name a point
// or a vertex the mesh does not have are passed over. False when storage is refused.
bool buildPointLists(SkinData& skin, const KrvPolygon* polygons, int32_t polygonCount) {
    const int32_t pointCount = skin.pointCount;
    int32_t triangles = skin.indexCount / 3;
    if (polygonCount < triangles) triangles = polygonCount;
    const int32_t cornerCount = 3 * triangles;
    // first[pointCount], count[pointCount], items[cornerCount]; the counts fit in int32
    // because the corners do.
    const int64_t entries = 2 * int64_t{pointCount} + cornerCount;
    if (entries > INT32_MAX) return false;
    PointVertexLists& lists = skin.pointLists;
    if (!lists.block.allocate(entries)) return false;
    lists.first = lists.block;
    lists.count = lists.block + pointCount;
    lists.items = lists.block + 2 * int64_t{pointCount};

    auto cornerPoint = [&](int32_t triangle, int32_t corner) {
        const KrvPolygon& p = polygons[triangle];
        return corner == 0 ? p.a : corner == 1 ? p.b : p.c;
    };
    auto validCorner = [&](int32_t point, int32_t vertex) {
        return point >= 0 && point < pointCount && vertex >= 0 && vertex < skin.vertexCount;
    };

    // Room for every corner of a point, then the distinct vertices in corner order.
    fillBytes(lists.count, sizeof(int32_t) * static_cast<size_t>(pointCount), 0);
    for (int32_t t = 0; t < triangles; ++t)
        for (int32_t k = 0; k < 3; ++k) {
            const int32_t point = cornerPoint(t, k);
            if (validCorner(point, skin.indices[3 * t + k])) ++lists.count[point];
        }
    int32_t next = 0;
    for (int32_t j = 0; j < pointCount; ++j) {
        lists.first[j] = next;
        next += lists.count[j];
        lists.count[j] = 0;
    }
    for (int32_t t = 0; t < triangles; ++t)
        for (int32_t k = 0; k < 3; ++k) {
            const int32_t point = cornerPoint(t, k);
            const int32_t vertex = skin.indices[3 * t + k];
            if (!validCorner(point, vertex)) continue;
            int32_t* items = lists.items + lists.first[point];
            int32_t& count = lists.count[point];
            int32_t i = 0;
            while (i < count && items[i] != vertex) ++i;
            if (i == count) items[count++] = vertex;
        }
    return true;
}

// True when the bone weights at least one point of the mesh.
bool influences(KrvObject mesh, KrvObject bone) {
    if (hostTellsBoneWeights() && !hasBoneWeights(mesh, bone)) return false;
    int32_t pointCount = 0;
    objectPoints(mesh, &pointCount);
    HostArray<float> weights;
    weights.adopt(boneWeights(mesh, bone), pointCount);
    bool influenced = false;
    for (int32_t j = 0; weights && j < pointCount && !influenced; ++j) influenced = weights[j] > 0.0f;
    return influenced;
}

// Keeps the bone for the message that names the bones left out. Without storage the
// bone is only counted.
void appendDroppedBone(SkinData& skin, KrvObject bone) {
    if (skin.droppedBones.grow(skin.droppedListed, int64_t{skin.droppedListed} + 1))
        skin.droppedBones[skin.droppedListed++] = bone;
}

void releaseDroppedBones(SkinData& skin) {
    skin.droppedBones.reset();
    skin.droppedListed = 0;
    skin.droppedBoneCount = 0;
}

}  // namespace

void initSkinData(SkinData& skin) { skin = SkinData{}; }

void releaseSkinData(SkinData& skin) {
    releaseDroppedBones(skin);
    releaseMesh(skin);
    releasePointLists(skin);
    emptyEntries(skin);
    initSkinData(skin);
}

bool setMesh(SkinData& skin, KrvObject object, int32_t vertexCount, const int32_t* indices, int32_t indexCount) {
    releaseMesh(skin);
    emptyEntries(skin);
    releaseDroppedBones(skin);
    skin.currentBone = nullptr;
    skin.pointCount = 0;
    if (!object || !isInstance(object, KRV_TYPE_POLYGON) || !indices || vertexCount <= 0 || indexCount <= 0)
        return false;
    skin.mesh = object;
    objectPoints(object, &skin.pointCount);
    skin.vertexCount = vertexCount;
    skin.indices = indices;
    skin.indexCount = indexCount;
    return true;
}

bool setBone(SkinData& skin, KrvObject object) {
    if (!object || !isInstance(object, KRV_TYPE_BONE)) return false;
    skin.currentBone = object;
    return true;
}

namespace {

// Gathers the current bone, or beyond the limit counts and lists it when it weights the
// mesh. False when storage was refused.
bool gatherOrDrop(SkinData& skin, KrvObject bone) {
    if (skin.boneCount < kMaxBonesPerMesh) return gatherBoneWeights(skin);
    if (influences(skin.mesh, bone)) {
        skin.droppedBoneCount += 1;
        appendDroppedBone(skin, bone);
    }
    return true;
}

}  // namespace

bool findBones(KrvObject object, SkinData& skin) {
    bool whole = true;
    const bool walked = visitDepthFirst(object, [&](KrvObject o, int32_t) {
        if (setBone(skin, o)) whole = gatherOrDrop(skin, o) && whole;
        return true;
    });
    return walked && whole;
}

namespace {

struct Search {
    SkinData& skin;
    bool whole;
};

bool searchBones(const BoneSearch& bones, KrvObject object, SkinData& skin) {
    // The index holds bones only.
    auto visit = [](KrvObject bone, void* context) {
        Search& search = *static_cast<Search*>(context);
        search.skin.currentBone = bone;
        search.whole = gatherOrDrop(search.skin, bone) && search.whole;
    };
    Search search{skin, true};
    if (!forEachSearchedBone(bones, object, visit, &search)) return findBones(object, skin);
    return search.whole;
}

// The tallies start at the first bone that weights the mesh: a mesh without bones
// costs no storage.
bool haveTallies(SkinData& skin) {
    if (skin.tallies) return true;
    if (!skin.tallies.allocate(skin.vertexCount)) return false;
    skin.tallies.fill(0);
    return true;
}

}  // namespace

bool collectMeshSkin(SkinData& skin, const BoneSearch& bones, KrvObject object, int32_t vertexCount,
                     const int32_t* indices, int32_t indexCount, ExportStatus& status) {
    if (!setMesh(skin, object, vertexCount, indices, indexCount)) return true;
    return searchBones(bones, object, skin) || status.fail(ExportFailure::StorageRefused);
}

bool gatherBoneWeights(SkinData& skin) {
    if (!skin.currentBone || !skin.mesh || !skin.indices) return true;
    if (skin.boneCount >= kBoneTableSize) return true;
    // Where the host can tell, a bone without weights costs one question and no array.
    const bool told = hostTellsBoneWeights();
    if (told && !hasBoneWeights(skin.mesh, skin.currentBone)) return true;
    HostArray<float> weights;
    weights.adopt(boneWeights(skin.mesh, skin.currentBone), skin.pointCount);
    if (!weights) {
        // A bone with weights whose array the host could not hand over: the mesh would be
        // written without this bone's influence.
        return !told;
    }
    int32_t polygonCount = 0;
    const KrvPolygon* polygons = objectPolygons(skin.mesh, &polygonCount);

    bool influenced = false;
    for (int32_t j = 0; j < skin.pointCount && !influenced; ++j) influenced = weights[j] > 0.0f;
    if (!influenced || !polygons) return true;

    releasePointLists(skin);
    if (!haveTallies(skin) || !buildPointLists(skin, polygons, polygonCount)) {
        reportMessage(kCannotCreatePointLists);
        return false;
    }
    const PointVertexLists& lists = skin.pointLists;
    int64_t total = 0;
    for (int32_t j = 0; j < skin.pointCount; ++j)
        if (weights[j] > 0.0f) total += lists.count[j];

    BoneWeights& entry = skin.bones[skin.boneCount];
    HostArray<VertexWeight>& pairs = entry.pairs;
    if (total > INT32_MAX || !pairs.allocate(total)) {
        releasePointLists(skin);
        reportMessage(kCannotCreatePairs);
        return false;
    }
    int32_t n = 0;
    for (int32_t j = 0; j < skin.pointCount; ++j) {
        const float weight = weights[j];
        if (!(weight > 0.0f)) continue;
        const int32_t* items = lists.items + lists.first[j];
        for (int32_t i = 0; i < lists.count[j]; ++i) {
            if (n >= total) {
                reportMessage(kPairsOverrun);
                break;
            }
            VertexTally& tally = skin.tallies[items[i]];
            pairs[n++] = VertexWeight{items[i], weight};
            tally.boneCount += 1;
            tally.weightSum += weight;
        }
    }
    entry.pairCount = n;
    entry.bone = skin.currentBone;
    skin.boneCount += 1;
    releasePointLists(skin);
    return true;
}

int32_t maxWeightsPerVertex(const SkinData& skin) {
    int32_t most = 0;
    if (!skin.tallies) return 0;
    for (int32_t v = 0; v < skin.vertexCount; ++v)
        if (skin.tallies[v].boneCount > most) most = skin.tallies[v].boneCount;
    return most;
}

int32_t maxWeightsPerFace(const SkinData& skin) {
    if (!skin.tallies || !skin.indices) return 0;
    const int32_t triangles = skin.indexCount / 3;
    auto countAt = [&](int32_t corner) {
        const int32_t v = skin.indices[corner];
        return v >= 0 && v < skin.vertexCount ? skin.tallies[v].boneCount : 0;
    };
    int32_t most = 0;
    for (int32_t t = 0; t < triangles; ++t) {
        const int32_t sum = countAt(3 * t) + countAt(3 * t + 1) + countAt(3 * t + 2);
        if (sum > most) most = sum;
    }
    return most;
}

const BoneWeights& boneWeightsAt(SkinData& skin, int32_t index) {
    BoneWeights& entry = skin.bones[index];
    for (int32_t i = 0; i < entry.pairCount; ++i) {
        VertexWeight& pair = entry.pairs[i];
        pair.weight = pair.weight / skin.tallies[pair.vertex].weightSum;
    }
    return entry;
}

void clearBoneWeights(SkinData& skin) {
    for (int32_t i = 0; i < skin.boneCount; ++i) {
        skin.bones[i].pairs.reset();
        skin.bones[i].pairCount = 0;
    }
}

}  // namespace dorna
