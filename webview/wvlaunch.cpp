// wvlaunch.cpp - the page host as the client's default runtime: whether its
// parts are there (Node, the page-host files beside the program, Chromium),
// starting it when no running page host was named, and removing the session
// folders of the hosts it started once they are gone. Under Wine the Unix
// programs are reached through drive Z: and started like Windows programs;
// the paths they are handed are mapped to Unix paths as Wine maps them.
#include "webview/wvlaunch.h"

#include <windows.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <cwctype>

#include "session/log.h"
#include "session/settings.h"

namespace {

const char kNodePath[] = "Z:\\usr\\bin\\node";
const char kChromiumPath[] = "Z:\\usr\\bin\\chromium";
const char kChromiumSetting[] = "QOV_CHROMIUM";
const char kHostScript[] = "qovwv_host\\pagehost.js";
const char kHostModules[] = "qovwv_host\\node_modules\\playwright-core\\package.json";
const char kPortFileName[] = "qovwv_host.port";
// A page host that says nothing gets this long to write its port; one that
// writes its failure (or ends) is given up on at once.
constexpr DWORD kStartWaitMs = 30000;
const char kFailedPrefix[] = "failed:";
constexpr size_t kPortFileMax = 2000;
constexpr DWORD kStartPollMs = 50;
constexpr size_t kPathMax = 600;
// A host's session folder (its browser profile and temporary files): the
// host names it on its port file's second line, as /…/qovwv-PID-XXXXXX.
const char kSessionPrefix[] = "qovwv-";
constexpr size_t kSessionSuffixLength = 6;
// Hosts started in one run whose folders are still to be removed.
constexpr int kHostsKept = 16;
// A host whose view connection has just closed is given this long to be
// gone (a killed process closes its sockets a moment before it has ended).
constexpr DWORD kHostEndWaitMs = 500;
constexpr DWORD kHostEndPollMs = 10;
constexpr size_t kProcStatMax = 512;
// The session folder of a host that has ended is removed by a shell that
// first waits for the host's browser to end (see StartRemover).
const char kShellPath[] = "/bin/sh";
const WCHAR kRemoverFolderSetting[] = L"QOV_SESSION_FOLDER";
const WCHAR kRemoverCommand[] =
    L"\"%ls\" -c \"i=0; while [ $i -lt %d ] && printf %%s \\\"$QOV_SESSION_FOLDER\\\" | "
    L"grep -qsFf - /proc/[0-9]*/cmdline; do sleep 0.1; i=$((i+1)); done; rm -rf -- \\\"$QOV_SESSION_FOLDER\\\"\"";
constexpr int kRemoverWaitTenths = 600;

int gStartedPort;          // 0: not started; -1: starting failed (not tried again)

struct StartedHost {
    unsigned long pid;     // the host's Unix process
    char folder[kPathMax]; // its session folder's Unix path
};
StartedHost gHosts[kHostsKept];
int gHostCount;

// Wine's own path conversions (kernel32), absent outside Wine: their
// answers are on the process heap.
typedef char*(CDECL* UnixNameFn)(const WCHAR*);
typedef WCHAR*(CDECL* DosNameFn)(const char*);
UnixNameFn gUnixName;
DosNameFn gDosName;
bool gNamesLooked;

void LookUpWineNames() {
    if (gNamesLooked) return;
    gNamesLooked = true;
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    if (!kernel) return;
    gUnixName = reinterpret_cast<UnixNameFn>(reinterpret_cast<void (*)()>(GetProcAddress(kernel, "wine_get_unix_file_name")));
    gDosName = reinterpret_cast<DosNameFn>(reinterpret_cast<void (*)()>(GetProcAddress(kernel, "wine_get_dos_file_name")));
}

bool Exists(const char* path) { return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES; }

void ProgramDir(char* out, size_t size) {
    char path[kPathMax] = {};
    DWORD n = GetModuleFileNameA(nullptr, path, sizeof path - 1);
    char* slash = n ? strrchr(path, '\\') : nullptr;
    if (slash) slash[1] = 0;
    snprintf(out, size, "%s", slash ? path : "");
}

// The Unix path of a Windows path on any drive, as Wine maps it (the
// prefix's drive links): the last part need not exist yet. False when the
// path has no Unix form or does not fit.
bool UnixPath(const char* dosPath, char* out, size_t size) {
    LookUpWineNames();
    WCHAR wide[kPathMax];
    if (!gUnixName || !MultiByteToWideChar(CP_ACP, 0, dosPath, -1, wide, kPathMax)) return false;
    char* unixName = gUnixName(wide);
    if (!unixName) return false;
    bool fits = unixName[0] == '/' && strlen(unixName) < size;
    if (fits) strcpy(out, unixName);
    HeapFree(GetProcessHeap(), 0, unixName);
    return fits;
}

// The file URL of a path on a drive ("file:///X:/…") as the URL of its Unix
// path, for the page host's browser; false for any other URL.
bool FileUrlToUnix(const WCHAR* url, WCHAR* out, size_t size) {
    static const WCHAR kFileScheme[] = L"file:///";
    const size_t schemeLength = sizeof kFileScheme / sizeof kFileScheme[0] - 1;
    if (wcsncmp(url, kFileScheme, schemeLength) != 0) return false;
    const WCHAR* path = url + schemeLength;
    if (!iswalpha(path[0]) || path[1] != L':' || path[2] != L'/') return false;
    size_t n = wcscspn(path, L"?#");
    WCHAR dosPath[kPathMax];
    if (n >= kPathMax) return false;
    wcsncpy(dosPath, path, n);
    dosPath[n] = 0;
    for (WCHAR* c = dosPath; *c; ++c)
        if (*c == L'/') *c = L'\\';
    LookUpWineNames();
    char* unixName = gUnixName ? gUnixName(dosPath) : nullptr;
    if (!unixName) return false;
    WCHAR wideUnix[kPathMax];
    bool ok = unixName[0] == '/' && MultiByteToWideChar(CP_UTF8, 0, unixName, -1, wideUnix, kPathMax) != 0;
    HeapFree(GetProcessHeap(), 0, unixName);
    if (!ok) return false;
    int written = _snwprintf(out, size, L"file://%ls%ls", wideUnix, path + n);
    return written > 0 && static_cast<size_t>(written) < size;
}

// The Chromium the page host starts: QOV_CHROMIUM (a Unix path) or Debian's.
const char* ChromiumName() {
    const char* named = GetSetting(kChromiumSetting);
    return named && named[0] ? named : "/usr/bin/chromium";
}

bool ChromiumPresent() {
    const char* named = GetSetting(kChromiumSetting);
    if (named && named[0] == '/') {
        char dos[kPathMax];
        snprintf(dos, sizeof dos, "Z:%s", named);
        for (char* p = dos; *p; ++p)
            if (*p == '/') *p = '\\';
        return Exists(dos);
    }
    return Exists(kChromiumPath);
}

// The port file's text: the port, or "failed: REASON" from a host that could
// not start its browser. Empty until the file is there (it is written whole).
bool ReadPortFile(const char* path, char* text, size_t size) {
    FILE* f = fopen(path, "rb");
    if (!f) return false;
    size_t n = fread(text, 1, size - 1, f);
    text[n] = 0;
    fclose(f);
    DeleteFileA(path);
    return true;
}

// ---- The session folders of the started hosts -------------------------------------

// The host's process id in a session folder's name (qovwv-PID-XXXXXX); false
// for any other name.
bool SessionFolderPid(const char* name, unsigned long* pid) {
    if (strncmp(name, kSessionPrefix, sizeof kSessionPrefix - 1) != 0) return false;
    const char* digits = name + sizeof kSessionPrefix - 1;
    if (!isdigit(static_cast<unsigned char>(digits[0]))) return false;
    char* end = nullptr;
    unsigned long value = strtoul(digits, &end, 10);
    if (*end != '-' || strlen(end + 1) != kSessionSuffixLength) return false;
    for (const char* c = end + 1; *c; ++c)
        if (!isalnum(static_cast<unsigned char>(*c))) return false;
    *pid = value;
    return true;
}

// Keeps the session folder the host named on its port file's second line. A
// name that is not a host's session folder is not kept: nothing else is ever
// removed.
void KeepSessionFolder(const char* text) {
    const char* line = strchr(text, '\n');
    if (!line || !line[1]) return;
    char unixName[kPathMax];
    snprintf(unixName, sizeof unixName, "%s", line + 1);
    unixName[strcspn(unixName, "\r\n")] = 0;
    const char* base = strrchr(unixName, '/');
    unsigned long pid = 0;
    if (unixName[0] != '/' || !base || !SessionFolderPid(base + 1, &pid)) {
        DebugLogWrite("WebView host", "named %s as its session folder: not one of a page host's, never removed", unixName);
        return;
    }
    if (strchr(unixName, '"') || gHostCount == kHostsKept) {
        DebugLogWrite("WebView host", "its session folder %s is left to the host", unixName);
        return;
    }
    StartedHost& host = gHosts[gHostCount++];
    host.pid = pid;
    snprintf(host.folder, sizeof host.folder, "%s", unixName);
}

// Whether a host's process has ended: /proc has no entry for it, or only one
// of a process that has ended and not yet been reaped. A host that cannot be
// looked at counts as running.
bool HostGone(unsigned long pid) {
    char unixName[48];
    snprintf(unixName, sizeof unixName, "/proc/%lu/stat", pid);
    WCHAR* dosName = gDosName ? gDosName(unixName) : nullptr;
    if (!dosName) return false;
    HANDLE file = CreateFileW(dosName, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    DWORD error = GetLastError();
    HeapFree(GetProcessHeap(), 0, dosName);
    if (file == INVALID_HANDLE_VALUE) return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
    char stat[kProcStatMax];
    DWORD got = 0;
    BOOL read = ReadFile(file, stat, sizeof stat - 1, &got, nullptr);
    CloseHandle(file);
    if (!read) return false;
    stat[got] = 0;
    // "PID (NAME) STATE ...": the name may hold anything, so the last ')'.
    const char* close = strrchr(stat, ')');
    return close && close[1] == ' ' && (close[2] == 'Z' || close[2] == 'X');
}

// Whether a folder (by its Unix name) is there.
bool FolderThere(const char* unixName) {
    WCHAR* dosName = gDosName ? gDosName(unixName) : nullptr;
    if (!dosName) return false;
    bool there = GetFileAttributesW(dosName) != INVALID_FILE_ATTRIBUTES;
    HeapFree(GetProcessHeap(), 0, dosName);
    return there;
}

// Starts a Unix program by its Windows name, as the page host is started:
// Wine gives no process handle to wait on.
bool StartUnixProgram(WCHAR* commandLine) {
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessW(nullptr, commandLine, nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &si, &pi))
        return false;
    if (pi.hThread) CloseHandle(pi.hThread);
    if (pi.hProcess) CloseHandle(pi.hProcess);
    return true;
}

// Removes a session folder with Unix's own tools, in the background:
// Chromium leaves sockets and dangling links in it that Wine's file calls can
// neither list nor remove, and the browser of a host killed outright shuts
// down by itself a moment later, writing into its profile meanwhile. A shell
// waits until no process names the folder on its command line (the browser
// names its profile there; kRemoverWaitTenths tenths of a second at most),
// then removes it. The folder goes to it in the environment, so that neither
// the shell's command line nor its search's names it.
bool StartRemover(const char* unixName) {
    WCHAR* shell = gDosName ? gDosName(kShellPath) : nullptr;
    WCHAR folder[kPathMax], cmd[3 * kPathMax];
    bool ready = shell && MultiByteToWideChar(CP_UTF8, 0, unixName, -1, folder, kPathMax) &&
                 _snwprintf(cmd, 3 * kPathMax, kRemoverCommand, shell, kRemoverWaitTenths) > 0;
    if (shell) HeapFree(GetProcessHeap(), 0, shell);
    if (!ready || !SetEnvironmentVariableW(kRemoverFolderSetting, folder)) return false;
    bool started = StartUnixProgram(cmd);
    SetEnvironmentVariableW(kRemoverFolderSetting, nullptr);
    return started;
}

// Removes the session folders of the started hosts that have ended. The host
// started last is given up to waitMs to end (its connection closes a moment
// before a killed process has ended); the others are looked at once.
void SweepHosts(DWORD waitMs) {
    for (int i = 0; i < gHostCount;) {
        StartedHost& host = gHosts[i];
        bool gone = HostGone(host.pid);
        for (DWORD start = GetTickCount(); !gone && i == gHostCount - 1 && GetTickCount() - start < waitMs;) {
            Sleep(kHostEndPollMs);
            gone = HostGone(host.pid);
        }
        if (!gone) {
            i++;
            continue;
        }
        // A host that ended by itself removed its folder already.
        if (FolderThere(host.folder)) {
            bool started = StartRemover(host.folder);
            DebugLogWrite("WebView host", "page host %lu has ended: its session folder %s", host.pid,
                          started ? "is removed once its browser has ended" : "could not be removed (no shell)");
        }
        for (int k = i + 1; k < gHostCount; k++) gHosts[k - 1] = gHosts[k];
        gHostCount--;
    }
}

// The port the file names, or -1 with the host's reason in the log.
int PortFromText(char* text) {
    int port = atoi(text);
    if (port > 0 && port <= 65535) {
        DebugLogWrite("WebView host", "started on port %d", port);
        KeepSessionFolder(text);
        return port;
    }
    text[strcspn(text, "\r\n")] = 0;
    const char* reason =
        strncmp(text, kFailedPrefix, sizeof kFailedPrefix - 1) == 0 ? text + sizeof kFailedPrefix - 1 : text;
    DebugLogWrite("WebView host", "could not start (Chromium %s):%s", ChromiumName(), reason);
    return -1;
}

// Waits for the started host's port: at once when it reports a failure or
// its process ends, else up to kStartWaitMs. -1 when none comes.
int AwaitPort(const char* portFile, HANDLE process) {
    char text[kPortFileMax];
    DWORD start = GetTickCount();
    while (GetTickCount() - start < kStartWaitMs) {
        DWORD waited = WaitForSingleObject(process, kStartPollMs);
        if (waited != WAIT_OBJECT_0 && waited != WAIT_TIMEOUT) Sleep(kStartPollMs);
        if (ReadPortFile(portFile, text, sizeof text)) return PortFromText(text);
        if (waited == WAIT_OBJECT_0) {
            DebugLogWrite("WebView host", "ended before it reported its port (Chromium %s)", ChromiumName());
            return -1;
        }
    }
    DebugLogWrite("WebView host", "did not report its port within %lu ms (Chromium %s)",
                  static_cast<unsigned long>(kStartWaitMs), ChromiumName());
    return -1;
}

}  // namespace

