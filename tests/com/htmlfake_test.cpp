// htmlfake_test.cpp - the browser host, element and style access and the DOM
// event sink against the tests' own browser and document, registered in
// process under CLSID_WebBrowser: the site's references, sizing, writing and
// code pages, every element and style edge, hooking of marked elements, the
// events as JSON, focus and tab bookkeeping, menus and ready state.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "com/htmlpanel.h"
#include "fakehtml.h"
#include "session/util/json.h"

namespace {

struct OwnerLog {
    std::vector<std::string> posted;
    std::vector<std::pair<int32_t, std::string>> tabFocus;
    std::vector<std::pair<std::string, bool>> focusChange;
    int readyState = 0;
    int menuAllowed = 1;  // 1: cancel the browser's menu
    CQovPanelWebBrowser* site = nullptr;
} gLog;

int32_t LogPost(HWND, const char* json) {
    gLog.posted.push_back(json);
    return 1;
}
void LogTab(HWND, int32_t tab, const char* id) { gLog.tabFocus.push_back({tab, id}); }
void LogFocus(HWND, const char* id, bool leaving) { gLog.focusChange.push_back({id, leaving}); }
int32_t LogReady(HWND wnd) {
    gLog.readyState++;
    if (gLog.site) HtmlPanelHookElements(gLog.site, wnd);
    return 1;
}
int32_t LogMenu(HWND) { return gLog.menuAllowed; }

std::wstring W(const wchar_t* s) { return s ? s : L"(null)"; }

class FakeBrowser : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        OleInitialize(nullptr);
        ASSERT_EQ(FakeHtmlRegister(), S_OK);
        gHtmlPanelOwner.postEvent = LogPost;
        gHtmlPanelOwner.onTabFocus = LogTab;
        gHtmlPanelOwner.onFocusChange = LogFocus;
        gHtmlPanelOwner.onReadyState = LogReady;
        gHtmlPanelOwner.menuAllowed = LogMenu;
    }
    void SetUp() override {
        gLog = OwnerLog();
        FakeHtmlReset("complete");
        wnd_ = CreateWindowExA(0, "STATIC", "", WS_OVERLAPPEDWINDOW, 0, 0, 320, 240, nullptr, nullptr,
                               GetModuleHandleA(nullptr), nullptr);
        ASSERT_EQ(HtmlPanelCreate(wnd_, &site_), kPanelOk);
        gLog.site = site_;
    }
    void TearDown() override {
        if (site_) {
            EXPECT_EQ(HtmlPanelRelease(site_), 0) << "the fake gives back every reference at Close";
        }
        EXPECT_EQ(HtmlPanelLiveSites(), 0);
        EXPECT_EQ(FakeHtmlLiveObjects(), 0) << "the host gives back every browser reference";
        DestroyWindow(wnd_);
    }
    void Load(const char* text, uint32_t flags = 1) {
        int32_t iframe = 0;
        HtmlPanelLoad(site_, text, flags, wnd_, 1, &iframe);
    }
    std::string Get(const char* id, const char* prop, uint32_t size = 256) {
        std::vector<char> buf(size, 'x');
        HtmlPanelGetElemProp(site_, id, prop, buf.data(), size, 0);
        return buf.data();
    }
    std::string Css(const char* id, const char* name) {
        char buf[256] = "x";
        HtmlPanelGetStyle(site_, id, name, buf, sizeof buf, 0);
        return buf;
    }
    HWND wnd_ = nullptr;
    CQovPanelWebBrowser* site_ = nullptr;
};

