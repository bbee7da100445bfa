// bars_test.cpp - the status bar, the tab control and the toolbar under Wine:
// each made in a window, its sub-objects added through the methods the server
// calls, the control's own state read back with its messages, properties
// changed through item selectors, and real mouse and key input (SendInput)
// turned into the events the server receives.
#include <gtest/gtest.h>
#include <windows.h>

#include <commctrl.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "controls/controls.h"
#include "graphics/baritems.h"
#include "graphics/graphics.h"
#include "graphics/image/dibutil.h"
#include "objects/crstream.h"
#include "objects/events.h"
#include "objects/focus.h"
#include "objects/guihooks.h"
#include "objects/objhooks.h"
#include "objects/objops.h"
#include "objects/objrecord.h"
#include "objects/paint.h"
#include "objects/pump.h"
#include "objects/window.h"
#include "session/proto/protocol.h"
#include "session/proto/records.h"
#include "session/session.h"
#include "tests/gui/testwindow.h"
#include "tests/testutil.h"

namespace {

// One method argument: a number, a text, or left out.
struct Arg {
    enum Kind { kNone, kInt, kText } kind;
    int32_t value;
    const char* text;
};
Arg N(int32_t v) { return Arg{Arg::kInt, v, nullptr}; }
Arg T(const char* t) { return Arg{Arg::kText, 0, t}; }
const Arg kSkip = {Arg::kNone, 0, nullptr};

struct Taken {
    uint32_t eventId;
    uint32_t modifiers;
    int32_t value;
};

class BarsTest : public ::testing::Test {
protected:
    // One window serves every test: taking a top window off the screen costs
    // Wine two seconds (it waits for a window manager the display does not
    // have), so each test only destroys the objects it made in it.
    static void SetUpTestSuite() {
        StartTestRuntime(GraphicsInstall);
        static ObjectCreateRecord cr;
        win_ = MakeTestWindow(&cr, 40, 40);
    }
    static void TearDownTestSuite() {
        if (win_) ObjectDestroy(win_);
        win_ = nullptr;
    }
    void SetUp() override {
        ASSERT_NE(nullptr, win_);
        SetForegroundWindow(win_->hwnd);
        Pump();
        DrainEvents();
    }
    void TearDown() override {
        ObjectDestroyChildren(win_);
        Pump();
        DrainEvents();
    }
    void Begin(int32_t left, int32_t top, int32_t width, int32_t height) {
        CreateRecordReset(&cr_);
        cr_.windowRec = win_;
        cr_.left = left, cr_.top = top, cr_.width = width, cr_.height = height;
        cr_.flags0 |= kCrVisible;
    }
    void Value(uint32_t id, int32_t v) {
        cr_.values[id] = v;
        cr_.given[id] = 1;
    }
    ObjectRecord* Make(uint32_t type) {
        int32_t code = 0;
        ObjectRecord* rec = ObjectCreate(type, &cr_, &code);
        EXPECT_NE(nullptr, rec) << "type " << type << " code " << code;
        Pump();
        return rec;
    }
    static void Pump() {
        MSG m;
        while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
            if (gHooks.pumpPreTranslate && gHooks.pumpPreTranslate(&m)) continue;
            TranslateMessage(&m);
            DispatchMessageA(&m);
        }
    }
    // Pumps (through the client's pre-translation, which mnemonics and
    // Ctrl+Tab need) until done() holds or the deadline passes.
    template <typename Done>
    static bool PumpUntil(Done done, int deadlineMs = kWaitDeadlineMs) {
        return WaitUntil(done, deadlineMs, [] {
            Pump();
            Sleep(kWaitPollMs);
        });
    }
    // Pumps for a time that is itself what the test needs: a person's pace
    // between two inputs, or the double-click time that must pass so that
    // the next click is a new one. Never a wait before a check.
    static void PumpFor(DWORD ms) {
        PumpUntil([] { return false; }, static_cast<int>(ms));
    }
    static bool TakeEvent(Taken* out) {
        EventRecord ev = {};
        EventItem items[kEventRegItems];
        uint32_t n = 0;
        if (!EventTakeNext(&ev, items, &n)) return false;
        *out = Taken{static_cast<uint32_t>(ev.eventId), ev.modifiers, ev.value};
        return true;
    }
    static std::vector<Taken> TakeAll() {
        std::vector<Taken> all;
        Taken t;
        while (TakeEvent(&t)) all.push_back(t);
        return all;
    }
    static void DrainEvents() { TakeAll(); }
    // The events that input sent before raises: taken until there are at
    // least n, then whatever the input still queued behind them.
    static std::vector<Taken> TakeAtLeast(size_t n) {
        std::vector<Taken> all;
        PumpUntil([&] {
            for (Taken t; TakeEvent(&t);) all.push_back(t);
            return all.size() >= n;
        });
        Pump();
        for (Taken t; TakeEvent(&t);) all.push_back(t);
        return all;
    }
    static void Register(ObjectRecord* rec, uint32_t eventId) {
        const int32_t values[4] = {};
        ASSERT_EQ(0, EventRegister(rec, eventId, values, false, nullptr, 0));
    }
    // Calls a method the way the server does: the integer (or handle) of the
    // answer, or the handler's own code. objectResult asks for an object.
    static int32_t Call(ObjectRecord* rec, uint32_t method, std::vector<Arg> args, bool objectResult = false) {
        MethodCallRec call = {};
        call.method = method;
        call.result.kind = objectResult ? kItemObject : kItemInt;
        call.result.varRef = 501;
        uint32_t i = 0;
        for (const Arg& a : args) {
            if (a.kind == Arg::kText) {
                call.args[i].kind = kItemText;
                call.args[i].data = a.text;
                call.args[i].size = static_cast<uint32_t>(strlen(a.text));
                call.argPresent[i] = 1;
            } else if (a.kind == Arg::kInt) {
                call.args[i].kind = kItemInt;
                call.args[i].value = static_cast<uint64_t>(static_cast<int64_t>(a.value));
                call.argPresent[i] = 1;
            }
            ++i;
        }
        call.argCount = i;
        return InvokeForReply(rec, &call, &replyKind_);
    }
    static uint8_t replyKind_;
    // A property query or change as the dispatcher makes it, with an item
    // selector (kind 0 none, 8 an index, 32 a name).
    static EventItem Selector(int32_t index) {
        EventItem s = {};
        s.kind = kItemInt;
        s.value = static_cast<uint64_t>(static_cast<int64_t>(index));
        return s;
    }
    static EventItem Selector(const char* name) {
        EventItem s = {};
        s.kind = kItemText8;
        s.data = name;
        s.size = static_cast<uint32_t>(strlen(name));
        return s;
    }
    static uint32_t Prop(ObjectRecord* rec, uint32_t id, const EventItem& sel = EventItem()) {
        PropQuery q = {};
        q.selector = sel;
        gCurPropQuery = &q;
        gTextBuf[0] = 0;
        uint32_t v = ObjectOpsOf(rec)->getProp(rec, id);
        gCurPropQuery = nullptr;
        return v;
    }
    static std::string PropText(ObjectRecord* rec, uint32_t id, const EventItem& sel = EventItem()) {
        Prop(rec, id, sel);
        return gTextBuf;
    }
    static int32_t SetProp(ObjectRecord* rec, uint32_t id, int32_t v, const EventItem& sel = EventItem()) {
        PropChange req = {};
        req.id = id;
        req.value = v;
        req.selector = sel;
        return ObjectOpsOf(rec)->setProp(rec, &req);
    }
    static int32_t SetPropText(ObjectRecord* rec, uint32_t id, const char* text, const EventItem& sel = EventItem()) {
        PropChange req = {};
        req.id = id;
        req.text = text;
        req.textLength = static_cast<uint32_t>(strlen(text));
        req.value = static_cast<int32_t>(req.textLength);
        req.selector = sel;
        return ObjectOpsOf(rec)->setProp(rec, &req);
    }
    // Mouse input at a point of a window's client area, as a person gives it.
    static void SendMouse(DWORD flags, POINT screen) {
        INPUT in = MouseInputAt(flags, screen);
        SendInput(1, &in, sizeof in);
    }
    static POINT ScreenOf(HWND wnd, int x, int y) {
        POINT p = {x, y};
        ClientToScreen(wnd, &p);
        return p;
    }
    // A click as a person makes it: the pointer there first, then the press
    // held for a moment. The caller waits for what the click raises.
    static void ClickAt(HWND wnd, int x, int y, bool right = false) {
        constexpr DWORD kHoldMs = 30;
        POINT p = ScreenOf(wnd, x, y);
        SendMouse(MOUSEEVENTF_MOVE, p);
        PumpUntil([&] {
            POINT at = {};
            return GetCursorPos(&at) && at.x == p.x && at.y == p.y;
        });
        SendMouse(right ? MOUSEEVENTF_RIGHTDOWN : MOUSEEVENTF_LEFTDOWN, p);
        PumpFor(kHoldMs);
        SendMouse(right ? MOUSEEVENTF_RIGHTUP : MOUSEEVENTF_LEFTUP, p);
    }
    static void Keys(std::vector<WORD> down) {
        std::vector<INPUT> in;
        for (WORD vk : down) {
            INPUT i = {};
            i.type = INPUT_KEYBOARD;
            i.ki.wVk = vk;
            in.push_back(i);
        }
        for (auto it = down.rbegin(); it != down.rend(); ++it) {
            INPUT i = {};
            i.type = INPUT_KEYBOARD;
            i.ki.wVk = *it;
            i.ki.dwFlags = KEYEVENTF_KEYUP;
            in.push_back(i);
        }
        SendInput(static_cast<UINT>(in.size()), in.data(), sizeof(INPUT));
    }
    // The test window in front with the keyboard focus on wnd.
    void TakeFocus(HWND wnd) {
        SetForegroundWindow(win_->hwnd);
        SetActiveWindow(win_->hwnd);
        SetFocus(wnd);
        ASSERT_TRUE(PumpUntil([&] { return GetFocus() == wnd; }));
    }
    ObjectCreateRecord cr_;
    static ObjectRecord* win_;
};
uint8_t BarsTest::replyKind_;
ObjectRecord* BarsTest::win_;

