// pdftools.h - running the independent PDF tools (qpdf, poppler, MuPDF,
// Ghostscript, ImageMagick) from the host tests.
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "tests/pdf/pdftest.h"

// Each program a command runs gets this much processor time: a reader that
// loops on a file ends as a failure (exit code -1) instead of holding the
// test until its time limit. The bound is on processor time, not the clock,
// so a busy machine does not cut a run short; nor does any program wait on
// the terminal (its input is /dev/null).
constexpr int kRunToolCpuSeconds = 60;

// Runs a shell command and answers its output (stderr included) and exit code.
inline std::string RunTool(const std::string& cmd, int* rc = nullptr) {
    std::string out;
    std::string bounded = "ulimit -t " + std::to_string(kRunToolCpuSeconds) + "; exec </dev/null; " + cmd + " 2>&1";
    FILE* p = popen(bounded.c_str(), "r");
    if (!p) return out;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    int status = pclose(p);
    if (rc) *rc = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return out;
}

// Every file: qpdf finds no error nor warning, and three renderers draw it
// without an error; an encrypted file opened with the password given.
inline void CheckWithTools(const std::string& path, const std::string& password = "") {
    int rc;
    std::string pw = "'" + password + "'";
    std::string out = RunTool("qpdf --check --password=" + pw + " " + path, &rc);
    EXPECT_EQ(rc, 0) << out;
    EXPECT_EQ(out.find("WARNING"), std::string::npos) << out;
    out = RunTool("pdftoppm -r 20 -png -upw " + pw + " " + path + " render-poppler", &rc);
    EXPECT_EQ(rc, 0) << out;
    EXPECT_EQ(out, "") << "poppler: " << out;
    out = RunTool("mutool draw -p " + pw + " -r 20 -o render-mupdf-%d.png " + path, &rc);
    EXPECT_EQ(rc, 0) << out;
    EXPECT_EQ(out.find("error"), std::string::npos) << "mupdf: " << out;
    out = RunTool("gs -q -dNOPAUSE -dBATCH -dSAFER -sDEVICE=nullpage -sPDFPassword=" + pw + " " + path, &rc);
    EXPECT_EQ(rc, 0) << out;
    EXPECT_EQ(out, "") << "ghostscript: " << out;
}

// A document with the tests' clock and account.
inline PdfDocRec* Begin(const char* name, DWORD options = 0) {
    PdfTestHooks();
    PdfDocRec* doc = nullptr;
    EXPECT_EQ(PdfBegin(name, &doc, options, 600), 0);
    return doc;
}

inline void Text(PdfDocRec* doc, const char* text) {
    PdfDrawText(doc, reinterpret_cast<const BYTE*>(text), strlen(text), '.', false);
}
