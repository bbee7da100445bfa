// htmlctl.h - the native HTML control (type 60, kind 52): its record, creator,
// page loading, rebuild after a form load, focus, and the steps the page's
// event sinks call through the control's window.
#pragma once

#include <windows.h>

#include <cstdint>

#include "objects/objrecord.h"

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
void HtmlControlInstall();
