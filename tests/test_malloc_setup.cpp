// The allocator's set-up: a large block freed does not draw later
// frame-sized blocks into the arenas.
#include "platform/core/malloc_setup.h"

#include <gtest/gtest.h>
#include <malloc.h>

#include <cstdlib>
#include <cstring>

namespace {
void* volatile g_block;  // keeps the compiler from leaving the blocks out

// In a child process, so that the allocator's state is its own: frees a
// 4 MiB block, then exits with 0 when a 256 KiB block still gets pages of
// its own.
[[noreturn, maybe_unused]] void AfterALargeFree(bool setUp) {
  if (setUp) KeepLargeBlocksOnTheirOwnPages();
  g_block = std::malloc(4 << 20);
  std::memset(g_block, 1, 4096);
  std::free(g_block);
  g_block = std::malloc(256 << 10);
  const bool ownPages = mallinfo2().hblks >= 1;
  std::free(g_block);
  std::_Exit(ownPages ? 0 : 1);
}
}  // namespace

TEST(MallocSetup, FrameSizedBlocksKeepPagesOfTheirOwnAfterALargeFree) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  GTEST_SKIP() << "the sanitizers bring allocators of their own";
#else
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(AfterALargeFree(true), testing::ExitedWithCode(0), "");
  // Without the set-up the threshold follows the large block.
  EXPECT_EXIT(AfterALargeFree(false), testing::ExitedWithCode(1), "");
#endif
}
