// webdrawn_test.cpp - pictures, icons, image lists, lines, shapes, progress
// bars, sliders, splitters, panels and timers of the web view against the
// recording page: what each change sends, what the record keeps, the page's
// answers, the splitter's drag limits and the timers' firing by a test clock.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "graphics/gfxcore.h"
#include "objects/events.h"
#include "objects/objcreate.h"
#include "objects/objhooks.h"
#include "objects/objops.h"
#include "session/proto/protocol.h"
#include "webtest.h"
#include "webview/controls/webdrawn.h"
#include "webview/core/webevents.h"
#include "webview/core/webgeneric.h"
#include "webview/core/webobject.h"
#include "webview/core/weboptions.h"
#include "webview/core/webprops.h"

namespace {

int gSleeps;
uint32_t gNowMs;
int32_t gReplied;

// Only the picture's pauses between its size queries are counted.
void CountSleep(uint32_t ms) { gSleeps += ms == 250 ? 1 : 0; }
uint32_t TestClock() { return gNowMs; }
void NoteReply(int32_t v, uint8_t) { gReplied = v; }

// What the page was sent, with the blanks after ':' and ',' taken out.
std::string Posts() {
    WebViewMsgFlush();
    std::string all;
    for (const RecPost& p : gPage.posts) all += p.text + "\n";
    std::string out;
    for (size_t i = 0; i < all.size(); ++i) {
        out += all[i];
        if ((all[i] == ':' || all[i] == ',') && i + 1 < all.size() && all[i + 1] == ' ') ++i;
    }
    return out;
}
void ClearPosts() {
    WebViewMsgFlush();
    gPage.posts.clear();
}
size_t Count(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

int32_t Set(ObjectRecord* rec, uint16_t id, int32_t value, const char* text = nullptr) {
    return WebSetPropById(rec, id, value, text, text ? static_cast<uint32_t>(strlen(text)) : 0);
}
// A change as the server sends it, by request code.
int32_t SetByCode(ObjectRecord* rec, uint32_t code, int32_t value) {
    PropChange c = {};
    c.code = code;
    c.value = value;
    return ObjectSetProperty(rec, &c);
}
int32_t Get(ObjectRecord* rec, uint16_t id) {
    int32_t result = 0;
    const char* text = nullptr;
    WebGetProp(rec, id, &result, &text);
    return result;
}

MethodCallRec Call(uint32_t method, const char* text = nullptr, int32_t second = -1) {
    MethodCallRec call;
    memset(&call, 0, sizeof call);
    call.method = method;
    if (text) {
        call.args[0].kind = kItemText;
        call.args[0].data = text;
        call.args[0].size = static_cast<uint32_t>(strlen(text));
        call.argPresent[0] = 1;
        call.argCount = 1;
    }
    if (second >= 0) {
        call.args[1].kind = kItemInt;
        call.args[1].value = static_cast<uint64_t>(second);
        call.argPresent[1] = 1;
        call.argCount = 2;
    }
    return call;
}

std::pair<int32_t, int32_t> TakeEvent() {
    EventRecord ev = {};
    EventItem items[kEventRegItems];
    uint32_t count = 0;
    if (!EventTakeNext(&ev, items, &count)) return {-1, 0};
    return {static_cast<int32_t>(ev.eventId), ev.value};
}

class WebDrawn : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(WebHostSetUp(DeliverToChannel));
        gWebHooks.sleepMs = CountSleep;
        gObjectHooks.tickCount = TestClock;
        gWebObjServices.replyInt = NoteReply;
        gSleeps = 0;
        gNowMs = 1000000;
        gWebTimers = nullptr;
        // The first window is the default one (character cells); the
        // controls go into a second one, in pixels.
        auto frame = [this]() {
            return Create(kTypeWindow, [](ObjectCreateRecord* c) {
                c->window = 0;
                c->top = 0;
                c->left = 0;
                c->bottom = 300;
                c->right = 400;
                c->winType = 5;
                c->units = 5;
            });
        };
        ASSERT_NE(frame(), nullptr);
        window = frame();
        ASSERT_NE(window, nullptr);
        ClearPosts();
    }
    void TearDown() override {
        EventCleanup();
        WebHostTearDown();
        WebImageListDestroyAll();
    }

