// formxml_test.cpp - XML form files both ways on the host: a saved sample
// compared with hand-checked pieces and converted back into a QOF file whose
// streams equal the live objects' own; a hand-written form of every owner kind
// with a PNG resource made here; and the refusals, each with its code and its
// message with line and column.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <unistd.h>

#include "forms/formwrite.h"
#include "forms/formxml.h"
#include "forms/qofbuild.h"
#include "forms/testpng.h"
#include "forms/writefake.h"
#include "objects/objtables.h"
#include "session/util/mem.h"
#include "session/util/xml.h"
#include "tests/testutil.h"

namespace {

struct Tables {
    Tables() { ObjectSetupTables(); }
} gTables;

std::string TempName(const char* tag) {
    char name[128];
    snprintf(name, sizeof name, "formxml_%s_%d.xml", tag, static_cast<int>(getpid()));
    return name;
}

std::string SaveXml(FormSaveContext* ctx, XmlFormSaveMode mode, bool doNotCache = false) {
    std::string path = TempName("save");
    XmlWriter w;
    XmlWriterInit(&w);
    w.flags = kXmlIndent | kXmlConvertUtf8;
    EXPECT_EQ(XmlWriteOpen(&w, path.c_str()), 0);
    EXPECT_TRUE(XmlFormSave(ctx, &w, mode, doNotCache));
    std::string s = ReadFileText(path);
    remove(path.c_str());
    return s;
}

struct Loaded {
    bool ok;
    uint32_t error;
    std::string messages;
};

Loaded Load(FormSaveContext* ctx, const std::string& text, bool eventsOnly = false) {
    Loaded l = {};
    char* messages = nullptr;
    l.ok = QofXmlFormLoad(ctx, text.data(), static_cast<uint32_t>(text.size()), eventsOnly, &l.error, &messages);
    if (messages) l.messages = messages;
    LocalFreeMem(messages);
    return l;
}

// A fresh context for reading (kept on the heap).
struct ReadContext {
    ReadContext() : ctx(new FormSaveContext()) { memset(ctx, 0, sizeof *ctx); }
    ~ReadContext() {
        FormSaveContextFree(ctx);
        delete ctx;
    }
    FormSaveContext* ctx;
};

// Converts a read context as the conversion does and parses the file.
qofbuild::Parsed ToQof(FormSaveContext* ctx, std::vector<uint8_t>* bytes = nullptr) {
    ctx->flags |= kFsFromXml;
    ctx->resources = ctx->xmlResources;
    ctx->userCode = ctx->xmlCode;
    ctx->userCodeLength = ctx->xmlCodeLength;
    uint8_t* data = nullptr;
    size_t size = 0;
    qofbuild::Parsed p;
    if (!FormFileWrite(ctx, ctx->doNotCache, &data, &size)) {
        p.why = ctx->errorText;
        return p;
    }
    std::vector<uint8_t> file(data, data + size);
    GuardedFree(data);
    if (bytes) *bytes = file;
    return qofbuild::Parse(file);
}

std::vector<std::pair<uint32_t, std::string>> RecordSet(const std::vector<uint8_t>& stream) {
    bool ok = false;
    std::vector<std::pair<uint32_t, std::string>> out;
    for (const qofbuild::Record& r : qofbuild::Records(stream, &ok)) {
        if (r.id == 315 || r.id == 316) continue;   // never read from XML
        // A reference to nothing is written as 0 by one and left out by the other.
        if (!r.text && ((r.id >= 270 && r.id <= 274) || r.id == 283) && r.value == 0) continue;
        out.push_back({r.word, r.text ? r.data : std::to_string(r.value)});
    }
    EXPECT_TRUE(ok);
    std::sort(out.begin(), out.end());
    return out;
}


}  // namespace

