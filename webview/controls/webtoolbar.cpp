// webtoolbar.cpp - the toolbar of the web view: the client keeps the buttons
// (numbering, styles, state) as the native bar does and sends them as one
// block of markup (action 54) when the bar was changed and is shown; the
// page reports clicks on buttons and drop-down choices (event 99973), which
// become the native bar's events.
#include "webview/controls/webtoolbar.h"

#include <cstdio>
#include <cstring>

#include "controls/ctlcore.h"
#include "graphics/barcore.h"
#include "graphics/baritems.h"
#include "graphics/gfxvalues.h"
#include "objects/events.h"
#include "objects/objops.h"
#include "objects/objtables.h"
#include "session/util/mem.h"
#include "session/util/strutil.h"
#include "webview/controls/webdrawn.h"
#include "webview/controls/weblist.h"
#include "webview/controls/weblistview.h"
#include "webview/core/pageactions.h"
#include "webview/core/webchannel.h"
#include "webview/core/webevents.h"
#include "webview/core/webgeneric.h"
#include "webview/core/webmarkup.h"
#include "webview/core/webobject.h"
#include "webview/core/weboptions.h"
#include "webview/core/webprops.h"
#include "webview/core/webtext.h"
#include "webview/core/webkinds.h"

ObjectRecord* gWebToolBarRedraws;

