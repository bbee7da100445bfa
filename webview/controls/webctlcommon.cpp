// webctlcommon.cpp - helpers the web controls share: method arguments as
// text, the theme a creation takes, mnemonics, and a creator's refusal.
#include "webview/controls/webctlcommon.h"

#include <cstring>

#include "objects/objops.h"
#include "webview/core/webobject.h"

const char* WebArgTextRef(const MethodCallRec* call, uint32_t i, uint32_t* length) {
    *length = 0;
    if (!WebArgGiven(call, i)) return nullptr;
    const EventItem& a = call->args[i];
    if (a.kind != kItemText && a.kind != kItemText8 && a.kind != kItemUtf8) return nullptr;
    *length = a.data ? a.size : 0;
    return a.data ? static_cast<const char*>(a.data) : "";
}

void WebApplyTheme(ObjectCreateRecord* cr, const ObjectRecord* top) {
    // The header's strings are copied from the creation record after the
    // kind's creator, with the header's own allocator: the window's theme
    // goes into the creation record.
    if (!cr->theme.text && top && top->theme) cr->theme = CrText{top->theme, static_cast<uint32_t>(strlen(top->theme))};
}

uint8_t WebMnemonicOf(const char* text) {
    for (const char* p = text; p && *p; ++p) {
        if (*p != '&') continue;
        if (p[1] == '&') {
            ++p;
            continue;
        }
        return static_cast<uint8_t>(p[1]);
    }
    return 0;
}

ObjectRecord* WebCreateRefused(ObjectRecord* rec, bool allocated, void (*destroy)(ObjectRecord*), int32_t* code) {
    if (destroy) destroy(rec);
    if (allocated) ObjectFreeRecord(rec);
    *code = kWebNoMemory;
    return nullptr;
}
