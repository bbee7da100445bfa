// autoserver_test.cpp - the application object in process: every member through
// IDispatch and the type library embedded in this test program, Run and its
// write-back into the client configuration, the error object of a second Run,
// and the class factory.
#include <gtest/gtest.h>

#include <cstring>

#include "com/autoserver.h"
#include "com/oleutil.h"
#include "session/config.h"

namespace {

class AutoServer : public ::testing::Test {
protected:
    void SetUp() override {
        OleInitialize(nullptr);
        ClientConfigDefaults();
        SysFreeString(gAutomationCmdLine);
        gAutomationCmdLine = nullptr;
        gAutomationRunFlag = 1;
    }
    void TearDown() override { OleUninitialize(); }

    // A fresh object with one reference, as a client holds it.
    IDispatch* MakeApp() {
        CQovLtAppObj* obj = AppObjectCreate();
        if (!obj) return nullptr;
        gAppObject = obj;
        IDispatch* disp = nullptr;
        AppObjectInterface(obj)->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&disp));
        return disp;
    }
};

// DISPATCH_PROPERTYGET or METHOD with up to one argument; answers the HRESULT.
HRESULT Call(IDispatch* d, DISPID id, WORD flags, VARIANT* arg, VARIANT* result, EXCEPINFO* ex = nullptr) {
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS dp = {arg, nullptr, arg ? 1u : 0u, 0};
    if (flags == DISPATCH_PROPERTYPUT) {
        dp.rgdispidNamedArgs = &named;
        dp.cNamedArgs = 1;
    }
    if (result) VariantInit(result);
    UINT argErr = 0;
    return d->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &dp, result, ex, &argErr);
}

HRESULT PutText(IDispatch* d, DISPID id, const wchar_t* text) {
    VARIANT v;
    v.vt = VT_BSTR;
    v.bstrVal = SysAllocString(text);
    HRESULT hr = Call(d, id, DISPATCH_PROPERTYPUT, &v, nullptr);
    VariantClear(&v);
    return hr;
}

HRESULT PutLong(IDispatch* d, DISPID id, LONG n) {
    VARIANT v;
    v.vt = VT_I4;
    v.lVal = n;
    return Call(d, id, DISPATCH_PROPERTYPUT, &v, nullptr);
}

std::string GetText(IDispatch* d, DISPID id) {
    VARIANT r;
    HRESULT hr = Call(d, id, DISPATCH_PROPERTYGET, nullptr, &r);
    if (FAILED(hr)) return "<hr " + std::to_string(static_cast<unsigned long>(hr)) + ">";
    if (r.vt == VT_EMPTY || (r.vt == VT_BSTR && !r.bstrVal)) return "";  // COM's empty text
    if (r.vt != VT_BSTR) return "<vt " + std::to_string(r.vt) + ">";
    std::string s = WideToAnsiTemp(r.bstrVal);
    VariantClear(&r);
    return s;
}

HRESULT RunWith(IDispatch* d, const wchar_t* cmd, EXCEPINFO* ex = nullptr) {
    VARIANT v;
    v.vt = VT_BSTR;
    v.bstrVal = cmd ? SysAllocString(cmd) : nullptr;
    HRESULT hr = Call(d, kDispRun, DISPATCH_METHOD, &v, nullptr, ex);
    VariantClear(&v);
    return hr;
}

TEST_F(AutoServer, NamesMapToTheirDispIds) {
    struct Case { const wchar_t* name; DISPID id; };
    static const Case kCases[] = {
        {L"Application", kDispApplication}, {L"FullName", kDispFullName}, {L"Name", kDispName},
        {L"Parent", kDispParent},           {L"Visible", kDispVisible},   {L"ServerAddr", kDispServerAddr},
        {L"ServerPort", kDispServerPort},   {L"LocalAddr", kDispLocalAddr}, {L"PublicKey", kDispPublicKey},
        {L"run", kDispRun},
    };
    IDispatch* d = MakeApp();
    ASSERT_NE(d, nullptr);
    for (const Case& c : kCases) {
        LPOLESTR name = const_cast<LPOLESTR>(c.name);
        DISPID id = -1;
        EXPECT_EQ(d->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &id), S_OK) << WideToAnsiTemp(c.name);
        EXPECT_EQ(id, c.id) << WideToAnsiTemp(c.name);
    }
    LPOLESTR bad = const_cast<LPOLESTR>(L"Quit");
    DISPID id;
    EXPECT_EQ(d->GetIDsOfNames(IID_NULL, &bad, 1, LOCALE_USER_DEFAULT, &id), DISP_E_UNKNOWNNAME);
    d->Release();
}

