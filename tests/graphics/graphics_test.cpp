// graphics_test.cpp - the bar, container and drawing kinds under Wine: each
// kind created in a window, values and properties read back, user actions
// sent as the controls send them and the events they queue, drawing checked
// pixel by pixel in a memory DC, timers against an injected clock.
#include <gtest/gtest.h>
#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

#include "controls/controls.h"
#include "graphics/graphics.h"
#include "objects/crstream.h"
#include "objects/events.h"
#include "objects/gdicache.h"
#include "objects/guihooks.h"
#include "objects/objhooks.h"
#include "objects/objops.h"
#include "objects/objrecord.h"
#include "objects/paint.h"
#include "objects/window.h"
#include "session/proto/protocol.h"
#include "session/proto/records.h"
#include "session/session.h"
#include "tests/gui/testwindow.h"
#include "tests/testutil.h"

namespace {

uint32_t gFakeMs;
uint32_t FakeTick() { return gFakeMs; }

class GraphicsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { StartTestRuntime(GraphicsInstall); }
    void SetUp() override {
        win_ = MakeTestWindow(&cr_);
        ASSERT_NE(nullptr, win_);
        DrainEvents();
    }
    void TearDown() override {
        ObjectDestroy(win_);
        DrainEvents();
        gObjectHooks.tickCount = saveTick_;
    }
    // Starts a creation record for an object of the window.
    void Begin(int32_t left, int32_t top, int32_t width, int32_t height, bool visible = true) {
        CreateRecordReset(&cr_);
        cr_.windowRec = win_;
        cr_.left = left, cr_.top = top, cr_.width = width, cr_.height = height;
        if (visible) cr_.flags0 |= kCrVisible;
    }
    void Value(uint32_t id, int32_t v) {
        cr_.values[id] = v;
        cr_.given[id] = 1;
    }
    ObjectRecord* Make(uint32_t type) {
        int32_t code = 0;
        ObjectRecord* rec = ObjectCreate(type, &cr_, &code);
        EXPECT_NE(nullptr, rec) << "type " << type << " code " << code;
        return rec;
    }
    int32_t Get(ObjectRecord* rec, int32_t which) {
        int32_t v = -99;
        EXPECT_EQ(0, ObjectGetValue(rec, which, &v));
        return v;
    }
    static uint32_t Prop(ObjectRecord* rec, uint32_t id) { return ObjectOpsOf(rec)->getProp(rec, id); }
    static int32_t SetProp(ObjectRecord* rec, uint32_t id, int32_t v) {
        PropChange req = {};
        req.id = id;
        req.value = v;
        return ObjectOpsOf(rec)->setProp(rec, &req);
    }
    static void Register(ObjectRecord* rec, uint32_t eventId) {
        const int32_t values[4] = {};
        ASSERT_EQ(0, EventRegister(rec, eventId, values, false, nullptr, 0));
    }
    static void Pump() {
        MSG m;
        while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&m);
            DispatchMessageA(&m);
        }
    }
    struct Taken {
        uint32_t eventId;
        uint32_t modifiers;
        int32_t value;
    };
    static bool TakeEvent(Taken* out) {
        EventRecord ev = {};
        EventItem items[kEventRegItems];
        uint32_t n = 0;
        if (!EventTakeNext(&ev, items, &n)) return false;
        *out = Taken{static_cast<uint32_t>(ev.eventId), ev.modifiers, ev.value};
        return true;
    }
    static void DrainEvents() {
        Taken t;
        while (TakeEvent(&t)) {
        }
    }
    // Calls a method the way the server does and answers its integer result
    // (the value of the 1129 answer), or the handler's own code.
    static int32_t Call(ObjectRecord* rec, uint32_t method, std::initializer_list<int32_t> args,
                        uint32_t resultKind = kItemInt, const char* textArg = nullptr) {
        MethodCallRec call = {};
        call.method = method;
        call.result.kind = resultKind;
        call.result.varRef = 501;
        MethodCallArgs(&call, textArg, args);
        return InvokeForReply(rec, &call, &replyKind_);
    }
    static uint8_t replyKind_;
    // A panel of the window with its creation values.
    ObjectRecord* MakePanel(int32_t left, int32_t top, int32_t width, int32_t height, int32_t bdrStyle = 1,
                            int32_t scrollBar = 0) {
        Begin(left, top, width, height);
        Value(208, bdrStyle);
        cr_.scrollBar = scrollBar;
        return Make(kTypePanel);
    }
    ObjectCreateRecord cr_;
    ObjectRecord* win_ = nullptr;
    uint32_t (*saveTick_)() = gObjectHooks.tickCount;
};
uint8_t GraphicsTest::replyKind_;

// ---- Scroll bars -------------------------------------------------------------------------

TEST_F(GraphicsTest, ScrollBarRangeIsMaxPlusShiftLessOne) {
    Begin(10, 10, 200, 20);
    Value(44, 0), Value(45, 10), Value(46, 5);
    ObjectRecord* bar = Make(kTypeHscrollbar);
    ASSERT_NE(nullptr, bar);
    SCROLLINFO si = {};
    si.cbSize = sizeof si;
    si.fMask = SIF_ALL;
    ASSERT_TRUE(GetScrollInfo(bar->hwnd, SB_CTL, &si));
    EXPECT_EQ(0, si.nMin);
    EXPECT_EQ(14, si.nMax) << "the thumb, one page wide, reaches Max";
    EXPECT_EQ(5u, si.nPage);
    EXPECT_EQ(10, Get(bar, 2)) << "which 2 answers Max";
    EXPECT_EQ(5, Get(bar, 3));
    EXPECT_EQ(0, ObjectSetValue(bar, 3, 0));
    EXPECT_EQ(1, Get(bar, 3)) << "Shift 0 becomes 1";
    EXPECT_EQ(10, Get(bar, 2)) << "the Max stays when the page changes";
    EXPECT_EQ(0, ObjectSetValue(bar, 2, INT32_MAX));
    EXPECT_GT(Get(bar, 2), 0) << "a Max near 2^31 does not wrap the range";
}

TEST_F(GraphicsTest, ScrollBarShiftZeroAtCreationIsOne) {
    Begin(10, 10, 20, 200);
    Value(45, 10), Value(46, 0);
    ObjectRecord* bar = Make(kTypeVscrollbar);
    ASSERT_NE(nullptr, bar);
    EXPECT_EQ(kKindVScrollBar, bar->kind);
    EXPECT_EQ(1, Get(bar, 3));
    EXPECT_EQ(10, Get(bar, 2));
}

TEST_F(GraphicsTest, ScrollCodesQueueTheTablesChangeEvents) {
    Begin(10, 10, 200, 20);
    Value(44, 0), Value(45, 10), Value(46, 5);
    ObjectRecord* bar = Make(kTypeHscrollbar);
    ASSERT_NE(nullptr, bar);
    Register(bar, kEvChange);
    struct Case { int start, code, thumb; bool posts; uint32_t mods; int32_t value; const char* why; };
    const Case cases[] = {
        {5, SB_LINEDOWN, 0, true, 1, 6, "line down"},
        {5, SB_LINEUP, 0, true, 2, 4, "line up"},
        {5, SB_PAGEDOWN, 0, true, 4, 10, "page down stops at Max"},
        {5, SB_PAGEUP, 0, true, 8, 0, "page up stops at Min"},
        {10, SB_LINEDOWN, 0, true, 65, 10, "line down at Max"},
        {0, SB_LINEUP, 0, true, 34, 0, "line up at Min"},
        {10, SB_PAGEDOWN, 0, true, 68, 10, "page down at Max"},
        {0, SB_PAGEUP, 0, true, 40, 0, "page up at Min"},
        {5, SB_THUMBPOSITION, 7, true, 16, 7, "thumb released"},
        {5, SB_TOP, 0, true, 16, 0, "top"},
        {5, SB_BOTTOM, 0, true, 16, 10, "bottom"},
        {5, SB_THUMBTRACK, 7, false, 0, 0, "thumb dragged"},
        {5, SB_ENDSCROLL, 0, false, 0, 0, "end of scroll"},
    };
    for (const Case& c : cases) {
        SetScrollPos(bar->hwnd, SB_CTL, c.start, FALSE);
        DrainEvents();
        SendMessageA(win_->hwnd, WM_HSCROLL, MAKEWPARAM(c.code, c.thumb), reinterpret_cast<LPARAM>(bar->hwnd));
        Taken t = {};
        ASSERT_EQ(c.posts, TakeEvent(&t)) << c.why;
        if (!c.posts) continue;
        EXPECT_EQ(kEvChange, t.eventId) << c.why;
        EXPECT_EQ(c.mods, t.modifiers) << c.why;
        EXPECT_EQ(c.value, t.value) << c.why;
        EXPECT_EQ(c.value, GetScrollPos(bar->hwnd, SB_CTL)) << c.why;
    }
}

TEST_F(GraphicsTest, OldEventCarriesTheBasePlusPosition) {
    Begin(10, 10, 200, 20);
    Value(44, 0), Value(45, 10), Value(46, 5);
    ObjectRecord* bar = Make(kTypeHscrollbar);
    ASSERT_NE(nullptr, bar);
    Register(bar, kEvOldEvent);
    SetScrollPos(bar->hwnd, SB_CTL, 10, FALSE);
    SendMessageA(win_->hwnd, WM_HSCROLL, SB_LINEDOWN, reinterpret_cast<LPARAM>(bar->hwnd));
    Taken t = {};
    ASSERT_TRUE(TakeEvent(&t));
    EXPECT_EQ(kEvOldEvent, t.eventId);
    EXPECT_EQ(0u, t.modifiers);
    EXPECT_EQ(700000010, t.value);
}

