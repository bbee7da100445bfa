// oleframe.cpp - the form support of a window that hosts OLE objects: its
// root storage, the in-place frame (menus merged with the window's), the
// item container with its enumerator, the drop target that fills an empty
// Container, the ambient font, and the entries the window code calls.
#include "com/olecontainer.h"
#include "com/oleinternal.h"

#include <new>
#include <vector>

#include "com/oleutil.h"
#include "controls/controls.h"
#include "controls/ctlcore.h"
#include "objects/paint.h"
#include "objects/pump.h"
#include "objects/window.h"
#include "session/config.h"
#include "session/nomem.h"
#include "session/nomemwin.h"
#include "session/util/codepage.h"

namespace {

constexpr DWORD kWinErrNoMemory = 14;          // ERROR_OUTOFMEMORY, written when an allocation fails
constexpr DWORD kBindSpeedModerate = 2, kBindSpeedImmediate = 3;
constexpr DWORD kRootMode =
    STGM_DELETEONRELEASE | STGM_TRANSACTED | STGM_CREATE | STGM_SHARE_EXCLUSIVE | STGM_READWRITE;

NativeWindowRecord* NativeOf(ObjectRecord* window) {
    return window && window->kind == kKindWindow ? reinterpret_cast<NativeWindowRecord*>(window) : nullptr;
}

uint32_t WindowStyleBits(ObjectRecord* window) {
    NativeWindowRecord* w = NativeOf(window);
    return w ? w->winStyle : 0;
}

}  // namespace

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
        return GuardedComCall("an object list's copy", [&] {
            CQovEnumUnknown* e = new (std::nothrow) CQovEnumUnknown();
            if (!e || !e->Fill(items_.data(), static_cast<ULONG>(items_.size()))) {
                delete e;
                return E_OUTOFMEMORY;
            }
            e->cursor_ = cursor_;
            e->AddRef();
            *out = e;
            return S_OK;
        });
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
        return GuardedComCall("a shared menu's groups", [&] {
            HMENU bar = OwnMenuBar();
            if ((WindowStyleBits(window_) & kWsNegMenus) && bar) MenuGroupsInsert(window_, bar, shared, widths);
            return S_OK;
        });
    }
    STDMETHODIMP SetMenu(HMENU shared, HOLEMENU hole, HWND activeWnd) override {
        return GuardedComCall("the window's menu bar", [&]() -> HRESULT {
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
        });
    }
    STDMETHODIMP RemoveMenus(HMENU shared) override {
        return GuardedComCall("a shared menu's groups", [&] {
            if (WindowStyleBits(window_) & kWsNegMenus) MenuGroupsRemove(window_, shared);
            return S_OK;
        });
    }
    STDMETHODIMP SetStatusText(LPCOLESTR) override { return E_FAIL; }
    // EnableAllWindows marks the windows held disabled, as a modal window
    // does; the frame remembers that the hold is its own, so the control's
    // EnableModeless(TRUE) gives the windows back while a modal window's hold
    // is left alone.
    STDMETHODIMP EnableModeless(BOOL enable) override {
        return GuardedComCall("the windows' modeless state", [&] {
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
        });
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
        CatchNoMemory("a form's object list", [&] {
            if ((flags & OLECONTF_EMBEDDINGS) && form_->window) CollectUnknowns(form_->window, &list);
            *out = EnumUnknownCreate(list.data(), static_cast<ULONG>(list.size()));
        });
        for (IUnknown* u : list)
            if (u) u->Release();
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
            // The room first: a reference taken is never lost to a full list.
            out->push_back(nullptr);
            CGenObject* g = OleObjectOf(c);
            IUnknown* u = g ? GenObjGetUnknown(g) : nullptr;
            if (u) out->back() = u;
            else out->pop_back();
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
        return GuardedComCall("a drag", [&] { return Answer(keys, pt, effect); });
    }
    STDMETHODIMP DragOver(DWORD keys, POINTL pt, DWORD* effect) override {
        return GuardedComCall("a drag", [&] { return Answer(keys, pt, effect); });
    }
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
    void TakeDrop(ObjectRecord* target, IDataObject* data);
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
    // What cannot be held drops the drop; the data is released on every way out.
    bool held = CatchNoMemory("a drop", [&] {
        ObjectRecord* target = HitContainer(pt);
        *effect = target ? DropEffectOf(keys, *effect) : DROPEFFECT_NONE;
        TakeDrop(target, data);
    });
    if (data) data->Release();
    return held ? S_OK : E_OUTOFMEMORY;
}

void CQovDropTgt::TakeDrop(ObjectRecord* target, IDataObject* data) {
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
void GenObjLeaveForm(CGenObject* g) {
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
        SetWinErrorText(kWinErrNoMemory);
        return nullptr;
    }
    f->window = SiteWindow(window);
    if (monikerName) {
        wchar_t* w = AnsiToWideTemp(monikerName);
        if (w) CreateFileMoniker(w, &f->moniker);
    }
    HRESULT hr = StgCreateDocfile(nullptr, kRootMode, 0, &f->root);
    if (FAILED(hr)) {
        SetWinErrorText(static_cast<unsigned long>(hr));
        delete f;
        return nullptr;
    }
    f->frame = new (std::nothrow) CQovIOleInPlaceFrame(f, f->window);
    f->items = new (std::nothrow) CQovIOleItemContainer(f);
    f->drop = new (std::nothrow) CQovDropTgt(f->window);
    if (!f->frame || !f->items || !f->drop) {
        SetWinErrorText(kWinErrNoMemory);
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
