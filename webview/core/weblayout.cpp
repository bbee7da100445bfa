// weblayout.cpp - where web-view objects sit: child chains, lookups by element
// id, positions and sizes written into the page, a window's free area, the
// docking layout, anchored children after a resize and a window's new
// rectangle; and the generic show, hide, enable and destroy of the records.
//
// A web window's children are kept in the window's own child list (a panel's
// in the panel's). The host window's list belongs to its native objects: so
// destroy, layout, enable and find walk exactly a window's children, no child
// is left with a parent that does not hold it, and the native walkers never
// meet a web record.
#include <cstdio>
#include <cstring>
#include <vector>

#include "objects/events.h"
#include "objects/objhooks.h"
#include "objects/objops.h"
#include "session/util/mem.h"
#include "webview/core/pageactions.h"
#include "webview/core/webchannel.h"
#include "webview/core/webevents.h"
#include "webview/core/webservices.h"
#include "webview/core/webgeneric.h"
#include "webview/core/webkinds.h"
#include "webview/core/webobject.h"
#include "webview/core/webprops.h"
#include "webview/core/weboptions.h"
#include "webview/core/webtext.h"
#include "webview/core/webmarkup.h"

namespace {

constexpr uint32_t kScrollsVertical = 0x2000000;
constexpr uint32_t kScrollsHorizontal = 0x4000000;
constexpr int32_t kEditFrameHeight = 2;
constexpr int32_t kEditFrameWidth = 4;
constexpr int32_t kGroupFrameHeight = 4;
constexpr int32_t kUpDownWidth = 28;

enum RectPart : int { kPartLeft = 0, kPartTop = 1, kPartHeight = 2, kPartWidth = 3 };
constexpr uint8_t kDockHeightFromWidth = 0x80;   // one-shot marks of a dock change
constexpr uint8_t kDockWidthFromHeight = 0x40;
constexpr uint8_t kDockValueMask = 0x3F;

void CssPx(const ObjectRecord* rec, const char* style, int32_t value) {
    char text[24];
    snprintf(text, sizeof text, "%dpx", value);
    WebSetElemCss(rec, style, text, true);
}

// A geometry value as a percentage of base when the geometry asks for one
// (kept in *field), else as pixels.
void CssGeometry(ObjectRecord* rec, const char* style, int32_t value, int32_t base, char** field) {
    if (gWebPercentGeometry && field && base > 0 && WebKindTakesPercent(rec)) {
        int32_t p = static_cast<int32_t>((static_cast<int64_t>(value) * 10000 / base + 50) / 100);
        if (p >= 1 && p <= 100) {
            char text[16];
            snprintf(text, sizeof text, "%d%%", p);
            if (*field) LocalFreeMem(*field);
            *field = static_cast<char*>(LocalAllocZero(strlen(text) + 1));
            if (*field) strcpy(*field, text);
            WebSetElemCss(rec, style, text, true);
            return;
        }
    }
    CssPx(rec, style, value);
}

int32_t PageWidthOf(ObjectRecord* container) { return WebIsWindow(container) ? WebWin(container)->pageWidth : 0; }
int32_t PageHeightOf(ObjectRecord* container) { return WebIsWindow(container) ? WebWin(container)->pageHeight : 0; }

bool HeightWritten(const ObjectRecord* rec) {
    return rec->kind != kKindToolBar || rec->dock == kDockLeft || rec->dock == kDockRight;
}

// The children of a container as they are now: a walk that destroys or moves
// them works on this copy, so a record that stays in the list cannot hold it.
std::vector<ObjectRecord*> Snapshot(ObjectRecord* container) {
    std::vector<ObjectRecord*> out;
    for (ObjectRecord* c = container ? container->children : nullptr; c && out.size() < 100000; c = c->next)
        out.push_back(c);
    return out;
}

}  // namespace

// ---- Chains and lookups ----------------------------------------------------------------

static uint32_t ZOrderKey(const ObjectRecord* rec) { return rec->zOrder; }

