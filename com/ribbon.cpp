// ribbon.cpp - the Ribbon host: the three objects the framework calls (the
// application, one command handler per command, one property set per recent
// item), the ribbon record of a window with its creation and destruction, and
// the reads and writes of command properties that window methods 42-45 ask for.
// Everything runs on the main thread.
#include "com/ribbon.h"

#include <commctrl.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "com/oleutil.h"
#include "com/ribfonttext.h"
#include "objects/events.h"
#include "objects/guihooks.h"
#include "objects/objrecord.h"
#include "objects/objtables.h"
#include "objects/window.h"
#include "session/config.h"
#include "session/nomemwin.h"
#include "session/session.h"
#include "session/util/mem.h"

LONG gRibbonLiveObjects;

namespace {

constexpr uint32_t kClientModeKeepHeight = 0x1;   // gClientModeFlags bit 0
constexpr int32_t kNoSelection = -1;
constexpr int32_t kNoCategory = -1;
constexpr uint32_t kTwipsPerPoint = 20;
constexpr uint32_t kTenths = 10;
constexpr uint8_t kResultKindInt = 8;
constexpr uint8_t kResultKindNumber = 16;
constexpr uint32_t kArgId = 0, kArgProperty = 1, kArgValue = 2;
constexpr uint32_t kArgMode = 0, kArgLeft = 1, kArgTop = 2;
constexpr int32_t kFontTypeSet = 2;
// The rich-edit control's largest font, in points.
constexpr double kMaxFontPoints = 1638.0;
constexpr double kInt32Limit = 2147483647.0;

char gRibbonResult[kRibbonResultSize];

}  // namespace

// ---- The objects the framework calls ------------------------------------------------------

class CQovIUICommandHandler;

// The one QueryInterface of these objects: IUnknown and their own interface.
template <class Iface, class Object>
HRESULT QueryOneInterface(Object* self, REFIID riid, REFIID own, void** out) {
    if (!out) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, own)) {
        *out = static_cast<Iface*>(self);
        self->AddRef();
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

// Drops one reference and deletes the object with its last.
template <class Object>
ULONG ReleaseRef(Object* self) {
    LONG left = --self->refs;
    if (left == 0) delete self;
    return static_cast<ULONG>(left);
}

struct PresetText {
    PresetText* next;
    uint32_t index;
    char* text;
};

class CQovIUIApplication final : public IUIApplication {
public:
    explicit CQovIUIApplication(RibbonRecord* rib) : ribbon(rib) { InterlockedIncrement(&gRibbonLiveObjects); }
    ~CQovIUIApplication();

    STDMETHODIMP QueryInterface(REFIID riid, void** out) override {
        return QueryOneInterface<IUIApplication>(this, riid, IID_IUIApplication, out);
    }
    STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(++refs); }
    STDMETHODIMP_(ULONG) Release() override { return ReleaseRef(this); }
    STDMETHODIMP OnViewChanged(UINT32 viewId, int32_t typeId, IUnknown* view, int32_t verb,
                               INT32 reasonCode) override;
    STDMETHODIMP OnCreateUICommand(UINT32 commandId, int32_t typeId, IUICommandHandler** handler) override;
    STDMETHODIMP OnDestroyUICommand(UINT32, int32_t, IUICommandHandler*) override { return E_NOTIMPL; }

    CQovIUICommandHandler* FindHandler(uint32_t commandId) const;
    ObjectRecord* Window() const { return ribbon ? ribbon->window : nullptr; }

    LONG refs = 0;
    RibbonRecord* ribbon;
    IUIRibbon* view = nullptr;
    uint32_t height = 0;
    const char* pendingText = nullptr;
    uint8_t setInProgress = 0;
    CQovIUICommandHandler* handlers = nullptr;
};

class CQovIUICommandHandler final : public IUICommandHandler {
public:
    CQovIUICommandHandler(CQovIUIApplication* app, uint32_t commandId, uint32_t commandType)
        : id(commandId), owner(app) {
        InterlockedIncrement(&gRibbonLiveObjects);
        TakeType(commandType);
    }
    ~CQovIUICommandHandler() {
        Unlink();
        while (PresetText* p = presets) {
            presets = p->next;
            LocalFreeMem(p->text);
            LocalFreeMem(p);
        }
        if (fonts) LocalFreeMem(fonts);
        InterlockedDecrement(&gRibbonLiveObjects);
    }

    STDMETHODIMP QueryInterface(REFIID riid, void** out) override {
        return QueryOneInterface<IUICommandHandler>(this, riid, IID_IUICommandHandler, out);
    }
    STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(++refs); }
    STDMETHODIMP_(ULONG) Release() override { return ReleaseRef(this); }
    STDMETHODIMP Execute(UINT32 commandId, int32_t verb, const PROPERTYKEY* key, const PROPVARIANT* currentValue,
                         IUISimplePropertySet* executionProperties) override;
    STDMETHODIMP UpdateProperty(UINT32 commandId, REFPROPERTYKEY key, const PROPVARIANT* currentValue,
                                PROPVARIANT* newValue) override;

    // The type the framework states; a font command gets its two records.
    void TakeType(uint32_t commandType) {
        type = commandType;
        if (type != UI_COMMANDTYPE_FONT || fonts) return;
        fonts = static_cast<CHARFORMAT2A*>(LocalAllocZero(2 * sizeof(CHARFORMAT2A)));
        if (!fonts) return;
        fonts[0].cbSize = sizeof(CHARFORMAT2A);
        fonts[1].cbSize = sizeof(CHARFORMAT2A);
    }
    CHARFORMAT2A* LastChange() { return fonts; }
    CHARFORMAT2A* Current() { return fonts ? fonts + 1 : nullptr; }
    const char* Preset(uint32_t index) const {
        for (PresetText* p = presets; p; p = p->next)
            if (p->index == index) return p->text;
        return nullptr;
    }
    bool StorePreset(uint32_t index, const char* text) {
        size_t n = strlen(text);
        auto* copy = static_cast<char*>(LocalAllocZero(n + 1));
        if (!copy) return false;
        memcpy(copy, text, n);
        for (PresetText* p = presets; p; p = p->next) {
            if (p->index != index) continue;
            LocalFreeMem(p->text);
            p->text = copy;
            return true;
        }
        auto* item = static_cast<PresetText*>(LocalAllocZero(sizeof(PresetText)));
        if (!item) {
            LocalFreeMem(copy);
            return false;
        }
        item->index = index;
        item->text = copy;
        item->next = presets;
        presets = item;
        return true;
    }
    void Unlink() {
        if (!owner) return;
        for (CQovIUICommandHandler** link = &owner->handlers; *link; link = &(*link)->next) {
            if (*link == this) {
                *link = next;
                break;
            }
        }
        owner = nullptr;
        next = nullptr;
    }

    LONG refs = 0;
    uint32_t id;
    uint32_t type = 0;
    uint16_t listViewId = 0;
    int32_t lastSelected = kNoSelection;
    uint8_t created = 0;          // handed to the framework by OnCreateUICommand
    CQovIUICommandHandler* next = nullptr;
    CQovIUIApplication* owner;
    PresetText* presets = nullptr;
    CHARFORMAT2A* fonts = nullptr;    // [0] the last change, [1] the current font
};

