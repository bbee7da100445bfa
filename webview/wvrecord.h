// wvrecord.h - the recording backend of the runtime layer: each controller
// holds a recording page and notes what the host asked of it.
#pragma once

#include "webview/core/wvrecpage.h"
#include "webview/wvruntime.h"

struct WvRecConn {
    RecPage page;
    HWND parent;
    RECT bounds;
    bool visible;
    WvColor color;
    int colorsSet;
    int focusMoves, parentMoves;
    bool controllerClosed;
    std::string url;
    WvSettings settings;
    WvMessageFn fn;
    void* ctx;
    int64_t token;
    LONG refs;
};

// Called for each new controller, before its creation completes, so a test can
// set answers up; announceLoad makes the page say "action" 1 when navigated.
extern void (*gWvRecSetup)(WvRecConn* conn);
extern bool gWvRecAnnounceLoad;
extern bool gWvRecNoBackColor;       // a controller without the background-colour interface
extern WvRecConn* gWvRecLast;        // the newest controller's record
WvRecConn* WvRecConnOf(WvObject* obj);
