// graphics_test.cpp - the bar, container and drawing kinds under Wine: each
// kind created in a window, values and properties read back, user actions
// sent as the controls send them and the events they queue, drawing checked
// pixel by pixel in a memory DC, timers against an injected clock.
#include <gtest/gtest.h>
#include <windows.h>

#include <commctrl.h>

#include <cstring>
#include <string>

#include "controls/controls.h"
#include "graphics/graphics.h"
#include "objects/crstream.h"
#include "objects/events.h"
#include "objects/guihooks.h"
#include "objects/objhooks.h"
#include "objects/objops.h"
#include "objects/objrecord.h"
#include "objects/window.h"
#include "session/proto/records.h"

namespace {

uint32_t gFakeMs;
uint32_t FakeTick() { return gFakeMs; }

class GraphicsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        GuiInstallHooks();
        ControlsInstall();
        GraphicsInstall();
        RuntimeStartup();
        ASSERT_NE(nullptr, CreateTheMainWindow(GetModuleHandleA(nullptr)));
    }
    void SetUp() override {
        CreateRecordReset(&cr_);
        cr_.winType = kWinNormal;
        cr_.width = 400, cr_.height = 300, cr_.right = 400, cr_.bottom = 300;
        cr_.units = kUnitsPixels;
        int32_t code = 0;
        win_ = WindowObjectCreate(nullptr, &cr_, &code);
        ASSERT_NE(nullptr, win_) << code;
        ObjectActivate(win_, 0, 0, 0, 0);
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
    ObjectCreateRecord cr_;
    ObjectRecord* win_ = nullptr;
    uint32_t (*saveTick_)() = gObjectHooks.tickCount;
};

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
    EXPECT_EQ(nullptr, ScrollBarAttach(kTypeHscrollbar, &link, win_, win_)) << "the picture form is not built";
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
struct MemCanvas {
    HDC dc;
    HBITMAP bmp;
    HGDIOBJ old;
    MemCanvas(int w, int h) {
        HDC screen = GetDC(nullptr);
        dc = CreateCompatibleDC(screen);
        bmp = CreateCompatibleBitmap(screen, w, h);
        ReleaseDC(nullptr, screen);
        old = SelectObject(dc, bmp);
        RECT r = {0, 0, w, h};
        FillRect(dc, &r, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    }
    ~MemCanvas() {
        SelectObject(dc, old);
        DeleteObject(bmp);
        DeleteDC(dc);
    }
    COLORREF At(int x, int y) const { return GetPixel(dc, x, y); }
};

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

}  // namespace
