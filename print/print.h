// print.h - what the rest of the client may call of printing: the print job
// record and the current job, the message handlers the session's range tables
// take, the printer dialogs and the printer list, and the clean-up.
#pragma once

#include <windows.h>

#include "objects/font.h"
#include "print/prtcalc.h"
#include "print/prtfilecalc.h"
#include "print/prtprevcalc.h"
#include "print/prtspool.h"
#include "print/pdf/pdf.h"

struct SrvMsg;

constexpr uint32_t kPrtMagic = 62197;            // 0xF2F5
constexpr size_t kPrtBufSize = 4096;
constexpr uint16_t kPrtLastPageNone = 32000;
constexpr size_t kPrtDocNameMax = 100;
constexpr size_t kPrtTitleMax = 250;
constexpr size_t kPrtNameMax = 99;               // printer and device name buffers
constexpr size_t kPrtSpoolNameSize = 260;

// Job state bits (PrinterRec::flags).
enum : uint32_t {
    kPrtFlagCells = 0x10,
    kPrtFlagGdiJob = 0x20,
    kPrtFlagNoStretch = 0x40,
    kPrtFlagMetric = 0x80,
    kPrtFlagAllPages = 0x100,
    kPrtFlagSelection = 0x200,
    kPrtFlagPageOpen = 0x400,
    kPrtFlagPreviewAtClose = 0x4000,
    kPrtFlagDocPending = 0x8000,
    kPrtFlagSpooling = 0x10000,
    kPrtFlagPrinterPage = 0x20000,
    kPrtFlagDeleteSpool = 0x40000,
    kPrtFlagRemakePen = 0x80000,
    kPrtFlagPreviewDC = 0x100000,
    kPrtFlagSpoolEmpty = 0x200000,
    kPrtFlagPageRecord = 0x400000,
    kPrtFlagMono = 0x800000,
    kPrtFlagSpoolError = 0x1000000,
    kPrtFlagOldPageRecord = 0x2000000,   // replaying page records without angle and strike-out
    kPrtFlagPageFresh = 0x4000000,
    kPrtFlagWholePoints = 0x8000000,
    kPrtFlagNoPageNums = 0x10000000,
    kPrtFlagPreviewOnly = 0x20000000,
    kPrtFlagErrorLatched = 0x40000000,
    kPrtFlagPrintSpool = 0x80000000,
};
constexpr uint32_t kPrtGdiJobFlags = 0x4028030;  // fresh page, printer page, doc pending, GDI job, cells

// PDF flag bits (PrinterRec::pdfFlags).
enum : uint32_t {
    kPrtPdfTarget = 1, kPrtPdfSpool = 2, kPrtPdfTitled = 4, kPrtPdfShortHeader = 8, kPrtPdfPreviewOpt = 16,
    kPrtPdfUtf16 = 32,
    kPrtPdfProtectRefused = 64,  // an encryption option did not parse: the file is not left readable
};

// Open options of 1202 and 1211.
enum : uint32_t {
    kPrtOptPreviewOnly = 0x1,
    kPrtOptNoPageNums = 0x2,
    kPrtOptSelection = 0x4,
    kPrtOptPdfPreview = 0x400000,
    kPrtOptUtf16 = 0x10000000,
};

// Page set-up values, in DEVMODE order of application.
enum PrtSetupIndex {
    kPsOrientation, kPsPaperSize, kPsPaperLength, kPsPaperWidth, kPsScale, kPsCopies,
    kPsDefaultSource, kPsPrintQuality, kPsColor, kPsDuplex, kPsCollate, kPsCount
};

