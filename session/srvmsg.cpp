// srvmsg.cpp - the dispatch of server messages: taking a received frame (or the
// next member of a bundle), uncompressing and logging it, acknowledging it, and
// handing it to the core handlers or to the range tables later facilities fill.
#include "session/hoptrace.h"
#include "session/session.h"

#include <cstdio>
#include <cstring>
#include <utility>

#include "session/config.h"
#include "session/log.h"
#include "session/nomem.h"
#include "session/nomemwin.h"
#include "session/util/codepage.h"
#include "session/util/mem.h"
#include "session/util/strutil.h"

MsgBuf gSrvMsgBuf;
SrvMsgHandler gSrvMsg1200s[100];
SrvMsgHandler gSrvMsg1300s[100];
SrvMsgHandler gSrvMsg1400s[100];
SrvMsgHandler gSrvMsg2000s[1000];
SrvMsgHandler gSrvMsg2200s[100];
SrvMsgHandler gSrvMsg2400s[100];
SessionHooks gHooks;

static MsgBuf gMemberBuf;       // an uncompressed bundle member
static bool gInBundle;          // answers join the outgoing bundle
static uint32_t gAwaitType;     // a nested exchange waits for this type
static MsgBuf* gAwaitOut;
static bool gAwaitDone;
static int32_t gAwaitCode;      // the awaited answer came but cannot be held: kErrNoMemory

static SrvMsg MakeSrvMsg(const uint8_t* data, const FrameHead& h) {
    SrvMsg m = {data, h.length, h.type, h.seq, WireReader(data, h.length, gSession.swapped)};
    return m;
}

// ---- Core handlers (1008-1188) ------------------------------------------------------

static int32_t OnAccept(const SrvMsg* m) {
    uint32_t version = 0, options = 0;
    uint8_t fetchMode = 0, decimal = '.';
    m->r.U32At(kAccVersion, &version);
    m->r.U32At(kAccOptions, &options);
    m->r.U8At(kAccFetchMode, &fetchMode);
    m->r.U8At(kAccDecimal, &decimal);
    gClientConfig.serverVersion = version;
    gClientConfig.serverOptions = options;
    gClientConfig.defaultFetchMode = fetchMode;
    gClientConfig.decimalChar = static_cast<char>(decimal);
    memset(gClientConfig.spoolExt, 0, sizeof gClientConfig.spoolExt);
    m->r.BytesAt(kAccSpoolExt, gClientConfig.spoolExt, 4);
    gClientConfig.noPrintAnswers = (options & kAccOptNoPrintAnswers) != 0;
    gSession.compressOut = (options & kAccOptCompress) != 0;
    gSession.state = kSessionRunning;
    gSession.opened = true;
    DebugLogWrite("SERVER VERSION", "%u", version);
    return kNoAnswer;
}

static int32_t OnRefuse(const SrvMsg* m) {
    int32_t code = 0;
    m->r.I32At(kRefCode, &code);
    size_t n = m->length > kRefText ? m->length - kRefText : 0;
    if (n >= sizeof gSession.refuseText) n = sizeof gSession.refuseText - 1;
    m->r.BytesAt(kRefText, gSession.refuseText, n);
    gSession.refuseText[n] = 0;
    gSession.lastError = code;
    gSession.state = kSessionRefused;
    return kNoAnswer;
}

static int32_t OnEndSession(const SrvMsg* m) {
    int32_t code = 0;
    m->r.I32At(kEndCode, &code);
    PostAnswer(kMsgAnswer, 0);
    gSession.exitCode = code;
    gSession.endReceived = true;
    gSession.state = kSessionEnded;
    return kNoAnswer;
}

// 1058: the receive buffer grows (in steps of 1024 from its current size) so the
// server may send longer frames; the answer is the new size, 0 when refused.
// The last step stops at kRecvBufMaxSize: the longest frame fits, and the
// buffers a large frame is swapped with are never made larger than that.
static int32_t OnGrowBuffer(const SrvMsg* m) {
    uint32_t want;
    if (!m->r.U32At(kGrowSize, &want)) return 0;
    if (want <= gRecvBuf.size) return static_cast<int32_t>(gRecvBuf.size);
    if (want > kRecvBufMaxSize) return 0;
    uint64_t size = gRecvBuf.size + ((static_cast<uint64_t>(want) - gRecvBuf.size + kBufGrowStep - 1) / kBufGrowStep) *
                                        kBufGrowStep;
    if (size > kRecvBufMaxSize) size = kRecvBufMaxSize;
    void* p = GuardedRealloc(gRecvBuf.data, static_cast<size_t>(size));
    if (!p) return 0;
    gRecvBuf.data = static_cast<uint8_t*>(p);
    gRecvBuf.size = static_cast<uint32_t>(size);
    return static_cast<int32_t>(size);
}

// From this size a received frame changes buffers rather than being copied.
constexpr uint32_t kFrameSwapMin = 65536;

