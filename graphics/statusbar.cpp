// statusbar.cpp - the native StatusBar (kind 38) and its StatusPanels (kind 39):
// creation, panels added, found, laid out and removed, the properties of the
// bar and of its panels (also through an item selector on the bar), the
// methods, the rescale of fixed panels and the bar's click notifications.
#include <windows.h>

#include <commctrl.h>

#include <cstring>

#include "graphics/bars.h"
#include "objects/color.h"
#include "objects/events.h"
#include "objects/focus.h"
#include "objects/font.h"
#include "objects/objwindowed.h"
#include "objects/paint.h"
#include "objects/window.h"
#include "session/session.h"
#include "session/util/codepage.h"

namespace {

constexpr uint32_t kRemoved = 0, kNotFound = 1;
constexpr WPARAM kSimplePart = SB_SIMPLEID;
constexpr WPARAM kSimplePartRtl = 0x4FF;
constexpr int32_t kDockDefault = 1;

struct StatusBarRecord {
    ControlRecord c;
    uint32_t panelCount;
    BarItemRecord* panels;
    uint8_t showPanel;
    uint8_t sizeGrip;
    char* text;
};

StatusBarRecord* AsBar(ObjectRecord* rec) { return reinterpret_cast<StatusBarRecord*>(rec); }
StatusPanelRecord* AsPanel(BarItemRecord* it) { return AsStatusPanel(it); }
StatusPanelRecord* AsPanel(ObjectRecord* rec) { return reinterpret_cast<StatusPanelRecord*>(rec); }
StatusBarRecord* BarOf(StatusPanelRecord* p) { return p->item.bar ? AsBar(p->item.bar) : nullptr; }
bool RightToLeft(const ObjectRecord* rec) { return (rec->flags & kObjRightToLeft) != 0; }

const char* AnsiOf(const char* text) {
    const char* a = OemToAnsiStr(text ? text : "", 0);
    return a ? a : "";
}

// ---- Layout -------------------------------------------------------------------------------------

int32_t TextWidth(HDC dc, const char* text) {
    if (!text || !*text) return 0;
    SIZE ext = {};
    const char* a = AnsiOf(text);
    GetTextExtentPoint32A(dc, a, static_cast<int>(strlen(a)), &ext);
    return ext.cx;
}

void LayoutPanels(StatusBarRecord* b) {
    HWND wnd = b->c.hdr.hwnd;
    PanelMeasure measure[kStatusPanelMax];
    int32_t widths[kStatusPanelMax];
    uint32_t n = 0;
    HDC dc = GetDC(wnd);
    HGDIOBJ oldFont = nullptr;
    if (dc && b->c.hdr.font && b->c.hdr.font->hfont) oldFont = SelectObject(dc, b->c.hdr.font->hfont);
    for (BarItemRecord* it = b->panels; it && n < kStatusPanelMax; it = it->nextItem, ++n) {
        StatusPanelRecord* p = AsPanel(it);
        measure[n] = PanelMeasure{p->autoSize, p->width, p->minWidth, 0, p->text && *p->text};
        if (p->autoSize == kPanelContents && dc) measure[n].textWidth = TextWidth(dc, p->text);
    }
    if (oldFont) SelectObject(dc, oldFont);
    if (dc) ReleaseDC(wnd, dc);
    RECT client = {};
    GetClientRect(wnd, &client);
    StatusPanelWidths(measure, n, client.right - client.left, widths);
    int edges[kStatusPanelMax];
    int32_t right = 0;
    uint32_t i = 0;
    for (BarItemRecord* it = b->panels; it && i < n; it = it->nextItem, ++i) {
        AsPanel(it)->curWidth = widths[i];
        right += widths[i];
        edges[i] = right;
    }
    SendMessageA(wnd, SB_SETPARTS, n, reinterpret_cast<LPARAM>(edges));
    bool rtl = RightToLeft(&b->c.hdr);
    i = 0;
    for (BarItemRecord* it = b->panels; it && i < n; it = it->nextItem, ++i) {
        StatusPanelRecord* p = AsPanel(it);
        WPARAM part = i | StatusPanelTextType(p->bdrStyle, rtl);
        SendMessageA(wnd, SB_SETTEXTA, part, reinterpret_cast<LPARAM>(AnsiOf(p->text)));
        if (it->hdr.toolTip) SendMessageA(wnd, SB_SETTIPTEXTA, i, reinterpret_cast<LPARAM>(AnsiOf(it->hdr.toolTip)));
    }
}

// Without the panel mode the bar shows its own text and nothing is laid out.
void Layout(StatusBarRecord* b) {
    if (!b->showPanel || !b->c.hdr.hwnd) return;
    if (!b->panels) {
        int whole = -1;
        SendMessageA(b->c.hdr.hwnd, SB_SETTEXTA, 0, reinterpret_cast<LPARAM>(""));
        SendMessageA(b->c.hdr.hwnd, SB_SETPARTS, 1, reinterpret_cast<LPARAM>(&whole));
        return;
    }
    LayoutPanels(b);
}

void Refresh(StatusBarRecord* b) {
    ObjectRecord* rec = &b->c.hdr;
    if (!(rec->flags & kObjShown)) return;
    Layout(b);
    rec->flags |= kGfxRedrawPending;
    RedrawObject(rec, true);
}

// False when the bar did not take the text (no room for its copy).
bool SetSimpleText(StatusBarRecord* b) {
    WPARAM part = RightToLeft(&b->c.hdr) ? kSimplePartRtl : kSimplePart;
    return SendMessageA(b->c.hdr.hwnd, SB_SETTEXTA, part, reinterpret_cast<LPARAM>(AnsiOf(b->text))) != FALSE;
}

// The bar's own text: the record takes it once the bar has, so a text that
// cannot be kept (no room for either copy) leaves both as they were; -6.
int32_t ReplaceSimpleText(StatusBarRecord* b, const char* text, uint32_t length) {
    char* kept = b->text;
    b->text = nullptr;
    if (!BarReplaceText(&b->text, text, length, kBarTextMax) || !SetSimpleText(b)) {
        BarFreeText(&b->text);
        b->text = kept;
        return kOpNoMemory;
    }
    BarFreeText(&kept);
    return 0;
}

// ---- Panels -------------------------------------------------------------------------------------

int32_t ScalePanelValue(ObjectRecord* bar, int32_t value, bool toPixels) {
    return toPixels ? BarToPixels(bar, value) : BarToUnits(bar, value);
}

StatusPanelList PanelsOf(StatusBarRecord* b) { return StatusPanelList{&b->panels, &b->panelCount}; }

ObjectRecord* PanelCreate(StatusBarRecord* b, const PanelSpec& s, int32_t* code) {
    StatusPanelRecord* p = StatusPanelAdd(&b->c.hdr, PanelsOf(b), s, ScalePanelValue, false, code);
    if (!p) return nullptr;
    Layout(b);
    return &p->item.hdr;
}

bool RemovePanel(StatusBarRecord* b, BarItemRecord* it) {
    if (!StatusPanelRemove(PanelsOf(b), it)) return false;
    Layout(b);
    return true;
}

// ---- Panel properties ---------------------------------------------------------------------------

uint32_t PanelGetProp(ObjectRecord* rec, uint32_t id) {
    StatusPanelRecord* p = AsPanel(rec);
    if (!BarOf(p)) return 0;   // removed from its bar while the server held it
    int32_t value = 0;
    const char* text = nullptr;
    StatusPanelQuery(p, id, ScalePanelValue, &value, &text);
    return text ? BarTextReply(text) : static_cast<uint32_t>(value);
}

int32_t PanelSetProp(ObjectRecord* rec, PropChange* req) {
    StatusPanelRecord* p = AsPanel(rec);
    StatusBarRecord* b = BarOf(p);
    if (!b) return 0;
    if (StatusPanelChange(p, req->id, req->value, req->text, req->textLength, ScalePanelValue)) Layout(b);
    return 0;
}

int32_t PanelRelease(ObjectRecord* rec) { return BarItemRelease(rec, StatusPanelFreeTexts); }

// ---- Bar properties -----------------------------------------------------------------------------

uint32_t BarGetProp(ObjectRecord* rec, uint32_t id) {
    StatusBarRecord* b = AsBar(rec);
    BarItemRecord* it = nullptr;
    if (gCurPropQuery) {
        switch (BarItemBySelector(b->panels, gCurPropQuery->selector, kItemNameQueryMax, &it)) {
        case kBarSelItem: return PanelGetProp(&it->hdr, id);
        case kBarSelNoMatch: return CtlGetCommonProp(rec, kPropIdNoItem);
        case kBarSelNone: break;
        }
    }
    switch (id) {
    case kPidText: return BarTextReply(b->text);
    case kPidSizeGrip: return b->sizeGrip;
    case kPidShowPanel: return b->showPanel;
    case kPidRunName: return BarTextReply(rec->runName);
    case kPidUserData: return BarTextReply(rec->userData, kTextBufSize);
    default: return CtlGetCommonProp(rec, id);
    }
}

int32_t BarSetProp(ObjectRecord* rec, PropChange* req) {
    StatusBarRecord* b = AsBar(rec);
    BarItemRecord* it = nullptr;
    switch (BarItemBySelector(b->panels, req->selector, kItemNameChangeMax, &it)) {
    case kBarSelItem: return PanelSetProp(&it->hdr, req);
    case kBarSelNoMatch: req->id = kPropIdNoItem; return CtlSetCommonProp(rec, req);
    case kBarSelNone: break;
    }
    switch (req->id) {
    case kPidBgColor: {
        int32_t r = CtlSetCommonProp(rec, req);
        SendMessageA(rec->hwnd, SB_SETBKCOLOR, 0, static_cast<LPARAM>(ColorValueResolve(rec->bgColor)));
        return r;
    }
    case kPidText:
        return ReplaceSimpleText(b, req->text, req->textLength);
    case kPidSizeGrip:
        b->sizeGrip = req->value ? 1 : 0;
        BarStyleBits(rec->hwnd, GWL_STYLE, SBARS_SIZEGRIP, b->sizeGrip ? SBARS_SIZEGRIP : 0);
        Refresh(b);
        return 0;
    case kPidShowPanel:
        b->showPanel = req->value ? 1 : 0;
        SendMessageA(rec->hwnd, SB_SIMPLE, b->showPanel ? FALSE : TRUE, 0);
        if (b->showPanel) Refresh(b);
        return 0;
    case kPidRunName: BarReplaceText(&rec->runName, req->text, req->textLength, kBarTextMax); return 0;
    case kPidUserData: BarReplaceText(&rec->userData, req->text, req->textLength, kTextBufSize); return 0;
    default: return CtlSetCommonProp(rec, req);
    }
}

// ---- Methods ------------------------------------------------------------------------------------

const MethodDesc* BarMethodLookup(uint32_t method, uint32_t) {
    static const uint8_t kKnown = 1;
    return method >= kSbAddPanel && method <= kSbRemovePanel ? reinterpret_cast<const MethodDesc*>(&kKnown) : nullptr;
}

int32_t AddPanel(StatusBarRecord* b, const MethodCallRec* call) {
    PanelSpec s;
    StatusPanelSpecFromCall(call, &s);
    int32_t code = 0;
    ObjectRecord* rec = PanelCreate(b, s, &code);
    if (!rec) return CtlReplyInt(code);
    if (BarWantsObject(call)) return BarReplyItem(reinterpret_cast<BarItemRecord*>(rec), call, kTypeStatusPanel);
    return CtlReplyInt(0);
}

int32_t BarMethod(ObjectRecord* rec, MethodCallRec* call) {
    int32_t rc = CheckMethodCall(kTypeStatusbar, call);
    if (rc != 0) return rc;
    StatusBarRecord* b = AsBar(rec);
    switch (call->method) {
    case kSbAddPanel: return AddPanel(b, call);
    case kSbGetPanel: {
        BarItemRecord* it = BarWantsObject(call) ? BarItemByArg(b->panels, call, 0, nullptr) : nullptr;
        return it ? BarReplyItem(it, call, kTypeStatusPanel) : CtlReplyInt(0);
    }
    case kSbRemovePanel:
        if (!b->panels) return CtlReplyInt(kRemoved);
        return CtlReplyInt(RemovePanel(b, BarItemByArg(b->panels, call, 0, nullptr)) ? kRemoved : kNotFound);
    default: return kOpUnknownMethod;
    }
}

// ---- Notifications, window, show and destroy -----------------------------------------------------

int32_t BarNotify(ObjectRecord* rec, HWND, uint32_t, uint32_t code) {
    const auto* mouse = reinterpret_cast<const NMMOUSE*>(gCurNotify);
    int32_t part = mouse ? static_cast<int32_t>(mouse->dwItemSpec) : 0;
    switch (code) {
    case NM_CLICK: case NM_RCLICK: {
        PostValidateOnFocus(rec, ObjectTopWindow(rec));
        BarPostClick(rec, code == NM_CLICK ? kModLeft : kModRight, part);
        return 0;
    }
    case NM_DBLCLK: case NM_RDBLCLK:
        if (EventIsRegistered(rec, kEvDblClick))
            PostObjectEvent(rec, kEvDblClick, kEventKindDefault, code == NM_DBLCLK ? kModDblLeft : kModDblRight, part);
        return 0;
    default: return 0;
    }
}

// WM_SIZE reaches the control first; the panels are then laid out in its new width.
bool BarMsgHook(ObjectRecord* rec, HWND wnd, UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) {
    if (msg != WM_SIZE) return false;
    *result = CtlCallOldProc(wnd, msg, wp, lp);
    Layout(AsBar(rec));
    return true;
}

int32_t BarShow(ObjectRecord* rec, int32_t a, int32_t b, int32_t c, int32_t d) {
    int32_t r = ObjectShowWindowed(rec, a, b, c, d);
    if (r == 0 && ObjectIsLive(rec)) {
        UpdateObjectRect(rec);
        Layout(AsBar(rec));
    }
    return r;
}

int32_t BarDestroy(ObjectRecord* rec) {
    StatusBarRecord* b = AsBar(rec);
    while (b->panels) RemovePanel(b, b->panels);
    BarFreeText(&b->text);
    if (gStatusBarMadeLast == rec) gStatusBarMadeLast = nullptr;
    return CtlDestroy(rec);
}

// Fixed panels follow their window's horizontal rescale from their width at creation.
void BarScalePanels(ObjectRecord* rec, int32_t, int32_t horizontalPercent) {
    StatusBarRecord* b = AsBar(rec);
    for (BarItemRecord* it = b->panels; it; it = it->nextItem) {
        StatusPanelRecord* p = AsPanel(it);
        if (p->autoSize == kPanelFixed) p->width = static_cast<int32_t>(static_cast<int64_t>(p->baseWidth) * horizontalPercent / 100);
    }
    Layout(b);
}

const ObjectOps kStatusBarOps = {
    .show = BarShow,
    .hide = ObjectHideWindowed,
    .destroy = BarDestroy,
    .enable = ObjectEnableWindowed,
    .notify = BarNotify,
    .getProp = BarGetProp,
    .setProp = BarSetProp,
    .method = BarMethod,
};

const ObjectOps kStatusPanelOps = {
    .destroy = PanelRelease,  // one holder less
    .getProp = PanelGetProp,
    .setProp = PanelSetProp,
};

}  // namespace

