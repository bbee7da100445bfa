// fakeribbon.cpp - the tests' stand-in Ribbon framework: framework, view,
// contextual pop-up and class object, each recording its calls in gFake.
#include "fakeribbon.h"

#include <propsys.h>

#include <cstdarg>
#include <cstdio>
#include <cwchar>

#include "session/util/bytereader.h"

FakeState gFake;
const char kFakeWindowTitle[] = "Qov fake ribbon";

namespace {

void Log(const char* fmt, ...) {
    char line[256];
    va_list ap;
    va_start(ap, fmt);
    vsnprintf(line, sizeof line, fmt, ap);
    va_end(ap);
    gFake.calls.push_back(line);
}

IPropertyStore* NewMemoryStore() {
    IPropertyStore* store = nullptr;
    PSCreateMemoryPropertyStore(IID_IPropertyStore, reinterpret_cast<void**>(&store));
    return store;
}

// Drops one reference; the last deletes the object.
template <class Object>
ULONG DropRef(Object* self, LONG* refs) {
    LONG left = --*refs;
    if (left == 0) delete self;
    return static_cast<ULONG>(left);
}

// A property store face that forwards to a memory store.
class StoreFace : public IPropertyStore {
public:
    STDMETHODIMP GetCount(DWORD* n) override { return inner_->GetCount(n); }
    STDMETHODIMP GetAt(DWORD i, PROPERTYKEY* key) override { return inner_->GetAt(i, key); }
    STDMETHODIMP GetValue(REFPROPERTYKEY key, PROPVARIANT* v) override { return inner_->GetValue(key, v); }
    STDMETHODIMP SetValue(REFPROPERTYKEY key, REFPROPVARIANT v) override {
        Log("Store SetValue %lu", static_cast<unsigned long>(UiPropertyIndexOf(key)));
        return inner_->SetValue(key, v);
    }
    STDMETHODIMP Commit() override {
        Log("Store Commit");
        return inner_->Commit();
    }

protected:
    IPropertyStore* inner_ = NewMemoryStore();
};

class FakeView final : public IUIRibbon, public StoreFace {
public:
    FakeView() { ++gFake.liveViews; }
    ~FakeView() {
        if (inner_) inner_->Release();
        --gFake.liveViews;
    }
    STDMETHODIMP QueryInterface(REFIID riid, void** out) override {
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IUIRibbon)) *out = static_cast<IUIRibbon*>(this);
        else if (IsEqualIID(riid, IID_IPropertyStore)) *out = static_cast<IPropertyStore*>(this);
        else return *out = nullptr, E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(gFake.viewRefs = ++refs_); }
    STDMETHODIMP_(ULONG) Release() override {
        LONG left = --refs_;
        gFake.viewRefs = left;
        if (left == 0) delete this;
        return static_cast<ULONG>(left);
    }
    STDMETHODIMP GetHeight(UINT32* height) override {
        *height = gFake.viewHeight;
        return S_OK;
    }
    STDMETHODIMP LoadSettingsFromStream(IStream*) override { return E_NOTIMPL; }
    STDMETHODIMP SaveSettingsToStream(IStream*) override { return E_NOTIMPL; }
    IPropertyStore* Store() { return this; }

private:
    LONG refs_ = 0;
};

class FakePopup final : public IUIContextualUI {
public:
    STDMETHODIMP QueryInterface(REFIID riid, void** out) override {
        if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, IID_IUIContextualUI))
            return *out = nullptr, E_NOINTERFACE;
        *out = this;
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(++refs_); }
    STDMETHODIMP_(ULONG) Release() override { return DropRef(this, &refs_); }
    STDMETHODIMP ShowAtLocation(INT32 x, INT32 y) override {
        Log("ShowAtLocation %d %d", x, y);
        return S_OK;
    }

private:
    LONG refs_ = 0;
};

class FakeFramework;
FakeFramework* gLatest = nullptr;
LRESULT CALLBACK FakeWindowProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp);

