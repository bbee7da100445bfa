// autoclient.cpp - the automation client (see autoclient.h): creation through
// the class factory, the event set-up with its connection-point fallback, the
// property and method calls through IDispatch::Invoke, the two-step walk to a
// sub-object, the error mapping, and the event sink.
#include "com/autoclient.h"

#include <cstdio>
#include <cstring>
#include <new>
#include <string>

#include "com/comobjects.h"
#include "com/core/varrules.h"
#include "com/oleutil.h"
#include "objects/objrecord.h"
#include "session/config.h"
#include "session/log.h"
#include "session/nomem.h"
#include "session/util/mem.h"

AutoEventPostFn gAutoEventPost;

namespace {

constexpr DWORD kClassContexts = CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER;
constexpr LCID kCallLocale = LOCALE_USER_DEFAULT;
constexpr DISPID kPropPutId = DISPID_PROPERTYPUT;
constexpr int kGuidTextMax = 64;

template <typename T>
void ReleaseInto(T** p) {
    if (*p) (*p)->Release();
    *p = nullptr;
}

IDispatch* Target(AutoClient* c) { return c->current ? c->current : c->root; }

AutomationRecord* AutomationOwner(AutoClient* c) {
    return c->owner && c->owner->kind == kKindAutomation ? reinterpret_cast<AutomationRecord*>(c->owner) : nullptr;
}

bool EqualNoCase(const char* a, const char* b) { return a && _stricmp(a, b) == 0; }

// One name to its DISPID (ANSI to UTF-16 first).
bool NameToId(IDispatch* d, const char* name, DISPID* id) {
    wchar_t* w = AnsiToWideTemp(name);
    if (!w) return false;
    LPOLESTR names[1] = {w};
    return SUCCEEDED(d->GetIDsOfNames(IID_NULL, names, 1, kCallLocale, id));
}

// The coclass's interface with default set and source set or not (source).
ITypeInfo* DefaultInterface(IUnknown* object, bool source) {
    IProvideClassInfo* pci = nullptr;
    if (FAILED(object->QueryInterface(IID_IProvideClassInfo, reinterpret_cast<void**>(&pci))) || !pci) return nullptr;
    ITypeInfo* classInfo = nullptr;
    HRESULT hr = pci->GetClassInfo(&classInfo);
    pci->Release();
    if (FAILED(hr) || !classInfo) return nullptr;
    ITypeInfo* found = nullptr;
    TYPEATTR* attr = nullptr;
    if (SUCCEEDED(classInfo->GetTypeAttr(&attr)) && attr) {
        WORD count = attr->cImplTypes;
        classInfo->ReleaseTypeAttr(attr);
        for (UINT i = 0; i < count && !found; ++i) {
            INT flags = 0;
            if (FAILED(classInfo->GetImplTypeFlags(i, &flags))) continue;
            bool isDefault = (flags & IMPLTYPEFLAG_FDEFAULT) != 0, isSource = (flags & IMPLTYPEFLAG_FSOURCE) != 0;
            if (!isDefault || isSource != source) continue;
            HREFTYPE ref = 0;
            if (SUCCEEDED(classInfo->GetRefTypeOfImplType(i, &ref))) classInfo->GetRefTypeInfo(ref, &found);
            break;
        }
    }
    classInfo->Release();
    return found;
}

bool MakeSink(AutoClient* c) {
    c->sink = new (std::nothrow) CQovIDispatchEvents(c, c->owner);
    if (!c->sink) return false;
    c->sink->AddRef();
    return true;
}

// The default source interface through the class information.
void AdviseBySourceInfo(AutoClient* c, IUnknown* object) {
    TYPEATTR* attr = nullptr;
    if (FAILED(c->sourceTypeInfo->GetTypeAttr(&attr)) || !attr) {
        c->eventsKnown = 0;
        return;
    }
    if (attr->typekind == TKIND_DISPATCH || (attr->wTypeFlags & TYPEFLAG_FDUAL)) {
        c->eventIid = attr->guid;
    } else {
        c->eventIid = GUID_NULL;
        c->eventsKnown = 0;
    }
    c->sourceTypeInfo->ReleaseTypeAttr(attr);
    if (!c->eventsKnown || !MakeSink(c)) return;
    IConnectionPointContainer* cpc = nullptr;
    if (FAILED(object->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(&cpc))) || !cpc)
        return;
    IConnectionPoint* cp = nullptr;
    if (SUCCEEDED(cpc->FindConnectionPoint(c->eventIid, &cp)) && cp) {
        DWORD cookie = 0;
        if (SUCCEEDED(cp->Advise(c->sink, &cookie))) {
            c->advised = 1;
            c->cookie = cookie;
        }
        cp->Release();
    }
    cpc->Release();
}