    ObjectRecord* Create(uint32_t type, const std::function<void(ObjectCreateRecord*)>& setup) {
        CreateRecordReset(&cr);
        cr.flags0 = kCrVisible;
        cr.top = 10;
        cr.left = 10;
        cr.bottom = 40;
        cr.right = 110;
        if (window) cr.window = window->handle;
        if (setup) setup(&cr);
        int32_t c = 0;
        return ObjectCreate(type, &cr, &c);
    }
    ObjectRecord* Make(uint32_t type) { return Create(type, nullptr); }

    ObjectCreateRecord cr;
    ObjectRecord* window = nullptr;
};

}  // namespace

TEST(WebDrawnRules, ImageColorsAndColours) {
    struct Case {
        int32_t colors;
        uint8_t expect;
        const char* why;
    };
    static const Case kColors[] = {
        {12, 16, "12 rounds up to 16"},   {25, 32, "above 24 gives 32"}, {0, 32, "none given gives 32"},
        {3, 4, "below 5 gives 4"},        {8, 8, "8 stays"},             {24, 24, "24 stays"},
        {-7, 32, "a negative count gives 32"},
    };
    for (const Case& c : kColors) EXPECT_EQ(ImageColorsRound(c.colors), c.expect) << c.why;
    struct Colour {
        int32_t value;
        bool taken;
        const char* why;
    };
    static const Colour kColours[] = {
        {0x123456, true, "an RGB value"},
        {0xFFFFFF, true, "white"},
        {0x1000000, false, "above RGB"},
        {static_cast<int32_t>(0x80000000u + 20), true, "system colour 20"},
        {static_cast<int32_t>(0x80000000u + 21), false, "no system colour 21"},
        {-1, false, "the all-ones value"},
    };
    for (const Colour& c : kColours) {
        uint32_t out = 7;
        EXPECT_EQ(WebDrawnColor(c.value, &out), c.taken) << c.why;
        EXPECT_EQ(out, c.taken ? static_cast<uint32_t>(c.value) : 7u) << c.why;
    }
}

TEST_F(WebDrawn, ProgressClampsAndSends) {
    ObjectRecord* bar = Make(kTypeProgress);
    ASSERT_NE(bar, nullptr);
    ClearPosts();
    EXPECT_EQ(ObjectSetValue(bar, 0, 250), 0);
    int32_t v = 0;
    EXPECT_EQ(ProgressGetValue(bar, 0, &v), 0);
    EXPECT_EQ(v, 100) << "250 is stored as 100";
    std::string p = Posts();
    EXPECT_NE(p.find("\"action\":25"), std::string::npos) << p;
    EXPECT_NE(p.find("\"pos\":100"), std::string::npos) << "shown as 100: " << p;
    ClearPosts();
    EXPECT_EQ(ObjectSetValue(bar, 1, 40), 0);
    EXPECT_EQ(Posts(), "") << "another item changes nothing";
    v = 9;
    ProgressGetValue(bar, 1, &v);
    EXPECT_EQ(v, 0) << "another item answers 0";
    Set(bar, 91, 0);
    p = Posts();
    EXPECT_NE(p.find("\"dwid\":2"), std::string::npos) << p;
    EXPECT_NE(p.find("\"dp\":0"), std::string::npos) << p;
    EXPECT_EQ(Get(bar, 32), 100);
}

