// fuzz_lvtext.cpp - the list view's delimited text and row sort on their own:
// a delimited file loaded into rows, the rows sorted by up to four keys (column,
// type 1-12 and mask from the input), sorted again, saved through the file
// services and loaded back. Input: an options byte, a key-count byte, per key a
// column byte, a type byte, a mask length byte (at most 20) and the mask, then
// the text. The sort must keep every row (prevPos a permutation, each row's
// cells those it had), a second sort by the same keys must change nothing (the
// first left the rows in key order; equal keys keep their order), and the
// saved file must load back into the same cells.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "session/util/mem.h"
#include "webview/controls/weblistview.h"
#include "webview/controls/weblvtext.h"

namespace {

constexpr uint32_t kFuzzColumns = 5;
constexpr char kDelimiters[4] = {',', ';', '\t', '|'};
enum FuzzOption : uint8_t { kFzQuoted = 0x01, kFzHeader = 0x02, kFzDelimiterShift = 2, kFzDelimiterMask = 0x0C };

using Snapshot = std::vector<std::vector<std::string>>;

WebListViewRecord* NewListView() {
    auto* lv = static_cast<WebListViewRecord*>(calloc(1, sizeof(WebListViewRecord)));
    if (!lv) return nullptr;
    for (uint32_t c = 0; c < kFuzzColumns; ++c) {
        if (WebListViewInsertColumn(lv, -1, 0, 40, "h", 1, 0, 0) < 0) abort();
        ++lv->methodColumns;
    }
    return lv;
}

void FreeListView(WebListViewRecord* lv) {
    WebListViewDestroy(&lv->hdr);
    free(lv);
}

Snapshot Cells(const WebListViewRecord* lv) {
    Snapshot rows;
    uint32_t count = 0;
    for (ListViewRow* r = lv->rows; r; r = r->next) ++count;
    if (count != lv->rowCount) abort();
    for (uint32_t i = 0; i < count; ++i) {
        std::vector<std::string> row;
        for (uint32_t c = 0; c < kFuzzColumns; ++c)
            row.push_back(WebListViewGetItem(lv, static_cast<int32_t>(i), static_cast<int32_t>(c)));
        rows.push_back(row);
    }
    return rows;
}

std::string gSaved;

int32_t SaveToMemory(const char*, const char* data, uint32_t size) {
    gSaved.assign(data, size);
    return 0;
}

int32_t LoadFromMemory(const char*, char** data, uint32_t* size) {
    *data = static_cast<char*>(GuardedAlloc(gSaved.size() + 1));
    if (!*data) return 203;
    memcpy(*data, gSaved.data(), gSaved.size());
    (*data)[gSaved.size()] = 0;
    *size = static_cast<uint32_t>(gSaved.size());
    return 0;
}

// The sort keys from the input; false when it ends first.
bool ReadSortSpec(const uint8_t* data, size_t size, size_t* at, ListViewSortSpec* spec) {
    if (*at >= size) return false;
    *spec = ListViewSortSpec{};
    spec->count = 1 + data[(*at)++] % kListViewSortKeys;
    for (uint32_t k = 0; k < spec->count; ++k) {
        if (size - *at < 3) return false;
        ListViewSortKey& key = spec->keys[k];
        key.column = data[*at] % kFuzzColumns;
        key.type = 1 + data[*at + 1] % kListViewSortTypeMax;
        uint32_t n = data[*at + 2] % kListViewSortMaskMax;
        *at += 3;
        if (size - *at < n) return false;
        memcpy(key.mask, data + *at, n);
        key.mask[n] = 0;
        *at += n;
    }
    return true;
}

void CheckSorted(WebListViewRecord* lv, const Snapshot& before) {
    std::vector<uint8_t> seen(before.size());
    Snapshot after = Cells(lv);
    if (after.size() != before.size()) abort();
    uint32_t i = 0;
    for (ListViewRow* r = lv->rows; r; r = r->next, ++i) {
        if (r->prevPos >= before.size() || seen[r->prevPos]) abort();
        seen[r->prevPos] = 1;
        if (after[i] != before[r->prevPos]) abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    size_t at = 1;
    ListViewSortSpec spec;
    if (size < 1 || !ReadSortSpec(data, size, &at, &spec)) return 0;
    uint8_t options = data[0];
    char delimiter = kDelimiters[(options & kFzDelimiterMask) >> kFzDelimiterShift];
    uint32_t textOptions = ((options & kFzQuoted) ? kLvtQuote : 0u) | ((options & kFzHeader) ? kLvtHeader : 0u);
    const char* text = reinterpret_cast<const char*>(data + at);
    uint32_t length = static_cast<uint32_t>(size - at);

    WebListViewRecord* lv = NewListView();
    WebListViewRecord* back = NewListView();
    if (!lv || !back) abort();
    if (WebListViewLoadTextData(lv, text, length, textOptions, delimiter) == 0) {
        Snapshot loaded = Cells(lv);
        gListViewSortSpec = spec;
        if (WebListViewSortRows(lv)) {
            CheckSorted(lv, loaded);
            Snapshot sorted = Cells(lv);
            if (!WebListViewSortRows(lv)) abort();
            uint32_t i = 0;
            for (ListViewRow* r = lv->rows; r; r = r->next, ++i)
                if (r->prevPos != i) abort();
            if (Cells(lv) != sorted) abort();
        }
        // Quoted fields carry every byte a cell can hold, so the saved file
        // reads back cell for cell.
        uint32_t saveOptions = kLvtQuote | (textOptions & kLvtHeader);
        gWebListFiles.save = SaveToMemory;
        gWebListFiles.load = LoadFromMemory;
        if (WebListViewSaveText(lv, "f", saveOptions, delimiter) == 0 &&
            WebListViewLoadText(back, "f", saveOptions, delimiter) == 0) {
            if (Cells(back) != Cells(lv)) abort();
            for (uint32_t c = 0; c < kFuzzColumns; ++c) {
                const ListViewColumn* a = WebListViewColumnRec(lv, static_cast<int32_t>(c));
                const ListViewColumn* b = WebListViewColumnRec(back, static_cast<int32_t>(c));
                if (strcmp(a->text ? a->text : "", b->text ? b->text : "") != 0) abort();
            }
        }
        gWebListFiles = WebListFileServices{};
        gSaved.clear();
    }
    FreeListView(lv);
    FreeListView(back);
    return 0;
}