TEST_F(AutoServer, TypeInfoDescribesTheDualInterface) {
    IDispatch* d = MakeApp();
    ASSERT_NE(d, nullptr);
    UINT count = 0;
    EXPECT_EQ(d->GetTypeInfoCount(&count), S_OK);
    EXPECT_EQ(count, 1u);
    ITypeInfo* ti = reinterpret_cast<ITypeInfo*>(1);
    EXPECT_EQ(d->GetTypeInfo(1, 0, &ti), DISP_E_BADINDEX);
    EXPECT_EQ(ti, nullptr);
    ASSERT_EQ(d->GetTypeInfo(0, 0, &ti), S_OK);
    TYPEATTR* ta = nullptr;
    ASSERT_EQ(ti->GetTypeAttr(&ta), S_OK);
    EXPECT_TRUE(IsEqualGUID(ta->guid, IID_IQovLtApp));
    EXPECT_TRUE(ta->wTypeFlags & TYPEFLAG_FDUAL);
    EXPECT_TRUE(ta->wTypeFlags & TYPEFLAG_FDISPATCHABLE);
    ti->ReleaseTypeAttr(ta);
    // The base is stdole's IDispatch, referred to, not a copy in this library.
    ITypeLib* lib = nullptr;
    UINT index = 0;
    ASSERT_EQ(ti->GetContainingTypeLib(&lib, &index), S_OK);
    TLIBATTR* la = nullptr;
    ASSERT_EQ(lib->GetLibAttr(&la), S_OK);
    EXPECT_TRUE(IsEqualGUID(la->guid, LIBID_QovLtApp));
    EXPECT_EQ(la->wMajorVerNum, 1);
    EXPECT_EQ(la->wMinorVerNum, 0);
    EXPECT_EQ(la->lcid, 0x409u);
    lib->ReleaseTLibAttr(la);
    ITypeInfo* coclass = nullptr;
    ASSERT_EQ(lib->GetTypeInfoOfGuid(CLSID_QovLtApp, &coclass), S_OK);
    ASSERT_EQ(coclass->GetTypeAttr(&ta), S_OK);
    EXPECT_EQ(ta->typekind, TKIND_COCLASS);
    EXPECT_TRUE(ta->wTypeFlags & TYPEFLAG_FAPPOBJECT);
    EXPECT_TRUE(ta->wTypeFlags & TYPEFLAG_FCANCREATE);
    coclass->ReleaseTypeAttr(ta);
    coclass->Release();
    ITypeInfo* disp = nullptr;
    for (UINT i = 0; i < lib->GetTypeInfoCount(); i++) {
        BSTR name = nullptr;
        lib->GetDocumentation(static_cast<INT>(i), &name, nullptr, nullptr, nullptr);
        EXPECT_NE(std::string(WideToAnsiTemp(name)), "IDispatch") << "IDispatch copied into the library";
        SysFreeString(name);
    }
    (void)disp;
    lib->Release();
    ti->Release();
    d->Release();
}