// ---- Status bar ----------------------------------------------------------------------------------

enum : uint32_t { kSbAddPanel = 1, kSbGetPanel = 2, kSbRemovePanel = 3 };
enum : uint32_t { kPidSizeGrip = 199, kPidShowPanel = 200, kPidAutoSize = 2, kPidWidth = 35, kPidBdrStyle = 208 };

class StatusBarTest : public BarsTest {
protected:
    void SetUp() override {
        BarsTest::SetUp();
        Begin(0, 270, 400, 30);
        Value(kPidShowPanel, 1);
        bar_ = Make(kTypeStatusbar);
        ASSERT_NE(nullptr, bar_);
    }
    // AddPanel(Width, AutoSize, BdrStyle, MinWidth, Text, RunName, ToolTip, UserData)
    int32_t Add(std::vector<Arg> args, bool object = false) { return Call(bar_, kSbAddPanel, args, object); }
    ObjectRecord* bar_ = nullptr;
};

TEST_F(StatusBarTest, PartsFollowContentsFixedAndSpringPanels) {
    ASSERT_EQ(0, Add({kSkip, N(1), N(1), N(30), T("Ready")}));
    ASSERT_EQ(0, Add({N(60), N(2), N(2), kSkip, T("Fixed"), kSkip, T("a tip")}));
    ASSERT_EQ(0, Add({kSkip, N(3), N(3), N(10), T("Spring")}));
    // The contents panel is its text's extent plus 8 (at least MinWidth 30);
    // the spring panel takes what the client width leaves.
    HDC dc = GetDC(bar_->hwnd);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageA(bar_->hwnd, WM_GETFONT, 0, 0)));
    SIZE ext = {};
    GetTextExtentPoint32A(dc, "Ready", 5, &ext);
    SelectObject(dc, old);
    ReleaseDC(bar_->hwnd, dc);
    int32_t first = ext.cx + 8 < 30 ? 30 : ext.cx + 8;
    RECT client;
    GetClientRect(bar_->hwnd, &client);
    int edges[4] = {};
    ASSERT_EQ(3, SendMessageA(bar_->hwnd, SB_GETPARTS, 4, reinterpret_cast<LPARAM>(edges)));
    EXPECT_EQ(first, edges[0]);
    EXPECT_EQ(first + 60, edges[1]);
    EXPECT_EQ(client.right, edges[2]) << "the spring reaches the end";
    struct Case {
        int part;
        const char* text;
        int type;
    };
    const Case kCases[] = {{0, "Ready", SBT_NOBORDERS}, {1, "Fixed", SBT_POPOUT}, {2, "Spring", 0}};
    for (const Case& c : kCases) {
        char text[64] = {};
        SendMessageA(bar_->hwnd, SB_GETTEXTA, c.part, reinterpret_cast<LPARAM>(text));
        EXPECT_STREQ(c.text, text);
        LRESULT lt = SendMessageA(bar_->hwnd, SB_GETTEXTLENGTHA, c.part, 0);
        EXPECT_EQ(c.type, HIWORD(lt)) << "part " << c.part;
    }
    char tip[64] = {};
    SendMessageA(bar_->hwnd, SB_GETTIPTEXTA, MAKEWPARAM(1, sizeof tip), reinterpret_cast<LPARAM>(tip));
    EXPECT_STREQ("a tip", tip);
}

TEST_F(StatusBarTest, HundredPanelsAtMostWithTheirDefaultNames) {
    for (int i = 0; i < 100; ++i) ASSERT_EQ(0, Add({N(4)})) << i;
    EXPECT_EQ(-3, Add({N(4)})) << "the 101st panel is refused";
    EXPECT_EQ("Panel001", PropText(bar_, kPidRunName, Selector(0)));
    EXPECT_EQ("Panel100", PropText(bar_, kPidRunName, Selector(99)));
    EXPECT_EQ(0, Call(bar_, kSbGetPanel, {N(100)}, true)) << "nothing was added";
    EXPECT_EQ(100, SendMessageA(bar_->hwnd, SB_GETPARTS, 0, 0));
}

TEST_F(StatusBarTest, ItemSelectorsReachPanelsByIndexAndName) {
    ASSERT_EQ(0, Add({N(50), N(2), kSkip, kSkip, T("one"), T("First")}));
    ASSERT_EQ(0, Add({N(50), N(2), kSkip, kSkip, T("two")}));
    EXPECT_EQ("one", PropText(bar_, kPidText, Selector("First")));
    EXPECT_EQ("two", PropText(bar_, kPidText, Selector(1)));
    EXPECT_EQ("Panel002", PropText(bar_, kPidRunName, Selector(1)));
    EXPECT_EQ(0, SetPropText(bar_, kPidText, "uno", Selector("First")));
    char text[16] = {};
    SendMessageA(bar_->hwnd, SB_GETTEXTA, 0, reinterpret_cast<LPARAM>(text));
    EXPECT_STREQ("uno", text);
    EXPECT_EQ("?????", PropText(bar_, kPidText, Selector("first")))
        << "names match exactly; no match is the unknown property";
    std::string longName(300, 'F');
    EXPECT_EQ(-35, SetPropText(bar_, kPidText, "x", Selector(longName.c_str())))
        << "a name above 255 bytes selects nothing: an unknown property";
    SendMessageA(bar_->hwnd, SB_GETTEXTA, 0, reinterpret_cast<LPARAM>(text));
    EXPECT_STREQ("uno", text);
    // AutoSize outside 1..3 is ignored; BdrStyle likewise.
    EXPECT_EQ(0, SetProp(bar_, kPidAutoSize, 4, Selector(0)));
    EXPECT_EQ(2u, Prop(bar_, kPidAutoSize, Selector(0)));
    EXPECT_EQ(0, SetProp(bar_, kPidBdrStyle, 0, Selector(0)));
    EXPECT_EQ(3u, Prop(bar_, kPidBdrStyle, Selector(0)));
}

// A panel that form loading makes after a status bar of the web view goes to
// the web bar's own adder (which keeps its panels), whether the row names the
// bar or follows it; without an adder it is refused.
ObjectRecord* gWebStatusSeen;
TEST_F(StatusBarTest, PanelsOfAWebViewBarGoToItsOwnAdder) {
    ObjectRecord* web = ObjectAllocRecord(kKindStatusBar, sizeof(ObjectRecord), true);
    ASSERT_NE(nullptr, web);
    gGraphicsHooks.statusBarAddPanel = [](ObjectRecord* bar, ObjectCreateRecord*, int32_t* code) {
        gWebStatusSeen = bar;
        *code = 0;
        return bar;
    };
    struct Case {
        ObjectRecord* named;      // the row's window
        ObjectRecord* madeLast;   // the status bar made last
        const char* why;
    };
    const Case kCases[] = {
        {web, bar_, "a row that names the web bar"},
        {win_, web, "a row that follows the web bar made last"},
    };
    for (const Case& k : kCases) {
        ObjectCreateRecord cr;
        CreateRecordReset(&cr);
        cr.windowRec = k.named;
        gStatusBarMadeLast = k.madeLast;
        gWebStatusSeen = nullptr;
        int32_t code = -1;
        EXPECT_EQ(web, StatusPanelCreate(kTypeStatusbar, &cr, &code)) << k.why;
        EXPECT_EQ(web, gWebStatusSeen) << k.why << ": the web bar's adder was given the bar";
    }
    EXPECT_EQ(0, Call(bar_, kSbGetPanel, {N(0)}, true)) << "the native bar got nothing";
    gGraphicsHooks.statusBarAddPanel = nullptr;
    ObjectCreateRecord cr;
    CreateRecordReset(&cr);
    cr.windowRec = web;
    int32_t code = -1;
    EXPECT_EQ(nullptr, StatusPanelCreate(kTypeStatusbar, &cr, &code));
    EXPECT_EQ(kOpNotAvailable, code) << "no web status bar: refused";
    gStatusBarMadeLast = bar_;
    ObjectFreeRecord(web);
}

