// weblist.cpp - the data list (a list box) in the web view. The client keeps
// every row, the selection and the caret; the page shows the list as a table
// that is sent whole once before the program next waits, and reports clicks
// and keys, from which the client decides the new selection.
#include "webview/controls/weblist.h"

#include <cstdio>
#include <cstring>

#include "objects/events.h"
#include "objects/font.h"
#include "objects/objtables.h"
#include "session/util/mem.h"
#include "webview/controls/webdrawn.h"
#include "webview/core/pageactions.h"
#include "webview/core/webchannel.h"
#include "webview/core/webevents.h"
#include "webview/core/webgeneric.h"
#include "webview/core/webobject.h"
#include "webview/core/weboptions.h"
#include "webview/core/webprops.h"
#include "webview/core/webtext.h"
#include "webview/core/webkinds.h"
#include "webview/core/webmarkup.h"

uint8_t gWebLocaleCompare = 1;
uint8_t gWebLenientTabStops;
uint8_t gWebSampleContent;
int (*gWebListSystemCompare)(const char* a, const char* b);
ObjectRecord* gDataListRedrawQueue;

namespace {

enum ListDwid : int32_t {
    kDwidWhole = 1, kDwidCurrent = 3, kDwidScroll = 4, kDwidDisable = 5, kDwidEnable = 6, kDwidRange = 7,
    kDwidCaret = 8,
};
constexpr int32_t kBadTabStops = -21;
constexpr int32_t kRowsFull = -2, kBadRow = -1, kNotPlaced = -22;
constexpr char kItemSeparator = ';';
constexpr char kMultiItemSeparator = 127;
constexpr int32_t kDefaultPointSize = 10;
constexpr int32_t kTabWidth = 8;
constexpr int32_t kShiftModifier = 4;
constexpr int32_t kOldEventDblBase = 200000001;
constexpr int32_t kKeyEventModifiers = 1;
enum ListKey : int32_t { kKeySpace = 32, kKeyEnd = 35, kKeyHome = 36, kKeyUp = 38, kKeyDown = 40, kKeyShow = 999 };
constexpr uint32_t kSysButtonText = 18, kSys3DFace = 15;
constexpr uint32_t kThemeGrey = 0xF0F0F0, kThemeWhite = 0xFFFFFF;

enum ValueQuery : int32_t { kVqFirstSel = 0, kVqCount = 1, kVqSelCount = 2, kVqNextSel = 3, kVqRowSelected = 4 };

bool PrefixNoCase(const char* text, const char* prefix) {
    for (; *prefix; ++text, ++prefix)
        if (WebListLower(*text) != WebListLower(*prefix)) return false;
    return true;
}

bool MultiStyle(const WebDataListRecord* d) { return d->style == kDlsMultiple || d->style == kDlsExtended; }

ObjectRecord** QueueLink(ObjectRecord* rec) { return &WebDataList(rec)->nextQueued; }
uint8_t* QueuedOf(ObjectRecord* rec) { return &WebDataList(rec)->queued; }

void RenderList(ObjectRecord* rec) {
    WebDataListRecord* d = WebDataList(rec);
    WebViewSelectForObject(rec);
    JsonBeginAction(kActList);
    JsonAddName(rec);
    JsonAddInt("dwid", kDwidWhole);
    if (MultiStyle(d)) JsonAddInt("ms", 1);
    HtmlReset();
    WebDataListTableMarkup(d);
    JsonAddJsHtml((rec->modeFlags & kModeUtf8Texts) != 0);
    WebViewMsgEnd();
}

// Opens action 40 of the list after its pending redraw.
void BeginOp(WebDataListRecord* d, int32_t dwid) {
    WebDataListFlush(&d->hdr);
    WebViewSelectForObject(&d->hdr);
    JsonBeginAction(kActList);
    JsonAddName(&d->hdr);
    JsonAddInt("dwid", dwid);
}

void SendRowOp(WebDataListRecord* d, int32_t dwid, int32_t row) {
    BeginOp(d, dwid);
    JsonAddInt("rn", row);
    JsonAddInt("pos", 0);
    WebViewMsgEnd();
}

void ClearRows(WebDataListRecord* d) {
    for (DataListRow* r = d->firstRow; r; r = r->next) r->selected = 0;
    d->selection = MultiStyle(d) ? 0 : -1;
}

void SelectOnly(WebDataListRecord* d, int32_t row) {
    ClearRows(d);
    if (DataListRow* r = DataListRowAt(d, row)) r->selected = 1;
    d->selection = MultiStyle(d) ? 1 : row;
}

int32_t CountSelected(const WebDataListRecord* d) {
    int32_t n = 0;
    for (DataListRow* r = d->firstRow; r; r = r->next) n += r->selected ? 1 : 0;
    return n;
}

int32_t NextSelected(const WebDataListRecord* d, uint32_t from) {
    uint32_t i = 0;
    for (DataListRow* r = d->firstRow; r; r = r->next, ++i)
        if (i >= from && r->selected) return static_cast<int32_t>(i);
    return -1;
}

void DeleteAllRows(WebDataListRecord* d) {
    while (d->rowCount) DataListRowDelete(d, 0);
}

// Rows from the ';'-separated pieces of a text (an empty last piece is none).
void RowsFromText(WebDataListRecord* d, const char* text, uint32_t length) {
    uint32_t start = 0;
    for (uint32_t i = 0; i <= length; ++i) {
        if (i < length && text[i] != kItemSeparator) continue;
        if (i > start || i < length) {
            if (DataListRowInsert(d, -1, text + start, i - start) < 0) return;
        }
        start = i + 1;
    }
}

int32_t FontPointSize(const ObjectRecord* rec) { return rec->font ? rec->font->size : 0; }

int32_t ParseAndSet(WebDataListRecord* d, const char* text, uint32_t length) {
    int32_t stops[kDataListTabStopsMax];
    uint32_t count = 0;
    if (!DataListParseTabStops(text, length, 1, FontPointSize(&d->hdr), stops, &count)) return kBadTabStops;
    return DataListSetTabStops(d, stops, count);
}

void ReplaceTabStopText(WebDataListRecord* d, const char* text, uint32_t length) {
    GuardedFree(d->tabStopText);
    d->tabStopText = text ? WebListCopyText(text, length) : nullptr;
}

bool ThemedColors(const ObjectRecord* rec) {
    uint32_t fg = rec->fgColor, bg = rec->bgColor;
    bool fgPlain = fg == 0 || fg == (kSysColorBit | kSysButtonText);
    bool bgPlain = bg == kThemeGrey || bg == (kSysColorBit | kSys3DFace) || bg == kThemeWhite;
    return gWebThemeClasses && fgPlain && bgPlain;
}

// Either piece through the generic insert: a text longer than the shared
// buffer goes through a heap copy.
int32_t InsertItemOp(ObjectRecord* rec, int32_t pos, const char* text, uint32_t length) {
    WebDataListRecord* d = WebDataList(rec);
    // Positions from 0, as the native list box takes them; -1 or past the end adds.
    bool inside = pos >= 0 && static_cast<uint32_t>(pos) <= d->rowCount && !(d->flags & kDlSorted);
    int32_t r = DataListRowInsertMulti(d, inside ? pos : -1, text ? text : "", text ? length : 0);
    return r < 0 ? kNotPlaced : 0;
}

int32_t DeleteItemOp(ObjectRecord* rec, int32_t item) {
    WebDataListRecord* d = WebDataList(rec);
    if (item == 0) DeleteAllRows(d);
    else DataListRowDelete(d, item - 1);
    return 0;
}

int32_t GetTextOp(ObjectRecord* rec, int32_t item) {
    gTextBuf[0] = 0;
    DataListRow* r = item > 0 ? DataListRowAt(WebDataList(rec), item - 1) : nullptr;
    // At most the buffer's own size: a text of exactly 40,961 bytes would
    // otherwise put its NUL one byte past the buffer.
    if (r && r->text && strlen(r->text) <= kTextBufSize) snprintf(gTextBuf, kTextBufSize + 1, "%s", r->text);
    return 0;
}

int32_t GetValueOp(ObjectRecord* rec, int32_t item, int32_t* value, bool* asked) {
    WebDataListRecord* d = WebDataList(rec);
    *asked = false;
    int32_t query = *value;
    switch (query) {
    case kVqFirstSel:
        if (!MultiStyle(d)) {
            *value = d->selection + 1;
            return 0;
        }
        *value = NextSelected(d, 0) + 1;
        d->lastAnswered = static_cast<uint32_t>(*value);
        return 0;
    case kVqCount: *value = static_cast<int32_t>(d->rowCount); return 0;
    case kVqSelCount: *value = MultiStyle(d) ? CountSelected(d) : (d->selection >= 0 ? 1 : 0); return 0;
    case kVqNextSel: {
        if (!MultiStyle(d)) {
            *value = 0;
            return 0;
        }
        int32_t next = NextSelected(d, d->lastAnswered);
        *value = next + 1;
        if (next >= 0) d->lastAnswered = static_cast<uint32_t>(next + 1);
        return 0;
    }
    case kVqRowSelected: {
        DataListRow* r = item > 0 ? DataListRowAt(d, item - 1) : nullptr;
        *value = r ? (r->selected ? item : 0) : -1;
        return 0;
    }
    default: *value = 0; return 0;
    }
}

int32_t SetTextOp(ObjectRecord* rec, int32_t item, const char* text, uint32_t length) {
    WebDataListRecord* d = WebDataList(rec);
    if (item < 1 || static_cast<uint32_t>(item) > d->rowCount) return 0;
    DataListRow* old = DataListRowAt(d, item - 1);
    uint32_t value = old->value;
    uint8_t selected = old->selected;
    int32_t caret = d->focusRow;
    DataListRowDelete(d, item - 1);
    int32_t at = DataListRowInsert(d, item - 1, text ? text : "", text ? length : 0);
    if (at < 0) return kNotPlaced;
    DataListRow* r = DataListRowAt(d, at);
    r->value = value;
    if (MultiStyle(d)) {
        r->selected = selected;
        d->selection = CountSelected(d);
        d->focusRow = caret;
    }
    return 0;
}

int32_t SetValueOp(ObjectRecord* rec, int32_t item, int32_t value) {
    WebDataListRecord* d = WebDataList(rec);
    if (!MultiStyle(d)) {
        if (value == 0) {
            ClearRows(d);
            WebDataListQueueRedraw(d);
            return 0;
        }
        return DataListSetCurSel(d, value - 1) < 0 ? kBadRow : 0;
    }
    if (item == 0) return DataListSelRange(d, value != 0, 0, static_cast<int32_t>(d->rowCount) - 1) < 0 ? kBadRow : 0;
    return DataListSelRange(d, value != 0, item - 1, item - 1) < 0 ? kBadRow : 0;
}

int32_t EnableOp(ObjectRecord* rec, int32_t, bool on) {
    WebViewSelectForObject(rec);
    JsonBeginAction(kActList);
    JsonAddName(rec);
    JsonAddBool("dl", true);
    JsonAddInt("dwid", on ? kDwidEnable : kDwidDisable);
    WebViewMsgEnd();
    return 0;
}


// The key event of a row (a key moved or ticked it).
void KeyEvent(ObjectRecord* rec, int32_t row) {
    WebDataListRecord* d = WebDataList(rec);
    if (EventIsRegistered(rec, kEvClick)) {
        if (!(d->flags & kDlNoKeyClick)) WebListPost(rec, kEvClick, kKeyEventModifiers, row + 1);
    } else if (EventIsRegistered(rec, kEvOldEvent)) {
        WebListPost(rec, kEvOldEvent, kKeyEventModifiers, row + 1);
    }
}

bool PageEvent(ObjectRecord* rec, int32_t code, const JsonValue* ev, const WebEventName* name) {
    // Change, click and double click come from the rows' own page events: the
    // element's generic ones (an edit cell's change bubbling up) are dropped.
    if (code == static_cast<int32_t>(kEvChange) || code == static_cast<int32_t>(kEvClick) ||
        code == static_cast<int32_t>(kEvDblClick))
        return true;
    if (code == kPeRowClick && name) {
        int32_t dbl = static_cast<int32_t>(JsonGetInt(ev, "ev")), em = static_cast<int32_t>(JsonGetInt(ev, "em"));
        WebDataListOnClick(rec, name->row, em, dbl != 0);
        return true;
    }
    if (code == kPeListKey) {
        WebDataListOnKey(rec, static_cast<int32_t>(JsonGetInt(ev, "ec")));
        return true;
    }
    return false;
}

}  // namespace

