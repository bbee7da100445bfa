// qofwrite_test.cpp - the QOF writer against the tests' own parser (written
// from the file layout alone) and the client's reader: the record rules of
// creation streams, a whole form checked field by field and read back, the
// CALL and macro rules of event code, and the saves that must be refused
// rather than written corrupt (long texts, a label area past 16-bit offsets).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "forms/formwrite.h"
#include "forms/qofbuild.h"
#include "forms/qoffile.h"
#include "forms/writefake.h"
#include "objects/crstream.h"

using writefake::FakeObject;

namespace {

ObjectCreateRecord gScratch;

struct Written {
    bool ok;
    std::string err;
    std::vector<uint8_t> bytes;
};

Written Write(FormSaveContext* ctx, bool doNotCache = false) {
    Written w = {};
    uint8_t* data = nullptr;
    size_t size = 0;
    w.ok = FormFileWrite(ctx, doNotCache, &data, &size);
    w.err = ctx->errorText;
    if (data) w.bytes.assign(data, data + size);
    GuardedFreeBytes(data);
    return w;
}

std::vector<qofbuild::Record> StreamOf(FakeObject* o, FormSaveContext* ctx, bool* ok) {
    uint32_t n = EncodeFormCrStream(ctx, o, nullptr, 0, 0);
    std::vector<uint8_t> s(FormStreamBufReserve(1), FormStreamBufReserve(1) + n);
    return qofbuild::Records(s, ok);
}

}  // namespace

// One property set on an otherwise default object, and the record it gives.
struct RecordCase {
    const char* what;
    uint8_t kind;
    uint32_t id;
    int32_t value;
    const char* text;       // null: a number property
    bool written;
    uint32_t expectValue;   // number records
};

TEST(QofWrite, RecordRulesByProperty) {
    const RecordCase cases[] = {
        {"Dock at its default writes nothing", kKindButton, 198, 3, nullptr, false, 0},
        {"Dock 2 is written", kKindButton, 198, 2, nullptr, true, 2},
        {"Anchor at its default writes nothing", kKindButton, 226, 7, nullptr, false, 0},
        {"Anchor 5 is written", kKindButton, 226, 5, nullptr, true, 5},
        {"Enabled 1 is the default", kKindButton, 9, 1, nullptr, false, 0},
        {"Enabled 0 is written", kKindButton, 9, 0, nullptr, true, 0},
        {"BgColor is always written, 0 too", kKindButton, 3, 0, nullptr, true, 0},
        {"Height 0 is left out", kKindButton, 15, 0, nullptr, false, 0},
        {"Height 24 is written", kKindButton, 15, 24, nullptr, true, 24},
        {"Name is never written", kKindButton, 24, 0, "Ok", false, 0},
        {"PasswordChar writes its first character", kKindEditText, 235, 0, "*x", true, '*'},
        {"an empty PasswordChar writes nothing", kKindEditText, 235, 0, "", false, 0},
        {"an empty Title is still written", kKindWindow, 30, 0, "", true, 0},
        {"RunName text", kKindButton, 206, 0, "run", true, 0},
        {"an empty WebHeight is left out", kKindButton, 336, 0, "", false, 0},
        {"a WebHeight is written", kKindButton, 336, 0, "10px", true, 0},
        {"an empty RibDll is left out", kKindWindow, 321, 0, "", false, 0},
        {"an empty EditText text is still written", kKindEditText, 29, 0, "", true, 0},
        {"EditDateTime never writes its text", kKindEditDateTime, 29, 0, "2024-01-01", false, 0},
    };
    for (const RecordCase& c : cases) {
        FakeObject o(c.kind);
        if (c.text) o.texts[c.id] = c.text;
        else o.values[c.id] = c.value;
        writefake::Form form;
        form.Add(&o, "Obj");
        bool ok = false;
        std::vector<qofbuild::Record> recs = StreamOf(&o, &form.ctx, &ok);
        ASSERT_TRUE(ok) << c.what;
        const qofbuild::Record* r = qofbuild::FindRecord(recs, c.id);
        EXPECT_EQ(r != nullptr, c.written) << c.what;
        if (!r || !c.written) continue;
        if (c.text && c.id != 235) {
            EXPECT_TRUE(r->text) << c.what;
            EXPECT_EQ(r->data, c.text) << c.what;
        } else {
            EXPECT_EQ(r->value, c.expectValue) << c.what;
        }
    }
}

