// wvtcp.cpp - the page-host backend of the runtime layer: one loopback TCP
// connection per controller to the page host (webview/pagehost), which shows
// the page in a real browser engine. Frames: u32 payload length, a type byte,
// the payload (see pagehost.js). Page messages are read when the socket says
// so (WSAAsyncSelect to the runtime window) and while a post waits for its
// acknowledgement; either way they reach the host from the window procedure.
// A post the page does not acknowledge within kAckBoundMs marks the view not
// answering: later posts go out without waiting (the page carries them out
// in order once it catches up), and a veil over the pane says so, until the
// page has caught up. A closed
// connection ends the view: its handler is told (a null text) and its pane
// says so in the host window.
#include <winsock2.h>

#include <windowsx.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "graphics/image/png.h"
#include "session/hoptrace.h"
#include "session/log.h"
#include "session/settings.h"
#include "session/sockwait.h"
#include "session/util/bytereader.h"
#include "session/util/json.h"
#include "session/util/mem.h"
#include "webview/wvlaunch.h"
#include "webview/wvpane.h"
#include "webview/wvruntime.h"

static const char kPortSetting[] = "QOVCS_WVHOSTPORT";
static const uint32_t kMaxFrame = 64u << 20;
// The page channel reads every page message as JSON and refuses one past the
// parser's ceiling: a larger one is dropped as it arrives, before it is
// converted (to UTF-16 for the handler and back) at several times its size.
static const uint32_t kPageMessageMax = kJsonMaxMemory;
// How long a post waits for the page's acknowledgement. A page query is
// acknowledged in about 3 ms; the slowest seen is the first post behind a
// cold page load on a loaded machine (under 1 s). A page that takes longer is
// stuck (a script that never returns), and the client must not freeze for it.
static const DWORD kAckBoundMs = 2000;
// How long a frame's bytes may wait for room in the link: as long as a post
// may wait for its acknowledgement.
static const DWORD kSendBoundMs = kAckBoundMs;
static const char kLogName[] = "WebView host";
static const size_t kUnixUrlMax = 2048;    // a start page's URL by its Unix path
static const size_t kRecvRoomMin = 4096;   // free room in the buffer before a read
// The receive buffer's usual size: it grows past it only for a frame that
// needs more, room for that frame alone, and comes back to it once the frame
// has been taken (a large page message moves into the inbox with the buffer).
static const size_t kRecvUsual = 1u << 20;
static const size_t kInputJsonMax = 200;
static const size_t kQuestionNumberRoom = 16;  // "n":4294967295, before a question's own fields
static const int kWheelPixels = 100;         // one wheel notch scrolls the page this far
// Modifier bits of the page's input events.
static const int kModAlt = 1, kModCtrl = 2, kModShift = 8;

// A page message waiting for the subscriber. A large one keeps the receive
// buffer it came in (block; its text is in there); a small one is copied
// after the item.
struct WvInboxItem {
    WvInboxItem* next;
    uint8_t* block;
    char* text;
    char copied[1];
};

struct WvTcpConn {
    WvTcpConn* next;            // all open connections, for socket notices
    LONG refs;                  // the controller, the view and queued deliveries
    SOCKET sock;
    bool closed;
    bool ended;                 // the page host closed the connection
    bool notAnswering;          // a post missed kAckBoundMs; the page has not caught up
    HWND pane;
    uint8_t* picture;           // the newest picture of the page (PNG), not yet decoded
    uint32_t pictureLen;
    DecodedImage shown;         // the picture the pane shows (bits null: none yet)
    int clicks;                 // the click count of the button press in progress
    uint8_t* rx;
    size_t rxLen, rxCap;
    uint32_t posts, acks;
    WvMessageFn fn;
    void* ctx;
    int64_t token;
    WvInboxItem* inboxHead;
    WvInboxItem* inboxTail;
    bool deliveryQueued;
    uint32_t questionsAsked;    // questions asked of the page (a copy, an edit menu), numbered
    uint32_t questionsAnswered; // the newest one answered ('Y')
    char* answer;               // the text of the newest answer (UTF-8), until it is taken
};

struct WvTcpEnv {
    uint16_t port;
};

struct WvCompletion {
    WvCreatedFn done;
    void* ctx;
    HRESULT hr;
    WvObject* obj;
};

static WvTcpConn* gTcpConns;
static bool gWsaStarted;
static int64_t gTcpTokens;

static void RunCompletion(void* arg) {
    WvCompletion c = *static_cast<WvCompletion*>(arg);
    GuardedFree(arg);
    c.done(c.ctx, c.hr, c.obj);
}

// Hands the result to done from the runtime window, never inside the call.
static HRESULT QueueCompletion(WvCreatedFn done, void* ctx, HRESULT hr, WvObject* obj) {
    WvCompletion* c = static_cast<WvCompletion*>(GuardedAlloc(sizeof(WvCompletion)));
    if (!c) {
        WvRelease(obj);
        return E_OUTOFMEMORY;
    }
    c->done = done;
    c->ctx = ctx;
    c->hr = hr;
    c->obj = obj;
    if (!WvQueueCall(RunCompletion, c)) {
        GuardedFree(c);
        WvRelease(obj);
        return E_FAIL;
    }
    return S_OK;
}

// ---- Connections ------------------------------------------------------------------

static void InboxItemFree(WvInboxItem* item) {
    GuardedFree(item->block);
    GuardedFree(item);
}

static void ConnClose(WvTcpConn* c) {
    if (c->closed) return;
    c->closed = true;
    closesocket(c->sock);
}

static void ConnRelease(WvTcpConn* c) {
    if (--c->refs > 0) return;
    ConnClose(c);
    WvPaneDestroy(c->pane);
    for (WvTcpConn** p = &gTcpConns; *p; p = &(*p)->next)
        if (*p == c) {
            *p = c->next;
            break;
        }
    while (c->inboxHead) {
        WvInboxItem* next = c->inboxHead->next;
        InboxItemFree(c->inboxHead);
        c->inboxHead = next;
    }
    GuardedFree(c->rx);
    GuardedFree(c->picture);
    GuardedFree(c->answer);
    LocalFreeMem(c->shown.bits);
    GuardedFree(c);
}

