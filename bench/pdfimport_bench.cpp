// pdfimport_bench.cpp - page import against libqpdf: every page of a source
// placed one on each page of a new document by the writer's import (typed and
// generic copies), and copied as foreign objects into a new document by
// libqpdf, written to a file by each, the two in turns round by round; time
// per page and the size of the file written. The sources: a 100-page report
// that cairo writes (through Debian's python3-cairo) with one embedded font
// all its pages share, a report the writer made, and any PDF files given.
// Usage: pdfimport_bench [rounds] [source.pdf ...]
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFWriter.hh>

#include <cstdio>
#include <exception>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bench/benchkit.h"
#include "print/pdf/pdf.h"

namespace {

constexpr int kReportPages = 30;
constexpr int kReportLines = 60;
constexpr DWORD kNewPage = 102;

// The report source: lines of text in a standard and a TrueType font with
// rules, a page each.
bool WriteReport(const char* path) {
    PdfDocRec* doc = nullptr;
    if (PdfBegin(path, &doc, 0, 600) != 0) return false;
    char text[96];
    for (int p = 0; p < kReportPages; p++) {
        if (p) PdfControlCode(doc, kNewPage, 1);
        PdfFontSpec spec;
        PdfParseFontSpec("FIXED(9)", 8, &spec);
        PdfSetFontSpec(doc, &spec);
        for (int l = 0; l < kReportLines; l++) {
            snprintf(text, sizeof text, "%07d  2024-%02d-%02d  Customer account %05d  %12.2f", p * 100 + l,
                     l % 12 + 1, l % 28 + 1, (p * 7919 + l) % 99991, (l * 7919 % 100003) / 100.0);
            PdfMoveTo(doc, 2, static_cast<WORD>(l + 2));
            PdfDrawText(doc, reinterpret_cast<const BYTE*>(text), strlen(text), '.', false);
        }
        PdfDrawRect(doc, 1, 1, 90, 63);
    }
    return PdfFinish(doc) == 0;
}

// The cairo report: lines of account text in DejaVu Sans on 100 pages, its
// font subset embedded once and named by every page. False when python3-cairo
// is missing.
bool WriteCairoReport(const char* path) {
    std::string cmd = std::string(
                          "/usr/bin/python3 -c \"\n"
                          "import cairo\n"
                          "s = cairo.PDFSurface('") +
                      path +
                      "', 612, 792)\n"
                      "c = cairo.Context(s)\n"
                      "c.select_font_face('DejaVu Sans')\n"
                      "c.set_font_size(9)\n"
                      "for p in range(100):\n"
                      "    for l in range(60):\n"
                      "        n = p * 100 + l\n"
                      "        c.move_to(40, 30 + 12 * l)\n"
                      "        c.show_text('%07d  2024-%02d-%02d  Customer account %05d, region %s  %12.2f  %s' % (n, l % 12"
                      " + 1, l % 28 + 1, (p * 7919 + l) % 99991, 'NESW'[l % 4], (l * 7919 % 100003) / 100.0, ['open', "
                      "'settled', 'overdue'][n % 3]))\n"
                      "    c.show_page()\n"
                      "s.finish()\n\" 2>&1";
    return system(cmd.c_str()) == 0;
}

// 0 when libqpdf cannot read the file.
int PageCount(const char* path) {
    try {
        QPDF in;
        in.processFile(path);
        return static_cast<int>(QPDFPageDocumentHelper(in).getAllPages().size());
    } catch (const std::exception& e) {
        fprintf(stderr, "%s: %s\n", path, e.what());
        return 0;
    }
}

double ImportQov(const char* source, int pages, bool generic) {
    return BenchSeconds([&] {
        PdfDocRec* doc = nullptr;
        if (PdfBegin("bench-import-qov.pdf", &doc, 0, 600) != 0) return;
        for (int p = 1; p <= pages; p++) {
            if (p > 1) PdfControlCode(doc, kNewPage, 1);
            PdfImportOpts o;
            memset(&o, 0, sizeof o);
            o.file.text = source;
            o.file.len = static_cast<DWORD>(strlen(source));
            o.page = static_cast<WORD>(p);
            o.g = generic;
            if (PdfImportPage(doc, &o) != 0) fprintf(stderr, "page %d: %s\n", p, gPdfErrorText);
        }
        PdfFinish(doc);
    });
}

double ImportQpdf(const char* source) {
    return BenchSeconds([&] {
        QPDF in;
        in.processFile(source);
        QPDF out;
        out.emptyPDF();
        QPDFPageDocumentHelper from(in), to(out);
        for (auto& page : from.getAllPages()) to.addPage(page, false);
        QPDFWriter w(out, "bench-import-qpdf.pdf");
        w.write();
    });
}

}  // namespace

int main(int argc, char** argv) {
    int rounds = argc > 1 ? atoi(argv[1]) : 21;
    if (rounds < 1) return 2;
    std::vector<std::string> sources = {"bench-import-cairo.pdf", "bench-import-src.pdf"};
    if (!WriteCairoReport(sources[0].c_str())) {
        printf("cairo report: python3-cairo did not run; not measured\n");
        sources.erase(sources.begin());
    }
    if (!WriteReport(sources.back().c_str())) return 1;
    for (int i = 2; i < argc; i++) sources.push_back(argv[i]);
    for (const std::string& src : sources) {
        int pages = PageCount(src.c_str());
        if (pages < 1) continue;
        for (bool generic : {false, true}) {
            BenchResult r = BenchInTurns(rounds, [&] { ImportQov(src.c_str(), pages, generic); },
                                         [&] { ImportQpdf(src.c_str()); });
            std::string base = src.substr(src.rfind('/') + 1);
            if (base.rfind("bench-", 0) == 0) base = base.substr(6);
            std::string name = base + (generic ? " generic" : " typed");
            BenchReportGoal(kGoalPdfImport, name, r, 1e6 / pages, "us/page");
            // The files of the last round; the same every round. Their size is
            // shown without a goal: the writer's line ends, indentation and the
            // font carried to the next page are part of the file format it keeps.
            BenchResult size;
            BenchAddRound(&size, static_cast<double>(BenchFileSize("bench-import-qov.pdf")),
                          static_cast<double>(BenchFileSize("bench-import-qpdf.pdf")));
            BenchReport((name + " size").c_str(), size, "libqpdf", 0, 1e-3 / pages, "KB/page");
        }
    }
    return 0;
}