TEST(QofWrite, EmptyEditTextIsAFourByteRecordAndRibDllSetsTheWebFlag) {
    FakeObject edit(kKindEditText);
    edit.texts[29] = "";
    FakeObject win(kKindWindow);
    win.texts[321] = "rib.dll";
    writefake::Form form;
    form.Add(&win, "W");
    form.Add(&edit, "E", &win);
    Written w = Write(&form.ctx);
    ASSERT_TRUE(w.ok) << w.err;
    qofbuild::Parsed p = qofbuild::Parse(w.bytes);
    ASSERT_TRUE(p.ok) << p.why;
    const std::vector<uint8_t>& s = p.rows[1].stream;
    const uint8_t emptyText[] = {0x1D, 0x80, 0x00, 0x00};
    EXPECT_NE(std::search(s.begin(), s.end(), emptyText, emptyText + 4), s.end());
    EXPECT_EQ(p.flags & 0x0200u, 0x0200u);
}

TEST(QofWrite, WholeFormFieldByField) {
    writefake::Sample sample;
    sample.form.ctx.makeGuid = writefake::FixedGuid;
    Written w = Write(&sample.form.ctx, true);
    ASSERT_TRUE(w.ok) << w.err;
    qofbuild::Parsed p = qofbuild::Parse(w.bytes);
    ASSERT_TRUE(p.ok) << p.why;
    EXPECT_EQ(p.version, 5u);
    EXPECT_EQ(p.flags, 0x0001u | 0x0040u | 0x0020u) << "0x10 cleared, DoNotCache, GUID";
    EXPECT_EQ(p.writerBuild, 10601u);
    EXPECT_EQ(p.formName, "Sample");
    EXPECT_EQ(p.guid, std::vector<uint8_t>(writefake::kGuid, writefake::kGuid + 16));
    EXPECT_EQ(p.oleSize, 0u);
    // Rows: the window, the menu and its two items (named "-") after it, the
    // sub-menu opened by the second item, the buttons and the edit.
    const struct {
        const char* name;
        uint8_t kind;
    } rows[] = {{"SampleWin", kKindWindow}, {"Opts", kKindSubMenu}, {"-", kKindMenuItem},
                {"Bar", kKindMenu},        {"-", kKindMenuItem},  {"-", kKindMenuItem},
                {"OkBtn", kKindButton},    {"#Cancel", kKindButton}, {"NameEdit", kKindEditText}};
    ASSERT_EQ(p.rows.size(), sizeof rows / sizeof rows[0]);
    for (size_t i = 0; i < p.rows.size(); ++i) {
        EXPECT_EQ(p.rows[i].name, rows[i].name) << i;
        EXPECT_EQ(p.rows[i].kind, rows[i].kind) << i;
    }
    EXPECT_EQ(p.count, 9u);
    EXPECT_EQ(p.topCount, 6u);
    // The second item of Bar opens Opts, entry 1.
    bool ok = false;
    auto item = qofbuild::Records(p.rows[5].stream, &ok);
    ASSERT_TRUE(ok);
    ASSERT_NE(qofbuild::FindRecord(item, 283), nullptr);
    EXPECT_EQ(qofbuild::FindRecord(item, 283)->value, 1u);
    // The edit lies in the window: no window reference (0 is left out).
    auto edit = qofbuild::Records(p.rows[8].stream, &ok);
    EXPECT_EQ(qofbuild::FindRecord(edit, 158), nullptr);
    ASSERT_NE(qofbuild::FindRecord(edit, 29), nullptr);
    EXPECT_EQ(qofbuild::FindRecord(edit, 29)->data, "Ann");
    // Resources in list order, data back to back.
    ASSERT_EQ(p.resources.size(), 2u);
    EXPECT_EQ(p.resources[0].name, "AppIcon");
    EXPECT_EQ(p.resources[1].data, std::vector<uint8_t>({'B', 'M', 1, 2}));
    // Descriptors: OkBtn's handler (code), #Cancel's CALL-only click, and the
    // window's load whose CALL has more after it (the whole code is kept).
    ASSERT_EQ(p.descList.size(), 3u);
    EXPECT_EQ(p.descList[0].label, "Load_SampleWin");
    EXPECT_EQ(p.descList[0].objectIndex, 0);
    EXPECT_EQ(p.descList[0].code, "\tCALL\tSetup\r\n MESSAGE \"more\"");
    EXPECT_EQ(p.descList[1].label, "Click_OkBtn");
    EXPECT_EQ(p.descList[1].objectIndex, 3);
    EXPECT_EQ(p.descList[1].eventId, 4u);
    EXPECT_EQ(p.descList[1].code, " MESSAGE OkBtn.Text ;&OBJNAME\r\n RETURN");
    EXPECT_EQ(p.descList[2].label, "DoIt");
    EXPECT_EQ(p.descList[2].codeLength, 0u);
    EXPECT_EQ(p.descList[2].objectIndex, 4);
    const std::string code =
        "SampleWin                       Window\r\n"
        "Opts                            SubMenu\r\n"
        "Bar                             Menu\r\n"
        "OkBtn                           Button\r\n"
        "#Cancel                         Button\r\n"
        "NameEdit                        EditText\r\n"
        "#EventType \tForm \t4\r\n#EventResult \tForm \t11\r\n#EventObjId \tForm \t8\r\n"
        "#EventChar \tDim \t1\r\n#EventMod \tForm \t4\r\n\r\n"
        " GOTO #S\r\n"
        "Load_SampleWin\r\n\tCALL\tSetup\r\n MESSAGE \"more\"\r\n@  \tRETURN\r\n\r\n"
        "Click_OkBtn\r\n MESSAGE OkBtn.Text ;&OBJNAME\r\n RETURN\r\n@  \tRETURN\r\n\r\n"
        "Setup:\r\n RETURN\r\n"
        "#S\r\n";
    EXPECT_EQ(p.codeArea, code);
    EXPECT_EQ(p.userCodeSize, 17u);
    EXPECT_EQ(std::string(w.bytes.begin() + p.userCodeOff, w.bytes.begin() + p.userCodeOff + p.userCodeSize),
              "Setup:\r\n RETURN\r\n");
}

