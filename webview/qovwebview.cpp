// qovwebview.cpp - CQovWebView: creation of environment, controller and view
// (each step completing later, from the runtime window), the start page, page
// messages to the channel, and the few operations the client needs.
#include "webview/qovwebview.h"

#include "session/log.h"
#include "session/util/mem.h"
#include "webview/core/webchannel.h"

bool gWebViewReady;

// The context of one pending completion: the host (kept referenced until the
// completion runs) and the Create it belongs to.
struct WvPending {
    CQovWebView* host;
    uint32_t generation;
};

BSTR Utf8ToBstr(const char* text) {
    if (!text) return nullptr;
    WCHAR* wide = WvUtf8ToWide(text);
    if (!wide) return nullptr;
    BSTR out = SysAllocString(wide);
    GuardedFree(wide);
    return out;
}

CQovWebView::CQovWebView(ObjectRecord* owner)
    : refs_(0), parent_(owner ? owner->hwnd : nullptr), owner_(owner), lastPosted_(nullptr), startUrl_(nullptr),
      firstMessageSeen_(0), pendingColor_{0, 0, 0, 0}, colorPending_(0), messageToken_(0), environment_(nullptr),
      webView_(nullptr), controller_(nullptr), runtime_(nullptr), completed_(false), generation_(0), ended_(false),
      health_(S_OK) {}

CQovWebView::~CQovWebView() { Close(); }

