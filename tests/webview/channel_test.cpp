// channel_test.cpp - the page message channel against the recording page:
// batching and flush rules, query waits, incoming sorting, the event fetch and
// its guards, owners of closed windows.
#include <gtest/gtest.h>

#include "session/util/mem.h"
#include "webtest.h"
#include "tests/testutil.h"

TestView gViewA, gViewB;
std::vector<std::string> gDispatched;

class Channel : public ::testing::Test {
protected:
    void SetUp() override {
        ResetChannel();
        gCurWebView = &gViewA.page;
    }
    void TearDown() override { ResetChannel(); }
};

static std::string Actions(const RecPost& post) {
    std::string out;
    for (int a : RecActionsOf(post.text)) out += (out.empty() ? "" : ",") + std::to_string(a);
    return out;
}

static bool IsBatch(const RecPost& post) { return post.text.rfind("{ \"msgs\": [", 0) == 0; }

TEST_F(Channel, BatchingAndFlushRules) {
    struct Case {
        const char* why;
        void (*run)();
        std::vector<std::string> expectA;   // actions of each post to view A
        std::vector<std::string> expectB;
    };
    static const Case kCases[] = {
        {"commands wait in the batch until a flush", [] {
             SendCommand(1);
             SendCommand(2);
             WebViewMsgFlush();
         }, {"24,24"}, {}},
        {"a command for another view flushes the first view's batch", [] {
             SendCommand(1);
             gCurWebView = &gViewB.page;
             SendCommand(2);
             WebViewMsgFlush();
         }, {"24"}, {"24"}},
        {"a query with no open batch goes alone", [] {
             JsonBeginAction(9);
             WebViewMsgQuery();
         }, {"9"}, {}},
        {"a query behind an open batch is its last element", [] {
             SendCommand(1);
             JsonBeginAction(9);
             WebViewMsgQuery();
         }, {"24,9"}, {}},
        {"selecting an object of another view flushes", [] {
             SendCommand(1);
             WebViewSelectForObject(&gViewB.window.hdr);
             SendCommand(2);
             WebViewSelectForObject(&gViewA.window.hdr);
         }, {"24"}, {"24"}},
        {"a stray end after a batched message sends nothing more", [] {
             SendCommand(1);
             WebViewMsgEnd();
             WebViewMsgEnd();
             WebViewMsgFlush();
         }, {"24"}, {}},
        {"a closing host drops the batch it owns", [] {
             SendCommand(1);
             WebViewChannelHostClosing(&gViewA.page);
             WebViewMsgFlush();
         }, {}, {}},
        {"without a current web view nothing is posted", [] {
             gCurWebView = nullptr;
             SendCommand(1);
             WebViewMsgFlush();
             JsonBeginAction(9);
             EXPECT_EQ(WebViewMsgQuery(), nullptr);
         }, {}, {}},
    };
    for (const Case& c : kCases) {
        ResetChannel();
        gCurWebView = &gViewA.page;
        c.run();
        std::vector<std::string> gotA, gotB;
        for (const RecPost& p : gViewA.page.posts) gotA.push_back(Actions(p));
        for (const RecPost& p : gViewB.page.posts) gotB.push_back(Actions(p));
        EXPECT_EQ(gotA, c.expectA) << c.why;
        EXPECT_EQ(gotB, c.expectB) << c.why;
        EXPECT_EQ(gMsgBatch.length, 0u) << c.why;
    }
}

