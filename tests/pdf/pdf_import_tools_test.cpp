// pdf_import_tools_test.cpp - pages of other PDF files placed on a page: the
// writer's own files and a file made here by hand (a content array opening
// with an empty stream, resources by reference, an indirect length, binary
// image data with a NUL) and one whose resources every copy must renumber
// (a font named twice, a form with resources of its own, a soft mask, a
// colour space) or that cairo wrote (a Type 0 font), each checked by qpdf
// and the renderers and
// compared pixel for pixel with a render of the source page.
#include <gtest/gtest.h>
#include <zlib.h>

#include <map>
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

// Differing pixels between page `page` of a source and page `outPage` of a file.
double PagesDiffer(const std::string& source, int page, const std::string& file, int outPage = 1) {
    std::string p = std::to_string(page), o = std::to_string(outPage);
    RunTool("pdftoppm -r 50 -png -singlefile -f " + p + " -l " + p + " " + source + " imp-src && "
            "pdftoppm -r 50 -png -singlefile -f " + o + " -l " + o + " " + file + " imp-out");
    std::string out = RunTool("compare -metric AE imp-src.png imp-out.png null:");
    return strtod(out.c_str(), nullptr);
}

// A classic file by hand: objects in order, offsets counted for the table.
std::string ClassicPdf(const std::vector<std::string>& objs) {
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

void WriteFile(const char* name, const std::string& data) { ASSERT_TRUE(PdfTestWrite(name, data)) << name; }

std::string HandMadePdf() {
    return ClassicPdf({
        "<< /Type /Catalog /Pages 2 0 R >>",
        "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
        "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Contents [4 0 R 5 0 R] /Resources 7 0 R >>",
        "<< /Length 0 >>\nstream\n\nendstream",
        "<< /Length 6 0 R >>\nstream\n0 0 1 rg 100 100 200 200 re f q 60 0 0 60 350 350 cm /Im1 Do Q\nendstream",
        "63",
        "<< /XObject << /Im1 8 0 R >> >>",
        std::string("<< /Type /XObject /Subtype /Image /Width 2 /Height 1 /ColorSpace /DeviceRGB /BitsPerComponent 8 "
                    "/Length 6 >>\nstream\n") + std::string("\0\0\0\xff\0\0", 6) + "\nendstream",
    });
}

// A page whose resources hold a font named twice with its encoding and widths
// by reference, a form XObject with resources of its own drawing an image
// with a soft mask and an indexed colour space (and "/Length1" before its
// "/Length"), a graphics state that is a plain dictionary and, when asked, a
// colour space resource.
std::string ResourcefulPdf(bool colourSpace) {
    std::string content = "/GS1 gs BT /F1 24 Tf 72 700 Td (Typed) Tj ET BT /F2 24 Tf 72 650 Td (copy) Tj ET /Fm1 Do";
    if (colourSpace) content += " /CS1 cs 0 1 0 sc 400 100 100 100 re f";
    std::string form = "q 100 0 0 100 300 300 cm /Im1 Do Q";
    return ClassicPdf({
        "<< /Type /Catalog /Pages 2 0 R >>",
        "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
        std::string("<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Contents 4 0 R /Resources << "
                    "/Font << /F1 5 0 R /F2 5 0 R >> /XObject << /Fm1 8 0 R >> /ExtGState << /GS1 12 0 R >> ") +
            (colourSpace ? "/ColorSpace << /CS1 13 0 R >> " : "") + ">> >>",
        "<< /Length " + std::to_string(content.size()) + " >>\nstream\n" + content + "\nendstream",
        "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding 6 0 R /FirstChar 32 /LastChar 32 "
        "/Widths 7 0 R >>",
        "<< /Type /Encoding /BaseEncoding /WinAnsiEncoding /Differences [84 /X] >>",
        "[278]",
        "<< /Type /XObject /Subtype /Form /BBox [0 0 612 792] /Resources << /XObject << /Im1 9 0 R >> >> /Length " +
            std::to_string(form.size()) + " >>\nstream\n" + form + "\nendstream",
        std::string("<< /Type /XObject /Subtype /Image /Width 6 /Height 1 /ColorSpace 11 0 R /BitsPerComponent 8 "
                    "/SMask 10 0 R /Length1 5 /Length 6 >>\nstream\n") + std::string("\0\1\0\1\0\1", 6) + "\nendstream",
        "<< /Type /XObject /Subtype /Image /Width 6 /Height 1 /ColorSpace /DeviceGray /BitsPerComponent 8 "
        "/Length 6 >>\nstream\n\xff\x80\xff\x80\xff\x80\nendstream",
        "[/Indexed /DeviceRGB 1 <ff00000000ff>]",
        "<< /Type /ExtGState /CA 0.5 /ca 0.5 >>",
        "[/CalRGB << /WhitePoint [0.9505 1 1.089] >>]",
    });
}

// The object a reference after key in an object's text points to, or "".
std::string Follow(const std::map<unsigned, std::string>& objs, const std::string& obj, const char* key) {
    long n = PdfTestNumber(obj, key);
    auto it = objs.find(static_cast<unsigned>(n));
    return n > 0 && it != objs.end() ? it->second : std::string();
}

size_t Count(const std::string& text, const char* what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) n++;
    return n;
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
    // And encryption after an import, which wrote in the clear, is refused:
    // the file asked to be protected is not left readable.
    PdfDocRec* late = Begin("imp-late.pdf");
    ASSERT_NE(late, nullptr);
    ASSERT_EQ(Import(late, "F=imp-twice-src.pdf"), 0);
    EXPECT_EQ(PdfStartEncryption(late, &e), -1);
    EXPECT_EQ(PdfFinish(late), kPdfFail);
    EXPECT_EQ(gPdfErrNo, kPdfErrUnprotected);
    EXPECT_TRUE(PdfTestRead("imp-late.pdf").empty());
}

