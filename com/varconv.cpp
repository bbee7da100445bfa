// varconv.cpp - values between the server's items and OLE VARIANTs (see
// varconv.h): the item kinds and widths, the code pages of the text kinds, the
// object references by the variable's type, and arrays as lines of text.
#include "com/varconv.h"

#include <charconv>
#include <cstring>
#include <vector>

#include "com/comobjects.h"
#include "com/core/varrules.h"
#include "com/olecontainer.h"
#include "com/oleutil.h"
#include "objects/font.h"
#include "objects/objops.h"
#include "session/session.h"
#include "session/util/bytereader.h"
#include "session/util/codepage.h"

bool gVarInt64Args = true;

namespace {

constexpr UINT kCodePageUtf8 = 65001;

// The record an object item names: its data when that is a live record, else
// the handle in the value's low word.
ObjectRecord* ItemObject(const EventItem* item) {
    const ObjectRecord* rec = static_cast<const ObjectRecord*>(item->data);
    if (rec && ObjectIsLive(rec)) return const_cast<ObjectRecord*>(rec);
    return ObjectFromHandle(static_cast<uint32_t>(item->value));
}

int32_t WideToBstr(const wchar_t* wide, int units, VARIANT* out) {
    BSTR s = SysAllocStringLen(wide, static_cast<UINT>(units));
    if (!s) return kAutoNoMemory;
    V_VT(out) = VT_BSTR;
    V_BSTR(out) = s;
    return kAutoOk;
}

int32_t TextToVariant(const EventItem* item, VARIANT* out) {
    const char* data = static_cast<const char*>(item->data);
    uint32_t n = data ? item->size : 0;
    if (!TextItemFits(item->kind, n)) return kAutoBadConvert;
    std::string copy(data ? data : "", n);
    if (item->kind == kVarItemUtf8) {
        int units = 0;
        wchar_t* w = Utf8ToWideTempN(copy.data(), static_cast<int>(n), &units);
        return w ? WideToBstr(w, units, out) : kAutoNoMemory;
    }
    if (item->kind == kVarItemText) {
        // Up to its first NUL, never through the OEM conversion.
        wchar_t* w = AnsiToWideTemp(copy.c_str());
        return w ? WideToBstr(w, static_cast<int>(wcslen(w)), out) : kAutoNoMemory;
    }
    if (gOemConvert && n > 0) OemToCharBuffA(&copy[0], &copy[0], n);
    int units = 0;
    wchar_t* w = AnsiToWideTempN(copy.data(), static_cast<int>(n), &units);
    return w ? WideToBstr(w, units, out) : kAutoNoMemory;
}

void IntToVariant(const EventItem* item, VARIANT* out, VARTYPE requested) {
    VARTYPE vt = IntItemVarType(item->size, item->value, gVarInt64Args, requested);
    V_VT(out) = vt;
    switch (vt) {
    case VT_UI1: V_UI1(out) = static_cast<BYTE>(item->value); break;
    case VT_I2: V_I2(out) = static_cast<SHORT>(item->value); break;
    case VT_UI8: V_UI8(out) = item->value; break;
    case VT_I8: V_I8(out) = static_cast<LONGLONG>(item->value); break;
    case VT_UI4: V_UI4(out) = static_cast<ULONG>(item->value); break;
    case VT_ERROR: V_ERROR(out) = static_cast<SCODE>(item->value); break;
    default: V_I4(out) = static_cast<LONG>(item->value); break;
    }
}

// A Variant object as an argument, by its VarPtr mode. *byRefOwn: the result is
// a reference of the value's own type (no type change applies to it).
int32_t VariantObjToVariant(VariantRecord* var, VARIANT* out, VARTYPE requested, bool* byRefOwn) {
    VARIANT* src = var->valuePtr;
    if ((var->varPtrMode == kVarPtrByRefVariant && requested == 0) || requested == VT_VARIANT) {
        V_VT(out) = VT_BYREF | VT_VARIANT;
        V_VARIANTREF(out) = src;
        return kAutoOk;
    }
    if (var->varPtrMode == kVarPtrByRefOwnType && requested == 0) {
        *byRefOwn = true;
        VARTYPE vt = V_VT(src);
        if (vt & VT_BYREF) {
            // Already a reference (an event's argument): passed on as it is.
            *out = *src;
            return kAutoOk;
        }
        if (vt & VT_ARRAY) {
            V_VT(out) = vt | VT_BYREF;
            V_ARRAYREF(out) = &V_ARRAY(src);
            return kAutoOk;
        }
        if (vt == VT_DECIMAL) {
            V_VT(out) = VT_BYREF | VT_DECIMAL;
            V_DECIMALREF(out) = &src->decVal;
            return kAutoOk;
        }
        if ((vt >= VT_I2 && vt <= VT_BOOL) || vt == VT_UNKNOWN || (vt >= VT_I1 && vt <= VT_UINT)) {
            V_VT(out) = vt | VT_BYREF;
            V_BYREF(out) = &V_I4(src);
        }
        return kAutoOk;
    }
    return FAILED(VariantCopy(out, src)) ? kAutoBadConvert : kAutoOk;
}

int32_t ObjectToVariant(const EventItem* item, VARIANT* out, VARTYPE requested, bool* byRefOwn) {
    ObjectRecord* rec = ItemObject(item);
    bool dispatchOnly = requested == 0 || requested == VT_DISPATCH;
    if (!rec) {
        if (item->size != kTypeAutomation && item->size != kTypeAutomation2) return kAutoBadConvert;
        if (!dispatchOnly) return kAutoBadConvert;
        V_VT(out) = VT_DISPATCH;
        V_DISPATCH(out) = nullptr;
        return kAutoOk;
    }
    switch (rec->kind) {
    case kKindVariant:
        return VariantObjToVariant(VariantOf(rec), out, requested, byRefOwn);
    case kKindAutomation: {
        if (!dispatchOnly) return kAutoBadConvert;
        IDispatch* d = AutomationDispatch(rec);
        if (!d) return kAutoOk;
        V_VT(out) = VT_DISPATCH;
        V_DISPATCH(out) = d;
        return kAutoOk;
    }
    case kKindFont: {
        if (!dispatchOnly) return kAutoBadConvert;
        IFontDisp* f = FontToIFontDisp(FontObjGetFont(rec));
        if (!f) return kAutoNoFont;
        V_VT(out) = VT_DISPATCH;
        V_DISPATCH(out) = f;
        return kAutoOk;
    }
    case kKindIcon:
    case kKindPict: {
        if (!dispatchOnly) return kAutoBadConvert;
        IPictureDisp* p = PictToIPictureDisp(rec);
        if (!p) return kAutoNoValue;
        V_VT(out) = VT_DISPATCH;
        V_DISPATCH(out) = p;
        return kAutoOk;
    }
    case kKindControl: {
        if (!dispatchOnly) return kAutoBadConvert;
        VariantInit(out);
        OleObjGetDispatchVariant(rec, out);
        return kAutoOk;
    }
    default:
        return kAutoBadConvert;
    }
}

}  // namespace

