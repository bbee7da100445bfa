// png_test.cpp - the PNG reader: hostile chunk layouts, the pixel rules of each
// colour type, every row filter and Adam7 interlacing.
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>
#include <functional>
#include <random>

#include "graphics/image/imageload.h"
#include "graphics/image/png.h"
#include "image_testkit.h"
#include "session/util/mem.h"

namespace {

Bytes Rgb1x1() { return {10, 20, 30}; }

Bytes WithChunks(const Bytes& ihdr, const std::vector<std::pair<const char*, Bytes>>& chunks) {
    Bytes png = PngSignature();
    PngAddChunk(&png, "IHDR", ihdr);
    for (auto& c : chunks) PngAddChunk(&png, c.first, c.second);
    return png;
}

Bytes Idat(const Bytes& rows, uint32_t rowBytes, uint32_t height, uint32_t bpp = 3) {
    return PngIdatData(rows, rowBytes, height, bpp, 0, 6);
}

int Decode(const Bytes& png, PngImage* img, uint32_t background = kPngNoBackground) {
    memset(img, 0, sizeof *img);
    return PngDecode(png.data(), png.size(), img, nullptr, background);
}

// The zlib data of top-down pixel rows stored as Adam7 passes, each pass's
// rows filtered as PngIdatData filters them.
Bytes Adam7Data(const Bytes& rows, uint32_t w, uint32_t h, uint32_t bpp, int filter) {
    const uint8_t x0[7] = {0, 4, 0, 2, 0, 1, 0}, y0[7] = {0, 0, 4, 0, 2, 0, 1};
    const uint8_t dx[7] = {8, 8, 4, 4, 2, 2, 1}, dy[7] = {8, 8, 8, 4, 4, 2, 2};
    Bytes raw;
    for (int p = 0; p < 7; p++) {
        Bytes pass;
        uint32_t pw = 0, ph = 0;
        for (uint32_t y = y0[p]; y < h; y += dy[p], ph++) {
            pw = 0;
            for (uint32_t x = x0[p]; x < w; x += dx[p], pw++)
                pass.insert(pass.end(), rows.begin() + (size_t(y) * w + x) * bpp,
                            rows.begin() + (size_t(y) * w + x + 1) * bpp);
        }
        if (!pw || !ph) continue;
        // Reuse the filter writer: inflate its output back to filtered rows.
        Bytes z = PngIdatData(pass, pw * bpp, ph, bpp, filter, 0);
        Bytes out((size_t(pw) * bpp + 1) * ph);
        uLongf outLen = uLongf(out.size());
        uncompress(out.data(), &outLen, z.data(), uLong(z.size()));
        raw.insert(raw.end(), out.begin(), out.end());
    }
    uLongf len = compressBound(uLong(raw.size()));
    Bytes z(len);
    compress2(z.data(), &len, raw.data(), uLong(raw.size()), 6);
    z.resize(len);
    return z;
}

struct HostileCase {
    std::function<Bytes()> build;
    int expect;
    const char* why;
};

}  // namespace

