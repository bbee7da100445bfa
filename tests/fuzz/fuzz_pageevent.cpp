// fuzz_pageevent.cpp - hostile page events against a tree of web-view objects:
// the input is the text of one event message as the page's fetch answer holds
// it; it is routed as a fetched event would be, to a main window and a dialog
// with push buttons, check boxes, radio buttons, a file button and an HTML
// control (its content's rows, keys, edits and focus "edata") and a toolbar
// with a push button, a drop-down, check and radio buttons (its clicks and
// choices), each with its events registered. Whatever the members hold, nothing may be read out
// of bounds and the queue of posted events is emptied after each input.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "objects/crstream.h"
#include "objects/events.h"
#include "objects/objcreate.h"
#include "objects/objhooks.h"
#include "objects/objops.h"
#include "session/proto/protocol.h"
#include "session/util/json.h"
#include "webview/controls/webcontrols.h"
#include "webview/controls/webtoolbar.h"
#include "webview/core/webchannel.h"
#include "webview/core/webevents.h"
#include "webview/core/webgeneric.h"
#include "webview/core/webobject.h"
#include "webview/core/wvrecpage.h"

namespace {

RecPage gPage;
ObjectRecord* gHost;

int32_t PostRec(void*, const char* text) {
    gPage.posts.clear();   // only the sending matters here
    return RecPagePost(&gPage, text);
}
void PumpRec() { RecPagePumpTurn(&gPage); }
void DeliverNothing(RecPage*, ObjectRecord*, const char*) {}

ObjectRecord* Make(uint32_t type, ObjectRecord* window, int32_t winType, int32_t buttonType, int32_t group) {
    static ObjectCreateRecord cr;
    CreateRecordReset(&cr);
    cr.flags0 = kCrVisible;
    cr.top = 1;
    cr.left = 1;
    cr.bottom = 3;
    cr.right = 11;
    if (type == kTypeWindow) {
        cr.bottom = 300;
        cr.right = 400;
        cr.units = 5;
        cr.winType = winType;
    }
    if (window) cr.window = window->handle;
    cr.buttonType = buttonType;
    if (group) {
        cr.values[50] = group;
        cr.given[50] = 1;
    }
    int32_t code = 0;
    return ObjectCreate(type, &cr, &code);
}

// A toolbar on the window with one button of each kind that reports clicks.
void AddToolBar(ObjectRecord* window, const int32_t* values) {
    ObjectRecord* bar = Make(kTypeToolbar, window, 0, 0, 0);
    if (!bar) return;
    static const char kMenu[] = "Red;-;(Blue;Green";
    for (int32_t style : {3, 2, 1, 5, 6, 6}) {
        static ObjectCreateRecord b;
        CreateRecordReset(&b);
        b.flags0 = kCrVisible;
        b.values[216] = style;
        b.given[216] = 1;
        b.texts[221] = CrText{kMenu, sizeof kMenu - 1};
        int32_t code = 0;
        ToolBarAddButton(bar, &b, &code);
    }
    for (uint32_t ev : {4u, 6u, 19u, 26u}) EventRegister(bar, ev, values, false, nullptr, 0);
}

void Setup() {
    ObjectSetupTables();
    gWebHooks.postText = PostRec;
    gWebHooks.pumpTurn = PumpRec;
    gWebHooks.topWindow = ObjectTopWindow;
    gObjectHooks.fontRelease = WebFontRelease;
    WebObjectsInstall();
    gHost = ObjectAllocRecord(kKindWindow, sizeof(WindowRecord), false);
    RecPageInit(&gPage, &gPage, gHost, DeliverNothing);
    reinterpret_cast<WindowRecord*>(gHost)->webHost = &gPage;
    reinterpret_cast<WindowRecord*>(gHost)->style[1] |= kWindowWebHostBit;
    gMainWindowObj = gHost;
    gWebFetchAllowed = true;
    ObjectRecord* main = Make(kTypeWindow, nullptr, 5, 0, 0);
    ObjectRecord* dialog = Make(kTypeWindow, nullptr, 2, 0, 0);
    const int32_t values[4] = {1, 0, 0, 0};
    for (ObjectRecord* w : {main, dialog}) {
        if (!w) continue;
        ObjectRecord* made[] = {
            Make(kTypeButton, w, 0, 0, 0), Make(kTypeButton, w, 0, 3, 0), Make(kTypeCheckbox, w, 0, 0, 1),
            Make(kTypeRadio, w, 0, 0, 1), Make(kTypeRadio, w, 0, 0, 1), Make(kTypeHTMLControl, w, 0, 0, 0),
        };
        for (ObjectRecord* rec : made)
            for (uint32_t ev : {3u, 4u, 6u, 13u, 14u, 15u, 19u, 200u, 201u}) {
                if (rec) EventRegister(rec, ev, values, false, nullptr, 0);
            }
        for (uint32_t ev : {5u, 12u, 17u}) EventRegister(w, ev, values, false, nullptr, 0);
        AddToolBar(w, values);
    }
    gWebActiveWindow = main;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static bool ready = false;
    if (!ready) {
        Setup();
        ready = true;
    }
    JsonValue* ev = JsonParse(reinterpret_cast<const char*>(data), size);
    if (!ev) return 0;
    WebPageEventDispatch(gHost, ev);
    JsonFree(ev);
    EventCleanup();
    WebViewMsgFlush();
    return 0;
}
