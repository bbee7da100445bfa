// scrollbar.cpp - the HScrollBar and VScrollBar objects (kinds 22, 23): own
// "scrollbar" windows, or objects standing for a Window's built-in bar; their
// range and values, properties and the user's scroll actions.
#include "graphics/gfxcommon.h"
#include "objects/focus.h"
#include "objects/objwindowed.h"
#include "objects/paint.h"
#include "objects/window.h"
#include "session/session.h"

namespace {

enum ScrollBarMode : uint32_t { kSbmWindowBar = 0x1, kSbmPictBar = 0x2, kSbmOwnWindow = 0x4, kSbmSizeMode = 0x8 };
enum ScrollValue : int32_t { kSvPosition = 0, kSvMin = 1, kSvMax = 2, kSvShift = 3 };
constexpr uint32_t kBarBgColor = 0x8000000Fu;   // system colour 15, the button face

struct ScrollBarRecord {
    ControlRecord c;
    int32_t max;
    int32_t min;
    int32_t shift;
    uint32_t mode;
    ScrollBarLink* link;       // a Window's bar: where the window layer keeps it
    HWND pictBar;              // a Pict's bar: the picture's own bar window
};

ScrollBarRecord* AsBar(ObjectRecord* rec) { return reinterpret_cast<ScrollBarRecord*>(rec); }

bool OwnWindow(const ScrollBarRecord* b) { return (b->mode & kSbmOwnWindow) != 0; }

// The window and bar that GetScrollInfo / SetScrollInfo address.
HWND BarWindow(ScrollBarRecord* b, int* which) {
    ObjectRecord* rec = &b->c.hdr;
    if (OwnWindow(b)) {
        *which = SB_CTL;
        return rec->hwnd;
    }
    if (b->mode & kSbmPictBar) {
        *which = SB_CTL;
        return b->pictBar;
    }
    *which = rec->kind == kKindHScrollBar ? SB_HORZ : SB_VERT;
    return rec->parent ? rec->parent->hwnd : nullptr;
}

bool ReadInfo(ScrollBarRecord* b, SCROLLINFO* si, HWND* wnd, int* which) {
    *wnd = BarWindow(b, which);
    *si = SCROLLINFO{};
    si->cbSize = sizeof *si;
    si->fMask = SIF_ALL;
    return *wnd && GetScrollInfo(*wnd, *which, si);
}

int32_t BarGetValue(ObjectRecord* rec, int32_t which, int32_t* value) {
    *value = 0;
    SCROLLINFO si;
    HWND wnd;
    int bar;
    if (!ReadInfo(AsBar(rec), &si, &wnd, &bar)) return 0;
    switch (which) {
    case kSvPosition: *value = si.nPos; break;
    case kSvMin: *value = si.nMin; break;
    case kSvMax: *value = ScrollBarValueMax(si.nMax, si.nPage); break;
    case kSvShift: *value = static_cast<int32_t>(si.nPage); break;
    default: break;
    }
    return 0;
}

int32_t BarSetValue(ObjectRecord* rec, int32_t which, int32_t value) {
    ScrollBarRecord* b = AsBar(rec);
    // A Pict's bar belongs to the picture: only the position is taken, as if
    // the thumb had been put there.
    if (b->mode & kSbmPictBar) {
        if (which == kSvPosition && gGraphicsHooks.pictOnScroll && rec->parent)
            gGraphicsHooks.pictOnScroll(rec->parent, b->pictBar, value, SB_THUMBPOSITION);
        return 0;
    }
    SCROLLINFO si;
    HWND wnd;
    int bar;
    if (!ReadInfo(b, &si, &wnd, &bar)) return 0;
    int32_t maxNow = ScrollBarValueMax(si.nMax, si.nPage);
    si.fMask = SIF_DISABLENOSCROLL;
    switch (which) {
    case kSvPosition:
        si.fMask |= SIF_POS;
        si.nPos = value;
        break;
    case kSvMin:
        si.fMask |= SIF_RANGE;
        si.nMin = value;
        si.nMax = ScrollBarRangeLimit(si.nMax, value);
        b->min = value;
        break;
    case kSvMax:
        si.fMask |= SIF_RANGE;
        si.nMax = ScrollBarRangeLimit(ScrollBarRangeMax(value, static_cast<int32_t>(si.nPage)), si.nMin);
        b->max = value;
        break;
    case kSvShift:
        b->shift = ScrollBarShift(value);
        si.fMask |= SIF_PAGE | SIF_RANGE;
        si.nPage = static_cast<UINT>(b->shift);
        si.nMax = ScrollBarRangeLimit(ScrollBarRangeMax(maxNow, b->shift), si.nMin);
        break;
    default:
        return 0;
    }
    SetScrollInfo(wnd, bar, &si, (rec->flags & kObjShown) ? TRUE : FALSE);
    return 0;
}

int32_t BarShow(ObjectRecord* rec, int32_t a, int32_t b, int32_t c, int32_t d) {
    if (!OwnWindow(AsBar(rec))) return 0;
    return ObjectShowWindowed(rec, a, b, c, d);
}

int32_t BarHide(ObjectRecord* rec) {
    if (!OwnWindow(AsBar(rec))) return 0;
    return ObjectHideWindowKeepFocus(rec);
}

int32_t BarEnable(ObjectRecord* rec, int32_t item, int32_t on) {
    ScrollBarRecord* b = AsBar(rec);
    UINT arrows = on ? ESB_ENABLE_BOTH : ESB_DISABLE_BOTH;
    if (b->mode & kSbmPictBar) return 0;
    if (b->mode & kSbmWindowBar) {
        if (rec->parent && rec->parent->hwnd)
            EnableScrollBar(rec->parent->hwnd, rec->kind == kKindHScrollBar ? SB_HORZ : SB_VERT, arrows);
        return 0;
    }
    if (item != 0) return 0;
    if (!on) MoveFocusAway(rec);
    if (rec->hwnd) EnableScrollBar(rec->hwnd, SB_CTL, arrows);
    return 0;
}

// Takes a Window's bar object out of the window's list and out of the link
// that holds it, so that neither the window's destroy nor a later attach
// destroys it a second time.
void DetachFromWindow(ScrollBarRecord* b) {
    ObjectRecord* rec = &b->c.hdr;
    if (b->link && b->link->bar == rec) b->link->bar = nullptr;
    b->link = nullptr;
    NativeWindowRecord* w = NativeWindowOf(rec->parent);
    if (!w) return;
    int guard = 0;
    for (ObjectRecord** at = &w->scrollBars; *at && guard < kParentChainMax; at = &(*at)->next, ++guard) {
        if (*at == rec) {
            *at = rec->next;
            rec->next = nullptr;
            return;
        }
    }
}

int32_t BarDestroy(ObjectRecord* rec) {
    ScrollBarRecord* b = AsBar(rec);
    if (b->mode & kSbmWindowBar) DetachFromWindow(b);
    if (b->mode & kSbmPictBar) {
        if (b->link && b->link->bar == rec) b->link->bar = nullptr;
        PictUnlinkScrollBar(rec->parent, rec);
    }
    if (OwnWindow(b) && rec->hwnd) DestroyWindow(rec->hwnd);
    rec->hwnd = nullptr;
    GfxFreeRecord(rec);
    return 0;
}

uint32_t BarGetProp(ObjectRecord* rec, uint32_t id) {
    ScrollBarRecord* b = AsBar(rec);
    int32_t v = 0;
    switch (id) {
    case kPidValue: BarGetValue(rec, kSvPosition, &v); return static_cast<uint32_t>(v);
    case kPidMin: BarGetValue(rec, kSvMin, &v); return static_cast<uint32_t>(v);
    case kPidMax: BarGetValue(rec, kSvMax, &v); return static_cast<uint32_t>(v);
    case kPidShift: return static_cast<uint32_t>(b->shift);
    case kPidScrollSizeMode: return (b->mode & kSbmSizeMode) ? 1 : 0;
    case kPidTabId: return rec->tabId;
    default: return OwnWindow(b) ? CtlGetCommonProp(rec, id) : 0;
    }
}

int32_t BarSetProp(ObjectRecord* rec, PropChange* req) {
    ScrollBarRecord* b = AsBar(rec);
    switch (req->id) {
    case kPidValue: return BarSetValue(rec, kSvPosition, req->value);
    case kPidMin: return BarSetValue(rec, kSvMin, req->value);
    case kPidMax: return BarSetValue(rec, kSvMax, req->value);
    case kPidShift: return BarSetValue(rec, kSvShift, req->value);
    case kPidScrollSizeMode:
        if (req->value == 1) b->mode |= kSbmSizeMode;
        else if (req->value == 0) b->mode &= ~kSbmSizeMode;
        return 0;
    case kPidTabId: return CtlSetCommonProp(rec, req);
    default: return OwnWindow(b) ? GfxSetCommonProp(rec, req) : 0;
    }
}

const ObjectOps kScrollBarOps = {
    .show = BarShow,
    .hide = BarHide,
    .destroy = BarDestroy,
    .enable = BarEnable,
    .getValue = BarGetValue,
    .setValue = BarSetValue,
    .getProp = BarGetProp,
    .setProp = BarSetProp,
};

}  // namespace