TEST(Png, HostileAndMalformedFilesAreRefusedWithTheirCode) {
    const Bytes ihdr = PngIhdr(1, 1, 8, 2, 0);
    const Bytes idat = Idat(Rgb1x1(), 3, 1);
    const HostileCase cases[] = {
        {[&] { return MakePng(1, 1, 8, 2, Rgb1x1()); }, kPngOk, "a plain 1x1 RGB file decodes"},
        {[&] {
             Bytes p = WithChunks(ihdr, {{"IDAT", idat}, {"IEND", Bytes()}});
             p[33] = 0x80, p[34] = p[35] = p[36] = 0;  // IDAT length 2^31
             return p;
         }, kPngBadFormat, "a chunk length above 2^31-1 is refused"},
        {[&] {
             Bytes p = WithChunks(ihdr, {{"IDAT", idat}, {"IEND", Bytes()}});
             p[33] = p[34] = p[35] = 0xFF, p[36] = 0xF8;  // length + 12 wraps in 32 bits
             return p;
         }, kPngBadFormat, "a length that wraps around is refused"},
        {[&] { return WithChunks(PngIhdr(1, 1, 8, 3, 0), {{"PLTE", Bytes(771, 1)}, {"IDAT", Idat({0}, 1, 1, 1)}, {"IEND", Bytes()}}); },
         kPngBadFormat, "a PLTE over 768 bytes is refused"},
        {[&] { return WithChunks(PngIhdr(1, 1, 8, 3, 0), {{"PLTE", Bytes(10, 1)}, {"IDAT", Idat({0}, 1, 1, 1)}, {"IEND", Bytes()}}); },
         kPngBadFormat, "a PLTE that is not a multiple of 3 is refused"},
        {[&] { return WithChunks(ihdr, {{"bKGD", {0, 1, 0, 2}}, {"IDAT", idat}, {"IEND", Bytes()}}); },
         kPngBadFormat, "a short bKGD of an RGB image is refused"},
        {[&] {
             Bytes p = WithChunks(ihdr, {{"zzZz", {1, 2, 3}}, {"IDAT", idat}, {"IEND", Bytes()}});
             p[33 + 8] ^= 1;  // one byte of the unknown chunk
             return p;
         }, kPngBadCrc, "a corrupted byte in an unknown chunk fails its CRC"},
        {[&] { return WithChunks(ihdr, {{"IDAT", idat}}); }, kPngBadFormat, "a file without IEND is refused"},
        {[&] { return WithChunks(ihdr, {{"IEND", Bytes()}}); }, kPngBadFormat, "a file without IDAT is refused"},
        {[&] { return WithChunks(PngIhdr(1, 1, 1, 0, 1), {{"IDAT", Idat({0}, 1, 1, 1)}, {"IEND", Bytes()}}); },
         kPngBadFormat, "an interlaced 1-bit image is refused"},
        {[&] { return WithChunks(PngIhdr(4, 1, 2, 3, 0), {{"PLTE", Bytes(9, 7)}, {"IDAT", Idat({0x1B}, 1, 1, 1)}, {"IEND", Bytes()}}); },
         kPngBadFormat, "a 2-bit palette image needs 4 PLTE entries"},
        {[&] { return WithChunks(PngIhdr(4, 1, 2, 3, 0), {{"PLTE", Bytes(12, 7)}, {"IDAT", Idat({0x1B}, 1, 1, 1)}, {"IEND", Bytes()}}); },
         kPngOk, "with 4 entries it decodes"},
        {[&] { return WithChunks(PngIhdr(1, 1, 8, 3, 0), {{"IDAT", Idat({0}, 1, 1, 1)}, {"PLTE", Bytes(3, 1)}, {"IEND", Bytes()}}); },
         kPngBadFormat, "a palette image's IDAT before PLTE is refused"},
        {[&] { return WithChunks(PngIhdr(0, 1, 8, 2, 0), {{"IDAT", idat}, {"IEND", Bytes()}}); },
         kPngBadFormat, "zero width is refused"},
        {[&] { return WithChunks(PngIhdr(100000, 100000, 8, 6, 0), {{"IDAT", idat}, {"IEND", Bytes()}}); },
         kPngTooLarge, "a size over the ceiling is refused before any allocation"},
        {[&] { return WithChunks(PngIhdr(1, 1, 8, 5, 0), {{"IDAT", idat}, {"IEND", Bytes()}}); },
         kPngBadFormat, "colour type 5 is refused"},
        {[&] { return WithChunks(PngIhdr(1, 2, 8, 2, 0), {{"IDAT", idat}, {"IEND", Bytes()}}); },
         kPngBadFormat, "image data short of the rows is refused"},
        {[&] { return WithChunks(ihdr, {{"IDAT", {0x78, 0x9C, 0xFF, 0xFF}}, {"IEND", Bytes()}}); },
         kPngBadData, "data that does not inflate gives 1"},
        {[&] {
             Bytes z = Idat(Rgb1x1(), 3, 1);
             return WithChunks(ihdr, {{"IDAT", Bytes(z.begin(), z.begin() + 4)}, {"IEND", Bytes()}});
         }, kPngBadData, "a stream cut before its end gives 1"},
        {[&] { Bytes p = MakePng(1, 1, 8, 2, Rgb1x1()); p[0] = 0x88; return p; }, kPngNoSignature,
         "a wrong signature gives 4"},
        {[&] { return Bytes(PngSignature()); }, kPngBadFormat, "a bare signature is refused"},
        {[&] { return WithChunks(PngIhdr(1, 1, 8, 2, 0), {{"IHDR", PngIhdr(1, 1, 8, 2, 0)}, {"IDAT", idat}, {"IEND", Bytes()}}); },
         kPngBadFormat, "a second IHDR is refused"},
    };
    for (const auto& c : cases) {
        PngImage img;
        Bytes png = c.build();
        int rc = Decode(png, &img);
        EXPECT_EQ(rc, c.expect) << c.why;
        if (rc == kPngOk) LocalFreeMem(img.bits);
        // The loader reports every decoder failure as -3, the ceiling as -6.
        EXPECT_EQ(DecodeBytes(kImgFormatPng, png), PngRule(rc).loaderCode) << c.why;
        EXPECT_EQ(PngRule(rc).loaderCode, rc == kPngOk ? kImgOk : rc == kPngTooLarge ? kImgNoMemory : kImgInvalid)
            << c.why;
    }
    PngImage img;
    EXPECT_EQ(PngDecode(nullptr, 5, &img, nullptr, 0), kPngBadArgument);
    const uint8_t one = 0x89;
    EXPECT_EQ(PngDecode(&one, 0, &img, nullptr, 0), kPngBadArgument);
}

TEST(Png, ExtraImageDataIsNeverInflatedPastTheRows) {
    // Three rows of data for a one-row image: the block holds one row and the
    // rest is ignored (ASan would catch a write past it).
    Bytes rows = {1, 2, 3, 4, 5, 6, 7, 8, 9};
    Bytes png = WithChunks(PngIhdr(1, 1, 8, 2, 0), {{"IDAT", Idat(rows, 3, 3)}, {"IEND", Bytes()}});
    PngImage img;
    ASSERT_EQ(Decode(png, &img), kPngOk);
    EXPECT_EQ(img.bits[0], 3);
    EXPECT_EQ(img.bits[2], 1);
    LocalFreeMem(img.bits);
}

struct PixelCase {
    uint32_t width;
    uint8_t depth, colorType;
    Bytes rows, plte, trns, bkgd;
    uint32_t background;
    int bitCount;
    Bytes expect;  // first DIB row bytes
    const char* why;
};

