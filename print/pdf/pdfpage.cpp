// pdfpage.cpp - the page content of a PDF document: the content buffer and its
// writers, unit conversion to points and page coordinates, colours, text with
// its regions, alignment, background, underline and rotation, control codes,
// the paper table and font changes.
#include <cmath>
#include <cstring>

#include "print/pdf/pdf.h"
#include "print/pdf/pdfttf.h"
#include "print/prtcodes.h"
#include "session/util/mem.h"

constexpr DWORD kPdfContentStep = 4096;
constexpr double kPdfDegToRad = 0.0174532925;
constexpr double kPdfTenthMm = 0.2835;
constexpr DWORD kPdfWhite = 0xFFFFFF;
constexpr int kPdfColourCodes = 8;
constexpr BYTE kPdfLandscape = 'Z';  // PdfDocRec::orientation
// Wide text is shown through the standard fonts until TrueType subsets exist:
// characters beyond Latin-1 become this byte.
constexpr BYTE kPdfNoGlyph = '?';

// The eight colour codes of print jobs (COLORREF, 0x00BBGGRR); printers and
// PDF files share them.
static const DWORD kPdfColourTable[kPdfColourCodes] = {
    0x000000,  // 0 black
    0xFF0000,  // 1 blue
    0x00FF00,  // 2 green
    0xFFFF00,  // 3 cyan
    0x0000FF,  // 4 red
    0xFF00FF,  // 5 magenta
    0x00FFFF,  // 6 yellow
    0xFFFFFF,  // 7 white
};

DWORD PdfColourFromCode(DWORD value) { return value < kPdfColourCodes ? kPdfColourTable[value] : value & 0xFFFFFF; }

struct PdfPaper {
    double width, height;
};
// Control code 289, by Windows paper-size index 1-41.
constexpr int kPdfPaperCount = 41;
static const PdfPaper kPdfPaperTable[kPdfPaperCount] = {
    {612, 792},         {612, 792},         {792, 1224},        {1224, 792},
    {612, 1008},        {396, 612},         {522, 756},         {842, 1190.7},
    {595.35, 842},      {595.35, 842},      {419.58, 595.35},   {708.75, 1003.59},
    {515.97, 728.595},  {612, 936},         {609.525, 779.625}, {720, 1008},
    {792, 1224},        {612, 792},         {279, 639},         {297, 684},
    {324, 747},         {324, 792},         {360, 828},         {612, 792},
    {612, 792},         {612, 792},         {311.85, 623.7},    {459.27, 649.215},
    {918.54, 1298.43},  {649.215, 918.54},  {323.19, 459.27},   {323.19, 649.215},
    {708.75, 1000.755}, {498.96, 708.75},   {498.96, 354.375},  {311.85, 652.05},
    {279, 540},         {261, 468},         {1071, 792},        {612, 864},
    {612, 936},
};

// ---- content writers -----------------------------------------------------------------

int PdfCsAppend(PdfDocRec* doc, const void* bytes, size_t n) {
    if (!n) n = strlen(static_cast<const char*>(bytes));
    size_t newLen = static_cast<size_t>(doc->contentLen) + n;
    if (newLen + 1 >= doc->contentCap) {
        size_t cap = (newLen / kPdfContentStep + 1) * kPdfContentStep;
        if (cap > 0xFFFFFFFFu) {
            doc->contentLost = 1;
            return 1;
        }
        auto* grown = static_cast<BYTE*>(GuardedRealloc(doc->content, cap));
        // The page would lose these bytes: the document remembers it, so that
        // its end answers the failure instead of a page with content missing.
        if (!grown) {
            doc->contentLost = 1;
            return 1;
        }
        doc->content = grown;
        doc->contentCap = static_cast<DWORD>(cap);
    }
    memcpy(doc->content + doc->contentLen, bytes, n);
    doc->contentLen = static_cast<DWORD>(newLen);
    return 0;
}

int PdfCsLine(PdfDocRec* doc, const char* text) {
    if (text && *text) PdfCsAppend(doc, text, 0);
    return PdfCsAppend(doc, "\r\n", 2);
}

static int PdfCsDigits(PdfDocRec* doc, uint64_t v, int minDigits, bool negative) {
    char tmp[24];
    int n = 0;
    while (v || n < minDigits) {
        tmp[n++] = static_cast<char>('0' + v % 10);
        v /= 10;
    }
    char out[26];
    int len = 0;
    if (negative) out[len++] = '-';
    while (n) out[len++] = tmp[--n];
    return PdfCsAppend(doc, out, len);
}

