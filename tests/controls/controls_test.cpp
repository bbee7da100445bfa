// controls_test.cpp - the native controls under Wine: each kind created in a
// window, texts, values and items read back, a simulated click posting $CLICK,
// and menu commands reaching their menu.
#include <gtest/gtest.h>
#include <windows.h>

#include <commctrl.h>

#include <string>

#include "controls/controls.h"
#include "controls/ctlcore.h"
#include "objects/crstream.h"
#include "objects/events.h"
#include "objects/focus.h"
#include "objects/font.h"
#include "objects/guihooks.h"
#include "objects/objhooks.h"
#include "objects/objops.h"
#include "objects/objrecord.h"
#include "objects/window.h"
#include "session/proto/protocol.h"
#include "session/session.h"
#include "tests/gui/testwindow.h"
#include "tests/testutil.h"

namespace {

class ControlsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { StartTestRuntime(); }
    void SetUp() override {
        win_ = MakeTestWindow(&cr_);
        ASSERT_NE(nullptr, win_);
    }
    void TearDown() override { ObjectDestroy(win_); }
    // A control of the type in the test window.
    ObjectRecord* Make(uint32_t type, const char* text = nullptr, const char* title = nullptr, int32_t lines = 0) {
        CreateRecordReset(&cr_);
        if (lines) {
            cr_.values[20] = lines;   // MultiLine
            cr_.given[20] = 1;
        }
        cr_.windowRec = win_;
        cr_.left = 10, cr_.top = 10, cr_.width = 150, cr_.height = 24;
        cr_.flags0 |= kCrVisible;
        if (text) cr_.text = CrText{text, static_cast<uint32_t>(strlen(text))};
        if (title) cr_.title = CrText{title, static_cast<uint32_t>(strlen(title))};
        int32_t code = 0;
        ObjectRecord* rec = ObjectCreate(type, &cr_, &code);
        EXPECT_NE(nullptr, rec) << "type " << type << " code " << code;
        return rec;
    }
    std::string Text(ObjectRecord* rec, int32_t item) {
        EXPECT_GE(ObjectGetText(rec, item), 0);
        return gTextBuf;
    }
    int32_t Value(ObjectRecord* rec, int32_t item = 0) {
        int32_t v = -99;
        EXPECT_EQ(0, ObjectGetValue(rec, item, &v));
        return v;
    }
    static void Pump() {
        MSG m;
        while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&m);
    }
    // A top window of the border style and creation style bits whose client
    // area is 300 x 200 pixels at 20, 40.
    ObjectRecord* MakeFrameWindow(int32_t border, uint32_t winStyle) {
        CreateRecordReset(&cr_);
        cr_.winType = kWinNormal;
        cr_.winBorder = border;
        cr_.winStyle = winStyle;
        cr_.left = 20, cr_.top = 40, cr_.width = 300, cr_.height = 200;
        cr_.right = 320, cr_.bottom = 240;
        cr_.units = kUnitsPixels;
        cr_.title = CrText{"Frame", 5};
        int32_t code = 0;
        ObjectRecord* w = WindowObjectCreate(nullptr, &cr_, &code);
        EXPECT_NE(nullptr, w) << "border style " << border << " code " << code;
        return w;
    }
    ObjectCreateRecord cr_;
    ObjectRecord* win_ = nullptr;
};

BOOL CALLBACK CountWindow(HWND, LPARAM count) {
    ++*reinterpret_cast<int*>(count);
    return TRUE;
}

// Windows and GDI objects a round of controls leaves behind: what a client
// that runs all day would lose on every form it opens and closes.
TEST_F(ControlsTest, CreateAndDestroyLeaksNoHandles) {
    static const uint32_t kTypes[] = {kTypeButton,     kTypeCheckbox,     kTypeRadio,        kTypeCombobox,
                                      kTypeDatalist,   kTypeEdittext,     kTypeRichEditText, kTypeEditNumber,
                                      kTypeEditDateTime, kTypeStattext,   kTypeLabelText,    kTypeGroupbox,
                                      kTypeListview,   kTypeTreeview,     kTypeMenu,         kTypeFloatmenu};
    auto round = [&]() {
        for (uint32_t type : kTypes) {
            ObjectRecord* rec = Make(type, "One;Two", "&Caption;Item");
            ASSERT_NE(nullptr, rec) << type;
            PropChange req = {};
            req.id = kPidFont;
            req.text = "'>Arial'(11,BOLD)";
            req.textLength = static_cast<uint32_t>(strlen(req.text));
            ObjectSetProperty(rec, &req);
            Pump();
            EXPECT_EQ(0, ObjectDestroy(rec)) << type;
        }
        Pump();
    };
    auto childWindows = [&]() {
        int n = 0;
        EnumChildWindows(win_->hwnd, CountWindow, reinterpret_cast<LPARAM>(&n));
        return n;
    };
    round();  // the first round fills the caches and loads the control classes
    // Wine reports no GDI or USER counts (0); on Windows these bite too.
    DWORD gdi = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    DWORD user = GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS);
    uint32_t fonts = FontListCount(), objects = ObjectLiveCount();
    size_t subclassed = CtlSubclassCount();
    int children = childWindows();
    for (int i = 0; i < 5; ++i) round();
    EXPECT_EQ(fonts, FontListCount()) << "every shared font goes with its last user";
    EXPECT_EQ(subclassed, CtlSubclassCount()) << "a destroyed control leaves no subclass entry for its handle";
    EXPECT_EQ(objects, ObjectLiveCount()) << "every record leaves the registry";
    EXPECT_EQ(children, childWindows()) << "every control window is gone";
    EXPECT_LE(GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS), gdi + 2) << "GDI objects";
    EXPECT_LE(GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS), user + 2) << "windows and menus";
}