void WebLinkChild(ObjectRecord* rec) {
    ObjectRecord* container = rec ? rec->parent : nullptr;
    if (!container || !ObjectParentChainOk(rec, container)) return;
    ChildListRemove(rec);
    ChildListInsert(rec, ZOrderKey);
}

bool WebUnlinkChild(ObjectRecord* rec) { return rec && ChildListRemove(rec); }

static ObjectRecord* FindIn(ObjectRecord* container, uint32_t id, int depth) {
    if (!container || depth > kParentChainMax) return nullptr;
    for (ObjectRecord* c = container->children; c; c = c->next) {
        if (c->elementId == id && ObjectIsWebView(c)) return c;
        if (c->kind == kKindWindow || c->kind == kKindPanel) {
            ObjectRecord* found = FindIn(c, id, depth + 1);
            if (found) return found;
        }
    }
    return nullptr;
}

ObjectRecord* WebFindObjectById(ObjectRecord* start, uint32_t id) {
    if (start) return FindIn(start, id, 0);
    ObjectRecord* found = FindIn(gWebMainWindow, id, 0);
    for (ObjectRecord* w = gWebWindowList; w && !found; w = w->next)
        if (w != gWebMainWindow) found = FindIn(w, id, 0);
    return found;
}

ObjectRecord* WebFindWindowById(uint32_t id) {
    if (gWebMainWindow && gWebMainWindow->elementId == id) return gWebMainWindow;
    for (ObjectRecord* w = gWebWindowList; w; w = w->next)
        if (w->elementId == id) return w;
    return nullptr;
}

ObjectRecord* WebFocusedObject() {
    if (!gWebActiveWindow) return nullptr;
    WindowRecord* w = reinterpret_cast<WindowRecord*>(gWebActiveWindow);
    if (w->focusObj) return w->focusObj;
    if (w->lastFocus) return w->lastFocus;
    return gWebActiveWindow;
}

// ---- Positions ---------------------------------------------------------------------------

int32_t WebRectPart(const ObjectRecord* rec, const int32_t rect[4], int part) {
    switch (part) {
    case kPartLeft: return rect[0];
    case kPartTop: return rect[1];
    case kPartHeight: {
        int32_t h = rect[3] - rect[1];
        if (rec->kind == kKindEditText) h -= kEditFrameHeight;
        if (rec->kind == kKindGroupBox) h -= kGroupFrameHeight;
        return h;
    }
    default: {
        int32_t w = rect[2] - rect[0];
        if (rec->kind == kKindEditText) w -= kEditFrameWidth;
        if (rec->kind == kKindEditNumber && (rec->appearance == 1 || rec->appearance == 3)) w -= kUpDownWidth;
        return w;
    }
    }
}

static void TakeRect(ObjectRecord* rec, const int32_t r[4]) {
    rec->left = r[0];
    rec->top = r[1];
    rec->right = r[2];
    rec->bottom = r[3];
}

void WebSetPosition(ObjectRecord* rec, const int32_t* rect) {
    if (!rec) return;
    if ((rec->flags & kObjDocked) && rec->parent) {
        WebLayoutChildren(rec->parent);
        return;
    }
    if (!rect) return;
    if (rec->kind == kKindMRegion) {
        TakeRect(rec, rect);
        return;
    }
    TakeRect(rec, rect);
    int32_t r[4] = {rec->left, rec->top, rec->right, rec->bottom};
    CssPx(rec, "top", WebRectPart(rec, r, kPartTop));
    CssPx(rec, "left", WebRectPart(rec, r, kPartLeft));
}

void WebMoveBy(ObjectRecord* rec, int32_t dy, int32_t dx) {
    if (!rec) return;
    int32_t r[4] = {rec->left + dx, rec->top + dy, rec->right + dx, rec->bottom + dy};
    WebSetPosition(rec, r);
}

void WebResizeTo(ObjectRecord* rec, const int32_t rect[4]) {
    if (!rec || rec->kind == kKindIcon) return;
    int32_t oldH = rec->bottom - rec->top, oldW = rec->right - rec->left;
    TakeRect(rec, rect);
    if (rec->bottom - rec->top != oldH && HeightWritten(rec))
        CssPx(rec, "outerHeight", WebRectPart(rec, rect, kPartHeight));
    if (rec->right - rec->left != oldW) CssPx(rec, "outerWidth", WebRectPart(rec, rect, kPartWidth));
    if ((rec->flags & kObjDocked) && rec->parent) WebLayoutChildren(rec->parent);
}

