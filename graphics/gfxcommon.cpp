// gfxcommon.cpp - shared pieces of the bar, container and drawing kinds:
// windowless creation and the creators' common end, redraws, value events.
#include "graphics/gfxcommon.h"

#include "objects/events.h"
#include "objects/objhooks.h"
#include "objects/objops.h"
#include "objects/paint.h"
#include "objects/window.h"

ObjectRecord* GfxCreateWindowless(uint8_t kind, uint32_t size, ObjectCreateRecord* cr, int32_t* code) {
    *code = kOpNoMemory;
    ObjectRecord* rec = ObjectAllocRecord(kind, size, false);
    if (!rec) return nullptr;
    rec->flags |= kGfxWindowless;
    ObjectRecord* parent = nullptr;
    if (!ObjectInitCommon(rec, cr, &parent)) {
        GfxFreeRecord(rec);
        *code = kOpNoObject;
        return nullptr;
    }
    if (!CopyCreateStrings(rec, cr)) {
        GfxFreeRecord(rec);
        return nullptr;
    }
    if (!ObjectSetRect(rec, cr->top, cr->height, cr->left, cr->width)) {
        GfxFreeRecord(rec);
        *code = -4;
        return nullptr;
    }
    RECT r = {rec->left, rec->top, rec->right, rec->bottom};
    ConvertRectUnits(parent, &r, kToPixels);
    rec->left = r.left, rec->top = r.top, rec->right = r.right, rec->bottom = r.bottom;
    *code = 0;
    return rec;
}

ObjectRecord* GfxCreateContainerRecord(uint8_t kind, uint32_t size, ObjectCreateRecord* cr, int32_t* code) {
    cr->tabId = 0;
    ObjectRecord* rec = GfxCreateWindowless(kind, size, cr, code);
    if (!rec) return nullptr;
    rec->flags = (rec->flags & ~kGfxWindowless) | kGfxContainerFlag;
    rec->fgColor = 0;
    return rec;
}

bool GfxCreateContainerWindow(ObjectRecord* rec, const char* className, DWORD style, DWORD exStyle, int32_t* code) {
    HWND parentWnd = GfxContainerWindow(rec);
    HWND wnd = nullptr;
    if (parentWnd) {
        int32_t sx, sy;
        GfxContainerScroll(rec, &sx, &sy);
        wnd = CreateWindowExA(exStyle, className, "", style, rec->left - sx, rec->top - sy, rec->right - rec->left,
                              rec->bottom - rec->top, parentWnd, nullptr, GetModuleHandleA(nullptr), nullptr);
    }
    if (!wnd) {
        GfxFreeRecord(rec);
        *code = kOpNoObject;
        return false;
    }
    rec->hwnd = wnd;
    SetWindowLongPtrA(wnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(rec));
    return true;
}

void GfxFreeRecord(ObjectRecord* rec) {
    ObjectFreeCommon(rec);
    ObjectFreeRecord(rec);
}

ObjectRecord* GfxFinishCreate(ObjectRecord* rec, const ObjectCreateRecord* cr, int32_t* code) {
    LinkObject(rec);
    ObjectSaveLayout(rec, 0);
    // Not shown yet while a disabling creation disables it.
    rec->flags &= ~kObjShown;
    if (cr->flags0 & kCrDisabled) ObjectDisable(rec, 0);
    return CtlShowCreated(rec, cr, code);
}

void GfxRedrawIfShown(ObjectRecord* rec, bool erase) {
    if (!(rec->flags & kObjShown)) return;
    rec->flags |= kGfxRedrawPending;
    RedrawObject(rec, erase);
}

int32_t GfxSetCommonProp(ObjectRecord* rec, PropChange* req) {
    if (rec->hwnd) return CtlSetCommonProp(rec, req);
    int32_t r = CtlSetCommonProp(rec, req);
    switch (req->id) {
    case kPidLeft: case kPidTop: case kPidWidth: case kPidHeight: case kPidFgColor: case kPidBgColor:
    case kPidBdrColor: case kPidFont: case kPidFontObj: case kPidBorder: case kPidStyle: case kPidAppearance:
        GfxRedrawIfShown(rec, true);
        break;
    default:
        break;
    }
    return r;
}

