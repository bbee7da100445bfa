// link.cpp - the TCP link to the application server: connecting over IPv4 or
// IPv6 with retries and fallback servers, the frames read on the main thread
// at the socket's notices, the watch thread with the keep-alive and silence
// limit, the locked send path, and the last error's text.
#include <winsock2.h>
#include <ws2tcpip.h>

#include "session/hoptrace.h"
#include "session/session.h"

#include <cstdio>
#include <cstring>

#include "session/config.h"
#include "session/log.h"
#include "session/settings.h"
#include "session/sockwait.h"
#include "session/util/mem.h"

Session gSession;
MsgBuf gRecvBuf;

static SOCKET gSock = INVALID_SOCKET;
static HANDLE gWatchEvent;           // wakes the watch thread at the session's end
static HANDLE gWatchThread;
static CRITICAL_SECTION gSendLock;
static bool gSendLockReady;          // also: Winsock is started
static volatile LONG gStopping;
static DWORD gLastSendTick;            // for the keep-alive, under gSendLock

constexpr int kErrTimedOut = 10060;    // the server stayed silent past QOVCS_RECVTIMEOUT
constexpr int kErrConnRefused = 10061; // nothing listens on the server's port
constexpr int kErrHostNotFound = 11001;
constexpr int kMaxFallbackServers = 4;
// The watch thread sleeps until the keep-alive or the silence limit is next
// due; once the limit has passed it looks again this often until the main
// thread has taken its look.
constexpr DWORD kWatchMs = 200;
// The most bytes looked at in one go when skipping a run of keep-alive words.
constexpr uint32_t kKeepAliveRunBytes = 16384;
// The most bytes read ahead while the main thread works on a frame (see
// WatchHeldLink).
constexpr uint32_t kReadAheadMax = 65536;
// The most reads of one look while the main thread works on a frame, so a
// flood does not hold up the main thread.
constexpr int kHeldReadsPerLook = 16;
// A frame's body still arriving is read on in the same look while its bytes
// keep coming: a pause longer than kBodyPauseMs hands the turn back to the
// message loop, and so does a look that has read for kBodyLookMs, so a large
// frame costs no turn per piece and a slow one cannot hold up the windows.
constexpr DWORD kBodyPauseMs = 20;
constexpr DWORD kBodyLookMs = 250;
// How long the end of a session waits for the watch thread to finish.
constexpr DWORD kWatchThreadEndMs = 5000;

// ---- IPv6 entry points, loaded from ws2_32.dll at run time ----------------------
// They are absent from the oldest Winsock; loading them by name keeps the
// program starting there and falls back to gethostbyname for IPv4.
typedef int(WSAAPI* GetAddrInfoFn)(const char*, const char*, const ADDRINFOA*, ADDRINFOA**);
typedef void(WSAAPI* FreeAddrInfoFn)(ADDRINFOA*);
typedef int(WSAAPI* InetPtonFn)(int, const char*, void*);
typedef int(WSAAPI* AddrToStringFn)(LPSOCKADDR, DWORD, LPWSAPROTOCOL_INFOA, LPSTR, LPDWORD);
static GetAddrInfoFn gGetAddrInfo;
static FreeAddrInfoFn gFreeAddrInfo;
static InetPtonFn gInetPton;
static AddrToStringFn gAddrToString;

// GetProcAddress's type says nothing of the entry's real one: the address goes
// through the plain function pointer type on its way to the named type.
template <typename Fn>
static Fn LoadEntry(HMODULE module, const char* name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

static void LoadIpv6Entries() {
    HMODULE ws = GetModuleHandleA("ws2_32.dll");
    if (!ws) ws = LoadLibraryA("ws2_32.dll");
    if (!ws) return;
    gGetAddrInfo = LoadEntry<GetAddrInfoFn>(ws, "getaddrinfo");
    gFreeAddrInfo = LoadEntry<FreeAddrInfoFn>(ws, "freeaddrinfo");
    gInetPton = LoadEntry<InetPtonFn>(ws, "inet_pton");
    gAddrToString = LoadEntry<AddrToStringFn>(ws, "WSAAddressToStringA");
}

const char* LastErrorText(int32_t code) {
    static char text[300];
    switch (code) {
    case kErrBadMessage: return "99990: a message from the server does not fit its frame";
    case kErrFrameNoMemory: return "8: a message from the server cannot be held in memory";
    case kErrNotConnected: return "10057: the connection to the server is closed";
    case kErrTimedOut: return "10060: the server did not answer in time";
    case kErrConnRefused: return "10061: the server refused the connection";
    case kErrHostNotFound: return "11001: the server's host name is not known";
    default: break;
    }
    char sys[256] = "";
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, static_cast<DWORD>(code), 0,
                   sys, sizeof sys, nullptr);
    size_t n = strlen(sys);
    while (n && (sys[n - 1] == '\n' || sys[n - 1] == '\r')) sys[--n] = 0;
    snprintf(text, sizeof text, "%d: %s", code, n ? sys : "network error");
    return text;
}

