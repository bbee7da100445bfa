// prtpreview.h - the state of one print preview, in its window or in a panel,
// and the preview operations the window and the panel share.
#pragma once

#include "print/print.h"

// Buttons in the state's order, and their command ids.
enum PrevButton {
    kPrevBtnPrint, kPrevBtnNext, kPrevBtnPrev, kPrevBtnGoTo, kPrevBtnZoomIn, kPrevBtnZoomOut, kPrevBtnClose,
    kPrevBtnFirst, kPrevBtnLast, kPrevBtnToPdf, kPrevButtonCount,
};
enum PrevCommandId : int {
    kPrevIdPrint = 100, kPrevIdToPdf = 101, kPrevIdNext = 200, kPrevIdPrev = 300, kPrevIdGoTo = 400,
    kPrevIdFirst = 401, kPrevIdLast = 402, kPrevIdZoomIn = 500, kPrevIdZoomOut = 600, kPrevIdClose = 700,
};
// Close-block words the preview reads (and writes back).
enum PrevCloseWord : size_t {
    kPrevWordLast = 0, kPrevWordMaximized = 1, kPrevWordStart = 2, kPrevWordFirst = 3, kPrevWordZoom = 4,
    kPrevWordPrintDialog = 5, kPrevWordNoPrint = 6,
};

struct PrtPrevState {
    HWND wnd;
    HDC dc;
    HWND status, vbar, hbar;
    HWND lastFocus;
    HWND buttons[kPrevButtonCount];
    uint8_t running, printRequested, pdfWritten, toPdfShown, printIsPdf, pdfAllowed;
    FontRec* buttonFont;
    RECT client;
    HRGN clip;
    uint8_t disabledOthers;
    HWND disabledModal;
    int32_t scale;
    int32_t pageW, pageH;
    RECT page, area;
    int32_t zoomStep, requestedPct, fittedPct;
    int32_t hRange, vRange, hPos, vPos;
    uint8_t layoutNeeded, ownH, ownV, stopsAtOne;
    int32_t vBarW, hBarH, statusH, vTaken, hTaken, buttonBar;
    RECT corner;
    uint8_t fillCorner;
    uint32_t gotoPage;
    uint8_t printDialog, printNotAllowed;
    RECT paint;
    bool painting;
    PrinterRec* job;        // the panel's own job
    void** slot;            // the panel's slot that holds this state
    PrtPrevState* nextPanel;
};
extern PrtPrevState* gCurPrtPrev;

int32_t PrtPreviewRun(PrinterRec* job, uint32_t* block);
void PrtPrevLoadLabels(bool printDialog);
const char* PrtPrevLabel(size_t index);
void AdvPrtPrevRescalePage(PrtPrevState* p, PrinterRec* job);
void PrtPrevSetScrollBars(PrtPrevState* p);
void PrtPrevHScroll(PrtPrevState* p, int code, int32_t pos);
void PrtPrevVScroll(PrtPrevState* p, int code, int32_t pos);
int32_t PrtPrevShowPage(PrtPrevState* p, PrinterRec* job, int64_t page);
int32_t PrtPrevPlayPage(PrtPrevState* p, PrinterRec* job);
void PrtPrevCommand(PrtPrevState* p, PrinterRec* job, int id);
int32_t PrtPrevCreateWindow(PrtPrevState* p, PrinterRec* job, bool maximized);
void PrtPrevDestroyWindow(PrtPrevState* p, PrinterRec* job);

// The preview in a panel (prtprevpanel.cpp): the entries the Panel object
// reaches through the object model's print hooks.
struct PrevPanelLoadArgs;
int32_t PrevPanelLoad(void** slot, void* wnd, uint32_t scrollBars, const PrevPanelLoadArgs* args);
int32_t PrevPanelCommand(void** slot, uint32_t command, int32_t value);
int32_t PrevPanelFree(void** slot);
void PrevPanelPaint(void** slot, void* paintDC);
void PrevPanelMarkResized(void** slot);
void PrevPanelScroll(void** slot, int32_t pos, int code, bool vertical);
void PrtClosePreviews();
void PrtPreviewPanelInstall();
