// msgorder_test.cpp - message and event order of the native windows and
// controls under Wine: what a click, an activation, a Tab key, a list or tree
// selection, a tab control's click or Ctrl+Tab and a tool button's click or
// drop-down menu deliver to the control and its window, and the events the
// server then takes - each exactly once and in the order Windows gives.
#include <gtest/gtest.h>
#include <windows.h>

#include <commctrl.h>

#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

#include "controls/controls.h"
#include "graphics/graphics.h"
#include "objects/crstream.h"
#include "objects/events.h"
#include "objects/guihooks.h"
#include "objects/objops.h"
#include "objects/objrecord.h"
#include "objects/pump.h"
#include "objects/window.h"
#include "tests/gui/msgorder.h"
#include "tests/gui/testwindow.h"

namespace {

constexpr int kCtlWidth = 150, kCtlHeight = 24, kCtlGap = 30;
constexpr int kListHeight = 120;
constexpr int kActivateValue = 1, kDeactivateValue = 2;   // the values $ACTIVATE and $DEACTIVATE carry

WPARAM HandleOf(const ObjectRecord* rec) { return static_cast<WPARAM>(rec->handle); }
LPARAM WndParam(HWND wnd) { return reinterpret_cast<LPARAM>(wnd); }
WPARAM WndWParam(HWND wnd) { return reinterpret_cast<WPARAM>(wnd); }
WPARAM CommandOf(const ObjectRecord* rec, WORD code) {
    return MAKEWPARAM(static_cast<WORD>(GetDlgCtrlID(rec->hwnd)), code);
}

// The client's own pump turn, as the main loop runs it: the key
// pre-translation (Tab) happens here.
void Pump() {
    for (int i = 0; i < 4; ++i) PumpTurn(false);
}

// A left click posted at the centre of r in wnd, as the mouse delivers it,
// pumped and its events taken; the click's lParam.
LPARAM PostClickAtCentre(HWND wnd, const RECT& r) {
    const LPARAM at = MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    PostMessageA(wnd, WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageA(wnd, WM_LBUTTONUP, 0, at);
    Pump();
    MsgTakeEvents();
    return at;
}

void DropEvents() {
    EventRecord ev = {};
    while (EventTakeNext(&ev, nullptr, nullptr)) {
    }
}

class MsgOrderTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { StartTestRuntime(GraphicsInstall); }
    void SetUp() override {
        win_ = MakeWindow(10, 10);
        ASSERT_NE(nullptr, win_);
    }
    void TearDown() override {
        MsgUnwatchAll();
        MsgClear();
        DropEvents();
        for (ObjectRecord* w : extraWindows_) ObjectDestroy(w);
        ObjectDestroy(win_);
    }
    ObjectRecord* MakeWindow(int left, int top) {
        const CrText title = {"Order", 5};
        return MakeTestWindow(&cr_, left, top, &title);
    }
    // A visible control of the type in the test window, in creation (tab) order.
    ObjectRecord* Make(uint32_t type, const char* title, int height = kCtlHeight, const char* text = nullptr) {
        CreateRecordReset(&cr_);
        cr_.windowRec = win_;
        cr_.left = 10, cr_.top = 10 + kCtlGap * made_, cr_.width = kCtlWidth, cr_.height = height;
        cr_.flags0 |= kCrVisible;
        if (title) cr_.title = CrText{title, static_cast<uint32_t>(strlen(title))};
        if (text) cr_.text = CrText{text, static_cast<uint32_t>(strlen(text))};
        int32_t code = 0;
        ObjectRecord* rec = ObjectCreate(type, &cr_, &code);
        EXPECT_NE(nullptr, rec) << "type " << type << " code " << code;
        made_++;
        return rec;
    }
    static void Register(ObjectRecord* rec, std::initializer_list<uint32_t> ids) {
        for (uint32_t id : ids) ASSERT_EQ(0, EventRegister(rec, id, nullptr, false, nullptr, 0)) << id;
    }
    // Makes the window active and focuses hwnd, then forgets what that delivered.
    void StartFrom(HWND focus) {
        SetForegroundWindow(win_->hwnd);
        SetActiveWindow(win_->hwnd);
        if (focus) SetFocus(focus);
        Pump();
        DropEvents();
        MsgClear();
    }
    // A tool bar docked at the top of the test window with one button of the
    // style (0: a push button) carrying the tag and, when given, a drop-down
    // menu's text; null when either cannot be made.
    ObjectRecord* MakeToolBarWithButton(const char* text, int32_t tag, int32_t style = 0,
                                        const char* menuText = nullptr) {
        constexpr uint8_t kDockTop = 3;
        CreateRecordReset(&cr_);
        cr_.windowRec = win_;
        cr_.width = kTestWindowWidth, cr_.height = kCtlGap;
        cr_.dock = kDockTop;
        cr_.flags0 |= kCrVisible;
        int32_t code = 0;
        ObjectRecord* bar = ObjectCreate(kTypeToolbar, &cr_, &code);
        EXPECT_NE(nullptr, bar) << code;
        if (!bar) return nullptr;
        CreateRecordReset(&cr_);
        cr_.windowRec = bar;
        cr_.flags0 |= kCrVisible;
        cr_.text = CrText{text, static_cast<uint32_t>(strlen(text))};
        cr_.values[kPidTag] = tag;
        cr_.given[kPidTag] = 1;
        if (style) {
            cr_.values[kPidBtnStyle] = style;
            cr_.given[kPidBtnStyle] = 1;
        }
        if (menuText) cr_.texts[kPidMenuText] = CrText{menuText, static_cast<uint32_t>(strlen(menuText))};
        bool added = ToolButtonCreate(kTypeToolbar, &cr_, &code) != nullptr;
        EXPECT_TRUE(added) << code;
        if (added) return bar;
        ObjectDestroy(bar);
        return nullptr;
    }
    ObjectCreateRecord cr_;
    ObjectRecord* win_ = nullptr;
    std::vector<ObjectRecord*> extraWindows_;
    int made_ = 0;
};

// The recorder itself, on a window of its own: a posted message that sends
// another while it is handled, and a plain send. Each row compares the same
// record with another expectation.
constexpr UINT kMsgPostedOuter = WM_USER + 1, kMsgSentInner = WM_USER + 2, kMsgSentPlain = WM_USER + 3;

LRESULT CALLBACK NestingProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == kMsgPostedOuter) SendMessageA(wnd, kMsgSentInner, wp + 1, lp);
    return DefWindowProcA(wnd, msg, wp, lp);
}