// The longest sleep of one turn of a timed event wait.
constexpr DWORD kEventPollMs = 50;

// ---- Events answered while their sender waits (by-reference arguments) ----------
// An event whose arguments the server may change by reference answers the open
// wait at once (SrvMsgAnswerWaitNow); its sender then takes the server's
// requests nested until the server waits or polls again. That next wait is
// not served inside the nest: it is noted here, and the outer wait, once the
// sender returned, serves it in place of the one already answered.
struct EventWaitState {
    uint32_t depth;         // gHandling of the open wait, 0 when none is open
    bool answered;          // the open wait was answered from inside its pump
    bool deferred;          // a wait request arrived inside the nest
    uint32_t type, waitMs, seq;
    uint32_t ownSeq, ownMs; // the open wait's own sequence and time
    DWORD ownStart;
};
static EventWaitState gWait;
static uint32_t gHandling;      // frames being worked (more than one inside a nested wait)
static bool gFrameReleased;     // the frame being worked has made ready for the next one already

bool SrvMsgEventWaitOpen() { return gWait.depth != 0 && !gWait.answered && gWait.depth == gHandling; }

bool SrvMsgAnswerWaitNow() {
    if (!SrvMsgEventWaitOpen() || !SendNextEvent()) return false;
    gWait.answered = true;
    gWait.deferred = false;
    return true;
}

bool SrvMsgDeferredWaitArrived() { return gWait.deferred || gSession.state != kSessionRunning; }

static bool DeferWaitInNest(const SrvMsg* m) {
    // Only a request of the nest itself: one level below the answered wait.
    if (!gWait.answered || gWait.deferred || gHandling != gWait.depth + 1) return false;
    gWait.deferred = true;
    gWait.type = m->type;
    gWait.waitMs = INFINITE;
    if (m->type == kMsgEventWaitTimed) m->r.U32At(kTimedWaitOff, &gWait.waitMs);  // checked by the caller
    gWait.seq = m->seq;
    return true;
}

// ---- Waits while the system runs a loop of its own ------------------------------------
// A menu (a pop-up, a drop-down, the menu bar's, an edit's own) runs a loop of
// its own until the person closes it, and so does a window being moved or
// sized; a wait's loop below it does not turn meanwhile, and one started on top
// of it would take that loop's input. So while such a loop runs, a wait is
// answered from a timer, which the system's loops dispatch: the wait open when
// the loop began (its time counted from its own start), and each wait the
// server sends while it runs (during a menu only a poll or a timed wait comes:
// other requests are held, below). Its answer is the next event, or nothing
// once its time is up; the menu meanwhile still takes the person's choice.
constexpr UINT_PTR kLoopWaitTimerId = 9;
constexpr UINT kLoopWaitTickMs = 20;

struct LoopWait {
    bool open;
    uint32_t seq, waitMs;
    DWORD start;
};
static LoopWait gLoopWait;
static bool gLoopWaitTickOn;

static bool InSystemLoop();
static void LoopWaitTick(HWND wnd, UINT, UINT_PTR id, DWORD);

static void LoopWaitTickOn() {
    if (gLoopWaitTickOn) return;
    gLoopWaitTickOn = SetTimer(gMainWnd, kLoopWaitTimerId, kLoopWaitTickMs, GuardedTimerProc<LoopWaitTick>) != 0;
}

// The wait's answer beside the loop, in its own sequence: the next event, or
// (its time up) nothing. True when it was answered.
static bool AnswerLoopWait() {
    // The request being worked keeps its sequence however this ends.
    struct OwnSeq {
        uint32_t seq = gSession.curSeq;
        OwnSeq() { gSession.curSeq = gLoopWait.seq; }
        ~OwnSeq() { gSession.curSeq = seq; }
    } ownSeq;
    bool answered = SendNextEvent();
    if (!answered && gLoopWait.waitMs != INFINITE && GetTickCount() - gLoopWait.start >= gLoopWait.waitMs) {
        PostAnswer(kMsgAnswer, 0);
        answered = true;
    }
    if (answered) gLoopWait.open = false;
    return answered;
}

// The facilities' work before and during a wait (redraws queued for the pages,
// the pages' input): what cannot be held is dropped with its note, and the
// wait goes on.
static void RunWaitHook(void (*hook)()) {
    if (hook) CatchNoMemory("the work of a wait", hook);
}

// How long a wait request waits: a poll not at all.
static uint32_t OwnWaitMs(uint32_t type, uint32_t waitMs) { return type == kMsgEventPoll ? 0 : waitMs; }

static void WaitBesideLoop(uint32_t type, uint32_t waitMs) {
    gLoopWait = LoopWait{true, gSession.curSeq, OwnWaitMs(type, waitMs), GetTickCount()};
    RunWaitHook(gHooks.eventWaitBegin);
    if (!AnswerLoopWait()) LoopWaitTickOn();
}

