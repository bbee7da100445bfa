// webstatic.cpp - static text (kind 15), group box (kind 20) and label text
// (kind 46) in the web view. Each keeps its text in the record and nothing is
// asked of the page; a label text renders its text by its Appearance: plain,
// a list whose items report clicks, a heading, line breaks or an alert.
#include "webview/controls/webstatic.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "session/util/mem.h"
#include "webview/controls/webedit.h"
#include "webview/controls/webctlcommon.h"
#include "webview/core/pageactions.h"
#include "webview/core/webchannel.h"
#include "webview/core/webgeneric.h"
#include "webview/core/webmarkup.h"
#include "webview/core/webobject.h"
#include "webview/core/weboptions.h"
#include "webview/core/webprops.h"
#include "webview/core/webtext.h"
#include "webview/core/webkinds.h"
#include "webview/core/webevents.h"
#include "objects/events.h"

namespace {

constexpr uint32_t kCaptionMax = 255;
constexpr int32_t kUtf8TextValue = 33;
constexpr uint32_t kLineBreakMarkup = 5;       // "</br>" for each line end
constexpr char kPlainClass[] = "lt";

// The text field every one of the three records has right after its header.
char** TextField(ObjectRecord* rec) { return &reinterpret_cast<WebStatTextRecord*>(rec)->text; }

uint8_t AlignmentOf(int32_t v) { return static_cast<uint8_t>(v == 1 ? 1 : v == 3 ? 3 : 2); }

bool IsAlert(uint8_t style) { return style == kLtBreaks || style == kLtAlertClose; }
bool IsPlain(uint8_t style) { return style == kLtFlat || style == kLtPlain; }
bool IsColorClass(uint32_t c) { return c >= kWebColorClassBase && c <= kWebColorClassLast; }

const char* AlertClass(uint8_t style) {
    return style == kLtAlertClose ? "alert alert-dismissible fade show" : "alert";
}

void ColorClass(uint32_t color, int family, char* out, size_t size) {
    out[0] = 0;
    if (IsColorClass(color)) HtmlColorClassText(color - kWebColorClassBase, family, out, size);
}

bool HasLineEnds(const char* text) {
    for (const char* p = text; p && *p; ++p)
        if (*p == '\r' || *p == '\n' || static_cast<uint8_t>(*p) == 127) return true;
    return false;
}

// The text with its line ends (CR, LF, CR LF, byte 127) as "</br>", after prefix, into gHtmlBuf.
void LinesMarkup(const char* prefix, const char* text, const char* suffix) {
    HtmlReset();
    HtmlAppend(prefix, 0);
    size_t n = text ? strlen(text) : 0;
    char* lines = static_cast<char*>(GuardedAlloc(n * kLineBreakMarkup + 1));
    char* plain = static_cast<char*>(GuardedAlloc(n + 1));
    if (lines && plain) {
        for (size_t i = 0; i < n; ++i) plain[i] = static_cast<uint8_t>(text[i]) == 127 ? '\n' : text[i];
        plain[n] = 0;
        HtmlLineBreaks(plain, lines, n * kLineBreakMarkup + 1);
        HtmlAppend(lines, 0);
    }
    GuardedFree(lines);
    GuardedFree(plain);
    HtmlAppend(suffix, 0);
}

uint8_t LabelStyle(ObjectRecord* rec) { return reinterpret_cast<WebLabelTextRecord*>(rec)->style; }

void RenderLabel(ObjectRecord* rec) {
    const char* text = *TextField(rec) ? *TextField(rec) : "";
    switch (LabelStyle(rec)) {
    case kLtList: {
        HtmlReset();
        HtmlListItems(text, static_cast<uint32_t>(strlen(text)), rec->elementId);
        char sel[24], name[24];
        snprintf(sel, sizeof sel, "#C%u", rec->elementId);
        snprintf(name, sizeof name, "C%u", rec->elementId);
        WebViewSelectForObject(rec);
        JsonBeginAction(kActText);
        JsonAddStringNoConv("en", sel);
        // The name has the page wire the new items' clicks again.
        JsonAddStringNoConv("name", name);
        JsonAddStringZ("pv", gHtmlBuf.data ? gHtmlBuf.data : "");
        WebViewMsgEnd();
        return;
    }
    case kLtHeading:
        LinesMarkup("<h1>", text, "</h1>");
        break;
    case kLtBreaks:
        LinesMarkup("", text, "");
        break;
    case kLtAlertClose: {
        HtmlReset();
        HtmlAlertCloseButton(false);
        std::string close = gHtmlBuf.data ? gHtmlBuf.data : "";
        LinesMarkup(close.c_str(), text, "");
        break;
    }
    default:
        if (!HasLineEnds(text)) {
            WebSetElemHtml(rec, text, false, false);
            return;
        }
        LinesMarkup("", text, "");
        break;
    }
    WebSetElemText(rec, gHtmlBuf.data ? gHtmlBuf.data : "", false, false);
}

// Appearance a -> v of a label text with the theme classes.
void SwapLabelClasses(ObjectRecord* rec, uint8_t a, uint8_t v) {
    char oldClass[40], newClass[40];
    if (IsPlain(a) && IsAlert(v)) {
        WebChangeElemClass(rec, kPlainClass, AlertClass(v), false);
        WebSetElemCss(rec, "height", "auto", false);
        WebSetElemCss(rec, "background-color", "", false);
        if (IsColorClass(rec->bgColor)) {
            ColorClass(rec->bgColor, kClrFamBg, oldClass, sizeof oldClass);
            ColorClass(rec->bgColor, kClrFamAlert, newClass, sizeof newClass);
            WebChangeElemClass(rec, oldClass, newClass, false);
        }
    } else if (IsAlert(a) && IsPlain(v)) {
        WebChangeElemClass(rec, AlertClass(a), kPlainClass, false);
        char height[24];
        snprintf(height, sizeof height, "%dpx", rec->bottom - rec->top);
        WebSetElemCss(rec, "height", height, false);
        if (IsColorClass(rec->bgColor)) {
            ColorClass(rec->bgColor, kClrFamAlert, oldClass, sizeof oldClass);
            ColorClass(rec->bgColor, kClrFamBg, newClass, sizeof newClass);
            WebChangeElemClass(rec, oldClass, newClass, false);
        }
    } else if (IsAlert(a) && IsAlert(v)) {
        WebChangeElemClass(rec, AlertClass(a), AlertClass(v), false);
    }
}

int32_t SetAppearance(ObjectRecord* rec, int32_t value) {
    uint8_t a = LabelStyle(rec), v = static_cast<uint8_t>(value);
    if (a == v) return 0;
    reinterpret_cast<WebLabelTextRecord*>(rec)->style = v;
    if (IsPlain(a) && IsPlain(v)) {
        rec->appearance = v;
        rec->flags = v == kLtFlat ? (rec->flags | kObj3D) : (rec->flags & ~kObj3D);
        return 0;
    }
    if (gWebThemeClasses) SwapLabelClasses(rec, a, v);
    rec->appearance = v;
    RenderLabel(rec);
    return 0;
}

int32_t StoreText(ObjectRecord* rec, const char* text, uint32_t length, uint32_t limit, uint8_t* mnemonic,
                  bool useAltKey) {
    if (length > limit) length = limit;
    if (!WebTextReplace(TextField(rec), text ? text : "", text ? length : 0)) return kWebNoMemory;
    if (mnemonic) *mnemonic = useAltKey ? WebMnemonicOf(*TextField(rec)) : 0;
    return 0;
}

void SetUtf8Mode(ObjectRecord* rec, bool on) {
    rec->modeFlags = on ? (rec->modeFlags | kModeUtf8Texts) : (rec->modeFlags & ~kModeUtf8Texts);
}

ObjectRecord* Alloc(ObjectRecord* rec, uint8_t kind, size_t size, int32_t* code) {
    if (!rec) rec = ObjectAllocRecord(kind, size, true);
    if (!rec) *code = kWebNoMemory;
    return rec;
}

int32_t TextInto(const char* text) {
    snprintf(gTextBuf, kTextBufSize + 1, "%s", text ? text : "");
    return 0;
}

}  // namespace