TEST_F(Channel, BatchesStayBelowTheLimitAndBigMessagesGoAlone) {
    std::string filler(900, 'x');
    for (int i = 0; i < 40; i++) {
        JsonBeginAction(26);
        JsonAddStringZ("pv", filler.c_str());
        WebViewMsgEnd();
        ASSERT_LT(gMsgBatch.length + 2, kMsgBatchLimit);
    }
    std::string big(kMsgBatchLimit - kMsgBatchSlack - 20, 'y');
    JsonBeginAction(26);
    JsonAddStringZ("pv", big.c_str());
    ASSERT_GE(gJsonMsgBuf.length + 1 + kMsgBatchSlack, kMsgBatchLimit);
    WebViewMsgEnd();
    const std::vector<RecPost>& posts = gViewA.page.posts;
    ASSERT_GE(posts.size(), 5u);
    for (size_t i = 0; i + 1 < posts.size(); i++) {
        EXPECT_TRUE(IsBatch(posts[i])) << "post " << i;
        EXPECT_LT(posts[i].text.size(), kMsgBatchLimit) << "post " << i;
    }
    EXPECT_FALSE(IsBatch(posts.back())) << "the big message goes alone, after the open batch";
    EXPECT_EQ(Actions(posts.back()), "26");
    size_t total = 0;
    for (const RecPost& p : posts) total += RecActionsOf(p.text).size();
    EXPECT_EQ(total, 41u) << "every message is sent exactly once";
}

TEST_F(Channel, QueryWaitsAboutFiftyMilliseconds) {
    struct Case {
        int delay;
        bool answered;
        const char* why;
    };
    static const Case kCases[] = {
        {0, true, "a reply queued before the wait"},
        {3, true, "a reply within the turns of the wait"},
        {5, true, "a reply on the last turn"},
        {6, false, "a late reply"},
        {kRecNever, false, "a page that never answers"},
    };
    for (const Case& c : kCases) {
        ResetChannel();
        gCurWebView = &gViewA.page;
        RecPageAnswer(&gViewA.page, 9, "{\"data\":\"v1\"}", c.delay);
        int sleeps = 0;
        static int* sSleeps;
        sSleeps = &sleeps;
        gWebHooks.sleepMs = [](uint32_t ms) { *sSleeps += static_cast<int>(ms); };
        JsonBeginAction(9);
        JsonValue* reply = WebViewMsgQuery();
        EXPECT_EQ(reply != nullptr, c.answered) << c.why;
        if (reply) EXPECT_STREQ(JsonGetText(reply, "data"), "v1") << c.why;
        if (!c.answered) {
            EXPECT_EQ(gViewA.page.pumpTurns, 1 + kReplyWaitTurns) << c.why;
            EXPECT_EQ(sleeps, 50) << c.why;
        }
        EXPECT_TRUE(gWebFetchAllowed) << c.why;
    }
}

TEST_F(Channel, LateReplyNeverAnswersALaterQuery) {
    RecPageAnswer(&gViewA.page, 9, "{\"data\":\"late\"}", 7);
    RecPageAnswer(&gViewA.page, 28, "{\"data\":\"css\"}", kRecNever);
    JsonBeginAction(9);
    EXPECT_EQ(WebViewMsgQuery(), nullptr);
    PumpBoth();
    PumpBoth();
    ASSERT_NE(gWebReply, nullptr) << "the late reply lands in the slot";
    JsonBeginAction(28);
    EXPECT_EQ(WebViewMsgQuery(), nullptr) << "the next send discarded it";
}

TEST_F(Channel, IncomingMessagesAreSorted) {
    struct Case {
        const char* text;
        uint32_t loaded, events;
        bool reply;
        const char* why;
    };
    static const Case kCases[] = {
        {"{\"action\":1}", 1, 0, false, "page loaded"},
        {"{\"action\":56}", 0, 1, false, "events waiting"},
        {"{\"action\":8,\"name\":\"C1\"}", 0, 0, true, "an event is a reply"},
        {"{\"val\":3}", 0, 0, true, "no action: a reply"},
        {"{\"data\":{\"action\":1}}", 0, 0, true, "a nested action does not count"},
        {"{\"action\": 1", 0, 0, false, "not JSON: dropped"},
        {"[1,2]", 0, 0, true, "not an object: a reply"},
    };
    for (const Case& c : kCases) {
        ResetChannel();
        WebViewMsgReceive(&gViewA.window.hdr, c.text, strlen(c.text));
        EXPECT_EQ(gWebLoadedCount, c.loaded) << c.why;
        EXPECT_EQ(gWebEventCount, c.events) << c.why;
        EXPECT_EQ(gWebReply != nullptr, c.reply) << c.why;
    }
    ResetChannel();
    for (int i = 0; i < 3; i++) WebViewMsgReceive(&gViewA.window.hdr, "{\"action\":56}", 13);
    EXPECT_EQ(gWebEventCount, 1u) << "an owner is queued once";
    for (int i = 0; i < 60; i++) WebViewMsgReceive(&gViewA.window.hdr, "{\"action\":1}", 12);
    EXPECT_EQ(gWebLoadedCount, kWebOwnerQueueSize) << "a full queue drops the notice";
    WebViewMsgReceive(&gViewA.window.hdr, "{\"n\":1}", 7);
    WebViewMsgReceive(&gViewA.window.hdr, "{\"n\":2}", 7);
    EXPECT_EQ(JsonGetInt(gWebReply, "n"), 1) << "a second reply while the slot is full is dropped";
}

