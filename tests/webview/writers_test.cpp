// writers_test.cpp - the page text writers: string escaping in each character
// mode, colours, date pictures, element selectors and commands, forms, arrays.
#include <gtest/gtest.h>

#include "session/util/codepage.h"
#include "webtest.h"

class Writers : public ::testing::Test {
protected:
    void SetUp() override {
        ResetChannel();
        savedMode = gCharConvMode;
    }
    void TearDown() override {
        SetCharConvMode(savedMode);
        ResetChannel();
    }
    int savedMode;
};

static std::string Msg() { return gJsonMsgBuf.data ? std::string(gJsonMsgBuf.data, gJsonMsgBuf.length) : ""; }

TEST_F(Writers, StringEscaping) {
    struct Case {
        int mode;
        std::string in;
        std::string out;
        const char* why;
    };
    const Case kCases[] = {
        {0, "a\"b\\c", "a\\\"b\\\\c", "quote and backslash get a backslash"},
        {0, "x\ty", "x y", "a tab becomes a blank"},
        {0, "l1\r\nl2", "l1\\r\\nl2", "CR LF become \\r \\n"},
        {0, std::string("\b\x01", 2), "\\b ", "backspace escaped, other controls blank"},
        {1, "\xE9", "\xC3\xA9", "mode 1: one byte becomes two"},
        {0, "\xE2\x82\xAC", "\xE2\x82\xAC", "mode 0: a sequence is copied"},
        {0, "ab\xE2", "ab\xE2", "a lead byte at the end is copied alone"},
        {0, "\xE2\"}, \"x\": \"", "\xE2\\\"}, \\\"x\\\": \\\"", "a broken sequence cannot swallow a quote"},
        {0, "\xF0\x9F\x98\x80!", "\xF0\x9F\x98\x80!", "a four-byte sequence is copied"},
        {0, "\xC3\\", "\xC3\\\\", "a backslash after a lead byte is still escaped"},
    };
    for (const Case& c : kCases) {
        SetCharConvMode(c.mode);
        JsonBeginAction(46);
        JsonAddString("pv", c.in.data(), static_cast<uint32_t>(c.in.size()));
        EXPECT_EQ(Msg(), "{ \"action\": 46, \"pv\": \"" + c.out + "\"") << c.why;
    }
}

TEST_F(Writers, EscapedMessagesParseBack) {
    // Whatever bytes a text holds, the message stays one object with one member.
    SetCharConvMode(0);
    for (int seed = 0; seed < 200; seed++) {
        std::string text;
        uint32_t x = 2654435761u * static_cast<uint32_t>(seed + 1);
        for (int i = 0; i < 40; i++) {
            x = x * 1103515245u + 12345u;
            const char pool[] = {'"', '\\', '}', ',', ':', 'a', '\n', '\x80', '\xC3', '\xE2', '\xF0', '\xBF'};
            text += pool[(x >> 16) % sizeof pool];
        }
        JsonBeginAction(46);
        JsonAddString("pv", text.data(), static_cast<uint32_t>(text.size()));
        std::string m = Msg() + "}";
        JsonValue* v = JsonParse(m.data(), m.size());
        // The page must be able to read every message: a refused one fails.
        ASSERT_NE(v, nullptr) << "seed " << seed << ": " << m;
        EXPECT_EQ(JsonGetInt(v, "action"), 46) << "seed " << seed;
        EXPECT_FALSE(JsonObjectHasMember(v, "x")) << "seed " << seed;
        const char* pv = JsonGetTextRaw(v, "pv");
        EXPECT_EQ(std::string(pv ? pv : "?"), text) << "seed " << seed << ": the text comes back byte for byte";
        JsonFree(v);
    }
}

