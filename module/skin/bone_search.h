// The bones of one output file, found once: the skin search of a polygon object covers
// the object, its later siblings and all their descendants, which in the document's
// depth-first order is one run of objects. Walking that part of the scene for every
// mesh cost time quadratic in the number of objects; with the bones listed in that
// order and the run of every polygon object known, each search visits only the bones
// it covers.
#pragma once

#include <korvo_sdk.h>

#include <cstdint>

#include "host/host_array.h"

namespace dorna {

struct IndexedBone {
    int32_t position;  // in depth-first order
    KrvObject bone;
};

// Where a polygon object's search starts and ends in depth-first order.
struct SearchRun {
    KrvObject object;
    int32_t first;
    int32_t end;  // one past the last object of the parent's subtree
};

// The index of one file. Owns its host memory.
struct BoneSearch {
    HostArray<IndexedBone> bones;
    int32_t boneCount = 0;
    HostArray<SearchRun> runs;
    int32_t runCount = 0;
    HostArray<int32_t> runSlots;   // open addressing by object, at most half full; -1 free
    int32_t* boneSlots = nullptr;  // the same for the bones, in the block of runSlots
    int32_t slots = 0;             // a power of two
    bool indexed = false;          // the document of the current file is indexed
    bool noBones = false;          // it holds no bone
};

// Indexes the document's objects. False when the host refuses the storage.
[[nodiscard]] bool beginBoneSearch(BoneSearch& search, KrvDocument document);
// Returns the index's storage.
void endBoneSearch(BoneSearch& search);

// Calls visit(bone, context) for every bone the search from `object` covers, depth
// first. False, with nothing visited, when the object is not in the index (an object
// the export made, such as a converted generator): the caller walks the scene then.
bool forEachSearchedBone(const BoneSearch& search, KrvObject object, void (*visit)(KrvObject bone, void* context), void* context);

}  // namespace dorna
