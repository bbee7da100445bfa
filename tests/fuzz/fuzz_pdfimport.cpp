// fuzz_pdfimport.cpp - page import over hostile PDF files: the input is
// written as a file and its first and second page imported, with and without
// the option G, into one document begun anew every few hundred inputs.
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "print/pdf/pdf.h"
#include "session/util/mem.h"

constexpr int kPdfImportFuzzDocInputs = 200;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FILE* f = fopen("fuzz-import-src.pdf", "wb");
    if (!f) return 0;
    fwrite(data, 1, size, f);
    fclose(f);
    static PdfDocRec* doc = nullptr;
    static int inputs = 0;
    if (doc && ++inputs % kPdfImportFuzzDocInputs == 0) {
        PdfFinish(doc);
        doc = nullptr;
    }
    if (!doc && PdfBegin("fuzz-import.pdf", &doc, 0, 600) != 0) return 0;
    static const char* const kOptions[] = {"F=fuzz-import-src.pdf", "F=fuzz-import-src.pdf,P=2,G"};
    for (const char* text : kOptions) {
        PdfImportOpts o;
        if (PdfParseImportOpts(text, strlen(text), &o)) PdfImportPage(doc, &o);
    }
    // A page imported once is reused by name: start each input afresh.
    while (PdfListRec* e = doc->forms) {
        doc->forms = e->next;
        GuardedFree(e);
    }
    doc->contentLen = 0;
    return 0;
}
