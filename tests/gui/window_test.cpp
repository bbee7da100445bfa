// window_test.cpp - the windows layer under Wine: window objects, layout,
// shared fonts, the brush cache, tab order, the modal wait and the clean-up.
#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "objects/color.h"
#include "objects/crstream.h"
#include "objects/events.h"
#include "objects/focus.h"
#include "objects/font.h"
#include "objects/gdicache.h"
#include "objects/guihooks.h"
#include "objects/objhooks.h"
#include "objects/objops.h"
#include "objects/pump.h"
#include "objects/window.h"
#include "tests/testutil.h"

static bool operator==(const RECT& a, const RECT& b) { return EqualRect(&a, &b) != 0; }
static std::ostream& operator<<(std::ostream& o, const RECT& r) {
    return o << "{" << r.left << "," << r.top << "," << r.right << "," << r.bottom << "}";
}

namespace {

// Two rows around the windows layer's own in the facility list: at exit the
// one listed before it still finds the windows, the one after finds none.
std::string gCleanupOrder;
uint32_t gWindowsAtCleanup[2];
// The windows besides the main window, which goes last of all.
uint32_t WindowsLeft() {
    uint32_t n = 0;
    for (NativeWindowRecord* w = gWindowList; w; w = w->nextWindow)
        if (&w->w.hdr != gMainWindowP) ++n;
    return n;
}
void NoteBeforeWindows() {
    gCleanupOrder += "before;";
    gWindowsAtCleanup[0] = WindowsLeft();
}
void NoteAfterWindows() {
    gCleanupOrder += "after;";
    gWindowsAtCleanup[1] = WindowsLeft();
}

class GuiTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        FacilityListAdd(FacilityRow{"TestBefore", nullptr, NoteBeforeWindows});
        FacilityListAdd(GuiInstallHooks());
        FacilityListAdd(FacilityRow{"TestAfter", nullptr, NoteAfterWindows});
        RuntimeStartup();
        ASSERT_NE(nullptr, CreateTheMainWindow(GetModuleHandleA(nullptr)));
    }
    // A window of the type (in the window named, when one is).
    ObjectRecord* MakeWindow(int type, int left, int top, int width, int height, uint8_t units = kUnitsPixels,
                             ObjectRecord* named = nullptr) {
        static ObjectCreateRecord cr;
        CreateRecordReset(&cr);
        cr.windowRec = named;
        cr.windowResolved = named != nullptr;
        cr.winType = type;
        cr.left = left;
        cr.top = top;
        cr.width = width;
        cr.height = height;
        cr.right = left + width;
        cr.bottom = top + height;
        cr.units = units;
        cr.title = CrText{"First", 5};
        int32_t code = 0;
        ObjectRecord* rec = WindowObjectCreate(nullptr, &cr, &code);
        EXPECT_NE(nullptr, rec) << "creation code " << code;
        return rec;
    }
};

TEST_F(GuiTest, WindowShownRetitledAndRead) {
    ObjectRecord* win = MakeWindow(kWinNormal, 10, 10, 300, 200);
    ASSERT_NE(nullptr, win);
    EXPECT_FALSE(IsWindowVisible(win->hwnd)) << "created hidden";
    EXPECT_EQ(0, ObjectActivate(win, 0, 0, 0, 0));
    EXPECT_TRUE(IsWindowVisible(win->hwnd));
    PropChange req = {};
    req.id = kPidTitle;
    req.text = "Orders";
    req.textLength = 6;
    EXPECT_EQ(0, WindowSetProp(win, &req));
    char text[64];
    GetWindowTextA(win->hwnd, text, sizeof text);
    EXPECT_STREQ("Orders", text);
    WindowGetProp(win, kPidTitle);
    EXPECT_STREQ("Orders", gTextBuf);
    RECT client;
    GetClientRect(win->hwnd, &client);
    EXPECT_EQ(300, client.right) << "the rectangle is the client area";
    EXPECT_EQ(200, client.bottom);
    EXPECT_EQ(0, ObjectDeactivate(win));
    EXPECT_FALSE(IsWindowVisible(win->hwnd));
    HWND wnd = win->hwnd;
    ObjectDestroy(win);
    EXPECT_FALSE(IsWindow(wnd));
}

// Units scale by the one table the web view uses too (Units 3: 0.72 pixels a
// unit, 6: half pixels), whatever the screen's resolution: the client area
// has the scaled size and reads back the size given.
TEST_F(GuiTest, WindowUnitsScaleByTheSharedTable) {
    struct Case {
        uint8_t units;
        int width, height, clientWidth, clientHeight;
    };
    const Case cases[] = {{3, 400, 300, 288, 216}, {kUnitsHalfPixels, 400, 300, 200, 150}};
    for (const Case& c : cases) {
        ObjectRecord* win = MakeWindow(kWinNormal, 10, 10, c.width, c.height, c.units);
        ASSERT_NE(nullptr, win);
        RECT client;
        GetClientRect(win->hwnd, &client);
        EXPECT_EQ(c.clientWidth, client.right) << "Units " << int(c.units);
        EXPECT_EQ(c.clientHeight, client.bottom) << "Units " << int(c.units);
        EXPECT_EQ(static_cast<uint32_t>(c.width), WindowGetProp(win, kPidWidth)) << "Units " << int(c.units);
        EXPECT_EQ(static_cast<uint32_t>(c.height), WindowGetProp(win, kPidHeight)) << "Units " << int(c.units);
        ObjectDestroy(win);
    }
}