TEST(Png, PixelRulesOfEachColourType) {
    const PixelCase cases[] = {
        {4, 2, 0, {0x1B}, {}, {}, {}, kPngNoBackground, 4, {0x01, 0x23}, "2-bit grey becomes nibbles 0 1 2 3"},
        {2, 16, 0, {0x12, 0x34, 0xAB, 0xCD}, {}, {}, {}, kPngNoBackground, 8, {0x12, 0xAB}, "16-bit grey keeps the high byte"},
        {1, 8, 6, {255, 0, 0, 128}, {}, {}, {}, kPngNoBackground, 32, {127, 127, 255, 0},
         "red at alpha 128 over white gives 255 127 127 and a 0 fourth byte"},
        {2, 8, 6, {1, 2, 3, 255, 1, 2, 3, 0}, {}, {}, {}, 0x00332211, 32, {3, 2, 1, 255, 0x33, 0x22, 0x11, 0},
         "opaque keeps the colour with 255, transparent writes the background with 0"},
        {1, 8, 4, {200, 0}, {}, {}, {}, 0x000000FF, 32, {0, 0, 255, 0}, "grey+alpha 0 shows the caller's red"},
        {2, 8, 2, {9, 8, 7, 1, 2, 3}, {}, {0, 1, 0, 2, 0, 3}, {}, 0x00445566, 24, {7, 8, 9, 0x44, 0x55, 0x66},
         "the tRNS key colour becomes the background"},
        {1, 16, 2, {0x01, 0x02, 0x03, 0x04, 0x05, 0x06}, {}, {0x01, 0x02, 0x03, 0x04, 0x05, 0x07}, {}, 0x00445566, 24,
         {0x05, 0x03, 0x01}, "16-bit samples are compared with the key whole"},
        {1, 8, 2, {1, 2, 3}, {}, {0, 1, 0, 2, 0, 3}, {0, 0x10, 0, 0x20, 0, 0x30}, 0x00445566, 24, {0x30, 0x20, 0x10},
         "bKGD wins over an unforced caller colour"},
        {1, 8, 2, {1, 2, 3}, {}, {0, 1, 0, 2, 0, 3}, {0, 0x10, 0, 0x20, 0, 0x30}, 0x01445566, 24, {0x44, 0x55, 0x66},
         "a forced caller colour wins over bKGD"},
        {1, 16, 6, {0, 0, 0, 0, 0, 0, 0, 0}, {}, {}, {0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC}, kPngNoBackground, 32,
         {0x9A, 0x56, 0x12, 0}, "a 16-bit bKGD gives its high bytes"},
        {1, 8, 3, {1}, {1, 2, 3, 4, 5, 6}, {0, 0}, {}, kPngNoBackground, 8, {1},
         "a palette image keeps its index whatever tRNS says"},
        {1, 8, 2, {1, 2, 3}, {}, {}, {}, kPngNoBackground, 24, {3, 2, 1}, "RGB becomes blue, green, red"},
        {9, 8, 6,
         {10, 20, 30, 255, 40, 50, 60, 255, 70, 80, 90, 255, 1, 2, 3, 255, 4, 5, 6, 255, 7, 8, 9, 255, 255, 0, 0, 128,
          11, 12, 13, 255, 14, 15, 16, 255},
         {}, {}, {}, kPngNoBackground, 32,
         {30, 20, 10, 255, 60, 50, 40, 255, 90, 80, 70, 255, 3, 2, 1, 255, 6, 5, 4, 255, 9, 8, 7, 255, 127, 127, 255, 0,
          13, 12, 11, 255, 16, 15, 14, 255},
         "opaque RGBA four at a time; a group with a translucent pixel blended one by one; the last pixel alone"},
        {5, 8, 6, {1, 2, 3, 0, 4, 5, 6, 255, 7, 8, 9, 255, 10, 11, 12, 255, 13, 14, 15, 255}, {}, {}, {}, 0x00332211, 32,
         {0x33, 0x22, 0x11, 0, 6, 5, 4, 255, 9, 8, 7, 255, 12, 11, 10, 255, 15, 14, 13, 255},
         "a transparent first pixel: its group by the pixel rules"},
    };
    for (const auto& c : cases) {
        static const int kChannels[7] = {1, 0, 3, 1, 2, 0, 4};
        uint32_t bits = c.depth * kChannels[c.colorType];
        uint32_t rowBytes = (c.width * bits + 7) / 8;
        std::vector<std::pair<const char*, Bytes>> chunks;
        if (!c.plte.empty()) chunks.push_back({"PLTE", c.plte});
        if (!c.trns.empty()) chunks.push_back({"tRNS", c.trns});
        if (!c.bkgd.empty()) chunks.push_back({"bKGD", c.bkgd});
        chunks.push_back({"IDAT", Idat(c.rows, rowBytes, 1, bits < 8 ? 1 : bits / 8)});
        chunks.push_back({"IEND", Bytes()});
        Bytes png = WithChunks(PngIhdr(c.width, 1, c.depth, c.colorType, 0), chunks);
        PngImage img;
        ASSERT_EQ(Decode(png, &img, c.background), kPngOk) << c.why;
        EXPECT_EQ(img.header.biBitCount, c.bitCount) << c.why;
        Bytes got(img.bits, img.bits + c.expect.size());
        EXPECT_EQ(got, c.expect) << c.why;
        LocalFreeMem(img.bits);
    }
}

