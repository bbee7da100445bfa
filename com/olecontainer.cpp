// olecontainer.cpp - the container side of one hosted ActiveX control
// (CGenObject): creation by class, persistence, the activation sequence,
// drawing, verbs, focus, mnemonics and release; the six site objects through
// which the control calls back; and the per-window form support with its
// in-place frame, item container, enumerator and drop target.
#include "com/olecontainer.h"
#include "com/oleinternal.h"

#include <cstdio>
#include <cstring>
#include <new>
#include <oledlg.h>
#include <vector>

#include "com/autoclient.h"
#include "com/autoserver.h"
#include "com/oleutil.h"
#include "controls/controls.h"
#include "controls/ctlcore.h"
#include "forms/formload.h"
#include "objects/events.h"
#include "objects/focus.h"
#include "objects/objops.h"
#include "objects/objrecord.h"
#include "objects/paint.h"
#include "objects/pump.h"
#include "objects/window.h"
#include "session/config.h"
#include "session/util/codepage.h"
#include "session/util/strutil.h"

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
constexpr uint8_t kUpdatedEventKind = 32;
constexpr uint32_t kVerbTextMax = 256;
constexpr DWORD kFileNameMax = 260;
constexpr char kInsertCaption[] = "Insert Object";
constexpr char kHostApp[] = "QO/V Application";
constexpr char kHostForm[] = "QO/V Form";
constexpr char kPropPagesCaption[] = "Property Pages";
constexpr size_t kBlobNameSize = 32;
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

