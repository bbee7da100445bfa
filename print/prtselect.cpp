// prtselect.cpp - printer selection and set-up: the client's default printer
// set-up, the page set-up and print set-up dialogs, opening a printer device
// context by name ("-" for the default, "name on port", "pdf:" targets), the
// printer list and the printer information codes.
#include "print/print.h"

#include <commdlg.h>
#include <winspool.h>

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "objects/objrecord.h"
#include "objects/pump.h"
#include "session/config.h"
#include "session/log.h"
#include "session/session.h"
#include "session/util/mem.h"
#include "session/util/strutil.h"

HGLOBAL gPrtDevMode;
HGLOBAL gPrtDevNames;
uint8_t gPrtDlgCancelled;
char gPrtDeviceName[kPrtNameMax + 1];
int32_t gPrtErrNo;

constexpr size_t kPrtTextBufSize = 40961;       // the client's shared text buffer
constexpr int kPrtMaxBins = 100;
constexpr size_t kPrtBinNameLen = 24;
// The printer information codes.
enum PrinterInfoCode : uint32_t {
    kInfoServerName = 276, kInfoPrinterName = 277, kInfoShareName = 278, kInfoPortName = 279,
    kInfoDriverName = 280, kInfoComment = 281, kInfoLocation = 282, kInfoPrintProcessor = 283,
    kInfoDatatype = 284, kInfoAttributes = 285, kInfoStatus = 286, kInfoBinCount = 338, kInfoBinNames = 339,
    kInfoBins = 340, kInfoPdfFile = 348,
    kInfoFirst = kInfoServerName, kInfoLast = kInfoPdfFile,
};

static char gPrtTextBuf[kPrtTextBufSize];

// ---- Errors ------------------------------------------------------------------------

void PrtErrorClear() {
    gPrtErrNo = 0;
    gErrorText[0] = 0;
}

void PrtSetSelectError(int32_t code, const char* text) {
    if (gPrtErrNo || gErrorText[0]) return;  // the first failure of an open wins
    gPrtErrNo = code;
    snprintf(gErrorText, kErrorTextSize, "%s", text);
}

bool PrtLibrariesReady() { return SysLibNeed(kSysLibSpool) && SysLibNeed(kSysLibComDlg); }

// ---- Default set-up and dialogs ----------------------------------------------------

// New handles from a dialog replace the old ones, which are freed when they differ.
static void TakeDlgHandles(HGLOBAL devMode, HGLOBAL devNames) {
    if (gPrtDevMode && gPrtDevMode != devMode) GlobalFree(gPrtDevMode);
    if (gPrtDevNames && gPrtDevNames != devNames) GlobalFree(gPrtDevNames);
    gPrtDevMode = devMode;
    gPrtDevNames = devNames;
}

// PageSetupDlgA shows a modal box when there is no printer unless told not
// to: the unattended path always passes PSD_NOWARNING.
bool GetDefaultPageSetup() {
    if (!PrtLibrariesReady()) return false;
    PAGESETUPDLGA ps;
    memset(&ps, 0, sizeof ps);
    ps.lStructSize = sizeof ps;
    ps.hDevMode = gPrtDevMode;
    ps.hDevNames = gPrtDevNames;
    ps.Flags = PSD_RETURNDEFAULT | PSD_NOWARNING;
    if (!PageSetupDlgA(&ps)) return false;
    TakeDlgHandles(ps.hDevMode, ps.hDevNames);
    return true;
}

HWND PrtOwnerWindow(HWND wnd, uint32_t ownerObject) {
    if (!wnd && ownerObject) {
        ObjectRecord* rec = ObjectFromHandle(ownerObject);
        if (rec) wnd = rec->hwnd;
    }
    if (!wnd) wnd = GetActiveWindow();
    return DialogOwnerWindow(wnd);
}

