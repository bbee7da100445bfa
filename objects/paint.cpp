// paint.cpp - painting services: DCs for windowless objects, borders, the
// painting and clipping of windowless children, redraws, the shown/hidden
// bookkeeping and window captures.
#include "objects/paint.h"

#include "objects/color.h"
#include "objects/events.h"
#include "objects/gdicache.h"
#include "objects/guihooks.h"
#include "objects/objops.h"
#include "objects/window.h"

bool gPaintEnabled = true;
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

int PaintChildren(ObjectRecord* container, int flag, HDC dc, HRGN background) {
    int changed = 0;
    // When the container paints its background around its children, it goes
    // under the children that leave part of their rectangle first: all of
    // them before any child paints, so no fill covers a child painted earlier.
    bool transparent = container->hwnd && (GetWindowLongA(container->hwnd, GWL_EXSTYLE) & WS_EX_TRANSPARENT);
    if (dc && background && !transparent) {
        HBRUSH brush = nullptr;
        for (ObjectRecord* c = container->children; c; c = c->next) {
            if (!PaintsItself(c) || CoversItsRect(c)) continue;
            RECT r = {c->left, c->top, c->right, c->bottom};
            if (!RectVisible(dc, &r)) continue;
            if (!brush) brush = BrushCacheGet(container->bgColor, kBrushSolid, true);
            if (brush) FillRect(dc, &r, brush);
        }
        if (brush) BrushCacheRelease(brush);
    }
    for (ObjectRecord* c = container->children; c; c = c->next) {
        if (c->hwnd || !(c->flags & kObjShown) || ObjectIsWebView(c)) continue;
        const ObjectOps* ops = ObjectOpsOf(c);
        if (!ops || !ops->paint) continue;
        RECT r = {c->left, c->top, c->right, c->bottom};
        if (dc && !RectVisible(dc, &r)) continue;
        ops->paint(c, dc, flag);
        if (background) {
            HRGN hole = CreateRectRgnIndirect(&r);
            CombineRgn(background, background, hole, RGN_DIFF);
            DeleteObject(hole);
            changed = 1;
        }
    }
    return changed;
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
    for (ObjectRecord* c = rec->parent->children; c; c = c->next) {
        if (c == rec || c->hwnd || !(c->flags & kObjShown) || !RectsOverlap(c, rec)) continue;
        RECT r = {c->left, c->top, c->right, c->bottom};
        InvalidateRect(rec->parent->hwnd, &r, FALSE);
    }
}

void InvalidateTabPageUnder(ObjectRecord* rec) {
    ObjectRecord* tab = rec ? TabControlUnder(rec) : nullptr;
    if (!tab) return;
    tab->flags |= 0x10000;   // the tab control's refresh bit
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
        HRGN background = CreateRectRgnIndirect(&ps.rcPaint);
        PaintChildren(rec, 0, dc, background);
        HBRUSH brush = BrushCacheGet(rec->bgColor, kBrushSolid, true);
        if (brush && background) {
            FillRgn(dc, background, brush);
        }
        if (brush) BrushCacheRelease(brush);
        if (background) DeleteObject(background);
        if (EventIsRegistered(rec, 16)) PostObjectEvent(rec, 16, kEventKindDefault, 0, 0);  // $PAINT
    }
    gPaintingContainer = prevContainer;
    gPaintingDC = prevDC;
    EndPaint(rec->hwnd, &ps);
}
