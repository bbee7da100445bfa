// dibutil_test.cpp - the BMP writer, pixel runs, strips and transparent masks.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <cstring>
#include <string>

#include "graphics/image/dibutil.h"
#include "graphics/image/imageload.h"
#include "image_testkit.h"
#include "session/util/mem.h"

namespace {

uint32_t Le32At(const Bytes& b, size_t off) {
    return b[off] | (b[off + 1] << 8) | (b[off + 2] << 16) | (uint32_t(b[off + 3]) << 24);
}

struct Dib {
    BITMAPINFOHEADER h;
    RGBQUAD colors[256];
};

std::string TempPath(const char* name) {
    const char* dir = getenv("TMPDIR");
    return std::string(dir ? dir : "/tmp") + "/qov_dib_" + name;
}

}  // namespace

TEST(DibWrite, FileHeaderOffsetsAndReRead) {
    struct Case {
        uint16_t bits;
        uint32_t compression, colors;
        uint32_t offBits;
        const char* why;
    } cases[] = {
        {8, BI_RGB, 256, 1078, "8 bits with 256 colours: pixels at 1078"},
        {1, BI_RGB, 2, 62, "1 bit: two colours"},
        {24, BI_RGB, 0, 54, "24 bits: no table"},
        {16, BI_BITFIELDS, 0, 66, "bit fields: the 12 mask bytes are written and counted"},
    };
    for (const auto& c : cases) {
        Dib dib;
        memset(&dib, 0, sizeof dib);
        dib.h.biSize = 40;
        dib.h.biWidth = 5;
        dib.h.biHeight = 3;
        dib.h.biPlanes = 1;
        dib.h.biBitCount = c.bits;
        dib.h.biCompression = c.compression;
        dib.h.biClrUsed = c.colors;
        dib.h.biSizeImage = uint32_t(DibRowBytes(5, c.bits) * 3);
        for (uint32_t i = 0; i < c.colors; i++) dib.colors[i].rgbRed = uint8_t(i);
        if (c.compression == BI_BITFIELDS) {
            const uint32_t masks[3] = {0xF800, 0x07E0, 0x001F};
            memcpy(dib.colors, masks, 12);
        }
        Bytes bits(dib.h.biSizeImage);
        for (size_t i = 0; i < bits.size(); i++) bits[i] = uint8_t(i * 37);
        std::string path = TempPath("w.bmp");
        ASSERT_EQ(DibWriteBmpFile(path.c_str(), &dib.h, bits.data()), kDibWriteOk) << c.why;
        Bytes file = ReadFileBytes(path);
        remove(path.c_str());
        EXPECT_EQ(Le32At(file, 10), c.offBits) << c.why;
        EXPECT_EQ(Le32At(file, 2), c.offBits + dib.h.biSizeImage) << c.why;
        EXPECT_EQ(file.size(), c.offBits + dib.h.biSizeImage) << c.why;
        // Our own reader takes it back unchanged.
        ASSERT_EQ(DecodeBytes(kImgFormatBmp, file), kImgOk) << c.why;
        EXPECT_EQ(Bytes(gImageDecodeState.bits, gImageDecodeState.bits + bits.size()), bits) << c.why;
        if (c.compression == BI_BITFIELDS) {
            EXPECT_EQ(memcmp(gImageDecodeState.colors, dib.colors, 12), 0) << c.why;
        }
    }
    BITMAPINFOHEADER h = {};
    h.biSize = 40;
    EXPECT_EQ(DibWriteBmpFile("/nonexistent-dir/x.bmp", &h, nullptr), kDibWriteNoCreate);
    // A full device takes the small file into the runtime's buffer and loses
    // it at the last flush: a failure, not a bitmap written.
    h.biWidth = h.biHeight = 4;
    h.biPlanes = 1;
    h.biBitCount = 24;
    const Bytes pixels(DibRowBytes(4, 24) * 4, 0x80);
#ifdef _WIN32
    const char* const kFullDevice = "Z:\\dev\\full";
#else
    const char* const kFullDevice = "/dev/full";
#endif
    EXPECT_EQ(DibWriteBmpFile(kFullDevice, &h, pixels.data()), kDibWriteNoClose);
}

