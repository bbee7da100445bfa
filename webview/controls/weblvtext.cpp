// weblvtext.cpp - the list view's rows as delimited text and its row sort:
// fields read from a line (quoted or not), a row written as a line, whole files
// loaded into rows and saved from them through the file services, and the
// rows ordered by up to four keys of text, number, date, time or date-time.
// Platform-free: no page is spoken to here; the record's own functions queue
// its redraw.
#include "webview/controls/weblvtext.h"

#include <cstring>

#include "session/util/digits.h"
#include "session/util/mem.h"
#include "webview/controls/weblist.h"
#include "webview/controls/weblistview.h"
#include "webview/core/webtext.h"

ListViewSortSpec gListViewSortSpec;
WebListFileServices gWebListFiles;

namespace {

// The answers of the delimited-text file methods (LoadCsvFile, SaveCsvFile).
enum LvFileCode : int32_t {
    kLfNoFile = 200, kLfNoColumns = 201, kLfNotOpened = 202, kLfReadError = 203, kLfLineTooLong = 204,
    kLfLineOverflow = 300, kLfNoMemory = 301,
};

// ---- Sorting ------------------------------------------------------------------------------------------

// What a sort type (1-12, odd ascending, even descending) compares.
enum SortKind : int32_t { kSortBytes = 1, kSortNumber = 2, kSortDate = 3, kSortTime = 4, kSortDateTime = 5, kSortLocale = 6 };
constexpr uint32_t kDateDigits = 8, kTimeDigits = 8, kDateTimeDigits = 16;

SortKind KindOfSortType(int32_t type) { return static_cast<SortKind>((type + 1) / 2); }

struct SortEntry {
    ListViewRow* row;
    char* keys[kListViewSortKeys];
    uint32_t prev;
};

// The key text of one cell as its type compares it.
char* SortKeyText(const char* text, int32_t type, const char* mask) {
    char buf[kFixedNumberLength + 2];
    const char* m = mask && *mask ? mask : nullptr;
    switch (KindOfSortType(type)) {
    case kSortNumber:
        if (m) FormattedNumberToFixed(text, buf, m, '.');
        else NumberTextToFixed(text, buf, '.');
        buf[kFixedNumberLength] = 0;
        return WebListCopyText(buf, static_cast<uint32_t>(strlen(buf)));
    case kSortDate: DateTextToDigits(text, buf, m); buf[kDateDigits] = 0; return WebListCopyText(buf, kDateDigits);
    case kSortTime: TimeTextToDigits(text, buf, m); buf[kTimeDigits] = 0; return WebListCopyText(buf, kTimeDigits);
    case kSortDateTime:
        DateTimeTextToDigits(text, buf, m);
        buf[kDateTimeDigits] = 0;
        return WebListCopyText(buf, kDateTimeDigits);
    default: return WebListCopyText(text, static_cast<uint32_t>(strlen(text)));
    }
}

int CompareKey(const char* a, const char* b, int32_t type) {
    int c;
    switch (KindOfSortType(type)) {
    case kSortNumber:
        c = strcmp(a, b);
        if (a[0] == '-' && b[0] == '-') c = -c;
        break;
    case kSortLocale: c = WebListCompareText(a, b); break;
    default: c = strcmp(a, b); break;
    }
    if (type % 2 == 0) c = -c;
    return c;
}

int CompareEntries(const SortEntry& a, const SortEntry& b) {
    return ListViewCompareSortKeys(a.keys, a.prev, b.keys, b.prev);
}

// Quicksort over an explicit stack (no recursion depth to exhaust).
void ListViewQuickSort(SortEntry* e, int32_t count) {
    struct Range {
        int32_t lo, hi;
    };
    static Range stack[64];
    int32_t top = 0;
    if (count < 2) return;
    stack[top++] = Range{0, count - 1};
    while (top > 0) {
        Range r = stack[--top];
        while (r.lo < r.hi) {
            SortEntry pivot = e[r.lo + (r.hi - r.lo) / 2];
            int32_t i = r.lo, j = r.hi;
            while (i <= j) {
                while (CompareEntries(e[i], pivot) < 0) ++i;
                while (CompareEntries(e[j], pivot) > 0) --j;
                if (i <= j) {
                    SortEntry t = e[i];
                    e[i] = e[j];
                    e[j] = t;
                    ++i;
                    --j;
                }
            }
            // The smaller part first keeps the stack within log2(count).
            if (j - r.lo < r.hi - i) {
                if (i < r.hi) stack[top++] = Range{i, r.hi};
                r.hi = j;
            } else {
                if (r.lo < j) stack[top++] = Range{r.lo, j};
                r.lo = i;
            }
        }
    }
}

}  // namespace

