// events.h - event registrations of objects, the queue of pending GUI events,
// the posting entry points the objects call, and the waits in which the server
// takes one event at a time.
#pragma once

#include <cstdint>

#include "session/proto/records.h"

struct ObjectRecord;

constexpr uint32_t kEventQueueMax = 50;
constexpr uint32_t kEventRegPoolStep = 100;
constexpr uint32_t kEventRegItems = 10;
constexpr uint32_t kEventMaskIds = 37;          // ids 0-31 in mask 0, 32-36 in mask 1
constexpr uint8_t kEventKindDefault = 32;

// Event ids the object model posts itself.
enum EventId : uint32_t {
    kEvLoad = 0, kEvActivate = 1, kEvDeactivate = 2, kEvChange = 3, kEvClick = 4, kEvClose = 5,
    kEvDblClick = 6, kEvGotFocus = 9, kEvKeyPress = 10, kEvLostFocus = 11, kEvMove = 12,
    kEvMouseDown = 13, kEvMouseUp = 14, kEvMouseMove = 15, kEvPaint = 16, kEvResize = 17, kEvTimer = 18, kEvOldEvent = 19, kEvFormInit = 20,
    kEvUpdated = 22, kEvValidate = 24, kEvButtonClick = 26, kEvJQuery = 200,
};

// Results of the waits.
enum EventWaitResult : int32_t {
    kEventReady = 0,            // an event waits in the queue
    kEventTimedOut = 1,
    kEventPumpFailed = 32,
    kEventWaitEnded = 21761,    // the end-of-wait mark is set
};

// One registration of an event on an object.
struct EventReg {
    uint32_t eventId;
    EventReg* next;
    int32_t values[4];
    EventItem items[kEventRegItems];   // templates of the items sent with the event
    uint32_t itemCount;
    uint8_t active;
    uint8_t urgent;
};

// ---- Registrations ------------------------------------------------------------------
// Registers (or registers again) an event on an object: 0, or -6 when the pool
// cannot grow. Template texts are not kept (templates name server variables).
int32_t EventRegister(ObjectRecord* rec, uint32_t eventId, const int32_t values[4], bool urgent,
                      const EventItem* templates, uint32_t templateCount);
// Removes a registration and clears its mask bit; 0 (also when none was there).
int32_t EventUnregister(ObjectRecord* rec, uint32_t eventId);
EventReg* EventFindReg(const ObjectRecord* rec, uint32_t eventId);
bool EventIsRegistered(const ObjectRecord* rec, uint32_t eventId);
// Drops the object's registrations and its queued events.
void RemoveAllEventsForObj(ObjectRecord* rec);

// ---- Posting ----------------------------------------------------------------------
// Queues an event of an object that registered it. True when queued: the text
// block (local heap, NUL-terminated) then belongs to the queue; on false the
// caller still owns it. Refused when the queue holds kEventQueueMax events.
bool PostEvent(ObjectRecord* rec, uint32_t eventId, uint8_t kind, uint16_t modifiers, int32_t value,
               int32_t extra, char* text, uint8_t urgency);
bool PostObjectEvent(ObjectRecord* rec, uint32_t eventId, uint8_t kind, uint16_t modifiers, int32_t value);
// As PostObjectEvent, the event going first in the queue.
bool PostObjectEventFirst(ObjectRecord* rec, uint32_t eventId, uint8_t kind, uint16_t modifiers,
                          int32_t value);
// The item-list form for COM event arguments: the arguments fill the
// registration's item slots in parameter order (texts are copied).
bool PostEventItems(ObjectRecord* rec, uint32_t eventId, uint8_t kind, const EventItem* args,
                    uint32_t argCount);
bool PostEventIfRegistered(ObjectRecord* rec, uint32_t eventId, const EventItem* args, uint32_t argCount);
// The COM form: the items converted from an event's arguments, and the block
// of argument copies the queue entry then owns (dropped through
// gComObjectHooks.eventArgsFree). When the event is taken its copies become the
// current event's arguments until the server's next wait or poll. On false the
// caller keeps the block.
bool PostEventComArgs(ObjectRecord* rec, uint32_t eventId, const EventItem* args, uint32_t argCount, void* comArgs);
// Focus bookkeeping: posts $VALIDATE to the object that had the focus when the
// new one asks for validation, then records the new focus in the window.
void PostValidateOnFocus(ObjectRecord* rec, ObjectRecord* window);

// ---- Taking and waiting --------------------------------------------------------------
uint32_t EventQueueCount();
// Takes the next event: its record, its items (at most kEventRegItems) and their
// count. The text and item data stay valid until the next take or cleanup.
bool EventTakeNext(EventRecord* ev, EventItem* items, uint32_t* count);
// The server waits or polls again: the last taken event's argument copies go.
void EventReleaseTaken();
// One pump turn unless an event already waits: 0, 32 (pump failed), 21761 (end mark).
int32_t EventCheckPending();
// Waits (pumping) until an event is queued: forever when forever is set, else at
// most timeoutMs. Flushes the web view's queued redraws first. EventWaitResult.
int32_t EventWaitLoop(bool forever, uint32_t timeoutMs);
// Sets or clears the mark that ends every wait (the session is ending).
void EventSetWaitEnd(bool on);
void EventCleanup();
