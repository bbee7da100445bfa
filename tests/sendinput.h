// sendinput.h - the one mouse input record the tests and the scripted server
// hand to SendInput: absolute coordinates over the whole screen.
#pragma once

#include <windows.h>

inline INPUT MouseInputAt(DWORD flags, POINT screen) {
    INPUT in = {};
    in.type = INPUT_MOUSE;
    in.mi.dx = MulDiv(screen.x, 65535, GetSystemMetrics(SM_CXSCREEN) - 1);
    in.mi.dy = MulDiv(screen.y, 65535, GetSystemMetrics(SM_CYSCREEN) - 1);
    in.mi.dwFlags = flags | MOUSEEVENTF_ABSOLUTE;
    return in;
}
