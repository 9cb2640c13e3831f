// Skin weights: the bones that deform a polygon object and their weights carried over
// to the exported vertices, gathered into a plain record the skin writer turns into
// text.
//
// One SkinData serves one output file. For every polygon object whose mesh was
// converted, collectMeshSkin searches the scene for bones and asks the host for each
// bone's weight at every point. The record borrows the mesh's indices for the length of
// the collection and keeps its own per-vertex tallies; nothing of one object's skin
// reaches the next: every collection starts from emptied entries.
#pragma once

#include <korvo_sdk.h>

#include <cstdint>

#include "host/export_status.h"
#include "host/host_array.h"

namespace dorna {

struct BoneSearch;

// Entries of the bone table, and the most bones gathered for one mesh (one below the
// table's size; a Mesh with more children is refused by readers). The bones beyond it
// that weight the mesh are listed for the console line that names them.
constexpr int32_t kBoneTableSize = 200;
constexpr int32_t kMaxBonesPerMesh = 199;

struct VertexWeight {
    int32_t vertex;  // index into the exported vertices
    float weight;    // raw while gathering, normalised by boneWeightsAt
};

struct BoneWeights {
    HostArray<VertexWeight> pairs;  // one per weighted vertex, in gathering order
    int32_t pairCount = 0;
    KrvObject bone = nullptr;
};

// The bones and the summed weight of one exported vertex.
struct VertexTally {
    int32_t boneCount;
    float weightSum;
};

// The distinct exported vertices of every host point: the vertices of point j are
// items[first[j] .. first[j] + count[j] - 1], in the order their corners appear.
// Lives only inside one gatherBoneWeights; one host block holds all three arrays.
struct PointVertexLists {
    HostArray<int32_t> block;
    int32_t* first = nullptr;  // pointCount entries
    int32_t* count = nullptr;  // pointCount entries
    int32_t* items = nullptr;  // room for every corner
};

struct SkinData {
    KrvObject mesh = nullptr;          // the polygon object being collected
    KrvObject currentBone = nullptr;   // the bone being gathered
    int32_t vertexCount = 0;           // exported vertices of the mesh
    const int32_t* indices = nullptr;  // borrowed; corner 3p + k is corner k of triangle p
    int32_t indexCount = 0;
    HostArray<VertexTally> tallies;    // vertexCount entries, taken at the first weighted bone
    int32_t pointCount = 0;            // points of the polygon object
    PointVertexLists pointLists;       // temporary, see PointVertexLists
    int32_t boneCount = 0;             // used entries of `bones`
    BoneWeights bones[kBoneTableSize];
    // The bones beyond kMaxBonesPerMesh that weight the mesh: counted, and listed as
    // far as storage allows.
    int32_t droppedBoneCount = 0;
    HostArray<KrvObject> droppedBones;
    int32_t droppedListed = 0;
};

// Empties every field.
void initSkinData(SkinData& skin);
// Returns the tallies, the point lists, the dropped list and every entry's pairs; the
// record is empty again.
void releaseSkinData(SkinData& skin);

// The skin of one converted polygon object: the bones among the object, its later
// siblings and all their descendants (from the file's bone search where the object is
// in it) with their weights at the exported vertices. False, with the reason in
// `status`, when the host refused storage and a bone that weights the mesh is missing
// from the record (the user has been told where a message applies). Arguments that
// describe no mesh collect nothing.
[[nodiscard]] bool collectMeshSkin(SkinData& skin, const BoneSearch& bones, KrvObject object, int32_t vertexCount,
                                   const int32_t* indices, int32_t indexCount, ExportStatus& status);

// The steps collectMeshSkin takes, for the tests and the benchmark.

// Empties the record and sets it to the mesh. False, with nothing set, for a
// non-polygon object, missing indices or a count of 0.
bool setMesh(SkinData& skin, KrvObject object, int32_t vertexCount, const int32_t* indices, int32_t indexCount);
// True and currentBone = object for a bone.
bool setBone(SkinData& skin, KrvObject object);
// Gathers every bone among the object, its later siblings and all their descendants,
// depth first, walking the scene. False when storage was refused on the way.
[[nodiscard]] bool findBones(KrvObject object, SkinData& skin);

// Gathers the weights of currentBone into a new entry when it weights the mesh. False
// when storage was refused (with a message where the user knows it).
[[nodiscard]] bool gatherBoneWeights(SkinData& skin);
// The most bones weighting one vertex.
int32_t maxWeightsPerVertex(const SkinData& skin);
// The largest sum, over the triangles, of the bone counts of their three corners.
int32_t maxWeightsPerFace(const SkinData& skin);
// Entry i (below boneCount) after dividing each weight by its vertex's weight sum (once
// per entry).
const BoneWeights& boneWeightsAt(SkinData& skin, int32_t index);
// Releases the pairs of the used entries; boneCount stays until the next setMesh.
void clearBoneWeights(SkinData& skin);

}  // namespace dorna
