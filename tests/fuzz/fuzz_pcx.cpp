// fuzz_pcx.cpp - fuzz target of the PCX reader: the first page and, in a file
// of several pages, the second.
#include <cstddef>
#include <cstdint>

#include "graphics/image/imageload.h"
#include "graphics/image/pcx.h"

// Small pictures only: a generous cap would let one input allocate and fill
// a gigabyte, which finds nothing the small cap does not.
constexpr uint64_t kFuzzByteCap = 16u << 20;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    gImageByteCap = kFuzzByteCap;
    gImageDecodeState.sourcePos = data;
    gImageDecodeState.sourceSize = uint32_t(size);
    uint32_t pages = 0;
    PcxDecode(1, &pages);
    if (pages > 1) PcxDecode(2, nullptr);
    ImageClearState();
    gImageDecodeState.sourcePos = nullptr;
    gImageDecodeState.sourceSize = 0;
    return 0;
}
