// pdftest.h - helpers of the PDF writer tests: reading a written file back, and
// finding its objects through its own cross-reference table.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>

#include "print/pdf/pdf.h"

inline std::string PdfTestRead(const std::string& path) {
    std::string s;
    FILE* f = fopen(path.c_str(), "rb");
    if (!f) return s;
    char buf[65536];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0) s.append(buf, n);
    fclose(f);
    return s;
}

// Writes bytes to a file whole; false when it cannot be written.
inline bool PdfTestWrite(const std::string& path, const std::string& data) {
    FILE* f = fopen(path.c_str(), "wb");
    if (!f) return false;
    const bool whole = fwrite(data.data(), 1, data.size(), f) == data.size();
    return fclose(f) == 0 && whole;
}

// The objects of a file by number, each the text from its offset in the
// cross-reference table up to its "endobj"; an empty map when startxref or the
// table cannot be read.
inline std::map<unsigned, std::string> PdfTestObjects(const std::string& pdf) {
    std::map<unsigned, std::string> objs;
    size_t sx = pdf.rfind("startxref\r\n");
    if (sx == std::string::npos) return objs;
    size_t xref = strtoul(pdf.c_str() + sx + 11, nullptr, 10);
    if (pdf.compare(xref, 6, "xref\r\n") != 0) return objs;
    size_t p = xref + 6;
    unsigned count = static_cast<unsigned>(strtoul(pdf.c_str() + p + 2, nullptr, 10));
    p = pdf.find("\r\n", p) + 2;
    for (unsigned i = 0; i < count; i++, p += 20) {
        if (p + 20 > pdf.size()) return {};
        if (pdf[p + 17] != 'n') continue;
        size_t off = strtoul(pdf.substr(p, 10).c_str(), nullptr, 10);
        size_t end = pdf.find("endobj", off);
        if (end == std::string::npos) return {};
        objs[i] = pdf.substr(off, end - off);
    }
    return objs;
}

// The number after a key such as "/Count " in an object's text, or -1.
inline long PdfTestNumber(const std::string& obj, const char* key) {
    size_t k = obj.find(key);
    if (k == std::string::npos) return -1;
    return strtol(obj.c_str() + k + strlen(key), nullptr, 10);
}

// Fixed clock and account for reproducible information dictionaries.
inline bool PdfTestUser(char* out, size_t size) {
    snprintf(out, size, "tester");
    return true;
}
inline int64_t PdfTestNow() { return 1700000000; }
inline void PdfTestHooks() {
    gPdfHooks.userName = PdfTestUser;
    gPdfHooks.now = PdfTestNow;
    gPdfHooks.consoleMode = 1;
}
