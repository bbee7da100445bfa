// pdfsubset_bench.cpp - TrueType subsetting against fontTools' subsetter on the
// same 249 characters of DejaVu Sans, Liberation Sans and Droid Sans Fallback:
// the writer makes a document whose one subset holds them (reading the font,
// building the subset file, writing it uncompressed), fontTools subsets the
// font in its own process, the two in turns round by round (the script waits
// for a line before each of its rounds), and the times and subset file sizes
// are compared.
// Usage: pdfsubset_bench [rounds]
#include <sys/wait.h>
#include <unistd.h>

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

// fontTools' side: the script run with its input and output on pipes.
struct Reference {
    pid_t pid;
    FILE* to;
    FILE* from;
};

bool StartReference(const std::string& cmd, Reference* ref) {
    int in[2], out[2];
    if (pipe(in) != 0) return false;
    if (pipe(out) != 0) {
        close(in[0]), close(in[1]);
        return false;
    }
    ref->pid = fork();
    if (ref->pid == 0) {
        dup2(in[0], 0);
        dup2(out[1], 1);
        close(in[0]), close(in[1]), close(out[0]), close(out[1]);
        execl("/bin/sh", "sh", "-c", cmd.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    close(in[0]), close(out[1]);
    ref->to = fdopen(in[1], "w");
    ref->from = fdopen(out[0], "r");
    return ref->pid > 0 && ref->to && ref->from;
}

// One round of the script: its time, or a negative number when it gave none.
double ReferenceRound(Reference* ref) {
    char line[64];
    if (fputs("\n", ref->to) < 0 || fflush(ref->to) != 0 || !fgets(line, sizeof line, ref->from)) return -1;
    return atof(line);
}

// Ends the script; true when it ended well.
bool EndReference(Reference* ref) {
    fclose(ref->to);
    fclose(ref->from);
    int status = 0;
    return waitpid(ref->pid, &status, 0) == ref->pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace

int main(int argc, char** argv) {
    int rounds = argc > 1 ? atoi(argv[1]) : 21;
    if (rounds < 1) return 2;
    gPdfHooks.iniFont = BenchIniFont;
    for (const BenchFont& f : kFonts) {
        gFontFile = f.file;
        std::string cmd = std::string("/usr/bin/python3 ") + QOV_BENCH_DIR + "/subset_fonttools.py '" + f.file +
                          "' " + std::to_string(rounds) + " bench-subset-ft.ttf 2>/dev/null";
        Reference ref;
        if (!StartReference(cmd, &ref)) return 1;
        std::vector<WORD> chars;
        char line[8192];
        if (fgets(line, sizeof line, ref.from)) {
            for (char* at = line; *at && *at != '\n';) {
                char* end;
                unsigned long c = strtoul(at, &end, 16);
                if (end == at) break;
                chars.push_back(static_cast<WORD>(c));
                at = end;
            }
        }
        BenchResult r;
        bool ran = !chars.empty();
        for (int i = 0; i < rounds && ran; i++) {
            double ours = SubsetOnce(f, chars), theirs = ReferenceRound(&ref);
            ran = theirs > 0;
            if (ran) BenchAddRound(&r, ours, theirs);
        }
        if (!EndReference(&ref) || !ran) {
            printf("%s: fontTools did not run (%s)\n", f.face, cmd.c_str());
            return 1;
        }
        std::string name = std::string(f.face) + " " + std::to_string(chars.size());
        BenchReportGoal(kGoalSubsetTime, name, r);
        BenchResult size;
        BenchAddRound(&size, static_cast<double>(SubsetFileSize()),
                      static_cast<double>(BenchFileSize("bench-subset-ft.ttf")));
        BenchReportGoal(kGoalSubsetSize, name + " size", size, 1e-3, "KB");
    }
    return 0;
}