static UINT_PTR PrtSetupHook(HWND dlg, UINT msg, WPARAM, LPARAM) {
    if (msg == WM_INITDIALOG && gPrtDlgHook) gPrtDlgHook(dlg);
    return 0;
}

// The end of a printer dialog: cancelled (1), or its settings taken (0).
static int32_t FinishPrtDlg(BOOL ok, HGLOBAL devMode, HGLOBAL devNames) {
    if (!ok) {
        gPrtDlgCancelled = 1;
        return 1;
    }
    TakeDlgHandles(devMode, devNames);
    return 0;
}

int32_t PrtPageSetupDlg(HWND owner) {
    gPrtDlgCancelled = 0;
    if (!PrtLibrariesReady()) return kPrtNoMemory;
    PAGESETUPDLGA ps;
    memset(&ps, 0, sizeof ps);
    ps.lStructSize = sizeof ps;
    ps.hwndOwner = PrtOwnerWindow(owner, 0);
    ps.hDevMode = gPrtDevMode;
    ps.hDevNames = gPrtDevNames;
    if (gPrtDlgHook) {
        ps.Flags |= PSD_ENABLEPAGESETUPHOOK;
        ps.lpfnPageSetupHook = GuardedDialogProc<UINT_PTR, PrtSetupHook>;
    }
    BOOL ok = PageSetupDlgA(&ps);
    return FinishPrtDlg(ok, ps.hDevMode, ps.hDevNames);
}

int32_t PrtPrintDlg(HWND owner) {
    gPrtDlgCancelled = 0;
    if (!PrtLibrariesReady()) return kPrtNoMemory;
    PRINTDLGA pd;
    memset(&pd, 0, sizeof pd);
    pd.lStructSize = sizeof pd;
    pd.hwndOwner = PrtOwnerWindow(owner, 0);
    pd.hDevMode = gPrtDevMode;
    pd.hDevNames = gPrtDevNames;
    pd.Flags = PD_PRINTSETUP | PD_NOSELECTION | PD_USEDEVMODECOPIESANDCOLLATE;
    if (gPrtDlgHook) {
        pd.Flags |= PD_ENABLESETUPHOOK;
        pd.lpfnSetupHook = GuardedDialogProc<UINT_PTR, PrtSetupHook>;
    }
    BOOL ok = PrintDlgA(&pd);
    return FinishPrtDlg(ok, pd.hDevMode, pd.hDevNames);
}

// ---- Opening by name -------------------------------------------------------------------

// A copy of a global block with one zeroed byte more.
static HGLOBAL CopyGlobalPlusOne(HGLOBAL src) {
    if (!src) return nullptr;
    SIZE_T n = GlobalSize(src);
    HGLOBAL dst = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, n + 1);
    if (!dst) return nullptr;
    void* s = GlobalLock(src);
    void* d = GlobalLock(dst);
    if (s && d) memcpy(d, s, n);
    if (d) GlobalUnlock(dst);
    if (s) GlobalUnlock(src);
    return dst;
}

enum DevNamesPart { kDevNamesDriver, kDevNamesDevice, kDevNamesPort };

// A name from a DEVNAMES offset, at most 99 characters.
static bool DevNamesText(HGLOBAL devNames, DevNamesPart which, char* out) {
    out[0] = 0;
    if (!devNames) return false;
    DEVNAMES* dn = static_cast<DEVNAMES*>(GlobalLock(devNames));
    if (!dn) return false;
    SIZE_T size = GlobalSize(devNames);
    WORD off = which == kDevNamesDriver   ? dn->wDriverOffset
               : which == kDevNamesDevice ? dn->wDeviceOffset
                                          : dn->wOutputOffset;
    if (off && off < size) {
        const char* s = reinterpret_cast<const char*>(dn) + off;
        size_t n = strnlen(s, size - off);
        if (n > kPrtNameMax) n = kPrtNameMax;
        memcpy(out, s, n);
        out[n] = 0;
    }
    GlobalUnlock(devNames);
    return out[0] != 0;
}

