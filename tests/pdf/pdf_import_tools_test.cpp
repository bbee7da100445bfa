// pdf_import_tools_test.cpp - pages of other PDF files placed on a page: the
// writer's own files and a file made here by hand (a content array opening
// with an empty stream, resources by reference, an indirect length, binary
// image data with a NUL), each checked by qpdf and the renderers and
// compared pixel for pixel with a render of the source page.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/pdf/pdftest.h"
#include "tests/pdf/pdftools.h"

namespace {

int Import(PdfDocRec* doc, const std::string& text) {
    PdfImportOpts o;
    if (!PdfParseImportOpts(text.data(), text.size(), &o)) return -99;
    return PdfImportPage(doc, &o);
}

// Differing pixels between page `page` of a source and page 1 of a file.
double PagesDiffer(const std::string& source, int page, const std::string& file) {
    std::string p = std::to_string(page);
    RunTool("pdftoppm -r 50 -png -singlefile -f " + p + " -l " + p + " " + source + " imp-src && "
            "pdftoppm -r 50 -png -singlefile " + file + " imp-out");
    std::string out = RunTool("compare -metric AE imp-src.png imp-out.png null:");
    return strtod(out.c_str(), nullptr);
}

// A classic file by hand: objects in order, offsets counted for the table.
std::string HandMadePdf() {
    std::vector<std::string> objs = {
        "<< /Type /Catalog /Pages 2 0 R >>",
        "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
        "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Contents [4 0 R 5 0 R] /Resources 7 0 R >>",
        "<< /Length 0 >>\nstream\n\nendstream",
        "<< /Length 6 0 R >>\nstream\n0 0 1 rg 100 100 200 200 re f q 60 0 0 60 350 350 cm /Im1 Do Q\nendstream",
        "63",
        "<< /XObject << /Im1 8 0 R >> >>",
        std::string("<< /Type /XObject /Subtype /Image /Width 2 /Height 1 /ColorSpace /DeviceRGB /BitsPerComponent 8 "
                    "/Length 6 >>\nstream\n") + std::string("\0\0\0\xff\0\0", 6) + "\nendstream",
    };
    std::string pdf = "%PDF-1.4\n";
    std::vector<size_t> offsets;
    for (size_t i = 0; i < objs.size(); i++) {
        offsets.push_back(pdf.size());
        pdf += std::to_string(i + 1) + " 0 obj\n" + objs[i] + "\nendobj\n";
    }
    size_t xref = pdf.size();
    pdf += "xref\n0 " + std::to_string(objs.size() + 1) + "\n0000000000 65535 f \n";
    char line[32];
    for (size_t off : offsets) {
        snprintf(line, sizeof line, "%010zu 00000 n \n", off);
        pdf += line;
    }
    pdf += "trailer\n<< /Size " + std::to_string(objs.size() + 1) + " /Root 1 0 R >>\nstartxref\n" +
           std::to_string(xref) + "\n%%EOF\n";
    return pdf;
}

}  // namespace

TEST(PdfImport, WritersOwnPagesComeOverAsTheyWere) {
    for (DWORD options : {0u, 1u << 16}) {
        SCOPED_TRACE(options);
        PdfDocRec* src = Begin("imp-source.pdf", options | (1u << 23));
        ASSERT_NE(src, nullptr);
        PdfControlCode(src, 280, 7);
        for (int page = 1; page <= 3; page++) {
            if (page > 1) PdfControlCode(src, 102, 1);
            PdfFontSpec spec;
            PdfParseFontSpec("TIMES(BOLD,20)", 14, &spec);
            PdfSetFontSpec(src, &spec);
            PdfMoveTo(src, 100, 100);
            Text(src, page == 2 ? "Second page (\xC4rger)" : "Another page");
            PdfControlCode(src, 282, 1);
            PdfSetColors(src, 271, 0x00FF00);
            PdfDrawRect(src, 300, 600, 100, 700);
        }
        ASSERT_EQ(PdfFinish(src), 0);

        struct Case {
            const char* option;
            int expect;
            int sourcePage;  // compared with the render; 0: not
            const char* why;
        };
        const Case kCases[] = {
            {"F=imp-source.pdf,P=2", 0, 2, "the second page"},
            {"F=imp-source.pdf,P=0", 0, 1, "page 0 is the first"},
            {"F=imp-source.pdf,P=3,G", 0, 3, "the last page"},
            {"F=imp-source.pdf,P=4", -1, 0, "page 4 of 3"},
            {"F=imp-missing.pdf", -1, 0, "no such file"},
        };
        for (const Case& c : kCases) {
            PdfDocRec* doc = Begin("imp-out.pdf", options);
            ASSERT_NE(doc, nullptr);
            EXPECT_EQ(Import(doc, c.option), c.expect) << c.why;
            ASSERT_EQ(PdfFinish(doc), 0);
            if (!c.sourcePage) continue;
            CheckWithTools("imp-out.pdf");
            EXPECT_LE(PagesDiffer("imp-source.pdf", c.sourcePage, "imp-out.pdf"), 0.0) << c.why;
        }
    }
}