// No class information: the object's first connection point. The connection
// counts only when Advise succeeded; a failed one leaves cookie 0.
void AdviseFirstPoint(AutoClient* c, IUnknown* object) {
    IConnectionPointContainer* cpc = nullptr;
    if (FAILED(object->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(&cpc))) || !cpc)
        return;
    IEnumConnectionPoints* en = nullptr;
    IConnectionPoint* cp = nullptr;
    if (SUCCEEDED(cpc->EnumConnectionPoints(&en)) && en) {
        en->Reset();
        ULONG got = 0;
        if (en->Next(1, &cp, &got) != S_OK || got != 1) cp = nullptr;
        en->Release();
    }
    cpc->Release();
    if (!cp) return;
    IID iid = GUID_NULL;
    if (SUCCEEDED(cp->GetConnectionInterface(&iid)) && (c->eventIid = iid, MakeSink(c))) {
        DWORD cookie = 0;
        if (SUCCEEDED(cp->Advise(c->sink, &cookie))) {
            c->cookie = cookie;
            c->advised = 1;
            c->eventsKnown = 1;
        } else {
            c->cookie = 0;
            c->eventIid = GUID_NULL;
            c->sink->Detach();
            ReleaseInto(&c->sink);
        }
    }
    cp->Release();
}

void AskPropBrowsing(AutoClient* c, IUnknown* object) {
    if (FAILED(object->QueryInterface(IID_IPerPropertyBrowsing, reinterpret_cast<void**>(&c->propBrowsing))))
        c->propBrowsing = nullptr;
}

AutoClient* NewClient(ObjectRecord* owner) {
    AutoClient* c = static_cast<AutoClient*>(calloc(1, sizeof(AutoClient)));
    if (c) c->owner = owner;
    return c;
}

}  // namespace

void AutoAdviseEvents(AutoClient* c, IUnknown* object) {
    AutomationRecord* a = AutomationOwner(c);
    if (a) a->adviseKey = 0;
    c->sourceTypeInfo = DefaultInterface(object, true);
    c->eventsKnown = c->sourceTypeInfo ? 1 : 0;
    if (c->sourceTypeInfo) AdviseBySourceInfo(c, object);
    else AdviseFirstPoint(c, object);
    if (c->sink && a) a->adviseKey = c->cookie;
    c->defaultTypeInfo = DefaultInterface(object, false);
}

AutoClient* AutoClientCreate(REFCLSID clsid, IUnknown* unk, ObjectRecord* owner) {
    AutoClient* c = NewClient(owner);
    if (!c) return nullptr;
    IUnknown* object = unk;
    if (!object) {
        COSERVERINFO server = {};
        AutomationRecord* a = AutomationOwner(c);
        wchar_t machine[256] = L"";
        if (a && a->remServer && a->remServer[0]) {
            MultiByteToWideChar(CP_ACP, 0, a->remServer, -1, machine, 255);
            server.pwszName = machine;
        }
        IClassFactory* factory = nullptr;
        HRESULT hr = CoGetClassObject(clsid, kClassContexts, server.pwszName ? &server : nullptr, IID_IClassFactory,
                                      reinterpret_cast<void**>(&factory));
        if (SUCCEEDED(hr)) {
            hr = factory->CreateInstance(nullptr, IID_IUnknown, reinterpret_cast<void**>(&object));
            factory->Release();
        }
        if (FAILED(hr) || !object) {
            SetWinErrorText(static_cast<unsigned long>(hr));
            free(c);
            return nullptr;
        }
    }
    if (FAILED(object->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&c->root)))) c->root = nullptr;
    AutoAdviseEvents(c, object);
    if (!c->root && !c->eventsKnown) {
        AutoClientFree(c);
        if (!unk) object->Release();
        return nullptr;
    }
    AskPropBrowsing(c, object);
    if (!unk) object->Release();
    return c;
}

