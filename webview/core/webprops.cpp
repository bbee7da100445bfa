// webprops.cpp - property change and query of web-view objects: the request
// codes turned into property ids and values, the kinds' handlers, the record
// changes and answers every kind shares, and the style writes into the page.
#include "webview/core/pageactions.h"
#include "webview/core/webprops.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "objects/font.h"
#include "objects/objops.h"
#include "objects/objtables.h"
#include "session/config.h"
#include "session/proto/protocol.h"
#include "session/util/mem.h"
#include "session/util/strutil.h"
#include "webview/core/webchannel.h"
#include "webview/core/webmarkup.h"
#include "webview/core/webobject.h"
#include "webview/core/weboptions.h"
#include "webview/core/webtext.h"
#include "webview/core/webkinds.h"

namespace {

// The kind's property handlers (slots 2 and 3 of its row), or none.
WebSetPropFn KindSetProp(const ObjectRecord* rec) {
    const WebKindOps* ops = WebKindOpsOf(rec);
    return ops ? ops->setProp : nullptr;
}

WebGetPropFn KindGetProp(const ObjectRecord* rec) {
    const WebKindOps* ops = WebKindOpsOf(rec);
    return ops ? ops->getProp : nullptr;
}

constexpr uint32_t kFontTextMax = 255;
constexpr uint32_t kPercentScale = 10000;
constexpr int32_t kPercentMax = 100;
constexpr uint32_t kRgbMask = 0xFFFFFF;
constexpr char kUnknownText[] = "?????";

// Request codes with a preparation of their own.
constexpr uint32_t kPcCalFgColor = 505, kPcTrailingColor = 509, kPcSelColor = 544, kPcHelpTopic = 568,
                   kPcUserData = 569, kPcIcon = 292, kPcPicture = 396, kPcTabLabel = 332, kPcToolTip = 423,
                   kPcMenuText = 477, kPcX1 = 375, kPcX2 = 376, kPcY1 = 377, kPcY2 = 378, kPcLoadObject = 390;
// Property ids the common change and write know by number.
enum DialogGeometry : int32_t { kDlgWidth = 4, kDlgHeight = 5, kDlgTop = 6, kDlgLeft = 7 };

// Longest item name a change or a query selects by.
constexpr uint32_t kItemNameChangeLimit = 254, kItemNameQueryLimit = kTextBufSize;

// The Font object given with a Font change, for the FontObj id.
ObjectRecord* gPropFontObject;

ObjectRecord* Resolve(ObjectRecord* rec) {
    return rec == reinterpret_cast<ObjectRecord*>(-1) ? gWebMainWindow : rec;
}

bool KeepsOwnRunName(uint32_t kind) {
    return kind == kKindMenu || kind == kKindSubMenu || kind == kKindFloatMenu || kind == kKindStatusBar ||
           kind == kKindToolBar;
}

bool InCells(const ObjectRecord* rec) { return !(rec->flags & kObjPixels) && rec->kind != kKindWindow; }

void CellSize(ObjectRecord* rec, int32_t* cw, int32_t* ch) {
    ObjectRecord* top = ObjectTopWindow(rec);
    *cw = 7;
    *ch = 15;
    if (WebIsWindow(top) && WebWin(top)->cellWidth && WebWin(top)->cellHeight) {
        *cw = WebWin(top)->cellWidth;
        *ch = WebWin(top)->cellHeight;
    }
}

// A text of the request with its NUL: in gTextBuf when it fits, else in a
// block of its own (freed by TextRelease). limit: longer texts are cut.
const char* TextCopy(const char* text, uint32_t length, uint32_t limit, char** block) {
    *block = nullptr;
    if (length > limit) length = limit;
    if (length <= kTextBufSize) {
        if (length && text) memcpy(gTextBuf, text, length);
        gTextBuf[length] = 0;
        return gTextBuf;
    }
    *block = static_cast<char*>(GuardedAlloc(static_cast<size_t>(length) + 1));
    if (!*block) return nullptr;
    memcpy(*block, text, length);
    (*block)[length] = 0;
    return *block;
}

bool IsColorCode(uint32_t code, uint32_t* id) {
    switch (code) {
    case kPcBdrColor: *id = kPidBdrColor; return true;
    case kPcBgColor: *id = kPidBgColor; return true;
    case kPcFgColor: *id = kPidFgColor; return true;
    case kPcFillColor: *id = kPidFillColor; return true;
    case kPcMaskColor: *id = kPidMaskColor; return true;
    case kPcSelColor: *id = kPidSelColor; return true;
    default:
        if (code >= kPcCalFgColor && code <= kPcTrailingColor) {
            *id = kPidCalFgColor + (code - kPcCalFgColor);
            return true;
        }
        return false;
    }
}

bool IsDialog(ObjectRecord* rec) { return rec->kind == kKindWindow && WebIsDialogWindow(rec); }

int32_t Percent(int32_t value, int32_t base) {
    return static_cast<int32_t>((static_cast<int64_t>(value) * kPercentScale / base + 50) / 100);
}

void CssPxValue(ObjectRecord* rec, const char* style, int32_t value) {
    char text[24];
    snprintf(text, sizeof text, "%dpx", value);
    WebSetElemCss(rec, style, text, false);
}

void FontWrite(ObjectRecord* rec) {
    const FontRec* f = rec->font;
    if (!f) return;
    WebSetElemCss(rec, "font-weight", f->bold ? "bold" : "normal", false);
    WebSetElemCss(rec, "font-style", f->italic ? "italic" : "normal", false);
    char text[kFontFaceMax + 32];
    snprintf(text, sizeof text, "%d.%dpt %s", f->size / 10, f->size % 10, f->face);
    WebSetElemCss(rec, "font", text, false);
    if (f->underline) WebSetElemCss(rec, "text-decoration", "underline", false);
    else if (f->strike) WebSetElemCss(rec, "text-decoration", "line-through", false);
}

bool NoBackground(const ObjectRecord* rec) {
    return (rec->kind == kKindStatText || rec->kind == kKindShape || rec->kind == kKindGroupBox) &&
           rec->appearance == 2;
}

void ColorWrite(ObjectRecord* rec, const char* style, int family, uint32_t value, uint32_t oldValue) {
    char oldClass[32] = "", newClass[32] = "";
    bool hadClass = oldValue >= kWebColorClassBase && oldValue <= kWebColorClassLast;
    if (hadClass) HtmlColorClassText(oldValue - kWebColorClassBase, family, oldClass, sizeof oldClass);
    bool wrapper = WebHasWrapperDiv(rec) && !(rec->kind == kKindProgress && (rec->modeFlags & 0x8));
    if (value >= kWebColorClassBase && value <= kWebColorClassLast) {
        HtmlColorClassText(value - kWebColorClassBase, family, newClass, sizeof newClass);
        WebChangeElemClass(rec, hadClass ? oldClass : nullptr, newClass, wrapper);
        return;
    }
    if (hadClass) WebChangeElemClass(rec, oldClass, nullptr, wrapper);
    char text[16];
    snprintf(text, sizeof text, "#%.6x", ColorRefToRgb(value));
    WebSetElemCss(rec, style, text, false);
}

// A font like the record's with one part changed, shared; the old one released.
void ChangeFontPart(ObjectRecord* rec, uint32_t id, int32_t value, const char* text, uint32_t length) {
    if (!rec->font) return;
    FontSpec p = FontSpecOf(rec->font);
    if (!FontSpecChangePart(&p, id, value, text, length)) return;
    FontRec* n = WebFontFind(p.face, p.size, p.bold, p.italic, p.underline, p.strike, p.angle);
    if (!n) return;
    WebFontRelease(rec->font);
    rec->font = n;
}

uint32_t KeptColor(uint32_t v) {
    if (gWebClassStyling && v >= kWebColorClassBase && v <= kWebColorClassLast) return v;
    if (v > kRgbMask) {
        uint32_t n = v & 0xFF;
        return n < kSysColorCount ? kSysColorBit + n : UINT32_MAX;
    }
    return v;
}

uint32_t* ColorField(ObjectRecord* rec, uint32_t id) {
    switch (id) {
    case kPidBgColor: return &rec->bgColor;
    case kPidBdrColor: return &rec->bdrColor;
    case kPidFgColor: return &rec->fgColor;
    default: return nullptr;
    }
}

bool ReplaceText(char** field, const char* text, uint32_t length, uint32_t limit) {
    if (length > limit) length = limit;
    if (!text) length = 0;
    return ReplaceStrField(text, static_cast<long>(length), field) || length == 0;
}

const char* TextOf(const char* field) {
    snprintf(gTextBuf, kTextBufSize + 1, "%s", field ? field : "");
    return gTextBuf;
}

// The kind's change, else the common one; the window's own handler answers
// in its own signature.
int32_t KindSet(ObjectRecord* rec, uint32_t id, int32_t value, const char* text, uint32_t length, bool* write) {
    int32_t r = kWebNotAvailable;
    if (rec->kind == kKindWindow) {
        r = WebWindowSetProp(rec, id, value, text, length);
        if (r != kWebNotAvailable) {
            // The window wrote its own sizes; its place and colours go out below.
            *write = id == kPidTop || id == kPidLeft || id == kPidBgColor || id == kPidFgColor ||
                     (IsDialog(rec) && (id == kPidHeight || id == kPidWidth));
            return r;
        }
    } else if (KindSetProp(rec)) {
        r = KindSetProp(rec)(rec, id, value, text, length, write);
        if (r != kWebNotAvailable) return r;
    }
    bool changed = false;
    r = WebDefaultSetProp(rec, id, value, text, length, &changed);
    // Alignment, WordWrap and BackStyle have no common record field: their
    // page write follows whichever handler took them.
    *write = *write && (changed || id == kPidAlignment || id == kPidWordWrap || id == kPidBackStyle);
    return r;
}

}  // namespace