int32_t VarToVariant(const EventItem* item, VARIANT* out, VARTYPE requested) {
    VariantInit(out);
    int32_t rc;
    bool byRefOwn = false;
    switch (item->kind) {
    case kVarItemText:
    case kVarItemText8:
    case kVarItemUtf8:
        rc = TextToVariant(item, out);
        break;
    case kVarItemInt:
        IntToVariant(item, out, requested);
        rc = kAutoOk;
        break;
    case kVarItemObject:
    case kVarItemObject2:
        rc = ObjectToVariant(item, out, requested, &byRefOwn);
        break;
    default:
        return kAutoBadConvert;
    }
    if (rc != kAutoOk) {
        VariantClear(out);
        return rc;
    }
    if (requested && !byRefOwn && requested != V_VT(out) && !(V_VT(out) & VT_BYREF)) {
        if (FAILED(VariantChangeType(out, out, 0, requested))) {
            VariantClear(out);
            return kAutoBadConvert;
        }
    }
    return kAutoOk;
}

void* VariantValuePtr(VARTYPE vt, VARIANT* v, bool pointer) {
    switch (vt) {
    case VT_I2: case VT_I4: case VT_R4: case VT_R8: case VT_CY: case VT_DATE: case VT_ERROR: case VT_BOOL:
    case VT_I1: case VT_UI1: case VT_UI2: case VT_UI4: case VT_I8: case VT_UI8: case VT_INT: case VT_UINT:
        return &V_I4(v);
    case VT_BSTR:
        return pointer ? static_cast<void*>(V_BSTR(v)) : static_cast<void*>(&V_BSTR(v));
    case VT_DISPATCH:
        return pointer ? static_cast<void*>(V_DISPATCH(v)) : static_cast<void*>(&V_DISPATCH(v));
    case VT_UNKNOWN:
        return pointer ? static_cast<void*>(V_UNKNOWN(v)) : static_cast<void*>(&V_UNKNOWN(v));
    case VT_VARIANT:
    case VT_DECIMAL:
        return v;
    default:
        return nullptr;
    }
}

