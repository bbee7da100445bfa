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
#include "webview/core/webkinds.h"
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
constexpr int32_t kSmallButtonHeight = 30;          // below this a button is " btn-sm"
constexpr int32_t kDateInnerWidthCut = 32;
constexpr int32_t kDateThemedHeightFrom = 24;
constexpr int32_t kDateThemedHeightCut = 14;
constexpr uint32_t kTabLabelMax = 300;
constexpr uint32_t kCrProgressElement = 0x2;        // creation flag: the HTML progress element

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
    HtmlPut(head);
    CrText css = GeometryText(cr, propId);
    if (css.text && css.length) {
        HtmlAppendAttr(css.text, css.length);
        return;
    }
    HtmlAppendInt(GeometryPixels(cr, propId));
    HtmlPut("px");
}

void SizePiece(uint32_t tenths) {
    char num[24];
    if (tenths % 10) snprintf(num, sizeof num, "%u.%u", tenths / 10, tenths % 10);
    else snprintf(num, sizeof num, "%u", tenths / 10);
    HtmlPut("; font-size: ");
    HtmlPut(num);
    HtmlPut("pt ");
}

// Class tokens joined by single blanks.
struct ClassList {
    bool any;
};
void ClassAdd(ClassList* list, const char* token) {
    if (!token || !*token) return;
    if (list->any) HtmlPut(" ");
    HtmlPut(token);
    list->any = true;
}

}  // namespace

void HtmlPut(const char* text) { HtmlAppend(text, 0); }
void JsPut(const char* text) { JsAppend(text, 0); }
void HtmlPutN(const char* text, uint32_t length) {
    if (text && length) HtmlAppend(text, length);
}
void JsPutInt(int32_t value) {
    char num[16];
    snprintf(num, sizeof num, "%d", value);
    JsPut(num);
}

int32_t HtmlValue(const ObjectCreateRecord* cr, uint32_t id, int32_t def) { return CreateRecordValue(cr, id, def); }
CrText HtmlCrText(const ObjectCreateRecord* cr, uint32_t id) { return CreateRecordText(cr, id); }
bool HtmlGiven(const ObjectCreateRecord* cr, uint32_t id) { return id <= kPropIdLast && cr->given[id]; }

uint32_t HtmlColorOf(const CrColor& c) {
    return c.object ? ColorObjectValue(c.object) : static_cast<uint32_t>(c.value);
}


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
        HtmlPutN(text + start, i - start);
        HtmlPut(ref);
        start = i + 1;
    }
    HtmlPutN(text + start, length - start);
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
        JsPut(esc);
        start = i + 1;
    }
    if (length > start) JsAppend(text + start, length - start);
}

// An attribute text escaped for the page and then put in a script literal.
void JsAppendAttrLiteral(const char* text, uint32_t length) {
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
    return winBorder >= kWbNone && winBorder <= kWbSizeablePopup ? kClasses[winBorder - 1] : "wb2";
}

const char* HtmlWinPosClass(int32_t winPos) {
    static const char* const kClasses[] = {"wp0", "wp1", "wp2", "wp3", "wp4", "wp5", "wp6"};
    return winPos >= 0 && winPos <= 6 ? kClasses[winPos] : "wp0";
}

void HtmlPositionStyle(int32_t webPosition) {
    HtmlPut("\" style=\"");
    switch (webPosition) {
    case 1: HtmlPut("position: static"); break;
    case 2: HtmlPut("position: relative"); break;
    case 3: HtmlPut("position: fixed"); break;
    default: HtmlPut("position: absolute"); break;
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
    if (leadingBlank) HtmlPut(" ");
    HtmlPut(name);
}

void HtmlAlertClass(int32_t labelStyle) {
    HtmlPut(" alert");
    if (labelStyle == kLabelAlertClose) HtmlPut(" alert alert-dismissible fade show");
}

void HtmlAlertCloseButton(bool dark) {
    HtmlPut("<button type='button' class='btn-close ");
    if (dark) HtmlPut("btn-close-white");
    HtmlPut("' data-bs-dismiss='alert'></button>");
}

void HtmlListItems(const char* text, uint32_t length, uint32_t id) {
    HtmlPut("<ul>");
    uint32_t item = 1;
    uint32_t i = 0;
    while (text && i <= length) {
        uint32_t start = i;
        while (i < length && text[i] != '|' && text[i] != '\r' && text[i] != '\n') ++i;
        HtmlPut("<li id=\"C");
        HtmlAppendUInt(id);
        HtmlPut("R");
        HtmlAppendUInt(item++);
        HtmlPut("\">");
        HtmlPutN(text + start, i - start);
        HtmlPut("</li>");
        if (i >= length) break;
        if (text[i] == '\r' && i + 1 < length && text[i + 1] == '\n') ++i;
        ++i;
        if (i == length) break;   // a separator at the very end starts no item
    }
    HtmlPut("</ul>");
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
        HtmlPut("<option>");
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
                HtmlPut("&nbsp;");
                continue;
            }
            prevBlank = c == ' ';
            // An item is text, as the page's later option changes set it:
            // its markup characters are written as references.
            HtmlAppendAttr(&c, 1);
        }
        HtmlPut("</option>");
    }
}

