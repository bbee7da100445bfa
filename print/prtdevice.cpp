// prtdevice.cpp - the device of a print job: the print dialog, the set-up of a
// newly opened job (default font and character cell, page metrics, colours,
// pen and brush, or the PDF file), the lazy start of each page, and the page
// set-up values written into the job's DEVMODE.
#include "print/print.h"

#include <commdlg.h>

#include <cctype>
#include <cstdio>
#include <cstring>

#include "session/config.h"
#include "session/session.h"
#include "session/util/mem.h"
#include "session/util/strutil.h"

void (*gPrtDlgHook)(HWND dlg);

// Page metrics of the last device set-up, for message 1201.
static int32_t gPrtPageWidth, gPrtPageHeight, gPrtCharsPerLine, gPrtLinesPerPage;
static char gPrtPdfFolder[MAX_PATH];

constexpr uint32_t kPrtDefaultFontSize = 110;  // 11 points
constexpr int32_t kPdfPageWidth = 5100, kPdfPageHeight = 6600, kPdfCharsPerLine = 90, kPdfLinesPerPage = 67;
constexpr DWORD kPrtDlgWithDevMode = PD_RETURNDC | PD_USEDEVMODECOPIESANDCOLLATE | PD_NOSELECTION;
constexpr DWORD kPrtDlgWithoutDevMode = 0x4010C;
constexpr uint16_t kPrtMaxPageDefault = 32000;
constexpr uint16_t kPaperUser = 256;

// Raster operations by the job's index; R2_COPYPEN from the set-up on.
constexpr uint32_t kPrtRopCopyPen = 2;
static const int kPrtRopTable[8] = {R2_COPYPEN, R2_BLACK, R2_COPYPEN, R2_NOT,
                                    R2_MASKNOTPEN, R2_MASKPEN, R2_MASKPENNOT, R2_MERGENOTPEN};

// DEVMODE fields of the page set-up values, in PrtSetupIndex order.
static const DWORD kPrtSetupBits[kPsCount] = {
    DM_ORIENTATION, DM_PAPERSIZE, DM_PAPERLENGTH, DM_PAPERWIDTH, DM_SCALE, DM_COPIES,
    DM_DEFAULTSOURCE, DM_PRINTQUALITY, DM_COLOR, DM_DUPLEX, DM_COLLATE,
};

static short* DevModeField(DEVMODEA* dm, int index) {
    switch (index) {
    case kPsOrientation: return &dm->dmOrientation;
    case kPsPaperSize: return &dm->dmPaperSize;
    case kPsPaperLength: return &dm->dmPaperLength;
    case kPsPaperWidth: return &dm->dmPaperWidth;
    case kPsScale: return &dm->dmScale;
    case kPsCopies: return &dm->dmCopies;
    case kPsDefaultSource: return &dm->dmDefaultSource;
    case kPsPrintQuality: return &dm->dmPrintQuality;
    case kPsColor: return &dm->dmColor;
    case kPsDuplex: return &dm->dmDuplex;
    default: return &dm->dmCollate;
    }
}

// ---- Print dialog ---------------------------------------------------------------------

static UINT_PTR PrtDlgHookProc(HWND dlg, UINT msg, WPARAM, LPARAM) {
    if (msg == WM_INITDIALOG && gPrtDlgHook) gPrtDlgHook(dlg);
    return 0;
}