TEST_F(FakeBrowser, SizingDrawingAndKeys) {
    HtmlPanelResize(site_, wnd_, 1);
    ASSERT_EQ(FakeHtmlSetRectsCount(), 2) << "a forced fit changes the rectangle twice";
    RECT client;
    GetClientRect(wnd_, &client);
    RECT first = FakeHtmlSetRects(0), second = FakeHtmlSetRects(1);
    EXPECT_EQ(first.right, client.right + 1) << "the first one pixel larger";
    EXPECT_EQ(first.bottom, client.bottom + 1);
    EXPECT_EQ(second.right, client.right);
    HtmlPanelResize(site_, wnd_, 0);
    EXPECT_EQ(FakeHtmlSetRectsCount(), 3) << "without force only the exact rectangle";
    RECT r = {0, 0, 10, 10};
    HDC dc = GetDC(wnd_);
    EXPECT_EQ(HtmlPanelDraw(site_, dc, &r), S_OK);
    ReleaseDC(wnd_, dc);
    EXPECT_EQ(FakeHtmlDrawCount(), 1);

    Load("<p>x</p>");
    struct Case { const char* command; };
    for (const char* c : {"Delete", "SelectAll", "Copy", "Paste", "Cut", "Undo"}) {
        HtmlPanelExecCommand(site_, c);
        wchar_t want[16];
        MultiByteToWideChar(CP_ACP, 0, c, -1, want, 16);
        EXPECT_EQ(W(FakeHtmlLastExec()), std::wstring(want));
    }
    MSG m = {};
    m.message = WM_KEYDOWN;
    m.wParam = VK_TAB;
    EXPECT_EQ(HtmlPanelTranslateAccel(site_, &m), 1) << "no tab ids: the browser gets Tab";
    Load("<input id='a' data-qovtabid='1'>");
    EXPECT_EQ(HtmlPanelTranslateAccel(site_, &m), 0) << "tab ids above 0: the control keeps Tab";
    EXPECT_EQ(FakeHtmlTranslateCount(), 1);
}

TEST_F(FakeBrowser, WritingAndCodePages) {
    Load("<p id='a'>x</p>");
    EXPECT_EQ(FakeHtmlWriteCount(), 1);
    EXPECT_NE(W(FakeHtmlLastNavigate()).find(L"qovblank.html"), std::wstring::npos);
    Load("<iframe src='x'></iframe>");
    EXPECT_EQ(FakeHtmlWriteCount(), 1) << "a text with <iframe is never written";
    EXPECT_NE(W(FakeHtmlLastNavigate()).find(L"qovif.html"), std::wstring::npos);
    Load("http://example/", 2);
    EXPECT_EQ(W(FakeHtmlLastNavigate()), L"http://example/");
    EXPECT_EQ(FakeHtmlHandlerSet(-1, "onfocusin"), 0) << "a URL load hooks nothing";

    struct Case { UINT codePage; const char* text; const wchar_t* want; };
    const Case kCases[] = {
        {65001, "\xc3\xa9", L"\x00e9"}, {1252, "\xe9", L"\x00e9"}, {1252, "\x80", L"\x20ac"},
    };
    for (const Case& c : kCases) {
        gHtmlCodePage = c.codePage;
        Load(c.text);
        gHtmlCodePage = 0;
        EXPECT_EQ(W(FakeHtmlLastWrite()), std::wstring(c.want)) << "code page " << c.codePage;
    }
}

TEST_F(FakeBrowser, ElementProperties) {
    Load("<p id='body'>not the body</p><div id='d' class='k' hidden>in</div><div id='d'>second</div>"
         "<span id='s' title='0123456789'></span>");
    HtmlPanelSetElemProp(site_, "BODY", "html", "B", 0);
    EXPECT_EQ(W(FakeHtmlInner(0)), L"B") << "BODY in any case is the document body";
    EXPECT_EQ(Get("body", "HTML"), "B");
    EXPECT_EQ(W(FakeHtmlInner(FakeHtmlFind("body"))), L"(null)") << "not the element with id body";

    struct Case { const char* id; const char* prop; uint32_t size; std::string want; const char* why; };
    const Case kCases[] = {
        {"d", "class", 256, "k", "class name"},
        {"d", "hidden", 256, "True", "a boolean attribute reads as a word"},
        {"d", "absent", 256, "", "an absent attribute is empty"},
        {"s", "title", 11, "", "a value needing exactly the buffer is left out, never cut"},
        {"s", "title", 12, "0123456789", "one more byte and it fits"},
        {"none", "title", 256, "", "no element"},
    };
    for (const Case& c : kCases) EXPECT_EQ(Get(c.id, c.prop, c.size), c.want) << c.why;

    HtmlPanelSetElemProp(site_, "d", "data-x", "v", 0);
    EXPECT_EQ(W(FakeHtmlAttr(FakeHtmlFind("d"), "data-x")), L"v") << "a shared id takes the first element";
    HtmlPanelSetElemProp(site_, "d", "TEXT", "t", 0);
    EXPECT_EQ(Get("d", "text"), "t");
    HtmlPanelSetElemProp(site_, "d", "Class", "c2", 0);
    EXPECT_EQ(Get("d", "class"), "c2");
}

