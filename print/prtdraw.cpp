// prtdraw.cpp - the drawing messages of a print job: colours, positions, texts
// with their alignments and regions, control codes, fonts, lines, shapes and
// images, drawn with GDI on the job's device or handed to the PDF writer.
// Positions are kept in the job's coordinate mode and turned into device
// pixels here; the device context itself always stays in MM_TEXT.
#include "print/print.h"

#include <cstdio>
#include <cstring>

#include "objects/objrecord.h"
#include "session/config.h"
#include "session/log.h"
#include "session/session.h"
#include "session/util/codepage.h"
#include "session/util/mem.h"

bool (*gPrtPictImage)(uint32_t pict, uint32_t mode, PrtImageInput* out);

constexpr size_t kPrtWideMark = 2;

static bool IsPdfJob(const PrinterRec* j) { return (j->pdfFlags & kPrtPdfTarget) && j->pdf; }
static bool IsCells(const PrinterRec* j) { return (j->flags & kPrtFlagCells) != 0; }
static bool IsMetric(const PrinterRec* j) { return (j->flags & kPrtFlagMetric) != 0; }
// Drawing reaches a page at once on the printer page and on the preview's screen.
static bool DrawsNow(const PrinterRec* j) {
    return (j->flags & (kPrtFlagPrinterPage | kPrtFlagPreviewDC)) && j->drawDC;
}

// ---- Units --------------------------------------------------------------------------

// A job-unit x or y as a device pixel offset from the page origin (no margin).
static int32_t UnitsX(const PrinterRec* j, int32_t x) { return IsMetric(j) ? PrtUnitsToDevice(j->coordMode, x, j->dpiX) : x; }
static int32_t UnitsY(const PrinterRec* j, int32_t y) { return IsMetric(j) ? PrtUnitsToDevice(j->coordMode, y, j->dpiY) : y; }
static int32_t DevX(const PrinterRec* j, int32_t x) { return UnitsX(j, x) + j->originX; }
static int32_t DevY(const PrinterRec* j, int32_t y) { return UnitsY(j, y) + j->originY; }
static int32_t ToUnitsX(const PrinterRec* j, int32_t d) { return IsMetric(j) ? PrtDeviceToUnits(j->coordMode, d, j->dpiX) : d; }
static int32_t ToUnitsY(const PrinterRec* j, int32_t d) { return IsMetric(j) ? PrtDeviceToUnits(j->coordMode, d, j->dpiY) : d; }

// A column or row n from the server: in character coordinates (n - 1) cells,
// far edges n cells (the cell is included).
static int32_t NearX(const PrinterRec* j, uint16_t n) {
    return IsCells(j) ? static_cast<int32_t>(j->cellWidth) * (n ? n - 1 : 0) : n;
}
static int32_t NearY(const PrinterRec* j, uint16_t n) {
    return IsCells(j) ? static_cast<int32_t>(j->cellHeight) * (n ? n - 1 : 0) : n;
}
static int32_t FarX(const PrinterRec* j, uint16_t n) { return IsCells(j) ? static_cast<int32_t>(j->cellWidth) * n : n; }
static int32_t FarY(const PrinterRec* j, uint16_t n) { return IsCells(j) ? static_cast<int32_t>(j->cellHeight) * n : n; }

// Lines per page of the cell height in force.
static void UpdateLinesPerPage(PrinterRec* j) {
    if (j->cellHeight)
        j->linesPerPage = static_cast<uint16_t>(PrtGetPageSetupValue(kPrtPageHeight) / static_cast<int32_t>(j->cellHeight));
}

void PrtSetCoordMode(PrinterRec* j, int mode) {
    if (mode < kPrtModeFirst || mode > kPrtModeLast) mode = kPrtModeDots;
    bool wasMetric = IsMetric(j), metric = PrtModeIsMetric(mode);
    int32_t devX = UnitsX(j, j->column), devY = UnitsY(j, j->row);
    j->coordMode = static_cast<uint8_t>(mode);
    j->flags &= ~(kPrtFlagCells | kPrtFlagMetric);
    if (PrtModeIsCells(mode)) j->flags |= kPrtFlagCells;
    if (metric) j->flags |= kPrtFlagMetric;
    if (wasMetric != metric) {
        j->column = ToUnitsX(j, devX);
        j->row = ToUnitsY(j, devY);
    }
    if (mode == kPrtModeCells) {
        j->cellWidth = j->srvCellWidth ? j->srvCellWidth : j->defCellWidth;
        j->cellHeight = j->srvCellHeight ? j->srvCellHeight : j->defCellHeight;
        UpdateLinesPerPage(j);
    } else if (mode == kPrtModeFontCells) {
        j->cellWidth = j->fontCellWidth;
        j->cellHeight = j->fontCellHeight;
    }
    if (j == gCurPrtRec) PrtSetCurrent(j);
}

// On the preview every position and length in printer pixels is mapped onto
// the window once, here, at the drawing call.
static bool OnPreview(const PrinterRec* j) { return (j->flags & kPrtFlagPreviewDC) && j->prev; }
static int32_t SX(const PrinterRec* j, int32_t x) { return OnPreview(j) ? PrtPrevMapX(j, x) : x; }
static int32_t SY(const PrinterRec* j, int32_t y) { return OnPreview(j) ? PrtPrevMapY(j, y) : y; }
static int32_t SL(const PrinterRec* j, int32_t n) { return OnPreview(j) ? PrtPrevScaleLength(j, n) : n; }

// Starts the page when the job draws at once; false when it does not draw now.
static bool BeginDraw(PrinterRec* j, int32_t* result) {
    *result = kPrtOk;
    if (!DrawsNow(j) && !IsPdfJob(j)) return false;
    if (!(j->flags & kPrtFlagPageOpen)) *result = PrtPageStart();
    return *result == kPrtOk;
}

static void EndDraw(PrinterRec* j, int32_t result) {
    if (result == kPrtOk) j->flags &= ~kPrtFlagPageFresh;
}

// ---- Colours ------------------------------------------------------------------------

// A new pen replaces the selected one before the old one is deleted.
static void RemakePenNow(PrinterRec* j) {
    HPEN old = j->pen;
    j->pen = nullptr;
    PrtMakePen(j);
    if (j->drawDC) SelectObject(j->drawDC, j->pen);
    if (old) DeleteObject(old);
}

static void RemakeBrushNow(PrinterRec* j) {
    HBRUSH old = j->brush;
    j->brush = nullptr;
    PrtMakeBrush(j);
    if (j->drawDC) SelectObject(j->drawDC, j->brush);
    if (old) DeleteObject(old);
}