HDC PrtOpenDCByName(const char* name, PrinterRec* job, PrtNameAnswer answer) {
    bool copyName = answer == kPrtNameAnswered;
    if (_strnicmp(name, "pdf:", 4) == 0) {
        if (job) job->pdfFlags |= kPrtPdfTarget;
        if (copyName) snprintf(gPrtName, sizeof gPrtName, "pdf:");
        return nullptr;
    }
    if (!PrtLibrariesReady()) {
        PrtSetSelectError(kPrtNoMemory, "PRT: the spooler or the print dialogs cannot be loaded");
        return nullptr;
    }
    char device[kPrtNameMax + 1] = "", driver[kPrtNameMax + 1] = "", port[kPrtNameMax + 1] = "";
    bool isDefault = strcmp(name, "-") == 0;
    if (isDefault) {
        if (!gPrtDevMode || !gPrtDevNames) GetDefaultPageSetup();
        if (!gPrtDevMode) {
            PrtSetSelectError(kPrtErrDefaultSetup, "PRT: GetDefaultPageSetup Fail!");
            return nullptr;
        }
        if (!DevNamesText(gPrtDevNames, kDevNamesDevice, device)) {
            DEVMODEA* dm = static_cast<DEVMODEA*>(GlobalLock(gPrtDevMode));
            if (!dm) {
                PrtSetSelectError(kPrtErrGlobalLock, "PRT: GlobalLock Fail!");
                return nullptr;
            }
            snprintf(device, sizeof device, "%.*s", static_cast<int>(sizeof dm->dmDeviceName),
                     reinterpret_cast<const char*>(dm->dmDeviceName));
            GlobalUnlock(gPrtDevMode);
        }
        if (copyName) snprintf(gPrtName, sizeof gPrtName, "%s", device);
        DevNamesText(gPrtDevNames, kDevNamesDriver, driver);
        DevNamesText(gPrtDevNames, kDevNamesPort, port);
    } else {
        snprintf(device, sizeof device, "%s", name);
        char* on = strstr(device, " on ");
        if (on) {
            *on = 0;
            snprintf(port, sizeof port, "%s", on + 4);
        }
    }
    if (!driver[0] || !port[0]) {
        GetProfileStringA("printerPorts", device, " ", gPrtTextBuf, sizeof gPrtTextBuf);
        char* comma = strchr(gPrtTextBuf, ',');
        if (!gPrtTextBuf[0] || gPrtTextBuf[0] == ' ' || !comma) {
            PrtSetSelectError(kPrtErrPrinterPorts, "PRT: printerPorts Fail!");
            return nullptr;
        }
        *comma = 0;
        snprintf(driver, sizeof driver, "%s", gPrtTextBuf);
        if (!port[0]) {
            char* end = strchr(comma + 1, ',');
            if (end) *end = 0;
            snprintf(port, sizeof port, "%s", comma + 1);
        }
    }
    snprintf(gPrtDeviceName, sizeof gPrtDeviceName, "%s", device);
    if (!job) return CreateDCA(driver, device, port, nullptr);

    if (isDefault) {
        if (job->devMode) GlobalFree(job->devMode);
        if (job->devNames) GlobalFree(job->devNames);
        job->devMode = CopyGlobalPlusOne(gPrtDevMode);
        job->devNames = CopyGlobalPlusOne(gPrtDevNames);
        DEVMODEA* dm = static_cast<DEVMODEA*>(GlobalLock(gPrtDevMode));
        HDC dc = CreateDCA(driver, device, port, dm);
        if (dm) GlobalUnlock(gPrtDevMode);
        return dc;
    }
    // A named printer gets its own DEVMODE: its own paper and orientation,
    // never the default printer's.
    HANDLE printer;
    if (OpenPrinterA(device, &printer, nullptr)) {
        HWND owner = PrtOwnerWindow(nullptr, 0);
        LONG size = DocumentPropertiesA(owner, printer, device, nullptr, nullptr, 0);
        if (size > 0) {
            HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, static_cast<SIZE_T>(size));
            DEVMODEA* dm = h ? static_cast<DEVMODEA*>(GlobalLock(h)) : nullptr;
            if (dm && DocumentPropertiesA(owner, printer, device, dm, nullptr, DM_OUT_BUFFER) >= 0) {
                GlobalUnlock(h);
                if (job->devMode) GlobalFree(job->devMode);
                job->devMode = h;
            } else if (h) {
                if (dm) GlobalUnlock(h);
                GlobalFree(h);
            }
        }
        ClosePrinter(printer);
    }
    return CreateDCA(driver, device, port, nullptr);
}

