// webstatusbar.cpp - the status bar of the web view: the client keeps the
// panels as the native bar does and rewrites the bar element's contents as
// panel markup (or the bar's own text) whenever a panel or the bar changes;
// panels are reached as objects of their own or through the bar's item
// selector; and the refresh of a form's objects after it loaded.
#include "webview/controls/webstatusbar.h"

#include <cstdio>
#include <cstring>

#include "graphics/barcore.h"
#include "objects/objops.h"
#include "objects/objtables.h"
#include "webview/controls/webdrawn.h"
#include "webview/controls/webtoolbar.h"
#include "webview/core/pageactions.h"
#include "webview/core/webchannel.h"
#include "webview/core/webgeneric.h"
#include "webview/core/webobject.h"
#include "webview/core/webprops.h"
#include "webview/core/webtext.h"
#include "webview/core/webkinds.h"
#include "webview/core/webmarkup.h"

namespace {

constexpr int32_t kRemoved = 0, kNotFound = 1;
constexpr int32_t kDockDefault = 1, kDockFirstBad = 7;
// The page adds a panel's border and padding to the width written for it.
constexpr int32_t kPanelBorderRoom = 4;
// Set on a bar whose contents were sent again after a change.
constexpr uint32_t kBarRedrawn = 0x10000;
constexpr int32_t kNumberDisable = 9;
constexpr int kAxisH = 0;

StatusPanelRecord* AsPanel(ObjectRecord* rec) { return reinterpret_cast<StatusPanelRecord*>(rec); }

WebStatusBarRecord* BarOf(StatusPanelRecord* p) {
    ObjectRecord* bar = p->item.bar;
    return bar && bar->kind == kKindStatusBar ? WebStatusBar(bar) : nullptr;
}

int32_t ScalePanelValue(ObjectRecord* bar, int32_t value, bool toPixels) {
    return WebScaleValue(bar, value, kAxisH, toPixels);
}

// ---- Markup ---------------------------------------------------------------------------------

// Appends to a bounded buffer; false (nothing appended) when it would not fit.
struct Out {
    char* data;
    size_t size, length;
};

bool Put(Out* o, const char* text, size_t n) {
    if (o->length + n + 1 > o->size) return false;
    memcpy(o->data + o->length, text, n);
    o->length += n;
    o->data[o->length] = 0;
    return true;
}

bool PutZ(Out* o, const char* text) { return Put(o, text, strlen(text)); }

// A panel's (or the bar's) text as element contents. The page sets them as
// HTML after dropping '&' marks: markup characters become entities whose '&'
// is doubled, so that the text shows as written, as the native bar shows it.
size_t EscapedText(const char* text, char* out, size_t outSize) {
    size_t n = 0;
    for (const char* p = text ? text : ""; *p; ++p) {
        const char* piece = nullptr;
        switch (*p) {
        case '<': piece = "&&lt;"; break;
        case '>': piece = "&&gt;"; break;
        case '&': piece = "&&amp;"; break;
        default: break;
        }
        size_t len = piece ? strlen(piece) : 1;
        if (n + len + 1 > outSize) break;
        if (piece) memcpy(out + n, piece, len);
        else out[n] = *p;
        n += len;
    }
    if (outSize) out[n] = 0;
    return n;
}

// The width a panel's style is written with: fixed panels their Width,
// contents and spring panels their current width (none without text) but at
// least MinWidth; less the border when there is room for it. The current
// width keeps the value before the border is taken off, so that writing the
// markup again does not narrow the panel each time.
int32_t WrittenWidth(StatusPanelRecord* p, bool* minimum) {
    *minimum = p->autoSize != kPanelFixed;
    int32_t w;
    if (*minimum) {
        w = p->text && *p->text ? p->curWidth : 0;
        if (w < p->minWidth) w = p->minWidth;
        p->curWidth = w;
    } else {
        w = p->width;
    }
    return w > kPanelBorderRoom ? w - kPanelBorderRoom : w;
}

char BorderLetter(uint8_t bdrStyle) {
    switch (bdrStyle) {
    case kPanelNoBorder: return 'p';
    case kPanelRaised: return 'o';
    default: return 'i';
    }
}

bool PanelMarkup(Out* o, StatusPanelRecord* p, bool last, const char* text, size_t textLength) {
    char head[96];
    if (last && p->autoSize == kPanelSpring) {
        snprintf(head, sizeof head, "<div class='qovsbz' >");
    } else {
        bool minimum = false;
        int32_t w = WrittenWidth(p, &minimum);
        snprintf(head, sizeof head, "<div class='qovsb%c' style='%s: %dpx;'>", BorderLetter(p->bdrStyle),
                 minimum ? "min-width" : "width", w);
    }
    size_t mark = o->length;
    if (PutZ(o, head) && Put(o, text, textLength) && PutZ(o, "</div>")) return true;
    o->length = mark;
    o->data[mark] = 0;
    return false;
}

// ---- Refresh ----------------------------------------------------------------------------------

void SendContents(ObjectRecord* bar, const char* contents) {
    WebViewSelectForObject(bar);
    WebSetElemText(bar, contents, false, false);
}

// A shown bar after ShowPanel, its Text or a change that asks for it: the
// panels, or its own text (a single blank when it has none).
void Refresh(ObjectRecord* bar) {
    WebStatusBarRecord* b = WebStatusBar(bar);
    if (!(bar->flags & kObjShown)) return;
    if (b->showPanel) {
        WebStatusBarMarkup(bar);
    } else {
        char text[kBarTextMax * 6 + 2];
        size_t n = EscapedText(b->text, text, sizeof text);
        SendContents(bar, n ? text : " ");
    }
    bar->flags |= kBarRedrawn;
}

// ---- Panels ----------------------------------------------------------------------------------

StatusPanelList PanelsOf(WebStatusBarRecord* b) { return StatusPanelList{&b->panels, &b->panelCount}; }

ObjectRecord* AddPanel(WebStatusBarRecord* b, const PanelSpec& s, int32_t* code) {
    StatusPanelRecord* p = StatusPanelAdd(&b->hdr, PanelsOf(b), s, ScalePanelValue, true, code);
    if (!p) return nullptr;
    WebStatusBarMarkup(&b->hdr);
    return &p->item.hdr;
}

bool RemovePanel(WebStatusBarRecord* b, BarItemRecord* it) { return StatusPanelRemove(PanelsOf(b), it); }

// Hands a panel to the server as a method's object result: one more use,
// registered again when the server had released it, the variable noted.
int32_t ReplyPanel(BarItemRecord* it, const MethodCallRec* call) {
    ObjectRecord* rec = &it->hdr;
    if (!BarItemHandOut(rec, call)) return WebReplyInt(0);
    if (gWebObjServices.replyInt) gWebObjServices.replyInt(static_cast<int32_t>(rec->handle), kTypeStatusPanel);
    return kWebNoAnswer;
}

// ---- Properties -----------------------------------------------------------------------------

int32_t PanelSetProp(ObjectRecord* rec, uint32_t id, int32_t value, const char* text, uint32_t length,
                     bool* commonWrite) {
    StatusPanelRecord* p = AsPanel(rec);
    *commonWrite = false;
    WebStatusBarRecord* b = BarOf(p);
    if (!b) return kWebOk;   // removed from its bar while the server held it: changes nothing
    if (StatusPanelChange(p, id, value, text, length, ScalePanelValue)) WebStatusBarMarkup(&b->hdr);
    return kWebOk;
}

int32_t PanelGetProp(ObjectRecord* rec, uint32_t id, int32_t* result, const char** text) {
    StatusPanelRecord* p = AsPanel(rec);
    *result = 0;
    if (!BarOf(p)) {
        *text = "";   // removed from its bar while the server held it: answers 0 (or nothing)
        return kWebOk;
    }
    StatusPanelQuery(p, id, ScalePanelValue, result, text);
    return kWebOk;
}

int32_t BarSetProp(ObjectRecord* rec, uint32_t id, int32_t value, const char* text, uint32_t length,
                   bool* commonWrite) {
    WebStatusBarRecord* b = WebStatusBar(rec);
    switch (id) {
    case kPidText: BarReplaceText(&b->text, text, length, kBarTextMax); break;
    case kPidShowPanel: b->showPanel = value ? 1 : 0; break;
    case kPidSizeGrip: b->sizeGrip = value ? 1 : 0; *commonWrite = false; return kWebOk;
    case kPidRunName: BarReplaceText(&rec->runName, text, length, kBarTextMax); *commonWrite = false; return kWebOk;
    case kPidUserData: BarReplaceText(&rec->userData, text, length, kTextBufSize); *commonWrite = false; return kWebOk;
    default: return kWebNotAvailable;
    }
    *commonWrite = false;
    Refresh(rec);
    return kWebOk;
}

int32_t BarGetProp(ObjectRecord* rec, uint32_t id, int32_t* result, const char** text) {
    WebStatusBarRecord* b = WebStatusBar(rec);
    switch (id) {
    case kPidText: *text = b->text ? b->text : ""; return kWebOk;
    case kPidSizeGrip: *result = b->sizeGrip; return kWebOk;
    case kPidShowPanel: *result = b->showPanel; return kWebOk;
    case kPidRunName: *text = rec->runName ? rec->runName : ""; return kWebOk;
    case kPidUserData: *text = rec->userData ? rec->userData : ""; return kWebOk;
    default: return kWebNotAvailable;
    }
}

// A property request on the bar that names a panel goes to the panel.
ObjectRecord* RoutePanel(ObjectRecord* rec, const EventItem& selector, uint32_t nameMax) {
    BarItemRecord* it = nullptr;
    switch (BarItemBySelector(WebStatusBar(rec)->panels, selector, nameMax, &it)) {
    case kBarSelItem: return &it->hdr;
    case kBarSelNoMatch: return nullptr;
    case kBarSelNone: break;
    }
    return rec;
}

// The bar a panel belongs to: its page element is the bar's. Tool buttons
// are the toolbar's to answer, which chains to this one.
ObjectRecord* ItemHolder(ObjectRecord* rec) {
    return rec && rec->kind == kKindStatusPanel ? reinterpret_cast<BarItemRecord*>(rec)->bar : nullptr;
}

void BarDestroyOp(ObjectRecord* rec) { WebStatusBarDestroy(rec); }


// A status bar is neither enabled nor disabled in the page.
int32_t BarEnable(ObjectRecord*, int32_t, bool) { return kWebOk; }

void RefreshChildren(ObjectRecord* first, int depth) {
    for (ObjectRecord* c = first; c && depth < kParentChainMax; c = c->next) {
        if (!ObjectIsWebView(c)) continue;
        switch (c->kind) {
        case kKindPanel: RefreshChildren(c->children, depth + 1); break;
        case kKindStatusBar: WebStatusBarMarkup(c); break;
        case kKindEditNumber:
            if (c->flags & kObjDisabled) {
                WebViewSelectForObject(c);
                JsonBeginAction(kActNumber);
                JsonAddName(c);
                JsonAddInt("dwid", kNumberDisable);
                WebViewMsgEnd();
            }
            break;
        case kKindSplitter:
            if (!(c->flags & kObjDisabled)) WebSplitterEnable(c, 0, true);
            break;
        default: break;
        }
    }
}

}  // namespace

