// xml_json_test.cpp - the XML writer and reader, and JSON values.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "session/util/codepage.h"
#include "session/util/json.h"
#include "session/util/xml.h"
#include "testenv.h"
#include "tests/testutil.h"

namespace {

struct Collected {
    std::vector<std::string> events;
};

int OnStart(XmlReader* r, const char* name, const char** attrs) {
    std::string e = std::string("<") + name;
    for (int i = 0; attrs[i]; i += 2) e += std::string(" ") + attrs[i] + "=" + attrs[i + 1];
    static_cast<Collected*>(r->user)->events.push_back(e);
    return 0;
}

int OnEnd(XmlReader* r, const char* name, const char* text, size_t length) {
    static_cast<Collected*>(r->user)->events.push_back(std::string("/") + name + "[" + std::string(text, length) +
                                                       "]");
    return strcmp(name, "stop") == 0 ? 405 : 0;
}

}  // namespace

TEST(Xml, WriterOutputMatchesTheHandCheckedText) {
    XmlWriter w;
    XmlWriterInit(&w);
    w.flags = kXmlIndent | kXmlConvertUtf8;
    w.options = 2305;  // one tab per level
    ScopedSet mode(gCharConvMode, kCharModeLatin1);
    ASSERT_EQ(XmlWriteOpen(&w, "writer.xml"), 0);
    EXPECT_EQ(XmlStartElement(&w, "QOFORM"), 0);
    EXPECT_EQ(XmlWriteAttr(&w, "name", "a \"b\" & <c>"), 0);
    EXPECT_EQ(XmlStartElement(&w, "Button"), 0);
    EXPECT_EQ(XmlWriteText(&w, "Caf\xE9 & co"), 0);
    EXPECT_EQ(XmlEndElement(&w), 0);
    EXPECT_EQ(XmlStartElement(&w, "Empty"), 0);
    EXPECT_EQ(XmlEndElement(&w), 0) << "an empty element closes with />";
    EXPECT_EQ(XmlStartElement(&w, "Code"), 0);
    EXPECT_EQ(XmlWriteCData(&w, "if a]]>b"), 0);
    EXPECT_EQ(XmlStartElement(&w, std::string(81, 'n').c_str()), kXmlWriteNameTooLong);
    EXPECT_EQ(XmlWriteClose(&w), 0) << "close ends the open elements";
    const char* expect =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<QOFORM name=\"a &quot;b&quot; &amp; &lt;c&gt;\">\n"
        "\t<Button>Caf\xC3\xA9 &amp; co</Button>\n"
        "\t<Empty/>\n"
        "\t<Code><![CDATA[if a]]]]><![CDATA[>b]]></Code>\n"
        "</QOFORM>\n";
    EXPECT_EQ(ReadFile("writer.xml"), expect);

    // Read it back: texts arrive in the client character set.
    Collected got;
    XmlReader r = {};
    r.onStart = OnStart;
    r.onEnd = OnEnd;
    r.user = &got;
    EXPECT_EQ(XmlParse(&r, "writer.xml", nullptr, 0), 0);
    const std::vector<std::string> want = {"<QOFORM name=a \"b\" & <c>", "<Button", "/Button[Caf\xE9 & co]",
                                           "<Empty", "/Empty[]", "<Code", "/Code[if a]]>b]", "/QOFORM[\n]"};
    EXPECT_EQ(got.events, want);
    XmlReaderFree(&r);

    XmlWriter iso;
    XmlWriterInit(&iso);
    iso.flags = kXmlIsoLatin1;
    ASSERT_EQ(XmlWriteOpen(&iso, "iso.xml"), 0);
    XmlStartElement(&iso, "a");
    XmlWriteText(&iso, "\xE9");
    XmlWriteClose(&iso);
    EXPECT_EQ(ReadFile("iso.xml"), "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<a>\xE9</a>\n");
}

