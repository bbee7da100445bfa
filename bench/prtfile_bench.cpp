// prtfile_bench.cpp - a printer file written the way the server writes one:
// 10 MB in 2213 messages of 4 KB into a disk file, through the message
// handler, against WriteFile of the same 4 KB blocks into another file, the
// two in turns round by round; prints both times and min / median / max of
// their ratios (goal: at most 1.5). Runs under Wine.
// Usage: prtfile_bench [megabytes] [rounds]
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bench/benchkit.h"

#include "print/print.h"
#include "session/session.h"

namespace {

constexpr size_t kBlock = 4096;
constexpr size_t kMsgHead = 16;     // header, handle, count

double Seconds(std::chrono::steady_clock::time_point t0) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

uint32_t OpenFile(const char* name) {
    std::vector<uint8_t> m(20, 0);
    uint32_t modeOff = static_cast<uint32_t>(strlen(name) + 1);
    memcpy(m.data() + 8, &modeOff, 4);
    m[16] = 1;
    m.insert(m.end(), name, name + strlen(name) + 1);
    m.push_back('w');
    m.push_back(0);
    uint32_t len = static_cast<uint32_t>(m.size()), type = 1208;
    memcpy(m.data(), &len, 4);
    memcpy(m.data() + 4, &type, 4);
    SrvMsg msg = {m.data(), len, type, 0, WireReader(m.data(), len, false)};
    gSendBuf.used = 0;
    PrtFileHandleMsg(&msg);
    uint32_t handle = 0;
    if (gSendBuf.used >= 12) memcpy(&handle, gSendBuf.data + 8, 4);
    return handle;
}

int32_t Send(uint32_t type, std::vector<uint8_t>& m) {
    uint32_t len = static_cast<uint32_t>(m.size());
    memcpy(m.data(), &len, 4);
    memcpy(m.data() + 4, &type, 4);
    SrvMsg msg = {m.data(), len, type, 0, WireReader(m.data(), len, false)};
    return PrtFileHandleMsg(&msg);
}

double WriteByMessages(size_t blocks) {
    auto t0 = std::chrono::steady_clock::now();
    uint32_t h = OpenFile("bench-prtfile.bin");
    if (!h) return -1;
    std::vector<uint8_t> m(kMsgHead + kBlock);
    uint32_t count = kBlock;
    memcpy(m.data() + 8, &h, 4);
    memcpy(m.data() + 12, &count, 4);
    for (size_t i = 0; i < kBlock; i++) m[kMsgHead + i] = static_cast<uint8_t>(i * 31);
    for (size_t b = 0; b < blocks; b++)
        if (Send(2213, m) != 0) return -1;
    std::vector<uint8_t> c(13, 0);
    memcpy(c.data() + 8, &h, 4);
    c[12] = 1;
    if (Send(1209, c) != 0) return -1;
    return Seconds(t0);
}

double WriteByWriteFile(size_t blocks) {
    auto t0 = std::chrono::steady_clock::now();
    HANDLE f = CreateFileA("bench-writefile.bin", GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE) return -1;
    std::vector<uint8_t> block(kBlock);
    for (size_t i = 0; i < kBlock; i++) block[i] = static_cast<uint8_t>(i * 31);
    for (size_t b = 0; b < blocks; b++) {
        DWORD written;
        if (!WriteFile(f, block.data(), kBlock, &written, nullptr) || written != kBlock) return -1;
    }
    CloseHandle(f);
    return Seconds(t0);
}


}  // namespace

int main(int argc, char** argv) {
    int megabytes = argc > 1 ? atoi(argv[1]) : 10;
    int rounds = argc > 2 ? atoi(argv[2]) : 15;
    if (megabytes < 1 || rounds < 1) return 2;
    size_t blocks = static_cast<size_t>(megabytes) * 1024 * 1024 / kBlock;
    BenchResult r;
    for (int i = 0; i < rounds; i++) {
        double a = WriteByMessages(blocks), b = WriteByWriteFile(blocks);
        if (a < 0 || b < 0) {
            fprintf(stderr, "a write failed\n");
            return 1;
        }
        BenchAddRound(&r, a, b);
    }
    DeleteFileA("bench-prtfile.bin");
    DeleteFileA("bench-writefile.bin");
    std::string name = "printer file " + std::to_string(megabytes) + " MB";
    BenchReportGoal(kGoalPrinterFile, name, r);
    return 0;
}
