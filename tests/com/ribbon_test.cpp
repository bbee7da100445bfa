// ribbon_test.cpp - the ribbon host under Wine: against Wine's own framework
// (which is created but answers E_NOTIMPL from Initialize on, so no ribbon can
// come to be) and against the tests' fake framework registered in process,
// through which every property, the view's sizes, the pop-up, recent items and
// executed commands are driven.
#include <gtest/gtest.h>
#include <windows.h>

#include <commctrl.h>
#include <propsys.h>

#include <cstring>
#include <string>

#include "com/oleutil.h"
#include "com/ribbon.h"
#include "controls/controls.h"
#include "fakeribbon.h"
#include "objects/crstream.h"
#include "objects/events.h"
#include "objects/guihooks.h"
#include "objects/objcreate.h"
#include "objects/objops.h"
#include "objects/objrecord.h"
#include "objects/objtables.h"
#include "objects/window.h"
#include "session/config.h"
#include "session/session.h"
#include "tests/gui/testwindow.h"

static bool operator==(const RECT& a, const RECT& b) { return EqualRect(&a, &b) != 0; }
static std::ostream& operator<<(std::ostream& o, const RECT& r) {
    return o << "{" << r.left << "," << r.top << "," << r.right << "," << r.bottom << "}";
}

namespace {

constexpr uint32_t kCmdAction = 101, kCmdFont = 102, kCmdRecent = 103, kCmdDecimal = 104;
constexpr int32_t kChildTop = 10;
constexpr int32_t kWindowLeft = 20, kWindowTop = 20;
constexpr uint16_t kListViewId = 7;

class RibbonTestBase : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        static bool started = false;
        if (started) return;
        started = true;
        StartTestRuntime([] {
            gGuiHooks.oleInit = ComOleInit;
            gGuiHooks.oleUninit = ComOleUninit;
            RibbonInstallHooks();
        });
        gClientConfig.serverVersion = kRibbonMethodVersion;
    }
    void MakeWindow() {
        win_ = MakeTestWindow(&cr_, kWindowLeft, kWindowTop);
        ASSERT_NE(nullptr, win_);
        child_ = MakeChild(kTypeButton, kChildTop, "Go");
        ASSERT_NE(nullptr, child_);
    }
    ObjectRecord* MakeChild(uint32_t type, int32_t top, const char* text) {
        CreateRecordReset(&cr_);
        cr_.windowRec = win_;
        cr_.left = 10, cr_.top = top, cr_.width = 150, cr_.height = 24;
        cr_.flags0 |= kCrVisible;
        if (text) cr_.text = CrText{text, static_cast<uint32_t>(strlen(text))};
        int32_t code = 0;
        return ObjectCreate(type, &cr_, &code);
    }
    void SetText(uint32_t pid, const char* text) {
        PropChange req = {};
        req.id = pid;
        req.text = text;
        req.textLength = static_cast<uint32_t>(strlen(text));
        req.value = static_cast<int32_t>(req.textLength);
        EXPECT_EQ(0, WindowSetProp(win_, &req));
    }
    RECT ChildRect() {
        RECT r;
        GetWindowRect(child_->hwnd, &r);
        MapWindowPoints(nullptr, win_->hwnd, reinterpret_cast<POINT*>(&r), 2);
        return r;
    }
    RECT WindowRect() {
        RECT r;
        GetWindowRect(win_->hwnd, &r);
        return r;
    }
    void TearDown() override {
        if (win_) ObjectDestroy(win_);
        win_ = nullptr;
        gClientModeFlags = 0;
    }
    ObjectCreateRecord cr_;
    ObjectRecord* win_ = nullptr;
    ObjectRecord* child_ = nullptr;
};

// ---- Wine's own framework -----------------------------------------------------------------------

class RibbonWineTest : public RibbonTestBase {};

TEST_F(RibbonWineTest, NoRibbonComesToBeAndNothingIsKept) {
    MakeWindow();
    RECT outer = WindowRect(), child = ChildRect();
    struct Case {
        const char* dll;
        const char* why;
    };
    const Case cases[] = {
        {"", "the markup in the program itself"},
        {"ribmarkup.dll", "the markup in a library named by RibDll"},
    };
    for (const Case& c : cases) {
        SetText(kPidRibDll, c.dll);
        SetText(kPidRibName, "QOVRIB");
        EXPECT_EQ(1, RibbonCreate(win_, 1)) << c.why << ": Wine's framework does not initialise";
        EXPECT_EQ(nullptr, RibbonOf(win_)) << c.why;
        EXPECT_EQ(0, RibbonGetHeight(win_)) << c.why;
        EXPECT_EQ(0, gRibbonLiveObjects) << c.why << ": the application object is freed";
        EXPECT_EQ(nullptr, GetModuleHandleA("ribmarkup.dll")) << c.why << ": the library is unloaded again";
        EXPECT_EQ(outer, WindowRect()) << c.why;
        EXPECT_EQ(child, ChildRect()) << c.why << ": the children keep their places";
        EXPECT_EQ(kChildTop, child_->top) << c.why;
    }
    // Reads answer 0 and "0" without a ribbon; writes are ignored.
    MethodCallRec call = {};
    call.method = kWmRibbonGetProp;
    call.argCount = 2;
    call.args[0] = EventItem{kItemInt, 4, kCmdAction, nullptr, 0};
    call.args[1] = EventItem{kItemInt, 4, kUiPkEnabled, nullptr, 0};
    call.argPresent[0] = call.argPresent[1] = 1;
    struct Reply {
        uint32_t resultKind;
        uint32_t type;
        const char* why;
    };
    const Reply replies[] = {
        {kItemInt, kMsgResultInt, "a numeric result: 1129 with 0"},
        {kItemNone, kMsgResultText, "else 1130 with \"0\""},
    };
    for (const Reply& r : replies) {
        ReplyReset();
        call.result.kind = r.resultKind;
        EXPECT_EQ(kNoAnswer, RibbonMethod(win_, &call)) << r.why;
        ASSERT_TRUE(ReplyPending()) << r.why;
        EXPECT_EQ(r.type, WireGetU32(gSendBuf.data + 4, false)) << r.why;
        if (r.type == kMsgResultInt) {
            EXPECT_EQ(0u, WireGetU32(gSendBuf.data + kResIntValue, false)) << r.why;
        }
        else EXPECT_STREQ("0", reinterpret_cast<const char*>(gSendBuf.data + kResText)) << r.why;
    }
    ReplyReset();
    call.method = kWmRibbonSetProp;
    EXPECT_EQ(0, RibbonMethod(win_, &call)) << "a write without a ribbon is ignored";
    EXPECT_FALSE(ReplyPending());
}

