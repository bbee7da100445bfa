// msgorder.cpp - the message-order recorder: the subclass procedure that
// records what the watched windows receive, the queue hook that tells posted
// messages from sent ones, the event drain, and the comparison with its report.
#include "tests/gui/msgorder.h"

#include <commctrl.h>

#include <cstdio>
#include <cstring>
#include <initializer_list>

#include "objects/events.h"
#include "tests/gui/testwindow.h"
#include "tests/testutil.h"

namespace {

struct WatchSlot {
    HWND wnd;
    WNDPROC oldProc;
    const char* name;
    bool recording;     // false once unwatched while another procedure sits over ours
};

WatchSlot gSlots[kMsgWatchMax];
uint32_t gSlotCount;
UINT gFilter[kMsgFilterMax];
uint32_t gFilterCount;
MsgEntry gRecord[kMsgRecordMax];
uint32_t gRecordCount;
uint32_t gRecordLost;       // entries past kMsgRecordMax
HHOOK gQueueHook;

// The message the queue hook saw taken last. The next time it reaches a
// watched window it arrives by dispatch, i.e. posted; nested messages that a
// window sends while handling it differ from it and count as sent.
struct PendingPosted {
    bool valid;
    HWND wnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
} gPending;

struct NameRow {
    UINT id;
    const char* name;
};

const NameRow kMessageNames[] = {
    {WM_CREATE, "WM_CREATE"},         {WM_DESTROY, "WM_DESTROY"},
    {WM_MOVE, "WM_MOVE"},             {WM_SIZE, "WM_SIZE"},
    {WM_ACTIVATE, "WM_ACTIVATE"},     {WM_SETFOCUS, "WM_SETFOCUS"},
    {WM_KILLFOCUS, "WM_KILLFOCUS"},   {WM_ENABLE, "WM_ENABLE"},
    {WM_SETTEXT, "WM_SETTEXT"},       {WM_PAINT, "WM_PAINT"},
    {WM_CLOSE, "WM_CLOSE"},           {WM_SHOWWINDOW, "WM_SHOWWINDOW"},
    {WM_ACTIVATEAPP, "WM_ACTIVATEAPP"}, {WM_MOUSEACTIVATE, "WM_MOUSEACTIVATE"},
    {WM_WINDOWPOSCHANGING, "WM_WINDOWPOSCHANGING"}, {WM_WINDOWPOSCHANGED, "WM_WINDOWPOSCHANGED"},
    {WM_NOTIFY, "WM_NOTIFY"},         {WM_NCACTIVATE, "WM_NCACTIVATE"},
    {WM_GETDLGCODE, "WM_GETDLGCODE"}, {WM_KEYDOWN, "WM_KEYDOWN"},
    {WM_KEYUP, "WM_KEYUP"},           {WM_CHAR, "WM_CHAR"},
    {WM_SYSKEYDOWN, "WM_SYSKEYDOWN"}, {WM_COMMAND, "WM_COMMAND"},
    {WM_SYSCOMMAND, "WM_SYSCOMMAND"}, {WM_MOUSEMOVE, "WM_MOUSEMOVE"},
    {WM_LBUTTONDOWN, "WM_LBUTTONDOWN"}, {WM_LBUTTONUP, "WM_LBUTTONUP"},
    {WM_LBUTTONDBLCLK, "WM_LBUTTONDBLCLK"}, {WM_RBUTTONDOWN, "WM_RBUTTONDOWN"},
    {WM_RBUTTONUP, "WM_RBUTTONUP"},   {WM_CAPTURECHANGED, "WM_CAPTURECHANGED"},
    {WM_CTLCOLORBTN, "WM_CTLCOLORBTN"}, {WM_CTLCOLORLISTBOX, "WM_CTLCOLORLISTBOX"},
    {BM_CLICK, "BM_CLICK"},           {BM_SETSTATE, "BM_SETSTATE"},
    {BM_SETCHECK, "BM_SETCHECK"},     {LB_SETCURSEL, "LB_SETCURSEL"},
    {LB_GETCURSEL, "LB_GETCURSEL"},
};

const NameRow kEventNames[] = {
    {kEvLoad, "$LOAD"},           {kEvActivate, "$ACTIVATE"},   {kEvDeactivate, "$DEACTIVATE"},
    {kEvChange, "$CHANGE"},       {kEvClick, "$CLICK"},         {kEvClose, "$CLOSE"},
    {kEvDblClick, "$DBLCLICK"},   {kEvGotFocus, "$GOTFOCUS"},   {kEvKeyPress, "$KEYPRESS"},
    {kEvLostFocus, "$LOSTFOCUS"}, {kEvMove, "$MOVE"},           {kEvMouseDown, "$MOUSEDOWN"},
    {kEvResize, "$RESIZE"},       {kEvTimer, "$TIMER"},         {kEvValidate, "$VALIDATE"},
};

template <size_t N>
const char* NameOf(const NameRow (&rows)[N], UINT id) {
    for (const NameRow& r : rows)
        if (r.id == id) return r.name;
    return nullptr;
}

int SlotOf(HWND wnd) {
    for (uint32_t i = 0; i < gSlotCount; ++i)
        if (gSlots[i].wnd == wnd) return static_cast<int>(i);
    return -1;
}

bool Filtered(UINT message) {
    if (gFilterCount == 0) return true;
    for (uint32_t i = 0; i < gFilterCount; ++i)
        if (gFilter[i] == message) return true;
    return false;
}

void Append(const MsgEntry& e) {
    if (gRecordCount < kMsgRecordMax) gRecord[gRecordCount++] = e;
    else gRecordLost++;
}

bool TakePendingPosted(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (!gPending.valid || gPending.wnd != wnd || gPending.message != msg || gPending.wParam != wp ||
        gPending.lParam != lp)
        return false;
    gPending.valid = false;
    return true;
}

LRESULT CALLBACK WatchProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
    int slot = SlotOf(wnd);
    if (slot < 0) return DefWindowProcA(wnd, msg, wp, lp);   // not reached: only watched windows get here
    WNDPROC old = gSlots[slot].oldProc;
    bool posted = TakePendingPosted(wnd, msg, wp, lp);
    if (gSlots[slot].recording && Filtered(msg)) {
        // A notification's lParam points at its header, a different place each
        // time: its code is what a sequence can name.
        LPARAM kept = msg == WM_NOTIFY && lp ? static_cast<LPARAM>(reinterpret_cast<const NMHDR*>(lp)->code) : lp;
        Append(MsgEntry{static_cast<uint8_t>(posted ? kSeqPosted : kSeqSent), 0, static_cast<uint8_t>(slot), msg, wp, kept});
    }
    LRESULT result = CallWindowProcA(old, wnd, msg, wp, lp);
    if (msg == WM_NCDESTROY) {
        // The window is gone: its slot must not match a later window that gets the same handle.
        gSlots[slot].wnd = nullptr;
    }
    return result;
}

