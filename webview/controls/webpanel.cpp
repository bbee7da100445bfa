// webpanel.cpp - Panel and Timer in the web view. A panel is a division of
// its window with its own child list, docking paddings and scroll options, or
// a piece of HTML or a framed page (action 35) while it holds no objects. A
// timer is a record in gWebTimers that the client's timer check fires; its
// Timeout is the native timer's value code.
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "graphics/gfxcore.h"
#include "objects/events.h"
#include "objects/objtables.h"
#include "session/log.h"
#include "session/util/mem.h"
#include "session/util/strutil.h"
#include "webview/controls/webdrawn.h"
#include "webview/core/pageactions.h"
#include "webview/core/webchannel.h"
#include "webview/core/webgeneric.h"
#include "webview/core/webmarkup.h"
#include "webview/core/webobject.h"
#include "webview/core/webprops.h"
#include "webview/core/webtext.h"
#include "webview/core/webkinds.h"

namespace {

constexpr uint32_t kFramedUrlMax = 300;
constexpr uint32_t kPanelFromForm = 0x8000;
constexpr uint32_t kWinFlag1 = 0x40;
constexpr int32_t kOffsetMax = 32767;
constexpr uint32_t kGuiKeep = 0x1;
constexpr int32_t kInnerHtmlAppend = 0x1, kInnerHtmlFramed = 0x2;
// InnerHtml's answer when it changes nothing: a panel with children, or a
// framed page's URL that names no page.
constexpr int32_t kInnerHtmlUnchanged = 1;
constexpr uint32_t kNoWindow = 0xFFFFFFFFu;

// ScrollBar values.
enum PanelScroll : int32_t { kScrollBoth = 1, kScrollVertical = 2, kScrollNone = 3, kScrollHorizontal = 4 };

WebPanelRecord* AsPanel(ObjectRecord* rec) { return reinterpret_cast<WebPanelRecord*>(rec); }
TimerRecord* AsTimer(ObjectRecord* rec) { return reinterpret_cast<TimerRecord*>(rec); }

uint32_t ScrollBits(int32_t bars) {
    switch (bars) {
    case kScrollBoth: return kPanelHScroll | kPanelVScroll;
    case kScrollVertical: return kPanelVScroll;
    case kScrollHorizontal: return kPanelHScroll;
    default: return 0;
    }
}

int32_t ScrollValue(uint32_t flags) {
    bool h = (flags & kPanelHScroll) != 0, v = (flags & kPanelVScroll) != 0;
    return h && v ? kScrollBoth : h ? kScrollHorizontal : v ? kScrollVertical : kScrollNone;
}

int32_t ToPixels(ObjectRecord* rec, int32_t v) { return WebScaleValue(rec, v, 0, true); }
int32_t FromPixels(ObjectRecord* rec, int32_t v) { return WebScaleValue(rec, v, 0, false); }

int32_t ScaleWith(ObjectRecord* top, int32_t v) {
    return ScaleByMode(WebIsWindow(top) ? WebWin(top)->scaleMode : kUnitsPixels, v, true);
}

uint32_t SetBit(uint32_t flags, uint32_t bit, bool on) { return on ? (flags | bit) : (flags & ~bit); }

// A text of the HTML attribute between single quotes: the characters that
// could end it or open markup become entities.
void AppendAttrText(const char* text) {
    for (const char* p = text; *p; ++p) {
        switch (*p) {
        case '\'': HtmlAppend("&#39;", 0); break;
        case '"': HtmlAppend("&quot;", 0); break;
        case '<': HtmlAppend("&lt;", 0); break;
        case '>': HtmlAppend("&gt;", 0); break;
        case '&': HtmlAppend("&amp;", 0); break;
        default: HtmlAppend(p, 1); break;
        }
    }
}

int32_t InnerHtml(ObjectRecord* rec, const MethodCallRec* call) {
    if (rec->children) return kInnerHtmlUnchanged;
    int32_t flags = WebArgInt(call, 1, 0);
    uint32_t length = 0;
    const char* text = "";
    char* block = nullptr;
    if (WebArgGiven(call, 0) && call->args[0].data) {
        length = call->args[0].size;
        // A framed page's URL holding a NUL, cut there, would frame another
        // page or file: refused, the panel shows what it showed.
        if ((flags & kInnerHtmlFramed) &&
            !NameIsWhole(static_cast<const char*>(call->args[0].data), length, SIZE_MAX)) {
            DebugLogWrite("WebPanelInnerHtml", "the framed page's URL holds a NUL: refused");
            return kInnerHtmlUnchanged;
        }
        block = static_cast<char*>(GuardedAlloc(static_cast<size_t>(length) + 1));
        if (!block) return kWebNoMemory;
        memcpy(block, call->args[0].data, length);
        block[length] = 0;
        text = block;
    }
    WebViewSelectForObject(rec);
    if (!(flags & kInnerHtmlFramed)) {
        JsonBeginAction(kActHtmlContent);
        JsonAddName(rec);
        JsonAddInt("dwid", (flags & kInnerHtmlAppend) + 1);
        JsonAddStringZ("html", text);
        WebViewMsgEnd();
    } else if (length < kFramedUrlMax) {
        // The URL is the program's text: escaped, it cannot leave the attribute.
        char size[96];
        snprintf(size, sizeof size, "<iframe class='qovif' width='%dpx' height='%dpx' src='",
                 rec->right - rec->left, rec->bottom - rec->top);
        HtmlReset();
        HtmlAppend(size, 0);
        AppendAttrText(text);
        HtmlAppend("'></iframe>", 0);
        JsonBeginAction(kActHtmlContent);
        JsonAddName(rec);
        JsonAddInt("dwid", 1);
        JsonAddStringZ("html", gHtmlBuf.data ? gHtmlBuf.data : "");
        WebViewMsgEnd();
        AsPanel(rec)->pageHeight = rec->bottom - rec->top;
        AsPanel(rec)->pageWidth = rec->right - rec->left;
    }
    GuardedFree(block);
    return 0;
}

int32_t ChildCount(ObjectRecord* rec) {
    int32_t n = 0;
    for (ObjectRecord* c = rec->children; c && n < INT32_MAX; c = c->next) ++n;
    return n;
}

void PanelOpDestroy(ObjectRecord* rec) { WebPanelDestroy(rec); }

int32_t TimerOpGetValue(ObjectRecord* rec, int32_t item, int32_t* value, bool*) {
    return TimerGetValue(rec, item, value);
}

void TimerOpDestroy(ObjectRecord* rec) { WebTimerUnlink(rec); }

int32_t TimerSetProp(ObjectRecord* rec, uint32_t id, int32_t value, const char*, uint32_t, bool* commonWrite) {
    switch (id) {
    case kPidTimeout: TimerSetValue(rec, 0, value); break;
    case kPidStartTimer: AsTimer(rec)->startTimer = static_cast<uint8_t>(value); break;
    default: return kWebNotAvailable;
    }
    *commonWrite = false;
    return 0;
}

int32_t TimerGetProp(ObjectRecord* rec, uint32_t id, int32_t* result, const char**) {
    switch (id) {
    case kPidTimeout: return TimerGetValue(rec, 0, result);
    case kPidStartTimer: *result = AsTimer(rec)->startTimer; return 0;
    default: return kWebNotAvailable;
    }
}


}  // namespace

