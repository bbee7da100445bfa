// objwindowed.cpp - shared slot routines of windowed and windowless kinds: show,
// hide and enable of control windows through the window layer's placement,
// overlap repaints and shown/hidden bookkeeping; show and hide of windowless
// objects as redraws of their area; destroy slots and shared use counts.
#include "objects/objwindowed.h"

#include <cstring>

#include "objects/events.h"
#include "objects/focus.h"
#include "objects/paint.h"
#include "objects/window.h"
#include "objects/objhooks.h"
#include "session/session.h"
#include "session/util/bytereader.h"
#include "session/util/mem.h"

namespace {

// A copy of the window's whole text in UTF-16, so that what a user typed that
// the code page cannot spell is put back whole; *length its characters. Null
// when the copy cannot be held.
WCHAR* WindowTextCopy(HWND wnd, int* length) {
    int n = GetWindowTextLengthW(wnd);
    if (n < 0) n = 0;
    CheckedSize size = CheckedSize(static_cast<uint64_t>(n)).Add(1).Mul(sizeof(WCHAR));
    WCHAR* copy = size.Fits() ? static_cast<WCHAR*>(GuardedAlloc(size.Size())) : nullptr;
    if (!copy) return nullptr;
    // The length asked first may be larger than the text, never smaller.
    *length = n ? GetWindowTextW(wnd, copy, n + 1) : 0;
    copy[*length] = 0;
    return copy;
}

// Puts the text a window held back after a set it refused, unless it holds
// that text still (it refused and kept it): a rich edit given its own text
// again as plain text would lose its formatting.
void WindowTextPutBack(HWND wnd, const WCHAR* old, int length) {
    int nowLength = 0;
    WCHAR* now = GetWindowTextLengthW(wnd) == length ? WindowTextCopy(wnd, &nowLength) : nullptr;
    bool kept = now && nowLength == length && memcmp(now, old, static_cast<size_t>(length) * sizeof(WCHAR)) == 0;
    GuardedFree(now);
    if (!kept) SetWindowTextW(wnd, old);
}

}  // namespace

bool WindowTextSet(HWND wnd, const char* text, bool lengthCheck) {
    if (!wnd) return false;
    // The old text is kept first: a control that cannot make room for the new
    // one may have emptied itself. One that cannot be kept is not risked.
    int oldLength = 0;
    WCHAR* old = WindowTextCopy(wnd, &oldLength);
    if (!old) return false;
    bool taken = SetWindowTextA(wnd, text) != FALSE;
    if (taken && lengthCheck) {
        // The count may be larger than the text (a double-byte code page), never smaller.
        int held = GetWindowTextLengthA(wnd);
        taken = held >= 0 && static_cast<size_t>(held) >= strlen(text);
    }
    if (!taken) WindowTextPutBack(wnd, old, oldLength);
    GuardedFree(old);
    return taken;
}

int32_t ObjectShowWindowed(ObjectRecord* rec, int32_t, int32_t, int32_t, int32_t) {
    rec->flags &= ~kObjHidden;
    // The window is placed and shown with the window layer's paint switch
    // off, so that the container does not paint the windowless objects under
    // it twice; the switch is put back before the pump turn.
    bool paintWas = gPaintEnabled;
    gPaintEnabled = false;
    NoteObjectShown(rec);
    // PositionObjectWindow places the window less the container's scroll
    // offsets: a child of a scrolled panel shows where its siblings are.
    PositionObjectWindow(rec, nullptr);
    if (rec->hwnd) ShowWindow(rec->hwnd, SW_SHOWNORMAL);
    RepaintOverlaps(rec);
    gPaintEnabled = paintWas;
    PumpOnce(false);
    return 0;
}

int32_t ObjectHideWindowed(ObjectRecord* rec) {
    MoveFocusAway(rec);
    return ObjectHideWindowKeepFocus(rec);
}

int32_t ObjectHideWindowKeepFocus(ObjectRecord* rec) {
    // Hiding the window makes the system repaint what it uncovered, once: the
    // container there (whose paint draws the windowless objects under it) and
    // the siblings it lay over. A redraw of its whole rectangle on top would
    // paint the container over every sibling under that rectangle (it does
    // not clip its children) and then each of them again.
    if (rec->hwnd) ShowWindow(rec->hwnd, SW_HIDE);
    // The pump may take a request that destroys the object.
    ObjectRef ref = ObjectRefOf(rec);
    PumpOnce(false);
    if (!ObjectRefAlive(ref)) return 0;
    NoteObjectHidden(rec);
    if (!rec->hwnd) RedrawObject(rec, true);
    return 0;
}

int32_t ObjectEnableWindowed(ObjectRecord* rec, int32_t item, int32_t on) {
    if (item != 0) return 0;
    if (!on) MoveFocusAway(rec);
    if (rec->hwnd) EnableWindow(rec->hwnd, on ? TRUE : FALSE);
    return 0;
}

int32_t ObjectShowWindowless(ObjectRecord* rec, int32_t, int32_t, int32_t, int32_t) {
    rec->flags &= ~kObjHidden;
    NoteObjectShown(rec);
    RedrawObject(rec, false);
    return 0;
}

int32_t ObjectHideWindowless(ObjectRecord* rec) {
    NoteObjectHidden(rec);
    RedrawObject(rec, true);
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