TEST_F(WebDrawn, SliderValues) {
    ObjectRecord* slider = Make(kTypeSlider);
    ASSERT_NE(slider, nullptr);
    ClearPosts();
    struct Case {
        uint16_t id;
        int32_t value;
        const char* sent;   // null: nothing is sent
        const char* why;
    };
    static const Case kCases[] = {
        {46, 5, nullptr, "Shift is stored only"},
        {44, 3, "\"dwid\":2", "Min is sent with dwid 2"},
        {45, 90, "\"dwid\":3", "Max is sent with dwid 3"},
        {76, 10, nullptr, "TickFreq is stored only"},
    };
    for (const Case& c : kCases) {
        ClearPosts();
        EXPECT_EQ(Set(slider, c.id, c.value), 0) << c.why;
        std::string p = Posts();
        if (c.sent) {
            EXPECT_NE(p.find(c.sent), std::string::npos) << c.why << ": " << p;
        } else {
            EXPECT_EQ(p, "") << c.why;
        }
        EXPECT_EQ(Get(slider, c.id), c.value) << c.why;
    }
    ClearPosts();
    ObjectSetValue(slider, 0, 42);
    std::string p = Posts();
    EXPECT_NE(p.find("\"action\":11"), std::string::npos);
    EXPECT_NE(p.find("\"dwid\":1,\"pos\":42"), std::string::npos) << p;
    RecPageAnswer(&gPage, 11, "{\"val\":37}", 0);
    int32_t v = 0;
    EXPECT_EQ(ObjectGetValue(slider, 0, &v), 0);
    EXPECT_EQ(v, 37) << "the position is the page's";
}

TEST_F(WebDrawn, ShapesAndLinesDraw) {
    struct Case {
        int32_t shape;
        const char* st;
        const char* why;
    };
    static const Case kCases[] = {
        {1, "\"st\":3", "Shape 1 is the oval"},
        {3, "\"st\":4", "Shape 3 the rounded rectangle"},
        {2, "\"st\":2", "Shape 2 the rectangle"},
        {9, "\"st\":2", "out of range is the rectangle"},
    };
    ObjectRecord* shape = Make(kTypeShape);
    ASSERT_NE(shape, nullptr);
    for (const Case& c : kCases) {
        ClearPosts();
        Set(shape, 64, c.shape);
        std::string p = Posts();
        EXPECT_NE(p.find(c.st), std::string::npos) << c.why << ": " << p;
        EXPECT_NE(p.find("\"w\":100,\"h\":30"), std::string::npos) << p;
    }
    ObjectRecord* line = Create(kTypeLine, [](ObjectCreateRecord* c) {
        c->left = 20;
        c->top = 50;
        c->width = 60;
        c->height = 10;
        c->values[65] = 2;
        c->given[65] = 1;
    });
    ASSERT_NE(line, nullptr);
    EXPECT_EQ(line->left, 18) << "the box widened by the border width";
    EXPECT_EQ(line->top, 8);
    EXPECT_EQ(line->right, 62);
    EXPECT_EQ(line->bottom, 52);
    ClearPosts();
    EXPECT_EQ(SetByCode(line, 263, 0x0000FF), 0) << "BdrColor as the server sends it";
    std::string p = Posts();
    EXPECT_NE(p.find("\"st\":1,\"x1\":2,\"x2\":42,\"y1\":42,\"y2\":2,\"lw\":2,\"ss\":\"#ff0000\""),
              std::string::npos)
        << p;
    EXPECT_EQ(Get(line, 93), 20);
    EXPECT_EQ(Get(line, 96), 10);
}