TEST_F(GuiTest, GeometryPropertiesRefuseOutOfRangeRectangles) {
    ObjectRecord* win = MakeWindow(kWinNormal, 10, 10, 300, 200);
    ASSERT_NE(nullptr, win);
    struct Case {
        uint32_t id;
        int32_t value, expect;
        const char* why;
    };
    const Case cases[] = {
        {kPidWidth, 400, 0, "a plain resize"},
        {kPidWidth, -5, kWinCreateBadRect, "a negative width"},
        {kPidLeft, INT32_MAX - 10, kWinCreateBadRect, "left plus width past the 32-bit range"},
        {kPidHeight, INT32_MAX, kWinCreateBadRect, "top plus height past the 32-bit range"},
        {kPidLeft, INT32_MIN, kWinCreateBadRect, "the frame's left edge below the 32-bit range"},
        {kPidLeft, 0, 0, "the client area at the screen's left edge"},
        {kPidWidth, INT32_MAX, kWinCreateBadRect, "the frame's right edge past the 32-bit range"},
    };
    for (const Case& c : cases) {
        const RECT kept = {win->left, win->top, win->right, win->bottom};
        RECT frameBefore, frameAfter;
        GetWindowRect(win->hwnd, &frameBefore);
        PropChange req = {};
        req.id = c.id;
        req.value = c.value;
        EXPECT_EQ(c.expect, WindowSetProp(win, &req)) << c.why;
        if (c.expect == 0) continue;
        GetWindowRect(win->hwnd, &frameAfter);
        EXPECT_EQ(kept, (RECT{win->left, win->top, win->right, win->bottom})) << c.why << ": the place is kept";
        EXPECT_EQ(frameBefore, frameAfter) << c.why << ": the window stays where it was";
    }
    ObjectDestroy(win);
}

// The properties a window only keeps: what a change stores is what a query
// answers, clamped to what the field holds at both ends.
TEST_F(GuiTest, KeptPropertiesRoundTripWithClamping) {
    ObjectRecord* win = MakeWindow(kWinNormal, 10, 10, 200, 100);
    ASSERT_NE(nullptr, win);
    struct Case {
        uint32_t id;
        int32_t set;
        uint32_t expect;
        const char* why;
    };
    const Case cases[] = {
        {kPidGridSizeH, 12, 12, "a grid width in range"},
        {kPidGridSizeH, 0, 1, "a grid cell is at least one pixel"},
        {kPidGridSizeH, -40, 1, "a negative grid width"},
        {kPidGridSizeH, 70000, 65535, "past 16 bits: the largest, not the wrapped value"},
        {kPidGridSizeV, 65535, 65535, "the top of the range"},
        {kPidGridSizeV, 1, 1, "the bottom of the range"},
        {kPidGridSizeV, INT32_MIN, 1, "the most negative value"},
        {kPidIcon, 7, 7, "an icon value"},
        {kPidIcon, -1, 0xFFFFFFFFu, "an icon value keeps its bits"},
        {kPidMdiBorder, 2, 2, "an MDI border"},
        {kPidMdiBorder, 300, 255, "past 8 bits"},
        {kPidMdiBorder, -5, 0, "below 0"},
        {kPidMdiScroll, 4, 4, "an MDI scroll mode"},
        {kPidMdiScroll, 256, 255, "just past 8 bits"},
        {kPidMinWidth, 120, 120, "a minimum width"},
        {kPidMinWidth, -3, static_cast<uint32_t>(-3), "a negative minimum width is kept (none in effect)"},
        {kPidMinHeight, INT32_MAX, static_cast<uint32_t>(INT32_MAX), "the largest minimum height"},
        {kPidRibMode, 1, 1, "a ribbon mode"},
        {kPidRibMode, 1000, 255, "past 8 bits"},
        {kPidShowWebMenu, 1, 1, "the web menu on"},
        {kPidShowWebMenu, -1, 0, "below 0"},
        {kPidWebMode, 1, 1, "a web mode below the page modes"},
        {kPidWebMode, INT32_MIN, 0x80000000u, "a web mode keeps its bits"},
    };
    for (const Case& c : cases) {
        PropChange req = {};
        req.id = c.id;
        req.value = c.set;
        EXPECT_EQ(0, WindowSetProp(win, &req)) << c.why;
        EXPECT_EQ(c.expect, WindowGetProp(win, c.id)) << c.why << " (property " << c.id << ", set " << c.set << ")";
    }
    ObjectDestroy(win);
}