// The wait whose loop a system loop has stopped is answered beside it; the
// link is made ready for the server's next request.
static void TakeOverStoppedWait() {
    if (!gWait.depth || gWait.answered || gWait.depth != gHandling || gInBundle || ReplyPending()) return;
    gLoopWait = LoopWait{true, gWait.ownSeq, gWait.ownMs, gWait.ownStart};
    gWait.answered = true;
    gWait.deferred = false;
    gFrameReleased = true;
    RecvNextFrame();
}

static void LoopWaitTick(HWND wnd, UINT, UINT_PTR id, DWORD) {
    if (gSession.state != kSessionRunning) gLoopWait.open = false;
    else if (InSystemLoop()) TakeOverStoppedWait();
    // A request being worked keeps the send buffer: the answer waits a tick.
    // An event that cannot be held now is tried again at the next tick.
    if (gLoopWait.open && !ReplyPending() && !gInBundle) CatchNoMemory("a wait beside a system loop", AnswerLoopWait);
    if (gLoopWait.open || (gWait.depth && !gWait.answered && gSession.state == kSessionRunning)) return;
    KillTimer(wnd, id);
    gLoopWaitTickOn = false;
}

// 1050 polls, 1105 waits until an event comes, 1121 waits at most its +8
// milliseconds (0xFFFFFFFF: as long as 1105). A 1121 without its time is
// answered -2 like every other short request, never taken as "forever". A wait
// that the session's end cut short (the server lost) is not answered.
static int32_t OnEventWait(const SrvMsg* m) {
    uint32_t type = m->type;
    uint32_t waitMs = INFINITE;
    if (m->type == kMsgEventWaitTimed && !m->r.U32At(kTimedWaitOff, &waitMs)) return kErrBadRequest;
    if (InSystemLoop()) {
        WaitBesideLoop(type, waitMs);
        return kNoAnswer;
    }
    if (DeferWaitInNest(m)) return kNoAnswer;
    DWORD start = GetTickCount();
    // Redraws queued for the web page go out before the user is waited on.
    RunWaitHook(gHooks.eventWaitBegin);
    // The wait open around this one comes back however this one ends.
    struct Restore {
        EventWaitState outer;
        ~Restore() { gWait = outer; }
    } restore{gWait};
    gWait = EventWaitState{gHandling, false, false, 0, 0, 0, gSession.curSeq, OwnWaitMs(type, waitMs), start};
    bool pollFetched = false;
    for (;;) {
        if (gWait.answered) {
            // Answered from inside; serve the wait that came meanwhile, if any.
            if (!gWait.deferred) break;
            type = gWait.type;
            waitMs = gWait.waitMs;
            gSession.curSeq = gWait.seq;
            ReplyReset();
            start = GetTickCount();
            gWait.answered = gWait.deferred = false;
            gWait.ownSeq = gWait.seq, gWait.ownMs = OwnWaitMs(type, waitMs), gWait.ownStart = start;
            RunWaitHook(gHooks.eventWaitBegin);
        }
        if (SendNextEvent()) break;
        if (gSession.state != kSessionRunning) break;
        // A menu opened, or a window moved, by what the pump dispatches runs
        // its own loop on top of this one; the tick answers in its place.
        if (gHooks.eventTakeNext) LoopWaitTickOn();
        if (type == kMsgEventPoll) {
            // What the user did may still wait in the message queue or with
            // the page: one turn takes it before the poll answers.
            if (!pollFetched) {
                pollFetched = true;
                PumpOnce(false);
                RunWaitHook(gHooks.eventPollFetch);
                continue;
            }
            PostAnswer(kMsgAnswer, 0);
            break;
        }
        DWORD elapsed = GetTickCount() - start;
        if (waitMs != INFINITE && elapsed >= waitMs) {
            PostAnswer(kMsgAnswer, 0);
            break;
        }
        if (waitMs == INFINITE && gHooks.eventTakeNext) {
            PumpOnce(true);
        } else {
            // A timed wait sleeps until a message comes or the time is up,
            // rather than spinning; without the object model no event can come.
            DWORD left = waitMs == INFINITE ? kEventPollMs : waitMs - elapsed;
            MsgWaitForMultipleObjects(0, nullptr, FALSE, left < kEventPollMs ? left : kEventPollMs, QS_ALLINPUT);
            PumpOnce(false);
        }
    }
    return kNoAnswer;
}

static int32_t OnSound(const SrvMsg* m) {
    if (m->type == kMsgSoundLoad) {
        uint32_t n, option = 0;
        if (!m->r.U32At(kSndNameLength, &n) || !m->r.Has(kSndName, n) || !m->r.U32At(kSndName + n, &option))
            return kErrBadRequest;
        if (!gHooks.sndLoad) return kErrNoSound;
        return gHooks.sndLoad(reinterpret_cast<const char*>(m->r.PtrAt(kSndName, n)), n, option);
    }
    uint32_t handle;
    if (!m->r.U32At(kSndHandle, &handle)) return kErrBadRequest;
    auto fn = m->type == kMsgSoundClose ? gHooks.sndClose : gHooks.sndPlay;
    return fn ? fn(handle) : kErrNoSound;
}

