// webedit_test.cpp - the text-entry kinds of the web view against the recording
// page: number formatting, the texts sent to the page and read back, edit,
// combo box, date-time, static text, group box and label text operations.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "controls/ctlcore.h"
#include "objects/events.h"
#include "objects/objcreate.h"
#include "objects/objhooks.h"
#include "objects/objops.h"
#include "session/config.h"
#include "webtest.h"
#include "webview/controls/webcombo.h"
#include "webview/controls/webdatetime.h"
#include "webview/controls/webedit.h"
#include "webview/controls/webstatic.h"
#include "webview/core/webevents.h"
#include "webview/core/webgeneric.h"
#include "webview/core/webobject.h"
#include "webview/core/weboptions.h"
#include "webview/core/webprops.h"

namespace {

std::string gReplyText;
int32_t gReplyInt;
std::vector<uint8_t> gReplyBytes;

void Deliver(RecPage*, ObjectRecord* owner, const char* text) { WebViewMsgReceive(owner, text, strlen(text)); }
void NoteText(const char* text) { gReplyText = text; }
void NoteInt(int32_t value, uint8_t) { gReplyInt = value; }
void NoteBytes(const void* bytes, uint32_t n) {
    gReplyBytes.assign(static_cast<const uint8_t*>(bytes), static_cast<const uint8_t*>(bytes) + n);
}

std::string Posts() {
    WebViewMsgFlush();
    std::string all;
    for (const RecPost& p : gPage.posts) all += p.text + "\n";
    return all;
}
bool Has(const std::string& text, const std::string& what) { return text.find(what) != std::string::npos; }

MethodCallRec Call(uint32_t method, std::vector<int32_t> ints = {}) {
    MethodCallRec call = {};
    call.method = method;
    call.argCount = static_cast<uint32_t>(ints.size());
    for (size_t i = 0; i < ints.size(); ++i) {
        call.args[i].kind = kItemInt;
        call.args[i].value = static_cast<uint32_t>(ints[i]);
        call.argPresent[i] = 1;
    }
    return call;
}
void AddTextArg(MethodCallRec* call, uint32_t i, const char* text, uint32_t n, uint32_t kind = kItemText) {
    call->args[i].kind = kind;
    call->args[i].data = text;
    call->args[i].size = n;
    call->argPresent[i] = 1;
    if (call->argCount <= i) call->argCount = i + 1;
}

// A property change by id, through its request code as the server sends it.
int32_t SetPropById(ObjectRecord* rec, uint16_t id, int32_t value) {
    for (const PropCodeRow* row = PropertyCodeTable; row->code; ++row) {
        if (row->id != id || row->valueKind != kPvInteger) continue;
        PropChange c = {};
        c.code = row->code;
        c.value = value;
        return WebSetProp(rec, &c);
    }
    return -999;
}

class WebEdits : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(WebHostSetUp(Deliver));
        gObjectHooks.fontRelease = WebFontRelease;
        gWebObjServices.replyText = NoteText;
        gWebObjServices.replyInt = NoteInt;
        gWebObjServices.replyBytes = NoteBytes;
        gClientConfig.decimalChar = 0;
        gWebEditClientOptions = kClientDecimalOption;
        gWebMultiItemOption = 1;
        CreateRecordReset(&cr);
        cr.flags0 = kCrVisible;
        cr.bottom = 30;
        cr.right = 200;
        cr.winType = 5;
        cr.units = 5;
        int32_t code = 0;
        window = ObjectCreate(kTypeWindow, &cr, &code);
        ASSERT_NE(window, nullptr);
    }
    void TearDown() override {
        WebHostTearDown();
        gClientConfig.decimalChar = 0;
        EditBuffersFree();
    }
    ObjectRecord* Create(uint32_t type, const std::function<void(ObjectCreateRecord*)>& setup, int32_t* code = nullptr) {
        CreateRecordReset(&cr);
        cr.flags0 = kCrVisible;
        cr.top = 1;
        cr.left = 1;
        cr.bottom = 3;
        cr.right = 11;
        if (setup) setup(&cr);
        int32_t c = 0;
        ObjectRecord* rec = ObjectCreate(type, &cr, &c);
        if (code) *code = c;
        gPage.posts.clear();
        return rec;
    }
    static void Value(ObjectCreateRecord* c, uint32_t pid, int32_t v) {
        c->values[pid] = v;
        c->given[pid] = 1;
    }
    ObjectCreateRecord cr;
    ObjectRecord* window = nullptr;
};

}  // namespace