class FakeFramework final : public IUIFramework, public StoreFace {
public:
    FakeFramework() { ++gFake.liveFrameworks; }
    ~FakeFramework() {
        Teardown();
        if (inner_) inner_->Release();
        for (auto& v : props_) PropVariantClear(&v.second);
        for (auto& s : fontStores_) s.second->Release();
        if (gLatest == this) gLatest = nullptr;
        --gFake.liveFrameworks;
    }
    STDMETHODIMP QueryInterface(REFIID riid, void** out) override {
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IUIFramework))
            *out = static_cast<IUIFramework*>(this);
        else if (IsEqualIID(riid, IID_IPropertyStore)) *out = static_cast<IPropertyStore*>(this);
        else return *out = nullptr, E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(++refs_); }
    STDMETHODIMP_(ULONG) Release() override { return DropRef(this, &refs_); }

    STDMETHODIMP Initialize(HWND frame, IUIApplication* application) override {
        Log("Initialize");
        if (!frame || !application) return E_POINTER;
        app_ = application;
        app_->AddRef();
        gLatest = this;
        WNDCLASSA wc = {};
        wc.lpfnWndProc = FakeWindowProc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "QovFakeRibbon";
        RegisterClassA(&wc);
        wnd_ = CreateWindowExA(0, wc.lpszClassName, kFakeWindowTitle, WS_OVERLAPPED, 0, 0, 10, 10, nullptr,
                               nullptr, wc.hInstance, nullptr);
        if (wnd_) SetWindowLongPtrA(wnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        return S_OK;
    }
    STDMETHODIMP Destroy() override {
        Log("Destroy");
        Teardown();
        return S_OK;
    }
    STDMETHODIMP LoadUI(HINSTANCE instance, LPCWSTR name) override {
        char ansi[128] = {};
        WideCharToMultiByte(CP_ACP, 0, name, -1, ansi, sizeof ansi - 1, nullptr, nullptr);
        Log("LoadUI %s", ansi);
        if (FAILED(gFake.loadResult)) return gFake.loadResult;
        HRSRC res = FindResourceW(instance, name, reinterpret_cast<LPCWSTR>(RT_RCDATA));
        HGLOBAL block = res ? LoadResource(instance, res) : nullptr;
        const void* data = block ? LockResource(block) : nullptr;
        if (!data) return HRESULT_FROM_WIN32(ERROR_RESOURCE_NAME_NOT_FOUND);
        ByteReader r(data, SizeofResource(instance, res));
        uint32_t count = 0;
        if (!r.U32At(0, &count)) return E_FAIL;
        view_ = new FakeView();
        view_->AddRef();
        app_->OnViewChanged(0, UI_VIEWTYPE_RIBBON, static_cast<IUIRibbon*>(view_), UI_VIEWVERB_CREATE, 0);
        app_->OnViewChanged(0, UI_VIEWTYPE_RIBBON, static_cast<IUIRibbon*>(view_), UI_VIEWVERB_SIZE, 0);
        for (uint32_t i = 0; i < count; ++i) {
            uint32_t id = 0, type = 0;
            if (!r.U32At(4 + 8 * i, &id) || !r.U32At(8 + 8 * i, &type)) return E_FAIL;
            CreateCommand(id, static_cast<int32_t>(type));
        }
        return S_OK;
    }
    STDMETHODIMP GetView(UINT32 viewId, REFIID riid, void** out) override {
        Log("GetView %u", viewId);
        if (!IsEqualIID(riid, IID_IUIContextualUI)) return E_NOINTERFACE;
        return (new FakePopup())->QueryInterface(riid, out);
    }
    STDMETHODIMP GetUICommandProperty(UINT32 id, REFPROPERTYKEY key, PROPVARIANT* value) override {
        uint32_t index = UiPropertyIndexOf(key);
        Log("GetUICommandProperty %u %u", id, index);
        auto it = props_.find({id, index});
        if (it == props_.end()) return E_FAIL;
        return PropVariantCopy(value, &it->second);
    }
    STDMETHODIMP SetUICommandProperty(UINT32 id, REFPROPERTYKEY key, REFPROPVARIANT value) override {
        uint32_t index = UiPropertyIndexOf(key);
        Log("SetUICommandProperty %u %u vt=%u", id, index, value.vt);
        PROPVARIANT& slot = props_[{id, index}];
        PropVariantClear(&slot);
        return PropVariantCopy(&slot, &value);
    }
    STDMETHODIMP InvalidateUICommand(UINT32 id, int32_t flags, const PROPERTYKEY* key) override {
        uint32_t index = key ? UiPropertyIndexOf(*key) : 0;
        Log("InvalidateUICommand %u %d %u", id, flags, index);
        if (key) pending_.push_back({id, *key});
        return S_OK;
    }
    STDMETHODIMP FlushPendingInvalidations() override {
        Log("FlushPendingInvalidations");
        std::vector<std::pair<uint32_t, PROPERTYKEY>> now;
        now.swap(pending_);
        for (auto& p : now) AskFor(p.first, p.second);
        return S_OK;
    }
    STDMETHODIMP SetModes(INT32 modes) override {
        Log("SetModes %d", modes);
        return S_OK;
    }

    // What the framework does when a command first shows.
    HRESULT CreateCommand(uint32_t id, int32_t type) {
        IUICommandHandler* h = nullptr;
        HRESULT hr = app_ ? app_->OnCreateUICommand(id, type, &h) : E_FAIL;
        Log("OnCreateUICommand %u %d -> 0x%08lX", id, type, static_cast<unsigned long>(hr));
        if (FAILED(hr) || !h) return hr;
        IUICommandHandler*& slot = handlers_[id];
        if (slot) slot->Release();
        slot = h;
        for (uint32_t index : {kUiPkLabelDescription, kUiPkKeytip, kUiPkLabel, kUiPkTooltipDescription,
                               kUiPkTooltipTitle}) {
            AskFor(id, UiPropertyKey(index, VT_LPWSTR));
        }
        if (type == UI_COMMANDTYPE_RECENTITEMS) AskFor(id, UiPropertyKey(kUiPkRecentItems, VT_ARRAY | VT_UNKNOWN));
        return S_OK;
    }
    // UpdateProperty of one key; the value is kept in gFake.updates.
    void AskFor(uint32_t id, const PROPERTYKEY& key) {
        auto it = handlers_.find(id);
        if (it == handlers_.end()) return;
        uint32_t index = UiPropertyIndexOf(key);
        PROPVARIANT current, fresh;
        PropVariantInit(&current);
        PropVariantInit(&fresh);
        if (index == kUiPkFontProperties) PvSetUnknown(&current, FontStore(id));
        HRESULT hr = it->second->UpdateProperty(id, key, &current, &fresh);
        Log("UpdateProperty %u %u -> 0x%08lX vt=%u", id, index, static_cast<unsigned long>(hr), fresh.vt);
        PropVariantClear(&current);
        if (fresh.vt == VT_EMPTY) return;
        PROPVARIANT& slot = gFake.updates[{id, index}];
        PropVariantClear(&slot);
        slot = fresh;
    }
    IPropertyStore* FontStore(uint32_t id) {
        IPropertyStore*& s = fontStores_[id];
        if (!s) s = NewMemoryStore();
        return s;
    }
    void Teardown() {
        if (wnd_) DestroyWindow(wnd_);
        wnd_ = nullptr;
        if (app_ && view_)
            app_->OnViewChanged(0, UI_VIEWTYPE_RIBBON, static_cast<IUIRibbon*>(view_), UI_VIEWVERB_DESTROY, 0);
        for (auto& h : handlers_) {
            if (app_) app_->OnDestroyUICommand(h.first, 0, h.second);
            h.second->Release();
        }
        handlers_.clear();
        if (view_) view_->Release();
        view_ = nullptr;
        if (app_) app_->Release();
        app_ = nullptr;
    }

    IUIApplication* app_ = nullptr;
    FakeView* view_ = nullptr;
    std::map<uint32_t, IUICommandHandler*> handlers_;

private:
    LONG refs_ = 0;
    HWND wnd_ = nullptr;
    std::map<std::pair<uint32_t, uint32_t>, PROPVARIANT> props_;
    std::map<uint32_t, IPropertyStore*> fontStores_;
    std::vector<std::pair<uint32_t, PROPERTYKEY>> pending_;
};

