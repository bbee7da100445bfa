// mem_test.cpp - the memory wrappers.
#include <gtest/gtest.h>

#include "session/util/mem.h"

TEST(Memory, LocalBlocksAreZeroFilledAndNullIsIgnored) {
    auto* p = static_cast<unsigned char*>(LocalAllocZero(64));
    ASSERT_NE(p, nullptr);
    for (int i = 0; i < 64; i++) EXPECT_EQ(p[i], 0) << i;
    LocalFreeMem(p);
    LocalFreeMem(nullptr);
    GuardedFree(nullptr);
}
