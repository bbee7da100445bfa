// records.h - the value, event and call records carried by server messages:
// EventItem, EventRecord, MethodCallRec and PropChainRec, decoded from a message
// with every length, count and offset checked, and the event message built.
#pragma once

#include "session/proto/wire.h"

// One server variable. In memory data points at the text (kinds 16, 32, 33) or
// at the object record of a reference (kinds 48, 50, filled by whoever looks the
// handle up); decoded from a message, data points into the message and value's
// low word still holds the handle of a reference.
struct EventItem {
    uint32_t kind;
    uint32_t size;
    uint64_t value;
    const void* data;
    uint32_t varRef;
};

struct EventRecord {
    uint32_t handle;
    uint32_t ovar;
    uint32_t objectId;
    int32_t eventId;
    uint8_t kind;
    uint8_t urgent;
    uint16_t modifiers;
    int32_t value;
    int32_t extra;
    const char* text;     // placed behind the record; its length and offset are filled on building
    uint32_t textLength;
};

struct PropChainHop {
    const char* name;
    uint32_t nameLength;
    uint32_t argCount;
};

struct PropChainRec {
    PropChainHop hops[kMcMaxHops];
    EventItem args[kMcMaxHopArgs];   // the hops' arguments one after another
    uint32_t hopCount;
};

struct MethodCallRec {
    uint32_t handle;
    uint32_t objectType;
    const char* name;
    uint32_t nameLength;
    uint32_t method;
    EventItem result;                 // a result is wanted when result.varRef != 0
    uint32_t argCount;
    EventItem args[kMcMaxArgs];
    const char* argNames[kMcMaxArgs]; // null for a positional argument
    uint32_t argNameLengths[kMcMaxArgs];
    int32_t argNumbers[kMcMaxArgs];
    uint8_t argPresent[kMcMaxArgs];
    PropChainRec* chain;              // null without hops
    uint8_t noCheck;
};

bool ItemIsText(uint32_t kind);
// Decodes the 20-byte item at off; a text must lie inside the message.
bool DecodeEventItem(const WireReader& r, size_t off, EventItem* item);
// Fills rec (and chain when the call has hops) from a 2416 message; 0 or
// kErrBadRequest for a count above its limit or a field outside the message.
int DecodeMethodCall(const uint8_t* msg, size_t len, bool swapped, MethodCallRec* rec, PropChainRec* chain);

// ---- Method-call arguments by position -------------------------------------------------
bool CallArgGiven(const MethodCallRec* call, uint32_t i);
// A number; a text argument is read as its leading decimal number; def when not given.
int32_t CallArgInt(const MethodCallRec* call, uint32_t i, int32_t def);
// A text argument's bytes (not NUL-terminated) and length; a number written
// "%d" in a buffer valid until the next call; null when not given.
const char* CallArgText(const MethodCallRec* call, uint32_t i, uint32_t* length);
// A text argument copied into out (outSize bytes with the NUL, cut to fit);
// numbers as "%d"; empty when not given. Answers the length written.
uint32_t CallArgCopy(const MethodCallRec* call, uint32_t i, char* out, size_t outSize);
// A text argument that names a file, copied into out (outSize bytes with the
// NUL): its length, 0 when not given, or kCallArgNameRefused (out empty) when
// it cannot be used as given (NameIsWhole: a NUL inside it, or more than out
// holds), never cut to another file's name.
constexpr int32_t kCallArgNameRefused = -1;
int32_t CallArgName(const MethodCallRec* call, uint32_t i, char* out, size_t outSize);
// 2417: the same head, the DISPID, the value item, the member name and the
// property's arguments in the form of 2416's.
int DecodeOlePropCall(const uint8_t* msg, size_t len, bool swapped, MethodCallRec* rec, uint32_t* dispId,
                      EventItem* value);

// Builds the event message 1142 (head 72, or 68 with a 52-byte record for
// servers older than kEventNewLayoutVersion), the event text behind the record.
bool MsgBuildEvent(MsgBuf* buf, const EventRecord* ev, uint32_t serverVersion, uint32_t seq, bool swapped);
// Appends an item and its text behind it, the text's offset in place of the
// pointer; counts it in a 1142 message. 0, or 1 when the buffer cannot grow.
int MsgAppendEventItem(MsgBuf* buf, const EventItem* item, uint32_t serverVersion, bool swapped);
