// wvruntime.h - the web-view runtime layer the host is written against: an
// environment, a controller in a parent window, its web view and the
// web-message subscription, as a table of operations per backend. The backends
// are the loopback page host, the recording page (tests) and none; the
// setting QOVCS_WVRUNTIME chooses ("pagehost", "record", "none").
#pragma once

#include <windows.h>

#include <cstdint>

// An environment, controller or web view of a backend: reference counted, and
// released through the runtime that made it.
struct WvObject {
    const struct WvRuntime* runtime;
    LONG refs;
    uint8_t kind;
    void* impl;
};
enum WvObjectKind : uint8_t { kWvEnvironment = 1, kWvController = 2, kWvView = 3 };

struct WvColor {
    uint8_t a, r, g, b;
};

struct WvSettings {
    bool contextMenus, devTools, statusBar, zoomControl;
};

typedef void (*WvCreatedFn)(void* ctx, HRESULT hr, WvObject* created);
// A null text tells that the view's page ended (its page host went away).
typedef void (*WvMessageFn)(void* ctx, const WCHAR* text);

// What postString and viewHealth report beside S_OK: the page did not
// acknowledge a post within the backend's bound (it is not answering until it
// catches up), or the view's page has ended for good.
static const HRESULT kWvNotAnswering = MAKE_HRESULT(SEVERITY_ERROR, FACILITY_WIN32, ERROR_TIMEOUT);
static const HRESULT kWvEnded = MAKE_HRESULT(SEVERITY_ERROR, FACILITY_WIN32, ERROR_CONNECTION_ABORTED);
// postString's answer for a post that went out to a page that is not
// answering (it missed the bound, or the page was already behind): the page
// carries it out once it catches up, and no answer to it is waited for.
static const HRESULT kWvPostQueued = MAKE_HRESULT(SEVERITY_SUCCESS, FACILITY_WIN32, ERROR_TIMEOUT);

struct WvRuntime {
    const char* name = nullptr;
    // Completions arrive later, from the runtime window's procedure.
    HRESULT (*createEnvironment)(WvCreatedFn done, void* ctx) = nullptr;
    HRESULT (*createController)(WvObject* env, HWND parent, WvCreatedFn done, void* ctx) = nullptr;
    HRESULT (*getView)(WvObject* controller, WvObject** view) = nullptr;  // the view comes referenced
    HRESULT (*putBounds)(WvObject* controller, const RECT* bounds) = nullptr;
    HRESULT (*putVisible)(WvObject* controller, BOOL visible) = nullptr;
    HRESULT (*moveFocus)(WvObject* controller) = nullptr;
    HRESULT (*notifyParentMoved)(WvObject* controller) = nullptr;
    HRESULT (*putBackColor)(WvObject* controller, WvColor color) = nullptr;  // E_NOINTERFACE: not offered
    HRESULT (*closeController)(WvObject* controller) = nullptr;
    HRESULT (*applySettings)(WvObject* view, const WvSettings* settings) = nullptr;
    HRESULT (*navigate)(WvObject* view, const WCHAR* url) = nullptr;
    HRESULT (*addMessageHandler)(WvObject* view, WvMessageFn fn, void* ctx, int64_t* token) = nullptr;
    HRESULT (*removeMessageHandler)(WvObject* view, int64_t token) = nullptr;
    HRESULT (*postString)(WvObject* view, const WCHAR* text) = nullptr;
    void (*destroy)(WvObject* obj) = nullptr;                      // at the last release
    // S_OK, kWvNotAnswering or kWvEnded, without waiting; null: always S_OK.
    HRESULT (*viewHealth)(WvObject* view) = nullptr;
};

extern const WvRuntime kWvRuntimeNone;
extern const WvRuntime kWvRuntimePageHost;
extern const WvRuntime kWvRuntimeRecord;

// The backend the setting names (none when unset or unknown), chosen once.
const WvRuntime* WvRuntimeCurrent();
// Tests choose directly; null goes back to the setting.
void WvRuntimeSelect(const WvRuntime* runtime);

WvObject* WvObjectNew(const WvRuntime* runtime, uint8_t kind, void* impl);
void WvAddRef(WvObject* obj);
void WvRelease(WvObject* obj);
// Objects not yet released, for the tests of the host's clean-up.
extern LONG gWvLiveObjects;

// Runs fn(arg) from the runtime window's procedure, after the caller returns.
typedef void (*WvCallFn)(void* arg);
bool WvQueueCall(WvCallFn fn, void* arg);
HWND WvRuntimeWindow();
// Window messages of the runtime window that backends use.
constexpr UINT kWmWvCall = WM_APP + 0x51;
constexpr UINT kWmWvSocket = WM_APP + 0x52;
constexpr UINT_PTR kWvTickTimer = 0x5157;
// Backends' handlers for socket notices and the tick timer.
extern void (*gWvSocketNotice)(WPARAM socket, LPARAM event);
extern void (*gWvTick)();

// UTF-8 from a wide string in a GuardedAlloc block (caller frees); null without memory.
char* WvWideToUtf8(const WCHAR* text, size_t* length);
WCHAR* WvUtf8ToWide(const char* text);
