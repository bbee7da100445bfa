// paint.cpp - painting services: DCs for windowless objects, borders, the
// painting and clipping of windowless children, redraws, the shown/hidden
// bookkeeping and window captures.
#include "objects/paint.h"

#include <cstring>
#include <vector>

#include "objects/color.h"
#include "objects/events.h"
#include "objects/gdicache.h"
#include "objects/guihooks.h"
#include "objects/objops.h"
#include "objects/window.h"
#include "session/nomem.h"

bool gPaintEnabled = true;
bool gPanelEraseOn = true;
bool gUserMovingFrame;
PaintPassState gPaintPass;
ObjectRecord* gPaintingContainer;
HDC gPaintingDC;

static bool RectsOverlap(const ObjectRecord* a, const ObjectRecord* b) {
    return a->left < b->right && b->left < a->right && a->top < b->bottom && b->top < a->bottom;
}

static bool RectInside(const ObjectRecord* inner, const ObjectRecord* outer) {
    return inner->left >= outer->left && inner->right <= outer->right && inner->top >= outer->top &&
           inner->bottom <= outer->bottom;
}

// The shown tab control under a windowless object: same parent, not below it
// in Z order, wholly containing it.
static ObjectRecord* TabControlUnder(ObjectRecord* rec) {
    if (!rec->parent) return nullptr;
    for (ObjectRecord* c = rec->parent->children; c; c = c->next) {
        if (c == rec || c->kind != kKindTabControl || !(c->flags & kObjShown) || !c->hwnd) continue;
        if (c->zOrder <= rec->zOrder && RectInside(rec, c)) return c;
    }
    return nullptr;
}

HDC GetObjectDCEx(int, ObjectRecord* rec, ObjectDCState* state, bool tabPaintSwitch) {
    *state = ObjectDCState{};
    if (!rec) {
        state->wnd = gMainWindowWnd;
        state->dc = GetDC(state->wnd);
        return state->dc;
    }
    if (ObjectRecord* tab = TabControlUnder(rec)) {
        if (!tabPaintSwitch) return nullptr;
        state->wnd = tab->hwnd;
        state->dc = GetDC(tab->hwnd);
        state->originX = -tab->left;
        state->originY = -tab->top;
        return state->dc;
    }
    ObjectRecord* container = rec->parent ? rec->parent : rec;
    if (container == gPaintingContainer && gPaintingDC) {
        state->dc = gPaintingDC;
        state->fromPaint = true;
        return state->dc;
    }
    state->wnd = container->hwnd;
    if (!state->wnd) return nullptr;
    state->dc = GetDC(state->wnd);
    return state->dc;
}

HDC GetObjectDC(int flag, ObjectRecord* rec, ObjectDCState* state) {
    bool sw = gGuiHooks.tabControlPaintOverlaps ? gGuiHooks.tabControlPaintOverlaps() : false;
    return GetObjectDCEx(flag, rec, state, sw);
}

void ReleaseObjectDC(ObjectDCState* state) {
    if (state->dc && !state->fromPaint) ReleaseDC(state->wnd, state->dc);
    *state = ObjectDCState{};
}

void DrawBorder(HDC dc, const RECT* rect, int style, uint32_t color) {
    RECT r = *rect;
    if (style == 1 || style == 3 || style == 4) {
        UINT edge = style == 1 ? EDGE_RAISED : style == 3 ? EDGE_SUNKEN : EDGE_ETCHED;
        DrawEdge(dc, &r, edge, BF_RECT);
        return;
    }
    HBRUSH brush = BrushCacheGet(color, kBrushSolid, true);
    if (!brush) return;
    FrameRect(dc, &r, brush);
    BrushCacheRelease(brush);
}

// Lines and shapes (ellipses, rounded or transparent ones) do not cover their
// whole rectangle; the rest of it shows the container.
static bool CoversItsRect(const ObjectRecord* c) { return c->kind != kKindLine && c->kind != kKindShape; }

static bool PaintsItself(const ObjectRecord* c) {
    if (c->hwnd || !(c->flags & kObjShown) || ObjectIsWebView(c)) return false;
    const ObjectOps* ops = ObjectOpsOf(c);
    return ops && ops->paint;
}

