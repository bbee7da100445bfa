// syslib.cpp - the system libraries the program loads on first use (the
// delay-loaded DLLs of app/CMakeLists.txt): each is loaded before the first
// call of the facility that needs it, so that a library which cannot be
// loaded (no memory left for it) refuses that request with its error code
// instead of ending the process in the delay-load helper.
#include "session/session.h"

#include <delayimp.h>

#include <cstring>

#include "session/log.h"

namespace {

struct SysLibRow {
    const char* dll;    // as the delay-import tables name it
    HMODULE module;     // held once loaded, for the session's life
};

// In the order of enum SysLib.
SysLibRow gSysLibs[kSysLibCount] = {
    {"comctl32.dll", nullptr}, {"comdlg32.dll", nullptr}, {"winspool.drv", nullptr},
    {"ole32.dll", nullptr},    {"oleaut32.dll", nullptr}, {"olepro32.dll", nullptr},
    {"oledlg.dll", nullptr},   {"shell32.dll", nullptr},  {"winmm.dll", nullptr},
};

SysLibRow* RowOfDll(const char* dll) {
    for (SysLibRow& row : gSysLibs)
        if (dll && _stricmp(row.dll, dll) == 0) return &row;
    return nullptr;
}

// The delay-load helper asks before it loads a library: one loaded here is
// handed over, so its first call loads nothing more.
FARPROC WINAPI NoteDelayLoad(unsigned notify, PDelayLoadInfo info) {
    if (notify != dliNotePreLoadLibrary || !info) return nullptr;
    SysLibRow* row = RowOfDll(info->szDll);
    return row ? reinterpret_cast<FARPROC>(row->module) : nullptr;
}

// A library that no request made ready and that cannot be loaded: the helper
// ends the process after this, so the debug log at least says why.
FARPROC WINAPI DelayLoadFailed(unsigned notify, PDelayLoadInfo info) {
    if (info && notify == dliFailLoadLib)
        DebugLogWrite("SysLib", "%s cannot be loaded on its first call (error %lu): the client ends", info->szDll,
                      static_cast<unsigned long>(info->dwLastError));
    else if (info && notify == dliFailGetProc)
        DebugLogWrite("SysLib", "%s lacks a function the client calls (error %lu): the client ends", info->szDll,
                      static_cast<unsigned long>(info->dwLastError));
    return nullptr;
}

}  // namespace

bool SysLibNeed(SysLib lib) {
    SysLibRow& row = gSysLibs[lib];
    if (row.module) return true;
    row.module = LoadLibraryA(row.dll);
    if (!row.module)
        DebugLogWrite("SysLib", "%s cannot be loaded (error %lu): the request is refused", row.dll,
                      static_cast<unsigned long>(GetLastError()));
    return row.module != nullptr;
}

void SysLibInstall() {
    __pfnDliNotifyHook2 = NoteDelayLoad;
    __pfnDliFailureHook2 = DelayLoadFailed;
}