bool PrtNameIsWhole(const char* name, size_t len) {
    if (NameIsWhole(name, len, SIZE_MAX)) return true;
    gPrtName[0] = 0;   // the answer names no printer
    PrtSetSelectError(kPrtErrPrinterPorts, "PRT: the printer name holds a NUL!");
    DebugLogWrite("PrtNameIsWhole", "the printer name holds a NUL: refused");
    return false;
}

HDC OpenPrtByName(const char* name, PrinterRec* job) {
    snprintf(gPrtName, sizeof gPrtName, "%s", name);
    return PrtOpenDCByName(name, job, kPrtNameAnswered);
}

HDC PrtGetDC(PrinterRec* rec) { return rec && rec->magic == kPrtMagic ? rec->dc : nullptr; }

void PrtResetDC(HDC dc, HGLOBAL devMode) {
    if (!dc || !devMode) return;
    DEVMODEA* dm = static_cast<DEVMODEA*>(GlobalLock(devMode));
    if (!dm) return;
    ResetDCA(dc, dm);
    GlobalUnlock(devMode);
}

// ---- Printer list ----------------------------------------------------------------------

void PrtListPrinters(HWND listBox) {
    if (!listBox || !PrtLibrariesReady()) return;
    DWORD flags = PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS, needed = 0, count = 0;
    EnumPrintersA(flags, nullptr, 2, nullptr, 0, &needed, &count);
    CheckedSize size(needed);
    size.Add(4);
    if (!size.ok) return;
    BYTE* block = static_cast<BYTE*>(LocalAllocZero(size.Size()));
    if (!block) return;
    if (EnumPrintersA(flags, nullptr, 2, block, needed, &needed, &count)) {
        PRINTER_INFO_2A* pi = reinterpret_cast<PRINTER_INFO_2A*>(block);
        for (DWORD i = 0; i < count; i++)
            if (pi[i].pPrinterName) SendMessageA(listBox, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(pi[i].pPrinterName));
        SendMessageA(listBox, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>("pdf:"));
    }
    LocalFreeMem(block);
}

// ---- Printer information ----------------------------------------------------------------

// Joins up to 100 entries of DeviceCapabilitiesA: the count is asked first and
// the block sized for it.
static size_t JoinBins(const char* printer, const char* port, WORD cap, char* out, size_t outSize) {
    int n = DeviceCapabilitiesA(printer, port, cap, nullptr, nullptr);
    if (n <= 0) return 0;
    size_t unit = cap == DC_BINNAMES ? kPrtBinNameLen : sizeof(WORD);
    CheckedSize size(static_cast<uint64_t>(n));
    size.Mul(unit);
    if (!size.ok) return 0;
    char* data = static_cast<char*>(GuardedAlloc(size.Size()));
    if (!data) return 0;
    int got = DeviceCapabilitiesA(printer, port, cap, data, nullptr);
    if (got > n) got = n;
    if (got > kPrtMaxBins) got = kPrtMaxBins;
    size_t len = 0;
    out[0] = 0;
    for (int i = 0; i < got; i++) {
        char item[kPrtBinNameLen + 1];
        if (cap == DC_BINNAMES) {
            memcpy(item, data + i * kPrtBinNameLen, kPrtBinNameLen);
            item[kPrtBinNameLen] = 0;
        } else {
            WORD w;
            memcpy(&w, data + i * sizeof(WORD), sizeof w);
            snprintf(item, sizeof item, "%d", w);
        }
        int k = snprintf(out + len, outSize - len, "%s%s", i ? ";" : "", item);
        if (k < 0 || static_cast<size_t>(k) >= outSize - len) break;
        len += static_cast<size_t>(k);
    }
    GuardedFree(data);
    return len;
}