TEST(PdfImport, HandMadeFileWithItsQuirks) {
    WriteFile("imp-hand.pdf", HandMadePdf());
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

TEST(PdfImport, TypedAndGenericCopiesOfResources) {
    WriteFile("imp-res.pdf", ResourcefulPdf(false));
    WriteFile("imp-res-cs.pdf", ResourcefulPdf(true));
    int rc;
    RunTool("qpdf --check imp-res.pdf && qpdf --check imp-res-cs.pdf", &rc);
    ASSERT_EQ(rc, 0) << "the hand-made sources are themselves sound";
    struct Case {
        const char* option;
        int expect;
        size_t fonts;  // font dictionaries written
        const char* why;
    };
    const Case kCases[] = {
        {"F=imp-res.pdf", 0, 1, "typed: the font named twice is copied once, for both entries"},
        {"F=imp-res.pdf,G", 0, 1, "generic: the font reached twice is copied once"},
        {"F=imp-res-cs.pdf", -1, 0, "typed: a colour space resource has no copier"},
        {"F=imp-res-cs.pdf,G", 0, 1, "generic: the colour space is copied as any object"},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.why);
        PdfDocRec* doc = Begin("imp-res-out.pdf");
        ASSERT_NE(doc, nullptr);
        EXPECT_EQ(Import(doc, c.option), c.expect);
        ASSERT_EQ(PdfFinish(doc), 0);
        if (c.expect) continue;
        CheckWithTools("imp-res-out.pdf");
        const char* source = strstr(c.option, "-cs") ? "imp-res-cs.pdf" : "imp-res.pdf";
        EXPECT_LE(PagesDiffer(source, 1, "imp-res-out.pdf"), 0.0);
        std::string pdf = PdfTestRead("imp-res-out.pdf");
        EXPECT_EQ(Count(pdf, "/BaseFont /Helvetica "), c.fonts);
        // Every reference of the copies leads to the copy of its source
        // object, also those no typed copier knows: the form's own
        // resources, the soft mask, the colour space.
        auto objs = PdfTestObjects(pdf);
        std::string font, image;
        for (const auto& o : objs) {
            if (o.second.find("/Subtype /Type1 /BaseFont /Helvetica") != std::string::npos) font = o.second;
            if (o.second.find("/SMask") != std::string::npos) image = o.second;
        }
        EXPECT_NE(Follow(objs, font, "/Encoding ").find("/Differences [84 /X]"), std::string::npos) << font;
        EXPECT_NE(Follow(objs, font, "/Widths ").find("[278]"), std::string::npos) << font;
        EXPECT_NE(Follow(objs, image, "/SMask ").find("/DeviceGray"), std::string::npos) << image;
        EXPECT_NE(Follow(objs, image, "/ColorSpace ").find("/Indexed"), std::string::npos) << image;
        EXPECT_NE(image.find("/Length 6"), std::string::npos) << "the length read past /Length1: " << image;
    }
}

