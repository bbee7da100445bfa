// fuzz_prtfile.cpp - feeds arbitrary bytes to the printer file readers as the
// client meets them: the first byte picks the message (1208, 2213 or 1209),
// the rest is its body; an open's name goes through the port-name rule and
// its COM settings text through the settings parser, a write's bytes through
// the text-mode layout.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "print/prtfilecalc.h"

static void Draw(void*, int32_t, int32_t, const char*, size_t) {}
static void Page(void*) {}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    uint8_t which = data[0] % 3;
    // The body behind an 8-byte header, in a buffer of its own exact size.
    std::vector<uint8_t> msg(8 + size - 1);
    if (size > 1) memcpy(msg.data() + 8, data + 1, size - 1);
    WireReader r(msg.data(), msg.size(), false);
    if (which == 0) {
        PrtFileOpenMsg o;
        if (!PrtDecodeFileOpen(r, &o)) return 0;
        PrtPortName pn;
        if (PrtParsePortName(o.name, &pn)) {
            PrtParseCommSettings(pn.comSettings, kPrtParityNone);
            PrtFileCreateMode(pn, o.mode);
        }
    } else if (which == 1) {
        PrtFileWriteMsg w;
        if (!PrtDecodeFileWrite(r, &w)) return 0;
        static std::vector<char> pending(kPrtFileTextMax);
        PrtTextState st = {0, 0, 60, pending.data(), 0};
        const PrtTextOps ops = {Draw, Page};
        PrtTextFeed(&st, w.bytes, w.count, ops, nullptr);
    } else {
        PrtFileCloseMsg c;
        PrtDecodeFileClose(r, &c);
    }
    return 0;
}
