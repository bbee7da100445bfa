// pcx_test.cpp - the PCX/DCX reader on files built here: each refusal rule
// with a tiny file that breaks it (the reason must be that rule's), and the
// layouts, palettes, runs and DCX pages with their expected pixels.
#include <gtest/gtest.h>

#include <functional>

#include "graphics/image/imageload.h"
#include "graphics/image/pcx.h"
#include "image_testkit.h"
#include "raster_kit.h"
#include "session/util/mem.h"

namespace {

// A w x h picture of one plane with the given raw scan bytes.
Bytes Single(uint8_t bits, uint16_t w, uint16_t h, uint16_t bytesPerLine, const Bytes& raw, uint8_t version = 5,
             const Bytes& headerPalette = {}, const Bytes& endPalette = {}) {
    PcxSpec s;
    s.version = version;
    s.bits = bits;
    s.xmax = uint16_t(w - 1);
    s.ymax = uint16_t(h - 1);
    s.bytesPerLine = bytesPerLine;
    s.headerPalette = headerPalette;
    return MakePcx(s, PcxRle(raw), endPalette);
}

Bytes Grey8(uint16_t w, uint16_t h, const Bytes& raw) {
    Bytes pal;
    for (int i = 0; i < 256; i++) pal.insert(pal.end(), {uint8_t(i), uint8_t(i), uint8_t(i)});
    return Single(8, w, h, w, raw, 5, {}, pal);
}

Bytes Rgb(std::initializer_list<int> v) {
    Bytes out;
    for (int x : v) out.push_back(uint8_t(x));
    return out;
}

void SetLe32(Bytes* f, size_t at, uint32_t v) {
    for (int i = 0; i < 4; i++) (*f)[at + i] = uint8_t(v >> (8 * i));
}

}  // namespace

TEST(Pcx, RefusesEachBrokenRuleWithItsReason) {
    struct Case {
        const char* name;
        std::function<Bytes()> file;
        uint16_t page;
        int reason;
    };
    const Case cases[] = {
        {"not manufacturer 10", [] {
             Bytes f = Grey8(2, 1, {1, 2});
             f[0] = 11;
             return f;
         }, 1, kPcxNoSignature},
        {"shorter than the header", [] { return Bytes{10, 5, 1, 8, 0, 0}; }, 1, kPcxShortHeader},
        {"2 bits in one plane", [] { return Single(2, 4, 1, 2, {0, 0}); }, 1, kPcxBadDepth},
        {"1 bit in two planes", [] {
             PcxSpec s;
             s.bits = 1, s.planes = 2, s.xmax = 7, s.bytesPerLine = 2;
             return MakePcx(s, {0, 0, 0, 0});
         }, 1, kPcxBadDepth},
        {"8 bits in four planes", [] {
             PcxSpec s;
             s.bits = 8, s.planes = 4, s.bytesPerLine = 1;
             return MakePcx(s, {1, 2, 3, 4});
         }, 1, kPcxBadDepth},
        {"Xmax below Xmin", [] {
             PcxSpec s;
             s.xmin = 5, s.xmax = 4, s.bytesPerLine = 2;
             return MakePcx(s, {1, 2});
         }, 1, kPcxBadExtent},
        {"Ymax below Ymin", [] {
             PcxSpec s;
             s.ymin = 1, s.ymax = 0, s.bytesPerLine = 2;
             return MakePcx(s, {1, 2});
         }, 1, kPcxBadExtent},
        {"no bytes per line", [] { return Single(8, 2, 1, 0, {1, 2}); }, 1, kPcxBadExtent},
        {"a picture past the ceiling", [] {
             PcxSpec s;
             s.bits = 8, s.planes = 3, s.xmax = 65535, s.ymax = 65535, s.bytesPerLine = 1;
             return MakePcx(s, {1, 2, 3});
         }, 1, kPcxTooLarge},
        {"scan data ending early", [] {
             Bytes f = Single(8, 4, 4, 4, Bytes(16, 7));
             f.resize(f.size() - 1);
             return f;
         }, 1, kPcxShortData},
        {"a run count without its value", [] {
             Bytes f = Single(8, 4, 1, 4, {});
             f.push_back(0xC4);
             return f;
         }, 1, kPcxShortData},
        {"a run past the last scan line", [] {
             PcxSpec s;
             s.xmax = 3, s.ymax = 1, s.bytesPerLine = 4;
             return MakePcx(s, {0xC9, 5});
         }, 1, kPcxPastImage},
        {"a DCX page offset past the end", [] {
             Bytes f = MakeDcx({Grey8(1, 1, {1}), Grey8(1, 1, {2})});
             SetLe32(&f, 8, uint32_t(f.size() + 10));
             return f;
         }, 1, kPcxDcxBadOffset},
        {"a DCX page offset below the one before", [] {
             Bytes f = MakeDcx({Grey8(1, 1, {1}), Grey8(1, 1, {2})});
             SetLe32(&f, 8, 6);
             return f;
         }, 2, kPcxDcxBadOffset},
        {"a DCX table without its 0 entry", [] {
             Bytes f = MakeDcx({});
             f.resize(4);
             f.insert(f.end(), {8, 0, 0, 0, 8, 0, 0, 0});
             return f;
         }, 1, kPcxDcxNoEnd},
        {"DCX page 4 of 3", [] { return MakeDcx({Grey8(1, 1, {1}), Grey8(1, 1, {2}), Grey8(1, 1, {3})}); }, 4,
         kPcxDcxNoPage},
        {"a DCX without pages", [] { return MakeDcx({}); }, 1, kPcxDcxNoPage},
    };
    for (const Case& c : cases) {
        const Bytes file = c.file();
        DecodedImage img;
        int rc = PcxDecodeBuffer(file.data(), file.size(), c.page, &img, nullptr);
        EXPECT_EQ(rc, c.reason) << c.name << ": refused by \"" << PcxRule(rc).reason << "\", expected \""
                                << PcxRule(c.reason).reason << "\"";
        EXPECT_EQ(img.bits, nullptr) << c.name;
        uint32_t count = 0;
        EXPECT_EQ(DecodePage(kImgFormatPcx, file, c.page, &count), c.reason == kPcxTooLarge ? kImgNoMemory : kImgInvalid)
            << c.name;
    }
}