TEST_F(WebDrawn, SplitterDrags) {
    auto docked = [&](uint32_t type, int32_t dock, int32_t width) {
        return Create(type, [=](ObjectCreateRecord* c) {
            c->dock = dock;
            c->left = 0;
            c->right = width;
            c->values[228] = 50;   // MinSize
            c->given[228] = 1;
        });
    };
    ObjectRecord* lonely = docked(kTypeSplitter, 2, 5);
    ASSERT_NE(lonely, nullptr);
    EXPECT_EQ(Get(lonely, 229), -1) << "SplitPos without a neighbour";
    ObjectDestroy(lonely);
    ObjectRecord* panel = docked(kTypePanel, 2, 120);
    ObjectRecord* splitter = docked(kTypeSplitter, 2, 5);
    ASSERT_TRUE(panel && splitter);
    EXPECT_EQ(WebSplitterNeighbour(splitter), panel);
    EXPECT_EQ(Get(splitter, 229), 120);
    int32_t values[4] = {1, 0, 0, 0};
    ASSERT_EQ(EventRegister(splitter, kEvMove, values, false, nullptr, 0), 0);
    struct Drag {
        int32_t dx;
        int32_t width;
        const char* why;
    };
    static const Drag kDrags[] = {
        {40, 160, "40 pixels right widen the neighbour by 40"},
        {-500, 50, "far left stops at MinSize"},
        {2000, 395, "far right stops at the room"},
    };
    for (const Drag& d : kDrags) {
        ClearPosts();
        WebSplitterOnMove(splitter, d.dx, 0);
        EXPECT_EQ(panel->right - panel->left, d.width) << d.why;
        auto ev = TakeEvent();
        EXPECT_EQ(ev.first, static_cast<int32_t>(kEvMove)) << d.why;
        EXPECT_EQ(ev.second, splitter->left * 10000 + splitter->top) << d.why;
        EXPECT_NE(Posts().find("\"action\":55"), std::string::npos) << "the cursor comes back";
    }
    // A move reported for a control that is not a splitter is dropped.
    ObjectRecord* shape = Make(kTypeShape);
    char ev[128];
    snprintf(ev, sizeof ev, "{\"name\":\"C%u\",\"et\":99992,\"em\":40,\"ev\":0}", shape->elementId);
    JsonValue* v = JsonParse(ev, strlen(ev));
    WebPageEvent(v, gHost);
    JsonFree(v);
    EXPECT_EQ(TakeEvent().first, -1);
}

TEST_F(WebDrawn, PanelHtmlAndScrollBars) {
    ObjectRecord* panel = Make(kTypePanel);
    ASSERT_NE(panel, nullptr);
    ClearPosts();
    Set(panel, 57, 3);
    EXPECT_EQ(Get(panel, 57), 3);
    EXPECT_NE(Posts().find("sb3"), std::string::npos) << "the class of code 3";
    std::string url(299, 'a');
    url[5] = '\'';
    ClearPosts();
    MethodCallRec framed = Call(18, url.c_str(), 2);
    EXPECT_EQ(WebCallMethod(panel, &framed), kWebNoAnswer);
    std::string p = Posts();
    EXPECT_NE(p.find("<iframe class='qovif' width='100px' height='30px' src='aaaaa&#39;"), std::string::npos)
        << "the URL is escaped: " << p;
    std::string longUrl(300, 'b');
    ClearPosts();
    MethodCallRec tooLong = Call(18, longUrl.c_str(), 2);
    WebCallMethod(panel, &tooLong);
    EXPECT_EQ(Posts().find("iframe"), std::string::npos) << "300 bytes are not sent";
    const char kCutUrl[] = "page.html\0x";
    ClearPosts();
    MethodCallRec cut = Call(18, kCutUrl, 2);
    cut.args[0].size = sizeof kCutUrl - 1;
    gReplied = -9;
    WebCallMethod(panel, &cut);
    EXPECT_EQ(gReplied, 1) << "a URL holding a NUL names no page: cut there, it would frame page.html";
    EXPECT_EQ(Posts(), "") << "and nothing is sent";
    ObjectRecord* child = Create(kTypeShape, [&](ObjectCreateRecord* c) { c->window = panel->handle; });
    ASSERT_NE(child, nullptr);
    EXPECT_EQ(child->parent, panel);
    ClearPosts();
    MethodCallRec html = Call(18, "<b>x</b>", 0);
    gReplied = -9;
    WebCallMethod(panel, &html);
    EXPECT_EQ(gReplied, 1) << "a panel with children answers 1";
    EXPECT_EQ(Posts(), "") << "and sends nothing";
    MethodCallRec count = Call(19);
    WebCallMethod(panel, &count);
    EXPECT_EQ(gReplied, 1);
    // GetObject by index binds a child not yet bound to the request's variable.
    MethodCallRec get = Call(1);
    get.args[0].kind = kItemInt;
    get.args[0].value = 0;
    get.argPresent[0] = 1;
    get.argCount = 1;
    get.result.kind = kItemObject;
    get.result.varRef = 77;
    child->ovar = 0;
    gReplied = -9;
    EXPECT_EQ(WebCallMethod(panel, &get), kWebNoAnswer);
    EXPECT_EQ(gReplied, static_cast<int32_t>(child->handle));
    EXPECT_EQ(child->ovar, 77u);
    WebCallMethod(panel, &get);
    EXPECT_EQ(gReplied, 0) << "a bound child is not given out again";
}

