// pdf.h - the PDF writer: one document record per open PDF file, its page
// content, standard fonts, shapes and printer information, and the small
// job-geometry record and hooks through which the print job feeds it.
#pragma once

#include <cstddef>
#include <cstdint>

#include "session/util/digits.h"
#include "session/util/qovtypes.h"

// Results the print job sees (its own numbering).
enum PdfResult {
    kPdfOk = 0, kPdfFail = -1, kPdfTreeTooDeep = 1, kPdfFontNotMade = 21271,
    kPdfImageNotWritten = 21272,  // a picture that cannot be written (depth, palette, size, memory)
};

// Runtime error numbers the writer leaves in gPdfErrNo.
enum PdfErrNo {
    kPdfErrNoFile = 2,       // a file (the output, a font file) not found or not made
    kPdfErrNoFontFile = kPdfErrNoFile,
    kPdfErrWrite = 5,        // a write, flush or close failed
    kPdfErrBadHandle = 9,
    kPdfErrNoMemory = 12,
    kPdfErrUnprotected = 13, // encryption was asked for and refused: the file is not left readable
    kPdfErrTooLarge = 27,    // an object lies beyond what the cross-reference table can address
};

// Document flag bits (PdfDocRec::flags).
enum : DWORD {
    kPdfFlagGrey = 0x1,
    kPdfFlagAlignRight = 0x2,
    kPdfFlagAlignDecimal = 0x4,
    kPdfFlagFillShapes = 0x8,
    kPdfFlagImageFrame = 0x10,
    kPdfFlagTransparent = 0x20,
    kPdfFlagAlignCentre = 0x40,
    kPdfFlagAlignMask = 0x46,
    kPdfFlagReverse = 0x100,
    kPdfFlagRtl = 0x200,
    kPdfFlagUnderline = 0x400,
    kPdfFlagPageStarted = 0x800,
    kPdfFlagNoInfo = 0x1000,
    kPdfFlagEmbedTrueType = 0x2000,
    kPdfFlagUncompressed = 0x4000,
    kPdfFlagKeepFamily = 0x8000,
    kPdfFlagPreferTrueType = 0x10000,
    kPdfFlagClearText = 0x20000,
    kPdfFlagWinAnsi = 0x40000,
    kPdfFlagKeepLineHeight = 0x80000,
    kPdfFlag16BitText = 0x100000,
    kPdfFlagFontOption = 0x200000,
    kPdfFlagNoJpeg = kPdfFlagFontOption,  // the same option bit keeps images out of JPEG
    kPdfFlagAltBaseline = 0x400000,
};

// Flags of a new document before its options apply: TrueType files embedded,
// images framed.
constexpr DWORD kPdfFlagsAtBegin = kPdfFlagEmbedTrueType | kPdfFlagImageFrame;

// Bits of the option word PdfBegin takes (the print job's open options).
enum : DWORD {
    kPdfOptUncompressed = 1u << 16,    // streams written uncompressed
    kPdfOptKeepFamily = 1u << 18,      // with kPdfOptPreferTrueType: family names as given
    kPdfOptPreferTrueType = 1u << 19,  // the standard families from their TrueType files
    kPdfOptNoMargin = 1u << 20,        // no 9-point margins
    kPdfOptNoEmbed = 1u << 21,         // TrueType font files not embedded
    kPdfOptWinAnsi = 1u << 23,         // WinAnsiEncoding for the standard fonts
    kPdfOptKeepLineHeight = 1u << 25,  // the font line height is not measured on the device
    kPdfOptFontOption = 1u << 26,
    kPdfOpt16BitText = 1u << 27,       // every text in TrueType subsets
    kPdfOptUtf16Text = 1u << 28,       // the print job's "texts may be UTF-16", passed through
    kPdfOptAltBaseline = 1u << 29,
    kPdfOptNoInfo = 1u << 30,          // no information dictionary
};

// Directions of a unit conversion.
enum { kPdfNoDir = 0, kPdfHorz = 1, kPdfVert = 2 };

// Unit modes of positions (the job's coordinate modes).
enum : BYTE {
    kPdfUnitCells = 1, kPdfUnitInch100 = 2, kPdfUnitMm10 = 3, kPdfUnitInch1000 = 4,
    kPdfUnitMm100 = 5, kPdfUnitDots = 6, kPdfUnitHalfPoints = 7, kPdfUnitFontCells = 8,
};

