// weblistview.cpp - the list view in the web view: the client keeps every
// column, row and cell; the page shows them as a table sent whole before the
// program next waits, or patched in place for one cell, one check box, the
// selection or the row order after a sort.
#include "webview/controls/weblistview.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "objects/events.h"
#include "objects/font.h"
#include "objects/kindcodes.h"
#include "objects/objtables.h"
#include "session/util/digits.h"
#include "session/util/mem.h"
#include "webview/controls/weblist.h"
#include "webview/controls/weblvtext.h"
#include "webview/controls/webxml.h"
#include "webview/core/pageactions.h"
#include "webview/core/webchannel.h"
#include "webview/core/webevents.h"
#include "webview/core/webgeneric.h"
#include "webview/core/webmarkup.h"
#include "webview/core/webobject.h"
#include "webview/core/weboptions.h"
#include "webview/core/webprops.h"
#include "webview/core/webtext.h"
#include "webview/core/webkinds.h"

ObjectRecord* gWebListViewRedraws;
uint8_t gListViewNoRedraw;
uint32_t* gWebAppHostState;

namespace {

enum LvDwid : int32_t { kLdWhole = 1, kLdOrder = 2, kLdCurrent = 3, kLdScroll = 4 };
constexpr int32_t kDwidSelValue = 3;
constexpr uint32_t kWidthStep = 64;
constexpr int32_t kFillerNarrowing = 10, kFillerMinWidth = 13, kInputMinWidth = 6;
constexpr uint32_t kWhite = 0xFFFFFF;
constexpr uint32_t kSysButtonText = 18, kSys3DFace = 15, kThemeGrey = 0xF0F0F0;
constexpr uint32_t kDefaultHover = 0xFFFFFFFF;
constexpr int64_t kRowPressed = 2;   // a row click's "ev" when the button went down on the row
// Property values: ViewStyle 1-4 and Arrange 1-3 (3 the default of both);
// SortOrder; Activate (a row activates on a double click, on one click, or on a
// click of the row already selected); Appearance; a column format's alignment.
constexpr int32_t kViewStyleFirst = 1, kViewStyleLast = 4, kViewStyleDefault = 3;
constexpr int32_t kArrangeFirst = 1, kArrangeLast = 3, kArrangeDefault = 3;
enum SortOrderValue : uint8_t { kSortAscending = 1, kSortDescending = 2, kSortNone = 3 };
enum ActivateValue : int32_t { kActivateDoubleClick = 1, kActivateOneClick = 2, kActivateSecondClick = 3 };
enum AppearanceValue : uint8_t { kAppearance3D = 1, kAppearanceFlat = 2 };
enum ColumnAlign : uint32_t { kAlignLeft = 0, kAlignRight = 1, kAlignCentre = 2 };
enum LvKey : int32_t { kKeySpace = 32, kKeyEnd = 35, kKeyHome = 36, kKeyUp = 38, kKeyDown = 40, kKeyShow = 999 };

bool ReplaceText(char** field, const char* text, uint32_t length) {
    char* copy = text ? WebListCopyText(text, length) : nullptr;
    if (text && !copy) return false;
    GuardedFree(*field);
    *field = copy;
    return true;
}

uint32_t Len(const char* text) { return text ? static_cast<uint32_t>(strlen(text)) : 0; }

bool IsSpecialColumn(const WebListViewRecord* lv, int32_t column) {
    return column > 0 && (static_cast<uint32_t>(column) == lv->fgColumn ||
                          static_cast<uint32_t>(column) == lv->bgColumn ||
                          static_cast<uint32_t>(column) == lv->attrColumn);
}

bool AnyEditColumn(const WebListViewRecord* lv) {
    for (ListViewColumn* c = lv->columns; c; c = c->next)
        if (c->editType != kLvEditNone) return true;
    return false;
}

void FreeCells(ListViewCell* cell) {
    while (cell) {
        ListViewCell* next = cell->next;
        GuardedFree(cell->text);
        GuardedFree(cell);
        cell = next;
    }
}

void FreeRow(ListViewRow* row) {
    FreeCells(row->cells);
    GuardedFree(row);
}

void FreeColumn(ListViewColumn* c) {
    GuardedFree(c->text);
    GuardedFree(c->choices);
    GuardedFree(c->inputClass);
    GuardedFree(c);
}

ObjectRecord** QueueLink(ObjectRecord* rec) { return &WebListView(rec)->nextQueued; }
uint8_t* QueuedOf(ObjectRecord* rec) { return &WebListView(rec)->queued; }

// The colour and attribute columns never show.
void HideSpecialColumns(WebListViewRecord* lv) {
    for (uint32_t column : {lv->fgColumn, lv->bgColumn, lv->attrColumn}) {
        ListViewColumn* c = column ? WebListViewColumnRec(lv, static_cast<int32_t>(column)) : nullptr;
        if (c) c->width = 0;
    }
}

void RenderListView(ObjectRecord* rec) {
    WebListViewRecord* lv = WebListView(rec);
    WebViewSelectForObject(rec);
    JsonBeginAction(kActList);
    JsonAddName(rec);
    JsonAddInt("dwid", kLdWhole);
    if (lv->multiSelect) JsonAddInt("ms", 1);
    HtmlReset();
    WebListViewMarkup(lv);
    JsonAddJsHtml((rec->modeFlags & kModeUtf8Texts) != 0);
    WebViewMsgEnd();
}

// A colour with a system colour index resolved (a COLORREF either way).
uint32_t SystemColor(uint32_t color) {
    if ((color & kSysColorBit) && (color & ~kSysColorBit) < kSysColorCount)
        return gWebHooks.sysColor ? gWebHooks.sysColor(color & ~kSysColorBit) : 0;
    return color;
}

// A COLORREF (red in the low byte) from 0xRRGGBB.
uint32_t RgbToColorRef(uint32_t rgb) {
    return ((rgb >> 16) & 0xFF) | (rgb & 0xFF00) | ((rgb & 0xFF) << 16);
}

// The first shown column (wider than 0); 0 when none.
int32_t FirstShownColumn(const WebListViewRecord* lv) {
    int32_t i = 0;
    for (ListViewColumn* c = lv->columns; c; c = c->next, ++i)
        if (c->width > 0) return i;
    return 0;
}

void OpenAction(WebListViewRecord* lv, int32_t dwid) {
    WebViewSelectForObject(&lv->hdr);
    JsonBeginAction(kActList);
    JsonAddName(&lv->hdr);
    JsonAddInt("dwid", dwid);
}

void SendRowOp(WebListViewRecord* lv, int32_t dwid, int32_t row, int32_t pos) {
    WebFlushRedraws(&lv->hdr);
    OpenAction(lv, dwid);
    JsonAddInt("rn", row);
    JsonAddInt("pos", pos);
    WebViewMsgEnd();
}

void AppendId(const char* format, uint32_t id, int32_t a = 0, int32_t b = 0) {
    char text[64];
    snprintf(text, sizeof text, format, id, a, b);
    HtmlAppend(text, 0);
}

// The items of a choice list: ';' ends an item, a doubled ';' or '&' stands
// for itself.
void AppendChoiceOptions(const char* list) {
    static char item[1024];
    uint32_t n = 0;
    for (const char* p = list;; ++p) {
        bool end = *p == 0 || (*p == ';' && p[1] != ';');
        if (end) {
            if (n) {
                HtmlAppend("<option value='", 0);
                HtmlAppendAttr(item, n);
                HtmlAppend("'>", 0);
            }
            n = 0;
            if (*p == 0) return;
            continue;
        }
        if ((*p == ';' || *p == '&') && p[1] == *p) ++p;
        if (n < sizeof item) item[n++] = *p;
    }
}

struct ShownColumn {
    ListViewColumn* col;
    int32_t column;
    int32_t drawnWidth;
};

int32_t DrawnWidth(const WebListViewRecord* lv, const ListViewColumn* c) {
    return (lv->lvFlags & kLvfFiller) && c->width >= kFillerMinWidth ? c->width - kFillerNarrowing : c->width;
}

void AppendCellStyle(uint32_t align, int32_t width, bool known, uint32_t fg, uint32_t bg) {
    bool open = false;
    auto item = [&](const char* text) {
        HtmlAppend(open ? "; " : " style='", 0);
        open = true;
        HtmlAppend(text, 0);
    };
    if (align == kAlignRight) {
        HtmlAppend(" style='text-align: right", 0);
        open = true;
    } else if (align == kAlignCentre) {
        HtmlAppend("style='text-align: center", 0);
        open = true;
    }
    if (width >= 0) {
        item("width:");
        HtmlAppendInt(width);
        HtmlAppend("px", 0);
    }
    if (known) {
        item("background-color:");
        HtmlAppendColor(bg);
        item("color:");
        HtmlAppendColor(fg);
    }
    if (open) HtmlAppend(";'", 0);
}

void AppendCellContent(const WebListViewRecord* lv, const ShownColumn& s, int32_t position, const char* text) {
    const ListViewColumn* c = s.col;
    if (c->editType == kLvEditNone) {
        if (!text || !*text) HtmlAppend("&nbsp;", 0);
        else if (*text == ' ') {
            HtmlAppend("&nbsp;", 0);
            HtmlAppend(text + 1, 0);
        } else {
            HtmlAppend(text, 0);
        }
        return;
    }
    HtmlAppend("<input class='", 0);
    const char* cls = c->inputClass && *c->inputClass ? c->inputClass : "qovlvc";
    HtmlAppendAttr(cls, Len(cls));
    HtmlAppend("' type='text' ", 0);
    if (c->editType == kLvEditNumber) HtmlAppend(" data-qove='n'", 0);
    if (c->choices && *c->choices) AppendId("list='C%uL%d' ", lv->hdr.elementId, position);
    HtmlAppend("value='", 0);
    HtmlAppendAttr(text ? text : "", Len(text));
    HtmlAppend("' ", 0);
    if (c->maxChars) AppendId("maxlength='%u' ", c->maxChars);
    if (s.drawnWidth > kInputMinWidth) {
        HtmlAppend("style='width:", 0);
        HtmlAppendInt(s.drawnWidth);
        HtmlAppend("px' ", 0);
    }
    HtmlAppend(">", 0);
}

bool ThemedColors(const ObjectRecord* rec) {
    uint32_t fg = rec->fgColor, bg = rec->bgColor;
    bool fgPlain = fg == 0 || fg == (kSysColorBit | kSysButtonText);
    bool bgPlain = bg == kThemeGrey || bg == (kSysColorBit | kSys3DFace) || bg == kWhite;
    return fgPlain && bgPlain;
}

int32_t ReadSlot(const char** p) {
    const char* s = *p;
    while (*s == ' ') ++s;
    if (*s < '0' || *s > '9') {
        *p = s;
        return -1;
    }
    int32_t v = 0;
    while (*s >= '0' && *s <= '9' && v < 100000) v = v * 10 + (*s++ - '0');
    *p = s;
    return v;
}

// Applies entry `entry` of an attribute text (entries separated by ';', each
// "fg,bg,font" slot numbers).
void ApplyAttrEntry(const WebListViewRecord* lv, const char* attr, int32_t entry, uint32_t* fg, uint32_t* bg) {
    if (!attr) return;
    const char* p = attr;
    for (int32_t i = 0; i < entry; ++i) {
        p = strchr(p, ';');
        if (!p) return;
        ++p;
    }
    int32_t slots[3] = {-1, -1, -1};
    for (int k = 0; k < 3; ++k) {
        slots[k] = ReadSlot(&p);
        while (*p == ' ') ++p;
        if (*p != ',') break;
        ++p;
    }
    if (slots[0] >= 1 && slots[0] <= static_cast<int32_t>(kListViewAttrSlots)) *fg = lv->palette[slots[0] - 1];
    if (slots[1] >= 1 && slots[1] <= static_cast<int32_t>(kListViewAttrSlots)) *bg = lv->palette[slots[1] - 1];
}

void WidthArraysGrow(WebListViewRecord* lv) {
    if (lv->methodColumns + 2 < lv->capacity) return;
    uint32_t cap = ((lv->methodColumns + 2) / kWidthStep + 1) * kWidthStep;
    auto* widths = static_cast<int32_t*>(GuardedAlloc(sizeof(int32_t) * cap));
    auto* locks = static_cast<uint8_t*>(GuardedAlloc(cap));
    if (!widths || !locks) {
        GuardedFree(widths);
        GuardedFree(locks);
        return;
    }
    memset(widths, 0, sizeof(int32_t) * cap);
    memset(locks, 0, cap);
    if (lv->capacity) {
        memcpy(widths, lv->designedWidths, sizeof(int32_t) * lv->capacity);
        memcpy(locks, lv->widthLocks, lv->capacity);
    }
    GuardedFree(lv->designedWidths);
    GuardedFree(lv->widthLocks);
    lv->designedWidths = widths;
    lv->widthLocks = locks;
    lv->capacity = cap;
}

bool ArgIsUtf8(const MethodCallRec* call, uint32_t i) {
    return WebArgGiven(call, i) && call->args[i].kind == kItemUtf8;
}

}  // namespace

