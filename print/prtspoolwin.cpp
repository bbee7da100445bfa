// prtspoolwin.cpp - the spool file of a print job on Win32: the file itself
// (created, read and written through the platform-free writer and reader of
// prtspool.cpp), the record side of the drawing messages, the replay of a
// page through the play side onto a printer, the preview or a PDF document,
// the printing of a page range from the file, and the reopening of an
// existing spool file (1203, 1216).
#include "print/print.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "session/config.h"
#include "session/log.h"
#include "session/session.h"
#include "session/util/mem.h"
#include "session/util/strutil.h"


// ---- The file ----------------------------------------------------------------------------

// A failure's detail in the error cell and the system's code in the error text.
void PrtSetWinErrText() {
    DWORD code = GetLastError();
    snprintf(gErrorText, kErrorTextSize, "WINERR:0x%-8lx", static_cast<unsigned long>(code));
}

void PrtSetWinErr(uint32_t detail) {
    PrtSetWinErrText();
    gPrtErrNo = static_cast<int32_t>(detail);
}

int32_t PrtEndDocument(HDC dc, int32_t result) {
    if (EndDoc(dc) > 0 || result) return result;
    PrtSetWinErrText();
    return kPrtNoMemory;
}

static bool FileWrite(void* ctx, const void* bytes, size_t n) {
    PrinterRec* j = static_cast<PrinterRec*>(ctx);
    DWORD done = 0;
    return n <= MAXDWORD && WriteFile(j->spool, bytes, static_cast<DWORD>(n), &done, nullptr) && done == n;
}

static bool FileRead(void* ctx, void* bytes, size_t n, size_t* got) {
    PrinterRec* j = static_cast<PrinterRec*>(ctx);
    DWORD done = 0;
    *got = 0;
    if (n > MAXDWORD || !ReadFile(j->spool, bytes, static_cast<DWORD>(n), &done, nullptr)) return false;
    *got = done;
    return true;
}

static bool FileSeek(void* ctx, uint64_t offset) {
    LARGE_INTEGER to;
    to.QuadPart = static_cast<LONGLONG>(offset);
    return offset <= INT64_MAX && SetFilePointerEx(static_cast<PrinterRec*>(ctx)->spool, to, nullptr, FILE_BEGIN);
}

static bool FileTell(void* ctx, uint64_t* offset) {
    LARGE_INTEGER zero, at;
    zero.QuadPart = 0;
    if (!SetFilePointerEx(static_cast<PrinterRec*>(ctx)->spool, zero, &at, FILE_CURRENT)) return false;
    *offset = static_cast<uint64_t>(at.QuadPart);
    return true;
}

static bool FileSize(void* ctx, uint64_t* size) {
    LARGE_INTEGER s;
    if (!GetFileSizeEx(static_cast<PrinterRec*>(ctx)->spool, &s)) return false;
    *size = static_cast<uint64_t>(s.QuadPart);
    return true;
}

static bool FileFlush(void* ctx) { return FlushFileBuffers(static_cast<PrinterRec*>(ctx)->spool) != 0; }

// A writer failure: the write error flag, the detail and the system's code.
static void FileFail(void* ctx, uint32_t detail) {
    static_cast<PrinterRec*>(ctx)->flags |= kPrtFlagSpoolError;
    PrtSetWinErr(detail);
}

static void PrtSpoolIoInit(PrinterRec* j) {
    j->spoolIo = SpoolIo{j, FileWrite, FileRead, FileSeek, FileTell, FileSize, FileFlush, FileFail};
}

HANDLE OpenSpoolFile(char* name, size_t size) {
    char dir[MAX_PATH];
    const char* env = getenv("TMP");
    if (!env || !*env) env = getenv("TEMP");
    if (!env || !*env) {
        if (!GetCurrentDirectoryA(sizeof dir, dir)) return INVALID_HANDLE_VALUE;
    } else {
        snprintf(dir, sizeof dir, "%s", env);
    }
    size_t n = strlen(dir);
    const char* slash = n && (dir[n - 1] == '\\' || dir[n - 1] == '/') ? "" : "\\";
    constexpr unsigned kSpoolNumbers = 10000;
    for (unsigned i = 0; i < kSpoolNumbers; i++) {
        if (snprintf(name, size, "%s%s~SPL%04u.TMP", dir, slash, i) >= static_cast<int>(size))
            return INVALID_HANDLE_VALUE;
        HANDLE h = CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                               nullptr);
        if (h != INVALID_HANDLE_VALUE) return h;
    }
    return INVALID_HANDLE_VALUE;
}

