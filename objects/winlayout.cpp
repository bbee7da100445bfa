// winlayout.cpp - geometry of windows and their children: scale units, docked
// bars (laid out once for a batch of changes), anchored children after a
// resize, object placement and scrolling.
#include <windows.h>

#include "objects/guihooks.h"
#include "objects/objhooks.h"
#include "objects/paint.h"
#include "objects/window.h"
#include "session/nomemwin.h"

// Anchors laid out as a numeric keypad: 7 keeps the top-left corner (the
// default), 9 follows the right edge, 1 the bottom, 3 both; 8 and 2 stretch
// across, 4 and 6 stretch down, 5 stretches both ways.
struct AnchorRule {
    uint8_t moveX, moveY, growX, growY;
};
static const AnchorRule kAnchorRules[10] = {
    {0, 0, 0, 0},  // 0 unused
    {0, 1, 0, 0},  // 1 bottom-left
    {0, 1, 1, 0},  // 2 bottom, stretched across
    {1, 1, 0, 0},  // 3 bottom-right
    {0, 0, 0, 1},  // 4 left, stretched down
    {0, 0, 1, 1},  // 5 all edges
    {1, 0, 0, 1},  // 6 right, stretched down
    {0, 0, 0, 0},  // 7 top-left
    {0, 0, 1, 0},  // 8 top, stretched across
    {1, 0, 0, 0},  // 9 top-right
};

static KindRescaleFn gKindRescale[kObjectKindRows];
static KindAnchorFn gKindAnchor[kObjectKindRows];

void RegisterKindAnchor(uint32_t kind, KindAnchorFn fn) {
    if (kind < kObjectKindRows) gKindAnchor[kind] = fn;
}

void RegisterKindRescale(uint32_t kind, KindRescaleFn fn) {
    if (kind < kObjectKindRows) gKindRescale[kind] = fn;
}

bool ObjectRescale(ObjectRecord* rec, int32_t verticalPercent, int32_t horizontalPercent) {
    if (!rec || rec->kind >= kObjectKindRows || !gKindRescale[rec->kind]) return false;
    gKindRescale[rec->kind](rec, verticalPercent, horizontalPercent);
    return true;
}

static uint8_t UnitsOf(ObjectRecord* window) {
    ObjectRecord* top = window ? ObjectTopWindow(window) : nullptr;
    if (!top) top = window;
    NativeWindowRecord* w = NativeWindowOf(top);
    return w ? w->units : static_cast<uint8_t>(kUnitsPixels);
}

// By the window's scale mode, the same table as the web view's: the screen
// is not asked.
int32_t ConvertUnits(ObjectRecord* window, int32_t value, UnitsWay way) {
    return ScaleByMode(UnitsOf(window), value, way == kToPixels);
}

void ConvertRectUnits(ObjectRecord* window, RECT* rect, UnitsWay way) {
    rect->left = ConvertUnits(window, rect->left, way);
    rect->top = ConvertUnits(window, rect->top, way);
    rect->right = ConvertUnits(window, rect->right, way);
    rect->bottom = ConvertUnits(window, rect->bottom, way);
}

bool ContainerInfoOf(ObjectRecord* container, ContainerInfo* out) {
    NativeWindowRecord* w = NativeWindowOf(container);
    if (w) {
        *out = ContainerInfo{&w->w.clientWidth, &w->w.clientHeight, w->w.dockPad, &w->w.virtualWidth,
                             &w->w.virtualHeight, &w->w.scrollX, &w->w.scrollY};
        return true;
    }
    if (container && container->kind == kKindPanel && gGuiHooks.panelInfo) return gGuiHooks.panelInfo(container, out);
    return false;
}

