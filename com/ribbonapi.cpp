// ribbonapi.cpp - the Ribbon framework's identifiers and property keys, and the
// few PROPVARIANT helpers the ribbon host needs (the cross compiler's property
// variant utilities are incomplete).
#include "com/ribbonapi.h"

#include <oleauto.h>

#include <cstring>
#include <cwchar>

const CLSID CLSID_UIRibbonFramework = {
    0x926749FA, 0x2615, 0x4987, {0x88, 0x45, 0xC3, 0x3E, 0x65, 0xF2, 0xB9, 0x57}};
const IID IID_IUIFramework = {0xF4F0385D, 0x6872, 0x43A8, {0xAD, 0x09, 0x4C, 0x33, 0x9C, 0xB3, 0xF5, 0xC5}};
const IID IID_IUIApplication = {0xD428903C, 0x729A, 0x491D, {0x91, 0x0D, 0x68, 0x2A, 0x08, 0xFF, 0x25, 0x22}};
const IID IID_IUICommandHandler = {0x75AE0A2D, 0xDC03, 0x4C9F, {0x88, 0x83, 0x06, 0x96, 0x60, 0xD0, 0xBE, 0xB6}};
const IID IID_IUISimplePropertySet = {
    0xC205BB48, 0x5B1C, 0x4219, {0xA1, 0x06, 0x15, 0xBD, 0x0A, 0x5F, 0x24, 0xE2}};
const IID IID_IUIRibbon = {0x803982AB, 0x370A, 0x4F7E, {0xA9, 0xE7, 0x87, 0x84, 0x03, 0x6A, 0x6E, 0x26}};
const IID IID_IUIContextualUI = {0xEEA11F37, 0x7C46, 0x437C, {0x8E, 0x55, 0xB5, 0x21, 0x22, 0xB2, 0x92, 0x93}};

namespace {

// The shared tail of every framework key: {index-7363-696E-8441-798ACF5AEBB7}.
constexpr uint16_t kKeyData2 = 0x7363, kKeyData3 = 0x696E;
constexpr uint8_t kKeyData4[8] = {0x84, 0x41, 0x79, 0x8A, 0xCF, 0x5A, 0xEB, 0xB7};
constexpr uint32_t kUInt32Max = 0xFFFFFFFFu;
constexpr double kUInt32Limit = 4294967295.0;

}  // namespace

PROPERTYKEY UiPropertyKey(uint32_t index, VARTYPE type) {
    PROPERTYKEY key;
    key.fmtid.Data1 = index;
    key.fmtid.Data2 = kKeyData2;
    key.fmtid.Data3 = kKeyData3;
    memcpy(key.fmtid.Data4, kKeyData4, sizeof kKeyData4);
    key.pid = type;
    return key;
}

uint32_t UiPropertyIndexOf(const PROPERTYKEY& key) {
    if (key.fmtid.Data2 != kKeyData2 || key.fmtid.Data3 != kKeyData3 ||
        memcmp(key.fmtid.Data4, kKeyData4, sizeof kKeyData4) != 0)
        return 0;
    return key.fmtid.Data1;
}

void PvSetBool(PROPVARIANT* pv, bool value) {
    pv->vt = VT_BOOL;
    pv->boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
}

void PvSetUInt32(PROPVARIANT* pv, uint32_t value) {
    pv->vt = VT_UI4;
    pv->ulVal = value;
}

bool PvSetString(PROPVARIANT* pv, const wchar_t* text) {
    size_t bytes = (wcslen(text) + 1) * sizeof(wchar_t);
    auto* copy = static_cast<wchar_t*>(CoTaskMemAlloc(bytes));
    if (!copy) return false;
    memcpy(copy, text, bytes);
    pv->vt = VT_LPWSTR;
    pv->pwszVal = copy;
    return true;
}

void PvSetUnknown(PROPVARIANT* pv, IUnknown* unknown) {
    pv->vt = VT_UNKNOWN;
    pv->punkVal = unknown;
    if (unknown) unknown->AddRef();
}

void PvSetDecimal(PROPVARIANT* pv, double value) {
    DECIMAL d;
    memset(&d, 0, sizeof d);
    VarDecFromR8(value, &d);
    // The type word of a DECIMAL shares its place with the variant's vt.
    memcpy(&pv->decVal, &d, sizeof d);
    pv->vt = VT_DECIMAL;
}

bool PvToDouble(const PROPVARIANT* pv, double* out) {
    switch (pv->vt) {
    case VT_DECIMAL: {
        DECIMAL d = pv->decVal;
        d.wReserved = 0;
        return SUCCEEDED(VarR8FromDec(&d, out));
    }
    case VT_R8: *out = pv->dblVal; return true;
    case VT_R4: *out = pv->fltVal; return true;
    case VT_UI4: *out = pv->ulVal; return true;
    case VT_I4: *out = pv->lVal; return true;
    default: return false;
    }
}

bool PvToUInt32(const PROPVARIANT* pv, uint32_t* out) {
    switch (pv->vt) {
    case VT_UI4: *out = pv->ulVal; return true;
    case VT_I4: *out = static_cast<uint32_t>(pv->lVal); return true;
    case VT_UINT: *out = pv->uintVal; return true;
    case VT_INT: *out = static_cast<uint32_t>(pv->intVal); return true;
    case VT_UI2: *out = pv->uiVal; return true;
    case VT_I2: *out = static_cast<uint32_t>(pv->iVal); return true;
    case VT_UI1: *out = pv->bVal; return true;
    case VT_BOOL: *out = pv->boolVal ? 1 : 0; return true;
    default: {
        double d;
        if (!PvToDouble(pv, &d)) return false;
        *out = d <= 0 ? 0 : d >= kUInt32Limit ? kUInt32Max : static_cast<uint32_t>(d);
        return true;
    }
    }
}

const wchar_t* PvString(const PROPVARIANT* pv) {
    if (pv->vt == VT_LPWSTR) return pv->pwszVal;
    if (pv->vt == VT_BSTR) return pv->bstrVal;
    return nullptr;
}

IUnknown* PvUnknown(const PROPVARIANT* pv) { return pv->vt == VT_UNKNOWN ? pv->punkVal : nullptr; }