// A page cairo writes (through Debian's python3-cairo): a Type 0 font with its
// CID font, descriptor, font file and ToUnicode map, a subset TrueType font,
// an image with a soft mask, indirect lengths and resources by reference.
// Both copies draw it as the source and keep its text readable.
TEST(PdfImport, CairoPageWithType0FontAndSoftMask) {
    int rc;
    std::string out = RunTool(
        "/usr/bin/python3 -c \""
        "import cairo\n"
        "s = cairo.PDFSurface('imp-cairo.pdf', 612, 792)\n"
        "s.restrict_to_version(cairo.PDF_VERSION_1_4)\n"
        "c = cairo.Context(s)\n"
        "c.select_font_face('DejaVu Sans')\n"
        "c.set_font_size(24)\n"
        "c.move_to(72, 100)\n"
        "c.show_text('\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82 Kalimera \xCE\x9A\xCE\xB1\xCE\xBB\xCE\xB7')\n"
        "img = cairo.ImageSurface(cairo.FORMAT_ARGB32, 4, 4)\n"
        "ic = cairo.Context(img)\n"
        "ic.set_source_rgba(1, 0, 0, 0.5)\n"
        "ic.paint()\n"
        "c.set_source_surface(img, 100, 200)\n"
        "c.paint()\n"
        "c.show_page()\n"
        "s.finish()\n\"",
        &rc);
    ASSERT_EQ(rc, 0) << out;
    struct Case {
        const char* option;
        const char* why;
    };
    const Case kCases[] = {
        {"F=imp-cairo.pdf", "typed: the Type 0 font's chain copied by kind"},
        {"F=imp-cairo.pdf,G", "generic: everything the resources reach"},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.why);
        PdfDocRec* doc = Begin("imp-cairo-out.pdf");
        ASSERT_NE(doc, nullptr);
        EXPECT_EQ(Import(doc, c.option), 0) << gPdfErrorText;
        ASSERT_EQ(PdfFinish(doc), 0);
        CheckWithTools("imp-cairo-out.pdf");
        EXPECT_LE(PagesDiffer("imp-cairo.pdf", 1, "imp-cairo-out.pdf"), 0.0);
        EXPECT_NE(RunTool("pdftotext imp-cairo-out.pdf -").find("\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82"),
                  std::string::npos)
            << "the ToUnicode map came over with its font";
        std::string pdf = PdfTestRead("imp-cairo-out.pdf");
        auto objs = PdfTestObjects(pdf);
        std::string type0;
        for (const auto& o : objs)
            if (o.second.find("/Subtype /Type0") != std::string::npos) type0 = o.second;
        size_t kids = type0.find("/DescendantFonts [");
        ASSERT_NE(kids, std::string::npos) << type0;
        std::string cid = objs[static_cast<unsigned>(strtol(type0.c_str() + kids + 18, nullptr, 10))];
        EXPECT_NE(cid.find("/CIDFontType2"), std::string::npos) << cid;
        std::string desc = Follow(objs, cid, "/FontDescriptor ");
        EXPECT_NE(Follow(objs, desc, "/FontFile2 ").find("/Length1"), std::string::npos) << desc;
        EXPECT_NE(Follow(objs, type0, "/ToUnicode ").find("stream"), std::string::npos) << type0;
    }
}

// Three pages of text in one face, written by cairo (through Debian's
// python3-cairo) into name: one embedded font all pages share.
void WriteCairoPages(const char* name, const char* face) {
    int rc;
    std::string out = RunTool(std::string("/usr/bin/python3 -c \""
                                          "import cairo\n"
                                          "s = cairo.PDFSurface('") +
                                  name +
                                  "', 612, 792)\n"
                                  "c = cairo.Context(s)\n"
                                  "c.select_font_face('" +
                                  face +
                                  "')\n"
                                  "c.set_font_size(18)\n"
                                  "for p in range(3):\n"
                                  "    for l in range(20):\n"
                                  "        c.move_to(60, 80 + 30 * l)\n"
                                  "        c.show_text('Page %d line %d: orders %d' % (p + 1, l + 1, p * 997 + l * 31))\n"
                                  "    c.show_page()\n"
                                  "s.finish()\n\"",
                              &rc);
    ASSERT_EQ(rc, 0) << out;
    ASSERT_EQ(Count(PdfTestRead(name), "/FontFile2"), 1u) << "the source has one font for all pages";
}

