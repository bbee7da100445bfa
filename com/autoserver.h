// autoserver.h - the automation server Qovclient.Application: its identifiers,
// the interface IQovLtApp, the run loop WinMain calls in automation mode, and
// the small COM routines beside it.
#pragma once

#include <windows.h>
#include <ole2.h>
#include <oleauto.h>

#include <cstdint>

// Identifiers shared by the registry, the type library and the code.
extern const CLSID CLSID_QovLtApp;       // {20D05919-FA48-4b02-851F-F933ACD40A49}
extern const IID IID_IQovLtApp;          // {7240B04A-129E-4C7E-AF8F-4416D1EB6A4C}
extern const GUID LIBID_QovLtApp;        // {E454535C-DC9D-4046-8B48-C438F247722A}
constexpr WORD kQovLtAppMajor = 1;
constexpr WORD kQovLtAppMinor = 0;
extern const wchar_t kAutomationErrorSource[];  // "Qovclient.Application"

// DISPIDs of IQovLtApp's members.
enum QovLtAppDispId : DISPID {
    kDispName = 0,
    kDispApplication = 0x60020000,
    kDispFullName = 0x60020001,
    kDispParent = 0x60020003,
    kDispVisible = 0x60020004,
    kDispServerAddr = 0x60020006,
    kDispServerPort = 0x60020008,
    kDispLocalAddr = 0x6002000A,
    kDispPublicKey = 0x6002000C,
    kDispRun = 0x6002000E,
};

// Error ids: string resources 1-4 and the HRESULTs a failing member returns.
enum AutomationError {
    kAutoErrUnexpected = 1,      // 0x80040200 "Unexpected Error"
    kAutoErrThread = 2,          // 0x80040201
    kAutoErrSecondRun = 3,       // 0x80040202 "Only one program may be executed using the Run method."
    kAutoErrNoText = 4,          // 0x80040203, no text
};
constexpr HRESULT kAutoErrBase = static_cast<HRESULT>(0x80040200 - 1);
constexpr int kMaxServerPort = 65535;

// The dual interface, members in the order of its virtual table.
struct IQovLtApp : public IDispatch {
    virtual HRESULT STDMETHODCALLTYPE get_Application(IQovLtApp** value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_FullName(BSTR* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Name(BSTR* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Parent(IQovLtApp** value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_Visible(VARIANT_BOOL value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Visible(VARIANT_BOOL* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_ServerAddr(BSTR value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_ServerAddr(BSTR* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_ServerPort(LONG value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_ServerPort(LONG* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_LocalAddr(BSTR value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_LocalAddr(BSTR* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_PublicKey(BSTR value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_PublicKey(BSTR* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE Run(BSTR cmdLine) = 0;
};

class CQovLtAppObj;
extern CQovLtAppObj* gAppObject;
extern LONG gAutomationRunFlag;     // 1 at start; the run loop runs while it is set
extern BSTR gAutomationCmdLine;     // the command line given to Run, null before

// The run loop of automation mode: registers the class object (single use) and
// the running object, pumps messages until Run or the object's release, and
// answers the command line as an ANSI text in the shared conversion buffer (the
// caller copies it at once), or null when the server could not be set up or
// the object went away without Run.
const char* AutomationServerRun();
// The application object with its settings taken from the client
// configuration, as an IQovLtApp with no reference counted yet; null on failure.
CQovLtAppObj* AppObjectCreate();
IQovLtApp* AppObjectInterface(CQovLtAppObj* obj);
// The type info of one interface of the program's type library: the registered
// library first, else the one in the program file.
HRESULT LoadAppTypeInfo(ITypeInfo** out, REFIID iid);
// Raises the error object of id and answers its HRESULT.
HRESULT AutomationSetError(int id, REFIID iid);
// A class factory of the application object, for tests and the run loop; the
// caller adds the first reference.
IClassFactory* AppClassFactoryCreate(REFCLSID clsid);

// ---- Routines beside the server -------------------------------------------------
// Creates an object through its class factory, on machine when one is named.
HRESULT CreateObjectFromClass(REFCLSID clsid, DWORD context, REFIID iid, void** out, const char* machine);
// Switches an embedded object's cached display aspect.
HRESULT SwitchDisplayAspect(IOleObject* obj, DWORD* aspect, DWORD newAspect, HGLOBAL iconPict, BOOL deleteOld,
                            BOOL viewAdvise, IAdviseSink* sink, BOOL* mustUpdate);
// Frees a METAFILEPICT global block and its metafile; null does nothing.
void MetafilePictFree(HGLOBAL pict);
