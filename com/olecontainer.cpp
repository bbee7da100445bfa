// olecontainer.cpp - the container side of one hosted ActiveX control
// (CGenObject): creation by class, persistence, the activation sequence,
// drawing, verbs, focus, mnemonics and release; the six site objects through
// which the control calls back; and the per-window form support with its
// in-place frame, item container, enumerator and drop target.
#include "com/olecontainer.h"

#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

#include "com/autoclient.h"
#include "com/autoserver.h"
#include "com/oleutil.h"
#include "forms/formload.h"
#include "objects/focus.h"
#include "objects/objops.h"
#include "objects/objrecord.h"
#include "objects/paint.h"
#include "objects/pump.h"
#include "objects/window.h"
#include "session/config.h"

namespace {

constexpr int kOffScreen = 32000;              // the off-screen shift of an invisible-at-run-time control
constexpr int kIconBoxWidth = 110, kIconBoxHeight = 62;
constexpr DWORD kWinErrNoMemory = 14;          // ERROR_OUTOFMEMORY, written when an allocation fails
constexpr LCID kLocaleUserDefault = 0x400;
constexpr UINT kWindowContextSize = 20;
constexpr ULONG kPropFrameParamsSize = 44;
constexpr DWORD kAspectAll = static_cast<DWORD>(-1);
constexpr LONG kIndexAll = -1;
constexpr DWORD kTymedAll = static_cast<DWORD>(-1);
constexpr DWORD kOleWhichContainer = 1, kOleWhichObjRel = 2, kOleWhichObjFull = 3;
constexpr DWORD kBindSpeedModerate = 2, kBindSpeedImmediate = 3;
constexpr DWORD kXformHimetricToContainer = 4;
constexpr char kHostApp[] = "QO/V Application";
constexpr char kHostForm[] = "QO/V Form";
constexpr char kPropPagesCaption[] = "Property Pages";
constexpr DWORD kStorageMode = STGM_TRANSACTED | STGM_CREATE | STGM_SHARE_EXCLUSIVE | STGM_READWRITE;
constexpr DWORD kStreamCreateMode = STGM_CREATE | STGM_SHARE_EXCLUSIVE | STGM_READWRITE;
constexpr DWORD kStreamOpenMode = STGM_SHARE_EXCLUSIVE | STGM_READWRITE;
constexpr DWORD kRootMode =
    STGM_DELETEONRELEASE | STGM_TRANSACTED | STGM_CREATE | STGM_SHARE_EXCLUSIVE | STGM_READWRITE;

void WinErr(unsigned long code) { SetWinErrorText(code); }

// The window a site belongs to: the one a form load is filling, else the given one.
ObjectRecord* SiteWindow(ObjectRecord* given) {
    if (gFormLoadInProgress && gFormLoadContext && gFormLoadContext->window) return gFormLoadContext->window;
    return given;
}

NativeWindowRecord* NativeOf(ObjectRecord* window) {
    return window && window->kind == kKindWindow ? reinterpret_cast<NativeWindowRecord*>(window) : nullptr;
}

uint32_t WindowStyleBits(ObjectRecord* window) {
    NativeWindowRecord* w = NativeOf(window);
    return w ? w->winStyle : 0;
}

template <class T>
void ReleaseAndClear(T*& p) {
    if (p) p->Release();
    p = nullptr;
}

}  // namespace

// ---- Site objects ---------------------------------------------------------------------
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

// A site of one embedded object: a part of the object's outer record.
template <class I>
class SiteBase : public OuterPart<I> {
public:
    SiteBase(CGenObject* owner, IUnknown* outer) : OuterPart<I>(outer), owner_(owner) {}

protected:
    CGenObject* owner_;
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
    ObjectRecord* container = nullptr;   // Containers come with their own step; always null here
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
};

// ---- Ambient properties --------------------------------------------------------------------

class CAmbIDispatch final : public SiteBase<IDispatch> {
public:
    using SiteBase::SiteBase;
    STDMETHODIMP GetTypeInfoCount(UINT* n) override {
        if (n) *n = 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo** out) override {
        if (out) *out = nullptr;
        return E_NOTIMPL;
    }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID* ids) override {
        if (ids) ids[0] = 0;
        return E_NOTIMPL;
    }
    STDMETHODIMP Invoke(DISPID id, REFIID iid, LCID, WORD flags, DISPPARAMS*, VARIANT* result, EXCEPINFO*,
                        UINT*) override;
};

static void SetBool(VARIANT* v, bool on) {
    V_VT(v) = VT_BOOL;
    V_BOOL(v) = on ? VARIANT_TRUE : VARIANT_FALSE;
}
static void SetI4(VARIANT* v, LONG value) {
    V_VT(v) = VT_I4;
    V_I4(v) = value;
}

STDMETHODIMP CAmbIDispatch::Invoke(DISPID id, REFIID iid, LCID, WORD flags, DISPPARAMS*, VARIANT* result,
                                   EXCEPINFO*, UINT*) {
    if (!IsEqualIID(iid, IID_NULL)) return E_INVALIDARG;
    VARIANT local;
    VARIANT* v = result ? result : &local;
    VariantInit(v);
    if (!(flags & DISPATCH_PROPERTYGET)) return DISP_E_MEMBERNOTFOUND;
    ObjectRecord* win = owner_->window;
    CQovFormOleSupport* f = owner_->formOle;
    bool design = gDesignMode != 0;
    // An ambient that is not answered leaves the result VT_EMPTY, not a
    // VT_BOOL without a value.
    switch (id) {
    case kAmbBackColor: SetI4(v, win ? static_cast<LONG>(win->bgColor) : 0); break;
    case kAmbForeColor: SetI4(v, win ? static_cast<LONG>(win->fgColor) : 0); break;
    case kAmbFont:
        if (!f || !f->font) return DISP_E_MEMBERNOTFOUND;
        V_VT(v) = VT_DISPATCH;
        V_DISPATCH(v) = f->font;
        f->font->AddRef();
        break;
    case kAmbLocaleId:
        if (!f) return DISP_E_MEMBERNOTFOUND;
        SetI4(v, static_cast<LONG>(f->locale));
        break;
    case kAmbMessageReflect:
    case kAmbUiDead: SetBool(v, design); break;
    case kAmbUserMode: SetBool(v, !design); break;
    case kAmbShowGrabHandles:
    case kAmbShowHatching: SetBool(v, false); break;
    case kAmbDisplayAsDefault: {
        WindowRecord* w = ObjectAsWindow(win);
        SetBool(v, w && owner_->object && w->defaultButton == owner_->object);
        break;
    }
    case kAmbSupportsMnemonics:
    case kAmbAutoClip: SetBool(v, true); break;
    default: return DISP_E_MEMBERNOTFOUND;
    }
    return S_OK;
}

// ---- Client site ---------------------------------------------------------------------------

class CQovIOleClientSite final : public SiteBase<IOleClientSite> {
public:
    using SiteBase::SiteBase;
    STDMETHODIMP SaveObject() override { return GenObjSave(owner_); }
    STDMETHODIMP GetMoniker(DWORD assign, DWORD which, IMoniker** out) override;
    STDMETHODIMP GetContainer(IOleContainer** out) override;
    STDMETHODIMP ShowObject() override { return S_OK; }
    STDMETHODIMP OnShowWindow(BOOL show) override;
    STDMETHODIMP RequestNewObjectLayout() override { return E_NOTIMPL; }
};