// ---- Creation, destruction ----------------------------------------------------------------

ObjectRecord* WebListViewCreate(ObjectRecord* top, ObjectRecord* rec, ObjectCreateRecord* cr, uint32_t kind,
                                int32_t* code) {
    if (!rec) rec = ObjectAllocRecord(static_cast<uint8_t>(kind), sizeof(WebListViewRecord), true);
    if (!rec) {
        *code = kWebNoMemory;
        return nullptr;
    }
    WebListViewRecord* lv = WebListView(rec);
    for (uint32_t i = 0; i < kListViewAttrSlots; ++i) lv->palette[i] = kWhite;
    lv->pressedRow = -1;
    if (cr->flags1 & kCr1Border) rec->flags |= kObjBorder;
    auto ranged = [cr](uint32_t id, int32_t low, int32_t high, int32_t def) {
        int32_t v = CreateRecordValue(cr, id, def);
        return static_cast<uint8_t>(v >= low && v <= high ? v : def);
    };
    lv->viewStyle = ranged(kPidViewStyle, kViewStyleFirst, kViewStyleLast, kViewStyleDefault);
    lv->arrange = ranged(kPidArrange, kArrangeFirst, kArrangeLast, kArrangeDefault);
    lv->sortOrder = ranged(kPidSortOrder, kSortAscending, kSortNone, kSortNone);
    lv->hideSel = CreateRecordValue(cr, kPidHideSel, 0) != 0;
    lv->hideColHdr = CreateRecordValue(cr, kPidHideColHdr, 0) != 0;
    lv->sortHeader = CreateRecordValue(cr, kPidSortHeader, 0) != 0;
    lv->multiSelect = CreateRecordValue(cr, kPidMultiSelect, 0) != 0;
    lv->labelWrap = CreateRecordValue(cr, kPidLabelWrap, 0) != 0;
    if (CreateRecordValue(cr, kPidFullRow, 0)) lv->style |= kLvsFullRow;
    if (CreateRecordValue(cr, kPidCheckBox, 0)) lv->style |= kLvsCheckBox;
    if (CreateRecordValue(cr, kPidGridLine, 0)) lv->style |= kLvsGridLine;
    int32_t activate = CreateRecordValue(cr, kPidActivate, 0);
    if (activate == kActivateOneClick) lv->style |= kLvsActivate1;
    if (activate == kActivateSecondClick) lv->style |= kLvsActivate2;
    if (CreateRecordValue(cr, kPidHoverSel, 0)) lv->style |= kLvsHoverSel;
    if (CreateRecordValue(cr, kPidHotTrack, 0)) lv->style |= kLvsHotTrack;
    int32_t hover = CreateRecordValue(cr, kPidHoverTime, 0);
    lv->hoverTime = hover ? static_cast<uint32_t>(hover) : kDefaultHover;
    lv->lvFlags |= kLvfCreated;
    (void)top;
    // The creation text names the columns, tab-separated, as for the native list view.
    const CrText& names = cr->text.text ? cr->text : cr->title;
    for (uint32_t start = 0, i = 0; names.text && names.length && i <= names.length; ++i) {
        if (i < names.length && names.text[i] != '\t') continue;
        int32_t pos = WebListViewInsertColumn(lv, -1, 0, kLvColumnWidth, names.text + start, i - start, 0, 0);
        if (pos >= 0) {
            ++lv->methodColumns;
            WebListViewKeepColumnWidth(lv, pos, kLvColumnWidth);
        }
        start = i + 1;
    }
    if (gWebSampleContent) {
        WebListViewInsertColumn(lv, 0, 0, 80, "Column 1", 8, 0, 0);
        WebListViewInsertItem(lv, 0, "ListView Text", 13, 0, 0, 0);
    }
    return rec;
}

void WebListViewDestroy(ObjectRecord* rec) {
    WebListViewRecord* lv = WebListView(rec);
    GuardedFree(lv->attrDefault);
    lv->attrDefault = nullptr;
    for (uint32_t i = 0; i < kListViewAttrSlots; ++i) {
        if (lv->attrFonts[i]) WebFontRelease(lv->attrFonts[i]);
        lv->attrFonts[i] = nullptr;
    }
    GuardedFree(lv->designedWidths);
    GuardedFree(lv->widthLocks);
    lv->designedWidths = nullptr;
    lv->widthLocks = nullptr;
    lv->capacity = 0;
    WebListViewDeleteAllRows(lv);
    for (ListViewColumn* c = lv->columns; c;) {
        ListViewColumn* next = c->next;
        FreeColumn(c);
        c = next;
    }
    lv->columns = nullptr;
    lv->columnCount = 0;
    // The uses of the image lists go back with the list view.
    for (ObjectRecord** list : {&lv->imageList, &lv->imageListSm, &lv->imageListSt}) WebListTakeImageList(list, 0);
    WebListViewUnqueue(lv);
}

// ---- Columns, rows, cells ------------------------------------------------------------------

ListViewRow* WebListViewRowAt(const WebListViewRecord* lv, int32_t row) {
    if (row < 0) return nullptr;
    ListViewRow* r = lv->rows;
    for (int32_t i = 0; r && i < row; ++i) r = r->next;
    return r;
}

ListViewColumn* WebListViewColumnRec(const WebListViewRecord* lv, int32_t column) {
    if (column < 0) return nullptr;
    ListViewColumn* c = lv->columns;
    for (int32_t i = 0; c && i < column; ++i) c = c->next;
    return c;
}

ListViewCell* WebListViewCell(const ListViewRow* row, int32_t column) {
    if (!row || column < 0) return nullptr;
    ListViewCell* c = row->cells;
    for (int32_t i = 0; c && i < column; ++i) c = c->next;
    return c;
}

int32_t WebListViewInsertColumn(WebListViewRecord* lv, int32_t pos, uint32_t format, int32_t width, const char* text,
                                uint32_t length, int32_t image, uint32_t order) {
    if (lv->columnCount + 20 > static_cast<int32_t>(kListViewShownMax)) return -1;
    WebListViewQueueRedraw(lv);
    if (pos < 0 || pos > lv->columnCount) pos = lv->columnCount;
    auto* col = static_cast<ListViewColumn*>(GuardedAlloc(sizeof(ListViewColumn)));
    if (!col) return -1;
    memset(col, 0, sizeof *col);
    col->format = format;
    col->width = width;
    col->image = image;
    col->order = order;
    if (text && !(col->text = WebListCopyText(text, length))) {
        GuardedFree(col);
        return -1;
    }
    // An empty cell at pos in every row; on failure the rows done give theirs back.
    int32_t done = 0;
    for (ListViewRow* r = lv->rows; r; r = r->next, ++done) {
        auto* cell = static_cast<ListViewCell*>(GuardedAlloc(sizeof(ListViewCell)));
        if (!cell) {
            ListViewRow* u = lv->rows;
            for (int32_t i = 0; i < done; ++i, u = u->next) {
                ListViewCell** link = &u->cells;
                for (int32_t k = 0; k < pos; ++k) link = &(*link)->next;
                ListViewCell* gone = *link;
                *link = gone->next;
                GuardedFree(gone);
            }
            FreeColumn(col);
            return -1;
        }
        memset(cell, 0, sizeof *cell);
        ListViewCell** link = &r->cells;
        for (int32_t k = 0; k < pos && *link; ++k) link = &(*link)->next;
        cell->next = *link;
        *link = cell;
    }
    ListViewColumn** link = &lv->columns;
    for (int32_t k = 0; k < pos; ++k) link = &(*link)->next;
    col->next = *link;
    *link = col;
    ++lv->columnCount;
    return pos;
}

int32_t WebListViewDeleteColumn(WebListViewRecord* lv, int32_t pos) {
    if (pos < 0 || pos >= lv->columnCount) return 0;
    WebListViewQueueRedraw(lv);
    ListViewColumn** link = &lv->columns;
    for (int32_t k = 0; k < pos; ++k) link = &(*link)->next;
    ListViewColumn* gone = *link;
    *link = gone->next;
    FreeColumn(gone);
    --lv->columnCount;
    for (ListViewRow* r = lv->rows; r; r = r->next) {
        ListViewCell** cl = &r->cells;
        for (int32_t k = 0; k < pos && *cl; ++k) cl = &(*cl)->next;
        if (!*cl) continue;
        ListViewCell* cell = *cl;
        *cl = cell->next;
        GuardedFree(cell->text);
        GuardedFree(cell);
    }
    return 1;
}

int32_t WebListViewInsertItem(WebListViewRecord* lv, int32_t pos, const char* text, uint32_t length, int32_t image,
                              uint32_t param, uint32_t state) {
    WebListViewQueueRedraw(lv);
    auto* row = static_cast<ListViewRow*>(GuardedAlloc(sizeof(ListViewRow)));
    if (!row) return -1;
    memset(row, 0, sizeof *row);
    row->image = image;
    row->param = param;
    row->state = state;
    ListViewCell** tail = &row->cells;
    int32_t columns = lv->columnCount > 0 ? lv->columnCount : 0;
    for (int32_t k = 0; k < columns; ++k) {
        auto* cell = static_cast<ListViewCell*>(GuardedAlloc(sizeof(ListViewCell)));
        if (!cell) {
            FreeRow(row);
            return -1;
        }
        memset(cell, 0, sizeof *cell);
        *tail = cell;
        tail = &cell->next;
    }
    if (row->cells && text && !(row->cells->text = WebListCopyText(text, length))) {
        FreeRow(row);
        return -1;
    }
    if (pos < 0 || static_cast<uint32_t>(pos) > lv->rowCount) pos = static_cast<int32_t>(lv->rowCount);
    ListViewRow** link = &lv->rows;
    for (int32_t k = 0; k < pos; ++k) link = &(*link)->next;
    row->next = *link;
    *link = row;
    row->prevPos = static_cast<uint32_t>(pos);
    ++lv->rowCount;
    return pos;
}

void WebListViewDeleteAllRows(WebListViewRecord* lv) {
    for (ListViewRow* r = lv->rows; r;) {
        ListViewRow* next = r->next;
        FreeRow(r);
        r = next;
    }
    lv->rows = nullptr;
    lv->rowCount = 0;
}

bool WebListViewDeleteItem(WebListViewRecord* lv, int32_t row) {
    if (row < 0 || static_cast<uint32_t>(row) >= lv->rowCount) return false;
    WebListViewQueueRedraw(lv);
    ListViewRow** link = &lv->rows;
    for (int32_t k = 0; k < row; ++k) link = &(*link)->next;
    ListViewRow* gone = *link;
    *link = gone->next;
    FreeRow(gone);
    --lv->rowCount;
    return true;
}

bool WebListViewSetItem(WebListViewRecord* lv, int32_t row, int32_t column, const char* text, uint32_t length) {
    ListViewCell* cell = WebListViewCell(WebListViewRowAt(lv, row), column);
    if (!cell) return false;
    if (!gListViewNoRedraw) WebListViewQueueRedraw(lv);
    return ReplaceText(&cell->text, text ? text : "", text ? length : 0);
}

bool WebListViewSetColumnText(WebListViewRecord* lv, int32_t column, const char* text, uint32_t length) {
    ListViewColumn* c = WebListViewColumnRec(lv, column);
    if (!c) return false;
    ReplaceText(&c->text, text ? text : "", text ? length : 0);
    WebListViewQueueRedraw(lv);
    return true;
}