void WebResizeBy(ObjectRecord* rec, int32_t dh, int32_t dw) {
    if (!rec) return;
    int32_t r[4] = {rec->left, rec->top, rec->right + dw, rec->bottom + dh};
    WebResizeTo(rec, r);
}

void WebSetWrapperCss(const ObjectRecord* rec, const char* style, const char* value) {
    char sel[24];
    snprintf(sel, sizeof sel, "#C%uD", rec->elementId);
    JsonBeginAction(kActSetCss);
    JsonAddStringNoConv("en", sel);
    JsonAddStringNoConv("pn", style);
    JsonAddStringZ("pv", value);
    WebViewMsgEnd();
}

// ---- Layout --------------------------------------------------------------------------------

void WebClientRect(ObjectRecord* rec, int32_t out[4]) {
    out[0] = out[1] = 0;
    if (WebIsWindow(rec)) {
        out[2] = WebWin(rec)->contentWidth;
        out[3] = WebWin(rec)->contentHeight;
        return;
    }
    out[2] = rec->right - rec->left;
    out[3] = rec->bottom - rec->top;
}

// What a window or a panel keeps for its docking area: scroll offsets,
// whether it scrolls, its minimum scroll sizes and its dock paddings.
struct DockArea {
    int32_t scrollX, scrollY;
    bool scrolls;
    int32_t minH, minV;
    const int32_t* pad;
};

static bool DockAreaOf(ObjectRecord* container, DockArea* a) {
    if (WebIsWindow(container)) {
        WebWindowRecord* w = WebWin(container);
        *a = DockArea{w->win.scrollX, w->win.scrollY, (w->win.style[0] & (kScrollsVertical | kScrollsHorizontal)) != 0,
                      w->minScrollH, w->minScrollV, w->win.dockPad};
        return true;
    }
    if (container->kind == kKindPanel) {
        WebPanelRecord* p = reinterpret_cast<WebPanelRecord*>(container);
        *a = DockArea{p->offsetH, p->offsetV, (p->panelFlags & (kScrollsVertical | kScrollsHorizontal)) != 0,
                      p->minScrollH, p->minScrollV, p->dockPad};
        return true;
    }
    return false;
}

void WebWindowClientArea(ObjectRecord* container, int32_t out[4]) {
    WebClientRect(container, out);
    DockArea a;
    if (!DockAreaOf(container, &a)) return;
    out[0] -= a.scrollX;
    out[2] -= a.scrollX;
    out[1] -= a.scrollY;
    out[3] -= a.scrollY;
    if (a.scrolls) {
        if (out[3] - out[1] < a.minV) out[3] = out[1] + a.minV;
        if (out[2] - out[0] < a.minH) out[2] = out[0] + a.minH;
    }
    out[0] += a.pad[0];
    out[1] += a.pad[1];
    out[2] -= a.pad[2];
    out[3] -= a.pad[3];
    if (out[2] < out[0]) out[2] = out[0];
    if (out[3] < out[1]) out[3] = out[1];
}