void SessionFail(int32_t code) {
    if (gSession.state == kSessionEnded) return;
    gSession.lastError = code;
    DebugLogWrite("SessionError", "%s", LastErrorText(code));
    if (gSession.state != kSessionRefused) gSession.state = kSessionEnded;
}

// ---- Sending ----------------------------------------------------------------------

static DWORD SilenceLimitMs();

// A send that found no room for the silence limit (the watch thread's or the
// main thread's): the server has stopped reading, and the link is given up.
static volatile LONG gSendStalled;

// The socket does not block (see ServerConnectOne): when its send buffer is
// full the rest goes out as a pending send, which waits for room at most the
// silence limit for each kSendWaitBytes taken, so a server that reads slowly
// keeps the link and one that has stopped reading ends it (10060) as a silent
// one does. Holding the send lock that long holds up only the other sender,
// which then finds the link given up.
constexpr uint32_t kSendWaitBytes = 65536;

static bool SendRaw(const uint8_t* p, uint32_t n) {
    while (n) {
        if (gSendStalled) {
            WSASetLastError(kErrTimedOut);
            return false;
        }
        int k = send(gSock, reinterpret_cast<const char*>(p), static_cast<int>(n), 0);
        if (k == SOCKET_ERROR && WSAGetLastError() == WSAEWOULDBLOCK) {
            uint32_t part = n < kSendWaitBytes ? n : kSendWaitBytes;
            k = SendWithin(gSock, reinterpret_cast<const char*>(p), static_cast<int>(part), SilenceLimitMs());
            if (k == kSockWaitTimedOut) {
                InterlockedExchange(&gSendStalled, 1);
                continue;
            }
        }
        if (k <= 0) return false;
        p += k;
        n -= static_cast<uint32_t>(k);
    }
    return true;
}

bool SendMsgBytes(const uint8_t* msg, uint32_t len) {
    QOV_HOP(kHopAnswerOut);
    if (gSock == INVALID_SOCKET) {
        SessionFail(kErrNotConnected);
        return false;
    }
    static MsgBuf packed;
    const uint8_t* out = msg;
    uint32_t outLen = len;
    if (gSession.compressOut && MsgCompress(msg, len, gSession.swapped, &packed)) {
        out = packed.data;
        outLen = packed.used;
    }
    if (gCipherEncipher && outLen > kMsgHeadSize) {
        // The cipher works in place: never on the caller's buffer.
        if (out == msg) {
            packed.used = 0;
            if (!MsgBufAppend(&packed, msg, len)) return false;
            out = packed.data;
        }
        gCipherEncipher(const_cast<uint8_t*>(out) + kMsgHeadSize, outLen - kMsgHeadSize, gSession.key);
    }
    EnterCriticalSection(&gSendLock);
    bool ok = SendRaw(out, outLen);
    gLastSendTick = GetTickCount();
    LeaveCriticalSection(&gSendLock);
    if (!ok) {
        SessionFail(WSAGetLastError() ? WSAGetLastError() : kErrNotConnected);
        return false;
    }
    gSession.bytesSent += outLen;
    gSession.msgsSent++;
    MsgLogWrite(true, len, WireGetU32(msg + 4, gSession.swapped));
    return true;
}

// The keep-alive (the watch thread's): a lone word when nothing was sent for
// the configured number of seconds.
static void SendKeepAliveIfDue() {
    if (gClientConfig.keepAlive <= 0 || gSock == INVALID_SOCKET) return;
    EnterCriticalSection(&gSendLock);
    DWORD idle = GetTickCount() - gLastSendTick;
    if (idle >= static_cast<DWORD>(gClientConfig.keepAlive) * 1000u) {
        uint8_t word[4] = {0xFF, 0xFF, 0xFF, 0xFF};
        SendRaw(word, 4);
        gLastSendTick = GetTickCount();
    }
    LeaveCriticalSection(&gSendLock);
}

