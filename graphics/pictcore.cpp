// pictcore.cpp - the picture object's arithmetic: zoom fitting and limits,
// scroll ranges, paint spans, mouse zoom steps and DIB rotation.
#include "graphics/pictcore.h"

#include <algorithm>
#include <cstring>

#include "session/util/bytereader.h"
#include "session/util/mem.h"

namespace {

constexpr uint32_t kZoomRound = 10;      // fitted zooms are multiples of this
constexpr uint32_t kPercentStep = 100;   // the big zoom step, in percent
constexpr uint32_t kPercentSmall = 10;   // the step from 11 % to 100 %
constexpr uint32_t kPercentTiny = 3;     // below this the zoom-out stays
constexpr uint32_t kDegreesTurn = 360;
constexpr int32_t kInt32Max = 0x7FFFFFFF;
constexpr uint32_t kCompressNone = 0, kCompressBitFields = 3;

uint32_t PerAxisZoom(int64_t client, uint32_t size) {
    if (client <= 0) return 0;
    uint64_t z = static_cast<uint64_t>(client) * kPictZoomUnit / size;
    return static_cast<uint32_t>(std::min<uint64_t>(z, kPictZoomMax));
}

bool RotatableDepth(uint32_t bits) { return bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32; }

// The image a turn may read: a supported depth, no compression, bottom-up,
// with a size whose bits block the header's biSizeImage covers.
bool Rotatable(const BITMAPINFOHEADER* h, const uint8_t* bits, size_t* stride) {
    if (!bits || !RotatableDepth(h->biBitCount)) return false;
    // Run-length data is not pixels: turning it would read past its block.
    if (h->biCompression != kCompressNone && h->biCompression != kCompressBitFields) return false;
    if (h->biWidth <= 0 || h->biHeight <= 0) return false;
    CheckedSize s = DibStride(static_cast<uint32_t>(h->biWidth), h->biBitCount);
    CheckedSize total = s;
    total.Mul(static_cast<uint32_t>(h->biHeight));
    if (!total.Fits() || (h->biSizeImage && total.value > h->biSizeImage)) return false;
    *stride = s.Size();
    return true;
}

// One pixel's value (1 to 4 bytes packed) at x of a row.
uint32_t PixelAt(const uint8_t* row, uint32_t x, uint32_t bitCount) {
    if (bitCount < 8) {
        uint32_t perByte = 8 / bitCount, shift = (perByte - 1 - x % perByte) * bitCount;
        return (row[x / perByte] >> shift) & ((1u << bitCount) - 1);
    }
    const uint8_t* p = row + static_cast<size_t>(x) * (bitCount / 8);
    uint32_t v = 0;
    for (uint32_t i = 0; i < bitCount / 8; i++) v |= static_cast<uint32_t>(p[i]) << (8 * i);
    return v;
}

void PixelPut(uint8_t* row, uint32_t x, uint32_t bitCount, uint32_t v) {
    if (bitCount < 8) {
        uint32_t perByte = 8 / bitCount, shift = (perByte - 1 - x % perByte) * bitCount;
        uint8_t mask = static_cast<uint8_t>(((1u << bitCount) - 1) << shift);
        uint8_t& d = row[x / perByte];
        d = static_cast<uint8_t>((d & ~mask) | ((v << shift) & mask));
        return;
    }
    uint8_t* p = row + static_cast<size_t>(x) * (bitCount / 8);
    for (uint32_t i = 0; i < bitCount / 8; i++) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

}  // namespace

uint32_t PictScaleToZoom(int32_t scale) {
    if (scale <= 0) return kPictZoomMin;
    uint64_t z = static_cast<uint64_t>(scale) * kZoomRound;
    return static_cast<uint32_t>(std::min<uint64_t>(z, kPictZoomMax));
}

uint32_t PictFitZoom(int32_t clientW, int32_t clientH, uint32_t width, uint32_t height, PictFitAxis axis) {
    if (width == 0 || height == 0) return 0;
    uint32_t zx = PerAxisZoom(clientW, width), zy = PerAxisZoom(clientH, height);
    uint32_t z = axis == kPictFitWidth ? zx : axis == kPictFitHeight ? zy : std::min(zx, zy);
    z -= z % kZoomRound;
    return std::max(z, kPictZoomMin);
}

uint32_t PictFillZoom(int32_t clientW, int32_t clientH, uint32_t width, uint32_t height) {
    if (width == 0 || height == 0) return 0;
    uint32_t zx = PerAxisZoom(static_cast<int64_t>(clientW) + 1, width);
    uint32_t zy = PerAxisZoom(static_cast<int64_t>(clientH) + 1, height);
    return std::max(zx, zy);
}

uint32_t PictVisible(int32_t client, uint32_t zoom) {
    if (client <= 0 || zoom == 0) return 0;
    uint64_t v = static_cast<uint64_t>(client) * kPictZoomUnit / zoom;
    return static_cast<uint32_t>(std::min<uint64_t>(v, 0xFFFFFFFFu));
}

void PictAxisUpdate(PictAxis* a, int32_t client, uint32_t zoom) {
    uint32_t visible = PictVisible(client, zoom);
    if (visible >= a->size) {
        a->range = 0;
        a->step = 0;
    } else {
        a->range = a->size - visible;
        a->step = std::max<uint32_t>(visible / 2, 1);
        if (zoom % kPictZoomUnit != 0 && a->range > 1) a->range--;
    }
    a->pos = std::min(a->pos, a->range);
}

int32_t PictScaled(uint64_t pixels, uint32_t zoom) {
    uint64_t v = pixels * zoom / kPictZoomUnit;
    return static_cast<int32_t>(std::min<uint64_t>(v, kInt32Max));
}

PictSpan PictAxisPaint(const PictAxis& a, int32_t client, uint32_t zoom) {
    PictSpan s = {static_cast<int32_t>(std::min<uint32_t>(a.pos, kInt32Max)), 0, std::max(client, 0)};
    uint64_t len = static_cast<uint64_t>(PictVisible(client, zoom)) + 1;
    uint64_t left = a.pos < a.size ? a.size - a.pos : 0;
    if (len >= left) {
        len = left;
        s.dstLen = std::min(s.dstLen, PictScaled(left, zoom));
    }
    s.srcLen = static_cast<int32_t>(std::min<uint64_t>(len, kInt32Max));
    return s;
}

uint32_t PictZoomOutStep(uint32_t zoom) {
    uint32_t p = zoom / kZoomRound;
    if (p > kPercentStep) p = (p - 1) / kPercentStep * kPercentStep;
    else if (p > kPercentSmall) p -= kPercentSmall;
    else if (p >= kPercentTiny) p -= 1;
    return std::max(p * kZoomRound, kPictZoomMin);
}

uint32_t PictZoomInStep(uint32_t zoom) {
    if (zoom >= kPictZoomMax) return zoom;
    uint32_t p = (zoom / kZoomRound + kPercentStep) / kPercentStep * kPercentStep;
    return std::min(p * kZoomRound, kPictZoomMax);
}

PictTurn PictTurnOf(int32_t degrees) {
    int32_t d = degrees % static_cast<int32_t>(kDegreesTurn);
    if (d < 0) d += kDegreesTurn;
    if (d == 0) return kPictTurnNone;
    if (d <= 90) return kPictTurnClockwise;
    if (d <= 180) return kPictTurnHalf;
    if (d <= 270) return kPictTurnCounter;
    return kPictTurnNone;
}

bool DibRotateQuarter(const BITMAPINFOHEADER* h, const uint8_t* bits, bool counter, BITMAPINFOHEADER* outHeader,
                      uint8_t** out) {
    size_t stride = 0;
    if (!Rotatable(h, bits, &stride)) return false;
    const uint32_t w = static_cast<uint32_t>(h->biWidth), ht = static_cast<uint32_t>(h->biHeight);
    CheckedSize nStride = DibStride(ht, h->biBitCount);
    CheckedSize total = nStride;
    total.Mul(w);
    if (!total.Fits()) return false;
    auto* dst = static_cast<uint8_t*>(LocalAllocZero(total.Size()));
    if (!dst) return false;
    // Top-down coordinates: clockwise, new (x, y) is old (y, ht - 1 - x);
    // counter-clockwise, new (x, y) is old (w - 1 - y, x).
    for (uint32_t ny = 0; ny < w; ny++) {
        uint8_t* drow = dst + static_cast<size_t>(w - 1 - ny) * nStride.Size();
        for (uint32_t nx = 0; nx < ht; nx++) {
            uint32_t ox = counter ? w - 1 - ny : ny;
            uint32_t oy = counter ? nx : ht - 1 - nx;
            const uint8_t* srow = bits + static_cast<size_t>(ht - 1 - oy) * stride;
            PixelPut(drow, nx, h->biBitCount, PixelAt(srow, ox, h->biBitCount));
        }
    }
    *outHeader = *h;
    outHeader->biWidth = static_cast<LONG>(ht);
    outHeader->biHeight = static_cast<LONG>(w);
    outHeader->biSizeImage = static_cast<DWORD>(total.value);
    *out = dst;
    return true;
}

bool DibRotateHalf(const BITMAPINFOHEADER* h, const uint8_t* bits, uint8_t** out) {
    size_t stride = 0;
    if (!Rotatable(h, bits, &stride)) return false;
    const uint32_t w = static_cast<uint32_t>(h->biWidth), ht = static_cast<uint32_t>(h->biHeight);
    size_t total = stride * ht;
    auto* dst = static_cast<uint8_t*>(LocalAllocZero(std::max<size_t>(total, h->biSizeImage)));
    if (!dst) return false;
    for (uint32_t r = 0; r < ht; r++) {
        const uint8_t* srow = bits + static_cast<size_t>(ht - 1 - r) * stride;
        uint8_t* drow = dst + static_cast<size_t>(r) * stride;
        for (uint32_t x = 0; x < w; x++) PixelPut(drow, w - 1 - x, h->biBitCount, PixelAt(srow, x, h->biBitCount));
    }
    *out = dst;
    return true;
}
