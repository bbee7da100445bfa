// text_test.cpp - string copies, UTF conversions, the character-set modes and
// the code pages.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "session/util/codepage.h"
#include "session/util/mem.h"
#include "session/util/strutil.h"
#include "tests/testutil.h"

namespace {

std::vector<uint8_t> Bytes(std::initializer_list<int> b) {
    std::vector<uint8_t> v;
    for (int x : b) v.push_back(static_cast<uint8_t>(x));
    return v;
}

}  // namespace

TEST(Strings, BoundedCopiesAndFieldReplacement) {
    char big[300];
    memset(big, 'a', sizeof big);
    char out[256];
    CopyStrInto(out, big, sizeof big);
    EXPECT_EQ(strlen(out), 255u) << "at most the array's size less the NUL is copied";
    CopyStrInto(out, "abc\0def", 7);
    EXPECT_STREQ(out, "abc") << "the copy stops at a NUL";
    CopyStrInto(out, nullptr, 5);
    EXPECT_STREQ(out, "");
    char small[4];
    CopyStrInto(small, "abcdef", 6);
    EXPECT_STREQ(small, "abc") << "a small array bounds the copy by its own size";

    char* d = DupBytes("xyz", 2);
    ASSERT_NE(d, nullptr);
    EXPECT_STREQ(d, "xy") << "DupBytes terminates its copy";
    LocalFreeMem(d);
    EXPECT_EQ(DupStr(nullptr), nullptr);

    char* field = nullptr;
    EXPECT_TRUE(ReplaceStrField("hello", -1, &field));
    EXPECT_STREQ(field, "hello");
    EXPECT_TRUE(ReplaceStrField("world wide", 5, &field));
    EXPECT_STREQ(field, "world");
    EXPECT_TRUE(ReplaceStrField("", -1, &field));
    EXPECT_EQ(field, nullptr) << "an empty text empties the field";
    EXPECT_TRUE(ReplaceStrField("x", 0, &field));
    EXPECT_EQ(field, nullptr);
}

TEST(Utf, Utf8ToUtf16Cases) {
    struct Case {
        std::vector<uint8_t> in;
        bool lenient;
        int expect;
        std::vector<uint16_t> out;
        size_t consumed;
        const char* why;
    };
    const Case cases[] = {
        {Bytes({'A', 0xC3, 0xA9}), false, kUtfOk, {0x41, 0xE9}, 3, "two-byte sequence"},
        {Bytes({0xE2, 0x82, 0xAC}), false, kUtfOk, {0x20AC}, 3, "euro sign"},
        {Bytes({0xF0, 0x9F, 0x98, 0x80}), false, kUtfOk, {0xD83D, 0xDE00}, 4, "astral plane becomes a pair"},
        {Bytes({'A', 0xE2, 0x82}), false, kUtfSourceShort, {0x41}, 1, "source ends inside a sequence"},
        {Bytes({0xF0}), false, kUtfSourceShort, {}, 0, "a lone lead byte at the end"},
        {Bytes({0xC0, 0xAF}), false, kUtfIllegal, {}, 0, "overlong slash is illegal"},
        {Bytes({0xE0, 0x80, 0xAF}), false, kUtfIllegal, {}, 0, "overlong three-byte form"},
        {Bytes({0xED, 0xA0, 0x80}), false, kUtfIllegal, {}, 0, "encoded surrogate"},
        {Bytes({0xF4, 0x90, 0x80, 0x80}), false, kUtfIllegal, {}, 0, "above U+10FFFF"},
        {Bytes({0xC0, 0xAF, 'B'}), true, kUtfOk, {0xFFFD, 0xFFFD, 0x42}, 3, "lenient replaces each bad byte"},
        {Bytes({0xE2, 'x'}), true, kUtfOk, {0xFFFD, 0x78}, 2, "broken sequence mid-text"},
    };
    for (const Case& c : cases) {
        uint16_t out[8];
        const uint8_t* s = c.in.data();
        uint16_t* d = out;
        int r = Utf8ToUtf16(&s, c.in.data() + c.in.size(), &d, out + 8, c.lenient);
        EXPECT_EQ(r, c.expect) << c.why;
        EXPECT_EQ(std::vector<uint16_t>(out, d), c.out) << c.why;
        EXPECT_EQ(static_cast<size_t>(s - c.in.data()), c.consumed) << c.why;
    }
}