TEST_F(ControlsTest, EveryKindIsCreatedAsItsControl) {
    struct Case {
        uint32_t type;
        uint8_t kind;
        const char* cls;
    };
    const Case cases[] = {
        {kTypeButton, kKindButton, "Button"},       {kTypeCheckbox, kKindCheckBox, "Button"},
        {kTypeRadio, kKindRadio, "Button"},         {kTypeCombobox, kKindComboBox, "ComboBox"},
        {kTypePopupmenu, kKindComboBox, "ComboBox"}, {kTypeDatalist, kKindDataList, "ListBox"},
        {kTypeEdittext, kKindEditText, "Edit"},     {kTypeRichEditText, kKindRichEditText, "RichEdit20A"},
        {kTypeEditNumber, kKindEditNumber, "Edit"}, {kTypeEditDateTime, kKindEditDateTime, "SysDateTimePick32"},
        {kTypeStattext, kKindStatText, "Static"},   {kTypeLabelText, kKindLabelText, "Static"},
        {kTypeGroupbox, kKindGroupBox, "Button"},   {kTypeListview, kKindListView, "SysListView32"},
        {kTypeTreeview, kKindTreeView, "SysTreeView32"},
    };
    for (const Case& c : cases) {
        ObjectRecord* rec = Make(c.type, nullptr, "Caption");
        ASSERT_NE(nullptr, rec) << c.cls;
        EXPECT_EQ(c.kind, rec->kind) << c.cls;
        char cls[64] = {};
        GetClassNameA(rec->hwnd, cls, sizeof cls);
        EXPECT_STRCASEEQ(c.cls, cls);
        EXPECT_EQ(win_->hwnd, GetParent(rec->hwnd)) << c.cls;
        EXPECT_TRUE(IsWindowVisible(rec->hwnd)) << c.cls;
        EXPECT_EQ(rec, ObjectFromHwnd(rec->hwnd)) << c.cls;
        EXPECT_EQ(0, ObjectDeactivate(rec)) << c.cls;
        EXPECT_FALSE(IsWindowVisible(rec->hwnd)) << c.cls;
        HWND wnd = rec->hwnd;
        EXPECT_EQ(0, ObjectDestroy(rec)) << c.cls;
        EXPECT_FALSE(IsWindow(wnd)) << c.cls;
    }
    for (uint32_t type : {kTypeMenu, kTypeSubmenu, kTypeFloatmenu, kTypeMRegion}) {
        ObjectRecord* rec = Make(type, nullptr, "&Menu;One;Two");
        ASSERT_NE(nullptr, rec) << type;
        EXPECT_EQ(0, ObjectDestroy(rec)) << type;
    }
}