bool WvPageHostPartsFound(char* missing, size_t size) {
    char dir[kPathMax], script[kPathMax], modules[kPathMax];
    ProgramDir(dir, sizeof dir);
    snprintf(script, sizeof script, "%s%s", dir, kHostScript);
    snprintf(modules, sizeof modules, "%s%s", dir, kHostModules);
    const char* what = nullptr;
    if (!Exists(kNodePath)) what = "Node (/usr/bin/node)";
    else if (!Exists(script)) what = "the page host beside the program (qovwv_host\\pagehost.js)";
    else if (!Exists(modules)) what = "the page host's Node modules (qovwv_host\\node_modules: run scripts/test-pages.sh once)";
    char chromium[kPathMax];
    if (!what && !ChromiumPresent()) {
        snprintf(chromium, sizeof chromium, "Chromium (%s)", ChromiumName());
        what = chromium;
    }
    if (missing && size) snprintf(missing, size, "%s", what ? what : "");
    return what == nullptr;
}

int WvPageHostStart() {
    if (gStartedPort) return gStartedPort;
    gStartedPort = -1;
    char dir[kPathMax], script[kPathMax], unixScript[kPathMax], portFile[kPathMax], unixPortFile[kPathMax];
    char temp[MAX_PATH + 1] = {};
    ProgramDir(dir, sizeof dir);
    snprintf(script, sizeof script, "%s%s", dir, kHostScript);
    GetTempPathA(sizeof temp - 1, temp);
    snprintf(portFile, sizeof portFile, "%s%s.%lu", temp, kPortFileName, GetCurrentProcessId());
    if (!UnixPath(script, unixScript, sizeof unixScript)) {
        DebugLogWrite("WebView host", "not started: the page host %s has no Unix path", script);
        return -1;
    }
    if (!UnixPath(portFile, unixPortFile, sizeof unixPortFile)) {
        DebugLogWrite("WebView host", "not started: the port file %s (in the temporary folder) has no Unix path", portFile);
        return -1;
    }
    SweepHosts(0);
    DeleteFileA(portFile);
    // The Unix paths are UTF-8: the command line goes over as UTF-16.
    char cmd[3 * kPathMax];
    WCHAR wideCmd[3 * kPathMax];
    snprintf(cmd, sizeof cmd, "\"%s\" \"%s\" --port 0 --port-file \"%s\" --exit-when-idle", kNodePath, unixScript,
             unixPortFile);
    if (!MultiByteToWideChar(CP_UTF8, 0, cmd, -1, wideCmd, 3 * kPathMax)) {
        DebugLogWrite("WebView host", "not started: its command line does not fit");
        return -1;
    }
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessW(nullptr, wideCmd, nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &si, &pi)) {
        DebugLogWrite("WebView host", "not started: error %lu", GetLastError());
        return -1;
    }
    CloseHandle(pi.hThread);
    int port = AwaitPort(portFile, pi.hProcess);
    CloseHandle(pi.hProcess);
    if (port > 0) gStartedPort = port;
    return gStartedPort;
}

void WvPageHostForget() {
    bool started = gStartedPort > 0;
    if (started) gStartedPort = 0;
    SweepHosts(started ? kHostEndWaitMs : 0);
}

void WvPageHostsCleanup() {
    SweepHosts(0);
    // Hosts still running remove their own folders when they end.
    gHostCount = 0;
}

bool WvFileUrlToUnix(const wchar_t* url, wchar_t* out, size_t size) { return url && FileUrlToUnix(url, out, size); }