TEST_F(GuiTest, WinTypeMapping) {
    struct Case { int requested; uint8_t kept; uint8_t asked; };
    const Case cases[] = {{8, kWinModal, 8}, {9, kWinDialog, 9}, {10, kWinTool, 10}, {11, kWinNormal, 10},
                          {3, 3, 0}, {0, kWinNormal, 0}, {42, kWinNormal, 0}};
    for (const Case& c : cases) {
        ObjectRecord* win = MakeWindow(c.requested, 0, 0, 100, 100);
        ASSERT_NE(nullptr, win);
        auto* w = NativeWindowOf(win);
        EXPECT_EQ(c.kept, w->w.winType) << "WinType " << c.requested;
        EXPECT_EQ(c.asked, w->w.winTypeRequested) << "WinType " << c.requested;
        ObjectDestroy(win);
    }
}

// A WinType 7 window that names an MDI frame is made in the frame's MDI
// client, its Left and Top counted there when written and read; naming no
// frame it is an ordinary top window. Ctrl+F4 in the active child asks to
// close it ($CLOSE, as its close box does), and the frame's destroy takes its
// children along.
TEST_F(GuiTest, AnMdiChildLivesInItsFramesClient) {
    ObjectRecord* frame = MakeWindow(kWinMdiFrame, 20, 20, 400, 300);
    ASSERT_NE(nullptr, frame);
    HWND client = NativeWindowOf(frame)->mdiClient;
    ASSERT_NE(nullptr, client) << "a frame is made with its MDI client";
    ObjectActivate(frame, 0, 0, 0, 0);
    ObjectRecord* child = MakeWindow(kWinMdiChild, 10, 20, 200, 100, kUnitsPixels, frame);
    ASSERT_NE(nullptr, child);
    EXPECT_EQ(client, GetParent(child->hwnd));
    EXPECT_TRUE(GetWindowLongA(child->hwnd, GWL_EXSTYLE) & WS_EX_MDICHILD);
    EXPECT_FALSE(IsWindowVisible(child->hwnd)) << "made hidden, as any window, until it is shown";
    ObjectActivate(child, 0, 0, 0, 0);
    EXPECT_TRUE(IsWindowVisible(child->hwnd));
    EXPECT_EQ(child->hwnd, reinterpret_cast<HWND>(SendMessageA(client, WM_MDIGETACTIVE, 0, 0)))
        << "shown, it is the MDI client's active child";
    RECT area;
    GetClientRect(child->hwnd, &area);
    MapWindowPoints(child->hwnd, client, reinterpret_cast<POINT*>(&area), 2);
    EXPECT_EQ((RECT{10, 20, 210, 120}), area) << "the client area where it was asked for, in the MDI client";
    EXPECT_EQ(10u, WindowGetProp(child, kPidLeft));
    EXPECT_EQ(20u, WindowGetProp(child, kPidTop));
    PropChange move = {};
    move.id = kPidLeft;
    move.value = 30;
    EXPECT_EQ(0, WindowSetProp(child, &move));
    EXPECT_EQ(30u, WindowGetProp(child, kPidLeft)) << "a move reads back as written";
    GetClientRect(child->hwnd, &area);
    MapWindowPoints(child->hwnd, client, reinterpret_cast<POINT*>(&area), 2);
    EXPECT_EQ((RECT{30, 20, 230, 120}), area) << "moved in the MDI client, its size kept";

    ObjectRecord* lone = MakeWindow(kWinMdiChild, 50, 60, 200, 100);
    ASSERT_NE(nullptr, lone) << "no frame named: an ordinary window";
    EXPECT_EQ(nullptr, GetParent(lone->hwnd));
    EXPECT_FALSE(GetWindowLongA(lone->hwnd, GWL_EXSTYLE) & WS_EX_MDICHILD);
    EXPECT_EQ(50u, WindowGetProp(lone, kPidLeft));
    EXPECT_EQ(static_cast<uint32_t>(kWinMdiChild), WindowGetProp(lone, kPidWinType));
    ObjectDestroy(lone);

    ASSERT_EQ(0, EventRegister(child, kEvClose, nullptr, false, nullptr, 0));
    uint32_t before = EventQueueCount();
    BYTE keys[256], held[256];
    GetKeyboardState(keys);
    memcpy(held, keys, sizeof held);
    held[VK_CONTROL] = 0x80;
    SetKeyboardState(held);
    MSG ctrlF4 = {child->hwnd, WM_KEYDOWN, VK_F4, 0, 0, {}};
    bool taken = PumpPreTranslate(&ctrlF4);
    SetKeyboardState(keys);
    EXPECT_TRUE(taken) << "Ctrl+F4 is the MDI frame's key";
    EXPECT_EQ(before + 1, EventQueueCount()) << "$CLOSE raised; the server decides";
    EXPECT_TRUE(IsWindow(child->hwnd)) << "the child stays until the server destroys it";

    ObjectRef childRef = ObjectRefOf(child);
    ObjectDestroy(frame);
    EXPECT_FALSE(ObjectRefAlive(childRef)) << "the frame's destroy takes its MDI child along";
    for (NativeWindowRecord* w = gWindowList; w; w = w->nextWindow)
        EXPECT_NE(&w->w.hdr, child) << "no record of the child is left in the window list";
}

