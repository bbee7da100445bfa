// wvlaunch.cpp - the page host as the client's default runtime: whether its
// parts are there (Node, the page-host files beside the program, Chromium) and
// starting it when no running page host was named. Under Wine the Unix
// programs are reached through drive Z: and started like Windows programs.
#include "webview/wvlaunch.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

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

int gStartedPort;          // 0: not started; -1: starting failed (not tried again)

bool Exists(const char* path) { return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES; }

void ProgramDir(char* out, size_t size) {
    char path[kPathMax] = {};
    DWORD n = GetModuleFileNameA(nullptr, path, sizeof path - 1);
    char* slash = n ? strrchr(path, '\\') : nullptr;
    if (slash) slash[1] = 0;
    snprintf(out, size, "%s", slash ? path : "");
}

// "Z:\a\b" is "/a/b" for the Unix programs; other drives have no Unix name.
bool UnixPath(const char* dosPath, char* out, size_t size) {
    if (!((dosPath[0] == 'Z' || dosPath[0] == 'z') && dosPath[1] == ':')) return false;
    snprintf(out, size, "%s", dosPath + 2);
    for (char* p = out; *p; ++p)
        if (*p == '\\') *p = '/';
    return out[0] == '/';
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

// The port the file names, or -1 with the host's reason in the log.
int PortFromText(char* text) {
    int port = atoi(text);
    if (port > 0 && port <= 65535) {
        DebugLogWrite("WebView host", "started on port %d", port);
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
        DebugLogWrite("WebView host", "not started: %s has no Unix path", script);
        return -1;
    }
    // The temp folder may not be on Z:; the program's folder is.
    if (!UnixPath(portFile, unixPortFile, sizeof unixPortFile)) {
        snprintf(portFile, sizeof portFile, "%s%s.%lu", dir, kPortFileName, GetCurrentProcessId());
        if (!UnixPath(portFile, unixPortFile, sizeof unixPortFile)) return -1;
    }
    DeleteFileA(portFile);
    char cmd[3 * kPathMax];
    snprintf(cmd, sizeof cmd, "\"%s\" \"%s\" --port 0 --port-file \"%s\" --exit-when-idle", kNodePath, unixScript,
             unixPortFile);
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessA(nullptr, cmd, nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &si, &pi)) {
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
    if (gStartedPort > 0) gStartedPort = 0;
}
