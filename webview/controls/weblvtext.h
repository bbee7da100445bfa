// weblvtext.h - the list view's rows as delimited text (one row written, one
// line read into cells, whole files loaded and saved) and its row sort by up to
// four typed keys. Platform-free: it works on the list view's record only.
#pragma once

#include <cstdint>

struct WebListViewRecord;

constexpr uint32_t kListViewSortKeys = 4;
constexpr int32_t kListViewSortTypeMax = 12;    // 1-12: odd ascending, even descending
constexpr uint32_t kListViewSortMaskMax = 21;   // an edit mask's bytes with its end
constexpr uint32_t kListViewLineMax = 40951;

// The options of the delimited-text methods (LoadCsvFile, SaveCsvFile,
// GetItemTextAll, SetItemTextAll); some bits mean one thing when reading and
// another when writing.
enum ListViewTextOption : uint32_t {
    kLvtQuote = 0x01, kLvtSelected = 0x02, kLvtTicked = 0x04, kLvtHeader = 0x08, kLvtSkipHidden = 0x10,
    kLvtUpdate = 0x20, kLvtKeepEmpty = 0x40, kLvtLower = 0x20, kLvtUpper = 0x40, kLvtColumnOrder = 0x80,
};

// One sort key of SortColumn: column, type 1-12, edit mask.
struct ListViewSortKey {
    int32_t column;
    int32_t type;
    char mask[kListViewSortMaskMax];
};
struct ListViewSortSpec {
    uint32_t count;
    ListViewSortKey keys[kListViewSortKeys];
};
extern ListViewSortSpec gListViewSortSpec;

// Files of the delimited-text methods, given by the cross build (the server's
// files through the session); none answers 200.
struct WebListFileServices {
    // The whole file into a block of the runtime heap; 0, else 200, 202 or 203.
    int32_t (*load)(const char* name, char** data, uint32_t* size);
    // The bytes written as the named file (handed back to the server when it
    // is the server's); 0, else 200, 202 or 203.
    int32_t (*save)(const char* name, const char* data, uint32_t size);
};
extern WebListFileServices gWebListFiles;

// Sorting by gListViewSortSpec; false without memory.
bool WebListViewSortRows(WebListViewRecord* lv);
int ListViewCompareSortKeys(const char* const* a, uint32_t prevA, const char* const* b, uint32_t prevB);
// The rows sorted by the first column's text, as the SortOrder property asks.
void WebListViewSortByFirstColumn(WebListViewRecord* lv, bool ascending);

// Delimited text. RowText writes one row (-1: the header texts) into out
// (at most size - 1 bytes); false when it does not fit.
bool WebListViewRowText(const WebListViewRecord* lv, int32_t row, char delimiter, uint32_t options, char* out,
                        uint32_t size, uint32_t* length);
int32_t WebListViewLoadText(WebListViewRecord* lv, const char* name, uint32_t options, char delimiter);
int32_t WebListViewSaveText(WebListViewRecord* lv, const char* name, uint32_t options, char delimiter);
// Loads delimited text already in memory (the part of LoadCsvFile after the file).
int32_t WebListViewLoadTextData(WebListViewRecord* lv, const char* data, uint32_t size, uint32_t options,
                                char delimiter);
int32_t WebListViewSetItemTextAll(WebListViewRecord* lv, int32_t index, const char* text, uint32_t length,
                                  char delimiter, uint32_t options);
// The next field of a delimited line from *at: its text into out (at most
// outSize - 1 bytes); false at the end of the line.
bool ListViewNextField(const char* line, uint32_t length, uint32_t* at, char delimiter, bool quoted,
                       bool firstQuoteEnds, char* out, uint32_t outSize, uint32_t* outLength);
