// events.cpp - event registrations (a pool of nodes on each object's list with
// two mask words), the queue of at most 50 pending events, posting, taking the
// next event for the server and the waits that pump until one arrives.
#include "objects/events.h"

#include <chrono>
#include <cstring>

#include "objects/objhooks.h"
#include "objects/objrecord.h"
#include "session/util/mem.h"

namespace {

struct EventRegBlock {
    EventRegBlock* next;
    EventReg regs[kEventRegPoolStep];
};

// One pending event. Texts of the event and of its items are owned here.
struct EventQueueEntry {
    ObjectRecord* rec;
    EventRecord ev;
    EventItem items[kEventRegItems];
    uint32_t itemCount;
    char* text;             // local heap
    uint8_t* itemData;      // guarded heap: the copied item texts
    void* comArgs;          // a COM event's argument copies (gComObjectHooks)
};

EventRegBlock* gRegBlocks;
EventReg* gRegFree;
EventQueueEntry gQueue[kEventQueueMax];
uint32_t gQueueCount;
EventQueueEntry gTaken;     // the last event handed out; its texts live until the next take
bool gWaitEnd;

void MaskSet(ObjectRecord* rec, uint32_t eventId, bool on) {
    if (eventId >= kEventMaskIds) return;
    uint32_t word = eventId / 32, bit = 1u << (eventId % 32);
    rec->eventMask[word] = on ? (rec->eventMask[word] | bit) : (rec->eventMask[word] & ~bit);
}

EventReg* RegAlloc() {
    if (!gRegFree) {
        EventRegBlock* block = static_cast<EventRegBlock*>(GuardedAlloc(sizeof(EventRegBlock)));
        if (!block) return nullptr;
        memset(block, 0, sizeof *block);
        block->next = gRegBlocks;
        gRegBlocks = block;
        for (uint32_t i = 0; i < kEventRegPoolStep; ++i) {
            block->regs[i].next = gRegFree;
            gRegFree = &block->regs[i];
        }
    }
    EventReg* reg = gRegFree;
    gRegFree = reg->next;
    memset(reg, 0, sizeof *reg);
    return reg;
}

void RegRelease(EventReg* reg) {
    memset(reg, 0, sizeof *reg);
    reg->next = gRegFree;
    gRegFree = reg;
}

void DropComArgs(EventQueueEntry* e);

void EntryFree(EventQueueEntry* e) {
    DropComArgs(e);
    if (e->text) LocalFreeMem(e->text);
    if (e->itemData) GuardedFree(e->itemData);
    memset(e, 0, sizeof *e);
}

// Builds the entry of an event; items from the registration's templates, the
// arguments (when given) filling them in order. False when memory runs out.
bool EntryFill(EventQueueEntry* e, ObjectRecord* rec, const EventReg* reg, uint32_t eventId, uint8_t kind,
               uint16_t modifiers, int32_t value, int32_t extra, uint8_t urgency, const EventItem* args,
               uint32_t argCount) {
    memset(e, 0, sizeof *e);
    e->rec = rec;
    e->ev.handle = rec->handle;
    e->ev.ovar = rec->ovar;
    e->ev.objectId = rec->objectId;
    e->ev.eventId = static_cast<int32_t>(eventId);
    e->ev.kind = kind;
    e->ev.urgent = static_cast<uint8_t>(urgency || reg->urgent);
    e->ev.modifiers = modifiers;
    e->ev.value = value;
    e->ev.extra = extra;
    e->itemCount = reg->itemCount;
    for (uint32_t i = 0; i < reg->itemCount; ++i) e->items[i] = reg->items[i];
    if (argCount > kEventRegItems) argCount = kEventRegItems;
    if (argCount > e->itemCount) e->itemCount = argCount;
    // Item texts are copied into one block so the queue owns them.
    size_t textBytes = 0;
    for (uint32_t i = 0; i < argCount; ++i)
        if (ItemIsText(args[i].kind) && args[i].data) textBytes += args[i].size + 1;
    uint8_t* block = nullptr;
    if (textBytes) {
        block = static_cast<uint8_t*>(GuardedAlloc(textBytes));
        if (!block) return false;
    }
    size_t at = 0;
    for (uint32_t i = 0; i < argCount; ++i) {
        EventItem item = args[i];
        if (ItemIsText(item.kind) && item.data) {
            memcpy(block + at, item.data, item.size);
            block[at + item.size] = 0;
            item.data = block + at;
            at += item.size + 1;
        } else if (ItemIsText(item.kind)) {
            item.size = 0;
        }
        // The registration's variable stays the target of the value.
        if (i < reg->itemCount && !item.varRef) item.varRef = reg->items[i].varRef;
        e->items[i] = item;
    }
    e->itemData = block;
    return true;
}

void DropComArgs(EventQueueEntry* e) {
    if (!e->comArgs) return;
    // The taken event's copies may be the current arguments: those go first.
    if (e == &gTaken && gComObjectHooks.eventArgsCurrent) gComObjectHooks.eventArgsCurrent(nullptr);
    if (gComObjectHooks.eventArgsFree) gComObjectHooks.eventArgsFree(e->comArgs);
    e->comArgs = nullptr;
}

bool QueueInsert(const EventQueueEntry& e, bool first) {
    if (gQueueCount >= kEventQueueMax) return false;
    if (first) {
        memmove(&gQueue[1], &gQueue[0], gQueueCount * sizeof(EventQueueEntry));
        gQueue[0] = e;
    } else {
        gQueue[gQueueCount] = e;
    }
    gQueueCount++;
    return true;
}

uint32_t NowMs() {
    if (gObjectHooks.tickCount) return gObjectHooks.tickCount();
    using namespace std::chrono;
    return static_cast<uint32_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

bool PostCommon(ObjectRecord* rec, uint32_t eventId, uint8_t kind, uint16_t modifiers, int32_t value,
                int32_t extra, char* text, uint8_t urgency, const EventItem* args, uint32_t argCount,
                bool first, void* comArgs = nullptr) {
    if (!rec || !ObjectIsLive(rec)) return false;
    const EventReg* reg = EventFindReg(rec, eventId);
    if (!reg || gQueueCount >= kEventQueueMax) return false;
    EventQueueEntry e;
    if (!EntryFill(&e, rec, reg, eventId, kind, modifiers, value, extra, urgency, args, argCount)) return false;
    e.text = text;
    e.ev.text = text;
    e.ev.textLength = text ? static_cast<uint32_t>(strlen(text)) : 0;
    e.comArgs = comArgs;
    if (!QueueInsert(e, first)) {
        e.text = nullptr;   // the caller keeps its text and argument copies
        e.comArgs = nullptr;
        EntryFree(&e);
        return false;
    }
    return true;
}

}  // namespace

int32_t EventRegister(ObjectRecord* rec, uint32_t eventId, const int32_t values[4], bool urgent,
                      const EventItem* templates, uint32_t templateCount) {
    bool web = (rec->modeFlags & kModeWebView) != 0;
    if (web && gWebObjectOps.registerRule) eventId = gWebObjectOps.registerRule(rec, eventId);
    EventReg* reg = EventFindReg(rec, eventId);
    bool isNew = reg == nullptr;
    if (!reg) {
        reg = RegAlloc();
        if (!reg) return -6;
        reg->eventId = eventId;
        reg->next = rec->events;
        rec->events = reg;
    }
    for (int i = 0; i < 4; ++i) reg->values[i] = values ? values[i] : 0;
    if (templateCount > kEventRegItems) templateCount = kEventRegItems;
    reg->itemCount = templateCount;
    for (uint32_t i = 0; i < templateCount; ++i) {
        reg->items[i] = templates[i];
        reg->items[i].data = nullptr;   // the message that carried it is gone after the handler
        if (ItemIsText(reg->items[i].kind)) reg->items[i].size = 0;
    }
    reg->urgent = urgent ? 1 : 0;
    reg->active = 1;
    MaskSet(rec, eventId, true);
    // The page is asked once; a second registration only refreshes the values.
    if (web && isNew && gWebObjectOps.enablePageEvent) gWebObjectOps.enablePageEvent(rec, eventId, true);
    return 0;
}

int32_t EventUnregister(ObjectRecord* rec, uint32_t eventId) {
    for (EventReg** link = &rec->events; *link; link = &(*link)->next) {
        if ((*link)->eventId == eventId) {
            EventReg* reg = *link;
            *link = reg->next;
            RegRelease(reg);
            break;
        }
    }
    MaskSet(rec, eventId, false);
    if ((rec->modeFlags & kModeWebView) && gWebObjectOps.enablePageEvent)
        gWebObjectOps.enablePageEvent(rec, eventId, false);
    return 0;
}

EventReg* EventFindReg(const ObjectRecord* rec, uint32_t eventId) {
    for (EventReg* reg = rec ? rec->events : nullptr; reg; reg = reg->next)
        if (reg->eventId == eventId && reg->active) return reg;
    return nullptr;
}

bool EventIsRegistered(const ObjectRecord* rec, uint32_t eventId) { return EventFindReg(rec, eventId) != nullptr; }

void RemoveAllEventsForObj(ObjectRecord* rec) {
    while (rec->events) {
        EventReg* reg = rec->events;
        rec->events = reg->next;
        RegRelease(reg);
    }
    rec->eventMask[0] = rec->eventMask[1] = 0;
    uint32_t kept = 0;
    for (uint32_t i = 0; i < gQueueCount; ++i) {
        if (gQueue[i].rec == rec) EntryFree(&gQueue[i]);
        else gQueue[kept++] = gQueue[i];
    }
    for (uint32_t i = kept; i < gQueueCount; ++i) memset(&gQueue[i], 0, sizeof gQueue[i]);
    gQueueCount = kept;
    if (gTaken.rec == rec) gTaken.rec = nullptr;
}

bool PostEvent(ObjectRecord* rec, uint32_t eventId, uint8_t kind, uint16_t modifiers, int32_t value,
               int32_t extra, char* text, uint8_t urgency) {
    return PostCommon(rec, eventId, kind, modifiers, value, extra, text, urgency, nullptr, 0, false);
}

bool PostObjectEvent(ObjectRecord* rec, uint32_t eventId, uint8_t kind, uint16_t modifiers, int32_t value) {
    return PostCommon(rec, eventId, kind, modifiers, value, 0, nullptr, 0, nullptr, 0, false);
}

bool PostObjectEventFirst(ObjectRecord* rec, uint32_t eventId, uint8_t kind, uint16_t modifiers,
                          int32_t value) {
    return PostCommon(rec, eventId, kind, modifiers, value, 0, nullptr, 0, nullptr, 0, true);
}

bool PostEventItems(ObjectRecord* rec, uint32_t eventId, uint8_t kind, const EventItem* args,
                    uint32_t argCount) {
    return PostCommon(rec, eventId, kind, 0, 0, 0, nullptr, 0, args, argCount, false);
}

bool PostEventComArgs(ObjectRecord* rec, uint32_t eventId, const EventItem* args, uint32_t argCount, void* comArgs) {
    return PostCommon(rec, eventId, kEventKindDefault, 0, 0, 0, nullptr, 0, args, argCount, false, comArgs);
}

bool PostEventIfRegistered(ObjectRecord* rec, uint32_t eventId, const EventItem* args, uint32_t argCount) {
    if (!EventFindReg(rec, eventId)) return false;
    return PostEventItems(rec, eventId, kEventKindDefault, args, argCount);
}

void PostValidateOnFocus(ObjectRecord* rec, ObjectRecord* window) {
    if (!window) window = ObjectTopWindow(rec);
    WindowRecord* win = ObjectAsWindow(window);
    if (!win) return;
    ObjectRecord* prev = win->focusObj;
    if (prev && prev != rec && rec && (rec->flags & kObjCauseValid) && ObjectIsLive(prev))
        PostObjectEvent(prev, kEvValidate, kEventKindDefault, 0, 0);
    win->lastFocus = prev;
    win->focusObj = rec;
}

uint32_t EventQueueCount() { return gQueueCount; }

bool EventTakeNext(EventRecord* ev, EventItem* items, uint32_t* count) {
    EntryFree(&gTaken);
    if (gQueueCount == 0) return false;
    gTaken = gQueue[0];
    memmove(&gQueue[0], &gQueue[1], (gQueueCount - 1) * sizeof(EventQueueEntry));
    gQueueCount--;
    memset(&gQueue[gQueueCount], 0, sizeof gQueue[gQueueCount]);
    *ev = gTaken.ev;
    if (gTaken.comArgs && gComObjectHooks.eventArgsCurrent) gComObjectHooks.eventArgsCurrent(gTaken.comArgs);
    uint32_t n = gTaken.itemCount;
    if (items)
        for (uint32_t i = 0; i < n; ++i) items[i] = gTaken.items[i];
    if (count) *count = items ? n : 0;
    return true;
}

void EventReleaseTaken() { DropComArgs(&gTaken); }

int32_t EventCheckPending() {
    if (gWaitEnd) return kEventWaitEnded;
    if (gQueueCount) return kEventReady;
    if (gObjectHooks.pump && !gObjectHooks.pump()) return kEventPumpFailed;
    return gWaitEnd ? kEventWaitEnded : kEventReady;
}

int32_t EventWaitLoop(bool forever, uint32_t timeoutMs) {
    if (gObjectHooks.layoutsFlush) gObjectHooks.layoutsFlush();
    if (gWebObjectOps.flushRedraws) gWebObjectOps.flushRedraws(nullptr);
    uint32_t start = NowMs();
    for (;;) {
        if (gWaitEnd) return kEventWaitEnded;
        if (gQueueCount) return kEventReady;
        if (!forever && NowMs() - start >= timeoutMs) return kEventTimedOut;
        // Without a pump nothing can arrive.
        if (!gObjectHooks.pump) return forever ? kEventPumpFailed : kEventTimedOut;
        if (!gObjectHooks.pump()) return kEventPumpFailed;
    }
}

void EventSetWaitEnd(bool on) { gWaitEnd = on; }

void EventCleanup() {
    for (uint32_t i = 0; i < ObjectLiveCount(); ++i) {
        ObjectRecord* rec = ObjectLiveAt(i);
        rec->events = nullptr;
        rec->eventMask[0] = rec->eventMask[1] = 0;
    }
    for (uint32_t i = 0; i < gQueueCount; ++i) EntryFree(&gQueue[i]);
    gQueueCount = 0;
    EntryFree(&gTaken);
    while (gRegBlocks) {
        EventRegBlock* b = gRegBlocks;
        gRegBlocks = b->next;
        GuardedFree(b);
    }
    gRegFree = nullptr;
}
