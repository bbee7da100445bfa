// wvpane.cpp - the window of a page-host view: a child of the host window that
// covers the area the view is given, follows its bounds and visibility, and
// paints what the view has to show there; when the view's page host has ended,
// a short message saying so.
#include "webview/wvpane.h"

#include <cstring>
#include <new>

static const char kPaneClass[] = "QovWebViewPane";
static const char kEndedText[] = "the web view has stopped: its page host ended";
static const COLORREF kPaneBack = RGB(255, 255, 255);
static const COLORREF kEndedBack = RGB(255, 240, 240);
static const COLORREF kEndedTextColor = RGB(96, 0, 0);
static const int kEndedMargin = 8;

// What one pane shows, kept in its window's user data.
struct WvPaneState {
    bool ended;
    const WvPaneClient* client;   // null once the view lets go of the pane
    void* ctx;
};

static WvPaneState* StateOf(HWND pane) { return reinterpret_cast<WvPaneState*>(GetWindowLongPtrA(pane, GWLP_USERDATA)); }

static void PaintEnded(HDC dc, const RECT* area) {
    HBRUSH back = CreateSolidBrush(kEndedBack);
    FillRect(dc, area, back);
    DeleteObject(back);
    RECT text = *area;
    InflateRect(&text, -kEndedMargin, -kEndedMargin);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, kEndedTextColor);
    HGDIOBJ old = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
    DrawTextA(dc, kEndedText, -1, &text, DT_LEFT | DT_TOP | DT_WORDBREAK | DT_NOPREFIX);
    SelectObject(dc, old);
}

static LRESULT CALLBACK PaneProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
    WvPaneState* st = StateOf(wnd);
    switch (msg) {
    case WM_ERASEBKGND:
        return 1;   // the paint covers every pixel
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(wnd, &ps);
        RECT area;
        GetClientRect(wnd, &area);
        if (st && st->ended) {
            PaintEnded(dc, &area);
        } else if (!st || !st->client || !st->client->paint || !st->client->paint(st->ctx, dc, &area)) {
            HBRUSH back = CreateSolidBrush(kPaneBack);
            FillRect(dc, &area, back);
            DeleteObject(back);
        }
        EndPaint(wnd, &ps);
        return 0;
    }
    case WM_NCDESTROY:
        delete st;
        SetWindowLongPtrA(wnd, GWLP_USERDATA, 0);
        break;
    }
    if (st && st->client && st->client->input) {
        LRESULT handled = 0;
        if (st->client->input(st->ctx, wnd, msg, wp, lp, &handled)) return handled;
    }
    return DefWindowProcA(wnd, msg, wp, lp);
}

static bool RegisterPaneClass() {
    static bool registered;
    if (registered) return true;
    WNDCLASSA wc = {};
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = PaneProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.lpszClassName = kPaneClass;
    registered = RegisterClassA(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
    return registered;
}

HWND WvPaneCreate(HWND parent, const WvPaneClient* client, void* ctx) {
    if (!parent || !IsWindow(parent) || !RegisterPaneClass()) return nullptr;
    WvPaneState* st = new (std::nothrow) WvPaneState{false, client, ctx};
    if (!st) return nullptr;
    RECT r = {0, 0, 0, 0};
    GetClientRect(parent, &r);
    // Hidden until the host asks for it to be shown (with its first bounds).
    HWND pane = CreateWindowExA(0, kPaneClass, "", WS_CHILD | WS_CLIPSIBLINGS, 0, 0, r.right, r.bottom, parent,
                                nullptr, GetModuleHandleA(nullptr), nullptr);
    if (!pane) {
        delete st;
        return nullptr;
    }
    SetWindowLongPtrA(pane, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(st));
    return pane;
}

void WvPaneSetBounds(HWND pane, const RECT* r) {
    if (!pane) return;
    SetWindowPos(pane, nullptr, r->left, r->top, r->right > r->left ? r->right - r->left : 0,
                 r->bottom > r->top ? r->bottom - r->top : 0, SWP_NOZORDER | SWP_NOACTIVATE);
}

void WvPaneSetVisible(HWND pane, bool visible) {
    if (pane) ShowWindow(pane, visible ? SW_SHOWNA : SW_HIDE);
}

void WvPaneShowEnded(HWND pane) {
    WvPaneState* st = pane ? StateOf(pane) : nullptr;
    if (!st || st->ended) return;
    st->ended = true;
    st->client = nullptr;
    InvalidateRect(pane, nullptr, FALSE);
}

bool WvPaneIs(HWND wnd) {
    char cls[sizeof kPaneClass + 1] = {};
    return wnd && GetClassNameA(wnd, cls, sizeof cls) > 0 && strcmp(cls, kPaneClass) == 0;
}

void WvPaneDetach(HWND pane) {
    WvPaneState* st = pane ? StateOf(pane) : nullptr;
    if (st) st->client = nullptr;
}

void WvPaneDestroy(HWND pane) {
    if (pane && IsWindow(pane)) DestroyWindow(pane);
}
