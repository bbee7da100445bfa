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

namespace {

constexpr uint8_t kReplyKindInt = 8;
constexpr HRESULT kInvalidArg = E_INVALIDARG;

enum VariantPropCode : uint32_t { kVpVarType = 397, kVpValue = 398, kVpVarPtr = 422, kVpRaw = 432 };
constexpr uint32_t kVariantMethodsVersion = 8700, kGetAllDataVersion = 9304;

VariantRecord* gVariantList;
VariantRecord gBuiltins[kVariantBuiltins];

void ResetBuiltin(VariantRecord* r, bool argument) {
    VariantClear(&r->value);
    r->valuePtr = &r->value;
    if (argument) {
        V_VT(&r->value) = VT_ERROR;
        V_ERROR(&r->value) = DISP_E_PARAMNOTFOUND;
    }
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
    VARIANT tmp;
    int32_t rc;
    const VARIANT* v = ReadableValue(r, &tmp, &rc);
    if (rc != kAutoOk) return rc;
    VARIANT direct;
    VariantInit(&direct);
    if (V_VT(v) & VT_BYREF) {
        VariantCopyInd(&direct, const_cast<VARIANT*>(v));
        v = &direct;
    }
    std::string bytes;
    if (V_VT(v) == VT_BSTR) {
        const char* s = reinterpret_cast<const char*>(V_BSTR(v));
        bytes.assign(s ? s : "", s ? SysStringByteLen(V_BSTR(v)) : 0);
    } else {
        bytes.assign(reinterpret_cast<const char*>(&V_I4(v)), RawValueWidth(V_VT(v)));
    }
    VariantClear(&direct);
    VariantClear(&tmp);
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

int32_t SetValue(VariantRecord* r, const EventItem* value) {
    VARIANT* v = r->valuePtr;
    if (V_VT(v) & VT_BYREF) return WriteThrough(r, value);
    if (IsArray(v)) {
        SAFEARRAY* sa = ArrayOf(v);
        VARTYPE et = VT_EMPTY;
        if (!sa || FAILED(SafeArrayGetVartype(sa, &et))) return kAutoBadElement;
        VARIANT tmp;
        int32_t rc = VarToVariant(value, &tmp, et == VT_VARIANT ? 0 : et);
        if (rc == kAutoOk) rc = PutElement(v, nullptr, 0, &tmp);
        VariantClear(&tmp);
        return rc;
    }
    // Converted aside: a value the kept type cannot take leaves the old value
    // and its type in place.
    VARIANT tmp;
    int32_t rc = VarToVariant(value, &tmp, V_VT(v));
    if (rc != kAutoOk) {
        VariantClear(&tmp);
        return rc;
    }
    VariantClear(v);
    *v = tmp;
    return kAutoOk;
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
        r->hdr.kind = kKindVariant;
        r->hdr.flags = kObjAlive;
        VariantInit(&r->value);
        ResetBuiltin(r, index != 0);
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
                VARIANT tmp;
                rc = VarToVariant(init, &tmp, et == VT_VARIANT ? 0 : et);
                if (rc == kAutoOk) rc = PutElement(&r->value, nullptr, 0, &tmp);
                VariantClear(&tmp);
            }
        }
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
    RuntimeOleStart();
    ObjectRecord* rec = VariantObjMake(static_cast<uint16_t>(cr->varType), static_cast<uint8_t>(cr->varPtr),
                                       &gCreateInitValue, cr->ovar, true, code);
    if (rec) CopyCreateStrings(rec, cr);
    return rec;
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
        // An empty value has nothing to free; skipping it keeps a session that
        // never used a variant from loading the automation library at exit.
        if (finalRun && gBuiltins[i].value.vt != VT_EMPTY) VariantClear(&gBuiltins[i].value);
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
    switch (id) {
    case kVpVarType:
        req->result = V_VT(r->valuePtr);
        return kAutoOk;
    case kVpVarPtr:
        req->result = r->varPtrMode;
        return kAutoOk;
    case kVpValue: {
        VARIANT tmp;
        int32_t rc;
        const VARIANT* v = ReadableValue(r, &tmp, &rc);
        if (rc == kAutoOk) rc = VariantToVar(&req->selector, v);
        VariantClear(&tmp);
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
    switch (id) {
    case kVpVarType: {
        VARTYPE vt = static_cast<VARTYPE>(req->value);
        if (VarTypeCheck(vt) != kAutoOk) return kAutoBadVarType;
        return FAILED(VariantChangeType(r->valuePtr, r->valuePtr, 0, vt)) ? kAutoNoValue : kAutoOk;
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
            int32_t g = GetElement(v, idx, n, &VariantOf(made)->value);
            if (g != kAutoOk) {
                ObjectDestroy(made);
                return g;
            }
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
        SAFEARRAYBOUND bound = {static_cast<ULONG>(size), 0};
        HRESULT hr = SafeArrayRedim(sa, &bound);
        number = FAILED(hr) ? hr : 0;
        break;
    }
    case kVariantPutElement: {
        if (!sa) break;
        const EventItem& valueArg = call->args[0];
        VariantRecord* src = call->argCount ? VariantOf(ObjectFromHandle(static_cast<uint32_t>(valueArg.value)))
                                            : nullptr;
        IndexArgs(call, 1, idx, &n);
        number = src ? PutElement(v, idx, n, src->valuePtr) : kAutoBadElement;
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