namespace {

enum ToolBarDwid : int32_t { kTdMarkup = 1, kTdRemoved = 2, kTdDisabled = 4, kTdTransparentClick = 5 };
// Header flag of a bar whose markup the page has had.
constexpr uint32_t kBarMarkupSent = 0x200000;
constexpr uint16_t kDefaultBtnHeight = 22, kDefaultBtnWidth = 23;
constexpr uint32_t kBarBackColor = 0xF6F6F6;
constexpr uint32_t kStripUses = 65535;
constexpr uint32_t kStripMask = 0xC0C0C0;
constexpr uint32_t kStripSize = 16;
constexpr int32_t kDockFirstBad = 7;   // Dock 0 or from here on: the top edge
constexpr int32_t kBackStyleTransparent = 2, kTextAlignSide = 1, kTextAlignBelow = 2;
constexpr int32_t kPushPaddingTop = 3;
constexpr int32_t kSeparatorMargin = 4, kVerticalSeparatorInset = 8;
constexpr int32_t kLabelPadTop = 2, kLabelPadLeft = 1;
constexpr int32_t kMaxClickItem = 0xFFFF;
constexpr int32_t kFocusOptionOff = 2;      // SetFocus: the focusable-toolbar option is off, as natively
constexpr int kAxisH = 0, kAxisV = 1;
constexpr uint32_t kIdTextSize = 40;
// The modifiers of a click and of a double click ($BUTTONCLICK).
constexpr int32_t kEvModLeft = 8, kEvModDoubleLeft = 40;

enum TbFlag : uint32_t { kTbfClientTips = 0x1, kTbfShowTips = 0x2, kTbfButtonsObject = 0x80, kTbfSettable = 0xFF };
constexpr int32_t kRemoved = 0, kNotFound = 1;

WebToolBarRecord* BarOf(WebToolButtonRecord* b) { return b->bar ? WebToolBar(b->bar) : nullptr; }
bool Transparent(const WebToolBarRecord* bar) { return (bar->style & kWtsTransparent) != 0; }

bool ReplaceLocal(char** field, const char* text, uint32_t length, uint32_t max) {
    if (!text) length = 0;
    if (length > max) length = max;
    return ReplaceStrField(text, static_cast<long>(length), field);
}

void FreeLocal(char** field) {
    if (*field) LocalFreeMem(*field);
    *field = nullptr;
}

// ---- The shared default strip and the image lists ---------------------------------------

void DefaultStripSetUp() {
    static bool done = false;
    if (done) return;
    done = true;
    gWebDefaultStrip.hdr.kind = kKindImageList;
    gWebDefaultStrip.hdr.fgColor = kStripMask;
    gWebDefaultStrip.useCount = kStripUses;
    gWebDefaultStrip.sizeH = gWebDefaultStrip.sizeV = kStripSize;
}

// The list shown in a slot: the one taken while it lives, else the default strip.
WebImageListRecord* ListIn(const WebToolBarRecord* bar, int slot) {
    WebImageListRecord* l = bar->lists[slot];
    if (!l || l == &gWebDefaultStrip) return &gWebDefaultStrip;
    return ObjectRefAlive(ObjectRef{&l->hdr, bar->listHandles[slot]}) ? l : &gWebDefaultStrip;
}

bool OwnList(const WebToolBarRecord* bar, int slot) { return ListIn(bar, slot) != &gWebDefaultStrip; }

// A web-mode image list by handle; none for anything else.
WebImageListRecord* WebListByHandle(int32_t handle) {
    ObjectRecord* rec = handle ? ObjectFromHandle(static_cast<uint32_t>(handle)) : nullptr;
    if (!rec || !ObjectIsLive(rec) || rec->kind != kKindImageList || !ObjectIsWebView(rec)) return nullptr;
    return reinterpret_cast<WebImageListRecord*>(rec);
}

// The slot's list becomes list (none: the default strip); the old one's use is
// released, the new one gets one.
void SetList(WebToolBarRecord* bar, int slot, WebImageListRecord* list) {
    if (OwnList(bar, slot)) WebImageListRelease(&bar->lists[slot]->hdr, true);
    bar->lists[slot] = list ? list : &gWebDefaultStrip;
    bar->listHandles[slot] = list ? list->hdr.handle : 0;
    if (list) ++list->useCount;
}

int SlotOfProp(uint32_t id) {
    return id == kPidImageList ? kWtlNormal : id == kPidImageListD ? kWtlDisabled : kWtlHot;
}

// ---- Buttons ---------------------------------------------------------------------------

WebToolButtonRecord* FindButton(WebToolBarRecord* bar, uint32_t index, const char* name, size_t nameLength,
                                uint32_t* position) {
    uint32_t i = 0;
    for (WebToolButtonRecord* b = bar->buttons; b; b = b->nextItem, ++i) {
        const char* run = b->hdr.runName;
        bool match = name ? run && strlen(run) == nameLength && memcmp(run, name, nameLength) == 0 : i == index;
        if (!match) continue;
        if (position) *position = i;
        return b;
    }
    return nullptr;
}

WebToolButtonRecord* ButtonById(WebToolBarRecord* bar, uint32_t commandId) {
    for (WebToolButtonRecord* b = bar->buttons; b; b = b->nextItem)
        if (b->commandId == commandId) return b;
    return nullptr;
}

bool IdInUse(void* ctx, uint32_t id) { return ButtonById(static_cast<WebToolBarRecord*>(ctx), id) != nullptr; }

// A method's key argument: a text names a button (a name with a NUL inside
// names none), a number is a zero-based index.
WebToolButtonRecord* ButtonByArg(WebToolBarRecord* bar, const MethodCallRec* call, uint32_t arg) {
    if (!CallArgGiven(call, arg)) return nullptr;
    if (ItemIsText(call->args[arg].kind)) {
        uint32_t length = 0;
        const char* text = CallArgText(call, arg, &length);
        if (!text || length > kItemNameQueryMax || memchr(text, 0, length)) return nullptr;
        return FindButton(bar, 0, text, length, nullptr);
    }
    int32_t index = CallArgInt(call, arg, -1);
    return index >= 0 ? FindButton(bar, static_cast<uint32_t>(index), nullptr, 0, nullptr) : nullptr;
}

enum Selected { kSelNone, kSelButton, kSelNoMatch };

// The button a property request's item selector names.
Selected BySelector(WebToolBarRecord* bar, const EventItem& sel, uint32_t nameMax, WebToolButtonRecord** out) {
    *out = nullptr;
    if (sel.kind == kItemNone) return kSelNone;
    if (ItemIsText(sel.kind)) {
        const char* text = static_cast<const char*>(sel.data);
        if (text && sel.size <= nameMax && !memchr(text, 0, sel.size)) *out = FindButton(bar, 0, text, sel.size, nullptr);
    } else if (sel.kind == kItemInt) {
        int64_t index = static_cast<int64_t>(sel.value);
        if (index >= 0 && index <= INT32_MAX) *out = FindButton(bar, static_cast<uint32_t>(index), nullptr, 0, nullptr);
    }
    return *out ? kSelButton : kSelNoMatch;
}

void FreeButtonTexts(WebToolButtonRecord* b) {
    FreeLocal(&b->hdr.runName);
    FreeLocal(&b->hdr.toolTip);
    FreeLocal(&b->hdr.userData);
    FreeLocal(&b->text);
    FreeLocal(&b->menuText);
}

void FreeButton(WebToolButtonRecord* b) {
    FreeButtonTexts(b);
    ObjectFreeCommon(&b->hdr);
    ObjectFreeRecord(&b->hdr);
}

// The bar's use of a button goes: one the server still holds stays with its
// texts freed and no bar, else it is freed.
void DropButton(WebToolButtonRecord* b) {
    ObjectRecord* rec = &b->hdr;
    if (rec->useCount) rec->useCount--;
    b->bar = nullptr;
    b->nextItem = nullptr;
    if (rec->useCount > 0) {
        FreeButtonTexts(b);
        return;
    }
    FreeButton(b);
}

void LinkButton(WebToolBarRecord* bar, WebToolButtonRecord* b, int32_t position) {
    WebToolButtonRecord** link = &bar->buttons;
    if (position < 0) {
        while (*link) link = &(*link)->nextItem;
    } else {
        for (int32_t i = 0; i < position && *link; ++i) link = &(*link)->nextItem;
    }
    b->nextItem = *link;
    *link = b;
}

bool UnlinkButton(WebToolBarRecord* bar, WebToolButtonRecord* b) {
    for (WebToolButtonRecord** link = &bar->buttons; *link; link = &(*link)->nextItem) {
        if (*link != b) continue;
        *link = b->nextItem;
        b->nextItem = nullptr;
        return true;
    }
    return false;
}

// The bar is queued, then the button (none: nothing) leaves it; true when it was there.
bool RemoveButton(WebToolBarRecord* bar, WebToolButtonRecord* b) {
    WebToolBarQueueRedraw(&bar->hdr);
    if (!b || !UnlinkButton(bar, b)) return false;
    bar->buttonCount--;
    DropButton(b);
    return true;
}

ObjectRecord* Insert(WebToolBarRecord* bar, const ToolButtonSpec& s, int32_t position, int32_t* code) {
    WebToolBarQueueRedraw(&bar->hdr);
    ObjectRecord* rec = ObjectAllocRecord(kKindToolButton, sizeof(WebToolButtonRecord), true);
    if (!rec) {
        *code = kWebNoMemory;
        return nullptr;
    }
    WebToolButtonRecord* b = WebToolButton(rec);
    rec->flags = kObjAlive | kObjPixels | (s.causeValid ? static_cast<uint32_t>(kObjCauseValid) : 0u) |
                 (s.autoSize ? static_cast<uint32_t>(kObjAutoSize) : 0u);
    rec->useCount = 1;
    b->imageIndex = s.imageIndex > 0 ? static_cast<uint32_t>(s.imageIndex) : 0;
    b->tag = s.tag;
    b->btnStyle = s.btnStyle >= kBtnDropDown && s.btnStyle <= kBtnCheckGroup ? static_cast<uint8_t>(s.btnStyle)
                                                                             : static_cast<uint8_t>(kBtnPush);
    b->state = (s.pushed ? kTbsPushed | kTbsPressed : 0u) | (s.partialPush ? kTbsPartialPush : 0u) |
               (s.enabled ? kTbsEnabled : 0u) | (s.visible ? 0u : kTbsHidden);
    uint32_t count = bar->buttonCount + 1;
    bool copied;
    if (s.runName.text && s.runName.length) {
        copied = ReplaceLocal(&rec->runName, s.runName.text, s.runName.length, kBarTextMax);
    } else {
        char name[kToolButtonNameSize];
        ToolButtonDefaultName(count, name);
        copied = ReplaceLocal(&rec->runName, name, static_cast<uint32_t>(strlen(name)), kBarTextMax);
    }
    copied = copied && ReplaceLocal(&b->text, s.text.text, s.text.length, kBarTextMax) &&
             ReplaceLocal(&rec->toolTip, s.toolTip.text, s.toolTip.length, kBarTextMax) &&
             ReplaceLocal(&b->menuText, s.menuText.text, s.menuText.length, kBarTextMax) &&
             ReplaceLocal(&rec->userData, s.userData.text, s.userData.length, kTextBufSize);
    b->commandId = copied ? ToolBarTakeCommandId(&bar->nextCommandId, IdInUse, bar) : 0;
    if (!copied || !b->commandId) {
        FreeButton(b);
        *code = copied ? kWebNotCreated : kWebNoMemory;
        return nullptr;
    }
    bar->buttonCount = count;
    LinkButton(bar, b, position);
    b->bar = &bar->hdr;
    *code = kWebOk;
    return rec;
}

// The first button of the run of style-6 buttons that holds b (none when b is in none).
WebToolButtonRecord* CheckGroupStart(WebToolBarRecord* bar, const WebToolButtonRecord* b) {
    WebToolButtonRecord* runStart = nullptr;
    for (WebToolButtonRecord* it = bar->buttons; it; it = it->nextItem) {
        if (it->btnStyle != kBtnCheckGroup) {
            runStart = nullptr;
            continue;
        }
        if (!runStart) runStart = it;
        if (it == b) return runStart;
    }
    return nullptr;
}

void UncheckGroupOthers(WebToolBarRecord* bar, WebToolButtonRecord* b) {
    for (WebToolButtonRecord* m = CheckGroupStart(bar, b); m && m->btnStyle == kBtnCheckGroup; m = m->nextItem)
        if (m != b) m->state &= ~(kTbsPushed | kTbsPressed);
}

// ---- Markup ---------------------------------------------------------------------------------

void HtmlF(const char* format, int32_t a, int32_t b = 0, int32_t c = 0, int32_t d = 0) {
    char piece[160];
    snprintf(piece, sizeof piece, format, a, b, c, d);
    HtmlAppend(piece, 0);
}

// The centring offsets of an image in a button: vertical, horizontal.
void ImageOffsets(const WebToolBarRecord* bar, const WebImageListRecord* list, int32_t* v, int32_t* h) {
    int32_t dv = (static_cast<int32_t>(bar->btnHeight) - static_cast<int32_t>(list->sizeV)) / 2;
    int32_t dh = (static_cast<int32_t>(bar->btnWidth) - static_cast<int32_t>(list->sizeH)) / 2;
    *v = dv > 0 ? dv : 0;
    *h = dh > 0 ? dh : 0;
}

// The title of a button: the ToolTip, else the Text without its '&' marks;
// escaped, so a quote in either cannot end the attribute.
void WebToolButtonTitle(const WebToolButtonRecord* b) {
    const char* tip = b->hdr.toolTip;
    if (tip && *tip) {
        HtmlAppend("' title='", 0);
        HtmlAppendAttr(tip, static_cast<uint32_t>(strlen(tip)));
        return;
    }
    if (!b->text || !*b->text) return;
    char plain[kBarTextMax + 1];
    uint32_t n = 0;
    for (const char* p = b->text; *p && n < kBarTextMax; ++p) {
        if (*p == '&') {
            if (p[1] != '&') continue;
            ++p;
        }
        plain[n++] = *p;
    }
    HtmlAppend("' title='", 0);
    HtmlAppendAttr(plain, n);
}

enum CellForm { kCellPlain, kCellInline };

// The image cell of a button into out (empty without a strip or an image).
void ImageCell(const WebToolBarRecord* bar, const WebToolButtonRecord* b, CellForm form, bool pushButton, char* out,
               size_t outSize) {
    out[0] = 0;
    const WebImageListRecord* list = ListIn(bar, kWtlNormal);
    if (!list->url || !list->url[0] || b->imageIndex < 1) return;
    int32_t v, h;
    ImageOffsets(bar, list, &v, &h);
    char suffix[64] = "";
    if (form == kCellInline) snprintf(suffix, sizeof suffix, "margin-top: %dpx; margin-left: %dpx;", v, h);
    else if (gWebThemeClasses && !pushButton) snprintf(suffix, sizeof suffix, "top: 2px;position: relative;");
    int64_t x = static_cast<int64_t>(list->sizeH) * (b->imageIndex - 1);
    snprintf(out, outSize, "<div class='qovtbi' style='background-position: -%lldpx 0px;%s'></div>",
             static_cast<long long>(x), suffix);
}

void AppendId(const char* id) { HtmlAppend(id, 0); }

void WebToolButtonImage(const WebToolBarRecord* bar, const WebToolButtonRecord* b, bool pushButton) {
    char cell[200];
    ImageCell(bar, b, kCellPlain, pushButton, cell, sizeof cell);
    HtmlAppend(cell, 0);
}

void WebToolButtonMarkup(const WebToolBarRecord* bar, const WebToolButtonRecord* b, const char* id, bool disabled) {
    HtmlAppend("<button class='qovtbbe qovtbs3", 0);
    if (disabled) HtmlAppend("d", 0);
    if (Transparent(bar)) HtmlAppend(" qovbkt", 0);
    HtmlAppend("' id='", 0);
    AppendId(id);
    HtmlAppend("' style='", 0);
    int32_t iw = static_cast<int32_t>(ListIn(bar, kWtlNormal)->sizeH);
    int32_t pad = bar->btnWidth > iw ? (bar->btnWidth - iw) / 2 : 0;
    HtmlF("padding-top: %dpx; padding-left: %dpx; height: %dpx; width: %dpx", kPushPaddingTop, pad, bar->btnHeight,
          bar->btnWidth);
    WebToolButtonTitle(b);
    HtmlAppend("'>", 0);
    WebToolButtonImage(bar, b, true);
    HtmlAppend("</button>", 0);
}

void WebToolButtonLabel(const WebToolBarRecord* bar, const WebToolButtonRecord* b, const char* id) {
    HtmlAppend("<label class='qovtbs5", 0);
    if (Transparent(bar)) HtmlAppend((b->state & kTbsPushed) ? " qovbkts" : " qovbkt", 0);
    HtmlAppend("' for='", 0);
    AppendId(id);
    HtmlAppend("' style='", 0);
    int32_t v, h;
    ImageOffsets(bar, ListIn(bar, kWtlNormal), &v, &h);
    if (gWebThemeClasses)
        HtmlF("padding-top: %dpx; padding-left: %dpx; height: %dpx; width: %dpx", v, h, bar->btnHeight, bar->btnWidth);
    else
        HtmlF("padding-top: %dpx; padding-left: %dpx; height: %dpx; width: %dpx", v + kLabelPadTop, h + kLabelPadLeft,
              bar->btnHeight - v - kLabelPadTop, bar->btnWidth - h);
    WebToolButtonTitle(b);
    HtmlAppend("'>", 0);
    WebToolButtonImage(bar, b, false);
    HtmlAppend("</label>", 0);
}

// The options of a drop-down from its MenuText, numbered from 1.
void DropDownOptions(const WebToolButtonRecord* b) {
    const char* text = b->menuText ? b->menuText : "";
    uint32_t length = static_cast<uint32_t>(strlen(text)), at = 0;
    for (int32_t number = 1; at < length; ++number) {
        uint32_t used = MenuParseItemText(text + at, length - at, true);
        if (!used) break;
        at += used;
        HtmlF("<option value='%d", number);
        HtmlAppend(gMenuItem.enabled ? "'>" : "' disabled>", 0);
        if (gMenuItem.separator) HtmlAppend("-", 0);
        else HtmlAppendText(gMenuItem.text, gMenuItem.length);
        HtmlAppend("</option>", 0);
    }
}

void DropDown(const WebToolBarRecord* bar, const WebToolButtonRecord* b, const char* id, bool disabled) {
    HtmlAppend(b->btnStyle == kBtnDropDown ? (disabled ? "<select class='qovtbs1d qovtbse' id='"
                                                       : "<select class='qovtbs1 qovtbse' id='")
                                           : (disabled ? "<select class='qovtbs2d qovtbse' id='"
                                                       : "<select class='qovtbs2 qovtbse' id='"),
               0);
    AppendId(id);
    HtmlAppend("' style='", 0);
    HtmlF("height: %dpx; width: %dpx", bar->btnHeight, bar->btnWidth);
    WebToolButtonTitle(b);
    HtmlAppend("'>", 0);
    DropDownOptions(b);
    HtmlAppend("</select>", 0);
}

void Separator(const WebToolBarRecord* bar) {
    HtmlAppend("<span class='qovtbs4", 0);
    if (!(bar->style & kWtsNoDivider)) HtmlAppend("dv", 0);
    if (bar->style & kWtsVertical) HtmlAppend("v", 0);
    HtmlAppend(" ui-controlgroup-item' style='", 0);
    if (bar->style & kWtsVertical)
        HtmlF("margin-top: %dpx; width: %dpx", kSeparatorMargin,
              bar->hdr.right - bar->hdr.left - kVerticalSeparatorInset);
    else
        HtmlF("margin-left: %dpx; height: %dpx", kSeparatorMargin, bar->btnHeight - kSeparatorMargin);
    HtmlAppend("'>", 0);
    HtmlAppend("</span>", 0);
}

void CheckInput(WebToolBarRecord* bar, WebToolButtonRecord* b, const char* id, bool disabled) {
    WebToolButtonLabel(bar, b, id);
    if (b->btnStyle == kBtnCheck) {
        HtmlAppend("<input type='checkbox' name='", 0);
        AppendId(id);
    } else {
        WebToolButtonRecord* first = CheckGroupStart(bar, b);
        char group[kIdTextSize];
        snprintf(group, sizeof group, "C%uR%u", bar->hdr.elementId, first ? first->commandId : b->commandId);
        HtmlAppend("<input type='radio' name='", 0);
        HtmlAppend(group, 0);
    }
    bool pushed = (b->state & kTbsPushed) != 0;
    HtmlAppend(!disabled ? (pushed ? "' class='qovtbcr qovtbcrc qovtbbe' id='" : "' class='qovtbcr qovtbbe' id='")
                         : (pushed ? "' class='qovtbcrd qovtbcrc qovtbbe' id='" : "' class='qovtbcrd qovtbbe' id='"),
               0);
    AppendId(id);
    HtmlAppend("' style='", 0);
    HtmlF("height: %dpx; width: %dpx", bar->btnHeight, bar->btnWidth);
    HtmlAppend("'>", 0);
}

// ---- Redraw ------------------------------------------------------------------------------------

ObjectRecord** QueueLink(ObjectRecord* rec) { return &WebToolBar(rec)->nextQueued; }
uint8_t* QueuedOf(ObjectRecord* rec) { return &WebToolBar(rec)->queued; }

void SendDwid(ObjectRecord* rec, int32_t dwid) {
    WebViewSelectForObject(rec);
    JsonBeginAction(kActToolBar);
    JsonAddName(rec);
    JsonAddInt("dwid", dwid);
    WebViewMsgEnd();
}

void Render(ObjectRecord* rec) {
    WebToolBarRecord* bar = WebToolBar(rec);
    WebViewSelectForObject(rec);
    rec->flags |= kBarMarkupSent;
    JsonBeginAction(kActToolBar);
    JsonAddName(rec);
    JsonAddInt("dwid", kTdMarkup);
    JsonAddInt("bh", bar->btnHeight);
    JsonAddInt("bw", bar->btnWidth);
    if (Transparent(bar)) JsonAddInt("bkt", 1);
    const WebImageListRecord* list = ListIn(bar, kWtlNormal);
    if (list->url && list->url[0]) {
        JsonAddInt("ih", static_cast<int32_t>(list->sizeV));
        JsonAddInt("iw", static_cast<int32_t>(list->sizeH));
        JsonAddUrl("isrc", list->url);
    }
    WebToolBarMarkup(bar);
    JsonAddJsHtml((rec->modeFlags & kModeUtf8Texts) != 0);
    WebViewMsgEnd();
    if (rec->flags & kObjDisabled) SendDwid(rec, kTdDisabled);
    bar->queued = 0;
}

// ---- Button properties ---------------------------------------------------------------------

int32_t StateBit(const WebToolButtonRecord* b, uint32_t bit) { return (b->state & bit) ? 1 : 0; }

void SetState(WebToolButtonRecord* b, uint32_t bits, bool on) { b->state = on ? b->state | bits : b->state & ~bits; }

int32_t ButtonSet(WebToolButtonRecord* b, uint32_t id, int32_t value, const char* text, uint32_t length) {
    WebToolBarRecord* bar = BarOf(b);
    if (!bar) return kWebOk;
    ObjectRecord* rec = &b->hdr;
    switch (id) {
    case kPidUserData: ReplaceLocal(&rec->userData, text, length, kTextBufSize); return kWebOk;
    case kPidRunName: ReplaceLocal(&rec->runName, text, length, kBarTextMax); return kWebOk;
    case kPidTag: b->tag = value; return kWebOk;
    case kPidEnabled:
        if (!value && !(b->state & kTbsEnabled)) return kWebOk;
        SetState(b, kTbsEnabled, value != 0);
        break;
    case kPidAutoSize: rec->flags = value ? rec->flags | kObjAutoSize : rec->flags & ~kObjAutoSize; break;
    case kPidText: ReplaceLocal(&b->text, text, length, kBarTextMax); break;
    case kPidVisible: SetState(b, kTbsHidden, value == 0); break;
    case kPidToolTip: ReplaceLocal(&rec->toolTip, text, length, kBarTextMax); break;
    case kPidCauseValid: rec->flags = value ? rec->flags | kObjCauseValid : rec->flags & ~kObjCauseValid; break;
    case kPidBtnStyle:
        if (value >= kBtnDropDown && value <= kBtnCheckGroup) b->btnStyle = static_cast<uint8_t>(value);
        break;
    case kPidImageIndex: b->imageIndex = value > 0 ? static_cast<uint32_t>(value) : 0; break;
    case kPidPushed:
        if (!value) {
            SetState(b, kTbsPushed | kTbsPressed, false);
        } else if (!(b->state & kTbsPushed)) {
            if (b->btnStyle == kBtnCheckGroup) UncheckGroupOthers(bar, b);
            SetState(b, kTbsPushed | kTbsPressed, true);
        }
        break;
    case kPidPartialPush: SetState(b, kTbsPartialPush, value != 0); break;
    case kPidMenuText:
        if (text && length) ReplaceLocal(&b->menuText, text, length, kBarTextMax);
        else if (b->menuText) b->menuText[0] = 0;
        break;
    default: break;
    }
    WebToolBarQueueRedraw(&bar->hdr);
    return kWebOk;
}

const char* TextReply(const char* text, uint32_t max = kBarTextMax) {
    size_t n = text ? strnlen(text, max) : 0;
    if (n) memcpy(gTextBuf, text, n);
    gTextBuf[n] = 0;
    return gTextBuf;
}

void ButtonGet(WebToolButtonRecord* b, uint32_t id, int32_t* result, const char** text) {
    *result = 0;
    if (!BarOf(b)) return;
    const ObjectRecord* rec = &b->hdr;
    switch (id) {
    case kPidAutoSize: *result = (rec->flags & kObjAutoSize) ? 1 : 0; break;
    case kPidEnabled: *result = StateBit(b, kTbsEnabled); break;
    case kPidText: *text = TextReply(b->text); break;
    case kPidVisible: *result = 1 - StateBit(b, kTbsHidden); break;
    case kPidToolTip: *text = TextReply(rec->toolTip); break;
    case kPidCauseValid: *result = (rec->flags & kObjCauseValid) ? 1 : 0; break;
    case kPidRunName: *text = TextReply(rec->runName); break;
    case kPidBtnStyle: *result = b->btnStyle; break;
    case kPidImageIndex: *result = static_cast<int32_t>(b->imageIndex); break;
    case kPidPushed: *result = StateBit(b, kTbsPushed); break;
    case kPidPartialPush: *result = StateBit(b, kTbsPartialPush); break;
    case kPidTag: *result = b->tag; break;
    case kPidMenuText: *text = TextReply(b->menuText); break;
    case kPidUserData: *text = TextReply(rec->userData, kTextBufSize); break;
    default: break;
    }
}

// ---- Methods ------------------------------------------------------------------------------------

// Hands a button to the server as the method's object result: one more use,
// registered again when the server had released it.
int32_t ReplyButton(WebToolButtonRecord* b, const MethodCallRec* call) {
    ObjectRecord* rec = &b->hdr;
    if (!BarItemHandOut(rec, call)) return WebReplyInt(0);
    if (gWebObjServices.replyInt) gWebObjServices.replyInt(static_cast<int32_t>(rec->handle), kTypeToolButton);
    return kWebNoAnswer;
}

WebToolButtonRecord* FindByState(WebToolBarRecord* bar, const MethodCallRec* call, uint32_t which) {
    if (which < kTbStatePushed || which > kTbStateAutoSize) return nullptr;
    for (WebToolButtonRecord* b = ButtonByArg(bar, call, 0); b; b = b->nextItem) {
        bool hit = which == kTbStatePushed      ? (b->state & kTbsPushed) != 0
                   : which == kTbStatePartialPush ? (b->state & kTbsPartialPush) != 0
                   : which == kTbStateEnabled     ? (b->state & kTbsEnabled) != 0
                   : which == kTbStateVisible     ? !(b->state & kTbsHidden)
                                             : (b->hdr.flags & kObjAutoSize) != 0;
        if (hit) return b;
    }
    return nullptr;
}

int32_t AddButtonMethod(WebToolBarRecord* bar, const MethodCallRec* call) {
    int32_t code = 0;
    ObjectRecord* rec = Insert(bar, ToolButtonSpecOfCall(call), ToolButtonInsertAt(call), &code);
    if (!rec) return WebReplyInt(code);
    return BarWantsObject(call) ? ReplyButton(WebToolButton(rec), call) : WebReplyInt(0);
}

int32_t SetTbFlags(WebToolBarRecord* bar, const MethodCallRec* call) {
    uint32_t bits = static_cast<uint32_t>(CallArgInt(call, 0, 0)) & kTbfSettable;
    bar->tbFlags = CallArgInt(call, 1, 0) ? bar->tbFlags | bits : bar->tbFlags & ~bits;
    if (bar->tbFlags & kTbfClientTips) bar->showTips = (bar->tbFlags & kTbfShowTips) ? 1 : 0;
    return static_cast<int32_t>(bar->tbFlags & kTbfSettable);
}

void SetListByArg(WebToolBarRecord* bar, const MethodCallRec* call, int slot) {
    SetList(bar, slot, WebListByHandle(CallArgInt(call, 0, 0)));
    WebToolBarQueueRedraw(&bar->hdr);
}

void ResetList(WebToolBarRecord* bar, int slot) {
    SetList(bar, slot, nullptr);
    WebToolBarQueueRedraw(&bar->hdr);
}

// ---- Page events ---------------------------------------------------------------------------------

bool ToolBarPageEvent(ObjectRecord* rec, int32_t code, const JsonValue* ev, const WebEventName* name) {
    if (code != kPeToolButton || !name || !name->hasItem || name->item <= 0) return false;
    int64_t item = JsonGetInt(ev, "em");
    if (item < 0 || item > kMaxClickItem) return true;
    WebToolBarOnClick(rec, static_cast<uint32_t>(name->item), static_cast<int32_t>(item), JsonGetInt(ev, "ev") != 0);
    return true;
}

// ---- Image lists ---------------------------------------------------------------------------------

bool UsesList(ObjectRecord* control, ObjectRecord* list) {
    WebToolBarRecord* bar = WebToolBar(control);
    for (int slot = 0; slot < kWtlSlots; ++slot)
        if (OwnList(bar, slot) && &bar->lists[slot]->hdr == list) return true;
    return false;
}

const WebImageListUser kListUser = {UsesList, WebToolBarQueueRedraw};


// The bar of a button: the page element its messages concern.
ObjectRecord* ButtonHolder(ObjectRecord* rec) { return WebToolButton(rec)->bar; }

}  // namespace

