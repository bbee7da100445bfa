// main.cpp - the process entry: switches, logs, the start-up of every facility
// in order, the session with the server, the main loop, and the clean-up.
#include <winsock2.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "session/config.h"
#include "session/log.h"
#include "session/session.h"
#include "session/settings.h"
#include "session/switches.h"
#include "session/util/mem.h"
#include "app/wiring.h"

static const char kFatalText[] = "Qovtervex has had the following error while communicating with the server:";

// Console output: the console when there is one, plain standard output
// otherwise (as under a test harness); in quiet mode the quiet log.
static void ConsoleText(const char* text) {
    if (gSwitches.quiet) {
        QuietLogWrite(text);
        return;
    }
    fputs(text, stdout);
    fputc('\n', stdout);
    fflush(stdout);
}

static void ProgramDirInit() {
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
    if (n == 0 || n >= sizeof path) return;
    char* slash = strrchr(path, '\\');
    if (slash) slash[1] = 0;
    SettingsSetProgramDir(path);
}

static void DebugLogStart() {
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
    if (n == 0 || n >= sizeof path - 4) return;
    char* dot = strrchr(path, '.');
    if (dot && !strchr(dot, '\\')) *dot = 0;
    strcat(path, ".log");
    if (DebugLogOpen(path)) DebugLogWrite("CommandLine", "%s", GetCommandLineA());
}

static void LogTraffic() {
    if (!gSwitches.stats && !DebugLogIsOpen()) return;
    DebugLogWrite("Traffic", "sent %u messages, %u bytes; received %u messages, %u bytes", gSession.msgsSent,
                  gSession.bytesSent, gSession.msgsRecv, gSession.bytesRecv);
}

// With QOVCS_SINGLEUSE a client already running on this desktop is brought to
// the front instead of starting a second one. A named mutex tells whether one
// runs; its windows are found through its hidden main window.
static const char kSingleUseMutex[] = "Qovtervex.SingleUse";
static HANDLE gSingleUseMutex;

static BOOL RaiseFirstVisible(HWND wnd, LPARAM pid) {
    DWORD owner = 0;
    GetWindowThreadProcessId(wnd, &owner);
    if (owner != static_cast<DWORD>(pid) || !IsWindowVisible(wnd)) return TRUE;
    if (IsIconic(wnd)) ShowWindow(wnd, SW_RESTORE);
    SetForegroundWindow(wnd);
    return FALSE;
}

static bool SingleUseCheck() {
    gSingleUseMutex = CreateMutexA(nullptr, FALSE, kSingleUseMutex);
    if (!gSingleUseMutex || GetLastError() != ERROR_ALREADY_EXISTS) return false;
    HWND other = FindWindowA(kMainWindowClass, kMainWindowTitle);
    DWORD pid = 0;
    if (other) GetWindowThreadProcessId(other, &pid);
    if (pid) EnumWindows(GuardedEnumWindowsProc<RaiseFirstVisible>, static_cast<LPARAM>(pid));
    DebugLogWrite("SingleUse", "another client runs%s", pid ? "; brought to the front" : "");
    CloseHandle(gSingleUseMutex);
    gSingleUseMutex = nullptr;
    return true;
}

static void Cleanup() {
    if (gHooks.cleanupRuntime) gHooks.cleanupRuntime();
    CacheShutdown();
    LogTraffic();
    HandleCleanup();
    MsgBufFree(&gSrvMsgBuf);
    MsgBufFree(&gSendBuf);
    GuardedFree(gDestArray);
    gDestArray = nullptr;
    ClientConfigCleanup();
    SettingsCleanup();
    MsgLogClose();
    DebugLogClose();
    if (gSingleUseMutex) CloseHandle(gSingleUseMutex);
    gSingleUseMutex = nullptr;
}