TEST_F(AutoServer, PropertiesStartFromTheConfiguration) {
    strcpy(gClientConfig.host, "srv.example");
    strcpy(gClientConfig.publicKey, "pk");
    gClientConfig.port = 4100;
    IDispatch* d = MakeApp();
    ASSERT_NE(d, nullptr);
    struct Case { DISPID id; const char* want; const char* why; };
    const Case kCases[] = {
        {kDispName, "Qovclient", "the fixed name"},
        {kDispServerAddr, "srv.example", "QOVCS_HOSTNAME"},
        {kDispPublicKey, "pk", "QOVCS_PUBLIC"},
        {kDispLocalAddr, "", "an unset setting reads as an empty text"},
    };
    for (const Case& c : kCases) EXPECT_EQ(GetText(d, c.id), c.want) << c.why;
    std::string full = GetText(d, kDispFullName);
    EXPECT_NE(full.find("com_tests.exe"), std::string::npos) << full;
    VARIANT r;
    ASSERT_EQ(Call(d, kDispServerPort, DISPATCH_PROPERTYGET, nullptr, &r), S_OK);
    EXPECT_EQ(r.vt, VT_I4);
    EXPECT_EQ(r.lVal, 4100);
    // The default member is Name.
    ASSERT_EQ(Call(d, DISPID_VALUE, DISPATCH_PROPERTYGET, nullptr, &r), S_OK);
    ASSERT_EQ(r.vt, VT_BSTR);
    EXPECT_STREQ(WideToAnsiTemp(r.bstrVal), "Qovclient");
    VariantClear(&r);
    d->Release();
}

TEST_F(AutoServer, PutsAndGetsRoundTrip) {
    IDispatch* d = MakeApp();
    ASSERT_NE(d, nullptr);
    struct Case { DISPID id; const wchar_t* value; const char* want; };
    static const Case kCases[] = {
        {kDispServerAddr, L"10.0.0.7", "10.0.0.7"},
        {kDispLocalAddr, L"10.0.0.8", "10.0.0.8"},
        {kDispPublicKey, L"key text", "key text"},
        {kDispServerAddr, L"", ""},
    };
    for (const Case& c : kCases) {
        EXPECT_EQ(PutText(d, c.id, c.value), S_OK);
        EXPECT_EQ(GetText(d, c.id), c.want);
    }
    struct PortCase { LONG value; HRESULT hr; LONG after; const char* why; };
    static const PortCase kPorts[] = {
        {5000, S_OK, 5000, "an ordinary port"},
        {0, S_OK, 0, "0 is a valid value"},
        {65535, S_OK, 65535, "the highest port"},
        {65536, DISP_E_EXCEPTION, 65535, "one past 16 bits is refused, not cut to 0"},
        {70000, DISP_E_EXCEPTION, 65535, "refused, not cut to 4464"},
        {-1, DISP_E_EXCEPTION, 65535, "negative ports are refused"},
    };
    for (const PortCase& c : kPorts) {
        HRESULT hr = PutLong(d, kDispServerPort, c.value);
        EXPECT_TRUE(hr == c.hr || (c.hr != S_OK && hr == E_INVALIDARG)) << c.why << ": 0x" << std::hex << hr;
        VARIANT r;
        ASSERT_EQ(Call(d, kDispServerPort, DISPATCH_PROPERTYGET, nullptr, &r), S_OK);
        EXPECT_EQ(r.lVal, c.after) << c.why;
    }
    struct BoolCase { VARIANT_BOOL put; VARIANT_BOOL want; };
    static const BoolCase kBools[] = {{VARIANT_TRUE, VARIANT_TRUE}, {VARIANT_FALSE, VARIANT_FALSE}};
    for (const BoolCase& c : kBools) {
        VARIANT v;
        v.vt = VT_BOOL;
        v.boolVal = c.put;
        EXPECT_EQ(Call(d, kDispVisible, DISPATCH_PROPERTYPUT, &v, nullptr), S_OK);
        VARIANT r;
        ASSERT_EQ(Call(d, kDispVisible, DISPATCH_PROPERTYGET, nullptr, &r), S_OK);
        EXPECT_EQ(r.vt, VT_BOOL);
        EXPECT_EQ(r.boolVal, c.want);
    }
    // Application and Parent hand out the object itself, counted.
    for (DISPID id : {kDispApplication, kDispParent}) {
        VARIANT r;
        ASSERT_EQ(Call(d, id, DISPATCH_PROPERTYGET, nullptr, &r), S_OK);
        ASSERT_EQ(r.vt, VT_DISPATCH);
        EXPECT_EQ(r.pdispVal, d);
        VariantClear(&r);
    }
    EXPECT_EQ(d->Release(), 0u);
    EXPECT_EQ(gAppObject, nullptr) << "the destroyed object is cleared";
    EXPECT_EQ(gAutomationRunFlag, 0) << "the run loop ends with the object";
}