void WebLayoutChildren(ObjectRecord* container) {
    if (!container) return;
    if (WebIsWindow(container) && WebWin(container)->hostRecord && gWebObjServices.windowLayout)
        gWebObjServices.windowLayout(WebWin(container)->hostRecord);
    int32_t f[4];
    WebWindowClientArea(container, f);
    int32_t pageW = PageWidthOf(container), pageH = PageHeightOf(container);
    for (ObjectRecord* c : Snapshot(container)) {
        if (!(c->flags & kObjDocked) || !(c->flags & kObjShown)) continue;
        int32_t r[4] = {c->left, c->top, c->right, c->bottom};
        int32_t old[4] = {r[0], r[1], r[2], r[3]};
        uint8_t dock = c->dock & kDockValueMask;
        if (c->dock & kDockHeightFromWidth) r[3] = r[1] + (old[2] - old[0]);
        if (c->dock & kDockWidthFromHeight) r[2] = r[0] + (old[3] - old[1]);
        c->dock = dock;
        int32_t h = r[3] - r[1], w = r[2] - r[0];
        switch (dock) {
        case kDockTop:
        case kDockBottom:
            r[0] = f[0];
            r[2] = f[2];
            if (h > f[3] - f[1]) {
                f[3] = f[1];
            } else if (dock == kDockTop) {
                r[1] = f[1];
                r[3] = f[1] + h;
                f[1] += h;
            } else {
                r[3] = f[3];
                r[1] = f[3] - h;
                f[3] -= h;
            }
            break;
        case kDockLeft:
        case kDockRight:
            r[1] = f[1];
            r[3] = f[3];
            if (w > f[2] - f[0]) {
                f[2] = f[0];
            } else if (dock == kDockLeft) {
                r[0] = f[0];
                r[2] = f[0] + w;
                f[0] += w;
            } else {
                r[2] = f[2];
                r[0] = f[2] - w;
                f[2] -= w;
            }
            break;
        case kDockFill:
            memcpy(r, f, sizeof r);
            WebWindowClientArea(container, f);
            break;
        default:
            break;
        }
        bool splitterLeft = c->kind == kKindSplitter && (gWebSplitterOption & 1);
        if (r[1] != old[1] || gWebPercentGeometry == 2)
            CssGeometry(c, "top", WebRectPart(c, r, kPartTop), gWebPercentGeometry == 2 ? pageH : 0, &c->webTop);
        if (r[0] != old[0] || splitterLeft || gWebPercentGeometry)
            CssGeometry(c, "left", WebRectPart(c, r, kPartLeft), pageW, &c->webLeft);
        if (r[3] - r[1] != old[3] - old[1] && HeightWritten(c)) CssPx(c, "height", WebRectPart(c, r, kPartHeight));
        if (r[2] - r[0] != old[2] - old[0] || gWebPercentGeometry)
            CssGeometry(c, "width", WebRectPart(c, r, kPartWidth), pageW, &c->webWidth);
        TakeRect(c, r);
    }
}

static int32_t ScrollDelta(int32_t oldV, int32_t newV, int32_t m) {
    bool oldAbove = oldV > m, newAbove = newV > m;
    if (oldAbove && newAbove) return newV - oldV;
    if (oldAbove) return m - oldV;
    if (newAbove) return newV - m;
    return 0;
}

void WebWindowResized(ObjectRecord* window, int32_t oldHeight, int32_t oldWidth) {
    if (gWebUncheckedGeometry || !WebIsWindow(window)) return;
    WebWindowRecord* w = WebWin(window);
    int32_t dx = w->contentWidth - oldWidth, dy = w->contentHeight - oldHeight;
    if (w->win.style[0] & (kScrollsVertical | kScrollsHorizontal)) {
        dx = ScrollDelta(oldWidth, w->contentWidth, w->minScrollH);
        dy = ScrollDelta(oldHeight, w->contentHeight, w->minScrollV);
    }
    if (!dx && !dy) return;
    for (ObjectRecord* c : Snapshot(window)) {
        if ((c->flags & kObjDocked) || c->anchor < 1 || c->anchor > 9 || c->anchor == 7) continue;
        int32_t mx = 0, my = 0, gw = 0, gh = 0;
        switch (c->anchor) {
        case 1: my = dy; break;
        case 2: my = dy; gw = dx; break;
        case 3: mx = dx; my = dy; break;
        case 4: gh = dy; break;
        case 5: gw = dx; gh = dy; break;
        case 6: mx = dx; gh = dy; break;
        case 8: gw = dx; break;
        case 9: mx = dx; break;
        default: break;
        }
        if (mx || my) WebMoveBy(c, my, mx);
        if (gw || gh) WebResizeBy(c, gh, gw);
    }
}

