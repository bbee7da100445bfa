// qovprtsetup.cpp - installs a test printer in the Wine prefix of a test run:
// the PPD into the printer driver folder, Wine's PostScript driver with it, a
// printer on a port, optionally made the default, and the port captured to a
// file through Wine's spooler settings.
//
// Usage: qovprtsetup PRINTER PPD-FILE PORT CAPTURE-FILE [default]
#include <windows.h>
#include <winspool.h>

#include <cstdio>
#include <cstring>
#include <string>

static const char kDriverName[] = "Wine PostScript Driver";

// Wine's PostScript driver opens a printer's PPD for itself alone while it
// reads it, at each process's first device context on the printer: in that
// moment any other open of the file is refused with a sharing violation. The
// set-up runs beside programs printing (and again in a prefix whose printers
// are in use), so such a refusal is waited out, up to kHeldWaitMs; any other
// failure is final.
static const DWORD kHeldWaitMs = 30000;
static const DWORD kHeldPollMs = 20;

// Runs `attempt` until it succeeds, fails for another reason than a file
// held by another process, or the wait has passed.
template <class Attempt>
static bool UnlessHeld(Attempt attempt) {
    DWORD start = GetTickCount();
    for (;;) {
        if (attempt()) return true;
        DWORD err = GetLastError();
        if (err != ERROR_SHARING_VIOLATION || GetTickCount() - start > kHeldWaitMs) {
            SetLastError(err);
            return false;
        }
        Sleep(kHeldPollMs);
    }
}

// The whole of a file, or false (with the reason in GetLastError).
static bool ReadWhole(const char* path, std::string* out) {
    HANDLE f = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE) return false;
    out->clear();
    char buf[4096];
    DWORD n = 0;
    bool ok = true;
    while ((ok = ReadFile(f, buf, sizeof buf, &n, nullptr) != 0) && n > 0) out->append(buf, n);
    DWORD err = GetLastError();
    CloseHandle(f);
    SetLastError(err);
    return ok;
}

// Puts the PPD into the driver folder. Copied over in place while a program
// makes its first device context, the driver would meet a half-written file
// (and the copy fails while the driver has the file mapped), so a PPD already
// there with the same bytes is left alone, and a new or changed one is written
// beside it and moved into place in one step.
static bool PlacePpd(const char* ppd, const char* target) {
    std::string want, have;
    if (!ReadWhole(ppd, &want)) {
        fprintf(stderr, "reading %s failed: %lu\n", ppd, GetLastError());
        return false;
    }
    if (UnlessHeld([&] { return ReadWhole(target, &have); })) {
        if (have == want) return true;
    } else if (GetLastError() != ERROR_FILE_NOT_FOUND) {
        fprintf(stderr, "reading %s failed: %lu\n", target, GetLastError());
        return false;
    }
    std::string temp = std::string(target) + "." + std::to_string(GetCurrentProcessId()) + ".new";
    if (!CopyFileA(ppd, temp.c_str(), FALSE)) {
        fprintf(stderr, "copying %s to %s failed: %lu\n", ppd, temp.c_str(), GetLastError());
        return false;
    }
    if (!MoveFileExA(temp.c_str(), target, MOVEFILE_REPLACE_EXISTING)) {
        fprintf(stderr, "replacing %s failed: %lu\n", target, GetLastError());
        DeleteFileA(temp.c_str());
        return false;
    }
    return true;
}