TEST_F(StatusBarTest, RescaleStartsFromTheWidthAtCreation) {
    ASSERT_EQ(0, Add({N(50), N(2)}));
    EXPECT_EQ(0, SetProp(bar_, kPidWidth, 80, Selector(0)));
    EXPECT_EQ(80u, Prop(bar_, kPidWidth, Selector(0)));
    ASSERT_TRUE(ObjectRescale(bar_, 100, 200));
    EXPECT_EQ(100u, Prop(bar_, kPidWidth, Selector(0))) << "50 x 200%, not 80 x 200%";
}

TEST_F(StatusBarTest, RemovedPanelHeldByTheServerAnswersNothing) {
    EXPECT_EQ(0, Call(bar_, kSbRemovePanel, {N(0)})) << "a bar without panels answers 0";
    int32_t handle = Add({N(40), N(2), kSkip, kSkip, T("held")}, true);
    ASSERT_GT(handle, 0);
    EXPECT_EQ(44, replyKind_) << "the result is a StatusPanel object";
    ObjectRecord* panel = ObjectFromHandle(static_cast<uint32_t>(handle));
    ASSERT_NE(nullptr, panel);
    EXPECT_EQ(kKindStatusPanel, panel->kind);
    EXPECT_EQ(1, Call(bar_, kSbRemovePanel, {T("nothing")})) << "an unknown key";
    EXPECT_EQ(0, Call(bar_, kSbRemovePanel, {T("Panel001")}));
    EXPECT_EQ(1, SendMessageA(bar_->hwnd, SB_GETPARTS, 0, 0)) << "no panels: one part over the whole bar";
    // The server still holds the panel: it answers 0 and ignores changes.
    EXPECT_EQ(0u, Prop(panel, kPidWidth));
    EXPECT_EQ(0, SetPropText(panel, kPidText, "changed"));
    EXPECT_EQ("", PropText(panel, kPidText));
    // The server's release is the last one: the handle names nothing after it.
    EXPECT_EQ(0, ObjectDestroy(panel));
    EXPECT_EQ(nullptr, ObjectFromHandle(static_cast<uint32_t>(handle)));
}

TEST_F(StatusBarTest, ServerReleaseLeavesThePanelOnTheBarUntilItIsHandedAgain) {
    int32_t handle = Add({N(40), N(2), kSkip, kSkip, T("kept")}, true);
    ASSERT_GT(handle, 0);
    EXPECT_EQ(0, ObjectDestroy(ObjectFromHandle(static_cast<uint32_t>(handle))));
    EXPECT_EQ(nullptr, ObjectFromHandle(static_cast<uint32_t>(handle)));
    EXPECT_EQ("kept", PropText(bar_, kPidText, Selector(0))) << "the bar still has it";
    int32_t again = Call(bar_, kSbGetPanel, {N(0)}, true);
    ASSERT_GT(again, 0);
    EXPECT_NE(handle, again) << "handed again under a new handle";
    EXPECT_EQ("kept", PropText(ObjectFromHandle(static_cast<uint32_t>(again)), kPidText));
    EXPECT_EQ(0, Call(bar_, kSbGetPanel, {N(0)})) << "not into an object variable: nothing";
}

TEST_F(StatusBarTest, ReleaseOfAPanelTheServerDoesNotHoldLeavesItOnTheBar) {
    ASSERT_EQ(0, Add({N(40), N(2), kSkip, kSkip, T("bar's own")}));
    // A handle the server was never given (a hostile or confused server may
    // still name it): its release must not free what the bar holds.
    uint32_t handle = 0;
    for (uint32_t i = 0; i < ObjectLiveCount(); ++i)
        if (ObjectLiveAt(i)->kind == kKindStatusPanel) handle = ObjectLiveAt(i)->handle;
    ASSERT_NE(0u, handle);
    EXPECT_EQ(0, ObjectDestroy(ObjectFromHandle(handle)));
    EXPECT_EQ(nullptr, ObjectFromHandle(handle));
    EXPECT_EQ("bar's own", PropText(bar_, kPidText, Selector(0))) << "still on the bar";
    EXPECT_EQ(0, Call(bar_, kSbRemovePanel, {N(0)})) << "and removed by it";
    EXPECT_EQ(1, SendMessageA(bar_->hwnd, SB_GETPARTS, 0, 0));
}

TEST_F(StatusBarTest, ShowPanelZeroShowsTheSimpleText) {
    ASSERT_EQ(0, Add({N(40), N(2), kSkip, kSkip, T("panel")}));
    EXPECT_EQ(0, SetProp(bar_, kPidShowPanel, 0));
    EXPECT_TRUE(SendMessageA(bar_->hwnd, SB_ISSIMPLE, 0, 0));
    EXPECT_EQ(0, SetPropText(bar_, kPidText, "simple text"));
    EXPECT_EQ("simple text", PropText(bar_, kPidText));
    EXPECT_EQ(0u, Prop(bar_, kPidShowPanel));
    EXPECT_EQ(0, SetProp(bar_, kPidShowPanel, 1));
    EXPECT_FALSE(SendMessageA(bar_->hwnd, SB_ISSIMPLE, 0, 0));
    char text[16] = {};
    SendMessageA(bar_->hwnd, SB_GETTEXTA, 0, reinterpret_cast<LPARAM>(text));
    EXPECT_STREQ("panel", text);
}

TEST_F(StatusBarTest, RealClicksOnAPartQueueClickAndDoubleClick) {
    ASSERT_EQ(0, Add({N(100), N(2), kSkip, kSkip, T("zero")}));
    ASSERT_EQ(0, Add({N(100), N(2), kSkip, kSkip, T("one")}));
    ASSERT_EQ(0, Add({N(100), N(2), kSkip, kSkip, T("two")}));
    Register(bar_, kEvClick);
    Register(bar_, kEvDblClick);
    Pump();
    DrainEvents();
    ClickAt(bar_->hwnd, 250, 10);
    std::vector<Taken> got = TakeAtLeast(1);
    ASSERT_FALSE(got.empty());
    EXPECT_EQ(kEvClick, got[0].eventId);
    EXPECT_EQ(8u, got[0].modifiers);
    EXPECT_EQ(2, got[0].value) << "the third part";
    ClickAt(bar_->hwnd, 150, 10, true);
    got = TakeAtLeast(1);
    ASSERT_FALSE(got.empty());
    EXPECT_EQ(16u, got[0].modifiers) << "right button";
    EXPECT_EQ(1, got[0].value);
}

// ---- Tab control ---------------------------------------------------------------------------------

enum : uint32_t { kPidTabLabel = 61, kPidMultiRow = 80, kPidTabStyle = 317 };
enum : uint32_t { kTmGetStyle = 5, kTmSetStyle = 6, kTmGetTabCount = 8, kTmInsertTab = 9, kTmDeleteTab = 10 };

class TabControlTest : public BarsTest {
protected:
    void SetUp() override {
        BarsTest::SetUp();
        Begin(10, 10, 300, 200);
        tab_ = Make(kTypeTabcontrol);
        ASSERT_NE(nullptr, tab_);
    }
    std::string Label(int i) {
        char text[300] = {};
        TCITEMA item = {};
        item.mask = TCIF_TEXT;
        item.pszText = text;
        item.cchTextMax = sizeof text;
        SendMessageA(tab_->hwnd, TCM_GETITEMA, i, reinterpret_cast<LPARAM>(&item));
        return text;
    }
    int Selected() { return static_cast<int>(SendMessageA(tab_->hwnd, TCM_GETCURSEL, 0, 0)); }
    ObjectRecord* GreenShape(int32_t left, int32_t top) {
        Begin(left, top, 40, 30);
        Value(64, 2);
        Value(62, 0x00FF00);
        Value(5, 0x00FF00);
        return Make(kTypeShape);
    }
    ObjectRecord* tab_ = nullptr;
};

