// prtjob.cpp - print jobs: the job record and its handle, the current job,
// opening by name, dialog or PDF target, selection, closing, and the dispatch
// of the print messages with their answers.
#include "print/print.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "objects/guihooks.h"
#include "print/prtpreview.h"
#include "session/config.h"
#include "session/log.h"
#include "session/session.h"
#include "session/util/mem.h"
#include "session/util/strutil.h"

PrinterRec* gCurPrtRec;
char gPrtName[kPrtNameMax + 1];
static PrinterRec* gPrtLiveList;

constexpr size_t kPrtSpoolNameMax = 255;       // longest spool name the server may give
constexpr size_t kPrtNameField = 260;          // name as asked, before resolving
constexpr size_t kPrtLongNameFrom = 31;        // see PrtOpen: printer names cut by the device
constexpr size_t kPrtDeviceNameCut = 30;

static bool IsPdfPrefix(const char* s) { return _strnicmp(s, "pdf:", 4) == 0; }

// ---- Record -----------------------------------------------------------------------

// Print jobs and printer files are told apart by their handles' kinds: a
// printer file's handle never finds a job, nor a job's a printer file.
static HandleKind RecHandleKind(uint32_t flags) {
    return (flags & kPrtFlagGdiJob) ? kHandlePrintJob : kHandlePrinterFile;
}

PrinterRec* PrtRecAlloc(uint32_t flags, uint32_t textFlags) {
    PrinterRec* job = static_cast<PrinterRec*>(LocalAllocZero(sizeof(PrinterRec)));
    if (!job) return nullptr;
    job->magic = kPrtMagic;
    job->spool = INVALID_HANDLE_VALUE;
    job->flags = flags;
    job->textFlags = textFlags;
    job->lastPage = kPrtLastPageNone;
    job->handle = HandleNew(RecHandleKind(flags), job);
    if (!job->handle) {
        LocalFreeMem(job);
        return nullptr;
    }
    job->nextLive = gPrtLiveList;
    gPrtLiveList = job;
    return job;
}

// The magic goes before the memory: a stale handle never finds a record.
void PrtRecFree(PrinterRec* job) {
    if (!job) return;
    HandleRemove(RecHandleKind(job->flags), job->handle);
    for (PrinterRec** link = &gPrtLiveList; *link; link = &(*link)->nextLive) {
        if (*link == job) {
            *link = job->nextLive;
            break;
        }
    }
    PrtTextForget(job);
    if (gCurPrtRec == job) PrtSetCurrent(nullptr);
    job->magic = 0;
    LocalFreeMem(job);
}

// A job whose close runs (its preview waits for a person) is out of reach of
// the messages the preview's loop lets through.
PrinterRec* PrtJobFromHandle(uint32_t handle) {
    PrinterRec* job = static_cast<PrinterRec*>(HandleLookup(kHandlePrintJob, handle));
    return job && job->magic == kPrtMagic && !job->closing ? job : nullptr;
}

static void PrtSyncGeom(PrinterRec* job) {
    job->geom.kind = kPdfJobGeomKind;
    job->geom.coordinateMode = job->coordMode;
    job->geom.decimalChar = job->decimalChar;
    job->geom.printQuality = job->setup[kPsPrintQuality];
    job->geom.pdfFlags = job->pdfFlags;
    job->geom.openOptions = job->openOptions;
}

void PrtSetCurrent(PrinterRec* job) {
    PrtTextSettle();
    gCurPrtRec = job;
    if (job) PrtSyncGeom(job);
    gPdfCurJob = job && job->pdf ? &job->geom : nullptr;
}

void PrtLatchError(int32_t result, int32_t detail) {
    PrinterRec* job = gCurPrtRec;
    if (!result || !job || (job->flags & kPrtFlagErrorLatched)) return;
    job->flags |= kPrtFlagErrorLatched;
    job->firstError = static_cast<uint32_t>(result);
    job->firstDetail = static_cast<uint32_t>(detail);
}

int32_t PrtSelectJob(PrinterRec* job) {
    if (!job || job->magic != kPrtMagic || !(job->flags & kPrtFlagGdiJob)) return kPrtNotAJob;
    PrtSetCurrent(job);
    return kPrtOk;
}

// ---- Spool file ----------------------------------------------------------------------

