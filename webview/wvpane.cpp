// wvpane.cpp - the window of a page-host view: a child of the host window that
// covers the area the view is given, follows its bounds and visibility, and
// paints what the view has to show there; when the view's page host has ended,
// a short message saying so, and while its page is not answering, a veil over
// the page's last picture saying that.
#include "webview/wvpane.h"

#include <cstring>
#include <new>

#include "session/nomem.h"
#include "session/nomemwin.h"

static const char kPaneClass[] = "QovWebViewPane";
static const char kEndedText[] = "the web view has stopped: its page host ended";
static const char kNotAnsweringText[] = "the web view is not answering: its page is busy or stopped";
static const COLORREF kPaneBack = RGB(255, 255, 255);
static const COLORREF kEndedBack = RGB(255, 240, 240);
static const COLORREF kEndedTextColor = RGB(96, 0, 0);
static const COLORREF kNotAnsweringBack = RGB(255, 248, 208);
static const COLORREF kNotAnsweringTextColor = RGB(96, 64, 0);
static const int kNoticeMargin = 8;
// The veil whitens every other pixel of the page's picture (a checker of
// white and black combined with it by OR).
static const WORD kVeilRows[8] = {0x55, 0xAA, 0x55, 0xAA, 0x55, 0xAA, 0x55, 0xAA};
static const DWORD kRopPatternOrDest = 0x00FA0089;

bool (*gWvPaneCloseKey)(HWND pane);

// What one pane shows, kept in its window's user data.
struct WvPaneState {
    bool ended;
    bool notAnswering;            // the veil is over the page
    const WvPaneClient* client;   // null once the view lets go of the pane
    void* ctx;
};

static WvPaneState* StateOf(HWND pane) { return reinterpret_cast<WvPaneState*>(GetWindowLongPtrA(pane, GWLP_USERDATA)); }

// A notice in the pane: area filled with back, the text in its top left.
static void PaintNotice(HDC dc, const RECT* area, const char* text, COLORREF back, COLORREF fore) {
    HBRUSH brush = CreateSolidBrush(back);
    FillRect(dc, area, brush);
    DeleteObject(brush);
    RECT inside = *area;
    InflateRect(&inside, -kNoticeMargin, -kNoticeMargin);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, fore);
    HGDIOBJ old = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
    DrawTextA(dc, text, -1, &inside, DT_LEFT | DT_TOP | DT_WORDBREAK | DT_NOPREFIX);
    SelectObject(dc, old);
}

static void PaintEnded(HDC dc, const RECT* area) { PaintNotice(dc, area, kEndedText, kEndedBack, kEndedTextColor); }

// The page's picture stays in sight, whitened, under a band across the top
// that says the page is not answering.
static void PaintNotAnswering(HDC dc, const RECT* area) {
    HBITMAP checker = CreateBitmap(8, 8, 1, 1, kVeilRows);
    HBRUSH veil = checker ? CreatePatternBrush(checker) : nullptr;
    if (veil) {
        COLORREF oldText = SetTextColor(dc, RGB(0, 0, 0)), oldBack = SetBkColor(dc, RGB(255, 255, 255));
        HGDIOBJ old = SelectObject(dc, veil);
        PatBlt(dc, area->left, area->top, area->right - area->left, area->bottom - area->top, kRopPatternOrDest);
        SelectObject(dc, old);
        SetTextColor(dc, oldText);
        SetBkColor(dc, oldBack);
        DeleteObject(veil);
    }
    if (checker) DeleteObject(checker);
    RECT band = *area;
    HGDIOBJ old = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
    RECT measured = {0, 0, area->right - area->left - 2 * kNoticeMargin, 0};
    DrawTextA(dc, kNotAnsweringText, -1, &measured, DT_LEFT | DT_TOP | DT_WORDBREAK | DT_NOPREFIX | DT_CALCRECT);
    SelectObject(dc, old);
    band.bottom = band.top + (measured.bottom - measured.top) + 2 * kNoticeMargin;
    if (band.bottom > area->bottom) band.bottom = area->bottom;
    PaintNotice(dc, &band, kNotAnsweringText, kNotAnsweringBack, kNotAnsweringTextColor);
}

static LRESULT PaneProcWork(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
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
        } else {
            // The page's picture: what cannot be held leaves the pane's own colour.
            bool painted = false;
            if (st && st->client && st->client->paint)
                CatchNoMemory("the page's paint", [&] { painted = st->client->paint(st->ctx, dc, &area); });
            if (!painted) {
                HBRUSH back = CreateSolidBrush(kPaneBack);
                FillRect(dc, &area, back);
                DeleteObject(back);
            }
            if (st && st->notAnswering) PaintNotAnswering(dc, &area);
        }
        EndPaint(wnd, &ps);
        return 0;
    }
    case WM_NCDESTROY:
        // The pane's last message: its state goes, and nothing may read it
        // after (the view's input handler is not called for it).
        delete st;
        SetWindowLongPtrA(wnd, GWLP_USERDATA, 0);
        return DefWindowProcA(wnd, msg, wp, lp);
    }
    if (st && st->client && st->client->input) {
        LRESULT handled = 0;
        bool taken = false;
        CatchNoMemory("the page's input", [&] { taken = st->client->input(st->ctx, wnd, msg, wp, lp, &handled); });
        if (taken) return handled;
    }
    return DefWindowProcA(wnd, msg, wp, lp);
}

static bool RegisterPaneClass() {
    static bool registered;
    if (registered) return true;
    WNDCLASSA wc = {};
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = GuardedWndProc<PaneProcWork>;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.lpszClassName = kPaneClass;
    registered = RegisterClassA(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
    return registered;
}

HWND WvPaneCreate(HWND parent, const WvPaneClient* client, void* ctx) {
    if (!parent || !IsWindow(parent) || !RegisterPaneClass()) return nullptr;
    WvPaneState* st = new (std::nothrow) WvPaneState{false, false, client, ctx};
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

void WvPaneShowNotAnswering(HWND pane, bool on) {
    WvPaneState* st = pane ? StateOf(pane) : nullptr;
    if (!st || st->notAnswering == on) return;
    st->notAnswering = on;
    InvalidateRect(pane, nullptr, FALSE);
}

void WvPaneDetach(HWND pane) {
    WvPaneState* st = pane ? StateOf(pane) : nullptr;
    if (st) st->client = nullptr;
}

void WvPaneDestroy(HWND pane) {
    if (pane && IsWindow(pane)) DestroyWindow(pane);
}
