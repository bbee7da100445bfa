// webmarkup.h - the HTML markup of every object kind: the element, its classes,
// attributes and style written into gHtmlBuf from the creation record, and the
// page-script constructor call written into gJsBuf.
#pragma once

#include <cstddef>
#include <cstdint>

#include "objects/crstream.h"

// The font facts of the object being written (HtmlSetFont only stores them).
struct HtmlFontFacts {
    uint8_t bold, italic, underline, strike;
    uint32_t size;          // tenths of a point
    uint16_t angle;
    char face[256];
};
extern HtmlFontFacts gHtmlFont;

constexpr uint32_t kHtmlDefaultFontSize = 100;   // tenths of a point, the style sheet's size

void HtmlSetFont(uint8_t bold, uint8_t italic, uint32_t size, uint32_t faceLength, const char* face,
                 uint8_t underline, uint8_t strike, uint16_t angle);
// No bold, no italic, 10 points, no face (before each object's own font is set).
void HtmlResetFont();

// Class modes, from the first character of WebClass.
enum HtmlClassMode : int { kClassOnlyVisible = 0, kClassPosition = 1, kClassSize = 2, kClassFull = 3 };

enum HtmlLabelStyle : int32_t {
    kLabelList = 3, kLabelHeading = 4, kLabelParagraph = 5, kLabelAlert = 6, kLabelAlertClose = 7,
};
// The class of the push button that Enter presses (its Default set): the
// page draws the native default button's frame round it.
constexpr char kDefaultButtonClass[] = "qovdef";
constexpr int32_t kDateFormatWrapper = 3;      // an EditDateTime's Format with its own input in a wrapper

// Everything one markup call works from: a kind's markup slot (webkinds.h)
// writes its element from it. left to width follow cr (HtmlMarkupGeometry
// again after a kind changed cr's rectangle).
struct HtmlMarkup {
    uint32_t kind;
    uint32_t id;
    bool standalone;           // a web-form page rather than a live view
    ObjectCreateRecord* cr;
    int classMode;             // HtmlClassMode
    CrText webClass;           // WebClass without its mode character
    int32_t left, top, width, height;
    int32_t labelStyle;        // a LabelText's Style (HtmlLabelStyle), else 0
};
void HtmlMarkupGeometry(HtmlMarkup& m);

// Writes the object's markup (gHtmlBuf) and script (gJsBuf) after the buffers
// were reset. standalone: a web-form page rather than a live view. A few
// entries of cr are adjusted in place (a Line's rectangle put in order, an
// Icon made 32 by 32). The kind's markup slot writes it; kinds without one
// write nothing and answer false.
bool HtmlObjectMarkup(uint32_t kind, uint32_t id, bool standalone, ObjectCreateRecord* cr);

// ---- The kinds' markup writers ------------------------------------------------------
void HtmlPut(const char* text);
void JsPut(const char* text);
void HtmlPutN(const char* text, uint32_t length);
void JsPutInt(int32_t value);
int32_t HtmlValue(const ObjectCreateRecord* cr, uint32_t id, int32_t def);
CrText HtmlCrText(const ObjectCreateRecord* cr, uint32_t id);
bool HtmlGiven(const ObjectCreateRecord* cr, uint32_t id);
// A creation colour's value (a Color object's, else the number).
uint32_t HtmlColorOf(const CrColor& c);
// `id="C<id>` (with "D": the wrapper's id), its closing quote left open.
void HtmlOpenId(const HtmlMarkup& m, bool wrapper);
// The common part after the id: attributes, classes, tab index, style, inner.
void HtmlWriteCommon(const HtmlMarkup& m);
// Opening with the plain id, the common part, then a fixed closing.
void HtmlPlainElement(const HtmlMarkup& m, const char* open, const char* close);
// The plain <div> of the kinds the page script fills.
void HtmlPlainDivMarkup(HtmlMarkup& m);
// Creation texts are counted, not NUL-terminated: an empty one writes nothing.
void HtmlContent(const CrText& t);
void HtmlContentBr(const CrText& t);
void HtmlThemeColorClasses(const HtmlMarkup& m, bool fg, bool bg, bool bdr);
// A progress bar as the HTML progress element, or drawn by the theme's classes.
bool HtmlProgressAsElement(const HtmlMarkup& m);
bool HtmlProgressThemed(const HtmlMarkup& m);
// The image source of a creation: UrlSource, else Picture, a leading '!' dropped.
CrText HtmlImageSource(const ObjectCreateRecord* cr);
// Script constructor calls: `Name( { id: "C<id>"` ... ` } );`
void JsOpenCall(const char* name, uint32_t id);
void JsPutMember(const char* head, int32_t value);
void JsPutFlag(const char* text, bool on);
void JsPutText(const char* head, const char* text, uint32_t length);
void JsCloseCall();
// A text inside a script literal that itself stands in a double-quoted attribute.
void JsAppendAttrLiteral(const char* text, uint32_t length);

// ---- Building blocks ---------------------------------------------------------------
const char* HtmlInputType(int32_t code);
const char* HtmlScrollClass(int32_t scrollBar);
const char* HtmlWinBorderClass(int32_t winBorder);
const char* HtmlWinPosClass(int32_t winPos);
void HtmlPositionStyle(int32_t webPosition);
// Families of HtmlColorClass.
enum HtmlColorFamily : int {
    kClrFamBg = 0, kClrFamBtn = 1, kClrFamBtnOutline = 2, kClrFamTable = 3, kClrFamAlert = 4,
    kClrFamListItem = 5, kClrFamText = 6, kClrFamBorder = 7,
};
void HtmlColorClass(uint32_t code, int family, bool leadingBlank);
// The same class name into out (at least 32 bytes).
void HtmlColorClassText(uint32_t code, int family, char* out, size_t outSize);
void HtmlAlertClass(int32_t labelStyle);
void HtmlAlertCloseButton(bool dark);
void HtmlListItems(const char* text, uint32_t length, uint32_t id);
void HtmlSelectOptions(const char* text, uint32_t length, bool skipFirst);
void HtmlTabList(const char* labels, uint32_t length, uint32_t id);
// The image of a Pict, Icon or Button: source from UrlSource (else Picture),
// alternate text from AltText; a height or width below 1 is left out.
void HtmlImage(const ObjectCreateRecord* cr, uint32_t id, int32_t height, int32_t width);
// One style or attribute piece of a property, when the kind accepts it.
void HtmlObjectStyle(uint32_t kind, uint32_t propId, const ObjectCreateRecord* cr);

// ---- Escaping ----------------------------------------------------------------------
// A text inside a double-quoted attribute: '&', '<', '>', '"' and '\'' become
// character references, so a value can neither end its attribute nor open a tag.
void HtmlAppendAttr(const char* text, uint32_t length);
// A text inside a double- or single-quoted script literal: backslash, both
// quotes and control characters escaped, and "</" written "<\/" so the text
// cannot end the script element it stands in.
void JsAppendLiteral(const char* text, uint32_t length);

// The window type a WinType value gives (8 modal, 9 dialog, 10 and 11 the
// ordinary types 4 and 5; anything outside 1..11 is 5).
int32_t WebWinTypeEffective(int32_t winType);
