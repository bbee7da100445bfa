// prtfilecalc.cpp - the platform-free half of printer files: message bodies
// read through the bounded reader, port names and COM settings texts, error
// numbers, the XPS driver test and the text-mode layout; and the fixed-width
// records of the printer queries.
#include "print/prtfilecalc.h"

#include <cctype>
#include <cstring>

#include "print/pdf/pdf.h"
#include "session/util/bytereader.h"
#include "session/util/digits.h"

// ---- Messages --------------------------------------------------------------------

constexpr size_t kOpenModeOffset = 8, kOpenFlags = 12, kOpenFileMode = 16, kOpenName = 20;
constexpr size_t kWriteHandle = 8, kWriteCount = 12, kWriteBytes = 16;
constexpr size_t kCloseHandle = 8, kCloseByte = 12;

bool PrtDecodeFileOpen(const WireReader& r, PrtFileOpenMsg* out) {
    *out = PrtFileOpenMsg();
    uint32_t modeOff, flags;
    if (!r.U32At(kOpenModeOffset, &modeOff) || !r.U32At(kOpenFlags, &flags) || !r.U8At(kOpenFileMode, &out->fileMode))
        return false;
    out->flags = static_cast<uint16_t>(flags);
    if (!r.Has(kOpenName, 0)) return false;
    size_t room = r.Length() - kOpenName;
    const char* name = reinterpret_cast<const char*>(r.PtrAt(kOpenName, room));
    const void* nul = room ? memchr(name, 0, room) : nullptr;
    if (!nul) return false;
    out->name = name;
    out->nameLen = static_cast<size_t>(static_cast<const char*>(nul) - name);
    // The mode text begins after the name's NUL and inside the message; it
    // runs to its own NUL or the message end.
    if (modeOff <= out->nameLen || modeOff > room) return false;
    out->mode = name + modeOff;
    size_t left = room - modeOff;
    const void* modeEnd = left ? memchr(out->mode, 0, left) : nullptr;
    out->modeLen = modeEnd ? static_cast<size_t>(static_cast<const char*>(modeEnd) - out->mode) : left;
    if (!out->modeLen) out->mode = "";  // an offset at the message end points at nothing to read
    return true;
}

bool PrtDecodeFileWrite(const WireReader& r, PrtFileWriteMsg* out) {
    *out = PrtFileWriteMsg();
    if (!r.U32At(kWriteHandle, &out->handle) || !r.U32At(kWriteCount, &out->count) || !r.Has(kWriteBytes, out->count))
        return false;
    out->bytes = r.PtrAt(kWriteBytes, out->count);
    return true;
}

bool PrtDecodeFileClose(const WireReader& r, PrtFileCloseMsg* out) {
    *out = PrtFileCloseMsg();
    return r.U32At(kCloseHandle, &out->handle) && r.U8At(kCloseByte, &out->close);
}

// ---- Errors ------------------------------------------------------------------------

const char* PrtFileErrorText(int32_t code) {
    switch (code) {
    case kPrtFileErrNoRecord:
    case kPrtFileErrNoBuffer: return "PRT: Memory Allocation!";
    case kPrtFileErrDefaultSetup: return "PRT: GetDefaultPageSetup Fail!";
    case kPrtFileErrGlobalLock: return "PRT: GlobalLock Fail!";
    case kPrtFileErrOpenPrinter: return "PRT: OpenPrinter failure!";
    case kPrtFileErrStartDoc: return "PRT: StartDocPrinter Fail!";
    case kPrtFileErrStartPage: return "PRT: StartPagePrinter Fail!";
    case kPrtFileErrDlgCancel: return "PRT: AdvPrtOpenByDlg Canceled!";
    case kPrtFileErrOpenByName: return "PRT: OpenPrtByName Fail!";
    case kPrtFileErrNoDC: return "PRT: printDC NULL!";
    case kPrtFileErrEscape: return "PRT: Escape Fail!";
    default: return nullptr;
    }
}

