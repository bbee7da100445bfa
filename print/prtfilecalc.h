// prtfilecalc.h - the platform-free half of printer files: the 1208, 2213 and
// 1209 bodies read through the bounded reader, the port-name rule, the COM
// line settings text, the mapping of Windows errors to runtime error numbers,
// the XPS driver test over a driver-information block, and the text-mode
// page layout of a character stream.
#pragma once

#include <cstddef>
#include <cstdint>

#include "session/proto/wire.h"

// ---- Messages --------------------------------------------------------------------
constexpr uint32_t kPrtMsgFileOpen = 1208, kPrtMsgFileClose = 1209;

// Flags word of 1208 (16 bits).
enum : uint16_t {
    kPrtFileWantPassthrough = 0x200,   // passthrough (raw spooler on the Windows 9x platform)
    kPrtFileWantRawNt = 0x400,         // raw spooler on the Windows NT platform
};
constexpr uint8_t kPrtFileModeFile = 1;  // fileMode with flags 0: a disk file or port

struct PrtFileOpenMsg {
    const char* name;       // NUL-terminated inside the message
    size_t nameLen;
    const char* mode;       // may be empty; only its first character counts
    size_t modeLen;
    uint16_t flags;
    uint8_t fileMode;
};
// 1208: +8 offset of the mode text counted from +20, +12 flags, +16 fileMode,
// +20 the name and its NUL, then the mode text. False when the name has no
// NUL inside the message or the mode text does not begin after it.
bool PrtDecodeFileOpen(const WireReader& r, PrtFileOpenMsg* out);

struct PrtFileWriteMsg {
    uint32_t handle;
    const uint8_t* bytes;
    uint32_t count;
};
// 2213: +8 handle, +12 count, +16 the bytes; false when they pass the message.
bool PrtDecodeFileWrite(const WireReader& r, PrtFileWriteMsg* out);

struct PrtFileCloseMsg {
    uint32_t handle;
    uint8_t close;          // 0: flush and end the document, 1: close and free
};
bool PrtDecodeFileClose(const WireReader& r, PrtFileCloseMsg* out);

// ---- Record flags (PrinterRec::flags of a printer file) ----------------------------
enum : uint32_t {
    kPrtFileDisk = 0x1,          // a disk file or port
    kPrtFilePort = 0x2,
    kPrtFileDocStarted = 0x4,
    kPrtFilePassthrough = 0x8,
    kPrtFileRaw = 0x800,         // the raw spooler
    kPrtFileFinalFlush = 0x1000, // set around a flush that must write a disk file
    kPrtFilePageFailed = 0x2000, // a text-mode page break failed: the text's flush answers it
};
// PDF flags word: the raw document uses the "XPS_PASS" datatype.
constexpr uint32_t kPrtFileXpsPass = 64;

// Buffers.
constexpr size_t kPrtFileDiskBufSize = 4096;
constexpr size_t kPrtFileDiskBufUsed = 4095;
constexpr size_t kPrtFileSharedBufSize = 512;
constexpr size_t kPrtFileCountBytes = 2;     // passthrough: the u16 count first
constexpr size_t kPrtFileTextMax = 40961;    // pending characters of text mode

// Runtime error numbers of printer files.
enum PrtFileError : int32_t {
    kPrtFileErrBadHandle = 9,
    kPrtFileErrDevice = 32,       // spooler and device targets
    kPrtFileErrNoRecord = 201,
    kPrtFileErrNoBuffer = 202,
    kPrtFileErrDefaultSetup = 203,
    kPrtFileErrGlobalLock = 204,
    kPrtFileErrOpenPrinter = 205,
    kPrtFileErrStartDoc = 206,
    kPrtFileErrStartPage = 207,
    kPrtFileErrDlgCancel = 208,
    kPrtFileErrOpenByName = 209,
    kPrtFileErrNoDC = 210,
    kPrtFileErrEscape = 211,
};
// The "PRT: " text of a code 201-211, or null.
const char* PrtFileErrorText(int32_t code);
// The runtime error number of a Windows error.
int32_t PrtMapWinError(uint32_t winError);

// ---- Port names ------------------------------------------------------------------
constexpr size_t kPrtFileNameMax = 259;
struct PrtPortName {
    bool port;              // LPT1-4 or COM1-4 followed by ':', '.', '!' or the end
    bool lpt;               // the name begins with "LPT" (any case; also a non-port)
    uint32_t lptNumber;     // 1-4, plus 10 with '!' after the digit; 0 for COM and others
    char digit;             // the port digit, '0' for other names
    char opened[kPrtFileNameMax + 1];  // the name to open, cut
    const char* comSettings;           // what follows the ':' of a port name, or ""
};
// A name longer than kPrtFileNameMax is refused, and so is a name in the
// device namespace (PrtIsRawDeviceName).
bool PrtParsePortName(const char* name, PrtPortName* out);
// "\\.\" or "\\?\" (either slash) opens disks, volumes and other devices
// raw: never a printer file.
bool PrtIsRawDeviceName(const char* name);
enum PrtFileCreate { kPrtCreateOpenExisting, kPrtCreateAlways, kPrtCreateOpenAlways };
// Ports open the existing device; files are truncated for mode 'w', else appended.
PrtFileCreate PrtFileCreateMode(const PrtPortName& name, const char* mode);

