// varconv.h - values between the server's items and OLE VARIANTs: an item
// becomes a VARIANT for an argument or a Variant object's value; a VARIANT
// becomes the item of a receiving variable (texts, numbers, objects, arrays as
// one line per element) and, for results, is appended to the answer.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <cstdint>
#include <string>

#include "session/proto/records.h"

// A VARIANT of a scope's own: cleared on every way out of it, so a throw
// (memory that cannot be held) leaks nothing the VARIANT holds.
struct ScopedVariant {
    VARIANT v;
    ScopedVariant() { VariantInit(&v); }
    ~ScopedVariant() { VariantClear(&v); }
    ScopedVariant(const ScopedVariant&) = delete;
    ScopedVariant& operator=(const ScopedVariant&) = delete;
};

// 64-bit integer items go with all their bits (VT_I8 when negative, else
// VT_UI8); off: VT_UI4, low word.
extern bool gVarInt64Args;

// An item into a VARIANT (initialised first; the caller clears it). requested:
// the VARTYPE wanted, 0 for the item's natural type. 0 or a negative code.
int32_t VarToVariant(const EventItem* item, VARIANT* out, VARTYPE requested);

// A VARIANT into the receiving item without appending it: its size, value and
// data change; a text lands in *text (the item's data points into it). Objects
// that the variable held are replaced as the variable's type says. *appendAnyway
// is set for the failures whose item still goes out (without an object).
int32_t VariantToItem(EventItem* item, const VARIANT* v, std::string* text, bool* appendAnyway);
// The same, then the item is appended to the answer (AddEventItem).
int32_t VariantToVar(EventItem* item, const VARIANT* v);
// An array (also by reference) as one text: each element and a line feed.
int32_t SafeArrayToText(const VARIANT* v, bool utf8, std::string* text);
// Where a value of that type lives in the VARIANT, for SafeArrayGet/PutElement;
// pointer: the pointer stored in it for BSTR, DISPATCH and UNKNOWN. Null for
// a type without a value location.
void* VariantValuePtr(VARTYPE vt, VARIANT* v, bool pointer);
// A VARIANT's string, ANSI (OEM when the session asks, for kind 32) or UTF-8,
// with the byte count the conversion produced.
bool BstrToText(BSTR s, bool utf8, bool oem, std::string* text);