TEST_F(ControlsTest, EditRoundTripsLineBreaks) {
    ObjectRecord* edit = Make(kTypeEdittext, nullptr, nullptr, 5);
    ASSERT_NE(nullptr, edit);
    struct Case {
        std::string in, out;
        const char* why;
    };
    const Case cases[] = {
        {"one\x7ftwo", "one\x7ftwo", "byte 127 comes back"},
        {"one\r\ntwo", "one\x7ftwo", "CR LF comes back as 127"},
        {"plain", "plain", "no breaks"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(0, ObjectSetText(edit, 0, c.in.data(), static_cast<uint32_t>(c.in.size()))) << c.why;
        EXPECT_EQ(c.out, Text(edit, 0)) << c.why;
    }
    char control[64];
    ObjectSetText(edit, 0, "a\x7f" "b", 3);
    GetWindowTextA(edit->hwnd, control, sizeof control);
    EXPECT_STREQ("a\r\nb", control) << "the control shows a real line break";
    EXPECT_EQ(4, Value(edit, 0)) << "text length";
    ObjectSetValue(edit, 1, 1);
    EXPECT_EQ(0, ObjectInsertItem(edit, 1, "X", 1));
    EXPECT_EQ("aX\x7f" "b", Text(edit, 0)) << "inserted at the caret";
    EXPECT_EQ(0, ObjectDeleteItem(edit, 0));
    EXPECT_EQ("", Text(edit, 0));
    ObjectDestroy(edit);

    // A text past 2 MiB reads back as a shorter one does: its first bytes, up
    // to the reply buffer; a selection at its end reads as itself.
    const uint32_t kLine = 64, kLines = 3u * 1024 * 1024 / kLine + 1;
    std::string big;
    for (uint32_t i = 0; i < kLines; ++i) {
        std::string row = std::to_string(i);
        row.resize(kLine - 1, '.');
        big += row;
        big += '\x7f';
    }
    ObjectRecord* large = Make(kTypeEdittext, nullptr, nullptr, static_cast<int32_t>(kLines + 1));
    ASSERT_NE(nullptr, large);
    EXPECT_EQ(0, ObjectSetText(large, 0, big.data(), static_cast<uint32_t>(big.size())));
    std::string head = Text(large, 0);
    EXPECT_EQ(kTextBufSize, head.size()) << "a 3 MiB text reads as the reply buffer's bytes";
    EXPECT_TRUE(head == big.substr(0, kTextBufSize)) << "the first bytes of the text";
    int32_t shown = Value(large, 0);
    ObjectSetValue(large, 1, shown - static_cast<int32_t>(2 * (kLine + 1)));
    ObjectSetValue(large, 2, shown);
    EXPECT_EQ(big.substr(big.size() - 2 * kLine), Text(large, 1)) << "the last two lines selected";
    ObjectDestroy(large);

    ObjectRecord* line = Make(kTypeEdittext);
    ASSERT_NE(nullptr, line);
    ObjectSetText(line, 0, "one\x7ftwo", 7);
    EXPECT_EQ("one", Text(line, 0)) << "a one-line edit keeps its first line";
    ObjectDestroy(line);
}

// A control subclassed to refuse the next text it is handed, as Wine's edit
// control does when it cannot make room for one: WM_SETTEXT answers FALSE
// with the old text kept, TRUE with the old text kept (a buffer that could
// not grow), or TRUE having emptied itself; EM_REPLACESEL is dropped. The
// texts after it are taken: putting the old text back asks for no new room.
// (The real edit refuses only when an allocation fails, which nothing short
// of exhausting the process's memory brings about: the refusals are modelled.)
enum Refusal { kAnswerFalse, kTrueKept, kTrueEmptied };
constexpr char kRealProc[] = "QovTestRealProc";
Refusal gRefusal;
int gRefusalsLeft;

LRESULT CALLBACK RefusingProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
    auto real = reinterpret_cast<WNDPROC>(GetPropA(wnd, kRealProc));
    if ((msg == WM_SETTEXT || msg == EM_REPLACESEL) && gRefusalsLeft > 0) {
        --gRefusalsLeft;
        if (msg == EM_REPLACESEL) return 0;
        if (gRefusal == kTrueEmptied) CallWindowProcA(real, wnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(""));
        return gRefusal == kAnswerFalse ? FALSE : TRUE;
    }
    return CallWindowProcA(real, wnd, msg, wp, lp);
}

void RefuseNextText(HWND wnd, Refusal how) {
    gRefusal = how;
    gRefusalsLeft = 1;
    SetPropA(wnd, kRealProc, reinterpret_cast<HANDLE>(GetWindowLongPtrA(wnd, GWLP_WNDPROC)));
    SetWindowLongPtrA(wnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(RefusingProc));
}

void TakeTextsAgain(HWND wnd) {
    SetWindowLongPtrA(wnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(RemovePropA(wnd, kRealProc)));
}

// A text the control does not take is answered -6, never 0, and the control
// holds the text it had (put back when it emptied itself): whole texts, an
// insert at the caret, captions, a combo box's own text and a window's title
// alike.
TEST_F(ControlsTest, ATextTheControlRefusesIsAnsweredNoMemory) {
    struct Case {
        uint32_t type;      // 0: the test window
        Refusal refusal;    // how WM_SETTEXT answers the text it refuses
        bool insert;        // an insert at the caret rather than the whole text
        const char* why;
    };
    const Case cases[] = {
        {kTypeEdittext, kAnswerFalse, false, "an edit answering FALSE to WM_SETTEXT"},
        {kTypeEdittext, kTrueKept, false, "an edit answering TRUE with its old text kept"},
        {kTypeEdittext, kTrueEmptied, false, "an edit answering TRUE having emptied itself"},
        {kTypeEdittext, kAnswerFalse, true, "an edit dropping EM_REPLACESEL"},
        {kTypeRichEditText, kAnswerFalse, false, "a rich edit"},
        {kTypeEditNumber, kAnswerFalse, false, "a number edit"},
        {kTypeButton, kAnswerFalse, false, "a button's caption"},
        {kTypeCombobox, kTrueKept, false, "a combo box's own text"},
        {kTypeCombobox, kTrueEmptied, false, "a combo box's own text, its edit emptied"},
        {0, kAnswerFalse, false, "a window's title"},
    };
    for (const Case& c : cases) {
        ObjectRecord* rec = c.type ? Make(c.type) : win_;
        ASSERT_NE(nullptr, rec) << c.why;
        ASSERT_EQ(0, ObjectSetText(rec, 0, "12", 2)) << c.why << ": a text taken is answered 0";
        RefuseNextText(rec->hwnd, c.refusal);
        int32_t rc = c.insert ? ObjectInsertItem(rec, 1, "345", 3) : ObjectSetText(rec, 0, "345", 3);
        TakeTextsAgain(rec->hwnd);
        EXPECT_EQ(kOpNoMemory, rc) << c.why;
        EXPECT_EQ("12", Text(rec, 0)) << c.why << ": the text the control holds";
        if (c.type) ObjectDestroy(rec);
    }
    // A menu's popup that takes no item (destroyed here: AppendMenuA fails
    // as it does when it cannot copy a text): a menu item's text is answered
    // -6 with the old text kept, and an item made then is not made.
    ObjectRecord* menu = Make(kTypeSubmenu, nullptr, "Sub;One;Two");
    ASSERT_NE(nullptr, menu);
    ASSERT_EQ(0, ObjectSetText(menu, 1, "12", 2));
    DestroyMenu(MenuPopupOf(menu));
    EXPECT_EQ(kOpNoMemory, ObjectSetText(menu, 1, "345", 3)) << "a menu item's text";
    EXPECT_EQ("12", Text(menu, 1)) << "a menu item's text: the text the item kept";
    CreateRecordReset(&cr_);
    cr_.windowRec = win_;
    cr_.title = CrText{"Three", 5};
    int32_t code = 0;
    EXPECT_EQ(nullptr, MenuItemCreate(0, &cr_, &code)) << "a menu item made";
    EXPECT_EQ(kOpNoMemory, code) << "a menu item made";
    EXPECT_EQ(2u, MenuItemCount(menu)) << "a menu item made: not among the items";
    ObjectDestroy(menu);   // at once: no other menu may be given the dead handle first
}