TEST(Png, GreyTablesSpreadTheLevelsEvenly) {
    struct { uint8_t depth; int bitCount; Bytes levels; } cases[] = {
        {1, 1, {0x00, 0xFF}},
        {2, 4, {0x00, 0x55, 0xAA, 0xFF}},
        {4, 4, {0x00, 0x11, 0x22, 0x33}},
        {8, 8, {0x00, 0x01, 0x02, 0x03}},
    };
    for (const auto& c : cases) {
        Bytes png = MakePng(8, 1, c.depth, 0, Bytes(8, 0));
        ASSERT_EQ(DecodeBytes(kImgFormatPng, png), kImgOk);
        const ImageDecodeState& st = gImageDecodeState;
        EXPECT_EQ(st.header.biBitCount, c.bitCount) << int(c.depth);
        for (size_t i = 0; i < c.levels.size(); i++) {
            EXPECT_EQ(st.colors[i].rgbRed, c.levels[i]) << "depth " << int(c.depth) << " level " << i;
            EXPECT_EQ(st.colors[i].rgbBlue, c.levels[i]);
        }
    }
}

TEST(Png, EveryFilterAndAdam7RestoreTheRows) {
    std::mt19937 rng(7);
    const uint32_t w = 37, h = 23;
    struct { uint8_t colorType, depth; uint32_t bpp; } kinds[] = {{2, 8, 3}, {6, 8, 4}, {0, 8, 1}, {2, 16, 6}};
    for (const auto& k : kinds) {
        Bytes rows(size_t(w) * h * k.bpp);
        for (auto& b : rows) b = uint8_t(rng() % 7 == 0 ? rng() : 0x80 + (rng() & 3));
        if (k.colorType == 6)
            for (size_t i = 3; i < rows.size(); i += 4) rows[i] = 255;  // opaque: no blending
        Bytes expectRgb;
        for (int filter = -1; filter <= 5; filter++) {
            Bytes png = MakePng(w, h, k.depth, k.colorType, rows, {}, filter);
            if (filter == 5) {
                // Filter type 5 is unknown: the stored bytes are taken as they are.
                Bytes raw;
                for (uint32_t y = 0; y < h; y++) {
                    raw.push_back(5);
                    raw.insert(raw.end(), rows.begin() + y * w * k.bpp, rows.begin() + (y + 1) * w * k.bpp);
                }
                uLongf len = compressBound(uLong(raw.size()));
                Bytes z(len);
                compress2(z.data(), &len, raw.data(), uLong(raw.size()), 6);
                z.resize(len);
                png = WithChunks(PngIhdr(w, h, k.depth, k.colorType, 0), {{"IDAT", z}, {"IEND", Bytes()}});
            }
            ASSERT_EQ(DecodeBytes(kImgFormatPng, png), kImgOk) << "filter " << filter;
            Bytes rgb = StateToRgb();
            if (expectRgb.empty()) expectRgb = rgb;
            EXPECT_EQ(rgb, expectRgb) << "colour type " << int(k.colorType) << " filter " << filter;
        }
        // The same pixels stored as Adam7 passes, each row with its own filter.
        const Bytes z = Adam7Data(rows, w, h, k.bpp, -1);
        Bytes png = WithChunks(PngIhdr(w, h, k.depth, k.colorType, 1), {{"IDAT", Bytes(z.begin(), z.begin() + 10)},
                                                                      {"IDAT", Bytes(z.begin() + 10, z.end())},
                                                                      {"IEND", Bytes()}});
        ASSERT_EQ(DecodeBytes(kImgFormatPng, png), kImgOk) << "Adam7 colour type " << int(k.colorType);
        EXPECT_EQ(StateToRgb(), expectRgb) << "Adam7 colour type " << int(k.colorType);
    }
}

namespace {

constexpr uint8_t kSub = 1, kUp = 2, kAverage = 3, kPaeth = 4;

struct UnfilterCase {
    size_t bpp;
    size_t pixels;
    const char* why;
};

}  // namespace

// The vector paths against the byte loops, byte for byte: every filter (and an
// unknown one) at every filter distance, on widths that end a vector step
// early, on rows of extreme bytes where Paeth's ties and Average's carries
// show, and on a first row (zeros above).
TEST(Png, UnfilterRowMatchesThePortableLoopsByteForByte) {
    const UnfilterCase cases[] = {
        {1, 37, "grey and palette: the byte loops only"},
        {2, 19, "16-bit grey or 8-bit grey with alpha"},
        {3, 1, "one RGB pixel: the first pixel alone"},
        {3, 2, "two RGB pixels"},
        {3, 37, "odd RGB width"},
        {3, 640, "a long RGB row"},
        {4, 1, "one RGBA pixel"},
        {4, 37, "odd RGBA width"},
        {4, 641, "a long RGBA row"},
        {6, 13, "16-bit RGB"},
        {8, 11, "16-bit RGBA"},
    };
    std::mt19937 rng(11);
    for (const auto& c : cases) {
        const size_t n = c.bpp * c.pixels;
        for (int content = 0; content < 3; content++) {
            Bytes row(n), prev(n);
            for (size_t i = 0; i < n; i++) {
                // Random bytes, bytes near 0 and 255 only (ties and carries),
                // and a zero row above as for the first row.
                row[i] = content == 1 ? uint8_t(rng() % 2 ? 255 - rng() % 3 : rng() % 3) : uint8_t(rng());
                prev[i] = content == 2 ? 0 : content == 1 ? uint8_t(rng() % 2 ? 255 - rng() % 3 : rng() % 3) : uint8_t(rng());
            }
            for (uint8_t filter = 0; filter <= 5; filter++) {
                Bytes fast = row, slow = row;
                PngUnfilterRow(filter, fast.data(), prev.data(), n, c.bpp);
                PngUnfilterPortable(filter, slow.data(), prev.data(), n, c.bpp);
                EXPECT_EQ(fast, slow) << c.why << ", filter " << int(filter) << ", content " << content;
            }
        }
    }
}