// Sends all n bytes, waiting up to kSendBoundMs for the page host to take
// them. The host reads its connections as the bytes come, unless it is
// stopped; a stopped host must not freeze the client behind a full socket.
// False when the link failed or the host did not take them all in time
// (part of a frame may have gone: the link cannot go on).
static bool SendAll(WvTcpConn* c, const char* data, size_t n) {
    if (c->closed) return false;
    int sent = SendWithin(c->sock, data, static_cast<int>(n), kSendBoundMs);
    if (sent == kSockWaitTimedOut)
        DebugLogWrite(kLogName, "the page host did not take a frame whole within %lu ms: the view has ended",
                      static_cast<unsigned long>(kSendBoundMs));
    return sent == static_cast<int>(n);
}

static void ConnEnded(WvTcpConn* c);

// A frame up to this size leaves in one write (one segment, one wake of the
// page host); a larger one is written as header and payload.
static const uint32_t kOneWriteMax = 64u << 10;
static const uint32_t kFrameHead = 5;

static HRESULT SendFrame(WvTcpConn* c, char type, const void* payload, uint32_t n) {
    if (c->closed) return E_FAIL;
    char head[kFrameHead];
    memcpy(head, &n, 4);   // little-endian on x86
    head[4] = type;
    bool sent;
    char* whole = n <= kOneWriteMax ? static_cast<char*>(GuardedAlloc(kFrameHead + n)) : nullptr;
    if (whole) {
        memcpy(whole, head, kFrameHead);
        if (n) memcpy(whole + kFrameHead, payload, n);
        sent = SendAll(c, whole, kFrameHead + n);
        GuardedFree(whole);
    } else {
        sent = SendAll(c, head, kFrameHead) && SendAll(c, static_cast<const char*>(payload), n);
    }
    if (!sent) {
        ConnEnded(c);
        return E_FAIL;
    }
    return S_OK;
}

// Only the newest picture is kept, undecoded: the pane decodes it when it
// paints, never while a post waits for its acknowledgement.
static void KeepPicture(WvTcpConn* c, const uint8_t* png, uint32_t n) {
    uint8_t* copy = static_cast<uint8_t*>(GuardedAlloc(n ? n : 1));
    if (!copy) return;
    memcpy(copy, png, n);
    GuardedFree(c->picture);
    c->picture = copy;
    c->pictureLen = n;
    if (c->pane) InvalidateRect(c->pane, nullptr, FALSE);
}

// A 'Y' frame: the number of the question it answers, ':', the answer. Only
// an answer newer than the last one kept counts (a late answer to a question
// given up on is dropped when a newer one has come).
static void TakeAnswer(WvTcpConn* c, const uint8_t* body, uint32_t n) {
    uint32_t asked = 0, at = 0;
    for (; at < n && body[at] >= '0' && body[at] <= '9' && asked <= UINT32_MAX / 10 - 1; at++)
        asked = asked * 10 + (body[at] - '0');
    if (at == 0 || at >= n || body[at] != ':' || asked <= c->questionsAnswered) return;
    at++;
    char* text = static_cast<char*>(GuardedAlloc(n - at + 1));
    if (!text) return;
    memcpy(text, body + at, n - at);
    text[n - at] = 0;
    GuardedFree(c->answer);
    c->answer = text;
    c->questionsAnswered = asked;
}

static void InboxAppend(WvTcpConn* c, WvInboxItem* item) {
    item->next = nullptr;
    if (c->inboxTail) c->inboxTail->next = item;
    else c->inboxHead = item;
    c->inboxTail = item;
}

// A page message copied into an item of its own.
static void InboxCopy(WvTcpConn* c, const uint8_t* body, uint32_t n) {
    WvInboxItem* item = static_cast<WvInboxItem*>(GuardedAlloc(sizeof(WvInboxItem) + n));
    if (!item) return;
    item->block = nullptr;
    item->text = item->copied;
    memcpy(item->text, body, n);
    item->text[n] = 0;
    InboxAppend(c, item);
}

// The receive buffer with its first `keep` bytes from `from` on: a fresh one
// of the usual size (or larger when they need it). False when out of memory.
static bool FreshReceiveBuffer(WvTcpConn* c, size_t from, size_t keep) {
    size_t cap = keep + kRecvRoomMin > kRecvUsual ? keep + kRecvRoomMin : kRecvUsual;
    uint8_t* fresh = static_cast<uint8_t*>(GuardedAlloc(cap));
    if (!fresh) return false;
    memcpy(fresh, c->rx + from, keep);
    c->rx = fresh;
    c->rxLen = keep;
    c->rxCap = cap;
    return true;
}

// A page message that fills a receive buffer grown for it alone moves into
// the inbox with the buffer, which a fresh one of the usual size replaces:
// copied, it would cost its size twice over, and the grown buffer would stay.
// False (nothing moved) when it is not such a message or there is no memory
// for the fresh buffer.
static bool InboxMoveBuffer(WvTcpConn* c, size_t off, uint32_t n) {
    size_t end = off + kFrameHead + static_cast<size_t>(n);
    // Only a message at least the usual size pays for the fresh buffer: the
    // small ones behind it are copied, not each moved with a copy of the rest.
    if (off != 0 || n < kRecvUsual || c->rxCap <= kRecvUsual || end >= c->rxCap) return false;
    WvInboxItem* item = static_cast<WvInboxItem*>(GuardedAlloc(sizeof(WvInboxItem)));
    if (!item) return false;
    uint8_t* block = c->rx;
    if (!FreshReceiveBuffer(c, end, c->rxLen - end)) {
        GuardedFree(item);
        return false;
    }
    block[end] = 0;   // the bytes after the message went with the fresh buffer
    item->block = block;
    item->text = reinterpret_cast<char*>(block + kFrameHead);
    InboxAppend(c, item);
    return true;
}

// A buffer grown for a large frame comes back to its usual size once the
// frame has been taken. A fresh block, not a shrinking realloc: the heap
// keeps a large block's pages when it shrinks in place.
static void ReturnToUsualSize(WvTcpConn* c) {
    if (c->rxCap <= kRecvUsual || c->rxLen + kRecvRoomMin > kRecvUsual) return;
    uint8_t* grown = c->rx;
    if (FreshReceiveBuffer(c, 0, c->rxLen)) GuardedFree(grown);
}

