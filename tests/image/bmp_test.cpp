// bmp_test.cpp - the BMP reader: header kinds, top-down rows, bit fields,
// run-length data and hostile sizes.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>

#include "graphics/image/bmp.h"
#include "graphics/image/imageload.h"
#include "image_testkit.h"
#include "session/util/mem.h"

namespace {

Bytes Le32(uint32_t v) { return {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)}; }

Bytes Cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (auto& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

Bytes Head(const Bytes& b, size_t n) { return Bytes(b.begin(), b.begin() + n); }

// A 2x2 24-bit image: rows bottom-up, each padded to 8 bytes.
const Bytes kRows24 = {1, 2, 3, 4, 5, 6, 0, 0, 7, 8, 9, 10, 11, 12, 0, 0};

}  // namespace

TEST(Bmp, HeaderKindsAndRowOrder) {
    // V4/V5 headers keep their masks at offset 40 inside the header.
    Bytes v5 = InfoHeader(2, 2, 16, BI_BITFIELDS, 0, 124);
    const Bytes masks565 = Cat({Le32(0xF800), Le32(0x07E0), Le32(0x001F)});
    std::copy(masks565.begin(), masks565.end(), v5.begin() + 40);
    Bytes v4 = InfoHeader(2, 2, 16, BI_BITFIELDS, 0, 108);
    std::copy(masks565.begin(), masks565.end(), v4.begin() + 40);
    const Bytes px16 = {0x00, 0xF8, 0xE0, 0x07, 0x1F, 0x00, 0xFF, 0xFF};
    Bytes core = {12, 0, 0, 0, 2, 0, 1, 0, 1, 0, 8, 0};
    Bytes coreTable;
    for (int i = 0; i < 256; i++) coreTable.insert(coreTable.end(), {uint8_t(i), uint8_t(i + 1), uint8_t(i + 2)});
    struct Case {
        Bytes file;
        int bitCount;
        Bytes firstBits;  // the DIB's first bytes (bottom row)
        Bytes rgb0;       // the top-left pixel as RGB
        const char* why;
    } cases[] = {
        {MakeBmp(InfoHeader(2, 2, 24, BI_RGB), {}, kRows24), 24, {1, 2, 3}, {9, 8, 7}, "bottom-up 24-bit"},
        {MakeBmp(InfoHeader(2, -2, 24, BI_RGB), {}, kRows24), 24, {7, 8, 9}, {3, 2, 1},
         "a top-down file is flipped to bottom-up"},
        {MakeBmp(InfoHeader(2, 2, 24, BI_RGB), {}, kRows24, false), 24, {1, 2, 3}, {9, 8, 7}, "a bare DIB"},
        {MakeBmp(v5, {}, px16), 16, {0x00, 0xF8}, {0, 0, 255}, "V5 header: masks from inside the header"},
        {MakeBmp(v4, {}, px16), 16, {0x00, 0xF8}, {0, 0, 255}, "V4 header: masks from inside the header"},
        {MakeBmp(InfoHeader(2, 1, 16, BI_BITFIELDS), masks565, {0x00, 0xF8, 0xE0, 0x07}), 16, {0x00, 0xF8},
         {255, 0, 0}, "40-byte header: masks after the header"},
        {MakeBmp(core, coreTable, {7, 200, 0, 0, 9, 1, 0, 0}), 8, {7, 200}, {9, 8, 7},
         "a core header's table has 3-byte entries"},
    };
    for (const auto& c : cases) {
        ASSERT_EQ(DecodeBytes(kImgFormatBmp, c.file), kImgOk) << c.why;
        const ImageDecodeState& st = gImageDecodeState;
        EXPECT_EQ(st.header.biSize, 40u) << c.why;
        EXPECT_GT(st.header.biHeight, 0) << c.why;
        EXPECT_EQ(st.header.biBitCount, c.bitCount) << c.why;
        EXPECT_TRUE(std::equal(c.firstBits.begin(), c.firstBits.end(), st.bits)) << c.why;
        Bytes rgb = StateToRgb();
        EXPECT_EQ(Bytes(rgb.begin(), rgb.begin() + 3), c.rgb0) << c.why;
    }
}

