// ribbonapi.h - the interfaces, identifiers and constants of the Windows Ribbon
// framework as the ribbon host uses them, declared here from the framework's
// public documentation (the cross compiler ships no declarations of its own).
// The order of the methods in each interface is the order of its virtual table.
#pragma once

#include <windows.h>
#include <ole2.h>
#include <propidl.h>
#include <propsys.h>

#include <cstdint>

// ---- Identifiers ----------------------------------------------------------------
extern const CLSID CLSID_UIRibbonFramework;     // {926749FA-2615-4987-8845-C33E65F2B957}
extern const IID IID_IUIFramework;              // {F4F0385D-6872-43A8-AD09-4C339CB3F5C5}
extern const IID IID_IUIApplication;            // {D428903C-729A-491D-910D-682A08FF2522}
extern const IID IID_IUICommandHandler;         // {75AE0A2D-DC03-4C9F-8883-069660D0BEB6}
extern const IID IID_IUISimplePropertySet;      // {C205BB48-5B1C-4219-A106-15BD0A5F24E2}
extern const IID IID_IUIRibbon;                 // {803982AB-370A-4F7E-A9E7-8784036A6E26}
extern const IID IID_IUIContextualUI;           // {EEA11F37-7C46-437C-8E55-B52122B29293}

// ---- Constants ------------------------------------------------------------------
enum UiViewType : int32_t { UI_VIEWTYPE_RIBBON = 1 };
enum UiViewVerb : int32_t {
    UI_VIEWVERB_CREATE = 0, UI_VIEWVERB_DESTROY = 1, UI_VIEWVERB_SIZE = 2, UI_VIEWVERB_ERROR = 3,
};
enum UiExecutionVerb : int32_t {
    UI_EXECUTIONVERB_EXECUTE = 0, UI_EXECUTIONVERB_PREVIEW = 1, UI_EXECUTIONVERB_CANCELPREVIEW = 2,
};
enum UiInvalidations : int32_t {
    UI_INVALIDATIONS_STATE = 1, UI_INVALIDATIONS_VALUE = 2, UI_INVALIDATIONS_PROPERTY = 4,
    UI_INVALIDATIONS_ALLPROPERTIES = 8,
};
enum UiCommandType : int32_t {
    UI_COMMANDTYPE_UNKNOWN = 0, UI_COMMANDTYPE_GROUP = 1, UI_COMMANDTYPE_ACTION = 2, UI_COMMANDTYPE_ANCHOR = 3,
    UI_COMMANDTYPE_CONTEXT = 4, UI_COMMANDTYPE_COLLECTION = 5, UI_COMMANDTYPE_COMMANDCOLLECTION = 6,
    UI_COMMANDTYPE_DECIMAL = 7, UI_COMMANDTYPE_BOOLEAN = 8, UI_COMMANDTYPE_FONT = 9,
    UI_COMMANDTYPE_RECENTITEMS = 10, UI_COMMANDTYPE_COLORANCHOR = 11, UI_COMMANDTYPE_COLORCOLLECTION = 12,
};
// Bold, italic, strike-out and underline values of the font property store.
enum UiFontProperties : uint32_t {
    UI_FONTPROPERTIES_NOTAVAILABLE = 0, UI_FONTPROPERTIES_NOTSET = 1, UI_FONTPROPERTIES_SET = 2,
};
enum UiFontVerticalPosition : uint32_t {
    UI_FONTVERTICALPOSITION_NOTAVAILABLE = 0, UI_FONTVERTICALPOSITION_NOTSET = 1,
    UI_FONTVERTICALPOSITION_SUPERSCRIPT = 2, UI_FONTVERTICALPOSITION_SUBSCRIPT = 3,
};
enum UiSwatchColorType : uint32_t {
    UI_SWATCHCOLORTYPE_NOCOLOR = 0, UI_SWATCHCOLORTYPE_AUTOMATIC = 1, UI_SWATCHCOLORTYPE_RGB = 2,
};

