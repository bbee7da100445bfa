// prtquery.cpp - what the server asks about a printer: the device information
// record, font metrics, the font list and the job font (information requests
// 258, 257 and 4), the printer-based font metrics and resolution the PDF
// writer asks for, and the printing of a window image ("Screen Dump").
#include "print/print.h"

#include <commdlg.h>

#include <cstdio>
#include <cstring>

#include "objects/objrecord.h"
#include "objects/paint.h"
#include "session/config.h"
#include "session/session.h"
#include "session/settings.h"
#include "session/util/codepage.h"

constexpr uint32_t kInfoListFonts = 4, kInfoFontMetrics = 257, kInfoDeviceInfo = 258;
constexpr uint32_t kInfoPreviewLabels = 433, kInfoPreviewCentred = 452;
constexpr int kSetPreviewCentred = 399;
constexpr size_t kMeasureMax = 40960;            // longest text measured
constexpr int kQualityLow = 300, kQualityHigh = 600;
constexpr int kPointsPerInch = 72;

static char gPrtAnswer[kPrtDeviceInfoLen + 1];   // the answer text of 258, 257 and 4
static char gPrtItem[kMeasureMax + 1];           // a list item or the text measured
static const char* const kPdfFamilies[] = {"Arial", "Courier New", "Symbol", "Times New Roman", "Zapf Dingbats"};

// A device distance in the units of a coordinate mode: the metric and English
// modes by the device's resolution, cell modes in cells, others unchanged.
static int32_t ToUnits(const PrinterRec* job, int mode, int32_t value, bool vertical) {
    if (PrtModeIsMetric(mode)) return PrtDeviceToUnits(mode, value, vertical ? job->dpiY : job->dpiX);
    uint32_t cell = 0;
    if (mode == kPrtModeCells) cell = vertical ? job->cellHeight : job->cellWidth;
    else if (mode == kPrtModeFontCells) cell = vertical ? job->fontCellHeight : job->fontCellWidth;
    return cell ? value / static_cast<int32_t>(cell) : value;
}

// The job's row or column in the units asked for. The job keeps it in its own
// units in the metric modes and in device pixels otherwise: asked in the
// job's own metric mode it is answered as stored, else through the device.
static int32_t PositionToUnits(const PrinterRec* job, int mode, int32_t stored, bool vertical) {
    bool metric = PrtModeIsMetric(job->coordMode);
    if (metric && mode == job->coordMode) return stored;
    int32_t device = metric ? PrtUnitsToDevice(job->coordMode, stored, vertical ? job->dpiY : job->dpiX) : stored;
    return ToUnits(job, mode, device, vertical);
}

// ---- Device information ----------------------------------------------------------------