TEST_F(Channel, FetchesQueuedEventsOneByOne) {
    RecPageQueueEvent(&gViewA.page, "\"name\":\"C1\",\"ev\":4");
    RecPageQueueEvent(&gViewA.page, "\"name\":\"C2\",\"ev\":4");
    RecPageQueueEvent(&gViewA.page, "\"name\":\"C3\",\"ev\":4");
    PumpBoth();
    EXPECT_EQ(gWebEventCount, 1u);
    WebViewProcessPending();
    EXPECT_EQ(gDispatched, (std::vector<std::string>{"C1", "C2", "C3"}));
    EXPECT_EQ(gWebEventCount, 0u);
    size_t fetches = 0;
    for (const RecPost& p : gViewA.page.posts) fetches += Actions(p) == "15";
    EXPECT_EQ(fetches, 4u) << "three events and the empty answer";
}

TEST_F(Channel, NoFetchInsideAWaitingSend) {
    // The page announces an event while the client waits for a query's reply:
    // the owner is queued, and the fetch waits until the send is over.
    RecPageAnswer(&gViewA.page, 9, "{\"data\":1}", 2);
    RecPageQueueEvent(&gViewA.page, "\"name\":\"C7\"");
    static bool sNested;
    sNested = false;
    ScopedSet pump(gWebHooks.pumpTurn, [] {
        PumpBoth();
        WebViewProcessPending();   // what PumpOnce runs after each message
        if (!gWebFetchAllowed) sNested = true;
    });
    JsonBeginAction(9);
    ASSERT_NE(WebViewMsgQuery(), nullptr);
    EXPECT_TRUE(sNested);
    EXPECT_TRUE(gDispatched.empty()) << "nothing fetched inside the wait";
    EXPECT_EQ(gWebEventCount, 1u);
    gWebHooks.pumpTurn = PumpBoth;
    WebViewProcessPending();
    EXPECT_EQ(gDispatched, std::vector<std::string>{"C7"});
}

TEST_F(Channel, InnerSendKeepsTheOuterGuard) {
    // A send made while another send waits (a window procedure that queries the
    // page) must leave fetching off when it returns.
    static bool sInnerDone, sAllowedAfterInner;
    sInnerDone = false;
    gWebHooks.pumpTurn = [] {
        PumpBoth();
        if (sInnerDone) return;
        sInnerDone = true;
        JsonBeginAction(28);
        WebViewMsgQuery();
        sAllowedAfterInner = gWebFetchAllowed;
    };
    JsonBeginAction(9);
    WebViewMsgQuery();
    EXPECT_TRUE(sInnerDone);
    EXPECT_FALSE(sAllowedAfterInner);
    EXPECT_TRUE(gWebFetchAllowed);
}

