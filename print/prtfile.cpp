// prtfile.cpp - printer files: byte streams the server writes character by
// character to a disk file or an LPT or COM port, to a printer of the spooler
// in raw mode, or to a printer device context in passthrough or text mode;
// the port time-outs, retries and Retry/Cancel box, and messages 1208, 2213
// and 1209 with their answers.
#include "print/print.h"

#include <commdlg.h>
#include <winspool.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "session/config.h"
#include "session/log.h"
#include "session/session.h"
#include "session/settings.h"
#include "session/util/codepage.h"
#include "session/util/mem.h"

// MinGW's winspool.h does not name the XPS attribute of a driver.
static_assert(kPrtDriverXps == 2, "PRINTER_DRIVER_XPS");
static_assert(kPrtNoProgressError == ERROR_WRITE_FAULT, "a write that took nothing");

constexpr DWORD kPrtTimeDefault = 45000;        // ms, constant part of a port write's time-out
constexpr DWORD kPortReadConstant = 10;         // ms
constexpr DWORD kPortWriteMultiplier = 1000;    // ms per byte
constexpr int32_t kPrtFileFail = -1;
constexpr int32_t kTextFontSize = 110;          // "Courier New" at 11 points
constexpr uint32_t kLptNoBoxFrom = 10;
constexpr DWORD kDriverInfoLevel = 8;           // DRIVER_INFO_8A: the driver's attributes
constexpr DWORD kDocInfoLevel = 1;              // DOC_INFO_1A

static DWORD gPrtTime = kPrtTimeDefault;        // a value once read stays for later opens
static DWORD gPrtRetry;
static bool gPrtDebug;                          // once on, on for the rest of the process
// One buffer shared by every port record, one by the spooler, passthrough and
// text records: each is emptied at the end of every write message.
static uint8_t gPortBuf[kPrtFileSharedBufSize];
static uint8_t gDeviceBuf[kPrtFileSharedBufSize];
static char gTextPending[kPrtFileTextMax];

static bool IsWin9x() { return (GetVersion() & 0x80000000u) != 0; }

static void SetFileError(int32_t code) {
    gPrtErrNo = code;
    const char* text = PrtFileErrorText(code);
    if (text) snprintf(gErrorText, kErrorTextSize, "%s", text);
}

// The document name of raw and device documents: the session's program name
// (the first word of its command line).
static void DocumentName(char* out, size_t size) {
    const char* cmd = gClientConfig.cmdLine;
    while (*cmd == ' ') cmd++;
    size_t n = strcspn(cmd, " ");
    if (n >= size) n = size - 1;
    memcpy(out, cmd, n);
    out[n] = 0;
    if (!out[0]) snprintf(out, size, "%s", kMainWindowTitle);
}

PrinterRec* PrtFileFromHandle(uint32_t handle) {
    PrinterRec* rec = static_cast<PrinterRec*>(HandleLookup(kHandlePrinterFile, handle));
    return rec && rec->magic == kPrtMagic && !(rec->flags & kPrtFlagGdiJob) ? rec : nullptr;
}

static uint8_t* BufferStart(const PrinterRec* rec) {
    return rec->bufStart + ((rec->flags & kPrtFilePassthrough) ? kPrtFileCountBytes : 0);
}

static bool IsDiskFile(const PrinterRec* rec) {
    return (rec->flags & kPrtFileDisk) && !(rec->flags & kPrtFilePort);
}

static void PrtFileFree(PrinterRec* rec) {
    if (IsDiskFile(rec)) GuardedFree(rec->bufStart);
    rec->bufStart = rec->bufCur = rec->bufEnd = nullptr;
    if (rec->dc) DeleteDC(rec->dc);
    rec->dc = nullptr;
    PrtFontRelease(rec->font);
    rec->font = nullptr;
    if (rec->devMode) GlobalFree(rec->devMode);
    if (rec->devNames) GlobalFree(rec->devNames);
    PrtRecFree(rec);
}

// ---- Ports ------------------------------------------------------------------------