void WindowLayoutRect(ObjectRecord* container, RECT* out) {
    ContainerInfo ci;
    *out = RECT{0, 0, 0, 0};
    if (!container || !ContainerInfoOf(container, &ci)) return;
    int32_t width = *ci.clientWidth, height = *ci.clientHeight;
    if (*ci.virtualWidth > width) width = *ci.virtualWidth;
    if (*ci.virtualHeight > height) height = *ci.virtualHeight;
    out->left = ci.dockPad[0];
    out->top = ci.dockPad[1];
    out->right = width - ci.dockPad[2];
    out->bottom = height - ci.dockPad[3];
    if (container->kind == kKindWindow && gGuiHooks.ribbonHeight) out->top += gGuiHooks.ribbonHeight(container);
}

// The system keeps a window's place and size in 16 bits: SetWindowPos takes
// a place beyond them as the nearest one it can hold (children docked past
// the 32,767th pixel all stand there) and a size as at most the largest.
constexpr int32_t kWindowCoordMin = -32768, kWindowCoordMax = 32767;

static int32_t WindowCoordHeld(int32_t v) {
    return v < kWindowCoordMin ? kWindowCoordMin : v > kWindowCoordMax ? kWindowCoordMax : v;
}

static int32_t WindowExtentHeld(int32_t v) { return v < 0 ? 0 : v > kWindowCoordMax ? kWindowCoordMax : v; }

// True when the child window already has this place in its parent's client
// area, or the place the system holds for it (read from the window itself,
// no message sent). A window that cannot take its place is not moved again
// at every layout.
static bool WindowIsAt(HWND wnd, int32_t x, int32_t y, int32_t width, int32_t height) {
    RECT r;
    if (!GetWindowRect(wnd, &r)) return false;
    MapWindowPoints(nullptr, GetParent(wnd), reinterpret_cast<POINT*>(&r), 2);
    return r.left == WindowCoordHeld(x) && r.top == WindowCoordHeld(y) && r.right - r.left == WindowExtentHeld(width) &&
           r.bottom - r.top == WindowExtentHeld(height);
}

