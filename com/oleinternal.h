// oleinternal.h - the records behind the OLE container's flat entries: the
// container-side object of one embedded object or control (CGenObject) and the
// per-window form support. Only the files of the container itself include it.
#pragma once

#include "com/olecontainer.h"

// Lets go of a counted interface pointer and clears it.
template <class T>
void ReleaseAndClear(T*& p) {
    if (p) p->Release();
    p = nullptr;
}

// Each site counts its own references and forwards them to its outer object;
// QueryInterface goes to the outer object. A Release that finds its own count at
// 0 does not forward, so a site released once too often cannot free its owner.
template <class I>
class OuterPart : public I {
public:
    explicit OuterPart(IUnknown* outer) : outer_(outer) {}
    virtual ~OuterPart() = default;
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override { return outer_->QueryInterface(iid, out); }
    STDMETHODIMP_(ULONG) AddRef() override {
        ++refs_;
        return outer_->AddRef();
    }
    STDMETHODIMP_(ULONG) Release() override {
        if (refs_ == 0) return 0;
        --refs_;
        return outer_->Release();
    }

protected:
    ULONG refs_ = 0;
    IUnknown* outer_;
};

// An object of one interface of its own: QueryInterface answers it and
// IUnknown, and the object deletes itself when its count falls to 0.
template <class I, const IID& kIid>
class OneFace : public I {
public:
    virtual ~OneFace() = default;
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, kIid)) return E_NOINTERFACE;
        *out = this;
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++refs_; }
    STDMETHODIMP_(ULONG) Release() override {
        ULONG n = --refs_;
        if (n == 0) delete this;
        return n;
    }

private:
    ULONG refs_ = 0;
};

class CAmbIDispatch;
class CQovIOleClientSite;
class CQovIOleInPlaceSite;
class CQovIOleControlSite;
class CQovIAdviseSink;
class CQovIPropertyNotifySink;

class CGenObject final : public IUnknown {
public:
    CGenObject() = default;
    ~CGenObject();
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
    STDMETHODIMP_(ULONG) AddRef() override { return ++refs; }
    STDMETHODIMP_(ULONG) Release() override {
        ULONG n = --refs;
        if (n == 0) delete this;
        return n;
    }

    ULONG refs = 0;
    ObjectRecord* window = nullptr;
    ObjectRecord* object = nullptr;
    ObjectRecord* container = nullptr;
    ObjectRecord* control = nullptr;
    CQovFormOleSupport* formOle = nullptr;
    uint32_t itemNumber = 0;
    IOleObject* oleObject = nullptr;
    IOleLink* oleLink = nullptr;
    IOleControl* oleControl = nullptr;
    IOleInPlaceObject* inPlaceObject = nullptr;
    CAmbIDispatch* ambient = nullptr;
    CQovIOleClientSite* clientSite = nullptr;
    CQovIOleInPlaceSite* inPlaceSite = nullptr;
    CQovIOleControlSite* controlSite = nullptr;
    CQovIAdviseSink* adviseSink = nullptr;
    CQovIPropertyNotifySink* notifySink = nullptr;
    AutoClient* automation = nullptr;
    IStorage* storage = nullptr;
    IStream* stream = nullptr;
    IMoniker* itemMoniker = nullptr;
    IMoniker* containerMoniker = nullptr;
    uintptr_t itemId = 0;
    DWORD miscStatus = 0;
    DWORD aspect = DVASPECT_CONTENT;
    SIZEL extent = {0, 0};
    SIZEL iconExtent = {0, 0};
    RECT pos = {0, 0, 0, 0};
    int inPlaceActive = 0, uiActive = 0, openInWindow = 0;
    int notifyConnected = 0;
    DWORD notifyCookie = 0;
    int oleAdvised = 0;
    DWORD oleCookie = 0;
    int dataAdvised = 0;
    DWORD dataCookie = 0;
    int inPlaceLocks = 0;
    int deactivatePending = 0;
    ObjectRef lentDefault = {nullptr, 0};   // the default button an ACTSLIKEBUTTON control stands in for
    bool released = false;
};

// The form support of a window: root storage, frame, item container, drop target.
class CQovIOleInPlaceFrame;
class CQovIOleItemContainer;
class CQovDropTgt;
class CQovFormOleSupport final : public IUnknown {
public:
    ~CQovFormOleSupport();
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
    STDMETHODIMP_(ULONG) AddRef() override { return ++refs; }
    STDMETHODIMP_(ULONG) Release() override {
        ULONG n = --refs;
        if (n == 0) delete this;
        return n;
    }
    ULONG refs = 0;
    ObjectRecord* window = nullptr;
    IStorage* root = nullptr;
    IStorage* saved = nullptr;
    ILockBytes* savedBytes = nullptr;
    CQovIOleInPlaceFrame* frame = nullptr;
    CQovIOleItemContainer* items = nullptr;
    CQovDropTgt* drop = nullptr;
    int uiActiveFlag = 0;
    CGenObject* uiActiveObject = nullptr;
    LCID locale = 0;
    IFontDisp* font = nullptr;
    IMoniker* moniker = nullptr;
    bool dropRegistered = false;
    uint32_t objects = 0;       // objects made in the window that have not let go
    bool windowGone = false;    // OleFormRelease ran: the window is destroyed
};


// The saved storage of a form load in the form support, opened on first use.
IStorage* FormSavedStorage(CQovFormOleSupport* f, const OleStoreInfo* store);

// The window a site belongs to: the one a form load is filling, else the given one.
ObjectRecord* SiteWindow(ObjectRecord* given);
// An object lets go of its window's form support (its release, or its end).
void GenObjLeaveForm(CGenObject* g);

// ---- The sites of one object (olesites.cpp) -----------------------------------------------
// The client site, in-place site and advise sink every object has; false
// without memory (the ones made are freed with the object).
bool GenObjMakeSites(CGenObject* g);
// The control site and ambient properties of a control, made once.
bool GenObjMakeControlSites(CGenObject* g);
// The property notify sink, made on first use; null without memory.
IPropertyNotifySink* GenObjNotifySink(CGenObject* g);
// The site that answers an interface (not IUnknown), or null; not counted.
IUnknown* GenObjSiteFace(CGenObject* g, REFIID iid);
// How many close notices the object's advise sink has had.
int GenObjCloseNotices(CGenObject* g);
// Frees the object's sites (its end).
void GenObjFreeSites(CGenObject* g);
