// pdf_import_corpus_test.cpp - page import over the PDF files of qpdf's and
// pdf.js's test suites (fetched into the deps cache at set-up): page 1 and the
// last page of each, typed and generic, must neither crash nor hang under the
// sanitizers. Every success stands on a page of its own; each written document
// passes qpdf's check and renders in poppler, MuPDF and Ghostscript, and a
// Letter-sized source page renders in poppler as the imported page does.
// A renderer's complaint is traced to its page and laid to the source when
// the source page draws with a complaint in that renderer too, or when qpdf
// finds the source's content faulty; qpdf's warnings are laid to the sources
// when one of the document's sources draws warnings itself. Import failures
// and check results are counted by reason and printed for the record.
#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "tests/pdf/pdftest.h"
#include "tests/pdf/pdftools.h"

namespace {

constexpr int kPagesPerCheckedDoc = 25;  // small enough to trace a complaint to its page cheaply
constexpr long kMaxPageGuess = 65535;
// One renderer run's processor time: some sources make renderers loop. The
// bound is on processor time, not on the clock, so that a renderer that only
// waited for a turn on a busy machine is not taken for one that loops. A run
// has kPageCpuSeconds for each page it draws, up to kToolCpuSeconds: the
// costliest single page of the test suites draws in under a second at the
// compare resolution, and a page drawn alone to trace a complaint (a loop
// among them) needs no more than its share.
constexpr int kToolCpuSeconds = 30;
constexpr int kPageCpuSeconds = 5;
constexpr size_t kToolOutputMax = 16384;
constexpr unsigned kMaxWorkers = 4;
// Renders are compared at a low resolution: a Letter page is 170 x 220 pixels.
constexpr int kCompareDpi = 20;
// A pixel differs when its grey differs by more than this (of 255), and a
// page matches when at most this share of its pixels differ. Poppler draws
// the same objects to the same pixels whether they sit on the page or in a
// form the page draws: sound sources come out identical. The slack is for
// sources with broken streams (wrong lengths, content split inside a token),
// which poppler repairs on the source page a little differently from the
// import's repair (up to 0.4% of the pixels: one short run of text). Any real
// loss - a missing font, image or shading, a shifted page - changes more.
constexpr int kGreyTolerance = 48;
constexpr double kDifferingShareMax = 0.005;
constexpr double kLetterWidth = 612, kLetterHeight = 792;

// The renderers: a command that draws pages [first, last] of a file, and what
// in their output counts as an error.
enum Renderer { kPoppler = 0, kMupdf = 1, kGhostscript = 2, kRenderers = 3 };
struct RendererRec {
    const char* name;
    const char* errorWord;  // output holding it (or a non-zero exit) is a complaint; nullptr: any output
};
// Ghostscript, quiet, prints only what went wrong, and without the word
// "Error" ("Couldn't find named resource").
const RendererRec kRendererTable[kRenderers] = {
    {"poppler", "Error"},
    {"mupdf", "error"},
    {"ghostscript", nullptr},
};

// The command run under the processor-time bound.
std::string Bounded(const std::string& cmd, long pages) {
    long seconds = std::min<long>(kToolCpuSeconds, kPageCpuSeconds * pages);
    return "ulimit -t " + std::to_string(seconds) + "; " + cmd;
}

std::string RenderCommand(Renderer r, const std::string& file, long first, long last, const std::string& outPrefix) {
    std::string pages = std::to_string(first), upto = std::to_string(last), dpi = std::to_string(kCompareDpi);
    long count = last - first + 1;
    switch (r) {
        case kPoppler:
            return Bounded("pdftoppm -gray -r " + dpi + " -f " + pages + " -l " + upto + " '" + file + "' " + outPrefix,
                           count);
        case kMupdf: return Bounded("mutool draw -q -r " + dpi + " '" + file + "' " + pages + "-" + upto, count);
        default:
            return Bounded("gs -q -dNOPAUSE -dBATCH -dSAFER -sDEVICE=nullpage -dFirstPage=" + pages +
                               " -dLastPage=" + upto + " '" + file + "'",
                           count);
    }
}

// One external command and what it answered.
struct ToolRun {
    std::string cmd;
    std::string out;
    int rc = 0;
};

// Runs a shell command keeping at most kToolOutputMax bytes of its output
// (a looping renderer may print without end until its time runs out).
void RunCapped(ToolRun* run) {
    FILE* p = popen(("exec </dev/null; " + run->cmd + " 2>&1").c_str(), "r");
    if (!p) {
        run->rc = -1;
        return;
    }
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0)
        if (run->out.size() < kToolOutputMax) run->out.append(buf, n);
    int status = pclose(p);
    run->rc = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Runs every command on a few threads at once.
void RunAll(std::vector<ToolRun>* runs) {
    unsigned workers = std::max(2u, std::min(kMaxWorkers, std::thread::hardware_concurrency()));
    std::atomic<size_t> next{0};
    std::vector<std::thread> threads;
    for (unsigned w = 0; w < workers; w++)
        threads.emplace_back([&] {
            for (size_t i = next++; i < runs->size(); i = next++) RunCapped(&(*runs)[i]);
        });
    for (std::thread& t : threads) t.join();
}

bool Complains(Renderer r, const ToolRun& run) {
    const char* word = kRendererTable[r].errorWord;
    return run.rc != 0 || (word ? run.out.find(word) != std::string::npos : !run.out.empty());
}

std::vector<std::string> PdfFilesIn(const std::string& dir) {
    std::vector<std::string> files;
    DIR* d = opendir(dir.c_str());
    if (!d) return files;
    while (dirent* e = readdir(d)) {
        std::string name = e->d_name;
        if (name.size() > 4 && name.compare(name.size() - 4, 4, ".pdf") == 0) files.push_back(dir + "/" + name);
    }
    closedir(d);
    std::sort(files.begin(), files.end());
    return files;
}

// The page count as the largest "/Count" in the file: the root of a classic
// page tree. Files whose tree sits in object streams give 1; the importer
// refuses those anyway.
long LastPage(const std::string& pdf) {
    long last = 1;
    for (size_t at = pdf.find("/Count"); at != std::string::npos; at = pdf.find("/Count", at + 1)) {
        long n = strtol(pdf.c_str() + at + 6, nullptr, 10);
        if (n > last && n < kMaxPageGuess) last = n;
    }
    return last;
}

// One imported page: where it came from and where it stands.
struct Placed {
    std::string source;
    long sourcePage;
    std::string doc;
    long page;
    bool generic;
};

// A grey picture written by pdftoppm (P5).
struct Grey {
    int width = 0, height = 0;
    std::string pixels;
};

Grey ReadGrey(const std::string& path) {
    Grey g;
    std::string pgm = PdfTestRead(path);
    int maxval = 0, consumed = 0;
    if (sscanf(pgm.c_str(), "P5 %d %d %d%n", &g.width, &g.height, &maxval, &consumed) != 3) return g;
    g.pixels = pgm.substr(static_cast<size_t>(consumed) + 1);
    if (g.pixels.size() != static_cast<size_t>(g.width) * g.height) g.width = g.height = 0;
    return g;
}

// The share of pixels that differ beyond the tolerance; 1 when the sizes do.
double DifferingShare(const Grey& a, const Grey& b) {
    if (!a.width || a.width != b.width || a.height != b.height) return 1;
    size_t differ = 0;
    for (size_t i = 0; i < a.pixels.size(); i++)
        if (abs(static_cast<unsigned char>(a.pixels[i]) - static_cast<unsigned char>(b.pixels[i])) > kGreyTolerance)
            differ++;
    return static_cast<double>(differ) / a.pixels.size();
}

// pdftoppm's name for page `page` of a render of `pages` pages (it pads the
// number to the width of the last one).
std::string RenderedPage(const std::string& prefix, long page, long pages) {
    char buf[32];
    snprintf(buf, sizeof buf, "-%0*ld.pgm", static_cast<int>(std::to_string(pages).size()), page);
    return prefix + buf;
}

// A source page by pdfinfo's reading of its boxes: Letter-sized, upright
// and uncropped pages are compared with their imports (the import draws the
// page's content unturned, at its own coordinates, uncropped).
enum PageShape { kOtherSize = 0, kLetterTurnedOrCropped = 1, kLetter = 2 };
const char* const kPageShapeNames[] = {
    "poppler: pages of another size (not compared)",
    "poppler: Letter pages turned, cropped or moved from the origin (not compared)",
    "",
};

PageShape ShapeOf(const std::string& info) {
    double x0, y0, x1, y1, c0, c1, c2, c3;
    int rot;
    size_t mb = info.find("MediaBox:"), cb = info.find("CropBox:"), r = info.find("rot:");
    if (mb == std::string::npos || cb == std::string::npos || r == std::string::npos) return kOtherSize;
    if (sscanf(info.c_str() + mb + 9, "%lf %lf %lf %lf", &x0, &y0, &x1, &y1) != 4 ||
        sscanf(info.c_str() + cb + 8, "%lf %lf %lf %lf", &c0, &c1, &c2, &c3) != 4 ||
        sscanf(info.c_str() + r + 4, "%d", &rot) != 1)
        return kOtherSize;
    if (x1 - x0 != kLetterWidth || y1 - y0 != kLetterHeight) return kOtherSize;
    bool upright = x0 == 0 && y0 == 0 && c0 == x0 && c1 == y0 && c2 == x1 && c3 == y1 && rot % 360 == 0;
    return upright ? kLetter : kLetterTurnedOrCropped;
}

// The pages of one written document and where they came from.
struct CheckedDoc {
    std::string path;
    long pages = 0;  // as written: a trailing page may be empty after a failure
};

// Imports page 1 and the last page of every file, each success on a page of
// its own, into documents of kPagesPerCheckedDoc imported pages; failures
// counted by reason.
void ImportAll(const std::string& source, const std::vector<std::string>& files, std::vector<Placed>* placed,
               std::vector<CheckedDoc>* docs, std::map<std::string, int>* reasons) {
    int imports = 0, successes[2] = {0, 0};
    std::vector<long> lastPages;
    for (const std::string& file : files) lastPages.push_back(LastPage(PdfTestRead(file)));
    // One mode at a time: a page imported once is reused whatever the mode.
    for (BYTE generic : {0, 1}) {
        PdfDocRec* doc = nullptr;
        long taken = 0;
        bool pageTaken = false;
        auto finish = [&] {
            ASSERT_EQ(PdfFinish(doc), 0);
            doc = nullptr;
        };
        for (size_t f = 0; f < files.size(); f++) {
            for (long page : {1L, lastPages[f]}) {
                if (!doc) {
                    docs->push_back({"corpus/" + source + "-" + std::to_string(docs->size()) + ".pdf", 1});
                    doc = Begin(docs->back().path.c_str());
                    ASSERT_NE(doc, nullptr);
                    PdfStartPage(doc);
                    taken = 0;
                    pageTaken = false;
                } else if (pageTaken) {
                    // A failed import leaves its page empty for the next one.
                    PdfStartPage(doc);
                    docs->back().pages++;
                    pageTaken = false;
                }
                // Set directly: some names hold the option text's comma.
                PdfImportOpts o;
                memset(&o, 0, sizeof o);
                o.file.text = files[f].c_str();
                o.file.len = static_cast<DWORD>(files[f].size());
                o.page = static_cast<WORD>(page);
                o.g = generic;
                gPdfErrorText[0] = 0;
                imports++;
                if (PdfImportPage(doc, &o) == 0) {
                    successes[generic]++;
                    placed->push_back({files[f], page, docs->back().path, docs->back().pages, generic != 0});
                    pageTaken = true;
                    if (++taken == kPagesPerCheckedDoc) finish();
                } else {
                    (*reasons)[source + (generic ? " generic: " : " typed: ") +
                               (gPdfErrorText[0] ? gPdfErrorText : "(no reason)")]++;
                }
                if (lastPages[f] == 1) break;
            }
        }
        if (doc) finish();
    }
    std::cout << source << ": " << files.size() << " files, " << imports << " imports, " << successes[0]
              << " typed and " << successes[1] << " generic succeeded\n";
}

// A renderer's complaint about one imported page, to be traced.
struct Traced {
    Renderer renderer;
    const Placed* at;
};

}  // namespace

