// gfxvalues.h - the records and value code that the native and the web-view
// Progress and Timer share: one record layout per kind, the Progress value,
// the Timer's Timeout, the clock in tenths of a second, and the firing of a
// list of active timers; and the values a tool button of either toolbar is
// made from. Platform-free: both builds compile it.
#pragma once

#include <cstdint>

#include "graphics/gfxcore.h"
#include "objects/crstream.h"
#include "objects/objrecord.h"
#include "session/proto/records.h"

// A Timer of either mode: the web view keeps its active timers in gWebTimers,
// the native code in its own list, both through nextActive.
struct TimerRecord {
    ObjectRecord hdr;
    TimerRecord* nextActive;
    TimerPhase phase;           // start tick and Timeout, in tenths of a second
    uint8_t startTimer;
};
// A Progress bar of either mode.
struct ProgressRecord {
    ObjectRecord hdr;
    uint32_t value;             // 0..100
    uint8_t horizontal;         // 1 when the bar is at least as wide as it is high
    uint8_t percent;            // the percentage is shown
};

constexpr uint32_t kProgressMax = 100;

// The active web-view timers, newest first; the native timer check walks them too.
extern TimerRecord* gWebTimers;

// The tick count in tenths of a second (the object hooks' tick source when
// set, else a steady clock).
uint32_t TimerTenthsNow();
// Item 0 only: the percentage; another item answers 0 and leaves *value 0.
int32_t ProgressGetValue(ObjectRecord* rec, int32_t item, int32_t* value);
// A program's value as a percentage: larger unsigned values (negatives too) give 100.
uint32_t ProgressClamp(int32_t value);
// The Timeout in tenths of a second; setting it restarts the period from now.
int32_t TimerGetValue(ObjectRecord* rec, int32_t item, int32_t* value);
int32_t TimerSetValue(ObjectRecord* rec, int32_t item, int32_t value);
// Advances every timer of a list to now and raises $TIMER (else $OLDEVENT 1)
// for those whose period ended; the tenths until the next one is due (0 when
// none has a Timeout). A posting sets *flag to false when given. A posting
// does not pump, so the list cannot change during the walk.
uint32_t TimerCheckList(TimerRecord* list, uint32_t now, bool* flag);
// Puts a timer at the head of a list unless it is in it; true when it was put there.
bool TimerListAdd(TimerRecord** list, TimerRecord* t);
// Takes a timer out of a list; false when it was not in it.
bool TimerUnlinkFrom(TimerRecord** list, TimerRecord* t);
bool TimerInList(const TimerRecord* list, const TimerRecord* t);

// ---- Tool buttons of either mode --------------------------------------------------------
// The values a tool button is made from: a creation record (form loading) or
// the arguments of the toolbar's AddButton method.
struct ToolButtonSpec {
    bool visible, enabled, causeValid, autoSize, pushed, partialPush;
    int32_t btnStyle, imageIndex, tag;
    CrText text, runName, toolTip, menuText, userData;
};
ToolButtonSpec ToolButtonSpecOfCreation(const ObjectCreateRecord* cr);
// AddButton's arguments (AutoSize, BtnStyle, Enabled, ImageIndex, PartialPush,
// Pushed, Tag, Visible, Text, RunName, ToolTip, MenuText, UserData, InsertAt,
// CauseValid); visible, enabled and CauseValid unless given as 0.
ToolButtonSpec ToolButtonSpecOfCall(const MethodCallRec* call);
// AddButton's InsertAt: the position given, else -1 (appended).
int32_t ToolButtonInsertAt(const MethodCallRec* call);