// ---- Creation ------------------------------------------------------------------------------------

ObjectRecord* WebToolBarCreate(ObjectRecord* top, ObjectRecord* rec, ObjectCreateRecord* cr, uint32_t kind,
                               int32_t* code) {
    DefaultStripSetUp();
    rec = WebAllocKindRecord(rec, kind, sizeof(WebToolBarRecord), code);
    if (!rec) return nullptr;
    WebToolBarRecord* bar = WebToolBar(rec);
    if (cr->dock == 0 || cr->dock >= kDockFirstBad) cr->dock = kDockTop;
    // The header's colours come from the creation record: the bar's own background.
    cr->bgColor = CrColor{nullptr, static_cast<int32_t>(kBarBackColor)};
    bar->nextCommandId = 1;
    for (int slot = 0; slot < kWtlSlots; ++slot) bar->lists[slot] = &gWebDefaultStrip;
    if (cr->dock == kDockLeft || cr->dock == kDockRight) bar->style |= kWtsVertical;
    if (CreateRecordValue(cr, kPidAutoSize, 0)) rec->flags |= kObjAutoSize;
    if (cr->appearance != 1 && cr->style != 1) bar->style |= kWtsFlat;
    if (CreateRecordValue(cr, kPidBackStyle, 1) == kBackStyleTransparent) bar->style |= kWtsTransparent;
    int32_t bdr = CreateRecordValue(cr, kPidBdrStyle, 1);
    bar->bdrStyle = static_cast<uint8_t>(bdr >= 1 && bdr <= 3 ? bdr : 1);
    if (CreateRecordValue(cr, kPidTextAlign, kTextAlignBelow) == kTextAlignSide) bar->style |= kWtsTextSide;
    if (!CreateRecordValue(cr, kPidDivider, 0)) bar->style |= kWtsNoDivider;
    if (CreateRecordValue(cr, kPidWrappable, 0)) bar->style |= kWtsWrappable;
    bar->showTips = CreateRecordValue(cr, kPidShowTips, 0) ? 1 : 0;
    bar->downArrow = CreateRecordValue(cr, kPidDownArrow, 0) == 1 ? 1 : 0;
    // The window's scale converts the sizes; the header's parent is set for it
    // (the common header fields are filled after the creator).
    rec->parent = top;
    bar->btnWidth = cr->given[kPidBtnWidth]
                        ? static_cast<uint16_t>(WebScaleValue(rec, cr->values[kPidBtnWidth], kAxisH, true))
                        : kDefaultBtnWidth;
    bar->btnHeight = cr->given[kPidBtnHeight]
                         ? static_cast<uint16_t>(WebScaleValue(rec, cr->values[kPidBtnHeight], kAxisV, true))
                         : kDefaultBtnHeight;
    static const uint32_t kListProps[kWtlSlots] = {kPidImageList, kPidImageListD, kPidImageListH};
    for (int slot = 0; slot < kWtlSlots; ++slot)
        if (cr->given[kListProps[slot]]) SetList(bar, slot, WebListByHandle(cr->values[kListProps[slot]]));
    bar->tbFlags = kTbfClientTips | (bar->showTips ? static_cast<uint32_t>(kTbfShowTips) : 0u);
    WebToolBarQueueRedraw(rec);
    *code = kWebOk;
    return rec;
}

