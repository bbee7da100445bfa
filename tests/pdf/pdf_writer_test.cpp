// pdf_writer_test.cpp - the PDF file structure: golden bytes of a small
// document, line ends, the cross-reference table, the page tree at several
// sizes, compressed and uncompressed content, and the number writers.
#include <gtest/gtest.h>

#include <regex>
#include <set>
#include <string>
#include <vector>

#include "tests/pdf/pdftest.h"

namespace {

std::string WriteDoc(const char* name, DWORD options, void (*draw)(PdfDocRec*)) {
    PdfTestHooks();
    PdfDocRec* doc = nullptr;
    EXPECT_EQ(PdfBegin(name, &doc, options, 0), 0);
    if (!doc) return "";
    if (draw) draw(doc);
    EXPECT_EQ(PdfFinish(doc), 0);
    return PdfTestRead(name);
}

const DWORD kUncompressed = 1u << 16;

// One text "Hi" at column 1, line 1 in Courier 11, uncompressed. Background
// box: d = 300 x 11 / 1132, lift 2.2, bottom 11 - d + 2.2 + 1.26 from the top
// of the printable area; baseline 11 - d + 2.2 - 1.5; 9-point margins.
const char* const kGoldenLines[] = {
    "%PDF-1.4",
    "%\x7F\x80\x81\x82",
    "3 0 obj", " << /Type /Font", "    /Subtype /Type1", "    /Name /F1", "    /BaseFont /Courier",
    " >>", "endobj", "",
    "4 0 obj", "  <</Length 164 >>", "stream",
    "0.000 w", "1.000 1.000 1.000 rg", "1.000 1.000 1.000 RG", "9.000 771.455 13.200 12.000 re", "B",
    "0.000 0.000 0.000 rg", "   BT /F1 11 Tf 9.000 774.215 Td (Hi) Tj ET", "0.000 w", "",
    "endstream", "endobj", "",
    "5 0 obj", " << /Type /Page", "    /Parent 2 0 R", "    /MediaBox [ 0 0 612.000 792.000]",
    "    /Contents 4 0 R", "    /Resources << /Font <<  /F1 3 0 R >>", "               >>", " >>",
    "endobj", "",
    "2 0 obj", " << /Type /Pages", "    /Kids [ 5 0 R", " ]", "    /Count 1", " >>", "endobj", "",
    "6 0 obj", " <<", "    /CreationDate (D:##############)", "    /ModDate (D:##############)",
    "    /Author (tester)", "    /Title  (golden.pdf)", "    /Creator (10.6  QOVCON   18)",
    "    /Producer (10.6  QOVCON   18)", " >>", "endobj", "",
    "1 0 obj", " << /Type /Catalog", "    /Pages 2 0 R >>", "endobj", "",
    "xref", "0 7", "0000000000 65535 f", "0000000818 00000 n", "0000000522 00000 n",
    "0000000017 00000 n", "0000000118 00000 n", "0000000342 00000 n", "0000000601 00000 n", "",
    "trailer", " << /Size 7", "    /Root 1 0 R", "    /Info 6 0 R", " >>", "startxref", "878", "%%EOF",
};

std::vector<std::string> SplitCrLf(const std::string& s, bool* bareLf) {
    std::vector<std::string> lines;
    size_t p = 0;
    *bareLf = false;
    while (p < s.size()) {
        size_t e = s.find("\r\n", p);
        if (e == std::string::npos) e = s.size();
        std::string line = s.substr(p, e - p);
        if (line.find('\n') != std::string::npos) *bareLf = true;
        lines.push_back(line);
        p = e + 2;
    }
    return lines;
}

}  // namespace