// ---- Property handlers ----------------------------------------------------------------------

namespace {

// The fields the static text and the label text share, and the ids they
// answer alike: Alignment, Text (with its text-is-UTF-8 value) and UseAltKey.
struct SharedText {
    char** text;
    uint8_t* mnemonic;
    uint8_t* alignment;
    uint8_t* useAltKey;
};

SharedText SharedOf(ObjectRecord* rec) {
    if (rec->kind == kKindLabelText) {
        WebLabelTextRecord* l = reinterpret_cast<WebLabelTextRecord*>(rec);
        return SharedText{&l->text, &l->mnemonic, &l->alignment, &l->useAltKey};
    }
    WebStatTextRecord* s = reinterpret_cast<WebStatTextRecord*>(rec);
    return SharedText{&s->text, &s->mnemonic, &s->alignment, &s->useAltKey};
}

// kWebNotAvailable when the id is not one of the shared ones.
int32_t SharedSetProp(ObjectRecord* rec, uint32_t id, int32_t value, const char* text, uint32_t length, bool* write) {
    SharedText t = SharedOf(rec);
    switch (id) {
    case kPidAlignment: *t.alignment = AlignmentOf(value); *write = true; return 0;
    case kPidText:
        SetUtf8Mode(rec, value == kUtf8TextValue);
        return rec->kind == kKindLabelText ? WebLabelTextSetText(rec, 0, text, text ? length : 0)
                                           : WebStatTextSetText(rec, 0, text, text ? length : 0);
    case kPidUseAltKey:
        *t.useAltKey = value ? 1 : 0;
        *t.mnemonic = value ? WebMnemonicOf(*t.text) : 0;
        return 0;
    default: return kWebNotAvailable;
    }
}

int32_t SharedGetProp(ObjectRecord* rec, uint32_t id, int32_t* result, const char** text) {
    SharedText t = SharedOf(rec);
    switch (id) {
    case kPidAlignment: *result = *t.alignment; return 0;
    case kPidText: TextInto(*t.text); *text = gTextBuf; return 0;
    case kPidUseAltKey: *result = *t.useAltKey; return 0;
    default: return kWebNotAvailable;
    }
}

}  // namespace

