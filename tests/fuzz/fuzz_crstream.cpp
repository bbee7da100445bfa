// fuzz_crstream.cpp - DecodeFormCrStream over arbitrary bytes: it must refuse or
// accept without reading past the stream, and every text it keeps must lie
// inside the stream.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "objects/crstream.h"

static ObjectCreateRecord gFuzzCr;

static void CheckInside(const uint8_t* data, size_t size, const void* p, size_t n) {
    const uint8_t* b = static_cast<const uint8_t*>(p);
    if (n && (b < data || b + n > data + size)) abort();
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (!DecodeFormCrStream(data, size, 5, 0, &gFuzzCr)) return 0;
    for (uint32_t id = 0; id < kPropIdCount; ++id)
        CheckInside(data, size, gFuzzCr.texts[id].text, gFuzzCr.texts[id].length);
    for (uint32_t i = 0; i < gFuzzCr.namedCount; ++i) {
        CheckInside(data, size, gFuzzCr.named[i].name, gFuzzCr.named[i].nameLength + 1);
        CheckInside(data, size, gFuzzCr.named[i].data, gFuzzCr.named[i].length);
    }
    return 0;
}