// ---- The fake framework ---------------------------------------------------------------------

class RibbonFakeTest : public RibbonTestBase {
protected:
    void SetUp() override {
        FakeReset();
        ASSERT_EQ(S_OK, CoRegisterClassObject(CLSID_UIRibbonFramework, FakeClassFactory(), CLSCTX_INPROC_SERVER,
                                              REGCLS_MULTIPLEUSE, &cookie_));
        MakeWindow();
        SetText(kPidRibName, "QOVRIB");
        rib_ = RibbonOf(win_);
        ASSERT_NE(nullptr, rib_) << "the fake framework loads the markup";
    }
    void TearDown() override {
        RibbonTestBase::TearDown();
        CoRevokeClassObject(cookie_);
        EXPECT_EQ(0, gRibbonLiveObjects) << "every application, handler and item object is freed";
        EXPECT_EQ(0, gFake.liveViews) << "every view is released";
        FakeReset();
    }
    int32_t Number(uint32_t id, uint32_t index, int32_t expectRc = 0) {
        int32_t number = -99;
        const char* text = nullptr;
        EXPECT_EQ(expectRc, RibbonQueryProp(rib_, id, index, &number, &text)) << "index " << index;
        return number;
    }
    std::string Text(uint32_t id, uint32_t index) {
        int32_t number = -99;
        const char* text = nullptr;
        EXPECT_EQ(0, RibbonQueryProp(rib_, id, index, &number, &text)) << "index " << index;
        return text ? text : "<null>";
    }
    DWORD cookie_ = 0;
    RibbonRecord* rib_ = nullptr;
};

TEST_F(RibbonFakeTest, CreationMakesRoomAndDestructionGivesItBack) {
    EXPECT_TRUE(FakeCalled("Initialize"));
    EXPECT_TRUE(FakeCalled("LoadUI QOVRIB")) << "the markup's name reaches the framework";
    EXPECT_TRUE(FakeCalled("OnCreateUICommand 102 9 -> 0x00000000"));
    EXPECT_EQ(146, RibbonGetHeight(win_));
    EXPECT_EQ(kChildTop + 146, child_->top) << "room for 146 pixels was made before the markup loaded";
    EXPECT_EQ(kChildTop + 146, ChildRect().top);
    struct Case {
        uint32_t modeFlags;
        const char* name;
        int32_t top;
        bool ribbon;
        const char* why;
    };
    const Case cases[] = {
        {0, "", kChildTop, false, "an empty RibName gives the height back"},
        {0, "QOVRIB", kChildTop + 146, true, "a new RibName makes room again"},
        {1, "", kChildTop + 146, false, "with client mode bit 0 an empty RibName keeps the height"},
        {1, "QOVRIB", kChildTop + 292, true, "room is made again for the next ribbon"},
        {0, "QOVRIB", kChildTop + 292, true, "a new name: the old height is given back and taken again"},
    };
    for (const Case& c : cases) {
        gFake.calls.clear();
        gClientModeFlags = c.modeFlags;
        bool had = RibbonOf(win_) != nullptr;
        SetText(kPidRibName, c.name);
        EXPECT_EQ(c.ribbon, RibbonOf(win_) != nullptr) << c.why;
        EXPECT_EQ(had, FakeCalled("Destroy")) << c.why << ": an old ribbon is destroyed first";
        EXPECT_EQ(c.top, child_->top) << c.why;
        EXPECT_EQ(c.top, ChildRect().top) << c.why;
    }
}

TEST_F(RibbonFakeTest, MarkupThatDoesNotLoadLeavesNoRibbon) {
    SetText(kPidRibName, "");
    ASSERT_EQ(kChildTop, child_->top);
    struct Case {
        const char* name;
        HRESULT loadResult;
        const char* why;
    };
    const Case cases[] = {
        {"NOSUCH", S_OK, "a markup resource the module lacks"},
        {"QOVRIB", E_FAIL, "a framework that fails to load the markup"},
    };
    for (const Case& c : cases) {
        gFake.loadResult = c.loadResult;
        SetText(kPidRibName, c.name);
        EXPECT_EQ(1, RibbonCreate(win_, 1)) << c.why;
        EXPECT_EQ(nullptr, RibbonOf(win_)) << c.why;
        EXPECT_EQ(kChildTop, child_->top) << c.why << ": the room made is given back";
        EXPECT_EQ(kChildTop, ChildRect().top) << c.why;
        EXPECT_EQ(0, gRibbonLiveObjects) << c.why << ": nothing of the failed ribbon is kept";
    }
    gFake.loadResult = S_OK;
}