// ---- Shared helpers of the list controls ----------------------------------------------------

char WebListLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

int WebListCompareNoCase(const char* a, const char* b) {
    for (;; ++a, ++b) {
        unsigned char x = static_cast<unsigned char>(WebListLower(*a)), y = static_cast<unsigned char>(WebListLower(*b));
        if (x != y || !x) return x < y ? -1 : x > y ? 1 : 0;
    }
}

char* WebListCopyText(const char* text, uint32_t length) {
    char* out = static_cast<char*>(GuardedAlloc(static_cast<size_t>(length) + 1));
    if (!out) return nullptr;
    if (length && text) memcpy(out, text, length);
    out[length] = 0;
    return out;
}

bool WebListIsImageList(const ObjectRecord* rec) {
    return rec && ObjectIsLive(rec) && ObjectIsWebView(rec) && rec->kind == kKindImageList;
}

void WebListTakeImageList(ObjectRecord** field, int32_t handle) {
    ObjectRecord* list = handle ? ObjectFromHandle(static_cast<uint32_t>(handle)) : nullptr;
    if (!WebListIsImageList(list)) list = nullptr;
    // The uses are the image list's own count, which its other holders (icons)
    // share: the list leaves the page's lists only when nobody holds it.
    if (WebListIsImageList(*field)) WebImageListRelease(*field, true);
    *field = list;
    if (list) WebImageListTake(list);
}

