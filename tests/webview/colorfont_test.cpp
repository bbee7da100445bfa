// colorfont_test.cpp - the web-view Color and Font objects: font texts and
// their error numbers, shared font records, font properties, colour parts and
// the HSV methods, which must give back the colour they describe.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "objects/font.h"
#include "objects/objops.h"
#include "session/proto/protocol.h"
#include "webview/core/webobject.h"

namespace {

int32_t gReplied;
void RecordReply(int32_t value, uint8_t) { gReplied = value; }

MethodCallRec Call(uint32_t method, int32_t a = -1, int32_t b = -1, int32_t c = -1) {
    MethodCallRec call;
    memset(&call, 0, sizeof call);
    call.method = method;
    int32_t args[3] = {a, b, c};
    for (uint32_t i = 0; i < 3; ++i) {
        if (args[i] < 0) continue;
        call.args[i].kind = kItemInt;
        call.args[i].value = static_cast<uint64_t>(args[i]);
        call.argPresent[i] = 1;
        call.argCount = i + 1;
    }
    return call;
}

class ColorFont : public ::testing::Test {
protected:
    void SetUp() override {
        gWebObjServices = WebObjServices();
        gWebObjServices.replyInt = RecordReply;
        gReplied = -999;
    }
    void TearDown() override {
        for (ObjectRecord* r = gWebColorList; r; r = r->next) r->flags &= ~kObjKept;
        for (ObjectRecord* r = gWebFontObjList; r; r = r->next) r->flags &= ~kObjKept;
        WebClrDestroyAll();
        WebFontDestroyAll();
    }
};

}  // namespace

TEST_F(ColorFont, FontTexts) {
    struct Case {
        const char* text;
        const char* face;   // null: refused
        int32_t size;
        uint16_t angle;
        int err;
        const char* why;
    };
    const Case kCases[] = {
        {"", "Courier New", 90, 0, 0, "no text: Courier New 9 points"},
        {"fixed", "Courier New", 90, 0, 0, "the keyword FIXED"},
        {"Helvetica(12,B)", "Arial", 120, 0, 0, "keyword with size and bold"},
        {">Tahoma(A3700)", "TAHOMA", 90, 100, 0, "an unquoted face in capitals; angle modulo 3600"},
        {"'>Lib.Verdana'(10.5,I)", "Verdana", 105, 0, 0, "a quoted face keeps its case, the library part goes"},
        {"'Courier", nullptr, 0, 0, 24, "a quote without its end"},
        {"Tahoma", nullptr, 0, 0, 25, "a face that is no keyword and has no '>'"},
        {"System(Q)", nullptr, 0, 0, 26, "an unknown item"},
        {"System(B I)", nullptr, 0, 0, 27, "an item not followed by ',' or ')'"},
        {"System(B,", nullptr, 0, 0, 28, "a list without ')'"},
        {"System(B) x", nullptr, 0, 0, 29, "something after ')'"},
    };
    for (const Case& c : kCases) {
        FontRec* f = WebFontFromSpec(c.text, static_cast<int32_t>(strlen(c.text)));
        if (!c.face) {
            EXPECT_EQ(f, nullptr) << c.why;
            EXPECT_EQ(WebFontErrNo(), c.err) << c.why;
            continue;
        }
        ASSERT_NE(f, nullptr) << c.why;
        EXPECT_STREQ(f->face, c.face) << c.why;
        EXPECT_EQ(f->size, c.size) << c.why;
        EXPECT_EQ(f->angle, c.angle) << c.why;
        EXPECT_EQ(f->hfont, nullptr) << "no GDI font in the web-view mode";
        WebFontRelease(f);
    }
}

TEST_F(ColorFont, FixedSharesCourierNew) {
    FontRec* a = WebFontFind("Courier New", 100, 1, 0, 0, 0, 0);
    ASSERT_NE(a, nullptr);
    FontRec* b = WebFontFind("fixed", 100, 1, 0, 0, 0, 0);
    EXPECT_EQ(a, b) << "the keyword finds the same record";
    EXPECT_EQ(a->users, 2) << "and raises its user count";
    FontRec* c = WebFontFind("fixed", 100, 0, 0, 0, 0, 0);
    EXPECT_NE(a, c) << "other styles are another record";
    a->users = kFontUsersMax;
    EXPECT_EQ(WebFontFind("Courier New", 100, 1, 0, 0, 0, 0), nullptr) << "at 65,000 users no more";
    EXPECT_EQ(WebFontErrNo(), kFontErrTooManyUsers);
    a->users = 2;
    WebFontRelease(a);
    WebFontRelease(b);
    WebFontRelease(c);
}