AutoClient* AutoClientWrap(IDispatch* dispatch, ObjectRecord* owner) {
    if (!dispatch) return nullptr;
    AutoClient* c = NewClient(owner);
    if (!c) return nullptr;
    c->root = dispatch;
    dispatch->AddRef();
    AutoAdviseEvents(c, dispatch);
    AskPropBrowsing(c, dispatch);
    return c;
}

void AutoClientFree(AutoClient* c) {
    if (!c) return;
    ReleaseInto(&c->propBrowsing);
    // The sink is cut off first: a control that fires after Unadvise (or
    // while it runs) reaches a sink that posts nothing.
    if (c->sink) c->sink->Detach();
    if (c->advised && c->root) {
        IConnectionPointContainer* cpc = nullptr;
        bool ok = false;
        if (SUCCEEDED(c->root->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(&cpc))) &&
            cpc) {
            IConnectionPoint* cp = nullptr;
            if (SUCCEEDED(cpc->FindConnectionPoint(c->eventIid, &cp)) && cp) {
                ok = SUCCEEDED(cp->Unadvise(c->cookie));
                cp->Release();
            }
            cpc->Release();
        }
        if (ok) c->cookie = 0;
        c->advised = 0;
    }
    ReleaseInto(&c->sink);
    ReleaseInto(&c->defaultTypeInfo);
    ReleaseInto(&c->sourceTypeInfo);
    ReleaseInto(&c->root);
    ReleaseInto(&c->current);
    free(c);
}

// The exception's texts into gExceptionText (allocated on first use).
static void KeepExceptionText(ObjectRecord* owner, EXCEPINFO* info) {
    if (!gExceptionText) gExceptionText = static_cast<char*>(LocalAllocZero(kExceptionTextSize + 1));
    if (!gExceptionText) return;
    std::string src, desc, help;
    if (info) {
        if (info->bstrSource) src = WideToAnsiTemp(info->bstrSource) ? WideToAnsiTemp(info->bstrSource) : "";
        if (info->bstrDescription)
            desc = WideToAnsiTemp(info->bstrDescription) ? WideToAnsiTemp(info->bstrDescription) : "";
        if (info->bstrHelpFile) help = WideToAnsiTemp(info->bstrHelpFile) ? WideToAnsiTemp(info->bstrHelpFile) : "";
    }
    FormatExceptionText(gExceptionText, owner ? owner->objectId : 0, info ? info->wCode : 0, info != nullptr,
                        src.c_str(), desc.c_str(), help.c_str(), info ? info->dwHelpContext : 0);
}

int32_t DispErrorToCode(ObjectRecord* owner, HRESULT hr, int32_t defaultCode, UINT argErr, EXCEPINFO* info) {
    DispErrorRow row = DispErrorLookup(static_cast<uint32_t>(hr), defaultCode);
    // The server hears only the code; the reason also goes to the debug log,
    // where the author of the server's program finds it: the argument (counted
    // in rgvarg order, the last argument 0) or the status code, for an
    // exception the one the object raised.
    char detail[kErrorDetailSize];
    unsigned long scode = static_cast<unsigned long>(hr);
    if (row.detail == kDetailException && info) {
        if (info->pfnDeferredFillIn) {
            info->pfnDeferredFillIn(info);
            info->pfnDeferredFillIn = nullptr;
        }
        if (info->scode) scode = static_cast<unsigned long>(info->scode);
    }
    if (row.detail == kDetailArg) snprintf(detail, sizeof detail, "ARG: %d", static_cast<int>(argErr));
    else snprintf(detail, sizeof detail, "SCODE: 0x%-8lx", scode);
    DebugLogWrite("AutomationError", "%d %s", static_cast<int>(row.code), detail);
    if (row.detail == kDetailArg || row.detail == kDetailScode)
        snprintf(gErrorDetailText, kErrorDetailSize, "%s", detail);
    if (row.detail == kDetailException) KeepExceptionText(owner, info);
    if (info) {
        SysFreeString(info->bstrSource);
        SysFreeString(info->bstrDescription);
        SysFreeString(info->bstrHelpFile);
        info->bstrSource = info->bstrDescription = info->bstrHelpFile = nullptr;
    }
    return row.code;
}