static void ReadPortSettings() {
    if (const char* t = GetWinSetting(kCfgPrtTime)) gPrtTime = static_cast<DWORD>(strtoul(t, nullptr, 10));
    const char* retry = GetWinSetting(kCfgPrtRetry);
    gPrtRetry = retry ? static_cast<DWORD>(strtoul(retry, nullptr, 10)) : 0;
    if (GetWinSetting(kCfgPrtDebug)) gPrtDebug = true;
}

// The COM line from the settings text; GetCommState fails on anything that is
// not a serial line, and then nothing is changed.
static void PrtSetCommState(HANDLE h, const char* settings) {
    DCB dcb;
    memset(&dcb, 0, sizeof dcb);
    dcb.DCBlength = sizeof dcb;
    if (!GetCommState(h, &dcb)) return;
    PrtCommSettings s = PrtParseCommSettings(settings, dcb.Parity);
    dcb.BaudRate = s.baud;
    dcb.fBinary = TRUE;
    dcb.fOutX = s.xonOut ? TRUE : FALSE;
    dcb.ByteSize = s.dataBits;
    dcb.StopBits = s.stopBits == kPrtStopTwo ? TWOSTOPBITS : ONESTOPBIT;
    dcb.Parity = s.parity;
    SetCommState(h, &dcb);
}

static void SetupPort(PrinterRec* rec, const char* settings) {
    ReadPortSettings();
    COMMTIMEOUTS t = {MAXDWORD, MAXDWORD, kPortReadConstant, kPortWriteMultiplier, gPrtTime};
    SetCommTimeouts(rec->file, &t);
    PrtSetCommState(rec->file, settings);
}

static void PrtPortDebugBox(const PrinterRec* rec, DWORD winError) {
    char text[80], caption[80];
    snprintf(text, sizeof text, "Windows Printer LPT%c error:%d  !", rec->portDigit, static_cast<int>(winError));
    DWORD errors = 0;
    if (ClearCommError(rec->file, &errors, nullptr))
        snprintf(caption, sizeof caption, "ClearCommError: error:0x%.8X  !", static_cast<unsigned>(errors));
    else
        snprintf(caption, sizeof caption, " No ClearCommError !");
    DebugLogWrite("PrtPortDebug", "%s %s", text, caption);
    if (gPrtDebug) MessageBoxA(nullptr, text, caption, MB_ICONEXCLAMATION);
}

// Retry or Cancel: COM ports and "LPTn!" names never show a box.
static bool PrtPortError(const PrinterRec* rec) {
    if (rec->lptNumber == 0 || rec->lptNumber > kLptNoBoxFrom) return false;
    char text[80];
    snprintf(text, sizeof text, "Communication timeout on printer LPT%c !", rec->portDigit);
    DWORD errors = 0;
    if (ClearCommError(rec->file, &errors, nullptr)) {
        if (errors & CE_OOP)
            snprintf(text, sizeof text, "Printer LPT%c has an out of paper condition!", rec->portDigit);
        else if ((errors & CE_PTO) && !IsWin9x())
            snprintf(text, sizeof text, "Printer LPT%c is offline!", rec->portDigit);
    }
    return MessageBoxA(nullptr, text, "Printer Error", MB_RETRYCANCEL | MB_ICONEXCLAMATION) == IDRETRY;
}

static bool PortWriteOnce(void* ctx, const uint8_t* data, size_t n, size_t* written, uint32_t* winError) {
    DWORD done = 0;
    BOOL ok = WriteFile(static_cast<PrinterRec*>(ctx)->file, data, static_cast<DWORD>(n), &done, nullptr);
    *written = done;
    if (!ok) *winError = GetLastError();
    return ok != FALSE;
}

static void PortDebugBox(void* ctx, uint32_t winError) { PrtPortDebugBox(static_cast<PrinterRec*>(ctx), winError); }
static bool PortAskRetry(void* ctx) { return PrtPortError(static_cast<PrinterRec*>(ctx)); }

// A write that succeeds with part of the bytes (a port's time-out under load)
// goes on with the rest instead of losing it; only a write that makes no
// progress uses up the silent retries and then asks Retry or Cancel.
static int32_t FlushToHandle(PrinterRec* rec, const uint8_t* data, size_t n) {
    static const PrtPortWriteOps kOps = {PortWriteOnce, PortDebugBox, PortAskRetry};
    uint32_t err = 0;
    if (PrtPortWrite(data, n, gPrtRetry, kOps, rec, &err) == 0) return kPrtOk;
    gPrtErrNo = PrtMapWinError(err);
    return kPrtFileFail;
}