int32_t WebStatTextSetProp(ObjectRecord* rec, uint32_t id, int32_t value, const char* text, uint32_t length,
                           bool* write) {
    *write = false;
    int32_t r = SharedSetProp(rec, id, value, text, length, write);
    if (r != kWebNotAvailable) return r;
    if (id == kPidBackStyle) {
        reinterpret_cast<WebStatTextRecord*>(rec)->backStyle = static_cast<uint8_t>(value);
        *write = true;
        return 0;
    }
    *write = true;
    return kWebNotAvailable;
}

int32_t WebStatTextGetProp(ObjectRecord* rec, uint32_t id, int32_t* result, const char** text) {
    if (id == kPidBackStyle) {
        *result = reinterpret_cast<WebStatTextRecord*>(rec)->backStyle;
        return 0;
    }
    return SharedGetProp(rec, id, result, text);
}

int32_t WebGroupBoxSetProp(ObjectRecord* rec, uint32_t id, int32_t value, const char* text, uint32_t length, bool* write) {
    *write = false;
    switch (id) {
    case kPidTitle: return WebGroupBoxSetText(rec, 0, text, text ? length : 0);
    case kPidBackStyle:
        reinterpret_cast<WebGroupBoxRecord*>(rec)->backStyle = static_cast<uint8_t>(value);
        *write = true;
        return 0;
    default: *write = true; return kWebNotAvailable;
    }
}

int32_t WebGroupBoxGetProp(ObjectRecord* rec, uint32_t id, int32_t* result, const char** text) {
    switch (id) {
    case kPidTitle: GroupBoxGetText(rec, 0); *text = gTextBuf; return 0;
    case kPidBackStyle: *result = reinterpret_cast<WebGroupBoxRecord*>(rec)->backStyle; return 0;
    default: return kWebNotAvailable;
    }
}