const char* WebListViewGetItem(const WebListViewRecord* lv, int32_t row, int32_t column) {
    ListViewCell* cell = WebListViewCell(WebListViewRowAt(lv, row), column);
    return cell && cell->text ? cell->text : "";
}

void WebListViewKeepColumnWidth(WebListViewRecord* lv, int32_t pos, int32_t width) {
    WidthArraysGrow(lv);
    if (pos < 0 || static_cast<uint32_t>(pos) + 1 >= lv->capacity) return;
    for (uint32_t i = lv->capacity - 1; i > static_cast<uint32_t>(pos); --i) {
        lv->designedWidths[i] = lv->designedWidths[i - 1];
        lv->widthLocks[i] = lv->widthLocks[i - 1];
    }
    lv->designedWidths[pos] = width;
    lv->widthLocks[pos] = 0;
}

void WebListViewDropColumnWidth(WebListViewRecord* lv, int32_t pos) {
    if (pos < 0 || static_cast<uint32_t>(pos) >= lv->capacity) return;
    for (uint32_t i = static_cast<uint32_t>(pos); i + 1 < lv->capacity; ++i) {
        lv->designedWidths[i] = lv->designedWidths[i + 1];
        lv->widthLocks[i] = lv->widthLocks[i + 1];
    }
    lv->designedWidths[lv->capacity - 1] = 0;
    lv->widthLocks[lv->capacity - 1] = 0;
}

// ---- Markup ------------------------------------------------------------------------------------

uint32_t WebListViewColumnOrderMap(const WebListViewRecord* lv, int32_t* map) {
    uint32_t n = lv->columnCount > 0 ? static_cast<uint32_t>(lv->columnCount) : 0;
    if (n > kListViewShownMax) n = kListViewShownMax;
    for (uint32_t p = 0; p < n; ++p) map[p] = -1;
    int32_t i = 0;
    for (ListViewColumn* c = lv->columns; c && static_cast<uint32_t>(i) < n; c = c->next, ++i)
        if (c->order >= 1 && c->order < n && map[c->order] < 0) map[c->order] = i;
    uint32_t free = 0;
    i = 0;
    for (ListViewColumn* c = lv->columns; c && static_cast<uint32_t>(i) < n; c = c->next, ++i) {
        if (c->order >= 1 && c->order < n && map[c->order] == i) continue;
        while (free < n && map[free] >= 0) ++free;
        if (free < n) map[free] = i;
    }
    return n;
}

int32_t WebListViewColumnAt(const WebListViewRecord* lv, int32_t position) {
    int32_t map[kListViewShownMax];
    uint32_t n = WebListViewColumnOrderMap(lv, map);
    return position >= 0 && static_cast<uint32_t>(position) < n ? map[position] : position;
}

bool WebListViewCellColumnColor(const char* text, uint32_t* color) {
    if (!text || strlen(text) != 8 || text[0] != '0' || (text[1] != 'x' && text[1] != 'X')) return false;
    uint32_t v = 0;
    for (int i = 2; i < 8; ++i) {
        char c = text[i];
        int d = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
        if (d < 0) return false;
        v = v * 16 + static_cast<uint32_t>(d);
    }
    *color = RgbToColorRef(v);
    return true;
}

void WebListViewCellAttrColors(const WebListViewRecord* lv, const char* rowAttr, int32_t column, uint32_t* fg,
                               uint32_t* bg) {
    *fg = SystemColor(lv->hdr.fgColor);
    *bg = SystemColor(lv->hdr.bgColor);
    ApplyAttrEntry(lv, lv->attrDefault, 0, fg, bg);
    ApplyAttrEntry(lv, lv->attrDefault, column + 1, fg, bg);
    ApplyAttrEntry(lv, rowAttr, 0, fg, bg);
    ApplyAttrEntry(lv, rowAttr, column + 1, fg, bg);
}

void WebListViewMarkup(WebListViewRecord* lv) {
    ObjectRecord* rec = &lv->hdr;
    uint32_t id = rec->elementId;
    int32_t map[kListViewShownMax];
    uint32_t n = WebListViewColumnOrderMap(lv, map);
    static ShownColumn shown[kListViewShownMax];
    for (uint32_t p = 0; p < n; ++p) {
        shown[p].column = map[p];
        shown[p].col = WebListViewColumnRec(lv, map[p]);
        shown[p].drawnWidth = shown[p].col ? DrawnWidth(lv, shown[p].col) : 0;
    }
    HtmlAppend((lv->style & kLvsGridLine) ? "<div class='qovlvg'>" : "<div class='qovlv'>", 0);
    for (uint32_t p = 0; p < n; ++p) {
        ListViewColumn* c = shown[p].col;
        if (!c || !c->choices || !*c->choices) continue;
        AppendId("<datalist id='C%uL%d'>", id, static_cast<int32_t>(p));
        AppendChoiceOptions(c->choices);
        HtmlAppend("</datalist>", 0);
    }
    if (gWebThemeClasses && ThemedColors(rec)) {
        HtmlAppend("<table width='100%' align='center'>", 0);
    } else {
        HtmlAppend("<table width='100%' align='center' style='color:", 0);
        HtmlAppendColor(rec->fgColor);
        HtmlAppend("; background-color:", 0);
        HtmlAppendColor(rec->bgColor);
        HtmlAppend(";'>", 0);
    }
    bool filler = (lv->lvFlags & kLvfFiller) != 0;
    if (!lv->hideColHdr) {
        HtmlAppend("<thead><tr class='qovlvh'>", 0);
        for (uint32_t p = 0; p < n; ++p) {
            ListViewColumn* c = shown[p].col;
            if (!c || c->width <= 0) continue;
            AppendId("<th id='C%uH%d' style='width: ", id, static_cast<int32_t>(p));
            HtmlAppendInt(shown[p].drawnWidth);
            HtmlAppend("px;'>", 0);
            if (c->text) HtmlAppend(c->text, 0);
            HtmlAppend("</th>", 0);
        }
        if (filler) HtmlAppend("<th></th>", 0);
        HtmlAppend("</tr></thead>", 0);
    }
    AppendId("<tbody id='C%ub'>", id);
    int32_t r = 0;
    for (ListViewRow* row = lv->rows; row; row = row->next, ++r) {
        bool rowKnown = false;
        uint32_t rowFg = 0, rowBg = 0;
        const char* attrText = nullptr;
        if (!lv->attrColumn) {
            uint32_t c1, c2;
            bool fgOk = lv->fgColumn && WebListViewCellColumnColor(WebListViewGetItem(lv, r, static_cast<int32_t>(lv->fgColumn)), &c1);
            bool bgOk = lv->bgColumn && WebListViewCellColumnColor(WebListViewGetItem(lv, r, static_cast<int32_t>(lv->bgColumn)), &c2);
            if (fgOk || bgOk) {
                rowKnown = true;
                rowFg = fgOk ? c1 : SystemColor(rec->fgColor);
                rowBg = bgOk ? c2 : SystemColor(rec->bgColor);
            }
        } else {
            attrText = WebListViewGetItem(lv, r, static_cast<int32_t>(lv->attrColumn));
        }
        HtmlAppend((row->state & kLvRowSelected) ? "<tr class='ui-selected'>" : "<tr>", 0);
        for (uint32_t p = 0; p < n; ++p) {
            const ShownColumn& s = shown[p];
            if (!s.col || s.col->width <= 0) continue;
            bool known = rowKnown;
            uint32_t fg = rowFg, bg = rowBg;
            if (lv->attrColumn && ((attrText && *attrText) || lv->attrDefault)) {
                WebListViewCellAttrColors(lv, attrText, s.column, &fg, &bg);
                known = true;
            }
            AppendId("<td id='C%uR%dI%d' ", id, r, static_cast<int32_t>(p));
            AppendCellStyle(s.col->format & 0xFF, lv->hideColHdr && r == 0 ? s.drawnWidth : -1, known, fg, bg);
            HtmlAppend(">", 0);
            if (p == 0 && (lv->style & kLvsCheckBox)) {
                HtmlAppend("<input type=\"checkbox\" ", 0);
                if (row->check) HtmlAppend("checked=\"checked\" ", 0);
                AppendId(" id='C%uC%d'>", id, r);
            }
            AppendCellContent(lv, s, static_cast<int32_t>(p), WebListViewGetItem(lv, r, s.column));
            HtmlAppend("</td>", 0);
        }
        if (lv->hideColHdr && filler && r == 0) HtmlAppend("<td></td>", 0);
        HtmlAppend("</tr>", 0);
    }
    HtmlAppend("</tbody></table></div>", 0);
}

// ---- Redraw ---------------------------------------------------------------------------------------

void WebListViewQueueRedraw(WebListViewRecord* lv) {
    if (!gListViewNoRedraw) WebRedrawQueuePush(&gWebListViewRedraws, &lv->hdr, QueueLink, &lv->queued);
}

void WebListViewUnqueue(WebListViewRecord* lv) {
    WebRedrawQueueRemove(&gWebListViewRedraws, &lv->hdr, QueueLink, &lv->queued);
}

void WebFlushRedraws(ObjectRecord* rec) {
    for (ObjectRecord* at = gWebListViewRedraws; at; at = WebListView(at)->nextQueued) HideSpecialColumns(WebListView(at));
    WebRedrawQueueFlush(&gWebListViewRedraws, rec, QueueLink, QueuedOf, RenderListView);
}

// ---- Page patches -----------------------------------------------------------------------------------

void WebListViewCellUpdate(WebListViewRecord* lv, int32_t row, int32_t column, const char* text) {
    int32_t map[kListViewShownMax];
    uint32_t n = WebListViewColumnOrderMap(lv, map);
    int32_t position = column;
    if (static_cast<uint32_t>(column) != lv->attrColumn) {
        for (uint32_t p = 0; p < n; ++p)
            if (map[p] == column) position = static_cast<int32_t>(p);
    }
    ListViewColumn* c = WebListViewColumnRec(lv, column);
    if (!c) return;
    char sel[64];
    WebViewSelectForObject(&lv->hdr);
    if (c->editType != kLvEditNone) {
        snprintf(sel, sizeof sel, "#C%uR%dI%d input", lv->hdr.elementId, row, position);
        JsonBeginAction(kActSelectorSet);
        JsonAddStringNoConv("sel", sel);
        JsonAddInt("dwid", kDwidSelValue);
        JsonAddStringZ("val", text ? text : "");
        WebViewMsgEnd();
        return;
    }
    if (c->width <= 0) {
        if (static_cast<uint32_t>(column) != lv->attrColumn || !lv->attrColumn) return;
        for (uint32_t p = 0; p < n; ++p) {
            ListViewColumn* shownCol = WebListViewColumnRec(lv, map[p]);
            if (!shownCol || shownCol->width <= 0) continue;
            uint32_t fg, bg;
            WebListViewCellAttrColors(lv, text, map[p], &fg, &bg);
            snprintf(sel, sizeof sel, "#C%uR%dI%d", lv->hdr.elementId, row, static_cast<int32_t>(p));
            char value[16];
            const char* names[2] = {"background-color", "color"};
            uint32_t colors[2] = {bg, fg};
            for (int k = 0; k < 2; ++k) {
                snprintf(value, sizeof value, "#%.6x", RgbToColorRef(colors[k]) & 0xFFFFFF);
                JsonBeginAction(kActSetCss);
                JsonAddStringNoConv("en", sel);
                JsonAddStringNoConv("pn", names[k]);
                JsonAddStringNoConv("pv", value);
                WebViewMsgEnd();
            }
        }
        return;
    }
    snprintf(sel, sizeof sel, "#C%uR%dI%d", lv->hdr.elementId, row, position);
    JsonBeginAction(kActText);
    JsonAddStringNoConv("en", sel);
    if (!text || !*text) {
        JsonAddStringNoConv("pv", "&nbsp;");
    } else if (*text == ' ' && strlen(text) < kTextBufSize + 1) {
        static char spaced[kTextBufSize + 8];
        snprintf(spaced, sizeof spaced, "&nbsp;%s", text + 1);
        JsonAddStringZ("pv", spaced);
    } else {
        JsonAddStringZ("pv", text);
    }
    WebViewMsgEnd();
}

