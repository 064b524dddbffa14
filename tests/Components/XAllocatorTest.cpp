#include "Components/XAllocator.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <new>
#include <vector>

namespace
{
// Records start at the alignment of any type.
size_t RoundUp(size_t n)
{
    const size_t a = alignof(std::max_align_t);
    return (n + a - 1) / a * a;
}
} // namespace

TEST(XAllocatorTest, CarvesFromBlocksOf16384Bytes)
{
    XAllocator allocator;
    EXPECT_EQ(allocator.GetBlockSize(), 16384u);
    EXPECT_EQ(allocator.GetBlockCount(), 0u);

    char* first = static_cast<char*>(allocator.Alloc(16000));
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(allocator.GetBlockCount(), 1u);
    std::memset(first, 1, 16000);
    char* second = static_cast<char*>(allocator.Alloc(500));
    EXPECT_EQ(allocator.GetBlockCount(), 2u);
    std::memset(second, 2, 500);
    // The second block's start: no request spans two blocks.
    EXPECT_TRUE(second < first || second >= first + 16384);
    char* third = static_cast<char*>(allocator.Alloc(100));
    EXPECT_EQ(third, second + RoundUp(500));
    EXPECT_EQ(first[15999], 1);

    // A whole block fits exactly and takes a block of its own.
    char* whole = static_cast<char*>(allocator.Alloc(16384));
    EXPECT_EQ(allocator.GetBlockCount(), 3u);
    std::memset(whole, 3, 16384);
    char* after = static_cast<char*>(allocator.Alloc(1));
    EXPECT_EQ(allocator.GetBlockCount(), 4u);
    EXPECT_TRUE(after < whole || after >= whole + 16384);

    allocator.Clear();
    EXPECT_EQ(allocator.GetBlockCount(), 0u);
    EXPECT_NE(allocator.Alloc(1), nullptr);
    EXPECT_EQ(allocator.GetBlockCount(), 1u);
}

TEST(XAllocatorTest, EveryPointerIsAlignedAndInsideItsBlock)
{
    XAllocator allocator;
    std::vector<std::pair<char*, unsigned>> records;
    unsigned sizes[] = {1, 3, 16, 17, 250, 4096, 7, 16383};
    for (int round = 0; round < 40; ++round)
        for (unsigned n : sizes)
        {
            char* p = static_cast<char*>(allocator.Alloc(n));
            EXPECT_EQ(reinterpret_cast<uintptr_t>(p) % alignof(std::max_align_t), 0u);
            std::memset(p, static_cast<int>(records.size() & 0xFF), n);
            records.emplace_back(p, n);
        }
    // More blocks than the first four slots: the slot list grew and nothing overlapped.
    EXPECT_GT(allocator.GetBlockCount(), 8u);
    for (size_t i = 0; i < records.size(); ++i)
        for (unsigned k = 0; k < records[i].second; k += 97)
            ASSERT_EQ(static_cast<unsigned char>(records[i].first[k]), i & 0xFF) << i;
}

TEST(XAllocatorTest, RequestLargerThanABlockIsRefused)
{
    XAllocator allocator;
    EXPECT_THROW(allocator.Alloc(16385), std::bad_alloc);
    EXPECT_EQ(allocator.GetBlockCount(), 0u);
    char* p = static_cast<char*>(allocator.Alloc(10));
    EXPECT_THROW(allocator.Alloc(0xFFFFFFFFu), std::bad_alloc);
    // Unchanged: the next record follows the first in the same block.
    EXPECT_EQ(static_cast<char*>(allocator.Alloc(10)), p + RoundUp(10));
    EXPECT_EQ(allocator.GetBlockCount(), 1u);
}
