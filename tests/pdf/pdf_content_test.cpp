// pdf_content_test.cpp - page content as written into the content buffer:
// numbers, colours, units, control codes, font texts and selection, text
// placement, shapes, and the printer information record.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "tests/pdf/pdftest.h"

namespace {

struct Doc {
    PdfDocRec* doc = nullptr;
    explicit Doc(DWORD options = 0, int resolution = 600) {
        PdfTestHooks();
        EXPECT_EQ(PdfBegin("content.pdf", &doc, options, resolution), 0);
    }
    ~Doc() { PdfFinish(doc); }
    std::string Take() {
        std::string s(reinterpret_cast<char*>(doc->content), doc->contentLen);
        doc->contentLen = 0;
        return s;
    }
};

const BYTE* B(const char* s) { return reinterpret_cast<const BYTE*>(s); }

std::vector<WORD> Units(const std::u16string& s) { return std::vector<WORD>(s.begin(), s.end()); }

// A text as UTF-16LE bytes.
std::string Utf16(const std::vector<WORD>& units) {
    std::string bytes;
    for (WORD u : units) {
        bytes += static_cast<char>(u & 0xFF);
        bytes += static_cast<char>(u >> 8);
    }
    return bytes;
}

// The bytes of the first "(...) Tj" string of a content text, escapes undone.
std::string ShownBytes(const std::string& content) {
    std::string out;
    size_t at = content.find(" Td (");
    if (at == std::string::npos) return out;
    for (size_t i = at + 5; i < content.size() && content[i] != ')'; i++) {
        if (content[i] == '\\') i++;
        out += content[i];
    }
    return out;
}

}  // namespace

TEST(PdfContent, NumbersHaveThreeTruncatedDecimals) {
    struct Case {
        double v;
        const char* text;
    };
    static const Case kCases[] = {
        {6.6, "6.600"},      {11.756, "11.756"}, {612, "612.000"}, {-0.0004, "0.000"},
        {-1.5, "-1.500"},    {0.29899, "0.298"}, {-2.0009, "-2.000"}, {771.4552, "771.455"},
        {76 / 255.0, "0.298"}, {3 * 6.6, "19.800"}, {0.0009999, "0.000"},
    };
    Doc d;
    for (const Case& c : kCases) {
        PdfCsNum(d.doc, c.v);
        EXPECT_EQ(d.Take(), c.text) << c.v;
    }
}

TEST(PdfContent, ColoursAreRememberedAndGreyedOnRequest) {
    Doc d;
    PdfSetColor(d.doc, 0x0000FF, kPdfFill);
    EXPECT_EQ(d.Take(), "1.000 0.000 0.000 rg\r\n");
    PdfSetColor(d.doc, 0x0000FF, kPdfFill);
    EXPECT_EQ(d.Take(), "") << "the same fill colour is written once";
    PdfSetColor(d.doc, 0x0000FF, kPdfStroke);
    EXPECT_EQ(d.Take(), "1.000 0.000 0.000 RG\r\n") << "stroke has its own memory";
    PdfControlCode(d.doc, 285, 1);
    PdfSetColor(d.doc, 0x0000FF, kPdfFill);
    EXPECT_EQ(d.Take(), "0.298 0.298 0.298 rg\r\n") << "red in grey is 76";
    PdfSetColor(d.doc, 0xFFFFFF, kPdfFill);
    EXPECT_EQ(d.Take(), "1.000 1.000 1.000 rg\r\n") << "white stays white";
    PdfNewPage(d.doc);
    PdfSetColor(d.doc, 0xFFFFFF, kPdfFill);
    EXPECT_EQ(d.Take(), "1.000 1.000 1.000 rg\r\n") << "a new page forgets the colours";
}