TEST_F(RibbonFakeTest, ViewSizesMoveTheChildrenByTheDifference) {
    struct Case {
        UINT32 height;
        int32_t expectHeight;
        const char* why;
    };
    const Case cases[] = {
        {100, 100, "a smaller ribbon moves the children up by 46"},
        {200, 200, "a larger one down by 100"},
        {0, 146, "a height of 0 counts as 146"},
        {146, 146, "the same height moves nothing"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(S_OK, FakeResizeView(c.height)) << c.why;
        EXPECT_EQ(c.expectHeight, RibbonGetHeight(win_)) << c.why;
        EXPECT_EQ(kChildTop + c.expectHeight, child_->top) << c.why;
        EXPECT_EQ(kChildTop + c.expectHeight, ChildRect().top) << c.why;
    }
}

TEST_F(RibbonFakeTest, ViewIsReleasedWhenDestroyed) {
    IUIRibbon* view = RibbonAppView(rib_);
    ASSERT_NE(nullptr, view);
    EXPECT_EQ(2, gFake.viewRefs) << "the fake's own reference and the host's";
    EXPECT_EQ(S_OK, FakeDestroyView());
    EXPECT_EQ(nullptr, RibbonAppView(rib_));
    EXPECT_EQ(0u, RibbonAppHeight(rib_));
    EXPECT_EQ(1, gFake.viewRefs) << "the host gives its reference back on DESTROY";
}

TEST_F(RibbonFakeTest, EveryIndexOfTheTableReadsBackWhatWasWritten) {
    struct Case {
        uint32_t id, index;
        int32_t number;
        const char* text;
        int32_t expectNumber;
        const char* expectText;     // null: no text
        const char* call;           // a call the framework must have seen, or null
        const char* why;
    };
    const Case cases[] = {
        {kCmdAction, kUiPkEnabled, 1, nullptr, 1, nullptr, "SetUICommandProperty 101 1 vt=11", "Enabled"},
        {kCmdAction, kUiPkBooleanValue, 0, nullptr, 0, nullptr, "SetUICommandProperty 101 200 vt=11", "BooleanValue"},
        {kCmdAction, kUiPkSelectedItem, 3, nullptr, 3, nullptr, "SetUICommandProperty 101 104 vt=19",
         "SelectedItem from the framework while none was executed"},
        {kCmdDecimal, kUiPkDecimalValue, 0, "2.75", 2, "2.750000", "SetUICommandProperty 104 201 vt=14",
         "DecimalValue truncated, and as %f"},
        {kCmdDecimal, kUiPkDecimalValue, 9, nullptr, 9, "9.000000", nullptr, "the number when there is no text"},
        {kCmdAction, kUiPkStringValue, 0, "hello", 0, "hello", "SetUICommandProperty 101 202 vt=31", "StringValue"},
        {kCmdAction, kUiPkColor, 255, nullptr, 255, nullptr, "SetUICommandProperty 101 400 vt=19", "Color"},
        {kCmdAction, kUiPkColorType, 2, nullptr, 2, nullptr, nullptr, "ColorType"},
        {kCmdAction, kUiPkColorMode, 1, nullptr, 1, nullptr, nullptr, "ColorMode"},
        {kCmdAction, kUiPkThemeColorsCategoryLabel, 0, "Theme", 0, "Theme", nullptr, "the first colour label"},
        {kCmdAction, kUiPkMoreColorsLabel, 0, "More", 0, "More", nullptr, "the last colour label"},
        {kCmdAction, kUiPkLabel, 0, "Save", 0, nullptr, "InvalidateUICommand 101 4 4", "Label: written, not read"},
        {kCmdAction, kUiPkLabelDescription, 0, "Keeps it", 0, nullptr, "InvalidateUICommand 101 4 2",
         "LabelDescription"},
        {kCmdAction, kUiPkKeytip, 0, "S", 0, nullptr, "InvalidateUICommand 101 4 3", "Keytip"},
        {kCmdAction, kUiPkTooltipDescription, 0, "Tip", 0, nullptr, "InvalidateUICommand 101 4 5",
         "TooltipDescription"},
        {kCmdAction, kUiPkTooltipTitle, 0, "Title", 0, nullptr, "InvalidateUICommand 101 4 6", "TooltipTitle"},
        {kCmdRecent, kUiPkRecentItems, 42, nullptr, 42, nullptr, "InvalidateUICommand 103 4 350", "RecentItems"},
        {0, kUiPkViewable, 1, nullptr, 1, nullptr, "Store Commit", "Viewable in the view's store"},
        {0, kUiPkMinimized, 0, nullptr, 0, nullptr, "Store SetValue 1001", "Minimized"},
        {0, kUiPkQuickAccessToolbarDock, 3, nullptr, 3, nullptr, "Store SetValue 1002", "QuickAccessToolbarDock"},
        {0, kUiPkGlobalBackgroundColor, 0x123456, nullptr, 0x123456, nullptr, "Store SetValue 2000",
         "GlobalBackgroundColor in the framework's store"},
        {0, kUiPkGlobalHighlightColor, 7, nullptr, 7, nullptr, nullptr, "GlobalHighlightColor"},
        {0, kUiPkGlobalTextColor, 9, nullptr, 9, nullptr, nullptr, "GlobalTextColor"},
        {kCmdFont, kUiPkFontSize, 115, nullptr, 115, nullptr, "InvalidateUICommand 102 4 300",
         "Size 115 reads back as 115 (11.5 points)"},
        {kCmdFont, kUiPkFontFamily, 0, "Courier New", 0, "Courier New", nullptr, "Family"},
        {kCmdFont, kUiPkFontBold, 1, nullptr, 1, nullptr, nullptr, "Bold"},
        {kCmdFont, kUiPkFontItalic, 1, nullptr, 1, nullptr, nullptr, "Italic"},
        {kCmdFont, kUiPkFontUnderline, 1, nullptr, 1, nullptr, nullptr, "Underline"},
        {kCmdFont, kUiPkFontStrikethrough, 1, nullptr, 1, nullptr, nullptr, "Strikethrough"},
        {kCmdFont, kUiPkFontVerticalPositioning, 3, nullptr, 3, nullptr, nullptr, "subscript"},
        {kCmdFont, kUiPkFontVerticalPositioning, 2, nullptr, 2, nullptr, nullptr, "superscript"},
        {kCmdFont, kUiPkFontVerticalPositioning, 5, nullptr, 0, nullptr, nullptr, "any other: none"},
        {kCmdFont, kUiPkFontForegroundColor, 255, nullptr, 255, nullptr, nullptr, "ForegroundColor"},
        {kCmdFont, kUiPkFontForegroundColorType, 0, nullptr, 0, nullptr, nullptr, "automatic text colour"},
        {kCmdFont, kUiPkFontBackgroundColor, 0xFF00, nullptr, 0xFF00, nullptr, nullptr, "BackgroundColor"},
        {kCmdFont, kUiPkFontBackgroundColorType, 2, nullptr, 2, nullptr, nullptr, "a back colour is set"},
        {kCmdFont, kUiPkFontBackgroundColorType, 0, nullptr, 0, nullptr, nullptr, "no back colour"},
    };
    for (const Case& c : cases) {
        gFake.calls.clear();
        EXPECT_EQ(0, RibbonApplyProp(rib_, c.id, c.index, c.number, c.text)) << c.why;
        if (c.call) {
            EXPECT_TRUE(FakeCalled(c.call)) << c.why << ": " << c.call;
        }
        int32_t number = -99;
        const char* text = nullptr;
        EXPECT_EQ(0, RibbonQueryProp(rib_, c.id, c.index, &number, &text)) << c.why;
        EXPECT_EQ(c.expectNumber, number) << c.why;
        EXPECT_STREQ(c.expectText, text) << c.why;
    }
    // Refusals: nothing happens and nothing is read.
    struct Refused {
        uint32_t id, index;
        const char* why;
    };
    const Refused refused[] = {
        {kCmdAction, 999, "an index outside the table"},
        {kCmdAction, kUiPkCommandId, "a key the host does not serve"},
        {555, kUiPkEnabled, "a command without a handler"},
        {kCmdAction, kUiPkFontBold, "a font index on a command without font records"},
        {0, kUiPkEnabled, "command id 0 has no handler"},
    };
    for (const Refused& r : refused) {
        gFake.calls.clear();
        EXPECT_EQ(0, RibbonApplyProp(rib_, r.id, r.index, 1, "x")) << r.why;
        EXPECT_TRUE(gFake.calls.empty()) << r.why;
        int32_t number = -99;
        const char* text = "unset";
        EXPECT_EQ(0, RibbonQueryProp(rib_, r.id, r.index, &number, &text)) << r.why;
        EXPECT_EQ(0, number) << r.why;
        EXPECT_EQ(nullptr, text) << r.why;
    }
    // A value the framework does not have is a failing call: 1, nothing read.
    int32_t number = -99;
    const char* text = nullptr;
    EXPECT_EQ(1, RibbonQueryProp(rib_, kCmdRecent, kUiPkEnabled, &number, &text));
    EXPECT_EQ(0, number);
}

TEST_F(RibbonFakeTest, PresetsAreKeptUntilTheCommandIsCreated) {
    constexpr uint32_t kLater = 777;
    EXPECT_EQ(0, RibbonApplyProp(rib_, kLater, kUiPkLabel, 0, "Later"));
    EXPECT_EQ(0, RibbonApplyProp(rib_, kLater, kUiPkLabel, 0, "Later still"));
    EXPECT_EQ(0, RibbonApplyProp(rib_, kLater, kUiPkKeytip, 0, "L"));
    EXPECT_EQ(0, RibbonApplyProp(rib_, kLater, kUiPkRecentItems, kListViewId, nullptr));
    EXPECT_EQ(0, RibbonApplyProp(rib_, kLater, kUiPkTooltipTitle, 0, "Tip"));
    EXPECT_FALSE(FakeCalled("InvalidateUICommand 777 4 4")) << "nothing reaches the framework yet";
    RibbonHandlerInfo info;
    ASSERT_TRUE(RibbonHandlerState(rib_, kLater, &info));
    EXPECT_EQ(0u, info.type) << "a preset handler has no type yet";
    EXPECT_EQ(kListViewId, info.listViewId);
    EXPECT_EQ(S_OK, FakeCreateCommand(kLater, UI_COMMANDTYPE_ACTION));
    ASSERT_TRUE(RibbonHandlerState(rib_, kLater, &info));
    EXPECT_EQ(static_cast<uint32_t>(UI_COMMANDTYPE_ACTION), info.type) << "the preset handler takes the type";
    struct Case {
        uint32_t index;
        const wchar_t* text;
        const char* why;
    };
    const Case cases[] = {
        {kUiPkLabel, L"Later still", "the later preset replaces the earlier"},
        {kUiPkKeytip, L"L", "a key tip preset"},
        {kUiPkLabelDescription, L"<none>", "no preset: no value"},
        {kUiPkTooltipTitle, L"<none>", "tooltips are no presets"},
    };
    for (const Case& c : cases) EXPECT_EQ(std::wstring(c.text), FakeUpdateText(kLater, c.index)) << c.why;
    // From now on writes go to the framework.
    EXPECT_EQ(0, RibbonApplyProp(rib_, kLater, kUiPkLabel, 0, "Now"));
    EXPECT_TRUE(FakeCalled("InvalidateUICommand 777 4 4"));
    EXPECT_EQ(L"Now", FakeUpdateText(kLater, kUiPkLabel));
}

TEST_F(RibbonFakeTest, PendingTextIsSeenOnlyInsideTheFlush) {
    struct Case {
        uint32_t index;
        const char* text;
        const char* why;
    };
    const Case cases[] = {
        {kUiPkLabel, "Print", "a label"},
        {kUiPkTooltipDescription, "Prints the page", "a tooltip takes the pending text"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(0, RibbonApplyProp(rib_, kCmdAction, c.index, 0, c.text)) << c.why;
        std::wstring want(c.text, c.text + strlen(c.text));
        EXPECT_EQ(want, FakeUpdateText(kCmdAction, c.index)) << c.why;
        // Asked again outside a set: no pending text, no preset, no value.
        IUICommandHandler* h = FakeHandler(kCmdAction);
        ASSERT_NE(nullptr, h);
        PROPVARIANT fresh;
        PropVariantInit(&fresh);
        EXPECT_EQ(S_OK, h->UpdateProperty(kCmdAction, UiPropertyKey(c.index, VT_LPWSTR), nullptr, &fresh));
        EXPECT_EQ(VT_EMPTY, fresh.vt) << c.why;
    }
    PROPVARIANT fresh;
    PropVariantInit(&fresh);
    IUICommandHandler* h = FakeHandler(kCmdAction);
    EXPECT_EQ(S_OK, h->UpdateProperty(kCmdAction, UiPropertyKey(kUiPkContextAvailable, VT_UI4), nullptr, &fresh));
    EXPECT_EQ(VT_EMPTY, fresh.vt) << "ContextAvailable answers S_OK with no value";
}

TEST_F(RibbonFakeTest, FontTextSetsTheFieldsItNames) {
    // A known start: vertical position superscript, back colour 0x00FF00 with type 2.
    RibbonApplyProp(rib_, kCmdFont, kUiPkFontVerticalPositioning, 2, nullptr);
    RibbonApplyProp(rib_, kCmdFont, kUiPkFontBackgroundColor, 0xFF00, nullptr);
    RibbonApplyProp(rib_, kCmdFont, kUiPkFontItalic, 1, nullptr);
    struct Case {
        const char* text;
        const char* expect;
        int32_t rc;
        const char* why;
    };
    const Case cases[] = {
        {"Arial,120,1,0,0,0,,255,,2", "Arial,120,1,0,0,0,2,255,65280,2,2", 0,
         "vertical position and back colour left alone, no eleventh field"},
        {"Arial,120,1,0,0,0,,255,,2,", "Arial,120,1,0,0,0,2,255,65280,2,0", 0,
         "a trailing comma sets the background type to 0"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdef,90,0", "Arial,120,1,0,0,0,2,255,65280,2,0", 1,
         "a face of 32 characters changes nothing"},
        {"", "Arial,120,1,0,0,0,2,255,65280,2,0", 0, "an empty text does nothing"},
        {",100", "Arial,100,1,0,0,0,2,255,65280,2,0", 0, "an empty face keeps the face"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.rc, RibbonApplyProp(rib_, kCmdFont, kUiPkFontProperties, 0, c.text)) << c.why;
        EXPECT_EQ(c.expect, Text(kCmdFont, kUiPkFontProperties)) << c.why;
    }
    EXPECT_EQ(100, Number(kCmdFont, kUiPkFontSize));
    EXPECT_EQ(1, RibbonApplyProp(rib_, kCmdFont, kUiPkFontFamily, 0, "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdef"))
        << "a face of 32 characters is refused";
    EXPECT_EQ("Arial", Text(kCmdFont, kUiPkFontFamily));
    // Inside a set the framework is handed the current font in its store.
    IPropertyStore* store = FakeFontStore(kCmdFont);
    ASSERT_NE(nullptr, store);
    PROPVARIANT v;
    PropVariantInit(&v);
    ASSERT_EQ(S_OK, store->GetValue(UiPropertyKey(kUiPkFontFamily, VT_LPWSTR), &v));
    EXPECT_STREQ(L"Arial", PvString(&v));
    PropVariantClear(&v);
}

TEST_F(RibbonFakeTest, PopupOpensBelowTheRibbon) {
    struct Case {
        int32_t x, y;
        UINT32 viewHeight;
        POINT client;
        const char* why;
    };
    const Case cases[] = {
        {0, 0, 146, {0, 146}, "left edge, just below the ribbon"},
        {0, 0, 0, {0, 144}, "a view answering 0 counts as 144"},
        {20, 30, 146, {20, 30}, "a given point in client coordinates"},
    };
    for (const Case& c : cases) {
        gFake.calls.clear();
        gFake.viewHeight = c.viewHeight;
        EXPECT_EQ(0, RibbonPopupContext(rib_, win_->hwnd, 900, c.x, c.y)) << c.why;
        POINT screen = c.client;
        ClientToScreen(win_->hwnd, &screen);
        EXPECT_TRUE(FakeCalled("GetView 900")) << c.why;
        std::string want = "ShowAtLocation " + std::to_string(screen.x) + " " + std::to_string(screen.y);
        EXPECT_TRUE(FakeCalled(want)) << c.why << ": " << want;
    }
    EXPECT_EQ(0, RibbonApplyModes(rib_, 3));
    EXPECT_TRUE(FakeCalled("SetModes 3"));
}

TEST_F(RibbonFakeTest, RecentItemsComeFromTheListView) {
    ObjectRecord* list = MakeChild(kTypeListview, 60, "Name\tPath");
    ASSERT_NE(nullptr, list);
    list->objectId = kListViewId;
    std::string longName(300, 'n');
    std::string rows[] = {"first\tC:\\one", "second\tC:\\two", longName + "\tC:\\three"};
    for (const std::string& r : rows)
        ASSERT_EQ(0, ObjectInsertItem(list, -1, r.c_str(), static_cast<uint32_t>(r.size())));
    EXPECT_EQ(0, RibbonApplyProp(rib_, kCmdRecent, kUiPkRecentItems, kListViewId, nullptr));
    const PROPVARIANT* v = FakeUpdate(kCmdRecent, kUiPkRecentItems);
    ASSERT_NE(nullptr, v);
    ASSERT_EQ(VT_ARRAY | VT_UNKNOWN, v->vt);
    LONG lower = 0, upper = -1;
    SafeArrayGetLBound(v->parray, 1, &lower);
    SafeArrayGetUBound(v->parray, 1, &upper);
    EXPECT_EQ(3, upper - lower + 1);
    struct Case {
        LONG row;
        std::wstring label, description;
        const char* why;
    };
    const Case cases[] = {
        {0, L"first", L"C:\\one", "column 0 is the label, column 1 the description"},
        {1, L"second", L"C:\\two", "in row order"},
        {2, std::wstring(kRibbonTextMax, L'n'), L"C:\\three", "labels are cut to 255 units"},
    };
    for (const Case& c : cases) {
        IUnknown* unknown = nullptr;
        ASSERT_EQ(S_OK, SafeArrayGetElement(v->parray, const_cast<LONG*>(&c.row), &unknown)) << c.why;
        IUISimplePropertySet* set = nullptr;
        ASSERT_EQ(S_OK, unknown->QueryInterface(IID_IUISimplePropertySet, reinterpret_cast<void**>(&set)));
        PROPVARIANT p;
        PropVariantInit(&p);
        EXPECT_EQ(S_OK, set->GetValue(UiPropertyKey(kUiPkLabel, VT_LPWSTR), &p)) << c.why;
        EXPECT_EQ(c.label, PvString(&p)) << c.why;
        PropVariantClear(&p);
        EXPECT_EQ(S_OK, set->GetValue(UiPropertyKey(kUiPkLabelDescription, VT_LPWSTR), &p)) << c.why;
        EXPECT_EQ(c.description, PvString(&p)) << c.why;
        PropVariantClear(&p);
        set->Release();
        unknown->Release();
    }
    // Each key of an item's property set.
    IUnknown* unknown = nullptr;
    LONG first = 0;
    ASSERT_EQ(S_OK, SafeArrayGetElement(v->parray, &first, &unknown));
    IUISimplePropertySet* set = nullptr;
    ASSERT_EQ(S_OK, unknown->QueryInterface(IID_IUISimplePropertySet, reinterpret_cast<void**>(&set)));
    struct KeyCase {
        uint32_t index;
        VARTYPE type;
        HRESULT hr;
        VARTYPE vt;
        uint32_t value;
        const char* why;
    };
    const KeyCase keys[] = {
        {kUiPkItemImage, VT_UNKNOWN, S_FALSE, VT_EMPTY, 0, "no image: S_FALSE"},
        {kUiPkCategoryId, VT_UI4, S_OK, VT_UI4, 0xFFFFFFFFu, "category -1"},
        {kUiPkCommandId, VT_UI4, S_FALSE, VT_EMPTY, 0, "command id -1: S_FALSE"},
        {kUiPkCommandType, VT_UI4, S_OK, VT_UI4, 0, "command type 0"},
        {kUiPkEnabled, VT_BOOL, E_FAIL, VT_EMPTY, 0, "any other key: E_FAIL"},
    };
    for (const KeyCase& k : keys) {
        PROPVARIANT p;
        PropVariantInit(&p);
        EXPECT_EQ(k.hr, set->GetValue(UiPropertyKey(k.index, k.type), &p)) << k.why;
        EXPECT_EQ(k.vt, p.vt) << k.why;
        if (k.vt == VT_UI4) {
            EXPECT_EQ(k.value, p.ulVal) << k.why;
        }
        PropVariantClear(&p);
    }
    set->Release();
    unknown->Release();
    // Without that list view there is no value.
    ObjectDestroy(list);
    for (auto& u : gFake.updates) PropVariantClear(&u.second);
    gFake.updates.clear();
    EXPECT_EQ(0, RibbonApplyProp(rib_, kCmdRecent, kUiPkRecentItems, kListViewId, nullptr));
    EXPECT_EQ(nullptr, FakeUpdate(kCmdRecent, kUiPkRecentItems));
}

TEST_F(RibbonFakeTest, LongFrameworkTextsAreCutToTheResultArea) {
    std::wstring huge(50000, L'x');
    PROPVARIANT v;
    PropVariantInit(&v);
    ASSERT_TRUE(PvSetString(&v, huge.c_str()));
    FakeSetCommandValue(kCmdAction, kUiPkStringValue, v);
    FakeSetCommandValue(kCmdAction, kUiPkThemeColorsCategoryLabel, v);
    PropVariantClear(&v);
    for (uint32_t index : {static_cast<uint32_t>(kUiPkStringValue), static_cast<uint32_t>(kUiPkThemeColorsCategoryLabel)}) {
        std::string text = Text(kCmdAction, index);
        EXPECT_EQ(static_cast<size_t>(kRibbonResultSize - 1), text.size()) << "index " << index;
        EXPECT_EQ(std::string(kRibbonResultSize - 1, 'x'), text) << "index " << index;
    }
}

// A property set that answers one changed-properties store, as the framework
// hands to Execute after a font change.
class ChangedProps final : public IUISimplePropertySet {
public:
    explicit ChangedProps(IPropertyStore* s) : store(s) {}
    STDMETHODIMP QueryInterface(REFIID, void** out) override { return *out = nullptr, E_NOINTERFACE; }
    STDMETHODIMP_(ULONG) AddRef() override { return 1; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP GetValue(REFPROPERTYKEY key, PROPVARIANT* value) override {
        if (UiPropertyIndexOf(key) != kUiPkFontChangedProperties) return E_FAIL;
        PvSetUnknown(value, store);
        return S_OK;
    }
    IPropertyStore* store;
};

IPropertyStore* MemoryStore() {
    IPropertyStore* s = nullptr;
    PSCreateMemoryPropertyStore(IID_IPropertyStore, reinterpret_cast<void**>(&s));
    return s;
}

TEST_F(RibbonFakeTest, ExecutePostsTheClickAndMergesFontChanges) {
    struct Case {
        bool registered;
        uint32_t events;
        const char* why;
    };
    const Case cases[] = {
        {false, 0, "no click event registered: nothing is sent"},
        {true, 1, "a registered click event carries the command id"},
    };
    for (const Case& c : cases) {
        if (c.registered) {
            const int32_t values[4] = {};
            ASSERT_EQ(0, EventRegister(win_, kRibbonClickEvent, values, false, nullptr, 0));
        }
        uint32_t before = EventQueueCount();
        EXPECT_EQ(S_OK, FakeExecute(kCmdAction, UI_EXECUTIONVERB_PREVIEW, nullptr, nullptr, nullptr));
        EXPECT_EQ(before, EventQueueCount()) << "a preview posts nothing";
        EXPECT_EQ(S_OK, FakeExecute(kCmdAction, UI_EXECUTIONVERB_EXECUTE, nullptr, nullptr, nullptr)) << c.why;
        EXPECT_EQ(before + c.events, EventQueueCount()) << c.why;
        if (!c.events) continue;
        EventRecord ev;
        EventItem items[8];
        uint32_t count = 0;
        ASSERT_TRUE(EventTakeNext(&ev, items, &count));
        EXPECT_EQ(static_cast<int32_t>(kRibbonClickEvent), ev.eventId);
        EXPECT_EQ(static_cast<int32_t>(kCmdAction), ev.value);
        EXPECT_EQ(kRibbonClickKind, ev.kind);
        EXPECT_EQ(kRibbonClickModifiers, ev.modifiers);
    }
    // The selected item of an execution is kept and read back first.
    PROPVARIANT sel;
    PropVariantInit(&sel);
    PvSetUInt32(&sel, 5);
    PROPERTYKEY selKey = UiPropertyKey(kUiPkSelectedItem, VT_UI4);
    EXPECT_EQ(S_OK, FakeExecute(kCmdAction, UI_EXECUTIONVERB_EXECUTE, &selKey, &sel, nullptr));
    EXPECT_EQ(5, Number(kCmdAction, kUiPkSelectedItem));
    while (EventQueueCount()) {
        EventRecord ev;
        EventItem items[8];
        uint32_t count = 0;
        EventTakeNext(&ev, items, &count);
    }
    EventUnregister(win_, kRibbonClickEvent);
    // Font changes reach both records.
    IPropertyStore* changed = MemoryStore();
    ASSERT_NE(nullptr, changed);
    PROPVARIANT p;
    PropVariantInit(&p);
    PvSetUInt32(&p, UI_FONTPROPERTIES_SET);
    changed->SetValue(UiPropertyKey(kUiPkFontBold, VT_UI4), p);
    PvSetDecimal(&p, 14.0);
    changed->SetValue(UiPropertyKey(kUiPkFontSize, VT_DECIMAL), p);
    ChangedProps props(changed);
    EXPECT_EQ(S_OK, FakeExecute(kCmdFont, UI_EXECUTIONVERB_EXECUTE, nullptr, nullptr, &props));
    RibbonHandlerInfo info;
    ASSERT_TRUE(RibbonHandlerState(rib_, kCmdFont, &info));
    for (const CHARFORMAT2A* cf : {info.lastChange, info.current}) {
        EXPECT_TRUE(cf->dwMask & CFM_BOLD);
        EXPECT_TRUE(cf->dwEffects & CFE_BOLD);
        EXPECT_EQ(280, cf->yHeight) << "14 points are 280 twips";
    }
    changed->Release();
}

TEST_F(RibbonFakeTest, ApplicationRefusesWhatItDoesNotServe) {
    IUIApplication* app = FakeApplication();
    ASSERT_NE(nullptr, app);
    IUnknown* view = RibbonAppView(rib_);
    IUICommandHandler* h = nullptr;
    void* any = nullptr;
    struct Case {
        HRESULT got, want;
        const char* why;
    };
    const Case cases[] = {
        {app->OnViewChanged(0, 2, view, UI_VIEWVERB_SIZE, 0), E_NOTIMPL, "a view other than the ribbon"},
        {app->OnViewChanged(0, UI_VIEWTYPE_RIBBON, view, UI_VIEWVERB_ERROR, 0), S_OK, "any other verb: nothing"},
        {app->OnCreateUICommand(kCmdAction, UI_COMMANDTYPE_ACTION, nullptr), E_POINTER, "no out pointer"},
        {app->OnDestroyUICommand(kCmdAction, UI_COMMANDTYPE_ACTION, h), E_NOTIMPL, "destroying is not served"},
        {app->QueryInterface(IID_IUIFramework, &any), E_NOINTERFACE, "the application is no framework"},
    };
    for (const Case& c : cases) EXPECT_EQ(c.want, c.got) << c.why;
    EXPECT_EQ(nullptr, any);
    EXPECT_EQ(146, RibbonGetHeight(win_)) << "the refused calls changed nothing";
}

TEST_F(RibbonFakeTest, WindowMethodsReachTheRibbon) {
    auto intArg = [](int64_t v) { return EventItem{kItemInt, 4, static_cast<uint64_t>(v), nullptr, 0}; };
    const char hello[] = "hello";
    EventItem textArg = {kItemText, 5, 0, hello, 0};
    struct Case {
        uint32_t method;
        uint32_t version;
        uint8_t noCheck;
        EventItem args[3];
        uint32_t argCount;
        int32_t rc;
        const char* call;
        const char* why;
    };
    const Case cases[] = {
        {kWmRibbonSetProp, 9600, 0, {intArg(kCmdAction), intArg(kUiPkStringValue), textArg}, 3, 0,
         "SetUICommandProperty 101 202 vt=31", "RibbonSetProp with a text Value"},
        {kWmRibbonSetModes, 9600, 0, {intArg(5)}, 1, 0, "SetModes 5", "RibbonSetModes"},
        {kWmRibbonShowContext, 9600, 0, {intArg(901), intArg(0), intArg(0)}, 3, 0, "GetView 901",
         "RibbonShowContext"},
        {kWmRibbonSetModes, 9599, 0, {intArg(6)}, 1, kErrNoMethod, nullptr, "before server version 9600"},
        {kWmRibbonSetModes, 9599, 1, {intArg(7)}, 1, 0, "SetModes 7", "the no-check byte skips the version"},
    };
    for (const Case& c : cases) {
        gFake.calls.clear();
        gClientConfig.serverVersion = c.version;
        MethodCallRec call = {};
        call.method = c.method;
        call.noCheck = c.noCheck;
        call.argCount = c.argCount;
        for (uint32_t i = 0; i < c.argCount; ++i) {
            call.args[i] = c.args[i];
            call.argPresent[i] = 1;
        }
        EXPECT_EQ(c.rc, RibbonMethod(win_, &call)) << c.why;
        if (c.call) {
            EXPECT_TRUE(FakeCalled(c.call)) << c.why << ": " << c.call;
        } else {
            EXPECT_TRUE(gFake.calls.empty()) << c.why;
        }
    }
    gClientConfig.serverVersion = kRibbonMethodVersion;
    // RibbonGetProp answers the text just written.
    MethodCallRec get = {};
    get.method = kWmRibbonGetProp;
    get.argCount = 2;
    get.args[0] = intArg(kCmdAction);
    get.args[1] = intArg(kUiPkStringValue);
    get.argPresent[0] = get.argPresent[1] = 1;
    ReplyReset();
    EXPECT_EQ(kNoAnswer, RibbonMethod(win_, &get));
    ASSERT_TRUE(ReplyPending());
    EXPECT_EQ(static_cast<uint32_t>(kMsgResultText), WireGetU32(gSendBuf.data + 4, false));
    EXPECT_STREQ("hello", reinterpret_cast<const char*>(gSendBuf.data + kResText));
    ReplyReset();
}

TEST(RibbonFontStore, CharFormatsGoThroughTheStoreBothWays) {
    OleInitialize(nullptr);
    struct Case {
        DWORD mask, effects;
        LONG height;
        COLORREF text, back;
        const char* face;
        const char* why;
    };
    const Case cases[] = {
        {CFM_BOLD | CFM_ITALIC | CFM_FACE | CFM_SIZE, CFE_BOLD, 240, 0, 0, "Arial", "bold, not italic, 12 points"},
        {CFM_UNDERLINE | CFM_STRIKEOUT | CFM_SUBSCRIPT | CFM_SUPERSCRIPT, CFE_UNDERLINE | CFE_SUBSCRIPT, 0, 0, 0,
         "", "underline and subscript"},
        {CFM_SUBSCRIPT | CFM_SUPERSCRIPT, CFE_SUPERSCRIPT, 0, 0, 0, "", "superscript"},
        {CFM_COLOR | CFM_BACKCOLOR, 0, 0, RGB(255, 0, 0), RGB(0, 0, 255), "", "text and back colour"},
        {CFM_COLOR | CFM_BACKCOLOR, CFE_AUTOCOLOR | CFE_AUTOBACKCOLOR, 0, 0, 0, "", "automatic colours"},
    };
    for (const Case& c : cases) {
        CHARFORMAT2A in = {};
        in.cbSize = sizeof in;
        in.dwMask = c.mask;
        in.dwEffects = c.effects;
        in.yHeight = c.height;
        in.crTextColor = c.text;
        in.crBackColor = c.back;
        strcpy(in.szFaceName, c.face);
        IPropertyStore* store = MemoryStore();
        ASSERT_NE(nullptr, store);
        RibbonCharFormatToFont(&in, store);
        CHARFORMAT2A out = {};
        out.cbSize = sizeof out;
        RibbonFontToCharFormat(store, &out);
        const DWORD kChecked = CFM_BOLD | CFM_ITALIC | CFM_UNDERLINE | CFM_STRIKEOUT | CFM_SUBSCRIPT |
                               CFM_SUPERSCRIPT | CFM_FACE | CFM_SIZE;
        EXPECT_EQ(c.mask & kChecked, out.dwMask & kChecked) << c.why;
        const DWORD kEffects = CFE_BOLD | CFE_ITALIC | CFE_UNDERLINE | CFE_STRIKEOUT | CFE_SUBSCRIPT |
                               CFE_SUPERSCRIPT | CFE_AUTOCOLOR | CFE_AUTOBACKCOLOR;
        // No back colour comes back as the automatic back colour (background type 0).
        DWORD want = c.effects & kEffects;
        if (!(c.mask & CFM_BACKCOLOR)) want |= CFE_AUTOBACKCOLOR;
        EXPECT_EQ(want, out.dwEffects & kEffects) << c.why;
        EXPECT_EQ(c.height, out.yHeight) << c.why;
        EXPECT_STREQ(c.face, out.szFaceName) << c.why;
        if ((c.mask & CFM_COLOR) && !(c.effects & CFE_AUTOCOLOR)) {
            EXPECT_EQ(c.text, out.crTextColor) << c.why;
        }
        if ((c.mask & CFM_BACKCOLOR) && !(c.effects & CFE_AUTOBACKCOLOR)) {
            EXPECT_EQ(c.back, out.crBackColor) << c.why;
        }
        store->Release();
    }
}

}  // namespace
