// spool_bench.cpp - the spool file's costs, run under Wine: (1) dense pages
// drawn into a PDF file at once ("pdf:") against the same pages spooled and
// replayed into the PDF file at the close ("pdf:" with a spool name), goal at
// most 1.5; (2) the last page of a long spool file reached as the preview's
// Last Page button reaches it against one sequential read of the whole file,
// goal at most 2. Both sides run in turns, round by round; the ratios are
// given as min / median / max. Needs the printer "QovTest"
// (tests/print/setup_printer.sh).
// Usage: spool_bench [pages] [long-file pages] [--rounds N]
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bench/benchkit.h"
#include "print/print.h"
#include "session/config.h"
#include "session/session.h"

namespace {

constexpr int kLinesPerPage = 60;

double Seconds(std::chrono::steady_clock::time_point t0) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

struct Msg {
    std::vector<uint8_t> b;
    uint32_t type;
    explicit Msg(uint32_t t) : b(8, 0), type(t) {}
    Msg& U8(uint8_t v) { b.push_back(v); return *this; }
    Msg& U16(uint16_t v) { U8(v & 0xFF); return U8(v >> 8); }
    Msg& U32(uint32_t v) { U16(v & 0xFFFF); return U16(v >> 16); }
    Msg& Text(const std::string& s) { b.insert(b.end(), s.begin(), s.end()); return *this; }
    int32_t Run() {
        uint32_t len = static_cast<uint32_t>(b.size());
        memcpy(b.data(), &len, 4);
        memcpy(b.data() + 4, &type, 4);
        SrvMsg m = {b.data(), len, type, 0, WireReader(b.data(), len, false)};
        gSendBuf.used = 0;
        return PrtHandleMsg(&m);
    }
};

uint32_t Answered() {
    uint32_t v = 0;
    if (gSendBuf.used >= 12) memcpy(&v, gSendBuf.data + 8, 4);
    return v;
}

// 1211: printer, spool name, PDF file name.
uint32_t Open(const std::string& name, const std::string& spool, const std::string& pdf) {
    const std::string title = "bench";
    Msg m(1211);
    m.U32(0).U32(static_cast<uint32_t>(name.size())).U32(static_cast<uint32_t>(title.size())).U32(0);
    m.U32(static_cast<uint32_t>(spool.size())).U32(static_cast<uint32_t>(pdf.size())).U32(0);
    m.Text(name).Text(title).Text(spool).Text(pdf).Run();
    return Answered();
}

uint32_t Close(uint32_t handle, uint32_t options) {
    Msg m(1205);
    m.U32(handle);
    for (int i = 0; i < 10; i++) m.U32(0);
    m.U32(options).Run();
    return Answered();
}

void DensePages(int pages) {
    for (int p = 0; p < pages; p++) {
        for (int line = 1; line <= kLinesPerPage; line++) {
            Msg(2206).U16(1).U16(0).U16(static_cast<uint16_t>(line)).U16(0).Run();
            std::string t = "Line " + std::to_string(line) + " of page " + std::to_string(p + 1) +
                            ": 12 x Widget at 3.50 = 42.00";
            Msg(2204).U16(static_cast<uint16_t>(t.size())).U16(0).Text(t).Run();
        }
        Msg(2202).U32(102).U16(1).Run();
    }
}

std::string Full(const char* name) {
    char full[MAX_PATH];
    GetFullPathNameA(name, sizeof full, full, nullptr);
    return full;
}

double PdfRun(int pages, bool spooled) {
    std::string pdf = Full(spooled ? "bench-spooled.pdf" : "bench-direct.pdf");
    DeleteFileA(pdf.c_str());
    auto t0 = std::chrono::steady_clock::now();
    uint32_t h = Open("pdf:", spooled ? "bench-pdf.spl" : "", pdf);
    if (!h) return -1;
    DensePages(pages);
    if (Close(h, 0) != 0) return -1;
    return Seconds(t0);
}

// A spool file read through the platform-free reader.
struct FileIo {
    HANDLE h;
};
bool Write(void*, const void*, size_t) { return false; }
bool Read(void* c, void* b, size_t n, size_t* got) {
    DWORD d = 0;
    bool ok = ReadFile(static_cast<FileIo*>(c)->h, b, static_cast<DWORD>(n), &d, nullptr) != 0;
    *got = d;
    return ok;
}
bool Seek(void* c, uint64_t o) {
    LARGE_INTEGER to;
    to.QuadPart = static_cast<LONGLONG>(o);
    return SetFilePointerEx(static_cast<FileIo*>(c)->h, to, nullptr, FILE_BEGIN) != 0;
}
bool Tell(void* c, uint64_t* o) {
    LARGE_INTEGER z, at;
    z.QuadPart = 0;
    if (!SetFilePointerEx(static_cast<FileIo*>(c)->h, z, &at, FILE_CURRENT)) return false;
    *o = static_cast<uint64_t>(at.QuadPart);
    return true;
}
bool Size(void* c, uint64_t* s) {
    LARGE_INTEGER v;
    if (!GetFileSizeEx(static_cast<FileIo*>(c)->h, &v)) return false;
    *s = static_cast<uint64_t>(v.QuadPart);
    return true;
}

double LastPageReached(const char* name, uint32_t* reached) {
    FileIo f = {CreateFileA(name, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr)};
    if (f.h == INVALID_HANDLE_VALUE) return -1;
    SpoolIo io = {&f, Write, Read, Seek, Tell, Size, nullptr, nullptr};
    SpoolReader r = {};
    auto t0 = std::chrono::steady_clock::now();
    // As the preview's Last Page button: straight to the page the header counts.
    bool reachedLast = false;
    if (SpoolReadHeader(&r, &io, '.') == 0) SpoolGoToPage(&r, r.pages, &reachedLast);
    double s = Seconds(t0);
    *reached = r.current;
    SpoolReaderFree(&r);
    CloseHandle(f.h);
    return s;
}

double SequentialRead(const char* name) {
    HANDLE h = CreateFileA(name, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return -1;
    std::vector<char> buf(64 * 1024);
    auto t0 = std::chrono::steady_clock::now();
    DWORD got = 0;
    while (ReadFile(h, buf.data(), static_cast<DWORD>(buf.size()), &got, nullptr) && got) {
    }
    double s = Seconds(t0);
    CloseHandle(h);
    return s;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<int> counts;
    int rounds = 7;
    for (int i = 1; i < argc; i++) {
        if (!strcmp(argv[i], "--rounds") && i + 1 < argc) rounds = atoi(argv[++i]);
        else counts.push_back(atoi(argv[i]));
    }
    int pages = counts.size() > 0 ? counts[0] : 1000;
    int longPages = counts.size() > 1 ? counts[1] : 10000;
    if (rounds < 1) rounds = 1;
    ClientConfigDefaults();
    gClientConfig.decimalChar = '.';
    BenchResult pdf;
    for (int i = 0; i < rounds; i++) {
        double spooled = PdfRun(pages, true), direct = PdfRun(pages, false);
        if (spooled < 0 || direct < 0) {
            printf("a PDF run failed\n");
            return 1;
        }
        BenchAddRound(&pdf, spooled, direct);
    }
    std::string name = std::to_string(pages) + " pages spooled to PDF";
    BenchReportGoal(kGoalSpoolToPdf, name, pdf);

    // The long file: one short text a page, kept.
    uint32_t h = Open("QovTest", "bench-long.spl", "");
    if (!h) {
        printf("no printer for the long spool file\n");
        return 1;
    }
    for (int p = 0; p < longPages; p++) {
        std::string t = "page " + std::to_string(p + 1);
        Msg(2204).U16(static_cast<uint16_t>(t.size())).U16(0).Text(t).Run();
        Msg(2202).U32(102).U16(1).Run();
    }
    Close(h, 3);
    BenchResult last;
    uint32_t reached = 0;
    for (int i = 0; i < rounds; i++) {
        double seq = SequentialRead("bench-long.spl");
        double jump = LastPageReached("bench-long.spl", &reached);
        BenchAddRound(&last, jump, seq);
    }
    if (reached != static_cast<uint32_t>(longPages)) printf("the last page reached is %u\n", reached);
    name = "last of " + std::to_string(longPages) + " pages";
    BenchReportGoal(kGoalSpoolLastPage, name, last);
    return 0;
}