// Three decimals truncated toward zero; a value that truncates to 0 has no sign.
// Sums of binary fractions land a hair below the decimal they stand for (3 x 6.6
// is 19.7999...); a value within a millionth of a thousandth counts as that
// thousandth, so it is not written one thousandth short.
int PdfCsNum(PdfDocRec* doc, double v) {
    if (!(v == v)) v = 0;
    double scaled = v * 1000.0;
    if (scaled > 1e15) scaled = 1e15;
    if (scaled < -1e15) scaled = -1e15;
    double nearest = std::round(scaled);
    double milli = std::fabs(scaled - nearest) < 1e-6 ? nearest : std::trunc(scaled);
    bool negative = milli < 0;
    auto mag = static_cast<uint64_t>(negative ? -milli : milli);
    char buf[32];
    int len = 0;
    if (negative) buf[len++] = '-';
    char tmp[24];
    int n = 0;
    uint64_t whole = mag / 1000;
    do {
        tmp[n++] = static_cast<char>('0' + whole % 10);
        whole /= 10;
    } while (whole);
    while (n) buf[len++] = tmp[--n];
    buf[len++] = '.';
    uint64_t frac = mag % 1000;
    buf[len++] = static_cast<char>('0' + frac / 100);
    buf[len++] = static_cast<char>('0' + frac / 10 % 10);
    buf[len++] = static_cast<char>('0' + frac % 10);
    return PdfCsAppend(doc, buf, len);
}

int PdfCsUInt(PdfDocRec* doc, uint64_t v) { return PdfCsDigits(doc, v, 1, false); }

int PdfCsX(PdfDocRec* doc, double x) { return PdfCsNum(doc, PdfPageCoord(doc, x, kPdfAxisX)); }

int PdfCsY(PdfDocRec* doc, double y) { return PdfCsNum(doc, PdfPageCoord(doc, y, kPdfAxisY)); }

int PdfCsText(PdfDocRec* doc, const BYTE* bytes, size_t n) {
    size_t run = 0;
    for (size_t i = 0; i < n; i++) {
        BYTE c = bytes[i];
        if (c != '(' && c != ')' && c != '\\' && c != '\r') continue;
        if (i > run) PdfCsAppend(doc, bytes + run, i - run);
        // CR is written as \r: a bare CR in a literal string reads back as LF.
        if (c == '\r') {
            PdfCsAppend(doc, "\\r", 2);
        } else {
            char esc[2] = {'\\', static_cast<char>(c)};
            PdfCsAppend(doc, esc, 2);
        }
        run = i + 1;
    }
    if (n > run) PdfCsAppend(doc, bytes + run, n - run);
    return 0;
}

static void PdfCsSpace(PdfDocRec* doc) { PdfCsAppend(doc, " ", 1); }

// ---- units and coordinates --------------------------------------------------------

static double PdfUnitFactor(PdfDocRec* doc, int dir, int mode, bool* cell) {
    *cell = false;
    switch (mode) {
        case kPdfUnitCells:
            *cell = true;
            return dir == kPdfHorz ? doc->cellWidth : doc->lineHeight;
        case kPdfUnitInch100: return 0.72;
        case kPdfUnitMm10: return kPdfTenthMm;
        case kPdfUnitInch1000: return 0.072;
        case kPdfUnitMm100: return 0.02835;
        case kPdfUnitDots: return 72.0 / doc->resolution;
        case kPdfUnitHalfPoints: return 0.5;
        case kPdfUnitFontCells:
            *cell = true;
            return dir == kPdfHorz ? doc->fontCellWidth : doc->fontLineHeight;
        default: return 1.0;
    }
}

double PdfToPoints(PdfDocRec* doc, double value, int dir) {
    bool cell;
    double f = PdfUnitFactor(doc, dir, doc->unitMode, &cell);
    if (cell && dir == kPdfNoDir) return value;
    double pts = value * f;
    if (doc->unitMode == kPdfUnitDots && pts == 0) return 1.0;
    return pts;
}

double PdfFromPoints(PdfDocRec* doc, double points, int dir, int unitMode) {
    bool cell;
    double f = PdfUnitFactor(doc, dir, unitMode, &cell);
    if (cell && dir == kPdfNoDir) return points;
    if (f == 0) return 0;
    double v = points / f;
    if (unitMode == kPdfUnitDots && v == 0) return 1.0;
    return v;
}

double PdfPageCoord(PdfDocRec* doc, double value, PdfAxis axis) {
    if (axis == kPdfAxisX) return value + doc->leftMargin + doc->leftOffset;
    return doc->pageHeight - (value + doc->topMargin + doc->topOffset);
}

// ---- colours ------------------------------------------------------------------------

