// recvwithin.h - the scripted server's bounded read, on both builds: one read
// of up to n bytes that waits up to ms for the first. Under Wine it is a
// pending read rather than a poll of the socket (see session/sockwait.cpp);
// on the host, select and recv.
#pragma once

#include <cstddef>

#ifdef _WIN32
#include "session/sockwait.h"
constexpr int kRecvTimedOut = kSockWaitTimedOut;
// The count, 0 when the peer closed, kRecvTimedOut, or negative on failure.
inline int RecvSomeWithin(SOCKET s, char* p, size_t n, long ms) {
    return RecvWithin(s, p, static_cast<int>(n), static_cast<DWORD>(ms));
}
#else
#include <sys/select.h>
#include <sys/socket.h>
constexpr int kRecvTimedOut = -2;
inline int RecvSomeWithin(int s, char* p, size_t n, long ms) {
    fd_set rd;
    FD_ZERO(&rd);
    FD_SET(s, &rd);
    timeval tv = {ms / 1000, (ms % 1000) * 1000};
    int r = select(s + 1, &rd, nullptr, nullptr, &tv);
    if (r <= 0) return r == 0 ? kRecvTimedOut : -1;
    return static_cast<int>(recv(s, p, n, 0));
}
#endif