TEST_F(ControlsTest, ComboAndListKeepItemsInOrder) {
    ObjectRecord* combo = Make(kTypeCombobox, "Own;Red;Green");
    ASSERT_NE(nullptr, combo);
    EXPECT_EQ("Own", Text(combo, 0)) << "the first piece is the combo's own text";
    EXPECT_EQ("Red", Text(combo, 1));
    EXPECT_EQ(0, ObjectInsertItem(combo, 1, "Blue", 4));
    EXPECT_EQ(0, ObjectInsertItem(combo, -1, "White", 5));
    EXPECT_EQ(0, ObjectDeleteItem(combo, 1));
    PropQuery q = {};
    EXPECT_EQ("Blue", Text(combo, 1));
    EXPECT_EQ("Green", Text(combo, 2));
    EXPECT_EQ("White", Text(combo, 3));
    EXPECT_EQ("", Text(combo, 4)) << "beyond the items";
    EXPECT_EQ(0, ObjectSetValue(combo, 0, 2));
    EXPECT_EQ(2, Value(combo));
    EXPECT_EQ("Green", Text(combo, -1)) << "the selected item";
    EXPECT_EQ(0, ObjectSetText(combo, 2, "Grey", 4));
    EXPECT_EQ("Blue", Text(combo, 1)) << "replacing an item leaves its neighbours";
    EXPECT_EQ("Grey", Text(combo, 2)) << "the item is replaced where it was";
    EXPECT_EQ("White", Text(combo, 3));
    EXPECT_EQ("", Text(combo, 4)) << "no item is added or lost";
    (void)q;
    ObjectDestroy(combo);

    ObjectRecord* list = Make(kTypeListview, "Name\tQty");
    ASSERT_NE(nullptr, list);
    const char* rows[] = {"apples\t3", "pears\t5", "plums\t7"};
    for (const char* r : rows) EXPECT_EQ(0, ObjectInsertItem(list, -1, r, static_cast<uint32_t>(strlen(r))));
    EXPECT_EQ(0, ObjectInsertItem(list, 0, "figs\t1", 6));
    EXPECT_EQ(0, ObjectDeleteItem(list, 3));
    EXPECT_EQ("figs\t1", Text(list, 1));
    EXPECT_EQ("apples\t3", Text(list, 2));
    EXPECT_EQ("plums\t7", Text(list, 3));
    EXPECT_EQ(3, ListView_GetItemCount(list->hwnd));
    ObjectSetValue(list, 0, 2);
    EXPECT_EQ(2, Value(list));
    ObjectDestroy(list);
}

// A list view's row events carry the row from 0, as its methods take it and
// as the web view's list view posts it.
TEST_F(ControlsTest, ListViewRowEventsCountFromZero) {
    ObjectRecord* list = Make(kTypeListview, "Name\tQty");
    ASSERT_NE(nullptr, list);
    for (const char* r : {"apples\t3", "pears\t5", "plums\t7"})
        ASSERT_EQ(0, ObjectInsertItem(list, -1, r, static_cast<uint32_t>(strlen(r))));
    int32_t values[4] = {};
    ASSERT_EQ(0, EventRegister(list, kEvChange, values, false, nullptr, 0));
    EventRecord ev = {};
    EventItem items[kEventRegItems];
    uint32_t count = 0;
    while (EventTakeNext(&ev, items, &count)) {
    }
    ObjectSetValue(list, 0, 3);
    Pump();
    ASSERT_TRUE(EventTakeNext(&ev, items, &count)) << "selecting a row raises $CHANGE";
    EXPECT_EQ(static_cast<int32_t>(kEvChange), ev.eventId);
    EXPECT_EQ(2, ev.value) << "the third row is row 2";
    ObjectDestroy(list);
}