LRESULT CALLBACK QueueHook(int code, WPARAM removed, LPARAM lp) {
    if (code == HC_ACTION && removed == PM_REMOVE) {
        const MSG* m = reinterpret_cast<const MSG*>(lp);
        gPending = PendingPosted{true, m->hwnd, m->message, m->wParam, m->lParam};
    }
    return CallNextHookEx(gQueueHook, code, removed, lp);
}

std::string Hex(uintptr_t v) {
    char buf[24];
    snprintf(buf, sizeof buf, "0x%lx", static_cast<unsigned long>(v));
    return buf;
}

std::string FlagsText(uint8_t flags) {
    std::string s;
    if (flags & kSeqOptional) s += " (optional)";
    if ((flags & kSeqAnyParams) == kSeqAnyParams) s += " (any params)";
    else if (flags & kSeqAnyWParam) s += " (any wParam)";
    else if (flags & kSeqAnyLParam) s += " (any lParam)";
    return s;
}

bool EntryMatches(const MsgEntry& want, const MsgEntry& got) {
    if (want.kind != got.kind || want.message != got.message) return false;
    if (want.kind != kSeqEvent && want.window != got.window) return false;
    if (!(want.flags & kSeqAnyWParam) && want.wParam != got.wParam) return false;
    if (!(want.flags & kSeqAnyLParam) && want.lParam != got.lParam) return false;
    return true;
}

void ListEntries(std::string* out, const char* title, const MsgEntry* entries, size_t count, size_t mark) {
    *out += title;
    *out += "\n";
    for (size_t i = 0; i < count; ++i) {
        char num[16];
        snprintf(num, sizeof num, "%c %3u  ", i == mark ? '>' : ' ', static_cast<unsigned>(i));
        *out += num + MsgEntryText(entries[i]) + FlagsText(entries[i].flags) + "\n";
    }
    if (count == 0) *out += "      (nothing)\n";
    if (mark == count) *out += ">      (the end)\n";
}

}  // namespace

int MsgWatch(HWND wnd, const char* name) {
    if (gSlotCount >= kMsgWatchMax || !IsWindow(wnd) || SlotOf(wnd) >= 0) return -1;
    if (!gQueueHook) gQueueHook = SetWindowsHookExA(WH_GETMESSAGE, QueueHook, nullptr, GetCurrentThreadId());
    WatchSlot& s = gSlots[gSlotCount];
    s.wnd = wnd;
    s.name = name;
    s.recording = true;
    s.oldProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(wnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(WatchProc)));
    if (!s.oldProc) {
        s = WatchSlot{};
        return -1;
    }
    return static_cast<int>(gSlotCount++);
}