// ---- Receiving --------------------------------------------------------------------
// The main thread reads the socket itself. The socket tells the main window
// when it has something to read (WSAAsyncSelect posts message 1174 for FD_READ
// and FD_CLOSE), so a frame is read and dispatched in the same turn of
// whichever message loop runs: the main loop, a nested wait, a modal window's
// or a tracked menu's loop. The main loop's own wait keeps a read pending
// instead, which a frame ends without a message to take first. Frames are
// assembled from what has arrived and never waited for: a frame that arrives
// in pieces is finished by the later notices. The link watch thread only keeps
// the link alive and posts a look when the server has been silent past the
// limit.

// What a look at the link found when no frame is to be taken (a positive
// number is the link's failure).
constexpr int kRecvPending = -1;

// Bytes read ahead, taken before the socket's (the main thread's alone). Its
// head is always at a frame boundary while the main thread works on a frame.
static uint8_t gAhead[kReadAheadMax];
static uint32_t gAheadAt, gAheadEnd;

static uint32_t AheadLeft() { return gAheadEnd - gAheadAt; }

// The frame being assembled in gRecvBuf: its header (kept apart until it is
// whole, so the keep-alive words before it can be dropped), the bytes of it
// that have arrived, and its length once the header is whole.
static uint8_t gHead[kMsgHeadSize];
static uint32_t gFrameHave, gFrameLen;

// True from the moment the main thread is ready for the next frame until that
// frame (or the link's failure) has been taken: only then is a frame read into
// the receive buffer, never over one still being taken. Main thread only.
static bool gRecvReleased;
// The link's failure was reported: later looks take nothing. Main thread only.
static bool gLinkFailed;
// A look posted by the watch thread is waiting in the queue (no second one).
static volatile LONG gLookPosted;
// The socket posts a notice when bytes arrive, and again after each read that
// leaves some behind; a look that read nothing from the socket may have taken
// the notice of bytes still there, so the next wait for a frame must look
// again by itself. gSockRead: this look read from the socket. Main thread only.
static bool gSockRead, gNoticeOwed;
// The outermost wait's pending read took bytes from the socket for the next look.
static bool gWaitRead;

// Since when the server has been silent, for QOVCS_RECVTIMEOUT: reset by every
// byte that arrives, and when the main thread begins to wait for a frame or
// takes one. Written by the main thread, read by the watch thread.
static volatile DWORD gSilenceFrom;

static DWORD SilenceLimitMs() {
    return static_cast<DWORD>(gClientConfig.recvTimeout > 0 ? gClientConfig.recvTimeout : kDefaultRecvTimeout) * 1000u;
}

static bool SilenceTooLong() { return GetTickCount() - gSilenceFrom >= SilenceLimitMs(); }

// How long the watch thread may sleep: until the keep-alive is due or the
// silence limit is reached, whichever comes first. Both only move later while
// it sleeps (a send, a received byte), so waking then and looking again
// misses neither; one already passed is looked at again after kWatchMs.
static DWORD WatchSleepMs() {
    DWORD now = GetTickCount();
    DWORD silent = now - gSilenceFrom, limit = SilenceLimitMs();
    DWORD next = silent < limit ? limit - silent : kWatchMs;
    if (gClientConfig.keepAlive > 0) {
        EnterCriticalSection(&gSendLock);
        DWORD idle = now - gLastSendTick;
        LeaveCriticalSection(&gSendLock);
        DWORD every = static_cast<DWORD>(gClientConfig.keepAlive) * 1000u;
        DWORD due = idle < every ? every - idle : kWatchMs;
        if (due < next) next = due;
    }
    return next;
}

// Drops the keep-alive words at every frame boundary of the bytes read ahead
// (its head is one): whole frames move down over them in one pass, so the
// words behind a waiting request take no room either. Stops at the first
// frame not yet whole, or whose length does not fit, leaving it as it came.
static void DropAheadKeepAlives() {
    uint32_t rd = gAheadAt, wr = gAheadAt;
    for (;;) {
        while (gAheadEnd - rd >= 4 && WireGetU32(gAhead + rd, false) == kKeepAliveWord) rd += 4;
        if (gAheadEnd - rd < kMsgHeadSize) break;
        uint32_t len = WireGetU32(gAhead + rd, gSession.swapped) & kHdrLenMask;
        if (len < kMsgHeadSize || len > gAheadEnd - rd) break;
        if (wr != rd) memmove(gAhead + wr, gAhead + rd, len);
        wr += len;
        rd += len;
    }
    if (wr != rd) memmove(gAhead + wr, gAhead + rd, gAheadEnd - rd);
    gAheadEnd = wr + (gAheadEnd - rd);
    if (gAheadAt == gAheadEnd) gAheadAt = gAheadEnd = 0;
}

