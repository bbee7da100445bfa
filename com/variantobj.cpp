// variantobj.cpp - the Variant object (kind 34): a VARIANT of a chosen type that
// the server keeps, passes to automation calls (by value or by reference),
// reads and changes, and uses as a one-dimensional SAFEARRAY; the eleven
// built-in records through which the server reads an event's arguments.
#include <cstring>
#include <string>

#include "com/comobjects.h"
#include "com/core/varrules.h"
#include "com/varconv.h"
#include "objects/crstream.h"
#include "objects/guihooks.h"
#include "objects/objcreate.h"
#include "objects/objhooks.h"
#include "objects/objops.h"
#include "objects/objwire.h"
#include "session/session.h"
#include "session/util/bytereader.h"

namespace {

constexpr uint8_t kReplyKindInt = 8;
constexpr HRESULT kInvalidArg = E_INVALIDARG;
// SetElemCount past the store's bounds answers what SafeArrayRedim answers
// when memory runs out.
constexpr HRESULT kRedimNoMemory = E_OUTOFMEMORY;
// Arrays held in the VARIANT elements of arrays are counted this deep; what
// lies deeper counts as passing every bound.
constexpr int kHeldDepthMax = 8;
constexpr uint64_t kHeldPastBounds = UINT64_MAX;

enum VariantPropCode : uint32_t { kVpVarType = 397, kVpValue = 398, kVpVarPtr = 422, kVpRaw = 432 };
constexpr uint32_t kVariantMethodsVersion = 8700, kGetAllDataVersion = 9304;

VariantRecord* gVariantList;
VariantRecord gBuiltins[kVariantBuiltins];
uint64_t gStoreBytes;       // what every record's own value holds, together

// ---- The store: what Variants hold ---------------------------------------------------

uint64_t HeldBytes(const VARIANT* v, int depth);

// An array's elements (count x element size), and the strings and arrays its
// BSTR or VARIANT elements hold.
uint64_t ArrayHeldBytes(const SAFEARRAY* sa, int depth) {
    CheckedSize cells(1);
    for (USHORT d = 0; d < sa->cDims; ++d) cells.Mul(sa->rgsabound[d].cElements);
    CheckedSize bytes(cells.value);
    bytes.Mul(sa->cbElements);
    if (!cells.ok || !bytes.ok) return kHeldPastBounds;
    if (!sa->pvData) return bytes.value;
    if (sa->fFeatures & FADF_BSTR) {
        const BSTR* s = static_cast<const BSTR*>(sa->pvData);
        for (uint64_t i = 0; i < cells.value && bytes.ok; ++i) bytes.Add(SysStringByteLen(s[i]));
    } else if (sa->fFeatures & FADF_VARIANT) {
        if (depth >= kHeldDepthMax) return kHeldPastBounds;
        const VARIANT* e = static_cast<const VARIANT*>(sa->pvData);
        for (uint64_t i = 0; i < cells.value && bytes.ok; ++i) {
            uint64_t inner = HeldBytes(&e[i], depth + 1);
            if (inner == kHeldPastBounds) return kHeldPastBounds;
            bytes.Add(inner);
        }
    }
    return bytes.ok ? bytes.value : kHeldPastBounds;
}

// What a VARIANT holds of its own; a reference holds nothing (the storage it
// points at belongs to whoever made it, an event's sender).
uint64_t HeldBytes(const VARIANT* v, int depth) {
    VARTYPE vt = V_VT(v);
    if (vt & VT_BYREF) return 0;
    if (vt & VT_ARRAY) return V_ARRAY(v) ? ArrayHeldBytes(V_ARRAY(v), depth) : 0;
    if (vt == VT_BSTR) return SysStringByteLen(V_BSTR(v));
    return 0;
}

uint64_t HeldBytes(const VARIANT* v) { return HeldBytes(v, 0); }

// Whether the record's own value may hold `held` bytes: within one Variant's
// bound, and within the store's with what the others hold.
bool StoreFits(const VariantRecord* r, uint64_t held) {
    return held <= kVariantBytesMax && gStoreBytes - r->heldBytes + held <= kVariantStoreBytesMax;
}

// The record's own value now holds `held` bytes.
void StoreSet(VariantRecord* r, uint64_t held) {
    gStoreBytes = gStoreBytes - r->heldBytes + held;
    r->heldBytes = held;
}

// Counts the record's own value again after a change that only gives back.
void StoreRecount(VariantRecord* r) {
    uint64_t held = HeldBytes(&r->value);
    StoreSet(r, held == kHeldPastBounds ? r->heldBytes : held);
}

// Records 1-10 hold the value of an omitted optional argument while no
// event's arguments are theirs.
void SetOmitted(VARIANT* v) {
    V_VT(v) = VT_ERROR;
    V_ERROR(v) = DISP_E_PARAMNOTFOUND;
}

void ResetBuiltin(VariantRecord* r, bool argument) {
    // A record at rest (empty, or an omitted argument) has nothing to free:
    // the automation library, which a record may never have needed, is left
    // unloaded (at the session's end too).
    VARTYPE vt = V_VT(&r->value);
    if (vt == VT_EMPTY || vt == VT_ERROR) V_VT(&r->value) = VT_EMPTY;
    else VariantClear(&r->value);
    StoreSet(r, 0);
    r->valuePtr = &r->value;
    if (argument) SetOmitted(&r->value);
}

bool IsArray(const VARIANT* v) { return (V_VT(v) & VT_ARRAY) != 0; }

SAFEARRAY* ArrayOf(VARIANT* v) {
    if (!IsArray(v)) return nullptr;
    return (V_VT(v) & VT_BYREF) ? (V_ARRAYREF(v) ? *V_ARRAYREF(v) : nullptr) : V_ARRAY(v);
}

// The index vector of an element: the given offsets plus each lower bound.
int32_t ElementIndex(SAFEARRAY* sa, const int32_t* given, uint32_t count, LONG* index) {
    UINT dims = SafeArrayGetDim(sa);
    int32_t offsets[kIndexDimsMax];
    if (IndexVectorFill(dims, given, count, offsets) != kAutoOk) return kAutoBadElement;
    for (UINT d = 0; d < dims; ++d) {
        LONG lower = 0;
        if (FAILED(SafeArrayGetLBound(sa, d + 1, &lower))) return kAutoBadElement;
        index[d] = lower + offsets[d];
    }
    return kAutoOk;
}

// The array of v, the place of the element the given indexes name in it, and
// the type of its elements.
int32_t ElementPlace(VARIANT* v, const int32_t* given, uint32_t count, SAFEARRAY** sa, LONG* index, VARTYPE* et) {
    *sa = ArrayOf(v);
    if (!*sa) return kAutoBadElement;
    if (ElementIndex(*sa, given, count, index) != kAutoOk) return kAutoBadElement;
    *et = VT_EMPTY;
    if (FAILED(SafeArrayGetVartype(*sa, et))) return kAutoBadElement;
    return kAutoOk;
}

// An element into out (initialised by the caller): its own type, or whatever
// a VARIANT element holds.
int32_t GetElement(VARIANT* v, const int32_t* given, uint32_t count, VARIANT* out) {
    SAFEARRAY* sa;
    LONG index[kIndexDimsMax];
    VARTYPE et;
    if (ElementPlace(v, given, count, &sa, index, &et) != kAutoOk) return kAutoBadElement;
    if (et != VT_VARIANT) V_VT(out) = et;
    void* where = VariantValuePtr(et, out, false);
    if (!where || FAILED(SafeArrayGetElement(sa, index, where))) {
        V_VT(out) = VT_EMPTY;
        return kAutoBadElement;
    }
    return kAutoOk;
}

int32_t PutElement(VARIANT* v, const int32_t* given, uint32_t count, VARIANT* value) {
    SAFEARRAY* sa;
    LONG index[kIndexDimsMax];
    VARTYPE et;
    if (ElementPlace(v, given, count, &sa, index, &et) != kAutoOk) return kAutoBadElement;
    if (et != VT_VARIANT && et != V_VT(value)) return kAutoBadElement;
    void* where = VariantValuePtr(et, value, true);
    if ((!where && et != VT_BSTR && et != VT_DISPATCH && et != VT_UNKNOWN) ||
        FAILED(SafeArrayPutElement(sa, index, where)))
        return kAutoBadElement;
    return kAutoOk;
}

// The value to read: the VARIANT, or for an array its first element (in tmp).
const VARIANT* ReadableValue(VariantRecord* r, VARIANT* tmp, int32_t* rc) {
    VariantInit(tmp);
    *rc = kAutoOk;
    if (!IsArray(r->valuePtr)) return r->valuePtr;
    *rc = GetElement(r->valuePtr, nullptr, 0, tmp);
    return tmp;
}

// The raw bytes of the value: a string's own UTF-16 bytes, else the value field.
int32_t RawBytes(VariantRecord* r, EventItem* item) {
    if (item->kind != kVarItemText8) return kAutoNoValue;
    ScopedVariant tmp, direct;
    int32_t rc;
    const VARIANT* v = ReadableValue(r, &tmp.v, &rc);
    if (rc != kAutoOk) return rc;
    if (V_VT(v) & VT_BYREF) {
        VariantCopyInd(&direct.v, const_cast<VARIANT*>(v));
        v = &direct.v;
    }
    std::string bytes;
    if (V_VT(v) == VT_BSTR) {
        const char* s = reinterpret_cast<const char*>(V_BSTR(v));
        bytes.assign(s ? s : "", s ? SysStringByteLen(V_BSTR(v)) : 0);
    } else {
        bytes.assign(reinterpret_cast<const char*>(&V_I4(v)), RawValueWidth(V_VT(v)));
    }
    item->size = static_cast<uint32_t>(bytes.size());
    item->data = bytes.data();
    return AddEventItem(item) == 0 ? kAutoOk : kAutoNoMemory;
}

// Writes a converted value through a by-reference VARIANT (an event's
// argument). A string or object moves into the referenced storage and the one
// it replaces is freed there, as the in/out rule of COM asks.
int32_t WriteThrough(VariantRecord* r, const EventItem* value) {
    VARIANT* ref = r->valuePtr;
    VARTYPE base = V_VT(ref) & ~VT_BYREF;
    if (base == VT_VARIANT) {
        VARIANT* target = V_VARIANTREF(ref);
        VARIANT nv;
        int32_t rc = VarToVariant(value, &nv, 0);
        if (rc != kAutoOk) return rc;
        VariantClear(target);
        *target = nv;
        return kAutoOk;
    }
    VARIANT nv;
    int32_t rc = VarToVariant(value, &nv, base);
    if (rc != kAutoOk) return rc;
    void* dest = V_BYREF(ref);
    uint32_t width = ByRefWidth(base);
    if (!dest || !width) {
        VariantClear(&nv);
        return kAutoNoValue;
    }
    if (base == VT_BSTR) SysFreeString(*static_cast<BSTR*>(dest));
    if (base == VT_DISPATCH || base == VT_UNKNOWN) {
        IUnknown* old = *static_cast<IUnknown**>(dest);
        if (old) old->Release();
    }
    if (base == VT_DECIMAL) memcpy(dest, &nv, width);
    else memcpy(dest, &V_I4(&nv), width);
    // The referenced storage owns the string or object now.
    if (base == VT_BSTR || base == VT_DISPATCH || base == VT_UNKNOWN) VariantInit(&nv);
    VariantClear(&nv);
    return kAutoOk;
}

// What the element at the given indexes holds of its own (its string, the
// arrays of a VARIANT element).
uint64_t ElementHeldBytes(VARIANT* v, const int32_t* given, uint32_t count) {
    SAFEARRAY* sa;
    LONG index[kIndexDimsMax];
    VARTYPE et;
    if (ElementPlace(v, given, count, &sa, index, &et) != kAutoOk) return 0;
    void* at = nullptr;
    if (FAILED(SafeArrayPtrOfIndex(sa, index, &at)) || !at) return 0;
    if (et == VT_BSTR) return SysStringByteLen(*static_cast<BSTR*>(at));
    if (et == VT_VARIANT) return HeldBytes(static_cast<VARIANT*>(at));
    return 0;
}

// PutElement into the record's array, counted in the store when the array is
// the record's own: the new element's string or arrays replace the old one's,
// refused (-6) when that would pass a bound.
int32_t PutElementCounted(VariantRecord* r, const int32_t* given, uint32_t count, VARIANT* value) {
    VARIANT* v = r->valuePtr;
    SAFEARRAY* sa = ArrayOf(v);
    VARTYPE et = VT_EMPTY;
    bool holds = v == &r->value && sa && SUCCEEDED(SafeArrayGetVartype(sa, &et)) && (et == VT_BSTR || et == VT_VARIANT);
    if (!holds) return PutElement(v, given, count, value);
    uint64_t added = HeldBytes(value), dropped = ElementHeldBytes(v, given, count);
    uint64_t held = r->heldBytes >= dropped ? r->heldBytes - dropped : 0;
    if (added == kHeldPastBounds || !StoreFits(r, held + added)) return kAutoNoMemory;
    int32_t rc = PutElement(v, given, count, value);
    if (rc == kAutoOk) StoreSet(r, held + added);
    return rc;
}

int32_t SetValue(VariantRecord* r, const EventItem* value) {
    VARIANT* v = r->valuePtr;
    if (V_VT(v) & VT_BYREF) return WriteThrough(r, value);
    if (IsArray(v)) {
        SAFEARRAY* sa = ArrayOf(v);
        VARTYPE et = VT_EMPTY;
        if (!sa || FAILED(SafeArrayGetVartype(sa, &et))) return kAutoBadElement;
        ScopedVariant tmp;
        int32_t rc = VarToVariant(value, &tmp.v, et == VT_VARIANT ? 0 : et);
        if (rc == kAutoOk) rc = PutElementCounted(r, nullptr, 0, &tmp.v);
        return rc;
    }
    // Converted aside: a value the kept type cannot take, or that the store
    // cannot hold, leaves the old value and its type in place.
    ScopedVariant tmp;
    int32_t rc = VarToVariant(value, &tmp.v, V_VT(v));
    if (rc != kAutoOk) return rc;
    bool own = v == &r->value;
    uint64_t held = own ? HeldBytes(&tmp.v) : 0;
    if (own && !StoreFits(r, held)) return kAutoNoMemory;
    VariantClear(v);
    *v = tmp.v;
    VariantInit(&tmp.v);   // the record owns it now
    if (own) StoreSet(r, held);
    return kAutoOk;
}

// A reference is read through, as VariantCopyInd copies it.
uint64_t HeldBytesThrough(const VARIANT* v) {
    VARTYPE vt = V_VT(v);
    if (!(vt & VT_BYREF)) return HeldBytes(v);
    if (vt == (VT_BYREF | VT_VARIANT)) return V_VARIANTREF(v) ? HeldBytes(V_VARIANTREF(v)) : 0;
    if (vt & VT_ARRAY) return V_ARRAYREF(v) && *V_ARRAYREF(v) ? ArrayHeldBytes(*V_ARRAYREF(v), 0) : 0;
    if (vt == (VT_BYREF | VT_BSTR)) return V_BSTRREF(v) ? SysStringByteLen(*V_BSTRREF(v)) : 0;
    return 0;
}

// SetElemCount: the array's least significant bound (rgsabound[0], the one
// SafeArrayRedim changes) becomes size elements from 0. Growth
// that would pass a bound of the store is refused before SafeArrayRedim
// allocates anything; the elements it adds are empty, so they hold only
// their own size.
HRESULT RedimCounted(VariantRecord* r, SAFEARRAY* sa, ULONG size) {
    bool own = r->valuePtr == &r->value;
    ULONG old = sa->cDims ? sa->rgsabound[0].cElements : 0;
    uint64_t grown = r->heldBytes;
    if (own && size > old) {
        CheckedSize added(size - old);
        for (USHORT d = 1; d < sa->cDims; ++d) added.Mul(sa->rgsabound[d].cElements);
        added.Mul(sa->cbElements).Add(r->heldBytes);
        if (!added.ok || !StoreFits(r, added.value)) return kRedimNoMemory;
        grown = added.value;
    }
    SAFEARRAYBOUND bound = {size, 0};
    HRESULT hr = SafeArrayRedim(sa, &bound);
    if (own && SUCCEEDED(hr)) {
        if (size > old) StoreSet(r, grown);
        else StoreRecount(r);
    }
    return hr;
}

int32_t IntArg(const MethodCallRec* call, uint32_t i, int32_t def) {
    if (i >= call->argCount || i >= kMcMaxArgs) return def;
    const EventItem& a = call->args[i];
    return a.kind == kVarItemInt ? static_cast<int32_t>(a.value) : def;
}

void IndexArgs(const MethodCallRec* call, uint32_t first, int32_t* out, uint32_t* count) {
    *count = 0;
    for (uint32_t i = first; i < call->argCount && i < kMcMaxArgs && *count < kIndexDimsMax; ++i)
        out[(*count)++] = IntArg(call, i, 0);
}

VariantRecord* NewVariantRecord() {
    auto* r = reinterpret_cast<VariantRecord*>(ObjectAllocRecord(kKindVariant, sizeof(VariantRecord), false));
    if (!r) return nullptr;
    VariantInit(&r->value);
    r->valuePtr = &r->value;
    r->hdr.flags = kObjAlive;
    return r;
}

void Unlink(VariantRecord* r) {
    for (VariantRecord** p = &gVariantList; *p; p = &(*p)->nextVariant) {
        if (*p == r) {
            *p = r->nextVariant;
            return;
        }
    }
}

void FreeVariantRecord(VariantRecord* r) {
    VariantClear(&r->value);
    StoreSet(r, 0);
    ObjectFreeCommon(&r->hdr);
    ObjectFreeRecord(&r->hdr);
}

}  // namespace

