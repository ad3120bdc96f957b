// Filled blocks: large ones on their own huge-page-aligned mapping, small ones from malloc; both
// hold every byte asked for and give it back.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/memory_tuning.h"

namespace platform {
namespace {

TEST(FilledBlocks, LargeAndSmallBlocksHoldWhatWasAskedFor) {
    for (size_t bytes : {size_t(1), size_t(4096), kHugePageBlock - 1, kHugePageBlock, size_t(3) * 1024 * 1024 + 5}) {
        auto* block = static_cast<uint8_t*>(allocateFilledBlock(bytes));
        ASSERT_NE(block, nullptr) << bytes;
        if (bytes >= kHugePageBlock) {
            EXPECT_EQ(reinterpret_cast<uintptr_t>(block) % (2 * 1024 * 1024), 0u) << bytes;
            EXPECT_EQ(block[0], 0);  // fresh pages read as zero
            EXPECT_EQ(block[bytes - 1], 0);
        }
        std::memset(block, 0x5A, bytes);
        EXPECT_EQ(block[bytes - 1], 0x5A);
        releaseFilledBlock(block, bytes);
    }
    releaseFilledBlock(nullptr, kHugePageBlock);  // nothing to give back
}

TEST(FilledBlocks, AVectorGrowsAcrossTheLargeBlockSize) {
    std::vector<int32_t, FilledBlockAllocator<int32_t>> words;
    for (int32_t k = 0; k < 400000; ++k) words.push_back(k);  // passes 512 KB and 1 MB while growing
    for (int32_t k = 0; k < 400000; k += 9973) ASSERT_EQ(words[size_t(k)], k);
    std::vector<int32_t, FilledBlockAllocator<int32_t>> copy = words;
    EXPECT_EQ(copy, words);
}

}  // namespace
}  // namespace platform
