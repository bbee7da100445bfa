// units.cpp - a window's scale modes: units to pixels and back by a fixed
// factor per mode, the same for native windows and the web view.
#include "objects/units.h"

#include <cstdint>

namespace {

// Pixels per unit of modes 1-5 as fractions, so the results do not depend on
// rounding: 0.072, 0.02835, 0.72, 0.2835, 1.
struct ScaleFactor {
    int64_t num, den;
};
constexpr ScaleFactor kScaleFactors[] = {{0, 1}, {72, 1000}, {2835, 100000}, {72, 100}, {2835, 10000}, {1, 1}};
constexpr int64_t kHalfPixel = 2;

int32_t ClampToInt32(int64_t v) {
    if (v > INT32_MAX) return INT32_MAX;
    if (v < INT32_MIN) return INT32_MIN;
    return static_cast<int32_t>(v);
}

}  // namespace

int32_t ScaleByMode(uint32_t mode, int32_t value, bool toPixels) {
    int64_t v = value;
    if (mode == kUnitsHalfPixels) return ClampToInt32(toPixels ? v / kHalfPixel : v * kHalfPixel);
    if (mode < kUnitsFirst || mode > kUnitsPixels) return value;
    const ScaleFactor& f = kScaleFactors[mode];
    return ClampToInt32(toPixels ? v * f.num / f.den : v * f.den / f.num);
}

uint8_t ScaleModeFromUnits(int32_t units) {
    return units >= kUnitsFirst && units <= kUnitsHalfPixels ? static_cast<uint8_t>(units) : kUnitsPixels;
}