// A windowless child record placed in a window.
static ObjectRecord* AddChild(ObjectRecord* win, uint8_t dock, uint8_t anchor, RECT r) {
    ObjectRecord* c = ObjectAllocRecord(kKindShape, sizeof(ObjectRecord) + 64, false);
    c->parent = win;
    c->dock = dock;
    c->anchor = anchor;
    c->left = r.left;
    c->top = r.top;
    c->right = r.right;
    c->bottom = r.bottom;
    c->flags |= kObjShown;
    LinkObject(c);
    return c;
}

TEST_F(GuiTest, DockedAndAnchoredChildrenAfterResize) {
    ObjectRecord* win = MakeWindow(kWinNormal, 0, 0, 400, 300);
    ASSERT_NE(nullptr, win);
    ObjectRecord* top = AddChild(win, 5, 7, {0, 0, 50, 30});     // Dock 5: top
    ObjectRecord* left = AddChild(win, 2, 7, {0, 0, 40, 50});    // Dock 2: left
    ObjectRecord* br = AddChild(win, 3, 3, {300, 250, 350, 280});
    ObjectRecord* wide = AddChild(win, 3, 8, {10, 100, 110, 120});
    WindowLayout(win);
    EXPECT_EQ((RECT{0, 0, 400, 30}), (RECT{top->left, top->top, top->right, top->bottom}));
    EXPECT_EQ(30, left->top) << "the left bar starts below the top bar";
    EXPECT_EQ(300, left->bottom);
    EXPECT_EQ(40, left->right);
    RECT r = {0, 0, 500, 360};
    DWORD style = GetWindowLongA(win->hwnd, GWL_STYLE), ex = GetWindowLongA(win->hwnd, GWL_EXSTYLE);
    AdjustWindowRectEx(&r, style, FALSE, ex);
    SetWindowPos(win->hwnd, nullptr, 0, 0, r.right - r.left, r.bottom - r.top, SWP_NOMOVE | SWP_NOZORDER);
    EXPECT_EQ(500, NativeWindowOf(win)->w.clientWidth);
    EXPECT_EQ(500, top->right) << "the top bar spans the new width";
    EXPECT_EQ(360, left->bottom) << "the left bar spans the new height";
    EXPECT_EQ((RECT{400, 310, 450, 340}), (RECT{br->left, br->top, br->right, br->bottom})) << "anchor 3 follows";
    EXPECT_EQ((RECT{10, 100, 210, 120}), (RECT{wide->left, wide->top, wide->right, wide->bottom})) << "anchor 8 stretches";
    ObjectDestroy(win);
}

// The children's window moves (SetWindowPos calls, each announced by
// WM_WINDOWPOSCHANGING), counted by a subclass of their class's procedure.
static WNDPROC gStaticProc;
static int gChildMoves;
static LRESULT CALLBACK CountMovesProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_WINDOWPOSCHANGING) ++gChildMoves;
    return CallWindowProcA(gStaticProc, wnd, msg, wp, lp);
}