static bool PageLive(const PrinterRec* j) { return (j->flags & kPrtFlagPageOpen) && DrawsNow(j); }

static void ColorsPlay(PrinterRec* j, uint32_t which, COLORREF c);

int32_t PrtColorsPlay(uint32_t which, uint32_t colour) {
    PrinterRec* j = gCurPrtRec;
    if (!j) return kPrtOk;
    if (IsPdfJob(j)) return PdfSetColors(j->pdf, static_cast<int>(which), colour);
    ColorsPlay(j, which, colour);
    return kPrtOk;
}

static void ColorsPlay(PrinterRec* j, uint32_t which, COLORREF c) {
    if (which == kPrtCtlTextColor) j->textColor = c;
    else if (which == kPrtCtlBackColor) j->backColor = c;
    else return;
    if (PageLive(j)) {
        PrtApplyColors(j);
        if (which == kPrtCtlTextColor) RemakePenNow(j);
        else RemakeBrushNow(j);
    } else {
        j->flags |= kPrtFlagRemakePen;
    }
}

int32_t PrtSetColors(uint32_t which, uint32_t value) {
    PrinterRec* j = gCurPrtRec;
    if (!j) return kPrtOk;
    COLORREF c = PrtColorFromValue(value);
    if (IsPdfJob(j)) return PdfSetColors(j->pdf, static_cast<int>(which), c);
    ColorsPlay(j, which, c);
    return kPrtOk;
}

// ---- Position and region ------------------------------------------------------------------

int32_t PrtSetPos(uint16_t column, uint16_t row) {
    PrinterRec* j = gCurPrtRec;
    if (!j) return kPrtOk;
    // The column is replaced: a text of this job still to be measured never
    // needs its width. Another job's is measured as usual.
    PrtTextForget(j);
    PrtTextSettle();
    if (IsPdfJob(j)) return PdfMoveTo(j->pdf, column, row);
    j->column = NearX(j, column);
    j->row = NearY(j, row);
    return kPrtOk;
}

int32_t PrtSetRegion(uint16_t top, uint16_t bottom, uint16_t left, uint16_t right) {
    PrinterRec* j = gCurPrtRec;
    if (!j) return kPrtOk;
    if (IsPdfJob(j)) return PdfSetRegion(j->pdf, top, bottom, left, right);
    j->row = NearY(j, top);
    j->regionBottom = static_cast<uint32_t>(NearY(j, bottom));
    j->column = NearX(j, left);
    j->regionRight = static_cast<uint32_t>(NearX(j, right));
    return kPrtOk;
}

// ---- Texts ----------------------------------------------------------------------------------

struct TextCtx {
    HDC dc;
    const uint8_t* text;
    bool wide;
};

static int32_t MeasureUnits(void* ctx, size_t first, size_t count) {
    TextCtx* t = static_cast<TextCtx*>(ctx);
    SIZE sz = {0, 0};
    if (!count) return 0;
    if (t->wide) GetTextExtentPoint32W(t->dc, reinterpret_cast<const WCHAR*>(t->text) + first, static_cast<int>(count), &sz);
    else GetTextExtentPoint32A(t->dc, reinterpret_cast<const char*>(t->text) + first, static_cast<int>(count), &sz);
    return sz.cx;
}

static void TextOutUnits(HDC dc, const TextCtx& t, int32_t x, int32_t y, UINT opts, const RECT* clip, size_t first,
                         size_t count) {
    if (t.wide)
        ExtTextOutW(dc, x, y, opts, clip, reinterpret_cast<const WCHAR*>(t.text) + first, static_cast<UINT>(count), nullptr);
    else
        ExtTextOutA(dc, x, y, opts, clip, reinterpret_cast<const char*>(t.text) + first, static_cast<UINT>(count), nullptr);
}

// The preview places each character where the printer puts it: the widths
// come from the printer, the glyphs from the screen font.
static void PrtTextOutPreview(PrinterRec* j, const TextCtx& t, int32_t x, int32_t y, UINT opts, const RECT* clip,
                              size_t first, size_t count) {
    int32_t sy = SY(j, y);
    RECT c = {};
    if (clip) c = RECT{SX(j, clip->left), SY(j, clip->top), SX(j, clip->right), SY(j, clip->bottom)};
    const RECT* mapped = clip ? &c : nullptr;
    if ((opts & ETO_RTLREADING) || count < 2) {
        TextOutUnits(j->drawDC, t, SX(j, x), sy, opts, mapped, first, count);
        return;
    }
    int* ends = static_cast<int*>(GuardedAlloc(count * sizeof(int)));
    if (!ends) {
        TextOutUnits(j->drawDC, t, SX(j, x), sy, opts, mapped, first, count);
        return;
    }
    SIZE sz;
    bool ok = t.wide ? GetTextExtentExPointW(t.dc, reinterpret_cast<const WCHAR*>(t.text) + first,
                                              static_cast<int>(count), 0, nullptr, ends, &sz)
                     : GetTextExtentExPointA(t.dc, reinterpret_cast<const char*>(t.text) + first,
                                              static_cast<int>(count), 0, nullptr, ends, &sz);
    for (size_t k = 0; k < count; k++) {
        int32_t dx = ok && k ? ends[k - 1] : 0;
        TextOutUnits(j->drawDC, t, SX(j, x + dx), sy, opts, mapped, first + k, 1);
    }
    GuardedFree(ends);
}

static void DrawUnits(PrinterRec* j, const TextCtx& t, int32_t x, int32_t y, UINT opts, const RECT* clip, size_t first,
                      size_t count) {
    if (j->textFlags & kPrtTextRtl) opts |= ETO_RTLREADING;
    if (OnPreview(j)) {
        PrtTextOutPreview(j, t, x, y, opts, clip, first, count);
        return;
    }
    TextOutUnits(t.dc, t, x, y, opts, clip, first, count);
}