TEST_F(ControlsTest, ContentsAsXmlAreRefusedNatively) {
    struct Case {
        uint32_t type;
        uint32_t method;
        const char* why;
    };
    const Case cases[] = {
        {kTypeListview, 51, "list view LoadXmlFile"}, {kTypeListview, 52, "list view SaveXmlFile"},
        {kTypeTreeview, 22, "tree view LoadXmlFile"}, {kTypeTreeview, 23, "tree view SaveXmlFile"},
        {kTypeTreeview, 26, "tree view SaveXmlToDim"}, {kTypeTreeview, 27, "tree view GetXmlDataSize"},
    };
    for (const Case& c : cases) {
        ObjectRecord* rec = Make(c.type, "Name");
        ASSERT_NE(nullptr, rec) << c.why;
        MethodCallRec call = {};
        call.method = c.method;
        call.noCheck = 1;
        EXPECT_EQ(kOpNotAvailable, ObjectInvokeMethod(c.type, rec, &call)) << c.why << ": nothing done, no success";
        ObjectDestroy(rec);
    }
}

// The tree view's method table, which every call is checked against, holds
// GetLastDropXY (28) for the web view's tree; the native tree refuses it.
TEST_F(ControlsTest, TreeViewTableHoldsTheDropPoint) {
    ObjectRecord* tree = Make(kTypeTreeview, "Tree");
    ASSERT_NE(nullptr, tree);
    struct Case {
        uint32_t method;
        int32_t check;
        const char* why;
    };
    const Case cases[] = {
        {27, 0, "GetXmlDataSize is in the table"},
        {28, 0, "so is GetLastDropXY"},
        {29, kErrNoMethod, "nothing beyond it"},
    };
    for (const Case& c : cases) {
        MethodCallRec call = {};
        call.method = c.method;
        EXPECT_EQ(c.check, CheckMethodCall(kTypeTreeview, &call)) << c.why;
    }
    MethodCallRec drop = {};
    drop.method = 28;
    drop.noCheck = 1;
    EXPECT_EQ(kOpUnknownMethod, ObjectInvokeMethod(kTypeTreeview, tree, &drop)) << "the native tree keeps no drop point";
    ObjectDestroy(tree);
}

TEST_F(ControlsTest, ClickPostsClickEvent) {
    struct Case {
        uint32_t type;
        int32_t value;
    };
    const Case cases[] = {{kTypeButton, 0}, {kTypeCheckbox, 1}, {kTypeRadio, 1}};
    for (const Case& c : cases) {
        ObjectRecord* b = Make(c.type, nullptr, "Go");
        ASSERT_NE(nullptr, b);
        int32_t values[4] = {};
        ASSERT_EQ(0, EventRegister(b, kEvClick, values, false, nullptr, 0));
        uint32_t before = EventQueueCount();
        SendMessageA(b->hwnd, BM_CLICK, 0, 0);
        Pump();
        ASSERT_EQ(before + 1, EventQueueCount()) << "type " << c.type;
        EventRecord ev = {};
        EventItem items[kEventRegItems];
        uint32_t count = 0;
        ASSERT_TRUE(EventTakeNext(&ev, items, &count));
        EXPECT_EQ(b->handle, ev.handle);
        EXPECT_EQ(static_cast<int32_t>(kEvClick), ev.eventId);
        EXPECT_EQ(c.value, ev.value) << "type " << c.type << ": the check state";
        ObjectDestroy(b);
    }
}

// The server's focus request (2413) on a native control gives it the keyboard
// focus and makes it its window's focused object, its $GOTFOCUS queued; a
// hidden control cannot take it.
TEST_F(ControlsTest, ServerFocusRequestFocusesANativeControl) {
    ObjectRecord* first = Make(kTypeButton, nullptr, "One");
    ObjectRecord* second = Make(kTypeEdittext, "text");
    ASSERT_TRUE(first && second);
    ASSERT_EQ(0, EventRegister(second, kEvGotFocus, nullptr, false, nullptr, 0));
    SetFocus(first->hwnd);
    Pump();
    EventRecord ev = {};
    EventItem items[kEventRegItems];
    uint32_t n = 0;
    while (EventTakeNext(&ev, items, &n)) {
    }
    EXPECT_EQ(0, ObjectSetFocus(second, 0, 0));
    EXPECT_EQ(second->hwnd, GetFocus());
    EXPECT_EQ(second, GetFocusObject()) << "the window's focused object";
    ASSERT_TRUE(EventTakeNext(&ev, items, &n)) << "its $GOTFOCUS";
    EXPECT_EQ(static_cast<int32_t>(kEvGotFocus), ev.eventId);
    EXPECT_EQ(second->handle, ev.handle);
    EXPECT_EQ(0, ObjectDeactivate(first));
    EXPECT_EQ(kOpNotAvailable, ObjectSetFocus(first, 0, 0)) << "a hidden control";
    EXPECT_EQ(second->hwnd, GetFocus()) << "the focus stays";
    ObjectDestroy(first);
    ObjectDestroy(second);
}