TEST(WebNumberFormat, RoundsPadsAndCuts) {
    struct Case {
        const char* in;
        uint32_t digits, decimals;
        bool minus;
        const char* expect;   // null: not a number, nothing sent
        const char* why;
    };
    const Case kCases[] = {
        {"3.145", 10, 2, false, "3.15", "the third decimal rounds half up"},
        {"9.999", 10, 2, false, "10.00", "the carry runs into the integer part"},
        {"9.999", 1, 2, false, "10.00", "the carry is kept when the integer part uses every position"},
        {"-9.999", 2, 2, true, "-10.00", "the same with a sign taking a position"},
        {"7", 10, 2, false, "7.00", "decimals are padded"},
        {"2.5", 10, 0, false, "3", "no decimals: rounded to a whole number"},
        {"12.", 10, 0, false, "12", "a point without decimals goes"},
        {"1234", 2, 0, false, "34", "two integer digits keep the last two"},
        {"-5", 10, 0, false, "5", "no AllowMinus: the sign is dropped"},
        {"-0.5", 10, 1, true, "-.5", "a negative number keeps no leading zero"},
        {"0.5", 10, 1, false, "0.5", "a positive one keeps one"},
        {"  007  ", 10, 0, false, "7", "blanks and leading zeros go"},
        {"0", 10, 2, false, "0.00", "zero"},
        {"12a", 10, 2, false, nullptr, "a letter makes the text invalid"},
        {"1.2.3", 10, 2, false, nullptr, "a second point too"},
        {"1,25", 10, 1, false, nullptr, "without a locale comma the comma is invalid"},
    };
    for (const Case& k : kCases) {
        char out[kNumberTextMax + 1];
        bool ok = WebEditNumberFormatText(k.in, static_cast<uint32_t>(strlen(k.in)), k.digits, k.decimals, k.minus,
                                          true, '.', out, sizeof out);
        if (!k.expect) {
            EXPECT_FALSE(ok) << k.why;
            continue;
        }
        ASSERT_TRUE(ok) << k.why;
        EXPECT_STREQ(out, k.expect) << k.why << " (" << k.in << ")";
    }
}

TEST(WebNumberFormat, LocaleDecimalCharacterBothWays) {
    char out[kNumberTextMax + 1];
    ASSERT_TRUE(WebEditNumberFormatText("3,145", 5, 10, 2, false, true, ',', out, sizeof out));
    EXPECT_STREQ(out, "3,15") << "the locale comma is read and written";
    ASSERT_TRUE(WebEditNumberFormatText("3.145", 5, 10, 2, false, true, ',', out, sizeof out));
    EXPECT_STREQ(out, "3,15") << "a point is read too";
    ASSERT_TRUE(WebEditNumberFormatText("3.145", 5, 10, 2, false, false, ',', out, sizeof out));
    EXPECT_STREQ(out, "3.15") << "without the decimal option the point stays";
}

TEST(WebNumberFormat, LongTextsAreScannedInPlace) {
    std::string big(40960, '9');
    char out[kNumberTextMax + 1];
    ASSERT_TRUE(WebEditNumberFormatText(big.c_str(), static_cast<uint32_t>(big.size()), 50, 50, false, true, '.', out,
                                        sizeof out));
    EXPECT_EQ(strlen(out), 50u + 1 + 50) << "the last 50 digits and 50 decimals";
    big[20000] = '.';
    ASSERT_TRUE(WebEditNumberFormatText(big.c_str(), static_cast<uint32_t>(big.size()), 3, 2, false, true, '.', out,
                                        sizeof out));
    EXPECT_STREQ(out, "1000.00") << "the rounding carry out of 999.99...";
}

