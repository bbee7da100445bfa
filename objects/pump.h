// pump.h - the window layer's part of the message-pump turn, key
// pre-translation, and the modal window loop with its nesting levels.
#pragma once

#include <windows.h>

#include <cstdint>

struct ObjectRecord;

// ---- Pump ---------------------------------------------------------------------------
// Before each turn: console input, then the timer hook; timer 6 of the main
// window is armed with its answer when it changed (0 stops it).
void PumpMessages();
// Before each message: the OLE and MDI accelerators, the current modeless
// dialog and KeyPreTranslate. True when the message was taken.
bool PumpPreTranslate(MSG* m);
// After each dispatched message and each turn of a modal window's loop: the
// pages' loads and events, with server messages held meanwhile.
void PumpAfterDispatch();
// One turn for nested waits (PumpOnce of the session) and of the main loop.
void PumpTurn(bool wait);
extern HWND gCurModelessDlg;
extern uint32_t gTimerPeriod;     // period timer 6 runs with, 0 stopped

// Ctrl+Tab, the HTML control's editing keys and Tab movement; true when taken.
bool KeyPreTranslate(MSG* m);
// WM_MENUCHAR: the object of the window whose hot key is key; MNC_CLOSE in the
// high word when one took it, else 0.
LRESULT HotKeyToObject(ObjectRecord* window, uint32_t key);

// ---- Modal windows ------------------------------------------------------------------
constexpr int32_t kModalEnded = 21761;       // the end of a modal wait
constexpr int32_t kModalNotCurrent = -16;    // the window is not the current modal level
constexpr uint32_t kModalLevelMax = 32;

struct ModalLevel {
    ObjectRecord* window;    // the window being waited for
    bool ended;              // set when the window is hidden or destroyed
    bool disabledAll;        // this level disabled the other windows
    HWND prevFocus;          // focus to give back
};
extern uint32_t gDlgStatePos;                // 0: no modal window
extern ModalLevel gModalLevels[kModalLevelMax + 1];
extern bool gAllWindowsDisabled;             // a modal window keeps the others disabled
extern bool gModalKeepHidden;                // the flag beside gDlgStatePos (hide without marking shown)

// Shows nothing itself: waits, pumping, until the window's level is ended.
// 21761 when it ended, -6 when the levels are exhausted, 32 when the pump failed.
// *windowGone is set when a request taken during the wait destroyed the window:
// its record is freed and neither the loop nor its caller may touch it again.
int32_t ModalWindowLoop(ObjectRecord* window, bool* windowGone);
// Ends the wait for window: 0, or -16 when it is not the current level.
int32_t ModalWindowEnd(ObjectRecord* window);
bool ModalIsWaitingFor(const ObjectRecord* window);
// A window being destroyed: every level that waits for it ends and forgets it,
// so no level keeps the freed record (or a new one made in its memory).
void ModalWindowForget(const ObjectRecord* window);
void ModalStateReset();
// Enables or disables every top-level window of the client (except the
// current modal window when disabling).
void EnableAllWindows(bool enable);
// The window that owns a dialog: the current modal window, else the top-level
// ancestor of wnd, else the main window.
HWND DialogOwnerWindow(HWND wnd);