void WebRedrawQueuePush(ObjectRecord** head, ObjectRecord* rec, WebRedrawLinkFn link, uint8_t* queued) {
    if (*queued) return;
    *link(rec) = *head;
    *head = rec;
    *queued = 1;
    WebViewFlushWhenIdle();
}

void WebRedrawQueueRemove(ObjectRecord** head, ObjectRecord* rec, WebRedrawLinkFn link, uint8_t* queued) {
    if (!*queued) return;
    for (ObjectRecord** at = head; *at; at = link(*at)) {
        if (*at != rec) continue;
        *at = *link(rec);
        break;
    }
    *link(rec) = nullptr;
    *queued = 0;
}

void WebRedrawQueueFlush(ObjectRecord** head, ObjectRecord* rec, WebRedrawLinkFn link, uint8_t* (*queuedOf)(ObjectRecord*),
                         void (*render)(ObjectRecord* rec)) {
    for (ObjectRecord* at = *head; at;) {
        ObjectRecord* next = *link(at);
        if ((at->flags & kObjShown) && (!rec || rec == at)) {
            WebRedrawQueueRemove(head, at, link, queuedOf(at));
            render(at);
        }
        at = next;
    }
}

int WebListCompareText(const char* a, const char* b) {
    if (gWebLocaleCompare && gWebListSystemCompare) return gWebListSystemCompare(a, b);
    return WebListCompareNoCase(a, b);
}

const char* WebListArgRaw(const MethodCallRec* call, uint32_t i, uint32_t* length) {
    *length = 0;
    if (!WebArgGiven(call, i)) return nullptr;
    const EventItem& a = call->args[i];
    if (a.kind != kItemText && a.kind != kItemText8 && a.kind != kItemUtf8) return nullptr;
    *length = a.data ? a.size : 0;
    return a.data ? static_cast<const char*>(a.data) : "";
}

uint32_t WebListArgText(const MethodCallRec* call, uint32_t i, char* out, size_t outSize) {
    return CallArgCopy(call, i, out, outSize);
}

const char* WebListArgName(const MethodCallRec* call, uint32_t i, char* out, size_t outSize) {
    return CallArgName(call, i, out, outSize) == kCallArgNameRefused ? nullptr : out;
}

void WebListPost(ObjectRecord* rec, uint32_t eventId, int32_t modifiers, int32_t value) {
    PostObjectEvent(rec, eventId, kEventKindDefault, static_cast<uint16_t>(modifiers), value);
}

// ---- Creation and destruction -----------------------------------------------------------

ObjectRecord* WebDataListCreate(ObjectRecord*, ObjectRecord* rec, ObjectCreateRecord* cr, uint32_t kind,
                                int32_t* code) {
    CrText stops = CreateRecordText(cr, kPidTabStops);
    if (stops.text && stops.length >= kTextBufSize) {
        *code = kBadTabStops;
        return nullptr;
    }
    if (!rec) rec = ObjectAllocRecord(static_cast<uint8_t>(kind), sizeof(WebDataListRecord), true);
    if (!rec) {
        *code = kWebNoMemory;
        return nullptr;
    }
    WebDataListRecord* d = WebDataList(rec);
    int32_t multi = CreateRecordValue(cr, kPidMultiSelect, 0);
    d->style = multi >= kDlsMultiple && multi <= kDlsSingle ? static_cast<uint8_t>(multi) : static_cast<uint8_t>(kDlsSingle);
    d->flags = kDlVScroll;
    if (cr->given[kPidIntegral] && cr->values[kPidIntegral] == 0) d->flags |= kDlNoIntegral;
    if ((cr->flags0 & kCrSorted) || CreateRecordValue(cr, kPidSorted, 0)) d->flags |= kDlSorted;
    int32_t rtl = CreateRecordValue(cr, kPidUseRtl, 0);
    if (rtl == 1) rec->flags &= ~kObjRightToLeft;
    if (rtl == 2) rec->flags |= kObjRightToLeft;
    if (rtl >= 1 && rtl <= 3) d->rtlMode = static_cast<uint8_t>(rtl);
    switch (CreateRecordValue(cr, kPidScrollBar, 0)) {
    case 1: d->flags |= kDlHScroll | kDlVScroll; break;
    case 2: d->flags = static_cast<uint16_t>((d->flags | kDlHScroll) & ~kDlVScroll); break;
    case 3: d->flags &= static_cast<uint16_t>(~kDlVScroll); break;
    default: break;
    }
    if (cr->given[kPidScrollHide] && cr->values[kPidScrollHide] == 0) d->flags |= kDlScrollHide;
    if (CreateRecordValue(cr, kPidMultiColumn, 0)) d->flags |= kDlMultiColumn;
    bool printer = CreateRecordValue(cr, kPidPrinter, 0) != 0;
    if (printer) d->flags |= kDlPrinter;
    d->columnWidth = 1;
    rec->flags |= kObjAlive | kDataListMark;
    d->focusRow = d->anchorRow = -1;
    d->selection = MultiStyle(d) ? 0 : -1;
    if (stops.text && stops.length) {
        int32_t r = ParseAndSet(d, stops.text, stops.length);
        if (r == kBadTabStops && !gWebLenientTabStops) {
            *code = kBadTabStops;
            return nullptr;
        }
        ReplaceTabStopText(d, stops.text, stops.length);
    }
    if (printer) {
        DataListRowInsert(d, -1, "pdf:", 4);
        SelectOnly(d, 0);
    }
    CrText data = CreateRecordText(cr, kPidData);
    const CrText& items = data.text ? data : cr->text;
    if (items.text && items.length) {
        RowsFromText(d, items.text, items.length);
        if (d->rowCount) SelectOnly(d, 0);
    }
    WebDataListQueueRedraw(d);
    return rec;
}