TEST_F(MsgOrderTest, RecorderTellsPostedFromSentAndComparesInOrder) {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = NestingProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "QovMsgOrderProbe";
    RegisterClassA(&wc);
    HWND probe = CreateWindowA(wc.lpszClassName, "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, wc.hInstance, nullptr);
    ASSERT_NE(nullptr, probe);
    ASSERT_EQ(0, MsgWatch(probe, "probe"));
    const UINT filter[] = {kMsgPostedOuter, kMsgSentInner, kMsgSentPlain};
    MsgSetFilter(filter);
    MsgClear();
    PostMessageA(probe, kMsgPostedOuter, 7, 70);
    Pump();
    SendMessageA(probe, kMsgSentPlain, 9, 90);
    ASSERT_EQ(3u, MsgRecordedCount());

    const MsgEntry outer = {kSeqPosted, 0, 0, kMsgPostedOuter, 7, 70};
    const MsgEntry inner = {kSeqSent, 0, 0, kMsgSentInner, 8, 70};
    const MsgEntry plain = {kSeqSent, 0, 0, kMsgSentPlain, 9, 90};
    MsgEntry optional = {kSeqSent, kSeqOptional, 0, WM_NULL, 0, 0};
    MsgEntry outerAnyParams = outer;
    outerAnyParams.wParam = 1;
    outerAnyParams.lParam = 2;
    outerAnyParams.flags = kSeqAnyParams;
    MsgEntry outerWrongW = outer;
    outerWrongW.wParam = 1;
    MsgEntry outerAnyW = outerWrongW;
    outerAnyW.flags = kSeqAnyWParam;
    MsgEntry outerSent = outer;
    outerSent.kind = kSeqSent;
    MsgEntry innerOtherWindow = inner;
    innerOtherWindow.window = 1;
    struct Case {
        std::vector<MsgEntry> expected;
        bool match;
        const char* why;
    };
    const Case cases[] = {
        {{outer, inner, plain}, true, "the record as it happened"},
        {{optional, outer, optional, inner, plain, optional}, true, "optional entries that did not come are skipped"},
        {{outerAnyParams, inner, plain}, true, "parameters not compared"},
        {{outerAnyW, inner, plain}, true, "wParam not compared, lParam equal"},
        {{outerWrongW, inner, plain}, false, "a wParam that differs"},
        {{outerSent, inner, plain}, false, "posted is not sent"},
        {{innerOtherWindow, outer, plain}, false, "another window"},
        {{inner, outer, plain}, false, "the nested send comes after the posted message that made it"},
        {{outer, inner}, false, "a recorded entry left over"},
        {{outer, inner, plain, plain}, false, "an expected entry that did not come"},
        {{}, false, "nothing expected, three recorded"},
    };
    for (const Case& c : cases) {
        std::string report;
        EXPECT_EQ(c.match, MsgSequenceMatches(c.expected.data(), c.expected.size(), &report)) << c.why << "\n"
                                                                                              << report;
        if (!c.match) {
            EXPECT_NE(std::string::npos, report.find("recorded:")) << c.why << ": the report lists the record";
        }
    }
    MsgUnwatchAll();
    DestroyWindow(probe);
}

// A push button clicked three ways: by BM_CLICK, with the mouse and with the
// space bar. The window hears BN_CLICKED once and the server gets one $CLICK.
TEST_F(MsgOrderTest, ButtonClickIsOneClickEvent) {
    enum How { kByMessage, kByMouse, kBySpace };
    struct Case {
        How how;
        const char* why;
    };
    const Case cases[] = {
        {kByMessage, "BM_CLICK sent to the button"},
        {kByMouse, "a left click inside the button"},
        {kBySpace, "the space bar on the focused button"},
    };
    ObjectRecord* button = Make(kTypeButton, "Go");
    ASSERT_NE(nullptr, button);
    Register(button, {kEvClick});
    HWND b = button->hwnd;
    ASSERT_EQ(0, MsgWatch(b, "button"));
    ASSERT_EQ(1, MsgWatch(win_->hwnd, "window"));
    const UINT filter[] = {BM_CLICK, WM_LBUTTONDOWN, WM_LBUTTONUP, WM_KEYDOWN, WM_KEYUP, WM_COMMAND};
    MsgSetFilter(filter);
    const LPARAM inside = MAKELPARAM(kCtlWidth / 2, kCtlHeight / 2);
    for (const Case& c : cases) {
        StartFrom(b);
        const WPARAM clicked = CommandOf(button, BN_CLICKED);
        switch (c.how) {
        case kByMessage: {
            SendMessageA(b, BM_CLICK, 0, 0);
            Pump();
            MsgTakeEvents();
            const MsgEntry expected[] = {
                {kSeqSent, 0, 0, BM_CLICK, 0, 0},
                {kSeqSent, kSeqAnyParams, 0, WM_LBUTTONDOWN, 0, 0},
                {kSeqSent, kSeqAnyParams, 0, WM_LBUTTONUP, 0, 0},
                {kSeqSent, 0, 1, WM_COMMAND, clicked, WndParam(b)},
                {kSeqEvent, 0, 0, kEvClick, HandleOf(button), 0},
            };
            EXPECT_TRUE(MsgSequenceIs(expected, c.why));
            break;
        }
        case kByMouse: {
            PostMessageA(b, WM_LBUTTONDOWN, MK_LBUTTON, inside);
            PostMessageA(b, WM_LBUTTONUP, 0, inside);
            Pump();
            MsgTakeEvents();
            const MsgEntry expected[] = {
                {kSeqPosted, 0, 0, WM_LBUTTONDOWN, MK_LBUTTON, inside},
                {kSeqPosted, 0, 0, WM_LBUTTONUP, 0, inside},
                {kSeqSent, 0, 1, WM_COMMAND, clicked, WndParam(b)},
                {kSeqEvent, 0, 0, kEvClick, HandleOf(button), 0},
            };
            EXPECT_TRUE(MsgSequenceIs(expected, c.why));
            break;
        }
        case kBySpace: {
            PostMessageA(b, WM_KEYDOWN, VK_SPACE, 1);
            PostMessageA(b, WM_KEYUP, VK_SPACE, static_cast<LPARAM>(0xC0000001u));
            Pump();
            MsgTakeEvents();
            const MsgEntry expected[] = {
                {kSeqPosted, 0, 0, WM_KEYDOWN, VK_SPACE, 1},
                {kSeqPosted, kSeqAnyLParam, 0, WM_KEYUP, VK_SPACE, 0},
                {kSeqSent, 0, 1, WM_COMMAND, clicked, WndParam(b)},
                {kSeqEvent, 0, 0, kEvClick, HandleOf(button), 0},
            };
            EXPECT_TRUE(MsgSequenceIs(expected, c.why));
            break;
        }
        }
    }
    ObjectDestroy(button);
}

// Moving the activation between two windows: the one left gets its
// deactivation before the other its activation, in messages and in events.
TEST_F(MsgOrderTest, ActivationMovesDeactivateThenActivate) {
    ObjectRecord* other = MakeWindow(450, 10);
    ASSERT_NE(nullptr, other);
    extraWindows_.push_back(other);
    ObjectRecord* wins[2] = {win_, other};
    for (ObjectRecord* w : wins) Register(w, {kEvActivate, kEvDeactivate});
    ASSERT_EQ(0, MsgWatch(win_->hwnd, "first"));
    ASSERT_EQ(1, MsgWatch(other->hwnd, "second"));
    const UINT filter[] = {WM_NCACTIVATE, WM_ACTIVATE};
    MsgSetFilter(filter);
    StartFrom(nullptr);
    ASSERT_EQ(win_->hwnd, GetActiveWindow());
    struct Case {
        uint8_t from, to;
        const char* why;
    };
    const Case cases[] = {
        {0, 1, "from the first window to the second"},
        {1, 0, "and back"},
    };
    for (const Case& c : cases) {
        MsgClear();
        HWND from = wins[c.from]->hwnd, to = wins[c.to]->hwnd;
        SetActiveWindow(to);
        Pump();
        MsgTakeEvents();
        const MsgEntry expected[] = {
            {kSeqSent, kSeqAnyLParam, c.from, WM_NCACTIVATE, FALSE, 0},
            {kSeqSent, 0, c.from, WM_ACTIVATE, MAKEWPARAM(WA_INACTIVE, 0), WndParam(to)},
            {kSeqSent, kSeqAnyLParam, c.to, WM_NCACTIVATE, TRUE, 0},
            {kSeqSent, 0, c.to, WM_ACTIVATE, MAKEWPARAM(WA_ACTIVE, 0), WndParam(from)},
            {kSeqEvent, 0, 0, kEvDeactivate, HandleOf(wins[c.from]), kDeactivateValue},
            {kSeqEvent, 0, 0, kEvActivate, HandleOf(wins[c.to]), kActivateValue},
        };
        EXPECT_TRUE(MsgSequenceIs(expected, c.why));
        EXPECT_EQ(to, GetActiveWindow()) << c.why;
    }
}

// Tab and Shift+Tab move the focus along the creation order and wrap at
// either end. The control left loses the focus before the next one gets it,
// the server hears $LOSTFOCUS then $GOTFOCUS, and the Tab key itself reaches
// no control.
TEST_F(MsgOrderTest, TabMovesFocusAlongTheTabOrder) {
    ObjectRecord* ctls[3] = {Make(kTypeEdittext, nullptr), Make(kTypeButton, "Two"), Make(kTypeCheckbox, "Three")};
    const char* names[3] = {"edit", "button", "check"};
    for (int i = 0; i < 3; ++i) {
        ASSERT_NE(nullptr, ctls[i]);
        Register(ctls[i], {kEvGotFocus, kEvLostFocus});
        ASSERT_EQ(i, MsgWatch(ctls[i]->hwnd, names[i]));
    }
    const UINT filter[] = {WM_SETFOCUS, WM_KILLFOCUS, WM_KEYDOWN, WM_CHAR};
    MsgSetFilter(filter);
    StartFrom(ctls[0]->hwnd);
    ASSERT_EQ(ctls[0]->hwnd, GetFocus());
    struct Case {
        bool shift;
        uint8_t from, to;
        const char* why;
    };
    const Case cases[] = {
        {false, 0, 1, "Tab: the edit to the button"},
        {false, 1, 2, "Tab: the button to the check box"},
        {false, 2, 0, "Tab from the last control wraps to the first"},
        {true, 0, 2, "Shift+Tab from the first wraps to the last"},
        {true, 2, 1, "Shift+Tab: back to the button"},
    };
    BYTE keys[256];
    for (const Case& c : cases) {
        MsgClear();
        // The pump asks the thread's key state whether Shift is down.
        GetKeyboardState(keys);
        keys[VK_SHIFT] = c.shift ? 0x80 : 0;
        SetKeyboardState(keys);
        HWND from = ctls[c.from]->hwnd, to = ctls[c.to]->hwnd;
        PostMessageA(from, WM_KEYDOWN, VK_TAB, 1);
        Pump();
        keys[VK_SHIFT] = 0;
        SetKeyboardState(keys);
        MsgTakeEvents();
        const MsgEntry expected[] = {
            {kSeqSent, 0, c.from, WM_KILLFOCUS, WndWParam(to), 0},
            {kSeqSent, 0, c.to, WM_SETFOCUS, WndWParam(from), 0},
            {kSeqEvent, 0, 0, kEvLostFocus, HandleOf(ctls[c.from]), 0},
            {kSeqEvent, 0, 0, kEvGotFocus, HandleOf(ctls[c.to]), 0},
        };
        EXPECT_TRUE(MsgSequenceIs(expected, c.why));
        EXPECT_EQ(to, GetFocus()) << c.why;
    }
    for (ObjectRecord* c : ctls) ObjectDestroy(c);
}

// A list's selection moved once - by the arrow key in a list box and a list
// view, by a click in a list box - is one $CHANGE with the new item's number,
// however many notifications the control sends about it.
TEST_F(MsgOrderTest, ListSelectionChangeIsOneChangeEvent) {
    enum How { kByKey, kByClick };
    struct Case {
        uint32_t type;
        How how;
        const char* why;
    };
    const Case cases[] = {
        {kTypeDatalist, kByKey, "Down in a list box"},
        {kTypeDatalist, kByClick, "a click on the second item of a list box"},
        {kTypeListview, kByKey, "Down in a list view (several LVN_ITEMCHANGED)"},
        {kTypeTreeview, kByKey, "Down in a tree view: TVN_SELCHANGED once"},
    };
    for (const Case& c : cases) {
        ObjectRecord* list = Make(c.type, nullptr, kListHeight, c.type == kTypeListview ? "Fruit" : nullptr);
        ASSERT_NE(nullptr, list) << c.why;
        for (const char* item : {"apples", "pears", "plums"})
            ASSERT_EQ(0, ObjectInsertItem(list, -1, item, static_cast<uint32_t>(strlen(item)))) << c.why;
        ASSERT_EQ(0, ObjectSetValue(list, 0, 1)) << c.why;
        Register(list, {kEvChange});
        HWND l = list->hwnd;
        ASSERT_EQ(0, MsgWatch(l, "list"));
        ASSERT_EQ(1, MsgWatch(win_->hwnd, "window"));
        // WM_COMMAND carries the list box's LBN_SELCHANGE; a list view's
        // WM_NOTIFY traffic varies too much to pin, its events do not.
        const UINT filter[] = {WM_KEYDOWN, WM_LBUTTONDOWN, WM_LBUTTONUP, WM_COMMAND};
        MsgSetFilter(filter);
        StartFrom(l);
        if (c.how == kByKey) {
            PostMessageA(l, WM_KEYDOWN, VK_DOWN, 1);
        } else {
            RECT item = {};
            ASSERT_NE(LB_ERR, SendMessageA(l, LB_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&item))) << c.why;
            LPARAM at = MAKELPARAM(item.left + 5, (item.top + item.bottom) / 2);
            PostMessageA(l, WM_LBUTTONDOWN, MK_LBUTTON, at);
            PostMessageA(l, WM_LBUTTONUP, 0, at);
        }
        Pump();
        MsgTakeEvents();
        const bool listBox = c.type == kTypeDatalist;
        const WPARAM selChange = listBox ? CommandOf(list, LBN_SELCHANGE) : 0;
        // A list box answers its second item as 2; a list view its second
        // row as 1 (its rows count from 0, as its methods take them); a tree
        // view its second node's number, 2.
        const int32_t second = listBox || c.type == kTypeTreeview ? 2 : 1;
        const MsgEntry byKey[] = {
            {kSeqPosted, 0, 0, WM_KEYDOWN, VK_DOWN, 1},
            {kSeqSent, static_cast<uint8_t>(listBox ? 0 : kSeqOptional), 1, WM_COMMAND, selChange, WndParam(l)},
            {kSeqEvent, 0, 0, kEvChange, HandleOf(list), second},
        };
        const MsgEntry byClick[] = {
            {kSeqPosted, kSeqAnyParams, 0, WM_LBUTTONDOWN, 0, 0},
            {kSeqPosted, kSeqAnyParams, 0, WM_LBUTTONUP, 0, 0},
            {kSeqSent, 0, 1, WM_COMMAND, selChange, WndParam(l)},
            {kSeqEvent, 0, 0, kEvChange, HandleOf(list), 2},
        };
        if (c.how == kByKey) EXPECT_TRUE(MsgSequenceIs(byKey, c.why));
        else EXPECT_TRUE(MsgSequenceIs(byClick, c.why));
        MsgUnwatchAll();
        ObjectDestroy(list);
        made_ = 0;
    }
}