TEST(Pcx, DecodesLayoutsToTheirPixels) {
    struct Case {
        const char* name;
        std::function<Bytes()> file;
        uint16_t bitCount;
        Bytes rgb;  // top-down
    };
    Bytes header16;
    for (int i = 0; i < 16; i++) header16.insert(header16.end(), {uint8_t(i * 16), uint8_t(i), uint8_t(255 - i)});
    const Case cases[] = {
        {"8 bits with the end palette", [] { return Grey8(3, 2, {1, 2, 3, 4, 5, 6}); }, 8,
         Rgb({1, 1, 1, 2, 2, 2, 3, 3, 3, 4, 4, 4, 5, 5, 5, 6, 6, 6})},
        {"8 bits without the marker take the header's 16 colours", [&] {
             return Single(8, 2, 1, 2, {1, 15}, 5, header16);
         }, 8, Rgb({16, 1, 254, 240, 15, 240})},
        {"version 3 takes the default 16 colours", [&] {
             return Single(8, 3, 1, 3, {1, 8, 11}, 3, header16);
         }, 8, Rgb({255, 0, 0, 255, 85, 85, 0, 0, 170})},
        {"an all-zero header palette takes the default", [] {
             return Single(8, 2, 1, 2, {4, 14}, 5, Bytes(48, 0));
         }, 8, Rgb({0, 0, 255, 85, 255, 255})},
        {"1 bit with no palette is black and white", [] {
             return Single(1, 3, 1, 2, {0xA0, 0}, 5, Bytes(48, 0));
         }, 1, Rgb({255, 255, 255, 0, 0, 0, 255, 255, 255})},
        {"33 pixels of 1 bit fill a row of 8 bytes", [] {
             Bytes raw(12, 0);
             raw[4] = 0x80;   // pixel 32 of the first row
             raw[6] = 0xFF;   // pixels 0..7 of the second row
             return Single(1, 33, 2, 6, raw, 5, Rgb({0, 0, 0, 255, 255, 255}));
         }, 1, [] {
             Bytes v(33 * 2 * 3, 0);
             for (int i = 0; i < 3; i++) v[32 * 3 + i] = 255;
             for (int x = 0; x < 8; x++)
                 for (int i = 0; i < 3; i++) v[(33 + x) * 3 + i] = 255;
             return v;
         }()},
        {"bytes per line past the stride are dropped", [] {
             Bytes raw(2 * 40, 9);
             raw[0] = 1, raw[1] = 2, raw[40] = 3, raw[41] = 4;
             Bytes pal;
             for (int i = 0; i < 256; i++) pal.insert(pal.end(), {uint8_t(i), uint8_t(i), uint8_t(i)});
             return Single(8, 2, 2, 40, raw, 5, {}, pal);
         }, 8, Rgb({1, 1, 1, 2, 2, 2, 3, 3, 3, 4, 4, 4})},
        {"a 0xC0 run writes nothing", [] {
             PcxSpec s;
             s.xmax = 2, s.bytesPerLine = 3;
             Bytes pal;
             for (int i = 0; i < 256; i++) pal.insert(pal.end(), {uint8_t(i), uint8_t(i), uint8_t(i)});
             return MakePcx(s, {7, 0xC0, 99, 0xC2, 8}, pal);
         }, 8, Rgb({7, 7, 7, 8, 8, 8, 8, 8, 8})},
        {"a run that goes on into the next line", [] {
             PcxSpec s;
             s.xmax = 1, s.ymax = 1, s.bytesPerLine = 2;
             Bytes pal;
             for (int i = 0; i < 256; i++) pal.insert(pal.end(), {uint8_t(i), uint8_t(i), uint8_t(i)});
             return MakePcx(s, {0xC3, 5, 6}, pal);
         }, 8, Rgb({5, 5, 5, 5, 5, 5, 5, 5, 5, 6, 6, 6})},
        {"four 1-bit planes make 4-bit pixels", [] {
             PcxSpec s;
             s.bits = 1, s.planes = 4, s.xmax = 3, s.bytesPerLine = 2;
             // Pixel x takes bit `plane` from plane `plane`: pixels 1, 2, 4, 15.
             return MakePcx(s, PcxRle({0x90, 0, 0x50, 0, 0x30, 0, 0x10, 0}));
         }, 4, Rgb({255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 255})},
        {"planar bytes per line past the stride are dropped", [] {
             PcxSpec s;
             s.bits = 1, s.planes = 4, s.xmax = 3, s.bytesPerLine = 10;
             Bytes raw(40, 0xFF);
             for (int plane = 0; plane < 4; plane++) raw[plane * 10] = uint8_t(plane == 0 ? 0xF0 : 0);
             return MakePcx(s, PcxRle(raw));
         }, 4, Rgb({255, 0, 0, 255, 0, 0, 255, 0, 0, 255, 0, 0})},
        {"three 1-bit planes make colours 0 to 7", [] {
             PcxSpec s;
             s.bits = 1, s.planes = 3, s.xmax = 2, s.bytesPerLine = 1, s.version = 0;
             return MakePcx(s, PcxRle({0x60, 0xA0, 0xC0}));
         }, 4, Rgb({0, 255, 255, 255, 0, 255, 255, 255, 0})},
        {"three 8-bit planes interleave into 24-bit pixels", [] {
             PcxSpec s;
             s.bits = 8, s.planes = 3, s.xmax = 1, s.ymax = 1, s.bytesPerLine = 2;
             return MakePcx(s, PcxRle({10, 11, 20, 21, 30, 31, 40, 41, 50, 51, 60, 61}));
         }, 24, Rgb({10, 20, 30, 11, 21, 31, 40, 50, 60, 41, 51, 61})},
        {"4 bits packed in one plane", [] {
             return Single(4, 3, 1, 2, {0x1F, 0x70}, 5, Bytes(48, 0));
         }, 4, Rgb({255, 0, 0, 255, 255, 255, 255, 255, 255})},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(DecodeBytes(kImgFormatPcx, c.file()), kImgOk) << c.name;
        EXPECT_EQ(gImageDecodeState.header.biBitCount, c.bitCount) << c.name;
        EXPECT_EQ(StateToRgb(), c.rgb) << c.name;
    }
}

