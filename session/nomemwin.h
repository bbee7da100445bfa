// nomemwin.h - CatchNoMemory at the Windows entries the system calls: window
// procedures.
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
