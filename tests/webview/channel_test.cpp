// channel_test.cpp - the page message channel against the recording page:
// batching and flush rules, query waits and their numbered replies, incoming
// sorting and number ranges, the event fetch and its guards, owners of closed
// windows and of views not made yet.
#include <gtest/gtest.h>

#include <cstdio>

#include "session/log.h"
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
        {kRecInPost, true, "a reply handed over inside the post"},
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
        if (reply) {
            EXPECT_STREQ(JsonGetText(reply, "data"), "v1") << c.why;
        }
        // An answer already in place needs no turn of the window loop and
        // no sleep; one that comes through the window gets the first turn at
        // once.
        if (c.delay == kRecInPost) {
            EXPECT_EQ(gViewA.page.pumpTurns, 0) << c.why;
        } else {
            EXPECT_GE(gViewA.page.pumpTurns, 1) << c.why;
        }
        if (c.delay == kRecInPost || c.delay == 0) {
            EXPECT_EQ(sleeps, 0) << c.why;
        }
        if (!c.answered) {
            EXPECT_EQ(gViewA.page.pumpTurns, 1 + kReplyWaitTurns) << c.why;
            EXPECT_EQ(sleeps, 50) << c.why;
        }
        EXPECT_TRUE(gWebFetchAllowed) << c.why;
    }
}

static std::string ReadFile(const std::string& path) {
    std::string out;
    FILE* f = fopen(path.c_str(), "rb");
    if (!f) return out;
    char buf[512];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0) out.append(buf, n);
    fclose(f);
    return out;
}

static size_t CountOf(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) n++;
    return n;
}

TEST_F(Channel, ALateReplyNeverAnswersTheNextQuery) {
    // The first query gives up after its six pump turns; its reply comes one or
    // two turns later: between the queries, or inside the next query's wait
    // before (or instead of) that query's own reply.
    struct Case {
        int pumpsBetween;
        int nextDelay;
        const char* expectNext;   // null: the next query has no answer
        const char* why;
    };
    static const Case kCases[] = {
        {2, 0, "css", "late reply between the queries: dropped, the next query gets its own"},
        {0, 2, "css", "late reply inside the next wait, before the next query's own reply"},
        {0, kRecNever, nullptr, "late reply inside the wait of a query the page never answers"},
        {2, kRecNever, nullptr, "late reply between the queries, the next one unanswered"},
    };
    std::string logPath = testing::TempDir() + "webchannel_late.log";
    for (const Case& c : kCases) {
        ResetChannel();
        gCurWebView = &gViewA.page;
        ASSERT_TRUE(DebugLogOpen(logPath.c_str()));
        RecPageAnswer(&gViewA.page, 9, "{\"data\":\"late\"}", 1 + kReplyWaitTurns + 1);
        RecPageAnswer(&gViewA.page, 28, "{\"data\":\"css\"}", c.nextDelay);
        JsonBeginAction(9);
        EXPECT_EQ(WebViewMsgQuery(), nullptr) << c.why;
        for (int i = 0; i < c.pumpsBetween; i++) PumpBoth();
        if (c.pumpsBetween) {
            EXPECT_EQ(gWebReply, nullptr) << c.why << ": a reply nobody waits for is not kept";
        }
        JsonBeginAction(28);
        JsonValue* reply = WebViewMsgQuery();
        const char* got = reply ? JsonGetText(reply, "data") : nullptr;
        EXPECT_STREQ(got, c.expectNext) << c.why;
        DebugLogClose();
        EXPECT_EQ(CountOf(ReadFile(logPath), "matches no waiting query"), 1u) << c.why << ": the drop is logged";
    }
    remove(logPath.c_str());
}

// A view whose post fails: the state the host reports before and after it.
static bool gPostFails, gViewDown, gViewEnded;
static int32_t PostOrFail(void* host, const char* text) { return gPostFails ? -1 : PostToPage(host, text); }