struct WinErrorRow {
    uint32_t winError;
    int32_t runtime;
};
static const WinErrorRow kWinErrorMap[] = {
    {2, 2},   {3, 2},   {15, 2},  {26, 2},  {110, 2}, {123, 2},  // not found, bad name
    {4, 23},                                                  // too many open files
    {5, 13},  {32, 13}, {82, 13}, {148, 13},                  // access denied, in use
    {6, 9},                                                   // invalid handle
    {14, 12},                                                 // out of memory
    {39, 28}, {112, 28},                                      // disk full
    {170, 16},                                                // busy
    {183, 17},                                                // already exists
    {267, 20},                                                // not a directory
};
constexpr int32_t kRuntimeIoError = 5;

int32_t PrtMapWinError(uint32_t winError) {
    for (const WinErrorRow& row : kWinErrorMap)
        if (row.winError == winError) return row.runtime;
    return kRuntimeIoError;
}

// ---- Port names ------------------------------------------------------------------

constexpr size_t kPortPrefixLen = 3, kPortDigitAt = 3, kPortAfterDigit = 4;
constexpr uint32_t kLptNoBox = 10;   // added to the LPT number when '!' follows the digit

static bool PrefixIs(const char* name, const char* prefix) {
    for (size_t i = 0; i < kPortPrefixLen; i++)
        if (toupper(static_cast<unsigned char>(name[i])) != prefix[i]) return false;
    return true;
}

static bool IsSlash(char c) { return c == '\\' || c == '/'; }

bool PrtIsRawDeviceName(const char* name) {
    return IsSlash(name[0]) && IsSlash(name[1]) && (name[2] == '.' || name[2] == '?') && IsSlash(name[3]);
}

bool PrtParsePortName(const char* name, PrtPortName* out) {
    *out = PrtPortName();
    out->digit = '0';
    out->comSettings = "";
    size_t len = strlen(name);
    if (len > kPrtFileNameMax || PrtIsRawDeviceName(name)) return false;
    memcpy(out->opened, name, len + 1);
    out->lpt = len >= kPortPrefixLen && PrefixIs(name, "LPT");
    bool com = len >= kPortPrefixLen && PrefixIs(name, "COM");
    if (!(out->lpt || com) || len < kPortAfterDigit) return true;
    char digit = name[kPortDigitAt], after = name[kPortAfterDigit];
    if (digit < '1' || digit > '4') return true;
    if (after != ':' && after != '.' && after != '!' && after != 0) return true;
    out->port = true;
    out->digit = digit;
    if (out->lpt) out->lptNumber = static_cast<uint32_t>(digit - '0') + (after == '!' ? kLptNoBox : 0);
    // The name ends at the first ':' (what follows is the COM settings text);
    // a '!' goes with everything after it up to that ':'.
    const char* colon = strchr(name, ':');
    size_t keep = colon ? static_cast<size_t>(colon - name) : len;
    const char* bang = static_cast<const char*>(memchr(name, '!', keep));
    if (bang) keep = static_cast<size_t>(bang - name);
    out->opened[keep] = 0;
    if (colon) out->comSettings = colon + 1;
    return true;
}

PrtFileCreate PrtFileCreateMode(const PrtPortName& name, const char* mode) {
    if (name.port) return kPrtCreateOpenExisting;
    return mode && mode[0] == 'w' ? kPrtCreateAlways : kPrtCreateOpenAlways;
}

// ---- COM line settings -------------------------------------------------------------

enum CommField { kFieldBaud, kFieldParity, kFieldData, kFieldStop, kFieldFlow, kFieldCount };
constexpr uint32_t kBaudShortHundreds = 100;   // values below are hundreds of baud
constexpr uint32_t kBaud19 = 19, kBaud19200 = 19200;