void WebDataListDestroy(ObjectRecord* rec) {
    WebDataListRecord* d = WebDataList(rec);
    for (DataListRow* r = d->firstRow; r;) {
        DataListRow* next = r->next;
        GuardedFree(r->text);
        GuardedFree(r);
        r = next;
    }
    d->firstRow = nullptr;
    d->rowCount = 0;
    GuardedFree(d->tabStopText);
    GuardedFree(d->tabStops);
    d->tabStopText = nullptr;
    d->tabStops = nullptr;
    d->tabStopCount = 0;
    WebDataListUnqueue(d);
}

// ---- Rows ------------------------------------------------------------------------------

DataListRow* DataListRowAt(const WebDataListRecord* d, int32_t row) {
    if (row < 0) return nullptr;
    DataListRow* r = d->firstRow;
    for (int32_t i = 0; r && i < row; ++i) r = r->next;
    return r;
}

int32_t DataListRowInsert(WebDataListRecord* d, int32_t pos, const char* text, uint32_t length) {
    if (d->rowCount >= kDataListRowsMax) return kRowsFull;
    if (pos < -1 || (pos >= 0 && static_cast<uint32_t>(pos) > d->rowCount)) return kBadRow;
    WebDataListQueueRedraw(d);
    auto* row = static_cast<DataListRow*>(GuardedAlloc(sizeof(DataListRow)));
    char* copy = row ? WebListCopyText(text, length) : nullptr;
    if (!copy) {
        GuardedFree(row);
        return kRowsFull;
    }
    memset(row, 0, sizeof *row);
    row->text = copy;
    int32_t at = pos < 0 ? static_cast<int32_t>(d->rowCount) : pos;
    if (d->flags & kDlSorted) {
        at = 0;
        for (DataListRow* r = d->firstRow; r && WebListCompareText(r->text, copy) < 0; r = r->next) ++at;
    }
    DataListRow** link = &d->firstRow;
    for (int32_t i = 0; i < at; ++i) link = &(*link)->next;
    row->next = *link;
    *link = row;
    ++d->rowCount;
    // The caret and the anchor stay on their rows.
    if (d->focusRow >= at) ++d->focusRow;
    if (d->anchorRow >= at) ++d->anchorRow;
    if (!MultiStyle(d) && d->selection >= at) ++d->selection;
    return at;
}

namespace {

// Each piece of a text split at byte 127 (when the multi-item option is on).
template <typename Fn>
int32_t EachPiece(const char* text, uint32_t length, Fn fn) {
    if (!gWebMultiItemOption || !memchr(text, kMultiItemSeparator, length)) return fn(text, length, 0);
    int32_t last = 0, index = 0;
    uint32_t start = 0;
    for (uint32_t i = 0; i <= length; ++i) {
        if (i < length && text[i] != kMultiItemSeparator) continue;
        last = fn(text + start, i - start, index++);
        if (last < 0) return last;
        start = i + 1;
    }
    return last;
}

}  // namespace

int32_t DataListRowAddMulti(WebDataListRecord* d, const char* text, uint32_t length) {
    return EachPiece(text, length, [d](const char* t, uint32_t n, int32_t) { return DataListRowInsert(d, -1, t, n); });
}

int32_t DataListRowInsertMulti(WebDataListRecord* d, int32_t pos, const char* text, uint32_t length) {
    return EachPiece(text, length, [d, pos](const char* t, uint32_t n, int32_t i) {
        return DataListRowInsert(d, pos < 0 ? -1 : pos + i, t, n);
    });
}

int32_t DataListRowDelete(WebDataListRecord* d, int32_t row) {
    if (row < 0 || static_cast<uint32_t>(row) >= d->rowCount) return kBadRow;
    WebDataListQueueRedraw(d);
    DataListRow** link = &d->firstRow;
    for (int32_t i = 0; i < row; ++i) link = &(*link)->next;
    DataListRow* gone = *link;
    *link = gone->next;
    --d->rowCount;
    if (MultiStyle(d)) d->selection -= gone->selected ? 1 : 0;
    else if (d->selection == row) d->selection = -1;
    else if (d->selection > row) --d->selection;
    if (d->focusRow == row) d->focusRow = -1;
    else if (d->focusRow > row) --d->focusRow;
    if (d->anchorRow == row) d->anchorRow = -1;
    else if (d->anchorRow > row) --d->anchorRow;
    GuardedFree(gone->text);
    GuardedFree(gone);
    return static_cast<int32_t>(d->rowCount);
}

