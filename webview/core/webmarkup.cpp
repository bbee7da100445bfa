// webmarkup.cpp - the HTML markup of every object kind: the opening element by
// kind, the common attributes, the class and style attributes by class mode,
// the inner controls of wrapper kinds, the closing part and content, and the
// constructor call the page script runs for the kinds it drives.
#include "webview/core/webmarkup.h"

#include <cstdio>
#include <cstring>

#include "objects/objrecord.h"
#include "objects/objtables.h"
#include "session/config.h"
#include "webview/core/webchannel.h"
#include "webview/core/weboptions.h"
#include "webview/core/webtext.h"

HtmlFontFacts gHtmlFont = {0, 0, 0, 0, kHtmlDefaultFontSize, 0, {0}};

namespace {

constexpr uint32_t kWhite = 0xFFFFFFu;
constexpr uint32_t kDialogGrey = 0xF0F0F0u;
constexpr uint32_t kSysBtnFace = 0x8000000Fu;
constexpr uint32_t kSysBtnText = 0x80000012u;
constexpr uint32_t kThemeColorBase = 0x80000100u;   // colours from here on are theme codes
constexpr uint32_t kColorInherit = 0xFFFFFFFFu;     // -1: not given
constexpr int32_t kIconSize = 32;
constexpr int32_t kSmallButtonHeight = 30;          // below this a button is " btn-sm"
constexpr int32_t kEditWidthFrame = 4;
constexpr int32_t kEditHeightFrame = 2;
constexpr int32_t kDateWidthCut = 35;               // a text date edit loses the picker's width
constexpr int32_t kDateWidthCutFrom = 40;
constexpr int32_t kDateInnerWidthCut = 32;
constexpr int32_t kDateThemedHeightFrom = 24;
constexpr int32_t kDateThemedHeightCut = 14;
constexpr int32_t kWindowExtraHeight = 70;          // title bar and frame of the page's windows
constexpr int32_t kWindowExtraWidth = 20;
constexpr uint32_t kTabLabelMax = 300;
constexpr uint32_t kCrProgressElement = 0x2;        // creation flag: the HTML progress element
constexpr uint32_t kCrProgressNoText = 0x1;         // creation flag: no percentage text
constexpr uint32_t kCrFormModal = 0x80000000u;
constexpr uint32_t kCrFormDialog = 0x40000000u;
constexpr uint32_t kFirstWindowId = 1;              // the first window's content takes the tab index 24

// Class modes, from the first character of WebClass.
enum ClassMode : int { kClassOnlyVisible = 0, kClassPosition = 1, kClassSize = 2, kClassFull = 3 };

enum LabelStyle : int32_t {
    kLabelList = 3, kLabelHeading = 4, kLabelParagraph = 5, kLabelAlert = 6, kLabelAlertClose = 7,
};
constexpr int32_t kButtonFile = 3;
constexpr int32_t kDateFormatWrapper = 3;
constexpr int32_t kDateFormatCustom = 4;

// Property ids the markup reads that the object model does not name.

// Everything one markup call works from.
struct Markup {
    uint32_t kind;
    uint32_t id;
    bool standalone;
    ObjectCreateRecord* cr;
    int classMode;
    CrText webClass;
    int32_t left, top, width, height;
    int32_t labelStyle;
};

void Html(const char* text) { HtmlAppend(text, 0); }
void Js(const char* text) { JsAppend(text, 0); }
void HtmlN(const char* text, uint32_t length) {
    if (text && length) HtmlAppend(text, length);
}
void JsInt(int32_t value) {
    char num[16];
    snprintf(num, sizeof num, "%d", value);
    Js(num);
}

int32_t Value(const ObjectCreateRecord* cr, uint32_t id, int32_t def) { return CreateRecordValue(cr, id, def); }
CrText Text(const ObjectCreateRecord* cr, uint32_t id) { return CreateRecordText(cr, id); }
bool Given(const ObjectCreateRecord* cr, uint32_t id) { return id <= kPropIdLast && cr->given[id]; }

uint32_t ColorOf(const CrColor& c) {
    return c.object ? ColorObjectValue(c.object) : static_cast<uint32_t>(c.value);
}

bool Accepts(uint32_t kind, uint32_t id) { return KindHasProp(kind, id); }
bool AcceptsFont(uint32_t kind, uint32_t id) { return KindHasProp(kind, id) || KindHasProp(kind, kPidFont); }

bool IsThemeCode(uint32_t color) { return color >= kThemeColorBase && color != kColorInherit; }

// Whether a colour property writes its style piece: not given (-1) never; with
// theme classes the colours the style sheet already gives, and theme codes
// (they become classes), are left out.
bool ColorPieceWanted(uint32_t propId, uint32_t color) {
    if (color == kColorInherit) return false;
    if (!gWebThemeClasses) return true;
    if (IsThemeCode(color)) return false;
    switch (propId) {
    case kPidBgColor: return color != kWhite && color != kDialogGrey && color != kSysBtnFace;
    case kPidFgColor: return color != 0 && color != kSysBtnText;
    case kPidBdrColor: return color != 0;
    default: return true;
    }
}

// The CSS text a geometry property was given as, when it was.
CrText GeometryText(const ObjectCreateRecord* cr, uint32_t propId) {
    switch (propId) {
    case kPidHeight: return cr->webHeight;
    case kPidWidth: return cr->webWidth;
    case kPidTop: return cr->webTop;
    case kPidLeft: return cr->webLeft;
    default: return CrText{nullptr, 0};
    }
}

int32_t GeometryPixels(const ObjectCreateRecord* cr, uint32_t propId) {
    switch (propId) {
    case kPidHeight: return cr->bottom - cr->top;
    case kPidWidth: return cr->right - cr->left;
    case kPidTop: return cr->top;
    default: return cr->left;
    }
}

void GeometryPiece(const char* head, const ObjectCreateRecord* cr, uint32_t propId) {
    Html(head);
    CrText css = GeometryText(cr, propId);
    if (css.text && css.length) {
        HtmlAppendAttr(css.text, css.length);
        return;
    }
    HtmlAppendInt(GeometryPixels(cr, propId));
    Html("px");
}

void SizePiece(uint32_t tenths) {
    char num[24];
    if (tenths % 10) snprintf(num, sizeof num, "%u.%u", tenths / 10, tenths % 10);
    else snprintf(num, sizeof num, "%u", tenths / 10);
    Html("; font-size: ");
    Html(num);
    Html("pt ");
}

// Class tokens joined by single blanks.
struct ClassList {
    bool any;
};
void ClassAdd(ClassList* list, const char* token) {
    if (!token || !*token) return;
    if (list->any) Html(" ");
    Html(token);
    list->any = true;
}

}  // namespace

// ---- Font facts ----------------------------------------------------------------------

