// testctl.cpp - the test ActiveX control of the test server, in six classes
// that differ only in their MiscStatus and persistence: in-place activation in
// a child window painted one known colour per class, a view object drawing the
// same colour, one mnemonic (Alt+M), an event source and a property notify
// point, class information, and Enabled (-514). Every call the container makes
// is logged; methods let a test make the control call its sites (ambients,
// the in-place lock, focus, coordinate transforms) and read the log.
#include "testctl.h"

#include <ocidl.h>
#include <olectl.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

const IID kIidControlEvents = {0x5C0E7A22, 0x3B2D, 0x4E61, {0x9A, 0x4F, 0x1D, 0x2C, 0x3B, 0x4A, 0x5E, 0x60}};
const CLSID kClsidControlInfo = {0x5C0E7A20, 0x3B2D, 0x4E61, {0x9A, 0x4F, 0x1D, 0x2C, 0x3B, 0x4A, 0x5E, 0x60}};
constexpr char kWindowClass[] = "QovTestControlWnd";
constexpr LONG kDefaultExtentX = 2540, kDefaultExtentY = 1270;
constexpr WORD kMnemonicKey = 'M';

enum ControlId : DISPID {
    kIdLog = 1, kIdColor = 2, kIdClearLog = 3, kIdAmbient = 4, kIdLock = 5, kIdFocusSite = 6, kIdFire = 7,
    kIdExtent = 8, kIdToContainer = 9, kIdPersist = 10, kIdHwnd = 11, kIdNotify = 12, kIdEnabled = -514,
};
struct NameRow {
    const wchar_t* name;
    DISPID id;
};
const NameRow kNames[] = {
    {L"Log", kIdLog}, {L"Color", kIdColor}, {L"ClearLog", kIdClearLog}, {L"Ambient", kIdAmbient},
    {L"LockInPlace", kIdLock}, {L"SiteFocus", kIdFocusSite}, {L"Fire", kIdFire}, {L"Extent", kIdExtent},
    {L"ToContainer", kIdToContainer}, {L"Persist", kIdPersist}, {L"Hwnd", kIdHwnd}, {L"Notify", kIdNotify},
    {L"Enabled", kIdEnabled},
};

struct ClassRow {
    const CLSID* clsid;
    DWORD misc;
    bool storage;       // IPersistStorage instead of IPersistStreamInit
    COLORREF color;
};
const ClassRow kRows[] = {
    {&kClsidTestControl, OLEMISC_ACTIVATEWHENVISIBLE | OLEMISC_SETCLIENTSITEFIRST | OLEMISC_RECOMPOSEONRESIZE, false,
     RGB(0, 160, 0)},
    {&kClsidTestButton, OLEMISC_ACTIVATEWHENVISIBLE | OLEMISC_ACTSLIKEBUTTON, true, RGB(0, 0, 200)},
    {&kClsidTestInvisible, OLEMISC_ACTIVATEWHENVISIBLE | OLEMISC_INVISIBLEATRUNTIME, false, RGB(200, 0, 0)},
    {&kClsidTestNoUi, OLEMISC_ACTIVATEWHENVISIBLE | OLEMISC_NOUIACTIVATE | OLEMISC_ALWAYSRUN, false,
     RGB(200, 200, 0)},
    {&kClsidTestLabel, OLEMISC_ACTIVATEWHENVISIBLE | OLEMISC_ACTSLIKELABEL, false, RGB(0, 200, 200)},
    {&kClsidTestIconic, OLEMISC_ONLYICONIC, false, RGB(200, 0, 200)},
};

std::wstring Widen(const std::string& s) { return std::wstring(s.begin(), s.end()); }