TEST_F(Channel, AQueryInsideAWaitKeepsEachReplyWithItsQuery) {
    // The outer query's answer has arrived when a window procedure, in the
    // same pump turn, queries the page itself: each query gets its own reply.
    RecPageAnswer(&gViewA.page, 9, "{\"data\":\"outer\"}", 0);
    RecPageAnswer(&gViewA.page, 28, "{\"data\":\"inner\"}", 0);
    static std::string sInner;
    sInner.clear();
    gWebHooks.pumpTurn = [] {
        PumpBoth();
        if (!sInner.empty()) return;
        sInner = "none";
        JsonBeginAction(28);
        JsonValue* inner = WebViewMsgQuery();
        if (inner && JsonGetText(inner, "data")) sInner = JsonGetText(inner, "data");
    };
    JsonBeginAction(9);
    JsonValue* outer = WebViewMsgQuery();
    EXPECT_EQ(sInner, "inner");
    ASSERT_NE(outer, nullptr) << "the outer answer is not freed by the inner send";
    EXPECT_STREQ(JsonGetText(outer, "data"), "outer");
}

TEST_F(Channel, NoticeDuringTheFetchIsNotLost) {
    // While the first event is dispatched, the page announces another one (a
    // second notice for an owner being served must queue it again).
    RecPageQueueEvent(&gViewA.page, "\"name\":\"C1\"");
    PumpBoth();
    static bool sOnce;
    sOnce = false;
    gWebHooks.pageEventDispatch = [](ObjectRecord* owner, JsonValue* ev) {
        DispatchRecorder(owner, ev);
        if (!sOnce) {
            sOnce = true;
            gViewB.page.events.push_back("\"name\":\"B1\"");
            WebViewMsgReceive(&gViewB.window.hdr, "{\"action\":56}", 13);
            WebViewMsgReceive(owner, "{\"action\":56}", 13);
        }
    };
    WebViewProcessPending();
    WebViewProcessPending();
    EXPECT_EQ(gDispatched, (std::vector<std::string>{"C1", "B1"}));
    EXPECT_EQ(gWebEventCount, 0u);
}

TEST_F(Channel, EndlessEventsAreFetchedInBoundedTurns) {
    for (int i = 0; i < kEventsPerOwnerTurn + 5; i++) gViewA.page.events.push_back("\"name\":\"E\"");
    WebViewMsgReceive(&gViewA.window.hdr, "{\"action\":56}", 13);
    WebViewProcessPending();
    EXPECT_EQ(gDispatched.size(), static_cast<size_t>(kEventsPerOwnerTurn));
    EXPECT_EQ(gWebEventCount, 1u) << "the owner waits for the next turn";
    WebViewProcessPending();
    EXPECT_EQ(gDispatched.size(), static_cast<size_t>(kEventsPerOwnerTurn + 5));
}

TEST_F(Channel, ClosedOwnersAreForgotten) {
    WebViewMsgReceive(&gViewA.window.hdr, "{\"action\":1}", 12);
    WebViewMsgReceive(&gViewA.window.hdr, "{\"action\":56}", 13);
    WebViewMsgReceive(&gViewB.window.hdr, "{\"action\":56}", 13);
    WebViewForgetOwner(&gViewA.window.hdr);
    EXPECT_EQ(gWebLoadedCount, 0u);
    ASSERT_EQ(gWebEventCount, 1u);
    EXPECT_EQ(gWebEventPages[0], &gViewB.window.hdr);

    // Closed by the dispatch of its own first event: the loop stops asking it.
    ResetChannel();
    gViewA.page.events = {"\"name\":\"A1\"", "\"name\":\"A2\""};
    WebViewMsgReceive(&gViewA.window.hdr, "{\"action\":56}", 13);
    gWebHooks.pageEventDispatch = [](ObjectRecord* owner, JsonValue* ev) {
        DispatchRecorder(owner, ev);
        WebViewForgetOwner(owner);
    };
    WebViewProcessPending();
    EXPECT_EQ(gDispatched, std::vector<std::string>{"A1"});
}

