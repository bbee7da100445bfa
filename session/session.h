// session.h - the session core that the rest of the client calls: the link to
// the server, the dispatch of server messages and its tables, answers and
// results, the handle registry, method-call checks, server files and the cache,
// COM registration, the message pump, and the hooks later facilities fill.
#pragma once

#include <windows.h>

#include "session/nomemwin.h"
#include "session/proto/records.h"
#include "session/util/handles.h"

// ---- Session state ------------------------------------------------------------
enum SessionState { kSessionIdle, kSessionOpening, kSessionRunning, kSessionRefused, kSessionEnded };

constexpr UINT kWmSrvMsg = 1174;            // socket -> main window: something to read (or a look)
constexpr int32_t kNoAnswer = INT32_MIN;    // a handler that answered itself (or needs no answer)

struct Session {
    SessionState state;
    bool swapped;                 // the server's byte order is the opposite of ours
    bool orderKnown;              // set by the first received message
    bool compressOut;             // the accept allows compressed bodies
    bool opened;                  // the server accepted the session
    bool endReceived;             // the server ended the session with 1011
    int exitCode;                 // from message 1011
    int32_t lastError;            // Winsock number, kErrBadMessage or kErrNotConnected
    uint32_t curSeq;              // sequence of the request being answered
    uint8_t key[16];              // the cipher key (switch "key" or QOVCS_PUBLIC)
    char refuseText[512];
    uint32_t bytesSent, bytesRecv, msgsSent, msgsRecv;
};
extern Session gSession;
extern HWND gMainWnd;
extern MsgBuf gRecvBuf;       // the frame read from the link (20488 bytes at start, grown by 1058)
extern MsgBuf gSrvMsgBuf;     // the message being dispatched, copied and uncompressed
extern MsgBuf gSendBuf;       // answers are built here, never over the request

// ---- Link (link.cpp) -------------------------------------------------------------
// Reads the link settings, connects (with retries and, outside automation mode,
// the numbered fallback servers), opens the session. 0, or the error number.
int ServerConnect(const char* cmdLine, bool automation);
int ServerConnectOne(const char* host, int port, const char* localIp, const char* cmdLine);
void ServerDisconnect();
// Sends one whole message (compressed when allowed, enciphered) under the send
// lock; false and the session ends when the link fails.
bool SendMsgBytes(const uint8_t* msg, uint32_t len);
// The hidden main window: its class and title (another client finds it by them).
constexpr const char kMainWindowClass[] = "Qovwin";
constexpr const char kMainWindowTitle[] = "Qovtervex";
// The main thread is ready for the next frame: the next look that finds it
// whole takes it into gRecvBuf.
void RecvNextFrame();
// What the main loop's wait found (main thread): a window message or nothing
// to wait for (the queue is pumped as ever); bytes that came during the wait
// (a look takes them); or bytes that were there before it, which come behind
// what the queue holds (the queue is pumped without waiting, then a look
// takes them if no notice's look did).
enum LinkWait { kLinkWaitQueue, kLinkWaitFrame, kLinkWaitFrameBehindQueue };
LinkWait RecvWaitFrameOrMessage();
// The main thread is ready for a frame that no notice will announce: its
// bytes are read ahead, or a look took their notice while the frame before
// was worked.
bool RecvLookOwed();
// A look at the link at message 1174 (main thread): 0 when the next frame was
// taken into gRecvBuf; a negative number when there is none to take (not yet
// whole, or the main thread is not ready for it, when the socket is only
// watched for a close); else the link's failure, reported once. watchOnly:
// the socket is only watched even when the main thread is ready for a frame
// (what arrives is read ahead for a later look).
int RecvFrameLook(bool watchOnly = false);
// The text of the last error number.
const char* LastErrorText(int32_t code);
void SessionFail(int32_t code);

