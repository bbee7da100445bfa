// fuzz_pdfopt.cpp - the PDF option texts the server sends: the item grammar
// and the four parsers over the same bytes, then the information and
// encryption options applied to one document kept open across inputs.
#include <cstdint>
#include <cstring>

#include "print/pdf/pdf.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const char* text = reinterpret_cast<const char*>(data);
    size_t at = 0;
    while (at < size && size <= 0xFFFF) {
        char key;
        const char* value;
        WORD len;
        WORD used = PdfNextOptItem(text + at, static_cast<WORD>(size - at), &key, &value, &len);
        if (!used) break;
        // A value lies inside the text.
        if (value && (value < text || value + len > text + size)) __builtin_trap();
        at += used;
    }
    PdfAttachOpts a;
    PdfParseAttachOpts(text, size, &a);
    PdfImportOpts im;
    PdfParseImportOpts(text, size, &im);
    PdfDocRec* doc = nullptr;
    if (PdfBegin("fuzz-pdfopt.pdf", &doc, 0, 600) != 0) return 0;
    PdfEncryptOpts e;
    if (PdfParseEncryptOpts(text, size, &e)) PdfStartEncryption(doc, &e);
    PdfInfoOpts info;
    if (PdfParseInfoOpts(text, size, &info)) PdfWriteInfo(doc, &info);
    PdfFinish(doc);
    return 0;
}
