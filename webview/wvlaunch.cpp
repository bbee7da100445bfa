// wvlaunch.cpp - the page host as the client's default runtime: whether its
// parts are there (Node, the page-host files beside the program, Chromium) and
// starting it when no running page host was named. Under Wine the Unix
// programs are reached through drive Z: and started like Windows programs.
#include "webview/wvlaunch.h"

#include <windows.h>

#include <cstdio>
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
constexpr DWORD kStartWaitMs = 30000;
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
    else if (!ChromiumPresent()) what = "Chromium (/usr/bin/chromium)";
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
    CloseHandle(pi.hProcess);
    for (DWORD waited = 0; waited < kStartWaitMs; waited += kStartPollMs) {
        FILE* f = fopen(portFile, "rb");
        if (f) {
            int port = 0;
            bool read = fscanf(f, "%d", &port) == 1;
            fclose(f);
            DeleteFileA(portFile);
            if (read && port > 0 && port <= 65535) {
                gStartedPort = port;
                DebugLogWrite("WebView host", "started on port %d", port);
                return port;
            }
            break;
        }
        Sleep(kStartPollMs);
    }
    DebugLogWrite("WebView host", "did not report its port");
    return -1;
}