TEST(XmlForm, FullSaveHoldsTheHandCheckedPieces) {
    writefake::Sample sample;
    std::string xml = SaveXml(&sample.form.ctx, kXmlSaveFull, true);
    const char* pieces[] = {
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<QOFORM>\n"
        "  <Header>\n    <NamePrefix>Sample</NamePrefix>\n    <IsWebForm>False</IsWebForm>\n"
        "    <IsUtf8Form>False</IsUtf8Form>\n    <DoNotCache>True</DoNotCache>\n"
        "    <Requires96>False</Requires96>\n    <IsCultureSet>False</IsCultureSet>\n  </Header>\n"
        "  <Object type=\"Window\">\n    <Properties>\n      <Name>SampleWin</Name>\n",
        "    <Events>\n      <Load>Setup</Load>\n    </Events>\n",
        "    <Object type=\"MenuItem\">\n      <Properties>\n        <Enabled>0</Enabled>\n",
        "        <SubMenu>Opts</SubMenu>\n",
        "      <Title>OK</Title>\n",
        "    <Events>\n      <Click>Click_OkBtn</Click>\n    </Events>\n",
        "    <Events>\n      <Click>DoIt</Click>\n    </Events>\n",
        "      <Text>Ann</Text>\n",
        "      <Window>SampleWin</Window>\n",
        "  <Object type=\"Code\">\n    <Code><![CDATA[Setup:\r\n RETURN\r\n]]></Code>\n  </Object>\n",
        ("  <Resource>\n    <Type>3</Type>\n    <SubType>0</SubType>\n    <Id>2001</Id>\n    <Name>Logo</Name>\n"
        "    <Size>4</Size>\n    <Data>Qk0BAg==</Data>\n  </Resource>\n</QOFORM>"),
    };
    for (const char* piece : pieces) EXPECT_NE(xml.find(piece), std::string::npos) << piece << "\n----\n" << xml;
}

TEST(XmlForm, NamesAndEventsOnlyForALoad) {
    writefake::Sample sample;
    std::string xml = SaveXml(&sample.form.ctx, kXmlSaveNamesEvents);
    EXPECT_EQ(xml.find("<Header>"), std::string::npos);
    EXPECT_EQ(xml.find("<Title>"), std::string::npos);
    EXPECT_EQ(xml.find("MenuItem"), std::string::npos) << "no sub-objects";
    EXPECT_NE(xml.find("<Object type=\"Button\">\n    <Properties>\n      <Name>OkBtn</Name>\n    </Properties>\n"
                       "    <Events>\n      <Click>Click_OkBtn</Click>\n    </Events>\n  </Object>"),
              std::string::npos)
        << xml;
}

TEST(XmlForm, SavedFormConvertsToTheSameStreams) {
    writefake::Sample sample;
    uint8_t* data = nullptr;
    size_t size = 0;
    ASSERT_TRUE(FormFileWrite(&sample.form.ctx, false, &data, &size));
    std::vector<uint8_t> direct(data, data + size);
    GuardedFree(data);
    qofbuild::Parsed want = qofbuild::Parse(direct);
    ASSERT_TRUE(want.ok);

    std::string xml = SaveXml(&sample.form.ctx, kXmlSaveFull);
    ReadContext rc;
    Loaded l = Load(rc.ctx, xml);
    ASSERT_TRUE(l.ok) << l.error << " " << l.messages;
    qofbuild::Parsed got = ToQof(rc.ctx);
    ASSERT_TRUE(got.ok) << got.why;
    ASSERT_EQ(got.rows.size(), want.rows.size());
    for (size_t i = 0; i < got.rows.size(); ++i) {
        EXPECT_EQ(got.rows[i].name, want.rows[i].name) << i;
        EXPECT_EQ(got.rows[i].kind, want.rows[i].kind) << i;
        EXPECT_EQ(RecordSet(got.rows[i].stream), RecordSet(want.rows[i].stream)) << "row " << i;
    }
    EXPECT_EQ(got.topCount, 6u) << "the XML sub-objects are not top-level";
    EXPECT_EQ(got.oleSize, 0u);
    EXPECT_EQ(got.formName, "Sample");
    EXPECT_EQ(got.resources.size(), 2u);
    EXPECT_EQ(got.resources[1].data, std::vector<uint8_t>({'B', 'M', 1, 2}));
    // Event texts came back as CALLs of the labels; the code object is the user code.
    ASSERT_EQ(got.descList.size(), 3u);
    EXPECT_EQ(got.descList[0].label, "Setup");
    EXPECT_EQ(got.descList[1].label, "Click_OkBtn");
    EXPECT_EQ(got.descList[2].label, "DoIt");
    for (const qofbuild::ParsedDesc& d : got.descList) EXPECT_EQ(d.codeLength, 0u);
    EXPECT_NE(got.codeArea.find("Setup:\r\n RETURN\r\n#S\r\n"), std::string::npos) << got.codeArea;
}