static void ApplyCommField(PrtCommSettings* s, int field, const char* text, size_t n) {
    if (n == 0) return;
    char c = static_cast<char>(tolower(static_cast<unsigned char>(text[0])));
    switch (field) {
    case kFieldBaud: {
        uint32_t v = 0;
        for (size_t i = 0; i < n && isdigit(static_cast<unsigned char>(text[i])); i++) {
            if (v > 100000000) break;  // no line runs that fast: the number stops growing
            v = v * 10 + static_cast<uint32_t>(text[i] - '0');
        }
        if (v == 0) s->baud = kPrtDefaultBaud;
        else if (v == kBaud19) s->baud = kBaud19200;
        else if (v < kBaudShortHundreds) s->baud = v * 100;
        else s->baud = v;
        break;
    }
    case kFieldParity:
        if (c == 'e') s->parity = kPrtParityEven;
        else if (c == 'o') s->parity = kPrtParityOdd;
        else if (c == 'n') s->parity = kPrtParityNone;
        else if (c == 'm') s->parity = kPrtParityMark;
        break;
    case kFieldData:
        // Lines carry 5 to 8 data bits; any other digit keeps 8.
        if (c >= '5' && c <= '8') s->dataBits = static_cast<uint8_t>(c - '0');
        break;
    case kFieldStop:
        s->stopBits = c == '2' ? kPrtStopTwo : kPrtStopOne;
        break;
    case kFieldFlow:
        if (c == 'x') s->xonOut = true;
        else if (c == 'p') s->xonOut = false;
        break;
    }
}

PrtCommSettings PrtParseCommSettings(const char* text, uint8_t parityAsRead) {
    PrtCommSettings s = {kPrtDefaultBaud, parityAsRead, kPrtDefaultDataBits, kPrtStopOne, false};
    if (!text) return s;
    const char* p = text;
    for (int field = 0; field < kFieldCount; field++) {
        const char* end = strchr(p, ',');
        size_t n = end ? static_cast<size_t>(end - p) : strlen(p);
        ApplyCommField(&s, field, p, n);
        if (!end) break;
        p = end + 1;
    }
    return s;
}

// ---- Writing to a file or port ----------------------------------------------------

int32_t PrtPortWrite(const uint8_t* data, size_t n, uint32_t retries, const PrtPortWriteOps& ops, void* ctx,
                     uint32_t* winError) {
    uint32_t left = retries;
    *winError = 0;
    while (n > 0) {
        size_t written = 0;
        uint32_t err = kPrtNoProgressError;
        bool ok = ops.write(ctx, data, n, &written, &err);
        if (written > n) written = n;
        data += written;
        n -= written;
        if (ok && written > 0) continue;
        if (n == 0) break;
        *winError = err;
        if (left > 0) {
            left--;
            ops.debugBox(ctx, err);
            continue;
        }
        if (!ops.askRetry(ctx)) return -1;
        left = retries;
    }
    return 0;
}

// ---- XPS drivers --------------------------------------------------------------------

bool PrtIsXpsDriverBlock(const uint8_t* block, size_t blockSize, size_t attrOffset, uint32_t neededFirst,
                         uint32_t neededSecond) {
    if (neededFirst >= kPrtDriverInfoBlock || neededSecond >= kPrtDriverInfoBlock) return false;
    ByteReader r(block, blockSize);
    uint32_t attributes;
    if (!r.U32At(attrOffset, &attributes)) return false;
    return (attributes & kPrtDriverXps) != 0;
}

// ---- Text mode ----------------------------------------------------------------------

enum : uint8_t { kChTab = 9, kChLineFeed = 10, kChFormFeed = 12, kChReturn = 13, kChBlank = 32 };

static void DrawPending(PrtTextState* st, const PrtTextOps& ops, void* ctx) {
    if (!st->pendingCount) return;
    ops.drawText(ctx, st->column, st->line, st->pending, st->pendingCount);
    st->column += static_cast<int32_t>(st->pendingCount);
    st->pendingCount = 0;
}

