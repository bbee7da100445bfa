// qovtestsrv.cpp - a COM server for the automation client's tests. Four classes:
// QovTest.Echo answers with the VARTYPE and value it got, records the order of
// arguments and named DISPIDs, has a property that only takes a put by
// reference, raises an exception with every EXCEPINFO field and a type
// mismatch at argument 2, offers a collection reachable only by the two-step
// walk, describes itself through IProvideClassInfo with a dual source
// interface and fires events (at once or from a timer) with an argument by
// reference. QovTest.Points has a connection point but no class information;
// QovTest.BadAdvise refuses Advise with a garbage cookie; QovTest.Bare has
// neither IDispatch nor events.
#include <windows.h>
#include <ole2.h>
#include <olectl.h>
#include <ocidl.h>

#include <cstdio>
#include <string>
#include <vector>

#include "testctl.h"
#include "testdoc.h"
#include "testsrvids.h"

const CLSID kClsidTestControl = {0x5C0E7A20, 0x3B2D, 0x4E61, {0x9A, 0x4F, 0x1D, 0x2C, 0x3B, 0x4A, 0x5E, 0x60}};
const CLSID kClsidTestButton = {0x5C0E7A23, 0x3B2D, 0x4E61, {0x9A, 0x4F, 0x1D, 0x2C, 0x3B, 0x4A, 0x5E, 0x60}};
const CLSID kClsidTestInvisible = {0x5C0E7A24, 0x3B2D, 0x4E61, {0x9A, 0x4F, 0x1D, 0x2C, 0x3B, 0x4A, 0x5E, 0x60}};
const CLSID kClsidTestNoUi = {0x5C0E7A25, 0x3B2D, 0x4E61, {0x9A, 0x4F, 0x1D, 0x2C, 0x3B, 0x4A, 0x5E, 0x60}};
const CLSID kClsidTestLabel = {0x5C0E7A26, 0x3B2D, 0x4E61, {0x9A, 0x4F, 0x1D, 0x2C, 0x3B, 0x4A, 0x5E, 0x60}};
const CLSID kClsidTestIconic = {0x5C0E7A27, 0x3B2D, 0x4E61, {0x9A, 0x4F, 0x1D, 0x2C, 0x3B, 0x4A, 0x5E, 0x60}};
HMODULE gTestModule;

namespace {

constexpr DISPID kEventOnFire = 1;
constexpr DISPID kEventPing = 5;
constexpr DWORD kGarbageCookie = 0xDEADBEEF;
constexpr WORD kRaiseCode = 1001;
constexpr DWORD kRaiseContext = 4711;
constexpr size_t kHelpPathLength = 250;
constexpr LONG kFireStart = 5;

HMODULE gModule;
LONG gLocks;

enum EchoId : DISPID {
    kIdEcho = 1, kIdNamed, kIdRefOnly, kIdRaise, kIdMismatch, kIdItems, kIdFireNow, kIdFireAfter, kIdLastByRef,
    kIdPing, kIdFire, kIdName, kIdArgA = 101, kIdArgB, kIdArgC,
};
// The QueryInterface of an object with one interface: itself for IUnknown and
// for that interface, counted.
template <class Object>
HRESULT QueryOwn(Object* self, REFIID iid, REFIID own, void** out) {
    *out = nullptr;
    if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, own)) return E_NOINTERFACE;
    *out = self;
    self->AddRef();
    return S_OK;
}

// Drops one reference of a counted object; the last deletes it.
template <class Object>
ULONG ReleaseCounted(Object* self, LONG* refs) {
    LONG n = InterlockedDecrement(refs);
    if (n == 0) delete self;
    return static_cast<ULONG>(n);
}