// Pages of one cairo file share its embedded font (its dictionary,
// descriptor, font file and ToUnicode map): imported page by page, by either
// copy, the font is written once and every page refers to it, and each page
// draws as its source page does. A file written anew under the same name
// between two imports is a source of its own: its page draws with its font.
TEST(PdfImport, AFontSharedByImportedPagesIsWrittenOnce) {
    constexpr int kPages = 3;
    constexpr int kNewPageCode = 102;
    for (const char* mode : {"", ",G"}) {
        SCOPED_TRACE(*mode ? "generic" : "typed");
        WriteCairoPages("imp-shared.pdf", "DejaVu Sans");
        PdfDocRec* doc = Begin("imp-shared-out.pdf");
        ASSERT_NE(doc, nullptr);
        for (int p = 1; p <= kPages; p++) {
            if (p > 1) PdfControlCode(doc, kNewPageCode, 1);
            EXPECT_EQ(Import(doc, "F=imp-shared.pdf,P=" + std::to_string(p) + mode), 0) << gPdfErrorText;
        }
        ASSERT_EQ(PdfFinish(doc), 0);
        CheckWithTools("imp-shared-out.pdf");
        EXPECT_EQ(RunTool("qpdf --show-npages imp-shared-out.pdf"), std::to_string(kPages) + "\n");
        // qpdf's own list of the objects: one font file, one font dictionary.
        std::string objects = RunTool("qpdf --json --json-key=qpdf imp-shared-out.pdf");
        EXPECT_EQ(Count(objects, "/FontFile2"), 1u);
        EXPECT_EQ(Count(objects, "\"/TrueType\""), 1u);
        for (int p = 1; p <= kPages; p++) EXPECT_LE(PagesDiffer("imp-shared.pdf", p, "imp-shared-out.pdf", p), 0.0) << p;
        EXPECT_NE(RunTool("pdftotext imp-shared-out.pdf -").find("Page 3 line 20"), std::string::npos);

        doc = Begin("imp-renewed-out.pdf");
        ASSERT_NE(doc, nullptr);
        EXPECT_EQ(Import(doc, std::string("F=imp-shared.pdf,P=1") + mode), 0) << gPdfErrorText;
        WriteCairoPages("imp-shared.pdf", "DejaVu Serif");
        PdfControlCode(doc, kNewPageCode, 1);
        EXPECT_EQ(Import(doc, std::string("F=imp-shared.pdf,P=2") + mode), 0) << gPdfErrorText;
        ASSERT_EQ(PdfFinish(doc), 0);
        CheckWithTools("imp-renewed-out.pdf");
        EXPECT_LE(PagesDiffer("imp-shared.pdf", 2, "imp-renewed-out.pdf", 2), 0.0);
        EXPECT_EQ(Count(RunTool("qpdf --json --json-key=qpdf imp-renewed-out.pdf"), "/FontFile2"), 2u);
    }
}