void PrtDeviceInfo(int units, char* out) {
    PrinterRec* job = gCurPrtRec;
    out[0] = 0;
    if (!job) return;
    if (job->pdf) {
        PdfDeviceInfo(job->pdf, units, out);
        return;
    }
    HDC dc = job->dc;
    if (!dc) return;
    PrtDeviceInfoFields f = {};
    f.driverVersion = GetDeviceCaps(dc, DRIVERVERSION);
    f.pageWidth = ToUnits(job, units, GetDeviceCaps(dc, HORZRES), false);
    f.pageHeight = ToUnits(job, units, GetDeviceCaps(dc, VERTRES), true);
    f.widthMm = GetDeviceCaps(dc, HORZSIZE);
    f.heightMm = GetDeviceCaps(dc, VERTSIZE);
    f.colourDepth = GetDeviceCaps(dc, PLANES) * GetDeviceCaps(dc, BITSPIXEL);
    f.fonts = GetDeviceCaps(dc, NUMFONTS);
    f.stretches = (GetDeviceCaps(dc, RASTERCAPS) & RC_STRETCHDIB) != 0;
    f.copies = job->copies;
    f.allPages = (job->flags & kPrtFlagAllPages) != 0;
    f.selection = (job->flags & kPrtFlagSelection) != 0;
    f.firstPage = job->firstPage;
    f.lastPage = job->lastPage;
    // The job's text flags: right, decimal, fill, frame, transparent.
    static const uint32_t kTextBits[kPrtInfoJobFlags] = {kPrtTextRight, kPrtTextDecimal, kPrtTextFill, kPrtTextFrame,
                                          kPrtTextTransparent};
    for (int i = 0; i < kPrtInfoJobFlags; i++) f.jobFlags[i] = (job->textFlags & kTextBits[i]) != 0;
    char device[CCHDEVICENAME + 1] = "";
    DEVMODEA* dm = job->devMode ? static_cast<DEVMODEA*>(GlobalLock(job->devMode)) : nullptr;
    if (dm) {
        f.hasDevMode = true;
        memcpy(device, dm->dmDeviceName, CCHDEVICENAME);
        f.deviceName = device;
        const int32_t values[kPrtInfoSetupValues] = {
            dm->dmOrientation, dm->dmPaperSize,   dm->dmPaperLength,    dm->dmPaperWidth,
            dm->dmScale,       dm->dmCopies,      dm->dmDefaultSource,  dm->dmPrintQuality,
            dm->dmColor,       dm->dmDuplex,      dm->dmCollate};
        memcpy(f.setup, values, sizeof values);
        GlobalUnlock(job->devMode);
    }
    f.row = PositionToUnits(job, units, job->row, true);
    f.column = PositionToUnits(job, units, job->column, false);
    f.coordMode = job->coordMode;
    f.cellHeight = static_cast<int32_t>(job->cellHeight);
    f.cellWidth = static_cast<int32_t>(job->cellWidth);
    if (job->coordMode == kPrtModeCells) {
        f.rowField = PrtCellNumber(job->row, static_cast<int32_t>(job->cellHeight));
        f.columnField = PrtCellNumber(job->column, static_cast<int32_t>(job->cellWidth));
    } else {
        f.rowField = job->row;
        f.columnField = job->column;
    }
    PrtFormatDeviceInfo(f, out);
}

// ---- Font metrics ----------------------------------------------------------------------

// The device the metrics are taken on, and what must be undone afterwards.
struct MetricsDevice {
    HDC dc;
    bool ownDC;                 // a metrics printer opened for this request
    ObjectDCState windowState;  // the main window's context
    bool windowDC;
    int dpiX, dpiY;
};

static HDC OpenMetricsPrinter() {
    const char* name = ClientSettingGet(kSetPdfMetricsPrinter) && gClientConfig.metricsPrinter &&
                               gClientConfig.metricsPrinter[0]
                           ? gClientConfig.metricsPrinter
                           : "-";
    return PrtOpenDCByName(name, nullptr, kPrtNameKeep);
}

static void OpenMetricsDevice(const PrinterRec* job, MetricsDevice* m) {
    *m = MetricsDevice();
    if (job && !job->pdf && job->dc) {
        m->dc = job->dc;
    } else if (job && job->pdf) {
        m->dc = OpenMetricsPrinter();
        m->ownDC = m->dc != nullptr;
    }
    if (!m->dc) {
        m->dc = GetObjectDC(0, nullptr, &m->windowState);
        m->windowDC = m->dc != nullptr;
    }
    if (m->dc) {
        m->dpiX = GetDeviceCaps(m->dc, LOGPIXELSX);
        m->dpiY = GetDeviceCaps(m->dc, LOGPIXELSY);
    }
}

static void CloseMetricsDevice(MetricsDevice* m) {
    if (m->ownDC) DeleteDC(m->dc);
    if (m->windowDC) ReleaseObjectDC(&m->windowState);
    *m = MetricsDevice();
}

// One record of the font selected into dc for text (OEM converted when the
// session asks); false when the metrics cannot be read.
static bool MeasureRecord(HDC dc, int units, int dpiX, int dpiY, const char* text, size_t len, char* out) {
    TEXTMETRICA tm;
    if (!GetTextMetricsA(dc, &tm)) return false;
    if (len > kMeasureMax) len = kMeasureMax;
    static char ansi[kMeasureMax + 1];
    memcpy(ansi, text, len);
    ansi[len] = 0;
    const char* measured = OemToAnsiStr(ansi, 0);
    SIZE size = {0, 0};
    GetTextExtentPoint32A(dc, measured, static_cast<int>(len), &size);
    auto v = [&](int32_t d) { return PrtModeIsMetric(units) ? PrtDeviceToUnits(units, d, dpiY) : d; };
    auto h = [&](int32_t d) { return PrtModeIsMetric(units) ? PrtDeviceToUnits(units, d, dpiX) : d; };
    PrtFontMetricsFields f = {v(tm.tmAscent), v(tm.tmDescent), v(tm.tmHeight), v(tm.tmHeight + tm.tmExternalLeading),
                              h(tm.tmAveCharWidth), h(tm.tmMaxCharWidth), h(size.cx),
                              static_cast<uint8_t>(tm.tmFirstChar), static_cast<uint8_t>(tm.tmLastChar)};
    PrtFormatFontMetrics(f, out);
    return true;
}

