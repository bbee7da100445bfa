// webglue.cpp - the web-view entry functions over CQovWebView: creation with
// the start page beside the program and the wait for the page, closing with the
// channel's clean-up, and the native window's host.
#include "webview/webglue.h"

#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <new>

#include "objects/guihooks.h"
#include "objects/objhooks.h"
#include "objects/objrecord.h"
#include "session/session.h"
#include "session/util/codepage.h"
#include "webview/core/webchannel.h"
#include "webview/core/webgeneric.h"
#include "webview/core/webobject.h"
#include "webview/core/webtext.h"
#include "webview/controls/webmenu.h"
#include "webview/qovwebview.h"
#include "webview/wvpane.h"

static char gStartUrl[2][kStartUrlSize];      // [0] qovwvstart, [1] qovwvmstart
static char gProgramDir[MAX_PATH + 1];
static thread_local uint32_t gThreadCodePage;
static void (*gPumpTurn)();

static const char* const kStartPages[2] = {"qovwvstart.html", "qovwvmstart.html"};
static const DWORD kModulePathMax = 300;

static CQovWebView* HostOf(void* host) { return static_cast<CQovWebView*>(host); }

static const char* ProgramDir() {
    if (!gProgramDir[0]) {
        char path[kModulePathMax + 1] = {};
        DWORD n = GetModuleFileNameA(nullptr, path, kModulePathMax);
        char* slash = n ? strrchr(path, '\\') : nullptr;
        if (slash) slash[1] = 0;
        snprintf(gProgramDir, sizeof gProgramDir, "%s", slash ? path : "");
    }
    return gProgramDir;
}

static void SetThreadCodePage(uint32_t codePage) { gThreadCodePage = codePage; }
static bool HostDown(void* host) { return host && FAILED(HostOf(host)->Health()); }
static bool HostEnded(void* host) { return host && HostOf(host)->Health() == kWvEnded; }
static void SleepMs(uint32_t ms) { Sleep(ms); }
static void PumpTurn() {
    if (gPumpTurn) gPumpTurn();
}

uint32_t WebViewThreadCodePage() { return gThreadCodePage; }

// The keyboard goes to the view's pane (a child of its owner's window), unless
// the pane holds it already: each move would tell the page host again.
static void KeysToView(void* host) {
    ObjectRecord* owner = HostOf(host)->Owner();
    HWND focus = GetFocus();
    if (focus && owner && owner->hwnd && WvPaneIs(focus) && GetParent(focus) == owner->hwnd) return;
    HostOf(host)->MoveFocus();
}

// What waits for the page goes out once the client is idle: one thread timer
// at a time, and a timer's message comes only when the queue holds nothing
// else, so a burst of server requests still shares one batch and the page
// catches up once the burst is over. Inside a send's wait for its answer the
// flush waits for the next turn: the operation that sent is not finished.
static const UINT kIdleFlushMs = 20;
static UINT_PTR gIdleFlushTimer;

static void FlushWhenIdle();

static void IdleFlushTimer(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    if (id == gIdleFlushTimer) gIdleFlushTimer = 0;
    if (WebViewSendWaiting()) {
        FlushWhenIdle();
        return;
    }
    if (gWebObjectOps.flushRedraws)
        CatchNoMemory("the pages' idle flush", [] { gWebObjectOps.flushRedraws(nullptr); });
}

static void FlushWhenIdle() {
    if (!gIdleFlushTimer) gIdleFlushTimer = SetTimer(nullptr, 0, kIdleFlushMs, GuardedTimerProc<IdleFlushTimer>);
}

// Alt+F4 in a page: the page's web window in front gets its $CLOSE, as its
// close box gives it (natively the key closes the window it is pressed in);
// with none in front the system closes the window that shows the page.
static bool PaneCloseKey(HWND pane) {
    ObjectRecord* host = WebWindowHostRecord(gWebActiveWindow);
    return host && host->hwnd && host->hwnd == GetParent(pane) && WebWindowCloseKey(host);
}

