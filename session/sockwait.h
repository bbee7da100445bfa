// sockwait.h - a read from a socket that waits a bounded time for its first
// bytes, and a send that waits a bounded time for room, without polling the
// socket (see sockwait.cpp for why).
#pragma once

#include <winsock2.h>

constexpr int kSockWaitTimedOut = -2;   // nothing arrived (or no room came) within the time

// Reads up to n bytes into p, waiting up to ms for the first of them: the
// count (> 0), 0 when the peer has closed, kSockWaitTimedOut, or
// SOCKET_ERROR (WSAGetLastError says why). Works whether or not the socket
// blocks (WSAAsyncSelect makes it non-blocking).
int RecvWithin(SOCKET s, char* p, int n, DWORD ms);
// Sends the n bytes at p, waiting up to ms for the socket to take them all:
// the count sent (n), kSockWaitTimedOut (what was taken by then is lost to
// the caller: the link is to be given up), or SOCKET_ERROR.
int SendWithin(SOCKET s, const char* p, int n, DWORD ms);