TEST(PdfContent, UnitsConvertToPointsBothWays) {
    struct Case {
        int mode;
        double value, horz, vert;
    };
    static const Case kCases[] = {
        {1, 10, 66.0, 117.56}, {2, 100, 72.0, 72.0},   {3, 100, 28.35, 28.35}, {4, 1000, 72.0, 72.0},
        {5, 1000, 28.35, 28.35}, {6, 600, 72.0, 72.0}, {7, 10, 5.0, 5.0},      {8, 2, 13.2, 23.512},
        {9, 7, 7.0, 7.0},
    };
    Doc d;
    for (const Case& c : kCases) {
        d.doc->unitMode = static_cast<BYTE>(c.mode);
        EXPECT_NEAR(PdfToPoints(d.doc, c.value, kPdfHorz), c.horz, 1e-9) << "mode " << c.mode;
        EXPECT_NEAR(PdfToPoints(d.doc, c.value, kPdfVert), c.vert, 1e-9) << "mode " << c.mode;
        EXPECT_NEAR(PdfFromPoints(d.doc, c.horz, kPdfHorz, c.mode), c.value, 1e-9) << "mode " << c.mode;
    }
    d.doc->unitMode = kPdfUnitCells;
    EXPECT_EQ(PdfToPoints(d.doc, 5, kPdfNoDir), 5.0) << "no direction leaves cells as they are";
    d.doc->unitMode = kPdfUnitDots;
    EXPECT_EQ(PdfToPoints(d.doc, 0, kPdfHorz), 1.0) << "0 dots become 1 point";
}

TEST(PdfContent, PositionsAndControlCodes) {
    Doc d;
    PdfDocRec* doc = d.doc;
    PdfMoveTo(doc, 3, 2);
    EXPECT_NEAR(doc->x, 13.2, 1e-9);
    EXPECT_NEAR(doc->y, 11.756, 1e-9);
    PdfControlCode(doc, 280, 8);
    PdfMoveTo(doc, 1, 1);
    EXPECT_EQ(doc->x, 0.0);
    EXPECT_EQ(doc->unitMode, kPdfUnitFontCells) << "mode 8 survives a move";
    PdfControlCode(doc, 280, 1);

    PdfControlCode(doc, 86, 2);
    EXPECT_NEAR(doc->y, 2 * 11.756, 1e-9);
    PdfControlCode(doc, 261, -1);
    EXPECT_NEAR(doc->x, -6.6, 1e-9);
    PdfControlCode(doc, 85, 1);
    EXPECT_EQ(doc->x, 0.0);
    EXPECT_NEAR(doc->y, 3 * 11.756, 1e-9);

    PdfControlCode(doc, 277, 2);
    PdfControlCode(doc, 277, 2);
    EXPECT_EQ(doc->pageWidth, 792.0) << "landscape twice exchanges once";
    PdfControlCode(doc, 289, 9);
    EXPECT_EQ(doc->pageWidth, 842.0) << "A4 in landscape";
    EXPECT_EQ(doc->pageHeight, 595.35);
    PdfControlCode(doc, 277, 1);
    EXPECT_EQ(doc->pageWidth, 595.35);
    PdfControlCode(doc, 289, 42);
    EXPECT_EQ(doc->pageWidth, 595.35) << "paper 42 is ignored";
    PdfControlCode(doc, 291, 2100);
    EXPECT_NEAR(doc->pageWidth, 595.35, 1e-9);

    PdfControlCode(doc, 113, 0);
    PdfControlCode(doc, 297, 600);
    EXPECT_NEAR(doc->leftOffset, 63.0, 1e-9) << "one inch less the 9-point margin";
    PdfControlCode(doc, 298, 10);
    EXPECT_EQ(doc->topOffset, 0.0);
    PdfControlCode(doc, 112, 0);
    PdfControlCode(doc, 295, 300);
    EXPECT_NEAR(doc->cellWidth, 36.0, 1e-9) << "explicit cell in dots, taken at once in mode 1";
    PdfControlCode(doc, 295, 0);
    EXPECT_NEAR(doc->cellWidth, 6.6, 1e-9);

    PdfControlCode(doc, 270, 4);
    EXPECT_EQ(doc->foreground, 0x0000FFu);
    PdfControlCode(doc, 270, 9);
    EXPECT_EQ(doc->foreground, 0x0000FFu) << "indexes beyond the table are ignored";
    PdfControlCode(doc, 103, 0);
    EXPECT_EQ(doc->foreground, 0u);
    EXPECT_EQ(doc->background, 0xFFFFFFu);

    DWORD pages = doc->pageCounter;
    PdfControlCode(doc, 102, 3);
    EXPECT_EQ(doc->pageCounter, pages + 3) << "form feed 3 ends three pages";
    EXPECT_EQ(doc->x, 0.0);
    EXPECT_EQ(doc->y, 0.0);
    PdfControlCode(doc, 84, 1);
    PdfControlCode(doc, 299, 1);
    EXPECT_EQ(d.Take(), "") << "codes out of range do nothing";
    EXPECT_EQ(PdfPageSetupValue(1), 90);
    EXPECT_EQ(PdfPageSetupValue(2), 67);
    EXPECT_EQ(PdfPageSetupValue(3), 5100);
    EXPECT_EQ(PdfPageSetupValue(4), 6600);
    EXPECT_EQ(PdfPageSetupValue(5), 0);
}