ObjectRecord* ToolBarInsertButton(ObjectRecord* bar, ObjectCreateRecord* cr, int32_t position, int32_t* code) {
    if (!bar || bar->kind != kKindToolBar || !ObjectIsWebView(bar)) {
        *code = kWebNotAvailable;
        return nullptr;
    }
    WebViewSelectForObject(bar);
    return Insert(WebToolBar(bar), ToolButtonSpecOfCreation(cr), position, code);
}

ObjectRecord* ToolBarAddButton(ObjectRecord* bar, ObjectCreateRecord* cr, int32_t* code) {
    return ToolBarInsertButton(bar, cr, -1, code);
}

uint32_t WebToolBarButtonCount(ObjectRecord* bar) { return WebToolBar(bar)->buttonCount; }

ObjectRecord* WebToolBarButtonAt(ObjectRecord* bar, uint32_t index) {
    WebToolButtonRecord* b = FindButton(WebToolBar(bar), index, nullptr, 0, nullptr);
    return b ? &b->hdr : nullptr;
}

bool WebToolBarRemoveButton(ObjectRecord* rec, uint32_t index, const char* name) {
    WebToolBarRecord* bar = WebToolBar(rec);
    return RemoveButton(bar, FindButton(bar, index, name, name ? strlen(name) : 0, nullptr));
}