TEST_F(Writers, MembersAndArrays) {
    struct Case {
        void (*write)();
        const char* out;
        const char* why;
    };
    static const Case kCases[] = {
        {[] { JsonAddInt("pos", -3); }, ", \"pos\": -3", "number"},
        {[] { JsonAddBool("pv", true); }, ", \"pv\": true", "boolean"},
        {[] { JsonAddStringZ("str", nullptr); }, ", \"str\": \"\"", "a null text is an empty string"},
        {[] { JsonAddColor("c", 0x0000FF); }, ", \"c\": \"#ff0000\"", "pure red"},
        {[] { JsonAddColor("c", 0x80000005); }, ", \"c\": \"#102030\"", "system colour 5"},
        {[] { JsonAddColor("c", 0x80123456); }, ", \"c\": \"#563412\"", "top bit cleared, not an index"},
        {[] {
             JsonBeginArray("seli");
             JsonAddArrayString("a");
             JsonAddArrayString("b");
             JsonEndArray();
         }, ", \"seli\":[\"a\",\"b\"]", "strings: comma only between elements"},
        {[] {
             JsonBeginArray("seli");
             JsonAddArrayString("<img src=\"a\\b\">\"], \"x\": [\"");
             JsonEndArray();
         }, ", \"seli\":[\"<img src=\\\"a\\\\b\\\">\\\"], \\\"x\\\": [\\\"\"]",
         "a quote or backslash in an element is escaped, never ends the string"},
        {[] {
             JsonBeginArray("n");
             JsonAddArrayInt(1, true);
             JsonAddArrayInt(2, false);
             JsonEndArray();
         }, ", \"n\":[1, 2]", "integers"},
        {[] { JsonAddJsHtml(false); }, ", \"html\": \"<b>x</b>\"", "empty script: only html"},
    };
    gWebHooks.sysColor = [](uint32_t i) { return i == 5 ? 0x302010u : 0u; };
    for (const Case& c : kCases) {
        HtmlReset();
        HtmlAppend("<b>x</b>", 0);
        JsonBeginAction(1);
        c.write();
        EXPECT_EQ(Msg(), std::string("{ \"action\": 1") + c.out) << c.why;
    }
}

TEST_F(Writers, DatePictures) {
    struct Case {
        const char* in;
        const char* out;
    };
    static const Case kCases[] = {
        {"dd/MM/yyyy", "dd/mm/yy"}, {"dddd, MMMM d", "DD, MM d"}, {"ddd MMM yy", "D M y"},
        {"'Day' d", "Day d"},       {"M-y", "m-y"},
    };
    for (const Case& c : kCases) {
        char out[64];
        WebDateFormat(c.in, 0, out, sizeof out);
        EXPECT_STREQ(out, c.out) << c.in;
    }
    char small[8];
    WebDateFormat("dd/MM/yyyy", 0, small, sizeof small);
    EXPECT_STREQ(small, "dd/") << "stops before passing the size less 4";
}

TEST_F(Writers, HtmlTexts) {
    struct Case {
        bool br;
        const char* in;
        const char* out;
    };
    static const Case kCases[] = {
        {false, "&&A&b", "&A<u>b</u>"}, {false, "x&", "x"}, {true, "a\r\nb\nc", "a</br>b</br>c"},
        {true, "a\n\nb", "a</br></br>b"},
    };
    for (const Case& c : kCases) {
        HtmlReset();
        if (c.br) HtmlAppendTextBr(c.in, 0);
        else HtmlAppendText(c.in, 0);
        EXPECT_STREQ(gHtmlBuf.data, c.out) << c.in;
    }
    char out[10];
    HtmlLineBreaks("ab\ncd\nef", out, sizeof out);
    EXPECT_STREQ(out, "ab</br>cd") << "the second break has no room and is dropped";
}

