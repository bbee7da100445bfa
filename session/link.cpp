// link.cpp - the TCP link to the application server: connecting over IPv4 or
// IPv6 with retries and fallback servers, the receive thread with its keep-alive
// and silence limit, the locked send path, and the last error's text.
#include <winsock2.h>
#include <ws2tcpip.h>

#include "session/session.h"

#include <cstdio>
#include <cstring>

#include "session/config.h"
#include "session/log.h"
#include "session/settings.h"
#include "session/util/mem.h"

Session gSession;
MsgBuf gRecvBuf;

static SOCKET gSock = INVALID_SOCKET;
static HANDLE gRecvEvent;
static HANDLE gRecvThread;
static CRITICAL_SECTION gSendLock;
static bool gSendLockReady;          // also: Winsock is started
static volatile LONG gStopping;
static volatile LONG gRecvResult;
static DWORD gLastSendTick;            // for the keep-alive, under gSendLock

constexpr int kErrTimedOut = 10060;    // the server stayed silent past QOVCS_RECVTIMEOUT
constexpr int kErrConnRefused = 10061; // nothing listens on the server's port
constexpr int kErrHostNotFound = 11001;
constexpr int kMaxFallbackServers = 4;
// While held, the receive thread looks at the socket this often for a close or
// a failure (and for keep-alive words to skip).
constexpr DWORD kHeldWatchMs = 200;
// The most bytes looked at in one go when skipping a run of keep-alive words.
constexpr uint32_t kKeepAliveRunBytes = 16384;
// The most bytes read ahead while the thread is held (see WatchHeldLink).
constexpr uint32_t kReadAheadMax = 65536;
// The most reads of one look while held, so a flood does not keep the thread
// from seeing that it was let on.
constexpr int kHeldReadsPerLook = 16;
// How long the end of a session waits for the receive thread to finish.
constexpr DWORD kRecvThreadEndMs = 5000;

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

// The socket does not block (see ServerConnectOne): when its send buffer is
// full the send waits here until there is room, as a blocking send would.
static bool SendRaw(const uint8_t* p, uint32_t n) {
    while (n) {
        int k = send(gSock, reinterpret_cast<const char*>(p), static_cast<int>(n), 0);
        if (k == 0) return false;
        if (k == SOCKET_ERROR) {
            if (WSAGetLastError() != WSAEWOULDBLOCK) return false;
            fd_set wr;
            FD_ZERO(&wr);
            FD_SET(gSock, &wr);
            if (select(0, nullptr, &wr, nullptr, nullptr) == SOCKET_ERROR) return false;
            continue;
        }
        p += k;
        n -= static_cast<uint32_t>(k);
    }
    return true;
}