void WebListViewSetCheck(WebListViewRecord* lv, int32_t row, bool on) {
    ListViewRow* r = WebListViewRowAt(lv, row);
    if (!r || (r->check != 0) == on) return;
    r->check = on ? 1 : 0;
    if (lv->queued) return;
    char sel[48];
    snprintf(sel, sizeof sel, "#C%uC%d", lv->hdr.elementId, row);
    WebViewSelectForObject(&lv->hdr);
    JsonBeginAction(kActSetFlag);
    JsonAddStringNoConv("en", sel);
    JsonAddStringNoConv("pn", "checked");
    JsonAddInt("pv", on ? 1 : 0);
    WebViewMsgEnd();
}

void WebListViewSendOrder(WebListViewRecord* lv) {
    if (AnyEditColumn(lv)) {
        WebListViewQueueRedraw(lv);
        return;
    }
    if (lv->queued || lv->rowCount < 2) return;
    OpenAction(lv, kLdOrder);
    if (lv->multiSelect) JsonAddInt("ms", 1);
    JsonBeginArray("srt");
    bool first = true;
    for (ListViewRow* r = lv->rows; r; r = r->next, first = false) JsonAddArrayInt(static_cast<int32_t>(r->prevPos), first);
    JsonEndArray();
    if (lv->style & kLvsCheckBox) {
        JsonBeginArray("ck");
        first = true;
        int32_t i = 0;
        for (ListViewRow* r = lv->rows; r; r = r->next, ++i) {
            if (!r->check) continue;
            JsonAddArrayInt(i, first);
            first = false;
        }
        JsonEndArray();
    }
    WebViewMsgEnd();
}

// ---- Properties --------------------------------------------------------------------------------------------

int32_t WebListViewSetProp(ObjectRecord* rec, uint32_t id, int32_t value, const char*, uint32_t,
                           bool* commonWrite) {
    WebListViewRecord* lv = WebListView(rec);
    bool commonAsked = *commonWrite;
    *commonWrite = false;
    auto styleBit = [lv](uint32_t bit, bool on) { lv->style = on ? (lv->style | bit) : (lv->style & ~bit); };
    switch (id) {
    case kPidBgColor: case kPidFgColor: {
        uint32_t v = static_cast<uint32_t>(value);
        if (v > kWhite && !((v & kSysColorBit) && (v & ~kSysColorBit) < kSysColorCount)) return 0;
        (id == kPidBgColor ? rec->bgColor : rec->fgColor) = v;
        break;
    }
    case kPidBorder: rec->flags = value ? (rec->flags | kObjBorder) : (rec->flags & ~kObjBorder); break;
    case kPidMultiSelect: case kPidMultiSelect2: lv->multiSelect = value != 0; return 0;
    case kPidAppearance:
        rec->flags = value == kAppearance3D ? (rec->flags | kObj3D) : (rec->flags & ~kObj3D);
        rec->appearance = value == kAppearance3D ? kAppearance3D : kAppearanceFlat;
        break;
    case kPidHideSel: lv->hideSel = value != 0; break;
    case kPidViewStyle: if (value < kViewStyleFirst || value > kViewStyleLast) return 0; lv->viewStyle = static_cast<uint8_t>(value); break;
    case kPidArrange: if (value < kArrangeFirst || value > kArrangeLast) return 0; lv->arrange = static_cast<uint8_t>(value); break;
    case kPidHideColHdr: lv->hideColHdr = value != 0; break;
    case kPidLabelWrap: lv->labelWrap = value != 0; break;
    case kPidSortOrder:
        if (value < kSortAscending || value > kSortNone || value == lv->sortOrder) return 0;
        lv->sortOrder = static_cast<uint8_t>(value);
        if (value != kSortNone && !(lv->lvFlags & kLvfFiller)) WebListViewSortByFirstColumn(lv, value == kSortAscending);
        break;
    case kPidSortHeader: lv->sortHeader = value != 0; break;
    case kPidFullRow: styleBit(kLvsFullRow, value != 0); break;
    case kPidCheckBox: styleBit(kLvsCheckBox, value != 0); break;
    case kPidGridLine: styleBit(kLvsGridLine, value != 0); break;
    case kPidActivate:
        lv->style &= ~(kLvsActivate1 | kLvsActivate2);
        if (value == kActivateOneClick) lv->style |= kLvsActivate1;
        if (value == kActivateSecondClick) lv->style |= kLvsActivate2;
        return 0;
    case kPidHoverSel: styleBit(kLvsHoverSel, value != 0); return 0;
    case kPidHotTrack: styleBit(kLvsHotTrack, value != 0); return 0;
    case kPidHoverTime: lv->hoverTime = value ? static_cast<uint32_t>(value) : kDefaultHover; return 0;
    case kPidImageList: WebListTakeImageList(&lv->imageList, value); return 0;
    case kPidImageListSm: WebListTakeImageList(&lv->imageListSm, value); return 0;
    case kPidImageListSt: WebListTakeImageList(&lv->imageListSt, value); return 0;
    default:
        // The common change and its page write; the table shows the colours
        // and fonts, so it is drawn again.
        WebListViewQueueRedraw(lv);
        *commonWrite = commonAsked;
        return kWebNotAvailable;
    }
    WebListViewQueueRedraw(lv);
    return 0;
}

int32_t WebListViewGetProp(ObjectRecord* rec, uint32_t id, int32_t* result, const char** text) {
    WebListViewRecord* lv = WebListView(rec);
    auto ref = [](ObjectRecord* r) { return WebListIsImageList(r) ? static_cast<int32_t>(r->handle) : 0; };
    switch (id) {
    case kPidMultiSelect: case kPidMultiSelect2: *result = lv->multiSelect; return 0;
    case kPidHideSel: *result = lv->hideSel; return 0;
    case kPidViewStyle: *result = lv->viewStyle; return 0;
    case kPidArrange: *result = lv->arrange; return 0;
    case kPidHideColHdr: *result = lv->hideColHdr; return 0;
    case kPidLabelWrap: *result = lv->labelWrap; return 0;
    case kPidSortOrder: *result = lv->sortOrder; return 0;
    case kPidSortHeader: *result = lv->sortHeader; return 0;
    case kPidFullRow: *result = (lv->style & kLvsFullRow) ? 1 : 0; return 0;
    case kPidCheckBox: *result = (lv->style & kLvsCheckBox) ? 1 : 0; return 0;
    case kPidGridLine: *result = (lv->style & kLvsGridLine) ? 1 : 0; return 0;
    case kPidActivate:
        *result = (lv->style & kLvsActivate2)   ? kActivateSecondClick
                  : (lv->style & kLvsActivate1) ? kActivateOneClick
                                                : kActivateDoubleClick;
        return 0;
    case kPidHoverSel: *result = (lv->style & kLvsHoverSel) ? 1 : 0; return 0;
    case kPidHotTrack: *result = (lv->style & kLvsHotTrack) ? 1 : 0; return 0;
    case kPidHoverTime: *result = lv->hoverTime == kDefaultHover ? 0 : static_cast<int32_t>(lv->hoverTime); return 0;
    case kPidImageList: *result = ref(lv->imageList); return 0;
    case kPidImageListSm: *result = ref(lv->imageListSm); return 0;
    case kPidImageListSt: *result = ref(lv->imageListSt); return 0;
    default: return WebDefaultGetProp(rec, id, result, text);
    }
}

// ---- Methods -------------------------------------------------------------------------------------------------

namespace {

enum NextFlag : int32_t { kNextFocused = 1, kNextSelected = 2 };
enum FindFlag : int32_t { kFindParam = 1, kFindText = 2, kFindPartial = 8 };
enum WidthFlag : int32_t {
    kWfAuto = 0x1, kWfContents = 0x2, kWfHeader = 0x4, kWfAll = 0x8000, kWfAtLeast = 0x10000, kWfHeaderBelow = 0x20000,
    kWfZeroBelow = 0x40000,
};
constexpr int32_t kSizeContents = -1, kSizeHeader = -2;
constexpr uint32_t kAppHostWholeRedraw = 0x1000000;
constexpr uint32_t kIconSpacingMin = 4;
constexpr int32_t kRectMax = 9999, kRectMin = -999;
constexpr uint32_t kColumnOrderTextMax = 40951;
constexpr uint32_t kSubItemsMax = 40;

char gArg[kTextBufSize + 1];

const char* ArgText(const MethodCallRec* call, uint32_t i, uint32_t* length) {
    *length = WebListArgText(call, i, gArg, sizeof gArg);
    return WebArgGiven(call, i) ? gArg : nullptr;
}

int32_t ReplyRowText(const ObjectRecord* rec, const MethodCallRec* call, const char* text) {
    snprintf(gTextBuf, kTextBufSize + 1, "%s", text ? text : "");
    return WebReplyTextOf(rec, call, gTextBuf);
}

void MoveSpecialColumns(WebListViewRecord* lv, int32_t at, int32_t delta) {
    for (uint32_t* c : {&lv->fgColumn, &lv->bgColumn, &lv->attrColumn}) {
        if (!*c) continue;
        if (delta < 0 && static_cast<int32_t>(*c) == at) *c = 0;
        else if (static_cast<int32_t>(*c) >= at + (delta < 0 ? 1 : 0)) *c = static_cast<uint32_t>(static_cast<int32_t>(*c) + delta);
    }
}

int32_t InsertColumnMethod(WebListViewRecord* lv, const char* text, uint32_t length, int32_t width, int32_t index,
                           uint32_t format, int32_t image, uint32_t order) {
    int32_t at = index < 0 || index > lv->columnCount ? lv->columnCount : index;
    if (lv->columnCount + 20 > static_cast<int32_t>(kListViewShownMax)) return -1;
    MoveSpecialColumns(lv, at, 1);
    int32_t pos = WebListViewInsertColumn(lv, at, format, width, text, length, image, order);
    if (pos < 0) {
        MoveSpecialColumns(lv, at, -1);
        return -1;
    }
    ++lv->methodColumns;
    WebListViewKeepColumnWidth(lv, pos, width);
    return pos;
}

}  // namespace

int32_t WebListViewAddColumn(WebListViewRecord* lv, const char* text, uint32_t length, int32_t width, int32_t index,
                             uint32_t format) {
    return InsertColumnMethod(lv, text, length, width, index, format, 0, 0);
}

