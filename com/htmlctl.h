// htmlctl.h - the native HTML control (type 60, kind 52): its record, creator,
// page loading, rebuild after a form load, focus, and the steps the page's
// event sinks call through the control's window.
#pragma once

#include <windows.h>

#include <cstdint>

#include "objects/guihooks.h"
#include "objects/objops.h"
#include "objects/objrecord.h"
#include "session/proto/records.h"

struct CQovPanelWebBrowser;

struct HtmlControlRecord {
    ObjectRecord hdr;
    uint32_t webMode;
    uint8_t bdrStyle;               // 1 none, 2 thin, 3 thin and sunken
    uint8_t scrollBar;              // 1-4; 3 hides the page's scroll bars
    CQovPanelWebBrowser* site;      // null while no page is loaded
    void* webHost;                  // the control's own web view (WebMode 2 and more)
    ObjectRecord* twin;             // the web-view twin (WebMode 2 and more)
    char* innerHtml;                // the last text or URL given, null when empty
    int32_t tabId;                  // tab id of the element that last took the focus
    uint32_t codePage;              // 0 UTF-8, 1-399 ANSI, 400 and above that page
    uint32_t menuFlags;             // bit 0: the browser shows its own context menu
    char focusId[32];               // the focused element's id, at most 31 characters
};

constexpr int kHtmlRebuildMax = 32000;

// The web view's share of a control with WebMode 2 or more: a page host of the
// control's own in its window, and the twin record in that page that takes
// the content, the methods and the focus. The start-up wiring fills it; with
// an empty entry such a control is refused.
struct HtmlTwinHooks {
    // The host (null when none could be made); *twin receives the twin.
    void* (*create)(ObjectRecord* control, ObjectCreateRecord* cr, ObjectRecord** twin);
    void (*destroy)(ObjectRecord* control, void* host, ObjectRecord* twin);
    void (*resize)(void* host);
    int32_t (*setContent)(void* host, ObjectRecord* twin, const char* text);
    int32_t (*method)(void* host, ObjectRecord* twin, MethodCallRec* call);
    int32_t (*focus)(void* host, ObjectRecord* twin, int32_t direction);
    // A property change the twin applies too (its answer, or 0).
    int32_t (*setProp)(void* host, ObjectRecord* twin, const PropChange* req);
    // The twin's InnerHtml into gTextBuf.
    int32_t (*getContent)(void* host, ObjectRecord* twin);
    int32_t (*enable)(void* host, ObjectRecord* twin, bool on);
};
extern HtmlTwinHooks gHtmlTwinHooks;
// The channel's view of a control with a twin: its host, and the record its
// page's events are looked up under (the control, whose child the twin is).
void* HtmlControlTwinHost(ObjectRecord* rec);
ObjectRecord* HtmlControlTwinPage(ObjectRecord* rec);

ObjectRecord* HtmlControlCreate(uint32_t type, ObjectCreateRecord* cr, int32_t* code);
// Loads text (or a URL) into the control; keep stores it as InnerHtml first.
// 0, or 2 when no browser could be created.
int32_t HtmlControlLoadPage(HtmlControlRecord* h, const char* text, uint32_t flags, bool keep);
// Loads the page of the record (single) or of it and its later siblings,
// entering Panels, for every HTML control with InnerHtml.
void HtmlControlRebuildAll(ObjectRecord* rec, bool single);
// Directions 0 plain, 1 forward, 2 backward, 3 first, 4 last; 1 when the focus
// could not be placed inside the page.
int32_t HtmlControlSetFocus(ObjectRecord* rec, int32_t direction);
int32_t HtmlControlMenuAllowed(HWND wnd);
void HtmlControlOnTabFocus(HWND wnd, int32_t tabId, const char* elementId);
void HtmlControlOnFocusChange(HWND wnd, const char* elementId, bool leaving);
int32_t HtmlControlOnReadyState(HWND wnd);
// The creator, operation row, method table and the key hooks.
FacilityRow HtmlControlInstall();
