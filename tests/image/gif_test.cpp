// gif_test.cpp - the GIF reader: colour tables, depths, interlacing, truncated
// and hostile streams.
#include <gtest/gtest.h>

#include <random>

#include "graphics/image/gif.h"
#include "graphics/image/imageload.h"
#include "image_testkit.h"
#include "session/util/mem.h"
#include "tests/testutil.h"

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

TEST(Gif, HostileAndTruncatedStreamsAreRefusedByTheirRule) {
    GifSpec s;
    s.width = 16;
    s.height = 16;
    s.globalTable = Table(16);
    Bytes px = Pixels(16, 16, 16, 3);
    const Bytes good = MakeGif(s, px);
    struct Case {
        Bytes file;
        int reason;  // the GifResult of the rule that must refuse the file
        const char* why;
    };
    GifSpec noTable = s;
    noTable.globalTable.clear();
    GifSpec wide = s;
    wide.width = 4098;
    wide.height = 1;
    GifSpec zero = s;
    zero.height = 0;
    GifSpec zeroWidth = s;
    zeroWidth.width = 0;
    GifSpec codeSize1 = s, codeSize12 = s;
    codeSize1.minCodeSize = 1;
    codeSize12.minCodeSize = 12;
    GifSpec local = s;
    local.globalTable.clear();
    local.localTable = Table(16);
    local.extension = false;
    const Bytes localFile = MakeGif(local, px);
    Bytes sig = good;
    sig[3] = '8', sig[4] = '8', sig[5] = 'b';
    Bytes badSig = good;
    badSig[5] = '!';
    const size_t extAt = 13 + 48;  // the graphic control extension after the table
    const size_t descAt = extAt + 8;
    Bytes cutInExtension(good.begin(), good.begin() + extAt + 5);
    Bytes trailerFirst(good.begin(), good.begin() + extAt);
    trailerFirst.push_back(0x3B);
    Bytes wideFile = MakeGif(wide, Bytes(4098, 1));
    const Case cases[] = {
        {good, kGifOk, "a plain file decodes"},
        {sig, kGifOk, "GIF88b passes the signature test"},
        {badSig, kGifNoSignature, "a version letter outside A..z is refused"},
        {Bytes(good.begin(), good.begin() + 12), kGifShortScreen, "a short screen descriptor is refused"},
        {Bytes(good.begin(), good.begin() + 13 + 47), kGifShortGlobalTable, "a global table cut short"},
        {MakeGif(noTable, px), kGifNoColourTable, "no colour table at all is refused"},
        {Bytes(localFile.begin(), localFile.begin() + 13 + 10 + 20), kGifShortLocalTable,
         "a local table cut short"},
        {wideFile, kGifTooWide, "4098 pixels wide is refused"},
        {MakeGif(zero, {}), kGifBadDimensions, "zero height is refused"},
        {MakeGif(zeroWidth, {}), kGifBadDimensions, "zero width is refused"},
        {MakeGif(codeSize1, px), kGifBadCodeSize, "code size 1 is refused"},
        {MakeGif(codeSize12, px), kGifBadCodeSize, "code size 12 is refused"},
        {cutInExtension, kGifShortExtension, "data ending inside an extension is refused"},
        {trailerFirst, kGifNoImage, "a trailer before any image is refused"},
        {Bytes(good.begin(), good.begin() + descAt + 5), kGifShortDescriptor, "an image descriptor cut short"},
        {Bytes(good.begin(), good.begin() + descAt + 10), kGifOk,
         "no image data at all: the image stays blank, as truncated data does"},
    };
    for (const auto& c : cases) {
        DecodedImage img;
        int rc = GifDecodeBuffer(c.file.data(), c.file.size(), &img);
        EXPECT_EQ(rc, c.reason) << c.why << ": refused by \"" << GifRule(rc).reason << "\"";
        EXPECT_EQ(img.bits == nullptr, rc != kGifOk) << c.why;
        LocalFreeMem(img.bits);
        EXPECT_EQ(DecodeBytes(kImgFormatGif, c.file), GifRule(c.reason).loaderCode) << c.why;
    }

    // Rows over the byte cap: 4097 x 65535 fits 1 GiB, so the cap is lowered.
    {
        ScopedSet<uint64_t> cap(gImageByteCap);
        gImageByteCap = 16 * 16 / 2 - 1;
        DecodedImage img;
        EXPECT_EQ(GifDecodeBuffer(good.data(), good.size(), &img), kGifTooLarge) << "one byte short of the rows";
        gImageByteCap = 16 * 16 / 2;
        EXPECT_EQ(GifDecodeBuffer(good.data(), good.size(), &img), kGifOk) << "exactly the rows";
        LocalFreeMem(img.bits);
    }

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
