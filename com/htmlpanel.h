// htmlpanel.h - the browser host of the HTML control: the site object that
// embeds the platform's WebBrowser in a window, loads text, temporary pages or
// URLs into it, sizes, draws and closes it; element and style access; and the
// DOM event sinks of marked elements. All on the main thread.
#pragma once

#include <windows.h>

#include <exdisp.h>

#include <cstdint>

struct CQovPanelWebBrowser;

// Per-thread state: the code page of every text conversion here (0 the ANSI
// code page; the control sets it around each call), the flags of the last load
// (GetHostInfo reads them) and the blank page's path.
extern thread_local UINT gHtmlCodePage;
extern thread_local uint32_t gHtmlLoadFlags;
extern thread_local char gBlankPagePath[MAX_PATH];

enum HtmlPanelResult : int32_t { kPanelOk = 0, kPanelEmbedFailed = -1, kPanelNoMemory = -2 };
constexpr char kBlankPageName[] = "qovblank.html";
constexpr char kWrapperPageName[] = "qovif.html";

int32_t HtmlPanelCreate(HWND host, CQovPanelWebBrowser** out);
int32_t HtmlPanelLoad(CQovPanelWebBrowser* site, const char* text, uint32_t flags, HWND owner, int32_t hookEvents,
                      int32_t* iframe);
int32_t HtmlPanelExecCommand(CQovPanelWebBrowser* site, const char* command);
int32_t HtmlPanelResize(CQovPanelWebBrowser* site, HWND wnd, int32_t force);
int32_t HtmlPanelDraw(CQovPanelWebBrowser* site, HDC dc, const RECT* rect);
// Closes the browser and drops the reference HtmlPanelCreate gave; the count left.
int32_t HtmlPanelRelease(CQovPanelWebBrowser* site);
int32_t HtmlPanelTranslateAccel(CQovPanelWebBrowser* site, MSG* m);

// Element and style access: readers clear the buffer and fill it only when the
// whole value fits (never cut).
int32_t HtmlPanelGetElemProp(CQovPanelWebBrowser* site, const char* id, const char* prop, char* out, uint32_t size,
                             int32_t reserved);
int32_t HtmlPanelSetElemProp(CQovPanelWebBrowser* site, const char* id, const char* prop, const char* value,
                             int32_t reserved);
int32_t HtmlPanelGetStyle(CQovPanelWebBrowser* site, const char* id, const char* name, char* out, uint32_t size,
                          int32_t reserved);
int32_t HtmlPanelSetStyle(CQovPanelWebBrowser* site, const char* id, const char* name, const char* value,
                          int32_t reserved);
int32_t HtmlPanelFocusElement(CQovPanelWebBrowser* site, const char* id);

// Event sinks, focus and tab ids.
int32_t HtmlPanelHookElements(CQovPanelWebBrowser* site, HWND owner);
int32_t HtmlPanelSetMarkedDisabled(CQovPanelWebBrowser* site, int32_t disabled);
int32_t HtmlPanelHideFocus(CQovPanelWebBrowser* site, int32_t hide);
int32_t HtmlPanelFocusTab(CQovPanelWebBrowser* site, int32_t current, int32_t forward);

// What the sinks ask of the control that owns the window (filled by the control).
struct HtmlPanelOwnerHooks {
    int32_t (*menuAllowed)(HWND owner);                    // 1: cancel the browser's menu
    void (*onTabFocus)(HWND owner, int32_t tabId, const char* elementId);
    void (*onFocusChange)(HWND owner, const char* elementId, bool leaving);
    int32_t (*onReadyState)(HWND owner);
    int32_t (*postEvent)(HWND owner, const char* json);    // event 200 with the JSON text
};
extern HtmlPanelOwnerHooks gHtmlPanelOwner;

// For tests: the site count and the live sites.
LONG HtmlPanelLiveSites();
// The browser's host-info answer (DOCHOSTUIINFO flags) as the site gives it.
HRESULT HtmlPanelHostInfo(CQovPanelWebBrowser* site, DWORD* flags, DWORD* size);
// The site's faces for tests.
IUnknown* HtmlPanelUnknown(CQovPanelWebBrowser* site);
IWebBrowser2* HtmlPanelBrowser(CQovPanelWebBrowser* site);
