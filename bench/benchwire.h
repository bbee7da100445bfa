// benchwire.h - frames over a socket for the session benchmarks, their peer and
// the host-side bench server: the client's 8-byte header written and checked
// by the protocol's own frame code (FrameWord, FrameCheckWord), blocking reads
// of a whole frame, and the lone keep-alive word skipped wherever it comes.
// Compiled by both builds: Windows sockets under Wine, POSIX ones on the host.
#pragma once

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>
typedef int SOCKET;
constexpr SOCKET INVALID_SOCKET = -1;
inline int closesocket(SOCKET s) { return close(s); }
#endif

#include <cstdint>
#include <cstring>
#include <vector>

#include "session/proto/protocol.h"
#include "session/proto/wire.h"

struct BenchFrame {
    uint32_t type = 0;
    uint32_t seq = 0;
    std::vector<uint8_t> body;
};

// A listening socket on the loopback address at a port the system picks
// (written to *port); INVALID_SOCKET when it cannot be made.
inline SOCKET ListenOnLoopback(uint32_t* port, int backlog) {
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == INVALID_SOCKET) return s;
    sockaddr_in a = {};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
#ifdef _WIN32
    int len = sizeof a;
#else
    socklen_t len = sizeof a;
#endif
    if (bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || listen(s, backlog) != 0 ||
        getsockname(s, reinterpret_cast<sockaddr*>(&a), &len) != 0) {
        closesocket(s);
        return INVALID_SOCKET;
    }
    *port = ntohs(a.sin_port);
    return s;
}

inline bool BenchSendAll(SOCKET s, const uint8_t* p, size_t n) {
    while (n) {
        int k = int(send(s, reinterpret_cast<const char*>(p), int(n), 0));
        if (k <= 0) return false;
        p += k, n -= size_t(k);
    }
    return true;
}

inline bool BenchRecvAll(SOCKET s, uint8_t* p, size_t n) {
    while (n) {
        int k = int(recv(s, reinterpret_cast<char*>(p), int(n), 0));
        if (k <= 0) return false;
        p += k, n -= size_t(k);
    }
    return true;
}

inline void BenchPutU32(std::vector<uint8_t>* b, uint32_t v) {
    b->resize(b->size() + 4);
    WirePutU32(b->data() + b->size() - 4, v, false);
}
inline void BenchPutU16(std::vector<uint8_t>* b, uint16_t v) {
    b->resize(b->size() + 2);
    WirePutU16(b->data() + b->size() - 2, v, false);
}
inline uint32_t BenchGetU32(const uint8_t* p) { return WireGetU32(p, false); }

// One frame, little-endian, no compression; flags as in the header word.
inline bool BenchSend(SOCKET s, uint32_t type, const std::vector<uint8_t>& body, uint32_t seq = 0,
                      uint32_t flags = 0) {
    if (body.size() > kMsgMaxLength - kMsgHeadSize) return false;
    std::vector<uint8_t> f(kMsgHeadSize);
    f.reserve(kMsgHeadSize + body.size());
    WirePutU32(f.data(), FrameWord(uint32_t(kMsgHeadSize + body.size()), seq, flags), false);
    WirePutU32(f.data() + 4, type, false);
    f.insert(f.end(), body.begin(), body.end());
    return BenchSendAll(s, f.data(), f.size());
}

// The next frame; keep-alive words before it are skipped.
inline bool BenchRecv(SOCKET s, BenchFrame* out) {
    uint8_t head[kMsgHeadSize];
    if (!BenchRecvAll(s, head, 4)) return false;
    while (BenchGetU32(head) == kKeepAliveWord)
        if (!BenchRecvAll(s, head, 4)) return false;
    if (!BenchRecvAll(s, head + 4, 4)) return false;
    uint32_t word = BenchGetU32(head), len = 0;
    if (FrameCheckWord(word, kMsgMaxLength, &len) != 0) return false;
    out->type = BenchGetU32(head + 4);
    out->seq = (word & kHdrSeqMask) >> kHdrSeqShift;
    out->body.resize(len - kMsgHeadSize);
    return out->body.empty() || BenchRecvAll(s, out->body.data(), out->body.size());
}

inline void BenchNoDelay(SOCKET s) {
    int on = 1;
    setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
}
