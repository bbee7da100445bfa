// htmlctl.cpp - the native HTML control (type 60, kind 52): a child window of
// class "QovHtml" that shows the server program's HTML text or URL through the
// browser host, with its properties, methods, page loading, focus steps and
// the owner steps the page's event sinks call.
#include "com/htmlctl.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "com/core/htmlrules.h"
#include "com/htmlpanel.h"
#include "com/oleutil.h"
#include "objects/color.h"
#include "objects/crstream.h"
#include "objects/events.h"
#include "objects/focus.h"
#include "objects/guihooks.h"
#include "objects/objhooks.h"
#include "objects/objcreate.h"
#include "objects/objops.h"
#include "objects/objwindowed.h"
#include "objects/paint.h"
#include "objects/window.h"
#include "session/log.h"
#include "session/session.h"
#include "session/util/mem.h"
#include "session/util/strutil.h"

namespace {

const char kHtmlClass[] = "QovHtml";
constexpr uint32_t kObjHtmlCreated = 0x100000;
constexpr uint8_t kReplyKindDone = 1;
constexpr uint32_t kHtmlMethodsVersion = 10001, kContextMenuVersion = 10200, kWebOnlyVersion = 10500;
constexpr int32_t kCreateRefused = -4;
constexpr int32_t kLoadNotShown = 2;           // no browser, or a URL that names no page
constexpr int32_t kNoTwin = -52;               // WebMode 2 and above without a page host
constexpr uint32_t kWebModeTwin = 2;
constexpr int32_t kTabLast = 32767;

enum BdrStyle : uint8_t { kBdrNone = 1, kBdrThin = 2, kBdrSunken = 3 };
enum ScrollBar : uint8_t { kScrollFirst = 1, kScrollNone = 3, kScrollLast = 4 };
enum FocusDirection : int32_t { kFocusPlain = 0, kFocusForward, kFocusBackward, kFocusFirst, kFocusLast };

bool gClassPending = true;

HtmlControlRecord* HtmlOf(ObjectRecord* rec) {
    // A web-view twin has the same kind but a record of its own.
    return rec && rec->kind == kKindHtmlControl && !ObjectIsWebView(rec) ? reinterpret_cast<HtmlControlRecord*>(rec)
                                                                          : nullptr;
}

HtmlControlRecord* HtmlOfWindow(HWND wnd) {
    if (!wnd || !IsWindow(wnd)) return nullptr;
    auto* rec = reinterpret_cast<ObjectRecord*>(GetWindowLongPtrA(wnd, GWLP_USERDATA));
    return rec && ObjectIsLive(rec) ? HtmlOf(rec) : nullptr;
}

uint8_t BdrStyleOf(int32_t v) {
    return v >= kBdrNone && v <= kBdrSunken ? static_cast<uint8_t>(v) : static_cast<uint8_t>(kBdrNone);
}
uint8_t ScrollBarOf(int32_t v) {
    return v >= kScrollFirst && v <= kScrollLast ? static_cast<uint8_t>(v) : static_cast<uint8_t>(kScrollNone);
}

UINT ConversionCodePage(const HtmlControlRecord* h) { return HtmlConversionCodePage(h->codePage); }

// A text argument as its own NUL-terminated copy (numbers as decimal text).
std::string ArgText(const MethodCallRec* call, uint32_t i) {
    uint32_t length = 0;
    const char* text = CallArgText(call, i, &length);
    std::string s(text ? text : "", text ? length : 0);
    s.resize(strlen(s.c_str()));
    return s;
}

bool ArgGiven(const MethodCallRec* call, uint32_t i) { return CallArgGiven(call, i); }

// A page named by a URL (load flag 2, or a text that begins with "!") is read
// as given or not at all: a URL holding a NUL, cut there, would show another
// page or file. Such a load is refused before anything changes (the control
// keeps its page and its InnerHtml), its reason in the debug log.
bool UrlIsWhole(const char* text, size_t length, uint32_t flags) {
    bool url = (flags & kHtmlLoadUrl) || (length && text[0] == '!');
    if (!url || NameIsWhole(text, length, SIZE_MAX)) return true;
    DebugLogWrite("HtmlControlLoadPage", "the URL holds a NUL: refused, the page stays as it was");
    return false;
}

bool ArgUrlIsWhole(const MethodCallRec* call, uint32_t i, uint32_t flags) {
    uint32_t length = 0;
    const char* text = CallArgText(call, i, &length);
    return UrlIsWhole(text, text ? length : 0, flags);
}

int32_t ArgInt(const MethodCallRec* call, uint32_t i, int32_t def) { return CallArgInt(call, i, def); }

void ReleaseSite(HtmlControlRecord* h) {
    if (!h->site) return;
    CQovPanelWebBrowser* site = h->site;
    h->site = nullptr;
    HtmlPanelRelease(site);
}

void StoreFocusId(HtmlControlRecord* h, const char* id) { HtmlCopyCut(h->focusId, sizeof h->focusId, id); }

// The InnerHtml a control with a twin reads back: the twin keeps what the page
// shows, the control what the server gave.
void KeepInnerHtml(HtmlControlRecord* h, const char* text) {
    if (h->innerHtml) LocalFreeMem(h->innerHtml);
    h->innerHtml = nullptr;
    size_t n = text ? strlen(text) : 0;
    if (!n) return;
    h->innerHtml = static_cast<char*>(LocalAllocZero(n + 1));
    if (h->innerHtml) memcpy(h->innerHtml, text, n);
}

// ---- The owner steps the event sinks call ------------------------------------------------

void BecomeFocusObject(HtmlControlRecord* h) {
    ObjectRecord* top = ObjectTopWindow(&h->hdr);
    WindowRecord* w = top ? ObjectAsWindow(top) : nullptr;
    if (!w) return;
    w->lastFocus = nullptr;
    SetFocusObject(top, &h->hdr);
    PostValidateOnFocus(&h->hdr, top);
}

int32_t OwnerMenuAllowed(HWND wnd) {
    HtmlControlRecord* h = HtmlOfWindow(wnd);
    return h && (h->menuFlags & 1) ? 0 : 1;
}

void OwnerTabFocus(HWND wnd, int32_t tabId, const char* elementId) {
    HtmlControlRecord* h = HtmlOfWindow(wnd);
    if (!h) return;
    BecomeFocusObject(h);
    StoreFocusId(h, elementId);
    h->tabId = tabId;
}

void OwnerFocusChange(HWND wnd, const char* elementId, bool leaving) {
    HtmlControlRecord* h = HtmlOfWindow(wnd);
    if (!h) return;
    if (leaving) {
        if (h->site) HtmlPanelHideFocus(h->site, 1);
        return;
    }
    ObjectRef ref = ObjectRefOf(&h->hdr);
    BecomeFocusObject(h);
    if (!ObjectRefAlive(ref)) return;
    StoreFocusId(h, elementId);
    if (h->site) HtmlPanelHideFocus(h->site, 0);
}

int32_t OwnerReadyState(HWND wnd) {
    HtmlControlRecord* h = HtmlOfWindow(wnd);
    if (h && h->site) HtmlPanelHookElements(h->site, wnd);
    return 1;
}

// ---- Slots ---------------------------------------------------------------------------------

int32_t HtmlControlShow(ObjectRecord* rec, int32_t, int32_t, int32_t, int32_t) {
    HtmlControlRecord* h = HtmlOf(rec);
    rec->flags = (rec->flags | kObjShown) & ~kObjHidden;
    NoteObjectShown(rec);
    RECT r = {rec->left, rec->top, rec->right, rec->bottom};
    PositionObjectWindow(rec, &r);
    ShowWindow(rec->hwnd, SW_SHOWNORMAL);
    RepaintOverlaps(rec);
    ObjectRef ref = ObjectRefOf(rec);
    PumpOnce(false);
    if (!ObjectRefAlive(ref)) return 0;
    if (h->site) HtmlPanelResize(h->site, rec->hwnd, 1);
    // The control's own web view takes the window's size it was shown at.
    if (h->webHost && gHtmlTwinHooks.resize) gHtmlTwinHooks.resize(h->webHost);
    return 0;
}

int32_t HtmlControlDestroy(ObjectRecord* rec) {
    HtmlControlRecord* h = HtmlOf(rec);
    ReleaseSite(h);
    if (h->webHost && gHtmlTwinHooks.destroy) gHtmlTwinHooks.destroy(rec, h->webHost, h->twin);
    h->webHost = nullptr;
    h->twin = nullptr;
    if (rec->hwnd) {
        SetWindowLongPtrA(rec->hwnd, GWLP_USERDATA, 0);
        DestroyWindow(rec->hwnd);
    }
    rec->hwnd = nullptr;
    ObjectFreeCommon(rec);
    if (h->innerHtml) LocalFreeMem(h->innerHtml);
    h->innerHtml = nullptr;
    ObjectFreeRecord(rec);
    return 0;
}

int32_t HtmlControlEnable(ObjectRecord* rec, int32_t item, int32_t on) {
    if (item != 0) return 0;
    HtmlControlRecord* h = HtmlOf(rec);
    if (!on) {
        ObjectRef ref = ObjectRefOf(rec);
        MoveFocusAway(rec);
        if (!ObjectRefAlive(ref)) return 0;
    }
    if (h->site) HtmlPanelSetMarkedDisabled(h->site, on ? 0 : 1);
    if (h->twin && gHtmlTwinHooks.enable) {
        // The twin counts the control as its ancestor: a control still marked
        // disabled would keep the twin's element disabled.
        if (on) rec->flags &= ~kObjDisabled;
        gHtmlTwinHooks.enable(h->webHost, h->twin, on != 0);
    }
    return 0;
}

int32_t HtmlControlPaint(ObjectRecord* rec, void* dcArg, int32_t) {
    HtmlControlRecord* h = HtmlOf(rec);
    if (!h->site) return 0;
    HDC dc = static_cast<HDC>(dcArg);
    bool own = !dc;
    if (own) dc = GetDC(rec->hwnd);
    if (!dc) return 0;
    SetBkColor(dc, ColorValueResolve(rec->bgColor));
    RECT r = {0, 0, rec->right - rec->left, rec->bottom - rec->top};
    HtmlPanelDraw(h->site, dc, &r);
    if (own) ReleaseDC(rec->hwnd, dc);
    return 0;
}

uint32_t HtmlControlGetProp(ObjectRecord* rec, uint32_t id) {
    HtmlControlRecord* h = HtmlOf(rec);
    switch (id) {
    case kPidInnerHtml:
        if (h->twin && gHtmlTwinHooks.getContent) return static_cast<uint32_t>(gHtmlTwinHooks.getContent(h->webHost, h->twin));
        // A set may be longer than the result area: the answer is cut, never overrun.
        HtmlCopyCut(gTextBuf, kTextBufSize, h->innerHtml ? h->innerHtml : "");
        return 0;
    case kPidCodePage: return h->codePage;
    case kPidWebMode: return h->webMode;
    case kPidScrollBar: return h->scrollBar;
    case kPidBdrStyle: return h->bdrStyle;
    default: return static_cast<uint32_t>(ObjectGetCommonProperty(rec, id));
    }
}

void ApplyBdrStyle(HtmlControlRecord* h) {
    HWND wnd = h->hdr.hwnd;
    LONG style = GetWindowLongA(wnd, GWL_STYLE) & ~WS_BORDER;
    LONG ex = GetWindowLongA(wnd, GWL_EXSTYLE) & ~WS_EX_CLIENTEDGE;
    if (h->bdrStyle == kBdrThin || h->bdrStyle == kBdrSunken) style |= WS_BORDER;
    if (h->bdrStyle == kBdrSunken) ex |= WS_EX_CLIENTEDGE;
    SetWindowLongA(wnd, GWL_STYLE, style);
    SetWindowLongA(wnd, GWL_EXSTYLE, ex);
    SetWindowPos(wnd, nullptr, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
}

int32_t HtmlControlSetProp(ObjectRecord* rec, PropChange* req) {
    HtmlControlRecord* h = HtmlOf(rec);
    // The twin applies every change but Visible first (InnerHtml below).
    if (h->twin && req->id != kPidInnerHtml && req->id != kPidVisible && gHtmlTwinHooks.setProp) {
        ObjectRef ref = ObjectRefOf(rec);
        gHtmlTwinHooks.setProp(h->webHost, h->twin, req);
        if (!ObjectRefAlive(ref)) return 0;
    }
    switch (req->id) {
    case kPidInnerHtml: {
        std::string text(req->text ? req->text : "", req->text ? req->textLength : 0);
        if (h->twin) {
            KeepInnerHtml(h, text.c_str());
            return gHtmlTwinHooks.setContent(h->webHost, h->twin, text.c_str());
        }
        if (!UrlIsWhole(text.data(), text.size(), kHtmlLoadHook)) return kOpNotAvailable;
        ObjectRef ref = ObjectRefOf(rec);
        int32_t rc = HtmlControlLoadPage(h, text.c_str(), kHtmlLoadHook, true);
        if (!ObjectRefAlive(ref)) return 0;
        if (!h->innerHtml) req->redraw = true;
        return rc == kLoadNotShown ? kOpNotAvailable : 0;
    }
    case kPidCodePage: h->codePage = static_cast<uint32_t>(req->value); break;
    case kPidWebMode: h->webMode = static_cast<uint32_t>(req->value); break;
    case kPidScrollBar: h->scrollBar = ScrollBarOf(req->value); break;
    case kPidBdrStyle:
        h->bdrStyle = static_cast<uint8_t>(req->value);
        ApplyBdrStyle(h);
        break;
    default:
        return ObjectSetCommonProperty(rec, req->id, req->value, req->text, req->textLength, &req->redraw);
    }
    return 0;
}

int32_t ReplyInt(int32_t value) {
    SetReplyInt(nullptr, value, kReplyKindDone);
    return kNoAnswer;
}

int32_t ReplyText(const char* text) {
    SetReplyText(nullptr, text);
    return kNoAnswer;
}

// Element reads and writes convert with the control's code page, set only
// around the call.
struct CodePageScope {
    explicit CodePageScope(const HtmlControlRecord* h) { gHtmlCodePage = ConversionCodePage(h); }
    ~CodePageScope() { gHtmlCodePage = 0; }
};

// MakePict: a picture of the control's window as it shows now, in the
// control's own window, bound to the call's result variable. A hidden
// control gives no picture and answers 0; a failure answers its code.
int32_t MakePict(ObjectRecord* rec, MethodCallRec* call) {
    if (!rec->hwnd || !gOlePictHooks.pictFromWindow) return kOpNotAvailable;
    UpdateWindow(rec->hwnd);
    int32_t code = 0;
    ObjectRecord* pict = gOlePictHooks.pictFromWindow(rec->hwnd, rec->parent, true, &code);
    if (!pict) return code < 0 ? code : ReplyInt(0);
    pict->ovar = call->result.varRef;
    SetReplyInt(nullptr, static_cast<int32_t>(pict->handle), static_cast<uint8_t>(kTypePict));
    return kNoAnswer;
}

int32_t HtmlControlMethod(ObjectRecord* rec, MethodCallRec* call) {
    int rc = CheckMethodCall(kTypeHTMLControl, call);
    if (rc) return rc;
    HtmlControlRecord* h = HtmlOf(rec);
    // MakePict stays a picture of the control's own window.
    if (h->twin && call->method != kHtmlMakePict) {
        if (call->method == kHtmlInnerHtml) {
            // The twin's page takes a URL after "!" only.
            if (!ArgUrlIsWhole(call, 0, 0)) return ReplyInt(kLoadNotShown);
            KeepInnerHtml(h, ArgText(call, 0).c_str());
        }
        return gHtmlTwinHooks.method(h->webHost, h->twin, call);
    }
    if (call->method < kHtmlInnerHtml || call->method > kHtmlContextMenu) return kOpUnknownMethod;
    int32_t result = 0;
    switch (call->method) {
    case kHtmlInnerHtml: {
        int32_t flags = ArgGiven(call, 1) ? ArgInt(call, 1, 0) | kHtmlLoadHook : kHtmlLoadHook;
        if (!ArgUrlIsWhole(call, 0, static_cast<uint32_t>(flags))) {
            result = kLoadNotShown;
            break;
        }
        std::string html = ArgText(call, 0);
        result = HtmlControlLoadPage(h, html.c_str(), static_cast<uint32_t>(flags), true);
        break;
    }
    case kHtmlGetAttr: case kHtmlGetCss: {
        gTextBuf[0] = '\0';
        if (h->site) {
            std::string id = ArgText(call, 0), name = ArgText(call, 1);
            if (call->method == kHtmlGetAttr) {
                CodePageScope scope(h);
                HtmlPanelGetElemProp(h->site, id.c_str(), name.c_str(), gTextBuf, kTextBufSize, 0);
            } else {
                HtmlPanelGetStyle(h->site, id.c_str(), name.c_str(), gTextBuf, kTextBufSize, 0);
            }
        }
        return ReplyText(gTextBuf);
    }
    case kHtmlSetAttr: case kHtmlSetCss:
        if (h->site) {
            std::string id = ArgText(call, 0), name = ArgText(call, 1), value = ArgText(call, 2);
            if (call->method == kHtmlSetAttr) {
                CodePageScope scope(h);
                HtmlPanelSetElemProp(h->site, id.c_str(), name.c_str(), value.c_str(), 0);
            } else {
                HtmlPanelSetStyle(h->site, id.c_str(), name.c_str(), value.c_str(), 0);
            }
        }
        break;
    case kHtmlFocus:
        if (h->site) {
            StoreFocusId(h, ArgText(call, 0).c_str());
            HtmlPanelFocusElement(h->site, h->focusId);
        }
        break;
    case kHtmlUpdateEvents:
        if (h->site) HtmlPanelHookElements(h->site, rec->hwnd);
        break;
    case kHtmlMakePict:
        return MakePict(rec, call);
    case kHtmlContextMenu: h->menuFlags = static_cast<uint32_t>(ArgInt(call, 0, 0)); break;
    default: break;
    }
    return ReplyInt(result);
}

const ObjectOps kHtmlControlOps = {
    .show = HtmlControlShow,
    .hide = ObjectHideWindowed,
    .destroy = HtmlControlDestroy,
    .enable = HtmlControlEnable,
    .paint = HtmlControlPaint,
    .getProp = HtmlControlGetProp,
    .setProp = HtmlControlSetProp,
    .method = HtmlControlMethod,
};

struct HtmlMethodRow {
    uint32_t version;
};
const HtmlMethodRow kHtmlMethodRows[] = {
    {0}, {kHtmlMethodsVersion}, {kHtmlMethodsVersion}, {kHtmlMethodsVersion}, {kHtmlMethodsVersion},
    {kHtmlMethodsVersion}, {kHtmlMethodsVersion}, {kHtmlMethodsVersion}, {kHtmlMethodsVersion},
    {kContextMenuVersion}, {kWebOnlyVersion}, {kWebOnlyVersion}, {kWebOnlyVersion},
};

const MethodDesc* HtmlMethodLookup(uint32_t method, uint32_t version) {
    if (method < kHtmlInnerHtml || method > kHtmlBindAction || version < kHtmlMethodRows[method].version) return nullptr;
    return reinterpret_cast<const MethodDesc*>(&kHtmlMethodRows[method]);
}

static LRESULT HtmlControlWndProcWork(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
    HtmlControlRecord* h = HtmlOfWindow(wnd);
    switch (msg) {
    case WM_SIZE:
        if (wp == SIZE_MINIMIZED || wp == SIZE_MAXSHOW || wp == SIZE_MAXHIDE) break;
        if (h && h->site) HtmlPanelResize(h->site, wnd, 0);
        if (h && h->webHost && gHtmlTwinHooks.resize) gHtmlTwinHooks.resize(h->webHost);
        return 1;
    case WM_ERASEBKGND: {
        if (h && h->site) return 1;
        if (!h) break;
        bool transparent = (GetWindowLongA(wnd, GWL_EXSTYLE) & WS_EX_TRANSPARENT) != 0;
        if (transparent) return 0;
        RECT r;
        GetClientRect(wnd, &r);
        r.right += 2;
        r.bottom += 2;
        HBRUSH brush = CreateSolidBrush(ColorValueResolve(h->hdr.bgColor));
        if (brush) {
            FillRect(reinterpret_cast<HDC>(wp), &r, brush);
            DeleteObject(brush);
        }
        return 1;
    }
    case WM_SYSCOLORCHANGE:
        HandleSysColorChange();
        return 1;
    case WM_SETCURSOR:
        return HandleSetCursor(wnd, wp, lp) ? 1 : 0;
    default:
        break;
    }
    return DefWindowProcA(wnd, msg, wp, lp);
}

bool RegisterHtmlClass() {
    if (!gClassPending) return true;
    WNDCLASSA wc = {};
    wc.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS;
    wc.lpfnWndProc = GuardedWndProc<HtmlControlWndProcWork>;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = kHtmlClass;
    if (!RegisterClassA(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return false;
    gClassPending = false;
    return true;
}

HWND ParentWindowOf(ObjectRecord* parent) {
    int depth = 0;
    for (ObjectRecord* p = parent; p && depth < kParentChainMax; p = p->parent, ++depth)
        if (p->hwnd) return p->hwnd;
    return nullptr;
}

// The KeyPreTranslate hooks: editing keys and Tab for the focused control's page.
bool HtmlExecCommandHook(ObjectRecord* rec, const char* command) {
    HtmlControlRecord* h = HtmlOf(rec);
    if (!h || !h->site) return false;
    HtmlPanelExecCommand(h->site, command);
    return true;
}

int HtmlTranslateAccelHook(ObjectRecord* rec, MSG* m) {
    HtmlControlRecord* h = HtmlOf(rec);
    return h && h->site ? HtmlPanelTranslateAccel(h->site, m) : 0;
}

}  // namespace

HtmlTwinHooks gHtmlTwinHooks;

void* HtmlControlTwinHost(ObjectRecord* rec) {
    HtmlControlRecord* h = HtmlOf(rec);
    return h && !ObjectIsWebView(rec) ? h->webHost : nullptr;
}

ObjectRecord* HtmlControlTwinPage(ObjectRecord* rec) {
    HtmlControlRecord* h = HtmlOf(rec);
    return h && h->webHost ? rec : nullptr;
}

int32_t HtmlControlLoadPage(HtmlControlRecord* h, const char* text, uint32_t flags, bool keep) {
    if (!text) text = "";
    if (keep) {
        if (h->innerHtml) LocalFreeMem(h->innerHtml);
        h->innerHtml = nullptr;
        if (!(flags & kHtmlLoadUrl)) {
            size_t n = strlen(text);
            if (n) {
                h->innerHtml = static_cast<char*>(LocalAllocZero(n + 1));
                if (h->innerHtml) memcpy(h->innerHtml, text, n);
            }
            if (!h->innerHtml) {
                ReleaseSite(h);
                return 0;
            }
        }
    }
    ReleaseSite(h);
    CQovPanelWebBrowser* site = nullptr;
    if (HtmlPanelCreate(h->hdr.hwnd, &site) != kPanelOk || !site) return kLoadNotShown;
    h->site = site;
    if (text[0] == '!') {
        ++text;
        flags |= kHtmlLoadUrl;
    }
    gHtmlCodePage = ConversionCodePage(h);
    // The stored text is never changed: the browser gets a rewritten copy.
    HtmlPageText page;
    bool built = HtmlPageTextBuild(text, strlen(text), gHtmlCodePage == 0, (flags & kHtmlLoadUrl) != 0,
                                   ColorValueResolve(h->hdr.bgColor), &page);
    if (h->scrollBar != kScrollNone) flags |= kHtmlLoadScroll;
    HWND wnd = h->hdr.hwnd;
    ObjectRef ref = ObjectRefOf(&h->hdr);
    int32_t iframe = 0;
    HtmlPanelLoad(site, built ? page.data : text, flags, wnd, 1, &iframe);
    gHtmlCodePage = 0;
    if (built) HtmlPageTextFree(&page);
    if (!ObjectRefAlive(ref)) return 0;
    PumpOnce(false);
    if (!ObjectRefAlive(ref) || !h->site) return 0;
    HtmlPanelResize(h->site, wnd, 1);
    if (iframe) HtmlPanelHookElements(h->site, wnd);
    return 0;
}

void HtmlControlRebuildAll(ObjectRecord* rec, bool single) {
    int guard = 0;
    for (ObjectRecord* r = rec; r && guard < kHtmlRebuildMax; r = single ? nullptr : r->next, ++guard) {
        if (r->kind == kKindPanel) {
            if (r->children) HtmlControlRebuildAll(r->children, false);
        } else if (HtmlControlRecord* h = HtmlOf(r)) {
            if (h->innerHtml && h->twin) {
                gHtmlTwinHooks.setContent(h->webHost, h->twin, h->innerHtml);
            } else if (h->innerHtml) {
                // The text is copied: a load replaces nothing here, but the
                // browser calls may pump and the record must be asked again.
                std::string text = h->innerHtml;
                ObjectRef ref = ObjectRefOf(r);
                HtmlControlLoadPage(h, text.c_str(), kHtmlLoadHook, false);
                if (!ObjectRefAlive(ref)) return;
            }
        }
    }
}

int32_t HtmlControlSetFocus(ObjectRecord* rec, int32_t direction) {
    HtmlControlRecord* h = HtmlOf(rec);
    if (h && h->twin) return gHtmlTwinHooks.focus(h->webHost, h->twin, direction);
    if (!h || !h->site) return 1;
    switch (direction) {
    case kFocusForward: case kFocusBackward:
        return HtmlPanelFocusTab(h->site, h->tabId, direction == kFocusForward) ? 0 : 1;
    case kFocusFirst: return HtmlPanelFocusTab(h->site, 0, 1) ? 0 : 1;
    case kFocusLast: return HtmlPanelFocusTab(h->site, kTabLast, 0) ? 0 : 1;
    case kFocusPlain:
        if (h->focusId[0]) HtmlPanelFocusElement(h->site, h->focusId);
        else HtmlPanelFocusTab(h->site, 0, 1);
        return 1;
    default: return 1;
    }
}

ObjectRecord* HtmlControlCreate(uint32_t, ObjectCreateRecord* cr, int32_t* code) {
    *code = kOpNoMemory;
    if (!RuntimeOleLibraries()) return nullptr;
    RuntimeOleStart();
    *code = kOpNoObject;
    if (!RegisterHtmlClass()) return nullptr;
    auto* h = reinterpret_cast<HtmlControlRecord*>(
        ObjectAllocRecord(kKindHtmlControl, sizeof(HtmlControlRecord), false));
    if (!h) {
        *code = kOpNoMemory;
        return nullptr;
    }
    ObjectRecord* rec = &h->hdr;
    rec->flags |= kObjHtmlCreated;
    auto fail = [&](int32_t why) -> ObjectRecord* {
        if (rec->hwnd) {
            SetWindowLongPtrA(rec->hwnd, GWLP_USERDATA, 0);
            DestroyWindow(rec->hwnd);
        }
        rec->hwnd = nullptr;
        if (h->innerHtml) LocalFreeMem(h->innerHtml);
        ObjectFreeCommon(rec);
        ObjectFreeRecord(rec);
        *code = why;
        return nullptr;
    };
    DWORD style = WS_CHILD | WS_CLIPSIBLINGS, exStyle = 0;
    h->scrollBar = ScrollBarOf(CreateRecordValue(cr, kPidScrollBar, kScrollNone));
    h->codePage = static_cast<uint32_t>(CreateRecordValue(cr, kPidCodePage, 0));
    h->bdrStyle = BdrStyleOf(CreateRecordValue(cr, kPidBdrStyle, kBdrNone));
    h->webMode = static_cast<uint32_t>(CreateRecordValue(cr, kPidWebMode, 0));
    h->tabId = 0;
    if (h->bdrStyle != kBdrNone) style |= WS_BORDER;
    if (h->bdrStyle == kBdrSunken) exStyle |= WS_EX_CLIENTEDGE;
    CrText inner = cr->innerHtml.text ? cr->innerHtml : CreateRecordText(cr, kPidInnerHtml);
    // A URL that names no page as given leaves the control made without one.
    if (inner.text && inner.length && UrlIsWhole(inner.text, inner.length, 0)) {
        h->innerHtml = static_cast<char*>(LocalAllocZero(inner.length + 1));
        if (!h->innerHtml) return fail(kOpNoMemory);
        memcpy(h->innerHtml, inner.text, inner.length);
    }
    ObjectRecord* parent = nullptr;
    if (!ObjectInitCommon(rec, cr, &parent)) return fail(kOpNoObject);
    if (!CopyCreateStrings(rec, cr)) return fail(kOpNoMemory);
    rec->fgColor = 0;
    if (!ObjectSetRect(rec, cr->top, cr->height, cr->left, cr->width)) return fail(kCreateRefused);
    bool twinned = h->webMode >= kWebModeTwin;
    if (twinned && !gHtmlTwinHooks.create) return fail(kNoTwin);
    HWND parentWnd = ParentWindowOf(parent);
    if (!parentWnd) return fail(kOpNoObject);
    RECT r = {rec->left, rec->top, rec->right, rec->bottom};
    ConvertRectUnits(parent, &r, kToPixels);
    rec->left = r.left, rec->top = r.top, rec->right = r.right, rec->bottom = r.bottom;
    HWND wnd = CreateWindowExA(exStyle, kHtmlClass, "", style, r.left, r.top, r.right - r.left, r.bottom - r.top,
                               parentWnd, nullptr, GetModuleHandleA(nullptr), nullptr);
    if (!wnd) return fail(kOpNoObject);
    rec->hwnd = wnd;
    SetWindowLongPtrA(wnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(rec));
    LinkObject(rec);
    ObjectNextCtlId(parent);
    ObjectRef ref = ObjectRefOf(rec);
    if (twinned) {
        // The page of a control with WebMode 2 or more is shown by a web view of
        // its own, in the control's window; the twin in that page does the work.
        h->webHost = gHtmlTwinHooks.create(rec, cr, &h->twin);
        if (!ObjectRefAlive(ref)) return nullptr;
        if (!h->webHost) {
            ObjectDestroy(rec);
            *code = kNoTwin;
            return nullptr;
        }
    }
    if (cr->flags0 & kCrDisabled) ObjectDisable(rec, 0);
    if (!gFormLoadCreating && h->innerHtml && !twinned) HtmlControlRebuildAll(rec, true);
    if (!ObjectRefAlive(ref)) return nullptr;
    if (cr->flags0 & kCrVisible) {
        ObjectActivate(rec, 0, 0, 0, 0);
        if (!ObjectRefAlive(ref)) return nullptr;
    } else {
        rec->flags |= kObjHidden;
    }
    ObjectSaveLayout(rec, 0);
    *code = 0;
    return rec;
}

// ObjectSetFocus of an HTML control: the window and then the page's element.
static int32_t HtmlSetFocusEntry(ObjectRecord* rec, int32_t) {
    if (!rec->hwnd || !ObjectCanFocus(rec)) return kOpNotAvailable;
    SetFocus(rec->hwnd);
    ObjectRecord* top = ObjectTopWindow(rec);
    if (top) SetFocusObject(top, rec);
    HtmlControlSetFocus(rec, 0);
    return 0;
}

static int32_t HtmlFocusStep(ObjectRecord* rec, int32_t direction) { return HtmlControlSetFocus(rec, direction); }

// A Panel's HTML view (its InnerHtml method) is the same browser host, without
// the control's events or tab order: loaded with no hooked events.
static void* PanelViewCreate(HWND wnd) {
    if (!RuntimeOleLibraries()) return nullptr;
    RuntimeOleStart();
    CQovPanelWebBrowser* site = nullptr;
    return HtmlPanelCreate(wnd, &site) == kPanelOk ? site : nullptr;
}

static void PanelViewLoad(void* view, const char* html, uint32_t length, int32_t flags, HWND wnd) {
    std::string text(html ? html : "", html ? length : 0);
    HtmlPanelLoad(static_cast<CQovPanelWebBrowser*>(view), text.c_str(), static_cast<uint32_t>(flags), wnd, 0,
                  nullptr);
}

static void PanelViewRelease(void* view) { HtmlPanelRelease(static_cast<CQovPanelWebBrowser*>(view)); }

static void PanelViewResize(void* view, HWND wnd) { HtmlPanelResize(static_cast<CQovPanelWebBrowser*>(view), wnd, 0); }

FacilityRow HtmlControlInstall() {
    gComObjectHooks.htmlPanelCreate = PanelViewCreate;
    gComObjectHooks.htmlPanelLoad = PanelViewLoad;
    gComObjectHooks.htmlPanelRelease = PanelViewRelease;
    gComObjectHooks.htmlPanelResize = PanelViewResize;
    gComObjectHooks.htmlFocus = HtmlSetFocusEntry;
    gGuiHooks.htmlSetFocus = HtmlFocusStep;
    RegisterObjectCreator(kTypeHTMLControl, HtmlControlCreate);
    RegisterObjectOps(kKindHtmlControl, &kHtmlControlOps);
    RegisterMethodTable(kTypeHTMLControl, HtmlMethodLookup);
    gGuiHooks.htmlExecCommand = HtmlExecCommandHook;
    gGuiHooks.htmlTranslateAccel = HtmlTranslateAccelHook;
    gHtmlPanelOwner.menuAllowed = OwnerMenuAllowed;
    gHtmlPanelOwner.onTabFocus = OwnerTabFocus;
    gHtmlPanelOwner.onFocusChange = OwnerFocusChange;
    gHtmlPanelOwner.onReadyState = OwnerReadyState;
    gHtmlPanelOwner.postEvent = PostWebPanelEvent;
    return FacilityRow{"HtmlControl", nullptr, nullptr};
}

int32_t HtmlControlMenuAllowed(HWND wnd) { return OwnerMenuAllowed(wnd); }
void HtmlControlOnTabFocus(HWND wnd, int32_t tabId, const char* elementId) { OwnerTabFocus(wnd, tabId, elementId); }
void HtmlControlOnFocusChange(HWND wnd, const char* elementId, bool leaving) {
    OwnerFocusChange(wnd, elementId, leaving);
}
int32_t HtmlControlOnReadyState(HWND wnd) { return OwnerReadyState(wnd); }