// Reads what has arrived, up to n bytes, through the read-ahead buffer: one
// call takes all that is there (a whole frame when it has arrived whole, and
// what follows it), and later reads are served from the buffer. 0 with
// *got >= 1; kRecvPending when nothing has arrived; or the error number
// (10057 when the server closed).
static int RecvSome(uint8_t* p, uint32_t n, uint32_t* got) {
    if (!AheadLeft()) {
        gAheadAt = gAheadEnd = 0;
        gSockRead = true;
        int k = recv(gSock, reinterpret_cast<char*>(gAhead), static_cast<int>(kReadAheadMax), 0);
        if (k == 0) return kErrNotConnected;
        if (k == SOCKET_ERROR) {
            int err = WSAGetLastError();
            return err == WSAEWOULDBLOCK ? kRecvPending : err;
        }
        gSilenceFrom = GetTickCount();
        gAheadEnd = static_cast<uint32_t>(k);
    }
    uint32_t take = AheadLeft() < n ? AheadLeft() : n;
    memcpy(p, gAhead + gAheadAt, take);
    gAheadAt += take;
    if (gAheadAt == gAheadEnd) gAheadAt = gAheadEnd = 0;
    *got = take;
    return 0;
}

// Takes the keep-alive words that have already arrived in whole runs: one look
// and one read for many words rather than a notice and a read for each, so a
// flood of them cannot hold up the frames behind it. Stops at the first byte
// that is not part of a keep-alive word; takes nothing else.
static void SkipKeepAliveRun() {
    static uint8_t run[kKeepAliveRunBytes];
    DropAheadKeepAlives();
    if (AheadLeft()) return;
    for (;;) {
        u_long avail = 0;
        if (ioctlsocket(gSock, FIONREAD, &avail) != 0 || avail < 4) return;
        uint32_t want = avail < kKeepAliveRunBytes ? static_cast<uint32_t>(avail) : kKeepAliveRunBytes;
        int k = recv(gSock, reinterpret_cast<char*>(run), static_cast<int>(want & ~3u), MSG_PEEK);
        if (k < 4) return;
        uint32_t words = 0;
        while ((words + 1) * 4 <= static_cast<uint32_t>(k) && WireGetU32(run + words * 4, false) == kKeepAliveWord)
            words++;
        if (!words) return;
        // The words were peeked: they are there, so the reads take them at once.
        gSockRead = true;
        for (uint32_t left = words * 4; left;) {
            int got = recv(gSock, reinterpret_cast<char*>(run), static_cast<int>(left), 0);
            if (got <= 0) return;
            left -= static_cast<uint32_t>(got);
        }
        gSilenceFrom = GetTickCount();
        if (words * 4 < static_cast<uint32_t>(k)) return;
    }
}

// Goes on with the frame being assembled in gRecvBuf from what has arrived;
// the server's own keep-alive words before a frame are skipped. The header
// comes in one read when it has arrived whole; the bytes read past a lone
// keep-alive word are kept as the start of what follows it. 0 when the frame
// is whole, kRecvPending when more must arrive, else the failure: before the
// first byte of a frame the link's own (10057 when the server closed); once a
// frame has begun, any failure inside it means the frame does not fit: 99990.
// A keep-alive word at the head of the header being read is dropped (true);
// a run of them behind it goes with it.
static bool DropHeadKeepAlive() {
    if (gFrameHave < 4 || WireGetU32(gHead, false) != kKeepAliveWord) return false;
    memmove(gHead, gHead + 4, gFrameHave - 4);
    gFrameHave -= 4;
    if (!gFrameHave) SkipKeepAliveRun();
    return true;
}

// Reads the rest of the frame's body straight into the receive buffer (nothing
// is read ahead of it: the request names only the frame's own bytes). 0 with
// *got >= 1, kRecvPending when nothing arrived within the pause, or the error.
static int RecvBodyDirect(uint8_t* p, uint32_t n, uint32_t* got, DWORD lookStart) {
    gSockRead = true;
    int k = recv(gSock, reinterpret_cast<char*>(p), static_cast<int>(n), 0);
    if (k == SOCKET_ERROR && WSAGetLastError() == WSAEWOULDBLOCK) {
        if (GetTickCount() - lookStart >= kBodyLookMs) return kRecvPending;
        k = RecvWithin(gSock, reinterpret_cast<char*>(p), static_cast<int>(n), kBodyPauseMs);
        if (k == kSockWaitTimedOut) return kRecvPending;
    }
    if (k == SOCKET_ERROR) return WSAGetLastError();
    if (k == 0) return kErrNotConnected;
    gSilenceFrom = GetTickCount();
    *got = static_cast<uint32_t>(k);
    return 0;
}