bool AdvPrtOpenByDlg(PrinterRec* job, uint32_t owner, PrtDlgDevMode devMode, int32_t pageLimit, HWND ownerWnd,
                     PrtDlgReplace replace) {
    if (!PrtLibrariesReady()) return false;
    bool wantDevMode = devMode == kPrtDlgTakeDevMode;
    PRINTDLGA pd;
    memset(&pd, 0, sizeof pd);
    pd.lStructSize = sizeof pd;
    pd.hwndOwner = PrtOwnerWindow(ownerWnd, owner);
    if (ClientSettingGet(kSetSingleCopy) && gPrtDevMode) {
        DEVMODEA* dm = static_cast<DEVMODEA*>(GlobalLock(gPrtDevMode));
        if (dm) {
            dm->dmCopies = 1;
            GlobalUnlock(gPrtDevMode);
        }
    }
    pd.hDevMode = gPrtDevMode;
    pd.hDevNames = gPrtDevNames;
    if (wantDevMode) {
        pd.Flags = kPrtDlgWithDevMode;
        if (job->flags & kPrtFlagSelection) pd.Flags &= ~PD_NOSELECTION;
        if (job->flags & kPrtFlagNoPageNums) pd.Flags |= PD_NOPAGENUMS;
    } else {
        pd.Flags = kPrtDlgWithoutDevMode;
    }
    if (gPrtDlgHook) {
        pd.Flags |= PD_ENABLEPRINTHOOK;
        pd.lpfnPrintHook = GuardedDialogProc<UINT_PTR, PrtDlgHookProc>;
    }
    pd.nCopies = 1;
    pd.nFromPage = 1;
    pd.nMinPage = 1;
    if (pageLimit > 0) {
        pd.nToPage = pd.nMaxPage = static_cast<WORD>(pageLimit > kPrtMaxPageDefault ? kPrtMaxPageDefault : pageLimit);
    } else if (pageLimit == 0) {
        pd.nToPage = pd.nMaxPage = 1;
    } else {
        pd.nToPage = 1;
        pd.nMaxPage = kPrtMaxPageDefault;
    }
    if (!PrintDlgA(&pd)) {
        job->openError = 1;
        // A failure (not a cancel) may still have handed back new handles.
        if (pd.hDevMode && pd.hDevMode != gPrtDevMode) GlobalFree(pd.hDevMode);
        if (pd.hDevNames && pd.hDevNames != gPrtDevNames) GlobalFree(pd.hDevNames);
        return false;
    }
    char device[kPrtNameMax + 1] = "";
    DEVNAMES* dn = pd.hDevNames ? static_cast<DEVNAMES*>(GlobalLock(pd.hDevNames)) : nullptr;
    if (dn) {
        snprintf(device, sizeof device, "%s", reinterpret_cast<const char*>(dn) + dn->wDeviceOffset);
        GlobalUnlock(pd.hDevNames);
    }
    DEVMODEA* dm = pd.hDevMode ? static_cast<DEVMODEA*>(GlobalLock(pd.hDevMode)) : nullptr;
    if (dm) {
        if (!device[0])
            snprintf(device, sizeof device, "%.*s", static_cast<int>(sizeof dm->dmDeviceName),
                     reinterpret_cast<const char*>(dm->dmDeviceName));
        job->copies = dm->dmCopies ? dm->dmCopies : 1;
        GlobalUnlock(pd.hDevMode);
    } else {
        job->copies = 1;
    }
    snprintf(gPrtName, sizeof gPrtName, "%s", device);

    if (gPrtDevMode && gPrtDevMode != pd.hDevMode) GlobalFree(gPrtDevMode);
    if (gPrtDevNames && gPrtDevNames != pd.hDevNames) GlobalFree(gPrtDevNames);
    gPrtDevMode = pd.hDevMode;
    gPrtDevNames = pd.hDevNames;
    if (wantDevMode) {
        if (replace == kPrtDlgReplaceHandles) {
            if (job->devMode) GlobalFree(job->devMode);
            if (job->devNames) GlobalFree(job->devNames);
        }
        job->devMode = DupGlobalMem(gPrtDevMode);
        job->devNames = DupGlobalMem(gPrtDevNames);
    }
    if (pd.Flags & PD_PAGENUMS) {
        job->firstPage = pd.nFromPage;
        job->lastPage = pd.nToPage;
    } else if (pd.Flags & PD_SELECTION) {
        job->flags |= kPrtFlagSelection;
    } else {
        job->flags |= kPrtFlagAllPages;
    }
    if (replace == kPrtDlgReplaceHandles && job->dc) DeleteDC(job->dc);
    job->dc = pd.hDC;
    return true;
}

// ---- PDF file name ---------------------------------------------------------------------

