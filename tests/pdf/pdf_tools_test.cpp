// pdf_tools_test.cpp - written files read back by independent tools: qpdf checks
// the structure, poppler, MuPDF and Ghostscript render every file, pdffonts names
// the fonts, pdftotext -bbox finds the text where it was computed to be, pixel
// probes of a render find the shapes, and pdfinfo shows the information fields.
#include <gtest/gtest.h>

#include <cstdio>
#include <regex>
#include <string>
#include <vector>

#include "tests/pdf/pdftest.h"
#include "tests/pdf/pdftools.h"

namespace {

void Font(PdfDocRec* doc, const char* text) {
    PdfFontSpec spec;
    ASSERT_EQ(PdfParseFontSpec(text, strlen(text), &spec), 0) << text;
    ASSERT_EQ(PdfSetFontSpec(doc, &spec), 0) << text;
}

// A P6 picture from pdftoppm, for pixel probes.
struct Picture {
    int width = 0, height = 0;
    std::string pixels;
    unsigned long At(int x, int y) const {
        size_t i = (static_cast<size_t>(y) * width + x) * 3;
        if (x < 0 || y < 0 || x >= width || y >= height) return 0xFFFFFFFF;
        auto b = [&](size_t k) { return static_cast<unsigned long>(static_cast<unsigned char>(pixels[k])); };
        return (b(i) << 16) | (b(i + 1) << 8) | b(i + 2);
    }
};

Picture Render(const std::string& path) {
    Picture pic;
    RunTool("pdftoppm -r 72 -singlefile " + path + " probe");
    std::string ppm = PdfTestRead("probe.ppm");
    int maxval = 0, consumed = 0;
    if (sscanf(ppm.c_str(), "P6 %d %d %d%n", &pic.width, &pic.height, &maxval, &consumed) != 3) return pic;
    pic.pixels = ppm.substr(static_cast<size_t>(consumed) + 1);
    return pic;
}

}  // namespace

TEST(PdfTools, EveryPageTreePassesAndCountsItsPages) {
    for (int pages : {1, 10, 11, 101, 1001}) {
        PdfDocRec* doc = Begin("tree-tools.pdf");
        ASSERT_NE(doc, nullptr);
        for (int i = 0; i < pages; i++) {
            PdfStartPage(doc);
            Text(doc, "page");
        }
        ASSERT_EQ(PdfFinish(doc), 0);
        SCOPED_TRACE(pages);
        CheckWithTools("tree-tools.pdf");
        EXPECT_EQ(RunTool("qpdf --show-npages tree-tools.pdf"), std::to_string(pages) + "\n");
    }
}

TEST(PdfTools, FontsAreChosenFromFontTexts) {
    PdfDocRec* doc = Begin("fonts.pdf");
    ASSERT_NE(doc, nullptr);
    Font(doc, "FIXED(10)");
    Text(doc, "fixed");
    Font(doc, "TIMES(BOLD,12)");
    Text(doc, "times");
    Font(doc, "HELVETICA(11)");
    Text(doc, "helvetica");
    ASSERT_EQ(PdfFinish(doc), 0);
    CheckWithTools("fonts.pdf");
    std::string out = RunTool("pdffonts fonts.pdf");
    for (const char* name : {"Courier ", "Times-Bold ", "Helvetica "})
        EXPECT_NE(out.find(std::string("\n") + name), std::string::npos) << name << "\n" << out;
}