// A connection point holding one sink.
class OnePoint : public IConnectionPoint {
public:
    OnePoint(IConnectionPointContainer* owner, REFIID iid) : owner_(owner), iid_(iid) {}
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        *out = nullptr;
        if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IConnectionPoint)) return E_NOINTERFACE;
        *out = this;
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return owner_->AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return owner_->Release(); }
    STDMETHODIMP GetConnectionInterface(IID* out) override {
        *out = iid_;
        return S_OK;
    }
    STDMETHODIMP GetConnectionPointContainer(IConnectionPointContainer** out) override {
        *out = owner_;
        owner_->AddRef();
        return S_OK;
    }
    STDMETHODIMP Advise(IUnknown* sink, DWORD* cookie) override {
        if (sink_) return CONNECT_E_ADVISELIMIT;
        if (FAILED(sink->QueryInterface(iid_, reinterpret_cast<void**>(&sink_)))) return CONNECT_E_CANNOTCONNECT;
        *cookie = 1;
        return S_OK;
    }
    STDMETHODIMP Unadvise(DWORD cookie) override {
        if (cookie != 1 || !sink_) return CONNECT_E_NOCONNECTION;
        Drop();
        return S_OK;
    }
    STDMETHODIMP EnumConnections(IEnumConnections**) override { return E_NOTIMPL; }
    IUnknown* Sink() { return sink_; }
    void Drop() {
        if (sink_) sink_->Release();
        sink_ = nullptr;
    }

private:
    IConnectionPointContainer* owner_;
    IID iid_;
    IUnknown* sink_ = nullptr;
};

class EnumTwo : public IEnumConnectionPoints {
public:
    EnumTwo(IConnectionPoint* a, IConnectionPoint* b) : points_{a, b} {}
    virtual ~EnumTwo() = default;
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        *out = nullptr;
        if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IEnumConnectionPoints)) return E_NOINTERFACE;
        *out = this;
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++refs_; }
    STDMETHODIMP_(ULONG) Release() override {
        ULONG n = --refs_;
        if (!n) delete this;
        return n;
    }
    STDMETHODIMP Next(ULONG n, IConnectionPoint** out, ULONG* got) override {
        ULONG k = 0;
        while (k < n && at_ < 2) {
            out[k] = points_[at_++];
            out[k++]->AddRef();
        }
        if (got) *got = k;
        return k == n ? S_OK : S_FALSE;
    }
    STDMETHODIMP Skip(ULONG n) override {
        at_ += n;
        return at_ <= 2 ? S_OK : S_FALSE;
    }
    STDMETHODIMP Reset() override {
        at_ = 0;
        return S_OK;
    }
    STDMETHODIMP Clone(IEnumConnectionPoints**) override { return E_NOTIMPL; }

private:
    ULONG refs_ = 1;
    ULONG at_ = 0;
    IConnectionPoint* points_[2];
};

class TestControl;
TestControl* ControlOfWindow(HWND wnd) { return reinterpret_cast<TestControl*>(GetWindowLongPtrA(wnd, GWLP_USERDATA)); }

