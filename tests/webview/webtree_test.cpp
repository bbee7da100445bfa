// webtree_test.cpp - tree views of the web view against the recording page: node
// ids, inserts and relations, expansion, the markup and its images, the texts
// asked as UTF-8, clicks, keys and checks, deep trees, and the XML contents.

#include "weblists_test.h"

#include <cstring>

#include "objects/events.h"
#include "session/util/codepage.h"
#include "session/util/mem.h"
#include "tests/testutil.h"
#include "webtest.h"
#include "webview/controls/webdrawn.h"
#include "webview/controls/weblist.h"
#include "webview/controls/webtree.h"
#include "webview/controls/webxml.h"
#include "webview/core/webgeneric.h"
#include "webview/core/webprops.h"
#include "webview/core/webobject.h"
#include "webview/core/weboptions.h"
#include "webview/core/webtext.h"

namespace {

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

class WebTreeXml : public WithXmlFiles<WebTrees> {
protected:
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

TEST_F(WebTreeXml, TreeNamesAndRoundTrips) {
    ObjectRecord* tv = Create(kTypeTreeview, nullptr);
    uint32_t fruits = Node(tv, "Fruits");
    Node(tv, "apple", fruits);
    Node(tv, "pear", fruits, 2);
    uint32_t more = Node(tv, "1 more thing");
    Node(tv, "only child", more);
    uint32_t xml = Node(tv, "XMLish");
    Node(tv, "  ", xml);
    const std::string longName(81, 'n');
    const std::string longTag(80, 'n');  // the tag name keeps 80 of its 81 letters
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
          "<_XMLish tvn=\"XMLish\">\n\t\t<__d1>  </__d1>", "<" + longTag + " tvn=\"" + longName + "\" tvi=\"4\" tvp=\"9\" tvs=\"4\">",
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

TEST_F(WebTreeXml, TreeSingleNodesAndLoads) {
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

TEST_F(WebTreeXml, TreeSaverWalksWithoutRecursionAndSizes) {
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
