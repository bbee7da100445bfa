// objwindowed.cpp - shared slot routines of windowed and windowless kinds. They
// use the record's own window handle, or for a windowless object its parent's
// window, with plain Win32 calls; the window layer's finer bookkeeping (overlap
// repaints, bounding boxes) hooks in through its own show and hide slots.
#include "objects/objwindowed.h"

#include <cstring>

#include "objects/events.h"
#include "objects/objhooks.h"
#include "session/session.h"
#include "session/util/mem.h"

namespace {

HWND ParentWindow(const ObjectRecord* rec) {
    int depth = 0;
    for (const ObjectRecord* p = rec->parent; p && depth < kParentChainMax; p = p->parent, ++depth)
        if (p->hwnd) return p->hwnd;
    return nullptr;
}

// Invalidates the object's rectangle in its parent's window (erasing the
// background when it was hidden) and repaints it at once.
void RedrawRect(const ObjectRecord* rec, bool erase) {
    HWND parent = ParentWindow(rec);
    if (!parent) return;
    RECT r = {rec->left, rec->top, rec->right, rec->bottom};
    InvalidateRect(parent, &r, erase ? TRUE : FALSE);
    UpdateWindow(parent);
}

void FocusAway(ObjectRecord* rec) {
    if (gObjectHooks.focusAway) gObjectHooks.focusAway(rec);
}

}  // namespace

int32_t ObjectShowWindowed(ObjectRecord* rec, int32_t, int32_t, int32_t, int32_t) {
    rec->flags = (rec->flags | kObjShown) & ~kObjHidden;
    if (rec->hwnd) {
        SetWindowPos(rec->hwnd, nullptr, rec->left, rec->top, rec->right - rec->left, rec->bottom - rec->top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
        ShowWindow(rec->hwnd, SW_SHOWNORMAL);
    }
    PumpOnce(false);
    return 0;
}

int32_t ObjectHideWindowed(ObjectRecord* rec) {
    FocusAway(rec);
    if (rec->hwnd) ShowWindow(rec->hwnd, SW_HIDE);
    // The pump may take a request that destroys the object.
    ObjectRef ref = ObjectRefOf(rec);
    PumpOnce(false);
    if (!ObjectRefAlive(ref)) return 0;
    rec->flags &= ~kObjShown;
    RedrawRect(rec, true);
    return 0;
}

int32_t ObjectEnableWindowed(ObjectRecord* rec, int32_t item, int32_t on) {
    if (item != 0) return 0;
    if (!on) FocusAway(rec);
    if (rec->hwnd) EnableWindow(rec->hwnd, on ? TRUE : FALSE);
    return 0;
}

int32_t ObjectShowWindowless(ObjectRecord* rec, int32_t, int32_t, int32_t, int32_t) {
    rec->flags = (rec->flags | kObjShown) & ~kObjHidden;
    RedrawRect(rec, false);
    return 0;
}

int32_t ObjectHideWindowless(ObjectRecord* rec) {
    rec->flags &= ~kObjShown;
    RedrawRect(rec, true);
    return 0;
}

int32_t ObjectEnableWindowless(ObjectRecord* rec, int32_t item, int32_t on) {
    if (item == 0) rec->flags = on ? (rec->flags & ~kObjDisabled) : (rec->flags | kObjDisabled);
    return 0;
}

int32_t ObjectDestroyWindowless(ObjectRecord* rec) {
    ObjectFreeCommon(rec);
    ObjectFreeRecord(rec);
    return 0;
}

int32_t ControlDestroyWindowed(ObjectRecord* rec) {
    if (rec->hwnd) DestroyWindow(rec->hwnd);
    rec->hwnd = nullptr;
    ObjectFreeCommon(rec);
    ObjectFreeRecord(rec);
    return 0;
}

int32_t RecordReleaseUse(ObjectRecord* rec) {
    if (rec->useCount > 1) {
        rec->useCount--;   // still held by its owner
        return 0;
    }
    ObjectFreeCommon(rec);
    ObjectFreeRecord(rec);
    return 0;
}

int32_t PostWebPanelEvent(HWND wnd, const char* text) {
    ObjectRecord* rec = reinterpret_cast<ObjectRecord*>(GetWindowLongPtrA(wnd, GWLP_USERDATA));
    if (!rec || !ObjectIsLive(rec)) return 0;
    size_t n = text ? strlen(text) : 0;
    char* copy = static_cast<char*>(LocalAllocZero(n + 1));
    if (copy && n) memcpy(copy, text, n);
    bool queued = PostEvent(rec, kEvJQuery, kEventKindDefault, 0, 0, 0, copy, 0);
    if (!queued && copy) LocalFreeMem(copy);
    return queued ? 1 : 0;
}