// ---- Redraw queue -------------------------------------------------------------------------------

void WebToolBarQueueRedraw(ObjectRecord* rec) {
    WebRedrawQueuePush(&gWebToolBarRedraws, rec, QueueLink, QueuedOf(rec));
}

void WebToolBarUnqueue(ObjectRecord* rec) {
    WebRedrawQueueRemove(&gWebToolBarRedraws, rec, QueueLink, QueuedOf(rec));
}

void WebToolBarFlush(ObjectRecord* rec) { WebRedrawQueueFlush(&gWebToolBarRedraws, rec, QueueLink, QueuedOf, Render); }

void WebToolBarMarkup(WebToolBarRecord* bar) {
    JsonBeginArray("seli");
    HtmlReset();
    HtmlAppend("<div class='qovtbg'>", 0);
    bool barDisabled = (bar->hdr.flags & kObjDisabled) != 0;
    for (WebToolButtonRecord* b = bar->buttons; b; b = b->nextItem) {
        if (b->state & kTbsHidden) continue;
        char id[kIdTextSize];
        snprintf(id, sizeof id, "C%uI%u", bar->hdr.elementId, b->commandId);
        bool disabled = !(b->state & kTbsEnabled) || barDisabled;
        // Without the drawn arrows a drop-down is a whole drop-down.
        if (b->btnStyle == kBtnDropDown && !bar->downArrow) b->btnStyle = kBtnWholeDropDown;
        switch (b->btnStyle) {
        case kBtnDropDown:
            WebToolButtonMarkup(bar, b, id, disabled);
            DropDown(bar, b, id, disabled);
            break;
        case kBtnWholeDropDown: {
            DropDown(bar, b, id, disabled);
            char cell[200];
            ImageCell(bar, b, kCellInline, false, cell, sizeof cell);
            JsonAddArrayString(cell);
            break;
        }
        case kBtnSeparator: Separator(bar); break;
        case kBtnCheck: case kBtnCheckGroup: CheckInput(bar, b, id, disabled); break;
        default: WebToolButtonMarkup(bar, b, id, disabled); break;
        }
    }
    HtmlAppend("</div>", 0);
    JsonEndArray();
}