TEST_F(AutoServer, RunWritesTheSessionSettings) {
    strcpy(gClientConfig.localIp, "10.1.1.1");
    strcpy(gClientConfig.logon, "logon-key");
    IDispatch* d = MakeApp();
    ASSERT_NE(d, nullptr);
    PutText(d, kDispServerAddr, L"192.0.2.5");
    PutLong(d, kDispServerPort, 4242);
    PutText(d, kDispPublicKey, L"");
    ASSERT_EQ(RunWith(d, L"orders.qoc a b"), S_OK);
    EXPECT_EQ(gAutomationRunFlag, 0);
    ASSERT_NE(gAutomationCmdLine, nullptr);
    EXPECT_STREQ(WideToAnsiTemp(gAutomationCmdLine), "orders.qoc a b");
    EXPECT_STREQ(gClientConfig.host, "192.0.2.5");
    EXPECT_EQ(gClientConfig.port, 4242);
    EXPECT_STREQ(gClientConfig.publicKey, "") << "an empty property is written back as an empty setting";
    EXPECT_STREQ(gClientConfig.localIp, "10.1.1.1") << "an untouched property keeps its setting";
    EXPECT_STREQ(gClientConfig.logon, "logon-key");
    // A second Run fails with error 3 and leaves the first command line.
    strcpy(gClientConfig.host, "kept");
    EXCEPINFO ex = {};
    HRESULT hr = RunWith(d, L"other.qoc", &ex);
    EXPECT_EQ(hr, DISP_E_EXCEPTION);
    EXPECT_EQ(static_cast<unsigned long>(ex.scode), 0x80040202ul);
    ASSERT_NE(ex.bstrDescription, nullptr);
    EXPECT_STREQ(WideToAnsiTemp(ex.bstrDescription), "Only one program may be executed using the Run method.");
    ASSERT_NE(ex.bstrSource, nullptr);
    EXPECT_STREQ(WideToAnsiTemp(ex.bstrSource), "Qovclient.Application");
    SysFreeString(ex.bstrDescription);
    SysFreeString(ex.bstrSource);
    SysFreeString(ex.bstrHelpFile);
    EXPECT_STREQ(WideToAnsiTemp(gAutomationCmdLine), "orders.qoc a b");
    EXPECT_STREQ(gClientConfig.host, "kept");
    d->Release();
}

TEST_F(AutoServer, RunRefusesTextsThatDoNotFit) {
    struct Case { size_t cmdLen; size_t hostLen; HRESULT hr; const char* why; };
    static const Case kCases[] = {
        {kCmdLineSize - 1, 10, S_OK, "1007 characters fit the session's buffer"},
        {kCmdLineSize, 10, E_INVALIDARG, "1008 characters would be cut"},
        {10, sizeof gClientConfig.host, E_INVALIDARG, "a server address longer than its setting"},
    };
    for (const Case& c : kCases) {
        SysFreeString(gAutomationCmdLine);
        gAutomationCmdLine = nullptr;
        gAutomationRunFlag = 1;
        IDispatch* d = MakeApp();
        ASSERT_NE(d, nullptr);
        std::wstring host(c.hostLen, L'h');
        PutText(d, kDispServerAddr, host.c_str());
        std::wstring cmd(c.cmdLen, L'x');
        EXCEPINFO ex = {};
        HRESULT hr = RunWith(d, cmd.c_str(), &ex);
        HRESULT got = hr == DISP_E_EXCEPTION ? ex.scode : hr;
        EXPECT_EQ(got, c.hr) << c.why;
        if (c.hr != S_OK) {
            EXPECT_EQ(gAutomationCmdLine, nullptr) << c.why;
            EXPECT_EQ(gAutomationRunFlag, 1) << c.why << ": the client may try again";
        } else {
            EXPECT_EQ(SysStringLen(gAutomationCmdLine), c.cmdLen);
        }
        SysFreeString(ex.bstrDescription);
        SysFreeString(ex.bstrSource);
        d->Release();
    }
}

