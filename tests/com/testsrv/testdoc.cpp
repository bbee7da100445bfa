// testdoc.cpp - the embeddable test document of the test server
// (QovTest.Document): an OLE object with three named verbs, a storage that
// keeps one known stream with the document's state text, a view object
// painting one colour, and a data object offering CF_TEXT and
// CF_METAFILEPICT. On request (method Raise) it calls its container's advise
// sinks: 1 data changed, 2 closed, 3 renamed, 4 saved.
#include "testdoc.h"

#include <string>
#include <vector>

namespace {

constexpr COLORREF kDocColor = RGB(120, 60, 200);
constexpr LONG kDocExtentX = 2540, kDocExtentY = 1270;
constexpr wchar_t kStreamName[] = L"QovDoc";
constexpr char kStreamMark[] = "QOVDOC:";
enum DocId : DISPID { kIdState = 1, kIdRaise = 2, kIdLog = 3, kIdLastVerb = 4, kIdLastDraw = 5 };
enum RaiseWhat : LONG { kRaiseData = 1, kRaiseClose = 2, kRaiseRename = 3, kRaiseSave = 4 };

struct Verb {
    LONG id;
    const wchar_t* name;
};
const Verb kVerbs[] = {{0, L"&Edit"}, {1, L"&Open"}, {2, L"&Print"}};

class VerbEnum : public IEnumOLEVERB {
public:
    virtual ~VerbEnum() = default;
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        *out = nullptr;
        if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IEnumOLEVERB)) return E_NOINTERFACE;
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
    STDMETHODIMP Next(ULONG n, OLEVERB* out, ULONG* got) override {
        ULONG k = 0;
        while (k < n && at_ < sizeof kVerbs / sizeof kVerbs[0]) {
            const Verb& v = kVerbs[at_++];
            size_t bytes = (wcslen(v.name) + 1) * sizeof(wchar_t);
            LPOLESTR name = static_cast<LPOLESTR>(CoTaskMemAlloc(bytes));
            if (name) memcpy(name, v.name, bytes);
            out[k].lVerb = v.id;
            out[k].lpszVerbName = name;
            out[k].fuFlags = MF_STRING;
            out[k].grfAttribs = OLEVERBATTRIB_ONCONTAINERMENU;
            ++k;
        }
        if (got) *got = k;
        return k == n ? S_OK : S_FALSE;
    }
    STDMETHODIMP Skip(ULONG n) override {
        at_ += n;
        return at_ <= sizeof kVerbs / sizeof kVerbs[0] ? S_OK : S_FALSE;
    }
    STDMETHODIMP Reset() override {
        at_ = 0;
        return S_OK;
    }
    STDMETHODIMP Clone(IEnumOLEVERB**) override { return E_NOTIMPL; }

private:
    ULONG refs_ = 1;
    size_t at_ = 0;
};

HGLOBAL TextGlobal(const std::string& text) {
    HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, text.size() + 1);
    if (!h) return nullptr;
    memcpy(GlobalLock(h), text.c_str(), text.size() + 1);
    GlobalUnlock(h);
    return h;
}

// A small metafile picture of the document's colour.
HGLOBAL PictGlobal() {
    HDC mf = CreateMetaFileA(nullptr);
    HBRUSH b = CreateSolidBrush(kDocColor);
    RECT r = {0, 0, 100, 50};
    FillRect(mf, &r, b);
    DeleteObject(b);
    HMETAFILE h = CloseMetaFile(mf);
    HGLOBAL g = GlobalAlloc(GMEM_MOVEABLE, sizeof(METAFILEPICT));
    if (!g) {
        DeleteMetaFile(h);
        return nullptr;
    }
    METAFILEPICT* p = static_cast<METAFILEPICT*>(GlobalLock(g));
    p->mm = MM_ANISOTROPIC;
    p->xExt = kDocExtentX;
    p->yExt = kDocExtentY;
    p->hMF = h;
    GlobalUnlock(g);
    return g;
}