TEST_F(TabControlTest, TabLabelMakesTabsWithHotKeysAndReadsBack) {
    ASSERT_EQ(0, SetPropText(tab_, kPidTabLabel, "A;&B;C&&D"));
    ASSERT_EQ(3, SendMessageA(tab_->hwnd, TCM_GETITEMCOUNT, 0, 0));
    EXPECT_EQ("A", Label(0));
    EXPECT_EQ("&B", Label(1));
    EXPECT_EQ("C&&D", Label(2));
    EXPECT_EQ("A;&B;C&&D;", PropText(tab_, kPidTabLabel));
    EXPECT_EQ(0, Selected());
    // Only B has a hot key: A selects nothing, B the second tab.
    EXPECT_EQ(0, HotKeyToObject(win_, 'a'));
    EXPECT_EQ(0, Selected());
    EXPECT_NE(0, HotKeyToObject(win_, 'b'));
    EXPECT_EQ(1, Selected());
    EXPECT_EQ(0, HotKeyToObject(win_, 'd')) << "'D' after '&&' is no hot key";
}

TEST_F(TabControlTest, ItemOperationsValuesAndStyles) {
    ASSERT_EQ(0, SetPropText(tab_, kPidTabLabel, "one;two;three"));
    int32_t v = -1;
    struct Case {
        int32_t which, expect;
    };
    for (const Case& c : {Case{0, 1}, Case{1, 3}, Case{2, 1}, Case{7, 0}}) {
        ASSERT_EQ(0, ObjectGetValue(tab_, c.which, &v));
        EXPECT_EQ(c.expect, v) << "which " << c.which;
    }
    ASSERT_EQ(0, ObjectSetValue(tab_, 0, 3));
    ASSERT_EQ(0, ObjectGetValue(tab_, 0, &v));
    EXPECT_EQ(3, v);
    ASSERT_EQ(0, ObjectGetText(tab_, 2) < 0);
    EXPECT_STREQ("two", gTextBuf);
    // TabStyle 2 (left) is ignored while the tabs are on top; 1 (bottom) is taken.
    EXPECT_EQ(0, SetProp(tab_, kPidTabStyle, 2));
    EXPECT_EQ(0u, Prop(tab_, kPidTabStyle));
    EXPECT_EQ(0, GetWindowLongA(tab_->hwnd, GWL_STYLE) & TCS_VERTICAL);
    EXPECT_EQ(0, SetProp(tab_, kPidTabStyle, 1));
    EXPECT_EQ(1u, Prop(tab_, kPidTabStyle));
    EXPECT_NE(0, GetWindowLongA(tab_->hwnd, GWL_STYLE) & TCS_BOTTOM);
    // SetStyle changes only the bits within 0xF78.
    LONG before = GetWindowLongA(tab_->hwnd, GWL_STYLE);
    LONG after = Call(tab_, kTmSetStyle, {N(static_cast<int32_t>(0xFFFF0007u)), N(1)});
    EXPECT_EQ(before, after) << "bits outside 0xF78 change nothing";
    after = Call(tab_, kTmSetStyle, {N(TCS_MULTILINE), N(1)});
    EXPECT_EQ(before | TCS_MULTILINE, after);
    EXPECT_EQ(after, Call(tab_, kTmGetStyle, {}));
    // Item 0 deletes every tab.
    EXPECT_EQ(0, ObjectDeleteItem(tab_, 0));
    EXPECT_EQ(0, SendMessageA(tab_->hwnd, TCM_GETITEMCOUNT, 0, 0));
    EXPECT_EQ(0, HotKeyToObject(win_, 'o'));
}

TEST_F(TabControlTest, LongLabelsAreCutAndTheQueryEndsAfterTheLastWholeLabel) {
    // 160 labels of 255 characters with their ';' fill the 40960 bytes a
    // TabLabel carries; five more tabs of 300 characters are cut to 255.
    std::string labels;
    for (int i = 0; i < 160; ++i) labels += std::string(255, static_cast<char>('a' + i % 26)) + ";";
    ASSERT_EQ(40960u, labels.size());
    ASSERT_EQ(0, SetPropText(tab_, kPidTabLabel, labels.c_str()));
    ASSERT_EQ(160, SendMessageA(tab_->hwnd, TCM_GETITEMCOUNT, 0, 0));
    std::string wide(300, 'z');
    for (int i = 0; i < 5; ++i) ASSERT_EQ(160 + i, Call(tab_, kTmInsertTab, {N(160 + i), T(wide.c_str())}));
    EXPECT_EQ(std::string(255, 'z'), Label(164)) << "a label keeps 255 bytes";
    std::string answer = PropText(tab_, kPidTabLabel);
    EXPECT_EQ(40960u, answer.size()) << "the answer ends after the last whole label that fits";
    EXPECT_EQ(labels, answer);
}

TEST_F(TabControlTest, HundredAndFiftyTabsLeaveTheHotKeyTableAndItsNeighboursIntact) {
    ASSERT_EQ(0, SetProp(tab_, kPidMultiRow, 1));
    for (int i = 0; i < 150; ++i) {
        char label[8];
        snprintf(label, sizeof label, "T&%c", i < 100 ? 'a' + i % 20 : 'z');
        ASSERT_EQ(i, Call(tab_, kTmInsertTab, {N(i), T(label)})) << i;
    }
    EXPECT_EQ(150, Call(tab_, kTmGetTabCount, {}));
    EXPECT_EQ(1u, Prop(tab_, kPidMultiRow)) << "the record after the table is untouched";
    EXPECT_EQ(0u, Prop(tab_, kPidTabStyle));
    EXPECT_EQ(0, HotKeyToObject(win_, 'z')) << "tabs beyond the hundredth have no hot key";
    EXPECT_NE(0, HotKeyToObject(win_, 'c'));
    EXPECT_EQ(2, Selected());
    // An insert at the front of the full table moves every entry up.
    ASSERT_EQ(0, Call(tab_, kTmInsertTab, {N(0), T("&z")}));
    EXPECT_NE(0, HotKeyToObject(win_, 'c'));
    EXPECT_EQ(3, Selected());
    EXPECT_EQ(1, Call(tab_, kTmDeleteTab, {N(0)}));
    EXPECT_NE(0, HotKeyToObject(win_, 'c'));
    EXPECT_EQ(2, Selected());
}

TEST_F(TabControlTest, RepaintOnAPageRefreshesThePageOnceTheOperationIsDone) {
    ASSERT_EQ(0, SetPropText(tab_, kPidTabLabel, "one;two"));
    ObjectRecord* shape = GreenShape(100, 100);
    ASSERT_NE(nullptr, shape);
    uint32_t flagsBefore = tab_->flags;
    Pump();
    ValidateRect(tab_->hwnd, nullptr);
    InvalidateTabPageUnder(shape);
    EXPECT_EQ(flagsBefore, tab_->flags) << "the refresh bit is the tab record's own, not a header flag";
    ValidateRect(tab_->hwnd, nullptr);
    ASSERT_NE(nullptr, gObjectHooks.objectOpDone);
    gObjectHooks.objectOpDone();
    RECT update = {};
    EXPECT_TRUE(GetUpdateRect(tab_->hwnd, &update, FALSE)) << "the page is repainted after the operation";
    ValidateRect(tab_->hwnd, nullptr);
    gObjectHooks.objectOpDone();
    EXPECT_FALSE(GetUpdateRect(tab_->hwnd, &update, FALSE)) << "once: the bit was cleared";
}

TEST_F(TabControlTest, KeysSwitchPagesWithClickThenChange) {
    ASSERT_EQ(0, SetPropText(tab_, kPidTabLabel, "one;two;&three"));
    Register(tab_, kEvClick);
    Register(tab_, kEvChange);
    ASSERT_EQ(0, ObjectSetValue(tab_, 0, 3));
    TakeFocus(tab_->hwnd);
    DrainEvents();
    struct Case {
        std::vector<WORD> keys;
        int32_t left, entered;
        const char* why;
    };
    const Case kCases[] = {
        {{VK_CONTROL, VK_TAB}, 3, 1, "Ctrl+Tab on the last tab wraps to the first"},
        {{VK_CONTROL, VK_SHIFT, VK_TAB}, 1, 3, "Ctrl+Shift+Tab on the first wraps to the last"},
        {{VK_CONTROL, VK_SHIFT, VK_TAB}, 3, 2, "and goes back one"},
    };
    for (const Case& c : kCases) {
        Keys(c.keys);
        std::vector<Taken> got = TakeAtLeast(2);
        ASSERT_EQ(2u, got.size()) << c.why;
        EXPECT_EQ(kEvClick, got[0].eventId) << c.why;
        EXPECT_EQ(c.left, got[0].value) << c.why;
        EXPECT_EQ(kEvChange, got[1].eventId) << c.why;
        EXPECT_EQ(c.entered, got[1].value) << c.why;
    }
    // Alt with the hot key of the third tab selects it.
    Keys({VK_MENU, 'T'});
    std::vector<Taken> got = TakeAtLeast(2);
    ASSERT_EQ(2u, got.size());
    EXPECT_EQ(2, got[0].value);
    EXPECT_EQ(3, got[1].value);
    EXPECT_EQ(2, Selected());
}