STDMETHODIMP CQovIOleClientSite::GetMoniker(DWORD, DWORD which, IMoniker** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    IMoniker* m = nullptr;
    if (which == kOleWhichContainer) {
        m = owner_->containerMoniker;
    } else if (which == kOleWhichObjRel) {
        m = owner_->itemMoniker;
    } else if (which == kOleWhichObjFull) {
        if (!owner_->containerMoniker || !owner_->itemMoniker) return E_FAIL;
        return CreateGenericComposite(owner_->containerMoniker, owner_->itemMoniker, out);
    }
    if (!m) return E_FAIL;
    m->AddRef();
    *out = m;
    return S_OK;
}

STDMETHODIMP CQovIOleClientSite::GetContainer(IOleContainer** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    IOleItemContainer* c = owner_->formOle ? OleFormItemContainer(owner_->formOle) : nullptr;
    if (!c) return E_NOINTERFACE;
    c->AddRef();
    *out = c;
    return S_OK;
}

STDMETHODIMP CQovIOleClientSite::OnShowWindow(BOOL show) {
    owner_->openInWindow = show ? 1 : 0;
    HWND wnd = owner_->window ? owner_->window->hwnd : nullptr;
    if (wnd) {
        InvalidateRect(wnd, nullptr, TRUE);
        if (!show) {
            BringWindowToTop(wnd);
            SetFocus(wnd);
        }
    }
    return S_OK;
}

// ---- In-place site ---------------------------------------------------------------------------

class CQovIOleInPlaceSite final : public SiteBase<IOleInPlaceSite> {
public:
    using SiteBase::SiteBase;
    STDMETHODIMP GetWindow(HWND* out) override {
        if (!out) return E_POINTER;
        ObjectRecord* parent = owner_->object ? owner_->object->parent : nullptr;
        *out = parent ? parent->hwnd : nullptr;
        return S_OK;
    }
    STDMETHODIMP ContextSensitiveHelp(BOOL) override { return S_OK; }
    STDMETHODIMP CanInPlaceActivate() override { return S_OK; }
    STDMETHODIMP OnInPlaceActivate() override;
    STDMETHODIMP OnUIActivate() override;
    STDMETHODIMP GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** doc, LPRECT pos, LPRECT clip,
                                  LPOLEINPLACEFRAMEINFO info) override;
    STDMETHODIMP Scroll(SIZE) override { return E_FAIL; }
    STDMETHODIMP OnUIDeactivate(BOOL) override;
    STDMETHODIMP OnInPlaceDeactivate() override;
    STDMETHODIMP DiscardUndoState() override { return E_NOTIMPL; }
    STDMETHODIMP DeactivateAndUndo() override {
        if (owner_->inPlaceObject) owner_->inPlaceObject->InPlaceDeactivate();
        return S_OK;
    }
    STDMETHODIMP OnPosRectChange(LPCRECT rect) override {
        if (rect) owner_->pos = *rect;
        if (owner_->oleObject) owner_->oleObject->GetExtent(owner_->aspect, &owner_->extent);
        return S_OK;
    }
};

static void TakeControlWindow(CGenObject* g) {
    HWND wnd = nullptr;
    if (g->inPlaceObject && SUCCEEDED(g->inPlaceObject->GetWindow(&wnd)) && g->object) g->object->hwnd = wnd;
}

STDMETHODIMP CQovIOleInPlaceSite::OnInPlaceActivate() {
    owner_->deactivatePending = 0;
    owner_->inPlaceActive = 1;
    if (!owner_->oleObject) return E_FAIL;
    ReleaseAndClear(owner_->inPlaceObject);
    if (FAILED(owner_->oleObject->QueryInterface(IID_IOleInPlaceObject,
                                                 reinterpret_cast<void**>(&owner_->inPlaceObject))))
        return E_FAIL;
    TakeControlWindow(owner_);
    return S_OK;
}

STDMETHODIMP CQovIOleInPlaceSite::OnUIActivate() {
    owner_->deactivatePending = 0;
    owner_->uiActive = 1;
    // A Control only takes its window; the frame's UI-active object is what
    // the window's keyboard and activation entries reach.
    TakeControlWindow(owner_);
    if (owner_->formOle) {
        owner_->formOle->uiActiveFlag = 1;
        owner_->formOle->uiActiveObject = owner_;
    }
    return S_OK;
}

STDMETHODIMP CQovIOleInPlaceSite::GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** doc, LPRECT pos,
                                                   LPRECT clip, LPOLEINPLACEFRAMEINFO info) {
    if (frame) {
        *frame = owner_->formOle ? OleFormFrame(owner_->formOle) : nullptr;
        if (*frame) (*frame)->AddRef();
    }
    if (doc) *doc = nullptr;
    if (pos) *pos = GenObjRect(owner_, true);
    ObjectRecord* parent = owner_->object ? owner_->object->parent : nullptr;
    HWND parentWnd = parent ? parent->hwnd : nullptr;
    if (clip) {
        SetRectEmpty(clip);
        if (parentWnd) GetClientRect(parentWnd, clip);
    }
    if (info) {
        info->cb = kWindowContextSize;
        info->fMDIApp = FALSE;
        info->hwndFrame = parentWnd;
        info->haccel = nullptr;
        info->cAccelEntries = 0;
    }
    return S_OK;
}

STDMETHODIMP CQovIOleInPlaceSite::OnUIDeactivate(BOOL) {
    owner_->uiActive = 0;
    if (owner_->formOle) {
        owner_->formOle->uiActiveFlag = 0;
        owner_->formOle->uiActiveObject = nullptr;
        IOleInPlaceFrame* f = OleFormFrame(owner_->formOle);
        if (f) f->SetMenu(nullptr, nullptr, nullptr);
    }
    return S_OK;
}

STDMETHODIMP CQovIOleInPlaceSite::OnInPlaceDeactivate() {
    owner_->inPlaceActive = 0;
    if (owner_->object) owner_->object->hwnd = nullptr;
    ReleaseAndClear(owner_->inPlaceObject);
    return S_OK;
}

// ---- Control site -------------------------------------------------------------------------------