bool SendMsgBytes(const uint8_t* msg, uint32_t len) {
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

// The receive thread's keep-alive: a lone word when nothing was sent for the
// configured number of seconds.
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

static DWORD WaitSlice() {
    DWORD slice = kRecvWaitMs;
    if (gClientConfig.keepAlive > 0 && static_cast<DWORD>(gClientConfig.keepAlive) * 1000u < slice)
        slice = static_cast<DWORD>(gClientConfig.keepAlive) * 1000u;
    return slice;
}

// ---- Receiving --------------------------------------------------------------------

// Bytes read ahead while the thread was held, taken before the socket's; the
// receive thread's alone. Its head is always at a frame boundary when the
// thread is held.
static uint8_t gAhead[kReadAheadMax];
static uint32_t gAheadAt, gAheadEnd;

static uint32_t AheadLeft() { return gAheadEnd - gAheadAt; }

// Since when the server has been silent, for QOVCS_RECVTIMEOUT: reset by every
// byte that arrives, and when the thread begins to wait for a frame or is held
// after handing one on (the receive thread's alone).
static DWORD gSilenceFrom;

static DWORD SilenceLimitMs() {
    return static_cast<DWORD>(gClientConfig.recvTimeout > 0 ? gClientConfig.recvTimeout : kDefaultRecvTimeout) * 1000u;
}

static bool SilenceTooLong() { return GetTickCount() - gSilenceFrom >= SilenceLimitMs(); }

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

// Waits until the socket has something to read (bytes, or the close), sending
// keep-alives meanwhile and ending the session when the server has stayed
// silent past QOVCS_RECVTIMEOUT: 0, or the error number.
static int WaitReadable() {
    for (;;) {
        fd_set rd;
        FD_ZERO(&rd);
        FD_SET(gSock, &rd);
        // A turn ends by the silence limit at the latest, so that a frame that
        // stops arriving half-way is found out on time.
        DWORD silent = GetTickCount() - gSilenceFrom, limit = SilenceLimitMs();
        DWORD slice = WaitSlice();
        if (silent >= limit) slice = 0;
        else if (limit - silent < slice) slice = limit - silent;
        timeval tv = {static_cast<long>(slice / 1000), static_cast<long>((slice % 1000) * 1000)};
        int r = select(0, &rd, nullptr, nullptr, &tv);
        if (gStopping) return kErrNotConnected;
        if (r == SOCKET_ERROR) return WSAGetLastError();
        if (r > 0) return 0;
        SendKeepAliveIfDue();
        if (SilenceTooLong()) return kErrTimedOut;
    }
}

// Reads what has arrived, up to n bytes, through the read-ahead buffer: one
// call takes all that is there (a whole frame when it has arrived whole, and
// what follows it), and later reads are served from the buffer. The socket
// does not block, so a read that finds bytes costs one call; only when it
// finds none does the thread wait in WaitReadable. 0 with *got >= 1, or the
// error number (10057 when the server closed).
static int RecvSome(uint8_t* p, uint32_t n, uint32_t* got) {
    while (!AheadLeft()) {
        gAheadAt = gAheadEnd = 0;
        int k = recv(gSock, reinterpret_cast<char*>(gAhead), static_cast<int>(kReadAheadMax), 0);
        if (k > 0) {
            gSilenceFrom = GetTickCount();
            gAheadEnd = static_cast<uint32_t>(k);
            break;
        }
        if (k == 0 || gStopping) return kErrNotConnected;
        int err = WSAGetLastError();
        if (err != WSAEWOULDBLOCK) return err;
        if ((err = WaitReadable()) != 0) return err;
    }
    uint32_t take = AheadLeft() < n ? AheadLeft() : n;
    memcpy(p, gAhead + gAheadAt, take);
    gAheadAt += take;
    if (gAheadAt == gAheadEnd) gAheadAt = gAheadEnd = 0;
    *got = take;
    return 0;
}

// Reads exactly n bytes: 0, or the error number (10057 when the server closed);
// *got counts the bytes that did arrive.
static int RecvExact(uint8_t* p, uint32_t n, uint32_t* got) {
    *got = 0;
    while (n) {
        uint32_t k;
        int rc = RecvSome(p, n, &k);
        if (rc) return rc;
        p += k;
        n -= k;
        *got += k;
    }
    return 0;
}

// Takes the keep-alive words that have already arrived in whole runs: one look
// and one read for many words rather than a wait and a read for each, so a
// flood of them cannot hold up the frames behind it. Stops at the first byte
// that is not part of a keep-alive word; takes nothing else.
static void SkipKeepAliveRun() {
    static uint8_t run[kKeepAliveRunBytes];   // the receive thread's alone
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
        uint32_t got;
        if (!words || RecvExact(run, words * 4, &got) != 0) return;
        if (words * 4 < static_cast<uint32_t>(k)) return;
    }
}

// One whole frame into gRecvBuf; the server's own keep-alive words are skipped.
// The header comes in one read when it has arrived whole; the bytes read past
// a lone keep-alive word are kept as the start of what follows it. A failure
// before the first byte of a frame is the link's own (10057 when the server
// closed, 10060 when it stayed silent); once a frame has begun, any failure
// inside it (a close, a stall past the silence limit, an error) means the frame
// does not fit: 99990.
static int RecvOneFrame() {
    uint8_t head[8];
    uint32_t have = 0;   // bytes of the next header already read
    for (;;) {
        // The silence limit counts from the start of the wait for a frame.
        if (!have && !AheadLeft()) gSilenceFrom = GetTickCount();
        uint32_t got;
        if (have < 4) {
            int rc = RecvSome(head + have, 8 - have, &got);
            if (rc) return have ? kErrBadMessage : rc;
            have += got;
            if (have < 4) continue;
        }
        if (WireGetU32(head, false) == kKeepAliveWord) {
            memmove(head, head + 4, have - 4);
            have -= 4;
            if (!have) SkipKeepAliveRun();
            continue;
        }
        if (have < 8 && RecvExact(head + have, 8 - have, &got) != 0) return kErrBadMessage;
        if (!gSession.orderKnown) {
            int order = FrameDetectOrder(head, 8);
            gSession.swapped = order == 1;
            gSession.orderKnown = true;
        }
        uint32_t len;
        if (FrameCheckWord(WireGetU32(head, gSession.swapped), gRecvBuf.size, &len) != 0) return kErrBadMessage;
        memcpy(gRecvBuf.data, head, 8);
        if (len > 8 && RecvExact(gRecvBuf.data + 8, len - 8, &got) != 0) return kErrBadMessage;
        gRecvBuf.used = len;
        return 0;
    }
}