namespace {

int32_t FindItem(const WebListViewRecord* lv, int32_t start, const char* text, uint32_t param, int32_t flags) {
    int32_t i = 0;
    size_t n = text ? strlen(text) : 0;
    for (ListViewRow* r = lv->rows; r; r = r->next, ++i) {
        if (i <= start) continue;
        if ((flags & kFindParam) && r->param != param) continue;
        if (flags & kFindText) {
            const char* cell = r->cells && r->cells->text ? r->cells->text : "";
            bool same = true;
            size_t m = (flags & kFindPartial) ? n : strlen(cell) + 1;
            if ((flags & kFindPartial) && strlen(cell) < n) same = false;
            for (size_t k = 0; same && k < m && k <= n; ++k) {
                char a = cell[k], b = text[k];
                if (a >= 'A' && a <= 'Z') a = static_cast<char>(a - 'A' + 'a');
                if (b >= 'A' && b <= 'Z') b = static_cast<char>(b - 'A' + 'a');
                if (a != b) same = false;
            }
            if (!same) continue;
        }
        return i;
    }
    return -1;
}

int32_t GetNextItem(const WebListViewRecord* lv, int32_t flags, int32_t start) {
    uint32_t want = ((flags & kNextFocused) ? uint32_t{kLvRowFocused} : 0u) | ((flags & kNextSelected) ? uint32_t{kLvRowSelected} : 0u);
    int32_t i = 0;
    for (ListViewRow* r = lv->rows; r; r = r->next, ++i) {
        if (i <= start) continue;
        if ((r->state & want) == want) return i;
    }
    return -1;
}

// Shows a row on the page as the current one (after the record's redraw).
void ShowCurrentRow(WebListViewRecord* lv, int32_t row) {
    SendRowOp(lv, kLdCurrent, row, FirstShownColumn(lv));
}

void SetItemState(WebListViewRecord* lv, int32_t index, uint32_t state, uint32_t mask) {
    ListViewRow* row = WebListViewRowAt(lv, index);
    if (!row) return;
    uint32_t now = (row->state & ~mask) | state;
    if (!lv->multiSelect && (now & kLvRowSelected))
        for (ListViewRow* r = lv->rows; r; r = r->next) r->state &= ~kLvRowSelected;
    if (now & kLvRowFocused)
        for (ListViewRow* r = lv->rows; r; r = r->next) r->state &= ~kLvRowFocused;
    row->state = now;
    if (EventIsRegistered(&lv->hdr, kEvChange)) WebListPost(&lv->hdr, kEvChange, 0, index);
    if (now & kLvRowFocused) ShowCurrentRow(lv, index);
    else WebListViewQueueRedraw(lv);
}

void SetItemTextMethod(WebListViewRecord* lv, int32_t index, int32_t column, const char* text, uint32_t length) {
    if (lv->queued) {
        WebListViewSetItem(lv, index, column, text, length);
        return;
    }
    gListViewNoRedraw = 1;
    bool ok = WebListViewSetItem(lv, index, column, text, length);
    gListViewNoRedraw = 0;
    if (!ok) return;
    WebListViewCellUpdate(lv, index, column, WebListViewGetItem(lv, index, column));
    if (IsSpecialColumn(lv, column)) WebListViewQueueRedraw(lv);
}

int32_t SortColumnMethod(WebListViewRecord* lv, const MethodCallRec* call) {
    lv->sortOrder = kSortNone;
    ListViewSortSpec spec = {};
    for (uint32_t t = 0; t < kListViewSortKeys; ++t) {
        uint32_t base = t * 3;
        if (!WebArgGiven(call, base)) {
            if (t == 0) return 1;
            continue;
        }
        int32_t column = WebArgInt(call, base, 0);
        if (column < 0 || static_cast<uint32_t>(column) >= lv->methodColumns) return 1;
        int32_t type = WebArgInt(call, base + 1, 1);
        if (type == 0) {
            if (t == 0) return 1;
            continue;
        }
        if (type < 0 || type > kListViewSortTypeMax) return 1;
        ListViewSortKey& key = spec.keys[spec.count++];
        key.column = column;
        key.type = type;
        uint32_t n = 0;
        const char* mask = WebListArgRaw(call, base + 2, &n);
        if (mask && n < kListViewSortMaskMax) {
            memcpy(key.mask, mask, n);
            key.mask[n] = 0;
        }
    }
    gListViewSortSpec = spec;
    bool whole = gWebAppHostState && (*gWebAppHostState & kAppHostWholeRedraw);
    if (!whole) gListViewNoRedraw = 1;
    bool ok = WebListViewSortRows(lv);
    gListViewNoRedraw = 0;
    if (!ok) return 1;
    if (whole) WebListViewQueueRedraw(lv);
    else WebListViewSendOrder(lv);
    return 0;
}

int32_t SetColumnWidthOne(WebListViewRecord* lv, int32_t index, int32_t width, int32_t flags) {
    ListViewColumn* c = WebListViewColumnRec(lv, index);
    if (!c) return 0;
    if (!(flags & kWfAuto)) {
        c->width = width;
        WebListViewQueueRedraw(lv);
        return 1;
    }
    if (IsSpecialColumn(lv, index)) return 0;
    int32_t before = c->width;
    c->width = (flags & kWfContents) ? kSizeContents : (flags & kWfHeader) ? kSizeHeader : width;
    if (c->width == kSizeContents && (flags & kWfAtLeast) && before < width)
        c->width = (flags & kWfHeaderBelow) ? kSizeHeader : (flags & kWfZeroBelow) ? 0 : width;
    WebListViewQueueRedraw(lv);
    return 1;
}

int32_t WebListViewAutoSizeColumns(WebListViewRecord* lv, int32_t width, int32_t flags) {
    int32_t changed = 0;
    for (int32_t i = 0; i < lv->columnCount; ++i) {
        if (static_cast<uint32_t>(i) < lv->capacity && lv->widthLocks[i]) continue;
        changed += SetColumnWidthOne(lv, i, width, flags & ~kWfAll);
    }
    return changed;
}

int32_t GetItemRect(WebListViewRecord* lv, int32_t index, int32_t subItem) {
    WebFlushRedraws(&lv->hdr);
    char name[48];
    snprintf(name, sizeof name, "C%uR%dI%d", lv->hdr.elementId, index, subItem);
    WebViewSelectForObject(&lv->hdr);
    JsonBeginAction(kActCellRect);
    JsonAddStringNoConv("name", name);
    JsonAddForm(&lv->hdr, false, false, false, false);
    JsonValue* reply = WebViewMsgQuery();
    char out[17];
    WebListViewRectText(static_cast<int32_t>(JsonGetInt(reply, "t")), static_cast<int32_t>(JsonGetInt(reply, "h")),
                        static_cast<int32_t>(JsonGetInt(reply, "l")), static_cast<int32_t>(JsonGetInt(reply, "w")), out);
    return WebReplyText(out);
}

int32_t InsertSpecialColumn(WebListViewRecord* lv, int32_t index, uint32_t* which) {
    if (index <= 0) return -1;
    int32_t pos = InsertColumnMethod(lv, nullptr, 0, 0, index, 0, 0, 0);
    if (pos >= 0) *which = static_cast<uint32_t>(pos);
    return pos;
}

bool ParseHexColorText(const char* text, bool keepOrder, uint32_t* color) {
    uint32_t c;
    if (!WebListViewCellColumnColor(text, &c)) return false;
    *color = keepOrder ? RgbToColorRef(c) : c;
    return true;
}

// What the argument slots of InsertAttrColor, InsertAttrFont and InsertAttrRgb hold.
enum AttrSlotKind { kSlotColor, kSlotFont, kSlotRgb };

int32_t AttrSlots(WebListViewRecord* lv, const MethodCallRec* call, AttrSlotKind kind) {
    int32_t first = 0;
    uint32_t flags = kind == kSlotRgb ? static_cast<uint32_t>(WebArgInt(call, kListViewAttrSlots, 0)) : 0;
    for (uint32_t i = 0; i < kListViewAttrSlots; ++i) {
        if (!WebArgGiven(call, i)) continue;
        const EventItem& a = call->args[i];
        bool set = false;
        if (kind == kSlotColor) {
            ObjectRecord* color = a.kind == kItemObject ? ObjectFromHandle(static_cast<uint32_t>(a.value)) : nullptr;
            if (color && color->kind == kKindColor) {
                lv->palette[i] = reinterpret_cast<WebColorRec*>(color)->value;
                set = true;
            }
        } else if (kind == kSlotFont) {
            ObjectRecord* font = a.kind == kItemObject ? ObjectFromHandle(static_cast<uint32_t>(a.value)) : nullptr;
            if (font && font->kind == kKindFont && reinterpret_cast<WebFontObj*>(font)->font) {
                FontRec* f = reinterpret_cast<WebFontObj*>(font)->font;
                if (lv->attrFonts[i]) WebFontRelease(lv->attrFonts[i]);
                lv->attrFonts[i] = f;
                lv->attrFontSizes[i] = static_cast<uint32_t>(f->size);
                ++f->users;
                set = true;
            }
        } else {
            uint32_t n = 0;
            const char* raw = WebListArgRaw(call, i, &n);
            if (raw) {
                char text[16] = {};
                memcpy(text, raw, n < 15 ? n : 15);
                set = ParseHexColorText(text, (flags & 1) != 0, &lv->palette[i]);
            } else {
                uint32_t v = static_cast<uint32_t>(a.value) & 0xFFFFFF;
                lv->palette[i] = (flags & 1) ? v : RgbToColorRef(v);
                set = true;
            }
        }
        if (set && !first) first = static_cast<int32_t>(i + 1);
    }
    if (first) WebListViewQueueRedraw(lv);
    return first;
}

int32_t ColumnOrderText(const WebListViewRecord* lv) {
    uint32_t at = 0;
    gTextBuf[0] = 0;
    int32_t map[kListViewShownMax];
    uint32_t n = WebListViewColumnOrderMap(lv, map);
    for (uint32_t p = 0; p < n; ++p) {
        char num[16];
        int len = snprintf(num, sizeof num, p ? ",%d" : "%d", map[p]);
        if (at + static_cast<uint32_t>(len) > kColumnOrderTextMax) break;
        memcpy(gTextBuf + at, num, static_cast<size_t>(len));
        at += static_cast<uint32_t>(len);
    }
    gTextBuf[at] = 0;
    return WebReplyText(gTextBuf);
}

int32_t ColumnWidthsText(const WebListViewRecord* lv) {
    uint32_t at = 0;
    gTextBuf[0] = 0;
    for (uint32_t i = 0; i < lv->methodColumns; ++i) {
        ListViewColumn* c = WebListViewColumnRec(lv, static_cast<int32_t>(i));
        char num[16];
        int len = snprintf(num, sizeof num, i ? ":%d" : "%d", c ? c->width : 0);
        if (at + static_cast<uint32_t>(len) >= kTextBufSize) break;
        memcpy(gTextBuf + at, num, static_cast<size_t>(len));
        at += static_cast<uint32_t>(len);
    }
    gTextBuf[at] = 0;
    return WebReplyText(gTextBuf);
}

int32_t SetColumnWidths(WebListViewRecord* lv, const char* text) {
    int32_t visited = 0, i = 0;
    for (const char* p = text; p && *p; ++i) {
        char* end = nullptr;
        long w = strtol(p, &end, 10);
        if (!IsSpecialColumn(lv, i)) {
            ++visited;
            ListViewColumn* c = WebListViewColumnRec(lv, i);
            if (c && w > 0) c->width = static_cast<int32_t>(w);
        }
        p = strchr(p, ':');
        if (p) ++p;
    }
    WebListViewQueueRedraw(lv);
    return visited;
}

int32_t SetEditFocus(WebListViewRecord* lv, int32_t index, int32_t subItem) {
    ListViewRow* row = WebListViewRowAt(lv, index);
    ListViewColumn* c = WebListViewColumnRec(lv, subItem);
    if (!row || !c || c->editType == kLvEditNone) return 1;
    for (ListViewRow* r = lv->rows; r; r = r->next) {
        if (!lv->multiSelect) r->state &= ~kLvRowSelected;
        r->state &= ~kLvRowFocused;
    }
    row->state |= kLvRowSelected | kLvRowFocused;
    WebFlushRedraws(&lv->hdr);
    OpenAction(lv, kLdCurrent);
    JsonAddInt("rn", index);
    JsonAddInt("pos", subItem);
    JsonAddInt("df", subItem);
    WebViewMsgEnd();
    return 0;
}

int32_t SetEditColumn(WebListViewRecord* lv, const MethodCallRec* call) {
    ListViewColumn* c = WebListViewColumnRec(lv, WebArgInt(call, 0, -1));
    if (!c) return 1;
    WebListViewQueueRedraw(lv);
    c->editType = static_cast<uint8_t>(WebArgInt(call, 1, 0));
    if (WebArgGiven(call, 2)) c->maxChars = static_cast<uint32_t>(WebArgInt(call, 2, 0));
    uint32_t n = 0;
    if (WebArgGiven(call, 3)) {
        const char* t = ArgText(call, 3, &n);
        ReplaceText(&c->inputClass, t, n);
    }
    if (WebArgGiven(call, 4)) {
        const char* t = ArgText(call, 4, &n);
        ReplaceText(&c->choices, t, n);
    }
    return 0;
}

int32_t IconSpacing(WebListViewRecord* lv, const MethodCallRec* call, bool set) {
    uint32_t* s = lv->iconSpacing;
    if (!set) {
        int32_t flags = WebArgInt(call, 0, 0);
        if (flags & 4) return 1;
        uint32_t base = (flags & 2) ? 2 : 0;
        return static_cast<int32_t>(s[base + ((flags & 1) ? 1 : 0)]);
    }
    int32_t w = WebArgInt(call, 0, 0), h = WebArgInt(call, 1, 0);
    if (w == 0 || w == -1 || h == 0 || h == -1) {
        memset(s, 0, sizeof lv->iconSpacing);
        return 0;
    }
    uint32_t uw = static_cast<uint32_t>(w < static_cast<int32_t>(kIconSpacingMin) ? kIconSpacingMin : w);
    uint32_t uh = static_cast<uint32_t>(h < static_cast<int32_t>(kIconSpacingMin) ? kIconSpacingMin : h);
    for (uint32_t k = 0; k < 4; ++k) s[4 + k] = static_cast<uint32_t>(WebArgInt(call, 2 + k, 0));
    if (s[4] && uw < s[4]) uw = s[4];
    if (s[5] && uw > s[5]) uw = s[5];
    if (s[6] && uh < s[6]) uh = s[6];
    if (s[7] && uh > s[7]) uh = s[7];
    s[0] = s[2] = uw;
    s[1] = s[3] = uh;
    return 0;
}

}  // namespace

