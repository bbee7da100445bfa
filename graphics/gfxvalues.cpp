// gfxvalues.cpp - the Progress and Timer values, the timer firing and the
// values of new tool buttons that the native and the web-view kinds share.
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

// ---- Tool buttons ----------------------------------------------------------------------------

namespace {

enum AddButtonArg : uint32_t {
    kAbAutoSize, kAbBtnStyle, kAbEnabled, kAbImageIndex, kAbPartialPush, kAbPushed, kAbTag, kAbVisible, kAbText,
    kAbRunName, kAbToolTip, kAbMenuText, kAbUserData, kAbInsertAt, kAbCauseValid,
};
constexpr int32_t kPushButtonStyle = 3;

CrText ArgText(const MethodCallRec* call, uint32_t i) {
    CrText t = {};
    t.text = CallArgText(call, i, &t.length);
    return t;
}

}  // namespace

ToolButtonSpec ToolButtonSpecOfCreation(const ObjectCreateRecord* cr) {
    ToolButtonSpec s = {};
    s.visible = (cr->flags0 & kCrVisible) != 0;
    s.enabled = !(cr->flags0 & kCrDisabled);
    s.causeValid = (cr->flags1 & kCr1CauseValid) != 0;
    s.autoSize = CreateRecordValue(cr, kPidAutoSize, 0) != 0;
    s.pushed = CreateRecordValue(cr, kPidPushed, 0) != 0;
    s.partialPush = CreateRecordValue(cr, kPidPartialPush, 0) != 0;
    s.btnStyle = CreateRecordValue(cr, kPidBtnStyle, kPushButtonStyle);
    s.imageIndex = CreateRecordValue(cr, kPidImageIndex, 0);
    s.tag = CreateRecordValue(cr, kPidTag, 0);
    s.text = cr->text;
    s.runName = cr->runName;
    s.toolTip = cr->toolTip;
    s.menuText = CreateRecordText(cr, kPidMenuText);
    s.userData = cr->userData;
    return s;
}

ToolButtonSpec ToolButtonSpecOfCall(const MethodCallRec* call) {
    ToolButtonSpec s = {};
    s.visible = CallArgInt(call, kAbVisible, 1) != 0;
    s.enabled = CallArgInt(call, kAbEnabled, 1) != 0;
    s.causeValid = CallArgInt(call, kAbCauseValid, 1) != 0;
    s.autoSize = CallArgInt(call, kAbAutoSize, 0) != 0;
    s.pushed = CallArgInt(call, kAbPushed, 0) != 0;
    s.partialPush = CallArgInt(call, kAbPartialPush, 0) != 0;
    s.btnStyle = CallArgInt(call, kAbBtnStyle, kPushButtonStyle);
    s.imageIndex = CallArgInt(call, kAbImageIndex, 0);
    s.tag = CallArgInt(call, kAbTag, 0);
    s.text = ArgText(call, kAbText);
    s.runName = ArgText(call, kAbRunName);
    s.toolTip = ArgText(call, kAbToolTip);
    s.menuText = ArgText(call, kAbMenuText);
    s.userData = ArgText(call, kAbUserData);
    return s;
}

int32_t ToolButtonInsertAt(const MethodCallRec* call) {
    return CallArgGiven(call, kAbInsertAt) ? CallArgInt(call, kAbInsertAt, -1) : -1;
}