// Docked children made one at a time by the thousand: the layout each asks
// for waits for its batch and is done once, when a place may be read (the
// flush every request but the making ones and every wait for the user run)
// or once the changes pause; one layout moves only the windows whose place
// changed, those docked past the 16-bit coordinates the system holds (the
// 1,640th child on) included; a run of removals moves each neighbour once,
// however often the container paints what they uncover meanwhile.
TEST_F(GuiTest, DockedChildrenAreLaidOutOnceForTheirBatch) {
    constexpr int kChildren = 1700, kHeight = 20, kRemoved = 50;
    ObjectRecord* win = MakeWindow(kWinNormal, 0, 0, 400, 300);
    ASSERT_NE(nullptr, win);
    ASSERT_EQ(0, ObjectActivate(win, 0, 0, 0, 0));
    std::vector<ObjectRecord*> kids;
    // A child made at 50, 50, docked at the top, asking for its layout as a
    // shown docked object does.
    auto dockOne = [&] {
        ObjectRecord* c = AddChild(win, kDockTop, 7, {50, 50, 150, 50 + kHeight});
        c->flags |= kObjDocked;
        c->hwnd = CreateWindowA("STATIC", "", WS_CHILD | WS_VISIBLE, 50, 50, 100, kHeight, win->hwnd, nullptr,
                                nullptr, nullptr);
        WNDPROC old = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrA(c->hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(CountMovesProc)));
        if (old != CountMovesProc) gStaticProc = old;
        kids.push_back(c);
        gObjectHooks.dockChanged(win);
        return c;
    };
    auto windowTop = [](const ObjectRecord* c) {
        RECT r;
        GetWindowRect(c->hwnd, &r);
        MapWindowPoints(nullptr, GetParent(c->hwnd), reinterpret_cast<POINT*>(&r), 2);
        return r.top;
    };
    for (int i = 0; i < kChildren; i++) dockOne();
    EXPECT_EQ(50, kids.back()->top) << "no layout before the batch ends";
    gChildMoves = 0;
    gObjectHooks.layoutsFlush();
    EXPECT_EQ(kChildren, gChildMoves) << "each child moved once";
    EXPECT_EQ(0, kids.front()->top);
    EXPECT_EQ((kChildren - 1) * kHeight, kids.back()->top) << "the record keeps the whole place";
    EXPECT_EQ(32767, windowTop(kids.back())) << "the window stands at the last place the system holds";
    gChildMoves = 0;
    WindowLayout(win);
    EXPECT_EQ(0, gChildMoves) << "a layout of children already in place moves none";

    for (int i = 0; i < kRemoved; i++) {
        kids[i]->flags &= ~kObjShown;
        ShowWindow(kids[i]->hwnd, SW_HIDE);
        gObjectHooks.dockChanged(win);
        UpdateWindow(win->hwnd);
    }
    EXPECT_EQ(kRemoved * kHeight, kids[kRemoved]->top) << "no layout before the removals end";
    gChildMoves = 0;
    gObjectHooks.layoutsFlush();
    EXPECT_EQ(0, kids[kRemoved]->top);
    // Those that stood at the last place the system holds before and after stay there.
    int stayed = (kChildren * kHeight - 32767) / kHeight - kRemoved;
    EXPECT_EQ(kChildren - kRemoved - stayed, gChildMoves) << "each neighbour moved once";

    struct Trigger {
        const char* what;
        std::function<void()> run;
    };
    const Trigger triggers[] = {
        {"the changes' pause", [&] { WaitUntil([&] { return kids.back()->top != 50; }); }},
        {"the flush", [&] { gObjectHooks.layoutsFlush(); }},
    };
    for (const Trigger& t : triggers) {
        ObjectRecord* c = dockOne();
        EXPECT_EQ(50, c->top) << t.what << ": it waits";
        gChildMoves = 0;
        t.run();
        EXPECT_EQ(int(kids.size() - 1 - kRemoved) * kHeight, c->top) << t.what;
        EXPECT_EQ(1, gChildMoves) << t.what << ": only the new child moves";
    }
    // A container destroyed while its layout waits is only taken off the list.
    dockOne();
    ObjectDestroy(win);
    gObjectHooks.layoutsFlush();
}

TEST_F(GuiTest, SameFontTextSharesOneFontRec) {
    uint32_t before = FontListCount();
    FontRec* a = FontFromSpec("TIMES(12,B)", 11, nullptr, 0);
    ASSERT_NE(nullptr, a);
    FontRec* b = FontFromSpec("'>Times New Roman'(B,12)", 24, nullptr, 0);
    EXPECT_EQ(a, b) << "the same description shares the record";
    EXPECT_EQ(2, a->users);
    EXPECT_EQ(before + 1, FontListCount());
    EXPECT_EQ(nullptr, FontFromSpec("Arial", 5, nullptr, 0));
    EXPECT_EQ(25, gFontErrNo);
    a->users = kFontUsersMax;
    EXPECT_EQ(nullptr, FontFromSpec("TIMES(12,B)", 11, nullptr, 0)) << "65,000 users is the limit";
    EXPECT_EQ(30, gFontErrNo);
    a->users = 2;
    FontRelease(a);
    FontRelease(b);
    EXPECT_EQ(before, FontListCount()) << "the last release frees it";
}

TEST_F(GuiTest, BrushCacheHolds200) {
    // Counted brushes take every slot (borrowed ones give theirs up); then the
    // next distinct one answers none.
    HBRUSH brushes[kBrushCacheSize];
    uint32_t got = 0;
    while (got < kBrushCacheSize) {
        brushes[got] = BrushCacheGet(0x10000 + got, kBrushSolid, true);
        if (!brushes[got]) break;
        ++got;
    }
    ASSERT_GE(got, 1u);
    EXPECT_EQ(kBrushCacheSize, BrushCacheCount()) << "the cache is full";
    EXPECT_EQ(nullptr, BrushCacheGet(0x20000, kBrushSolid, true)) << "the 201st distinct brush";
    EXPECT_EQ(brushes[0], BrushCacheGet(0x10000, kBrushSolid, true)) << "a cached one is still found";
    BrushCacheRelease(brushes[0]);
    EXPECT_NE(nullptr, BrushCacheGet(0x20000, kBrushNull, true)) << "the null brush is a stock object";
    uint32_t full = BrushCacheCount();
    for (uint32_t i = 0; i < got; ++i) BrushCacheRelease(brushes[i]);
    EXPECT_EQ(full - got, BrushCacheCount()) << "each brush goes with its last user";
}