TEST(PdfTools, TextBoxesStandAtTheComputedPoints) {
    struct Case {
        int mode;
        WORD column, line;
        int align;  // control code 281: 0 left, 3 right, 4 centre
    };
    static const Case kCases[] = {
        {1, 41, 18, 0}, {1, 41, 18, 3}, {1, 41, 18, 4},
        {2, 400, 300, 0}, {2, 400, 300, 3}, {2, 400, 300, 4},
        {3, 1000, 700, 0}, {3, 1000, 700, 3}, {3, 1000, 700, 4},
        {4, 4000, 3000, 0}, {4, 4000, 3000, 3},
        {5, 10000, 7000, 0}, {5, 10000, 7000, 4},
        {6, 2400, 1600, 0}, {6, 2400, 1600, 3},
        {7, 560, 400, 0}, {7, 560, 400, 4},
        {8, 41, 18, 0},
    };
    PdfDocRec* doc = Begin("bbox.pdf", 1u << 23);
    ASSERT_NE(doc, nullptr);
    Font(doc, "HELVETICA(12)");
    std::vector<double> expectX, expectBase;
    for (const Case& c : kCases) {
        PdfStartPage(doc);
        PdfControlCode(doc, 280, static_cast<int16_t>(c.mode));
        PdfControlCode(doc, 281, static_cast<int16_t>(c.align));
        PdfMoveTo(doc, c.column, c.line);
        // The anchor in page points from the top-left, as pdftotext reports it.
        expectX.push_back(doc->x + doc->leftMargin);
        double d = 211.0 * 12 / (905 + 211);
        expectBase.push_back(doc->y + doc->topMargin + 12 - d + 2.4 - 1.5);
        Text(doc, "Wxyz");
    }
    ASSERT_EQ(PdfFinish(doc), 0);
    CheckWithTools("bbox.pdf");
    std::string html = RunTool("pdftotext -bbox bbox.pdf -");
    std::regex word("<word xMin=\"([0-9.]+)\" yMin=\"([0-9.]+)\" xMax=\"([0-9.]+)\" yMax=\"([0-9.]+)\">Wxyz</word>");
    size_t i = 0;
    for (std::sregex_iterator it(html.begin(), html.end(), word), end; it != end; ++it, ++i) {
        ASSERT_LT(i, expectX.size());
        const Case& c = kCases[i];
        double xMin = std::stod((*it)[1]), yMin = std::stod((*it)[2]);
        double xMax = std::stod((*it)[3]), yMax = std::stod((*it)[4]);
        double anchor = c.align == 3 ? xMax : c.align == 4 ? (xMin + xMax) / 2 : xMin;
        EXPECT_NEAR(anchor, expectX[i], 0.5) << "mode " << c.mode << " align " << c.align;
        EXPECT_NEAR(xMax - xMin, 0.001 * 12 * (944 + 500 + 500 + 500), 0.5) << "Helvetica widths";
        EXPECT_LT(yMin, expectBase[i]) << "mode " << c.mode;
        EXPECT_GT(yMax, expectBase[i]) << "mode " << c.mode;
    }
    EXPECT_EQ(i, expectX.size()) << html;
}

TEST(PdfTools, ShapesAppearInTheRender) {
    PdfDocRec* doc = Begin("shapes.pdf");
    ASSERT_NE(doc, nullptr);
    PdfControlCode(doc, 280, 9);  // points
    PdfControlCode(doc, 283, 4);
    PdfControlCode(doc, 282, 1);
    PdfSetColors(doc, 271, 0x0000FF);  // red fill
    PdfDrawRect(doc, 100, 200, 100, 250);
    PdfDrawEllipse(doc, 250, 350, 100, 300);
    PdfDrawRoundRect(doc, 400, 500, 100, 300, 40, 40);
    PdfControlCode(doc, 282, 0);
    PdfDrawRect(doc, 550, 650, 100, 300);
    PdfMoveTo(doc, 350, 100);
    PdfDrawLine(doc, 350, 400);
    ASSERT_EQ(PdfFinish(doc), 0);
    CheckWithTools("shapes.pdf");
    Picture pic = Render("shapes.pdf");
    ASSERT_EQ(pic.width, 612);
    ASSERT_EQ(pic.height, 792);
    enum { kWhite, kRed, kDark };
    struct Probe {
        int x, y;  // page pixels at 72 dpi, 9-point margins included
        int colour;
        const char* why;
    };
    static const Probe kProbes[] = {
        {184, 159, kRed, "filled rectangle inside"},
        {90, 159, kWhite, "left of the rectangle"},
        {209, 309, kRed, "ellipse centre"},
        {113, 263, kWhite, "ellipse box corner lies outside the ellipse"},
        {209, 259, kDark, "ellipse outline at the top"},
        {110, 410, kWhite, "rounded corner cut away"},
        {115, 459, kRed, "rounded rectangle side"},
        {209, 609, kWhite, "unfilled rectangle inside"},
        {209, 559, kDark, "unfilled rectangle top edge"},
        {359, 259, kDark, "vertical line"},
    };
    for (const Probe& p : kProbes) {
        unsigned long got = pic.At(p.x, p.y);
        unsigned long r = got >> 16 & 255, g = got >> 8 & 255, b = got & 255;
        bool ok = p.colour == kWhite ? r > 230 && g > 230 && b > 230
                : p.colour == kRed   ? r > 200 && g < 80 && b < 80
                                     : r < 128 && g < 128 && b < 128;
        EXPECT_TRUE(ok) << p.why << " at " << p.x << "," << p.y << std::hex << " got " << got;
    }
}

