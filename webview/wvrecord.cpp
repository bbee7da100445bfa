// wvrecord.cpp - the recording backend: controllers whose page is a recording
// page; its answers reach the host from the runtime window, one pump turn per
// tick of the runtime window's timer.
#include "webview/wvrecord.h"

#include <vector>

#include "session/util/mem.h"
#include "webview/core/pageactions.h"
#include "webview/core/wvrecpage.h"

void (*gWvRecSetup)(WvRecConn* conn);
bool gWvRecAnnounceLoad = true;
bool gWvRecNoBackColor;
WvRecConn* gWvRecLast;

static const UINT kTickMs = 10;
static std::vector<WvRecConn*> gRecConns;

WvRecConn* WvRecConnOf(WvObject* obj) { return obj ? static_cast<WvRecConn*>(obj->impl) : nullptr; }

static void RecConnRelease(WvRecConn* c) {
    if (--c->refs > 0) return;
    for (size_t i = 0; i < gRecConns.size(); i++)
        if (gRecConns[i] == c) gRecConns.erase(gRecConns.begin() + static_cast<long>(i));
    if (gWvRecLast == c) gWvRecLast = nullptr;
    delete c;
}

static void RecDeliver(RecPage* page, ObjectRecord*, const char* utf8) {
    WvRecConn* c = static_cast<WvRecConn*>(page->user);
    WCHAR* wide = WvUtf8ToWide(utf8);
    if (wide && c->fn) c->fn(c->ctx, wide);
    GuardedFree(wide);
}

// One pump turn of every page; the timer stops when nothing waits.
static void RecTick() {
    bool waiting = false;
    std::vector<WvRecConn*> conns = gRecConns;
    for (WvRecConn* c : conns) c->refs++;
    for (WvRecConn* c : conns) {
        RecPagePumpTurn(&c->page);
        waiting = waiting || !c->page.pending.empty();
    }
    for (WvRecConn* c : conns) RecConnRelease(c);
    if (!waiting) KillTimer(WvRuntimeWindow(), kWvTickTimer);
}

static void RecArmTimer() {
    gWvTick = RecTick;
    SetTimer(WvRuntimeWindow(), kWvTickTimer, kTickMs, nullptr);
}

struct RecCompletion {
    WvCreatedFn done;
    void* ctx;
    WvObject* obj;
};

static void RunRecCompletion(void* arg) {
    RecCompletion c = *static_cast<RecCompletion*>(arg);
    delete static_cast<RecCompletion*>(arg);
    c.done(c.ctx, c.obj ? S_OK : E_FAIL, c.obj);
}

static HRESULT RecQueue(WvCreatedFn done, void* ctx, WvObject* obj) {
    RecCompletion* c = new RecCompletion{done, ctx, obj};
    if (!WvQueueCall(RunRecCompletion, c)) {
        delete c;
        WvRelease(obj);
        return E_FAIL;
    }
    return S_OK;
}

static HRESULT RecCreateEnvironment(WvCreatedFn done, void* ctx) {
    return RecQueue(done, ctx, WvObjectNew(&kWvRuntimeRecord, kWvEnvironment, nullptr));
}

static HRESULT RecCreateController(WvObject*, HWND parent, WvCreatedFn done, void* ctx) {
    WvRecConn* c = new WvRecConn();
    RecPageInit(&c->page, c, nullptr, RecDeliver);
    c->page.user = c;
    c->parent = parent;
    c->refs = 1;
    gRecConns.push_back(c);
    gWvRecLast = c;
    if (gWvRecSetup) gWvRecSetup(c);
    WvObject* obj = WvObjectNew(&kWvRuntimeRecord, kWvController, c);
    if (!obj) RecConnRelease(c);
    return RecQueue(done, ctx, obj);
}

static HRESULT RecGetView(WvObject* controller, WvObject** view) {
    WvRecConn* c = WvRecConnOf(controller);
    *view = WvObjectNew(&kWvRuntimeRecord, kWvView, c);
    if (!*view) return E_OUTOFMEMORY;
    c->refs++;
    return S_OK;
}

static HRESULT RecPutBounds(WvObject* controller, const RECT* r) {
    WvRecConn* c = WvRecConnOf(controller);
    c->bounds = *r;
    return S_OK;
}

static HRESULT RecPutVisible(WvObject* controller, BOOL visible) {
    WvRecConnOf(controller)->visible = visible != 0;
    return S_OK;
}

static HRESULT RecMoveFocus(WvObject* controller) {
    WvRecConnOf(controller)->focusMoves++;
    return S_OK;
}

static HRESULT RecNotifyMoved(WvObject* controller) {
    WvRecConnOf(controller)->parentMoves++;
    return S_OK;
}

static HRESULT RecPutBackColor(WvObject* controller, WvColor color) {
    if (gWvRecNoBackColor) return E_NOINTERFACE;
    WvRecConn* c = WvRecConnOf(controller);
    c->color = color;
    c->colorsSet++;
    return S_OK;
}

static HRESULT RecCloseController(WvObject* controller) {
    WvRecConnOf(controller)->controllerClosed = true;
    return S_OK;
}

static HRESULT RecApplySettings(WvObject* view, const WvSettings* s) {
    WvRecConnOf(view)->settings = *s;
    return S_OK;
}

static HRESULT RecNavigate(WvObject* view, const WCHAR* url) {
    WvRecConn* c = WvRecConnOf(view);
    char* utf8 = WvWideToUtf8(url, nullptr);
    c->url = utf8 ? utf8 : "";
    GuardedFree(utf8);
    if (gWvRecAnnounceLoad) {
        RecPageInject(&c->page, RecActionMessage(kActPageLoaded).c_str(), 0);
        RecArmTimer();
    }
    return S_OK;
}

static HRESULT RecAddHandler(WvObject* view, WvMessageFn fn, void* ctx, int64_t* token) {
    WvRecConn* c = WvRecConnOf(view);
    c->fn = fn;
    c->ctx = ctx;
    c->token = reinterpret_cast<intptr_t>(c);
    if (token) *token = c->token;
    return S_OK;
}

static HRESULT RecRemoveHandler(WvObject* view, int64_t token) {
    WvRecConn* c = WvRecConnOf(view);
    if (token != c->token) return E_INVALIDARG;
    c->fn = nullptr;
    return S_OK;
}

static HRESULT RecPostString(WvObject* view, const WCHAR* text) {
    WvRecConn* c = WvRecConnOf(view);
    char* utf8 = WvWideToUtf8(text, nullptr);
    if (!utf8) return E_OUTOFMEMORY;
    RecPagePost(&c->page, utf8);
    GuardedFree(utf8);
    if (!c->page.pending.empty()) RecArmTimer();
    return S_OK;
}

static void RecDestroy(WvObject* obj) {
    if (obj->impl) RecConnRelease(static_cast<WvRecConn*>(obj->impl));
}

const WvRuntime kWvRuntimeRecord = {
    .name = "record",
    .createEnvironment = RecCreateEnvironment,
    .createController = RecCreateController,
    .getView = RecGetView,
    .putBounds = RecPutBounds,
    .putVisible = RecPutVisible,
    .moveFocus = RecMoveFocus,
    .notifyParentMoved = RecNotifyMoved,
    .putBackColor = RecPutBackColor,
    .closeController = RecCloseController,
    .applySettings = RecApplySettings,
    .navigate = RecNavigate,
    .addMessageHandler = RecAddHandler,
    .removeMessageHandler = RecRemoveHandler,
    .postString = RecPostString,
    .destroy = RecDestroy,
};
