// prtpreview.cpp - the print preview: the modal window that shows a job's
// spooled pages at its close (paging, zoom, Go To, print, save as PDF,
// close), its layout and scrolling, the mapping of printer pixels onto it,
// its labels, and the printing of spooled pages at close. The preview in a
// panel (prtprevpanel.cpp) shares the layout, scrolling and drawing.
#include "print/prtpreview.h"

#include <commctrl.h>

#include <cstdio>
#include <cstring>
#include <initializer_list>

#include "objects/color.h"
#include "objects/guihooks.h"
#include "objects/objrecord.h"
#include "objects/pump.h"
#include "session/config.h"
#include "session/log.h"
#include "session/session.h"
#include "session/settings.h"
#include "session/util/mem.h"

PrtPrevState* gCurPrtPrev;

static const char kPrevClass[] = "QovPrtPrevWin";
constexpr int kPrtSetPrevCentre = 399;          // setting: centre the preview over its owner
constexpr int kPrevLabelsConfigId = 1;          // QOVWIN_PRTPREV
constexpr int32_t kPrevButtonW = 65, kPrevButtonH = 20, kPrevButtonY = 3, kPrevButtonStep = 70, kPrevButtonX = 5;
constexpr int32_t kPrevButtonBar = 25;
constexpr int32_t kPrevIgnoreClicksAbove = 31;
constexpr int32_t kPrevLine = 10;
constexpr int32_t kPrevButtonFontSize = 80;
constexpr UINT kPrevStatusSimple = 0x10;        // the common controls' simple-status style value
constexpr int kPrevHBarId = 800, kPrevVBarId = 900;
constexpr int kGoToDialog = 402, kGoToPrompt = 101, kGoToEdit = 102;
constexpr int kGoToTextMax = 19;
enum PrevWinDetail : uint32_t {
    kPrevErrClass = 150, kPrevErrWindow = 151, kPrevErrButton = 152, kPrevErrStatus = 153, kPrevErrHBar = 154,
    kPrevErrVBar = 155,
};

// Button ids and their labels, in the state's order.
static const struct {
    int id;
    size_t label;
} kPrevButtons[kPrevButtonCount] = {
    {kPrevIdPrint, kPrevLblPrint},     {kPrevIdNext, kPrevLblNext},     {kPrevIdPrev, kPrevLblPrev},
    {kPrevIdGoTo, kPrevLblGoTo},       {kPrevIdZoomIn, kPrevLblZoomIn}, {kPrevIdZoomOut, kPrevLblZoomOut},
    {kPrevIdClose, kPrevLblClose},     {kPrevIdFirst, kPrevLblFirst},   {kPrevIdLast, kPrevLblLast},
    {kPrevIdToPdf, kPrevLblToPdf},
};
// Where each button sits from the left, after Print (and To PDF when shown).
static const int kPrevButtonOrder[] = {kPrevBtnNext, kPrevBtnPrev, kPrevBtnFirst, kPrevBtnLast, kPrevBtnGoTo,
                                       kPrevBtnZoomIn, kPrevBtnZoomOut, kPrevBtnClose};

static PrevLabels gPrevLabels;
static WNDPROC gPrevButtonBase;

// ---- Labels ---------------------------------------------------------------------------------

void PrtPrevSetLabels(const char* text) { ClientSettingSet(kSetPreviewLabels, 0, text); }

const char* PrtPrevGetLabels() { return gClientConfig.previewLabels ? gClientConfig.previewLabels : ""; }

// The server's text, else the setting, else the built-in set.
void PrtPrevLoadLabels(bool printDialog) {
    const char* text = gClientConfig.previewLabels;
    if (!text || !*text) text = GetWinSetting(kPrevLabelsConfigId);
    PrevLoadLabels(text, printDialog, &gPrevLabels);
}

const char* PrtPrevLabel(size_t i) { return PrevLabelText(gPrevLabels, i); }

// ---- Mapping ----------------------------------------------------------------------------------

int32_t PrtPrevMapX(const PrinterRec* j, int32_t x) {
    const PrtPrevState* p = j->prev;
    return p ? PrevMap(x, p->scale, p->area.left, p->hPos) : x;
}

int32_t PrtPrevMapY(const PrinterRec* j, int32_t y) {
    const PrtPrevState* p = j->prev;
    return p ? PrevMap(y, p->scale, p->area.top, p->vPos) : y;
}

int32_t PrtPrevScaleLength(const PrinterRec* j, int32_t n) {
    const PrtPrevState* p = j->prev;
    if (!p) return n;
    int32_t v = static_cast<int32_t>(static_cast<int64_t>(n) * p->scale / 1000);
    return v < 1 && n > 0 ? 1 : v;
}

// ---- Layout -------------------------------------------------------------------------------------

static void SetButtonEnabled(PrtPrevState* p, int index, bool on) {
    if (p->buttons[index]) EnableWindow(p->buttons[index], on ? TRUE : FALSE);
}

// Moves the focus from one button to another when it sits on the first.
static void MoveFocusOff(PrtPrevState* p, int from, int to) {
    if (p->buttons[from] && GetFocus() == p->buttons[from] && p->buttons[to]) SetFocus(p->buttons[to]);
}

