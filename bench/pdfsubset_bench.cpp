// pdfsubset_bench.cpp - TrueType subsetting against fontTools' subsetter on the
// same 249 characters of DejaVu Sans, Liberation Sans and Droid Sans Fallback:
// the writer makes a document whose one subset holds them (reading the font,
// building the subset file, writing it uncompressed), fontTools subsets the
// font in its own process round by round, and the times and subset file sizes
// are compared.
// Usage: pdfsubset_bench [rounds]
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bench/benchkit.h"
#include "print/pdf/pdf.h"

#ifndef QOV_BENCH_DIR
#define QOV_BENCH_DIR "bench"
#endif

namespace {

constexpr double kSpeedGoal = 0.05;  // at least 20 times faster
constexpr int kFontSize = 12;

struct BenchFont {
    const char* face;
    const char* file;
};
const BenchFont kFonts[] = {
    {"DejaVu Sans", "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"},
    {"Liberation Sans", "/usr/share/fonts/truetype/liberation/LiberationSans-Regular.ttf"},
    {"Droid Sans Fallback", "/usr/share/fonts/truetype/droid/DroidSansFallbackFull.ttf"},
};

const char* gFontFile;

const char* BenchIniFont(const char*) { return gFontFile; }

// One document with one subset of the characters.
double SubsetOnce(const BenchFont& f, const std::vector<WORD>& chars) {
    return BenchSeconds([&] {
        PdfDocRec* doc = nullptr;
        if (PdfBegin("bench-subset.pdf", &doc, kPdfOptUncompressed | (1u << 27), 600) != 0) return;
        std::string spec = std::string("'>") + f.face + "'(" + std::to_string(kFontSize) + ")";
        PdfFontSpec s;
        PdfParseFontSpec(spec.c_str(), spec.size(), &s);
        PdfSetFontSpec(doc, &s);
        for (WORD ch : chars) {
            DWORD font;
            BYTE code;
            double width;
            PdfSubsetChar(doc, ch, &font, &code, &width);
        }
        PdfFinish(doc);
    });
}

// The subset file's size: its /Length1 in the last document.
long SubsetFileSize() {
    FILE* f = fopen("bench-subset.pdf", "rb");
    if (!f) return 0;
    std::string pdf;
    char buf[65536];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0) pdf.append(buf, n);
    fclose(f);
    size_t at = pdf.find("/Length1 ");
    return at == std::string::npos ? 0 : atol(pdf.c_str() + at + 9);
}

}  // namespace

int main(int argc, char** argv) {
    int rounds = argc > 1 ? atoi(argv[1]) : 7;
    if (rounds < 1) return 2;
    gPdfHooks.iniFont = BenchIniFont;
    for (const BenchFont& f : kFonts) {
        gFontFile = f.file;
        std::string cmd = std::string("/usr/bin/python3 ") + QOV_BENCH_DIR + "/subset_fonttools.py '" + f.file +
                          "' " + std::to_string(rounds) + " bench-subset-ft.ttf 2>/dev/null";
        FILE* p = popen(cmd.c_str(), "r");
        if (!p) return 1;
        std::vector<WORD> chars;
        std::vector<double> refTimes;
        char line[8192];
        if (fgets(line, sizeof line, p)) {
            for (char* at = line; *at && *at != '\n';) {
                char* end;
                unsigned long c = strtoul(at, &end, 16);
                if (end == at) break;
                chars.push_back(static_cast<WORD>(c));
                at = end;
            }
        }
        while (fgets(line, sizeof line, p)) refTimes.push_back(atof(line));
        if (pclose(p) != 0 || refTimes.size() != static_cast<size_t>(rounds)) {
            printf("%s: fontTools did not run (%s)\n", f.face, cmd.c_str());
            return 1;
        }
        BenchResult r;
        for (int i = 0; i < rounds; i++) BenchAddRound(&r, SubsetOnce(f, chars), refTimes[i]);
        std::string name = std::string(f.face) + " " + std::to_string(chars.size());
        BenchReport(name.c_str(), r, "fontTools", kSpeedGoal);
        long ours = SubsetFileSize(), theirs = BenchFileSize("bench-subset-ft.ttf");
        printf("  subset file %ld bytes, fontTools %ld bytes, ratio %.2f (goal <= 1) %s\n", ours, theirs,
               theirs ? static_cast<double>(ours) / theirs : 0.0, ours <= theirs ? "ok" : "MISSED");
    }
    return 0;
}