class TestDocument : public IOleObject, public IPersistStorage, public IViewObject2, public IDataObject,
                     public IDispatch, public IOleInPlaceObject {
public:
    virtual ~TestDocument() {
        if (site_) site_->Release();
        if (oleSink_) oleSink_->Release();
        if (dataSink_) dataSink_->Release();
        if (viewSink_) viewSink_->Release();
    }
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        *out = nullptr;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IOleObject)) *out = static_cast<IOleObject*>(this);
        else if (IsEqualIID(iid, IID_IPersistStorage) || IsEqualIID(iid, IID_IPersist))
            *out = static_cast<IPersistStorage*>(this);
        else if (IsEqualIID(iid, IID_IViewObject) || IsEqualIID(iid, IID_IViewObject2))
            *out = static_cast<IViewObject2*>(this);
        else if (IsEqualIID(iid, IID_IDataObject)) *out = static_cast<IDataObject*>(this);
        else if (IsEqualIID(iid, IID_IDispatch)) *out = static_cast<IDispatch*>(this);
        else if (IsEqualIID(iid, IID_IOleInPlaceObject) || IsEqualIID(iid, IID_IOleWindow))
            *out = static_cast<IOleInPlaceObject*>(this);
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
        if (site) site->AddRef();
        if (site_) site_->Release();
        site_ = site;
        return S_OK;
    }
    STDMETHODIMP GetClientSite(IOleClientSite** out) override {
        *out = site_;
        if (site_) site_->AddRef();
        return S_OK;
    }
    STDMETHODIMP SetHostNames(LPCOLESTR, LPCOLESTR obj) override {
        char o[300] = "";
        WideCharToMultiByte(CP_ACP, 0, obj ? obj : L"", -1, o, sizeof o - 1, nullptr, nullptr);
        Note(std::string("SetHostNames(") + o + ")");
        return S_OK;
    }
    STDMETHODIMP Close(DWORD) override {
        Note("Close");
        return S_OK;
    }
    STDMETHODIMP SetMoniker(DWORD, IMoniker*) override { return S_OK; }
    STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker**) override { return E_NOTIMPL; }
    STDMETHODIMP InitFromData(IDataObject*, BOOL, DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP GetClipboardData(DWORD, IDataObject**) override { return E_NOTIMPL; }
    STDMETHODIMP DoVerb(LONG verb, LPMSG, IOleClientSite*, LONG, HWND, LPCRECT) override {
        lastVerb_ = verb;
        Note("DoVerb(" + std::to_string(verb) + ")");
        return verb == OLEIVERB_UIACTIVATE ? UIActivate() : S_OK;
    }
    STDMETHODIMP EnumVerbs(IEnumOLEVERB** out) override {
        *out = new VerbEnum();
        return S_OK;
    }
    STDMETHODIMP Update() override {
        Note("Update");
        return S_OK;
    }
    STDMETHODIMP IsUpToDate() override { return S_OK; }
    STDMETHODIMP GetUserClassID(CLSID* out) override {
        *out = kClsidTestDocument;
        return S_OK;
    }
    STDMETHODIMP GetUserType(DWORD, LPOLESTR*) override { return OLE_S_USEREG; }
    STDMETHODIMP SetExtent(DWORD, SIZEL* size) override {
        extent_ = *size;
        Note("SetExtent");
        return S_OK;
    }
    // The content has an extent; the icon has none (the container chooses its box).
    STDMETHODIMP GetExtent(DWORD aspect, SIZEL* size) override {
        if (aspect == DVASPECT_ICON) {
            size->cx = size->cy = 0;
            return OLE_E_BLANK;
        }
        *size = extent_;
        return S_OK;
    }
    STDMETHODIMP Advise(IAdviseSink* sink, DWORD* cookie) override { return Keep(&oleSink_, sink, cookie); }
    STDMETHODIMP Unadvise(DWORD) override { return Keep(&oleSink_, nullptr, nullptr); }
    STDMETHODIMP EnumAdvise(IEnumSTATDATA**) override { return E_NOTIMPL; }
    STDMETHODIMP GetMiscStatus(DWORD, DWORD* status) override {
        *status = 0;
        return S_OK;
    }
    STDMETHODIMP SetColorScheme(LOGPALETTE*) override { return E_NOTIMPL; }

    // ---- IPersistStorage: one stream holding the state text
    STDMETHODIMP GetClassID(CLSID* out) override {
        *out = kClsidTestDocument;
        return S_OK;
    }
    STDMETHODIMP IsDirty() override { return S_OK; }
    STDMETHODIMP InitNew(IStorage*) override {
        Note("InitNew");
        return S_OK;
    }
    STDMETHODIMP Load(IStorage* stg) override {
        IStream* s = nullptr;
        HRESULT hr = stg->OpenStream(kStreamName, nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, 0, &s);
        if (FAILED(hr)) return hr;
        char buf[512] = "";
        ULONG got = 0;
        s->Read(buf, sizeof buf - 1, &got);
        s->Release();
        std::string text(buf, got);
        if (text.compare(0, strlen(kStreamMark), kStreamMark) != 0) return STG_E_READFAULT;
        state_ = text.substr(strlen(kStreamMark));
        Note("Load");
        return S_OK;
    }
    STDMETHODIMP Save(IStorage* stg, BOOL) override {
        // A document whose save fails, for the form that must then fail.
        if (state_ == "save-fails") return STG_E_MEDIUMFULL;
        IStream* s = nullptr;
        HRESULT hr = stg->CreateStream(kStreamName, STGM_CREATE | STGM_WRITE | STGM_SHARE_EXCLUSIVE, 0, 0, &s);
        if (FAILED(hr)) return hr;
        std::string text = kStreamMark + state_;
        ULONG put = 0;
        hr = s->Write(text.data(), static_cast<ULONG>(text.size()), &put);
        s->Release();
        Note("Save");
        return hr;
    }
    STDMETHODIMP SaveCompleted(IStorage*) override { return S_OK; }
    STDMETHODIMP HandsOffStorage() override { return S_OK; }

    // ---- IViewObject2
    STDMETHODIMP Draw(DWORD, LONG, void*, DVTARGETDEVICE*, HDC, HDC hdc, LPCRECTL bounds, LPCRECTL,
                      BOOL(STDMETHODCALLTYPE*)(ULONG_PTR), ULONG_PTR) override {
        if (!bounds) return E_INVALIDARG;
        RECT r = {bounds->left, bounds->top, bounds->right, bounds->bottom};
        HBRUSH b = CreateSolidBrush(kDocColor);
        FillRect(hdc, &r, b);
        DeleteObject(b);
        lastDraw_ = r;
        return S_OK;
    }
    STDMETHODIMP GetColorSet(DWORD, LONG, void*, DVTARGETDEVICE*, HDC, LOGPALETTE**) override { return E_NOTIMPL; }
    STDMETHODIMP Freeze(DWORD, LONG, void*, DWORD*) override { return E_NOTIMPL; }
    STDMETHODIMP Unfreeze(DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP SetAdvise(DWORD, DWORD, IAdviseSink* sink) override { return Keep(&viewSink_, sink, nullptr); }
    STDMETHODIMP GetAdvise(DWORD*, DWORD*, IAdviseSink**) override { return E_NOTIMPL; }
    STDMETHODIMP GetExtent(DWORD, LONG, DVTARGETDEVICE*, LPSIZEL size) override {
        *size = extent_;
        return S_OK;
    }

    // ---- IDataObject
    STDMETHODIMP GetData(FORMATETC* f, STGMEDIUM* m) override {
        memset(m, 0, sizeof *m);
        if (f->cfFormat == CF_TEXT && (f->tymed & TYMED_HGLOBAL)) {
            m->tymed = TYMED_HGLOBAL;
            m->hGlobal = TextGlobal(state_);
            return m->hGlobal ? S_OK : E_OUTOFMEMORY;
        }
        if (f->cfFormat == CF_METAFILEPICT && (f->tymed & TYMED_MFPICT)) {
            m->tymed = TYMED_MFPICT;
            m->hMetaFilePict = PictGlobal();
            return m->hMetaFilePict ? S_OK : E_OUTOFMEMORY;
        }
        return DV_E_FORMATETC;
    }
    STDMETHODIMP GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
    STDMETHODIMP QueryGetData(FORMATETC* f) override {
        return f->cfFormat == CF_TEXT || f->cfFormat == CF_METAFILEPICT ? S_OK : DV_E_FORMATETC;
    }
    STDMETHODIMP GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out) override {
        out->ptd = nullptr;
        return DATA_S_SAMEFORMATETC;
    }
    STDMETHODIMP SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP EnumFormatEtc(DWORD, IEnumFORMATETC**) override { return E_NOTIMPL; }
    STDMETHODIMP DAdvise(FORMATETC*, DWORD, IAdviseSink* sink, DWORD* cookie) override {
        return Keep(&dataSink_, sink, cookie);
    }
    STDMETHODIMP DUnadvise(DWORD) override { return Keep(&dataSink_, nullptr, nullptr); }
    STDMETHODIMP EnumDAdvise(IEnumSTATDATA**) override { return E_NOTIMPL; }

    // ---- IDispatch: State (get/put), Raise(what), Log, LastVerb
    STDMETHODIMP GetTypeInfoCount(UINT* n) override {
        *n = 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
        struct Row {
            const wchar_t* name;
            DISPID id;
        };
        static const Row kRows[] = {{L"State", kIdState}, {L"Raise", kIdRaise}, {L"Log", kIdLog},
                                    {L"LastVerb", kIdLastVerb}, {L"LastDraw", kIdLastDraw}};
        HRESULT hr = S_OK;
        for (UINT i = 0; i < count; ++i) {
            ids[i] = DISPID_UNKNOWN;
            for (const Row& r : kRows)
                if (_wcsicmp(r.name, names[i]) == 0) ids[i] = r.id;
            if (ids[i] == DISPID_UNKNOWN) hr = DISP_E_UNKNOWNNAME;
        }
        return hr;
    }
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* p, VARIANT* result, EXCEPINFO*,
                        UINT*) override {
        switch (id) {
        case kIdState:
            if (flags & DISPATCH_PROPERTYPUT) {
                VARIANT v;
                VariantInit(&v);
                if (!p || p->cArgs < 1 || FAILED(VariantChangeType(&v, &p->rgvarg[0], 0, VT_BSTR)))
                    return DISP_E_TYPEMISMATCH;
                char a[256] = "";
                WideCharToMultiByte(CP_ACP, 0, V_BSTR(&v), -1, a, sizeof a - 1, nullptr, nullptr);
                VariantClear(&v);
                state_ = a;
                return S_OK;
            }
            return Text(result, state_);
        case kIdRaise: return Raise(p && p->cArgs ? ArgLong(&p->rgvarg[p->cArgs - 1]) : 0);
        case kIdLog: return Text(result, JoinedLog());
        case kIdLastDraw:
            return Text(result, std::to_string(lastDraw_.left) + "," + std::to_string(lastDraw_.top) + "," +
                                    std::to_string(lastDraw_.right) + "," + std::to_string(lastDraw_.bottom));
        case kIdLastVerb:
            if (result) {
                VariantInit(result);
                V_VT(result) = VT_I4;
                V_I4(result) = lastVerb_;
            }
            return S_OK;
        default: return DISP_E_MEMBERNOTFOUND;
        }
    }

    // ---- IOleWindow / IOleInPlaceObject: a windowless document activated in
    // place and in the UI by verb OLEIVERB_UIACTIVATE.
    STDMETHODIMP GetWindow(HWND*) override { return E_FAIL; }
    STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP InPlaceDeactivate() override {
        UIDeactivate();
        if (!inPlace_) return S_OK;
        inPlace_ = false;
        IOleInPlaceSite* ips = InPlaceSite();
        if (ips) {
            ips->OnInPlaceDeactivate();
            ips->Release();
        }
        Note("InPlaceDeactivate");
        return S_OK;
    }
    STDMETHODIMP UIDeactivate() override {
        if (!uiActive_) return S_OK;
        uiActive_ = false;
        IOleInPlaceSite* ips = InPlaceSite();
        if (ips) {
            ips->OnUIDeactivate(FALSE);
            ips->Release();
        }
        Note("UIDeactivate");
        return S_OK;
    }
    STDMETHODIMP SetObjectRects(LPCRECT, LPCRECT) override { return S_OK; }
    STDMETHODIMP ReactivateAndUndo() override { return E_NOTIMPL; }