TEST_F(WebDrawn, PanelsLayTheirDockedChildrenInsideTheirPaddings) {
    ObjectRecord* panel = Create(kTypePanel, [](ObjectCreateRecord* c) {
        c->bottom = 110;   // 100 x 200 at 10, 10
        c->right = 210;
        c->dockPadL = 5;
        c->dockPadT = 6;
        c->dockPadR = 7;
        c->dockPadB = 8;
    });
    ASSERT_NE(panel, nullptr);
    ObjectRecord* bar = Create(kTypeShape, [&](ObjectCreateRecord* c) {
        c->window = panel->handle;
        c->top = 50;
        c->bottom = 70;
        c->dock = 5;
    });
    ObjectRecord* fill = Create(kTypeShape, [&](ObjectCreateRecord* c) {
        c->window = panel->handle;
        c->dock = 6;
    });
    ASSERT_TRUE(bar && fill);
    ASSERT_EQ(bar->parent, panel);
    WebLayoutChildren(panel);
    struct Case {
        ObjectRecord* rec;
        int32_t left, top, right, bottom;
        const char* why;
    };
    const Case kCases[] = {
        {bar, 5, 6, 193, 26, "the top bar inside the paddings, 20 high"},
        {fill, 5, 26, 193, 92, "the fill takes what the bar and the paddings leave"},
    };
    for (const Case& k : kCases) {
        EXPECT_EQ(k.rec->left, k.left) << k.why;
        EXPECT_EQ(k.rec->top, k.top) << k.why;
        EXPECT_EQ(k.rec->right, k.right) << k.why;
        EXPECT_EQ(k.rec->bottom, k.bottom) << k.why;
    }
    // Scrolled by 4 with a minimum scroll height of 300 and AutoScroll: the
    // area is moved by the offset and made as high as the minimum.
    WebPanelRecord* p = reinterpret_cast<WebPanelRecord*>(panel);
    p->offsetV = 4;
    p->minScrollV = 300;
    p->panelFlags |= kPanelAutoScroll;
    int32_t area[4];
    WebWindowClientArea(panel, area);
    EXPECT_EQ(area[1], 2) << "top: -4 + padding 6";
    EXPECT_EQ(area[3], -4 + 300 - 8) << "the minimum height less the bottom padding";
}

TEST_F(WebDrawn, PanelResizeRaisesResize) {
    ObjectRecord* panel = Make(kTypePanel);
    ASSERT_NE(panel, nullptr);
    int32_t values[4] = {1, 0, 0, 0};
    ASSERT_EQ(EventRegister(panel, kEvResize, values, false, nullptr, 0), 0);
    WebPanelResize(panel, panel->left, panel->top, 150, 40, 2);
    EventRecord ev = {};
    EventItem items[kEventRegItems];
    uint32_t n = 0;
    ASSERT_TRUE(EventTakeNext(&ev, items, &n));
    EXPECT_EQ(ev.eventId, static_cast<uint32_t>(kEvResize));
    EXPECT_EQ(ev.value, 1500040) << "width x 10000 + height";
    EXPECT_EQ(ev.modifiers, 2) << "the flag as modifier";
    EXPECT_EQ(panel->right - panel->left, 150);
    EXPECT_EQ(reinterpret_cast<WebPanelRecord*>(panel)->innerHeight, 40);
}

