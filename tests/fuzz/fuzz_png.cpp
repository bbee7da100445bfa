// fuzz_png.cpp - fuzz target of the PNG reader. Each input is decoded as it
// is and once more with every chunk CRC set right, so that mutations reach
// the chunk rules, inflating and the row code instead of stopping at the CRC.
#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <vector>

#include "graphics/image/imageload.h"
#include "graphics/image/png.h"
#include "tests/testutil.h"

// Small pictures only: a generous cap would let one input allocate and fill
// a gigabyte, which finds nothing the small cap does not.
constexpr uint64_t kFuzzByteCap = 16u << 20;

namespace {

void DecodeOnce(const uint8_t* data, size_t size, uint32_t background) {
    gImageDecodeState.sourcePos = data;
    gImageDecodeState.sourceSize = uint32_t(size);
    PngLoad(background);
    ImageClearState();
}

uint32_t Be32(const uint8_t* p) { return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3]; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ScopedSet cap(gImageByteCap, kFuzzByteCap);
    DecodeOnce(data, size, kPngNoBackground);

    std::vector<uint8_t> fixed(data, data + size);
    for (size_t pos = 8; pos + 12 <= fixed.size();) {
        uint64_t len = Be32(&fixed[pos]);
        if (len + 12 > fixed.size() - pos) break;
        uint32_t crc = uint32_t(crc32(0, &fixed[pos + 4], uInt(len + 4)));
        uint8_t* at = &fixed[pos + 8 + len];
        at[0] = uint8_t(crc >> 24), at[1] = uint8_t(crc >> 16), at[2] = uint8_t(crc >> 8), at[3] = uint8_t(crc);
        pos += size_t(len) + 12;
    }
    DecodeOnce(fixed.data(), fixed.size(), kPngForceBackground | 0x123456);
    return 0;
}