int32_t WebLabelTextSetProp(ObjectRecord* rec, uint32_t id, int32_t value, const char* text, uint32_t length,
                            bool* write) {
    WebLabelTextRecord* l = reinterpret_cast<WebLabelTextRecord*>(rec);
    *write = false;
    int32_t r = SharedSetProp(rec, id, value, text, length, write);
    if (r != kWebNotAvailable) return r;
    switch (id) {
    case kPidBgColor: {
        uint32_t old = rec->bgColor, now = static_cast<uint32_t>(value);
        if (IsAlert(LabelStyle(rec)) && (IsColorClass(old) || IsColorClass(now))) {
            char oldClass[40], newClass[40];
            WebSetElemCss(rec, "background-color", "", false);
            ColorClass(old, kClrFamAlert, oldClass, sizeof oldClass);
            ColorClass(now, kClrFamAlert, newClass, sizeof newClass);
            WebChangeElemClass(rec, oldClass[0] ? oldClass : nullptr, newClass[0] ? newClass : nullptr, false);
        }
        *write = true;
        return kWebNotAvailable;
    }
    case kPidWordWrap: l->wordWrap = value ? 1 : 0; *write = true; return 0;
    case kPidAppearance: return SetAppearance(rec, value);
    default: *write = true; return kWebNotAvailable;
    }
}

int32_t WebLabelTextGetProp(ObjectRecord* rec, uint32_t id, int32_t* result, const char** text) {
    WebLabelTextRecord* l = reinterpret_cast<WebLabelTextRecord*>(rec);
    switch (id) {
    case kPidWordWrap: *result = l->wordWrap; return 0;
    case kPidAppearance: *result = l->style; return 0;
    default: return SharedGetProp(rec, id, result, text);
    }
}

namespace {


}  // namespace

ObjectRecord* WebStatTextCreate(ObjectRecord*, ObjectRecord* rec, ObjectCreateRecord* cr, uint32_t, int32_t* code) {
    bool allocated = !rec;
    rec = Alloc(rec, kKindStatText, sizeof(WebStatTextRecord), code);
    if (!rec) return nullptr;
    WebStatTextRecord* s = reinterpret_cast<WebStatTextRecord*>(rec);
    rec->flags |= kObjAlive;
    if (cr->flags1 & kCr1Border) rec->flags |= kObjBorder;
    s->alignment = AlignmentOf(CreateRecordValue(cr, kPidAlignment, 0));
    s->backStyle = static_cast<uint8_t>(CreateRecordValue(cr, kPidBackStyle, 1));
    s->useAltKey = CreateRecordValue(cr, kPidUseAltKey, 0) ? 1 : 0;
    const CrText& t = cr->text.text ? cr->text : cr->title;
    if (StoreText(rec, t.text, t.length, kCaptionMax, &s->mnemonic, s->useAltKey) != 0) {
        return WebCreateRefused(rec, allocated, WebGroupBoxDestroy, code);
    }
    // The markup writes the creation's Text: a caption given as Title goes there too.
    if (!cr->text.text) cr->text = CrText{s->text, static_cast<uint32_t>(strlen(s->text))};
    return rec;
}

ObjectRecord* WebGroupBoxCreate(ObjectRecord*, ObjectRecord* rec, ObjectCreateRecord* cr, uint32_t, int32_t* code) {
    bool allocated = !rec;
    rec = Alloc(rec, kKindGroupBox, sizeof(WebGroupBoxRecord), code);
    if (!rec) return nullptr;
    reinterpret_cast<WebGroupBoxRecord*>(rec)->backStyle = static_cast<uint8_t>(CreateRecordValue(cr, kPidBackStyle, 1));
    const CrText& t = cr->title.text ? cr->title : cr->text;
    if (StoreText(rec, t.text, t.length, kCaptionMax, nullptr, false) != 0) {
        return WebCreateRefused(rec, allocated, WebGroupBoxDestroy, code);
    }
    return rec;
}