// Only names from the root of a drive or a share are taken; one without any
// "." gets ".pdf". A name longer than a job's title holds (where the preview
// keeps it) is refused like a cancel: cut, it would be another file.
static bool PrtUsablePdfName(char* name, size_t size) {
    bool rooted = (isalpha(static_cast<unsigned char>(name[0])) && name[1] == ':') ||
                  (name[0] == '\\' && name[1] == '\\');
    if (!rooted) return false;
    if (!strchr(name, '.')) {
        size_t n = strlen(name);
        if (n + 4 >= size) return false;
        strcpy(name + n, ".pdf");
    }
    return strlen(name) <= kPrtTitleMax;
}

// The file dialog handed to the dialogs' hook (tests run it unattended).
static UINT_PTR PrtFileDlgHookProc(HWND dlg, UINT msg, WPARAM, LPARAM) {
    if (msg == WM_INITDIALOG && gPrtDlgHook) gPrtDlgHook(GetParent(dlg));
    return 0;
}

bool PrtAskPdfFileName(PrinterRec* job, char* nameOut) {
    (void)job;
    if (!PrtLibrariesReady()) return false;
    char file[MAX_PATH] = "";
    OPENFILENAMEA ofn;
    memset(&ofn, 0, sizeof ofn);
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = PrtOwnerWindow(nullptr, 0);
    ofn.lpstrFilter = "PDF files (*.PDF)\0*.PDF\0";
    ofn.lpstrFile = file;
    ofn.nMaxFile = sizeof file;
    ofn.lpstrTitle = "Save PDF As";
    ofn.lpstrInitialDir = gPrtPdfFolder[0] ? gPrtPdfFolder : nullptr;
    ofn.Flags = OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST;
    if (gPrtDlgHook) {
        ofn.Flags |= OFN_ENABLEHOOK | OFN_EXPLORER;
        ofn.lpfnHook = GuardedDialogProc<UINT_PTR, PrtFileDlgHookProc>;
    }
    if (!GetSaveFileNameA(&ofn)) return false;
    if (!PrtUsablePdfName(file, kPdfFileNameMax + 1)) return false;
    snprintf(gPrtPdfFolder, sizeof gPrtPdfFolder, "%s", file);
    char* slash = strrchr(gPrtPdfFolder, '\\');
    if (slash) *slash = 0;
    snprintf(nameOut, kPdfFileNameMax + 1, "%s", file);
    return true;
}

// ---- Device set-up ------------------------------------------------------------------------

// On the preview the pen is as wide as the scale makes it, at least a pixel.
void PrtMakePen(PrinterRec* job) {
    if (job->pen) DeleteObject(job->pen);
    COLORREF c = (job->flags & kPrtFlagMono) ? PrtGrey(job->textColor) : job->textColor;
    int32_t width = job->penWidth ? job->penWidth : 1;
    if ((job->flags & kPrtFlagPreviewDC) && job->prev) width = PrtPrevScaleLength(job, width);
    job->pen = CreatePen(PS_SOLID, width, c);
}

void PrtMakeBrush(PrinterRec* job) {
    if (job->brush) DeleteObject(job->brush);
    COLORREF c = (job->flags & kPrtFlagMono) ? PrtGrey(job->backColor) : job->backColor;
    job->brush = CreateSolidBrush(c);
}

// Text and background colours on the drawing context (grey on a monochrome device).
void PrtApplyColors(PrinterRec* job) {
    if (!job->drawDC) return;
    bool mono = (job->flags & kPrtFlagMono) != 0;
    SetTextColor(job->drawDC, mono ? PrtGrey(job->textColor) : job->textColor);
    SetBkColor(job->drawDC, mono ? PrtGrey(job->backColor) : job->backColor);
}

// The screen copy of the job font on the preview: its size follows the
// preview's scale from printer pixels to window pixels.
static void PrtMakeScreenFont(PrinterRec* job, FontRec* font) {
    int32_t printerDpi = GetDeviceCaps(job->dc, LOGPIXELSY), screenDpi = GetDeviceCaps(job->drawDC, LOGPIXELSY);
    int32_t scale = screenDpi > 0 ? MulDiv(PrtPrevScaleLength(job, 1000), printerDpi, screenDpi) : 0;
    FontRec* screen = FontCreateForDC(font, job->drawDC, scale > 0 ? scale : 1);
    PrtFontRelease(job->screenFont);
    job->screenFont = screen;
    if (screen) SelectObject(job->drawDC, screen->hfont);
}

