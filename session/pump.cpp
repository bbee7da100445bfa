// pump.cpp - the message-pump turn of the main loop and of nested waits, and
// the plain hidden main window that carries message 1174 until the object
// model builds its own.
#include "session/session.h"

#include "session/log.h"
#include "session/nomem.h"

HWND gMainWnd;


// The most window messages one turn takes: a source that queues a new message
// for every one handled (a web page that answers each fetch of its events with
// another event and another notice) must not hold the turn for ever, so the
// wait that pumps sees its time limit, its queued events and a closed link.
constexpr uint32_t kPumpTurnMessages = 64;
// How long a request the link holds waits for the queue's messages in the
// outermost turn: a page's notice may bring a fetch of its events that takes
// a second on a busy machine, and 64 of them kept the server waiting for
// half a minute. A queue of the person's input is taken far sooner.
constexpr DWORD kFrameWaitsForQueueMs = 50;

// How many pump turns are running, one inside another; and whether the
// outermost is dispatching a socket notice it took (asking the system whether
// its menu or move loop runs is a Wine server call, on every frame).
static int gPumpDepth;
static bool gOuterNotice;

int PumpDepth() { return gPumpDepth; }

// The facilities' steps in a turn (the pages' messages, the console, timers,
// accelerators) work on what a page or the server gave: one that cannot be
// held is dropped with its note, and the turn goes on.
static void RunPumpHook(const char* where, void (*hook)()) {
    if (hook) CatchNoMemory(where, hook);
}

void PumpIdleStep() { RunPumpHook("the idle work", gHooks.pumpIdle); }

void PumpAfterDispatchStep() { RunPumpHook("the work after a message", gHooks.pumpAfterDispatch); }

bool PumpTakeOuterNotice() {
    bool outer = gOuterNotice;
    gOuterNotice = false;
    return outer;
}

// Dispatches one message; true when it was a socket notice the outermost turn
// took (the main loop's or the opening's).
static bool PumpDispatch(MSG* m) {
    bool notice = false;
    bool taken = false;
    if (gHooks.pumpPreTranslate) CatchNoMemory("a message's translation", [&] { taken = gHooks.pumpPreTranslate(m); });
    if (!taken) {
        TranslateMessage(m);
        notice = gPumpDepth == 1 && m->message == kWmSrvMsg;
        gOuterNotice = notice;
        DispatchMessageA(m);
        gOuterNotice = false;
    }
    PumpAfterDispatchStep();
    return notice;
}

// Bytes on the link are taken as a notice's look would take them.
static void PumpTakeFrame() {
    gOuterNotice = true;
    OnSrvMsgArrived(0);
    gOuterNotice = false;
    PumpAfterDispatchStep();
}

// The link once the outermost turn has taken what the queue held, a turn's
// count of it, or kFrameWaitsForQueueMs of it: a frame no notice announces
// (read ahead, or whose notice a look took while the frame before was
// worked) is looked for here rather than only by the look waiting in the
// queue. A queue that never empties (a page whose notices come faster than
// the client takes them) kept the server's request behind it for half a
// minute or for ever.
static void PumpLookOwed() {
    if (RecvLookOwed()) PumpTakeFrame();
}

// Whether the outermost turn begun at start has held a request long enough.
static bool FrameWaitedForQueue(DWORD start) {
    return GetTickCount() - start >= kFrameWaitsForQueueMs && RecvLookOwed();
}

// Bytes read before the wait began: what the queue holds goes first, taken
// without waiting; the socket's notice among it takes the frame, else the
// look after the queue's turn does.
static void PumpQueueThenFrame() {
    MSG m;
    DWORD start = GetTickCount();
    for (uint32_t taken = 0; taken < kPumpTurnMessages && !FrameWaitedForQueue(start); taken++) {
        if (!PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) break;
        if (m.message == WM_QUIT) {
            PumpEndSession(0, m.wParam);
            return;
        }
        if (PumpDispatch(&m)) return;
    }
    PumpLookOwed();
}

// A waiting turn of the outermost loop ends with the socket notice it took,
// once its frame is answered: the loop then waits again at once. Looking for
// a further message first, which finds none as each request comes alone, costs
// a Wine server call, reads of the display's connection and a yield of the
// processor on every frame. What else is queued is taken by the next turn, in
// the same order.
static void PumpTurnMessages(bool wait) {
    MSG m = {};  // handed on (its wParam) even when GetMessage failed and filled nothing
    if (wait && gPumpDepth == 1) {
        LinkWait found = RecvWaitFrameOrMessage();
        if (found == kLinkWaitFrame) return PumpTakeFrame();
        if (found == kLinkWaitFrameBehindQueue) return PumpQueueThenFrame();
    }
    if (wait) {
        int got = GetMessageA(&m, nullptr, 0, 0);
        if (got <= 0) {
            PumpEndSession(got, m.wParam);
            return;
        }
    } else if (!PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
        return;
    }
    bool outer = wait && gPumpDepth == 1;
    DWORD start = GetTickCount();
    for (uint32_t taken = 1;; taken++) {
        if (PumpDispatch(&m) && wait) return;
        if (taken == kPumpTurnMessages || (outer && FrameWaitedForQueue(start))) break;
        if (!PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) return;
    }
    if (outer) PumpLookOwed();
}

void PumpEndSession(int got, WPARAM quitCode) {
    if (got < 0)
        DebugLogWrite("SessionEnd", "the message loop failed (GetMessage, error %lu): the session ends",
                      static_cast<unsigned long>(GetLastError()));
    else
        DebugLogWrite("SessionEnd", "the message loop got WM_QUIT (code %lu): the session ends",
                      static_cast<unsigned long>(quitCode));
    gSession.state = kSessionEnded;
}

void PumpOnce(bool wait) {
    PumpIdleStep();
    // The depth comes back however the turn ends.
    struct Turn {
        Turn() { gPumpDepth++; }
        ~Turn() { gPumpDepth--; }
    } turn;
    PumpTurnMessages(wait);
}

static LRESULT SessionWndProcWork(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == kWmSrvMsg) {
        OnSrvMsgArrived(wp);
        return 0;
    }
    return DefWindowProcA(wnd, msg, wp, lp);
}

HWND CreateSessionWindow(HINSTANCE inst) {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = GuardedWndProc<SessionWndProcWork>;
    wc.hInstance = inst;
    wc.lpszClassName = kMainWindowClass;
    RegisterClassA(&wc);
    return CreateWindowA(kMainWindowClass, kMainWindowTitle, WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr, nullptr, inst, nullptr);
}