TEST_F(GraphicsTest, WindowBarObjectLeavesTheWindowWhenDestroyed) {
    NativeWindowRecord* w = NativeWindowOf(win_);
    ScrollBarLink link = {nullptr, 77};
    ObjectRecord* bar = ScrollBarAttach(kTypeHscrollbar, &link, nullptr, win_);
    ASSERT_NE(nullptr, bar);
    EXPECT_EQ(bar, link.bar);
    EXPECT_EQ(bar, w->scrollBars);
    EXPECT_EQ(77u, bar->ovar);
    uint32_t live = ObjectLiveCount();
    EXPECT_EQ(0, ObjectDestroy(bar));
    EXPECT_EQ(nullptr, w->scrollBars) << "the destroyed bar is out of the window's list";
    EXPECT_EQ(nullptr, link.bar) << "and out of the link, so no second destroy";
    EXPECT_EQ(live - 1, ObjectLiveCount());
    // A new attach replaces the one the link held.
    ObjectRef first = ObjectRefOf(ScrollBarAttach(kTypeVscrollbar, &link, nullptr, win_));
    ObjectRecord* second = ScrollBarAttach(kTypeVscrollbar, &link, nullptr, win_);
    ASSERT_NE(nullptr, second);
    EXPECT_FALSE(ObjectRefAlive(first));
    EXPECT_EQ(second, w->scrollBars);
    EXPECT_EQ(nullptr, second->next);
    EXPECT_EQ(nullptr, ScrollBarAttach(kTypeHscrollbar, &link, win_, win_)) << "a window is no picture";
}

// Bar objects that stand for a picture's own bars: they hear the picture's
// scrolling as $CHANGE, move it by their position, leave its list when the
// server destroys them and go with the picture.
TEST_F(GraphicsTest, PictureBarObjectsReportAndMoveThePicture) {
    HDC screen = GetDC(nullptr);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, 200, 150);
    ReleaseDC(nullptr, screen);
    int32_t code = 0;
    ObjectRecord* pict = PictCreateFromBitmap(bitmap, nullptr, win_, true, &code);
    DeleteObject(bitmap);
    ASSERT_NE(nullptr, pict) << code;
    constexpr uint32_t kScrollBar = 57, kScale = 69, kPosH = 70;
    ScrollBarLink link = {nullptr, 91};
    EXPECT_EQ(nullptr, ScrollBarAttach(kTypeHscrollbar, &link, pict, win_)) << "no own bar yet: no object";
    ASSERT_EQ(0, SetProp(pict, kScale, 400));
    ASSERT_EQ(0, SetProp(pict, kScrollBar, 2));
    ObjectRecord* bar = ScrollBarAttach(kTypeHscrollbar, &link, pict, win_);
    ASSERT_NE(nullptr, bar);
    EXPECT_EQ(nullptr, ScrollBarAttach(kTypeVscrollbar, &link, pict, win_)) << "ScrollBar 2 has no vertical bar";
    EXPECT_EQ(nullptr, link.bar) << "and the failed attach destroyed the one the link held";
    bar = ScrollBarAttach(kTypeHscrollbar, &link, pict, win_);
    ASSERT_NE(nullptr, bar);
    EXPECT_EQ(91u, bar->ovar);
    EXPECT_EQ(pict, bar->parent);
    int32_t range = Get(bar, 2);
    EXPECT_EQ(int32_t(Prop(pict, kPosH)), Get(bar, 0));
    EXPECT_GT(range, 0) << "Max read from the picture's bar";
    Register(bar, kEvChange);
    DrainEvents();
    ASSERT_NE(nullptr, gGraphicsHooks.pictOnScroll);
    HWND hwndBar = PictBarWindow(pict, false);
    gGraphicsHooks.pictOnScroll(pict, hwndBar, 0, SB_PAGEDOWN);
    Taken t = {};
    ASSERT_TRUE(TakeEvent(&t));
    EXPECT_EQ(kEvChange, t.eventId);
    EXPECT_EQ(4u, t.modifiers) << "a page down";
    EXPECT_EQ(int32_t(Prop(pict, kPosH)), t.value) << "the picture's new position";
    EXPECT_GT(t.value, 0);
    gGraphicsHooks.pictOnScroll(pict, hwndBar, 0, SB_TOP);
    ASSERT_TRUE(TakeEvent(&t));
    EXPECT_EQ(16u, t.modifiers);
    EXPECT_EQ(0u, Prop(pict, kPosH));
    gGraphicsHooks.pictOnScroll(pict, hwndBar, 0, SB_LINEUP);
    ASSERT_TRUE(TakeEvent(&t));
    EXPECT_EQ(34u, t.modifiers) << "a line up at the start";
    EXPECT_EQ(0, ObjectSetValue(bar, 0, 7));
    EXPECT_EQ(7u, Prop(pict, kPosH)) << "the bar's position moves the picture";
    DrainEvents();
    uint32_t live = ObjectLiveCount();
    EXPECT_EQ(0, ObjectDestroy(bar));
    EXPECT_EQ(nullptr, link.bar);
    EXPECT_EQ(live - 1, ObjectLiveCount());
    gGraphicsHooks.pictOnScroll(pict, hwndBar, 0, SB_LINEDOWN);
    EXPECT_FALSE(TakeEvent(&t)) << "a destroyed bar object hears nothing";
    ObjectRef again = ObjectRefOf(ScrollBarAttach(kTypeHscrollbar, &link, pict, win_));
    EXPECT_TRUE(ObjectRefAlive(again));
    live = ObjectLiveCount();
    ASSERT_EQ(0, SetProp(pict, kScrollBar, 3));
    EXPECT_FALSE(ObjectRefAlive(again)) << "ScrollBar destroys the bar objects";
    EXPECT_EQ(live - 1, ObjectLiveCount());
    ASSERT_EQ(0, SetProp(pict, kScrollBar, 1));
    again = ObjectRefOf(ScrollBarAttach(kTypeVscrollbar, &link, pict, win_));
    EXPECT_TRUE(ObjectRefAlive(again));
    live = ObjectLiveCount();
    EXPECT_EQ(0, ObjectDestroy(pict));
    EXPECT_FALSE(ObjectRefAlive(again)) << "the picture takes its bar objects with it";
    EXPECT_EQ(live - 2, ObjectLiveCount());
}

// ---- Slider -----------------------------------------------------------------------------

TEST_F(GraphicsTest, SliderRangePositionAndTicks) {
    struct Case { int32_t tickStyle; DWORD bits; };
    const Case cases[] = {{1, TBS_AUTOTICKS | TBS_BOTH}, {2, TBS_AUTOTICKS}, {3, TBS_NOTICKS}, {4, TBS_AUTOTICKS | TBS_TOP}};
    for (const Case& c : cases) {
        Begin(10, 40, 200, 30);
        Value(44, 5), Value(45, 50), Value(46, 10), Value(74, 1), Value(75, c.tickStyle);
        ObjectRecord* s = Make(kTypeSlider);
        ASSERT_NE(nullptr, s);
        EXPECT_EQ(5, SendMessageA(s->hwnd, TBM_GETRANGEMIN, 0, 0));
        EXPECT_EQ(50, SendMessageA(s->hwnd, TBM_GETRANGEMAX, 0, 0));
        EXPECT_EQ(5, SendMessageA(s->hwnd, TBM_GETPOS, 0, 0)) << "starts at Min";
        EXPECT_EQ(10, SendMessageA(s->hwnd, TBM_GETPAGESIZE, 0, 0));
        DWORD style = static_cast<DWORD>(GetWindowLongA(s->hwnd, GWL_STYLE));
        EXPECT_EQ(c.bits, style & (TBS_AUTOTICKS | TBS_BOTH | TBS_TOP | TBS_NOTICKS)) << c.tickStyle;
        EXPECT_FALSE(style & TBS_VERT);
        ObjectDestroy(s);
    }
}

TEST_F(GraphicsTest, SliderScrollPostsTheValue) {
    Begin(10, 40, 200, 30);
    Value(44, 0), Value(45, 100), Value(74, 1);
    ObjectRecord* s = Make(kTypeSlider);
    ASSERT_NE(nullptr, s);
    Register(s, kEvChange);
    SendMessageA(s->hwnd, TBM_SETPOS, TRUE, 40);
    SendMessageA(win_->hwnd, WM_HSCROLL, TB_PAGEDOWN, reinterpret_cast<LPARAM>(s->hwnd));
    Taken t = {};
    ASSERT_TRUE(TakeEvent(&t));
    EXPECT_EQ(4u, t.modifiers);
    EXPECT_EQ(40, t.value);
    SendMessageA(win_->hwnd, WM_HSCROLL, MAKEWPARAM(TB_THUMBTRACK, 60), reinterpret_cast<LPARAM>(s->hwnd));
    EXPECT_FALSE(TakeEvent(&t)) << "tracking posts nothing";
    SendMessageA(win_->hwnd, WM_HSCROLL, MAKEWPARAM(TB_THUMBPOSITION, 60), reinterpret_cast<LPARAM>(s->hwnd));
    ASSERT_TRUE(TakeEvent(&t));
    EXPECT_EQ(16u, t.modifiers);
    EXPECT_EQ(60, t.value);
    EXPECT_EQ(0, SetProp(s, 75, 4));
    DWORD style = static_cast<DWORD>(GetWindowLongA(s->hwnd, GWL_STYLE));
    EXPECT_EQ(static_cast<DWORD>(TBS_AUTOTICKS | TBS_TOP), style & (TBS_AUTOTICKS | TBS_BOTH | TBS_TOP | TBS_NOTICKS));
}