// Each item of the list box replaced by the record of its own text; an empty
// list gets one item for the given text. Items are read with their length
// asked first; one longer than the longest text measured stays as it is.
static void MetricsIntoList(HWND list, HDC dc, const MetricsDevice& m, int units, const char* text, size_t len) {
    char record[kPrtFontMetricsLen + 1];
    LRESULT count = SendMessageA(list, LB_GETCOUNT, 0, 0);
    if (count <= 0) {
        if (MeasureRecord(dc, units, m.dpiX, m.dpiY, text, len, record))
            SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(record));
        return;
    }
    for (LRESULT i = 0; i < count; i++) {
        LRESULT n = SendMessageA(list, LB_GETTEXTLEN, static_cast<WPARAM>(i), 0);
        if (n < 0 || static_cast<size_t>(n) > kMeasureMax) continue;
        gPrtItem[0] = 0;
        SendMessageA(list, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(gPrtItem));
        gPrtItem[n] = 0;
        if (!MeasureRecord(dc, units, m.dpiX, m.dpiY, gPrtItem, static_cast<size_t>(n), record)) continue;
        SendMessageA(list, LB_DELETESTRING, static_cast<WPARAM>(i), 0);
        SendMessageA(list, LB_INSERTSTRING, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(record));
    }
}

bool PrtFontMetrics(PrinterRec* job, uint32_t fontObject, HWND list, const char* text, size_t len, int units,
                    char* out) {
    out[0] = 0;
    MetricsDevice m;
    OpenMetricsDevice(job, &m);
    if (!m.dc) return false;
    FontRec* made = gPrtFontFromObject ? gPrtFontFromObject(fontObject, m.dc) : nullptr;
    FontRec* own = nullptr;
    if (!made && m.windowDC) own = FontObjGetFont(ObjectFromHandle(fontObject));
    HGDIOBJ font = made ? made->hfont : own ? own->hfont : nullptr;
    bool ok = false;
    if (font) {
        HGDIOBJ old = SelectObject(m.dc, font);
        if (list) MetricsIntoList(list, m.dc, m, units, text, len);
        else ok = MeasureRecord(m.dc, units, m.dpiX, m.dpiY, text, len, out);
        // The job's font goes back into the job's context.
        if (job && !job->pdf && job->font && m.dc == job->dc) SelectObject(m.dc, job->font->hfont);
        else SelectObject(m.dc, old);
        ok = ok || list;
    }
    PrtFontRelease(made);
    CloseMetricsDevice(&m);
    return ok;
}

// ---- Fonts of the job ------------------------------------------------------------------

static int PrtListFontsProc(const LOGFONTA* lf, const TEXTMETRICA*, DWORD, LPARAM list) {
    SendMessageA(reinterpret_cast<HWND>(list), LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(lf->lfFaceName));
    return 1;
}

FontRec* PrtGetJobFont() { return gCurPrtRec ? gCurPrtRec->font : nullptr; }

// With a list box every face of the job's printer (the PDF writer's five
// families for a PDF target); without one the job font's face in out.
void PrtListFonts(PrinterRec* job, HWND list, char* out, size_t outSize) {
    out[0] = 0;
    if (!job) return;
    if (list) {
        if (job->pdf) {
            for (const char* face : kPdfFamilies) SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(face));
        } else if (job->dc) {
            EnumFontsA(job->dc, nullptr, GuardedFontEnumProc<PrtListFontsProc>, reinterpret_cast<LPARAM>(list));
        }
        return;
    }
    if (job->pdf) snprintf(out, outSize, "%s", PdfFontBaseName(job->pdf));
    else if (job->font) snprintf(out, outSize, "%s", job->font->face);
}

// ---- The information requests -------------------------------------------------------------

static HWND ListBoxOf(uint32_t handle) {
    ObjectRecord* rec = handle ? ObjectFromHandle(handle) : nullptr;
    return rec ? rec->hwnd : nullptr;
}