class CQovIUISimplePropertySet final : public IUISimplePropertySet {
public:
    CQovIUISimplePropertySet() { InterlockedIncrement(&gRibbonLiveObjects); }
    ~CQovIUISimplePropertySet() {
        if (image) image->Release();
        InterlockedDecrement(&gRibbonLiveObjects);
    }
    STDMETHODIMP QueryInterface(REFIID riid, void** out) override {
        return QueryOneInterface<IUISimplePropertySet>(this, riid, IID_IUISimplePropertySet, out);
    }
    STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(++refs); }
    STDMETHODIMP_(ULONG) Release() override { return ReleaseRef(this); }
    STDMETHODIMP GetValue(REFPROPERTYKEY key, PROPVARIANT* value) override;

    void SetLabel(wchar_t* field, const wchar_t* text) {
        size_t n = text ? wcslen(text) : 0;
        if (n > kRibbonTextMax) n = kRibbonTextMax;
        if (n) memcpy(field, text, n * sizeof(wchar_t));
        field[n] = 0;
    }

    LONG refs = 0;
    wchar_t label[kRibbonTextMax + 1] = {};
    wchar_t description[kRibbonTextMax + 1] = {};
    int32_t categoryId = kNoCategory;
    IUIImage* image = nullptr;
    int32_t commandId = -1;
    uint32_t commandType = 0;
};

CQovIUIApplication::~CQovIUIApplication() {
    if (view) view->Release();
    // Handlers the framework still holds outlive the application detached;
    // the others go with it.
    while (CQovIUICommandHandler* h = handlers) {
        h->Unlink();
        if (h->refs == 0) delete h;
    }
    InterlockedDecrement(&gRibbonLiveObjects);
}

CQovIUICommandHandler* CQovIUIApplication::FindHandler(uint32_t commandId) const {
    if (commandId == 0) return nullptr;
    for (CQovIUICommandHandler* h = handlers; h; h = h->next)
        if (h->id == commandId) return h;
    return nullptr;
}

// ---- Helpers -------------------------------------------------------------------------------

namespace {

PROPERTYKEY KeyOf(uint32_t index, VARTYPE type) { return UiPropertyKey(index, type); }

// A text into the shared result area, cut to the area at a character boundary.
const char* ResultText(const char* text) {
    size_t n = 0;
    const size_t room = kRibbonResultSize - 1;
    while (text[n] && n < room) {
        size_t step = IsDBCSLeadByte(static_cast<BYTE>(text[n])) && text[n + 1] ? 2 : 1;
        if (n + step > room) break;
        n += step;
    }
    memcpy(gRibbonResult, text, n);
    gRibbonResult[n] = 0;
    return gRibbonResult;
}

const char* ResultWide(const wchar_t* wide) {
    if (!wide) return ResultText("");
    const char* ansi = WideToAnsiTemp(wide);
    return ResultText(ansi ? ansi : "");
}

// Sets a pending or preset ANSI text as the new value in UTF-16.
void TextValue(const char* text, PROPVARIANT* out) {
    if (!text || !out) return;
    const wchar_t* wide = AnsiToWideTemp(text);
    if (wide) PvSetString(out, wide);
}

IPropertyStore* StoreOf(IUnknown* unknown) {
    IPropertyStore* store = nullptr;
    if (!unknown || FAILED(unknown->QueryInterface(IID_IPropertyStore, reinterpret_cast<void**>(&store))))
        return nullptr;
    return store;
}

bool StoreUInt(IPropertyStore* store, uint32_t index, VARTYPE type, uint32_t* out) {
    PROPVARIANT v;
    PropVariantInit(&v);
    PROPERTYKEY key = KeyOf(index, type);
    bool ok = SUCCEEDED(store->GetValue(key, &v)) && v.vt != VT_EMPTY && PvToUInt32(&v, out);
    PropVariantClear(&v);
    return ok;
}

void StoreSetUInt(IPropertyStore* store, uint32_t index, uint32_t value) {
    PROPVARIANT v;
    PropVariantInit(&v);
    PvSetUInt32(&v, value);
    store->SetValue(KeyOf(index, VT_UI4), v);
}

}  // namespace

// ---- The application -------------------------------------------------------------------------

STDMETHODIMP CQovIUIApplication::OnViewChanged(UINT32, int32_t typeId, IUnknown* viewUnknown, int32_t verb,
                                               INT32) {
    return GuardedComCall("the ribbon's view", [&]() -> HRESULT {
        if (typeId != UI_VIEWTYPE_RIBBON) return E_NOTIMPL;
        switch (verb) {
        case UI_VIEWVERB_CREATE:
            if (!view && viewUnknown) {
                viewUnknown->QueryInterface(IID_IUIRibbon, reinterpret_cast<void**>(&view));
                height = kRibbonDefaultHeight;
            }
            break;
        case UI_VIEWVERB_DESTROY:
            // The view was held by a reference of its own: it is given back here.
            if (view) view->Release();
            view = nullptr;
            height = 0;
            break;
        case UI_VIEWVERB_SIZE: {
            UINT32 now = 0;
            if (!view || FAILED(view->GetHeight(&now))) break;
            if (now == 0) now = kRibbonDefaultHeight;
            uint32_t old = height;
            height = now;
            ObjectRecord* win = Window();
            if (!win) break;
            if (now < old) WindowRibbonResize(win, static_cast<int32_t>(old - now), static_cast<int32_t>(now), 1);
            else if (now > old) WindowRibbonResize(win, static_cast<int32_t>(now - old), static_cast<int32_t>(now), 0);
            break;
        }
        default:
            break;
        }
        return S_OK;
    });
}

STDMETHODIMP CQovIUIApplication::OnCreateUICommand(UINT32 commandId, int32_t typeId, IUICommandHandler** out) {
    return GuardedComCall("a ribbon command's handler", [&]() -> HRESULT {
        if (!out) return E_POINTER;
        CQovIUICommandHandler* h = FindHandler(commandId);
        if (h) {
            h->TakeType(static_cast<uint32_t>(typeId));
            h->created = 1;
        } else {
            h = new (std::nothrow) CQovIUICommandHandler(this, commandId, static_cast<uint32_t>(typeId));
            if (!h) return E_NOTIMPL;
            h->created = 1;
            h->next = handlers;
            handlers = h;
        }
        h->AddRef();
        *out = h;
        return S_OK;
    });
}

// ---- The command handler -----------------------------------------------------------------------

STDMETHODIMP CQovIUICommandHandler::Execute(UINT32 commandId, int32_t verb, const PROPERTYKEY* key,
                                            const PROPVARIANT* currentValue,
                                            IUISimplePropertySet* executionProperties) {
    return GuardedComCall("a ribbon command", [&]() -> HRESULT {
        if (verb != UI_EXECUTIONVERB_EXECUTE) return S_OK;
        uint32_t selected;
        if (key && UiPropertyIndexOf(*key) == kUiPkSelectedItem && currentValue && PvToUInt32(currentValue, &selected))
            lastSelected = static_cast<int32_t>(selected);
        ObjectRecord* win = owner ? owner->Window() : nullptr;
        if (win && EventIsRegistered(win, kRibbonClickEvent))
            PostObjectEvent(win, kRibbonClickEvent, kRibbonClickKind, kRibbonClickModifiers,
                            static_cast<int32_t>(commandId));
        if (executionProperties && fonts) {
            PROPVARIANT v;
            PropVariantInit(&v);
            if (SUCCEEDED(executionProperties->GetValue(KeyOf(kUiPkFontChangedProperties, VT_UNKNOWN), &v))) {
                if (IPropertyStore* store = StoreOf(PvUnknown(&v))) {
                    RibbonFontToCharFormat(store, LastChange());
                    RibbonFontToCharFormat(store, Current());
                    store->Release();
                }
            }
            PropVariantClear(&v);
        }
        return S_OK;
    });
}