// Draws (draw true) or only measures a text at the job's position and moves the column.
static void PrtTextOut(PrinterRec* j, const TextCtx& t, size_t units, uint16_t decimal, bool draw) {
    long k = (j->textFlags & kPrtTextDecimal) ? PrtFindLastDecimal(t.text, units, t.wide, decimal) : -1;
    int32_t w = MeasureUnits(const_cast<TextCtx*>(&t), 0, units);
    int32_t prefix = k >= 0 ? MeasureUnits(const_cast<TextCtx*>(&t), 0, static_cast<size_t>(k) + 1) : 0;
    if (IsMetric(j)) {
        // Device units for the alignment; the column advances from the position given.
        int32_t x = PrtAlignStart(UnitsX(j, j->column), w, prefix, k >= 0, j->textFlags);
        if (draw) DrawUnits(j, t, x + j->originX, DevY(j, j->row), 0, nullptr, 0, units);
        j->column += ToUnitsX(j, w);
        return;
    }
    j->column = PrtAlignStart(j->column, w, prefix, k >= 0, j->textFlags);
    if (draw) DrawUnits(j, t, DevX(j, j->column), DevY(j, j->row), 0, nullptr, 0, units);
    j->column += w;
}

static void PrtTextOutClipped(PrinterRec* j, const TextCtx& t, size_t units, uint16_t decimal, bool draw) {
    long k = PrtFindLastDecimal(t.text, units, t.wide, decimal);
    int32_t col = UnitsX(j, j->column);
    int32_t right = UnitsX(j, static_cast<int32_t>(j->regionRight));
    PrtClipLayout L = PrtLayoutClipped(units, k, col, right, j->textFlags, MeasureUnits, const_cast<TextCtx*>(&t));
    if (draw && L.count) {
        RECT clip = {col + j->originX, DevY(j, j->row), right + j->originX,
                     UnitsY(j, static_cast<int32_t>(j->regionBottom)) + j->originY};
        DrawUnits(j, t, L.x + j->originX, DevY(j, j->row), ETO_CLIPPED, &clip, L.first, L.count);
    }
    j->column += ToUnitsX(j, L.width);
    j->regionRight = j->regionBottom = 0;
}

// The recorded text whose width is still to be taken (its job null when none):
// an aligned copy of its units, converted as it would have been measured, and
// the device it is measured on. Nothing that the measure reads can change
// before it is settled: every message but a text or a position settles first.
struct PendingText {
    PrinterRec* job;
    HDC dc;
    uint8_t* text;
    size_t cap, units;
    bool wide;
    uint16_t decimal;
};
static PendingText gPendingText;

void PrtTextSettle() {
    PendingText& p = gPendingText;
    PrinterRec* j = p.job;
    if (!j) return;
    p.job = nullptr;
    TextCtx t = {p.dc, p.text, p.wide};
    PrtTextOut(j, t, p.units, p.decimal, false);
}

void PrtTextForget(const PrinterRec* job) {
    if (gPendingText.job == job) gPendingText.job = nullptr;
}

void PrtTextCleanup() {
    GuardedFree(gPendingText.text);
    gPendingText = PendingText();
}

// The pending text's buffer with room for n bytes (grown, never shrunk).
static uint8_t* PendingBuffer(size_t n) {
    PendingText& p = gPendingText;
    if (n > p.cap) {
        uint8_t* grown = static_cast<uint8_t*>(GuardedAlloc(n));
        if (!grown) return nullptr;
        GuardedFree(p.text);
        p.text = grown;
        p.cap = n;
    }
    return p.text;
}

int32_t PrtText(const char* text, size_t len, PrtTextUse use) {
    PrinterRec* j = gCurPrtRec;
    PrtTextSettle();
    if (!j) return kPrtOk;
    // Under decimal alignment the text aligns on the session's decimal
    // character (else "."); a number text played only keeps the job's.
    uint16_t decimal = j->decimalChar ? j->decimalChar : '.';
    if (use == kPrtTextRecorded && (j->textFlags & kPrtTextDecimal))
        decimal = static_cast<uint8_t>(gClientConfig.decimalChar ? gClientConfig.decimalChar : '.');

    const uint8_t* bytes = reinterpret_cast<const uint8_t*>(text);
    bool wide = false, mark = false;
    if (len >= 2 && len % 2 == 0 && bytes[0] == 0xFF && bytes[1] == 0xFE) {
        wide = true;
        bytes += kPrtWideMark;
        len -= kPrtWideMark;
    } else if ((j->pdfFlags & kPrtPdfUtf16) && IsUtf16Text(bytes, len, &mark)) {
        wide = true;
        if (mark) {
            bytes += kPrtWideMark;
            len -= kPrtWideMark;
        }
    }
    int32_t result = kPrtOk;
    if (IsPdfJob(j)) {
        if (BeginDraw(j, &result)) result = PdfDrawText(j->pdf, bytes, len, static_cast<BYTE>(decimal), wide);
        if (result == kPdfFontNotMade) gPrtErrNo = gPdfErrNo;
        EndDraw(j, result);
        return result;
    }
    if (!j->drawDC) return kPrtOk;
    bool draw = BeginDraw(j, &result);
    if (result != kPrtOk) return result;

    // An aligned copy of the text: UTF-16 units must not be read unaligned, and
    // the 8-bit text is converted from OEM for GDI when the session asks. A
    // text only recorded, outside a region, keeps its copy until its width is
    // needed: measuring on a printer is slow, and most texts are followed by
    // a position that makes their width moot.
    bool defer = !draw && !j->regionRight && !j->regionBottom;
    uint8_t* copy = defer ? PendingBuffer(len + 2) : static_cast<uint8_t*>(GuardedAlloc(len + 2));
    if (!copy) return kPrtNoMemory;
    memcpy(copy, bytes, len);
    copy[len] = copy[len + 1] = 0;
    TextCtx t = {OnPreview(j) && j->dc ? j->dc : j->drawDC, copy, wide};
    if (!wide) {
        const char* ansi = OemToAnsiStr(reinterpret_cast<const char*>(copy), 0);
        if (ansi && ansi != reinterpret_cast<const char*>(copy)) memcpy(copy, ansi, len);
    }
    size_t units = wide ? len / 2 : len;
    if (defer) {
        gPendingText.job = j;
        gPendingText.dc = t.dc;
        gPendingText.units = units;
        gPendingText.wide = wide;
        gPendingText.decimal = decimal;
        return result;
    }
    if (j->regionRight || j->regionBottom) PrtTextOutClipped(j, t, units, decimal, draw);
    else PrtTextOut(j, t, units, decimal, draw);
    GuardedFree(copy);
    if (draw) EndDraw(j, result);
    return result;
}

// ---- Fonts -------------------------------------------------------------------------------------

static int32_t UseFont(PrinterRec* j, FontRec* f) {
    if (!f) return kPrtFontNotMade;
    return PrtSelectJobFont(j, f);
}