// Where the client area of the client's own window sits in its frame for
// each border style under Wine's default metrics, and how much a menu bar
// adds to the frame above the client area, which keeps its place and size:
// the web view's page draws its frames, title bars and menu bar to the same
// figures (the page tests hold the same table).
TEST_F(ControlsTest, WindowFramesAndMenuBarOfEachBorderStyle) {
    struct Offset {
        LONG left, top;
    };
    const Offset kClientOffsets[] = {{0, 0}, {1, 1}, {3, 3}, {3, 19}, {3, 22}, {4, 23}, {4, 20}, {3, 3}};
    constexpr LONG kMenuBar = 19;
    for (int32_t border = 1; border <= 8; ++border) {
        ObjectRecord* w = MakeFrameWindow(border, 0);
        ASSERT_NE(nullptr, w) << border;
        RECT outer = {}, client = {};
        GetWindowRect(w->hwnd, &outer);
        GetClientRect(w->hwnd, &client);
        POINT at = {0, 0};
        ClientToScreen(w->hwnd, &at);
        const Offset& want = kClientOffsets[border - 1];
        EXPECT_EQ(want.left, at.x - outer.left) << "border style " << border;
        EXPECT_EQ(want.top, at.y - outer.top) << "border style " << border;
        EXPECT_EQ(20, at.x) << "border style " << border << ": Left places the client area, the frame lies outside";
        EXPECT_EQ(40, at.y) << "border style " << border << ": and Top";
        EXPECT_EQ(300, client.right) << "border style " << border << ": the client area is Width";
        EXPECT_EQ(200, client.bottom) << "border style " << border << ": and Height";
        if (border == 6) {
            ObjectRecord* keep = win_;
            win_ = w;
            ObjectRecord* menu = Make(kTypeMenu, nullptr, "&File;Open");
            win_ = keep;
            ASSERT_NE(nullptr, menu);
            EXPECT_EQ(0, ObjectActivate(menu, 0, 0, 0, 0));
            ASSERT_NE(nullptr, GetMenu(w->hwnd));
            POINT below = {0, 0};
            ClientToScreen(w->hwnd, &below);
            RECT grown = {}, kept = {};
            GetWindowRect(w->hwnd, &grown);
            GetClientRect(w->hwnd, &kept);
            EXPECT_EQ(at.y, below.y) << "the client area keeps its Top under the bar";
            EXPECT_EQ(200, kept.bottom) << "and its Height";
            EXPECT_EQ(kMenuBar, outer.top - grown.top) << "the menu bar's height: the frame grows by it";
        }
        ObjectDestroy(w);
    }
}

// Without Caption the system would still give an overlapped window its
// caption, leaving the client area short of Width and Height: a window of the
// captioned border styles keeps its frame and loses only the caption, and its
// client area is what was asked, at creation and after Caption changes.
TEST_F(ControlsTest, WindowWithoutCaptionKeepsItsSize) {
    struct Offset {
        LONG left, top;
    };
    // Measured under Wine: the frame alone (a caption would add 16 or 19
    // pixels above, as in WindowFramesAndMenuBarOfEachBorderStyle).
    const Offset kClientOffsets[] = {{1, 1}, {3, 3}, {3, 3}, {3, 3}};
    for (int32_t border = 4; border <= 7; ++border) {
        ObjectRecord* w = MakeFrameWindow(border, 0x40);   // Caption off
        ASSERT_NE(nullptr, w) << border;
        auto clientOffset = [&]() {
            RECT outer = {};
            GetWindowRect(w->hwnd, &outer);
            POINT at = {0, 0};
            ClientToScreen(w->hwnd, &at);
            return Offset{at.x - outer.left, at.y - outer.top};
        };
        RECT client = {};
        GetClientRect(w->hwnd, &client);
        const Offset& want = kClientOffsets[border - 4];
        Offset got = clientOffset();
        EXPECT_NE(static_cast<LONG>(WS_CAPTION), GetWindowLongA(w->hwnd, GWL_STYLE) & WS_CAPTION)
            << "border style " << border << ": no caption";
        EXPECT_EQ(want.left, got.left) << "border style " << border;
        EXPECT_EQ(want.top, got.top) << "border style " << border;
        EXPECT_EQ(300, client.right) << "border style " << border << ": the client area is Width";
        EXPECT_EQ(200, client.bottom) << "border style " << border << ": and Height";
        PropChange on = {};
        on.id = kPidCaption;
        on.value = 1;
        EXPECT_EQ(0, WindowSetProp(w, &on));
        EXPECT_EQ(static_cast<LONG>(WS_CAPTION), GetWindowLongA(w->hwnd, GWL_STYLE) & WS_CAPTION)
            << "border style " << border << ": Caption on gives the caption back";
        EXPECT_LT(got.top, clientOffset().top) << "border style " << border;
        on.value = 0;
        EXPECT_EQ(0, WindowSetProp(w, &on));
        EXPECT_EQ(got.top, clientOffset().top) << "border style " << border << ": and off takes it away";
        ObjectDestroy(w);
    }
}

// Window method SetForegroundWindow brings the window to the front;
// SetParent changes nothing (the web view's window answers both alike).
TEST_F(ControlsTest, SetForegroundWindowMethodBringsTheWindowToTheFront) {
    ObjectRecord* back = MakeFrameWindow(kWbSizeable, 0);
    ObjectRecord* front = MakeFrameWindow(kWbSizeable, 0);
    ASSERT_TRUE(back && front);
    EXPECT_EQ(0, ObjectActivate(back, 0, 0, 0, 0));
    EXPECT_EQ(0, ObjectActivate(front, 0, 0, 0, 0));
    // The display tells of focus changes later than they are made, and an
    // earlier one taken meanwhile may hand the focus back for a moment: each
    // look waits until the display's news is in.
    auto settlesOn = [](HWND wnd) { return WaitUntil([wnd] { return GetForegroundWindow() == wnd; }); };
    SetForegroundWindow(front->hwnd);
    ASSERT_TRUE(settlesOn(front->hwnd));
    EXPECT_EQ(0, InvokeWithArgs(back, kTypeWindow, kWmSetParent, nullptr, {}));
    WaitTurn();
    EXPECT_EQ(front->hwnd, GetForegroundWindow()) << "SetParent leaves the front window alone";
    EXPECT_EQ(1, InvokeWithArgs(back, kTypeWindow, kWmSetForegroundWindow, nullptr, {}));
    EXPECT_TRUE(settlesOn(back->hwnd)) << "the window comes to the front";
    ObjectDestroy(front);
    ObjectDestroy(back);
}