struct NameRow {
    const wchar_t* name;
    DISPID id;
};
const NameRow kNames[] = {
    {L"Echo", kIdEcho}, {L"Named", kIdNamed}, {L"RefOnly", kIdRefOnly}, {L"Raise", kIdRaise},
    {L"Mismatch", kIdMismatch}, {L"Items", kIdItems}, {L"FireNow", kIdFireNow}, {L"FireAfter", kIdFireAfter},
    {L"LastByRef", kIdLastByRef}, {L"Ping", kIdPing}, {L"Fire", kIdFire}, {L"Name", kIdName},
    {L"a", kIdArgA}, {L"b", kIdArgB}, {L"c", kIdArgC},
};

HRESULT NamesToIds(LPOLESTR* names, UINT count, DISPID* ids) {
    HRESULT hr = S_OK;
    for (UINT i = 0; i < count; ++i) {
        ids[i] = DISPID_UNKNOWN;
        for (const NameRow& row : kNames)
            if (_wcsicmp(row.name, names[i]) == 0) ids[i] = row.id;
        if (ids[i] == DISPID_UNKNOWN) hr = DISP_E_UNKNOWNNAME;
    }
    return hr;
}

void ReturnText(VARIANT* result, const std::wstring& text) {
    if (!result) return;
    VariantInit(result);
    V_VT(result) = VT_BSTR;
    V_BSTR(result) = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
}

std::wstring ValueText(VARIANT* v) {
    VARIANT tmp;
    VariantInit(&tmp);
    if (FAILED(VariantChangeType(&tmp, v, 0, VT_BSTR))) return L"?";
    std::wstring s(V_BSTR(&tmp), SysStringLen(V_BSTR(&tmp)));
    VariantClear(&tmp);
    return s;
}

// A small IDispatch base: counted, IUnknown and IDispatch by default.
class DispBase : public IDispatch {
public:
    virtual ~DispBase() = default;
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        *out = nullptr;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch)) *out = static_cast<IDispatch*>(this);
        else *out = Extra(iid);
        if (!*out) return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return InterlockedIncrement(&refs_); }
    STDMETHODIMP_(ULONG) Release() override { return ReleaseCounted(this, &refs_); }
    STDMETHODIMP GetTypeInfoCount(UINT* n) override {
        *n = 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
        return NamesToIds(names, count, ids);
    }

protected:
    virtual void* Extra(REFIID) { return nullptr; }
    LONG refs_ = 1;
};

// An item of the collection: its Name.
class Item : public DispBase {
public:
    explicit Item(LONG index) : index_(index) {}
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS*, VARIANT* result, EXCEPINFO*, UINT*) override {
        if (id != kIdName) return DISP_E_MEMBERNOTFOUND;
        ReturnText(result, L"item" + std::to_wstring(index_));
        return S_OK;
    }

private:
    LONG index_;
};

// The collection: only its default member takes the index.
class Collection : public DispBase {
public:
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* p, VARIANT* result, EXCEPINFO*, UINT*) override {
        if (id != DISPID_VALUE) return DISP_E_MEMBERNOTFOUND;
        if (!p || p->cArgs != 1) return DISP_E_BADPARAMCOUNT;
        VARIANT idx;
        VariantInit(&idx);
        if (FAILED(VariantChangeType(&idx, &p->rgvarg[0], 0, VT_I4))) return DISP_E_TYPEMISMATCH;
        VariantInit(result);
        V_VT(result) = VT_DISPATCH;
        V_DISPATCH(result) = new Item(V_I4(&idx));
        return S_OK;
    }
};