// A named spool file: created (read and write, no sharing, always created). A
// name without "." gets "." and the session's spool extension, but only when
// the whole name still fits its field; a name that would not is refused.
static bool OpenNamedSpool(PrinterRec* job, const char* spool, size_t spoolLen) {
    char name[kPrtSpoolNameSize];
    memcpy(name, spool, spoolLen);
    name[spoolLen] = 0;
    if (!memchr(spool, '.', spoolLen)) {
        const char* ext = gClientConfig.spoolExt[0] ? gClientConfig.spoolExt : "SPL";
        size_t extLen = strnlen(ext, sizeof gClientConfig.spoolExt);
        if (spoolLen + 1 + extLen >= sizeof name) return false;
        name[spoolLen] = '.';
        memcpy(name + spoolLen + 1, ext, extLen);
        name[spoolLen + 1 + extLen] = 0;
    }
    HANDLE h = CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    SetEndOfFile(h);
    job->spool = h;
    snprintf(job->spoolName, sizeof job->spoolName, "%s", name);
    return true;
}

// ---- Open ------------------------------------------------------------------------------

bool PrtPdfTitleUsable(const PrinterRec* job, const char* title, size_t len) {
    bool namedByTitle = (job->pdfFlags & kPrtPdfTarget) ||
                        ((job->pdfFlags & kPrtPdfSpool) && !(job->flags & kPrtFlagPreviewAtClose));
    if (!namedByTitle || NameIsWhole(title, len, kPrtTitleMax)) return true;
    size_t blanks = 0;
    while (blanks < len && title[blanks] == ' ') blanks++;
    if (blanks == len) return true;  // blanks only: the name is asked for
    DebugLogWrite("PrtPdfTitleUsable", "the PDF file name holds a NUL or passes %u characters: refused",
                  static_cast<unsigned>(kPrtTitleMax));
    return false;
}