void HtmlSetFont(uint8_t bold, uint8_t italic, uint32_t size, uint32_t faceLength, const char* face,
                 uint8_t underline, uint8_t strike, uint16_t angle) {
    gHtmlFont.bold = bold;
    gHtmlFont.italic = italic;
    gHtmlFont.size = size;
    gHtmlFont.underline = underline;
    gHtmlFont.strike = strike;
    gHtmlFont.angle = angle;
    uint32_t n = face ? faceLength : 0;
    if (n >= sizeof gHtmlFont.face) n = sizeof gHtmlFont.face - 1;
    if (n) memcpy(gHtmlFont.face, face, n);
    gHtmlFont.face[n] = 0;
}

void HtmlResetFont() { HtmlSetFont(0, 0, kHtmlDefaultFontSize, 0, nullptr, 0, 0, 0); }

// ---- Escaping ------------------------------------------------------------------------

void HtmlAppendAttr(const char* text, uint32_t length) {
    if (!text) return;
    uint32_t start = 0;
    for (uint32_t i = 0; i < length; ++i) {
        const char* ref = nullptr;
        switch (text[i]) {
        case '&': ref = "&amp;"; break;
        case '<': ref = "&lt;"; break;
        case '>': ref = "&gt;"; break;
        case '"': ref = "&quot;"; break;
        case '\'': ref = "&#39;"; break;
        default: break;
        }
        if (!ref) continue;
        HtmlN(text + start, i - start);
        Html(ref);
        start = i + 1;
    }
    HtmlN(text + start, length - start);
}

void JsAppendLiteral(const char* text, uint32_t length) {
    if (!text) return;
    uint32_t start = 0;
    for (uint32_t i = 0; i < length; ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        char esc[8] = {0};
        if (c == '\\' || c == '"' || c == '\'') {
            esc[0] = '\\';
            esc[1] = static_cast<char>(c);
        } else if (c == '\n') {
            strcpy(esc, "\\n");
        } else if (c == '\r') {
            strcpy(esc, "\\r");
        } else if (c < 0x20 || c == 0x7F) {
            snprintf(esc, sizeof esc, "\\x%02x", c);
        } else if (c == '/' && i > 0 && text[i - 1] == '<') {
            strcpy(esc, "\\/");
        } else {
            continue;
        }
        if (i > start) JsAppend(text + start, i - start);
        Js(esc);
        start = i + 1;
    }
    if (length > start) JsAppend(text + start, length - start);
}

// An attribute text escaped for the page and then put in a script literal.
static void JsAppendAttrLiteral(const char* text, uint32_t length) {
    TextBuf saved = gHtmlBuf;
    gHtmlBuf = TextBuf{nullptr, 0, 0, false};
    HtmlAppendAttr(text, length);
    if (gHtmlBuf.data) JsAppendLiteral(gHtmlBuf.data, gHtmlBuf.length);
    TextBufFree(&gHtmlBuf);
    gHtmlBuf = saved;
}

// ---- Building blocks -----------------------------------------------------------------

const char* HtmlInputType(int32_t code) {
    static const char* const kTypes[] = {
        "text", "color", "date", "datetime-local", "email", "month", "number", "password",
        "search", "tel", "text", "time", "url", "week",
    };
    return code >= 0 && code < static_cast<int32_t>(sizeof kTypes / sizeof kTypes[0]) ? kTypes[code] : "text";
}

const char* HtmlScrollClass(int32_t scrollBar) {
    switch (scrollBar) {
    case 1: return "sb1";
    case 2: return "sb2";
    case 4: return "sb4";
    default: return "sb3";
    }
}

const char* HtmlWinBorderClass(int32_t winBorder) {
    static const char* const kClasses[] = {"wb0", "wb1", "wb2", "wb3", "wb4", "wb5", "wb6", "wb7"};
    return winBorder >= 1 && winBorder <= 8 ? kClasses[winBorder - 1] : "wb2";
}

const char* HtmlWinPosClass(int32_t winPos) {
    static const char* const kClasses[] = {"wp0", "wp1", "wp2", "wp3", "wp4", "wp5", "wp6"};
    return winPos >= 0 && winPos <= 6 ? kClasses[winPos] : "wp0";
}

void HtmlPositionStyle(int32_t webPosition) {
    Html("\" style=\"");
    switch (webPosition) {
    case 1: Html("position: static"); break;
    case 2: Html("position: relative"); break;
    case 3: Html("position: fixed"); break;
    default: Html("position: absolute"); break;
    }
}

void HtmlColorClassText(uint32_t code, int family, char* out, size_t outSize) {
    static const char* const kFamilies[] = {"bg-", "btn-", "btn-outline-", "table-", "alert-",
                                            "list-group-item-", "text-", "border-"};
    static const char* const kColors[] = {"secondary", "danger", "dark", "info", "light",
                                          "primary", "secondary", "success", "warning"};
    uint32_t fallback = WebDefaultThemeColor();
    if ((code == 0 || code > 8) && fallback >= 1 && fallback <= 8) code = fallback;
    if (code > 8) code = 0;
    snprintf(out, outSize, "%s%s", family >= 0 && family <= kClrFamBorder ? kFamilies[family] : kFamilies[0],
             kColors[code]);
}

void HtmlColorClass(uint32_t code, int family, bool leadingBlank) {
    char name[32];
    HtmlColorClassText(code, family, name, sizeof name);
    if (leadingBlank) Html(" ");
    Html(name);
}

void HtmlAlertClass(int32_t labelStyle) {
    Html(" alert");
    if (labelStyle == kLabelAlertClose) Html(" alert alert-dismissible fade show");
}

void HtmlAlertCloseButton(bool dark) {
    Html("<button type='button' class='btn-close ");
    if (dark) Html("btn-close-white");
    Html("' data-bs-dismiss='alert'></button>");
}

void HtmlListItems(const char* text, uint32_t length, uint32_t id) {
    Html("<ul>");
    uint32_t item = 1;
    uint32_t i = 0;
    while (text && i <= length) {
        uint32_t start = i;
        while (i < length && text[i] != '|' && text[i] != '\r' && text[i] != '\n') ++i;
        Html("<li id=\"C");
        HtmlAppendUInt(id);
        Html("R");
        HtmlAppendUInt(item++);
        Html("\">");
        HtmlN(text + start, i - start);
        Html("</li>");
        if (i >= length) break;
        if (text[i] == '\r' && i + 1 < length && text[i + 1] == '\n') ++i;
        ++i;
        if (i == length) break;   // a separator at the very end starts no item
    }
    Html("</ul>");
}

void HtmlSelectOptions(const char* text, uint32_t length, bool skipFirst) {
    if (!text) return;
    uint32_t i = 0;
    bool first = true;
    while (i < length) {
        uint32_t start = i;
        while (i < length && text[i] != ';') ++i;
        uint32_t end = i;
        bool last = i >= length;
        ++i;
        if (first && skipFirst) {
            first = false;
            continue;
        }
        first = false;
        if (last && end == start) break;   // an empty last item is not written
        Html("<option>");
        bool prevBlank = false;
        for (uint32_t k = start; k < end; ++k) {
            char c = text[k];
            if (skipFirst) {
                // Menu text: "&&" and "//" are the characters themselves; a
                // single mark, a single '/' and ')' are dropped.
                if ((c == '&' || c == '/') && k + 1 < end && text[k + 1] == c) {
                    HtmlAppendAttr(&c, 1);
                    ++k;
                    prevBlank = false;
                    continue;
                }
                if (c == '&' || c == '/' || c == ')') continue;
            }
            if (c == ' ' && prevBlank) {
                Html("&nbsp;");
                continue;
            }
            prevBlank = c == ' ';
            // An item is text, as the page's later option changes set it:
            // its markup characters are written as references.
            HtmlAppendAttr(&c, 1);
        }
        Html("</option>");
    }
}

