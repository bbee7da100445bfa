// weblists_test.cpp - data lists, list views and tree views of the web view
// against the recording page: the row, cell and node records, the redraw
// queues and their flush, the markup, sorting, delimited text, the methods'
// answers and the events the page's clicks and keys raise; and the bars whose
// entries the client keeps in the same way: tab controls, menus and toolbars.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "objects/events.h"
#include "objects/objcreate.h"
#include "objects/objhooks.h"
#include "objects/objops.h"
#include "objects/objtables.h"
#include "session/proto/protocol.h"
#include "session/util/codepage.h"
#include "session/util/digits.h"
#include "session/util/mem.h"
#include "tests/testutil.h"
#include "webtest.h"
#include "webview/controls/webdrawn.h"
#include "webview/controls/weblist.h"
#include "webview/controls/weblistview.h"
#include "webview/controls/weblvtext.h"
#include "webview/controls/webmenu.h"
#include "webview/controls/webtabs.h"
#include "webview/controls/webtoolbar.h"
#include "controls/ctlcore.h"
#include "webview/controls/webtree.h"
#include "webview/controls/webxml.h"
#include "webview/core/webevents.h"
#include "webview/core/webgeneric.h"
#include "webview/core/webobject.h"
#include "webview/core/weboptions.h"
#include "webview/core/webprops.h"

namespace {

std::vector<std::string> gReplies;

void Deliver(RecPage* page, ObjectRecord* owner, const char* text) { WebTestDeliver(page, owner, text); }
void ReplyInt(int32_t value, uint8_t) { gReplies.push_back(std::to_string(value)); }
void ReplyText(const char* text) { gReplies.push_back(std::string("'") + text + "'"); }

std::string Posts() { return WebTestPosts(); }

std::vector<std::pair<int32_t, int32_t>> Events() {
    std::vector<std::pair<int32_t, int32_t>> out;
    EventRecord ev = {};
    EventItem items[kEventRegItems];
    uint32_t count = 0;
    while (EventTakeNext(&ev, items, &count)) out.push_back({ev.eventId, ev.value});
    return out;
}

// One method argument: a number, or a text when text is given.
struct Arg {
    int32_t value;
    const char* text;
};
Arg N(int32_t v) { return Arg{v, nullptr}; }
Arg T(const char* t) { return Arg{0, t}; }
constexpr Arg kSkip = {INT32_MIN, nullptr};

class WebLists : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(WebHostSetUp(Deliver));
        gWebObjServices.replyInt = ReplyInt;
        gWebObjServices.replyText = ReplyText;
        gWebLocaleCompare = 1;
        gWebMultiItemOption = 0;
        Events();
        gReplies.clear();
        window = Create(kTypeWindow, [](ObjectCreateRecord* c) {
            c->bottom = 300;
            c->right = 400;
            c->units = 5;
        });
        ASSERT_NE(window, nullptr);
        Posts();
    }
    void TearDown() override {
        WebHostTearDown();
        Events();
        gWebObjServices = WebObjServices();
    }

    ObjectRecord* Create(uint32_t type, const std::function<void(ObjectCreateRecord*)>& setup) {
        static const int32_t kRect[4] = {1, 1, 10, 30};
        return WebTestCreate(&cr, window, type, kRect, setup);
    }
    ObjectRecord* DataList(int32_t style, const char* items, bool sorted = false) {
        return Create(kTypeDatalist, [=](ObjectCreateRecord* c) {
            c->values[34] = style;
            c->given[34] = 1;
            if (sorted) c->flags0 |= kCrSorted;
            if (items) c->text = CrText{items, static_cast<uint32_t>(strlen(items))};
        });
    }
    // Runs a method; the answer it gave ("" when none).
    std::string Call(ObjectRecord* rec, uint32_t type, uint32_t method, std::vector<Arg> args) {
        MethodCallRec call = {};
        call.objectType = type;
        call.method = method;
        call.argCount = static_cast<uint32_t>(args.size());
        for (size_t i = 0; i < args.size(); ++i) {
            if (args[i].value == INT32_MIN && !args[i].text) continue;
            call.argPresent[i] = 1;
            if (args[i].text) {
                call.args[i].kind = kItemText;
                call.args[i].data = args[i].text;
                call.args[i].size = static_cast<uint32_t>(strlen(args[i].text));
            } else {
                call.args[i].kind = kItemInt;
                call.args[i].value = static_cast<uint64_t>(static_cast<int64_t>(args[i].value));
            }
        }
        call.result.varRef = resultVar;
        call.result.kind = resultKind;
        gReplies.clear();
        int32_t r = WebCallMethod(rec, &call);
        if (r != kWebNoAnswer && r != 0) return "error " + std::to_string(r);
        return gReplies.empty() ? "" : gReplies.back();
    }
    void Register(ObjectRecord* rec, std::initializer_list<uint32_t> events) {
        int32_t values[4] = {};
        for (uint32_t e : events) ASSERT_EQ(EventRegister(rec, e, values, false, nullptr, 0), 0);
    }
    void PageEvent(const std::string& json) {
        JsonValue* v = JsonParse(json.c_str(), json.size());
        ASSERT_NE(v, nullptr) << json;
        WebPageEventDispatch(gHost, v);
        JsonFree(v);
    }

    ObjectCreateRecord cr;
    ObjectRecord* window = nullptr;
    uint32_t resultVar = 0;    // the result variable a method call names, 0: none
    uint32_t resultKind = 0;   // the result kind it asks for
};

std::string RowsOf(ObjectRecord* rec) {
    std::string out;
    WebDataListRecord* d = WebDataList(rec);
    for (DataListRow* r = d->firstRow; r; r = r->next) out += std::string(r->selected ? "*" : "") + r->text + ",";
    return out;
}

// ---- Data lists ---------------------------------------------------------------------------

