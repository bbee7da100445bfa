// pdf_font_tools_test.cpp - TrueType fonts in PDF files: the ini and installed
// font list rules as tables, Debian's Liberation and DejaVu files loaded and
// read back by pdffonts and pdftotext, and copies of them damaged one table at
// a time, each refused with its code and never read outside the file.
#include <gtest/gtest.h>

#include <strings.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "tests/pdf/pdftest.h"
#include "tests/pdf/pdftools.h"
#include "tests/testutil.h"

namespace {

const char kLiberation[] = "/usr/share/fonts/truetype/liberation/";
const char kDejaVu[] = "/usr/share/fonts/truetype/dejavu/";

std::map<std::string, std::string> gIni;
std::vector<std::pair<std::string, std::string>> gFontList;

// Keys of an ini file are found whatever their case.
const char* TestIniFont(const char* key) {
    for (const auto& kv : gIni)
        if (strcasecmp(kv.first.c_str(), key) == 0) return kv.second.c_str();
    return nullptr;
}

bool TestFontList(DWORD index, char* name, size_t nameSize, char* file, size_t fileSize) {
    if (index >= gFontList.size()) return false;
    snprintf(name, nameSize, "%s", gFontList[index].first.c_str());
    snprintf(file, fileSize, "%s", gFontList[index].second.c_str());
    return true;
}

struct FontHooks {
    FontHooks() {
        gPdfHooks.iniFont = TestIniFont;
        gPdfHooks.fontListEntry = TestFontList;
    }
    ~FontHooks() {
        gPdfHooks.iniFont = nullptr;
        gPdfHooks.fontListEntry = nullptr;
        gIni.clear();
        gFontList.clear();
    }
};

void Font(PdfDocRec* doc, const char* text) {
    PdfFontSpec spec;
    ASSERT_EQ(PdfParseFontSpec(text, strlen(text), &spec), 0) << text;
    EXPECT_EQ(PdfSetFontSpec(doc, &spec), 0) << text << ": " << gPdfErrorText;
}

std::string FontBytes(const std::string& path) { return PdfTestRead(path); }

uint32_t Be32(const std::string& s, size_t at) {
    return (uint32_t(uint8_t(s[at])) << 24) | (uint32_t(uint8_t(s[at + 1])) << 16) | (uint32_t(uint8_t(s[at + 2])) << 8) |
           uint8_t(s[at + 3]);
}
void PutBe16(std::string* s, size_t at, uint16_t v) {
    (*s)[at] = static_cast<char>(v >> 8);
    (*s)[at + 1] = static_cast<char>(v);
}

// The offset of a table of a font file's bytes, or 0.
size_t TableAt(const std::string& font, const char* tag, size_t* record = nullptr) {
    size_t count = (uint8_t(font[4]) << 8) | uint8_t(font[5]);
    for (size_t i = 0; i < count; i++) {
        size_t rec = 12 + 16 * i;
        if (font.compare(rec, 4, tag) == 0) {
            if (record) *record = rec;
            return Be32(font, rec + 8);
        }
    }
    return 0;
}

int Load(const std::string& bytes, PdfTtfDesc* d) {
    memset(d, 0, sizeof *d);
    return PdfReadTrueTypeFont(reinterpret_cast<const BYTE*>(bytes.data()), bytes.size(), false, d);
}

}  // namespace

TEST(PdfFonts, IniKeysComeFirstInTheirOrder) {
    FontHooks hooks;
    struct Case {
        std::vector<const char*> keys;  // ini keys present (value: the key in lower case)
        const char* face;
        int bold, italic;
        const char* expect;
        const char* why;
    };
    const Case kCases[] = {
        {{"Arial_BI", "Arial_B", "Arial"}, "Arial", 1, 1, "Arial_BI", "bold italic wins"},
        {{"Arial_B", "Arial"}, "Arial", 1, 1, "Arial_B", "with only _B, bold italic takes it"},
        {{"Arial_I", "Arial"}, "Arial", 1, 0, "Arial", "bold does not take _I"},
        {{"Arial_B"}, "Arial", 0, 0, nullptr, "regular asks only for the key itself"},
        {{"Arial_Narrow"}, "Arial Narrow", 0, 0, "Arial_Narrow", "blanks become underscores"},
    };
    for (const Case& c : kCases) {
        gIni.clear();
        for (const char* k : c.keys) gIni[k] = k;
        char path[kPdfFontPathMax + 1] = "";
        bool found = PdfFindFontFile(c.face, c.bold, c.italic, path);
        EXPECT_EQ(found, c.expect != nullptr) << c.why;
        if (c.expect) EXPECT_STREQ(path, c.expect) << c.why;
    }
}

