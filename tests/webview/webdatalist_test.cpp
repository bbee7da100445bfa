// webdatalist_test.cpp - data lists of the web view against the recording page:
// the selection from clicks and keys, the methods' answers, the bounds of their
// texts and properties, tab stops, and the redraw that waits until the list shows.

#include "weblists_test.h"

#include <cstring>

#include "objects/events.h"
#include "session/util/mem.h"
#include "webtest.h"
#include "webview/controls/weblist.h"
#include "webview/core/webgeneric.h"
#include "webview/core/webobject.h"
#include "webview/core/weboptions.h"

namespace {

class WebDataLists : public WebLists {
protected:
    ObjectRecord* DataList(int32_t style, const char* items, bool sorted = false) {
        return Create(kTypeDatalist, [=](ObjectCreateRecord* c) {
            c->values[34] = style;
            c->given[34] = 1;
            if (sorted) c->flags0 |= kCrSorted;
            if (items) c->text = CrText{items, static_cast<uint32_t>(strlen(items))};
        });
    }
};

std::string RowsOf(ObjectRecord* rec) {
    std::string out;
    WebDataListRecord* d = WebDataList(rec);
    for (DataListRow* r = d->firstRow; r; r = r->next) out += std::string(r->selected ? "*" : "") + r->text + ",";
    return out;
}

TEST_F(WebDataLists, DataListClicksAndKeysDecideTheSelection) {
    ObjectRecord* dl = DataList(2, "r0;r1;r2;r3;r4");
    ASSERT_NE(dl, nullptr);
    Register(dl, {kEvClick});
    gWebObjectOps.flushRedraws(nullptr);
    EXPECT_NE(Posts().find("\"dwid\": 1"), std::string::npos) << "the first flush draws the list";
    WebDataListOnClick(dl, 1, 0, false);
    EXPECT_EQ(Events(), (std::vector<std::pair<int32_t, int32_t>>{{kEvClick, 2}})) << "a click raises $CLICK with row + 1";
    WebDataListOnClick(dl, 3, 4, false);
    EXPECT_EQ(RowsOf(dl), "r0,*r1,*r2,*r3,r4,") << "Shift-click on row 3 after row 1 selects rows 1 to 3";
    EXPECT_TRUE(Events().empty()) << "the Shift range raises no event";

    ObjectRecord* single = DataList(3, "a;b;c");
    Register(single, {kEvClick, kEvOldEvent});
    WebDataListOnClick(single, 2, 0, false);
    Events();
    Posts();
    WebDataListOnKey(single, 40);
    WebDataListOnKey(single, 35);
    EXPECT_TRUE(Events().empty()) << "Down and End on the last row raise nothing";
    EXPECT_EQ(Posts(), "") << "and send nothing";
    WebDataListOnKey(single, 36);
    EXPECT_EQ(RowsOf(single), "*a,b,c,") << "Home goes to row 0";
    EXPECT_EQ(Events(), (std::vector<std::pair<int32_t, int32_t>>{{kEvClick, 1}})) << "the key event with row + 1";

    WebDataListOnClick(single, 1, 0, true);
    EXPECT_EQ(Events(), (std::vector<std::pair<int32_t, int32_t>>{{kEvOldEvent, 200000001 + 1}}))
        << "a double click without $DBLCLICK is $OLDEVENT 200000001 + row";
}

TEST_F(WebDataLists, DataListMethodsAnswerFromTheRecord) {
    ObjectRecord* dl = DataList(3, "Apple;banana;Cherry");
    ObjectRecord* multi = DataList(1, "x;y;z");
    ObjectRecord* sorted = DataList(3, nullptr, true);
    struct Case {
        ObjectRecord* rec;
        uint32_t method;
        std::vector<Arg> args;
        std::string expect;
        const char* why;
    };
    const Case kCases[] = {
        {dl, 18, {N(-1), T("app")}, "0", "SelectString matching row 0 selects it"},
        {dl, 8, {}, "0", "GetFirstSel of a single list is the selected row"},
        {dl, 4, {N(0), T("c")}, "2", "FindString from row 0 finds row 2"},
        {dl, 4, {N(2), T("a")}, "0", "FindString wraps round to the rows before the start"},
        {dl, 5, {N(-1), T("BANANA")}, "1", "FindStringExact ignores case"},
        {dl, 5, {N(-1), T("ban")}, "-1", "FindStringExact wants the whole text"},
        {dl, 13, {N(1)}, "'banana'", "GetText"},
        {dl, 14, {N(9)}, "0", "GetTextLen of no row"},
        {dl, 3, {}, "-1", "Dir has nothing to list"},
        {dl, 22, {N(1), N(77)}, "0", "SetItemData"},
        {dl, 10, {N(1)}, "77", "GetItemData reads it back"},
        {dl, 19, {N(1), N(0), N(1)}, "-1", "SelItemRange needs a multiple-selection list"},
        {multi, 23, {N(0), N(-1)}, "0", "SetSel -1 clears every row (row 0 was selected at creation)"},
        {multi, 19, {N(1), N(1), N(99)}, "0", "SelItemRange clamps the end to the row count"},
        {multi, 12, {}, "2", "rows 1 and 2 are selected"},
        {multi, 8, {}, "1", "GetFirstSel"},
        {multi, 9, {}, "2", "GetNextSel after it"},
        {multi, 9, {}, "-1", "and none after that"},
        {multi, 21, {N(0)}, "-1", "SetCurSel is for single lists"},
        {sorted, 1, {T("a")}, "0", "AddString to a sorted list"},
        {sorted, 1, {T("B2")}, "1", "B2 after a"},
        {sorted, 1, {T("b")}, "1", "b goes after a and before B2, case ignored"},
        {sorted, 16, {N(0), T("c")}, "3", "InsertString in a sorted list ignores the place"},
        {dl, 29, {}, "error -37", "an unknown method"},
    };
    for (const Case& k : kCases) EXPECT_EQ(Call(k.rec, kTypeDatalist, k.method, k.args), k.expect) << k.why;
    EXPECT_EQ(RowsOf(sorted), "a,b,B2,c,");
}

TEST_F(WebDataLists, DataListTextsAndPropertiesKeepTheirBounds) {
    ObjectRecord* dl = DataList(3, "a");
    std::string big(kTextBufSize + 1, 'x');
    ASSERT_EQ(DataListRowInsert(WebDataList(dl), -1, big.c_str(), static_cast<uint32_t>(big.size())), 1);
    gTextBuf[kTextBufSize] = 0;
    EXPECT_EQ(WebGetText(dl, 2), 0);
    EXPECT_STREQ(gTextBuf, "") << "a row longer than the shared buffer gives an empty text, never one byte past it";
    std::string fits(kTextBufSize, 'y');
    DataListRowInsert(WebDataList(dl), -1, fits.c_str(), static_cast<uint32_t>(fits.size()));
    WebGetText(dl, 3);
    EXPECT_EQ(strlen(gTextBuf), kTextBufSize) << "a row of exactly the buffer's size fits";

    struct Case {
        uint32_t code;
        int32_t value;
        int32_t expect;
        const char* why;
    };
    // Property ids travel as codes; the list's own ids are read back by id.
    const Case kCases[] = {
        {238, 0, 0, "ScrollHide 0 reads back 0"},
        {238, 1, 1, "ScrollHide 1 reads back 1"},
        {239, 1, 1, "MultiColumn 1 reads back 1"},
        {239, 0, 0, "MultiColumn 0 reads back 0"},
        {57, 2, 2, "ScrollBar horizontal only"},
        {57, 0, 3, "ScrollBar 0 reads back none"},
        {240, 0, 1, "ColumnWidth 0 is taken as 1"},
    };
    for (const Case& k : kCases) {
        bool write = true;
        WebDataListSetProp(dl, k.code, k.value, nullptr, 0, &write);
        int32_t out = -99;
        const char* text = nullptr;
        WebDataListGetProp(dl, k.code, &out, &text);
        EXPECT_EQ(out, k.expect) << k.why;
    }
}

TEST_F(WebDataLists, TabStopsParseAndExpand) {
    struct Parse {
        const char* text;
        bool ok;
        std::vector<int32_t> quarters;   // as set in the record, in columns
        const char* why;
    };
    const Parse kParses[] = {
        {"@8;-20;4", true, {4, 8, -20}, "columns given directly, kept by absolute value"},
        {"16; 32", true, {2, 4}, "at 10 points a unit is 4 / 8 quarters: 8 and 16 quarters, 2 and 4 columns"},
        {"8;x", false, {}, "a letter ends the parse with failure"},
        {"", true, {}, "no stops"},
    };
    for (const Parse& k : kParses) {
        int32_t stops[kDataListTabStopsMax];
        uint32_t count = 0;
        bool ok = DataListParseTabStops(k.text, static_cast<uint32_t>(strlen(k.text)), 1, 0, stops, &count);
        EXPECT_EQ(ok, k.ok) << k.why;
        if (!ok) continue;
        WebDataListRecord d = {};
        ASSERT_EQ(DataListSetTabStops(&d, stops, count), 0);
        std::vector<int32_t> got(d.tabStops, d.tabStops + d.tabStopCount);
        EXPECT_EQ(got, k.quarters) << k.why;
        GuardedFree(d.tabStops);
    }
    struct Expand {
        std::vector<int32_t> stops;
        const char* text;
        const char* expect;
        const char* why;
    };
    const Expand kExpands[] = {
        {{0}, "a\tb\tc", "a b c", "a single stop of 0 turns tabs into blanks"},
        {{4, 10}, "ab\tc\td", "ab  c     d", "pads to each stop"},
        {{-6}, "a\tbc", "a   bc", "a right-aligned stop ends the following text at it"},
        {{}, "abc\td", "abc     d", "without stops: the next multiple of 8"},
    };
    for (const Expand& k : kExpands) {
        char out[kDataListCellMax + 1];
        DataListCellText(k.stops.data(), static_cast<uint32_t>(k.stops.size()), k.text, out);
        EXPECT_STREQ(out, k.expect) << k.why;
    }
}

TEST_F(WebDataLists, DataListRedrawWaitsUntilShown) {
    ObjectRecord* dl = Create(kTypeDatalist, [](ObjectCreateRecord* c) {
        c->flags0 = 0;
        c->text = CrText{"one;two", 7};
    });
    ASSERT_NE(dl, nullptr);
    gWebObjectOps.flushRedraws(nullptr);
    EXPECT_EQ(WebTestCount(Posts(), "\"action\": 40"), 0u) << "a hidden list stays queued";
    EXPECT_EQ(WebDataList(dl)->queued, 1);
    dl->flags |= kObjShown;
    DataListRowInsert(WebDataList(dl), -1, "three", 5);
    DataListRowInsert(WebDataList(dl), -1, "four", 4);
    gWebObjectOps.flushRedraws(nullptr);
    std::string posts = Posts();
    EXPECT_EQ(WebTestCount(posts, "\"action\": 40"), 1u) << "many changes, one redraw";
    EXPECT_NE(posts.find("<tr class='ui-selected'><td id='C"), std::string::npos) << "row 0 selected at creation";
    EXPECT_NE(posts.find("four"), std::string::npos);
}

}  // namespace
