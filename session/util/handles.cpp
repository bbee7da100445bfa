// handles.cpp - the registry of live records behind the server's handles.
#include "session/util/handles.h"

#include <cstring>

#include "session/util/mem.h"

namespace {

constexpr int kKindCount = 5;
constexpr uint32_t kGrowStep = 256;
// The indexes have at least twice as many cells as the table has slots.
constexpr uint32_t kIndexFirstCells = 512;

struct HandleSlot {
    uint32_t handle;
    void* record;
};

// An open-addressed index into the slots (linear probing): each cell holds a
// slot number + 1, 0 when empty. Lookups by handle and by record cost the same
// whether the client holds ten objects or ten thousand.
struct SlotIndex {
    uint32_t* cells;
    uint32_t mask;  // cells - 1, the cell count a power of two
};

struct KindTable {
    HandleSlot* slots;
    uint32_t count, size;
    uint32_t next;  // the next counted handle
    SlotIndex byHandle, byRecord;
};

KindTable gTables[kKindCount];

KindTable* TableOf(HandleKind kind) { return kind < kKindCount ? &gTables[kind] : nullptr; }

// By kind; slot 0 is no kind.
constexpr HandleRange kRanges[kKindCount] = {
    {0, 0}, kHandleRangeObject, kHandleRangePrintJob, kHandleRangePrinterFile, kHandleRangeSound,
};

uint32_t Mix(uintptr_t key) {
    uint64_t x = static_cast<uint64_t>(key);
    x ^= x >> 33;
    x *= 0xff51afd7ed558ccdULL;
    x ^= x >> 33;
    return static_cast<uint32_t>(x);
}

uintptr_t HandleKey(const KindTable* t, uint32_t slot) { return t->slots[slot].handle; }
uintptr_t RecordKey(const KindTable* t, uint32_t slot) { return reinterpret_cast<uintptr_t>(t->slots[slot].record); }
typedef uintptr_t (*KeyOf)(const KindTable* t, uint32_t slot);

int32_t IndexFind(const KindTable* t, const SlotIndex& ix, KeyOf keyOf, uintptr_t key) {
    if (!ix.cells) return -1;
    for (uint32_t c = Mix(key) & ix.mask;; c = (c + 1) & ix.mask) {
        uint32_t v = ix.cells[c];
        if (!v) return -1;
        if (keyOf(t, v - 1) == key) return static_cast<int32_t>(v - 1);
    }
}

void IndexPut(const KindTable* t, SlotIndex* ix, KeyOf keyOf, uint32_t slot) {
    uint32_t c = Mix(keyOf(t, slot)) & ix->mask;
    while (ix->cells[c]) c = (c + 1) & ix->mask;
    ix->cells[c] = slot + 1;
}

// The cell that holds slot (which the index holds).
uint32_t IndexCellOf(const KindTable* t, const SlotIndex& ix, KeyOf keyOf, uint32_t slot) {
    uint32_t c = Mix(keyOf(t, slot)) & ix.mask;
    while (ix.cells[c] != slot + 1) c = (c + 1) & ix.mask;
    return c;
}

// The slot that moved from `from` to `to` (its entry already at `to`) is found
// under its new number.
void IndexRenumber(const KindTable* t, SlotIndex* ix, KeyOf keyOf, uint32_t from, uint32_t to) {
    uint32_t c = Mix(keyOf(t, to)) & ix->mask;
    while (ix->cells[c] != from + 1) c = (c + 1) & ix->mask;
    ix->cells[c] = to + 1;
}

// Empties the slot's cell; the cells after it in its run move back so that no
// later lookup stops short at the hole.
void IndexErase(const KindTable* t, SlotIndex* ix, KeyOf keyOf, uint32_t slot) {
    uint32_t hole = IndexCellOf(t, *ix, keyOf, slot);
    for (uint32_t j = (hole + 1) & ix->mask; ix->cells[j]; j = (j + 1) & ix->mask) {
        uint32_t home = Mix(keyOf(t, ix->cells[j] - 1)) & ix->mask;
        if (((j - home) & ix->mask) >= ((j - hole) & ix->mask)) {
            ix->cells[hole] = ix->cells[j];
            hole = j;
        }
    }
    ix->cells[hole] = 0;
}

// Makes both indexes cells large and fills them from the slots; false (indexes
// unchanged) without memory.
bool IndexRebuild(KindTable* t, uint32_t cells) {
    auto* h = static_cast<uint32_t*>(GuardedAlloc(size_t(cells) * sizeof(uint32_t)));
    auto* r = static_cast<uint32_t*>(GuardedAlloc(size_t(cells) * sizeof(uint32_t)));
    if (!h || !r) {
        GuardedFree(h);
        GuardedFree(r);
        return false;
    }
    memset(h, 0, size_t(cells) * sizeof(uint32_t));
    memset(r, 0, size_t(cells) * sizeof(uint32_t));
    GuardedFree(t->byHandle.cells);
    GuardedFree(t->byRecord.cells);
    t->byHandle = SlotIndex{h, cells - 1};
    t->byRecord = SlotIndex{r, cells - 1};
    for (uint32_t i = 0; i < t->count; i++) {
        IndexPut(t, &t->byHandle, HandleKey, i);
        IndexPut(t, &t->byRecord, RecordKey, i);
    }
    return true;
}

int32_t FindHandle(const KindTable* t, uint32_t handle) { return IndexFind(t, t->byHandle, HandleKey, handle); }

int32_t FindRecord(const KindTable* t, const void* record) {
    return IndexFind(t, t->byRecord, RecordKey, reinterpret_cast<uintptr_t>(record));
}

bool Append(KindTable* t, uint32_t handle, void* record) {
    if (t->count == t->size) {
        void* p = GuardedRealloc(t->slots, (static_cast<size_t>(t->size) + kGrowStep) * sizeof(HandleSlot));
        if (!p) return false;
        t->slots = static_cast<HandleSlot*>(p);
        t->size += kGrowStep;
    }
    uint32_t cells = t->byHandle.cells ? t->byHandle.mask + 1 : 0;
    if (2 * (t->count + 1) > cells && !IndexRebuild(t, cells ? 2 * cells : kIndexFirstCells)) return false;
    t->slots[t->count] = {handle, record};
    IndexPut(t, &t->byHandle, HandleKey, t->count);
    IndexPut(t, &t->byRecord, RecordKey, t->count);
    t->count++;
    return true;
}

// Takes slot i out: the last slot moves into its place, as before.
void RemoveAt(KindTable* t, uint32_t i) {
    IndexErase(t, &t->byHandle, HandleKey, i);
    IndexErase(t, &t->byRecord, RecordKey, i);
    uint32_t last = --t->count;
    if (i == last) return;
    t->slots[i] = t->slots[last];
    IndexRenumber(t, &t->byHandle, HandleKey, last, i);
    IndexRenumber(t, &t->byRecord, RecordKey, last, i);
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
    if (i >= 0) RemoveAt(t, static_cast<uint32_t>(i));
}

void HandleRemoveRecord(HandleKind kind, const void* record) {
    KindTable* t = TableOf(kind);
    if (!t || !record) return;
    int32_t i = FindRecord(t, record);
    if (i >= 0) RemoveAt(t, static_cast<uint32_t>(i));
}

void* HandleLookup(HandleKind kind, uint32_t handle) {
    KindTable* t = TableOf(kind);
    if (!t) return nullptr;
    int32_t i = FindHandle(t, handle);
    return i >= 0 ? t->slots[i].record : nullptr;
}

bool HandleHasRecord(HandleKind kind, const void* record) {
    KindTable* t = TableOf(kind);
    return t && record && FindRecord(t, record) >= 0;
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
        GuardedFree(t.byHandle.cells);
        GuardedFree(t.byRecord.cells);
        t = KindTable();
    }
}
