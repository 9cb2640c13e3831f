#include "skin/bone_search.h"

#include <algorithm>

#include "host/document.h"
#include "host/host.h"
#include "host/object_index.h"
#include "host/object_walk.h"
#include "host/objects.h"

namespace dorna {

namespace {

// The position in `bones` of a bone of the index, or -1.
int32_t indexedBone(const BoneSearch& search, KrvObject bone) {
    return findIndexedObject(search.boneSlots, search.slots, bone, [&](int32_t b) { return search.bones[b].bone == bone; });
}

// Where the host lists the bones that weight the object, only those of the run are
// visited, in depth-first order: a mesh costs its own bones, not every bone of the run
// (N meshes with a bone each would otherwise ask N x N questions). The others add
// nothing to a skin. False when the host cannot list them.
bool visitWeightingBones(const BoneSearch& search, const SearchRun& run, void (*visit)(KrvObject bone, void* context), void* context) {
    int32_t count = 0;
    HostArray<KrvObject> weighting;
    weighting.adopt(weightingBones(run.object, &count), count);
    HostArray<int32_t> found;
    if (count < 0 || !found.allocate(count)) return false;
    int32_t n = 0;
    for (int32_t i = 0; i < count; ++i) {
        const int32_t b = indexedBone(search, weighting[i]);
        if (b >= 0 && search.bones[b].position >= run.first && search.bones[b].position < run.end) found[n++] = b;
    }
    std::sort(found.get(), found.get() + n);
    for (int32_t i = 0; i < n; ++i)
        if (i == 0 || found[i] != found[i - 1]) visit(search.bones[found[i]].bone, context);
    return true;
}

}  // namespace

bool beginBoneSearch(BoneSearch& search, KrvDocument document) {
    endBoneSearch(search);
    const KrvObject first = firstObject(document);
    int64_t objects = 0;
    int64_t polygons = 0;
    int64_t bones = 0;
    int32_t deepest = 0;
    const bool walked = visitDepthFirst(first, [&](KrvObject o, int32_t depth) {
        ++objects;
        if (isInstance(o, KRV_TYPE_POLYGON)) ++polygons;
        if (isInstance(o, KRV_TYPE_BONE)) ++bones;
        if (depth > deepest) deepest = depth;
        return true;
    });
    if (!walked) return false;
    // Without bones every search finds nothing; without polygon objects only the
    // objects the export makes search, and they walk the scene. No index is needed.
    search.noBones = bones == 0;
    search.indexed = bones == 0 || polygons == 0;
    if (search.indexed) return true;
    if (objects > INT32_MAX / 4) return false;

    int32_t slots = 16;
    while (slots < 2 * polygons || slots < 2 * bones) slots *= 2;
    // The position of every open ancestor, and where every object's subtree ends.
    HostArray<int32_t> open, subtreeEnd, parentOf;
    const bool stored = open.allocate(int64_t{deepest} + 1) && subtreeEnd.allocate(objects) &&
                        parentOf.allocate(polygons) && search.bones.allocate(bones) && search.runs.allocate(polygons) &&
                        search.runSlots.allocate(2 * int64_t{slots});
    if (stored) {
        int32_t position = 0;
        const bool indexed = visitDepthFirst(
            first,
            [&](KrvObject o, int32_t depth) {
                open[depth] = position;
                if (isInstance(o, KRV_TYPE_POLYGON) && search.runCount < polygons) {
                    parentOf[search.runCount] = depth > 0 ? open[depth - 1] : -1;
                    search.runs[search.runCount++] = SearchRun{o, position, 0};
                }
                if (isInstance(o, KRV_TYPE_BONE) && search.boneCount < bones)
                    search.bones[search.boneCount++] = IndexedBone{position, o};
                ++position;
                return true;
            },
            [&](int32_t depth) { subtreeEnd[open[depth]] = position; });
        if (!indexed) {
            endBoneSearch(search);
            return false;
        }
        search.runSlots.fill(0xFF);
        search.boneSlots = search.runSlots + slots;
        search.slots = slots;
        for (int32_t b = 0; b < search.boneCount; ++b) indexObject(search.boneSlots, slots, search.bones[b].bone, b);
        for (int32_t r = 0; r < search.runCount; ++r) {
            SearchRun& run = search.runs[r];
            run.end = parentOf[r] < 0 ? position : subtreeEnd[parentOf[r]];
            indexObject(search.runSlots, slots, run.object, r);
        }
    }
    if (!stored) endBoneSearch(search);
    search.indexed = stored;
    return stored;
}

void endBoneSearch(BoneSearch& search) { search = BoneSearch{}; }

bool forEachSearchedBone(const BoneSearch& search, KrvObject object, void (*visit)(KrvObject bone, void* context), void* context) {
    if (!search.indexed) return false;
    if (search.noBones) return true;
    if (search.slots == 0) return false;
    const int32_t r =
        findIndexedObject(search.runSlots, search.slots, object, [&](int32_t i) { return search.runs[i].object == object; });
    if (r < 0) return false;
    const SearchRun& run = search.runs[r];
    if (visitWeightingBones(search, run, visit, context)) return true;
    // The first bone at or after the run's start.
    int32_t low = 0;
    int32_t high = search.boneCount;
    while (low < high) {
        const int32_t middle = low + (high - low) / 2;
        if (search.bones[middle].position < run.first)
            low = middle + 1;
        else
            high = middle;
    }
    for (int32_t b = low; b < search.boneCount && search.bones[b].position < run.end; ++b)
        visit(search.bones[b].bone, context);
    return true;
}

}  // namespace dorna
