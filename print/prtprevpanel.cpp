// prtprevpanel.cpp - the preview of a spool file in a Panel object: loading
// the file with its own printer, the commands and queries of the panel's
// method, its painting, sizing and scrolling, and freeing it. The layout,
// scrolling and replay are the preview window's; every entry switches the
// current job and preview to the panel's and back.
#include "print/prtpreview.h"

#include <cstdio>
#include <cstring>

#include "objects/objhooks.h"
#include "session/config.h"
#include "session/util/mem.h"
#include "session/util/strutil.h"

constexpr int32_t kPanelButtonBar = 2;
// Commands of the panel's method 7.
enum PanelCommand : uint32_t {
    kPanelShowPage = 1, kPanelNext = 2, kPanelPrev = 3, kPanelFirst = 4, kPanelLast = 5, kPanelZoomIn = 6,
    kPanelZoomOut = 7, kPanelZoom = 8, kPanelQuery = 9, kPanelHScrollTo = 10, kPanelVScrollTo = 11,
    kPanelScrollBy = 12,
};
enum PanelQuery : int32_t {
    kQueryPage = 1, kQueryFirst = 2, kQueryLast = 3, kQueryHPos = 4, kQueryHRange = 5, kQueryVPos = 6,
    kQueryVRange = 7, kQueryZoom = 8,
};
enum PanelScrollBy : int32_t {
    kByLineUp = 1, kByLineDown = 2, kByLineLeft = 3, kByLineRight = 4, kByPageUp = 5, kByPageDown = 6,
};

static PrtPrevState* gPanelPreviews;   // every loaded panel preview, for the clean-up at exit

// ---- Switching ----------------------------------------------------------------------------

// The globals of the caller, kept while an entry works on the panel's preview.
struct PanelSwitch {
    PrinterRec* job;
    PrtPrevState* prev;
};

static PanelSwitch SwitchTo(PrtPrevState* p, HDC dc) {
    PanelSwitch saved = {gCurPrtRec, gCurPrtPrev};
    PrtSetCurrent(p->job);
    gCurPrtPrev = p;
    p->dc = dc;
    p->job->drawDC = dc;
    p->job->prev = p;
    return saved;
}

static void SwitchBack(PrtPrevState* p, const PanelSwitch& saved) {
    p->dc = nullptr;
    p->job->drawDC = nullptr;
    PrtSetCurrent(saved.job && saved.job->magic == kPrtMagic ? saved.job : nullptr);
    gCurPrtPrev = saved.prev;
}

static PrtPrevState* StateOf(void** slot) { return slot ? static_cast<PrtPrevState*>(*slot) : nullptr; }

// ---- Freeing --------------------------------------------------------------------------------

static void ReleaseJob(PrinterRec* j) {
    if (j->dc) DeleteDC(j->dc);
    j->dc = j->drawDC = nullptr;
    PrtSpoolRelease(j);
    if (j->spool != INVALID_HANDLE_VALUE) {
        CloseHandle(j->spool);
        if (j->flags & kPrtFlagDeleteSpool) DeleteFileA(j->spoolName);
        j->spool = INVALID_HANDLE_VALUE;
    }
    if (j->devMode) GlobalFree(j->devMode);
    if (j->devNames) GlobalFree(j->devNames);
    PrtFontRelease(j->font);
    PrtFontRelease(j->screenFont);
    if (j->pen) DeleteObject(j->pen);
    if (j->brush) DeleteObject(j->brush);
    PrtRecFree(j);
}

static void ResetOwnScrollBars(const PrtPrevState* p) {
    if (!p->wnd || !IsWindow(p->wnd)) return;
    if (p->ownH) {
        SetScrollPos(p->wnd, SB_HORZ, 0, FALSE);
        SetScrollRange(p->wnd, SB_HORZ, 0, 0, TRUE);
    }
    if (p->ownV) {
        SetScrollPos(p->wnd, SB_VERT, 0, FALSE);
        SetScrollRange(p->wnd, SB_VERT, 0, 0, TRUE);
    }
}

// The job's first drawing error when one was latched, else 0.
int32_t PrevPanelFree(void** slot) {
    PrtPrevState* p = StateOf(slot);
    if (!p) return kPrtOk;
    int32_t result = 0;
    PrinterRec* j = p->job;
    if (j) {
        if (j->flags & kPrtFlagErrorLatched) result = static_cast<int32_t>(j->firstError);
        ReleaseJob(j);
    }
    for (PrtPrevState** link = &gPanelPreviews; *link; link = &(*link)->nextPanel) {
        if (*link == p) {
            *link = p->nextPanel;
            break;
        }
    }
    if (gCurPrtPrev == p) gCurPrtPrev = nullptr;
    ResetOwnScrollBars(p);
    *slot = nullptr;
    LocalFreeMem(p);
    return result;
}

// ---- Loading -----------------------------------------------------------------------------------

