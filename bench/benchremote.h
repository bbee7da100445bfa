// benchremote.h - the host-side bench server (session_server, a Linux program)
// and how a benchmark under Wine drives it. The client and the peer under Wine
// connect to the server's session port, so their requests are written, read
// and timed by a native program, as a real server's would be; the benchmark
// itself (launching, CPU times, the report) stays in Wine and speaks to the
// server over a control connection, in frames of the client's own format:
//   port:      {} -> {u32 session port}
//   take:      {u32 first type} -> {u32 session}: the next connection to the
//              session port, read up to its first frame of that type
//   send:      {u32 session, u32 type, u32 seq, body} -> {u32 1}
//   batch:     {u32 session, u32 type, u32 seq, u32 answer type, u32 count,
//              u32 bodies (1: one body sent count times, else count), each
//              body as u32 length + bytes} -> {u64 ns, u32 failures, count x
//              u32 first word of each answer, of an integer result 1129
//              its value}: the requests one after another,
//              each awaiting its answer, timed as a whole
//   alternate: {u32 count, then two sides, each u32 session, u32 type, u32 seq,
//              u32 answer type, u32 length + body} -> {u64 ns of the first,
//              u64 ns of the second, u32 failures}: count requests a side,
//              first, second, first..., each timed alone, once the side
//              answered before has gone to sleep (its threads and its Wine
//              server)
//   close:     {u32 session} -> {u32 1}: its frames read to the close
//   cpu:       {u32 session} -> {u64 ns, all ones when unknown}: the user and
//              system time so far of the process at the far end of the
//              session, as the host's kernel counts it (a Wine program is one
//              Linux process), to the nanosecond
// Every answer is a frame of type kCtlAnswer. The server takes one control
// connection at a time. bench/run.sh starts it and names its control port in
// QOV_BENCH_SERVER.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/benchwire.h"

constexpr uint32_t kCtlAnswer = 9100;
constexpr uint32_t kCtlPort = 9101;
constexpr uint32_t kCtlTake = 9102;
constexpr uint32_t kCtlSend = 9103;
constexpr uint32_t kCtlBatch = 9104;
constexpr uint32_t kCtlAlternate = 9105;
constexpr uint32_t kCtlClose = 9106;
constexpr uint32_t kCtlCpu = 9107;
constexpr uint32_t kCtlNoSession = 0;

inline void BenchPutU64(std::vector<uint8_t>* b, uint64_t v) {
    BenchPutU32(b, uint32_t(v));
    BenchPutU32(b, uint32_t(v >> 32));
}
inline uint64_t BenchGetU64(const uint8_t* p) { return BenchGetU32(p) | uint64_t(BenchGetU32(p + 4)) << 32; }
inline void BenchPutBody(std::vector<uint8_t>* b, const std::vector<uint8_t>& body) {
    BenchPutU32(b, uint32_t(body.size()));
    b->insert(b->end(), body.begin(), body.end());
}

// ---- The benchmark's end (under Wine) -------------------------------------------

inline SOCKET gRemote = INVALID_SOCKET;
inline uint32_t gRemoteSessionPort = 0;

// One control request and its answer's body; empty when the server is gone.
inline std::vector<uint8_t> RemoteCall(uint32_t type, const std::vector<uint8_t>& body) {
    BenchFrame f;
    if (!BenchSend(gRemote, type, body)) return {};
    while (BenchRecv(gRemote, &f))
        if (f.type == kCtlAnswer) return f.body;
    return {};
}

// Connects to the server QOV_BENCH_SERVER names (its control port on
// loopback) and learns its session port; false, with the reason printed, when
// there is none.
inline bool RemoteConnect() {
    const char* port = getenv("QOV_BENCH_SERVER");
    if (!port || !*port) {
        printf("no host-side bench server: QOV_BENCH_SERVER is not set (bench/run.sh starts one)\n");
        return false;
    }
    gRemote = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in a = {};
    a.sin_family = AF_INET;
    a.sin_port = htons(uint16_t(atoi(port)));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(gRemote, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        printf("cannot reach the host-side bench server on port %s\n", port);
        return false;
    }
    BenchNoDelay(gRemote);
    std::vector<uint8_t> b = RemoteCall(kCtlPort, {});
    gRemoteSessionPort = b.size() >= 4 ? BenchGetU32(b.data()) : 0;
    if (!gRemoteSessionPort) printf("the host-side bench server named no session port\n");
    return gRemoteSessionPort != 0;
}