// ---- Panel -------------------------------------------------------------------------------

ObjectRecord* WebPanelCreate(ObjectRecord* top, ObjectRecord* rec, ObjectCreateRecord* cr, uint32_t kind,
                             int32_t* code) {
    rec = WebAllocKindRecord(rec, kind, sizeof(WebPanelRecord), code);
    if (!rec) return nullptr;
    WebPanelRecord* p = AsPanel(rec);
    p->minScrollH = ScaleWith(top, cr->minScrollH);
    p->minScrollV = ScaleWith(top, cr->minScrollV);
    p->dockPad[0] = ScaleWith(top, cr->dockPadL);
    p->dockPad[1] = ScaleWith(top, cr->dockPadT);
    p->dockPad[2] = ScaleWith(top, cr->dockPadR);
    p->dockPad[3] = ScaleWith(top, cr->dockPadB);
    p->bdrStyle = static_cast<uint8_t>(ValueInRange(CreateRecordValue(cr, kPidBdrStyle, 1), 1, 3, 1));
    if (cr->autoScroll > 0) p->panelFlags |= kPanelAutoScroll;
    if ((gGuiModeFlags & kGuiKeep) && (cr->window == 0 || cr->window == kNoWindow))
        rec->flags |= kObjAlive | kPanelFromForm;
    p->panelFlags |= ScrollBits(cr->scrollBar);
    if (CreateRecordValue(cr, kPidClipCtrl, 1)) p->panelFlags |= kPanelClipCtrl;
    if (cr->fgColor.value == -1 && !cr->fgColor.object) cr->fgColor.value = 0;
    return rec;
}