// The record a request goes to: the item its selector names when the kind
// routes items, else the record; none when the selector names no item.
static ObjectRecord* RouteItem(ObjectRecord* rec, const EventItem& selector, uint32_t nameMax) {
    const WebKindOps* ops = WebKindOpsOf(rec);
    WebItemRouteFn route = ops ? ops->itemRoute : nullptr;
    return route ? route(rec, selector, nameMax) : rec;
}

uint32_t ColorRefToRgb(uint32_t color) {
    if ((color & kSysColorBit) && (color & ~kSysColorBit) < kSysColorCount)
        color = gWebHooks.sysColor ? gWebHooks.sysColor(color & ~kSysColorBit) : 0;
    return ((color & 0xFF) << 16) | (color & 0xFF00) | ((color >> 16) & 0xFF);
}

void WebFontText(const FontRec* f, char* out, size_t outSize) {
    int n;
    if (f->size % 10) n = snprintf(out, outSize, "'>%s'(%d.%d", f->face, f->size / 10, f->size % 10);
    else n = snprintf(out, outSize, "'>%s'(%d", f->face, f->size / 10);
    auto add = [&](const char* part) {
        if (n >= 0 && static_cast<size_t>(n) < outSize) n += snprintf(out + n, outSize - n, "%s", part);
    };
    char angle[16];
    if (f->angle) {
        snprintf(angle, sizeof angle, ",A%u", f->angle);
        add(angle);
    }
    if (f->bold) add(",BOLD");
    if (f->italic) add(",ITALIC");
    if (f->underline) add(",U");
    if (f->strike) add(",S");
    add(")");
}