TEST(Bmp, HostileSizesAndTablesAreRefusedByTheirRule) {
    Bytes table257(257 * 4, 0);
    Bytes rle = {2, 1, 0, 1};  // a run and the end-of-bitmap mark
    const Bytes table256(1024, 0);
    struct Case {
        Bytes file;
        int reason;  // the BmpResult of the rule that must refuse the file
        const char* why;
    } cases[] = {
        {MakeBmp(InfoHeader(2, 2, 8, BI_RGB, 257), table257, Bytes(8, 0)), kBmpTooManyColours,
         "more than 256 colours for 8 bits is refused"},
        {MakeBmp(InfoHeader(2, 2, 24, BI_RGB), {}, Bytes(kRows24.begin(), kRows24.end() - 1)), kBmpShortPixels,
         "pixels short of the rows are refused"},
        {MakeBmp(InfoHeader(0, 2, 24, BI_RGB), {}, kRows24), kBmpBadDimensions, "zero width is refused"},
        {MakeBmp(InfoHeader(2, 0, 24, BI_RGB), {}, kRows24), kBmpBadDimensions, "zero height is refused"},
        {MakeBmp(InfoHeader(-2, 2, 24, BI_RGB), {}, kRows24), kBmpBadDimensions, "negative width is refused"},
        {MakeBmp(InfoHeader(2, INT32_MIN, 24, BI_RGB), {}, kRows24), kBmpBadDimensions,
         "a height that cannot be negated is refused"},
        {MakeBmp(InfoHeader(65500, 65500, 32, BI_RGB), {}, kRows24), kBmpTooLarge, "a size over the cap is refused"},
        {MakeBmp(InfoHeader(2, 2, 24, BI_RGB, 0, 64), {}, kRows24), kBmpBadHeaderSize, "a 64-byte header is refused"},
        {Head(InfoHeader(2, 2, 24, BI_RGB, 0, 108), 60), kBmpShortHeader, "a V4 header cut short is refused"},
        {Bytes{40, 0}, kBmpShortHeader, "no whole header size"},
        {MakeBmp(InfoHeader(2, 2, 7, BI_RGB), {}, kRows24), kBmpBadBitCount, "7 bits per pixel are refused"},
        {MakeBmp({12, 0, 0, 0, 2, 0, 2, 0, 1, 0, 16, 0}, {}, Bytes(8, 0)), kBmpBadBitCount,
         "a core header has no 16-bit pixels"},
        {MakeBmp(InfoHeader(2, 2, 24, BI_RLE8), {}, kRows24), kBmpBadCompression, "RLE8 needs 8 bits"},
        {MakeBmp(InfoHeader(2, 2, 24, 7), {}, kRows24), kBmpBadCompression, "an unknown compression is refused"},
        {MakeBmp(InfoHeader(2, 1, 16, BI_BITFIELDS), Bytes(8, 0), {}, false), kBmpShortMasks,
         "bit-field masks cut short are refused"},
        {MakeBmp(InfoHeader(2, -2, 8, BI_RLE8, 0, 40, 4), table256, rle), kBmpTopDownRle,
         "run-length data cannot be top-down"},
        {MakeBmp(InfoHeader(2, 2, 8, BI_RLE8, 0, 40, 4), table256, Cat({rle, Bytes(8, 0)})), kBmpRunLengthTooLong,
         "run-length data longer than the image size is refused"},
        {MakeBmp(InfoHeader(2, 2, 8, BI_RLE8, 0, 40, 4), table256, {}), kBmpNoRunLength,
         "run-length data of no bytes is refused"},
        {MakeBmp(InfoHeader(2, 2, 8, BI_RLE8, 0, 40, 4), table256, rle), kBmpOk, "short RLE data is kept"},
        {MakeBmp(InfoHeader(2, 2, 8, BI_RGB), Bytes(100, 0), {}, false), kBmpShortTable,
         "a short colour table of a bare DIB is refused"},
        {MakeBmp(InfoHeader(2, 2, 8, BI_RGB, 256), Bytes(100, 0), {}), kBmpShortTable,
         "a short colour table of a stated count is refused"},
        {Bytes{'B', 'M', 0, 0}, kBmpShortFileHeader, "a bare file header is refused"},
    };
    for (const auto& c : cases) {
        DecodedImage img;
        int rc = BmpDecodeBuffer(c.file.data(), c.file.size(), true, &img);
        EXPECT_EQ(rc, c.reason) << c.why << ": refused by \"" << BmpRule(rc).reason << "\"";
        EXPECT_EQ(img.bits == nullptr, rc != kBmpOk) << c.why;
        LocalFreeMem(img.bits);
        EXPECT_EQ(DecodeBytes(kImgFormatBmp, c.file), BmpRule(c.reason).loaderCode) << c.why;
    }
}

