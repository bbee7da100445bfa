// sockwait.cpp - bounded waits on a socket as overlapped operations: for its
// bytes as a read, and for room in its send buffer as a send.
// A poll of the socket (select) would serve too, but under Wine it costs the
// whole machine: from the bytes' arrival until the waiting thread has taken
// the poll's answer, Wine's server keeps asking the kernel whether the
// socket is readable, in a loop, and on a busy CPU the waiting thread waits
// behind that very loop (milliseconds a wait on one CPU). A pending read is
// not asked about again once the bytes have woken it.
#include "session/sockwait.h"

// Waits up to ms for an overlapped operation on s begun with the event done
// (auto-reset) and takes its result; one still pending when the time is up is
// cancelled. The wait that sees the operation end takes the event's signal
// with it; on every other way out (an immediate end signals it too, a
// cancelled operation may end before the cancel) it is reset here, so the
// next wait never sees a stale signal and skips its bound. The count, or
// kSockWaitTimedOut, or SOCKET_ERROR.
static int FinishOverlapped(SOCKET s, HANDLE done, WSAOVERLAPPED* ov, bool pending, DWORD ms, DWORD* count) {
    DWORD flags = 0;
    if (pending && WaitForSingleObject(done, ms) == WAIT_OBJECT_0) {
        if (!WSAGetOverlappedResult(s, ov, count, TRUE, &flags)) return SOCKET_ERROR;
        return static_cast<int>(*count);
    }
    // The operation may still end while it is cancelled; either way the
    // buffer is the caller's again once its result is in.
    if (pending) CancelIoEx(reinterpret_cast<HANDLE>(s), ov);
    BOOL ok = !pending || WSAGetOverlappedResult(s, ov, count, TRUE, &flags);
    int err = ok ? 0 : WSAGetLastError();
    ResetEvent(done);
    if (!ok) return err == WSA_OPERATION_ABORTED ? kSockWaitTimedOut : SOCKET_ERROR;
    return static_cast<int>(*count);
}

// The event an operation's end is signalled on: the calling thread's own,
// made at its first wait and kept for the next ones.
static HANDLE ThreadDoneEvent() {
    static thread_local HANDLE done = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    return done;
}

int RecvWithin(SOCKET s, char* p, int n, DWORD ms) {
    HANDLE done = ThreadDoneEvent();
    if (!done) return SOCKET_ERROR;
    WSABUF buf = {static_cast<ULONG>(n), p};
    WSAOVERLAPPED ov = {};
    ov.hEvent = done;
    DWORD got = 0, flags = 0;
    bool pending = WSARecv(s, &buf, 1, &got, &flags, &ov, nullptr) != 0;
    if (pending && WSAGetLastError() != WSA_IO_PENDING) return SOCKET_ERROR;
    return FinishOverlapped(s, done, &ov, pending, ms, &got);
}

int SendWithin(SOCKET s, const char* p, int n, DWORD ms) {
    HANDLE done = ThreadDoneEvent();
    if (!done) return SOCKET_ERROR;
    WSABUF buf = {static_cast<ULONG>(n), const_cast<char*>(p)};
    WSAOVERLAPPED ov = {};
    ov.hEvent = done;
    DWORD sent = 0;
    bool pending = WSASend(s, &buf, 1, &sent, 0, &ov, nullptr) != 0;
    if (pending && WSAGetLastError() != WSA_IO_PENDING) return SOCKET_ERROR;
    return FinishOverlapped(s, done, &ov, pending, ms, &sent);
}