int32_t PrtSetFontText(const char* text, size_t len) {
    PrinterRec* j = gCurPrtRec;
    if (!j) return kPrtOk;
    if (IsPdfJob(j)) {
        PdfFontSpec spec;
        if (PdfParseFontSpec(text, len, &spec) != 0) return kPrtFontNotMade;
        return PdfSetFontSpec(j->pdf, &spec);
    }
    if (!j->drawDC) return kPrtFontNotMade;
    return UseFont(j, PrtFontFromSpec(text, len, j->drawDC));
}

// A Font object's font: made for the printer, or its description handed to
// the PDF writer. No such object: 21271 with 301 in the error cell.
static int32_t PrtSetFontObject(uint32_t fontObject) {
    PrinterRec* j = gCurPrtRec;
    if (!j) return kPrtOk;
    if (IsPdfJob(j)) {
        const FontRec* f = FontObjGetFont(ObjectFromHandle(fontObject));
        if (!f) {
            gPrtErrNo = kPrtErrDefaultSetup;
            return kPrtFontNotMade;
        }
        PdfFontSpec spec = {};
        spec.size = static_cast<DWORD>(f->size);
        spec.angle = f->angle;
        spec.bold = f->bold;
        spec.italic = f->italic;
        spec.underline = f->underline;
        spec.strikeOut = f->strike;
        snprintf(spec.face, sizeof spec.face, "%s", f->face);
        return PdfSetFontSpec(j->pdf, &spec);
    }
    if (!j->drawDC || !gPrtFontFromObject) {
        gPrtErrNo = kPrtErrDefaultSetup;
        return kPrtFontNotMade;
    }
    return UseFont(j, gPrtFontFromObject(fontObject, j->drawDC));
}

// A style of the job font a font change sets, clears or keeps.
enum FontStyleChange { kFontStyleOff, kFontStyleOn, kFontStyleKeep };

static bool ChangedStyle(FontStyleChange change, bool current) {
    return change == kFontStyleKeep ? current : change == kFontStyleOn;
}

// Codes 248-253: the job font made again with underline or bold changed.
static int32_t FontChange(PrinterRec* j, FontStyleChange underline, FontStyleChange bold) {
    FontRec* f = j->font;
    if (!f || !j->drawDC) return kPrtFontNotMade;
    PrtFontStyle style = {ChangedStyle(bold, f->bold), f->italic != 0, ChangedStyle(underline, f->underline),
                          f->strike != 0};
    return UseFont(j, PrtFontCreate(f->face, f->size, style, f->angle, j->drawDC));
}

// ---- Control codes -------------------------------------------------------------------------------

static int32_t FormFeed(PrinterRec* j, int32_t n) {
    int32_t result = kPrtOk;
    if (n > 0 && !(j->flags & kPrtFlagPageOpen) && (DrawsNow(j) || IsPdfJob(j))) result = PrtPageStart();
    if (IsPdfJob(j)) {
        if (result == kPrtOk) result = PdfControlCode(j->pdf, kPrtCtlFormFeed, static_cast<int16_t>(n));
    } else if (n > 0 && DrawsNow(j) && (j->flags & kPrtFlagPageOpen)) {
        for (int32_t i = 1; i < n; i++) {
            // A blank page the device loses is a failure like the last one's.
            if ((EndPage(j->dc) <= 0 || StartPage(j->dc) <= 0) && result == kPrtOk) result = kPrtNoMemory;
        }
        if (EndPage(j->dc) <= 0 && result == kPrtOk) result = kPrtNoMemory;
        j->flags &= ~kPrtFlagPageOpen;
    }
    if (n > 0) {
        j->pageNumber++;
        j->flags |= kPrtFlagPageFresh;
    }
    j->column = j->row = 0;
    return result;
}

static void SetTextFlag(PrinterRec* j, uint32_t flag, bool on) {
    if (on) j->textFlags |= flag;
    else j->textFlags &= ~flag;
}

enum MarginAxis { kPrtHorizontal, kPrtVertical };

// A margin n in the job's units as device pixels.
static int32_t MarginDevice(const PrinterRec* j, int32_t n, MarginAxis axis) {
    bool horizontal = axis == kPrtHorizontal;
    if (IsCells(j)) return n * static_cast<int32_t>(horizontal ? j->cellWidth : j->cellHeight);
    return horizontal ? UnitsX(j, n) : UnitsY(j, n);
}

static void SetBkModeNow(PrinterRec* j) {
    if (PageLive(j)) SetBkMode(j->drawDC, (j->textFlags & kPrtTextTransparent) ? TRANSPARENT : OPAQUE);
}

