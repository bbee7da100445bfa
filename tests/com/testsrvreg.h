// testsrvreg.h - what the tests of the test COM server share: registering the
// server (QOV_TESTSRV names its DLL) with Wine's regsvr32, and pumping the
// messages a step left queued.
#pragma once

#include <windows.h>

#include <cstdlib>
#include <string>

inline bool RegisterServer() {
    const char* dll = getenv("QOV_TESTSRV");
    if (!dll) return false;
    std::string cmd = std::string("regsvr32.exe /s \"") + dll + "\"";
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessA(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return false;
    WaitForSingleObject(pi.hProcess, 60000);
    DWORD code = 1;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    return code == 0;
}

inline void Pump() {
    MSG m;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&m);
        DispatchMessageA(&m);
    }
}
