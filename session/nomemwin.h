// nomemwin.h - CatchNoMemory at the Windows entries the system calls: window
// and subclass procedures, dialog procedures and common dialogs' hooks, hooks,
// timer procedures, enumeration callbacks, thread procedures and COM methods.
// Every function the system calls back runs its work through one of these
// (scripts/check-callbacks.py, run by ./test.sh, holds the sources to it).
#pragma once

#include <windows.h>

#include "session/nomem.h"

// A window procedure is entered by the system: its work runs under
// CatchNoMemory, and a message whose work could not be held is handled as the
// system's default (a paint is still validated, so it does not come back for
// ever). wc.lpfnWndProc = GuardedWndProc<MyWndProcWork>;
template <LRESULT (*Work)(HWND, UINT, WPARAM, LPARAM)>
LRESULT CALLBACK GuardedWndProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
    LRESULT result = 0;
    if (CatchNoMemory("a window message", [&] { result = Work(wnd, msg, wp, lp); })) return result;
    return DefWindowProcA(wnd, msg, wp, lp);
}

// A subclass procedure: Offer hands the message to the client first (true
// when it took it, its answer in *result); a message it left, or whose work
// could not be held, goes on to Previous, the window's own procedure.
template <bool (*Offer)(HWND, UINT, WPARAM, LPARAM, LRESULT*), LRESULT (*Previous)(HWND, UINT, WPARAM, LPARAM)>
LRESULT CALLBACK GuardedSubclassProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
    LRESULT result = 0;
    bool taken = false;
    CatchNoMemory("a subclassed window's message", [&] { taken = Offer(wnd, msg, wp, lp, &result); });
    return taken ? result : Previous(wnd, msg, wp, lp);
}

// A dialog procedure (INT_PTR) or a common dialog's hook (UINT_PTR): a message
// whose work could not be held is left to the dialog's own handling (0).
// ofn.lpfnHook = GuardedDialogProc<UINT_PTR, MyHookWork>;
template <typename Answer, Answer (*Work)(HWND, UINT, WPARAM, LPARAM)>
Answer CALLBACK GuardedDialogProc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp) {
    Answer answer = 0;
    if (CatchNoMemory("a dialog's message", [&] { answer = Work(dlg, msg, wp, lp); })) return answer;
    return 0;
}

// A hook procedure (SetWindowsHookEx): a call whose work could not be held
// goes on to the next hook (whose handle the system no longer needs).
template <LRESULT (*Work)(int, WPARAM, LPARAM)>
LRESULT CALLBACK GuardedHookProc(int code, WPARAM wp, LPARAM lp) {
    LRESULT result = 0;
    if (CatchNoMemory("a hook", [&] { result = Work(code, wp, lp); })) return result;
    return CallNextHookEx(nullptr, code, wp, lp);
}

// A timer procedure (SetTimer with a procedure, a window's or the thread's):
// a tick whose work could not be held is dropped with its note.
template <void (*Work)(HWND, UINT, UINT_PTR, DWORD)>
void CALLBACK GuardedTimerProc(HWND wnd, UINT msg, UINT_PTR id, DWORD time) {
    CatchNoMemory("a timer's tick", [&] { Work(wnd, msg, id, time); });
}

// A window enumeration's callback (EnumWindows, EnumThreadWindows, ...): a
// window whose work could not be held ends the enumeration.
template <BOOL (*Work)(HWND, LPARAM)>
BOOL CALLBACK GuardedEnumWindowsProc(HWND wnd, LPARAM lp) {
    BOOL more = FALSE;
    CatchNoMemory("a window enumeration", [&] { more = Work(wnd, lp); });
    return more;
}

// A font enumeration's callback (EnumFontsA): a face whose work could not be
// held ends the enumeration.
template <int (*Work)(const LOGFONTA*, const TEXTMETRICA*, DWORD, LPARAM)>
int CALLBACK GuardedFontEnumProc(const LOGFONTA* lf, const TEXTMETRICA* tm, DWORD type, LPARAM lp) {
    int more = 0;
    CatchNoMemory("a font enumeration", [&] { more = Work(lf, tm, type, lp); });
    return more;
}

// A thread's procedure (CreateThread): work that could not be held ends the
// thread, with the exit code failed.
template <DWORD (*Work)(LPVOID)>
DWORD WINAPI GuardedThreadProc(LPVOID arg) {
    DWORD code = 1;
    CatchNoMemory("a thread's work", [&] { code = Work(arg); });
    return code;
}

// A COM method the system calls (a site's, a sink's, a frame's, a class
// factory's): work runs under CatchNoMemory, and work that could not be held
// answers E_OUTOFMEMORY. return GuardedComCall("a site's focus", [&] { ... });
template <typename Work>
HRESULT GuardedComCall(const char* where, Work&& work) {
    HRESULT hr = E_OUTOFMEMORY;
    CatchNoMemory(where, [&] { hr = work(); });
    return hr;
}