TEST(PdfWriter, SmallDocumentMatchesGoldenBytesWithDatesMasked) {
    std::string pdf = WriteDoc("golden.pdf", kUncompressed, [](PdfDocRec* doc) {
        PdfDrawText(doc, reinterpret_cast<const BYTE*>("Hi"), 2, '.', false);
    });
    ASSERT_GE(pdf.size(), 2u);
    EXPECT_EQ(pdf.substr(pdf.size() - 2), "\r\n") << "the file ends with CR LF";
    std::string masked = std::regex_replace(pdf, std::regex("D:[0-9]{14}"), "D:##############");
    bool bareLf;
    std::vector<std::string> lines = SplitCrLf(masked, &bareLf);
    EXPECT_FALSE(bareLf) << "every line ends with CR LF";
    size_t n = sizeof kGoldenLines / sizeof kGoldenLines[0];
    ASSERT_EQ(lines.size(), n);
    for (size_t i = 0; i < n; i++) EXPECT_EQ(lines[i], kGoldenLines[i]) << "line " << i + 1;
}

TEST(PdfWriter, EmptyDocumentHasOnePageWithAnEmptyStream) {
    std::string pdf = WriteDoc("empty.pdf", 0, nullptr);
    EXPECT_EQ(pdf.compare(0, 17, "%PDF-1.4\r\n%\x7F\x80\x81\x82\r\n"), 0);
    EXPECT_EQ(pdf.compare(17, 7, "3 0 obj"), 0) << "object 3, the Courier font, begins at 17";
    EXPECT_NE(pdf.find("  <</Length 0 >>\r\nstream\r\nendstream\r\n"), std::string::npos);
    auto objs = PdfTestObjects(pdf);
    ASSERT_TRUE(objs.count(2));
    EXPECT_EQ(PdfTestNumber(objs[2], "/Count "), 1);
    EXPECT_EQ(pdf.find("/ID"), std::string::npos) << "no /ID without encryption";
}

TEST(PdfWriter, ContentIsCompressedUnlessAskedOtherwise) {
    auto draw = [](PdfDocRec* doc) {
        for (int i = 1; i <= 40; i++) {
            PdfMoveTo(doc, 1, static_cast<WORD>(i));
            PdfDrawText(doc, reinterpret_cast<const BYTE*>("compressible line of text"), 25, '.', false);
        }
    };
    std::string packed = WriteDoc("packed.pdf", 0, draw);
    std::string plain = WriteDoc("plain.pdf", kUncompressed, draw);
    EXPECT_NE(packed.find("  <</Filter /FlateDecode \r\n    /Length "), std::string::npos);
    EXPECT_EQ(plain.find("/FlateDecode"), std::string::npos);
    EXPECT_LT(packed.size() * 3, plain.size());
    // A page whose content does not shrink is written in its plain form.
    std::string tiny = WriteDoc("tiny.pdf", 0, [](PdfDocRec* doc) { PdfCsAppend(doc, "q", 1); });
    EXPECT_NE(tiny.find("  <</Length 1 >>\r\nstream\r\nq\r\nendstream"), std::string::npos);
}

TEST(PdfWriter, CrossReferenceLinesAreTwentyBytesAndPointAtTheirObjects) {
    std::string pdf = WriteDoc("xref.pdf", 0, [](PdfDocRec* doc) {
        PdfFontSpec spec;
        PdfParseFontSpec("TIMES(12)", 9, &spec);
        PdfSetFontSpec(doc, &spec);
        PdfControlCode(doc, 102, 2);
    });
    size_t xref = pdf.rfind("\r\nxref\r\n") + 2;
    ASSERT_NE(xref, std::string::npos);
    long size = PdfTestNumber(pdf.substr(xref), "0 ");
    ASSERT_GT(size, 5);
    size_t p = pdf.find("\r\n", xref + 6) + 2;
    for (long obj = 0; obj < size; obj++, p += 20) {
        std::string line = pdf.substr(p, 20);
        ASSERT_EQ(line.size(), 20u);
        EXPECT_EQ(line.substr(18), "\r\n") << "object " << obj;
        if (obj == 0) continue;
        size_t off = strtoul(line.c_str(), nullptr, 10);
        EXPECT_EQ(pdf.compare(off, std::to_string(obj).size() + 6, std::to_string(obj) + " 0 obj"), 0)
            << "object " << obj << " at " << off;
    }
    EXPECT_EQ(PdfTestNumber(pdf, "startxref\r\n"), static_cast<long>(xref));
}