void GfxPostAction(ObjectRecord* rec, const ScrollAction& action) {
    if (!action.reports) return;
    if (EventIsRegistered(rec, kEvChange)) {
        PostObjectEvent(rec, kEvChange, kEventKindDefault, action.modifiers, action.position);
    } else if (EventIsRegistered(rec, kEvOldEvent)) {
        int64_t v = static_cast<int64_t>(action.oldBase) + action.position;
        PostObjectEvent(rec, kEvOldEvent, kEventKindDefault, 0, static_cast<int32_t>(v));
    }
}

HWND GfxContainerWindow(const ObjectRecord* rec) {
    int depth = 0;
    for (const ObjectRecord* p = rec ? rec->parent : nullptr; p && depth < kParentChainMax; p = p->parent, ++depth)
        if (p->hwnd) return p->hwnd;
    return nullptr;
}

void GfxContainerScroll(const ObjectRecord* rec, int32_t* x, int32_t* y) {
    *x = *y = 0;
    ContainerInfo ci;
    if (rec && rec->parent && ContainerInfoOf(rec->parent, &ci)) {
        *x = *ci.scrollX;
        *y = *ci.scrollY;
    }
}

uint32_t GfxTenthsNow() {
    uint32_t ms = gObjectHooks.tickCount ? gObjectHooks.tickCount() : GetTickCount();
    return ms / 100;
}

HDC GfxObjectDC(ObjectRecord* rec, void* paintDC, ObjectDCState* st, RECT* r) {
    *st = ObjectDCState{};
    *r = RECT{rec->left, rec->top, rec->right, rec->bottom};
    if (paintDC) return static_cast<HDC>(paintDC);
    HDC dc = GetObjectDC(0, rec, st);
    if (!dc) return nullptr;
    int32_t sx = 0, sy = 0;
    if (!st->fromPaint) GfxContainerScroll(rec, &sx, &sy);
    OffsetRect(r, st->originX - sx, st->originY - sy);
    return dc;
}

void DcKeepBegin(DcKeep* k, HDC dc, bool restore, HGDIOBJ brush, HGDIOBJ pen, int rop2) {
    *k = DcKeep{dc, restore, false, 0, 0, 0, 0, nullptr, nullptr};
    if (!restore && gPaintPass.dc == dc) {
        // The container keeps the DC: only what differs from the last child's.
        if (rop2 != gPaintPass.rop2) SetROP2(dc, gPaintPass.rop2 = rop2);
        if (brush && brush != gPaintPass.brush) SelectObject(dc, gPaintPass.brush = brush);
        if (pen && pen != gPaintPass.pen) SelectObject(dc, gPaintPass.pen = pen);
        return;
    }
    k->rop2 = SetROP2(dc, rop2);
    if (brush) k->brush = SelectObject(dc, brush);
    if (pen) k->pen = SelectObject(dc, pen);
}

void DcKeepBackground(DcKeep* k, COLORREF back, COLORREF text, int bkMode) {
    COLORREF oldBack = SetBkColor(k->dc, back), oldText = SetTextColor(k->dc, text);
    int oldMode = SetBkMode(k->dc, bkMode);
    if (k->background) return;   // the first values taken are the ones to restore
    k->background = true;
    k->back = oldBack, k->text = oldText, k->bkMode = oldMode;
}

void DcKeepEnd(DcKeep* k) {
    if (!k->restore) return;
    if (k->pen) SelectObject(k->dc, k->pen);
    if (k->brush) SelectObject(k->dc, k->brush);
    SetROP2(k->dc, k->rop2);
    if (k->background) {
        SetBkMode(k->dc, k->bkMode);
        SetTextColor(k->dc, k->text);
        SetBkColor(k->dc, k->back);
    }
}