ObjectRecord* ScrollBarCreate(uint32_t type, ObjectCreateRecord* cr, int32_t* code) {
    bool horizontal = type == kTypeHscrollbar;
    uint8_t kind = horizontal ? kKindHScrollBar : kKindVScrollBar;
    DWORD style = horizontal ? (SBS_HORZ | SBS_TOPALIGN) : (SBS_VERT | SBS_LEFTALIGN);
    ControlRecord* c = CtlCreateWindowed(kind, cr, "SCROLLBAR", style, 0, nullptr, 0, code, sizeof(ScrollBarRecord));
    if (!c) return nullptr;
    ObjectRecord* rec = &c->hdr;
    ScrollBarRecord* b = AsBar(rec);
    b->min = CreateRecordValue(cr, kPidMin, 0);
    b->max = CreateRecordValue(cr, kPidMax, 0);
    b->shift = ScrollBarShift(CreateRecordValue(cr, kPidShift, 1));
    b->mode = kSbmOwnWindow | (CreateRecordValue(cr, kPidScrollSizeMode, 0) == 1 ? static_cast<uint32_t>(kSbmSizeMode) : 0u);
    SCROLLINFO si = {};
    si.cbSize = sizeof si;
    si.fMask = SIF_ALL | SIF_DISABLENOSCROLL;
    si.nMin = b->min;
    si.nMax = ScrollBarRangeLimit(ScrollBarRangeMax(b->max, b->shift), b->min);
    si.nPage = static_cast<UINT>(b->shift);
    si.nPos = b->min;
    SetScrollInfo(rec->hwnd, SB_CTL, &si, FALSE);
    // A bar sized by the system keeps the window's size; ScrollSizeMode keeps
    // the rectangle the program gave.
    if (b->mode & kSbmSizeMode) PositionObjectWindow(rec, nullptr);
    else UpdateObjectRect(rec);
    return CtlFinishCreate(c, cr, code);
}