class CQovIOleControlSite final : public SiteBase<IOleControlSite> {
public:
    using SiteBase::SiteBase;
    STDMETHODIMP OnControlInfoChanged() override;
    STDMETHODIMP LockInPlaceActive(BOOL lock) override;
    STDMETHODIMP GetExtendedControl(IDispatch** out) override {
        if (out) *out = nullptr;
        return E_NOTIMPL;
    }
    STDMETHODIMP TransformCoords(POINTL* ptl, POINTF* ptf, DWORD flags) override;
    STDMETHODIMP TranslateAccelerator(MSG*, DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP OnFocus(BOOL got) override;
    STDMETHODIMP ShowPropertyFrame() override { return E_NOTIMPL; }
};

STDMETHODIMP CQovIOleControlSite::OnControlInfoChanged() {
    ControlRecord* c = ControlOf(owner_->control);
    if (!c) return S_OK;
    c->infoValid = 0;
    if (owner_->oleControl) {
        c->info.cb = sizeof c->info;
        c->infoValid = SUCCEEDED(owner_->oleControl->GetControlInfo(&c->info)) ? 1 : 0;
    }
    return S_OK;
}

STDMETHODIMP CQovIOleControlSite::LockInPlaceActive(BOOL lock) {
    if (lock) {
        ++owner_->inPlaceLocks;
        return S_OK;
    }
    // An unlock without a matching lock leaves the count at 0.
    if (owner_->inPlaceLocks == 0) return S_OK;
    if (--owner_->inPlaceLocks == 0 && owner_->deactivatePending) GenObjDeactivate(owner_, 1);
    return S_OK;
}

STDMETHODIMP CQovIOleControlSite::TransformCoords(POINTL* ptl, POINTF* ptf, DWORD flags) {
    if (!ptl || !ptf) return E_POINTER;
    if (flags & kXformHimetricToContainer) {
        ptf->x = static_cast<float>(HimetricToPixelsX(nullptr, ptl->x));
        ptf->y = static_cast<float>(HimetricToPixelsY(nullptr, ptl->y));
    } else {
        ptl->x = PixelsToHimetricX(nullptr, static_cast<int>(ptf->x));
        ptl->y = PixelsToHimetricY(nullptr, static_cast<int>(ptf->y));
    }
    return S_OK;
}

STDMETHODIMP CQovIOleControlSite::OnFocus(BOOL got) {
    ObjectRecord* rec = owner_->object;
    if (!rec) return S_OK;
    ObjectRecord* top = ObjectTopWindow(rec);
    WindowRecord* w = ObjectAsWindow(top);
    if ((owner_->miscStatus & kMiscActsLikeButton) && w) {
        // The window's standing default button lends its state to the control
        // while the control has the focus and takes it back afterwards (looked
        // up again by handle: it may have been destroyed meanwhile).
        ObjectRecord* standing = w->defaultButton;
        if (got && standing && standing != rec) {
            owner_->lentDefault = ObjectRefOf(standing);
            ButtonSetDefault(top, standing, false);
            ButtonSetDefault(top, rec, true);
        } else if (!got && owner_->lentDefault.rec) {
            ObjectRef back = owner_->lentDefault;
            owner_->lentDefault = ObjectRef{nullptr, 0};
            ButtonSetDefault(top, rec, false);
            if (ObjectRefAlive(back)) ButtonSetDefault(top, back.rec, true);
        }
    }
    if (!got) {
        ControlSiteFocusEvent(rec, kFocusLost, 0, 0);
        return S_OK;
    }
    ControlSiteFocusEvent(rec, kFocusGot, 0, 0);
    if (owner_->miscStatus & kMiscActsLikeLabel) FocusNextObject(0);
    return S_OK;
}

// ---- Advise sink and property notify sink -----------------------------------------------------
// A Control's object raises no container events; only the view change is
// acted on (the extent is read again and the window repainted). Containers
// post $UPDATED from here when they come.
class CQovIAdviseSink final : public SiteBase<IAdviseSink2> {
public:
    using SiteBase::SiteBase;
    STDMETHODIMP_(void) OnDataChange(FORMATETC*, STGMEDIUM*) override {}
    STDMETHODIMP_(void) OnViewChange(DWORD, LONG) override {
        IViewObject2* v = nullptr;
        if (owner_->oleObject &&
            SUCCEEDED(owner_->oleObject->QueryInterface(IID_IViewObject2, reinterpret_cast<void**>(&v)))) {
            v->GetExtent(DVASPECT_CONTENT, -1, nullptr, &owner_->extent);
            v->Release();
        }
        if (owner_->window && owner_->window->hwnd) InvalidateRect(owner_->window->hwnd, nullptr, TRUE);
    }
    STDMETHODIMP_(void) OnRename(IMoniker*) override {}
    STDMETHODIMP_(void) OnSave() override {}
    STDMETHODIMP_(void) OnClose() override { ++closeCount; }
    STDMETHODIMP_(void) OnLinkSrcChange(IMoniker*) override {}
    int closeCount = 0;
};

class CQovIPropertyNotifySink final : public SiteBase<IPropertyNotifySink> {
public:
    using SiteBase::SiteBase;
    STDMETHODIMP OnChanged(DISPID) override { return S_OK; }
    STDMETHODIMP OnRequestEdit(DISPID) override { return S_OK; }
};

// ---- CGenObject ------------------------------------------------------------------------------------

STDMETHODIMP CGenObject::QueryInterface(REFIID iid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    IUnknown* p = nullptr;
    if (IsEqualIID(iid, IID_IUnknown)) p = this;
    else if (IsEqualIID(iid, IID_IDispatch)) p = ambient;
    else if (IsEqualIID(iid, IID_IOleClientSite)) p = clientSite;
    else if (IsEqualIID(iid, IID_IOleInPlaceSite) || IsEqualIID(iid, IID_IOleWindow)) p = inPlaceSite;
    else if (IsEqualIID(iid, IID_IOleControlSite)) p = controlSite;
    else if (IsEqualIID(iid, IID_IAdviseSink) || IsEqualIID(iid, IID_IAdviseSink2)) p = adviseSink;
    else if (IsEqualIID(iid, IID_IPropertyNotifySink)) p = notifySink;
    if (!p) return E_NOINTERFACE;
    p->AddRef();
    *out = p;
    return S_OK;
}

CGenObject::~CGenObject() {
    ReleaseAndClear(stream);
    delete ambient;
    delete clientSite;
    delete inPlaceSite;
    delete controlSite;
    delete adviseSink;
    delete notifySink;
    AutoClient* a = automation;
    automation = nullptr;
    AutoClientFree(a);
    ReleaseAndClear(itemMoniker);
    ReleaseAndClear(containerMoniker);
    ReleaseAndClear(formOle);
}

ULONG GenObjAddRef(CGenObject* g) { return g ? g->AddRef() : 0; }
ULONG GenObjUnref(CGenObject* g) { return g ? g->Release() : 0; }

GenObjState GenObjInspect(CGenObject* g) {
    GenObjState s = {};
    if (!g) return s;
    s.miscStatus = g->miscStatus;
    s.aspect = g->aspect;
    s.extent = g->extent;
    s.inPlaceActive = g->inPlaceActive;
    s.uiActive = g->uiActive;
    s.openInWindow = g->openInWindow;
    s.inPlaceLocks = g->inPlaceLocks;
    s.deactivatePending = g->deactivatePending;
    s.notifyConnected = g->notifyConnected;
    s.oleObject = g->oleObject;
    s.oleControl = g->oleControl;
    return s;
}

IUnknown* GenObjSite(CGenObject* g, REFIID iid) {
    IUnknown* p = nullptr;
    if (!g || FAILED(g->QueryInterface(iid, reinterpret_cast<void**>(&p)))) return nullptr;
    return p;
}

static HRESULT GenObjOpenStorage(CGenObject* g, OleStoreInfo*) {
    IStorage* root = OleFormRootStorage(g->formOle);
    if (!root) return E_FAIL;
    wchar_t name[32];
    swprintf(name, 32, L"QovBlob%lu", static_cast<unsigned long>(g->itemNumber));
    // Copying saved data into the new sub-storage comes with form storage.
    return root->CreateStorage(name, kStorageMode, 0, 0, &g->storage);
}

CGenObject* GenObjNew(ObjectRecord* window, ObjectRecord* rec, OleStoreInfo* store) {
    CGenObject* g = new (std::nothrow) CGenObject();
    if (!g) return nullptr;
    g->window = SiteWindow(window);
    g->formOle = OleFormOf(window);
    if (g->formOle) g->formOle->AddRef();
    g->itemId = reinterpret_cast<uintptr_t>(g);
    // The form support is tested before its moniker is read.
    if (!g->formOle) {
        delete g;
        return nullptr;
    }
    IMoniker* fm = OleFormMoniker(g->formOle);
    if (fm) {
        fm->AddRef();
        g->containerMoniker = fm;
        wchar_t item[40];
        swprintf(item, 40, L"QovItem%lu", static_cast<unsigned long>(g->itemId));
        CreateItemMoniker(L"!", item, &g->itemMoniker);
    }
    g->object = rec;
    ControlRecord* c = ControlOf(rec);
    if (c) {
        g->control = rec;
        g->itemNumber = c->itemNumber;
    }
    g->pos = RECT{rec->left, rec->top, rec->right, rec->bottom};
    if (FAILED(GenObjOpenStorage(g, store))) {
        delete g;
        return nullptr;
    }
    g->clientSite = new (std::nothrow) CQovIOleClientSite(g, g);
    g->inPlaceSite = new (std::nothrow) CQovIOleInPlaceSite(g, g);
    g->adviseSink = new (std::nothrow) CQovIAdviseSink(g, g);
    if (!g->clientSite || !g->inPlaceSite || !g->adviseSink) {
        ReleaseAndClear(g->storage);
        delete g;
        return nullptr;
    }
    g->AddRef();
    return g;
}

static void SetClientSite(CGenObject* g) {
    IOleClientSite* site = nullptr;
    g->QueryInterface(IID_IOleClientSite, reinterpret_cast<void**>(&site));
    g->oleObject->SetClientSite(site);
    if (site) site->Release();
}

static HRESULT GenObjPersistNew(CGenObject* g, BOOL isNew) {
    IPersistStorage* ps = nullptr;
    if (SUCCEEDED(g->oleObject->QueryInterface(IID_IPersistStorage, reinterpret_cast<void**>(&ps)))) {
        HRESULT hr = isNew ? ps->InitNew(g->storage) : ps->Load(g->storage);
        ps->Release();
        return hr;
    }
    IPersistStreamInit* psi = nullptr;
    HRESULT hr = g->oleObject->QueryInterface(IID_IPersistStreamInit, reinterpret_cast<void**>(&psi));
    if (FAILED(hr)) return hr;
    if (isNew) {
        hr = g->storage->CreateStream(L"Ctrl", kStreamCreateMode, 0, 0, &g->stream);
        if (SUCCEEDED(hr)) hr = psi->InitNew();
    } else {
        hr = g->storage->OpenStream(L"Ctrl", nullptr, kStreamOpenMode, 0, &g->stream);
        if (SUCCEEDED(hr)) hr = psi->Load(g->stream);
    }
    psi->Release();
    return hr;
}

static void MoveRecord(ObjectRecord* rec, int d) {
    rec->left += d;
    rec->top += d;
    rec->right += d;
    rec->bottom += d;
}

static BOOL GenObjConnectControl(CGenObject* g);

static BOOL GenObjSetup(CGenObject* g, BOOL showAfter, BOOL visible) {
    IAdviseSink* sink = nullptr;
    g->QueryInterface(IID_IAdviseSink, reinterpret_cast<void**>(&sink));
    if (SUCCEEDED(g->oleObject->Advise(sink, &g->oleCookie))) g->oleAdvised = 1;
    IViewObject2* view = nullptr;
    if (SUCCEEDED(g->oleObject->QueryInterface(IID_IViewObject2, reinterpret_cast<void**>(&view)))) {
        view->SetAdvise(g->aspect, ADVF_PRIMEFIRST, sink);
        view->GetExtent(g->aspect, -1, nullptr, &g->extent);
        view->Release();
    } else {
        g->oleObject->GetExtent(g->aspect, &g->extent);
    }
    IDataObject* data = nullptr;
    if (SUCCEEDED(g->oleObject->QueryInterface(IID_IDataObject, reinterpret_cast<void**>(&data)))) {
        FORMATETC fe = {0, nullptr, kAspectAll, kIndexAll, kTymedAll};
        if (SUCCEEDED(data->DAdvise(&fe, ADVF_NODATA, sink, &g->dataCookie))) g->dataAdvised = 1;
        data->Release();
    }
    if (sink) sink->Release();
    GenObjSyncExtent(g);
    g->oleObject->GetMiscStatus(g->aspect, &g->miscStatus);
    if (g->miscStatus & kMiscAlwaysRun) OleRun(g->oleObject);
    if (g->miscStatus & kMiscOnlyIconic) g->aspect = DVASPECT_ICON;
    GenObjSetHostNames(g);
    OleSetContainedObject(g->oleObject, TRUE);
    // The display type is a Container's field: an iconic Control has none to
    // write (Wine's script control is ONLYICONIC), so only a Container's is.
    if (g->aspect == DVASPECT_ICON && g->container) g->oleObject->GetExtent(DVASPECT_ICON, &g->iconExtent);
    if (showAfter) {
        GenObjSave(g);
        GenObjDoVerb(g, OLEIVERB_SHOW, nullptr);
    }
    if (g->miscStatus & kMiscActivateWhenVisible) {
        if (visible && (!(g->miscStatus & kMiscInvisibleAtRuntime) || gDesignMode == 1)) {
            GenObjDoVerb(g, OLEIVERB_INPLACEACTIVATE, nullptr);
            return TRUE;
        }
        ObjectRef ref = ObjectRefOf(g->object);
        MoveRecord(g->object, -kOffScreen);
        GenObjDoVerb(g, OLEIVERB_INPLACEACTIVATE, nullptr);
        GenObjDoVerb(g, OLEIVERB_HIDE, nullptr);
        if (!ObjectRefAlive(ref)) return FALSE;
        MoveRecord(g->object, kOffScreen);
        GenObjSetObjectRects(g);
    }
    return TRUE;
}

static BOOL GenObjConnectControl(CGenObject* g) {
    if (FAILED(g->oleObject->QueryInterface(IID_IOleControl, reinterpret_cast<void**>(&g->oleControl)))) return FALSE;
    ControlRecord* c = ControlOf(g->control);
    if (c) {
        c->info.cb = sizeof c->info;
        c->infoValid = SUCCEEDED(g->oleControl->GetControlInfo(&c->info)) ? 1 : 0;
    }
    if (!g->notifySink) g->notifySink = new (std::nothrow) CQovIPropertyNotifySink(g, g);
    IConnectionPointContainer* cpc = nullptr;
    if (g->notifySink &&
        SUCCEEDED(g->oleObject->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(&cpc)))) {
        IConnectionPoint* cp = nullptr;
        if (SUCCEEDED(cpc->FindConnectionPoint(IID_IPropertyNotifySink, &cp))) {
            g->notifyConnected = SUCCEEDED(cp->Advise(static_cast<IPropertyNotifySink*>(g->notifySink),
                                                      &g->notifyCookie)) ? 1 : 0;
            cp->Release();
        }
        cpc->Release();
    }
    return TRUE;
}

