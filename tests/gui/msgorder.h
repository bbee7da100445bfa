// msgorder.h - the message-order recorder of the GUI tests. It subclasses the
// windows a test watches (a control, its parent window), records the messages
// they receive in order - which window, sent or posted, wParam, lParam (for
// WM_NOTIFY the notification code, not the pointer) - and
// the events the client queued for the server, and compares the record with a
// table of expected entries. On a mismatch the report lists both sequences and
// where they part.
//
// Use:
//   MsgWatch(button->hwnd, "button");          // slot 0
//   MsgWatch(window->hwnd, "window");          // slot 1
//   MsgSetFilter(kClickMessages);              // only the messages that matter
//   MsgClear();
//   ... act, pump ...
//   MsgTakeEvents();                           // the events, in the server's order
//   const MsgEntry expected[] = {
//       {kSeqSent, 0, 0, BM_CLICK, 0, 0},
//       {kSeqSent, kSeqAnyLParam, 1, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0},
//       {kSeqEvent, 0, 0, kEvClick, handle, 0},
//   };
//   EXPECT_TRUE(MsgSequenceIs(expected, "a click"));
//   MsgUnwatchAll();
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>

// What an entry records.
enum SeqKind : uint8_t {
    kSeqSent = 1,     // reached the window procedure by SendMessage or a direct call of the system
    kSeqPosted = 2,   // taken from the thread's queue and dispatched
    kSeqEvent = 3,    // an event the client queued: message = event id, wParam = object handle, lParam = value
};

// How an expected entry is compared; recorded entries carry no flags.
enum SeqFlag : uint8_t {
    kSeqOptional = 0x01,    // may be missing (Windows versions and Wine differ here)
    kSeqAnyWParam = 0x02,   // wParam is not compared
    kSeqAnyLParam = 0x04,   // lParam is not compared
    kSeqAnyParams = kSeqAnyWParam | kSeqAnyLParam,
};

struct MsgEntry {
    uint8_t kind;       // SeqKind
    uint8_t flags;      // SeqFlag bits (expected entries)
    uint8_t window;     // the watch slot that received the message; not compared for events
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

constexpr uint32_t kMsgWatchMax = 8;
constexpr uint32_t kMsgFilterMax = 64;
constexpr uint32_t kMsgRecordMax = 1024;   // entries past this are counted, not kept

// ---- Watching --------------------------------------------------------------------
// Subclasses wnd and gives it the next slot (0, 1, ...), which expected entries
// name and reports print as name. -1 when every slot is taken or wnd is no window.
int MsgWatch(HWND wnd, const char* name);
// Puts every watched window's procedure back and forgets the slots and the
// filter. A watched window that is destroyed leaves its slot by itself.
void MsgUnwatchAll();
// Records only these messages (events always). No filter records everything.
void MsgSetFilter(const UINT* messages, size_t count);
template <size_t N>
void MsgSetFilter(const UINT (&messages)[N]) {
    MsgSetFilter(messages, N);
}
// Forgets the entries recorded so far.
void MsgClear();
// Takes every event the client queued, in the order the server would take
// them, and appends each as a kSeqEvent entry.
void MsgTakeEvents();

// ---- Real input ------------------------------------------------------------------
// Left clicks (1: a click, 2: a double click) at a point of wnd's client area
// as a person makes them through SendInput: the pointer moved there first
// (pump runs until it is), then every press and release in one batch, so a
// double click stays within the double-click time however busy the machine.
// False when the pointer never got there.
bool MsgMouseClicks(HWND wnd, POINT at, int clicks, void (*pump)());
// Runs pump and takes the queued events until the record holds at least n
// events (false when the deadline passes first); then one more pump and take,
// so that anything the same input raised behind them is recorded too.
bool MsgTakeEventsUntil(size_t n, void (*pump)());

// ---- Reading and comparing ----------------------------------------------------------
size_t MsgRecordedCount();
const MsgEntry* MsgRecorded();
// True when the record matches expected: entries in order, an optional entry
// skipped when the record does not have it, nothing left over on either side.
// On a mismatch report (when given) lists both sequences and the first difference.
bool MsgSequenceMatches(const MsgEntry* expected, size_t count, std::string* report);
// The same as a GoogleTest assertion, what naming the action in the failure.
::testing::AssertionResult MsgSequenceIs(const MsgEntry* expected, size_t count, const char* what);
template <size_t N>
::testing::AssertionResult MsgSequenceIs(const MsgEntry (&expected)[N], const char* what) {
    return MsgSequenceIs(expected, N, what);
}
// One entry as a report prints it, e.g. "button  sent    WM_LBUTTONUP  wp=0x0 lp=0x0".
std::string MsgEntryText(const MsgEntry& e);
