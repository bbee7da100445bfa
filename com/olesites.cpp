// olesites.cpp - the six site objects through which a hosted object calls
// back into its container (CGenObject): ambient properties, the client,
// in-place and control sites, the advise sink and the property notify sink,
// each a counted part of the object's outer record.
#include "com/olecontainer.h"
#include "com/oleinternal.h"

#include <new>

#include "com/oleutil.h"
#include "objects/events.h"
#include "objects/focus.h"
#include "session/config.h"
#include "session/nomemwin.h"

namespace {

constexpr UINT kWindowContextSize = 20;
constexpr DWORD kOleWhichContainer = 1, kOleWhichObjRel = 2, kOleWhichObjFull = 3;
constexpr DWORD kXformHimetricToContainer = 4;
constexpr uint8_t kUpdatedEventKind = 32;

}  // namespace

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
    STDMETHODIMP SaveObject() override {
        return GuardedComCall("an object's save", [&] { return GenObjSave(owner_); });
    }
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

private:
    HRESULT TakeFocus(BOOL got);
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
    if (--owner_->inPlaceLocks != 0 || !owner_->deactivatePending) return S_OK;
    return GuardedComCall("a deactivation put off", [&] {
        GenObjDeactivate(owner_, 1);
        return S_OK;
    });
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
    return GuardedComCall("a control's focus", [&] { return TakeFocus(got); });
}

HRESULT CQovIOleControlSite::TakeFocus(BOOL got) {
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
    // The notices answer nothing: an event that cannot be held is dropped.
    STDMETHODIMP_(void) OnDataChange(FORMATETC*, STGMEDIUM*) override {
        CatchNoMemory("an object's $UPDATED", [&] { PostUpdated(kUpdatedData); });
    }
    STDMETHODIMP_(void) OnViewChange(DWORD, LONG) override {
        IViewObject2* v = nullptr;
        if (owner_->oleObject &&
            SUCCEEDED(owner_->oleObject->QueryInterface(IID_IViewObject2, reinterpret_cast<void**>(&v)))) {
            v->GetExtent(DVASPECT_CONTENT, -1, nullptr, &owner_->extent);
            v->Release();
        }
        if (owner_->window && owner_->window->hwnd) InvalidateRect(owner_->window->hwnd, nullptr, TRUE);
    }
    STDMETHODIMP_(void) OnRename(IMoniker*) override {
        CatchNoMemory("an object's $UPDATED", [&] { PostUpdated(kUpdatedRename); });
    }
    STDMETHODIMP_(void) OnSave() override {
        CatchNoMemory("an object's $UPDATED", [&] { PostUpdated(kUpdatedSave); });
    }
    STDMETHODIMP_(void) OnClose() override {
        ++closeCount;
        CatchNoMemory("an object's $UPDATED", [&] { PostUpdated(kUpdatedClose); });
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

// ---- The sites of one object ----------------------------------------------------------------

bool GenObjMakeSites(CGenObject* g) {
    g->clientSite = new (std::nothrow) CQovIOleClientSite(g, g);
    g->inPlaceSite = new (std::nothrow) CQovIOleInPlaceSite(g, g);
    g->adviseSink = new (std::nothrow) CQovIAdviseSink(g, g);
    return g->clientSite && g->inPlaceSite && g->adviseSink;
}

bool GenObjMakeControlSites(CGenObject* g) {
    if (!g->controlSite) g->controlSite = new (std::nothrow) CQovIOleControlSite(g, g);
    if (!g->ambient) g->ambient = new (std::nothrow) CAmbIDispatch(g, g);
    return g->controlSite && g->ambient;
}

IPropertyNotifySink* GenObjNotifySink(CGenObject* g) {
    if (!g->notifySink) g->notifySink = new (std::nothrow) CQovIPropertyNotifySink(g, g);
    return g->notifySink;
}

IUnknown* GenObjSiteFace(CGenObject* g, REFIID iid) {
    if (IsEqualIID(iid, IID_IDispatch)) return g->ambient;
    if (IsEqualIID(iid, IID_IOleClientSite)) return g->clientSite;
    if (IsEqualIID(iid, IID_IOleInPlaceSite) || IsEqualIID(iid, IID_IOleWindow)) return g->inPlaceSite;
    if (IsEqualIID(iid, IID_IOleControlSite)) return g->controlSite;
    if (IsEqualIID(iid, IID_IAdviseSink) || IsEqualIID(iid, IID_IAdviseSink2)) return g->adviseSink;
    if (IsEqualIID(iid, IID_IPropertyNotifySink)) return g->notifySink;
    return nullptr;
}

int GenObjCloseNotices(CGenObject* g) { return g->adviseSink ? g->adviseSink->closeCount : 0; }

template <class T>
void DeleteAndClear(T*& p) {
    delete p;
    p = nullptr;
}

void GenObjFreeSites(CGenObject* g) {
    DeleteAndClear(g->ambient);
    DeleteAndClear(g->clientSite);
    DeleteAndClear(g->inPlaceSite);
    DeleteAndClear(g->controlSite);
    DeleteAndClear(g->adviseSink);
    DeleteAndClear(g->notifySink);
}
