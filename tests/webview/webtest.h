// webtest.h - shared set-up of the web-view tests: records for web views and a
// recording page per host, wired into the channel's hooks; and for the object
// tests a native host window whose web view is a recording page.
#pragma once

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "objects/crstream.h"
#include "objects/objcreate.h"
#include "objects/objhooks.h"
#include "objects/objops.h"
#include "webview/controls/webcontrols.h"
#include "webview/core/webchannel.h"
#include "webview/core/webobject.h"
#include "webview/core/weboptions.h"
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

// ---- A native host window with a recording page (the object tests) ----------------

inline RecPage gPage;
inline ObjectRecord* gHost;
inline int32_t PostRec(void*, const char* text) { return RecPagePost(&gPage, text); }
inline void PumpRec() { RecPagePumpTurn(&gPage); }

// Fresh tables, options, hooks and web-view objects, and gHost: a native
// window whose web view is gPage (deliver receives what the page sends).
// False when the host could not be made.
inline bool WebHostSetUp(void (*deliver)(RecPage*, ObjectRecord*, const char*)) {
    ObjectSetupTables();
    WebOptionsReset();
    WebChannelCleanup();
    WebObjectsReset();
    gWebHooks = WebChannelHooks();
    gWebHooks.postText = PostRec;
    gWebHooks.pumpTurn = PumpRec;
    gWebHooks.topWindow = ObjectTopWindow;
    gObjectHooks = ObjectHooks();
    gWebObjServices = WebObjServices();
    gWebObjectOps = WebObjectOps();
    WebObjectsInstall();
    gHost = ObjectAllocRecord(kKindWindow, sizeof(WindowRecord), false);
    if (!gHost) return false;
    RecPageInit(&gPage, &gPage, gHost, deliver);
    reinterpret_cast<WindowRecord*>(gHost)->webHost = &gPage;
    reinterpret_cast<WindowRecord*>(gHost)->style[1] |= kWindowWebHostBit;
    gMainWindowObj = gHost;
    gWebFetchAllowed = true;
    return true;
}

// Destroys every window and object made, then the host, and resets the hooks.
inline void WebHostTearDown() {
    for (ObjectRecord* w = gWebWindowList; w;) {
        ObjectRecord* next = w->next;
        ObjectDestroy(w);
        w = next;
    }
    while (ObjectLiveCount() > 1) {
        ObjectRecord* r = ObjectLiveAt(ObjectLiveCount() - 1);
        if (r == gHost) r = ObjectLiveAt(0);
        ObjectDestroy(r);
        if (ObjectIsLive(r)) ObjectUnregister(r);
    }
    gMainWindowObj = nullptr;
    ObjectFreeRecord(gHost);
    gHost = nullptr;
    gWebObjectOps = WebObjectOps();
    gObjectHooks = ObjectHooks();
    WebObjectsReset();
    WebChannelCleanup();
}

// Makes an object of the type through the object model: *cr reset, visible,
// in window (when given) at the rectangle top, left, bottom, right, then
// changed by setup. The record, or none.
inline ObjectRecord* WebTestCreate(ObjectCreateRecord* cr, ObjectRecord* window, uint32_t type, const int32_t rect[4],
                                   const std::function<void(ObjectCreateRecord*)>& setup) {
    CreateRecordReset(cr);
    cr->flags0 = kCrVisible;
    cr->top = rect[0];
    cr->left = rect[1];
    cr->bottom = rect[2];
    cr->right = rect[3];
    if (window) cr->window = window->handle;
    if (setup) setup(cr);
    int32_t code = 0;
    return ObjectCreate(type, cr, &code);
}

// What the object tests' page received since last asked (the batch flushed
// first), one message a line; and how often what occurs in text.
inline std::string WebTestPosts() {
    WebViewMsgFlush();
    std::string all;
    for (const RecPost& p : gPage.posts) all += p.text + "\n";
    gPage.posts.clear();
    return all;
}

inline size_t WebTestCount(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

// The page's messages to the channel (the object tests' deliver).
inline void WebTestDeliver(RecPage*, ObjectRecord* owner, const char* text) {
    WebViewMsgReceive(owner, text, strlen(text));
}
