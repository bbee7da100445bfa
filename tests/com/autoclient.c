/* autoclient.c - a plain C automation client of Qovclient.Application: gets the
 * class object from a new server process, checks that aggregation is refused,
 * creates the object, finds the same object through GetActiveObject, reads a
 * property through IDispatch, and lets the object go without Run, after which
 * the server must end by itself. Prints "CLIENT DONE" when every step held. */
#define COBJMACROS
#include <windows.h>
#include <ole2.h>
#include <oleauto.h>
#include <stdio.h>

static const CLSID kClsid = {0x20D05919, 0xFA48, 0x4b02, {0x85, 0x1F, 0xF9, 0x33, 0xAC, 0xD4, 0x0A, 0x49}};

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
    CoUninitialize();
    printf("CLIENT DONE\n");
    return 0;
}