PrinterRec* PrtOpen(const PrtOpenMsg* request, uint32_t* errorOut) {
    const char* name = request->name.text;
    size_t nameLen = request->name.len;
    const char* title = request->title.text;
    size_t titleLen = request->title.len;
    const char* spool = request->spool.text;
    size_t spoolLen = request->spool.len;
    uint32_t options = request->options;
    if (nameLen && name[0] == '!') {
        name++;
        nameLen--;
    }
    *errorOut = 0;
    PrtErrorClear();
    if (!PrtNameIsWhole(name, nameLen)) return nullptr;
    PrinterRec* job = PrtRecAlloc(kPrtGdiJobFlags, kPrtTextFrame);
    if (!job) return nullptr;

    job->openOptions = options;
    if (options & kPrtOptPreviewOnly) {
        job->flags &= ~kPrtFlagPrinterPage;
        job->flags |= kPrtFlagPreviewOnly;
    }
    if (options & kPrtOptNoPageNums) job->flags |= kPrtFlagNoPageNums;
    if (options & kPrtOptSelection) job->flags |= kPrtFlagSelection;
    if (options & kPrtOptPdfPreview) job->pdfFlags |= kPrtPdfPreviewOpt;
    if (options & kPrtOptUtf16) job->pdfFlags |= kPrtPdfUtf16;

    if (request->pdfFile.text && request->pdfFile.len) {
        job->pdfFlags |= kPrtPdfTitled;
        title = request->pdfFile.text;
        titleLen = request->pdfFile.len;
    }
    const size_t titleAsked = titleLen;
    if (titleLen > kPrtTitleMax) titleLen = kPrtTitleMax;
    if (titleLen) memcpy(job->title, title, titleLen);
    job->title[titleLen] = 0;

    char nm[kPrtNameField];
    if (nameLen >= sizeof nm) nameLen = sizeof nm - 1;
    memcpy(nm, name, nameLen);
    nm[nameLen] = 0;

    if (spoolLen) {
        job->flags |= kPrtFlagSpooling | kPrtFlagSpoolEmpty;
        if (!(job->flags & kPrtFlagPreviewOnly)) {
            job->flags &= ~kPrtFlagPrinterPage;
            job->flags |= kPrtFlagPrintSpool | kPrtFlagPreviewOnly;
        }
        if (nameLen == 4 && IsPdfPrefix(nm)) {
            strcpy(nm, "-");
            job->pdfFlags |= kPrtPdfSpool;
            PrtSetCurrent(nullptr);
        }
    }

    const char* target = nm;
    if (nm[0] == 0 || strcmp(nm, "@?") == 0) {
        if (nm[0] == '@') job->flags = (job->flags | kPrtFlagPreviewAtClose | kPrtFlagSpooling | kPrtFlagSpoolEmpty) &
                                      ~kPrtFlagPrinterPage;
        if (!AdvPrtOpenByDlg(job, request->owner, kPrtDlgTakeDevMode, request->pageLimit, nullptr,
                             kPrtDlgKeepHandles)) {
            *errorOut = job->openError;
            PrtRecFree(job);
            return nullptr;
        }
        target = nullptr;
    } else if (nm[0] == '@') {
        job->flags = (job->flags | kPrtFlagPreviewAtClose | kPrtFlagSpooling | kPrtFlagSpoolEmpty) &
                     ~kPrtFlagPrinterPage;
        target = nm + 1;
        if (IsPdfPrefix(target) && target[4] == 0) job->pdfFlags |= kPrtPdfSpool;
        if (target[0] == 0 || (job->pdfFlags & kPrtPdfSpool)) target = "-";
    }
    if (target) {
        job->dc = OpenPrtByName(target, job);
        job->flags |= kPrtFlagAllPages;
        job->copies = 1;
    }

    if ((job->flags & kPrtFlagPrintSpool) && (job->flags & kPrtFlagPreviewAtClose)) {
        job->flags &= ~kPrtFlagPrintSpool;
        if (!(options & kPrtOptPreviewOnly)) job->flags &= ~kPrtFlagPreviewOnly;
    }
    job->pageNumber = (job->flags & kPrtFlagPreviewOnly) ? 0 : 1;

    if (!(job->pdfFlags & kPrtPdfTarget) && !job->dc) {
        PrtRecFree(job);
        return nullptr;
    }
    if (job->pdfFlags & kPrtPdfTarget) PrtSetCurrent(nullptr);

    if (!PrtPdfTitleUsable(job, title, titleAsked) ||
        PrtDeviceSetup(job, job->title, strlen(job->title), options) != kPrtOk) {
        PrtCloseDefault(job);
        return nullptr;
    }
    // The device gives at most 30 characters of a long printer name: the
    // answer then carries the name as it was asked for.
    if (target && strlen(gPrtName) == kPrtDeviceNameCut && strlen(target) >= kPrtLongNameFrom)
        snprintf(gPrtName, sizeof gPrtName, "%s", target);

    if (job->flags & kPrtFlagSpooling) {
        bool ok;
        if (!spoolLen) {
            job->spool = OpenSpoolFile(job->spoolName, sizeof job->spoolName);
            ok = job->spool != INVALID_HANDLE_VALUE;
            job->flags |= kPrtFlagDeleteSpool;
        } else {
            ok = NameIsWhole(spool, spoolLen, kPrtSpoolNameMax) && OpenNamedSpool(job, spool, spoolLen);
        }
        if (ok) ok = PrtSpoolStart(job);
        if (!ok) {
            PrtCloseDefault(job);
            return nullptr;
        }
    }
    PrtSetCurrent(job);
    DebugLogWrite("PrtOpen", "%s flags 0x%08X", gPrtName, job->flags);
    return job;
}

// ---- Close -------------------------------------------------------------------------------