int PdfSetColor(PdfDocRec* doc, DWORD colour, PdfPaintKind kind) {
    bool fill = kind == kPdfFill;
    colour &= 0xFFFFFF;
    if ((doc->flags & kPdfFlagGrey) && colour != kPdfWhite) {
        DWORD r = colour & 0xFF, g = (colour >> 8) & 0xFF, b = (colour >> 16) & 0xFF;
        DWORD grey = r * 30 / 100 + g * 59 / 100 + b * 11 / 100;
        colour = grey | (grey << 8) | (grey << 16);
    }
    DWORD* last = fill ? &doc->lastFill : &doc->lastStroke;
    if (*last == colour) return 0;
    *last = colour;
    PdfCsNum(doc, (colour & 0xFF) / 255.0);
    PdfCsSpace(doc);
    PdfCsNum(doc, ((colour >> 8) & 0xFF) / 255.0);
    PdfCsSpace(doc);
    PdfCsNum(doc, ((colour >> 16) & 0xFF) / 255.0);
    return PdfCsLine(doc, fill ? " rg" : " RG");
}

int PdfSetColors(PdfDocRec* doc, int code, DWORD colour) {
    if (code == kPrtCtlTextColor) doc->foreground = colour;
    else if (code == kPrtCtlBackColor) doc->background = colour;
    return 0;
}

// ---- position and region -----------------------------------------------------------

static bool PdfOneBased(const PdfDocRec* doc) {
    return doc->unitMode == kPdfUnitCells || doc->unitMode == kPdfUnitFontCells;
}

static double PdfDec(const PdfDocRec* doc, double v) { return PdfOneBased(doc) && v > 0 ? v - 1 : v; }

int PdfMoveTo(PdfDocRec* doc, WORD column, WORD line) {
    BYTE mode = doc->unitMode;
    double c = PdfDec(doc, column), l = PdfDec(doc, line);
    if (mode == kPdfUnitFontCells) doc->unitMode = kPdfUnitCells;
    doc->x = PdfToPoints(doc, c, kPdfHorz);
    doc->y = PdfToPoints(doc, l, kPdfVert);
    doc->unitMode = mode;
    return 0;
}

int PdfSetRegion(PdfDocRec* doc, WORD top, WORD bottom, WORD left, WORD right) {
    doc->x = PdfToPoints(doc, PdfDec(doc, left), kPdfHorz);
    doc->regionRight = PdfToPoints(doc, PdfDec(doc, right), kPdfHorz);
    doc->y = PdfToPoints(doc, PdfDec(doc, top), kPdfVert);
    doc->regionBottom = PdfToPoints(doc, PdfDec(doc, bottom), kPdfVert);
    return 0;
}

// ---- text ------------------------------------------------------------------------------

// Wide (UTF-16LE) text in 8-bit form for the standard fonts: len / 2 bytes.
static size_t PdfNarrow(const BYTE* text, size_t len, BYTE* out) {
    size_t n = 0;
    for (size_t i = 0; i + 1 < len; i += 2)
        out[n++] = text[i + 1] ? kPdfNoGlyph : text[i];
    return n;
}

static void PdfCsMatrix(PdfDocRec* doc, double a, double xPos, double yPos) {
    double c = std::cos(a * kPdfDegToRad), s = std::sin(a * kPdfDegToRad);
    PdfCsNum(doc, c);
    PdfCsSpace(doc);
    PdfCsNum(doc, s);
    PdfCsSpace(doc);
    PdfCsNum(doc, -s);
    PdfCsSpace(doc);
    PdfCsNum(doc, c);
    PdfCsSpace(doc);
    PdfCsX(doc, xPos);
    PdfCsSpace(doc);
    PdfCsY(doc, yPos);
}

// "/F" or "/TF" with a font number and the size, and " Tf".
static void PdfCsFontNum(PdfDocRec* doc, DWORD fontNum) {
    PdfCsAppend(doc, doc->curFont->kind == kPdfFontTrueType ? " /TF" : " /F", 0);
    PdfCsUInt(doc, fontNum);
    PdfCsSpace(doc);
    PdfCsUInt(doc, static_cast<uint64_t>(doc->fontSize > 0 ? doc->fontSize : 0));
}

static void PdfCsFont(PdfDocRec* doc, DWORD fontNum) {
    PdfCsAppend(doc, "  ", 2);
    PdfCsAppend(doc, " BT", 3);
    PdfCsFontNum(doc, fontNum);
}

// A text in 16-bit mode in a TrueType font: each character by its code in the
// subset that holds it, with the subset's font number; the width in points.
// The arrays are sized by the text (one block, PdfNewTextCodes), so a text is
// drawn whole however long it is.
struct PdfTextCodes {
    BYTE* codes;
    DWORD* fonts;
    double* widths;
    WORD* units;    // the characters in logical order, a 0 after them
    WORD* visual;   // and in visual order
    size_t n;
};

