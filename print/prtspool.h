// prtspool.h - the print spool file, platform-free: its header in the short
// and the long form, the 128-byte page record, the drawing records by their
// exact sizes, the buffered writer (page links patched in place, the header
// completed at the end) and the reader that walks from page to page. Both
// work through a table of file operations, so the Win32 side hands them a
// file and the tests a block of memory.
#pragma once

#include <cstddef>
#include <cstdint>

#include "graphics/spoolmemo.h"
#include "print/prtcalc.h"

// ---- File layout ----------------------------------------------------------------------
constexpr uint32_t kSpoolMagic = 0x4C505341;   // "ASPL"
constexpr size_t kSpoolShortHeader = 175, kSpoolLongHeader = 226;
constexpr size_t kSpoolPageRecord = 128;
constexpr size_t kSpoolShortName = 51, kSpoolLongName = 101;   // document name with its NUL
constexpr size_t kSpoolFaceSize = 32;
constexpr size_t kSpoolSetupValues = 11;
constexpr size_t kSpoolBufSize = 4096;                  // the writer's buffer; one byte kept spare
constexpr size_t kSpoolTextChunk = 4094;                 // a text goes into the buffer this much at a time
constexpr uint32_t kSpoolTextMax = 65535;
constexpr uint64_t kSpoolShortLimit = 0xFFEFFFFFull;   // largest offset a short-form file may reach

// Header fields.
enum SpoolHeaderOffset : size_t {
    kSpoolHdrMagic = 0, kSpoolHdrVersion = 4, kSpoolHdrFlags = 8, kSpoolHdrPages = 12, kSpoolHdrLargest = 16,
    kSpoolHdrEndLow = 20, kSpoolHdrName = 24, kSpoolHdrShortDecimal = 75, kSpoolHdrLongDecimal = 125,
    kSpoolHdrEndHigh = 128,
};
// Header versions: 3 short, 4 long, 5 long with data past 4 GB or image
// references, 7 long with UTF-16 texts.
enum SpoolVersion : uint32_t {
    kSpoolVersionOld = 2, kSpoolVersionShort = 3, kSpoolVersionLong = 4, kSpoolVersionBig = 5,
    kSpoolVersionWide = 7, kSpoolVersionMax = 7,
};
// Header flags.
enum : uint32_t { kSpoolFileWriting = 1, kSpoolFileNamed = 2, kSpoolFileUtf16 = 4 };

// Page record fields.
enum SpoolPageOffset : size_t {
    kSpoolPgNext = 0, kSpoolPgPrev = 4, kSpoolPgTextFlags = 8, kSpoolPgTextColor = 12, kSpoolPgBackColor = 16,
    kSpoolPgFontSize = 20, kSpoolPgBold = 24, kSpoolPgItalic = 25, kSpoolPgUnderline = 26, kSpoolPgFace = 27,
    kSpoolPgPenWidth = 59, kSpoolPgCoordMode = 61, kSpoolPgRop = 62, kSpoolPgSetup = 66, kSpoolPgAngle = 88,
    kSpoolPgStrike = 90, kSpoolPgMarginsSet = 91, kSpoolPgLeftMargin = 92, kSpoolPgTopMargin = 94,
    kSpoolPgPrevHigh = 96, kSpoolPgNextHigh = 100,
};
constexpr size_t kSpoolPgMarginsSpan = 13;   // byte 91 and the 12 after it, cleared unless byte 91 is 1