// ---- Raw spooler ----------------------------------------------------------------------

static bool PrtIsXpsDriver(HANDLE printer) {
    DWORD first = 0, second = 0;
    GetPrinterDriverA(printer, nullptr, kDriverInfoLevel, nullptr, 0, &first);
    uint8_t* block = static_cast<uint8_t*>(GuardedAlloc(kPrtDriverInfoBlock));
    if (!block) return false;
    bool xps = false;
    if (GetPrinterDriverA(printer, nullptr, kDriverInfoLevel, block, kPrtDriverInfoBlock, &second))
        xps = PrtIsXpsDriverBlock(block, kPrtDriverInfoBlock, offsetof(DRIVER_INFO_8A, dwPrinterDriverAttributes),
                                  first, second);
    GuardedFree(block);
    return xps;
}

// StartDocPrinterA and StartPagePrinter: 0, 206 or 207 (the document ended).
static int32_t StartRawDocument(PrinterRec* rec) {
    char docName[kPrtDocNameMax + 1];
    DocumentName(docName, sizeof docName);
    bool xps = PrtIsXpsDriver(rec->file);
    if (xps) rec->pdfFlags |= kPrtFileXpsPass;
    else rec->pdfFlags &= ~kPrtFileXpsPass;
    DOC_INFO_1A di = {docName, nullptr, const_cast<char*>(xps ? "XPS_PASS" : "RAW")};
    if (!StartDocPrinterA(rec->file, kDocInfoLevel, reinterpret_cast<BYTE*>(&di))) return kPrtFileErrStartDoc;
    if (!StartPagePrinter(rec->file)) {
        EndDocPrinter(rec->file);
        return kPrtFileErrStartPage;
    }
    rec->flags |= kPrtFileDocStarted;
    return kPrtOk;
}

static int32_t FlushToSpooler(PrinterRec* rec, const uint8_t* data, size_t n) {
    if (!(rec->flags & kPrtFileDocStarted) && StartRawDocument(rec) != kPrtOk) {
        gPrtErrNo = kPrtFileErrDevice;
        return kPrtFileFail;
    }
    DWORD written = 0;
    if (!WritePrinter(rec->file, const_cast<uint8_t*>(data), static_cast<DWORD>(n), &written) || written != n) {
        gPrtErrNo = kPrtFileErrDevice;
        return kPrtFileFail;
    }
    return kPrtOk;
}

// The default printer's device name: from DEVNAMES, else from the DEVMODE.
static int32_t DefaultPrinterName(char* out) {
    if ((!gPrtDevMode || !gPrtDevNames) && !GetDefaultPageSetup()) return kPrtFileErrDefaultSetup;
    if (!gPrtDevMode && !gPrtDevNames) return kPrtFileErrDefaultSetup;
    out[0] = 0;
    if (gPrtDevNames) {
        DEVNAMES* dn = static_cast<DEVNAMES*>(GlobalLock(gPrtDevNames));
        if (dn) {
            SIZE_T size = GlobalSize(gPrtDevNames);
            if (dn->wDeviceOffset && dn->wDeviceOffset < size) {
                const char* s = reinterpret_cast<const char*>(dn) + dn->wDeviceOffset;
                size_t len = strnlen(s, size - dn->wDeviceOffset);
                if (len > kPrtNameMax) len = kPrtNameMax;
                memcpy(out, s, len);
                out[len] = 0;
            }
            GlobalUnlock(gPrtDevNames);
        }
    }
    if (out[0]) return kPrtOk;
    DEVMODEA* dm = gPrtDevMode ? static_cast<DEVMODEA*>(GlobalLock(gPrtDevMode)) : nullptr;
    if (!dm) return kPrtFileErrGlobalLock;
    snprintf(out, kPrtNameMax + 1, "%.*s", static_cast<int>(sizeof dm->dmDeviceName),
             reinterpret_cast<const char*>(dm->dmDeviceName));
    GlobalUnlock(gPrtDevMode);
    return kPrtOk;
}

