// pdf_bench.cpp - writes the same dense report pages (66 lines of six fields in
// a 9-point monospaced font) with the PDF writer and with cairo's PDF surface,
// in turns round by round, and prints time and bytes per page of each and
// min / median / max of their ratios; then the same page in Cyrillic in
// DejaVu Sans Mono on both sides (the writer cutting it into TrueType
// subsets), bytes per page against the Latin ratio.
// Usage: pdf_bench [pages per document] [rounds]
#include <cairo-pdf.h>
#include <cairo.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <string>
#include <vector>

#include "bench/benchkit.h"
#include "print/pdf/pdf.h"

namespace {

constexpr int kLines = 66;
constexpr int kFields = 6;
constexpr int kFieldColumns[kFields] = {1, 10, 24, 52, 68, 82};

// The text of one field of one line: ids, dates, names, amounts.
void FieldText(int page, int line, int field, char* out, size_t size) {
    int n = page * kLines + line;
    switch (field) {
        case 0: snprintf(out, size, "%07d", n * 13 + 1000); break;
        case 1: snprintf(out, size, "2024-%02d-%02d", n % 12 + 1, n % 28 + 1); break;
        case 2: snprintf(out, size, "Customer account %05d - region %c", n * 7 % 99991, 'A' + n % 26); break;
        case 3: snprintf(out, size, "%12.2f", (n * 7919 % 1000003) / 100.0); break;
        case 4: snprintf(out, size, "%10d", n * 31 % 100000); break;
        default: snprintf(out, size, "%s", n % 3 ? "open" : "settled"); break;
    }
}

// The Cyrillic report: the same fields, names and states in Russian (UTF-8).
void FieldTextCyrillic(int page, int line, int field, char* out, size_t size) {
    int n = page * kLines + line;
    switch (field) {
        case 2:
            snprintf(out, size, "\xD0\xA1\xD1\x87\xD1\x91\xD1\x82 \xD0\xBA\xD0\xBB\xD0\xB8\xD0\xB5\xD0\xBD"
                                "\xD1\x82\xD0\xB0 %05d - \xD1\x80\xD0\xB5\xD0\xB3\xD0\xB8\xD0\xBE\xD0\xBD %s",
                     n * 7 % 99991, n % 2 ? "\xD0\x90" : "\xD0\xAF");  // "Счёт клиента ... - регион А/Я"
            break;
        case 5:
            snprintf(out, size, "%s", n % 3 ? "\xD0\xBE\xD1\x82\xD0\xBA\xD1\x80\xD1\x8B\xD1\x82"        // открыт
                                             : "\xD0\xB7\xD0\xB0\xD0\xBA\xD1\x80\xD1\x8B\xD1\x82");   // закрыт
            break;
        default: FieldText(page, line, field, out, size); break;
    }
}

// UTF-8 of the basic plane as the writer's 16-bit text (UTF-16, low byte first).
std::string Utf16Le(const char* utf8) {
    std::string out;
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(utf8); *p;) {
        unsigned ch = *p++;
        if (ch >= 0xE0 && p[0] && p[1]) ch = ((ch & 0x0F) << 12) | ((p[0] & 0x3F) << 6) | (p[1] & 0x3F), p += 2;
        else if (ch >= 0xC0 && p[0]) ch = ((ch & 0x1F) << 6) | (p[0] & 0x3F), p += 1;
        out += static_cast<char>(ch & 0xFF);
        out += static_cast<char>(ch >> 8);
    }
    return out;
}

constexpr char kCyrillicFont[] = "/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf";
const char* BenchIniFont(const char* key) { return strcmp(key, "DejaVu_Sans_Mono") == 0 ? kCyrillicFont : nullptr; }

double Seconds(std::chrono::steady_clock::time_point t0) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

// One report page as both sides write it: its field texts (UTF-8), the
// writer's font text and options, and cairo's face.
struct ReportKind {
    void (*field)(int page, int line, int field, char* out, size_t size);
    const char* qovFont;
    DWORD qovOptions;
    bool wide;  // the writer takes the text as 16-bit characters
    const char* cairoFace;
};
const ReportKind kLatinReport = {FieldText, "FIXED(9)", 0, false, "Courier"};
const ReportKind kCyrillicReport = {FieldTextCyrillic, "'>DejaVu Sans Mono'(9)", kPdfOpt16BitText, true,
                                    "DejaVu Sans Mono"};

