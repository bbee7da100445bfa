// pictcore_test.cpp - the picture object's arithmetic: Scale limits, fitting
// (and images without pixels), scroll ranges and paint spans for images far
// wider than 32-bit products allow, the mouse zoom steps, and quarter and
// half turns of every depth checked pixel by pixel against a reference turn.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "graphics/pictcore.h"
#include "session/util/mem.h"

namespace {

TEST(PictZoom, ScaleFitAndSteps) {
    struct ScaleCase { int32_t scale; uint32_t zoom; const char* why; };
    const ScaleCase scales[] = {
        {0, 10, "Scale 0 gives the least zoom (Scale 1)"},
        {-5, 10, "a negative Scale as 0"},
        {250, 2500, "percent x 10"},
        {7000, 65000, "above the top: the top (Scale 6500)"},
        {0x7FFFFFFF, 65000, "no 32-bit wrap of the product"},
    };
    for (const ScaleCase& c : scales) EXPECT_EQ(c.zoom, PictScaleToZoom(c.scale)) << c.why;

    struct FitCase { int32_t cw, ch; uint32_t w, h; PictFitAxis axis; uint32_t zoom; const char* why; };
    const FitCase fits[] = {
        {200, 100, 400, 400, kPictFitBoth, 250, "the smaller axis"},
        {200, 100, 400, 400, kPictFitWidth, 500, "width only"},
        {200, 100, 400, 400, kPictFitHeight, 250, "height only"},
        {333, 1000, 1000, 1000, kPictFitBoth, 330, "cut down to a multiple of 10"},
        {1, 1, 100000, 100000, kPictFitBoth, 10, "at least 10"},
        {60000, 60000, 1, 1, kPictFitBoth, 65000, "at most the top"},
        {200, 100, 0, 400, kPictFitBoth, 0, "no width: 0, nothing divided by it"},
        {200, 100, 400, 0, kPictFitBoth, 0, "no height: 0"},
    };
    for (const FitCase& c : fits) EXPECT_EQ(c.zoom, PictFitZoom(c.cw, c.ch, c.w, c.h, c.axis)) << c.why;
    EXPECT_EQ(502u, PictFillZoom(200, 100, 400, 400)) << "inclusive sizes, the larger, not rounded";
    EXPECT_EQ(0u, PictFillZoom(200, 100, 0, 0)) << "an empty image";

    struct StepCase { uint32_t zoom, out, in; const char* why; };
    const StepCase steps[] = {
        {2500, 2000, 3000, "250 %: out to 200, in to 300"},
        {2000, 1000, 3000, "a multiple of 100 loses 100"},
        {1500, 1000, 2000, "150 % in gives 200"},
        {600, 500, 1000, "60 % loses 10"},
        {50, 40, 1000, "5 % loses 1"},
        {20, 20, 1000, "2 % stays"},
        {10, 10, 1000, "1 % stays"},
        {65000, 64000, 65000, "the top stays on zoom in"},
    };
    for (const StepCase& c : steps) {
        EXPECT_EQ(c.out, PictZoomOutStep(c.zoom)) << c.why;
        EXPECT_EQ(c.in, PictZoomInStep(c.zoom)) << c.why;
    }
}

TEST(PictScroll, RangesStepsAndSpans) {
    struct Case { uint32_t size, pos; int32_t client; uint32_t zoom; uint32_t range, step, posOut; PictSpan span; const char* why; };
    const Case cases[] = {
        {100, 0, 200, 1000, 0, 0, 0, {0, 100, 100}, "smaller than the client: no range, drawn at its size"},
        {1000, 0, 200, 1000, 800, 100, 0, {0, 201, 200}, "at 100 %: range size - visible, step half"},
        {1000, 900, 200, 1000, 800, 100, 800, {800, 200, 200}, "a position above the range is clamped"},
        {1000, 0, 200, 1500, 866, 66, 0, {0, 134, 200}, "a zoom not a multiple of 1000 lowers the range by 1"},
        {1000, 990, 200, 2000, 900, 50, 900, {900, 100, 200}, "the image ends inside the client"},
        {40000, 39000, 500, 65000, 39993, 3, 39000, {39000, 8, 500},
         "a 40,000-pixel image at the top zoom: 64-bit products"},
    };
    for (const Case& c : cases) {
        PictAxis a = {c.size, c.pos, 0, 0};
        PictAxisUpdate(&a, c.client, c.zoom);
        EXPECT_EQ(c.range, a.range) << c.why;
        EXPECT_EQ(c.step, a.step) << c.why;
        EXPECT_EQ(c.posOut, a.pos) << c.why;
        PictSpan s = PictAxisPaint(a, c.client, c.zoom);
        EXPECT_EQ(c.span.src, s.src) << c.why;
        EXPECT_EQ(c.span.srcLen, s.srcLen) << c.why;
        EXPECT_EQ(c.span.dstLen, s.dstLen) << c.why;
    }
    EXPECT_EQ(2600000, PictScaled(40000, 65000)) << "the product passes 32 bits, the result does not";
    EXPECT_EQ(0x7FFFFFFF, PictScaled(4000000000u, 65000)) << "clamped, not wrapped";
}

TEST(PictTurn, DegreesTable) {
    struct Case { int32_t degrees; PictTurn turn; const char* why; };
    const Case cases[] = {
        {0, kPictTurnNone, "0 nothing"}, {90, kPictTurnClockwise, "90"}, {1, kPictTurnClockwise, "1..90 a quarter"},
        {180, kPictTurnHalf, "180"}, {270, kPictTurnCounter, "270"}, {300, kPictTurnNone, "271..359 nothing"},
        {450, kPictTurnClockwise, "450 is 90"}, {-90, kPictTurnCounter, "a negative degree counts mod 360"},
    };
    for (const Case& c : cases) EXPECT_EQ(c.turn, PictTurnOf(c.degrees)) << c.why;
}

// A reference image: pixel (x, y) top-down has a value unique enough for
// the depth; rows bottom-up, padded to 4.
struct TestDib {
    BITMAPINFOHEADER h{};
    std::vector<uint8_t> bits;
    size_t stride = 0;
    uint32_t mask() const { return h.biBitCount == 32 ? 0xFFFFFFFFu : (1u << h.biBitCount) - 1; }
};

uint32_t Get(const uint8_t* bits, size_t stride, uint32_t height, uint32_t x, uint32_t y, uint32_t bpp) {
    const uint8_t* row = bits + (height - 1 - y) * stride;
    if (bpp < 8) {
        uint32_t per = 8 / bpp, shift = (per - 1 - x % per) * bpp;
        return (row[x / per] >> shift) & ((1u << bpp) - 1);
    }
    uint32_t v = 0;
    for (uint32_t i = 0; i < bpp / 8; i++) v |= uint32_t(row[x * (bpp / 8) + i]) << (8 * i);
    return v;
}

TestDib MakeDib(uint32_t w, uint32_t h, uint32_t bpp) {
    TestDib d;
    d.h.biSize = 40, d.h.biWidth = int32_t(w), d.h.biHeight = int32_t(h), d.h.biPlanes = 1, d.h.biBitCount = uint16_t(bpp);
    d.stride = ((w * bpp + 31) / 32) * 4;
    d.bits.assign(d.stride * h, 0);
    d.h.biSizeImage = uint32_t(d.bits.size());
    for (uint32_t y = 0; y < h; y++) {
        uint8_t* row = &d.bits[(h - 1 - y) * d.stride];
        for (uint32_t x = 0; x < w; x++) {
            uint32_t v = (x * 7 + y * 13 + 1) * 0x01030507u & d.mask();
            if (bpp < 8) {
                uint32_t per = 8 / bpp, shift = (per - 1 - x % per) * bpp;
                row[x / per] = uint8_t(row[x / per] | (v << shift));
            } else {
                for (uint32_t i = 0; i < bpp / 8; i++) row[x * (bpp / 8) + i] = uint8_t(v >> (8 * i));
            }
        }
    }
    return d;
}

// Bits of a row past the last pixel.
bool PaddingClear(const uint8_t* bits, size_t stride, uint32_t w, uint32_t h, uint32_t bpp) {
    for (uint32_t r = 0; r < h; r++) {
        for (size_t bit = size_t(w) * bpp; bit < stride * 8; bit++)
            if (bits[r * stride + bit / 8] & (0x80 >> (bit % 8))) return false;
    }
    return true;
}

TEST(PictTurn, QuarterAndHalfTurnsOfEveryDepth) {
    for (uint32_t bpp : {1u, 4u, 8u, 16u, 24u, 32u}) {
        const uint32_t w = 13, h = 5;   // 13 is not a multiple of 8: padding bits in every depth below 8
        TestDib d = MakeDib(w, h, bpp);
        for (bool counter : {false, true}) {
            BITMAPINFOHEADER nh{};
            uint8_t* out = nullptr;
            ASSERT_TRUE(DibRotateQuarter(&d.h, d.bits.data(), counter, &nh, &out)) << bpp;
            EXPECT_EQ(int32_t(h), nh.biWidth);
            EXPECT_EQ(int32_t(w), nh.biHeight);
            size_t ns = ((h * bpp + 31) / 32) * 4;
            EXPECT_EQ(ns * w, nh.biSizeImage);
            for (uint32_t y = 0; y < w; y++)
                for (uint32_t x = 0; x < h; x++) {
                    // Clockwise the new bottom row is the old rightmost column.
                    uint32_t ox = counter ? w - 1 - y : y, oy = counter ? x : h - 1 - x;
                    ASSERT_EQ(Get(d.bits.data(), d.stride, h, ox, oy, bpp), Get(out, ns, w, x, y, bpp))
                        << bpp << " bits, counter " << counter << " at " << x << "," << y;
                }
            EXPECT_TRUE(PaddingClear(out, ns, h, w, bpp)) << bpp;
            LocalFreeMem(out);
        }
        uint8_t* half = nullptr;
        ASSERT_TRUE(DibRotateHalf(&d.h, d.bits.data(), &half)) << bpp;
        for (uint32_t y = 0; y < h; y++)
            for (uint32_t x = 0; x < w; x++)
                ASSERT_EQ(Get(d.bits.data(), d.stride, h, w - 1 - x, h - 1 - y, bpp), Get(half, d.stride, h, x, y, bpp))
                    << bpp << " bits at " << x << "," << y;
        EXPECT_TRUE(PaddingClear(half, d.stride, w, h, bpp)) << "the padding stays 0 at " << bpp << " bits";
        LocalFreeMem(half);
    }
}

TEST(PictTurn, RefusedImagesChangeNothing) {
    TestDib d = MakeDib(8, 4, 8);
    struct Case { uint32_t compression; uint16_t bpp; int32_t height; uint32_t sizeImage; const char* why; };
    const Case cases[] = {
        {1, 8, 4, 0, "RLE8: the bytes are runs, not pixels"},
        {2, 4, 4, 0, "RLE4"},
        {0, 2, 4, 0, "2 bits is no depth the turn knows"},
        {0, 8, -4, 0, "a top-down image"},
        {0, 8, 40, 32, "a header larger than its bits block"},
    };
    for (const Case& c : cases) {
        BITMAPINFOHEADER h = d.h;
        h.biCompression = c.compression, h.biBitCount = c.bpp, h.biHeight = c.height;
        if (c.sizeImage) h.biSizeImage = c.sizeImage;
        BITMAPINFOHEADER nh{};
        uint8_t* out = reinterpret_cast<uint8_t*>(1);
        EXPECT_FALSE(DibRotateQuarter(&h, d.bits.data(), false, &nh, &out)) << c.why;
        EXPECT_EQ(reinterpret_cast<uint8_t*>(1), out) << c.why;
        EXPECT_FALSE(DibRotateHalf(&h, d.bits.data(), &out)) << c.why;
    }
}

}  // namespace