static int32_t ProcessCoreMsg(const SrvMsg* m) {
    switch (m->type) {
    case kMsgSessionAccept: return OnAccept(m);
    case kMsgSessionRefuse: return OnRefuse(m);
    case kMsgEndSession: return OnEndSession(m);
    case kMsgGrowBuffer: return OnGrowBuffer(m);
    case kMsgEventPoll:
    case kMsgEventWait:
    case kMsgEventWaitTimed: return OnEventWait(m);
    case kMsgSoundLoad:
    case kMsgSoundClose:
    case kMsgSoundPlay: return OnSound(m);
    default: break;
    }
    PostAnswer(kMsgError, kErrUnhandledType);
    return kNoAnswer;
}

// ---- 2000s: client settings, information, text conversion ------------------------------

static int32_t OnSetClientSetting(const SrvMsg* m) {
    uint32_t code, n = 0;
    int32_t value = 0;
    if (!m->r.U32At(kSetCode, &code) || !m->r.I32At(kSetValue, &value)) return kErrBadRequest;
    char* text = nullptr;
    if (m->r.U32At(kSetTextLength, &n) && n) {
        const uint8_t* p = m->r.PtrAt(kSetText, n);
        if (!p) return kErrBadRequest;
        text = DupBytes(p, n);
    }
    int32_t prev = ClientSettingSet(static_cast<int>(code), value, text);
    LocalFreeMem(text);
    return prev;
}

static int32_t OnInfoRequest(const SrvMsg* m) {
    uint32_t code;
    if (!m->r.U32At(kInfCode, &code)) return kErrBadRequest;
    const char* text = nullptr;
    int32_t value = kNoAnswer;
    if (gHooks.infoRequest) value = gHooks.infoRequest(code, m, &text);
    if (value == kNoAnswer) {
        // Codes 8 and 9 read back the exception text that 2035 stored.
        if (code == 8 || code == 9) {
            text = gExceptionText ? gExceptionText : "";
            value = static_cast<int32_t>(strlen(text));
        } else if (code == kInfoCreateDetail) {
            value = gObjectCreateDetail;
            text = gErrorText;
        } else {
            value = ClientSettingGet(static_cast<int>(code));
        }
    }
    if (MsgBuildInfoAnswer(&gSendBuf, value, text, gSession.curSeq, gSession.swapped)) PostBuiltMsg();
    return kNoAnswer;
}

static int32_t OnTextConversion(const SrvMsg* m) {
    uint32_t sub;
    if (!m->r.U32At(kConvSubCode, &sub)) return kErrBadRequest;
    int32_t prev = gCharConvMode;
    if (sub == kConvSetMode) {
        uint32_t mode;
        if (!m->r.U32At(kConvMode, &mode)) return kErrBadRequest;
        gCharConvMode = static_cast<int>(mode);
    } else if (sub == kConvLoadMap) {
        uint32_t n;
        if (!m->r.U32At(kConvTableLength, &n) || !m->r.Has(kConvTable, n)) return kErrBadRequest;
        SetCharMapTable(m->r.PtrAt(kConvTable, n), n);
    } else {
        return kErrBadRequest;
    }
    return prev;
}

static int32_t OnExceptionText(const SrvMsg* m) {
    uint32_t n = m->length - kMsgHeadSize;
    if (n > kExceptionTextMax) n = kExceptionTextMax;
    SetExceptionText(reinterpret_cast<const char*>(m->r.PtrAt(kMsgHeadSize, n)), n);
    return 0;
}

static int32_t OnClientModeFlags(const SrvMsg* m) {
    uint32_t flags;
    if (!m->r.U32At(kAnsValue, &flags)) return kErrBadRequest;
    SetClientModeFlags(flags);
    return 0;
}

static int32_t OnDesignMode(const SrvMsg* m) {
    uint32_t v;
    if (!m->r.U32At(kAnsValue, &v)) return kErrBadRequest;
    SetDesignMode(v);
    return 0;
}

// ---- Range handlers ----------------------------------------------------------------

static int32_t Unhandled() {
    PostAnswer(kMsgError, kErrUnhandledType);
    return kNoAnswer;
}

static int32_t FromTable(SrvMsgHandler* table, uint32_t first, const SrvMsg* m) {
    SrvMsgHandler h = table[m->type - first];
    return h ? h(m) : Unhandled();
}

int32_t ProcessSrvMsg1200s(const SrvMsg* m) { return FromTable(gSrvMsg1200s, kMsgRange1200First, m); }