// Splits what was received into frames: page messages to the inbox, counts
// of acknowledgements. A frame longer than any page message closes the link.
static void ParseFrames(WvTcpConn* c) {
    size_t off = 0;
    for (;;) {
        // Read anew each frame: a large message may have moved the buffer.
        ByteReader r(c->rx, c->rxLen);
        uint32_t n;
        uint8_t type;
        if (!r.U32At(off, &n) || !r.U8At(off + 4, &type)) break;
        if (n > kMaxFrame) {
            ConnClose(c);
            break;
        }
        const uint8_t* body = r.PtrAt(off + kFrameHead, n);
        if (!body) break;
        if (type == 'K') {
            c->acks++;
        } else if (type == 'S') {
            KeepPicture(c, body, n);
        } else if (type == 'Y') {
            TakeAnswer(c, body, n);
        } else if (type == 'W' && n > kPageMessageMax) {
            DebugLogWrite(kLogName, "a page message of %lu bytes passes the %lu a page message can hold: dropped",
                          static_cast<unsigned long>(n), static_cast<unsigned long>(kPageMessageMax));
        } else if (type == 'W') {
            // Moved, the message began the buffer: what followed it is in
            // the fresh buffer already, split from its start.
            if (InboxMoveBuffer(c, off, n)) {
                off = 0;
                continue;
            }
            InboxCopy(c, body, n);
        }
        off += kFrameHead + static_cast<size_t>(n);
    }
    memmove(c->rx, c->rx + off, c->rxLen - off);
    c->rxLen -= off;
    ReturnToUsualSize(c);
}

static void DeliverInbox(WvTcpConn* c);

static void RunEndNotice(void* arg) {
    WvTcpConn* c = static_cast<WvTcpConn*>(arg);
    DeliverInbox(c);
    if (c->fn) c->fn(c->ctx, nullptr);
    ConnRelease(c);
}

// The page host closed the connection (it ended, or dropped this view): the
// view's handler hears of it once, from the runtime window, after what the
// page sent before; a started page host is forgotten, so a later view starts
// a fresh one.
static void ConnEnded(WvTcpConn* c) {
    if (c->closed) return;
    ConnClose(c);
    c->ended = true;
    DebugLogWrite(kLogName, "the page host closed the view's connection: the view has ended");
    WvPageHostForget();
    WvPaneShowEnded(c->pane);
    c->refs++;
    if (!WvQueueCall(RunEndNotice, c)) c->refs--;
}

enum RecvResult { kRecvGot, kRecvEmpty, kRecvEnded };

// Room for at least kRecvRoomMin more bytes, and for the frame in the
// buffer whole with a byte after it (its text is ended in place when it moves
// into the inbox). Up to the usual size the buffer doubles; past it, it grows
// to what that frame needs and no further. False (the link closed) when out
// of memory.
static bool MakeReceiveRoom(WvTcpConn* c) {
    CheckedSize need(c->rxLen);
    need.Add(kRecvRoomMin);
    uint32_t n;
    if (ByteReader(c->rx, c->rxLen).U32At(0, &n) && n <= kMaxFrame && kFrameHead + n + 1 > need.Size()) {
        need = CheckedSize(n);
        need.Add(kFrameHead + 1);
    }
    if (need.Size() <= c->rxCap) return true;
    CheckedSize doubled(c->rxCap);
    doubled.Mul(2).Add(8192);
    size_t want = doubled.Size() < kRecvUsual ? doubled.Size() : kRecvUsual;
    if (want < need.Size()) want = need.Size();
    uint8_t* grown = static_cast<uint8_t*>(GuardedRealloc(c->rx, want));
    if (!grown) {
        ConnClose(c);
        return false;
    }
    c->rx = grown;
    c->rxCap = want;
    return true;
}

// Takes in the bytes one read brought (got > 0) or the link's end (got 0).
static RecvResult TakeReceived(WvTcpConn* c, int got) {
    if (got <= 0) {
        ConnEnded(c);
        return kRecvEnded;
    }
    c->rxLen += static_cast<size_t>(got);
    ParseFrames(c);
    return c->closed ? kRecvEnded : kRecvGot;
}

// One read of what the socket holds: kRecvGot when bytes came (and were
// split into frames), kRecvEmpty when there was nothing, kRecvEnded when the
// link has ended.
static RecvResult ReceiveOnce(WvTcpConn* c) {
    if (c->closed || !MakeReceiveRoom(c)) return kRecvEnded;
    int got = recv(c->sock, reinterpret_cast<char*>(c->rx + c->rxLen), static_cast<int>(c->rxCap - c->rxLen), 0);
    if (got < 0 && WSAGetLastError() == WSAEWOULDBLOCK) return kRecvEmpty;
    return TakeReceived(c, got);
}

// One read that waits up to ms for bytes; kRecvEmpty when nothing came in
// time.
static RecvResult ReceiveWithin(WvTcpConn* c, DWORD ms) {
    if (c->closed || !MakeReceiveRoom(c)) return kRecvEnded;
    int got = RecvWithin(c->sock, reinterpret_cast<char*>(c->rx + c->rxLen), static_cast<int>(c->rxCap - c->rxLen), ms);
    return got == kSockWaitTimedOut ? kRecvEmpty : TakeReceived(c, got);
}

// Reads what the socket holds now; false when the link has ended.
static bool ReceiveAvailable(WvTcpConn* c) {
    for (;;) {
        RecvResult r = ReceiveOnce(c);
        if (r == kRecvEmpty) return true;
        if (r == kRecvEnded) return false;
    }
}

// Hands the inbox to the subscriber one message at a time (a handler may
// post, and so read more, while it runs).
static void DeliverInbox(WvTcpConn* c) {
    c->refs++;
    while (c->inboxHead) {
        WvInboxItem* item = c->inboxHead;
        c->inboxHead = item->next;
        if (!c->inboxHead) c->inboxTail = nullptr;
        WCHAR* wide = WvUtf8ToWide(item->text);
        InboxItemFree(item);
        if (wide && c->fn) c->fn(c->ctx, wide);
        GuardedFree(wide);
    }
    ConnRelease(c);
}

static void RunQueuedDelivery(void* arg) {
    WvTcpConn* c = static_cast<WvTcpConn*>(arg);
    c->deliveryQueued = false;
    DeliverInbox(c);
    ConnRelease(c);
}

