// autoserver.cpp - the automation server Qovclient.Application: the application
// object, its error support and class factory, the run loop of automation mode,
// error objects, and the small COM routines the OLE container uses.
#include "com/autoserver.h"

#include <cstdio>
#include <cstring>
#include <new>

#include "com/oleutil.h"
#include "session/config.h"
#include "session/log.h"

const CLSID CLSID_QovLtApp = {0x20D05919, 0xFA48, 0x4b02, {0x85, 0x1F, 0xF9, 0x33, 0xAC, 0xD4, 0x0A, 0x49}};
const IID IID_IQovLtApp = {0x7240B04A, 0x129E, 0x4C7E, {0xAF, 0x8F, 0x44, 0x16, 0xD1, 0xEB, 0x6A, 0x4C}};
const GUID LIBID_QovLtApp = {0xE454535C, 0xDC9D, 0x4046, {0x8B, 0x48, 0xC4, 0x38, 0xF2, 0x47, 0x72, 0x2A}};
const wchar_t kAutomationErrorSource[] = L"Qovclient.Application";

namespace {

const wchar_t kAppName[] = L"Qovclient";
constexpr int kErrorTextChars = 100;
constexpr DWORD kModulePathChars = 260;
constexpr DWORD kTypeLibPathChars = 350;
constexpr LCID kTypeLibLocale = LANG_ENGLISH;

}  // namespace

CQovLtAppObj* gAppObject;
LONG gAutomationRunFlag = 1;
BSTR gAutomationCmdLine;
// True while the run loop holds its own reference on gAppObject (see
// AutomationServerRun).
static bool gAppSelfRef;


// ---- Error support ----------------------------------------------------------------

class CQovSupportErrorInfo final : public ISupportErrorInfo {
public:
    CQovSupportErrorInfo(IUnknown* owner, REFIID iid) : owner_(owner), iid_(iid) {}
    // No count of its own: the owner's count covers it.
    STDMETHODIMP QueryInterface(REFIID riid, void** out) override { return owner_->QueryInterface(riid, out); }
    STDMETHODIMP_(ULONG) AddRef() override { return owner_->AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return owner_->Release(); }
    STDMETHODIMP InterfaceSupportsErrorInfo(REFIID riid) override {
        return IsEqualIID(riid, iid_) ? S_OK : S_FALSE;
    }

private:
    IUnknown* owner_;
    IID iid_;
};

// ---- The application object ----------------------------------------------------------

class CQovLtAppObj final : public IQovLtApp {
public:
    LONG refs = 0;
    ITypeInfo* typeInfo = nullptr;
    BSTR name = nullptr;
    BSTR fullName = nullptr;
    BSTR serverAddr = nullptr;
    BSTR localAddr = nullptr;
    BSTR publicKey = nullptr;
    BSTR logonKey = nullptr;     // no member reads it; Run writes it back unchanged
    LONG serverPort = kDefaultPort;
    LONG visible = 0;            // the VARIANT_BOOL last put; nothing else reads it
    CQovSupportErrorInfo* errorInfo = nullptr;

