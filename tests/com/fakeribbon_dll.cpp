// fakeribbon_dll.cpp - the tests' stand-in Ribbon framework as an in-process
// server: registered under the framework's class id in a test's own Wine
// prefix, the client under test creates it instead of Wine's framework.
#include <windows.h>

#include "fakeribbon.h"

extern "C" __declspec(dllexport) HRESULT WINAPI DllGetClassObject(REFCLSID clsid, REFIID riid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!IsEqualCLSID(clsid, CLSID_UIRibbonFramework)) return CLASS_E_CLASSNOTAVAILABLE;
    return FakeClassFactory()->QueryInterface(riid, out);
}

// The fake stays loaded for the whole run: its window class and state live here.
extern "C" __declspec(dllexport) HRESULT WINAPI DllCanUnloadNow() { return S_FALSE; }
