// events_comargs_test.cpp - the argument copies of COM events in the queue:
// owned by their entry, current from the take until the next wait or poll,
// dropped with their object or at the cleanup, kept by the caller when refused.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "objects/events.h"
#include "objects/objhooks.h"
#include "objects/objrecord.h"
#include "session/util/mem.h"

namespace {

std::vector<std::string> gLog;
int gBlocks[8];

void FreeArgs(void* a) { gLog.push_back("free " + std::to_string(static_cast<int*>(a) - gBlocks)); }
void CurrentArgs(void* a) { gLog.push_back(a ? "current " + std::to_string(static_cast<int*>(a) - gBlocks) : "none"); }

class ComEventArgs : public ::testing::Test {
protected:
    ObjectRecord* rec = nullptr;
    void SetUp() override {
        rec = ObjectAllocRecord(kKindAutomation, sizeof(ObjectRecord), false);
        gComObjectHooks.eventArgsFree = FreeArgs;
        gComObjectHooks.eventArgsCurrent = CurrentArgs;
        gLog.clear();
    }
    void TearDown() override {
        EventCleanup();
        gComObjectHooks.eventArgsFree = nullptr;
        gComObjectHooks.eventArgsCurrent = nullptr;
        ObjectUnregister(rec);
        LocalFreeMem(rec);
    }
};

TEST_F(ComEventArgs, CopiesLiveFromTakeToTheNextWait) {
    const uint32_t kId = static_cast<uint32_t>(-600);   // a standard negative DISPID
    EXPECT_FALSE(PostEventComArgs(rec, kId, nullptr, 0, &gBlocks[0])) << "not registered: the caller keeps it";
    ASSERT_EQ(0, EventRegister(rec, kId, nullptr, false, nullptr, 0));
    ASSERT_TRUE(PostEventComArgs(rec, kId, nullptr, 0, &gBlocks[1]));
    ASSERT_TRUE(PostEventComArgs(rec, kId, nullptr, 0, &gBlocks[2]));
    EventRecord ev;
    ASSERT_TRUE(EventTakeNext(&ev, nullptr, nullptr));
    EXPECT_EQ(ev.eventId, -600);
    EventReleaseTaken();
    EventReleaseTaken();
    ASSERT_TRUE(EventTakeNext(&ev, nullptr, nullptr));
    // Taking the next event without a wait between drops the previous copies first.
    ASSERT_TRUE(PostEventComArgs(rec, kId, nullptr, 0, &gBlocks[3]));
    ASSERT_TRUE(EventTakeNext(&ev, nullptr, nullptr));
    const std::vector<std::string> want = {"current 1", "none", "free 1", "current 2", "none", "free 2", "current 3"};
    EXPECT_EQ(gLog, want);
}

TEST_F(ComEventArgs, DroppedWithTheirObjectAndAtCleanup) {
    ASSERT_EQ(0, EventRegister(rec, 7, nullptr, false, nullptr, 0));
    ASSERT_TRUE(PostEventComArgs(rec, 7, nullptr, 0, &gBlocks[4]));
    RemoveAllEventsForObj(rec);
    EXPECT_EQ(gLog, std::vector<std::string>{"free 4"}) << "a destroyed object's queued copies go";
    ASSERT_EQ(0, EventRegister(rec, 7, nullptr, false, nullptr, 0));
    ASSERT_TRUE(PostEventComArgs(rec, 7, nullptr, 0, &gBlocks[5]));
    gLog.clear();
    EventCleanup();
    EXPECT_EQ(gLog, std::vector<std::string>{"free 5"});
}

}  // namespace
