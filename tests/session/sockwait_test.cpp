// sockwait_test.cpp - the bounded socket read under Wine's real Winsock: what
// it returns for bytes already there, bytes that come during the wait, none
// in time (and nothing lost to the cancelled read), a closed peer, and a
// socket that WSAAsyncSelect made non-blocking, as the client's are; and the
// bounded send on a full socket, for a peer that reads and one that does not.
#include <winsock2.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <thread>

#include "session/loopback.h"

#include "session/sockwait.h"

namespace {

constexpr DWORD kLongWaitMs = 30000;   // only reached on failure
constexpr DWORD kShortWaitMs = 50;     // a wait that is meant to end empty
constexpr UINT kNoticeMessage = WM_APP + 1;

// A connected pair of loopback sockets.
class SockWait : public ::testing::Test {
protected:
    void SetUp() override {
        WSADATA wsa;
        ASSERT_EQ(WSAStartup(MAKEWORD(2, 2), &wsa), 0);
        sockaddr_in a;
        SOCKET listener = ListenOnLoopback(&a);
        ASSERT_NE(listener, INVALID_SOCKET);
        reader_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        ASSERT_EQ(connect(reader_, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
        writer_ = accept(listener, nullptr, nullptr);
        closesocket(listener);
        ASSERT_NE(writer_, INVALID_SOCKET);
    }
    void TearDown() override {
        if (reader_ != INVALID_SOCKET) closesocket(reader_);
        if (writer_ != INVALID_SOCKET) closesocket(writer_);
        WSACleanup();
    }
    int Read(DWORD ms) { return RecvWithin(reader_, buf_, sizeof buf_, ms); }
    void Write(const char* text) { ASSERT_EQ(send(writer_, text, static_cast<int>(strlen(text)), 0), static_cast<int>(strlen(text))); }

    SOCKET reader_ = INVALID_SOCKET, writer_ = INVALID_SOCKET;
    char buf_[64] = {};
};

TEST_F(SockWait, BytesThereOrComingAreRead) {
    Write("ready");
    ASSERT_EQ(Read(kLongWaitMs), 5);
    EXPECT_EQ(std::string(buf_, 5), "ready");

    // Bytes written while the read is pending end it with them.
    std::thread late([this] {
        Sleep(kShortWaitMs);   // the read is pending by then (the wait itself is what is tested)
        Write("late");
    });
    int got = Read(kLongWaitMs);
    late.join();
    ASSERT_EQ(got, 4);
    EXPECT_EQ(std::string(buf_, 4), "late");
}

TEST_F(SockWait, NothingInTimeLosesNothingAfter) {
    EXPECT_EQ(Read(kShortWaitMs), kSockWaitTimedOut);
    EXPECT_EQ(Read(0), kSockWaitTimedOut);
    // The cancelled reads took nothing that came later.
    Write("after");
    ASSERT_EQ(Read(kLongWaitMs), 5);
    EXPECT_EQ(std::string(buf_, 5), "after");
}

TEST_F(SockWait, ClosedPeerAndFailure) {
    Write("last");
    shutdown(writer_, SD_SEND);
    ASSERT_EQ(Read(kLongWaitMs), 4);
    EXPECT_EQ(Read(kLongWaitMs), 0);
    closesocket(reader_);
    SOCKET closed = reader_;
    reader_ = INVALID_SOCKET;
    EXPECT_EQ(RecvWithin(closed, buf_, sizeof buf_, kShortWaitMs), SOCKET_ERROR);
}

// Two threads waiting at once, each on its own socket: neither's wait
// disturbs the other's.
TEST_F(SockWait, TwoThreadsWaitAtOnce) {
    int got = 0;
    std::thread reader([this, &got] { got = Read(kLongWaitMs); });
    char mine[8];
    EXPECT_EQ(RecvWithin(writer_, mine, sizeof mine, kShortWaitMs), kSockWaitTimedOut);
    Write("both");
    reader.join();
    ASSERT_EQ(got, 4);
    EXPECT_EQ(std::string(buf_, 4), "both");
}

// The client's sockets announce their bytes to a window, which makes them
// non-blocking: the read still waits, and the window hears of what is left.
TEST_F(SockWait, WaitsOnASocketThatAnnouncesToAWindow) {
    HWND wnd = CreateWindowA("STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    ASSERT_TRUE(wnd);
    ASSERT_EQ(WSAAsyncSelect(reader_, wnd, kNoticeMessage, FD_READ | FD_CLOSE), 0);
    u_long waiting = 0;
    EXPECT_EQ(recv(reader_, buf_, 1, 0), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAEWOULDBLOCK);
    EXPECT_EQ(Read(kShortWaitMs), kSockWaitTimedOut);

    std::thread late([this] {
        Sleep(kShortWaitMs);   // the read is pending by then (the wait itself is what is tested)
        Write("0123456789");
    });
    int got = RecvWithin(reader_, buf_, 4, kLongWaitMs);
    late.join();
    ASSERT_EQ(got, 4);
    EXPECT_EQ(std::string(buf_, 4), "0123");
    // The rest stays in the socket, and a read notice for it reaches the window.
    ioctlsocket(reader_, FIONREAD, &waiting);
    EXPECT_EQ(waiting, 6u);
    MSG msg;
    DWORD start = GetTickCount();
    bool noticed = false;
    while (!noticed && GetTickCount() - start < kLongWaitMs) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);
        while (PeekMessageA(&msg, wnd, kNoticeMessage, kNoticeMessage, PM_REMOVE))
            noticed = noticed || WSAGETSELECTEVENT(msg.lParam) == FD_READ;
    }
    EXPECT_TRUE(noticed);
    ASSERT_EQ(Read(kLongWaitMs), 6);
    EXPECT_EQ(std::string(buf_, 6), "456789");
    DestroyWindow(wnd);
}

// A send on a full non-blocking socket waits for room: it ends with all its
// bytes once the peer reads, and gives up when the peer reads nothing for
// the whole wait.
TEST_F(SockWait, SendWaitsForRoomOrGivesUp) {
    constexpr int kBlock = 4096;
    static char block[kBlock];
    memset(block, 'x', sizeof block);
    u_long nonBlocking = 1;
    ASSERT_EQ(ioctlsocket(writer_, FIONBIO, &nonBlocking), 0);
    auto fill = [&] {
        size_t filled = 0;
        for (int k; (k = send(writer_, block, kBlock, 0)) > 0;) filled += static_cast<size_t>(k);
        EXPECT_EQ(WSAGetLastError(), WSAEWOULDBLOCK);
        return filled;
    };
    size_t filled = fill();
    ASSERT_GT(filled, 0u);
    size_t drained = 0;
    std::thread peer([&] {
        static char sink[kBlock];
        while (drained < filled + kBlock) {
            int k = RecvWithin(reader_, sink, kBlock, kLongWaitMs);
            if (k <= 0) break;
            drained += static_cast<size_t>(k);
        }
    });
    EXPECT_EQ(SendWithin(writer_, block, kBlock, kLongWaitMs), kBlock);
    peer.join();
    EXPECT_EQ(drained, filled + kBlock);

    fill();
    EXPECT_EQ(SendWithin(writer_, block, kBlock, kShortWaitMs), kSockWaitTimedOut);
}

}  // namespace