ObjectRecord* WebLabelTextCreate(ObjectRecord*, ObjectRecord* rec, ObjectCreateRecord* cr, uint32_t, int32_t* code) {
    bool allocated = !rec;
    rec = Alloc(rec, kKindLabelText, sizeof(WebLabelTextRecord), code);
    if (!rec) return nullptr;
    WebLabelTextRecord* l = reinterpret_cast<WebLabelTextRecord*>(rec);
    l->wordWrap = CreateRecordValue(cr, kPidWordWrap, 0) ? 1 : 0;
    if (cr->flags1 & kCr1Border) rec->flags |= kObjBorder;
    rec->tabId = 0;
    // The markup renders by the creation's style: the record keeps the same one.
    l->style = static_cast<uint8_t>(cr->appearance ? cr->appearance : cr->style);
    l->alignment = AlignmentOf(CreateRecordValue(cr, kPidAlignment, 0));
    l->useAltKey = CreateRecordValue(cr, kPidUseAltKey, 0) ? 1 : 0;
    const CrText& t = cr->text.text ? cr->text : cr->title;
    if (StoreText(rec, t.text, t.length, kLabelTextMax, &l->mnemonic, true) != 0) {
        return WebCreateRefused(rec, allocated, WebGroupBoxDestroy, code);
    }
    // The markup writes the creation's Text: a caption given as Title goes there too.
    if (t.length > kLabelTextMax || !cr->text.text) cr->text = CrText{l->text, static_cast<uint32_t>(strlen(l->text))};
    return rec;
}

// The three kinds read their text alike: the group box's reader serves them all.
int32_t WebStatTextGetText(ObjectRecord* rec, int32_t item) { return GroupBoxGetText(rec, item); }

int32_t WebStatTextSetText(ObjectRecord* rec, int32_t item, const char* text, uint32_t length) {
    if (item != 0) return 0;
    WebStatTextRecord* s = reinterpret_cast<WebStatTextRecord*>(rec);
    int32_t r = StoreText(rec, text, length, kTextBufSize, &s->mnemonic, s->useAltKey);
    if (r == 0) WebSetElemHtml(rec, s->text, false, false);
    return r;
}

int32_t GroupBoxGetText(ObjectRecord* rec, int32_t item) { return item == 0 ? TextInto(*TextField(rec)) : 0; }

int32_t WebGroupBoxSetText(ObjectRecord* rec, int32_t item, const char* text, uint32_t length) {
    if (item != 0) return 0;
    int32_t r = StoreText(rec, text, length, kTextBufSize, nullptr, false);
    if (r == 0) WebSetElemHtml(rec, *TextField(rec), false, true);
    return r;
}

int32_t WebLabelTextGetText(ObjectRecord* rec, int32_t item) { return GroupBoxGetText(rec, item); }

int32_t WebLabelTextSetText(ObjectRecord* rec, int32_t item, const char* text, uint32_t length) {
    if (item != 0) return 0;
    WebLabelTextRecord* l = reinterpret_cast<WebLabelTextRecord*>(rec);
    int32_t r = StoreText(rec, text, length, kTextBufSize, &l->mnemonic, true);
    if (r == 0) RenderLabel(rec);
    return r;
}

void WebGroupBoxDestroy(ObjectRecord* rec) {
    GuardedFree(*TextField(rec));
    *TextField(rec) = nullptr;
}

int32_t WebStatTextMethod(ObjectRecord*, MethodCallRec* call) {
    int32_t check = WebCheckMethod(call ? call->objectType : 0, call);
    return check != 0 ? check : kWebUnknownMethod;
}

// ---- The kinds' rows --------------------------------------------------------------------------