// Real clicks (SendInput) on a list view's and a tree view's rows, the
// controls at their real size: a click on another row is $CHANGE, then $CLICK;
// a double click on a third row is the same click, then one $DBLCLICK - each
// naming the row clicked (a list view's from 0) or the node (a tree view's
// number), never the pointer's position or the row the selection left.
TEST_F(MsgOrderTest, RealClicksOnListAndTreeRowsNameTheRow) {
    struct Case {
        uint32_t type;
        const char* why;
    };
    const Case cases[] = {{kTypeListview, "list view"}, {kTypeTreeview, "tree view"}};
    for (const Case& c : cases) {
        const bool tree = c.type == kTypeTreeview;
        ObjectRecord* list = Make(c.type, nullptr, kListHeight, tree ? nullptr : "Fruit");
        ASSERT_NE(nullptr, list) << c.why;
        for (const char* item : {"apples", "pears", "plums"})
            ASSERT_EQ(0, ObjectInsertItem(list, -1, item, static_cast<uint32_t>(strlen(item)))) << c.why;
        ASSERT_EQ(0, ObjectSetValue(list, 0, 1)) << c.why;
        Register(list, {kEvChange, kEvClick, kEvDblClick});
        HWND l = list->hwnd;
        // The centre of row (from 0), on its text.
        auto rowCentre = [&](int row) {
            RECT r = {};
            if (tree) {
                HTREEITEM h = TreeView_GetRoot(l);
                for (int i = 0; i < row && h; ++i) h = TreeView_GetNextSibling(l, h);
                EXPECT_TRUE(h && TreeView_GetItemRect(l, h, &r, TRUE)) << c.why;
            } else {
                EXPECT_TRUE(ListView_GetItemRect(l, row, &r, LVIR_LABEL)) << c.why;
            }
            return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
        };
        // Only the events are recorded: they are taken after the input, so
        // their place among the messages would say nothing.
        ASSERT_EQ(0, MsgWatch(l, "list"));
        const UINT filter[] = {WM_NULL};
        MsgSetFilter(filter);
        StartFrom(l);
        // Rows are farther apart than a double click may stray, so the
        // click and the double click stay apart.
        ASSERT_TRUE(MsgMouseClicks(l, rowCentre(1), 1, Pump)) << c.why;
        EXPECT_TRUE(MsgTakeEventsUntil(2, Pump)) << c.why;
        ASSERT_TRUE(MsgMouseClicks(l, rowCentre(2), 2, Pump)) << c.why;
        EXPECT_TRUE(MsgTakeEventsUntil(5, Pump)) << c.why;
        // A list view's rows count from 0, a tree view's nodes are numbered from 1.
        const int32_t second = tree ? 2 : 1, third = tree ? 3 : 2;
        const WPARAM h = HandleOf(list);
        const MsgEntry expected[] = {
            {kSeqEvent, 0, 0, kEvChange, h, second},
            {kSeqEvent, 0, 0, kEvClick, h, second},
            {kSeqEvent, 0, 0, kEvChange, h, third},
            {kSeqEvent, 0, 0, kEvClick, h, third},
            {kSeqEvent, 0, 0, kEvDblClick, h, third},
        };
        EXPECT_TRUE(MsgSequenceIs(expected, c.why));
        MsgUnwatchAll();
        ObjectDestroy(list);
        made_ = 0;
    }
}

