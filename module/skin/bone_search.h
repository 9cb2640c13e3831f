// The bones of one output file, found once: the skin search of a polygon object covers
// the object, its later siblings and all their descendants, which in the document's
// depth-first order is one run of objects. Walking that part of the scene for every
// mesh cost time quadratic in the number of objects; with the bones listed in that
// order and the run of every polygon object known, each search visits only the bones
// it covers.
#pragma once

#include <korvo_sdk.h>

#include <cstdint>

namespace dorna {

// Indexes the document's objects. False when the host refuses the storage.
bool beginBoneSearch(KrvDocument document);
// Returns the index's storage.
void endBoneSearch();

// Calls visit(bone, context) for every bone the search from `object` covers, depth
// first. False, with nothing visited, when the object is not in the index (an object
// the export made, such as a converted generator): the caller walks the scene then.
bool forEachSearchedBone(KrvObject object, void (*visit)(KrvObject bone, void* context), void* context);

}  // namespace dorna