void HtmlTabList(const char* labels, uint32_t length, uint32_t id) {
    char idText[16];
    snprintf(idText, sizeof idText, "%u", id);
    Html("<ul>");
    uint32_t i = 0;
    uint32_t tab = 1;
    while (labels && i < length) {
        uint32_t start = i;
        while (i < length && labels[i] != ';') ++i;
        Html("<li><a href=\"#C");
        Html(idText);
        Html("-");
        HtmlAppendUInt(tab++);
        Html("\">");
        uint32_t written = 0;
        for (uint32_t k = start; k < i && written < kTabLabelMax; ++k, ++written) {
            if (labels[k] == '&' && k + 1 < i && labels[k + 1] == '&') ++k;
            HtmlN(&labels[k], 1);
        }
        Html("</a></li>");
        ++i;
    }
    Html("</ul><div id=\"C");
    Html(idText);
    Html("-1\"></div>");
}

static CrText ImageSource(const ObjectCreateRecord* cr) {
    CrText src = Text(cr, kPidUrlSource);
    if (!src.text || !src.length) src = Text(cr, kPidPicture);
    if (src.text && src.length && src.text[0] == '!') {
        src.text++;
        src.length--;
    }
    return src;
}

void HtmlImage(const ObjectCreateRecord* cr, uint32_t id, int32_t height, int32_t width) {
    CrText src = ImageSource(cr);
    CrText alt = Text(cr, kPidAltText);
    if (!alt.text || !alt.length) alt = src;
    Html("<img alt=\"");
    HtmlAppendAttr(alt.text, alt.length);
    Html("\" src=\"");
    HtmlAppendAttr(src.text, src.length);
    if (height > 0) {
        Html("\" height=\"");
        HtmlAppendInt(height);
    }
    if (width > 0) {
        Html("\" width=\"");
        HtmlAppendInt(width);
    }
    Html("\" id=\"C");
    HtmlAppendUInt(id);
    Html("\">");
}

// ---- Style pieces --------------------------------------------------------------------

static bool StylePieceSkipped(uint32_t kind, uint32_t propId, const ObjectCreateRecord* cr) {
    if (!gWebThemeClasses) return false;
    if (propId == kPidSize) return gHtmlFont.size == kHtmlDefaultFontSize && kind != kKindGroupBox;
    if (propId == kPidHeight) {
        if (kind == kKindComboBox) return true;
        int32_t style = cr->style;
        return kind == kKindLabelText && (style == kLabelAlert || style == kLabelAlertClose);
    }
    return false;
}

void HtmlObjectStyle(uint32_t kind, uint32_t propId, const ObjectCreateRecord* cr) {
    bool font = propId == kPidBold || propId == kPidItalic || propId == kPidFontName || propId == kPidSize ||
                propId == kPidUnderline || propId == kPidStrike;
    if (font ? !AcceptsFont(kind, propId) : !Accepts(kind, propId)) return;
    if (StylePieceSkipped(kind, propId, cr)) return;
    switch (propId) {
    case kPidAlignment: {
        int32_t a = Value(cr, kPidAlignment, 0);
        if (a == 1) Html("; text-align: right; padding-right: 2px;");
        else if (a == 2) Html("; text-align: center");
        else Html("; padding-left: 2px;");
        break;
    }
    case kPidBgColor:
    case kPidBdrColor:
    case kPidFgColor: {
        const CrColor& c = propId == kPidBgColor ? cr->bgColor : propId == kPidBdrColor ? cr->bdrColor : cr->fgColor;
        uint32_t color = ColorOf(c);
        if (!ColorPieceWanted(propId, color)) return;
        Html(propId == kPidBgColor ? "; background-color: " : propId == kPidBdrColor ? "; border-color: " : "; color: ");
        HtmlAppendColor(color);
        break;
    }
    case kPidEnabled:
        if (cr->flags0 & kCrDisabled) Html("\" disabled=\"disabled");
        break;
    case kPidBold:
        if (gHtmlFont.bold) Html("; font-weight: bold");
        break;
    case kPidItalic:
        if (gHtmlFont.italic) Html("; font-style: italic");
        break;
    case kPidFontName:
        if (gHtmlFont.face[0] && strcmp(gHtmlFont.face, "MS Sans Serif") != 0) {
            Html("; font-family: ");
            HtmlAppendAttr(gHtmlFont.face, static_cast<uint32_t>(strlen(gHtmlFont.face)));
        }
        break;
    case kPidSize:
        if (gHtmlFont.size) SizePiece(gHtmlFont.size);
        break;
    case kPidUnderline:
        if (gHtmlFont.underline) Html("; text-decoration: underline");
        break;
    case kPidStrike:
        if (gHtmlFont.strike) Html("; text-decoration: line-through");
        break;
    case kPidHeight: GeometryPiece("; height: ", cr, propId); break;
    case kPidWidth: GeometryPiece("; width: ", cr, propId); break;
    case kPidTop: GeometryPiece("; top: ", cr, propId); break;
    case kPidLeft: GeometryPiece("; left: ", cr, propId); break;
    case kPidMaxChars: {
        int32_t n = Value(cr, kPidMaxChars, 0);
        if (n > 0) {
            Html("maxlength=\"");
            HtmlAppendInt(n);
            Html("\" ");
        }
        break;
    }
    case kPidStatic:
    case kPidReadOnly:
        if (Value(cr, propId, 0)) Html("\" readonly=\"readonly");
        break;
    case kPidTabId:
        Html("\" tabindex=\"100");
        break;
    case kPidVisible:
        if (!(cr->flags0 & kCrVisible)) Html("; display:none");
        break;
    case kPidMultiSelect:
        if (Value(cr, kPidMultiSelect, 0)) Html(" multiple");
        break;
    case kPidZOrder:
        Html("; z-index: ");
        HtmlAppendUInt(cr->zOrder);
        break;
    case kPidToolTip:
        if (cr->toolTip.text && cr->toolTip.length) {
            Html("\" title=\"");
            HtmlAppendAttr(cr->toolTip.text, cr->toolTip.length);
        }
        break;
    case kPidCueText: {
        CrText cue = Text(cr, kPidCueText);
        if (cue.text && cue.length) {
            Html(" placeholder=\"");
            HtmlAppendAttr(cue.text, cue.length);
            Html("\"");
        }
        break;
    }
    default:
        break;
    }
}

// ---- The markup ----------------------------------------------------------------------