VariantRecord* VariantOf(ObjectRecord* rec) {
    return rec && rec->kind == kKindVariant ? reinterpret_cast<VariantRecord*>(rec) : nullptr;
}

VariantRecord* VariantBuiltin(uint32_t index) {
    if (index == kVariantBuiltins) index = 0;
    if (index >= kVariantBuiltins) return nullptr;
    VariantRecord* r = &gBuiltins[index];
    if (r->hdr.kind != kKindVariant) {
        // A record not used yet holds an empty value (static storage): it is
        // made ready without a call into the automation library, which a
        // property request may find not loaded (its get and set load it).
        r->hdr.kind = kKindVariant;
        r->hdr.flags = kObjAlive;
        r->valuePtr = &r->value;
        if (index != 0) SetOmitted(&r->value);
    }
    return r;
}

ObjectRecord* VariantObjMake(uint16_t varType, uint8_t varPtr, const EventItem* init, uint32_t ovar, bool linked,
                             int32_t* code) {
    if (VarTypeCheck(varType) != kAutoOk) {
        *code = kAutoBadVarType;
        return nullptr;
    }
    VariantRecord* r = NewVariantRecord();
    if (!r) {
        *code = kAutoNoMemory;
        return nullptr;
    }
    r->hdr.ovar = ovar;
    r->varPtrMode = varPtr;
    EventItem zero = {kVarItemInt, 4, 0, nullptr, 0};
    bool hasInit = init && init->kind != 0;
    int32_t rc;
    if (!(varType & VT_ARRAY)) {
        rc = VarToVariant(hasInit ? init : &zero, &r->value, varType);
    } else {
        VARTYPE et = varType & ~VT_ARRAY;
        SAFEARRAYBOUND bound = {1, 0};
        SAFEARRAY* sa = SafeArrayCreate(et, 1, &bound);
        rc = sa ? kAutoOk : kAutoNoMemory;
        if (sa) {
            V_VT(&r->value) = varType;
            V_ARRAY(&r->value) = sa;
            if (hasInit) {
                ScopedVariant tmp;
                rc = VarToVariant(init, &tmp.v, et == VT_VARIANT ? 0 : et);
                if (rc == kAutoOk) rc = PutElement(&r->value, nullptr, 0, &tmp.v);
            }
        }
    }
    // Counted in the store; a value it cannot hold any more is refused.
    if (rc == kAutoOk) {
        uint64_t held = HeldBytes(&r->value);
        if (StoreFits(r, held)) StoreSet(r, held);
        else rc = kAutoNoMemory;
    }
    if (rc != kAutoOk) {
        FreeVariantRecord(r);
        *code = rc;
        return nullptr;
    }
    if (linked) {
        r->nextVariant = gVariantList;
        gVariantList = r;
    }
    return &r->hdr;
}