// The writer of a job that spools; the header form is chosen here.
bool PrtSpoolStart(PrinterRec* j) {
    j->spoolw = static_cast<SpoolWriter*>(GuardedAlloc(sizeof(SpoolWriter)));
    if (!j->spoolw) return false;
    PrtSpoolIoInit(j);
    bool utf16 = (j->pdfFlags & kPrtPdfUtf16) != 0;
    bool shortForm = SpoolUseShortForm(ClientSettingGet(kSetShortSpoolHeader) != 0, strlen(j->docName), utf16);
    SpoolWriterInit(j->spoolw, &j->spoolIo, !shortForm, utf16);
    j->spoolVersion = j->spoolw->version;
    return true;
}

void PrtSpoolRelease(PrinterRec* j) {
    GuardedFree(j->spoolw);
    j->spoolw = nullptr;
    if (j->spoolr) {
        SpoolReaderFree(j->spoolr);
        GuardedFree(j->spoolr);
        j->spoolr = nullptr;
    }
    SpoolImageCacheFree(&j->imageCache);
}

// ---- Record side ----------------------------------------------------------------------------

bool PrtIsSpooling(const PrinterRec* j) { return j && (j->flags & kPrtFlagSpooling) && j->spoolw; }

static void PageStateOfJob(const PrinterRec* j, SpoolPageState* s) {
    memset(s, 0, sizeof *s);
    s->textFlags = j->textFlags;
    s->textColor = j->textColor;
    s->backColor = j->backColor;
    if (j->font) {
        s->fontSize = static_cast<uint32_t>(j->font->size);
        s->angle = j->font->angle;
        s->bold = j->font->bold;
        s->italic = j->font->italic;
        s->underline = j->font->underline;
        s->strike = j->font->strike;
        snprintf(s->face, sizeof s->face, "%s", j->font->face);
    }
    s->penWidth = j->penWidth;
    s->coordMode = j->coordMode;
    s->ropIndex = j->ropIndex;
    for (size_t i = 0; i < kSpoolSetupValues; i++) s->setup[i] = j->setup[i];
    s->marginsSet = 1;
    s->leftMargin = j->leftMargin;
    s->topMargin = j->topMargin;
}

// The page record of the current page when it is still to be written (the
// file header first on the first page).
int32_t PrtSpoolHeader(PrinterRec* j) {
    if (j->flags & kPrtFlagPageRecord) return kPrtOk;
    if (!j->font) return kPrtFontNotMade;
    SpoolPageState s;
    PageStateOfJob(j, &s);
    int32_t r = SpoolBeginPage(j->spoolw, s, j->docName, j->decimalChar);
    if (r) return r;
    j->flags = (j->flags | kPrtFlagPageRecord) & ~kPrtFlagSpoolEmpty;
    j->spooledPages = j->spoolw->pages;
    j->pageRecordOffset = static_cast<uint32_t>(j->spoolw->pageOffset);
    j->pageRecordOffsetHigh = static_cast<uint32_t>(j->spoolw->pageOffset >> 32);
    return kPrtOk;
}

// A form feed of n pages: each ends the spooled page, an empty one included.
int32_t PrtSpoolFormFeed(PrinterRec* j, uint32_t n) {
    for (uint32_t i = 0; i < n; i++) {
        int32_t r = PrtSpoolHeader(j);
        if (r) return r;
        j->flags &= ~kPrtFlagPageRecord;
    }
    return kPrtOk;
}