// Room for count characters, or null when there is no memory.
static PdfTextCodes* PdfNewTextCodes(size_t count) {
    size_t chars = count + 1;
    size_t size = sizeof(PdfTextCodes) + chars * (sizeof(double) + sizeof(DWORD) + 2 * sizeof(WORD) + 1);
    auto* t = static_cast<PdfTextCodes*>(GuardedAlloc(size));
    if (!t) return nullptr;
    BYTE* p = reinterpret_cast<BYTE*>(t + 1);
    t->widths = reinterpret_cast<double*>(p);
    p += chars * sizeof(double);
    t->fonts = reinterpret_cast<DWORD*>(p);
    p += chars * sizeof(DWORD);
    t->units = reinterpret_cast<WORD*>(p);
    p += chars * sizeof(WORD);
    t->visual = reinterpret_cast<WORD*>(p);
    p += chars * sizeof(WORD);
    t->codes = p;
    t->n = 0;
    return t;
}

static bool PdfWantsSubsets(const PdfDocRec* doc) {
    return (doc->flags & kPdfFlag16BitText) && doc->curFont && doc->curFont->kind == kPdfFontTrueType;
}

// ---- right-to-left runs ----------------------------------------------------------

enum PdfBidiClass { kPdfBidiLtr, kPdfBidiRtl, kPdfBidiNeutral };