TEST(WebEditConvert, ModesFromThePage) {
    struct Case {
        std::string in;
        uint16_t type, mode;
        std::string expect;
        const char* why;
    };
    const Case kCases[] = {
        {"a\tb", 1, 3, "a       b", "mode 3: a tab to the next multiple of 8"},
        {"a\nbc\td", 1, 3, "a\x7f" "bc      d", "mode 3: the column restarts after a line"},
        {"a\r\nb", 1, 2, "a\x7f" "b", "CR LF becomes byte 127"},
        {"a\nb\tc", 1, 1, "a\x7f" "b\tc", "mode 1: controls kept"},
        {"a\tb\x01", 1, 5, "a b ", "mode 5: controls become blanks"},
        {"a\nb", 1, 4, "a\nb", "mode 4: nothing changes"},
        {"AbC", 4, 2, "abc", "edit type 4 lowers"},
        {"AbC", 5, 2, "ABC", "edit type 5 raises"},
    };
    for (const Case& k : kCases) {
        const char* out = nullptr;
        uint32_t n = 0;
        ASSERT_TRUE(WebEditConvertFromPage(k.in.data(), static_cast<uint32_t>(k.in.size()), k.type, k.mode, &out, &n))
            << k.why;
        EXPECT_EQ(std::string(out, n), k.expect) << k.why;
    }
    gClientConfig.decimalChar = ',';
    const char* out = nullptr;
    uint32_t n = 0;
    ASSERT_TRUE(WebEditConvertFromPage("1,5", 3, 3, 2, &out, &n));
    EXPECT_EQ(std::string(out, n), "1.5") << "edit type 3: the locale decimal character reads as '.'";
    ASSERT_TRUE(WebEditConvertFromPage("1,5", 3, 3, 4, &out, &n));
    EXPECT_EQ(std::string(out, n), "1,5") << "but not in mode 4";
    gClientConfig.decimalChar = 0;
    EditBuffersFree();
}

