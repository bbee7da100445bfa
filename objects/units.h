// units.h - a window's scale modes (Units): the one conversion between a
// window's units and pixels that native windows and the web view share.
#pragma once

#include <cstdint>

// Scale modes (Units 1..6); any other value leaves coordinates as they are.
constexpr uint8_t kUnitsFirst = 1, kUnitsPixels = 5, kUnitsHalfPixels = 6;
// A character cell in pixels (objects placed in cells).
constexpr uint8_t kCellWidth = 7, kCellHeight = 15;

// One coordinate between the window's units and pixels (toPixels true: units
// to pixels). Modes 1-4 are fixed pixels per unit, 5 is pixels, 6 half
// pixels. To pixels the result is truncated toward zero; back to units it is
// the value nearest zero that gives the same pixels, so what is read and
// written back keeps its place. The screen's resolution plays no part, so
// both modes of a window answer the same numbers.
int32_t ScaleByMode(uint32_t mode, int32_t value, bool toPixels);
// The mode a window keeps for a given Units: 1..6 as given, else pixels.
uint8_t ScaleModeFromUnits(int32_t units);