void WebListViewRectText(int32_t top, int32_t height, int32_t left, int32_t width, char* out) {
    // Four characters per edge: a row top past 9,999 pixels is clamped so
    // that the answer keeps its sixteen characters.
    auto clamp = [](int64_t v) { return static_cast<long>(v > kRectMax ? kRectMax : v < kRectMin ? kRectMin : v); };
    char* p = out;
    p = PutDec4(p, clamp(top));
    p = PutDec4(p, clamp(static_cast<int64_t>(top) + height));
    p = PutDec4(p, clamp(left));
    p = PutDec4(p, clamp(static_cast<int64_t>(left) + width));
    *p = 0;
}

namespace {

// ---- The methods: one handler per number, each giving its own answer ---------------------------------------

constexpr uint32_t kCsvNameMax = 1024;
constexpr uint32_t kLvFlagsSettable = 0xFF;   // SetLvFlags reaches the low byte only

int32_t Index(const MethodCallRec* call) { return WebArgInt(call, 0, -1); }
uint32_t ArgU32(const MethodCallRec* call, uint32_t i) { return static_cast<uint32_t>(WebArgInt(call, i, 0)); }
ListViewRow* RowArg(const WebListViewRecord* lv, const MethodCallRec* call) { return WebListViewRowAt(lv, Index(call)); }
ListViewColumn* ColumnArg(const WebListViewRecord* lv, const MethodCallRec* call) {
    return WebListViewColumnRec(lv, Index(call));
}

// A text given as UTF-8 makes the page show the list view's texts as UTF-8.
void MarkUtf8(WebListViewRecord* lv, const MethodCallRec* call, uint32_t i) {
    if (ArgIsUtf8(call, i)) lv->hdr.modeFlags |= kModeUtf8Texts;
}

// The delimiter argument i: its first character, ',' when none is given.
char DelimiterArg(const MethodCallRec* call, uint32_t i) {
    char delim[8];
    return WebListArgText(call, i, delim, sizeof delim) ? delim[0] : ',';
}

// Arrange, string widths, image lists, scroll bars and the drop point: the
// page lays these out itself.
int32_t LvNothingToDo(WebListViewRecord*, MethodCallRec*) { return WebReplyInt(0); }

int32_t LvDeleteAllItems(WebListViewRecord* lv, MethodCallRec*) {
    WebListViewDeleteAllRows(lv);
    WebListViewQueueRedraw(lv);
    return WebReplyInt(1);
}

int32_t LvDeleteColumn(WebListViewRecord* lv, MethodCallRec* call) {
    int32_t index = Index(call);
    if (!WebListViewDeleteColumn(lv, index)) return WebReplyInt(0);
    MoveSpecialColumns(lv, index, -1);
    WebListViewDropColumnWidth(lv, index);
    if (lv->methodColumns) --lv->methodColumns;
    return WebReplyInt(1);
}

int32_t LvDeleteItem(WebListViewRecord* lv, MethodCallRec* call) {
    return WebReplyInt(WebListViewDeleteItem(lv, Index(call)) ? 1 : 0);
}

int32_t LvEnsureVisible(WebListViewRecord* lv, MethodCallRec* call) {
    WebFlushRedraws(&lv->hdr);
    if (RowArg(lv, call)) SendRowOp(lv, kLdScroll, Index(call), FirstShownColumn(lv));
    return WebReplyInt(0);
}

int32_t LvFindItem(WebListViewRecord* lv, MethodCallRec* call) {
    MarkUtf8(lv, call, 1);
    uint32_t n = 0;
    const char* text = ArgText(call, 1, &n);
    int32_t flags = WebArgInt(call, 3, 0);
    if (WebArgGiven(call, 2)) flags |= kFindParam;
    if (text) flags |= kFindText;
    return WebReplyInt(FindItem(lv, Index(call), text, ArgU32(call, 2), flags));
}

int32_t LvGetColumnFormat(WebListViewRecord* lv, MethodCallRec* call) {
    ListViewColumn* c = ColumnArg(lv, call);
    return WebReplyInt(c ? static_cast<int32_t>(c->format) : 0);
}

int32_t LvGetColumnText(WebListViewRecord* lv, MethodCallRec* call) {
    ListViewColumn* c = ColumnArg(lv, call);
    return ReplyRowText(&lv->hdr, call, c ? c->text : "");
}

int32_t LvGetColumnWidth(WebListViewRecord* lv, MethodCallRec* call) {
    ListViewColumn* c = ColumnArg(lv, call);
    return WebReplyInt(c ? c->width : 0);
}

int32_t LvGetCountPerPage(WebListViewRecord*, MethodCallRec*) { return WebReplyInt(1); }
int32_t LvGetItemCount(WebListViewRecord* lv, MethodCallRec*) { return WebReplyInt(static_cast<int32_t>(lv->rowCount)); }

int32_t LvGetItemImage(WebListViewRecord* lv, MethodCallRec* call) {
    ListViewRow* r = RowArg(lv, call);
    return WebReplyInt(r ? r->image : 0);
}

int32_t LvGetItemParam(WebListViewRecord* lv, MethodCallRec* call) {
    ListViewRow* r = RowArg(lv, call);
    return WebReplyInt(r ? static_cast<int32_t>(r->param) : 0);
}

int32_t LvGetItemState(WebListViewRecord* lv, MethodCallRec* call) {
    ListViewRow* r = RowArg(lv, call);
    return WebReplyInt(r ? static_cast<int32_t>(r->state & ArgU32(call, 1)) : 0);
}

int32_t LvGetItemText(WebListViewRecord* lv, MethodCallRec* call) {
    return ReplyRowText(&lv->hdr, call, WebListViewGetItem(lv, Index(call), WebArgInt(call, 1, 0)));
}

int32_t LvGetNextItem(WebListViewRecord* lv, MethodCallRec* call) {
    return WebReplyInt(GetNextItem(lv, WebArgInt(call, 0, 0), WebArgInt(call, 1, -1)));
}

// InsertColumn and InsertColumnEx (with an image and a shown position).
int32_t LvInsertColumn(WebListViewRecord* lv, MethodCallRec* call) {
    MarkUtf8(lv, call, 0);
    uint32_t n = 0;
    const char* text = ArgText(call, 0, &n);
    bool ex = call->method == kLvInsertColumnEx;
    return WebReplyInt(InsertColumnMethod(lv, text, n, WebArgInt(call, 1, kLvColumnWidth), WebArgInt(call, 2, -1),
                                          ArgU32(call, 3), ex ? WebArgInt(call, 4, 0) : 0, ex ? ArgU32(call, 5) : 0));
}

// InsertItem and InsertItemEx (with the texts of the sub-items).
int32_t LvInsertItem(WebListViewRecord* lv, MethodCallRec* call) {
    MarkUtf8(lv, call, 0);
    uint32_t n = 0;
    const char* text = ArgText(call, 0, &n);
    uint32_t state = ArgU32(call, 4) & ArgU32(call, 5);
    int32_t r = WebListViewInsertItem(lv, WebArgInt(call, 1, 0), text, n, WebArgInt(call, 2, 0), ArgU32(call, 3), state);
    if (r >= 0 && call->method == kLvInsertItemEx) {
        for (uint32_t k = 0; k < kSubItemsMax; ++k) {
            uint32_t arg = kLvSubItemArgFirst + k;
            if (!WebArgGiven(call, arg)) continue;
            MarkUtf8(lv, call, arg);
            const char* cell = ArgText(call, arg, &n);
            WebListViewSetItem(lv, r, static_cast<int32_t>(k + 1), cell, n);
        }
    }
    return WebReplyInt(r);
}

int32_t LvSetColumnFormat(WebListViewRecord* lv, MethodCallRec* call) {
    ListViewColumn* c = ColumnArg(lv, call);
    if (!c) return WebReplyInt(0);
    c->format = ArgU32(call, 1);
    WebListViewQueueRedraw(lv);
    return WebReplyInt(1);
}

int32_t LvSetColumnText(WebListViewRecord* lv, MethodCallRec* call) {
    MarkUtf8(lv, call, 1);
    uint32_t n = 0;
    const char* text = ArgText(call, 1, &n);
    return WebReplyInt(WebListViewSetColumnText(lv, Index(call), text, n) ? 1 : 0);
}

int32_t LvSetColumnWidth(WebListViewRecord* lv, MethodCallRec* call) {
    int32_t flags = WebArgInt(call, 2, 0), width = WebArgInt(call, 1, 0);
    lv->lvFlags |= kLvfSettingWidth;
    int32_t r = (flags & kWfAuto) && (flags & kWfAll) ? WebListViewAutoSizeColumns(lv, width, flags)
                                                     : SetColumnWidthOne(lv, Index(call), width, flags);
    lv->lvFlags &= ~kLvfSettingWidth;
    return WebReplyInt(r);
}

int32_t LvSetItemImage(WebListViewRecord* lv, MethodCallRec* call) {
    ListViewRow* r = RowArg(lv, call);
    if (!r) return WebReplyInt(0);
    r->image = WebArgInt(call, 1, 0);
    WebListViewQueueRedraw(lv);
    return WebReplyInt(1);
}

int32_t LvSetItemParam(WebListViewRecord* lv, MethodCallRec* call) {
    ListViewRow* r = RowArg(lv, call);
    if (!r) return WebReplyInt(0);
    r->param = ArgU32(call, 1);
    return WebReplyInt(1);
}

int32_t LvSetItemState(WebListViewRecord* lv, MethodCallRec* call) {
    SetItemState(lv, Index(call), ArgU32(call, 1), ArgU32(call, 2));
    return WebReplyInt(0);
}

int32_t LvSetItemText(WebListViewRecord* lv, MethodCallRec* call) {
    MarkUtf8(lv, call, 1);
    uint32_t n = 0;
    const char* text = ArgText(call, 1, &n);
    SetItemTextMethod(lv, Index(call), WebArgInt(call, 2, 0), text ? text : "", n);
    return WebReplyInt(0);
}

int32_t LvGetExtendedStyle(WebListViewRecord* lv, MethodCallRec*) { return WebReplyInt(static_cast<int32_t>(lv->style)); }

int32_t LvSetExtendedStyle(WebListViewRecord* lv, MethodCallRec* call) {
    lv->style = (lv->style & ~ArgU32(call, 0)) | ArgU32(call, 1);
    WebListViewQueueRedraw(lv);
    return WebReplyInt(0);
}

int32_t LvDeleteAllContents(WebListViewRecord* lv, MethodCallRec*) {
    WebListViewDeleteAllRows(lv);
    while (lv->columnCount > 0) WebListViewDeleteColumn(lv, 0);
    lv->methodColumns = 0;
    lv->fgColumn = lv->bgColumn = lv->attrColumn = 0;
    if (lv->capacity) {
        memset(lv->designedWidths, 0, sizeof(int32_t) * lv->capacity);
        memset(lv->widthLocks, 0, lv->capacity);
    }
    WebListViewQueueRedraw(lv);
    return WebReplyInt(0);
}

int32_t LvSortColumn(WebListViewRecord* lv, MethodCallRec* call) { return WebReplyInt(SortColumnMethod(lv, call)); }

int32_t LvGetItemCheck(WebListViewRecord* lv, MethodCallRec* call) {
    ListViewRow* r = RowArg(lv, call);
    return WebReplyInt(r ? r->check : 0);
}

int32_t LvSetItemCheck(WebListViewRecord* lv, MethodCallRec* call) {
    WebListViewSetCheck(lv, Index(call), WebArgInt(call, 1, 0) != 0);
    return WebReplyInt(0);
}

int32_t LvFindItemCheck(WebListViewRecord* lv, MethodCallRec* call) {
    int32_t start = WebArgInt(call, 0, 0), i = 0;
    for (ListViewRow* r = lv->rows; r; r = r->next, ++i)
        if (i >= start && r->check) return WebReplyInt(i);
    return WebReplyInt(-1);
}

// SetColumnImage and SetColumnOrder.
int32_t LvSetColumnImageOrOrder(WebListViewRecord* lv, MethodCallRec* call) {
    ListViewColumn* c = ColumnArg(lv, call);
    if (!c) return WebReplyInt(0);
    if (call->method == kLvSetColumnImage) c->image = WebArgInt(call, 1, 0);
    else c->order = ArgU32(call, 1);
    WebListViewQueueRedraw(lv);
    return WebReplyInt(1);
}

int32_t LvSubItemHitTest(WebListViewRecord*, MethodCallRec*) { return WebReplyInt(-1); }
int32_t LvGetItemRect(WebListViewRecord* lv, MethodCallRec* call) { return GetItemRect(lv, Index(call), WebArgInt(call, 1, 0)); }

int32_t LvInsertColumnFgClr(WebListViewRecord* lv, MethodCallRec* call) {
    return WebReplyInt(InsertSpecialColumn(lv, Index(call), &lv->fgColumn));
}
int32_t LvInsertColumnBgClr(WebListViewRecord* lv, MethodCallRec* call) {
    return WebReplyInt(InsertSpecialColumn(lv, Index(call), &lv->bgColumn));
}
int32_t LvInsertAttrColumn(WebListViewRecord* lv, MethodCallRec* call) {
    return WebReplyInt(InsertSpecialColumn(lv, Index(call), &lv->attrColumn));
}
int32_t LvInsertAttrColor(WebListViewRecord* lv, MethodCallRec* call) { return WebReplyInt(AttrSlots(lv, call, kSlotColor)); }
int32_t LvInsertAttrFont(WebListViewRecord* lv, MethodCallRec* call) { return WebReplyInt(AttrSlots(lv, call, kSlotFont)); }
int32_t LvInsertAttrRgb(WebListViewRecord* lv, MethodCallRec* call) { return WebReplyInt(AttrSlots(lv, call, kSlotRgb)); }

int32_t LvInsertAttrDefault(WebListViewRecord* lv, MethodCallRec* call) {
    uint32_t n = 0;
    const char* text = ArgText(call, 0, &n);
    WebListViewQueueRedraw(lv);
    return WebReplyInt(ReplaceText(&lv->attrDefault, text, n) ? 0 : 1);
}

// LoadXmlFile, SaveXmlFile, SaveXmlToDim and GetXmlDataSize: the XML contents' own.
int32_t LvXmlMethod(WebListViewRecord* lv, MethodCallRec* call) {
    return WebListViewXmlMethod(&lv->hdr, call);
}

// LoadCsvFile and SaveCsvFile.
int32_t LvCsvFile(WebListViewRecord* lv, MethodCallRec* call) {
    char name[kCsvNameMax];
    const char* file = WebListArgName(call, 0, name, sizeof name);
    uint32_t options = ArgU32(call, 1);
    char d = DelimiterArg(call, 2);
    return WebReplyInt(call->method == kLvLoadCsvFile ? WebListViewLoadText(lv, file, options, d)
                                                      : WebListViewSaveText(lv, file, options, d));
}

int32_t LvGetItemTextAll(WebListViewRecord* lv, MethodCallRec* call) {
    int32_t index = Index(call);
    char d = DelimiterArg(call, 1);
    uint32_t len = 0;
    if (index >= 0 && !WebListViewRowAt(lv, index)) gTextBuf[0] = 0;
    else if (!WebListViewRowText(lv, index, d, ArgU32(call, 2), gTextBuf, kTextBufSize + 1, &len)) gTextBuf[0] = 0;
    return WebReplyTextOf(&lv->hdr, call, gTextBuf);
}

int32_t LvGetTopIndex(WebListViewRecord* lv, MethodCallRec*) { return WebReplyInt(lv->rowCount ? 0 : -1); }

int32_t LvGetColResizeFlag(WebListViewRecord* lv, MethodCallRec* call) {
    int32_t index = Index(call);
    return WebReplyInt(index >= 0 && static_cast<uint32_t>(index) < lv->capacity && lv->widthLocks[index] ? 0 : 1);
}

int32_t LvSetColResizeFlag(WebListViewRecord* lv, MethodCallRec* call) {
    int32_t index = Index(call);
    uint8_t lock = WebArgInt(call, 1, 0) ? 0 : 1;
    if (index == -1) {
        for (uint32_t i = 0; i < lv->capacity; ++i) lv->widthLocks[i] = lock;
        return WebReplyInt(0);
    }
    if (index < 0 || static_cast<uint32_t>(index) >= lv->capacity) return WebReplyInt(0);
    lv->widthLocks[index] = lock;
    return WebReplyInt(1);
}

int32_t LvSetItemTextAll(WebListViewRecord* lv, MethodCallRec* call) {
    MarkUtf8(lv, call, 1);
    int32_t index = Index(call);
    uint32_t length = 0;
    const char* raw = WebListArgRaw(call, 1, &length);
    char d = DelimiterArg(call, 2);
    uint32_t options = ArgU32(call, 3);
    int32_t r = WebListViewSetItemTextAll(lv, index, raw ? raw : "", length, d, options);
    if (index != -1 && WebArgGiven(call, 4) && r >= 0) {
        ListViewRow* target = WebListViewRowAt(lv, (options & kLvtUpdate) ? index : r);
        if (target) target->param = ArgU32(call, 4);
    }
    return WebReplyInt(r);
}

int32_t LvGetColumnCount(WebListViewRecord* lv, MethodCallRec*) { return WebReplyInt(static_cast<int32_t>(lv->methodColumns)); }
int32_t LvGetAttributeColumn(WebListViewRecord* lv, MethodCallRec*) { return WebReplyInt(static_cast<int32_t>(lv->attrColumn)); }
int32_t LvGetBgColorColumn(WebListViewRecord* lv, MethodCallRec*) { return WebReplyInt(static_cast<int32_t>(lv->bgColumn)); }
int32_t LvGetFgColorColumn(WebListViewRecord* lv, MethodCallRec*) { return WebReplyInt(static_cast<int32_t>(lv->fgColumn)); }

int32_t LvSetLvFlags(WebListViewRecord* lv, MethodCallRec* call) {
    uint32_t bits = ArgU32(call, 0) & kLvFlagsSettable;
    lv->lvFlags = WebArgInt(call, 1, 0) ? (lv->lvFlags | bits) : (lv->lvFlags & ~bits);
    WebListViewQueueRedraw(lv);
    return WebReplyInt(static_cast<int32_t>(lv->lvFlags & kLvFlagsSettable));
}

int32_t LvGetColumnOrderArray(WebListViewRecord* lv, MethodCallRec* call) {
    if (!call->result.varRef) return WebReplyText("");
    return ColumnOrderText(lv);
}

int32_t LvSetIconSpacing(WebListViewRecord* lv, MethodCallRec* call) { return WebReplyInt(IconSpacing(lv, call, true)); }
int32_t LvGetIconSpacing(WebListViewRecord* lv, MethodCallRec* call) { return WebReplyInt(IconSpacing(lv, call, false)); }

int32_t LvUpdate(WebListViewRecord* lv, MethodCallRec*) {
    WebFlushRedraws(&lv->hdr);
    return WebReplyInt(0);
}

int32_t LvSetEditColumn(WebListViewRecord* lv, MethodCallRec* call) { return WebReplyInt(SetEditColumn(lv, call)); }

int32_t LvSetEditFocus(WebListViewRecord* lv, MethodCallRec* call) {
    return WebReplyInt(SetEditFocus(lv, Index(call), WebArgInt(call, 1, 0)));
}

int32_t LvGetColumnWidths(WebListViewRecord* lv, MethodCallRec*) { return ColumnWidthsText(lv); }

int32_t LvSetColumnWidths(WebListViewRecord* lv, MethodCallRec* call) {
    uint32_t n = 0;
    return WebReplyInt(SetColumnWidths(lv, ArgText(call, 0, &n)));
}

struct LvMethodEntry {
    uint32_t method;
    int32_t (*handler)(WebListViewRecord* lv, MethodCallRec* call);
};

// Every method by its number, from 1 in order, so that the number finds its row.
constexpr LvMethodEntry kListViewMethods[] = {
    {kLvArrange, LvNothingToDo},
    {kLvDeleteAllItems, LvDeleteAllItems},
    {kLvDeleteColumn, LvDeleteColumn},
    {kLvDeleteItem, LvDeleteItem},
    {kLvEnsureVisible, LvEnsureVisible},
    {kLvFindItem, LvFindItem},
    {kLvGetColumnFormat, LvGetColumnFormat},
    {kLvGetColumnText, LvGetColumnText},
    {kLvGetColumnWidth, LvGetColumnWidth},
    {kLvGetCountPerPage, LvGetCountPerPage},
    {kLvGetItemCount, LvGetItemCount},
    {kLvGetItemImage, LvGetItemImage},
    {kLvGetItemParam, LvGetItemParam},
    {kLvGetItemState, LvGetItemState},
    {kLvGetItemText, LvGetItemText},
    {kLvGetNextItem, LvGetNextItem},
    {kLvGetStringWidth, LvNothingToDo},
    {kLvInsertColumn, LvInsertColumn},
    {kLvInsertItem, LvInsertItem},
    {kLvSetColumnFormat, LvSetColumnFormat},
    {kLvSetColumnText, LvSetColumnText},
    {kLvSetColumnWidth, LvSetColumnWidth},
    {kLvSetImageList, LvNothingToDo},
    {kLvSetImageListSmall, LvNothingToDo},
    {kLvSetItemImage, LvSetItemImage},
    {kLvSetItemParam, LvSetItemParam},
    {kLvSetItemState, LvSetItemState},
    {kLvSetItemText, LvSetItemText},
    {kLvGetExtendedStyle, LvGetExtendedStyle},
    {kLvSetExtendedStyle, LvSetExtendedStyle},
    {kLvDeleteAllContents, LvDeleteAllContents},
    {kLvSortColumn, LvSortColumn},
    {kLvInsertItemEx, LvInsertItem},
    {kLvGetItemCheck, LvGetItemCheck},
    {kLvSetItemCheck, LvSetItemCheck},
    {kLvFindItemCheck, LvFindItemCheck},
    {kLvSetImageListState, LvNothingToDo},
    {kLvInsertColumnEx, LvInsertColumn},
    {kLvSetColumnImage, LvSetColumnImageOrOrder},
    {kLvSetColumnOrder, LvSetColumnImageOrOrder},
    {kLvSubItemHitTest, LvSubItemHitTest},
    {kLvGetItemRect, LvGetItemRect},
    {kLvEnableScrollBar, LvNothingToDo},
    {kLvInsertColumnFgClr, LvInsertColumnFgClr},
    {kLvInsertColumnBgClr, LvInsertColumnBgClr},
    {kLvInsertAttrColumn, LvInsertAttrColumn},
    {kLvInsertAttrColor, LvInsertAttrColor},
    {kLvInsertAttrFont, LvInsertAttrFont},
    {kLvInsertAttrRgb, LvInsertAttrRgb},
    {kLvInsertAttrDefault, LvInsertAttrDefault},
    {kLvLoadXmlFile, LvXmlMethod},
    {kLvSaveXmlFile, LvXmlMethod},
    {kLvLoadCsvFile, LvCsvFile},
    {kLvSaveCsvFile, LvCsvFile},
    {kLvGetItemTextAll, LvGetItemTextAll},
    {kLvGetTopIndex, LvGetTopIndex},
    {kLvGetColResizeFlag, LvGetColResizeFlag},
    {kLvSetColResizeFlag, LvSetColResizeFlag},
    {kLvSetItemTextAll, LvSetItemTextAll},
    {kLvGetColumnCount, LvGetColumnCount},
    {kLvGetAttributeColumn, LvGetAttributeColumn},
    {kLvGetBgColorColumn, LvGetBgColorColumn},
    {kLvGetFgColorColumn, LvGetFgColorColumn},
    {kLvSaveXmlToDim, LvXmlMethod},
    {kLvGetXmlDataSize, LvXmlMethod},
    {kLvSetLvFlags, LvSetLvFlags},
    {kLvGetColumnOrderArray, LvGetColumnOrderArray},
    {kLvSetIconSpacing, LvSetIconSpacing},
    {kLvGetIconSpacing, LvGetIconSpacing},
    {kLvIsScrollVisible, LvNothingToDo},
    {kLvUpdate, LvUpdate},
    {kLvGetLastDropXy, LvNothingToDo},
    {kLvSetEditColumn, LvSetEditColumn},
    {kLvSetEditFocus, LvSetEditFocus},
    {kLvGetColumnWidths, LvGetColumnWidths},
    {kLvSetColumnWidths, LvSetColumnWidths},
};
constexpr uint32_t kListViewMethodCount = sizeof kListViewMethods / sizeof kListViewMethods[0];

constexpr bool LvMethodsInOrder() {
    for (uint32_t i = 0; i < kListViewMethodCount; ++i)
        if (kListViewMethods[i].method != i + 1) return false;
    return true;
}
static_assert(LvMethodsInOrder(), "the list view's method rows run from 1 in order");

}  // namespace