int32_t AutoPropGet(AutoClient* c, const char* name, DISPID id, DISPPARAMS* params, VARIANT* result) {
    IDispatch* d = Target(c);
    if (!d) return kAutoNoDispatch;
    if (name && !NameToId(d, name, &id)) return kAutoPropName;
    VariantInit(result);
    DISPPARAMS none = {nullptr, nullptr, 0, 0};
    EXCEPINFO info = {};
    UINT argErr = 0;
    HRESULT hr = d->Invoke(id, IID_NULL, kCallLocale, DISPATCH_PROPERTYGET, params ? params : &none, result, &info,
                           &argErr);
    return FAILED(hr) ? DispErrorToCode(c->owner, hr, kAutoInvokeFailed, argErr, &info) : kAutoOk;
}

int32_t AutoPropPut(AutoClient* c, const char* name, DISPID id, DISPPARAMS* params, VARIANT* value) {
    IDispatch* d = Target(c);
    if (!d) return kAutoNoDispatch;
    if (name && !NameToId(d, name, &id)) return kAutoPropName;
    DISPPARAMS own = {value, nullptr, 1, 0};
    DISPPARAMS* p = params ? params : &own;
    DISPID named = kPropPutId;
    p->rgdispidNamedArgs = &named;
    p->cNamedArgs = 1;
    EXCEPINFO info = {};
    UINT argErr = 0;
    HRESULT hr = d->Invoke(id, IID_NULL, kCallLocale, DISPATCH_PROPERTYPUT, p, nullptr, &info, &argErr);
    if (hr == DISP_E_MEMBERNOTFOUND && p->cArgs > 0 &&
        (V_VT(&p->rgvarg[0]) == VT_DISPATCH || (V_VT(&p->rgvarg[0]) & VT_BYREF))) {
        SysFreeString(info.bstrSource);
        SysFreeString(info.bstrDescription);
        SysFreeString(info.bstrHelpFile);
        info = EXCEPINFO();
        hr = d->Invoke(id, IID_NULL, kCallLocale, DISPATCH_PROPERTYPUTREF, p, nullptr, &info, &argErr);
    }
    p->rgdispidNamedArgs = nullptr;
    p->cNamedArgs = 0;
    return FAILED(hr) ? DispErrorToCode(c->owner, hr, kAutoInvokeFailed, argErr, &info) : kAutoOk;
}

int32_t AutoMethodCall(AutoClient* c, const char* name, DISPID id, DISPPARAMS* params, VARIANT* result) {
    IDispatch* d = Target(c);
    if (!d) return kAutoNoDispatch;
    WORD kind = DISPATCH_METHOD;
    if (name) {
        // "_Item_" names the member Item called as a method; "Item" is read.
        if (EqualNoCase(name, "Item")) kind = DISPATCH_PROPERTYGET;
        const char* lookup = EqualNoCase(name, "_Item_") ? "Item" : name;
        if (!NameToId(d, lookup, &id)) return kAutoMethodName;
    }
    if (result) VariantInit(result);
    DISPPARAMS none = {nullptr, nullptr, 0, 0};
    EXCEPINFO info = {};
    UINT argErr = 0;
    HRESULT hr = d->Invoke(id, IID_NULL, kCallLocale, kind, params ? params : &none, result, &info, &argErr);
    return FAILED(hr) ? DispErrorToCode(c->owner, hr, kAutoInvokeFailed, argErr, &info) : kAutoOk;
}

int32_t AutoNamesToDispIds(AutoClient* c, AutoNameList* list) {
    IDispatch* d = Target(c);
    if (!d) return kAutoNoDispatch;
    if (list->count == 0 || list->count > kAutoNamesMax) return kAutoMethodName;
    LPOLESTR names[kAutoNamesMax] = {};
    int32_t rc = kAutoOk;
    for (uint32_t i = 0; i < list->count && rc == kAutoOk; ++i) {
        size_t n = list->lengths[i];
        names[i] = static_cast<LPOLESTR>(calloc(n + 1, sizeof(wchar_t)));
        if (!names[i]) {
            rc = kAutoNoMemory;
            break;
        }
        int units = n ? MultiByteToWideChar(CP_ACP, 0, list->names[i], static_cast<int>(n), names[i],
                                            static_cast<int>(n))
                      : 0;
        names[i][units > 0 ? units : 0] = 0;
    }
    if (rc == kAutoOk && FAILED(d->GetIDsOfNames(IID_NULL, names, list->count, kCallLocale, list->ids)))
        rc = kAutoMethodName;
    for (uint32_t i = 0; i < list->count; ++i) free(names[i]);
    return rc;
}

