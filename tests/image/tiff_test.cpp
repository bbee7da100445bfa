// tiff_test.cpp - the TIFF reader on files built here: every refusal rule
// with a tiny file that breaks it (the reason must be that rule's), the
// layouts it reads with their expected pixels, pages, LZW streams written bit
// by bit, and old-style JPEG pages against the JPEG reader.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <set>
#include <string>

#include "graphics/image/imageload.h"
#include "graphics/image/jpeg.h"
#include "graphics/image/pcx.h"
#include "graphics/image/tiff.h"
#include "image_testkit.h"
#include "raster_kit.h"
#include "session/util/mem.h"

namespace {

enum { kNone = 1, kMh = 2, kG4 = 4, kLzw = 5, kOldJpeg = 6, kPackBits = 32773 };
enum { kWhiteIsZero = 0, kBlackIsZero = 1, kRgb = 2, kPalette = 3 };

// A 4x2 8-bit grey picture, one strip, uncompressed.
const Bytes kGrey8 = {0, 50, 100, 150, 200, 250, 10, 20};

std::vector<TiffField> Grey8Fields() { return TiffImageFields(4, 2, 8, 1, kNone, kBlackIsZero, 2, {8}); }

Bytes Page(std::vector<TiffField> fields, Bytes data, bool be = false) { return MakeTiff({{fields, data}}, be); }

// Where the first directory's next-directory offset lies.
size_t NextLinkOf(const Bytes& f) {
    uint32_t dir = f[4] | (f[5] << 8) | (f[6] << 16) | (uint32_t(f[7]) << 24);
    uint32_t n = f[dir] | (f[dir + 1] << 8);
    return dir + 2 + size_t(n) * 12;
}

void SetLe32(Bytes* f, size_t at, uint32_t v) {
    for (int i = 0; i < 4; i++) (*f)[at + i] = uint8_t(v >> (8 * i));
}

// TIFF LZW written code by code, the width growing as the reader's does.
struct LzwWriter {
    Bytes out;
    uint32_t acc = 0, next = 258;
    int held = 0, width = 9;
    void Code(uint32_t code) {
        acc = (acc << width) | code;
        held += width;
        while (held >= 8) {
            out.push_back(uint8_t(acc >> (held - 8)));
            held -= 8;
        }
        if (code == 256) {
            next = 258;
            width = 9;
        } else if (next < 4096) {
            next++;
            if (next == 512 || next == 1024 || next == 2048) width++;
        }
    }
    Bytes Finish() {
        Code(257);
        if (held) out.push_back(uint8_t(acc << (8 - held)));
        return out;
    }
};

// An LZW strip of the given bytes as literal codes between Clear and
// EndOfInformation.
Bytes LzwLiterals(const Bytes& bytes) {
    LzwWriter w;
    w.Code(256);
    for (uint8_t b : bytes) w.Code(b);
    return w.Finish();
}

Bytes Fields3Pages() {
    std::vector<TiffPage> pages;
    for (uint8_t v : {10, 20, 30}) pages.push_back({TiffImageFields(2, 1, 8, 1, kNone, kBlackIsZero, 1, {2}), {v, v}});
    return MakeTiff(pages);
}

}  // namespace

