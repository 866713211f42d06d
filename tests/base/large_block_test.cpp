#include "base/large_block.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

// The C library's heap, not a sanitizer's, which keeps blocks of its own.
#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KESTRUNE_SANITIZED_HEAP
#endif
#endif
#ifdef __SANITIZE_ADDRESS__
#define KESTRUNE_SANITIZED_HEAP
#endif
#if defined(__GLIBC__) && !defined(KESTRUNE_SANITIZED_HEAP)
#define KESTRUNE_GLIBC_HEAP
#include <malloc.h>
#endif

namespace kestrune {
namespace {

#ifdef KESTRUNE_GLIBC_HEAP
// A block the compiler may not leave out, written so that its pages are the process's.
char* Used(size_t size) {
    char* block = static_cast<char*>(std::malloc(size));
    std::memset(block, 'x', size);
    asm volatile("" : : "r"(block) : "memory");
    return block;
}

// A restore frees the file it read (megabytes), then builds and frees lists and indexes of a
// few megabytes each: those too get memory of their own and give it back, instead of leaving
// room in the heap that the process keeps.
TEST(LargeBlocks, AfterALargerBlockIsFreedLargeBlocksStillGoBackToTheSystem) {
    ReturnLargeBlocksWhenFreed();
    std::free(Used(size_t(16) << 20));
    const size_t heap = mallinfo2().arena;
    char* list = Used(size_t(4) << 20);
    EXPECT_GE(mallinfo2().hblkhd, size_t(4) << 20);
    std::free(list);
    EXPECT_LT(mallinfo2().arena, heap + kOwnMappingBytes);
}
#endif

} // namespace
} // namespace kestrune