void WebWindowSetRect(ObjectRecord* window, const int32_t rect[4]) {
    if (!WebIsWindow(window)) return;
    WebWindowRecord* w = WebWin(window);
    int32_t old[4];
    WebClientRect(window, old);
    bool menu = (w->win.style[0] & kWwsMenuBar) != 0;
    TakeRect(window, rect);
    int32_t width = rect[2] - rect[0], height = rect[3] - rect[1];
    w->contentWidth = width;
    w->contentHeight = height;
    if (w->pageWidth) w->pageWidth = width;
    if (w->pageHeight) w->pageHeight = height;
    char text[24];
    if (height - (menu ? kMenuBarHeight : 0) != old[3] || height != old[3]) {
        CssPx(window, "height", height);
        snprintf(text, sizeof text, "%dpx", menu ? height - kMenuBarHeight : height);
        WebSetWrapperCss(window, "height", text);
    }
    if (width != old[2]) {
        CssPx(window, "width", width);
        snprintf(text, sizeof text, "%dpx", width);
        WebSetWrapperCss(window, "width", text);
    }
    if (menu) w->contentHeight -= kMenuBarHeight;
    WebWindowResized(window, old[3], old[2]);
    WebLayoutChildren(window);
}

void WebPlaceWindow(ObjectRecord* rec, const int32_t rect[4], int32_t oldWidth, int32_t oldHeight) {
    if (!rec) return;
    ObjectRecord* container = rec->parent;
    int32_t pageW = PageWidthOf(container), pageH = PageHeightOf(container);
    bool splitterLeft = rec->kind == kKindSplitter && (gWebSplitterOption & 1);
    if (rect[1] != rec->top || splitterLeft || gWebPercentGeometry == 2)
        CssGeometry(rec, "top", rect[1], gWebPercentGeometry == 2 ? pageH : 0, &rec->webTop);
    if (rect[0] != rec->left || splitterLeft || gWebPercentGeometry)
        CssGeometry(rec, "left", rect[0], pageW, &rec->webLeft);
    if (rect[3] - rect[1] != oldHeight && HeightWritten(rec))
        CssPx(rec, "outerHeight", WebRectPart(rec, rect, kPartHeight));
    if (rect[2] - rect[0] != oldWidth || gWebPercentGeometry)
        CssGeometry(rec, "outerWidth", WebRectPart(rec, rect, kPartWidth), pageW, &rec->webWidth);
    TakeRect(rec, rect);
}

// ---- Generic operations ---------------------------------------------------------------------

// A show, hide or enable goes to the object's own page, whatever view the
// request before it left current (a creation leaves none, and a flush made
// inside another request puts back the view it found).
int32_t WebActivateObject(ObjectRecord* rec, int32_t a, int32_t b, int32_t c, int32_t d) {
    if (!rec) return kWebNotCreated;
    WebViewSelectForObject(rec);
    const WebKindOps* ops = WebKindOpsOf(rec);
    if (a) {
        uint32_t ev = ops ? ops->defaultEvent : 0;
        int32_t values[4] = {a, b, c, d};
        if (ev) {
            int32_t r = EventRegister(rec, ev, values, false, nullptr, 0);
            if (r != 0) return r;
        }
    }
    if (ops && ops->show) return ops->show(rec, a, b, c, d);
    if (rec->flags & kObjShown) return 0;
    rec->flags |= kObjShown;
    if (rec->kind == kKindWindow) return WebShowWindow(rec);
    WebSetElemCss(rec, "display", "block", true);
    if ((rec->flags & kObjDocked) && rec->parent) WebLayoutChildren(rec->parent);
    return 0;
}

int32_t WebHideObject(ObjectRecord* rec, int noPageUpdate) {
    if (!rec) return kWebNotCreated;
    WebViewSelectForObject(rec);
    if (rec->kind == kKindWindow) {
        int32_t r = WebHideWindow(rec);
        if (r == 0) rec->flags &= ~kObjShown;
        return r;
    }
    bool wasShown = (rec->flags & kObjShown) != 0;
    rec->flags &= ~kObjShown;
    const WebKindOps* ops = WebKindOpsOf(rec);
    if (ops && ops->hide) return ops->hide(rec, wasShown);
    ObjectRecord* top = ObjectTopWindow(rec);
    if (wasShown && top && top->kind == kKindWindow && reinterpret_cast<WindowRecord*>(top)->focusObj == rec)
        reinterpret_cast<WindowRecord*>(top)->focusObj = nullptr;
    if (!noPageUpdate) WebSetElemCss(rec, "display", "none", true);
    if ((rec->flags & kObjDocked) && rec->parent) WebLayoutChildren(rec->parent);
    return 0;
}