void PrtPrevSetScrollBars(PrtPrevState* p) {
    p->fillCorner = false;
    if (p->ownH) SetScrollRange(p->wnd, SB_HORZ, 0, 0, TRUE);
    if (p->ownV) SetScrollRange(p->wnd, SB_VERT, 0, 0, TRUE);
    int32_t width = p->client.right, height = p->client.bottom - p->statusH;
    bool needV = p->page.bottom + kPrevMargin > height;
    bool needH = p->page.right + kPrevMargin > width;
    if (needV && !needH && p->page.right + kPrevMargin + p->vBarW > width) needH = true;
    if (needH && !needV && p->page.bottom + kPrevMargin + p->hBarH > height) needV = true;
    bool both = needV && needH;
    p->vRange = needV ? p->page.bottom + kPrevMargin - height + (both ? p->hBarH : 0) : 0;
    p->hRange = needH ? p->page.right + kPrevMargin - width + (both ? p->vBarW : 0) : 0;
    p->hPos = p->vPos = 0;
    p->vTaken = needV ? p->vBarW : 0;
    p->hTaken = needH ? p->hBarH : 0;
    if (both) {
        p->fillCorner = true;
        p->corner = RECT{width - p->vBarW, height - p->hBarH, width, height};
    }
    if (p->vbar) {
        if (needV) {
            MoveWindow(p->vbar, width - p->vBarW, p->buttonBar, p->vBarW, height - p->buttonBar - p->hTaken, TRUE);
            SetScrollRange(p->vbar, SB_CTL, 0, p->vRange, FALSE);
            SetScrollPos(p->vbar, SB_CTL, 0, TRUE);
        }
        ShowWindow(p->vbar, needV ? SW_SHOW : SW_HIDE);
    } else if (p->ownV && needV) {
        SetScrollRange(p->wnd, SB_VERT, 0, p->vRange, TRUE);
    }
    if (p->hbar) {
        if (needH) {
            MoveWindow(p->hbar, 0, height - p->hBarH, width - p->vTaken, p->hBarH, TRUE);
            SetScrollRange(p->hbar, SB_CTL, 0, p->hRange, FALSE);
            SetScrollPos(p->hbar, SB_CTL, 0, TRUE);
        }
        ShowWindow(p->hbar, needH ? SW_SHOW : SW_HIDE);
    } else if (p->ownH && needH) {
        SetScrollRange(p->wnd, SB_HORZ, 0, p->hRange, TRUE);
    }
}

// The sheet's place and scale for the zoom step, from the printer's page.
void AdvPrtPrevRescalePage(PrtPrevState* p, PrinterRec* j) {
    HDC pdc = j->dc;
    PrevLayoutIn in = {};
    in.pageW = pdc ? GetDeviceCaps(pdc, PHYSICALWIDTH) : 0;
    in.pageH = pdc ? GetDeviceCaps(pdc, PHYSICALHEIGHT) : 0;
    if (!in.pageW || !in.pageH) {
        in.pageW = kPrevDefaultPageW;
        in.pageH = kPrevDefaultPageH;
    }
    int32_t dpiX = pdc ? GetDeviceCaps(pdc, LOGPIXELSX) : 300, dpiY = pdc ? GetDeviceCaps(pdc, LOGPIXELSY) : 300;
    in.vertRes = pdc ? GetDeviceCaps(pdc, VERTRES) : in.pageH;
    if (dpiX != dpiY && dpiX > 0) {
        DebugLogWrite("140.AdvPrtPrevRescalePage",
                          "UNEQUAL Print Resolutions..Horizontal:%d  Vertical:%d pixels/inch!", dpiX, dpiY);
        in.pageH = PrevUnequalPageHeight(GetDeviceCaps(pdc, VERTSIZE), dpiX);
        in.vertRes = in.pageH;
    }
    // The page at 100 %: printer pixels to inches, inches to screen pixels.
    int32_t screenX = GetDeviceCaps(p->dc, LOGPIXELSX), screenY = GetDeviceCaps(p->dc, LOGPIXELSY);
    in.page100W = dpiX > 0 ? MulDiv(in.pageW, screenX, dpiX) : in.pageW;
    in.page100H = dpiX > 0 ? MulDiv(in.pageH, screenY, dpiX == dpiY ? dpiY : dpiX) : in.pageH;
    GetClientRect(p->wnd, &p->client);
    in.clientW = p->client.right;
    in.clientH = p->client.bottom;
    in.buttonBar = p->buttonBar;
    in.statusBar = p->statusH;
    in.step = p->zoomStep;
    in.requestedPct = p->requestedPct;
    in.stopsAtOne = p->stopsAtOne;
    in.physOffX = pdc ? GetDeviceCaps(pdc, PHYSICALOFFSETX) : 0;
    in.physOffY = pdc ? GetDeviceCaps(pdc, PHYSICALOFFSETY) : 0;
    in.horzRes = pdc ? GetDeviceCaps(pdc, HORZRES) : in.pageW;
    PrevLayout l;
    PrevComputeLayout(in, &l);
    if (p->zoomStep == kPrevStepFit) {
        p->zoomStep = l.step;
        p->stopsAtOne = l.stopsAtOne;
        SetButtonEnabled(p, kPrevBtnZoomOut, l.zoomOutEnabled);
        SetButtonEnabled(p, kPrevBtnZoomIn, true);
    }
    p->fittedPct = l.fittedPct;
    p->scale = l.scale;
    p->pageW = in.pageW;
    p->pageH = in.pageH;
    p->page = RECT{l.pageLeft, l.pageTop, l.pageRight, l.pageBottom};
    p->area = RECT{l.areaLeft, l.areaTop, l.areaRight, l.areaBottom};
    PrtPrevSetScrollBars(p);
}