LRESULT CALLBACK FakeWindowProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
    auto* fw = reinterpret_cast<FakeFramework*>(GetWindowLongPtrA(wnd, GWLP_USERDATA));
    switch (msg) {
    case kFakeExecuteMsg: {
        auto it = fw ? fw->handlers_.find(static_cast<uint32_t>(wp)) : decltype(fw->handlers_.end())();
        if (fw && it != fw->handlers_.end())
            it->second->Execute(static_cast<UINT32>(wp), UI_EXECUTIONVERB_EXECUTE, nullptr, nullptr, nullptr);
        return 0;
    }
    case kFakeResizeMsg:
        if (fw) {
            gFake.viewHeight = static_cast<UINT32>(wp);
            fw->app_->OnViewChanged(0, UI_VIEWTYPE_RIBBON, static_cast<IUIRibbon*>(fw->view_), UI_VIEWVERB_SIZE, 0);
        }
        return 0;
    case kFakeCreateCommandMsg:
        if (fw) fw->CreateCommand(static_cast<uint32_t>(wp), static_cast<int32_t>(lp));
        return 0;
    default:
        return DefWindowProcA(wnd, msg, wp, lp);
    }
}

class FakeFactory final : public IClassFactory {
public:
    STDMETHODIMP QueryInterface(REFIID riid, void** out) override {
        if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, IID_IClassFactory))
            return *out = nullptr, E_NOINTERFACE;
        *out = this;
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** out) override {
        if (outer) return CLASS_E_NOAGGREGATION;
        auto* fw = new FakeFramework();
        fw->AddRef();
        HRESULT hr = fw->QueryInterface(riid, out);
        fw->Release();
        return hr;
    }
    STDMETHODIMP LockServer(BOOL) override { return S_OK; }
};

}  // namespace

