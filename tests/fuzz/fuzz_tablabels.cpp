// fuzz_tablabels.cpp - a tab control's label list as the server sends it: taken
// label by label to the end, each label's hot key put into the hot-key table
// at the next position. Every step must consume at least one byte and never
// more than was left, keep the label NUL-terminated within its buffer, and
// keep the hot-key table within its size.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "graphics/barcore.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > kTabLabelsMax) return 0;
    // An exact-size copy, so a read past the end is caught by the sanitizer.
    char* text = static_cast<char*>(malloc(size ? size : 1));
    if (!text) return 0;
    if (size) memcpy(text, data, size);
    TabHotKeys keys = {};
    uint32_t at = 0, index = 0;
    const uint32_t total = static_cast<uint32_t>(size);
    while (at < total) {
        TabLabel label;
        bool ended = false;
        uint32_t used = TabLabelNext(text + at, total - at, &label, &ended);
        if (used == 0 || used > total - at) abort();
        if (label.length > kTabLabelMax || label.text[label.length] != 0) abort();
        TabHotKeysInsert(&keys, index, label.hotKey);
        if (keys.count > kTabHotKeyMax) abort();
        if (TabHotKeysFind(&keys, label.hotKey) >= static_cast<int32_t>(kTabHotKeyMax)) abort();
        if (index % 3 == 2) TabHotKeysDelete(&keys, index / 2);
        at += used;
        ++index;
    }
    (void)TabLabelHotKey(text, total);
    free(text);
    return 0;
}