TEST(Xml, ReaderErrorsAndStops) {
    Collected got;
    XmlReader r = {};
    r.onStart = OnStart;
    r.onEnd = OnEnd;
    r.user = &got;
    const char* bad = "<a>\n  <b>text</c>\n</a>";
    EXPECT_EQ(XmlParse(&r, nullptr, bad, strlen(bad)), kXmlReadMalformed);
    ASSERT_NE(r.errors, nullptr);
    EXPECT_STREQ(r.errors, "Error at line: 2 Column: 11 - mismatched tag");
    XmlReaderFree(&r);

    const char* stop = "<r><stop/><after/></r>";
    got.events.clear();
    EXPECT_EQ(XmlParse(&r, nullptr, stop, strlen(stop)), 405) << "a callback's code ends the reading";
    EXPECT_EQ(got.events.back(), "/stop[]");

    const char* mixed = "<t>one<c/>two</t>";
    got.events.clear();
    EXPECT_EQ(XmlParse(&r, nullptr, mixed, strlen(mixed)), 0);
    EXPECT_EQ(got.events.back(), "/t[two]") << "an element's text is what follows its last child";

    // External entities are never fetched: no handler is installed.
    const char* ext = "<!DOCTYPE a [<!ENTITY e SYSTEM \"file:///etc/passwd\">]><a>&e;</a>";
    got.events.clear();
    XmlParse(&r, nullptr, ext, strlen(ext));
    for (const std::string& e : got.events) EXPECT_EQ(e.find("root"), std::string::npos);
    EXPECT_EQ(XmlParse(&r, "no-such-file.xml", nullptr, 0), kXmlReadNoFile);
    XmlReaderFree(&r);
}

TEST(Json, MembersThroughNestedObjectsAndArrays) {
    const char* msg = "{\"action\":56,\"ev\":{\"id\":\"C12\",\"v1\":[1,\"two\",true],\"flag\":false,"
                      "\"deep\":{\"txt\":\"caf\xC3\xA9\",\"num\":2.5,\"s\":\"42x\"}}}";
    JsonValue* v = JsonParse(msg, strlen(msg));
    ASSERT_NE(v, nullptr);
    ScopedSet mode(gCharConvMode, kCharModeLatin1);
    struct IntCase {
        const char* name;
        int64_t expect;
    };
    const IntCase ints[] = {{"action", 56}, {"flag", 0}, {"s", 42}, {"num", 0}, {"missing", 0}, {"id", 0}};
    for (const IntCase& c : ints) EXPECT_EQ(JsonGetInt(v, c.name), c.expect) << c.name;
    EXPECT_STREQ(JsonGetText(v, "id"), "C12");
    EXPECT_STREQ(JsonGetText(v, "txt"), "caf\xE9") << "found inside a nested object, converted";
    EXPECT_STREQ(JsonGetText(v, "txt"), "caf\xE9") << "a second read gives the same text";
    EXPECT_STREQ(JsonGetTextRaw(v, "txt"), "caf\xC3\xA9");
    EXPECT_STREQ(JsonGetText(v, "flag"), "False");
    EXPECT_STREQ(JsonGetText(v, "num"), "2.5");
    EXPECT_STREQ(JsonGetText(v, "action"), "56");
    EXPECT_EQ(JsonGetText(v, "missing"), nullptr);
    EXPECT_TRUE(JsonObjectHasMember(v, "deep"));
    EXPECT_FALSE(JsonObjectHasMember(v, "v2"));
    const JsonValue* arr = JsonFindMember(v, "v1");
    ASSERT_EQ(JsonArrayLength(arr), 3u);
    EXPECT_EQ(JsonValueInt(JsonArrayItem(arr, 0)), 1);
    EXPECT_STREQ(JsonValueText(JsonArrayItem(arr, 1)), "two");
    EXPECT_STREQ(JsonValueText(JsonArrayItem(arr, 2)), "True");
    EXPECT_EQ(JsonArrayItem(arr, 3), nullptr);
    JsonFree(v);

    char err[128];
    EXPECT_EQ(JsonParse("{\"a\":", 5, err), nullptr);
    EXPECT_NE(err[0], 0);
}

