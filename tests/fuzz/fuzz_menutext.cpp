// fuzz_menutext.cpp - MenuParseItemText over arbitrary menu definition text, as
// the server sends it: item by item to the end, with and without mnemonics.
// Each call must consume at least one byte and never more than it was given,
// and leave a NUL-terminated text and help topic inside their 256-byte buffers
// and marks within their ranges.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "controls/ctlcore.h"

static void CheckItem() {
    if (gMenuItem.length >= kMenuItemTextSize || gMenuItem.text[gMenuItem.length] != 0) abort();
    if (memchr(gMenuItem.helpTopic, 0, kMenuItemTextSize) == nullptr) abort();
    if (gMenuItem.shortCut > 132 || gMenuItem.specialMenu > 6 || gMenuItem.mergeCode > 3) abort();
    uint8_t vk = 0, mods = 0;
    if (MenuShortcutKey(gMenuItem.shortCut, &vk, &mods) != (gMenuItem.shortCut != 0)) abort();
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 1u << 20) return 0;
    // An exact-size copy, so a read past the end is caught by the sanitizer.
    char* text = static_cast<char*>(malloc(size ? size : 1));
    if (!text) return 0;
    if (size) memcpy(text, data, size);
    for (bool mnemonics : {true, false}) {
        uint32_t at = 0, remaining = static_cast<uint32_t>(size);
        while (at < remaining) {
            uint32_t n = MenuParseItemText(text + at, remaining - at, mnemonics);
            if (n == 0 || n > remaining - at) abort();
            CheckItem();
            at += n;
        }
    }
    MenuParseItemText(nullptr, 0, true);
    CheckItem();
    free(text);
    return 0;
}