// Drawing record types.
enum SpoolRecordType : uint8_t {
    kSpoolRecControl = 1, kSpoolRecColor = 2, kSpoolRecText = 3, kSpoolRecPos = 4, kSpoolRecOldFont = 5,
    kSpoolRecImage = 6, kSpoolRecLine = 7, kSpoolRecRect = 8, kSpoolRecEllipse = 9, kSpoolRecRoundRect = 10,
    kSpoolRecPageEnd = 11, kSpoolRecNumber = 12, kSpoolRecFont = 13, kSpoolRecRegion = 14, kSpoolRecImageRef = 15,
    kSpoolRecPdfAttach = 16, kSpoolRecPdfInfo = 17, kSpoolRecPdfEncrypt = 18, kSpoolRecPdfImport = 19,
};
// Fixed sizes; texts add their length, images their palette and pixels.
enum SpoolRecordSize : size_t {
    kSpoolSizeControl = 7, kSpoolSizeColor = 9, kSpoolSizeTextHead = 3, kSpoolSizePos = 5, kSpoolSizeOldFont = 40,
    kSpoolSizeImageHead = 73, kSpoolSizeLine = 5, kSpoolSizeRect = 9, kSpoolSizeRoundRect = 13,
    kSpoolSizePageEnd = 1, kSpoolSizeFont = 43, kSpoolSizeImageRef = 13,
};
constexpr size_t kSpoolImageInfoAt = 33;     // the BITMAPINFOHEADER inside an image record
constexpr size_t kSpoolDibHeader = 40;

// Results besides those of prtcalc.h.
enum SpoolResult : int32_t { kPrtSpoolBad = 21286, kPrtNoPageBuffer = 21287, kPrtPreviewWindow = 21288 };
// Runtime error numbers of a refused file (with kPrtSpoolBad).
enum SpoolBadDetail : uint32_t {
    kSpoolBadRecord = 101, kSpoolBadMagic = 102, kSpoolBadVersion = 103, kSpoolBadWriting = 104,
};
// Details of a write failure (with kPrtSpoolWrite).
enum SpoolWriteDetail : uint32_t {
    kSpoolErrReserve = 120, kSpoolErrFinishFlush = 121, kSpoolErrFinishPos = 122, kSpoolErrHeaderSeek = 123,
    kSpoolErrHeaderRead = 124, kSpoolErrHeaderSeekWrite = 125, kSpoolErrHeaderWrite = 126, kSpoolErrPageFlush = 127,
    kSpoolErrPagePos = 128, kSpoolErrLinkSeek = 129, kSpoolErrLink = 130, kSpoolErrSeekEnd = 131,
    kSpoolErrBytesFlush = 132, kSpoolErrBytesDirect = 133,
};

// ---- File operations ------------------------------------------------------------------
// Each returns false on failure; fail is told the detail of a writer failure
// at once (the Win32 side keeps the system's error code with it).
struct SpoolIo {
    void* ctx;
    bool (*write)(void* ctx, const void* bytes, size_t n);
    bool (*read)(void* ctx, void* bytes, size_t n, size_t* got);
    bool (*seek)(void* ctx, uint64_t offset);
    bool (*tell)(void* ctx, uint64_t* offset);
    bool (*size)(void* ctx, uint64_t* size);
    bool (*flush)(void* ctx);
    void (*fail)(void* ctx, uint32_t detail);
};

// ---- Page state -------------------------------------------------------------------------
// What a page record keeps of the job at the start of each page.
struct SpoolPageState {
    uint32_t textFlags, textColor, backColor;
    uint32_t fontSize;          // tenths of a point
    uint16_t angle;             // tenths of a degree
    uint8_t bold, italic, underline, strike;
    char face[kSpoolFaceSize + 1];
    uint16_t penWidth;
    uint8_t coordMode;
    uint32_t ropIndex;
    uint16_t setup[kSpoolSetupValues];
    uint8_t marginsSet;         // byte 91: the margins below are meant
    uint16_t leftMargin, topMargin;
};
void SpoolEncodePageRecord(const SpoolPageState& s, uint8_t out[kSpoolPageRecord]);
// oldForm: a file of versions below 3, whose page records have no angle and strike-out.
void SpoolDecodePageRecord(const uint8_t* rec, bool oldForm, SpoolPageState* out);