TEST_F(TabControlTest, CtrlTabOffATabControlMovesTheFocus) {
    ASSERT_EQ(0, SetPropText(tab_, kPidTabLabel, "one;two"));
    Begin(20, 240, 80, 24);
    cr_.tabId = 1;
    ObjectRecord* first = Make(kTypeEdittext);
    Begin(120, 240, 80, 24);
    cr_.tabId = 2;
    ObjectRecord* second = Make(kTypeEdittext);
    ASSERT_NE(nullptr, first);
    ASSERT_NE(nullptr, second);
    TakeFocus(first->hwnd);
    ASSERT_EQ(first->hwnd, GetFocus());
    Keys({VK_CONTROL, VK_TAB});
    EXPECT_TRUE(PumpUntil([&] { return GetFocus() != first->hwnd; })) << "the focus moved on";
    EXPECT_EQ(0, Selected()) << "the tab control was not stepped";
}

TEST_F(TabControlTest, RealClickOnATabQueuesClickAndChange) {
    ASSERT_EQ(0, SetPropText(tab_, kPidTabLabel, "one;two;three"));
    Register(tab_, kEvClick);
    Register(tab_, kEvChange);
    Pump();
    DrainEvents();
    RECT r = {};
    ASSERT_TRUE(SendMessageA(tab_->hwnd, TCM_GETITEMRECT, 2, reinterpret_cast<LPARAM>(&r)));
    ClickAt(tab_->hwnd, (r.left + r.right) / 2, (r.top + r.bottom) / 2);
    std::vector<Taken> got = TakeAtLeast(2);
    ASSERT_EQ(2u, got.size());
    EXPECT_EQ(kEvClick, got[0].eventId);
    EXPECT_EQ(1, got[0].value) << "the tab left";
    EXPECT_EQ(kEvChange, got[1].eventId);
    EXPECT_EQ(3, got[1].value) << "the tab entered";
}

TEST_F(TabControlTest, WindowlessSiblingIsPaintedInTheControlsWindowAndLeftOutOfThePage) {
    ASSERT_EQ(0, SetPropText(tab_, kPidTabLabel, "one;two"));
    ObjectRecord* shape = GreenShape(100, 100);
    ASSERT_NE(nullptr, shape);
    RedrawWindow(tab_->hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    COLORREF inside = CLR_INVALID;
    PumpUntil([&] {
        HDC dc = GetDC(tab_->hwnd);
        inside = GetPixel(dc, 100 - 10 + 20, 100 - 10 + 15);
        ReleaseDC(tab_->hwnd, dc);
        return inside == RGB(0, 255, 0);
    });
    EXPECT_EQ(RGB(0, 255, 0), inside) << "the shape over the control shows in the control's window";
    // The page area less the sibling is invalidated, nothing else.
    ValidateRect(tab_->hwnd, nullptr);
    TabControlInvalidatePage(tab_, true);
    HRGN rgn = CreateRectRgn(0, 0, 0, 0);
    ASSERT_NE(ERROR, GetUpdateRgn(tab_->hwnd, rgn, FALSE));
    EXPECT_FALSE(PtInRegion(rgn, 100 - 10 + 20, 100 - 10 + 15)) << "the sibling's rectangle is left out";
    EXPECT_TRUE(PtInRegion(rgn, 40, 150)) << "the rest of the page is repainted";
    EXPECT_FALSE(PtInRegion(rgn, 10, 5)) << "the tab row is not";
    DeleteObject(rgn);
}

// ---- Toolbar ---------------------------------------------------------------------------------------

enum : uint32_t {
    kTbAddButton = 1, kTbGetButton = 2, kTbRemoveButton = 3, kTbSetImageList = 4, kTbSetImageListDisabled = 5,
    kTbSetImageListHot = 6, kTbResetImageList = 9, kTbWriteImageListBmp = 12, kTbSetTBFlags = 13,
};
enum : uint32_t { kPidEnabled2 = 9, kPidVisible2 = 33, kPidShowTips = 215, kPidBtnStyle = 216, kPidImageIndex = 217,
                  kPidPushed = 218 };
constexpr uint32_t kEvButtonClickId = 26;

// AddButton(AutoSize, BtnStyle, Enabled, ImageIndex, PartialPush, Pushed, Tag,
// Visible, Text, RunName, ToolTip, MenuText, UserData, InsertAt, CauseValid)
struct ButtonArgs {
    std::vector<Arg> args;
};
std::vector<Arg> Btn(Arg autoSize, Arg style, Arg enabled, Arg image, Arg partial, Arg pushed, Arg tag, Arg visible,
                     Arg text, Arg name = kSkip, Arg tip = kSkip, Arg menu = kSkip) {
    return {autoSize, style, enabled, image, partial, pushed, tag, visible, text, name, tip, menu};
}

class ToolBarTest : public BarsTest {
protected:
    void SetUp() override {
        BarsTest::SetUp();
        Begin(0, 0, 400, 30);
        cr_.dock = 3;
        Value(kPidShowTips, 1);
        bar_ = Make(kTypeToolbar);
        ASSERT_NE(nullptr, bar_);
    }
    int32_t Add(std::vector<Arg> args, bool object = false) { return Call(bar_, kTbAddButton, args, object); }
    int32_t AddText(const char* text, int32_t style = 3, int32_t tag = 0, const char* tip = nullptr) {
        return Add(Btn(kSkip, N(style), kSkip, kSkip, kSkip, kSkip, N(tag), kSkip, T(text), kSkip, tip ? T(tip) : kSkip));
    }
    TBBUTTON Button(int index) {
        TBBUTTON tb = {};
        SendMessageA(bar_->hwnd, TB_GETBUTTON, index, reinterpret_cast<LPARAM>(&tb));
        return tb;
    }
    int State(int id) { return static_cast<int>(SendMessageA(bar_->hwnd, TB_GETSTATE, id, 0)); }
    HWND Tips() { return ObjectAsWindow(win_)->toolTipWnd; }
    int ToolCount() { return Tips() ? static_cast<int>(SendMessageA(Tips(), TTM_GETTOOLCOUNT, 0, 0)) : 0; }
    POINT Centre(int index) {
        RECT r = {};
        SendMessageA(bar_->hwnd, TB_GETITEMRECT, index, reinterpret_cast<LPARAM>(&r));
        return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    }
    ObjectRecord* bar_ = nullptr;
};

TEST_F(ToolBarTest, AddButtonVariantsReachTheControl) {
    struct Case {
        std::vector<Arg> args;
        BYTE state, style;
        int image;
        const char* why;
    };
    const Case kCases[] = {
        {Btn(kSkip, kSkip, kSkip, kSkip, kSkip, kSkip, kSkip, kSkip, T("New")), TBSTATE_ENABLED, 0, I_IMAGENONE,
         "defaults: an enabled push button without an image"},
        {Btn(kSkip, N(5), kSkip, N(2), kSkip, N(1), kSkip, kSkip, T("Bold")), TBSTATE_ENABLED | TBSTATE_CHECKED,
         BTNS_CHECK, 1, "a pushed check button shows the second image"},
        {Btn(kSkip, kSkip, N(0), kSkip, kSkip, kSkip, kSkip, N(0), T("Off")), TBSTATE_HIDDEN, 0, I_IMAGENONE,
         "disabled and hidden"},
        {Btn(N(1), N(1), kSkip, N(1), kSkip, kSkip, kSkip, kSkip, T("Open")), TBSTATE_ENABLED,
         BTNS_DROPDOWN | BTNS_AUTOSIZE, 0, "an automatically sized drop-down"},
        {Btn(kSkip, N(6), kSkip, kSkip, N(1), kSkip, kSkip, kSkip, T("Mixed")), TBSTATE_ENABLED | TBSTATE_INDETERMINATE,
         BTNS_CHECKGROUP, I_IMAGENONE, "a half-pushed check-group button"},
        {Btn(kSkip, N(9), kSkip, kSkip, kSkip, kSkip, kSkip, kSkip, T("Odd")), TBSTATE_ENABLED, 0, I_IMAGENONE,
         "a BtnStyle outside 1..6 is a push button"},
    };
    int i = 0;
    for (const Case& c : kCases) {
        ASSERT_EQ(0, Add(c.args)) << c.why;
        ASSERT_EQ(i + 1, SendMessageA(bar_->hwnd, TB_BUTTONCOUNT, 0, 0)) << c.why;
        TBBUTTON tb = Button(i);
        EXPECT_EQ(i + 1, tb.idCommand) << c.why;
        EXPECT_EQ(c.state, tb.fsState) << c.why;
        EXPECT_EQ(c.style, tb.fsStyle) << c.why;
        EXPECT_EQ(c.image, tb.iBitmap) << c.why;
        ++i;
    }
}

// A create request of type 45 makes a button on the bar its Window names, or
// else on the bar made last.
TEST_F(ToolBarTest, CreateRequestOfAToolButtonAddsItToTheBar) {
    struct Case {
        bool namesBar;
        const char* text;
        const char* why;
    };
    const Case kCases[] = {
        {true, "Named", "the Window names the bar"},
        {false, "Last", "the Window names the window: the bar made last"},
    };
    int count = 0;
    for (const Case& c : kCases) {
        CreateRecordReset(&cr_);
        cr_.window = c.namesBar ? bar_->handle : win_->handle;
        cr_.text = CrText{c.text, static_cast<uint32_t>(strlen(c.text))};
        int32_t code = 0;
        ObjectRecord* button = ObjectCreate(kTypeToolButton, &cr_, &code);
        ASSERT_NE(nullptr, button) << c.why << ": code " << code;
        EXPECT_NE(0u, button->handle) << c.why;
        EXPECT_EQ(kKindToolButton, button->kind);
        EXPECT_EQ(++count, SendMessageA(bar_->hwnd, TB_BUTTONCOUNT, 0, 0)) << c.why;
        EXPECT_EQ(c.text, PropText(bar_, kPidText, Selector(count - 1))) << c.why;
    }
}

TEST_F(ToolBarTest, NamesAndCommandIdsAfterARemoval) {
    ASSERT_EQ(0, AddText("a"));
    ASSERT_EQ(0, AddText("b"));
    ASSERT_EQ(0, AddText("c"));
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(i + 1, Button(i).idCommand);
        const std::string number = std::to_string(i + 1);
        EXPECT_EQ("ToolBtn00" + number, PropText(bar_, kPidRunName, Selector(i)));
    }
    EXPECT_EQ(0, Call(bar_, kTbRemoveButton, {N(1)})) << "removed";
    EXPECT_EQ(1, Call(bar_, kTbRemoveButton, {T("nothing")})) << "no such button";
    ASSERT_EQ(0, AddText("d"));
    EXPECT_EQ("ToolBtn003", PropText(bar_, kPidRunName, Selector(2))) << "the count names the new button";
    EXPECT_EQ(4, Button(2).idCommand) << "ids go on";
    int32_t first = Call(bar_, kTbGetButton, {N(0)}, true);
    ASSERT_GT(first, 0);
    EXPECT_EQ(45, replyKind_) << "a ToolButton object";
    EXPECT_EQ("a", PropText(ObjectFromHandle(static_cast<uint32_t>(first)), kPidText));
    EXPECT_EQ(0, Call(bar_, kTbGetButton, {T("toolbtn001")}, true)) << "names match exactly";
    EXPECT_EQ(0, Call(bar_, kTbGetButton, {N(0)})) << "not into an object variable: nothing";
}

