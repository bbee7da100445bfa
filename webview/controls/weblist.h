// weblist.h - the data list (a list box) in the web view: its record and rows,
// the row store, the selection operations, the redraw queue and the table
// markup, the tab stops, and the option bytes the list controls share.
#pragma once

#include <cstddef>
#include <cstdint>

#include "objects/crstream.h"
#include "objects/objrecord.h"
#include "session/proto/records.h"
#include "session/util/json.h"

struct WebEventName;

// Option bytes of the list controls; no server message sets them (tests do).
extern uint8_t gWebLocaleCompare;      // sorted rows by the system comparison (default 1)
extern uint8_t gWebLenientTabStops;    // an unparsable creation TabStops is taken as none (default 0)
extern uint8_t gWebSampleContent;      // new list and tree views get sample contents (default 0)

// The header flag every data-list record carries.
constexpr uint32_t kDataListMark = 0x80000;
constexpr uint32_t kDataListRowsMax = 65000;
constexpr uint32_t kDataListTabStopsMax = 256;
constexpr uint32_t kDataListCellMax = 2040;

enum DataListFlag : uint16_t {
    kDlSorted = 0x0001, kDlNoIntegral = 0x0002, kDlPrinter = 0x0004, kDlAllowEmptyTab = 0x0008,
    kDlHScroll = 0x0010, kDlVScroll = 0x0020, kDlNoKeyClick = 0x0040, kDlMultiColumn = 0x0080,
    kDlScrollHide = 0x0100,
};
enum DataListStyle : uint8_t { kDlsMultiple = 1, kDlsExtended = 2, kDlsSingle = 3 };

struct DataListRow {
    DataListRow* next;
    uint32_t value;            // GetItemData
    char* text;
    uint8_t selected;
};

struct WebDataListRecord {
    ObjectRecord hdr;
    char* tabStopText;
    uint32_t lastAnswered;     // row after the last one the next-selected queries answered
    uint16_t flags;            // DataListFlag
    uint8_t style;             // DataListStyle
    uint8_t rtlMode;
    uint8_t queued;
    uint32_t columnWidth;
    uint32_t horzExtent;
    uint32_t rowCount;
    int32_t focusRow;          // the caret, -1 none
    int32_t anchorRow;         // start of a Shift range, -1 none
    int32_t selection;         // single: the selected row (-1 none); else the selected count
    ObjectRecord* nextQueued;
    DataListRow* firstRow;
    uint32_t tabStopCount;
    int32_t* tabStops;         // character columns; negative: right-aligned
};

inline WebDataListRecord* WebDataList(ObjectRecord* rec) { return reinterpret_cast<WebDataListRecord*>(rec); }

extern ObjectRecord* gDataListRedrawQueue;

ObjectRecord* WebDataListCreate(ObjectRecord* top, ObjectRecord* rec, ObjectCreateRecord* cr, uint32_t kind,
                                int32_t* code);
void WebDataListDestroy(ObjectRecord* rec);

// The row store (rows from 0). Insert answers the position, -1 for a bad
// position, -2 when full or out of memory.
int32_t DataListRowInsert(WebDataListRecord* d, int32_t pos, const char* text, uint32_t length);
int32_t DataListRowAddMulti(WebDataListRecord* d, const char* text, uint32_t length);
int32_t DataListRowInsertMulti(WebDataListRecord* d, int32_t pos, const char* text, uint32_t length);
int32_t DataListRowDelete(WebDataListRecord* d, int32_t row);
int32_t DataListRowFind(const WebDataListRecord* d, int32_t start, const char* text);
int32_t DataListRowFindExact(const WebDataListRecord* d, int32_t start, const char* text);
DataListRow* DataListRowAt(const WebDataListRecord* d, int32_t row);

// Selection operations: the pending redraw first, then action 40 (no wait).
int32_t DataListSetCurSel(WebDataListRecord* d, int32_t row);
int32_t DataListSelectTop(WebDataListRecord* d, int32_t row);
int32_t DataListSelRange(WebDataListRecord* d, bool select, int32_t first, int32_t last);
int32_t DataListSetCaret(WebDataListRecord* d, int32_t row);