// ---- Progress -----------------------------------------------------------------------------

// Paints a windowless object into a white memory DC of its size.
TEST_F(GraphicsTest, ProgressFillsItsShareAndClampsTheValue) {
    Begin(0, 0, 202, 20, false);
    Value(91, 0);
    ObjectRecord* p = Make(kTypeProgress);
    ASSERT_NE(nullptr, p);
    p->fgColor = RGB(0, 0, 255);
    p->bgColor = RGB(255, 255, 0);
    p->bdrColor = RGB(0, 0, 0);
    p->appearance = 2;
    p->flags &= ~kObj3D;
    struct Case { int32_t value; int edge; };
    // Flat border: one pixel; the bar runs over the 200 pixels inside it.
    const Case cases[] = {{0, 1}, {37, 1 + 74}, {100, 201}};
    for (const Case& c : cases) {
        ObjectSetValue(p, 0, c.value);
        MemCanvas canvas(202, 20);
        ObjectOpsOf(p)->paint(p, canvas.dc, 0);
        EXPECT_EQ(RGB(0, 0, 0), canvas.At(0, 10)) << "the border";
        if (c.edge > 2) {
            EXPECT_EQ(RGB(0, 0, 255), canvas.At(c.edge - 2, 2)) << c.value;
        }
        if (c.edge < 199) {
            EXPECT_EQ(RGB(255, 255, 0), canvas.At(c.edge + 1, 2)) << c.value;
        }
    }
    ObjectSetValue(p, 0, 150);
    EXPECT_EQ(100, Get(p, 0)) << "150 stores 100";
    EXPECT_EQ(0, Get(p, 1)) << "only item 0 has a value";
}

TEST_F(GraphicsTest, SmallThreeDProgressDrawsNoBorder) {
    Begin(0, 0, 3, 3, false);
    Value(91, 0);
    ObjectRecord* p = Make(kTypeProgress);
    ASSERT_NE(nullptr, p);
    p->flags |= kObj3D | 0x80000;
    p->bgColor = RGB(255, 255, 0);
    p->bdrColor = RGB(0, 0, 0);
    ObjectSetValue(p, 0, 0);
    MemCanvas canvas(3, 3);
    ObjectOpsOf(p)->paint(p, canvas.dc, 0);
    for (int x = 0; x < 3; ++x) EXPECT_EQ(RGB(255, 255, 0), canvas.At(x, 0)) << "no border on a 3 x 3 bar";
}

TEST_F(GraphicsTest, ProgressShowsThePercentText) {
    Begin(0, 0, 120, 30, false);
    ObjectRecord* p = Make(kTypeProgress);
    ASSERT_NE(nullptr, p);
    p->fgColor = RGB(0, 0, 255);
    p->bgColor = RGB(255, 255, 255);
    ObjectSetValue(p, 0, 0);
    auto inked = [&](int value) {
        ObjectSetValue(p, 0, value);
        MemCanvas canvas(120, 30);
        ObjectOpsOf(p)->paint(p, canvas.dc, 0);
        int n = 0;
        for (int y = 5; y < 25; ++y)
            for (int x = 30; x < 90; ++x) n += canvas.At(x, y) == RGB(0, 0, 255) ? 1 : 0;
        return n;
    };
    EXPECT_GT(inked(0), 10) << "at 0 the text is drawn in the bar colour";
    SetProp(p, 91, 0);
    EXPECT_EQ(0, inked(0)) << "Percent off: no text";
}

// ---- Timer ----------------------------------------------------------------------------------

TEST_F(GraphicsTest, TimerFiresOnItsRhythmWithAnInjectedClock) {
    gObjectHooks.tickCount = FakeTick;
    gFakeMs = 100000;
    Begin(0, 0, 0, 0, false);
    Value(165, 10);
    ObjectRecord* t = Make(kTypeTimer);
    ASSERT_NE(nullptr, t);
    Register(t, kEvTimer);
    EXPECT_EQ(0u, TimerActiveCount()) << "StartTimer 0 waits for activation";
    EXPECT_EQ(0u, TimerCheckAll(nullptr));
    ObjectActivate(t, 0, 0, 0, 0);
    EXPECT_EQ(10u, TimerCheckAll(nullptr));
    Taken e = {};
    struct Step { uint32_t advanceMs; bool fires; uint32_t left; const char* why; };
    const Step steps[] = {
        {3500, true, 5, "busy for 3.5 periods: one event"},
        {400, false, 1, "not yet"},
        {100, true, 10, "half a period after the late one"},
        {999, false, 1, "the phase is kept"},
    };
    for (const Step& s : steps) {
        gFakeMs += s.advanceMs;
        bool flag = true;
        EXPECT_EQ(s.left, TimerCheckAll(&flag)) << s.why;
        EXPECT_EQ(s.fires, TakeEvent(&e)) << s.why;
        EXPECT_EQ(!s.fires, flag) << "a posting clears the caller's flag";
        if (s.fires) {
            EXPECT_EQ(kEvTimer, e.eventId);
        }
        EXPECT_FALSE(TakeEvent(&e)) << s.why;
    }
    ObjectDestroy(t);
    EXPECT_EQ(0u, TimerActiveCount()) << "a destroyed timer leaves the list";
}

TEST_F(GraphicsTest, TimerZeroDisabledAndRestarted) {
    gObjectHooks.tickCount = FakeTick;
    gFakeMs = 200000;
    Begin(0, 0, 0, 0, false);
    Value(165, 0), Value(269, 1);
    ObjectRecord* t = Make(kTypeTimer);
    ASSERT_NE(nullptr, t);
    Register(t, kEvTimer);
    EXPECT_EQ(1u, TimerActiveCount()) << "StartTimer 1 starts at creation";
    gFakeMs += 100000;
    EXPECT_EQ(0u, TimerCheckAll(nullptr)) << "Timeout 0 asks no wake-up";
    Taken e = {};
    EXPECT_FALSE(TakeEvent(&e)) << "and never fires";
    ObjectSetValue(t, 0, 20);
    EXPECT_EQ(20, Get(t, 0));
    gFakeMs += 1500;
    EXPECT_EQ(5u, TimerCheckAll(nullptr)) << "setting Timeout restarts the period from now";
    ObjectDisable(t, 0);
    gFakeMs += 500;
    EXPECT_EQ(20u, TimerCheckAll(nullptr));
    EXPECT_FALSE(TakeEvent(&e)) << "a disabled timer posts nothing";
    ObjectEnable(t, 0);
    gFakeMs += 2000;
    TimerCheckAll(nullptr);
    EXPECT_TRUE(TakeEvent(&e)) << "and fires on time once enabled";
    ObjectDestroy(t);
}

TEST_F(GraphicsTest, TimerRunsInRealTime) {
    Begin(0, 0, 0, 0, false);
    Value(165, 1), Value(269, 1);
    ObjectRecord* t = Make(kTypeTimer);
    ASSERT_NE(nullptr, t);
    Register(t, kEvTimer);
    DWORD end = GetTickCount() + 1000;
    int events = 0;
    Taken e = {};
    while (static_cast<int32_t>(end - GetTickCount()) > 0) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
        Pump();
        TimerCheckAll(nullptr);
        while (TakeEvent(&e)) ++events;
    }
    EXPECT_GE(events, 5) << "Timeout 1: about 10 a second";
    EXPECT_LE(events, 15);
    ObjectDestroy(t);
}

// ---- Shape and line ----------------------------------------------------------------------------

constexpr COLORREF kWhite = RGB(255, 255, 255), kRed = RGB(255, 0, 0), kBlue = RGB(0, 0, 255);

TEST_F(GraphicsTest, ShapeDrawsItsFillBorderAndRasterOperation) {
    struct Case { int32_t shape, fillStyle, drawMode; COLORREF corner, edge, middle; const char* why; };
    const Case cases[] = {
        {2, 5, 2, kBlue, kBlue, kRed, "a rectangle: border blue, fill red"},
        {0, 5, 2, kBlue, kBlue, kRed, "Shape 0 is a rectangle"},
        {4, 5, 2, kBlue, kBlue, kRed, "Shape 4 is a rectangle"},
        {1, 5, 2, kWhite, kBlue, kRed, "an ellipse leaves the corners"},
        {2, 9, 2, kBlue, kBlue, kRed, "FillStyle 9 is a solid fill"},
        {2, 6, 2, kBlue, kBlue, kWhite, "FillStyle 6 is hollow"},
        {2, 5, 10, kWhite, kWhite, kWhite, "DrawMode 10 draws nothing"},
    };
    for (const Case& c : cases) {
        Begin(0, 0, 40, 30, false);
        Value(64, c.shape), Value(63, c.fillStyle), Value(66, c.drawMode), Value(62, static_cast<int32_t>(kRed));
        cr_.bdrColor.value = static_cast<int32_t>(kBlue);
        ObjectRecord* sh = Make(kTypeShape);
        ASSERT_NE(nullptr, sh);
        MemCanvas canvas(40, 30);
        ObjectOpsOf(sh)->paint(sh, canvas.dc, 0);
        EXPECT_EQ(c.corner, canvas.At(0, 0)) << c.why;
        EXPECT_EQ(c.edge, canvas.At(20, 0)) << c.why;
        EXPECT_EQ(c.middle, canvas.At(20, 15)) << c.why;
        EXPECT_EQ(R2_COPYPEN, GetROP2(canvas.dc)) << "the caller's DC is restored";
        ObjectDestroy(sh);
    }
}