int32_t PrtSelectJobFont(PrinterRec* job, FontRec* font) {
    if (!font) return kPrtFontNotMade;
    FontRec* old = job->font;
    job->font = font;
    // On the preview texts are measured on the printer and drawn on the screen.
    bool preview = (job->flags & kPrtFlagPreviewDC) && job->prev && job->dc;
    HDC measure = preview ? job->dc : job->drawDC;
    if (preview) PrtMakeScreenFont(job, font);
    if (measure) {
        SelectObject(measure, font->hfont);
        TEXTMETRICA tm;
        if (GetTextMetricsA(measure, &tm)) {
            job->fontCellWidth = static_cast<uint32_t>(tm.tmAveCharWidth);
            job->fontCellHeight = static_cast<uint32_t>(tm.tmHeight + tm.tmExternalLeading);
            if (job->coordMode == kPrtModeFontCells) {
                job->cellWidth = job->fontCellWidth;
                job->cellHeight = job->fontCellHeight;
            }
        }
    }
    // The new font is selected before the old one is dropped: a shared font
    // is deleted with its last use and must not be in the context then. The
    // same shared font chosen again holds two uses here, one is dropped.
    PrtFontRelease(old);
    return kPrtOk;
}

static void PrtSetupPdf(PrinterRec* job, const char* docName, size_t docNameLen, uint32_t options) {
    char file[kPdfFileNameMax + 1];
    size_t n = docNameLen < kPdfFileNameMax ? docNameLen : kPdfFileNameMax;
    memcpy(file, docName, n);
    file[n] = 0;
    bool blank = strspn(file, " ") == n;
    if (blank && !PrtAskPdfFileName(job, file)) return;
    job->decimalChar = static_cast<uint8_t>(gClientConfig.decimalChar ? gClientConfig.decimalChar : '.');
    job->coordMode = kPrtModeCells;
    job->flags |= kPrtFlagCells;
    PrtSetCurrent(job);
    if (PdfBegin(file, &job->pdf, options, 0) != kPdfOk) job->pdf = nullptr;
    snprintf(gPrtName, sizeof gPrtName, "pdf:");
    gPrtPageWidth = kPdfPageWidth;
    gPrtPageHeight = kPdfPageHeight;
    gPrtCharsPerLine = kPdfCharsPerLine;
    gPrtLinesPerPage = kPdfLinesPerPage;
}

