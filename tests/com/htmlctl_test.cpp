// htmlctl_test.cpp - the native HTML control in a window with the tests' fake
// browser registered in process: loads replace their site without leaking
// one, URLs with "!" read back as given, the stored text is never rewritten,
// long texts are cut to the result area, code pages reach the browser's
// BSTRs, the style rule carries the background colour, editing keys become
// commands, and the owner steps keep the focused element id to 31 characters.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>

#include "com/core/htmlrules.h"
#include "com/htmlctl.h"
#include "com/htmlpanel.h"
#include "com/oleutil.h"
#include "fakehtml.h"
#include "objects/crstream.h"
#include "objects/focus.h"
#include "objects/guihooks.h"
#include "objects/objcreate.h"
#include "objects/objops.h"
#include "objects/objrecord.h"
#include "objects/pump.h"
#include "objects/window.h"
#include "session/config.h"
#include "session/session.h"
#include "tests/gui/testwindow.h"

namespace {

constexpr int32_t kWindowLeft = 20, kWindowTop = 20;

class HtmlControlTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        static bool started = false;
        if (started) return;
        started = true;
        GuiInstallHooks();
        gGuiHooks.oleInit = ComOleInit;
        gGuiHooks.oleUninit = ComOleUninit;
        HtmlControlInstall();
        RuntimeStartup();
        ASSERT_NE(nullptr, CreateTheMainWindow(GetModuleHandleA(nullptr)));
        // The fake browser's class is registered through COM before any
        // control would start OLE.
        ASSERT_TRUE(RuntimeOleStart());
        ASSERT_EQ(FakeHtmlRegister(), S_OK);
        gClientConfig.serverVersion = 10500;
    }
    void SetUp() override {
        FakeHtmlReset("complete");
        win_ = MakeTestWindow(&cr_, kWindowLeft, kWindowTop);
        ASSERT_NE(nullptr, win_);
    }
    void TearDown() override {
        if (win_) ObjectDestroy(win_);
        win_ = nullptr;
        EXPECT_EQ(HtmlPanelLiveSites(), 0) << "every site freed with its control";
        EXPECT_EQ(FakeHtmlLiveObjects(), 0) << "every browser released";
    }
    HtmlControlRecord* Make(const char* html, int32_t codePage = 0) {
        CreateRecordReset(&cr_);
        cr_.windowRec = win_;
        cr_.windowResolved = true;
        cr_.left = 10, cr_.top = 10, cr_.width = 200, cr_.height = 100;
        cr_.flags0 |= kCrVisible;
        if (html) cr_.innerHtml = CrText{html, static_cast<uint32_t>(strlen(html))};
        cr_.values[kPidCodePage] = codePage;
        cr_.given[kPidCodePage] = 1;
        int32_t code = 0;
        ObjectRecord* rec = ObjectCreate(kTypeHTMLControl, &cr_, &code);
        EXPECT_NE(rec, nullptr) << code;
        return reinterpret_cast<HtmlControlRecord*>(rec);
    }
    int32_t SetText(HtmlControlRecord* h, uint32_t id, const std::string& text) {
        PropChange req = {};
        req.id = id;
        req.text = text.data();
        req.textLength = static_cast<uint32_t>(text.size());
        req.value = static_cast<int32_t>(text.size());
        return ObjectOpsOf(&h->hdr)->setProp(&h->hdr, &req);
    }
    std::string InnerHtml(HtmlControlRecord* h) {
        ObjectOpsOf(&h->hdr)->getProp(&h->hdr, kPidInnerHtml);
        return gTextBuf;
    }
    ObjectCreateRecord cr_;
    ObjectRecord* win_ = nullptr;
};

TEST_F(HtmlControlTest, LoadsReplaceTheirSiteWithoutLeaking) {
    HtmlControlRecord* h = Make("<p>one</p>");
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(FakeHtmlWriteCount(), 1) << "the page is loaded at creation";
    for (const char* text : {"<p>two</p>", "<p>three</p>", "<p>four</p>"}) EXPECT_EQ(SetText(h, kPidInnerHtml, text), 0);
    EXPECT_EQ(HtmlPanelLiveSites(), 1) << "each load releases the old site";
    EXPECT_EQ(FakeHtmlLiveObjects(), 1);
    EXPECT_EQ(InnerHtml(h), "<p>four</p>");
    EXPECT_EQ(SetText(h, kPidInnerHtml, ""), 0);
    EXPECT_EQ(h->site, nullptr) << "an empty text leaves no page";
    EXPECT_EQ(HtmlPanelLiveSites(), 0);
}

