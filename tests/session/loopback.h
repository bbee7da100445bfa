// loopback.h - a listening socket on a loopback port the system picks, for
// the session tests that talk to the client's link over real Winsock.
#pragma once

#include <winsock2.h>

// Listens on 127.0.0.1 at a free port and leaves the address in *at;
// INVALID_SOCKET when the socket cannot be made, bound or put to listen.
inline SOCKET ListenOnLoopback(sockaddr_in* at) {
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == INVALID_SOCKET) return s;
    *at = {};
    at->sin_family = AF_INET;
    at->sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int len = sizeof *at;
    if (bind(s, reinterpret_cast<sockaddr*>(at), sizeof *at) != 0 || listen(s, 1) != 0 ||
        getsockname(s, reinterpret_cast<sockaddr*>(at), &len) != 0) {
        closesocket(s);
        return INVALID_SOCKET;
    }
    return s;
}