namespace {

int32_t FindRow(const WebDataListRecord* d, int32_t start, const char* text, bool exact) {
    if (!text || start < -1) return -1;
    auto matches = [&](const DataListRow* r) {
        const char* t = r->text ? r->text : "";
        return exact ? WebListCompareNoCase(t, text) == 0 : PrefixNoCase(t, text);
    };
    int32_t i = 0;
    for (DataListRow* r = d->firstRow; r; r = r->next, ++i)
        if (i > start && matches(r)) return i;
    if (start == -1) return -1;
    i = 0;
    for (DataListRow* r = d->firstRow; r && i <= start; r = r->next, ++i)
        if (matches(r)) return i;
    return -1;
}

}  // namespace

int32_t DataListRowFind(const WebDataListRecord* d, int32_t start, const char* text) {
    return FindRow(d, start, text, false);
}

int32_t DataListRowFindExact(const WebDataListRecord* d, int32_t start, const char* text) {
    return FindRow(d, start, text, true);
}

// ---- Selection ---------------------------------------------------------------------------

int32_t DataListSetCurSel(WebDataListRecord* d, int32_t row) {
    if (MultiStyle(d) || row < -1) return kBadRow;
    if (row >= static_cast<int32_t>(d->rowCount)) return 0;
    ClearRows(d);
    if (DataListRow* r = DataListRowAt(d, row)) r->selected = 1;
    SendRowOp(d, kDwidCurrent, row);
    d->selection = row;
    return 0;
}

int32_t DataListSelectTop(WebDataListRecord* d, int32_t row) {
    if (row < 0 || static_cast<uint32_t>(row) >= d->rowCount) return kBadRow;
    SendRowOp(d, kDwidScroll, row);
    return 0;
}

int32_t DataListSelRange(WebDataListRecord* d, bool select, int32_t first, int32_t last) {
    if (!MultiStyle(d)) return kBadRow;
    int32_t count = static_cast<int32_t>(d->rowCount);
    if (last > count) last = count;
    if (first < 0 || first >= count || first > last) return kBadRow;
    BeginOp(d, kDwidRange);
    JsonAddInt("start", first);
    JsonAddInt("end", last);
    JsonAddInt("pos", 0);
    if (select) JsonAddInt("sel", 1);
    WebViewMsgEnd();
    int32_t i = 0;
    for (DataListRow* r = d->firstRow; r; r = r->next, ++i)
        if (i >= first && i <= last) r->selected = select ? 1 : 0;
    d->selection = CountSelected(d);
    return 0;
}

int32_t DataListSetCaret(WebDataListRecord* d, int32_t row) {
    if (!MultiStyle(d) || row < 0 || static_cast<uint32_t>(row) >= d->rowCount) return kBadRow;
    SendRowOp(d, kDwidCaret, row);
    d->focusRow = row;
    return 0;
}

// ---- Redraw ------------------------------------------------------------------------------

void WebDataListQueueRedraw(WebDataListRecord* d) {
    WebRedrawQueuePush(&gDataListRedrawQueue, &d->hdr, QueueLink, &d->queued);
}

void WebDataListUnqueue(WebDataListRecord* d) {
    WebRedrawQueueRemove(&gDataListRedrawQueue, &d->hdr, QueueLink, &d->queued);
}

void WebDataListFlush(ObjectRecord* rec) { WebRedrawQueueFlush(&gDataListRedrawQueue, rec, QueueLink, QueuedOf, RenderList); }

void WebDataListTableMarkup(WebDataListRecord* d) {
    ObjectRecord* rec = &d->hdr;
    char id[48];
    HtmlAppend("<div class='qovdl'>", 0);
    if (ThemedColors(rec)) {
        HtmlAppend("<table width='100%' align='center'>", 0);
    } else {
        HtmlAppend("<table width='100%' align='center' style='color:", 0);
        HtmlAppendColor(rec->fgColor);
        HtmlAppend("; background-color:", 0);
        HtmlAppendColor(rec->bgColor);
        HtmlAppend(";'>", 0);
    }
    snprintf(id, sizeof id, "<tbody id='C%ub'>", rec->elementId);
    HtmlAppend(id, 0);
    static char cell[kDataListCellMax + 1];
    int32_t i = 0;
    for (DataListRow* r = d->firstRow; r; r = r->next, ++i) {
        if (MultiStyle(d) && i == d->focusRow)
            HtmlAppend(r->selected ? "<tr class='ui-selected ui-focused'>" : "<tr class='ui-focused'>", 0);
        else
            HtmlAppend(r->selected ? "<tr class='ui-selected'>" : "<tr>", 0);
        snprintf(id, sizeof id, "<td id='C%uR%dI0' >", rec->elementId, i);
        HtmlAppend(id, 0);
        DataListCellText(d->tabStops, d->tabStopCount, r->text ? r->text : "", cell);
        HtmlAppend(cell, 0);
        HtmlAppend("</td></tr>", 0);
    }
    HtmlAppend("</tbody></table></div>", 0);
}

// ---- Tab stops ----------------------------------------------------------------------------

uint32_t DataListCellText(const int32_t* stops, uint32_t count, const char* text, char* out) {
    uint32_t n = 0;
    auto put = [&](char c) {
        if (n < kDataListCellMax) out[n++] = c;
    };
    bool oneBlank = count == 1 && stops[0] == 0;
    for (const char* p = text; *p && n < kDataListCellMax; ++p) {
        if (*p != '\t') {
            put(*p);
            continue;
        }
        if (oneBlank) {
            put(' ');
            continue;
        }
        int32_t column = static_cast<int32_t>(n), target = -1;
        for (uint32_t s = 0; s < count && target < 0; ++s) {
            int32_t stop = stops[s] < 0 ? -stops[s] : stops[s];
            if (stop <= column) continue;
            if (stops[s] >= 0) {
                target = stop;
                break;
            }
            // A right-aligned stop: the text up to the next tab ends at it.
            int32_t follow = 0;
            for (const char* q = p + 1; static_cast<unsigned char>(*q) >= ' '; ++q) ++follow;
            target = stop - follow > column ? stop - follow : column;
        }
        if (target < 0) target = (column / kTabWidth + 1) * kTabWidth;
        while (static_cast<int32_t>(n) < target && n < kDataListCellMax) put(' ');
    }
    out[n] = 0;
    return n;
}