// The record of one drawing message, written before it is played.
int32_t PrtSpoolRecord(const PrtDrawMsg& d, uint32_t type) {
    PrinterRec* j = gCurPrtRec;
    if (!PrtIsSpooling(j)) return kPrtOk;
    SpoolWriter* w = j->spoolw;
    bool pdfTarget = (j->pdfFlags & kPrtPdfTarget) != 0;
    switch (type) {
    case kPrtMsgControl:
        if (d.code == kPrtCtlFormFeed) return kPrtOk;   // ends the page instead (PrtSpoolFormFeed)
        if (pdfTarget) return kPrtOk;
        break;
    case kPrtMsgTextNumeric:
        if (d.code == kPrtNumericPlayOnly) return kPrtOk;
        break;
    case kPrtMsgColors: case kPrtMsgText: case kPrtMsgSetPos: case kPrtMsgLine: case kPrtMsgRect:
    case kPrtMsgEllipse: case kPrtMsgRoundRect: case kPrtMsgRegion:
        break;
    default:
        return kPrtOk;
    }
    int32_t r = PrtSpoolHeader(j);
    if (r) return r;
    switch (type) {
    case kPrtMsgControl: return SpoolWriteControl(w, d.code, static_cast<uint16_t>(d.value));
    case kPrtMsgColors: return SpoolWriteColor(w, d.code, PrtColorFromValue(d.value));
    case kPrtMsgText: return SpoolWriteText(w, kSpoolRecText, d.text.text, d.text.len);
    case kPrtMsgTextNumeric: return SpoolWriteText(w, kSpoolRecNumber, d.text.text, d.text.len);
    case kPrtMsgSetPos: return SpoolWriteFour(w, kSpoolRecPos, d.column, d.row);
    case kPrtMsgLine: return SpoolWriteFour(w, kSpoolRecLine, d.column, d.row);
    case kPrtMsgRect: return SpoolWriteShape(w, kSpoolRecRect, d.top, d.bottom, d.left, d.right);
    case kPrtMsgEllipse: return SpoolWriteShape(w, kSpoolRecEllipse, d.top, d.bottom, d.left, d.right);
    case kPrtMsgRoundRect:
        return SpoolWriteRoundRect(w, d.top, d.bottom, d.left, d.right, d.cornerWidth, d.cornerHeight);
    default: return SpoolWriteShape(w, kSpoolRecRegion, d.top, d.bottom, d.left, d.right);
    }
}

// The job font after a font message: its size, angle, styles and face.
int32_t PrtSpoolFont(PrinterRec* j) {
    if (!PrtIsSpooling(j) || !j->font) return kPrtOk;
    int32_t r = PrtSpoolHeader(j);
    if (r) return r;
    SpoolPageState f;
    PageStateOfJob(j, &f);
    return SpoolWriteFont(j->spoolw, f);
}

int32_t PrtSpoolImage(PrinterRec* j, const PrtImageInput* img, uint32_t mode, uint16_t top, uint16_t bottom,
                      uint16_t left, uint16_t right) {
    if (!PrtIsSpooling(j)) return kPrtOk;
    int32_t r = PrtSpoolHeader(j);
    if (r) return r;
    const BITMAPINFOHEADER* h = img->header;
    // Only what the replay can draw again goes into the file: rows, bit
    // fields with their masks, or run-length pixels (biSizeImage bytes),
    // with a palette for the depths that need one.
    uint32_t pixelBytes;
    if (!PrtImagePixelBytes(h, &pixelBytes)) return kPrtImageNotDrawn;
    if ((h->biBitCount <= 8 || h->biCompression == BI_BITFIELDS) && !img->palette) return kPrtImageNotDrawn;
    uint32_t colors = PrtImagePaletteCount(h);
    SpoolImage s = {};
    s.top = top;
    s.bottom = bottom;
    s.left = left;
    s.right = right;
    s.mode = mode;
    s.source[0] = img->source.left;
    s.source[1] = img->source.top;
    s.source[2] = img->source.right;
    s.source[3] = img->source.bottom;
    s.dib = reinterpret_cast<const uint8_t*>(h);
    s.palette = reinterpret_cast<const uint8_t*>(img->palette);
    s.colors = img->palette ? colors : 0;
    s.pixels = static_cast<const uint8_t*>(img->bits);
    s.pixelBytes = pixelBytes;
    bool drawsNow = (j->flags & kPrtFlagPrinterPage) != 0;
    r = SpoolWriteImage(j->spoolw, s, img->memo, drawsNow);
    j->spoolVersion = j->spoolw->version;
    return r;
}

// A PDF option after the page record it belongs to, its text in chunks.
int32_t PrtSpoolPdfOption(PrinterRec* j, int kind, const char* text, size_t len) {
    if (!PrtIsSpooling(j)) return kPrtOk;
    int32_t r = PrtSpoolHeader(j);
    if (r) return r;
    return SpoolWriteText(j->spoolw, static_cast<uint8_t>(kind), text, len);
}

int32_t PrtSpoolFinishFile(PrinterRec* j) {
    if (!j->spoolw) return kPrtOk;
    int32_t r = SpoolFinish(j->spoolw);
    j->spoolVersion = j->spoolw->version;
    return r;
}

// ---- Replay ---------------------------------------------------------------------------------------

static bool IsPdfTarget(const PrinterRec* j) { return (j->pdfFlags & kPrtPdfTarget) && j->pdf; }

