// srvmsg_test.cpp - the dispatch over a real loopback link when memory runs
// out: requests that cannot be held inside a nested wait (and a step of that
// wait's pump that cannot) leave the nest and pump depths as they were, and a
// frame that arrives whole but cannot be taken for want of memory is answered
// -6 while the session goes on; and requests are answered while a source
// keeps the message queue from ever emptying. A server thread plays the
// server; the main thread runs the client's loop as the program does. And a
// window procedure's work that cannot be held stops at the procedure's
// boundary.
#include <winsock2.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <new>
#include <thread>
#include <vector>

#include "session/config.h"
#include "session/loopback.h"
#include "session/session.h"

namespace {

// Request types no facility handles, for the test's own handlers.
constexpr uint32_t kMsgWaitNested = 2990, kMsgNested = 2991, kMsgAfter = 2992, kMsgFillMemory = 2993,
                   kMsgFreeMemory = 2994, kMsgChatterStart = 2995;
constexpr uint32_t kAnswerAfter = 7;
constexpr uint32_t kGrowTo = 700000;
// Past the heap's large-block size, so neither the receive buffer's twin nor
// a copy of the frame can come from a heap that has room left.
constexpr uint32_t kLargeFrameBody = 600000;
constexpr size_t kAllocationGranularity = 0x10000;
constexpr size_t kFillFirstBlock = 1u << 30;
constexpr size_t kHeldBlocksMax = 1 << 16;

struct Frame {
    uint32_t type = 0, seq = 0;
    std::vector<uint8_t> body;
    int32_t Value() const {
        int32_t v = 0;
        if (body.size() >= 4) memcpy(&v, body.data(), 4);
        return v;
    }
};

void PutU32(std::vector<uint8_t>* out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out->push_back(static_cast<uint8_t>(v >> (8 * i)));
}

bool ReadAll(SOCKET s, uint8_t* p, size_t n) {
    while (n) {
        int got = recv(s, reinterpret_cast<char*>(p), static_cast<int>(n), 0);
        if (got <= 0) return false;
        p += got;
        n -= static_cast<size_t>(got);
    }
    return true;
}

// The client's next frame; keep-alive words are skipped.
bool ReadFrame(SOCKET s, Frame* f) {
    uint32_t word = kKeepAliveWord;
    while (word == kKeepAliveWord)
        if (!ReadAll(s, reinterpret_cast<uint8_t*>(&word), 4)) return false;
    uint32_t len = word & kHdrLenMask;
    if (len < kMsgHeadSize || !ReadAll(s, reinterpret_cast<uint8_t*>(&f->type), 4)) return false;
    f->seq = (word & kHdrSeqMask) >> kHdrSeqShift;
    f->body.assign(len - kMsgHeadSize, 0);
    return f->body.empty() || ReadAll(s, f->body.data(), f->body.size());
}

bool SendAll(SOCKET s, const uint8_t* p, size_t n) {
    return n == 0 || send(s, reinterpret_cast<const char*>(p), static_cast<int>(n), 0) == static_cast<int>(n);
}

// The head, then the body where it lies: the server's side takes no memory of
// its own while the client's address space is full.
bool SendFrame(SOCKET s, uint32_t type, uint32_t seq, const std::vector<uint8_t>& body) {
    uint32_t head[2] = {static_cast<uint32_t>(body.size() + kMsgHeadSize) | (seq << kHdrSeqShift), type};
    return SendAll(s, reinterpret_cast<const uint8_t*>(head), sizeof head) && SendAll(s, body.data(), body.size());
}

// What the server read back, compared in the main thread.
struct Answer {
    uint32_t type, seq;
    int32_t value;
    bool operator==(const Answer& o) const { return type == o.type && seq == o.seq && value == o.value; }
};
std::ostream& operator<<(std::ostream& os, const Answer& a) {
    return os << "{" << a.type << " seq " << a.seq << " value " << a.value << "}";
}

// ---- The client's side: the test's handlers ------------------------------------------

bool gNestedTaken;
bool gStepThrows;
uint32_t gNestInside, gNestAfter;
int gPumpAfter;
std::vector<void*> gHeld;

// A request whose handler waits, taking the server's next requests nested,
// and then itself cannot be held.
int32_t OnWaitNested(const SrvMsg*) {
    SrvMsgNest nest;
    gNestInside = SrvMsgNestDepth();
    while (!gNestedTaken && gSession.state == kSessionRunning) PumpOnce(true);
    throw std::bad_alloc();
}

// The nested request cannot be held, and neither can the pump's step after it.
int32_t OnNested(const SrvMsg*) {
    gNestedTaken = true;
    gStepThrows = true;
    throw std::bad_alloc();
}

void StepAfterMessage() {
    if (!gStepThrows) return;
    gStepThrows = false;
    throw std::bad_alloc();
}

int32_t OnAfter(const SrvMsg*) {
    gNestAfter = SrvMsgNestDepth();
    gPumpAfter = PumpDepth();
    return kAnswerAfter;
}

// A source whose messages come faster than the client takes them (a page
// that sends a notice for every one handled): each message handled queues
// another, so the queue never empties, and the socket's notice of a request
// comes behind it every time, until kChatterMax messages have gone.
constexpr UINT kMsgChatter = WM_APP + 2;
constexpr uint32_t kChatterMax = 100000;
constexpr uint32_t kChattyRequests = 20;
uint32_t gChatterLeft;

void ChatterAfterMessage() {
    if (!gChatterLeft || !--gChatterLeft) return;
    uint32_t notices = 0;
    MSG late;
    while (PeekMessageA(&late, gMainWnd, kWmSrvMsg, kWmSrvMsg, PM_REMOVE)) notices++;
    PostMessageA(gMainWnd, kMsgChatter, 0, 0);
    while (notices--) PostMessageA(gMainWnd, kWmSrvMsg, 0, 0);
}

int32_t OnChatterStart(const SrvMsg*) {
    gChatterLeft = kChatterMax;
    PostMessageA(gMainWnd, kMsgChatter, 0, 0);
    return 0;
}

// The address space is reserved, every piece the system gives, largest
// first: no block the heap does not already hold can be had until they are
// released.
int32_t OnFillMemory(const SrvMsg*) {
    gHeld.reserve(kHeldBlocksMax);
    for (size_t size = kFillFirstBlock; size >= kAllocationGranularity; size >>= 1)
        while (gHeld.size() < gHeld.capacity())
            if (void* p = VirtualAlloc(nullptr, size, MEM_RESERVE, PAGE_NOACCESS)) gHeld.push_back(p);
            else break;
    return 0;
}

int32_t OnFreeMemory(const SrvMsg*) {
    for (void* p : gHeld) VirtualFree(p, 0, MEM_RELEASE);
    gHeld.clear();
    return 0;
}

// A session over a loopback link: the server's part runs in a thread of its
// own and writes down the answers it read.
class LinkedSession : public ::testing::Test {
protected:
    void SetUp() override {
        WSADATA wsa;
        ASSERT_EQ(WSAStartup(MAKEWORD(2, 2), &wsa), 0);
        sockaddr_in a;
        listener_ = ListenOnLoopback(&a);
        ASSERT_NE(listener_, INVALID_SOCKET);
        ClientConfigDefaults();
        snprintf(gClientConfig.host, sizeof gClientConfig.host, "127.0.0.1");
        gClientConfig.port = ntohs(a.sin_port);
        gMainWnd = CreateSessionWindow(GetModuleHandleA(nullptr));
        ASSERT_NE(gMainWnd, nullptr);
        SrvMsgInitTables();
        gSrvMsg2000s[kMsgWaitNested - 2000] = OnWaitNested;
        gSrvMsg2000s[kMsgNested - 2000] = OnNested;
        gSrvMsg2000s[kMsgAfter - 2000] = OnAfter;
        gSrvMsg2000s[kMsgFillMemory - 2000] = OnFillMemory;
        gSrvMsg2000s[kMsgFreeMemory - 2000] = OnFreeMemory;
        gSrvMsg2000s[kMsgChatterStart - 2000] = OnChatterStart;
        gHooks.pumpAfterDispatch = StepAfterMessage;
    }
    void TearDown() override {
        if (server_.joinable()) server_.join();
        OnFreeMemory(nullptr);
        gHooks.pumpAfterDispatch = nullptr;
        ServerDisconnect();
        if (gMainWnd) DestroyWindow(gMainWnd);
        gMainWnd = nullptr;
        closesocket(listener_);
        WSACleanup();
    }