TEST_F(WebEdits, EditTextsSentAndReadBack) {
    ObjectRecord* right = Create(kTypeEdittext, [](ObjectCreateRecord* c) { Value(c, 1, 1); });
    ASSERT_NE(right, nullptr);
    struct Case {
        const char* text;
        const char* expect;
        const char* why;
    };
    const Case kCases[] = {
        {"12  ", "\"str\": \"12\"", "trailing blanks are cut"},
        {"  12", "\"str\": \"12\"", "leading ones too on a right-aligned edit"},
        {" ", "\"str\": \"\"", "one blank is sent empty"},
        {"a\x7f" "b", "\"str\": \"a\"", "a one-line edit keeps its first line"},
    };
    for (const Case& k : kCases) {
        gPage.posts.clear();
        EXPECT_EQ(ObjectSetText(right, 0, k.text, static_cast<uint32_t>(strlen(k.text))), 0) << k.why;
        std::string p = Posts();
        EXPECT_TRUE(Has(p, "\"dwid\": 4") && Has(p, k.expect)) << k.why << "\n" << p;
    }
    ObjectRecord* multi = Create(kTypeEdittext, [](ObjectCreateRecord* c) {
        Value(c, 20, 3);
        Value(c, 235, 0);
    });
    ASSERT_NE(multi, nullptr);
    EXPECT_EQ(ObjectSetText(multi, 0, "a\x7f" "b", 3), 0);
    EXPECT_TRUE(Has(Posts(), "\"str\": \"a\\r\\nb\"")) << "a multi-line edit gets CR LF";

    // The page answers the text; line counts and lines come from it.
    RecPageAnswer(&gPage, 21, "{\"str\": \"one\\ntwo\"}", 0);
    MethodCallRec count = Call(10);
    count.objectType = kTypeEdittext;
    EXPECT_EQ(ObjectInvokeMethod(kTypeEdittext, multi, &count), kWebNoAnswer);
    EXPECT_EQ(gReplyInt, 2) << "two lines";
    MethodCallRec line = Call(11, {2});
    EXPECT_EQ(ObjectInvokeMethod(kTypeEdittext, multi, &line), kWebNoAnswer);
    EXPECT_EQ(gReplyText, "two");
    EXPECT_EQ(ObjectGetText(multi, 0), 0);
    EXPECT_STREQ(gTextBuf, "one\x7ftwo") << "get text reads program text";
    RecPageInit(&gPage, &gPage, gHost, Deliver);
    RecPageAnswer(&gPage, 21, "{\"str\": \"\"}", 0);
    EXPECT_EQ(ObjectInvokeMethod(kTypeEdittext, multi, &count), kWebNoAnswer);
    EXPECT_EQ(gReplyInt, 0) << "an empty text has no lines";

    // GetUnicode: UTF-16 with a terminator; a cut never splits a sequence.
    RecPageInit(&gPage, &gPage, gHost, Deliver);
    RecPageAnswer(&gPage, 21, "{\"str\": \"\xc3\xa9t\xc3\xa9\"}", 0);
    MethodCallRec uni = Call(23);
    EXPECT_EQ(ObjectInvokeMethod(kTypeEdittext, multi, &uni), kWebNoAnswer);
    const std::vector<uint8_t> kUtf16 = {0xE9, 0, 't', 0, 0xE9, 0, 0, 0};
    EXPECT_EQ(gReplyBytes, kUtf16);
    // SetUnicode: a UTF-16 argument without a 0 unit is read within its length.
    gPage.posts.clear();
    const uint16_t units[3] = {0xFEFF, 'h', 'i'};
    MethodCallRec set = Call(24);
    AddTextArg(&set, 0, reinterpret_cast<const char*>(units), sizeof units);
    EXPECT_EQ(ObjectInvokeMethod(kTypeEdittext, multi, &set), kWebNoAnswer);
    EXPECT_TRUE(Has(Posts(), "\"str\": \"hi\"")) << "the mark skipped, the length kept";
}

TEST_F(WebEdits, EditPropertiesAndOptions) {
    ObjectRecord* pw = Create(kTypeEdittext, [](ObjectCreateRecord* c) { Value(c, 139, 1); });
    ASSERT_NE(pw, nullptr);
    int32_t v = 0;
    const char* text = nullptr;
    EXPECT_EQ(WebGetProp(pw, 235, &v, &text), 0);
    EXPECT_STREQ(text, "*") << "a password edit without its own character reads '*'";
    PropQuery q = {};
    q.code = kPcEditOptions;
    EXPECT_EQ(WebGetPropGeneric(pw, &q), 0);
    ASSERT_NE(q.text, nullptr);
    EXPECT_STREQ(q.text, "YYYNNN") << "the default options as six letters";
    PropChange change = {};
    change.code = kPcEditOptions;
    change.text = "NYYNNY";
    change.textLength = 6;
    EXPECT_EQ(WebSetProp(pw, &change), 0);
    EXPECT_EQ(WebEditText(pw)->options, 0x0150) << "the change parses them as the native edit does";
    EXPECT_EQ(WebGetPropGeneric(pw, &q), 0);
    EXPECT_STREQ(q.text, "NYYNNY") << "and the query gives them back";
    bool write = false;
    gPage.posts.clear();
    WebEditTextSetProp(pw, 104, 1, nullptr, 0, &write);
    WebEditTextSetProp(pw, 246, 1, nullptr, 0, &write);
    std::string p = Posts();
    EXPECT_TRUE(Has(p, "\"dwid\": 7, \"ot\": 1") && Has(p, "\"dwid\": 7, \"ae\": 1")) << p;
    WebEditTextSetProp(pw, 57, 0, nullptr, 0, &write);
    EXPECT_EQ(WebGetProp(pw, 57, &v, &text), 0);
    EXPECT_EQ(v, 3) << "ScrollBar 0 reads as none";
    gPage.posts.clear();
    EXPECT_EQ(ObjectSetValue(pw, 1, 4), 0);
    EXPECT_TRUE(Has(Posts(), "\"dwid\": 2, \"ss\": 4, \"se\": 4")) << "set value 1 puts the caret";
}

