// htmlrules_test.cpp - the HTML control's platform-free rules: the page text
// the browser gets (QOVWIN comments, the style rule, character 127, the stored
// text left alone), the wrapper page, the host flags, event lists, tab ids and
// order, the JSON event text against the project's JSON reader, and the
// style names.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "com/core/htmlrules.h"
#include "session/util/json.h"

namespace {

std::string Built(const std::string& in, bool ansi127, bool url, uint32_t color) {
    HtmlPageText page;
    EXPECT_TRUE(HtmlPageTextBuild(in.data(), in.size(), ansi127, url, color, &page));
    std::string out(page.data, page.length);
    EXPECT_EQ(strlen(page.data), page.length) << "the copy ends with a NUL";
    HtmlPageTextFree(&page);
    return out;
}

TEST(HtmlRules, PageTextRewriting) {
    const std::string rule = "* { margin: 0; padding: 0 } body { background-color: #ff0000; } ";
    struct Case { std::string in; bool ansi127, url; std::string want; const char* why; };
    const Case kCases[] = {
        {"<p>a</p>", false, false, "<p>a</p>", "no style, no marker: unchanged"},
        {"<style>p{}</style>", false, false, "<style>" + rule + "p{}</style>", "the rule right after <style>"},
        {"<style></style><style>", false, false, "<style>" + rule + "</style><style>", "only the first <style>"},
        {"<!-- QOVWIN<b>x</b>-->", false, false, "           <b>x</b>   ", "marker and end become blanks"},
        {"<!-- QOVWIN a --> <!-- QOVWIN b -->", false, false, "            a     " "            b    ",
         "the search goes on after each end"},
        {"<!-- QOVWIN a --> <!-- QOVWIN b", false, false, "            a     <!-- QOVWIN b",
         "a marker without an end stays"},
        {"<!-- other -->", false, false, "<!-- other -->", "other comments stay"},
        {"a\x7f" "b", true, false, "a b", "127 becomes a blank for the ANSI code page"},
        {"a\x7f" "b", false, false, "a\x7f" "b", "127 stays for UTF-8 and explicit code pages"},
        {"http://x/<style>", false, true, "http://x/<style>", "a URL is never rewritten"},
        {"<!-- QOVWIN x-->", false, true, "<!-- QOVWIN x-->", "nor its comments opened"},
        {"", false, false, "", "an empty text"},
    };
    for (const Case& c : kCases) EXPECT_EQ(Built(c.in, c.ansi127, c.url, 0x0000FF), c.want) << c.why;
}

TEST(HtmlRules, TheStoredTextIsNeverChanged) {
    // The control keeps its InnerHtml for read-back; the rewriting works on a copy.
    std::string stored = "<!-- QOVWIN<i>\x7f</i>--><style>";
    const std::string before = stored;
    Built(stored, true, false, 0);
    EXPECT_EQ(stored, before);
}

TEST(HtmlRules, LongTextsTakeTheHeap) {
    std::string in(30000, 'x');
    in.replace(25000, 7, "<style>");
    std::string out = Built(in, false, false, 0x123456);
    EXPECT_EQ(out.size(), in.size() + strlen("* { margin: 0; padding: 0 } body { background-color: #563412; } "));
    EXPECT_EQ(out.substr(25007, 10), "* { margin") << "the rule sits after the late <style>";
}

TEST(HtmlRules, ConversionCodePages) {
    struct Case { uint32_t given, want; const char* why; };
    const Case kCases[] = {
        {0, 65001, "0 means UTF-8"}, {1, 0, "1 to 399: the ANSI code page"}, {100, 0, "the ANSI code page"},
        {399, 0, "the last ANSI value"}, {400, 400, "400 and above as given"}, {1252, 1252, "Western"},
    };
    for (const Case& c : kCases) EXPECT_EQ(HtmlConversionCodePage(c.given), c.want) << c.why;
    // Character 127 becomes a blank only where the conversion is the ANSI one.
    EXPECT_EQ(Built("a\x7f", HtmlConversionCodePage(100) == 0, false, 0), "a ");
    EXPECT_EQ(Built("a\x7f", HtmlConversionCodePage(0) == 0, false, 0), "a\x7f");
    EXPECT_EQ(Built("a\x7f", HtmlConversionCodePage(1252) == 0, false, 0), "a\x7f");
}

TEST(HtmlRules, ColoursAsHtmlHex) {
    struct Case { uint32_t color; const char* want; };
    const Case kCases[] = {{0x0000FF, "#ff0000"}, {0xFF0000, "#0000ff"}, {0x00ABCDEF, "#efcdab"}, {0, "#000000"}};
    for (const Case& c : kCases) {
        char out[kHtmlHexColorSize];
        ColorToHtmlHex(c.color, out);
        EXPECT_STREQ(out, c.want);
    }
}

TEST(HtmlRules, WrapperPageAndBlankPage) {
    EXPECT_EQ(strlen(kHtmlBlankPage), 94u);
    struct Case { std::string in; bool iframe; std::string want; };
    const std::string head = "<html><head><meta http-equiv='X-UA-Compatible' content='IE=edge' /></head><body>";
    const Case kCases[] = {
        {"<iframe src='a'>", true, head + "<iframe src='a'></body></html>"},
        {"<body><iframe>", true, "<body><iframe>"},
        {"<IFRAME>", false, head + "<IFRAME></body></html>"},
    };
    for (const Case& c : kCases) {
        EXPECT_EQ(HtmlTextHasIframe(c.in.data(), c.in.size()), c.iframe) << c.in << ": the search is case-sensitive";
        HtmlPageText page;
        ASSERT_TRUE(HtmlWrapperPageBuild(c.in.data(), c.in.size(), &page));
        EXPECT_EQ(std::string(page.data, page.length), c.want);
        HtmlPageTextFree(&page);
    }
}

TEST(HtmlRules, HostFlags) {
    struct Case { uint32_t load, want; const char* why; };
    const Case kCases[] = {
        {0, 12, "no scroll bars, no 3-D border"},
        {kHtmlLoadScroll | kHtmlLoad3dBorder, 0, "both shown"},
        {kHtmlLoadScroll, 4, "scroll bars only"},
        {kHtmlLoad3dBorder | kHtmlLoadHook, 8, "border only; other bits do not count"},
    };
    for (const Case& c : kCases) EXPECT_EQ(HtmlHostUiFlags(c.load), c.want) << c.why;
}

TEST(HtmlRules, EventListsAndMarks) {
    struct Case { const char* list; bool tab; uint32_t marks; bool generic; const char* why; };
    const Case kCases[] = {
        {"click  click dblclick foo", false, (1u << kWebEvClick) | (1u << kWebEvDblClick), false,
         "click once, dblclick, an unknown word ignored"},
        {"", true, 1u << kWebEvFocus, false, "a tab id alone: only onfocus"},
        {"focus", true, 1u << kWebEvFocus, true, "tab id and focus: both reports"},
        {"focus", false, 1u << kWebEvFocus, true, "focus listed"},
        {"Click CLICK", false, 0, false, "names are case-sensitive"},
        {"   blur   change ", false, (1u << kWebEvBlur) | (1u << kWebEvChange), false, "runs of blanks"},
        {"click\tdblclick", false, 0, false, "only the space separates"},
    };
    for (const Case& c : kCases) {
        bool generic = true;
        EXPECT_EQ(WebEventMarks(c.list, strlen(c.list), c.tab, &generic), c.marks) << c.why;
        EXPECT_EQ(generic, c.generic) << c.why;
    }
    for (uint8_t id = kWebEvClick; id < kWebEvCount; ++id)
        EXPECT_EQ(WebEventIdOf(WebEventName(id), strlen(WebEventName(id))), id);
}

TEST(HtmlRules, TabIds) {
    struct Case { const char* text; int32_t want; const char* why; };
    const Case kCases[] = {
        {" 12ab", 12, "blank skipped, digits up to the letter"},
        {"-3", 0, "no sign"},
        {"", 0, "no digit"},
        {"abc", 0, "no digit"},
        {"99999999999", INT32_MAX, "too large stays at the top"},
        {"                                7", 0, "only the first 32 bytes count"},
    };
    for (const Case& c : kCases) EXPECT_EQ(WebTabIdParse(c.text, strlen(c.text)), c.want) << c.why;
}

TEST(HtmlRules, TabOrder) {
    // List order is newest first: reverse document order.
    const int32_t ids[] = {5, -1, 2, 0, 5, 9, 2};
    struct Case { int32_t current; bool forward; int32_t want; const char* why; };
    const Case kCases[] = {
        {0, true, 2, "the first: smallest above 0, the first of the equal ids"},
        {2, true, 0, "then 5, first of two"},
        {5, true, 5, "then 9"},
        {9, true, -1, "nothing after the last"},
        {32767, false, 5, "the last"},
        {5, false, 2, "backward to 2"},
        {2, false, -1, "0 and -1 never count"},
    };
    for (const Case& c : kCases)
        EXPECT_EQ(WebTabPick(ids, sizeof ids / sizeof ids[0], c.current, c.forward), c.want) << c.why;
}

TEST(HtmlRules, EventJsonAlwaysParses) {
    struct Case { const char* id; const char* target; };
    const Case kCases[] = {
        {"plain", "child"}, {"quo\"te", "back\\slash"}, {"ctl\x01\x1f", "\n\t\r"}, {"", ""}, {"\xc3\xa9t\xc3\xa9", "x"},
    };
    std::vector<char> out(kWebEventJsonSize);
    for (const Case& c : kCases) {
        WebEventFields f = {"click", c.id, c.target, -4, 17, true, 65};
        size_t n = WebEventJson(&f, out.data(), out.size());
        ASSERT_GT(n, 0u) << c.id;
        JsonValue* v = JsonParse(out.data(), n);
        ASSERT_NE(v, nullptr) << out.data();
        EXPECT_STREQ(JsonGetTextRaw(v, "id"), c.id);
        EXPECT_STREQ(JsonGetTextRaw(v, "target"), c.target);
        EXPECT_STREQ(JsonGetTextRaw(v, "type"), "click");
        EXPECT_EQ(JsonGetInt(v, "pageX"), -4);
        EXPECT_EQ(JsonGetInt(v, "pageY"), 17);
        EXPECT_EQ(JsonGetInt(v, "metaKey"), 1) << "metaKey carries the Ctrl state";
        EXPECT_EQ(JsonGetInt(v, "which"), 65);
        JsonFree(v);
    }
}

TEST(HtmlRules, EventJsonFitsTheWholeArea) {
    // The three texts share a 2040-byte area; all of it escaped still fits.
    std::string worst(kWebEventTextArea - 3, '\x01');
    std::vector<char> out(kWebEventJsonSize);
    WebEventFields f = {worst.c_str(), "", "", INT32_MIN, INT32_MIN, false, INT32_MIN};
    EXPECT_GT(WebEventJson(&f, out.data(), out.size()), worst.size() * 6);
    char small[16];
    EXPECT_EQ(WebEventJson(&f, small, sizeof small), 0u) << "too small: nothing, never an overrun";
    EXPECT_STREQ(small, "");
}

TEST(HtmlRules, CopyCut) {
    char out[32];
    std::string forty(40, 'e');
    EXPECT_EQ(HtmlCopyCut(out, sizeof out, forty.c_str()), 31u) << "element ids keep 31 characters";
    EXPECT_EQ(std::string(out), forty.substr(0, 31));
    EXPECT_EQ(HtmlCopyCut(out, sizeof out, nullptr), 0u);
}

TEST(HtmlRules, StyleNames) {
    struct Case { const char* name; int index; HtmlStyleFace face; };
    const Case kCases[] = {
        {"fontFamily", 0, kStyleFace1}, {"COLOR", 6, kStyleFace1}, {"filter", 72, kStyleFace1},
        {"tablelayout", 73, kStyleFace2}, {"overflowY", 84, kStyleFace2}, {"wordWrap", 85, kStyleFace3},
        {"textAlignLast", 86, kStyleFace3}, {"minHeight", 88, kStyleFace4}, {"MAXWIDTH", 91, kStyleFace5},
        {"colour", -1, kStyleFace1}, {"", -1, kStyleFace1},
    };
    for (const Case& c : kCases) {
        EXPECT_EQ(HtmlStyleIndex(c.name), c.index) << c.name;
        if (c.index >= 0) {
            EXPECT_EQ(HtmlStyleFaceOf(c.index), c.face) << c.name;
        }
    }
    for (int i = 0; i < kHtmlStyleNameCount; ++i) EXPECT_EQ(HtmlStyleIndex(HtmlStyleName(i)), i) << "names unique";
}

}  // namespace