// A rectangle of the window shifted by the scroll positions and kept within
// the view (and, while painting, within the paint rectangle).
static RECT PrtPrevClipToView(const PrtPrevState* p, RECT r, bool layoutPending) {
    OffsetRect(&r, -p->hPos, -p->vPos);
    RECT view = {0, p->buttonBar, p->client.right - p->vTaken, p->client.bottom - p->statusH - p->hTaken};
    RECT out;
    if (!IntersectRect(&out, &r, &view)) return RECT{0, 0, 0, 0};
    if (!layoutPending && p->painting) {
        RECT painted;
        if (!IntersectRect(&painted, &out, &p->paint)) return RECT{0, 0, 0, 0};
        out = painted;
    }
    return out;
}

int32_t PrtPrevBeginPage(PrinterRec* j) {
    PrtPrevState* p = j->prev;
    if (!p || !p->dc) return kPrtPreviewWindow;
    bool pending = p->layoutNeeded != 0;
    if (pending) AdvPrtPrevRescalePage(p, j);
    SelectClipRgn(p->dc, nullptr);
    RECT sheet = p->page;
    InflateRect(&sheet, 1, 1);
    RECT shown = PrtPrevClipToView(p, sheet, pending);
    if (shown.right > shown.left) {
        // The whole sheet with its outline, clipped to what is shown: a strip
        // repainted after a scroll gets the outline only where the sheet's
        // edges really are, not across the page at the strip's own edges.
        OffsetRect(&sheet, -p->hPos, -p->vPos);
        HRGN part = CreateRectRgn(shown.left, shown.top, shown.right, shown.bottom);
        SelectClipRgn(p->dc, part);
        HGDIOBJ oldBrush = SelectObject(p->dc, GetStockObject(WHITE_BRUSH));
        HGDIOBJ oldPen = SelectObject(p->dc, GetStockObject(BLACK_PEN));
        Rectangle(p->dc, sheet.left, sheet.top, sheet.right, sheet.bottom);
        SelectObject(p->dc, oldBrush);
        SelectObject(p->dc, oldPen);
        SelectClipRgn(p->dc, nullptr);
        if (part) DeleteObject(part);
    }
    RECT area = PrtPrevClipToView(p, p->area, pending);
    if (p->clip) DeleteObject(p->clip);
    p->clip = CreateRectRgn(area.left, area.top, area.right, area.bottom);
    SelectClipRgn(p->dc, p->clip);
    p->layoutNeeded = 0;
    return kPrtOk;
}

void PrtPrevEndPage(PrinterRec* j) {
    PrtPrevState* p = j->prev;
    if (!p) return;
    if (p->dc) SelectClipRgn(p->dc, nullptr);
    if (p->clip) DeleteObject(p->clip);
    p->clip = nullptr;
}

// Replays the page in hand onto the preview's context.
int32_t PrtPrevPlayPage(PrtPrevState* p, PrinterRec* j) {
    j->drawDC = p->dc;
    j->prev = p;
    int32_t r = SpoolPlayPage(j);
    if (r && !(j->flags & kPrtFlagErrorLatched)) {
        j->flags |= kPrtFlagErrorLatched;
        j->firstError = static_cast<uint32_t>(r);
    }
    return r;
}

// ---- Scrolling ------------------------------------------------------------------------------------

static int32_t ScrollTarget(int code, int32_t pos, int32_t range, int32_t extent, int32_t given) {
    switch (code) {
    case SB_LINEUP: return pos > kPrevLine ? pos - kPrevLine : 0;
    case SB_LINEDOWN: return pos + kPrevLine < range ? pos + kPrevLine : range;
    case SB_PAGEUP: return pos > extent ? pos - extent : 0;
    case SB_PAGEDOWN: return pos + extent < range ? pos + extent : range;
    case SB_THUMBPOSITION: return given;
    case SB_TOP: return 0;
    case SB_BOTTOM: return range;
    default: return pos;
    }
}

static void PrtPrevScroll(PrtPrevState* p, int code, int32_t given, bool vertical) {
    HWND bar = vertical ? p->vbar : p->hbar;
    bool own = vertical ? p->ownV : p->ownH;
    int32_t& stored = vertical ? p->vPos : p->hPos;
    int32_t range = vertical ? p->vRange : p->hRange;
    int32_t pos = bar ? GetScrollPos(bar, SB_CTL) : own ? GetScrollPos(p->wnd, vertical ? SB_VERT : SB_HORZ) : stored;
    int32_t extent = vertical ? p->client.bottom - p->buttonBar - p->hTaken - p->statusH
                              : p->client.right - 2 * kPrevMargin - p->vTaken;
    int32_t target = ScrollTarget(code, pos, range, extent, given);
    if (target < 0 || target > range || target == pos) return;
    if (bar) SetScrollPos(bar, SB_CTL, target, TRUE);
    else if (own) SetScrollPos(p->wnd, vertical ? SB_VERT : SB_HORZ, target, TRUE);
    int32_t delta = pos - target;
    stored = target;
    RECT area = {0, p->buttonBar, p->client.right - p->vTaken, p->client.bottom - p->statusH - p->hTaken};
    if (vertical) ScrollWindow(p->wnd, 0, delta, &area, &area);
    else ScrollWindow(p->wnd, delta, 0, &area, &area);
}

void PrtPrevHScroll(PrtPrevState* p, int code, int32_t pos) { PrtPrevScroll(p, code, pos, false); }
void PrtPrevVScroll(PrtPrevState* p, int code, int32_t pos) { PrtPrevScroll(p, code, pos, true); }

// ---- Pages ------------------------------------------------------------------------------------------

static void SetStatusText(PrtPrevState* p, PrinterRec* j) {
    if (!p->status) return;
    char text[kPrevLabelBufSize + 32];
    snprintf(text, sizeof text, "%s %d %s %d", PrtPrevLabel(kPrevLblPage),
             static_cast<int>(j->spoolr->current - j->prevFirst + 1), PrtPrevLabel(kPrevLblOf),
             static_cast<int>(j->prevLast - j->prevFirst + 1));
    SendMessageA(p->status, SB_SETTEXTA, SB_SIMPLEID, reinterpret_cast<LPARAM>(text));
}