TEST(PdfWriter, ReservedNumberNeverWrittenIsAFreeEntry) {
    std::string pdf = WriteDoc("free.pdf", 0, [](PdfDocRec* doc) { doc->nextObj++; });
    // Object 4 was reserved and never written; the page took 5 and 6.
    size_t xref = pdf.rfind("\r\nxref\r\n") + 2;
    size_t p = pdf.find("\r\n", xref + 6) + 2;
    EXPECT_EQ(pdf.substr(p + 4 * 20, 20), "0000000000 65535 f\r\n");
    EXPECT_EQ(pdf.find("0000000000 00000 n"), std::string::npos);
}

// Walks the tree from the catalog: each node's /Count is the pages below it,
// each kid names its node as /Parent, and the pages come in the order written.
static void CheckTree(const std::map<unsigned, std::string>& objs, unsigned node, unsigned parent,
                      std::vector<unsigned>* pages, int depth, int* leafDepth) {
    ASSERT_LT(depth, 12);
    auto it = objs.find(node);
    ASSERT_NE(it, objs.end()) << "node " << node;
    const std::string& o = it->second;
    if (parent) EXPECT_EQ(PdfTestNumber(o, "/Parent "), static_cast<long>(parent)) << "object " << node;
    else EXPECT_EQ(o.find("/Parent"), std::string::npos);
    if (o.find("/Type /Page\r\n") != std::string::npos) {
        pages->push_back(node);
        if (*leafDepth < 0) *leafDepth = depth;
        EXPECT_EQ(depth, *leafDepth) << "every page at the same depth";
        return;
    }
    size_t before = pages->size();
    size_t k = o.find("/Kids [ ");
    ASSERT_NE(k, std::string::npos);
    std::string kids = o.substr(k + 8, o.find(" ]", k) - k - 8);
    int kidCount = 0;
    for (size_t p = 0; p < kids.size();) {
        unsigned kid = static_cast<unsigned>(strtoul(kids.c_str() + p, nullptr, 10));
        CheckTree(objs, kid, node, pages, depth + 1, leafDepth);
        kidCount++;
        p = kids.find("\r\n", p);
        if (p == std::string::npos) break;
        p += 2;
    }
    EXPECT_LE(kidCount, 10) << "node " << node;
    EXPECT_EQ(PdfTestNumber(o, "/Count "), static_cast<long>(pages->size() - before)) << "node " << node;
}

TEST(PdfWriter, PageTreesHoldEveryPageOnceInOrder) {
    struct Case {
        int pages;
        int depth;
        const char* why;
    };
    static const Case kCases[] = {
        {1, 0, "one node, one kid"},
        {10, 0, "one full node"},
        {11, 1, "the eleventh page opens a root over two nodes"},
        {101, 2, "three levels"},
        {1001, 3, "four levels"},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.why);
        PdfTestHooks();
        PdfDocRec* doc = nullptr;
        ASSERT_EQ(PdfBegin("tree.pdf", &doc, 0, 0), 0);
        for (int i = 0; i < c.pages; i++) {
            PdfStartPage(doc);
            PdfDrawText(doc, reinterpret_cast<const BYTE*>("p"), 1, '.', false);
        }
        ASSERT_EQ(PdfFinish(doc), 0);
        std::string pdf = PdfTestRead("tree.pdf");
        auto objs = PdfTestObjects(pdf);
        ASSERT_TRUE(objs.count(1));
        long root = PdfTestNumber(objs[1], "/Pages ");
        std::vector<unsigned> pages;
        int leafDepth = -1;
        CheckTree(objs, static_cast<unsigned>(root), 0, &pages, 0, &leafDepth);
        EXPECT_EQ(leafDepth, c.depth + 1) << "levels of nodes above the pages";
        ASSERT_EQ(pages.size(), static_cast<size_t>(c.pages));
        for (size_t i = 1; i < pages.size(); i++) EXPECT_LT(pages[i - 1], pages[i]) << "page " << i;
        EXPECT_EQ(PdfTestNumber(objs[static_cast<unsigned>(root)], "/Count "), c.pages);
        if (c.pages == 11) {
            EXPECT_EQ(PdfTestNumber(objs[2], "/Count "), 10) << "object 2 holds ten pages";
        }
    }
}