TEST_F(WebEdits, NumberEditSendsFormattedValues) {
    ObjectRecord* num = Create(kTypeEditNumber, [](ObjectCreateRecord* c) {
        Value(c, 242, 5);
        Value(c, 243, 2);
    });
    ASSERT_NE(num, nullptr);
    EXPECT_EQ(WebEditNumber(num)->max, 100) << "UpDownMax defaults to 100";
    struct Case {
        const char* text;
        const char* expect;
        const char* why;
    };
    const Case kCases[] = {
        {"3.145", "\"str\": \"3.15\"", "rounded"},
        {"   ", "\"str\": \"0.00\"", "all blanks: a formatted zero"},
        {"12a", nullptr, "not a number: nothing"},
    };
    for (const Case& k : kCases) {
        gPage.posts.clear();
        EXPECT_EQ(ObjectSetText(num, 0, k.text, static_cast<uint32_t>(strlen(k.text))), 0);
        std::string p = Posts();
        if (k.expect) EXPECT_TRUE(Has(p, "\"action\": 31") && Has(p, k.expect)) << k.why << "\n" << p;
        else EXPECT_EQ(p, "") << k.why;
    }
    gClientConfig.decimalChar = ',';
    RecPageAnswer(&gPage, 31, "{\"str\": \"3,15\"}", 0);
    EXPECT_EQ(ObjectGetText(num, 0), 0);
    EXPECT_STREQ(gTextBuf, "3.15") << "read back with '.'";
    bool write = false;
    gPage.posts.clear();
    WebEditNumberSetProp(num, 244, 5, nullptr, 0, &write);
    WebEditNumberSetProp(num, 245, 2, nullptr, 0, &write);
    std::string p = Posts();
    EXPECT_TRUE(Has(p, "\"udic\": 5")) << p;
    EXPECT_FALSE(Has(p, "updn")) << "an unchanged UpDownAlign sends nothing";
}