void MsgUnwatchAll() {
    for (uint32_t i = 0; i < gSlotCount; ++i) {
        WatchSlot& s = gSlots[i];
        // A procedure installed over ours later would be cut off; such a window
        // keeps ours, which then only forwards (its slot stays taken).
        if (s.wnd && IsWindow(s.wnd) &&
            GetWindowLongPtrA(s.wnd, GWLP_WNDPROC) == reinterpret_cast<LONG_PTR>(WatchProc))
            SetWindowLongPtrA(s.wnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(s.oldProc));
        else if (s.wnd && IsWindow(s.wnd)) {
            s.recording = false;
            continue;
        }
        s = WatchSlot{};
    }
    uint32_t kept = 0;
    for (uint32_t i = 0; i < gSlotCount; ++i)
        if (gSlots[i].wnd) gSlots[kept++] = gSlots[i];
    gSlotCount = kept;
    if (gSlotCount == 0 && gQueueHook) {
        UnhookWindowsHookEx(gQueueHook);
        gQueueHook = nullptr;
    }
    gPending = PendingPosted{};
    gFilterCount = 0;
}

void MsgSetFilter(const UINT* messages, size_t count) {
    gFilterCount = 0;
    for (size_t i = 0; i < count && gFilterCount < kMsgFilterMax; ++i) gFilter[gFilterCount++] = messages[i];
}

void MsgClear() {
    gRecordCount = 0;
    gRecordLost = 0;
}

void MsgTakeEvents() {
    EventRecord ev = {};
    EventItem items[kEventRegItems];
    uint32_t count = 0;
    while (EventTakeNext(&ev, items, &count))
        Append(MsgEntry{kSeqEvent, 0, 0, static_cast<UINT>(ev.eventId), static_cast<WPARAM>(ev.handle), static_cast<LPARAM>(ev.value)});
}

namespace {

size_t EventsRecorded() {
    size_t n = 0;
    for (uint32_t i = 0; i < gRecordCount; ++i) n += gRecord[i].kind == kSeqEvent;
    return n;
}

}  // namespace

bool MsgMouseClicks(HWND wnd, POINT at, int clicks, void (*pump)()) {
    constexpr int kClicksMax = 2;
    POINT p = at;
    ClientToScreen(wnd, &p);
    INPUT move = MouseInputAt(MOUSEEVENTF_MOVE, p);
    SendInput(1, &move, sizeof move);
    bool there = WaitUntil([&] {
        POINT now = {};
        return GetCursorPos(&now) && now.x == p.x && now.y == p.y;
    }, kWaitDeadlineMs, [&] {
        pump();
        WaitTurn();
    });
    if (!there) return false;
    INPUT in[2 * kClicksMax] = {};
    UINT n = 0;
    for (int i = 0; i < clicks && i < kClicksMax; ++i)
        for (DWORD flags : {MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP}) in[n++] = MouseInputAt(flags, p);
    return SendInput(n, in, sizeof(INPUT)) == n;
}

bool MsgTakeEventsUntil(size_t n, void (*pump)()) {
    bool got = WaitUntil([&] {
        MsgTakeEvents();
        return EventsRecorded() >= n;
    }, kWaitDeadlineMs, [&] {
        pump();
        WaitTurn();
    });
    pump();
    MsgTakeEvents();
    return got;
}

size_t MsgRecordedCount() { return gRecordCount; }
const MsgEntry* MsgRecorded() { return gRecord; }

bool MsgSequenceMatches(const MsgEntry* expected, size_t count, std::string* report) {
    size_t want = 0, got = 0;
    bool ok = gRecordLost == 0;
    while (ok && want < count) {
        if (got < gRecordCount && EntryMatches(expected[want], gRecord[got])) {
            ++want;
            ++got;
        } else if (expected[want].flags & kSeqOptional) {
            ++want;
        } else {
            ok = false;
        }
    }
    if (ok && got == gRecordCount) return true;
    if (report) {
        char head[96];
        snprintf(head, sizeof head, "the sequences part at expected entry %u, recorded entry %u%s\n",
                 static_cast<unsigned>(want), static_cast<unsigned>(got),
                 gRecordLost ? " (the record overflowed)" : "");
        *report = head;
        ListEntries(report, "expected:", expected, count, want);
        ListEntries(report, "recorded:", gRecord, gRecordCount, got);
    }
    return false;
}

::testing::AssertionResult MsgSequenceIs(const MsgEntry* expected, size_t count, const char* what) {
    std::string report;
    if (MsgSequenceMatches(expected, count, &report)) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << what << ": " << report;
}

std::string MsgEntryText(const MsgEntry& e) {
    char buf[160];
    if (e.kind == kSeqEvent) {
        const char* name = NameOf(kEventNames, e.message);
        snprintf(buf, sizeof buf, "event   %-20s handle=%lu value=%ld", name ? name : Hex(e.message).c_str(),
                 static_cast<unsigned long>(e.wParam), static_cast<long>(e.lParam));
        return buf;
    }
    const char* window = e.window < gSlotCount && gSlots[e.window].name ? gSlots[e.window].name : "?";
    const char* name = NameOf(kMessageNames, e.message);
    snprintf(buf, sizeof buf, "%-8s %-6s %-20s wp=%s lp=%s", window, e.kind == kSeqPosted ? "posted" : "sent",
             name ? name : Hex(e.message).c_str(), Hex(e.wParam).c_str(), Hex(static_cast<uintptr_t>(e.lParam)).c_str());
    return buf;
}