int32_t WebPanelSetProp(ObjectRecord* rec, uint32_t id, int32_t value, const char*, uint32_t, bool* commonWrite) {
    WebPanelRecord* p = AsPanel(rec);
    switch (id) {
    case kPidClipCtrl: p->panelFlags = SetBit(p->panelFlags, kPanelClipCtrl, value != 0); break;
    case kPidScrollBar: {
        int32_t old = ScrollValue(p->panelFlags);
        p->panelFlags = (p->panelFlags & ~(kPanelHScroll | kPanelVScroll)) | ScrollBits(value);
        WebChangeElemClass(rec, HtmlScrollClass(old), HtmlScrollClass(value), false);
        break;
    }
    case kPidWinOffsetV: if (value < kOffsetMax) p->offsetV = static_cast<uint16_t>(ToPixels(rec, value)); break;
    case kPidWinOffsetH: if (value < kOffsetMax) p->offsetH = static_cast<uint16_t>(ToPixels(rec, value)); break;
    case kPidAutoScroll: p->panelFlags = SetBit(p->panelFlags, kPanelAutoScroll, value != 0); break;
    case kPidMinScrollH: p->minScrollH = ToPixels(rec, value); break;
    case kPidMinScrollV: p->minScrollV = ToPixels(rec, value); break;
    case kPidBdrStyle: p->bdrStyle = static_cast<uint8_t>(value); break;
    default:
        if (id >= kPidDockPadL && id <= kPidDockPadB) {
            p->dockPad[id - kPidDockPadL] = ToPixels(rec, value);
            WebLayoutChildren(rec);
            break;
        }
        return kWebNotAvailable;
    }
    *commonWrite = false;
    return 0;
}

int32_t WebPanelGetProp(ObjectRecord* rec, uint32_t id, int32_t* result, const char**) {
    WebPanelRecord* p = AsPanel(rec);
    switch (id) {
    case kPidClipCtrl: *result = (p->panelFlags & kPanelClipCtrl) ? 1 : 0; return 0;
    case kPidScrollBar: *result = ScrollValue(p->panelFlags); return 0;
    case kPidWinOffsetV: *result = FromPixels(rec, p->offsetV); return 0;
    case kPidWinOffsetH: *result = FromPixels(rec, p->offsetH); return 0;
    case kPidAutoScroll: *result = (p->panelFlags & kPanelAutoScroll) ? 1 : 0; return 0;
    case kPidMinScrollH: *result = FromPixels(rec, p->minScrollH); return 0;
    case kPidMinScrollV: *result = FromPixels(rec, p->minScrollV); return 0;
    case kPidBdrStyle: *result = p->bdrStyle; return 0;
    default:
        if (id >= kPidDockPadL && id <= kPidDockPadB) {
            *result = FromPixels(rec, p->dockPad[id - kPidDockPadL]);
            return 0;
        }
        return kWebNotAvailable;
    }
}

int32_t WebPanelMethod(ObjectRecord* rec, MethodCallRec* call) {
    int32_t check = WebCheckMethod(call ? call->objectType : 0, call);
    if (check != 0) return check;
    WebPanelRecord* p = AsPanel(rec);
    switch (call->method) {
    case kPanelGetObject: return WebReplyBindObject(WebArgChild(rec, call), call);
    case kPanelSetHScrollPos: case kPanelSetVScrollPos: return WebReplyInt(1);
    case kPanelGetObjectAsPointer: {
        bool keyKind = call->result.kind == kItemObject || call->result.kind == kItemObject2;
        return WebReplyObjectPointer(keyKind && WebArgGiven(call, 1) ? WebArgChild(rec, call) : nullptr);
    }
    case kPanelSetWinFlag1: {
        uint32_t mask = static_cast<uint32_t>(WebArgInt(call, 0, 0)) & kWinFlag1;
        uint32_t value = static_cast<uint32_t>(WebArgInt(call, 1, 0)) & kWinFlag1;
        p->winFlags = (p->winFlags & ~mask) | (value & mask);
        return WebReplyInt(0);
    }
    case kPanelInnerHtml: {
        int32_t r = InnerHtml(rec, call);
        return r < 0 ? r : WebReplyInt(r);
    }
    case kPanelGetChildCount: return WebReplyInt(ChildCount(rec));
    default:
        if (call->method >= kPanelSetBgColorTransparent && call->method <= kPanelPreviewClose) return WebReplyInt(0);
        return kWebUnknownMethod;
    }
}

