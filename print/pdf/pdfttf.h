// pdfttf.h - what the TrueType font reader and the subset builder share: the
// font record of a TrueType font with its own widths, descriptor and subsets,
// and the writers of font file streams and descriptors.
#pragma once

#include "print/pdf/pdf.h"
#include "session/util/bytereader.h"

constexpr int kPdfMaxSubsets = 10;
constexpr int kPdfSubsetGlyphMax = 500;
constexpr WORD kPdfSubsetCodeEnd = 254;  // codes run 1-253

// One subset: its reserved dictionary object, its "/TF" number, the codes
// given so far and the source glyphs by subset glyph index.
struct PdfSubsetRec {
    DWORD objNum, fontNum;
    WORD nextCode;
    BYTE used;
    WORD glyphs[kPdfSubsetGlyphMax];
    double widths[256];
};

// The subsets of a TrueType font: the source file read at the first one, the
// character map (256 pages of 256 entries: subset index x 256 + code, 0 none).
struct PdfTtfSubsets {
    int lastError;
    BYTE* source;
    size_t sourceSize;
    int count;
    PdfSubsetRec* subsets[kPdfMaxSubsets];
    WORD* pages[256];
};

struct PdfTtfFontRec {
    PdfFontRec rec;
    PdfFontMetrics metrics;
    PdfTtfDesc desc;
    const char* suffix;            // the simulated style of its BaseFont
    PdfTtfSubsets subs;
};

bool PdfWriteFontFile(PdfDocRec* doc, BYTE* data, size_t len, DWORD* objOut);
bool PdfWriteFontDescriptor(PdfDocRec* doc, const PdfTtfDesc* d, DWORD fileObj, DWORD* objOut);
BYTE* PdfReadFontFile(const char* path, size_t* size);
void PdfPutKeyNum(PdfDocRec* doc, const char* key, int64_t v);
// A TrueType dictionary's end: "/Widths" of codes first to last, its
// descriptor's reference, the ToUnicode map's when there is one (subsets),
// ">>" and "endobj".
void PdfPutWidthsAndDescriptor(PdfDocRec* doc, const int32_t* widths, int first, int last, DWORD descObj,
                               DWORD toUnicodeObj = 0);
void PdfFreeSubsets(PdfTtfFontRec* t);
// The glyph of a Unicode value in a format 4 subtable at off; 0 when none.
uint16_t PdfCmap4Lookup(const ByteReader& r, size_t off, uint16_t u);
// A code of the Windows ANSI code page as Unicode (0 where it has none).
uint16_t PdfAnsiToUnicode(int code);