BOOL GenObjCreateControl(CGenObject* g, REFCLSID clsid, BOOL isNew, BOOL visible) {
    if (!g) return FALSE;
    if (!g->controlSite) g->controlSite = new (std::nothrow) CQovIOleControlSite(g, g);
    if (!g->ambient) g->ambient = new (std::nothrow) CAmbIDispatch(g, g);
    if (!g->controlSite || !g->ambient) return FALSE;
    HRESULT hr = CreateObjectFromClass(clsid, CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER, IID_IOleObject,
                                       reinterpret_cast<void**>(&g->oleObject), nullptr);
    if (FAILED(hr) || !g->oleObject) {
        g->oleObject = nullptr;
        WinErr(static_cast<unsigned long>(FAILED(hr) ? hr : E_NOINTERFACE));
        return FALSE;
    }
    g->oleObject->GetMiscStatus(DVASPECT_CONTENT, &g->miscStatus);
    bool siteFirst = (g->miscStatus & kMiscSetClientSiteFirst) != 0;
    if (siteFirst) SetClientSite(g);
    hr = GenObjPersistNew(g, isNew);
    if (FAILED(hr)) {
        WinErr(static_cast<unsigned long>(hr));
        return FALSE;
    }
    if (!siteFirst) SetClientSite(g);
    if (!GenObjSetup(g, FALSE, visible) || !GenObjConnectControl(g)) {
        if (!gErrorText[0]) WinErr(static_cast<unsigned long>(E_NOINTERFACE));
        return FALSE;
    }
    g->automation = AutoClientCreate(clsid, g->oleObject, g->object);
    return TRUE;
}

