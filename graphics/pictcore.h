// pictcore.h - the platform-free rules of the picture object: zoom limits and
// fitting, the scroll ranges and paint rectangles of one axis, the zoom steps
// of the mouse, and the quarter and half turns of a bottom-up DIB.
#pragma once

#include <cstddef>
#include <cstdint>

#include "session/util/qovtypes.h"

// Zooms are per mille; Scale is the zoom in percent.
constexpr uint32_t kPictZoomMin = 10;
constexpr uint32_t kPictZoomMax = 65000;
constexpr uint32_t kPictZoomUnit = 1000;
constexpr uint32_t kPictGreyViewMinZoom = 100;  // below it a 1-bit image is shown through its OR view

// The zoom of a Scale value: x 10, 0 (and below) as the least, above the top
// as the top.
uint32_t PictScaleToZoom(int32_t scale);

enum PictFitAxis { kPictFitBoth = 0, kPictFitWidth = 1, kPictFitHeight = 2 };
// The zoom that shows an image of width x height in a client area: per axis
// client x 1000 / size (at most the top zoom), the axis asked for or the
// smaller, cut down to a multiple of 10 (at least 10). An image without
// pixels answers 0: the caller keeps its zoom.
uint32_t PictFitZoom(int32_t clientW, int32_t clientH, uint32_t width, uint32_t height, PictFitAxis axis);
// The zoom that fills the client area: sizes counted inclusively, the larger
// of the two, not cut to a multiple of 10. 0 for an image without pixels.
uint32_t PictFillZoom(int32_t clientW, int32_t clientH, uint32_t width, uint32_t height);

// One axis of a picture's view.
struct PictAxis {
    uint32_t size;    // image pixels
    uint32_t pos;     // image pixel at the client's start
    uint32_t range;   // largest position
    uint32_t step;    // page step
};
// Image pixels visible in client pixels at a zoom (64-bit intermediates).
uint32_t PictVisible(int32_t client, uint32_t zoom);
// Ranges and steps for a client extent and zoom; the position is clamped.
void PictAxisUpdate(PictAxis* a, int32_t client, uint32_t zoom);
// The paint rectangle of one axis: source start and length in image pixels,
// destination length in client pixels (the client extent, shrunk when the
// image ends inside it).
struct PictSpan {
    int32_t src, srcLen, dstLen;
};
PictSpan PictAxisPaint(const PictAxis& a, int32_t client, uint32_t zoom);
// Client pixels of image pixels: pixels x zoom / 1000 without overflow,
// clamped to the 32-bit range.
int32_t PictScaled(uint64_t pixels, uint32_t zoom);

// A right double-click without history: above 100 % down to the next lower
// multiple of 100, 11..100 % less 10, 3..10 % less 1, 1..2 % stays.
uint32_t PictZoomOutStep(uint32_t zoom);
// A left double-click without a rubber band: below the top zoom, percent + 100
// cut down to a multiple of 100 (at most the top).
uint32_t PictZoomInStep(uint32_t zoom);

// What Rotate does for a number of degrees (taken mod 360).
enum PictTurn { kPictTurnNone, kPictTurnClockwise, kPictTurnHalf, kPictTurnCounter };
PictTurn PictTurnOf(int32_t degrees);

// A turned copy of a bottom-up DIB of 1, 4, 8, 16, 24 or 32 bits without
// compression: *out receives a new LocalAllocZero block and *outHeader the
// turned header. Answers false (nothing made) for another depth, a
// compressed or top-down image, or no memory.
bool DibRotateQuarter(const BITMAPINFOHEADER* h, const uint8_t* bits, bool counter, BITMAPINFOHEADER* outHeader,
                      uint8_t** out);
bool DibRotateHalf(const BITMAPINFOHEADER* h, const uint8_t* bits, uint8_t** out);