ObjectRecord* StatusBarCreate(uint32_t, ObjectCreateRecord* cr, int32_t* code) {
    DWORD style = SBARS_TOOLTIPS | CCS_NOPARENTALIGN | CCS_NORESIZE | BarDockStyle(cr, kDockDefault);
    int32_t sizeGrip = CreateRecordValue(cr, kPidSizeGrip, 0);
    int32_t showPanel = CreateRecordValue(cr, kPidShowPanel, 0);
    if (sizeGrip) style |= SBARS_SIZEGRIP;
    ControlRecord* c = CtlCreateWindowed(kKindStatusBar, cr, STATUSCLASSNAMEA, style, 0, nullptr, 0, code,
                                         sizeof(StatusBarRecord), BarMsgHook);
    if (!c) return nullptr;
    ObjectRecord* rec = &c->hdr;
    StatusBarRecord* b = AsBar(rec);
    rec->flags |= kGfxContainerFlag;
    rec->fgColor = BarCreationColor(cr->fgColor, 0);
    rec->bgColor = BarCreationColor(cr->bgColor, kBarFaceColor);
    b->sizeGrip = sizeGrip ? 1 : 0;
    b->showPanel = showPanel > 0 ? 1 : 0;
    SendMessageA(rec->hwnd, SB_SIMPLE, b->showPanel ? FALSE : TRUE, 0);
    SendMessageA(rec->hwnd, SB_SETBKCOLOR, 0, static_cast<LPARAM>(ColorValueResolve(rec->bgColor)));
    if (cr->text.text && cr->text.length && ReplaceSimpleText(b, cr->text.text, cr->text.length) != 0) {
        ObjectDestroy(rec);
        *code = kOpNoMemory;
        return nullptr;
    }
    gStatusBarMadeLast = rec;
    return CtlFinishCreate(c, cr, code);
}

