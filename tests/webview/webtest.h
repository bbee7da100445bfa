// webtest.h - shared set-up of the web-view tests: records for web views and a
// recording page per host, wired into the channel's hooks.
#pragma once

#include <cstring>
#include <string>
#include <vector>

#include "webview/core/webchannel.h"
#include "webview/core/webtext.h"
#include "webview/core/wvrecpage.h"

struct TestView {
    WindowRecord window;     // a native window that hosts a web view
    RecPage page;
};

extern TestView gViewA, gViewB;
extern std::vector<std::string> gDispatched;

inline void PumpBoth() {
    RecPagePumpTurn(&gViewA.page);
    RecPagePumpTurn(&gViewB.page);
}

inline int32_t PostToPage(void* host, const char* text) {
    return RecPagePost(static_cast<RecPage*>(host), text);
}

inline void DeliverToChannel(RecPage*, ObjectRecord* owner, const char* text) {
    WebViewMsgReceive(owner, text, strlen(text));
}

inline void DispatchRecorder(ObjectRecord*, JsonValue* event) {
    const char* name = JsonGetText(event, "name");
    gDispatched.push_back(name ? name : "?");
}

inline void ResetView(TestView* v) {
    memset(&v->window, 0, sizeof v->window);
    v->window.hdr.kind = kKindWindow;
    v->window.webHost = &v->page;
    RecPageInit(&v->page, &v->page, &v->window.hdr, DeliverToChannel);
}

inline void ResetChannel() {
    WebChannelCleanup();
    gWebFetchAllowed = true;
    gDispatched.clear();
    ResetView(&gViewA);
    ResetView(&gViewB);
    gWebHooks = WebChannelHooks();
    gWebHooks.postText = PostToPage;
    gWebHooks.pumpTurn = PumpBoth;
    gWebHooks.pageEventDispatch = DispatchRecorder;
}

// A command for the current web view: action 24 on element n.
inline void SendCommand(int n) {
    char sel[16];
    snprintf(sel, sizeof sel, "#C%d", n);
    JsonBeginAction(24);
    JsonAddStringNoConv("en", sel);
    WebViewMsgEnd();
}