int32_t WebWinTypeEffective(int32_t winType) {
    switch (winType) {
    case 8: return 1;
    case 9: return 2;
    case 10: return 4;
    case 11: return 5;
    default: return winType >= 1 && winType <= 7 ? winType : 5;
    }
}

static bool IsWrapperKind(const Markup& m) {
    switch (m.kind) {
    case kKindCheckBox: case kKindRadio: case kKindPict: case kKindIcon: case kKindSlider: case kKindEditNumber:
        return true;
    case kKindEditDateTime:
        return Value(m.cr, kPidFormat, 0) == kDateFormatWrapper;
    default:
        return false;
    }
}

static bool ProgressAsElement(const Markup& m) { return (m.cr->flags1 & kCrProgressElement) != 0; }
static bool ProgressThemed(const Markup& m) {
    return !ProgressAsElement(m) && gWebThemeClasses && (WebStyleOptions() & kWebStyleThemedProgress);
}

static void ThemeColorClasses(const Markup& m, bool fg, bool bg, bool bdr) {
    if (!gWebThemeClasses) return;
    uint32_t f = ColorOf(m.cr->fgColor), b = ColorOf(m.cr->bgColor), d = ColorOf(m.cr->bdrColor);
    if (fg && Accepts(m.kind, kPidFgColor) && IsThemeCode(f)) HtmlColorClass(f - kThemeColorBase, kClrFamText, true);
    if (bg && Accepts(m.kind, kPidBgColor) && IsThemeCode(b)) {
        HtmlColorClass(b - kThemeColorBase, kClrFamBg, true);
        if (WebStyleOptions() & kWebStyleGradient) Html(" bg-gradient");
    }
    if (bdr && Accepts(m.kind, kPidBdrColor) && IsThemeCode(d)) HtmlColorClass(d - kThemeColorBase, kClrFamBorder, true);
}

static const char* AppearanceClass(int32_t value) {
    switch (value) {
    case 1: return "bs1";
    case 3: return "bs3";
    case 4: return "bs4";
    default: return "bs2";
    }
}

// Step 1 and 2: the class attribute's tokens.
static void WriteClasses(const Markup& m) {
    Html("\" class=\"");
    ClassList list = {false};
    const ObjectCreateRecord* cr = m.cr;
    if (m.kind == kKindLabelText && m.labelStyle == kLabelParagraph) ClassAdd(&list, "ltp");
    if (m.kind == kKindLabelText && m.labelStyle == kLabelHeading) ClassAdd(&list, "lth");
    if (m.classMode == kClassFull) {
        int32_t look = Given(cr, kPidAppearance) ? cr->appearance : cr->style;
        bool border = (cr->flags1 & kCr1Border) != 0;
        if (Accepts(m.kind, kPidBorder)) {
            if (m.kind == kKindSlider) ClassAdd(&list, border ? "slbs1" : "slbs0");
            else if (!border) ClassAdd(&list, "bs0");
            else if (!Accepts(m.kind, kPidStyle) && !Accepts(m.kind, kPidAppearance)) ClassAdd(&list, "bs2");
            else ClassAdd(&list, AppearanceClass(look));
        } else if (Accepts(m.kind, kPidStyle)) {
            ClassAdd(&list, AppearanceClass(look));
        }
        uint32_t before = gHtmlBuf.length;
        ThemeColorClasses(m, true, true, true);
        if (gHtmlBuf.length != before) list.any = true;
        switch (m.kind) {
        case kKindButton:
            if (!gWebThemeClasses) break;
            ClassAdd(&list, "btn");
            HtmlColorClass(static_cast<uint32_t>(cr->context),
                           Value(cr, kPidButtonState, 0) == 1 ? kClrFamBtnOutline : kClrFamBtn, true);
            if (m.height < kSmallButtonHeight) Html(" btn-sm");
            break;
        case kKindCheckBox:
        case kKindRadio:
            if (!gWebThemeClasses) break;
            ClassAdd(&list, "form-check");
            if (Value(cr, kPidSwitch, 0)) Html(" form-switch");
            break;
        case kKindComboBox:
            if (gWebThemeClasses) ClassAdd(&list, "form-select form-select-sm");
            break;
        case kKindEditDateTime:
            if (gWebThemeClasses) ClassAdd(&list, "bs1");
            break;
        case kKindProgress:
            if (ProgressThemed(m)) ClassAdd(&list, "progress");
            break;
        default:
            break;
        }
        switch (m.kind) {
        case kKindEditText:
            ClassAdd(&list, HtmlScrollClass(cr->scrollBar));
            ClassAdd(&list, Value(cr, kPidWordWrap, 0) ? "ww1" : "ww0");
            break;
        case kKindPict: ClassAdd(&list, HtmlScrollClass(cr->scrollBar)); break;
        case kKindLabelText:
            if (gWebThemeClasses && (m.labelStyle == kLabelAlert || m.labelStyle == kLabelAlertClose)) {
                if (list.any) Html(" ");
                list.any = true;
                HtmlAlertClass(m.labelStyle);
                if (m.labelStyle == kLabelAlert || m.labelStyle == kLabelAlertClose) {
                    // The alert's colour: the Context of the label.
                    HtmlColorClass(static_cast<uint32_t>(cr->context), kClrFamAlert, true);
                }
            } else {
                ClassAdd(&list, m.labelStyle == kLabelList ? "ltl" : "lt");
            }
            break;
        case kKindStatusBar: ClassAdd(&list, "qovsb"); break;
        case kKindToolBar: ClassAdd(&list, "qovtb"); break;
        case kKindHtmlControl: ClassAdd(&list, "qovho"); break;
        case kKindStatText: ClassAdd(&list, "st"); break;
        case kKindSlider: ClassAdd(&list, Value(cr, kPidOrientation, 0) == 1 ? "slv" : "slh"); break;
        case kKindListView: ClassAdd(&list, "lv"); break;
        case kKindTreeView: ClassAdd(&list, "treev"); break;
        case kKindDataList: ClassAdd(&list, "dlv"); break;
        case kKindSplitter:
            ClassAdd(&list, "pp");
            ClassAdd(&list, Value(cr, kPidOrientation, 0) == 1 ? "pb3" : "pb2");
            break;
        default: break;
        }
    }
    if (m.webClass.text && m.webClass.length) {
        if (list.any) Html(" ");
        HtmlAppendAttr(m.webClass.text, m.webClass.length);
    }
}

static bool WholeWidthBar(const Markup& m) {
    if (m.kind != kKindToolBar && m.kind != kKindStatusBar) return false;
    int32_t dock = m.cr->dock;
    return dock != kDockLeft && dock != kDockNone && dock != kDockRight;
}

static void PositionPieces(const Markup& m) {
    HtmlObjectStyle(m.kind, kPidLeft, m.cr);
    HtmlObjectStyle(m.kind, kPidTop, m.cr);
}

static void SizePieces(const Markup& m) {
    if (WholeWidthBar(m)) {
        Html("; width: 100%");
        if (m.kind == kKindStatusBar) HtmlObjectStyle(m.kind, kPidHeight, m.cr);
        return;
    }
    HtmlObjectStyle(m.kind, kPidHeight, m.cr);
    HtmlObjectStyle(m.kind, kPidWidth, m.cr);
}