// One connection point with a list of sinks.
class Point : public IConnectionPoint {
public:
    Point(IConnectionPointContainer* owner, REFIID iid, bool refuse) : owner_(owner), iid_(iid), refuse_(refuse) {}
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        return QueryOwn(this, iid, IID_IConnectionPoint, out);
    }
    STDMETHODIMP_(ULONG) AddRef() override { return owner_->AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return owner_->Release(); }
    STDMETHODIMP GetConnectionInterface(IID* iid) override {
        *iid = iid_;
        return S_OK;
    }
    STDMETHODIMP GetConnectionPointContainer(IConnectionPointContainer** out) override {
        *out = owner_;
        owner_->AddRef();
        return S_OK;
    }
    STDMETHODIMP Advise(IUnknown* sink, DWORD* cookie) override {
        if (refuse_) {
            *cookie = kGarbageCookie;
            return CONNECT_E_CANNOTCONNECT;
        }
        IDispatch* d = nullptr;
        if (FAILED(sink->QueryInterface(iid_, reinterpret_cast<void**>(&d))) || !d) return CONNECT_E_CANNOTCONNECT;
        sinks_.push_back(d);
        *cookie = static_cast<DWORD>(sinks_.size());
        return S_OK;
    }
    STDMETHODIMP Unadvise(DWORD cookie) override {
        if (cookie == 0 || cookie > sinks_.size() || !sinks_[cookie - 1]) return CONNECT_E_NOCONNECTION;
        sinks_[cookie - 1]->Release();
        sinks_[cookie - 1] = nullptr;
        return S_OK;
    }
    STDMETHODIMP EnumConnections(IEnumConnections**) override { return E_NOTIMPL; }
    // Calls every sink; a sink advised earlier and never unadvised is kept
    // even after its client went, so a late event reaches it.
    void Fire(DISPID id, DISPPARAMS* p) {
        for (IDispatch* d : sinks_)
            if (d) d->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, p, nullptr, nullptr, nullptr);
    }
    void ReleaseAll() {
        for (IDispatch*& d : sinks_)
            if (d) d->Release(), d = nullptr;
    }

private:
    IConnectionPointContainer* owner_;
    IID iid_;
    bool refuse_;
    std::vector<IDispatch*> sinks_;
};

class EnumPoints : public IEnumConnectionPoints {
public:
    explicit EnumPoints(IConnectionPoint* cp) : cp_(cp) { cp_->AddRef(); }
    virtual ~EnumPoints() { cp_->Release(); }
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        return QueryOwn(this, iid, IID_IEnumConnectionPoints, out);
    }
    STDMETHODIMP_(ULONG) AddRef() override { return InterlockedIncrement(&refs_); }
    STDMETHODIMP_(ULONG) Release() override { return ReleaseCounted(this, &refs_); }
    STDMETHODIMP Next(ULONG n, IConnectionPoint** out, ULONG* got) override {
        ULONG k = 0;
        if (n > 0 && at_ == 0) {
            out[0] = cp_;
            cp_->AddRef();
            k = 1;
            at_ = 1;
        }
        if (got) *got = k;
        return k == n ? S_OK : S_FALSE;
    }
    STDMETHODIMP Skip(ULONG) override { return E_NOTIMPL; }
    STDMETHODIMP Reset() override {
        at_ = 0;
        return S_OK;
    }
    STDMETHODIMP Clone(IEnumConnectionPoints**) override { return E_NOTIMPL; }

private:
    LONG refs_ = 1;
    IConnectionPoint* cp_;
    ULONG at_ = 0;
};

class Echo;
Echo* gTimerEcho;

