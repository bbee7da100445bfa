// webhtmltwin.cpp - a native HTML control's own page host: the web view made
// in the control's window, the twin made in its page to fill it, and the
// control's content, methods and focus handed to the twin with that host
// current.
#include "webview/webhtmltwin.h"

#include <cstdio>

#include "objects/objops.h"
#include "objects/objtables.h"
#include "webview/controls/webhtmlctl.h"
#include "webview/core/webchannel.h"
#include "webview/core/webobject.h"
#include "webview/core/webprops.h"
#include "webview/core/webtext.h"
#include "webview/webglue.h"

namespace {

// The twin covers the page, whatever place the control has in its window.
void FillPage(ObjectRecord* twin) {
    WebSetElemCss(twin, "left", "0px", false);
    WebSetElemCss(twin, "top", "0px", false);
    WebSetElemCss(twin, "width", "100%", false);
    WebSetElemCss(twin, "height", "100%", false);
    WebViewMsgFlush();
}

// Runs with the host current and puts the one before back.
struct HostScope {
    void* kept;
    explicit HostScope(ObjectRecord* twin) : kept(gCurWebView) { WebViewSelectForObject(twin); }
    ~HostScope() {
        WebViewMsgFlush();
        gCurWebView = kept;
    }
};

}  // namespace

void* WebHtmlTwinCreate(ObjectRecord* control, ObjectCreateRecord* cr, ObjectRecord** twin) {
    *twin = nullptr;
    void* host = nullptr;
    // Making the view pumps until its page is ready: the control may go meanwhile.
    ObjectRef ref = ObjectRefOf(control);
    bool made = WebViewCreate(control, &host, nullptr, false);
    if (!ObjectRefAlive(ref) || !made) {
        WebViewClose(host);
        return nullptr;
    }
    ObjectCreateRecord inPage = *cr;
    inPage.flags0 |= kCrVisible;
    int32_t result = 0;
    ObjectRecord* made2 = WebViewCreateObject(kTypeHTMLControl, host, control, kKindHtmlControl, &inPage, &result);
    if (!made2 || !ObjectRefAlive(ref)) {
        WebViewForgetOwner(control);
        WebViewClose(host);
        return nullptr;
    }
    {
        HostScope scope(made2);
        FillPage(made2);
    }
    *twin = made2;
    return host;
}

void WebHtmlTwinDestroy(ObjectRecord* control, void* host, ObjectRecord* twin) {
    WebViewForgetOwner(control);
    if (twin && ObjectIsLive(twin)) ObjectDestroy(twin);
    WebViewClose(host);
}

void WebHtmlTwinResize(void* host) { WebViewResize(host); }

int32_t WebHtmlTwinSetContent(void*, ObjectRecord* twin, const char* text) {
    HostScope scope(twin);
    return WebHtmlCtlSetContent(twin, text, 0, true);
}

int32_t WebHtmlTwinMethod(void*, ObjectRecord* twin, MethodCallRec* call) {
    HostScope scope(twin);
    return WebHtmlControlMethod(twin, call);
}

int32_t WebHtmlTwinFocus(void* host, ObjectRecord* twin, int32_t direction) {
    WebViewFocus(host);
    HostScope scope(twin);
    return WebHtmlControlFocus(twin, direction);
}

// The twin takes the control's property changes but its place: it fills its
// own page, which the control's window sizes, so the control's position and
// size stay with the native window.
int32_t WebHtmlTwinSetProp(void*, ObjectRecord* twin, const PropChange* req) {
    switch (req->id) {
    case kPidLeft: case kPidTop: case kPidWidth: case kPidHeight: case kPidVisible: return 0;
    default: break;
    }
    HostScope scope(twin);
    int32_t rc = WebSetPropById(twin, req->id, req->value, req->text, req->textLength);
    // A change may write the element's whole style, its place from the twin's
    // record among it: the twin goes back to filling the page.
    if (ObjectIsLive(twin)) FillPage(twin);
    return rc;
}

int32_t WebHtmlTwinGetContent(void*, ObjectRecord* twin) {
    HostScope scope(twin);
    int32_t value = 0;
    const char* text = nullptr;
    int32_t rc = WebGetProp(twin, kPidInnerHtml, &value, &text);
    if (rc == 0 && text != gTextBuf) snprintf(gTextBuf, kTextBufSize + 1, "%s", text ? text : "");
    return rc;
}

int32_t WebHtmlTwinEnable(void*, ObjectRecord* twin, bool on) {
    HostScope scope(twin);
    return WebEnableObject(twin, 0, on);
}