int32_t PrtControlCode(uint32_t code, int32_t value) {
    PrinterRec* j = gCurPrtRec;
    if (!j) return kPrtOk;
    if (IsPdfJob(j)) {
        if (code == kPrtCtlFormFeed) return FormFeed(j, value);
        if (code == kPrtCtlCoordMode)
            j->coordMode = static_cast<uint8_t>(value >= kPrtModeFirst && value <= kPrtModeLast ? value : kPrtModeDots);
        int32_t r = PdfControlCode(j->pdf, static_cast<int>(code), static_cast<int16_t>(value));
        PrtSetCurrent(j);
        return r;
    }
    uint16_t u = static_cast<uint16_t>(value);
    int16_t s = static_cast<int16_t>(value);
    int32_t lineHeight = ToUnitsY(j, static_cast<int32_t>(j->cellHeight));
    switch (code) {
    case kPrtCtlNewLine: j->column = 0; j->row += lineHeight * u; break;
    case kPrtCtlLineFeed: j->row += lineHeight * u; break;
    case kPrtCtlCarriageReturn: j->column = 0; break;
    case kPrtCtlFormFeed: return FormFeed(j, u);
    case kPrtCtlDefaultColors:
        j->textColor = kPrtBlack;
        j->backColor = kPrtWhite;
        ColorsPlay(j, kPrtCtlTextColor, kPrtBlack);
        ColorsPlay(j, kPrtCtlBackColor, kPrtWhite);
        break;
    case kPrtCtlOpaque: SetTextFlag(j, kPrtTextTransparent, false); SetBkModeNow(j); break;
    case kPrtCtlTransparent: SetTextFlag(j, kPrtTextTransparent, true); SetBkModeNow(j); break;
    case kPrtCtlApplySetup: PrtResetPageSetup(kPrtSetupForced); break;
    case kPrtCtlCellMode: PrtSetCoordMode(j, kPrtModeCells); break;
    case kPrtCtlPixelMode: PrtSetCoordMode(j, kPrtModeDots); break;
    case kPrtCtlUnderlineOff: return FontChange(j, kFontStyleOff, kFontStyleKeep);
    case kPrtCtlUnderlineOn: return FontChange(j, kFontStyleOn, kFontStyleKeep);
    case kPrtCtlBoldOff: return FontChange(j, kFontStyleKeep, kFontStyleOff);
    case kPrtCtlBoldOn: return FontChange(j, kFontStyleKeep, kFontStyleOn);
    case kPrtCtlNormalColors: if (PageLive(j)) PrtApplyColors(j); break;
    case kPrtCtlReverseColors:
        if (PageLive(j)) {
            SetTextColor(j->drawDC, j->backColor);
            SetBkColor(j->drawDC, j->textColor);
        }
        break;
    case kPrtCtlColumn: case kPrtCtlTab: j->column = NearX(j, u); break;
    case kPrtCtlRow: j->row = NearY(j, u); break;
    case kPrtCtlColumnBy: j->column += IsCells(j) ? s * static_cast<int32_t>(j->cellWidth) : s; break;
    case kPrtCtlRowBy: j->row += IsCells(j) ? s * static_cast<int32_t>(j->cellHeight) : s; break;
    case kPrtCtlTextColor: ColorsPlay(j, kPrtCtlTextColor, PrtColorFromValue(u)); break;
    case kPrtCtlBackColor: ColorsPlay(j, kPrtCtlBackColor, PrtColorFromValue(u)); break;
    case kPrtCtlOrientation:
        j->setup[kPsOrientation] = u == kPrtOrientLandscape ? DMORIENT_LANDSCAPE : DMORIENT_PORTRAIT;
        break;
    case kPrtCtlImageFrame: SetTextFlag(j, kPrtTextFrame, u != 0); break;
    case kPrtCtlCoordMode: PrtSetCoordMode(j, u); break;
    case kPrtCtlAlign: j->textFlags = (j->textFlags & ~kPrtTextAlignMask) | PrtAlignFlags(u); break;
    case kPrtCtlFillShapes: SetTextFlag(j, kPrtTextFill, u != 0); break;
    case kPrtCtlPenWidth:
        j->penWidth = static_cast<uint16_t>(IsMetric(j) ? UnitsX(j, u) : u);
        if (PageLive(j)) RemakePenNow(j);
        else j->flags |= kPrtFlagRemakePen;
        break;
    case kPrtCtlPaperSource: j->setup[kPsDefaultSource] = u; break;
    case kPrtCtlColor: j->setup[kPsColor] = u; break;
    case kPrtCtlCopies: j->setup[kPsCopies] = u; break;
    case kPrtCtlCollate: j->setup[kPsCollate] = u; break;
    case kPrtCtlDuplex: j->setup[kPsDuplex] = u; break;
    case kPrtCtlPaperSize: j->setup[kPsPaperSize] = u; break;
    case kPrtCtlPaperLength: j->setup[kPsPaperLength] = u; break;
    case kPrtCtlPaperWidth: j->setup[kPsPaperWidth] = u; break;
    case kPrtCtlScale: j->setup[kPsScale] = u; break;
    case kPrtCtlPrintQuality: j->setup[kPsPrintQuality] = u; break;
    case kPrtCtlCellHeight:
        j->srvCellHeight = u;
        if (j->coordMode == kPrtModeCells) {
            j->cellHeight = u ? u : j->defCellHeight;
            UpdateLinesPerPage(j);
        }
        break;
    case kPrtCtlCellWidth:
        j->srvCellWidth = u;
        if (j->coordMode == kPrtModeCells) j->cellWidth = u ? u : j->defCellWidth;
        break;
    case kPrtCtlRtl: SetTextFlag(j, kPrtTextRtl, u != 0); break;
    case kPrtCtlLeftMargin:
        j->leftMargin = u;
        j->leftMarginMode = j->coordMode;
        j->originX = PrtOriginFromMargin(MarginDevice(j, u, kPrtHorizontal), j->physOffsetX);
        break;
    case kPrtCtlTopMargin:
        j->topMargin = u;
        j->topMarginMode = j->coordMode;
        j->originY = PrtOriginFromMargin(MarginDevice(j, u, kPrtVertical), j->physOffsetY);
        break;
    default: break;  // codes outside the table do nothing
    }
    return kPrtOk;
}

// ---- Lines and shapes --------------------------------------------------------------------------------

int32_t PrtLine(uint16_t column, uint16_t row) {
    PrinterRec* j = gCurPrtRec;
    if (!j) return kPrtOk;
    int32_t result;
    if (IsPdfJob(j)) {
        if (BeginDraw(j, &result)) result = PdfDrawLine(j->pdf, column, row);
        EndDraw(j, result);
        return result;
    }
    int32_t x = NearX(j, column), y = NearY(j, row);
    if (BeginDraw(j, &result)) {
        MoveToEx(j->drawDC, SX(j, DevX(j, j->column)), SY(j, DevY(j, j->row)), nullptr);
        LineTo(j->drawDC, SX(j, DevX(j, x)), SY(j, DevY(j, y)));
        EndDraw(j, result);
    }
    j->column = x;
    j->row = y;
    return result;
}

enum ShapeKind { kShapeRect, kShapeEllipse, kShapeRoundRect };

static int32_t PrtShape(ShapeKind kind, uint16_t top, uint16_t bottom, uint16_t left, uint16_t right, uint16_t cw,
                        uint16_t ch) {
    PrinterRec* j = gCurPrtRec;
    if (!j) return kPrtOk;
    int32_t result;
    if (!BeginDraw(j, &result)) return result;
    if (IsPdfJob(j)) {
        if (kind == kShapeRect) result = PdfDrawRect(j->pdf, top, bottom, left, right);
        else if (kind == kShapeEllipse) result = PdfDrawEllipse(j->pdf, top, bottom, left, right);
        else result = PdfDrawRoundRect(j->pdf, top, bottom, left, right, cw, ch);
        EndDraw(j, result);
        return result;
    }
    HDC dc = j->drawDC;
    int32_t l = SX(j, DevX(j, NearX(j, left))), t = SY(j, DevY(j, NearY(j, top)));
    int32_t r = SX(j, DevX(j, FarX(j, right))), b = SY(j, DevY(j, FarY(j, bottom)));
    bool fill = (j->textFlags & kPrtTextFill) != 0;
    if (!fill) SelectObject(dc, GetStockObject(NULL_BRUSH));
    if (kind == kShapeRect) {
        Rectangle(dc, l, t, r, b);
    } else if (kind == kShapeEllipse) {
        Ellipse(dc, l, t, r, b);
    } else {
        int32_t w = SL(j, UnitsX(j, FarX(j, cw))), h = SL(j, UnitsY(j, FarY(j, ch)));
        RoundRect(dc, l, t, r, b, w, h);
    }
    if (!fill) SelectObject(dc, j->brush);
    EndDraw(j, result);
    return result;
}