static void QueueDelivery(WvTcpConn* c) {
    if (!c->inboxHead || c->deliveryQueued) return;
    c->refs++;
    c->deliveryQueued = true;
    if (!WvQueueCall(RunQueuedDelivery, c)) {
        c->deliveryQueued = false;
        c->refs--;
    }
}

// The page has acknowledged every post again: posts go out and the veil
// leaves the pane.
static void NoteAnsweringAgain(WvTcpConn* c) {
    if (!c->notAnswering || c->closed || c->acks < c->posts) return;
    c->notAnswering = false;
    WvPaneShowNotAnswering(c->pane, false);
    DebugLogWrite(kLogName, "the page acknowledges again: posts go out again");
}

// Reads what the socket holds, handing each page message over as soon as it
// is whole, before the next read: messages nobody asked for never pile up in
// the inbox (several large ones at once would cost the client their sum). At
// most kReadsPerNotice reads: a page that sends faster than the client takes
// its messages kept the notice reading for ever, and the server's requests
// behind it waited; a read that leaves bytes brings the socket's next notice.
static const uint32_t kReadsPerNotice = 8;

static void TcpSocketNotice(WPARAM sock, LPARAM) {
    for (WvTcpConn* c = gTcpConns; c; c = c->next) {
        if (c->sock != static_cast<SOCKET>(sock) || c->closed) continue;
        c->refs++;
        RecvResult r = kRecvGot;
        for (uint32_t reads = 0; r == kRecvGot && reads < kReadsPerNotice; reads++) {
            r = ReceiveOnce(c);
            NoteAnsweringAgain(c);
            DeliverInbox(c);
        }
        ConnRelease(c);
        return;
    }
}

static WvTcpConn* ConnOf(WvObject* obj) { return obj ? static_cast<WvTcpConn*>(obj->impl) : nullptr; }

// ---- Operations -------------------------------------------------------------------

// ---- The view's window: the page's picture and the user's input ----------------------

// Paints the page 1:1 at the pane's top left; the newest picture is decoded
// first. A picture that does not decode keeps the one before.
static bool PaintPicture(void* ctx, HDC dc, const RECT* area) {
    WvTcpConn* c = static_cast<WvTcpConn*>(ctx);
    if (c->picture) {
        DecodedImage fresh = {};
        if (PngDecode(c->picture, c->pictureLen, &fresh, nullptr, kPngNoBackground) == kPngOk && fresh.bits) {
            LocalFreeMem(c->shown.bits);
            c->shown = fresh;
        }
        GuardedFree(c->picture);
        c->picture = nullptr;
    }
    if (!c->shown.bits) return false;
    const BITMAPINFOHEADER& h = c->shown.header;
    LONG w = h.biWidth, ht = h.biHeight < 0 ? -h.biHeight : h.biHeight;
    SetDIBitsToDevice(dc, 0, 0, static_cast<DWORD>(w), static_cast<DWORD>(ht), 0, 0, 0, static_cast<UINT>(ht),
                      c->shown.bits, reinterpret_cast<const BITMAPINFO*>(&c->shown), DIB_RGB_COLORS);
    // What the picture does not cover (the page is being resized) stays white.
    HBRUSH white = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    RECT right = {w, 0, area->right, area->bottom}, below = {0, ht, w, area->bottom};
    if (right.left < right.right) FillRect(dc, &right, white);
    if (below.top < below.bottom) FillRect(dc, &below, white);
    return true;
}

static int InputModifiers() {
    int mods = 0;
    if (GetKeyState(VK_MENU) & 0x8000) mods |= kModAlt;
    if (GetKeyState(VK_CONTROL) & 0x8000) mods |= kModCtrl;
    if (GetKeyState(VK_SHIFT) & 0x8000) mods |= kModShift;
    return mods;
}

static void SendInputFrame(WvTcpConn* c, const char* json) {
    SendFrame(c, 'I', json, static_cast<uint32_t>(strlen(json)));
}

static void SendMouse(WvTcpConn* c, const char* type, const char* button, int x, int y, int clicks, int dy) {
    char json[kInputJsonMax];
    snprintf(json, sizeof json,
             "{\"t\":\"m\",\"type\":\"%s\",\"button\":\"%s\",\"x\":%d,\"y\":%d,\"clicks\":%d,\"dy\":%d,\"mods\":%d}",
             type, button, x, y, clicks, dy, InputModifiers());
    SendInputFrame(c, json);
}

static const char* ButtonOf(UINT msg) {
    switch (msg) {
    case WM_LBUTTONDOWN: case WM_LBUTTONUP: case WM_LBUTTONDBLCLK: return "left";
    case WM_RBUTTONDOWN: case WM_RBUTTONUP: case WM_RBUTTONDBLCLK: return "right";
    case WM_MBUTTONDOWN: case WM_MBUTTONUP: case WM_MBUTTONDBLCLK: return "middle";
    default: return "none";
    }
}

static const char* HeldButton(WPARAM keys) {
    if (keys & MK_LBUTTON) return "left";
    if (keys & MK_RBUTTON) return "right";
    if (keys & MK_MBUTTON) return "middle";
    return "none";
}

// A character the window received, as UTF-8 for the page. Control characters
// other than Enter come from their key downs alone.
static void SendChar(WvTcpConn* c, WPARAM ch) {
    if (ch < 32 && ch != '\r') return;
    char ansi[2] = {static_cast<char>(ch), 0};
    WCHAR wide[2] = {};
    if (!MultiByteToWideChar(CP_ACP, 0, ansi, 1, wide, 1)) return;
    char utf8[8] = {};
    int n = WideCharToMultiByte(CP_UTF8, 0, wide, 1, utf8, sizeof utf8 - 1, nullptr, nullptr);
    if (n <= 0) return;
    char json[kInputJsonMax];
    const char* text = utf8[0] == '\r' ? "\\r" : utf8[0] == '"' ? "\\\"" : utf8[0] == '\\' ? "\\\\" : utf8;
    snprintf(json, sizeof json, "{\"t\":\"c\",\"text\":\"%s\",\"mods\":%d}", text, InputModifiers());
    SendInputFrame(c, json);
}

static void SendKey(WvTcpConn* c, const char* type, WPARAM vk) {
    char json[kInputJsonMax];
    snprintf(json, sizeof json, "{\"t\":\"k\",\"type\":\"%s\",\"vk\":%u,\"mods\":%d}", type,
             static_cast<unsigned>(vk), InputModifiers());
    SendInputFrame(c, json);
}