TEST(PdfWriter, NumberAndTextWriters) {
    struct Case {
        long n;
        const char* dec4;
        const char* dec8;
    };
    static const Case kCases[] = {
        {0, "0000", "00000000"},
        {4950, "4950", "00004950"},
        {123456789, "6789", "23456789"},
        {-5, "-005", "00000005"},
        {-12345, "-345", "00012345"},
    };
    for (const Case& c : kCases) {
        char buf[16] = {};
        EXPECT_EQ(PutDec4(buf, c.n) - buf, 4);
        EXPECT_STREQ(buf, c.dec4) << c.n;
        memset(buf, 0, sizeof buf);
        EXPECT_EQ(PutDec8(buf, c.n) - buf, 8);
        EXPECT_STREQ(buf, c.dec8) << c.n;
    }
    std::string pdf = WriteDoc("strings.pdf", kUncompressed, [](PdfDocRec* doc) {
        PdfPutString(doc, "a(b)c\\d\re\nf", 11, kPdfEndLine, 0);
        PdfPutString(doc, "\n\n\r()\\", 6, kPdfEndLine, 0);
        PdfPutUInt(doc, 0, 0);
        PdfPutText(doc, "|");
        PdfPutUInt(doc, 7, 3);
        PdfPutText(doc, "|");
        PdfPutInt(doc, -42, 1);
        PdfPutText(doc, "|");
        PdfPutFixed3(doc, 595.35);
        PdfPutText(doc, "|/");
        PdfPutName(doc, "Arial Narrow#1");
        PdfPutLine(doc, nullptr);
    });
    EXPECT_NE(pdf.find("(a\\(b\\)c\\\\d\\re\\nf)\r\n"), std::string::npos) << "CR and LF are escaped as \\r and \\n";
    EXPECT_NE(pdf.find("(\\n\\n\\r\\(\\)\\\\)\r\n"), std::string::npos) << "0A 0A 0D 28 29 5C: no raw line end";
    EXPECT_NE(pdf.find("|007|-42|595.350|/Arial#20Narrow#231\r\n"), std::string::npos);
}

TEST(PdfWriter, BeginOptionsAndFileNameLimit) {
    struct Case {
        DWORD options;
        DWORD flags;
    };
    static const Case kCases[] = {
        {0, 0x2010},
        {1u << 16, 0x6010},
        {1u << 30, 0x3010},
        {1u << 21, 0x0010},
        {(1u << 18) | (1u << 19), 0x1A010},
        {1u << 27, 0x110010},
        {(1u << 23) | (1u << 25) | (1u << 26) | (1u << 29), 0x6C2010},
    };
    for (const Case& c : kCases) {
        PdfDocRec* doc = nullptr;
        ASSERT_EQ(PdfBegin("opts.pdf", &doc, c.options, 300), 0);
        EXPECT_EQ(doc->flags, c.flags) << std::hex << c.options;
        EXPECT_EQ(doc->resolution, 300);
        PdfFinish(doc);
    }
    PdfDocRec* doc = nullptr;
    ASSERT_EQ(PdfBegin("margins.pdf", &doc, 1u << 20, 0), 0);
    EXPECT_EQ(doc->leftMargin, 0.0);
    EXPECT_EQ(doc->resolution, 600);
    char name[300];
    PdfGetFileName(doc, name);
    EXPECT_STREQ(name, "margins.pdf");
    PdfFinish(doc);

    // 238 characters of "./" and a 17-character name make 255, the longest
    // name taken; one character more is refused, never cut to another file.
    std::string longName;
    for (int i = 0; i < 119; i++) longName += "./";
    longName += "cut_name_test.pdf";
    ASSERT_EQ(longName.size(), 255u);
    ASSERT_EQ(PdfBegin(longName.c_str(), &doc, 0, 0), 0);
    EXPECT_EQ(longName, doc->fileName);
    PdfFinish(doc);
    EXPECT_FALSE(PdfTestRead("cut_name_test.pdf").empty());
    remove("cut_name_test.pdf");
    EXPECT_EQ(PdfBegin((longName + "x").c_str(), &doc, 0, 0), -1);
    EXPECT_EQ(doc, nullptr);
    EXPECT_TRUE(PdfTestRead("cut_name_test.pdf").empty()) << "nothing is written under the cut name";
    EXPECT_TRUE(PdfTestRead("cut_name_test.pdfx").empty());
    EXPECT_EQ(PdfBegin("no-such-dir/x.pdf", &doc, 0, 0), -1);
    EXPECT_EQ(doc, nullptr);
}