// ---- Records ------------------------------------------------------------------------------
// One decoded drawing record; pointers point into the page.
struct SpoolRecord {
    uint8_t type;
    size_t size;                 // bytes to step over (type 15 with its type 8)
    uint32_t code, value;        // 1: code, value; 2: which, colour
    const uint8_t* text;         // 3, 12, 16-19
    uint16_t textLen;
    uint16_t column, row;        // 4, 7
    uint16_t top, bottom, left, right, cornerWidth, cornerHeight;   // 6, 8-10, 14; 15 from its 8
    SpoolPageState font;         // 5, 13: size, angle, styles, face
    uint32_t mode;               // 6
    int32_t source[4];           // 6: left, top, right, bottom
    const uint8_t* dib;          // 6: the 40-byte header
    const uint8_t* palette;      // 6
    uint32_t colors, pixelBytes;
    const uint8_t* pixels;
    uint64_t refOffset;          // 15
    uint32_t refSize;
    size_t at;                   // the record's offset inside the page
};
enum SpoolDecode { kSpoolDecodeOk, kSpoolDecodePageEnd, kSpoolDecodeBad };
// Decodes the record at off of a page of len bytes (page record included);
// every size is checked against the bytes in hand, a record passing the page
// end or of an unknown type is bad.
SpoolDecode SpoolDecodeRecord(const uint8_t* page, size_t len, size_t off, SpoolRecord* out);
// An image record's fields standing alone (a reference replay reads it from
// elsewhere in the file): checked like a record of the page.
bool SpoolDecodeImage(const uint8_t* rec, size_t len, SpoolRecord* out);

// ---- Writer ----------------------------------------------------------------------------------
struct SpoolWriter {
    const SpoolIo* io;
    uint8_t buf[kSpoolBufSize];
    size_t used;
    bool longForm, started;
    uint32_t version;            // the highest its records need
    uint32_t generation;         // long form: this file's number
    uint64_t pageOffset, prevOffset;
    uint32_t pages, largest;
    uint64_t headerAt;           // where the file began (its position at the first page)
    uint64_t filePos;            // the file offset of the buffer's first byte
    uint8_t pageRec[kSpoolPageRecord];   // the current page record as written
};
// The header form: short only when asked for, with a short name and no UTF-16 texts.
bool SpoolUseShortForm(bool shortSetting, size_t docNameLen, bool utf16);
void SpoolWriterInit(SpoolWriter* w, const SpoolIo* io, bool longForm, bool utf16);
// Fills the header of a form (version, flags 1 | 2 (| 4), name, decimal character).
size_t SpoolEncodeHeader(bool longForm, uint32_t version, uint32_t flags, const char* docName, uint8_t decimal,
                         uint8_t* out);
int32_t SpoolReserve(SpoolWriter* w, size_t n);
// Reserves room for n bytes and copies them (n at most the buffer's room).
int32_t SpoolPut(SpoolWriter* w, const void* bytes, size_t n);
// Bulk bytes (image pixels): into the buffer, else straight to the file.
int32_t SpoolWriteBytes(SpoolWriter* w, const void* bytes, size_t n);
// The header on the first page, else the end of the previous page; then the page record.
int32_t SpoolBeginPage(SpoolWriter* w, const SpoolPageState& s, const char* docName, uint8_t decimal);
int32_t SpoolEndPage(SpoolWriter* w);
int32_t SpoolFinish(SpoolWriter* w);
// Records.
int32_t SpoolWriteControl(SpoolWriter* w, uint32_t code, uint16_t value);
int32_t SpoolWriteColor(SpoolWriter* w, uint32_t which, uint32_t colour);
int32_t SpoolWriteText(SpoolWriter* w, uint8_t type, const void* text, size_t len);
int32_t SpoolWriteFour(SpoolWriter* w, uint8_t type, uint16_t a, uint16_t b);  // 4, 7
int32_t SpoolWriteShape(SpoolWriter* w, uint8_t type, uint16_t top, uint16_t bottom, uint16_t left, uint16_t right);
int32_t SpoolWriteRoundRect(SpoolWriter* w, uint16_t top, uint16_t bottom, uint16_t left, uint16_t right,
                            uint16_t cw, uint16_t ch);
