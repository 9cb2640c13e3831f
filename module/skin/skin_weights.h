// Skin weights: the bones that deform a polygon object, their weights carried over to
// the exported vertices, and the XSkinMeshHeader and SkinWeights blocks written inside
// the object's Mesh block.
//
// One SkinData serves one output file. For every polygon object whose mesh block was
// written, the scene traversal calls writeMeshSkin, which takes private copies of the
// exported vertices and indices, searches the scene for bones, asks the host for each
// bone's weight at every point and writes the blocks. Nothing of one object's skin
// reaches the next: every call starts from emptied entries.
#pragma once

#include <korvo_sdk.h>

#include <cstdint>

#include "mesh/export_mesh.h"
#include "skin/matrix.h"

namespace dorna {

class XTextWriter;

// Entries of the bone table, and the most bones gathered for one mesh (one below the
// table's size; a Mesh with more children is refused by readers). The bones beyond it
// that weight the mesh are named in one console line.
constexpr int32_t kBoneTableSize = 200;
constexpr int32_t kMaxBonesPerMesh = 199;
// The most bone objects in the rest chain of one bone, the bone itself included.
constexpr int32_t kMaxRestChain = 39;

struct VertexWeight {
    int32_t vertex;  // index into the exported vertices
    float weight;    // raw while gathering, normalised when written
};

struct BoneWeights {
    VertexWeight* pairs;  // owned; one per weighted vertex, in gathering order
    int32_t pairCount;
    KrvObject bone;
};

// The distinct exported vertices of every host point: the vertices of point j are
// items[first[j] .. first[j] + count[j] - 1], in the order their corners appear.
// Lives only inside one gatherBoneWeights; one host block holds all three arrays.
struct PointVertexLists {
    int32_t* first;  // pointCount entries
    int32_t* count;  // pointCount entries
    int32_t* items;  // room for every corner
};

struct SkinData {
    KrvObject mesh;               // the polygon object whose arrays are held
    KrvObject currentBone;        // the bone being gathered
    ExportVertex* vertices;       // owned copy; its weightCount and weightSum are counted here
    int32_t vertexCount;
    int32_t* indices;             // owned copy; corner 3p + k is corner k of triangle p
    int32_t indexCount;
    int32_t pointCount;           // points of the polygon object
    PointVertexLists pointLists;  // temporary, see PointVertexLists
    int32_t boneCount;            // used entries of `bones`
    BoneWeights bones[kBoneTableSize];
    int32_t storageRefused;       // the host refused memory for this mesh's skin
    // The bones beyond kMaxBonesPerMesh that weight the mesh: counted, and listed as
    // far as storage allows, for the console line that names them.
    int32_t droppedBoneCount;
    KrvObject* droppedBones;
    int32_t droppedListed;
    int32_t droppedCapacity;
};

// Empties every field.
void initSkinData(SkinData& skin);
// Returns the copies, the point lists and every entry's pairs; the record is empty again.
void releaseSkinData(SkinData& skin);

// The skin of one polygon object whose mesh block is open: takes the copies, and when
// bones and frames are exported finds the bones and writes the header and the weight
// blocks. Arguments that describe no mesh (no arrays, a count of 0, not a polygon
// object) release whatever the record still held and write nothing. When the host
// refuses memory the user is told and the writer is marked incomplete: a file that
// lacks part of the skin is not kept.
void writeMeshSkin(SkinData& skin, KrvObject object, const ExportVertex* vertices, int32_t vertexCount,
                   const int32_t* indices, int32_t indexCount, XTextWriter& writer);

// The steps writeMeshSkin takes, for the tests and the benchmark.

// Replaces the copies with copies of these arrays and empties every entry. 0, with the
// record unchanged, for a non-polygon object, missing arrays or a count of 0; 0 with no
// copies held and storageRefused set when an allocation is refused.
int32_t setMesh(SkinData& skin, KrvObject object, const ExportVertex* vertices, int32_t vertexCount,
                const int32_t* indices, int32_t indexCount);
// 1 and currentBone = object for a bone, else 0.
int32_t setBone(SkinData& skin, KrvObject object);
// Gathers every bone among the object, its later siblings and all their descendants,
// depth first, up to kMaxBonesPerMesh; the bones beyond that weight the mesh are
// counted and listed in the record. Walks the scene: writeMeshSkin uses the file's
// bone search where the object is in it.
void findBones(KrvObject object, SkinData& skin);
// Gathers the weights of currentBone into a new entry. Its index, or 0 when nothing was
// added (no weights, none above 0, or storage refused: the last with a message and
// storageRefused set).
int32_t gatherBoneWeights(SkinData& skin);
// The most bones weighting one vertex.
int32_t maxWeightsPerVertex(const SkinData& skin);
// The largest sum, over the triangles, of the bone counts of their three corners.
int32_t maxWeightsPerFace(const SkinData& skin);
// Entry i after dividing each weight by its vertex's weight sum (once per entry); an
// empty entry for i >= boneCount.
BoneWeights boneWeightsAt(SkinData& skin, int32_t index);
// Releases the pairs of the used entries; boneCount stays until the next setMesh.
int32_t clearBoneWeights(SkinData& skin);

int32_t writeSkinHeader(XTextWriter& writer, int32_t boneCount, int32_t maxPerVertex, int32_t maxPerFace);
// Every entry normalised and written, then the pairs released. 1.
int32_t writeAllSkinWeights(SkinData& skin, XTextWriter& writer);
// One SkinWeights block with the bone's offset matrix. 1 when written or when there is
// nothing to write, 0 for a missing bone or pairs or an object that is not a bone.
int32_t writeSkinWeights(XTextWriter& writer, KrvObject bone, const VertexWeight* pairs, int32_t pairCount);

// The bone's rest placement through its bone ancestors, in the file's row-vector
// convention: the rest matrix of the bone, then of each bone above it.
Matrix boneRestMatrix(KrvObject bone);
// The matrix written as the bone's offset: the inverse of its rest matrix. A rest matrix
// without an inverse (a zero or missing rest scale) is inverted with every zero scale
// factor taken as 1, so that no non-finite number reaches the file.
Matrix boneOffsetMatrix(KrvObject bone);

}  // namespace dorna