TEST(PdfFonts, FontTextsParse) {
    struct Case {
        const char* text;
        int result;
        const char* face;
        DWORD size;
        WORD angle;
        BYTE bold, italic, underline;
    };
    static const Case kCases[] = {
        {"", 0, "Courier", 90, 0, 0, 0, 0},
        {"'Times'(10)", 25, "Courier", 90, 0, 0, 0, 0},
        {"'TIMES'(10)", 0, "Times", 100, 0, 0, 0, 0},
        {"times(10)", 0, "Times", 100, 0, 0, 0, 0},
        {"'>Arial Narrow'(BOLD,11.5)", 0, "Arial Narrow", 115, 0, 1, 0, 0},
        {"TIMES(A450,12)", 0, "Times", 120, 450, 0, 0, 0},
        {"TIMES(A3700)", 0, "Times", 90, 100, 0, 0, 0},
        {"fixed ( b , i , u )", 0, "Courier", 90, 0, 1, 1, 1},
        {"HELVETICA(ITALIC)", 0, "Helvetica", 90, 0, 0, 1, 0},
        {"SYSTEM", 0, "Times", 90, 0, 0, 0, 0},
        {">Arial", 0, "ARIAL", 90, 0, 0, 0, 0},  // unquoted names are upper-cased
        {"'TIMES(10)", 24, "Courier", 90, 0, 0, 0, 0},
        {"COURIER(10)", 25, "Courier", 90, 0, 0, 0, 0},
        {"TIMES()", 26, "Times", 90, 0, 0, 0, 0},
        {"TIMES(0)", 26, "Times", 90, 0, 0, 0, 0},
        {"TIMES(BOLDER)", 26, "Times", 90, 0, 0, 0, 0},
        {"TIMES(12", 27, "Times", 90, 0, 0, 0, 0},
        {"TIMES(12 B)", 27, "Times", 90, 0, 0, 0, 0},
        {"TIMES(", 28, "Times", 90, 0, 0, 0, 0},
        {"TIMES(12, ", 28, "Times", 90, 0, 0, 0, 0},
        {"TIMES(12) X", 29, "Times", 90, 0, 0, 0, 0},
        {"TIMES X", 29, "Times", 90, 0, 0, 0, 0},
    };
    for (const Case& c : kCases) {
        PdfFontSpec s;
        EXPECT_EQ(PdfParseFontSpec(c.text, strlen(c.text), &s), c.result) << c.text;
        EXPECT_STREQ(s.face, c.face) << c.text;
        EXPECT_EQ(s.size, c.size) << c.text;
        EXPECT_EQ(s.angle, c.angle) << c.text;
        EXPECT_EQ(s.bold, c.bold) << c.text;
        EXPECT_EQ(s.italic, c.italic) << c.text;
        EXPECT_EQ(s.underline, c.underline) << c.text;
    }
}