    ~CQovLtAppObj() {
        SysFreeString(fullName);
        SysFreeString(name);
        if (typeInfo) typeInfo->Release();
        delete errorInfo;
        SysFreeString(serverAddr);
        SysFreeString(publicKey);
        SysFreeString(logonKey);
        SysFreeString(localAddr);
        // The run loop ends: an object released without Run ends the process.
        gAutomationRunFlag = 0;
        if (gAppObject == this) gAppObject = nullptr;
    }

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID riid, void** out) override {
        if (!out) return E_POINTER;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch) || IsEqualIID(riid, IID_IQovLtApp)) {
            *out = static_cast<IQovLtApp*>(this);
        } else if (IsEqualIID(riid, IID_ISupportErrorInfo) && errorInfo) {
            *out = static_cast<ISupportErrorInfo*>(errorInfo);
        } else {
            *out = nullptr;
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(++refs); }
    STDMETHODIMP_(ULONG) Release() override {
        LONG n = --refs;
        if (n == 0) delete this;
        return static_cast<ULONG>(n);
    }

    // IDispatch
    STDMETHODIMP GetTypeInfoCount(UINT* count) override {
        if (!count) return E_POINTER;
        *count = 1;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT index, LCID, ITypeInfo** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (index != 0) return DISP_E_BADINDEX;
        typeInfo->AddRef();
        *out = typeInfo;
        return S_OK;
    }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
        return DispGetIDsOfNames(typeInfo, names, count, ids);
    }
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO* excep,
                        UINT* argErr) override {
        return DispInvoke(static_cast<IQovLtApp*>(this), typeInfo, id, flags, params, result, excep, argErr);
    }

    // IQovLtApp
    STDMETHODIMP get_Application(IQovLtApp** value) override {
        return QueryInterface(IID_IDispatch, reinterpret_cast<void**>(value));
    }
    STDMETHODIMP get_FullName(BSTR* value) override { return CopyOut(fullName, value); }
    STDMETHODIMP get_Name(BSTR* value) override { return CopyOut(name, value); }
    STDMETHODIMP get_Parent(IQovLtApp** value) override { return get_Application(value); }
    STDMETHODIMP put_Visible(VARIANT_BOOL value) override {
        visible = value;
        return S_OK;
    }
    STDMETHODIMP get_Visible(VARIANT_BOOL* value) override {
        if (!value) return E_POINTER;
        *value = static_cast<VARIANT_BOOL>(visible & 0xFFFF);
        return S_OK;
    }
    STDMETHODIMP put_ServerAddr(BSTR value) override { return CopyIn(value, &serverAddr); }
    STDMETHODIMP get_ServerAddr(BSTR* value) override { return CopyOut(serverAddr, value); }
    STDMETHODIMP put_ServerPort(LONG value) override {
        // A port beyond 16 bits is refused rather than cut to another port.
        if (value < 0 || value > kMaxServerPort) return E_INVALIDARG;
        serverPort = value;
        return S_OK;
    }
    STDMETHODIMP get_ServerPort(LONG* value) override {
        if (!value) return E_POINTER;
        *value = serverPort;
        return S_OK;
    }
    STDMETHODIMP put_LocalAddr(BSTR value) override { return CopyIn(value, &localAddr); }
    STDMETHODIMP get_LocalAddr(BSTR* value) override { return CopyOut(localAddr, value); }
    STDMETHODIMP put_PublicKey(BSTR value) override { return CopyIn(value, &publicKey); }
    STDMETHODIMP get_PublicKey(BSTR* value) override { return CopyOut(publicKey, value); }
    STDMETHODIMP Run(BSTR cmdLine) override;

private:
    static HRESULT CopyOut(BSTR field, BSTR* value) {
        if (!value) return E_POINTER;
        *value = nullptr;
        if (field && !(*value = SysAllocStringLen(field, SysStringLen(field)))) return E_OUTOFMEMORY;
        return S_OK;
    }
    static HRESULT CopyIn(BSTR value, BSTR* field) {
        // A null BSTR is COM's empty text: it is kept as an empty one, so that it
        // is written back as an empty setting.
        BSTR copy = SysAllocStringLen(value, SysStringLen(value));
        if (!copy) return E_OUTOFMEMORY;
        SysFreeString(*field);
        *field = copy;
        return S_OK;
    }
};

IQovLtApp* AppObjectInterface(CQovLtAppObj* obj) { return obj; }

// The length of a text's ANSI form without its NUL; 0 for null.
static size_t AnsiLength(BSTR text) {
    if (!text || !*text) return 0;
    int n = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
    return n > 0 ? static_cast<size_t>(n - 1) : 0;
}

// Writes a field back into a link setting: a null field leaves it as it was.
static void StoreSetting(BSTR field, char* setting, size_t size) {
    if (!field) return;
    const char* ansi = WideToAnsiTemp(field);
    snprintf(setting, size, "%s", ansi ? ansi : "");
}

