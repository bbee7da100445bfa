// webtext.h - the page text writers: the HTML, script and JSON message buffers,
// the member writers, element names and selectors, and the one-call element
// commands most web-view controls use.
#pragma once

#include <cstddef>
#include <cstdint>

#include "objects/objrecord.h"

// A growable text buffer; after each writer the data ends with a NUL. A growth
// that fails leaves the buffer empty and marked failed: every later append is
// ignored until the buffer is given a new text, so nothing half-written is sent.
struct TextBuf {
    char* data;
    uint32_t length;
    uint32_t capacity;
    bool failed;
};

extern TextBuf gHtmlBuf;     // markup of the object being created or changed
extern TextBuf gJsBuf;       // script that goes with it
extern TextBuf gJsonMsgBuf;  // the current action message

constexpr uint32_t kHtmlGrowStep = 2048;
constexpr uint32_t kJsonGrowStep = 50;
constexpr uint32_t kStringGrowStep = 1024;
constexpr uint32_t kHtmlBufMinimum = 10240;

// Makes room for size bytes (growing by step, at least 256); with a text the
// contents are replaced by it. False when the buffer could not grow.
bool TextBufEnsure(TextBuf* buf, uint32_t size, uint32_t step, const char* text);
// Room for size bytes in a buffer of JSON messages, which grow in the small
// steps of the page channel.
bool JsonMsgBufEnsure(TextBuf* buf, uint32_t size);
void TextBufReset(TextBuf* buf, uint32_t minimum);
void TextBufFree(TextBuf* buf);
// The writers' block source; tests replace it to make growth fail.
extern void* (*gWebTextAlloc)(size_t size);

// ---- HTML and script buffers -----------------------------------------------------
int HtmlAppend(const char* text, uint32_t length);
int HtmlAppendText(const char* text, uint32_t length);
int HtmlAppendTextBr(const char* text, uint32_t length);
// The text with its '&' marks dropped and nothing underlined (a status bar's,
// which the native bar draws without mnemonics).
int HtmlAppendPlainText(const char* text, uint32_t length);
int HtmlAppendUInt(uint32_t value);
int HtmlAppendInt(int32_t value);
int HtmlAppendColor(uint32_t color);
int JsAppend(const char* text, uint32_t length);
int JsAppendUInt(uint32_t value);
int JsAppendColor(uint32_t color);
int JsDateFormat(const char* picture);
void HtmlReset();

// ---- JSON message writers ----------------------------------------------------------
void JsonBeginAction(int code);
void JsonAddInt(const char* key, int32_t value);
void JsonAddBool(const char* key, bool flag);
void JsonAddString(const char* key, const char* text, uint32_t length);
void JsonAddStringN(const char* key, const char* text, uint32_t length);
void JsonAddStringZ(const char* key, const char* text);
void JsonAddStringNoConv(const char* key, const char* text);
void JsonAddUrl(const char* key, const char* url);
void JsonAddColor(const char* key, uint32_t color);
void JsonAddName(const ObjectRecord* rec);
void JsonAddForm(ObjectRecord* rec, bool useTopWindow, bool wrapper, bool formDiv, bool del);
void JsonAddJsHtml(bool noConversion);
void JsonAddJs();
void JsonBeginArray(const char* key);
void JsonAddArrayInt(int32_t value, bool first);
void JsonAddArrayString(const char* text);
void JsonEndArray();

// ---- Element names and commands ----------------------------------------------------
bool WebHasWrapperDiv(const ObjectRecord* rec);
// "#C%d", "#C%dD" (wrapper, when the object has one) or "#C%dL" (label, for a
// CheckBox, Radio or GroupBox) into out (at least 24 bytes).
void WebElemSelector(const ObjectRecord* rec, bool wrapper, bool label, char* out, size_t outSize);
void WebQueryElemProp(const ObjectRecord* rec, const char* prop, bool wrapper, bool current);
void WebQueryElemCss(const ObjectRecord* rec, const char* style, bool wrapper, bool current);
void WebSetElemPropBool(const ObjectRecord* rec, const char* prop, bool flag, bool wrapper);
void WebSetElemPropInt(const ObjectRecord* rec, const char* prop, int32_t value, bool wrapper);
void WebSetElemProp(const ObjectRecord* rec, const char* prop, const char* text, bool wrapper);
void WebSetElemCssInt(const ObjectRecord* rec, const char* style, int32_t value, bool wrapper);
void WebSetElemCssEx(const ObjectRecord* rec, const char* style, const char* text, bool wrapper, bool label);
void WebSetElemCss(const ObjectRecord* rec, const char* style, const char* text, bool wrapper);
void WebChangeElemClassEx(const ObjectRecord* rec, const char* remove, const char* add, bool wrapper, bool label);
void WebChangeElemClass(const ObjectRecord* rec, const char* remove, const char* add, bool wrapper);
void WebSetElemState(const ObjectRecord* rec, const char* state, bool flag, bool wrapper);
void WebSetElemText(const ObjectRecord* rec, const char* text, bool wrapper, bool label);
void WebSetElemHtml(const ObjectRecord* rec, const char* markup, bool wrapper, bool label);

// ---- Other text helpers --------------------------------------------------------------
void ByteToHex(uint8_t value, char* out);
void HtmlLineBreaks(const char* text, char* out, size_t outSize);
void WebDateFormat(const char* picture, size_t length, char* out, size_t outSize);
// An image's place: "./images/<name>" as a URL, else the absolute path under the
// program's "qovwv_html\images\"; false (out empty) when it would not fit outSize.
bool WebImagePath(const char* name, bool asUrl, char* out, size_t outSize);
// The page's base URL: the page folder beside the program ("qovwv_html") as a
// "file:///" URL without a closing '/'; false (out empty) when the program's
// folder is not known or the URL would not fit outSize.
bool WebPageBaseUrl(char* out, size_t outSize);
bool WebTextIsNew(const char* text, uint32_t length);
// A copy of length bytes with a NUL, from the guarded heap; null without memory.
char* WebTextDup(const char* text, uint32_t length);
// Replaces a guarded-heap text field (null text: cleared); false without memory.
bool WebTextReplace(char** field, const char* text, uint32_t length);
// A copy on the local heap (freed with LocalFreeMem), as the record headers
// keep their texts; null for an empty text or without memory.
char* WebTextDupLocal(const char* text, uint32_t length);
// Whether the n bytes of text end in suffix (lower case), letters in any case.
bool WebNameEndsWith(const char* text, size_t n, const char* suffix);
// Room for a UTF-16 text of bytes bytes (GetUnicode), kept between calls;
// null without memory.
uint16_t* WebUtf16BufferEnsure(uint32_t bytes);
// Frees the text buffers (end of run).
void WebTextCleanup();
