// session_server.cpp - the host-side bench server: a native Linux program that
// the client and the peer under Wine connect to over loopback, so the wire
// benchmarks time requests as a real server writes and reads them, not through
// a second Wine program. A benchmark under Wine drives it over a control
// connection (bench/benchremote.h says what each control request does); the
// timed loops run here, on this program's clock.
// Usage: session_server PORTFILE   (the control port is written there, then
// the server serves control connections one after another until it is ended)
#include <arpa/inet.h>
#include <dirent.h>
#include <poll.h>

#include <time.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "bench/benchremote.h"

namespace {

// A launched side that never connects is given up after this long, and a
// session that stops answering after kAnswerWaitSec (so the benchmark reports
// the failure and goes on).
constexpr int kTakeWaitMs = 60000;
constexpr int kAnswerWaitSec = 120;
constexpr int kServerBacklog = 8;  // the control connection, the client and its peer

SOCKET gSessionListen = INVALID_SOCKET;
std::vector<SOCKET> gSessions(1, INVALID_SOCKET);  // index 0 stands for no session

SOCKET SessionAt(uint32_t n) { return n < gSessions.size() ? gSessions[n] : INVALID_SOCKET; }

// The next frame of the given type; others (acknowledgements, events) are passed over.
bool Await(SOCKET s, uint32_t type, BenchFrame* f) {
    while (BenchRecv(s, f))
        if (f->type == type) return true;
    return false;
}

// A whole frame built once, sent as many times as asked.
std::vector<uint8_t> Framed(uint32_t type, uint32_t seq, const uint8_t* body, size_t n) {
    std::vector<uint8_t> f(kMsgHeadSize);
    WirePutU32(f.data(), FrameWord(uint32_t(kMsgHeadSize + n), seq, 0), false);
    WirePutU32(f.data() + 4, type, false);
    f.insert(f.end(), body, body + n);
    return f;
}

double Nanoseconds(std::chrono::steady_clock::duration d) {
    return double(std::chrono::duration_cast<std::chrono::nanoseconds>(d).count());
}

// One request sent and its answer awaited; the answer's first word (of an
// integer result, the value after its status word), or 0.
bool AskOnce(SOCKET s, const std::vector<uint8_t>& frame, uint32_t answerType, uint32_t* value) {
    BenchFrame f;
    if (!BenchSendAll(s, frame.data(), frame.size()) || !Await(s, answerType, &f)) return false;
    size_t at = answerType == kMsgResultInt ? kResIntValue - kMsgHeadSize : 0;
    *value = f.body.size() >= at + 4 ? BenchGetU32(f.body.data() + at) : 0;
    return true;
}

std::vector<uint8_t> DoTake(const WireReader& in) {
    uint32_t firstType = 0, session = kCtlNoSession;
    in.U32At(0, &firstType);
    pollfd p = {gSessionListen, POLLIN, 0};
    if (poll(&p, 1, kTakeWaitMs) == 1) {
        SOCKET s = accept(gSessionListen, nullptr, nullptr);
        BenchFrame f;
        if (s != INVALID_SOCKET) {
            BenchNoDelay(s);
            timeval limit = {kAnswerWaitSec, 0};
            setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
            if (Await(s, firstType, &f)) {
                gSessions.push_back(s);
                session = uint32_t(gSessions.size() - 1);
            } else {
                closesocket(s);
            }
        }
    }
    std::vector<uint8_t> b;
    BenchPutU32(&b, session);
    return b;
}

std::vector<uint8_t> DoSend(const WireReader& in, const std::vector<uint8_t>& body) {
    uint32_t session = 0, type = 0, seq = 0;
    std::vector<uint8_t> b;
    constexpr size_t kHead = 12;
    bool ok = in.U32At(0, &session) && in.U32At(4, &type) && in.U32At(8, &seq) && SessionAt(session) != INVALID_SOCKET;
    ok = ok && BenchSendAll(SessionAt(session), Framed(type, seq, body.data() + kHead, body.size() - kHead).data(),
                            body.size() - kHead + kMsgHeadSize);
    BenchPutU32(&b, ok ? 1 : 0);
    return b;
}

// The bodies of a batch, each framed; false when the control frame is short.
bool BatchFrames(const WireReader& in, size_t at, uint32_t type, uint32_t seq, uint32_t bodies,
                 std::vector<std::vector<uint8_t>>* frames) {
    for (uint32_t i = 0; i < bodies; i++) {
        uint32_t n = 0;
        const uint8_t* p = nullptr;
        if (!in.U32At(at, &n) || (n && !(p = in.PtrAt(at + 4, n)))) return false;
        frames->push_back(Framed(type, seq, p, n));
        at += 4 + size_t(n);
    }
    return true;
}

void Settle(uint32_t session);

// A batch of requests timed as one; the clock starts once the side and its
// Wine server have finished what came before (the other side's batch, or
// this side's untimed clean-up: destroyed windows still being taken down).
std::vector<uint8_t> DoBatch(const WireReader& in) {
    uint32_t session = 0, type = 0, seq = 0, answerType = 0, count = 0, bodies = 0;
    bool ok = in.U32At(0, &session) && in.U32At(4, &type) && in.U32At(8, &seq) && in.U32At(12, &answerType) &&
              in.U32At(16, &count) && in.U32At(20, &bodies) && (bodies == 1 || bodies == count);
    std::vector<std::vector<uint8_t>> frames;
    ok = ok && BatchFrames(in, 24, type, seq, bodies, &frames) && frames.size() == bodies;
    SOCKET s = SessionAt(session);
    std::vector<uint32_t> values(ok ? count : 0, 0);
    uint32_t failures = ok && s != INVALID_SOCKET ? 0 : count;
    if (failures == 0) Settle(session);
    auto t0 = std::chrono::steady_clock::now();
    if (failures == 0)
        for (uint32_t i = 0; i < count; i++)
            if (!AskOnce(s, frames[bodies == 1 ? 0 : i], answerType, &values[i])) failures++;
    double ns = Nanoseconds(std::chrono::steady_clock::now() - t0);
    std::vector<uint8_t> b;
    BenchPutU64(&b, uint64_t(ns));
    BenchPutU32(&b, failures);
    for (uint32_t v : values) BenchPutU32(&b, v);
    return b;
}

// ---- The far end of a session, from the host's own accounting -----------------

// The socket inode of the TCP connection from local port `from` to port `to`
// on loopback, from /proc/net/tcp; 0 when it is not listed.
unsigned long ConnectionInode(unsigned from, unsigned to) {
    FILE* f = fopen("/proc/net/tcp", "r");
    if (!f) return 0;
    char line[512];
    unsigned long inode = 0;
    while (!inode && fgets(line, sizeof line, f)) {
        unsigned localAddr, localPort, remoteAddr, remotePort;
        unsigned long node;
        if (sscanf(line, " %*d: %x:%x %x:%x %*x %*s %*s %*s %*d %*d %lu", &localAddr, &localPort, &remoteAddr,
                   &remotePort, &node) == 5 &&
            localPort == from && remotePort == to)
            inode = node;
    }
    fclose(f);
    return inode;
}

// Wine's server keeps a copy of each socket a Wine program opens: it is not
// the program.
bool IsWineServer(const char* pid) {
    std::string path = "/proc/" + std::string(pid) + "/comm";
    FILE* f = fopen(path.c_str(), "r");
    char name[64] = "";
    if (f) {
        if (!fgets(name, sizeof name, f)) name[0] = 0;
        fclose(f);
    }
    return strncmp(name, "wineserver", strlen("wineserver")) == 0;
}

// The processes at the far end of a session: the Wine program and the Wine
// server that keeps a copy of its socket (0 where not found).
struct FarEnd {
    long program = 0, wineServer = 0;
};

// Whether a process holds a socket of that inode.
bool HoldsSocket(const char* pid, const char* want) {
    std::string dir = "/proc/" + std::string(pid) + "/fd";
    DIR* fds = opendir(dir.c_str());
    bool found = false;
    for (dirent* d; fds && !found && (d = readdir(fds));) {
        char link[128];
        ssize_t n = readlink((dir + "/" + d->d_name).c_str(), link, sizeof link - 1);
        found = n > 0 && (link[n] = 0, strcmp(link, want) == 0);
    }
    if (fds) closedir(fds);
    return found;
}

// The holders of a socket of that inode among this user's processes.
FarEnd HoldersOfSocket(unsigned long inode) {
    char want[64];
    snprintf(want, sizeof want, "socket:[%lu]", inode);
    DIR* procs = opendir("/proc");
    FarEnd far;
    for (dirent* p; procs && !(far.program && far.wineServer) && (p = readdir(procs));) {
        long pid = atol(p->d_name);
        if (pid <= 0 || !HoldsSocket(p->d_name, want)) continue;
        (IsWineServer(p->d_name) ? far.wineServer : far.program) = pid;
    }
    if (procs) closedir(procs);
    return far;
}

std::vector<FarEnd> gFarEnds(1);  // of each session, once found

const FarEnd& FarEndOf(uint32_t session) {
    gFarEnds.resize(gSessions.size());
    FarEnd& far = gFarEnds[session];
    if (!far.program) {
        sockaddr_in near = {}, peer = {};
        socklen_t n1 = sizeof near, n2 = sizeof peer;
        getsockname(gSessions[session], reinterpret_cast<sockaddr*>(&near), &n1);
        getpeername(gSessions[session], reinterpret_cast<sockaddr*>(&peer), &n2);
        unsigned long inode = ConnectionInode(ntohs(peer.sin_port), ntohs(near.sin_port));
        if (inode) far = HoldersOfSocket(inode);
    }
    return far;
}

// Whether any thread of a process is running or waiting for a processor
// (state R in its stat).
bool ProcessRunnable(long pid) {
    std::string dir = "/proc/" + std::to_string(pid) + "/task";
    DIR* tasks = opendir(dir.c_str());
    bool runnable = false;
    for (dirent* t; tasks && !runnable && (t = readdir(tasks));) {
        if (t->d_name[0] == '.') continue;
        FILE* f = fopen((dir + "/" + t->d_name + "/stat").c_str(), "r");
        if (!f) continue;
        char text[512];
        size_t n = fread(text, 1, sizeof text - 1, f);
        fclose(f);
        text[n] = 0;
        const char* p = strrchr(text, ')');
        runnable = p && p[1] == ' ' && p[2] == 'R';
    }
    if (tasks) closedir(tasks);
    return runnable;
}

// The user and system time of a process so far, in nanoseconds: the
// kernel's own count of every thread's run time, to the nanosecond (the
// process's CPU clock), not the 10 ms clock ticks /proc/PID/stat gives, which
// for 500 labels are a few tens; -1 when it cannot be read.
double ProcessCpuNs(long pid) {
    clockid_t clock;
    timespec t;
    if (clock_getcpuclockid(pid_t(pid), &clock) != 0 || clock_gettime(clock, &t) != 0) return -1;
    return double(t.tv_sec) * 1e9 + double(t.tv_nsec);
}

// Waits until a side has finished what it does after its answer (a Wine
// program takes its next message or read, each a Wine server call, before it
// sleeps): its threads and its Wine server all asleep, seen twice in a row.
// On one processor that work would otherwise run inside the next request
// timed, the other side's; gives up after kSettleMostMs.
constexpr int kSettleMostMs = 50;
constexpr long kSettleLookNs = 20000;

void Settle(uint32_t session) {
    const FarEnd& far = FarEndOf(session);
    if (!far.program) return;
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(kSettleMostMs);
    for (int quiet = 0; quiet < 2 && std::chrono::steady_clock::now() < until;) {
        bool busy = ProcessRunnable(far.program) || (far.wineServer && ProcessRunnable(far.wineServer));
        quiet = busy ? 0 : quiet + 1;
        if (busy) {
            timespec pause = {0, kSettleLookNs};
            nanosleep(&pause, nullptr);
        }
    }
}

struct Turn {
    uint32_t session = kCtlNoSession;
    SOCKET sock = INVALID_SOCKET;
    uint32_t answerType = 0;
    std::vector<uint8_t> frame;
    double ns = 0;
};

// One side of an alternation from `at`; the offset past it, 0 when short.
size_t ReadTurn(const WireReader& in, size_t at, Turn* t) {
    uint32_t session = 0, type = 0, seq = 0, n = 0;
    if (!in.U32At(at, &session) || !in.U32At(at + 4, &type) || !in.U32At(at + 8, &seq) ||
        !in.U32At(at + 12, &t->answerType) || !in.U32At(at + 16, &n))
        return 0;
    const uint8_t* p = n ? in.PtrAt(at + 20, n) : nullptr;
    if (n && !p) return 0;
    t->session = session;
    t->sock = SessionAt(session);
    t->frame = Framed(type, seq, p, n);
    return at + 20 + n;
}

std::vector<uint8_t> DoAlternate(const WireReader& in) {
    uint32_t count = 0, failures = 0;
    Turn turns[2];
    size_t at = in.U32At(0, &count) ? ReadTurn(in, 4, &turns[0]) : 0;
    at = at ? ReadTurn(in, at, &turns[1]) : 0;
    if (!at || turns[0].sock == INVALID_SOCKET || turns[1].sock == INVALID_SOCKET) failures = count ? count : 1;
    for (uint32_t i = 0; failures == 0 && i < count * 2; i++) {
        Turn& t = turns[i % 2];
        uint32_t value = 0;
        auto t0 = std::chrono::steady_clock::now();
        if (!AskOnce(t.sock, t.frame, t.answerType, &value)) failures++;
        t.ns += Nanoseconds(std::chrono::steady_clock::now() - t0);
        Settle(t.session);
    }
    std::vector<uint8_t> b;
    BenchPutU64(&b, uint64_t(turns[0].ns));
    BenchPutU64(&b, uint64_t(turns[1].ns));
    BenchPutU32(&b, failures);
    return b;
}

std::vector<uint8_t> DoCpu(const WireReader& in) {
    uint32_t session = 0;
    double ns = -1;
    if (in.U32At(0, &session) && SessionAt(session) != INVALID_SOCKET) {
        long pid = FarEndOf(session).program;
        if (pid) ns = ProcessCpuNs(pid);
    }
    std::vector<uint8_t> b;
    BenchPutU64(&b, ns < 0 ? ~uint64_t(0) : uint64_t(ns));
    return b;
}

std::vector<uint8_t> DoClose(const WireReader& in) {
    uint32_t session = 0;
    std::vector<uint8_t> b;
    if (in.U32At(0, &session) && SessionAt(session) != INVALID_SOCKET) {
        BenchFrame f;
        while (BenchRecv(gSessions[session], &f)) {
        }
        closesocket(gSessions[session]);
        gSessions[session] = INVALID_SOCKET;
    }
    BenchPutU32(&b, 1);
    return b;
}

// Serves one control connection to its end; its sessions are closed then.
void ServeControl(SOCKET ctl, uint32_t sessionPort) {
    BenchNoDelay(ctl);
    BenchFrame f;
    while (BenchRecv(ctl, &f)) {
        WireReader in(f.body.data(), f.body.size(), false);
        std::vector<uint8_t> answer;
        switch (f.type) {
        case kCtlPort: BenchPutU32(&answer, sessionPort); break;
        case kCtlTake: answer = DoTake(in); break;
        case kCtlSend: answer = f.body.size() >= 12 ? DoSend(in, f.body) : answer; break;
        case kCtlBatch: answer = DoBatch(in); break;
        case kCtlAlternate: answer = DoAlternate(in); break;
        case kCtlClose: answer = DoClose(in); break;
        case kCtlCpu: answer = DoCpu(in); break;
        default: break;
        }
        if (!BenchSend(ctl, kCtlAnswer, answer)) break;
    }
    for (SOCKET& s : gSessions)
        if (s != INVALID_SOCKET) closesocket(s), s = INVALID_SOCKET;
    gSessions.resize(1);
    gFarEnds.assign(1, FarEnd{});
    closesocket(ctl);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        printf("usage: session_server PORTFILE\n");
        return 2;
    }
    uint32_t controlPort = 0, sessionPort = 0;
    SOCKET control = ListenOnLoopback(&controlPort, kServerBacklog);
    gSessionListen = ListenOnLoopback(&sessionPort, kServerBacklog);
    if (control == INVALID_SOCKET || gSessionListen == INVALID_SOCKET) {
        printf("session_server: cannot listen on loopback\n");
        return 1;
    }
    // Written whole under another name, then renamed, so a reader never sees half.
    std::string part = std::string(argv[1]) + ".part";
    FILE* f = fopen(part.c_str(), "w");
    if (!f || fprintf(f, "%u\n", controlPort) < 0 || fclose(f) != 0 || rename(part.c_str(), argv[1]) != 0) {
        printf("session_server: cannot write %s\n", argv[1]);
        return 1;
    }
    for (;;) {
        SOCKET ctl = accept(control, nullptr, nullptr);
        if (ctl != INVALID_SOCKET) ServeControl(ctl, sessionPort);
    }
}
