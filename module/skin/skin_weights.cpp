#include "skin/skin_weights.h"

#include <cmath>
#include <cstdint>
#include <cstring>

#include "host/containers.h"
#include "host/host.h"
#include "host/objects.h"
#include "settings/export_settings.h"
#include "skin/bone_search.h"
#include "xfile/buffered_text.h"
#include "xfile/names.h"
#include "xfile/number_format.h"
#include "xfile/text_writer.h"

namespace dorna {

namespace {

// The texts are the ones users of the exporter know, misspellings included; 0xB4 is the
// accent of "shouldn´t" in the host's 8-bit text.
constexpr char kCannotCreatePointLists[] = "Unable to create Skinweigths!";
constexpr char kCannotCreatePairs[] = "Unable to create Vertexweigths!";
constexpr char kPairsOverrun[] = "More Skinweights than allocated! this shouldn\xB4t happen! :(";
constexpr char kChainTooLong[] = "To many parent objects!";

// A block of `count` records of `size` bytes, or null when refused or when the size
// does not fit in memory's address range.
void* allocArray(int32_t count, size_t size) {
    if (count < 0 || static_cast<size_t>(count) > SIZE_MAX / size) return nullptr;
    return hostAlloc(static_cast<size_t>(count) * size);
}

void releasePointLists(SkinData& skin) {
    // One block holds all three arrays; `first` is its start.
    hostFree(skin.pointLists.first);
    skin.pointLists = PointVertexLists{nullptr, nullptr, nullptr};
}

void releaseCopies(SkinData& skin) {
    hostFreeAndClear(skin.vertices);
    hostFreeAndClear(skin.indices);
    skin.vertexCount = 0;
    skin.indexCount = 0;
}

void emptyEntries(SkinData& skin) {
    for (BoneWeights& entry : skin.bones) {
        hostFreeAndClear(entry.pairs);
        entry.pairCount = 0;
        entry.bone = nullptr;
    }
    skin.boneCount = 0;
}

// The distinct vertices of every point, built from the polygons' first three corners:
// corner k of polygon p is index 3p + k of the index copy. Corners that name a point or
// a vertex the copies do not have are passed over. False when storage is refused.
bool buildPointLists(SkinData& skin, const KrvPolygon* polygons, int32_t polygonCount) {
    const int32_t pointCount = skin.pointCount;
    int32_t triangles = skin.indexCount / 3;
    if (polygonCount < triangles) triangles = polygonCount;
    const int32_t cornerCount = 3 * triangles;
    // first[pointCount], count[pointCount], items[cornerCount]; the counts fit in int32
    // because the corners do.
    const int64_t entries = 2 * int64_t{pointCount} + cornerCount;
    if (entries > INT32_MAX) return false;
    int32_t* block = static_cast<int32_t*>(allocArray(static_cast<int32_t>(entries), sizeof(int32_t)));
    if (!block) return false;
    PointVertexLists lists{block, block + pointCount, block + 2 * int64_t{pointCount}};
    skin.pointLists = lists;

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

// The rest chain of a bone, multiplied in the file's convention: X[0] from the bone,
// then one matrix per bone ancestor. `invertible` is the same chain with every zero
// scale factor taken as 1.
struct RestChain {
    Matrix rest;
    Matrix invertible;
};

Matrix chainProduct(const Matrix* chain, int32_t count) {
    Matrix product = identityMatrix();
    for (int32_t i = count - 1; i >= 0; --i) product = mulFileMatrix(chain[i], product);
    return product;
}

float nonZero(float factor) { return factor == 0.0f ? 1.0f : factor; }

RestChain restChainOf(KrvObject bone) {
    constexpr Vector kZero = {0.0f, 0.0f, 0.0f};
    Matrix rest[kMaxRestChain + 1];
    Matrix invertible[kMaxRestChain + 1];
    int32_t n = 0;
    for (KrvObject o = bone; o; o = parentObject(o)) {
        if (!isInstance(o, KRV_TYPE_BONE)) continue;
        SettingsContainer parameters;
        objectParameters(o, parameters);
        const Vector position = parameters.readVector(KRV_REST_POSITION, kZero);
        const Vector rotation = parameters.readVector(KRV_REST_ROTATION, kZero);
        const Vector scale = parameters.readVector(KRV_REST_SCALE, kZero);
        rest[n] = composeExportMatrix(position, rotation, scale);
        invertible[n] = composeExportMatrix(position, rotation,
                                            Vector{nonZero(scale.x), nonZero(scale.y), nonZero(scale.z)});
        ++n;
        if (n == kMaxRestChain + 1) {
            reportMessage(kChainTooLong);
            return RestChain{rest[0], invertible[0]};
        }
    }
    return RestChain{chainProduct(rest, n), chainProduct(invertible, n)};
}

Matrix inverseOf(const Matrix& matrix) {
    Matrix4x4 record;
    setIdentity(record);
    fromMatrix(record, matrix);
    return toMatrix(inverted(record));
}

bool isFinite(const Matrix& m) {
    const float values[12] = {m.offset.x, m.offset.y, m.offset.z, m.axis1.x, m.axis1.y, m.axis1.z,
                              m.axis2.x,  m.axis2.y,  m.axis2.z,  m.axis3.x, m.axis3.y, m.axis3.z};
    for (float value : values)
        if (!std::isfinite(value)) return false;
    return true;
}

// True when the bone weights at least one point of the mesh.
bool influences(KrvObject mesh, KrvObject bone) {
    if (hostTellsBoneWeights() && !hasBoneWeights(mesh, bone)) return false;
    int32_t pointCount = 0;
    objectPoints(mesh, &pointCount);
    float* weights = boneWeights(mesh, bone);
    bool influenced = false;
    for (int32_t j = 0; weights && j < pointCount && !influenced; ++j) influenced = weights[j] > 0.0f;
    hostFree(weights);
    return influenced;
}

// Keeps the bone for the message that names the bones left out; the list doubles.
// Without storage the bone is only counted.
void appendDroppedBone(SkinData& skin, KrvObject bone) {
    if (skin.droppedListed == skin.droppedCapacity) {
        const int32_t capacity = skin.droppedCapacity > 0 ? 2 * skin.droppedCapacity : 16;
        auto* grown = static_cast<KrvObject*>(allocArray(capacity, sizeof(KrvObject)));
        if (!grown) return;
        if (skin.droppedListed > 0)
            std::memcpy(grown, skin.droppedBones, sizeof(KrvObject) * static_cast<size_t>(skin.droppedListed));
        hostFree(skin.droppedBones);
        skin.droppedBones = grown;
        skin.droppedCapacity = capacity;
    }
    skin.droppedBones[skin.droppedListed++] = bone;
}

void releaseDroppedBones(SkinData& skin) {
    hostFreeAndClear(skin.droppedBones);
    skin.droppedListed = 0;
    skin.droppedCapacity = 0;
    skin.droppedBoneCount = 0;
}

// One console line: the mesh, the limit and the bones left out, by their frame names.
void reportDroppedBones(SkinData& skin, KrvObject mesh) {
    constexpr char kLeftOut[] = " bones weight it, more than a mesh can hold (199); left out:";
    char count[kIntTextCapacity];
    formatInt(count, skin.boneCount + skin.droppedBoneCount);
    int64_t length = 0;
    for (int32_t i = 0; i < skin.droppedListed; ++i) length += 2 + frameName(skin.droppedBones[i]).length;
    const NameText name = meshName(mesh);
    const int64_t head = 20 + name.length + std::strlen(count) + std::strlen(kLeftOut);
    char* line = length + head < INT32_MAX ? static_cast<char*>(hostAlloc(static_cast<size_t>(head + length + 1)))
                                           : nullptr;
    if (!line) {
        printLine("Dorna: a mesh is weighted by more than 199 bones; the bones beyond them are left out");
        releaseDroppedBones(skin);
        return;
    }
    int64_t n = 0;
    auto put = [&](const char* text, int64_t size) {
        std::memcpy(line + n, text, static_cast<size_t>(size));
        n += size;
    };
    put("Dorna: mesh M_", 14);
    put(name.text, name.length);
    put(": ", 2);
    put(count, static_cast<int64_t>(std::strlen(count)));
    put(kLeftOut, static_cast<int64_t>(std::strlen(kLeftOut)));
    for (int32_t i = 0; i < skin.droppedListed; ++i) {
        const NameText bone = frameName(skin.droppedBones[i]);
        put(i == 0 ? " " : ", ", i == 0 ? 1 : 2);
        put(bone.text, bone.length);
    }
    line[n] = '\0';
    printLine(line);
    hostFree(line);
    releaseDroppedBones(skin);
}

}  // namespace

void initSkinData(SkinData& skin) { skin = SkinData{}; }

void releaseSkinData(SkinData& skin) {
    releaseDroppedBones(skin);
    releaseCopies(skin);
    releasePointLists(skin);
    emptyEntries(skin);
    initSkinData(skin);
}

int32_t setMesh(SkinData& skin, KrvObject object, const ExportVertex* vertices, int32_t vertexCount,
                const int32_t* indices, int32_t indexCount) {
    if (!object || !isInstance(object, KRV_TYPE_POLYGON) || !vertices || !indices || vertexCount <= 0 ||
        indexCount <= 0)
        return 0;
    releaseCopies(skin);
    emptyEntries(skin);
    releaseDroppedBones(skin);
    skin.storageRefused = 0;
    skin.mesh = object;
    skin.currentBone = nullptr;
    skin.pointCount = 0;
    objectPoints(object, &skin.pointCount);

    skin.vertices = static_cast<ExportVertex*>(allocArray(vertexCount, sizeof(ExportVertex)));
    if (skin.vertices) skin.indices = static_cast<int32_t*>(allocArray(indexCount, sizeof(int32_t)));
    if (!skin.indices) {
        releaseCopies(skin);
        skin.storageRefused = 1;
        return 0;
    }
    std::memcpy(skin.vertices, vertices, sizeof(ExportVertex) * static_cast<size_t>(vertexCount));
    std::memcpy(skin.indices, indices, sizeof(int32_t) * static_cast<size_t>(indexCount));
    // The counters belong to this mesh alone.
    for (int32_t v = 0; v < vertexCount; ++v) {
        skin.vertices[v].weightCount = 0;
        skin.vertices[v].weightSum = 0.0f;
    }
    skin.vertexCount = vertexCount;
    skin.indexCount = indexCount;
    return 1;
}

int32_t setBone(SkinData& skin, KrvObject object) {
    if (!object || !isInstance(object, KRV_TYPE_BONE)) return 0;
    skin.currentBone = object;
    return 1;
}

namespace {

// Gathers the current bone, or beyond the limit counts and lists it when it weights the mesh.
void gatherOrDrop(SkinData& skin, KrvObject bone) {
    if (skin.boneCount < kMaxBonesPerMesh) {
        gatherBoneWeights(skin);
    } else if (influences(skin.mesh, bone)) {
        skin.droppedBoneCount += 1;
        appendDroppedBone(skin, bone);
    }
}

void considerBone(SkinData& skin, KrvObject bone) {
    if (setBone(skin, bone)) gatherOrDrop(skin, bone);
}

}  // namespace

void findBones(KrvObject object, SkinData& skin) {
    for (KrvObject o = object; o; o = nextObject(o)) {
        considerBone(skin, o);
        if (KrvObject child = firstChild(o)) findBones(child, skin);
    }
}

namespace {

void searchBones(KrvObject object, SkinData& skin) {
    // The index holds bones only.
    auto visit = [](KrvObject bone, void* context) {
        SkinData& skin = *static_cast<SkinData*>(context);
        skin.currentBone = bone;
        gatherOrDrop(skin, bone);
    };
    if (!forEachSearchedBone(object, visit, &skin)) findBones(object, skin);
}

}  // namespace

int32_t gatherBoneWeights(SkinData& skin) {
    if (!skin.currentBone || !skin.mesh || !skin.vertices || !skin.indices) return 0;
    if (skin.boneCount >= kBoneTableSize) return 0;
    // Where the host can tell, a bone without weights costs one question and no array.
    const bool told = hostTellsBoneWeights();
    if (told && !hasBoneWeights(skin.mesh, skin.currentBone)) return 0;
    float* weights = boneWeights(skin.mesh, skin.currentBone);
    if (!weights) {
        // A bone with weights whose array the host could not hand over: the mesh would be
        // written without this bone's influence.
        if (told) skin.storageRefused = 1;
        return 0;
    }
    int32_t polygonCount = 0;
    const KrvPolygon* polygons = objectPolygons(skin.mesh, &polygonCount);

    bool influenced = false;
    for (int32_t j = 0; j < skin.pointCount && !influenced; ++j) influenced = weights[j] > 0.0f;
    if (!influenced || !polygons) {
        hostFree(weights);
        return 0;
    }

    releasePointLists(skin);
    if (!buildPointLists(skin, polygons, polygonCount)) {
        hostFree(weights);
        skin.storageRefused = 1;
        reportMessage(kCannotCreatePointLists);
        return 0;
    }
    const PointVertexLists& lists = skin.pointLists;
    int64_t total = 0;
    for (int32_t j = 0; j < skin.pointCount; ++j)
        if (weights[j] > 0.0f) total += lists.count[j];

    VertexWeight* pairs = static_cast<VertexWeight*>(allocArray(static_cast<int32_t>(total), sizeof(VertexWeight)));
    if (!pairs) {
        hostFree(weights);
        releasePointLists(skin);
        skin.storageRefused = 1;
        reportMessage(kCannotCreatePairs);
        return 0;
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
            ExportVertex& vertex = skin.vertices[items[i]];
            pairs[n++] = VertexWeight{items[i], weight};
            vertex.weightCount += 1;
            vertex.weightSum += weight;
        }
    }
    skin.bones[skin.boneCount] = BoneWeights{pairs, n, skin.currentBone};
    skin.boneCount += 1;
    hostFree(weights);
    releasePointLists(skin);
    return skin.boneCount - 1;
}

int32_t maxWeightsPerVertex(const SkinData& skin) {
    int32_t most = 0;
    if (!skin.vertices) return 0;
    for (int32_t v = 0; v < skin.vertexCount; ++v)
        if (skin.vertices[v].weightCount > most) most = skin.vertices[v].weightCount;
    return most;
}

int32_t maxWeightsPerFace(const SkinData& skin) {
    if (!skin.vertices || !skin.indices) return 0;
    const int32_t triangles = skin.indexCount / 3;
    auto countAt = [&](int32_t corner) {
        const int32_t v = skin.indices[corner];
        return v >= 0 && v < skin.vertexCount ? skin.vertices[v].weightCount : 0;
    };
    int32_t most = 0;
    for (int32_t t = 0; t < triangles; ++t) {
        const int32_t sum = countAt(3 * t) + countAt(3 * t + 1) + countAt(3 * t + 2);
        if (sum > most) most = sum;
    }
    return most;
}

BoneWeights boneWeightsAt(SkinData& skin, int32_t index) {
    if (index < 0 || index >= skin.boneCount) return BoneWeights{nullptr, 0, nullptr};
    BoneWeights& entry = skin.bones[index];
    for (int32_t i = 0; i < entry.pairCount; ++i) {
        VertexWeight& pair = entry.pairs[i];
        pair.weight = pair.weight / skin.vertices[pair.vertex].weightSum;
    }
    return entry;
}

int32_t clearBoneWeights(SkinData& skin) {
    for (int32_t i = 0; i < skin.boneCount; ++i) {
        hostFreeAndClear(skin.bones[i].pairs);
        skin.bones[i].pairCount = 0;
    }
    return 1;
}

int32_t writeSkinHeader(XTextWriter& writer, int32_t boneCount, int32_t maxPerVertex, int32_t maxPerFace) {
    BufferedText out(writer);
    out.text("\r\nXSkinMeshHeader {\r\n");
    out.integer(maxPerVertex);
    out.text(";\r\n");
    out.integer(maxPerFace);
    out.text(";\r\n");
    out.integer(boneCount);
    out.text(";\r\n}\r\n\r\n");
    return 1;
}

int32_t writeAllSkinWeights(SkinData& skin, XTextWriter& writer) {
    for (int32_t i = 0; i < skin.boneCount; ++i) {
        const BoneWeights entry = boneWeightsAt(skin, i);
        writeSkinWeights(writer, entry.bone, entry.pairs, entry.pairCount);
    }
    return clearBoneWeights(skin);
}

int32_t writeSkinWeights(XTextWriter& writer, KrvObject bone, const VertexWeight* pairs, int32_t pairCount) {
    if (!bone || !pairs || !isInstance(bone, KRV_TYPE_BONE)) return 0;
    if (pairCount <= 0) return 1;
    const NameText name = frameName(bone);
    writer.writeText("SkinWeights {\r\n \"");
    writer.writeBytes(name.text, name.length);
    writer.writeText("\";\r\n");

    BufferedText out(writer);
    out.text(" ");
    out.integer(pairCount);
    out.text(";\r\n");
    for (int32_t i = 0; i < pairCount; ++i) {
        out.integer(pairs[i].vertex);
        out.text(i + 1 < pairCount ? ",\r\n" : ";\r\n");
    }
    for (int32_t i = 0; i < pairCount; ++i) {
        out.real(pairs[i].weight);
        out.text(i + 1 < pairCount ? ",\r\n" : ";\r\n");
    }

    const Matrix d = boneOffsetMatrix(bone);
    appendFileMatrix(out, d, ",\r\n");
    out.text(";;\r\n}\r\n\r\n");
    return 1;
}

Matrix boneRestMatrix(KrvObject bone) { return restChainOf(bone).rest; }

Matrix boneOffsetMatrix(KrvObject bone) {
    const RestChain chain = restChainOf(bone);
    Matrix offset = inverseOf(chain.rest);
    if (isFinite(offset)) return offset;
    offset = inverseOf(chain.invertible);
    // Scale factors too small for a finite inverse leave nothing sensible to invert.
    return isFinite(offset) ? offset : identityMatrix();
}

void writeMeshSkin(SkinData& skin, KrvObject object, const ExportVertex* vertices, int32_t vertexCount,
                   const int32_t* indices, int32_t indexCount, XTextWriter& writer) {
    skin.storageRefused = 0;
    if (!setMesh(skin, object, vertices, vertexCount, indices, indexCount)) {
        if (skin.storageRefused) writer.markIncomplete();
        // Never let the previous object's copies or weights stand for this one.
        releaseCopies(skin);
        emptyEntries(skin);
        skin.mesh = nullptr;
        return;
    }
    if (!exportSettings.exportBones || !exportSettings.exportFrames) return;
    searchBones(object, skin);
    if (skin.droppedBoneCount > 0) reportDroppedBones(skin, object);
    if (skin.storageRefused) writer.markIncomplete();
    if (skin.boneCount > 0)
        writeSkinHeader(writer, skin.boneCount, maxWeightsPerVertex(skin), maxWeightsPerFace(skin));
    writeAllSkinWeights(skin, writer);
}

}  // namespace dorna