TEST_F(GraphicsTest, XorShapeTwiceRestoresTheBackground) {
    Begin(0, 0, 40, 30, false);
    Value(66, 16), Value(62, static_cast<int32_t>(kRed));
    ObjectRecord* sh = Make(kTypeShape);
    ASSERT_NE(nullptr, sh);
    MemCanvas canvas(40, 30);
    ObjectOpsOf(sh)->paint(sh, canvas.dc, 0);
    EXPECT_NE(kWhite, canvas.At(20, 15));
    ObjectOpsOf(sh)->paint(sh, canvas.dc, 0);
    EXPECT_EQ(kWhite, canvas.At(20, 15));
    EXPECT_EQ(kWhite, canvas.At(0, 0));
}

TEST_F(GraphicsTest, ShapeBorderColourTakesOnlySystemIndexesUpTo20) {
    Begin(0, 0, 40, 30, false);
    cr_.bdrColor.value = static_cast<int32_t>(kBlue);
    ObjectRecord* sh = Make(kTypeShape);
    ASSERT_NE(nullptr, sh);
    EXPECT_EQ(0, SetProp(sh, kPidBdrColor, static_cast<int32_t>(0x80000015u)));
    EXPECT_EQ(kBlue, sh->bdrColor) << "index 21 is ignored";
    EXPECT_EQ(0, SetProp(sh, kPidBdrColor, static_cast<int32_t>(0x80000005u)));
    EXPECT_EQ(0x80000005u, sh->bdrColor) << "index 5 names system colour 5";
    EXPECT_EQ(0, SetProp(sh, 63, 42));
    EXPECT_EQ(5u, Prop(sh, 63)) << "an unknown FillStyle is solid";
    EXPECT_EQ(0, SetProp(sh, 66, 0));
    EXPECT_EQ(2u, Prop(sh, 66));
    uint32_t pens = PenCacheCount();
    for (int i = 0; i < 50; ++i) SetProp(sh, 65, 1 + i % 4);
    EXPECT_LE(PenCacheCount(), pens + 1) << "replaced pens are released";
}

TEST_F(GraphicsTest, LineEndsCellsAndGrid) {
    Begin(5, 5, 30, 20, false);
    cr_.bdrColor.value = 0;
    ObjectRecord* ln = Make(kTypeLine);
    ASSERT_NE(nullptr, ln);
    MemCanvas canvas(50, 40);
    ObjectOpsOf(ln)->paint(ln, canvas.dc, 0);
    EXPECT_EQ(RGB(0, 0, 0), canvas.At(5, 5)) << "the first end";
    EXPECT_EQ(RGB(0, 0, 0), canvas.At(17, 12)) << "the middle";
    EXPECT_EQ(kWhite, canvas.At(5, 20));
    EXPECT_EQ(4, ln->left) << "the box is widened by the width";
    EXPECT_EQ(31, ln->right);
    // In the main (text) window the end points are character cells.
    CreateRecordReset(&cr_);
    cr_.windowRec = gMainWindowP;
    cr_.left = 10, cr_.top = 5, cr_.width = 2, cr_.height = 1;
    ObjectRecord* text = Make(kTypeLine);
    ASSERT_NE(nullptr, text);
    EXPECT_EQ(static_cast<uint32_t>(9 * kCellWidth + kCellWidth / 2), Prop(text, 93));
    EXPECT_EQ(static_cast<uint32_t>(4 * kCellHeight + kCellHeight / 2), Prop(text, 95));
    EXPECT_EQ(static_cast<uint32_t>(kCellWidth + kCellWidth / 2), Prop(text, 94));
    EXPECT_EQ(static_cast<uint32_t>(kCellHeight / 2), Prop(text, 96));
    ObjectDestroy(text);
    // A window with a grid of 8 cuts the end points.
    NativeWindowRecord* w = NativeWindowOf(win_);
    w->winStyle |= kWsGridAlign;
    w->gridSizeH = w->gridSizeV = 8;
    struct Case { int32_t value; uint32_t expect; };
    const Case cases[] = {{13, 8}, {-3, 0}, {16, 16}};
    for (const Case& c : cases) {
        EXPECT_EQ(0, SetProp(ln, 93, c.value));
        EXPECT_EQ(c.expect, Prop(ln, 93)) << c.value;
    }
    w->winStyle &= ~kWsGridAlign;
    // In Units 3 (0.72 pixels a unit) setting one end leaves the others where
    // they were: a trip to units and back, truncated each way, would move them.
    w->units = 3;
    const uint32_t others[3] = {Prop(ln, 94), Prop(ln, 95), Prop(ln, 96)};
    EXPECT_EQ(0, SetProp(ln, 93, 20));
    EXPECT_EQ(20u, Prop(ln, 93)) << "20 units are 14 pixels, read back as 20";
    for (uint32_t id = 94; id <= 96; ++id) EXPECT_EQ(others[id - 94], Prop(ln, id)) << id;
    w->units = kUnitsPixels;
    EXPECT_EQ(0, SetProp(ln, 93, 16));
    // Rescaling works from the base points, not the moved ones.
    ObjectSaveLayout(ln, 0);
    EXPECT_TRUE(ObjectRescale(ln, 200, 50));
    EXPECT_EQ(8u, Prop(ln, 93)) << "16 x 50%";
    EXPECT_EQ(10u, Prop(ln, 95)) << "5 x 200%";
}

// ---- Splitter ----------------------------------------------------------------------------------

// Mouse input as a person gives it, sent from a second thread while the test
// thread's pump (and the splitter's drag loop in it) takes it.
struct Gesture {
    POINT from, to;
    DWORD holdMs;       // between the press and the move
    bool releaseCaptureInstead;
    DWORD mainThread;
};

// A button-up that comes this long after the capture was taken away, and the
// most the drag may take once the capture is gone: far apart, so that a busy
// machine cannot make a drag that ended look like one that waited.
constexpr DWORD kLateReleaseMs = 3000;
constexpr DWORD kCaptureGoneEndsWithinMs = 1500;

void SendMouse(DWORD flags, POINT pt) {
    INPUT in = MouseInputAt(flags, pt);
    SendInput(1, &in, sizeof in);
}

// The pauses pace the input as a person's hand would; the test thread checks
// only after the whole gesture is over.
DWORD WINAPI GestureThread(void* arg) {
    const Gesture* g = static_cast<const Gesture*>(arg);
    SendMouse(MOUSEEVENTF_MOVE, g->from);
    Sleep(150);
    SendMouse(MOUSEEVENTF_LEFTDOWN, g->from);
    Sleep(g->holdMs);
    if (g->releaseCaptureInstead) {
        // The capture is the input state of the test thread: join it to take it away.
        AttachThreadInput(GetCurrentThreadId(), g->mainThread, TRUE);
        ReleaseCapture();
        AttachThreadInput(GetCurrentThreadId(), g->mainThread, FALSE);
        // The late button-up is what the test measures against: the drag must
        // have ended long before it.
        Sleep(kLateReleaseMs);
        SendMouse(MOUSEEVENTF_LEFTUP, g->from);
        return 0;
    }
    SendMouse(MOUSEEVENTF_MOVE, POINT{(g->from.x + g->to.x) / 2, (g->from.y + g->to.y) / 2});
    Sleep(100);
    SendMouse(MOUSEEVENTF_MOVE, g->to);
    Sleep(150);
    SendMouse(MOUSEEVENTF_LEFTUP, g->to);
    return 0;
}

class SplitterTest : public GraphicsTest {
protected:
    void SetUp() override {
        GraphicsTest::SetUp();
        Begin(0, 0, 100, 300);
        cr_.dock = 2;
        cr_.scrollBar = 0;
        Value(208, 1);
        panel_ = Make(kTypePanel);
        Begin(0, 0, 6, 300);
        cr_.dock = 2;
        Value(227, 50), Value(228, 40);
        split_ = Make(kTypeSplitter);
        ASSERT_NE(nullptr, panel_);
        ASSERT_NE(nullptr, split_);
        WindowLayout(win_);
        SetForegroundWindow(win_->hwnd);
        Pump();
    }
    int32_t PartnerWidth() {
        RECT r;
        GetWindowRect(panel_->hwnd, &r);
        return r.right - r.left;
    }
    POINT SplitterCentre() {
        RECT r;
        GetWindowRect(split_->hwnd, &r);
        return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    }
    // Runs a gesture and pumps until it is over; the milliseconds the pump
    // spent in the turn that took the press (the drag loop runs inside it).
    DWORD Drag(int dx, bool releaseCapture = false) {
        Gesture g = {SplitterCentre(), {}, 300, releaseCapture, GetCurrentThreadId()};
        g.to = POINT{g.from.x + dx, g.from.y};
        HANDLE th = CreateThread(nullptr, 0, GestureThread, &g, 0, nullptr);
        DWORD longest = 0, end = GetTickCount() + kWaitDeadlineMs;
        while (WaitForSingleObject(th, 0) == WAIT_TIMEOUT && static_cast<int32_t>(end - GetTickCount()) > 0) {
            MsgWaitForMultipleObjects(1, &th, FALSE, 50, QS_ALLINPUT);
            DWORD t0 = GetTickCount();
            Pump();
            DWORD spent = GetTickCount() - t0;
            if (spent > longest) longest = spent;
        }
        WaitForSingleObject(th, INFINITE);
        CloseHandle(th);
        Pump();
        return longest;
    }
    ObjectRecord* panel_ = nullptr;
    ObjectRecord* split_ = nullptr;
};