// A tab control's page changed by a click on another tab and by Ctrl+Tab and
// Ctrl+Shift+Tab (taken by the client's pump, as the main loop does): each is
// $CLICK with the tab left, then $CHANGE with the tab entered (both counted
// from 1), once, after the input that caused them.
TEST_F(MsgOrderTest, TabControlChangeIsClickThenChange) {
    ObjectRecord* tab = Make(kTypeTabcontrol, nullptr, kListHeight);
    ASSERT_NE(nullptr, tab);
    PropChange labels = {};
    const char* text = "one;two;three";
    labels.id = kPidTabLabel;
    labels.text = text;
    labels.textLength = static_cast<uint32_t>(strlen(text));
    labels.value = static_cast<int32_t>(labels.textLength);
    ASSERT_EQ(0, ObjectOpsOf(tab)->setProp(tab, &labels));
    ASSERT_EQ(3, SendMessageA(tab->hwnd, TCM_GETITEMCOUNT, 0, 0));
    Register(tab, {kEvClick, kEvChange});
    HWND t = tab->hwnd;
    ASSERT_EQ(0, MsgWatch(t, "tab"));
    const UINT filter[] = {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_KEYDOWN};
    MsgSetFilter(filter);
    StartFrom(t);
    RECT third = {};
    ASSERT_TRUE(SendMessageA(t, TCM_GETITEMRECT, 2, reinterpret_cast<LPARAM>(&third)));
    const LPARAM at = PostClickAtCentre(t, third);
    const MsgEntry byClick[] = {
        {kSeqPosted, 0, 0, WM_LBUTTONDOWN, MK_LBUTTON, at},
        {kSeqPosted, 0, 0, WM_LBUTTONUP, 0, at},
        {kSeqEvent, 0, 0, kEvClick, HandleOf(tab), 1},
        {kSeqEvent, 0, 0, kEvChange, HandleOf(tab), 3},
    };
    EXPECT_TRUE(MsgSequenceIs(byClick, "a click on the third tab"));
    struct Case {
        bool shift;
        int32_t left, entered;
        const char* why;
    };
    const Case cases[] = {
        {false, 3, 1, "Ctrl+Tab on the last tab wraps to the first"},
        {true, 1, 3, "Ctrl+Shift+Tab on the first wraps to the last"},
        {true, 3, 2, "Ctrl+Shift+Tab goes back one"},
    };
    BYTE keys[256];
    for (const Case& c : cases) {
        StartFrom(t);
        // The pump asks the thread's key state whether Ctrl and Shift are down.
        GetKeyboardState(keys);
        keys[VK_CONTROL] = 0x80;
        keys[VK_SHIFT] = c.shift ? 0x80 : 0;
        SetKeyboardState(keys);
        PostMessageA(t, WM_KEYDOWN, VK_TAB, 1);
        Pump();
        keys[VK_CONTROL] = keys[VK_SHIFT] = 0;
        SetKeyboardState(keys);
        MsgTakeEvents();
        // The key itself is the client's: it reaches no control.
        const MsgEntry expected[] = {
            {kSeqEvent, 0, 0, kEvClick, HandleOf(tab), c.left},
            {kSeqEvent, 0, 0, kEvChange, HandleOf(tab), c.entered},
        };
        EXPECT_TRUE(MsgSequenceIs(expected, c.why));
    }
    ObjectDestroy(tab);
}

