// olestore_test.cpp - the lock bytes' range arithmetic: reads and writes are cut
// to the data, file positions never leave 32 bits, memory blocks never grow
// past their capacity.
#include <gtest/gtest.h>

#include "session/util/olestore.h"

namespace {

TEST(LockBytesRange, ReadsAreCutToTheData) {
    struct Case {
        uint64_t offset;
        uint32_t n, size, want;
        const char* why;
    };
    const Case cases[] = {
        {0, 10, 100, 10, "inside"},
        {95, 10, 100, 5, "cut at the end"},
        {100, 10, 100, 0, "at the end: nothing"},
        {101, 10, 100, 0, "past the end"},
        {0, 0, 100, 0, "nothing asked"},
        {0, 0xFFFFFFFFu, 100, 100, "a huge count"},
        {0xFFFFFFFFull, 1, 0xFFFFFFFFu, 0, "the last 32-bit offset of a full region"},
        {0xFFFFFFFEull, 8, 0xFFFFFFFFu, 1, "one byte before the end of a full region"},
        {0x100000000ull, 1, 0xFFFFFFFFu, 0, "an offset past 2^32"},
        {0xFFFFFFFFFFFFFFFFull, 1, 0xFFFFFFFFu, 0, "the largest offset"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.want, LockBytesReadCount(c.offset, c.n, c.size)) << c.why;
        EXPECT_EQ(c.want, LockBytesWriteCount(c.offset, c.n, c.size)) << "writes alike: " << c.why;
    }
}

TEST(LockBytesRange, FilePositionsStayIn32Bits) {
    struct Case {
        uint32_t base;
        uint64_t offset;
        uint32_t n;
        bool ok;
        uint32_t pos;
        const char* why;
    };
    const Case cases[] = {
        {1000, 0, 512, true, 1000, "the region's start"},
        {1000, 512, 512, true, 1512, "inside"},
        {0xFFFFFF00u, 0xFF, 1, true, 0xFFFFFFFFu, "the last byte of the 32-bit range"},
        {0xFFFFFF00u, 0x100, 1, false, 0, "one past the 32-bit range"},
        {0xFFFFFF00u, 0xF0, 0x20, false, 0, "a write running past 2^32"},
        {0, 0x100000000ull, 0, false, 0, "an offset of 2^32"},
        {0xFFFFFF00u, 0x100, 0, false, 0, "an empty transfer at exactly 2^32"},
        {1, 0xFFFFFFFFFFFFFFFFull, 1, false, 0, "the largest offset does not wrap"},
    };
    for (const Case& c : cases) {
        uint32_t pos = 0;
        EXPECT_EQ(c.ok, LockBytesFilePos(c.base, c.offset, c.n, &pos)) << c.why;
        if (c.ok) {
            EXPECT_EQ(c.pos, pos) << c.why;
        }
    }
}

TEST(LockBytesRange, MemoryBlocksKeepTheirCapacity) {
    EXPECT_TRUE(LockBytesSizeFits(0, 0));
    EXPECT_TRUE(LockBytesSizeFits(4096, 4096));
    EXPECT_FALSE(LockBytesSizeFits(4097, 4096)) << "one byte past the capacity";
    EXPECT_FALSE(LockBytesSizeFits(0x100000000ull, 0xFFFFFFFFu)) << "beyond 32 bits";
}

}  // namespace