bool BstrToText(BSTR s, bool utf8, bool oem, std::string* text) {
    text->clear();
    int units = static_cast<int>(SysStringLen(s));
    if (units == 0) return true;
    UINT cp = utf8 ? kCodePageUtf8 : CP_ACP;
    // The byte count comes from the conversion: a double-byte code page needs
    // more bytes than there are UTF-16 units.
    int bytes = WideCharToMultiByte(cp, 0, s, units, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0) return false;
    text->resize(static_cast<size_t>(bytes));
    if (WideCharToMultiByte(cp, 0, s, units, &(*text)[0], bytes, nullptr, nullptr) != bytes) return false;
    if (oem && !utf8) AnsiToOemBuf(&(*text)[0], text->size());
    return true;
}

// An integer element's line: its decimal digits, as VariantChangeType would
// write them, without a string of the system's made, converted and freed for
// each element (an array of millions of bytes took seconds). False for any
// other type, which goes through VariantChangeType.
static bool IntegerElementText(const VARIANT* v, std::string* piece) {
    char digits[24];
    std::to_chars_result r;
    char* end = digits + sizeof digits;
    switch (V_VT(v)) {
    case VT_I1: r = std::to_chars(digits, end, static_cast<int>(V_I1(v))); break;
    case VT_UI1: r = std::to_chars(digits, end, static_cast<unsigned>(V_UI1(v))); break;
    case VT_I2: r = std::to_chars(digits, end, V_I2(v)); break;
    case VT_UI2: r = std::to_chars(digits, end, V_UI2(v)); break;
    case VT_I4: case VT_INT: r = std::to_chars(digits, end, static_cast<long>(V_I4(v))); break;
    case VT_UI4: case VT_UINT: r = std::to_chars(digits, end, static_cast<unsigned long>(V_UI4(v))); break;
    case VT_I8: r = std::to_chars(digits, end, static_cast<long long>(V_I8(v))); break;
    case VT_UI8: r = std::to_chars(digits, end, static_cast<unsigned long long>(V_UI8(v))); break;
    default: return false;
    }
    piece->assign(digits, r.ptr);
    return true;
}