TEST_F(ControlsTest, MenuItemsEnabledCheckedAndCommands) {
    ObjectRecord* menu = Make(kTypeMenu, nullptr, "&File;&Open/O;(Save;-;E&xit");
    ASSERT_NE(nullptr, menu);
    EXPECT_EQ(0, ObjectActivate(menu, 0, 0, 0, 0));
    HMENU bar = GetMenu(win_->hwnd);
    ASSERT_NE(nullptr, bar);
    HMENU popup = GetSubMenu(bar, 0);
    ASSERT_NE(nullptr, popup);
    EXPECT_EQ(4, GetMenuItemCount(popup));
    EXPECT_EQ("File", Text(menu, 0));
    EXPECT_EQ("Exit", Text(menu, 4)) << "marks dropped";
    EXPECT_TRUE(GetMenuState(popup, 1, MF_BYPOSITION) & MF_GRAYED) << "'(' disables";
    EXPECT_TRUE(GetMenuState(popup, 2, MF_BYPOSITION) & MF_SEPARATOR);
    EXPECT_EQ(0, ObjectCheckItem(menu, 1, 1));
    EXPECT_TRUE(GetMenuState(GetSubMenu(GetMenu(win_->hwnd), 0), 0, MF_BYPOSITION) & MF_CHECKED);
    EXPECT_EQ(0, ObjectEnable(menu, 2));
    EXPECT_FALSE(GetMenuState(GetSubMenu(GetMenu(win_->hwnd), 0), 1, MF_BYPOSITION) & MF_GRAYED);
    int32_t values[4] = {};
    ASSERT_EQ(0, EventRegister(menu, kEvClick, values, false, nullptr, 0));
    UINT id = GetMenuItemID(GetSubMenu(GetMenu(win_->hwnd), 0), 3);
    SendMessageA(win_->hwnd, WM_COMMAND, id, 0);
    EventRecord ev = {};
    EventItem items[kEventRegItems];
    uint32_t count = 0;
    ASSERT_TRUE(EventTakeNext(&ev, items, &count));
    EXPECT_EQ(menu->handle, ev.handle);
    EXPECT_EQ(4, ev.value) << "the fourth item";
    EXPECT_EQ(0, ObjectDeactivate(menu));
    EXPECT_EQ(0, GetMenuItemCount(GetMenu(win_->hwnd))) << "taken off the bar";
    ObjectDestroy(menu);
}

TEST_F(ControlsTest, NumberAndDateValues) {
    ObjectRecord* num = Make(kTypeEditNumber, "41");
    ASSERT_NE(nullptr, num);
    EXPECT_EQ(41, Value(num));
    EditNumberOnScroll(num, nullptr, SB_LINEUP, 0);
    EXPECT_EQ(42, Value(num));
    EXPECT_EQ(0, ObjectSetValue(num, 0, -7));
    EXPECT_EQ("-7", Text(num, 0));
    ObjectDestroy(num);

    ObjectRecord* date = Make(kTypeEditDateTime, "20240229");
    ASSERT_NE(nullptr, date);
    EXPECT_EQ("20240229", Text(date, 0));
    EXPECT_EQ(0, ObjectSetText(date, 0, "19991231", 8));
    EXPECT_EQ("19991231", Text(date, 0));
    EXPECT_EQ(kOpNotAvailable, ObjectSetText(date, 0, "2024x", 5)) << "not a date";
    ObjectDestroy(date);
}

// A font is shared by use count: each control that takes one holds exactly one
// use, and the font goes with its last user.
TEST_F(ControlsTest, ControlFontsHoldOneUseEach) {
    auto listed = [](const FontRec* font) {
        for (const FontRec* f = gFontList; f; f = f->next)
            if (f == font) return true;
        return false;
    };
    auto make = [this](const char* spec) {
        CreateRecordReset(&cr_);
        cr_.windowRec = win_;
        cr_.left = 10, cr_.top = 10, cr_.width = 150, cr_.height = 24;
        if (spec) cr_.texts[kPidFont] = CrText{spec, static_cast<uint32_t>(strlen(spec))};
        int32_t code = 0;
        ObjectRecord* rec = ObjectCreate(kTypeButton, &cr_, &code);
        EXPECT_NE(nullptr, rec) << code;
        return rec;
    };
    const char* spec = "FIXED(B,13.7)";
    ObjectRecord* a = make(spec);
    ASSERT_NE(nullptr, a);
    FontRec* font = a->font;
    ASSERT_TRUE(font && listed(font)) << "the control's font is alive after creation";
    EXPECT_EQ(1, font->users) << "one control, one use";
    ObjectRecord* b = make(spec);
    ASSERT_NE(nullptr, b);
    EXPECT_EQ(font, b->font) << "the same text shares the font";
    EXPECT_EQ(2, font->users);
    ObjectDestroy(a);
    ASSERT_TRUE(listed(font)) << "still held by the second control";
    EXPECT_EQ(1, font->users);
    ObjectDestroy(b);
    EXPECT_FALSE(listed(font)) << "freed with its last user";

    // A control without a font of its own takes a use of its window's font.
    FontRec* inherited = win_->font;
    ASSERT_NE(nullptr, inherited);
    uint16_t before = inherited->users;
    ObjectRecord* c = make(nullptr);
    ASSERT_NE(nullptr, c);
    EXPECT_EQ(inherited, c->font);
    EXPECT_EQ(before + 1, inherited->users) << "the inherited font gains the control's use";
    ObjectDestroy(c);
    EXPECT_EQ(before, inherited->users) << "and loses it again";
}