// ---- Clicks -----------------------------------------------------------------------------------------

void WebToolBarOnClick(ObjectRecord* rec, uint32_t commandId, int32_t item, bool dblClick) {
    WebToolBarRecord* bar = WebToolBar(rec);
    if (Transparent(bar)) SendDwid(rec, kTdTransparentClick);
    if (rec->flags & kObjDisabled) return;
    WebToolButtonRecord* b = ButtonById(bar, commandId);
    // A button the page still showed after it was disabled or hidden raises nothing.
    if (b && (!(b->state & kTbsEnabled) || (b->state & kTbsHidden))) return;
    bool choice = b && (b->btnStyle == kBtnDropDown || b->btnStyle == kBtnWholeDropDown) && item != 0;
    bool plain = !choice;
    auto post = [rec](uint32_t ev, int32_t modifiers, int32_t value) {
        PostObjectEvent(rec, ev, kEventKindDefault, static_cast<uint16_t>(modifiers), value);
    };
    if (dblClick) {
        if (plain && EventIsRegistered(rec, kEvDblClick))
            post(kEvDblClick, kEvModDoubleLeft, static_cast<int32_t>(commandId));
        return;
    }
    if (!b || (b->hdr.flags & kObjCauseValid)) WebNotifyFocusChange(rec, ObjectTopWindow(rec));
    if (plain && EventIsRegistered(rec, kEvClick)) post(kEvClick, kEvModLeft, static_cast<int32_t>(commandId));
    if (!b) return;
    if (b->btnStyle == kBtnCheck) {
        SetState(b, kTbsPushed | kTbsPressed, !(b->state & kTbsPushed));
    } else if (b->btnStyle == kBtnCheckGroup) {
        UncheckGroupOthers(bar, b);
        SetState(b, kTbsPushed | kTbsPressed, true);
    }
    if (EventIsRegistered(rec, kEvButtonClick)) post(kEvButtonClick, item, b->tag);
    else if (EventIsRegistered(rec, kEvOldEvent)) post(kEvOldEvent, item, b->tag);
}