int main(int argc, char** argv) {
    if (argc < 5) {
        fprintf(stderr, "usage: qovprtsetup PRINTER PPD-FILE PORT CAPTURE-FILE [default]\n");
        return 2;
    }
    const char* printer = argv[1];
    const char* ppd = argv[2];
    const char* port = argv[3];
    const char* capture = argv[4];
    bool makeDefault = argc > 5 && strcmp(argv[5], "default") == 0;

    // Wine's spooler writes a port listed here to the named Unix file.
    HKEY key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Wine\\Printing\\Spooler", 0, nullptr, 0, KEY_WRITE, nullptr,
                        &key, nullptr) != ERROR_SUCCESS ||
        RegSetValueExA(key, port, 0, REG_SZ, reinterpret_cast<const BYTE*>(capture),
                       static_cast<DWORD>(strlen(capture) + 1)) != ERROR_SUCCESS) {
        fprintf(stderr, "spooler setting failed\n");
        return 1;
    }
    RegCloseKey(key);

    // The driver reads its PPD from the driver folder: copy it there first.
    char dir[MAX_PATH], target[MAX_PATH];
    DWORD n = 0;
    if (!GetPrinterDriverDirectoryA(nullptr, nullptr, 1, reinterpret_cast<BYTE*>(dir), sizeof dir, &n)) return 1;
    const char* base = strrchr(ppd, '\\');
    base = base ? base + 1 : ppd;
    snprintf(target, sizeof target, "%s\\3\\%s", dir, base);
    char folder[MAX_PATH];
    snprintf(folder, sizeof folder, "%s\\3", dir);
    CreateDirectoryA(folder, nullptr);
    if (!PlacePpd(ppd, target)) return 1;
    DRIVER_INFO_3A di;
    memset(&di, 0, sizeof di);
    di.cVersion = 3;
    di.pName = const_cast<char*>(kDriverName);
    di.pDriverPath = const_cast<char*>("wineps.drv");
    di.pDataFile = const_cast<char*>(base);
    di.pConfigFile = const_cast<char*>("wineps.drv");
    // Each printer carries its own PPD: the default printer has the driver's
    // own name, any other a driver named after it.
    char driverName[128];
    if (makeDefault) snprintf(driverName, sizeof driverName, "%s", kDriverName);
    else snprintf(driverName, sizeof driverName, "%s (%s)", kDriverName, printer);
    di.pName = driverName;
    if (!AddPrinterDriverA(nullptr, 3, reinterpret_cast<BYTE*>(&di))) {
        fprintf(stderr, "AddPrinterDriverA failed: %lu\n", GetLastError());
        return 1;
    }
    PRINTER_INFO_2A pi;
    memset(&pi, 0, sizeof pi);
    pi.pPrinterName = const_cast<char*>(printer);
    pi.pPortName = const_cast<char*>(port);
    pi.pDriverName = driverName;
    pi.pPrintProcessor = const_cast<char*>("WinPrint");
    pi.pDatatype = const_cast<char*>("RAW");
    pi.pComment = const_cast<char*>("Qovtervex test printer");
    pi.Attributes = PRINTER_ATTRIBUTE_LOCAL;
    HANDLE h = AddPrinterA(nullptr, 2, reinterpret_cast<BYTE*>(&pi));
    if (!h && GetLastError() != ERROR_PRINTER_ALREADY_EXISTS) {
        fprintf(stderr, "AddPrinterA failed: %lu\n", GetLastError());
        return 1;
    }
    if (h) ClosePrinter(h);
    if (makeDefault && !SetDefaultPrinterA(printer)) {
        fprintf(stderr, "SetDefaultPrinterA failed\n");
        return 1;
    }
    // The printer's first device context here reads its PPD: while another
    // program's driver holds the file the context is refused, and made again.
    HDC dc = nullptr;
    if (!UnlessHeld([&] { return (dc = CreateDCA(nullptr, printer, nullptr, nullptr)) != nullptr; })) {
        fprintf(stderr, "%s: the printer gives no device context: %lu\n", printer, GetLastError());
        return 1;
    }
    printf("%s: %d x %d at %d dpi\n", printer, GetDeviceCaps(dc, HORZRES), GetDeviceCaps(dc, VERTRES),
           GetDeviceCaps(dc, LOGPIXELSX));
    // The line is the set-up script's verdict: out at once, not at exit.
    fflush(stdout);
    DeleteDC(dc);
    return 0;
}