int32_t WebListViewMethod(ObjectRecord* rec, MethodCallRec* call) {
    int32_t check = WebCheckMethod(call ? call->objectType : kTypeListview, call);
    if (check != 0) return check;
    if (call->method < 1 || call->method > kListViewMethodCount) return kWebUnknownMethod;
    return kListViewMethods[call->method - 1].handler(WebListView(rec), call);
}

// ---- Page events --------------------------------------------------------------------------------------------

namespace {

// Chooses the clicked row as a click does (without multiple selection the
// others lose it; with it a single click on a selected row takes it back) and
// raises $CHANGE with it.
void ChooseClickedRow(ObjectRecord* rec, WebListViewRecord* lv, ListViewRow* target, int32_t row, bool dblClick) {
    bool wasSelected = (target->state & kLvRowSelected) != 0;
    for (ListViewRow* r = lv->rows; r; r = r->next) {
        if (!lv->multiSelect) r->state &= ~kLvRowSelected;
        r->state &= ~kLvRowFocused;
    }
    target->state |= kLvRowFocused;
    if (lv->multiSelect && !dblClick && wasSelected) target->state &= ~kLvRowSelected;
    else target->state |= kLvRowSelected;
    if (EventIsRegistered(rec, kEvChange)) WebListPost(rec, kEvChange, 0, row);
}

}  // namespace