// ---- Rectangles, extent, host names ------------------------------------------------------------

RECT GenObjRect(CGenObject* g, bool) {
    ObjectRecord* rec = g->object;
    // A control may call its sites after its record went (GenObjRelease).
    if (!rec) return RECT{0, 0, 0, 0};
    RECT r = {rec->left, rec->top, rec->right, rec->bottom};
    if (rec->flags & kObjBorder) InflateRect(&r, (rec->flags & kObj3D) ? -2 : -1, (rec->flags & kObj3D) ? -2 : -1);
    WindowRecord* w = ObjectAsWindow(rec->parent);
    if (w) OffsetRect(&r, -w->scrollX, -w->scrollY);
    return r;
}

void GenObjSetObjectRects(CGenObject* g) {
    if (!g || !g->inPlaceActive || !g->inPlaceObject) return;
    RECT r = GenObjRect(g, true);
    RECT clip = {0, 0, 0, 0};
    ObjectRecord* parent = g->object->parent;
    if (parent && parent->hwnd) GetClientRect(parent->hwnd, &clip);
    g->inPlaceObject->SetObjectRects(&r, &clip);
}

void GenObjSyncExtent(CGenObject* g) {
    if (!g || !g->oleObject || !(g->miscStatus & kMiscRecomposeOnResize)) return;
    bool wasRunning = OleIsRunning(g->oleObject) != FALSE;
    if (!wasRunning) OleRun(g->oleObject);
    RECT r = GenObjRect(g, false);
    SIZE px = {r.right - r.left, r.bottom - r.top};
    SIZE hm;
    PixelsToHimetric(nullptr, &px, &hm);
    SIZEL ext = {hm.cx, hm.cy};
    g->oleObject->SetExtent(g->aspect, &ext);
    g->oleObject->Update();
    if (!wasRunning) g->oleObject->Close(OLECLOSE_SAVEIFDIRTY);
}

void GenObjSetHostNames(CGenObject* g) {
    if (!g || !g->oleObject) return;
    wchar_t app[32], form[32];
    MultiByteToWideChar(CP_ACP, 0, kHostApp, -1, app, 32);
    MultiByteToWideChar(CP_ACP, 0, kHostForm, -1, form, 32);
    g->oleObject->SetHostNames(app, form);
}

// ---- Drawing, verbs, focus ----------------------------------------------------------------------

void GenObjDraw(CGenObject* g, HDC hdc) {
    if (!g || !g->oleObject || g->inPlaceActive) return;
    if ((g->miscStatus & kMiscInvisibleAtRuntime) && gDesignMode == 0) return;
    RECT r = GenObjRect(g, false);
    RECTL bounds = {r.left, r.top, r.right, r.bottom};
    if (g->aspect == DVASPECT_ICON) {
        int w = g->iconExtent.cx ? HimetricToPixelsX(hdc, g->iconExtent.cx) : kIconBoxWidth;
        int h = g->iconExtent.cy ? HimetricToPixelsY(hdc, g->iconExtent.cy) : kIconBoxHeight;
        bounds = RECTL{r.left, r.top, r.left + w, r.top + h};
    }
    IViewObject* view = nullptr;
    HRESULT hr = E_FAIL;
    if (SUCCEEDED(g->oleObject->QueryInterface(IID_IViewObject, reinterpret_cast<void**>(&view)))) {
        hr = view->Draw(g->aspect, -1, nullptr, nullptr, nullptr, hdc, &bounds, nullptr, nullptr, 0);
        view->Release();
    }
    if (FAILED(hr)) OleDraw(g->oleObject, g->aspect, hdc, &r);
    if (g->openInWindow) {
        HBRUSH hatch = CreateHatchBrush(HS_BDIAGONAL, RGB(0, 0, 0));
        HGDIOBJ old = SelectObject(hdc, hatch);
        int rop = SetROP2(hdc, R2_MASKPEN);
        Rectangle(hdc, r.left, r.top, r.right, r.bottom);
        SetROP2(hdc, rop);
        SelectObject(hdc, old);
        DeleteObject(hatch);
    }
}

void GenObjDoVerb(CGenObject* g, LONG verb, MSG* msg) {
    if (!g || !g->oleObject) return;
    OleRun(g->oleObject);
    IOleClientSite* site = nullptr;
    g->QueryInterface(IID_IOleClientSite, reinterpret_cast<void**>(&site));
    RECT r = GenObjRect(g, true);
    HWND wnd = g->window ? g->window->hwnd : nullptr;
    if (g->object && g->object->parent && g->object->parent->hwnd) wnd = g->object->parent->hwnd;
    g->oleObject->DoVerb(verb, msg, site, -1, wnd, &r);
    if (site) site->Release();
}

int GenObjShowState(CGenObject* g, int state) {
    if (!g || !g->oleObject) return 0;
    ObjectRecord* rec = g->object;
    if (!rec->hwnd && g->inPlaceActive && g->inPlaceObject) {
        HWND wnd = nullptr;
        if (SUCCEEDED(g->inPlaceObject->GetWindow(&wnd)) && wnd) {
            rec->hwnd = wnd;
            if (UnlinkObject(rec)) LinkObject(rec);
        }
    }
    int visible = rec->hwnd ? (IsWindowVisible(rec->hwnd) ? 1 : 0) : 0;
    if (state == 0) {
        GenObjDoVerb(g, OLEIVERB_HIDE, nullptr);
    } else if (state == 1 || state == 4 || state == 5) {
        if (!(g->miscStatus & kMiscInvisibleAtRuntime) || gDesignMode == 1) GenObjDoVerb(g, OLEIVERB_SHOW, nullptr);
    }
    return visible;
}

int GenObjFocus(CGenObject* g) {
    if (!g || !g->oleObject) return 0;
    if (g->automation) {
        VARIANT v;
        VariantInit(&v);
        if (AutoPropGet(g->automation, nullptr, kDispIdEnabled, nullptr, &v) == 0 && V_VT(&v) == VT_BOOL &&
            V_BOOL(&v) == VARIANT_FALSE)
            return 0;
        VariantClear(&v);
    }
    // The verb may pump; the record is looked up again before it is read.
    ObjectRef ref = ObjectRefOf(g->object);
    if (!(g->miscStatus & kMiscNoUiActivate)) GenObjDoVerb(g, OLEIVERB_UIACTIVATE, nullptr);
    if (ObjectRefAlive(ref) && g->object->hwnd) SetFocus(g->object->hwnd);
    return 1;
}