void HtmlTabList(const char* labels, uint32_t length, uint32_t id) {
    char idText[16];
    snprintf(idText, sizeof idText, "%u", id);
    HtmlPut("<ul>");
    uint32_t i = 0;
    uint32_t tab = 1;
    while (labels && i < length) {
        uint32_t start = i;
        while (i < length && labels[i] != ';') ++i;
        HtmlPut("<li><a href=\"#C");
        HtmlPut(idText);
        HtmlPut("-");
        HtmlAppendUInt(tab++);
        HtmlPut("\">");
        // "&&" gives '&'; the letter after a single '&' is underlined, as the
        // native tab draws its hot key.
        uint32_t written = 0;
        for (uint32_t k = start; k < i && written < kTabLabelMax; ++k, ++written) {
            bool mark = labels[k] == '&' && k + 1 < i && labels[k + 1] != '&';
            if (labels[k] == '&' && k + 1 < i) ++k;
            if (mark) HtmlPut("<u>");
            HtmlPutN(&labels[k], 1);
            if (mark) HtmlPut("</u>");
        }
        HtmlPut("</a></li>");
        ++i;
    }
    HtmlPut("</ul><div id=\"C");
    HtmlPut(idText);
    HtmlPut("-1\"></div>");
}

CrText HtmlImageSource(const ObjectCreateRecord* cr) {
    CrText src = HtmlCrText(cr, kPidUrlSource);
    if (!src.text || !src.length) src = HtmlCrText(cr, kPidPicture);
    if (src.text && src.length && src.text[0] == '!') {
        src.text++;
        src.length--;
    }
    return src;
}

void HtmlImage(const ObjectCreateRecord* cr, uint32_t id, int32_t height, int32_t width) {
    CrText src = HtmlImageSource(cr);
    CrText alt = HtmlCrText(cr, kPidAltText);
    if (!alt.text || !alt.length) alt = src;
    HtmlPut("<img alt=\"");
    HtmlAppendAttr(alt.text, alt.length);
    HtmlPut("\" src=\"");
    HtmlAppendAttr(src.text, src.length);
    if (height > 0) {
        HtmlPut("\" height=\"");
        HtmlAppendInt(height);
    }
    if (width > 0) {
        HtmlPut("\" width=\"");
        HtmlAppendInt(width);
    }
    HtmlPut("\" id=\"C");
    HtmlAppendUInt(id);
    HtmlPut("\">");
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
        int32_t a = HtmlValue(cr, kPidAlignment, 0);
        if (a == 1) HtmlPut("; text-align: right; padding-right: 2px;");
        else if (a == 2) HtmlPut("; text-align: center");
        else HtmlPut("; padding-left: 2px;");
        break;
    }
    case kPidBgColor:
    case kPidBdrColor:
    case kPidFgColor: {
        const CrColor& c = propId == kPidBgColor ? cr->bgColor : propId == kPidBdrColor ? cr->bdrColor : cr->fgColor;
        uint32_t color = HtmlColorOf(c);
        if (!ColorPieceWanted(propId, color)) return;
        HtmlPut(propId == kPidBgColor ? "; background-color: " : propId == kPidBdrColor ? "; border-color: " : "; color: ");
        HtmlAppendColor(color);
        break;
    }
    case kPidEnabled:
        if (cr->flags0 & kCrDisabled) HtmlPut("\" disabled=\"disabled");
        break;
    case kPidBold:
        if (gHtmlFont.bold) HtmlPut("; font-weight: bold");
        break;
    case kPidItalic:
        if (gHtmlFont.italic) HtmlPut("; font-style: italic");
        break;
    case kPidFontName:
        if (gHtmlFont.face[0] && strcmp(gHtmlFont.face, "MS Sans Serif") != 0) {
            HtmlPut("; font-family: ");
            HtmlAppendAttr(gHtmlFont.face, static_cast<uint32_t>(strlen(gHtmlFont.face)));
        }
        break;
    case kPidSize:
        if (gHtmlFont.size) SizePiece(gHtmlFont.size);
        break;
    case kPidUnderline:
        if (gHtmlFont.underline) HtmlPut("; text-decoration: underline");
        break;
    case kPidStrike:
        if (gHtmlFont.strike) HtmlPut("; text-decoration: line-through");
        break;
    case kPidHeight: GeometryPiece("; height: ", cr, propId); break;
    case kPidWidth: GeometryPiece("; width: ", cr, propId); break;
    case kPidTop: GeometryPiece("; top: ", cr, propId); break;
    case kPidLeft: GeometryPiece("; left: ", cr, propId); break;
    case kPidMaxChars: {
        int32_t n = HtmlValue(cr, kPidMaxChars, 0);
        if (n > 0) {
            HtmlPut("maxlength=\"");
            HtmlAppendInt(n);
            HtmlPut("\" ");
        }
        break;
    }
    case kPidStatic:
    case kPidReadOnly:
        if (HtmlValue(cr, propId, 0)) HtmlPut("\" readonly=\"readonly");
        break;
    case kPidTabId:
        HtmlPut("\" tabindex=\"100");
        break;
    case kPidVisible:
        if (!(cr->flags0 & kCrVisible)) HtmlPut("; display:none");
        break;
    case kPidMultiSelect:
        if (HtmlValue(cr, kPidMultiSelect, 0)) HtmlPut(" multiple");
        break;
    case kPidZOrder:
        HtmlPut("; z-index: ");
        HtmlAppendUInt(cr->zOrder);
        break;
    case kPidToolTip:
        if (cr->toolTip.text && cr->toolTip.length) {
            HtmlPut("\" title=\"");
            HtmlAppendAttr(cr->toolTip.text, cr->toolTip.length);
        }
        break;
    case kPidCueText: {
        CrText cue = HtmlCrText(cr, kPidCueText);
        if (cue.text && cue.length) {
            HtmlPut(" placeholder=\"");
            HtmlAppendAttr(cue.text, cue.length);
            HtmlPut("\"");
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
    case kWinAskModal: return kWinModal;
    case kWinAskDialog: return kWinDialog;
    case kWinAskTool: return kWinTool;
    case kWinAskNormal: return kWinNormal;
    default: return winType >= kWinModal && winType <= kWinMdiChild ? winType : kWinNormal;
    }
}