TEST_F(ToolBarTest, ImageListsAndTheirAnswers) {
    ASSERT_EQ(0, AddText("x"));
    Begin(0, 0, 0, 0);
    Value(130, 16), Value(131, 16);
    ObjectRecord* list = Make(kTypeImagelist);
    ASSERT_NE(nullptr, list);
    HIMAGELIST standard = reinterpret_cast<HIMAGELIST>(SendMessageA(bar_->hwnd, TB_GETIMAGELIST, 0, 0));
    ASSERT_NE(nullptr, standard) << "the default tool strip";
    EXPECT_EQ(6, ImageList_GetImageCount(standard));
    EXPECT_EQ(1, Call(bar_, kTbSetImageList, {N(static_cast<int32_t>(list->handle))}));
    EXPECT_EQ(ImageListHandle(list), reinterpret_cast<HIMAGELIST>(SendMessageA(bar_->hwnd, TB_GETIMAGELIST, 0, 0)));
    EXPECT_EQ(0, Call(bar_, kTbSetImageListDisabled, {N(static_cast<int32_t>(list->handle))}));
    EXPECT_EQ(ImageListHandle(list),
              reinterpret_cast<HIMAGELIST>(SendMessageA(bar_->hwnd, TB_GETDISABLEDIMAGELIST, 0, 0)));
    EXPECT_EQ(0, Call(bar_, kTbSetImageListHot, {N(0)}));
    EXPECT_EQ(list->handle, Prop(bar_, 270));
    EXPECT_EQ(1, Call(bar_, kTbResetImageList, {}));
    EXPECT_EQ(standard, reinterpret_cast<HIMAGELIST>(SendMessageA(bar_->hwnd, TB_GETIMAGELIST, 0, 0)));
    // The default strip written back: six 16 x 16 tools in one row.
    char dir[MAX_PATH], path[MAX_PATH];
    GetTempPathA(sizeof dir, dir);
    snprintf(path, sizeof path, "%sqovbars.bmp", dir);
    DeleteFileA(path);
    EXPECT_EQ(0, Call(bar_, kTbWriteImageListBmp, {T(path), N(0)}));
    HANDLE f = CreateFileA(path, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, f);
    BITMAPFILEHEADER fh = {};
    BITMAPINFOHEADER ih = {};
    DWORD got = 0;
    ReadFile(f, &fh, sizeof fh, &got, nullptr);
    ReadFile(f, &ih, sizeof ih, &got, nullptr);
    CloseHandle(f);
    DeleteFileA(path);
    EXPECT_EQ(0x4D42, fh.bfType);
    EXPECT_EQ(96, ih.biWidth);
    EXPECT_EQ(16, ih.biHeight < 0 ? -ih.biHeight : ih.biHeight);
    EXPECT_EQ(1, Call(bar_, kTbWriteImageListBmp, {T(path), N(3)})) << "another Type";
    EXPECT_EQ(1, Call(bar_, kTbWriteImageListBmp, {T(path), N(2)})) << "no hot list";
    EXPECT_EQ(4, Call(bar_, kTbWriteImageListBmp, {T(""), N(0)})) << "no file name";
}

// The pure red pixels a window shows in a rectangle of its client area, read
// from its painted surface.
int RedPixels(HWND wnd, const RECT& r) {
    const int w = r.right - r.left, h = r.bottom - r.top;
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = w, bi.bmiHeader.biHeight = -h;
    bi.bmiHeader.biPlanes = 1, bi.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HDC dc = GetDC(wnd), mem = CreateCompatibleDC(dc);
    HBITMAP dib = CreateDIBSection(dc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(mem, dib);
    BitBlt(mem, 0, 0, w, h, dc, r.left, r.top, SRCCOPY);
    int red = 0;
    for (int i = 0; i < w * h; i++) red += (static_cast<const uint32_t*>(bits)[i] & 0xFFFFFF) == 0xFF0000;
    SelectObject(mem, old);
    DeleteObject(dib);
    DeleteDC(mem);
    ReleaseDC(wnd, dc);
    return red;
}

// Images added to the bar's list show at once, the bar never hidden and
// shown: the list repaints the bars that use it; a new Resource repaints the
// list's window with its controls.
TEST_F(ToolBarTest, ChangesOfItsImageListShowWithoutAHideAndShow) {
    Begin(0, 0, 0, 0);
    Value(130, 16), Value(131, 16), Value(151, 24);
    ObjectRecord* list = Make(kTypeImagelist);
    ASSERT_NE(nullptr, list);
    ASSERT_EQ(1, Call(bar_, kTbSetImageList, {N(static_cast<int32_t>(list->handle))}));
    ASSERT_EQ(0, Add(Btn(kSkip, kSkip, kSkip, N(1), kSkip, kSkip, kSkip, kSkip, T("Red"))));
    RECT button = {};
    SendMessageA(bar_->hwnd, TB_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&button));
    Pump();
    EXPECT_EQ(0, RedPixels(bar_->hwnd, button)) << "an empty list shows nothing";

    const int kSide = 16;
    BITMAPINFOHEADER h = {};
    h.biSize = sizeof h, h.biWidth = kSide, h.biHeight = kSide, h.biPlanes = 1, h.biBitCount = 24;
    std::vector<uint8_t> red(kSide * kSide * 3);
    for (size_t i = 2; i < red.size(); i += 3) red[i] = 0xFF;
    char dir[MAX_PATH], path[MAX_PATH + 1];
    GetTempPathA(sizeof dir, dir);
    snprintf(path, sizeof path, "!%sqovbars_red.bmp", dir);
    ASSERT_EQ(0, DibWriteBmpFile(path + 1, &h, red.data()));
    ASSERT_EQ(0, Call(list, 1, {T(path)})) << "AddBmp: the first image";
    EXPECT_EQ(1, Call(list, 4, {}));
    int shown = 0;
    PumpUntil([&] { return (shown = RedPixels(bar_->hwnd, button)) >= kSide * kSide; });
    EXPECT_EQ(kSide * kSide, shown) << "the added image shows on the button";

    // Resource 0 empties the list; the window and its bar repaint.
    ASSERT_EQ(0, SetProp(list, 87, 0));
    PumpUntil([&] { return (shown = RedPixels(bar_->hwnd, button)) == 0; });
    EXPECT_EQ(0, shown) << "the emptied list shows nothing";
    DeleteFileA(path + 1);
}