TEST_F(Channel, CreationsThePageHasNotAcknowledgedAreNeverMadeOnlyOnceTheViewEnded) {
    struct Case {
        bool downBefore;     // the view had stopped answering before the post (it is refused unsent)
        bool endedAfter;     // after the failed post the view has ended; otherwise it catches up
        size_t notYet, never;
        const char* why;
    };
    static const Case kCases[] = {
        {false, false, 1, 0, "a busy page that catches up: not yet acknowledged, never named as never made"},
        {false, true, 1, 1, "a view that ended while its page was busy: named as never made once it has"},
        {true, false, 0, 1, "a post refused unsent: never made at once"},
    };
    std::string logPath = testing::TempDir() + "webchannel_unacked.log";
    for (const Case& c : kCases) {
        ResetChannel();
        gCurWebView = &gViewA.page;
        gWebHooks.postText = PostOrFail;
        gWebHooks.hostDown = [](void*) { return gViewDown; };
        gWebHooks.hostEnded = [](void*) { return gViewEnded; };
        gPostFails = true;
        gViewDown = c.downBefore;
        gViewEnded = false;
        ASSERT_TRUE(DebugLogOpen(logPath.c_str()));
        JsonBeginAction(kActInsert);
        JsonAddStringNoConv("name", "C3");
        WebViewMsgEndMade(3);
        WebViewMsgFlush();
        gPostFails = false;
        gViewDown = c.endedAfter;
        gViewEnded = c.endedAfter;
        EXPECT_EQ(WebViewHostDown(&gViewA.page), c.endedAfter) << c.why;
        // Settled once: a later look at the view names nothing again.
        WebViewHostDown(&gViewA.page);
        DebugLogClose();
        std::string log = ReadFile(logPath);
        EXPECT_EQ(CountOf(log, "the page has not yet acknowledged these objects "
                               "(its page did not acknowledge the post in time): C3"),
                  c.notYet) << c.why << "\n" << log;
        EXPECT_EQ(CountOf(log, "the page never made these objects"), c.never) << c.why << "\n" << log;
        EXPECT_EQ(CountOf(log, ": C3"), c.notYet + c.never) << c.why << "\n" << log;
    }
    remove(logPath.c_str());
}