TEST(PdfFonts, SelectionMapsFamiliesAndReusesFonts) {
    struct Case {
        DWORD options;
        const char* face;
        int bold, italic;
        bool ok;
        const char* baseFont;
        BYTE recordedBold;
    };
    static const Case kCases[] = {
        {0, "Arial", 1, 0, true, "Helvetica-Bold", 1},
        {0, "times new roman", 1, 1, true, "Times-BoldItalic", 1},
        {0, "Courier New", 0, 1, true, "Courier-Oblique", 0},
        {0, "Symbol", 1, 0, true, "Symbol", 0},
        {0, "Zapf Dingbats", 0, 1, true, "ZapfDingbats", 0},
        {0, "Arial Narrow", 0, 0, false, "Courier", 0},
        // Preferring TrueType maps the standard families to their Windows names,
        // whose font files are not read yet: even the first Courier fails.
        {1u << 19, "Helvetica", 0, 0, false, "", 0},
        {(1u << 18) | (1u << 19), "Helvetica", 0, 0, true, "Helvetica", 0},
    };
    for (const Case& c : kCases) {
        Doc d(c.options);
        EXPECT_EQ(PdfSelectFont(d.doc, c.face, c.bold, c.italic), c.ok) << c.face;
        EXPECT_STREQ(PdfFontBaseName(d.doc), c.baseFont) << c.face;
        if (d.doc->curFont) {
            EXPECT_EQ(d.doc->curFont->bold, c.recordedBold) << c.face;
        }
        if (!c.ok) {
            EXPECT_STREQ(gPdfErrorText, "Font name not found");
        }
    }
    Doc d;
    DWORD next = d.doc->nextObj;
    PdfSelectFont(d.doc, "Times", 0, 0);
    PdfSelectFont(d.doc, "Courier", 0, 0);
    PdfSelectFont(d.doc, "TIMES", 0, 0);
    EXPECT_EQ(d.doc->nextObj, next + 1) << "the same face and style twice write one dictionary";
    PdfFontSpec spec;
    ASSERT_EQ(PdfParseFontSpec("'>Arial Narrow'(12)", 19, &spec), 0);
    EXPECT_EQ(PdfSetFontSpec(d.doc, &spec), kPdfFontNotMade);
    EXPECT_STREQ(PdfFontBaseName(d.doc), "Times-Roman") << "the previous font stays";
}

TEST(PdfFonts, StandardWidthsByEncoding) {
    struct Case {
        const char* baseFont;
        bool winAnsi;
        int code;
        double width;
    };
    static const Case kCases[] = {
        {"Times-Roman", false, ' ', 250},  {"Times-Roman", false, 'A', 722},
        {"Times-Roman", false, ':', 278},  {"Times-Roman", false, 0x27, 333},
        {"Times-Roman", true, 0x27, 180},  {"Times-Roman", true, 0x80, 500},
        {"Times-Roman", false, 0x80, 0},   {"Times-Roman", true, 0xE9, 444},
        {"Helvetica-Bold", true, 'W', 944}, {"Courier", false, 'i', 600},
        {"Courier-BoldOblique", true, 0xFC, 600}, {"Courier", false, 31, 0},
        {"Symbol", false, 'a', 631},       {"ZapfDingbats", true, 0x21, 974},
    };
    for (const Case& c : kCases) {
        const PdfFontMetrics* m = PdfStdMetrics(c.baseFont, c.winAnsi);
        ASSERT_NE(m, nullptr) << c.baseFont;
        EXPECT_EQ(m->widths[c.code], c.width) << c.baseFont << " code " << c.code;
    }
    EXPECT_EQ(PdfStdMetrics("Times-Roman", false)->lead[3], 891);
    Doc d;
    PdfSelectFont(d.doc, "Times", 0, 0);
    d.doc->fontSize = 10;
    EXPECT_NEAR(PdfTextWidth(d.doc, B("AA"), 2), 14.44, 1e-9);
}

TEST(PdfContent, TextPlacementFollowsAlignment) {
    struct Case {
        int align;  // control code 281 value
        WORD column;
        const char* text;
        const char* td;
    };
    // Courier 11: 6.6 points a character; position (column - 1) x 6.6 + 9.
    static const Case kCases[] = {
        {0, 11, "abc", " Tf 75.000 "},
        {3, 11, "abc", " Tf 55.200 "},
        {4, 11, "abc", " Tf 65.100 "},
        {1, 11, "12.50", " Tf 55.200 "},  // the end of the '.' at the position
        {1, 11, "1250", " Tf 48.600 "},   // no '.': the end of the text there
        {3, 2, "abcdef", " Tf 9.000 "},   // wider than x: starts at 0
    };
    for (const Case& c : kCases) {
        Doc d;
        PdfControlCode(d.doc, 281, static_cast<int16_t>(c.align));
        PdfMoveTo(d.doc, c.column, 1);
        d.Take();
        PdfDrawText(d.doc, B(c.text), strlen(c.text), '.', false);
        std::string s = d.Take();
        EXPECT_NE(s.find(c.td), std::string::npos) << c.text << " align " << c.align << "\n" << s;
    }
}