// 2201-2251: drawing; each is answered {1102, 0} unless the accept asked for
// no print answers. A printer file's write (2213) is answered with its result.
int32_t ProcessSrvMsg2200s(const SrvMsg* m) {
    SrvMsgHandler h = gSrvMsg2200s[m->type - kMsgRange2200First];
    if (!h && (m->type < 2201 || m->type > 2251)) return Unhandled();
    int32_t rc = h ? h(m) : 0;
    if (gClientConfig.noPrintAnswers && m->type >= 2201 && m->type <= 2251) return kNoAnswer;
    return m->type == kMsgPrtFileWrite && rc != kNoAnswer ? rc : 0;
}

static int32_t ProcessSrvMsg2400s(const SrvMsg* m) {
    SrvMsgHandler h = gSrvMsg2400s[m->type - kMsgRange2400First];
    if (h) return h(m);
    if (m->type == kMsgObjDestroyedList) {
        // The Ovars are words: a byte-swapped server gets them swapped.
        SetReplyWords(m, gDestArray, gDestCount);
        gDestCount = 0;
        return kNoAnswer;
    }
    if (gHooks.objectOp && m->type >= kMsgObjShow && m->type <= kMsgObjUnregEvent) return gHooks.objectOp(m);
    uint32_t handle;
    if (m->type >= kMsgObjShow && m->type <= kMsgObjUnregEvent && m->r.U32At(kOpHandle, &handle)) {
        // No object model yet: no handle names a live object.
        if (m->type == kMsgObjMethodCall &&
            DecodeMethodCall(m->data, m->length, gSession.swapped, &gMethodCall, &gPropChain) != 0)
            return kErrBadRequest;
        return kErrNoObject;
    }
    return Unhandled();
}

void SrvMsgInitTables() {
    gSrvMsg2000s[kMsgSetClientSetting - 2000] = OnSetClientSetting;
    gSrvMsg2000s[kMsgInfoRequest - 2000] = OnInfoRequest;
    gSrvMsg2000s[kMsgTextConversion - 2000] = OnTextConversion;
    gSrvMsg2000s[kMsgExceptionText - 2000] = OnExceptionText;
    gSrvMsg2000s[kMsgClientModeFlags - 2000] = OnClientModeFlags;
    gSrvMsg2000s[kMsgDesignMode - 2000] = OnDesignMode;
}

// Requests that end a wait or the session: served at any depth, so a server
// that nested too deep can still unwind (hide or destroy the modal window,
// wait or poll again to end an event's nest, end the session).
static bool EndsAWait(uint32_t type) {
    return type == kMsgEndSession || type == kMsgObjHide || type == kMsgObjDestroy || type == kMsgEventPoll ||
           type == kMsgEventWait || type == kMsgEventWaitTimed;
}

// The handler of one request by its type; its result code.
static int32_t DispatchByType(const SrvMsg* m) {
    int32_t rc;
    uint32_t t = m->type;
    if (t >= kMsgCoreFirst && t <= kMsgCoreLast) rc = ProcessCoreMsg(m);
    else if (t >= kMsgRange1200First && t <= kMsgRange1200Last) rc = ProcessSrvMsg1200s(m);
    else if (t >= kMsgRange1300First && t <= kMsgRange1300Last) rc = FromTable(gSrvMsg1300s, kMsgRange1300First, m);
    else if (t == kMsgCreate && !gSrvMsg1400s[t - kMsgRange1400First])
        rc = gHooks.objectCreate ? gHooks.objectCreate(m) : kErrNoOperation;
    else if (t >= kMsgRange1400First && t <= kMsgRange1400Last) rc = FromTable(gSrvMsg1400s, kMsgRange1400First, m);
    else if (t >= kMsgRange2200First && t <= kMsgRange2200Last) rc = ProcessSrvMsg2200s(m);
    else if (t >= kMsgRange2400First && t <= kMsgRange2400Last) rc = ProcessSrvMsg2400s(m);
    else if (t >= kMsgRange2000First && t <= kMsgRange2000Last) rc = FromTable(gSrvMsg2000s, kMsgRange2000First, m);
    else rc = Unhandled();
    return rc;
}

void ProcessSrvMsg(const SrvMsg* m) {
    gSession.curSeq = m->seq;
    ReplyReset();
    uint32_t t = m->type;
    if (gHandling > kRequestNestMax && !EndsAWait(t)) {
        PostAnswer(kMsgAnswer, kErrNestTooDeep);
        return;
    }
    if (gHooks.requestBegin) gHooks.requestBegin(t);
    // Result items (property and method requests): their answer is built first.
    bool itemAnswer = t >= kMsgObjPropQuery && t <= kMsgObjOleProp;
    if (itemAnswer) ItemAnswerBegin();
    int32_t rc = kNoAnswer;
    char where[32];
    snprintf(where, sizeof where, "request %u", static_cast<unsigned>(t));
    if (!CatchNoMemory(where, [&] { rc = DispatchByType(m); })) {
        // Sizes the server gives are bounded before anything is allocated
        // from them; a request that still cannot be held is answered as out
        // of memory, with nothing it built, and the session goes on. The
        // waits it had opened were closed by their scopes on the way out.
        if (itemAnswer) ItemAnswerEnd(kNoAnswer);
        ReplyReset();
        PostAnswer(kMsgAnswer, kErrNoMemory);
        return;
    }
    if (itemAnswer && ItemAnswerEnd(rc)) return;
    if (ReplyPending()) PostBuiltMsg();
    else if (rc != kNoAnswer) PostAnswer(kMsgAnswer, rc);
}