TEST(PdfTools, InformationFieldsShowInPdfinfo) {
    PdfDocRec* doc = Begin("info.pdf");
    ASSERT_NE(doc, nullptr);
    PdfInfoOpts o;
    memset(&o, 0, sizeof o);
    o.title = {"Quarterly (draft)", 17};
    o.created = {"20240131", 8};
    o.subject = {"Sales", 5};
    o.keywords = {"report, sales", 13};
    ASSERT_EQ(PdfWriteInfo(doc, &o), 0);
    Text(doc, "info");
    ASSERT_EQ(PdfFinish(doc), 0);
    CheckWithTools("info.pdf");
    std::string out = RunTool("pdfinfo info.pdf");
    static const char* const kLines[] = {
        "Title:           Quarterly (draft)", "Subject:         Sales",
        "Keywords:        report, sales",     "Author:          tester",
        "Creator:         10.6  QOVCON   18", "Producer:        10.6  QOVCON   18",
        "CreationDate:    Wed Jan 31 00:00:00 2024", "Pages:           1",
    };
    for (const char* line : kLines) EXPECT_NE(out.find(line), std::string::npos) << line << "\n" << out;

    doc = Begin("noinfo.pdf", 1u << 30);
    ASSERT_NE(doc, nullptr);
    ASSERT_EQ(PdfFinish(doc), 0);
    CheckWithTools("noinfo.pdf");
    EXPECT_EQ(PdfTestRead("noinfo.pdf").find("/Info"), std::string::npos) << "option bit 30";
}

TEST(PdfTools, LandscapePaperAndRotatedUnderlinedText) {
    PdfDocRec* doc = Begin("landscape.pdf", 1u << 23);
    ASSERT_NE(doc, nullptr);
    PdfControlCode(doc, 289, 9);
    PdfControlCode(doc, 277, 2);
    Font(doc, "TIMES(U,14)");
    PdfMoveTo(doc, 10, 10);
    const char latin[] = "Gr\xFC\xDF" "e \x80 (1)\\";
    Text(doc, latin);
    Font(doc, "TIMES(A450,14)");
    PdfMoveTo(doc, 10, 20);
    Text(doc, "rotated");
    PdfControlCode(doc, 102, 1);
    Font(doc, "HELVETICA(12)");
    PdfSetRegion(doc, 5, 6, 5, 10);
    Text(doc, "clipped to its region");
    ASSERT_EQ(PdfFinish(doc), 0);
    CheckWithTools("landscape.pdf");
    std::string out = RunTool("pdfinfo landscape.pdf");
    EXPECT_NE(out.find("Page size:       842 x 595.35 pts"), std::string::npos) << out;
    std::string text = RunTool("pdftotext -f 1 -l 1 landscape.pdf -");
    EXPECT_NE(text.find("Gr\xC3\xBC\xC3\x9F" "e \xE2\x82\xAC (1)\\"), std::string::npos) << text;
}