TEST_F(WebEdits, ComboItemsMirroredToThePage) {
    int32_t code = 0;
    ObjectRecord* none = Create(kTypeCombobox, nullptr, &code);
    EXPECT_EQ(none, nullptr) << "a combo box without items is refused";
    ObjectRecord* marked = Create(kTypeCombobox, [](ObjectCreateRecord* c) { c->text = CrText{"T;<b>x</b>", 10}; });
    ASSERT_NE(marked, nullptr);
    std::string created = gHtmlBuf.data ? gHtmlBuf.data : "";   // the markup just written
    EXPECT_TRUE(Has(created, "<option>&lt;b&gt;x&lt;/b&gt;</option>")) << "an item is text in the markup\n" << created;
    ObjectRecord* combo = Create(kTypeCombobox, [](ObjectCreateRecord* c) { c->text = CrText{"Own;b;a;", 8}; });
    ASSERT_NE(combo, nullptr);
    EXPECT_EQ(ComboItemCount(combo), 2u) << "the first piece is the own text, no empty last item";
    EXPECT_EQ(ObjectGetText(combo, 0), 0);
    EXPECT_STREQ(gTextBuf, "Own");
    bool write = false;
    WebComboBoxSetProp(combo, 27, 1, nullptr, 0, &write);
    std::string p = Posts();
    EXPECT_TRUE(Has(p, "\"dwid\": 2, \"pos\": 0")) << "sorting empties the page's list\n" << p;
    EXPECT_LT(p.find("\"pos\": 0, \"str\": \"b\""), p.find("\"pos\": 0, \"str\": \"a\""))
        << "each item inserted again at its sorted place\n" << p;
    EXPECT_TRUE(Has(p, "\"dwid\": 5, \"item\": 0, \"val\": 1")) << "and selects item 1\n" << p;
    WebComboBoxSetProp(combo, 57, 0, nullptr, 0, &write);
    int32_t v = 0;
    const char* text = nullptr;
    WebGetProp(combo, 57, &v, &text);
    EXPECT_EQ(v, 3) << "ScrollBar 0 reads 3";

    // Set text of an item: the page loses the old option as well.
    gPage.posts.clear();
    EXPECT_EQ(ObjectSetText(combo, 1, "c", 1), 0);
    p = Posts();
    EXPECT_TRUE(Has(p, "\"dwid\": 2, \"pos\": 1") && Has(p, "\"dwid\": 1")) << p;
    EXPECT_EQ(ObjectGetText(combo, 2), 0);
    EXPECT_STREQ(gTextBuf, "c") << "sorted: the new text moved after b";

    // FindString from 2 of five searches 3, 4, then 0, 1, 2.
    WebComboBoxSetProp(combo, 27, 0, nullptr, 0, &write);
    WebComboBoxSetProp(combo, 59, 0, "xa;y;z;xb;w", 11, &write);
    struct Find {
        int32_t from;
        const char* text;
        bool prefix;
        int32_t expect;
        const char* why;
    };
    const Find kFinds[] = {
        {2, "x", true, 3, "after 2 the first match is 3"},
        {3, "x", true, 0, "after 3 it wraps to 0"},
        {-1, "x", true, 0, "-1 searches from 0"},
        {-1, "XB", false, 3, "exact and case-insensitive"},
        {-1, "x", false, -1, "exact needs the whole text"},
    };
    for (const Find& f : kFinds)
        EXPECT_EQ(ComboItemFind(combo, f.from, f.text, static_cast<uint32_t>(strlen(f.text)), f.prefix), f.expect)
            << f.why;
    EXPECT_EQ(ObjectInsertItem(combo, 1, "p\x7fq", 3), 0);
    EXPECT_EQ(ComboItemCount(combo), 7u) << "byte 127 separates two items";
    EXPECT_EQ(ObjectGetText(combo, 3), 0);
    EXPECT_STREQ(gTextBuf, "q");
    MethodCallRec add = Call(1, {0});
    add.args[0] = EventItem();
    AddTextArg(&add, 0, "r\t7", 3);
    add.args[1].kind = kItemInt;
    add.args[1].value = 1;
    add.argPresent[1] = 1;
    add.argCount = 2;
    EXPECT_EQ(ObjectInvokeMethod(kTypeCombobox, combo, &add), kWebNoAnswer);
    EXPECT_EQ(gReplyInt, 7) << "the position of the new item";
    MethodCallRec data = Call(17, {7});
    EXPECT_EQ(ObjectInvokeMethod(kTypeCombobox, combo, &data), kWebNoAnswer);
    EXPECT_EQ(gReplyInt, 7) << "the value after the tab is the item's data";
    RecPageAnswer(&gPage, 16, "{\"val\": 2}", 0);
    int32_t sel = 0;
    EXPECT_EQ(ObjectGetValue(combo, 0, &sel), 0);
    EXPECT_EQ(sel, 2) << "the page's 1-based choice";
}