TEST_F(SplitterTest, SplitPosResizesThePartner) {
    EXPECT_EQ(100u, Prop(split_, 229));
    EXPECT_EQ(0, SetProp(split_, 229, 150));
    EXPECT_EQ(150, PartnerWidth());
    EXPECT_EQ(150u, Prop(split_, 229));
    EXPECT_EQ(150, split_->left) << "the splitter follows its partner";
    for (int32_t dock : {3, 6, 0, 7}) {
        EXPECT_EQ(0, SetProp(split_, kPidDock, dock));
        EXPECT_EQ(2u, Prop(split_, kPidDock)) << "Dock " << dock << " is refused";
    }
    EXPECT_NE(nullptr, SplitterCursor(true));
    EXPECT_NE(LoadCursorA(nullptr, IDC_SIZEWE), SplitterCursor(true)) << "the program's own cursor";
    EXPECT_NE(LoadCursorA(nullptr, IDC_SIZENS), SplitterCursor(false));
}

TEST_F(SplitterTest, WithoutPartnerNothingMoves) {
    EXPECT_EQ(0, SetProp(split_, kPidDock, 4));
    EXPECT_EQ(static_cast<uint32_t>(-1), Prop(split_, 229)) << "no shown object docked right before it";
    EXPECT_EQ(0, SetProp(split_, 229, 120));
    EXPECT_EQ(100, PartnerWidth());
    Register(split_, kEvMove);
    Drag(60);
    Taken t = {};
    EXPECT_FALSE(TakeEvent(&t)) << "no partner, no drag";
    EXPECT_EQ(100, PartnerWidth());
}

TEST_F(SplitterTest, DragIsHeldAtTheLimitsAndReportsTheMove) {
    Register(split_, kEvMove);
    Drag(-300);
    EXPECT_EQ(40, PartnerWidth()) << "held at MinSize";
    Taken t = {};
    ASSERT_TRUE(TakeEvent(&t));
    EXPECT_EQ(kEvMove, t.eventId);
    EXPECT_EQ(40 * 10000 + 0, t.value) << "the splitter's left x 10000 + top";
    Drag(600);
    // The layout is 400 wide: less MinExtra 50 and the splitter's 6.
    EXPECT_EQ(344, PartnerWidth()) << "held at the largest size";
    ASSERT_TRUE(TakeEvent(&t));
    Drag(0);
    EXPECT_EQ(344, PartnerWidth());
    EXPECT_FALSE(TakeEvent(&t)) << "a drag back to the start posts no $MOVE";
}

TEST_F(SplitterTest, LostCaptureEndsTheDrag) {
    DWORD spent = Drag(0, true);
    EXPECT_LT(spent, kCaptureGoneEndsWithinMs) << "the drag ended when the capture went, not at the late button-up";
    EXPECT_EQ(nullptr, GetCapture());
    EXPECT_EQ(100, PartnerWidth());
}

// ---- Panel ---------------------------------------------------------------------------------

TEST_F(GraphicsTest, PanelWindowStylesFollowTheCreation) {
    struct Case { int32_t bdr, bars, clip; DWORD style, exStyle; int32_t barQuery; };
    const Case cases[] = {
        {1, 0, 1, 0, 0, 3},
        {2, 1, 1, WS_BORDER | WS_HSCROLL | WS_VSCROLL, 0, 1},
        {3, 2, 1, WS_BORDER | WS_HSCROLL, WS_EX_CLIENTEDGE, 2},
        {9, 4, 0, WS_VSCROLL, 0, 4},
    };
    for (const Case& c : cases) {
        Begin(0, 0, 100, 80);
        Value(208, c.bdr);
        Value(42, c.clip);
        cr_.scrollBar = c.bars;
        ObjectRecord* p = Make(kTypePanel);
        ASSERT_NE(nullptr, p);
        char cls[32] = {};
        GetClassNameA(p->hwnd, cls, sizeof cls);
        EXPECT_STREQ("Qovpanel", cls);
        EXPECT_EQ(static_cast<DWORD>(CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS), GetClassLongA(p->hwnd, GCL_STYLE));
        DWORD style = static_cast<DWORD>(GetWindowLongA(p->hwnd, GWL_STYLE));
        DWORD ex = static_cast<DWORD>(GetWindowLongA(p->hwnd, GWL_EXSTYLE));
        EXPECT_EQ(c.style, style & (WS_BORDER | WS_HSCROLL | WS_VSCROLL)) << c.bdr;
        EXPECT_EQ(c.exStyle, ex & WS_EX_CLIENTEDGE) << c.bdr;
        EXPECT_EQ(0u, style & WS_CLIPCHILDREN) << "ClipCtrl is kept, the window made without it";
        EXPECT_EQ(static_cast<uint32_t>(c.clip), Prop(p, 42));
        EXPECT_EQ(static_cast<uint32_t>(c.barQuery), Prop(p, 57));
        EXPECT_EQ(static_cast<uint32_t>(c.bdr >= 1 && c.bdr <= 3 ? c.bdr : 1), Prop(p, 208));
        ObjectDestroy(p);
    }
}

TEST_F(GraphicsTest, PanelScrollBarPropertyRoundTrips) {
    ObjectRecord* p = MakePanel(0, 0, 100, 80);
    ASSERT_NE(nullptr, p);
    struct Case { int32_t set, query; DWORD bits; };
    const Case cases[] = {{1, 1, WS_HSCROLL | WS_VSCROLL}, {2, 2, WS_HSCROLL}, {3, 3, 0}, {4, 4, WS_VSCROLL}, {7, 3, 0}};
    for (const Case& c : cases) {
        EXPECT_EQ(0, SetProp(p, 57, c.set));
        EXPECT_EQ(static_cast<uint32_t>(c.query), Prop(p, 57)) << c.set;
        EXPECT_EQ(c.bits, static_cast<DWORD>(GetWindowLongA(p->hwnd, GWL_STYLE)) & (WS_HSCROLL | WS_VSCROLL)) << c.set;
    }
    EXPECT_EQ(0, SetProp(p, 42, 1));
    EXPECT_TRUE(GetWindowLongA(p->hwnd, GWL_STYLE) & WS_CLIPCHILDREN);
}

TEST_F(GraphicsTest, AutoScrollPanelScrollsItsChildren) {
    Begin(10, 10, 200, 100);
    cr_.scrollBar = 4;
    cr_.autoScroll = 1;
    cr_.minScrollV = 500;
    ObjectRecord* p = Make(kTypePanel);
    ASSERT_NE(nullptr, p);
    RECT client;
    GetClientRect(p->hwnd, &client);
    SCROLLINFO si = {};
    si.cbSize = sizeof si;
    si.fMask = SIF_ALL;
    ASSERT_TRUE(GetScrollInfo(p->hwnd, SB_VERT, &si));
    EXPECT_EQ(0, si.nMin);
    EXPECT_EQ(500, si.nMax) << "the range covers MinScrollV";
    EXPECT_EQ(static_cast<UINT>(client.bottom), si.nPage) << "a page is the client height";
    // A button inside the panel moves up with the contents.
    CreateRecordReset(&cr_);
    cr_.windowRec = p;
    cr_.left = 5, cr_.top = 300, cr_.width = 60, cr_.height = 20;
    cr_.flags0 |= kCrVisible;
    cr_.title = CrText{"In", 2};
    ObjectRecord* b = Make(kTypeButton);
    ASSERT_NE(nullptr, b);
    EXPECT_EQ(p->hwnd, GetParent(b->hwnd));
    auto top = [&]() {
        RECT r;
        GetWindowRect(b->hwnd, &r);
        MapWindowPoints(nullptr, p->hwnd, reinterpret_cast<POINT*>(&r), 2);
        return r.top;
    };
    EXPECT_EQ(300, top());
    EXPECT_EQ(0, SetProp(p, 88, 250));
    EXPECT_EQ(50, top()) << "WinOffsetV scrolls the children up";
    EXPECT_EQ(250u, Prop(p, 88));
    EXPECT_EQ(0, SetProp(p, 88, 32767));
    EXPECT_EQ(50, top()) << "32767 and more change nothing";
    EXPECT_EQ(0, Call(p, 3, {6}));
    EXPECT_EQ(300, top()) << "SetVScrollPos 6 goes to the top";
    EXPECT_EQ(0, Call(p, 3, {5}));
    EXPECT_EQ(300, top()) << "code 5 is sent as 0xFFFF: no step";
    EXPECT_EQ(0, Call(p, 3, {1}));
    EXPECT_LT(top(), 300) << "a line down";
    EXPECT_EQ(1, Call(p, 2, {1})) << "no horizontal bar: result 1";
    // A child shown while the panel is scrolled is placed less the offset.
    SetProp(p, 88, 100);
    ObjectDeactivate(b);
    ObjectActivate(b, 0, 0, 0, 0);
    EXPECT_EQ(200, top()) << "showing keeps the scroll offset";
}

