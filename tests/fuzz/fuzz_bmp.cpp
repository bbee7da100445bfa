// fuzz_bmp.cpp - fuzz target of the BMP reader, with the source size known and unknown.
#include <cstddef>
#include <cstdint>

#include "graphics/image/bmp.h"
#include "graphics/image/imageload.h"
#include "tests/testutil.h"

// Small pictures only: a generous cap would let one input allocate and fill
// a gigabyte, which finds nothing the small cap does not.
constexpr uint64_t kFuzzByteCap = 16u << 20;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ScopedSet cap(gImageByteCap, kFuzzByteCap);
    gImageDecodeState.sourcePos = data;
    gImageDecodeState.sourceSize = uint32_t(size);
    BmpDecode(uint32_t(size));
    ImageClearState();
    gImageDecodeState.sourcePos = data;
    gImageDecodeState.sourceSize = uint32_t(size);
    BmpDecodeUnsized();
    ImageClearState();
    return 0;
}