TEST_F(WebEdits, DateLimitsColoursAndUtcMode) {
    ObjectRecord* date = Create(kTypeEditDateTime, nullptr);
    ASSERT_NE(date, nullptr);
    RecPageAnswer(&gPage, 27, "{\"str\": \"\"}", 0);
    int32_t v = 0;
    const char* text = nullptr;
    EXPECT_EQ(WebGetProp(date, 261, &v, &text), 0);
    EXPECT_STREQ(text, "00000000") << "no minimum on the page";
    size_t asked = gPage.posts.size();
    WebGetProp(date, 261, &v, &text);
    EXPECT_EQ(gPage.posts.size(), asked) << "the answer is kept";
    bool write = false;
    WebEditDateTimeSetProp(date, 261, 0, "20260101", 8, &write);
    RecPageInit(&gPage, &gPage, gHost, Deliver);
    RecPageAnswer(&gPage, 27, "{\"str\": \"20260101\"}", 0);
    WebGetProp(date, 261, &v, &text);
    EXPECT_STREQ(text, "20260101") << "a new limit is asked for again";
    EXPECT_EQ(WebGetProp(date, 256, &v, &text), 0);
    EXPECT_EQ(v, 1) << "Checked without a check box";
    struct Color {
        uint32_t value, expect;
        const char* why;
    };
    const Color kColors[] = {
        {0x123456, 0x123456, "an RGB value is kept"},
        {0x80000014, 0x80000014, "system colour 20 is kept"},
        {0x80000015, 0x80000014, "system colour 21 is ignored"},
    };
    for (const Color& c : kColors) {
        WebEditDateTimeSetProp(date, 255, static_cast<int32_t>(c.value), nullptr, 0, &write);
        EXPECT_EQ(WebDateTime(date)->colors[4], c.expect) << c.why;
    }
    MethodCallRec utc = Call(1, {7});
    EXPECT_EQ(ObjectInvokeMethod(kTypeEditDateTime, date, &utc), kWebNoAnswer);
    EXPECT_EQ(gReplyInt, 2) << "UtcMode 7 is taken as 2";
}

TEST_F(WebEdits, LabelsAndGroupBoxes) {
    ObjectRecord* label = Create(kTypeLabelText, [](ObjectCreateRecord* c) {
        c->style = 4;
        c->text = CrText{"T", 1};
    });
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(ObjectSetText(label, 0, "a\r\nb", 4), 0);
    EXPECT_TRUE(Has(Posts(), "<h1>a</br>b</h1>")) << "one heading with the break";

    ObjectRecord* plain = Create(kTypeLabelText, [](ObjectCreateRecord* c) {
        c->style = 2;
        c->text = CrText{"&Name", 5};
    });
    ASSERT_NE(plain, nullptr);
    // Appearance 2 -> 7 -> 2 ends with the class "lt" and the pixel height.
    EXPECT_EQ(SetPropById(plain, 43, 7), 0);
    EXPECT_EQ(SetPropById(plain, 43, 2), 0);
    std::string p = Posts();
    size_t last = p.rfind("\"addc\": \"lt\"");
    ASSERT_NE(last, std::string::npos) << p;
    char height[32];
    snprintf(height, sizeof height, "\"pv\": \"%dpx\"", plain->bottom - plain->top);
    EXPECT_NE(p.find(height, last), std::string::npos) << p;
    int32_t v = 0;
    const char* text = nullptr;
    EXPECT_EQ(WebGetProp(plain, 43, &v, &text), 0);
    EXPECT_EQ(v, 2);

    // UseAltKey turned on later takes the mnemonic of the present text.
    ObjectRecord* stat = Create(kTypeStattext, [](ObjectCreateRecord* c) { c->text = CrText{"&Go", 3}; });
    ASSERT_NE(stat, nullptr);
    EXPECT_EQ(reinterpret_cast<WebStatTextRecord*>(stat)->mnemonic, 0) << "no UseAltKey: no mnemonic";
    EXPECT_EQ(ObjectSetText(stat, 0, "&Run", 4), 0);
    bool write = false;
    EXPECT_EQ(WebStatTextSetProp(stat, 56, 1, nullptr, 0, &write), 0);
    EXPECT_EQ(reinterpret_cast<WebStatTextRecord*>(stat)->mnemonic, 'R');

    ObjectRecord* group = Create(kTypeGroupbox, [](ObjectCreateRecord* c) { c->title = CrText{"Box", 3}; });
    ASSERT_NE(group, nullptr);
    EXPECT_EQ(ObjectGetText(group, 0), 0);
    EXPECT_STREQ(gTextBuf, "Box");
    EXPECT_EQ(ObjectSetText(group, 0, "New", 3), 0);
    char legend[32];
    snprintf(legend, sizeof legend, "\"en\": \"#C%uL\"", group->elementId);
    EXPECT_TRUE(Has(Posts(), legend)) << "the caption goes to the legend";

    ObjectRecord* list = Create(kTypeLabelText, [](ObjectCreateRecord* c) {
        c->style = 3;
        c->text = CrText{"a|b", 3};
    });
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(ObjectSetText(list, 0, "x|y", 3), 0);
    p = Posts();
    char row[32];
    snprintf(row, sizeof row, "C%uR2", list->elementId);
    EXPECT_TRUE(Has(p, "\"action\": 46") && Has(p, row) && Has(p, "\"name\"")) << p;
}