// ---- Taking messages ---------------------------------------------------------------

// The acknowledgement a frame asks for goes out at once, never inside an
// outgoing bundle.
static void SendAckIfWanted(const FrameHead& h) {
    if (!(h.flags & kHdrAckWanted)) return;
    if (MsgBuildAnswer(&gSendBuf, kMsgInterim, 0, h.seq, gSession.swapped)) SendMsgBytes(gSendBuf.data, gSendBuf.used);
}

// What may come now: inside a nested exchange only its answer, before the
// accept only the accept, the refusal or the end. Anything else ends the session.
static bool MayComeNow(uint32_t type) {
    bool fits = gAwaitType ? type == gAwaitType
                           : gSession.state != kSessionOpening || type == kMsgSessionAccept ||
                                 type == kMsgSessionRefuse || type == kMsgEndSession;
    if (!fits) SessionFail(kErrBadMessage);
    return fits;
}

// A message that arrived whole, fitting its frame, whose copy or plain body
// cannot be held in memory: it is not run. A request is answered as out of
// memory and the session goes on; an exchange's awaited answer fails its
// exchange so; only the opening of the session cannot go on without it.
static void TakeUnheld(const FrameHead& h) {
    DebugLogWrite("NoMemory", "message %u of %u bytes cannot be held in memory", static_cast<unsigned>(h.type),
                  static_cast<unsigned>(h.length));
    MsgLogWrite(false, h.length, h.type);
    SendAckIfWanted(h);
    if (!MayComeNow(h.type)) return;
    if (gAwaitType) {
        gAwaitCode = kErrNoMemory;
        gAwaitDone = true;
        return;
    }
    if (gSession.state == kSessionOpening) {
        SessionFail(kErrFrameNoMemory);
        return;
    }
    gSession.curSeq = h.seq;
    ReplyReset();
    PostAnswer(kMsgAnswer, kErrNoMemory);
}

// Acknowledges, logs and dispatches one plain message (uncompressed when flagged).
static void TakeOne(const uint8_t* msg, const FrameHead& head, MsgBuf* unpack) {
    FrameHead h = head;
    if (h.flags & kHdrCompressed) {
        int rc = MsgUncompress(msg, head, gSession.swapped, unpack);
        if (rc == kErrNoMemory) {
            TakeUnheld(head);
            return;
        }
        if (rc != 0) {
            SessionFail(kErrBadMessage);
            return;
        }
        msg = unpack->data;
        FrameParseHead(msg, unpack->used, gSession.swapped, &h);
    }
    MsgLogWrite(false, h.length, h.type);
    SendAckIfWanted(h);
    if (!MayComeNow(h.type)) return;
    if (gAwaitType) {
        gAwaitOut->used = 0;
        if (!MsgBufAppend(gAwaitOut, msg, h.length)) {
            DebugLogWrite("NoMemory", "the answer %u of %u bytes cannot be held in memory",
                          static_cast<unsigned>(h.type), static_cast<unsigned>(h.length));
            gAwaitCode = kErrNoMemory;
        }
        gAwaitDone = true;
        return;
    }
    SrvMsg m = MakeSrvMsg(msg, h);
    ProcessSrvMsg(&m);
}

static uint32_t gNestDepth;      // requests taken inside a nested wait (SrvMsgNestBegin)

// Moves the received frame into work. A large frame changes buffers with the
// receive buffer instead of being copied; the receive buffer keeps at least
// the size the server was told, so work is first made as large. When that
// cannot be held the frame is copied, which needs only its own length.
// False when even that cannot be held.
static bool TakeReceivedFrame(MsgBuf* work) {
    if (gRecvBuf.used < kFrameSwapMin || !MsgBufReserve(work, gRecvBuf.size))
        return MsgBufAppend(work, gRecvBuf.data, gRecvBuf.used);
    std::swap(work->data, gRecvBuf.data);
    std::swap(work->size, gRecvBuf.size);
    work->used = gRecvBuf.used;
    gRecvBuf.used = 0;
    return true;
}

