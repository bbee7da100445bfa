// weblistview.h - the list view in the web view: its record with every column,
// row and cell, the markup of its table, the redraw queue, the methods and the
// page events; and the one redraw flush of every list control before the
// program waits. Its delimited text and row sort are in weblvtext.h.
#pragma once

#include <cstddef>
#include <cstdint>

#include "objects/crstream.h"
#include "objects/objrecord.h"
#include "session/proto/records.h"

struct FontRec;

constexpr uint32_t kListViewAttrSlots = 20;
constexpr int32_t kListViewColumnsMax = 237;     // column count + 20 may not pass 256
constexpr uint32_t kListViewShownMax = 256;

enum ListViewStyle : uint32_t {
    kLvsGridLine = 0x001, kLvsCheckBox = 0x004, kLvsHoverSel = 0x008, kLvsFullRow = 0x020, kLvsActivate1 = 0x040,
    kLvsActivate2 = 0x080, kLvsHotTrack = 0x800,
};
enum ListViewFlag : uint32_t { kLvfCreated = 0x02, kLvfSettingWidth = 0x04, kLvfFiller = 0x08 };
enum ListViewRowState : uint32_t { kLvRowFocused = 0x1, kLvRowSelected = 0x2 };
enum ListViewEditType : uint8_t { kLvEditNone = 0, kLvEditText = 1, kLvEditNumber = 2 };

struct ListViewCell {
    ListViewCell* next;
    char* text;                // none = empty
};
struct ListViewColumn {
    ListViewColumn* next;
    uint32_t format;           // low byte: 0 left, 1 right, 2 centre
    int32_t width;             // pixels; 0 or less: not shown
    char* text;
    int32_t image;
    uint32_t order;            // the shown position, 0 = none
    uint8_t editType;          // ListViewEditType
    uint32_t maxChars;
    char* choices;             // ';'-separated choice list of an edit column
    char* inputClass;
};
struct ListViewRow {
    ListViewRow* next;
    int32_t image;
    uint32_t param;
    uint32_t prevPos;          // the row's index before the last sort
    uint32_t state;            // ListViewRowState and the bits given
    uint8_t check;
    ListViewCell* cells;       // one per column, in column order
};

struct WebListViewRecord {
    ObjectRecord hdr;
    ObjectRecord* imageList;
    ObjectRecord* imageListSm;
    ObjectRecord* imageListSt;
    uint32_t fgColumn, bgColumn, attrColumn;   // 0 = none
    int32_t* designedWidths;
    uint8_t* widthLocks;
    uint32_t capacity;
    uint32_t lvFlags;          // ListViewFlag
    char* attrDefault;
    FontRec* attrFonts[kListViewAttrSlots];
    uint32_t attrFontSizes[kListViewAttrSlots];
    uint32_t palette[kListViewAttrSlots];
    uint32_t style;            // ListViewStyle
    uint32_t hoverTime;        // 0xFFFFFFFF: the default
    uint8_t hideSel, hideColHdr, multiSelect, labelWrap, sortHeader;
    uint8_t checkSeen;         // a check box changed on the page: the next column-0 click is its own
    int32_t pressedRow;        // the row the button went down on (its click to come), -1 none
    uint8_t pressedWasSelected;
    uint8_t queued;
    uint8_t sortOrder, viewStyle, arrange;
    uint32_t methodColumns;    // columns as the methods count them
    uint32_t iconSpacing[8];
    int32_t columnCount;
    ListViewColumn* columns;
    uint32_t rowCount;
    ListViewRow* rows;
    ObjectRecord* nextQueued;
};

inline WebListViewRecord* WebListView(ObjectRecord* rec) { return reinterpret_cast<WebListViewRecord*>(rec); }

extern ObjectRecord* gWebListViewRedraws;
extern uint8_t gListViewNoRedraw;

ObjectRecord* WebListViewCreate(ObjectRecord* top, ObjectRecord* rec, ObjectCreateRecord* cr, uint32_t kind,
                                int32_t* code);
int32_t WebListViewSetProp(ObjectRecord* rec, uint32_t id, int32_t value, const char* text, uint32_t length,
                           bool* commonWrite);