STDMETHODIMP CQovLtAppObj::Run(BSTR cmdLine) {
    // A second Run changes nothing but ends any wait that is still going on.
    if (gAutomationCmdLine) {
        gAutomationRunFlag = 0;
        return AutomationSetError(kAutoErrSecondRun, IID_IQovLtApp);
    }
    // Texts that do not fit the session's buffers are refused whole, before
    // anything changes, rather than cut (a cut command line would start
    // another program or pass other arguments). The automation client may try
    // again.
    if (AnsiLength(cmdLine) >= kCmdLineSize || AnsiLength(serverAddr) >= sizeof gClientConfig.host ||
        AnsiLength(localAddr) >= sizeof gClientConfig.localIp ||
        AnsiLength(publicKey) >= sizeof gClientConfig.publicKey ||
        AnsiLength(logonKey) >= sizeof gClientConfig.logon)
        return E_INVALIDARG;
    // A null command line is COM's empty text: it still counts as the Run, and
    // the session then takes QOVCS_CMDLN.
    BSTR copy = SysAllocStringLen(cmdLine, SysStringLen(cmdLine));
    if (!copy) return E_OUTOFMEMORY;
    gAutomationRunFlag = 0;
    gAutomationCmdLine = copy;
    gClientConfig.port = serverPort;
    StoreSetting(serverAddr, gClientConfig.host, sizeof gClientConfig.host);
    StoreSetting(localAddr, gClientConfig.localIp, sizeof gClientConfig.localIp);
    StoreSetting(publicKey, gClientConfig.publicKey, sizeof gClientConfig.publicKey);
    StoreSetting(logonKey, gClientConfig.logon, sizeof gClientConfig.logon);
    DebugLogWrite("AutomationRun", "%s", WideToAnsiTemp(copy));
    return S_OK;
}

// A BSTR of a setting, null when it is not set. False only when memory ran out.
static bool SettingToBstr(const char* setting, BSTR* out) {
    *out = nullptr;
    if (!setting || !*setting) return true;
    const wchar_t* wide = AnsiToWideTemp(setting);
    *out = wide ? SysAllocString(wide) : nullptr;
    return *out != nullptr;
}

CQovLtAppObj* AppObjectCreate() {
    CQovLtAppObj* obj = new (std::nothrow) CQovLtAppObj;
    if (!obj) return nullptr;
    const ClientConfig& c = gClientConfig;
    obj->serverPort = c.port;
    bool ok = SettingToBstr(c.host, &obj->serverAddr) && SettingToBstr(c.localIp, &obj->localAddr) &&
              SettingToBstr(c.publicKey, &obj->publicKey) && SettingToBstr(c.logon, &obj->logonKey);
    // The program's folder becomes the current directory.
    char path[kModulePathChars + 1];
    DWORD n = GetModuleFileNameA(nullptr, path, kModulePathChars);
    path[n < kModulePathChars ? n : kModulePathChars] = 0;
    char* slash = strrchr(path, '\\');
    if (slash) {
        *slash = 0;
        SetCurrentDirectoryA(path);
        *slash = '\\';
    }
    const wchar_t* wide = ok ? AnsiToWideTemp(path) : nullptr;
    ok = wide && (obj->fullName = SysAllocString(wide)) != nullptr;
    ok = ok && (obj->name = SysAllocString(kAppName)) != nullptr;
    ok = ok && SUCCEEDED(LoadAppTypeInfo(&obj->typeInfo, IID_IQovLtApp));
    ok = ok && (obj->errorInfo = new (std::nothrow) CQovSupportErrorInfo(obj, IID_IQovLtApp)) != nullptr;
    if (!ok) {
        // Destroyed as at the last Release; it was never gAppObject.
        LONG flag = gAutomationRunFlag;
        delete obj;
        gAutomationRunFlag = flag;
        return nullptr;
    }
    return obj;
}

HRESULT LoadAppTypeInfo(ITypeInfo** out, REFIID iid) {
    *out = nullptr;
    ITypeLib* lib = nullptr;
    HRESULT hr = LoadRegTypeLib(LIBID_QovLtApp, kQovLtAppMajor, kQovLtAppMinor, kTypeLibLocale, &lib);
    if (FAILED(hr)) {
        // Not registered: the library resource of the program file itself.
        char path[kTypeLibPathChars];
        DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
        if (n == 0 || n >= sizeof path) return HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);
        const wchar_t* wide = AnsiToWideTemp(path);
        if (!wide) return E_OUTOFMEMORY;
        hr = LoadTypeLib(wide, &lib);
        if (FAILED(hr)) return hr;
    }
    hr = lib->GetTypeInfoOfGuid(iid, out);
    lib->Release();
    return hr;
}

HRESULT AutomationSetError(int id, REFIID iid) {
    char text[kErrorTextChars];
    BSTR description = nullptr;
    if (LoadStringA(GetModuleHandleA(nullptr), static_cast<UINT>(id), text, sizeof text) > 0) {
        const wchar_t* wide = AnsiToWideTemp(text);
        if (wide) description = SysAllocString(wide);
    }
    ICreateErrorInfo* create = nullptr;
    if (SUCCEEDED(CreateErrorInfo(&create))) {
        create->SetGUID(iid);
        create->SetSource(const_cast<LPOLESTR>(kAutomationErrorSource));
        if (description) create->SetDescription(description);
        IErrorInfo* info = nullptr;
        if (SUCCEEDED(create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&info)))) {
            SetErrorInfo(0, info);
            info->Release();
        }
        create->Release();
    }
    SysFreeString(description);
    return kAutoErrBase + id;
}