// Paging buttons by where the page stands in the range.
static void SetPagingButtons(PrtPrevState* p, PrinterRec* j) {
    uint32_t cur = j->spoolr ? j->spoolr->current : j->prevFirst;
    bool one = j->prevFirst == j->prevLast, atLast = cur >= j->prevLast, atFirst = cur <= j->prevFirst;
    if (one) {
        for (int b : {kPrevBtnPrev, kPrevBtnNext, kPrevBtnFirst, kPrevBtnLast}) SetButtonEnabled(p, b, false);
        return;
    }
    if (atLast) MoveFocusOff(p, kPrevBtnNext, kPrevBtnPrev);
    if (atFirst) MoveFocusOff(p, kPrevBtnPrev, kPrevBtnNext);
    SetButtonEnabled(p, kPrevBtnNext, !atLast);
    SetButtonEnabled(p, kPrevBtnLast, !atLast);
    SetButtonEnabled(p, kPrevBtnPrev, !atFirst);
    SetButtonEnabled(p, kPrevBtnFirst, !atFirst);
}

static void HideScrollBars(PrtPrevState* p) {
    if (p->vbar) ShowWindow(p->vbar, SW_HIDE);
    if (p->hbar) ShowWindow(p->hbar, SW_HIDE);
    p->vTaken = p->hTaken = 0;
}

int32_t PrtPrevShowPage(PrtPrevState* p, PrinterRec* j, int64_t n) {
    if (!j->spoolr || j->prevFirst == j->prevLast || n < j->prevFirst || n > j->prevLast ||
        n == j->spoolr->current)
        return kPrtOk;
    HideScrollBars(p);
    p->layoutNeeded = 1;
    int32_t r = PrtSpoolGoTo(j, static_cast<uint32_t>(n));
    SetPagingButtons(p, j);
    SetStatusText(p, j);
    if (p->wnd) InvalidateRect(p->wnd, nullptr, TRUE);
    return r;
}

// ---- Commands -----------------------------------------------------------------------------------------

// To PDF: a file name chosen ends the preview for printing into it.
static void AskPdf(PrtPrevState* p, PrinterRec* j) {
    char file[kPdfFileNameMax + 1];
    if (!PrtAskPdfFileName(j, file)) {
        j->openError = 1;
        return;
    }
    snprintf(j->title, sizeof j->title, "%s", file);
    p->pdfWritten = 1;
    p->printRequested = 1;
    p->running = 0;
}

static void PrintCommand(PrtPrevState* p, PrinterRec* j) {
    if (p->printIsPdf) {
        AskPdf(p, j);
        return;
    }
    if (p->printDialog) {
        int32_t pages = static_cast<int32_t>(j->prevLast - j->prevFirst + 1);
        HDC before = j->dc;
        if (!AdvPrtOpenByDlg(j, 0, kPrtDlgTakeDevMode, pages, p->wnd, kPrtDlgReplaceHandles)) {
            j->openError = 1;
            return;
        }
        if (j->dc != before) {
            j->flags &= ~kPrtFlagPreviewDC;
            PrtDeviceSetup(j, j->docName, strlen(j->docName), 0);
            j->flags |= kPrtFlagPreviewDC;
        }
    }
    p->printRequested = 1;
    p->running = 0;
}

static void Zoom(PrtPrevState* p, bool in) {
    HideScrollBars(p);
    p->layoutNeeded = 1;
    if (in) {
        if (p->zoomStep < kPrevStepMax) p->zoomStep++;
        if (p->zoomStep >= kPrevStepMax) {
            MoveFocusOff(p, kPrevBtnZoomIn, kPrevBtnZoomOut);
            SetButtonEnabled(p, kPrevBtnZoomIn, false);
        }
        SetButtonEnabled(p, kPrevBtnZoomOut, true);
    } else {
        int32_t floor = p->stopsAtOne ? kPrevStep75 : kPrevStepFit;
        if (p->zoomStep > floor) p->zoomStep--;
        if (p->zoomStep <= floor) {
            MoveFocusOff(p, kPrevBtnZoomOut, kPrevBtnZoomIn);
            SetButtonEnabled(p, kPrevBtnZoomOut, false);
        }
        SetButtonEnabled(p, kPrevBtnZoomIn, true);
    }
    InvalidateRect(p->wnd, nullptr, TRUE);
}

// The dialog's loop may sleep until its next message: one is posted to wake it.
static void EndGoTo(HWND dlg, INT_PTR result) {
    EndDialog(dlg, result);
    PostMessageA(dlg, WM_NULL, 0, 0);
}

