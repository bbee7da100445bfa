// fuzz_gif.cpp - fuzz target of the GIF reader.
#include <cstddef>
#include <cstdint>

#include "graphics/image/gif.h"
#include "graphics/image/imageload.h"
#include "tests/testutil.h"

// Small pictures only: a generous cap would let one input allocate and fill
// a gigabyte, which finds nothing the small cap does not.
constexpr uint64_t kFuzzByteCap = 16u << 20;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ScopedSet cap(gImageByteCap, kFuzzByteCap);
    gImageDecodeState.sourcePos = data;
    gImageDecodeState.sourceSize = uint32_t(size);
    GifDecode();
    ImageClearState();
    return 0;
}