static int RecvFramePart() {
    const DWORD lookStart = GetTickCount();
    for (;;) {
        uint32_t got;
        if (gFrameHave < kMsgHeadSize) {
            if (DropHeadKeepAlive()) continue;
            int rc = RecvSome(gHead + gFrameHave, kMsgHeadSize - gFrameHave, &got);
            if (rc) return rc == kRecvPending || !gFrameHave ? rc : kErrBadMessage;
            gFrameHave += got;
            if (gFrameHave < kMsgHeadSize || DropHeadKeepAlive()) continue;
            if (!gSession.orderKnown) {
                int order = FrameDetectOrder(gHead, kMsgHeadSize);
                gSession.swapped = order == 1;
                gSession.orderKnown = true;
            }
            if (FrameCheckWord(WireGetU32(gHead, gSession.swapped), gRecvBuf.size, &gFrameLen) != 0)
                return kErrBadMessage;
            memcpy(gRecvBuf.data, gHead, kMsgHeadSize);
        }
        if (gFrameHave < gFrameLen) {
            uint8_t* at = gRecvBuf.data + gFrameHave;
            uint32_t left = gFrameLen - gFrameHave;
            int rc = AheadLeft() ? RecvSome(at, left, &got) : RecvBodyDirect(at, left, &got, lookStart);
            if (rc) return rc == kRecvPending ? rc : kErrBadMessage;
            gFrameHave += got;
            continue;
        }
        gRecvBuf.used = gFrameLen;
        gFrameHave = gFrameLen = 0;
        return 0;
    }
}

// While the main thread works on a frame (or waits for an event in 1105 or
// 1121) no frame is taken, but the socket is still watched at every notice: a
// server that closed the connection, or a link that failed, ends the session
// at once (10057 for a close) instead of leaving the client deaf until the
// wait ends. Winsock (and Wine's) tells of a close only once the bytes before
// it are read, so what arrives meanwhile is read ahead, up to kReadAheadMax
// bytes, and taken as frames once the main thread is ready for them;
// keep-alive words at the frame boundary are dropped there. 0 while all is well.
static int WatchHeldLink() {
    for (int reads = 0; reads < kHeldReadsPerLook; reads++) {
        DropAheadKeepAlives();
        if (gAheadAt) {
            memmove(gAhead, gAhead + gAheadAt, AheadLeft());
            gAheadEnd -= gAheadAt;
            gAheadAt = 0;
        }
        // Full: the rest waits in the socket, and the close behind it with it.
        if (gAheadEnd == kReadAheadMax) return 0;
        // The socket does not block: a read that finds nothing ends the look.
        gSockRead = true;
        int k = recv(gSock, reinterpret_cast<char*>(gAhead + gAheadEnd), static_cast<int>(kReadAheadMax - gAheadEnd), 0);
        if (k == 0) return kErrNotConnected;
        if (k == SOCKET_ERROR) {
            int err = WSAGetLastError();
            return err == WSAEWOULDBLOCK ? 0 : err;
        }
        gSilenceFrom = GetTickCount();
        gAheadEnd += static_cast<uint32_t>(k);
    }
    return 0;
}

// One look: while the main thread works on a frame the socket is watched;
// when it is ready for the next one, the frame goes on from what has arrived.
// 0 when the frame was taken, kRecvPending, or the link's failure.
static int LookAtLink(bool watchOnly) {
    if (gSendStalled) return kErrTimedOut;
    if (!gRecvReleased || watchOnly) {
        int rc = WatchHeldLink();
        // The silence limit runs while the main thread works too: a server
        // that neither sends nor keeps the link alive for that long is lost.
        if (!rc && SilenceTooLong()) rc = kErrTimedOut;
        return rc ? rc : kRecvPending;
    }
    int rc = RecvFramePart();
    // A frame that stops arriving half-way is found out by the limit too.
    if (rc == kRecvPending && SilenceTooLong()) rc = gFrameHave ? kErrBadMessage : kErrTimedOut;
    if (rc == kRecvPending) return rc;
    gRecvReleased = false;
    gSilenceFrom = GetTickCount();
    return rc;
}

int RecvFrameLook(bool watchOnly) {
    if (gSock == INVALID_SOCKET || gLinkFailed) return kRecvPending;
    InterlockedExchange(&gLookPosted, 0);
    gSockRead = gWaitRead;
    gWaitRead = false;
    int rc = LookAtLink(watchOnly);
    gNoticeOwed = !gSockRead;
    if (rc > 0) gLinkFailed = true;
    return rc;
}