void WebViewInstallHooks(void (*pumpTurn)()) {
    gPumpTurn = pumpTurn;
    gWebHooks.postText = WebViewPostMessage;
    gWebHooks.pumpTurn = PumpTurn;
    gWebHooks.sleepMs = SleepMs;
    gWebHooks.setThreadCodePage = SetThreadCodePage;
    gWebHooks.programDir = ProgramDir;
    gWebHooks.hostDown = HostDown;
    gWebHooks.hostEnded = HostEnded;
    gWebHooks.flushWhenIdle = FlushWhenIdle;
    gWebHooks.keysToView = KeysToView;
    gWvPaneCloseKey = PaneCloseKey;
}

bool WebHtmlBufWriteFile(HANDLE file) {
    if (!gHtmlBuf.length) return true;
    DWORD written = 0;
    return WriteFile(file, gHtmlBuf.data, gHtmlBuf.length, &written, nullptr) && written == gHtmlBuf.length;
}

void WebViewResetStartUrls() {
    gStartUrl[0][0] = gStartUrl[1][0] = 0;
    gProgramDir[0] = 0;
}

// The cached "file:///" URL of a start page beside the program; empty when the
// page is not there.
static const char* StartUrl(bool kind2) {
    char* cache = gStartUrl[kind2 ? 1 : 0];
    if (cache[0]) return cache;
    char path[kStartUrlSize];
    int n = snprintf(path, sizeof path, "%sqovwv_html\\%s", ProgramDir(), kStartPages[kind2 ? 1 : 0]);
    if (n <= 0 || static_cast<size_t>(n) >= sizeof path - 8) return cache;
    WIN32_FIND_DATAA found;
    const char* ansi = OemToAnsiStr(path, 0);
    HANDLE h = FindFirstFileA(ansi ? ansi : path, &found);
    if (h == INVALID_HANDLE_VALUE) return cache;
    FindClose(h);
    snprintf(cache, kStartUrlSize, "file:///%s", path);
    for (char* p = cache; *p; p++)
        if (*p == '\\') *p = '/';
    return cache;
}

bool WebViewCreate(ObjectRecord* rec, void** out, const char* url, bool kind2) {
    if (out) *out = nullptr;
    // The host's texts are OLE strings: the automation library is loaded first.
    if (!SysLibNeed(kSysLibOleAut)) return false;
    CQovWebView* host = new (std::nothrow) CQovWebView(rec);
    if (!host) return false;
    host->AddRef();
    const char* start = url && url[0] ? url : StartUrl(kind2);
    if (!start[0]) {
        host->Release();
        return false;
    }
    host->ClearCompleted();
    if (FAILED(host->Create(start))) {
        host->Release();
        return false;
    }
    if (out) *out = host;
    PumpTurn();
    for (int i = 0; i < kReadyWaitTurns && !host->Completed(); i++) {
        Sleep(kReadyWaitSleepMs);
        PumpTurn();
    }
    // Creation ended without a view (the page host could not be reached, or
    // its page ended): there is nothing to show the window's objects in.
    if (host->Completed() && host->Health() == kWvEnded) {
        if (out) *out = nullptr;
        WebViewClose(host);
        return false;
    }
    return true;
}

void WebViewClose(void* host) {
    if (!host) return;
    WebViewChannelHostClosing(host);
    HostOf(host)->Close();
    HostOf(host)->Release();
}

void WebViewFocus(void* host) {
    if (!host) host = gCurWebView;
    if (host) HostOf(host)->MoveFocus();
}

void WebViewNotifyParentMoved(void* host) {
    if (host) HostOf(host)->NotifyParentMoved();
}

void WebViewSetOwner(void* host, ObjectRecord* rec) {
    if (host) HostOf(host)->SetOwner(rec);
}

int32_t WebViewPostMessage(void* host, const char* utf8) {
    return host ? HostOf(host)->PostText(utf8) : E_POINTER;
}