// ---- Change ----------------------------------------------------------------------------

static bool Fits32(int64_t v) { return v >= INT32_MIN && v <= INT32_MAX; }

int32_t WebDefaultSetProp(ObjectRecord* rec, uint32_t id, int32_t value, const char* text, uint32_t length,
                          bool* changed) {
    auto flag = [rec](uint32_t bit, bool on) { rec->flags = on ? (rec->flags | bit) : (rec->flags & ~bit); };
    switch (id) {
    case kPidAutoSize: flag(kObjAutoSize, value != 0); return 0;
    case kPidBgColor: case kPidBdrColor: case kPidFgColor: {
        uint32_t v = KeptColor(static_cast<uint32_t>(value));
        if (v != UINT32_MAX) *ColorField(rec, id) = v;
        *changed = true;
        return 0;
    }
    case kPidBorder: flag(kObjBorder, value != 0); *changed = true; return 0;
    case kPidStyle:
        if (value >= 1 && value <= 4) {
            rec->appearance = static_cast<uint8_t>(value);
            flag(kObj3D, value != 2);
            *changed = true;
        }
        return 0;
    case kPidDropId: rec->dropId = static_cast<uint16_t>(value); return 0;
    case kPidEnabled:
        flag(kObjDisabledByProp, value == 0);
        if (value == 0 && rec->kind == kKindWindow && gGuiOption2039) return 0;
        return value ? ObjectEnable(rec, 0) : ObjectDisable(rec, 0);
    case kPidBold: case kPidItalic: case kPidFontName: case kPidSize: case kPidAngle: case kPidStrike:
    case kPidUnderline:
        ChangeFontPart(rec, id, value, text, length);
        *changed = true;
        return 0;
    case kPidHeight: case kPidWidth: {
        // An edge that would leave the 32-bit range is refused, as the native
        // objects refuse it.
        int64_t edge = static_cast<int64_t>(id == kPidHeight ? rec->top : rec->left) + value;
        int64_t d = edge - (id == kPidHeight ? rec->bottom : rec->right);
        if (!Fits32(edge) || !Fits32(d)) return kWebNotAvailable;
        int32_t dh = id == kPidHeight ? static_cast<int32_t>(d) : 0, dw = id == kPidWidth ? static_cast<int32_t>(d) : 0;
        if (dh || dw) WebResizeBy(rec, dh, dw);
        return 0;
    }
    case kPidHelpId: rec->helpId = static_cast<uint32_t>(value); return 0;
    case kPidLeft: case kPidTop: {
        // The far edge moves with the position: one that would leave the
        // 32-bit range is refused.
        int64_t d = static_cast<int64_t>(value) - (id == kPidLeft ? rec->left : rec->top);
        int64_t farEdge = static_cast<int64_t>(id == kPidLeft ? rec->right : rec->bottom) + d;
        if (!Fits32(farEdge) || !Fits32(d)) return kWebNotAvailable;
        int32_t dx = id == kPidLeft ? static_cast<int32_t>(d) : 0, dy = id == kPidTop ? static_cast<int32_t>(d) : 0;
        if (dx || dy) WebMoveBy(rec, dy, dx);
        return 0;
    }
    case kPidObjectId: rec->objectId = static_cast<uint16_t>(value); return 0;
    case kPidTabId: rec->tabId = static_cast<uint16_t>(value); *changed = true; return 0;
    case kPidVisible: {
        bool shown = (rec->flags & kObjShown) != 0;
        if (value && !shown) return ObjectActivate(rec, 0, 0, 0, 0);
        if (!value && shown) return ObjectDeactivate(rec);
        return 0;
    }
    case kPidZOrder:
        rec->zOrder = static_cast<uint16_t>(value);
        if (WebUnlinkChild(rec)) WebLinkChild(rec);
        if ((rec->flags & kObjDocked) && (rec->flags & kObjShown) && rec->parent) WebLayoutChildren(rec->parent);
        *changed = true;
        return 0;
    case kPidAppearance:
        flag(kObj3D, value == 1);
        rec->appearance = value == 1 ? 1 : 2;
        return 0;
    case kPidLoadObject: flag(kObjFromFormNoLoad, value == 0); return 0;
    case kPidAutoRedraw: flag(kObjNoAutoRedraw, value == 0); return 0;
    case kPidScrollBar: *changed = value >= 0 && value <= 4; return 0;
    case kPidFont: {
        FontRec* f = text ? WebFontFromSpec(text, static_cast<int32_t>(length)) : nullptr;
        if (!f) return kWebNoFont;
        if (rec->font) WebFontRelease(rec->font);
        rec->font = f;
        *changed = true;
        return 0;
    }
    case kPidFontObj: {
        ObjectRecord* obj = gPropFontObject;
        if (!obj || !ObjectIsLive(obj) || obj->kind != kKindFont) return kWebNoFont;
        FontRec* f = reinterpret_cast<WebFontObj*>(obj)->font;
        if (!f || f->users >= kFontUsersMax) return kWebNoFont;
        f->users++;
        if (rec->font) WebFontRelease(rec->font);
        rec->font = f;
        *changed = true;
        return 0;
    }
    case kPidToolTip: ReplaceText(&rec->toolTip, text, length, kTextBufSize); *changed = true; return 0;
    case kPidCauseValid: flag(kObjCauseValid, value != 0); return 0;
    case kPidDock:
        if (value >= 1 && value <= 6) {
            rec->dock = static_cast<uint8_t>(value);
            flag(kObjDocked, value != 3);
            if ((rec->flags & kObjShown) && rec->parent) WebLayoutChildren(rec->parent);
        }
        return 0;
    case kPidRunName: ReplaceText(&rec->runName, text, length, kTextBufSize); return 0;
    case kPidAnchor:
        if (value >= 1 && value <= 9) rec->anchor = static_cast<uint8_t>(value);
        return 0;
    case kPidOsEventMask: rec->osEventMask = static_cast<uint32_t>(value); return 0;
    case kPidAcceptTab: case kPidAcceptTab2: flag(kObjAcceptTab, value != 0); return 0;
    case kPidDestroyGlobal: flag(kObjNoDestroyGlobal, value == 0); return 0;
    case kPidHelpTopic: ReplaceText(&rec->helpTopic, text, length, kTextBufSize); return 0;
    case kPidUserData: ReplaceText(&rec->userData, text, length, kTextBufSize); return 0;
    case kPidTheme: ReplaceText(&rec->theme, text, length, kTextBufSize); return 0;
    case kPidWebClass: {
        char* old = rec->webClass ? strdup(rec->webClass) : nullptr;
        ReplaceText(&rec->webClass, text, length, kTextBufSize);
        WebChangeElemClass(rec, old, rec->webClass, true);
        free(old);
        return 0;
    }
    case kPidWebHeight: ReplaceText(&rec->webHeight, text, length, kTextBufSize); *changed = true; return 0;
    case kPidWebWidth: ReplaceText(&rec->webWidth, text, length, kTextBufSize); *changed = true; return 0;
    case kPidWebLeft: ReplaceText(&rec->webLeft, text, length, kTextBufSize); *changed = true; return 0;
    case kPidWebTop: ReplaceText(&rec->webTop, text, length, kTextBufSize); *changed = true; return 0;
    case kPidWebPosition: rec->webPosition = static_cast<uint8_t>(value); *changed = true; return 0;
    case kPidWebObject:
        rec->modeFlags = value ? (rec->modeFlags | kModeWebObject) : (rec->modeFlags & ~kModeWebObject);
        return 0;
    default:
        return 0;
    }
}

