// color.h - colours: the client's colour table (system colours first), colour
// values as objects carry them, and the Color object (kind 18).
#pragma once

#include <windows.h>

#include <cstdint>

struct ObjectRecord;

constexpr uint32_t kColorTableSize = 256;
constexpr uint32_t kSysColorCount = 21;          // entries 0-20: COLOR_SCROLLBAR .. COLOR_3DLIGHT
constexpr uint32_t kColorIndexFlag = 0x80000000u; // a colour with this bit indexes gColorTable
constexpr uint32_t kColorBtnText = 0x80000012u;
constexpr uint32_t kColorBtnFace = 0x8000000Fu;
constexpr uint32_t kColorWindow = 0x80000005u;
constexpr uint32_t kColorWindowText = 0x80000008u;

extern COLORREF gColorTable[kColorTableSize];

// A COLORREF for a colour value: a value with the top bit set is an index (its
// low byte) into gColorTable, anything else is the RGB value itself.
COLORREF ColorValueResolve(uint32_t value);
// Reloads the system colours into entries 0-20 (start-up and WM_SYSCOLORCHANGE).
void UpdateSysColors();

// The Color object: the header, then its own value.
struct ColorRec;
// The value a Color object holds (as stored: it may be a table index), or
// fallback when rec is no Color object.
uint32_t ColorObjGetValue(const ObjectRecord* rec, uint32_t fallback);
// A Color object holding value, on the list of Color objects; null without memory.
ObjectRecord* ColorObjCreate(uint32_t value);
void ColorDestroyAll();
// The creator registered for ObjectType Color.
struct ObjectCreateRecord;
ObjectRecord* ColorCreatorEntry(uint32_t type, ObjectCreateRecord* cr, int32_t* code);
struct ObjectOps;
extern const ObjectOps kColorObjOps;