TEST(QofWrite, WrittenFormReadsBackThroughTheReader) {
    writefake::Sample sample;
    Written w = Write(&sample.form.ctx);
    ASSERT_TRUE(w.ok) << w.err;
    QofFile f = {};
    f.data = w.bytes.data();
    f.size = w.bytes.size();
    FormResource* chain = nullptr;
    const char* err = nullptr;
    ASSERT_TRUE(QofReadForLoad(&f, &chain, &gScratch, &err)) << err;
    EXPECT_EQ(f.entryCount, 6u);
    ASSERT_TRUE(DecodeFormCrStream(QofRowStream(&f, 6), f.rows[6].streamSize, f.h.version, 1, &gScratch));
    EXPECT_EQ(gScratch.values[15], 24);
    EXPECT_EQ(std::string(gScratch.texts[30].text, gScratch.texts[30].length), "OK");
    // The stored handler gets its macro back.
    QofDesc d;
    ASSERT_TRUE(QofReadDesc(&f, 1, &d));
    const char* code = nullptr;
    uint32_t n = 0;
    ASSERT_TRUE(QofDescCode(&f, &d, &code, &n));
    std::vector<char> out(n + 1);
    uint32_t m = FormCodeUnexpand(code, n, "OkBtn", out.data());
    EXPECT_EQ(std::string(out.data(), m), " MESSAGE &OBJNAME.Text\r\n RETURN");
    const char* label = nullptr;
    uint32_t labelLen = 0;
    ASSERT_TRUE(QofReadDesc(&f, 2, &d));
    ASSERT_TRUE(QofLabelAt(&f, d.labelOff, &label, &labelLen));
    EXPECT_EQ(std::string(label, labelLen), "DoIt");
    QofFileFree(&f);
    FormResChainFree(chain);
}