TEST(XmlForm, HandWrittenFormOfEveryOwnerKind) {
    std::vector<uint8_t> png = testpng::MakePng(0xFF, 0, 0);
    std::string xml =
        "<?xml version=\"1.0\"?>\n<QOFORM>\n"
        " <Header><NamePrefix>Hand</NamePrefix><IsWebForm>TRUE</IsWebForm><IsCultureSet>true</IsCultureSet>"
        "<DoNotCache>false</DoNotCache></Header>\n"
        " <Object type=\"Window\"><Properties><Name>HandWin</Name><Title>Hand made</Title><Width>300</Width>"
        "<Dock>3</Dock></Properties><Events><Load>Init</Load><Click> MESSAGE 1</Click></Events></Object>\n"
        " <Object type=\"Button\"><Properties><Name>Go</Name><Title>Go</Title><Dock>2</Dock></Properties></Object>\n"
        " <Object type=\"Panel\"><Properties><Name>Pane</Name><Left>5</Left></Properties></Object>\n"
        " <Object type=\"EditText\"><Properties><Name>Inside</Name><Window>Pane</Window><Text></Text>"
        "</Properties></Object>\n"
        " <Object type=\"StatusBar\"><Properties><Name>Status</Name></Properties>\n"
        "  <Object type=\"StatusPanel\"><Properties><Text>Ready</Text><Width>80</Width></Properties></Object>\n"
        "  <Object type=\"StatusPanel\"><Properties><Text>Line 1</Text></Properties></Object>\n"
        " </Object>\n"
        " <Object type=\"ToolBar\"><Properties><Name>Tools</Name></Properties>\n"
        "  <Object type=\"ToolButton\"><Properties><Text>New</Text></Properties></Object>\n"
        "  <Object type=\"ToolButton\"><Properties><Text>Open</Text></Properties></Object>\n"
        " </Object>\n"
        " <Object type=\"Code\"><Code><![CDATA[Init:\n RETURN\n]]></Code></Object>\n"
        " <Resource><Type>3</Type><SubType>1</SubType><Id>7</Id><Name>Dot</Name><Size>" +
        std::to_string(png.size()) + "</Size><Data>" + testpng::Base64(png) + "</Data></Resource>\n</QOFORM>\n";
    ReadContext rc;
    Loaded l = Load(rc.ctx, xml);
    ASSERT_TRUE(l.ok) << l.error << " " << l.messages;
    qofbuild::Parsed p = ToQof(rc.ctx);
    ASSERT_TRUE(p.ok) << p.why;
    const struct {
        const char* name;
        uint8_t kind;
    } rows[] = {{"HandWin", kKindWindow}, {"Go", kKindButton},        {"Pane", kKindPanel},
                {"Inside", kKindEditText}, {"Status", kKindStatusBar}, {"-", kKindStatusPanel},
                {"-", kKindStatusPanel},  {"Tools", kKindToolBar},    {"-", kKindToolButton},
                {"-", kKindToolButton}};
    ASSERT_EQ(p.rows.size(), 10u);
    for (size_t i = 0; i < p.rows.size(); ++i) {
        EXPECT_EQ(p.rows[i].name, rows[i].name) << i;
        EXPECT_EQ(p.rows[i].kind, rows[i].kind) << i;
    }
    EXPECT_EQ(p.topCount, 6u);
    EXPECT_EQ(p.flags, 0x0001u | 0x0100u | 0x0800u) << "culture set, web form, no DoNotCache";
    bool ok = false;
    auto win = qofbuild::Records(p.rows[0].stream, &ok);
    EXPECT_EQ(qofbuild::FindRecord(win, 198), nullptr) << "Dock 3 writes no record";
    auto go = qofbuild::Records(p.rows[1].stream, &ok);
    ASSERT_NE(qofbuild::FindRecord(go, 198), nullptr);
    EXPECT_EQ(p.rows[1].stream.size(), 6u + 4u + 2u) << "Dock 2 is a 6-byte record beside the Title";
    auto inside = qofbuild::Records(p.rows[3].stream, &ok);
    ASSERT_NE(qofbuild::FindRecord(inside, 158), nullptr);
    EXPECT_EQ(qofbuild::FindRecord(inside, 158)->value, 2u) << "the panel's index";
    ASSERT_NE(qofbuild::FindRecord(inside, 29), nullptr);
    EXPECT_EQ(qofbuild::FindRecord(inside, 29)->data, "");
    auto panel = qofbuild::Records(p.rows[5].stream, &ok);
    ASSERT_NE(qofbuild::FindRecord(panel, 35), nullptr) << "Width is the first row's id";
    ASSERT_EQ(p.resources.size(), 1u);
    EXPECT_EQ(p.resources[0].data, png);
    EXPECT_EQ(p.resources[0].name, "Dot");
    ASSERT_EQ(p.descList.size(), 2u);
    EXPECT_EQ(p.descList[0].label, "Init") << "one word is a CALL";
    EXPECT_EQ(p.descList[0].codeLength, 0u);
    EXPECT_EQ(p.descList[1].label, "Click_HandWin") << "more words stay code";
    EXPECT_EQ(p.descList[1].code, " MESSAGE 1");
    EXPECT_NE(p.codeArea.find("Init:\r\n RETURN\r\n#S\r\n"), std::string::npos);
}

