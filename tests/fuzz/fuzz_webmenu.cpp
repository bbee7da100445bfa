// fuzz_webmenu.cpp - a web menu built from arbitrary definition text, as the
// server sends it: item by item through the definition grammar, then its
// popup list written and every item removed again. At most 99 items, numbered
// in order from the base number + 1; every text NUL-terminated within 255
// bytes; the base number given back.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "controls/ctlcore.h"
#include "objects/objtables.h"
#include "session/util/mem.h"
#include "webview/controls/webmenu.h"
#include "webview/core/webtext.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 1u << 16) return 0;
    // An exact-size copy, so a read past the end is caught by the sanitizer.
    char* text = static_cast<char*>(malloc(size ? size : 1));
    auto* m = static_cast<WebMenuRecord*>(calloc(1, sizeof(WebMenuRecord)));
    if (!text || !m) abort();
    if (size) memcpy(text, data, size);
    m->hdr.kind = kKindFloatMenu;
    bool built = WebMenuBuildFromText(m, text, static_cast<uint32_t>(size));
    if (built && (m->baseNumber == 0 || m->baseNumber % kMenuBaseStep != 0)) abort();
    if (m->itemCount > kMenuItemsMax) abort();
    uint32_t count = 0;
    for (WebMenuItemRecord* it = m->items; it; it = it->next) {
        if (it->itemNumber != m->baseNumber + 1 + count++) abort();
        if (strlen(it->text) >= kMenuItemTextSize || it->shortCut > 132 || it->specialMenu > 6) abort();
    }
    if (count != m->itemCount) abort();
    HtmlReset();
    WebMenuPopupMarkup(m, 1);
    if (!gHtmlBuf.failed && gHtmlBuf.data && strlen(gHtmlBuf.data) != gHtmlBuf.length) abort();
    while (m->items) WebMenuRemoveItem(m, 0);
    GuardedFree(m->text);
    MenuBaseFree(m->baseNumber);
    if (MenuBaseAlloc() != kMenuBaseStep) abort();   // the one base number was given back
    MenuBaseFree(kMenuBaseStep);
    free(m);
    free(text);
    return 0;
}