TEST_F(WebDrawn, TimersFireByTheClock) {
    ObjectRecord* timer = Create(kTypeTimer, [](ObjectCreateRecord* c) { c->flags0 = 0; });
    ASSERT_NE(timer, nullptr);
    int32_t values[4] = {1, 0, 0, 0};
    ASSERT_EQ(EventRegister(timer, kEvTimer, values, false, nullptr, 0), 0);
    EXPECT_EQ(Set(timer, 165, 50), 0);
    EXPECT_EQ(Get(timer, 165), 50);
    ObjectActivate(timer, 0, 0, 0, 0);
    ObjectActivate(timer, 0, 0, 0, 0);
    EXPECT_EQ(gWebTimers, reinterpret_cast<TimerRecord*>(timer));
    EXPECT_EQ(gWebTimers->nextActive, nullptr) << "shown twice, listed once";
    struct Tick {
        uint32_t ms;
        int32_t event;
        const char* why;
    };
    static const Tick kTicks[] = {
        {4900, -1, "4.9 s: not yet"},
        {5000, static_cast<int32_t>(kEvTimer), "5 s after it was set"},
        {9900, -1, "the next period has not ended"},
        {10000, static_cast<int32_t>(kEvTimer), "10 s"},
    };
    uint32_t start = gNowMs;
    for (const Tick& t : kTicks) {
        gNowMs = start + t.ms;
        TimerCheckList(gWebTimers, TimerTenthsNow(), nullptr);
        EXPECT_EQ(TakeEvent().first, t.event) << t.why;
    }
    ObjectDeactivate(timer);
    EXPECT_EQ(gWebTimers, nullptr) << "a hidden running timer leaves the list at once";
    gNowMs = start + 20000;
    TimerCheckList(gWebTimers, TimerTenthsNow(), nullptr);
    EXPECT_EQ(TakeEvent().first, -1) << "and never fires";
    ObjectActivate(timer, 0, 0, 0, 0);
    ASSERT_EQ(gWebTimers, reinterpret_cast<TimerRecord*>(timer));
    ObjectDestroy(timer);
    EXPECT_EQ(gWebTimers, nullptr) << "a destroyed running timer leaves the list at once";
}

