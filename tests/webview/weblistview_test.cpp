// weblistview_test.cpp - list views of the web view against the recording page:
// columns, rows and cells, the markup, sorting, single changes patched in place,
// the events of the page's clicks, the delimited text and the XML contents.

#include "weblists_test.h"

#include <cstring>

#include "objects/events.h"
#include "session/util/codepage.h"
#include "session/util/digits.h"
#include "session/util/mem.h"
#include "webtest.h"
#include "webview/controls/weblist.h"
#include "webview/controls/weblistview.h"
#include "webview/controls/weblvtext.h"
#include "webview/controls/webxml.h"
#include "webview/core/webgeneric.h"
#include "webview/core/webobject.h"
#include "webview/core/weboptions.h"
#include "webview/core/webtext.h"

namespace {

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
        std::string line;
        bool quoted;
        std::vector<std::string> fields;
        const char* why;
    };
    const Field kFields[] = {
        {"a,b,,c", false, {"a", "b", "", "c"}, "plain fields"},
        {"\"x,y\",z", true, {"x,y", "z"}, "a quoted delimiter"},
        {"\"x\"junk,z", true, {"x"}, "a character after the closing quote ends the line"},
        {"a\x01" "b,c", false, {"a"}, "a control character ends the field and the line"},
        {std::string("\"a\0b\",c", 7), true, {"a"}, "a zero byte ends the text inside quotes too"},
    };
    for (const Field& k : kFields) {
        std::vector<std::string> got;
        uint32_t at = 0, n = 0, len = static_cast<uint32_t>(k.line.size());
        char out[64];
        while (at <= len && ListViewNextField(k.line.c_str(), len, &at, ',', k.quoted, false, out, sizeof out, &n))
            got.push_back(std::string(out, n));
        EXPECT_EQ(got, k.fields) << k.why;
    }
    gWebListFiles = WebListFileServices{};
}

// ---- Contents as XML --------------------------------------------------------------------------------

class WebListXml : public WithXmlFiles<WebListViews> {
protected:
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
};


TEST_F(WebListXml, ListElementNamesAreWellFormedAndComeBack) {
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

TEST_F(WebListXml, ListSaveOptions) {
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

TEST_F(WebListXml, ListLoadsMakeColumnsAndRows) {
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
    // A name holding a NUL is no file: cut there, it would read lvnul.xml.
    FILE* present = fopen("lvnul.xml", "wb");
    ASSERT_NE(present, nullptr);
    fputs(kept, present);
    fclose(present);
    ASSERT_EQ(Lv(lv, 51, {T("!lvnul.xml"), N(0)}), "0") << "the file itself loads";
    EXPECT_EQ(Lv(lv, 51, {Bytes(std::string("!lvnul.xml\0x", 12)), N(0)}), "200") << "a name holding a NUL";
    remove("lvnul.xml");
    EXPECT_EQ(Lv(lv, 51, {T("<?xml version=\"1.0\"?><T><L><A>1</A></L></T>"), N(0), T("T"), T("L")}), "0");
    EXPECT_EQ(ListDump(lv), "A|\n0,0:1|\n") << "table and row names given";
}

TEST_F(WebListXml, ListVariableAndSize) {
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

}  // namespace