void FetchSrvMsg() {
    // The frame is copied out of the receive buffer so a nested exchange can
    // take the next one while this one is still being worked.
    // The answer of a nested exchange goes to buffers of its own: the request
    // (and the rest of its bundle) stays where its handler reads it. Requests
    // taken inside a nested wait have buffers of their own for the same reason.
    static MsgBuf awaitWork, awaitUnpack, nestWork, nestUnpack;
    // A wait answered beside a system loop (whose handler is still on the
    // stack below that loop) takes the next request nested as well.
    bool nested = gNestDepth || gHandling > 1;
    MsgBuf* work = gAwaitType ? &awaitWork : nested ? &nestWork : &gSrvMsgBuf;
    MsgBuf* unpack = gAwaitType ? &awaitUnpack : nested ? &nestUnpack : &gMemberBuf;
    work->used = 0;
    gSession.bytesRecv += gRecvBuf.used;
    gSession.msgsRecv++;
    if (!TakeReceivedFrame(work)) {
        // The frame fitted its buffer; the memory to work it is missing. Its
        // header is read where it arrived: a bundle's members, behind the
        // cipher and perhaps compressed, cannot be answered one by one.
        FrameHead h;
        if (FrameParseHead(gRecvBuf.data, gRecvBuf.used, gSession.swapped, &h) != 0) SessionFail(kErrBadMessage);
        else if (h.flags & kHdrBundle) SessionFail(kErrFrameNoMemory);
        else TakeUnheld(h);
        return;
    }
    uint8_t* msg = work->data;
    FrameHead h;
    if (FrameParseHead(msg, work->used, gSession.swapped, &h) != 0) {
        SessionFail(kErrBadMessage);
        return;
    }
    if (gCipherDecipher && h.length > kMsgHeadSize)
        gCipherDecipher(msg + kMsgHeadSize, h.length - kMsgHeadSize, gSession.key);
    if (!(h.flags & kHdrBundle)) {
        TakeOne(msg, h, unpack);
        return;
    }
    // Neither a nested exchange nor the opening of the session takes a bundle:
    // before the accept its members would be dropped unanswered and the
    // session's byte order guessed from a member count.
    if (gAwaitType || gSession.state == kSessionOpening) {
        SessionFail(kErrBadMessage);
        return;
    }
    static MsgBuf bundlePlain;
    if (h.flags & kHdrCompressed) {
        int rc = MsgUncompress(msg, h, gSession.swapped, &bundlePlain);
        if (rc != 0) {
            SessionFail(rc == kErrNoMemory ? kErrFrameNoMemory : kErrBadMessage);
            return;
        }
        msg = bundlePlain.data;
        FrameParseHead(msg, bundlePlain.used, gSession.swapped, &h);
    }
    MsgLogWrite(false, h.length, h.type);
    if (h.flags & kHdrAckWanted) {
        if (MsgBuildAnswer(&gSendBuf, kMsgInterim, 0, h.seq, gSession.swapped))
            SendMsgBytes(gSendBuf.data, gSendBuf.used);
    }
    // Check every member before running any: a bad bundle ends the session
    // before half of it has acted.
    BundleIter it;
    const uint8_t* member;
    FrameHead mh;
    int rc;
    BundleBegin(&it, msg, h, gSession.swapped);
    while ((rc = BundleNext(&it, &member, &mh)) == 1) {}
    if (rc != 0) {
        SessionFail(kErrBadMessage);
        return;
    }
    gInBundle = true;
    BundleOutBegin(h.seq);
    BundleBegin(&it, msg, h, gSession.swapped);
    while (gSession.state == kSessionRunning && BundleNext(&it, &member, &mh) == 1) TakeOne(member, mh, &gMemberBuf);
    gInBundle = false;
    BundleOutFlush();
}

static uint32_t gArrivalHolds;
static bool gArrivalHeld;

void SrvMsgHoldArrivals(bool hold) {
    if (hold) {
        gArrivalHolds++;
        return;
    }
    if (gArrivalHolds && --gArrivalHolds == 0 && gArrivalHeld) {
        gArrivalHeld = false;
        OnSrvMsgArrived(0);
    }
}

// A frame that comes while one of the client's menus runs its own loop (a
// pop-up, a drop-down or the menu bar's) is held there unless it is a poll or
// a timed wait (answered beside the menu's loop, above): another request would run on
// top of that loop, and a wait's loop on top of the menu's leaves the menu deaf
// to the click meant for it (the menu's choice reaches the event queue only
// once its loop has ended). The link is only watched meanwhile, so a lost
// server still ends the session and closes the menu; a timer, which the menu's
// loop dispatches, looks again until the menu has closed.
constexpr UINT_PTR kMenuLookTimerId = 7;
constexpr UINT kMenuLookMs = 50;
static bool gFrameHeldForMenu;

static bool InMenuLoop() {
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    return GetGUIThreadInfo(GetCurrentThreadId(), &info) && (info.flags & GUI_INMENUMODE);
}

// A menu's loop, or the loop of a window being moved or sized.
static bool InSystemLoop() {
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    return GetGUIThreadInfo(GetCurrentThreadId(), &info) && (info.flags & (GUI_INMENUMODE | GUI_INMOVESIZE));
}