// 2031 codes 258, 257 and 4: +20 the job, +12 the units (258) or the Font
// object (257), +16 the List box object, +24 and +28 the text measured (257).
int32_t PrtInfoRequest(uint32_t code, const SrvMsg* m, const char** text) {
    PrtTextSettle();
    // The preview's label text and whether it centres over its owner.
    if (code == kInfoPreviewLabels) {
        *text = PrtPrevGetLabels();
        return static_cast<int32_t>(strlen(*text));
    }
    if (code == kInfoPreviewCentred) return ClientSettingGet(kSetPreviewCentred);
    if (code != kInfoDeviceInfo && code != kInfoFontMetrics && code != kInfoListFonts) return kNoAnswer;
    uint32_t arg1 = 0, arg2 = 0, handle = 0, len = 0;
    m->r.U32At(kInfArg1, &arg1);
    m->r.U32At(kInfArg2, &arg2);
    m->r.U32At(kInfHandle, &handle);
    HWND list = ListBoxOf(arg2);
    PrinterRec* job = PrtJobFromHandle(handle);
    gPrtAnswer[0] = 0;
    *text = gPrtAnswer;
    switch (code) {
    case kInfoDeviceInfo:
        if (PrtSelectJob(job) != kPrtOk) return 0;
        PrtDeviceInfo(static_cast<int>(arg1), gPrtAnswer);
        if (list) {
            SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(gPrtAnswer));
            gPrtAnswer[0] = 0;
        }
        break;
    case kInfoFontMetrics: {
        const char* measured = "";
        if (m->r.U32At(kInfTextLength, &len) && len && m->r.Has(kInfText, len))
            measured = reinterpret_cast<const char*>(m->r.PtrAt(kInfText, len));
        else
            len = 0;
        int units = job ? job->coordMode : 0;
        PrtFontMetrics(job ? job : gCurPrtRec, arg1, list, measured, len, units, gPrtAnswer);
        break;
    }
    case kInfoListFonts:
        PrtListFonts(job ? job : gCurPrtRec, list, gPrtAnswer, sizeof gPrtAnswer);
        break;
    }
    return static_cast<int32_t>(strlen(gPrtAnswer));
}

// ---- The PDF writer's printer ------------------------------------------------------------

// The font cell of a PDF text measured on the metrics printer (setting 371):
// its context is opened once per job.
static void PrtPdfMetricsFont(PdfDocRec* doc) {
    PrinterRec* job = gCurPrtRec;
    if (!ClientSettingGet(kSetPdfMetricsPrinter) || !job || job->pdf != doc || !doc->curFont) return;
    if (!job->metricsDC) job->metricsDC = OpenMetricsPrinter();
    if (!job->metricsDC) return;
    PrtFontStyle style = kPrtPlainStyle;
    style.bold = doc->curFont->bold != 0;
    style.italic = doc->curFont->italic != 0;
    FontRec* font = PrtFontCreate(doc->curFont->family, doc->fontSize * 10, style, 0, job->metricsDC);
    if (!font) return;
    HGDIOBJ old = SelectObject(job->metricsDC, font->hfont);
    TEXTMETRICA tm;
    int dpi = GetDeviceCaps(job->metricsDC, LOGPIXELSY);
    if (GetTextMetricsA(job->metricsDC, &tm) && dpi > 0) {
        doc->fontCellWidth = static_cast<double>(tm.tmAveCharWidth) * kPointsPerInch / dpi;
        doc->fontLineHeight = static_cast<double>(tm.tmHeight + tm.tmExternalLeading) * kPointsPerInch / dpi;
    }
    SelectObject(job->metricsDC, old);
    PrtFontRelease(font);
}

int PrtPdfResolution() {
    if (gCurPrtRec) return gCurPrtRec->setup[kPsPrintQuality] == kQualityLow ? kQualityLow : kQualityHigh;
    static bool asked;
    if (!gPrtDevMode && !asked) {
        asked = true;
        GetDefaultPageSetup();
    }
    int quality = 0;
    DEVMODEA* dm = gPrtDevMode ? static_cast<DEVMODEA*>(GlobalLock(gPrtDevMode)) : nullptr;
    if (dm) {
        quality = dm->dmPrintQuality;
        GlobalUnlock(gPrtDevMode);
    }
    return quality == kQualityLow ? kQualityLow : kQualityHigh;
}

