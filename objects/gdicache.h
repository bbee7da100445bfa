// gdicache.h - the caches of GDI brushes and pens shared by colour and style.
#pragma once

#include <windows.h>

#include <cstdint>

constexpr uint32_t kBrushCacheSize = 200;
constexpr uint32_t kPenCacheSize = 200;

// Brush styles: 5 solid, 6 the stock null brush, 1-4, 7, 8 hatches.
enum BrushStyle : uint32_t {
    kBrushHorizontal = 1, kBrushVertical = 2, kBrushFDiagonal = 3, kBrushBDiagonal = 4,
    kBrushSolid = 5, kBrushNull = 6, kBrushCross = 7, kBrushDiagCross = 8,
};

// A cached brush of the colour (a colour value, resolved through the colour
// table) and style; addUse counts the caller as a user who will release it.
// None when the cache is full or the style is unknown.
HBRUSH BrushCacheGet(uint32_t color, uint32_t style, bool addUse);
void BrushCacheRelease(HBRUSH brush);
// A cached pen of the colour, GDI pen style and width; always counts a use.
HPEN PenCacheGet(uint32_t color, uint32_t style, uint32_t width);
void PenCacheRelease(HPEN pen);
// Deletes every cached brush and pen (the end of the process).
void GdiCacheCleanup();
uint32_t BrushCacheCount();
uint32_t PenCacheCount();