// A file that cannot be written whole is a failure, not a finished document:
// writes refused by the stream (a read-only handle put in place of the file)
// and a device that fails on the last flush at close (a full disk; under Wine
// the runtime's fclose answers 0 there, so the flush itself is checked).
TEST(PdfWriter, FailedWritesAreReportedByFinish) {
    struct Case {
        const char* name;
        bool readOnly;
        const char* why;
    };
    static const Case kCases[] = {
        {"writefail.pdf", true, "every write is refused"},
#ifdef _WIN32
        {"Z:\\dev\\full", false, "the buffered bytes fail when the file is closed"},
#else
        {"/dev/full", false, "the buffered bytes fail when the file is closed"},
#endif
    };
    for (const Case& c : kCases) {
        PdfTestHooks();
        PdfDocRec* doc = nullptr;
        ASSERT_EQ(PdfBegin(c.name, &doc, 0, 0), 0) << c.why;
        if (c.readOnly) {
            PdfFileClose(doc->file);
            doc->file = PdfFileOpen(c.name, 0x40, kPdfOpenExisting);
            ASSERT_NE(doc->file, 0u) << c.why;
        }
        for (int i = 1; i <= 60; i++) {
            PdfMoveTo(doc, 1, static_cast<WORD>(i));
            PdfDrawText(doc, reinterpret_cast<const BYTE*>("a line of text for the page"), 27, '.', false);
        }
        gPdfErrNo = 0;
        EXPECT_EQ(PdfFinish(doc), kPdfFail) << c.why;
        EXPECT_NE(gPdfErrNo, 0) << c.why;
    }
}

// The offset field of a cross-reference entry, at the edges of 32 bits and of
// its ten digits: a file above 4 GB keeps exact offsets, and one beyond ten
// digits is refused rather than cut to its low digits.
TEST(PdfWriter, CrossReferenceOffsetsAreSixtyFourBitUpToTenDigits) {
    struct Case {
        uint64_t offset;
        const char* field;  // null: refused
        const char* why;
    };
    static const Case kCases[] = {
        {17, "0000000017", "the first object, zero-padded"},
        {4294967295ull, "4294967295", "the last 32-bit offset"},
        {4294967296ull, "4294967296", "4 GB: no longer wraps to 0"},
        {6000000123ull, "6000000123", "beyond 4 GB"},
        {9999999999ull, "9999999999", "the largest ten-digit offset"},
        {10000000000ull, nullptr, "eleven digits: no entry addresses it"},
        {~0ull, nullptr, "the largest position"},
    };
    for (const Case& c : kCases) {
        char field[kPdfXrefOffsetDigits + 1] = "untouched!";
        bool ok = PdfFormatXrefOffset(c.offset, field);
        EXPECT_EQ(ok, c.field != nullptr) << c.why;
        EXPECT_EQ(std::string(field, kPdfXrefOffsetDigits), c.field ? c.field : "untouched!") << c.why;
    }
}

