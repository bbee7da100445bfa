// webtabs_test.cpp - tab controls of the web view against the recording page:
// every tab change told to the page, labels, limits, methods, page switches,
// and the markup of a tab's image.

#include "weblists_test.h"

#include <cstring>

#include "objects/events.h"
#include "objects/objtables.h"
#include "session/util/mem.h"
#include "webtest.h"
#include "webview/controls/webtabs.h"
#include "webview/core/webgeneric.h"
#include "webview/core/webprops.h"
#include "webview/core/webobject.h"

namespace {

std::string TabsOf(ObjectRecord* rec) {
    std::string out;
    for (WebTabNode* n = WebTabs(rec)->tabs; n; n = n->next) out += std::string(n->label) + "|";
    return out;
}

TEST_F(WebLists, TabControlTellsThePageOfEveryTabChange) {
    ObjectRecord* tc = Create(kTypeTabcontrol, [](ObjectCreateRecord* c) {
        c->texts[kPidTabLabel] = CrText{"&One;T&wo;Three", 15};
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
        {[&] { WebSetText(tc, 2, "N&ew", 4); }, "li:eq(\\\"1\\\") a\", \"dwid\": 4, \"val\": \"N<u>e</u>w\"",
         "Zero|N&ew|T&wo|Three|Four|Neg|", "a new label replaces the anchor's contents by selector, its hot key underlined"},
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
    ObjectRecord* tc = Create(kTypeTabcontrol, [](ObjectCreateRecord* c) { c->texts[kPidTabLabel] = CrText{"a;b;c", 5}; });
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
    ObjectRecord* tc = Create(kTypeTabcontrol, [](ObjectCreateRecord* c) { c->texts[kPidTabLabel] = CrText{"a;b;c", 5}; });
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
        {"Fi&le", -1, "images/x.png", "Fi<u>l</u>e", "no image index: the label only, its hot key underlined"},
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

}  // namespace
