// fuzz_listtext.cpp - the list controls' readers of outside text: delimited
// lines field by field (quoted or not), a row's fields set at once into a list
// view, a whole delimited file loaded, and a data list's tab stops parsed and
// applied to a row text. The first byte chooses the reader and its options;
// every read must stay inside the input and every written text inside its
// buffer.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>

#include "session/util/mem.h"
#include "webview/controls/weblist.h"
#include "webview/controls/weblistview.h"
#include "webview/controls/weblvtext.h"

namespace {

constexpr uint32_t kFuzzColumns = 6;

void Fields(const char* text, uint32_t length, uint8_t options) {
    char out[64];
    uint32_t at = 0, n = 0, count = 0;
    char delimiter = (options & 0x10) ? ';' : ',';
    while (at <= length && count++ <= length + 1 &&
           ListViewNextField(text, length, &at, delimiter, (options & 1) != 0, (options & 2) != 0, out, sizeof out, &n)) {
        if (n >= sizeof out || strlen(out) != n) abort();
    }
}

void IntoListView(const char* text, uint32_t length, uint8_t options) {
    auto* lv = static_cast<WebListViewRecord*>(calloc(1, sizeof(WebListViewRecord)));
    if (!lv) return;
    for (uint32_t c = 0; c < kFuzzColumns; ++c) {
        WebListViewInsertColumn(lv, -1, 0, (c & 1) ? 0 : 40, "h", 1, 0, 0);
        ++lv->methodColumns;
    }
    WebListViewInsertItem(lv, -1, "r", 1, 0, 0, 0);
    if (options & 4) WebListViewLoadTextData(lv, text, length, options, ',');
    else WebListViewSetItemTextAll(lv, (options & 8) ? -1 : 0, text, length, ',', options);
    char line[kListViewLineMax + 1];
    uint32_t n = 0;
    for (int32_t r = -1; r < static_cast<int32_t>(lv->rowCount); ++r)
        if (WebListViewRowText(lv, r, ',', options, line, sizeof line, &n) && strlen(line) != n) abort();
    WebListViewDestroy(&lv->hdr);
    free(lv);
}

void TabStops(const char* text, uint32_t length, uint8_t options) {
    int32_t stops[kDataListTabStopsMax];
    uint32_t count = 0;
    if (!DataListParseTabStops(text, length, 1 + (options & 3), options * 10, stops, &count)) return;
    WebDataListRecord d = {};
    if (DataListSetTabStops(&d, stops, count) != 0) return;
    static char cell[kDataListCellMax + 1];
    if (DataListCellText(d.tabStops, d.tabStopCount, "a\tbc\t\tdef\tg", cell) > kDataListCellMax) abort();
    GuardedFree(d.tabStops);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    uint8_t options = data[0];
    // The readers take a NUL-ended copy, as the method arguments come.
    uint32_t length = static_cast<uint32_t>(size - 1);
    char* text = static_cast<char*>(malloc(length + 1));
    if (!text) return 0;
    memcpy(text, data + 1, length);
    text[length] = 0;
    switch (options >> 6) {
    case 0: Fields(text, length, options); break;
    case 1: case 2: IntoListView(text, length, options); break;
    default: TabStops(text, length, options); break;
    }
    free(text);
    return 0;
}