private:
    IOleInPlaceSite* InPlaceSite() {
        IOleInPlaceSite* s = nullptr;
        if (site_) site_->QueryInterface(IID_IOleInPlaceSite, reinterpret_cast<void**>(&s));
        return s;
    }
    HRESULT UIActivate() {
        IOleInPlaceSite* ips = InPlaceSite();
        if (!ips) return E_UNEXPECTED;
        HRESULT hr = S_OK;
        if (!inPlace_) {
            hr = ips->CanInPlaceActivate() == S_OK ? ips->OnInPlaceActivate() : E_FAIL;
            inPlace_ = SUCCEEDED(hr);
        }
        if (inPlace_ && !uiActive_) {
            hr = ips->OnUIActivate();
            uiActive_ = SUCCEEDED(hr);
            Note("UIActivate");
        }
        ips->Release();
        return hr;
    }
    static LONG ArgLong(VARIANT* v) {
        VARIANT x;
        VariantInit(&x);
        return SUCCEEDED(VariantChangeType(&x, v, 0, VT_I4)) ? V_I4(&x) : 0;
    }
    static HRESULT Text(VARIANT* result, const std::string& s) {
        if (!result) return S_OK;
        VariantInit(result);
        V_VT(result) = VT_BSTR;
        std::wstring w(s.begin(), s.end());
        V_BSTR(result) = SysAllocString(w.c_str());
        return S_OK;
    }
    static HRESULT Keep(IAdviseSink** slot, IAdviseSink* sink, DWORD* cookie) {
        if (sink) sink->AddRef();
        if (*slot) (*slot)->Release();
        *slot = sink;
        if (cookie) *cookie = 1;
        return S_OK;
    }
    HRESULT Raise(LONG what) {
        Note("Raise(" + std::to_string(what) + ")");
        switch (what) {
        case kRaiseData:
            if (dataSink_) dataSink_->OnDataChange(nullptr, nullptr);
            return S_OK;
        case kRaiseClose:
            if (oleSink_) oleSink_->OnClose();
            return S_OK;
        case kRaiseRename:
            if (oleSink_) oleSink_->OnRename(nullptr);
            return S_OK;
        case kRaiseSave:
            if (oleSink_) oleSink_->OnSave();
            return S_OK;
        default: return E_INVALIDARG;
        }
    }
    void Note(const std::string& s) { log_.push_back(s); }
    std::string JoinedLog() const {
        std::string s;
        for (const std::string& e : log_) s += e + ";";
        return s;
    }

    LONG refs_ = 1;
    IOleClientSite* site_ = nullptr;
    IAdviseSink* oleSink_ = nullptr;
    IAdviseSink* dataSink_ = nullptr;
    IAdviseSink* viewSink_ = nullptr;
    SIZEL extent_ = {kDocExtentX, kDocExtentY};
    std::string state_ = "new";
    LONG lastVerb_ = -100;
    RECT lastDraw_ = {};
    bool inPlace_ = false, uiActive_ = false;
    std::vector<std::string> log_;
};

}  // namespace