TEST(PdfFonts, InstalledFontListRules) {
    FontHooks hooks;
    ScopedEnv windir("WINDIR", "C:\\Win");
    gFontList = {{"Arial (TrueType)", "arial.ttf"},
                 {"Arial Bold (TrueType)", "arialbd.ttf"},
                 {"Arial Black (TrueType)", "ariblk.ttf"},
                 {"Arial Bold Italic (TrueType)", "D:\\fonts\\arialbi.ttf"},
                 {"Tahoma Bold (TrueType)", "tahomabd.ttf"}};
    struct Case {
        const char* face;
        int bold, italic;
        const char* expect;
        const char* why;
    };
    const Case kCases[] = {
        {"Arial", 0, 0, "C:\\Win\\Fonts\\arial.ttf", "regular takes the first and stops"},
        {"Arial", 1, 0, "C:\\Win\\Fonts\\arialbd.ttf", "bold takes the second and stops"},
        {"Arial", 1, 1, "D:\\fonts\\arialbi.ttf", "a drive path is used unchanged"},
        {"Arial Bold", 0, 0, "C:\\Win\\Fonts\\arialbd.ttf", "a face naming its style asks for it"},
        {"Tahoma", 0, 0, "C:\\Win\\Fonts\\tahomabd.ttf", "only a styled face: taken short of better"},
        {"Verdana", 0, 0, nullptr, "no value of the face"},
    };
    for (const Case& c : kCases) {
        char path[kPdfFontPathMax + 1] = "";
        bool found = PdfFindFontFile(c.face, c.bold, c.italic, path);
        EXPECT_EQ(found, c.expect != nullptr) << c.why;
        if (c.expect) EXPECT_STREQ(path, c.expect) << c.why;
    }
}

// Debian's fonts through the ini section: embedded, described once per file,
// style suffixes where the file lacks the style, and text that reads back.
TEST(PdfFonts, RealFilesAreEmbeddedAndReadBack) {
    FontHooks hooks;
    std::string sans = std::string(kLiberation) + "LiberationSans-Regular.ttf";
    gIni["Liberation_Sans"] = sans;
    gIni["Liberation_Sans_B"] = std::string(kLiberation) + "LiberationSans-Bold.ttf";
    gIni["Company"] = sans;  // a second face served by the same file
    gIni["DejaVu_Sans_Mono"] = std::string(kDejaVu) + "DejaVuSansMono.ttf";
    gIni["Liberation_Mono"] = std::string(kLiberation) + "LiberationMono-Regular.ttf";
    gIni["DejaVu_Sans"] = std::string(kDejaVu) + "DejaVuSans.ttf";
    PdfDocRec* doc = Begin("ttf.pdf", 1u << 23);  // WinAnsiEncoding
    ASSERT_NE(doc, nullptr);
    Font(doc, "'>Liberation Sans'(12)");
    Text(doc, "caf\xE9 \xC4rger \x80 \x93quoted\x94 \x96 \xDF");
    Font(doc, "'>Liberation Sans'(BOLD,12)");
    PdfMoveTo(doc, 1, 3);
    Text(doc, "Bold");
    Font(doc, ">Company(ITALIC,12)");
    PdfMoveTo(doc, 1, 5);
    Text(doc, "Company");
    Font(doc, "'>DejaVu Sans Mono'(10)");
    PdfMoveTo(doc, 1, 7);
    Text(doc, "Mono");
    Font(doc, "'>Liberation Mono'(10)");
    PdfMoveTo(doc, 1, 9);
    Text(doc, "LiberationMono");
    Font(doc, "'>DejaVu Sans'(10)");
    PdfMoveTo(doc, 1, 11);
    Text(doc, "DejaVu");
    ASSERT_EQ(PdfFinish(doc), 0);
    CheckWithTools("ttf.pdf");
    std::string fonts = RunTool("pdffonts ttf.pdf");
    static const char* const kNames[] = {"LiberationSans ", "LiberationSans-Bold ", "LiberationSans,Italic ",
                                         "DejaVuSansMono ", "LiberationMono ", "DejaVuSans "};
    for (const char* name : kNames) {
        size_t at = fonts.find(std::string("\n") + name);
        ASSERT_NE(at, std::string::npos) << name << "\n" << fonts;
        std::string line = fonts.substr(at + 1, fonts.find('\n', at + 1) - at - 1);
        EXPECT_NE(line.find("TrueType"), std::string::npos) << line;
        EXPECT_NE(line.find(" yes "), std::string::npos) << "embedded: " << line;
    }
    std::string pdf = PdfTestRead("ttf.pdf");
    size_t files = 0, descriptors = 0;
    for (size_t at = pdf.find("/Length1 "); at != std::string::npos; at = pdf.find("/Length1 ", at + 1)) files++;
    for (size_t at = pdf.find("/Type /FontDescriptor"); at != std::string::npos;
         at = pdf.find("/Type /FontDescriptor", at + 1))
        descriptors++;
    EXPECT_EQ(files, 5u) << "two faces of one file share its stream";
    EXPECT_EQ(descriptors, 5u);
    std::string text = RunTool("pdftotext ttf.pdf -");
    EXPECT_NE(text.find("caf\xC3\xA9 \xC3\x84rger \xE2\x82\xAC \xE2\x80\x9Cquoted\xE2\x80\x9D \xE2\x80\x93 \xC3\x9F"),
              std::string::npos)
        << text;
    for (const char* word : {"Bold", "Company", "Mono", "LiberationMono", "DejaVu"})
        EXPECT_NE(text.find(word), std::string::npos) << word;
}