int32_t PrtClose(PrinterRec* job, uint32_t* block) {
    if (!job || job->magic != kPrtMagic || !(job->flags & kPrtFlagGdiJob) || job->closing) return kPrtNotAJob;
    PrtSetCurrent(job);
    job->closing = 1;
    int32_t result = kPrtOk;
    uint32_t options = (block[kPrtCloseWordOptions] & kPrtCloseOptionMask) | (job->openOptions & ~kPrtCloseOptionMask);
    bool preview = (job->flags & kPrtFlagPreviewAtClose) != 0;

    if ((job->flags & (kPrtFlagSpoolError | kPrtFlagSpoolEmpty)) || (options & kPrtCloseNoPreview)) {
        preview = false;
        // Abandoned, or nothing to print: the spool file is not printed either.
        job->flags &= ~kPrtFlagPrintSpool;
        if ((options & (kPrtCloseNoPreview | kPrtCloseKeepSpool)) != (kPrtCloseNoPreview | kPrtCloseKeepSpool)) {
            job->flags &= ~kPrtFlagSpooling;
            job->flags |= kPrtFlagDeleteSpool;
        }
        job->flags &= ~kPrtFlagPageFresh;
    }
    if (job->flags & kPrtFlagSpooling) {
        job->flags &= ~kPrtFlagSpooling;
        result = PrtSpoolFinishFile(job);
    }

    if ((job->flags & kPrtFlagPrinterPage) && job->dc && !(job->pdfFlags & kPrtPdfTarget)) {
        if (job->flags & kPrtFlagPageOpen) {
            if (EndPage(job->dc) <= 0 && !result) result = kPrtNoMemory;
            job->flags &= ~kPrtFlagPageOpen;
        }
        if (!(job->flags & kPrtFlagDocPending)) result = PrtEndDocument(job->dc, result);
    }
    bool previewRan = false;
    if (preview && !result && !(job->flags & kPrtFlagErrorLatched)) {
        if (job->flags & kPrtFlagPreviewOnly) block[kPrtCloseWordPreviewOnly] = 1;
        result = gPrtPreviewRun ? gPrtPreviewRun(job, block) : kPrtPreviewWindow;
        previewRan = true;
    }
    bool printedSpool = false;
    if (job->flags & kPrtFlagPrintSpool) {
        job->flags &= ~(kPrtFlagPrintSpool | kPrtFlagPreviewOnly);
        if (!result) {
            // A replay that fails answers the detail it left in the error
            // cell (a PDF option's refusal, the spool file's error number);
            // one that sets none leaves the cell as it was.
            const int32_t cellBefore = gPrtErrNo;
            gPrtErrNo = 0;
            result = gPrtSpoolPrint ? gPrtSpoolPrint(job, block) : kPrtSpoolRead;
            if (result && gPrtErrNo && !block[kPrtCloseWordDetail])
                block[kPrtCloseWordDetail] = static_cast<uint32_t>(gPrtErrNo);
            if (!gPrtErrNo) gPrtErrNo = cellBefore;
            printedSpool = true;
        }
    }
    if (!previewRan) {
        // Pages printed from the spool file are those played, not those drawn.
        int32_t pages = printedSpool ? static_cast<int32_t>(job->pagesPrinted) + (result ? 1 : 0) : job->pageNumber;
        if (result || (job->flags & kPrtFlagErrorLatched)) pages--;
        block[kPrtCloseWordPages] = static_cast<uint32_t>(pages < 0 ? 0 : pages);
        block[kPrtCloseWordCopies] = job->copies;
    }
    if (job->dc) DeleteDC(job->dc);
    if (job->metricsDC) DeleteDC(job->metricsDC);
    job->dc = job->drawDC = job->metricsDC = nullptr;
    if (job->pdf) {
        if (job->pdfFlags & kPrtPdfProtectRefused) PdfRefuseProtection(job->pdf);
        int32_t r = PdfFinish(job->pdf);
        job->pdf = nullptr;
        gPdfCurJob = nullptr;
        if (r) DebugLogWrite("PdfFinish", "%d code %d", r, gPdfErrNo);
        // A failure latched while drawing came first and is the one answered.
        if (!result && !(job->flags & kPrtFlagErrorLatched)) result = r;
    }
    PrtSpoolRelease(job);
    GuardedFree(job->imageBuf);
    LocalFreeMem(job->previewData);
    if (job->spool != INVALID_HANDLE_VALUE) {
        CloseHandle(job->spool);
        if (job->flags & kPrtFlagDeleteSpool) DeleteFileA(job->spoolName);
    }
    if (job->devMode) GlobalFree(job->devMode);
    if (job->devNames) GlobalFree(job->devNames);
    PrtFontRelease(job->font);
    PrtFontRelease(job->screenFont);
    if (job->pen) DeleteObject(job->pen);
    if (job->brush) DeleteObject(job->brush);
    if (!result && (job->flags & kPrtFlagErrorLatched)) result = static_cast<int32_t>(job->firstError);
    // A close that answers the latched failure answers its detail too.
    if ((job->flags & kPrtFlagErrorLatched) && result == static_cast<int32_t>(job->firstError) &&
        !block[kPrtCloseWordDetail])
        block[kPrtCloseWordDetail] = job->firstDetail;
    PrtRecFree(job);
    PrtSetCurrent(nullptr);
    return result;
}