TEST_F(GraphicsTest, PanelResizePostsWidthAndHeight) {
    ObjectRecord* p = MakePanel(0, 0, 100, 80);
    ASSERT_NE(nullptr, p);
    Register(p, kEvResize);
    DrainEvents();
    SetWindowPos(p->hwnd, nullptr, 0, 0, 150, 60, SWP_NOZORDER | SWP_NOMOVE | SWP_NOACTIVATE);
    Taken t = {};
    ASSERT_TRUE(TakeEvent(&t));
    EXPECT_EQ(kEvResize, t.eventId);
    EXPECT_EQ(150 * 10000 + 60, t.value);
    EXPECT_EQ(0u, t.modifiers);
}

TEST_F(GraphicsTest, MovePanelKeepsTheScreenPlaceAndRefusesLoops) {
    ObjectRecord* outer = MakePanel(20, 20, 200, 150, 3);
    ObjectRecord* inner = MakePanel(10, 10, 100, 80, 2);
    ASSERT_NE(nullptr, outer);
    ASSERT_NE(nullptr, inner);
    // Move inner into outer.
    RECT before;
    GetWindowRect(inner->hwnd, &before);
    EXPECT_EQ(1, Call(inner, 20, {static_cast<int32_t>(reinterpret_cast<uintptr_t>(outer->hwnd))}));
    EXPECT_EQ(outer, inner->parent);
    EXPECT_EQ(outer->hwnd, GetParent(inner->hwnd)) << "a child window of the new container, not only owned";
    RECT after;
    GetWindowRect(inner->hwnd, &after);
    EXPECT_EQ(before.left, after.left) << "the screen place is kept";
    EXPECT_EQ(before.top, after.top);
    EXPECT_EQ(1, Call(outer, 19, {}));
    // Outer into inner would make the chain loop: refused, nothing moves.
    EXPECT_EQ(0, Call(outer, 20, {static_cast<int32_t>(reinterpret_cast<uintptr_t>(inner->hwnd))}));
    EXPECT_EQ(win_, outer->parent);
    EXPECT_EQ(0, Call(outer, 20, {static_cast<int32_t>(reinterpret_cast<uintptr_t>(outer->hwnd))})) << "into itself";
    EXPECT_EQ(0, Call(outer, 20, {static_cast<int32_t>(reinterpret_cast<uintptr_t>(GetDesktopWindow()))}))
        << "a window that is no object";
    // Back to the window.
    EXPECT_EQ(1, Call(inner, 20, {static_cast<int32_t>(reinterpret_cast<uintptr_t>(win_->hwnd))}));
    GetWindowRect(inner->hwnd, &after);
    EXPECT_EQ(before.left, after.left);
    EXPECT_EQ(0, Call(outer, 19, {}));
}

// A FloatMenu made for a panel is owned by the panel: it goes with the panel
// to another window's menu list, and back to the window when the panel goes.
TEST_F(GraphicsTest, PanelMenusMoveWithThePanel) {
    ObjectCreateRecord other;
    ObjectRecord* win2 = MakeTestWindow(&other, 300, 0);
    ASSERT_NE(nullptr, win2);
    ObjectRecord* outer = MakePanel(10, 10, 200, 150);
    ASSERT_NE(nullptr, outer);
    Begin(5, 5, 100, 80);
    cr_.windowRec = outer;
    ObjectRecord* inner = Make(kTypePanel);
    ASSERT_NE(nullptr, inner);
    auto menuOf = [&](ObjectRecord* owner) {
        CreateRecordReset(&cr_);
        cr_.windowRec = owner;
        cr_.title = CrText{"&Menu;One;Two", 13};
        return Make(kTypeFloatmenu);
    };
    ObjectRecord* mOuter = menuOf(outer);
    ObjectRecord* mInner = menuOf(inner);
    ObjectRecord* mWin = menuOf(win_);
    ASSERT_TRUE(mOuter && mInner && mWin);
    EXPECT_EQ(outer, mOuter->parent) << "the panel owns its menu";
    EXPECT_EQ(win_, mWin->parent);
    auto onList = [](ObjectRecord* window, ObjectRecord* menu) {
        for (ObjectRecord* m = ObjectAsWindow(window)->menus; m; m = m->next)
            if (m == menu) return true;
        return false;
    };
    EXPECT_TRUE(onList(win_, mOuter) && onList(win_, mInner) && onList(win_, mWin));
    EXPECT_EQ(1, Call(outer, 20, {static_cast<int32_t>(reinterpret_cast<uintptr_t>(win2->hwnd))}));
    struct Where { ObjectRecord* menu; bool onFirst, onSecond; const char* why; };
    const Where kAfterMove[] = {
        {mOuter, false, true, "the moved panel's menu"},
        {mInner, false, true, "the menu of a panel inside it"},
        {mWin, true, false, "the window's own menu stays"},
    };
    for (const Where& w : kAfterMove) {
        EXPECT_EQ(w.onFirst, onList(win_, w.menu)) << w.why;
        EXPECT_EQ(w.onSecond, onList(win2, w.menu)) << w.why;
    }
    ObjectRef ref = ObjectRefOf(mInner);
    EXPECT_EQ(0, ObjectDestroy(mInner)) << "a panel's menu leaves the list of its panel's window";
    EXPECT_FALSE(onList(win2, ref.rec));
    EXPECT_EQ(0, ObjectDestroy(outer));
    EXPECT_EQ(win2, mOuter->parent) << "the panel's window takes its menus when it goes";
    EXPECT_TRUE(onList(win2, mOuter));
    ObjectDestroy(win2);
}

TEST_F(GraphicsTest, PanelChildrenGoWithIt) {
    ObjectRecord* p = MakePanel(0, 0, 200, 150);
    ASSERT_NE(nullptr, p);
    CreateRecordReset(&cr_);
    cr_.windowRec = p;
    cr_.left = 5, cr_.top = 5, cr_.width = 60, cr_.height = 20;
    cr_.flags0 |= kCrVisible;
    cr_.name = CrText{"first", 5};
    ObjectRecord* a = Make(kTypeButton);
    cr_.name = CrText{"second", 6};
    cr_.top = 40;
    ObjectRecord* b = Make(kTypeProgress);
    ASSERT_NE(nullptr, a);
    ASSERT_NE(nullptr, b);
    HWND child = a->hwnd;
    EXPECT_EQ(2, Call(p, 19, {}));
    EXPECT_EQ(static_cast<int32_t>(b->handle), Call(p, 1, {}, kItemObject, "second"));
    EXPECT_EQ(kTypeProgress, replyKind_) << "the child's ObjectType goes with it";
    EXPECT_EQ(501u, b->ovar) << "bound to the caller's variable";
    EXPECT_EQ(0, Call(p, 1, {}, kItemObject, "second")) << "already bound";
    EXPECT_EQ(static_cast<int32_t>(a->handle), Call(p, 1, {0}, kItemObject)) << "by zero-based index";
    EXPECT_EQ(0, Call(p, 1, {5}, kItemObject)) << "no such index";
    EXPECT_EQ(0, Call(p, 1, {}, kItemObject, "SECOND")) << "names match exactly";
    EXPECT_EQ(0, Call(p, 18, {0}, kItemInt, "<b>x</b>")) << "InnerHtml on a panel with children does nothing";
    EXPECT_EQ(kOpNotAvailable, Call(p, 6, {})) << "no preview facility: an error, not success";
    uint32_t live = ObjectLiveCount();
    EXPECT_EQ(0, ObjectDestroy(p));
    EXPECT_FALSE(IsWindow(child)) << "the child windows go with the panel";
    EXPECT_EQ(live - 3, ObjectLiveCount());
}

TEST_F(GraphicsTest, InnerHtmlAndPreviewReachTheirHooks) {
    static int created, loaded, released, previews;
    created = loaded = released = previews = 0;
    static int view;
    gComObjectHooks.htmlPanelCreate = [](HWND) -> void* { ++created; return &view; };
    gComObjectHooks.htmlPanelLoad = [](void*, const char* html, uint32_t len, int32_t, HWND) {
        loaded += std::string(html, len) == "<p>hi</p>" ? 1 : 100;
    };
    gComObjectHooks.htmlPanelRelease = [](void*) { ++released; };
    gComObjectHooks.htmlPanelResize = [](void*, HWND) {};
    gPrintObjectHooks.prevPanelLoad = [](void** slot, void*, uint32_t, const PrevPanelLoadArgs* a) -> int32_t {
        // The panel hands over its arguments as given: the spool name and the pages.
        previews += std::string(a->spool ? a->spool : "", a->spoolLen) == "job.spl" && a->lastPage == 5 ? 1 : 100;
        *slot = &view;
        return 0;
    };
    gPrintObjectHooks.prevPanelCommand = [](void** slot, uint32_t action, int32_t value) -> int32_t {
        return *slot == &view ? static_cast<int32_t>(action) * 10 + value : -1;
    };
    gPrintObjectHooks.prevPanelFree = [](void** slot) -> int32_t {
        --previews;
        *slot = nullptr;
        return 0;
    };
    ObjectRecord* p = MakePanel(0, 0, 200, 150);
    ASSERT_NE(nullptr, p);
    EXPECT_EQ(0, Call(p, 18, {0}, kItemInt, "<p>hi</p>"));
    EXPECT_EQ(0, Call(p, 18, {2}, kItemInt, "<p>hi</p>")) << "flag 2 keeps the view";
    EXPECT_EQ(1, created);
    EXPECT_EQ(2, loaded);
    EXPECT_EQ(0, Call(p, 18, {0}, kItemInt, "<p>hi</p>"));
    EXPECT_EQ(1, released) << "without flag 2 the old view goes first";
    // With flag 2 the text is a URL: one holding a NUL names no page (cut
    // there, it would show page.html). Refused, nothing loaded or released.
    const char kCutUrl[] = "page.html\0x";
    const int loadedBefore = loaded, releasedBefore = released;
    MethodCallRec cut = {};
    cut.method = 18;
    cut.result.kind = kItemInt;
    MethodCallArgs(&cut, kCutUrl, std::initializer_list<int32_t>{2});
    cut.args[0].size = sizeof kCutUrl - 1;
    EXPECT_EQ(1, InvokeForReply(p, &cut)) << "a URL holding a NUL";
    EXPECT_EQ(loadedBefore, loaded);
    EXPECT_EQ(releasedBefore, released);
    EXPECT_EQ(0, Call(p, 6, {0, 1, 2, 5}, kItemInt, "job.spl"));
    EXPECT_EQ(1, previews);
    EXPECT_EQ(34, Call(p, 7, {3, 4}));
    EXPECT_EQ(0, Call(p, 8, {}));
    EXPECT_EQ(0, previews);
    ObjectDestroy(p);
    EXPECT_EQ(2, released) << "the view is released with the panel";
    gComObjectHooks.htmlPanelCreate = nullptr;
    gComObjectHooks.htmlPanelLoad = nullptr;
    gComObjectHooks.htmlPanelRelease = nullptr;
    gComObjectHooks.htmlPanelResize = nullptr;
    gPrintObjectHooks.prevPanelLoad = nullptr;
    gPrintObjectHooks.prevPanelCommand = nullptr;
    gPrintObjectHooks.prevPanelFree = nullptr;
}