    // Runs the server's script after the opening (the accept), and the
    // client's loop until the session ends; the server closes its end last.
    template <typename Script>
    void Run(Script script) {
        server_ = std::thread([this, script] {
            SOCKET s = accept(listener_, nullptr, nullptr);
            Frame hello;
            if (s != INVALID_SOCKET && ReadFrame(s, &hello)) {
                std::vector<uint8_t> accept;
                PutU32(&accept, kClientBuild);
                PutU32(&accept, 0);
                accept.insert(accept.end(), {0, '.', 'S', 'P', 'L', '0'});
                if (SendFrame(s, kMsgSessionAccept, 0, accept)) script(s);
            }
            if (s != INVALID_SOCKET) closesocket(s);
        });
        ASSERT_EQ(ServerConnect("srvmsg-test", false), 0);
        while (gSession.state == kSessionRunning) PumpOnce(true);
        // A session that ended early leaves the server's reads nothing to wait for.
        ServerDisconnect();
        server_.join();
    }

    // The request sent, its answer read into answers_.
    void Ask(SOCKET s, uint32_t type, uint32_t seq, const std::vector<uint8_t>& body = {}) {
        Frame f;
        if (SendFrame(s, type, seq, body) && ReadFrame(s, &f)) answers_.push_back({f.type, f.seq, f.Value()});
    }
    void Read(SOCKET s) {
        Frame f;
        if (ReadFrame(s, &f)) answers_.push_back({f.type, f.seq, f.Value()});
    }
    void End(SOCKET s) { Ask(s, kMsgEndSession, 0, {0, 0, 0, 0}); }