TEST(Tiff, RefusesEachBrokenRuleWithItsReason) {
    struct Case {
        const char* name;
        std::function<Bytes()> file;
        int expect;   // the loader's code
        int reason;   // the rule that refuses
    };
    const Bytes jfif = MakeJpeg(8, 8, 1, Bytes(64, 128), 90, false);
    const Case cases[] = {
        {"RowsPerStrip 0 would divide by zero", [] {
             auto f = Grey8Fields();
             TiffSetField(&f, 278, kKitLong, {0});
             return Page(f, kGrey8);
         }, kImgInvalid, kTiffZeroRowsPerStrip},
        {"a directory that names itself as the next one", [] {
             Bytes f = Page(Grey8Fields(), kGrey8);
             SetLe32(&f, NextLinkOf(f), f[4]);
             return f;
         }, kImgInvalid, kTiffDirectoryCycle},
        {"two directories naming each other", [] {
             Bytes f = Fields3Pages();
             uint32_t first = f[4];
             uint32_t second = f[NextLinkOf(f)] | (f[NextLinkOf(f) + 1] << 8);
             Bytes g = f;
             uint32_t n = g[second] | (g[second + 1] << 8);
             SetLe32(&g, second + 2 + n * 12, first);
             return g;
         }, kImgInvalid, kTiffDirectoryCycle},
        {"fewer StripOffsets than strips", [] {
             auto f = TiffImageFields(4, 2, 8, 1, kNone, kBlackIsZero, 1, {4, 4});
             TiffSetField(&f, 273, kKitLong, {0});
             return Page(f, kGrey8);
         }, kImgInvalid, kTiffShortStripArrays},
        {"fewer StripByteCounts than strips", [] {
             auto f = TiffImageFields(4, 2, 8, 1, kLzw, kBlackIsZero, 1, {4, 4});
             TiffSetField(&f, 279, kKitLong, {4});
             return Page(f, kGrey8);
         }, kImgInvalid, kTiffShortStripArrays},
        {"uncompressed rows running past the end of the file", [] {
             Bytes f = Page(Grey8Fields(), kGrey8);
             auto fields = Grey8Fields();
             TiffSetField(&fields, 273, kKitLong, {uint32_t(f.size() - 3 - 8)});
             return Page(fields, kGrey8);
         }, kImgInvalid, kTiffStripOutside},
        {"an LZW strip whose byte count passes the end", [] {
             return Page(TiffImageFields(4, 2, 8, 1, kLzw, kBlackIsZero, 2, {100000}), kGrey8);
         }, kImgInvalid, kTiffStripOutside},
        {"a ColorMap shorter than 3 x 2^bits", [] {
             auto f = TiffImageFields(4, 2, 8, 1, kNone, kPalette, 2, {8});
             TiffSetField(&f, 320, kKitShort, std::vector<uint32_t>(3 * 16, 0));
             return Page(f, kGrey8);
         }, kImgInvalid, kTiffShortColorMap},
        {"one BitsPerSample for three samples", [] {
             auto f = TiffImageFields(1, 1, 8, 3, kNone, kRgb, 1, {3});
             TiffSetField(&f, 258, kKitShort, {8});
             return Page(f, {1, 2, 3});
         }, kImgInvalid, kTiffUnequalBits},
        {"samples of unequal sizes", [] {
             auto f = TiffImageFields(1, 1, 8, 3, kNone, kRgb, 1, {3});
             TiffSetField(&f, 258, kKitShort, {8, 8, 16});
             return Page(f, {1, 2, 3, 4});
         }, kImgInvalid, kTiffUnequalBits},
        {"sixteen-bit RGB", [] { return Page(TiffImageFields(1, 1, 16, 3, kNone, kRgb, 1, {6}), Bytes(6, 1)); },
         kImgInvalid, kTiffBadRgb},
        {"four samples", [] { return Page(TiffImageFields(1, 1, 8, 4, kNone, kRgb, 1, {4}), Bytes(4, 1)); },
         kImgInvalid, kTiffBadSamples},
        {"twelve-bit grey", [] { return Page(TiffImageFields(1, 1, 12, 1, kNone, kBlackIsZero, 1, {2}), Bytes(2, 1)); },
         kImgInvalid, kTiffBadBits},
        {"no ImageWidth", [] {
             auto f = Grey8Fields();
             TiffDropField(&f, 256);
             return Page(f, kGrey8);
         }, kImgInvalid, kTiffNoSize},
        {"ImageLength 0", [] {
             auto f = Grey8Fields();
             TiffSetField(&f, 257, kKitLong, {0});
             return Page(f, kGrey8);
         }, kImgInvalid, kTiffNoSize},
        {"no PhotometricInterpretation", [] {
             auto f = Grey8Fields();
             TiffDropField(&f, 262);
             return Page(f, kGrey8);
         }, kImgInvalid, kTiffBadPhotometric},
        {"no StripOffsets", [] {
             auto f = Grey8Fields();
             TiffDropField(&f, 273);
             return Page(f, kGrey8);
         }, kImgInvalid, kTiffNoStripOffsets},
        {"StripOffsets of a type that holds no offsets", [] {
             auto f = Grey8Fields();
             TiffSetField(&f, 273, 5, {0, 0});
             return Page(f, kGrey8);
         }, kImgInvalid, kTiffNoStripOffsets},
        {"several LZW strips without StripByteCounts", [] {
             auto f = TiffImageFields(4, 2, 8, 1, kLzw, kBlackIsZero, 1, {4, 4});
             TiffDropField(&f, 279);
             return Page(f, kGrey8);
         }, kImgInvalid, kTiffNoByteCounts},
        {"compression 7", [] { return Page(TiffImageFields(4, 2, 8, 1, 7, kBlackIsZero, 2, {8}), kGrey8); },
         kImgInvalid, kTiffBadCompression},
        {"compression 3", [] { return Page(TiffImageFields(4, 2, 1, 1, 3, kWhiteIsZero, 2, {8}), kGrey8); },
         kImgInvalid, kTiffBadCompression},
        {"PlanarConfiguration 2 with three samples", [] {
             auto f = TiffImageFields(1, 1, 8, 3, kNone, kRgb, 1, {3});
             TiffSetField(&f, 284, kKitShort, {2});
             return Page(f, {1, 2, 3});
         }, kImgInvalid, kTiffBadPlanar},
        {"FillOrder 3", [] {
             auto f = Grey8Fields();
             TiffSetField(&f, 266, kKitShort, {3});
             return Page(f, kGrey8);
         }, kImgInvalid, kTiffBadFillOrder},
        {"a picture past the ceiling", [] {
             auto f = Grey8Fields();
             TiffSetField(&f, 256, kKitLong, {0x7FFFFFFF});
             return Page(f, kGrey8);
         }, kImgNoMemory, kTiffTooLarge},
        {"Group 4 rows wider than 65535", [] {
             return Page(TiffImageFields(70000, 1, 1, 1, kG4, kWhiteIsZero, 1, {8}), kGrey8);
         }, kImgInvalid, kTiffFaxTooWide},
        {"Group 4 of eight-bit samples", [] {
             return Page(TiffImageFields(4, 2, 8, 1, kG4, kBlackIsZero, 2, {8}), kGrey8);
         }, kImgInvalid, kTiffFaxNotBilevel},
        {"modified Huffman reading past its strip", [] {
             // One row of white 8 (10011, padded), four rows asked for.
             return Page(TiffImageFields(8, 4, 1, 1, kMh, kWhiteIsZero, 4, {1}), {0x98});
         }, kImgInvalid, kTiffFaxShortData},
        {"modified Huffman run past the row", [] {
             // White 9 (10100) in a row of 8.
             return Page(TiffImageFields(8, 1, 1, 1, kMh, kWhiteIsZero, 1, {1}), {0xA0});
         }, kImgInvalid, kTiffFaxRunPastRow},
        {"Group 4 data ending early", [] {
             // Seven V0 codes for eight rows.
             return Page(TiffImageFields(8, 8, 1, 1, kG4, kWhiteIsZero, 8, {1}), {0xFE});
         }, kImgInvalid, kTiffFaxShortData},
        {"Group 4 rows that one strip's bits cannot hold", [] {
             // A bit is the least a row takes: eight bits for sixteen rows.
             return Page(TiffImageFields(8, 16, 1, 1, kG4, kWhiteIsZero, 16, {1}), {0xFF});
         }, kImgInvalid, kTiffStripsCannotFill},
        {"a Group 4 extension code", [] {
             return Page(TiffImageFields(8, 1, 1, 1, kG4, kWhiteIsZero, 1, {2}), {0x02, 0x00});
         }, kImgInvalid, kTiffFaxExtension},
        {"a PackBits run past its strip", [] {
             return Page(TiffImageFields(2, 1, 8, 1, kPackBits, kBlackIsZero, 1, {2}), {0xFD, 0x11});
         }, kImgInvalid, kTiffPackBitsOverrun},
        {"PackBits data shorter than its strip", [] {
             return Page(TiffImageFields(4, 1, 8, 1, kPackBits, kBlackIsZero, 1, {3}), {0x03, 1, 2});
         }, kImgInvalid, kTiffPackBitsShort},
        {"old-style JPEG without JPEGInterchangeFormat", [&] {
             return Page(TiffImageFields(8, 8, 8, 1, kOldJpeg, kBlackIsZero, 8, {uint32_t(jfif.size())}), jfif);
         }, kImgInvalid, kTiffJpegNoInterchange},
        {"old-style JPEG whose stream is not JFIF", [&] {
             Bytes bad = jfif;
             bad[6] = 'X';
             auto f = TiffImageFields(8, 8, 8, 1, kOldJpeg, kBlackIsZero, 8, {uint32_t(bad.size())});
             TiffSetField(&f, 513, kKitLong, {0});
             TiffSetField(&f, 514, kKitLong, {uint32_t(bad.size())});
             return Page(f, bad);
         }, kImgInvalid, kTiffJpegNotJfif},
        {"old-style JPEG whose JFIF stream stops before its frame", [&] {
             const Bytes head(jfif.begin(), jfif.begin() + 20);
             auto f = TiffImageFields(8, 8, 8, 1, kOldJpeg, kBlackIsZero, 8, {uint32_t(head.size())});
             TiffSetField(&f, 513, kKitLong, {0});
             return Page(f, head);
         }, kImgInvalid, kTiffJpegFailed},
        {"old-style JPEG interchange data past the end", [&] {
             auto f = TiffImageFields(8, 8, 8, 1, kOldJpeg, kBlackIsZero, 8, {uint32_t(jfif.size())});
             TiffSetField(&f, 513, kKitLong, {100000});
             return Page(f, jfif);
         }, kImgInvalid, kTiffJpegOutside},
        {"old-style JPEG whose joined size wraps 32 bits", [&] {
             auto f = TiffImageFields(8, 8, 8, 1, kOldJpeg, kBlackIsZero, 4, {4, 4});
             TiffSetField(&f, 513, kKitLong, {0});
             TiffSetField(&f, 514, kKitLong, {0xFFFFFFFF});
             return Page(f, jfif);
         }, kImgInvalid, kTiffJpegOutside},
        {"a directory whose entries pass the end", [] {
             Bytes f = Page(Grey8Fields(), kGrey8);
             uint32_t dir = f[4];
             f[dir] = 0xFF;
             return f;
         }, kImgInvalid, kTiffShortDirectory},
        {"ColorMap values at an offset past the end", [] {
             auto f = TiffImageFields(4, 2, 8, 1, kNone, kPalette, 2, {8});
             TiffSetField(&f, 320, kKitShort, std::vector<uint32_t>(3 * 256, 0));
             Bytes b = Page(f, kGrey8);
             b.resize(b.size() - 10);
             return b;
         }, kImgInvalid, kTiffShortDirectory},
        {"no TIFF header", [] { return Bytes{'I', 'I', 43, 0, 8, 0, 0, 0}; }, kImgInvalid, kTiffNoHeader},
        {"the first directory past the end", [] { return Bytes{'M', 'M', 0, 42, 0, 0, 1, 0}; }, kImgInvalid,
         kTiffNoHeader},
    };
    for (const Case& c : cases) {
        const Bytes file = c.file();
        DecodedImage img;
        int rc = TiffDecodeBuffer(file.data(), file.size(), 1, &img, nullptr);
        EXPECT_EQ(rc, c.reason) << c.name << ": refused by \"" << TiffRule(rc).reason << "\", expected \""
                                << TiffRule(c.reason).reason << "\"";
        EXPECT_EQ(img.bits, nullptr) << c.name;
        LocalFreeMem(img.bits);
        EXPECT_EQ(DecodeBytes(kImgFormatTiff, file), c.expect) << c.name;
    }
}