HRESULT STDMETHODCALLTYPE CQovWebView::QueryInterface(REFIID riid, void** out) {
    if (!out) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown)) {
        *out = static_cast<IUnknown*>(this);
        AddRef();
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE CQovWebView::AddRef() { return ++refs_; }

ULONG STDMETHODCALLTYPE CQovWebView::Release() {
    ULONG n = --refs_;
    if (n == 0) delete this;
    return n;
}

void CQovWebView::MarkCompleted() {
    completed_ = true;
    gWebViewReady = true;
}

HRESULT CQovWebView::Create(const char* url) {
    Close();
    gWebViewReady = false;
    completed_ = false;
    startUrl_ = Utf8ToBstr(url ? url : "");
    runtime_ = WvRuntimeCurrent();
    WvPending* pending = static_cast<WvPending*>(GuardedAlloc(sizeof(WvPending)));
    if (!pending) return E_OUTOFMEMORY;
    pending->host = this;
    pending->generation = ++generation_;
    AddRef();
    HRESULT hr = runtime_->createEnvironment(OnEnvironmentCreated, pending);
    if (FAILED(hr)) {
        GuardedFree(pending);
        Release();
    }
    return hr;
}

void CQovWebView::OnEnvironmentCreated(void* ctx, HRESULT hr, WvObject* env) {
    WvPending* pending = static_cast<WvPending*>(ctx);
    CQovWebView* self = pending->host;
    bool current = pending->generation == self->generation_;
    if (!current || FAILED(hr) || !env) {
        WvRelease(env);
        if (current) self->MarkCompleted();
        GuardedFree(pending);
        self->Release();
        return;
    }
    self->environment_ = env;
    // The pending record and the host reference pass on to the next step.
    HRESULT next = self->runtime_->createController(env, self->parent_, OnControllerCreated, pending);
    if (FAILED(next)) {
        self->MarkCompleted();
        GuardedFree(pending);
        self->Release();
    }
}

void CQovWebView::OnControllerCreated(void* ctx, HRESULT hr, WvObject* controller) {
    WvPending* pending = static_cast<WvPending*>(ctx);
    CQovWebView* self = pending->host;
    bool current = pending->generation == self->generation_;
    GuardedFree(pending);
    if (!current || FAILED(hr) || !controller) {
        WvRelease(controller);
        if (current) self->MarkCompleted();
        self->Release();
        return;
    }
    const WvRuntime* rt = self->runtime_;
    self->controller_ = controller;
    if (FAILED(rt->getView(controller, &self->webView_)) || !self->webView_) {
        self->webView_ = nullptr;
        self->MarkCompleted();
        self->Release();
        return;
    }
    self->Resize();
    if (self->colorPending_) self->ApplyBackColor();
    WvSettings settings = {false, false, false, false};
    rt->applySettings(self->webView_, &settings);
    rt->navigate(self->webView_, self->startUrl_ ? self->startUrl_ : L"");
    rt->addMessageHandler(self->webView_, OnWebMessage, self, &self->messageToken_);
    self->Release();
}

void CQovWebView::OnWebMessage(void* ctx, const WCHAR* text) {
    CQovWebView* self = static_cast<CQovWebView*>(ctx);
    if (!text) {
        // The runtime lost the view's page for good.
        self->ended_ = true;
        self->NoteHealth(kWvEnded);
        if (!self->completed_) self->MarkCompleted();
        return;
    }
    if (!self->firstMessageSeen_) {
        self->firstMessageSeen_ = 1;
        self->MarkCompleted();
    }
    if (self->owner_) WebViewMessageArrived(self->owner_, reinterpret_cast<const uint16_t*>(text));
}

void CQovWebView::Resize() {
    if (!controller_) return;
    RECT r = {0, 0, 0, 0};
    if (parent_) GetClientRect(parent_, &r);
    runtime_->putBounds(controller_, &r);
    runtime_->putVisible(controller_, TRUE);
}

void CQovWebView::MoveFocus() {
    if (controller_) runtime_->moveFocus(controller_);
}

void CQovWebView::NotifyParentMoved() {
    if (controller_) runtime_->notifyParentMoved(controller_);
}

HRESULT CQovWebView::PostText(const char* utf8) {
    if (lastPosted_) SysFreeString(lastPosted_);
    lastPosted_ = Utf8ToBstr(utf8);
    if (!webView_ || ended_) return NoteHealth(kWvEnded);
    if (!lastPosted_) return E_OUTOFMEMORY;
    HRESULT hr = runtime_->postString(webView_, lastPosted_);
    if (hr == kWvNotAnswering || hr == kWvEnded) return NoteHealth(hr);
    if (hr == kWvPostQueued) {
        NoteHealth(kWvNotAnswering);
        return hr;
    }
    if (SUCCEEDED(hr)) NoteHealth(S_OK);
    return hr;
}

HRESULT CQovWebView::Health() {
    if (!webView_ || ended_) return NoteHealth(kWvEnded);
    return NoteHealth(runtime_->viewHealth ? runtime_->viewHealth(webView_) : S_OK);
}

// One log line per change of the view's state, naming the object it shows.
HRESULT CQovWebView::NoteHealth(HRESULT health) {
    if (health == health_) return health;
    health_ = health;
    unsigned long handle = owner_ ? static_cast<unsigned long>(owner_->handle) : 0;
    const char* state = health == S_OK             ? "answering again"
                        : health == kWvNotAnswering ? "not answering: its operations answer -52"
                                                    : "gone (its page has ended or was never made): its operations answer -52";
    DebugLogWrite("WebView", "the web view of object %lu is %s", handle, state);
    return health;
}

// The latest colour wins: one set before the controller exists is kept until
// the controller can take it, and a later call replaces it.
void CQovWebView::SetBackColor(COLORREF color, bool transparent) {
    pendingColor_.a = transparent ? 0 : 255;
    pendingColor_.r = GetRValue(color);
    pendingColor_.g = GetGValue(color);
    pendingColor_.b = GetBValue(color);
    colorPending_ = 1;
    if (controller_) ApplyBackColor();
}

void CQovWebView::ApplyBackColor() {
    // A runtime without the colour interface keeps the colour pending; nothing
    // else can be done with it.
    if (SUCCEEDED(runtime_->putBackColor(controller_, pendingColor_))) colorPending_ = 0;
}

void CQovWebView::SetOwner(ObjectRecord* owner) { owner_ = owner; }

// Each interface is released once: the view after its subscription is removed,
// the controller after it is closed, then the environment.
void CQovWebView::Close() {
    generation_++;
    if (webView_) {
        runtime_->removeMessageHandler(webView_, messageToken_);
        WvRelease(webView_);
        webView_ = nullptr;
    }
    if (controller_) {
        runtime_->closeController(controller_);
        WvRelease(controller_);
        controller_ = nullptr;
    }
    if (environment_) {
        WvRelease(environment_);
        environment_ = nullptr;
    }
    if (lastPosted_) SysFreeString(lastPosted_);
    if (startUrl_) SysFreeString(startUrl_);
    lastPosted_ = startUrl_ = nullptr;
    messageToken_ = 0;
    firstMessageSeen_ = 0;
}