// The next session to connect, read to its first frame of that type.
inline uint32_t RemoteTake(uint32_t firstType) {
    std::vector<uint8_t> b;
    BenchPutU32(&b, firstType);
    b = RemoteCall(kCtlTake, b);
    return b.size() >= 4 ? BenchGetU32(b.data()) : kCtlNoSession;
}

inline bool RemoteSend(uint32_t session, uint32_t type, const std::vector<uint8_t>& body, uint32_t seq = 0) {
    std::vector<uint8_t> b;
    BenchPutU32(&b, session);
    BenchPutU32(&b, type);
    BenchPutU32(&b, seq);
    b.insert(b.end(), body.begin(), body.end());
    return RemoteCall(kCtlSend, b).size() >= 4;
}

struct RemoteBatchResult {
    double seconds = 0;
    uint32_t failures = 0;
    std::vector<uint32_t> values;   // the first word of each answer (an integer result's value), 0 for none
};

// Requests one after another on a session, timed by the server as a whole:
// `bodies` holds one body a request, or one body sent `count` times.
inline RemoteBatchResult RemoteBatch(uint32_t session, uint32_t type, uint32_t seq, uint32_t answerType,
                                     const std::vector<std::vector<uint8_t>>& bodies, size_t count) {
    RemoteBatchResult r;
    std::vector<uint8_t> b;
    for (uint32_t v : {session, type, seq, answerType, uint32_t(count), uint32_t(bodies.size())}) BenchPutU32(&b, v);
    for (const auto& body : bodies) BenchPutBody(&b, body);
    std::vector<uint8_t> a = RemoteCall(kCtlBatch, b);
    if (a.size() < 12 + 4 * count) {
        r.failures = uint32_t(count);
        r.values.assign(count, 0);
        return r;
    }
    r.seconds = double(BenchGetU64(a.data())) / 1e9;
    r.failures = BenchGetU32(a.data() + 8);
    for (size_t i = 0; i < count; i++) r.values.push_back(BenchGetU32(a.data() + 12 + 4 * i));
    return r;
}

// One request and the first word of its answer (0 when none came).
inline uint32_t RemoteRequest(uint32_t session, uint32_t type, const std::vector<uint8_t>& body, uint32_t seq,
                              uint32_t answerType) {
    return RemoteBatch(session, type, seq, answerType, {body}, 1).values[0];
}

struct RemoteTurn {
    uint32_t session, type, seq, answerType;
    const std::vector<uint8_t>* body;
};

// count requests a side in strict turns, each timed alone by the server: the
// seconds of each side's requests together; false when any went unanswered.
inline bool RemoteAlternate(const RemoteTurn& first, const RemoteTurn& second, uint32_t count, double* firstSeconds,
                            double* secondSeconds) {
    std::vector<uint8_t> b;
    BenchPutU32(&b, count);
    for (const RemoteTurn* t : {&first, &second}) {
        for (uint32_t v : {t->session, t->type, t->seq, t->answerType}) BenchPutU32(&b, v);
        BenchPutBody(&b, *t->body);
    }
    std::vector<uint8_t> a = RemoteCall(kCtlAlternate, b);
    if (a.size() < 20) return false;
    *firstSeconds = double(BenchGetU64(a.data())) / 1e9;
    *secondSeconds = double(BenchGetU64(a.data() + 8)) / 1e9;
    return BenchGetU32(a.data() + 16) == 0;
}

inline void RemoteClose(uint32_t session) {
    std::vector<uint8_t> b;
    BenchPutU32(&b, session);
    RemoteCall(kCtlClose, b);
}

// The CPU time so far of the process at the far end of a session, in seconds;
// negative when the host could not read it.
inline double RemoteCpuSeconds(uint32_t session) {
    std::vector<uint8_t> b;
    BenchPutU32(&b, session);
    b = RemoteCall(kCtlCpu, b);
    if (b.size() < 8 || BenchGetU64(b.data()) == ~uint64_t(0)) return -1;
    return double(BenchGetU64(b.data())) / 1e9;
}