// Sources as the test suites' files have them: resources inherited from the
// page tree and closed as ">>>>", a content stream whose filter is an array,
// a pattern and properties the typed copy has no copier for, an image whose
// stated length is wrong, and media boxes that are references or empty. Each import either draws the source page exactly or
// is refused with its reason.
TEST(PdfImport, SourceShapesSeenInTestSuites) {
    const std::string square = "0 0 1 rg 100 100 200 200 re f BT /F1 24 Tf 72 700 Td (Inherited) Tj ET";
    std::string hex;
    for (unsigned char c : square) {
        char two[3];
        snprintf(two, sizeof two, "%02x", c);
        hex += two;
    }
    hex += ">";
    const std::string patterned = "/Pattern cs /P1 scn 100 100 200 200 re f";
    auto page = [](const std::string& box, const std::string& resources, const std::string& stream) {
        return std::vector<std::string>{
            "<< /Type /Catalog /Pages 2 0 R >>",
            "<< /Type /Pages /Kids [3 0 R] /Count 1 /Resources <</Font<</F1 5 0 R>>>> >>",
            "<< /Type /Page /Parent 2 0 R /MediaBox " + box + " /Contents 4 0 R" + resources + " >>",
            stream,
            "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>",
            "<< /PatternType 2 /Shading << /ShadingType 2 /ColorSpace /DeviceRGB /Coords [0 0 612 0] /Function "
            "<< /FunctionType 2 /Domain [0 1] /C0 [1 0 0] /C1 [0 0 1] /N 1 >> >> >>",
            "0",
            "612",
            std::string("<< /Type /XObject /Subtype /Image /Width 2 /Height 1 /ColorSpace /DeviceRGB "
                        "/BitsPerComponent 8 /Length 0 >>\nstream\n") + std::string("\0\0\0\xff\0\0", 6) + "\nendstream",
        };
    };
    const std::string plain = "<< /Length " + std::to_string(square.size()) + " >>\nstream\n" + square + "\nendstream";
    const std::string filtered =
        "<< /Length " + std::to_string(hex.size()) + " /Filter [ /ASCIIHexDecode ] >>\nstream\n" + hex + "\nendstream";
    const std::string pattern = "<< /Length " + std::to_string(patterned.size()) + " >>\nstream\n" + patterned +
                                "\nendstream";
    const std::string pictured = "q 200 0 0 200 100 100 cm /Im1 Do Q";
    const std::string picture = "<< /Length " + std::to_string(pictured.size()) + " >>\nstream\n" + pictured +
                                "\nendstream";
    struct Case {
        const char* why;
        std::vector<std::string> objs;
        const char* option;
        const char* refusal;  // nullptr: imported and drawn as the source
    };
    const Case kCases[] = {
        {"inherited resources, typed", page("[0 0 612 792]", "", plain), "F=imp-shape.pdf", nullptr},
        {"inherited resources, generic", page("[0 0 612 792]", "", plain), "F=imp-shape.pdf,G", nullptr},
        {"filter array, typed", page("[0 0 612 792]", "", filtered), "F=imp-shape.pdf", nullptr},
        {"filter array, generic", page("[0 0 612 792]", "", filtered), "F=imp-shape.pdf,G", nullptr},
        {"pattern, generic", page("[0 0 612 792]", " /Resources <</Pattern<</P1 6 0 R>>>>", pattern),
         "F=imp-shape.pdf,G", nullptr},
        {"pattern, typed", page("[0 0 612 792]", " /Resources <</Pattern<</P1 6 0 R>>>>", pattern),
         "F=imp-shape.pdf", "a pattern, shading or properties resource (typed copy)"},
        {"properties, typed", page("[0 0 612 792]", " /Resources <</Properties<</MC0 <</Type /OCG /Name (a)>>>>>>", plain),
         "F=imp-shape.pdf", "a pattern, shading or properties resource (typed copy)"},
        {"stream length the data does not end at, typed",
         page("[0 0 612 792]", " /Resources <</XObject<</Im1 9 0 R>>>>", picture), "F=imp-shape.pdf", nullptr},
        {"stream length the data does not end at, generic",
         page("[0 0 612 792]", " /Resources <</XObject<</Im1 9 0 R>>>>", picture), "F=imp-shape.pdf,G", nullptr},
        {"media box by reference", page("[7 0 R 7 0 R 8 0 R 8 0 R]", "", plain), "F=imp-shape.pdf,G",
         "a /MediaBox that is not four numbers or is empty"},
        {"empty media box", page("[0 0 0 0]", "", plain), "F=imp-shape.pdf,G",
         "a /MediaBox that is not four numbers or is empty"},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.why);
        WriteFile("imp-shape.pdf", ClassicPdf(c.objs));
        PdfDocRec* doc = Begin("imp-shape-out.pdf");
        ASSERT_NE(doc, nullptr);
        gPdfErrorText[0] = 0;
        int rc = Import(doc, c.option);
        ASSERT_EQ(PdfFinish(doc), 0);
        if (c.refusal) {
            EXPECT_NE(rc, 0);
            EXPECT_NE(std::string(gPdfErrorText).find(c.refusal), std::string::npos) << gPdfErrorText;
            continue;
        }
        ASSERT_EQ(rc, 0) << gPdfErrorText;
        CheckWithTools("imp-shape-out.pdf");
        EXPECT_LE(PagesDiffer("imp-shape.pdf", 1, "imp-shape-out.pdf"), 0.0);
    }
}

namespace {

// Catalog, pages, page, content and a Type 1 font; extra resources beside the
// font when asked.
std::string FiveObjectPdf(const std::string& baseFont, const std::string& moreResources = "") {
    const std::string content = "BT /F1 24 Tf 72 700 Td (Invoice 100427 paid) Tj ET";
    return ClassicPdf({
        "<< /Type /Catalog /Pages 2 0 R >>",
        "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
        "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Contents 4 0 R /Resources << /Font << /F1 5 0 R >>" +
            moreResources + " >> >>",
        "<< /Length " + std::to_string(content.size()) + " >>\nstream\n" + content + "\nendstream",
        "<< /Type /Font /Subtype /Type1 /BaseFont " + baseFont + " >>",
    });
}

// A job of one page that imports `option` (none when empty) into name.
int ImportJob(const char* name, const std::string& option) {
    PdfDocRec* doc = Begin(name);
    EXPECT_NE(doc, nullptr);
    if (!doc) return -99;
    Text(doc, "Letter");
    gPdfErrorText[0] = 0;
    int rc = option.empty() ? 0 : Import(doc, option);
    EXPECT_EQ(PdfFinish(doc), 0);
    return rc;
}

}  // namespace

