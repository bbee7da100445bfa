// fonttext_test.cpp - the font-text grammar: faces, keywords, item lists and the
// error codes 24-29, checked row by row.
#include <gtest/gtest.h>

#include <cstring>

#include "objects/fonttext.h"

namespace {

struct Case {
    const char* text;
    int expect;
    const char* face;
    int32_t size;
    uint16_t angle;
    uint8_t bold, italic, underline, strike;
    const char* why;
};

const Case kCases[] = {
    {"", 0, "Courier New", 90, 0, 0, 0, 0, 0, "an empty text is the fixed face at 9 points"},
    {"FIXED", 0, "Courier New", 90, 0, 0, 0, 0, 0, "FIXED maps to Courier New"},
    {"fixed", 0, "Courier New", 90, 0, 0, 0, 0, 0, "keywords ignore case"},
    {"Helvetica(12)", 0, "Arial", 120, 0, 0, 0, 0, 0, "size in points becomes tenths"},
    {"  SYSTEM ( b , i )", 0, "System", 90, 0, 1, 1, 0, 0, "blanks around the face and the items"},
    {"TIMES(BOLD,ITALIC,U,S,A450,10)", 0, "Times New Roman", 100, 450, 1, 1, 1, 1, "every item"},
    {"TIMES(a3700)", 0, "Times New Roman", 90, 100, 0, 0, 0, 0, "angle taken modulo 3600"},
    {">Arial", 0, "ARIAL", 90, 0, 0, 0, 0, 0, "an unquoted face is upper-cased"},
    {"'>Arial Black'(8)", 0, "Arial Black", 80, 0, 0, 0, 0, 0, "a quoted face keeps its case and blanks"},
    {"'Fixed'", 0, "Courier New", 90, 0, 0, 0, 0, 0, "a quoted keyword is still a keyword"},
    {">font.'Tahoma'", 0, "TAHOMA", 90, 0, 0, 0, 0, 0, "after a dot only the quoted part counts"},
    {"FIXED(10.5)", 0, "Courier New", 105, 0, 0, 0, 0, 0, "a size with tenths, as the Font query writes it"},
    {"FIXED(10.55)", 0, "Courier New", 105, 0, 0, 0, 0, 0, "decimals after the tenth are cut off"},
    {"FIXED()", 26, nullptr, 0, 0, 0, 0, 0, 0, "an empty item"},
    {"FIXED X", 29, nullptr, 0, 0, 0, 0, 0, 0, "text after the face that is no list"},
    {"FIXED(10)   ", 0, "Courier New", 100, 0, 0, 0, 0, 0, "blanks after ')' are allowed"},
    {"'>Arial", 24, nullptr, 0, 0, 0, 0, 0, 0, "a quote that never closes"},
    {"Arial", 25, nullptr, 0, 0, 0, 0, 0, 0, "a face that is no keyword needs '>'"},
    {"'Arial'", 25, nullptr, 0, 0, 0, 0, 0, 0, "a quoted face needs '>' too"},
    {"   ", 25, nullptr, 0, 0, 0, 0, 0, 0, "blanks only leave an empty face"},
    {"FIXED(X)", 26, nullptr, 0, 0, 0, 0, 0, 0, "an unknown item"},
    {"FIXED(0)", 26, nullptr, 0, 0, 0, 0, 0, 0, "size 0 is refused"},
    {"FIXED(A)", 26, nullptr, 0, 0, 0, 0, 0, 0, "an angle without digits"},
    {"FIXED(12x)", 26, nullptr, 0, 0, 0, 0, 0, 0, "a size with a letter"},
    {"FIXED(99999999999)", 26, nullptr, 0, 0, 0, 0, 0, 0, "a size beyond a FontRec is refused, not wrapped"},
    {"FIXED(B,,I)", 26, nullptr, 0, 0, 0, 0, 0, 0, "an empty item between commas"},
    {"FIXED(B I)", 27, nullptr, 0, 0, 0, 0, 0, 0, "two items without a comma"},
    {"FIXED(B,I", 27, nullptr, 0, 0, 0, 0, 0, 0, "the text ends after an item, without ',' or ')'"},
    {"FIXED(B, ", 28, nullptr, 0, 0, 0, 0, 0, 0, "the text ends after ','"},
    {"FIXED(", 28, nullptr, 0, 0, 0, 0, 0, 0, "an open list with nothing in it"},
    {"FIXED(B) x", 29, nullptr, 0, 0, 0, 0, 0, 0, "text after ')'"},
};

TEST(FontText, GrammarTable) {
    for (const Case& c : kCases) {
        FontSpec spec;
        int rc = FontTextParse(c.text, -1, kFontFaceMapStd, &spec);
        EXPECT_EQ(c.expect, rc) << "\"" << c.text << "\": " << c.why;
        if (rc != 0 || c.expect != 0) continue;
        EXPECT_STREQ(c.face, spec.face) << c.why;
        EXPECT_EQ(c.size, spec.size) << c.why;
        EXPECT_EQ(c.angle, spec.angle) << c.why;
        EXPECT_EQ(c.bold, spec.bold) << c.why;
        EXPECT_EQ(c.italic, spec.italic) << c.why;
        EXPECT_EQ(c.underline, spec.underline) << c.why;
        EXPECT_EQ(c.strike, spec.strike) << c.why;
    }
}

TEST(FontText, LengthBoundsTheText) {
    // Only the first 5 bytes count: the list after them is never read, and the
    // text need not end with a NUL.
    const char text[] = {'T', 'I', 'M', 'E', 'S', '(', 'X'};
    FontSpec spec;
    ASSERT_EQ(0, FontTextParse(text, 5, kFontFaceMapStd, &spec));
    EXPECT_STREQ("Times New Roman", spec.face);
    EXPECT_EQ(28, FontTextParse(text, 6, kFontFaceMapStd, &spec)) << "\"TIMES(\" is an open list";
    EXPECT_EQ(0, FontTextParse("'FIXED'", -1, kFontFaceMapStd, &spec, kFontTextExactQuoted))
        << "a quoted name typed as the keyword is the keyword";
    EXPECT_EQ(25, FontTextParse("'Fixed'", -1, kFontFaceMapStd, &spec, kFontTextExactQuoted))
        << "compared as typed, 'Fixed' is no keyword";
    // A quoted face whose closing quote lies beyond the length is unclosed.
    EXPECT_EQ(24, FontTextParse("'>Arial'", 7, kFontFaceMapStd, &spec));
    EXPECT_EQ(0, FontTextParse(nullptr, 10, kFontFaceMapStd, &spec));
    EXPECT_EQ(90, spec.size);
}

TEST(FontText, LongFacesAreCutTo254) {
    std::string quoted = "'>" + std::string(400, 'w') + "'";
    FontSpec spec;
    ASSERT_EQ(0, FontTextParse(quoted.c_str(), -1, kFontFaceMapStd, &spec));
    EXPECT_EQ(253u, strlen(spec.face)) << "254 characters kept, the first being '>'";
    std::string plain = ">" + std::string(400, 'w') + "(B)";
    ASSERT_EQ(0, FontTextParse(plain.c_str(), -1, kFontFaceMapStd, &spec));
    EXPECT_EQ(253u, strlen(spec.face));
    EXPECT_EQ(1, spec.bold) << "the list after a cut face is still read";
}

TEST(FontText, FaceTableIsAParameter) {
    // Another grammar (the printer's) brings its own keywords; the first row is
    // its default face.
    static const FontFaceMap kPrinterMap[] = {{"COURIER", "Courier"}, {"HELVETICA", "Helvetica"}, {nullptr, nullptr}};
    FontSpec spec;
    ASSERT_EQ(0, FontTextParse("helvetica(B)", -1, kPrinterMap, &spec));
    EXPECT_STREQ("Helvetica", spec.face);
    ASSERT_EQ(0, FontTextParse("", -1, kPrinterMap, &spec));
    EXPECT_STREQ("Courier", spec.face);
    EXPECT_EQ(25, FontTextParse("FIXED", -1, kPrinterMap, &spec)) << "FIXED is not a keyword of this table";
}

}  // namespace