// One open print destination.
struct PrinterRec {
    uint32_t magic;
    uint32_t flags;
    uint32_t textFlags;
    HDC metricsDC;
    HDC dc;
    HDC drawDC;
    FontRec* font;          // the job font: a shared font made for the device context
    FontRec* screenFont;
    HANDLE spool;
    uint8_t* bufStart;
    uint8_t* bufCur;
    uint8_t* bufEnd;
    int32_t row, column;
    uint32_t regionBottom, regionRight;
    uint16_t linesPerPage;
    uint32_t cellWidth, cellHeight;
    uint32_t srvCellWidth, srvCellHeight;
    uint32_t defCellWidth, defCellHeight;
    uint32_t fontCellWidth, fontCellHeight;
    COLORREF textColor, backColor;
    uint16_t copies;
    uint16_t firstPage, lastPage;
    uint16_t pageNumber;
    HPEN pen;
    HBRUSH brush;
    uint16_t penWidth;
    uint8_t metricsPresent;
    uint8_t coordMode;
    uint8_t decimalChar;
    uint32_t ropIndex;
    HGLOBAL devMode, devNames;
    char docName[kPrtDocNameMax + 1];
    uint16_t setup[kPsCount];
    uint32_t pageRecordOffset;
    uint32_t spooledPages;
    uint32_t largestPage;
    char spoolName[kPrtSpoolNameSize];
    void* previewData;
    uint16_t previewSize;
    uint32_t firstError;
    uint32_t firstDetail;  // the error cell's detail latched with firstError (0: none)
    int32_t physOffsetX, physOffsetY;
    uint16_t topMargin, leftMargin;
    uint8_t topMarginMode, leftMarginMode;
    int32_t originY, originX;
    uint32_t openError;
    uint32_t spoolVersion;
    uint32_t pageRecordOffsetHigh;
    uint8_t* imageBuf;
    uint32_t imageBufSize;
    uint32_t imageKey[3];
    uint32_t pdfFlags;
    uint32_t openOptions;
    PdfDocRec* pdf;
    char title[kPrtTitleMax + 1];
    // Held beside the job: the values the PDF writer reads of it, and the
    // device's resolution for the unit conversions of the metric modes.
    PdfJobGeom geom;
    int32_t dpiX, dpiY;
    uint32_t handle;        // the number the server holds
    // Printer files: the file or port, or the spooler's printer (raw mode);
    // the LPT number (1-4, plus 10 with '!'), the port's digit character;
    // text mode's position, cell and line height in device units.
    HANDLE file;
    uint32_t lptNumber;
    char portDigit;
    int32_t textLine, textColumn;
    uint32_t charWidth, lineHeight;
    PrinterRec* nextLive;   // the list of live records, for the clean-up at exit
    // The spool file: its writer while the job spools, its reader while it is
    // replayed, the file operations both use, and the image record last read
    // for an image reference.
    SpoolWriter* spoolw;
    SpoolReader* spoolr;
    SpoolIo spoolIo;
    SpoolImageCache imageCache;
    uint32_t prevFirst, prevLast;   // the page range the preview or the replay shows
    uint32_t pagesPrinted;          // by the last print from the spool file
    uint8_t closing;                // its close runs (the preview's loop): no message reaches it
    struct PrtPrevState* prev;      // the preview shown of it, while one is
};

extern PrinterRec* gCurPrtRec;
extern HGLOBAL gPrtDevMode;
extern HGLOBAL gPrtDevNames;
extern uint8_t gPrtDlgCancelled;
extern char gPrtName[kPrtNameMax + 1];       // the printer name of the last open
extern char gPrtDeviceName[kPrtNameMax + 1];

// ---- Registration --------------------------------------------------------------------
// Puts the print handlers into the session's range tables (1200-1211, 2201-2251).
void PrtRegisterHandlers();
// Closes every open print job (ending its document) and frees the default set-up.
void PrtCleanup();
// Printing's row in the facility list: at exit the open jobs close, then the
// panels' previews are freed and a preview window that waits ends, while the
// windows they draw in still exist.
struct FacilityRow;
FacilityRow PrtFacility();

// ---- Jobs (prtjob.cpp) ---------------------------------------------------------------
PrinterRec* PrtRecAlloc(uint32_t flags, uint32_t textFlags);
void PrtRecFree(PrinterRec* job);
// Opens the job an open message asks for (1202 or 1211, decoded); null with
// the detail in errorOut when it cannot be had.
PrinterRec* PrtOpen(const PrtOpenMsg* request, uint32_t* errorOut);
int32_t PrtClose(PrinterRec* job, uint32_t* block);
int32_t PrtCloseDefault(PrinterRec* job);
// A job writes its PDF file under its title when it is a PDF target, or is
// spooled for a PDF file without a preview (the preview asks for the name).
// Such a title (len characters as given) that cannot be used as given (a NUL
// inside it, or past kPrtTitleMax characters) is refused, never cut: the cut
// name would be another file, written in its place. A title of blanks only
// asks for the name and is taken.
bool PrtPdfTitleUsable(const PrinterRec* job, const char* title, size_t len);
int32_t PrtSelectJob(PrinterRec* job);
// The live job behind a handle from the server, or null.
PrinterRec* PrtJobFromHandle(uint32_t handle);
// Makes job current (and the PDF writer's view of it).
void PrtSetCurrent(PrinterRec* job);
// Latches the first failure of a drawing message in the current job, with
// the detail the message left in the error cell (0: none).
void PrtLatchError(int32_t result, int32_t detail = 0);