// A font of a page record or a font record, on the job's device or for the PDF writer.
static int32_t PrtFontFromRecord(PrinterRec* j, const SpoolPageState& f) {
    int32_t size = static_cast<int32_t>(f.fontSize);
    constexpr int32_t kWholePointsBelow = 50, kTenths = 10;
    if ((j->flags & kPrtFlagWholePoints) && size < kWholePointsBelow) size *= kTenths;
    if (IsPdfTarget(j)) {
        PdfFontSpec spec = {};
        spec.size = static_cast<DWORD>(size);
        spec.angle = f.angle;
        spec.bold = f.bold;
        spec.italic = f.italic;
        spec.underline = f.underline;
        spec.strikeOut = f.strike;
        snprintf(spec.face, sizeof spec.face, "%s", f.face);
        return PdfSetFontSpec(j->pdf, &spec);
    }
    if (!j->dc) return kPrtFontNotMade;
    PrtFontStyle style = {f.bold != 0, f.italic != 0, f.underline != 0, f.strike != 0};
    FontRec* font = PrtFontCreate(f.face, size, style, f.angle, j->dc);
    if (!font) return kPrtFontNotMade;
    return PrtSelectJobFont(j, font);
}

// The page record's settings: text flags, colours, pen, coordinate mode,
// raster operation and page set-up (for a PDF target told through codes).
static void ApplyPageState(PrinterRec* j, const SpoolPageState& s) {
    j->textFlags = s.textFlags;
    j->penWidth = s.penWidth;
    j->ropIndex = s.ropIndex;
    for (size_t i = 0; i < kSpoolSetupValues; i++) j->setup[i] = s.setup[i];
    if (IsPdfTarget(j)) {
        PdfSetColors(j->pdf, kPrtCtlTextColor, s.textColor);
        PdfSetColors(j->pdf, kPrtCtlBackColor, s.backColor);
        PrtControlCode(kPrtCtlCoordMode, s.coordMode);
        uint32_t align = (s.textFlags & kPrtTextDecimal) ? kPrtAlignDecimal
                         : (s.textFlags & kPrtTextRight) ? kPrtAlignRight
                         : (s.textFlags & kPrtTextCentre) ? kPrtAlignCentre : 0;
        PdfControlCode(j->pdf, kPrtCtlAlign, static_cast<int16_t>(align));
        PdfControlCode(j->pdf, kPrtCtlFillShapes, (s.textFlags & kPrtTextFill) ? 1 : 0);
        PdfControlCode(j->pdf, kPrtCtlImageFrame, (s.textFlags & kPrtTextFrame) ? 1 : 0);
        PdfControlCode(j->pdf, (s.textFlags & kPrtTextTransparent) ? kPrtCtlTransparent : kPrtCtlOpaque, 0);
        PdfControlCode(j->pdf, kPrtCtlRtl, (s.textFlags & kPrtTextRtl) ? 1 : 0);
        PdfControlCode(j->pdf, kPrtCtlPenWidth, static_cast<int16_t>(s.penWidth));
        return;
    }
    j->textColor = s.textColor;
    j->backColor = s.backColor;
    PrtSetCoordMode(j, s.coordMode);
}

// The page of a PDF target: the first replayed page takes the page the
// document opened with, each later one a new page.
static int32_t PdfReplayPageStart(PrinterRec* j) {
    if (j->pdf->flags & kPdfFlagPageStarted) {
        PdfNewPage(j->pdf);
        j->flags = (j->flags & ~(kPrtFlagDocPending | kPrtFlagPageFresh)) | kPrtFlagPageOpen;
        return kPrtOk;
    }
    return PrtPageStart();
}

static int32_t StartReplayPage(PrinterRec* j) {
    if (j->flags & kPrtFlagPageOpen) return kPrtOk;
    return IsPdfTarget(j) ? PdfReplayPageStart(j) : PrtPageStart();
}