// ---- The clipboard: the page's copy, cut and paste go through Windows' own --------------
// The browser keeps a clipboard of its own, cut off from every other
// program; so the keys that copy, cut and paste never reach it. Copy and cut
// ask the page for its selection (a cut also deletes it there) and put it on
// the Windows clipboard; paste types the Windows clipboard's text into the
// page as one insertion, as a native edit's paste does.

enum ClipAction { kClipNone, kClipCopy, kClipCut, kClipPaste };

// Ctrl+C, Ctrl+Insert copy; Ctrl+X, Shift+Delete cut; Ctrl+V, Shift+Insert paste.
static ClipAction ClipActionOfKey(WPARAM vk) {
    bool ctrl = (GetKeyState(VK_CONTROL) & 0x8000) != 0, shift = (GetKeyState(VK_SHIFT) & 0x8000) != 0;
    if ((GetKeyState(VK_MENU) & 0x8000) || ctrl == shift) return kClipNone;
    if (ctrl) return vk == 'C' || vk == VK_INSERT ? kClipCopy : vk == 'X' ? kClipCut : vk == 'V' ? kClipPaste : kClipNone;
    return vk == VK_INSERT ? kClipPaste : vk == VK_DELETE ? kClipCut : kClipNone;
}

static void PutClipboardText(HWND owner, const char* utf8) {
    WCHAR* wide = WvUtf8ToWide(utf8);
    if (!wide) return;
    size_t bytes = (wcslen(wide) + 1) * sizeof(WCHAR);
    HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE, bytes);
    void* at = mem ? GlobalLock(mem) : nullptr;
    if (at) {
        memcpy(at, wide, bytes);
        GlobalUnlock(mem);
    }
    GuardedFree(wide);
    if (!at || !OpenClipboard(owner)) {
        if (mem) GlobalFree(mem);
        DebugLogWrite(kLogName, "the page's copy could not be put on the clipboard");
        return;
    }
    EmptyClipboard();
    if (!SetClipboardData(CF_UNICODETEXT, mem)) GlobalFree(mem);
    CloseClipboard();
}

// The clipboard's Unicode text as UTF-8 (GuardedFree), null when it has none.
static char* TakeClipboardText(HWND owner) {
    if (!OpenClipboard(owner)) return nullptr;
    char* utf8 = nullptr;
    HANDLE data = GetClipboardData(CF_UNICODETEXT);
    const WCHAR* wide = data ? static_cast<const WCHAR*>(GlobalLock(data)) : nullptr;
    if (wide) {
        size_t n = 0;
        utf8 = WvWideToUtf8(wide, &n);
        GlobalUnlock(data);
    }
    CloseClipboard();
    return utf8;
}

// Sends an input frame the page answers with a 'Y' frame and waits for the
// answer as a post's acknowledgement is waited for (a copy must be on the
// clipboard before a paste that follows at once reads it): the answer
// (GuardedFree), null when none came within kAckBoundMs.
static char* AskPage(WvTcpConn* c, const char* json) {
    // A page known to be stuck is not asked: the user's key would freeze
    // the window for the whole bound each time.
    if (c->notAnswering) return nullptr;
    uint32_t asked = ++c->questionsAsked;
    char framed[kInputJsonMax];
    size_t len = strlen(json);
    if (len < 2 || len + kQuestionNumberRoom >= sizeof framed) return nullptr;
    // The question's number goes into the frame's object: {"n":N,...}.
    snprintf(framed, sizeof framed, "{\"n\":%u,%s", asked, json + 1);
    SendInputFrame(c, framed);
    DWORD start = GetTickCount();
    for (DWORD waited = 0; !c->closed && c->questionsAnswered < asked && waited < kAckBoundMs;
         waited = GetTickCount() - start)
        if (ReceiveWithin(c, kAckBoundMs - waited) == kRecvEnded) break;
    QueueDelivery(c);
    if (c->questionsAnswered != asked) {
        DebugLogWrite(kLogName, "the page did not answer a copy or an edit menu within %lu ms",
                      static_cast<unsigned long>(kAckBoundMs));
        return nullptr;
    }
    char* got = c->answer;
    c->answer = nullptr;
    return got;
}

// The selection's text put on the clipboard; an empty selection leaves the
// clipboard as it is, as a native edit's copy does.
static void CopyFromPage(WvTcpConn* c, HWND pane, bool cut) {
    char* text = AskPage(c, cut ? "{\"t\":\"y\",\"cut\":1}" : "{\"t\":\"y\",\"cut\":0}");
    if (text && text[0]) PutClipboardText(pane, text);
    GuardedFree(text);
}

// The text as a JSON string's contents (GuardedFree); null when out of memory.
static char* JsonEscaped(const char* text) {
    CheckedSize room(strlen(text));
    room.Mul(6).Add(1);
    if (!room.Fits(kMaxFrame)) return nullptr;
    char* out = static_cast<char*>(GuardedAlloc(room.Size()));
    if (!out) return nullptr;
    char* at = out;
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p; p++) {
        if (*p == '"' || *p == '\\') {
            *at++ = '\\';
            *at++ = static_cast<char>(*p);
        } else if (*p < 0x20) {
            at += sprintf(at, "\\u%04x", *p);
        } else {
            *at++ = static_cast<char>(*p);
        }
    }
    *at = 0;
    return out;
}

static void PasteToPage(WvTcpConn* c, HWND pane) {
    char* text = TakeClipboardText(pane);
    char* escaped = text && text[0] ? JsonEscaped(text) : nullptr;
    GuardedFree(text);
    if (!escaped) return;
    static const char kHead[] = "{\"t\":\"p\",\"text\":\"", kTail[] = "\"}";
    CheckedSize n(strlen(escaped));
    n.Add(sizeof kHead + sizeof kTail);
    char* json = n.Fits(kMaxFrame) ? static_cast<char*>(GuardedAlloc(n.Size())) : nullptr;
    if (json) {
        snprintf(json, n.Size(), "%s%s%s", kHead, escaped, kTail);
        SendInputFrame(c, json);
    }
    GuardedFree(json);
    GuardedFree(escaped);
}