// "stream", "endstream" and "endobj" count only as keywords: a font named
// /Mainstream is a dictionary like /Helvetica, and an object whose keyword is
// damaged is refused rather than copied with the next object's text.
TEST(PdfImport, KeywordsAreTokensNotTextInsideNames) {
    for (const char* font : {"/Helvetica", "/Mainstream"}) {
        WriteFile("imp-kw.pdf", FiveObjectPdf(font));
        int rc;
        std::string out = RunTool("qpdf --check imp-kw.pdf", &rc);
        ASSERT_EQ(rc, 0) << out;
        for (const char* option : {"F=imp-kw.pdf", "F=imp-kw.pdf,G"}) {
            SCOPED_TRACE(std::string(font) + " " + option);
            EXPECT_EQ(ImportJob("imp-kw-out.pdf", option), 0) << gPdfErrorText;
            CheckWithTools("imp-kw-out.pdf");
            EXPECT_NE(RunTool("pdftotext imp-kw-out.pdf -").find("Invoice 100427 paid"), std::string::npos);
            EXPECT_NE(PdfTestRead("imp-kw-out.pdf").find(std::string("/BaseFont ") + font), std::string::npos);
        }
    }

    const std::string picture = "q 200 0 0 200 100 100 cm /Im1 Do Q";
    WriteFile("imp-kw-bad.pdf",
              ClassicPdf({
                  "<< /Type /Catalog /Pages 2 0 R >>",
                  "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
                  "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Contents 4 0 R "
                  "/Resources << /XObject << /Im1 5 0 R >> >> >>",
                  "<< /Length " + std::to_string(picture.size()) + " >>\nstream\n" + picture + "\nendstream",
                  std::string("<< /Type /XObject /Subtype /Image /Width 2 /Height 1 /ColorSpace /DeviceRGB "
                              "/BitsPerComponent 8 /Length 6 >>\nstrXam\n") +
                      std::string("\0\0\0\xff\0\0", 6) + "\nendstream",
                  "<< /Length 5 >>\nstream\nabcde\nendstream",
              }));
    for (const char* option : {"F=imp-kw-bad.pdf", "F=imp-kw-bad.pdf,G"}) {
        SCOPED_TRACE(option);
        EXPECT_EQ(ImportJob("imp-kw-out.pdf", option), -1);
        EXPECT_NE(std::string(gPdfErrorText).find("cannot be copied"), std::string::npos) << gPdfErrorText;
        CheckWithTools("imp-kw-out.pdf");
    }
}

// A refused import leaves the document as it was: no copies, no numbers.
TEST(PdfImport, ARefusedImportLeavesNothingBehind) {
    WriteFile("imp-roll.pdf", FiveObjectPdf("/Helvetica", " /ColorSpace << /CS0 /DeviceRGB >>"));
    int rc;
    RunTool("qpdf --check imp-roll.pdf", &rc);
    ASSERT_EQ(rc, 0);
    ASSERT_EQ(ImportJob("imp-roll-out.pdf", ""), 0);
    const std::string plain = PdfTestRead("imp-roll-out.pdf");
    EXPECT_EQ(ImportJob("imp-roll-out.pdf", "F=imp-roll.pdf"), -1);
    EXPECT_NE(std::string(gPdfErrorText).find("colour space"), std::string::npos) << gPdfErrorText;
    const std::string refused = PdfTestRead("imp-roll-out.pdf");
    EXPECT_EQ(refused, plain) << "the typed copy of the font stayed behind";
    CheckWithTools("imp-roll-out.pdf");
    EXPECT_EQ(ImportJob("imp-roll-out.pdf", "F=imp-roll.pdf,G"), 0) << gPdfErrorText;
    CheckWithTools("imp-roll-out.pdf");
    EXPECT_NE(RunTool("pdftotext imp-roll-out.pdf -").find("Invoice 100427 paid"), std::string::npos);
}