STDMETHODIMP CQovIUICommandHandler::UpdateProperty(UINT32, REFPROPERTYKEY key, const PROPVARIANT* currentValue,
                                                   PROPVARIANT* newValue) {
    return GuardedComCall("a ribbon command's property", [&]() -> HRESULT {
        const char* pending = owner ? owner->pendingText : nullptr;
        switch (UiPropertyIndexOf(key)) {
        case kUiPkContextAvailable:
            break;
        case kUiPkRecentItems:
            if (listViewId && newValue && owner) RibbonRecentItems(owner->Window(), listViewId, newValue);
            break;
        case kUiPkLabelDescription:
        case kUiPkKeytip:
        case kUiPkLabel:
            TextValue(pending ? pending : Preset(UiPropertyIndexOf(key)), newValue);
            break;
        case kUiPkTooltipDescription:
        case kUiPkTooltipTitle:
            TextValue(pending, newValue);
            break;
        case kUiPkFontProperties: {
            if (!fonts || !currentValue || !newValue) break;
            IPropertyStore* store = StoreOf(PvUnknown(currentValue));
            if (!store) break;
            if (owner && owner->setInProgress) RibbonCharFormatToFont(Current(), store);
            else RibbonFontToCharFormat(store, Current());
            PvSetUnknown(newValue, store);
            store->Release();
            break;
        }
        default:
            break;
        }
        return S_OK;
    });
}

// ---- The recent items' property set -------------------------------------------------------------

STDMETHODIMP CQovIUISimplePropertySet::GetValue(REFPROPERTYKEY key, PROPVARIANT* value) {
    if (!value) return E_POINTER;
    switch (UiPropertyIndexOf(key)) {
    case kUiPkItemImage:
        if (!image) return S_FALSE;
        PvSetUnknown(value, image);
        return S_OK;
    case kUiPkLabel:
        return PvSetString(value, label) ? S_OK : E_OUTOFMEMORY;
    case kUiPkLabelDescription:
        return PvSetString(value, description) ? S_OK : E_OUTOFMEMORY;
    case kUiPkCategoryId:
        PvSetUInt32(value, static_cast<uint32_t>(categoryId));
        return S_OK;
    case kUiPkCommandId:
        if (commandId == -1) return S_FALSE;
        PvSetUInt32(value, static_cast<uint32_t>(commandId));
        return S_OK;
    case kUiPkCommandType:
        PvSetUInt32(value, commandType);
        return S_OK;
    default:
        return E_FAIL;
    }
}