TEST(Tiff, DecodesLayoutsToTheirPixels) {
    struct Case {
        const char* name;
        std::function<Bytes()> file;
        uint16_t bitCount;
        Bytes rgb;  // top-down
    };
    auto grey = [](std::initializer_list<int> v) {
        Bytes out;
        for (int g : v) out.insert(out.end(), {uint8_t(g), uint8_t(g), uint8_t(g)});
        return out;
    };
    const Case cases[] = {
        {"8-bit grey", [] { return Page(Grey8Fields(), kGrey8); }, 8, grey({0, 50, 100, 150, 200, 250, 10, 20})},
        {"8-bit grey, big-endian", [] { return Page(Grey8Fields(), kGrey8, true); }, 8,
         grey({0, 50, 100, 150, 200, 250, 10, 20})},
        {"RowsPerStrip above the length is cut to it", [] {
             auto f = Grey8Fields();
             TiffSetField(&f, 278, kKitLong, {1000});
             return Page(f, kGrey8);
         }, 8, grey({0, 50, 100, 150, 200, 250, 10, 20})},
        {"two strips of one row", [] {
             return Page(TiffImageFields(4, 2, 8, 1, kNone, kBlackIsZero, 1, {4, 4}), kGrey8);
         }, 8, grey({0, 50, 100, 150, 200, 250, 10, 20})},
        {"2-bit BlackIsZero widens to 4 bits, levels i*255/3", [] {
             return Page(TiffImageFields(5, 1, 2, 1, kNone, kBlackIsZero, 1, {2}), {0x1B, 0x80});
         }, 4, grey({0, 85, 170, 255, 170})},
        {"2-bit WhiteIsZero", [] {
             return Page(TiffImageFields(4, 1, 2, 1, kNone, kWhiteIsZero, 1, {1}), {0x1B});
         }, 4, grey({255, 170, 85, 0})},
        {"4-bit WhiteIsZero, levels 255 - i*17", [] {
             return Page(TiffImageFields(3, 1, 4, 1, kNone, kWhiteIsZero, 1, {2}), {0x0F, 0x70});
         }, 4, grey({255, 0, 136})},
        {"1-bit BlackIsZero: set bits white", [] {
             return Page(TiffImageFields(9, 1, 1, 1, kNone, kBlackIsZero, 1, {2}), {0xA0, 0x80});
         }, 1, grey({255, 0, 255, 0, 0, 0, 0, 0, 255})},
        {"1-bit WhiteIsZero: set bits black", [] {
             return Page(TiffImageFields(3, 1, 1, 1, kNone, kWhiteIsZero, 1, {1}), {0xA0});
         }, 1, grey({0, 255, 0})},
        {"1-bit, FillOrder 2: bits taken from the least significant", [] {
             auto f = TiffImageFields(3, 1, 1, 1, kNone, kWhiteIsZero, 1, {1});
             TiffSetField(&f, 266, kKitShort, {2});
             return Page(f, {0x05});
         }, 1, grey({0, 255, 0})},
        {"modified Huffman: white 2, black 3, white 3", [] {
             // 0111 10 1000: the codes of white 2, black 3 and white 3.
             return Page(TiffImageFields(8, 1, 1, 1, kMh, kWhiteIsZero, 1, {2}), {0x7A, 0x00});
         }, 1, grey({255, 255, 0, 0, 0, 255, 255, 255})},
        {"modified Huffman, FillOrder 2: the same codes least significant first", [] {
             auto f = TiffImageFields(8, 1, 1, 1, kMh, kWhiteIsZero, 1, {2});
             TiffSetField(&f, 266, kKitShort, {2});
             return Page(f, {0x5E, 0x00});
         }, 1, grey({255, 255, 0, 0, 0, 255, 255, 255})},
        {"a palette image without ColorMap takes a grey ramp", [] {
             return Page(TiffImageFields(2, 1, 8, 1, kNone, kPalette, 1, {2}), {0, 255});
         }, 8, grey({0, 255})},
        {"ColorMap values divided by 257", [] {
             auto f = TiffImageFields(2, 1, 1, 1, kNone, kPalette, 1, {1});
             TiffSetField(&f, 320, kKitShort, {65535, 257 * 10, 0, 257 * 20, 514, 257 * 30});
             return Page(f, {0x40});
         }, 1, Bytes{255, 0, 2, 10, 20, 30}},
        {"RGB, Predictor 2 per channel", [] {
             auto f = TiffImageFields(3, 1, 8, 3, kNone, kRgb, 1, {9});
             TiffSetField(&f, 317, kKitShort, {2});
             return Page(f, {10, 20, 30, 1, 2, 3, 255, 1, 1});
         }, 24, Bytes{10, 20, 30, 11, 22, 33, 10, 23, 34}},
        {"PackBits with a 128-byte literal and a run", [] {
             Bytes data = {127};
             for (int i = 0; i < 128; i++) data.push_back(uint8_t(i));
             data.insert(data.end(), {0x81, 7, 0x80});
             return Page(TiffImageFields(256, 1, 8, 1, kPackBits, kBlackIsZero, 1, {uint32_t(data.size())}), data);
         }, 8, [] {
             Bytes v;
             for (int i = 0; i < 256; i++) v.insert(v.end(), 3, uint8_t(i < 128 ? i : 7));
             return v;
         }()},
        {"RGB PackBits, runs that go on into the next row, strips of two rows and one", [] {
             // Rows of 9 bytes (DIB rows padded to 12): a literal of 12 and a
             // repeat of 6 fill the first strip, a no-op and a repeat of 9 the second.
             const Bytes a = {11, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 0xFB, 5};
             const Bytes b = {0x80, 0xF8, 7};
             auto f = TiffImageFields(3, 3, 8, 3, kPackBits, kRgb, 2, {uint32_t(a.size()), uint32_t(b.size())});
             Bytes data = a;
             data.insert(data.end(), b.begin(), b.end());
             return Page(f, data);
         }, 24, Bytes{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 5, 5, 5, 5, 5, 5, 7, 7, 7, 7, 7, 7, 7, 7, 7}},
        {"RGB, Predictor 2, LZW strips of two rows and one", [] {
             const Bytes a = LzwLiterals({10, 20, 30, 1, 2, 3, 5, 5, 5, 5, 5, 5}),
                         b = LzwLiterals({200, 100, 50, 1, 1, 1});
             auto f = TiffImageFields(2, 3, 8, 3, kLzw, kRgb, 2, {uint32_t(a.size()), uint32_t(b.size())});
             TiffSetField(&f, 317, kKitShort, {2});
             Bytes data = a;
             data.insert(data.end(), b.begin(), b.end());
             return Page(f, data);
         }, 24, Bytes{10, 20, 30, 11, 22, 33, 5, 5, 5, 10, 10, 10, 200, 100, 50, 201, 101, 51}},
        {"2-bit rows widened to 4 bits, a strip a row", [] {
             return Page(TiffImageFields(5, 2, 2, 1, kNone, kBlackIsZero, 1, {2, 2}), {0x1B, 0x80, 0xE4, 0x00});
         }, 4, grey({0, 85, 170, 255, 170, 255, 170, 85, 0, 0})},
        {"LZW: a code for the entry the previous one is still finishing", [] {
             LzwWriter w;
             w.Code(97);
             w.Code(258);
             Bytes data = w.Finish();
             return Page(TiffImageFields(3, 1, 8, 1, kLzw, kBlackIsZero, 1, {uint32_t(data.size())}), data);
         }, 8, grey({97, 97, 97})},
    };
    for (const Case& c : cases) {
        const Bytes file = c.file();
        ASSERT_EQ(DecodeBytes(kImgFormatTiff, file), kImgOk) << c.name;
        EXPECT_EQ(gImageDecodeState.header.biBitCount, c.bitCount) << c.name;
        EXPECT_EQ(StateToRgb(), c.rgb) << c.name;
        // With the cap at the picture's own size no strip buffer fits beside
        // it: the strips decode into the picture's block, to the same pixels.
        const uint64_t cap = gImageByteCap;
        gImageByteCap = gImageDecodeState.header.biSizeImage;
        const int rc = DecodeBytes(kImgFormatTiff, file);
        gImageByteCap = cap;
        ASSERT_EQ(rc, kImgOk) << c.name << ", in the picture's block";
        EXPECT_EQ(StateToRgb(), c.rgb) << c.name << ", in the picture's block";
    }
}

