// pdfshape.cpp - lines and shapes on a PDF page (line, rectangle, ellipse with
// Bezier quarters, rounded rectangle), and the answers a "pdf:" target gives
// to printer queries: the printer information record, the page metrics, the
// file name and the current base font.
#include <cstdio>
#include <cstring>

#include "print/pdf/pdf.h"

// Bezier quarter of an ellipse: the control points stand 0.55 of the radius
// from the axis point, 0.45 of the radius in from the box corner.
constexpr double kPdfArcNear = 0.55, kPdfArcFar = 0.45;
constexpr double kPdfPointsPerMm = 72.0 / 25.4;
// The printable area of a PDF page is the page less 9 points on each side.
constexpr double kPdfUnprintable = 18.0;

// Page metrics of a "pdf:" target as the page set-up query reports them.
static const long kPdfPageSetupValues[4] = {
    90,    // 1 characters per line
    67,    // 2 lines per page
    5100,  // 3 page width, device units
    6600,  // 4 page height, device units
};

static void PdfCsSpace(PdfDocRec* doc) { PdfCsAppend(doc, " ", 1); }

static void PdfCsPoint(PdfDocRec* doc, double x, double y) {
    PdfCsNum(doc, x);
    PdfCsSpace(doc);
    PdfCsNum(doc, y);
}

// Three points and " c"; the last curve of a path is ended by its paint.
static void PdfCsCurve(PdfDocRec* doc, double x1, double y1, double x2, double y2, double x3, double y3,
                       const char* end) {
    PdfCsPoint(doc, x1, y1);
    PdfCsSpace(doc);
    PdfCsPoint(doc, x2, y2);
    PdfCsSpace(doc);
    PdfCsPoint(doc, x3, y3);
    PdfCsLine(doc, end);
}

double PdfBoxStart(PdfDocRec* doc, WORD v, int dir) {
    bool oneBased = doc->unitMode == kPdfUnitCells || doc->unitMode == kPdfUnitFontCells;
    return PdfToPoints(doc, oneBased && v > 0 ? v - 1 : v, dir);
}

// The box of a shape in page coordinates (y upwards), and its colours set.
struct PdfBox {
    double x1, x2, top, bottom;
    double rawX1, rawX2, y1, y2;  // before the page transform
};

static PdfBox PdfShapeBegin(PdfDocRec* doc, WORD top, WORD bottom, WORD left, WORD right) {
    PdfBox b;
    double x1 = PdfBoxStart(doc, left, kPdfHorz);
    double x2 = PdfToPoints(doc, right, kPdfHorz);
    b.y1 = PdfBoxStart(doc, top, kPdfVert);
    b.y2 = PdfToPoints(doc, bottom, kPdfVert);
    b.rawX1 = x1;
    b.rawX2 = x2;
    b.x1 = PdfPageCoord(doc, x1, kPdfAxisX);
    b.x2 = PdfPageCoord(doc, x2, kPdfAxisX);
    b.top = PdfPageCoord(doc, b.y1, kPdfAxisY);
    b.bottom = PdfPageCoord(doc, b.y2, kPdfAxisY);
    PdfSetColor(doc, doc->foreground, kPdfStroke);
    if (doc->flags & kPdfFlagFillShapes) PdfSetColor(doc, doc->background, kPdfFill);
    return b;
}

// The paint of a path: on its own line, or ending the line of its last curve.
enum PdfPaintPlace { kPdfPaintOwnLine, kPdfPaintAfterCurve };

static const char* PdfPaint(const PdfDocRec* doc, PdfPaintPlace place) {
    bool fill = (doc->flags & kPdfFlagFillShapes) != 0;
    if (place == kPdfPaintOwnLine) return fill ? "B" : "S";
    return fill ? " c B" : " c S";
}

int PdfDrawLine(PdfDocRec* doc, WORD column, WORD line) {
    double x2 = PdfBoxStart(doc, column, kPdfHorz);
    double y2 = PdfBoxStart(doc, line, kPdfVert);
    PdfSetColor(doc, doc->foreground, kPdfStroke);
    PdfCsX(doc, doc->x);
    PdfCsSpace(doc);
    PdfCsY(doc, doc->y);
    PdfCsLine(doc, " m");
    PdfCsX(doc, x2);
    PdfCsSpace(doc);
    PdfCsY(doc, y2);
    PdfCsLine(doc, " l S");
    return kPdfOk;
}

int PdfDrawRect(PdfDocRec* doc, WORD top, WORD bottom, WORD left, WORD right) {
    PdfBox b = PdfShapeBegin(doc, top, bottom, left, right);
    PdfCsPoint(doc, b.x1, b.bottom);
    PdfCsSpace(doc);
    PdfCsNum(doc, b.rawX2 - b.rawX1);
    PdfCsSpace(doc);
    PdfCsNum(doc, b.y2 - b.y1);
    PdfCsLine(doc, " re");
    PdfCsLine(doc, PdfPaint(doc, kPdfPaintOwnLine));
    return kPdfOk;
}

