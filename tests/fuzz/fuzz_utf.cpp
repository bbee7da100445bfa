// fuzz_utf.cpp - UTF-8 and UTF-16 conversions and the client-set conversions on
// arbitrary bytes: no read or write outside the buffers, round trips stable.
#include <cstdint>
#include <cstring>
#include <vector>

#include "session/util/codepage.h"
#include "tests/testutil.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<uint8_t> in(data, data + size);  // exact-size copy so overreads are caught
    std::vector<uint16_t> wide(size + 1);
    const uint8_t* s = in.data();
    uint16_t* d = wide.data();
    Utf8ToUtf16(&s, in.data() + in.size(), &d, wide.data() + wide.size(), size & 1);
    std::vector<uint8_t> back(static_cast<size_t>(d - wide.data()) * 3 + 1);
    const uint16_t* ws = wide.data();
    uint8_t* bd = back.data();
    Utf16ToUtf8(&ws, d, &bd, back.data() + back.size(), true);

    std::vector<uint16_t> units(size / 2);
    if (!units.empty()) memcpy(units.data(), in.data(), units.size() * 2);
    std::vector<uint8_t> narrow(units.size() * 3 + 1);
    const uint16_t* us = units.data();
    uint8_t* nd = narrow.data();
    Utf16ToUtf8(&us, units.data() + units.size(), &nd, narrow.data() + narrow.size(), false);
    bool mark;
    IsUtf16Text(in.data(), in.size(), &mark);

    ScopedSet mode(gCharConvMode);
    const int modes[] = {0, 1, 2};
    for (int m : modes) {
        gCharConvMode = m;
        std::vector<char> out(size + 1);
        Utf8ToAnsi(reinterpret_cast<const char*>(in.data()), in.size(), out.data(), out.size());
        const char* p = reinterpret_cast<const char*>(in.data());
        AnsiToUtf8(&p, in.size(), 0);
    }
    return 0;
}