TEST_F(WebEdits, ControlsTakeTheirWindowsTheme) {
    CreateRecordReset(&cr);
    cr.flags0 = kCrVisible;
    cr.bottom = 30;
    cr.right = 200;
    cr.winType = 5;
    cr.theme = CrText{"dark", 4};
    int32_t code = 0;
    ObjectRecord* themed = ObjectCreate(kTypeWindow, &cr, &code);
    ASSERT_NE(themed, nullptr);
    struct Case {
        uint32_t type;
        const char* own;
        const char* expect;
        const char* why;
    };
    const Case kCases[] = {
        {kTypeButton, nullptr, "dark", "a button without a Theme takes its window's"},
        {kTypeEdittext, nullptr, "dark", "an edit too"},
        {kTypeCombobox, nullptr, "dark", "and a combo box"},
        {kTypeButton, "light", "light", "a Theme of its own wins"},
    };
    for (const Case& k : kCases) {
        ObjectRecord* rec = Create(k.type, [&](ObjectCreateRecord* c) {
            c->window = themed->handle;
            c->text = CrText{"x;a", 3};
            if (k.own) c->theme = CrText{k.own, static_cast<uint32_t>(strlen(k.own))};
        });
        ASSERT_NE(rec, nullptr) << k.why;
        ASSERT_NE(rec->theme, nullptr) << k.why;
        EXPECT_STREQ(rec->theme, k.expect) << k.why;
    }
}

TEST_F(WebEdits, FocusMovesRaiseTheNativeFocusEvents) {
    ObjectRecord* first = Create(kTypeEdittext, nullptr);
    ObjectRecord* second = Create(kTypeEdittext, nullptr);
    ASSERT_TRUE(first && second);
    int32_t values[4] = {1, 0, 0, 0};
    ASSERT_EQ(EventRegister(first, kEvLostFocus, values, false, nullptr, 0), 0);
    ASSERT_EQ(EventRegister(second, kEvGotFocus, values, false, nullptr, 0), 0);
    struct Step {
        ObjectRecord* to;
        std::vector<std::pair<uint32_t, int32_t>> expect;   // handle, event
        const char* why;
    };
    const Step kSteps[] = {
        {first, {}, "the first focus: nothing left, nothing registered"},
        {first, {}, "the same focus reported again changes nothing"},
        {second, {{first->handle, kEvLostFocus}, {second->handle, kEvGotFocus}}, "$LOSTFOCUS, then $GOTFOCUS"},
    };
    for (const Step& s : kSteps) {
        WebPageFocusMoved(s.to, window);
        std::vector<std::pair<uint32_t, int32_t>> got;
        EventRecord ev = {};
        EventItem items[kEventRegItems];
        uint32_t count = 0;
        while (EventTakeNext(&ev, items, &count)) got.emplace_back(ev.handle, ev.eventId);
        EXPECT_EQ(got, s.expect) << s.why;
    }
    EventCleanup();
}