    SOCKET listener_ = INVALID_SOCKET;
    std::thread server_;
    std::vector<Answer> answers_;
};

TEST_F(LinkedSession, RequestsThatCannotBeHeldInsideANestedWaitLeaveTheDepthsAsTheyWere) {
    gNestedTaken = gStepThrows = false;
    gNestInside = gNestAfter = 99;
    gPumpAfter = 99;
    Run([this](SOCKET s) {
        // The waiting request, then the one it takes nested: each answered -6,
        // the nested one first; the next request is taken at the top again.
        SendFrame(s, kMsgWaitNested, 1, {});
        SendFrame(s, kMsgNested, 2, {});
        Read(s);
        Read(s);
        Ask(s, kMsgAfter, 3);
        End(s);
    });
    std::vector<Answer> want = {{kMsgAnswer, 2, kErrNoMemory},
                                {kMsgAnswer, 1, kErrNoMemory},
                                {kMsgAnswer, 3, static_cast<int32_t>(kAnswerAfter)},
                                {kMsgAnswer, 0, 0}};
    EXPECT_EQ(answers_, want);
    EXPECT_EQ(gNestInside, 1u) << "the waiting request took requests nested";
    EXPECT_EQ(gNestAfter, 0u) << "the nest ended with the request that could not be held";
    EXPECT_EQ(gPumpAfter, 1) << "only the main loop's turn runs when the next request comes";
    EXPECT_EQ(SrvMsgNestDepth(), 0u);
    EXPECT_EQ(PumpDepth(), 0);
}

TEST_F(LinkedSession, AFrameThatFitsButCannotBeHeldIsAnsweredNoMemory) {
    std::vector<uint8_t> text(kLargeFrameBody, 'A');
    Run([&](SOCKET s) {
        Ask(s, kMsgGrowBuffer, 0, {static_cast<uint8_t>(kGrowTo), static_cast<uint8_t>(kGrowTo >> 8),
                                   static_cast<uint8_t>(kGrowTo >> 16), 0});
        Ask(s, kMsgFillMemory, 1);
        Ask(s, kMsgExceptionText, 2, text);
        Ask(s, kMsgFreeMemory, 3);
        Ask(s, kMsgExceptionText, 1, text);
        End(s);
    });
    ASSERT_EQ(answers_.size(), 6u);
    EXPECT_GE(answers_[0].value, static_cast<int32_t>(kGrowTo)) << "the receive buffer grew";
    EXPECT_EQ(answers_[2], (Answer{kMsgAnswer, 2, kErrNoMemory})) << "the frame that could not be held";
    EXPECT_EQ(answers_[3], (Answer{kMsgAnswer, 3, 0})) << "the session went on";
    EXPECT_EQ(answers_[4], (Answer{kMsgAnswer, 1, 0})) << "the same frame is taken once memory is back";
    EXPECT_EQ(answers_[5], (Answer{kMsgAnswer, 0, 0}));
}

TEST_F(LinkedSession, RequestsAreAnsweredWhileTheQueueNeverEmpties) {
    gHooks.pumpAfterDispatch = ChatterAfterMessage;
    gChatterLeft = 0;
    Run([this](SOCKET s) {
        Ask(s, kMsgChatterStart, 1);
        // One at a time, then all at once (read ahead together).
        for (uint32_t i = 0; i < kChattyRequests; i++) Ask(s, kMsgAfter, 2);
        for (uint32_t i = 0; i < kChattyRequests; i++) SendFrame(s, kMsgAfter, 3, {});
        for (uint32_t i = 0; i < kChattyRequests; i++) Read(s);
        End(s);
    });
    ASSERT_EQ(answers_.size(), 2 * kChattyRequests + 2);
    EXPECT_EQ(answers_[kChattyRequests], (Answer{kMsgAnswer, 2, static_cast<int32_t>(kAnswerAfter)}));
    EXPECT_EQ(answers_[2 * kChattyRequests], (Answer{kMsgAnswer, 3, static_cast<int32_t>(kAnswerAfter)}));
    EXPECT_GT(gChatterLeft, 0u) << "the requests waited until the queue emptied";
}

// A message whose work cannot be held returns to its sender, handled as the
// system's default: thrown through Wine's frames it ended the process (3).
constexpr UINT kMsgThrows = WM_APP + 1;
LRESULT ThrowingWork(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == kMsgThrows) throw std::bad_alloc();
    return DefWindowProcA(wnd, msg, wp, lp);
}

TEST(GuardedWndProc, AMessageWhoseWorkCannotBeHeldReturnsToItsSender) {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = GuardedWndProc<ThrowingWork>;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "QovThrowingWork";
    ASSERT_NE(RegisterClassA(&wc), 0);
    HWND wnd = CreateWindowA(wc.lpszClassName, "", 0, 0, 0, 10, 10, nullptr, nullptr, wc.hInstance, nullptr);
    ASSERT_NE(wnd, nullptr);
    EXPECT_EQ(SendMessageA(wnd, kMsgThrows, 0, 0), 0);
    EXPECT_EQ(SendMessageA(wnd, kMsgThrows, 0, 0), 0) << "and again: the window still takes messages";
    DestroyWindow(wnd);
    UnregisterClassA(wc.lpszClassName, wc.hInstance);
}

}  // namespace