bool DataListParseTabStops(const char* text, uint32_t length, int32_t scale, int32_t pointSize, int32_t* stops,
                           uint32_t* count) {
    *count = 0;
    uint32_t i = 0;
    bool columns = length > 0 && text[0] == '@';
    if (columns) ++i;
    int32_t points = pointSize > 0 ? pointSize / 10 : kDefaultPointSize;
    static const struct {
        int32_t below, less;
    } kWidthSteps[] = {{13, 2}, {17, 3}, {21, 4}, {25, 5}, {31, 6}, {37, 7}};
    int32_t w = points - 8;
    for (const auto& step : kWidthSteps) {
        if (points < step.below) {
            w = points - step.less;
            break;
        }
    }
    if (w < 1) w = 1;
    while (i < length) {
        while (i < length && text[i] == ' ') ++i;
        if (i >= length) break;
        bool negative = text[i] == '-';
        if (negative) ++i;
        if (i >= length || text[i] < '0' || text[i] > '9') return false;
        int64_t v = 0;
        while (i < length && text[i] >= '0' && text[i] <= '9') {
            v = v * 10 + (text[i++] - '0');
            if (v > 100000) return false;
        }
        while (i < length && text[i] == ' ') ++i;
        if (i < length && text[i] != ';') return false;
        if (i < length) ++i;
        if (*count >= kDataListTabStopsMax) return false;
        int64_t stop = columns ? v * 4 : v * scale * 4 / w;
        int32_t s = static_cast<int32_t>(negative ? -stop : stop);
        // Ordered by absolute value.
        uint32_t at = *count;
        while (at > 0 && (stops[at - 1] < 0 ? -stops[at - 1] : stops[at - 1]) > (s < 0 ? -s : s)) {
            stops[at] = stops[at - 1];
            --at;
        }
        stops[at] = s;
        ++*count;
    }
    return true;
}

int32_t DataListSetTabStops(WebDataListRecord* d, const int32_t* stops, uint32_t count) {
    int32_t* list = nullptr;
    if (count) {
        list = static_cast<int32_t*>(GuardedAlloc(sizeof(int32_t) * count));
        if (!list) return kRowsFull;
        for (uint32_t i = 0; i < count; ++i) {
            int32_t v = stops[i] < 0 ? -stops[i] : stops[i];
            int32_t q = v / 4 + (v % 4 >= 2 ? 1 : 0);
            list[i] = stops[i] < 0 ? -q : q;
        }
    }
    GuardedFree(d->tabStops);
    d->tabStops = list;
    d->tabStopCount = count;
    return 0;
}

// ---- Properties ----------------------------------------------------------------------------

int32_t WebDataListSetProp(ObjectRecord* rec, uint32_t id, int32_t value, const char* text, uint32_t length,
                           bool* commonWrite) {
    WebDataListRecord* d = WebDataList(rec);
    auto setBit = [d](uint16_t bit, bool on) {
        d->flags = on ? static_cast<uint16_t>(d->flags | bit) : static_cast<uint16_t>(d->flags & ~bit);
    };
    switch (id) {
    case kPidPrinter:
        DeleteAllRows(d);
        setBit(kDlPrinter, value != 0);
        if (value) {
            DataListRowInsert(d, -1, "pdf:", 4);
            SelectOnly(d, 0);
        }
        break;
    case kPidSorted: setBit(kDlSorted, value != 0); break;
    case kPidMultiSelect:
        d->style = value >= kDlsMultiple && value <= kDlsSingle ? static_cast<uint8_t>(value) : static_cast<uint8_t>(kDlsSingle);
        ClearRows(d);
        break;
    case kPidAppearance:
        rec->flags = value == 1 ? (rec->flags | kObj3D) : (rec->flags & ~kObj3D);
        rec->appearance = value == 1 ? 1 : 2;
        *commonWrite = false;
        return 0;
    case kPidScrollBar:
        if (value == 0 || value == 3) setBit(kDlHScroll | kDlVScroll, false);
        else if (value == 1) setBit(kDlHScroll | kDlVScroll, true);
        else if (value == 2) d->flags = static_cast<uint16_t>((d->flags | kDlHScroll) & ~kDlVScroll);
        else if (value == 4) d->flags = static_cast<uint16_t>((d->flags | kDlVScroll) & ~kDlHScroll);
        *commonWrite = false;
        return 0;
    case kPidIntegral: setBit(kDlNoIntegral, value == 0); break;
    case kPidData:
        DeleteAllRows(d);
        if (text) RowsFromText(d, text, length);
        if (d->rowCount) SelectOnly(d, 0);
        break;
    case kPidTabStops:
        ReplaceTabStopText(d, text, text ? length : 0);
        if (!text || !length || ParseAndSet(d, text, length) != 0) DataListSetTabStops(d, nullptr, 0);
        break;
    case kPidUseRtl:
        if (value == 1) rec->flags &= ~kObjRightToLeft;
        if (value == 2) rec->flags |= kObjRightToLeft;
        if (value >= 1 && value <= 3) d->rtlMode = static_cast<uint8_t>(value);
        *commonWrite = false;
        return 0;
    // The same sense as at creation and in the query: ScrollHide 0 sets the
    // hide bit, MultiColumn non-zero sets its bit, so a change reads back as set.
    case kPidScrollHide: setBit(kDlScrollHide, value == 0); break;
    case kPidMultiColumn: setBit(kDlMultiColumn, value != 0); break;
    case kPidColumnWidth:
        d->columnWidth = value > 0 ? static_cast<uint32_t>(value) : 1;
        *commonWrite = false;
        return 0;
    case kPidHorzExtent:
        d->horzExtent = static_cast<uint32_t>(value);
        *commonWrite = false;
        return 0;
    default:
        // The common change and its page write; the table shows the colours
        // and fonts, so it is drawn again.
        WebDataListQueueRedraw(d);
        return kWebNotAvailable;
    }
    WebDataListQueueRedraw(d);
    *commonWrite = false;
    return 0;
}