TEST(PdfFonts, MissingFacesAndFilesAreReported) {
    FontHooks hooks;
    gIni["Broken"] = "/nonexistent/broken.ttf";
    PdfDocRec* doc = Begin("ttf-missing.pdf");
    ASSERT_NE(doc, nullptr);
    EXPECT_FALSE(PdfSelectFont(doc, "Nowhere", 0, 0));
    EXPECT_STREQ(gPdfErrorText, "Font name not found");
    EXPECT_FALSE(PdfSelectFont(doc, "Broken", 0, 0));
    EXPECT_STREQ(gPdfErrorText, "TTF load error: 1");
    EXPECT_STREQ(doc->curFont->baseFont, "Courier") << "the current font stays";
    ASSERT_EQ(PdfFinish(doc), 0);
}

// Copies of Liberation Sans damaged one way each: the code of what could not
// be read, or what the descriptor says.
TEST(PdfFonts, DamagedFilesGiveTheirCodes) {
    const std::string font = FontBytes(std::string(kLiberation) + "LiberationSans-Regular.ttf");
    ASSERT_GT(font.size(), 1000u);
    PdfTtfDesc d;
    ASSERT_EQ(Load(font, &d), 0);
    EXPECT_STREQ(d.psName, "LiberationSans");
    EXPECT_STREQ(d.subfamily, "Regular");
    EXPECT_EQ(d.widths[static_cast<BYTE>('A')], 666) << "1366 of 2048 units, truncated";
    EXPECT_EQ(d.widths[0x80], 556) << "0x80 is the euro sign, not a control";
    struct Case {
        std::function<void(std::string*)> damage;
        int expect;
        const char* why;
    };
    const Case kCases[] = {
        {[](std::string* f) { PutBe16(f, 4, 41); }, 3, "41 tables"},
        {[](std::string* f) { f->replace(0, 4, "OTTO"); }, 2, "a CFF OpenType file"},
        {[](std::string* f) { f->resize(8); }, 2, "cut inside the offset table"},
        {[](std::string* f) { f->resize(40); }, 4, "cut inside the table records"},
        {[](std::string* f) {
             size_t rec;
             TableAt(*f, "OS/2", &rec);
             f->replace(rec, 4, "XS/2");
         }, 23, "no OS/2 table"},
        {[](std::string* f) { PutBe16(f, TableAt(*f, "head") + 18, 0); }, 5, "unitsPerEm 0"},
        {[](std::string* f) { PutBe16(f, TableAt(*f, "hhea") + 34, 0); }, 14, "no horizontal metric at all"},
        {[](std::string* f) {
             size_t name = TableAt(*f, "name");
             size_t count = (uint8_t((*f)[name + 2]) << 8) | uint8_t((*f)[name + 3]);
             for (size_t i = 0; i < count; i++) PutBe16(f, name + 6 + 12 * i + 8, 200);
         }, 20, "names longer than 160 bytes"},
        {[](std::string* f) {
             size_t rec;
             TableAt(*f, "cmap", &rec);
             f->replace(rec, 4, "xmap");
         }, 7, "no cmap table"},
        {[](std::string* f) {
             size_t rec;
             TableAt(*f, "prep", &rec);
             const uint32_t past = uint32_t(f->size()) - Be32(*f, rec + 8) + 1;
             PutBe16(f, rec + 12, uint16_t(past >> 16));
             PutBe16(f, rec + 14, uint16_t(past));
         }, 27, "prep passes the file's end by a byte: the subsetter refuses it, so 8-bit text does too"},
    };
    for (const Case& c : kCases) {
        std::string copy = font;
        c.damage(&copy);
        EXPECT_EQ(Load(copy, &d), c.expect) << c.why;
    }
    std::string restricted = font;
    PutBe16(&restricted, TableAt(restricted, "OS/2") + 8, 2);
    ASSERT_EQ(Load(restricted, &d), 0);
    EXPECT_EQ(d.embeddable, 0) << "fsType 2: described, not embedded";
    // Cut at every table's start and middle: a code, never a read outside.
    size_t count = (uint8_t(font[4]) << 8) | uint8_t(font[5]);
    for (size_t i = 0; i < count; i++) {
        size_t off = Be32(font, 12 + 16 * i + 8), len = Be32(font, 12 + 16 * i + 12);
        for (size_t cut : {off, off + len / 2}) {
            std::string copy = font.substr(0, cut);
            int rc = Load(copy, &d);
            EXPECT_TRUE(rc == 0 || (rc >= 1 && rc <= 27)) << "cut at " << cut << ": " << rc;
        }
    }
}

// A font whose embedding is restricted is described without its file.
TEST(PdfFonts, RestrictedFontIsNotEmbedded) {
    FontHooks hooks;
    std::string font = FontBytes(std::string(kLiberation) + "LiberationSans-Regular.ttf");
    PutBe16(&font, TableAt(font, "OS/2") + 8, 2);
    FILE* f = fopen("restricted.ttf", "wb");
    ASSERT_NE(f, nullptr);
    fwrite(font.data(), 1, font.size(), f);
    fclose(f);
    gIni["Restricted"] = "restricted.ttf";
    PdfDocRec* doc = Begin("ttf-restricted.pdf");
    ASSERT_NE(doc, nullptr);
    Font(doc, ">Restricted(12)");
    Text(doc, "restricted");
    ASSERT_EQ(PdfFinish(doc), 0);
    std::string pdf = PdfTestRead("ttf-restricted.pdf");
    EXPECT_NE(pdf.find("/Type /FontDescriptor"), std::string::npos);
    EXPECT_EQ(pdf.find("/FontFile2"), std::string::npos);
    std::string fonts = RunTool("pdffonts ttf-restricted.pdf");
    EXPECT_NE(fonts.find("LiberationSans"), std::string::npos) << fonts;
}