// A click on a tool button, posted as the mouse would: the bar tells its
// window (WM_COMMAND with the button's command id), and the server takes
// $CLICK with that id, then $BUTTONCLICK with the button's Tag, once each.
TEST_F(MsgOrderTest, ToolButtonClickIsClickThenButtonClick) {
    constexpr uint32_t kEvButtonClick = 26;
    constexpr int32_t kTag = 22;
    ObjectRecord* bar = MakeToolBarWithButton("Go", kTag);
    ASSERT_NE(nullptr, bar);
    TBBUTTON button = {};
    ASSERT_TRUE(SendMessageA(bar->hwnd, TB_GETBUTTON, 0, reinterpret_cast<LPARAM>(&button)));
    Register(bar, {kEvClick, kEvButtonClick});
    HWND b = bar->hwnd;
    ASSERT_EQ(0, MsgWatch(b, "bar"));
    ASSERT_EQ(1, MsgWatch(win_->hwnd, "window"));
    const UINT filter[] = {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_COMMAND};
    MsgSetFilter(filter);
    StartFrom(nullptr);
    RECT r = {};
    ASSERT_TRUE(SendMessageA(b, TB_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&r)));
    const LPARAM at = PostClickAtCentre(b, r);
    const MsgEntry expected[] = {
        {kSeqPosted, 0, 0, WM_LBUTTONDOWN, MK_LBUTTON, at},
        {kSeqPosted, 0, 0, WM_LBUTTONUP, 0, at},
        {kSeqSent, kSeqAnyLParam, 1, WM_COMMAND, static_cast<WPARAM>(button.idCommand), 0},
        {kSeqEvent, 0, 0, kEvClick, HandleOf(bar), button.idCommand},
        {kSeqEvent, 0, 0, kEvButtonClick, HandleOf(bar), kTag},
    };
    EXPECT_TRUE(MsgSequenceIs(expected, "a click on the tool button"));
    ObjectDestroy(bar);
}