constexpr int kPdfOutBufSize = 4096;
// The character cell of unit mode 1 (Courier 11), points.
constexpr double kPdfCellWidth = 6.6, kPdfLineHeight = 11.756;
constexpr int kPdfTreeFanout = 10;
constexpr int kPdfTreeLevels = 10;
constexpr int kPdfFileNameMax = 255;
constexpr int kPdfFaceMax = 31;

// Per-font metrics: underline position, underline thickness, descent, ascent
// (1/1000 em), then the advance widths of codes 0-255 in 1/1000 em.
struct PdfFontMetrics {
    double lead[4];
    double widths[256];
};

// A parsed print font.
struct PdfFontSpec {
    DWORD size;        // tenths of a point; 90 when not given
    WORD angle;        // tenths of a degree
    BYTE bold, italic, underline, strikeOut;
    char face[kPdfFaceMax + 1];
};

enum : BYTE { kPdfFontType1 = 0, kPdfFontTrueType = 1 };

// One font of a document, listed newest first.
struct PdfFontRec {
    PdfFontRec* next;
    DWORD objNum;
    DWORD fontNum;                 // resource name "/F" + fontNum
    const PdfFontMetrics* metrics;
    char family[kPdfFaceMax + 1];  // the name it was selected under
    char baseFont[64];
    BYTE used;
    BYTE kind;
    BYTE bold, italic;
};

// A list entry of the record's image, annotation and form lists; the image,
// annotation and imported-page writers own the rest of their records.
struct PdfListRec {
    PdfListRec* next;
    DWORD objNum;
    DWORD resNum;
    BYTE used;
};

struct PdfTreeLevel {
    DWORD node;
    DWORD parent;
    DWORD kidCount;
    DWORD pageCount;
    DWORD kids[kPdfTreeFanout];
};

// One PDF document being written; zero-filled by PdfBegin, freed by PdfFinish.
struct PdfDocRec {
    DWORD flags;
    DWORD nextObj;
    DWORD objCapacity;
    uint64_t* objOffsets;
    DWORD pageCounter;
    DWORD imageCounter, fontCounter;
    PdfListRec* images;
    PdfListRec* images2;
    PdfFontRec* fonts;
    PdfListRec* annots;
    PdfListRec* forms;
    char fileName[kPdfFileNameMax + 1];
    uintptr_t file;
    uint64_t filePos;
    BYTE outBuf[kPdfOutBufSize];
    DWORD outFill;
    BYTE* content;
    DWORD contentLen, contentCap;
    // Drawing state (points, measured from the top-left of the printable area).
    double regionBottom, regionRight;
    double cellWidth, lineHeight;
    double defCellWidth, defLineHeight;
    double fontCellWidth, fontLineHeight;
    double explicitCellWidth, explicitLineHeight;
    double angle;
    double pageWidth, pageHeight;
    BYTE orientation;              // 'Z' = landscape
    PdfFontRec* curFont;
    int fontSize;
    double x, y;
    double topMargin, leftMargin, topOffset, leftOffset;
    double penWidth;
    DWORD lastFill, lastStroke;    // kPdfNoColour = none written yet
    DWORD background, foreground;  // 0x00BBGGRR
    BYTE unitMode;
    int resolution;
    // Page tree.
    BYTE treeDepth;
    PdfTreeLevel tree[kPdfTreeLevels];
    // Document information and encryption.
    DWORD infoObj;
    BYTE fileId[16];
    BYTE userPad[32], ownerPad[32];
    DWORD encryptObj;
    BYTE keyMaterial[10];
    struct PdfFontFileRec* fontFiles;  // TrueType files described, by path
    DWORD formCounter;             // imported pages: "/PDFForm" numbers
    struct PdfImportedFiles* imported;  // what the imports of each source file copied
    int fontError;                 // a font failure while drawing, reported at the end (an error number)
    BYTE writeFailed;              // a write, flush or close of the file failed
    BYTE tooLarge;                 // an object offset did not fit its cross-reference entry
    BYTE contentLost;              // page content was dropped: the buffer could not grow
    BYTE protectRefused;           // encryption was asked for and refused: the finished file is deleted
};

constexpr DWORD kPdfNoColour = 0xFFFFFFFFu;