static int32_t OpenRawSpooler(PrinterRec* rec, const char* name, char* replyName) {
    rec->flags = kPrtFileRaw;
    rec->bufStart = rec->bufCur = gDeviceBuf;
    rec->bufEnd = gDeviceBuf + sizeof gDeviceBuf;
    char printer[kPrtNameMax + 1];
    snprintf(printer, sizeof printer, "%s", name);
    if (strcmp(name, "-") == 0) {
        int32_t code = DefaultPrinterName(printer);
        if (code != kPrtOk) return code;
        snprintf(replyName, kPrtNameMax + 1, "%s", printer);
    }
    HANDLE h;
    if (!OpenPrinterA(printer, &h, nullptr)) return kPrtFileErrOpenPrinter;
    rec->file = h;
    int32_t code = StartRawDocument(rec);
    if (code != kPrtOk) {
        ClosePrinter(h);
        rec->file = nullptr;
    }
    return code;
}

// ---- Device contexts --------------------------------------------------------------------

static bool StartDeviceDocument(PrinterRec* rec) {
    char docName[kPrtDocNameMax + 1];
    DocumentName(docName, sizeof docName);
    DOCINFOA di;
    memset(&di, 0, sizeof di);
    di.cbSize = sizeof di;
    di.lpszDocName = docName;
    if ((rec->flags & kPrtFilePassthrough) && IsWin9x()) di.lpszDatatype = "RAW";
    if (StartDocA(rec->dc, &di) <= 0) return false;
    if (!(rec->flags & kPrtFilePassthrough)) {
        StartPage(rec->dc);
        if (rec->font) SelectObject(rec->dc, rec->font->hfont);
    }
    rec->flags |= kPrtFileDocStarted;
    return true;
}

static int32_t OpenDeviceContext(PrinterRec* rec, const char* name, uint16_t flags, char* replyName) {
    rec->bufStart = gDeviceBuf;
    rec->bufEnd = gDeviceBuf + sizeof gDeviceBuf;
    if (flags & kPrtFileWantPassthrough) rec->flags |= kPrtFilePassthrough;
    rec->bufCur = BufferStart(rec);
    if (name[0]) {
        rec->dc = OpenPrtByName(name, rec);
        if (!rec->dc && !gPrtErrNo) return kPrtFileErrOpenByName;
        snprintf(replyName, kPrtNameMax + 1, "%s", gPrtName);
    } else if (!AdvPrtOpenByDlg(rec, 0, kPrtDlgNoDevMode, -1, nullptr, kPrtDlgKeepHandles)) {
        return kPrtFileErrDlgCancel;
    }
    if (!rec->dc) return gPrtErrNo ? gPrtErrNo : kPrtFileErrNoDC;
    if (rec->flags & kPrtFilePassthrough) {
        int escape = PASSTHROUGH;
        if (Escape(rec->dc, QUERYESCSUPPORT, sizeof escape, reinterpret_cast<LPCSTR>(&escape), nullptr) <= 0)
            return kPrtFileErrEscape;
    }
    rec->font = PrtFontCreate("Courier New", kTextFontSize, kPrtPlainStyle, 0, rec->dc);
    if (rec->font) SelectObject(rec->dc, rec->font->hfont);
    TEXTMETRICA tm;
    if (!GetTextMetricsA(rec->dc, &tm) || tm.tmHeight + tm.tmExternalLeading <= 0 || tm.tmAveCharWidth <= 0)
        return kPrtFileErrNoDC;
    rec->charWidth = static_cast<uint32_t>(tm.tmAveCharWidth);
    rec->lineHeight = static_cast<uint32_t>(tm.tmHeight + tm.tmExternalLeading);
    int lines = GetDeviceCaps(rec->dc, VERTRES) / static_cast<int>(rec->lineHeight);
    rec->linesPerPage = static_cast<uint16_t>(lines > 0 ? lines : 1);
    if (!(rec->flags & kPrtFilePassthrough) && strcmp(name, "-") == 0) PrtResetDC(rec->dc, gPrtDevMode);
    if (!StartDeviceDocument(rec)) return kPrtFileErrStartDoc;
    return kPrtOk;
}

