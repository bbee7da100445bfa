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
    EXPECT_EQ(ha, kHandleRangeObject.first);
    EXPECT_EQ(hb, kHandleRangeObject.first + 1);
    EXPECT_EQ(HandleNew(kHandlePrintJob, &a), kHandleRangePrintJob.first) << "each kind counts on its own";
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

// A server that sends a handle of one kind where another belongs must find
// nothing: the first object and the first print job used to share 0x1000.
TEST(Handles, KindsCountInRangesThatNeverMeet) {
    HandleCleanup();
    const HandleKind kinds[] = {kHandleObject, kHandlePrintJob, kHandlePrinterFile, kHandleSound};
    int records[4] = {};
    uint32_t first[4];
    for (int i = 0; i < 4; i++) {
        first[i] = HandleNew(kinds[i], &records[i]);
        HandleRange r = HandleRangeOf(kinds[i]);
        EXPECT_EQ(first[i], r.first) << "kind " << kinds[i] << " starts at its range";
        EXPECT_LT(r.last, 0x80000000u) << "kind " << kinds[i] << " stays positive as a signed word";
        EXPECT_NE(r.first, 0u);
        for (int j = 0; j < i; j++) {
            HandleRange o = HandleRangeOf(kinds[j]);
            EXPECT_TRUE(r.last < o.first || o.last < r.first) << "kinds " << kinds[i] << " and " << kinds[j];
            EXPECT_EQ(HandleLookup(kinds[j], first[i]), nullptr) << "a handle of kind " << kinds[i]
                                                                  << " finds nothing as kind " << kinds[j];
        }
    }
    EXPECT_EQ(kHandleRangeObject.first, 0x1000u) << "objects keep the numbers the server knows";
    EXPECT_EQ(HandleRangeOf(static_cast<HandleKind>(0)).first, 0u);
    EXPECT_EQ(HandleNew(static_cast<HandleKind>(0), &records[0]), 0u) << "no kind, no handle";
    HandleCleanup();
}

TEST(Handles, RemovedByRecordWhateverItsHandle) {
    HandleCleanup();
    int a = 0, b = 0;
    uint32_t ha = HandleNew(kHandleObject, &a);
    uint32_t hb = HandleNew(kHandleObject, &b);
    HandleRemoveRecord(kHandleObject, &a);
    EXPECT_EQ(HandleLookup(kHandleObject, ha), nullptr);
    EXPECT_EQ(HandleLookup(kHandleObject, hb), &b) << "the other record stays";
    HandleRemoveRecord(kHandleObject, &a);
    EXPECT_EQ(HandleCount(kHandleObject), 1u) << "removing it twice changes nothing";
    HandleCleanup();
}

// Thousands of records come and go in a random order, by handle, by record and
// under chosen handles: every lookup agrees with a plain model of what is live,
// and the enumeration holds exactly the live records.
#include <map>
#include <random>
#include <vector>

TEST(Handles, ManyRecordsComeAndGoAsTheModelSays) {
    HandleCleanup();
    constexpr int kRecords = 6000, kSteps = 60000;
    std::vector<int> records(kRecords);
    std::map<uint32_t, void*> byHandle;
    std::mt19937 rng(20261207);
    auto check = [&](uint32_t h) {
        auto it = byHandle.find(h);
        void* want = it == byHandle.end() ? nullptr : it->second;
        ASSERT_EQ(HandleLookup(kHandleObject, h), want) << "handle " << h;
    };
    for (int step = 0; step < kSteps; step++) {
        int op = int(rng() % 10);
        if (op < 5 || byHandle.empty()) {
            void* rec = &records[rng() % kRecords];
            bool live = false;
            for (auto& e : byHandle) live = live || e.second == rec;
            if (live) continue;  // a record is registered once
            uint32_t h = op == 0 ? kHandleRangeObject.first + rng() % 50000 : HandleNew(kHandleObject, rec);
            if (op == 0) {
                ASSERT_TRUE(HandleAdd(kHandleObject, h, rec));
            }
            ASSERT_NE(h, 0u);
            byHandle[h] = rec;
        } else {
            auto it = byHandle.begin();
            std::advance(it, rng() % byHandle.size());
            uint32_t h = it->first;
            void* rec = it->second;
            if (op < 8) HandleRemove(kHandleObject, h);
            else HandleRemoveRecord(kHandleObject, rec);
            byHandle.erase(it);
            ASSERT_FALSE(HandleHasRecord(kHandleObject, rec));
            check(h);
        }
        if (step % 97 == 0) {
            for (int k = 0; k < 20; k++) check(kHandleRangeObject.first + rng() % 60000);
            for (auto& e : byHandle) ASSERT_TRUE(HandleHasRecord(kHandleObject, e.second));
        }
    }
    ASSERT_EQ(HandleCount(kHandleObject), byHandle.size());
    std::map<void*, int> seen;
    for (uint32_t i = 0; i < HandleCount(kHandleObject); i++) seen[HandleRecordAt(kHandleObject, i)]++;
    for (auto& e : byHandle) EXPECT_EQ(seen[e.second], 1) << "each live record once";
    HandleCleanup();
}