void WebCommonPageWrite(ObjectRecord* rec, uint32_t id, const char* text, uint32_t oldColor) {
    switch (id) {
    case kPidBgColor:
        if (!NoBackground(rec)) ColorWrite(rec, "background-color", kClrFamBg, rec->bgColor, oldColor);
        break;
    case kPidBdrColor: ColorWrite(rec, "border-color", kClrFamBorder, rec->bdrColor, oldColor); break;
    case kPidFgColor: ColorWrite(rec, "color", kClrFamText, rec->fgColor, oldColor); break;
    case kPidBold:
        if (rec->font) WebSetElemCss(rec, "font-weight", rec->font->bold ? "bold" : "normal", false);
        break;
    case kPidItalic:
        if (rec->font) WebSetElemCss(rec, "font-style", rec->font->italic ? "italic" : "normal", false);
        break;
    case kPidFontName:
        if (rec->font) WebSetElemCss(rec, "font-family", rec->font->face, false);
        break;
    case kPidSize:
        if (rec->font) {
            char t[24];
            snprintf(t, sizeof t, "%d.%dpt", rec->font->size / 10, rec->font->size % 10);
            WebSetElemCss(rec, "font-size", t, false);
        }
        break;
    case kPidHeight: case kPidLeft: case kPidTop: case kPidWidth: {
        if (IsDialog(rec)) {
            int32_t dwid = id == kPidHeight ? kDlgHeight : id == kPidLeft ? kDlgLeft : id == kPidTop ? kDlgTop : kDlgWidth;
            int32_t val = id == kPidHeight ? rec->bottom - rec->top
                        : id == kPidLeft   ? rec->left
                        : id == kPidTop    ? rec->top
                                           : rec->right - rec->left;
            JsonBeginAction(kActDialog);
            JsonAddName(rec);
            JsonAddInt("dwid", dwid);
            JsonAddInt("val", val);
            WebViewMsgEnd();
        } else if (rec->kind == kKindWindow && (id == kPidLeft || id == kPidTop)) {
            CssPxValue(rec, id == kPidLeft ? "left" : "top", id == kPidLeft ? rec->left : rec->top);
        }
        break;
    }
    case kPidTabId: WebSetElemPropInt(rec, "tabindex", rec->tabId, false); break;
    case kPidZOrder: WebSetElemCssInt(rec, "z-index", rec->zOrder, false); break;
    case kPidFont: case kPidFontObj: FontWrite(rec); break;
    case kPidToolTip: WebSetElemProp(rec, "title", rec->toolTip ? rec->toolTip : "", false); break;
    case kPidStrike:
        if (rec->font) WebSetElemCss(rec, "text-decoration", rec->font->strike ? "line-through" : "none", false);
        break;
    case kPidUnderline:
        if (rec->font) WebSetElemCss(rec, "text-decoration", rec->font->underline ? "underline" : "none", false);
        break;
    case kPidAltText: WebSetElemProp(rec, "alt", text ? text : "", false); break;
    case kPidUrlSource: WebSetElemProp(rec, "src", text ? text : "", false); break;
    case kPidWebHeight:
        if (rec->kind == kKindWindow) WebSetWrapperCss(rec, "height", rec->webHeight ? rec->webHeight : "");
        WebSetElemCss(rec, "height", rec->webHeight ? rec->webHeight : "", false);
        break;
    case kPidWebPosition: WebSetElemCss(rec, "position", "absolute", false); break;
    case kPidWebWidth:
        if (rec->kind == kKindWindow) {
            WebSetWrapperCss(rec, "width", rec->webWidth ? rec->webWidth : "");
            if (rec->webWidth && strchr(rec->webWidth, '%')) WebSetElemCss(rec, "width", "100%", false);
        } else {
            WebSetElemCss(rec, "width", rec->webWidth ? rec->webWidth : "", false);
        }
        break;
    case kPidWebLeft:
        if (rec->webLeft) WebSetElemCss(rec, "left", rec->webLeft, false);
        else CssPxValue(rec, "left", rec->left);
        break;
    case kPidWebTop:
        if (rec->webTop) WebSetElemCss(rec, "top", rec->webTop, false);
        else CssPxValue(rec, "top", rec->top);
        break;
    default:
        break;
    }
}