TEST(Json, IntegersThatDoNotFitAreRefused) {
    // A page message's numbers reach 32-bit values of the client: one beyond
    // that range reads as 0, never as the low bits of the number.
    struct Case {
        const char* member;
        int64_t expect;
        const char* why;
    };
    static const Case kCases[] = {
        {"2147483647", 2147483647, "the largest integer"},
        {"-2147483648", -2147483647 - 1, "the smallest integer"},
        {"2147483648", 0, "one beyond the largest"},
        {"-2147483649", 0, "one below the smallest"},
        {"4294967297", 0, "beyond 32 bits (would cut to 1)"},
        {"99999999999999999999", 0, "beyond 64 bits"},
        {"1e400", 0, "beyond any double"},
        {"3.0", 0, "a double is no integer"},
        {"true", 1, "a boolean"},
        {"\"42x\"", 42, "a text: its leading number"},
        {"\"  -12px\"", -12, "a text: blanks and a sign first"},
        {"\"+7\"", 7, "a text with a plus sign"},
        {"\"2147483647\"", 2147483647, "a text with the largest integer"},
        {"\"2147483648\"", 0, "a text one beyond the largest"},
        {"\"99999999999\"", 0, "a text beyond 32 bits (atoi would cut it)"},
        {"\"-99999999999999999999999\"", 0, "a text beyond 64 bits"},
        {"\"x1\"", 0, "a text that starts with no number"},
        {"\"-\"", 0, "a sign alone"},
    };
    for (const Case& c : kCases) {
        std::string msg = std::string("{\"n\":") + c.member + "}";
        JsonValue* v = JsonParse(msg.data(), msg.size());
        ASSERT_NE(v, nullptr) << msg;
        EXPECT_EQ(JsonGetInt(v, "n"), c.expect) << c.why;
        JsonFree(v);
    }
}

TEST(Json, TextsCutOffInsideALiteralAreRefused) {
    // Each text is handed over in a block of exactly its length, so a read past
    // its end is caught by the address sanitizer.
    static const char* const kTexts[] = {"tru", "fals", "nul", "[fals", "{\"a\":tru", "[true,nul", "t", "[f",
                                         "{\"a\":n"};
    for (const char* text : kTexts) {
        std::vector<char> block(text, text + strlen(text));
        EXPECT_EQ(JsonParse(block.data(), block.size()), nullptr) << text;
    }
    static const char* const kWhole[] = {"true", "[false]", "null", "{\"a\":true}"};
    for (const char* text : kWhole) {
        std::vector<char> block(text, text + strlen(text));
        JsonValue* v = JsonParse(block.data(), block.size());
        EXPECT_NE(v, nullptr) << text;
        JsonFree(v);
    }
}

TEST(Json, DocumentsOverTheMemoryLimitAreRefused) {
    // An array of many small members needs more than the limit once parsed.
    std::string big = "[";
    for (size_t i = 0; big.size() < kJsonMaxMemory / 2; i++) big += "[],";
    big += "0]";
    EXPECT_EQ(JsonParse(big.data(), big.size()), nullptr);
    std::string huge(kJsonMaxMemory + 1, ' ');
    EXPECT_EQ(JsonParse(huge.data(), huge.size()), nullptr);
}

TEST(Json, QuoteText) {
    ScopedSet mode(gCharConvMode, kCharModeLatin1);
    EXPECT_STREQ(JsonQuoteText("a\"b\\c\n\x01\xE9"), "\"a\\\"b\\\\c\\n\\u0001\xC3\xA9\"");
    gCharConvMode = kCharModeUtf8;
    EXPECT_STREQ(JsonQuoteText("\xC3\xA9\t"), "\"\xC3\xA9\\t\"");
    EXPECT_STREQ(JsonQuoteText(nullptr), "\"\"");
}