static void ZOrderPiece(const Markup& m) {
    if (m.cr->zOrder > 0) HtmlObjectStyle(m.kind, kPidZOrder, m.cr);
}

// Step 3: the style attribute (its closing quote comes with step 4).
static void WriteStyle(const Markup& m) {
    const ObjectCreateRecord* cr = m.cr;
    if (m.classMode == kClassOnlyVisible) {
        Html("\" style=\"");
        HtmlObjectStyle(m.kind, kPidVisible, cr);
        ZOrderPiece(m);
        return;
    }
    HtmlPositionStyle(cr->webPosition);
    HtmlObjectStyle(m.kind, kPidVisible, cr);
    PositionPieces(m);
    if (m.classMode == kClassPosition) {
        ZOrderPiece(m);
        return;
    }
    SizePieces(m);
    if (m.classMode == kClassSize) {
        ZOrderPiece(m);
        return;
    }
    if (m.kind == kKindMRegion) Html("; opacity:0");
    if (m.kind == kKindEditText) {
        Html("; resize: none");
        int32_t editType = Value(cr, kPidEditType, 0);
        if (editType == 4) Html("; text-transform: lowercase");
        else if (editType == 5) Html("; text-transform: uppercase");
    }
    if (m.kind == kKindLine || m.kind == kKindShape) {
        ZOrderPiece(m);
        return;
    }
    HtmlObjectStyle(m.kind, kPidBdrColor, cr);
    HtmlObjectStyle(m.kind, kPidBgColor, cr);
    HtmlObjectStyle(m.kind, kPidFgColor, cr);
    ZOrderPiece(m);
    HtmlObjectStyle(m.kind, kPidAlignment, cr);
    HtmlObjectStyle(m.kind, kPidBold, cr);
    HtmlObjectStyle(m.kind, kPidItalic, cr);
    HtmlObjectStyle(m.kind, kPidUnderline, cr);
    HtmlObjectStyle(m.kind, kPidStrike, cr);
    HtmlObjectStyle(m.kind, kPidFontName, cr);
    HtmlObjectStyle(m.kind, kPidSize, cr);
}

// Step 4: the inner controls of wrapper kinds and the line heights.
static void WriteInner(const Markup& m) {
    const ObjectCreateRecord* cr = m.cr;
    switch (m.kind) {
    case kKindEditNumber:
        Html("\"><input type=\"text\" id=\"C");
        HtmlAppendUInt(m.id);
        if (cr->text.text && cr->text.length) {
            Html("\" value=\"");
            HtmlAppendAttr(cr->text.text, cr->text.length);
            Html(" ");
        }
        Html("\" class=\"bs0 ");
        HtmlObjectStyle(m.kind, kPidTabId, cr);
        Html("\" style=\"line-height: ");
        HtmlAppendInt(m.height);
        Html("px");
        break;
    case kKindEditDateTime:
        if (Value(cr, kPidFormat, 0) != kDateFormatWrapper) break;
        {
            int32_t lineHeight = m.height;
            if (gWebThemeClasses && lineHeight >= kDateThemedHeightFrom) lineHeight -= kDateThemedHeightCut;
            Html("\"><input  id=\"C");
            HtmlAppendUInt(m.id);
            HtmlObjectStyle(m.kind, kPidTabId, cr);
            Html("\" style=\"line-height: ");
            HtmlAppendInt(lineHeight);
            Html("px");
            HtmlObjectStyle(m.kind, kPidHeight, cr);
            Html("; width: ");
            HtmlAppendInt(m.width - kDateInnerWidthCut);
            Html("px");
        }
        break;
    case kKindProgress:
        if (!ProgressAsElement(m) && !ProgressThemed(m)) {
            Html("\"><div class=\"progress-label\" id=\"C");
            HtmlAppendUInt(m.id);
        }
        break;
    case kKindStatText:
    case kKindRadio:
    case kKindCheckBox:
    case kKindStatusBar:
        if (m.classMode != kClassFull) break;
        Html("; line-height: ");
        HtmlAppendInt(m.height);
        Html("px");
        if (gWebThemeClasses && (m.kind == kKindCheckBox || m.kind == kKindRadio)) Html("; overflow: hidden");
        break;
    default:
        break;
    }
    Html("\"");
}

static bool TabIndexOnOpening(const Markup& m) {
    if (m.kind == kKindToolBar) return false;
    if (IsWrapperKind(m) && m.kind != kKindEditDateTime) return false;
    return true;
}

// The common part after the id: attributes, classes, tab index, style, inner.
static void WriteCommon(const Markup& m) {
    HtmlObjectStyle(m.kind, kPidEnabled, m.cr);
    HtmlObjectStyle(m.kind, kPidToolTip, m.cr);
    HtmlObjectStyle(m.kind, kPidReadOnly, m.cr);
    HtmlObjectStyle(m.kind, kPidStatic, m.cr);
    WriteClasses(m);
    if (TabIndexOnOpening(m) && !(m.kind == kKindEditDateTime && IsWrapperKind(m)))
        HtmlObjectStyle(m.kind, kPidTabId, m.cr);
    WriteStyle(m);
    WriteInner(m);
}

static void OpenId(const Markup& m, bool wrapper) {
    Html("id=\"C");
    HtmlAppendUInt(m.id);
    if (wrapper) Html("D");
}

// Script constructor helpers: `Name( { id: "C<id>"` ... ` } );`
static void JsOpen(const char* name, uint32_t id) {
    Js(name);
    Js("( { id: \"C");
    JsAppendUInt(id);
    Js("\"");
}
static void JsMember(const char* head, int32_t value) {
    Js(head);
    JsInt(value);
}
static void JsFlag(const char* text, bool on) {
    if (on) Js(text);
}
static void JsText(const char* head, const char* text, uint32_t length) {
    Js(head);
    JsAppendLiteral(text, length);
    Js("\"");
}
static void JsClose() { Js(" } );"); }

// Creation texts are counted, not NUL-terminated: an empty one writes nothing
// (the writers would measure a length of 0 up to a NUL).
static void TextContent(const CrText& t) {
    if (t.text && t.length) HtmlAppendText(t.text, t.length);
}
static void TextContentBr(const CrText& t) {
    if (t.text && t.length) HtmlAppendTextBr(t.text, t.length);
}

// ---- Kinds -----------------------------------------------------------------------------