void WebDataListQueueRedraw(WebDataListRecord* d);
void WebDataListUnqueue(WebDataListRecord* d);
// Renders the queued lists that are shown (only rec when one is given).
void WebDataListFlush(ObjectRecord* rec);
// The list as a table into gHtmlBuf.
void WebDataListTableMarkup(WebDataListRecord* d);
// A row text with its tabs expanded by the stops into out (at most
// kDataListCellMax bytes and a NUL); its length.
uint32_t DataListCellText(const int32_t* stops, uint32_t count, const char* text, char* out);
// Parses "n;n;..." (or "@n;..." in columns) into stops scaled for a font of
// pointSize (tenths of a point, 0 none); false when the text does not parse.
// Stops are in dialog units (scale 1): a web window keeps no dialog scale.
bool DataListParseTabStops(const char* text, uint32_t length, int32_t scale, int32_t pointSize, int32_t* stops,
                           uint32_t* count);
// Stores parsed stops (in quarter columns) in the record; -2 without memory.
int32_t DataListSetTabStops(WebDataListRecord* d, const int32_t* stops, uint32_t count);

int32_t WebDataListSetProp(ObjectRecord* rec, uint32_t id, int32_t value, const char* text, uint32_t length,
                           bool* commonWrite);
int32_t WebDataListGetProp(ObjectRecord* rec, uint32_t id, int32_t* result, const char** text);
int32_t WebDataListMethod(ObjectRecord* rec, MethodCallRec* call);
void WebDataListOnClick(ObjectRecord* rec, int32_t row, int32_t modifiers, bool dblClick);
void WebDataListOnKey(ObjectRecord* rec, int32_t key);
void WebDataListInstall();

// The system comparison (invariant locale, case ignored), set by the
// cross build; none in the host build.
extern int (*gWebListSystemCompare)(const char* a, const char* b);
// Compares two row texts as the sorted lists do: the invariant-locale system
// comparison ignoring case while gWebLocaleCompare is on, else bytes without case.
int WebListCompareText(const char* a, const char* b);
// A method argument as text into out (numbers as decimal); its length.
uint32_t WebListArgText(const MethodCallRec* call, uint32_t i, char* out, size_t outSize);
// A text argument that names a file copied into out (empty when not given):
// out, or null when the name cannot be used as given (CallArgName: a NUL
// inside it, or longer than out holds), never cut to another file's name.
const char* WebListArgName(const MethodCallRec* call, uint32_t i, char* out, size_t outSize);
// The text of a method argument without a copy (none when not text).
const char* WebListArgRaw(const MethodCallRec* call, uint32_t i, uint32_t* length);
// Posts one list event with kind 32 (modifiers, value).
void WebListPost(ObjectRecord* rec, uint32_t eventId, int32_t modifiers, int32_t value);
// Bytes compared without case (A-Z as a-z).
int WebListCompareNoCase(const char* a, const char* b);
char WebListLower(char c);
// A NUL-ended copy of length bytes on the runtime heap; none without memory.
char* WebListCopyText(const char* text, uint32_t length);
// An image list taken into *field by handle (only a web-mode image list, else
// none); the old one's use is dropped and the new one's raised. Handle 0
// releases the list held (a control's destroy).
void WebListTakeImageList(ObjectRecord** field, int32_t handle);
// Whether the record is a live web-mode image list.
bool WebListIsImageList(const ObjectRecord* rec);

// The redraw queues of the list controls: records linked at the head through
// a next field of their own (link gives it) and marked by a queued byte.
typedef ObjectRecord** (*WebRedrawLinkFn)(ObjectRecord* rec);
void WebRedrawQueuePush(ObjectRecord** head, ObjectRecord* rec, WebRedrawLinkFn link, uint8_t* queued);
void WebRedrawQueueRemove(ObjectRecord** head, ObjectRecord* rec, WebRedrawLinkFn link, uint8_t* queued);
// Renders (and takes off the queue) every queued record that is shown, only
// rec when one is given; the others stay queued until they are shown.
void WebRedrawQueueFlush(ObjectRecord** head, ObjectRecord* rec, WebRedrawLinkFn link, uint8_t* (*queuedOf)(ObjectRecord*),
                         void (*render)(ObjectRecord* rec));