TEST_F(GuiTest, BorrowedBrushesGiveWayWhenTheCacheIsFull) {
    uint32_t start = BrushCacheCount();
    for (uint32_t i = 0; i < kBrushCacheSize - start; ++i)
        ASSERT_NE(nullptr, BrushCacheGet(0x30000 + i, kBrushSolid, false)) << "borrowed " << i;
    HBRUSH counted = BrushCacheGet(0x40000, kBrushSolid, true);
    EXPECT_NE(nullptr, counted) << "a counted brush takes the slot of a borrowed one";
    EXPECT_NE(nullptr, BrushCacheGet(0x40001, kBrushSolid, false)) << "and so does another borrow";
    BrushCacheRelease(counted);
}

static ObjectRecord* gModalWin;
static ObjectRecord* gOtherWin;
static int32_t gWrongLevel;
static void CALLBACK HideModal(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    gWrongLevel = ModalWindowEnd(gOtherWin);
    ObjectDeactivate(gModalWin);
}

TEST_F(GuiTest, ModalWaitEndsWhenHidden) {
    gModalWin = MakeWindow(kWinModal, 50, 50, 200, 120);
    gOtherWin = MakeWindow(kWinNormal, 0, 0, 100, 100);
    ASSERT_NE(nullptr, gModalWin);
    ObjectActivate(gOtherWin, 0, 0, 0, 0);
    SetTimer(nullptr, 0, 50, HideModal);
    EXPECT_EQ(kModalEnded, ObjectActivate(gModalWin, 0, 0, 0, 0));
    EXPECT_EQ(kModalNotCurrent, gWrongLevel) << "a window that is not the current level";
    EXPECT_EQ(0u, gDlgStatePos);
    EXPECT_FALSE(IsWindowVisible(gModalWin->hwnd));
    EXPECT_TRUE(IsWindowEnabled(gOtherWin->hwnd)) << "the others are enabled again";
    ObjectDestroy(gModalWin);
    ObjectDestroy(gOtherWin);
}

// The modal window itself destroyed while its show waits, as a server's destroy
// request taken by the wait does: the wait ends, and the show answers the end
// of the wait without writing into the freed record.
static ObjectRecord* gDoomed;
static HWND gDoomedWnd;
static void CALLBACK DestroyDoomed(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    ObjectDestroy(gDoomed);
}

TEST_F(GuiTest, ModalWindowDestroyedDuringItsOwnShow) {
    gDoomed = MakeWindow(kWinModal, 60, 60, 200, 120);
    ASSERT_NE(nullptr, gDoomed);
    uint32_t handle = gDoomed->handle;
    gDoomedWnd = gDoomed->hwnd;
    SetTimer(nullptr, 0, 50, DestroyDoomed);
    EXPECT_EQ(kModalEnded, ObjectActivate(gDoomed, 0, 0, 0, 0));
    EXPECT_EQ(nullptr, ObjectFromHandle(handle)) << "the window is gone";
    EXPECT_FALSE(IsWindow(gDoomedWnd));
    EXPECT_EQ(0u, gDlgStatePos) << "its level ended";
    EXPECT_FALSE(gAllWindowsDisabled) << "the other windows are enabled again";
}

// Nested modal waits: the outer window is destroyed while the inner wait
// runs, and a new window is made at once (typically in the freed memory).
struct NestedModal {
    ObjectRecord* outer;
    ObjectRecord* inner;
    ObjectRecord* later;
    bool outerWaited, laterWaited, innerReturned, rescued;
    HWND ownerAfter;
};
static NestedModal gNested;
static ObjectRecord* MakeWindowFor(int type);

static void CALLBACK RescueWaits(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    gNested.rescued = true;
    ModalStateReset();
}

static void CALLBACK DestroyOuterModal(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    ObjectRecord* gone = gNested.outer;
    ObjectDestroy(gone);
    gNested.outerWaited = ModalIsWaitingFor(gone);
    gNested.later = MakeWindowFor(kWinNormal);
    gNested.laterWaited = ModalIsWaitingFor(gNested.later);
    gNested.ownerAfter = DialogOwnerWindow(nullptr);
    ObjectDeactivate(gNested.inner);
}

static void CALLBACK ShowInnerModal(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    SetTimer(nullptr, 0, 50, DestroyOuterModal);
    ObjectActivate(gNested.inner, 0, 0, 0, 0);
    gNested.innerReturned = true;
}

static ObjectRecord* MakeWindowFor(int type) {
    static ObjectCreateRecord cr;
    CreateRecordReset(&cr);
    cr.winType = type;
    cr.width = cr.right = 100;
    cr.height = cr.bottom = 100;
    cr.units = kUnitsPixels;
    int32_t code = 0;
    return WindowObjectCreate(nullptr, &cr, &code);
}