// Values the PDF writer reads of the print job that owns the document: the job
// code fills one and points gPdfCurJob at it while the job is current.
enum : DWORD { kPdfJobGeomKind = 0x4A504447 };
struct PdfJobGeom {
    DWORD kind;              // kPdfJobGeomKind
    BYTE coordinateMode;     // 1..8
    BYTE decimalChar;
    WORD printQuality;       // page set-up print quality, dots per inch
    DWORD pdfFlags;
    DWORD openOptions;
};
extern PdfJobGeom* gPdfCurJob;

// The platform services the writer needs, replaceable by the session (and by
// tests): the account name, the clock, the console flag, the default printer's
// print quality, and the measuring of a new font on the job's reference device.
struct PdfHooks {
    bool (*userName)(char* out, size_t size);   // false: empty name
    int64_t (*now)();                           // seconds since 1970
    int (*defaultPrintQuality)();               // 0 when unknown
    void (*measureFont)(PdfDocRec* doc);        // may set the font cell
    BYTE consoleMode;
    // The font file of a key of the client ini's "PdfFonts" section, or null.
    const char* (*iniFont)(const char* key);
    // The index-th value of the system's list of installed fonts (its name
    // and its file); false past the last.
    bool (*fontListEntry)(DWORD index, char* name, size_t nameSize, char* file, size_t fileSize);
    // Text of the ANSI code page as UTF-16 (at most outMax units): the count.
    size_t (*ansiToWide)(const BYTE* text, size_t n, WORD* out, size_t outMax);
};
constexpr WORD kPdfReplacementChar = 0xFFFD;
extern PdfHooks gPdfHooks;

// The runtime error number of the last failure and the writer's error text.
extern int gPdfErrNo;
extern char gPdfErrorText[128];

// ---- file layer -------------------------------------------------------------
// Access bits of an open: read only, or read and write.
enum : DWORD { kPdfFileAccessMask = 0x70, kPdfFileReadWrite = 0x10, kPdfFileReadOnly = 0x40 };
enum PdfFileCreate { kPdfOpenExisting = 0, kPdfOpenCreate = 1 };
uintptr_t PdfFileOpen(const char* name, DWORD access, PdfFileCreate create);  // 0 on failure
int64_t PdfFileSeek(uintptr_t h, int64_t offset);
int64_t PdfFileSeekEnd(uintptr_t h);  // the file's size, or -1
int64_t PdfFileRead(uintptr_t h, void* buf, size_t n);
int64_t PdfFileWrite(uintptr_t h, const void* buf, size_t n);
int PdfFileClose(uintptr_t h);
int PdfFileTimes(uintptr_t h, int64_t* created, int64_t* written);

// ---- document ---------------------------------------------------------------
int PdfBegin(const char* fileName, PdfDocRec** out, DWORD options, int resolution);
// 0; 21271 after a font error; -1 (kPdfFail) when the file could not be
// written whole (a short write, or its close failed; error 5) or page content
// was dropped for want of memory (error 12).
int PdfFinish(PdfDocRec* doc);
void PdfStartPage(PdfDocRec* doc);
void PdfNewPage(PdfDocRec* doc);
int PdfEndPage(PdfDocRec* doc);
bool PdfSetObjOffset(PdfDocRec* doc, DWORD obj);
// The offset field of a cross-reference entry: exactly ten digits, so offsets
// up to 9999999999 (about 9.3 GB); false for a larger one, which no entry
// can address.
constexpr int kPdfXrefOffsetDigits = 10;
constexpr uint64_t kPdfXrefOffsetMax = 9999999999ull;
bool PdfFormatXrefOffset(uint64_t offset, char out[kPdfXrefOffsetDigits]);
int PdfAddPageToTree(PdfDocRec* doc, DWORD page);
int PdfWritePagesNode(PdfDocRec* doc, int level);