// Moves the object's window (or only its rectangle for a windowless object)
// to rect in container pixels. A window already there (a control just made
// at its place and now shown) is not moved again: the move would only cost a
// round of position messages that change nothing.
void PositionObjectWindow(ObjectRecord* rec, const RECT* rect) {
    if (!rec) return;
    RECT old = {rec->left, rec->top, rec->right, rec->bottom};
    if (rect) {
        rec->left = rect->left;
        rec->top = rect->top;
        rec->right = rect->right;
        rec->bottom = rect->bottom;
    }
    ContainerInfo ci;
    int32_t sx = 0, sy = 0;
    if (rec->parent && ContainerInfoOf(rec->parent, &ci)) {
        sx = *ci.scrollX;
        sy = *ci.scrollY;
    }
    if (rec->hwnd && rec->kind != kKindWindow) {
        int32_t x = rec->left - sx, y = rec->top - sy, width = rec->right - rec->left, height = rec->bottom - rec->top;
        if (!WindowIsAt(rec->hwnd, x, y, width, height))
            SetWindowPos(rec->hwnd, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
    } else if (rec->parent && rec->parent->hwnd) {
        HWND pw = rec->parent->hwnd;
        OffsetRect(&old, -sx, -sy);
        InvalidateRect(pw, &old, TRUE);
        RECT now = {rec->left - sx, rec->top - sy, rec->right - sx, rec->bottom - sy};
        InvalidateRect(pw, &now, TRUE);
    }
}

// A hosted OLE object moved by docking or anchoring follows its record: its
// in-place rectangles and its extent.
static void TellOleObjectMoved(ObjectRecord* rec) {
    if ((rec->kind == kKindControl || rec->kind == kKindContainer) && gComObjectHooks.oleMoved)
        gComObjectHooks.oleMoved(rec);
}

void UpdateObjectRect(ObjectRecord* rec) {
    if (!rec || !rec->hwnd || rec->kind == kKindWindow) return;
    RECT r;
    GetWindowRect(rec->hwnd, &r);
    HWND parent = GetParent(rec->hwnd);
    if (parent) MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
    ContainerInfo ci;
    if (rec->parent && ContainerInfoOf(rec->parent, &ci)) OffsetRect(&r, *ci.scrollX, *ci.scrollY);
    rec->left = r.left;
    rec->top = r.top;
    rec->right = r.right;
    rec->bottom = r.bottom;
}

void ObjectSetBounds(ObjectRecord* rec, const RECT* rect) {
    PositionObjectWindow(rec, rect);
    if (rec && (rec->flags & kObjDocked) && rec->parent) WindowLayout(rec->parent);
}

void ObjectResizeBy(ObjectRecord* rec, int32_t dHeight, int32_t dWidth) {
    if (!rec) return;
    RECT r = {rec->left, rec->top, rec->right + dWidth, rec->bottom + dHeight};
    if (r.right < r.left) r.right = r.left;
    if (r.bottom < r.top) r.bottom = r.top;
    PositionObjectWindow(rec, &r);
}

static void LayoutWaitEnd(ObjectRecord* container);

void WindowLayout(ObjectRecord* container) {
    NativeWindowRecord* w = NativeWindowOf(container);
    if (w) {
        if (w->inLayout) return;
        w->inLayout = 1;
    }
    // Laid out now: a layout it was waiting for is done with this one.
    LayoutWaitEnd(container);
    RECT area;
    WindowLayoutRect(container, &area);
    for (ObjectRecord* c = container ? container->children : nullptr; c; c = c->next) {
        // Web-view objects are laid out in their page (a native host's list may hold them).
        if (ObjectIsWebView(c)) continue;
        if (c->dock == kDockNone || c->dock == 0 || c->dock > kDockFill || !(c->flags & kObjShown)) continue;
        c->flags |= kObjDocked;
        int32_t width = c->right - c->left, height = c->bottom - c->top;
        RECT r = area;
        switch (c->dock) {
        case kDockTop:
            r.bottom = area.top + height;
            area.top = r.bottom;
            break;
        case kDockBottom:
            r.top = area.bottom - height;
            area.bottom = r.top;
            break;
        case kDockLeft:
            r.right = area.left + width;
            area.left = r.right;
            break;
        case kDockRight:
            r.left = area.right - width;
            area.right = r.left;
            break;
        default:  // fill what is left
            break;
        }
        if (r.right < r.left) r.right = r.left;
        if (r.bottom < r.top) r.bottom = r.top;
        PositionObjectWindow(c, &r);
        TellOleObjectMoved(c);
    }
    if (w) w->inLayout = 0;
}

// ---- Layouts that wait for their batch --------------------------------------
// A docked object made, shown, hidden, docked otherwise or destroyed asks its
// container for a layout. Made one request at a time by the thousand, a
// layout for each would cost the n-th object a layout of n objects, so the
// containers that asked wait here and are laid out once for the batch:
// before any request that may read a place (the objects' wire says which
// do not), before the client waits for the user (an event wait, a modal
// window), and at the latest once the changes have paused for kLayoutWaitMs
// (a thread timer that each change sets back). Not at a paint: each control
// hidden or destroyed makes its container paint the room it leaves, and a
// run of removals from the front would move every neighbour at each of them.
// A container laid out meanwhile for another reason (a size change, a
// padding) leaves the list.
constexpr uint32_t kLayoutWaitMax = 16;   // more containers waiting at once are laid out at once
constexpr UINT kLayoutWaitMs = 20;

static ObjectRef gLayoutWait[kLayoutWaitMax];
static uint32_t gLayoutWaitCount;
static UINT_PTR gLayoutWaitTimer;

static bool LayoutCanRun(ObjectRecord* container) {
    ContainerInfo ci;
    return container && ObjectIsLive(container) && !ObjectIsWebView(container) && ContainerInfoOf(container, &ci);
}

// Where the live container waits in the list, or -1. An entry of a record
// freed since (whose memory a new container may have taken) is not it.
static int32_t LayoutWaitIndex(ObjectRecord* container) {
    ObjectRef ref = ObjectRefOf(container);
    for (uint32_t i = 0; i < gLayoutWaitCount; i++)
        if (gLayoutWait[i].rec == ref.rec && gLayoutWait[i].handle == ref.handle) return static_cast<int32_t>(i);
    return -1;
}

static void LayoutWaitEnd(ObjectRecord* container) {
    int32_t i = gLayoutWaitCount ? LayoutWaitIndex(container) : -1;
    if (i >= 0) gLayoutWait[i] = gLayoutWait[--gLayoutWaitCount];
}

static void LayoutWaitTimer(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    if (id == gLayoutWaitTimer) gLayoutWaitTimer = 0;
    WindowLayoutsFlush();
}

void WindowLayoutAfterDockChange(ObjectRecord* container) {
    if (!LayoutCanRun(container)) return;
    if (LayoutWaitIndex(container) < 0) {
        if (gLayoutWaitCount == kLayoutWaitMax) return WindowLayout(container);
        gLayoutWait[gLayoutWaitCount++] = ObjectRefOf(container);
    }
    // Each change sets the timer back (the same thread timer, replaced).
    gLayoutWaitTimer = SetTimer(nullptr, gLayoutWaitTimer, kLayoutWaitMs, GuardedTimerProc<LayoutWaitTimer>);
}

void WindowLayoutsFlush() {
    // Each entry is taken off before its layout; one that is gone, or no
    // longer a native container, is only taken off.
    while (gLayoutWaitCount) {
        ObjectRef ref = gLayoutWait[--gLayoutWaitCount];
        if (ObjectRefAlive(ref) && LayoutCanRun(ref.rec)) WindowLayout(ref.rec);
    }
    if (gLayoutWaitTimer) KillTimer(nullptr, gLayoutWaitTimer);
    gLayoutWaitTimer = 0;
}

// A container docked in one whose layout waits still has the size it was made
// with: a child placed in it now would be moved by the container's growth
// when that layout runs (a button at Left 30 anchored right in a bar docked
// at the bottom would land the bar's growth further right). The container's
// own layout places only its docked children and sizes nothing: it keeps
// waiting for its batch, so a batch of children costs one layout above them.
// No pump runs in a layout: the records of the chain stay.
static void LayoutsAbove(ObjectRecord* container, int depth) {
    ObjectRecord* up = container->parent;
    if (!up || depth >= kParentChainMax) return;
    LayoutsAbove(up, depth + 1);
    if (LayoutWaitIndex(up) >= 0 && LayoutCanRun(up)) WindowLayout(up);
}

void WindowLayoutsAbove(ObjectRecord* container) {
    if (gLayoutWaitCount && container) LayoutsAbove(container, 0);
}

void WindowResizeChildren(ObjectRecord* container, int32_t oldWidth, int32_t oldHeight) {
    ContainerInfo ci;
    if (!container || !container->hwnd || !ContainerInfoOf(container, &ci)) return;
    RECT client;
    GetClientRect(container->hwnd, &client);
    if (oldWidth < 0) oldWidth = *ci.clientWidth;
    if (oldHeight < 0) oldHeight = *ci.clientHeight;
    *ci.clientWidth = client.right;
    *ci.clientHeight = client.bottom;
    int32_t dx = client.right - oldWidth, dy = client.bottom - oldHeight;
    if (!dx && !dy) return;
    for (ObjectRecord* c = container->children; c; c = c->next) {
        if ((c->flags & kObjDocked) || ObjectIsWebView(c)) continue;
        uint8_t a = (c->anchor >= 1 && c->anchor <= 9) ? c->anchor : 7;
        const AnchorRule& rule = kAnchorRules[a];
        if (!rule.moveX && !rule.moveY && !rule.growX && !rule.growY) continue;
        RECT r = {c->left, c->top, c->right, c->bottom};
        if (rule.moveX) OffsetRect(&r, dx, 0);
        if (rule.moveY) OffsetRect(&r, 0, dy);
        if (rule.growX) r.right += dx;
        if (rule.growY) r.bottom += dy;
        if (r.right < r.left) r.right = r.left;
        if (r.bottom < r.top) r.bottom = r.top;
        if (c->kind < kObjectKindRows && gKindAnchor[c->kind]) gKindAnchor[c->kind](c, &r);
        PositionObjectWindow(c, &r);
        TellOleObjectMoved(c);
    }
}

// ---- Scrolling ---------------------------------------------------------------------
void WindowScrollRangeSet(ObjectRecord* container, int h, int v) {
    ContainerInfo ci;
    if (!container || !container->hwnd || !ContainerInfoOf(container, &ci)) return;
    if (h) {
        SCROLLINFO si = {};
        si.cbSize = sizeof si;
        si.fMask = SIF_RANGE;
        si.nMax = *ci.virtualWidth > 0 ? *ci.virtualWidth : 0;
        SetScrollInfo(container->hwnd, SB_HORZ, &si, TRUE);
        WindowScrollPageSet(container, 0);
    }
    if (v) {
        SCROLLINFO si = {};
        si.cbSize = sizeof si;
        si.fMask = SIF_RANGE;
        si.nMax = *ci.virtualHeight > 0 ? *ci.virtualHeight : 0;
        SetScrollInfo(container->hwnd, SB_VERT, &si, TRUE);
        WindowScrollPageSet(container, 1);
    }
}

void WindowScrollPageSet(ObjectRecord* container, int vertical) {
    ContainerInfo ci;
    if (!container || !container->hwnd || !ContainerInfoOf(container, &ci)) return;
    SCROLLINFO si = {};
    si.cbSize = sizeof si;
    si.fMask = SIF_PAGE;
    si.nPage = static_cast<UINT>(vertical ? *ci.clientHeight : *ci.clientWidth);
    SetScrollInfo(container->hwnd, vertical ? SB_VERT : SB_HORZ, &si, TRUE);
}

void WindowScrollTo(ObjectRecord* container, int32_t pos, int vertical) {
    ContainerInfo ci;
    if (!container || !container->hwnd || !ContainerInfoOf(container, &ci)) return;
    int32_t extent = vertical ? *ci.virtualHeight - *ci.clientHeight : *ci.virtualWidth - *ci.clientWidth;
    if (pos > extent) pos = extent;
    if (pos < 0) pos = 0;
    int32_t* cur = vertical ? ci.scrollY : ci.scrollX;
    int32_t delta = *cur - pos;
    if (!delta) return;
    *cur = pos;
    ScrollWindowEx(container->hwnd, vertical ? 0 : delta, vertical ? delta : 0, nullptr, nullptr, nullptr, nullptr,
                   SW_INVALIDATE | SW_ERASE | SW_SCROLLCHILDREN);
    SetScrollPos(container->hwnd, vertical ? SB_VERT : SB_HORZ, pos, TRUE);
}

int32_t WindowScrollMsg(ObjectRecord* container, int32_t, int32_t code, int vertical) {
    ContainerInfo ci;
    if (!container || !container->hwnd || !ContainerInfoOf(container, &ci)) return 0;
    int32_t pos = vertical ? *ci.scrollY : *ci.scrollX;
    int32_t page = vertical ? *ci.clientHeight : *ci.clientWidth;
    const int32_t line = 16;
    SCROLLINFO si = {};
    si.cbSize = sizeof si;
    si.fMask = SIF_TRACKPOS;
    switch (code & 0xFFFF) {
    case SB_LINEUP: pos -= line; break;
    case SB_LINEDOWN: pos += line; break;
    case SB_PAGEUP: pos -= page; break;
    case SB_PAGEDOWN: pos += page; break;
    case SB_TOP: pos = 0; break;
    case SB_BOTTOM: pos = 0x7FFFFFF; break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION:
        GetScrollInfo(container->hwnd, vertical ? SB_VERT : SB_HORZ, &si);
        pos = si.nTrackPos;
        break;
    default: return 0;
    }
    WindowScrollTo(container, pos, vertical);
    return 0;
}
