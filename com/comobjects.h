// comobjects.h - the Automation (kind 33) and Variant (kind 34) object records,
// their creators and the flat entries that the conversions and the event sink
// reach them by. The object model calls them through its tables only.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <cstdint>

#include "objects/guihooks.h"
#include "objects/objrecord.h"
#include "session/proto/records.h"

struct AutoClient;
struct ObjectCreateRecord;

constexpr uint32_t kAutoNameMax = 40;       // name field: 39 bytes and the NUL
constexpr uint32_t kTypeGenericVar = 54;    // a variable of any value: held in a Variant object

struct AutomationRecord {
    ObjectRecord hdr;
    char name[kAutoNameMax];    // ProgID or CLSID text; empty for a wrapped IDispatch
    AutoClient* client;         // owned
    char* remServer;            // machine of the object, owned, or null
    uint32_t adviseKey;         // event connection cookie
};

enum VarPtrMode : uint8_t { kVarPtrCopy = 0, kVarPtrByRefVariant = 1, kVarPtrByRefOwnType = 2 };

struct VariantRecord {
    ObjectRecord hdr;
    VARIANT* valuePtr;          // the VARIANT it stands for, normally &value
    VARIANT value;              // owned
    uint8_t varPtrMode;         // VarPtrMode
    VariantRecord* nextVariant; // gVariantList
    uint64_t heldBytes;         // what value holds, counted in the Variants' store
};

// What the server can make Variants hold (their elements, strings and nested
// arrays): one Variant at most kVariantBytesMax, the picture ceiling's figure,
// all of them together kVariantStoreBytesMax, so that a server making arrays
// cannot take the memory the client's windows and libraries need. A change
// that would pass either is refused before anything is allocated.
constexpr uint64_t kVariantBytesMax = 256ull << 20;
constexpr uint64_t kVariantStoreBytesMax = 512ull << 20;

// ---- Automation -----------------------------------------------------------------
ObjectRecord* AutomationCreate(uint32_t type, ObjectCreateRecord* cr, int32_t* code);
// A new Automation object for the IDispatch in v, carrying target's Ovar: the
// record, or null with -3 (no IDispatch) or -6.
ObjectRecord* AutomationWrapDispatch(const EventItem* target, const VARIANT* v, int32_t* code);
AutomationRecord* AutomationOf(ObjectRecord* rec);
// A method call (the chain's hops but the last walked first) and a property
// get or set by name or DISPID (every hop walked); the result item appended.
struct MethodCallRec;
struct OlePropReq;
int32_t AutomationInvoke(AutoClient* c, MethodCallRec* call);
int32_t AutomationPropAccess(AutoClient* c, OlePropReq* set, OlePropReq* get);
// The root IDispatch of an Automation object with a new reference; null without.
IDispatch* AutomationDispatch(ObjectRecord* rec);

// ---- Variant ----------------------------------------------------------------------
// varType: the VARTYPE; init: the initial value or null; varPtr: VarPtrMode.
ObjectRecord* VariantObjMake(uint16_t varType, uint8_t varPtr, const EventItem* init, uint32_t ovar, bool linked,
                             int32_t* code);
ObjectRecord* VariantObjCreate(uint32_t type, ObjectCreateRecord* cr, int32_t* code);
VariantRecord* VariantOf(ObjectRecord* rec);
// The built-in records 0-10 (11 names record 0).
VariantRecord* VariantBuiltin(uint32_t index);
constexpr uint32_t kVariantBuiltins = 11;
void OleVarDestroyAll(bool finalRun);
// Points records 1-10 at an event's arguments in parameter order; a count of 0
// returns them to their own values (VT_ERROR, DISP_E_PARAMNOTFOUND).
void VariantBuiltinsPoint(VARIANT* const* args, uint32_t count);
// A copy of v (a reference read through) becomes the record's own value when
// it fits the store: 0, kAutoNoMemory (the old value kept) or kAutoNoValue.
int32_t VariantObjTakeCopy(VariantRecord* r, const VARIANT* v);
void ComObjectsInstallVariant();

// Registers both kinds with the object model (creators, operation rows, method
// table, hooks).
FacilityRow ComObjectsInstall();