static void MarkupWindow(const Markup& m) {
    ObjectCreateRecord* cr = m.cr;
    int32_t type = WebWinTypeEffective(cr->winType);
    bool dialog = type == 1 || type == 2;
    Html("<div id=\"C");
    HtmlAppendUInt(m.id);
    Html("\" class=\"qovfrm ");
    if (dialog) {
        Html("md0 ");
    } else {
        Html(HtmlWinPosClass(cr->winPos));
        Html(" ");
    }
    Html(HtmlWinBorderClass(cr->winBorder));
    Html(" ");
    if (cr->winType >= 8 && cr->winType <= 11) {
        Html("ce");
        HtmlAppendInt(cr->winType);
        Html(" ");
    }
    Html("\" style=\"position: relative");
    HtmlObjectStyle(m.kind, kPidVisible, cr);
    HtmlObjectStyle(m.kind, kPidHeight, cr);
    HtmlObjectStyle(m.kind, kPidWidth, cr);
    Html("\"> <div id=\"C");
    HtmlAppendUInt(m.id);
    Html("N\" class=\"fmenu\"></div><div id=\"C");
    HtmlAppendUInt(m.id);
    Html("D");
    if (m.webClass.text && m.webClass.length) {
        Html("\" class=\"");
        HtmlAppendAttr(m.webClass.text, m.webClass.length);
    }
    if (m.id == kFirstWindowId) Html("\" tabindex=\"24");
    Html("\">");
    if (!m.standalone) Html("</div></div>");

    int32_t height = cr->bottom - cr->top, width = cr->right - cr->left;
    JsOpen(dialog ? "QovDlg" : "QovFrm", m.id);
    JsMember(", h: ", height + kWindowExtraHeight);
    JsMember(", w: ", width + kWindowExtraWidth);
    if (dialog) {
        Js(type == 1 ? ", mod: true" : ", mod: false");
        int32_t b = cr->winBorder;
        Js(b == 4 || b == 6 || b == 8 ? ", res: true" : ", res: false");
        Js(", bgc: \"");
        uint32_t bg = ColorOf(cr->bgColor);
        if (bg != kColorInherit) JsAppendColor(bg);
        Js("\"");
    } else if (type == 5) {
        Js(", rsz: true");
    }
    JsText(", tl: \"", cr->title.text, cr->title.length);
    JsClose();
    if (cr->useCss.text && cr->useCss.length && WebTextIsNew(cr->useCss.text, cr->useCss.length)) {
        Js("$('head').append('<link rel=\"stylesheet\" href=\"");
        JsAppendAttrLiteral(cr->useCss.text, cr->useCss.length);
        Js("\" type=\"text/css\" />');");
    }
}

static void MarkupButton(const Markup& m) {
    ObjectCreateRecord* cr = m.cr;
    if (cr->buttonType == kButtonFile) {
        if (m.standalone) {
            Html("<input type=\"file\" ");
        } else {
            Html("<input type=\"file\" onchange=\"qovWebNamespace.fileEvt('C");
            HtmlAppendUInt(m.id);
            Html("F')\" id=\"C");
            HtmlAppendUInt(m.id);
            Html("F\" style=\"visibility: hidden; width: 1px; height: 1px\" />");
            Html("<button onclick=\"document.getElementById('C");
            HtmlAppendUInt(m.id);
            Html("F').click(); return false\" ");
        }
    } else {
        Html("<button ");
    }
    OpenId(m, false);
    WriteCommon(m);
    if (cr->buttonType == kButtonFile && m.standalone) {
        Html(" />");
        return;
    }
    Html(">");
    int32_t state = Value(cr, kPidButtonState, 0);
    if (gWebThemeClasses && state == 2)
        Html("<span style='margin-right: 3px' class='spinner-border spinner-border-sm'></span>");
    if (gWebThemeClasses && state == 3)
        Html("<span style='margin-right: 3px' class='spinner-grow spinner-grow-sm'></span>");
    CrText src = ImageSource(cr);
    if (src.text && src.length) {
        Html("<img src=\"");
        HtmlAppendAttr(src.text, src.length);
        CrText alt = Text(cr, kPidAltText);
        if (alt.text && alt.length) {
            Html("\" alt=\"");
            HtmlAppendAttr(alt.text, alt.length);
        }
        Html("\"/>");
    } else {
        TextContent(cr->title.text ? cr->title : cr->text);
    }
    Html("</button>");
}

static void MarkupCheck(const Markup& m) {
    ObjectCreateRecord* cr = m.cr;
    Html(">");
    Html(m.kind == kKindCheckBox ? "<input type=\"checkbox\" " : "<input type=\"radio\" ");
    int32_t group = Value(cr, kPidGroupId, 0);
    if (m.kind == kKindRadio && group) {
        Html("name=\"G");
        HtmlAppendInt(group);
        Html("\" ");
    }
    if (gWebThemeClasses) Html("class=\"form-check-input\" ");
    if (Value(cr, kPidValue, 0)) Html("checked=\"checked\" ");
    Html("tabindex=\"100\" id=\"C");
    HtmlAppendUInt(m.id);
    int32_t align = Value(cr, kPidAlignText, 0);
    Html("\" style=\"float: ");
    Html(align == 0 || align == 2 ? "left" : "right");
    Html("; margin-top: ");
    HtmlAppendInt((m.height / 2) - 6);
    Html("px\"><label for=\"C");
    HtmlAppendUInt(m.id);
    Html("\" id=\"C");
    HtmlAppendUInt(m.id);
    Html("L\" style=\"display: inline\"");
    if (gWebThemeClasses) Html(" class=\"form-check-label\"");
    Html(" >");
    TextContent(cr->title.text ? cr->title : cr->text);
    Html("</label></div>");
}

static void MarkupEditText(const Markup& m) {
    ObjectCreateRecord* cr = m.cr;
    bool password = Value(cr, kPidPassword, 0) != 0;
    int32_t lines = Value(cr, kPidMultiLine, 0);
    bool multi = !password && lines > 0;
    if (password) {
        Html("<input type=\"password\" ");
    } else if (multi) {
        Html("<textarea rows=\"");
        HtmlAppendInt(lines);
        Html("\" ");
    } else if (Given(cr, kPidInputType)) {
        Html("<input type=\"");
        Html(HtmlInputType(Value(cr, kPidInputType, 0)));
        Html("\" ");
    } else {
        Html("<input type=\"text\" ");
    }
    HtmlObjectStyle(m.kind, kPidMaxChars, cr);
    if (!multi && cr->text.text && cr->text.length) {
        Html("value=\"");
        HtmlAppendAttr(cr->text.text, cr->text.length);
        Html("\" ");
    }
    OpenId(m, false);
    WriteCommon(m);
    HtmlObjectStyle(m.kind, kPidCueText, cr);
    Html(">");
    if (multi) {
        HtmlN(cr->text.text, cr->text.length);
        Html("</textarea>");
    }
    char dec = gClientConfig.decimalChar ? gClientConfig.decimalChar : '.';
    char sep = dec == ',' ? '.' : ',';
    JsOpen("QovEdit", m.id);
    JsMember(", et: ", Value(cr, kPidEditType, 0));
    JsMember(", ld: ", static_cast<unsigned char>(dec));
    JsMember(", lt: ", static_cast<unsigned char>(sep));
    JsFlag(", ro: 1", Value(cr, kPidReadOnly, 0) != 0);
    JsFlag(", ae: 1", Value(cr, kPidAutoEnter, 0) != 0);
    JsFlag(", ot: 1", Value(cr, kPidOverType, 0) != 0);
    JsFlag(", sa: 1", Value(cr, kPidSelectAll, 0) != 0);
    JsClose();
}