TEST_F(FakeBrowser, Styles) {
    Load("<div id='d'></div>");
    int d = FakeHtmlFind("d");
    struct Case { const char* name; const char* value; const char* field; const char* why; };
    const Case kCases[] = {
        {"COLOR", "red", "color", "names match without regard to case"},
        {"fontFamily", "Arial", "fontFamily", "a BSTR property"},
        {"zIndex", "3", "zIndex", "a VARIANT property"},
        {"tableLayout", "fixed", "tableLayout", "on IHTMLStyle2"},
        {"wordWrap", "break-word", "wordWrap", "on IHTMLStyle3"},
        {"minHeight", "4px", "minHeight", "on IHTMLStyle4"},
        {"maxwidth", "9px", "maxWidth", "on IHTMLStyle5"},
    };
    for (const Case& c : kCases) {
        HtmlPanelSetStyle(site_, "d", c.name, c.value, 0);
        wchar_t want[32];
        MultiByteToWideChar(CP_ACP, 0, c.value, -1, want, 32);
        EXPECT_EQ(W(FakeHtmlStyle(d, c.field)), std::wstring(want)) << c.why;
        EXPECT_EQ(Css("d", c.name), c.value) << c.why;
    }
    HtmlPanelSetStyle(site_, "d", "colour", "blue", 0);
    EXPECT_EQ(Css("d", "colour"), "") << "a name outside the list writes nothing and reads empty";
}

