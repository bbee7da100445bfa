// handles.cpp - the registry of live records behind the handles the server
// holds (objects, print jobs, printer files, sounds). A handle coming back from
// the server is only ever looked up here, never used as a pointer.
#include "session/session.h"

#include "session/util/mem.h"

struct HandleSlot {
    HandleKind kind;
    uint32_t handle;
    void* record;
};

static HandleSlot* gHandles;
static uint32_t gHandleCount;
static uint32_t gHandleSize;

constexpr uint32_t kHandleStep = 256;

bool HandleAdd(HandleKind kind, uint32_t handle, void* record) {
    if (!record) return false;
    HandleRemove(kind, handle);
    if (gHandleCount == gHandleSize) {
        void* p = GuardedRealloc(gHandles, (static_cast<size_t>(gHandleSize) + kHandleStep) * sizeof(HandleSlot));
        if (!p) return false;
        gHandles = static_cast<HandleSlot*>(p);
        gHandleSize += kHandleStep;
    }
    gHandles[gHandleCount++] = {kind, handle, record};
    return true;
}

void HandleRemove(HandleKind kind, uint32_t handle) {
    for (uint32_t i = 0; i < gHandleCount; i++) {
        if (gHandles[i].kind == kind && gHandles[i].handle == handle) {
            gHandles[i] = gHandles[--gHandleCount];
            return;
        }
    }
}

void* HandleLookup(HandleKind kind, uint32_t handle) {
    for (uint32_t i = 0; i < gHandleCount; i++)
        if (gHandles[i].kind == kind && gHandles[i].handle == handle) return gHandles[i].record;
    return nullptr;
}

void HandleCleanup() {
    GuardedFree(gHandles);
    gHandles = nullptr;
    gHandleCount = gHandleSize = 0;
}
