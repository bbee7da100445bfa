// events_test.cpp - registrations, the 50-entry queue, and the event message the
// server receives for a posted event, in the new and the old layout.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "objects/events.h"
#include "objects/objcreate.h"
#include "objects/objhooks.h"
#include "session/util/mem.h"
#include "session/util/strutil.h"
#include "tests/testutil.h"

namespace {

class Events : public ::testing::Test {
protected:
    ObjectRecord* rec = nullptr;
    void SetUp() override {
        rec = ObjectAllocRecord(kKindStatText, sizeof(ObjectRecord), false);
        rec->ovar = 0x0A0B0C0D;
        rec->objectId = 12;
    }
    void TearDown() override {
        EventCleanup();
        EXPECT_EQ(0u, EventQueueCount());
        ObjectUnregister(rec);
        LocalFreeMem(rec);
    }
};

TEST_F(Events, MasksFollowRegistrations) {
    struct Case { uint32_t id; uint32_t word; uint32_t bit; };
    const Case kCases[] = {{0, 0, 1u}, {4, 0, 1u << 4}, {31, 0, 1u << 31}, {32, 1, 1u}, {36, 1, 1u << 4}};
    for (const Case& c : kCases) {
        ASSERT_EQ(0, EventRegister(rec, c.id, nullptr, false, nullptr, 0));
        EXPECT_EQ(c.bit, rec->eventMask[c.word] & c.bit) << c.id;
        EventUnregister(rec, c.id);
        EXPECT_EQ(0u, rec->eventMask[c.word]) << c.id;
    }
    ASSERT_EQ(0, EventRegister(rec, kEvJQuery, nullptr, false, nullptr, 0));
    EXPECT_EQ(0u, rec->eventMask[0] | rec->eventMask[1]) << "ids above 36 have no mask bit";
    EXPECT_TRUE(EventIsRegistered(rec, kEvJQuery));
}

TEST_F(Events, OnlyRegisteredEventsAreQueued) {
    EXPECT_FALSE(PostObjectEvent(rec, kEvClick, 32, 0, 0));
    ASSERT_EQ(0, EventRegister(rec, kEvClick, nullptr, false, nullptr, 0));
    EXPECT_TRUE(PostObjectEvent(rec, kEvClick, 32, 0, 0));
    EventUnregister(rec, kEvClick);
    EXPECT_FALSE(PostObjectEvent(rec, kEvClick, 32, 0, 0));
    EXPECT_EQ(1u, EventQueueCount());
}

TEST_F(Events, TheFiftyFirstEventIsRefusedAndTheTextStaysWithTheCaller) {
    ASSERT_EQ(0, EventRegister(rec, kEvChange, nullptr, false, nullptr, 0));
    for (int i = 0; i < 50; ++i) ASSERT_TRUE(PostObjectEvent(rec, kEvChange, 32, 0, i)) << i;
    char* text = DupStr("kept");
    EXPECT_FALSE(PostEvent(rec, kEvChange, 32, 0, 50, 0, text, 0));
    EXPECT_STREQ("kept", text) << "a refused event leaves its text to the caller";
    LocalFreeMem(text);
    EXPECT_EQ(50u, EventQueueCount());
    EventRecord ev;
    ASSERT_TRUE(EventTakeNext(&ev, nullptr, nullptr));
    EXPECT_EQ(0, ev.value) << "first in, first out";
    EXPECT_TRUE(PostObjectEventFirst(rec, kEvChange, 32, 0, 99));
    ASSERT_TRUE(EventTakeNext(&ev, nullptr, nullptr));
    EXPECT_EQ(99, ev.value) << "PostObjectEventFirst goes to the head";
}

TEST_F(Events, ArgumentsFillTheRegisteredItems) {
    EventItem templ[2] = {};
    templ[0].kind = kItemInt;
    templ[0].varRef = 501;
    templ[1].kind = kItemText8;
    templ[1].varRef = 502;
    ASSERT_EQ(0, EventRegister(rec, kEvUpdated, nullptr, true, templ, 2));
    EventItem args[2] = {};
    args[0].kind = kItemInt;
    args[0].value = 42;
    char word[] = "word";
    args[1].kind = kItemText8;
    args[1].size = 4;
    args[1].data = word;
    ASSERT_TRUE(PostEventIfRegistered(rec, kEvUpdated, args, 2));
    memcpy(word, "XXXX", 4);   // the queue holds its own copy
    EXPECT_FALSE(PostEventIfRegistered(rec, kEvClick, args, 2));
    EventRecord ev;
    EventItem items[kEventRegItems];
    uint32_t n = 0;
    ASSERT_TRUE(EventTakeNext(&ev, items, &n));
    ASSERT_EQ(2u, n);
    EXPECT_EQ(1, ev.urgent);
    EXPECT_EQ(42u, items[0].value);
    EXPECT_EQ(501u, items[0].varRef);
    EXPECT_EQ(502u, items[1].varRef);
    EXPECT_EQ(0, memcmp(items[1].data, "word", 4));
}

// The 1142 message of a posted event, laid out by hand.
std::vector<uint8_t> Expected(uint32_t head, uint32_t handle, const char* text) {
    uint32_t tl = static_cast<uint32_t>(strlen(text));
    std::vector<uint8_t> m(head + tl, 0);
    auto put = [&m](size_t at, uint32_t v) { for (int i = 0; i < 4; ++i) m[at + i] = (v >> (8 * i)) & 0xFF; };
    put(0, head + tl);
    put(4, 1142);
    put(16, handle);
    put(20, 0x0A0B0C0D);
    put(24, 12);
    put(28, 4);          // $CLICK
    m[32] = 32;          // kind
    m[33] = 0;           // urgent
    m[34] = 0x02;        // modifiers 2
    put(36, 7);          // value
    put(40, 0);          // extra
    put(44, tl);
    put(48, head);       // the text follows the head
    memcpy(&m[head], text, tl);
    return m;
}

TEST_F(Events, PostedEventBuildsTheEventMessage) {
    ASSERT_EQ(0, EventRegister(rec, kEvClick, nullptr, false, nullptr, 0));
    struct Case { uint32_t version; uint32_t head; };
    const Case kCases[] = {{9404, 72}, {9403, 68}};
    for (const Case& c : kCases) {
        char* text = DupStr("hi");
        ASSERT_TRUE(PostEvent(rec, kEvClick, 32, 2, 7, 0, text, 0));
        EventRecord ev;
        ASSERT_TRUE(EventTakeNext(&ev, nullptr, nullptr));
        MsgBuf buf = {};
        ASSERT_TRUE(MsgBuildEvent(&buf, &ev, c.version, 0, false));
        std::vector<uint8_t> got(buf.data, buf.data + buf.used);
        EXPECT_EQ(Expected(c.head, rec->handle, "hi"), got) << "server version " << c.version;
        MsgBufFree(&buf);
    }
}

uint32_t gFakeNow;
int gPumps;
uint32_t FakeTick() { return gFakeNow; }
bool FakePump() {
    ++gPumps;
    gFakeNow += 10;
    return gPumps < 1000;
}

TEST_F(Events, WaitsPumpUntilAnEventOrTheLimit) {
    ScopedSet tick(gObjectHooks.tickCount, FakeTick);
    ScopedSet pump(gObjectHooks.pump, FakePump);
    gPumps = 0;
    EXPECT_EQ(kEventTimedOut, EventWaitLoop(false, 100));
    EXPECT_EQ(10, gPumps);
    EXPECT_EQ(kEventPumpFailed, EventWaitLoop(true, 0)) << "a failing pump ends the wait";
    gPumps = 0;
    ASSERT_EQ(0, EventRegister(rec, kEvClick, nullptr, false, nullptr, 0));
    ASSERT_TRUE(PostObjectEvent(rec, kEvClick, 32, 0, 0));
    EXPECT_EQ(kEventReady, EventWaitLoop(true, 0));
    EXPECT_EQ(0, gPumps) << "no pump while an event waits";
    EXPECT_EQ(kEventReady, EventCheckPending());
    EventSetWaitEnd(true);
    EXPECT_EQ(kEventWaitEnded, EventCheckPending());
    EventSetWaitEnd(false);
}

}  // namespace