// Two rows undone together against the byte loops undoing the upper row, then
// the lower one from it: every width where the lower row's lag, the vector
// step or the tail could go wrong, both filters, and a pair refused (nothing
// touched) when its filters differ or have no pair path.
TEST(Png, UnfilterPairMatchesTwoRowsOneByOne) {
    const UnfilterCase cases[] = {
        {3, 1, "one RGB pixel: no vector step at all"},
        {3, 2, "two RGB pixels: one vector step, the lower row all tail"},
        {3, 3, "three RGB pixels"},
        {3, 37, "odd RGB width"},
        {3, 640, "a long RGB row"},
        {4, 1, "one RGBA pixel: one step, the lower row all tail"},
        {4, 2, "two RGBA pixels"},
        {4, 37, "odd RGBA width"},
        {4, 641, "a long RGBA row"},
    };
    std::mt19937 rng(12);
    for (const auto& c : cases) {
        const size_t n = c.bpp * c.pixels;
        for (int content = 0; content < 3; content++) {
            Bytes upper(n), lower(n), prev(n);
            auto byte = [&] { return content == 1 ? uint8_t(rng() % 2 ? 255 - rng() % 3 : rng() % 3) : uint8_t(rng()); };
            for (size_t i = 0; i < n; i++) {
                upper[i] = byte();
                lower[i] = byte();
                prev[i] = content == 2 ? 0 : byte();
            }
            for (uint8_t filter : {kPaeth, kAverage}) {
                Bytes fastUp = upper, fastLow = lower, slowUp = upper, slowLow = lower;
                ASSERT_TRUE(PngUnfilterPair(filter, filter, fastUp.data(), fastLow.data(), prev.data(), n, c.bpp))
                    << c.why;
                PngUnfilterPortable(filter, slowUp.data(), prev.data(), n, c.bpp);
                PngUnfilterPortable(filter, slowLow.data(), slowUp.data(), n, c.bpp);
                EXPECT_EQ(slowUp, fastUp) << c.why << ", upper row, filter " << int(filter) << ", content " << content;
                EXPECT_EQ(slowLow, fastLow) << c.why << ", lower row, filter " << int(filter) << ", content " << content;
            }
        }
    }
    struct Refused {
        uint8_t upper, lower;
        size_t bpp;
        const char* why;
    } refused[] = {
        {kPaeth, kAverage, 3, "different filters"},
        {kSub, kSub, 3, "Sub has no pair path"},
        {kUp, kUp, 4, "Up has no pair path"},
        {kPaeth, kPaeth, 1, "one-byte pixels"},
        {kPaeth, kPaeth, 6, "16-bit RGB"},
    };
    for (const auto& r : refused) {
        Bytes up(24, 7), low(24, 9), prev(24, 5);
        EXPECT_FALSE(PngUnfilterPair(r.upper, r.lower, up.data(), low.data(), prev.data(), 24, r.bpp)) << r.why;
        EXPECT_EQ(Bytes(24, 7), up) << r.why;
        EXPECT_EQ(Bytes(24, 9), low) << r.why;
    }
}