// With no Clear the table fills after 3838 codes; the reader stops adding
// entries there and goes on (before, every further code wrote past the table).
TEST(Tiff, LzwGoesOnPastAFullTable) {
    const uint32_t n = 6000;
    LzwWriter w;
    w.Code(256);
    Bytes pixels;
    for (uint32_t i = 0; i < n; i++) {
        uint8_t v = uint8_t((i * 7919u) >> 3);
        pixels.push_back(v);
        w.Code(v);
    }
    const Bytes data = w.Finish();
    const Bytes file = Page(TiffImageFields(n, 1, 8, 1, kLzw, kBlackIsZero, 1, {uint32_t(data.size())}), data);
    ASSERT_EQ(DecodeBytes(kImgFormatTiff, file), kImgOk);
    Bytes expect;
    for (uint8_t v : pixels) expect.insert(expect.end(), 3, v);
    EXPECT_EQ(StateToRgb(), expect);
}

// Rows as fax machines and pre-1991 writers store them, which the encoders of
// the reference tests never write.
TEST(Tiff, ZeroLengthFaxRunsAndOldStyleLzwDecode) {
    // Group 4, width 4: horizontal white 3 black 0, VL1 landing on a0, V0.
    const Bytes fax = Page(TiffImageFields(4, 1, 1, 1, kG4, kWhiteIsZero, 1, {3}), {0x30, 0x1B, 0xA8});
    ASSERT_EQ(DecodeBytes(kImgFormatTiff, fax), kImgOk);
    EXPECT_EQ(StateToRgb(), Bytes({255, 255, 255, 255, 255, 255, 255, 255, 255, 0, 0, 0}));
    // A vertical change left of a0 still refuses: VL3 (0000010) after the same horizontal run.
    const Bytes back = Page(TiffImageFields(4, 1, 1, 1, kG4, kWhiteIsZero, 1, {3}), {0x30, 0x1B, 0x82});
    DecodedImage img;
    EXPECT_EQ(TiffDecodeBuffer(back.data(), back.size(), 1, &img, nullptr), kTiffFaxRunPastRow);

    // Old-style LZW: codes least significant bit first, grey 40 80 C0 FF.
    const Bytes oldLzw = {0x00, 0x81, 0x00, 0x02, 0xF6, 0x2F, 0x20};
    const Bytes lzw = Page(TiffImageFields(4, 1, 8, 1, kLzw, kBlackIsZero, 1, {7}), oldLzw);
    ASSERT_EQ(DecodeBytes(kImgFormatTiff, lzw), kImgOk);
    EXPECT_EQ(StateToRgb(), Bytes({0x40, 0x40, 0x40, 0x80, 0x80, 0x80, 0xC0, 0xC0, 0xC0, 0xFF, 0xFF, 0xFF}));
}

