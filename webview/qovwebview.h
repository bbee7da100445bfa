// qovwebview.h - CQovWebView, the COM object that hosts one web view in a
// native window: environment, controller and view of the runtime layer, the
// start page, page messages to the channel, size, focus, background colour.
#pragma once

#include <windows.h>
#include <oleauto.h>
#include <unknwn.h>

#include <cstdint>

#include "webview/wvruntime.h"

struct ObjectRecord;

// Set when a host's page has posted its first message, or its creation failed.
extern bool gWebViewReady;

class CQovWebView : public IUnknown {
public:
    explicit CQovWebView(ObjectRecord* owner);
    virtual ~CQovWebView();

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    HRESULT Create(const char* url);
    void Close();
    void Resize();
    void MoveFocus();
    void NotifyParentMoved();
    HRESULT PostText(const char* utf8);
    void SetBackColor(COLORREF color, bool transparent);
    void SetOwner(ObjectRecord* owner);

    // The creation wait of WebViewCreate watches this host's own flag.
    bool Completed() const { return completed_; }
    void ClearCompleted() { completed_ = false; }
    ObjectRecord* Owner() const { return owner_; }
    // S_OK, or kWvNotAnswering / kWvEnded (also for a host whose creation
    // failed): its objects' operations then answer -52. Each change is logged.
    HRESULT Health();

private:
    static void OnEnvironmentCreated(void* self, HRESULT hr, WvObject* env);
    static void OnControllerCreated(void* self, HRESULT hr, WvObject* controller);
    static void OnWebMessage(void* self, const WCHAR* text);
    void ApplyBackColor();
    void MarkCompleted();
    HRESULT NoteHealth(HRESULT health);

    ULONG refs_;
    HWND parent_;
    ObjectRecord* owner_;
    BSTR lastPosted_;
    BSTR startUrl_;
    uint8_t firstMessageSeen_;
    WvColor pendingColor_;
    uint8_t colorPending_;
    int64_t messageToken_;
    WvObject* environment_;
    WvObject* webView_;
    WvObject* controller_;
    const WvRuntime* runtime_;
    bool completed_;
    uint32_t generation_;     // completions of an earlier Create are ignored
    bool ended_;              // the runtime said the view's page has ended
    HRESULT health_;          // as last logged
};

// NUL-terminated UTF-8 to a new wide string; null when memory runs out.
BSTR Utf8ToBstr(const char* text);
