// e2e_test.cpp - a native window with WEBMODE 2 against the Node page host and
// headless Chromium: the start page opens, element commands change the page,
// queries read it back, a page event reaches the dispatcher (also one the page
// announces while its window is still being created), resizes arrive.
// Run by run-with-pagehost.sh, which starts the host.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "tests/server/pagecontrol.h"
#include "tests/testutil.h"
#include "webview/core/webchannel.h"
#include "webview/core/webtext.h"
#include "webview/qovwebview.h"
#include "webview/webglue.h"

static WindowRecord gWin;
static std::vector<std::string> gDispatched;

static void PumpAll() {
    MSG m;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&m);
        DispatchMessageA(&m);
    }
}

// The window procedure's share of a window that hosts a page.
static LRESULT CALLBACK WebWindowProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (gWin.hdr.hwnd == wnd) {
        if (msg == WM_SIZE) WebWindowHostResize(&gWin.hdr);
        if (msg == WM_MOVE) WebWindowHostMoved(&gWin.hdr);
    }
    return DefWindowProcA(wnd, msg, wp, lp);
}

static std::string Script(const char* js) {
    WebViewSelectForObject(&gWin.hdr);
    JsonBeginAction(30);
    JsonAddStringNoConv("js", js);
    JsonValue* reply = WebViewMsgQuery();
    const char* res = reply ? JsonGetText(reply, "res") : nullptr;
    return res ? res : "<none>";
}

class EndToEnd : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        WebViewInstallHooks(PumpAll);
        gWebHooks.pageEventDispatch = [](ObjectRecord*, JsonValue* ev) {
            // The page reports its size (99985) when it is ready and resized;
            // these tests follow the events they raise themselves.
            if (JsonGetInt(ev, "et") == 99985) return;
            const char* name = JsonGetText(ev, "name");
            gDispatched.push_back(std::string(name ? name : "?") + "/" + std::to_string(JsonGetInt(ev, "ev")));
        };
        WNDCLASSA wc = {};
        wc.lpfnWndProc = WebWindowProc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "QovWebTestWin";
        RegisterClassA(&wc);
        gWin.hdr.kind = kKindWindow;
        gWin.hdr.hwnd = CreateWindowA("QovWebTestWin", "web", WS_OVERLAPPEDWINDOW, 0, 0, 420, 300, nullptr, nullptr,
                                      wc.hInstance, nullptr);
    }
    static void TearDownTestSuite() {
        WebWindowHostDestroy(&gWin.hdr);
        DestroyWindow(gWin.hdr.hwnd);
        WebChannelCleanup();
    }
};

TEST_F(EndToEnd, AWindowWithWebModeTwoOpensItsStartPage) {
    ASSERT_EQ(WebWindowCreateHost(&gWin.hdr, 2), 0);
    ASSERT_NE(gWin.webHost, nullptr);
    EXPECT_TRUE(static_cast<CQovWebView*>(gWin.webHost)->Completed()) << "the page posted action 1 in time";
    EXPECT_EQ(Script("document.body.className"), "qovpage qovmpage");
    EXPECT_EQ(Script("typeof jQuery + typeof QovRunAction"), "functionfunction");
}

TEST_F(EndToEnd, ElementCommandsChangeThePageAndQueriesReadItBack) {
    ObjectRecord edit = {};
    edit.kind = kKindEditText;
    edit.elementId = 5;
    ObjectRecord label = {};
    label.kind = kKindStatText;
    label.elementId = 6;
    WebViewSelectForObject(&gWin.hdr);
    JsonBeginAction(26);
    JsonAddStringNoConv("en", "#qovforms");
    JsonAddStringNoConv("pv", "<input id=\"C5\"><span id=\"C6\">old</span>");
    WebViewMsgEnd();
    WebSetElemProp(&edit, "value", "caf\xC3\xA9", false);
    WebSetElemCss(&label, "color", "rgb(0, 128, 0)", false);
    WebChangeElemClass(&label, nullptr, "qovbold", false);
    WebSetElemText(&label, "&New \"label\"", false, false);
    WebSetElemState(&edit, "disabled", true, false);
    WebQueryElemProp(&edit, "value", false, true);
    JsonValue* reply = WebViewMsgQuery();
    ASSERT_NE(reply, nullptr);
    EXPECT_STREQ(JsonGetTextRaw(reply, "data"), "caf\xC3\xA9");
    WebQueryElemCss(&label, "color", false, false);
    reply = WebViewMsgQuery();
    ASSERT_NE(reply, nullptr);
    EXPECT_STREQ(JsonGetText(reply, "data"), "rgb(0, 128, 0)");
    EXPECT_EQ(Script("$('#C6').text() + '|' + $('#C6').attr('class') + '|' + $('#C5').prop('disabled')"),
              "New \"label\"|qovbold|true");
}

TEST_F(EndToEnd, APageEventTravelsToTheDispatcher) {
    EXPECT_EQ(Script("QovPostEvent({name: 'C5', ev: 4}); 'queued'"), "queued");
    WaitUntil([] { return gWebEventCount != 0; });
    ASSERT_EQ(gWebEventCount, 1u) << "the page said action 56";
    WebViewProcessPending();
    EXPECT_EQ(gDispatched, std::vector<std::string>{"C5/4"});
    EXPECT_EQ(Script("QovPendingEvents()"), "0");
}