int32_t AutoGetSubObject(AutoClient* c, const char* name, DISPID id, DISPPARAMS* params) {
    IDispatch* d = Target(c);
    if (!d) return kAutoNoDispatch;
    if (name && !NameToId(d, name, &id)) return kAutoSubObject;
    DISPPARAMS none = {nullptr, nullptr, 0, 0};
    DISPPARAMS* args = params ? params : &none;
    VARIANT got;
    VariantInit(&got);
    HRESULT hr = d->Invoke(id, IID_NULL, kCallLocale, DISPATCH_PROPERTYGET, args, &got, nullptr, nullptr);
    if (FAILED(hr)) {
        VariantClear(&got);
        if (args->cArgs == 0) return kAutoSubObject;
        // Second try: the member without arguments, then its default member
        // with them (a collection whose Item takes the index).
        VARIANT coll;
        VariantInit(&coll);
        if (FAILED(d->Invoke(id, IID_NULL, kCallLocale, DISPATCH_PROPERTYGET, &none, &coll, nullptr, nullptr)))
            return kAutoSubObject2;
        if (V_VT(&coll) != VT_DISPATCH || !V_DISPATCH(&coll)) {
            VariantClear(&coll);
            return kAutoSubObject;
        }
        hr = V_DISPATCH(&coll)->Invoke(DISPID_VALUE, IID_NULL, kCallLocale, DISPATCH_PROPERTYGET, args, &got,
                                       nullptr, nullptr);
        VariantClear(&coll);
        if (FAILED(hr)) {
            VariantClear(&got);
            return kAutoSubObject2;
        }
    }
    if (V_VT(&got) != VT_DISPATCH || !V_DISPATCH(&got)) {
        VariantClear(&got);
        return kAutoSubObject;
    }
    ReleaseInto(&c->current);
    c->current = V_DISPATCH(&got);   // the VARIANT's reference moves into current
    return kAutoOk;
}

void AutoClearSubObject(AutoClient* c) {
    if (c) ReleaseInto(&c->current);
}

IDispatch* AutoGetDispatch(AutoClient* c, bool current) {
    IDispatch* d = current ? c->current : c->root;
    if (d) d->AddRef();
    return d;
}

// ---- The event sink ------------------------------------------------------------------

CQovIDispatchEvents::CQovIDispatchEvents(AutoClient* client, ObjectRecord* owner)
    : refs_(0), client_(client), owner_(owner), eventIid_(client ? client->eventIid : GUID_NULL) {}

void CQovIDispatchEvents::Detach() {
    client_ = nullptr;
    owner_ = nullptr;
}

STDMETHODIMP CQovIDispatchEvents::QueryInterface(REFIID iid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    IID eventIid = client_ ? client_->eventIid : eventIid_;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) ||
        (!IsEqualIID(eventIid, GUID_NULL) && IsEqualIID(iid, eventIid))) {
        *out = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) CQovIDispatchEvents::AddRef() { return ++refs_; }

STDMETHODIMP_(ULONG) CQovIDispatchEvents::Release() {
    ULONG n = --refs_;
    if (n == 0) delete this;
    return n;
}

STDMETHODIMP CQovIDispatchEvents::GetTypeInfoCount(UINT* out) {
    if (out) *out = 0;
    return E_NOTIMPL;
}

STDMETHODIMP CQovIDispatchEvents::GetTypeInfo(UINT, LCID, ITypeInfo** out) {
    if (out) *out = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP CQovIDispatchEvents::GetIDsOfNames(REFIID, LPOLESTR*, UINT count, LCID, DISPID* ids) {
    if (ids && count) ids[0] = 0;
    return E_NOTIMPL;
}

STDMETHODIMP CQovIDispatchEvents::Invoke(DISPID id, REFIID iid, LCID, WORD flags, DISPPARAMS* params,
                                         VARIANT* result, EXCEPINFO*, UINT*) {
    if (!IsEqualIID(iid, IID_NULL)) return E_INVALIDARG;
    if (result) VariantInit(result);
    if (!(flags & DISPATCH_METHOD)) return DISP_E_MEMBERNOTFOUND;
    if (!owner_ || !gAutoEventPost) return S_OK;
    // The sink may be called again (and detached) while the event is handled.
    // An event whose arguments cannot be held is dropped, with its note.
    AddRef();
    bool held = CatchNoMemory("an automation object's event", [&] { gAutoEventPost(owner_, id, params); });
    Release();
    return held ? S_OK : E_OUTOFMEMORY;
}
