/* fakehtml_dll.c - the tests' fake browser as an in-process server: registered
 * under CLSID_WebBrowser in a test's own Wine prefix, it stands in for the
 * platform's browser in the client under test. */
#include <windows.h>

#include <exdisp.h>

#include "fakehtml.h"

__declspec(dllexport) HRESULT WINAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
    if (!IsEqualCLSID(clsid, &CLSID_WebBrowser)) {
        *out = NULL;
        return CLASS_E_CLASSNOTAVAILABLE;
    }
    return FakeHtmlClassObject(iid, out);
}

__declspec(dllexport) HRESULT WINAPI DllCanUnloadNow(void) { return S_FALSE; }