static void AlignmentWrite(ObjectRecord* rec, int32_t value) {
    WebSetElemCss(rec, "text-align", value == 1 ? "center" : value == 3 ? "right" : "left", false);
}

static void WordWrapWrite(ObjectRecord* rec, int32_t value) {
    WebChangeElemClass(rec, value ? "ww0" : "ww1", value ? "ww1" : "ww0", false);
}

// What a change answers the server: the handler's refusal as it gave it;
// anything else it reported (a shown window's level, say) is success.
static int32_t Refusal(int32_t r) { return r < 0 ? r : 0; }

static int32_t SetPropOf(ObjectRecord* rec, const PropChange* req) {
    rec = Resolve(rec);
    if (!rec) return kWebNotAvailable;
    WebViewSelectForObject(rec);
    if (req->code == kPcOvar) {
        rec->ovar = req->value2;
        return 0;
    }
    if (ObjectRecord* item = RouteItem(rec, req->selector, kItemNameChangeLimit)) {
        rec = item;
    } else {
        // As the native bars answer: the common change knows no id 999.
        return kWebUnknownProperty;
    }
    if (req->code == kPcRunName && !KeepsOwnRunName(rec->kind)) {
        ReplaceText(&rec->runName, req->text, req->textLength, kTextBufSize);
        return 0;
    }
    if (rec->kind == kKindVariant) return kWebNotAvailable;
    if (req->code == kPcInvalid) return kWebUnknownProperty;
    if (rec->kind == kKindFont) return WebFontSetProp(rec, req);
    const PropCodeRow* row = PropertyCodeLookup(req->code);
    if (!row) return kWebUnknownProperty;
    uint32_t id = row->id;
    int32_t value = req->value;
    const char* text = nullptr;
    uint32_t length = 0;
    char* block = nullptr;
    bool write = true;
    uint32_t colorId = 0;
    uint32_t oldColor = UINT32_MAX;
    int32_t writeValue = value;
    uint32_t code = req->code;
    if (IsColorCode(code, &colorId)) {
        id = colorId;
        if (req->object && ObjectIsLive(req->object) && req->object->kind == kKindColor)
            value = static_cast<int32_t>(reinterpret_cast<WebColorRec*>(req->object)->value);
        if (uint32_t* field = ColorField(rec, id)) oldColor = *field;
    } else if (code == kPcHeight || code == kPcTop || code == kPcLeft || code == kPcWidth || code == kPcX1 ||
               code == kPcX2 || code == kPcY1 || code == kPcY2) {
        bool vertical = code == kPcHeight || code == kPcTop || code == kPcY1 || code == kPcY2;
        bool place = code == kPcTop || code == kPcLeft || code == kPcX1 || code == kPcY1;
        if (code == kPcX1) id = kPidX1;
        if (code == kPcX2) id = kPidX2;
        if (code == kPcY1) id = kPidY1;
        if (code == kPcY2) id = kPidY2;
        if (rec->kind != kKindWindow) {
            if (InCells(rec)) {
                int32_t cw, ch;
                CellSize(rec, &cw, &ch);
                int32_t cell = vertical ? ch : cw;
                int64_t pixels = (place ? static_cast<int64_t>(value) - 1 : value) * static_cast<int64_t>(cell);
                if (!Fits32(pixels)) return kWebNotAvailable;
                value = static_cast<int32_t>(pixels);
            } else {
                value = WebScaleValue(rec, value, 0, true);
            }
            ObjectRecord* parent = rec->parent;
            int32_t base = 0;
            bool percent = code == kPcTop ? gWebPercentGeometry == 2
                                          : (code == kPcLeft || code == kPcWidth) && gWebPercentGeometry != 0;
            if (percent && WebKindTakesPercent(rec) && WebIsWindow(parent))
                base = vertical ? WebWin(parent)->pageHeight : WebWin(parent)->pageWidth;
            int32_t p = base > 0 ? Percent(value, base) : 0;
            if (p >= 1 && p <= kPercentMax) {
                char pt[16];
                snprintf(pt, sizeof pt, "%d%%", p);
                if (code == kPcTop) {
                    rec->bottom += value - rec->top;
                    rec->top = value;
                    id = kPidWebTop;
                } else if (code == kPcLeft) {
                    rec->right += value - rec->left;
                    rec->left = value;
                    id = kPidWebLeft;
                } else {
                    rec->right = rec->left + value;
                    id = kPidWebWidth;
                }
                int32_t r = KindSet(rec, id, 0, pt, static_cast<uint32_t>(strlen(pt)), &write);
                if (r >= 0 && write) WebCommonPageWrite(rec, id, pt, oldColor);
                return Refusal(r);
            }
        }
    } else if (code == kPcVisible) {
        bool none = false;
        return Refusal(KindSet(rec, id, value, nullptr, 0, &none));
    } else if (code == kPcHelpTopic || code == kPcUserData || code == kPcTabLabel || code == kPcToolTip ||
               code == kPcMenuText) {
        id = code == kPcHelpTopic ? static_cast<uint32_t>(kPidHelpTopic)
           : code == kPcUserData  ? static_cast<uint32_t>(kPidUserData)
           : code == kPcTabLabel  ? static_cast<uint32_t>(kPidTabLabel)
           : code == kPcToolTip   ? static_cast<uint32_t>(kPidToolTip)
                                  : static_cast<uint32_t>(kPidMenuText);
        text = TextCopy(req->text, req->text ? req->textLength : 0, kTextBufSize, &block);
        length = text ? static_cast<uint32_t>(strlen(text)) : 0;
    } else if (code == kPcFont) {
        if (req->object && ObjectIsLive(req->object) && req->object->kind == kKindFont) {
            id = kPidFontObj;
            gPropFontObject = req->object;
        } else {
            id = kPidFont;
            text = TextCopy(req->text, req->text ? req->textLength : 0, kFontTextMax, &block);
            length = text ? static_cast<uint32_t>(strlen(text)) : 0;
        }
    } else if (code == kPcIcon || code == kPcPicture) {
        id = code == kPcIcon ? static_cast<uint32_t>(kPidIcon) : static_cast<uint32_t>(kPidPicture);
        text = req->text;
        length = req->textLength;
    } else if (code == kPcNoResize) {
        id = kPidNoResize;
        value = value == 0 ? 1 : 0;
    } else if (code == kPcLoadObject) {
        return (gGuiModeFlags & 1) ? Refusal(KindSet(rec, kPidLoadObject, value, nullptr, 0, &write)) : 0;
    } else if (code == kPcParentWin) {
        id = kPidParentWin;
        text = req->text;
        length = req->textLength;
    } else if (code == kPcPictPos) {
        int32_t r = KindSet(rec, kPidPictPosH, value, nullptr, 0, &write);
        if (r < 0) return r;
        return Refusal(KindSet(rec, kPidPictPosV, static_cast<int32_t>(req->word2), nullptr, 0, &write));
    } else if (code == kPcEditOptions) {
        // The edit options text belongs to the EditText, which parses it.
        if (rec->kind != kKindEditText) return 0;
        text = req->text;
        length = req->textLength;
    } else if (row->valueKind == kPvText || row->valueKind == kPvTextOrEmpty) {
        if (!req->text) {
            if (row->valueKind == kPvText) return 0;
        }
        if (row->valueKind == kPvText && req->textLength == 0) {
            write = false;
        } else {
            text = TextCopy(req->text, req->text ? req->textLength : 0, UINT32_MAX, &block);
            if (!text) return kWebNoMemory;
            length = req->text ? req->textLength : 0;
            value = static_cast<int32_t>(req->word2);
        }
        if (row->valueKind == kPvText && req->textLength == 0) return 0;
    }
    int32_t r = KindSet(rec, id, value, text, length, &write);
    // A refused change leaves the page as it was.
    if (r < 0) write = false;
    if (id == kPidAlignment && write) AlignmentWrite(rec, writeValue);
    else if (id == kPidWordWrap && write) WordWrapWrite(rec, value);
    else if (id == kPidBackStyle && write && value == 2) WebSetElemCss(rec, "background-color", "transparent", false);
    else if (write && rec->kind != kKindStatusPanel && rec->kind != kKindToolButton)
        WebCommonPageWrite(rec, id, text, oldColor);
    gPropFontObject = nullptr;
    free(block);
    return Refusal(r);
}