// The codes of a subset: 1 onwards, 13, 40, 41 and 92 skipped, 249 a subset;
// the 250th character opens a second subset under another font number.
TEST(PdfSubsets, CodesAndSubsetsByTheOrderOfCharacters) {
    FontHooks hooks;
    gIni["DejaVu_Sans"] = std::string(kDejaVu) + "DejaVuSans.ttf";
    PdfDocRec* doc = Begin("subset-codes.pdf", 1u << 27);
    ASSERT_NE(doc, nullptr);
    Font(doc, "'>DejaVu Sans'(12)");
    struct Seen {
        DWORD font;
        BYTE code;
    };
    std::vector<Seen> seen;
    for (WORD i = 0; i < 260; i++) {
        DWORD font;
        BYTE code;
        double width;
        ASSERT_TRUE(PdfSubsetChar(doc, static_cast<WORD>(0x0400 + i), &font, &code, &width)) << i;
        seen.push_back({font, code});
    }
    struct Case {
        size_t index;
        BYTE code;
        bool secondSubset;
        const char* why;
    };
    const Case kCases[] = {
        {0, 1, false, "the first character: code 1"},
        {11, 12, false, "the twelfth: code 12"},
        {12, 14, false, "13 is skipped"},
        {37, 39, false, "the one before the parentheses"},
        {38, 42, false, "40 and 41 are skipped"},
        {87, 91, false, "before the backslash"},
        {88, 93, false, "92 is skipped"},
        {248, 253, false, "the 249th fills the subset"},
        {249, 1, true, "the 250th opens subset 1"},
    };
    for (const Case& c : kCases) {
        EXPECT_EQ(seen[c.index].code, c.code) << c.why;
        EXPECT_EQ(seen[c.index].font != seen[0].font, c.secondSubset) << c.why;
    }
    DWORD font;
    BYTE code;
    double width;
    ASSERT_TRUE(PdfSubsetChar(doc, 0x0400, &font, &code, &width));
    EXPECT_EQ(code, 1) << "the same character keeps its code";
    ASSERT_TRUE(PdfSubsetChar(doc, 0xE000, &font, &code, &width));
    EXPECT_GT(width, 0) << "a character the font lacks: glyph 0 at the widest advance";
    Text(doc, "x");
    ASSERT_EQ(PdfFinish(doc), 0);
    CheckWithTools("subset-codes.pdf");
    std::string fonts = RunTool("pdffonts subset-codes.pdf");
    size_t subsets = 0;
    for (size_t at = fonts.find("\nSF"); at != std::string::npos; at = fonts.find("\nSF", at + 1)) subsets++;
    EXPECT_EQ(subsets, 2u) << fonts;
}

// Latin text drawn through subsets and through the whole font with
// WinAnsiEncoding renders alike, accented (composite) letters included: the
// glyphs, their components and the widths came over. Cyrillic, Greek and
// Hebrew render in every reader, and each subset file parses.
TEST(PdfSubsets, SubsetTextRendersAsTheWholeFont) {
    FontHooks hooks;
    gIni["DejaVu_Sans"] = std::string(kDejaVu) + "DejaVuSans.ttf";
    const char latin[] = "Hello, (world) \\ caf\xE9 \xC4rger \x80 \xC5\xF1\xFC \x93quoted\x94";
    for (DWORD options : {1u << 27, 1u << 23}) {
        PdfDocRec* doc = Begin(options == (1u << 27) ? "subset-latin.pdf" : "whole-latin.pdf", options);
        ASSERT_NE(doc, nullptr);
        Font(doc, "'>DejaVu Sans'(20)");
        PdfMoveTo(doc, 3, 3);
        Text(doc, latin);
        ASSERT_EQ(PdfFinish(doc), 0);
    }
    CheckWithTools("subset-latin.pdf");
    RunTool("pdftoppm -r 72 -png -singlefile subset-latin.pdf subset-latin && "
            "pdftoppm -r 72 -png -singlefile whole-latin.pdf whole-latin");
    std::string out = RunTool("compare -metric AE subset-latin.png whole-latin.png null:");
    EXPECT_LE(strtod(out.c_str(), nullptr), 20.0) << "differing pixels: " << out;

    PdfDocRec* doc = Begin("subset-scripts.pdf", 1u << 27);
    ASSERT_NE(doc, nullptr);
    Font(doc, "'>DejaVu Sans'(14)");
    const WORD kLines[][12] = {
        {0x041F, 0x0440, 0x0438, 0x0432, 0x0435, 0x0442, ' ', 0x043C, 0x0438, 0x0440},  // Cyrillic
        {0x039A, 0x03B1, 0x03BB, 0x03B7, 0x03BC, 0x03AD, 0x03C1, 0x03B1},                  // Greek
        {0x05E9, 0x05DC, 0x05D5, 0x05DD},                                                  // Hebrew
    };
    for (int i = 0; i < 3; i++) {
        std::string wide;
        for (WORD ch : kLines[i]) {
            if (!ch) break;
            wide += static_cast<char>(ch & 0xFF);
            wide += static_cast<char>(ch >> 8);
        }
        PdfMoveTo(doc, 3, static_cast<WORD>(3 + 2 * i));
        EXPECT_EQ(PdfDrawText(doc, reinterpret_cast<const BYTE*>(wide.data()), wide.size(), '.', true), 0);
    }
    ASSERT_EQ(PdfFinish(doc), 0);
    CheckWithTools("subset-scripts.pdf");
    RunTool("rm -rf subset-fonts && mkdir subset-fonts && cd subset-fonts && mutool extract ../subset-scripts.pdf");
    std::string listing = RunTool("ls subset-fonts");
    ASSERT_NE(listing.find(".ttf"), std::string::npos) << listing;
    int rc;
    std::string scanned = RunTool("fc-scan --format '%{fontformat}\\n' subset-fonts/*.ttf", &rc);
    EXPECT_EQ(rc, 0) << scanned;
    EXPECT_NE(scanned.find("TrueType"), std::string::npos) << "the subset file parses: " << scanned;
}