class TestControl : public IOleObject, public IOleInPlaceObject, public IOleInPlaceActiveObject,
                    public IOleControl, public IViewObject2, public IPersistStreamInit, public IPersistStorage,
                    public IConnectionPointContainer, public IProvideClassInfo, public IDispatch {
public:
    explicit TestControl(const ClassRow& row)
        : row_(row), events_(this, kIidControlEvents), notify_(this, IID_IPropertyNotifySink) {
        ACCEL a = {FVIRTKEY | FALT, kMnemonicKey, 1};
        accel_ = CreateAcceleratorTableA(&a, 1);
    }
    virtual ~TestControl() {
        DestroyOwnWindow();
        if (site_) site_->Release();
        if (adviseSink_) adviseSink_->Release();
        if (viewSink_) viewSink_->Release();
        events_.Drop();
        notify_.Drop();
        if (accel_) DestroyAcceleratorTable(accel_);
    }

    // ---- IUnknown
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        *out = nullptr;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IOleObject)) *out = static_cast<IOleObject*>(this);
        else if (IsEqualIID(iid, IID_IOleInPlaceObject) || IsEqualIID(iid, IID_IOleWindow))
            *out = static_cast<IOleInPlaceObject*>(this);
        else if (IsEqualIID(iid, IID_IOleInPlaceActiveObject)) *out = static_cast<IOleInPlaceActiveObject*>(this);
        else if (IsEqualIID(iid, IID_IOleControl)) *out = static_cast<IOleControl*>(this);
        else if (IsEqualIID(iid, IID_IViewObject) || IsEqualIID(iid, IID_IViewObject2))
            *out = static_cast<IViewObject2*>(this);
        else if (!row_.storage && (IsEqualIID(iid, IID_IPersistStreamInit) || IsEqualIID(iid, IID_IPersist)))
            *out = static_cast<IPersistStreamInit*>(this);
        else if (row_.storage && IsEqualIID(iid, IID_IPersistStorage)) *out = static_cast<IPersistStorage*>(this);
        else if (IsEqualIID(iid, IID_IConnectionPointContainer))
            *out = static_cast<IConnectionPointContainer*>(this);
        else if (IsEqualIID(iid, IID_IProvideClassInfo)) *out = static_cast<IProvideClassInfo*>(this);
        else if (IsEqualIID(iid, IID_IDispatch)) *out = static_cast<IDispatch*>(this);
        if (!*out) return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return InterlockedIncrement(&refs_); }
    STDMETHODIMP_(ULONG) Release() override {
        LONG n = InterlockedDecrement(&refs_);
        if (n == 0) delete this;
        return static_cast<ULONG>(n);
    }

    // ---- IOleObject
    STDMETHODIMP SetClientSite(IOleClientSite* site) override {
        Note(site ? "SetClientSite" : "SetClientSite(null)");
        if (site) site->AddRef();
        if (site_) site_->Release();
        site_ = site;
        if (site_) {
            // Real controls read UserMode at once; the answer goes to the log.
            VARIANT v;
            Note("UserMode=" + AmbientText(-709, &v));
        }
        return S_OK;
    }
    STDMETHODIMP GetClientSite(IOleClientSite** out) override {
        *out = site_;
        if (site_) site_->AddRef();
        return S_OK;
    }
    STDMETHODIMP SetHostNames(LPCOLESTR app, LPCOLESTR obj) override {
        char a[64] = "", o[64] = "";
        WideCharToMultiByte(CP_ACP, 0, app, -1, a, 63, nullptr, nullptr);
        WideCharToMultiByte(CP_ACP, 0, obj ? obj : L"", -1, o, 63, nullptr, nullptr);
        Note(std::string("SetHostNames(") + a + "," + o + ")");
        return S_OK;
    }
    STDMETHODIMP Close(DWORD) override {
        Note("Close");
        InPlaceDeactivate();
        if (adviseSink_) adviseSink_->OnClose();
        return S_OK;
    }
    STDMETHODIMP SetMoniker(DWORD, IMoniker*) override { return E_NOTIMPL; }
    STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker**) override { return E_NOTIMPL; }
    STDMETHODIMP InitFromData(IDataObject*, BOOL, DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP GetClipboardData(DWORD, IDataObject**) override { return E_NOTIMPL; }
    STDMETHODIMP DoVerb(LONG verb, LPMSG, IOleClientSite*, LONG, HWND parent, LPCRECT pos) override {
        Note("DoVerb(" + std::to_string(verb) + ")");
        switch (verb) {
        case OLEIVERB_INPLACEACTIVATE:
        case OLEIVERB_SHOW:
        case OLEIVERB_PRIMARY:
            return Activate(false, parent, pos);
        case OLEIVERB_UIACTIVATE:
            return Activate(true, parent, pos);
        case OLEIVERB_HIDE:
            if (wnd_) ShowWindow(wnd_, SW_HIDE);
            UIDeactivate();
            return S_OK;
        default:
            return OLEOBJ_S_INVALIDVERB;
        }
    }
    STDMETHODIMP EnumVerbs(IEnumOLEVERB**) override { return E_NOTIMPL; }
    STDMETHODIMP Update() override {
        Note("Update");
        return S_OK;
    }
    STDMETHODIMP IsUpToDate() override { return S_OK; }
    STDMETHODIMP GetUserClassID(CLSID* out) override {
        *out = *row_.clsid;
        return S_OK;
    }
    STDMETHODIMP GetUserType(DWORD, LPOLESTR*) override { return OLE_S_USEREG; }
    STDMETHODIMP SetExtent(DWORD, SIZEL* size) override {
        extent_ = *size;
        Note("SetExtent(" + std::to_string(size->cx) + "," + std::to_string(size->cy) + ")");
        return S_OK;
    }
    STDMETHODIMP GetExtent(DWORD, SIZEL* size) override {
        *size = extent_;
        return S_OK;
    }
    STDMETHODIMP Advise(IAdviseSink* sink, DWORD* cookie) override {
        if (adviseSink_) adviseSink_->Release();
        adviseSink_ = sink;
        if (sink) sink->AddRef();
        *cookie = 1;
        Note("Advise");
        return S_OK;
    }
    STDMETHODIMP Unadvise(DWORD) override {
        Note("Unadvise");
        if (adviseSink_) adviseSink_->Release();
        adviseSink_ = nullptr;
        return S_OK;
    }
    STDMETHODIMP EnumAdvise(IEnumSTATDATA**) override { return E_NOTIMPL; }
    STDMETHODIMP GetMiscStatus(DWORD, DWORD* status) override {
        *status = row_.misc;
        return S_OK;
    }
    STDMETHODIMP SetColorScheme(LOGPALETTE*) override { return E_NOTIMPL; }

    // ---- IOleWindow / IOleInPlaceObject / IOleInPlaceActiveObject
    STDMETHODIMP GetWindow(HWND* out) override {
        *out = wnd_;
        return wnd_ ? S_OK : E_FAIL;
    }
    STDMETHODIMP ContextSensitiveHelp(BOOL) override { return S_OK; }
    STDMETHODIMP InPlaceDeactivate() override {
        if (!inPlace_) return S_OK;
        Note("InPlaceDeactivate");
        UIDeactivate();
        DestroyOwnWindow();
        inPlace_ = false;
        IOleInPlaceSite* ips = InPlaceSite();
        if (ips) {
            ips->OnInPlaceDeactivate();
            ips->Release();
        }
        return S_OK;
    }
    STDMETHODIMP UIDeactivate() override {
        if (!uiActive_) return S_OK;
        uiActive_ = false;
        Note("UIDeactivate");
        if (frame_) {
            frame_->SetActiveObject(nullptr, nullptr);
            frame_->Release();
            frame_ = nullptr;
        }
        IOleInPlaceSite* ips = InPlaceSite();
        if (ips) {
            ips->OnUIDeactivate(FALSE);
            ips->Release();
        }
        return S_OK;
    }
    STDMETHODIMP SetObjectRects(LPCRECT pos, LPCRECT) override {
        Note("SetObjectRects(" + std::to_string(pos->left) + "," + std::to_string(pos->top) + ")");
        if (wnd_) MoveWindow(wnd_, pos->left, pos->top, pos->right - pos->left, pos->bottom - pos->top, TRUE);
        return S_OK;
    }
    STDMETHODIMP ReactivateAndUndo() override { return E_NOTIMPL; }
    STDMETHODIMP TranslateAccelerator(LPMSG) override { return S_FALSE; }
    STDMETHODIMP OnFrameWindowActivate(BOOL on) override {
        Note(on ? "OnFrameWindowActivate(1)" : "OnFrameWindowActivate(0)");
        return S_OK;
    }
    STDMETHODIMP OnDocWindowActivate(BOOL) override { return S_OK; }
    STDMETHODIMP ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) override { return S_OK; }
    STDMETHODIMP EnableModeless(BOOL) override { return S_OK; }

    // ---- IOleControl
    STDMETHODIMP GetControlInfo(CONTROLINFO* info) override {
        info->cb = sizeof *info;
        info->hAccel = accel_;
        info->cAccel = 1;
        info->dwFlags = 0;
        return S_OK;
    }
    STDMETHODIMP OnMnemonic(MSG*) override {
        Note("OnMnemonic");
        return S_OK;
    }
    STDMETHODIMP OnAmbientPropertyChange(DISPID id) override {
        VARIANT v;
        Note("OnAmbientPropertyChange(" + std::to_string(id) + ")=" + AmbientText(id, &v));
        return S_OK;
    }
    STDMETHODIMP FreezeEvents(BOOL) override { return S_OK; }

    // ---- IViewObject2
    STDMETHODIMP Draw(DWORD, LONG, void*, DVTARGETDEVICE*, HDC, HDC hdc, LPCRECTL bounds, LPCRECTL, BOOL(STDMETHODCALLTYPE*)(ULONG_PTR),
                      ULONG_PTR) override {
        if (!bounds) return E_INVALIDARG;
        RECT r = {bounds->left, bounds->top, bounds->right, bounds->bottom};
        HBRUSH b = CreateSolidBrush(row_.color);
        FillRect(hdc, &r, b);
        DeleteObject(b);
        Note("Draw");
        return S_OK;
    }
    STDMETHODIMP GetColorSet(DWORD, LONG, void*, DVTARGETDEVICE*, HDC, LOGPALETTE**) override { return E_NOTIMPL; }
    STDMETHODIMP Freeze(DWORD, LONG, void*, DWORD*) override { return E_NOTIMPL; }
    STDMETHODIMP Unfreeze(DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP SetAdvise(DWORD aspect, DWORD flags, IAdviseSink* sink) override {
        Note("SetAdvise(" + std::to_string(aspect) + "," + std::to_string(flags) + ")");
        if (viewSink_) viewSink_->Release();
        viewSink_ = sink;
        if (sink) sink->AddRef();
        return S_OK;
    }
    STDMETHODIMP GetAdvise(DWORD*, DWORD*, IAdviseSink**) override { return E_NOTIMPL; }
    STDMETHODIMP GetExtent(DWORD, LONG, DVTARGETDEVICE*, LPSIZEL size) override {
        *size = extent_;
        return S_OK;
    }

    // ---- IPersistStreamInit / IPersistStorage
    STDMETHODIMP GetClassID(CLSID* out) override {
        *out = *row_.clsid;
        return S_OK;
    }
    STDMETHODIMP IsDirty() override { return S_FALSE; }
    STDMETHODIMP Load(IStream*) override {
        persist_ = "stream-load";
        return S_OK;
    }
    STDMETHODIMP Save(IStream* s, BOOL) override {
        ULONG n = 0;
        return s->Write(&row_.color, sizeof row_.color, &n);
    }
    STDMETHODIMP GetSizeMax(ULARGE_INTEGER* size) override {
        size->QuadPart = sizeof row_.color;
        return S_OK;
    }
    STDMETHODIMP InitNew() override {
        persist_ = "stream-init";
        Note("InitNew(stream)");
        return S_OK;
    }
    STDMETHODIMP InitNew(IStorage* stg) override {
        persist_ = stg ? "storage-init" : "storage-init(null)";
        Note("InitNew(storage)");
        return S_OK;
    }
    STDMETHODIMP Load(IStorage*) override {
        persist_ = "storage-load";
        return S_OK;
    }
    STDMETHODIMP Save(IStorage*, BOOL) override { return S_OK; }
    STDMETHODIMP SaveCompleted(IStorage*) override { return S_OK; }
    STDMETHODIMP HandsOffStorage() override { return S_OK; }

    // ---- IConnectionPointContainer / IProvideClassInfo
    STDMETHODIMP EnumConnectionPoints(IEnumConnectionPoints** out) override {
        *out = new EnumTwo(&events_, &notify_);
        return S_OK;
    }
    STDMETHODIMP FindConnectionPoint(REFIID iid, IConnectionPoint** out) override {
        *out = nullptr;
        if (IsEqualIID(iid, kIidControlEvents)) *out = &events_;
        else if (IsEqualIID(iid, IID_IPropertyNotifySink)) *out = &notify_;
        if (!*out) return CONNECT_E_NOCONNECTION;
        (*out)->AddRef();
        if (IsEqualIID(iid, IID_IPropertyNotifySink)) Note("FindConnectionPoint(notify)");
        return S_OK;
    }
    STDMETHODIMP GetClassInfo(ITypeInfo** out) override {
        *out = nullptr;
        wchar_t path[MAX_PATH];
        GetModuleFileNameW(gTestModule, path, MAX_PATH);
        ITypeLib* lib = nullptr;
        HRESULT hr = LoadTypeLibEx(path, REGKIND_NONE, &lib);
        if (FAILED(hr)) return hr;
        hr = lib->GetTypeInfoOfGuid(kClsidControlInfo, out);
        lib->Release();
        return hr;
    }

    // ---- IDispatch
    STDMETHODIMP GetTypeInfoCount(UINT* n) override {
        *n = 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
        HRESULT hr = S_OK;
        for (UINT i = 0; i < count; ++i) {
            ids[i] = DISPID_UNKNOWN;
            for (const NameRow& row : kNames)
                if (_wcsicmp(row.name, names[i]) == 0) ids[i] = row.id;
            if (ids[i] == DISPID_UNKNOWN) hr = DISP_E_UNKNOWNNAME;
        }
        return hr;
    }
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* p, VARIANT* result, EXCEPINFO*,
                        UINT*) override;

    void OnWindowFocus(bool got) {
        Note(got ? "WM_SETFOCUS" : "WM_KILLFOCUS");
        IOleControlSite* cs = ControlSite();
        if (cs) {
            cs->OnFocus(got ? TRUE : FALSE);
            cs->Release();
        }
    }
    COLORREF Color() const { return row_.color; }