namespace {

constexpr int32_t kGroupLegendCut = 4;             // the legend's line sits inside the box

void MarkupStatText(HtmlMarkup& m) {
    HtmlPlainElement(m, "<p  ", ">");
    HtmlContent(m.cr->text);
    HtmlPut("</p>");
}

void MarkupGroupBox(HtmlMarkup& m) {
    ObjectCreateRecord* cr = m.cr;
    cr->bottom -= kGroupLegendCut;
    m.height -= kGroupLegendCut;
    HtmlPlainElement(m, "<fieldset ", "><legend id=\"C");
    HtmlAppendUInt(m.id);
    HtmlPut(gWebThemeClasses ? "L\" style=\"width: auto\">" : "L\">");
    HtmlContent(cr->title.text ? cr->title : cr->text);
    HtmlPut("</legend></fieldset>");
}

void MarkupLabel(HtmlMarkup& m) {
    ObjectCreateRecord* cr = m.cr;
    HtmlPut("<div  ");
    HtmlOpenId(m, false);
    HtmlWriteCommon(m);
    HtmlPut(">");
    const CrText& t = cr->text;
    switch (m.labelStyle) {
    case kLabelList:
        HtmlListItems(t.text, t.length, m.id);
        break;
    case kLabelHeading:
        HtmlPut("<h1>");
        HtmlContentBr(t);
        HtmlPut("</h1>");
        break;
    default:
        if (gWebThemeClasses && m.labelStyle == kLabelAlert) {
            HtmlContentBr(t);
        } else if (gWebThemeClasses && m.labelStyle == kLabelAlertClose) {
            HtmlAlertCloseButton(false);
            HtmlContentBr(t);
        } else {
            HtmlPut("<p>");
            HtmlContentBr(t);
            HtmlPut("</p>");
        }
        break;
    }
    HtmlPut("</div>");
}

// A label's Style chooses its element; a paragraph shows only its visibility,
// a heading keeps its size.
void MarkupLabelOp(HtmlMarkup& m) {
    m.labelStyle = m.cr->style;
    if (m.labelStyle == kLabelParagraph) m.classMode = kClassOnlyVisible;
    if (m.labelStyle == kLabelHeading && m.classMode == kClassFull) m.classMode = kClassSize;
    MarkupLabel(m);
}

// Every event of a list label comes from its rows (99982), so the page is
// asked once, whatever is registered, to leave the label itself unbound.
bool LabelAskEvent(ObjectRecord* rec, uint32_t) {
    WebLabelTextRecord* label = reinterpret_cast<WebLabelTextRecord*>(rec);
    if (label->style != kLtList) return false;
    if (label->clickAsked) return true;
    label->clickAsked = 1;
    WebViewSelectForObject(rec);
    JsonBeginAction(kActSubscribe);
    JsonAddName(rec);
    WebEventAddForm(rec);
    JsonAddInt("id", static_cast<int32_t>(rec->elementId));
    JsonAddInt("en", static_cast<int32_t>(kEvClick));
    JsonAddInt("lte", kWebEventOptionOn);
    WebViewMsgEnd();
    return true;
}

const WebKindOps kStatOps = {
    .create = WebStatTextCreate,
    .markup = MarkupStatText,
    .setProp = WebStatTextSetProp,
    .getProp = WebStatTextGetProp,
    .destroy = WebGroupBoxDestroy,
    .method = WebStatTextMethod,
    .getText = WebStatTextGetText,
    .setText = WebStatTextSetText,
    .defaultEvent = kEvMouseDown,
};

const WebKindOps kGroupOps = {
    .create = WebGroupBoxCreate,
    .markup = MarkupGroupBox,
    .setProp = WebGroupBoxSetProp,
    .getProp = WebGroupBoxGetProp,
    .destroy = WebGroupBoxDestroy,
    .getText = GroupBoxGetText,
    .setText = WebGroupBoxSetText,
    .defaultEvent = kEvMouseDown,
};

const WebKindOps kLabelOps = {
    .create = WebLabelTextCreate,
    .markup = MarkupLabelOp,
    .setProp = WebLabelTextSetProp,
    .getProp = WebLabelTextGetProp,
    .destroy = WebGroupBoxDestroy,
    .getText = WebLabelTextGetText,
    .setText = WebLabelTextSetText,
    .askEvent = LabelAskEvent,
    .defaultEvent = kEvMouseDown,
};

}  // namespace

void WebStaticInstall() {
    WebRegisterKind(kKindStatText, &kStatOps);
    WebRegisterKind(kKindGroupBox, &kGroupOps);
    WebRegisterKind(kKindLabelText, &kLabelOps);
}