// ---- Properties -----------------------------------------------------------------------------------

int32_t WebToolBarSetProp(ObjectRecord* rec, uint32_t id, int32_t value, const char* text, uint32_t length,
                          bool* commonWrite) {
    WebToolBarRecord* bar = WebToolBar(rec);
    if (const PropChange* req = gWebPropChange) {
        if (req->allItems) {
            // The sub-object "buttons": every button in order.
            if (!(bar->tbFlags & kTbfButtonsObject)) return kWebNotCreated;
            for (WebToolButtonRecord* b = bar->buttons; b; b = b->nextItem) ButtonSet(b, id, value, text, length);
            *commonWrite = false;
            return kWebOk;
        }
        WebToolButtonRecord* b = nullptr;
        switch (BySelector(bar, req->selector, kItemNameChangeMax, &b)) {
        case kSelButton:
            *commonWrite = false;
            return ButtonSet(b, id, value, text, length);
        case kSelNoMatch: {
            bool changed = false;
            *commonWrite = false;
            return WebDefaultSetProp(rec, kPropIdNoItem, value, text, length, &changed);
        }
        case kSelNone: break;
        }
    }
    switch (id) {
    case kPidAppearance:
        rec->flags = value == 1 ? rec->flags | kObj3D : rec->flags & ~kObj3D;
        rec->appearance = value == 1 ? 1 : 2;
        bar->style = value == 1 ? bar->style & ~kWtsFlat : bar->style | kWtsFlat;
        break;
    case kPidBackStyle:
        bar->style = value == 1 ? bar->style & ~kWtsTransparent : bar->style | kWtsTransparent;
        break;
    case kPidRunName:
        ReplaceLocal(&rec->runName, text, length, kBarTextMax);
        *commonWrite = false;
        return kWebOk;
    case kPidBdrStyle: bar->bdrStyle = static_cast<uint8_t>(value); break;
    case kPidTextAlign:
        bar->style = value == kTextAlignSide ? bar->style | kWtsTextSide : bar->style & ~kWtsTextSide;
        break;
    case kPidDivider: bar->style = value ? bar->style & ~kWtsNoDivider : bar->style | kWtsNoDivider; break;
    case kPidDownArrow: bar->downArrow = value ? 1 : 0; break;
    case kPidWrappable: bar->style = value ? bar->style | kWtsWrappable : bar->style & ~kWtsWrappable; break;
    case kPidBtnHeight: bar->btnHeight = static_cast<uint16_t>(WebScaleValue(rec, value, kAxisV, true)); break;
    case kPidBtnWidth: bar->btnWidth = static_cast<uint16_t>(WebScaleValue(rec, value, kAxisH, true)); break;
    case kPidShowTips:
        bar->showTips = value ? 1 : 0;
        bar->tbFlags = value ? bar->tbFlags | kTbfShowTips : bar->tbFlags & ~kTbfShowTips;
        *commonWrite = false;
        return kWebOk;
    case kPidImageList: case kPidImageListD: case kPidImageListH:
        SetList(bar, SlotOfProp(id), WebListByHandle(value));
        break;
    case kPidUserData: ReplaceLocal(&rec->userData, text, length, kTextBufSize); break;
    case kPidAutoSize:
        WebToolBarQueueRedraw(rec);
        return kWebNotAvailable;
    default: return kWebNotAvailable;
    }
    WebToolBarQueueRedraw(rec);
    *commonWrite = false;
    return kWebOk;
}