// An image record as the play side takes it: an aligned copy of its header,
// and a source rectangle only when it lies inside the picture. Its identity
// is the record's place in the file, so that a PDF file holds a picture drawn
// on many pages (records of type 15 referring to one record) once.
static int32_t PlayImage(const SpoolRecord& rec, uint64_t fileOffset, uint16_t top, uint16_t bottom, uint16_t left,
                         uint16_t right) {
    BITMAPINFOHEADER h;
    memcpy(&h, rec.dib, sizeof h);
    h.biSize = sizeof h;
    PrtImageInput img = {};
    img.header = &h;
    img.palette = reinterpret_cast<const RGBQUAD*>(rec.palette);
    img.bits = rec.pixels;
    img.identity[0] = static_cast<uint32_t>(fileOffset);
    img.identity[1] = static_cast<uint32_t>(fileOffset >> 32);
    int32_t rows = h.biHeight < 0 ? -h.biHeight : h.biHeight;
    const int32_t* s = rec.source;
    if (s[0] >= 0 && s[1] >= 0 && s[2] <= h.biWidth && s[3] <= rows && s[0] < s[2] && s[1] < s[3])
        img.source = RECT{s[0], s[1], s[2], s[3]};
    return PrtImage(&img, rec.mode, top, bottom, left, right);
}

// Files of header version 2 wrote landscape as control code 277 with 1
// (later ones with 2): the replay passes it on as the value of today, on the
// printer and into a PDF file alike.
constexpr uint32_t kSpoolVersionOldLandscape = 2;
constexpr uint32_t kSpoolOldLandscapeValue = 1;

static int32_t PlayedControlValue(const SpoolReader* r, const SpoolRecord& rec) {
    if (r->fileVersion == kSpoolVersionOldLandscape && rec.code == kPrtCtlOrientation &&
        rec.value == kSpoolOldLandscapeValue)
        return kPrtOrientLandscape;
    return static_cast<int32_t>(rec.value);
}

static int32_t PlayRecord(PrinterRec* j, SpoolReader* r, const SpoolRecord& rec) {
    const char* text = reinterpret_cast<const char*>(rec.text);
    switch (rec.type) {
    case kSpoolRecControl: return PrtControlCode(rec.code, PlayedControlValue(r, rec));
    case kSpoolRecColor: return PrtColorsPlay(rec.code, rec.value);
    case kSpoolRecText: case kSpoolRecNumber: return PrtText(text, rec.textLen, kPrtTextRecorded);
    case kSpoolRecPos: return PrtSetPos(rec.column, rec.row);
    case kSpoolRecOldFont: case kSpoolRecFont: return PrtFontFromRecord(j, rec.font);
    case kSpoolRecImage: return PlayImage(rec, r->pageOffset + rec.at, rec.top, rec.bottom, rec.left, rec.right);
    case kSpoolRecLine: return PrtLine(rec.column, rec.row);
    case kSpoolRecRect: return PrtRectangle(rec.top, rec.bottom, rec.left, rec.right);
    case kSpoolRecEllipse: return PrtEllipse(rec.top, rec.bottom, rec.left, rec.right);
    case kSpoolRecRoundRect:
        return PrtRoundRect(rec.top, rec.bottom, rec.left, rec.right, rec.cornerWidth, rec.cornerHeight);
    case kSpoolRecRegion: return PrtSetRegion(rec.top, rec.bottom, rec.left, rec.right);
    case kSpoolRecImageRef: {
        SpoolRecord img;
        int32_t res = SpoolReadImageRef(r, rec.refOffset, rec.refSize, &j->imageCache, &img);
        if (res) return res;
        return PlayImage(img, rec.refOffset, rec.top, rec.bottom, rec.left, rec.right);
    }
    default:
        // PDF options go to the option facility when it is there; else stepped over.
        if (gPrtPdfOptionReplay && IsPdfTarget(j))
            return gPrtPdfOptionReplay(j->pdf, rec.type, text, rec.textLen);
        return kPrtOk;
    }
}

static bool IsPrologueType(uint8_t t) {
    return t == kSpoolRecControl || t == kSpoolRecColor || t == kSpoolRecPos || t == kSpoolRecOldFont ||
           t == kSpoolRecFont;
}

// A margin of the page record (or one its prologue set) in the coordinate
// mode it was given in.
static int32_t PlayMargin(PrinterRec* j, uint32_t code, uint16_t value, uint8_t mode) {
    uint8_t inForce = j->coordMode;
    if (mode) PrtControlCode(kPrtCtlCoordMode, mode);
    int32_t r = PrtControlCode(code, value);
    PrtControlCode(kPrtCtlCoordMode, inForce);
    return r;
}

static int32_t Refused(uint32_t detail) {
    gPrtErrNo = static_cast<int32_t>(detail);
    return kPrtSpoolBad;
}