TEST_F(EndToEnd, RealInputThroughTheControlConnection) {
    WebViewSelectForObject(&gWin.hdr);
    JsonBeginAction(26);
    JsonAddStringNoConv("en", "#qovforms");
    JsonAddStringNoConv("pv", "<button id=\"C7\" onclick=\"QovPostEvent({name: 'C7', ev: 4})\">Go</button>");
    WebViewMsgEnd();
    WebViewMsgFlush();
    std::string error, answer;
    ASSERT_TRUE(PageControlOpen(10000, &error)) << error;
    ASSERT_TRUE(PageControlCommand("{\"cmd\":\"expect\",\"sel\":\"#C7\",\"what\":\"text\",\"value\":\"Go\"}",
                                   &answer, 10000));
    EXPECT_TRUE(PageControlOk(answer)) << answer;
    gDispatched.clear();
    ASSERT_TRUE(PageControlCommand("{\"cmd\":\"click\",\"sel\":\"#C7\"}", &answer, 10000));
    EXPECT_TRUE(PageControlOk(answer)) << answer;
    auto clicked = [] { return std::find(gDispatched.begin(), gDispatched.end(), "C7/4") != gDispatched.end(); };
    WaitUntil(clicked, kWaitDeadlineMs, [] {
        WaitTurn();
        WebViewProcessPending();
    });
    // The click also moves the focus to the button, which the page reports
    // first (99995, no value).
    EXPECT_EQ(gDispatched, (std::vector<std::string>{"C7/0", "C7/4"})) << "a real click raised the page event";
    PageControlClose();
}

TEST_F(EndToEnd, AWindowResizeReachesThePage) {
    SetWindowPos(gWin.hdr.hwnd, nullptr, 0, 0, 520, 380, SWP_NOZORDER | SWP_NOMOVE);
    PumpAll();
    RECT client;
    GetClientRect(gWin.hdr.hwnd, &client);
    std::string expect = std::to_string(client.right) + "x" + std::to_string(client.bottom);
    EXPECT_EQ(Script("innerWidth + 'x' + innerHeight"), expect);
}

// A page that announces an event as soon as it has loaded, and only once: its
// timers are taken away, so the notice is not repeated.
static const char kEarlyEventPage[] =
    "<!DOCTYPE html><html><head><meta charset=\"utf-8\">\n"
    "<script>window.setInterval = function () { return 0; };</script>\n"
    "<script src=\"lib/jquery.min.js\"></script>\n"
    "<script src=\"qovactions.js\"></script>\n"
    "<script src=\"qovvisctls.js\"></script>\n"
    "<script src=\"qovbridge.js\"></script>\n"
    "<script>QovPostEvent({name: 'C8', ev: 4});</script>\n"
    "</head><body><div id=\"qovforms\"></div></body></html>\n";

// A pump turn as the client's: messages, then the pump-turn work of the pages.
static void PumpAndServe() {
    PumpAll();
    WebViewProcessPending();
}

TEST_F(EndToEnd, AnEventAnnouncedWhileTheWindowIsCreatedIsServed) {
    char exe[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, exe, sizeof exe);
    ASSERT_GT(n, 0u);
    std::string dir(exe, n);
    dir.erase(dir.find_last_of('\\') + 1);
    std::string path = dir + "qovwv_html\\early-event.html";
    FILE* f = fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    fputs(kEarlyEventPage, f);
    fclose(f);
    std::string url = "file:///" + path;
    for (char& c : url)
        if (c == '\\') c = '/';

    WindowRecord win = {};
    win.hdr.kind = kKindWindow;
    win.hdr.hwnd = CreateWindowA("QovWebTestWin", "early", WS_OVERLAPPEDWINDOW, 0, 0, 300, 200, nullptr, nullptr,
                                 GetModuleHandleA(nullptr), nullptr);
    gDispatched.clear();
    WebViewInstallHooks(PumpAndServe);
    // The window gets its web view only when the creation is over, as
    // WebWindowCreateHost does; meanwhile every pump turn serves the pages.
    void* host = nullptr;
    ASSERT_TRUE(WebViewCreate(&win.hdr, &host, url.c_str(), false));
    ASSERT_NE(host, nullptr);
    EXPECT_TRUE(static_cast<CQovWebView*>(host)->Completed());
    // The page says it once, during the creation: the notice must be kept.
    WaitUntil([] { return gWebEventCount != 0; }, kWaitDeadlineMs, [] {
        WaitTurn();
        PumpAndServe();
    });
    EXPECT_EQ(gWebEventCount, 1u) << "the notice waits for the window's web view";
    win.webHost = host;
    WebViewProcessPending();
    EXPECT_EQ(gDispatched, std::vector<std::string>{"C8/4"}) << "served as soon as the view exists";

    WebViewInstallHooks(PumpAll);
    WebWindowHostDestroy(&win.hdr);
    DestroyWindow(win.hdr.hwnd);
    remove(path.c_str());
}
