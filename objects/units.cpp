// units.cpp - a window's scale modes: units to pixels and back by a fixed
// factor per mode, the same for native windows and the web view.
#include "objects/units.h"

#include <cstdint>

namespace {

// Pixels per unit of modes 1-6 as fractions, so the results do not depend on
// rounding: 0.072, 0.02835, 0.72, 0.2835, 1 and one half.
struct ScaleFactor {
    int64_t num, den;
};
constexpr ScaleFactor kScaleFactors[] = {{0, 1}, {72, 1000}, {2835, 100000}, {72, 100}, {2835, 10000}, {1, 1}, {1, 2}};

int32_t ClampToInt32(int64_t v) {
    if (v > INT32_MAX) return INT32_MAX;
    if (v < INT32_MIN) return INT32_MIN;
    return static_cast<int32_t>(v);
}

// Units to pixels: the product truncated toward zero.
int64_t UnitsToPixels(const ScaleFactor& f, int64_t units) { return units * f.num / f.den; }

// Pixels to units: the value nearest zero that gives these pixels again. Every
// factor is at most one pixel a unit, so every pixel count has such a value:
// the quotient rounded away from zero. A size read and written back so keeps
// its pixels, and a size written reads back as written whenever no smaller
// value gives the same pixels.
int64_t PixelsToUnits(const ScaleFactor& f, int64_t pixels) {
    int64_t magnitude = pixels < 0 ? -pixels : pixels;
    int64_t units = (magnitude * f.den + f.num - 1) / f.num;
    return pixels < 0 ? -units : units;
}

}  // namespace

int32_t ScaleByMode(uint32_t mode, int32_t value, bool toPixels) {
    if (mode < kUnitsFirst || mode > kUnitsHalfPixels) return value;
    const ScaleFactor& f = kScaleFactors[mode];
    return ClampToInt32(toPixels ? UnitsToPixels(f, value) : PixelsToUnits(f, value));
}

uint8_t ScaleModeFromUnits(int32_t units) {
    return units >= kUnitsFirst && units <= kUnitsHalfPixels ? static_cast<uint8_t>(units) : kUnitsPixels;
}