int32_t SpoolPlayPage(PrinterRec* j) {
    SpoolReader* r = j->spoolr;
    j->flags = (j->flags | kPrtFlagRemakePen) & ~kPrtFlagPageOpen;
    j->row = j->column = 0;
    if (!r || !r->page) return kPrtOk;
    SpoolPageState ps;
    SpoolDecodePageRecord(r->page, r->oldPageRecord, &ps);
    int32_t res = PrtFontFromRecord(j, ps);
    if (res) return res;
    ApplyPageState(j, ps);
    if (IsPdfTarget(j) && (res = StartReplayPage(j)) != kPrtOk) return res;

    size_t off = kSpoolPageRecord;
    bool leftSet = false, topSet = false;
    uint16_t left = ps.leftMargin, top = ps.topMargin;
    uint8_t leftMode = j->leftMarginMode, topMode = j->topMarginMode;
    SpoolRecord rec;
    SpoolDecode d;
    while ((d = SpoolDecodeRecord(r->page, r->pageLen, off, &rec)) == kSpoolDecodeOk && IsPrologueType(rec.type)) {
        bool margin = rec.type == kSpoolRecControl &&
                      (rec.code == kPrtCtlLeftMargin || rec.code == kPrtCtlTopMargin) && ps.marginsSet;
        if (margin && rec.code == kPrtCtlLeftMargin) {
            left = static_cast<uint16_t>(rec.value);
            leftMode = j->coordMode;
            leftSet = true;
        } else if (margin) {
            top = static_cast<uint16_t>(rec.value);
            topMode = j->coordMode;
            topSet = true;
        } else if ((res = PlayRecord(j, r, rec)) != kPrtOk) {
            return res;
        }
        off += rec.size;
    }
    if (!IsPdfTarget(j) && (res = StartReplayPage(j)) != kPrtOk) return res;
    if (ps.marginsSet) {
        (void)leftSet;
        (void)topSet;
        PlayMargin(j, kPrtCtlLeftMargin, left, leftMode);
        PlayMargin(j, kPrtCtlTopMargin, top, topMode);
    }
    for (;;) {
        d = SpoolDecodeRecord(r->page, r->pageLen, off, &rec);
        if (d == kSpoolDecodePageEnd) break;
        if (d == kSpoolDecodeBad) {
            res = Refused(kSpoolBadRecord);
            break;
        }
        if ((res = PlayRecord(j, r, rec)) != kPrtOk) break;
        off += rec.size;
    }
    if ((j->flags & kPrtFlagPrinterPage) && (j->flags & kPrtFlagPageOpen) && !IsPdfTarget(j) && j->dc) {
        if (EndPage(j->dc) <= 0 && !res) res = kPrtNoMemory;
    }
    if (j->flags & kPrtFlagPreviewDC) PrtPrevEndPage(j);
    j->flags &= ~kPrtFlagPageOpen;
    return res;
}

// Reads the header and the first page of the job's spool file.
int32_t PrtSpoolOpenReader(PrinterRec* j) {
    if (!j->spoolr) {
        j->spoolr = static_cast<SpoolReader*>(GuardedAlloc(sizeof(SpoolReader)));
        if (!j->spoolr) return kPrtNoMemory;
        memset(j->spoolr, 0, sizeof *j->spoolr);
    }
    PrtSpoolIoInit(j);
    uint8_t decimal = static_cast<uint8_t>(gClientConfig.decimalChar ? gClientConfig.decimalChar : '.');
    int32_t r = SpoolReadHeader(j->spoolr, &j->spoolIo, decimal);
    if (r == kPrtSpoolBad) gPrtErrNo = static_cast<int32_t>(j->spoolr->detail);
    if (r) return r;
    SpoolReader* s = j->spoolr;
    j->spoolVersion = s->version;
    if (s->wholePoints) j->flags |= kPrtFlagWholePoints;
    if (s->oldPageRecord) j->flags |= kPrtFlagOldPageRecord;
    if (s->oneShort) j->pdfFlags |= kPrtPdfShortHeader;
    if (s->utf16) j->pdfFlags |= kPrtPdfUtf16;
    if (s->flags & kSpoolFileNamed) j->decimalChar = s->decimal;
    snprintf(j->docName, sizeof j->docName, "%s", s->docName);
    j->largestPage = s->largest;
    j->prevFirst = 1;
    j->prevLast = s->pages;
    return kPrtOk;
}