TEST_F(GraphicsTest, PanelWheelFollowsTheShiftAndCtrlRule) {
    Begin(10, 10, 200, 100);
    cr_.scrollBar = 1;
    cr_.autoScroll = 1;
    cr_.minScrollV = 500;
    cr_.minScrollH = 600;
    ObjectRecord* p = Make(kTypePanel);
    ASSERT_NE(nullptr, p);
    struct Case { UINT msg; WPARAM keys; int delta; uint32_t prop; bool scrolls; const char* why; };
    const Case cases[] = {
        {WM_MOUSEWHEEL, 0, -WHEEL_DELTA, 88, true, "a turn down scrolls down"},
        {WM_MOUSEWHEEL, MK_SHIFT, -WHEEL_DELTA, 88, false, "Shift with the vertical wheel does not scroll"},
        {WM_MOUSEWHEEL, MK_CONTROL, -WHEEL_DELTA, 88, false, "nor Ctrl"},
        {0x020E, MK_SHIFT, -WHEEL_DELTA, 89, true, "the horizontal wheel scrolls whatever is held"},
    };
    for (const Case& c : cases) {
        SetProp(p, 88, 0);
        SetProp(p, 89, 0);
        SendMessageA(p->hwnd, c.msg, MAKEWPARAM(c.keys, static_cast<WORD>(c.delta)), 0);
        EXPECT_EQ(c.scrolls, Prop(p, c.prop) > 0) << c.why;
    }
    SetProp(p, 187, 0);
    SetProp(p, 88, 0);
    SendMessageA(p->hwnd, WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-WHEEL_DELTA)), 0);
    EXPECT_EQ(0u, Prop(p, 88)) << "without AutoScroll the wheel leaves the panel";
}

TEST_F(GraphicsTest, PanelOffsetsPast65535DoNotWrap) {
    Begin(0, 0, 200, 100);
    cr_.scrollBar = 4;
    cr_.autoScroll = 1;
    cr_.minScrollV = 200000;
    ObjectRecord* p = Make(kTypePanel);
    ASSERT_NE(nullptr, p);
    EXPECT_EQ(200000u, Prop(p, 189));
    EXPECT_EQ(0, SetProp(p, 88, 32766));
    EXPECT_EQ(32766u, Prop(p, 88));
    EXPECT_EQ(0, Call(p, 3, {7})) << "to the bottom";
    EXPECT_GT(Prop(p, 88), 65535u) << "the offset is kept in 32 bits";
    EXPECT_EQ(0, SetProp(p, 222, 12));
    EXPECT_EQ(12u, Prop(p, 222));
}

TEST_F(GraphicsTest, ScrollBarEnableInItsForms) {
    Begin(10, 10, 200, 20);
    Value(45, 10);
    ObjectRecord* own = Make(kTypeHscrollbar);
    ASSERT_NE(nullptr, own);
    EXPECT_EQ(0, ObjectDisable(own, 0));
    SCROLLBARINFO info = {};
    info.cbSize = sizeof info;
    ASSERT_TRUE(GetScrollBarInfo(own->hwnd, OBJID_CLIENT, &info));
    EXPECT_TRUE(info.rgstate[0] & STATE_SYSTEM_UNAVAILABLE) << "disabled";
    EXPECT_EQ(0, ObjectEnable(own, 0));
    ASSERT_TRUE(GetScrollBarInfo(own->hwnd, OBJID_CLIENT, &info));
    EXPECT_FALSE(info.rgstate[0] & STATE_SYSTEM_UNAVAILABLE) << "enabled again";
    EXPECT_EQ(0, SetProp(win_, 57, 2));
    ScrollBarLink link = {nullptr, 0};
    ObjectRecord* bar = ScrollBarAttach(kTypeHscrollbar, &link, nullptr, win_);
    ASSERT_NE(nullptr, bar);
    EXPECT_EQ(0, ObjectDisable(bar, 3)) << "a window's bar whatever the item";
    EXPECT_EQ(0u, Prop(bar, 4)) << "other properties of a window's bar answer 0";
    EXPECT_EQ(0, ObjectDestroy(bar));
}

TEST_F(GraphicsTest, VerticalProgressFillsFromTheBottom) {
    Begin(0, 0, 20, 102, false);
    Value(91, 0);
    ObjectRecord* p = Make(kTypeProgress);
    ASSERT_NE(nullptr, p);
    p->fgColor = RGB(0, 0, 255);
    p->bgColor = RGB(255, 255, 0);
    p->flags &= ~kObj3D;
    p->appearance = 2;
    ObjectSetValue(p, 0, 25);
    MemCanvas canvas(20, 102);
    ObjectOpsOf(p)->paint(p, canvas.dc, 0);
    EXPECT_EQ(RGB(0, 0, 255), canvas.At(10, 99)) << "the bottom quarter is the bar";
    EXPECT_EQ(RGB(255, 255, 0), canvas.At(10, 50));
}

TEST_F(GraphicsTest, ControlsStillTakeTheirKeys) {
    Begin(10, 40, 200, 30);
    Value(45, 100), Value(74, 1);
    ObjectRecord* s = Make(kTypeSlider);
    ASSERT_NE(nullptr, s);
    // The object model sees the key first and leaves it to the trackbar.
    SendMessageA(s->hwnd, TBM_SETPOS, TRUE, 10);
    SendMessageA(s->hwnd, WM_KEYDOWN, VK_RIGHT, 0);
    EXPECT_EQ(11, SendMessageA(s->hwnd, TBM_GETPOS, 0, 0));
}

TEST_F(GraphicsTest, EraseTransparentFillsUnderLinesAndTransparentShapes) {
    ObjectRecord* p = MakePanel(0, 0, 120, 60);
    ASSERT_NE(nullptr, p);
    p->bgColor = RGB(0, 128, 0);
    auto child = [&](uint32_t type, int32_t left, int32_t backStyle) {
        CreateRecordReset(&cr_);
        cr_.windowRec = p;
        cr_.left = left, cr_.top = 10, cr_.width = type == kTypeLine ? left + 20 : 20, cr_.height = type == kTypeLine ? 30 : 20;
        cr_.backStyle = backStyle;
        cr_.flags0 |= kCrVisible;
        return Make(type);
    };
    child(kTypeLine, 5, 0);
    child(kTypeShape, 40, 2);
    child(kTypeShape, 80, 1);
    MemCanvas canvas(120, 60);
    PanelEraseTransparent(canvas.dc, p);
    EXPECT_EQ(RGB(0, 128, 0), canvas.At(10, 15)) << "under a line";
    EXPECT_EQ(RGB(0, 128, 0), canvas.At(45, 15)) << "under a transparent shape";
    EXPECT_EQ(kWhite, canvas.At(85, 15)) << "an opaque shape paints its own";
    EXPECT_EQ(kWhite, canvas.At(65, 45)) << "outside the children";
}

TEST_F(GraphicsTest, ImageListChildOutlivesItsContainer) {
    ObjectRecord* p = MakePanel(0, 0, 100, 80);
    ASSERT_NE(nullptr, p);
    ObjectRecord* list = ObjectAllocRecord(kKindImageList, sizeof(ObjectRecord) + 16, false);
    ASSERT_NE(nullptr, list);
    list->parent = p;
    list->useCount = 1;
    LinkObject(list);
    ObjectDestroy(p);
    EXPECT_TRUE(ObjectIsLive(list)) << "an image list still in use is detached, not destroyed";
    EXPECT_EQ(nullptr, list->parent);
    ObjectUnregister(list);
    ObjectFreeRecord(list);
}

}  // namespace