// ---- COM line settings -------------------------------------------------------------
enum PrtParity : uint8_t { kPrtParityNone = 0, kPrtParityOdd = 1, kPrtParityEven = 2, kPrtParityMark = 3 };
enum PrtStopBits : uint8_t { kPrtStopOne = 0, kPrtStopTwo = 2 };
constexpr uint32_t kPrtDefaultBaud = 9600;
constexpr uint8_t kPrtDefaultDataBits = 8;
struct PrtCommSettings {
    uint32_t baud;
    uint8_t parity;          // as read from the port unless the text names one
    uint8_t dataBits;
    uint8_t stopBits;
    bool xonOut;
};
// The defaults (9600 baud, 8 data bits, one stop bit, XON/XOFF output off,
// the parity given), then the fields of "baud,parity,data,stop,flow".
PrtCommSettings PrtParseCommSettings(const char* text, uint8_t parityAsRead);

// ---- Writing to a file or port ----------------------------------------------------
struct PrtPortWriteOps {
    // One write: true when it succeeded; the bytes it took (a port's time-out
    // may take part of them and still succeed) and, on failure, the error.
    bool (*write)(void* ctx, const uint8_t* data, size_t n, size_t* written, uint32_t* winError);
    void (*debugBox)(void* ctx, uint32_t winError);   // after each silent retry
    bool (*askRetry)(void* ctx);                      // the Retry/Cancel box: true for Retry
};
// Writes all n bytes. A write that takes part of them goes on with the rest;
// one that takes nothing (or fails) uses one of the silent retries, and with
// none left asks: Retry starts the retries again, Cancel gives -1 with the
// error of the last write in winError.
int32_t PrtPortWrite(const uint8_t* data, size_t n, uint32_t retries, const PrtPortWriteOps& ops, void* ctx,
                     uint32_t* winError);
constexpr uint32_t kPrtNoProgressError = 29;      // ERROR_WRITE_FAULT: a write that succeeded with nothing taken

// ---- XPS drivers --------------------------------------------------------------------
constexpr uint32_t kPrtDriverInfoBlock = 20480;
constexpr uint32_t kPrtDriverXps = 2;        // PRINTER_DRIVER_XPS in the driver attributes
// The driver is an XPS driver when both size answers of GetPrinterDriverA
// level 8 are below the block size and the attribute word at attrOffset of
// the block holds kPrtDriverXps.
bool PrtIsXpsDriverBlock(const uint8_t* block, size_t blockSize, size_t attrOffset, uint32_t neededFirst,
                         uint32_t neededSecond);

// ---- Text mode ----------------------------------------------------------------------
struct PrtTextOps {
    // Draws n characters at column, line (the caller scales to the device).
    void (*drawText)(void* ctx, int32_t column, int32_t line, const char* text, size_t n);
    void (*newPage)(void* ctx);
};
struct PrtTextState {
    int32_t line, column;
    uint16_t linesPerPage;
    char* pending;          // kPrtFileTextMax bytes
    size_t pendingCount;
};
constexpr int32_t kPrtTabStop = 8;
// Lays out a run of characters: tab, line feed, form feed, carriage return
// and blank move the position; every other character is drawn as text.
void PrtTextFeed(PrtTextState* st, const uint8_t* bytes, size_t n, const PrtTextOps& ops, void* ctx);

// ---- Printer query records -----------------------------------------------------------
// The device information record: 292 characters and a NUL.
constexpr size_t kPrtDeviceInfoLen = 292;
constexpr size_t kPrtDeviceNameField = 31;
constexpr int kPrtInfoJobFlags = 5;      // text flags 0x1-0x10 as "Y" or "N"
constexpr int kPrtInfoSetupValues = 11;  // the DEVMODE's page set-up values
struct PrtDeviceInfoFields {
    int32_t driverVersion, pageWidth, pageHeight, widthMm, heightMm, colourDepth, fonts;
    bool stretches;
    int32_t copies;
    bool allPages, selection;
    int32_t firstPage, lastPage;
    bool jobFlags[kPrtInfoJobFlags];
    bool hasDevMode;
    const char* deviceName;
    int32_t setup[kPrtInfoSetupValues];
    int32_t row, column;
    int32_t coordMode;
    int32_t cellHeight, cellWidth;
    int32_t rowField, columnField;   // numbers in cell mode, else the raw position
};
void PrtFormatDeviceInfo(const PrtDeviceInfoFields& f, char* out);
// The font metrics record: 38 characters and a NUL.
constexpr size_t kPrtFontMetricsLen = 38;
struct PrtFontMetricsFields {
    int32_t ascent, descent, height, heightLeading, aveWidth, maxWidth, textWidth;
    uint8_t firstChar, lastChar;
};
void PrtFormatFontMetrics(const PrtFontMetricsFields& f, char* out);
// Fields of the record: "Y" or "N", and the row or column numbers of cell mode.
char* PrtPutYesNo(char* out, bool yes);
int32_t PrtCellNumber(int32_t position, int32_t cell);
