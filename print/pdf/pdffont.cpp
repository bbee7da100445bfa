// pdffont.cpp - the fonts of a PDF document: the print font text parser, the
// table of the standard Type 1 fonts with their widths, font selection, the
// Type 1 font dictionaries, and text measurement.
#include <cctype>
#include <cstdio>
#include <cstring>

#include "print/pdf/pdf.h"
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

enum {
    kFontErrUnterminated = 24, kFontErrFamily = 25, kFontErrOption = 26,
    kFontErrSeparator = 27, kFontErrEmptyList = 28, kFontErrTrailing = 29,
};
constexpr size_t kFontNameMax = 299;

struct PdfFaceName {
    const char* name;
    const char* face;
};
static const PdfFaceName kPdfFaceNames[] = {
    {"FIXED", "Courier"},
    {"HELVETICA", "Helvetica"},
    {"SYSTEM", "Times"},
    {"TIMES", "Times"},
};

static bool PdfIsBlank(char c) { return c == ' '; }

// Reads a decimal number "ddd[.ddd]" and answers it times 10, truncated.
static DWORD PdfTenths(const char* w, size_t n) {
    DWORD whole = 0, tenth = 0;
    size_t i = 0;
    for (; i < n && isdigit(static_cast<BYTE>(w[i])); i++) whole = whole * 10 + (w[i] - '0');
    if (i < n && w[i] == '.' && i + 1 < n && isdigit(static_cast<BYTE>(w[i + 1]))) tenth = w[i + 1] - '0';
    return whole * 10 + tenth;
}

int PdfParseFontSpec(const char* text, size_t len, PdfFontSpec* spec) {
    memset(spec, 0, sizeof *spec);
    strcpy(spec->face, "Courier");
    spec->size = 90;
    if (!text || !len) return 0;

    size_t i = 0;
    while (i < len && PdfIsBlank(text[i])) i++;
    char name[kFontNameMax + 1];
    size_t n = 0;
    if (i < len && text[i] == '\'') {
        size_t close = i + 1;
        while (close < len && text[close] != '\'') close++;
        if (close >= len) return kFontErrUnterminated;
        for (size_t k = i + 1; k < close && n < kFontNameMax; k++) name[n++] = text[k];
        i = close + 1;
    } else {
        for (; i < len && !PdfIsBlank(text[i]) && text[i] != '('; i++)
            if (n < kFontNameMax) name[n++] = static_cast<char>(toupper(static_cast<BYTE>(text[i])));
    }
    name[n] = 0;

    const char* face = nullptr;
    if (name[0] == '>') face = name + 1;
    for (const PdfFaceName& f : kPdfFaceNames)
        if (!strcmp(name, f.name)) face = f.face;
    if (!face) return kFontErrFamily;
    snprintf(spec->face, sizeof spec->face, "%s", face);

    while (i < len && PdfIsBlank(text[i])) i++;
    if (i >= len) return 0;
    if (text[i] != '(') return kFontErrTrailing;
    i++;
    while (i < len && PdfIsBlank(text[i])) i++;
    if (i >= len) return kFontErrEmptyList;

    DWORD size = spec->size, angle = 0;
    BYTE bold = 0, italic = 0, underline = 0, strike = 0;
    for (;;) {
        while (i < len && PdfIsBlank(text[i])) i++;
        size_t start = i;
        while (i < len && !PdfIsBlank(text[i]) && text[i] != ',' && text[i] != ')') i++;
        char word[kFontNameMax + 1];
        size_t wn = 0;
        for (size_t k = start; k < i && wn < kFontNameMax; k++)
            word[wn++] = static_cast<char>(toupper(static_cast<BYTE>(text[k])));
        word[wn] = 0;
        if (!strcmp(word, "BOLD") || !strcmp(word, "B")) {
            bold = 1;
        } else if (!strcmp(word, "ITALIC") || !strcmp(word, "I")) {
            italic = 1;
        } else if (!strcmp(word, "U")) {
            underline = 1;
        } else if (!strcmp(word, "S")) {
            strike = 1;
        } else if (word[0] == 'A') {
            DWORD a = 0;
            for (size_t k = 1; k < wn && isdigit(static_cast<BYTE>(word[k])); k++) a = a * 10 + (word[k] - '0');
            angle = a % 3600;
        } else if (isdigit(static_cast<BYTE>(word[0]))) {
            size = PdfTenths(word, wn);
            if (!size) return kFontErrOption;
        } else {
            return kFontErrOption;
        }
        while (i < len && PdfIsBlank(text[i])) i++;
        if (i >= len) return kFontErrSeparator;
        if (text[i] == ',') {
            i++;
            while (i < len && PdfIsBlank(text[i])) i++;
            if (i >= len) return kFontErrEmptyList;
            continue;
        }
        if (text[i] != ')') return kFontErrSeparator;
        i++;
        while (i < len && PdfIsBlank(text[i])) i++;
        if (i < len) return kFontErrTrailing;
        break;
    }
    spec->size = size;
    spec->angle = static_cast<WORD>(angle);
    spec->bold = bold;
    spec->italic = italic;
    spec->underline = underline;
    spec->strikeOut = strike;
    return 0;
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
    // TrueType font files are not read yet: any other face has no font file.
    snprintf(gPdfErrorText, sizeof gPdfErrorText, "Font name not found");
    return false;
}

double PdfTextWidth(PdfDocRec* doc, const BYTE* text, size_t n) {
    if (!doc->curFont) return 0;
    const double* w = doc->curFont->metrics->widths;
    double size = doc->fontSize, sum = 0;
    for (size_t i = 0; i < n; i++) sum += size * w[text[i]] / 1000.0;
    return sum;
}

// Standard fonts are complete once created; nothing is left to write at the end.
int PdfWriteFonts(PdfDocRec* doc) { return doc->fontError; }

void PdfFreeFonts(PdfDocRec* doc) {
    while (PdfFontRec* f = doc->fonts) {
        doc->fonts = f->next;
        GuardedFree(f);
    }
    doc->curFont = nullptr;
}
