// prtpreview.cpp - the print preview: a modal window that shows the spooled
// pages of a job at its close, and the printing of spooled pages at close.
#include "print/print.h"

#include <cstring>

static int32_t PrtSpoolPrintAtClose(PrinterRec* job, uint32_t*) {
    return SpoolPrintPages(job, false, job->openOptions);
}

int32_t PrtPrevBeginPage(PrinterRec*) { return kPrtPreviewWindow; }
void PrtPrevEndPage(PrinterRec*) {}
int32_t PrtPrevMapX(const PrinterRec*, int32_t x) { return x; }
int32_t PrtPrevMapY(const PrinterRec*, int32_t y) { return y; }
int32_t PrtPrevScaleLength(const PrinterRec*, int32_t n) { return n; }
void PrtPrevSetLabels(const char*) {}
const char* PrtPrevGetLabels() { return ""; }

// The preview window is not built yet: a job opened for preview answers the
// window's failure rather than a success for pages nobody saw.
int32_t (*gPrtPreviewRun)(PrinterRec* job, uint32_t* block);
int32_t (*gPrtSpoolPrint)(PrinterRec* job, uint32_t* block) = PrtSpoolPrintAtClose;

void PrtPreviewInstall() {}