int32_t ScrollBarOnScroll(ObjectRecord* bar, HWND wnd, int32_t thumb, int32_t code) {
    if (!bar || (bar->kind != kKindHScrollBar && bar->kind != kKindVScrollBar)) return 0;
    ScrollBarRecord* b = AsBar(bar);
    if (!OwnWindow(b)) return 0;
    int32_t current = GetScrollPos(wnd, SB_CTL);
    ScrollAction a = ScrollBarAction(code, current, b->min, b->max, b->shift, thumb);
    if (!a.reports) return 0;
    if (a.setPos) SetScrollPos(wnd, SB_CTL, a.position, TRUE);
    GfxPostAction(bar, a);
    return 1;
}

ObjectRecord* ScrollBarAttach(uint32_t type, ScrollBarLink* link, ObjectRecord* pict, ObjectRecord* window) {
    if (!link) return nullptr;
    if (link->bar) {
        ObjectRecord* old = link->bar;
        link->bar = nullptr;
        if (ObjectIsLive(old)) ObjectDestroy(old);
    }
    uint8_t kind = type == kTypeHscrollbar ? kKindHScrollBar : kKindVScrollBar;
    HWND pictBar = pict ? PictBarWindow(pict, kind == kKindVScrollBar) : nullptr;
    NativeWindowRecord* w = pict ? nullptr : NativeWindowOf(window);
    if (pict ? !pictBar : !w) return nullptr;
    ObjectRecord* rec = ObjectAllocRecord(kind, sizeof(ScrollBarRecord), false);
    if (!rec) return nullptr;
    ScrollBarRecord* b = AsBar(rec);
    b->link = link;
    rec->ovar = link->ovar;
    rec->fgColor = 0;
    rec->bgColor = kBarBgColor;
    rec->anchor = 7;
    rec->dock = kDockNone;
    rec->flags |= kObjShown;
    if (pict) {
        b->mode = kSbmPictBar;
        b->pictBar = pictBar;
        rec->parent = pict;
        PictLinkScrollBar(pict, rec);
    } else {
        b->mode = kSbmWindowBar;
        rec->parent = window;
        rec->next = w->scrollBars;
        w->scrollBars = rec;
    }
    int32_t v = 0;
    BarGetValue(rec, kSvMin, &v);
    b->min = v;
    BarGetValue(rec, kSvMax, &v);
    b->max = v;
    BarGetValue(rec, kSvShift, &v);
    b->shift = ScrollBarShift(v);
    RECT client = {};
    HWND of = pict ? pictBar : window->hwnd;
    if (of) GetClientRect(of, &client);
    rec->left = client.left, rec->top = client.top, rec->right = client.right, rec->bottom = client.bottom;
    link->bar = rec;
    return rec;
}

void ScrollBarInstall() {
    RegisterObjectCreator(kTypeHscrollbar, ScrollBarCreate);
    RegisterObjectCreator(kTypeVscrollbar, ScrollBarCreate);
    RegisterObjectOps(kKindHScrollBar, &kScrollBarOps);
    RegisterObjectOps(kKindVScrollBar, &kScrollBarOps);
    RegisterKindScroll(kKindHScrollBar, ScrollBarOnScroll, false);
    RegisterKindScroll(kKindVScrollBar, ScrollBarOnScroll, false);
}