private:
    void Note(const std::string& s) { log_.push_back(s); }
    IOleInPlaceSite* InPlaceSite() {
        IOleInPlaceSite* s = nullptr;
        if (site_) site_->QueryInterface(IID_IOleInPlaceSite, reinterpret_cast<void**>(&s));
        return s;
    }
    IOleControlSite* ControlSite() {
        IOleControlSite* s = nullptr;
        if (site_) site_->QueryInterface(IID_IOleControlSite, reinterpret_cast<void**>(&s));
        return s;
    }
    std::string AmbientText(DISPID id, VARIANT* v) {
        VariantInit(v);
        IDispatch* d = nullptr;
        if (!site_ || FAILED(site_->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&d)))) return "nosite";
        DISPPARAMS none = {nullptr, nullptr, 0, 0};
        HRESULT hr = d->Invoke(id, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, v, nullptr, nullptr);
        d->Release();
        char buf[64];
        if (hr == DISP_E_MEMBERNOTFOUND) return "notfound";
        if (FAILED(hr)) {
            snprintf(buf, sizeof buf, "hr%08lX", static_cast<unsigned long>(hr));
            return buf;
        }
        if (V_VT(v) == VT_BOOL) return V_BOOL(v) ? "true" : "false";
        if (V_VT(v) == VT_I4) return std::to_string(V_I4(v));
        if (V_VT(v) == VT_DISPATCH) {
            VariantClear(v);
            return "dispatch";
        }
        return "vt" + std::to_string(V_VT(v));
    }
    HRESULT Activate(bool ui, HWND parent, LPCRECT) {
        IOleInPlaceSite* ips = InPlaceSite();
        if (!ips) return E_UNEXPECTED;
        HRESULT hr = S_OK;
        if (!inPlace_) {
            if (ips->CanInPlaceActivate() != S_OK) {
                ips->Release();
                return E_FAIL;
            }
            Note("CanInPlaceActivate");
            HWND host = nullptr;
            ips->GetWindow(&host);
            IOleInPlaceFrame* frame = nullptr;
            IOleInPlaceUIWindow* doc = nullptr;
            RECT pos = {}, clip = {};
            OLEINPLACEFRAMEINFO info = {};
            info.cb = sizeof info;
            ips->GetWindowContext(&frame, &doc, &pos, &clip, &info);
            Note("GetWindowContext(" + std::to_string(info.cb) + ")");
            if (doc) doc->Release();
            if (frame_) frame_->Release();
            frame_ = frame;
            wnd_ = CreateWindowExA(0, kWindowClass, "", WS_CHILD | WS_VISIBLE | WS_TABSTOP, pos.left, pos.top,
                                   pos.right - pos.left, pos.bottom - pos.top, host ? host : parent, nullptr,
                                   gTestModule, nullptr);
            if (wnd_) SetWindowLongPtrA(wnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
            inPlace_ = true;
            // The site takes our window from GetWindow in OnInPlaceActivate.
            hr = ips->OnInPlaceActivate();
            Note("OnInPlaceActivate");
        } else if (wnd_) {
            ShowWindow(wnd_, SW_SHOW);
        }
        if (ui && !uiActive_) {
            uiActive_ = true;
            ips->OnUIActivate();
            Note("OnUIActivate");
            if (frame_) frame_->SetActiveObject(static_cast<IOleInPlaceActiveObject*>(this), L"QovTest");
            if (wnd_) SetFocus(wnd_);
        }
        ips->Release();
        return hr;
    }
    void DestroyOwnWindow() {
        if (!wnd_) return;
        SetWindowLongPtrA(wnd_, GWLP_USERDATA, 0);
        DestroyWindow(wnd_);
        wnd_ = nullptr;
    }
    std::string JoinedLog() const {
        std::string s;
        for (const std::string& e : log_) s += e + ";";
        return s;
    }
    void FireClicked(LONG number) {
        IDispatch* d = nullptr;
        if (!events_.Sink() || FAILED(events_.Sink()->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&d))))
            return;
        VARIANT args[2];
        VariantInit(&args[0]);
        V_VT(&args[0]) = VT_BSTR;
        V_BSTR(&args[0]) = SysAllocString(L"clicked");
        VariantInit(&args[1]);
        V_VT(&args[1]) = VT_I4;
        V_I4(&args[1]) = number;
        DISPPARAMS dp = {args, nullptr, 2, 0};
        d->Invoke(1, IID_NULL, 0, DISPATCH_METHOD, &dp, nullptr, nullptr, nullptr);
        VariantClear(&args[0]);
        d->Release();
    }

    LONG refs_ = 1;
    const ClassRow& row_;
    OnePoint events_;
    OnePoint notify_;
    IOleClientSite* site_ = nullptr;
    IAdviseSink* adviseSink_ = nullptr;
    IAdviseSink* viewSink_ = nullptr;
    IOleInPlaceFrame* frame_ = nullptr;
    HWND wnd_ = nullptr;
    HACCEL accel_ = nullptr;
    bool inPlace_ = false, uiActive_ = false;
    bool enabled_ = true;
    SIZEL extent_ = {kDefaultExtentX, kDefaultExtentY};
    std::string persist_;
    std::vector<std::string> log_;
};

