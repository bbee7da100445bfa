// fuzz_png.cpp - fuzz target of the PNG reader, with a forced and a file background.
#include <cstddef>
#include <cstdint>

#include "graphics/image/png.h"
#include "graphics/image/imageload.h"

// Small pictures only: a generous cap would let one input allocate and fill
// a gigabyte, which finds nothing the small cap does not.
constexpr uint64_t kFuzzByteCap = 16u << 20;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    gImageByteCap = kFuzzByteCap;
    gImageDecodeState.sourcePos = data;
    gImageDecodeState.sourceSize = uint32_t(size);
    PngLoad(kPngNoBackground);
    ImageClearState();
    gImageDecodeState.sourcePos = data;
    gImageDecodeState.sourceSize = uint32_t(size);
    PngLoad(kPngForceBackground | 0x123456);
    ImageClearState();
    return 0;
}