int PdfPutBytes(PdfDocRec* doc, const void* bytes, size_t n);
int PdfPutText(PdfDocRec* doc, const char* text);
int PdfPutLine(PdfDocRec* doc, const char* text);
int PdfPutUInt(PdfDocRec* doc, uint64_t value, int minDigits);
int PdfPutInt(PdfDocRec* doc, int32_t value, int minDigits);
int PdfPutFixed3(PdfDocRec* doc, double value);
enum PdfLineEnd { kPdfSameLine, kPdfEndLine };
int PdfPutString(PdfDocRec* doc, const void* bytes, size_t n, PdfLineEnd end, DWORD obj);
int PdfPutByte(PdfDocRec* doc, BYTE b);
// Deflate with a 16 KB window: the compressed length, or 0 when zlib failed,
// the room was short or the result is not smaller than the input.
size_t PdfDeflate(const BYTE* src, size_t len, BYTE* dst, size_t cap);
// "stream", the bytes (encrypted in place with the object's key when the
// document is encrypted), "endstream" and "endobj".
void PdfPutStreamBody(PdfDocRec* doc, BYTE* bytes, size_t n, DWORD obj);
// The same into a new buffer of the worst-case size (freed with GuardedFree);
// 0 and no buffer when not smaller or no memory.
size_t PdfDeflateNew(const BYTE* src, size_t len, BYTE** out);
// A stream object of its own at the next number: the bytes compressed unless
// streams are not or Flate does not make them smaller, encrypted like any
// stream; with length1 not 0 also "/Length1" (a font file's own length).
// False when the object table cannot grow.
bool PdfWriteStreamObject(PdfDocRec* doc, BYTE* data, size_t len, size_t length1, DWORD* objOut);
int PdfPutName(PdfDocRec* doc, const char* name);

// ---- document information ---------------------------------------------------
struct PdfOptValue {
    const char* text;
    DWORD len;
};
struct PdfInfoOpts {
    PdfOptValue author, title, producer, keywords, created, subject;
};
int PdfWriteInfo(PdfDocRec* doc, const PdfInfoOpts* opts);
void PdfDateText(char* out, int64_t time);
void PdfPutUserName(PdfDocRec* doc);

// ---- option texts (pdfopt.cpp) ------------------------------------------------
// An option text is items key=value separated by commas; keys are one letter,
// either case; a value may be quoted with double quotes to hold commas. Every
// value points into the option text, which must live until it is applied.
// The option kinds of the print job's option messages.
enum PdfOptKind { kPdfOptAttach = 16, kPdfOptInfo = 17, kPdfOptEncrypt = 18, kPdfOptImport = 19 };
// A date given as the key alone: "now" (information) or "from the file"
// (attachments); a given date holds 4 to 14 digits.
constexpr DWORD kPdfDateNowLen = 1;
constexpr DWORD kPdfDateMinDigits = 4, kPdfDateMaxDigits = 14;
// One item: bytes consumed, 0 on a syntax error; key 0 when only separators
// were left.
WORD PdfNextOptItem(const char* text, WORD remaining, char* key, const char** value, WORD* valueLen);

enum PdfAttachIcon : BYTE { kPdfIconPaperclip = 0, kPdfIconAttachment = 1, kPdfIconGraph = 2, kPdfIconTag = 3 };
struct PdfAttachOpts {
    PdfOptValue file, title, desc, name, modified, created;
    WORD top, bottom, left, right;  // job units; 0 = not given
    BYTE icon;
};
struct PdfEncryptOpts {
    PdfOptValue user, owner;
    DWORD perms;                    // 3900 when not given
};
constexpr DWORD kPdfDefaultPerms = 3900;
struct PdfImportOpts {
    PdfOptValue file;
    WORD page;                      // 1 when not given
    BYTE g;                         // the key G was present
};
bool PdfParseAttachOpts(const char* text, size_t len, PdfAttachOpts* out);
bool PdfParseInfoOpts(const char* text, size_t len, PdfInfoOpts* out);
bool PdfParseEncryptOpts(const char* text, size_t len, PdfEncryptOpts* out);
bool PdfParseImportOpts(const char* text, size_t len, PdfImportOpts* out);

// ---- encryption (pdfcrypt.cpp) -------------------------------------------------
// The standard security handler, revision 2: 40-bit RC4 keys per object.
int PdfStartEncryption(PdfDocRec* doc, const PdfEncryptOpts* opts);
// Marks a document whose encryption was asked for and refused (an option that
// did not parse): unless it is encrypted after all, PdfFinish deletes its file
// rather than leave it readable, and fails.
void PdfRefuseProtection(PdfDocRec* doc);
// Encrypts the bytes in place with the object's key; in a document that is
// not encrypted it marks that a stream went out in the clear.
void PdfEncryptBuf(PdfDocRec* doc, BYTE* bytes, size_t n, DWORD obj);