TEST(PdfImport, SamePageTwiceIsOneForm) {
    PdfDocRec* src = Begin("imp-twice-src.pdf");
    ASSERT_NE(src, nullptr);
    Text(src, "letterhead");
    ASSERT_EQ(PdfFinish(src), 0);
    PdfDocRec* doc = Begin("imp-twice.pdf");
    ASSERT_NE(doc, nullptr);
    EXPECT_EQ(Import(doc, "F=imp-twice-src.pdf"), 0);
    PdfControlCode(doc, 102, 1);
    EXPECT_EQ(Import(doc, "F=imp-twice-src.pdf,P=1"), 0);
    ASSERT_EQ(PdfFinish(doc), 0);
    CheckWithTools("imp-twice.pdf");
    std::string pdf = PdfTestRead("imp-twice.pdf");
    size_t forms = 0;
    for (size_t at = pdf.find("/Subtype /Form"); at != std::string::npos; at = pdf.find("/Subtype /Form", at + 1)) forms++;
    EXPECT_EQ(forms, 1u);
    EXPECT_EQ(RunTool("pdftotext imp-twice.pdf - | grep -c letterhead"), "2\n");

    // Into an encrypted document the copies would be unreadable: refused.
    PdfDocRec* enc = Begin("imp-enc.pdf");
    ASSERT_NE(enc, nullptr);
    PdfEncryptOpts e;
    ASSERT_TRUE(PdfParseEncryptOpts("U=a", 3, &e));
    ASSERT_EQ(PdfStartEncryption(enc, &e), 0);
    EXPECT_EQ(Import(enc, "F=imp-twice-src.pdf"), -1);
    ASSERT_EQ(PdfFinish(enc), 0);
    // And encryption after an import, which wrote in the clear, is refused.
    PdfDocRec* late = Begin("imp-late.pdf");
    ASSERT_NE(late, nullptr);
    ASSERT_EQ(Import(late, "F=imp-twice-src.pdf"), 0);
    EXPECT_EQ(PdfStartEncryption(late, &e), -1);
    ASSERT_EQ(PdfFinish(late), 0);
}

TEST(PdfImport, HandMadeFileWithItsQuirks) {
    std::string src = HandMadePdf();
    FILE* f = fopen("imp-hand.pdf", "wb");
    ASSERT_NE(f, nullptr);
    fwrite(src.data(), 1, src.size(), f);
    fclose(f);
    int rc;
    RunTool("qpdf --check imp-hand.pdf", &rc);
    ASSERT_EQ(rc, 0) << "the hand-made source is itself sound";
    for (const char* option : {"F=imp-hand.pdf", "F=imp-hand.pdf,G"}) {
        PdfDocRec* doc = Begin("imp-hand-out.pdf");
        ASSERT_NE(doc, nullptr);
        EXPECT_EQ(Import(doc, option), 0) << option;
        ASSERT_EQ(PdfFinish(doc), 0);
        CheckWithTools("imp-hand-out.pdf");
        EXPECT_LE(PagesDiffer("imp-hand.pdf", 1, "imp-hand-out.pdf"), 0.0) << option;
    }
}
