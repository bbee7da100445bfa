// drawcommon.h - what Shape and Line share: the border colour rule, the
// ranges of their drawing properties and their cached pens with the
// properties that choose them.
#pragma once

#include <windows.h>

#include <cstdint>

#include "objects/crstream.h"
#include "objects/objrecord.h"

// BdrPattern is the pen style PenCacheGet takes: 1..6, 6 (inside frame) by default.
constexpr int32_t kBdrPatternMin = 1, kBdrPatternMax = 6, kBdrPatternDefault = 6;
constexpr int32_t kDrawModeMax = 16;
// Border widths are kept in a byte; 0 is out of range.
constexpr int32_t kBdrWidthMin = 1, kBdrWidthMax = 255;

// A border colour as a change gives it: a value above 0xFFFFFF names a system
// colour, whose index must be at most 20; false when it names another.
bool DrawBorderColor(int32_t value, uint32_t* color);
// A new cached pen of the colour, pattern and width; on success the old pen
// is released and replaced. False (nothing changed) when none could be made.
bool DrawReplacePen(HPEN* pen, uint32_t color, int32_t pattern, int32_t width);
// Dashed and dotted borders (pen styles 1-4) show the background between their strokes.
inline bool DrawStyledPen(int32_t pattern) { return pattern >= PS_DASH && pattern <= PS_DASHDOTDOT; }

// The border both kinds draw with: its width, pattern, cached pen and the
// DrawMode whose raster operation it is drawn with.
struct DrawPen {
    uint8_t bdrWidth;
    uint8_t bdrPattern;
    HPEN pen;
    uint8_t drawMode;
};
// Width, pattern and DrawMode from the creation record (each outside its
// range takes its default), and the cached pen of them in the border colour.
// False when the pen cannot be made.
bool DrawPenCreate(DrawPen* d, const ObjectRecord* rec, const ObjectCreateRecord* cr, int32_t widthDefault);
// Releases the pen.
void DrawPenDestroy(DrawPen* d);
// BdrWidth, DrawMode and BdrPattern; false for any other property.
bool DrawPenGetProp(const DrawPen* d, uint32_t id, uint32_t* value);
// A change of BdrColor, DrawMode or BdrPattern (BdrWidth and the rest are the
// kind's own): a colour or pattern whose pen cannot be made keeps the old pen.
// False, nothing changed, when a BdrColor names no colour, or for another property.
bool DrawPenSetProp(DrawPen* d, ObjectRecord* rec, uint32_t id, int32_t value);