void WebViewResize(void* host) {
    if (host) HostOf(host)->Resize();
}

void WebViewSetBackColor(void* host, COLORREF color, int transparent) {
    if (host) HostOf(host)->SetBackColor(color, transparent != 0);
}

// ---- Native windows that host a page --------------------------------------------------

int32_t WebWindowCreateHost(ObjectRecord* window, uint32_t webMode) {
    if (!window || webMode < kWebModeHosted) return 0;
    WindowRecord* w = reinterpret_cast<WindowRecord*>(window);
    if (w->webHost) WebViewClose(w->webHost);
    w->webHost = nullptr;
    void* host = nullptr;
    // Making the view pumps messages until its page is ready; a request taken
    // meanwhile may destroy a registered window, whose record must then stay
    // untouched.
    ObjectRef ref = ObjectRefOf(window);
    bool registered = ObjectRefAlive(ref);
    // The window hosts web-view objects from now on: without a web view they
    // are refused (-52), never made natively in its place.
    w->style[1] |= kWindowWebHostBit;
    bool made = WebViewCreate(window, &host, nullptr, webMode == kWebModeHosted);
    if (registered && !ObjectRefAlive(ref)) {
        WebViewClose(host);
        return kErrNoWebHost;
    }
    if (!made) return kErrNoWebHost;
    w->webHost = host;
    return 0;
}

void WebWindowMovedForForm(ObjectRecord* from, ObjectRecord* to) {
    if (ObjectIsWebView(to) || to->kind != kKindWindow) {
        WebWindowRecordMoved(from, to);
        // The form's menus were put on its bar while the load held the bar
        // back; the window that now holds them sends it.
        if (ObjectIsWebView(to) && to->kind == kKindWindow && reinterpret_cast<WindowRecord*>(to)->menus)
            WebMenuBarMarkup(to);
        return;
    }
    // Native windows: each page host, with what the web view keeps for it,
    // reports to the record that now holds it.
    WebHostRecordsExchanged(from, to);
    for (ObjectRecord* rec : {from, to}) {
        void* host = reinterpret_cast<WindowRecord*>(rec)->webHost;
        if (host) WebViewSetOwner(host, rec);
    }
}

bool WebWindowHostFocus(ObjectRecord* window, int step) {
    if (!WebHostsControls(window)) return false;
    ObjectRecord* focused = reinterpret_cast<WindowRecord*>(window)->focusObj;
    bool usable = focused && ObjectIsLive(focused) && ObjectIsWebView(focused) && (focused->flags & kObjShown) &&
                  !(focused->flags & kObjDisabled);
    bool taken = step == kHostFocusShown ? (usable ? WebSetFocus(focused, 0) == 0 : WebFocusNextObject(window, false))
                                         : WebFocusNextObject(usable ? focused : window, step == kHostFocusPrevious);
    // The keys then go to the page, as a native window's go to its control.
    if (taken && window->hwnd)
        for (HWND c = GetWindow(window->hwnd, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
            if (WvPaneIs(c)) {
                SetFocus(c);
                break;
            }
    return taken;
}

void WebWindowHostResize(ObjectRecord* window) {
    if (window) WebViewResize(reinterpret_cast<WindowRecord*>(window)->webHost);
}

void WebWindowHostMoved(ObjectRecord* window) {
    if (window) WebViewNotifyParentMoved(reinterpret_cast<WindowRecord*>(window)->webHost);
}

void WebWindowHostDestroy(ObjectRecord* window) {
    if (!window) return;
    WebWindowsHostGone(window);
    WindowRecord* w = reinterpret_cast<WindowRecord*>(window);
    WebViewForgetOwner(window);
    if (w->pageObject) WebViewForgetOwner(static_cast<ObjectRecord*>(w->pageObject));
    void* host = w->webHost;
    w->webHost = nullptr;
    WebViewClose(host);
}