// Whether the key down was one of the clipboard's, carried out here.
static bool ClipboardKey(WvTcpConn* c, HWND pane, WPARAM vk) {
    switch (ClipActionOfKey(vk)) {
    case kClipCopy: CopyFromPage(c, pane, false); return true;
    case kClipCut: CopyFromPage(c, pane, true); return true;
    case kClipPaste: PasteToPage(c, pane); return true;
    default: return false;
    }
}

// ---- The edit menu: a right-click on the page's focused text field --------------------
// The same menu, items and enabled states as a native edit's, working on the
// same clipboard. The page answers what the field allows as five '0'/'1'
// characters (kEditState*), or "" when the click was not on the focused field.

enum EditMenuItem { kEditNone, kEditUndo, kEditCut, kEditCopy, kEditPaste, kEditDelete, kEditSelectAll };
static const int kEditMenuByKey = -1;   // the edit menu's point: asked of the page
enum EditStateChar { kEditStateUndo, kEditStateSelected, kEditStateEditable, kEditStatePassword, kEditStatePartly,
                     kEditStateLen };

static bool AddEditItem(HMENU menu, EditMenuItem item, const char* text, bool enabled) {
    return AppendMenuA(menu, MF_STRING | (enabled ? MF_ENABLED : MF_GRAYED), item, text);
}

static void RunEditCommand(WvTcpConn* c, HWND pane, UINT item) {
    switch (item) {
    case kEditUndo: SendInputFrame(c, "{\"t\":\"x\",\"cmd\":\"undo\"}"); break;
    case kEditCut: CopyFromPage(c, pane, true); break;
    case kEditCopy: CopyFromPage(c, pane, false); break;
    case kEditPaste: PasteToPage(c, pane); break;
    case kEditDelete: SendInputFrame(c, "{\"t\":\"x\",\"cmd\":\"delete\"}"); break;
    case kEditSelectAll: SendInputFrame(c, "{\"t\":\"x\",\"cmd\":\"selectAll\"}"); break;
    default: break;
    }
}

// At x, y of a right-click; from the keyboard (kEditMenuByKey) at the centre
// of the focused field, which the page then answers after the state
// (":X:Y"). False when none was shown: there was no field to show it for,
// or the system did not take every item (memory short).
static bool ShowEditMenu(WvTcpConn* c, HWND pane, int x, int y) {
    char json[kInputJsonMax];
    snprintf(json, sizeof json, "{\"t\":\"e\",\"x\":%d,\"y\":%d}", x, y);
    char* state = AskPage(c, json);
    bool field = state && strlen(state) >= kEditStateLen;
    bool on[kEditStateLen] = {};
    for (int i = 0; field && i < kEditStateLen; i++) on[i] = state[i] == '1';
    if (field && x == kEditMenuByKey) field = sscanf(state + kEditStateLen, ":%d:%d", &x, &y) == 2;
    GuardedFree(state);
    HMENU menu = field ? CreatePopupMenu() : nullptr;
    if (!menu) return false;
    bool editable = on[kEditStateEditable], selected = on[kEditStateSelected], hidden = on[kEditStatePassword];
    bool taken = AddEditItem(menu, kEditUndo, "&Undo", on[kEditStateUndo] && editable) &&
                 AppendMenuA(menu, MF_SEPARATOR, 0, nullptr) &&
                 AddEditItem(menu, kEditCut, "Cu&t", selected && editable && !hidden) &&
                 AddEditItem(menu, kEditCopy, "&Copy", selected && !hidden) &&
                 AddEditItem(menu, kEditPaste, "&Paste", editable && IsClipboardFormatAvailable(CF_UNICODETEXT)) &&
                 AddEditItem(menu, kEditDelete, "&Delete", selected && editable) &&
                 AppendMenuA(menu, MF_SEPARATOR, 0, nullptr) &&
                 AddEditItem(menu, kEditSelectAll, "Select &All", on[kEditStatePartly]);
    if (!taken) {
        DestroyMenu(menu);
        DebugLogWrite("ShowEditMenu", "the system did not take the edit menu's items: not shown");
        return false;
    }
    POINT at = {x, y};
    ClientToScreen(pane, &at);
    // The menu's own loop may run a handler that closes the view: the
    // connection is held until the choice has been carried out.
    c->refs++;
    UINT chosen = static_cast<UINT>(TrackPopupMenu(menu, TPM_LEFTALIGN | TPM_RIGHTBUTTON | TPM_RETURNCMD | TPM_NONOTIFY,
                                                   at.x, at.y, 0, pane, nullptr));
    DestroyMenu(menu);
    if (!c->closed && IsWindow(pane)) RunEditCommand(c, pane, chosen);
    ConnRelease(c);
    return true;
}

// Shift+F10 and the menu key open the focused field's edit menu, as they do
// a native edit's; elsewhere they go to the page.
static bool EditMenuKey(WvTcpConn* c, HWND pane, WPARAM vk) {
    bool shift = (GetKeyState(VK_SHIFT) & 0x8000) != 0, others = (GetKeyState(VK_CONTROL) & 0x8000) ||
                                                               (GetKeyState(VK_MENU) & 0x8000);
    if (others || !(vk == VK_APPS || (vk == VK_F10 && shift))) return false;
    return ShowEditMenu(c, pane, kEditMenuByKey, kEditMenuByKey);
}

// Whether the system keys in the pane are the page's: its window has no
// native menu bar for them.
static bool PageHasMenuKeys(HWND pane) { return !GetMenu(GetAncestor(pane, GA_ROOT)); }