// A click on the arrow of a drop-down tool button, posted as the mouse would,
// with the keys that then choose the third item of its menu (Down, Down past
// the separator, Enter) already queued: the bar tells its window TBN_DROPDOWN
// while the press is handled, the menu's own loop takes the release and the
// keys (they reach no window), and the server takes one $BUTTONCLICK with the
// button's Tag - no $CLICK, and nothing before the menu has closed.
TEST_F(MsgOrderTest, ToolDropDownIsNotifyThenMenuThenButtonClick) {
    constexpr uint32_t kEvButtonClick = 26;
    constexpr int32_t kDropDownStyle = 1, kTag = 33;
    constexpr int kArrowInset = 4;   // from the button's right edge: inside its arrow
    ObjectRecord* bar = MakeToolBarWithButton("Send", kTag, kDropDownStyle, "One;-;Three;");
    ASSERT_NE(nullptr, bar);
    TBBUTTON button = {};
    ASSERT_TRUE(SendMessageA(bar->hwnd, TB_GETBUTTON, 0, reinterpret_cast<LPARAM>(&button)));
    ASSERT_TRUE(button.fsStyle & BTNS_DROPDOWN);
    Register(bar, {kEvClick, kEvButtonClick});
    HWND b = bar->hwnd;
    ASSERT_EQ(0, MsgWatch(b, "bar"));
    ASSERT_EQ(1, MsgWatch(win_->hwnd, "window"));
    const UINT filter[] = {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_KEYDOWN, WM_KEYUP, WM_NOTIFY, WM_COMMAND};
    MsgSetFilter(filter);
    StartFrom(nullptr);
    RECT r = {};
    ASSERT_TRUE(SendMessageA(b, TB_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&r)));
    const LPARAM at = MAKELPARAM(r.right - kArrowInset, (r.top + r.bottom) / 2);
    PostMessageA(b, WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageA(b, WM_LBUTTONUP, 0, at);
    for (WORD vk : {VK_DOWN, VK_DOWN, VK_RETURN}) {
        PostMessageA(b, WM_KEYDOWN, vk, 1);
        PostMessageA(b, WM_KEYUP, vk, static_cast<LPARAM>(0xC0000001u));
    }
    Pump();
    MsgTakeEvents();
    const WPARAM barId = static_cast<WPARAM>(GetDlgCtrlID(b));
    // The pressed and the released button are painted when the system gets
    // to it: each paint asks NM_CUSTOMDRAW once, or not at all if coalesced.
    const LPARAM customDraw = static_cast<LPARAM>(NM_CUSTOMDRAW);
    const MsgEntry expected[] = {
        {kSeqPosted, 0, 0, WM_LBUTTONDOWN, MK_LBUTTON, at},
        {kSeqSent, kSeqOptional, 1, WM_NOTIFY, barId, customDraw},
        {kSeqSent, 0, 1, WM_NOTIFY, barId, static_cast<LPARAM>(TBN_DROPDOWN)},
        {kSeqSent, kSeqOptional, 1, WM_NOTIFY, barId, customDraw},
        {kSeqEvent, 0, 0, kEvButtonClick, HandleOf(bar), kTag},
    };
    EXPECT_TRUE(MsgSequenceIs(expected, "the arrow of a drop-down tool button, then its third item"));
    EXPECT_FALSE(IsWindowVisible(FindWindowA("#32768", nullptr))) << "the menu has closed";
    ObjectDestroy(bar);
}

}  // namespace
