// fuzz_pdf.cpp - the PDF writer's server-supplied texts: a print font text is
// parsed and selected, then the same bytes are drawn as 8-bit and as UTF-16
// text with each alignment, into one document kept open across inputs.
#include <cstdint>
#include <cstdio>

#include "print/pdf/pdf.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static PdfDocRec* doc = nullptr;
    if (!doc && PdfBegin("fuzz-pdf.pdf", &doc, 0, 600) != 0) return 0;
    PdfFontSpec spec;
    if (PdfParseFontSpec(reinterpret_cast<const char*>(data), size, &spec) == 0) PdfSetFontSpec(doc, &spec);
    static const int16_t kAlign[] = {0, 1, 3, 4};
    for (int16_t a : kAlign) {
        PdfControlCode(doc, 281, a);
        PdfSetRegion(doc, 2, size & 0x3F, 1, size & 0xFF);
        PdfDrawText(doc, data, size, '.', false);
        PdfDrawText(doc, data, size, ',', true);
    }
    // Keep the page small: the content of earlier inputs is dropped.
    doc->contentLen = 0;
    return 0;
}