// A closing keyword damaged: an indirect length whose "endobj" is garbled,
// or an image whose "endstream" is. Each search stops at the next object's
// offset, so the import is refused in both modes, the document stays as it
// was and nothing of the next object (its "Secret") is copied.
TEST(PdfImport, ADamagedClosingKeywordNeverTakesInTheNextObject) {
    const std::string picture = "q 100 0 0 100 72 500 cm /Im1 Do Q";
    auto file = [&](const char* length, const char* endstream) {
        return ClassicPdf({
            "<< /Type /Catalog /Pages 2 0 R >>",
            "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
            "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Contents 4 0 R "
            "/Resources << /XObject << /Im1 5 0 R >> >> >>",
            "<< /Length " + std::to_string(picture.size()) + " >>\nstream\n" + picture + "\nendstream",
            std::string("<< /Type /XObject /Subtype /Image /Width 2 /Height 2 /ColorSpace /DeviceRGB "
                        "/BitsPerComponent 8 /Length ") +
                length + " >>\nstream\n" + std::string("\x10\x20\x30\x40\x50\x60\x70\x80\x90\xa0\xb0\xc0", 12) +
                "\n" + endstream,
            "12",
            "<< /Secret (next object text) /Length 3 >>\nstream\nABC\nendstream",
        });
    };
    std::string lengthDamaged = file("6 0 R", "endstream");
    const size_t at = lengthDamaged.find("6 0 obj\n12\nendobj");
    ASSERT_NE(at, std::string::npos);
    lengthDamaged.replace(at + 11, 6, "e\x91" "dobj");
    WriteFile("imp-next-length.pdf", lengthDamaged);
    WriteFile("imp-next-stream.pdf", file("12", "endstrXam"));
    ASSERT_EQ(ImportJob("imp-next-out.pdf", ""), 0);
    const std::string plain = PdfTestRead("imp-next-out.pdf");
    for (const char* option : {"F=imp-next-length.pdf", "F=imp-next-length.pdf,G", "F=imp-next-stream.pdf",
                               "F=imp-next-stream.pdf,G"}) {
        SCOPED_TRACE(option);
        EXPECT_EQ(ImportJob("imp-next-out.pdf", option), -1);
        const std::string out = PdfTestRead("imp-next-out.pdf");
        EXPECT_EQ(out, plain) << "the document stays as it was";
        EXPECT_EQ(out.find("Secret"), std::string::npos);
    }
}

// A 5.7 KB page whose content array names one FlateDecode stream of 4 MiB of
// spaces 200 times would join 800 MiB: the join stops at the ceiling (lowered
// here, so the test stays small) and the import is refused with its reason,
// the document as it was; two of the streams join under it.
TEST(PdfImport, JoinedContentStopsAtItsCeiling) {
    const std::string spaces(4u << 20, ' ');
    uLongf packedLen = compressBound(static_cast<uLong>(spaces.size()));
    std::string packed(packedLen, '\0');
    ASSERT_EQ(compress2(reinterpret_cast<Bytef*>(&packed[0]), &packedLen,
                        reinterpret_cast<const Bytef*>(spaces.data()), spaces.size(), Z_BEST_COMPRESSION),
              Z_OK);
    packed.resize(packedLen);
    auto file = [&](int parts) {
        std::string refs;
        for (int i = 0; i < parts; i++) refs += " 4 0 R";
        return ClassicPdf({
            "<< /Type /Catalog /Pages 2 0 R >>",
            "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
            "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Contents [" + refs + " ] >>",
            "<< /Filter /FlateDecode /Length " + std::to_string(packed.size()) + " >>\nstream\n" + packed +
                "\nendstream",
        });
    };
    const std::string flood = file(200);
    EXPECT_LT(flood.size(), 6000u);
    WriteFile("imp-flood.pdf", flood);
    WriteFile("imp-flood-two.pdf", file(2));
    const size_t ceiling = gPdfImportContentCap;
    gPdfImportContentCap = 16u << 20;
    ASSERT_EQ(ImportJob("imp-flood-out.pdf", ""), 0);
    const std::string plain = PdfTestRead("imp-flood-out.pdf");
    for (const char* option : {"F=imp-flood.pdf", "F=imp-flood.pdf,G"}) {
        SCOPED_TRACE(option);
        EXPECT_EQ(ImportJob("imp-flood-out.pdf", option), -1);
        EXPECT_NE(std::string(gPdfErrorText).find("passes the 16 MiB ceiling"), std::string::npos) << gPdfErrorText;
        EXPECT_EQ(PdfTestRead("imp-flood-out.pdf"), plain) << "the document stays as it was";
    }
    EXPECT_EQ(ImportJob("imp-flood-out.pdf", "F=imp-flood-two.pdf"), 0) << gPdfErrorText;
    CheckWithTools("imp-flood-out.pdf");
    gPdfImportContentCap = ceiling;
}