TEST_F(FakeBrowser, HookingMarkedElements) {
    Load("<div id='a' data-qovevent='click  click dblclick foo'></div>"
         "<div id='t' data-qovtabid=' 12ab'></div>"
         "<div id='n' data-qovtabid='-3'></div>"
         "<div id='tf' data-qovtabid='4' data-qovevent='focus'></div>"
         "<div id='c' data-qovevent='change'></div><input id='i' data-qovevent='change blur'>"
         "<div id='plain'></div>");
    int a = FakeHtmlFind("a"), t = FakeHtmlFind("t"), c = FakeHtmlFind("c"), i = FakeHtmlFind("i");
    EXPECT_EQ(FakeHtmlHandlerPuts(a, "onclick"), 1) << "click listed twice attaches once";
    EXPECT_EQ(FakeHtmlHandlerSet(a, "ondblclick"), 1);
    EXPECT_EQ(FakeHtmlHandlerSet(a, "onfocus"), 0) << "no tab id, no focus";
    EXPECT_EQ(FakeHtmlHandlerSet(t, "onfocus"), 1) << "a tab id alone: only onfocus";
    EXPECT_EQ(FakeHtmlHandlerSet(t, "onclick"), 0);
    EXPECT_EQ(FakeHtmlHandlerSet(c, "onchange"), 0) << "change only on input elements";
    EXPECT_EQ(FakeHtmlHandlerSet(i, "onchange"), 1);
    EXPECT_EQ(FakeHtmlHandlerSet(i, "onblur"), 1);
    EXPECT_EQ(FakeHtmlHandlerSet(FakeHtmlFind("plain"), "onclick"), 0);
    for (const char* h : {"onfocusin", "onfocusout", "oncontextmenu", "onreadystatechange"})
        EXPECT_EQ(FakeHtmlHandlerSet(-1, h), 1) << h;

    // Tab order: " 12ab" is 12, "-3" is 0 and does not count.
    EXPECT_EQ(HtmlPanelFocusTab(site_, 0, 1), 1);
    EXPECT_EQ(FakeHtmlFocused(), FakeHtmlFind("tf")) << "4 first";
    EXPECT_EQ(HtmlPanelFocusTab(site_, 4, 1), 1);
    EXPECT_EQ(FakeHtmlFocused(), t) << "then 12";
    EXPECT_EQ(HtmlPanelFocusTab(site_, 12, 1), 0) << "nothing after the last";
    EXPECT_EQ(HtmlPanelFocusTab(site_, 32767, 0), 1);
    EXPECT_EQ(FakeHtmlFocused(), t) << "the last";

    // Events: a tab id alone updates the tab position without posting.
    EXPECT_EQ(FakeHtmlFire(t, "onfocus", "focus", t, 0, 0, 0, 0), 0);
    ASSERT_EQ(gLog.tabFocus.size(), 1u);
    EXPECT_EQ(gLog.tabFocus[0].first, 12);
    EXPECT_EQ(gLog.tabFocus[0].second, "t");
    EXPECT_TRUE(gLog.posted.empty());
    int tf = FakeHtmlFind("tf");
    FakeHtmlFire(tf, "onfocus", "focus", tf, 0, 0, 0, 0);
    EXPECT_EQ(gLog.tabFocus.size(), 2u) << "tab id and focus: the tab position";
    EXPECT_EQ(gLog.posted.size(), 1u) << "and a JSON event";

    // Removing the sinks detaches every handler.
    HtmlPanelHookElements(site_, wnd_);
    EXPECT_EQ(FakeHtmlHandlerPuts(a, "onclick"), 2) << "hooked again";
}

TEST_F(FakeBrowser, EventsAsJson) {
    Load("<div id='p\"q' data-qovevent='click keydown'><span id='c\\h'>x</span></div><i id='x'></i>");
    int p = FakeHtmlFind("p\"q"), child = FakeHtmlFind("c\\h");
    ASSERT_GE(p, 0);
    EXPECT_EQ(FakeHtmlFire(p, "onclick", "click", child, 1, 0, 5, 6) & 1, 1) << "the event does not bubble on";
    FakeHtmlFire(p, "onkeydown", "keydown", FakeHtmlFind("x"), 0, 65, 0, 0);
    ASSERT_EQ(gLog.posted.size(), 2u);
    JsonValue* v = JsonParse(gLog.posted[0].data(), gLog.posted[0].size());
    ASSERT_NE(v, nullptr) << gLog.posted[0] << ": ids with quote and backslash are escaped";
    EXPECT_STREQ(JsonGetTextRaw(v, "type"), "click");
    EXPECT_STREQ(JsonGetTextRaw(v, "id"), "p\"q") << "the hooked element";
    EXPECT_STREQ(JsonGetTextRaw(v, "target"), "c\\h") << "the child clicked";
    EXPECT_EQ(JsonGetInt(v, "pageX"), 5);
    EXPECT_EQ(JsonGetInt(v, "metaKey"), 1) << "metaKey carries Ctrl";
    JsonFree(v);
    v = JsonParse(gLog.posted[1].data(), gLog.posted[1].size());
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(JsonGetInt(v, "which"), 65);
    EXPECT_EQ(JsonGetInt(v, "metaKey"), 0);
    JsonFree(v);
}