TEST(Utf, TargetFullStopsBeforeTheCharacter) {
    const uint8_t in[] = {'a', 0xF0, 0x9F, 0x98, 0x80};
    uint16_t out[2];
    const uint8_t* s = in;
    uint16_t* d = out;
    EXPECT_EQ(Utf8ToUtf16(&s, in + 5, &d, out + 2, false), kUtfTargetFull);
    EXPECT_EQ(d - out, 1) << "a pair never goes half into the target";
    EXPECT_EQ(s - in, 1);

    const uint16_t wide[] = {0x20AC};
    uint8_t narrow[2];
    const uint16_t* ws = wide;
    uint8_t* nd = narrow;
    EXPECT_EQ(Utf16ToUtf8(&ws, wide + 1, &nd, narrow + 2, false), kUtfTargetFull);
    EXPECT_EQ(nd, narrow);
}

TEST(Utf, Utf16RoundTripAndSurrogates) {
    const uint16_t text[] = {0x48, 0xE9, 0x20AC, 0xD83D, 0xDE00, 0xFFFF};
    uint8_t utf8[32];
    const uint16_t* s = text;
    uint8_t* d = utf8;
    ASSERT_EQ(Utf16ToUtf8(&s, text + 6, &d, utf8 + sizeof utf8, false), kUtfOk);
    EXPECT_EQ(d - utf8, 1 + 2 + 3 + 4 + 3);
    uint16_t back[8];
    const uint8_t* s2 = utf8;
    uint16_t* d2 = back;
    ASSERT_EQ(Utf8ToUtf16(&s2, d, &d2, back + 8, false), kUtfOk);
    EXPECT_EQ(std::vector<uint16_t>(back, d2), std::vector<uint16_t>(text, text + 6));

    const uint16_t loneLow[] = {0xDC00, 0x41};
    s = loneLow;
    d = utf8;
    EXPECT_EQ(Utf16ToUtf8(&s, loneLow + 2, &d, utf8 + 8, false), kUtfIllegal);
    s = loneLow;
    d = utf8;
    EXPECT_EQ(Utf16ToUtf8(&s, loneLow + 2, &d, utf8 + 8, true), kUtfOk);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(utf8), d - utf8), "\xEF\xBF\xBD" "A");
    const uint16_t highAtEnd[] = {0x41, 0xD83D};
    s = highAtEnd;
    d = utf8;
    EXPECT_EQ(Utf16ToUtf8(&s, highAtEnd + 2, &d, utf8 + 8, false), kUtfSourceShort);
    EXPECT_EQ(s, highAtEnd + 1);
}

TEST(Utf, IsUtf16Text) {
    struct Case {
        std::vector<uint8_t> in;
        bool expect, mark;
        const char* why;
    };
    const Case cases[] = {
        {Bytes({0xFF, 0xFE, 'a', 0}), true, true, "little-endian mark"},
        {Bytes({0xFE, 0xFF, 0, 'a'}), true, true, "big-endian mark"},
        {Bytes({'h', 0, 'i', 0}), true, false, "plain little-endian text"},
        {Bytes({'h', 'i', 'y', 'o'}), false, false, "8-bit text"},
        {Bytes({'h', 0, 'i'}), false, false, "odd length"},
        {Bytes({0, 0, 'i', 0}), false, false, "a NUL unit inside"},
        {Bytes({0x3D, 0xD8, 'a', 0}), false, false, "unpaired surrogate"},
        {{}, false, false, "empty"},
    };
    for (const Case& c : cases) {
        bool mark = true;
        EXPECT_EQ(IsUtf16Text(c.in.data(), c.in.size(), &mark), c.expect) << c.why;
        EXPECT_EQ(mark, c.mark) << c.why;
    }
}