TEST(PdfContent, TextRegionUnderlineRotationAndEscapes) {
    Doc d;
    PdfSetRegion(d.doc, 2, 3, 1, 11);
    PdfControlCode(d.doc, 281, 3);
    PdfDrawText(d.doc, B("ab"), 2, '.', false);
    std::string s = d.Take();
    EXPECT_EQ(s.compare(0, 41, "q\r\n9.000 759.488 66.000 19.756 re\r\n W n\r\n"), 0) << s;
    EXPECT_NE(s.find(" Tf 61.800 "), std::string::npos) << "right edge of the region" << s;
    EXPECT_NE(s.find("Q\r\n0.000 w\r\n"), std::string::npos);
    EXPECT_EQ(d.doc->regionRight, 0.0) << "a region lasts one text";

    PdfControlCode(d.doc, 281, 0);
    PdfControlCode(d.doc, 110, 0);
    PdfControlCode(d.doc, 249, 0);
    PdfDrawText(d.doc, B("a(b)\r"), 5, '.', false);
    s = d.Take();
    EXPECT_EQ(s.find(" re\r\n"), std::string::npos) << "transparent: no background";
    EXPECT_NE(s.find("(a\\(b\\)\\r) Tj ET\r\n"), std::string::npos) << s;
    EXPECT_NE(s.find("0.500 w\r\n"), std::string::npos) << "underline thickness 500 / 1000";
    EXPECT_NE(s.find(" l S\r\n"), std::string::npos);

    PdfFontSpec spec;
    PdfParseFontSpec("HELVETICA(A900,10)", 18, &spec);
    EXPECT_EQ(PdfSetFontSpec(d.doc, &spec), 0);
    PdfControlCode(d.doc, 109, 0);
    PdfDrawText(d.doc, B("up"), 2, '.', false);
    s = d.Take();
    EXPECT_NE(s.find(" cm\r\n0 -3.000 "), std::string::npos) << s;
    EXPECT_NE(s.find("q\r\n   BT /F2 10 Tf\r\n0.000 1.000 -1.000 0.000 "), std::string::npos) << s;
    EXPECT_NE(s.find(" Tm\r\n (up) Tj ET\r\nQ\r\n"), std::string::npos) << s;

    PdfDrawText(d.doc, B("A\0B\x01"), 4, '.', kPdfFill);
    s = d.Take();
    EXPECT_NE(s.find("(A?) Tj"), std::string::npos) << "wide text beyond Latin-1 shows '?'";
}

TEST(PdfShapes, PathsAndPaint) {
    Doc d;
    PdfDrawRect(d.doc, 1, 2, 1, 3);
    EXPECT_EQ(d.Take(), "0.000 0.000 0.000 RG\r\n9.000 759.488 19.800 23.512 re\r\nS\r\n")
        << "top 1 and left 1 are the printable area's corner";
    PdfControlCode(d.doc, 282, 1);
    PdfSetColors(d.doc, 271, 0x00FF00);
    PdfDrawRect(d.doc, 1, 2, 1, 3);
    EXPECT_EQ(d.Take(), "0.000 1.000 0.000 rg\r\n9.000 759.488 19.800 23.512 re\r\nB\r\n");

    PdfControlCode(d.doc, 280, 9);  // points
    PdfControlCode(d.doc, 282, 0);
    PdfDrawEllipse(d.doc, 100, 160, 100, 200);
    std::string s = d.Take();
    // Box 100 x 60 at x 109..209, y 623..683 on the page: centre 159, 653.
    EXPECT_EQ(s.compare(0, 18, "109.000 653.000 m\r"), 0) << s;
    EXPECT_NE(s.find("109.000 669.500 131.500 683.000 159.000 683.000 c\r\n"), std::string::npos) << s;
    EXPECT_NE(s.find("186.500 683.000 209.000 669.500 209.000 653.000 c\r\n"), std::string::npos) << s;
    EXPECT_NE(s.find("131.500 623.000 109.000 636.500 109.000 653.000 c S\r\n"), std::string::npos) << s;

    PdfDrawRoundRect(d.doc, 100, 160, 100, 200, 10, 5);
    s = d.Take();
    EXPECT_EQ(s.compare(0, 19, "119.000 683.000 m\r\n"), 0) << s;
    EXPECT_NE(s.find("209.000 683.000 209.000 683.000 209.000 678.000 c\r\n"), std::string::npos) << s;
    EXPECT_NE(s.find("109.000 683.000 109.000 683.000 119.000 683.000 c S\r\n"), std::string::npos) << s;

    PdfMoveTo(d.doc, 10, 20);
    PdfDrawLine(d.doc, 30, 40);
    EXPECT_EQ(d.Take(), "19.000 763.000 m\r\n39.000 743.000 l S\r\n");
    EXPECT_EQ(d.doc->x, 10.0) << "a line leaves the position";
}

