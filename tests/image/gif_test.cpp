// gif_test.cpp - the GIF reader: colour tables, depths, interlacing, truncated
// and hostile streams.
#include <gtest/gtest.h>

#include <random>

#include "graphics/image/imageload.h"
#include "image_testkit.h"

namespace {

Bytes Table(int entries) {
    Bytes t;
    for (int i = 0; i < entries; i++) {
        t.push_back(uint8_t(i * 3));
        t.push_back(uint8_t(255 - i));
        t.push_back(uint8_t(i ^ 0x5A));
    }
    return t;
}

Bytes Pixels(uint32_t w, uint32_t h, int colours, unsigned seed) {
    std::mt19937 rng(seed);
    Bytes p(size_t(w) * h);
    for (auto& v : p) v = uint8_t(rng() % colours);
    return p;
}

// Expected top-down RGB of index pixels through an RGB table.
Bytes Expand(const Bytes& pixels, const Bytes& table) {
    Bytes rgb;
    for (uint8_t v : pixels) rgb.insert(rgb.end(), table.begin() + v * 3, table.begin() + v * 3 + 3);
    return rgb;
}

}  // namespace

TEST(Gif, TablesDepthsAndInterlacingDecodeToTheirPixels) {
    struct Case {
        uint32_t w, h;
        int globalEntries, localEntries;
        bool interlaced;
        int bitCount;
        const char* why;
    } cases[] = {
        {13, 7, 2, 0, false, 1, "a 2-colour table gives a 1-bit DIB"},
        {13, 7, 4, 0, false, 4, "a 4-colour table gives a 4-bit DIB"},
        {33, 19, 16, 0, false, 4, "16 colours give a 4-bit DIB"},
        {33, 19, 256, 0, false, 8, "256 colours give an 8-bit DIB"},
        {33, 19, 2, 64, false, 8, "a local table replaces the global one"},
        {33, 19, 0, 16, false, 4, "a file with only a local table decodes"},
        {31, 29, 256, 0, true, 8, "interlaced rows land in display order"},
        {5, 3, 16, 0, true, 4, "a short interlaced image skips empty passes"},
        {300, 300, 256, 0, false, 8, "a large image passes table resets at 4096 codes"},
        {4097, 2, 4, 0, false, 4, "4097 pixels wide is the widest"},
    };
    for (const auto& c : cases) {
        GifSpec s;
        s.width = c.w;
        s.height = c.h;
        s.globalTable = c.globalEntries ? Table(c.globalEntries) : Bytes();
        s.localTable = c.localEntries ? Table(c.localEntries) : Bytes();
        s.interlaced = c.interlaced;
        int colours = c.localEntries ? c.localEntries : c.globalEntries;
        Bytes px = Pixels(c.w, c.h, colours, c.w * 31 + c.h);
        ASSERT_EQ(DecodeBytes(kImgFormatGif, MakeGif(s, px)), kImgOk) << c.why;
        const ImageDecodeState& st = gImageDecodeState;
        EXPECT_EQ(st.header.biBitCount, c.bitCount) << c.why;
        EXPECT_EQ(st.header.biClrUsed, 1u << c.bitCount) << c.why;
        EXPECT_EQ(StateToRgb(), Expand(px, c.localEntries ? s.localTable : s.globalTable)) << c.why;
    }
}

TEST(Gif, PixelValuesAreStoredModuloTheDibColours) {
    // Code size 3 lets a 4-colour file carry pixel 5; the 4-bit DIB keeps 5.
    GifSpec s;
    s.width = 2;
    s.globalTable = Table(4);
    s.minCodeSize = 3;
    ASSERT_EQ(DecodeBytes(kImgFormatGif, MakeGif(s, {5, 1})), kImgOk);
    EXPECT_EQ(gImageDecodeState.bits[0], 0x51);
    EXPECT_EQ(gImageDecodeState.colors[5].rgbRed, 0) << "entries beyond the file's table are black";
}

TEST(Gif, HostileAndTruncatedStreams) {
    GifSpec s;
    s.width = 16;
    s.height = 16;
    s.globalTable = Table(16);
    Bytes px = Pixels(16, 16, 16, 3);
    const Bytes good = MakeGif(s, px);
    struct Case {
        Bytes file;
        int expect;
        const char* why;
    };
    GifSpec noTable = s;
    noTable.globalTable.clear();
    GifSpec wide = s;
    wide.width = 4098;
    wide.height = 1;
    GifSpec zero = s;
    zero.height = 0;
    GifSpec codeSize1 = s, codeSize12 = s;
    codeSize1.minCodeSize = 1;
    codeSize12.minCodeSize = 12;
    Bytes sig = good;
    sig[3] = '8', sig[4] = '8', sig[5] = 'b';
    Bytes badSig = good;
    badSig[5] = '!';
    const size_t extAt = 13 + 48;  // the graphic control extension after the table
    Bytes cutInExtension(good.begin(), good.begin() + extAt + 5);
    Bytes trailerFirst(good.begin(), good.begin() + extAt);
    trailerFirst.push_back(0x3B);
    Bytes wideFile = MakeGif(wide, Bytes(4098, 1));
    const Case cases[] = {
        {good, kImgOk, "a plain file decodes"},
        {sig, kImgOk, "GIF88b passes the signature test"},
        {badSig, kImgInvalid, "a version letter outside A..z is refused"},
        {MakeGif(noTable, px), kImgInvalid, "no colour table at all is refused"},
        {wideFile, kImgInvalid, "4098 pixels wide is refused"},
        {MakeGif(zero, {}), kImgInvalid, "zero height is refused"},
        {MakeGif(codeSize1, px), kImgInvalid, "code size 1 is refused"},
        {MakeGif(codeSize12, px), kImgInvalid, "code size 12 is refused"},
        {cutInExtension, kImgInvalid, "data ending inside an extension is refused"},
        {trailerFirst, kImgInvalid, "a trailer before any image is refused"},
        {Bytes(good.begin(), good.begin() + 12), kImgInvalid, "a short screen descriptor is refused"},
    };
    for (const auto& c : cases) EXPECT_EQ(DecodeBytes(kImgFormatGif, c.file), c.expect) << c.why;

    // Data that stops half-way keeps the rows decoded so far; the rest stays 0.
    Bytes cut(good.begin(), good.begin() + good.size() * 2 / 3);
    ASSERT_EQ(DecodeBytes(kImgFormatGif, cut), kImgOk);
    Bytes rgb = StateToRgb(), expect = Expand(px, s.globalTable);
    EXPECT_TRUE(std::equal(expect.begin(), expect.begin() + 16 * 3 * 4, rgb.begin())) << "first rows decoded";
    EXPECT_EQ(gImageDecodeState.bits[0], 0) << "the last row was not reached";
}

TEST(Gif, CorruptCodesStopWithoutOverrunningTheStack) {
    // Codes far past the next free slot and long self-referencing chains.
    GifSpec s;
    s.width = 64;
    s.height = 64;
    s.globalTable = Table(256);
    Bytes file = MakeGif(s, Pixels(64, 64, 2, 9));
    std::mt19937 rng(11);
    for (int round = 0; round < 200; round++) {
        Bytes f = file;
        for (int k = 0; k < 8; k++) f[13 + 768 + 8 + 11 + rng() % (f.size() - 13 - 768 - 8 - 11)] = uint8_t(rng());
        int rc = DecodeBytes(kImgFormatGif, f);
        EXPECT_TRUE(rc == kImgOk || rc == kImgInvalid) << rc;
    }
}