TEST_F(Channel, OwnerClosedInANestedFetchIsNotServedByTheOuterOne) {
    // A's first event is dispatched by a handler that pumps, and the pump's
    // own fetch closes B, which the outer fetch still has to serve: the outer
    // loop must not get B back when the nested fetch ends.
    gViewA.page.events = {"\"name\":\"A1\"", "\"name\":\"A2\""};
    gViewB.page.events = {"\"name\":\"B1\""};
    WebViewMsgReceive(&gViewA.window.hdr, "{\"action\":56}", 13);
    WebViewMsgReceive(&gViewB.window.hdr, "{\"action\":56}", 13);
    gWebHooks.pageEventDispatch = [](ObjectRecord* owner, JsonValue* ev) {
        DispatchRecorder(owner, ev);
        if (gDispatched.back() == "A1") {
            WebViewMsgReceive(owner, "{\"action\":56}", 13);
            WebViewProcessPending();   // a modal wait inside the handler
        } else if (gDispatched.back() == "A2") {
            WebViewForgetOwner(&gViewB.window.hdr);
        }
    };
    WebViewProcessPending();
    EXPECT_EQ(gDispatched, (std::vector<std::string>{"A1", "A2"}));
}

TEST_F(Channel, LongPageMessagesArriveWhole) {
    std::string text = "{\"data\":\"" + std::string(70000, 'z') + "\u00e9\"}";
    std::vector<uint16_t> wide;
    for (unsigned char c : text) wide.push_back(c);
    wide.push_back(0);
    WebViewMessageArrived(&gViewA.window.hdr, wide.data());
    ASSERT_NE(gWebReply, nullptr);
    const char* data = JsonGetTextRaw(gWebReply, "data");
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(strlen(data), 70000u + 4u) << "two bytes of U+00C3 U+00A9 each";
}

static size_t gFailAfter;
static void* FailingAlloc(size_t n) {
    if (gFailAfter == 0) return nullptr;
    gFailAfter--;
    return GuardedAlloc(n);
}

TEST_F(Channel, AMessageThatCouldNotGrowIsDropped) {
    TextBufFree(&gJsonMsgBuf);
    ScopedSet alloc(gWebTextAlloc, FailingAlloc);
    gFailAfter = 1;
    JsonBeginAction(26);
    std::string text(5000, 'q');
    JsonAddStringZ("pv", text.c_str());
    JsonAddInt("n", 1);
    WebViewMsgEnd();
    gWebTextAlloc = GuardedAlloc;
    SendCommand(2);
    WebViewMsgFlush();
    ASSERT_EQ(gViewA.page.posts.size(), 1u);
    EXPECT_EQ(Actions(gViewA.page.posts[0]), "24") << "only the whole message went out";
}

TEST_F(Channel, SelectionFollowsTheObjectsWindow) {
    // A web window record shown in view A's native window, a button on it.
    WindowRecord webWin = {};
    webWin.hdr.kind = kKindWindow;
    webWin.hdr.modeFlags = kModeWebView;
    ObjectRecord button = {};
    button.kind = kKindButton;
    button.modeFlags = kModeWebView;
    button.parent = &webWin.hdr;
    ObjectRecord color = {};
    color.kind = kKindColor;
    ObjectRecord nativeButton = {};
    nativeButton.kind = kKindButton;
    static ObjectRecord* sHostOfWebWin;
    sHostOfWebWin = &gViewB.window.hdr;
    gWebHooks.windowHostRecord = [](ObjectRecord*) { return sHostOfWebWin; };

    struct Case {
        ObjectRecord* rec;
        void* expect;
        const char* why;
    };
    const Case kCases[] = {
        {&gViewB.window.hdr, &gViewB.page, "a native window with a web view"},
        {&button, &gViewB.page, "a web object: its window's host record"},
        {&color, &gViewB.page, "a Color object leaves the choice alone"},
        {&nativeButton, nullptr, "a native object: no web view"},
        {&gViewA.window.hdr, &gViewA.page, "back to view A"},
    };
    for (const Case& c : kCases) {
        WebViewSelectForObject(c.rec);
        EXPECT_EQ(gCurWebView, c.expect) << c.why;
    }
    sHostOfWebWin = nullptr;
    WebViewSelectForObject(&button);
    EXPECT_EQ(gCurWebView, nullptr) << "a web window without a host record";
}