TEST(DibHelpers, PixelRunsAndStrips) {
    struct { uint32_t bits; Bytes src; uint32_t srcX, dstX, count; Bytes expect; } runs[] = {
        {1, {0xF0}, 2, 5, 3, {0x06, 0x00}},
        {4, {0x12, 0x34}, 1, 0, 3, {0x23, 0x40}},
        {8, {1, 2, 3}, 1, 1, 2, {0, 2, 3}},
        {24, {1, 2, 3, 4, 5, 6}, 1, 0, 1, {4, 5, 6}},
    };
    for (const auto& r : runs) {
        Bytes dst(r.expect.size(), 0);
        CopyPixelRun(dst.data(), r.dstX, r.src.data(), r.srcX, r.count, r.bits);
        EXPECT_EQ(dst, r.expect) << r.bits << " bits";
    }
    // 10 images of 16 x 16 in a bitmap 64 wide (4 per row, 3 rows).
    BITMAPINFOHEADER h = {};
    h.biSize = 40;
    h.biWidth = 64;
    h.biHeight = 48;
    h.biBitCount = 8;
    Bytes grid(64 * 48);
    for (uint32_t y = 0; y < 48; y++)
        for (uint32_t x = 0; x < 64; x++) grid[(47 - y) * 64 + x] = uint8_t((y / 16) * 4 + x / 16);
    BITMAPINFOHEADER sh;
    uint8_t* strip = nullptr;
    ASSERT_EQ(DibGridToStrip(&h, grid.data(), 16, 16, 10, &sh, &strip), 0);
    EXPECT_EQ(sh.biWidth, 160);
    EXPECT_EQ(sh.biHeight, 16);
    for (uint32_t i = 0; i < 10; i++) EXPECT_EQ(strip[i * 16 + 3], i) << "image " << i;
    LocalFreeMem(strip);
    h.biBitCount = 2;
    EXPECT_EQ(DibGridToStrip(&h, grid.data(), 16, 16, 10, &sh, &strip), 5);
    EXPECT_EQ(DibGridToStrip(&h, grid.data(), 0, 16, 10, &sh, &strip), 2);
}

TEST(DibHelpers, TransparentMask) {
    Dib dib;
    memset(&dib, 0, sizeof dib);
    dib.h.biSize = 40;
    dib.h.biWidth = 4;
    dib.h.biHeight = 1;
    dib.h.biBitCount = 8;
    dib.h.biClrUsed = 3;
    dib.colors[2].rgbRed = 0x10, dib.colors[2].rgbGreen = 0x20, dib.colors[2].rgbBlue = 0x30;
    BITMAPINFOHEADER mh = dib.h;
    mh.biBitCount = 1;
    const uint8_t mask[4] = {0xA0, 0, 0, 0};
    uint8_t bits[4] = {9, 9, 9, 9};
    EXPECT_FALSE(ApplyTransparentMask(0x777777, &dib.h, bits, &mh, mask)) << "colour not in the table";
    EXPECT_EQ(Bytes(bits, bits + 4), Bytes({9, 9, 9, 9}));
    EXPECT_TRUE(ApplyTransparentMask(0x302010, &dib.h, bits, &mh, mask));
    EXPECT_EQ(Bytes(bits, bits + 4), Bytes({2, 9, 2, 9})) << "set mask bits take the colour's index";
}

TEST(DibHelpers, TransparentMaskOnTrueColourImagesWritesTheColour) {
    // Two pixels per row; the mask's first pixel is set.
    struct Case { uint16_t depth; Bytes expect; const char* why; };
    const Case cases[] = {
        {24, Bytes({0x30, 0x20, 0x10, 9, 9, 9, 0, 0}), "blue, green, red of the COLORREF 0x302010"},
        {32, Bytes({0x30, 0x20, 0x10, 0, 9, 9, 9, 9}), "the same with a zero fourth byte"},
        {16, Bytes({0x86, 0x08, 9, 9, 0, 0, 0, 0}), "5-5-5: red 2, green 4, blue 6"},
    };
    for (const Case& c : cases) {
        BITMAPINFOHEADER h = {};
        h.biSize = 40, h.biWidth = 2, h.biHeight = 1, h.biPlanes = 1, h.biBitCount = c.depth;
        Bytes bits(8, 0);
        for (size_t i = 0; i < size_t(2 * c.depth / 8); i++) bits[i] = 9;
        BITMAPINFOHEADER mh = h;
        mh.biBitCount = 1;
        uint8_t mask[4] = {0x80, 0, 0, 0};
        ASSERT_TRUE(ApplyTransparentMask(0x302010, &h, bits.data(), &mh, mask)) << c.why;
        EXPECT_EQ(c.expect, bits) << c.why;
    }
}