// ---- The class factory -----------------------------------------------------------------
// Gives up the run loop's own reference; when no client holds the object, it
// goes and the loop ends.
static void DropRunLoopRef() {
    if (!gAppSelfRef || !gAppObject) return;
    gAppSelfRef = false;
    gAppObject->Release();
}


// The factory also counts its clients' connections (IExternalConnection,
// which COM's stub calls): the class is single-use, so a client that lets the
// class object go without having received the object (an aggregating
// activation, which the class object's proxy refuses before it reaches here)
// was the only one; the run loop's reference is then dropped and the process
// ends as if the object had been released without Run.
class CQovLtIClassFactory final : public IClassFactory, public IExternalConnection {
public:
    explicit CQovLtIClassFactory(REFCLSID clsid) : clsid_(clsid) {}
    STDMETHODIMP QueryInterface(REFIID riid, void** out) override {
        if (!out) return E_POINTER;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IClassFactory)) {
            *out = static_cast<IClassFactory*>(this);
            AddRef();
            return S_OK;
        }
        if (IsEqualIID(riid, IID_IExternalConnection)) {
            *out = static_cast<IExternalConnection*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(++refs_); }
    STDMETHODIMP_(ULONG) Release() override {
        LONG n = --refs_;
        if (n == 0) delete this;
        return static_cast<ULONG>(n);
    }
    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        if (!IsEqualCLSID(clsid_, CLSID_QovLtApp)) return E_NOINTERFACE;
        // Every client gets the one object; once it has gone, none is made again.
        if (!gAppObject) return CO_E_SERVER_STOPPING;
        HRESULT hr = gAppObject->QueryInterface(riid, out);
        // The client's reference now keeps the object: its last Release ends
        // the run loop.
        if (SUCCEEDED(hr)) DropRunLoopRef();
        return hr;
    }
    STDMETHODIMP LockServer(BOOL lock) override {
        if (gAppObject) CoLockObjectExternal(static_cast<IQovLtApp*>(gAppObject), lock, TRUE);
        return S_OK;
    }
    STDMETHODIMP_(DWORD) AddConnection(DWORD type, DWORD) override {
        if (type & EXTCONN_STRONG) ++connections_;
        return static_cast<DWORD>(connections_);
    }
    STDMETHODIMP_(DWORD) ReleaseConnection(DWORD type, DWORD, BOOL) override {
        if ((type & EXTCONN_STRONG) && connections_ > 0 && --connections_ == 0 && gAppSelfRef) {
            // The running object table still holds the object (weakly, until
            // it is revoked after the loop): the loop is ended here, and woken.
            DropRunLoopRef();
            gAutomationRunFlag = 0;
            PostThreadMessageA(GetCurrentThreadId(), WM_NULL, 0, 0);
        }
        return static_cast<DWORD>(connections_);
    }

private:
    LONG refs_ = 0;
    LONG connections_ = 0;
    CLSID clsid_;
};

IClassFactory* AppClassFactoryCreate(REFCLSID clsid) { return new (std::nothrow) CQovLtIClassFactory(clsid); }

// ---- The run loop ----------------------------------------------------------------------