// Groups of three and four rows undone together against the byte loops
// undoing them one by one, each from the row above: widths where the rows'
// lags, the start and end of the staggered loop or the tail could go wrong,
// both filters, rows laid a filter byte apart as in the decoder (that byte
// left alone), and groups refused (nothing touched) without a group path.
TEST(Png, UnfilterGroupMatchesItsRowsOneByOne) {
    const UnfilterCase cases[] = {
        {3, 1, "one RGB pixel: no vector step at all"},
        {3, 2, "two RGB pixels: one vector step"},
        {3, 4, "four RGB pixels: the rows never all run at once"},
        {3, 5, "five RGB pixels: one step with every row running"},
        {3, 37, "odd RGB width"},
        {3, 640, "a long RGB row"},
        {4, 1, "one RGBA pixel"},
        {4, 3, "three RGBA pixels"},
        {4, 5, "five RGBA pixels"},
        {4, 641, "a long RGBA row"},
    };
    constexpr uint8_t kGapByte = 0xA5;
    std::mt19937 rng(13);
    for (const auto& c : cases) {
        const size_t n = c.bpp * c.pixels, stride = n + 1;
        for (size_t count : {size_t(3), size_t(4)}) {
            for (int content = 0; content < 3; content++) {
                auto byte = [&] { return content == 1 ? uint8_t(rng() % 2 ? 255 - rng() % 3 : rng() % 3) : uint8_t(rng()); };
                Bytes rows(count * stride, kGapByte), prev(n);
                for (size_t k = 0; k < count; k++)
                    for (size_t i = 0; i < n; i++) rows[k * stride + i] = byte();
                for (size_t i = 0; i < n; i++) prev[i] = content == 2 ? 0 : byte();
                for (uint8_t filter : {kPaeth, kAverage}) {
                    Bytes fast = rows, slow = rows;
                    ASSERT_TRUE(PngUnfilterGroup(filter, fast.data(), count, stride, prev.data(), n, c.bpp)) << c.why;
                    for (size_t k = 0; k < count; k++)
                        PngUnfilterPortable(filter, slow.data() + k * stride,
                                            k ? slow.data() + (k - 1) * stride : prev.data(), n, c.bpp);
                    EXPECT_EQ(slow, fast) << c.why << ", " << count << " rows, filter " << int(filter) << ", content "
                                          << content;
                }
                // Four rows of mixed filters, unknown type 5 among them (left as stored).
                for (int mix = 0; count == 4 && mix < 12; mix++) {
                    uint8_t filters[4];
                    for (auto& f : filters) f = uint8_t(rng() % 6);
                    Bytes fast = rows, slow = rows;
                    ASSERT_TRUE(PngUnfilterMixedGroup(filters, fast.data(), stride, prev.data(), n, c.bpp)) << c.why;
                    for (size_t k = 0; k < count; k++)
                        PngUnfilterPortable(filters[k], slow.data() + k * stride,
                                            k ? slow.data() + (k - 1) * stride : prev.data(), n, c.bpp);
                    EXPECT_EQ(slow, fast) << c.why << ", filters " << int(filters[0]) << int(filters[1])
                                          << int(filters[2]) << int(filters[3]) << ", content " << content;
                }
            }
        }
    }
    struct Refused {
        uint8_t filter;
        size_t rows, bpp;
        const char* why;
    } refused[] = {
        {kSub, 4, 3, "Sub has no group path"},
        {kUp, 4, 4, "Up has no group path"},
        {kPaeth, 4, 1, "one-byte pixels"},
        {kAverage, 4, 6, "16-bit RGB"},
        {kPaeth, 2, 3, "two rows: the pair path's"},
        {kPaeth, 5, 3, "more rows than a group"},
    };
    for (const auto& r : refused) {
        Bytes rows(5 * 25, 7), prev(24, 5);
        EXPECT_FALSE(PngUnfilterGroup(r.filter, rows.data(), r.rows, 25, prev.data(), 24, r.bpp)) << r.why;
        EXPECT_EQ(Bytes(5 * 25, 7), rows) << r.why;
    }
    const uint8_t mixed[4] = {kPaeth, kSub, kUp, kAverage};
    Bytes rows(5 * 25, 7), prev(24, 5);
    EXPECT_FALSE(PngUnfilterMixedGroup(mixed, rows.data(), 25, prev.data(), 24, 1)) << "one-byte pixels";
    EXPECT_EQ(Bytes(5 * 25, 7), rows);
}

// The group path works Paeth's predictor out in bytes from the smaller and
// larger of left and upper, and the one-row path from ranges of the left
// value, where ties are easy to get wrong: every left, upper and upper-left
// value against the encoder's rule. Row 0 of each group holds pixel pairs
// whose first pixel decodes to the left value and whose second stores 0, so
// that it decodes to the predictor itself; the one-row path undoes row 0 alone.
TEST(Png, VectorPaethMatchesTheRuleOnEverySampleTriple) {
    constexpr size_t kBpp = 4, kRows = 4, kPairs = 256 * 256 / kBpp;
    const size_t n = 2 * kPairs * kBpp, stride = n + 1;
    Bytes rows(kRows * stride), prev(n), expect(n);
    size_t wrong = 0, wrongAlone = 0;
    for (int upLeft = 0; upLeft < 256; upLeft++) {
        for (size_t i = 0; i < n; i++) {
            const size_t pair = i / (2 * kBpp), lane = i % kBpp, combo = pair * kBpp + lane;
            const bool second = i % (2 * kBpp) >= kBpp;
            // The first pixel's upper (the second's upper-left) is upLeft,
            // the second's upper the combination's b, its left the a.
            const int a = int(combo >> 8), b = int(combo & 0xFF);
            prev[i] = uint8_t(second ? b : upLeft);
            const int pixelLeft = i >= kBpp ? int(expect[i - kBpp]) : 0;
            const int pixelUpLeft = i >= kBpp ? int(prev[i - kBpp]) : 0;
            const int pred = Paeth(pixelLeft, prev[i], pixelUpLeft);
            expect[i] = uint8_t(second ? pred : a);
            rows[i] = uint8_t(expect[i] - pred);
        }
        for (size_t k = 1; k < kRows; k++)
            for (size_t i = 0; i < n; i++) rows[k * stride + i] = uint8_t(i * 7 + k + upLeft);
        Bytes alone(rows.begin(), rows.begin() + n);
        ASSERT_TRUE(PngUnfilterGroup(kPaeth, rows.data(), kRows, stride, prev.data(), n, kBpp));
        PngUnfilterRow(kPaeth, alone.data(), prev.data(), n, kBpp);
        for (size_t i = 0; i < n; i++) wrong += rows[i] != expect[i], wrongAlone += alone[i] != expect[i];
    }
    EXPECT_EQ(wrong, 0u) << "a group";
    EXPECT_EQ(wrongAlone, 0u) << "one row";
}