static bool IsWrapperKind(const HtmlMarkup& m) {
    switch (m.kind) {
    case kKindCheckBox: case kKindRadio: case kKindPict: case kKindIcon: case kKindSlider: case kKindEditNumber:
        return true;
    case kKindEditDateTime:
        return HtmlValue(m.cr, kPidFormat, 0) == kDateFormatWrapper;
    default:
        return false;
    }
}

bool HtmlProgressAsElement(const HtmlMarkup& m) { return (m.cr->flags1 & kCrProgressElement) != 0; }
bool HtmlProgressThemed(const HtmlMarkup& m) {
    return !HtmlProgressAsElement(m) && gWebThemeClasses && (WebStyleOptions() & kWebStyleThemedProgress);
}

void HtmlThemeColorClasses(const HtmlMarkup& m, bool fg, bool bg, bool bdr) {
    if (!gWebThemeClasses) return;
    uint32_t f = HtmlColorOf(m.cr->fgColor), b = HtmlColorOf(m.cr->bgColor), d = HtmlColorOf(m.cr->bdrColor);
    if (fg && Accepts(m.kind, kPidFgColor) && IsThemeCode(f)) HtmlColorClass(f - kThemeColorBase, kClrFamText, true);
    if (bg && Accepts(m.kind, kPidBgColor) && IsThemeCode(b)) {
        HtmlColorClass(b - kThemeColorBase, kClrFamBg, true);
        if (WebStyleOptions() & kWebStyleGradient) HtmlPut(" bg-gradient");
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
static void WriteClasses(const HtmlMarkup& m) {
    HtmlPut("\" class=\"");
    ClassList list = {false};
    const ObjectCreateRecord* cr = m.cr;
    if (m.kind == kKindLabelText && m.labelStyle == kLabelParagraph) ClassAdd(&list, "ltp");
    if (m.kind == kKindLabelText && m.labelStyle == kLabelHeading) ClassAdd(&list, "lth");
    if (m.classMode == kClassFull) {
        int32_t look = HtmlGiven(cr, kPidAppearance) ? cr->appearance : cr->style;
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
        HtmlThemeColorClasses(m, true, true, true);
        if (gHtmlBuf.length != before) list.any = true;
        switch (m.kind) {
        case kKindButton:
            if (!gWebThemeClasses) break;
            ClassAdd(&list, "btn");
            HtmlColorClass(static_cast<uint32_t>(cr->context),
                           HtmlValue(cr, kPidButtonState, 0) == kButtonStateOutline ? kClrFamBtnOutline : kClrFamBtn, true);
            if (m.height < kSmallButtonHeight) HtmlPut(" btn-sm");
            if (HtmlValue(cr, kPidDefault, 0)) {
                HtmlPut(" ");
                HtmlPut(kDefaultButtonClass);
            }
            break;
        case kKindCheckBox:
        case kKindRadio:
            if (!gWebThemeClasses) break;
            ClassAdd(&list, "form-check");
            if (HtmlValue(cr, kPidSwitch, 0)) HtmlPut(" form-switch");
            break;
        case kKindComboBox:
            if (gWebThemeClasses) ClassAdd(&list, "form-select form-select-sm");
            break;
        case kKindEditDateTime:
            if (gWebThemeClasses) ClassAdd(&list, "bs1");
            break;
        case kKindProgress:
            if (HtmlProgressThemed(m)) ClassAdd(&list, "progress");
            break;
        default:
            break;
        }
        switch (m.kind) {
        case kKindEditText:
            ClassAdd(&list, HtmlScrollClass(cr->scrollBar));
            ClassAdd(&list, HtmlValue(cr, kPidWordWrap, 0) ? "ww1" : "ww0");
            break;
        case kKindPict: ClassAdd(&list, HtmlScrollClass(cr->scrollBar)); break;
        case kKindLabelText:
            if (gWebThemeClasses && (m.labelStyle == kLabelAlert || m.labelStyle == kLabelAlertClose)) {
                if (list.any) HtmlPut(" ");
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
        case kKindSlider: ClassAdd(&list, HtmlValue(cr, kPidOrientation, 0) == 1 ? "slv" : "slh"); break;
        case kKindListView: ClassAdd(&list, "lv"); break;
        case kKindTreeView: ClassAdd(&list, "treev"); break;
        case kKindDataList: ClassAdd(&list, "dlv"); break;
        case kKindSplitter:
            ClassAdd(&list, "pp");
            ClassAdd(&list, HtmlValue(cr, kPidOrientation, 0) == 1 ? "pb3" : "pb2");
            break;
        default: break;
        }
    }
    if (m.webClass.text && m.webClass.length) {
        if (list.any) HtmlPut(" ");
        HtmlAppendAttr(m.webClass.text, m.webClass.length);
    }
}

static bool WholeWidthBar(const HtmlMarkup& m) {
    if (m.kind != kKindToolBar && m.kind != kKindStatusBar) return false;
    int32_t dock = m.cr->dock;
    return dock != kDockLeft && dock != kDockNone && dock != kDockRight;
}

static void PositionPieces(const HtmlMarkup& m) {
    HtmlObjectStyle(m.kind, kPidLeft, m.cr);
    HtmlObjectStyle(m.kind, kPidTop, m.cr);
}

static void SizePieces(const HtmlMarkup& m) {
    if (WholeWidthBar(m)) {
        HtmlPut("; width: 100%");
        if (m.kind == kKindStatusBar) HtmlObjectStyle(m.kind, kPidHeight, m.cr);
        return;
    }
    HtmlObjectStyle(m.kind, kPidHeight, m.cr);
    HtmlObjectStyle(m.kind, kPidWidth, m.cr);
}

static void ZOrderPiece(const HtmlMarkup& m) {
    if (m.cr->zOrder > 0) HtmlObjectStyle(m.kind, kPidZOrder, m.cr);
}

// Step 3: the style attribute (its closing quote comes with step 4).
static void WriteStyle(const HtmlMarkup& m) {
    const ObjectCreateRecord* cr = m.cr;
    if (m.classMode == kClassOnlyVisible) {
        HtmlPut("\" style=\"");
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
    if (m.kind == kKindMRegion) HtmlPut("; opacity:0");
    if (m.kind == kKindEditText) {
        HtmlPut("; resize: none");
        int32_t editType = HtmlValue(cr, kPidEditType, 0);
        if (editType == kEditTypeLower) HtmlPut("; text-transform: lowercase");
        else if (editType == kEditTypeUpper) HtmlPut("; text-transform: uppercase");
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
static void WriteInner(const HtmlMarkup& m) {
    const ObjectCreateRecord* cr = m.cr;
    switch (m.kind) {
    case kKindEditNumber:
        HtmlPut("\"><input type=\"text\" id=\"C");
        HtmlAppendUInt(m.id);
        if (cr->text.text && cr->text.length) {
            HtmlPut("\" value=\"");
            HtmlAppendAttr(cr->text.text, cr->text.length);
            HtmlPut(" ");
        }
        HtmlPut("\" class=\"bs0 ");
        HtmlObjectStyle(m.kind, kPidTabId, cr);
        HtmlPut("\" style=\"line-height: ");
        HtmlAppendInt(m.height);
        HtmlPut("px");
        break;
    case kKindEditDateTime:
        if (HtmlValue(cr, kPidFormat, 0) != kDateFormatWrapper) break;
        {
            int32_t lineHeight = m.height;
            if (gWebThemeClasses && lineHeight >= kDateThemedHeightFrom) lineHeight -= kDateThemedHeightCut;
            HtmlPut("\"><input  id=\"C");
            HtmlAppendUInt(m.id);
            HtmlObjectStyle(m.kind, kPidTabId, cr);
            HtmlPut("\" style=\"line-height: ");
            HtmlAppendInt(lineHeight);
            HtmlPut("px");
            HtmlObjectStyle(m.kind, kPidHeight, cr);
            HtmlPut("; width: ");
            HtmlAppendInt(m.width - kDateInnerWidthCut);
            HtmlPut("px");
        }
        break;
    case kKindProgress:
        if (!HtmlProgressAsElement(m) && !HtmlProgressThemed(m)) {
            HtmlPut("\"><div class=\"progress-label\" id=\"C");
            HtmlAppendUInt(m.id);
        }
        break;
    case kKindStatText:
    case kKindRadio:
    case kKindCheckBox:
    case kKindStatusBar:
        if (m.classMode != kClassFull) break;
        HtmlPut("; line-height: ");
        HtmlAppendInt(m.height);
        HtmlPut("px");
        if (gWebThemeClasses && (m.kind == kKindCheckBox || m.kind == kKindRadio)) HtmlPut("; overflow: hidden");
        break;
    default:
        break;
    }
    HtmlPut("\"");
}

static bool TabIndexOnOpening(const HtmlMarkup& m) {
    if (m.kind == kKindToolBar) return false;
    if (IsWrapperKind(m) && m.kind != kKindEditDateTime) return false;
    return true;
}

// The common part after the id: attributes, classes, tab index, style, inner.
void HtmlWriteCommon(const HtmlMarkup& m) {
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

void HtmlOpenId(const HtmlMarkup& m, bool wrapper) {
    HtmlPut("id=\"C");
    HtmlAppendUInt(m.id);
    if (wrapper) HtmlPut("D");
}

// Script constructor helpers: `Name( { id: "C<id>"` ... ` } );`
void JsOpenCall(const char* name, uint32_t id) {
    JsPut(name);
    JsPut("( { id: \"C");
    JsAppendUInt(id);
    JsPut("\"");
}
void JsPutMember(const char* head, int32_t value) {
    JsPut(head);
    JsPutInt(value);
}
void JsPutFlag(const char* text, bool on) {
    if (on) JsPut(text);
}
void JsPutText(const char* head, const char* text, uint32_t length) {
    JsPut(head);
    JsAppendLiteral(text, length);
    JsPut("\"");
}
void JsCloseCall() { JsPut(" } );"); }

// Creation texts are counted, not NUL-terminated: an empty one writes nothing
// (the writers would measure a length of 0 up to a NUL).
void HtmlContent(const CrText& t) {
    if (t.text && t.length) HtmlAppendText(t.text, t.length);
}
void HtmlContentBr(const CrText& t) {
    if (t.text && t.length) HtmlAppendTextBr(t.text, t.length);
}

// ---- Kinds -----------------------------------------------------------------------------

// Opening with the plain id, the common part, then a fixed closing.
void HtmlPlainElement(const HtmlMarkup& m, const char* open, const char* close) {
    HtmlPut(open);
    HtmlOpenId(m, false);
    HtmlWriteCommon(m);
    HtmlPut(close);
}

void HtmlMarkupGeometry(HtmlMarkup& m) {
    m.left = m.cr->left;
    m.top = m.cr->top;
    m.height = m.cr->bottom - m.cr->top;
    m.width = m.cr->right - m.cr->left;
}

void HtmlPlainDivMarkup(HtmlMarkup& m) { HtmlPlainElement(m, "<div ", "></div>"); }

bool HtmlObjectMarkup(uint32_t kind, uint32_t id, bool standalone, ObjectCreateRecord* cr) {
    if (!cr) return false;
    HtmlMarkup m;
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
    m.labelStyle = 0;
    HtmlMarkupGeometry(m);
    const WebKindOps* ops = WebKindOpsOfKind(kind);
    if (!ops || !ops->markup) return false;
    ops->markup(m);
    return true;
}