static void MarkupEditNumber(const Markup& m) {
    ObjectCreateRecord* cr = m.cr;
    Html("<div ");
    OpenId(m, true);
    WriteCommon(m);
    Html("></div>");
    char dec = gClientConfig.decimalChar ? gClientConfig.decimalChar : '.';
    JsOpen("QovEditNum", m.id);
    JsMember(", ld: ", static_cast<unsigned char>(dec));
    JsFlag(", ro: 1", Value(cr, kPidReadOnly, 0) != 0);
    JsFlag(", ae: 1", Value(cr, kPidAutoEnter, 0) != 0);
    JsFlag(", ot: 1", Value(cr, kPidOverType, 0) != 0);
    JsFlag(", sa: 1", Value(cr, kPidSelectAll, 0) != 0);
    JsFlag(", dpi: 1", Value(cr, kPidDPI, 0) != 0);
    JsFlag(", am: 1", Value(cr, kPidAllowMinus, 0) != 0);
    char decText[2] = {dec, 0};
    JsText(", dc: \"", decText, 1);
    JsMember(", fd: ", Value(cr, kPidDecimalDigits, 0));
    JsMember(", dd: ", Value(cr, kPidIntegerDigits, 0));
    JsMember(", updn: ", cr->style == 1 || cr->style == 3 ? 1 : 0);
    JsMember(", udmx: ", Value(cr, kPidUpDownMax, 0));
    JsMember(", udmi: ", Value(cr, kPidUpDownMin, 0));
    JsMember(", udic: ", Value(cr, kPidUpDownChange, 1));
    if (cr->text.text && cr->text.length) JsText(", val: \"", cr->text.text, cr->text.length);
    JsClose();
}

static void MarkupDateTime(const Markup& m) {
    ObjectCreateRecord* cr = m.cr;
    int32_t format = Value(cr, kPidFormat, 0);
    bool wrapper = format == kDateFormatWrapper;
    if (wrapper) {
        Html("<div ");
        OpenId(m, true);
    } else {
        Html("<input type=\"text\" ");
        OpenId(m, false);
    }
    WriteCommon(m);
    Html(wrapper ? "></div>" : ">");
    JsOpen("QovEditDate", m.id);
    Js(", cmd: 1");
    JsMember(", fmt: ", format);
    CrText custom = Text(cr, kPidCustomFormat);
    if (format == kDateFormatCustom && custom.text && custom.length) {
        char picture[256];
        WebDateFormat(custom.text, custom.length, picture, sizeof picture);
        JsText(", format: \"", picture, static_cast<uint32_t>(strlen(picture)));
    }
    CrText minDate = Text(cr, kPidMinimumDate), maxDate = Text(cr, kPidMaximumDate);
    if (minDate.text && minDate.length) JsText(", minDate: \"", minDate.text, minDate.length);
    if (maxDate.text && maxDate.length) JsText(", maxDate: \"", maxDate.text, maxDate.length);
    if (cr->flags0 & kCrFormModal) Js(", formType: 1");
    else if (cr->flags0 & kCrFormDialog) Js(", formType: 2");
    JsClose();
}

static void MarkupProgress(const Markup& m) {
    ObjectCreateRecord* cr = m.cr;
    int32_t value = Value(cr, kPidValue, 0);
    bool noText = (cr->flags1 & kCrProgressNoText) != 0;
    if (ProgressAsElement(m)) {
        Html("<progress ");
        OpenId(m, false);
        WriteCommon(m);
        Html(" min=\"1\" max=\"100\" value=\"");
        HtmlAppendInt(value);
        Html("\"></progress>");
        return;
    }
    Html("<div ");
    OpenId(m, false);
    WriteCommon(m);
    if (ProgressThemed(m)) {
        Html("><div id=\"C");
        HtmlAppendUInt(m.id);
        Html("\" class='progress-bar progress-bar-striped progress-bar-animated");
        ThemeColorClasses(m, true, true, false);
        Html("' style='width: ");
        HtmlAppendInt(value);
        Html("%'>");
        if (!noText) {
            HtmlAppendInt(value);
            Html("%");
        }
        Html("</div></div>");
        return;
    }
    Html("></div></div>");
    JsOpen("QovPBar", m.id);
    JsMember(", cv: ", value);
    JsMember(", dp: ", noText ? 0 : 1);
    JsClose();
}

static void CanvasOpen(const Markup& m) {
    Html("<canvas width=\"");
    HtmlAppendInt(m.width);
    Html("\" height=\"");
    HtmlAppendInt(m.height);
    Html("\" ");
    OpenId(m, false);
    WriteCommon(m);
    Html("></canvas>");
}

static void JsStroke(const ObjectCreateRecord* cr, bool fill) {
    if (Given(cr, kPidBdrWidth)) JsMember(", lw: ", Value(cr, kPidBdrWidth, 1));
    if (fill && Given(cr, kPidFillColor)) {
        Js(", fs: \"");
        JsAppendColor(static_cast<uint32_t>(Value(cr, kPidFillColor, 0)));
        Js("\"");
    }
    uint32_t border = ColorOf(cr->bdrColor);
    if (border != kColorInherit) {
        Js(", ss: \"");
        JsAppendColor(border);
        Js("\"");
    }
}

static void MarkupShape(const Markup& m) {
    CanvasOpen(m);
    int32_t shape = Value(m.cr, kPidShape, 0);
    JsOpen(shape == 1 ? "QovOv" : shape == 3 ? "QovRd" : "QovSq", m.id);
    JsMember(", w: ", m.width);
    JsMember(", h: ", m.height);
    JsStroke(m.cr, true);
    JsClose();
}

static void MarkupLine(Markup& m, int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
    CanvasOpen(m);
    JsOpen("QovLn", m.id);
    JsMember(", x1: ", x1 - m.left);
    JsMember(", x2: ", x2 - m.left);
    JsMember(", y1: ", y1 - m.top);
    JsMember(", y2: ", y2 - m.top);
    JsStroke(m.cr, false);
    JsClose();
}

static void MarkupSlider(const Markup& m) {
    ObjectCreateRecord* cr = m.cr;
    bool vertical = Value(cr, kPidOrientation, 0) == 1;
    Html("<div ");
    OpenId(m, true);
    WriteCommon(m);
    Html("><div id=\"C");
    HtmlAppendUInt(m.id);
    Html(vertical ? "\" style=\"top:" : "\" style=\"height: 100%; left:");
    HtmlAppendInt((vertical ? m.height : m.width) / 2 - 7);
    Html("px\"></div></div>");
    JsOpen("QovSlide", m.id);
    JsMember(", min: ", Value(cr, kPidMin, 0));
    JsMember(", max: ", Value(cr, kPidMax, 100));
    JsMember(", step: ", 1);
    JsMember(", vert: ", vertical ? 1 : 0);
    Js(", range: 0");
    JsClose();
}