int32_t PrtSpoolStep(PrinterRec* j, bool back, bool* moved) {
    *moved = false;
    if (!j->spoolr) return kPrtOk;
    int32_t r = SpoolStepPage(j->spoolr, back, moved);
    if (r == kPrtSpoolBad) gPrtErrNo = static_cast<int32_t>(j->spoolr->detail);
    return r;
}

int32_t PrtSpoolGoTo(PrinterRec* j, uint32_t n) {
    if (!j->spoolr) return kPrtOk;
    bool reached = false;
    int32_t r = SpoolGoToPage(j->spoolr, n, &reached);
    if (r == kPrtSpoolBad) gPrtErrNo = static_cast<int32_t>(j->spoolr->detail);
    return r;
}

int32_t SpoolPrintPages(PrinterRec* j, bool rewind, uint32_t pdfArg) {
    j->flags |= kPrtFlagPrinterPage | kPrtFlagDocPending;
    if (j->pdfFlags & kPrtPdfSpool) {
        if (j->dc) DeleteDC(j->dc);
        j->dc = j->drawDC = nullptr;
        j->pdfFlags |= kPrtPdfTarget;
        PrtDeviceSetup(j, j->title, strlen(j->title), pdfArg);
        if (!j->pdf) return kPrtNoMemory;
        PrtSetCurrent(j);
    }
    int32_t res = rewind && j->spoolr && j->spoolr->page ? SpoolRewind(j->spoolr) : PrtSpoolOpenReader(j);
    if (res) return res;
    uint32_t first = j->prevFirst ? j->prevFirst : 1, last = j->prevLast;
    uint32_t from = first, to = last;
    if (!(j->flags & (kPrtFlagAllPages | kPrtFlagSelection))) {
        if (j->firstPage >= 2) from = first - 1 + j->firstPage;
        uint64_t lastWanted = static_cast<uint64_t>(first) - 1 + j->lastPage;
        if (lastWanted < to) to = static_cast<uint32_t>(lastWanted);
    }
    uint32_t printed = 0;
    if (from <= to) {
        bool moved = true;
        for (uint32_t count = 1; moved; count++) {
            if (count >= from) {
                res = SpoolPlayPage(j);
                if (res) break;
                printed++;
            }
            if (count >= to) break;
            if ((res = PrtSpoolStep(j, false, &moved)) != kPrtOk) break;
        }
    }
    if (!(j->flags & kPrtFlagDocPending) && j->dc && !IsPdfTarget(j)) res = PrtEndDocument(j->dc, res);
    j->flags |= kPrtFlagDocPending;
    j->pagesPrinted = printed;
    return res;
}

// ---- Open from an existing spool file (1203, 1216) -------------------------------------------------

// Words of the open-from-spool block.
enum PrtSpoolOpenWord : size_t {
    kSpoolOpenOwner = 0, kSpoolOpenNameLen = 1, kSpoolOpenPrinterLen = 3, kSpoolOpenTitleLen = 5,
    kSpoolOpenClose = 6, kSpoolOpenWords = 17,
};
constexpr size_t kSpoolOpenTextsAt = 76;
constexpr size_t kPrtCloseWordLastPage = 0, kPrtCloseWordFirstPage = 3;

bool PrtDecodeOpenFromSpool(const SrvMsg* m, PrtSpoolOpenMsg* out) {
    memset(out, 0, sizeof *out);
    for (size_t i = 0; i < kSpoolOpenWords; i++)
        if (!m->r.U32At(8 + 4 * i, &out->block[i])) return false;
    size_t at = kSpoolOpenTextsAt;
    PrtMsgText* texts[3] = {&out->spool, &out->printer, &out->title};
    const size_t lens[3] = {kSpoolOpenNameLen, kSpoolOpenPrinterLen, kSpoolOpenTitleLen};
    for (int i = 0; i < 3; i++) {
        uint32_t len = out->block[lens[i]];
        const uint8_t* p = m->r.PtrAt(at, len);
        if (!p) return false;
        texts[i]->text = reinterpret_cast<const char*>(p);
        texts[i]->len = len;
        at += len;
    }
    return true;
}