int32_t WebListViewGetProp(ObjectRecord* rec, uint32_t id, int32_t* result, const char** text);
void WebListViewDestroy(ObjectRecord* rec);

void WebListViewMarkup(WebListViewRecord* lv);
// map[p] = the column shown at position p; answers the number of positions.
uint32_t WebListViewColumnOrderMap(const WebListViewRecord* lv, int32_t* map);
// The column a shown position shows (the position itself when out of range).
int32_t WebListViewColumnAt(const WebListViewRecord* lv, int32_t position);
// A colour cell "0xRRGGBB" as a COLORREF; false for any other text.
bool WebListViewCellColumnColor(const char* text, uint32_t* color);
// The colours of one cell from the attribute default and the row's attribute text.
void WebListViewCellAttrColors(const WebListViewRecord* lv, const char* rowAttr, int32_t column, uint32_t* fg,
                               uint32_t* bg);

void WebListViewQueueRedraw(WebListViewRecord* lv);
void WebListViewUnqueue(WebListViewRecord* lv);
// The list views' queued redraws, only rec's when one is given (the other
// kinds' are flushed through their rows of the web kind table).
void WebFlushRedraws(ObjectRecord* rec);
// The application-host state word (bit 24: a sort redraws the list whole); none: off.
extern uint32_t* gWebAppHostState;

int32_t WebListViewInsertColumn(WebListViewRecord* lv, int32_t pos, uint32_t format, int32_t width, const char* text,
                                uint32_t length, int32_t image, uint32_t order);
int32_t WebListViewDeleteColumn(WebListViewRecord* lv, int32_t pos);
// A column as the methods insert it: counted, its width kept, the colour and
// attribute columns behind it moved up; its position, or -1.
int32_t WebListViewAddColumn(WebListViewRecord* lv, const char* text, uint32_t length, int32_t width, int32_t index,
                             uint32_t format);
int32_t WebListViewInsertItem(WebListViewRecord* lv, int32_t pos, const char* text, uint32_t length, int32_t image,
                              uint32_t param, uint32_t state);
bool WebListViewDeleteItem(WebListViewRecord* lv, int32_t row);
void WebListViewDeleteAllRows(WebListViewRecord* lv);
ListViewRow* WebListViewRowAt(const WebListViewRecord* lv, int32_t row);
ListViewColumn* WebListViewColumnRec(const WebListViewRecord* lv, int32_t column);
ListViewCell* WebListViewCell(const ListViewRow* row, int32_t column);
bool WebListViewSetItem(WebListViewRecord* lv, int32_t row, int32_t column, const char* text, uint32_t length);
const char* WebListViewGetItem(const WebListViewRecord* lv, int32_t row, int32_t column);
// A column's header text replaced (none: empty) and the table queued; false
// when there is no such column.
bool WebListViewSetColumnText(WebListViewRecord* lv, int32_t column, const char* text, uint32_t length);
void WebListViewCellUpdate(WebListViewRecord* lv, int32_t row, int32_t column, const char* text);
void WebListViewSetCheck(WebListViewRecord* lv, int32_t row, bool on);
void WebListViewSendOrder(WebListViewRecord* lv);
void WebListViewKeepColumnWidth(WebListViewRecord* lv, int32_t pos, int32_t width);
void WebListViewDropColumnWidth(WebListViewRecord* lv, int32_t pos);

int32_t WebListViewMethod(ObjectRecord* rec, MethodCallRec* call);
// The sixteen digits of a cell rectangle (top, bottom, left, right) into out (17 bytes).
void WebListViewRectText(int32_t top, int32_t height, int32_t left, int32_t width, char* out);
void WebListViewOnClick(ObjectRecord* rec, int32_t row, int32_t column, bool dblClick, int32_t modifiers);
// The button gone down on a row: the row is chosen ($CHANGE); its click follows.
void WebListViewOnPress(ObjectRecord* rec, int32_t row, int32_t column);
void WebListViewOnKey(ObjectRecord* rec, int32_t key);
void WebListViewOnCheck(ObjectRecord* rec, int32_t row, bool on);
void WebListViewOnEdit(ObjectRecord* rec, int32_t row, int32_t column, const char* text);
void WebListViewInstall();