void WebListViewOnPress(ObjectRecord* rec, int32_t row, int32_t column) {
    WebListViewRecord* lv = WebListView(rec);
    lv->pressedRow = -1;
    if (rec->flags & kObjDisabled) return;
    if (column == 0 && lv->checkSeen) return;
    ListViewRow* target = WebListViewRowAt(lv, row);
    if (!target) return;
    lv->pressedRow = row;
    lv->pressedWasSelected = (target->state & kLvRowSelected) != 0;
    ChooseClickedRow(rec, lv, target, row, false);
}

void WebListViewOnClick(ObjectRecord* rec, int32_t row, int32_t column, bool dblClick, int32_t modifiers) {
    WebListViewRecord* lv = WebListView(rec);
    // A click whose button went down on the same row has chosen it already.
    bool pressed = !dblClick && lv->pressedRow == row;
    lv->pressedRow = -1;
    if (rec->flags & kObjDisabled) return;
    // The click of a check box comes after its change: it is the box's own.
    if (column == 0 && lv->checkSeen) {
        lv->checkSeen = 0;
        return;
    }
    ListViewRow* target = WebListViewRowAt(lv, row);
    if (!target) return;
    bool wasSelected = pressed ? lv->pressedWasSelected != 0 : (target->state & kLvRowSelected) != 0;
    bool activate = (lv->style & kLvsActivate1) ? true
                    : (lv->style & kLvsActivate2) ? wasSelected
                                                  : dblClick;
    if (!pressed) ChooseClickedRow(rec, lv, target, row, dblClick);
    uint32_t ev = dblClick ? kEvDblClick : kEvClick;
    if (EventIsRegistered(rec, ev)) WebListPost(rec, ev, modifiers, row);
    if (activate && EventIsRegistered(rec, kEvItemActivate)) WebListPost(rec, kEvItemActivate, modifiers, row * 100 + column);
}

void WebListViewOnKey(ObjectRecord* rec, int32_t key) {
    WebListViewRecord* lv = WebListView(rec);
    if (rec->flags & kObjDisabled) return;
    int32_t focus = 0, count = static_cast<int32_t>(lv->rowCount);
    bool found = false;
    for (ListViewRow* r = lv->rows; r; r = r->next, ++focus) {
        if (r->state & kLvRowFocused) {
            found = true;
            break;
        }
    }
    if (!found) focus = count;
    int32_t target;
    switch (key) {
    case kKeySpace:
        if ((lv->style & kLvsCheckBox) && found) WebListViewSetCheck(lv, focus, !WebListViewRowAt(lv, focus)->check);
        return;
    case kKeyEnd: target = count - 1; if (target == focus) return; break;
    case kKeyHome: if (focus == 0) return; target = 0; break;
    case kKeyUp: if (focus == 0) return; target = found ? focus - 1 : 0; break;
    case kKeyDown: target = found ? focus + 1 : 0; break;
    case kKeyShow: target = focus; break;
    default: return;
    }
    ListViewRow* t = WebListViewRowAt(lv, target);
    if (!t) return;
    for (ListViewRow* r = lv->rows; r; r = r->next) r->state &= ~(kLvRowFocused | kLvRowSelected);
    t->state |= kLvRowFocused | kLvRowSelected;
    if (EventIsRegistered(rec, kEvChange)) WebListPost(rec, kEvChange, 0, target);
    ShowCurrentRow(lv, target);
}

void WebListViewOnCheck(ObjectRecord* rec, int32_t row, bool on) {
    WebListViewRecord* lv = WebListView(rec);
    ListViewRow* r = WebListViewRowAt(lv, row);
    if (!r) return;
    r->check = on ? 1 : 0;
    lv->checkSeen = 1;
}

void WebListViewOnEdit(ObjectRecord* rec, int32_t row, int32_t column, const char* text) {
    WebListViewRecord* lv = WebListView(rec);
    gListViewNoRedraw = 1;
    bool ok = WebListViewSetItem(lv, row, column, text, Len(text));
    gListViewNoRedraw = 0;
    if (ok) WebListPost(rec, kEvUpdated, 0, row * 100 + column);
}

namespace {

bool ListViewPageEvent(ObjectRecord* rec, int32_t code, const JsonValue* ev, const WebEventName* name) {
    // Change, click and double click come from the rows' own page events: the
    // element's generic ones (an edit cell's change bubbling up) are dropped.
    if (code == static_cast<int32_t>(kEvChange) || code == static_cast<int32_t>(kEvClick) ||
        code == static_cast<int32_t>(kEvDblClick))
        return true;
    WebListViewRecord* lv = WebListView(rec);
    switch (code) {
    case kPeRowClick: {
        int64_t how = JsonGetInt(ev, "ev");
        if (how == kRowPressed)
            WebListViewOnPress(rec, name->row, WebListViewColumnAt(lv, name->item));
        else
            WebListViewOnClick(rec, name->row, WebListViewColumnAt(lv, name->item), how != 0,
                               static_cast<int32_t>(JsonGetInt(ev, "em")));
        return true;
    }
    case kPeCellEdit: {
        const char* text = JsonGetText(ev, "v1");
        WebListViewOnEdit(rec, name->row, WebListViewColumnAt(lv, name->item), text ? text : "");
        return true;
    }
    case kPeRowCheck: WebListViewOnCheck(rec, name->column, JsonGetInt(ev, "ev") != 0); return true;
    case kPeHeaderClick:
        if (lv->sortHeader && EventIsRegistered(rec, kEvColClick))
            WebListPost(rec, kEvColClick, 0, WebListViewColumnAt(lv, name->header));
        return true;
    case kPeListKey: WebListViewOnKey(rec, static_cast<int32_t>(JsonGetInt(ev, "ec"))); return true;
    default: return false;
    }
}

int32_t GetTextOp(ObjectRecord* rec, int32_t item) {
    WebListViewRecord* lv = WebListView(rec);
    int32_t row = item > 0 ? item - 1 : GetNextItem(lv, kNextSelected, -1);
    uint32_t len = 0;
    gTextBuf[0] = 0;
    if (WebListViewRowAt(lv, row) && !WebListViewRowText(lv, row, '\t', 0, gTextBuf, kTextBufSize + 1, &len))
        gTextBuf[0] = 0;
    return 0;
}

int32_t GetValueOp(ObjectRecord* rec, int32_t, int32_t* value, bool* asked) {
    *asked = false;
    *value = GetNextItem(WebListView(rec), kNextSelected, -1) + 1;
    return 0;
}

int32_t SetValueOp(ObjectRecord* rec, int32_t, int32_t value) {
    if (value > 0) SetItemState(WebListView(rec), value - 1, kLvRowSelected | kLvRowFocused, kLvRowSelected | kLvRowFocused);
    return 0;
}

// A row of tab-separated cells at pos (from 0; -1 or past the end: last), as
// the native list view takes it; cells beyond the columns are dropped.
int32_t InsertItemOp(ObjectRecord* rec, int32_t pos, const char* text, uint32_t length) {
    WebListViewRecord* lv = WebListView(rec);
    if (pos < 0 || static_cast<uint32_t>(pos) > lv->rowCount) pos = static_cast<int32_t>(lv->rowCount);
    int32_t r = WebListViewSetItemTextAll(lv, pos, text ? text : "", text ? length : 0, '\t', 0);
    return r < 0 ? -1 : 0;
}

// Row item (from 1) replaced by a row of tab-separated cells in its place;
// when the new row cannot be made the old one stays.
int32_t SetTextOp(ObjectRecord* rec, int32_t item, const char* text, uint32_t length) {
    WebListViewRecord* lv = WebListView(rec);
    if (item < 1 || static_cast<uint32_t>(item) > lv->rowCount) return 0;
    if (WebListViewSetItemTextAll(lv, item - 1, text ? text : "", text ? length : 0, '\t', 0) < 0) return kWebNoMemory;
    WebListViewDeleteItem(lv, item);
    return 0;
}

int32_t DeleteItemOp(ObjectRecord* rec, int32_t item) {
    WebListViewRecord* lv = WebListView(rec);
    if (item == 0) {
        WebListViewDeleteAllRows(lv);
        WebListViewQueueRedraw(lv);
    } else {
        WebListViewDeleteItem(lv, item - 1);
    }
    return 0;
}


}  // namespace

// ---- The kinds' rows --------------------------------------------------------------------------

namespace {

const WebKindOps kListViewOps = {
    .create = WebListViewCreate,
    .markup = HtmlPlainDivMarkup,
    .setProp = WebListViewSetProp,
    .getProp = WebListViewGetProp,
    .pageEvent = ListViewPageEvent,
    .flushRedraws = WebFlushRedraws,
    .destroy = WebListViewDestroy,
    .method = WebListViewMethod,
    .getText = GetTextOp,
    .getValue = GetValueOp,
    .setText = SetTextOp,
    .setValue = SetValueOp,
    .insertItem = InsertItemOp,
    .deleteItem = DeleteItemOp,
    .askEvent = WebAskNoClick,
    .defaultEvent = kEvClick,
    .traits = kWebKindTakesFocus | kWebKindWhiteBackground,
};

}  // namespace

void WebListViewInstall() { WebRegisterKind(kKindListView, &kListViewOps); }