int32_t SafeArrayToText(const VARIANT* v, bool utf8, std::string* text) {
    text->clear();
    SAFEARRAY* sa = (V_VT(v) & VT_BYREF) ? (V_ARRAYREF(v) ? *V_ARRAYREF(v) : nullptr) : V_ARRAY(v);
    if (!sa) return kAutoNoValue;
    UINT dims = SafeArrayGetDim(sa);
    if (dims < 1 || dims > kIndexDimsMax) return kAutoNoValue;
    int32_t lower[kIndexDimsMax], upper[kIndexDimsMax], index[kIndexDimsMax];
    LONG where32[kIndexDimsMax];
    CheckedSize elements(1);
    for (UINT d = 0; d < dims; ++d) {
        LONG lo = 0, hi = 0;
        if (FAILED(SafeArrayGetLBound(sa, d + 1, &lo)) || FAILED(SafeArrayGetUBound(sa, d + 1, &hi)))
            return kAutoNoValue;
        lower[d] = lo;
        upper[d] = hi;
        if (upper[d] < lower[d]) return kAutoOk;   // no elements: an empty text
        index[d] = lower[d];
        elements.Mul(static_cast<uint64_t>(static_cast<int64_t>(hi) - lo) + 1);
    }
    // Every element writes at least its line feed: more elements than the
    // text may hold bytes are refused before the walk.
    if (!elements.Fits(kArrayTextMax)) return kAutoNoMemory;
    VARTYPE et = VT_EMPTY;
    if (FAILED(SafeArrayGetVartype(sa, &et))) return kAutoNoValue;
    std::string piece;
    for (;;) {
        // The element's copy is cleared however this turn ends: the text's
        // growth below may find no memory while it still holds a string.
        ScopedVariant element;
        VARIANT* tmp = &element.v;
        if (et != VT_VARIANT) V_VT(tmp) = et;
        void* where = VariantValuePtr(et, tmp, false);
        for (UINT d = 0; d < dims; ++d) where32[d] = index[d];
        bool ok = where && SUCCEEDED(SafeArrayGetElement(sa, where32, where));
        if (!ok) V_VT(tmp) = VT_EMPTY;
        if (ok && V_VT(tmp) == VT_BSTR) {
            ok = BstrToText(V_BSTR(tmp), utf8, !utf8, &piece);
        } else if (ok && !IntegerElementText(tmp, &piece)) {
            ok = SUCCEEDED(VariantChangeType(tmp, tmp, 0, VT_BSTR)) && BstrToText(V_BSTR(tmp), utf8, false, &piece);
        }
        if (!ok) {
            text->clear();
            return kAutoNoValue;
        }
        if (piece.size() >= kArrayTextMax - text->size()) {
            // The text could not be answered: the walk stops and what it
            // held so far is given back.
            std::string().swap(*text);
            return kAutoNoMemory;
        }
        text->append(piece);
        text->push_back('\n');
        if (!IndexVectorStep(dims, lower, upper, index)) break;
    }
    return kAutoOk;
}