ObjectRecord* StatusPanelCreate(uint32_t, ObjectCreateRecord* cr, int32_t* code) {
    // A panel goes into the status bar the creation names, else into the one made last.
    ObjectRecord* bar = cr->windowRec;
    if (!bar || bar->kind != kKindStatusBar || !ObjectIsLive(bar)) bar = gStatusBarMadeLast;
    if (!bar || !ObjectIsLive(bar)) {
        *code = kOpNoObject;
        return nullptr;
    }
    if (ObjectIsWebView(bar)) {
        // The web view's status bar keeps its panels itself.
        if (gGraphicsHooks.statusBarAddPanel) return gGraphicsHooks.statusBarAddPanel(bar, cr, code);
        *code = kOpNotAvailable;
        return nullptr;
    }
    PanelSpec s;
    StatusPanelSpecFromCreate(cr, &s);
    return PanelCreate(AsBar(bar), s, code);
}

uint32_t StatusBarPanelCount(ObjectRecord* bar) { return AsBar(bar)->panelCount; }

ObjectRecord* StatusBarPanelAt(ObjectRecord* bar, uint32_t index) {
    BarItemRecord* it = BarItemFind(AsBar(bar)->panels, index, nullptr, nullptr);
    return it ? &it->hdr : nullptr;
}

void StatusBarInstall() {
    RegisterObjectCreator(kTypeStatusbar, StatusBarCreate);
    RegisterObjectOps(kKindStatusBar, &kStatusBarOps);
    RegisterObjectOps(kKindStatusPanel, &kStatusPanelOps);
    RegisterMethodTable(kTypeStatusbar, BarMethodLookup);
    RegisterKindRescale(kKindStatusBar, BarScalePanels);
}