int32_t PrtCloseDefault(PrinterRec* job) {
    uint32_t block[kPrtCloseWords] = {};
    if (job && job->magic == kPrtMagic) block[kPrtCloseWordOptions] = job->openOptions & ~kPrtCloseOptionMask;
    return PrtClose(job, block);
}

// ---- Messages -------------------------------------------------------------------------------

PrtJobAnswer PrtOpenFromMsg(const SrvMsg* m) {
    PrtJobAnswer a = {0, 0, 0, 0, gPrtName};
    PrtOpenMsg o;
    if (!PrtDecodeOpen(m->type, m->r, &o)) {
        a.detail = kPrtBadMessage;
        return a;
    }
    uint32_t err = 0;
    PrinterRec* job = PrtOpen(&o, &err);
    a.value = job ? static_cast<int32_t>(job->handle) : 0;
    a.detail = static_cast<int32_t>(err);
    return a;
}

PrtJobAnswer PrtCloseFromMsg(const SrvMsg* m) {
    PrtJobAnswer a = {0, 0, 0, 0, nullptr};
    PrtCloseMsg c;
    if (!PrtDecodeClose(m->type, m->r, &c)) {
        a.value = kPrtBadMessage;
        return a;
    }
    PrinterRec* job = PrtJobFromHandle(c.handle);
    a.value = job ? PrtClose(job, c.block) : kPrtNotAJob;
    a.detail = static_cast<int32_t>(c.block[kPrtCloseWordDetail]);
    a.pages = static_cast<int32_t>(c.block[kPrtCloseWordPages]);
    a.copies = static_cast<int32_t>(c.block[kPrtCloseWordCopies]);
    return a;
}

static int32_t OnPrtInfo(const SrvMsg* m) {
    uint32_t handle, code;
    if (!m->r.U32At(8, &handle) || !m->r.U32At(12, &code)) return kPrtBadMessage;
    // The printer name runs to its NUL or the end of the message.
    char printer[MAX_PATH] = "";
    size_t n = m->length > 16 ? m->length - 16 : 0;
    if (n >= sizeof printer) n = sizeof printer - 1;
    m->r.BytesAt(16, printer, n);
    printer[n] = 0;
    int32_t value = 0;
    const char* text = PrtGetInfo(PrtJobFromHandle(handle), printer, code, &value);
    if (MsgBuildInfoAnswer(&gSendBuf, value, text, gSession.curSeq, gSession.swapped)) PostBuiltMsg();
    return kNoAnswer;
}

// The spooler and the print dialogs are loaded before printing's first
// request: when one cannot be loaded (no memory left for it) the request is
// refused with printing's no-memory code, in the shape of its answer. (The
// functions that call into them ask again, for the other ways in: the info
// requests, the printer list, the main window's print dialog.)
static int32_t PrtRefuseWithoutLibraries(const SrvMsg* m) {
    switch (m->type) {
    case kPrtMsgOpen:
    case kPrtMsgOpenTitled:
    case kPrtMsgOpenSpool:
    case kPrtMsgOpenSpoolAgain:
    case kPrtMsgClose:
        SendPrtJobAnswer(kPrtNoMemory, 0, 0, 0, nullptr);
        return kNoAnswer;
    case kPrtMsgInfo:
        if (MsgBuildInfoAnswer(&gSendBuf, kPrtNoMemory, nullptr, gSession.curSeq, gSession.swapped)) PostBuiltMsg();
        return kNoAnswer;
    default:
        return kPrtNoMemory;
    }
}

