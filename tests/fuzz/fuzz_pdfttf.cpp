// fuzz_pdfttf.cpp - the TrueType font reader over hostile font files: the
// descriptor read with both character map choices, then the file loaded into
// a document (font file stream, descriptor, dictionary), which is begun anew
// every few hundred inputs so that it stays small; and the same file drawn in
// 16-bit text, whose subsets are built from it when a document ends.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <initializer_list>

#include "print/pdf/pdf.h"

constexpr int kPdfTtfFuzzDocInputs = 300;
constexpr size_t kPdfTtfFuzzTextBytes = 64;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static PdfTtfDesc desc;
    for (bool winAnsi : {false, true}) {
        memset(&desc, 0, sizeof desc);
        PdfReadTrueTypeFont(data, size, winAnsi, &desc);
    }
    FILE* f = fopen("fuzz-pdfttf.ttf", "wb");
    if (!f) return 0;
    fwrite(data, 1, size, f);
    fclose(f);
    static PdfDocRec* doc = nullptr;
    static int inputs = 0;
    if (doc && ++inputs % kPdfTtfFuzzDocInputs == 0) {
        PdfFinish(doc);
        doc = nullptr;
    }
    if (!doc && PdfBegin("fuzz-pdfttf.pdf", &doc, (size & 1) ? (1u << 23) : 0, 600) != 0) return 0;
    PdfLoadTrueTypeFont(doc, "Fuzz", "fuzz-pdfttf.ttf", size & 2, size & 4);
    PdfDocRec* wide = nullptr;
    if (PdfBegin("fuzz-pdfttf-sub.pdf", &wide, 1u << 27, 600) != 0) return 0;
    if (PdfLoadTrueTypeFont(wide, "Fuzz", "fuzz-pdfttf.ttf", 0, 0) == 0) {
        wide->curFont = wide->fonts;
        // Characters from the input's first bytes, as UTF-16.
        size_t n = size < kPdfTtfFuzzTextBytes ? size & ~size_t(1) : kPdfTtfFuzzTextBytes;
        PdfDrawText(wide, data, n, '.', true);
        static const uint8_t kLatin[] = "Ag\\(x)";
        PdfDrawText(wide, kLatin, sizeof kLatin - 1, '.', false);
    }
    PdfFinish(wide);
    return 0;
}