TEST(Pcx, DcxPagesAndTheirCount) {
    // The third page is a version 5 picture shorter than an end palette: the
    // palette test must not look before it, into the second page, whose last
    // 800 bytes are 12s (and so its own end palette).
    const Bytes last = Single(8, 1, 1, 1, {3}, 5, Rgb({0, 0, 0, 0, 0, 0, 0, 0, 0, 7, 7, 7}));
    Bytes second = Grey8(1, 1, {2});
    second.insert(second.end(), 800, 12);
    const Bytes file = MakeDcx({Grey8(1, 1, {1}), second, last});
    struct Case { uint16_t page; int expect; Bytes rgb; };
    const Case cases[] = {
        {0, kImgOk, Rgb({1, 1, 1})}, {1, kImgOk, Rgb({1, 1, 1})}, {2, kImgOk, Rgb({12, 12, 12})},
        {3, kImgOk, Rgb({7, 7, 7})}, {4, kImgInvalid, {}},
    };
    for (const Case& c : cases) {
        uint32_t count = 0;
        ASSERT_EQ(DecodePage(kImgFormatPcx, file, c.page, &count), c.expect) << "page " << c.page;
        EXPECT_EQ(count, 3u) << "page " << c.page;
        if (c.expect == kImgOk) {
            EXPECT_EQ(StateToRgb(), c.rgb) << "page " << c.page;
        }
    }
    // A plain PCX leaves the page count alone.
    uint32_t count = 55;
    ASSERT_EQ(DecodePage(kImgFormatPcx, Grey8(1, 1, {1}), 1, &count), kImgOk);
    EXPECT_EQ(count, 55u);
    EXPECT_TRUE(PcxIsImage(file.data(), file.size()));
}
