// pdffont.cpp - the fonts of a PDF document: the print font text parser, the
// table of the standard Type 1 fonts with their widths, font selection, the
// Type 1 font dictionaries, and text measurement.
#include <cctype>
#include <cstdio>
#include <cstring>

#include "print/pdf/pdf.h"
#include "print/pdf/pdfttf.h"

#include "objects/fonttext.h"
#include "session/util/mem.h"

#include "print/pdf/pdfstdwidths.inc"

// ---- the standard fonts ------------------------------------------------------------

struct PdfStdFontRow {
    const char* pdfFamily;
    const char* winFamily;
    const char* baseFont[4];    // by style index bold + 2 x italic; null = none
    const short* widths[4];     // built-in encoding
    const short* winWidths[4];  // WinAnsiEncoding
    double lead[4];             // underline position and thickness, descent, ascent
};

static const PdfStdFontRow kPdfStdFontTable[] = {
    {"Times", "Times New Roman",
     {"Times-Roman", "Times-Bold", "Times-Italic", "Times-BoldItalic"},
     {kTimesRoman, kTimesBold, kTimesItalic, kTimesBoldItalic},
     {kTimesRomanWin, kTimesBoldWin, kTimesItalicWin, kTimesBoldItalicWin},
     {-216, 500, -216, 891}},
    {"Helvetica", "Arial",
     {"Helvetica", "Helvetica-Bold", "Helvetica-Oblique", "Helvetica-BoldOblique"},
     {kHelvetica, kHelveticaBold, kHelveticaOblique, kHelveticaBoldOblique},
     {kHelveticaWin, kHelveticaBoldWin, kHelveticaObliqueWin, kHelveticaBoldObliqueWin},
     {-211, 500, -211, 905}},
    {"Courier", "Courier New",
     {"Courier", "Courier-Bold", "Courier-Oblique", "Courier-BoldOblique"},
     {kCourier, kCourierBold, kCourierOblique, kCourierBoldOblique},
     {kCourierWin, kCourierBoldWin, kCourierObliqueWin, kCourierBoldObliqueWin},
     {-300, 500, -300, 832}},
    {"Symbol", "Symbol", {"Symbol", nullptr, nullptr, nullptr},
     {kSymbol, nullptr, nullptr, nullptr}, {kSymbol, nullptr, nullptr, nullptr},
     {-100, 50, -293, 0}},
    {"ZapfDingbats", "Zapf Dingbats", {"ZapfDingbats", nullptr, nullptr, nullptr},
     {kZapfDingbats, nullptr, nullptr, nullptr}, {kZapfDingbats, nullptr, nullptr, nullptr},
     {-100, 50, -143, 0}},
};
constexpr int kPdfStdFamilies = sizeof kPdfStdFontTable / sizeof kPdfStdFontTable[0];

// The metric tables in the writer's double form, made once on first use.
static PdfFontMetrics gPdfStdMetrics[kPdfStdFamilies][4][2];
static bool gPdfStdMetricsMade = false;

static void PdfMakeStdMetrics() {
    if (gPdfStdMetricsMade) return;
    for (int r = 0; r < kPdfStdFamilies; r++) {
        const PdfStdFontRow& row = kPdfStdFontTable[r];
        for (int s = 0; s < 4; s++) {
            for (int enc = 0; enc < 2; enc++) {
                const short* w = enc ? row.winWidths[s] : row.widths[s];
                if (!w) continue;
                PdfFontMetrics& m = gPdfStdMetrics[r][s][enc];
                memcpy(m.lead, row.lead, sizeof m.lead);
                for (int c = 0; c < 256; c++) m.widths[c] = w[c];
            }
        }
    }
    gPdfStdMetricsMade = true;
}

const PdfFontMetrics* PdfStdMetrics(const char* baseFont, bool winAnsi) {
    PdfMakeStdMetrics();
    for (int r = 0; r < kPdfStdFamilies; r++)
        for (int s = 0; s < 4; s++)
            if (kPdfStdFontTable[r].baseFont[s] && !strcmp(kPdfStdFontTable[r].baseFont[s], baseFont))
                return &gPdfStdMetrics[r][s][winAnsi ? 1 : 0];
    return nullptr;
}

static bool PdfSameText(const char* a, const char* b) {
    for (; *a && *b; a++, b++)
        if (tolower(static_cast<BYTE>(*a)) != tolower(static_cast<BYTE>(*b))) return false;
    return *a == *b;
}

// ---- the print font text -------------------------------------------------------------

// The print font texts name the PDF families; the first row is the face of an
// empty text.
static const FontFaceMap kPdfFaceNames[] = {
    {"FIXED", "Courier"},
    {"HELVETICA", "Helvetica"},
    {"SYSTEM", "Times"},
    {"TIMES", "Times"},
    {nullptr, nullptr},
};

int PdfParseFontSpec(const char* text, size_t len, PdfFontSpec* spec) {
    FontSpec parsed;
    int32_t n = len > static_cast<size_t>(INT32_MAX) ? INT32_MAX : static_cast<int32_t>(len);
    // A quoted name is compared as typed: 'Times'(10) names no family.
    int rc = FontTextParse(text, n, kPdfFaceNames, &parsed, kFontTextExactQuoted);
    memset(spec, 0, sizeof *spec);
    snprintf(spec->face, sizeof spec->face, "%s", parsed.face);
    spec->size = static_cast<DWORD>(parsed.size);
    spec->angle = parsed.angle;
    spec->bold = parsed.bold;
    spec->italic = parsed.italic;
    spec->underline = parsed.underline;
    spec->strikeOut = parsed.strike;
    return rc;
}