// The account name of the information dictionary's author.
static bool PrtPdfUserName(char* out, size_t size) {
    DWORD n = static_cast<DWORD>(size);
    if (!size || !GetUserNameA(out, &n)) return false;
    return true;
}

// TrueType files named in the client ini's "PdfFonts" section.
static const char* PrtPdfIniFont(const char* key) { return GetIniSetting(key, "PdfFonts"); }

// The installed fonts: the values of the system's Fonts key, name and file.
static bool PrtPdfFontListEntry(DWORD index, char* name, size_t nameSize, char* file, size_t fileSize) {
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows NT\\CurrentVersion\\Fonts", 0, KEY_READ,
                      &key) != ERROR_SUCCESS)
        return false;
    DWORD nameLen = static_cast<DWORD>(nameSize), type = 0, dataLen = static_cast<DWORD>(fileSize - 1);
    LONG rc = RegEnumValueA(key, index, name, &nameLen, nullptr, &type, reinterpret_cast<BYTE*>(file), &dataLen);
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS) return false;
    file[dataLen < fileSize ? dataLen : fileSize - 1] = 0;
    if (type != REG_SZ && type != REG_EXPAND_SZ) file[0] = 0;
    return true;
}

// Information texts of PDF files from the system's ANSI code page.
static size_t PrtPdfAnsiToWide(const BYTE* text, size_t n, WORD* out, size_t outMax) {
    if (!n || !outMax) return 0;
    int units = MultiByteToWideChar(CP_ACP, 0, reinterpret_cast<const char*>(text), static_cast<int>(n),
                                    reinterpret_cast<wchar_t*>(out), static_cast<int>(outMax));
    return units > 0 ? static_cast<size_t>(units) : 0;
}

void PrtInstallQueryHooks() {
    gHooks.infoRequest = PrtInfoRequest;
    gPdfHooks.measureFont = PrtPdfMetricsFont;
    gPdfHooks.defaultPrintQuality = PrtPdfResolution;
    gPdfHooks.userName = PrtPdfUserName;
    gPdfHooks.consoleMode = gConsoleMode;
    gPdfHooks.iniFont = PrtPdfIniFont;
    gPdfHooks.fontListEntry = PrtPdfFontListEntry;
    gPdfHooks.ansiToWide = PrtPdfAnsiToWide;
}

// ---- Screen dump ----------------------------------------------------------------------------

constexpr int32_t kDumpNoJob = -1, kDumpFailed = -2;

int32_t PrtScreenDump(HWND window, uint32_t pict) {
    PrtOpenMsg o = PrtOpenMsg();
    o.name = {"-", 1};
    o.title = {"Screen Dump", 11};
    o.spool = {"", 0};
    o.pdfFile = {"", 0};
    o.pageLimit = -1;
    uint32_t err = 0;
    PrinterRec* previous = gCurPrtRec;
    PrinterRec* job = PrtOpen(&o, &err);
    if (!job) {
        PrtSetCurrent(previous);
        return kDumpNoJob;
    }
    PrtSetCurrent(job);
    HDC screen = window ? GetDC(window) : nullptr;
    RECT r;
    if (!screen || !GetWindowRect(window, &r)) {
        if (screen) ReleaseDC(window, screen);
        PrtCloseDefault(job);
        PrtSetCurrent(previous);
        return kDumpFailed;
    }
    int screenX = GetDeviceCaps(screen, LOGPIXELSX), screenY = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(window, screen);
    int32_t width = MulDiv(r.right - r.left + 1, GetDeviceCaps(job->dc, LOGPIXELSX), screenX);
    int32_t height = MulDiv(r.bottom - r.top + 1, GetDeviceCaps(job->dc, LOGPIXELSY), screenY);
    PrtControlCode(kPrtCtlCoordMode, kPrtModeDots);
    PrtImageInput img;
    int32_t result = kPrtOk;
    if (!gPrtPictImage || !gPrtPictImage(pict, kPrtImageFit, &img) ||
        PrtImage(&img, kPrtImageFit, 0, static_cast<uint16_t>(height), 0, static_cast<uint16_t>(width)) != kPrtOk)
        result = kDumpFailed;
    int32_t closed = PrtCloseDefault(job);
    PrtSetCurrent(previous);
    if (result == kPrtOk && closed != kPrtOk) result = kDumpFailed;
    return result;
}