void WebStatusBarMarkupText(WebStatusBarRecord* b, char* out, size_t outSize) {
    if (!outSize) return;
    out[0] = 0;
    if (!b->panels) {
        snprintf(out, outSize, " ");
        return;
    }
    size_t cap = outSize < kStatusMarkupMax + 1 ? outSize : kStatusMarkupMax + 1;
    Out o = {out, cap, 0};
    static char text[kBarTextMax * 6 + 1];
    for (BarItemRecord* it = b->panels; it; it = it->nextItem) {
        StatusPanelRecord* p = AsStatusPanel(it);
        size_t n = EscapedText(p->text, text, sizeof text);
        // Room for the panel's tags and its text, else this and the later
        // panels are left out.
        if (o.length + kStatusPanelTagRoom + n >= kStatusMarkupMax) break;
        if (!PanelMarkup(&o, p, it->nextItem == nullptr, text, n)) break;
    }
}

ObjectRecord* WebStatusBarCreate(ObjectRecord*, ObjectRecord* rec, ObjectCreateRecord* cr, uint32_t kind,
                                 int32_t* code) {
    if (!rec) rec = ObjectAllocRecord(static_cast<uint8_t>(kind), sizeof(WebStatusBarRecord), true);
    if (!rec) {
        *code = kWebNoMemory;
        return nullptr;
    }
    WebStatusBarRecord* b = WebStatusBar(rec);
    if (cr->dock == 0 || cr->dock >= kDockFirstBad) cr->dock = kDockDefault;
    b->panelCount = 0;
    b->sizeGrip = CreateRecordValue(cr, kPidSizeGrip, 0) > 0 ? 1 : 0;
    b->showPanel = CreateRecordValue(cr, kPidShowPanel, 0) > 0 ? 1 : 0;
    if (cr->text.text && cr->text.length && !BarReplaceText(&b->text, cr->text.text, cr->text.length, kBarTextMax)) {
        *code = kWebNoMemory;
        ObjectFreeRecord(rec);
        return nullptr;
    }
    gStatusBarMadeLast = rec;
    *code = kWebOk;
    return rec;
}