TEST_F(WebDrawn, PicturesAndImageLists) {
    ObjectRecord* pict = Create(kTypePict, [](ObjectCreateRecord* c) {
        c->texts[122] = CrText{"logo.gif", 8};
    });
    ASSERT_NE(pict, nullptr);
    WebPictRecord* p = reinterpret_cast<WebPictRecord*>(pict);
    ASSERT_NE(p->url, nullptr);
    EXPECT_STREQ(p->url, "./images/logo.gif");
    ClearPosts();
    RecPageAnswer(&gPage, 47, "{}", 0);
    EXPECT_EQ(Get(pict, 97), 0);
    EXPECT_EQ(Count(Posts(), "\"action\":47"), 40u) << "a page that never answers: 40 queries";
    EXPECT_EQ(gSleeps, 40);
    gPage.answers.clear();
    ClearPosts();
    RecPageAnswer(&gPage, 47, "{\"h\":0,\"v\":0,\"c\":1}", 0);
    EXPECT_EQ(Get(pict, 98), 0);
    EXPECT_EQ(Count(Posts(), "\"action\":47"), 1u) << "a failed load ends at the first answer";
    gPage.answers.clear();
    RecPageAnswer(&gPage, 47, "{\"h\":64,\"v\":48,\"c\":1}", 0);
    EXPECT_EQ(Get(pict, 97), 64);
    EXPECT_EQ(Get(pict, 98), 48);
    Set(pict, 69, 0);
    EXPECT_EQ(p->zoom, 10u) << "Scale 0 gives the zoom 10";
    EXPECT_EQ(Get(pict, 69), 1);
    ObjectRecord* refused = Create(kTypePict, [](ObjectCreateRecord* c) { c->texts[122] = CrText{"@logo.gif", 9}; });
    ASSERT_NE(refused, nullptr);
    EXPECT_EQ(reinterpret_cast<WebPictRecord*>(refused)->url, nullptr) << "'@' names are not files";

    ObjectRecord* list = Create(kTypeImagelist, [](ObjectCreateRecord* c) {
        c->values[151] = 12;
        c->given[151] = 1;
        c->texts[332] = CrText{"images\\strip.png", 16};
    });
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(Get(list, 151), 16);
    EXPECT_STREQ(reinterpret_cast<WebImageListRecord*>(list)->url, "images/strip.png");
    MethodCallRec std = Call(9);
    WebCallMethod(list, &std);
    EXPECT_STREQ(reinterpret_cast<WebImageListRecord*>(list)->url, "images/qovtools.png");
    EXPECT_EQ(Get(list, 130), 16);

    ObjectRecord* native = ObjectAllocRecord(kKindImageList, sizeof(WebImageListRecord), false);
    ObjectRecord* icon = Create(kTypeIcon, [&](ObjectCreateRecord* c) {
        c->values[270] = static_cast<int32_t>(native->handle);
        c->given[270] = 1;
    });
    ASSERT_NE(icon, nullptr);
    EXPECT_EQ(reinterpret_cast<WebIconRecord*>(icon)->imageList, nullptr) << "a native list counts as none";
    Set(icon, 270, static_cast<int32_t>(list->handle));
    EXPECT_EQ(reinterpret_cast<WebIconRecord*>(icon)->imageList, list);
    EXPECT_EQ(reinterpret_cast<WebImageListRecord*>(list)->useCount, 1u);
    ObjectRecord* other = Create(kTypeImagelist, nullptr);
    ASSERT_NE(other, nullptr);
    Set(icon, 270, static_cast<int32_t>(other->handle));
    EXPECT_EQ(reinterpret_cast<WebImageListRecord*>(list)->useCount, 0u) << "the old list's use is given back";
    ObjectDestroy(other);
    EXPECT_EQ(Get(icon, 270), 0) << "a list destroyed under the icon is none";
    Set(icon, 270, static_cast<int32_t>(list->handle));
    ObjectDestroy(icon);
    EXPECT_EQ(reinterpret_cast<WebImageListRecord*>(list)->useCount, 0u) << "the icon's use is given back";
    ObjectUnregister(native);
    ObjectFreeRecord(native);

    // A tab control on the list: its tabs carry their images cut from the strip.
    ObjectRecord* tabs = Create(kTypeTabcontrol, [&](ObjectCreateRecord* c) {
        c->texts[kPidTabLabel] = CrText{"One;Two", 7};
    });
    ASSERT_NE(tabs, nullptr);
    Set(tabs, 270, static_cast<int32_t>(list->handle));
    ClearPosts();
    for (int tab = 0; tab < 2; ++tab) {
        MethodCallRec image;
        memset(&image, 0, sizeof image);
        image.method = 2;   // SetTabImage (tab, image)
        for (uint32_t i = 0; i < 2; ++i) {
            image.args[i].kind = kItemInt;
            image.args[i].value = static_cast<uint64_t>(tab);
            image.argPresent[i] = 1;
        }
        image.argCount = 2;
        WebCallMethod(tabs, &image);
    }
    std::string labels = Posts();
    EXPECT_NE(labels.find("background-position:-0px 0px; width:16px; height:16px; "
                          "background-image:url('images/qovtools.png')"),
              std::string::npos) << "the first tab's image, as big as the list's\n" << labels;
    EXPECT_NE(labels.find("background-position:-16px 0px"), std::string::npos) << "the second tab's\n" << labels;
}