// ---- Query -----------------------------------------------------------------------------

int32_t WebDefaultGetProp(ObjectRecord* rec, uint32_t id, int32_t* result, const char** text) {
    auto bit = [rec](uint32_t b) { return (rec->flags & b) ? 1 : 0; };
    const FontRec* f = rec->font;
    *result = 0;
    switch (id) {
    case kPidAutoSize: *result = bit(kObjAutoSize); break;
    case kPidBgColor: *result = static_cast<int32_t>(rec->bgColor); break;
    case kPidBdrColor: *result = static_cast<int32_t>(rec->bdrColor); break;
    case kPidFgColor: *result = static_cast<int32_t>(rec->fgColor); break;
    case kPidBorder: *result = bit(kObjBorder); break;
    case kPidStyle: *result = rec->appearance; break;
    case kPidDropId: *result = rec->dropId; break;
    case kPidEnabled: *result = (rec->flags & (kObjDisabled | kObjDisabledByProp)) ? 0 : 1; break;
    case kPidBold: *result = f ? f->bold : 0; break;
    case kPidItalic: *result = f ? f->italic : 0; break;
    case kPidFontName: *text = TextOf(f ? f->face : ""); break;
    case kPidSize: *result = f ? f->size : 0; break;
    case kPidHeight: *result = WebScaleValue(rec, rec->bottom - rec->top, 0, false); break;
    case kPidWidth: *result = WebScaleValue(rec, rec->right - rec->left, 0, false); break;
    case kPidLeft: *result = WebScaleValue(rec, rec->left, 0, false); break;
    case kPidTop: *result = WebScaleValue(rec, rec->top, 0, false); break;
    case kPidHelpId: *result = static_cast<int32_t>(rec->helpId); break;
    case kPidObjectId: *result = rec->objectId; break;
    case kPidTabId: *result = rec->tabId; break;
    case kPidZOrder: *result = rec->zOrder; break;
    case kPidVisible: *result = bit(kObjShown); break;
    case kPidAppearance: *result = bit(kObj3D) ? 1 : 2; break;
    case kPidLoadObject: *result = bit(kObjFromFormNoLoad) ? 0 : 1; break;
    case kPidAutoRedraw: *result = bit(kObjNoAutoRedraw) ? 0 : 1; break;
    case kPidHwnd: case kPidToolTipHwnd: break;
    case kPidFont: {
        char t[kFontFaceMax + 48] = "";
        if (f) WebFontText(f, t, sizeof t);
        *text = TextOf(t);
        break;
    }
    case kPidToolTip: *text = TextOf(rec->toolTip); break;
    case kPidCauseValid: *result = bit(kObjCauseValid); break;
    case kPidDock: *result = rec->dock; break;
    case kPidAnchor: *result = rec->anchor; break;
    case kPidRunName: *text = TextOf(rec->runName); break;
    case kPidAngle: *result = f ? f->angle : 0; break;
    case kPidStrike: *result = f ? f->strike : 0; break;
    case kPidUnderline: *result = f ? f->underline : 0; break;
    case kPidOsEventMask: *result = static_cast<int32_t>(rec->osEventMask); break;
    case kPidAcceptTab: case kPidAcceptTab2: *result = bit(kObjAcceptTab); break;
    case kPidDestroyGlobal: *result = bit(kObjNoDestroyGlobal) ? 0 : 1; break;
    case kPidHelpTopic: *text = TextOf(rec->helpTopic); break;
    case kPidUserData: *text = TextOf(rec->userData); break;
    case kPidTheme: *text = TextOf(rec->theme); break;
    case kPidWebClass: *text = TextOf(rec->webClass); break;
    case kPidWebHeight: *text = TextOf(rec->webHeight); break;
    case kPidWebWidth: *text = TextOf(rec->webWidth); break;
    case kPidWebLeft: *text = TextOf(rec->webLeft); break;
    case kPidWebTop: *text = TextOf(rec->webTop); break;
    case kPidWebPosition: *result = rec->webPosition; break;
    case kPidWebObject: *result = (rec->modeFlags & kModeWebObject) ? 1 : 0; break;
    default:
        *text = TextOf(kUnknownText);
        break;
    }
    return 0;
}

