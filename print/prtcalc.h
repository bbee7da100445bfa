// prtcalc.h - the platform-free half of printing: reading the bodies of the
// print messages through one bounded reader, and the arithmetic of the drawing
// commands (colours, grey, units, alignments, text regions, image fitting).
#pragma once

#include <cstddef>
#include <cstdint>

#include "print/prtcodes.h"
#include "session/proto/wire.h"

// ---- Results the server sees -----------------------------------------------------
enum PrintResult : int32_t {
    kPrtOk = 0,
    kPrtNoMemory = 21264,
    kPrtNotAJob = 21270,
    kPrtFontNotMade = 21271,
    kPrtImageNotDrawn = 21272,
    kPrtSpoolWrite = 21284,
    kPrtSpoolRead = 21285,
    kPrtPreviewRange = 21289,
    kPrtPdfOption = 21296,
    kPrtSpoolNotOpened = 18691,
    // A message whose lengths do not fit the message (latched like any other
    // drawing failure; an open answers it as its detail).
    kPrtBadMessage = -2,
};

// Printer selection codes and their texts (kept in the runtime error cell).
enum PrtSelectError : int32_t { kPrtErrDefaultSetup = 301, kPrtErrGlobalLock = 302, kPrtErrPrinterPorts = 303 };

// ---- Message bodies ---------------------------------------------------------------
constexpr uint32_t kPrtMsgSelect = 1200, kPrtMsgPageValue = 1201, kPrtMsgOpen = 1202, kPrtMsgCloseDefault = 1204,
                   kPrtMsgClose = 1205, kPrtMsgGetDC = 1206, kPrtMsgPageSetupDlg = 1207, kPrtMsgInfo = 1210,
                   kPrtMsgOpenTitled = 1211;
constexpr uint32_t kPrtMsgResetSetup = 2201, kPrtMsgControl = 2202, kPrtMsgColors = 2203, kPrtMsgText = 2204,
                   kPrtMsgTextNumeric = 2205, kPrtMsgSetPos = 2206, kPrtMsgFont = 2207, kPrtMsgLine = 2208,
                   kPrtMsgImage = 2209, kPrtMsgRect = 2210, kPrtMsgEllipse = 2211, kPrtMsgRoundRect = 2212,
                   kPrtMsgFileWrite = kMsgPrtFileWrite, kPrtMsgSelectDraw = 2214, kPrtMsgRegion = 2215, kPrtMsgPdfFirst = 2216, kPrtMsgPdfLast = 2219;

constexpr size_t kPrtCloseWords = 11;
constexpr size_t kPrtCloseBlockMin = 56;      // a shorter 1205 has close options 0
// Words of the close block that the close reads or answers.
enum PrtCloseWord : size_t {
    kPrtCloseWordPreviewOnly = 6,  // set to 1 for a preview-only job
    kPrtCloseWordPages = 7,
    kPrtCloseWordCopies = 8,
    kPrtCloseWordDetail = 9,
    kPrtCloseWordOptions = 10,
};
// Close options (the low half of word 10; the high half comes from the open).
enum : uint32_t {
    kPrtCloseNoPreview = 0x1,      // no preview; the spool file is deleted ...
    kPrtCloseKeepSpool = 0x2,      // ... unless this is set as well
    kPrtCloseOptionMask = 0xFFFF,
};
constexpr uint32_t kPrtFontObjectLen = 65535; // 2207: the Font object follows instead of a text
constexpr uint32_t kPrtNumericPlayOnly = 1;    // 2205 mode: the text is only played

// A counted text inside a message; the pointer stays valid with the message.
struct PrtMsgText {
    const char* text;
    uint32_t len;
};

// 1202 and 1211.
struct PrtOpenMsg {
    uint32_t owner;
    PrtMsgText name, title, spool, pdfFile;
    int32_t pageLimit;
    uint32_t options;
};
bool PrtDecodeOpen(uint32_t type, const WireReader& r, PrtOpenMsg* out);

// 1205 (and 1204 with only the handle).
struct PrtCloseMsg {
    uint32_t handle;
    uint32_t block[kPrtCloseWords];
};
bool PrtDecodeClose(uint32_t type, const WireReader& r, PrtCloseMsg* out);