void ReturnBstr(VARIANT* result, const std::string& text) {
    if (!result) return;
    VariantInit(result);
    V_VT(result) = VT_BSTR;
    V_BSTR(result) = SysAllocString(Widen(text).c_str());
}

LONG ArgLong(DISPPARAMS* p, UINT index) {
    VARIANT v;
    VariantInit(&v);
    if (!p || index >= p->cArgs || FAILED(VariantChangeType(&v, &p->rgvarg[p->cArgs - 1 - index], 0, VT_I4)))
        return 0;
    return V_I4(&v);
}

HRESULT TestControl::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* p, VARIANT* result, EXCEPINFO*,
                            UINT*) {
    switch (id) {
    case kIdEnabled:
        if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) {
            enabled_ = ArgLong(p, 0) != 0;
            return S_OK;
        }
        if (result) {
            VariantInit(result);
            V_VT(result) = VT_BOOL;
            V_BOOL(result) = enabled_ ? VARIANT_TRUE : VARIANT_FALSE;
        }
        Note("get Enabled");
        return S_OK;
    case kIdLog: ReturnBstr(result, JoinedLog()); return S_OK;
    case kIdClearLog: log_.clear(); return S_OK;
    case kIdColor:
        if (result) {
            VariantInit(result);
            V_VT(result) = VT_I4;
            V_I4(result) = static_cast<LONG>(row_.color);
        }
        return S_OK;
    case kIdAmbient: {
        VARIANT v;
        ReturnBstr(result, AmbientText(ArgLong(p, 0), &v));
        VariantClear(&v);
        return S_OK;
    }
    case kIdLock: {
        IOleControlSite* cs = ControlSite();
        if (!cs) return E_FAIL;
        HRESULT hr = cs->LockInPlaceActive(ArgLong(p, 0) ? TRUE : FALSE);
        cs->Release();
        return hr;
    }
    case kIdFocusSite: OnWindowFocus(ArgLong(p, 0) != 0); return S_OK;
    case kIdFire: FireClicked(ArgLong(p, 0)); return S_OK;
    case kIdExtent: ReturnBstr(result, std::to_string(extent_.cx) + "," + std::to_string(extent_.cy)); return S_OK;
    case kIdToContainer: {
        IOleControlSite* cs = ControlSite();
        if (!cs) return E_FAIL;
        POINTL l = {ArgLong(p, 0), ArgLong(p, 0)};
        POINTF f = {0, 0};
        HRESULT hr = cs->TransformCoords(&l, &f, XFORMCOORDS_HIMETRICTOCONTAINER);
        cs->Release();
        if (result) {
            VariantInit(result);
            V_VT(result) = VT_I4;
            V_I4(result) = SUCCEEDED(hr) ? static_cast<LONG>(f.x) : -1;
        }
        return S_OK;
    }
    case kIdPersist: ReturnBstr(result, persist_); return S_OK;
    case kIdHwnd:
        if (result) {
            VariantInit(result);
            V_VT(result) = VT_I4;
            V_I4(result) = static_cast<LONG>(reinterpret_cast<LONG_PTR>(wnd_));
        }
        return S_OK;
    case kIdNotify: {
        IPropertyNotifySink* s = nullptr;
        if (!notify_.Sink() ||
            FAILED(notify_.Sink()->QueryInterface(IID_IPropertyNotifySink, reinterpret_cast<void**>(&s))))
            return E_FAIL;
        HRESULT hr = s->OnChanged(kIdColor);
        s->Release();
        return hr;
    }
    default: return DISP_E_MEMBERNOTFOUND;
    }
}