// One refused document per row: its code and the message that names it.
struct BadCase {
    const char* what;
    std::string xml;
    uint32_t code;
    const char* message;
};

std::string Form(const std::string& inside) {
    return "<QOFORM><Object type=\"Window\"><Properties><Name>W</Name></Properties></Object>" + inside +
           "</QOFORM>";
}

TEST(XmlForm, RefusedDocuments) {
    std::string many = "<QOFORM><Object type=\"Window\"/>";
    for (int i = 0; i < 500; ++i) many += "<Object type=\"Button\"/>";
    many += "</QOFORM>";
    std::string longName(0x1000, 'n');
    const BadCase cases[] = {
        {"wrong root", "<FORM/>", 402, "Root name not QOFORM but FORM"},
        {"501 objects", many, 404, "Too many objects"},
        {"yes for a header flag", Form("<Header><IsWebForm>yes</IsWebForm></Header>"), 405,
         "The tag IsWebForm must be TRUE or FALSE"},
        {"10 characters of resource data",
         Form("<Resource><Size>7</Size><Data>QUJDREVGRw</Data></Resource>"), 405, "Invalid data size for tag: Data"},
        {"a Size that is not the data's", Form("<Resource><Size>9000</Size><Data>QUJD</Data></Resource>"), 405,
         "Resource size does not match its data: Data"},
        {"unknown property", Form("<Object type=\"Button\"><Properties><Bogus>1</Bogus></Properties></Object>"), 405,
         "Unknown property name: Bogus"},
        {"unknown event", Form("<Object type=\"Button\"><Events><Bogus>X</Bogus></Events></Object>"), 405,
         "Unknown event name: Bogus"},
        {"event the kind does not have", Form("<Object type=\"Button\"><Events><Timer>X</Timer></Events></Object>"),
         405, "Unknown event name: Timer"},
        {"unknown kind", Form("<Object type=\"Gadget\"/>"), 405, "Bad object type: Gadget"},
        {"a second window", Form("<Object type=\"Window\"/>"), 405, "Bad object type: Window"},
        {"a sub-object outside its owner", Form("<Object type=\"StatusPanel\"/>"), 405, "Bad object type: StatusPanel"},
        {"a sub-object of the wrong owner",
         Form("<Object type=\"ToolBar\"><Object type=\"MenuItem\"/></Object>"), 405, "Bad object type: MenuItem"},
        {"unknown tag", Form("<Frame/>"), 405, "Unknown tag type: Frame"},
        {"unknown header tag", Form("<Header><Colour>1</Colour></Header>"), 405, "Unknown header tag name: Colour"},
        {"long NamePrefix", Form("<Header><NamePrefix>" + std::string(31, 'p') + "</NamePrefix></Header>"), 405,
         "Too much data for NamePrefix"},
        {"text of 65,536 bytes",
         Form("<Object type=\"Button\"><Properties><Title>" + std::string(65536, 't') + "</Title></Properties></Object>"),
         405, "Too much data for Title"},
        {"named property name of 4096 characters",
         Form("<Object type=\"NetObject\"><Properties><" + longName + ">v</" + longName + "></Properties></Object>"),
         405, "Too much data for nnnn"},
        {"unknown code tag", Form("<Object type=\"Code\"><Text>x</Text></Object>"), 405, "Unkown code tag Text"},
        {"no window", "<QOFORM></QOFORM>", 405, "No Window object"},
        {"a window not first", "<QOFORM><Object type=\"Button\"/></QOFORM>", 405, "Bad object type: Button"},
    };
    for (const BadCase& c : cases) {
        ReadContext rc;
        Loaded l = Load(rc.ctx, c.xml);
        EXPECT_FALSE(l.ok) << c.what;
        EXPECT_EQ(l.error, c.code) << c.what;
        EXPECT_NE(l.messages.find(c.message), std::string::npos) << c.what << ": " << l.messages;
        EXPECT_EQ(l.messages.rfind("Error at line: ", 0), 0u) << c.what << ": " << l.messages;
    }
}