int WINAPI WinMain(HINSTANCE inst, HINSTANCE, LPSTR, int) {
    // The libraries loaded on first use are handed to the delay-load helper
    // once a facility has loaded them (and a first call that nothing made
    // ready is named in the debug log when its library cannot be loaded).
    SysLibInstall();
    // 1. Switches; the ones that end the process at once.
    bool ok = ParseSwitches(__argc, __argv);
    if (gSwitches.version || gSwitches.help) {
        printf("%s\n", kVersionText);
        if (gSwitches.help) printf("%s", kUsageText);
        return 0;
    }
    if (!ok) {
        fprintf(stderr, "Unknown switch: %s\n%s", gSwitches.unknown, kUsageText);
        return 1;
    }
    gConsoleMode = 1;
    ProgramDirInit();
    if (gSwitches.ini) SettingsSetIniFile(gSwitches.ini);
    if (gSwitches.reg || gSwitches.unreg) {
        if (gSwitches.reg) RegisterComServer();
        else UnregisterComServer();
        return 1;
    }
    InstallFacilities();
    // 2. Logs.
    if (gSwitches.debug) DebugLogStart();
    if (gSwitches.msgLogLevel > 0) MsgLogOpen(gSwitches.msgLogLevel);
    // 3. Run-time facilities and object tables.
    if (gHooks.runtimeStartup) gHooks.runtimeStartup();
    if (gHooks.objectSetupTables) gHooks.objectSetupTables();
    // 5. Settings, then the cache (4 needs the settings to know it is wanted).
    ClientConfigDefaults();
    ClientConfigRead(gSwitches);
    // 4. Single use: another running client is brought to the front instead.
    if (gClientConfig.singleUse && (gHooks.singleUseCheck ? gHooks.singleUseCheck() : SingleUseCheck())) {
        Cleanup();
        return 0;
    }
    if (gSwitches.clear) {
        CacheClear();
        Cleanup();
        return 1;
    }
    CacheInit();
    SrvMsgInitTables();
    InstallMessageHandlers();
    // 6. The main window, hidden.
    gMainWnd = gHooks.createMainWindow ? gHooks.createMainWindow(inst) : CreateSessionWindow(inst);
    DebugLogWrite("MainWindow", "%s", gMainWnd ? "created" : "failed");
    // 7. Automation mode: the automation client's Run gives the command line.
    static char cmdLine[kCmdLineSize];
    snprintf(cmdLine, sizeof cmdLine, "%s", gClientConfig.cmdLine);
    if (gSwitches.automation && gHooks.automationRun) {
        const char* run = gHooks.automationRun();
        if (!run) {
            DebugLogWrite("ProgramEnd", "exit code 0: the automation client gave no program to run");
            return 0;
        }
        // At most 1007 characters and the NUL.
        if (*run) snprintf(cmdLine, sizeof cmdLine, "%s", run);
    }
    // 8. The session.
    int rc = ServerConnect(cmdLine, gSwitches.automation);
    int exitCode = 0;
    // Every end says why in the debug log, beside the code it ends with.
    const char* why = "the session ended with no error and no end from the server";
    if (gSession.state == kSessionRefused) {
        ConsoleText(gSession.refuseText);
        why = "the server refused the session";
    } else if (gSession.endReceived) {
        // 1011 ends the process with its own code and no error text, whether
        // it came after the accept or in its place.
        exitCode = gSession.exitCode;
        why = "the server ended the session";
    } else if (!gSession.opened) {
        // No session was opened: the failure is printed and the exit code is 0.
        char text[600];
        snprintf(text, sizeof text, "%s\n%s", kFatalText, LastErrorText(rc ? rc : gSession.lastError));
        ConsoleText(text);
        why = "no session was opened";
    } else {
        // An opened session ends with its own code, even when it ended (or
        // failed) while its opening was still being worked through.
        // 9. The main loop.
        while (gSession.state == kSessionRunning) PumpOnce(true);
        // 10. The error text, if any, then the clean-up.
        if (gSession.lastError) {
            char text[600];
            snprintf(text, sizeof text, "%s\n%s", kFatalText, LastErrorText(gSession.lastError));
            ConsoleText(text);
            exitCode = gSession.lastError;
            why = "the session failed";
        } else {
            exitCode = gSession.exitCode;
            if (gSession.endReceived) why = "the server ended the session";
        }
    }
    DebugLogWrite("ProgramEnd", "exit code %d: %s", exitCode, why);
    // Ends the link watch thread, then frees the socket, event, lock and receive buffer.
    ServerDisconnect();
    // The GUI clean-up destroys the main window; without it the plain session
    // window is destroyed here.
    if (!gHooks.cleanupRuntime && gMainWnd) DestroyWindow(gMainWnd);
    Cleanup();
    return exitCode;
}

int main() { return WinMain(GetModuleHandleA(nullptr), nullptr, GetCommandLineA(), SW_HIDE); }