static void LookAfterMenu(HWND wnd, UINT, UINT_PTR id, DWORD) {
    if (InMenuLoop()) return;
    KillTimer(wnd, id);
    PostMessageA(gMainWnd, kWmSrvMsg, 0, 0);
}

// A poll or a timed wait, alone in its frame: answered beside a menu's loop.
static bool FrameIsWaitForMenu() {
    FrameHead h;
    if (FrameParseHead(gRecvBuf.data, gRecvBuf.used, gSession.swapped, &h) != 0) return false;
    return !(h.flags & kHdrBundle) && (h.type == kMsgEventPoll || h.type == kMsgEventWaitTimed);
}

// Works the frame that arrived, one level deeper than the frames being
// worked; true when a nested wait inside its handler has made ready for the
// next frame already. The depth and the outer frame's release come back
// however the work ends.
static bool TakeArrivedFrame() {
    struct Level {
        bool outerReleased = gFrameReleased;
        Level() {
            gFrameReleased = false;
            gHandling++;
        }
        ~Level() {
            gHandling--;
            gFrameReleased = outerReleased;
        }
    } level;
    QOV_HOP_BEGIN();
    // A request may come inside a wait for a page's answer (the idle flush of
    // a batch after the client answered); a wait for events it starts must
    // still see the page's input, or the click it waits for is never fetched.
    bool request = !gAwaitType && gHooks.pageFetchOpen && gHooks.pageFetchRestore;
    bool fetchEarlier = true;
    if (request && !CatchNoMemory("opening the pages' input", [&] { fetchEarlier = gHooks.pageFetchOpen(); }))
        request = false;
    FetchSrvMsg();
    if (request) CatchNoMemory("closing the pages' input", [&] { gHooks.pageFetchRestore(fetchEarlier); });
    return gFrameReleased;   // read before the level's end restores it
}

void OnSrvMsgArrived(WPARAM) {
    bool outerTurn = PumpTakeOuterNotice();
    if (gArrivalHolds && !gAwaitType) {
        // The receive thread reads no further frame until this one is taken.
        gArrivalHeld = true;
        return;
    }
    bool inMenu = !gAwaitType && !outerTurn && InMenuLoop();
    if (inMenu) SetTimer(gMainWnd, kMenuLookTimerId, kMenuLookMs, GuardedTimerProc<LookAfterMenu>);
    int result;
    if (gFrameHeldForMenu) {
        // Taken while a menu ran; the link is only watched until it closed.
        result = inMenu ? RecvFrameLook(true) : 0;
        if (result == 0) gFrameHeldForMenu = false;
    } else {
        result = RecvFrameLook(false);
        if (result == 0 && inMenu && !FrameIsWaitForMenu()) {
            gFrameHeldForMenu = true;
            return;
        }
    }
    if (result < 0) return;
    if (result != 0) {
        SessionFail(result);
        if (gAwaitType) gAwaitDone = true;
        return;
    }
    bool released = TakeArrivedFrame();
    // A nested exchange makes ready for its answer itself; otherwise the frame
    // is done, unless a nested wait inside its handler has made ready for the
    // next one already.
    if (gAwaitType || released) return;
    if (gSession.state == kSessionRunning || gSession.state == kSessionOpening) RecvNextFrame();
}

uint32_t SrvMsgNestBegin() {
    // Not inside a request's handler, inside an exchange or a bundle (whose
    // answers go out together at its end): the wait takes no requests.
    if (gSession.state != kSessionRunning || gAwaitType || gInBundle || gHandling == 0)
        return kNoNest;
    if (!gFrameReleased) {
        gFrameReleased = true;
        RecvNextFrame();
    }
    gNestDepth++;
    return gSession.curSeq;
}

uint32_t SrvMsgNestDepth() { return gNestDepth; }

void SrvMsgNestEnd(uint32_t state) {
    if (state == kNoNest) return;
    gNestDepth--;
    // The request that waited answers with its own sequence.
    gSession.curSeq = state;
    ReplyReset();
}

bool SrvMsgExchangeOpen() { return gAwaitType != 0; }

int AwaitSrvMsg(uint32_t type, MsgBuf* out) {
    if (gAwaitType) return kErrBadMessage;   // exchanges do not nest
    // The exchange closes however its wait ends.
    struct Exchange {
        Exchange(uint32_t type, MsgBuf* out) {
            gAwaitType = type;
            gAwaitOut = out;
            gAwaitDone = false;
            gAwaitCode = 0;
        }
        ~Exchange() {
            gAwaitType = 0;
            gAwaitOut = nullptr;
        }
    } exchange(type, out);
    RecvNextFrame();
    while (!gAwaitDone && gSession.state == kSessionRunning) PumpOnce(true);
    if (gAwaitCode) return gAwaitCode;
    return gAwaitDone && gSession.state == kSessionRunning ? 0 : (gSession.lastError ? gSession.lastError : kErrNotConnected);
}

bool SessionInBundle() { return gInBundle; }
