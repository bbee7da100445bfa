// fuzz_webimagefile.cpp - an image resource as the form or the server gives
// it, turned into the file the web view writes into its images folder: the
// first byte picks a bitmap (odd) or an icon (even). A file that is made must
// hold the data whole behind what was put in front of it, its header's sizes
// must fit the file, and nothing may be read past the data.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "session/util/mem.h"
#include "webview/core/webobject.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1 || size > (1u << 20)) return 0;
    uint32_t kind = (data[0] & 1) ? 3 : 1;
    uint32_t n = static_cast<uint32_t>(size - 1);
    // An exact-size copy, so a read past the end is caught by the sanitizer.
    uint8_t* copy = static_cast<uint8_t*>(malloc(n ? n : 1));
    if (!copy) return 0;
    if (n) memcpy(copy, data + 1, n);
    uint8_t* out = nullptr;
    uint32_t outSize = 0;
    if (WebImageFileFromResource(kind, copy, n, &out, &outSize)) {
        if (outSize < n || memcmp(out + (outSize - n), copy, n) != 0) abort();
        uint32_t front = outSize - n;
        if (front == 14) {
            uint32_t bits = static_cast<uint32_t>(out[10]) | out[11] << 8 | out[12] << 16 | static_cast<uint32_t>(out[13]) << 24;
            if (out[0] != 'B' || out[1] != 'M' || bits > outSize) abort();
        } else if (front == 22) {
            uint32_t at = static_cast<uint32_t>(out[18]) | out[19] << 8 | out[20] << 16 | static_cast<uint32_t>(out[21]) << 24;
            if (at != 22) abort();
        } else if (front != 0) {
            abort();
        }
    }
    GuardedFree(out);
    free(copy);
    return 0;
}