TEST(XmlForm, NestingDeeperThanTrackedIsRefused) {
    // Only the events-only reading passes over elements it does not know, so
    // only there can a document nest this deep before something refuses it.
    std::string deep = "<QOFORM>";
    for (int i = 0; i < 300; ++i) deep += "<x>";
    writefake::Sample sample;
    Loaded l = Load(&sample.form.ctx, deep, true);
    EXPECT_FALSE(l.ok);
    EXPECT_EQ(l.error, 405u);
    EXPECT_NE(l.messages.find("Document nested too deeply at: x"), std::string::npos) << l.messages;
}

TEST(XmlForm, AcceptedSpellingsAndLimits) {
    const char* docs[] = {
        "<Header><IsWebForm>TRUE</IsWebForm><IsUtf8Form>False</IsUtf8Form><Requires96>FALSE</Requires96></Header>",
        "<Header><NamePrefix>Thirty_characters_of_a_prefix_</NamePrefix></Header>",
        "<Resource><Size>0</Size><Data></Data></Resource>",
    };
    for (const char* d : docs) {
        ReadContext rc;
        Loaded l = Load(rc.ctx, Form(d));
        EXPECT_TRUE(l.ok) << d << ": " << l.messages;
    }
}

TEST(XmlForm, ParserProtectionsStayOn) {
    // Entity amplification is stopped by the parser; an external entity is
    // never read.
    std::string laughs = "<?xml version=\"1.0\"?><!DOCTYPE l [<!ENTITY a \"aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa\">";
    char prev = 'a';
    for (char c = 'b'; c <= 'k'; ++c) {
        laughs += std::string("<!ENTITY ") + c + " \"";
        for (int i = 0; i < 16; ++i) laughs += std::string("&") + prev + ";";
        laughs += "\">";
        prev = c;
    }
    laughs += "]><QOFORM><Object type=\"Window\"><Properties><Title>&k;</Title></Properties></Object></QOFORM>";
    ReadContext a;
    Loaded l = Load(a.ctx, laughs);
    EXPECT_FALSE(l.ok);
    EXPECT_NE(l.error, 0u);

    std::string external =
        "<?xml version=\"1.0\"?><!DOCTYPE q [<!ENTITY e SYSTEM \"file:///etc/hostname\">]>"
        "<QOFORM><Object type=\"Window\"><Properties><Name>W&e;</Name></Properties></Object></QOFORM>";
    ReadContext b;
    Load(b.ctx, external);
    if (b.ctx->entryCount) {
        EXPECT_STREQ(b.ctx->entries[0].name, "W");
    }
}