void FakeReset() {
    gFake.calls.clear();
    gFake.viewHeight = 146;
    gFake.loadResult = S_OK;
    for (auto& u : gFake.updates) PropVariantClear(&u.second);
    gFake.updates.clear();
}

bool FakeCalled(const std::string& line) {
    for (const std::string& c : gFake.calls)
        if (c == line) return true;
    return false;
}

IClassFactory* FakeClassFactory() {
    static FakeFactory factory;
    return &factory;
}

IUICommandHandler* FakeHandler(uint32_t commandId) {
    if (!gLatest) return nullptr;
    auto it = gLatest->handlers_.find(commandId);
    return it == gLatest->handlers_.end() ? nullptr : it->second;
}

HRESULT FakeExecute(uint32_t commandId, int32_t verb, const PROPERTYKEY* key, const PROPVARIANT* value,
                    IUISimplePropertySet* props) {
    IUICommandHandler* h = FakeHandler(commandId);
    return h ? h->Execute(commandId, verb, key, value, props) : E_FAIL;
}

HRESULT FakeResizeView(UINT32 height) {
    if (!gLatest || !gLatest->app_) return E_FAIL;
    gFake.viewHeight = height;
    return gLatest->app_->OnViewChanged(0, UI_VIEWTYPE_RIBBON, static_cast<IUIRibbon*>(gLatest->view_),
                                        UI_VIEWVERB_SIZE, 0);
}

HRESULT FakeDestroyView() {
    if (!gLatest || !gLatest->app_) return E_FAIL;
    HRESULT hr = gLatest->app_->OnViewChanged(0, UI_VIEWTYPE_RIBBON, static_cast<IUIRibbon*>(gLatest->view_),
                                              UI_VIEWVERB_DESTROY, 0);
    return hr;
}

HRESULT FakeCreateCommand(uint32_t commandId, int32_t type) {
    return gLatest ? gLatest->CreateCommand(commandId, type) : E_FAIL;
}

void FakeSetCommandValue(uint32_t commandId, uint32_t index, const PROPVARIANT& value) {
    if (!gLatest) return;
    gLatest->SetUICommandProperty(commandId, UiPropertyKey(index, value.vt), value);
}

IPropertyStore* FakeFontStore(uint32_t commandId) { return gLatest ? gLatest->FontStore(commandId) : nullptr; }

const PROPVARIANT* FakeUpdate(uint32_t commandId, uint32_t index) {
    auto it = gFake.updates.find({commandId, index});
    return it == gFake.updates.end() ? nullptr : &it->second;
}

std::wstring FakeUpdateText(uint32_t commandId, uint32_t index) {
    const PROPVARIANT* v = FakeUpdate(commandId, index);
    const wchar_t* s = v ? PvString(v) : nullptr;
    return s ? s : L"<none>";
}

IPropertyStore* FakeFrameworkStore() { return gLatest ? static_cast<IPropertyStore*>(gLatest) : nullptr; }
IPropertyStore* FakeViewStore() { return gLatest && gLatest->view_ ? gLatest->view_->Store() : nullptr; }
IUIApplication* FakeApplication() { return gLatest ? gLatest->app_ : nullptr; }