// Images tall enough to be inflated in several steps, whose rows wait across
// a step for the rows below them: every row and the zeroed row padding come
// out as in a one-step decode of the same pixels.
TEST(Png, RowsSpanningInflateStepsDecodeAlike) {
    struct StepCase {
        uint8_t colorType;
        uint32_t bpp;
        int filter;
        const char* why;
    } cases[] = {
        {2, 3, kPaeth, "RGB, all Paeth"},
        {2, 3, kAverage, "RGB, all Average"},
        {2, 3, -1, "RGB, filters cycling"},
        {6, 4, kPaeth, "RGBA, all Paeth"},
        {6, 4, -1, "RGBA, filters cycling"},
    };
    const uint32_t w = 151, h = 1201;  // rows of 3 or 4 x 151 + 1 bytes: more than one step
    std::mt19937 rng(17);
    for (const auto& c : cases) {
        Bytes rows(size_t(w) * h * c.bpp);
        for (size_t i = 0; i < rows.size(); i++) rows[i] = uint8_t(i / c.bpp % 97 * 2 + rng() % 5);
        if (c.colorType == 6)
            for (size_t i = 3; i < rows.size(); i += 4) rows[i] = 255;  // opaque: the pixels as stored
        Bytes expect;
        for (size_t i = 0; i < rows.size(); i += c.bpp) expect.insert(expect.end(), &rows[i], &rows[i] + 3);
        // One compressed stream serves the whole file and the one cut short.
        const Bytes z = PngIdatData(rows, w * c.bpp, h, c.bpp, c.filter, 6);
        const Bytes ihdr = PngIhdr(w, h, 8, c.colorType, 0);
        ASSERT_EQ(DecodeBytes(kImgFormatPng, WithChunks(ihdr, {{"IDAT", z}, {"IEND", Bytes()}})), kImgOk) << c.why;
        EXPECT_EQ(StateToRgb(), expect) << c.why;
        const BITMAPINFOHEADER& bh = gImageDecodeState.header;
        const size_t used = size_t(w) * bh.biBitCount / 8, stride = (used + 3) / 4 * 4;
        size_t nonZeroPadding = 0;
        for (uint32_t y = 0; y < h; y++)
            for (size_t i = used; i < stride; i++) nonZeroPadding += gImageDecodeState.bits[y * stride + i] != 0;
        EXPECT_EQ(nonZeroPadding, 0u) << c.why;
        // The same data cut short in the middle of a later step is refused.
        const Bytes cut = WithChunks(ihdr, {{"IDAT", Bytes(z.begin(), z.begin() + z.size() * 3 / 4)}, {"IEND", Bytes()}});
        EXPECT_EQ(DecodeBytes(kImgFormatPng, cut), kImgInvalid) << c.why << ", cut short";
    }
    // Adam7 passes pass through the same window: a picture whose passes
    // fill it several times over, each pass's first row undone against zeros.
    const uint32_t aw = 1000, ah = 1500;
    Bytes rows(size_t(aw) * ah * 3);
    for (size_t i = 0; i < rows.size(); i++) rows[i] = uint8_t(i / 3 % 89 * 2 + rng() % 5);
    const Bytes z = Adam7Data(rows, aw, ah, 3, -1);
    const Bytes ihdr = PngIhdr(aw, ah, 8, 2, 1);
    ASSERT_EQ(DecodeBytes(kImgFormatPng, WithChunks(ihdr, {{"IDAT", z}, {"IEND", Bytes()}})), kImgOk);
    EXPECT_EQ(StateToRgb(), rows) << "Adam7 through the window";
    const Bytes cut = WithChunks(ihdr, {{"IDAT", Bytes(z.begin(), z.begin() + z.size() * 3 / 4)}, {"IEND", Bytes()}});
    EXPECT_EQ(DecodeBytes(kImgFormatPng, cut), kImgInvalid) << "Adam7 cut short";
}

// RGB rows turned into BGR five pixels a store: on widths around the store's
// reach every pixel comes out as stored and the row padding stays zero (a
// store past a row's pixels would write into the row after it in memory).
TEST(Png, RgbRowsOfEveryWidthAroundTheVectorStepComeOutAsStored) {
    struct WidthCase {
        uint32_t width;
        const char* why;
    } cases[] = {
        {1, "one pixel: the byte loop alone"},
        {5, "one group's pixels, short of a whole load"},
        {6, "one load, one pixel after it"},
        {7, "one load, two pixels after it"},
        {11, "two loads and one pixel"},
        {16, "three loads and one pixel"},
        {37, "odd width"},
    };
    std::mt19937 rng(19);
    for (const auto& c : cases) {
        const uint32_t h = 3;
        Bytes rows(size_t(c.width) * h * 3);
        for (auto& b : rows) b = uint8_t(rng());
        ASSERT_EQ(DecodeBytes(kImgFormatPng, MakePng(c.width, h, 8, 2, rows, {}, 0)), kImgOk) << c.why;
        EXPECT_EQ(StateToRgb(), rows) << c.why;
        const size_t used = size_t(c.width) * 3, stride = (used + 3) / 4 * 4;
        for (uint32_t y = 0; y < h; y++)
            for (size_t i = used; i < stride; i++) EXPECT_EQ(gImageDecodeState.bits[y * stride + i], 0) << c.why;
    }
}

