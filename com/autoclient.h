// autoclient.h - the automation client: name-based access to one COM object
// (create or wrap, names to DISPIDs, property get and put, method calls, walks
// to sub-objects), its default event interface connected to an event sink, and
// every Invoke failure turned into one of the client's negative codes.
#pragma once

#include <windows.h>
#include <oaidl.h>
#include <ocidl.h>

#include <cstdint>

struct ObjectRecord;
class CQovIDispatchEvents;

struct AutoClient {
    ObjectRecord* owner;                // Automation or Control object; its ObjectId goes into exception texts
    IDispatch* root;
    IDispatch* current;                 // the sub-object of the last walk, or null
    ITypeInfo* defaultTypeInfo;
    ITypeInfo* sourceTypeInfo;
    IPerPropertyBrowsing* propBrowsing;
    CQovIDispatchEvents* sink;
    uint32_t advised;
    uint32_t eventsKnown;
    DWORD cookie;
    IID eventIid;
};

// The name list of a call with named arguments: the member first.
constexpr uint32_t kAutoNamesMax = 51;
struct AutoNameList {
    uint32_t count;
    const char* names[kAutoNamesMax];
    uint32_t lengths[kAutoNamesMax];
    DISPID ids[kAutoNamesMax];
};

// Creation from a CLSID (or of an already made object given as unk): null on
// failure ("WINERR:0x%-8lX" in the detail text when creation itself failed).
AutoClient* AutoClientCreate(REFCLSID clsid, IUnknown* unk, ObjectRecord* owner);
AutoClient* AutoClientWrap(IDispatch* dispatch, ObjectRecord* owner);
// Releases the connection, the sink (detached first, so a late event posts
// nothing) and every interface, and frees the record.
void AutoClientFree(AutoClient* client);
void AutoAdviseEvents(AutoClient* client, IUnknown* object);

int32_t AutoPropGet(AutoClient* c, const char* name, DISPID id, DISPPARAMS* params, VARIANT* result);
int32_t AutoPropPut(AutoClient* c, const char* name, DISPID id, DISPPARAMS* params, VARIANT* value);
int32_t AutoMethodCall(AutoClient* c, const char* name, DISPID id, DISPPARAMS* params, VARIANT* result);
int32_t AutoNamesToDispIds(AutoClient* c, AutoNameList* list);
int32_t AutoGetSubObject(AutoClient* c, const char* name, DISPID id, DISPPARAMS* params);
void AutoClearSubObject(AutoClient* c);
IDispatch* AutoGetDispatch(AutoClient* c, bool current);
int32_t DispErrorToCode(ObjectRecord* owner, HRESULT hr, int32_t defaultCode, UINT argErr, EXCEPINFO* info);

// How the sink hands an event on: the owner, the DISPID and the arguments.
// Empty: events are swallowed.
typedef void (*AutoEventPostFn)(ObjectRecord* owner, DISPID id, DISPPARAMS* params);
extern AutoEventPostFn gAutoEventPost;

// The event sink: IDispatch of the object's source interface.
class CQovIDispatchEvents final : public IDispatch {
public:
    CQovIDispatchEvents(AutoClient* client, ObjectRecord* owner);
    // Cuts the sink from its client and record: later calls post nothing.
    void Detach();
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;
    STDMETHODIMP GetTypeInfoCount(UINT* out) override;
    STDMETHODIMP GetTypeInfo(UINT index, LCID lcid, ITypeInfo** out) override;
    STDMETHODIMP GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) override;
    STDMETHODIMP Invoke(DISPID id, REFIID iid, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                        EXCEPINFO* excep, UINT* argErr) override;

private:
    ULONG refs_;
    AutoClient* client_;
    ObjectRecord* owner_;
    IID eventIid_;
};