// A SubMenu hung below an item is counted by that item: destroying either side
// first leaves the other whole, and the popup goes with its last user.
TEST_F(ControlsTest, SubMenuOutlivesEitherSide) {
    constexpr uint32_t kPidSubMenu = 283;
    struct Case {
        bool subFirst;
        const char* why;
    };
    const Case cases[] = {
        {true, "the SubMenu destroyed while its item still holds it"},
        {false, "the menu destroyed while the SubMenu is still the server's"},
    };
    for (const Case& c : cases) {
        CreateRecordReset(&cr_);
        cr_.windowRec = win_;
        ObjectRecord* sub = Make(kTypeSubmenu, nullptr, "Sub;One;Two");
        ASSERT_NE(nullptr, sub) << c.why;
        ObjectRecord* menu = Make(kTypeMenu, nullptr, "&File;Open");
        ASSERT_NE(nullptr, menu) << c.why;
        CreateRecordReset(&cr_);
        cr_.windowRec = win_;
        cr_.title = CrText{"More", 4};
        cr_.values[kPidSubMenu] = static_cast<int32_t>(sub->handle);
        cr_.given[kPidSubMenu] = 1;
        int32_t code = 0;
        ObjectRecord* item = MenuItemCreate(0, &cr_, &code);
        ASSERT_NE(nullptr, item) << c.why << " code " << code;
        HMENU popup = GetSubMenu(GetMenu(win_->hwnd), 0);
        ASSERT_NE(nullptr, popup) << c.why;
        HMENU subPopup = GetSubMenu(popup, 1);
        ASSERT_NE(nullptr, subPopup) << c.why << ": the item opens the SubMenu";
        ObjectRecord* first = c.subFirst ? sub : menu;
        ObjectRecord* second = c.subFirst ? menu : sub;
        EXPECT_EQ(0, ObjectDestroy(first)) << c.why;
        EXPECT_TRUE(IsMenu(subPopup)) << c.why << ": the SubMenu's popup stays while one side holds it";
        EXPECT_EQ(2, GetMenuItemCount(subPopup)) << c.why;
        if (!c.subFirst) {
            EXPECT_EQ("One", Text(sub, 1)) << c.why << ": the SubMenu still answers";
        }
        EXPECT_EQ(0, ObjectDestroy(second)) << c.why;
        EXPECT_FALSE(IsMenu(subPopup)) << c.why << ": gone with its last user";
        ObjectDestroy(item);
    }
}

// A form's MenuItem row that follows a menu of the web view goes to the web
// menus' own item maker, not to a native menu made before; without one it is
// refused.
ObjectRecord* gWebMenuSeen;
TEST_F(ControlsTest, MenuItemRowsOfAWebViewMenuGoToItsOwnMaker) {
    CreateRecordReset(&cr_);
    cr_.windowRec = win_;
    ObjectRecord* native = Make(kTypeMenu, nullptr, "&File;Open");
    ASSERT_NE(nullptr, native);
    ObjectRecord* web = ObjectAllocRecord(kKindMenu, sizeof(ObjectRecord), true);
    ASSERT_NE(nullptr, web);
    gMenuMadeLast = web;
    gWebObjectOps.menuItemCreate = [](ObjectRecord* menu, ObjectCreateRecord*, int32_t* code) {
        gWebMenuSeen = menu;
        *code = 0;
        return menu;
    };
    CreateRecordReset(&cr_);
    cr_.title = CrText{"Print", 5};
    int32_t code = -1;
    EXPECT_EQ(web, MenuItemCreate(0, &cr_, &code));
    EXPECT_EQ(web, gWebMenuSeen) << "the web menu's maker was given the menu";
    EXPECT_EQ(1u, MenuItemCount(native)) << "the native menu made before got nothing";
    gWebObjectOps.menuItemCreate = nullptr;
    EXPECT_EQ(nullptr, MenuItemCreate(0, &cr_, &code));
    EXPECT_EQ(kOpNotAvailable, code) << "no web menus: refused";
    gMenuMadeLast = native;
    ObjectFreeRecord(web);
    ObjectDestroy(native);
    EXPECT_EQ(nullptr, gMenuMadeLast) << "a destroyed menu takes no more rows";
}

}  // namespace