TEST_F(FakeBrowser, DocumentEvents) {
    Load("<input id='a'>");
    int a = FakeHtmlFind("a");
    FakeHtmlFire(-1, "onfocusin", "focusin", a, 0, 0, 0, 0);
    FakeHtmlFire(-1, "onfocusout", "focusout", a, 0, 0, 0, 0);
    ASSERT_EQ(gLog.focusChange.size(), 2u);
    EXPECT_EQ(gLog.focusChange[0], std::make_pair(std::string("a"), false));
    EXPECT_EQ(gLog.focusChange[1].second, true);
    gLog.menuAllowed = 1;
    EXPECT_EQ(FakeHtmlFire(-1, "oncontextmenu", "contextmenu", a, 0, 0, 0, 0), 2) << "the menu is cancelled";
    gLog.menuAllowed = 0;
    EXPECT_EQ(FakeHtmlFire(-1, "oncontextmenu", "contextmenu", a, 0, 0, 0, 0), 0) << "ContextMenu 1 allows it";
    EXPECT_TRUE(gLog.posted.empty()) << "document events post nothing";
}

TEST_F(FakeBrowser, ReadyStateHooksLater) {
    FakeHtmlReset("loading");
    Load("<div id='a' data-qovevent='click'></div>");
    int a = FakeHtmlFind("a");
    EXPECT_EQ(FakeHtmlHandlerSet(a, "onclick"), 0) << "not complete: not hooked yet";
    EXPECT_EQ(FakeHtmlHandlerSet(-1, "onreadystatechange"), 1);
    FakeHtmlSetReadyState("complete");
    FakeHtmlFire(-1, "onreadystatechange", "readystatechange", -1, 0, 0, 0, 0);
    EXPECT_EQ(gLog.readyState, 1);
    EXPECT_EQ(FakeHtmlHandlerSet(a, "onclick"), 1) << "hooked on readystatechange";
    EXPECT_EQ(FakeHtmlHandlerSet(-1, "onfocusin"), 1) << "the document sink stays";
}

TEST_F(FakeBrowser, DisabledAndHiddenFocus) {
    Load("<input id='a' data-qovenable=''><input id='b'><input id='c' data-qovenable='x'>");
    HtmlPanelSetMarkedDisabled(site_, 1);
    EXPECT_EQ(FakeHtmlDisabled(FakeHtmlFind("a")), 1) << "present even when empty";
    EXPECT_EQ(FakeHtmlDisabled(FakeHtmlFind("b")), 0) << "unmarked";
    EXPECT_EQ(FakeHtmlDisabled(FakeHtmlFind("c")), 1);
    HtmlPanelSetMarkedDisabled(site_, 0);
    EXPECT_EQ(FakeHtmlDisabled(FakeHtmlFind("c")), 0);
    HtmlPanelHideFocus(site_, 1);
    EXPECT_EQ(FakeHtmlHideFocus(FakeHtmlFind("b")), 1) << "every element";
    EXPECT_EQ(FakeHtmlHideFocus(0), 1);
}

TEST_F(FakeBrowser, LongListsAndTextsAreCut) {
    std::string list(3000, ' ');
    list.replace(2040, 5, "click");  // inside the first 2047 bytes
    list.replace(2900, 8, "dblclick");  // past the cut
    std::string id(3000, 'i');
    std::string page = "<div id='" + id + "' data-qovevent='" + list + "'></div>";
    Load(page.c_str());
    int d = FakeHtmlFind(id.c_str());
    EXPECT_EQ(FakeHtmlHandlerSet(d, "onclick"), 1);
    EXPECT_EQ(FakeHtmlHandlerSet(d, "ondblclick"), 0) << "the list is cut at 2048 bytes, never overrun";
    FakeHtmlFire(d, "onclick", "click", d, 0, 0, 0, 0);
    ASSERT_EQ(gLog.posted.size(), 1u);
    JsonValue* v = JsonParse(gLog.posted[0].data(), gLog.posted[0].size());
    ASSERT_NE(v, nullptr);
    size_t idLen = strlen(JsonGetTextRaw(v, "id"));
    EXPECT_LT(idLen, 2040u) << "the id is cut inside the shared area";
    EXPECT_GT(idLen, 2000u);
    EXPECT_STREQ(JsonGetTextRaw(v, "target"), "") << "no room left for the target";
    JsonFree(v);
}

}  // namespace
