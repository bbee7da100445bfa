// automation.cpp - the Automation object (kind 33): a COM object driven by name
// from the server's program. Creation by ProgID or CLSID, wrapping of an
// IDispatch that arrived as a value, properties of its own, method calls and
// property access by name (with chains of sub-objects), and the flat entries
// of the automation client.
#include <cstring>
#include <string>
#include <vector>

#include "com/autoclient.h"
#include "com/autoglue.h"
#include "com/comevents.h"
#include "com/comobjects.h"
#include "com/core/varrules.h"
#include "com/olecontainer.h"
#include "com/oleutil.h"
#include "com/varconv.h"
#include "objects/crstream.h"
#include "objects/events.h"
#include "objects/guihooks.h"
#include "objects/objcreate.h"
#include "objects/objops.h"
#include "session/session.h"
#include "session/util/mem.h"
#include "session/util/strutil.h"

namespace {

constexpr uint32_t kNameCut = 255;
constexpr uint32_t kRemServerCut = 255;

// A counted name as a NUL-terminated text, cut to 255 bytes.
std::string CutName(const char* name, uint32_t length) {
    if (!name) return std::string();
    return std::string(name, length > kNameCut ? kNameCut : length);
}

bool EqualsNoCase(const std::string& a, const char* b) { return _stricmp(a.c_str(), b) == 0; }

AutoClient* ClientOf(ObjectRecord* rec) {
    AutomationRecord* a = AutomationOf(rec);
    return a ? a->client : nullptr;
}

// Arguments in rgvarg order: item i goes to position count-1-i.
struct ArgVariants {
    std::vector<VARIANT> v;
    ~ArgVariants() {
        for (VARIANT& x : v) VariantClear(&x);
    }
    int32_t Convert(const EventItem* items, uint32_t count) {
        v.resize(count);
        for (VARIANT& x : v) VariantInit(&x);
        for (uint32_t i = 0; i < count; ++i) {
            int32_t rc = VarToVariant(&items[i], &v[count - 1 - i], 0);
            if (rc != kAutoOk) return rc;
        }
        return kAutoOk;
    }
    DISPPARAMS Params() { return DISPPARAMS{v.empty() ? nullptr : v.data(), nullptr, static_cast<UINT>(v.size()), 0}; }
};

// True when a positional argument follows a named one.
bool NamedBeforePositional(const MethodCallRec* call, uint32_t count) {
    bool named = false;
    for (uint32_t i = 0; i < count; ++i) {
        if (call->argNames[i]) named = true;
        else if (named) return true;
    }
    return false;
}

// Walks the first hops of a chain; the first failure drops the sub-object.
int32_t WalkChain(AutoClient* c, const PropChainRec* chain, uint32_t hops) {
    uint32_t at = 0;
    for (uint32_t h = 0; h < hops; ++h) {
        const PropChainHop& hop = chain->hops[h];
        if (at + hop.argCount > kMcMaxHopArgs) {
            AutoClearSubObject(c);
            return kAutoSubObject;
        }
        std::string name = CutName(hop.name, hop.nameLength);
        ArgVariants args;
        int32_t rc = args.Convert(&chain->args[at], hop.argCount);
        at += hop.argCount;
        if (rc == kAutoOk) {
            DISPPARAMS p = args.Params();
            rc = AutoGetSubObject(c, name.c_str(), 0, hop.argCount ? &p : nullptr);
        }
        if (rc != kAutoOk) {
            AutoClearSubObject(c);
            return rc;
        }
    }
    return kAutoOk;
}

}  // namespace

AutomationRecord* AutomationOf(ObjectRecord* rec) {
    return rec && rec->kind == kKindAutomation ? reinterpret_cast<AutomationRecord*>(rec) : nullptr;
}

IDispatch* AutomationDispatch(ObjectRecord* rec) {
    AutoClient* c = ClientOf(rec);
    return c ? AutoGetDispatch(c, false) : nullptr;
}

// ---- Creation and destruction --------------------------------------------------------

namespace {

void FreeAutomation(AutomationRecord* a) {
    ReplaceStrField(nullptr, 0, &a->remServer);
    ObjectFreeCommon(&a->hdr);
    ObjectFreeRecord(&a->hdr);
}

}  // namespace