// ---- imported pages (pdfimport.cpp) ----------------------------------------------
// Places a page of another PDF file (a classic file with one cross-reference
// table) on the current page; 0, or -1 when it cannot be read or copied, or
// the document is encrypted.
int PdfImportPage(PdfDocRec* doc, const PdfImportOpts* opts);
// The ceiling of a page's content streams joined (inflated) into one form,
// kPdfImportContentCeiling; tests lower it. A page past it is refused.
constexpr size_t kPdfImportContentCeiling = 64u << 20;
extern size_t gPdfImportContentCap;
// Frees the record of what the imports copied (PdfFinish calls it).
void PdfFreeImported(PdfDocRec* doc);

// ---- file attachments (pdfattach.cpp) --------------------------------------------
constexpr DWORD kPdfAttachNameMax = 256;
int PdfAddAttachment(PdfDocRec* doc, const PdfAttachOpts* opts);

// ---- images (pdfimage.cpp) ---------------------------------------------------------
enum PdfImageMode : DWORD { kPdfImageFit = 0, kPdfImageNatural = 1, kPdfImageCrop = 2 };
// A picture to draw: a DIB's pixels with the target box and the part to take.
struct PdfImageInput {
    DWORD identity[2];              // 0 in the first: written anew each time
    WORD top, bottom, left, right;  // the box, job units
    DWORD mode;
    // The part to take, rows in the bitmap's memory order (bottom row first
    // unless topDown), columns from the left; end values exclusive.
    int32_t firstRow, endRow, firstCol, endCol;
    int32_t width, height;
    WORD bitsPerPixel;              // 1, 4, 8, 16, 24, 32
    DWORD paletteSize;              // 2, 16, 256 for 1, 4, 8 bits; else 0
    DWORD dataSize;                 // bytes at pixels
    const BYTE* pixels;
    const BYTE* palette;            // RGBQUAD entries: blue, green, red, reserved
    BYTE topDown;                   // rows stored top first
    // Red, green and blue masks of 16- and 32-bit pixels (a bit-field DIB);
    // all 0: 5-5-5 and blue-green-red bytes. Each component is widened to 8 bits.
    DWORD masks[3];
};
// One image written, listed in doc->images (its list part first).
struct PdfImageRec {
    PdfListRec list;
    DWORD identity[2];
};
// From this raw RGB size on an image is written as JPEG without comparing.
constexpr size_t kPdfJpegOnlyFrom = 102000;
constexpr size_t kPdfJpegSlack = 10240;
int PdfDrawImage(PdfDocRec* doc, const PdfImageInput* img);
PdfImageRec* PdfWriteImage(PdfDocRec* doc, const PdfImageInput* img, bool crop);
int PdfJpegToMemory(int width, int height, const BYTE* rgb, size_t capacity, BYTE* out, size_t* outLen);

// ---- fonts ------------------------------------------------------------------
int PdfParseFontSpec(const char* text, size_t len, PdfFontSpec* spec);
bool PdfSelectFont(PdfDocRec* doc, const char* face, int bold, int italic);
PdfFontRec* PdfAddType1Font(PdfDocRec* doc, const char* family, const char* baseFont,
                            const PdfFontMetrics* metrics);
double PdfTextWidth(PdfDocRec* doc, const BYTE* text, size_t n);

// ---- TrueType font files (pdfttf.cpp) --------------------------------------------
constexpr size_t kPdfFontPathMax = 260;
constexpr size_t kPdfFontNameMax = 160;
enum : DWORD { kPdfFontFlagFixed = 1, kPdfFontFlagSymbolic = 4, kPdfFontFlagItalic = 64, kPdfFontFlagForceBold = 262144 };
// What the descriptor of a TrueType font says, read from its file.
struct PdfTtfDesc {
    char path[kPdfFontPathMax + 1];
    char psName[kPdfFontNameMax + 1];
    char subfamily[kPdfFontNameMax + 1];
    BYTE embeddable;
    int32_t widths[256];       // 1/1000 em, codes 32-254
    int32_t missingWidth;
    int32_t flags;
    int32_t ascent, descent;
    int32_t bbox[4];
};
// One file described in a document: a second face from it reuses the descriptor.
struct PdfFontFileRec {
    PdfFontFileRec* next;
    DWORD descObj;
    char path[kPdfFontPathMax + 1];
};
bool PdfFindFontFile(const char* face, int bold, int italic, char path[kPdfFontPathMax + 1]);
bool PdfFindFontInRegistry(const char* face, int bold, int italic, char path[kPdfFontPathMax + 1]);
// 0, or the code of what could not be read or written (1-25).
int PdfLoadTrueTypeFont(PdfDocRec* doc, const char* face, const char* path, int bold, int italic);
// Reads a font file's descriptor data without writing anything: 0 or a code.
int PdfReadTrueTypeFont(const BYTE* data, size_t size, bool winAnsi, PdfTtfDesc* out);