TEST(Tiff, CountsPagesAndDecodesTheOneAsked) {
    const Bytes file = Fields3Pages();
    struct Case { uint16_t page; int expect; uint8_t value; };
    const Case cases[] = {{0, kImgOk, 10}, {1, kImgOk, 10}, {2, kImgOk, 20}, {3, kImgOk, 30}, {4, kImgInvalid, 0}};
    for (const Case& c : cases) {
        uint32_t count = 0;
        ASSERT_EQ(DecodePage(kImgFormatTiff, file, c.page, &count), c.expect) << "page " << c.page;
        if (c.expect != kImgOk) continue;
        EXPECT_EQ(count, 3u) << "page " << c.page;
        EXPECT_EQ(StateToRgb(), Bytes(6, c.value)) << "page " << c.page;
    }
}

// Old-style JPEG: the interchange data alone, or followed by the strips, is
// the JFIF stream that the JPEG reader decodes.
TEST(Tiff, OldStyleJpegDecodesAsItsJfifStream) {
    Bytes pixels(16 * 16 * 3);
    for (size_t i = 0; i < pixels.size(); i++) pixels[i] = uint8_t(i * 13);
    const Bytes jfif = MakeJpeg(16, 16, 3, pixels, 90, false);
    ASSERT_EQ(DecodeBytes(kImgFormatJpeg, jfif), kImgOk);
    const Bytes expect = StateToRgb();

    // Split at the start of scan: tables in the interchange data, the
    // entropy-coded data in two strips.
    size_t sos = 0;
    for (size_t i = 2; i + 1 < jfif.size(); i++)
        if (jfif[i] == 0xFF && jfif[i + 1] == 0xDA) {
            sos = i;
            break;
        }
    ASSERT_GT(sos, 0u);
    const uint32_t rest = uint32_t(jfif.size() - sos), half = rest / 2;

    auto one = TiffImageFields(16, 16, 8, 3, kOldJpeg, kRgb, 16, {uint32_t(jfif.size())});
    TiffSetField(&one, 513, kKitLong, {0});
    TiffSetField(&one, 514, kKitLong, {uint32_t(jfif.size())});
    auto two = TiffImageFields(16, 16, 8, 3, kOldJpeg, kRgb, 8, {half, rest - half});
    TiffSetField(&two, 273, kKitLong, {uint32_t(sos), uint32_t(sos + half)});
    TiffSetField(&two, 513, kKitLong, {0});
    TiffSetField(&two, 514, kKitLong, {uint32_t(sos)});
    struct Case { const char* name; Bytes file; };
    const Case cases[] = {{"one strip", Page(one, jfif)}, {"tables and two strips", Page(two, jfif)}};
    for (const Case& c : cases) {
        ASSERT_EQ(DecodeBytes(kImgFormatTiff, c.file), kImgOk) << c.name;
        EXPECT_EQ(StateToRgb(), expect) << c.name;
    }
}

// Each result names its own rule; only success reads as success, and a result
// outside the table refuses.
TEST(Tiff, RuleTablesOfTiffAndPcx) {
    struct Decoder { const char* name; const DecodeRule& (*rule)(int); int count; };
    const Decoder decoders[] = {{"TIFF", TiffRule, kTiffResultCount}, {"PCX", PcxRule, kPcxResultCount}};
    for (const Decoder& d : decoders) {
        EXPECT_EQ(d.rule(0).loaderCode, kImgOk) << d.name;
        std::set<std::string> reasons;
        for (int r = 1; r < d.count; r++) {
            const DecodeRule& rule = d.rule(r);
            EXPECT_TRUE(rule.loaderCode == kImgInvalid || rule.loaderCode == kImgNoMemory) << d.name << " " << r;
            EXPECT_TRUE(reasons.insert(rule.reason).second) << d.name << " " << r << " repeats \"" << rule.reason << "\"";
        }
        for (int stray : {-1, d.count, 1000}) EXPECT_EQ(d.rule(stray).loaderCode, kImgInvalid) << d.name << " " << stray;
    }
}