int32_t PrtRectangle(uint16_t top, uint16_t bottom, uint16_t left, uint16_t right) {
    return PrtShape(kShapeRect, top, bottom, left, right, 0, 0);
}
int32_t PrtEllipse(uint16_t top, uint16_t bottom, uint16_t left, uint16_t right) {
    return PrtShape(kShapeEllipse, top, bottom, left, right, 0, 0);
}
int32_t PrtRoundRect(uint16_t top, uint16_t bottom, uint16_t left, uint16_t right, uint16_t cw, uint16_t ch) {
    return PrtShape(kShapeRoundRect, top, bottom, left, right, cw, ch);
}

// ---- Images -------------------------------------------------------------------------------------------

uint32_t PrtImagePaletteCount(const BITMAPINFOHEADER* h) {
    if (h->biCompression == BI_BITFIELDS) return 3;
    if (h->biBitCount > 8) return 0;
    uint32_t max = 1u << h->biBitCount;
    return h->biClrUsed && h->biClrUsed < max ? h->biClrUsed : max;
}

bool PrtImagePixelBytes(const BITMAPINFOHEADER* h, uint32_t* bytes) {
    *bytes = 0;
    if (h->biCompression == BI_RLE8 || h->biCompression == BI_RLE4) {
        *bytes = h->biSizeImage;
        return h->biSizeImage != 0;
    }
    if (h->biCompression != BI_RGB && h->biCompression != BI_BITFIELDS) return false;
    CheckedSize data = DibStride(static_cast<uint64_t>(h->biWidth > 0 ? h->biWidth : 0), h->biBitCount);
    data.Mul(h->biHeight < 0 ? static_cast<uint64_t>(-static_cast<int64_t>(h->biHeight)) : static_cast<uint64_t>(h->biHeight));
    if (!data.Fits(UINT32_MAX)) return false;
    *bytes = static_cast<uint32_t>(data.value);
    return true;
}

// A picture for the PDF writer: the DIB's rows with a palette of the full
// size for its depth (the decoders may list fewer colours), a bit-field
// image's masks, the part shown turned into rows of the bitmap's memory
// order, and its identity. Run-length pixels are refused: the writer takes
// rows.
static int32_t PrtPdfImage(PrinterRec* j, const PrtImageInput* img, uint32_t mode, uint16_t top, uint16_t bottom,
                           uint16_t left, uint16_t right) {
    const BITMAPINFOHEADER* h = img->header;
    bool masked = h->biCompression == BI_BITFIELDS;
    if ((h->biCompression != BI_RGB && !masked) || ((h->biBitCount <= 8 || masked) && !img->palette))
        return kPrtImageNotDrawn;
    int32_t iw = h->biWidth, ih = h->biHeight < 0 ? -h->biHeight : h->biHeight;
    uint32_t dataBytes;
    if (!PrtImagePixelBytes(h, &dataBytes)) return kPrtImageNotDrawn;
    RGBQUAD palette[256] = {};
    uint32_t colors = h->biBitCount <= 8 ? PrtImagePaletteCount(h) : 0;
    if (colors) memcpy(palette, img->palette, colors * sizeof(RGBQUAD));
    PdfImageInput in = {};
    in.identity[0] = img->identity[0];
    in.identity[1] = img->identity[1];
    in.top = top, in.bottom = bottom, in.left = left, in.right = right;
    in.width = iw;
    in.height = ih;
    in.bitsPerPixel = h->biBitCount;
    in.paletteSize = h->biBitCount <= 8 ? 1u << h->biBitCount : 0;
    in.dataSize = dataBytes;
    // A bit-field image hands its red, green and blue masks where the
    // colours would be.
    if (masked) memcpy(in.masks, img->palette, sizeof in.masks);
    in.pixels = static_cast<const BYTE*>(img->bits);
    in.palette = reinterpret_cast<const BYTE*>(palette);
    in.topDown = h->biHeight < 0;
    in.mode = mode == kPrtImageActualSize ? kPdfImageNatural : kPdfImageFit;
    const RECT& src = img->source;
    if (mode >= kPrtImageShownPart && src.right > src.left && src.bottom > src.top) {
        in.mode = kPdfImageCrop;
        in.firstCol = src.left;
        in.endCol = src.right;
        in.firstRow = in.topDown ? src.top : ih - src.bottom;
        in.endRow = in.topDown ? src.bottom : ih - src.top;
    }
    return PdfDrawImage(j->pdf, &in);
}