TEST_F(Channel, IncomingMessagesAreSorted) {
    // Each text arrives while a query waits; "#" stands for that query's number.
    struct Case {
        const char* text;
        uint32_t loaded, events;
        bool reply;
        const char* why;
    };
    static const Case kCases[] = {
        {"{\"action\":1}", 1, 0, false, "page loaded"},
        {"{\"action\":56}", 0, 1, false, "events waiting"},
        {"{\"action\":8,\"name\":\"C1\",\"qn\":#}", 0, 0, true, "an event is a reply"},
        {"{\"val\":3,\"qn\":#}", 0, 0, true, "no action: a reply"},
        {"{\"data\":{\"action\":1},\"qn\":#}", 0, 0, true, "a nested action does not count"},
        {"{\"action\":\"1\",\"qn\":#}", 0, 0, true, "an action that is no number: a reply"},
        {"{\"action\": 1", 0, 0, false, "not JSON: dropped"},
        {"[1,2]", 0, 0, false, "not an object: no number, dropped"},
        {"{\"val\":3}", 0, 0, false, "a reply without a number is dropped"},
        {"{\"val\":3,\"qn\":\"#\"}", 0, 0, false, "a number as text does not count"},
        {"{\"val\":3,\"qn\":0}", 0, 0, false, "no query has number 0"},
        // Numbers that do not fit are refused, never cut to something that fits.
        {"{\"action\":1e400}", 0, 0, false, "an action beyond any double"},
        {"{\"action\":-1e400,\"qn\":#}", 0, 0, false, "a negative action beyond any double"},
        {"{\"action\":4294967297}", 0, 0, false, "an action beyond 32 bits (would cut to 1)"},
        {"{\"action\":99999999999999999999}", 0, 0, false, "an action beyond 64 bits"},
        {"{\"action\":56.5}", 0, 0, false, "an action that is no whole number"},
        {"{\"action\":-2,\"qn\":#}", 0, 0, false, "a negative action"},
        {"{\"action\":1.0}", 1, 0, false, "a whole number written with a point is that number"},
        {"{\"action\":1e0}", 1, 0, false, "and so is one with an exponent"},
        {"{\"val\":3,\"qn\":1e400}", 0, 0, false, "a query number beyond any double"},
        {"{\"val\":3,\"qn\":-1}", 0, 0, false, "a negative query number"},
        {"{\"val\":3,\"qn\":#.5}", 0, 0, false, "a query number that is no whole number"},
        {"{\"val\":3,\"qn\":#.0}", 0, 0, false, "a query number not written as the client wrote it"},
        {"{\"val\":3,\"qn\":#,\"qn\":0}", 0, 0, true, "the first of two numbers counts"},
        {"{\"val\":3,\"qn\":0,\"qn\":#}", 0, 0, false, "and only the first"},
    };
    static std::string sText;
    for (const Case& c : kCases) {
        ResetChannel();
        gCurWebView = &gViewA.page;
        sText = c.text;
        gWebHooks.pumpTurn = [] {
            if (sText.empty()) return;
            std::string text = sText;
            size_t at = text.find('#');
            if (at != std::string::npos) text.replace(at, 1, std::to_string(gWebQueryNumber));
            sText.clear();
            WebViewMsgReceive(&gViewA.window.hdr, text.data(), text.size());
        };
        JsonBeginAction(9);
        JsonValue* reply = WebViewMsgQuery();
        EXPECT_EQ(gWebLoadedCount, c.loaded) << c.why;
        EXPECT_EQ(gWebEventCount, c.events) << c.why;
        EXPECT_EQ(reply != nullptr, c.reply) << c.why;
    }
    ResetChannel();
    for (int i = 0; i < 3; i++) WebViewMsgReceive(&gViewA.window.hdr, "{\"action\":56}", 13);
    EXPECT_EQ(gWebEventCount, 1u) << "an owner is queued once";
    for (int i = 0; i < 60; i++) WebViewMsgReceive(&gViewA.window.hdr, "{\"action\":1}", 12);
    EXPECT_EQ(gWebLoadedCount, kWebOwnerQueueSize) << "a full queue drops the notice";

    ResetChannel();
    gCurWebView = &gViewA.page;
    gWebHooks.pumpTurn = [] {
        std::string first = "{\"n\":1,\"qn\":" + std::to_string(gWebQueryNumber) + "}";
        std::string second = "{\"n\":2,\"qn\":" + std::to_string(gWebQueryNumber) + "}";
        WebViewMsgReceive(&gViewA.window.hdr, first.data(), first.size());
        WebViewMsgReceive(&gViewA.window.hdr, second.data(), second.size());
    };
    JsonBeginAction(9);
    EXPECT_EQ(JsonGetInt(WebViewMsgQuery(), "n"), 1) << "a second reply to the same query is dropped";
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

TEST_F(Channel, WorkStartedInsideAWaitingSendFetchesAndTheSendKeepsItsReply) {
    // A server request taken in a pump turn of the wait (the idle flush's) is
    // work of its own: the events its wait needs are fetched, the outer send
    // still gets its own reply, and the guard is back on when the work ends.
    RecPageAnswer(&gViewA.page, 9, "{\"data\":\"outer\"}", 2);
    RecPageQueueEvent(&gViewA.page, "\"name\":\"C7\"");
    static bool sGuardBack;
    static bool sDone;
    sGuardBack = sDone = false;
    ScopedSet pump(gWebHooks.pumpTurn, [] {
        PumpBoth();
        if (sDone || !gWebEventCount) return;
        sDone = true;
        bool earlier = WebViewFetchOpen();
        WebViewProcessPending();
        WebViewFetchRestore(earlier);
        sGuardBack = !gWebFetchAllowed;
    });
    JsonBeginAction(9);
    const JsonValue* reply = WebViewMsgQuery();
    ASSERT_NE(reply, nullptr);
    EXPECT_STREQ(JsonGetText(reply, "data"), "outer");
    EXPECT_TRUE(sDone);
    EXPECT_EQ(gDispatched, std::vector<std::string>{"C7"}) << "fetched inside the wait, by the work started there";
    EXPECT_TRUE(sGuardBack);
    EXPECT_TRUE(gWebFetchAllowed);
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
    // A window procedure queries the page from the first pump turn of an outer
    // query's wait: each query gets its own reply, whenever the outer one comes.
    struct Case {
        int outerDelay, innerDelay;
        const char* why;
    };
    static const Case kCases[] = {
        {0, 0, "the outer answer arrived in the turn that made the inner query"},
        {1, 2, "the outer answer arrives while the inner query waits, before the inner one"},
        {2, 0, "the outer answer arrives after the inner query has ended"},
    };
    static std::string sInner;
    for (const Case& c : kCases) {
        ResetChannel();
        gCurWebView = &gViewA.page;
        RecPageAnswer(&gViewA.page, 9, "{\"data\":\"outer\"}", c.outerDelay);
        RecPageAnswer(&gViewA.page, 28, "{\"data\":\"inner\"}", c.innerDelay);
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
        EXPECT_EQ(sInner, "inner") << c.why;
        ASSERT_NE(outer, nullptr) << c.why << ": the outer answer is not lost to the inner send";
        EXPECT_STREQ(JsonGetText(outer, "data"), "outer") << c.why;
    }
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

TEST_F(Channel, NoticesWaitUntilTheirViewExists) {
    // The page of a window still being created speaks before the window has
    // its web view: the notices are kept (once each) and served once it has.
    static int sLoads;
    sLoads = 0;
    gWebHooks.htmlControlLoadAll = [](ObjectRecord*) { sLoads++; };
    ObjectRecord pageObject = {};
    gViewA.window.pageObject = &pageObject;
    gViewA.page.events = {"\"name\":\"E1\""};
    gViewA.window.webHost = nullptr;
    WebViewMsgReceive(&gViewA.window.hdr, "{\"action\":1}", 12);
    WebViewMsgReceive(&gViewA.window.hdr, "{\"action\":56}", 13);
    for (int turn = 0; turn < 3; turn++) WebViewProcessPending();
    EXPECT_EQ(sLoads, 0);
    EXPECT_TRUE(gDispatched.empty());
    EXPECT_EQ(gWebLoadedCount, 1u) << "the loaded notice is kept";
    EXPECT_EQ(gWebEventCount, 1u) << "the events notice is kept";
    EXPECT_TRUE(gViewA.page.posts.empty()) << "nothing was sent to a view that is not there";

    gViewA.window.webHost = &gViewA.page;
    WebViewProcessPending();
    EXPECT_EQ(sLoads, 1);
    EXPECT_EQ(gDispatched, std::vector<std::string>{"E1"});
    EXPECT_EQ(gWebLoadedCount + gWebEventCount, 0u);
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
    static std::vector<uint16_t> sWide;
    sWide = wide;
    gWebHooks.pumpTurn = [] {
        std::string number = std::to_string(gWebQueryNumber);
        std::vector<uint16_t> numbered(sWide.begin(), sWide.end() - 2);   // without "}" and the NUL
        for (const char* p : {",\"qn\":", number.c_str(), "}"})
            for (; *p; p++) numbered.push_back(static_cast<uint8_t>(*p));
        numbered.push_back(0);
        WebViewMessageArrived(&gViewA.window.hdr, numbered.data());
    };
    JsonBeginAction(9);
    JsonValue* reply = WebViewMsgQuery();
    ASSERT_NE(reply, nullptr);
    const char* data = JsonGetTextRaw(reply, "data");
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

TEST_F(Channel, AFetchAnsweredLateKeepsItsEvent) {
    // The page hands an event over when it answers the fetch: an answer that
    // comes after the fetch gave up still carries the event, which is
    // dispatched at the next turn rather than lost.
    struct Case {
        const char* text;
        bool forget;
        std::vector<std::string> expect;
        const char* why;
    };
    const Case kCases[] = {
        {"{\"action\":8,\"name\":\"C9\",\"qn\":4000}", false, {"C9"}, "a late event is dispatched"},
        {"{\"data\":\"x\",\"qn\":4000}", false, {}, "a late answer that is no event is dropped"},
        {"{\"action\":8,\"name\":\"C9\",\"qn\":4000}", true, {}, "an owner closed meanwhile gets nothing"},
    };
    for (const Case& c : kCases) {
        ResetChannel();
        DeliverToChannel(&gViewA.page, &gViewA.window.hdr, c.text);
        if (c.forget) WebViewForgetOwner(&gViewA.window.hdr);
        WebViewProcessPending();
        EXPECT_EQ(gDispatched, c.expect) << c.why;
    }
    ResetChannel();
    DeliverToChannel(&gViewA.page, &gViewA.window.hdr, "{\"action\":8,\"name\":\"C9\",\"qn\":4000}");
    WebChannelCleanup();   // a kept event is freed with the channel (the leak check sees it)
}