int ListViewCompareSortKeys(const char* const* a, uint32_t prevA, const char* const* b, uint32_t prevB) {
    for (uint32_t k = 0; k < gListViewSortSpec.count; ++k) {
        int c = CompareKey(a[k], b[k], gListViewSortSpec.keys[k].type);
        if (c) return c;
    }
    return prevA < prevB ? -1 : prevA > prevB ? 1 : 0;
}

bool WebListViewSortRows(WebListViewRecord* lv) {
    uint32_t n = lv->rowCount;
    if (n == 0) return true;
    auto* entries = static_cast<SortEntry*>(GuardedAlloc(sizeof(SortEntry) * n));
    if (!entries) return false;
    memset(entries, 0, sizeof(SortEntry) * n);
    bool ok = true;
    uint32_t i = 0;
    for (ListViewRow* r = lv->rows; r; r = r->next, ++i) {
        entries[i].row = r;
        entries[i].prev = i;
        for (uint32_t k = 0; k < gListViewSortSpec.count && ok; ++k) {
            const ListViewSortKey& key = gListViewSortSpec.keys[k];
            entries[i].keys[k] = SortKeyText(WebListViewGetItem(lv, static_cast<int32_t>(i), key.column), key.type, key.mask);
            ok = entries[i].keys[k] != nullptr;
        }
    }
    if (ok) {
        ListViewQuickSort(entries, static_cast<int32_t>(n));
        ListViewRow** link = &lv->rows;
        for (uint32_t k = 0; k < n; ++k) {
            entries[k].row->prevPos = entries[k].prev;
            *link = entries[k].row;
            link = &entries[k].row->next;
        }
        *link = nullptr;
    }
    for (uint32_t k = 0; k < n; ++k)
        for (uint32_t j = 0; j < kListViewSortKeys; ++j) GuardedFree(entries[k].keys[j]);
    GuardedFree(entries);
    return ok;
}

void WebListViewSortByFirstColumn(WebListViewRecord* lv, bool ascending) {
    gListViewSortSpec = ListViewSortSpec{};
    gListViewSortSpec.count = 1;
    gListViewSortSpec.keys[0].type = ascending ? 1 : 2;
    WebListViewSortRows(lv);
}

// ---- Delimited text -------------------------------------------------------------------------------------

bool ListViewNextField(const char* line, uint32_t length, uint32_t* at, char delimiter, bool quoted,
                       bool firstQuoteEnds, char* out, uint32_t outSize, uint32_t* outLength) {
    uint32_t i = *at, n = 0;
    *outLength = 0;
    if (i > length) return false;
    auto put = [&](char c) {
        if (n + 1 < outSize) out[n++] = c;
    };
    bool endLine = false;
    if (quoted && i < length && line[i] == '"') {
        ++i;
        while (i < length) {
            // The text ends at a zero byte, inside quotes too, as the native
            // list's text does.
            if (line[i] == 0) {
                endLine = true;
                break;
            }
            if (line[i] == '"') {
                if (!firstQuoteEnds && i + 1 < length && line[i + 1] == '"') {
                    put('"');
                    i += 2;
                    continue;
                }
                ++i;
                break;
            }
            put(line[i++]);
        }
        // After the closing quote only the delimiter goes on with the line.
        if (!endLine && i < length && line[i] == delimiter) ++i;
        else endLine = true;
    } else {
        while (i < length && line[i] != delimiter) {
            if (static_cast<unsigned char>(line[i]) < ' ' && line[i] != '\t') {
                endLine = true;
                break;
            }
            put(line[i++]);
        }
        if (!endLine && i < length) ++i;
        else if (i >= length) endLine = true;
    }
    out[n] = 0;
    *outLength = n;
    *at = endLine ? length + 1 : i;
    return true;
}