TEST(Bmp, PixelOffsetMustLieBehindTheHeadersAndTable) {
    // An 8-bit 2x2 image with a 4-colour table: headers end at 54, the table at 70.
    const Bytes table = {1, 2, 3, 0, 4, 5, 6, 0, 7, 8, 9, 0, 10, 11, 12, 0};
    const Bytes px = {3, 2, 0, 0, 1, 0, 0, 0};
    const Bytes good = MakeBmp(InfoHeader(2, 2, 8, BI_RGB, 4), table, px);
    struct Case {
        uint32_t offBits;
        size_t gap;  // bytes put between the table and the pixels
        int reason;
        const char* why;
    } cases[] = {
        {70, 0, kBmpOk, "pixels right after the table"},
        {74, 4, kBmpOk, "a gap after the table is skipped"},
        {0, 0, kBmpPixelsInHeaders, "an offset of 0 would show the file header"},
        {14, 0, kBmpPixelsInHeaders, "an offset at the info header"},
        {54, 0, kBmpPixelsInHeaders, "an offset at the colour table"},
        {69, 0, kBmpPixelsInHeaders, "an offset on the table's last byte"},
        {79, 0, kBmpPixelsPastEnd, "an offset past the end of the file"},
        {75, 0, kBmpShortPixels, "an offset that leaves too few pixel bytes"},
    };
    for (const auto& c : cases) {
        Bytes file(good.begin(), good.begin() + 70);
        file.insert(file.end(), c.gap, 0xEE);
        file.insert(file.end(), px.begin(), px.end());
        memcpy(&file[10], &c.offBits, 4);
        DecodedImage img;
        int rc = BmpDecodeBuffer(file.data(), file.size(), true, &img);
        EXPECT_EQ(rc, c.reason) << c.why << ": refused by \"" << BmpRule(rc).reason << "\"";
        if (rc == kBmpOk) {
            EXPECT_EQ(Bytes(img.bits, img.bits + 8), px) << c.why;
        }
        LocalFreeMem(img.bits);
    }
}

// A header without a colour count implies a full table; writers that store
// only the colours used put the pixels inside it. Those pixels decode; the
// table is the entries before them.
TEST(Bmp, AnImpliedTableEndsWhereThePixelsStart) {
    const Bytes os2 = Os2ShortTableBitmap();
    ASSERT_EQ(os2.size(), 782u + 32 * 32);
    DecodedImage img;
    ASSERT_EQ(BmpDecodeBuffer(os2.data(), os2.size(), true, &img), kBmpOk);
    EXPECT_EQ(img.header.biClrUsed, 256u);
    // Bottom-up: the file's first row is the picture's bottom row.
    EXPECT_EQ(img.bits[0], 0);
    EXPECT_EQ(img.bits[32 * 32 - 1], (32 * 32 - 1) % 252);
    EXPECT_EQ(img.colors[251].rgbBlue, 251);
    EXPECT_EQ(img.colors[251].rgbGreen, 4);
    EXPECT_EQ(img.colors[251].rgbRed, uint8_t(251 * 7));
    EXPECT_EQ(img.colors[252].rgbBlue | img.colors[252].rgbGreen | img.colors[252].rgbRed, 0);
    LocalFreeMem(img.bits);

    // The same with a 40-byte header and biClrUsed 0: two of four colours stored.
    const Bytes table = {1, 2, 3, 0, 4, 5, 6, 0};
    const Bytes px = {1, 0, 0, 0, 0, 1, 0, 0};
    const Bytes two = MakeBmp(InfoHeader(2, 2, 2 * 4, BI_RGB, 0), table, px);
    ASSERT_EQ(BmpDecodeBuffer(two.data(), two.size(), true, &img), kBmpOk);
    EXPECT_EQ(img.colors[1].rgbBlue, 4);
    LocalFreeMem(img.bits);
    // Stated, the count holds: pixels inside its table stay refused, and so
    // does an offset inside the header of an implied one.
    const Bytes stated = MakeBmp(InfoHeader(2, 2, 8, BI_RGB, 4), table, px);
    EXPECT_EQ(BmpDecodeBuffer(stated.data(), stated.size(), true, &img), kBmpPixelsInHeaders);
    Bytes inHeader = os2;
    inHeader[10] = 20;
    inHeader[11] = 0;
    EXPECT_EQ(BmpDecodeBuffer(inHeader.data(), inHeader.size(), true, &img), kBmpPixelsInHeaders);
}

