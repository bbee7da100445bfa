// host_test.cpp - CQovWebView and the entry functions under Wine against the
// recording runtime: creation and the ready wait, the start pages, clean-up,
// background colours, and the channel through a real host.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "webview/core/webchannel.h"
#include "webview/core/webtext.h"
#include "webview/qovwebview.h"
#include "webview/webglue.h"
#include "webview/wvrecord.h"
#include "tests/testutil.h"

static std::vector<std::string> gDispatched;
static int gPosts;

static void PumpAll() {
    MSG m;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&m);
        DispatchMessageA(&m);
    }
}

static int32_t CountingPost(void* host, const char* text) {
    gPosts++;
    return WebViewPostMessage(host, text);
}

class Host : public ::testing::Test {
protected:
    void SetUp() override {
        WvRuntimeSelect(&kWvRuntimeRecord);
        WebViewInstallHooks(PumpAll);
        gWebHooks.postText = CountingPost;
        gWebHooks.pageEventDispatch = [](ObjectRecord*, JsonValue* ev) {
            const char* name = JsonGetText(ev, "name");
            gDispatched.push_back(name ? name : "?");
        };
        gWvRecSetup = nullptr;
        gWvRecAnnounceLoad = true;
        gWvRecNoBackColor = false;
        gDispatched.clear();
        gPosts = 0;
        memset(&win, 0, sizeof win);
        win.hdr.kind = kKindWindow;
        win.hdr.hwnd = CreateWindowA("STATIC", "web", WS_OVERLAPPEDWINDOW, 0, 0, 320, 200, nullptr, nullptr,
                                     GetModuleHandleA(nullptr), nullptr);
    }
    void TearDown() override {
        WebWindowHostDestroy(&win.hdr);
        DestroyWindow(win.hdr.hwnd);
        WebChannelCleanup();
        gWebFetchAllowed = true;
        PumpAll();
        EXPECT_EQ(gWvLiveObjects, 0) << "every runtime object released";
        WvRuntimeSelect(nullptr);
    }
    WindowRecord win;
};

TEST_F(Host, WindowsWithWebModeOpenTheirStartPage) {
    struct Case {
        uint32_t webMode;
        const char* page;
        int32_t result;
    };
    static const Case kCases[] = {
        {0, nullptr, 0},
        {1, nullptr, 0},
        {2, "/qovwv_html/qovwvmstart.html", 0},
        {3, "/qovwv_html/qovwvstart.html", 0},
    };
    for (const Case& c : kCases) {
        gWvRecLast = nullptr;
        ASSERT_EQ(WebWindowCreateHost(&win.hdr, c.webMode), c.result) << c.webMode;
        if (!c.page) {
            EXPECT_EQ(win.webHost, nullptr) << c.webMode;
            continue;
        }
        ASSERT_NE(win.webHost, nullptr);
        ASSERT_NE(gWvRecLast, nullptr);
        EXPECT_TRUE(static_cast<CQovWebView*>(win.webHost)->Completed()) << "the page said it loaded";
        const std::string& url = gWvRecLast->url;
        EXPECT_EQ(url.rfind("file:///", 0), 0u) << url;
        EXPECT_NE(url.find(c.page), std::string::npos) << url;
        EXPECT_EQ(url.find('\\'), std::string::npos) << url;
        RECT client;
        GetClientRect(win.hdr.hwnd, &client);
        EXPECT_EQ(gWvRecLast->bounds.right, client.right);
        EXPECT_EQ(gWvRecLast->bounds.bottom, client.bottom);
        EXPECT_TRUE(gWvRecLast->visible);
        EXPECT_FALSE(gWvRecLast->settings.contextMenus || gWvRecLast->settings.devTools ||
                     gWvRecLast->settings.statusBar || gWvRecLast->settings.zoomControl);
        WebWindowHostDestroy(&win.hdr);
    }
}

TEST_F(Host, NoRuntimeMeansNoHost) {
    WvRuntimeSelect(&kWvRuntimeNone);
    EXPECT_EQ(WebWindowCreateHost(&win.hdr, 2), kErrNoWebHost);
    EXPECT_EQ(win.webHost, nullptr);
}

TEST_F(Host, MissingPageFolderFailsWithoutTheRuntime) {
    WebViewResetStartUrls();
    ASSERT_TRUE(MoveFileA("qovwv_html", "qovwv_html.away"));
    gWvRecLast = nullptr;
    void* host = nullptr;
    bool made = WebViewCreate(&win.hdr, &host, nullptr, false);
    MoveFileA("qovwv_html.away", "qovwv_html");
    EXPECT_FALSE(made);
    EXPECT_EQ(host, nullptr);
    EXPECT_EQ(gWvRecLast, nullptr) << "the runtime was not asked";
    // Once found, the URL is kept: the folder is not looked for again.
    ASSERT_TRUE(WebViewCreate(&win.hdr, &host, nullptr, false));
    WebViewClose(host);
    ASSERT_TRUE(MoveFileA("qovwv_html", "qovwv_html.away"));
    made = WebViewCreate(&win.hdr, &host, nullptr, false);
    MoveFileA("qovwv_html.away", "qovwv_html");
    EXPECT_TRUE(made);
    WebViewClose(host);
}