int32_t WebDeactivateObject(ObjectRecord* rec) { return WebHideObject(rec, 0); }

int32_t WebEnableObject(ObjectRecord* rec, int32_t item, bool on) {
    if (!rec) return kWebNotCreated;
    WebViewSelectForObject(rec);
    const WebKindOps* ops = WebKindOpsOf(rec);
    if (ops && ops->itemEnable) return ops->itemEnable(rec, item, on);
    // Kinds that tell the page themselves (the list controls).
    if (ops && ops->enable) {
        if (item != 0) return kWebNotAvailable;
        rec->flags = on ? (rec->flags & ~kObjDisabled) : (rec->flags | kObjDisabled);
        return ops->enable(rec, item, on);
    }
    return WebEnableElement(rec, item, on);
}

int32_t WebEnableElement(ObjectRecord* rec, int32_t item, bool on) {
    if (item != 0) return kWebNotAvailable;
    bool container = rec->kind == kKindWindow || rec->kind == kKindPanel;
    if (!on) {
        if (rec->flags & kObjDisabled) return 0;
        if (container) {
            for (ObjectRecord* c : Snapshot(rec))
                if (!(c->flags & kObjDisabled)) WebSetElemState(c, "disabled", true, false);
        } else {
            WebSetElemState(rec, "disabled", true, false);
        }
        rec->flags |= kObjDisabled;
        return 0;
    }
    bool ancestorDisabled = false;
    for (ObjectRecord* p = rec->parent; p && !container; p = p->parent)
        if (p->flags & kObjDisabled) ancestorDisabled = true;
    rec->flags &= ~kObjDisabled;
    if (ancestorDisabled) return 0;
    if (container) {
        for (ObjectRecord* c : Snapshot(rec))
            if (!(c->flags & kObjDisabled)) WebSetElemState(c, "disabled", false, false);
    } else {
        WebSetElemState(rec, "disabled", false, false);
    }
    return 0;
}

static int32_t WebEnableOp(ObjectRecord* rec, int32_t item, bool on) { return WebEnableObject(rec, item, on); }

// Destroys every child the container holds now; a child that stays in the
// list (its destroy refused) ends the walk instead of holding it.
static void DestroyChildren(ObjectRecord* container) {
    for (ObjectRecord* c : Snapshot(container)) {
        ObjectRecord* head = container->children;
        if (!ObjectIsLive(c)) continue;
        ObjectDestroyFromWeb(0, c);
        if (container->children == head && head == c) break;
    }
    // Whatever is left is not a record any more: the list forgets it.
    for (ObjectRecord* c = container->children; c;) {
        ObjectRecord* next = c->next;
        if (ObjectIsLive(c)) {
            c = next;
            continue;
        }
        WebUnlinkChild(c);
        c = next;
    }
}

// A kind without a row has no element of its own (dialogs, variants).
static bool SendsNoDelete(const WebKindOps* ops) { return !ops || (ops->traits & kWebKindSendsNoDelete); }