TEST(PdfImportCorpus, FirstAndLastPagesOfTestSuiteFiles) {
    const char* env = getenv("QOV_TESTDATA");
    std::string root = std::string(env ? env : "/var/cache/qovtervex-deps/testdata") + "/pdfimport";
    auto start = std::chrono::steady_clock::now();
    RunTool("rm -rf corpus");
    mkdir("corpus", 0755);
    std::vector<Placed> placed;
    std::vector<CheckedDoc> docs;
    std::map<std::string, int> reasons;
    for (const char* source : {"qpdf", "pdfjs"}) {
        std::vector<std::string> files = PdfFilesIn(root + "/" + source);
        ASSERT_FALSE(files.empty()) << "no files in " << root << "/" << source << " (set-up fetches them)";
        ImportAll(source, files, &placed, &docs, &reasons);
        if (HasFatalFailure()) return;
    }
    double importSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

    // Every written document: qpdf's check and the three renderers; every
    // source page placed: its boxes.
    std::vector<ToolRun> runs;
    for (const CheckedDoc& d : docs) {
        runs.push_back({"qpdf --check " + d.path, "", 0});
        for (int r = 0; r < kRenderers; r++)
            runs.push_back({RenderCommand(static_cast<Renderer>(r), d.path, 1, d.pages, d.path), "", 0});
    }
    std::map<std::pair<std::string, long>, std::string> sourceInfo;
    for (const Placed& p : placed) sourceInfo[{p.source, p.sourcePage}];
    size_t infoFrom = runs.size();
    for (const auto& s : sourceInfo)
        runs.push_back({"pdfinfo -box -f " + std::to_string(s.first.second) + " -l " + std::to_string(s.first.second) +
                            " '" + s.first.first + "'",
                        "", 0});
    RunAll(&runs);

    std::map<std::string, int> checks;
    std::map<std::string, std::vector<int>> docComplaints;  // by document: the renderers that complained
    std::map<std::string, std::string> qpdfWarned;          // by document: qpdf's warnings
    for (size_t d = 0; d < docs.size(); d++) {
        const ToolRun& q = runs[d * (1 + kRenderers)];
        if (q.rc == 2) ADD_FAILURE() << "qpdf finds errors in " << docs[d].path << "\n" << q.out.substr(0, 2000);
        if (q.rc == 3) qpdfWarned[docs[d].path] = q.out;
        for (int r = 0; r < kRenderers; r++)
            if (Complains(static_cast<Renderer>(r), runs[d * (1 + kRenderers) + 1 + r]))
                docComplaints[docs[d].path].push_back(r);
    }
    size_t n = infoFrom;
    for (auto& s : sourceInfo) s.second = runs[n++].out;

    // Second round: Letter sources rendered by poppler; each page of a
    // document a renderer complained about again alone.
    runs.clear();
    std::vector<const Placed*> compared;
    for (const Placed& p : placed) {
        PageShape shape = ShapeOf(sourceInfo[{p.source, p.sourcePage}]);
        if (shape != kLetter) {
            checks[kPageShapeNames[shape]]++;
            continue;
        }
        compared.push_back(&p);
        std::string page = std::to_string(p.sourcePage);
        runs.push_back({Bounded("pdftoppm -gray -hide-annotations -r " + std::to_string(kCompareDpi) +
                                    " -singlefile -f " + page + " -l " + page + " '" + p.source + "' corpus/source-" +
                                    std::to_string(compared.size()),
                                1),
                        "", 0});
    }
    size_t tracedFrom = runs.size();
    std::vector<Traced> traced;
    for (const Placed& p : placed)
        for (int r : docComplaints[p.doc]) {
            traced.push_back({static_cast<Renderer>(r), &p});
            runs.push_back({RenderCommand(static_cast<Renderer>(r), p.doc, p.page, p.page, "corpus/alone"), "", 0});
        }
    RunAll(&runs);

    // Third round, for the pages that complain alone (a few in each such
    // document): their source pages alone, and qpdf's check of their sources
    // and of the sources of the documents qpdf warned about.
    std::vector<ToolRun> alone(runs.begin() + static_cast<long>(tracedFrom), runs.end());
    runs.clear();
    // A source page imported typed and generic is drawn once.
    std::vector<size_t> complaining;  // into traced
    std::map<std::string, size_t> sourceRender;  // by command: its run
    for (size_t t = 0; t < traced.size(); t++) {
        if (!Complains(traced[t].renderer, alone[t])) continue;
        const Placed& p = *traced[t].at;
        complaining.push_back(t);
        std::string cmd =
            RenderCommand(traced[t].renderer, p.source, p.sourcePage, p.sourcePage, "corpus/alone-source");
        if (sourceRender.emplace(cmd, runs.size()).second) runs.push_back({cmd, "", 0});
    }
    std::map<std::string, std::string> sourceCheck;
    for (const Placed& p : placed)
        if (qpdfWarned.count(p.doc)) sourceCheck[p.source];
    for (size_t t : complaining) sourceCheck[traced[t].at->source];
    size_t checkFrom = runs.size();
    for (const auto& c : sourceCheck) runs.push_back({"qpdf --check '" + c.first + "'", "", 0});
    RunAll(&runs);
    n = checkFrom;
    for (auto& c : sourceCheck) c.second = runs[n++].out;

    std::map<std::string, long> docPages;
    for (const CheckedDoc& d : docs) docPages[d.path] = d.pages;
    double largestMatchShare = 0;
    for (size_t c = 0; c < compared.size(); c++) {
        const Placed& p = *compared[c];
        Grey src = ReadGrey("corpus/source-" + std::to_string(c + 1) + ".pgm");
        Grey out = ReadGrey(RenderedPage(p.doc, p.page, docPages[p.doc]));
        double share = DifferingShare(src, out);
        if (share <= kDifferingShareMax) {
            checks["poppler: Letter page matches its source"]++;
            largestMatchShare = std::max(largestMatchShare, share);
        } else {
            checks["poppler: Letter page differs from its source"]++;
            ADD_FAILURE() << p.source << " page " << p.sourcePage << (p.generic ? " generic" : " typed") << ": "
                          << share * 100 << "% of pixels differ (" << p.doc << " page " << p.page << ")";
        }
    }
    // qpdf's warnings about copied data (a stream that does not decode, a name
    // the source wrote badly) are the sources': some source in the document
    // draws warnings of its own.
    for (const auto& w : qpdfWarned) {
        bool sourceWarns = false;
        for (const Placed& p : placed)
            if (p.doc == w.first && sourceCheck[p.source].find("WARNING") != std::string::npos) sourceWarns = true;
        if (sourceWarns) {
            checks["qpdf: warnings, as about a source in the document"]++;
            continue;
        }
        checks["qpdf: warnings about the imports only"]++;
        ADD_FAILURE() << "qpdf warns about " << w.first << "\n" << w.second.substr(0, 2000);
    }
    for (size_t t : complaining) {
        Renderer r = traced[t].renderer;
        const Placed& p = *traced[t].at;
        const ToolRun& source =
            runs[sourceRender[RenderCommand(r, p.source, p.sourcePage, p.sourcePage, "corpus/alone-source")]];
        if (Complains(r, source)) {
            checks[std::string(kRendererTable[r].name) + ": complains; the source page draws with complaints too"]++;
            continue;
        }
        // Content streams split inside a token (a string, an inline image):
        // the joined content keeps each boundary as white space, as it must
        // for sound files, and qpdf finds the source's content faulty.
        if (sourceCheck[p.source].find("(content") != std::string::npos) {
            checks[std::string(kRendererTable[r].name) + ": complains; qpdf finds the source's content faulty"]++;
            continue;
        }
        checks[std::string(kRendererTable[r].name) + ": complains about the import only"]++;
        ADD_FAILURE() << kRendererTable[r].name << " complains about " << p.source << " page " << p.sourcePage
                      << (p.generic ? " generic" : " typed") << " (" << p.doc << " page " << p.page << ")\n"
                      << alone[t].out.substr(0, 1000);
    }

    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::cout << placed.size() << " pages imported in " << docs.size() << " documents; import " << importSeconds
              << " s, all " << seconds << " s\n";
    for (const auto& r : reasons) std::cout << "  " << r.second << "  " << r.first << "\n";
    for (const auto& c : checks) std::cout << "  " << c.second << "  " << c.first << "\n";
    std::cout << "  largest share of differing pixels on a matching page: " << largestMatchShare * 100 << "%\n";
    // The renders take some 180 MB: gone after the run, the documents kept
    // when something failed.
    RunTool(HasFailure() ? "rm -f corpus/*.pgm" : "rm -rf corpus");
}