static INT_PTR GoToProc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp) {
    PrtPrevState* p = gCurPrtPrev;
    PrinterRec* j = gCurPrtRec;
    switch (msg) {
    case WM_INITDIALOG: {
        if (p && p->wnd) {
            RECT o, d;
            GetWindowRect(p->wnd, &o);
            GetWindowRect(dlg, &d);
            SetWindowPos(dlg, nullptr, o.left + ((o.right - o.left) - (d.right - d.left)) / 2,
                         o.top + ((o.bottom - o.top) - (d.bottom - d.top)) / 2, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        }
        SetWindowTextA(dlg, PrtPrevLabel(kPrevLblGoToTitle));
        SetDlgItemTextA(dlg, kGoToPrompt, PrtPrevLabel(kPrevLblGoToPrompt));
        SetDlgItemTextA(dlg, IDOK, PrtPrevLabel(kPrevLblGoToOk));
        SetDlgItemTextA(dlg, IDCANCEL, PrtPrevLabel(kPrevLblGoToCancel));
        char num[24];
        snprintf(num, sizeof num, "%d",
                 j && j->spoolr ? static_cast<int>(j->spoolr->current - j->prevFirst + 1) : 1);
        SetDlgItemTextA(dlg, kGoToEdit, num);
        HWND edit = GetDlgItem(dlg, kGoToEdit);
        SendMessageA(edit, EM_SETSEL, 0, -1);
        SetFocus(edit);
        if (gPrtDlgHook) gPrtDlgHook(dlg);
        return FALSE;
    }
    case WM_COMMAND:
        if (LOWORD(wp) == IDOK) {
            char text[kGoToTextMax + 1] = "";
            GetDlgItemTextA(dlg, kGoToEdit, text, sizeof text);
            uint32_t page = 0;
            bool ok = p && j && PrevParseGoTo(text, j->prevFirst, &page);
            if (ok) p->gotoPage = page;
            EndGoTo(dlg, ok ? 1 : 0);
            return TRUE;
        }
        if (LOWORD(wp) == IDCANCEL) {
            EndGoTo(dlg, 0);
            return TRUE;
        }
        break;
    case WM_CLOSE:
        EndGoTo(dlg, 0);
        return TRUE;
    default: break;
    }
    (void)lp;
    return FALSE;
}

void PrtPrevCommand(PrtPrevState* p, PrinterRec* j, int id) {
    uint32_t cur = j->spoolr ? j->spoolr->current : j->prevFirst;
    switch (id) {
    case kPrevIdPrint: PrintCommand(p, j); break;
    case kPrevIdToPdf: AskPdf(p, j); break;
    case kPrevIdNext: PrtPrevShowPage(p, j, static_cast<int64_t>(cur) + 1); break;
    case kPrevIdPrev: PrtPrevShowPage(p, j, static_cast<int64_t>(cur) - 1); break;
    case kPrevIdFirst: PrtPrevShowPage(p, j, j->prevFirst); break;
    case kPrevIdLast: PrtPrevShowPage(p, j, j->prevLast); break;
    case kPrevIdGoTo:
        if (DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(kGoToDialog), p->wnd,
                            GuardedDialogProc<INT_PTR, GoToProc>, 0) == 1)
            PrtPrevShowPage(p, j, p->gotoPage);
        break;
    case kPrevIdZoomIn: Zoom(p, true); break;
    case kPrevIdZoomOut: Zoom(p, false); break;
    case kPrevIdClose:
        if (p->pdfAllowed && (p->printIsPdf || p->toPdfShown)) AskPdf(p, j);
        else p->running = 0;
        break;
    default: break;
    }
}

// ---- Keys and the window ------------------------------------------------------------------------------

static bool KeyDown(PrtPrevState* p, PrinterRec* j, WPARAM key) {
    bool shift = (GetKeyState(VK_SHIFT) & 0x8000) != 0;
    bool vShown = p->vTaken != 0, hShown = p->hTaken != 0;
    switch (key) {
    case VK_PRIOR:
        if (!shift && vShown) PrtPrevVScroll(p, SB_PAGEUP, 0);
        else PrtPrevCommand(p, j, kPrevIdPrev);
        return true;
    case VK_NEXT:
        if (!shift && vShown) PrtPrevVScroll(p, SB_PAGEDOWN, 0);
        else PrtPrevCommand(p, j, kPrevIdNext);
        return true;
    case VK_END: PrtPrevCommand(p, j, kPrevIdLast); return true;
    case VK_HOME: PrtPrevCommand(p, j, kPrevIdFirst); return true;
    case VK_LEFT: if (hShown) PrtPrevHScroll(p, SB_LINEUP, 0); return true;
    case VK_RIGHT: if (hShown) PrtPrevHScroll(p, SB_LINEDOWN, 0); return true;
    case VK_UP: if (vShown) PrtPrevVScroll(p, SB_LINEUP, 0); return true;
    case VK_DOWN: if (vShown) PrtPrevVScroll(p, SB_LINEDOWN, 0); return true;
    default: return false;
    }
}

// A preview button's keys are the preview's (answered 0); the rest, and a key
// whose work cannot be held in memory, go to the button.
static bool PrtPrevButtonKey(HWND, UINT msg, WPARAM wp, LPARAM, LRESULT* result) {
    *result = 0;
    return msg == WM_KEYDOWN && gCurPrtPrev && gCurPrtRec && KeyDown(gCurPrtPrev, gCurPrtRec, wp);
}

static LRESULT PrtPrevButtonBase(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
    return CallWindowProcA(gPrevButtonBase, wnd, msg, wp, lp);
}

static void PaintPreview(PrtPrevState* p, PrinterRec* j) {
    PAINTSTRUCT ps;
    BeginPaint(p->wnd, &ps);
    p->paint = ps.rcPaint;
    p->painting = true;
    SetBkMode(p->dc, OPAQUE);
    SetROP2(p->dc, R2_COPYPEN);
    HGDIOBJ oldPen = SelectObject(p->dc, GetStockObject(BLACK_PEN));
    MoveToEx(p->dc, 0, 0, nullptr);
    LineTo(p->dc, p->client.right, 0);
    SelectObject(p->dc, oldPen);
    if (p->fillCorner) FillRect(p->dc, &p->corner, GetSysColorBrush(COLOR_BTNFACE));
    // What cannot be held stops the page's drawing, never the paint's own end.
    CatchNoMemory("the preview's paint", [&] { PrtPrevPlayPage(p, j); });
    p->painting = false;
    EndPaint(p->wnd, &ps);
}

