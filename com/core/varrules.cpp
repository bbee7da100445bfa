// varrules.cpp - the platform-free rules of the automation values (see varrules.h).
#include "com/core/varrules.h"

#include <cstring>

#include "session/util/digits.h"

uint16_t IntItemVarType(uint32_t width, uint64_t value, bool int64, uint16_t requested) {
    switch (width) {
    case 1: return kVtUi1;
    case 2: return kVtI2;
    // Unsigned would turn -1 into 18446744073709551615; a non-negative value
    // stays VT_UI8, which more objects take than VT_I8 (Wine's JScript).
    case 8: return !int64 ? kVtUi4 : static_cast<int64_t>(value) < 0 ? kVtI8 : kVtUi8;
    default: return requested == kVtError ? kVtError : kVtI4;
    }
}

bool TextItemFits(uint32_t kind, uint32_t length) {
    return kind != kVarItemText || length <= kText16Max;
}

void FirstCommaToPeriod(char* text, size_t length) {
    if (!text) return;
    char* comma = static_cast<char*>(memchr(text, ',', length));
    if (comma) *comma = '.';
}

int32_t VarTypeCheck(uint16_t vt) {
    uint16_t base = vt & ~kVtArray;
    if (base & ~kVtTypeMask) return kAutoBadVarType;
    switch (base) {
    case kVtEmpty: case kVtNull: case kVtI2: case kVtI4: case kVtR4: case kVtR8: case kVtCy: case kVtDate:
    case kVtBstr: case kVtDispatch: case kVtError: case kVtBool: case kVtUnknown: case kVtI1: case kVtUi1:
    case kVtUi2: case kVtUi4: case kVtI8: case kVtUi8:
        return kAutoOk;
    case kVtVariant:
        return (vt & kVtArray) ? kAutoOk : kAutoBadVarType;
    default:
        return kAutoBadVarType;
    }
}

uint32_t ByRefWidth(uint16_t vt) {
    switch (vt & kVtTypeMask) {
    case kVtI1: case kVtUi1: return 1;
    case kVtI2: case kVtBool: case kVtUi2: return 2;
    case kVtI4: case kVtR4: case kVtBstr: case kVtDispatch: case kVtError: case kVtUnknown: case kVtUi4:
    case kVtInt: case kVtUint:
        return 4;
    case kVtR8: case kVtCy: case kVtDate: case kVtI8: case kVtUi8: return 8;
    case kVtDecimal: return 16;
    default: return 0;
    }
}

uint32_t RawValueWidth(uint16_t vt) {
    switch (vt & kVtTypeMask) {
    case kVtUi1: return 1;
    case kVtI2: case kVtBool: return 2;
    case kVtI4: case kVtR4: case kVtDispatch: case kVtError: case kVtVariant: case kVtUnknown: return 4;
    case kVtR8: case kVtCy: case kVtDate: return 8;
    default: return 0;
    }
}

int32_t IndexVectorFill(uint32_t dims, const int32_t* given, uint32_t givenCount, int32_t out[kIndexDimsMax]) {
    if (dims == 0 || dims > kIndexDimsMax) return kAutoBadElement;
    for (uint32_t i = 0; i < kIndexDimsMax; ++i) out[i] = (given && i < givenCount && i < dims) ? given[i] : 0;
    return kAutoOk;
}

bool IndexVectorStep(uint32_t dims, const int32_t* lower, const int32_t* upper, int32_t* index) {
    for (uint32_t d = dims; d-- > 0;) {
        if (index[d] < upper[d]) {
            ++index[d];
            return true;
        }
        index[d] = lower[d];
    }
    return false;
}

DispErrorRow DispErrorLookup(uint32_t hr, int32_t defaultCode) {
    static const DispErrorRow kRows[] = {
        {0x80020003u, kAutoMemberNotFound, kDetailNone},     // DISP_E_MEMBERNOTFOUND
        {0x80020004u, kAutoTypeMismatch, kDetailArg},        // DISP_E_PARAMNOTFOUND
        {0x80020005u, kAutoTypeMismatch, kDetailArg},        // DISP_E_TYPEMISMATCH
        {0x80020007u, kAutoNoNamedArgs, kDetailNone},        // DISP_E_NONAMEDARGS
        {0x80020008u, kAutoBadVarTypeArg, kDetailNone},      // DISP_E_BADVARTYPE
        {0x80020009u, kAutoException, kDetailException},     // DISP_E_EXCEPTION
        {0x8002000Au, kAutoOverflow, kDetailNone},           // DISP_E_OVERFLOW
        {0x8002000Cu, kAutoUnknownLcid, kDetailNone},        // DISP_E_UNKNOWNLCID
        {0x8002000Eu, kAutoBadParamCount, kDetailNone},      // DISP_E_BADPARAMCOUNT
        {0x8002000Fu, kAutoParamNotOptional, kDetailNone},   // DISP_E_PARAMNOTOPTIONAL
    };
    for (const DispErrorRow& row : kRows)
        if (row.hr == hr) return row;
    return {hr, defaultCode, kDetailScode};
}

namespace {

constexpr uint32_t kExOwnerAt = 0, kExCodeAt = 11, kExSourceAt = 22, kExDescAt = 122, kExHelpAt = 222;
constexpr uint32_t kExSourceMax = 100, kExDescMax = 100, kExHelpMax = 260;
constexpr uint32_t kExContextAt = 460, kExEndAt = 471;

void PutField(char* out, uint32_t at, const char* text, uint32_t max) {
    if (!text) return;
    size_t n = strlen(text);
    memcpy(out + at, text, n < max ? n : max);
}

}  // namespace

void FormatExceptionText(char* out, int32_t ownerId, int32_t wCode, bool haveInfo, const char* source,
                         const char* description, const char* helpFile, uint32_t helpContext) {
    memset(out, ' ', kExceptionFieldsSize);
    out[kExceptionFieldsSize] = 0;
    char digits[16];
    IntToSignedDigits(digits, ownerId);
    memcpy(out + kExOwnerAt, digits, 11);
    IntToSignedDigits(digits, haveInfo ? wCode : 0);
    memcpy(out + kExCodeAt, digits, 11);
    if (haveInfo) {
        PutField(out, kExSourceAt, source, kExSourceMax);
        PutField(out, kExDescAt, description, kExDescMax);
        PutField(out, kExHelpAt, helpFile, kExHelpMax);
    }
    IntToSignedDigits(digits, static_cast<int32_t>(helpContext));
    memcpy(out + kExContextAt, digits, 11);
    out[kExEndAt] = 0;
}