// Subset files against the fonts they were cut from, for Cyrillic in DejaVu
// Sans and Chinese in Droid Sans Fallback (whose metrics table is shorter
// than its glyphs): 300 characters give two subsets, the 250th opening the
// second; each extracted file is checked by fontTools - table checksums and
// the file's, loca inside glyf, the glyph count, component ids, and for every
// code the source glyph of its character (components followed) with its
// advance equal to the /Widths entry.
TEST(PdfSubsets, SubsetFilesMatchTheirSourceGlyphs) {
    struct Case {
        const char* key;
        const char* face;
        const char* file;
        WORD first;
        const char* why;
    };
    const Case kCases[] = {
        {"DejaVu_Sans", "'>DejaVu Sans'(12)", "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf", 0x0400,
         "Cyrillic with composite accented letters"},
        {"Droid_Sans_Fallback", "'>Droid Sans Fallback'(12)",
         "/usr/share/fonts/truetype/droid/DroidSansFallbackFull.ttf", 0x4E00, "Chinese ideographs"},
        // Neither has fpgm nor prep: their subsets carry them empty.
        {"Tahoma", "'>Tahoma'(12)", "/usr/share/wine/fonts/tahoma.ttf", 0x0021, "Latin in Wine's Tahoma"},
        {"DejaVu_Math_TeX_Gyre", "'>DejaVu Math TeX Gyre'(12)", "/usr/share/fonts/truetype/dejavu/DejaVuMathTeXGyre.ttf",
         0x0021, "Latin in DejaVu's maths font"},
    };
    constexpr WORD kChars = 300;
    constexpr WORD kPerLine = 30;
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.why);
        FontHooks hooks;
        gIni[c.key] = c.file;
        PdfDocRec* doc = Begin("subset-check.pdf", 1u << 27);
        ASSERT_NE(doc, nullptr);
        Font(doc, c.face);
        struct Seen {
            DWORD font;
            BYTE code;
        };
        std::vector<Seen> seen;
        for (WORD i = 0; i < kChars; i++) {
            DWORD font;
            BYTE code;
            double width;
            ASSERT_TRUE(PdfSubsetChar(doc, static_cast<WORD>(c.first + i), &font, &code, &width)) << i;
            seen.push_back({font, code});
        }
        EXPECT_EQ(seen[0].code, 1);
        EXPECT_EQ(seen[12].code, 14) << "13 is skipped";
        EXPECT_EQ(seen[38].code, 42) << "40 and 41 are skipped";
        EXPECT_EQ(seen[248].font, seen[0].font) << "the 249th fills subset 0";
        EXPECT_NE(seen[249].font, seen[0].font) << "the 250th opens subset 1";
        EXPECT_EQ(seen[249].code, 1);
        for (WORD line = 0; line * kPerLine < kChars; line++) {
            std::string wide;
            for (WORD i = line * kPerLine; i < kChars && i < (line + 1) * kPerLine; i++) {
                WORD ch = static_cast<WORD>(c.first + i);
                wide += static_cast<char>(ch & 0xFF);
                wide += static_cast<char>(ch >> 8);
            }
            PdfMoveTo(doc, 3, static_cast<WORD>(3 + line));
            EXPECT_EQ(PdfDrawText(doc, reinterpret_cast<const BYTE*>(wide.data()), wide.size(), '.', true), 0);
        }
        ASSERT_EQ(PdfFinish(doc), 0);
        CheckWithTools("subset-check.pdf");

        // The manifest: each subset's extracted file, its codes and widths.
        std::string pdf = PdfTestRead("subset-check.pdf");
        auto objs = PdfTestObjects(pdf);
        std::string manifest;
        std::map<DWORD, long> fontObj;  // subset font number -> its dictionary
        for (const auto& o : objs) {
            for (const Seen& s : {seen[0], seen[249]}) {
                std::string key = "/TF" + std::to_string(s.font) + " ";
                if (o.second.find("/Type /Page\r") != std::string::npos || o.second.find("/Type /Page ") != std::string::npos)
                    if (o.second.find(key) != std::string::npos) fontObj[s.font] = PdfTestNumber(o.second, key.c_str());
            }
        }
        ASSERT_EQ(fontObj.size(), 2u) << "two subsets on the page";
        for (const auto& f : fontObj) {
            const std::string& dict = objs[static_cast<unsigned>(f.second)];
            long desc = PdfTestNumber(dict, "/FontDescriptor ");
            long file = PdfTestNumber(objs[static_cast<unsigned>(desc)], "/FontFile2 ");
            std::string name = "subset-check-" + std::to_string(file) + ".ttf";
            RunTool("qpdf --show-object=" + std::to_string(file) + " --filtered-stream-data subset-check.pdf > " + name);
            manifest += "file " + name + "\n";
            size_t w = dict.find("/Widths");
            ASSERT_NE(w, std::string::npos) << dict;
            const char* p = strchr(dict.c_str() + w, '[') + 1;
            std::vector<long> widths;
            for (char* end; (widths.push_back(strtol(p, &end, 10)), end != p); p = end) {}
            widths.pop_back();
            for (WORD i = 0; i < kChars; i++) {
                if (seen[i].font != f.first) continue;
                ASSERT_LE(seen[i].code, widths.size());
                manifest += std::to_string(seen[i].code) + " " + std::to_string(c.first + i) + " " +
                            std::to_string(widths[seen[i].code - 1]) + "\n";
            }
        }
        FILE* m = fopen("subset-check.txt", "w");
        ASSERT_NE(m, nullptr);
        fputs(manifest.c_str(), m);
        fclose(m);
        int rc;
        std::string out = RunTool(std::string("/usr/bin/python3 ") + QOV_PDF_TEST_DIR + "/check_subset_fonts.py " +
                                  c.file + " subset-check.txt", &rc);
        EXPECT_EQ(rc, 0) << out;
        EXPECT_NE(out.find("checked 2 subsets, 300 characters"), std::string::npos) << out;
    }
}