const char* AutomationServerRun() {
    // OLE is normally started by the run-time start-up; starting it here as well
    // is harmless (it only counts) and keeps the server working without it.
    OleInitialize(nullptr);
    gAppObject = AppObjectCreate();
    if (!gAppObject) return nullptr;
    // The run loop's own reference: an AddRef/Release pair made while the
    // object is registered (marshalling, the running object table) must not
    // destroy it before a client holds it. The first CreateInstance hands it on.
    gAppObject->AddRef();
    gAppSelfRef = true;
    IClassFactory* factory = AppClassFactoryCreate(CLSID_QovLtApp);
    DWORD classCookie = 0, activeCookie = 0;
    HRESULT hr = E_OUTOFMEMORY;
    if (factory) {
        factory->AddRef();
        hr = CoRegisterClassObject(CLSID_QovLtApp, factory, CLSCTX_LOCAL_SERVER, REGCLS_SINGLEUSE, &classCookie);
        factory->Release();
    }
    if (FAILED(hr)) {
        DebugLogWrite("AutomationServerRun", "class registration failed 0x%08lX", static_cast<unsigned long>(hr));
        DropRunLoopRef();
        return nullptr;
    }
    bool active = SUCCEEDED(RegisterActiveObject(static_cast<IQovLtApp*>(gAppObject), CLSID_QovLtApp,
                                                 ACTIVEOBJECT_WEAK, &activeCookie));
    MSG msg;
    while (gAutomationRunFlag) {
        BOOL got = GetMessageA(&msg, nullptr, 0, 0);
        if (got == -1) break;  // no message queue: nothing can arrive
        if (got) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    const char* result = gAutomationCmdLine ? WideToAnsiTemp(gAutomationCmdLine) : nullptr;
    if (active) RevokeActiveObject(activeCookie, nullptr);
    CoRevokeClassObject(classCookie);
    DropRunLoopRef();
    DebugLogWrite("AutomationServerRun", "%s", result ? result : "ended without Run");
    return result;
}

// ---- Routines beside the server ------------------------------------------------------------

HRESULT CreateObjectFromClass(REFCLSID clsid, DWORD context, REFIID iid, void** out, const char* machine) {
    COSERVERINFO server = {};
    wchar_t* name = nullptr;
    if (machine) {
        const wchar_t* wide = AnsiToWideTemp(machine);
        name = wide ? SysAllocString(wide) : nullptr;
        if (!name) return E_OUTOFMEMORY;
        server.pwszName = name;
    }
    IClassFactory* factory = nullptr;
    HRESULT hr = CoGetClassObject(clsid, context, machine ? &server : nullptr, IID_IClassFactory,
                                  reinterpret_cast<void**>(&factory));
    SysFreeString(name);
    if (FAILED(hr)) return hr;
    hr = factory->CreateInstance(nullptr, iid, out);
    factory->Release();
    return hr;
}

HRESULT SwitchDisplayAspect(IOleObject* obj, DWORD* aspect, DWORD newAspect, HGLOBAL iconPict, BOOL deleteOld,
                            BOOL viewAdvise, IAdviseSink* sink, BOOL* mustUpdate) {
    IOleCache* cache = nullptr;
    if (FAILED(obj->QueryInterface(IID_IOleCache, reinterpret_cast<void**>(&cache)))) return E_FAIL;
    FORMATETC fmt = {0, nullptr, newAspect, -1, TYMED_NULL};
    DWORD advf = newAspect == DVASPECT_ICON && iconPict ? ADVF_NODATA : ADVF_PRIMEFIRST;
    DWORD connection = 0;
    HRESULT hr = cache->Cache(&fmt, advf, &connection);
    if (FAILED(hr)) {
        cache->Release();
        return hr;
    }
    DWORD oldAspect = *aspect;
    *aspect = newAspect;
    if (newAspect == DVASPECT_ICON && iconPict) {
        FORMATETC pf = {CF_METAFILEPICT, nullptr, DVASPECT_ICON, -1, TYMED_MFPICT};
        STGMEDIUM medium = {};
        medium.tymed = TYMED_MFPICT;
        medium.hMetaFilePict = iconPict;
        cache->SetData(&pf, &medium, FALSE);
    } else if (mustUpdate) {
        *mustUpdate = TRUE;
    }
    if (viewAdvise && sink) {
        IViewObject* view = nullptr;
        if (SUCCEEDED(obj->QueryInterface(IID_IViewObject, reinterpret_cast<void**>(&view)))) {
            view->SetAdvise(newAspect, 0, sink);
            view->Release();
        }
    }
    if (deleteOld) {
        IEnumSTATDATA* entries = nullptr;
        if (SUCCEEDED(cache->EnumCache(&entries)) && entries) {
            STATDATA sd;
            while (entries->Next(1, &sd, nullptr) == S_OK) {
                if (sd.formatetc.dwAspect == oldAspect) cache->Uncache(sd.dwConnection);
                if (sd.pAdvSink) sd.pAdvSink->Release();
            }
            entries->Release();
        }
    }
    cache->Release();
    return S_OK;
}

void MetafilePictFree(HGLOBAL pict) {
    if (!pict) return;
    METAFILEPICT* mp = static_cast<METAFILEPICT*>(GlobalLock(pict));
    if (mp) {
        if (mp->hMF) DeleteMetaFile(mp->hMF);
        GlobalUnlock(pict);
    }
    GlobalFree(pict);
}