TEST(Bmp, TheBitsBlockIsSizedFromTheImageNotFromBiSizeImage) {
    const uint32_t kHuge = 0x3FFFFFFF;  // just under the 1 GiB cap
    const Bytes rle = {2, 1, 0, 1};
    const Bytes table256(1024, 0);
    struct Case {
        Bytes file;
        bool lengthKnown;
        uint32_t block;  // biSizeImage of the result: the bits block's size
        const char* why;
    } cases[] = {
        {MakeBmp(InfoHeader(2, 2, 24, BI_RGB, 0, 40, kHuge), {}, kRows24), true, 16,
         "uncompressed rows: stride x height, whatever biSizeImage claims"},
        {MakeBmp(InfoHeader(2, 2, 24, BI_RGB, 0, 40, 0xFFFFFFFF), {}, kRows24), true, 16,
         "a biSizeImage beyond the cap is ignored too"},
        {MakeBmp(InfoHeader(2, 2, 24, BI_RGB, 0, 40, 0), {}, kRows24), true, 16, "biSizeImage 0"},
        {MakeBmp(InfoHeader(2, 2, 8, BI_RLE8, 0, 40, kHuge), table256, rle), true, 4,
         "run-length data: the bytes the file holds"},
        {MakeBmp(InfoHeader(2, 2, 8, BI_RLE8, 0, 40, kHuge), table256, rle), false, 4,
         "run-length data of an unsized source: the bytes there are"},
        {MakeBmp(InfoHeader(2, 2, 8, BI_RLE8, 0, 40, 10), table256, Cat({rle, Bytes(12, 0)})), false, 10,
         "an unsized source gives no more than the declared image size"},
    };
    for (const auto& c : cases) {
        DecodedImage img;
        ASSERT_EQ(BmpDecodeBuffer(c.file.data(), c.file.size(), c.lengthKnown, &img), kBmpOk) << c.why;
        EXPECT_EQ(img.header.biSizeImage, c.block) << c.why;
        LocalFreeMem(img.bits);
    }
}

TEST(Bmp, DeclaredImageSizeNeverUndercutsTheRows) {
    // biSizeImage 1 for 16 bytes of rows: the block still holds all of them.
    ASSERT_EQ(DecodeBytes(kImgFormatBmp, MakeBmp(InfoHeader(2, 2, 24, BI_RGB, 0, 40, 1), {}, kRows24)), kImgOk);
    EXPECT_EQ(gImageDecodeState.header.biSizeImage, 16u);
    EXPECT_EQ(gImageDecodeState.bits[15], 0);
    EXPECT_EQ(gImageDecodeState.bits[13], 12);
    // Colour count defaults to 1 << bits and is written back.
    ASSERT_EQ(DecodeBytes(kImgFormatBmp, MakeBmp(InfoHeader(8, 1, 1, BI_RGB), Bytes(8, 0x40), Bytes(4, 0))), kImgOk);
    EXPECT_EQ(gImageDecodeState.header.biClrUsed, 2u);
    EXPECT_EQ(gImageDecodeState.header.biClrImportant, 2u);
    EXPECT_EQ(gImageDecodeState.colors[1].rgbReserved, 0) << "the reserved byte is always 0";
}