// The recent items of a command: one property set per row of the window's list
// view whose ObjectId is listViewId, labelled by its first two columns.
HRESULT RibbonRecentItems(ObjectRecord* win, uint16_t listViewId, PROPVARIANT* out) {
    ObjectRecord* list = nullptr;
    for (ObjectRecord* c = win ? win->children : nullptr; c && !list; c = c->next)
        if (c->kind == kKindListView && c->objectId == listViewId && c->hwnd) list = c;
    if (!list) return E_FAIL;
    LRESULT rows = SendMessageA(list->hwnd, LVM_GETITEMCOUNT, 0, 0);
    if (rows < 0) rows = 0;
    SAFEARRAY* items = SafeArrayCreateVector(VT_UNKNOWN, 0, static_cast<ULONG>(rows));
    if (!items) return E_OUTOFMEMORY;
    LONG stored = 0;
    for (LONG row = 0; row < rows; ++row) {
        // Column 1 goes right behind column 0's terminator, in what room is left.
        LVITEMA item = {};
        item.pszText = gTextBuf;
        item.cchTextMax = static_cast<int>(kTextBufSize);
        gTextBuf[0] = 0;
        LRESULT n0 = SendMessageA(list->hwnd, LVM_GETITEMTEXTA, static_cast<WPARAM>(row),
                                  reinterpret_cast<LPARAM>(&item));
        size_t second = (n0 > 0 ? static_cast<size_t>(n0) : 0) + 1;
        gTextBuf[second] = 0;
        if (second < kTextBufSize) {
            item.iSubItem = 1;
            item.pszText = gTextBuf + second;
            item.cchTextMax = static_cast<int>(kTextBufSize - second);
            SendMessageA(list->hwnd, LVM_GETITEMTEXTA, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
        }
        auto* set = new (std::nothrow) CQovIUISimplePropertySet();
        if (!set) break;
        set->AddRef();
        // Each conversion reuses the shared buffer: the label is copied first.
        set->SetLabel(set->label, AnsiToWideTemp(gTextBuf));
        set->SetLabel(set->description, AnsiToWideTemp(gTextBuf + second));
        HRESULT hr = SafeArrayPutElement(items, &row, static_cast<IUnknown*>(set));
        set->Release();
        if (FAILED(hr)) break;
        ++stored;
    }
    if (stored < rows) {
        SAFEARRAYBOUND bound = {static_cast<ULONG>(stored), 0};
        SafeArrayRedim(items, &bound);
    }
    out->vt = VT_ARRAY | VT_UNKNOWN;
    out->parray = items;
    return S_OK;
}

// ---- The property table -------------------------------------------------------------------------

namespace {

// What a property needs to be read or written.
enum RibNeed : uint8_t {
    kNeedHandler,       // a handler with the command id
    kNeedPreset,        // a handler, or one made beforehand by a write for an unknown id
    kNeedFont,          // a handler with font records
    kNeedView,          // the ribbon view
    kNeedFramework,     // the framework alone
};
// How the property is read and written.
enum RibAccess : uint8_t {
    kRibAccBool,           // the framework's boolean
    kRibAccText,           // not readable; written by invalidation with the pending text
    kRibAccSelected,       // the last selected item, else the framework's value
    kRibAccUInt,           // the framework's unsigned value
    kRibAccDecimal,        // the framework's decimal (as a number and as "%f")
    kRibAccString,         // the framework's text
    kRibAccFontText,       // the whole font as one text
    kRibAccFont,           // one font property of the handler's records
    kRibAccListView,       // the list view that supplies the recent items
    kRibAccStore,          // the view's or the framework's property store
};

struct RibPropRow {
    uint32_t first, last;
    VARTYPE type;
    RibNeed need;
    RibAccess access;
};

const RibPropRow kRibProps[] = {
    {kUiPkEnabled, kUiPkEnabled, VT_BOOL, kNeedHandler, kRibAccBool},
    {kUiPkLabelDescription, kUiPkTooltipTitle, VT_LPWSTR, kNeedPreset, kRibAccText},
    {kUiPkSelectedItem, kUiPkSelectedItem, VT_UI4, kNeedHandler, kRibAccSelected},
    {kUiPkBooleanValue, kUiPkBooleanValue, VT_BOOL, kNeedHandler, kRibAccBool},
    {kUiPkDecimalValue, kUiPkDecimalValue, VT_DECIMAL, kNeedHandler, kRibAccDecimal},
    {kUiPkStringValue, kUiPkStringValue, VT_LPWSTR, kNeedHandler, kRibAccString},
    {kUiPkFontProperties, kUiPkFontProperties, VT_UNKNOWN, kNeedFont, kRibAccFontText},
    {kUiPkFontFamily, kUiPkFontFamily, VT_LPWSTR, kNeedFont, kRibAccFont},
    {kUiPkFontSize, kUiPkFontSize, VT_DECIMAL, kNeedFont, kRibAccFont},
    {kUiPkFontBold, kUiPkFontBackgroundColorType, VT_UI4, kNeedFont, kRibAccFont},
    {kUiPkRecentItems, kUiPkRecentItems, VT_ARRAY | VT_UNKNOWN, kNeedPreset, kRibAccListView},
    {kUiPkColor, kUiPkColorMode, VT_UI4, kNeedHandler, kRibAccUInt},
    {kUiPkThemeColorsCategoryLabel, kUiPkMoreColorsLabel, VT_LPWSTR, kNeedHandler, kRibAccString},
    {kUiPkViewable, kUiPkMinimized, VT_BOOL, kNeedView, kRibAccStore},
    {kUiPkQuickAccessToolbarDock, kUiPkQuickAccessToolbarDock, VT_UI4, kNeedView, kRibAccStore},
    {kUiPkGlobalBackgroundColor, kUiPkGlobalTextColor, VT_UI4, kNeedFramework, kRibAccStore},
};

const RibPropRow* PropRow(uint32_t index) {
    for (const RibPropRow& row : kRibProps)
        if (index >= row.first && index <= row.last) return &row;
    return nullptr;
}

void ClearCharFormat(CHARFORMAT2A* cf) {
    memset(cf, 0, sizeof *cf);
    cf->cbSize = sizeof *cf;
}

// The row of an index when its needs are met, with the handler; null when
// refused. presetAllowed tells whether a write may make the handler first.
// With clear, a font write starts a fresh last-change record.
const RibPropRow* RibbonPropCheck(RibbonRecord* rib, uint32_t commandId, uint32_t index,
                                  CQovIUICommandHandler** handler, bool* presetAllowed, bool clear) {
    *handler = nullptr;
    *presetAllowed = false;
    const RibPropRow* row = PropRow(index);
    if (!row || !rib || !rib->app) return nullptr;
    CQovIUICommandHandler* h = rib->app->FindHandler(commandId);
    *handler = h;
    switch (row->need) {
    case kNeedPreset:
        *presetAllowed = true;
        return h ? row : nullptr;
    case kNeedHandler:
        return h ? row : nullptr;
    case kNeedFont:
        if (!h || !h->fonts) return nullptr;
        if (clear) ClearCharFormat(h->LastChange());
        return row;
    case kNeedView:
        return rib->app->view ? row : nullptr;
    case kNeedFramework:
        return rib->framework ? row : nullptr;
    }
    return nullptr;
}

IPropertyStore* RowStore(RibbonRecord* rib, const RibPropRow* row) {
    return StoreOf(row->need == kNeedView ? static_cast<IUnknown*>(rib->app->view)
                                          : static_cast<IUnknown*>(rib->framework));
}

// ---- Font records ------------------------------------------------------------------------------

struct FontFlagRow {
    uint32_t index;
    DWORD mask;
    DWORD effect;
};
const FontFlagRow kFontFlags[] = {
    {kUiPkFontBold, CFM_BOLD, CFE_BOLD},
    {kUiPkFontItalic, CFM_ITALIC, CFE_ITALIC},
    {kUiPkFontUnderline, CFM_UNDERLINE, CFE_UNDERLINE},
    {kUiPkFontStrikethrough, CFM_STRIKEOUT, CFE_STRIKEOUT},
};
const FontFlagRow* FontFlag(uint32_t index) {
    for (const FontFlagRow& f : kFontFlags)
        if (f.index == index) return &f;
    return nullptr;
}
constexpr DWORD kScriptMask = CFM_SUBSCRIPT | CFM_SUPERSCRIPT;

// The value of one font index as RibbonGetProp reports it.
uint32_t FontIndexValue(const CHARFORMAT2A* cf, uint32_t index) {
    if (const FontFlagRow* f = FontFlag(index)) return (cf->dwEffects & f->effect) ? 1 : 0;
    switch (index) {
    case kUiPkFontSize:
        return static_cast<uint32_t>(cf->yHeight) * kTenths / kTwipsPerPoint;
    case kUiPkFontVerticalPositioning:
        if (cf->dwEffects & CFE_SUBSCRIPT) return UI_FONTVERTICALPOSITION_SUBSCRIPT;
        return (cf->dwEffects & CFE_SUPERSCRIPT) ? static_cast<uint32_t>(UI_FONTVERTICALPOSITION_SUPERSCRIPT) : 0u;
    case kUiPkFontForegroundColor:
        return cf->crTextColor;
    case kUiPkFontBackgroundColor:
        return cf->crBackColor;
    case kUiPkFontForegroundColorType:
        return (cf->dwMask & CFM_COLOR) && !(cf->dwEffects & CFE_AUTOCOLOR) ? kFontTypeSet : 0;
    case kUiPkFontBackgroundColorType:
        return (cf->dwMask & CFM_BACKCOLOR) && !(cf->dwEffects & CFE_AUTOBACKCOLOR) ? kFontTypeSet : 0;
    default:
        return 0;
    }
}

const char* FontText(const CHARFORMAT2A* cf) {
    auto flag = [cf](uint32_t index) { return FontIndexValue(cf, index) ? '1' : '0'; };
    snprintf(gRibbonResult, sizeof gRibbonResult, "%s,%d,%c,%c,%c,%c,%d,%d,%d,%d,%d", cf->szFaceName,
             static_cast<int>(FontIndexValue(cf, kUiPkFontSize)), flag(kUiPkFontBold), flag(kUiPkFontItalic),
             flag(kUiPkFontUnderline), flag(kUiPkFontStrikethrough),
             static_cast<int>(FontIndexValue(cf, kUiPkFontVerticalPositioning)),
             static_cast<int>(cf->crTextColor), static_cast<int>(cf->crBackColor),
             static_cast<int>(FontIndexValue(cf, kUiPkFontForegroundColorType)),
             static_cast<int>(FontIndexValue(cf, kUiPkFontBackgroundColorType)));
    return gRibbonResult;
}

void SetEffect(CHARFORMAT2A* cf, DWORD effect, bool on) {
    if (on) cf->dwEffects |= effect;
    else cf->dwEffects &= ~effect;
}

// One font property into a record: its mask bit added, its value set.
void FontApply(CHARFORMAT2A* cf, uint32_t index, uint32_t value, const char* face, size_t faceLength) {
    if (const FontFlagRow* f = FontFlag(index)) {
        cf->dwMask |= f->mask;
        SetEffect(cf, f->effect, value != 0);
        return;
    }
    switch (index) {
    case kUiPkFontFamily:
        cf->dwMask |= CFM_FACE;
        memset(cf->szFaceName, 0, sizeof cf->szFaceName);
        if (face && faceLength < sizeof cf->szFaceName) memcpy(cf->szFaceName, face, faceLength);
        break;
    case kUiPkFontSize:
        cf->dwMask |= CFM_SIZE;
        cf->yHeight = static_cast<LONG>(static_cast<uint64_t>(value) * kTwipsPerPoint / kTenths);
        break;
    case kUiPkFontVerticalPositioning:
        cf->dwMask |= kScriptMask;
        cf->dwEffects &= ~(CFE_SUBSCRIPT | CFE_SUPERSCRIPT);
        if (value == UI_FONTVERTICALPOSITION_SUBSCRIPT) cf->dwEffects |= CFE_SUBSCRIPT;
        else if (value == UI_FONTVERTICALPOSITION_SUPERSCRIPT) cf->dwEffects |= CFE_SUPERSCRIPT;
        break;
    case kUiPkFontForegroundColor:
        cf->dwMask |= CFM_COLOR;
        cf->crTextColor = value;
        cf->dwEffects &= ~CFE_AUTOCOLOR;
        break;
    case kUiPkFontBackgroundColor:
        cf->dwMask |= CFM_BACKCOLOR;
        cf->crBackColor = value;
        cf->dwEffects &= ~CFE_AUTOBACKCOLOR;
        break;
    case kUiPkFontForegroundColorType:
        cf->dwMask |= CFM_COLOR;
        SetEffect(cf, CFE_AUTOCOLOR, value == 0);
        break;
    case kUiPkFontBackgroundColorType:
        cf->dwMask |= CFM_BACKCOLOR;
        SetEffect(cf, CFE_AUTOBACKCOLOR, value == 0);
        break;
    default:
        break;
    }
}

// The framework is told and asks for the values at once, while the pending
// text and the set flag are in place.
HRESULT Invalidate(RibbonRecord* rib, uint32_t commandId, uint32_t index, VARTYPE type) {
    PROPERTYKEY key = KeyOf(index, type);
    HRESULT hr = rib->framework->InvalidateUICommand(commandId, UI_INVALIDATIONS_PROPERTY, &key);
    if (FAILED(hr)) return hr;
    return rib->framework->FlushPendingInvalidations();
}

HRESULT SetOnFramework(RibbonRecord* rib, uint32_t commandId, const RibPropRow* row, uint32_t index,
                       PROPVARIANT* v) {
    HRESULT hr = rib->framework->SetUICommandProperty(commandId, KeyOf(index, row->type), *v);
    PropVariantClear(v);
    return hr;
}

HRESULT WriteStore(RibbonRecord* rib, const RibPropRow* row, uint32_t index, int32_t number) {
    IPropertyStore* store = RowStore(rib, row);
    if (!store) return E_NOINTERFACE;
    PROPVARIANT v;
    PropVariantInit(&v);
    if (row->type == VT_BOOL) PvSetBool(&v, number != 0);
    else PvSetUInt32(&v, static_cast<uint32_t>(number));
    HRESULT hr = store->SetValue(KeyOf(index, row->type), v);
    if (SUCCEEDED(hr)) hr = store->Commit();
    store->Release();
    return hr;
}

// The write of one property whose needs are met.
HRESULT WriteProp(RibbonRecord* rib, CQovIUICommandHandler* h, const RibPropRow* row, uint32_t commandId,
                  uint32_t index, int32_t number, const char* text) {
    PROPVARIANT v;
    PropVariantInit(&v);
    switch (row->access) {
    case kRibAccBool:
        PvSetBool(&v, number != 0);
        return SetOnFramework(rib, commandId, row, index, &v);
    case kRibAccSelected:
    case kRibAccUInt:
        PvSetUInt32(&v, static_cast<uint32_t>(number));
        return SetOnFramework(rib, commandId, row, index, &v);
    case kRibAccDecimal:
        PvSetDecimal(&v, text ? strtod(text, nullptr) : number);
        return SetOnFramework(rib, commandId, row, index, &v);
    case kRibAccString: {
        if (!text) return S_OK;
        const wchar_t* wide = AnsiToWideTemp(text);
        if (!wide || !PvSetString(&v, wide)) return E_OUTOFMEMORY;
        return SetOnFramework(rib, commandId, row, index, &v);
    }
    case kRibAccText:
        return Invalidate(rib, commandId, index, row->type);
    case kRibAccFont: {
        size_t faceLength = 0;
        if (index == kUiPkFontFamily) {
            faceLength = text ? strlen(text) : 0;
            if (faceLength > kRibbonFaceMax) return E_INVALIDARG;
        }
        FontApply(h->LastChange(), index, static_cast<uint32_t>(number), text, faceLength);
        FontApply(h->Current(), index, static_cast<uint32_t>(number), text, faceLength);
        return Invalidate(rib, commandId, kUiPkFontProperties, VT_UNKNOWN);
    }
    case kRibAccListView:
        h->listViewId = static_cast<uint16_t>(number);
        return Invalidate(rib, commandId, kUiPkRecentItems, row->type);
    case kRibAccStore:
        return WriteStore(rib, row, index, number);
    case kRibAccFontText:
        break;
    }
    return E_INVALIDARG;
}

// Runs one write with the set flag and the pending text in place.
int32_t ApplyChecked(RibbonRecord* rib, CQovIUICommandHandler* h, const RibPropRow* row, uint32_t commandId,
                     uint32_t index, int32_t number, const char* text) {
    CQovIUIApplication* app = rib->app;
    app->setInProgress = 1;
    app->pendingText = text;
    HRESULT hr = WriteProp(rib, h, row, commandId, index, number, text);
    app->setInProgress = 0;
    app->pendingText = nullptr;
    return FAILED(hr) ? 1 : 0;
}

// A write for a command the framework has not created yet is kept with a
// handler made for it now; the framework gets it when it creates the command.
// Until the framework creates the command, later writes of those indexes
// replace what was kept: an invalidation would reach no command and be lost.
void RibbonPresetText(RibbonRecord* rib, CQovIUICommandHandler* h, uint32_t commandId, uint32_t index,
                      int32_t number, const char* text) {
    CQovIUIApplication* app = rib->app;
    if (!h) {
        h = new (std::nothrow) CQovIUICommandHandler(app, commandId, UI_COMMANDTYPE_UNKNOWN);
        if (!h) return;
        h->next = app->handlers;
        app->handlers = h;
    }
    if (index == kUiPkRecentItems) h->listViewId = static_cast<uint16_t>(number);
    else if (text) h->StorePreset(index, text);
}

}  // namespace

// ---- Reads and writes ---------------------------------------------------------------------------

int32_t RibbonQueryProp(RibbonRecord* rib, uint32_t commandId, uint32_t index, int32_t* number,
                        const char** text) {
    *number = 0;
    *text = nullptr;
    CQovIUICommandHandler* h;
    bool presetAllowed;
    const RibPropRow* row = RibbonPropCheck(rib, commandId, index, &h, &presetAllowed, false);
    if (!row) return 0;
    switch (row->access) {
    case kRibAccText:
        return 0;
    case kRibAccListView:
        *number = h->listViewId;
        return 0;
    case kRibAccFontText:
        *text = FontText(h->Current());
        return 0;
    case kRibAccFont:
        if (index == kUiPkFontFamily) *text = ResultText(h->Current()->szFaceName);
        else *number = static_cast<int32_t>(FontIndexValue(h->Current(), index));
        return 0;
    case kRibAccSelected:
        if (h->lastSelected != kNoSelection) {
            *number = h->lastSelected;
            return 0;
        }
        break;
    case kRibAccStore: {
        IPropertyStore* store = RowStore(rib, row);
        if (!store) return 1;
        uint32_t value = 0;
        bool ok = StoreUInt(store, index, row->type, &value);
        store->Release();
        *number = static_cast<int32_t>(value);
        return ok ? 0 : 1;
    }
    default:
        break;
    }
    PROPVARIANT v;
    PropVariantInit(&v);
    HRESULT hr = rib->framework->GetUICommandProperty(commandId, KeyOf(index, row->type), &v);
    if (FAILED(hr)) {
        PropVariantClear(&v);
        return 1;
    }
    if (row->access == kRibAccString) {
        *text = ResultWide(PvString(&v));
    } else if (row->access == kRibAccDecimal) {
        double d = 0;
        PvToDouble(&v, &d);
        *number = std::isfinite(d) && std::fabs(d) < kInt32Limit ? static_cast<int32_t>(d) : 0;
        snprintf(gRibbonResult, sizeof gRibbonResult, "%f", d);
        *text = gRibbonResult;
    } else {
        uint32_t u = 0;
        PvToUInt32(&v, &u);
        *number = static_cast<int32_t>(u);
    }
    PropVariantClear(&v);
    return 0;
}

int32_t RibbonApplyProp(RibbonRecord* rib, uint32_t commandId, uint32_t index, int32_t number, const char* text) {
    if (!rib || !rib->app) return 0;
    if (index == kUiPkFontProperties) return RibbonApplyFontText(rib, commandId, text);
    CQovIUICommandHandler* h;
    bool presetAllowed;
    const RibPropRow* row = RibbonPropCheck(rib, commandId, index, &h, &presetAllowed, true);
    if (!row || (presetAllowed && !h->created)) {
        if (presetAllowed && commandId != 0) RibbonPresetText(rib, h, commandId, index, number, text);
        return 0;
    }
    return ApplyChecked(rib, h, row, commandId, index, number, text);
}

int32_t RibbonApplyFontText(RibbonRecord* rib, uint32_t commandId, const char* text) {
    if (!rib || !rib->app || !text || !text[0]) return 0;
    CQovIUICommandHandler* h;
    bool presetAllowed;
    if (!RibbonPropCheck(rib, commandId, kUiPkFontProperties, &h, &presetAllowed, true)) return 0;
    RibFontCursor cursor = RibFontTextBegin(text, strlen(text));
    RibFontStep step;
    while (RibFontTextNext(&cursor, &step)) {
        const RibPropRow* row = PropRow(step.index);
        char face[kRibFontFaceKeep + 1] = {};
        if (step.face) memcpy(face, step.face, step.faceLength);
        if (ApplyChecked(rib, h, row, commandId, step.index, static_cast<int32_t>(step.value),
                         step.face ? face : text) != 0)
            return 1;
    }
    return 0;
}

int32_t RibbonApplyModes(RibbonRecord* rib, int32_t modes) {
    if (!rib || !rib->framework) return 1;
    return FAILED(rib->framework->SetModes(modes)) ? 1 : 0;
}

int32_t RibbonPopupContext(RibbonRecord* rib, HWND wnd, uint32_t contextId, int32_t x, int32_t y) {
    if (!rib || !rib->framework || !rib->app) return 1;
    POINT at = {x, y};
    if (x == 0 && y == 0) {
        // Just below the ribbon; without a view, the height the ribbon last had.
        UINT32 height = rib->app->height;
        if (rib->app->view && FAILED(rib->app->view->GetHeight(&height))) height = 0;
        at.y = static_cast<LONG>(height ? height : kRibbonPopupHeight);
    }
    if (wnd) ClientToScreen(wnd, &at);
    IUIContextualUI* popup = nullptr;
    HRESULT hr = rib->framework->GetView(contextId, IID_IUIContextualUI, reinterpret_cast<void**>(&popup));
    if (FAILED(hr) || !popup) return 1;
    hr = popup->ShowAtLocation(at.x, at.y);
    popup->Release();
    return FAILED(hr) ? 1 : 0;
}

// ---- The font property store ---------------------------------------------------------------------

void RibbonFontToCharFormat(IPropertyStore* store, CHARFORMAT2A* cf) {
    if (!store || !cf) return;
    uint32_t v;
    for (const FontFlagRow& f : kFontFlags) {
        if (!StoreUInt(store, f.index, VT_UI4, &v) || v == UI_FONTPROPERTIES_NOTAVAILABLE) continue;
        cf->dwMask |= f.mask;
        SetEffect(cf, f.effect, v == UI_FONTPROPERTIES_SET);
    }
    if (StoreUInt(store, kUiPkFontVerticalPositioning, VT_UI4, &v) && v != UI_FONTVERTICALPOSITION_NOTAVAILABLE) {
        cf->dwMask |= kScriptMask;
        cf->dwEffects &= ~(CFE_SUBSCRIPT | CFE_SUPERSCRIPT);
        if (v == UI_FONTVERTICALPOSITION_SUPERSCRIPT) cf->dwEffects |= CFE_SUPERSCRIPT;
        else if (v == UI_FONTVERTICALPOSITION_SUBSCRIPT) cf->dwEffects |= CFE_SUBSCRIPT;
    }
    PROPVARIANT pv;
    PropVariantInit(&pv);
    if (SUCCEEDED(store->GetValue(KeyOf(kUiPkFontFamily, VT_LPWSTR), &pv))) {
        const wchar_t* face = PvString(&pv);
        if (face && face[0]) {
            const char* ansi = WideToAnsiTemp(face);
            if (ansi) {
                memset(cf->szFaceName, 0, sizeof cf->szFaceName);
                strncpy(cf->szFaceName, ansi, sizeof cf->szFaceName - 1);
                cf->dwMask |= CFM_FACE;
            }
        }
    }
    PropVariantClear(&pv);
    if (SUCCEEDED(store->GetValue(KeyOf(kUiPkFontSize, VT_DECIMAL), &pv))) {
        double size = 0;
        if (PvToDouble(&pv, &size) && size > 0 && size <= kMaxFontPoints) {
            cf->dwMask |= CFM_SIZE;
            cf->yHeight = static_cast<LONG>(size * kTwipsPerPoint);
        }
    }
    PropVariantClear(&pv);
    if (StoreUInt(store, kUiPkFontForegroundColorType, VT_UI4, &v)) {
        cf->dwMask |= CFM_COLOR;
        SetEffect(cf, CFE_AUTOCOLOR, v == UI_SWATCHCOLORTYPE_AUTOMATIC);
    }
    if (StoreUInt(store, kUiPkFontForegroundColor, VT_UI4, &v)) {
        cf->dwMask |= CFM_COLOR;
        cf->crTextColor = v;
    }
    if (StoreUInt(store, kUiPkFontBackgroundColorType, VT_UI4, &v)) {
        cf->dwMask |= CFM_BACKCOLOR;
        SetEffect(cf, CFE_AUTOBACKCOLOR, v == UI_SWATCHCOLORTYPE_NOCOLOR);
    }
    if (StoreUInt(store, kUiPkFontBackgroundColor, VT_UI4, &v)) {
        cf->dwMask |= CFM_BACKCOLOR;
        cf->crBackColor = v;
    }
}

void RibbonCharFormatToFont(const CHARFORMAT2A* cf, IPropertyStore* store) {
    if (!store || !cf) return;
    for (const FontFlagRow& f : kFontFlags) {
        uint32_t v = !(cf->dwMask & f.mask)           ? UI_FONTPROPERTIES_NOTAVAILABLE
                     : (cf->dwEffects & f.effect)     ? UI_FONTPROPERTIES_SET
                                                      : UI_FONTPROPERTIES_NOTSET;
        StoreSetUInt(store, f.index, v);
    }
    uint32_t vertical = UI_FONTVERTICALPOSITION_NOTAVAILABLE;
    if (cf->dwMask & kScriptMask) {
        vertical = (cf->dwEffects & CFE_SUBSCRIPT)     ? UI_FONTVERTICALPOSITION_SUBSCRIPT
                   : (cf->dwEffects & CFE_SUPERSCRIPT) ? UI_FONTVERTICALPOSITION_SUPERSCRIPT
                                                       : UI_FONTVERTICALPOSITION_NOTSET;
    } else if (cf->dwMask & CFM_OFFSET) {
        vertical = cf->yOffset > 0   ? UI_FONTVERTICALPOSITION_SUPERSCRIPT
                   : cf->yOffset < 0 ? UI_FONTVERTICALPOSITION_SUBSCRIPT
                                     : UI_FONTVERTICALPOSITION_NOTAVAILABLE;
    }
    StoreSetUInt(store, kUiPkFontVerticalPositioning, vertical);
    PROPVARIANT pv;
    PropVariantInit(&pv);
    const wchar_t* face = (cf->dwMask & CFM_FACE) ? AnsiToWideTemp(cf->szFaceName) : nullptr;
    if (PvSetString(&pv, face ? face : L"")) store->SetValue(KeyOf(kUiPkFontFamily, VT_LPWSTR), pv);
    PropVariantClear(&pv);
    PvSetDecimal(&pv, (cf->dwMask & CFM_SIZE) ? static_cast<double>(cf->yHeight) / kTwipsPerPoint : 0.0);
    store->SetValue(KeyOf(kUiPkFontSize, VT_DECIMAL), pv);
    PropVariantClear(&pv);
    if (cf->dwMask & CFM_COLOR) {
        if (cf->dwEffects & CFE_AUTOCOLOR) {
            StoreSetUInt(store, kUiPkFontForegroundColorType, UI_SWATCHCOLORTYPE_AUTOMATIC);
        } else {
            StoreSetUInt(store, kUiPkFontForegroundColorType, UI_SWATCHCOLORTYPE_RGB);
            StoreSetUInt(store, kUiPkFontForegroundColor, cf->crTextColor);
        }
    }
    if ((cf->dwMask & CFM_BACKCOLOR) && !(cf->dwEffects & CFE_AUTOBACKCOLOR)) {
        StoreSetUInt(store, kUiPkFontBackgroundColorType, UI_SWATCHCOLORTYPE_RGB);
        StoreSetUInt(store, kUiPkFontBackgroundColor, cf->crBackColor);
    } else {
        StoreSetUInt(store, kUiPkFontBackgroundColorType, UI_SWATCHCOLORTYPE_NOCOLOR);
    }
}

// ---- The ribbon of a window -------------------------------------------------------------------------

RibbonRecord* RibbonOf(ObjectRecord* win) {
    WindowRecord* w = win && win->kind == kKindWindow ? ObjectAsWindow(win) : nullptr;
    return w ? static_cast<RibbonRecord*>(w->ribbon) : nullptr;
}

namespace {

void SetRibbonField(ObjectRecord* win, RibbonRecord* rib) {
    if (WindowRecord* w = ObjectAsWindow(win)) w->ribbon = rib;
}

// Frees what a ribbon that never came to be had taken, in reverse order.
int32_t CreateFailed(RibbonRecord* rib) {
    if (rib->app) {
        rib->app->ribbon = nullptr;
        rib->app->Release();
    }
    if (rib->framework) rib->framework->Release();
    if (rib->moduleLoaded && rib->module) FreeLibrary(rib->module);
    LocalFreeMem(rib);
    return 1;
}

// The markup's name in UTF-16, in a block of its own (the framework calls back
// into code that uses the shared conversion buffer while it loads).
wchar_t* WideCopy(const char* text) {
    const wchar_t* wide = AnsiToWideTemp(text);
    if (!wide) return nullptr;
    CheckedSize bytes(wcslen(wide));
    bytes.Add(1).Mul(sizeof(wchar_t));
    if (!bytes.Fits()) return nullptr;
    auto* copy = static_cast<wchar_t*>(LocalAllocZero(bytes.Size()));
    if (copy) memcpy(copy, wide, bytes.Size());
    return copy;
}

// The frame recomputes the client area with the ribbon when the window's size
// changes: one pixel more each way, then back.
void NudgeWindowSize(HWND wnd) {
    RECT r;
    if (!wnd || !GetWindowRect(wnd, &r)) return;
    const UINT flags = SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE;
    SetWindowPos(wnd, nullptr, 0, 0, r.right - r.left + 1, r.bottom - r.top + 1, flags);
    SetWindowPos(wnd, nullptr, 0, 0, r.right - r.left, r.bottom - r.top, flags);
}

}  // namespace

int32_t RibbonCreate(ObjectRecord* win, int adjust) {
    RuntimeOleStart();
    NativeWindowRecord* w = NativeWindowOf(win);
    if (!w) return 1;
    const char* name = w->ribName ? w->ribName : "";
    if (RibbonRecord* old = RibbonOf(win)) {
        int giveBack = ((gClientModeFlags & kClientModeKeepHeight) && !name[0]) ? 0 : 1;
        SetRibbonField(win, nullptr);
        RibbonDestroy(old, giveBack);
    }
    if (!name[0]) return 0;
    // A ribbon is a COM object: without the OLE libraries it is not made.
    if (!RuntimeOleLibraries()) return 1;
    auto* rib = static_cast<RibbonRecord*>(LocalAllocZero(sizeof(RibbonRecord)));
    if (!rib) return 1;
    rib->window = win;
    if (w->ribDll && w->ribDll[0]) {
        rib->module = LoadLibraryA(w->ribDll);
        rib->moduleLoaded = 1;
    } else {
        rib->module = gInstance ? gInstance : GetModuleHandleA(nullptr);
    }
    if (!rib->module) return CreateFailed(rib);
    HRESULT hr = CoCreateInstance(CLSID_UIRibbonFramework, nullptr, CLSCTX_ALL, IID_IUIFramework,
                                  reinterpret_cast<void**>(&rib->framework));
    if (FAILED(hr) || !rib->framework) {
        rib->framework = nullptr;
        return CreateFailed(rib);
    }
    rib->app = new (std::nothrow) CQovIUIApplication(rib);
    if (!rib->app) return CreateFailed(rib);
    rib->app->AddRef();
    if (FAILED(rib->framework->Initialize(win->hwnd, rib->app))) return CreateFailed(rib);
    if (adjust) WindowRibbonResize(win, kRibbonDefaultHeight, 0, 0);
    wchar_t* wideName = WideCopy(name);
    hr = wideName ? rib->framework->LoadUI(rib->module, wideName) : E_OUTOFMEMORY;
    if (wideName) LocalFreeMem(wideName);
    if (FAILED(hr)) {
        // The room made, as the view may have changed it before the load failed.
        uint32_t room = rib->app->height ? rib->app->height : kRibbonDefaultHeight;
        if (adjust) WindowRibbonResize(win, static_cast<int32_t>(room), 0, 1);
        // Initialised frameworks hold the application until they are destroyed.
        rib->framework->Destroy();
        return CreateFailed(rib);
    }
    SetRibbonField(win, rib);
    WindowLayout(win);
    NudgeWindowSize(win->hwnd);
    return 0;
}

int32_t RibbonDestroy(RibbonRecord* rib, int giveBack) {
    if (!rib) return 0;
    uint32_t height = rib->app ? rib->app->height : 0;
    if (rib->framework) {
        rib->framework->Destroy();
        rib->framework->Release();
        rib->framework = nullptr;
    }
    if (rib->app) {
        rib->app->ribbon = nullptr;
        rib->app->Release();
        rib->app = nullptr;
    }
    if (rib->moduleLoaded && rib->module) FreeLibrary(rib->module);
    if (giveBack && height) WindowRibbonResize(rib->window, static_cast<int32_t>(height), 0, 1);
    LocalFreeMem(rib);
    return 0;
}

int32_t RibbonGetHeight(ObjectRecord* win) {
    RibbonRecord* rib = RibbonOf(win);
    return rib && rib->app ? static_cast<int32_t>(rib->app->height) : 0;
}

uint32_t RibbonAppHeight(RibbonRecord* rib) { return rib && rib->app ? rib->app->height : 0; }
IUIRibbon* RibbonAppView(RibbonRecord* rib) { return rib && rib->app ? rib->app->view : nullptr; }

bool RibbonHandlerState(RibbonRecord* rib, uint32_t commandId, RibbonHandlerInfo* out) {
    CQovIUICommandHandler* h = rib && rib->app ? rib->app->FindHandler(commandId) : nullptr;
    if (!h) return false;
    out->type = h->type;
    out->listViewId = h->listViewId;
    out->lastSelected = h->lastSelected;
    out->lastChange = h->LastChange();
    out->current = h->Current();
    return true;
}

void WindowRibbonResize(ObjectRecord* win, int32_t diff, int32_t, int direction) {
    if (!win || diff == 0) return;
    int32_t by = direction ? -diff : diff;
    for (ObjectRecord* c = win->children; c; c = c->next) {
        RECT r = {c->left, c->top + by, c->right, c->bottom + by};
        PositionObjectWindow(c, &r);
    }
    if (!win->hwnd) return;
    // What was painted moves with the children; the strip uncovered is repainted.
    ScrollWindowEx(win->hwnd, 0, by, nullptr, nullptr, nullptr, nullptr, SW_INVALIDATE | SW_ERASE);
    RedrawWindow(win->hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

// ---- Window methods 42-45 ----------------------------------------------------------------------------

namespace {

int32_t ArgNumber(const MethodCallRec* call, uint32_t i) {
    if (i >= call->argCount || i >= kMcMaxArgs || !call->argPresent[i]) return 0;
    const EventItem& a = call->args[i];
    if (!ItemIsText(a.kind)) return static_cast<int32_t>(a.value);
    char digits[16] = {};
    size_t n = a.size < sizeof digits - 1 ? a.size : sizeof digits - 1;
    if (a.data && n) memcpy(digits, a.data, n);
    return static_cast<int32_t>(strtol(digits, nullptr, 10));
}

// The text form of an argument in a block of its own (null when the argument is
// no text, or without memory); the caller frees it.
char* ArgTextCopy(const MethodCallRec* call, uint32_t i) {
    if (i >= call->argCount || i >= kMcMaxArgs || !call->argPresent[i]) return nullptr;
    const EventItem& a = call->args[i];
    if (!ItemIsText(a.kind)) return nullptr;
    CheckedSize bytes(a.size);
    bytes.Add(1);
    if (!bytes.Fits()) return nullptr;
    auto* copy = static_cast<char*>(LocalAllocZero(bytes.Size()));
    if (copy && a.data && a.size) memcpy(copy, a.data, a.size);
    return copy;
}

}  // namespace

int32_t RibbonMethod(ObjectRecord* win, MethodCallRec* call) {
    if (!call->noCheck && gClientConfig.serverVersion < kRibbonMethodVersion) return kErrNoMethod;
    RibbonRecord* rib = RibbonOf(win);
    switch (call->method) {
    case kWmRibbonGetProp: {
        int32_t number = 0;
        const char* text = nullptr;
        if (rib)
            RibbonQueryProp(rib, static_cast<uint32_t>(ArgNumber(call, kArgId)),
                            static_cast<uint32_t>(ArgNumber(call, kArgProperty)), &number, &text);
        if (call->result.kind == kResultKindInt || call->result.kind == kResultKindNumber) {
            SetReplyInt(nullptr, number, kResultKindInt);
        } else {
            char digits[16];
            if (!text) {
                snprintf(digits, sizeof digits, "%d", number);
                text = digits;
            }
            SetReplyText(nullptr, text);
        }
        return kNoAnswer;
    }
    case kWmRibbonSetProp: {
        if (!rib) return 0;
        char* text = ArgTextCopy(call, kArgValue);
        RibbonApplyProp(rib, static_cast<uint32_t>(ArgNumber(call, kArgId)),
                        static_cast<uint32_t>(ArgNumber(call, kArgProperty)), ArgNumber(call, kArgValue), text);
        if (text) LocalFreeMem(text);
        return 0;
    }
    case kWmRibbonSetModes:
        if (rib) RibbonApplyModes(rib, ArgNumber(call, kArgMode));
        return 0;
    case kWmRibbonShowContext:
        if (rib)
            RibbonPopupContext(rib, win->hwnd, static_cast<uint32_t>(ArgNumber(call, kArgId)),
                               ArgNumber(call, kArgLeft), ArgNumber(call, kArgTop));
        return 0;
    default:
        return 0;
    }
}

// ---- Hooks ---------------------------------------------------------------------------------------

namespace {

void HookCreate(ObjectRecord* win, int adjust) { RibbonCreate(win, adjust); }

// The window is destroyed: its ribbon goes first.
void WindowGone(ObjectRecord* win, bool) {
    RibbonRecord* rib = RibbonOf(win);
    SetRibbonField(win, nullptr);
    RibbonDestroy(rib, 0);
}

}  // namespace

FacilityRow RibbonInstallHooks() {
    gGuiHooks.ribbonCreate = HookCreate;
    WindowEventSubscribe(kWindowDestroyed, WindowGone);
    gGuiHooks.ribbonHeight = RibbonGetHeight;
    gGuiHooks.windowRibbonMethod = RibbonMethod;
    return FacilityRow{"Ribbon", nullptr, nullptr};
}
