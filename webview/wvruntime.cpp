// wvruntime.cpp - the runtime layer's shared code: choosing the backend, the
// reference-counted runtime objects, the hidden window whose procedure runs
// every completion, and the "none" backend.
#include "webview/wvruntime.h"

#include <cstring>

#include "session/log.h"
#include "session/nomemwin.h"
#include "session/settings.h"
#include "webview/wvlaunch.h"
#include "session/util/mem.h"

LONG gWvLiveObjects;
void (*gWvSocketNotice)(WPARAM socket, LPARAM event);
void (*gWvTick)();

static const WvRuntime* gWvSelected;
static HWND gWvWindow;
static const char kWvWindowClass[] = "QovWvRuntime";

struct WvCall {
    WvCallFn fn;
    void* arg;
};

// ---- Backend choice ---------------------------------------------------------------

struct WvRuntimeName {
    const char* name;
    const WvRuntime* runtime;
};
static const WvRuntimeName kWvRuntimeNames[] = {
    {"pagehost", &kWvRuntimePageHost},
    {"record", &kWvRuntimeRecord},
    {"none", &kWvRuntimeNone},
};

// Without the setting the page host is the runtime when its parts are there;
// otherwise none, and the log says what is missing.
const WvRuntime* WvRuntimeCurrent() {
    if (gWvSelected) return gWvSelected;
    gWvSelected = &kWvRuntimeNone;
    const char* name = GetSetting("QOVCS_WVRUNTIME");
    if (name) {
        for (const WvRuntimeName& row : kWvRuntimeNames)
            if (_stricmp(name, row.name) == 0) gWvSelected = row.runtime;
        return gWvSelected;
    }
    char missing[200];
    if (WvPageHostPartsFound(missing, sizeof missing)) {
        gWvSelected = &kWvRuntimePageHost;
        DebugLogWrite("WebView runtime", "pagehost (default)");
    } else {
        DebugLogWrite("WebView runtime", "none: %s not found; web-view windows are refused", missing);
    }
    return gWvSelected;
}

void WvRuntimeSelect(const WvRuntime* runtime) { gWvSelected = runtime; }

// ---- Objects -----------------------------------------------------------------------

WvObject* WvObjectNew(const WvRuntime* runtime, uint8_t kind, void* impl) {
    WvObject* obj = static_cast<WvObject*>(GuardedAlloc(sizeof(WvObject)));
    if (!obj) return nullptr;
    obj->runtime = runtime;
    obj->refs = 1;
    obj->kind = kind;
    obj->impl = impl;
    gWvLiveObjects++;
    return obj;
}

void WvAddRef(WvObject* obj) {
    if (obj) obj->refs++;
}

void WvRelease(WvObject* obj) {
    if (!obj || obj->refs <= 0) return;
    if (--obj->refs > 0) return;
    if (obj->runtime->destroy) obj->runtime->destroy(obj);
    gWvLiveObjects--;
    GuardedFree(obj);
}

// ---- The runtime window ------------------------------------------------------------

static LRESULT WvWindowProcWork(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case kWmWvCall: {
        WvCall* call = reinterpret_cast<WvCall*>(lp);
        WvCall copy = *call;
        GuardedFree(call);
        copy.fn(copy.arg);
        return 0;
    }
    case kWmWvSocket:
        if (gWvSocketNotice) gWvSocketNotice(wp, lp);
        return 0;
    case WM_TIMER:
        if (wp == kWvTickTimer && gWvTick) gWvTick();
        return 0;
    default:
        return DefWindowProcA(wnd, msg, wp, lp);
    }
}

HWND WvRuntimeWindow() {
    if (gWvWindow) return gWvWindow;
    WNDCLASSA wc = {};
    wc.lpfnWndProc = GuardedWndProc<WvWindowProcWork>;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = kWvWindowClass;
    RegisterClassA(&wc);
    // A message-only window: it is never shown and takes no input.
    gWvWindow = CreateWindowA(kWvWindowClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
    return gWvWindow;
}

bool WvQueueCall(WvCallFn fn, void* arg) {
    HWND wnd = WvRuntimeWindow();
    WvCall* call = static_cast<WvCall*>(GuardedAlloc(sizeof(WvCall)));
    if (!wnd || !call) {
        GuardedFree(call);
        return false;
    }
    call->fn = fn;
    call->arg = arg;
    if (!PostMessageA(wnd, kWmWvCall, 0, reinterpret_cast<LPARAM>(call))) {
        GuardedFree(call);
        return false;
    }
    return true;
}

// ---- Text conversions ----------------------------------------------------------------

char* WvWideToUtf8(const WCHAR* text, size_t* length) {
    int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (n <= 0) return nullptr;
    char* out = static_cast<char*>(GuardedAlloc(static_cast<size_t>(n)));
    if (!out) return nullptr;
    WideCharToMultiByte(CP_UTF8, 0, text, -1, out, n, nullptr, nullptr);
    if (length) *length = static_cast<size_t>(n - 1);
    return out;
}

WCHAR* WvUtf8ToWide(const char* text) {
    int n = MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0);
    if (n <= 0) return nullptr;
    WCHAR* out = static_cast<WCHAR*>(GuardedAlloc(static_cast<size_t>(n) * sizeof(WCHAR)));
    if (!out) return nullptr;
    MultiByteToWideChar(CP_UTF8, 0, text, -1, out, n);
    return out;
}

// ---- The "none" backend: no runtime installed ------------------------------------------

// As the WebView2 loader answers when no runtime is found: creation fails at once.
static HRESULT NoneCreateEnvironment(WvCreatedFn, void*) { return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND); }

const WvRuntime kWvRuntimeNone = {
    .name = "none",
    .createEnvironment = NoneCreateEnvironment,
};