int PdfDrawEllipse(PdfDocRec* doc, WORD top, WORD bottom, WORD left, WORD right) {
    PdfBox b = PdfShapeBegin(doc, top, bottom, left, right);
    double rx = (b.x2 - b.x1) / 2, ry = (b.top - b.bottom) / 2;
    double cx = b.x1 + rx, cy = b.bottom + ry;
    PdfCsPoint(doc, b.x1, cy);
    PdfCsLine(doc, " m");
    PdfCsCurve(doc, b.x1, cy + kPdfArcNear * ry, b.x1 + kPdfArcFar * rx, b.top, cx, b.top, " c");
    PdfCsCurve(doc, cx + kPdfArcNear * rx, b.top, b.x2, cy + kPdfArcNear * ry, b.x2, cy, " c");
    PdfCsCurve(doc, b.x2, cy - kPdfArcNear * ry, b.x2 - kPdfArcFar * rx, b.bottom, cx, b.bottom, " c");
    PdfCsCurve(doc, b.x1 + kPdfArcFar * rx, b.bottom, b.x1, cy - kPdfArcNear * ry, b.x1, cy,
               PdfPaint(doc, kPdfPaintAfterCurve));
    return kPdfOk;
}

int PdfDrawRoundRect(PdfDocRec* doc, WORD top, WORD bottom, WORD left, WORD right, WORD cornerWidth,
                     WORD cornerHeight) {
    PdfBox b = PdfShapeBegin(doc, top, bottom, left, right);
    // The corner sizes are used in whole points.
    double rw = static_cast<long>(PdfToPoints(doc, cornerWidth, kPdfHorz));
    double rh = static_cast<long>(PdfToPoints(doc, cornerHeight, kPdfVert));
    PdfCsPoint(doc, b.x1 + rw, b.top);
    PdfCsLine(doc, " m");
    PdfCsPoint(doc, b.x2 - rw, b.top);
    PdfCsLine(doc, " l");
    PdfCsCurve(doc, b.x2, b.top, b.x2, b.top, b.x2, b.top - rh, " c");
    PdfCsPoint(doc, b.x2, b.bottom + rh);
    PdfCsLine(doc, " l");
    PdfCsCurve(doc, b.x2, b.bottom, b.x2, b.bottom, b.x2 - rw, b.bottom, " c");
    PdfCsPoint(doc, b.x1 + rw, b.bottom);
    PdfCsLine(doc, " l");
    PdfCsCurve(doc, b.x1, b.bottom, b.x1, b.bottom, b.x1, b.bottom + rh, " c");
    PdfCsPoint(doc, b.x1, b.top - rh);
    PdfCsLine(doc, " l");
    PdfCsCurve(doc, b.x1, b.top, b.x1, b.top, b.x1 + rw, b.top, PdfPaint(doc, kPdfPaintAfterCurve));
    return kPdfOk;
}

// ---- printer information ------------------------------------------------------------

// Truncates toward zero, taking a value a hair below a whole number as it.
static long PdfWhole(double v) {
    double nudged = v < 0 ? v - 1e-7 : v + 1e-7;
    return static_cast<long>(nudged);
}

int PdfDeviceInfo(PdfDocRec* doc, int unitMode, char* buffer) {
    int u = unitMode ? unitMode : kPdfUnitDots;
    double w = doc->pageWidth - kPdfUnprintable, h = doc->pageHeight - kPdfUnprintable;
    char* p = buffer;
    p = PutDec8(p, 1);
    p = PutDec8(p, PdfWhole(PdfFromPoints(doc, w, kPdfHorz, u)));
    p = PutDec8(p, PdfWhole(PdfFromPoints(doc, h, kPdfVert, u)));
    p = PutDec8(p, PdfWhole(w / kPdfPointsPerMm));
    p = PutDec8(p, PdfWhole(h / kPdfPointsPerMm));
    p = PutDec8(p, 24);
    p = PutDec8(p, 5);
    *p++ = 'Y';
    p = PutDec4(p, 1);
    *p++ = 'Y';
    *p++ = 'N';
    p = PutDec8(p, 1);
    p = PutDec8(p, 32000);
    static const DWORD kFlagChars[5] = {kPdfFlagAlignRight, kPdfFlagAlignDecimal, kPdfFlagFillShapes,
                                        kPdfFlagImageFrame, kPdfFlagTransparent};
    for (DWORD bit : kFlagChars) *p++ = (doc->flags & bit) ? 'Y' : 'N';
    p = PutDec4(p, 4);
    memcpy(p, "pdf:", 4);
    memset(p + 4, ' ', 27);
    p += 31;
    memset(p, '0', 110);
    p += 110;
    p = PutDec8(p, PdfWhole(PdfFromPoints(doc, doc->y, kPdfVert, u)));
    p = PutDec8(p, PdfWhole(PdfFromPoints(doc, doc->x, kPdfHorz, u)));
    p = PutDec4(p, doc->unitMode);
    p = PutDec8(p, PdfWhole(doc->lineHeight));
    p = PutDec8(p, PdfWhole(doc->cellWidth));
    p = PutDec8(p, PdfWhole(PdfFromPoints(doc, doc->y, kPdfVert, doc->unitMode)));
    p = PutDec8(p, PdfWhole(PdfFromPoints(doc, doc->x, kPdfHorz, doc->unitMode)));
    *p = 0;
    return kPdfOk;
}

int PdfGetFileName(PdfDocRec* doc, char* buffer) {
    snprintf(buffer, kPdfFileNameMax + 1, "%s", doc->fileName);
    return kPdfOk;
}

const char* PdfFontBaseName(PdfDocRec* doc) { return doc->curFont ? doc->curFont->baseFont : ""; }

long PdfPageSetupValue(int index) { return index >= 1 && index <= 4 ? kPdfPageSetupValues[index - 1] : 0; }