// ---- TrueType subsets (pdfsubset.cpp) -------------------------------------------------
// A 16-bit character in the current TrueType font: the "/TF" number of its
// subset, its code there and its width (1/1000 em); false (the font's own
// number, '?', width 0) when no subset can hold it.
bool PdfSubsetChar(PdfDocRec* doc, WORD ch, DWORD* fontNum, BYTE* code, double* width);
// The page resources of a font's subsets used on the page.
void PdfPutUsedSubsets(PdfDocRec* doc, PdfFontRec* f);
// Every subset file, descriptor and dictionary, at the end: 0 or a code.
int PdfWriteSubsetFonts(PdfDocRec* doc);
int PdfWriteFonts(PdfDocRec* doc);
void PdfFreeFonts(PdfDocRec* doc);
const PdfFontMetrics* PdfStdMetrics(const char* baseFont, bool winAnsi);

// ---- page content -----------------------------------------------------------
int PdfCsAppend(PdfDocRec* doc, const void* bytes, size_t n);
int PdfCsLine(PdfDocRec* doc, const char* text);
int PdfCsNum(PdfDocRec* doc, double v);
int PdfCsUInt(PdfDocRec* doc, uint64_t v);
int PdfCsX(PdfDocRec* doc, double x);
int PdfCsY(PdfDocRec* doc, double y);
int PdfCsText(PdfDocRec* doc, const BYTE* bytes, size_t n);
double PdfToPoints(PdfDocRec* doc, double value, int dir);
double PdfFromPoints(PdfDocRec* doc, double points, int dir, int unitMode);
enum PdfAxis { kPdfAxisX, kPdfAxisY };
double PdfPageCoord(PdfDocRec* doc, double value, PdfAxis axis);
// The colour of fills (" rg") or of strokes (" RG"), written when it changed.
enum PdfPaintKind { kPdfStroke, kPdfFill };
int PdfSetColor(PdfDocRec* doc, DWORD colour, PdfPaintKind kind);
int PdfDrawText(PdfDocRec* doc, const BYTE* text, size_t len, BYTE decimalChar, bool wide);
// Visual order of a left-to-right line with right-to-left runs (characters
// U+0500-U+08FF): count characters into out, a 0 after them.
void PdfBidiReorder(const WORD* in, WORD* out, size_t count);
int PdfControlCode(PdfDocRec* doc, int code, int16_t value);
int PdfMoveTo(PdfDocRec* doc, WORD column, WORD line);
int PdfSetRegion(PdfDocRec* doc, WORD top, WORD bottom, WORD left, WORD right);
int PdfSetColors(PdfDocRec* doc, int code, DWORD colour);
// A font change by description (code kPdfFontByDescription) or by control
// code 248/249/252/253 (spec null).
constexpr int kPdfFontByDescription = 0;
int PdfSetFont(PdfDocRec* doc, int code, const PdfFontSpec* spec);
int PdfSetFontSpec(PdfDocRec* doc, const PdfFontSpec* spec);

// ---- shapes and printer information -----------------------------------------
// The near edge of a box in points: in the cell modes the value is 1-based.
double PdfBoxStart(PdfDocRec* doc, WORD v, int dir);
int PdfDrawLine(PdfDocRec* doc, WORD column, WORD line);
int PdfDrawRect(PdfDocRec* doc, WORD top, WORD bottom, WORD left, WORD right);
int PdfDrawEllipse(PdfDocRec* doc, WORD top, WORD bottom, WORD left, WORD right);
int PdfDrawRoundRect(PdfDocRec* doc, WORD top, WORD bottom, WORD left, WORD right,
                     WORD cornerWidth, WORD cornerHeight);
constexpr int kPdfDeviceInfoLen = 281;
int PdfDeviceInfo(PdfDocRec* doc, int unitMode, char* buffer);
int PdfGetFileName(PdfDocRec* doc, char* buffer);
const char* PdfFontBaseName(PdfDocRec* doc);
long PdfPageSetupValue(int index);

// A print colour: codes 0-7 from the shared table, anything else an RGB value.
DWORD PdfColourFromCode(DWORD value);