// Takes the rectangles of the children that paint themselves (only those that
// cover them, when coveringOnly) out of the region, with one region operation.
static bool ExcludeChildren(ObjectRecord* container, HDC dc, HRGN region, bool coveringOnly) {
    std::vector<RECT> rects;
    for (ObjectRecord* c = container->children; c; c = c->next) {
        if (!PaintsItself(c) || (coveringOnly && !CoversItsRect(c))) continue;
        RECT r = {c->left, c->top, c->right, c->bottom};
        if (r.right <= r.left || r.bottom <= r.top || (dc && !RectVisible(dc, &r))) continue;
        rects.push_back(r);
    }
    if (rects.empty()) return false;
    std::vector<uint8_t> data(sizeof(RGNDATAHEADER) + rects.size() * sizeof(RECT));
    auto* rd = reinterpret_cast<RGNDATA*>(data.data());
    rd->rdh.dwSize = sizeof(RGNDATAHEADER);
    rd->rdh.iType = RDH_RECTANGLES;
    rd->rdh.nCount = static_cast<DWORD>(rects.size());
    rd->rdh.nRgnSize = static_cast<DWORD>(rects.size() * sizeof(RECT));
    rd->rdh.rcBound = rects[0];
    for (const RECT& r : rects) UnionRect(&rd->rdh.rcBound, &rd->rdh.rcBound, &r);
    memcpy(rd->Buffer, rects.data(), rects.size() * sizeof(RECT));
    HRGN holes = ExtCreateRegion(nullptr, static_cast<DWORD>(data.size()), rd);
    if (!holes) return false;
    CombineRgn(region, region, holes, RGN_DIFF);
    DeleteObject(holes);
    return true;
}

// Paints the children that lie in the area (the DC's clip when none is given).
static void PaintEach(ObjectRecord* container, int flag, HDC dc, const RECT* area) {
    for (ObjectRecord* c = container->children; c; c = c->next) {
        if (!PaintsItself(c)) continue;
        RECT r = {c->left, c->top, c->right, c->bottom}, common;
        if (area ? !IntersectRect(&common, &r, area) : (dc && !RectVisible(dc, &r))) continue;
        ObjectOpsOf(c)->paint(c, dc, flag);
    }
}

int PaintChildren(ObjectRecord* container, int flag, HDC dc, HRGN background) {
    PaintEach(container, flag, dc, nullptr);
    return background && ExcludeChildren(container, dc, background, false) ? 1 : 0;
}

void PaintContainer(ObjectRecord* container, HDC dc, const RECT* area, HBRUSH brush) {
    // The background first, around the children that cover their rectangles;
    // lines and shapes then paint over it, so what they leave shows it.
    HRGN background = CreateRectRgnIndirect(area);
    if (background) {
        ExcludeChildren(container, dc, background, true);
        if (brush) FillRgn(dc, background, brush);
        DeleteObject(background);
    }
    // One save around all the children instead of one in each.
    int saved = SaveDC(dc);
    PaintPassState outer = gPaintPass;   // a child may paint a container of its own
    gPaintPass = PaintPassState{dc, GetCurrentObject(dc, OBJ_PEN), GetCurrentObject(dc, OBJ_BRUSH), GetROP2(dc)};
    PaintEach(container, saved ? kPaintDcKept : 0, dc, area);
    gPaintPass = outer;
    if (saved) RestoreDC(dc, saved);
}

void ClipExcludeShapes(HDC dc, ObjectRecord* container, void*) {
    for (ObjectRecord* c = container->children; c; c = c->next)
        if (c->kind == kKindShape && (c->flags & kObjShown))
            ExcludeClipRect(dc, c->left, c->top, c->right, c->bottom);
}

HRGN ClipRegionSaveExcludeShapes(HDC dc, ObjectRecord* container) {
    HRGN saved = CreateRectRgn(0, 0, 0, 0);
    if (saved && GetClipRgn(dc, saved) != 1) {
        DeleteObject(saved);
        saved = nullptr;   // no clip region before: restore to none
    }
    ClipExcludeShapes(dc, container, nullptr);
    return saved;
}

void ClipRegionRestore(HDC dc, HRGN saved) {
    SelectClipRgn(dc, saved);
    if (saved) DeleteObject(saved);
}

void RedrawObject(ObjectRecord* rec, bool erase) {
    if (!rec) return;
    ObjectRecord* container = rec->parent;
    if (!container || !container->hwnd) {
        if (rec->hwnd) InvalidateRect(rec->hwnd, nullptr, erase);
        return;
    }
    // The record keeps container coordinates; a scrolled container shows them
    // moved by its scroll offsets.
    RECT r = {rec->left, rec->top, rec->right, rec->bottom};
    ContainerInfo ci;
    if (ContainerInfoOf(container, &ci)) OffsetRect(&r, -*ci.scrollX, -*ci.scrollY);
    InvalidateRect(container->hwnd, &r, erase);
    UpdateWindow(container->hwnd);
}

int32_t RedrawObjectWindow(ObjectRecord* rec, int) {
    if (!rec || !rec->hwnd) return kOpNoObject;
    NativeWindowRecord* w = NativeWindowOf(rec);
    if (w && w->redrawHeld) return 0;
    InvalidateRect(rec->hwnd, nullptr, TRUE);
    UpdateWindow(rec->hwnd);
    return 0;
}

