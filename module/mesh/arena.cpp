#include "mesh/arena.h"

#include <cstdint>

#include "host/host.h"

namespace dorna {

namespace {

constexpr size_t kGranule = 8;
constexpr size_t kFirstChunkBytes = 64 * 1024;
constexpr size_t kLargestChunkBytes = 8 * 1024 * 1024;
// Keeps the blocks behind a chunk or large-block header aligned like the host's own.
constexpr size_t kHeaderBytes = 16;

struct LargeBlockHeader {
    LargeBlockHeader* previous;
    LargeBlockHeader* next;
};
static_assert(sizeof(LargeBlockHeader) <= kHeaderBytes, "large block header fits");

size_t sizeClass(size_t bytes) { return bytes == 0 ? 0 : (bytes - 1) / kGranule; }

bool takeChunk(MeshArena& arena, size_t atLeast) {
    size_t bytes = arena.nextChunkBytes ? arena.nextChunkBytes : kFirstChunkBytes;
    if (bytes < atLeast + kHeaderBytes) bytes = atLeast + kHeaderBytes;
    auto* chunk = static_cast<unsigned char*>(hostAlloc(bytes));
    if (!chunk) return false;
    *reinterpret_cast<void**>(chunk) = arena.chunks;
    arena.chunks = chunk;
    arena.cursor = chunk + kHeaderBytes;
    arena.end = chunk + bytes;
    arena.nextChunkBytes = bytes < kLargestChunkBytes ? bytes * 2 : kLargestChunkBytes;
    return true;
}

void* allocLarge(MeshArena& arena, size_t bytes) {
    auto* header = static_cast<LargeBlockHeader*>(hostAlloc(bytes + kHeaderBytes));
    if (!header) return nullptr;
    header->previous = nullptr;
    header->next = static_cast<LargeBlockHeader*>(arena.largeBlocks);
    if (header->next) header->next->previous = header;
    arena.largeBlocks = header;
    return reinterpret_cast<unsigned char*>(header) + kHeaderBytes;
}

void freeLarge(MeshArena& arena, void* block) {
    auto* header = reinterpret_cast<LargeBlockHeader*>(static_cast<unsigned char*>(block) - kHeaderBytes);
    if (header->previous)
        header->previous->next = header->next;
    else
        arena.largeBlocks = header->next;
    if (header->next) header->next->previous = header->previous;
    hostFree(header);
}

}  // namespace

void* arenaAlloc(MeshArena& arena, size_t bytes) {
    if (bytes > kLargestArenaBlock) return allocLarge(arena, bytes);
    const size_t cls = sizeClass(bytes);
    if (void* reused = arena.freeBlocks[cls]) {
        arena.freeBlocks[cls] = *static_cast<void**>(reused);
        return reused;
    }
    const size_t rounded = (cls + 1) * kGranule;
    if (static_cast<size_t>(arena.end - arena.cursor) < rounded && !takeChunk(arena, rounded))
        return nullptr;
    void* block = arena.cursor;
    arena.cursor += rounded;
    return block;
}

void arenaFree(MeshArena& arena, void* block, size_t bytes) {
    if (!block) return;
    if (bytes > kLargestArenaBlock) {
        freeLarge(arena, block);
        return;
    }
    const size_t cls = sizeClass(bytes);
    *static_cast<void**>(block) = arena.freeBlocks[cls];
    arena.freeBlocks[cls] = block;
}

void releaseArena(MeshArena& arena) {
    for (void* chunk = arena.chunks; chunk;) {
        void* next = *static_cast<void**>(chunk);
        hostFree(chunk);
        chunk = next;
    }
    for (auto* header = static_cast<LargeBlockHeader*>(arena.largeBlocks); header;) {
        LargeBlockHeader* next = header->next;
        hostFree(header);
        header = next;
    }
    arena = MeshArena{};
}

}  // namespace dorna