namespace {

// A panel's background erase in its three situations: normally the whole
// client area; while the user drags a frame only under transparent children
// and only once the panel has grown; nothing while an object is dragged.
TEST_F(GraphicsTest, PanelEraseFollowsFrameMovesAndDrags) {
    ObjectRecord* p = MakePanel(0, 0, 120, 80);
    ASSERT_NE(nullptr, p);
    p->bgColor = RGB(255, 0, 0);
    Begin(10, 10, 20, 20);
    cr_.windowRec = p;
    cr_.backStyle = 2;
    ObjectRecord* shape = Make(kTypeShape);
    ASSERT_NE(nullptr, shape);
    const COLORREF kBack = RGB(255, 0, 0), kLeft = RGB(255, 255, 255);
    struct Step { bool moving, eraseOn; COLORREF under, beside; const char* why; };
    const Step kSteps[] = {
        {false, true, kLeft, kBack, "a normal erase fills the client area but the windowless child's"},
        {true, true, kLeft, kLeft, "a frame move without growth fills nothing"},
        {false, false, kLeft, kLeft, "nothing while an object is dragged"},
    };
    for (const Step& st : kSteps) {
        MemCanvas c(130, 90);
        gUserMovingFrame = st.moving;
        gPanelEraseOn = st.eraseOn;
        SendMessageA(p->hwnd, WM_ERASEBKGND, reinterpret_cast<WPARAM>(c.dc), 0);
        gUserMovingFrame = false;
        gPanelEraseOn = true;
        EXPECT_EQ(st.under, c.At(15, 15)) << st.why;
        EXPECT_EQ(st.beside, c.At(60, 50)) << st.why;
    }
    // The panel grows while the frame is dragged: the transparent child's
    // place is filled, the rest left to the paint that follows.
    SetWindowPos(p->hwnd, nullptr, 0, 0, 140, 90, SWP_NOZORDER | SWP_NOMOVE | SWP_NOACTIVATE);
    MemCanvas grown(150, 100);
    gUserMovingFrame = true;
    SendMessageA(p->hwnd, WM_ERASEBKGND, reinterpret_cast<WPARAM>(grown.dc), 0);
    gUserMovingFrame = false;
    EXPECT_EQ(kBack, grown.At(15, 15)) << "under the transparent shape";
    EXPECT_EQ(kLeft, grown.At(60, 50)) << "the rest is left";
}

TEST_F(GraphicsTest, PanelsMadeInTheFlaggedModeAreMarked) {
    ObjectRecord* plain = MakePanel(0, 0, 50, 50);
    ObjectRecord* flagged;
    {
        ScopedSet<uint32_t> mode(gGuiModeFlags);
        gGuiModeFlags |= kGuiModeKeepFlagged;
        flagged = MakePanel(60, 0, 50, 50);
    }
    ASSERT_TRUE(plain && flagged);
    EXPECT_EQ(0u, plain->flags & kObjFromFormNoLoad);
    EXPECT_EQ(uint32_t(kObjFromFormNoLoad), flagged->flags & kObjFromFormNoLoad);
}

// ---- Hiding and destroying overlapping controls --------------------------------------------

// The WM_PAINT messages each watched window gets, counted by a procedure put
// on top of its own.
struct PaintWatch {
    HWND wnd;
    WNDPROC old;
    int paints;
};
std::vector<PaintWatch> gPaintWatches;

LRESULT CALLBACK PaintCountProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
    for (PaintWatch& w : gPaintWatches) {
        if (w.wnd != wnd) continue;
        if (msg == WM_PAINT) ++w.paints;
        return CallWindowProcA(w.old, wnd, msg, wp, lp);
    }
    return DefWindowProcA(wnd, msg, wp, lp);
}

void WatchPaints(HWND wnd) {
    gPaintWatches.push_back(PaintWatch{wnd, nullptr, 0});
    gPaintWatches.back().old =
        reinterpret_cast<WNDPROC>(SetWindowLongPtrA(wnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(PaintCountProc)));
}

void UnwatchPaints() {
    for (const PaintWatch& w : gPaintWatches) SetWindowLongPtrA(w.wnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(w.old));
    gPaintWatches.clear();
}

int PaintsOf(HWND wnd) {
    for (const PaintWatch& w : gPaintWatches)
        if (w.wnd == wnd) return w.paints;
    return -1;
}

// True once the window and its children have nothing left to paint.
bool PaintsSettled(HWND wnd) {
    MSG m;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&m);
    if (GetUpdateRect(wnd, nullptr, FALSE)) return false;
    for (HWND c = GetWindow(wnd, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
        if (GetUpdateRect(c, nullptr, FALSE)) return false;
    return true;
}

// The pixels of the window's client area as it shows them.
std::vector<uint32_t> ClientPicture(HWND wnd) {
    RECT r;
    GetClientRect(wnd, &r);
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = r.right;
    bi.bmiHeader.biHeight = -r.bottom;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HDC src = GetDC(wnd);
    HDC mem = CreateCompatibleDC(src);
    HBITMAP bmp = CreateDIBSection(mem, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    std::vector<uint32_t> out;
    if (bmp && bits) {
        HGDIOBJ old = SelectObject(mem, bmp);
        BitBlt(mem, 0, 0, r.right, r.bottom, src, 0, 0, SRCCOPY);
        GdiFlush();
        const uint32_t* p = static_cast<const uint32_t*>(bits);
        out.assign(p, p + size_t(r.right) * size_t(r.bottom));
        SelectObject(mem, old);
    }
    if (bmp) DeleteObject(bmp);
    DeleteDC(mem);
    ReleaseDC(wnd, src);
    return out;
}

// A hidden or destroyed control repaints what it uncovered, once, as the
// system's own hide and destroy do: the container (with a windowless shape
// under the labels) and each label it lay over at most once, no other, and
// the window then looks as if the label had never been made. The newest label
// lies under the others, the oldest over them.
TEST_F(GraphicsTest, HideAndDestroyRepaintWhatTheyUncoverOnce) {
    constexpr int kStacked = 20;
    // A red shape under 20 labels stacked a pixel apart (all but label `skip`),
    // and a label beside them; the labels are made[1..20], the one beside last.
    auto fill = [&](ObjectRecord* win, int skip, std::vector<ObjectRecord*>* made) {
        made->clear();
        Begin(5, 5, 260, 60);
        cr_.windowRec = win;
        Value(63, 5), Value(62, static_cast<int32_t>(kRed));
        made->push_back(Make(kTypeShape));
        for (int i = 0; i < kStacked; ++i) {
            if (i == skip) continue;
            std::string text = "Label " + std::to_string(i);
            Begin(10, 10 + i, 200, 20);
            cr_.windowRec = win;
            cr_.text = CrText{text.c_str(), static_cast<uint32_t>(text.size())};
            cr_.bgColor.value = i % 2 ? RGB(255, 255, 160) : RGB(160, 255, 255);
            made->push_back(Make(kTypeLabelText));
        }
        Begin(280, 10, 100, 20);
        cr_.windowRec = win;
        cr_.text = CrText{"Beside", 6};
        made->push_back(Make(kTypeLabelText));
        for (ObjectRecord* rec : *made) ASSERT_NE(nullptr, rec);
        ASSERT_TRUE(WaitUntil([&] { return PaintsSettled(win->hwnd); }));
    };
    std::vector<ObjectRecord*> made;
    for (int victim : {kStacked - 1, 0}) {
        ObjectCreateRecord refCr;
        ObjectRecord* ref = MakeTestWindow(&refCr);
        ASSERT_NE(nullptr, ref);
        fill(ref, victim, &made);
        std::vector<uint32_t> expected = ClientPicture(ref->hwnd);
        ASSERT_FALSE(expected.empty());
        ObjectDestroy(ref);
        for (bool destroy : {false, true}) {
            std::string what = std::string(destroy ? "destroy" : "hide") + " of label " + std::to_string(victim);
            fill(win_, -1, &made);
            ObjectRecord* gone = made[1 + victim];
            // The labels it lies over: those after it in the Z order (all overlap it).
            std::vector<HWND> under;
            for (HWND h = GetWindow(gone->hwnd, GW_HWNDNEXT); h; h = GetWindow(h, GW_HWNDNEXT)) under.push_back(h);
            auto covered = [&](HWND h) { return std::find(under.begin(), under.end(), h) != under.end(); };
            WatchPaints(win_->hwnd);
            for (ObjectRecord* rec : made)
                if (rec->hwnd && rec != gone) WatchPaints(rec->hwnd);
            EXPECT_EQ(0, destroy ? ObjectDestroy(gone) : ObjectDeactivate(gone)) << what;
            EXPECT_TRUE(WaitUntil([&] { return PaintsSettled(win_->hwnd); })) << what;
            EXPECT_LE(PaintsOf(win_->hwnd), 1) << what << ": the container";
            for (int i = 0; i < kStacked; ++i) {
                HWND label = made[1 + i]->hwnd;
                if (i == victim) continue;
                EXPECT_LE(PaintsOf(label), covered(label) ? 1 : 0) << what << ": label " << i;
            }
            EXPECT_EQ(0, PaintsOf(made.back()->hwnd)) << what << ": the label beside";
            UnwatchPaints();
            EXPECT_TRUE(WaitUntil([&] { return ClientPicture(win_->hwnd) == expected; }))
                << what << ": the window shows what it would without the label";
            for (ObjectRecord* rec : made)
                if (rec != gone || !destroy) ObjectDestroy(rec);
            ASSERT_TRUE(WaitUntil([&] { return PaintsSettled(win_->hwnd); }));
        }
    }
}

}  // namespace