TEST(XmlForm, EventsOnlyReplacesByName) {
    writefake::Sample sample;
    FormSaveContext& ctx = sample.form.ctx;
    std::string events =
        "<QOFORM><Object type=\"Button\"><Properties><Name>OkBtn</Name></Properties>"
        "<Events><Click>Pressed</Click><Bogus>x</Bogus></Events></Object>"
        "<Object type=\"Button\"><Properties><Name>Nobody</Name></Properties><Events><Click>Lost</Click></Events>"
        "</Object><Object type=\"EditText\"><Properties><Name>NameEdit</Name></Properties>"
        "<Events><Change> MESSAGE 2</Change></Events></Object></QOFORM>";
    Loaded l = Load(&ctx, events, true);
    ASSERT_TRUE(l.ok) << l.messages;
    const FormSaveEntry& ok = ctx.entries[3];
    const FormSaveEntry& edit = ctx.entries[5];
    bool sawClick = false, sawChange = false;
    for (uint32_t k = 0; k < ok.eventCount; ++k)
        if (ok.events[k].eventId == 4) {
            EXPECT_STREQ(ok.events[k].code, "\tCALL\tPressed");
            sawClick = true;
        }
    for (uint32_t k = 0; k < edit.eventCount; ++k)
        if (edit.events[k].eventId == 3) {
            EXPECT_STREQ(edit.events[k].code, " MESSAGE 2");
            sawChange = true;
        }
    EXPECT_TRUE(sawClick);
    EXPECT_TRUE(sawChange);
    Loaded wrong = Load(&ctx, "<FORM/>", true);
    EXPECT_FALSE(wrong.ok);
    EXPECT_EQ(wrong.error, 1u);
}

TEST(XmlForm, CallErrorsOptionNotesCallsWithMore) {
    writefake::Sample sample;
    sample.form.ctx.flags |= kFsCallErrors;
    std::string xml = SaveXml(&sample.form.ctx, kXmlSaveNamesEvents);
    // The window's load is a CALL of Setup with more after it on the next
    // line only: nothing more on the CALL's own line, so no note.
    EXPECT_EQ(xml.find("Error000"), std::string::npos) << xml;
    FormSaveEntry& cancel = sample.form.ctx.entries[4];
    for (uint32_t k = 0; k < cancel.eventCount; ++k)
        if (cancel.events[k].eventId == 4) writefake::SetCode(&cancel.events[k], "CALL DoIt(1)");
    xml = SaveXml(&sample.form.ctx, kXmlSaveNamesEvents);
    EXPECT_NE(xml.find("<Click>DoIt</Click>\n      <Error000>DoIt(</Error000>"), std::string::npos) << xml;
}

// Event elements name their events without regard to case: a kind's by its
// handler prefix, a Control's by its own names (read from XML, a Control
// offers GotFocus and LostFocus).
TEST(XmlForm, EventNamesReadInAnyCase) {
    struct Case {
        const char* object;
        const char* element;
        uint32_t eventId;
    };
    const Case cases[] = {
        {"Button", "Click", 4}, {"Button", "click", 4},           {"Button", "CLICK", 4},
        {"Control", "gotfocus", kFormEventGotFocus}, {"Control", "LOSTFOCUS", kFormEventLostFocus},
        {"HtmlControl", "jqueryevent", kFormEventJQuery},
    };
    for (const Case& c : cases) {
        ReadContext rc;
        std::string doc = Form(std::string("<Object type=\"") + c.object + "\"><Properties><Name>B</Name>" +
                               "</Properties><Events><" + c.element + ">DoIt</" + c.element + "></Events></Object>");
        Loaded l = Load(rc.ctx, doc);
        ASSERT_TRUE(l.ok) << c.element << ": " << l.messages;
        ASSERT_EQ(rc.ctx->entryCount, 2u);
        const FormSaveEntry& e = rc.ctx->entries[1];
        const FormEventItem* found = nullptr;
        for (uint32_t k = 0; k < e.eventCount; ++k)
            if (e.events[k].eventId == c.eventId) found = &e.events[k];
        ASSERT_NE(found, nullptr) << c.element;
        EXPECT_STREQ(found->code, "\tCALL\tDoIt") << c.element;
    }
}