const PropChange* gWebPropChange;
const PropQuery* gWebPropQuery;

int32_t WebSetPropById(ObjectRecord* rec, uint32_t id, int32_t value, const char* text, uint32_t length) {
    if (!rec) return kWebNotAvailable;
    WebViewSelectForObject(rec);
    bool write = true;
    // A change by id names no item, whatever request it is made within.
    const PropChange* outer = gWebPropChange;
    gWebPropChange = nullptr;
    int32_t r = KindSet(rec, id, value, text, length, &write);
    gWebPropChange = outer;
    if (r >= 0 && write) WebCommonPageWrite(rec, id, text, UINT32_MAX);
    return r;
}

int32_t WebGetProp(ObjectRecord* rec, uint32_t id, int32_t* result, const char** text) {
    *result = 0;
    *text = nullptr;
    int32_t r = kWebNotAvailable;
    if (rec->kind == kKindWindow) r = WebWindowGetProp(rec, id, result, text);
    else if (KindGetProp(rec)) r = KindGetProp(rec)(rec, id, result, text);
    if (r != kWebNotAvailable) return r;
    return WebDefaultGetProp(rec, id, result, text);
}

static int32_t GetInt(ObjectRecord* rec, uint32_t id) {
    int32_t v = 0;
    const char* t = nullptr;
    WebGetProp(rec, id, &v, &t);
    return v;
}