ObjectRecord* AutomationCreate(uint32_t, ObjectCreateRecord* cr, int32_t* code) {
    if (!RuntimeOleLibraries()) {
        *code = kAutoNoMemory;
        return nullptr;
    }
    RuntimeOleStart();
    const char* name = cr->clsid.text;
    uint32_t n = cr->clsid.length;
    if (!name || n == 0 || n >= kAutoNameMax) {
        *code = kAutoNoObject;
        return nullptr;
    }
    auto* a = reinterpret_cast<AutomationRecord*>(ObjectAllocRecord(kKindAutomation, sizeof(AutomationRecord), false));
    if (!a) {
        *code = kAutoNoMemory;
        return nullptr;
    }
    if (!ObjectInitCommon(&a->hdr, cr, nullptr)) {
        ObjectFreeRecord(&a->hdr);
        *code = kAutoNoObject;
        return nullptr;
    }
    if (!a->hdr.parent) a->hdr.parent = gMainWindowObj;
    a->hdr.flags = kObjAlive;
    if (name[0] == '!') {
        ++name;
        --n;
    }
    memcpy(a->name, name, n);
    a->name[n] = 0;
    if (cr->remServer.text && cr->remServer.length)
        ReplaceStrField(cr->remServer.text,
                        static_cast<long>(cr->remServer.length > kRemServerCut ? kRemServerCut : cr->remServer.length),
                        &a->remServer);
    CopyCreateStrings(&a->hdr, cr);
    if (!a->name[0] || !AutoCreateByName(&a->hdr)) {
        FreeAutomation(a);
        *code = kAutoNoObject;
        return nullptr;
    }
    LinkObject(&a->hdr);
    return &a->hdr;
}

ObjectRecord* AutomationWrapDispatch(const EventItem* target, const VARIANT* v, int32_t* code) {
    if (V_VT(v) != VT_DISPATCH || !V_DISPATCH(v)) {
        *code = kAutoNoObject;
        return nullptr;
    }
    auto* a = reinterpret_cast<AutomationRecord*>(ObjectAllocRecord(kKindAutomation, sizeof(AutomationRecord), false));
    if (!a) {
        *code = kAutoNoMemory;
        return nullptr;
    }
    a->hdr.ovar = target ? target->varRef : 0;
    a->hdr.parent = gMainWindowObj;
    int32_t rc = AutoWrapDispatch(&a->hdr, v);
    if (rc != kAutoOk) {
        FreeAutomation(a);
        *code = rc;
        return nullptr;
    }
    LinkObject(&a->hdr);
    return &a->hdr;
}

namespace {

int32_t AutomationDestroy(ObjectRecord* rec) {
    AutomationRecord* a = AutomationOf(rec);
    if (!a) return kAutoNoObject;
    RemoveAllEventsForObj(rec);
    AutoRelease(rec);
    FreeAutomation(a);
    return kAutoOk;
}

uint32_t AutomationGetProp(ObjectRecord* rec, uint32_t id) {
    AutomationRecord* a = AutomationOf(rec);
    switch (id) {
    case kPidObjectId: return rec->objectId;
    case kPidAdviseKey: return a->adviseKey;
    case kPidRemServer:
    case kPidRunName:
    case kPidUserData: {
        const char* t = id == kPidRemServer ? a->remServer : id == kPidRunName ? rec->runName : rec->userData;
        size_t n = t ? strlen(t) : 0;
        if (n > kTextBufSize) n = kTextBufSize;
        memcpy(gTextBuf, t ? t : "", n);
        gTextBuf[n] = 0;
        return 0;
    }
    default:
        return static_cast<uint32_t>(ObjectGetCommonProperty(rec, id));
    }
}

int32_t AutomationSetProp(ObjectRecord* rec, PropChange* req) {
    switch (req->id) {
    case kPidObjectId:
        rec->objectId = static_cast<uint16_t>(req->value);
        return kAutoOk;
    case kPidRunName:
    case kPidUserData: {
        char** field = req->id == kPidRunName ? &rec->runName : &rec->userData;
        uint32_t n = req->textLength > kTextBufSize ? kTextBufSize : req->textLength;
        // A copy that cannot be made keeps the old text.
        if (!ReplaceStrField(req->text, static_cast<long>(n), field) && n) return kAutoOk;
        return kAutoOk;
    }
    default:
        return ObjectSetCommonProperty(rec, req->id, req->value, req->text, req->textLength, &req->redraw);
    }
}

}  // namespace

// ---- Method calls and property access -------------------------------------------------