static void PrtPrevSetClassLook(HWND wnd);

static LRESULT PrtPrevWndProcWork(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
    PrtPrevState* p = gCurPrtPrev;
    PrinterRec* j = gCurPrtRec;
    if (!p || p->wnd != wnd || !j) return DefWindowProcA(wnd, msg, wp, lp);
    switch (msg) {
    case WM_PAINT: PaintPreview(p, j); return 0;
    case WM_SIZE:
        if (wp != SIZE_MINIMIZED && wp != SIZE_MAXSHOW && wp != SIZE_MAXHIDE) {
            GetClientRect(wnd, &p->client);
            if (p->status) SendMessageA(p->status, WM_SIZE, 0, 0);
            HideScrollBars(p);
            p->layoutNeeded = 1;
        }
        return 0;
    case WM_SETFOCUS:
        SetFocus(p->lastFocus && IsWindow(p->lastFocus) ? p->lastFocus : p->buttons[kPrevBtnClose]);
        return 0;
    case WM_KILLFOCUS: {
        HWND f = GetFocus();
        if (f && IsChild(wnd, f)) p->lastFocus = f;
        return 0;
    }
    case WM_CLOSE: p->running = 0; return 0;
    case WM_ERASEBKGND: {
        HDC dc = reinterpret_cast<HDC>(wp);
        RECT bar = {0, 0, p->client.right, p->buttonBar};
        FillRect(dc, &bar, GetSysColorBrush(COLOR_WINDOW));
        RECT rest = {0, p->buttonBar, p->client.right, p->client.bottom - p->statusH};
        FillRect(dc, &rest, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
        return 1;
    }
    case WM_SYSCOLORCHANGE:
        UpdateSysColors();
        PrtPrevSetClassLook(wnd);
        InvalidateRect(wnd, nullptr, TRUE);
        return 0;
    case WM_COMMAND:
        if (lp) PrtPrevCommand(p, j, LOWORD(wp));
        return 0;
    case WM_HSCROLL: PrtPrevHScroll(p, LOWORD(wp), static_cast<int16_t>(HIWORD(wp))); return 0;
    case WM_VSCROLL: PrtPrevVScroll(p, LOWORD(wp), static_cast<int16_t>(HIWORD(wp))); return 0;
    case WM_LBUTTONDOWN: case WM_RBUTTONDOWN: {
        if (static_cast<int16_t>(HIWORD(lp)) < kPrevIgnoreClicksAbove) return 0;
        bool down = msg == WM_LBUTTONDOWN;
        if (!(wp & MK_SHIFT) && p->vTaken) PrtPrevVScroll(p, down ? SB_PAGEDOWN : SB_PAGEUP, 0);
        else PrtPrevCommand(p, j, down ? kPrevIdNext : kPrevIdPrev);
        return 0;
    }
    case WM_MOUSEWHEEL:
        if (p->vTaken) PrtPrevVScroll(p, static_cast<int16_t>(HIWORD(wp)) < 0 ? SB_LINEDOWN : SB_LINEUP, 0);
        return 0;
    default: return DefWindowProcA(wnd, msg, wp, lp);
    }
}

// ---- Window ---------------------------------------------------------------------------------------------

// The preview's class takes the window background of the moment (the system
// colour may have changed since the class was registered) and the icon of the
// client's own windows.
static void PrtPrevSetClassLook(HWND wnd) {
    SetClassLongPtrA(wnd, GCLP_HBRBACKGROUND, reinterpret_cast<LONG_PTR>(GetSysColorBrush(COLOR_WINDOW)));
    WNDCLASSA client;
    if (GetClassInfoA(GetModuleHandleA(nullptr), kClassWindow, &client) && client.hIcon)
        SetClassLongPtrA(wnd, GCLP_HICON, reinterpret_cast<LONG_PTR>(client.hIcon));
}

static int32_t WinFail(uint32_t detail) {
    PrtSetWinErr(detail);
    return kPrtPreviewWindow;
}

static bool RegisterPreviewClass() {
    WNDCLASSA probe;
    if (GetClassInfoA(GetModuleHandleA(nullptr), kPrevClass, &probe)) return true;
    WNDCLASSA wc = {};
    wc.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS | CS_OWNDC;
    wc.lpfnWndProc = GuardedWndProc<PrtPrevWndProcWork>;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = kPrevClass;
    return RegisterClassA(&wc) != 0;
}

// Centred over the owner, never above or left of the virtual screen.
static void PrtPrevCenterOnOwner(HWND wnd, HWND owner) {
    RECT o, w;
    if (!owner || !GetWindowRect(owner, &o) || !GetWindowRect(wnd, &w)) return;
    int32_t x = o.left + ((o.right - o.left) - (w.right - w.left)) / 2;
    int32_t y = o.top + ((o.bottom - o.top) - (w.bottom - w.top)) / 2;
    int32_t minX = GetSystemMetrics(SM_XVIRTUALSCREEN), minY = GetSystemMetrics(SM_YVIRTUALSCREEN);
    SetWindowPos(wnd, nullptr, x < minX ? minX : x, y < minY ? minY : y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
}

static HWND MakeButton(PrtPrevState* p, int index, int32_t x) {
    const char* label = PrtPrevLabel(index == kPrevBtnPrint && p->printIsPdf ? kPrevLblToPdf : kPrevButtons[index].label);
    HWND b = CreateWindowA("button", label, WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_GROUP, x, kPrevButtonY,
                           kPrevButtonW, kPrevButtonH, p->wnd,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(kPrevButtons[index].id)),
                           GetModuleHandleA(nullptr), nullptr);
    if (!b) return nullptr;
    if (p->buttonFont) SendMessageA(b, WM_SETFONT, reinterpret_cast<WPARAM>(p->buttonFont->hfont), FALSE);
    if (index != kPrevBtnToPdf) {
        WNDPROC base = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrA(b, GWLP_WNDPROC,
                              reinterpret_cast<LONG_PTR>(GuardedSubclassProc<PrtPrevButtonKey, PrtPrevButtonBase>)));
        if (!gPrevButtonBase) gPrevButtonBase = base;
    }
    return b;
}

