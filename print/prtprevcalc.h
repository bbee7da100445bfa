// prtprevcalc.h - the arithmetic of the print preview, platform-free: the
// label table, the page layout per zoom step, the panel's zoom steps and the
// Go To page number.
#pragma once

#include <cstddef>
#include <cstdint>

// ---- Labels ------------------------------------------------------------------------------
constexpr size_t kPrevLabelCount = 17;
constexpr size_t kPrevLabelBufSize = 1024;
constexpr size_t kPrevLabelMinSeparators = 15;
enum PrevLabel : size_t {
    kPrevLblTitle, kPrevLblPrint, kPrevLblNext, kPrevLblPrev, kPrevLblGoTo, kPrevLblZoomIn, kPrevLblZoomOut,
    kPrevLblClose, kPrevLblPage, kPrevLblOf, kPrevLblGoToTitle, kPrevLblGoToPrompt, kPrevLblGoToOk,
    kPrevLblGoToCancel, kPrevLblFirst, kPrevLblLast, kPrevLblToPdf,
};
struct PrevLabels {
    char buf[kPrevLabelBufSize];
    uint16_t offset[kPrevLabelCount];
};
extern const char kPrevLabelsBuiltIn[];
extern const char kPrevLabelsDialog[];   // "&Print..." for printing through the print dialog
// The labels of a text of at least 15 ';' (else the built-in set); a text
// longer than the buffer is cut at its end, labels missing at the end are empty.
void PrevLoadLabels(const char* text, bool printDialog, PrevLabels* out);
inline const char* PrevLabelText(const PrevLabels& l, size_t i) { return l.buf + l.offset[i]; }

// ---- Layout ------------------------------------------------------------------------------
constexpr int32_t kPrevStepFit = 0, kPrevStep75 = 1, kPrevStep100 = 2, kPrevStepMax = 6, kPrevStepPanel = 100;
constexpr int32_t kPrevPctMin = 10, kPrevPctMax = 400;
constexpr int32_t kPrevMargin = 5;            // pixels around the sheet
constexpr int32_t kPrevDefaultPageW = 2550, kPrevDefaultPageH = 3300;   // printer pixels without a size

struct PrevLayoutIn {
    int32_t pageW, pageH;            // the page in printer pixels
    int32_t page100W, page100H;      // the page in window pixels at 100 %
    int32_t clientW, clientH;        // the window's client area
    int32_t buttonBar, statusBar;
    int32_t step;                    // 0..6, or 100 (panel)
    int32_t requestedPct;            // panel; 0 fit
    bool stopsAtOne;
    int32_t physOffX, physOffY, horzRes, vertRes;   // printable area in printer pixels
};
struct PrevLayout {
    int32_t step;
    bool zoomOutEnabled, zoomInEnabled, stopsAtOne;
    int32_t fittedPct;
    int32_t scale;                   // window pixels per 1000 printer pixels, at least 1
    int32_t pageLeft, pageTop, pageRight, pageBottom;
    int32_t areaLeft, areaTop, areaRight, areaBottom;
};
void PrevComputeLayout(const PrevLayoutIn& in, PrevLayout* out);
// The page height of a printer whose resolutions differ: its height in whole
// inches (from millimetres) times the horizontal resolution.
int32_t PrevUnequalPageHeight(int32_t vertSizeMm, int32_t logPixelsX);
// Printer pixels to window pixels on one axis (the scale never below 1).
int32_t PrevMap(int32_t value, int32_t scale, int32_t origin, int32_t scroll);

// ---- Panel zoom and Go To ---------------------------------------------------------------------
int32_t PrevPanelZoomIn(int32_t pct);
int32_t PrevPanelZoomOut(int32_t pct);
// A page number typed in the Go To box, made absolute; false when it is not a
// number or does not fit.
bool PrevParseGoTo(const char* text, uint32_t firstPage, uint32_t* page);
// A page n limited to first..last.
uint32_t PrevClampPage(int64_t n, uint32_t first, uint32_t last);