// The message handlers (also reachable one by one while the tables are not yet there).
int32_t PrtHandleMsg(const SrvMsg* msg);
// Builds the 1147 answer of an open or a close; exposed for tests.
struct PrtJobAnswer {
    int32_t value, copies, pages, detail;
    const char* text;
};
PrtJobAnswer PrtOpenFromMsg(const SrvMsg* msg);
PrtJobAnswer PrtCloseFromMsg(const SrvMsg* msg);

// ---- Printer files (prtfile.cpp) ------------------------------------------------------
// Opens a disk file or port, a raw spooler document or a printer device context
// (passthrough or text mode); null with the code in gPrtErrNo and its text in
// gErrorText. replyName gets the name the 1148 answer carries.
PrinterRec* PrtFileOpen(const char* name, const char* mode, uint16_t flags, uint8_t fileMode, char* replyName);
int32_t PrtFilePutChar(uint8_t c, PrinterRec* rec);
int32_t PrtFileFlush(PrinterRec* rec);
// close 0 flushes and ends the document (the record stays); 1 closes and frees.
int32_t PrtFileClose(PrinterRec* rec, uint8_t close);
PrinterRec* PrtFileFromHandle(uint32_t handle);
// 2213: every byte, then one flush; the first failure is the answer.
int32_t PrtFileWrite(PrinterRec* rec, const uint8_t* bytes, uint32_t count);
// The message handlers of 1208, 1209 and 2213.
int32_t PrtFileHandleMsg(const SrvMsg* msg);

// ---- Printer queries and screen dump (prtquery.cpp) -----------------------------------------
// The device information record of the current job (292 characters, or the
// PDF writer's 281) in the units of a coordinate mode.
void PrtDeviceInfo(int units, char* out);
// The font metrics record of a Font object on the job's printer (a PDF
// target: the metrics printer; no job: the main window), into out or, with a
// list box, over each item's own text; false when no record was made.
bool PrtFontMetrics(PrinterRec* job, uint32_t fontObject, HWND list, const char* text, size_t len, int units,
                    char* out);
void PrtListFonts(PrinterRec* job, HWND list, char* out, size_t outSize);
FontRec* PrtGetJobFont();
// Information requests 258, 257 and 4 (the session's infoRequest hook);
// kNoAnswer for any other code.
int32_t PrtInfoRequest(uint32_t code, const SrvMsg* msg, const char** text);
// 300 when the job's (else the default printer's) print quality is 300, else 600.
int PrtPdfResolution();
// Puts the request dispatcher and the PDF writer's printer hooks in place.
void PrtInstallQueryHooks();
// Prints a window image held by a Pict object on the default printer: 0, -1
// when no job opens, -2 when the window or the image fails.
int32_t PrtScreenDump(HWND window, uint32_t pict);

// ---- Device and page set-up (prtdevice.cpp) ----------------------------------------------
// What the print dialog gives the job besides its device context: copies of
// the chosen DEVMODE and DEVNAMES, and whether they replace copies it holds.
enum PrtDlgDevMode { kPrtDlgNoDevMode, kPrtDlgTakeDevMode };
enum PrtDlgReplace { kPrtDlgKeepHandles, kPrtDlgReplaceHandles };
bool AdvPrtOpenByDlg(PrinterRec* job, uint32_t owner, PrtDlgDevMode devMode, int32_t pageLimit, HWND ownerWnd,
                     PrtDlgReplace replace);
int32_t PrtDeviceSetup(PrinterRec* job, const char* docName, size_t docNameLen, uint32_t pdfOptions);
bool PrtAskPdfFileName(PrinterRec* job, char* nameOut);
int32_t PrtPageStart();
// Page set-up values written into the DEVMODE: only those that differ, or all.
enum PrtSetupApply { kPrtSetupIfChanged, kPrtSetupForced };
bool PrtApplyPageSetup(PrtSetupApply how);
bool PrtPageSetupChanged();
void PrtResetPageSetup(PrtSetupApply how);
int32_t PrtGetPageSetupValue(uint32_t index);
// Makes font (one use, taken over) the job font and drops the job's use of the
// previous one; 21271 when font is null.
int32_t PrtSelectJobFont(PrinterRec* job, FontRec* font);
void PrtMakePen(PrinterRec* job);
void PrtMakeBrush(PrinterRec* job);
void PrtApplyColors(PrinterRec* job);
// Dialogs run unattended by tests: a hook that sees each dialog's window.
extern void (*gPrtDlgHook)(HWND dlg);