TEST_F(ToolBarTest, ButtonPropertiesCheckGroupsAndTheButtonsSubObject) {
    for (int style : {6, 6, 3, 6, 6}) ASSERT_EQ(0, AddText("g", style));
    EXPECT_EQ(0, SetProp(bar_, kPidPushed, 1, Selector(0)));
    EXPECT_EQ(0, SetProp(bar_, kPidPushed, 1, Selector(1)));
    EXPECT_EQ(0, SetProp(bar_, kPidPushed, 1, Selector(3)));
    EXPECT_FALSE(State(1) & TBSTATE_CHECKED) << "the first of the run lost its check";
    EXPECT_TRUE(State(2) & TBSTATE_CHECKED);
    EXPECT_TRUE(State(4) & TBSTATE_CHECKED) << "another run keeps its own";
    EXPECT_EQ(1u, Prop(bar_, kPidPushed, Selector(1)));
    // BtnStyle 0 or 7 leaves the button as it is; ImageIndex 0 is no image.
    EXPECT_EQ(0, SetProp(bar_, kPidBtnStyle, 0, Selector(2)));
    EXPECT_EQ(0, SetProp(bar_, kPidBtnStyle, 7, Selector(2)));
    EXPECT_EQ(3u, Prop(bar_, kPidBtnStyle, Selector(2)));
    EXPECT_EQ(0, SetProp(bar_, kPidImageIndex, 1, Selector(2)));
    EXPECT_EQ(0, Button(2).iBitmap);
    EXPECT_EQ(0, SetProp(bar_, kPidImageIndex, 0, Selector(2)));
    EXPECT_EQ(I_IMAGENONE, Button(2).iBitmap);
    // A change of the sub-object "buttons" reaches every button, once allowed.
    PropChange all = {};
    all.id = kPidEnabled2;
    all.value = 0;
    all.allItems = true;
    EXPECT_EQ(-3, ObjectOpsOf(bar_)->setProp(bar_, &all)) << "TBFlags bit 7 not set";
    EXPECT_EQ(0x83, Call(bar_, kTbSetTBFlags, {N(0x80), N(1)}));
    EXPECT_EQ(0, ObjectOpsOf(bar_)->setProp(bar_, &all));
    for (int id = 1; id <= 5; ++id) EXPECT_FALSE(State(id) & TBSTATE_ENABLED) << id;
}

TEST_F(ToolBarTest, ToolCountFollowsShowTipsVisibleAndFlags) {
    ASSERT_EQ(0, AddText("a", 3, 0, "first tip"));
    ASSERT_EQ(0, AddText("b", 3, 0, "second tip"));
    ASSERT_EQ(0, AddText("c"));
    EXPECT_EQ(2, ToolCount());
    EXPECT_EQ(0, SetProp(bar_, kPidVisible2, 0, Selector(1)));
    EXPECT_EQ(1, ToolCount()) << "a hidden button has no tool";
    EXPECT_EQ(0, SetProp(bar_, kPidShowTips, 0));
    EXPECT_EQ(0, ToolCount());
    EXPECT_EQ(0, SetProp(bar_, kPidShowTips, 1));
    EXPECT_EQ(1, ToolCount());
    EXPECT_EQ(2, Call(bar_, kTbSetTBFlags, {N(1), N(0)})) << "client tips off";
    EXPECT_EQ(0, ToolCount());
    EXPECT_EQ(3, Call(bar_, kTbSetTBFlags, {N(1), N(1)}));
    EXPECT_EQ(1, ToolCount());
    EXPECT_EQ(0, SetProp(bar_, kPidVisible2, 1, Selector(1)));
    EXPECT_EQ(2, ToolCount());
}

TEST_F(ToolBarTest, InfoTipTextStaysWithinTheGivenBuffer) {
    ASSERT_EQ(0, AddText("a", 3, 0, "a long tooltip text"));
    EXPECT_EQ(2, Call(bar_, kTbSetTBFlags, {N(1), N(0)})) << "the control's own tips ask for the text";
    struct Case {
        int size;
        const char* expect;
    };
    for (const Case& c : {Case{5, "a lo"}, Case{1, ""}, Case{64, "a long tooltip text"}}) {
        char buf[80];
        memset(buf, '#', sizeof buf);
        NMTBGETINFOTIPA tip = {};
        tip.hdr.hwndFrom = bar_->hwnd;
        tip.hdr.idFrom = GetDlgCtrlID(bar_->hwnd);
        tip.hdr.code = TBN_GETINFOTIPA;
        tip.pszText = buf;
        tip.cchTextMax = c.size;
        tip.iItem = 1;
        SendMessageA(win_->hwnd, WM_NOTIFY, tip.hdr.idFrom, reinterpret_cast<LPARAM>(&tip));
        EXPECT_STREQ(c.expect, buf) << c.size;
        EXPECT_EQ('#', buf[c.size]) << "nothing is written past the buffer of " << c.size;
    }
}

TEST_F(ToolBarTest, RealClicksQueueClickButtonClickAndDoubleClick) {
    ASSERT_EQ(0, AddText("one", 3, 11));
    ASSERT_EQ(0, AddText("two", 3, 22));
    Register(bar_, kEvClick);
    Register(bar_, kEvButtonClickId);
    Register(bar_, kEvDblClick);
    Pump();
    DrainEvents();
    POINT c = Centre(1);
    ClickAt(bar_->hwnd, c.x, c.y);
    std::vector<Taken> got = TakeAtLeast(2);
    ASSERT_EQ(2u, got.size());
    EXPECT_EQ(kEvClick, got[0].eventId);
    EXPECT_EQ(8u, got[0].modifiers);
    EXPECT_EQ(2, got[0].value) << "the command id";
    EXPECT_EQ(kEvButtonClickId, got[1].eventId);
    EXPECT_EQ(22, got[1].value) << "the Tag";
    // The double-click time passes first, so the next click is a new one.
    PumpFor(GetDoubleClickTime() + 100);
    POINT p = ScreenOf(bar_->hwnd, c.x, c.y);
    for (int i = 0; i < 2; ++i) {
        SendMouse(MOUSEEVENTF_LEFTDOWN, p);
        SendMouse(MOUSEEVENTF_LEFTUP, p);
    }
    // The bar's own $DBLCLICK comes first; the window layer's mouse event follows it.
    std::vector<Taken> seen;
    const Taken* dbl = nullptr;
    PumpUntil([&] {
        for (Taken t; TakeEvent(&t);) seen.push_back(t);
        for (const Taken& t : seen)
            if (!dbl && t.eventId == kEvDblClick) dbl = &t;
        return dbl != nullptr;
    });
    ASSERT_NE(nullptr, dbl) << "no $DBLCLICK";
    EXPECT_EQ(40u, dbl->modifiers);
    EXPECT_EQ(2, dbl->value) << "the 1-based position";
}

struct DropDownScript {
    HWND bar;
    POINT at;
};

DWORD WINAPI ClickThenChooseThird(void* arg) {
    auto* s = static_cast<DropDownScript*>(arg);
    POINT p = s->at;
    ClientToScreen(s->bar, &p);
    auto mouse = [&](DWORD flags) {
        INPUT in = MouseInputAt(flags, p);
        SendInput(1, &in, sizeof in);
    };
    auto key = [](WORD vk) {
        INPUT in[2] = {};
        in[0].type = in[1].type = INPUT_KEYBOARD;
        in[0].ki.wVk = in[1].ki.wVk = vk;
        in[1].ki.dwFlags = KEYEVENTF_KEYUP;
        SendInput(2, in, sizeof(INPUT));
        Sleep(150);   // a person's pace between keys
    };
    // The pauses below pace the input as a person's; nothing is checked after them.
    mouse(MOUSEEVENTF_MOVE);
    Sleep(100);
    mouse(MOUSEEVENTF_LEFTDOWN);
    Sleep(50);
    mouse(MOUSEEVENTF_LEFTUP);
    // The keys go to the menu once it is open.
    WaitUntil([] {
        HWND menu = FindWindowA("#32768", nullptr);
        return menu && IsWindowVisible(menu);
    });
    key(VK_DOWN);
    key(VK_DOWN);
    key(VK_RETURN);
    return 0;
}