int32_t AutomationInvoke(AutoClient* c, MethodCallRec* call) {
    if (!c) return kAutoNoDispatch;
    const PropChainRec* chain = call->chain;
    uint32_t hops = chain ? chain->hopCount : 0;
    if (hops > kMcMaxHops) return kAutoSubObject;
    std::string method;
    if (hops) {
        int32_t rc = WalkChain(c, chain, hops - 1);
        if (rc != kAutoOk) return rc;
    }
    // The last hop is the method itself; the call names it too.
    method = call->nameLength ? CutName(call->name, call->nameLength)
                              : hops ? CutName(chain->hops[hops - 1].name, chain->hops[hops - 1].nameLength)
                                     : std::string();
    uint32_t count = call->argCount > kMcMaxArgs ? kMcMaxArgs : call->argCount;
    // IDispatch takes the first cNamedArgs of rgvarg as the named ones: a
    // positional argument behind a named one would bind to the wrong name.
    if (NamedBeforePositional(call, count)) {
        AutoClearSubObject(c);
        return kAutoNoNamedArgs;
    }
    ArgVariants args;
    int32_t rc = args.Convert(call->args, count);
    if (rc != kAutoOk) {
        AutoClearSubObject(c);
        return rc;
    }
    AutoNameList names = {};
    names.names[0] = method.c_str();
    names.lengths[0] = static_cast<uint32_t>(method.size());
    names.count = 1;
    for (uint32_t i = 0; i < count; ++i) {
        if (!call->argNames[i] || names.count >= kAutoNamesMax) continue;
        names.names[names.count] = call->argNames[i];
        names.lengths[names.count] = call->argNameLengths[i];
        ++names.count;
    }
    DISPPARAMS p = args.Params();
    VARIANT result;
    VariantInit(&result);
    bool wanted = call->result.varRef != 0;
    if (names.count == 1) {
        rc = AutoMethodCall(c, method.c_str(), 0, &p, wanted ? &result : nullptr);
    } else {
        rc = AutoNamesToDispIds(c, &names);
        if (rc == kAutoOk) {
            // Named DISPIDs last first, to line up with the reversed arguments.
            DISPID named[kAutoNamesMax];
            uint32_t nn = names.count - 1;
            for (uint32_t i = 0; i < nn; ++i) named[i] = names.ids[names.count - 1 - i];
            p.rgdispidNamedArgs = named;
            p.cNamedArgs = nn;
            rc = AutoMethodCall(c, nullptr, names.ids[0], &p, wanted ? &result : nullptr);
        }
    }
    AutoClearSubObject(c);
    if (rc == kAutoOk && wanted) rc = VariantToVar(&call->result, &result);
    VariantClear(&result);
    return rc;
}

int32_t AutomationPropAccess(AutoClient* c, OlePropReq* set, OlePropReq* get) {
    OlePropReq* req = set ? set : get;
    if (!c) return kAutoNoDispatch;
    if (!req->call) return kAutoNoProp;
    MethodCallRec* call = req->call;
    const PropChainRec* chain = call->chain;
    uint32_t hops = chain ? chain->hopCount : 0;
    if (hops > kMcMaxHops) return kAutoSubObject;
    if (hops) {
        int32_t rc = WalkChain(c, chain, hops);
        if (rc != kAutoOk) return rc;
    }
    std::string name = req->dispId == 0 ? CutName(call->name, call->nameLength) : std::string();
    // The sub-object is dropped before a result is stored: the result's
    // variable may hold this very object (node = node.nextSibling), whose
    // storing destroys the old object together with its client c.
    if (get && !name.empty() && name[0] == '$' && EqualsNoCase(name, "$IDispatch")) {
        VARIANT v;
        AutoDispatchVariantAddRef(c, &v);
        AutoClearSubObject(c);
        int32_t rc = VariantToVar(&call->result, &v);
        VariantClear(&v);
        return rc;
    }
    uint32_t count = call->argCount > kMcMaxArgs ? kMcMaxArgs : call->argCount;
    // A property's arguments are positional: a put's value is the one named.
    for (uint32_t i = 0; i < count; ++i) {
        if (call->argNames[i]) {
            AutoClearSubObject(c);
            return kAutoNoNamedArgs;
        }
    }
    // A set's value goes behind the arguments (room for it is kept).
    EventItem items[kMcMaxArgs + 1];
    memcpy(items, call->args, count * sizeof(EventItem));
    if (set) items[count++] = set->value;
    ArgVariants args;
    int32_t rc = args.Convert(items, count);
    VARIANT v;
    VariantInit(&v);
    if (rc == kAutoOk) {
        DISPPARAMS p = args.Params();
        const char* byName = req->dispId == 0 ? name.c_str() : nullptr;
        DISPID id = static_cast<DISPID>(req->dispId);
        rc = set ? AutoPropPut(c, byName, id, &p, nullptr) : AutoPropGet(c, byName, id, count ? &p : nullptr, &v);
    }
    AutoClearSubObject(c);
    if (rc == kAutoOk && get) rc = VariantToVar(&call->result, &v);
    VariantClear(&v);
    return rc;
}