int32_t WebDataListGetProp(ObjectRecord* rec, uint32_t id, int32_t* result, const char** text) {
    WebDataListRecord* d = WebDataList(rec);
    switch (id) {
    case kPidPrinter: *result = (d->flags & kDlPrinter) ? 1 : 0; return 0;
    case kPidSorted: *result = (d->flags & kDlSorted) ? 1 : 0; return 0;
    case kPidMultiSelect: *result = d->style; return 0;
    case kPidScrollBar: {
        bool h = (d->flags & kDlHScroll) != 0, v = (d->flags & kDlVScroll) != 0;
        *result = h && v ? 1 : h ? 2 : v ? 4 : 3;
        return 0;
    }
    case kPidIntegral: *result = (d->flags & kDlNoIntegral) ? 0 : 1; return 0;
    case kPidData: {
        uint32_t at = 0;
        gTextBuf[0] = 0;
        for (DataListRow* r = d->firstRow; r; r = r->next) {
            size_t n = strlen(r->text ? r->text : "");
            if (at + n + (at ? 1 : 0) > kTextBufSize - 1) break;
            if (at) gTextBuf[at++] = kItemSeparator;
            memcpy(gTextBuf + at, r->text ? r->text : "", n);
            at += static_cast<uint32_t>(n);
        }
        gTextBuf[at] = 0;
        *text = gTextBuf;
        return 0;
    }
    case kPidTabStops:
        snprintf(gTextBuf, kTextBufSize + 1, "%s", d->tabStopText ? d->tabStopText : "");
        *text = gTextBuf;
        return 0;
    case kPidUseRtl: *result = d->rtlMode; return 0;
    case kPidScrollHide: *result = (d->flags & kDlScrollHide) ? 0 : 1; return 0;
    case kPidMultiColumn: *result = (d->flags & kDlMultiColumn) ? 1 : 0; return 0;
    case kPidColumnWidth: *result = static_cast<int32_t>(d->columnWidth); return 0;
    case kPidHorzExtent: *result = static_cast<int32_t>(d->horzExtent); return 0;
    default: return WebDefaultGetProp(rec, id, result, text);
    }
}

// ---- Methods -------------------------------------------------------------------------------

int32_t WebDataListMethod(ObjectRecord* rec, MethodCallRec* call) {
    int32_t check = WebCheckMethod(call ? call->objectType : kTypeDatalist, call);
    if (check != 0) return check;
    WebDataListRecord* d = WebDataList(rec);
    static char arg[kTextBufSize + 1];
    uint32_t length = 0;
    const char* raw = nullptr;
    int32_t index = WebArgInt(call, 0, -1);
    auto rowAt = [d](int32_t row) { return DataListRowAt(d, row); };
    switch (call->method) {
    case kDataListAddString:
        raw = WebListArgRaw(call, 0, &length);
        return WebReplyInt(DataListRowAddMulti(d, raw ? raw : "", length));
    case kDataListDeleteString: {
        int32_t r = DataListRowDelete(d, index);
        return WebReplyInt(r < 0 ? -1 : r);
    }
    case kDataListDir: return WebReplyInt(-1);
    case kDataListFindString: case kDataListFindStringExact:
        WebListArgText(call, 1, arg, sizeof arg);
        return WebReplyInt(call->method == kDataListFindString ? DataListRowFind(d, index, arg)
                                                         : DataListRowFindExact(d, index, arg));
    case kDataListGetCaretIndex: return WebReplyInt(d->focusRow);
    case kDataListGetCount: return WebReplyInt(static_cast<int32_t>(d->rowCount));
    case kDataListGetFirstSel: {
        if (!MultiStyle(d)) return WebReplyInt(d->selection);
        int32_t first = NextSelected(d, 0);
        d->lastAnswered = static_cast<uint32_t>(first + 1);
        return WebReplyInt(first);
    }
    case kDataListGetNextSel: {
        if (!MultiStyle(d)) return WebReplyInt(-1);
        int32_t next = NextSelected(d, d->lastAnswered);
        if (next >= 0) d->lastAnswered = static_cast<uint32_t>(next + 1);
        return WebReplyInt(next);
    }
    case kDataListGetItemData: {
        DataListRow* r = rowAt(index);
        return WebReplyInt(r ? static_cast<int32_t>(r->value) : -1);
    }
    case kDataListGetSel: {
        DataListRow* r = rowAt(index);
        return WebReplyInt(r ? r->selected : -1);
    }
    case kDataListGetSelCount: return WebReplyInt(MultiStyle(d) ? d->selection : 1);
    case kDataListGetText: case kDataListGetTextLen: {
        DataListRow* r = rowAt(index);
        const char* t = r && r->text ? r->text : "";
        if (call->method == kDataListGetTextLen) return WebReplyInt(static_cast<int32_t>(strlen(t)));
        snprintf(gTextBuf, kTextBufSize + 1, "%s", t);
        return WebReplyText(gTextBuf);
    }
    case kDataListGetTopIndex: return WebReplyInt(0);
    case kDataListInsertString:
        raw = WebListArgRaw(call, 1, &length);
        return WebReplyInt(DataListRowInsertMulti(d, index, raw ? raw : "", length));
    case kDataListResetContent: DeleteAllRows(d); return 0;
    case kDataListSelectString: {
        WebListArgText(call, 1, arg, sizeof arg);
        int32_t row = DataListRowFind(d, index, arg);
        return WebReplyInt(row < 0 ? -1 : DataListSetCurSel(d, row));
    }
    case kDataListSelItemRange:
        return WebReplyInt(DataListSelRange(d, WebArgInt(call, 0, 0) != 0, WebArgInt(call, 1, 0), WebArgInt(call, 2, 0)));
    case kDataListSetCaretIndex: return WebReplyInt(DataListSetCaret(d, index));
    case kDataListSetCurSel: return WebReplyInt(DataListSetCurSel(d, index));
    case kDataListSetItemData: {
        DataListRow* r = rowAt(index);
        if (!r || !r->text) return WebReplyInt(-1);
        r->value = static_cast<uint32_t>(WebArgInt(call, 1, 0));
        return WebReplyInt(0);
    }
    case kDataListSetSel: {
        bool on = WebArgInt(call, 0, 0) != 0;
        int32_t row = WebArgInt(call, 1, -1);
        if (row == -1) return WebReplyInt(DataListSelRange(d, on, 0, static_cast<int32_t>(d->rowCount) - 1));
        return WebReplyInt(DataListSelRange(d, on, row, row));
    }
    case kDataListSetTopIndex: return WebReplyInt(DataListSelectTop(d, index));
    case kDataListTabStops: {
        uint32_t n = WebListArgText(call, 0, arg, sizeof arg);
        int32_t stops[kDataListTabStopsMax];
        uint32_t count = 0;
        if (DataListParseTabStops(arg, n, 1, FontPointSize(rec), stops, &count) && count) {
            DataListSetTabStops(d, stops, count);
            ReplaceTabStopText(d, arg, n);
            if (rec->flags & kObjShown) WebDataListQueueRedraw(d);
        }
        return WebReplyInt(0);
    }
    case kDataListAllowEmptyTab: case kDataListPreventKeyClick: {
        uint16_t bit = call->method == kDataListAllowEmptyTab ? kDlAllowEmptyTab : kDlNoKeyClick;
        d->flags = WebArgInt(call, 0, 0) ? static_cast<uint16_t>(d->flags | bit) : static_cast<uint16_t>(d->flags & ~bit);
        return WebReplyInt(0);
    }
    case kDataListInitStorage: return WebReplyInt(WebArgInt(call, 0, 0));
    default: return kWebUnknownMethod;
    }
}

