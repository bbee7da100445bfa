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

#include "session/util/handles.h"

TEST(Handles, CountedPerKindNeverTheAddressAndNotReusedSoon) {
    HandleCleanup();
    int a = 0, b = 0;
    uint32_t ha = HandleNew(kHandleObject, &a);
    uint32_t hb = HandleNew(kHandleObject, &b);
    EXPECT_EQ(ha, kHandleFirst);
    EXPECT_EQ(hb, kHandleFirst + 1);
    EXPECT_EQ(HandleNew(kHandlePrintJob, &a), kHandleFirst) << "each kind counts on its own";
    EXPECT_EQ(HandleLookup(kHandleObject, ha), &a);
    EXPECT_EQ(HandleLookup(kHandleSound, ha), nullptr) << "a handle of another kind finds nothing";
    HandleRemove(kHandleObject, ha);
    EXPECT_EQ(HandleLookup(kHandleObject, ha), nullptr);
    EXPECT_FALSE(HandleHasRecord(kHandleObject, &a));
    uint32_t again = HandleNew(kHandleObject, &a);
    EXPECT_NE(again, ha) << "the same record gets a new number: the old one stays dead";
    EXPECT_EQ(HandleCount(kHandleObject), 2u);
    EXPECT_EQ(HandleNew(kHandleObject, nullptr), 0u);
    HandleCleanup();
    EXPECT_EQ(HandleCount(kHandleObject), 0u);
}