TEST_F(GuiTest, ModalWaitOfDestroyedWindowEnds) {
    gNested = NestedModal{};
    gNested.outer = MakeWindow(kWinModal, 50, 50, 200, 120);
    gNested.inner = MakeWindow(kWinModal, 80, 80, 200, 120);
    ASSERT_TRUE(gNested.outer && gNested.inner);
    SetTimer(nullptr, 0, 50, ShowInnerModal);
    // Showing and hiding windows under Wine can take seconds; the rescue comes later.
    UINT_PTR rescue = SetTimer(nullptr, 0, 20000, RescueWaits);
    EXPECT_EQ(kModalEnded, ObjectActivate(gNested.outer, 0, 0, 0, 0));
    KillTimer(nullptr, rescue);
    EXPECT_TRUE(gNested.innerReturned);
    EXPECT_FALSE(gNested.outerWaited) << "a destroyed window is no longer waited for";
    EXPECT_FALSE(gNested.laterWaited) << "nor is a new window that took its memory";
    EXPECT_EQ(gNested.inner->hwnd, gNested.ownerAfter) << "dialogs are owned by the inner level";
    EXPECT_FALSE(gNested.rescued) << "the outer wait ended when its window went";
    EXPECT_EQ(0u, gDlgStatePos);
    ObjectDestroy(gNested.inner);
    if (gNested.later) ObjectDestroy(gNested.later);
}

// A windowed child with a real push button behind it, in tab position tabId.
static ObjectRecord* AddButton(ObjectRecord* win, uint16_t tabId, bool enabled) {
    ObjectRecord* c = ObjectAllocRecord(kKindButton, sizeof(ObjectRecord) + 64, false);
    c->parent = win;
    c->tabId = tabId;
    c->flags |= kObjShown;
    c->hwnd = CreateWindowExA(0, "BUTTON", "b", WS_CHILD | WS_VISIBLE | WS_TABSTOP | (enabled ? 0 : WS_DISABLED),
                              10, 10 + 30 * tabId, 80, 24, win->hwnd, nullptr, GetModuleHandleA(nullptr), nullptr);
    SetWindowLongPtrA(c->hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(c));
    if (!enabled) c->flags |= kObjDisabled;
    LinkObject(c);
    return c;
}

TEST_F(GuiTest, FocusNextObjectFollowsTabOrder) {
    ObjectRecord* win = MakeWindow(kWinNormal, 20, 20, 200, 200);
    ASSERT_NE(nullptr, win);
    // Linked out of order; the disabled one (tab 2) is passed over.
    ObjectRecord* third = AddButton(win, 4, true);
    ObjectRecord* first = AddButton(win, 1, true);
    ObjectRecord* off = AddButton(win, 2, false);
    ObjectRecord* second = AddButton(win, 3, true);
    ASSERT_EQ(0, ObjectActivate(win, 0, 0, 0, 0));
    SetActiveWindow(win->hwnd);
    ASSERT_EQ(win->hwnd, GetActiveWindow());
    SetFocus(win->hwnd);
    struct Step { int backward; ObjectRecord* expect; const char* why; };
    const Step steps[] = {
        {0, first, "from no focused object, forward starts at the lowest tab id"},
        {0, second, "the disabled tab 2 is skipped"},
        {0, third, "then the highest"},
        {0, first, "forward wraps to the start"},
        {1, third, "backward wraps to the end"},
        {1, second, "backward in reverse tab order"},
    };
    for (const Step& s : steps) {
        EXPECT_TRUE(FocusNextObject(s.backward)) << s.why;
        EXPECT_EQ(s.expect, GetFocusObject()) << s.why;
        EXPECT_EQ(s.expect->hwnd, GetFocus()) << s.why;
        EXPECT_EQ(s.expect, NativeWindowOf(win)->w.focusObj) << s.why;
    }
    EXPECT_NE(off->hwnd, GetFocus());
    ObjectDestroy(win);
}

TEST_F(GuiTest, MnemonicChars) {
    struct Case { const char* text; char expect; };
    const Case cases[] = {{"&Save", 'S'}, {"Save &as", 'a'}, {"A&&B", 0}, {"A&&B &Cut", 'C'}, {"", 0}, {"x&", 0}};
    for (const Case& c : cases) EXPECT_EQ(c.expect, MnemonicChar(c.text)) << c.text;
}

// Handlers that write their number into a log, to see who heard an event.
std::string gEventLog;
template <int N>
void LogEvent(ObjectRecord* window, bool on) {
    gEventLog += std::to_string(N) + (on ? "+" : "-") + (window ? "w" : "0") + ";";
}