TEST(CharModes, AnsiToUtf8AndBackByMode) {
    ScopedSet mode(gCharConvMode);
    const char* text = "caf\xE9";
    const char* p = text;

    gCharConvMode = kCharModeUtf8;
    EXPECT_EQ(AnsiToUtf8(&p, 4, 0), 4u);
    EXPECT_EQ(p, text) << "mode 0 leaves the text alone";
    gCharConvMode = kCharModeLatin1;
    EXPECT_EQ(AnsiToUtf8(&p, 4, 0), 4u) << "mode 1 is converted by the writers";

    // Mode 2: byte 0xE9 maps through the loaded table; map 0x80 to the euro sign.
    uint8_t table[256];
    for (int i = 0; i < 128; i++) {
        table[2 * i] = static_cast<uint8_t>(0x80 + i);
        table[2 * i + 1] = 0;
    }
    table[0] = 0xAC;
    table[1] = 0x20;
    EXPECT_EQ(SetCharMapTable(table, 100), -1) << "a short table is refused";
    ASSERT_EQ(SetCharMapTable(table, sizeof table), 0);
    gCharConvMode = kCharModeMap;
    const char* euro = "\x80=\xE9";
    p = euro;
    size_t n = AnsiToUtf8(&p, 0, 1);
    EXPECT_EQ(std::string(p, n), "\xE2\x82\xAC=\xC3\xA9");

    char back[16];
    EXPECT_EQ(Utf8ToAnsi(p, n, back, sizeof back), 3u);
    EXPECT_STREQ(back, euro) << "the reverse map finds the euro's byte";
    EXPECT_EQ(Utf8ToAnsi("\xE4\xB8\xAD", 3, back, sizeof back), 1u);
    EXPECT_STREQ(back, "?") << "characters the set lacks become '?'";

    gCharConvMode = kCharModeLatin1;
    EXPECT_EQ(Utf8ToAnsi("\xC3\xA9t\xC3", 4, back, sizeof back), 2u) << "a cut sequence at the end is dropped";
    EXPECT_STREQ(back, "\xE9t");
    char tiny[3];
    EXPECT_EQ(Utf8ToAnsi("abcdef", 6, tiny, sizeof tiny), 2u) << "the target's size is respected";
    EXPECT_EQ(SetCharConvMode(400), -1);
    EXPECT_EQ(SetCharConvMode(1252), kCharModeLatin1);
    EXPECT_EQ(gCharConvMode, 1252);
}

#ifdef _WIN32
// OEM 437 and ANSI 1252 as the system reports them: every OEM byte that has an
// ANSI counterpart survives the trip OEM -> ANSI -> OEM.
TEST(CodePages, OemAnsiRoundTrip) {
    if (GetOEMCP() != 437 || GetACP() != 1252) GTEST_SKIP() << "OEM " << GetOEMCP() << " ANSI " << GetACP();
    ScopedSet convert(gOemConvert, true);
    ScopedSet mode(gCharConvMode);
    const char* ansi = OemToAnsiStr("\x81\x84\x94", 0);
    EXPECT_STREQ(ansi, "\xFC\xE4\xF6") << "u, a and o umlaut";
    char buf[4];
    strcpy(buf, ansi);
    EXPECT_STREQ(AnsiToOemStr(buf), "\x81\x84\x94");
    int survived = 0;
    for (int b = 0x80; b < 0x100; b++) {
        char oem[2] = {static_cast<char>(b), 0};
        char a[2];
        strcpy(a, OemToAnsiStr(oem, 1));
        char o[2];
        strcpy(o, a);
        AnsiToOemStr(o);
        if (o[0] == oem[0]) survived++;
    }
    EXPECT_GT(survived, 40) << "the accented letters at least";
    gOemConvert = false;
    const char* same = "\x81";
    EXPECT_EQ(OemToAnsiStr(same, 0), same) << "with the option off the text itself";

    SetCharConvMode(1252);
    const char* p = "\x80\xE9";
    size_t n = AnsiToUtf8(&p, 2, 0);
    EXPECT_EQ(std::string(p, n), "\xE2\x82\xAC\xC3\xA9") << "code page 1252 through the system";
}
#endif
