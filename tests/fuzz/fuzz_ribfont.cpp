// fuzz_ribfont.cpp - the ribbon font text walk over arbitrary bytes: every step
// names a font property in order, a face lies inside the input and within its
// limit, and the walk ends.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "com/ribfonttext.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // An exact-size copy, so a read past the end is caught by the sanitizer.
    char* text = static_cast<char*>(malloc(size ? size : 1));
    if (!text) return 0;
    if (size) memcpy(text, data, size);
    RibFontCursor c = RibFontTextBegin(text, size);
    RibFontStep s;
    uint32_t last = 0, steps = 0;
    while (RibFontTextNext(&c, &s)) {
        if (s.index <= last || s.index < kRibFontFamily || s.index > kRibFontLast) abort();
        if (s.face) {
            if (s.index != kRibFontFamily || s.faceLength == 0 || s.faceLength > kRibFontFaceKeep) abort();
            if (s.face < text || s.face + s.faceLength > text + size) abort();
        }
        last = s.index;
        if (++steps > kRibFontLast - kRibFontFamily + 1) abort();
    }
    free(text);
    return 0;
}