static int32_t FlushPassthrough(PrinterRec* rec) {
    size_t pending = static_cast<size_t>(rec->bufCur - rec->bufStart);
    if (pending <= kPrtFileCountBytes) return kPrtOk;
    if (!(rec->flags & kPrtFileDocStarted) && !StartDeviceDocument(rec)) {
        gPrtErrNo = kPrtFileErrDevice;
        return kPrtFileFail;
    }
    // The escape takes the count of data bytes as a WORD before them.
    WORD count = static_cast<WORD>(pending - kPrtFileCountBytes);
    memcpy(rec->bufStart, &count, sizeof count);
    if (ExtEscape(rec->dc, PASSTHROUGH, static_cast<int>(pending), reinterpret_cast<LPCSTR>(rec->bufStart), 0,
                  nullptr) < 1) {
        gPrtErrNo = kPrtFileErrDevice;
        return kPrtFileFail;
    }
    return kPrtOk;
}

static void PrtTextOutLine(void* ctx, int32_t column, int32_t line, const char* text, size_t n) {
    PrinterRec* rec = static_cast<PrinterRec*>(ctx);
    int x = column * static_cast<int>(rec->charWidth);
    int y = (line + 1) * static_cast<int>(rec->lineHeight);
    ExtTextOutA(rec->dc, x, y, 0, nullptr, text, static_cast<UINT>(n), nullptr);
}

static void PrtTextNewPage(void* ctx) {
    PrinterRec* rec = static_cast<PrinterRec*>(ctx);
    if (EndPage(rec->dc) <= 0 || StartPage(rec->dc) <= 0) rec->flags |= kPrtFilePageFailed;
    if (rec->font) SelectObject(rec->dc, rec->font->hfont);
}

// A device that lost a page or the document: the printer file answers -1,
// error 32, unless an earlier failure already stands.
static int32_t DeviceLost(int32_t result) {
    if (result) return result;
    gPrtErrNo = kPrtFileErrDevice;
    return kPrtFileFail;
}

// The characters were converted from OEM when they were put: they are drawn
// as they stand.
static int32_t FlushText(PrinterRec* rec, const uint8_t* data, size_t n) {
    if (!(rec->flags & kPrtFileDocStarted) && !StartDeviceDocument(rec)) {
        gPrtErrNo = kPrtFileErrDevice;
        return kPrtFileFail;
    }
    static const PrtTextOps kOps = {PrtTextOutLine, PrtTextNewPage};
    PrtTextState st = {rec->textLine, rec->textColumn, rec->linesPerPage, gTextPending, 0};
    PrtTextFeed(&st, data, n, kOps, rec);
    rec->textLine = st.line;
    rec->textColumn = st.column;
    if (!(rec->flags & kPrtFilePageFailed)) return kPrtOk;
    rec->flags &= ~kPrtFilePageFailed;
    return DeviceLost(kPrtOk);
}

// ---- Open ---------------------------------------------------------------------------

static int32_t OpenDiskOrPort(PrinterRec* rec, const char* name, const char* mode) {
    rec->flags = kPrtFileDisk;
    PrtPortName pn;
    HANDLE h = INVALID_HANDLE_VALUE;
    DWORD err = ERROR_INVALID_NAME;
    if (PrtParsePortName(name, &pn)) {
        static const DWORD kCreation[] = {OPEN_EXISTING, CREATE_ALWAYS, OPEN_ALWAYS};
        h = CreateFileA(pn.opened, GENERIC_READ | GENERIC_WRITE, 0, nullptr, kCreation[PrtFileCreateMode(pn, mode)],
                        FILE_ATTRIBUTE_NORMAL, nullptr);
        // A printer that refuses to be read: once more for writing only.
        if (h == INVALID_HANDLE_VALUE && pn.lpt)
            h = CreateFileA(pn.opened, GENERIC_WRITE | FILE_READ_ATTRIBUTES, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE) err = GetLastError();
    }
    if (PrtIsRawDeviceName(name)) DebugLogWrite("PrtFileOpen", "%s refused: a raw device name", name);
    if (h == INVALID_HANDLE_VALUE) {
        gPrtErrNo = PrtMapWinError(err);
        snprintf(gErrorText, kErrorTextSize, "PRT: CreateFile failure!");
        return gPrtErrNo;
    }
    rec->file = h;
    SetFilePointer(h, 0, nullptr, FILE_END);
    if (pn.port) {
        rec->flags |= kPrtFilePort;
        rec->lptNumber = pn.lptNumber;
        rec->portDigit = pn.digit;
        SetupPort(rec, pn.comSettings);
        rec->bufStart = rec->bufCur = gPortBuf;
        rec->bufEnd = gPortBuf + sizeof gPortBuf;
        return kPrtOk;
    }
    rec->bufStart = rec->bufCur = static_cast<uint8_t*>(GuardedAlloc(kPrtFileDiskBufSize));
    if (!rec->bufStart) return kPrtFileErrNoBuffer;
    rec->bufEnd = rec->bufStart + kPrtFileDiskBufUsed;
    return kPrtOk;
}

