// handles.cpp - the registry of live records behind the server's handles.
#include "session/util/handles.h"

#include "session/util/mem.h"

namespace {

constexpr int kKindCount = 5;
constexpr uint32_t kGrowStep = 256;

struct HandleSlot {
    uint32_t handle;
    void* record;
};

struct KindTable {
    HandleSlot* slots;
    uint32_t count, size;
    uint32_t next;  // the next counted handle
};

KindTable gTables[kKindCount];

KindTable* TableOf(HandleKind kind) { return kind < kKindCount ? &gTables[kind] : nullptr; }

// By kind; slot 0 is no kind.
constexpr HandleRange kRanges[kKindCount] = {
    {0, 0}, kHandleRangeObject, kHandleRangePrintJob, kHandleRangePrinterFile, kHandleRangeSound,
};

int32_t FindHandle(const KindTable* t, uint32_t handle) {
    for (uint32_t i = 0; i < t->count; i++)
        if (t->slots[i].handle == handle) return static_cast<int32_t>(i);
    return -1;
}

bool Append(KindTable* t, uint32_t handle, void* record) {
    if (t->count == t->size) {
        void* p = GuardedRealloc(t->slots, (static_cast<size_t>(t->size) + kGrowStep) * sizeof(HandleSlot));
        if (!p) return false;
        t->slots = static_cast<HandleSlot*>(p);
        t->size += kGrowStep;
    }
    t->slots[t->count++] = {handle, record};
    return true;
}

}  // namespace

HandleRange HandleRangeOf(HandleKind kind) { return kind < kKindCount ? kRanges[kind] : HandleRange{0, 0}; }

uint32_t HandleNew(HandleKind kind, void* record) {
    KindTable* t = TableOf(kind);
    HandleRange range = HandleRangeOf(kind);
    if (!t || !record || range.first == 0) return 0;
    if (t->next < range.first || t->next > range.last) t->next = range.first;
    uint32_t h;
    // The table can never fill a range (it holds far fewer records than a
    // range has numbers), so the search for a free number ends.
    do {
        h = t->next;
        t->next = h == range.last ? range.first : h + 1;
    } while (FindHandle(t, h) >= 0);
    return Append(t, h, record) ? h : 0;
}

bool HandleAdd(HandleKind kind, uint32_t handle, void* record) {
    KindTable* t = TableOf(kind);
    if (!t || !record) return false;
    HandleRemove(kind, handle);
    return Append(t, handle, record);
}

void HandleRemove(HandleKind kind, uint32_t handle) {
    KindTable* t = TableOf(kind);
    if (!t) return;
    int32_t i = FindHandle(t, handle);
    if (i >= 0) t->slots[i] = t->slots[--t->count];
}

void HandleRemoveRecord(HandleKind kind, const void* record) {
    KindTable* t = TableOf(kind);
    if (!t || !record) return;
    for (uint32_t i = 0; i < t->count; i++) {
        if (t->slots[i].record == record) {
            t->slots[i] = t->slots[--t->count];
            return;
        }
    }
}

void* HandleLookup(HandleKind kind, uint32_t handle) {
    KindTable* t = TableOf(kind);
    if (!t) return nullptr;
    int32_t i = FindHandle(t, handle);
    return i >= 0 ? t->slots[i].record : nullptr;
}

bool HandleHasRecord(HandleKind kind, const void* record) {
    KindTable* t = TableOf(kind);
    if (!t || !record) return false;
    for (uint32_t i = 0; i < t->count; i++)
        if (t->slots[i].record == record) return true;
    return false;
}

uint32_t HandleCount(HandleKind kind) {
    KindTable* t = TableOf(kind);
    return t ? t->count : 0;
}

void* HandleRecordAt(HandleKind kind, uint32_t index) {
    KindTable* t = TableOf(kind);
    return t && index < t->count ? t->slots[index].record : nullptr;
}

void HandleCleanup() {
    for (KindTable& t : gTables) {
        GuardedFree(t.slots);
        t = KindTable();
    }
}