TEST(QofWrite, FormWithoutEventsHasNoCodeBlock) {
    FakeObject win(kKindWindow);
    writefake::Form form;
    form.Add(&win, "W");
    form.ctx.userCode = "X:\r\n";
    form.ctx.userCodeLength = 4;
    Written w = Write(&form.ctx);
    ASSERT_TRUE(w.ok);
    qofbuild::Parsed p = qofbuild::Parse(w.bytes);
    ASSERT_TRUE(p.ok) << p.why;
    EXPECT_EQ(p.descCount, 0u);
    EXPECT_EQ(p.descs, p.labels);
    EXPECT_EQ(p.userCodeSize, 0u) << "no event code block, so no user code either";
    EXPECT_EQ(p.codeArea.find("GOTO"), std::string::npos);
    EXPECT_EQ(p.resTable, p.resData);
    EXPECT_EQ(p.resData, p.labels);
}

TEST(QofWrite, TextAboveSixteenBitsIsRefused) {
    FakeObject win(kKindWindow);
    FakeObject edit(kKindEditText);
    edit.texts[29] = std::string(70000, 'x');
    writefake::Form form;
    form.Add(&win, "W");
    form.Add(&edit, "E", &win);
    Written w = Write(&form.ctx);
    EXPECT_FALSE(w.ok);
    EXPECT_EQ(w.err, kQwErrTextTooLong);
    EXPECT_TRUE(w.bytes.empty());
}

TEST(QofWrite, LabelAreaPastSixteenBitOffsetsIsRefused) {
    // 500 list views with 31-character names, each event with code: the
    // label records pass 65,535 bytes long before the last.
    std::vector<FakeObject> objs(500, FakeObject(kKindListView));
    writefake::Form form;
    objs[0].kind = kKindWindow;
    form.Add(&objs[0], "W");
    for (size_t i = 1; i < objs.size(); ++i) {
        char name[32];
        snprintf(name, sizeof name, "ListViewNumber%017zu", i);
        form.Add(&objs[i], name, &objs[0]);
        FormSaveEntry& e = form.ctx.entries[form.ctx.entryCount - 1];
        ASSERT_TRUE(FormEntryBuildEvents(&e));
        for (uint32_t k = 0; k < e.eventCount; ++k) writefake::SetCode(&e.events[k], " RETURN");
    }
    Written w = Write(&form.ctx);
    EXPECT_FALSE(w.ok);
    EXPECT_EQ(w.err, kQwErrLabelArea);
    FormSaveContextFree(&form.ctx);
}

struct CallCase {
    const char* code;
    bool isCall;
    const char* label;
    bool onlyCall;
};

TEST(QofWrite, CallStatements) {
    const CallCase cases[] = {
        {"CALL DoIt", true, "DoIt", true},
        {" \tcall\tDoIt\r\n", true, "DoIt", true},
        {"CALL  #Lbl_2 ", true, "#Lbl_2", true},
        {"CALL DoIt\r\n MESSAGE 1", true, "DoIt", false},
        {"CALLDoIt", false, "", false},
        {"CALL 9x", false, "", false},
        {"CALL", false, "", false},
        {" MESSAGE 1", false, "", false},
        {"CALL Abcdefghijklmnopqrstuvwxyz0123456789Z", true, "Abcdefghijklmnopqrstuvwxyz01234Z", true},
    };
    for (const CallCase& c : cases) {
        char label[kFormLabelMax + 1] = {};
        const char* rest = nullptr;
        uint32_t n = static_cast<uint32_t>(strlen(c.code));
        bool is = FormCodeParseCall(c.code, n, label, &rest);
        EXPECT_EQ(is, c.isCall) << c.code;
        if (!is) continue;
        EXPECT_STREQ(label, c.label) << c.code;
        EXPECT_EQ(FormCodeOnlySpace(rest, c.code + n), c.onlyCall) << c.code;
    }
}

