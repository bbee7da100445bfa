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

static const char kDriverName[] = "Wine PostScript Driver";

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
    if (!CopyFileA(ppd, target, FALSE)) {
        fprintf(stderr, "copying %s to %s failed: %lu\n", ppd, target, GetLastError());
        return 1;
    }
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
    HDC dc = CreateDCA(nullptr, printer, nullptr, nullptr);
    if (!dc) {
        fprintf(stderr, "the printer gives no device context\n");
        return 1;
    }
    printf("%s: %d x %d at %d dpi\n", printer, GetDeviceCaps(dc, HORZRES), GetDeviceCaps(dc, VERTRES),
           GetDeviceCaps(dc, LOGPIXELSX));
    // The line is the set-up script's verdict: out at once, not at exit.
    fflush(stdout);
    DeleteDC(dc);
    return 0;
}
