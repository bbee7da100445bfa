// prtcodes.h - the control codes of the print message 2202 and the values some
// of them take, named once for both drawing back ends: the printer page
// (prtdraw.cpp) and the PDF writer (pdf/pdfpage.cpp). Platform-free.
#pragma once

#include <cstdint>

// Control codes (2202 +8). Codes not listed here do nothing.
enum PrtControlCode : uint32_t {
    kPrtCtlNewLine = 85,            // column 0, then n line feeds
    kPrtCtlLineFeed = 86,           // n line feeds
    kPrtCtlCarriageReturn = 90,     // column 0
    kPrtCtlFormFeed = 102,          // n pages end; position 0, 0
    kPrtCtlDefaultColors = 103,     // text black, background white
    kPrtCtlOpaque = 109,            // opaque text background
    kPrtCtlTransparent = 110,       // transparent text background
    kPrtCtlApplySetup = 111,        // page set-up applied now
    kPrtCtlCellMode = 112,          // coordinate mode 1
    kPrtCtlPixelMode = 113,         // coordinate mode 6
    kPrtCtlUnderlineOff = 248,
    kPrtCtlUnderlineOn = 249,
    kPrtCtlBoldOff = 252,
    kPrtCtlBoldOn = 253,
    kPrtCtlNormalColors = 254,      // reverse video off
    kPrtCtlReverseColors = 255,     // reverse video on
    kPrtCtlColumn = 259,            // column n
    kPrtCtlRow = 260,               // row n
    kPrtCtlColumnBy = 261,          // column + signed n
    kPrtCtlRowBy = 262,             // row + signed n
    kPrtCtlTextColor = 270,         // colour table entry n (also 2203's selector)
    kPrtCtlBackColor = 271,
    kPrtCtlTab = 274,               // column n, as 259
    kPrtCtlOrientation = 277,       // kPrtOrientLandscape or portrait
    kPrtCtlImageFrame = 279,
    kPrtCtlCoordMode = 280,         // a PrtCoordMode
    kPrtCtlAlign = 281,             // a PrtAlignValue
    kPrtCtlFillShapes = 282,
    kPrtCtlPenWidth = 283,
    kPrtCtlPaperSource = 284,
    kPrtCtlColor = 285,             // DEVMODE colour; the PDF writer greys on 1
    kPrtCtlCopies = 286,
    kPrtCtlCollate = 287,
    kPrtCtlDuplex = 288,
    kPrtCtlPaperSize = 289,
    kPrtCtlPaperLength = 290,
    kPrtCtlPaperWidth = 291,
    kPrtCtlScale = 292,
    kPrtCtlPrintQuality = 293,
    kPrtCtlCellHeight = 294,
    kPrtCtlCellWidth = 295,
    kPrtCtlRtl = 296,
    kPrtCtlLeftMargin = 297,
    kPrtCtlTopMargin = 298,
};

// Coordinate modes (code 280); any other value acts as device pixels.
enum PrtCoordMode : uint8_t {
    kPrtModeCells = 1,         // character cells of the default font, from 1
    kPrtModeInch100 = 2,       // 0.01 inch
    kPrtModeMm10 = 3,          // 0.1 mm
    kPrtModeInch1000 = 4,      // 0.001 inch
    kPrtModeMm100 = 5,         // 0.01 mm
    kPrtModeDots = 6,          // device pixels
    kPrtModeTwips = 7,         // 1/1440 inch
    kPrtModeFontCells = 8,     // character cells of the job font, from 1
};
constexpr int kPrtModeFirst = kPrtModeCells, kPrtModeLast = kPrtModeFontCells;

// Values of code 281; any other value aligns left.
enum PrtAlignValue : uint16_t { kPrtAlignDecimal = 1, kPrtAlignRight = 3, kPrtAlignCentre = 4 };

// Value of code 277 for landscape; any other is portrait.
constexpr uint16_t kPrtOrientLandscape = 2;

// Value of code 285 that makes the PDF writer draw in grey.
constexpr uint16_t kPrtColorGrey = 1;

// Page values of message 1201 (and the PDF writer's fixed ones).
enum PrtPageValue : uint32_t {
    kPrtPageCharsPerLine = 1,
    kPrtPageLinesPerPage = 2,
    kPrtPageWidth = 3,
    kPrtPageHeight = 4,
};