// A button that form loading makes for a toolbar of the web view goes to the
// web toolbar's own adder (which keeps its buttons); without one it is refused.
ObjectRecord* gWebBarSeen;
TEST_F(ToolBarTest, ButtonsOfAWebViewBarGoToItsOwnAdder) {
    ObjectRecord* web = ObjectAllocRecord(kKindToolBar, sizeof(ObjectRecord), true);
    ASSERT_NE(nullptr, web);
    ObjectCreateRecord cr;
    CreateRecordReset(&cr);
    cr.windowRec = web;
    gGraphicsHooks.toolBarAddButton = [](ObjectRecord* bar, ObjectCreateRecord*, int32_t* code) {
        gWebBarSeen = bar;
        *code = 0;
        return bar;
    };
    int32_t code = -1;
    EXPECT_EQ(web, ToolButtonCreate(kTypeToolbar, &cr, &code));
    EXPECT_EQ(web, gWebBarSeen) << "the web bar's adder was given the bar";
    EXPECT_EQ(0, SendMessageA(bar_->hwnd, TB_BUTTONCOUNT, 0, 0)) << "the native bar got nothing";
    gGraphicsHooks.toolBarAddButton = nullptr;
    EXPECT_EQ(nullptr, ToolButtonCreate(kTypeToolbar, &cr, &code));
    EXPECT_EQ(kOpNotAvailable, code) << "no web toolbar: refused";
    ObjectFreeRecord(web);
}

TEST_F(ToolBarTest, DropDownItemsAreNumberedWithTheirSeparators) {
    ASSERT_EQ(0, Add(Btn(kSkip, N(2), kSkip, kSkip, kSkip, kSkip, N(77), kSkip, T("Send"), kSkip, kSkip,
                         T("One;-;Three;"))));
    Register(bar_, kEvButtonClickId);
    Pump();
    DrainEvents();
    DropDownScript script = {bar_->hwnd, Centre(0)};
    HANDLE t = CreateThread(nullptr, 0, ClickThenChooseThird, &script, 0, nullptr);
    ASSERT_NE(nullptr, t);
    // The menu's own loop runs inside this thread's pump while the script types.
    PumpUntil([&] { return WaitForSingleObject(t, 0) != WAIT_TIMEOUT; });
    std::vector<Taken> got = TakeAtLeast(1);
    WaitForSingleObject(t, kWaitDeadlineMs);
    CloseHandle(t);
    ASSERT_EQ(1u, got.size());
    EXPECT_EQ(kEvButtonClickId, got[0].eventId);
    EXPECT_EQ(3u, got[0].modifiers) << "the separator is item 2";
    EXPECT_EQ(77, got[0].value);
}

TEST_F(ToolBarTest, AltWithALetterReachesTheMnemonic) {
    ASSERT_EQ(0, AddText("&Open", 3, 5));
    ASSERT_EQ(0, AddText("&Save", 3, 6));
    Register(bar_, kEvClick);
    SetForegroundWindow(win_->hwnd);
    PumpUntil([] { return GetForegroundWindow() == win_->hwnd; });
    DrainEvents();
    Keys({VK_MENU, 'S'});
    std::vector<Taken> got = TakeAtLeast(1);
    ASSERT_EQ(1u, got.size());
    EXPECT_EQ(kEvClick, got[0].eventId);
    EXPECT_EQ(2, got[0].value);
}

struct PressScript {
    POINT from;         // screen
    int dx, dy;         // the first move
    bool further;       // then 15 pixels more the same way (a drag the system accepts)
};

DWORD WINAPI PressMoveRelease(void* arg) {
    auto* s = static_cast<PressScript*>(arg);
    auto mouse = [](DWORD flags, POINT p) {
        INPUT in = MouseInputAt(flags, p);
        SendInput(1, &in, sizeof in);
        Sleep(150);   // a person's pace: each step is a message of its own
    };
    POINT p = s->from;
    mouse(MOUSEEVENTF_MOVE, p);
    mouse(MOUSEEVENTF_LEFTDOWN, p);
    p.x += s->dx, p.y += s->dy;
    mouse(MOUSEEVENTF_MOVE, p);
    if (s->further) {
        p.x += s->dx > 0 ? 15 : s->dx < 0 ? -15 : 0;
        p.y += s->dy > 0 ? 15 : s->dy < 0 ? -15 : 0;
        mouse(MOUSEEVENTF_MOVE, p);
    }
    mouse(MOUSEEVENTF_LEFTUP, p);
    return 0;
}

// While the user moves the frame, a transparent bar that moved on the screen has
// its window repaint the background behind it; a bar that did not move, or one
// that paints its own background, asks for nothing.
TEST_F(ToolBarTest, TransparentBarRepaintsItsWindowWhileTheFrameMoves) {
    HWND owner = GetParent(bar_->hwnd);
    auto erase = [&]() {
        ValidateRect(owner, nullptr);
        HDC dc = GetDC(bar_->hwnd);
        SendMessageA(bar_->hwnd, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
        ReleaseDC(bar_->hwnd, dc);
        RECT dirty = {};
        return GetUpdateRect(owner, &dirty, FALSE) ? dirty : RECT{};
    };
    auto nothing = [&]() {
        RECT r = erase();
        return IsRectEmpty(&r) != FALSE;
    };
    auto moveBy = [&](int dx) {
        RECT w;
        GetWindowRect(win_->hwnd, &w);
        SetWindowPos(win_->hwnd, nullptr, w.left + dx, w.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    };
    ScopedSet<bool> moving(gUserMovingFrame, true);
    ASSERT_EQ(0, SetProp(bar_, 51, 1));
    moveBy(17);
    EXPECT_TRUE(nothing()) << "an opaque bar paints its own background";
    ASSERT_EQ(0, SetProp(bar_, 51, 2));
    moveBy(17);
    RECT dirty = erase(), client;
    GetClientRect(owner, &client);
    EXPECT_TRUE(EqualRect(&dirty, &client)) << "the moved transparent bar has its whole window repainted";
    EXPECT_TRUE(nothing()) << "not moved since: nothing more";
    moveBy(-34);
    gUserMovingFrame = false;
    EXPECT_TRUE(nothing()) << "no frame moving: the bar leaves its window alone";
}

TEST_F(ToolBarTest, DraggableBarTellsADragFromAClick) {
    ASSERT_EQ(0, AddText("drag me", 3, 9));
    bar_->flags |= 0x200;   // draggable
    Register(bar_, kEvClick);
    struct Case {
        int dx, dy;
        bool click;
        const char* why;
        bool oneMove = false;   // the drag's moves arrive as one (no further move)
    };
    // On a busy machine the system keeps only the newest place of the moves
    // the bar has not taken yet: a quick drag reaches it as one move past
    // both rectangles, then the release.
    const Case kCases[] = {
        {2, 0, false, "2 pixels right is a drag"},   {0, 2, false, "2 pixels down is a drag"},
        {-2, 0, true, "2 pixels left is still a click"}, {-3, 0, false, "3 pixels left is a drag"},
        {1, 1, true, "a pixel each way is a click"},
        {-18, 0, false, "a drag whose moves came as one is a drag", true},
    };
    for (const Case& c : kCases) {
        // The double-click time passes first, so each press is a new click.
        PumpFor(GetDoubleClickTime() + 100);
        DrainEvents();
        POINT at = Centre(0);
        PressScript script = {ScreenOf(bar_->hwnd, at.x, at.y), c.dx, c.dy, !c.click && !c.oneMove};
        HANDLE t = CreateThread(nullptr, 0, PressMoveRelease, &script, 0, nullptr);
        ASSERT_NE(nullptr, t);
        PumpUntil([&] { return WaitForSingleObject(t, 0) != WAIT_TIMEOUT; });
        CloseHandle(t);
        // A click is waited for; that a drag raises none can only be seen by
        // pumping a while after the release (that time is what is checked).
        constexpr int kNoClickMs = 300;
        bool clicked = false;
        PumpUntil([&] {
            for (Taken e; TakeEvent(&e);) clicked = clicked || (e.eventId == kEvClick && e.value == 1);
            return clicked;
        }, c.click ? kWaitDeadlineMs : kNoClickMs);
        EXPECT_EQ(c.click, clicked) << c.why;
    }
}

}  // namespace
