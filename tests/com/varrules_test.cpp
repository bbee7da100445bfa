// varrules_test.cpp - the value rules without a platform: item widths to
// VARTYPEs, the kind-16 text limit, the decimal comma, the Variant types and
// widths, index vectors of more than five dimensions, the Invoke error table
// and the exception text's fixed fields (the help context over a long path).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "com/core/varrules.h"

namespace {

TEST(VarRules, IntegerWidthsBecomeTheirTypes) {
    struct Case { uint32_t width; uint64_t value; bool int64; uint16_t requested; uint16_t want; const char* why; };
    static const Case kCases[] = {
        {1, 1, true, 0, kVtUi1, "a byte is unsigned"},
        {2, 1, true, 0, kVtI2, "a word is signed"},
        {4, 1, true, 0, kVtI4, "the common width"},
        {4, 1, true, kVtError, kVtError, "an error code asked for keeps its value as VT_ERROR"},
        {8, 5, true, 0, kVtUi8, "a non-negative 64-bit value goes whole, unsigned"},
        {8, 0x7FFFFFFFFFFFFFFFull, true, 0, kVtUi8, "the largest signed value is still unsigned"},
        {8, 0xFFFFFFFFFFFFFFFFull, true, 0, kVtI8, "-1 goes signed, not as 18446744073709551615"},
        {8, 0x8000000000000000ull, true, 0, kVtI8, "the smallest 64-bit value"},
        {8, 0xFFFFFFFFFFFFFFFFull, false, 0, kVtUi4, "without the 64-bit flag only the low word"},
        {3, 1, true, 0, kVtI4, "an odd width reads 32 bits"},
    };
    for (const Case& c : kCases)
        EXPECT_EQ(IntItemVarType(c.width, c.value, c.int64, c.requested), c.want) << c.why;
}

TEST(VarRules, TextLimitsAndTheDecimalComma) {
    EXPECT_TRUE(TextItemFits(kVarItemText, kText16Max)) << "the shared buffer holds 40960 bytes";
    EXPECT_FALSE(TextItemFits(kVarItemText, kText16Max + 1)) << "one more is refused, not cut or overrun";
    EXPECT_TRUE(TextItemFits(kVarItemText8, 50000)) << "kind 32 has its own allocation";
    EXPECT_TRUE(TextItemFits(kVarItemUtf8, 50000));
    struct Case { std::string in, want; };
    static const Case kCases[] = {{"12,5", "12.5"}, {"1,234,5", "1.234,5"}, {"125", "125"}, {"", ""}};
    for (const Case& c : kCases) {
        std::string s = c.in;
        FirstCommaToPeriod(&s[0], s.size());
        EXPECT_EQ(s, c.want) << "only the first comma changes";
    }
}

TEST(VarRules, VariantTypesAndWidths) {
    struct Case { uint16_t vt; int32_t check; uint32_t byref; uint32_t raw; const char* why; };
    static const Case kCases[] = {
        {kVtI4, 0, 4, 4, "plain integer"},
        {kVtI4 | kVtArray, 0, 4, 4, "an array of integers"},
        {kVtBstr, 0, 4, 0, "a string writes its pointer; its raw bytes are the string's"},
        {kVtR8, 0, 8, 8, "a double"},
        {kVtBool, 0, 2, 2, "a boolean is two bytes"},
        {kVtUi1, 0, 1, 1, "a byte"},
        {kVtI8, 0, 8, 0, "64-bit: no raw form"},
        {kVtVariant, kAutoBadVarType, 0, 4, "a variant only inside an array"},
        {kVtVariant | kVtArray, 0, 0, 4, "an array of variants"},
        {kVtDecimal, kAutoBadVarType, 16, 0, "a decimal is refused, but written whole by reference"},
        {kVtInt, kAutoBadVarType, 4, 0, "VT_INT is refused"},
        {kVtUint, kAutoBadVarType, 4, 0, "VT_UINT is refused"},
        {kVtI4 | kVtByRef, kAutoBadVarType, 4, 4, "a reference cannot be made"},
        {99, kAutoBadVarType, 0, 0, "an unknown number"},
    };
    for (const Case& c : kCases) {
        EXPECT_EQ(VarTypeCheck(c.vt), c.check) << c.why;
        EXPECT_EQ(ByRefWidth(c.vt), c.byref) << c.why;
        EXPECT_EQ(RawValueWidth(c.vt), c.raw) << c.why;
    }
}

TEST(VarRules, IndexVectors) {
    struct Case { uint32_t dims; std::vector<int32_t> given; int32_t code; std::vector<int32_t> want; const char* why; };
    const Case kCases[] = {
        {1, {3}, 0, {3, 0, 0, 0, 0}, "one index"},
        {3, {1}, 0, {1, 0, 0, 0, 0}, "missing indexes count 0"},
        {2, {1, 2, 3, 4, 5}, 0, {1, 2, 0, 0, 0}, "indexes beyond the dimensions are not read"},
        {5, {1, 2, 3, 4, 5}, 0, {1, 2, 3, 4, 5}, "five dimensions fill the vector"},
        {6, {1}, kAutoBadElement, {}, "six dimensions would be read past the vector"},
        {0, {}, kAutoBadElement, {}, "no array"},
    };
    for (const Case& c : kCases) {
        int32_t out[kIndexDimsMax] = {-1, -1, -1, -1, -1};
        EXPECT_EQ(IndexVectorFill(c.dims, c.given.data(), static_cast<uint32_t>(c.given.size()), out), c.code) << c.why;
        if (c.code == 0) {
            EXPECT_EQ(std::vector<int32_t>(out, out + kIndexDimsMax), c.want) << c.why;
        }
    }
    // A 2 x 3 walk: the last dimension runs fastest.
    int32_t lower[2] = {0, 1}, upper[2] = {1, 3}, idx[2] = {0, 1};
    std::string order;
    do order += std::to_string(idx[0]) + std::to_string(idx[1]) + " ";
    while (IndexVectorStep(2, lower, upper, idx));
    EXPECT_EQ(order, "01 02 03 11 12 13 ");
}

TEST(VarRules, InvokeErrors) {
    struct Case { uint32_t hr; int32_t code; DispDetail detail; };
    static const Case kCases[] = {
        {0x80020003u, -70, kDetailNone},  {0x80020004u, -73, kDetailArg},   {0x80020005u, -73, kDetailArg},
        {0x80020007u, -71, kDetailNone},  {0x80020008u, -68, kDetailNone},  {0x80020009u, -69, kDetailException},
        {0x8002000Au, -72, kDetailNone},  {0x8002000Cu, -81, kDetailNone},  {0x8002000Eu, -67, kDetailNone},
        {0x8002000Fu, -82, kDetailNone},  {0x80020006u, -65, kDetailScode}, {0x8002000Bu, -65, kDetailScode},
        {0x8002000Du, -65, kDetailScode}, {0x80004005u, -65, kDetailScode},
    };
    for (const Case& c : kCases) {
        DispErrorRow row = DispErrorLookup(c.hr, kAutoInvokeFailed);
        EXPECT_EQ(row.code, c.code) << std::hex << c.hr;
        EXPECT_EQ(row.detail, c.detail) << std::hex << c.hr;
    }
}

TEST(VarRules, ExceptionTextFields) {
    char text[kExceptionFieldsSize + 1];
    std::string help(250, 'h');
    FormatExceptionText(text, 12, -7, true, "Src", "Went wrong", help.c_str(), 4711);
    std::string s(text, kExceptionFieldsSize);
    EXPECT_EQ(s.substr(0, 11), "00000000012") << "owner id";
    EXPECT_EQ(s.substr(11, 11), "-0000000007") << "wCode";
    EXPECT_EQ(s.substr(22, 100), "Src" + std::string(97, ' ')) << "source blank padded";
    EXPECT_EQ(s.substr(122, 100), "Went wrong" + std::string(90, ' '));
    EXPECT_EQ(s.substr(222, 238), std::string(238, 'h')) << "the path up to position 238";
    EXPECT_EQ(s.substr(460, 11), "00000004711") << "the context over the path's end";
    EXPECT_EQ(text[471], 0);
    FormatExceptionText(text, -3, 99, false, "x", "y", "z", 0);
    s.assign(text, 471);
    EXPECT_EQ(s.substr(0, 22), "-000000000300000000000") << "no EXCEPINFO: wCode 0";
    EXPECT_EQ(s.substr(22, 438), std::string(438, ' ')) << "and no texts";
}

}  // namespace