IUnknown* TestDocumentCreate() { return static_cast<IOleObject*>(new TestDocument()); }

// ---- A property page ------------------------------------------------------------------
// One page with a single static text, for the container's property frame.
namespace {

class TestPage : public IPropertyPage {
public:
    virtual ~TestPage() {
        if (site_) site_->Release();
    }
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        *out = nullptr;
        if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IPropertyPage)) return E_NOINTERFACE;
        *out = this;
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return InterlockedIncrement(&refs_); }
    STDMETHODIMP_(ULONG) Release() override {
        LONG n = InterlockedDecrement(&refs_);
        if (n == 0) delete this;
        return static_cast<ULONG>(n);
    }
    STDMETHODIMP SetPageSite(IPropertyPageSite* site) override {
        if (site) site->AddRef();
        if (site_) site_->Release();
        site_ = site;
        return S_OK;
    }
    STDMETHODIMP Activate(HWND parent, LPCRECT r, BOOL) override {
        wnd_ = CreateWindowExA(0, "STATIC", "QovTest page", WS_CHILD | WS_VISIBLE, r->left, r->top,
                               r->right - r->left, r->bottom - r->top, parent, nullptr, nullptr, nullptr);
        return wnd_ ? S_OK : E_FAIL;
    }
    STDMETHODIMP Deactivate() override {
        if (wnd_) DestroyWindow(wnd_);
        wnd_ = nullptr;
        return S_OK;
    }
    STDMETHODIMP GetPageInfo(PROPPAGEINFO* info) override {
        static const wchar_t kTitle[] = L"QovTest";
        info->cb = sizeof *info;
        info->pszTitle = static_cast<LPOLESTR>(CoTaskMemAlloc(sizeof kTitle));
        if (info->pszTitle) memcpy(info->pszTitle, kTitle, sizeof kTitle);
        info->size.cx = 200;
        info->size.cy = 100;
        info->pszDocString = nullptr;
        info->pszHelpFile = nullptr;
        info->dwHelpContext = 0;
        return S_OK;
    }
    STDMETHODIMP SetObjects(ULONG, IUnknown**) override { return S_OK; }
    STDMETHODIMP Show(UINT cmd) override {
        if (wnd_) ShowWindow(wnd_, cmd);
        return S_OK;
    }
    STDMETHODIMP Move(LPCRECT r) override {
        if (wnd_) MoveWindow(wnd_, r->left, r->top, r->right - r->left, r->bottom - r->top, TRUE);
        return S_OK;
    }
    STDMETHODIMP IsPageDirty() override { return S_FALSE; }
    STDMETHODIMP Apply() override { return S_OK; }
    STDMETHODIMP Help(LPCOLESTR) override { return E_NOTIMPL; }
    STDMETHODIMP TranslateAccelerator(MSG*) override { return S_FALSE; }

private:
    LONG refs_ = 1;
    IPropertyPageSite* site_ = nullptr;
    HWND wnd_ = nullptr;
};

}  // namespace

IUnknown* TestPageCreate() { return new TestPage(); }