PrinterRec* PrtFileOpen(const char* name, const char* mode, uint16_t flags, uint8_t fileMode, char* replyName) {
    PrtErrorClear();
    snprintf(replyName, kPrtNameMax + 1, "%s", name);
    PrinterRec* rec = PrtRecAlloc(0, 0);
    if (!rec) {
        SetFileError(kPrtFileErrNoRecord);
        return nullptr;
    }
    bool raw = name[0] && (IsWin9x() ? (flags & kPrtFileWantPassthrough) : (flags & kPrtFileWantRawNt));
    int32_t code;
    if (raw) code = OpenRawSpooler(rec, name, replyName);
    else if (flags == 0 && fileMode == kPrtFileModeFile) code = OpenDiskOrPort(rec, name, mode);
    else code = OpenDeviceContext(rec, name, flags, replyName);
    if (code != kPrtOk) {
        if (PrtFileErrorText(code)) SetFileError(code);
        if (rec->file && rec->file != INVALID_HANDLE_VALUE && !(rec->flags & kPrtFileRaw)) CloseHandle(rec->file);
        PrtFileFree(rec);
        return nullptr;
    }
    rec->textLine = rec->textColumn = 0;
    DebugLogWrite("PrtFileOpen", "%s flags 0x%08X handle %u", replyName, rec->flags, rec->handle);
    return rec;
}

// ---- Put, flush, close --------------------------------------------------------------------

int32_t PrtFilePutChar(uint8_t c, PrinterRec* rec) {
    if (!rec) return 0;
    if (gOemConvert) {
        char ch = static_cast<char>(c);
        OemToCharBuffA(&ch, &ch, 1);
        c = static_cast<uint8_t>(ch);
    }
    int32_t result = kPrtOk;
    if (rec->bufCur >= rec->bufEnd) {
        rec->flags |= kPrtFileFinalFlush;
        result = PrtFileFlush(rec);
        rec->flags &= ~kPrtFileFinalFlush;
    }
    *rec->bufCur++ = c;
    return result;
}

int32_t PrtFileFlush(PrinterRec* rec) {
    if (!rec) return 0;
    uint8_t* start = BufferStart(rec);
    if (rec->bufCur == start) return kPrtOk;
    // A disk file is written only when its buffer is full and at the close.
    if (IsDiskFile(rec) && !(rec->flags & kPrtFileFinalFlush)) return kPrtOk;
    size_t n = static_cast<size_t>(rec->bufCur - start);
    int32_t result;
    if (rec->flags & kPrtFileDisk) result = FlushToHandle(rec, start, n);
    else if (rec->flags & kPrtFileRaw) result = FlushToSpooler(rec, start, n);
    else if (rec->flags & kPrtFilePassthrough) result = FlushPassthrough(rec);
    else result = FlushText(rec, start, n);
    // The buffer is emptied, written or not.
    rec->bufCur = start;
    return result;
}

// The same as PrtFilePutChar for each byte, a buffer's room at a time: a full
// buffer is flushed before the next byte goes in, and OEM text is converted
// in the buffer (the conversion is one character at a time).
int32_t PrtFileWrite(PrinterRec* rec, const uint8_t* bytes, uint32_t count) {
    int32_t result = kPrtOk;
    size_t left = count;
    while (left > 0) {
        if (rec->bufCur >= rec->bufEnd) {
            rec->flags |= kPrtFileFinalFlush;
            int32_t r = PrtFileFlush(rec);
            rec->flags &= ~kPrtFileFinalFlush;
            if (r && !result) result = r;
        }
        size_t room = static_cast<size_t>(rec->bufEnd - rec->bufCur);
        size_t n = left < room ? left : room;
        memcpy(rec->bufCur, bytes, n);
        if (gOemConvert) {
            char* text = reinterpret_cast<char*>(rec->bufCur);
            OemToCharBuffA(text, text, static_cast<DWORD>(n));
        }
        rec->bufCur += n;
        bytes += n;
        left -= n;
    }
    int32_t r = PrtFileFlush(rec);
    return result ? result : r;
}