int32_t PrtImage(const PrtImageInput* img, uint32_t mode, uint16_t top, uint16_t bottom, uint16_t left,
                 uint16_t right) {
    PrinterRec* j = gCurPrtRec;
    if (!j) return kPrtOk;
    if (!img || !img->header || !img->bits) return kPrtImageNotDrawn;
    int32_t result;
    if (!BeginDraw(j, &result)) return result;
    if (IsPdfJob(j)) {
        result = PrtPdfImage(j, img, mode, top, bottom, left, right);
        EndDraw(j, result);
        return result;
    }
    // Devices that cannot stretch a DIB get no image, as they always have.
    if (j->flags & kPrtFlagNoStretch) return kPrtOk;
    const BITMAPINFOHEADER* h = img->header;
    int32_t iw = h->biWidth, ih = h->biHeight < 0 ? -h->biHeight : h->biHeight;
    RECT src = {0, 0, iw, ih};
    if (mode >= kPrtImageShownPart && img->source.right > img->source.left && img->source.bottom > img->source.top) src = img->source;

    PrtRect dest = {DevX(j, NearX(j, left)), DevY(j, NearY(j, top)), DevX(j, FarX(j, right)), DevY(j, FarY(j, bottom))};
    bool frame = (j->textFlags & kPrtTextFrame) != 0;
    PrtRect d = PrtFitImage(dest, src.right - src.left, src.bottom - src.top, mode, frame);
    d = PrtRect{SX(j, d.left), SY(j, d.top), SX(j, d.right), SY(j, d.bottom)};

    uint32_t colors = PrtImagePaletteCount(h);
    size_t infoSize = sizeof(BITMAPINFOHEADER) + colors * sizeof(RGBQUAD);
    BITMAPINFO* info = static_cast<BITMAPINFO*>(GuardedAlloc(infoSize));
    if (!info) return kPrtNoMemory;
    memcpy(info, h, sizeof(BITMAPINFOHEADER));
    info->bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    if (colors && img->palette) memcpy(info->bmiColors, img->palette, colors * sizeof(RGBQUAD));

    HDC dc = j->drawDC;
    SetStretchBltMode(dc, h->biBitCount == 1 ? BLACKONWHITE : COLORONCOLOR);
    DWORD rop = (j->textFlags & kPrtTextTransparent) ? SRCAND : SRCCOPY;
    // The source y of a bottom-up DIB counts from its last row.
    int32_t srcY = h->biHeight > 0 ? ih - src.bottom : src.top;
    StretchDIBits(dc, d.left, d.top, d.right - d.left, d.bottom - d.top, src.left, srcY, src.right - src.left,
                  src.bottom - src.top, img->bits, info, DIB_RGB_COLORS, rop);
    if (frame) {
        RECT fr = {d.left - 1, d.top - 1, d.right + 1, d.bottom + 1};
        FrameRect(dc, &fr, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    }
    GuardedFree(info);
    EndDraw(j, result);
    return result;
}

// The picture behind a 2209 handle comes from the picture facility. Until it
// hands images over, no Pict object gives one: the image is not drawn, and
// the job is told so rather than closing as if it had been.
static int32_t PrtImageFromPict(const PrtDrawMsg& d) {
    if (!gCurPrtRec) return kPrtOk;
    PrtImageInput img = {};
    if (!gPrtPictImage || !gPrtPictImage(d.code, d.value, &img) || !img.header || !img.bits) return kPrtImageNotDrawn;
    int32_t r = PrtSpoolImage(gCurPrtRec, &img, d.value, d.top, d.bottom, d.left, d.right);
    if (r) return r;
    return PrtImage(&img, d.value, d.top, d.bottom, d.left, d.right);
}

// ---- PDF options ------------------------------------------------------------------------------------------

// The records of the four option kinds; a record's values point into the
// option text, which lives until the option is applied.
union PrtPdfOptRecord {
    PdfAttachOpts attach;
    PdfInfoOpts info;
    PdfEncryptOpts encrypt;
    PdfImportOpts import;
};

// Each kind with its parser, its application to a document and the detail
// codes of a text that does not parse and of an option the document refused.
struct PdfOptionKind {
    int kind;
    uint32_t parseDetail, applyDetail;
    bool (*parse)(const char* text, size_t len, PrtPdfOptRecord* rec);
    int (*apply)(PdfDocRec* doc, PrtPdfOptRecord* rec);
};

static bool PrtParseAttach(const char* t, size_t n, PrtPdfOptRecord* r) { return PdfParseAttachOpts(t, n, &r->attach); }
static bool PrtParseInfo(const char* t, size_t n, PrtPdfOptRecord* r) { return PdfParseInfoOpts(t, n, &r->info); }
static bool PrtParseEncrypt(const char* t, size_t n, PrtPdfOptRecord* r) { return PdfParseEncryptOpts(t, n, &r->encrypt); }
static bool PrtParseImport(const char* t, size_t n, PrtPdfOptRecord* r) { return PdfParseImportOpts(t, n, &r->import); }
static int PrtPdfAttach(PdfDocRec* doc, PrtPdfOptRecord* r) { return PdfAddAttachment(doc, &r->attach); }
static int PrtPdfInfo(PdfDocRec* doc, PrtPdfOptRecord* r) { return PdfWriteInfo(doc, &r->info); }
static int PrtPdfEncrypt(PdfDocRec* doc, PrtPdfOptRecord* r) { return PdfStartEncryption(doc, &r->encrypt); }
static int PrtPdfImportPage(PdfDocRec* doc, PrtPdfOptRecord* r) { return PdfImportPage(doc, &r->import); }

// By message 2216-2219 (their kinds are 16, 18, 17, 19).
static const PdfOptionKind kPdfOptionKinds[4] = {
    {kPdfOptAttach, 101, 105, PrtParseAttach, PrtPdfAttach},         // 2216 attachment
    {kPdfOptEncrypt, 103, 107, PrtParseEncrypt, PrtPdfEncrypt},      // 2217 encryption
    {kPdfOptInfo, 102, 106, PrtParseInfo, PrtPdfInfo},               // 2218 document information
    {kPdfOptImport, 110, 111, PrtParseImport, PrtPdfImportPage},     // 2219 page import
};
constexpr uint32_t kPrtPdfOptionBadKind = 104;

static const PdfOptionKind* PrtPdfOptionKindOf(int kind) {
    for (const PdfOptionKind& k : kPdfOptionKinds)
        if (k.kind == kind) return &k;
    return nullptr;
}

static int32_t PrtPdfOptionRefused(uint32_t detail) {
    gPrtErrNo = static_cast<int32_t>(detail);
    return kPrtPdfOption;
}

// Parses and applies an option to a document: 0, or 21296 with the detail in
// the error cell. The spool replay runs the records 16-19 through it.
static int32_t PrtPdfOptionApply(PdfDocRec* doc, int kind, const char* text, size_t len) {
    const PdfOptionKind* k = PrtPdfOptionKindOf(kind);
    if (!k) return PrtPdfOptionRefused(kPrtPdfOptionBadKind);
    PrtPdfOptRecord rec;
    if (!k->parse(text, len, &rec)) {
        // An encryption record that does not parse (the spooled refusal below)
        // is protection asked for and not given: the file is not left readable.
        if (doc && kind == kPdfOptEncrypt) PdfRefuseProtection(doc);
        return PrtPdfOptionRefused(k->parseDetail);
    }
    if (doc && k->apply(doc, &rec) != kPdfOk) return PrtPdfOptionRefused(k->applyDetail);
    return kPrtOk;
}
int32_t (*gPrtPdfOptionReplay)(PdfDocRec* doc, int kind, const char* text, size_t len) = PrtPdfOptionApply;

// The encryption record a spooling job writes for an encryption option it
// refused: a text that never parses, so that every replay of the spool file
// into a PDF file (at the close, or reopened later) is refused the same way
// and writes nothing, where a spool file without it would be written out in
// the clear.
constexpr char kPrtProtectRefusedText[] = "!refused";

// An option text that cannot be read. Protection asked for and not given:
// the job's PDF file, written now or from the spool file at the close, is
// deleted when it is finished, and the spool file keeps the refusal.
static int32_t PrtPdfOptionUnread(PrinterRec* j, const PdfOptionKind* k) {
    if (k->kind == kPdfOptEncrypt) {
        j->pdfFlags |= kPrtPdfProtectRefused;
        int32_t r = PrtSpoolPdfOption(j, kPdfOptEncrypt, kPrtProtectRefusedText, sizeof kPrtProtectRefusedText - 1);
        if (r) return r;
    }
    return PrtPdfOptionRefused(k->parseDetail);
}

// 2216-2219: a text that does not parse is neither spooled nor applied; one
// that parses is spooled as a record of its kind when the job spools, and
// applied when the job writes a PDF file.
int32_t PrtPdfOption(int kind, const char* text, size_t len) {
    PrinterRec* j = gCurPrtRec;
    if (!j) return kPrtOk;
    const PdfOptionKind* k = PrtPdfOptionKindOf(kind);
    if (!k) return PrtPdfOptionRefused(kPrtPdfOptionBadKind);
    PrtPdfOptRecord rec;
    if (!k->parse(text, len, &rec)) return PrtPdfOptionUnread(j, k);
    int32_t r = PrtSpoolPdfOption(j, kind, text, len);
    if (r) return r;
    return IsPdfJob(j) ? PrtPdfOptionApply(j->pdf, kind, text, len) : kPrtOk;
}

static int32_t PrtPdfOptionMsg(uint32_t type, const PrtMsgText& text) {
    return PrtPdfOption(kPdfOptionKinds[type - kPrtMsgPdfFirst].kind, text.text, text.len);
}

// ---- Messages ---------------------------------------------------------------------------------------------

// A drawing message's failure: latched with the detail the message left in
// the error cell, and one debug-log line with the PDF writer's reason for
// the writer's failures. A message that set no detail leaves the cell as it
// was (cellBefore).
static void PrtDrawRefused(int32_t r, int32_t cellBefore) {
    const int32_t detail = gPrtErrNo;
    if (!detail) gPrtErrNo = cellBefore;
    if (!r) return;
    PrtLatchError(r, detail);
    const bool pdf = r == kPdfFontNotMade || r == kPdfImageNotWritten || r == kPrtPdfOption;
    DebugLogWrite("PrtDrawRefused", "%d detail %d%s%s", r, detail, pdf && gPdfErrorText[0] ? ": " : "",
                  pdf ? gPdfErrorText : "");
}

// A message whose length does not fit it: nothing is read past it; the
// failure is latched like any drawing failure and returned at close. An
// encryption option whose text runs past its message is protection asked for
// and not given: refused as an encryption text that does not parse, so that
// the job's file is not left in the clear.
static int32_t PrtDrawUndecoded(uint32_t type) {
    PrinterRec* j = gCurPrtRec;
    if (j && type >= kPrtMsgPdfFirst && type <= kPrtMsgPdfLast) {
        const PdfOptionKind* k = &kPdfOptionKinds[type - kPrtMsgPdfFirst];
        if (k->kind == kPdfOptEncrypt) {
            const int32_t cellBefore = gPrtErrNo;
            gPrtErrNo = 0;
            snprintf(gPdfErrorText, sizeof gPdfErrorText, "the option text runs past its message");
            int32_t r = PrtPdfOptionUnread(j, k);
            PrtDrawRefused(r, cellBefore);
            return r;
        }
    }
    PrtLatchError(kPrtBadMessage);
    return kPrtBadMessage;
}

int32_t PrtDrawFromMsg(const SrvMsg* m) {
    PrtDrawMsg d;
    if (!PrtDecodeDraw(m->type, m->r, &d)) return PrtDrawUndecoded(m->type);
    // The spool record goes first; a record not written leaves the message undone.
    int32_t r = PrtSpoolRecord(d, m->type);
    if (r) {
        PrtLatchError(r);
        return r;
    }
    PrinterRec* j = gCurPrtRec;
    // The error cell keeps its value unless this message sets it: what it
    // sets is the detail of this message's failure.
    const int32_t cellBefore = gPrtErrNo;
    gPrtErrNo = 0;
    gPdfErrorText[0] = 0;
    if (m->type == kPrtMsgControl && d.code == kPrtCtlFormFeed && PrtIsSpooling(j) &&
        static_cast<uint16_t>(d.value) > 0) {
        r = PrtSpoolFormFeed(j, static_cast<uint16_t>(d.value));
        if (r) {
            PrtDrawRefused(r, cellBefore);
            return r;
        }
        j->flags |= kPrtFlagPageFresh;
    }
    switch (m->type) {
    case kPrtMsgResetSetup: PrtResetPageSetup(d.value ? kPrtSetupForced : kPrtSetupIfChanged); break;
    case kPrtMsgControl: r = PrtControlCode(d.code, static_cast<int32_t>(d.value)); break;
    case kPrtMsgColors: r = PrtSetColors(d.code, d.value); break;
    case kPrtMsgText: r = PrtText(d.text.text, d.text.len, kPrtTextRecorded); break;
    case kPrtMsgTextNumeric:
        r = PrtText(d.text.text, d.text.len, d.code == kPrtNumericPlayOnly ? kPrtTextPlayOnly : kPrtTextRecorded);
        break;
    case kPrtMsgSetPos: r = PrtSetPos(d.column, d.row); break;
    case kPrtMsgFont:
        r = d.fontObject ? PrtSetFontObject(d.code) : PrtSetFontText(d.text.text, d.text.len);
        if (r == kPrtOk) r = PrtSpoolFont(gCurPrtRec);
        break;
    case kPrtMsgLine: r = PrtLine(d.column, d.row); break;
    case kPrtMsgImage: r = PrtImageFromPict(d); break;
    case kPrtMsgRect: r = PrtRectangle(d.top, d.bottom, d.left, d.right); break;
    case kPrtMsgEllipse: r = PrtEllipse(d.top, d.bottom, d.left, d.right); break;
    case kPrtMsgRoundRect:
        r = PrtRoundRect(d.top, d.bottom, d.left, d.right, d.cornerWidth, d.cornerHeight);
        break;
    case kPrtMsgSelectDraw: PrtSelectJob(PrtJobFromHandle(d.code)); break;
    case kPrtMsgRegion: r = PrtSetRegion(d.top, d.bottom, d.left, d.right); break;
    default:
        if (m->type >= kPrtMsgPdfFirst && m->type <= kPrtMsgPdfLast) r = PrtPdfOptionMsg(m->type, d.text);
        break;
    }
    PrtDrawRefused(r, cellBefore);
    return r;
}