// The whole writer past 4 GB without writing 4 GB: the position it counts is
// moved on before the last objects, which then stand at offsets above 32 bits
// in the table and in startxref.
TEST(PdfWriter, TableAndStartxrefAboveFourGigabytes) {
    struct Case {
        uint64_t skip;
        int result;
        const char* why;
    };
    static const Case kCases[] = {
        {0, kPdfOk, "an ordinary file"},
        {5000000000ull, kPdfOk, "the end of the file lies 5 GB further"},
        {9999999800ull, kPdfFail, "the catalog would need eleven digits"},
    };
    for (const Case& c : kCases) {
        PdfTestHooks();
        PdfDocRec* doc = nullptr;
        ASSERT_EQ(PdfBegin("big.pdf", &doc, 0, 0), 0) << c.why;
        PdfDrawText(doc, reinterpret_cast<const BYTE*>("x"), 1, '.', false);
        PdfEndPage(doc);
        doc->filePos += c.skip;
        uint64_t catalogAtLeast = doc->filePos;
        gPdfErrNo = 0;
        EXPECT_EQ(PdfFinish(doc), c.result) << c.why;
        std::string pdf = PdfTestRead("big.pdf");
        size_t xref = pdf.rfind("\r\nxref\r\n") + 2;
        ASSERT_NE(xref, std::string::npos) << c.why;
        size_t p = pdf.find("\r\n", xref + 6) + 2;
        std::string entry1 = pdf.substr(p + 20, 20);
        unsigned long long start = strtoull(pdf.c_str() + pdf.rfind("startxref\r\n") + 11, nullptr, 10);
        EXPECT_EQ(start, xref + c.skip) << c.why << ": startxref is the 64-bit position";
        if (c.result == kPdfOk) {
            unsigned long long catalog = strtoull(entry1.c_str(), nullptr, 10);
            EXPECT_GE(catalog, catalogAtLeast) << c.why;
            EXPECT_EQ(pdf.compare(catalog - c.skip, 7, "1 0 obj"), 0) << c.why << ": " << entry1;
            EXPECT_EQ(entry1.substr(10), " 00000 n\r\n") << c.why;
        } else {
            EXPECT_EQ(gPdfErrNo, kPdfErrTooLarge) << c.why;
            EXPECT_EQ(entry1, "0000000000 65535 f\r\n") << c.why << ": no entry sends a reader astray";
        }
    }
}

// A face without a font file (none is found here) leaves a text without a
// font. It fails where it is drawn and again at the end, and never vanishes
// from a page that is reported as written.
TEST(PdfWriter, TextWithoutAFontFailsWhenDrawnAndAtFinish) {
    struct Case {
        DWORD options;
        const char* font;  // a font text selected first, or null
        int result;
        const char* why;
    };
    static const Case kCases[] = {
        {0, nullptr, kPdfOk, "the standard Courier of a new document"},
        {1u << 19, nullptr, kPdfFontNotMade, "TrueType preferred: Courier is Courier New, which has no font file"},
        {1u << 27, nullptr, kPdfFontNotMade, "16-bit text is drawn in TrueType subsets"},
        {1u << 28, nullptr, kPdfFontNotMade, "the print job's UTF-16 texts, passed through"},
        {1u << 28, "'>Symbol'", kPdfOk, "a standard font current: 16-bit text in it keeps its narrowing"},
        {(1u << 18) | (1u << 19), nullptr, kPdfOk, "family names kept: the standard Courier"},
    };
    for (const Case& c : kCases) {
        PdfTestHooks();
        PdfDocRec* doc = nullptr;
        ASSERT_EQ(PdfBegin("nofont.pdf", &doc, c.options | kUncompressed, 0), 0) << c.why;
        if (c.font) {
            PdfFontSpec spec;
            ASSERT_EQ(PdfParseFontSpec(c.font, strlen(c.font), &spec), 0) << c.why;
            EXPECT_EQ(PdfSetFontSpec(doc, &spec), kPdfOk) << c.why;
        }
        EXPECT_EQ(PdfDrawText(doc, reinterpret_cast<const BYTE*>("WORD"), 4, '.', false), c.result) << c.why;
        EXPECT_EQ(PdfDrawText(doc, reinterpret_cast<const BYTE*>(""), 0, '.', false), kPdfOk)
            << c.why << ": an empty text needs no font";
        gPdfErrNo = 0;
        EXPECT_EQ(PdfFinish(doc), c.result) << c.why;
        if (c.result != kPdfOk) {
            EXPECT_EQ(gPdfErrNo, kPdfErrNoFontFile) << c.why;
        }
        std::string pdf = PdfTestRead("nofont.pdf");
        EXPECT_EQ(pdf.find("(WORD) Tj") != std::string::npos, c.result == kPdfOk) << c.why;
        EXPECT_NE(pdf.find("%%EOF"), std::string::npos) << c.why << ": the file is still complete";
    }
}