TEST_F(Writers, ElementCommands) {
    ObjectRecord check = {};
    check.kind = kKindCheckBox;
    check.elementId = 7;
    ObjectRecord edit = {};
    edit.kind = kKindEditText;
    edit.elementId = 9;
    struct Case {
        void (*send)(ObjectRecord* check, ObjectRecord* edit);
        const char* out;
        const char* why;
    };
    static const Case kCases[] = {
        {[](ObjectRecord* c, ObjectRecord*) { WebSetElemCss(c, "display", "none", true); },
         "{ \"action\": 23, \"en\": \"#C7D\", \"pn\": \"display\", \"pv\": \"none\"}", "wrapper of a check box"},
        {[](ObjectRecord*, ObjectRecord* e) { WebSetElemCss(e, "display", "none", true); },
         "{ \"action\": 23, \"en\": \"#C9\", \"pn\": \"display\", \"pv\": \"none\"}", "an edit has no wrapper"},
        {[](ObjectRecord* c, ObjectRecord*) { WebSetElemText(c, "&Save", true, true); },
         "{ \"action\": 46, \"en\": \"#C7L\", \"pv\": \"Save\"}", "label tested before wrapper"},
        {[](ObjectRecord*, ObjectRecord* e) { WebSetElemPropBool(e, "readonly", true, false); },
         "{ \"action\": 24, \"en\": \"#C9\", \"pn\": \"readonly\", \"pv\": true}", "property"},
        {[](ObjectRecord*, ObjectRecord* e) { WebSetElemState(e, "disabled", false, false); },
         "{ \"action\": 39, \"en\": \"#C9\", \"pn\": \"disabled\", \"pv\": false}", "state"},
        {[](ObjectRecord*, ObjectRecord* e) { WebChangeElemClass(e, nullptr, "qovx", false); },
         "{ \"action\": 38, \"en\": \"#C9\", \"addc\": \"qovx\"}", "classes"},
        {[](ObjectRecord*, ObjectRecord* e) { WebSetElemHtml(e, "<i>a&&b</i>", false, false); },
         "{ \"action\": 26, \"en\": \"#C9\", \"pv\": \"<i>a&b</i>\"}", "inner HTML"},
        {[](ObjectRecord*, ObjectRecord* e) { WebSetElemHtml(e, "&Save", false, false); },
         "{ \"action\": 26, \"en\": \"#C9\", \"pv\": \"<u>S</u>ave\"}", "inner HTML: the mnemonic underlined"},
        {[](ObjectRecord*, ObjectRecord* e) { WebSetElemText(e, nullptr, false, false); }, "", "a null text sends nothing"},
    };
    for (const Case& c : kCases) {
        ResetChannel();
        gCurWebView = &gViewA.page;
        c.send(&check, &edit);
        WebViewMsgFlush();
        if (!*c.out) {
            EXPECT_TRUE(gViewA.page.posts.empty()) << c.why;
            continue;
        }
        ASSERT_EQ(gViewA.page.posts.size(), 1u) << c.why;
        const RecPost& post = gViewA.page.posts[0];
        EXPECT_NE(post.number, 0u) << c.why;
        EXPECT_EQ(post.text, std::string("{ \"msgs\": [") + c.out + "], \"qn\": " + std::to_string(post.number) + "}")
            << c.why;
    }
    ResetChannel();
    WebQueryElemProp(&edit, "value", false, true);
    EXPECT_EQ(Msg(), "{ \"action\": 9, \"en\": \"#C9\", \"pn\": \"value\", \"cv\": 1") << "a query is left open";
}

TEST_F(Writers, FormNames) {
    WindowRecord win = {};
    win.hdr.kind = kKindWindow;
    win.hdr.elementId = 3;
    char formName[] = "F1";
    win.formName = formName;
    ObjectRecord panel = {};
    panel.kind = kKindPanel;
    panel.elementId = 4;
    panel.parent = &win.hdr;
    ObjectRecord inPanel = {};
    inPanel.kind = kKindButton;
    inPanel.parent = &panel;
    static ObjectRecord* sTop;
    sTop = &win.hdr;
    gWebHooks.topWindow = [](ObjectRecord*) { return sTop; };
    struct Case {
        ObjectRecord* rec;
        bool top, wrapper, formDiv, del;
        const char* out;
    };
    const Case kCases[] = {
        {&panel, false, false, true, false, ", \"form\": \"C3N\""},
        {&panel, false, true, false, false, ", \"form\": \"C3D\""},
        {&panel, false, false, false, true, ", \"delform\": \"C3\""},
        {&inPanel, false, true, true, false, ", \"form\": \"C4\""},
        {&inPanel, true, false, true, false, ", \"form\": \"C3N\""},
        {&win.hdr, false, false, false, false, ", \"form\": \"F1\""},
    };
    for (const Case& c : kCases) {
        JsonBeginAction(19);
        JsonAddForm(c.rec, c.top, c.wrapper, c.formDiv, c.del);
        EXPECT_EQ(Msg(), std::string("{ \"action\": 19") + c.out) << c.out;
    }
    sTop = nullptr;
}

TEST_F(Writers, ImagePathsAndSentTexts) {
    gWebHooks.programDir = [] { return "C:\\app\\"; };
    char out[64];
    ASSERT_TRUE(WebImagePath("sub\\a.png", true, out, sizeof out));
    EXPECT_STREQ(out, "./images/sub/a.png");
    ASSERT_TRUE(WebImagePath("sub/a.png", false, out, sizeof out));
    EXPECT_STREQ(out, "C:\\app\\qovwv_html\\images\\sub\\a.png");
    EXPECT_FALSE(WebImagePath(std::string(80, 'n').c_str(), true, out, sizeof out)) << "too long: refused";
    EXPECT_TRUE(WebTextIsNew("abc", 3));
    EXPECT_FALSE(WebTextIsNew("abc", 3));
    EXPECT_TRUE(WebTextIsNew("abd", 3));
}