void OleForgetUiActive(ObjectRecord* rec) {
    WindowRecord* w = ObjectAsWindow(ObjectTopWindow(rec));
    if (w && w->uiActiveObject == rec) w->uiActiveObject = nullptr;
}

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
    // A Container's window names it as its UI-active object. (A window may ask
    // for its objects' windows to be kept in z-order, which would raise the
    // object's window here; no window keeps that setting, so none is raised.)
    if (owner_->object && owner_->object->kind == kKindContainer) {
        WindowRecord* w = ObjectAsWindow(ObjectTopWindow(owner_->object));
        if (w) w->uiActiveObject = owner_->object;
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
    if (owner_->object) OleForgetUiActive(owner_->object);
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
// Only a Container's object raises $UPDATED (data 1, close 2, rename 3, save
// 4), and only when the Container registered it; a Control's object changes
// nothing but its view (the extent is read again and the window repainted).
class CQovIAdviseSink final : public SiteBase<IAdviseSink2> {
public:
    using SiteBase::SiteBase;
    STDMETHODIMP_(void) OnDataChange(FORMATETC*, STGMEDIUM*) override { PostUpdated(kUpdatedData); }
    STDMETHODIMP_(void) OnViewChange(DWORD, LONG) override {
        IViewObject2* v = nullptr;
        if (owner_->oleObject &&
            SUCCEEDED(owner_->oleObject->QueryInterface(IID_IViewObject2, reinterpret_cast<void**>(&v)))) {
            v->GetExtent(DVASPECT_CONTENT, -1, nullptr, &owner_->extent);
            v->Release();
        }
        if (owner_->window && owner_->window->hwnd) InvalidateRect(owner_->window->hwnd, nullptr, TRUE);
    }
    STDMETHODIMP_(void) OnRename(IMoniker*) override { PostUpdated(kUpdatedRename); }
    STDMETHODIMP_(void) OnSave() override { PostUpdated(kUpdatedSave); }
    STDMETHODIMP_(void) OnClose() override {
        ++closeCount;
        PostUpdated(kUpdatedClose);
    }
    STDMETHODIMP_(void) OnLinkSrcChange(IMoniker*) override {}
    int closeCount = 0;

private:
    enum UpdatedValue : int32_t { kUpdatedData = 1, kUpdatedClose = 2, kUpdatedRename = 3, kUpdatedSave = 4 };
    void PostUpdated(int32_t value) {
        ObjectRecord* rec = owner_->container;
        if (rec && EventIsRegistered(rec, kEvUpdated)) PostObjectEvent(rec, kEvUpdated, kUpdatedEventKind, 0, value);
    }
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

static void GenObjLeaveForm(CGenObject* g);

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
    GenObjLeaveForm(this);
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
    s.closeNotices = g->adviseSink ? g->adviseSink->closeCount : 0;
    s.oleObject = g->oleObject;
    s.oleControl = g->oleControl;
    return s;
}

IUnknown* GenObjSite(CGenObject* g, REFIID iid) {
    IUnknown* p = nullptr;
    if (!g || FAILED(g->QueryInterface(iid, reinterpret_cast<void**>(&p)))) return nullptr;
    return p;
}

static void BlobName(uint32_t number, wchar_t* out) {
    swprintf(out, kBlobNameSize, L"QovBlob%lu", static_cast<unsigned long>(number));
}

// A new sub-storage in the form's root; with saved data for the object, the
// saved sub-storage of its item number is copied in. A saved storage that
// cannot be opened, or has no such sub-storage, leaves the new one empty.
static HRESULT GenObjOpenStorage(CGenObject* g, OleStoreInfo* store) {
    IStorage* root = OleFormRootStorage(g->formOle);
    if (!root) return E_FAIL;
    wchar_t name[kBlobNameSize];
    BlobName(g->itemNumber, name);
    HRESULT hr = root->CreateStorage(name, kStorageMode, 0, 0, &g->storage);
    if (FAILED(hr) || !store || !store->itemNumber) return hr;
    IStorage* saved = FormSavedStorage(g->formOle, store);
    if (!saved) return hr;
    wchar_t savedName[kBlobNameSize];
    BlobName(store->itemNumber, savedName);
    IStorage* from = nullptr;
    if (SUCCEEDED(saved->OpenStorage(savedName, nullptr, kStreamOpenMode | STGM_TRANSACTED, nullptr, 0, &from))) {
        if (SUCCEEDED(from->CopyTo(0, nullptr, nullptr, g->storage))) g->storage->Commit(0);
        from->Release();
    }
    return hr;
}

CGenObject* GenObjNew(ObjectRecord* window, ObjectRecord* rec, OleStoreInfo* store) {
    CGenObject* g = new (std::nothrow) CGenObject();
    if (!g) return nullptr;
    g->window = SiteWindow(window);
    g->formOle = OleFormOf(window);
    if (g->formOle) {
        g->formOle->AddRef();
        g->formOle->objects++;
    }
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
    if (ControlOf(rec)) g->control = rec;
    if (ContainerRecord* k = ContainerOf(rec)) {
        g->container = rec;
        if (k->displayType == kDisplayIcon) g->aspect = DVASPECT_ICON;
    }
    g->itemNumber = OleItemNumberOf(rec);
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

// True when a storage holds no element: the state of an object that saved
// nothing (its class alone).
static bool StorageIsEmpty(IStorage* stg) {
    IEnumSTATSTG* e = nullptr;
    if (!stg || FAILED(stg->EnumElements(0, nullptr, 0, &e)) || !e) return false;
    STATSTG st = {};
    ULONG got = 0;
    bool empty = e->Next(1, &st, &got) != S_OK || got == 0;
    if (got) CoTaskMemFree(st.pwcsName);
    e->Release();
    return empty;
}

static bool StreamIsEmpty(IStream* stream) {
    STATSTG st = {};
    return stream && SUCCEEDED(stream->Stat(&st, STATFLAG_NONAME)) && st.cbSize.QuadPart == 0;
}

// A control initialised new, or loaded from its saved state. A state saved
// empty, or a control that cannot load one (E_NOTIMPL), starts new: the
// control could not save itself either, and its class is all the form keeps.
static HRESULT GenObjPersistNew(CGenObject* g, BOOL isNew) {
    IPersistStorage* ps = nullptr;
    if (SUCCEEDED(g->oleObject->QueryInterface(IID_IPersistStorage, reinterpret_cast<void**>(&ps)))) {
        HRESULT hr = isNew || StorageIsEmpty(g->storage) ? E_NOTIMPL : ps->Load(g->storage);
        if (hr == E_NOTIMPL) hr = ps->InitNew(g->storage);
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
        if (SUCCEEDED(hr)) {
            hr = StreamIsEmpty(g->stream) ? E_NOTIMPL : psi->Load(g->stream);
            if (hr == E_NOTIMPL) hr = psi->InitNew();
        }
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

static BOOL GenObjSetup(CGenObject* g, BOOL showAfter, HGLOBAL iconPict, BOOL visible) {
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
    if (ContainerRecord* k = ContainerOf(g->container)) {
        if (g->aspect == DVASPECT_ICON) {
            k->displayType = kDisplayIcon;
            DWORD aspect = DVASPECT_CONTENT;
            SwitchDisplayAspect(g->oleObject, &aspect, DVASPECT_ICON, iconPict, FALSE, FALSE, nullptr, nullptr);
            g->oleObject->GetExtent(DVASPECT_ICON, &g->iconExtent);
        } else {
            k->displayType = kDisplayContent;
        }
    }
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
    if (!GenObjSetup(g, FALSE, nullptr, visible) || !GenObjConnectControl(g)) {
        if (!gErrorText[0]) WinErr(static_cast<unsigned long>(E_NOINTERFACE));
        return FALSE;
    }
    g->automation = AutoClientCreate(clsid, g->oleObject, g->object);
    return TRUE;
}

// ---- Container objects -------------------------------------------------------------------------

// Mode 9: the saved object. A state saved empty, or an object that cannot
// load one (E_NOTIMPL), is made new of the class its sub-storage names.
static HRESULT LoadSaved(CGenObject* g, IOleClientSite* site, void** out) {
    HRESULT hr = StorageIsEmpty(g->storage) ? E_NOTIMPL : OleLoad(g->storage, IID_IOleObject, site, out);
    if (hr != E_NOTIMPL) return hr;
    CLSID clsid;
    if (FAILED(ReadClassStg(g->storage, &clsid)) || IsEqualCLSID(clsid, CLSID_NULL)) return hr;
    return OleCreate(clsid, IID_IOleObject, OLERENDER_DRAW, nullptr, site, g->storage, out);
}

// The object of a Container by its creation mode; every call asks for
// IOleObject drawn by the object itself, with the client site and the
// object's sub-storage.
static HRESULT CreateByMode(CGenObject* g, uint16_t mode, const CLSID* clsid, const char* file, IDataObject* data,
                            BOOL* showAfter) {
    IOleClientSite* site = nullptr;
    g->QueryInterface(IID_IOleClientSite, reinterpret_cast<void**>(&site));
    void** out = reinterpret_cast<void**>(&g->oleObject);
    wchar_t* wfile = nullptr;
    wchar_t path[kFileNameMax + 1] = L"";
    if (file) {
        wfile = AnsiToWideTemp(file);
        if (wfile) lstrcpynW(path, wfile, kFileNameMax + 1);
    }
    HRESULT hr = E_FAIL;
    switch (mode) {
    case kModeLinkFile:
        hr = file ? OleCreateLinkToFile(path, IID_IOleObject, OLERENDER_DRAW, nullptr, site, g->storage, out)
                  : E_INVALIDARG;
        break;
    case kModeLinkData:
        hr = data ? OleCreateLinkFromData(data, IID_IOleObject, OLERENDER_DRAW, nullptr, site, g->storage, out)
                  : E_INVALIDARG;
        break;
    case kModeStatic:
        hr = data ? OleCreateStaticFromData(data, IID_IOleObject, OLERENDER_DRAW, nullptr, site, g->storage, out)
                  : E_INVALIDARG;
        break;
    case kModeNew:
        hr = clsid ? OleCreate(*clsid, IID_IOleObject, OLERENDER_DRAW, nullptr, site, g->storage, out) : E_INVALIDARG;
        *showAfter = TRUE;
        break;
    case kModeFromFile:
        hr = file ? OleCreateFromFile(CLSID_NULL, path, IID_IOleObject, OLERENDER_DRAW, nullptr, site, g->storage,
                                      out)
                  : E_INVALIDARG;
        break;
    case kModeFromData:
        hr = data ? OleCreateFromData(data, IID_IOleObject, OLERENDER_DRAW, nullptr, site, g->storage, out)
                  : E_INVALIDARG;
        break;
    case kModeLoad: hr = LoadSaved(g, site, out); break;
    default: hr = E_FAIL; break;
    }
    if (site) site->Release();
    if (FAILED(hr)) g->oleObject = nullptr;
    return hr;
}

// Mode 1: a control chosen in the Insert Object dialog, created as a Control's
// control is and initialised new.
static HRESULT CreateControlMode(CGenObject* g, const CLSID& clsid) {
    if (!g->controlSite) g->controlSite = new (std::nothrow) CQovIOleControlSite(g, g);
    if (!g->ambient) g->ambient = new (std::nothrow) CAmbIDispatch(g, g);
    if (!g->controlSite || !g->ambient) return E_OUTOFMEMORY;
    HRESULT hr = CreateObjectFromClass(clsid, CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER, IID_IOleObject,
                                       reinterpret_cast<void**>(&g->oleObject), nullptr);
    if (FAILED(hr) || !g->oleObject) {
        g->oleObject = nullptr;
        return FAILED(hr) ? hr : E_NOINTERFACE;
    }
    g->oleObject->GetMiscStatus(DVASPECT_CONTENT, &g->miscStatus);
    bool siteFirst = (g->miscStatus & kMiscSetClientSiteFirst) != 0;
    if (siteFirst) SetClientSite(g);
    hr = GenObjPersistNew(g, TRUE);
    if (FAILED(hr)) return hr;
    if (!siteFirst) SetClientSite(g);
    return S_OK;
}

// The record's ClassId becomes the object's ProgID (empty without one). An
// object that cannot tell its class (Wine's script control) keeps the text it had.
static void TakeProgId(CGenObject* g) {
    ContainerRecord* k = ContainerOf(g->container);
    CLSID clsid;
    if (!k || FAILED(g->oleObject->GetUserClassID(&clsid))) return;
    LPOLESTR progId = nullptr;
    k->classId[0] = 0;
    if (SUCCEEDED(ProgIDFromCLSID(clsid, &progId)) && progId) {
        char* a = WideToAnsiTemp(progId);
        if (a) {
            strncpy(k->classId, a, kClassIdMax);
            k->classId[kClassIdMax] = 0;
        }
    }
    IMalloc* m = nullptr;
    if (progId && SUCCEEDED(CoGetMalloc(1, &m))) {
        m->Free(progId);
        m->Release();
    }
}

BOOL GenObjCreate(CGenObject* g, const CLSID* clsid, const char* file, IDataObject* data, HGLOBAL iconPict) {
    ContainerRecord* k = g ? ContainerOf(g->container) : nullptr;
    if (!k) return FALSE;
    BOOL showAfter = FALSE;
    HRESULT hr = k->mode == kModeControl ? (clsid ? CreateControlMode(g, *clsid) : E_INVALIDARG)
                                         : CreateByMode(g, k->mode, clsid, file, data, &showAfter);
    if (FAILED(hr) || !g->oleObject) {
        WinErr(static_cast<unsigned long>(FAILED(hr) ? hr : E_FAIL));
        return FALSE;
    }
    TakeProgId(g);
    ObjectRef ref = ObjectRefOf(g->container);
    if (!GenObjSetup(g, showAfter, iconPict, TRUE) || !ObjectRefAlive(ref)) return FALSE;
    GenObjConnectControl(g);
    g->automation = AutoClientCreate(clsid ? *clsid : CLSID_NULL, g->oleObject, g->object);
    if (SUCCEEDED(g->oleObject->QueryInterface(IID_IOleLink, reinterpret_cast<void**>(&g->oleLink)))) {
        k->mode = kModeLinkData;
        if (k->updateOpt == kUpdateOnCall) {
            GenObjSetUpdateOptions(g, OLEUPDATE_ONCALL);
        } else {
            GenObjSetUpdateOptions(g, OLEUPDATE_ALWAYS);
            GenObjUpdate(g);
        }
    }
    return TRUE;
}

BOOL GenObjSetUpdateOptions(CGenObject* g, DWORD option) {
    return g && g->oleLink && SUCCEEDED(g->oleLink->SetUpdateOptions(option));
}

BOOL GenObjUpdate(CGenObject* g) {
    if (!g || !g->oleObject) return FALSE;
    if (!g->oleLink) return g->oleObject->Update() >= 0;
    IBindCtx* bc = nullptr;
    if (FAILED(CreateBindCtx(0, &bc))) return FALSE;
    HRESULT hr = g->oleLink->Update(bc);
    bc->Release();
    return hr >= 0;
}

BOOL GenObjInsertDialog(CGenObject* g, BOOL fromFile) {
    ContainerRecord* k = g ? ContainerOf(g->container) : nullptr;
    if (!k) return FALSE;
    char fileName[kFileNameMax] = "";
    OLEUIINSERTOBJECTA io = {};
    io.cbStruct = sizeof io;
    io.dwFlags = fromFile ? IOF_SELECTCREATEFROMFILE : IOF_SELECTCREATENEW;
    if (k->oleTypeA == kOleTypeANoLink) io.dwFlags |= IOF_DISABLELINK;
    io.hWndOwner = g->window ? g->window->hwnd : nullptr;
    io.lpszCaption = kInsertCaption;
    io.lpszFile = fileName;
    io.cchFile = kFileNameMax;
    if (OleUIInsertObjectA(&io) != OLEUI_OK) return FALSE;
    g->aspect = DVASPECT_CONTENT;
    HGLOBAL icon = (io.dwFlags & IOF_CHECKDISPLAYASICON) ? io.hMetaPict : nullptr;
    if (icon) g->aspect = DVASPECT_ICON;
    BOOL ok = FALSE;
    if (io.dwFlags & (IOF_SELECTCREATENEW | IOF_SELECTCREATECONTROL)) {
        k->mode = (io.dwFlags & IOF_SELECTCREATENEW) ? kModeNew : kModeControl;
        ok = GenObjCreate(g, &io.clsid, nullptr, nullptr, icon);
    } else {
        k->mode = (io.dwFlags & IOF_CHECKLINK) ? kModeLinkFile : kModeFromFile;
        ReplaceStrField(fileName, static_cast<long>(strlen(fileName)), &k->sourceDoc);
        ok = GenObjCreate(g, nullptr, fileName, nullptr, icon);
    }
    MetafilePictFree(io.hMetaPict);
    return ok;
}

// The object's verbs at position - 1 of the menu: a cascade that
// OleUIAddVerbMenuA makes for several verbs is flattened into the menu.
void GenObjVerbMenu(CGenObject* g, HMENU menu, UINT position) {
    if (!g || !g->oleObject || !menu || position == 0) return;
    HMENU cascade = nullptr;
    OleUIAddVerbMenuA(g->oleObject, nullptr, menu, position, kOleVerbFirstId, kOleVerbLastId, FALSE, 0, &cascade);
    if (!cascade) return;
    RemoveMenu(menu, position - 1, MF_BYPOSITION);
    int n = GetMenuItemCount(cascade);
    for (int i = 0; i < n; ++i) {
        char text[kVerbTextMax + 1] = "";
        MENUITEMINFOA mi = {};
        mi.cbSize = sizeof mi;
        mi.fMask = MIIM_ID | MIIM_STATE | MIIM_STRING;
        mi.dwTypeData = text;
        mi.cch = kVerbTextMax;
        if (!GetMenuItemInfoA(cascade, static_cast<UINT>(i), TRUE, &mi)) continue;
        text[kVerbTextMax] = 0;
        InsertMenuA(menu, position - 1 + static_cast<UINT>(i), MF_BYPOSITION | MF_STRING | mi.fState, mi.wID, text);
    }
    DestroyMenu(cascade);
}

void GenObjSetRecord(CGenObject* g, ObjectRecord* rec) {
    if (!g) return;
    g->object = rec;
    g->container = ContainerOf(rec) ? rec : nullptr;
    g->control = ControlOf(rec) ? rec : nullptr;
}

// ---- Rectangles, extent, host names ------------------------------------------------------------

void OleFitBySmallerFactor(int32_t width, int32_t height, int32_t extentX, int32_t extentY, int32_t* outW,
                           int32_t* outH) {
    *outW = width;
    *outH = height;
    if (extentX <= 0) extentX = width;
    if (extentY <= 0) extentY = height;
    if (extentX <= 0 || extentY <= 0) return;
    int64_t fx = static_cast<int64_t>(width) * 1000 / extentX;
    int64_t fy = static_cast<int64_t>(height) * 1000 / extentY;
    if (fx <= 0 || fy <= 0) return;
    // The limiting direction keeps its full side; the other is scaled by the
    // same factor (never beyond the rectangle).
    if (fx <= fy) {
        int64_t h = static_cast<int64_t>(extentY) * fx / 1000;
        *outH = static_cast<int32_t>(h < height ? h : height);
    } else {
        int64_t w = static_cast<int64_t>(extentX) * fy / 1000;
        *outW = static_cast<int32_t>(w < width ? w : width);
    }
}

static RECT DeflatedRect(ObjectRecord* rec) {
    RECT r = {rec->left, rec->top, rec->right, rec->bottom};
    if (rec->flags & kObjBorder) InflateRect(&r, (rec->flags & kObj3D) ? -2 : -1, (rec->flags & kObj3D) ? -2 : -1);
    return r;
}

RECT GenObjRect(CGenObject* g, bool inPlace) {
    ObjectRecord* rec = g->object;
    // A control may call its sites after its record went (GenObjRelease).
    if (!rec) return RECT{0, 0, 0, 0};
    RECT r = DeflatedRect(rec);
    ContainerRecord* k = ContainerOf(g->container);
    if (k && !inPlace && k->sizeMode != kSizeModeStretch) {
        int32_t width = r.right - r.left, height = r.bottom - r.top;
        int32_t ex = g->extent.cx ? HimetricToPixelsX(nullptr, g->extent.cx) : width;
        int32_t ey = g->extent.cy ? HimetricToPixelsY(nullptr, g->extent.cy) : height;
        if (k->sizeMode == kSizeModeFit) OleFitBySmallerFactor(width, height, ex, ey, &ex, &ey);
        r.right = r.left + ex;
        r.bottom = r.top + ey;
    }
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
    if (!g || !g->oleObject) return;
    ContainerRecord* k = ContainerOf(g->container);
    if (k && k->sizeMode == kSizeModeAutoSize) {
        // The record takes the object's size: top-left plus the extent in
        // pixels (a side of 0 stays), the border added around it.
        ObjectRecord* rec = g->container;
        RECT r = DeflatedRect(rec);
        int32_t pad = (rec->left - r.left);
        if (g->extent.cx) rec->right = r.left + HimetricToPixelsX(nullptr, g->extent.cx) - pad;
        if (g->extent.cy) rec->bottom = r.top + HimetricToPixelsY(nullptr, g->extent.cy) - pad;
    }
    if (!(g->miscStatus & kMiscRecomposeOnResize)) return;
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
    wchar_t app[32], form[kContainerTextMax + 1];
    MultiByteToWideChar(CP_ACP, 0, kHostApp, -1, app, 32);
    ContainerRecord* k = ContainerOf(g->container);
    const char* host = k && k->hostName && k->hostName[0] ? k->hostName : kHostForm;
    if (!MultiByteToWideChar(CP_ACP, 0, host, -1, form, kContainerTextMax + 1)) form[kContainerTextMax] = 0;
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
        // A control that cannot save leaves an empty state, never a stale one.
        if (hr == E_NOTIMPL) g->stream->SetSize(ULARGE_INTEGER{});
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
            wchar_t name[kBlobNameSize];
            BlobName(g->itemNumber, name);
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
    GenObjLeaveForm(g);
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

// The Menu of the window whose popup is the given one, or null.
static ObjectRecord* WindowMenuOfPopup(ObjectRecord* window, HMENU popup) {
    WindowRecord* w = ObjectAsWindow(window);
    for (ObjectRecord* m = w && popup ? w->menus : nullptr; m; m = m->next)
        if (m->kind == kKindMenu && MenuPopupOf(m) == popup) return m;
    return nullptr;
}

// Puts the popups of the window's shown Menus into an object's shared menu,
// group by group (File, Container, Window) and within a group in the order
// of the window's bar; each one put in counts in its group's width.
static void MenuGroupsInsert(ObjectRecord* window, HMENU bar, HMENU shared, OLEMENUGROUPWIDTHS* widths) {
    static const int kWidthOfGroup[kMenuMergeGroupMax + 1] = {0, 0, 2, 4};
    UINT at = 0;
    int count = GetMenuItemCount(bar);
    for (int32_t group = 1; group <= kMenuMergeGroupMax; ++group) {
        for (int i = 0; i < count; ++i) {
            HMENU popup = GetSubMenu(bar, i);
            ObjectRecord* m = WindowMenuOfPopup(window, popup);
            if (!m || !(m->flags & kObjShown) || MenuMergeGroup(m) != group) continue;
            const char* text = OemToAnsiStr(MenuRawText(m), 0);
            if (!text || !InsertMenuA(shared, at, MF_BYPOSITION | MF_POPUP | MF_STRING,
                                      reinterpret_cast<UINT_PTR>(popup), text))
                continue;
            ++at;
            ++widths->width[kWidthOfGroup[group]];
        }
    }
}

// Takes the window's popups out of a shared menu again, last to first; the
// object's own entries stay.
static void MenuGroupsRemove(ObjectRecord* window, HMENU shared) {
    for (int i = GetMenuItemCount(shared) - 1; i >= 0; --i)
        if (WindowMenuOfPopup(window, GetSubMenu(shared, i))) RemoveMenu(shared, static_cast<UINT>(i), MF_BYPOSITION);
}

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
    // Menu merging, for a window that asks for it (style bit 0x100000): the
    // window's shown Menus of groups 1-3 lend their popups to the object's
    // shared menu, which stands in for the window's bar while the object is
    // UI-active; the window's own bar comes back when the object lets go.
    STDMETHODIMP InsertMenus(HMENU shared, LPOLEMENUGROUPWIDTHS widths) override {
        if (!widths) return E_INVALIDARG;
        widths->width[0] = widths->width[2] = widths->width[4] = 0;
        HMENU bar = OwnMenuBar();
        if ((WindowStyleBits(window_) & kWsNegMenus) && bar) MenuGroupsInsert(window_, bar, shared, widths);
        return S_OK;
    }
    STDMETHODIMP SetMenu(HMENU shared, HOLEMENU hole, HWND activeWnd) override {
        if (!(WindowStyleBits(window_) & kWsNegMenus)) return S_OK;
        HWND wnd = window_->hwnd;
        if (!shared) {
            HRESULT hr = OleSetMenuDescriptor(nullptr, wnd, nullptr, nullptr, nullptr);
            OwnMenuBarRestore();
            return hr;
        }
        if (!shared_) ownBar_ = GetMenu(wnd);
        shared_ = shared;
        ::SetMenu(wnd, shared);
        return OleSetMenuDescriptor(hole, wnd, activeWnd, nullptr, nullptr);
    }
    STDMETHODIMP RemoveMenus(HMENU shared) override {
        if (WindowStyleBits(window_) & kWsNegMenus) MenuGroupsRemove(window_, shared);
        return S_OK;
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
    void Attach(ObjectRecord* window) { window_ = window; }
    void Detach() {
        // The window goes before its objects close: its popups leave the
        // shared menu now (the object destroys that menu with all it holds)
        // and its own bar is given back to be destroyed with it.
        if (shared_ && window_) MenuGroupsRemove(window_, shared_);
        OwnMenuBarRestore();
        window_ = nullptr;
        ReleaseAndClear(active_);
        if (holdsWindows_) {
            holdsWindows_ = false;
            EnableAllWindows(true);
        }
    }

private:
    // The window's bar: its own one while a shared menu stands in for it.
    HMENU OwnMenuBar() const {
        if (shared_) return ownBar_;
        return window_ && window_->hwnd ? GetMenu(window_->hwnd) : nullptr;
    }
    void OwnMenuBarRestore() {
        if (!shared_) return;
        if (window_ && window_->hwnd) ::SetMenu(window_->hwnd, ownBar_);
        shared_ = nullptr;
        ownBar_ = nullptr;
    }

    ObjectRecord* window_;
    IOleInPlaceActiveObject* active_ = nullptr;
    bool holdsWindows_ = false;
    HMENU shared_ = nullptr;     // the object's shared menu while it is the window's bar
    HMENU ownBar_ = nullptr;     // the window's own bar meanwhile
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
        if (c->kind == kKindControl || c->kind == kKindContainer) {
            CGenObject* g = OleObjectOf(c);
            IUnknown* u = g ? GenObjGetUnknown(g) : nullptr;
            if (u) out->push_back(u);
        } else if (c->kind == kKindPanel && !ObjectIsWebView(c)) {
            CollectUnknowns(c, out);
        }
    }
}

// The drop target of a window: data dropped on an empty Container that accepts
// drops (OLEDrop) becomes its object (mode 8). The effect follows the keys, and
// only as far as the source allows it.
class CQovDropTgt final : public OneFace<IDropTarget, IID_IDropTarget> {
public:
    explicit CQovDropTgt(ObjectRecord* window) : window_(window) {}
    STDMETHODIMP DragEnter(IDataObject*, DWORD keys, POINTL pt, DWORD* effect) override {
        return Answer(keys, pt, effect);
    }
    STDMETHODIMP DragOver(DWORD keys, POINTL pt, DWORD* effect) override { return Answer(keys, pt, effect); }
    STDMETHODIMP DragLeave() override { return S_OK; }
    STDMETHODIMP Drop(IDataObject* data, DWORD keys, POINTL pt, DWORD* effect) override;
    ObjectRecord* Window() const { return window_; }
    void Detach() { window_ = nullptr; }
    void Attach(ObjectRecord* window) { window_ = window; }

private:
    HRESULT Answer(DWORD keys, POINTL pt, DWORD* effect) {
        if (!effect) return E_INVALIDARG;
        *effect = HitContainer(pt) ? DropEffectOf(keys, *effect) : DROPEFFECT_NONE;
        return S_OK;
    }
    ObjectRecord* HitContainer(POINTL pt) {
        if (!window_ || !window_->hwnd) return nullptr;
        return DropTargetAt(window_, window_->hwnd, pt);
    }
    ObjectRecord* window_;
};

DWORD DropEffectOf(DWORD keys, DWORD allowed) {
    DWORD want = DROPEFFECT_MOVE;
    if ((keys & MK_CONTROL) && (keys & MK_SHIFT)) want = DROPEFFECT_LINK;
    else if (keys & MK_CONTROL) want = DROPEFFECT_COPY;
    return want & allowed;
}

// The first shown, empty Container with OLEDrop under the screen point, in the
// container's child list order; a shown Panel (not a page) is searched with
// its own window and scroll offsets, and a hit inside it ends the search.
ObjectRecord* DropTargetAt(ObjectRecord* container, HWND wnd, POINTL screen) {
    POINT p = {screen.x, screen.y};
    ScreenToClient(wnd, &p);
    ContainerInfo info = {};
    if (ContainerInfoOf(container, &info)) {
        if (info.scrollX) p.x += *info.scrollX;
        if (info.scrollY) p.y += *info.scrollY;
    }
    for (ObjectRecord* c = container->children; c; c = c->next) {
        if (!(c->flags & kObjShown)) continue;
        if (ContainerRecord* k = ContainerOf(c)) {
            if (k->oleDrop && !k->object && p.x >= c->left && p.x < c->right && p.y >= c->top && p.y < c->bottom)
                return c;
        } else if (c->kind == kKindPanel && !ObjectIsWebView(c) && c->hwnd) {
            ObjectRecord* inner = DropTargetAt(c, c->hwnd, screen);
            if (inner) return inner;
        }
    }
    return nullptr;
}

STDMETHODIMP CQovDropTgt::Drop(IDataObject* data, DWORD keys, POINTL pt, DWORD* effect) {
    if (!effect) return E_INVALIDARG;
    if (data) data->AddRef();
    ObjectRecord* target = HitContainer(pt);
    *effect = target ? DropEffectOf(keys, *effect) : DROPEFFECT_NONE;
    ContainerRecord* k = ContainerOf(target);
    if (k && data) {
        CGenObject* g = GenObjNew(window_, target, nullptr);
        if (g) {
            k->mode = kModeFromData;
            ObjectRef ref = ObjectRefOf(target);
            if (GenObjCreate(g, nullptr, nullptr, data, nullptr) && ObjectRefAlive(ref) && !k->object) {
                k->object = g;
                RedrawObject(target, true);
            } else {
                GenObjRelease(g);
                g->Release();
                if (ObjectRefAlive(ref)) k->mode = kModeNone;
            }
        }
    }
    if (data) data->Release();
    return S_OK;
}

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

// What a form support holds of its own: the storages (the root is a temporary
// file), the moniker, the font and the drop target. They go once the window
// and every object made in it are gone, even while a control still holds the
// frame or the item container it was given (which keep only the shell).
static void FormSupportShed(CQovFormOleSupport* f) {
    ReleaseAndClear(f->moniker);
    ReleaseAndClear(f->root);
    ReleaseAndClear(f->saved);
    ReleaseAndClear(f->savedBytes);
    ReleaseAndClear(f->font);
    if (CQovDropTgt* drop = f->drop) {
        f->drop = nullptr;
        if (f->dropRegistered && drop->Window() && drop->Window()->hwnd) RevokeDragDrop(drop->Window()->hwnd);
        f->dropRegistered = false;
        CoLockObjectExternal(drop, FALSE, TRUE);
        drop->Release();
    }
}

CQovFormOleSupport::~CQovFormOleSupport() {
    FormSupportShed(this);
    delete frame;
    delete items;
}

// An object lets go of its window's form support (its release, or its end).
static void GenObjLeaveForm(CGenObject* g) {
    CQovFormOleSupport* f = g->formOle;
    if (!f) return;
    g->formOle = nullptr;
    if (f->objects) f->objects--;
    if (!f->objects && f->windowGone) FormSupportShed(f);
    f->Release();
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
    f->windowGone = true;
    if (!f->objects) FormSupportShed(f);
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

IDropTarget* OleFormDropTarget(ObjectRecord* window) {
    CQovFormOleSupport* f = OleFormOf(window);
    return f ? f->drop : nullptr;
}

// After a form load the loaded window's record lives on in the asking window:
// the pointers that named the loaded record name the asking one.
static void RepointObjects(ObjectRecord* container, ObjectRecord* from, ObjectRecord* to) {
    for (ObjectRecord* c = container->children; c; c = c->next) {
        CGenObject* g = OleObjectOf(c);
        if (g && g->window == from) g->window = to;
        if (c->kind == kKindPanel && !ObjectIsWebView(c)) RepointObjects(c, from, to);
    }
}

void OleFormWindowMoved(ObjectRecord* from, ObjectRecord* to) {
    CQovFormOleSupport* f = OleFormOf(to);
    if (!f) return;
    if (f->window == from) f->window = to;
    if (f->frame) f->frame->Attach(to);
    if (f->drop) f->drop->Attach(to);
    RepointObjects(to, from, to);
}