// The object model has already dropped the record's handle, reported its Ovar
// and taken it out of its parent's list; the page element goes, the shared
// fields are freed, then the record.
int32_t WebDestroyObject(ObjectRecord* rec) {
    if (!rec || rec == reinterpret_cast<ObjectRecord*>(-1)) return 0;
    // Status panels, tool buttons and menu items stay while their holder or
    // the server holds them; a SubMenu that items hold stays for them.
    const WebKindOps* ops = WebKindOpsOf(rec);
    int32_t heldAnswer = ops && ops->held ? ops->held(rec) : kWebNotHeld;
    if (heldAnswer != kWebNotHeld) return heldAnswer;
    ObjectRecord* parent = rec->parent;
    // The window behind a destroyed front window comes to the front, unless
    // every window is going (the session's end).
    bool frontGone = rec == gWebActiveWindow && !gDestSuppress;
    ObjectRef goneHost = ObjectRefOf(frontGone ? WebWindowHostRecord(rec) : nullptr);
    if (rec->kind == kKindWindow || rec->kind == kKindPanel) DestroyChildren(rec);
    if (rec->kind == kKindWindow) {
        WindowRecord* w = reinterpret_cast<WindowRecord*>(rec);
        while (w->menus) {
            ObjectRecord* m = w->menus;
            w->menus = m->next;
            m->next = nullptr;
            ObjectDestroyFromWeb(0, m);
        }
    }
    if (rec->kind == kKindColor) {
        WebColorDestroy(rec);
        return 0;
    }
    if (rec->kind == kKindFont) {
        WebFontDestroy(rec);
        return 0;
    }
    if (ops && ops->destroy) ops->destroy(rec);
    if (!SendsNoDelete(ops) && rec->elementId) {
        WebViewSelectForObject(parent ? parent : rec);
        if (ops->fileInput && ops->fileInput(rec)) {
            // A file button's hidden file input goes with it.
            char input[24];
            snprintf(input, sizeof input, "C%uF", rec->elementId);
            JsonBeginAction(kActDelete);
            JsonAddForm(rec, false, true, false, true);
            JsonAddStringNoConv("delid", input);
            WebViewMsgEnd();
        }
        JsonBeginAction(kActDelete);
        JsonAddForm(rec, false, true, false, true);
        char sel[24];
        snprintf(sel, sizeof sel, WebHasWrapperDiv(rec) ? "C%uD" : "C%u", rec->elementId);
        JsonAddStringNoConv("delid", sel);
        if (rec->kind == kKindEditNumber && (rec->appearance == 1 || rec->appearance == 3))
            JsonAddStringNoConv("enum", "t");
        if (rec->kind == kKindTabControl) JsonAddStringNoConv("tab", "t");
        if (rec->kind == kKindEditDateTime && !(gWebHooks.dateTimeFormat && gWebHooks.dateTimeFormat(rec) == 3))
            JsonAddStringNoConv("dt", "t");
        WebViewMsgEnd();
    }
    if (rec->kind == kKindWindow) {
        if (rec->elementId) {
            WebViewSelectForObject(rec);
            JsonBeginAction(kActDelete);
            JsonAddForm(rec, false, true, false, true);
            char sel[24];
            snprintf(sel, sizeof sel, "C%u", rec->elementId);
            JsonAddStringNoConv("delid", sel);
            WebViewMsgEnd();
        }
        WebWindowDestroy(rec);
        for (ObjectRecord** link = &gWebWindowList; *link; link = &(*link)->next)
            if (*link == rec) {
                *link = rec->next;
                break;
            }
        if (gWebMainWindow == rec) {
            gWebMainWindow = nullptr;
            gWebShowMainPending = 1;
        }
        if (gWebMainWindowAlt == rec) gWebMainWindowAlt = nullptr;
    }
    bool docked = (rec->flags & kObjDocked) != 0;
    ObjectFreeCommon(rec);
    ObjectFreeRecord(rec);
    // The docked neighbours close the gap the object leaves, as its hide
    // would have done; a parent that is going itself is left alone.
    if (docked && parent && ObjectIsLive(parent)) WebLayoutChildren(parent);
    if (frontGone && !gWebActiveWindow) WebFrontWindowGone(ObjectRefAlive(goneHost) ? goneHost.rec : nullptr);
    return 0;
}

static int32_t WebStateOp(ObjectRecord* rec, int32_t, int32_t, int32_t) { return rec ? 0 : kWebNotCreated; }



// The kinds' queued redraws, then the batch.
static void WebFlushOp(ObjectRecord*) {
    WebFlushAllRedraws();
    WebViewMsgFlush();
}