int32_t PrtDeviceSetup(PrinterRec* job, const char* docName, size_t docNameLen, uint32_t options) {
    size_t dn = docNameLen < kPrtDocNameMax ? docNameLen : kPrtDocNameMax;
    memcpy(job->docName, docName, dn);
    job->docName[dn] = 0;
    if (job->pdfFlags & kPrtPdfTarget) {
        PrtSetupPdf(job, docName, docNameLen, options);
        return job->pdf ? kPrtOk : kPrtNoMemory;
    }
    HDC dc = job->dc;
    job->drawDC = dc;
    // The job's own DEVMODE: a printer chosen by name keeps its own paper and
    // orientation, whatever the default printer has.
    if (job->devMode) {
        DEVMODEA* dm = static_cast<DEVMODEA*>(GlobalLock(job->devMode));
        if (dm) {
            for (int i = 0; i < kPsCount; i++) job->setup[i] = static_cast<uint16_t>(*DevModeField(dm, i));
            job->setup[kPsCopies] = 1;
            if (!gPrtName[0])
                snprintf(gPrtName, sizeof gPrtName, "%.*s", static_cast<int>(sizeof dm->dmDeviceName),
                         reinterpret_cast<const char*>(dm->dmDeviceName));
            GlobalUnlock(job->devMode);
        }
    }
    if (job->pdfFlags & kPrtPdfSpool) snprintf(gPrtName, sizeof gPrtName, "pdf:");
    if (!(GetDeviceCaps(dc, RASTERCAPS) & RC_STRETCHDIB)) job->flags |= kPrtFlagNoStretch;

    job->dpiX = GetDeviceCaps(dc, LOGPIXELSX);
    job->dpiY = GetDeviceCaps(dc, LOGPIXELSY);
    PrtFontRelease(job->font);
    PrtFontRelease(job->screenFont);
    job->font = job->screenFont = nullptr;
    job->coordMode = kPrtModeCells;
    if (PrtSelectJobFont(job, PrtFontCreate("Courier New", kPrtDefaultFontSize, kPrtPlainStyle, 0, dc)) !=
        kPrtOk)
        return kPrtFontNotMade;
    int32_t width = GetDeviceCaps(dc, HORZRES), height = GetDeviceCaps(dc, VERTRES);
    TEXTMETRICA tm;
    memset(&tm, 0, sizeof tm);
    GetTextMetricsA(dc, &tm);
    uint32_t cw = tm.tmAveCharWidth > 0 ? static_cast<uint32_t>(tm.tmAveCharWidth) : 1;
    uint32_t ch = tm.tmHeight + tm.tmExternalLeading > 0 ? static_cast<uint32_t>(tm.tmHeight + tm.tmExternalLeading) : 1;
    job->cellWidth = job->defCellWidth = job->fontCellWidth = cw;
    job->cellHeight = job->defCellHeight = job->fontCellHeight = ch;
    job->linesPerPage = static_cast<uint16_t>(height / static_cast<int32_t>(ch));
    gPrtPageWidth = width;
    gPrtPageHeight = height;
    gPrtCharsPerLine = width / static_cast<int32_t>(cw);
    gPrtLinesPerPage = height / static_cast<int32_t>(ch);

    job->textColor = kPrtBlack;
    job->backColor = kPrtWhite;
    job->row = job->column = 0;
    job->penWidth = 1;
    job->flags |= kPrtFlagCells;
    job->ropIndex = kPrtRopCopyPen;
    job->decimalChar = static_cast<uint8_t>(gClientConfig.decimalChar ? gClientConfig.decimalChar : '.');
    if (GetDeviceCaps(dc, PLANES) * GetDeviceCaps(dc, BITSPIXEL) == 1 && GetDeviceCaps(dc, NUMCOLORS) < 3)
        job->flags |= kPrtFlagMono;
    PrtMakePen(job);
    PrtMakeBrush(job);
    job->physOffsetX = GetDeviceCaps(dc, PHYSICALOFFSETX);
    job->physOffsetY = GetDeviceCaps(dc, PHYSICALOFFSETY);
    job->originX = job->originY = 0;
    return kPrtOk;
}

int32_t PrtGetPageSetupValue(uint32_t index) {
    switch (index) {
    case kPrtPageCharsPerLine: return gPrtCharsPerLine;
    case kPrtPageLinesPerPage: return gPrtLinesPerPage;
    case kPrtPageWidth: return gPrtPageWidth;
    case kPrtPageHeight: return gPrtPageHeight;
    default: return 0;
    }
}

// ---- Page set-up ----------------------------------------------------------------------------

// The value a page set-up slot should have in the DEVMODE.
static short WantedSetup(PrinterRec* job, int i) {
    if (i == kPsCopies) return static_cast<short>((job->copies ? job->copies : 1) * (job->setup[i] ? job->setup[i] : 1));
    return static_cast<short>(job->setup[i]);
}

bool PrtPageSetupChanged() {
    PrinterRec* job = gCurPrtRec;
    if (!job || !job->devMode) return false;
    DEVMODEA* dm = static_cast<DEVMODEA*>(GlobalLock(job->devMode));
    if (!dm) return false;
    bool changed = false;
    for (int i = 0; i < kPsCount; i++)
        if (*DevModeField(dm, i) != WantedSetup(job, i)) changed = true;
    GlobalUnlock(job->devMode);
    return changed;
}