TEST(PdfShapes, PrinterInformationRecord) {
    Doc d(0, 600);
    char info[kPdfDeviceInfoLen + 16];
    memset(info, 'z', sizeof info);
    PdfControlCode(d.doc, 281, 3);
    PdfMoveTo(d.doc, 2, 3);
    PdfDeviceInfo(d.doc, 0, info);
    EXPECT_EQ(strlen(info), 281u);
    std::string r(info);
    struct Field {
        size_t off, len;
        const char* text;
    };
    static const Field kFields[] = {
        {0, 8, "00000001"},   {8, 8, "00004950"},   {16, 8, "00006450"}, {24, 8, "00000209"},
        {32, 8, "00000273"},  {40, 8, "00000024"},  {48, 8, "00000005"}, {56, 1, "Y"},
        {57, 4, "0001"},      {61, 2, "YN"},        {63, 8, "00000001"}, {71, 8, "00032000"},
        {79, 5, "YNNYN"},     {84, 4, "0004"},      {88, 31, "pdf:                           "},
        {229, 8, "00000195"}, {237, 8, "00000055"}, {245, 4, "0001"},    {249, 8, "00000011"},
        {257, 8, "00000006"}, {265, 8, "00000002"}, {273, 8, "00000001"},
    };
    for (const Field& f : kFields) EXPECT_EQ(r.substr(f.off, f.len), f.text) << "offset " << f.off;
    EXPECT_EQ(r.substr(119, 110), std::string(110, '0'));
}

TEST(PdfInfo, DictionaryFieldsAndOnce) {
    Doc d;
    PdfInfoOpts o;
    memset(&o, 0, sizeof o);
    o.title = {"Report, Q1", 10};
    o.created = {"2024", 4};
    o.subject = {"s", 1};
    o.keywords = {"k", 1};
    EXPECT_EQ(PdfWriteInfo(d.doc, &o), 0);
    EXPECT_EQ(PdfWriteInfo(d.doc, &o), -1) << "a second dictionary is refused";
    char date[16];
    PdfDateText(date, 0);
    EXPECT_EQ(strlen(date), 14u);
    PdfDateText(date, 86400 * 400);
    EXPECT_EQ(std::string(date, 4), "1971");
}