// The user's mouse, wheel and keys in the pane go to the page. A press takes
// the keyboard focus and the mouse capture (a drag goes on outside the pane).
// While the page is not answering they wait in the page host's queue, as a
// busy native window's input waits in its own, and reach the page once it
// goes on.
static bool PaneInput(void* ctx, HWND pane, UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) {
    WvTcpConn* c = static_cast<WvTcpConn*>(ctx);
    if (c->closed) return false;
    int x = GET_X_LPARAM(lp), y = GET_Y_LPARAM(lp);
    *result = 0;
    switch (msg) {
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDBLCLK: {
        bool dbl = msg == WM_LBUTTONDBLCLK || msg == WM_RBUTTONDBLCLK || msg == WM_MBUTTONDBLCLK;
        c->clicks = dbl ? 2 : 1;
        if (GetFocus() != pane) SetFocus(pane);
        SetCapture(pane);
        SendMouse(c, "down", ButtonOf(msg), x, y, c->clicks, 0);
        return true;
    }
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP:
        SendMouse(c, "up", ButtonOf(msg), x, y, c->clicks ? c->clicks : 1, 0);
        if (!(wp & (MK_LBUTTON | MK_RBUTTON | MK_MBUTTON)) && GetCapture() == pane) ReleaseCapture();
        if (msg == WM_RBUTTONUP) ShowEditMenu(c, pane, x, y);
        return true;
    case WM_MOUSEMOVE:
        SendMouse(c, "move", HeldButton(wp), x, y, 0, 0);
        return true;
    case WM_MOUSEWHEEL: {
        // The wheel's point is on the screen.
        POINT p = {x, y};
        ScreenToClient(pane, &p);
        int notches = GET_WHEEL_DELTA_WPARAM(wp);
        SendMouse(c, "wheel", "none", p.x, p.y, 0, -notches * kWheelPixels / WHEEL_DELTA);
        return true;
    }
    // Alt, F10 and Alt with a letter are the page's menu bar's: the system's
    // own menu loop would take the keys after them from the page. Alt+F4
    // (close) and Alt+Space (the window menu) stay the system's, and so do
    // they all in a window with a native menu bar (an HTML control's page);
    // Alt+F4 closes the page's own window in front, where there is one (the
    // page still sees the key: Alt did not come alone).
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
        if (msg == WM_KEYDOWN && ClipboardKey(c, pane, wp)) return true;
        if (EditMenuKey(c, pane, wp)) return true;
        SendKey(c, "down", wp);
        if (msg == WM_SYSKEYDOWN && wp == VK_F4 && gWvPaneCloseKey && gWvPaneCloseKey(pane)) return true;
        return msg == WM_KEYDOWN || (PageHasMenuKeys(pane) && wp != VK_F4);
    case WM_KEYUP:
    case WM_SYSKEYUP:
        SendKey(c, "up", wp);
        return msg == WM_KEYUP || PageHasMenuKeys(pane);
    case WM_SYSCHAR:
        return wp != ' ' && PageHasMenuKeys(pane);
    case WM_CHAR:
        SendChar(c, wp);
        return true;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
        SendInputFrame(c, msg == WM_SETFOCUS ? "{\"t\":\"f\",\"on\":1}" : "{\"t\":\"f\",\"on\":0}");
        return true;
    case WM_GETDLGCODE:
        *result = DLGC_WANTALLKEYS | DLGC_WANTCHARS;
        return true;
    default:
        return false;
    }
}

static const WvPaneClient kTcpPaneClient = {PaintPicture, PaneInput};

static HRESULT TcpCreateEnvironment(WvCreatedFn done, void* ctx) {
    // A page host named by its port, else the one this client starts.
    const char* port = GetSetting(kPortSetting);
    long number = port ? atol(port) : WvPageHostStart();
    if (number <= 0 || number > 65535) return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
    if (!gWsaStarted) {
        WSADATA data;
        if (WSAStartup(MAKEWORD(2, 2), &data) != 0) return E_FAIL;
        gWsaStarted = true;
    }
    WvTcpEnv* env = static_cast<WvTcpEnv*>(GuardedAlloc(sizeof(WvTcpEnv)));
    if (!env) return E_OUTOFMEMORY;
    env->port = static_cast<uint16_t>(number);
    WvObject* obj = WvObjectNew(&kWvRuntimePageHost, kWvEnvironment, env);
    if (!obj) {
        GuardedFree(env);
        return E_OUTOFMEMORY;
    }
    return QueueCompletion(done, ctx, S_OK, obj);
}

static HRESULT TcpCreateController(WvObject* envObj, HWND parent, WvCreatedFn done, void* ctx) {
    if (!envObj || envObj->kind != kWvEnvironment) return E_INVALIDARG;
    WvTcpEnv* env = static_cast<WvTcpEnv*>(envObj->impl);
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == INVALID_SOCKET) return QueueCompletion(done, ctx, E_FAIL, nullptr);
    sockaddr_in addr = {};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(env->port);
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    BOOL noDelay = TRUE;
    setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&noDelay), sizeof noDelay);
    if (connect(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        closesocket(s);
        return QueueCompletion(done, ctx, HRESULT_FROM_WIN32(WSAECONNREFUSED), nullptr);
    }
    WvTcpConn* c = static_cast<WvTcpConn*>(GuardedAlloc(sizeof(WvTcpConn)));
    if (!c) {
        closesocket(s);
        return E_OUTOFMEMORY;
    }
    memset(c, 0, sizeof *c);
    c->sock = s;
    c->refs = 1;
    c->next = gTcpConns;
    gTcpConns = c;
    gWvSocketNotice = TcpSocketNotice;
    c->pane = WvPaneCreate(parent, &kTcpPaneClient, c);
    // Also makes the socket non-blocking.
    WSAAsyncSelect(s, WvRuntimeWindow(), kWmWvSocket, FD_READ | FD_CLOSE);
    WvObject* obj = WvObjectNew(&kWvRuntimePageHost, kWvController, c);
    if (!obj) {
        ConnRelease(c);
        return E_OUTOFMEMORY;
    }
    return QueueCompletion(done, ctx, S_OK, obj);
}

static HRESULT TcpGetView(WvObject* controller, WvObject** view) {
    WvTcpConn* c = ConnOf(controller);
    if (!c || !view) return E_POINTER;
    *view = WvObjectNew(&kWvRuntimePageHost, kWvView, c);
    if (!*view) return E_OUTOFMEMORY;
    c->refs++;
    return S_OK;
}

static HRESULT TcpPutBounds(WvObject* controller, const RECT* r) {
    WvPaneSetBounds(ConnOf(controller)->pane, r);
    uint32_t size[2] = {static_cast<uint32_t>(r->right > r->left ? r->right - r->left : 0),
                        static_cast<uint32_t>(r->bottom > r->top ? r->bottom - r->top : 0)};
    return SendFrame(ConnOf(controller), 'B', size, sizeof size);
}

static HRESULT TcpPutVisible(WvObject* controller, BOOL visible) {
    WvPaneSetVisible(ConnOf(controller)->pane, visible != FALSE);
    return S_OK;
}
static HRESULT TcpMoveFocus(WvObject* controller) {
    WvTcpConn* c = ConnOf(controller);
    if (c->pane && IsWindowVisible(c->pane)) SetFocus(c->pane);
    return SendFrame(c, 'F', nullptr, 0);
}
static HRESULT TcpNotifyMoved(WvObject* controller) { return SendFrame(ConnOf(controller), 'M', nullptr, 0); }

