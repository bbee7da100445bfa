// gfxvalues.cpp - the Progress and Timer values and the timer firing that the
// native and the web-view kinds share.
#include "graphics/gfxvalues.h"

#include <chrono>

#include "objects/events.h"
#include "objects/objhooks.h"

TimerRecord* gWebTimers;

namespace {

constexpr int32_t kOldEventTimerValue = 1;
constexpr uint32_t kMsPerTenth = 100;

TimerRecord* AsTimer(ObjectRecord* rec) { return reinterpret_cast<TimerRecord*>(rec); }

void PostTimerEvent(ObjectRecord* rec, bool* flag) {
    bool posted = false;
    if (EventIsRegistered(rec, kEvTimer)) posted = PostObjectEvent(rec, kEvTimer, kEventKindDefault, 0, 0);
    else if (EventIsRegistered(rec, kEvOldEvent))
        posted = PostObjectEvent(rec, kEvOldEvent, kEventKindDefault, 0, kOldEventTimerValue);
    if (posted && flag) *flag = false;
}

}  // namespace

uint32_t TimerTenthsNow() {
    if (gObjectHooks.tickCount) return gObjectHooks.tickCount() / kMsPerTenth;
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now().time_since_epoch());
    return static_cast<uint32_t>(static_cast<uint64_t>(ms.count()) / kMsPerTenth);
}

uint32_t ProgressClamp(int32_t value) {
    uint32_t u = static_cast<uint32_t>(value);
    return u > kProgressMax ? kProgressMax : u;
}

int32_t ProgressGetValue(ObjectRecord* rec, int32_t item, int32_t* value) {
    *value = item == 0 ? static_cast<int32_t>(reinterpret_cast<ProgressRecord*>(rec)->value) : 0;
    return 0;
}

int32_t TimerGetValue(ObjectRecord* rec, int32_t, int32_t* value) {
    *value = static_cast<int32_t>(AsTimer(rec)->phase.timeout);
    return 0;
}

int32_t TimerSetValue(ObjectRecord* rec, int32_t, int32_t value) {
    TimerRecord* t = AsTimer(rec);
    t->phase.timeout = static_cast<uint32_t>(value < 0 ? 0 : value);
    t->phase.lastTick = TimerTenthsNow();
    return 0;
}

uint32_t TimerCheckList(TimerRecord* list, uint32_t now, bool* flag) {
    uint32_t soonest = 0;
    for (TimerRecord* t = list; t; t = t->nextActive) {
        bool fired = false;
        uint32_t left = TimerAdvance(&t->phase, now, &fired);
        if (fired && !(t->hdr.flags & kObjDisabled)) PostTimerEvent(&t->hdr, flag);
        if (left && (soonest == 0 || left < soonest)) soonest = left;
    }
    return soonest;
}

bool TimerInList(const TimerRecord* list, const TimerRecord* t) {
    for (const TimerRecord* at = list; at; at = at->nextActive)
        if (at == t) return true;
    return false;
}

bool TimerListAdd(TimerRecord** list, TimerRecord* t) {
    if (TimerInList(*list, t)) return false;
    t->nextActive = *list;
    *list = t;
    return true;
}

bool TimerUnlinkFrom(TimerRecord** list, TimerRecord* t) {
    for (TimerRecord** at = list; *at; at = &(*at)->nextActive) {
        if (*at == t) {
            *at = t->nextActive;
            t->nextActive = nullptr;
            return true;
        }
    }
    return false;
}