static bool PdfIsRtl(WORD ch) { return (ch >> 8) >= 5 && (ch >> 8) <= 8; }
static bool PdfIsLatinLetter(WORD ch) { return (ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z'); }

// General punctuation (dashes, quotes, the ellipsis) and the currency signs
// hold no direction of their own, though their high byte is not 0: taken as
// left-to-right they would cut a right-to-left sentence in two.
static bool PdfIsWidePunctuation(WORD ch) { return (ch >= 0x2000 && ch <= 0x206F) || (ch >= 0x20A0 && ch <= 0x20CF); }

static bool PdfIsStrongLtr(WORD ch) {
    return PdfIsLatinLetter(ch) || ((ch >> 8) != 0 && !PdfIsRtl(ch) && !PdfIsWidePunctuation(ch));
}

static PdfBidiClass PdfBidiClassOf(const WORD* in, size_t i, size_t count, PdfBidiClass previous, size_t run) {
    WORD ch = in[i];
    if (PdfIsRtl(ch)) return kPdfBidiRtl;
    if (PdfIsStrongLtr(ch)) return kPdfBidiLtr;
    if (ch != ' ' || i + 1 == count) return kPdfBidiNeutral;
    // A blank between words goes with what surrounds it.
    if (previous == kPdfBidiLtr) return kPdfBidiLtr;
    WORD next = in[i + 1];
    if (PdfIsStrongLtr(next)) return kPdfBidiLtr;
    if (PdfIsRtl(next)) return kPdfBidiRtl;
    return run > 0 ? kPdfBidiRtl : kPdfBidiNeutral;
}

void PdfBidiReorder(const WORD* in, WORD* out, size_t count) {
    size_t i = 0;
    while (i < count && !PdfIsRtl(in[i])) {
        out[i] = in[i];
        i++;
    }
    // The output so far ends at cursor + run: the open right-to-left run
    // stands at the cursor, pending neutrals just before it.
    size_t cursor = i, run = 0, pending = 0;
    PdfBidiClass previous = kPdfBidiNeutral;
    for (; i < count; i++) {
        PdfBidiClass cls = PdfBidiClassOf(in, i, count, previous, run);
        size_t at = cls == kPdfBidiRtl ? cursor - pending : cls == kPdfBidiNeutral ? cursor : cursor + run;
        size_t end = cursor + run;
        memmove(out + at + 1, out + at, (end - at) * sizeof(WORD));
        out[at] = in[i];
        if (cls == kPdfBidiRtl) {
            cursor = at;
            run += pending + 1;
            pending = 0;
        } else if (cls == kPdfBidiNeutral) {
            cursor++;
            pending++;
        } else {
            cursor = at + 1;
            run = pending = 0;
        }
        previous = cls;
    }
    out[count] = 0;
}

constexpr size_t kPdfBidiMaxBytes = 1024;

// 8-bit text is widened through the ANSI code page, UTF-16 taken as it is;
// wide text with right-to-left characters is put into visual order first.
// False when a character got no code (the document keeps the font error).
static bool PdfSubsetCodes(PdfDocRec* doc, const BYTE* text, size_t len, bool wide, PdfTextCodes* out) {
    out->n = 0;
    WORD* units = out->units;
    WORD* visual = out->visual;
    size_t n = 0, step = wide ? 2 : 1;
    bool rtl = false;
    for (size_t i = 0; i + step <= len; i += step) {
        units[n] = wide ? static_cast<WORD>(text[i] | (text[i + 1] << 8)) : PdfAnsiToUnicode(text[i]);
        rtl = rtl || PdfIsRtl(units[n]);
        n++;
    }
    const WORD* chars = units;
    if (wide && rtl && len < kPdfBidiMaxBytes) {
        PdfBidiReorder(units, visual, n);
        chars = visual;
    }
    bool all = true;
    for (size_t i = 0; i < n; i++) {
        double w;
        all = PdfSubsetChar(doc, chars[i] ? chars[i] : '?', &out->fonts[out->n], &out->codes[out->n], &w) && all;
        out->widths[out->n++] = w * doc->fontSize / 1000.0;
    }
    return all;
}

static double PdfCodesWidth(const PdfTextCodes& t, size_t n) {
    double w = 0;
    for (size_t i = 0; i < n; i++) w += t.widths[i];
    return w;
}

// "(codes) Tj", switching to another subset's font where the text does.
static void PdfCsShow(PdfDocRec* doc, const BYTE* text, size_t len, const PdfTextCodes* t) {
    if (!t) {
        PdfCsAppend(doc, "(", 1);
        PdfCsText(doc, text, len);
        PdfCsAppend(doc, ") Tj", 4);
        return;
    }
    for (size_t i = 0; i < t->n;) {
        size_t j = i;
        while (j < t->n && t->fonts[j] == t->fonts[i]) j++;
        if (i) {
            PdfCsFontNum(doc, t->fonts[i]);
            PdfCsAppend(doc, " Tf ", 4);
        }
        PdfCsAppend(doc, "(", 1);
        PdfCsText(doc, t->codes + i, j - i);
        PdfCsAppend(doc, ") Tj", 4);
        i = j;
    }
}

// A face with no font file leaves no font current (the options that prefer
// TrueType, 16-bit or UTF-16 text ask for files): a text then cannot be
// shown, and is refused rather than left off the page. The failure stays
// with the document, so that PdfFinish answers it too.
static bool PdfTextHasFont(PdfDocRec* doc) {
    if (doc->curFont) return true;
    doc->fontError = kPdfErrNoFontFile;
    gPdfErrNo = kPdfErrNoFontFile;
    return false;
}

static int PdfDrawTextAs(PdfDocRec* doc, const BYTE* text, size_t len, BYTE decimalChar,
                         const PdfTextCodes* codes);

// A text that cannot be drawn for want of memory is lost content.
static int PdfTextNoMemory(PdfDocRec* doc) {
    doc->contentLost = 1;
    gPdfErrNo = kPdfErrNoMemory;
    return kPdfFail;
}

int PdfDrawText(PdfDocRec* doc, const BYTE* text, size_t len, BYTE decimalChar, bool wide) {
    if (!len) return kPdfOk;
    if (!PdfTextHasFont(doc)) return kPdfFontNotMade;
    PdfTextCodes* codes = nullptr;
    BYTE* narrow = nullptr;
    if (PdfWantsSubsets(doc)) {
        codes = PdfNewTextCodes(wide ? len / 2 : len);
        if (!codes) return PdfTextNoMemory(doc);
        if (!PdfSubsetCodes(doc, text, len, wide, codes)) {
            GuardedFree(codes);
            return kPdfFontNotMade;
        }
    } else if (wide) {
        narrow = static_cast<BYTE*>(GuardedAlloc(len / 2 + 1));
        if (!narrow) return PdfTextNoMemory(doc);
        len = PdfNarrow(text, len, narrow);
        text = narrow;
    }
    int rc = PdfDrawTextAs(doc, text, len, decimalChar, codes);
    GuardedFree(codes);
    GuardedFree(narrow);
    return rc;
}

// Draws an 8-bit text (a wide one already narrowed for a standard font), or
// subset codes (codes not null).
static int PdfDrawTextAs(PdfDocRec* doc, const BYTE* text, size_t len, BYTE decimalChar,
                         const PdfTextCodes* codes) {
    if (codes) {
        text = codes->codes;
        len = codes->n;
    }
    if (!len) return 0;
    DWORD firstFont = codes ? codes->fonts[0] : doc->curFont->fontNum;

    bool region = doc->regionBottom != 0 || doc->regionRight != 0;
    DWORD savedFill = doc->lastFill, savedStroke = doc->lastStroke;
    double regionWidth = 0;
    if (region) {
        PdfCsLine(doc, "q");
        PdfCsX(doc, doc->x);
        PdfCsSpace(doc);
        PdfCsY(doc, doc->regionBottom);
        PdfCsSpace(doc);
        PdfCsNum(doc, doc->regionRight - doc->x);
        PdfCsSpace(doc);
        PdfCsNum(doc, doc->regionBottom - doc->y + 8.0);
        PdfCsLine(doc, " re");
        PdfCsLine(doc, " W n");
        regionWidth = doc->regionRight - doc->x;
        doc->regionBottom = doc->regionRight = 0;
    }

    double W = codes ? PdfCodesWidth(*codes, len) : PdfTextWidth(doc, text, len);
    double start = doc->x;
    if (doc->flags & kPdfFlagAlignRight) {
        start = doc->x + regionWidth - W;
    } else if (doc->flags & kPdfFlagAlignCentre) {
        start = doc->x + regionWidth / 2 - W / 2;
    } else if (doc->flags & kPdfFlagAlignDecimal) {
        size_t k = len;
        while (k && text[k - 1] != decimalChar) k--;
        double kw = codes ? PdfCodesWidth(*codes, k) : PdfTextWidth(doc, text, k);
        start = doc->x + regionWidth / 2 - (k ? kw : W);
    }
    if (start <= 0) start = 0;

    const double* m = doc->curFont->metrics->lead;
    double size = doc->fontSize;
    double d = m[3] > 0 ? -m[2] * size / (m[3] - m[2]) : 0;
    double lift = 0.2 * size < 3.0 ? 0.2 * size : 3.0;
    bool alt = (doc->flags & kPdfFlagAltBaseline) != 0;
    bool rotated = doc->angle != 0;

    if (!(doc->flags & kPdfFlagTransparent)) {
        PdfCsLine(doc, "0.000 w");
        PdfSetColor(doc, doc->background, kPdfFill);
        PdfSetColor(doc, doc->background, kPdfStroke);
        double h = d == 0 ? size - 3.2 : size + 1;
        if (!rotated) {
            double b = d == 0 ? doc->y + size - 2.0 : doc->y + size - d + lift + (alt ? 3.0 : 1.26);
            PdfCsX(doc, start);
            PdfCsSpace(doc);
            PdfCsY(doc, b);
            PdfCsSpace(doc);
            PdfCsNum(doc, W);
            PdfCsSpace(doc);
            PdfCsNum(doc, h);
            PdfCsLine(doc, " re");
            PdfCsLine(doc, "B");
        } else {
            PdfCsLine(doc, "q");
            PdfCsMatrix(doc, doc->angle, start, doc->y + size - (d == 0 ? 2.0 : 0));
            PdfCsLine(doc, " cm");
            PdfCsAppend(doc, "0 -3.000 ", 0);
            PdfCsNum(doc, W + PdfTextWidth(doc, reinterpret_cast<const BYTE*>(" "), 1));
            PdfCsSpace(doc);
            PdfCsNum(doc, h);
            PdfCsLine(doc, " re");
            PdfCsLine(doc, "B");
            PdfCsLine(doc, "Q");
        }
    }

    PdfSetColor(doc, doc->foreground, kPdfFill);
    if (!rotated) {
        double base = d == 0 ? doc->y + size - 2.0 : doc->y + size - d + lift - (alt ? 0 : 1.5);
        PdfCsFont(doc, firstFont);
        PdfCsAppend(doc, " Tf ", 4);
        PdfCsX(doc, start);
        PdfCsSpace(doc);
        PdfCsY(doc, base);
        PdfCsAppend(doc, " Td ", 4);
        PdfCsShow(doc, text, len, codes);
        PdfCsLine(doc, " ET");
    } else {
        PdfCsLine(doc, "q");
        PdfCsFont(doc, firstFont);
        PdfCsLine(doc, " Tf");
        PdfCsMatrix(doc, doc->angle, start, d == 0 ? doc->y + size - 2.0 : doc->y + size - d + lift);
        PdfCsLine(doc, " Tm");
        PdfCsAppend(doc, " ", 1);
        PdfCsShow(doc, text, len, codes);
        PdfCsLine(doc, " ET");
        PdfCsLine(doc, "Q");
    }

    if (doc->flags & kPdfFlagUnderline) {
        PdfSetColor(doc, doc->foreground, kPdfStroke);
        double u = d == 0 ? doc->y + size - 1.0
                          : doc->y + size - d - (alt ? 0 : 1.5) + lift - 2 * (m[0] + m[2]) / 1000;
        PdfCsNum(doc, m[1] / 1000);
        PdfCsLine(doc, " w");
        PdfCsX(doc, start);
        PdfCsSpace(doc);
        PdfCsY(doc, u);
        PdfCsLine(doc, " m");
        PdfCsX(doc, start + W);
        PdfCsSpace(doc);
        PdfCsY(doc, u);
        PdfCsLine(doc, " l S");
    }

    doc->x += W;
    if (region) {
        PdfCsLine(doc, "Q");
        doc->lastFill = savedFill;
        doc->lastStroke = savedStroke;
    }
    PdfCsNum(doc, doc->penWidth);
    PdfCsLine(doc, " w");
    return 0;
}

// ---- fonts ---------------------------------------------------------------------------

int PdfSetFont(PdfDocRec* doc, int code, const PdfFontSpec* spec) {
    if (spec) {
        if (!PdfSelectFont(doc, spec->face, spec->bold, spec->italic)) return kPdfFontNotMade;
        if (spec->underline) doc->flags |= kPdfFlagUnderline;
        else doc->flags &= ~kPdfFlagUnderline;
        doc->angle = spec->angle / 10.0;
        doc->fontSize = static_cast<int>(spec->size / 10);
        if (!doc->fontSize) doc->fontSize = 9;
        doc->fontLineHeight = doc->fontSize + 0.756;
    } else if (code == kPrtCtlUnderlineOff || code == kPrtCtlUnderlineOn) {
        if (code == kPrtCtlUnderlineOn) doc->flags |= kPdfFlagUnderline;
        else doc->flags &= ~kPdfFlagUnderline;
    } else if (code == kPrtCtlBoldOff || code == kPrtCtlBoldOn) {
        if (!doc->curFont) return kPdfFontNotMade;
        char face[kPdfFaceMax + 1];
        memcpy(face, doc->curFont->family, sizeof face);
        if (!PdfSelectFont(doc, face, code == kPrtCtlBoldOn, doc->curFont->italic)) return kPdfFontNotMade;
    }
    doc->fontCellWidth = PdfTextWidth(doc, reinterpret_cast<const BYTE*>("x"), 1);
    if (gPdfHooks.measureFont) {
        double height = doc->fontLineHeight;
        gPdfHooks.measureFont(doc);
        if (doc->flags & kPdfFlagKeepLineHeight) doc->fontLineHeight = height;
    }
    return kPdfOk;
}

int PdfSetFontSpec(PdfDocRec* doc, const PdfFontSpec* spec) { return PdfSetFont(doc, kPdfFontByDescription, spec); }

// ---- control codes --------------------------------------------------------------------

static void PdfSetFlag(PdfDocRec* doc, DWORD bit, bool on) {
    if (on) doc->flags |= bit;
    else doc->flags &= ~bit;
}

static void PdfSwapPage(PdfDocRec* doc) {
    double w = doc->pageWidth;
    doc->pageWidth = doc->pageHeight;
    doc->pageHeight = w;
}

// A value in device dots (mode 6) whatever the current mode.
static double PdfDotsToPoints(PdfDocRec* doc, double value) {
    BYTE mode = doc->unitMode;
    doc->unitMode = kPdfUnitDots;
    double pts = PdfToPoints(doc, value, kPdfHorz);
    doc->unitMode = mode;
    return pts;
}

int PdfControlCode(PdfDocRec* doc, int code, int16_t value) {
    switch (code) {
        case kPrtCtlNewLine:
            doc->x = 0;
            for (int i = 0; i < value; i++) doc->y += doc->lineHeight;
            break;
        case kPrtCtlLineFeed:
            for (int i = 0; i < value; i++) doc->y += doc->lineHeight;
            break;
        case kPrtCtlCarriageReturn: doc->x = 0; break;
        case kPrtCtlFormFeed:
            for (int i = 0; i < value; i++) PdfNewPage(doc);
            doc->x = doc->y = 0;
            break;
        case kPrtCtlDefaultColors:
            doc->foreground = 0;
            doc->background = kPdfWhite;
            break;
        case kPrtCtlOpaque: PdfSetFlag(doc, kPdfFlagTransparent, false); break;
        case kPrtCtlTransparent: PdfSetFlag(doc, kPdfFlagTransparent, true); break;
        case kPrtCtlCellMode: doc->unitMode = kPdfUnitCells; break;
        case kPrtCtlPixelMode: doc->unitMode = kPdfUnitDots; break;
        case kPrtCtlUnderlineOff: case kPrtCtlUnderlineOn: case kPrtCtlBoldOff: case kPrtCtlBoldOn:
            return PdfSetFont(doc, code, nullptr);
        case kPrtCtlNormalColors: PdfSetFlag(doc, kPdfFlagReverse, false); break;
        case kPrtCtlReverseColors: PdfSetFlag(doc, kPdfFlagReverse, true); break;
        case kPrtCtlColumn: case kPrtCtlTab:
            doc->x = PdfToPoints(doc, PdfDec(doc, value), kPdfHorz);
            break;
        case kPrtCtlRow: doc->y = PdfToPoints(doc, PdfDec(doc, value), kPdfVert); break;
        case kPrtCtlColumnBy: doc->x += PdfToPoints(doc, value, kPdfHorz); break;
        case kPrtCtlRowBy: doc->y += PdfToPoints(doc, value, kPdfVert); break;
        case kPrtCtlTextColor: case kPrtCtlBackColor:
            if (value >= 0 && value < kPdfColourCodes) PdfSetColors(doc, code, PdfColourFromCode(static_cast<DWORD>(value)));
            break;
        case kPrtCtlOrientation:
            if (value == kPrtOrientLandscape && doc->orientation != kPdfLandscape) {
                PdfSwapPage(doc);
                doc->orientation = kPdfLandscape;
            } else if (value != kPrtOrientLandscape && doc->orientation == kPdfLandscape) {
                PdfSwapPage(doc);
                doc->orientation = 0;
            }
            break;
        case kPrtCtlImageFrame: PdfSetFlag(doc, kPdfFlagImageFrame, value != 0); break;
        case kPrtCtlCoordMode:
            doc->unitMode = static_cast<BYTE>(value);
            if (value == kPdfUnitCells) {
                doc->cellWidth = doc->explicitCellWidth ? doc->explicitCellWidth : kPdfCellWidth;
                doc->lineHeight = doc->explicitLineHeight ? doc->explicitLineHeight : kPdfLineHeight;
            } else if (value == kPdfUnitFontCells) {
                doc->cellWidth = doc->fontCellWidth;
                doc->lineHeight = doc->fontLineHeight;
            }
            break;
        case kPrtCtlAlign:
            doc->flags &= ~kPdfFlagAlignMask;
            if (value == kPrtAlignDecimal) doc->flags |= kPdfFlagAlignDecimal;
            else if (value == kPrtAlignRight) doc->flags |= kPdfFlagAlignRight;
            else if (value == kPrtAlignCentre) doc->flags |= kPdfFlagAlignCentre;
            break;
        case kPrtCtlFillShapes: PdfSetFlag(doc, kPdfFlagFillShapes, value != 0); break;
        case kPrtCtlPenWidth:
            doc->penWidth = PdfOneBased(doc) ? PdfDotsToPoints(doc, value) : PdfToPoints(doc, value, kPdfHorz);
            PdfCsNum(doc, doc->penWidth);
            PdfCsLine(doc, " w");
            break;
        case kPrtCtlColor: PdfSetFlag(doc, kPdfFlagGrey, value == kPrtColorGrey); break;
        case kPrtCtlPaperSize:
            if (value >= 1 && value <= kPdfPaperCount) {
                doc->pageWidth = kPdfPaperTable[value - 1].width;
                doc->pageHeight = kPdfPaperTable[value - 1].height;
                if (doc->orientation == kPdfLandscape) PdfSwapPage(doc);
            }
            break;
        case kPrtCtlPaperLength: doc->pageHeight = value * kPdfTenthMm; break;
        case kPrtCtlPaperWidth: doc->pageWidth = value * kPdfTenthMm; break;
        case kPrtCtlCellHeight:
            doc->explicitLineHeight = value > 0 ? PdfDotsToPoints(doc, value) : 0;
            if (doc->unitMode == kPdfUnitCells)
                doc->lineHeight = doc->explicitLineHeight ? doc->explicitLineHeight : doc->defLineHeight;
            break;
        case kPrtCtlCellWidth:
            doc->explicitCellWidth = value > 0 ? PdfDotsToPoints(doc, value) : 0;
            if (doc->unitMode == kPdfUnitCells)
                doc->cellWidth = doc->explicitCellWidth ? doc->explicitCellWidth : doc->defCellWidth;
            break;
        case kPrtCtlRtl: PdfSetFlag(doc, kPdfFlagRtl, value != 0); break;
        case kPrtCtlLeftMargin: {
            double off = PdfToPoints(doc, value, kPdfHorz) - doc->leftMargin;
            doc->leftOffset = off > 0 ? off : 0;
            break;
        }
        case kPrtCtlTopMargin: {
            double off = PdfToPoints(doc, value, kPdfVert) - doc->topMargin;
            doc->topOffset = off > 0 ? off : 0;
            break;
        }
        default: break;
    }
    return kPdfOk;
}