// While the main thread works on a frame (or waits for an event in 1105 or
// 1121) the thread is held and hands on no frame, but it still watches the
// socket: a server that closed the connection, or a link that failed, ends the
// session at once (10057 for a close) instead of leaving the client deaf until
// the wait ends. Winsock (and Wine's) tells of a close only once the bytes
// before it are read, so what arrives meanwhile is read ahead, up to
// kReadAheadMax bytes, and handed on as frames once the thread is let on;
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
        int k = recv(gSock, reinterpret_cast<char*>(gAhead + gAheadEnd), static_cast<int>(kReadAheadMax - gAheadEnd), 0);
        if (gStopping) return 0;
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

static void ReportFrame(int rc) {
    InterlockedExchange(&gRecvResult, rc);
    PostMessageA(gMainWnd, kWmSrvMsg, static_cast<WPARAM>(rc), 0);
}

// The receive thread: waits to be let on (the main thread has consumed the last
// frame), reads one frame and posts 1174 to the main window. While the main
// thread works it keeps the link alive and watches it.
static DWORD WINAPI RecvThreadProc(LPVOID) {
    for (;;) {
        DWORD w = WaitForSingleObject(gRecvEvent, kHeldWatchMs);
        if (gStopping) break;
        if (w == WAIT_TIMEOUT) {
            SendKeepAliveIfDue();
            int rc = WatchHeldLink();
            if (gStopping) break;
            // The silence limit runs while held too: a server that neither
            // sends nor keeps the link alive for that long is taken as lost.
            if (!rc && SilenceTooLong()) rc = kErrTimedOut;
            if (rc) {
                ReportFrame(rc);
                break;
            }
            continue;
        }
        int rc = RecvOneFrame();
        if (gStopping) break;
        ReportFrame(rc);
        if (rc) break;
        gSilenceFrom = GetTickCount();
    }
    return 0;
}

// True from the signal that lets the receive thread read a frame until that
// frame (or the thread's failure) has arrived: a second signal in between
// would let the thread read the next frame into the receive buffer while the
// main thread still takes the last one. Main thread only.
static bool gRecvReleased;

void SignalRecvThread() {
    if (gRecvReleased || !gRecvEvent) return;
    gRecvReleased = true;
    SetEvent(gRecvEvent);
}

void RecvFrameArrived() { gRecvReleased = false; }

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
    // The socket does not block: the receive thread reads what has arrived in
    // one call and waits (in WaitReadable, which keeps the link alive and holds
    // a frame that stops arriving half-way to the silence limit) only when
    // nothing has; the send path waits for room itself.
    u_long nonBlocking = 1;
    if (ioctlsocket(s, FIONBIO, &nonBlocking) != 0) {
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
    gSilenceFrom = GetTickCount();
    gLastSendTick = GetTickCount();
    gRecvEvent = CreateEventA(nullptr, FALSE, FALSE, nullptr);   // auto-reset
    gRecvReleased = false;
    gRecvThread = CreateThread(nullptr, 0, RecvThreadProc, nullptr, 0, nullptr);
    if (!gRecvEvent || !gRecvThread) return GetLastError();
    if (!SendProgramRequest(cmdLine)) return gSession.lastError;
    SignalRecvThread();
    while (gSession.state == kSessionOpening) PumpOnce(true);
    if (gSession.state == kSessionRefused) return 0;
    return gSession.state == kSessionRunning ? 0 : gSession.lastError;
}

void ServerDisconnect() {
    InterlockedExchange(&gStopping, 1);
    if (gSock != INVALID_SOCKET) {
        shutdown(gSock, SD_BOTH);
        closesocket(gSock);
        gSock = INVALID_SOCKET;
    }
    if (gRecvEvent) SetEvent(gRecvEvent);
    bool ended = true;
    if (gRecvThread) {
        ended = WaitForSingleObject(gRecvThread, kRecvThreadEndMs) == WAIT_OBJECT_0;
        CloseHandle(gRecvThread);
        gRecvThread = nullptr;
    }
    // A receive thread that did not end still uses the event, the send lock,
    // Winsock and the receive buffer: they are left to the process's end.
    if (!ended) return;
    if (gRecvEvent) {
        CloseHandle(gRecvEvent);
        gRecvEvent = nullptr;
    }
    MsgBufFree(&gRecvBuf);
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