void GenObjMnemonic(CGenObject* g, MSG* msg) {
    if (!g || !g->oleControl) return;
    if (!(g->miscStatus & kMiscNoUiActivate)) GenObjFocus(g);
    if (g->oleControl) g->oleControl->OnMnemonic(msg);
}

void GenObjAmbientChanged(CGenObject* g, DISPID id) {
    if (g && g->oleControl) g->oleControl->OnAmbientPropertyChange(id);
}

HRESULT GenObjPropertyPages(CGenObject* g, HWND owner, DISPID id, const CLSID* page) {
    if (!g || !g->oleObject) return E_FAIL;
    wchar_t caption[32];
    MultiByteToWideChar(CP_ACP, 0, kPropPagesCaption, -1, caption, 32);
    IUnknown* obj = g->oleObject;
    if (page) {
        OCPFIPARAMS p = {};
        p.cbStructSize = kPropFrameParamsSize;
        p.hWndOwner = owner;
        p.lpszCaption = caption;
        p.cObjects = 1;
        p.lplpUnk = &obj;
        p.cPages = 1;
        p.lpPages = const_cast<CLSID*>(page);
        p.lcid = kLocaleUserDefault;
        p.dispidInitialProperty = id;
        return OleCreatePropertyFrameIndirect(&p);
    }
    return OleCreatePropertyFrame(owner, 0, 0, caption, 1, &obj, 0, nullptr, kLocaleUserDefault, 0, nullptr);
}

// ---- Saving, deactivation, release -------------------------------------------------------------

HRESULT GenObjSave(CGenObject* g) {
    if (!g || !g->oleObject) return E_FAIL;
    if (g->stream) {
        IPersistStreamInit* psi = nullptr;
        HRESULT hr = g->oleObject->QueryInterface(IID_IPersistStreamInit, reinterpret_cast<void**>(&psi));
        if (FAILED(hr)) return hr;
        LARGE_INTEGER zero = {};
        g->stream->Seek(zero, STREAM_SEEK_SET, nullptr);
        hr = psi->Save(g->stream, TRUE);
        psi->Release();
        g->stream->Commit(0);
        if (g->storage) g->storage->Commit(0);
        return hr;
    }
    if (!g->storage) return S_OK;
    IPersistStorage* ps = nullptr;
    if (FAILED(g->oleObject->QueryInterface(IID_IPersistStorage, reinterpret_cast<void**>(&ps)))) return E_FAIL;
    HRESULT hr = OleSave(ps, g->storage, TRUE);
    ps->SaveCompleted(nullptr);
    ps->Release();
    g->storage->Commit(0);
    return hr;
}

void GenObjDeactivate(CGenObject* g, int force) {
    if (!g) return;
    if (g->uiActive && g->inPlaceObject) g->inPlaceObject->UIDeactivate();
    if (force == 1 || !(g->miscStatus & kMiscActivateWhenVisible)) {
        if (g->inPlaceLocks == 0) {
            if (g->inPlaceObject) g->inPlaceObject->InPlaceDeactivate();
        } else {
            g->deactivatePending = 1;
        }
    }
}

void GenObjClose(CGenObject* g) {
    if (!g || !g->oleObject) return;
    if (g->inPlaceActive) GenObjDeactivate(g, 1);
    g->oleObject->Close(OLECLOSE_NOSAVE);
}

void GenObjRelease(CGenObject* g) {
    if (!g || g->released) return;
    g->released = true;
    // Holds itself: the object's last release of a site may come in between.
    g->AddRef();
    GenObjClose(g);
    ReleaseAndClear(g->oleLink);
    if (g->oleObject) {
        IViewObject* view = nullptr;
        if (SUCCEEDED(g->oleObject->QueryInterface(IID_IViewObject, reinterpret_cast<void**>(&view)))) {
            view->SetAdvise(g->aspect, 0, nullptr);
            view->Release();
        }
        if (g->oleAdvised) g->oleObject->Unadvise(g->oleCookie);
        IDataObject* data = nullptr;
        if (g->dataAdvised &&
            SUCCEEDED(g->oleObject->QueryInterface(IID_IDataObject, reinterpret_cast<void**>(&data)))) {
            data->DUnadvise(g->dataCookie);
            data->Release();
        }
        if (g->notifyConnected) {
            IConnectionPointContainer* cpc = nullptr;
            if (SUCCEEDED(g->oleObject->QueryInterface(IID_IConnectionPointContainer,
                                                       reinterpret_cast<void**>(&cpc)))) {
                IConnectionPoint* cp = nullptr;
                if (SUCCEEDED(cpc->FindConnectionPoint(IID_IPropertyNotifySink, &cp))) {
                    cp->Unadvise(g->notifyCookie);
                    cp->Release();
                }
                cpc->Release();
            }
            g->notifyConnected = 0;
        }
    }
    g->oleAdvised = g->dataAdvised = 0;
    // The event connection goes before the object so no late event reaches a freed record.
    AutoClient* a = g->automation;
    g->automation = nullptr;
    AutoClientFree(a);
    ReleaseAndClear(g->stream);
    if (g->storage) {
        g->storage->Commit(0);
        ReleaseAndClear(g->storage);
        IStorage* root = OleFormRootStorage(g->formOle);
        if (root) {
            wchar_t name[32];
            swprintf(name, 32, L"QovBlob%lu", static_cast<unsigned long>(g->itemNumber));
            root->DestroyElement(name);
            root->Commit(0);
        }
    }
    ReleaseAndClear(g->oleControl);
    ReleaseAndClear(g->inPlaceObject);
    if (g->oleObject) {
        g->oleObject->SetClientSite(nullptr);
        ReleaseAndClear(g->oleObject);
    }
    if (g->formOle && g->formOle->uiActiveObject == g) {
        g->formOle->uiActiveObject = nullptr;
        g->formOle->uiActiveFlag = 0;
    }
    // The records go with the object; sites a control still holds find none.
    g->object = nullptr;
    g->control = nullptr;
    g->window = nullptr;
    g->Release();
}

AutoClient* GenObjGetAutomation(CGenObject* g) {
    if (!g) return nullptr;
    if (!g->automation && g->oleObject) {
        OleRun(g->oleObject);
        g->automation = AutoClientCreate(CLSID_NULL, g->oleObject, g->object);
    }
    return g->automation;
}

IUnknown* GenObjGetUnknown(CGenObject* g) {
    IUnknown* u = nullptr;
    if (!g || !g->oleObject || FAILED(g->oleObject->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&u))))
        return nullptr;
    return u;
}

// ---- Enumerator ---------------------------------------------------------------------------------
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