// ---- Printer selection (prtselect.cpp) ----------------------------------------------------
// Whether an open by name makes the name the printer name of the answer.
enum PrtNameAnswer { kPrtNameKeep, kPrtNameAnswered };
HDC PrtOpenDCByName(const char* name, PrinterRec* job, PrtNameAnswer answer);
HDC OpenPrtByName(const char* name, PrinterRec* job);
// Whether a printer name the server gives (text and length) can be used as
// given: one holding a NUL, cut there, would choose another printer. A name
// that cannot is refused as a printer not found (kPrtErrPrinterPorts), its
// reason in the error text and the debug log.
bool PrtNameIsWhole(const char* name, size_t len);
bool GetDefaultPageSetup();
int32_t PrtPageSetupDlg(HWND owner);
int32_t PrtPrintDlg(HWND owner);
void PrtListPrinters(HWND listBox);
HDC PrtGetDC(PrinterRec* rec);
// The owner of a printer dialog: the window given, else the owner object's
// window, else the active one, as the windows layer's dialog owner (the
// current modal window first, else that window's top level, else the main window).
HWND PrtOwnerWindow(HWND wnd, uint32_t ownerObject);
const char* PrtGetInfo(PrinterRec* rec, const char* printer, uint32_t code, int32_t* valueOut);
void PrtResetDC(HDC dc, HGLOBAL devMode);
// Codes 301-303 with their "PRT: " texts, only when nothing was set before in
// this operation; PrtErrorClear starts an operation.
void PrtErrorClear();
void PrtSetSelectError(int32_t code, const char* text);
// The spooler and the print dialogs are loaded on first use: every function
// that calls into them asks for them first, and fails as when memory runs
// out (the debug log names the library) when one cannot be loaded, rather
// than ending the client at the library's first call.
bool PrtLibrariesReady();
extern int32_t gPrtErrNo;

// ---- Drawing (prtdraw.cpp) ------------------------------------------------------------------
int32_t PrtDrawFromMsg(const SrvMsg* msg);
int32_t PrtControlCode(uint32_t code, int32_t value);
int32_t PrtSetColors(uint32_t which, uint32_t value);
// A text is drawn with its record (2204, 2205 mode 0) or only played (2205
// mode 1: the job's own decimal character stays).
enum PrtTextUse { kPrtTextRecorded, kPrtTextPlayOnly };
int32_t PrtText(const char* text, size_t len, PrtTextUse use);
// A text that is only recorded (the page is drawn later) is measured when its
// width is first needed: the next text, or any message or request other than
// a position (which replaces the column the width would have moved). Settle
// measures the pending text; Forget drops that of a job being freed.
void PrtTextSettle();
void PrtTextForget(const PrinterRec* job);
void PrtTextCleanup();
int32_t PrtSetPos(uint16_t column, uint16_t row);
int32_t PrtSetFontText(const char* text, size_t len);
int32_t PrtLine(uint16_t column, uint16_t row);
int32_t PrtRectangle(uint16_t top, uint16_t bottom, uint16_t left, uint16_t right);
int32_t PrtEllipse(uint16_t top, uint16_t bottom, uint16_t left, uint16_t right);
int32_t PrtRoundRect(uint16_t top, uint16_t bottom, uint16_t left, uint16_t right, uint16_t cw, uint16_t ch);
int32_t PrtSetRegion(uint16_t top, uint16_t bottom, uint16_t left, uint16_t right);
void PrtSetCoordMode(PrinterRec* job, int mode);

// An image to print: a bottom-up DIB as the decoders leave it, with the
// picture's identity and where it was last spooled (kept in the picture's
// record, so that a second print into the same file refers to the first).
struct PrtImageInput {
    const BITMAPINFOHEADER* header;
    const RGBQUAD* palette;
    const void* bits;
    RECT source;            // the part shown (modes 2 and up); empty: the whole image
    uint32_t identity[2];
    SpoolImageMemo* memo;   // null: never referred to
};
// Palette entries that follow a DIB header (for a bit-field DIB its 3 masks).
uint32_t PrtImagePaletteCount(const BITMAPINFOHEADER* h);
// The bytes of a DIB's pixels: rows for BI_RGB and bit fields, biSizeImage
// for run-length pixels; false for other compressions or a size past 4 GB.
bool PrtImagePixelBytes(const BITMAPINFOHEADER* h, uint32_t* bytes);
// A colour already resolved (a spool record's) played on the job.
int32_t PrtColorsPlay(uint32_t which, uint32_t colour);
int32_t PrtImage(const PrtImageInput* img, uint32_t mode, uint16_t top, uint16_t bottom, uint16_t left,
                 uint16_t right);