// The outermost wait for a frame: a read of the link is kept pending while
// the main thread waits for it or for a window message, so a frame that comes
// ends the wait itself, in one wait of the thread, instead of through a
// notice that has to be taken from the queue before the socket is read. When
// the wait does not apply (a look owed, the link gone) the queue is pumped as
// ever.
LinkWait RecvWaitFrameOrMessage() {
    if (!gRecvReleased || gNoticeOwed || gSock == INVALID_SOCKET || gLinkFailed) return kLinkWaitQueue;
    if (AheadLeft()) return kLinkWaitFrameBehindQueue;
    // Starting the read clears the event; its end sets it.
    static WSAEVENT done = WSACreateEvent();
    if (done == WSA_INVALID_EVENT) return kLinkWaitQueue;
    gAheadAt = gAheadEnd = 0;
    WSABUF buf = {static_cast<ULONG>(kReadAheadMax), reinterpret_cast<char*>(gAhead)};
    WSAOVERLAPPED ov = {};
    ov.hEvent = done;
    DWORD got = 0, flags = 0;
    bool waited = false;
    if (WSARecv(gSock, &buf, 1, &got, &flags, &ov, nullptr) != 0) {
        if (WSAGetLastError() != WSA_IO_PENDING) return kLinkWaitQueue;
        waited = true;
        // A window message first: the read is called back; bytes it took all
        // the same are kept below.
        if (MsgWaitForMultipleObjectsEx(1, &done, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE) != WAIT_OBJECT_0)
            CancelIoEx(reinterpret_cast<HANDLE>(gSock), &ov);
        if (!WSAGetOverlappedResult(gSock, &ov, &got, TRUE, &flags)) return kLinkWaitQueue;
    }
    // The link's end (nothing read) is found by the look the socket posts.
    if (got == 0) return kLinkWaitQueue;
    gAheadEnd = static_cast<uint32_t>(got);
    gSilenceFrom = GetTickCount();
    gWaitRead = true;
    // Bytes that were there before the wait came while the thread worked,
    // after what it may have queued meanwhile, which goes first. No look is
    // posted for them: the socket's notice, when it comes, is that look, and
    // a second one would find nothing and wake a later wait for nothing.
    return waited ? kLinkWaitFrame : kLinkWaitFrameBehindQueue;
}

bool RecvLookOwed() {
    return gRecvReleased && (AheadLeft() || gNoticeOwed) && gSock != INVALID_SOCKET && !gLinkFailed;
}

void RecvNextFrame() {
    if (gRecvReleased || gSock == INVALID_SOCKET || gLinkFailed) return;
    gRecvReleased = true;
    // The silence limit counts from the start of the wait for a frame.
    if (!gFrameHave && !AheadLeft()) gSilenceFrom = GetTickCount();
    // Bytes read ahead meanwhile, and bytes whose notice a look took without
    // reading the socket, bring no notice of their own: a look is posted.
    if (AheadLeft() || gNoticeOwed) PostMessageA(gMainWnd, kWmSrvMsg, 0, 0);
}

// The link watch thread: sends the keep-alive word when one is due (also while
// the main thread is busy) and, once the server has been silent past the
// limit, posts a look so the main thread finds out even with no notice from
// the socket. Touches no received byte.
static DWORD LinkWatchProc(LPVOID) {
    for (;;) {
        WaitForSingleObject(gWatchEvent, WatchSleepMs());
        if (gStopping) break;
        SendKeepAliveIfDue();
        // A keep-alive that found no room gives the link up: the main thread
        // is told as it is of a silence past the limit.
        bool lost = gSendStalled || SilenceTooLong();
        if (lost && !InterlockedExchange(&gLookPosted, 1)) PostMessageA(gMainWnd, kWmSrvMsg, 0, 0);
    }
    return 0;
}

// ---- Connecting -------------------------------------------------------------------