LRESULT CALLBACK ControlWndProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
    TestControl* c = ControlOfWindow(wnd);
    switch (msg) {
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(wnd, &ps);
        RECT r;
        GetClientRect(wnd, &r);
        HBRUSH b = CreateSolidBrush(c ? c->Color() : RGB(0, 0, 0));
        FillRect(dc, &r, b);
        DeleteObject(b);
        EndPaint(wnd, &ps);
        return 0;
    }
    case WM_SETFOCUS:
        if (c) c->OnWindowFocus(true);
        return 0;
    case WM_KILLFOCUS:
        if (c) c->OnWindowFocus(false);
        return 0;
    default:
        return DefWindowProcA(wnd, msg, wp, lp);
    }
}

void RegisterWindowClassOnce() {
    static bool done = false;
    if (done) return;
    done = true;
    WNDCLASSA wc = {};
    wc.lpfnWndProc = ControlWndProc;
    wc.hInstance = gTestModule;
    wc.lpszClassName = kWindowClass;
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    RegisterClassA(&wc);
}

}  // namespace

IUnknown* TestControlCreate(REFCLSID clsid) {
    for (const ClassRow& row : kRows) {
        if (!IsEqualCLSID(clsid, *row.clsid)) continue;
        RegisterWindowClassOnce();
        return static_cast<IOleObject*>(new TestControl(row));
    }
    return nullptr;
}