bool PrtApplyPageSetup(PrtSetupApply how) {
    bool force = how == kPrtSetupForced;
    PrinterRec* job = gCurPrtRec;
    if (!job || !job->devMode || !job->dc) return false;
    DEVMODEA* dm = static_cast<DEVMODEA*>(GlobalLock(job->devMode));
    if (!dm) return false;
    DWORD oldFields = dm->dmFields, bits = 0;
    bool userPaper = job->setup[kPsPaperSize] == kPaperUser;
    for (int i = 0; i < kPsCount; i++) {
        short want = WantedSetup(job, i);
        short* field = DevModeField(dm, i);
        bool always = userPaper && (i == kPsPaperLength || i == kPsPaperWidth);
        // A zero value was never given: the driver's own stays.
        if (!want && !always) continue;
        if (force || always || *field != want) {
            *field = want;
            bits |= kPrtSetupBits[i];
        }
    }
    if (bits) {
        dm->dmFields = oldFields | bits;
        ResetDCA(job->dc, dm);
        dm->dmFields = oldFields;
    }
    GlobalUnlock(job->devMode);
    return bits != 0;
}

void PrtResetPageSetup(PrtSetupApply how) {
    PrinterRec* job = gCurPrtRec;
    if (!job || !job->dc || !(job->flags & kPrtFlagPageFresh)) return;
    if (how == kPrtSetupForced || PrtPageSetupChanged()) PrtApplyPageSetup(kPrtSetupForced);
}

// ---- Page start ------------------------------------------------------------------------------

int32_t PrtPageStart() {
    PrinterRec* job = gCurPrtRec;
    if (!job || (job->flags & kPrtFlagPageOpen)) return kPrtOk;
    if (job->pdfFlags & kPrtPdfTarget) {
        if (job->pdf && !(job->pdf->flags & kPdfFlagPageStarted)) PdfStartPage(job->pdf);
        job->flags = (job->flags & ~(kPrtFlagDocPending | kPrtFlagPageFresh)) | kPrtFlagPageOpen;
        return kPrtOk;
    }
    HDC dc = job->drawDC;
    if (!dc) return kPrtNotAJob;
    bool pending = (job->flags & kPrtFlagDocPending) != 0;
    bool preview = (job->flags & kPrtFlagPreviewDC) != 0;
    if ((job->flags & kPrtFlagPrinterPage) && pending && !preview) {
        // Some drivers (Wine's PostScript driver among them) take the paper
        // only from the DEVMODE in force when the document starts: the page
        // set-up goes in before StartDocA too.
        PrtApplyPageSetup(kPrtSetupForced);
        DOCINFOA di;
        memset(&di, 0, sizeof di);
        di.cbSize = sizeof di;
        di.lpszDocName = job->docName;
        if (StartDocA(job->dc, &di) <= 0) {
            SetWinErrorText(GetLastError());
            return kPrtNoMemory;
        }
        // The document is open from here on, even if the page start below
        // fails: the close must end it, and a later page must not start it twice.
        job->flags &= ~kPrtFlagDocPending;
    }
    PrtApplyPageSetup(pending ? kPrtSetupForced : kPrtSetupIfChanged);
    if (preview) {
        int32_t r = PrtPrevBeginPage(job);
        if (r) return r;
    } else if ((job->flags & kPrtFlagPrinterPage) && StartPage(job->dc) <= 0) {
        SetWinErrorText(GetLastError());
        return kPrtNoMemory;
    }
    // A page start resets the context's selections and modes on some drivers;
    // the preview's screen font is made at the scale its page start set.
    if (preview && job->font) PrtSelectJobFont(job, FontAddUse(job->font));
    else if (job->font) SelectObject(dc, job->font->hfont);
    SetMapMode(dc, MM_TEXT);
    PrtApplyColors(job);
    SetBkMode(dc, (job->textFlags & kPrtTextTransparent) ? TRANSPARENT : OPAQUE);
    SetROP2(dc, kPrtRopTable[job->ropIndex & 7]);
    if ((job->flags & kPrtFlagRemakePen) || !job->pen || !job->brush) {
        PrtMakePen(job);
        PrtMakeBrush(job);
        job->flags &= ~kPrtFlagRemakePen;
    }
    SelectObject(dc, job->pen);
    SelectObject(dc, job->brush);
    job->flags = (job->flags & ~(kPrtFlagDocPending | kPrtFlagPageFresh)) | kPrtFlagPageOpen;
    return kPrtOk;
}