static bool ResolveAndConnect(const char* host, int port, const char* localIp, SOCKET* out) {
    bool wantV6 = gClientConfig.ipv6 || strchr(host, ':') != nullptr;
    char portText[16];
    snprintf(portText, sizeof portText, "%d", port);
    if (gGetAddrInfo && gFreeAddrInfo) {
        ADDRINFOA hints = {};
        hints.ai_family = wantV6 ? AF_UNSPEC : AF_INET;
        hints.ai_socktype = SOCK_STREAM;
        hints.ai_protocol = IPPROTO_TCP;
        ADDRINFOA* list = nullptr;
        if (gGetAddrInfo(host, portText, &hints, &list) != 0 || !list) {
            gSession.lastError = kErrHostNotFound;
            return false;
        }
        bool ok = false;
        for (ADDRINFOA* a = list; a && !ok; a = a->ai_next) {
            SOCKET s = socket(a->ai_family, a->ai_socktype, a->ai_protocol);
            if (s == INVALID_SOCKET) continue;
            if (localIp && *localIp) {
                // QOVCS_LOCALIP chooses the interface the link leaves from.
                sockaddr_storage local = {};
                local.ss_family = static_cast<ADDRESS_FAMILY>(a->ai_family);
                void* at = a->ai_family == AF_INET6 ? static_cast<void*>(&reinterpret_cast<sockaddr_in6*>(&local)->sin6_addr)
                                                    : static_cast<void*>(&reinterpret_cast<sockaddr_in*>(&local)->sin_addr);
                if (gInetPton && gInetPton(a->ai_family, localIp, at) == 1)
                    bind(s, reinterpret_cast<sockaddr*>(&local), static_cast<int>(a->ai_addrlen));
            }
            char addrText[64] = "";
            DWORD addrLen = sizeof addrText;
            if (gAddrToString) gAddrToString(a->ai_addr, static_cast<DWORD>(a->ai_addrlen), nullptr, addrText, &addrLen);
            DebugLogWrite("SERVER ADDRESS", "%s", addrText);
            if (connect(s, a->ai_addr, static_cast<int>(a->ai_addrlen)) == 0) {
                *out = s;
                ok = true;
            } else {
                gSession.lastError = WSAGetLastError();
                closesocket(s);
            }
        }
        gFreeAddrInfo(list);
        return ok;
    }
    // IPv4 only: the oldest Winsock.
    sockaddr_in sa = {};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(static_cast<u_short>(port));
    sa.sin_addr.s_addr = inet_addr(host);
    if (sa.sin_addr.s_addr == INADDR_NONE) {
        hostent* he = gethostbyname(host);
        if (!he || he->h_length != 4) {
            gSession.lastError = kErrHostNotFound;
            return false;
        }
        memcpy(&sa.sin_addr, he->h_addr_list[0], 4);
    }
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == INVALID_SOCKET || connect(s, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0) {
        gSession.lastError = WSAGetLastError();
        if (s != INVALID_SOCKET) closesocket(s);
        return false;
    }
    *out = s;
    return true;
}

static bool SendProgramRequest(const char* cmdLine) {
    char station[MAX_COMPUTERNAME_LENGTH + 1] = "";
    DWORD n = sizeof station;
    GetComputerNameA(station, &n);
    char user[257] = "";
    n = sizeof user;
    GetUserNameA(user, &n);
    ProgramRequest req = {};
    req.build = kClientBuild;
    req.flags = kPrqFlagCompress;
    req.recvSize = gRecvBuf.size;
    req.texts[0] = station;
    req.texts[1] = user;
    req.texts[2] = gClientConfig.logon;
    req.texts[3] = cmdLine;
    if (!MsgBuildProgramRequest(&gSendBuf, &req)) return false;
    return SendMsgBytes(gSendBuf.data, gSendBuf.used);
}

int ServerConnectOne(const char* host, int port, const char* localIp, const char* cmdLine) {
    DebugLogWrite("HOST NAME", "%s", host);
    DebugLogWrite("PORT NUMBER", "%d", port);
    SOCKET s;
    if (!ResolveAndConnect(host, port, localIp, &s)) return gSession.lastError ? gSession.lastError : kErrNotConnected;
    BOOL on = TRUE;
    setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
    // The socket does not block: the main thread reads what has arrived in one
    // call when the socket posts its notice (1174) to the main window, and the
    // send path waits for room itself.
    if (WSAAsyncSelect(s, gMainWnd, kWmSrvMsg, FD_READ | FD_CLOSE) != 0) {
        int err = WSAGetLastError();
        closesocket(s);
        return err;
    }
    gSock = s;
    gStopping = 0;
    gSession.state = kSessionOpening;
    gSession.orderKnown = false;
    gSession.swapped = false;
    gSession.lastError = 0;
    gSession.endReceived = false;
    gAheadAt = gAheadEnd = 0;
    gFrameHave = gFrameLen = 0;
    gSilenceFrom = GetTickCount();
    gLastSendTick = GetTickCount();
    gRecvReleased = false;
    gLinkFailed = false;
    gLookPosted = 0;
    gNoticeOwed = false;
    gSendStalled = 0;
    gWatchEvent = CreateEventA(nullptr, FALSE, FALSE, nullptr);   // auto-reset
    gWatchThread =
        gWatchEvent ? CreateThread(nullptr, 0, GuardedThreadProc<LinkWatchProc>, nullptr, 0, nullptr) : nullptr;
    if (!gWatchEvent || !gWatchThread) return GetLastError();
    if (!SendProgramRequest(cmdLine)) return gSession.lastError;
    RecvNextFrame();
    while (gSession.state == kSessionOpening) PumpOnce(true);
    if (gSession.state == kSessionRefused) return 0;
    return gSession.state == kSessionRunning ? 0 : gSession.lastError;
}