TEST_F(HtmlControlTest, UrlsAndTheStoredText) {
    HtmlControlRecord* h = Make(nullptr);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(h->site, nullptr) << "no text, no page";
    SetText(h, kPidInnerHtml, "!http://example/a");
    EXPECT_EQ(std::wstring(FakeHtmlLastNavigate()), L"http://example/a") << "navigated without the !";
    EXPECT_EQ(InnerHtml(h), "!http://example/a") << "read back with the !";
    EXPECT_EQ(FakeHtmlWriteCount(), 0) << "a URL is never written";
    // A URL holding a NUL names no page: cut there, it would show
    // http://example/c. Refused before anything changes, by the property (-5)
    // and by the method (2, also with Flags 2).
    const std::string cut("!http://example/c\0x", 19);
    EXPECT_EQ(SetText(h, kPidInnerHtml, cut), kOpNotAvailable) << "the property";
    MethodCallRec call = {};
    call.objectType = kTypeHTMLControl;
    call.method = 1;
    call.result.kind = kItemInt;
    MethodCallArgs(&call, cut.c_str(), std::initializer_list<int32_t>{0});
    call.args[0].size = static_cast<uint32_t>(cut.size());
    EXPECT_EQ(InvokeForReply(&h->hdr, &call), 2) << "the method";
    call.args[0].data = cut.c_str() + 1;
    call.args[0].size = static_cast<uint32_t>(cut.size() - 1);
    call.args[1].value = kHtmlLoadUrl;
    EXPECT_EQ(InvokeForReply(&h->hdr, &call), 2) << "the method with Flags 2";
    EXPECT_EQ(std::wstring(FakeHtmlLastNavigate()), L"http://example/a") << "the page as it was";
    EXPECT_EQ(InnerHtml(h), "!http://example/a") << "and its InnerHtml";

    EXPECT_EQ(HtmlControlLoadPage(h, "http://example/b", kHtmlLoadHook | kHtmlLoadUrl, true), 0);
    EXPECT_EQ(InnerHtml(h), "") << "flag 2 leaves InnerHtml empty";

    const std::string page = "<!-- QOVWIN<b>x</b>--><style>\x7f";
    h->hdr.bgColor = 0x0000FF;
    h->codePage = 100;
    SetText(h, kPidInnerHtml, page);
    EXPECT_EQ(InnerHtml(h), page) << "the stored text keeps its markers and 127";
    std::wstring written = FakeHtmlLastWrite();
    EXPECT_EQ(written.substr(0, 11), std::wstring(11, L' ')) << "the marker became blanks in what was written";
    EXPECT_NE(written.find(L"background-color: #ff0000;"), std::wstring::npos) << "red as #ff0000";
    EXPECT_EQ(written.back(), L' ') << "127 became a blank for the ANSI code page";
}

TEST_F(HtmlControlTest, LongTextsAreCutToTheResultArea) {
    HtmlControlRecord* h = Make("<p>x</p>");
    ASSERT_NE(h, nullptr);
    std::string big = "<p>" + std::string(50000, 'y') + "</p>";
    SetText(h, kPidInnerHtml, big);
    EXPECT_EQ(InnerHtml(h), big.substr(0, kTextBufSize - 1)) << "40959 bytes and the NUL, never past the area";
}

TEST_F(HtmlControlTest, CodePagesReachTheBrowser) {
    struct Case { int32_t codePage; const char* text; const wchar_t* want; const char* why; };
    const Case kCases[] = {
        {0, "\xc3\xa9\x7f", L"\x00e9\x007f", "0 is UTF-8; 127 stays"},
        {1252, "\xe9\x80\x7f", L"\x00e9\x20ac\x007f", "an explicit code page; 127 stays"},
        {100, "a\x7f", L"a ", "the ANSI code page; 127 becomes a blank"},
    };
    for (const Case& c : kCases) {
        HtmlControlRecord* h = Make(c.text, c.codePage);
        ASSERT_NE(h, nullptr);
        EXPECT_EQ(std::wstring(FakeHtmlLastWrite()), std::wstring(c.want)) << c.why;
        ObjectDestroy(&h->hdr);
    }
}