int32_t PrtPrevCreateWindow(PrtPrevState* p, PrinterRec* j, bool maximized) {
    if (!RegisterPreviewClass()) return WinFail(kPrevErrClass);
    char title[kPrevLabelBufSize + kPrtDocNameMax + 1];
    snprintf(title, sizeof title, "%s%s", PrtPrevLabel(kPrevLblTitle), j->docName);
    HWND owner = gDlgStatePos && gModalLevels[gDlgStatePos].window ? gModalLevels[gDlgStatePos].window->hwnd : nullptr;
    if (!owner) owner = DialogOwnerWindow(GetActiveWindow());
    // A window shown maximized is made at the work area's size from the start:
    // without a window manager the display keeps the size a window was made with.
    RECT at = {CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT};
    if (maximized && SystemParametersInfoA(SPI_GETWORKAREA, 0, &at, 0)) {
        at.right -= at.left;
        at.bottom -= at.top;
    } else {
        at = RECT{CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT};
    }
    p->wnd = CreateWindowExA(WS_EX_CONTROLPARENT, kPrevClass, title,
                             WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MAXIMIZEBOX, at.left, at.top, at.right,
                             at.bottom, owner, nullptr, GetModuleHandleA(nullptr), nullptr);
    if (!p->wnd) return WinFail(kPrevErrWindow);
    p->dc = GetDC(p->wnd);
    p->buttonFont = FontCreateShared("Ms Sans Serif", kPrevButtonFontSize, 0, 0, 0, nullptr, 0, 0, 0);
    int32_t x = kPrevButtonX;
    if (!(p->buttons[kPrevBtnPrint] = MakeButton(p, kPrevBtnPrint, x))) return WinFail(kPrevErrButton);
    x += kPrevButtonStep;
    if (p->toPdfShown) {
        if (!(p->buttons[kPrevBtnToPdf] = MakeButton(p, kPrevBtnToPdf, x))) return WinFail(kPrevErrButton);
        x += kPrevButtonStep;
    }
    for (int index : kPrevButtonOrder) {
        if (!(p->buttons[index] = MakeButton(p, index, x))) return WinFail(kPrevErrButton);
        x += kPrevButtonStep;
    }
    if (!CommonControlsInit()) return WinFail(kPrevErrStatus);
    p->status = CreateWindowA(STATUSCLASSNAMEA, "", WS_CHILD | WS_VISIBLE | kPrevStatusSimple, 0, 0, 0, 0, p->wnd,
                              nullptr, GetModuleHandleA(nullptr), nullptr);
    if (!p->status) return WinFail(kPrevErrStatus);
    SendMessageA(p->status, SB_SIMPLE, TRUE, 0);
    SetStatusText(p, j);
    RECT sr;
    GetClientRect(p->status, &sr);
    p->statusH = sr.bottom;
    p->hbar = CreateWindowA("scrollbar", "", WS_CHILD | SBS_HORZ, 0, 0, 0, 0, p->wnd,
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(kPrevHBarId)), GetModuleHandleA(nullptr),
                            nullptr);
    if (!p->hbar) return WinFail(kPrevErrHBar);
    p->vbar = CreateWindowA("scrollbar", "", WS_CHILD | SBS_VERT, 0, 0, 0, 0, p->wnd,
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(kPrevVBarId)), GetModuleHandleA(nullptr),
                            nullptr);
    if (!p->vbar) return WinFail(kPrevErrVBar);
    p->vBarW = GetSystemMetrics(SM_CXVSCROLL);
    p->hBarH = GetSystemMetrics(SM_CYHSCROLL);

    if (p->zoomStep == kPrevStepFit || (p->zoomStep == kPrevStep75 && p->stopsAtOne))
        SetButtonEnabled(p, kPrevBtnZoomOut, false);
    else if (p->zoomStep >= kPrevStepMax)
        SetButtonEnabled(p, kPrevBtnZoomIn, false);
    SetPagingButtons(p, j);
    if (p->printNotAllowed) SetButtonEnabled(p, kPrevBtnPrint, false);

    PrtPrevSetClassLook(p->wnd);
    if (ClientSettingGet(kPrtSetPrevCentre)) PrtPrevCenterOnOwner(p->wnd, owner);
    ShowWindow(p->wnd, maximized ? SW_SHOWMAXIMIZED : SW_SHOWNORMAL);
    SetActiveWindow(p->wnd);
    SetFocus(p->buttons[kPrevBtnZoomOut]);
    GetClientRect(p->wnd, &p->client);

    if (gDlgStatePos && gModalLevels[gDlgStatePos].window && gModalLevels[gDlgStatePos].window->hwnd) {
        p->disabledModal = gModalLevels[gDlgStatePos].window->hwnd;
        EnableWindow(p->disabledModal, FALSE);
        p->disabledOthers = 1;
    } else if (!gAllWindowsDisabled) {
        EnableAllWindows(false);
        EnableWindow(p->wnd, TRUE);
        p->disabledOthers = 1;
    }
    j->drawDC = p->dc;
    return kPrtOk;
}