void WebPanelResize(ObjectRecord* rec, int32_t x, int32_t y, int32_t width, int32_t height, uint16_t flag) {
    if (!rec || rec->kind != kKindPanel) return;
    WebPanelRecord* p = AsPanel(rec);
    int32_t oldHeight = p->innerHeight, oldWidth = p->innerWidth;
    p->innerWidth = width;
    p->innerHeight = height;
    rec->right = x + width;
    rec->bottom = y + height;
    if (p->pageWidth || p->pageHeight) {
        p->pageWidth = width;
        p->pageHeight = height;
    }
    WebWindowResized(rec, oldHeight, oldWidth);
    ObjectRef ref = ObjectRefOf(rec);
    if (EventIsRegistered(rec, kEvResize))
        PostObjectEvent(rec, kEvResize, kEventKindDefault, flag, PackTenThousand(width, height));
    if (ObjectRefAlive(ref)) WebLayoutChildren(rec);
}

void WebPanelReparent(ObjectRecord* rec) {
    ObjectRecord* window = rec->parent;
    for (ObjectRecord* c = rec->children; c;) {
        ObjectRecord* next = c->next;
        WebUnlinkChild(c);
        c->parent = window;
        if (window) WebLinkChild(c);
        c = next;
    }
    ChildListForget(rec);
}

void WebPanelDestroy(ObjectRecord* rec) { WebPanelReparent(rec); }

bool WebPanelWinFlag1(ObjectRecord* rec) {
    return rec->kind == kKindPanel && (reinterpret_cast<WebPanelRecord*>(rec)->winFlags & kWinFlag1);
}

// ---- Timer -------------------------------------------------------------------------------

ObjectRecord* WebTimerCreate(ObjectRecord*, ObjectRecord* rec, ObjectCreateRecord* cr, uint32_t kind,
                             int32_t* code) {
    rec = WebAllocKindRecord(rec, kind, sizeof(TimerRecord), code);
    if (!rec) return nullptr;
    TimerRecord* t = AsTimer(rec);
    int32_t timeout = CreateRecordValue(cr, kPidTimeout, 0);
    t->phase.timeout = static_cast<uint32_t>(timeout < 0 ? 0 : timeout);
    t->startTimer = static_cast<uint8_t>(CreateRecordValue(cr, kPidStartTimer, 0));
    // A timer counts only once shown; the creation's StartTimer shows it.
    cr->flags0 &= ~kCrVisible;
    if (t->startTimer && !(gGuiModeFlags & kGuiKeep)) {
        cr->flags0 |= kCrVisible;
        WebTimerActivate(rec);
    }
    return rec;
}

int32_t WebTimerActivate(ObjectRecord* rec) {
    // Once in the list: a second show does not restart the count.
    TimerRecord* t = AsTimer(rec);
    if (TimerListAdd(&gWebTimers, t)) t->phase.lastTick = TimerTenthsNow();
    return 0;
}

void WebTimerUnlink(ObjectRecord* rec) { TimerUnlinkFrom(&gWebTimers, AsTimer(rec)); }

// ---- The kinds' rows --------------------------------------------------------------------------

namespace {

void MarkupPanel(HtmlMarkup& m) {
    HtmlPlainElement(m, "<div ", ">");
    if (!m.standalone) HtmlPut("</div>");
}

// A timer has no element: its show puts it among the timers that fire
// (again, when shown already), its hide takes it out.
int32_t TimerShow(ObjectRecord* rec, int32_t, int32_t, int32_t, int32_t) {
    rec->flags |= kObjShown;
    return WebTimerActivate(rec);
}

int32_t TimerHide(ObjectRecord* rec, bool) {
    WebTimerUnlink(rec);
    return kWebOk;
}

const WebKindOps kPanelOps = {
    .create = WebPanelCreate,
    .markup = MarkupPanel,
    .setProp = WebPanelSetProp,
    .getProp = WebPanelGetProp,
    .destroy = PanelOpDestroy,
    .method = WebPanelMethod,
    .defaultEvent = kEvMouseDown,
};

const WebKindOps kTimerOps = {
    .create = WebTimerCreate,
    .setProp = TimerSetProp,
    .getProp = TimerGetProp,
    .show = TimerShow,
    .hide = TimerHide,
    .destroy = TimerOpDestroy,
    .getValue = TimerOpGetValue,
    .setValue = TimerSetValue,
    .askEvent = WebAskNever,
    .defaultEvent = kEvTimer,
    .traits = kWebKindSendsNoDelete,
};

}  // namespace

void WebPanelsInstall() {
    WebRegisterKind(kKindPanel, &kPanelOps);
    WebRegisterKind(kKindTimer, &kTimerOps);
}