// ---- font records ----------------------------------------------------------------------

PdfFontRec* PdfAddType1Font(PdfDocRec* doc, const char* family, const char* baseFont,
                            const PdfFontMetrics* metrics) {
    auto* f = static_cast<PdfFontRec*>(GuardedAlloc(sizeof(PdfFontRec)));
    if (!f) return nullptr;
    memset(f, 0, sizeof *f);
    DWORD obj = doc->nextObj;
    if (!PdfSetObjOffset(doc, obj)) {
        GuardedFree(f);
        return nullptr;
    }
    doc->nextObj++;
    f->objNum = obj;
    f->fontNum = doc->fontCounter++;
    f->metrics = metrics;
    f->kind = kPdfFontType1;
    snprintf(f->family, sizeof f->family, "%s", family);
    snprintf(f->baseFont, sizeof f->baseFont, "%s", baseFont);
    f->next = doc->fonts;
    doc->fonts = f;

    PdfPutUInt(doc, obj, 1);
    PdfPutLine(doc, " 0 obj");
    PdfPutLine(doc, " << /Type /Font");
    PdfPutLine(doc, "    /Subtype /Type1");
    if (doc->flags & kPdfFlagWinAnsi) PdfPutLine(doc, "    /Encoding /WinAnsiEncoding");
    PdfPutText(doc, "    /Name /F");
    PdfPutUInt(doc, f->fontNum, 1);
    PdfPutLine(doc, nullptr);
    PdfPutText(doc, "    /BaseFont /");
    PdfPutName(doc, baseFont);
    PdfPutLine(doc, nullptr);
    PdfPutLine(doc, " >>");
    PdfPutLine(doc, "endobj");
    PdfPutLine(doc, nullptr);
    return f;
}

static void PdfMakeCurrent(PdfDocRec* doc, PdfFontRec* f) {
    doc->curFont = f;
    f->used = 1;
}

bool PdfSelectFont(PdfDocRec* doc, const char* face, int bold, int italic) {
    bold = bold ? 1 : 0;
    italic = italic ? 1 : 0;
    const DWORD keepBoth = kPdfFlagKeepFamily | kPdfFlagPreferTrueType;
    if ((doc->flags & keepBoth) != keepBoth) {
        bool prefer = (doc->flags & kPdfFlagPreferTrueType) != 0;
        for (const PdfStdFontRow& row : kPdfStdFontTable) {
            if (PdfSameText(face, prefer ? row.pdfFamily : row.winFamily)) {
                face = prefer ? row.winFamily : row.pdfFamily;
                break;
            }
        }
    }
    for (;;) {
        for (PdfFontRec* f = doc->fonts; f; f = f->next) {
            if (PdfSameText(f->family, face) && f->bold == bold && f->italic == italic) {
                PdfMakeCurrent(doc, f);
                return true;
            }
        }
        const PdfStdFontRow* row = nullptr;
        for (const PdfStdFontRow& r : kPdfStdFontTable)
            if (PdfSameText(face, r.pdfFamily)) row = &r;
        if (!row) break;
        int style = bold + 2 * italic;
        if (!row->baseFont[style]) {
            // Symbol and ZapfDingbats have the regular style only.
            bold = italic = 0;
            continue;
        }
        const PdfFontMetrics* m = PdfStdMetrics(row->baseFont[style], (doc->flags & kPdfFlagWinAnsi) != 0);
        PdfFontRec* f = PdfAddType1Font(doc, row->pdfFamily, row->baseFont[style], m);
        if (!f) return false;
        f->bold = static_cast<BYTE>(bold);
        f->italic = static_cast<BYTE>(italic);
        PdfMakeCurrent(doc, f);
        return true;
    }
    // Any other face from its TrueType file.
    char path[kPdfFontPathMax + 1];
    if (!PdfFindFontFile(face, bold, italic, path)) {
        snprintf(gPdfErrorText, sizeof gPdfErrorText, "Font name not found");
        return false;
    }
    int rc = PdfLoadTrueTypeFont(doc, face, path, bold, italic);
    if (rc) {
        snprintf(gPdfErrorText, sizeof gPdfErrorText, "TTF load error: %d", rc);
        return false;
    }
    PdfMakeCurrent(doc, doc->fonts);
    return true;
}

double PdfTextWidth(PdfDocRec* doc, const BYTE* text, size_t n) {
    if (!doc->curFont) return 0;
    const double* w = doc->curFont->metrics->widths;
    double size = doc->fontSize, sum = 0;
    for (size_t i = 0; i < n; i++) sum += size * w[text[i]] / 1000.0;
    return sum;
}

// Standard fonts are complete once created; nothing is left to write at the
// end. Answers the error number of a font failure met while drawing (a text
// without a font), or 0.
int PdfWriteFonts(PdfDocRec* doc) {
    int rc = PdfWriteSubsetFonts(doc);
    return doc->fontError ? doc->fontError : rc;
}

void PdfFreeFonts(PdfDocRec* doc) {
    while (PdfFontRec* f = doc->fonts) {
        doc->fonts = f->next;
        if (f->kind == kPdfFontTrueType) PdfFreeSubsets(reinterpret_cast<PdfTtfFontRec*>(f));
        GuardedFree(f);
    }
    while (PdfFontFileRec* e = doc->fontFiles) {
        doc->fontFiles = e->next;
        GuardedFree(e);
    }
    doc->curFont = nullptr;
}
