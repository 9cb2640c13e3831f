#include "korvo/files/platform.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace korvo {
namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kOwnAllocator = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kOwnAllocator = true;
#else
constexpr bool kOwnAllocator = false;
#endif
#else
constexpr bool kOwnAllocator = false;
#endif

#if defined(__GLIBC__)
// Where the block goes, so that the compiler keeps its allocation.
void* volatile heldBlock = nullptr;

// Blocks the C library has mapped apart from its heap, while `bytes` are held.
size_t mappedBlocksWhileHolding(size_t bytes) {
    void* block = std::malloc(bytes);
    heldBlock = block;
    std::memset(block, 1, bytes);
    const size_t mapped = mallinfo2().hblks;
    std::free(block);
    return mapped;
}
#endif

// A batch worker exports model after model: memory kept for one export must be handed
// back when it ends, and large blocks mapped apart again.
TEST(Platform, FreedMemoryIsKeptOnlyWhileAsked) {
#if defined(__GLIBC__)
    if (kOwnAllocator) GTEST_SKIP() << "the sanitizer's allocator replaces the C library's";
    constexpr size_t kLarge = size_t{64} << 20;
    const size_t before = mallinfo2().hblks;
    platform::keepFreedMemory(true);
    EXPECT_EQ(mappedBlocksWhileHolding(kLarge), before);  // from the heap
    EXPECT_GE(mallinfo2().fordblks, kLarge);              // and kept there when freed
    platform::keepFreedMemory(false);
    EXPECT_LT(mallinfo2().fordblks, kLarge);  // handed back
    EXPECT_EQ(mappedBlocksWhileHolding(kLarge), before + 1);
#else
    GTEST_SKIP() << "the C library's allocator is asked only where it is glibc";
#endif
}

}  // namespace
}  // namespace korvo
