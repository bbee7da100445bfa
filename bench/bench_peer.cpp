// bench_peer.cpp - the reference side of the session benchmark: the smallest
// Wine program that does what the client's interactive paths do, made of the
// Win32 calls alone. It makes a hidden main window, connects to the benchmark,
// says hello (a frame typed like the client's program request), then answers
// each frame at once:
//   a property query or text read: an answer of the client's size (ping-pong);
//   a create request: the same window a label or a top-level window of the
//     client is (a STATIC child with the dialog font and the client's styles,
//     or an overlapped window of a registered class, hidden unless asked
//     shown), answered with its number;
//   a hide request: ShowWindow(SW_HIDE), answered;
//   a destroy request: DestroyWindow, answered;
//   end session: the program ends.
// Frames are read as a raw blocking ping-pong reads them: one recv takes all
// that has arrived (a whole small frame, as the server writes each in one
// send), and only a frame longer than that is read on, straight into its body.
// Usage: bench_peer PORT
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "bench/benchwire.h"
#include "objects/objtables.h"

namespace {

const wchar_t kPeerClass[] = L"QovBenchPeer";
constexpr uint32_t kNoWindow = 0;
// The answer sizes of the client: 1129 carries 12 bytes, 1130 the text's
// length, the text and its NUL (the bench's labels read "Item").
constexpr size_t kResultIntBody = 12;
constexpr size_t kResultTextBody = 4 + 4 + 1;
// What one read may take ahead of the frame being read.
constexpr size_t kReadAhead = 64 << 10;

std::vector<HWND> gWindows(1, nullptr);  // index 0 stands for no window
HFONT gFont;

void DrainMessages() {
    MSG m;
    while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&m);
        DispatchMessageW(&m);
    }
}

uint32_t Keep(HWND w) {
    if (!w) return kNoWindow;
    gWindows.push_back(w);
    return uint32_t(gWindows.size() - 1);
}

HWND WindowAt(uint32_t n) { return n < gWindows.size() ? gWindows[n] : nullptr; }