static HRESULT TcpPutBackColor(WvObject* controller, WvColor color) {
    uint8_t argb[4] = {color.a, color.r, color.g, color.b};
    return SendFrame(ConnOf(controller), 'C', argb, sizeof argb);
}

static HRESULT TcpCloseController(WvObject* controller) {
    WvTcpConn* c = ConnOf(controller);
    SendFrame(c, 'X', nullptr, 0);
    ConnClose(c);
    WvPaneDestroy(c->pane);
    c->pane = nullptr;
    return S_OK;
}

static HRESULT TcpApplySettings(WvObject*, const WvSettings*) { return S_OK; }

static HRESULT TcpSendText(WvTcpConn* c, char type, const WCHAR* text, uint32_t* posted) {
    size_t n = 0;
    char* utf8 = WvWideToUtf8(text, &n);
    if (!utf8) return E_OUTOFMEMORY;
    HRESULT hr = n > kMaxFrame ? E_INVALIDARG : SendFrame(c, type, utf8, static_cast<uint32_t>(n));
    GuardedFree(utf8);
    if (SUCCEEDED(hr) && posted) *posted = ++c->posts;
    return hr;
}

// A page file on a drive goes to the page host by its Unix path: its browser
// knows no drive letters.
static HRESULT TcpNavigate(WvObject* view, const WCHAR* url) {
    WCHAR unixUrl[kUnixUrlMax];
    return TcpSendText(ConnOf(view), 'N', WvFileUrlToUnix(url, unixUrl, kUnixUrlMax) ? unixUrl : url, nullptr);
}

static HRESULT TcpAddHandler(WvObject* view, WvMessageFn fn, void* ctx, int64_t* token) {
    WvTcpConn* c = ConnOf(view);
    c->fn = fn;
    c->ctx = ctx;
    c->token = ++gTcpTokens;
    if (token) *token = c->token;
    return S_OK;
}

static HRESULT TcpRemoveHandler(WvObject* view, int64_t token) {
    WvTcpConn* c = ConnOf(view);
    if (c->token != token) return E_INVALIDARG;
    c->fn = nullptr;
    c->ctx = nullptr;
    return S_OK;
}

// Whether the page has acknowledged every post by now (reads what arrived,
// without waiting).
static bool CaughtUp(WvTcpConn* c) {
    ReceiveAvailable(c);
    QueueDelivery(c);
    return !c->closed && c->acks >= c->posts;
}

// A view that missed the bound answers again once the page has acknowledged
// every post; until then it is not answering.
static HRESULT ConnHealth(WvTcpConn* c) {
    if (c->closed) return kWvEnded;
    if (!c->notAnswering) return S_OK;
    if (!CaughtUp(c)) return c->closed ? kWvEnded : kWvNotAnswering;
    NoteAnsweringAgain(c);
    return S_OK;
}

static HRESULT TcpViewHealth(WvObject* view) { return ConnHealth(ConnOf(view)); }

// Posts and waits, up to kAckBoundMs, for the host's acknowledgement: the
// page has carried the text out and its answer is already in the inbox. The
// inbox is then handed over at once (a page message only queues work or
// fills a waiting query), so the answer is in place when the post returns and
// the reply wait needs no turn of the message loop; what came without the
// acknowledgement is handed over from the window. A post to a view that is
// not answering goes out without a wait (kWvPostQueued): what it carries was
// answered for already (changes batched before the page fell behind), and
// dropped it would never reach the page.
static HRESULT TcpPostString(WvObject* view, const WCHAR* text) {
    WvTcpConn* c = ConnOf(view);
    HRESULT health = ConnHealth(c);
    if (health == kWvEnded) return health;
    uint32_t posted = 0;
    HRESULT hr = TcpSendText(c, 'P', text, &posted);
    if (FAILED(hr)) return c->ended ? kWvEnded : hr;
    if (health == kWvNotAnswering) return kWvPostQueued;
    QOV_HOP(kHopPostSent);
    DWORD start = GetTickCount();
    // One read per wake: the acknowledgement comes last, with the answer
    // before it in the same write, so a read that brings it ends the wait
    // without a second socket call that would only find the socket empty.
    // Whatever follows is announced to the window (WSAAsyncSelect announces
    // again after every read that leaves bytes behind).
    for (DWORD waited = 0; !c->closed && c->acks < posted && waited < kAckBoundMs; waited = GetTickCount() - start)
        if (ReceiveWithin(c, kAckBoundMs - waited) == kRecvEnded) break;
    if (c->closed) {
        QueueDelivery(c);
        return kWvEnded;
    }
    if (c->acks >= posted) {
        QOV_HOP(kHopPageAnswered);
        DeliverInbox(c);
        QOV_HOP(kHopPostDone);
        return S_OK;
    }
    QueueDelivery(c);
    c->notAnswering = true;
    WvPaneShowNotAnswering(c->pane, true);
    DebugLogWrite(kLogName, "the page did not acknowledge a post within %lu ms: the view is not answering",
                  static_cast<unsigned long>(kAckBoundMs));
    return kWvPostQueued;
}

static void TcpDestroy(WvObject* obj) {
    if (obj->kind == kWvEnvironment) GuardedFree(obj->impl);
    else ConnRelease(static_cast<WvTcpConn*>(obj->impl));
}

const WvRuntime kWvRuntimePageHost = {
    .name = "pagehost",
    .createEnvironment = TcpCreateEnvironment,
    .createController = TcpCreateController,
    .getView = TcpGetView,
    .putBounds = TcpPutBounds,
    .putVisible = TcpPutVisible,
    .moveFocus = TcpMoveFocus,
    .notifyParentMoved = TcpNotifyMoved,
    .putBackColor = TcpPutBackColor,
    .closeController = TcpCloseController,
    .applySettings = TcpApplySettings,
    .navigate = TcpNavigate,
    .addMessageHandler = TcpAddHandler,
    .removeMessageHandler = TcpRemoveHandler,
    .postString = TcpPostString,
    .destroy = TcpDestroy,
    .viewHealth = TcpViewHealth,
};