// The picture object behind a 2209 handle: filled by the picture facility.
extern bool (*gPrtPictImage)(uint32_t pict, uint32_t mode, PrtImageInput* out);
// A PDF option (kind 16-19 and its text, 2216-2219): parsed, spooled when the
// job spools, applied when it writes a PDF file; 0, or 21296 with the detail
// (101-111) in the error cell.
int32_t PrtPdfOption(int kind, const char* text, size_t len);

// ---- Spool file (prtspoolwin.cpp) ----------------------------------------------------------------
// "~SPL0000.TMP", numbered, in TMP, TEMP or the current directory; its name in name.
HANDLE OpenSpoolFile(char* name, size_t size);
void PrtSetWinErr(uint32_t detail);
// The Windows error of the last call as "WINERR:0x..." in the error text.
void PrtSetWinErrText();
// Ends the device's document: a failure (the spooler lost the job) becomes
// the result, 21264 with the Windows error in the text, unless one stands.
int32_t PrtEndDocument(HDC dc, int32_t result);
bool PrtSpoolStart(PrinterRec* job);
void PrtSpoolRelease(PrinterRec* job);
bool PrtIsSpooling(const PrinterRec* job);
int32_t PrtSpoolHeader(PrinterRec* job);
int32_t PrtSpoolFormFeed(PrinterRec* job, uint32_t pages);
int32_t PrtSpoolRecord(const PrtDrawMsg& d, uint32_t type);
int32_t PrtSpoolFont(PrinterRec* job);
int32_t PrtSpoolImage(PrinterRec* job, const PrtImageInput* img, uint32_t mode, uint16_t top, uint16_t bottom,
                      uint16_t left, uint16_t right);
int32_t PrtSpoolPdfOption(PrinterRec* job, int kind, const char* text, size_t len);
int32_t PrtSpoolFinishFile(PrinterRec* job);
int32_t PrtSpoolOpenReader(PrinterRec* job);
int32_t PrtSpoolStep(PrinterRec* job, bool back, bool* moved);
// Page n of the spool file (or the last one before the pages end).
int32_t PrtSpoolGoTo(PrinterRec* job, uint32_t n);
int32_t SpoolPlayPage(PrinterRec* job);
// Prints the job's page range from its spool file (rewound, or read from its
// header); pdfArg goes to the PDF device set-up when printing into a PDF file.
int32_t SpoolPrintPages(PrinterRec* job, bool rewind, uint32_t pdfArg);
// 1203 and 1216.
struct PrtSpoolOpenMsg {
    uint32_t block[17];
    PrtMsgText spool, printer, title;
};
bool PrtDecodeOpenFromSpool(const SrvMsg* m, PrtSpoolOpenMsg* out);
int32_t PrtOpenFromSpool(PrtSpoolOpenMsg* request);
PrtJobAnswer PrtOpenFromSpoolMsg(const SrvMsg* m);
// Replay of the PDF option records 16-19 (PrtPdfOption's parse and apply);
// without it they are stepped over.
extern int32_t (*gPrtPdfOptionReplay)(PdfDocRec* doc, int kind, const char* text, size_t len);

// ---- Preview (prtpreview.cpp) --------------------------------------------------------------------
extern int32_t (*gPrtPreviewRun)(PrinterRec* job, uint32_t* block);
extern int32_t (*gPrtSpoolPrint)(PrinterRec* job, uint32_t* block);
// The preview's page start and end on its screen context.
int32_t PrtPrevBeginPage(PrinterRec* job);
void PrtPrevEndPage(PrinterRec* job);
// Printer pixels to the preview's window pixels.
int32_t PrtPrevMapX(const PrinterRec* job, int32_t x);
int32_t PrtPrevMapY(const PrinterRec* job, int32_t y);
int32_t PrtPrevScaleLength(const PrinterRec* job, int32_t n);
void PrtPrevSetLabels(const char* text);
const char* PrtPrevGetLabels();
void PrtPreviewInstall();

// ---- Fonts (prtfont.cpp) ----------------------------------------------------------------------
// The job fonts are the windows layer's shared fonts made for the printer's
// device context; each function gives one use of the font, or null with the
// reason (the font layer's error number) in gPrtErrNo.
// A font from a font text made for dc; null when the text is not a font.
FontRec* PrtFontFromSpec(const char* text, size_t len, HDC dc);
struct PrtFontStyle {
    bool bold, italic, underline, strike;
};
constexpr PrtFontStyle kPrtPlainStyle = {false, false, false, false};
FontRec* PrtFontCreate(const char* face, int32_t size, PrtFontStyle style, uint16_t angle, HDC dc);
void PrtFontRelease(FontRec* font);
// A Font object's font for dc: the object named by the server's handle.
extern FontRec* (*gPrtFontFromObject)(uint32_t fontObject, HDC dc);