namespace {

int32_t AutomationMethod(ObjectRecord* rec, MethodCallRec* call) {
    // The call may pump (an out-of-process object): the record is looked up
    // again before it is touched afterwards.
    return AutomationInvoke(ClientOf(rec), call);
}

int32_t AutomationOleProp(ObjectRecord* rec, OlePropReq* set, OlePropReq* get) {
    return AutomationPropAccess(ClientOf(rec), set, get);
}

}  // namespace

// ---- The flat entries ------------------------------------------------------------------

int AutoCreateByName(ObjectRecord* rec) {
    AutomationRecord* a = AutomationOf(rec);
    if (!a) return 0;
    CLSID clsid;
    wchar_t* w = AnsiToWideTemp(a->name);
    if (!w) return 0;
    HRESULT hr = a->name[0] == '{' ? CLSIDFromString(w, &clsid) : CLSIDFromProgID(w, &clsid);
    if (FAILED(hr)) return 0;
    a->client = AutoClientCreate(clsid, nullptr, rec);
    return a->client ? 1 : 0;
}

void AutoRelease(ObjectRecord* rec) {
    AutomationRecord* a = AutomationOf(rec);
    if (!a) return;
    a->name[0] = 0;
    AutoClient* c = a->client;
    a->client = nullptr;
    AutoClientFree(c);
}

int32_t AutoNavigate(AutoClient* c, const char* name, DISPID id, DISPPARAMS* args) {
    return AutoGetSubObject(c, name, id, args);
}

int32_t AutoLookupNames(AutoClient* c, AutoNameList* list) { return AutoNamesToDispIds(c, list); }

int32_t AutoGetProperty(AutoClient* c, const char* name, DISPID id, DISPPARAMS* args, VARIANT* result) {
    return AutoPropGet(c, name, id, args, result);
}

int32_t AutoGetProperty(IDispatch* d, const char* name, DISPID id, DISPPARAMS* args, VARIANT* result) {
    if (!d) return kAutoNoDispatch;
    AutoClient c = {};
    c.root = d;
    return AutoPropGet(&c, name, id, args, result);
}

int32_t AutoPutProperty(AutoClient* c, const char* name, DISPID id, DISPPARAMS* args, VARIANT* value) {
    int32_t rc = AutoPropPut(c, name, id, args, value);
    AutoClearSubObject(c);
    return rc;
}

int32_t AutoWrapDispatch(ObjectRecord* rec, const VARIANT* v) {
    AutomationRecord* a = AutomationOf(rec);
    if (!a || V_VT(v) != VT_DISPATCH || !V_DISPATCH(v)) return kAutoNoObject;
    a->client = AutoClientWrap(V_DISPATCH(v), rec);
    return a->client ? kAutoOk : kAutoNoMemory;
}

void AutoDispatchToVariant(ObjectRecord* rec, VARIANT* v) {
    AutoClient* c = ClientOf(rec);
    if (!c) return;
    V_VT(v) = VT_DISPATCH;
    V_DISPATCH(v) = AutoGetDispatch(c, false);
}

IDispatch* AutoDispatchVariantAddRef(AutoClient* c, VARIANT* v) {
    VariantInit(v);
    IDispatch* d = c ? AutoGetDispatch(c, true) : nullptr;
    if (d) {
        V_VT(v) = VT_DISPATCH;
        V_DISPATCH(v) = d;
    }
    return d;
}

int32_t AutoInvokeMethod(AutoClient* c, const char* name, DISPID id, DISPPARAMS* args) {
    return AutoMethodCall(c, name, id, args, nullptr);
}

void AutoReleaseDispatch(AutoClient* c) { AutoClearSubObject(c); }

// ---- Registration -------------------------------------------------------------------------

static const ObjectOps kAutomationOps = {
    .destroy = AutomationDestroy,
    .getProp = AutomationGetProp,
    .setProp = AutomationSetProp,
    .method = AutomationMethod,
    .oleProp = AutomationOleProp,
};

// At exit every variant record goes and the builtins' values are cleared,
// after the windows and their controls.
static void ComObjectsCleanup() { OleVarDestroyAll(true); }

FacilityRow ComObjectsInstall() {
    RegisterObjectCreator(kTypeAutomation, AutomationCreate);
    RegisterObjectCreator(kTypeAutomation2, AutomationCreate);
    RegisterObjectOps(kKindAutomation, &kAutomationOps);
    ComObjectsInstallVariant();
    ComEventsInstall();
    OleContainerInstall();
    return FacilityRow{"ComObjects", nullptr, ComObjectsCleanup};
}