// QovTest.Echo, QovTest.Points and QovTest.BadAdvise share this class; the
// last two have no class information and other connection points.
class Echo : public DispBase, public IProvideClassInfo, public IConnectionPointContainer {
public:
    Echo(bool classInfo, REFIID eventIid, bool refuseAdvise)
        : classInfo_(classInfo), point_(this, eventIid, refuseAdvise) {
        VariantInit(&refOnly_);
    }
    ~Echo() override {
        VariantClear(&refOnly_);
        point_.ReleaseAll();
        if (gTimerEcho == this) gTimerEcho = nullptr;
    }
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override { return DispBase::QueryInterface(iid, out); }
    STDMETHODIMP_(ULONG) AddRef() override { return DispBase::AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return DispBase::Release(); }
    STDMETHODIMP GetClassInfo(ITypeInfo** out) override {
        *out = nullptr;
        wchar_t path[MAX_PATH];
        GetModuleFileNameW(gModule, path, MAX_PATH);
        ITypeLib* lib = nullptr;
        HRESULT hr = LoadTypeLibEx(path, REGKIND_NONE, &lib);
        if (FAILED(hr)) return hr;
        hr = lib->GetTypeInfoOfGuid(kClsidEcho, out);
        lib->Release();
        return hr;
    }
    STDMETHODIMP EnumConnectionPoints(IEnumConnectionPoints** out) override {
        *out = new EnumPoints(&point_);
        return S_OK;
    }
    STDMETHODIMP FindConnectionPoint(REFIID iid, IConnectionPoint** out) override {
        IID mine;
        point_.GetConnectionInterface(&mine);
        *out = nullptr;
        if (!IsEqualIID(iid, mine)) return CONNECT_E_NOCONNECTION;
        *out = &point_;
        point_.AddRef();
        return S_OK;
    }
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* p, VARIANT* result, EXCEPINFO* ex,
                        UINT* argErr) override;
    // The event with a number by reference: what the handler left there is kept.
    void FireOnFire(const wchar_t* text) {
        LONG number = kFireStart;
        VARIANT args[2];
        VariantInit(&args[0]);
        V_VT(&args[0]) = VT_BSTR;
        V_BSTR(&args[0]) = SysAllocString(text);
        VariantInit(&args[1]);
        V_VT(&args[1]) = VT_BYREF | VT_I4;
        V_I4REF(&args[1]) = &number;
        DISPPARAMS p = {args, nullptr, 2, 0};
        AddRef();
        point_.Fire(kEventOnFire, &p);
        lastByRef_ = number;
        VariantClear(&args[0]);
        Release();
    }

protected:
    void* Extra(REFIID iid) override {
        if (classInfo_ && IsEqualIID(iid, IID_IProvideClassInfo)) return static_cast<IProvideClassInfo*>(this);
        if (IsEqualIID(iid, IID_IConnectionPointContainer)) return static_cast<IConnectionPointContainer*>(this);
        return nullptr;
    }

private:
    bool classInfo_;
    Point point_;
    VARIANT refOnly_;
    LONG lastByRef_ = 0;
};

void CALLBACK FireTimer(HWND, UINT, UINT_PTR timer, DWORD) {
    KillTimer(nullptr, timer);
    if (gTimerEcho) gTimerEcho->FireOnFire(L"later");
}

HRESULT Echo::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* p, VARIANT* result, EXCEPINFO* ex,
                     UINT* argErr) {
    UINT n = p ? p->cArgs : 0;
    switch (id) {
    case kIdEcho: {
        if (n < 1) return DISP_E_BADPARAMCOUNT;
        VARIANT* v = &p->rgvarg[n - 1];
        ReturnText(result, std::to_wstring(V_VT(v)) + L":" + ValueText(v));
        return S_OK;
    }
    case kIdNamed: {
        std::wstring s;
        for (UINT i = 0; i < n; ++i) s += (i ? L"," : L"") + ValueText(&p->rgvarg[i]);
        s += L"|";
        for (UINT i = 0; i < p->cNamedArgs; ++i) s += (i ? L"," : L"") + std::to_wstring(p->rgdispidNamedArgs[i]);
        ReturnText(result, s);
        return S_OK;
    }
    case kIdRefOnly:
        if (flags & DISPATCH_PROPERTYPUTREF) {
            VariantClear(&refOnly_);
            return VariantCopy(&refOnly_, &p->rgvarg[0]);
        }
        if (flags & DISPATCH_PROPERTYPUT) return DISP_E_MEMBERNOTFOUND;
        if (result) return VariantCopy(result, &refOnly_);
        return S_OK;
    case kIdRaise:
        if (ex) {
            memset(ex, 0, sizeof *ex);
            ex->wCode = kRaiseCode;
            ex->bstrSource = SysAllocString(L"QovTest");
            ex->bstrDescription = SysAllocString(L"Raised on purpose");
            std::wstring help = L"C:\\" + std::wstring(kHelpPathLength - 3, L'h');
            ex->bstrHelpFile = SysAllocString(help.c_str());
            ex->dwHelpContext = kRaiseContext;
        }
        return DISP_E_EXCEPTION;
    case kIdMismatch:
        if (argErr) *argErr = 2;
        return DISP_E_TYPEMISMATCH;
    case kIdItems:
        if (n > 0) return DISP_E_BADPARAMCOUNT;
        if (result) {
            VariantInit(result);
            V_VT(result) = VT_DISPATCH;
            V_DISPATCH(result) = new Collection();
        }
        return S_OK;
    case kIdFireNow:
        FireOnFire(L"now");
        return S_OK;
    case kIdFireAfter: {
        VARIANT ms;
        VariantInit(&ms);
        if (n < 1 || FAILED(VariantChangeType(&ms, &p->rgvarg[n - 1], 0, VT_I4))) return DISP_E_BADPARAMCOUNT;
        gTimerEcho = this;
        SetTimer(nullptr, 0, static_cast<UINT>(V_I4(&ms)), FireTimer);
        return S_OK;
    }
    case kIdLastByRef:
        if (result) {
            VariantInit(result);
            V_VT(result) = VT_I4;
            V_I4(result) = lastByRef_;
        }
        return S_OK;
    case kIdPing:
        ReturnText(result, L"pong");
        return S_OK;
    case kIdFire: {
        VARIANT arg;
        VariantInit(&arg);
        V_VT(&arg) = VT_BSTR;
        V_BSTR(&arg) = SysAllocString(L"ping");
        DISPPARAMS ep = {&arg, nullptr, 1, 0};
        point_.Fire(kEventPing, &ep);
        VariantClear(&arg);
        return S_OK;
    }
    default:
        return DISP_E_MEMBERNOTFOUND;
    }
}