static void MarkupLabel(const Markup& m) {
    ObjectCreateRecord* cr = m.cr;
    Html("<div  ");
    OpenId(m, false);
    WriteCommon(m);
    Html(">");
    const CrText& t = cr->text;
    switch (m.labelStyle) {
    case kLabelList:
        HtmlListItems(t.text, t.length, m.id);
        break;
    case kLabelHeading:
        Html("<h1>");
        TextContentBr(t);
        Html("</h1>");
        break;
    default:
        if (gWebThemeClasses && m.labelStyle == kLabelAlert) {
            TextContentBr(t);
        } else if (gWebThemeClasses && m.labelStyle == kLabelAlertClose) {
            HtmlAlertCloseButton(false);
            TextContentBr(t);
        } else {
            Html("<p>");
            TextContentBr(t);
            Html("</p>");
        }
        break;
    }
    Html("</div>");
}

static void MarkupPictIcon(const Markup& m) {
    Html("<div ");
    OpenId(m, true);
    WriteCommon(m);
    Html(">");
    if (m.kind == kKindIcon) {
        HtmlImage(m.cr, m.id, m.height, m.width);
    } else {
        switch (m.cr->sizeMode) {
        case 0: case 1: case 5: HtmlImage(m.cr, m.id, m.height, m.width); break;
        case 2: HtmlImage(m.cr, m.id, 0, m.width); break;
        case 4: HtmlImage(m.cr, m.id, m.height, 0); break;
        default: HtmlImage(m.cr, m.id, 0, 0); break;
        }
    }
    Html("</div>");
}

static void MarkupCombo(const Markup& m) {
    ObjectCreateRecord* cr = m.cr;
    Html("<select ");
    OpenId(m, false);
    WriteCommon(m);
    HtmlObjectStyle(m.kind, kPidMultiSelect, cr);
    Html(" size=\"2\">");
    // A creation text is the combo's definition (its first item the title);
    // in a live view the creator leaves the items joined by ';' in Data.
    if (cr->text.text && cr->text.length) {
        HtmlSelectOptions(cr->text.text, cr->text.length, true);
    } else {
        CrText items = Text(cr, kPidData);
        HtmlSelectOptions(items.text, items.length, false);
    }
    Html("</select>");
    JsOpen("QovDlist", m.id);
    Js(", st: 0");
    JsClose();
}

// Opening with the plain id, the common part, then a fixed closing.
static void PlainElement(const Markup& m, const char* open, const char* close) {
    Html(open);
    OpenId(m, false);
    WriteCommon(m);
    Html(close);
}

bool HtmlObjectMarkup(uint32_t kind, uint32_t id, bool standalone, ObjectCreateRecord* cr) {
    if (!cr) return false;
    Markup m;
    m.kind = kind;
    m.id = id;
    m.standalone = standalone;
    m.cr = cr;
    m.classMode = kClassFull;
    m.webClass = cr->webClass;
    if (m.webClass.text && m.webClass.length) {
        char c = m.webClass.text[0];
        if (c == '+' || c == '-' || c == '=') {
            m.classMode = c == '+' ? kClassPosition : c == '-' ? kClassSize : kClassOnlyVisible;
            m.webClass.text++;
            m.webClass.length--;
        }
    }
    m.labelStyle = kind == kKindLabelText ? cr->style : 0;
    if (kind == kKindLabelText && m.labelStyle == kLabelParagraph) m.classMode = kClassOnlyVisible;
    if (kind == kKindLabelText && m.labelStyle == kLabelHeading && m.classMode == kClassFull) m.classMode = kClassSize;

    int32_t x1 = cr->left, y1 = cr->top, x2 = cr->right, y2 = cr->bottom;
    if (kind == kKindLine) {
        if (cr->left > cr->right) { int32_t t = cr->left; cr->left = cr->right; cr->right = t; }
        if (cr->top > cr->bottom) { int32_t t = cr->top; cr->top = cr->bottom; cr->bottom = t; }
    }
    if (kind == kKindIcon) {
        cr->bottom = cr->top + kIconSize;
        cr->right = cr->left + kIconSize;
    }
    m.left = cr->left;
    m.top = cr->top;
    m.height = cr->bottom - cr->top;
    m.width = cr->right - cr->left;

    switch (kind) {
    case kKindWindow: MarkupWindow(m); break;
    case kKindButton: MarkupButton(m); break;
    case kKindCheckBox:
    case kKindRadio:
        Html("<div ");
        OpenId(m, true);
        WriteCommon(m);
        MarkupCheck(m);
        break;
    case kKindPict:
    case kKindIcon: MarkupPictIcon(m); break;
    case kKindSlider: MarkupSlider(m); break;
    case kKindEditNumber: MarkupEditNumber(m); break;
    case kKindMRegion:
    case kKindListView:
    case kKindTreeView:
    case kKindToolBar:
    case kKindSplitter:
    case kKindHtmlControl: PlainElement(m, "<div ", "></div>"); break;
    case kKindTabControl:
        PlainElement(m, "<div ", ">");
        {
            CrText labels = Text(cr, kPidTabLabel);
            if (!labels.text || !labels.length) labels = cr->text;
            HtmlTabList(labels.text, labels.length, id);
        }
        Html("</div>");
        JsOpen("QovTabC", id);
        Js(" } );");
        break;
    case kKindStatusBar:
        PlainElement(m, "<div ", ">");
        TextContent(cr->text);
        Html("</div>");
        break;
    case kKindPanel:
        PlainElement(m, "<div ", ">");
        if (!standalone) Html("</div>");
        break;
    case kKindDataList: PlainElement(m, "<div ", "></div>"); break;
    case kKindComboBox: MarkupCombo(m); break;
    case kKindEditText:
        // The element's frame is inside its box.
        cr->right -= kEditWidthFrame;
        cr->bottom -= kEditHeightFrame;
        m.width -= kEditWidthFrame;
        m.height -= kEditHeightFrame;
        MarkupEditText(m);
        break;
    case kKindStatText:
        PlainElement(m, "<p  ", ">");
        TextContent(cr->text);
        Html("</p>");
        break;
    case kKindGroupBox:
        cr->bottom -= 4;
        m.height -= 4;
        PlainElement(m, "<fieldset ", "><legend id=\"C");
        HtmlAppendUInt(id);
        Html(gWebThemeClasses ? "L\" style=\"width: auto\">" : "L\">");
        TextContent(cr->title.text ? cr->title : cr->text);
        Html("</legend></fieldset>");
        break;
    case kKindProgress: MarkupProgress(m); break;
    case kKindShape: MarkupShape(m); break;
    case kKindLine: MarkupLine(m, x1, y1, x2, y2); break;
    case kKindEditDateTime:
        if (Value(cr, kPidFormat, 0) != kDateFormatWrapper && m.width > kDateWidthCutFrom) {
            cr->right -= kDateWidthCut;
            m.width -= kDateWidthCut;
        }
        MarkupDateTime(m);
        break;
    case kKindLabelText: MarkupLabel(m); break;
    default:
        return false;
    }
    return true;
}
