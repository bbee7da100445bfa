// webedit.h - edit text and number edit in the web view: their records,
// creation, the texts sent to the page formatted as the native edit makes
// them, the texts read back converted to program text, properties and methods.
#pragma once

#include <cstddef>
#include <cstdint>

#include "objects/crstream.h"
#include "objects/objrecord.h"
#include "webview/core/weboptions.h"
#include "session/proto/records.h"
#include "session/util/json.h"
#include "webview/core/webobject.h"
#include "webview/core/webprops.h"


struct WebEditTextRecord {
    ObjectRecord hdr;
    uint32_t editFlags;        // WebEditFlag bits
    uint16_t editType;         // 1-6: 3 decimal, 4 lower case, 5 upper case
    uint32_t lineLimit;        // 1 for a one-line edit
    uint32_t columnLimit;
    uint32_t maxChars;
    uint32_t ownBgRef;
    int32_t ownBgValue;        // -1 unset
    uint16_t options;          // EditOptionsParse mask
    uint16_t textConv;         // TextOutConv 1-5
    uint16_t rightMargin, leftMargin;
    char* cueText;
    uint8_t passwordChar;
    uint8_t inputType;
};

struct WebEditNumberRecord {
    ObjectRecord hdr;
    uint32_t editFlags;        // WebEditFlag bits (the number edit's subset)
    uint16_t upDownAlign;      // 1-3
    uint16_t rightMargin, leftMargin;
    uint32_t integerDigits;    // at most kNumberDigitsMax
    uint32_t decimalDigits;
    int32_t step, max, min;    // UpDownChange, UpDownMax, UpDownMin
    uint32_t ownBgRef;
    int32_t ownBgValue;
};

enum WebEditFlag : uint32_t {
    kEdStatic = 0x1, kEdReadOnly = 0x2, kEdOverType = 0x4, kEdSelectAll = 0x8, kEdHScroll = 0x10,
    kEdVScroll = 0x20, kEdAutoEnter = 0x40, kEdAllowMinus = 0x80, kEdDpi = 0x100, kEdOwnBg = 0x800,
    kEdAlignRight = 0x10000, kEdAlignCenter = 0x20000, kEdKeepSel = 0x40000, kEdClipSib = 0x80000,
    kEdWordWrap = 0x100000, kEdPassword = 0x200000, kEdSingleLine = 0x400000,
};

constexpr uint32_t kNumberDigitsMax = 50;
constexpr uint32_t kNumberTextMax = 254;     // a formatted number never passes this
constexpr uint32_t kUnicodeCutBytes = 20470;
// Bit of the client's edit options: the locale decimal character stands for '.'.
constexpr uint16_t kClientDecimalOption = 0x40;
// The client's edit options; on by default (tests turn them off).
extern uint16_t gWebEditClientOptions;

inline WebEditTextRecord* WebEditText(ObjectRecord* rec) { return reinterpret_cast<WebEditTextRecord*>(rec); }
// The plain EditType, the one whose Enter goes on to the window's default button.
constexpr uint16_t kEditTypePlain = 1;
inline WebEditNumberRecord* WebEditNumber(ObjectRecord* rec) { return reinterpret_cast<WebEditNumberRecord*>(rec); }

// The locale decimal character the web edits use ('.' when the client has none).
char WebEditDecimalChar();
bool WebEditDecimalOption();

// ---- Edit text ---------------------------------------------------------------------
ObjectRecord* WebEditTextCreate(ObjectRecord* top, ObjectRecord* rec, ObjectCreateRecord* cr, uint32_t kind,
                                int32_t* code);
// Builds (and leaves open) action 21 "dwid" 3 for the whole text (0) or the selection (1).
void WebEditTextAskText(ObjectRecord* rec, int32_t which);
// The reply's "str" (or "sel") as program text into gTextBuf: the case of the
// edit type, line feeds as byte 127, then by the conversion mode. 0 or -6.
int32_t WebEditTextReplyText(ObjectRecord* rec, const JsonValue* reply, bool selection);
// The conversion itself, on a page text: the result is *out, *outLength bytes
// (in one of the shared edit buffers). False without memory.
bool WebEditConvertFromPage(const char* text, uint32_t length, uint16_t editType, uint16_t mode, const char** out,
                            uint32_t* outLength);
// Program text as the page is sent it: control text with the limits, the
// decimal character, the blanks trimmed for the whole text. The text lands in
// the shared edit buffer; false without memory.
bool WebEditFormatForPage(const WebEditTextRecord* e, const char* text, uint32_t length, bool whole,
                          const char** out, uint32_t* outLength);
// The text up to its first line feed into gTextBuf, in the case of the edit type.
void WebEditTextFirstLine(const char* text, uint16_t editType);
int32_t WebEditTextSetProp(ObjectRecord* rec, uint32_t id, int32_t value, const char* text, uint32_t length,
                           bool* commonWrite);
int32_t WebEditTextGetProp(ObjectRecord* rec, uint32_t id, int32_t* result, const char** text);
int32_t WebEditTextMethod(ObjectRecord* rec, MethodCallRec* call);

// ---- Number edit ---------------------------------------------------------------------
ObjectRecord* WebEditNumberCreate(ObjectRecord* top, ObjectRecord* rec, ObjectCreateRecord* cr, uint32_t kind,
                                  int32_t* code);
// The number text as it is sent: false for a text that is not a number.
// integerDigits 0: no integer part.
bool WebEditNumberFormatText(const char* text, uint32_t length, uint32_t integerDigits, uint32_t decimalDigits,
                             bool allowMinus, bool decimalOption, char decimalChar, char* out, size_t outSize);
// Formats and sends (action 31 "dwid" 4); false when nothing was sent.
bool WebEditNumberFormat(ObjectRecord* rec, const char* text, uint32_t length);
// The reply's "str" into gTextBuf, the locale decimal character as '.'.
int32_t WebEditNumberReplyText(const JsonValue* reply);
int32_t WebEditNumberSetProp(ObjectRecord* rec, uint32_t id, int32_t value, const char* text, uint32_t length,
                             bool* commonWrite);
int32_t WebEditNumberGetProp(ObjectRecord* rec, uint32_t id, int32_t* result, const char** text);
int32_t WebEditNumberMethod(ObjectRecord* rec, MethodCallRec* call);

// Puts in the rows of kinds 6 and 44.
void WebEditInstall();