ObjectRecord* VariantObjCreate(uint32_t, ObjectCreateRecord* cr, int32_t* code) {
    if (!RuntimeOleLibraries()) {
        *code = kAutoNoMemory;
        return nullptr;
    }
    RuntimeOleStart();
    ObjectRecord* rec = VariantObjMake(static_cast<uint16_t>(cr->varType), static_cast<uint8_t>(cr->varPtr),
                                       &gCreateInitValue, cr->ovar, true, code);
    if (rec) CopyCreateStrings(rec, cr);
    return rec;
}

int32_t VariantObjTakeCopy(VariantRecord* r, const VARIANT* v) {
    if (!StoreFits(r, HeldBytesThrough(v))) return kAutoNoMemory;
    VariantClear(&r->value);
    StoreSet(r, 0);
    if (FAILED(VariantCopyInd(&r->value, const_cast<VARIANT*>(v)))) {
        VariantInit(&r->value);
        return kAutoNoValue;
    }
    StoreRecount(r);
    return kAutoOk;
}

void OleVarDestroyAll(bool finalRun) {
    while (gVariantList) {
        VariantRecord* r = gVariantList;
        gVariantList = r->nextVariant;
        if (!finalRun && r->hdr.ovar) DestArrayAppend(r->hdr.ovar);
        FreeVariantRecord(r);
    }
    for (uint32_t i = 0; i < kVariantBuiltins; ++i) {
        if (gBuiltins[i].hdr.kind == kKindVariant) ResetBuiltin(&gBuiltins[i], i != 0);
        // Reset, a record holds nothing to free (an omitted argument at most):
        // at the end it is emptied without loading the automation library.
        if (finalRun) V_VT(&gBuiltins[i].value) = VT_EMPTY;
    }
}

