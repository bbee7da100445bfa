// fonttext.h - the font-text grammar shared by native fonts, the web-view mode
// and printing: a face (keyword, ">Face" or quoted) and an optional
// parenthesised list of styles, angle and size.
#pragma once

#include <cstdint>

// Result codes of the font-text parser; the server sees them as error numbers.
enum FontTextResult : int {
    kFontTextOk = 0,
    kFontTextNoQuote = 24,      // a quoted face without its closing quote
    kFontTextBadFace = 25,      // a face that is neither a keyword nor ">Face"
    kFontTextBadItem = 26,      // an item of the list that is not understood
    kFontTextNoSeparator = 27,  // an item not followed by ',' or ')'
    kFontTextNoClose = 28,      // the list runs out without ')'
    kFontTextTrailing = 29,     // something other than blanks after ')'
};

constexpr uint32_t kFontFaceMax = 254;       // characters of a face kept
constexpr int32_t kFontDefaultSize = 90;     // tenths of a point
constexpr uint32_t kFontAngleModulo = 3600;  // tenths of a degree
constexpr int32_t kFontSizeMax = 65535;      // tenths of a point

// One face keyword and the face it stands for; a table ends with a null keyword.
// The first row's face is also the face of an empty font text.
struct FontFaceMap {
    const char* keyword;
    const char* face;
};
// FIXED, HELVETICA, SYSTEM, TIMES as the screen and the printer name them.
extern const FontFaceMap kFontFaceMapStd[];

// A parsed font description.
struct FontSpec {
    char face[kFontFaceMax + 1];
    int32_t size;        // tenths of a point
    uint16_t angle;      // tenths of a degree, below 3600
    uint8_t bold, italic, underline, strike;
};

// Options of a grammar: the printer's compares a quoted face with its keywords
// as typed ('Times' is no keyword there), the screen's ignores case.
constexpr uint32_t kFontTextExactQuoted = 0x1;

// Parses a font text of length bytes (length below 0: up to its NUL) with the
// given face keywords; fills out and answers kFontTextOk, or one of the codes
// 24-29 with out at its defaults but for the face, once one was read. No text or an empty one gives the first
// row's face at size 90. Sizes may carry a tenth ("10.5"); more decimals are
// cut off.
int FontTextParse(const char* text, int32_t length, const FontFaceMap* map, FontSpec* out, uint32_t options = 0);
// spec with one part changed (property Bold, Italic, FontName, Size, Angle,
// Strike or Underline, its value or face text): false, spec unchanged, for
// another property or a FontName without text.
bool FontSpecChangePart(FontSpec* spec, uint32_t id, int32_t value, const char* text, uint32_t length);
// The face a keyword stands for (case ignored), or null.
const char* FontFaceFromKeyword(const FontFaceMap* map, const char* keyword);
