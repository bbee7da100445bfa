// benchwire.h - frames over a Windows socket for the session benchmark and its
// peer: the client's 8-byte header (length word, type), blocking reads of a
// whole frame, and the lone keep-alive word skipped wherever it comes.
#pragma once

#include <winsock2.h>
#include <ws2tcpip.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "session/proto/protocol.h"

struct BenchFrame {
    uint32_t type = 0;
    uint32_t seq = 0;
    std::vector<uint8_t> body;
};

inline bool BenchSendAll(SOCKET s, const uint8_t* p, size_t n) {
    while (n) {
        int k = send(s, reinterpret_cast<const char*>(p), int(n), 0);
        if (k <= 0) return false;
        p += k, n -= size_t(k);
    }
    return true;
}

inline bool BenchRecvAll(SOCKET s, uint8_t* p, size_t n) {
    while (n) {
        int k = recv(s, reinterpret_cast<char*>(p), int(n), 0);
        if (k <= 0) return false;
        p += k, n -= size_t(k);
    }
    return true;
}

inline void BenchPutU32(std::vector<uint8_t>* b, uint32_t v) {
    for (int i = 0; i < 4; i++) b->push_back(uint8_t(v >> (8 * i)));
}
inline void BenchPutU16(std::vector<uint8_t>* b, uint16_t v) {
    b->push_back(uint8_t(v)), b->push_back(uint8_t(v >> 8));
}
inline uint32_t BenchGetU32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// One frame, little-endian, no compression; flags as in the header word.
inline bool BenchSend(SOCKET s, uint32_t type, const std::vector<uint8_t>& body, uint32_t seq = 0,
                      uint32_t flags = 0) {
    std::vector<uint8_t> f;
    f.reserve(kMsgHeadSize + body.size());
    uint32_t len = uint32_t(kMsgHeadSize + body.size());
    BenchPutU32(&f, (len & kHdrLenMask) | ((seq << kHdrSeqShift) & kHdrSeqMask) | flags);
    BenchPutU32(&f, type);
    f.insert(f.end(), body.begin(), body.end());
    return BenchSendAll(s, f.data(), f.size());
}

// The next frame; keep-alive words before it are skipped.
inline bool BenchRecv(SOCKET s, BenchFrame* out) {
    uint8_t head[8];
    if (!BenchRecvAll(s, head, 4)) return false;
    while (BenchGetU32(head) == kKeepAliveWord)
        if (!BenchRecvAll(s, head, 4)) return false;
    if (!BenchRecvAll(s, head + 4, 4)) return false;
    uint32_t word = BenchGetU32(head), len = word & kHdrLenMask;
    if (len < kMsgHeadSize) return false;
    out->type = BenchGetU32(head + 4);
    out->seq = (word & kHdrSeqMask) >> kHdrSeqShift;
    out->body.resize(len - kMsgHeadSize);
    return out->body.empty() || BenchRecvAll(s, out->body.data(), out->body.size());
}

inline void BenchNoDelay(SOCKET s) {
    BOOL on = TRUE;
    setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
}
