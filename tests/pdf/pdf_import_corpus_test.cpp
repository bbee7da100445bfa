// pdf_import_corpus_test.cpp - page import over the PDF files of qpdf's and
// pdf.js's test suites (fetched into the deps cache at set-up): page 1 and the
// last page of each, typed and generic, must neither crash nor hang under the
// sanitizers. Each success reads back through qpdf; failures are counted by
// the reason the importer keeps and printed for the record.
#include <dirent.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <cstdlib>
#include <iostream>
#include <map>
#include <string>
#include <vector>

#include "tests/pdf/pdftest.h"
#include "tests/pdf/pdftools.h"

namespace {

constexpr int kImportsPerDoc = 100;
constexpr long kMaxPageGuess = 65535;
constexpr double kCorpusSeconds = 60;  // a hang shows as a run far past this

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

// The document of the imported pages reads back without error in qpdf
// (exit status 2; warnings, status 3, come from the sources' own faults).
void CheckReadsBack() {
    int rc;
    std::string out = RunTool("qpdf --check corpus-out.pdf", &rc);
    EXPECT_NE(rc, 2) << out.substr(0, 2000);
}

}  // namespace

TEST(PdfImportCorpus, FirstAndLastPagesOfTestSuiteFiles) {
    const char* env = getenv("QOV_TESTDATA");
    std::string root = std::string(env ? env : "/var/cache/qovtervex-deps/testdata") + "/pdfimport";
    auto start = std::chrono::steady_clock::now();
    for (const char* source : {"qpdf", "pdfjs"}) {
        std::vector<std::string> files = PdfFilesIn(root + "/" + source);
        ASSERT_FALSE(files.empty()) << "no files in " << root << "/" << source << " (set-up fetches them)";
        std::map<std::string, int> reasons;
        int imports = 0, successes[2] = {0, 0};
        std::vector<long> lastPages;
        for (const std::string& file : files) lastPages.push_back(LastPage(PdfTestRead(file)));
        // One mode at a time: a page imported once is reused whatever the mode.
        for (BYTE generic : {0, 1}) {
            PdfDocRec* doc = nullptr;
            for (size_t f = 0; f < files.size(); f++) {
                for (long page : {1L, lastPages[f]}) {
                    if (!doc) doc = Begin("corpus-out.pdf");
                    ASSERT_NE(doc, nullptr);
                    // Set directly: some names hold the option text's comma.
                    PdfImportOpts o;
                    memset(&o, 0, sizeof o);
                    o.file.text = files[f].c_str();
                    o.file.len = static_cast<DWORD>(files[f].size());
                    o.page = static_cast<WORD>(page);
                    o.g = generic;
                    gPdfErrorText[0] = 0;
                    int rc = PdfImportPage(doc, &o);
                    imports++;
                    if (rc == 0) successes[generic]++;
                    else reasons[std::string(generic ? "generic: " : "typed: ") + (gPdfErrorText[0] ? gPdfErrorText : "(no reason)")]++;
                    if (imports % kImportsPerDoc == 0) {
                        ASSERT_EQ(PdfFinish(doc), 0);
                        CheckReadsBack();
                        doc = nullptr;
                    }
                    if (lastPages[f] == 1) break;
                }
            }
            if (doc) {
                ASSERT_EQ(PdfFinish(doc), 0);
                CheckReadsBack();
            }
        }
        std::cout << source << ": " << files.size() << " files, " << imports << " imports, " << successes[0]
                  << " typed and " << successes[1] << " generic succeeded\n";
        for (const auto& r : reasons) std::cout << "  " << r.second << "  " << r.first << "\n";
    }
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_LT(seconds, kCorpusSeconds);
}