// ---- Page events ------------------------------------------------------------------------------

void WebDataListOnClick(ObjectRecord* rec, int32_t row, int32_t modifiers, bool dblClick) {
    WebDataListRecord* d = WebDataList(rec);
    if ((rec->flags & kObjDisabled) || row < 0 || static_cast<uint32_t>(row) >= d->rowCount) return;
    if (d->style == kDlsExtended && (modifiers & kShiftModifier)) {
        if (d->anchorRow < 0) d->anchorRow = row;
        DataListSelRange(d, false, 0, static_cast<int32_t>(d->rowCount) - 1);
        int32_t a = d->anchorRow < row ? d->anchorRow : row, b = d->anchorRow < row ? row : d->anchorRow;
        DataListSelRange(d, true, a, b);
        return;
    }
    // The page shows what the client decided: the range message for a
    // toggled row, the current-row message for a single selection.
    if (MultiStyle(d)) {
        DataListSetCaret(d, row);
        DataListSelRange(d, !DataListRowAt(d, row)->selected, row, row);
    } else {
        SelectOnly(d, row);
        SendRowOp(d, kDwidCurrent, row);
    }
    d->focusRow = d->anchorRow = row;
    if (!dblClick) {
        if (EventIsRegistered(rec, kEvClick)) WebListPost(rec, kEvClick, modifiers, row + 1);
        else WebListPost(rec, kEvOldEvent, modifiers, row + 1);
    } else if (EventIsRegistered(rec, kEvDblClick)) {
        WebListPost(rec, kEvDblClick, modifiers, row + 1);
    } else {
        WebListPost(rec, kEvOldEvent, modifiers, kOldEventDblBase + row);
    }
}

void WebDataListOnKey(ObjectRecord* rec, int32_t key) {
    WebDataListRecord* d = WebDataList(rec);
    if (rec->flags & kObjDisabled) return;
    int32_t last = static_cast<int32_t>(d->rowCount) - 1, focus = d->focusRow, target;
    switch (key) {
    case kKeyEnd: if (focus == last) return; target = last; break;
    case kKeyHome: if (focus == 0) return; target = 0; break;
    case kKeyUp: target = focus > 0 ? focus - 1 : 0; if (target == focus) return; break;
    case kKeyDown: target = focus + 1; break;
    case kKeyShow: target = focus; break;
    case kKeySpace:
        if (d->style == kDlsMultiple && focus >= 0) {
            DataListRow* r = DataListRowAt(d, focus);
            if (r) DataListSelRange(d, !r->selected, focus, focus);
            KeyEvent(rec, focus);
        }
        return;
    default: return;
    }
    if (target < 0 || target > last) return;
    if (MultiStyle(d)) DataListSetCaret(d, target);
    if (d->style == kDlsMultiple) return;
    SelectOnly(d, target);
    d->focusRow = target;
    KeyEvent(rec, target);
    SendRowOp(d, kDwidCurrent, target);
}

// ---- The kinds' rows --------------------------------------------------------------------------

namespace {

// A table-form data list without rows takes no tab step, unless it lets an
// empty list take one; the rest of its focus is the generic one.
int32_t FocusOp(ObjectRecord* rec, int32_t step) {
    if (step == kWebFocusNext || step == kWebFocusPrevious) return kWebFocusRefused;
    const WebDataListRecord* d = reinterpret_cast<const WebDataListRecord*>(rec);
    bool tabStep = step == kWebFocusFirst || step == kWebFocusLast;
    if (tabStep && (rec->flags & kDataListMark) && d->rowCount == 0 && !(d->flags & kDlAllowEmptyTab))
        return kWebFocusRefused;
    return kWebFocusGeneric;
}

// A data list's change is never asked of the page; a table-form data list
// reports its rows' double clicks itself.
bool AskEventOp(ObjectRecord* rec, uint32_t eventId) {
    return eventId == kEvChange || (eventId == kEvDblClick && (rec->flags & kDataListMark));
}

const WebKindOps kDataListOps = {
    .create = WebDataListCreate,
    .markup = HtmlPlainDivMarkup,
    .setProp = WebDataListSetProp,
    .getProp = WebDataListGetProp,
    .enable = EnableOp,
    .pageEvent = PageEvent,
    .flushRedraws = WebDataListFlush,
    .destroy = WebDataListDestroy,
    .method = WebDataListMethod,
    .getText = GetTextOp,
    .getValue = GetValueOp,
    .setText = SetTextOp,
    .setValue = SetValueOp,
    .insertItem = InsertItemOp,
    .deleteItem = DeleteItemOp,
    .focus = FocusOp,
    .askEvent = AskEventOp,
    .defaultEvent = kEvOldEvent,
    .traits = kWebKindTakesFocus | kWebKindWhiteBackground,
};

}  // namespace

void WebDataListInstall() { WebRegisterKind(kKindDataList, &kDataListOps); }
