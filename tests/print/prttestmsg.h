// prttestmsg.h - the server messages the printing test programs under Wine
// build and hand to the client, and the reading of its answer. Each program
// defines PrtTestDispatch, the handler its messages go to.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "print/print.h"
#include "session/session.h"

constexpr uint32_t kPrtTestHeaderSize = 8;   // length and type, each 4 bytes

// The client's handler of one message in this test program.
int32_t PrtTestDispatch(const SrvMsg* msg);

// One server message: header, then body fields, little-endian.
struct Msg {
    std::vector<uint8_t> b;
    uint32_t type;
    explicit Msg(uint32_t t) : b(kPrtTestHeaderSize, 0), type(t) {}
    Msg& U8(uint8_t v) { b.push_back(v); return *this; }
    Msg& U16(uint16_t v) { U8(v & 0xFF); return U8(v >> 8); }
    Msg& U32(uint32_t v) { U16(v & 0xFFFF); return U16(v >> 16); }
    Msg& Pad(size_t n) { b.resize(b.size() + n); return *this; }
    Msg& Text(const std::string& s) { b.insert(b.end(), s.begin(), s.end()); return *this; }
    // The header filled in, the answer buffer emptied, the message handled.
    int32_t Run() {
        uint32_t len = static_cast<uint32_t>(b.size());
        memcpy(b.data(), &len, 4);
        memcpy(b.data() + 4, &type, 4);
        SrvMsg m = {b.data(), len, type, 0, WireReader(b.data(), len, false)};
        gSendBuf.used = 0;
        return PrtTestDispatch(&m);
    }
};

// The 4 bytes of the answer at off; 0 when the answer is shorter.
inline uint32_t SentU32(size_t off) {
    uint32_t v = 0;
    if (gSendBuf.used >= off + 4) memcpy(&v, gSendBuf.data + off, 4);
    return v;
}

// An information request (2031) handed straight to the printer's hook, as the
// session hands it on: the value answered, and the text in *answer.
inline int32_t PrtTestInfoRequest(uint32_t code, uint32_t arg1, uint32_t arg2, uint32_t handle, const std::string& text,
                                  const char** answer) {
    Msg m(2031);
    m.U32(code).U32(arg1).U32(arg2).U32(handle).U32(static_cast<uint32_t>(text.size())).Text(text);
    uint32_t len = static_cast<uint32_t>(m.b.size());
    memcpy(m.b.data(), &len, 4);
    memcpy(m.b.data() + 4, &m.type, 4);
    SrvMsg sm = {m.b.data(), len, m.type, 0, WireReader(m.b.data(), len, false)};
    *answer = nullptr;
    return PrtInfoRequest(code, &sm, answer);
}

// Wine's spooler writes the port LPT1: (the test printers' port) to the Unix
// file named under HKCU\Software\Wine\Printing\Spooler. While one of these
// lives that file is /dev/full: the spooler then fails every document at its
// end (EndDoc 0, EndDocPrinter FALSE) while pages still succeed.
struct FullSpoolerPort {
    HKEY key = nullptr;
    char old[MAX_PATH] = "";
    DWORD oldLen = 0;
    FullSpoolerPort() {
        if (RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Wine\\Printing\\Spooler", 0, KEY_READ | KEY_WRITE, &key))
            return;
        oldLen = sizeof old;
        if (RegQueryValueExA(key, "LPT1:", nullptr, nullptr, reinterpret_cast<BYTE*>(old), &oldLen)) oldLen = 0;
        static const char kFull[] = "/dev/full";
        RegSetValueExA(key, "LPT1:", 0, REG_SZ, reinterpret_cast<const BYTE*>(kFull), sizeof kFull);
    }
    ~FullSpoolerPort() {
        if (!key) return;
        if (oldLen) RegSetValueExA(key, "LPT1:", 0, REG_SZ, reinterpret_cast<const BYTE*>(old), oldLen);
        RegCloseKey(key);
    }
};