// The panel's own job: its printer (the default one for none or "pdf:"), set
// up as a preview job that no server handle reaches.
static int32_t MakePanelJob(const PrevPanelLoadArgs* a, PrinterRec** out) {
    // A spool name that cannot be used as given would show another file.
    if (!NameIsWhole(a->spool, a->spoolLen, kPrtSpoolNameSize - 1)) return kPrtSpoolNotOpened;
    // A printer name holding a NUL is refused as a printer not found.
    if (!PrtNameIsWhole(a->printer, a->printerLen)) return kPrtNoMemory;
    PrinterRec* j = PrtRecAlloc(kPrtFlagDocPending | kPrtFlagGdiJob | kPrtFlagCells, kPrtTextFrame);
    if (!j) return kPrtNoMemory;
    j->closing = 1;
    j->flags |= kPrtFlagPreviewAtClose;
    memcpy(j->spoolName, a->spool, a->spoolLen);
    j->spoolName[a->spoolLen] = 0;
    char printer[kPrtSpoolNameSize] = "-";
    if (a->printer && a->printerLen) {
        size_t pl = a->printerLen < sizeof printer - 1 ? a->printerLen : sizeof printer - 1;
        memcpy(printer, a->printer, pl);
        printer[pl] = 0;
        if (pl == 4 && _strnicmp(printer, "pdf:", 4) == 0) {
            strcpy(printer, "-");
            j->pdfFlags |= kPrtPdfSpool;
            j->title[0] = 0;
        }
    }
    j->dc = OpenPrtByName(printer, j);
    if (!j->dc) {
        PrtRecFree(j);
        return kPrtNoMemory;
    }
    j->flags |= kPrtFlagAllPages;
    j->copies = 1;
    if (PrtDeviceSetup(j, "", 0, 0) != kPrtOk) {
        ReleaseJob(j);
        return kPrtNoMemory;
    }
    j->spool = CreateFileA(j->spoolName, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                           nullptr);
    if (j->spool == INVALID_HANDLE_VALUE)
        j->spool = CreateFileA(j->spoolName, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
    if (j->spool == INVALID_HANDLE_VALUE) {
        ReleaseJob(j);
        return kPrtSpoolNotOpened;
    }
    *out = j;
    return kPrtOk;
}

// The page range and the start page, as the preview window takes them.
static int32_t SetRange(PrinterRec* j, const PrevPanelLoadArgs* a) {
    uint32_t pages = j->spoolr->pages;
    uint32_t first = a->firstPage ? a->firstPage : 1, last = a->lastPage;
    if (!last || last > pages) last = pages;
    if (first > last) return kPrtPreviewRange;
    j->prevFirst = first;
    j->prevLast = last;
    uint64_t start = static_cast<uint64_t>(a->startPage ? a->startPage : 1) + first - 1;
    if (start > last) start = last;
    return j->spoolr->current < start ? PrtSpoolGoTo(j, static_cast<uint32_t>(start)) : kPrtOk;
}

int32_t PrevPanelLoad(void** slot, void* wnd, uint32_t scrollBars, const PrevPanelLoadArgs* a) {
    if (!slot || !a || !a->spool) return kPrtNoMemory;
    PrevPanelFree(slot);
    PrinterRec* j = nullptr;
    int32_t r = MakePanelJob(a, &j);
    if (r) return r;
    PrtPrevState* p = static_cast<PrtPrevState*>(LocalAllocZero(sizeof(PrtPrevState)));
    if (!p) {
        ReleaseJob(j);
        return kPrtSpoolNotOpened;
    }
    p->job = j;
    p->slot = slot;
    *slot = p;
    p->nextPanel = gPanelPreviews;
    gPanelPreviews = p;
    p->wnd = static_cast<HWND>(wnd);
    p->ownH = (scrollBars & kPrevPanelHScroll) != 0;
    p->ownV = (scrollBars & kPrevPanelVScroll) != 0;
    ResetOwnScrollBars(p);
    p->layoutNeeded = 1;
    p->zoomStep = kPrevStepPanel;
    p->requestedPct = static_cast<int32_t>(a->zoomPct);
    p->buttonBar = kPanelButtonBar;
    PrtPrevLoadLabels(false);
    j->flags |= kPrtFlagPreviewDC | kPrtFlagDocPending;
    HDC dc = GetDC(p->wnd);
    PanelSwitch saved = SwitchTo(p, dc);
    r = PrtSpoolOpenReader(j);
    if (!r) r = SetRange(j, a);
    if (!r) {
        PrtPrevPlayPage(p, j);
        p->running = 1;
    }
    SwitchBack(p, saved);
    ReleaseDC(p->wnd, dc);
    return r;
}

// ---- Commands ------------------------------------------------------------------------------------

static void Repaint(PrtPrevState* p) {
    p->layoutNeeded = 1;
    InvalidateRect(p->wnd, nullptr, TRUE);
    UpdateWindow(p->wnd);
}

static int32_t Query(const PrtPrevState* p, int32_t what) {
    const PrinterRec* j = p->job;
    switch (what) {
    case kQueryPage: return static_cast<int32_t>(j->spoolr ? j->spoolr->current : 0);
    case kQueryFirst: return static_cast<int32_t>(j->prevFirst);
    case kQueryLast: return static_cast<int32_t>(j->prevLast);
    case kQueryHPos: return p->hPos;
    case kQueryHRange: return p->hRange;
    case kQueryVPos: return p->vPos;
    case kQueryVRange: return p->vRange;
    case kQueryZoom: return p->requestedPct ? p->requestedPct : p->fittedPct;
    default: return 0;
    }
}

static void ScrollBy(PrtPrevState* p, int32_t how) {
    if (p->vRange > 0) {
        if (how == kByLineUp) PrtPrevVScroll(p, SB_LINEUP, 0);
        if (how == kByLineDown) PrtPrevVScroll(p, SB_LINEDOWN, 0);
        if (how == kByPageUp) PrtPrevVScroll(p, SB_PAGEUP, 0);
        if (how == kByPageDown) PrtPrevVScroll(p, SB_PAGEDOWN, 0);
    }
    if (p->hRange > 0) {
        if (how == kByLineLeft) PrtPrevHScroll(p, SB_LINEUP, 0);
        if (how == kByLineRight) PrtPrevHScroll(p, SB_LINEDOWN, 0);
    }
}

int32_t PrevPanelCommand(void** slot, uint32_t command, int32_t value) {
    PrtPrevState* p = StateOf(slot);
    if (!p || !p->job || !p->job->spoolr) return 0;
    HDC dc = GetDC(p->wnd);
    PanelSwitch saved = SwitchTo(p, dc);
    PrinterRec* j = p->job;
    uint32_t cur = j->spoolr->current;
    int32_t answer = 0;
    switch (command) {
    case kPanelShowPage: PrtPrevShowPage(p, j, PrevClampPage(value, j->prevFirst, j->prevLast)); break;
    case kPanelNext: PrtPrevShowPage(p, j, static_cast<int64_t>(cur) + 1); break;
    case kPanelPrev: PrtPrevShowPage(p, j, static_cast<int64_t>(cur) - 1); break;
    case kPanelFirst: PrtPrevShowPage(p, j, j->prevFirst); break;
    case kPanelLast: PrtPrevShowPage(p, j, j->prevLast); break;
    case kPanelZoomIn: p->requestedPct = PrevPanelZoomIn(p->requestedPct); Repaint(p); break;
    case kPanelZoomOut: p->requestedPct = PrevPanelZoomOut(p->requestedPct); Repaint(p); break;
    case kPanelZoom: p->requestedPct = value < 0 ? 0 : value; Repaint(p); break;
    case kPanelQuery: answer = Query(p, value); break;
    case kPanelHScrollTo: PrtPrevHScroll(p, SB_THUMBPOSITION, value); break;
    case kPanelVScrollTo: PrtPrevVScroll(p, SB_THUMBPOSITION, value); break;
    case kPanelScrollBy: ScrollBy(p, value); break;
    default: break;
    }
    SwitchBack(p, saved);
    ReleaseDC(p->wnd, dc);
    return answer;
}

// ---- Painting, sizing, scrolling -------------------------------------------------------------------

void PrevPanelPaint(void** slot, void* paintDC) {
    PrtPrevState* p = StateOf(slot);
    if (!p || !p->job || !p->job->spoolr || !paintDC) return;
    HDC dc = static_cast<HDC>(paintDC);
    PanelSwitch saved = SwitchTo(p, dc);
    SetBkMode(dc, OPAQUE);
    SetROP2(dc, R2_COPYPEN);
    HGDIOBJ old = SelectObject(dc, GetStockObject(BLACK_PEN));
    GetClientRect(p->wnd, &p->client);
    MoveToEx(dc, 0, 0, nullptr);
    LineTo(dc, p->client.right, 0);
    SelectObject(dc, old);
    PrtPrevPlayPage(p, p->job);
    SwitchBack(p, saved);
}

void PrevPanelMarkResized(void** slot) {
    PrtPrevState* p = StateOf(slot);
    if (p) p->layoutNeeded = 1;
}

void PrevPanelScroll(void** slot, int32_t pos, int code, bool vertical) {
    PrtPrevState* p = StateOf(slot);
    if (!p || !p->job) return;
    PanelSwitch saved = SwitchTo(p, nullptr);
    if (vertical) PrtPrevVScroll(p, code, pos);
    else PrtPrevHScroll(p, code, pos);
    SwitchBack(p, saved);
}

// At exit: every panel's preview is freed, and a preview window that waits
// for a person ends.
void PrtClosePreviews() {
    while (gPanelPreviews) PrevPanelFree(gPanelPreviews->slot);
    if (gCurPrtPrev && gCurPrtPrev->wnd) gCurPrtPrev->running = 0;
}

void PrtPreviewPanelInstall() {
    gPrintObjectHooks.prevPanelLoad = PrevPanelLoad;
    gPrintObjectHooks.prevPanelCommand = PrevPanelCommand;
    gPrintObjectHooks.prevPanelFree = PrevPanelFree;
    gPrintObjectHooks.prevPanelPaint = PrevPanelPaint;
    gPrintObjectHooks.prevPanelMarkResized = PrevPanelMarkResized;
    gPrintObjectHooks.prevPanelScroll = PrevPanelScroll;
}
