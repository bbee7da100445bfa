// fuzz_jpeg.cpp - fuzz target of the JPEG probe and reader.
#include <cstddef>
#include <cstdint>

#include "graphics/image/jpeg.h"
#include "graphics/image/imageload.h"
#include "tests/testutil.h"

// Small pictures only: a generous cap would let one input allocate and fill
// a gigabyte, which finds nothing the small cap does not.
constexpr uint64_t kFuzzByteCap = 16u << 20;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ScopedSet cap(gImageByteCap, kFuzzByteCap);
    JpegIsImage(data, size);
    gImageDecodeState.sourcePos = data;
    gImageDecodeState.sourceSize = uint32_t(size);
    JpegDecode();
    ImageClearState();
    return 0;
}