TEST_F(HtmlControlTest, EditingKeysBecomeCommands) {
    HtmlControlRecord* h = Make("<p>x</p>");
    ASSERT_NE(h, nullptr);
    SetForegroundWindow(win_->hwnd);
    SetFocus(h->hdr.hwnd);
    ASSERT_EQ(GetFocusObject(), &h->hdr);
    struct Case { UINT msg; WPARAM key; const wchar_t* want; };
    const Case kCases[] = {
        {WM_KEYDOWN, VK_DELETE, L"Delete"}, {WM_CHAR, 1, L"SelectAll"}, {WM_CHAR, 3, L"Copy"},
        {WM_CHAR, 22, L"Paste"},           {WM_CHAR, 24, L"Cut"},       {WM_CHAR, 26, L"Undo"},
    };
    for (const Case& c : kCases) {
        MSG m = {};
        m.hwnd = h->hdr.hwnd;
        m.message = c.msg;
        m.wParam = c.key;
        EXPECT_TRUE(KeyPreTranslate(&m)) << c.want;
        EXPECT_EQ(std::wstring(FakeHtmlLastExec()), std::wstring(c.want));
    }
}

TEST_F(HtmlControlTest, OwnerStepsAndMenus) {
    HtmlControlRecord* h = Make("<input id='a'>");
    ASSERT_NE(h, nullptr);
    std::string forty(40, 'f');
    HtmlControlOnTabFocus(h->hdr.hwnd, 7, forty.c_str());
    EXPECT_EQ(std::string(h->focusId), forty.substr(0, 31)) << "at most 31 characters";
    EXPECT_EQ(h->tabId, 7);
    EXPECT_EQ(HtmlControlMenuAllowed(h->hdr.hwnd), 1) << "by default the browser's menu is cancelled";
    h->menuFlags = 1;
    EXPECT_EQ(HtmlControlMenuAllowed(h->hdr.hwnd), 0) << "ContextMenu 1 lets it show";
    EXPECT_EQ(HtmlControlMenuAllowed(win_->hwnd), 1) << "a window of another kind";
    HtmlControlOnFocusChange(h->hdr.hwnd, "a", false);
    EXPECT_EQ(std::string(h->focusId), "a");
    EXPECT_EQ(FakeHtmlHideFocus(FakeHtmlFind("a")), 0);
    HtmlControlOnFocusChange(h->hdr.hwnd, "a", true);
    EXPECT_EQ(FakeHtmlHideFocus(FakeHtmlFind("a")), 1) << "leaving hides the focus rectangles";
}

TEST_F(HtmlControlTest, ScrollBarsAndBorders) {
    HtmlControlRecord* h = Make("<p>x</p>");
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(h->scrollBar, 3) << "the default hides the scroll bars";
    EXPECT_EQ(h->bdrStyle, 1);
    struct Case { int32_t given; uint8_t want; };
    for (const Case& c : {Case{0, 3}, Case{5, 3}, Case{1, 1}, Case{4, 4}}) {
        PropChange req = {};
        req.id = kPidScrollBar;
        req.value = c.given;
        ObjectOpsOf(&h->hdr)->setProp(&h->hdr, &req);
        EXPECT_EQ(h->scrollBar, c.want) << c.given;
    }
    PropChange req = {};
    req.id = 208;
    req.value = 3;
    ObjectOpsOf(&h->hdr)->setProp(&h->hdr, &req);
    EXPECT_NE(GetWindowLongA(h->hdr.hwnd, GWL_STYLE) & WS_BORDER, 0);
    EXPECT_NE(GetWindowLongA(h->hdr.hwnd, GWL_EXSTYLE) & WS_EX_CLIENTEDGE, 0);
}

TEST_F(HtmlControlTest, MethodVersions) {
    struct Case { uint32_t version, method; bool known; const char* why; };
    const Case kCases[] = {
        {10000, 1, false, "the methods begin with 10001"},
        {10001, 1, true, "InnerHtml"},
        {10001, 8, true, "MakePict"},
        {10100, 9, false, "ContextMenu comes with 10200"},
        {10200, 9, true, "ContextMenu"},
        {10200, 10, false, "the web-view methods come with 10500"},
        {10500, 12, true, "BindAction is in the table (answered -37 natively)"},
        {10500, 13, false, "no method 13"},
        {10500, 0, false, "no method 0"},
    };
    MethodCallRec call = {};
    for (const Case& c : kCases) {
        gClientConfig.serverVersion = c.version;
        call.method = c.method;
        EXPECT_EQ(CheckMethodCall(kTypeHTMLControl, &call) == 0, c.known) << c.why;
    }
    gClientConfig.serverVersion = 10500;
}

}  // namespace