// Neither IDispatch nor events.
class Bare : public IUnknown {
public:
    virtual ~Bare() = default;
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override { return QueryOwn(this, iid, IID_IUnknown, out); }
    STDMETHODIMP_(ULONG) AddRef() override { return InterlockedIncrement(&refs_); }
    STDMETHODIMP_(ULONG) Release() override { return ReleaseCounted(this, &refs_); }

private:
    LONG refs_ = 1;
};

class Factory : public IClassFactory {
public:
    explicit Factory(REFCLSID clsid) : clsid_(clsid) {}
    virtual ~Factory() = default;
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override { return QueryOwn(this, iid, IID_IClassFactory, out); }
    STDMETHODIMP_(ULONG) AddRef() override { return InterlockedIncrement(&refs_); }
    STDMETHODIMP_(ULONG) Release() override { return ReleaseCounted(this, &refs_); }
    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
        *out = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        IUnknown* obj = TestControlCreate(clsid_);
        if (obj) {
        } else if (IsEqualCLSID(clsid_, kClsidTestDocument)) obj = TestDocumentCreate();
        else if (IsEqualCLSID(clsid_, kClsidTestPage)) obj = TestPageCreate();
        else if (IsEqualCLSID(clsid_, kClsidTestBrowse)) return CLASS_E_CLASSNOTAVAILABLE;
        else if (IsEqualCLSID(clsid_, kClsidBare)) obj = new Bare();
        else if (IsEqualCLSID(clsid_, kClsidEcho)) obj = static_cast<IDispatch*>(new Echo(true, kIidEchoEvents, false));
        else obj = static_cast<IDispatch*>(new Echo(false, kIidPointsEvents, IsEqualCLSID(clsid_, kClsidBadAdvise)));
        HRESULT hr = obj->QueryInterface(iid, out);
        obj->Release();
        return hr;
    }
    STDMETHODIMP LockServer(BOOL lock) override {
        if (lock) InterlockedIncrement(&gLocks);
        else InterlockedDecrement(&gLocks);
        return S_OK;
    }

private:
    LONG refs_ = 1;
    CLSID clsid_;
};