static int32_t WebGetPropById(ObjectRecord* rec, uint32_t id, int32_t* value, const char** text) {
    WebViewSelectForObject(rec);
    return WebGetProp(rec, id, value, text);
}

// ---- The rows of the kinds core/ makes itself -------------------------------------------------
// A window's, a colour's and a font's other operations are the generic
// code's own cases.

namespace {

ObjectRecord* ColorCreateOp(ObjectRecord*, ObjectRecord* rec, ObjectCreateRecord* cr, uint32_t, int32_t* code) {
    return WebColorCreate(rec, cr, code);
}

ObjectRecord* FontCreateOp(ObjectRecord*, ObjectRecord* rec, ObjectCreateRecord* cr, uint32_t, int32_t* code) {
    return WebFontCreate(rec, cr, code);
}

const WebKindOps kWindowOps = {
    .create = WebWindowCreate,
    .markup = WebWindowMarkup,
    .method = WebWindowMethod,
    .defaultEvent = kEvMouseDown,
    .traits = kWebKindSendsNoDelete | kWebKindPixelGeometry,
};

const WebKindOps kMRegionOps = {
    .create = WebMRegionCreate,
    .markup = HtmlPlainDivMarkup,
    .defaultEvent = kEvOldEvent,
};

const WebKindOps kColorOps = {
    .create = ColorCreateOp,
    .method = WebColorMethod,
    .traits = kWebKindSendsNoDelete | kWebKindNoElement,
};

const WebKindOps kFontOps = {
    .create = FontCreateOp,
    .method = WebFontMethod,
    .traits = kWebKindSendsNoDelete | kWebKindNoElement,
};

}  // namespace

void WebCoreInstall() {
    gWebObjectOps.create = CreateViaWebView;
    gWebObjectOps.show = WebActivateObject;
    gWebObjectOps.hide = WebDeactivateObject;
    gWebObjectOps.destroy = WebDestroyObject;
    gWebObjectOps.enable = WebEnableOp;
    gWebObjectOps.setState = WebStateOp;
    gWebObjectOps.invokeMethod = WebCallMethod;
    gWebObjectOps.clientMethod = WebPageServices;
    gWebObjectOps.commonMethod = WebStyleMethod;
    gWebObjectOps.checkItem = WebCheckItem;
    gWebObjectOps.deleteItem = WebDeleteItem;
    gWebObjectOps.insertItem = WebInsertItem;
    gWebObjectOps.getText = WebGetText;
    gWebObjectOps.setText = WebSetText;
    gWebObjectOps.setFocus = WebSetFocus;
    gWebObjectOps.getProp = WebGetPropGeneric;
    gWebObjectOps.getPropById = WebGetPropById;
    gWebObjectOps.setProp = WebSetProp;
    gWebObjectOps.flushRedraws = WebFlushOp;
    gWebObjectOps.getValue = [](ObjectRecord* rec, int32_t item, int32_t* value) {
        return WebGetValue(rec, item, value, false);
    };
    gWebObjectOps.setValue = WebSetValue;
    gWebObjectOps.freeRecord = WebFreeObjectRecord;
    gWebHooks.windowHostRecord = WebWindowHostRecord;
    gWebObjectOps.enablePageEvent = WebEnablePageEvent;
    gWebObjectOps.registerRule = WebEventRegisterRule;
    if (!gWebHooks.pageEventDispatch) gWebHooks.pageEventDispatch = WebPageEventDispatch;
    WebRegisterKind(kKindWindow, &kWindowOps);
    WebRegisterKind(kKindMRegion, &kMRegionOps);
    WebRegisterKind(kKindColor, &kColorOps);
    WebRegisterKind(kKindFont, &kFontOps);
}

void WebObjectsReset() {
    gWebElementCounter = 1;
    gWebMainWindow = nullptr;
    gWebMainWindowAlt = nullptr;
    gWebWindowList = nullptr;
    gWebShowMainPending = 1;
    gWebActiveWindow = nullptr;
    gWebCloseSwallow = nullptr;
    gWebPageWidth = gWebPageHeight = 0;
    gWebColorList = nullptr;
    gWebFontObjList = nullptr;
}