TEST_F(AutoServer, RunWithAnEmptyOrNullTextStillCounts) {
    for (const wchar_t* cmd : {L"", static_cast<const wchar_t*>(nullptr)}) {
        SysFreeString(gAutomationCmdLine);
        gAutomationCmdLine = nullptr;
        gAutomationRunFlag = 1;
        IDispatch* d = MakeApp();
        ASSERT_NE(d, nullptr);
        EXPECT_EQ(RunWith(d, cmd), S_OK);
        EXPECT_EQ(gAutomationRunFlag, 0);
        ASSERT_NE(gAutomationCmdLine, nullptr) << "the session must go on and take QOVCS_CMDLN";
        EXPECT_EQ(SysStringLen(gAutomationCmdLine), 0u);
        d->Release();
    }
}

TEST_F(AutoServer, ErrorSupportAndFactory) {
    IDispatch* d = MakeApp();
    ASSERT_NE(d, nullptr);
    ISupportErrorInfo* sei = nullptr;
    ASSERT_EQ(d->QueryInterface(IID_ISupportErrorInfo, reinterpret_cast<void**>(&sei)), S_OK);
    EXPECT_EQ(sei->InterfaceSupportsErrorInfo(IID_IQovLtApp), S_OK);
    EXPECT_EQ(sei->InterfaceSupportsErrorInfo(IID_IDispatch), S_FALSE);
    IUnknown* viaSei = nullptr;
    ASSERT_EQ(sei->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&viaSei)), S_OK);
    IUnknown* viaApp = nullptr;
    d->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&viaApp));
    EXPECT_EQ(viaSei, viaApp) << "the error support answers for its owner";
    viaSei->Release();
    viaApp->Release();
    sei->Release();
    IUnknown* none = reinterpret_cast<IUnknown*>(1);
    EXPECT_EQ(d->QueryInterface(IID_IClassFactory, reinterpret_cast<void**>(&none)), E_NOINTERFACE);
    EXPECT_EQ(none, nullptr);

    IClassFactory* f = AppClassFactoryCreate(CLSID_QovLtApp);
    ASSERT_NE(f, nullptr);
    f->AddRef();
    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(f->CreateInstance(d, IID_IDispatch, &out), CLASS_E_NOAGGREGATION);
    EXPECT_EQ(out, nullptr);
    IDispatch* a = nullptr;
    IDispatch* b = nullptr;
    EXPECT_EQ(f->CreateInstance(nullptr, IID_IDispatch, reinterpret_cast<void**>(&a)), S_OK);
    EXPECT_EQ(f->CreateInstance(nullptr, IID_IDispatch, reinterpret_cast<void**>(&b)), S_OK);
    EXPECT_EQ(a, d) << "every client gets the same object";
    EXPECT_EQ(b, d);
    EXPECT_EQ(f->LockServer(TRUE), S_OK);
    EXPECT_EQ(f->LockServer(FALSE), S_OK);
    a->Release();
    b->Release();
    IClassFactory* other = AppClassFactoryCreate(CLSID_NULL);
    other->AddRef();
    EXPECT_EQ(other->CreateInstance(nullptr, IID_IDispatch, &out), E_NOINTERFACE);
    other->Release();
    EXPECT_EQ(d->Release(), 0u);
    EXPECT_EQ(f->CreateInstance(nullptr, IID_IDispatch, &out), CO_E_SERVER_STOPPING)
        << "a factory outliving the object must not touch it";
    f->Release();
}

}  // namespace
