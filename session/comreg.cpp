// comreg.cpp - registration of the automation server Qovclient.Application in
// the registry (switches "reg" and "unreg"), with the type library the program
// file carries as its resource TYPELIB 1.
#include "session/session.h"

#include <oleauto.h>

#include <cstdio>
#include <cstring>

#include "session/log.h"

static const char kClsid[] = "{20D05919-FA48-4b02-851F-F933ACD40A49}";
static const char kTypeLib[] = "{E454535C-DC9D-4046-8B48-C438F247722A}";
static const char kCatAutomation[] = "{7DD95801-9882-11CF-9FA9-00AA006C42C4}";
static const char kCatScripting[] = "{7DD95802-9882-11CF-9FA9-00AA006C42C4}";
static const char kProgId[] = "Qovclient.Application.1";
static const char kProgIdPlain[] = "Qovclient.Application";
static const char kDescription[] = "Qovclient Application";
static const GUID kLibId = {0xE454535C, 0xDC9D, 0x4046, {0x8B, 0x48, 0xC4, 0x38, 0xF2, 0x47, 0x72, 0x2A}};
static const WORD kLibMajor = 1, kLibMinor = 0;
static const LCID kLibLocale = 0x409;

static bool SetKey(const char* path, const char* value) {
    HKEY k;
    if (RegCreateKeyExA(HKEY_CLASSES_ROOT, path, 0, nullptr, 0, KEY_WRITE, nullptr, &k, nullptr) != ERROR_SUCCESS)
        return false;
    LONG rc = value ? RegSetValueExA(k, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                                     static_cast<DWORD>(strlen(value) + 1))
                    : ERROR_SUCCESS;
    RegCloseKey(k);
    return rc == ERROR_SUCCESS;
}

// The library is registered under its own locale (409), where Wine's
// marshaller and LoadRegTypeLib with a neutral locale do not look: the same
// path goes under locale 0 as well, so that early-bound clients in other
// processes reach IQovLtApp.
static bool RegisterNeutralLocale() {
    char key[96], path[MAX_PATH + 1];
    snprintf(key, sizeof key, "TypeLib\\%s\\%u.%u\\%x\\win32", kTypeLib, kLibMajor, kLibMinor,
             static_cast<unsigned>(kLibLocale));
    LONG n = sizeof path;
    if (RegQueryValueA(HKEY_CLASSES_ROOT, key, path, &n) != ERROR_SUCCESS) return false;
    snprintf(key, sizeof key, "TypeLib\\%s\\%u.%u\\0\\win32", kTypeLib, kLibMajor, kLibMinor);
    return SetKey(key, path);
}

// Registers the library of the program file: its TypeLib key and, for its dual
// interface, the Interface key that lets COM marshal IQovLtApp between processes.
static bool RegisterOwnTypeLib(const char* exe) {
    wchar_t path[MAX_PATH];
    if (!MultiByteToWideChar(CP_ACP, 0, exe, -1, path, MAX_PATH)) return false;
    ITypeLib* lib = nullptr;
    HRESULT hr = LoadTypeLibEx(path, REGKIND_REGISTER, &lib);
    if (FAILED(hr)) {
        DebugLogWrite("RegisterComServer", "type library not registered 0x%08lX", static_cast<unsigned long>(hr));
        return false;
    }
    lib->Release();
    return RegisterNeutralLocale();
}

int RegisterComServer() {
    char exe[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, exe, sizeof exe);
    if (n == 0 || n >= sizeof exe) return 1;
    // The path is quoted: unquoted, a path with blanks lets COM start whatever
    // program sits at a shorter prefix of it ("C:\Program.exe").
    char server[MAX_PATH + 16];
    snprintf(server, sizeof server, "\"%s\" /Automation", exe);
    char base[64], path[160];
    snprintf(base, sizeof base, "CLSID\\%s", kClsid);
    bool ok = SetKey(base, kDescription);
    snprintf(path, sizeof path, "%s\\ProgID", base);
    ok &= SetKey(path, kProgId);
    snprintf(path, sizeof path, "%s\\VersionIndependentProgID", base);
    ok &= SetKey(path, kProgIdPlain);
    snprintf(path, sizeof path, "%s\\LocalServer32", base);
    ok &= SetKey(path, server);
    snprintf(path, sizeof path, "%s\\TypeLib", base);
    ok &= SetKey(path, kTypeLib);
    snprintf(path, sizeof path, "%s\\Programmable", base);
    ok &= SetKey(path, nullptr);
    snprintf(path, sizeof path, "%s\\Implemented Categories\\%s", base, kCatAutomation);
    ok &= SetKey(path, nullptr);
    snprintf(path, sizeof path, "%s\\Implemented Categories\\%s", base, kCatScripting);
    ok &= SetKey(path, nullptr);
    ok &= SetKey(kProgIdPlain, kDescription);
    ok &= SetKey("Qovclient.Application\\Clsid", kClsid);
    ok &= SetKey("Qovclient.Application\\CurVer", kProgId);
    ok &= SetKey(kProgId, kDescription);
    ok &= SetKey("Qovclient.Application.1\\Clsid", kClsid);
    ok &= RegisterOwnTypeLib(exe);
    DebugLogWrite("RegisterComServer", "%s", ok ? "done" : "failed");
    return ok ? 0 : 1;
}

int UnregisterComServer() {
    char base[64];
    snprintf(base, sizeof base, "CLSID\\%s", kClsid);
    LONG a = RegDeleteTreeA(HKEY_CLASSES_ROOT, base);
    RegDeleteTreeA(HKEY_CLASSES_ROOT, kProgIdPlain);
    RegDeleteTreeA(HKEY_CLASSES_ROOT, kProgId);
    UnRegisterTypeLib(kLibId, kLibMajor, kLibMinor, kLibLocale, SYS_WIN32);
    char tl[64];
    snprintf(tl, sizeof tl, "TypeLib\\%s", kTypeLib);
    RegDeleteTreeA(HKEY_CLASSES_ROOT, tl);
    DebugLogWrite("UnregisterComServer", "%s", a == ERROR_SUCCESS ? "done" : "nothing to remove");
    return 0;
}