// Paeth's predictor takes the left byte (a), then the upper (b), then the
// upper-left (c) when their distances to a + b - c tie; a pixel-wide vector
// path must keep that order on every sample.
TEST(Png, PaethTiesKeepTheirOrderOnEverySample) {
    struct TieCase {
        uint8_t left, up, upLeft, expect;
        const char* why;
    } cases[] = {
        {10, 10, 10, 10, "all three equal: a"},
        {80, 110, 100, 80, "a and c tie at 10, b at 20: a"},
        {110, 80, 100, 80, "b and c tie at 10, a at 20: b"},
        {60, 60, 100, 60, "a and b tie (a = b), c farther: a"},
        {100, 200, 150, 150, "a and b tie at 50, c exact: c"},
        {255, 0, 128, 128, "p = 127: c at 1 beats b at 127"},
        {0, 255, 255, 0, "p = a: a"},
    };
    for (const auto& t : cases) {
        for (size_t bpp : {size_t(3), size_t(4)}) {
            // Pixel 0 (no left neighbour: predicted by the upper byte) becomes
            // the left neighbour; pixel 1 stores 0, so it becomes the prediction.
            Bytes prev(2 * bpp), row(2 * bpp, 0);
            for (size_t s = 0; s < bpp; s++) {
                prev[s] = t.upLeft, prev[bpp + s] = t.up;
                row[s] = uint8_t(t.left - t.upLeft);
            }
            Bytes slow = row;
            PngUnfilterRow(kPaeth, row.data(), prev.data(), row.size(), bpp);
            PngUnfilterPortable(kPaeth, slow.data(), prev.data(), slow.size(), bpp);
            for (size_t s = 0; s < bpp; s++) {
                EXPECT_EQ(row[bpp + s], t.expect) << t.why << ", bpp " << bpp << ", sample " << s;
                EXPECT_EQ(slow[bpp + s], t.expect) << t.why << ", portable, bpp " << bpp;
            }
        }
    }
}

// The chunk CRC (folded 16 or 64 bytes a turn where the processor can)
// equals zlib's on every length, alignment and running value.
TEST(Png, TheChunkCrcMatchesZlib) {
    std::mt19937 rng(29);
    Bytes bytes(70000);
    for (auto& b : bytes) b = uint8_t(rng());
    for (size_t n : {0, 1, 15, 16, 17, 63, 64, 65, 80, 95, 127, 128, 129, 1000, 65536, 69990}) {
        for (size_t at : {0, 1, 7}) {
            for (uint32_t start : {0u, 1u, 0xFFFFFFFFu, 0x12345678u}) {
                const uint8_t* p = bytes.data() + at;
                EXPECT_EQ(PngCrcUpdate(start, p, n), uint32_t(crc32(start, p, uInt(n)))) << n << " at " << at;
            }
        }
    }
}

// The zlib stream's check value is worked out by the reader itself: it must
// equal zlib's on every length and split (blocks of 5552 bytes of 0xFF are
// the sums' worst case), and a stream whose value does not match is refused,
// also when the value lies across two IDAT chunks and only on a later step.
TEST(Png, TheStreamCheckValueMatchesZlibAndIsEnforced) {
    std::mt19937 rng(23);
    Bytes bytes(3 * 5552 + 64);
    for (auto& b : bytes) b = uint8_t(rng());
    const Bytes full(bytes.size(), 0xFF);
    const Bytes* const sets[] = {&bytes, &full};
    for (const Bytes* data : sets) {
        const size_t lengths[] = {0, 1, 15, 16, 17, 100, 5551, 5552, 5553, 11104, 11121, 3 * 5552 + 48};
        for (size_t n : lengths) {
            for (size_t at : {size_t(0), size_t(1), size_t(7)}) {
                const uint8_t* p = data->data() + at;
                const uint32_t expect = uint32_t(adler32(1, p, uInt(n)));
                EXPECT_EQ(PngAdlerUpdate(1, p, n), expect) << n << " at " << at;
                const size_t cut = n / 3;
                EXPECT_EQ(PngAdlerUpdate(PngAdlerUpdate(1, p, cut), p + cut, n - cut), expect) << n << " split";
            }
        }
    }
    const uint32_t w = 151, h = 1201;  // more than one inflate step
    Bytes rows(size_t(w) * h * 3);
    for (size_t i = 0; i < rows.size(); i++) rows[i] = uint8_t(i % 251 + rng() % 3);
    const Bytes z = PngIdatData(rows, w * 3, h, 3, -1, 6), ihdr = PngIhdr(w, h, 8, 2, 0);
    Bytes bad = z;
    bad.back() ^= 1;
    const auto split = [&](const Bytes& s) {
        return WithChunks(ihdr, {{"IDAT", Bytes(s.begin(), s.end() - 2)}, {"IDAT", Bytes(s.end() - 2, s.end())},
                                 {"IEND", Bytes()}});
    };
    EXPECT_EQ(DecodeBytes(kImgFormatPng, WithChunks(ihdr, {{"IDAT", z}, {"IEND", Bytes()}})), kImgOk);
    EXPECT_EQ(DecodeBytes(kImgFormatPng, WithChunks(ihdr, {{"IDAT", bad}, {"IEND", Bytes()}})), kImgInvalid);
    EXPECT_EQ(DecodeBytes(kImgFormatPng, split(z)), kImgOk) << "the value across two chunks";
    EXPECT_EQ(DecodeBytes(kImgFormatPng, split(bad)), kImgInvalid) << "a wrong value across two chunks";
    // A stream that gave every row but lacks its check value keeps its rows.
    EXPECT_EQ(DecodeBytes(kImgFormatPng, WithChunks(ihdr, {{"IDAT", Bytes(z.begin(), z.end() - 4)}, {"IEND", Bytes()}})),
              kImgOk);
    EXPECT_EQ(StateToRgb(), rows);
}
