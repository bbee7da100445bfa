/* autoclient.c - a plain C automation client of Qovclient.Application: gets the
 * class object from a new server process, checks that aggregation is refused,
 * creates the object, finds the same object through GetActiveObject, reads a
 * property through IDispatch, and lets the object go without Run, after which
 * the server must end by itself. Then early bound through IQovLtApp's vtable in
 * new servers, and an aggregating activation whose server must end as well.
 * Prints "CLIENT DONE" when every step held. */
#define COBJMACROS
#include <windows.h>
#include <ole2.h>
#include <oleauto.h>
#include <stdio.h>

static const CLSID kClsid = {0x20D05919, 0xFA48, 0x4b02, {0x85, 0x1F, 0xF9, 0x33, 0xAC, 0xD4, 0x0A, 0x49}};
static const IID kIidApp = {0x7240B04A, 0x129E, 0x4C7E, {0xAF, 0x8F, 0x44, 0x16, 0xD1, 0xEB, 0x6A, 0x4C}};

/* The dual interface as an early-bound client sees it: IDispatch's seven
 * methods, then the members in the library's order up to ServerPort. */
typedef struct AppVtbl {
    void* unknownAndDispatch[7];
    HRESULT(STDMETHODCALLTYPE* get_Application)(void* self, void** value);
    HRESULT(STDMETHODCALLTYPE* get_FullName)(void* self, BSTR* value);
    HRESULT(STDMETHODCALLTYPE* get_Name)(void* self, BSTR* value);
    HRESULT(STDMETHODCALLTYPE* get_Parent)(void* self, void** value);
    HRESULT(STDMETHODCALLTYPE* put_Visible)(void* self, VARIANT_BOOL value);
    HRESULT(STDMETHODCALLTYPE* get_Visible)(void* self, VARIANT_BOOL* value);
    HRESULT(STDMETHODCALLTYPE* put_ServerAddr)(void* self, BSTR value);
    HRESULT(STDMETHODCALLTYPE* get_ServerAddr)(void* self, BSTR* value);
    HRESULT(STDMETHODCALLTYPE* put_ServerPort)(void* self, LONG value);
    HRESULT(STDMETHODCALLTYPE* get_ServerPort)(void* self, LONG* value);
} AppVtbl;
typedef struct App { const AppVtbl* lpVtbl; } App;

static int Fail(const char* what, HRESULT hr) {
    printf("FAIL: %s: 0x%08lX\n", what, (unsigned long)hr);
    return 1;
}

int main(void) {
    IClassFactory* factory = NULL;
    IUnknown* outer = NULL;
    IDispatch* app = NULL;
    IUnknown* active = NULL;
    IUnknown* a = NULL;
    IUnknown* b = NULL;
    void* none = NULL;
    HRESULT hr;
    LPOLESTR name = L"Name";
    DISPID id = -1;
    DISPPARAMS noArgs = {NULL, NULL, 0, 0};
    VARIANT result;

    CoInitialize(NULL);
    hr = CoGetClassObject(&kClsid, CLSCTX_LOCAL_SERVER, NULL, &IID_IClassFactory, (void**)&factory);
    if (FAILED(hr)) return Fail("CoGetClassObject", hr);
    hr = CoCreateInstance(&CLSID_StdGlobalInterfaceTable, NULL, CLSCTX_INPROC_SERVER, &IID_IUnknown, (void**)&outer);
    if (FAILED(hr)) return Fail("an outer object", hr);
    hr = IClassFactory_CreateInstance(factory, outer, &IID_IUnknown, &none);
    if (hr != CLASS_E_NOAGGREGATION) return Fail("aggregation was not refused", hr);
    IUnknown_Release(outer);
    hr = IClassFactory_CreateInstance(factory, NULL, &IID_IDispatch, (void**)&app);
    if (FAILED(hr)) return Fail("CreateInstance", hr);
    IClassFactory_Release(factory);

    hr = GetActiveObject(&kClsid, NULL, &active);
    if (FAILED(hr)) return Fail("GetActiveObject", hr);
    IDispatch_QueryInterface(app, &IID_IUnknown, (void**)&a);
    IUnknown_QueryInterface(active, &IID_IUnknown, (void**)&b);
    if (a != b) return Fail("GetActiveObject gave another object", E_FAIL);
    IUnknown_Release(a);
    IUnknown_Release(b);
    IUnknown_Release(active);

    hr = IDispatch_GetIDsOfNames(app, &IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &id);
    if (FAILED(hr) || id != 0) return Fail("GetIDsOfNames(Name)", hr);
    VariantInit(&result);
    hr = IDispatch_Invoke(app, 0, &IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &noArgs, &result, NULL, NULL);
    if (FAILED(hr) || result.vt != VT_BSTR || lstrcmpW(result.bstrVal, L"Qovclient") != 0)
        return Fail("Name", hr);
    VariantClear(&result);

    IDispatch_Release(app);

    /* Early bound across processes: the interface itself from a new server,
     * and through QueryInterface on an IUnknown proxy of another. */
    {
        App* early = NULL;
        IUnknown* unk = NULL;
        LONG port = 0;
        BSTR text = NULL;
        hr = CoCreateInstance(&kClsid, NULL, CLSCTX_LOCAL_SERVER, &kIidApp, (void**)&early);
        if (FAILED(hr) || !early) return Fail("CoCreateInstance(IQovLtApp)", hr);
        hr = early->lpVtbl->put_ServerPort(early, 999999);
        if (hr != E_INVALIDARG) return Fail("put_ServerPort(999999) was not refused", hr);
        hr = early->lpVtbl->put_ServerPort(early, 4711);
        if (FAILED(hr)) return Fail("put_ServerPort(4711)", hr);
        hr = early->lpVtbl->get_ServerPort(early, &port);
        if (FAILED(hr) || port != 4711) return Fail("get_ServerPort", hr);
        hr = early->lpVtbl->get_Name(early, &text);
        if (FAILED(hr) || !text || lstrcmpW(text, L"Qovclient") != 0) return Fail("get_Name", hr);
        SysFreeString(text);
        IUnknown_Release((IUnknown*)early);
        hr = CoCreateInstance(&kClsid, NULL, CLSCTX_LOCAL_SERVER, &IID_IUnknown, (void**)&unk);
        if (FAILED(hr)) return Fail("CoCreateInstance(IUnknown)", hr);
        early = NULL;
        hr = IUnknown_QueryInterface(unk, &kIidApp, (void**)&early);
        if (FAILED(hr) || !early) return Fail("QueryInterface(IQovLtApp) on a proxy", hr);
        IUnknown_Release((IUnknown*)early);
        IUnknown_Release(unk);
    }

    /* An aggregating activation: the only CreateInstance of that server fails,
     * and the server must still end by itself (client_test.sh looks). */
    hr = CoCreateInstance(&CLSID_StdGlobalInterfaceTable, NULL, CLSCTX_INPROC_SERVER, &IID_IUnknown, (void**)&outer);
    if (FAILED(hr)) return Fail("an outer object", hr);
    none = NULL;
    hr = CoCreateInstance(&kClsid, outer, CLSCTX_LOCAL_SERVER, &IID_IUnknown, &none);
    if (hr != CLASS_E_NOAGGREGATION) return Fail("an aggregating activation was not refused", hr);
    IUnknown_Release(outer);
    CoUninitialize();
    printf("CLIENT DONE\n");
    return 0;
}