int32_t SpoolWriteFont(SpoolWriter* w, const SpoolPageState& f);
struct SpoolImage {
    uint16_t top, bottom, left, right;
    uint32_t mode;
    int32_t source[4];
    const uint8_t* dib;          // 40 bytes
    const uint8_t* palette;
    uint32_t colors;             // palette entries written (and put into biClrUsed)
    const uint8_t* pixels;
    uint32_t pixelBytes;         // put into biSizeImage
};
// An image record with its pixels, or a reference to the same picture
// already spooled into this file (memo) followed by its rectangle.
int32_t SpoolWriteImage(SpoolWriter* w, const SpoolImage& img, SpoolImageMemo* memo, bool drawsNow);

// The session's generation counter of long-form files (skips 0).
uint32_t SpoolNextGeneration();

// ---- Reader ------------------------------------------------------------------------------------
struct SpoolReader {
    const SpoolIo* io;
    bool longForm, oneShort;     // oneShort: a header one byte short (older writers)
    size_t dataStart;            // the first page's offset
    uint32_t fileVersion, version;  // the header's; 2, 3 or 7 as the replay reads it
    uint32_t flags;
    uint32_t pages, largest;
    uint64_t dataEnd, fileSize;
    char docName[kSpoolLongName];
    uint8_t decimal;
    bool utf16, wholePoints, oldPageRecord;
    uint8_t* page;               // page record and records, largest + 1 bytes
    size_t pageCap, pageLen;
    uint32_t current;
    uint64_t pageOffset;
    uint32_t detail;             // the runtime error number of a refusal
    uint8_t* ahead;              // the file read ahead: pages are reached by many small reads
    size_t aheadLen;
    uint64_t aheadAt;
    bool aheadEndIsFilePos;      // the file stands where the window ends (no other read since)
};
constexpr size_t kSpoolReadAhead = 64 * 1024;
// Reads the header and the first page. clientDecimal tells a version-3 long header.
int32_t SpoolReadHeader(SpoolReader* r, const SpoolIo* io, uint8_t clientDecimal);
// One page forward or back; *moved false when there is no such page.
int32_t SpoolStepPage(SpoolReader* r, bool back, bool* moved);
// Page n forward or back from the page in hand, as so many steps would reach
// it (the same page, or the same refusal), reading only the page records of
// the pages between. *reached false when the pages end before n.
int32_t SpoolGoToPage(SpoolReader* r, uint32_t n, bool* reached);
int32_t SpoolRewind(SpoolReader* r);
void SpoolReaderFree(SpoolReader* r);
// The next and previous page offsets of the page in hand.
uint64_t SpoolNextLink(const SpoolReader* r);
uint64_t SpoolPrevLink(const SpoolReader* r);
// Reads an image record of an image reference into buf (grown as needed,
// never shrunk, keyed so that the same record is not read twice); the file
// position is kept. 21285 for a reference outside the file or a failed read.
struct SpoolImageCache {
    uint8_t* buf;
    size_t cap;
    uint64_t keyOffset;
    uint32_t keySize;
    bool valid;
};
int32_t SpoolReadImageRef(SpoolReader* r, uint64_t offset, uint32_t size, SpoolImageCache* cache, SpoolRecord* out);
void SpoolImageCacheFree(SpoolImageCache* c);

// ---- Memory file (tests, the fuzz target) -------------------------------------------------------
struct SpoolMemFile {
    uint8_t* data;
    size_t size, cap, pos;
    size_t gapAt;                // from this position on the file shows gap bytes more
    uint64_t gap;                // (large-file tests without the large file)
    uint32_t failAfterWrites;    // 0: never fail; else the write that fails
    uint32_t writes;
    uint32_t lastDetail;
};
void SpoolMemIo(SpoolMemFile* f, SpoolIo* io);
void SpoolMemFree(SpoolMemFile* f);