int32_t PrtHandleMsg(const SrvMsg* m) {
    if (!PrtLibrariesReady()) return PrtRefuseWithoutLibraries(m);
    uint32_t handle = 0, value = 0;
    // A text's width still to be taken is taken before anything else can
    // read the column or change what the measure depends on.
    if (m->type != kPrtMsgText && m->type != kPrtMsgTextNumeric && m->type != kPrtMsgSetPos) PrtTextSettle();
    switch (m->type) {
    case kPrtMsgSelect:
        if (!m->r.U32At(8, &handle)) return kPrtBadMessage;
        return PrtSelectJob(PrtJobFromHandle(handle));
    case kPrtMsgPageValue:
        if (!m->r.U32At(8, &value)) return kPrtBadMessage;
        return PrtGetPageSetupValue(value);
    case kPrtMsgOpen:
    case kPrtMsgOpenTitled: {
        PrtJobAnswer a = PrtOpenFromMsg(m);
        SendPrtJobAnswer(a.value, a.copies, a.pages, a.detail, a.text);
        return kNoAnswer;
    }
    case kPrtMsgCloseDefault:
        if (!m->r.U32At(8, &handle)) return kPrtBadMessage;
        return PrtCloseDefault(PrtJobFromHandle(handle));
    case kPrtMsgClose: {
        PrtJobAnswer a = PrtCloseFromMsg(m);
        SendPrtJobAnswer(a.value, a.copies, a.pages, a.detail, nullptr);
        return kNoAnswer;
    }
    case kPrtMsgGetDC:
        if (!m->r.U32At(8, &handle)) return kPrtBadMessage;
        return static_cast<int32_t>(reinterpret_cast<uintptr_t>(PrtGetDC(PrtJobFromHandle(handle))));
    case kPrtMsgPageSetupDlg:
        // +8 the window object that owns the dialog, or 0.
        m->r.U32At(8, &handle);
        return PrtPageSetupDlg(PrtOwnerWindow(nullptr, handle));
    case kPrtMsgInfo:
        return OnPrtInfo(m);
    case kPrtMsgOpenSpool:
    case kPrtMsgOpenSpoolAgain: {
        PrtJobAnswer a = PrtOpenFromSpoolMsg(m);
        SendPrtJobAnswer(a.value, a.copies, a.pages, a.detail, nullptr);
        return kNoAnswer;
    }
    default:
        if (m->type >= kPrtMsgResetSetup && m->type <= kPrtMsgPdfLast) return PrtDrawFromMsg(m);
        return kNoAnswer;
    }
}

void PrtRegisterHandlers() {
    static const uint32_t kJobMsgs[] = {kPrtMsgSelect,    kPrtMsgPageValue,    kPrtMsgOpen,
                                        kPrtMsgCloseDefault, kPrtMsgClose,     kPrtMsgGetDC,
                                        kPrtMsgPageSetupDlg, kPrtMsgInfo,      kPrtMsgOpenTitled,
                                        kPrtMsgOpenSpool,    kPrtMsgOpenSpoolAgain};
    for (uint32_t t : kJobMsgs) gSrvMsg1200s[t - kMsgRange1200First] = PrtHandleMsg;
    // 2213 belongs to the printer files.
    for (uint32_t t = kPrtMsgResetSetup; t <= kPrtMsgPdfLast; t++)
        if (t != kPrtMsgFileWrite) gSrvMsg2200s[t - kMsgRange2200First] = PrtHandleMsg;
    gSrvMsg1200s[kPrtMsgFileOpen - kMsgRange1200First] = PrtFileHandleMsg;
    gSrvMsg1200s[kPrtMsgFileClose - kMsgRange1200First] = PrtFileHandleMsg;
    gSrvMsg2200s[kPrtMsgFileWrite - kMsgRange2200First] = PrtFileHandleMsg;
    PrtInstallQueryHooks();
    PrtPreviewInstall();
}

// Every job the server left open is closed, not only the current one: each
// holds a device context, an unfinished document and fonts made for it. Open
// printer files are written out and closed. A job is abandoned, not closed
// plainly: a plain close would show a preview to a person while the client exits.
void PrtCleanup() {
    for (PrinterRec* job = gPrtLiveList; job;) {
        PrinterRec* next = job->nextLive;
        if (job->flags & kPrtFlagGdiJob) {
            uint32_t block[kPrtCloseWords] = {};
            block[kPrtCloseWordOptions] = (job->openOptions & ~kPrtCloseOptionMask) | kPrtCloseNoPreview;
            if (!job->closing) PrtClose(job, block);
        } else {
            PrtFileClose(job, 1);
        }
        job = next;
    }
    if (gPrtDevMode) GlobalFree(gPrtDevMode);
    if (gPrtDevNames) GlobalFree(gPrtDevNames);
    gPrtDevMode = gPrtDevNames = nullptr;
    PrtTextCleanup();
}

static void PrtExitCleanup() {
    PrtCleanup();
    PrtClosePreviews();
}

FacilityRow PrtFacility() { return FacilityRow{"Print", nullptr, PrtExitCleanup}; }