// ---- Dispatch (srvmsg.cpp) ---------------------------------------------------------
struct SrvMsg {
    const uint8_t* data;
    uint32_t length;
    uint32_t type;
    uint32_t seq;
    WireReader r;             // bounded, swap-aware field reads
};
typedef int32_t (*SrvMsgHandler)(const SrvMsg* msg);
// Range tables: later facilities put their handlers in these slots (index =
// type - first of the range). An empty slot is answered 1010 {21847}.
extern SrvMsgHandler gSrvMsg1200s[100];
extern SrvMsgHandler gSrvMsg1300s[100];
extern SrvMsgHandler gSrvMsg1400s[100];
extern SrvMsgHandler gSrvMsg2000s[1000];    // 2000-2999 apart from 2200s and 2400s
extern SrvMsgHandler gSrvMsg2200s[100];
extern SrvMsgHandler gSrvMsg2400s[100];
// Message 1174: a look at the link, and the frame it took dispatched.
void OnSrvMsgArrived(WPARAM);
// Holds the dispatch of arriving frames (nesting counts) while the main loop
// serves the page: a frame taken inside a page query would nest the server's
// wait inside the page's. The frame held meanwhile is dispatched when the
// last hold ends; an answer a nested exchange awaits is never held.
void SrvMsgHoldArrivals(bool hold);
// A hold as a scope: released however the work it covers ends.
struct SrvMsgArrivalHold {
    SrvMsgArrivalHold() { SrvMsgHoldArrivals(true); }
    ~SrvMsgArrivalHold() { SrvMsgHoldArrivals(false); }
    SrvMsgArrivalHold(const SrvMsgArrivalHold&) = delete;
    SrvMsgArrivalHold& operator=(const SrvMsgArrivalHold&) = delete;
};
// A wait inside a request's handler that must take further requests meanwhile
// (a modal window shown by the server and hidden by a later request): Begin
// makes ready for the next frame and returns what End needs to answer the waiting
// request with its own sequence; kNoNest when no requests can be taken (not
// inside a handler, inside an exchange or a bundle).
constexpr uint32_t kNoNest = 0xFFFFFFFFu;
uint32_t SrvMsgNestBegin();
void SrvMsgNestEnd(uint32_t state);
// Such a wait as a scope: it ends however the wait ends (a request that
// cannot be held unwinds through it), never by the happy path alone.
struct SrvMsgNest {
    uint32_t state;
    SrvMsgNest() : state(SrvMsgNestBegin()) {}
    ~SrvMsgNest() { SrvMsgNestEnd(state); }
    SrvMsgNest(const SrvMsgNest&) = delete;
    SrvMsgNest& operator=(const SrvMsgNest&) = delete;
    bool Taking() const { return state != kNoNest; }
};
// How many such waits are open, one inside another (0 outside them all).
uint32_t SrvMsgNestDepth();
// An event with by-reference arguments fired while the server waits for one
// (1105/1121): true while that wait is open and not answered and no request
// is being handled above it. AnswerWaitNow sends the next queued event as its
// answer; the sender then takes requests nested (SrvMsgNestBegin) until
// DeferredWaitArrived: the server waits or polls again, and the outer wait
// serves that request once the sender returned. No wait is answered twice.
bool SrvMsgEventWaitOpen();
bool SrvMsgAnswerWaitNow();
bool SrvMsgDeferredWaitArrived();
void FetchSrvMsg();
void ProcessSrvMsg(const SrvMsg* msg);
int32_t ProcessSrvMsg1200s(const SrvMsg* msg);
int32_t ProcessSrvMsg2200s(const SrvMsg* msg);
void SrvMsgInitTables();
// True while the members of a received bundle are worked through.
bool SessionInBundle();
// A nested exchange inside a handler: waits (pumping) for a message of the given
// type; it is copied into out. 0 or the session error.
int AwaitSrvMsg(uint32_t type, MsgBuf* out);
// True while an exchange waits for its answer (exchanges do not nest).
bool SrvMsgExchangeOpen();

// ---- Answers (answer.cpp) ------------------------------------------------------
void PostAnswer(uint32_t type, int32_t value);
void SetReplyInt(const SrvMsg* request, int32_t value, uint8_t kind);
void SetReplyText(const SrvMsg* request, const char* text);
void SetReplyBytes(const SrvMsg* request, const void* bytes, uint32_t n);
// 1154 with 32-bit words (Ovars), swapped for a byte-swapped server.
void SetReplyWords(const SrvMsg* request, const uint32_t* words, uint32_t count);
// Appends an item to the answer being built: to the result answer of the
// request being handled when it has one (ItemAnswerBegin), else to gSendBuf.
int AddEventItem(const EventItem* item);
// The property and method requests (2414-2417) answer 1102 {code} followed by
// the result items their handler appended: Begin before the handler builds the
// answer; End sends it with the handler's code when items were appended and
// the handler made no answer of its own (true: sent).
void ItemAnswerBegin();
bool ItemAnswerEnd(int32_t code);
void SendPrtJobAnswer(int32_t value, int32_t copies, int32_t pages, int32_t detail, const char* text);
void SendPrtName(uint32_t handle, const char* text);
// Sends gSendBuf as the current request's answer (joins the outgoing bundle
// while a received bundle is worked through).
void PostBuiltMsg();
bool ReplyPending();
void ReplyReset();
void BundleOutBegin(uint32_t seq);
void BundleOutFlush();
// Events: sends the next queued event as 1142; false when none is queued.
bool SendNextEvent();
// Destroyed objects: their Ovars, reported by 2420 as 1154.
extern uint32_t* gDestArray;
extern uint32_t gDestCount;
extern uint32_t gDestArraySize;
bool CheckClientDestCount();
void DestArrayAppend(uint32_t ovar);

// ---- Handle registry: session/util/handles.h ------------------------------------

// ---- Method calls (calls.cpp) ---------------------------------------------------
struct MethodDesc;
typedef const MethodDesc* (*MethodLookupFn)(uint32_t method, uint32_t serverVersion);
// Each object type registers the lookup of its method table.
void RegisterMethodTable(uint32_t objectType, MethodLookupFn lookup);
int CheckMethodCall(uint32_t objectType, const MethodCallRec* rec);
extern MethodCallRec gMethodCall;
extern PropChainRec gPropChain;
constexpr uint32_t kMethodVersionLimit = 32000;
constexpr uint32_t kMaxObjectType = 61;