// Opens the spool file for reading: shared for reading, else alone.
static HANDLE OpenSpoolForReading(const char* name) {
    HANDLE h = CreateFileA(name, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        h = CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    return h;
}

int32_t PrtOpenFromSpool(PrtSpoolOpenMsg* o) {
    uint32_t* close = o->block + kSpoolOpenClose;
    uint32_t options = close[kPrtCloseWordOptions];
    PrtErrorClear();
    // A spool name that cannot be used as given (NameIsWhole) would read
    // another file into the job: refused before anything is opened.
    if (!NameIsWhole(o->spool.text, o->spool.len, kPrtSpoolNameSize - 1)) return kPrtSpoolNotOpened;
    // So would a printer name choose another printer: refused as one not found.
    if (!PrtNameIsWhole(o->printer.text, o->printer.len)) return kPrtNoMemory;
    PrinterRec* j = PrtRecAlloc(kPrtFlagDocPending | kPrtFlagGdiJob | kPrtFlagCells, kPrtTextFrame);
    if (!j) return kPrtNoMemory;
    j->openOptions = options;
    if (options & kPrtOptPdfPreview) j->pdfFlags |= kPrtPdfPreviewOpt;
    if (options & kPrtOptUtf16) j->pdfFlags |= kPrtPdfUtf16;
    size_t tl = o->title.len < kPrtTitleMax ? o->title.len : kPrtTitleMax;
    memcpy(j->title, o->title.text, tl);
    j->title[tl] = 0;

    char name[kPrtSpoolNameSize];
    size_t nl = o->printer.len < sizeof name - 1 ? o->printer.len : sizeof name - 1;
    memcpy(name, o->printer.text, nl);
    name[nl] = 0;
    const char* target = name[0] == '!' ? name + 1 : name;
    if (target[0] == 0 || strcmp(target, "@?") == 0) {
        if (target[0]) j->flags |= kPrtFlagPreviewAtClose;
        if (!AdvPrtOpenByDlg(j, o->block[kSpoolOpenOwner], kPrtDlgTakeDevMode, -1, nullptr, kPrtDlgKeepHandles)) {
            close[kPrtCloseWordDetail] = j->openError;
            PrtRecFree(j);
            return kPrtNoMemory;
        }
        if (!(j->flags & kPrtFlagAllPages)) {
            close[kPrtCloseWordFirstPage] = j->firstPage;
            close[kPrtCloseWordLastPage] = j->lastPage;
        }
        target = nullptr;
    } else if (target[0] == '@') {
        j->flags |= kPrtFlagPreviewAtClose;
        target++;
    }
    if (target) {
        if (_strnicmp(target, "pdf:", 4) == 0 && target[4] == 0) j->pdfFlags |= kPrtPdfSpool;
        if (!target[0] || (j->pdfFlags & kPrtPdfSpool)) target = "-";
        j->dc = OpenPrtByName(target, j);
        j->flags |= kPrtFlagAllPages;
        j->copies = 1;
    }
    if (!j->dc || !PrtPdfTitleUsable(j, o->title.text, o->title.len) ||
        PrtDeviceSetup(j, j->title, strlen(j->title), options) != kPrtOk) {
        PrtCloseDefault(j);
        return kPrtNoMemory;
    }
    memcpy(j->spoolName, o->spool.text, o->spool.len);
    j->spoolName[o->spool.len] = 0;
    j->spool = OpenSpoolForReading(j->spoolName);
    if (j->spool == INVALID_HANDLE_VALUE) {
        PrtCloseDefault(j);
        return kPrtSpoolNotOpened;
    }
    if (!(j->flags & kPrtFlagPreviewAtClose)) {
        j->flags |= kPrtFlagPrintSpool;
        uint32_t firstPage = close[kPrtCloseWordFirstPage], lastPage = close[kPrtCloseWordLastPage];
        if (firstPage || lastPage) {
            j->flags &= ~(kPrtFlagAllPages | kPrtFlagSelection);
            j->firstPage = static_cast<uint16_t>(firstPage ? firstPage : 1);
            j->lastPage = static_cast<uint16_t>(lastPage ? lastPage : kPrtLastPageNone);
        }
    }
    PrtSetCurrent(j);
    return PrtClose(j, close);
}

PrtJobAnswer PrtOpenFromSpoolMsg(const SrvMsg* m) {
    PrtJobAnswer a = {0, 0, 0, 0, nullptr};
    PrtSpoolOpenMsg o;
    if (!PrtDecodeOpenFromSpool(m, &o)) {
        a.value = kPrtBadMessage;
        return a;
    }
    a.value = PrtOpenFromSpool(&o);
    uint32_t* close = o.block + kSpoolOpenClose;
    a.detail = static_cast<int32_t>(close[kPrtCloseWordDetail]);
    a.pages = static_cast<int32_t>(close[kPrtCloseWordPages]);
    a.copies = static_cast<int32_t>(close[kPrtCloseWordCopies]);
    return a;
}