int32_t WebToolBarGetProp(ObjectRecord* rec, uint32_t id, int32_t* result, const char** text) {
    WebToolBarRecord* bar = WebToolBar(rec);
    if (const PropQuery* req = gWebPropQuery) {
        WebToolButtonRecord* b = nullptr;
        switch (BySelector(bar, req->selector, kItemNameQueryMax, &b)) {
        case kSelButton: ButtonGet(b, id, result, text); return kWebOk;
        case kSelNoMatch: return WebDefaultGetProp(rec, kPropIdNoItem, result, text);
        case kSelNone: break;
        }
    }
    switch (id) {
    case kPidBackStyle: *result = Transparent(bar) ? kBackStyleTransparent : 1; return kWebOk;
    case kPidRunName: *text = TextReply(rec->runName); return kWebOk;
    case kPidBdrStyle: *result = bar->bdrStyle; return kWebOk;
    case kPidTextAlign: *result = (bar->style & kWtsTextSide) ? kTextAlignSide : kTextAlignBelow; return kWebOk;
    case kPidDivider: *result = (bar->style & kWtsNoDivider) ? 0 : 1; return kWebOk;
    case kPidDownArrow: *result = bar->downArrow; return kWebOk;
    case kPidWrappable: *result = (bar->style & kWtsWrappable) ? 1 : 0; return kWebOk;
    case kPidBtnHeight: *result = WebScaleValue(rec, bar->btnHeight, kAxisV, false); return kWebOk;
    case kPidBtnWidth: *result = WebScaleValue(rec, bar->btnWidth, kAxisH, false); return kWebOk;
    case kPidShowTips: *result = bar->showTips; return kWebOk;
    case kPidImageList: case kPidImageListD: case kPidImageListH: {
        int slot = SlotOfProp(id);
        *result = OwnList(bar, slot) ? static_cast<int32_t>(bar->lists[slot]->hdr.handle) : 0;
        return kWebOk;
    }
    case kPidUserData: *text = TextReply(rec->userData, kTextBufSize); return kWebOk;
    default: return kWebNotAvailable;
    }
}

int32_t WebToolButtonSetProp(ObjectRecord* rec, uint32_t id, int32_t value, const char* text, uint32_t length,
                             bool* commonWrite) {
    *commonWrite = false;
    return ButtonSet(WebToolButton(rec), id, value, text, length);
}

int32_t WebToolButtonGetProp(ObjectRecord* rec, uint32_t id, int32_t* result, const char** text) {
    ButtonGet(WebToolButton(rec), id, result, text);
    return kWebOk;
}

// ---- Methods, enable and destroy ---------------------------------------------------------------

int32_t WebToolBarMethod(ObjectRecord* rec, MethodCallRec* call) {
    int32_t check = WebCheckMethod(call ? call->objectType : 0, call);
    if (check != 0) return check;
    WebToolBarRecord* bar = WebToolBar(rec);
    switch (call->method) {
    case kTbAddButton: return AddButtonMethod(bar, call);
    case kTbGetButton: {
        WebToolButtonRecord* b = BarWantsObject(call) ? ButtonByArg(bar, call, 0) : nullptr;
        return b ? ReplyButton(b, call) : WebReplyInt(0);
    }
    case kTbRemoveButton: return WebReplyInt(RemoveButton(bar, ButtonByArg(bar, call, 0)) ? kRemoved : kNotFound);
    case kTbSetImageList: SetListByArg(bar, call, kWtlNormal); return WebReplyInt(1);
    case kTbSetImageListDisabled: SetListByArg(bar, call, kWtlDisabled); return WebReplyInt(0);
    case kTbSetImageListHot: SetListByArg(bar, call, kWtlHot); return WebReplyInt(0);
    case kTbGetButtonByState: {
        WebToolButtonRecord* b =
            BarWantsObject(call) ? FindByState(bar, call, static_cast<uint32_t>(CallArgInt(call, 1, kTbStatePushed))) : nullptr;
        return b ? ReplyButton(b, call) : WebReplyInt(0);
    }
    case kTbSetFocus: return WebReplyInt(kFocusOptionOff);
    case kTbResetImageList: ResetList(bar, kWtlNormal); return WebReplyInt(1);
    case kTbResetImageListDisabled: ResetList(bar, kWtlDisabled); return WebReplyInt(1);
    case kTbResetImageListHot: ResetList(bar, kWtlHot); return WebReplyInt(1);
    case kTbWriteImageListBmp: return WebReplyInt(1);
    case kTbSetTBFlags: return WebReplyInt(SetTbFlags(bar, call));
    default: return kWebUnknownMethod;
    }
}

int32_t WebToolBarEnable(ObjectRecord* rec, int32_t item, bool on) {
    if (item != 0) return kWebOk;
    rec->flags = on ? rec->flags & ~kObjDisabled : rec->flags | kObjDisabled;
    WebToolBarQueueRedraw(rec);
    return kWebOk;
}

void WebToolBarDestroy(ObjectRecord* rec) {
    WebToolBarRecord* bar = WebToolBar(rec);
    while (WebToolButtonRecord* b = bar->buttons) {
        UnlinkButton(bar, b);
        DropButton(b);
    }
    bar->buttonCount = 0;
    for (int slot = 0; slot < kWtlSlots; ++slot) SetList(bar, slot, nullptr);
    WebToolBarUnqueue(rec);
    // The page's control group of the buttons goes before the element.
    if (rec->flags & kBarMarkupSent) SendDwid(rec, kTdRemoved);
}

int32_t WebToolButtonDestroy(ObjectRecord* rec) {
    WebToolButtonRecord* b = WebToolButton(rec);
    // The bar's own use is not the server's to release: a button the server
    // no longer holds stays on its bar, out of the registry until handed out again.
    if (b->bar && rec->useCount <= 1) return kWebOk;
    if (rec->useCount > 1) {
        rec->useCount--;
        return kWebOk;
    }
    FreeButton(b);
    return kWebOk;
}

// ---- The kinds' rows --------------------------------------------------------------------------

namespace {

const WebKindOps kToolBarOps = {
    .create = WebToolBarCreate,
    .markup = HtmlPlainDivMarkup,
    .setProp = WebToolBarSetProp,
    .getProp = WebToolBarGetProp,
    .itemEnable = WebToolBarEnable,
    .pageEvent = ToolBarPageEvent,
    .imageListUser = &kListUser,
    .flushRedraws = WebToolBarFlush,
    .destroy = WebToolBarDestroy,
    .method = WebToolBarMethod,
    .askEvent = WebAskNoClick,
    .defaultEvent = kEvClick,
    .traits = kWebKindPixelGeometry,
};

// A button is made by its bar; its messages go to the bar's page.
const WebKindOps kToolButtonOps = {
    .setProp = WebToolButtonSetProp,
    .getProp = WebToolButtonGetProp,
    .subObjectHolder = ButtonHolder,
    .held = WebToolButtonDestroy,  // its bar, or the server
    .traits = kWebKindSendsNoDelete,
};

}  // namespace

void WebToolBarInstall() {
    WebRegisterKind(kKindToolBar, &kToolBarOps);
    WebRegisterKind(kKindToolButton, &kToolButtonOps);
}
