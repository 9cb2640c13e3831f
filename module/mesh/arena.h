// The storage of one mesh conversion. A mesh needs a few small blocks per point
// (corner lists, smoothing groups, texture coordinates); taking each from the host
// would cost one host call per block. The arena carves them from large blocks taken
// from the host instead, keeps returned ones for reuse by size, and gives everything
// back at once when the mesh is released.
#pragma once

#include <cstddef>

namespace dorna {

// Blocks up to this size come from the arena's chunks, rounded up to 8 bytes; larger
// ones are taken from the host one by one and tracked, so that releasing the arena
// returns them too.
constexpr size_t kLargestArenaBlock = 512;
constexpr size_t kArenaSizeClasses = kLargestArenaBlock / 8;

// All fields zero is an empty arena: a cleared mesh needs no set-up.
struct MeshArena {
    unsigned char* cursor;
    unsigned char* end;
    void* chunks;          // taken from the host, each starting with the link to the next
    void* largeBlocks;     // the blocks above kLargestArenaBlock, doubly linked
    size_t nextChunkBytes;
    void* freeBlocks[kArenaSizeClasses];  // returned small blocks, one list per size
};

// A block of at least `bytes` bytes, aligned for pointers; null when the host refuses.
void* arenaAlloc(MeshArena& arena, size_t bytes);
// Returns a block taken with the same `bytes`; null is ignored.
void arenaFree(MeshArena& arena, void* block, size_t bytes);
// Gives every block back to the host and leaves the arena empty.
void releaseArena(MeshArena& arena);

}  // namespace dorna
