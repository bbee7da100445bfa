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
// and takes its result; one still pending when the time is up is cancelled
// (it may still end while it is cancelled; either way the buffer is the
// caller's again once its result is in). The count, or kSockWaitTimedOut, or
// SOCKET_ERROR.
static int FinishOverlapped(SOCKET s, WSAEVENT done, WSAOVERLAPPED* ov, DWORD ms, DWORD* count) {
    DWORD flags = 0;
    if (WaitForSingleObject(done, ms) != WAIT_OBJECT_0) CancelIoEx(reinterpret_cast<HANDLE>(s), ov);
    if (!WSAGetOverlappedResult(s, ov, count, TRUE, &flags))
        return WSAGetLastError() == WSA_OPERATION_ABORTED ? kSockWaitTimedOut : SOCKET_ERROR;
    return static_cast<int>(*count);
}

// The event an operation's end is signalled on: the calling thread's own,
// made at its first wait and kept for the next ones. Starting an operation
// clears it (no reset of its own, which would cost a Wine server call).
static WSAEVENT ThreadDoneEvent() {
    static thread_local WSAEVENT done = WSACreateEvent();
    return done;
}

int RecvWithin(SOCKET s, char* p, int n, DWORD ms) {
    WSAEVENT done = ThreadDoneEvent();
    if (done == WSA_INVALID_EVENT) return SOCKET_ERROR;
    WSABUF buf = {static_cast<ULONG>(n), p};
    WSAOVERLAPPED ov = {};
    ov.hEvent = done;
    DWORD got = 0, flags = 0;
    if (WSARecv(s, &buf, 1, &got, &flags, &ov, nullptr) == 0) return static_cast<int>(got);
    if (WSAGetLastError() != WSA_IO_PENDING) return SOCKET_ERROR;
    return FinishOverlapped(s, done, &ov, ms, &got);
}

int SendWithin(SOCKET s, const char* p, int n, DWORD ms) {
    WSAEVENT done = ThreadDoneEvent();
    if (done == WSA_INVALID_EVENT) return SOCKET_ERROR;
    WSABUF buf = {static_cast<ULONG>(n), const_cast<char*>(p)};
    WSAOVERLAPPED ov = {};
    ov.hEvent = done;
    DWORD sent = 0;
    if (WSASend(s, &buf, 1, &sent, 0, &ov, nullptr) == 0) return static_cast<int>(sent);
    if (WSAGetLastError() != WSA_IO_PENDING) return SOCKET_ERROR;
    return FinishOverlapped(s, done, &ov, ms, &sent);
}