// Right-to-left runs in a left-to-right line, one row a case; R1.. stand for
// Hebrew letters (U+05D0 on).
TEST(PdfText, RightToLeftRunsInVisualOrder) {
    const WORD R1 = 0x05D0, R2 = 0x05D1, R3 = 0x05D2, R4 = 0x05D3;
    struct Case {
        std::vector<WORD> in, out;
        const char* why;
    };
    const Case kCases[] = {
        {{R1, R2, ' ', '1', '2', R3}, {R3, '1', '2', ' ', R2, R1}, "digits after a run keep their order, left of it"},
        {{'a', 'b', 'c'}, {'a', 'b', 'c'}, "left to right only: unchanged"},
        {{'a', 'b', ' ', R1, R2, ' ', 'c', 'd'}, {'a', 'b', ' ', R2, R1, ' ', 'c', 'd'}, "a run between words"},
        {{R1, R2, R3, R4}, {R4, R3, R2, R1}, "one run turned round"},
        {{R1, ' ', R2}, {R2, ' ', R1}, "a blank between letters of a run joins it"},
        {{R1, R2, ' '}, {' ', R2, R1}, "a blank at the end is neutral: it stands before the run"},
        {{R1, '.', 'x'}, {'.', R1, 'x'}, "punctuation after a run stands left of it, latin after it"},
        {{0x0410, ' ', R1}, {0x0410, ' ', R1}, "a blank after Cyrillic goes with it"},
        {{R1, ' ', 0x2013, ' ', R2}, {R2, ' ', 0x2013, ' ', R1}, "an en dash between letters of a run joins it"},
        {{R1, ' ', 0x2026, ' ', R2}, {R2, ' ', 0x2026, ' ', R1}, "an ellipsis joins the run"},
        {{R1, ' ', 0x20AC, ' ', R2}, {R2, ' ', 0x20AC, ' ', R1}, "a currency sign joins the run"},
        {Units(u"\u05D7\u05E9\u05D1\u05D5\u05E0\u05D9\u05EA 100427 \u2014 \u05EA\u05D5\u05D3\u05D4 \u05E8\u05D1\u05D4!"),
         Units(u"!\u05D4\u05D1\u05E8 \u05D4\u05D3\u05D5\u05EA \u2014 100427 \u05EA\u05D9\u05E0\u05D5\u05D1\u05E9\u05D7"),
         "the invoice's Hebrew line: the dash does not split the sentence"},
    };
    for (const Case& c : kCases) {
        std::vector<WORD> out(c.in.size() + 1, 0xFFFF);
        PdfBidiReorder(c.in.data(), out.data(), c.in.size());
        EXPECT_EQ(out[c.in.size()], 0) << c.why << ": a 0 after the text";
        out.resize(c.in.size());
        EXPECT_EQ(out, c.out) << c.why;
    }
}

// A wide text in a standard font is drawn whole, however long: 5,000 UTF-16
// characters give 5,000 codes, and the position moves by the width of all.
TEST(PdfText, LongWideTextIsDrawnWhole) {
    constexpr size_t kChars = 5000;
    Doc d;
    ASSERT_TRUE(PdfSelectFont(d.doc, "HELVETICA", 0, 0));
    d.doc->fontSize = 10;
    std::vector<WORD> units(kChars);
    for (size_t i = 0; i < kChars; i++) units[i] = static_cast<WORD>('A' + i % 26);
    std::string wide = Utf16(units);
    std::string narrow(units.begin(), units.end());
    double before = d.doc->x;
    ASSERT_EQ(PdfDrawText(d.doc, B(wide.c_str()), wide.size(), '.', true), 0);
    EXPECT_EQ(ShownBytes(d.Take()), narrow) << "every character shown";
    EXPECT_NEAR(d.doc->x - before, PdfTextWidth(d.doc, B(narrow.c_str()), narrow.size()), 1e-6)
        << "x advanced by the whole text";
}

// With allocations capped at 1 MB (the ctest entry pdf_writer_low_memory
// runs this under AddressSanitizer so), page content beyond 1 MB cannot be
// kept: the document answers the loss at its end instead of 0.
TEST(PdfContent, ContentThatCannotGrowFailsTheDocument) {
    const char* asan = getenv("ASAN_OPTIONS");
    if (!asan || !strstr(asan, "max_allocation_size_mb=1")) GTEST_SKIP() << "runs with allocations capped at 1 MB";
    PdfTestHooks();
    PdfDocRec* doc = nullptr;
    ASSERT_EQ(PdfBegin("lowmem.pdf", &doc, 0, 600), 0);
    ASSERT_TRUE(PdfSelectFont(doc, "HELVETICA", 0, 0));
    std::string line(500, 'x');
    for (int i = 0; i < 3000; i++) PdfDrawText(doc, B(line.c_str()), line.size(), '.', false);
    EXPECT_LT(doc->contentLen, 1u << 20) << "the buffer stopped below the cap";
    gPdfErrNo = 0;
    EXPECT_EQ(PdfFinish(doc), kPdfFail) << "lost content is a failure";
    EXPECT_EQ(gPdfErrNo, kPdfErrNoMemory);
}