struct ClassRow {
    const CLSID* clsid;
    const char* progId;
};
const ClassRow kClasses[] = {
    {&kClsidEcho, "QovTest.Echo"}, {&kClsidPoints, "QovTest.Points"},
    {&kClsidBadAdvise, "QovTest.BadAdvise"}, {&kClsidBare, "QovTest.Bare"},
    {&kClsidTestControl, "QovTest.Control"}, {&kClsidTestButton, "QovTest.ButtonCtl"},
    {&kClsidTestInvisible, "QovTest.Invisible"}, {&kClsidTestNoUi, "QovTest.NoUi"},
    {&kClsidTestLabel, "QovTest.LabelCtl"}, {&kClsidTestIconic, "QovTest.Iconic"},
    {&kClsidTestDocument, "QovTest.Document"}, {&kClsidTestBrowse, "QovTest.Browse"},
    {&kClsidTestPage, "QovTest.Page"},
};

std::string ClsidText(REFCLSID clsid) {
    wchar_t w[64];
    StringFromGUID2(clsid, w, 64);
    char a[64];
    WideCharToMultiByte(CP_ACP, 0, w, -1, a, sizeof a, nullptr, nullptr);
    return a;
}

bool SetKey(const std::string& path, const char* name, const std::string& value) {
    HKEY key;
    if (RegCreateKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) != 0)
        return false;
    LONG rc = RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                             static_cast<DWORD>(value.size() + 1));
    RegCloseKey(key);
    return rc == 0;
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) gModule = gTestModule = instance;
    return TRUE;
}

extern "C" HRESULT WINAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
    *out = nullptr;
    for (const ClassRow& row : kClasses) {
        if (!IsEqualCLSID(clsid, *row.clsid)) continue;
        Factory* f = new Factory(clsid);
        HRESULT hr = f->QueryInterface(iid, out);
        f->Release();
        return hr;
    }
    return CLASS_E_CLASSNOTAVAILABLE;
}

extern "C" HRESULT WINAPI DllCanUnloadNow() { return S_FALSE; }

extern "C" HRESULT WINAPI DllRegisterServer() {
    char path[MAX_PATH];
    GetModuleFileNameA(gModule, path, MAX_PATH);
    for (const ClassRow& row : kClasses) {
        std::string clsid = ClsidText(*row.clsid);
        if (!SetKey("CLSID\\" + clsid, nullptr, row.progId) ||
            !SetKey("CLSID\\" + clsid + "\\InprocServer32", nullptr, path) ||
            !SetKey("CLSID\\" + clsid + "\\InprocServer32", "ThreadingModel", "Apartment") ||
            !SetKey("CLSID\\" + clsid + "\\ProgID", nullptr, row.progId) ||
            !SetKey(std::string(row.progId) + "\\CLSID", nullptr, clsid))
            return SELFREG_E_CLASS;
        // The control classes name the type library that describes them.
        // The library's version is written in decimal, as "2.10".
        if ((row.clsid == &kClsidTestControl || row.clsid == &kClsidTestInvisible || row.clsid == &kClsidTestBrowse) &&
            (!SetKey("CLSID\\" + clsid + "\\TypeLib", nullptr, "{5C0E7A10-3B2D-4E61-9A4F-1D2C3B4A5E60}") ||
             !SetKey("CLSID\\" + clsid + "\\Version", nullptr, "2.10") ||
             !SetKey("CLSID\\" + clsid + "\\Control", nullptr, "")))
            return SELFREG_E_CLASS;
    }
    wchar_t wpath[MAX_PATH];
    GetModuleFileNameW(gModule, wpath, MAX_PATH);
    ITypeLib* lib = nullptr;
    HRESULT hr = LoadTypeLibEx(wpath, REGKIND_REGISTER, &lib);
    if (lib) lib->Release();
    return FAILED(hr) ? SELFREG_E_TYPELIB : S_OK;
}

extern "C" HRESULT WINAPI DllUnregisterServer() {
    for (const ClassRow& row : kClasses) {
        std::string clsid = ClsidText(*row.clsid);
        RegDeleteTreeA(HKEY_CLASSES_ROOT, ("CLSID\\" + clsid).c_str());
        RegDeleteTreeA(HKEY_CLASSES_ROOT, row.progId);
    }
    return S_OK;
}