int32_t PrtFileClose(PrinterRec* rec, uint8_t close) {
    rec->flags |= kPrtFileFinalFlush;
    int32_t result = PrtFileFlush(rec);
    rec->flags &= ~kPrtFileFinalFlush;
    bool started = (rec->flags & kPrtFileDocStarted) != 0;
    rec->flags &= ~kPrtFileDocStarted;
    if (rec->flags & kPrtFileDisk) {
        if (!close) return result;
        if (!CloseHandle(rec->file)) {
            gPrtErrNo = PrtMapWinError(GetLastError());
            result = kPrtFileFail;
        }
    } else if (rec->flags & kPrtFileRaw) {
        // Both ends are tried even when the page's fails: the document must end.
        if (started) {
            if (!EndPagePrinter(rec->file)) result = DeviceLost(result);
            if (!EndDocPrinter(rec->file)) result = DeviceLost(result);
        }
        if (!close) return result;
        ClosePrinter(rec->file);
    } else {
        if (started) {
            if (!(rec->flags & kPrtFilePassthrough) && EndPage(rec->dc) <= 0) result = DeviceLost(result);
            if (EndDoc(rec->dc) <= 0) result = DeviceLost(result);
        }
        if (!close) return result;
    }
    rec->file = nullptr;
    PrtFileFree(rec);
    return result;
}

// ---- Messages ---------------------------------------------------------------------------

static int32_t NotAPrinterFile() {
    gPrtErrNo = kPrtFileErrBadHandle;
    return kPrtFileFail;
}

static int32_t OnFileOpen(const SrvMsg* m) {
    PrtFileOpenMsg o;
    if (!PrtDecodeFileOpen(m->r, &o)) {
        PrtErrorClear();
        gPrtErrNo = kPrtBadMessage;
        return 0;
    }
    // The spooler and the default set-up's dialog are loaded first: without
    // them the open is refused for want of memory.
    if (!PrtLibrariesReady()) {
        PrtErrorClear();
        gPrtErrNo = kPrtNoMemory;
        return 0;
    }
    char mode[2] = {o.modeLen ? o.mode[0] : '\0', 0};
    char replyName[kPrtNameMax + 1];
    PrinterRec* rec = PrtFileOpen(o.name, mode, o.flags, o.fileMode, replyName);
    if (!rec) return 0;
    if (!o.name[0]) return static_cast<int32_t>(rec->handle);
    SendPrtName(rec->handle, replyName);
    return kNoAnswer;
}

static int32_t OnFileWrite(const SrvMsg* m) {
    PrtFileWriteMsg w;
    if (!PrtDecodeFileWrite(m->r, &w)) return kPrtBadMessage;
    PrinterRec* rec = PrtFileFromHandle(w.handle);
    if (!rec) return NotAPrinterFile();
    return PrtFileWrite(rec, w.bytes, w.count);
}

static int32_t OnFileClose(const SrvMsg* m) {
    PrtFileCloseMsg c;
    if (!PrtDecodeFileClose(m->r, &c)) return kPrtBadMessage;
    if (PrinterRec* rec = PrtFileFromHandle(c.handle)) return PrtFileClose(rec, c.close);
    if (PrinterRec* job = PrtJobFromHandle(c.handle)) return PrtCloseDefault(job);
    return NotAPrinterFile();
}

int32_t PrtFileHandleMsg(const SrvMsg* m) {
    switch (m->type) {
    case kPrtMsgFileOpen: return OnFileOpen(m);
    case kPrtMsgFileWrite: return OnFileWrite(m);
    case kPrtMsgFileClose: return OnFileClose(m);
    default: return kNoAnswer;
    }
}