// Holds one reference to each element; a clone takes its own; destruction
// releases them.
class CQovEnumUnknown final : public OneFace<IEnumUnknown, IID_IEnumUnknown> {
public:
    ~CQovEnumUnknown() {
        for (IUnknown* u : items_)
            if (u) u->Release();
    }
    bool Fill(IUnknown* const* items, ULONG n) {
        try {
            items_.assign(items, items + n);
        } catch (...) {
            return false;
        }
        for (IUnknown* u : items_)
            if (u) u->AddRef();
        return true;
    }
    STDMETHODIMP Next(ULONG n, IUnknown** out, ULONG* fetched) override {
        if (fetched) *fetched = 0;
        if (items_.empty()) return S_FALSE;
        if (!fetched && n != 1) return E_POINTER;
        if (!out || cursor_ >= items_.size()) return S_FALSE;
        ULONG got = 0;
        while (got < n && cursor_ < items_.size()) {
            IUnknown* u = items_[cursor_++];
            if (u) u->AddRef();
            out[got++] = u;
        }
        if (fetched) *fetched = got;
        // Fewer than asked for is S_FALSE, as every enumerator answers.
        return got == n ? S_OK : S_FALSE;
    }
    STDMETHODIMP Skip(ULONG n) override {
        if (items_.empty() || cursor_ + n >= items_.size()) return S_FALSE;
        cursor_ += n;
        return S_OK;
    }
    STDMETHODIMP Reset() override {
        cursor_ = 0;
        return S_OK;
    }
    STDMETHODIMP Clone(IEnumUnknown** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        CQovEnumUnknown* e = new (std::nothrow) CQovEnumUnknown();
        if (!e || !e->Fill(items_.data(), static_cast<ULONG>(items_.size()))) {
            delete e;
            return E_OUTOFMEMORY;
        }
        e->cursor_ = cursor_;
        e->AddRef();
        *out = e;
        return S_OK;
    }

private:
    size_t cursor_ = 0;
    std::vector<IUnknown*> items_;
};

IEnumUnknown* EnumUnknownCreate(IUnknown* const* items, ULONG n) {
    CQovEnumUnknown* e = new (std::nothrow) CQovEnumUnknown();
    if (!e || !e->Fill(items, n)) {
        delete e;
        return nullptr;
    }
    e->AddRef();
    return e;
}

// ---- In-place frame and item container of a window ---------------------------------------------

// A face of a window's form support, counted like a site.
template <class I>
class FormPart : public OuterPart<I> {
public:
    explicit FormPart(CQovFormOleSupport* form) : OuterPart<I>(form), form_(form) {}

protected:
    CQovFormOleSupport* form_;
};

class CQovIOleInPlaceFrame final : public FormPart<IOleInPlaceFrame> {
public:
    CQovIOleInPlaceFrame(CQovFormOleSupport* form, ObjectRecord* window) : FormPart(form), window_(window) {}
    ~CQovIOleInPlaceFrame() { ReleaseAndClear(active_); }
    STDMETHODIMP GetWindow(HWND* out) override {
        if (!out) return E_POINTER;
        *out = window_ ? window_->hwnd : nullptr;
        return S_OK;
    }
    STDMETHODIMP ContextSensitiveHelp(BOOL) override { return S_OK; }
    STDMETHODIMP GetBorder(LPRECT rect) override {
        if (!rect) return E_INVALIDARG;
        SetRectEmpty(rect);
        if (!(WindowStyleBits(window_) & kWsNegBorders)) return INPLACE_E_NOTOOLSPACE;
        if (window_->hwnd) GetClientRect(window_->hwnd, rect);
        return S_OK;
    }
    STDMETHODIMP RequestBorderSpace(LPCBORDERWIDTHS) override {
        return (WindowStyleBits(window_) & kWsNegBorders) ? S_OK : INPLACE_E_NOTOOLSPACE;
    }
    STDMETHODIMP SetBorderSpace(LPCBORDERWIDTHS) override {
        return (WindowStyleBits(window_) & kWsNegBorders) ? S_OK : INPLACE_E_NOTOOLSPACE;
    }
    STDMETHODIMP SetActiveObject(IOleInPlaceActiveObject* obj, LPCOLESTR) override {
        if (obj) obj->AddRef();
        ReleaseAndClear(active_);
        active_ = obj;
        return S_OK;
    }
    // Merging the window's Menu objects into a control's shared menu needs the
    // menu group of a Menu object, which the Menu kind does not keep yet: a
    // window that asks for merging (style bit 0x100000) is told so, one that
    // does not gets no groups.
    STDMETHODIMP InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS widths) override {
        if (widths) widths->width[0] = widths->width[2] = widths->width[4] = 0;
        return (WindowStyleBits(window_) & kWsNegMenus) ? E_NOTIMPL : S_OK;
    }
    STDMETHODIMP SetMenu(HMENU shared, HOLEMENU hole, HWND activeWnd) override {
        if (!(WindowStyleBits(window_) & kWsNegMenus)) return S_OK;
        HWND wnd = window_->hwnd;
        if (!shared) return OleSetMenuDescriptor(nullptr, wnd, nullptr, nullptr, nullptr);
        ::SetMenu(wnd, shared);
        return OleSetMenuDescriptor(hole, wnd, activeWnd, nullptr, nullptr);
    }
    STDMETHODIMP RemoveMenus(HMENU) override {
        return (WindowStyleBits(window_) & kWsNegMenus) ? E_NOTIMPL : S_OK;
    }
    STDMETHODIMP SetStatusText(LPCOLESTR) override { return E_FAIL; }
    // EnableAllWindows marks the windows held disabled, as a modal window
    // does; the frame remembers that the hold is its own, so the control's
    // EnableModeless(TRUE) gives the windows back while a modal window's hold
    // is left alone.
    STDMETHODIMP EnableModeless(BOOL enable) override {
        if (!enable) {
            if (gAllWindowsDisabled) return S_OK;
            EnableAllWindows(false);
            holdsWindows_ = true;
        } else if (holdsWindows_) {
            holdsWindows_ = false;
            EnableAllWindows(true);
        } else if (!gAllWindowsDisabled) {
            EnableAllWindows(true);
        }
        return S_OK;
    }
    STDMETHODIMP TranslateAccelerator(LPMSG, WORD) override { return S_FALSE; }
    IOleInPlaceActiveObject* Active() { return active_; }
    void Detach() {
        window_ = nullptr;
        ReleaseAndClear(active_);
        if (holdsWindows_) {
            holdsWindows_ = false;
            EnableAllWindows(true);
        }
    }

private:
    ObjectRecord* window_;
    IOleInPlaceActiveObject* active_ = nullptr;
    bool holdsWindows_ = false;
};

static void CollectUnknowns(ObjectRecord* container, std::vector<IUnknown*>* out);

class CQovIOleItemContainer final : public FormPart<IOleItemContainer> {
public:
    using FormPart::FormPart;
    STDMETHODIMP ParseDisplayName(IBindCtx*, LPOLESTR, ULONG* eaten, IMoniker** out) override {
        if (eaten) *eaten = 0;
        if (out) *out = nullptr;
        return MK_E_SYNTAX;
    }
    STDMETHODIMP EnumObjects(DWORD flags, IEnumUnknown** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        std::vector<IUnknown*> list;
        if ((flags & OLECONTF_EMBEDDINGS) && form_->window) CollectUnknowns(form_->window, &list);
        *out = EnumUnknownCreate(list.data(), static_cast<ULONG>(list.size()));
        for (IUnknown* u : list) u->Release();
        return *out ? S_OK : E_OUTOFMEMORY;
    }
    STDMETHODIMP LockContainer(BOOL) override { return S_OK; }
    STDMETHODIMP GetObject(LPOLESTR, DWORD speed, IBindCtx*, REFIID, void** out) override {
        if (out) *out = nullptr;
        return speed == kBindSpeedModerate || speed == kBindSpeedImmediate ? MK_E_EXCEEDEDDEADLINE : MK_E_NOOBJECT;
    }
    STDMETHODIMP GetObjectStorage(LPOLESTR, IBindCtx*, REFIID, void** out) override {
        if (out) *out = nullptr;
        return E_NOTIMPL;
    }
    STDMETHODIMP IsRunning(LPOLESTR) override { return S_FALSE; }
};