int32_t RedrawObjWindow(ObjectRecord* rec) {
    if (!rec || !rec->hwnd) return kOpNoObject;
    RedrawWindow(rec->hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    return 0;
}

int32_t EraseWindowBkgnd(ObjectRecord* rec) {
    if (!rec || !rec->hwnd) return kOpNoObject;
    HDC dc = GetDC(rec->hwnd);
    RECT r;
    GetClientRect(rec->hwnd, &r);
    HBRUSH brush = BrushCacheGet(rec->bgColor, kBrushSolid, true);
    if (brush) {
        FillRect(dc, &r, brush);
        BrushCacheRelease(brush);
    }
    ReleaseDC(rec->hwnd, dc);
    return 0;
}

void NoteObjectShown(ObjectRecord* rec) {
    if (rec) rec->flags |= kObjShown;
}

void NoteObjectHidden(ObjectRecord* rec) {
    if (rec) rec->flags &= ~kObjShown;
}

void RepaintOverlaps(ObjectRecord* rec) {
    if (!rec || !rec->parent || !rec->parent->hwnd) return;
    // A container of windowed controls alone has nothing to repaint here: the
    // walk over its children, one for every control shown, grew with them.
    if (!(rec->parent->modeFlags & kModeWindowlessChild)) return;
    for (ObjectRecord* c = rec->parent->children; c; c = c->next) {
        if (c == rec || c->hwnd || !(c->flags & kObjShown) || !RectsOverlap(c, rec)) continue;
        RECT r = {c->left, c->top, c->right, c->bottom};
        InvalidateRect(rec->parent->hwnd, &r, FALSE);
    }
}

void InvalidateTabPageUnder(ObjectRecord* rec) {
    ObjectRecord* tab = rec ? TabControlUnder(rec) : nullptr;
    if (!tab) return;
    // The tab control repaints its page area once the operation is done.
    if (gGuiHooks.tabControlMarkRefresh) gGuiHooks.tabControlMarkRefresh(tab);
    RECT r = {rec->left - tab->left, rec->top - tab->top, rec->right - tab->left, rec->bottom - tab->top};
    InvalidateRect(tab->hwnd, &r, TRUE);
}

HBITMAP CaptureWindowBitmap(HWND wnd) {
    if (!wnd) return nullptr;
    RECT r;
    GetWindowRect(wnd, &r);
    HDC src = GetWindowDC(wnd);
    if (!src) return nullptr;
    HDC mem = CreateCompatibleDC(src);
    HBITMAP bmp = CreateCompatibleBitmap(src, r.right - r.left, r.bottom - r.top);
    if (mem && bmp) {
        HGDIOBJ old = SelectObject(mem, bmp);
        BitBlt(mem, 0, 0, r.right - r.left, r.bottom - r.top, src, 0, 0, SRCCOPY);
        SelectObject(mem, old);
    }
    if (mem) DeleteDC(mem);
    ReleaseDC(wnd, src);
    return bmp;
}

DWORD AddRtlExStyle(const ObjectRecord* rec, DWORD exStyle) {
    if (rec && (rec->flags & kObjRightToLeft)) exStyle |= WS_EX_RTLREADING | WS_EX_RIGHT | WS_EX_LEFTSCROLLBAR;
    return exStyle;
}

void WindowPaint(ObjectRecord* rec) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(rec->hwnd, &ps);
    ObjectRecord* prevContainer = gPaintingContainer;
    HDC prevDC = gPaintingDC;
    gPaintingContainer = rec;
    gPaintingDC = dc;
    if (gPaintEnabled) {
        // Children keep their places in the unscrolled contents: the DC's
        // origin follows the window's scroll offsets.
        int32_t sx = 0, sy = 0;
        ContainerInfo ci;
        if (ContainerInfoOf(rec, &ci)) sx = *ci.scrollX, sy = *ci.scrollY;
        POINT oldOrg;
        SetWindowOrgEx(dc, sx, sy, &oldOrg);
        RECT area = ps.rcPaint;
        OffsetRect(&area, sx, sy);
        HBRUSH brush = BrushCacheGet(rec->bgColor, kBrushSolid, true);
        // What cannot be held stops the drawing, never the paint's own end.
        CatchNoMemory("a window's paint", [&] { PaintContainer(rec, dc, &area, brush); });
        if (brush) BrushCacheRelease(brush);
        SetWindowOrgEx(dc, oldOrg.x, oldOrg.y, nullptr);
        if (EventIsRegistered(rec, 16)) PostObjectEvent(rec, 16, kEventKindDefault, 0, 0);  // $PAINT
    }
    gPaintingContainer = prevContainer;
    gPaintingDC = prevDC;
    EndPaint(rec->hwnd, &ps);
}