// ---- Hooks the later facilities fill ---------------------------------------------
struct SessionHooks {
    bool (*runtimeStartup)();                        // common controls, fonts, OLE
    void (*objectSetupTables)();
    bool (*singleUseCheck)();                        // true: another client was brought forward
    HWND (*createMainWindow)(HINSTANCE inst);        // the hidden main window (must pass 1174 on)
    const char* (*automationRun)();                  // the command line, or null to end
    int32_t (*objectCreate)(const SrvMsg* msg);      // 1401
    int32_t (*objectOp)(const SrvMsg* msg);          // 2401-2420 when no slot is filled
    void (*requestBegin)(uint32_t type);             // before each request is dispatched
    bool (*eventTakeNext)(EventRecord* ev, EventItem* items, uint32_t* count);
    void (*eventWaitBegin)();                        // before the client waits for an event
    void (*eventPollFetch)();                        // a poll takes the input the pages hold
    // A request taken inside a wait for a page's answer is work of its own:
    // its waits may fetch the pages' events (open gives the state to restore).
    bool (*pageFetchOpen)();
    void (*pageFetchRestore)(bool earlier);
    int32_t (*sndLoad)(const char* name, uint32_t nameLen, uint32_t option);
    int32_t (*sndClose)(uint32_t handle);
    int32_t (*sndPlay)(uint32_t handle);
    int32_t (*infoRequest)(uint32_t code, const SrvMsg* msg, const char** text);  // kNoAnswer: not mine
    bool (*pumpPreTranslate)(MSG* m);                // accelerators, modeless dialogs
    void (*pumpIdle)();                              // console input, timers
    void (*pumpAfterDispatch)();                     // page messages in nested waits
    void (*cleanupRuntime)();
};
extern SessionHooks gHooks;
void PumpOnce(bool wait);
// How many pump turns run, one inside another (0 outside them all).
int PumpDepth();
// The facilities' steps of a turn, for a loop of its own (the print
// preview's): each runs under CatchNoMemory, as PumpOnce runs them.
void PumpIdleStep();
void PumpAfterDispatchStep();
// A message loop's end: got is GetMessage's result (0 for WM_QUIT, whose code
// is quitCode; -1 when it failed). The session ends with no error of its own,
// so the process ends with code 0: the debug log says why.
void PumpEndSession(int got, WPARAM quitCode);
// True, once, while the outermost pump turn (the main loop's or the opening's)
// dispatches a socket notice it took itself: no loop of the system's (a
// menu's, a window's move or size) can be running beneath that dispatch.
bool PumpTakeOuterNotice();
// The plain hidden main window that carries the socket's notices until the
// object model makes its own.
HWND CreateSessionWindow(HINSTANCE inst);

// ---- System libraries loaded on first use (syslib.cpp) ----------------------------
// The DLLs the program delay-loads (app/CMakeLists.txt). Their first call
// would end the process when the library cannot be loaded (no memory left for
// it), so a facility makes its library ready before it: SysLibNeed loads it
// once and keeps it, false (logged) when it cannot be loaded; the request is
// then refused with its no-memory code and the next one tries again.
enum SysLib { kSysLibComCtl, kSysLibComDlg, kSysLibSpool, kSysLibOle, kSysLibOleAut, kSysLibOlePro, kSysLibOleDlg,
              kSysLibShell, kSysLibMedia, kSysLibCount };
bool SysLibNeed(SysLib lib);
// Hands the libraries loaded here to the delay-load helper, and has it say in
// the debug log which library a call that nothing made ready could not load.
void SysLibInstall();

// ---- Server files and the cache (srvfile.cpp) -------------------------------------
// A file name beginning with '!' is a path of the client's own.
constexpr char kClientPathMark = '!';
constexpr int kErrFileNotRead = ERROR_FILE_NOT_FOUND;

struct SrvFileRec {
    char serverName[260];
    char localPath[MAX_PATH];
    bool temporary;               // a local copy to send back with PutSrvFile
};
int GetSrvFile(const char* name, uint8_t mode, uint8_t kind, uint16_t page, uint32_t number, uint8_t** data,
               uint32_t* size, uint32_t* pages);
int PrepSrvFileWrite(const char* name, SrvFileRec* rec);
int PutSrvFile(SrvFileRec* rec);
int WriteSrvFileLocal(const char* serverName, const char* localPath);
int CacheFetch(const char* name, uint8_t kind, uint8_t** data, uint32_t* size);
int CacheFetchResource(const char* name, uint8_t kind, uint16_t page, uint32_t number, uint8_t** data,
                       uint32_t* size);
void CacheFreeData(uint8_t* data);
int CacheInit();
int CacheClear();
void CacheShutdown();

// ---- COM registration (comreg.cpp) -------------------------------------------------
int RegisterComServer();
int UnregisterComServer();