namespace {

// A text as UTF-16LE bytes, drawn at a line of the page.
void WideLine(PdfDocRec* doc, const std::u16string& text, WORD line) {
    std::string wide;
    for (char16_t ch : text) {
        wide += static_cast<char>(ch & 0xFF);
        wide += static_cast<char>(ch >> 8);
    }
    PdfMoveTo(doc, 3, line);
    EXPECT_EQ(PdfDrawText(doc, reinterpret_cast<const BYTE*>(wide.data()), wide.size(), '.', true), 0);
}

std::string Utf8(const std::u16string& text) {
    std::string out;
    for (char16_t ch : text) {
        if (ch < 0x80) {
            out += static_cast<char>(ch);
        } else if (ch < 0x800) {
            out += static_cast<char>(0xC0 | (ch >> 6));
            out += static_cast<char>(0x80 | (ch & 0x3F));
        } else {
            out += static_cast<char>(0xE0 | (ch >> 12));
            out += static_cast<char>(0x80 | ((ch >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (ch & 0x3F));
        }
    }
    return out;
}

// The text of a file as each reader extracts it: poppler, MuPDF and pdf.js.
std::vector<std::pair<const char*, std::string>> ExtractedTexts(const std::string& path, const std::string& pw) {
    return {
        {"pdftotext", RunTool("pdftotext -enc UTF-8 -upw '" + pw + "' " + path + " -")},
        {"mutool", RunTool("mutool draw -q -p '" + pw + "' -F txt -o - " + path)},
        {"pdf.js", RunTool(std::string("node ") + QOV_PDF_TEST_DIR + "/pdfjs_text.js " + path + " '" + pw + "'")},
    };
}

}  // namespace

// Every subset carries a ToUnicode map, so readers give the text back: the
// invoice's international lines, and 260 Cyrillic characters over two
// subsets, plain and encrypted; pdffonts says "uni yes" for each subset.
TEST(PdfSubsets, TextIsExtractedThroughToUnicodeMaps) {
    FontHooks hooks;
    gIni["DejaVu_Sans_B"] = std::string(kDejaVu) + "DejaVuSans-Bold.ttf";
    gIni["DejaVu_Sans"] = std::string(kDejaVu) + "DejaVuSans.ttf";
    const std::u16string kLines[] = {
        u"Invoice 100427",
        u"\u0421\u0447\u0451\u0442 100427 \u2014 \u0441\u043f\u0430\u0441\u0438\u0431\u043e \u0437\u0430 "
        u"\u0437\u0430\u043a\u0430\u0437!",
        u"\u03a4\u03b9\u03bc\u03bf\u03bb\u03cc\u03b3\u03b9\u03bf 100427 \u2014 "
        u"\u03b5\u03c5\u03c7\u03b1\u03c1\u03b9\u03c3\u03c4\u03bf\u03cd\u03bc\u03b5!",
    };
    std::u16string cyrillic;
    // The Cyrillic block and four Latin letters (U+0500 on would count as
    // right-to-left and be turned round).
    for (char16_t i = 0; i < 256; i++) cyrillic += static_cast<char16_t>(0x0400 + i);
    cyrillic += u"WXYZ";
    for (const char* crypt : {"", "U=u,O=o"}) {
        SCOPED_TRACE(*crypt ? "encrypted" : "plain");
        PdfDocRec* doc = Begin("subset-text.pdf", 1u << 27);
        ASSERT_NE(doc, nullptr);
        if (*crypt) {
            PdfEncryptOpts o;
            ASSERT_TRUE(PdfParseEncryptOpts(crypt, strlen(crypt), &o));
            ASSERT_EQ(PdfStartEncryption(doc, &o), 0);
        }
        Font(doc, "'>DejaVu Sans'(BOLD,16)");
        WideLine(doc, kLines[0], 3);
        Font(doc, "'>DejaVu Sans'(10)");
        WideLine(doc, kLines[1], 5);
        WideLine(doc, kLines[2], 7);
        for (size_t at = 0; at < cyrillic.size(); at += 52) WideLine(doc, cyrillic.substr(at, 52), static_cast<WORD>(9 + at / 52));
        ASSERT_EQ(PdfFinish(doc), 0);
        std::string pw = *crypt ? "u" : "";
        CheckWithTools("subset-text.pdf", pw);
        for (const auto& reader : ExtractedTexts("subset-text.pdf", pw)) {
            SCOPED_TRACE(reader.first);
            for (const std::u16string& line : kLines)
                EXPECT_NE(reader.second.find(Utf8(line)), std::string::npos) << Utf8(line) << "\n" << reader.second;
            std::string all;
            for (char c : reader.second)
                if (c != '\n' && c != ' ') all += c;
            EXPECT_NE(all.find(Utf8(cyrillic)), std::string::npos) << "the 260 characters in order\n" << reader.second;
        }
        std::string fonts = RunTool("pdffonts -upw '" + pw + "' subset-text.pdf");
        int subsets = 0, mapped = 0;
        for (size_t at = fonts.find("\nSF"); at != std::string::npos; at = fonts.find("\nSF", at + 1)) {
            std::string row = fonts.substr(at + 1, fonts.find('\n', at + 1) - at - 1);
            subsets++;
            if (row.find(" yes no  yes ") != std::string::npos) mapped++;
        }
        EXPECT_GE(subsets, 3) << fonts;
        EXPECT_EQ(mapped, subsets) << "embedded and uni: yes for every subset\n" << fonts;
    }
}

// A subset font's dictionary, byte for byte: the lines it always had in
// their order and one more, the ToUnicode reference after the descriptor's;
// the map lists each code with its character.
TEST(PdfSubsets, DictionaryLinesWithTheToUnicodeReference) {
    FontHooks hooks;
    gIni["DejaVu_Sans"] = std::string(kDejaVu) + "DejaVuSans.ttf";
    PdfDocRec* doc = Begin("subset-dict.pdf", (1u << 27) | (1u << 16));  // uncompressed streams
    ASSERT_NE(doc, nullptr);
    Font(doc, "'>DejaVu Sans'(12)");
    WideLine(doc, u"\u0416a", 3);
    ASSERT_EQ(PdfFinish(doc), 0);
    auto objs = PdfTestObjects(PdfTestRead("subset-dict.pdf"));
    unsigned dictObj = 0;
    std::string map;
    for (const auto& o : objs) {
        if (o.second.find("/Subtype /TrueType") != std::string::npos) dictObj = o.first;
        if (o.second.find("begincmap") != std::string::npos) map = o.second;
    }
    ASSERT_NE(dictObj, 0u);
    const std::string& dict = objs[dictObj];
    size_t w = dict.find("  /Widths [");
    ASSERT_NE(w, std::string::npos) << dict;
    std::string widths = dict.substr(w + 11, dict.find(']', w) - w - 11);
    long desc = PdfTestNumber(dict, "/FontDescriptor "), uni = PdfTestNumber(dict, "/ToUnicode ");
    std::string n = std::to_string(dictObj);
    std::string golden = n + " 0 obj\r\n <<\r\n    /Type /Font\r\n    /Subtype /TrueType\r\n    /FirstChar 1\r\n"
                         "    /LastChar 2\r\n    /BaseFont /SF" + n + "\r\n  /Widths [" + widths + "]\r\n"
                         "  /FontDescriptor " + std::to_string(desc) + " 0 R\r\n"
                         "  /ToUnicode " + std::to_string(uni) + " 0 R\r\n >>\r\n";
    EXPECT_EQ(dict, golden);
    EXPECT_EQ(std::count(widths.begin(), widths.end(), ' '), 1) << "two widths";
    EXPECT_NE(objs[static_cast<unsigned>(uni)].find("begincmap"), std::string::npos) << "the reference leads to the map";
    EXPECT_NE(map.find("1 begincodespacerange\r\n<00> <FF>\r\nendcodespacerange\r\n"), std::string::npos) << map;
    EXPECT_NE(map.find("2 beginbfchar\r\n<01> <0416>\r\n<02> <0061>\r\nendbfchar\r\n"), std::string::npos) << map;
}

// 5,000 UTF-16 characters in subsets are drawn whole: 5,000 codes shown, the
// position moved by the width of them all.
TEST(PdfSubsets, LongWideTextIsDrawnWhole) {
    FontHooks hooks;
    gIni["DejaVu_Sans"] = std::string(kDejaVu) + "DejaVuSans.ttf";
    PdfDocRec* doc = Begin("subset-long.pdf", (1u << 27) | (1u << 16));  // uncompressed streams
    ASSERT_NE(doc, nullptr);
    Font(doc, "'>DejaVu Sans'(6)");
    std::u16string text;
    double width = 0;
    for (int i = 0; i < 5000; i++) {
        char16_t ch = static_cast<char16_t>(u'a' + i % 26);
        text += ch;
        DWORD font;
        BYTE code;
        double w;
        ASSERT_TRUE(PdfSubsetChar(doc, ch, &font, &code, &w));
        width += w * 6 / 1000.0;
    }
    WideLine(doc, u"", 3);
    double start = doc->x;
    WideLine(doc, text, 3);
    EXPECT_NEAR(doc->x - start, width, 0.01) << "x advanced by 5,000 widths";
    ASSERT_EQ(PdfFinish(doc), 0);
    std::string pdf = PdfTestRead("subset-long.pdf");
    size_t open = pdf.find(" Td (");
    ASSERT_NE(open, std::string::npos);
    size_t codes = 0;
    for (size_t i = open + 5; i < pdf.size() && pdf[i] != ')'; i++, codes++)
        if (pdf[i] == '\\') i++;
    EXPECT_EQ(codes, 5000u) << "every character shown";
}

// Fonts without hinting tables print their text; a font whose glyphs cannot
// be had (loca renamed, the file cut) fails the job with 21271 and a code,
// never a file of '?' reported as written.
TEST(PdfFonts, FontsWithoutHintingPrintAndDamagedOnesFail) {
    const std::string dejavu = FontBytes(std::string(kDejaVu) + "DejaVuSans.ttf");
    ASSERT_GT(dejavu.size(), 1000u);
    std::string noLoca = dejavu;
    size_t rec;
    ASSERT_NE(TableAt(noLoca, "loca", &rec), 0u);
    noLoca.replace(rec, 4, "xoca");
    const std::string cut = dejavu.substr(0, dejavu.size() * 9 / 10);
    ASSERT_TRUE(PdfTestWrite("noloca.ttf", noLoca));
    ASSERT_TRUE(PdfTestWrite("cut.ttf", cut));
    struct Case {
        const char* file;
        int finish;
        const char* why;
    };
    const Case kCases[] = {
        {"/usr/share/wine/fonts/tahoma.ttf", 0, "Tahoma has no fpgm nor prep"},
        {"/usr/share/fonts/truetype/dejavu/DejaVuMathTeXGyre.ttf", 0, "neither has DejaVu's maths font"},
        {"noloca.ttf", kPdfFontNotMade, "DejaVu Sans with loca renamed"},
        {"cut.ttf", kPdfFontNotMade, "DejaVu Sans cut at 90 %"},
    };
    const char kLine[] = "Invoice 100427 paid";
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.why);
        FontHooks hooks;
        gIni["Ledger"] = c.file;
        PdfDocRec* doc = Begin("ttf-hinting.pdf", kPdfOpt16BitText);
        ASSERT_NE(doc, nullptr);
        PdfFontSpec spec;
        ASSERT_EQ(PdfParseFontSpec(">Ledger(14)", 11, &spec), 0);
        PdfSetFontSpec(doc, &spec);
        PdfMoveTo(doc, 3, 3);
        const int drawn = PdfDrawText(doc, reinterpret_cast<const BYTE*>(kLine), strlen(kLine), '.', false);
        gPdfErrNo = 0;
        EXPECT_EQ(PdfFinish(doc), c.finish);
        if (c.finish) {
            EXPECT_EQ(drawn, kPdfFontNotMade);
            EXPECT_NE(gPdfErrNo, 0) << "the failure keeps its code";
            continue;
        }
        EXPECT_EQ(drawn, 0);
        CheckWithTools("ttf-hinting.pdf");
        const std::string text = RunTool("pdftotext ttf-hinting.pdf -");
        EXPECT_EQ(text.find("???"), std::string::npos);
        EXPECT_NE(text.find(kLine), std::string::npos) << "the line extracts: " << text;
        // The subset draws as the whole font does.
        PdfDocRec* whole = Begin("ttf-hinting-whole.pdf", kPdfOptWinAnsi);
        ASSERT_NE(whole, nullptr);
        PdfSetFontSpec(whole, &spec);
        PdfMoveTo(whole, 3, 3);
        ASSERT_EQ(PdfDrawText(whole, reinterpret_cast<const BYTE*>(kLine), strlen(kLine), '.', false), 0);
        ASSERT_EQ(PdfFinish(whole), 0);
        RunTool("pdftoppm -r 72 -png -singlefile ttf-hinting.pdf ttf-hinting && "
                "pdftoppm -r 72 -png -singlefile ttf-hinting-whole.pdf ttf-hinting-whole");
        std::string out = RunTool("compare -metric AE ttf-hinting.png ttf-hinting-whole.png null:");
        EXPECT_LE(strtod(out.c_str(), nullptr), 20.0) << "differing pixels: " << out;
    }
}