static void NewPage(PrtTextState* st, const PrtTextOps& ops, void* ctx) {
    ops.newPage(ctx);
    st->line = 0;
    st->column = 0;
}

void PrtTextFeed(PrtTextState* st, const uint8_t* bytes, size_t n, const PrtTextOps& ops, void* ctx) {
    for (size_t i = 0; i < n; i++) {
        uint8_t c = bytes[i];
        switch (c) {
        case kChTab:
            DrawPending(st, ops, ctx);
            st->column = (st->column / kPrtTabStop + 1) * kPrtTabStop;
            break;
        case kChLineFeed:
            DrawPending(st, ops, ctx);
            st->line++;
            if (st->linesPerPage && st->line >= st->linesPerPage) NewPage(st, ops, ctx);
            break;
        case kChFormFeed:
            DrawPending(st, ops, ctx);
            NewPage(st, ops, ctx);
            break;
        case kChReturn:
            DrawPending(st, ops, ctx);
            st->column = 0;
            break;
        case kChBlank:
            DrawPending(st, ops, ctx);
            st->column++;
            break;
        default:
            // Other control characters (below 9, 11, 14-31) go with the text.
            if (st->pendingCount >= kPrtFileTextMax) DrawPending(st, ops, ctx);
            st->pending[st->pendingCount++] = static_cast<char>(c);
            break;
        }
    }
    DrawPending(st, ops, ctx);
}

// ---- Printer query records -----------------------------------------------------------

char* PrtPutYesNo(char* out, bool yes) {
    *out = yes ? 'Y' : 'N';
    return out + 1;
}

int32_t PrtCellNumber(int32_t position, int32_t cell) { return cell > 0 ? position / cell + 1 : 1; }

void PrtFormatDeviceInfo(const PrtDeviceInfoFields& f, char* out) {
    char* p = out;
    const int32_t head[] = {f.driverVersion, f.pageWidth, f.pageHeight, f.widthMm, f.heightMm, f.colourDepth, f.fonts};
    for (int32_t v : head) p = PutDec8(p, v);
    p = PrtPutYesNo(p, f.stretches);
    p = PutDec4(p, f.copies);
    p = PrtPutYesNo(p, f.allPages);
    p = PrtPutYesNo(p, f.selection);
    p = PutDec8(p, f.firstPage);
    p = PutDec8(p, f.lastPage);
    for (bool b : f.jobFlags) p = PrtPutYesNo(p, b);
    size_t nameLen = f.hasDevMode && f.deviceName ? strnlen(f.deviceName, kPrtDeviceNameField) : 0;
    p = PutDec4(p, static_cast<long>(nameLen));
    memset(p, ' ', kPrtDeviceNameField);
    if (nameLen) memcpy(p, f.deviceName, nameLen);
    p += kPrtDeviceNameField;
    for (int32_t v : f.setup) p = IntToSignedDigits(p, f.hasDevMode ? v : 0);
    p = PutDec8(p, f.row);
    p = PutDec8(p, f.column);
    p = PutDec4(p, f.coordMode);
    p = PutDec8(p, f.cellHeight);
    p = PutDec8(p, f.cellWidth);
    p = PutDec8(p, f.rowField);
    p = PutDec8(p, f.columnField);
    *p = 0;
}

void PrtFormatFontMetrics(const PrtFontMetricsFields& f, char* out) {
    char* p = out;
    const int32_t d4[] = {f.ascent, f.descent, f.height, f.heightLeading, f.aveWidth, f.maxWidth, f.textWidth};
    for (int32_t v : d4) p = PutDec4(p, v);
    *p++ = static_cast<char>(f.firstChar);
    *p++ = static_cast<char>(f.lastChar);
    p = PutDec8(p, f.textWidth);
    *p = 0;
}