namespace {

int32_t ToBstrTemp(const VARIANT* v, VARIANT* tmp) {
    VariantInit(tmp);
    if (SUCCEEDED(VariantChangeType(tmp, const_cast<VARIANT*>(v), 0, VT_BSTR))) return kAutoOk;
    return V_VT(v) == VT_NULL ? kAutoNullValue : kAutoNoValue;
}

int32_t TextFromVariant(EventItem* item, const VARIANT* v, std::string* text) {
    bool utf8 = item->kind == kVarItemUtf8;
    if (V_VT(v) & VT_ARRAY) {
        if (item->kind == kVarItemText) return kAutoNoValue;
        return SafeArrayToText(v, utf8, text);
    }
    if (V_VT(v) == VT_BSTR) {
        return BstrToText(V_BSTR(v), utf8, item->kind == kVarItemText8, text) ? kAutoOk : kAutoNoValue;
    }
    ScopedVariant tmp;
    int32_t rc = ToBstrTemp(v, &tmp.v);
    if (rc != kAutoOk) return rc;
    if (!BstrToText(V_BSTR(&tmp.v), utf8, false, text)) return kAutoNoValue;
    if (item->kind == kVarItemText && !text->empty()) FirstCommaToPeriod(&(*text)[0], text->size());
    return kAutoOk;
}

int32_t IntFromVariant(EventItem* item, const VARIANT* v) {
    VARTYPE want = item->size == 8 ? VT_I8 : VT_I4;
    VARIANT tmp;
    VariantInit(&tmp);
    if (FAILED(VariantChangeType(&tmp, const_cast<VARIANT*>(v), 0, want)))
        return V_VT(v) == VT_NULL ? kAutoNullValue : kAutoNoValue;
    item->value = want == VT_I8 ? static_cast<uint64_t>(V_I8(&tmp)) : static_cast<uint32_t>(V_I4(&tmp));
    return kAutoOk;
}

void SetItemObject(EventItem* item, ObjectRecord* rec) {
    item->data = rec;
    item->value = rec ? rec->handle : 0;
}

// The old object of an object variable goes first; a handle that no longer
// names a live record destroys nothing.
void DropOldObject(EventItem* item) {
    ObjectRecord* old = ObjectFromHandle(static_cast<uint32_t>(item->value));
    if (old) ObjectDestroy(old);
    SetItemObject(item, nullptr);
}

int32_t ObjectFromVariant(EventItem* item, const VARIANT* v, bool* appendAnyway) {
    switch (item->size) {
    case kTypeIcon:
    case kTypePict:
    {
        if (V_VT(v) != VT_DISPATCH) return kAutoNoValue;
        DropOldObject(item);
        int32_t code = 0;
        ObjectRecord* rec = item->size == kTypePict ? PictCreateFromVariant(v, &code) : IconCreateFromVariant(v, &code);
        if (!rec) {
            *appendAnyway = true;
            return code;
        }
        rec->ovar = item->varRef;
        SetItemObject(item, rec);
        return kAutoOk;
    }
    case kTypeAutomation:
    case kTypeAutomation2: {
        if (V_VT(v) != VT_DISPATCH) return kAutoNoValue;
        DropOldObject(item);
        int32_t code = 0;
        ObjectRecord* rec = AutomationWrapDispatch(item, v, &code);
        if (!rec) {
            *appendAnyway = true;
            return code;
        }
        SetItemObject(item, rec);
        return kAutoOk;
    }
    case kTypeVariant:
    case kTypeGenericVar: {
        ObjectRecord* rec = ObjectFromHandle(static_cast<uint32_t>(item->value));
        if (!rec || rec->kind != kKindVariant) {
            int32_t code = 0;
            rec = VariantObjMake(VT_I4, kVarPtrCopy, nullptr, item->varRef, true, &code);
            if (!rec) {
                SetItemObject(item, nullptr);
                return code;
            }
        }
        SetItemObject(item, rec);
        // A value that passes the Variants' bounds is refused (-6), as one
        // that cannot be copied is; the variable still gets its object.
        int32_t rc = VariantObjTakeCopy(VariantOf(rec), v);
        if (rc != kAutoOk) *appendAnyway = true;
        return rc;
    }
    default:
        return kAutoNoValue;
    }
}

}  // namespace

int32_t VariantToItem(EventItem* item, const VARIANT* v, std::string* text, bool* appendAnyway) {
    *appendAnyway = false;
    // A reference (an event's argument) is read through: arrays included.
    ScopedVariant direct;
    const VARIANT* src = v;
    if (V_VT(v) & VT_BYREF) {
        if (FAILED(VariantCopyInd(&direct.v, const_cast<VARIANT*>(v)))) return kAutoNoValue;
        src = &direct.v;
    }
    int32_t rc;
    switch (item->kind) {
    case kVarItemText:
    case kVarItemText8:
    case kVarItemUtf8:
        rc = TextFromVariant(item, src, text);
        if (rc == kAutoOk) {
            item->size = static_cast<uint32_t>(text->size());
            item->data = text->data();
        }
        break;
    case kVarItemInt:
        rc = IntFromVariant(item, src);
        break;
    case kVarItemObject:
    case kVarItemObject2:
        rc = ObjectFromVariant(item, src, appendAnyway);
        break;
    default:
        rc = kAutoNoValue;
        break;
    }
    return rc;
}

int32_t VariantToVar(EventItem* item, const VARIANT* v) {
    static std::string text;
    bool appendAnyway = false;
    int32_t rc = VariantToItem(item, v, &text, &appendAnyway);
    if (rc == kAutoOk || appendAnyway) {
        if (AddEventItem(item) != 0 && rc == kAutoOk) rc = kAutoNoMemory;
    }
    return rc;
}