ObjectRecord* StatusBarAddPanel(ObjectRecord* bar, ObjectCreateRecord* cr, int32_t* code) {
    if (!bar || bar->kind != kKindStatusBar || !ObjectIsWebView(bar)) {
        *code = kWebNotCreated;
        return nullptr;
    }
    PanelSpec s;
    StatusPanelSpecFromCreate(cr, &s);
    return AddPanel(WebStatusBar(bar), s, code);
}

uint32_t WebStatusBarPanelCount(ObjectRecord* bar) { return WebStatusBar(bar)->panelCount; }

ObjectRecord* WebStatusBarPanelAt(ObjectRecord* bar, uint32_t index) {
    BarItemRecord* it = BarItemFind(WebStatusBar(bar)->panels, index, nullptr, nullptr);
    return it ? &it->hdr : nullptr;
}

bool WebStatusBarRemovePanel(ObjectRecord* bar, uint32_t index, const char* name) {
    WebStatusBarRecord* b = WebStatusBar(bar);
    bool removed = RemovePanel(b, BarItemFind(b->panels, index, name, nullptr));
    WebStatusBarMarkup(bar);
    return removed;
}

void WebStatusBarMarkup(ObjectRecord* bar) {
    WebStatusBarRecord* b = WebStatusBar(bar);
    if (!b->showPanel) return;
    static char markup[kStatusMarkupMax + 1];
    WebStatusBarMarkupText(b, markup, sizeof markup);
    SendContents(bar, markup);
}