static int32_t GetPropOf(ObjectRecord* rec, PropQuery* req) {
    rec = Resolve(rec);
    if (!rec) return kWebNotAvailable;
    WebViewSelectForObject(rec);
    req->result = req->result2 = 0;
    req->text = nullptr;
    req->resultObject = nullptr;
    uint32_t code = req->code;
    if (code == kPcWindow) {
        req->result2 = rec->parent ? static_cast<int32_t>(rec->parent->ovar) : 0;
        return 0;
    }
    if (ObjectRecord* item = RouteItem(rec, req->selector, kItemNameQueryLimit)) {
        rec = item;
    } else {
        WebDefaultGetProp(rec, kPropIdNoItem, &req->result, &req->text);
        return 0;
    }
    if (code == kPcRunName && !KeepsOwnRunName(rec->kind)) {
        req->text = TextOf(rec->runName);
        return 0;
    }
    if (rec->kind == kKindVariant) return kWebNotAvailable;
    if (code == kPcInvalid) return kWebUnknownProperty;
    if (rec->kind == kKindFont) return WebFontGetProp(rec, req);
    uint32_t colorId = 0;
    if ((code == kPcBdrColor || code == kPcBgColor || code == kPcFgColor || code == kPcFillColor ||
         code == kPcMaskColor) && IsColorCode(code, &colorId)) {
        uint32_t color = static_cast<uint32_t>(GetInt(rec, colorId));
        if (req->form == kPqFormObject) {
            ObjectRecord* obj = req->fill;
            if (!obj || !ObjectIsLive(obj) || obj->kind != kKindColor) obj = WebColorAlloc();
            if (!obj) return 0;
            reinterpret_cast<WebColorRec*>(obj)->value = color;
            req->resultObject = obj;
        } else {
            req->result = static_cast<int32_t>(color);
        }
        return 0;
    }
    bool cells = InCells(rec);
    int32_t cw = 7, ch = 15;
    if (cells) CellSize(rec, &cw, &ch);
    auto pixelsOf = [&](uint32_t id) {
        // The common answer is in the window's units; cells take the pixels.
        if (!cells) return GetInt(rec, id);
        switch (id) {
        case kPidHeight: return rec->bottom - rec->top;
        case kPidWidth: return rec->right - rec->left;
        case kPidTop: return rec->top;
        case kPidLeft: return rec->left;
        default: return GetInt(rec, id);
        }
    };
    switch (code) {
    case kPcHeight: case kPcWidth: case kPcX2: case kPcY2: {
        bool vertical = code == kPcHeight || code == kPcY2;
        uint32_t id = code == kPcHeight ? static_cast<uint32_t>(kPidHeight)
                    : code == kPcWidth ? static_cast<uint32_t>(kPidWidth)
                    : code == kPcX2    ? static_cast<uint32_t>(kPidX2)
                                       : static_cast<uint32_t>(kPidY2);
        int32_t px = pixelsOf(id);
        int32_t cell = vertical ? ch : cw;
        req->result = cells ? (px + cell - 1) / cell : px;
        return 0;
    }
    case kPcTop: case kPcLeft: case kPcX1: case kPcY1: {
        bool vertical = code == kPcTop || code == kPcY1;
        uint32_t id = code == kPcTop ? static_cast<uint32_t>(kPidTop)
                    : code == kPcLeft ? static_cast<uint32_t>(kPidLeft)
                    : code == kPcX1   ? static_cast<uint32_t>(kPidX1)
                                      : static_cast<uint32_t>(kPidY1);
        int32_t px = pixelsOf(id);
        req->result = cells ? px / (vertical ? ch : cw) + 1 : px;
        return 0;
    }
    case kPcFont: {
        if (!rec->font) return kWebNoFont;
        if (req->form == kPqFormObject) {
            ObjectRecord* obj = req->fill;
            if (obj && ObjectIsLive(obj) && obj->kind == kKindFont) {
                if (rec->font->users >= kFontUsersMax) return kWebNoMemory;
                rec->font->users++;
                FontRec* old = reinterpret_cast<WebFontObj*>(obj)->font;
                reinterpret_cast<WebFontObj*>(obj)->font = rec->font;
                if (old) WebFontRelease(old);
            } else {
                obj = WebFontObjAlloc(rec->font);
                if (!obj) return kWebNoMemory;
            }
            req->resultObject = obj;
        } else {
            req->text = TextOf(rec->font->face);
        }
        return 0;
    }
    case kPcEditOptions: {
        // The option word belongs to the EditText, whose web kind answers it
        // as six letters (its property id 0).
        if (rec->kind != kKindEditText || !KindGetProp(rec)) return kWebNotAvailable;
        int32_t v = 0;
        const char* t = nullptr;
        int32_t r = KindGetProp(rec)(rec, 0, &v, &t);
        if (r != 0) return r;
        req->text = t ? t : "";
        return 0;
    }
    case kPcNoResize: req->result = GetInt(rec, kPidNoResize) == 0 ? 1 : 0; return 0;
    case kPcObjectArg1: case kPcObjectArg2:
        req->result = req->fill ? static_cast<int32_t>(req->fill->handle) : 0;
        return 0;
    case kPcParentWin: req->result = GetInt(rec, kPidParentWin); return 0;
    case kPcPictPos:
        if (rec->kind == kKindWindow) {
            req->result = WebWin(rec)->minScrollV;
            req->result2 = WebWin(rec)->contentHeight;
        } else {
            req->result = GetInt(rec, kPidPictPosH);
            req->result2 = GetInt(rec, kPidPictPosV);
        }
        return 0;
    default:
        break;
    }
    const PropCodeRow* row = PropertyCodeLookup(code);
    if (!row) return kWebNotAvailable;
    if (row->valueKind == kPvText || row->valueKind == kPvTextOrEmpty) {
        strcpy(gTextBuf, kUnknownText);
        int32_t v = 0;
        const char* t = gTextBuf;
        WebGetProp(rec, row->id, &v, &t);
        req->text = t ? t : gTextBuf;
    } else {
        req->result = GetInt(rec, row->id);
    }
    return 0;
}

// ---- The request being answered ------------------------------------------------------------

int32_t WebSetProp(ObjectRecord* rec, const PropChange* req) {
    const PropChange* outer = gWebPropChange;
    gWebPropChange = req;
    int32_t r = SetPropOf(rec, req);
    gWebPropChange = outer;
    return r;
}

int32_t WebGetPropGeneric(ObjectRecord* rec, PropQuery* req) {
    const PropQuery* outer = gWebPropQuery;
    gWebPropQuery = req;
    int32_t r = GetPropOf(rec, req);
    gWebPropQuery = outer;
    return r;
}