// 2201-2219: every drawing message in one record; only the fields of its type
// are filled.
struct PrtDrawMsg {
    uint32_t type;
    uint32_t code;            // 2202 code, 2203 which, 2205 mode, 2207 Font object, 2209 Pict object
    uint32_t value;           // 2202 value, 2203 colour, 2209 mode, 2201 force
    PrtMsgText text;          // 2204, 2205, 2207 font text, 2216-2219 option text
    uint16_t column, row;     // 2206, 2208
    uint16_t top, bottom, left, right;
    uint16_t cornerWidth, cornerHeight;
    bool fontObject;          // 2207 names a Font object
};
bool PrtDecodeDraw(uint32_t type, const WireReader& r, PrtDrawMsg* out);

// ---- Colours -------------------------------------------------------------------------
constexpr uint32_t kPrtBlack = 0x000000, kPrtWhite = 0xFFFFFF;
// Values 0-7 from the colour table, any other as RGB (low 24 bits).
uint32_t PrtColorFromValue(uint32_t value);
// A colour other than white as grey for a monochrome printer.
uint32_t PrtGrey(uint32_t colour);

// ---- Units ------------------------------------------------------------------------------
// Coordinate modes 1..8; true for the metric and English modes 2-5 and 7.
bool PrtModeIsMetric(int mode);
bool PrtModeIsCells(int mode);
// A distance in the mode's units to device pixels at dpi and back.
int32_t PrtUnitsToDevice(int mode, int32_t value, int32_t dpi);
int32_t PrtDeviceToUnits(int mode, int32_t value, int32_t dpi);
// The origin for a margin: margin minus the physical offset, not below 0.
int32_t PrtOriginFromMargin(int32_t marginDevice, int32_t physicalOffset);

// ---- Text layout ------------------------------------------------------------------------
// Text flag bits (control codes).
enum : uint32_t {
    kPrtTextRight = 1, kPrtTextDecimal = 2, kPrtTextFill = 4, kPrtTextFrame = 8,
    kPrtTextTransparent = 16, kPrtTextCentre = 32, kPrtTextRtl = 128,
    kPrtTextAlignMask = kPrtTextRight | kPrtTextDecimal | kPrtTextCentre,
};
// Code 281's value as alignment text flags.
uint32_t PrtAlignFlags(uint32_t value);

// The width of units [first, first + count) of a text, as the device measures it.
typedef int32_t (*PrtMeasureFn)(void* ctx, size_t first, size_t count);

// Index of the last unit equal to the decimal character, or -1.
long PrtFindLastDecimal(const uint8_t* text, size_t units, bool wide, uint16_t decimalChar);

// Start of a text without a region: where drawing begins, given the column,
// the text's width and (decimal alignment) the width of the characters up to
// and including the decimal character (hasDecimal false: none in the text).
int32_t PrtAlignStart(int32_t column, int32_t width, int32_t prefixWidth, bool hasDecimal, uint32_t textFlags);

// Layout of a text inside a region from column to regionRight.
struct PrtClipLayout {
    size_t first, count;      // the units drawn
    int32_t x;                // where they start
    int32_t width;            // the width the column advances by (cut to the region)
};
// decimalIndex: the last decimal character's unit or -1.
PrtClipLayout PrtLayoutClipped(size_t units, long decimalIndex, int32_t column, int32_t regionRight,
                               uint32_t textFlags, PrtMeasureFn measure, void* ctx);

// ---- Images ------------------------------------------------------------------------------
// Image modes of 2209: fitted keeping the aspect ratio, actual size, and from
// 2 on the part of the image its Pict shows, fitted.
enum PrtImageMode : uint32_t { kPrtImageFit = 0, kPrtImageActualSize = 1, kPrtImageShownPart = 2 };

struct PrtRect {
    int32_t left, top, right, bottom;
};
// The destination of an image of w x h pixels (source part) in rect: mode 0 and
// the view modes fit keeping the aspect ratio, mode 1 takes the actual size
// (the rectangle shrunk to it when larger). With a frame the picture sits one
// pixel inside; mode 1 then makes room for the frame.
PrtRect PrtFitImage(const PrtRect& rect, int32_t w, int32_t h, uint32_t mode, bool frame);