// Points records 1-10 at an event's arguments in parameter order (args[0] the
// first parameter); count 0 returns them to their own values.
void VariantBuiltinsPoint(VARIANT* const* args, uint32_t count) {
    for (uint32_t i = 1; i < kVariantBuiltins; ++i) {
        VariantRecord* r = VariantBuiltin(i);
        ResetBuiltin(r, true);
        if (i - 1 < count && args[i - 1]) r->valuePtr = args[i - 1];
    }
}

namespace {

int32_t VariantObjDestroy(ObjectRecord* rec) {
    VariantRecord* r = VariantOf(rec);
    if (!r) return kAutoNoObject;
    if (r >= gBuiltins && r < gBuiltins + kVariantBuiltins) return kAutoOk;
    Unlink(r);
    FreeVariantRecord(r);
    return kAutoOk;
}

int32_t VariantObjGetProp(ObjectRecord* rec, PropQuery* req, uint32_t id) {
    VariantRecord* r = VariantOf(rec);
    if (!r) return kAutoNoObject;
    // The built-in records are reached without a creation: the automation
    // library is loaded here first.
    if (!RuntimeOleLibraries()) return kAutoNoMemory;
    switch (id) {
    case kVpVarType:
        req->result = V_VT(r->valuePtr);
        return kAutoOk;
    case kVpVarPtr:
        req->result = r->varPtrMode;
        return kAutoOk;
    case kVpValue: {
        ScopedVariant tmp;
        int32_t rc;
        const VARIANT* v = ReadableValue(r, &tmp.v, &rc);
        if (rc == kAutoOk) rc = VariantToVar(&req->selector, v);
        req->itemAnswer = true;
        return rc;
    }
    case kVpRaw:
        req->itemAnswer = true;
        return RawBytes(r, &req->selector);
    default:
        return kAutoNoProp;
    }
}

int32_t VariantObjSetProp(ObjectRecord* rec, const PropChange* req, uint32_t id) {
    VariantRecord* r = VariantOf(rec);
    if (!r) return kAutoNoObject;
    if (!RuntimeOleLibraries()) return kAutoNoMemory;
    switch (id) {
    case kVpVarType: {
        VARTYPE vt = static_cast<VARTYPE>(req->value);
        if (VarTypeCheck(vt) != kAutoOk) return kAutoBadVarType;
        if (r->valuePtr != &r->value)
            return FAILED(VariantChangeType(r->valuePtr, r->valuePtr, 0, vt)) ? kAutoNoValue : kAutoOk;
        // Changed aside and counted: a value the store cannot hold leaves the old one.
        ScopedVariant changed;
        if (FAILED(VariantChangeType(&changed.v, &r->value, 0, vt))) return kAutoNoValue;
        uint64_t held = HeldBytes(&changed.v);
        if (!StoreFits(r, held)) return kAutoNoMemory;
        VariantClear(&r->value);
        r->value = changed.v;
        VariantInit(&changed.v);   // the record owns it now
        StoreSet(r, held);
        return kAutoOk;
    }
    case kVpValue:
        return SetValue(r, &req->selector);
    case kVpVarPtr:
        r->varPtrMode = static_cast<uint8_t>(req->value);
        return kAutoOk;
    default:
        return kAutoOk;
    }
}

int32_t VariantObjMethod(ObjectRecord* rec, MethodCallRec* call) {
    VariantRecord* r = VariantOf(rec);
    if (!r) return kAutoNoObject;
    int rc = CheckMethodCall(kTypeVariant, call);
    if (rc != 0) return rc;
    VARIANT* v = r->valuePtr;
    SAFEARRAY* sa = ArrayOf(v);
    int32_t idx[kIndexDimsMax];
    uint32_t n;
    int32_t number = 0;
    switch (call->method) {
    case kVariantGetDim:
        number = sa ? static_cast<int32_t>(SafeArrayGetDim(sa)) : 0;
        break;
    case kVariantGetElement: {
        IndexArgs(call, 0, idx, &n);
        int32_t code = 0;
        ObjectRecord* made = VariantObjMake(VT_EMPTY, kVarPtrCopy, nullptr, call->result.varRef, false, &code);
        if (!made) return code;
        if (sa) {
            VariantRecord* copy = VariantOf(made);
            int32_t g = GetElement(v, idx, n, &copy->value);
            // The copy is counted in the store like any Variant.
            uint64_t held = g == kAutoOk ? HeldBytes(&copy->value) : 0;
            if (g == kAutoOk && !StoreFits(copy, held)) g = kAutoNoMemory;
            if (g != kAutoOk) {
                ObjectDestroy(made);
                return g;
            }
            StoreSet(copy, held);
        }
        number = static_cast<int32_t>(made->handle);
        break;
    }
    case kVariantGetElemCount: {
        int32_t dim = IntArg(call, 0, 1);
        LONG lower = 0, upper = -1;
        if (sa && dim >= 1 && SUCCEEDED(SafeArrayGetLBound(sa, static_cast<UINT>(dim), &lower)) &&
            SUCCEEDED(SafeArrayGetUBound(sa, static_cast<UINT>(dim), &upper)))
            number = upper - lower + 1;
        break;
    }
    case kVariantSetElemCount: {
        int32_t size = IntArg(call, 0, 0);
        if (!sa) break;
        if (size <= 0) {
            number = kInvalidArg;
            break;
        }
        HRESULT hr = RedimCounted(r, sa, static_cast<ULONG>(size));
        number = FAILED(hr) ? hr : 0;
        break;
    }
    case kVariantPutElement: {
        if (!sa) break;
        const EventItem& valueArg = call->args[0];
        VariantRecord* src = call->argCount ? VariantOf(ObjectFromHandle(static_cast<uint32_t>(valueArg.value)))
                                            : nullptr;
        IndexArgs(call, 1, idx, &n);
        number = src ? PutElementCounted(r, idx, n, src->valuePtr) : kAutoBadElement;
        break;
    }
    case kVariantGetAllData:
        return VariantToVar(&call->result, v);
    default:
        return kAutoMethodName;
    }
    SetReplyInt(nullptr, number, kReplyKindInt);
    return kAutoOk;
}

struct VariantMethodRow {
    uint32_t version;
};
const VariantMethodRow kVariantMethodRows[] = {
    {0}, {kVariantMethodsVersion}, {kVariantMethodsVersion}, {kVariantMethodsVersion},
    {kVariantMethodsVersion}, {kVariantMethodsVersion}, {kGetAllDataVersion},
};

const MethodDesc* VariantMethodLookup(uint32_t method, uint32_t version) {
    if (method < kVariantGetDim || method > kVariantGetAllData || version < kVariantMethodRows[method].version) return nullptr;
    return reinterpret_cast<const MethodDesc*>(&kVariantMethodRows[method]);
}

const ObjectOps kVariantOps = {
    .destroy = VariantObjDestroy,
    .method = VariantObjMethod,
};

}  // namespace

void ComObjectsInstallVariant() {
    RegisterObjectCreator(kTypeVariant, VariantObjCreate);
    RegisterObjectOps(kKindVariant, &kVariantOps);
    RegisterMethodTable(kTypeVariant, VariantMethodLookup);
    gComObjectHooks.variantGetProp = VariantObjGetProp;
    gComObjectHooks.variantSetProp = VariantObjSetProp;
    gComObjectHooks.variantBuiltin = [](uint32_t i) -> ObjectRecord* {
        VariantRecord* r = VariantBuiltin(i);
        return r ? &r->hdr : nullptr;
    };
}