double WriteQov(const ReportKind& kind, int pages, const char* path) {
    auto t0 = std::chrono::steady_clock::now();
    gPdfHooks.iniFont = BenchIniFont;
    PdfDocRec* doc = nullptr;
    if (PdfBegin(path, &doc, kind.qovOptions, 600) != 0) return 0;
    PdfFontSpec spec;
    PdfParseFontSpec(kind.qovFont, strlen(kind.qovFont), &spec);
    PdfSetFontSpec(doc, &spec);
    PdfControlCode(doc, 110, 0);  // transparent background, as cairo draws it
    char text[128];
    for (int p = 0; p < pages; p++) {
        PdfStartPage(doc);
        for (int l = 0; l < kLines; l++) {
            for (int f = 0; f < kFields; f++) {
                kind.field(p, l, f, text, sizeof text);
                std::string bytes = kind.wide ? Utf16Le(text) : std::string(text);
                PdfMoveTo(doc, static_cast<WORD>(kFieldColumns[f]), static_cast<WORD>(l + 1));
                PdfDrawText(doc, reinterpret_cast<const BYTE*>(bytes.data()), bytes.size(), '.', kind.wide);
            }
        }
    }
    PdfFinish(doc);
    return Seconds(t0);
}

double WriteCairo(const ReportKind& kind, int pages, const char* path) {
    auto t0 = std::chrono::steady_clock::now();
    cairo_surface_t* surface = cairo_pdf_surface_create(path, 612, 792);
    cairo_t* cr = cairo_create(surface);
    cairo_select_font_face(cr, kind.cairoFace, CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, 9);
    char text[128];
    for (int p = 0; p < pages; p++) {
        for (int l = 0; l < kLines; l++) {
            for (int f = 0; f < kFields; f++) {
                kind.field(p, l, f, text, sizeof text);
                cairo_move_to(cr, 9 + (kFieldColumns[f] - 1) * 6.6, 9 + l * 11.756 + 9);
                cairo_show_text(cr, text);
            }
        }
        cairo_show_page(cr);
    }
    cairo_destroy(cr);
    cairo_surface_finish(surface);
    cairo_surface_destroy(surface);
    return Seconds(t0);
}

// The Cyrillic page against cairo for documents of 1, 10 and `pages` pages:
// bytes per page of each and their ratio (min / median / max over the
// lengths), against the Latin page's ratio measured above.
void CyrillicReport(int pages, int rounds, double latinRatio) {
    BenchResult sizes;
    printf("Cyrillic report page, DejaVu Sans Mono on both sides\n");
    for (int n : {1, 10, pages}) {
        BenchResult r;
        for (int i = 0; i < rounds; i++)
            BenchAddRound(&r, WriteQov(kCyrillicReport, n, "bench-qov-cyr.pdf"),
                          WriteCairo(kCyrillicReport, n, "bench-cairo-cyr.pdf"));
        double qb = static_cast<double>(BenchFileSize("bench-qov-cyr.pdf")) / n;
        double cb = static_cast<double>(BenchFileSize("bench-cairo-cyr.pdf")) / n;
        BenchAddRound(&sizes, qb, cb);
        printf("  %3d pages: qovtervex %8.0f bytes/page  cairo %8.0f bytes/page  size ratio %.2f  time ratio %.2f\n", n,
               qb, cb, qb / cb, BenchMedian(r.ratios));
    }
    // The goal: no worse than the Latin page's size ratio.
    BenchReportGoalWithin(kGoalPdfCyrillicSize, "Cyrillic page size", sizes, latinRatio, 1e-3, "KB/page");
}

}  // namespace

int main(int argc, char** argv) {
    int pages = argc > 1 ? atoi(argv[1]) : 200;
    int rounds = argc > 2 ? atoi(argv[2]) : 11;
    if (pages < 1 || rounds < 1) return 2;
    BenchResult time;
    for (int r = 0; r < rounds; r++)
        BenchAddRound(&time, WriteQov(kLatinReport, pages, "bench-qov.pdf"),
                      WriteCairo(kLatinReport, pages, "bench-cairo.pdf"));
    printf("pages per document %d\n", pages);
    // The goal: twice cairo's pages per second, and no more bytes.
    BenchReportGoal(kGoalPdfPageTime, "report page time", time, 1e3 / pages, "ms/page");
    BenchResult size;
    BenchAddRound(&size, static_cast<double>(BenchFileSize("bench-qov.pdf")) / pages,
                  static_cast<double>(BenchFileSize("bench-cairo.pdf")) / pages);
    BenchReportGoal(kGoalPdfPageSize, "report page size", size, 1e-3, "KB/page");
    CyrillicReport(pages, rounds, size.ratios[0]);
    return 0;
}
