// htmlrules.h - the platform-free rules of the HTML control in native windows:
// the page text as the browser gets it (QOVWIN comments opened, the margin and
// background rule, character 127), the wrapper page, the host's UI flags, the
// marked elements' event lists and tab ids, the tab order, the JSON text of a
// page event and the inline style names.
#pragma once

#include <cstddef>
#include <cstdint>

// ---- Page text ------------------------------------------------------------------------
// Load flags of a page (the browser host's).
enum HtmlLoadFlag : uint32_t {
    kHtmlLoadHook = 0x1,       // hook the page's marked elements
    kHtmlLoadUrl = 0x2,        // the text is a URL
    kHtmlLoadScroll = 0x4,     // the page shows scroll bars
    kHtmlLoad3dBorder = 0x8,   // the page shows the 3-D border
};

// The code page of the control's text conversions from its CodePage: 0 is
// UTF-8 (65001), 1 to 399 the ANSI code page (0, where character 127 becomes
// a blank), 400 and above that code page.
constexpr uint32_t kHtmlUtf8CodePage = 65001, kHtmlExplicitCodePageFirst = 400;
uint32_t HtmlConversionCodePage(uint32_t codePage);

// "#rrggbb" of a COLORREF (red in the low byte), lower-case, with the NUL.
constexpr size_t kHtmlHexColorSize = 8;
void ColorToHtmlHex(uint32_t color, char out[kHtmlHexColorSize]);

// The text the browser is given, built as a copy (the stored text is never
// changed): character 127 becomes a blank when ansi127 is set; unless the text
// is a URL, each "<!-- QOVWIN" and the first "-->" after it become blanks, and
// the margin, padding and background rule goes right after the first
// "<style>". Null without memory; free with HtmlPageTextFree.
struct HtmlPageText {
    char* data;
    size_t length;
};
bool HtmlPageTextBuild(const char* text, size_t length, bool ansi127, bool url, uint32_t bgColor,
                       HtmlPageText* out);
void HtmlPageTextFree(HtmlPageText* page);

// Whether the text holds an iframe (searched case-sensitively, as the browser
// host decides between writing the text and a wrapper page).
bool HtmlTextHasIframe(const char* text, size_t length);
// The wrapper page for such a text: unchanged when it has "<body", else wrapped
// in the blank page's head and body. False without memory.
bool HtmlWrapperPageBuild(const char* text, size_t length, HtmlPageText* out);
// The blank page written into the temporary folder (its exact bytes).
extern const char kHtmlBlankPage[];
constexpr size_t kHtmlBlankPageSize = 94;

// The host's DOCHOSTUIINFO flags for the load flags: no scroll bars without
// kHtmlLoadScroll, no 3-D border without kHtmlLoad3dBorder.
constexpr uint32_t kHostFlagNo3dBorder = 0x4, kHostFlagScrollNo = 0x8;
uint32_t HtmlHostUiFlags(uint32_t loadFlags);

// ---- Marked elements -------------------------------------------------------------------
// Event ids that "data-qovevent" may name; kWebEvFocus is attached after the list.
enum WebEventId : uint8_t {
    kWebEvNone = 0, kWebEvClick, kWebEvChange, kWebEvDblClick, kWebEvKeyDown, kWebEvKeyUp, kWebEvKeyPress,
    kWebEvMouseOut, kWebEvMouseOver, kWebEvMouseMove, kWebEvMouseDown, kWebEvMouseUp, kWebEvBlur, kWebEvFocus,
    kWebEvCount,
};
// The event list read from a page is cut to this many bytes with the NUL.
constexpr size_t kWebEventListSize = 2048;
// The id of a word (case-sensitive), kWebEvNone for a word outside the table.
uint8_t WebEventIdOf(const char* word, size_t length);
const char* WebEventName(uint8_t id);
// The words of an event list, separated by spaces (runs skipped). Returns false
// at the end; *word and *length give the next word otherwise.
struct WebEventCursor {
    const char* text;
    size_t length;
    size_t pos;
};
WebEventCursor WebEventListBegin(const char* text, size_t length);
bool WebEventListNext(WebEventCursor* c, const char** word, size_t* length);
// The marks an event list sets: bit n for event id n; "focus" is listed as
// kWebEvFocus and sets *genericFocus. A tab id or "focus" adds kWebEvFocus.
uint32_t WebEventMarks(const char* text, size_t length, bool hasTabId, bool* genericFocus);

// "data-qovtabid": the decimal number at the start of the first 32 bytes,
// leading blanks skipped, no sign; no digit gives 0. Values that pass the
// 32-bit range stay at its top.
constexpr size_t kWebTabIdTextMax = 32;
int32_t WebTabIdParse(const char* text, size_t length);
// Tab order over the ids of the element sinks in list order: forward picks the
// smallest id above current, backward the largest below it; only ids above 0
// count, and among equal ids the first in the list wins. -1 when none.
int32_t WebTabPick(const int32_t* ids, size_t count, int32_t current, bool forward);

// ---- Page events -----------------------------------------------------------------------
// The texts an event carries (type, element id, target id) share one area.
constexpr size_t kWebEventTextArea = 2040;
// The JSON text's room: every byte of the area escaped to six, plus the fixed text.
constexpr size_t kWebEventJsonSize = kWebEventTextArea * 6 + 256;
struct WebEventFields {
    const char* type;
    const char* id;
    const char* target;
    int32_t pageX, pageY;
    bool ctrlKey;
    int32_t keyCode;
};
// {"type":..,"id":..,"pageX":..,"pageY":..,"metaKey":..,"which":..,"target":..}
// with every text escaped (quote, backslash and control characters), so the text
// always parses. The length written, or 0 when out is too small.
size_t WebEventJson(const WebEventFields* f, char* out, size_t outSize);
// Copies at most size - 1 bytes of a NUL-terminated text and the NUL; the
// bytes copied.
size_t HtmlCopyCut(char* out, size_t size, const char* text);

// ---- Inline styles ---------------------------------------------------------------------
// The style object interface each name lives on.
enum HtmlStyleFace : uint8_t { kStyleFace1 = 1, kStyleFace2, kStyleFace3, kStyleFace4, kStyleFace5 };
constexpr int kHtmlStyleNameCount = 92;
// The index of a style name (case ignored), -1 when it is not one.
int HtmlStyleIndex(const char* name);
const char* HtmlStyleName(int index);
HtmlStyleFace HtmlStyleFaceOf(int index);