void PrtPrevDestroyWindow(PrtPrevState* p, PrinterRec* j) {
    if (p->disabledOthers) {
        if (p->disabledModal) {
            if (IsWindow(p->disabledModal)) EnableWindow(p->disabledModal, TRUE);
        } else {
            EnableAllWindows(true);
        }
        p->disabledOthers = 0;
    }
    if (p->clip) DeleteObject(p->clip);
    p->clip = nullptr;
    if (p->dc && p->wnd) ReleaseDC(p->wnd, p->dc);
    p->dc = nullptr;
    if (p->buttonFont) FontRelease(p->buttonFont);
    p->buttonFont = nullptr;
    PrtFontRelease(j->screenFont);
    j->screenFont = nullptr;
    if (p->wnd) {
        ShowWindow(p->wnd, SW_HIDE);
        DestroyWindow(p->wnd);   // its buttons, status bar and scroll bars with it
    }
    p->wnd = nullptr;
    j->drawDC = j->dc;
    j->prev = nullptr;
}

// ---- Running the preview -------------------------------------------------------------------------------

// One turn of the preview's loop: the preview's own pre-translation (the
// dialog keys except the arrows, which scroll), then the client's.
static void PreviewPumpTurn(PrtPrevState* p) {
    PumpIdleStep();
    MSG m = {};
    int got = GetMessageA(&m, nullptr, 0, 0);
    if (got <= 0) {
        PumpEndSession(got, m.wParam);
        p->running = 0;
        return;
    }
    bool arrow = m.message == WM_KEYDOWN && m.wParam >= VK_LEFT && m.wParam <= VK_DOWN;
    bool taken = !arrow && p->wnd && IsDialogMessageA(p->wnd, &m);
    if (!taken) CatchNoMemory("a key's translation", [&] { taken = KeyPreTranslate(&m); });
    if (!taken) {
        TranslateMessage(&m);
        DispatchMessageA(&m);
    }
    PumpAfterDispatchStep();
}

int32_t PrtPreviewRun(PrinterRec* j, uint32_t* block) {
    PrtPrevState state = {};
    PrtPrevState* p = &state;
    PrtPrevState* savedPrev = gCurPrtPrev;
    gCurPrtPrev = p;
    p->layoutNeeded = 1;
    p->buttonBar = kPrevButtonBar;
    if (block[kPrevWordZoom] > static_cast<uint32_t>(kPrevStepMax)) block[kPrevWordZoom] = kPrevStepMax;
    p->zoomStep = static_cast<int32_t>(block[kPrevWordZoom]);
    p->stopsAtOne = p->zoomStep != kPrevStepFit;
    p->printDialog = block[kPrevWordPrintDialog] == 1;
    p->printNotAllowed = block[kPrevWordNoPrint] == 1;
    PrtPrevLoadLabels(p->printDialog);
    p->printIsPdf = (j->pdfFlags & kPrtPdfSpool) != 0;
    p->toPdfShown = !p->printIsPdf && (j->pdfFlags & kPrtPdfTitled);
    p->pdfAllowed = (j->pdfFlags & kPrtPdfPreviewOpt) != 0;

    j->flags |= kPrtFlagPreviewDC | kPrtFlagDocPending;
    int32_t r = PrtSpoolOpenReader(j);
    uint32_t pages = r ? 0 : j->spoolr->pages;
    uint32_t first = block[kPrevWordFirst] ? block[kPrevWordFirst] : 1;
    uint32_t last = block[kPrevWordLast];
    if (!r) {
        if (!last || last > pages) last = block[kPrevWordLast] = pages;
        if (first > last) r = kPrtPreviewRange;
    }
    if (!r) {
        j->prevFirst = first;
        j->prevLast = last;
        uint64_t start = static_cast<uint64_t>(block[kPrevWordStart] ? block[kPrevWordStart] : 1) + first - 1;
        if (start > last) start = last;
        block[kPrevWordStart] = static_cast<uint32_t>(start);
        if (j->spoolr->current < start) r = PrtSpoolGoTo(j, static_cast<uint32_t>(start));
    }
    if (!r) {
        r = PrtPrevCreateWindow(p, j, block[kPrevWordMaximized] != 0);
        if (!r) {
            j->prev = p;
            InvalidateRect(p->wnd, nullptr, TRUE);
            p->running = 1;
            SrvMsgNest nest;
            while (p->running && gSession.state != kSessionEnded) {
                PreviewPumpTurn(p);
                // A message taken meanwhile may have made another job current.
                gCurPrtRec = j;
                gCurPrtPrev = p;
                if (!IsWindow(p->wnd)) break;
            }
        }
        PrtPrevDestroyWindow(p, j);
    }
    j->flags &= ~(kPrtFlagPreviewDC | kPrtFlagDocPending);
    PrtSetCurrent(j);
    if (!r && p->printRequested) {
        if (p->pdfWritten) j->pdfFlags |= kPrtPdfSpool;
        r = SpoolPrintPages(j, true, j->openOptions);
        block[kPrtCloseWordPages] = j->pagesPrinted;
        block[kPrtCloseWordCopies] = j->copies;
    }
    gCurPrtPrev = savedPrev;
    return r;
}

static int32_t PrtSpoolPrintAtClose(PrinterRec* job, uint32_t*) {
    return SpoolPrintPages(job, false, job->openOptions);
}

int32_t (*gPrtPreviewRun)(PrinterRec* job, uint32_t* block) = PrtPreviewRun;
int32_t (*gPrtSpoolPrint)(PrinterRec* job, uint32_t* block) = PrtSpoolPrintAtClose;

void PrtPreviewInstall() { PrtPreviewPanelInstall(); }