TEST_F(Host, ASilentPageRunsTheWholeWait) {
    gWvRecAnnounceLoad = false;
    DWORD start = GetTickCount();
    void* host = nullptr;
    ASSERT_TRUE(WebViewCreate(&win.hdr, &host, "file:///Z:/x.html", false));
    DWORD took = GetTickCount() - start;
    EXPECT_GE(took, 3000u) << "about 401 turns of 10 ms";
    EXPECT_FALSE(static_cast<CQovWebView*>(host)->Completed());
    WebViewClose(host);
}

TEST_F(Host, BackgroundColours) {
    struct Case {
        bool beforeController;
        bool noInterface;
        WvColor expect;
        int applied;
        const char* why;
    };
    static const Case kCases[] = {
        {true, false, {255, 0, 0, 255}, 1, "the latest colour before the controller wins"},
        {false, false, {0, 0, 0, 255}, 2, "with a controller each colour is applied"},
        {true, true, {0, 0, 0, 0}, 0, "a runtime without the colour interface takes none"},
    };
    for (const Case& c : kCases) {
        gWvRecNoBackColor = c.noInterface;
        CQovWebView* host = new CQovWebView(&win.hdr);
        host->AddRef();
        ASSERT_EQ(host->Create("file:///Z:/x.html"), S_OK);
        if (c.beforeController) {
            host->SetBackColor(RGB(255, 0, 0), false);
            host->SetBackColor(RGB(0, 0, 255), false);
        }
        WaitUntil([&] { return host->Completed(); });
        ASSERT_TRUE(host->Completed()) << c.why;
        if (!c.beforeController) {
            host->SetBackColor(RGB(255, 0, 0), false);
            host->SetBackColor(RGB(0, 0, 255), true);
        }
        WvRecConn* conn = gWvRecLast;
        EXPECT_EQ(conn->colorsSet, c.applied) << c.why;
        if (c.applied) {
            EXPECT_EQ(conn->color.a, c.expect.a) << c.why;
            EXPECT_EQ(conn->color.r, c.expect.r) << c.why;
            EXPECT_EQ(conn->color.b, c.expect.b) << c.why;
        }
        host->Close();
        host->Release();
    }
}

TEST_F(Host, CloseReleasesEachInterfaceOnce) {
    ASSERT_EQ(WebWindowCreateHost(&win.hdr, 3), 0);
    EXPECT_EQ(gWvLiveObjects, 3) << "environment, controller, view";
    CQovWebView* host = static_cast<CQovWebView*>(win.webHost);
    host->AddRef();
    host->Close();
    EXPECT_EQ(gWvLiveObjects, 0);
    host->Close();   // a second close has nothing left to release
    EXPECT_EQ(gWvLiveObjects, 0);
    host->Release();
    // Closed while its creation is still under way: the late completions are
    // dropped and release what they bring.
    host = new CQovWebView(&win.hdr);
    host->AddRef();
    host->Create("file:///Z:/y.html");
    host->Close();
    host->Release();
    // The late completions may come at any time: this pumping only gives
    // them a chance to arrive while the test still runs; nothing is checked.
    for (int i = 0; i < 5; i++) {
        Sleep(10);
        PumpAll();
    }
}

TEST_F(Host, ChannelThroughTheHost) {
    gWvRecSetup = [](WvRecConn* c) {
        RecPageAnswer(&c->page, 9, "{\"data\":\"v\"}", 0);
        RecPageQueueEvent(&c->page, "\"name\":\"C4\",\"ev\":4");
    };
    ASSERT_EQ(WebWindowCreateHost(&win.hdr, 3), 0);
    ObjectRecord edit = {};
    edit.kind = kKindEditText;
    edit.elementId = 4;
    WebViewSelectForObject(&win.hdr);
    EXPECT_EQ(gCurWebView, win.webHost);
    WebSetElemProp(&edit, "placeholder", "x", false);
    WebQueryElemProp(&edit, "value", false, true);
    JsonValue* reply = WebViewMsgQuery();
    ASSERT_NE(reply, nullptr);
    EXPECT_STREQ(JsonGetText(reply, "data"), "v");
    EXPECT_EQ(gPosts, 1) << "the command and the query in one batch";
    WaitUntil([] { return gWebEventCount != 0; });
    WebViewProcessPending();
    EXPECT_EQ(gDispatched, std::vector<std::string>{"C4"});

    // Closing the window drops its open batch and forgets it as a page owner.
    gPosts = 0;
    WebSetElemProp(&edit, "placeholder", "y", false);
    WebViewMsgReceive(&win.hdr, "{\"action\":56}", 13);
    WebWindowHostDestroy(&win.hdr);
    EXPECT_EQ(gPosts, 0);
    EXPECT_EQ(gMsgBatch.length, 0u);
    EXPECT_EQ(gWebEventCount, 0u);
    EXPECT_EQ(gCurWebView, nullptr);
}