// The body of the bench's create request: u32 type, u32 parent number, i32 x,
// i32 y, and optionally u32 width, u32 height, u32 shown (a window only).
uint32_t Create(const std::vector<uint8_t>& b, HWND main) {
    if (b.size() < 16) return kNoWindow;
    uint32_t type = BenchGetU32(&b[0]);
    HWND parent = WindowAt(BenchGetU32(&b[4]));
    int x = int(BenchGetU32(&b[8])), y = int(BenchGetU32(&b[12]));
    bool sized = b.size() >= 28;
    int width = sized ? int(BenchGetU32(&b[16])) : type == kTypeLabelText ? 36 : 400;
    int height = sized ? int(BenchGetU32(&b[20])) : type == kTypeLabelText ? 20 : 240;
    if (type == kTypeLabelText) {
        // The client's label: a notifying static child that clips its siblings.
        HWND w = CreateWindowExW(0, L"STATIC", L"Item", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | SS_NOTIFY | SS_LEFT,
                                 x, y, width, height, parent ? parent : main, nullptr, GetModuleHandleW(nullptr),
                                 nullptr);
        if (w) SendMessageW(w, WM_SETFONT, WPARAM(gFont), FALSE);
        return Keep(w);
    }
    // The client's window: overlapped, clipping its siblings, not its children.
    HWND w = CreateWindowExW(0, kPeerClass, L"Bench window", WS_OVERLAPPEDWINDOW | WS_CLIPSIBLINGS, x, y, width,
                             height, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (w && sized && BenchGetU32(&b[24])) ShowWindow(w, SW_SHOWNORMAL);
    return Keep(w);
}

uint8_t gAhead[kReadAhead];
size_t gAheadAt, gAheadEnd;

// Blocks until something has arrived, then takes all that has (up to
// kReadAhead); false when the link is closed.
bool Fill(SOCKET s) {
    gAheadAt = 0;
    int k = recv(s, reinterpret_cast<char*>(gAhead), int(kReadAhead), 0);
    gAheadEnd = k > 0 ? size_t(k) : 0;
    return k > 0;
}

// n bytes: first from what was read ahead, then, when the frame is longer,
// straight from the socket.
bool Take(SOCKET s, uint8_t* p, size_t n) {
    while (n && gAheadAt == gAheadEnd && n < kReadAhead)
        if (!Fill(s)) return false;
    size_t have = gAheadEnd - gAheadAt < n ? gAheadEnd - gAheadAt : n;
    memcpy(p, gAhead + gAheadAt, have);
    gAheadAt += have;
    return BenchRecvAll(s, p + have, n - have);
}

// The next frame; keep-alive words before it are skipped.
bool ReadFrame(SOCKET s, BenchFrame* out) {
    uint8_t head[kMsgHeadSize];
    do
        if (!Take(s, head, 4)) return false;
    while (BenchGetU32(head) == kKeepAliveWord);
    uint32_t word = BenchGetU32(head), len = 0;
    if (!Take(s, head + 4, 4) || FrameCheckWord(word, kMsgMaxLength, &len) != 0) return false;
    out->type = BenchGetU32(head + 4);
    out->seq = (word & kHdrSeqMask) >> kHdrSeqShift;
    out->body.resize(len - kMsgHeadSize);
    return Take(s, out->body.data(), out->body.size());
}

int Serve(SOCKET s, HWND main) {
    std::vector<uint8_t> hello(16, 0);
    if (!BenchSend(s, kMsgProgramRequest, hello)) return 1;
    BenchFrame f;
    std::vector<uint8_t> answer;
    while (ReadFrame(s, &f)) {
        answer.clear();
        uint32_t type = kMsgAnswer;
        switch (f.type) {
        case kMsgObjPropQuery: type = kMsgResultInt, answer.resize(kResultIntBody); break;
        case kMsgObjGetText: type = kMsgResultText, answer.resize(kResultTextBody); break;
        case kMsgCreate: BenchPutU32(&answer, Create(f.body, main)); break;
        case kMsgObjHide: {
            uint32_t n = f.body.size() >= 4 ? BenchGetU32(&f.body[0]) : kNoWindow;
            if (WindowAt(n)) ShowWindow(gWindows[n], SW_HIDE);
            BenchPutU32(&answer, 0);
            break;
        }
        case kMsgObjDestroy: {
            uint32_t n = f.body.size() >= 4 ? BenchGetU32(&f.body[0]) : kNoWindow;
            if (WindowAt(n)) DestroyWindow(gWindows[n]), gWindows[n] = nullptr;
            BenchPutU32(&answer, 0);
            break;
        }
        case kMsgEndSession: return 0;
        default: BenchPutU32(&answer, 0); break;
        }
        // Windows made, hidden or destroyed have messages of their own to take
        // (the paints of what they uncovered among them); a query or a frame
        // read asks for nothing more than its answer.
        if (f.type == kMsgCreate || f.type == kMsgObjHide || f.type == kMsgObjDestroy) DrainMessages();
        if (!BenchSend(s, type, answer, f.seq)) return 1;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    WNDCLASSW wc = {};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = kPeerClass;
    wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    RegisterClassW(&wc);
    HWND main = CreateWindowExW(0, kPeerClass, L"Bench peer", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr, nullptr,
                                wc.hInstance, nullptr);
    gFont = HFONT(GetStockObject(DEFAULT_GUI_FONT));
    WSADATA wsa;
    WSAStartup(MAKEWORD(2, 2), &wsa);
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in a = {};
    a.sin_family = AF_INET;
    a.sin_port = htons(u_short(atoi(argv[1])));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) return 1;
    BenchNoDelay(s);
    int rc = Serve(s, main);
    closesocket(s);
    DestroyWindow(main);
    return rc;
}