int32_t WebStatusBarMethod(ObjectRecord* rec, MethodCallRec* call) {
    int32_t check = WebCheckMethod(call ? call->objectType : 0, call);
    if (check != 0) return check;
    WebStatusBarRecord* b = WebStatusBar(rec);
    switch (call->method) {
    case kSbAddPanel: {
        PanelSpec s;
        StatusPanelSpecFromCall(call, &s);
        int32_t code = 0;
        ObjectRecord* panel = AddPanel(b, s, &code);
        if (!panel) return WebReplyInt(code);
        return BarWantsObject(call) ? ReplyPanel(reinterpret_cast<BarItemRecord*>(panel), call) : WebReplyInt(0);
    }
    case kSbGetPanel: {
        BarItemRecord* it = BarWantsObject(call) ? BarItemByArg(b->panels, call, 0, nullptr) : nullptr;
        return it ? ReplyPanel(it, call) : WebReplyInt(0);
    }
    case kSbRemovePanel: {
        if (!b->panels) return WebReplyInt(kRemoved);
        bool removed = RemovePanel(b, BarItemByArg(b->panels, call, 0, nullptr));
        if (removed) WebStatusBarMarkup(rec);
        return WebReplyInt(removed ? kRemoved : kNotFound);
    }
    default: return kWebUnknownMethod;
    }
}

void WebStatusBarDestroy(ObjectRecord* rec) {
    WebStatusBarRecord* b = WebStatusBar(rec);
    while (b->panels) RemovePanel(b, b->panels);
    BarFreeText(&b->text);
    if (gStatusBarMadeLast == rec) gStatusBarMadeLast = nullptr;
}

int32_t WebBarItemDestroy(ObjectRecord* rec) {
    switch (rec->kind) {
    case kKindStatusPanel: return BarItemRelease(rec, StatusPanelFreeTexts);
    case kKindToolButton: return WebToolButtonDestroy(rec);
    default: return kWebNotAvailable;
    }
}

void WebFormRefreshChildren(ObjectRecord* first) { RefreshChildren(first, 0); }

// ---- The kinds' rows --------------------------------------------------------------------------

namespace {

void MarkupStatusBar(HtmlMarkup& m) {
    HtmlPlainElement(m, "<div ", ">");
    if (m.cr->text.text && m.cr->text.length) HtmlAppendPlainText(m.cr->text.text, m.cr->text.length);
    HtmlPut("</div>");
}

const WebKindOps kStatusBarOps = {
    .create = WebStatusBarCreate,
    .markup = MarkupStatusBar,
    .setProp = BarSetProp,
    .getProp = BarGetProp,
    .itemRoute = RoutePanel,
    .enable = BarEnable,
    .destroy = BarDestroyOp,
    .method = WebStatusBarMethod,
    .defaultEvent = kEvClick,
    .traits = kWebKindPixelGeometry,
};

// A panel is made by its bar; its messages go to the bar's page.
const WebKindOps kStatusPanelOps = {
    .setProp = PanelSetProp,
    .getProp = PanelGetProp,
    .subObjectHolder = ItemHolder,
    .held = WebBarItemDestroy,  // its bar, or the server
    .traits = kWebKindSendsNoDelete | kWebKindNoElement,
};

}  // namespace

void WebStatusBarInstall() {
    WebRegisterKind(kKindStatusBar, &kStatusBarOps);
    WebRegisterKind(kKindStatusPanel, &kStatusPanelOps);
    gWebObjServices.formRefreshChildren = WebFormRefreshChildren;
}