TEST(DibHelpers, MonoReductions) {
    // An 8 x 8 1-bit image: stride 4 bytes per row.
    auto image = [](std::function<bool(uint32_t, uint32_t)> set) {
        Bytes b(8 * 4, 0);
        for (uint32_t y = 0; y < 8; y++)
            for (uint32_t x = 0; x < 8; x++)
                if (set(x, y)) b[y * 4] |= uint8_t(0x80 >> x);
        return b;
    };
    BITMAPINFOHEADER h = {};
    h.biSize = 40;
    h.biWidth = 8;
    h.biHeight = 8;
    h.biBitCount = 1;
    RGBQUAD whiteFirst[2] = {{255, 255, 255, 0}, {0, 0, 0, 0}};
    RGBQUAD blackFirst[2] = {{0, 0, 0, 0}, {255, 255, 255, 0}};

    BITMAPINFOHEADER oh;
    uint8_t* out = nullptr;
    Bytes dot = image([](uint32_t x, uint32_t y) { return x == 5 && y == 2; });
    ASSERT_EQ(MonoReduceOr(&h, dot.data(), 500, &oh, &out), kImgOk);
    EXPECT_EQ(oh.biWidth, 4);
    EXPECT_EQ(oh.biHeight, 4);
    EXPECT_EQ(out[1 * 4], 0x20) << "the lone pixel keeps its cell dark";
    EXPECT_EQ(out[0] | out[8] | out[12], 0);
    LocalFreeMem(out);

    struct Case {
        std::function<bool(uint32_t, uint32_t)> set;
        uint32_t zoom;
        double meanLevel;
        const char* why;
    } cases[] = {
        {[](uint32_t, uint32_t) { return false; }, 500, 0.0, "an empty image is level 0"},
        {[](uint32_t, uint32_t) { return true; }, 500, 4.0, "a full image is level 4"},
        {[](uint32_t, uint32_t) { return true; }, 900, 4.0, "one- and two-pixel cells of a full image are full"},
        {[](uint32_t x, uint32_t y) { return ((x + y) & 1) != 0; }, 500, 2.0, "a checkerboard is mid grey"},
        {[](uint32_t x, uint32_t y) { return ((x + y) & 1) != 0; }, 250, 2.0, "also in 4 x 4 cells"},
    };
    for (const auto& c : cases) {
        Bytes src = image(c.set);
        RGBQUAD greys[5];
        ASSERT_EQ(MonoReduceGrey(&h, whiteFirst, src.data(), c.zoom, &oh, greys, &out), kImgOk) << c.why;
        double sum = 0;
        const size_t stride = (size_t(oh.biWidth) + 3) & ~size_t(3);
        for (int32_t y = 0; y < oh.biHeight; y++)
            for (int32_t x = 0; x < oh.biWidth; x++) sum += out[y * stride + x];
        EXPECT_NEAR(sum / (oh.biWidth * oh.biHeight), c.meanLevel, 0.5) << c.why;
        EXPECT_EQ(greys[0].rgbRed, 255) << "level 0 shows the first colour, white";
        LocalFreeMem(out);
    }
    RGBQUAD greys[5];
    ASSERT_EQ(MonoReduceGrey(&h, blackFirst, dot.data(), 500, &oh, greys, &out), kImgOk);
    EXPECT_EQ(greys[0].rgbRed, 0) << "a black first colour reverses the greys";
    EXPECT_EQ(greys[4].rgbRed, 255);
    LocalFreeMem(out);
    EXPECT_EQ(MonoReduceOr(&h, dot.data(), 1000, &oh, &out), kImgInvalid) << "no reduction at full size";
    h.biBitCount = 8;
    EXPECT_EQ(MonoReduceGrey(&h, whiteFirst, dot.data(), 500, &oh, greys, &out), kImgInvalid) << "1-bit only";
}