void ServerDisconnect() {
    // The watch thread ends before the socket goes: it sends on it.
    InterlockedExchange(&gStopping, 1);
    if (gWatchEvent) SetEvent(gWatchEvent);
    bool ended = true;
    if (gWatchThread) {
        ended = WaitForSingleObject(gWatchThread, kWatchThreadEndMs) == WAIT_OBJECT_0;
        CloseHandle(gWatchThread);
        gWatchThread = nullptr;
    }
    if (gSock != INVALID_SOCKET) {
        shutdown(gSock, SD_BOTH);
        closesocket(gSock);
        gSock = INVALID_SOCKET;
    }
    gRecvReleased = false;
    MsgBufFree(&gRecvBuf);
    // A watch thread that did not end still uses the event, the send lock and
    // Winsock: they are left to the process's end.
    if (!ended) return;
    if (gWatchEvent) {
        CloseHandle(gWatchEvent);
        gWatchEvent = nullptr;
    }
    if (gSendLockReady) {
        DeleteCriticalSection(&gSendLock);
        WSACleanup();
        gSendLockReady = false;
    }
}

// The key of the block cipher: the text of switch "key" or QOVCS_PUBLIC, its
// bytes folded into 16. Stored for the cipher hook; identity until one is set.
static void StoreKey() {
    memset(gSession.key, 0, sizeof gSession.key);
    const char* k = gClientConfig.publicKey;
    for (size_t i = 0; k[i]; i++) gSession.key[i % 16] ^= static_cast<uint8_t>(k[i]);
}

int ServerConnect(const char* cmdLine, bool automation) {
    // Winsock and the send lock come up together and go in ServerDisconnect.
    if (!gSendLockReady) {
        WSADATA wsa;
        if (WSAStartup(MAKEWORD(2, 2), &wsa) != 0) return WSAGetLastError();
        InitializeCriticalSection(&gSendLock);
        gSendLockReady = true;
        LoadIpv6Entries();
    }
    if (!gRecvBuf.data) {
        // Exactly the agreed size: a longer frame is refused until 1058 grows it.
        gRecvBuf.data = static_cast<uint8_t*>(GuardedAlloc(kRecvBufStartSize));
        if (!gRecvBuf.data) return ERROR_OUTOFMEMORY;
        gRecvBuf.size = kRecvBufStartSize;
    }
    StoreKey();
    const char* host = gClientConfig.host[0] ? gClientConfig.host : "127.0.0.1";
    int port = gClientConfig.port > 0 ? gClientConfig.port : kDefaultPort;
    int tries = 1 + (gClientConfig.retry[0] > 0 ? gClientConfig.retry[0] : gClientConfig.autoRetry);
    int delay = gClientConfig.delay[0] > 0 ? gClientConfig.delay[0] : gClientConfig.autoDelay;
    int rc = 0;
    for (int t = 0; t < tries; t++) {
        if (t) Sleep(static_cast<DWORD>(delay > 0 ? delay : 1) * 1000u);
        rc = ServerConnectOne(host, port, gClientConfig.localIp, cmdLine);
        if (rc == 0 || gSession.state != kSessionIdle) return rc;
    }
    // The numbered fallback servers, never in automation mode: the automation
    // client chose its server and must hear that it failed.
    if (!gClientConfig.multiServer || automation) return rc;
    for (int n = 1; n <= kMaxFallbackServers; n++) {
        char name[32];
        snprintf(name, sizeof name, "QOVCS_HOSTNAME%d", n);
        const char* h = GetSetting(name);
        if (!h || !*h) continue;
        snprintf(name, sizeof name, "QOVCS_PORTNUM%d", n);
        int p = static_cast<int>(GetSettingInt(name, kDefaultPort));
        snprintf(name, sizeof name, "QOVCS_LOCALIP%d", n);
        const char* local = GetSetting(name);
        rc = ServerConnectOne(h, p, local ? local : "", cmdLine);
        if (rc == 0 || gSession.state != kSessionIdle) return rc;
    }
    return rc;
}