static void CollectUnknowns(ObjectRecord* container, std::vector<IUnknown*>* out) {
    for (ObjectRecord* c = container->children; c; c = c->next) {
        if (c->kind == kKindControl) {
            ControlRecord* ctl = ControlOf(c);
            IUnknown* u = ctl && ctl->object ? GenObjGetUnknown(ctl->object) : nullptr;
            if (u) out->push_back(u);
        } else if (c->kind == kKindPanel && !ObjectIsWebView(c)) {
            CollectUnknowns(c, out);
        }
    }
}

// The drop target: registered with the window; choosing a Container under the
// point and creating from dropped data come with Containers, so until then
// nothing is accepted.
class CQovDropTgt final : public OneFace<IDropTarget, IID_IDropTarget> {
public:
    explicit CQovDropTgt(ObjectRecord* window) : window_(window) {}
    STDMETHODIMP DragEnter(IDataObject*, DWORD, POINTL, DWORD* effect) override { return NoDrop(effect); }
    STDMETHODIMP DragOver(DWORD, POINTL, DWORD* effect) override { return NoDrop(effect); }
    STDMETHODIMP DragLeave() override { return S_OK; }
    STDMETHODIMP Drop(IDataObject*, DWORD, POINTL, DWORD* effect) override { return NoDrop(effect); }
    ObjectRecord* Window() const { return window_; }
    void Detach() { window_ = nullptr; }

private:
    static HRESULT NoDrop(DWORD* effect) {
        if (effect) *effect = DROPEFFECT_NONE;
        return S_OK;
    }
    ObjectRecord* window_;
};

// ---- Form support ----------------------------------------------------------------------------------

STDMETHODIMP CQovFormOleSupport::QueryInterface(REFIID iid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    IUnknown* p = nullptr;
    if (IsEqualIID(iid, IID_IUnknown)) p = this;
    else if (IsEqualIID(iid, IID_IOleWindow) || IsEqualIID(iid, IID_IOleInPlaceUIWindow) ||
             IsEqualIID(iid, IID_IOleInPlaceFrame))
        p = frame;
    else if (IsEqualIID(iid, IID_IOleItemContainer) || IsEqualIID(iid, IID_IOleContainer) ||
             IsEqualIID(iid, IID_IParseDisplayName))
        p = items;
    if (!p) return E_NOINTERFACE;
    p->AddRef();
    *out = p;
    return S_OK;
}

CQovFormOleSupport::~CQovFormOleSupport() {
    ReleaseAndClear(moniker);
    ReleaseAndClear(root);
    ReleaseAndClear(saved);
    ReleaseAndClear(savedBytes);
    delete frame;
    delete items;
    ReleaseAndClear(font);
    if (drop) {
        if (dropRegistered && drop->Window() && drop->Window()->hwnd) RevokeDragDrop(drop->Window()->hwnd);
        CoLockObjectExternal(drop, FALSE, TRUE);
        drop->Release();
        drop = nullptr;
    }
}

static void UpdateFont(CQovFormOleSupport* f) {
    ReleaseAndClear(f->font);
    f->font = f->window ? FontToIFontDisp(f->window->font) : nullptr;
}

CQovFormOleSupport* OleFormSupportCreate(ObjectRecord* window, const char* monikerName) {
    CQovFormOleSupport* f = new (std::nothrow) CQovFormOleSupport();
    if (!f) {
        WinErr(kWinErrNoMemory);
        return nullptr;
    }
    f->window = SiteWindow(window);
    if (monikerName) {
        wchar_t* w = AnsiToWideTemp(monikerName);
        if (w) CreateFileMoniker(w, &f->moniker);
    }
    HRESULT hr = StgCreateDocfile(nullptr, kRootMode, 0, &f->root);
    if (FAILED(hr)) {
        WinErr(static_cast<unsigned long>(hr));
        delete f;
        return nullptr;
    }
    f->frame = new (std::nothrow) CQovIOleInPlaceFrame(f, f->window);
    f->items = new (std::nothrow) CQovIOleItemContainer(f);
    f->drop = new (std::nothrow) CQovDropTgt(f->window);
    if (!f->frame || !f->items || !f->drop) {
        WinErr(kWinErrNoMemory);
        delete f;
        return nullptr;
    }
    f->drop->AddRef();
    CoLockObjectExternal(f->drop, TRUE, FALSE);
    if (f->window && f->window->hwnd) f->dropRegistered = SUCCEEDED(RegisterDragDrop(f->window->hwnd, f->drop));
    UpdateFont(f);
    f->AddRef();
    return f;
}

CQovFormOleSupport* OleFormOf(ObjectRecord* window) {
    WindowRecord* w = ObjectAsWindow(window);
    return w ? static_cast<CQovFormOleSupport*>(w->oleSupport) : nullptr;
}
IOleInPlaceFrame* OleFormFrame(CQovFormOleSupport* f) { return f ? f->frame : nullptr; }
IOleItemContainer* OleFormItemContainer(CQovFormOleSupport* f) { return f ? f->items : nullptr; }
IStorage* OleFormRootStorage(CQovFormOleSupport* f) { return f ? f->root : nullptr; }
IMoniker* OleFormMoniker(CQovFormOleSupport* f) { return f ? f->moniker : nullptr; }

int OleFormEnsure(ObjectRecord* window, const char* monikerName) {
    WindowRecord* w = ObjectAsWindow(window);
    if (!w) return 0;
    if (w->oleSupport) return 1;
    w->oleSupport = OleFormSupportCreate(window, monikerName);
    return w->oleSupport ? 1 : 0;
}

void OleFormRelease(ObjectRecord* window) {
    WindowRecord* w = ObjectAsWindow(window);
    if (!w || !w->oleSupport) return;
    CQovFormOleSupport* f = static_cast<CQovFormOleSupport*>(w->oleSupport);
    w->oleSupport = nullptr;
    // The window goes now; objects still holding the form support keep only
    // its storage, never the window's record or handle.
    if (f->dropRegistered && window->hwnd) RevokeDragDrop(window->hwnd);
    f->dropRegistered = false;
    if (f->frame) f->frame->Detach();
    if (f->drop) f->drop->Detach();
    f->window = nullptr;
    f->Release();
}

void OleFormUpdateFont(ObjectRecord* window) {
    CQovFormOleSupport* f = OleFormOf(window);
    if (f) UpdateFont(f);
}

void OleFormFrameActivate(ObjectRecord* window, BOOL activate) {
    CQovFormOleSupport* f = OleFormOf(window);
    IOleInPlaceActiveObject* a = f && f->frame ? f->frame->Active() : nullptr;
    if (a) a->OnFrameWindowActivate(activate);
}

int OleFormDeactivate(ObjectRecord* window) {
    CQovFormOleSupport* f = OleFormOf(window);
    if (!f || !f->uiActiveFlag || !f->uiActiveObject) return 0;
    CGenObject* g = f->uiActiveObject;
    g->AddRef();
    GenObjDeactivate(g, 0);
    if (g->object && (g->object->flags & kObjShown)) RedrawObject(g->object, true);
    g->Release();
    return 1;
}

int OleFormTranslateAccel(ObjectRecord* window, MSG* msg) {
    CQovFormOleSupport* f = OleFormOf(window);
    IOleInPlaceActiveObject* a = f && f->frame ? f->frame->Active() : nullptr;
    if (!a) return 0;
    a->AddRef();
    HRESULT hr = a->TranslateAccelerator(msg);
    a->Release();
    return hr == S_OK ? 1 : 0;
}