struct ExpandCase {
    const char* code;
    const char* expanded;
};

TEST(QofWrite, MacroExpansionRoundTrips) {
    const ExpandCase cases[] = {
        {"x", "x"},
        {" MESSAGE &objname.Text\r\n", " MESSAGE Btn.Text ;&OBJNAME\r\n"},
        {"&OBJNAME.A = &objname.B\r\nnext", "Btn.A = &objname.B ;&OBJNAME\r\nnext"},
        {"a\r\n&ObjName", "a\r\nBtn ;&OBJNAME"},
    };
    for (const ExpandCase& c : cases) {
        char out[256];
        uint32_t n = 0;
        ASSERT_TRUE(FormCodeExpand(c.code, static_cast<uint32_t>(strlen(c.code)), "Btn", out, sizeof out, &n));
        EXPECT_EQ(std::string(out, n), c.expanded) << c.code;
        // Only the first macro of a line comes back; the first line of the
        // third case had two.
        if (strstr(c.code, "= &objname")) continue;
        std::vector<char> back(n + 1);
        uint32_t m = FormCodeUnexpand(out, n, "Btn", back.data());
        std::string want = c.code;
        for (size_t at; (at = want.find("&objname")) != std::string::npos || (at = want.find("&ObjName")) != std::string::npos;)
            want.replace(at, 8, "&OBJNAME");
        EXPECT_EQ(std::string(back.data(), m), want) << c.code;
    }
    char small[8];
    uint32_t n = 0;
    EXPECT_FALSE(FormCodeExpand("&objname", 8, "LongerName", small, sizeof small, &n));
}

TEST(QofWrite, HandlerLabels) {
    FormSaveEntry e = {};
    FormEventItem click = {nullptr, 4, nullptr, 0};
    FormEventItem jq = {nullptr, 200, nullptr, 0};
    char out[300];
    snprintf(e.name, sizeof e.name, "OkBtn");
    FormHandlerLabel(e, click, out, sizeof out);
    EXPECT_STREQ(out, "Click_OkBtn");
    FormHandlerLabel(e, jq, out, sizeof out);
    EXPECT_STREQ(out, "JQueryEvent_OkBtn");
    snprintf(e.name, sizeof e.name, "#Hidden");
    FormHandlerLabel(e, click, out, sizeof out);
    EXPECT_STREQ(out, "#Click_Hidden");
    char buf[40];
    EXPECT_STREQ(FormEventElementName(click, buf, sizeof buf), "Click");
    EXPECT_STREQ(FormEventElementName(jq, buf, sizeof buf), "JQueryEvent");
}

namespace {

TEST(QofWrite, TheOleAreaSitsBetweenTheDescriptorsAndTheCode) {
    // The COM layer's bytes go in unchanged; the header names their place.
    const uint8_t area[] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1, 1, 2, 3};
    writefake::Sample sample;
    sample.form.ctx.oleData = area;
    sample.form.ctx.oleSize = sizeof area;
    Written w = Write(&sample.form.ctx, true);
    ASSERT_TRUE(w.ok) << w.err;
    qofbuild::Parsed p = qofbuild::Parse(w.bytes);
    ASSERT_TRUE(p.ok) << p.why << " (the code follows the OLE area)";
    ASSERT_EQ(p.oleSize, sizeof area);
    ASSERT_LE(p.ole + p.oleSize, w.bytes.size());
    EXPECT_EQ(0, memcmp(w.bytes.data() + p.ole, area, sizeof area));
}

}  // namespace