// A page tree that is not a tree is refused at once, in both modes and for
// every page asked: ten levels each listing the next 16 times (2 KB, 16^9
// listings to a walk that enters every one), and one empty node holding a
// 300 KB string listed 100,000 times (900 KB); the document stays as it was.
// A page listed more than once is a page each time, as readers show it, and
// its text is read once: the 60,000th listing of a 300 KB page is imported.
// A walk that entered every listing would not end: the test's own time limit
// (tests/pdf/CMakeLists.txt) bounds it. A node's kids are the value of its own
// /Kids, an array or an array object it refers to (legal, qpdf checks both
// files clean), never another key's array: the page named by the array
// object is imported, whatever array follows in the node.
TEST(PdfImport, APageTreeThatIsNotATreeIsRefusedAtOnce) {
    constexpr int kFanOut = 16;
    constexpr int kLevels = 10;
    constexpr int kFlatListings = 100000;
    constexpr int kPageListings = 60000;  // the page number is 16 bits
    const std::string page = "<< /Type /Page /MediaBox [0 0 612 792] /Contents 4 0 R >>";
    const std::string stream = "<< /Length 3 >>\nstream\n0 g\nendstream";
    const std::string bulk(300000, 'x');
    // Objects: 1 catalog, 2 the root, 3 the page, 4 its content, 5.. the levels below the root.
    auto listing = [](int obj, int times) {
        std::string refs;
        for (int i = 0; i < times; i++) refs += std::to_string(obj) + " 0 R ";
        return refs;
    };
    std::vector<std::string> deep = {"<< /Type /Catalog /Pages 2 0 R >>",
                                     "<< /Type /Pages /Kids [" + listing(5, kFanOut) + "3 0 R] >>", page, stream};
    for (int level = 1; level < kLevels; level++)
        deep.push_back("<< /Type /Pages /Kids [" + (level + 1 < kLevels ? listing(5 + level, kFanOut) : "") + "] >>");
    const std::string deepFile = ClassicPdf(deep);
    EXPECT_LT(deepFile.size(), 2500u);
    WriteFile("imp-deep.pdf", deepFile);
    WriteFile("imp-flat.pdf", ClassicPdf({
                                  "<< /Type /Catalog /Pages 2 0 R >>",
                                  "<< /Type /Pages /Kids [" + listing(5, kFlatListings) + "3 0 R] >>",
                                  page,
                                  stream,
                                  "<< /Type /Pages /Kids [] /Note (" + bulk + ") >>",
                              }));
    WriteFile("imp-pages.pdf", ClassicPdf({
                                   "<< /Type /Catalog /Pages 2 0 R >>",
                                   "<< /Type /Pages /Kids [" + listing(3, kPageListings) + "] >>",
                                   "<< /Type /Page /MediaBox [0 0 612 792] /Contents 4 0 R /Note (" + bulk + ") >>",
                                   stream,
                               }));
    // Objects: 1 catalog, 2 the root, 3 the page, 4 its content, 5 the kids'
    // array; the root's /Foo lists the root itself and the content.
    const std::string square = "0 0 1 rg 100 100 200 200 re f";
    const std::string drawn = "<< /Length " + std::to_string(square.size()) + " >>\nstream\n" + square + "\nendstream";
    const std::string bluePage = "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Contents 4 0 R >>";
    for (const char* foo : {"", " /Foo [2 0 R 4 0 R]"}) {
        WriteFile(*foo ? "imp-kids-foo.pdf" : "imp-kids-ref.pdf",
                  ClassicPdf({"<< /Type /Catalog /Pages 2 0 R >>",
                              std::string("<< /Type /Pages /Kids 5 0 R") + foo + " /Count 1 >>", bluePage, drawn,
                              "[3 0 R]"}));
    }
    int checked;
    const std::string check = RunTool("qpdf --check imp-kids-ref.pdf && qpdf --check imp-kids-foo.pdf", &checked);
    ASSERT_EQ(checked, 0) << check;
    struct Case {
        const char* option;
        int rc;
    };
    const Case kCases[] = {
        {"F=imp-deep.pdf", -1},
        {"F=imp-deep.pdf,P=2,G", -1},
        {"F=imp-flat.pdf", -1},
        {"F=imp-flat.pdf,G", -1},
        {"F=imp-pages.pdf,P=60000", 0},
        {"F=imp-kids-ref.pdf", 0},
        {"F=imp-kids-foo.pdf,G", 0},
    };
    ASSERT_EQ(ImportJob("imp-tree-out.pdf", ""), 0);
    const std::string plain = PdfTestRead("imp-tree-out.pdf");
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.option);
        EXPECT_EQ(ImportJob("imp-tree-out.pdf", c.option), c.rc) << gPdfErrorText;
        if (c.rc == 0) {
            CheckWithTools("imp-tree-out.pdf");
            continue;
        }
        EXPECT_NE(std::string(gPdfErrorText).find("the page tree enters a node twice"), std::string::npos)
            << gPdfErrorText;
        EXPECT_EQ(PdfTestRead("imp-tree-out.pdf"), plain) << "the document stays as it was";
    }
}