static const char* InfoField(const PRINTER_INFO_2A* pi, uint32_t code) {
    switch (code) {
    case kInfoServerName: return pi->pServerName;
    case kInfoPrinterName: return pi->pPrinterName;
    case kInfoShareName: return pi->pShareName;
    case kInfoPortName: return pi->pPortName;
    case kInfoDriverName: return pi->pDriverName;
    case kInfoComment: return pi->pComment;
    case kInfoLocation: return pi->pLocation;
    case kInfoPrintProcessor: return pi->pPrintProcessor;
    case kInfoDatatype: return pi->pDatatype;
    default: return nullptr;
    }
}

static const char* PrtInfoFromPrinter(const char* printer, uint32_t code, int32_t* valueOut) {
    if (!PrtLibrariesReady()) return nullptr;
    HANDLE h;
    if (!OpenPrinterA(const_cast<char*>(printer), &h, nullptr)) return nullptr;
    DWORD needed = 0, again = 0;
    GetPrinterA(h, 2, nullptr, 0, &needed);
    BYTE* block = needed ? static_cast<BYTE*>(GuardedAlloc(needed)) : nullptr;
    const char* result = nullptr;
    // A printer whose information changed size between the two calls gives nothing.
    if (block && GetPrinterA(h, 2, block, needed, &again) && again == needed) {
        PRINTER_INFO_2A* pi = reinterpret_cast<PRINTER_INFO_2A*>(block);
        const char* name = pi->pPrinterName ? pi->pPrinterName : printer;
        size_t len = 0;
        if (code == kInfoAttributes) {
            *valueOut = static_cast<int32_t>(pi->Attributes);
        } else if (code == kInfoStatus) {
            *valueOut = static_cast<int32_t>(pi->Status);
        } else if (code == kInfoBinCount) {
            int n = DeviceCapabilitiesA(name, pi->pPortName, DC_BINS, nullptr, nullptr);
            *valueOut = n < 0 ? 0 : n;
        } else if (code == kInfoBinNames || code == kInfoBins) {
            len = JoinBins(name, pi->pPortName, code == kInfoBinNames ? DC_BINNAMES : DC_BINS, gPrtTextBuf,
                           sizeof gPrtTextBuf);
        } else if (const char* f = InfoField(pi, code)) {
            snprintf(gPrtTextBuf, sizeof gPrtTextBuf, "%s", f);
            len = strlen(gPrtTextBuf);
        }
        if (len) {
            *valueOut = static_cast<int32_t>(len);
            result = gPrtTextBuf;
        }
    }
    GuardedFree(block);
    ClosePrinter(h);
    return result;
}

const char* PrtGetInfo(PrinterRec* rec, const char* printer, uint32_t code, int32_t* valueOut) {
    *valueOut = 0;
    if (code < kInfoFirst || code > kInfoLast) return nullptr;
    if (code == kInfoPdfFile) {
        if (!rec || !rec->pdf) return nullptr;
        if (PdfGetFileName(rec->pdf, gPrtTextBuf) != kPdfOk || !gPrtTextBuf[0]) return nullptr;
        *valueOut = static_cast<int32_t>(strlen(gPrtTextBuf));
        return gPrtTextBuf;
    }
    if ((code > kInfoStatus && code < kInfoBinCount) || code > kInfoBins) return nullptr;
    if (!printer || !printer[0]) return nullptr;
    return PrtInfoFromPrinter(printer, code, valueOut);
}