TEST_F(WebLists, DataListClicksAndKeysDecideTheSelection) {
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

TEST_F(WebLists, DataListMethodsAnswerFromTheRecord) {
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

TEST_F(WebLists, DataListTextsAndPropertiesKeepTheirBounds) {
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

TEST_F(WebLists, TabStopsParseAndExpand) {
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

TEST_F(WebLists, DataListRedrawWaitsUntilShown) {
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

// ---- List views --------------------------------------------------------------------------------

class WebListViews : public WebLists {
protected:
    ObjectRecord* ListView(std::function<void(ObjectCreateRecord*)> setup = nullptr) {
        return Create(kTypeListview, setup);
    }
    std::string Lv(ObjectRecord* rec, uint32_t method, std::vector<Arg> args) {
        return Call(rec, kTypeListview, method, args);
    }
    // Three columns and rows "b", "a", "c".
    ObjectRecord* Filled() {
        ObjectRecord* lv = ListView();
        Lv(lv, 18, {T("Name"), N(80), N(0)});
        Lv(lv, 18, {T("Qty"), N(40), N(1)});
        Lv(lv, 18, {T("Date"), N(60), N(2)});
        for (const char* row : {"b", "a", "c"}) Lv(lv, 19, {T(row), N(99)});
        return lv;
    }
    std::string Column(ObjectRecord* lv, int32_t c) {
        std::string out;
        for (int32_t r = 0; r < static_cast<int32_t>(WebListView(lv)->rowCount); ++r)
            out += std::string(WebListViewGetItem(WebListView(lv), r, c)) + ",";
        return out;
    }
};

TEST_F(WebListViews, MarkupFollowsColumnsAndCells) {
    ObjectRecord* lv = Filled();
    WebListViewRecord* l = WebListView(lv);
    Lv(lv, 28, {N(0), T(" lead"), N(1)});
    Lv(lv, 18, {T("Hidden"), N(0), N(3)});
    HtmlReset();
    WebListViewMarkup(l);
    std::string html = gHtmlBuf.data;
    EXPECT_NE(html.find("<th id='C"), std::string::npos);
    EXPECT_EQ(WebTestCount(html, "<th "), 3u) << "a column of width 0 has no header";
    EXPECT_EQ(WebTestCount(html, "I3'"), 0u) << "nor cells";
    EXPECT_NE(html.find(">&nbsp;</td>"), std::string::npos) << "an empty cell is a blank";
    EXPECT_NE(html.find(">&nbsp;lead</td>"), std::string::npos) << "a leading blank kept as &nbsp;";

    bool write = true;
    WebListViewSetProp(lv, 135, 1, nullptr, 0, &write);
    HtmlReset();
    WebListViewMarkup(l);
    html = gHtmlBuf.data;
    EXPECT_EQ(html.find("<thead>"), std::string::npos) << "HideColHdr: no header";
    EXPECT_NE(html.find("R0I1'  style='width:40px;'>"), std::string::npos) << "row 0's cells carry the widths\n" << html;
    EXPECT_EQ(html.find("R1I1'  style='width"), std::string::npos) << "only row 0";

    // An edit column: its value, class and choices escaped.
    Lv(lv, 73, {N(1), N(1), N(5), T("c'x"), T("O'Brien;A&&B")});
    Lv(lv, 28, {N(1), T("O'Neil"), N(1)});
    HtmlReset();
    WebListViewMarkup(l);
    html = gHtmlBuf.data;
    EXPECT_NE(html.find("value='O&#39;Neil'"), std::string::npos) << "an apostrophe does not cut the value\n" << html;
    EXPECT_NE(html.find("class='c&#39;x'"), std::string::npos);
    EXPECT_NE(html.find("<option value='O&#39;Brien'>"), std::string::npos);
    EXPECT_NE(html.find("<option value='A&amp;B'>"), std::string::npos) << "a doubled & stands for itself";
    EXPECT_NE(html.find("maxlength='5' "), std::string::npos);
}

TEST_F(WebListViews, ColumnsKeepTheirLimitsAndSpecialNumbers) {
    ObjectRecord* lv = Filled();
    WebListViewRecord* l = WebListView(lv);
    EXPECT_EQ(Lv(lv, 44, {N(0)}), "-1") << "a colour column at 0 is refused";
    EXPECT_EQ(Lv(lv, 44, {N(1)}), "1");
    EXPECT_EQ(Lv(lv, 46, {N(2)}), "2");
    EXPECT_EQ(Lv(lv, 18, {T("First"), N(10), N(0)}), "0");
    EXPECT_EQ(l->fgColumn, 2u) << "inserting at 0 moves the colour column up";
    EXPECT_EQ(l->attrColumn, 3u) << "and the attribute column";
    EXPECT_EQ(Lv(lv, 3, {N(3)}), "1");
    EXPECT_EQ(l->attrColumn, 0u) << "deleting the attribute column clears it";
    EXPECT_EQ(Lv(lv, 63, {}), "2");
    l->columns->next->next->width = 50;
    gWebObjectOps.flushRedraws(nullptr);
    EXPECT_EQ(WebListViewColumnRec(l, 2)->width, 0) << "a colour column ends at width 0 after a flush";
    while (l->columnCount < kListViewColumnsMax) ASSERT_GE(WebListViewInsertColumn(l, -1, 0, 10, "c", 1, 0, 0), 0);
    EXPECT_EQ(WebListViewInsertColumn(l, -1, 0, 10, "c", 1, 0, 0), -1) << "the 238th column is refused";
    EXPECT_EQ(Lv(lv, 32, {N(999), N(1)}), "1") << "a sort column beyond the count answers 1";
}

TEST_F(WebListViews, SortKeysOrderRowsAndKeepEqualOnes) {
    ObjectRecord* lv = Filled();
    struct Row {
        const char* a;
        const char* b;
        const char* c;
    };
    const Row kRows[] = {{"x", "10", "12-31-99"}, {"y", "9", "01-02-03"}, {"z", "-2", "01-01-03"},
                         {"w", "9", "06-15-50"}, {"v", "-10", "02-02-02"}};
    Lv(lv, 2, {});
    for (const Row& r : kRows) {
        std::string row = std::to_string(WebListView(lv)->rowCount);
        Lv(lv, 59, {N(-2), T((std::string(r.a) + "," + r.b + "," + r.c).c_str())});
    }
    // SetItemTextAll inserts at the index given; -2 is outside: the end.
    ASSERT_EQ(Column(lv, 0), "x,y,z,w,v,");
    struct Case {
        std::vector<Arg> args;
        std::string col0;
        const char* why;
    };
    const Case kCases[] = {
        {{N(1), N(3)}, "v,z,y,w,x,", "numbers ascending; negative ones before, equal 9s keep y before w"},
        {{N(1), N(4)}, "x,y,w,z,v,", "numbers descending"},
        {{N(2), N(5)}, "w,x,v,z,y,", "dates mm-dd-yy ascending (99 is 1999, 50 is 1950)"},
        {{N(0), N(2)}, "z,y,x,w,v,", "text descending"},
        {{N(1), N(3), kSkip, N(0), N(1)}, "v,z,w,y,x,", "a second key decides between equal numbers"},
    };
    for (const Case& k : kCases) {
        EXPECT_EQ(Lv(lv, 32, k.args), "0") << k.why;
        EXPECT_EQ(Column(lv, 0), k.col0) << k.why;
    }
    gWebObjectOps.flushRedraws(nullptr);
    Posts();
    EXPECT_EQ(Lv(lv, 32, {N(0), N(1)}), "0");
    std::string posts = Posts();
    EXPECT_NE(posts.find("\"dwid\": 2"), std::string::npos) << "a sort sends the new order only\n" << posts;
    EXPECT_NE(posts.find("\"srt\":["), std::string::npos);
    EXPECT_EQ(Lv(lv, 32, {N(1), N(0)}), "1") << "type 0 in the first key is refused";
    EXPECT_EQ(Lv(lv, 32, {N(1), N(13)}), "1") << "a type above 12 is refused";

    struct Time {
        const char* a;
        const char* b;
        int expectSign;
        const char* why;
    };
    ListViewSortSpec spec = {};
    spec.count = 1;
    spec.keys[0].type = 7;
    gListViewSortSpec = spec;
    char ka[16], kb[16];
    TimeTextToDigits("09:05:00.00", ka, nullptr);
    TimeTextToDigits("10:00:00.00", kb, nullptr);
    ka[8] = kb[8] = 0;
    const char* a[1] = {ka};
    const char* b[1] = {kb};
    EXPECT_LT(ListViewCompareSortKeys(a, 1, b, 0), 0) << "times ascending by their digits";
    EXPECT_LT(ListViewCompareSortKeys(a, 0, a, 1), 0) << "equal keys: the previous order decides";
}

TEST_F(WebListViews, SortOrderPropertyAndQueue) {
    ObjectRecord* lv = Filled();
    bool write = true;
    EXPECT_EQ(WebListViewSetProp(lv, 137, 3, nullptr, 0, &write), 0);
    EXPECT_EQ(Column(lv, 0), "b,a,c,") << "SortOrder unchanged (3) does nothing";
    WebListViewSetProp(lv, 137, 1, nullptr, 0, &write);
    EXPECT_EQ(Column(lv, 0), "a,b,c,") << "SortOrder 1 sorts by column 0 at once";
    lv->flags &= ~kObjShown;
    gWebObjectOps.flushRedraws(nullptr);
    EXPECT_EQ(WebTestCount(Posts(), "\"action\": 40"), 0u);
    EXPECT_EQ(WebListView(lv)->queued, 1) << "a list view that is not shown stays queued";
    lv->flags |= kObjShown;
    gWebObjectOps.flushRedraws(nullptr);
    EXPECT_EQ(WebTestCount(Posts(), "\"dwid\": 1"), 1u);
}

TEST_F(WebListViews, PageEventsRaiseTheEventsOfTheRows) {
    ObjectRecord* lv = Filled();
    Lv(lv, 30, {N(0), N(kLvsCheckBox)});
    Register(lv, {kEvChange, kEvClick, kEvDblClick, 22, 23, 25});
    bool write = true;
    WebListViewSetProp(lv, 138, 1, nullptr, 0, &write);
    WebListViewSetProp(lv, 180, 3, nullptr, 0, &write);
    uint32_t id = lv->elementId;
    auto name = [id](const char* rest) { return "\"name\": \"C" + std::to_string(id) + rest + "\""; };
    struct Case {
        std::string event;
        std::vector<std::pair<int32_t, int32_t>> expect;
        const char* why;
    };
    const std::vector<Case> kCases = {
        {"{\"et\": 99990, " + name("R1I0") + ", \"ev\": 0, \"em\": 0}", {{3, 1}, {4, 1}}, "a click: $CHANGE, $CLICK with the row"},
        {"{\"et\": 99990, " + name("R1I2") + ", \"ev\": 0, \"em\": 0}", {{3, 1}, {4, 1}, {25, 102}},
         "Activate 3: a click on a selected row activates with row x 100 + column"},
        {"{\"et\": 99989, " + name("C2") + ", \"ev\": 1}", {}, "a check box: no event"},
        {"{\"et\": 99990, " + name("R2I0") + ", \"ev\": 0, \"em\": 0}", {}, "its column-0 click is swallowed"},
        {"{\"et\": 99990, " + name("R2I1") + ", \"ev\": 1, \"em\": 0}", {{3, 2}, {6, 2}}, "a double click"},
        {"{\"et\": 99991, " + name("H1") + "}", {{23, 1}}, "a header click: $COLCLICK with the column"},
        {"{\"et\": 99970, " + name("R0I1") + ", \"v1\": \"42\"}", {{22, 1}}, "an edit: $UPDATED row x 100 + column"},
        {"{\"et\": 99983, " + name("") + ", \"ec\": 38}", {{3, 1}}, "Up from row 2"},
        {"{\"et\": 99983, " + name("") + ", \"ec\": 36}", {{3, 0}}, "Home"},
        {"{\"et\": 99983, " + name("") + ", \"ec\": 36}", {}, "Home on row 0 does nothing"},
    };
    for (const Case& k : kCases) {
        PageEvent(k.event);
        EXPECT_EQ(Events(), k.expect) << k.why;
    }
    EXPECT_EQ(WebListView(lv)->rows->next->next->check, 1);
    EXPECT_STREQ(WebListViewGetItem(WebListView(lv), 0, 1), "42") << "the edited text is kept";
    Posts();
    PageEvent("{\"et\": 99983, " + name("") + ", \"ec\": 32}");
    EXPECT_EQ(WebListView(lv)->rows->check, 1) << "Space ticks the focused row";
}

TEST_F(WebListViews, SingleChangesArePatchedInPlace) {
    ObjectRecord* lv = Filled();
    Lv(lv, 30, {N(0), N(kLvsCheckBox)});
    Lv(lv, 73, {N(2), N(1)});
    Lv(lv, 45, {N(3)});
    gWebObjectOps.flushRedraws(nullptr);
    Posts();
    struct Case {
        uint32_t method;
        std::vector<Arg> args;
        const char* expect;    // in the posts
        const char* why;
    };
    const Case kCases[] = {
        {28, {N(1), T("kiwi"), N(0)}, "\"action\": 46, \"en\": \"#C%uR1I0\", \"pv\": \"kiwi\"", "a text cell: action 46"},
        {28, {N(1), T(""), N(1)}, "\"pv\": \"&nbsp;\"", "an empty text: a blank"},
        {28, {N(0), T("7"), N(2)}, "\"action\": 51, \"sel\": \"#C%uR0I2 input\", \"dwid\": 3, \"val\": \"7\"",
         "an edit cell: its input's value"},
        {35, {N(2), N(1)}, "\"action\": 39, \"en\": \"#C%uC2\", \"pn\": \"checked\", \"pv\": 1", "a check box"},
        {28, {N(0), T("0x0000FF"), N(3)}, "\"dwid\": 1", "a colour cell draws the list again"},
    };
    for (const Case& k : kCases) {
        Lv(lv, k.method, k.args);
        gWebObjectOps.flushRedraws(nullptr);
        char expect[160];
        snprintf(expect, sizeof expect, k.expect, lv->elementId);
        std::string posts = Posts();
        EXPECT_NE(posts.find(expect), std::string::npos) << k.why << "\n" << posts;
        if (k.method != 28 || k.args[2].value != 3) {
            EXPECT_EQ(posts.find("\"dwid\": 1"), std::string::npos) << k.why;
        }
    }
    Lv(lv, 35, {N(2), N(1)});
    EXPECT_EQ(WebTestCount(Posts(), "\"action\": 39"), 0u) << "an unchanged check sends nothing";
}

TEST_F(WebListViews, ItemRectKeepsSixteenCharacters) {
    struct Case {
        int32_t t, h, l, w;
        const char* expect;
        const char* why;
    };
    const Case kCases[] = {
        {5, 20, 7, 100, "0005002500070107", "top, bottom, left, right"},
        {12000, 20, 0, 50, "9999999900000050", "a row top past 9,999 is clamped"},
        {-5, 10, -2000, 10, "-0050005-999-999", "negatives: '-' and three digits, clamped at -999"},
    };
    for (const Case& k : kCases) {
        char out[32];
        WebListViewRectText(k.t, k.h, k.l, k.w, out);
        EXPECT_STREQ(out, k.expect) << k.why;
    }
    ObjectRecord* lv = Filled();
    RecPageAnswer(&gPage, 42, "{\"t\": 5, \"h\": 20, \"l\": 7, \"w\": 100}", 0);
    EXPECT_EQ(Lv(lv, 42, {N(1), N(0)}), "'0005002500070107'") << "GetItemRect asks the page";
}

std::string gSaved;
int32_t SaveToString(const char*, const char* data, uint32_t size) {
    gSaved.assign(data, size);
    return 0;
}

TEST_F(WebListViews, DelimitedTextRoundTrips) {
    gWebListFiles.save = SaveToString;
    ObjectRecord* empty = ListView();
    EXPECT_EQ(Lv(empty, 54, {T("f.csv")}), "201") << "SaveCsvFile without columns: 201";
    EXPECT_EQ(WebListViewLoadTextData(WebListView(empty), "a\n", 2, 0, ','), 201) << "LoadCsvFile likewise";
    ObjectRecord* lv = Filled();
    Lv(lv, 28, {N(0), T("say \"hi\", then"), N(1)});
    EXPECT_EQ(Lv(lv, 54, {T("f.csv"), N(0x09)}), "0");
    EXPECT_EQ(gSaved, "\"Name\",\"Qty\",\"Date\"\r\n\"b\",\"say \"\"hi\"\", then\",\"\"\r\n\"a\",\"\",\"\"\r\n\"c\",\"\",\"\"\r\n");
    ObjectRecord* copy = Filled();
    ASSERT_EQ(WebListViewLoadTextData(WebListView(copy), gSaved.data(), static_cast<uint32_t>(gSaved.size()), 0x09, ','), 0);
    EXPECT_EQ(Column(copy, 1), "say \"hi\", then,,,") << "quotes and doubled quotes come back";
    EXPECT_EQ(Column(copy, 0), "b,a,c,");
    EXPECT_EQ(Lv(copy, 55, {N(0), T(";"), N(0)}), "'b;say \"hi\", then;'");
    struct Field {
        const char* line;
        bool quoted;
        std::vector<std::string> fields;
        const char* why;
    };
    const Field kFields[] = {
        {"a,b,,c", false, {"a", "b", "", "c"}, "plain fields"},
        {"\"x,y\",z", true, {"x,y", "z"}, "a quoted delimiter"},
        {"\"x\"junk,z", true, {"x"}, "a character after the closing quote ends the line"},
        {"a\x01" "b,c", false, {"a"}, "a control character ends the field and the line"},
    };
    for (const Field& k : kFields) {
        std::vector<std::string> got;
        uint32_t at = 0, n = 0, len = static_cast<uint32_t>(strlen(k.line));
        char out[64];
        while (at <= len && ListViewNextField(k.line, len, &at, ',', k.quoted, false, out, sizeof out, &n))
            got.push_back(std::string(out, n));
        EXPECT_EQ(got, k.fields) << k.why;
    }
    gWebListFiles = WebListFileServices{};
}

// ---- Tree views -----------------------------------------------------------------------------------

class WebTrees : public WebLists {
protected:
    std::string Tv(ObjectRecord* rec, uint32_t method, std::vector<Arg> args) {
        return Call(rec, kTypeTreeview, method, args);
    }
    uint32_t Insert(ObjectRecord* tv, const char* text, uint32_t parent = 0, uint32_t after = kTreeInsertLast) {
        return static_cast<uint32_t>(std::stoul(Tv(tv, 12, {T(text), N(static_cast<int32_t>(parent)), N(static_cast<int32_t>(after))})));
    }
    std::string Children(ObjectRecord* tv, uint32_t parent) {
        std::string out;
        for (WebTreeNode* n = WebTreeNodeById(WebTreeView(tv)->tree, parent ? parent : kTreeRootId)->firstChild; n; n = n->next)
            out += std::string(n->text) + ",";
        return out;
    }
};

TEST_F(WebTrees, NodeIdsComeFromBlocksAndAreReused) {
    ObjectRecord* tv = Create(kTypeTreeview, nullptr);
    ASSERT_NE(tv, nullptr);
    WebTreeViewRecord* t = WebTreeView(tv);
    WebTreeInsert req = {0, kTreeInsertLast, kTmText, "n", 1, 0, 0, 0};
    uint32_t last = 0;
    for (int i = 0; i < 1001; ++i) last = WebTreeInsertItem(t, &req);
    EXPECT_EQ(last, 1001u) << "the 1,001st node has id 1001 from a second block";
    EXPECT_NE(t->tree->pool.next, nullptr);
    EXPECT_EQ(WebTreeDeleteItem(t, 5), 1);
    EXPECT_EQ(WebTreeInsertItem(t, &req), 5u) << "a deleted id is handed out again first";
    EXPECT_EQ(WebTreeNodeById(t->tree, 2000), nullptr) << "a free slot finds nothing";
    EXPECT_EQ(WebTreeGetCount(t), 1001u);
}

TEST_F(WebTrees, InsertsRelationsAndExpansion) {
    ObjectRecord* tv = Create(kTypeTreeview, nullptr);
    WebTreeViewRecord* t = WebTreeView(tv);
    uint32_t a = Insert(tv, "a");
    uint32_t c = Insert(tv, "c", a);
    uint32_t b = Insert(tv, "B", a, kTreeInsertSorted);
    uint32_t first = Insert(tv, "first", a, kTreeInsertFirst);
    uint32_t lost = Insert(tv, "lost", a, 9999);
    EXPECT_EQ(Children(tv, a), "first,B,c,lost,") << "sorted by text without case; an unknown after-id goes last";
    EXPECT_EQ(WebTreeNodeById(t->tree, b)->prev, WebTreeNodeById(t->tree, first))
        << "the old first child's previous link names the new first";
    (void)c;
    (void)lost;
    struct Rel {
        uint32_t id, code, expect;
        const char* why;
    };
    const Rel kRels[] = {
        {a, 3, 0, "code 3 of a top-level node is 0"},
        {b, 3, a, "the parent"},
        {a, 4, first, "the first child"},
        {a, 6, 0, "next visible of a collapsed node with no sibling"},
        {b, 7, 0, "previous visible of a hidden node starts from its collapsed ancestor, first at the top"},
        {0, 8, 0, "code 8 gives 0"},
    };
    for (const Rel& k : kRels) EXPECT_EQ(WebTreeGetNextItem(t, k.id, k.code), k.expect) << k.why;
    Posts();
    EXPECT_EQ(Tv(tv, 4, {N(static_cast<int32_t>(a)), N(2)}), "1");
    EXPECT_EQ(WebTestCount(Posts(), "\"dwid\": 2"), 1u) << "expanding sends the toggle";
    EXPECT_EQ(Tv(tv, 4, {N(static_cast<int32_t>(a)), N(2)}), "1");
    EXPECT_EQ(WebTestCount(Posts(), "\"dwid\": 2"), 0u) << "expand code 2 on an expanded node is silent";
    EXPECT_EQ(WebTreeGetNextItem(t, a, 6), first) << "next visible of an expanded node is its first child";
    EXPECT_EQ(WebTreeGetVisibleCount(t), 5u);
    EXPECT_EQ(Tv(tv, 12, {T("img"), N(0), N(static_cast<int32_t>(kTreeInsertLast)), N(3)}), "6");
    EXPECT_EQ(Tv(tv, 8, {N(6)}), "3") << "Image without SelImage gives both";
    EXPECT_EQ(Tv(tv, 17, {N(static_cast<int32_t>(a))}), "-1") << "GetItemCheck without check boxes";
    for (uint32_t m : {29u, 30u, 31u}) EXPECT_EQ(Tv(tv, m, {}), "error -37") << "method " << m;
    EXPECT_EQ(Tv(tv, 15, {N(static_cast<int32_t>(kTreeRootId)), T("x")}), "0") << "the root pseudo-node is never set";
}

TEST_F(WebTrees, MarkupMakesACaretAndRenamesFollowIt) {
    ObjectRecord* tv = Create(kTypeTreeview, nullptr);
    WebTreeViewRecord* t = WebTreeView(tv);
    uint32_t a = Insert(tv, "a");
    uint32_t kid = Insert(tv, "kid", a);
    Insert(tv, "b");
    gWebObjectOps.flushRedraws(nullptr);
    std::string posts = Posts();
    EXPECT_EQ(t->tree->caret, WebTreeNodeById(t->tree, a)) << "the first node becomes the caret when drawn";
    EXPECT_NE(posts.find("<ul class='qovtvm qovtvnb qovtvln'><li  id='C"), std::string::npos) << posts;
    EXPECT_NE(posts.find("<details> <summary  id='C"), std::string::npos);
    EXPECT_NE(posts.find("<span class='ui-selected'>a</span> </summary><ul><li "), std::string::npos);
    std::string longer(300, 'L');
    EXPECT_EQ(Tv(tv, 15, {N(static_cast<int32_t>(a)), T(longer.c_str())}), "1");
    EXPECT_EQ(t->tree->caret, WebTreeNodeById(t->tree, a)) << "a renamed caret follows its node";
    EXPECT_EQ(t->tree->caret->text, longer);
    EXPECT_EQ(WebTreeNodeById(t->tree, kid)->parent, t->tree->caret) << "the children follow too";
    EXPECT_EQ(WebTreeGetNextItem(t, 0, 9), a);
}

// Node images are tiles of the tree's image list strip: the flush names the
// strip and a tile's size, each node's markup its tile, and selection and item
// changes move the tiles. The list counts the controls that hold it.
TEST_F(WebTrees, NodeImagesAreTilesOfTheListStrip) {
    ObjectRecord* list = Create(kTypeImagelist, [](ObjectCreateRecord* c) {
        c->texts[332] = CrText{"images/tree.png", 15};
        c->values[131] = 16;   // ImageSizeH: a tile's width
        c->given[131] = 1;
        c->values[130] = 20;   // ImageSizeV: its height
        c->given[130] = 1;
    });
    ASSERT_NE(list, nullptr);
    WebImageListRecord* strip = reinterpret_cast<WebImageListRecord*>(list);
    ObjectRecord* tv = Create(kTypeTreeview, [&](ObjectCreateRecord* c) {
        c->values[270] = static_cast<int32_t>(list->handle);
        c->given[270] = 1;
    });
    ASSERT_NE(tv, nullptr);
    uint32_t a = static_cast<uint32_t>(std::stoul(Tv(tv, 12, {T("a"), N(0), N(static_cast<int32_t>(kTreeInsertLast)), N(2), N(3)})));
    uint32_t b = static_cast<uint32_t>(std::stoul(Tv(tv, 12, {T("b"), N(0), N(static_cast<int32_t>(kTreeInsertLast)), N(1)})));
    uint32_t c = Insert(tv, "c");
    gWebObjectOps.flushRedraws(nullptr);
    std::string posts = Posts();
    struct Part {
        std::string text;
        const char* why;
    };
    const std::vector<Part> kWhole = {
        {"\"ih\": 20, \"iw\": 16, \"isrc\": \"images/tree.png\"", "the strip and a tile's size go with the tree"},
        {"<div class='qovtvi' style='background-position: -48px 0px;'></div><span class='ui-selected'>a",
         "the caret shows its selected image"},
        {"<div class='qovtvi' style='background-position: -16px 0px;'></div><span>b", "one image given stands for both"},
        {"<div class='qovtvi'></div><span>c", "a node without an image has no tile"},
    };
    for (const Part& k : kWhole) EXPECT_NE(posts.find(k.text), std::string::npos) << k.why << "\n" << posts;
    const std::vector<std::pair<std::function<void()>, Part>> kPatches = {
        {[&] { Tv(tv, 13, {N(static_cast<int32_t>(b)), N(9)}); },
         {"\"dwid\": 3, \"rn\": " + std::to_string(b) + ", \"io\": 16, \"ls\": " + std::to_string(a) + ", \"lo\": 32",
          "selecting: the new caret's selected tile, the old caret's own"}},
        {[&] { Tv(tv, 15, {N(static_cast<int32_t>(c)), kSkip, N(4)}); },
         {"\"dwid\": 7, \"rn\": " + std::to_string(c) + ", \"io\": 64", "a new image of a node not selected"}},
        {[&] { Tv(tv, 15, {N(static_cast<int32_t>(a)), kSkip, N(0x7FFFFFFF)}); },
         {"\"io\": 2147483647", "a huge index is kept in range, not wrapped"}},
    };
    for (const auto& k : kPatches) {
        k.first();
        posts = Posts();
        EXPECT_NE(posts.find(k.second.text), std::string::npos) << k.second.why << "\n" << posts;
    }

    ObjectRecord* lv = Create(kTypeListview, nullptr);
    ASSERT_NE(lv, nullptr);
    WebSetPropById(lv, 271, static_cast<int32_t>(list->handle), nullptr, 0);
    EXPECT_EQ(strip->useCount, 2u) << "the tree and the list view each hold one use";
    int32_t held = 0;
    const char* text = nullptr;
    WebGetProp(lv, 271, &held, &text);
    EXPECT_EQ(held, static_cast<int32_t>(list->handle));
    ObjectDestroy(lv);
    EXPECT_EQ(strip->useCount, 1u) << "a destroyed list view gives its use back";

    WebSetPropById(list, 332, 0, "images/other.png", 16);
    gWebObjectOps.flushRedraws(nullptr);
    EXPECT_NE(Posts().find("\"isrc\": \"images/other.png\""), std::string::npos) << "a new strip redraws its tree";
    WebSetPropById(tv, 270, 0, nullptr, 0);
    EXPECT_EQ(strip->useCount, 0u) << "a tree given no list gives its use back";
    EXPECT_EQ(gWebImageLists, strip) << "the list itself stays while the program holds it";
    EXPECT_STREQ(strip->url, "images/other.png");
    WebSetPropById(tv, 270, static_cast<int32_t>(list->handle), nullptr, 0);
    ObjectDestroy(list);
    gWebObjectOps.flushRedraws(nullptr);
    posts = Posts();
    EXPECT_EQ(posts.find("isrc"), std::string::npos) << "a destroyed list shows no tiles";
    EXPECT_EQ(posts.find("qovtvi"), std::string::npos);
    int32_t gone = -1;
    WebGetProp(tv, 270, &gone, &text);
    EXPECT_EQ(gone, 0) << "and reads back as none";
    ObjectDestroy(tv);
}

// A text result asked for as UTF-8 gets the one-byte texts of a list view or
// tree converted; texts the server gave as UTF-8, or a plain text result, go
// as they are. Method 28 of a tree answers 0.
TEST_F(WebTrees, TextResultsAskedAsUtf8AndTheDropPoint) {
    ScopedSet mode(gCharConvMode, kCharModeMap);
    ObjectRecord* lv = Create(kTypeListview, nullptr);
    ObjectRecord* tv = Create(kTypeTreeview, nullptr);
    ASSERT_NE(lv, nullptr);
    ASSERT_NE(tv, nullptr);
    Call(lv, kTypeListview, 18, {T("Name"), N(80)});
    Call(lv, kTypeListview, 19, {T("caf\xE9")});
    uint32_t node = Insert(tv, "caf\xE9");
    struct Case {
        ObjectRecord* rec;
        uint32_t type, method;
        std::vector<Arg> args;
        uint32_t kind;
        bool utf8Texts;
        const char* expect;
        const char* why;
    };
    const Case kCases[] = {
        {lv, kTypeListview, 15, {N(0), N(0)}, kItemUtf8, false, "'caf\xC3\xA9'", "list view text asked as UTF-8"},
        {lv, kTypeListview, 15, {N(0), N(0)}, kItemText, false, "'caf\xE9'", "list view text asked as it is"},
        {lv, kTypeListview, 15, {N(0), N(0)}, kItemUtf8, true, "'caf\xE9'", "a list view holding UTF-8 texts"},
        {tv, kTypeTreeview, 9, {N(static_cast<int32_t>(node))}, kItemUtf8, false, "'caf\xC3\xA9'", "tree text as UTF-8"},
        {tv, kTypeTreeview, 9, {N(static_cast<int32_t>(node))}, kItemUtf8, true, "'caf\xE9'", "a tree holding UTF-8"},
        {tv, kTypeTreeview, 28, {}, kItemInt, false, "0", "GetLastDropXY: no drop point"},
    };
    for (const Case& k : kCases) {
        k.rec->modeFlags = k.utf8Texts ? (k.rec->modeFlags | kModeUtf8Texts) : (k.rec->modeFlags & ~kModeUtf8Texts);
        resultKind = k.kind;
        EXPECT_EQ(Call(k.rec, k.type, k.method, k.args), k.expect) << k.why;
    }
    resultKind = 0;
}

TEST_F(WebTrees, ClicksKeysAndChecks) {
    ObjectRecord* tv = Create(kTypeTreeview, [](ObjectCreateRecord* c) {
        c->values[125] = 1;
        c->given[125] = 1;
        c->values[178] = 1;
        c->given[178] = 1;
    });
    uint32_t a = Insert(tv, "apple");
    uint32_t b = Insert(tv, "banana");
    Register(tv, {kEvChange, kEvClick, kEvDblClick});
    gWebObjectOps.flushRedraws(nullptr);
    uint32_t id = tv->elementId;
    auto ev = [id](int code, uint32_t node, const char* rest) {
        return "{\"et\": " + std::to_string(code) + ", \"name\": \"C" + std::to_string(id) + "R" + std::to_string(node) +
               "\"" + rest + "}";
    };
    auto key = [id](int k) {
        return "{\"et\": 99978, \"name\": \"C" + std::to_string(id) + "\", \"ec\": " + std::to_string(k) + "}";
    };
    struct Case {
        std::string event;
        std::vector<std::pair<int32_t, int32_t>> expect;
        const char* why;
    };
    const std::vector<Case> kCases = {
        {ev(99980, a, ", \"ev\": 0, \"em\": 0"), {}, "with Buttons a click on the caret is silent"},
        {ev(99980, b, ", \"ev\": 0, \"em\": 0"), {{3, static_cast<int32_t>(b)}, {4, static_cast<int32_t>(b)}}, "a click selects"},
        {key('q'), {}, "a letter nothing starts with leaves the caret"},
        {key('A'), {{3, static_cast<int32_t>(a)}}, "a letter finds the node, round from the top"},
        {key(40), {{3, static_cast<int32_t>(b)}}, "Down"},
        {ev(99979, a, ", \"ev\": 1"), {{3, static_cast<int32_t>(a)}, {4, static_cast<int32_t>(a)}}, "a check box selects first"},
        {ev(99980, a, ", \"ev\": 1, \"em\": 4"), {{6, static_cast<int32_t>(a)}}, "a double click"},
    };
    for (const Case& k : kCases) {
        PageEvent(k.event);
        EXPECT_EQ(Events(), k.expect) << k.why;
    }
    EXPECT_EQ(Tv(tv, 17, {N(static_cast<int32_t>(a))}), "1") << "the check stored";
    PageEvent(key(32));
    EXPECT_EQ(Tv(tv, 17, {N(static_cast<int32_t>(a))}), "0") << "Space toggles the caret's box";
}

TEST_F(WebTrees, DeepTreesNeedNoStack) {
    ObjectRecord* tv = Create(kTypeTreeview, nullptr);
    WebTreeViewRecord* t = WebTreeView(tv);
    uint32_t parent = 0;
    constexpr int kLevels = 100000;
    for (int i = 0; i < kLevels; ++i) {
        WebTreeInsert req = {parent, kTreeInsertLast, kTmText, "d", 1, 0, 0, 0};
        parent = WebTreeInsertItem(t, &req);
        ASSERT_NE(parent, 0u);
        WebTreeNodeById(t->tree, parent)->state |= kTnExpanded;
    }
    WebTreeListOpen(t);
    EXPECT_EQ(WebTestCount(gHtmlBuf.data, "</li>"), static_cast<size_t>(kLevels)) << "every level drawn and closed";
    EXPECT_EQ(WebTreeGetNextItem(t, 0, 10), parent) << "the last visible node is the deepest";
    EXPECT_EQ(Tv(tv, 1, {}), "1");
    EXPECT_EQ(WebTreeGetCount(t), 0u) << "and all deleted";
    HtmlReset();
}

// ---- Contents as XML --------------------------------------------------------------------------------

// The savers' files in the test's folder: '!' names are written as they are,
// any other name is refused as the server would; temporary files are numbered.
int32_t TestPrepWrite(const char* name, XmlOutTarget* out) {
    if (name[0] != '!') return 5;
    snprintf(out->localPath, sizeof out->localPath, "%s", name + 1);
    return 0;
}
bool TestTempFile(char* path, uint32_t size) {
    static unsigned counter;
    snprintf(path, size, "qovxml%u.tmp", ++counter);
    FILE* f = fopen(path, "wb");
    return f && fclose(f) == 0;
}
std::string FileText(const std::string& path) {
    std::string all;
    FILE* f = fopen(path.c_str(), "rb");
    if (!f) return "(none)";
    char buf[4096];
    for (size_t n; (n = fread(buf, 1, sizeof buf, f)) > 0;) all.append(buf, n);
    fclose(f);
    return all;
}

int32_t TestLoad(const char* name, char** data, uint32_t* size) {
    FILE* f = name[0] == '!' ? fopen(name + 1, "rb") : nullptr;
    if (!f) return 200;
    fclose(f);
    std::string all = FileText(name + 1);
    *data = static_cast<char*>(GuardedAlloc(all.size() + 1));
    memcpy(*data, all.data(), all.size());
    *size = static_cast<uint32_t>(all.size());
    return 0;
}

// Well-formed by xmllint where the build runs natively; under Wine by the
// reader itself.
bool WellFormed(const std::string& path) {
#ifdef _WIN32
    XmlReader r = {};
    int rc = XmlParse(&r, path.c_str(), nullptr, 0);
    XmlReaderFree(&r);
    return rc == 0;
#else
    std::string cmd = "xmllint --noout '" + path + "'";
    return std::system(cmd.c_str()) == 0;
#endif
}

class WebXml : public WebTrees {
protected:
    void SetUp() override {
        WebTrees::SetUp();
        gWebXmlFiles.prepWrite = TestPrepWrite;
        gWebXmlFiles.tempFile = TestTempFile;
        gWebListFiles.load = TestLoad;
    }
    void TearDown() override {
        gWebXmlFiles = WebXmlFileServices{};
        gWebListFiles = WebListFileServices{};
        WebTrees::TearDown();
    }
    std::string Lv(ObjectRecord* rec, uint32_t method, std::vector<Arg> args) {
        return Call(rec, kTypeListview, method, args);
    }
    // Headers | row texts ... with image and param, as one line per row.
    static std::string ListDump(ObjectRecord* rec, bool headers = true) {
        WebListViewRecord* lv = WebListView(rec);
        std::string out;
        if (headers)
            for (ListViewColumn* c = lv->columns; c; c = c->next) out += std::string(c->text ? c->text : "") + "|";
        out += "\n";
        for (ListViewRow* r = lv->rows; r; r = r->next) {
            out += std::to_string(r->image) + "," + std::to_string(r->param) + ":";
            for (ListViewCell* c = r->cells; c; c = c->next) out += std::string(c->text ? c->text : "") + "|";
            out += "\n";
        }
        return out;
    }
    // Every node pre-order: depth, text, image, selected image, param (an
    // image not given counts as 0, as the document has it).
    static std::string TreeDump(ObjectRecord* rec) {
        std::string out;
        std::vector<std::pair<WebTreeNode*, int>> todo;
        WebTreeNode* root = &WebTreeView(rec)->tree->root;
        std::vector<WebTreeNode*> level;
        for (WebTreeNode* n = root->firstChild; n; n = n->next) level.push_back(n);
        for (auto it = level.rbegin(); it != level.rend(); ++it) todo.push_back({*it, 0});
        while (!todo.empty()) {
            auto [n, d] = todo.back();
            todo.pop_back();
            out += std::string(static_cast<size_t>(d), '.') + n->text + "[" + std::to_string(n->image < 0 ? 0 : n->image) +
                   "," + std::to_string(n->selImage < 0 ? 0 : n->selImage) + "," + std::to_string(n->param) + "]\n";
            std::vector<WebTreeNode*> kids;
            for (WebTreeNode* c = n->firstChild; c; c = c->next) kids.push_back(c);
            for (auto k = kids.rbegin(); k != kids.rend(); ++k) todo.push_back({*k, d + 1});
        }
        return out;
    }
    uint32_t Node(ObjectRecord* tv, const char* text, uint32_t parent = 0, int32_t image = -1, uint32_t param = 0) {
        WebTreeInsert req = {parent, kTreeInsertLast, kTmText | kTmParam, text, static_cast<uint32_t>(strlen(text)),
                             image, image, param};
        if (image >= 0) req.mask |= kTmImage | kTmSelImage;
        return WebTreeInsertItem(WebTreeView(tv), &req);
    }
};

TEST_F(WebXml, ListElementNamesAreWellFormedAndComeBack) {
    // One-byte texts, so that the accented letter below is one byte.
    int mode = gCharConvMode;
    gCharConvMode = kCharModeLatin1;
    const std::string longHeader(81, 'h'), longCell(500, 'c');
    struct Column {
        std::string header, element;
        bool nameKept;
        const char* why;
    };
    const Column kColumns[] = {
        {"Name", "Name", false, "a valid name stays as it is"},
        {"Price (EUR)", "Price__EUR_", true, "'(' and ')' become '_'"},
        {"a/b", "a_b", true, "'/' becomes '_'"},
        {"Tom & Jerry", "Tom___Jerry", true, "'&' and blanks become '_'"},
        {"1st", "_1st", true, "a leading digit gets '_' in front"},
        {"", "Col5", true, "an empty header is named by its column"},
        {"Two Words", "Two_Words", false, "blanks as '_' come back as blanks without \"name\""},
        {"first_name", "first_name", true, "a '_' of the header itself needs \"name\""},
        {"Name", "Col8", true, "a name already used goes by the column"},
        {"lvi", "Col9", true, "the row's attribute names are not column names"},
        {"xmlData", "_xmlData", true, "\"xml\" in front gets '_'"},
        {longHeader, std::string(80, 'h'), true, "a header past 80 characters is cut"},
    };
    ObjectRecord* lv = Create(kTypeListview, nullptr);
    for (const Column& c : kColumns) Lv(lv, 18, {T(c.header.c_str()), N(60), N(99)});
    const std::vector<std::vector<std::string>> kRows = {
        {longCell, "caf\xE9 <&> \"q\"", "tab\there"},
        {"second", "", "", "x"},
        {"", "", "", "", "", "", "", "", "", "", "", "last"},
    };
    for (size_t r = 0; r < kRows.size(); ++r) {
        Lv(lv, 19, {T(kRows[r][0].c_str()), N(99)});
        for (size_t k = 1; k < kRows[r].size(); ++k)
            WebListViewSetItem(WebListView(lv), static_cast<int32_t>(r), static_cast<int32_t>(k), kRows[r][k].c_str(),
                               static_cast<uint32_t>(kRows[r][k].size()));
    }
    WebListViewRowAt(WebListView(lv), 1)->image = 3;
    WebListViewRowAt(WebListView(lv), 1)->param = 77;
    std::string doc;
    ASSERT_EQ(Lv(lv, 52, {T("!lvnames.xml"), N(0)}), "0");
    doc = FileText("lvnames.xml");
    EXPECT_TRUE(WellFormed("lvnames.xml")) << doc;
    for (const Column& c : kColumns) {
        EXPECT_NE(doc.find("<" + c.element + " lvw=\"60\" lvf=\"0\""), std::string::npos) << c.why << ": " << c.element;
        bool named = doc.find("<" + c.element + " lvw=\"60\" lvf=\"0\" name=") != std::string::npos;
        EXPECT_EQ(named, c.nameKept) << c.why << ": the header kept in \"name\"";
    }
    EXPECT_NE(doc.find(longCell), std::string::npos) << "a 500-byte cell is written whole";
    EXPECT_NE(doc.find("caf\xC3\xA9 &lt;&amp;&gt; \"q\""), std::string::npos) << "escaped, in UTF-8";
    EXPECT_NE(doc.find("<Row lvi=\"3\" lvp=\"77\">"), std::string::npos);

    struct Trip {
        uint32_t options;
        bool headersBack;
        const char* why;
    };
    const Trip kTrips[] = {
        {0, true, "elements"},
        {0x1000, true, "\"Col%d\" names with the headers in \"name\""},
        {0x100, true, "declared ISO-8859-1"},
        {0x08, false, "columns as attributes of the row element: the headers are the names"},
    };
    for (const Trip& t : kTrips) {
        SCOPED_TRACE(t.why);
        ASSERT_EQ(Lv(lv, 52, {T("!lvtrip.xml"), N(static_cast<int32_t>(t.options))}), "0");
        EXPECT_TRUE(WellFormed("lvtrip.xml")) << FileText("lvtrip.xml");
        ObjectRecord* copy = Create(kTypeListview, nullptr);
        ASSERT_EQ(Lv(copy, 51, {T("!lvtrip.xml"), N(0)}), "0");
        EXPECT_EQ(ListDump(copy, t.headersBack), ListDump(lv, t.headersBack)) << "loaded back equal";
        EXPECT_EQ(WebListView(copy)->methodColumns, 12u);
    }
    remove("lvnames.xml");
    remove("lvtrip.xml");
    gCharConvMode = mode;
}

TEST_F(WebXml, ListSaveOptions) {
    ObjectRecord* lv = Create(kTypeListview, nullptr);
    Lv(lv, 18, {T("A"), N(50), N(0)});
    Lv(lv, 18, {T("Hidden"), N(0), N(1)});
    Lv(lv, 19, {T("low"), N(99)});
    Lv(lv, 19, {T("High"), N(99)});
    EXPECT_EQ(Lv(lv, 44, {N(2)}), "2") << "a foreground colour column";
    WebListViewRecord* l = WebListView(lv);
    WebListViewRowAt(l, 1)->state |= kLvRowSelected;
    WebListViewRowAt(l, 1)->image = 2;
    WebListViewRowAt(l, 0)->check = 1;
    struct Case {
        uint32_t options;
        const char* has;
        const char* hasNot;
        const char* why;
    };
    const Case kCases[] = {
        {0, "<Row lvi=\"2\">", "<Row lvi=\"0\"", "lvi only when not 0"},
        {0x40, "<Row lvi=\"0\" lvp=\"0\">", nullptr, "0x40: also when 0"},
        {0x01, "<Row>", "lvi=", "0x01: no row attributes"},
        {0x02, "<A>low</A>", "lvw=", "0x02: no column attributes"},
        {0x04, "<Hidden", "__F__", "0x04: no colour columns"},
        {0, "<__F__ lvw=\"0\" lvf=\"0\"", nullptr, "the colour column's own name"},
        {0x80, "<A", "<Hidden", "0x80: no columns of width 0"},
        {0x08, "<Row A=\"low\" Hidden=\"\" __F__=\"\"/>", "<A", "0x08: columns as attributes"},
        {0x10, "High", "low", "0x10: selected rows only"},
        {0x20, "low", "High", "0x20: ticked rows only"},
        {0x200, "<A>high</A>", "High", "0x200: lower case"},
        {0x400, ">LOW</A>", "low<", "0x400: upper case"},
        {0x600, ">low</A>", "LOW", "0x200 wins over 0x400"},
        {0x100, "encoding=\"ISO-8859-1\"", "UTF-8", "0x100: ISO-8859-1 declared"},
        {0x1000, "<Col0 lvw=\"50\" lvf=\"0\" name=\"A\">", nullptr, "0x1000: Col%d names, header in \"name\""},
        {0, "<Table>\n\t<Row>\n\t\t<A lvw", nullptr, "one tab per level"},
    };
    for (const Case& k : kCases) {
        ASSERT_EQ(Lv(lv, 52, {T("!lvopt.xml"), N(static_cast<int32_t>(k.options))}), "0") << k.why;
        std::string doc = FileText("lvopt.xml");
        EXPECT_TRUE(WellFormed("lvopt.xml")) << k.why;
        EXPECT_NE(doc.find(k.has), std::string::npos) << k.why << "\n" << doc;
        if (k.hasNot) {
            EXPECT_EQ(doc.find(k.hasNot), std::string::npos) << k.why << "\n" << doc;
        }
    }
    Lv(lv, 2, {});
    ASSERT_EQ(Lv(lv, 52, {T("!lvopt.xml"), N(0x800)}), "0");
    EXPECT_TRUE(WellFormed("lvopt.xml"));
    EXPECT_NE(FileText("lvopt.xml").find("<A lvw=\"50\" lvf=\"0\"></A>"), std::string::npos)
        << "0x800: an empty list gives one row of empty cells";
    ASSERT_EQ(Lv(lv, 52, {T("!lvopt.xml"), N(0), T("My_Rows"), T("Line")}), "0");
    EXPECT_NE(FileText("lvopt.xml").find("<My_Rows/>"), std::string::npos) << "the table name given";
    EXPECT_EQ(Lv(lv, 52, {T("server.xml"), N(0)}), "200") << "a target the files refuse: 200";
    remove("lvopt.xml");
}

TEST_F(WebXml, ListLoadsMakeColumnsAndRows) {
    struct Case {
        std::string doc;
        uint32_t options;
        std::string expect;
        const char* why;
    };
    const Case kCases[] = {
        {"<?xml version=\"1.0\"?><Table><Row lvi=\"2\"><First>a</First><Second_Col>b</Second_Col></Row></Table>", 0,
         "First|Second Col|\n2,0:a|b|\n", "two columns named by the elements, one row with image 2"},
        {"<?xml version=\"1.0\"?><Table><Row><A>x<B>y</B>z</A></Row></Table>", 0, "A|\n0,0:z|\n",
         "a nested element starts no column; the outer text after it counts"},
        {"<?xml version=\"1.0\"?><Table><Row A=\"1\" lvp=\"9\"/><Row><A>2</A></Row></Table>", 0, "A|\n0,9:1|\n0,0:2|\n",
         "row attributes are column values"},
        {"<?xml version=\"1.0\"?><Table><Row A=\"1\"><A>2</A></Row></Table>", 0x01, "A|\n0,0:2|\n",
         "0x01: row attributes are not column values"},
        {"<?xml version=\"1.0\"?><Table><Row><a_b>1</a_b></Row></Table>", 0x02, "a_b|\n0,0:1|\n", "0x02: '_' kept"},
        {"<?xml version=\"1.0\"?><Table><Row><__x_y>1</__x_y></Row></Table>", 0, "__x_y|\n0,0:1|\n",
         "a name beginning with \"__\" is kept as it stands"},
        {"<?xml version=\"1.0\"?><Other><Row><A>1</A></Row></Other>", 0, "\n", "no root of the table name: no rows"},
        {"<?xml version=\"1.0\"?><Table><Group><Row><A>1</A></Row></Group><Row><B>2</B></Row></Table>", 0,
         "B|\n0,0:2|\n", "a row inside an element passed over is passed over too"},
        {"<?xml version=\"1.0\"?><Table><Row><Row>in</Row><B>2</B></Row></Table>", 0, "Row|B|\n0,0:in|2|\n",
         "a column named as the row stays a column"},
    };
    for (const Case& k : kCases) {
        ObjectRecord* lv = Create(kTypeListview, nullptr);
        EXPECT_EQ(Lv(lv, 51, {T(k.doc.c_str()), N(static_cast<int32_t>(k.options))}), "0") << k.why;
        EXPECT_EQ(ListDump(lv), k.expect) << k.why;
    }
    ObjectRecord* lv = Create(kTypeListview, nullptr);
    Lv(lv, 18, {T("Keep"), N(70), N(0)});
    Lv(lv, 19, {T("old"), N(99)});
    const char* kept = "<?xml version=\"1.0\"?><Table><Row><Other>o</Other><Keep>k</Keep></Row></Table>";
    EXPECT_EQ(Lv(lv, 51, {T(kept), N(0x04)}), "0");
    EXPECT_EQ(ListDump(lv), "Keep|\n0,0:k|\n") << "0x04: the columns stay; an unknown element is dropped";
    EXPECT_EQ(WebListView(lv)->columns->width, 70);
    const char* special = "<?xml version=\"1.0\"?><Table><Row><A>a</A><__F__>0x0000FF</__F__></Row></Table>";
    EXPECT_EQ(Lv(lv, 51, {T(special), N(0)}), "0");
    EXPECT_EQ(WebListView(lv)->fgColumn, 1u) << "\"__F__\" makes the foreground colour column";
    EXPECT_EQ(WebListView(lv)->columns->next->width, 0);
    EXPECT_EQ(Lv(lv, 51, {T("<?xml version=\"1.0\"?><Table><Row>"), N(0)}), "3") << "the reader's code";
    EXPECT_EQ(Lv(lv, 51, {T("!no-such.xml"), N(0)}), "200");
    EXPECT_EQ(Lv(lv, 51, {T("<?xml version=\"1.0\"?><T><L><A>1</A></L></T>"), N(0), T("T"), T("L")}), "0");
    EXPECT_EQ(ListDump(lv), "A|\n0,0:1|\n") << "table and row names given";
}

TEST_F(WebXml, ListVariableAndSize) {
    ObjectRecord* empty = Create(kTypeListview, nullptr);
    resultVar = 1;
    EXPECT_EQ(Lv(empty, 65, {N(0)}), "0") << "GetXmlDataSize without columns";
    ObjectRecord* lv = Create(kTypeListview, nullptr);
    Lv(lv, 18, {T("Name"), N(80), N(0)});
    Lv(lv, 19, {T("row"), N(99)});
    EXPECT_EQ(Lv(lv, 64, {N(0)}), "'Error: 300'") << "the variable transfer is not available";
    ASSERT_EQ(Lv(lv, 52, {T("!lvsize.xml"), N(0)}), "0");
    EXPECT_TRUE(WellFormed("lvsize.xml"));
    EXPECT_EQ(Lv(lv, 65, {N(0)}), std::to_string(FileText("lvsize.xml").size())) << "the size of the document";
    resultVar = 0;
    EXPECT_EQ(Lv(lv, 64, {N(0)}), "") << "no variable, no answer";
    EXPECT_EQ(Lv(lv, 65, {N(0)}), "0");
    remove("lvsize.xml");
    for (unsigned k = 1; k < 8; ++k)
        EXPECT_EQ(FileText("qovxml" + std::to_string(k) + ".tmp"), "(none)") << "temporary files are deleted";
}

TEST_F(WebXml, TreeNamesAndRoundTrips) {
    ObjectRecord* tv = Create(kTypeTreeview, nullptr);
    uint32_t fruits = Node(tv, "Fruits");
    Node(tv, "apple", fruits);
    Node(tv, "pear", fruits, 2);
    uint32_t more = Node(tv, "1 more thing");
    Node(tv, "only child", more);
    uint32_t xml = Node(tv, "XMLish");
    Node(tv, "  ", xml);
    const std::string longName(81, 'n');
    uint32_t lng = Node(tv, longName.c_str(), 0, 4, 9);
    Node(tv, "x & y", lng);
    uint32_t multi = Node(tv, "Multi Root");
    Node(tv, "m", multi);
    uint32_t data = Node(tv, "__data");
    Node(tv, "d", data);
    Node(tv, "tail", 0, 0, 5);
    struct Case {
        uint32_t options;
        std::vector<std::string> has;
        const char* why;
    };
    const Case kCases[] = {
        {0,
         {"<Multi_Root>", "\t<Fruits>\n\t\t<__d1>apple</__d1>\n\t\t<__d2 tvi=\"2\" tvs=\"2\">pear</__d2>",
          "<_1_more_thing tvn=\"1 more thing\">only child</_1_more_thing>",
          "<_XMLish tvn=\"XMLish\">\n\t\t<__d1>  </__d1>", "<" + std::string(80, 'n') + " tvn=\"" + longName + "\" tvi=\"4\" tvp=\"9\" tvs=\"4\">",
          "<_Multi_Root tvn=\"Multi Root\">", "<___data tvn=\"__data\">", "<__d1 tvp=\"5\">tail</__d1>"},
         "names, \"tvn\", leaves and attributes"},
        {0x02, {"<_1_more_thing tvn=\"1 more thing\">\n\t\t<__d1>only child</__d1>"}, "0x02: every leaf an element"},
        {0x08, {"encoding=\"ISO-8859-1\""}, "0x08: ISO-8859-1"},
    };
    for (const Case& k : kCases) {
        SCOPED_TRACE(k.why);
        ASSERT_EQ(Tv(tv, 23, {T("!tvtrip.xml"), N(static_cast<int32_t>(k.options))}), "0");
        std::string doc = FileText("tvtrip.xml");
        EXPECT_TRUE(WellFormed("tvtrip.xml")) << doc;
        for (const std::string& h : k.has) EXPECT_NE(doc.find(h), std::string::npos) << h << "\n" << doc;
        ObjectRecord* copy = Create(kTypeTreeview, nullptr);
        ASSERT_EQ(Tv(copy, 22, {T("!tvtrip.xml"), N(k.options & 0x02)}), "0");
        EXPECT_EQ(TreeDump(copy), TreeDump(tv)) << "loaded back equal";
    }
    struct Opt {
        uint32_t options;
        const char* has;
        const char* hasNot;
        const char* why;
    };
    const Opt kOpts[] = {
        {0x01, "<__d2>pear</__d2>", "tvi=", "0x01: no node attributes"},
        {0x04, "<__d1 tvi=\"0\" tvp=\"0\" tvs=\"0\">apple</__d1>", nullptr, "0x04: attributes also when 0"},
        {0x10, "<__d1>apple</__d1>", "TAIL", "0x10: leaves in lower case"},
        {0x20, "<__d1>APPLE</__d1>", ">apple<", "0x20: leaves in upper case"},
        {0x40, "<_1_more_thing>only child", "tvn=", "0x40: no \"tvn\""},
    };
    for (const Opt& k : kOpts) {
        ASSERT_EQ(Tv(tv, 23, {T("!tvtrip.xml"), N(static_cast<int32_t>(k.options))}), "0") << k.why;
        std::string doc = FileText("tvtrip.xml");
        EXPECT_TRUE(WellFormed("tvtrip.xml")) << k.why;
        EXPECT_NE(doc.find(k.has), std::string::npos) << k.why << "\n" << doc;
        if (k.hasNot) {
            EXPECT_EQ(doc.find(k.hasNot), std::string::npos) << k.why << "\n" << doc;
        }
    }
    remove("tvtrip.xml");
}

TEST_F(WebXml, TreeSingleNodesAndLoads) {
    struct Save {
        std::vector<const char*> top;
        std::string has;
        const char* why;
    };
    const Save kSaves[] = {
        {{"hello world"}, "<hello_world tvn=\"hello world\"/>", "an only top-level leaf: an empty element named from it"},
        {{"Multi_Root"}, "<_Multi_Root tvn=\"Multi_Root\"/>", "named apart from the several nodes' root"},
        {{"(x)"}, "<__x_ tvn=\"(x)\"/>", "a leaf of '(' is well-formed too"},
        {{"a", "b"}, "<Multi_Root>\n\t<__d1>a</__d1>\n\t<__d2>b</__d2>\n</Multi_Root>", "several top-level leaves"},
    };
    for (const Save& k : kSaves) {
        ObjectRecord* tv = Create(kTypeTreeview, nullptr);
        for (const char* t : k.top) Node(tv, t);
        ASSERT_EQ(Tv(tv, 23, {T("!tvone.xml"), N(0)}), "0");
        std::string doc = FileText("tvone.xml");
        EXPECT_TRUE(WellFormed("tvone.xml")) << k.why;
        EXPECT_NE(doc.find(k.has), std::string::npos) << k.why << "\n" << doc;
        ObjectRecord* copy = Create(kTypeTreeview, nullptr);
        ASSERT_EQ(Tv(copy, 22, {T("!tvone.xml")}), "0");
        EXPECT_EQ(TreeDump(copy), TreeDump(tv)) << k.why;
    }
    remove("tvone.xml");
    struct Load {
        const char* doc;
        uint32_t options;
        const char* expect;
        const char* why;
    };
    const Load kLoads[] = {
        {"<?xml version=\"1.0\"?><A color=\"red\" tvi=\"3\"><__d1>x</__d1></A>", 0,
         "A[3,0,0]\n.color[0,0,0]\n..red[0,0,0]\n.x[0,0,0]\n", "an attribute makes a child holding its value, first"},
        {"<?xml version=\"1.0\"?><A color=\"red\"><__d1>x</__d1></A>", 0x01, "A[0,0,0]\n.x[0,0,0]\n",
         "0x01: attributes make no nodes"},
        {"<?xml version=\"1.0\"?><Two_Words/>", 0, "Two Words[0,0,0]\n", "'_' read as a blank"},
        {"<?xml version=\"1.0\"?><Two_Words/>", 0x02, "Two_Words[0,0,0]\n", "0x02 keeps '_'"},
        {"<?xml version=\"1.0\"?><P>a<__d1 tvp=\"4\">b</__d1>c<Q/>d</P>", 0, "P[0,0,0]\n.b[0,0,4]\n.Q[0,0,0]\n.d[0,0,0]\n",
         "the text after the last child is the element's"},
        {"<?xml version=\"1.0\"?><R><Multi_Root/></R>", 0, "R[0,0,0]\n.Multi Root[0,0,0]\n",
         "\"Multi_Root\" below the document element is a node"},
    };
    for (const Load& k : kLoads) {
        ObjectRecord* tv = Create(kTypeTreeview, nullptr);
        EXPECT_EQ(Tv(tv, 22, {T(k.doc), N(static_cast<int32_t>(k.options))}), "0") << k.why;
        EXPECT_EQ(TreeDump(tv), k.expect) << k.why;
    }
    ObjectRecord* tv = Create(kTypeTreeview, nullptr);
    EXPECT_EQ(Tv(tv, 22, {T("<?xml version=\"1.0\"?><A><B></A>")}), "203") << "200 + the reader's code";
    EXPECT_EQ(TreeDump(tv), "A[0,0,0]\n.B[0,0,0]\n") << "the nodes made so far stay";
    EXPECT_EQ(Tv(tv, 22, {T("!no-such.xml")}), "200");
}

TEST_F(WebXml, TreeSaverWalksWithoutRecursionAndSizes) {
    ObjectRecord* tv = Create(kTypeTreeview, nullptr);
    resultVar = 1;
    EXPECT_EQ(Tv(tv, 27, {N(0)}), std::to_string(strlen("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n")))
        << "an empty tree: the declaration alone";
    EXPECT_EQ(Tv(tv, 26, {N(0)}), "'Error: 300'");
    uint32_t parent = 0;
    for (int i = 0; i < 60; ++i) parent = Node(tv, "level", parent);
    ASSERT_EQ(Tv(tv, 23, {T("!tvdeep.xml"), N(0)}), "0");
    EXPECT_TRUE(WellFormed("tvdeep.xml"));
    ObjectRecord* copy = Create(kTypeTreeview, nullptr);
    ASSERT_EQ(Tv(copy, 22, {T("!tvdeep.xml")}), "0");
    EXPECT_EQ(TreeDump(copy), TreeDump(tv)) << "sixty levels come back";
    for (int i = 0; i < 20; ++i) parent = Node(tv, "level", parent);
    EXPECT_EQ(Tv(tv, 23, {T("!tvdeep.xml"), N(0)}), std::to_string(kXmlWriteTooDeep))
        << "past the writer's depth the writer's code, and no file";
    EXPECT_EQ(FileText("tvdeep.xml"), "(none)");
    resultVar = 0;
    EXPECT_EQ(Tv(tv, 26, {N(0)}), "") << "no variable, no answer";
}

}  // namespace

// ---- Tab controls ------------------------------------------------------------------------

std::string TabsOf(ObjectRecord* rec) {
    std::string out;
    for (WebTabNode* n = WebTabs(rec)->tabs; n; n = n->next) out += std::string(n->label) + "|";
    return out;
}

TEST_F(WebLists, TabControlTellsThePageOfEveryTabChange) {
    ObjectRecord* tc = Create(kTypeTabcontrol, [](ObjectCreateRecord* c) {
        c->text = CrText{"&One;T&wo;Three", 15};
    });
    ASSERT_NE(tc, nullptr);
    EXPECT_EQ(TabsOf(tc), "&One|T&wo|Three|") << "the creation labels, marks kept";
    EXPECT_EQ(WebTabs(tc)->tabs->next->hotKey, 'W') << "the character after a single '&' is the hot key";
    Posts();
    struct Case {
        std::function<void()> act;
        std::string expectPost;
        std::string expectTabs;
        const char* why;
    };
    const Case kCases[] = {
        {[&] { WebInsertItem(tc, 9, "Four", 4); }, "\"dwid\": 6, \"pos\": 1000", "&One|T&wo|Three|Four|",
         "an insert past the end is appended and sent with pos 1000"},
        {[&] { WebInsertItem(tc, 0, "Zero", 4); }, "\"dwid\": 6, \"pos\": 0", "Zero|&One|T&wo|Three|Four|",
         "an insert at 0 goes first"},
        {[&] { Call(tc, kTypeTabcontrol, 9, {N(-3), T("Neg")}); }, "\"pos\": 1000",
         "Zero|&One|T&wo|Three|Four|Neg|", "a negative InsertTab index appends instead of walking the list backwards"},
        {[&] { WebInsertItem(tc, 2, nullptr, 0); }, "\"lab\": \" \"", "Zero|&One| |T&wo|Three|Four|Neg|",
         "a tab without text is a single blank"},
        {[&] { WebDeleteItem(tc, 3); }, "\"dwid\": 7, \"pos\": 2", "Zero|&One|T&wo|Three|Four|Neg|",
         "delete item n sends the zero-based position"},
        {[&] { WebDeleteItem(tc, 40); }, "", "Zero|&One|T&wo|Three|Four|Neg|", "a tab that is not there: nothing"},
        {[&] { WebSetText(tc, 2, "N&ew", 4); }, "li:eq(\\\"1\\\") a\", \"dwid\": 4, \"val\": \"New\"",
         "Zero|N&ew|T&wo|Three|Four|Neg|", "a new label replaces the anchor's contents by selector, marks removed"},
        {[&] { WebSetValue(tc, 0, 3); }, "\"dwid\": 1, \"pos\": 2", "Zero|N&ew|T&wo|Three|Four|Neg|",
         "selecting tab 3 sends position 2"},
    };
    for (const Case& k : kCases) {
        k.act();
        std::string posts = Posts();
        if (k.expectPost.empty()) EXPECT_EQ(posts, "") << k.why;
        else EXPECT_NE(posts.find(k.expectPost), std::string::npos) << k.why << "\n" << posts;
        EXPECT_EQ(TabsOf(tc), k.expectTabs) << k.why;
    }
}

TEST_F(WebLists, TabControlLabelsPropertyAndLimits) {
    ObjectRecord* tc = Create(kTypeTabcontrol, [](ObjectCreateRecord* c) { c->text = CrText{"a;b;c", 5}; });
    ASSERT_NE(tc, nullptr);
    Posts();
    PropChange pc = {};
    for (const PropCodeRow* row = PropertyCodeTable; row->code; ++row)
        if (row->id == 61) pc.code = row->code;
    pc.id = 61;
    pc.text = "x;y;z";
    pc.textLength = 5;
    pc.value = 5;
    WebSetProp(tc, &pc);
    std::string posts = Posts();
    EXPECT_EQ(WebTestCount(posts, "\"dwid\": 7, \"pos\": 0"), 3u) << "three old tabs deleted one message each\n" << posts;
    EXPECT_EQ(WebTestCount(posts, "\"dwid\": 6, \"pos\": 10000"), 3u) << "three new tabs sent at 10000\n" << posts;
    int32_t value = 0;
    const char* text = nullptr;
    WebGetProp(tc, 61, &value, &text);
    EXPECT_STREQ(text, "x;y;z") << "the query joins the labels";
    WebDeleteItem(tc, 0);
    text = nullptr;
    WebGetProp(tc, 61, &value, &text);
    EXPECT_STREQ(text, "") << "an empty label query without tabs";

    for (int i = 0; i < 255; ++i) ASSERT_EQ(WebInsertItem(tc, 1000, "t", 1), 0);
    Posts();
    EXPECT_NE(WebInsertItem(tc, 1000, "t", 1), 0) << "the 256th tab is refused: the count is one byte";
    EXPECT_EQ(Call(tc, kTypeTabcontrol, 9, {N(0), T("u")}), "error -4") << "InsertTab is refused too";
    EXPECT_EQ(Posts(), "") << "a refused tab sends nothing";
    EXPECT_EQ(Call(tc, kTypeTabcontrol, 8, {}), "255");
}

TEST_F(WebLists, TabControlMethodsAndPageSwitches) {
    ObjectRecord* tc = Create(kTypeTabcontrol, [](ObjectCreateRecord* c) { c->text = CrText{"a;b;c", 5}; });
    ASSERT_NE(tc, nullptr);
    struct Case {
        uint32_t method;
        std::vector<Arg> args;
        std::string expect;
        const char* why;
    };
    const Case kCases[] = {
        {3, {N(1)}, "-1", "GetTabImage of a tab without an image"},
        {3, {N(7)}, "-2", "GetTabImage of no tab"},
        {2, {N(1), N(4)}, "0", "SetTabImage"},
        {3, {N(1)}, "4", "the image is kept"},
        {12, {N(2), N(99)}, "0", "SetTabParam"},
        {13, {N(2)}, "99", "GetTabParam"},
        {13, {N(8)}, "0", "GetTabParam of no tab"},
        {11, {N(0), T("A2")}, "1", "SetTab of a tab that exists"},
        {11, {N(9), T("Z")}, "0", "SetTab of no tab"},
        {1, {}, "0", "HitTest"},
        {14, {}, "error -37", "method 14 is unknown"},
    };
    for (const Case& k : kCases) EXPECT_EQ(Call(tc, kTypeTabcontrol, k.method, k.args), k.expect) << k.why;
    EXPECT_EQ(TabsOf(tc), "A2|b|c|");
    Posts();

    // The page's switch: $CHANGE keeps the tab, and a value query while
    // $CHANGE is registered answers it without asking the page.
    Register(tc, {kEvChange, kEvClick});
    Posts();
    std::string id = std::to_string(tc->elementId);
    PageEvent("{\"id\": " + id + ", \"et\": 3, \"ec\": 32, \"em\": 0, \"ev\": 2}");
    EXPECT_EQ(Events(), (std::vector<std::pair<int32_t, int32_t>>{{kEvChange, 2}})) << "$CHANGE with the 1-based tab";
    int32_t value = 0;
    WebGetValue(tc, 0, &value, false);
    EXPECT_EQ(value, 2) << "the kept tab";
    EXPECT_EQ(Posts(), "") << "answered without asking the page";
    PageEvent("{\"id\": " + id + ", \"et\": 4, \"ec\": 32, \"em\": 0, \"ev\": 2}");
    Events();
    RecPageAnswer(&gPage, 32, "{\"val\": 2}", 0);
    WebGetValue(tc, 0, &value, false);
    EXPECT_EQ(value, 3) << "after $CLICK the page is asked; its zero-based answer plus 1";
    EXPECT_NE(Posts().find("\"dwid\": 8"), std::string::npos);
}

TEST(WebTabMarkup, ImageUrlIsEscapedAndLabelsLoseMarks) {
    struct Case {
        const char* label;
        int32_t image;
        const char* url;
        std::string expect;
        const char* why;
    };
    const Case kCases[] = {
        {"Fi&le", -1, "images/x.png", "File", "no image index: the label only, mark removed"},
        {"A&&B", 2, nullptr, "A&B", "no image strip: '&&' gives one '&'"},
        {"T", 1, "images/a.png",
         "<div class=\"qovtabi\" style=\"background-position: -16px 0px; width: 16px; height: 15px; "
         "background-image: url('images/a.png');\"></div>T",
         "the strip cut at image 1"},
        {"T", 0, "x');\"><script>",
         "<div class=\"qovtabi\" style=\"background-position: -0px 0px; width: 16px; height: 15px; "
         "background-image: url('x%27%29;%22%3E%3Cscript%3E');\"></div>T",
         "quotes and markup in the URL cannot end the url() or the attribute"},
    };
    for (const Case& k : kCases) {
        WebTabNode* n = WebTabNodeNew(k.label, static_cast<uint32_t>(strlen(k.label)));
        ASSERT_NE(n, nullptr);
        n->image = k.image;
        char out[kTabMarkupMax + 1];
        WebTabImageMarkup(n, k.url, 16, 15, out, sizeof out);
        EXPECT_EQ(std::string(out), k.expect) << k.why;
        GuardedFree(n->label);
        GuardedFree(n);
    }
}

// ---- Menus ------------------------------------------------------------------------------------

std::string ItemsOf(ObjectRecord* rec) {
    std::string out;
    for (WebMenuItemRecord* it = WebMenu(rec)->items; it; it = it->next)
        out += std::to_string(it->itemNumber) + ":" + it->text + "/" + std::to_string(it->shortCut) + "/" +
               std::to_string(it->itemFlags) + ",";
    return out;
}

class WebMenus : public WebLists {
protected:
    ObjectRecord* Menu(const char* def, bool visible = true, uint32_t type = kTypeMenu) {
        return Create(type, [=](ObjectCreateRecord* c) {
            c->text = CrText{def, static_cast<uint32_t>(strlen(def))};
            if (!visible) c->flags0 &= ~kCrVisible;
        });
    }
};

TEST_F(WebMenus, DefinitionTextGivesTheItems) {
    struct Case {
        const char* def;
        std::string text;
        std::string items;
        const char* why;
    };
    const Case kCases[] = {
        {"&File;&Open/O;-;(E&xit", "File", "1:Open/55/0,2:-/0/2,3:Exit/0/1,",
         "Ctrl+O is 55, '-' alone a separator keeping its dash, '(' disables"},
        {"M;<CSF12Big;<F16", "M", "1:Big/129/0,2:6/1/0,", "<CSF12 is Ctrl+Shift+F12; <F16 is F1 and the text 6"},
        {"Solo", "Solo", "", "a definition of only the menu's text has no items"},
    };
    for (const Case& k : kCases) {
        ObjectRecord* m = Menu(k.def, false);
        ASSERT_NE(m, nullptr) << k.def;
        EXPECT_STREQ(WebMenu(m)->text, k.text.c_str()) << k.why;
        std::string items = ItemsOf(m);
        // Item numbers relative to the base.
        std::string rel;
        for (WebMenuItemRecord* it = WebMenu(m)->items; it; it = it->next)
            rel += std::to_string(it->itemNumber - WebMenu(m)->baseNumber) + ":" + it->text + "/" +
                   std::to_string(it->shortCut) + "/" + std::to_string(it->itemFlags) + ",";
        EXPECT_EQ(rel, k.items) << k.why;
        ObjectDestroy(m);
    }
}

TEST_F(WebMenus, SubMenuIsMadeFromItsTextAndKeptOffTheBar) {
    ObjectRecord* sub = Menu("Recent;a.txt;b.txt", false, kTypeSubmenu);
    ASSERT_NE(sub, nullptr) << "a SubMenu is made in the web view as natively";
    EXPECT_EQ(sub->kind, kKindSubMenu);
    EXPECT_EQ(WebMenu(sub)->itemCount, 2u) << "its items come from its text";
    bool listed = false;
    for (ObjectRecord* m = reinterpret_cast<WindowRecord*>(window)->menus; m; m = m->next) listed |= m == sub;
    EXPECT_TRUE(listed) << "it is kept in its window's menu list";
    EXPECT_EQ(WebActivateObject(sub, 0, 0, 0, 0), kMenuNoParent) << "shown alone it has no item to hang below";
    EXPECT_EQ(Posts().find("\"action\": 36"), std::string::npos) << "and it is never on the bar";
    EXPECT_EQ(WebGetText(sub, 2), 5) << "its items' texts as a menu's";
    EXPECT_STREQ(gTextBuf, "b.txt");
    EXPECT_EQ(ObjectDestroy(sub), 0);
    EXPECT_EQ(reinterpret_cast<WindowRecord*>(window)->menus, nullptr) << "destroyed, it leaves the list";
}

TEST_F(WebMenus, FormMenuItemRowsGoIntoTheMenuMadeLast) {
    ObjectRecord* file = Menu("&File;&Open", false);
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(gMenuMadeLast, file) << "the web menu is the one a form's item rows go into";
    struct Case {
        const char* text;
        uint32_t flags0;
        int32_t subMenu;      // a SubMenu handle the row names, 0 none
        int32_t expect;
        std::string items;
        const char* why;
    };
    const Case kCases[] = {
        {"&Print/P", 0, 0, 0, "101:Open/0/0,102:Print/56/0,", "appended, Ctrl+P parsed as the menu's own items are"},
        {"Quit", kCrDisabled, 0, 0, "101:Open/0/0,102:Print/56/0,103:Quit/0/1,", "a disabled row is a disabled item"},
        {"More", 0, -1, 0, "101:Open/0/0,102:Print/56/0,103:Quit/0/1,104:More/0/0,",
         "a row naming a SubMenu hangs it below its item"},
    };
    ObjectRecord* recent = Menu("Recent;a.txt", false, kTypeSubmenu);
    ASSERT_NE(recent, nullptr);
    gMenuMadeLast = file;
    for (const Case& k : kCases) {
        ObjectCreateRecord row;
        CreateRecordReset(&row);
        row.text = CrText{k.text, static_cast<uint32_t>(strlen(k.text))};
        row.flags0 = k.flags0;
        if (k.subMenu) {
            row.given[283] = 1;
            row.values[283] = static_cast<int32_t>(recent->handle);
        }
        int32_t code = 1;
        ObjectRecord* item = WebMenuItemCreate(gMenuMadeLast, &row, &code);
        EXPECT_EQ(code, k.expect) << k.why;
        EXPECT_EQ(item != nullptr, k.expect == 0) << k.why;
        EXPECT_EQ(ItemsOf(file), k.items) << k.why;
        if (item) {
            EXPECT_EQ(item->kind, kKindMenuItem);
            EXPECT_EQ(ObjectDestroy(item), 0) << "the item's object goes; the item stays its menu's";
        }
    }
    EXPECT_EQ(ItemsOf(file), "101:Open/0/0,102:Print/56/0,103:Quit/0/1,104:More/0/0,");
    EXPECT_EQ(WebMenu(recent)->ownerItem, WebMenuItemAt(WebMenu(file), 4)) << "the SubMenu hangs below More";
    ObjectDestroy(file);
    EXPECT_EQ(gMenuMadeLast, nullptr) << "a destroyed menu takes no more rows";
}

// A property change or query addressed to a menu, with an item selector
// (a zero-based place, or a name) when given.
PropChange MenuItemChange(uint32_t id, int32_t value, const char* name = nullptr, int32_t place = -1) {
    PropChange pc = {};
    for (const PropCodeRow* row = PropertyCodeTable; row->code; ++row)
        if (row->id == id) pc.code = row->code;
    pc.value = value;
    if (name) {
        pc.selector.kind = kItemText;
        pc.selector.data = name;
        pc.selector.size = static_cast<uint32_t>(strlen(name));
    } else if (place >= 0) {
        pc.selector.kind = kItemInt;
        pc.selector.value = static_cast<uint64_t>(place);
    }
    return pc;
}

TEST_F(WebMenus, ItemsAreObjectsTheServerHoldsAndAddresses) {
    ObjectRecord* file = Menu("&File;&Open;&Save");
    ASSERT_NE(file, nullptr);
    resultKind = kItemObject;
    std::string added = Call(file, kTypeMenu, 1, {kSkip, kSkip, N(0), N(0), kSkip, N(41), kSkip, kSkip, N(7),
                                                 T("&New"), T("NewItem")});
    ObjectRecord* item = ObjectFromHandle(static_cast<uint32_t>(atoi(added.c_str())));
    ASSERT_NE(item, nullptr) << "AddItem answers the item as an object: " << added;
    EXPECT_EQ(item->kind, kKindMenuItem);
    EXPECT_EQ(item->useCount, 2u) << "held by its menu and by the server";
    EXPECT_EQ(ItemsOf(file), std::to_string(WebMenu(file)->baseNumber + 1) + ":New/41/1," +
                                 std::to_string(WebMenu(file)->baseNumber + 2) + ":Open/0/0," +
                                 std::to_string(WebMenu(file)->baseNumber + 3) + ":Save/0/0,")
        << "at place 0, disabled, Ctrl+A";
    EXPECT_NE(WebMenuShortcutFind(window, static_cast<uint16_t>(WebMenu(file)->baseNumber + 1)), nullptr);
    EXPECT_EQ(Call(file, kTypeMenu, 2, {T("Mi02")}), std::to_string(WebMenuItemAt(WebMenu(file), 3)->hdr.handle))
        << "GetItem by its default name";
    EXPECT_EQ(WebMenuItemAt(WebMenu(file), 3)->hdr.useCount, 2u);
    EXPECT_EQ(Call(file, kTypeMenu, 2, {T("Nothing")}), "0");
    resultKind = 0;

    // Properties through the item's handle and through the menu's selector.
    EXPECT_EQ(WebSetPropById(item, 9, 1, nullptr, 0), 0);
    EXPECT_EQ(WebMenuItemAt(WebMenu(file), 1)->itemFlags & kWmiDisabled, 0u) << "enabled by its handle";
    EXPECT_EQ(WebSetPropById(item, 256, 1, nullptr, 0), 0);
    PropChange topic = MenuItemChange(315, 0, "NewItem");
    topic.text = "help.htm";
    topic.textLength = 8;
    topic.value = 8;
    EXPECT_EQ(WebSetProp(file, &topic), 0);
    EXPECT_STREQ(item->helpTopic, "help.htm") << "the item by its name";
    PropChange data = MenuItemChange(316, 0, nullptr, 1);
    data.text = "d2";
    data.textLength = 2;
    data.value = 2;
    EXPECT_EQ(WebSetProp(file, &data), 0);
    EXPECT_STREQ(WebMenuItemAt(WebMenu(file), 2)->hdr.userData, "d2") << "the second item by place";
    EXPECT_EQ(file->userData, nullptr) << "not the menu's own";
    PropChange none = MenuItemChange(315, 0, "Nothing");
    none.text = "x";
    none.textLength = 1;
    EXPECT_EQ(WebSetProp(file, &none), kWebUnknownProperty) << "a selector naming no item";
    EXPECT_EQ(Call(file, kTypeMenu, 6, {N(0)}), "8") << "checked through its handle";
    PropQuery q = {};
    q.code = topic.code;
    q.selector = topic.selector;
    EXPECT_EQ(WebGetPropGeneric(file, &q), 0);
    EXPECT_STREQ(q.text, "help.htm");
    Posts();
    PageEvent("{\"id\": " + std::to_string(window->elementId) + ", \"et\": 4, \"ec\": 32, \"em\": 0, \"ev\": 0, \"mn\": " +
              std::to_string(WebMenu(file)->baseNumber) + "}");
    std::string posts = Posts();
    EXPECT_NE(posts.find("ui-icon-check"), std::string::npos) << "the popup shows the change\n" << posts;

    // Removed while the server holds it: the item answers as one without menu.
    EXPECT_EQ(Call(file, kTypeMenu, 3, {T("NewItem")}), "0");
    EXPECT_EQ(WebMenu(file)->itemCount, 2u);
    ASSERT_TRUE(ObjectIsLive(item));
    EXPECT_EQ(WebSetPropById(item, 9, 1, nullptr, 0), 0);
    int32_t enabled = -1;
    const char* text = nullptr;
    EXPECT_EQ(WebGetProp(item, 9, &enabled, &text), 0);
    EXPECT_EQ(enabled, 0) << "no menu: 0";
    EXPECT_EQ(ObjectDestroy(item), 0);
    EXPECT_FALSE(ObjectIsLive(item)) << "the server's release frees it";
    ObjectRecord* held = WebMenuItemAt(WebMenu(file), 2) ? &WebMenuItemAt(WebMenu(file), 2)->hdr : nullptr;
    ASSERT_NE(held, nullptr);
    EXPECT_EQ(ObjectDestroy(file), 0);
    EXPECT_TRUE(ObjectIsLive(held)) << "an item the server got stays after its menu";
    EXPECT_EQ(ObjectDestroy(held), 0);
    EXPECT_FALSE(ObjectIsLive(held));
}

TEST_F(WebMenus, SubMenusHangBelowItemsAndOpenInTheirList) {
    ObjectRecord* file = Menu("&File;&Open;&Recent;E&xit");
    ObjectRecord* recent = Menu("Recent;a.txt;b.txt", false, kTypeSubmenu);
    ASSERT_TRUE(file && recent);
    Register(file, {kEvClick});
    Register(recent, {kEvClick});
    ObjectRecord* item = &WebMenuItemAt(WebMenu(file), 2)->hdr;
    EXPECT_EQ(WebSetPropById(item, 283, static_cast<int32_t>(recent->handle), nullptr, 0), 0);
    WebMenuRecord* sub = WebMenu(recent);
    EXPECT_EQ(sub->ownerItem, WebMenuItemAt(WebMenu(file), 2));
    EXPECT_TRUE(recent->flags & kObjShown);
    EXPECT_EQ(sub->refCount, 2u) << "the server's reference and the item's";
    EXPECT_EQ(Call(file, kTypeMenu, 5, {N(1)}), std::to_string(static_cast<int32_t>(0x80000000u)))
        << "GetItemType marks the SubMenu";
    EXPECT_EQ(Call(item, kTypeMenu, 4, {}), "2") << "an item's methods ask its SubMenu";
    EXPECT_EQ(Call(item, kTypeMenu, 7, {N(1)}), "'b.txt'");
    int32_t handle = 0;
    const char* none = nullptr;
    EXPECT_EQ(WebGetProp(item, 283, &handle, &none), 0);
    EXPECT_EQ(handle, static_cast<int32_t>(recent->handle)) << "the item's SubMenu property";
    EXPECT_EQ(sub->refCount, 3u) << "handed out with one reference more";
    WebSubMenuRelease(recent);

    Posts();
    std::string wid = std::to_string(window->elementId);
    auto click = [&](uint32_t number) {
        PageEvent("{\"id\": " + wid + ", \"et\": 4, \"ec\": 32, \"em\": 0, \"ev\": 0, \"mn\": " +
                  std::to_string(number) + "}");
    };
    click(WebMenu(file)->baseNumber);
    std::string posts = Posts();
    std::string nested = "<ul id=\\\"C" + std::to_string(recent->elementId) + "\\\">";
    size_t recentItem = posts.find("M" + std::to_string(WebMenu(file)->baseNumber + 2) + "F");
    size_t list = posts.find(nested);
    ASSERT_NE(list, std::string::npos) << "the SubMenu's list goes inside its item\n" << posts;
    EXPECT_LT(recentItem, list);
    EXPECT_NE(posts.find("M" + std::to_string(sub->baseNumber + 2) + "F" + wid), std::string::npos);
    click(WebMenu(file)->baseNumber + 2);
    EXPECT_TRUE(Events().empty()) << "the item that opens a SubMenu is no command";
    click(sub->baseNumber + 2);
    EXPECT_EQ(Events(), (std::vector<std::pair<int32_t, int32_t>>{{kEvClick, 2}})) << "b.txt: the SubMenu's $CLICK";

    WebCheckItem(recent, 1, 1);
    Posts();
    click(WebMenu(file)->baseNumber);
    posts = Posts();
    EXPECT_NE(posts.find("\"delid\""), std::string::npos) << "a change below the menu sends its list again";
    EXPECT_NE(posts.find("ui-icon-check"), std::string::npos);

    // Hidden, it leaves the item; shown again, it goes back to it.
    EXPECT_EQ(WebHideObject(recent, 0), 0);
    EXPECT_EQ(WebMenuItemAt(WebMenu(file), 2)->subMenu, nullptr);
    EXPECT_EQ(sub->refCount, 1u);
    EXPECT_EQ(WebActivateObject(recent, 0, 0, 0, 0), 0);
    EXPECT_EQ(WebMenuItemAt(WebMenu(file), 2)->subMenu, sub);

    // Destroyed by the server while its item holds it: kept for the item,
    // freed when the item lets go.
    EXPECT_EQ(ObjectDestroy(recent), 0);
    EXPECT_FALSE(ObjectIsLive(recent)) << "the server cannot reach it any more";
    EXPECT_EQ(WebMenuItemAt(WebMenu(file), 2)->subMenu, sub) << "its item still opens it";
    EXPECT_EQ(Call(file, kTypeMenu, 3, {N(1)}), "0") << "removing the item lets it go";
    EXPECT_EQ(WebMenu(file)->itemCount, 2u);
}

TEST_F(WebMenus, BarItemsNumbersAndLimits) {
    ObjectRecord* a = Menu("A;a1", false);
    ObjectRecord* b = Menu("B;b1", false);
    ObjectRecord* file = Menu("&File;&Open;&Save", false);
    ASSERT_TRUE(a && b && file);
    ASSERT_EQ(WebMenu(file)->baseNumber, 300) << "the third menu of an empty table has base 300";
    EXPECT_EQ(ItemsOf(file), "301:Open/0/0,302:Save/0/0,");
    WebInsertItem(file, 0, "&New", 4);
    EXPECT_EQ(ItemsOf(file), "301:New/0/0,302:Open/0/0,303:Save/0/0,") << "an insert at 1 renumbers the rest";
    WebInsertItem(file, -5, "Last", 4);
    EXPECT_EQ(ItemsOf(file), "301:New/0/0,302:Open/0/0,303:Save/0/0,304:Last/0/0,") << "a negative place appends";
    Posts();

    // The bar: File with order 5, then B with order 2 goes in front of it.
    WebMenu(file)->menuOrder = 5;
    WebMenu(b)->menuOrder = 2;
    WebActivateObject(file, 0, 0, 0, 0);
    WebActivateObject(b, 0, 0, 0, 0);
    std::string posts = Posts();
    std::string wid = std::to_string(window->elementId);
    size_t lastBar = posts.rfind("\"action\": 36");
    ASSERT_NE(lastBar, std::string::npos) << posts;
    std::string bar = posts.substr(lastBar);
    size_t posB = bar.find("M200F" + wid), posFile = bar.find("M300F" + wid);
    EXPECT_TRUE(posB != std::string::npos && posFile != std::string::npos && posB < posFile)
        << "a lower MenuOrder goes in front\n" << bar;
    EXPECT_NE(bar.find("\"dwid\": 2"), std::string::npos);

    struct Case {
        std::function<void()> act;
        uint32_t method;
        std::vector<Arg> args;
        std::string expect;
        const char* why;
    };
    const Case kCases[] = {
        {[&] { WebCheckItem(file, 2, 1); WebEnableObject(file, 2, false); }, 6, {N(1)}, "11",
         "GetItemState of a checked, disabled item"},
        {[&] {}, 6, {N(9)}, "-1", "GetItemState of no item"},
        {[&] { WebDeleteItem(file, 0); }, 4, {}, "4", "deleting item 0 does nothing"},
        {[&] { WebDeleteItem(file, 4); }, 4, {}, "3", "deleting item 4"},
        {[&] {}, 7, {N(0)}, "'New'", "GetItemName"},
        {[&] {}, 5, {N(0)}, "0", "GetItemType of a plain item"},
        {[&] {}, 8, {N(0), N(0)}, "1", "Activate is for FloatMenus"},
        {[&] {}, 9, {}, "error -37", "method 9 is unknown"},
    };
    for (const Case& k : kCases) {
        k.act();
        EXPECT_EQ(Call(file, kTypeMenu, k.method, k.args), k.expect) << k.why;
    }
    // MergeType 5 is ignored, 2 is kept.
    PropChange pc = {};
    for (const PropCodeRow* row = PropertyCodeTable; row->code; ++row)
        if (row->id == 277) pc.code = row->code;
    if (pc.code) {
        pc.id = 277;
        pc.value = 2;
        WebSetProp(file, &pc);
        pc.value = 5;
        WebSetProp(file, &pc);
        EXPECT_EQ(WebMenu(file)->mergeType, 2) << "MergeType 5 is ignored";
    }

    // 99 items fill a menu's block of numbers: the 100th is refused.
    ObjectRecord* big = Menu("Big", false);
    ASSERT_NE(big, nullptr);
    for (int i = 0; i < 99; ++i) ASSERT_EQ(WebInsertItem(big, 1000, "x", 1), 0) << i;
    EXPECT_NE(WebInsertItem(big, 1000, "x", 1), 0) << "the 100th item would take the next menu's number";
    EXPECT_EQ(WebMenu(big)->itemCount, 99);
}

TEST_F(WebMenus, TheTwoHundredNinetyFirstMenuIsRefused) {
    std::vector<uint16_t> taken;
    for (uint16_t b; (b = MenuBaseAlloc()) != 0;) taken.push_back(b);
    EXPECT_EQ(Menu("Over;x", false), nullptr) << "no base number left: the menu is refused";
    MenuBaseFree(29100);   // a number no slot gave out changes nothing
    EXPECT_EQ(MenuBaseAlloc(), 0) << "freeing an out-of-range base number is ignored";
    MenuBaseFree(taken.back());
    ObjectRecord* m = Menu("Last;x", false);
    ASSERT_NE(m, nullptr) << "a freed number is given again";
    EXPECT_EQ(WebMenu(m)->baseNumber, taken.back());
    for (uint16_t b : taken) MenuBaseFree(b);
}

TEST_F(WebMenus, PageClicksOpenThePopupAndPostTheItem) {
    ObjectRecord* file = Menu("&File;&Open;(&Gone;&Close");
    ASSERT_NE(file, nullptr);
    Register(file, {kEvClick});
    Posts();
    uint32_t base = WebMenu(file)->baseNumber;
    std::string wid = std::to_string(window->elementId);
    PageEvent("{\"id\": " + wid + ", \"et\": 4, \"ec\": 32, \"em\": 0, \"ev\": 0, \"mn\": " +
              std::to_string(base) + "}");
    std::string posts = Posts();
    EXPECT_NE(posts.find("\"action\": 19"), std::string::npos) << "the popup list goes in first\n" << posts;
    EXPECT_NE(posts.find("id=\\\"M" + std::to_string(base + 1) + "F" + wid), std::string::npos) << posts;
    EXPECT_NE(posts.find("ui-state-disabled"), std::string::npos) << "the disabled item is marked";
    EXPECT_NE(posts.find("\"mk\": 1"), std::string::npos) << "made the first time";
    EXPECT_NE(posts.find("\"f\": \"" + wid + "\""), std::string::npos) << "placed under the bar entry";
    EXPECT_TRUE(Events().empty()) << "a bar entry raises no event";
    PageEvent("{\"id\": " + wid + ", \"et\": 4, \"ec\": 32, \"em\": 0, \"ev\": 0, \"mn\": " +
              std::to_string(base) + "}");
    posts = Posts();
    EXPECT_EQ(posts.find("\"action\": 19"), std::string::npos) << "an unchanged popup is not sent again";
    struct Case {
        uint32_t number;
        std::vector<std::pair<int32_t, int32_t>> events;
        const char* why;
    };
    const Case kCases[] = {
        {base + 1, {{kEvClick, 1}}, "Open: $CLICK with item number less the base"},
        {base + 2, {}, "a disabled item raises nothing"},
        {base + 3, {{kEvClick, 3}}, "Close"},
        {base + 9, {}, "no such item"},
    };
    for (const Case& k : kCases) {
        PageEvent("{\"id\": " + wid + ", \"et\": 4, \"ec\": 32, \"em\": 0, \"ev\": 0, \"mn\": " +
                  std::to_string(k.number) + "}");
        EXPECT_EQ(Events(), k.events) << k.why;
    }
    WebCheckItem(file, 1, 1);
    Posts();
    PageEvent("{\"id\": " + wid + ", \"et\": 4, \"ec\": 32, \"em\": 0, \"ev\": 0, \"mn\": " +
              std::to_string(base) + "}");
    posts = Posts();
    EXPECT_NE(posts.find("\"menu\": \"1\""), std::string::npos) << "a changed popup is deleted\n" << posts;
    EXPECT_NE(posts.find("ui-icon-check"), std::string::npos) << "and sent again with the check";
}

TEST_F(WebMenus, ShortcutTableFollowsTheItems) {
    ObjectRecord* edit = Menu("&Edit;Cu&t/X;&Copy/C;<1Paste;Plain;<CSF12Big", false);
    ASSERT_NE(edit, nullptr);
    uint16_t base = WebMenu(edit)->baseNumber;
    auto entry = [&](uint16_t offset) { return WebMenuShortcutFind(window, static_cast<uint16_t>(base + offset)); };
    struct Case {
        std::function<void()> act;
        uint16_t offset;
        bool present;
        uint8_t key;
        uint32_t flags;
        const char* why;
    };
    const Case kCases[] = {
        {[] {}, 1, true, 'X', kMsfItemEnabled | kMsfCtrl, "Ctrl+X: the key and Ctrl, enabled, menu not shown"},
        {[] {}, 3, true, 0, kMsfItemEnabled | 0x100, "a special menu alone takes an entry: <1 is special menu 6, bit 0x100"},
        {[] {}, 4, false, 0, 0, "an item without either has none"},
        {[] {}, 5, true, 0x70 + 11, kMsfItemEnabled | kMsfCtrl | kMsfShift, "<CSF12: F12 with Ctrl and Shift"},
        {[&] { WebActivateObject(edit, 0, 0, 0, 0); }, 2, true, 'C', kMsfMenuShown | kMsfItemEnabled | kMsfCtrl,
         "showing the menu marks its entries"},
        {[&] { WebEnableObject(edit, 2, false); }, 2, true, 'C', kMsfMenuShown | kMsfCtrl, "a disabled item"},
        {[&] { WebEnableObject(edit, 999, false); }, 1, true, 'X',
         kMsfMenuShown | kMsfItemEnabled | kMsfCtrl | kMsfBarEntryDisabled, "a disabled bar entry marks all"},
        {[&] { WebEnableObject(edit, 999, true); WebInsertItem(edit, 0, "&Undo/Z", 7); }, 2, true, 'X',
         kMsfMenuShown | kMsfItemEnabled | kMsfCtrl, "an insert at 1 moves the later entries up"},
        {[] {}, 1, true, 'Z', kMsfMenuShown | kMsfItemEnabled | kMsfCtrl, "and the new item has its own"},
        {[&] { WebDeleteItem(edit, 2); }, 2, true, 'C', kMsfMenuShown | kMsfCtrl,
         "a removal frees its entry and moves the later ones down"},
        {[&] { WebSetText(edit, 2, "&Copy", 5); }, 2, false, 0, 0, "a new text without a shortcut frees the entry"},
        {[&] { WebHideObject(edit, 0); }, 1, true, 'Z', kMsfItemEnabled | kMsfCtrl, "hiding the menu clears the mark"},
    };
    for (const Case& k : kCases) {
        k.act();
        WebMenuShortcut* e = entry(k.offset);
        ASSERT_EQ(e != nullptr, k.present) << k.why;
        if (!e) continue;
        EXPECT_EQ(e->key, k.key) << k.why;
        EXPECT_EQ(e->flags, k.flags) << k.why;
    }
    ObjectDestroy(edit);
    EXPECT_EQ(WebMenuShortcutFind(window, static_cast<uint16_t>(base + 1)), nullptr) << "a destroyed menu leaves none";

    // A full table of 100 entries drops the next one.
    for (int i = 0; i < 2; ++i) {
        std::string def = "Keys";
        for (int k = 0; k < 60; ++k) def += ";k/A";
        ObjectRecord* keys = Create(kTypeMenu, [&](ObjectCreateRecord* c) {
            c->text = CrText{def.c_str(), static_cast<uint32_t>(def.size())};
            c->flags0 &= ~kCrVisible;
        });
        ASSERT_NE(keys, nullptr);
    }
    EXPECT_EQ(WebWin(window)->menuShortcutCount, kMenuShortcutsMax) << "the count covers the 100 entries in use";
}

TEST_F(WebMenus, ThePageHoldsTheActiveShortcutsAndOneBarForManyChanges) {
    ObjectRecord* file = Menu("&File;&Open/O;&Close", false);
    ASSERT_NE(file, nullptr);
    Register(file, {kEvClick});
    uint16_t base = WebMenu(file)->baseNumber;
    std::string wid = std::to_string(window->elementId);
    Posts();
    WebActivateObject(file, 0, 0, 0, 0);
    std::string posts = Posts();
    std::string keys = "\"dwid\": 3, \"keys\": \"79,1,0," + std::to_string(base + 1) + "\"";
    EXPECT_NE(posts.find(keys), std::string::npos) << "shown, its Ctrl+O goes to the page\n" << posts;
    for (int i = 0; i < 10; ++i) WebInsertItem(file, 1000, "More", 4);
    WebCheckItem(file, 1, 1);
    EXPECT_EQ(Posts().find("\"action\": 36"), std::string::npos) << "item changes leave the bar and the keys as they are";
    auto key = [&](uint32_t number) {
        PageEvent("{\"id\": " + wid + ", \"et\": 4, \"ec\": 32, \"em\": 8, \"ev\": 0, \"sc\": 1, \"mn\": " +
                  std::to_string(number) + "}");
        return Events();
    };
    EXPECT_EQ(key(base + 1), (std::vector<std::pair<int32_t, int32_t>>{{kEvClick, 1}})) << "Ctrl+O clicks Open";
    EXPECT_TRUE(key(base + 2).empty()) << "an item without a shortcut is no key's";
    WebEnableObject(file, 1, false);
    EXPECT_NE(Posts().find("\"dwid\": 3, \"keys\": \"\""), std::string::npos) << "a disabled item's key leaves the page";
    EXPECT_TRUE(key(base + 1).empty()) << "and a key the page still sent gives nothing";
    WebEnableObject(file, 1, true);
    WebHideObject(file, 0);
    posts = Posts();
    EXPECT_NE(posts.find("\"dwid\": 2"), std::string::npos) << "hiding changes the bar";
    EXPECT_NE(posts.find("\"keys\": \"\""), std::string::npos);
    EXPECT_TRUE(key(base + 1).empty()) << "a hidden menu's key gives nothing";
}

// ---- Toolbars ---------------------------------------------------------------------------------

// Every queued event as "event/modifiers/value".
std::vector<std::string> EventsWithModifiers() {
    std::vector<std::string> out;
    EventRecord ev = {};
    EventItem items[kEventRegItems];
    uint32_t count = 0;
    while (EventTakeNext(&ev, items, &count))
        out.push_back(std::to_string(ev.eventId) + "/" + std::to_string(ev.modifiers) + "/" + std::to_string(ev.value));
    return out;
}

struct ButtonDef {
    int32_t style;
    int32_t image;
    const char* menuText;
    const char* toolTip;
    bool visible;
};

class WebToolBars : public WebLists {
protected:
    ObjectRecord* Bar(bool visible = true, int32_t downArrow = 0) {
        return Create(kTypeToolbar, [=](ObjectCreateRecord* c) {
            if (!visible) c->flags0 &= ~kCrVisible;
            c->values[211] = downArrow;
            c->given[211] = 1;
        });
    }
    ObjectRecord* Button(ObjectRecord* bar, const ButtonDef& d, int32_t tag = 0) {
        ObjectCreateRecord b;
        CreateRecordReset(&b);
        b.flags0 = d.visible ? kCrVisible : 0;
        const int32_t values[][2] = {{216, d.style}, {217, d.image}, {220, tag}};
        for (const auto& v : values) {
            b.values[v[0]] = v[1];
            b.given[v[0]] = 1;
        }
        if (d.menuText) b.texts[221] = CrText{d.menuText, static_cast<uint32_t>(strlen(d.menuText))};
        if (d.toolTip) b.toolTip = CrText{d.toolTip, static_cast<uint32_t>(strlen(d.toolTip))};
        int32_t code = 0;
        return ToolBarAddButton(bar, &b, &code);
    }
    std::string Flush() {
        gWebObjectOps.flushRedraws(nullptr);
        return Posts();
    }
    std::string Click(ObjectRecord* bar, uint32_t commandId, int32_t item, int32_t dbl) {
        return "{\"et\": 99973, \"name\": \"C" + std::to_string(bar->elementId) + "I" + std::to_string(commandId) +
               "\", \"em\": " + std::to_string(item) + ", \"ev\": " + std::to_string(dbl) + "}";
    }
};

TEST_F(WebToolBars, FlushSendsTheButtonsOfShownBars) {
    struct Case {
        std::vector<ButtonDef> buttons;
        bool visible;
        int32_t downArrow;
        std::vector<std::string> present, absent;
        const char* why;
    };
    const Case kCases[] = {
        {{{3, 1, nullptr, "Shown", true}, {3, 2, nullptr, "Gone", false}}, true, 0, {"Shown"}, {"Gone"},
         "a hidden button has no markup"},
        {{{3, 1, nullptr, "Early", true}}, false, 0, {}, {"\"action\": 54", "Early"},
         "a bar that is not shown stays queued: nothing is sent"},
        {{{1, 2, "Red", "Pick", true}}, true, 0,
         {"qovtbs2 qovtbse", "\"seli\":[\"<div class='qovtbi' style='background-position: -16px 0px;margin-top: 3px; "
                             "margin-left: 3px;'></div>\"]"},
         {"qovtbs1", "<button"}, "style 1 without DownArrow is a whole drop-down, its image in \"seli\""},
        {{{1, 2, "Red", "Pick", true}}, true, 1, {"<button class='qovtbbe qovtbs3'", "qovtbs1 qovtbse", "\"seli\":[]"},
         {"qovtbs2"}, "with DownArrow a push button and its arrow list"},
        {{{6, 0, nullptr, "a", true}, {6, 0, nullptr, "b", true}, {3, 0, nullptr, "c", true}, {6, 0, nullptr, "d", true}},
         true, 0, {"name='C@R1' class='qovtbcr qovtbbe' id='C@I1'", "name='C@R1' class='qovtbcr qovtbbe' id='C@I2'",
                   "name='C@R4' class='qovtbcr qovtbbe' id='C@I4'"},
         {}, "two runs of radio buttons are two groups"},
        {{{2, 0, "Red;-;(Blue", nullptr, true}}, true, 0,
         {"<option value='1'>Red</option><option value='2'>-</option><option value='3' disabled>Blue</option>"}, {},
         "a MenuText gives its options, a separator as \"-\", a disabled item disabled"},
        {{{3, 1, nullptr, "Tip", true}}, true, 0,
         {"padding-top: 3px; padding-left: 3px; height: 22px; width: 23px", "background-position: -0px 0px;'"}, {},
         "a push button 23 wide with 16-pixel images is padded 3 and shows the first image"},
        {{{3, 1, nullptr, "it's <b>", true}}, true, 0, {"title='it&#39;s &lt;b&gt;'"}, {"title='it's"},
         "the title is escaped"},
        {{{4, 0, nullptr, nullptr, true}}, true, 0, {"<span class='qovtbs4 ui-controlgroup-item' style='margin-left: 4px; height: 18px'>"}, {},
         "a separator of a bar without divider"},
    };
    for (const Case& k : kCases) {
        ObjectRecord* bar = Bar(k.visible, k.downArrow);
        ASSERT_NE(bar, nullptr) << k.why;
        for (const ButtonDef& d : k.buttons) ASSERT_NE(Button(bar, d), nullptr) << k.why;
        std::string posts = Flush();
        std::string id = std::to_string(bar->elementId);
        for (std::string p : k.present) {
            for (size_t at = p.find('@'); at != std::string::npos; at = p.find('@')) p.replace(at, 1, id);
            EXPECT_NE(posts.find(p), std::string::npos) << k.why << ": " << p << "\n" << posts;
        }
        for (const std::string& a : k.absent) EXPECT_EQ(posts.find(a), std::string::npos) << k.why << ": " << a;
        if (!k.visible) {
            ObjectActivate(bar, 0, 0, 0, 0);
            EXPECT_NE(Flush().find("Early"), std::string::npos) << "shown, the queued bar is sent";
        }
        ObjectDestroy(bar);
        Posts();
    }
}

TEST_F(WebToolBars, PageClicksRaiseTheBarsEvents) {
    ObjectRecord* bar = Bar();
    ASSERT_NE(bar, nullptr);
    const ButtonDef defs[] = {{3, 1, nullptr, "Push", true}, {2, 2, "Red;Green", nullptr, true},
                              {5, 0, nullptr, nullptr, true}, {6, 0, nullptr, nullptr, true},
                              {6, 0, nullptr, nullptr, true}};
    for (int i = 0; i < 5; ++i) ASSERT_NE(Button(bar, defs[i], 10 + i), nullptr);
    Register(bar, {kEvClick, kEvDblClick, 26});
    Flush();
    auto pushed = [&](uint32_t id) {
        for (WebToolButtonRecord* b = WebToolBar(bar)->buttons; b; b = b->nextItem)
            if (b->commandId == id) return (b->state & kTbsPushed) != 0;
        return false;
    };
    struct Case {
        uint32_t commandId;
        int32_t item, dbl;
        std::vector<std::string> events;
        const char* why;
    };
    const Case kCases[] = {
        {1, 0, 0, {"4/8/1", "26/0/10"}, "a push button: $CLICK with the command id, $BUTTONCLICK with the Tag"},
        {2, 2, 0, {"26/2/11"}, "a drop-down choice: $BUTTONCLICK with the item as modifiers"},
        {1, 0, 1, {"6/40/1"}, "a double click: $DBLCLICK with modifiers 40"},
        {2, 1, 1, {}, "a double-clicked choice raises nothing"},
        {9, 0, 0, {"4/8/9"}, "a click on no button still raises $CLICK"},
        {1, 70000, 0, {}, "an item beyond the range is dropped"},
    };
    for (const Case& k : kCases) {
        PageEvent(Click(bar, k.commandId, k.item, k.dbl));
        EXPECT_EQ(EventsWithModifiers(), k.events) << k.why;
    }
    PageEvent(Click(bar, 3, 0, 0));
    EventsWithModifiers();
    EXPECT_TRUE(pushed(3)) << "a check button toggles on";
    PageEvent(Click(bar, 4, 0, 0));
    PageEvent(Click(bar, 5, 0, 0));
    EventsWithModifiers();
    EXPECT_TRUE(!pushed(4) && pushed(5)) << "a radio button clears the others of its run";
    WebEnableObject(bar, 0, false);
    PageEvent(Click(bar, 1, 0, 0));
    EXPECT_TRUE(EventsWithModifiers().empty()) << "a disabled bar raises nothing";
    EXPECT_NE(Flush().find("\"dwid\": 4"), std::string::npos) << "and is sent disabled";
}

TEST_F(WebToolBars, MethodsPropertiesAndHeldButtons) {
    ObjectRecord* bar = Bar();
    ASSERT_NE(bar, nullptr);
    auto names = [&]() {
        std::string out;
        for (WebToolButtonRecord* b = WebToolBar(bar)->buttons; b; b = b->nextItem)
            out += std::string(b->hdr.runName ? b->hdr.runName : "?") + "#" + std::to_string(b->commandId) + ",";
        return out;
    };
    for (int i = 0; i < 3; ++i) EXPECT_EQ(Call(bar, kTypeToolbar, 1, {}), "0");
    EXPECT_EQ(names(), "ToolBtn001#1,ToolBtn002#2,ToolBtn003#3,");
    EXPECT_EQ(Call(bar, kTypeToolbar, 3, {N(1)}), "0") << "RemoveButton answers 0 when it removed one";
    EXPECT_EQ(Call(bar, kTypeToolbar, 3, {T("ToolBtn009")}), "1") << "and 1 for no such button";
    EXPECT_EQ(Call(bar, kTypeToolbar, 1, {}), "0");
    EXPECT_EQ(names(), "ToolBtn001#1,ToolBtn003#3,ToolBtn003#4,") << "the name follows the count, the id moves on";
    struct Reply {
        uint32_t method;
        std::vector<Arg> args;
        std::string answer;
        const char* why;
    };
    const Reply kReplies[] = {
        {4, {N(0)}, "1", "SetImageList"},      {5, {N(0)}, "0", "SetImageListDisabled"},
        {6, {N(0)}, "0", "SetImageListHot"},   {8, {}, "2", "SetFocus: the bar takes no focus"},
        {9, {}, "1", "ResetImageList"},        {12, {T("x.bmp"), N(0)}, "1", "WriteImageListBmp writes nothing"},
        {13, {N(0x80), N(1)}, "129", "SetTBFlags answers the new low byte (client tips and the buttons object)"},
        {99, {}, "error -37", "an unknown method"},
    };
    for (const Reply& r : kReplies) EXPECT_EQ(Call(bar, kTypeToolbar, r.method, r.args), r.answer) << r.why;

    // An item selector names the button a property change goes to.
    PropChange req = {};
    req.code = 423;
    req.text = "Second";
    req.textLength = 6;
    req.selector.kind = kItemInt;
    req.selector.value = 1;
    EXPECT_EQ(WebSetProp(bar, &req), 0);
    EXPECT_STREQ(WebToolBar(bar)->buttons->nextItem->hdr.toolTip, "Second") << "index 1 is the second button";
    PropQuery q = {};
    q.code = 423;
    q.selector.kind = kItemInt;
    q.selector.value = 1;
    EXPECT_EQ(WebGetPropGeneric(bar, &q), 0);
    EXPECT_STREQ(q.text, "Second") << "a query by selector reads the button";
    req.selector.value = 7;
    WebSetProp(bar, &req);
    EXPECT_EQ(bar->toolTip, nullptr) << "a selector that names no button changes nothing, not the bar";

    // A button handed to the server outlives the server's release while on the bar.
    resultVar = 77;
    MethodCallRec get = {};
    get.objectType = kTypeToolbar;
    get.method = 2;
    get.argCount = 1;
    get.argPresent[0] = 1;
    get.args[0].kind = kItemInt;
    get.args[0].value = 0;
    get.result.kind = kItemObject;
    get.result.varRef = 77;
    gReplies.clear();
    EXPECT_EQ(WebCallMethod(bar, &get), kWebNoAnswer);
    ObjectRecord* first = &WebToolBar(bar)->buttons->hdr;
    EXPECT_EQ(gReplies.back(), std::to_string(first->handle));
    EXPECT_EQ(ObjectDestroy(first), 0);
    EXPECT_EQ(&WebToolBar(bar)->buttons->hdr, first) << "the server's release leaves the button on its bar";
    EXPECT_EQ(ObjectDestroy(first), kOpNoObject) << "out of the registry until handed out again";
    EXPECT_EQ(WebCallMethod(bar, &get), kWebNoAnswer);
    EXPECT_TRUE(ObjectIsLive(first)) << "handed out again, it is registered again";
}
