// timer.cpp - the Timer object (kind 17): a windowless object that raises
// $TIMER every Timeout tenths of a second while active. Active timers are
// checked on every pump turn; the pump arms one Windows timer on the main
// window for the next one due.
#include "graphics/gfxcommon.h"
#include "graphics/gfxvalues.h"
#include "objects/events.h"
#include "objects/guihooks.h"
#include "objects/objwindowed.h"

namespace {


// The active (shown) timers, newest first.
TimerRecord* gTimerList;

TimerRecord* AsTimer(ObjectRecord* rec) { return reinterpret_cast<TimerRecord*>(rec); }

void TakeOffList(TimerRecord* t) { TimerUnlinkFrom(&gTimerList, t); }

int32_t TimerStart(ObjectRecord* rec, int32_t, int32_t, int32_t, int32_t) {
    TimerRecord* t = AsTimer(rec);
    TimerListAdd(&gTimerList, t);
    t->phase.lastTick = TimerTenthsNow();
    return 0;
}

int32_t TimerStop(ObjectRecord* rec) {
    TakeOffList(AsTimer(rec));
    return 0;
}

int32_t TimerDestroy(ObjectRecord* rec) {
    TakeOffList(AsTimer(rec));
    return ObjectDestroyWindowless(rec);
}

uint32_t TimerGetProp(ObjectRecord* rec, uint32_t id) {
    switch (id) {
    case kPidTimeout: return AsTimer(rec)->phase.timeout;
    case kPidStartTimer: return AsTimer(rec)->startTimer;
    default: return static_cast<uint32_t>(ObjectGetCommonProperty(rec, id));
    }
}

int32_t TimerSetProp(ObjectRecord* rec, PropChange* req) {
    switch (req->id) {
    case kPidTimeout: return TimerSetValue(rec, 0, req->value);
    case kPidStartTimer: AsTimer(rec)->startTimer = static_cast<uint8_t>(req->value); return 0;
    default: return ObjectSetCommonProperty(rec, req->id, req->value, req->text, req->textLength, nullptr);
    }
}

// The pump's wake-up: the time left until the next timer, in milliseconds.
uint32_t TimerPeriodMs() {
    uint32_t left = TimerCheckAll(nullptr);
    return left ? TimerWakeMs(left) : 0;
}

void TimerTick() { TimerCheckAll(nullptr); }

const ObjectOps kTimerOps = {
    .show = TimerStart,
    .hide = TimerStop,
    .destroy = TimerDestroy,
    .enable = ObjectEnableWindowless,
    .getValue = TimerGetValue,
    .setValue = TimerSetValue,
    .getProp = TimerGetProp,
    .setProp = TimerSetProp,
};

}  // namespace

// The native timers, then the web view's: both modes fire from the same pump.
uint32_t TimerCheckAll(bool* flag) {
    if (!gTimerList && !gWebTimers) return 0;
    uint32_t now = TimerTenthsNow();
    uint32_t native = TimerCheckList(gTimerList, now, flag);
    uint32_t web = TimerCheckList(gWebTimers, now, flag);
    if (!native) return web;
    return web && web < native ? web : native;
}

uint32_t TimerActiveCount() {
    uint32_t n = 0;
    for (const TimerRecord* t = gTimerList; t; t = t->nextActive) ++n;
    return n;
}

ObjectRecord* TimerCreate(uint32_t, ObjectCreateRecord* cr, int32_t* code) {
    *code = kOpNoMemory;
    ObjectRecord* rec = ObjectAllocRecord(kKindTimer, sizeof(TimerRecord), false);
    if (!rec) return nullptr;
    if (!ObjectInitCommon(rec, cr, nullptr)) {
        GfxFreeRecord(rec);
        *code = kOpNoObject;
        return nullptr;
    }
    if (!CopyCreateStrings(rec, cr)) {
        GfxFreeRecord(rec);
        return nullptr;
    }
    TimerRecord* t = AsTimer(rec);
    int32_t timeout = CreateRecordValue(cr, kPidTimeout, 0);
    t->phase.timeout = static_cast<uint32_t>(timeout < 0 ? 0 : timeout);
    t->startTimer = static_cast<uint8_t>(CreateRecordValue(cr, kPidStartTimer, 0));
    rec->flags &= ~kObjShown;
    LinkObject(rec);
    *code = 0;
    if (t->startTimer && !(gGuiModeFlags & kGuiModeKeepFlagged)) ObjectActivate(rec, 0, 0, 0, 0);
    return rec;
}

void TimerInstall() {
    RegisterObjectCreator(kTypeTimer, TimerCreate);
    RegisterObjectOps(kKindTimer, &kTimerOps);
    gGuiHooks.timerPeriod = TimerPeriodMs;
    gGuiHooks.timerTick = TimerTick;
}