namespace {

bool SkipColumn(const WebListViewRecord* lv, int32_t column, uint32_t options) {
    if (!(options & kLvtSkipHidden)) return false;
    ListViewColumn* c = WebListViewColumnRec(lv, column);
    return c && c->width <= 0;
}

// The columns the delimited text runs over, in column or shown order.
uint32_t TextColumns(const WebListViewRecord* lv, uint32_t options, int32_t* columns) {
    uint32_t n = lv->methodColumns;
    if (n > static_cast<uint32_t>(lv->columnCount)) n = static_cast<uint32_t>(lv->columnCount);
    if (n > kListViewShownMax) n = kListViewShownMax;
    if (options & kLvtColumnOrder) {
        int32_t map[kListViewShownMax];
        uint32_t m = WebListViewColumnOrderMap(lv, map);
        uint32_t k = 0;
        for (uint32_t p = 0; p < m; ++p)
            if (static_cast<uint32_t>(map[p]) < n) columns[k++] = map[p];
        return k;
    }
    for (uint32_t k = 0; k < n; ++k) columns[k] = static_cast<int32_t>(k);
    return n;
}

}  // namespace

bool WebListViewRowText(const WebListViewRecord* lv, int32_t row, char delimiter, uint32_t options, char* out,
                        uint32_t size, uint32_t* length) {
    int32_t columns[kListViewShownMax];
    uint32_t count = TextColumns(lv, options, columns), n = 0;
    bool first = true;
    auto put = [&](char c) {
        if (n + 1 >= size) return false;
        out[n++] = c;
        return true;
    };
    for (uint32_t k = 0; k < count; ++k) {
        int32_t column = columns[k];
        if (SkipColumn(lv, column, options)) continue;
        if (!first && !put(delimiter)) return false;
        first = false;
        const char* text;
        if (row < 0) {
            ListViewColumn* c = WebListViewColumnRec(lv, column);
            text = c && c->text ? c->text : "";
        } else {
            text = WebListViewGetItem(lv, row, column);
        }
        if ((options & kLvtQuote) && !put('"')) return false;
        for (const char* p = text; *p; ++p) {
            char c = *p;
            if (row >= 0 && (options & kLvtLower) && c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
            else if (row >= 0 && !(options & kLvtLower) && (options & kLvtUpper) && c >= 'a' && c <= 'z')
                c = static_cast<char>(c - 'a' + 'A');
            if ((options & kLvtQuote) && c == '"' && !put('"')) return false;
            if (!put(c)) return false;
        }
        if ((options & kLvtQuote) && !put('"')) return false;
    }
    out[n] = 0;
    *length = n;
    return true;
}

int32_t WebListViewSetItemTextAll(WebListViewRecord* lv, int32_t index, const char* text, uint32_t length,
                                  char delimiter, uint32_t options) {
    static char field[kTextBufSize + 1];
    int32_t columns[kListViewShownMax];
    uint32_t count = TextColumns(lv, options & ~kLvtColumnOrder, columns);
    bool quoted = (options & kLvtQuote) != 0, firstEnds = quoted && (options & kLvtColumnOrder);
    uint32_t at = 0, n = 0;
    int32_t row = index;
    for (uint32_t k = 0; k < count; ++k) {
        int32_t column = columns[k];
        if (SkipColumn(lv, column, options)) continue;
        if (!ListViewNextField(text, length, &at, delimiter, quoted, firstEnds, field, sizeof field, &n)) break;
        if (index == -1) {
            WebListViewSetColumnText(lv, column, field, n);
            continue;
        }
        if (column == 0 && !(options & kLvtUpdate)) {
            row = WebListViewInsertItem(lv, index, field, n, 0, 0, 0);
            if (row < 0) return -1;
            continue;
        }
        if ((options & kLvtUpdate) && (options & kLvtKeepEmpty) && n == 0) continue;
        WebListViewSetItem(lv, row, column, field, n);
    }
    return (options & kLvtUpdate) ? 0 : row;
}

int32_t WebListViewLoadTextData(WebListViewRecord* lv, const char* data, uint32_t size, uint32_t options,
                                char delimiter) {
    if (lv->columnCount <= 0 || lv->methodColumns == 0) return kLfNoColumns;
    WebListViewDeleteAllRows(lv);
    WebListViewQueueRedraw(lv);
    bool header = (options & kLvtHeader) != 0;
    uint32_t start = 0;
    while (start < size) {
        uint32_t end = start;
        while (end < size && data[end] != '\n') ++end;
        uint32_t n = end - start;
        if (n > kListViewLineMax) return kLfLineTooLong;
        if (n && data[start + n - 1] == '\r') --n;
        if (n || end < size) {
            uint32_t opts = (options & (kLvtQuote | kLvtSkipHidden));
            if (header) WebListViewSetItemTextAll(lv, -1, data + start, n, delimiter, opts);
            else if (WebListViewSetItemTextAll(lv, static_cast<int32_t>(lv->rowCount), data + start, n, delimiter, opts) < 0)
                return kLfNoMemory;
            header = false;
        }
        start = end + 1;
    }
    return 0;
}

int32_t WebListViewLoadText(WebListViewRecord* lv, const char* name, uint32_t options, char delimiter) {
    if (!gWebListFiles.load || !name) return kLfNoFile;
    if (lv->columnCount <= 0 || lv->methodColumns == 0) return kLfNoColumns;
    char* data = nullptr;
    uint32_t size = 0;
    int32_t r = gWebListFiles.load(name, &data, &size);
    if (r != 0) return r;
    r = WebListViewLoadTextData(lv, data, size, options, delimiter);
    GuardedFree(data);
    return r;
}

int32_t WebListViewSaveText(WebListViewRecord* lv, const char* name, uint32_t options, char delimiter) {
    if (!gWebListFiles.save || !name) return kLfNoFile;
    if (lv->columnCount <= 0 || lv->methodColumns == 0) return kLfNoColumns;
    TextBuf out = {};
    static char line[kListViewLineMax + 3];
    uint32_t n = 0;
    auto add = [&](int32_t row) -> int32_t {
        if (!WebListViewRowText(lv, row, delimiter, options, line, kListViewLineMax + 1, &n)) return kLfLineOverflow;
        line[n++] = '\r';
        line[n++] = '\n';
        if (!TextBufEnsure(&out, out.length + n + 1, kHtmlGrowStep, nullptr)) return kLfNoMemory;
        memcpy(out.data + out.length, line, n);
        out.length += n;
        out.data[out.length] = 0;
        return 0;
    };
    int32_t r = (options & kLvtHeader) ? add(-1) : 0;
    int32_t i = 0;
    for (ListViewRow* row = lv->rows; row && r == 0; row = row->next, ++i) {
        if ((options & kLvtSelected) && !(row->state & kLvRowSelected)) continue;
        if ((options & kLvtTicked) && !row->check) continue;
        r = add(i);
    }
    if (r == 0) r = gWebListFiles.save(name, out.data ? out.data : "", out.length);
    TextBufFree(&out);
    return r;
}

