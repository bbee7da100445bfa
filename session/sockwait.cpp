// sockwait.cpp - bounded waits on a socket as overlapped operations: for its
// bytes as a read, and for room in its send buffer as a send.
// A poll of the socket (select) would serve too, but under Wine it costs the
// whole machine: from the bytes' arrival until the waiting thread has taken
// the poll's answer, Wine's server keeps asking the kernel whether the
// socket is readable, in a loop, and on a busy CPU the waiting thread waits
// behind that very loop (milliseconds a wait on one CPU). A pending read is
// not asked about again once the bytes have woken it.
#include "session/sockwait.h"

int RecvWithin(SOCKET s, char* p, int n, DWORD ms) {
    // The read's end is signalled on an event of the calling thread's own,
    // made at its first wait and kept for the next ones.
    static thread_local WSAEVENT done = WSACreateEvent();
    if (done == WSA_INVALID_EVENT) return SOCKET_ERROR;
    WSABUF buf = {static_cast<ULONG>(n), p};
    WSAOVERLAPPED ov = {};
    ov.hEvent = done;
    WSAResetEvent(done);
    DWORD got = 0, flags = 0;
    if (WSARecv(s, &buf, 1, &got, &flags, &ov, nullptr) != 0) {
        if (WSAGetLastError() != WSA_IO_PENDING) return SOCKET_ERROR;
        // The read may still complete while it is cancelled; either way the
        // buffer is the caller's again once its result is in.
        if (WaitForSingleObject(done, ms) != WAIT_OBJECT_0) CancelIoEx(reinterpret_cast<HANDLE>(s), &ov);
        if (!WSAGetOverlappedResult(s, &ov, &got, TRUE, &flags))
            return WSAGetLastError() == WSA_OPERATION_ABORTED ? kSockWaitTimedOut : SOCKET_ERROR;
    }
    return static_cast<int>(got);
}

int SendWithin(SOCKET s, const char* p, int n, DWORD ms) {
    // As the read above: the send's end is signalled on the thread's own
    // event, and a send still pending when the time is up is cancelled.
    static thread_local WSAEVENT done = WSACreateEvent();
    if (done == WSA_INVALID_EVENT) return SOCKET_ERROR;
    WSABUF buf = {static_cast<ULONG>(n), const_cast<char*>(p)};
    WSAOVERLAPPED ov = {};
    ov.hEvent = done;
    WSAResetEvent(done);
    DWORD sent = 0, flags = 0;
    if (WSASend(s, &buf, 1, &sent, 0, &ov, nullptr) != 0) {
        if (WSAGetLastError() != WSA_IO_PENDING) return SOCKET_ERROR;
        if (WaitForSingleObject(done, ms) != WAIT_OBJECT_0) CancelIoEx(reinterpret_cast<HANDLE>(s), &ov);
        if (!WSAGetOverlappedResult(s, &ov, &sent, TRUE, &flags))
            return WSAGetLastError() == WSA_OPERATION_ABORTED ? kSockWaitTimedOut : SOCKET_ERROR;
    }
    return static_cast<int>(sent);
}