TEST_F(GuiTest, AWindowEventReachesEverySubscriberOnce) {
    // The font-changed list: nothing else in this program subscribes to it.
    EXPECT_EQ(nullptr, WindowEventSubscribe(kWindowFontChanged, LogEvent<1>));
    EXPECT_EQ(nullptr, WindowEventSubscribe(kWindowFontChanged, LogEvent<2>));
    EXPECT_EQ(nullptr, WindowEventSubscribe(kWindowFontChanged, LogEvent<1>)) << "a second subscription is harmless";
    EXPECT_STRNE(nullptr, WindowEventSubscribe(kWindowEventCount, LogEvent<3>)) << "no such event";
    EXPECT_STRNE(nullptr, WindowEventSubscribe(kWindowFontChanged, nullptr)) << "no handler";
    ObjectRecord* win = MakeWindow(kWinNormal, 0, 0, 100, 100);
    ASSERT_NE(nullptr, win);
    WindowEventRaise(kWindowFontChanged, win, false);
    EXPECT_EQ("1-w;2-w;", gEventLog) << "each once, in the order they subscribed";
    gEventLog.clear();
    WindowEventRaise(kWindowActivated, win, true);
    EXPECT_EQ("", gEventLog) << "another event's list is not called";
    // A full list refuses with a reason and keeps its handlers.
    const WindowEventHandler more[] = {LogEvent<3>, LogEvent<4>, LogEvent<5>, LogEvent<6>,
                                       LogEvent<7>, LogEvent<8>, LogEvent<9>};
    uint32_t refused = 0;
    for (WindowEventHandler h : more)
        if (WindowEventSubscribe(kWindowFontChanged, h)) ++refused;
    EXPECT_EQ(1u, refused) << "the list holds " << kWindowEventHandlersMax;
    WindowEventRaise(kWindowFontChanged, win, false);
    EXPECT_EQ("1-w;2-w;3-w;4-w;5-w;6-w;7-w;8-w;", gEventLog);
    ObjectDestroy(win);
}

// A font change from the server (a property change by code, as the wire
// gives it) takes effect on a native window and is heard by those who read
// the window's font; a font text that names no font is refused.
TEST_F(GuiTest, ServerFontChangeReachesTheWindow) {
    EXPECT_EQ(nullptr, WindowEventSubscribe(kWindowFontChanged, LogEvent<1>));
    ObjectRecord* win = MakeWindow(kWinNormal, 0, 0, 100, 100);
    ASSERT_NE(nullptr, win);
    ASSERT_NE(nullptr, win->font);
    const std::string face = win->font->face;
    struct Case {
        uint32_t code;
        int32_t value;
        const char* text;
        int32_t expect;
        bool bold, italic;
        int32_t size;   // 0: the window's first font's
        const char* why;
    };
    const int32_t first = win->font->size;
    const Case kCases[] = {
        {267, 1, nullptr, 0, true, false, 0, "Bold"},
        {324, 140, nullptr, 0, true, false, 140, "Size, in tenths of a point, keeps Bold"},
        {294, 1, nullptr, 0, true, true, 140, "Italic"},
        {287, 0, "TIMES(12)", 0, false, false, 120, "a font text replaces the whole font"},
        {287, 0, "Arial", kOpNoFont, false, false, 120, "a font text without a size names no font"},
    };
    for (const Case& c : kCases) {
        gEventLog.clear();
        PropChange req = {};
        req.code = c.code;
        req.value = c.value;
        req.text = c.text;
        req.textLength = c.text ? static_cast<uint32_t>(strlen(c.text)) : 0;
        EXPECT_EQ(c.expect, ObjectSetProperty(win, &req)) << c.why;
        EXPECT_EQ(c.expect == 0 ? "1-w;" : "", gEventLog.substr(0, 4)) << c.why << ": told, or not when refused";
        EXPECT_EQ(c.bold, win->font->bold != 0) << c.why;
        EXPECT_EQ(c.italic, win->font->italic != 0) << c.why;
        EXPECT_EQ(c.size ? c.size : first, win->font->size) << c.why;
    }
    ObjectDestroy(win);
}

TEST_F(GuiTest, ZZCleanupLeavesNoWindow) {
    ObjectRecord* win = MakeWindow(kWinNormal, 0, 0, 100, 100);
    HWND wnd = win->hwnd, main = gMainWindowWnd;
    EXPECT_EQ(nullptr, FacilityListAdd(FacilityRow{"TestAfter", nullptr, NoteAfterWindows})) << "listed once";
    // The build puts one font file beside this program when the machine has one.
    bool fontBeside = GetFileAttributesA("qovtest-font.ttf") != INVALID_FILE_ATTRIBUTES;
    EXPECT_EQ(fontBeside ? 1u : 0u, RuntimeFontFileCount()) << "font files beside the program are added";
    CleanupTheRuntime();
    EXPECT_EQ(0u, RuntimeFontFileCount()) << "and removed at the end";
    EXPECT_FALSE(IsWindow(wnd));
    EXPECT_FALSE(IsWindow(main));
    EXPECT_EQ(nullptr, gWindowList);
    EXPECT_EQ(0u, FontListCount());
    EXPECT_EQ("before;after;", gCleanupOrder) << "the rows in their order, each once";
    EXPECT_LE(1u, gWindowsAtCleanup[0]) << "a row before the windows' own still finds them";
    EXPECT_EQ(0u, gWindowsAtCleanup[1]) << "a row after it finds them gone";
}

}  // namespace