TEST_F(ColorFont, FontObjectProperties) {
    ObjectCreateRecord cr;
    CreateRecordReset(&cr);
    cr.texts[kPidFontName] = CrText{"'>Lib.Arial'", 12};
    cr.given[kPidFontName] = 1;
    cr.style = 0x2 | 0x4;   // bold, underline
    int32_t code = 1;
    ObjectRecord* font = WebFontCreate(nullptr, &cr, &code);
    ASSERT_NE(font, nullptr);
    EXPECT_EQ(code, 0);
    FontRec* f = reinterpret_cast<WebFontObj*>(font)->font;
    EXPECT_STREQ(f->face, "Arial") << "quotes, '>' and the library part go";
    EXPECT_EQ(f->bold, 1);
    EXPECT_EQ(f->underline, 1);
    EXPECT_EQ(font->elementId, 0u) << "a Font has no element";

    struct Case {
        uint32_t code;
        int32_t value;
        int32_t expect;
        const char* why;
    };
    const Case kCases[] = {
        {518, 3700, 100, "angle 3,700 is stored as 100"},
        {324, 120, 120, "size in tenths"},
        {294, 1, 1, "italic on"},
        {267, 0, 0, "bold off"},
    };
    for (const Case& c : kCases) {
        PropChange ch = {};
        ch.code = c.code;
        ch.value = c.value;
        EXPECT_EQ(WebFontSetProp(font, &ch), 0) << c.why;
        PropQuery q = {};
        q.code = c.code;
        EXPECT_EQ(WebFontGetProp(font, &q), 0) << c.why;
        EXPECT_EQ(q.result, c.expect) << c.why;
    }
    PropQuery q = {};
    q.code = 999;
    EXPECT_EQ(WebFontGetProp(font, &q), kWebNotAvailable) << "other codes: -5";
    q.code = 287;
    q.form = 48;
    EXPECT_EQ(WebFontGetProp(font, &q), 0);
    ASSERT_NE(q.resultObject, nullptr) << "a Font-valued face query answers a Font object";
    EXPECT_EQ(reinterpret_cast<WebFontObj*>(q.resultObject)->font, reinterpret_cast<WebFontObj*>(font)->font)
        << "sharing the same record";
    MethodCallRec call = Call(1);
    WebFontMethod(font, &call);
    EXPECT_EQ(gReplied, 1);
    call = Call(2);
    gReplied = -12345;
    EXPECT_EQ(WebFontMethod(font, &call), kWebUnknownMethod) << "an unknown method is an error";
    EXPECT_EQ(gReplied, -12345) << "not a reply value";
}

TEST_F(ColorFont, ColorCreateAndParts) {
    ObjectCreateRecord cr;
    CreateRecordReset(&cr);
    int32_t code = 0;
    EXPECT_EQ(WebColorCreate(nullptr, &cr, &code), nullptr);
    EXPECT_EQ(code, kWebNotCreated) << "a Color without any component is refused";
    cr.values[kPidValue] = 0x123456;
    cr.given[kPidValue] = 1;
    cr.destroyGlobal = 0;
    ObjectRecord* c = WebColorCreate(nullptr, &cr, &code);
    ASSERT_NE(c, nullptr);
    struct Case {
        uint32_t part;
        uint32_t expect;
    };
    const Case kCases[] = {{0, 0x123456}, {1, 0x56}, {2, 0x34}, {3, 0x12}, {4, 0x123456}, {7, 0}};
    for (const Case& k : kCases) EXPECT_EQ(WebColorGetValue(c, k.part), k.expect) << "part " << k.part;
    WebColorSetValue(c, 2, 0xAB);
    EXPECT_EQ(WebColorGetValue(c, 0), 0x12AB56u) << "green replaced";
    WebClrDestroyAll();
    EXPECT_EQ(gWebColorList, c) << "a kept Color survives the destroy-all";
    c->flags &= ~kObjKept;
    WebClrDestroyAll();
    EXPECT_EQ(gWebColorList, nullptr);
}

TEST_F(ColorFont, HsvMethodsInvertEachOther) {
    ObjectRecord* c = WebColorAlloc();
    ASSERT_NE(c, nullptr);
    struct Case {
        uint32_t rgb;
        int32_t hsv;      // what method 2 answers, -1: not checked
        const char* why;
    };
    const Case kCases[] = {
        {0x0000FF, 0xFF << 16 | 0xFF << 8 | 0, "pure red: hue 0"},
        {0xFF00FF, 0xFF << 16 | 0xFF << 8 | 213, "magenta: hue 300 is byte 213, not 44"},
        {0x808080, 0x80 << 16, "grey: no hue, no saturation"},
        {0x4080C0, -1, "a mixed colour"},
        {0x10E030, -1, "another"},
        {0x000000, 0, "black"},
    };
    for (const Case& k : kCases) {
        WebColorSetValue(c, 0, k.rgb);
        MethodCallRec get = Call(2);
        WebColorMethod(c, &get);
        int32_t hsv = gReplied;
        if (k.hsv >= 0) {
            EXPECT_EQ(hsv, k.hsv) << k.why;
        }
        MethodCallRec set = Call(3, hsv & 0xFF, (hsv >> 8) & 0xFF, (hsv >> 16) & 0xFF);
        WebColorMethod(c, &set);
        for (uint32_t part = 1; part <= 3; ++part) {
            int32_t want = static_cast<int32_t>((k.rgb >> (8 * (part - 1))) & 0xFF);
            int32_t got = static_cast<int32_t>(WebColorGetValue(c, part));
            EXPECT_LE(std::abs(want - got), 3) << k.why << ": part " << part << " came back as " << got;
        }
    }
}