// ---- Property keys ----------------------------------------------------------------
// Every key is {index-7363-696E-8441-798ACF5AEBB7} with the value's VARTYPE as pid.
enum UiPropertyIndex : uint32_t {
    kUiPkEnabled = 1, kUiPkLabelDescription = 2, kUiPkKeytip = 3, kUiPkLabel = 4,
    kUiPkTooltipDescription = 5, kUiPkTooltipTitle = 6,
    kUiPkCommandId = 100, kUiPkCategoryId = 103, kUiPkSelectedItem = 104, kUiPkCommandType = 105,
    kUiPkItemImage = 106,
    kUiPkBooleanValue = 200, kUiPkDecimalValue = 201, kUiPkStringValue = 202,
    kUiPkFontProperties = 300, kUiPkFontFamily = 301, kUiPkFontSize = 302, kUiPkFontBold = 303,
    kUiPkFontItalic = 304, kUiPkFontUnderline = 305, kUiPkFontStrikethrough = 306,
    kUiPkFontVerticalPositioning = 307, kUiPkFontForegroundColor = 308, kUiPkFontBackgroundColor = 309,
    kUiPkFontForegroundColorType = 310, kUiPkFontBackgroundColorType = 311,
    kUiPkFontChangedProperties = 312,
    kUiPkRecentItems = 350,
    kUiPkColor = 400, kUiPkColorType = 401, kUiPkColorMode = 402,
    kUiPkThemeColorsCategoryLabel = 403, kUiPkMoreColorsLabel = 408,
    kUiPkViewable = 1000, kUiPkMinimized = 1001, kUiPkQuickAccessToolbarDock = 1002,
    kUiPkContextAvailable = 1100,
    kUiPkGlobalBackgroundColor = 2000, kUiPkGlobalHighlightColor = 2001, kUiPkGlobalTextColor = 2002,
};
// The key of an index with its value type.
PROPERTYKEY UiPropertyKey(uint32_t index, VARTYPE type);
// The index of a framework key; 0 for a key of another family.
uint32_t UiPropertyIndexOf(const PROPERTYKEY& key);

// ---- Interfaces ----------------------------------------------------------------
struct IUICommandHandler;
struct IUISimplePropertySet;

struct IUIApplication : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE OnViewChanged(UINT32 viewId, int32_t typeId, IUnknown* view, int32_t verb,
                                                    INT32 reasonCode) = 0;
    virtual HRESULT STDMETHODCALLTYPE OnCreateUICommand(UINT32 commandId, int32_t typeId,
                                                        IUICommandHandler** handler) = 0;
    virtual HRESULT STDMETHODCALLTYPE OnDestroyUICommand(UINT32 commandId, int32_t typeId,
                                                         IUICommandHandler* handler) = 0;
};

struct IUIFramework : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Initialize(HWND frameWnd, IUIApplication* application) = 0;
    virtual HRESULT STDMETHODCALLTYPE Destroy() = 0;
    virtual HRESULT STDMETHODCALLTYPE LoadUI(HINSTANCE instance, LPCWSTR resourceName) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetView(UINT32 viewId, REFIID riid, void** out) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetUICommandProperty(UINT32 commandId, REFPROPERTYKEY key,
                                                           PROPVARIANT* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetUICommandProperty(UINT32 commandId, REFPROPERTYKEY key,
                                                           REFPROPVARIANT value) = 0;
    virtual HRESULT STDMETHODCALLTYPE InvalidateUICommand(UINT32 commandId, int32_t flags,
                                                          const PROPERTYKEY* key) = 0;
    virtual HRESULT STDMETHODCALLTYPE FlushPendingInvalidations() = 0;
    virtual HRESULT STDMETHODCALLTYPE SetModes(INT32 modes) = 0;
};

struct IUICommandHandler : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Execute(UINT32 commandId, int32_t verb, const PROPERTYKEY* key,
                                              const PROPVARIANT* currentValue,
                                              IUISimplePropertySet* executionProperties) = 0;
    virtual HRESULT STDMETHODCALLTYPE UpdateProperty(UINT32 commandId, REFPROPERTYKEY key,
                                                     const PROPVARIANT* currentValue, PROPVARIANT* newValue) = 0;
};

struct IUISimplePropertySet : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetValue(REFPROPERTYKEY key, PROPVARIANT* value) = 0;
};

struct IUIRibbon : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetHeight(UINT32* height) = 0;
    virtual HRESULT STDMETHODCALLTYPE LoadSettingsFromStream(IStream* stream) = 0;
    virtual HRESULT STDMETHODCALLTYPE SaveSettingsToStream(IStream* stream) = 0;
};

struct IUIContextualUI : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE ShowAtLocation(INT32 x, INT32 y) = 0;
};

struct IUIImage : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetBitmap(HBITMAP* bitmap) = 0;
};

// ---- PROPVARIANT helpers ------------------------------------------------------------
// Each Set clears nothing: the value must be empty (VT_EMPTY) before.
void PvSetBool(PROPVARIANT* pv, bool value);
void PvSetUInt32(PROPVARIANT* pv, uint32_t value);
// A copy in task memory; false (value left empty) without memory.
bool PvSetString(PROPVARIANT* pv, const wchar_t* text);
// The object after AddRef.
void PvSetUnknown(PROPVARIANT* pv, IUnknown* unknown);
void PvSetDecimal(PROPVARIANT* pv, double value);
// The value as an unsigned number: integers, booleans (1 or 0) and decimals
// (truncated); false for other types.
bool PvToUInt32(const PROPVARIANT* pv, uint32_t* out);
bool PvToDouble(const PROPVARIANT* pv, double* out);
// The text of a VT_LPWSTR or VT_BSTR, else null.
const wchar_t* PvString(const PROPVARIANT* pv);
// The object of a VT_UNKNOWN, else null (no reference added).
IUnknown* PvUnknown(const PROPVARIANT* pv);
