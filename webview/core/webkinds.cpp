// webkinds.cpp - the web kind table: the rows by kind, put in once each by the
// kinds' own files, and the flush of every kind's queued redraws.
#include "webview/core/webkinds.h"

namespace {

const WebKindOps* gKindRows[kObjectKindRows];
uint32_t gKindConflicts;

}  // namespace

bool WebRegisterKind(uint32_t kind, const WebKindOps* ops) {
    if (kind >= kObjectKindRows || !ops) return false;
    if (gKindRows[kind] && gKindRows[kind] != ops) {
        gKindConflicts++;
        return false;
    }
    gKindRows[kind] = ops;
    return true;
}

const WebKindOps* WebKindOpsOfKind(uint32_t kind) { return kind < kObjectKindRows ? gKindRows[kind] : nullptr; }

const WebKindOps* WebKindOpsOf(const ObjectRecord* rec) { return rec ? WebKindOpsOfKind(rec->kind) : nullptr; }

bool WebKindHas(uint32_t kind, uint32_t bits) {
    const WebKindOps* ops = WebKindOpsOfKind(kind);
    return ops && (ops->traits & bits) == bits;
}

uint32_t WebKindConflicts() { return gKindConflicts; }

const WebKindOps* WebKindOpsSwap(uint32_t kind, const WebKindOps* ops) {
    if (kind >= kObjectKindRows) return nullptr;
    const WebKindOps* old = gKindRows[kind];
    gKindRows[kind] = ops;
    return old;
}

void WebFlushAllRedraws() {
    // A flush that several kinds share runs once.
    void (*done[kObjectKindRows])(ObjectRecord*);
    uint32_t doneCount = 0;
    for (uint32_t kind = 0; kind < kObjectKindRows; ++kind) {
        const WebKindOps* ops = gKindRows[kind];
        if (!ops || !ops->flushRedraws) continue;
        bool seen = false;
        for (uint32_t i = 0; i < doneCount && !seen; ++i) seen = done[i] == ops->flushRedraws;
        if (seen) continue;
        done[doneCount++] = ops->flushRedraws;
        ops->flushRedraws(nullptr);
    }
}
