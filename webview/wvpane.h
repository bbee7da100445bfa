// wvpane.h - the window a page-host view shows its page in: a child of the
// host window, sized and shown as the host asks, painted by the view, and the
// short messages of a view whose page is not answering or whose page host ended.
#pragma once

#include <windows.h>

// What the view does for its pane: paint (false: nothing to show yet, the
// pane fills itself white) and the user's input (true when handled, with the
// window procedure's result in *result).
struct WvPaneClient {
    bool (*paint)(void* ctx, HDC dc, const RECT* area);
    bool (*input)(void* ctx, HWND pane, UINT msg, WPARAM wp, LPARAM lp, LRESULT* result);
};

HWND WvPaneCreate(HWND parent, const WvPaneClient* client, void* ctx);
void WvPaneSetBounds(HWND pane, const RECT* bounds);
void WvPaneSetVisible(HWND pane, bool visible);
// The page host ended: the pane shows so in the host's area from now on.
void WvPaneShowEnded(HWND pane);
// Whether the window is a view's pane (its keys are the page's).
bool WvPaneIs(HWND wnd);
// Alt+F4 in a pane: true when the client closed a window of the pane's page
// in place of the native window that shows it (set by the web view's glue).
extern bool (*gWvPaneCloseKey)(HWND pane);
// The view's page is not answering (on) or answers again (off): a veil over
// the page's picture says so while it lasts.
void WvPaneShowNotAnswering(HWND pane, bool on);
// The view is going: the pane no longer calls it.
void WvPaneDetach(HWND pane);
void WvPaneDestroy(HWND pane);
