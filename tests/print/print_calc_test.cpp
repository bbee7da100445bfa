// print_calc_test.cpp - the platform-free half of printing: message bodies read
// with every length checked, colours, units, alignments, text regions and
// image fitting, each family as a table.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "print/prtcalc.h"

namespace {

// A message: 8-byte header then the body fields, little-endian.
struct Msg {
    std::vector<uint8_t> b = std::vector<uint8_t>(8, 0);
    Msg& U8(uint8_t v) { b.push_back(v); return *this; }
    Msg& U16(uint16_t v) { U8(v & 0xFF); return U8(v >> 8); }
    Msg& U32(uint32_t v) { U16(v & 0xFFFF); return U16(v >> 16); }
    Msg& Pad(size_t n) { b.resize(b.size() + n); return *this; }
    Msg& Text(const std::string& s) { b.insert(b.end(), s.begin(), s.end()); return *this; }
    WireReader R() const { return WireReader(b.data(), b.size(), false); }
};

Msg Open1202(uint32_t nameLen, uint32_t titleLen, uint32_t spoolLen, const std::string& texts) {
    Msg m;
    m.U32(7).U32(nameLen).U32(titleLen).U32(0xFFFFFFFF).U32(spoolLen).U8(5).Text(texts);
    return m;
}

Msg Open1211(uint32_t nameLen, uint32_t titleLen, uint32_t spoolLen, uint32_t pdfLen, const std::string& texts) {
    Msg m;
    m.U32(7).U32(nameLen).U32(titleLen).U32(3).U32(spoolLen).U32(pdfLen).U32(0x10000001).Text(texts);
    return m;
}

TEST(PrintCalc, OpenBodies) {
    struct Case {
        uint32_t type;
        Msg msg;
        bool ok;
        const char* name;
        const char* title;
        const char* spool;
        const char* why;
    };
    const Case cases[] = {
        {1202, Open1202(2, 5, 0, "-@Sales"), true, "-@", "Sales", "", "name then title follow the options byte"},
        {1202, Open1202(2, 6, 0, "-@Sales"), false, "", "", "", "a title one byte past the message"},
        {1202, Open1202(0xFFFFFFF0u, 0x20, 0, "-@Sales"), false, "", "", "", "lengths whose sum wraps 32 bits"},
        {1202, Open1202(1, 0, 3, "Xabc"), true, "X", "", "abc", "a spool name after an empty title"},
        {1211, Open1211(4, 0, 0, 5, "pdf:a.pdf"), true, "pdf:", "", "", "the PDF file name comes last"},
        {1211, Open1211(4, 0, 0, 6, "pdf:a.pdf"), false, "", "", "", "a PDF file name past the message"},
    };
    for (const Case& c : cases) {
        PrtOpenMsg o;
        bool ok = PrtDecodeOpen(c.type, c.msg.R(), &o);
        EXPECT_EQ(c.ok, ok) << c.why;
        if (!ok || !c.ok) continue;
        EXPECT_EQ(c.name, std::string(o.name.text, o.name.len)) << c.why;
        EXPECT_EQ(c.title, std::string(o.title.text, o.title.len)) << c.why;
        EXPECT_EQ(c.spool, std::string(o.spool.text, o.spool.len)) << c.why;
    }
    PrtOpenMsg o;
    const Msg titled = Open1211(4, 0, 0, 5, "pdf:a.pdf");
    ASSERT_TRUE(PrtDecodeOpen(1211, titled.R(), &o));
    EXPECT_EQ("a.pdf", std::string(o.pdfFile.text, o.pdfFile.len));
    EXPECT_EQ(0x10000001u, o.options);
    EXPECT_EQ(3, o.pageLimit);
    const Msg plain = Open1202(2, 5, 0, "-@Sales");
    ASSERT_TRUE(PrtDecodeOpen(1202, plain.R(), &o));
    EXPECT_EQ(5u, o.options);
    EXPECT_EQ(-1, o.pageLimit);
}

TEST(PrintCalc, CloseBlock) {
    Msg full;
    full.U32(99);
    for (uint32_t i = 0; i < 11; i++) full.U32(100 + i);
    PrtCloseMsg c;
    ASSERT_TRUE(PrtDecodeClose(1205, full.R(), &c));
    EXPECT_EQ(99u, c.handle);
    EXPECT_EQ(110u, c.block[10]) << "a whole block keeps its close options";
    Msg shortMsg;
    shortMsg.U32(99).U32(1).U32(2);
    ASSERT_TRUE(PrtDecodeClose(1205, shortMsg.R(), &c));
    EXPECT_EQ(2u, c.block[1]);
    EXPECT_EQ(0u, c.block[10]) << "a message shorter than 56 bytes has close options 0";
    Msg none;
    EXPECT_FALSE(PrtDecodeClose(1204, none.R(), &c)) << "no handle";
}

TEST(PrintCalc, DrawBodies) {
    struct Case {
        uint32_t type;
        Msg msg;
        bool ok;
        const char* why;
    };
    const Case cases[] = {
        {2204, Msg().U16(3).Pad(2).Text("abc"), true, "text of the length given"},
        {2204, Msg().U16(4).Pad(2).Text("abc"), false, "text one byte short"},
        {2204, Msg().U16(0), false, "length without its padding"},
        {2205, Msg().U8(1).Pad(3).U16(2).Pad(2).Text("12"), true, "number text"},
        {2205, Msg().U8(1).Pad(3).U16(3).Pad(2).Text("12"), false, "number text short"},
        {2207, Msg().U32(8).Text("FIXED(9)"), true, "font text"},
        {2207, Msg().U32(9).Text("FIXED(9)"), false, "font text short"},
        {2207, Msg().U32(65535).U32(42), true, "a Font object"},
        {2207, Msg().U32(65535), false, "a Font object without its handle"},
        {2207, Msg().U32(0xFFFFFFFFu).Text("x"), false, "a huge font length"},
        {2216, Msg().U16(4).Pad(2).Text("a=b;"), true, "PDF option text"},
        {2219, Msg().U16(5).Pad(2).Text("a=b;"), false, "PDF option text short"},
        {2212, Msg().Pad(2).U16(1).U16(2).U16(3).U16(4).U16(5).U16(6), true, "rounded rectangle"},
        {2212, Msg().Pad(2).U16(1).U16(2).U16(3).U16(4).U16(5), false, "rounded rectangle without its corner height"},
        {2209, Msg().U32(1).U32(0).U16(1).U16(2).U16(3), false, "image without its right edge"},
        {2240, Msg(), true, "2221-2251 carry nothing"},
    };
    for (const Case& c : cases) {
        PrtDrawMsg d;
        EXPECT_EQ(c.ok, PrtDecodeDraw(c.type, c.msg.R(), &d)) << c.type << ": " << c.why;
    }
    PrtDrawMsg d;
    ASSERT_TRUE(PrtDecodeDraw(2211, Msg().Pad(2).U16(10).U16(20).U16(30).U16(40).R(), &d));
    EXPECT_EQ(10, d.top);
    EXPECT_EQ(20, d.bottom);
    EXPECT_EQ(30, d.left);
    EXPECT_EQ(40, d.right);
    ASSERT_TRUE(PrtDecodeDraw(2210, Msg().U16(1).Pad(2).U16(2).Pad(2).U16(3).Pad(2).U16(4).Pad(2).R(), &d));
    EXPECT_EQ(4, d.right) << "2210 spaces its edges 4 bytes apart";
}

TEST(PrintCalc, Colours) {
    struct Case {
        uint32_t value;
        uint32_t colour;
        uint32_t grey;
        const char* why;
    };
    const Case cases[] = {
        {0, 0x000000, 0x000000, "0 is black"},
        {4, 0x0000FF, 0x4C4C4C, "red prints as grey 76"},
        {7, 0xFFFFFF, 0xFFFFFF, "7 is white, and white stays white"},
        {8, 0x000008, 0x020202, "8 is RGB 8, a dark red"},
        {0x1FF8040, 0xFF8040, 0x7A7A7A, "another value keeps its low 24 bits"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.colour, PrtColorFromValue(c.value)) << c.why;
        EXPECT_EQ(c.grey, PrtGrey(PrtColorFromValue(c.value))) << c.why;
    }
}

TEST(PrintCalc, Units) {
    struct Case {
        int mode;
        int32_t value;
        int32_t device;
        const char* why;
    };
    const Case cases[] = {
        {2, 100, 600, "an inch in 0.01 inch"},
        {3, 254, 600, "an inch in 0.1 mm"},
        {4, 1000, 600, "an inch in 0.001 inch"},
        {5, 2540, 600, "an inch in 0.01 mm"},
        {7, 1440, 600, "an inch in twips"},
        {6, 123, 123, "device pixels stay"},
        {1, 77, 77, "character modes hold device pixels"},
        {3, -127, -300, "negative distances round the same way"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.device, PrtUnitsToDevice(c.mode, c.value, 600)) << c.why;
        EXPECT_EQ(c.value, PrtDeviceToUnits(c.mode, c.device, 600)) << c.why;
    }
    EXPECT_EQ(0, PrtOriginFromMargin(100, 150)) << "a margin inside the unprintable edge gives origin 0";
    EXPECT_EQ(450, PrtOriginFromMargin(600, 150));
}

// Every character 10 units wide.
int32_t FixedWidth(void*, size_t, size_t count) { return static_cast<int32_t>(count) * 10; }

TEST(PrintCalc, AlignWithoutRegion) {
    struct Case {
        const char* text;
        uint32_t flags;
        int32_t column;
        int32_t start;
        const char* why;
    };
    const Case cases[] = {
        {"12.50", kPrtTextDecimal, 500, 470, "the right edge of the point sits at the column"},
        {".5", kPrtTextDecimal, 500, 490, "a text that begins with the point"},
        {"1250", kPrtTextDecimal, 500, 460, "no point: the end of the text sits at the column"},
        {"abcd", kPrtTextRight, 500, 460, "right"},
        {"abcd", kPrtTextCentre, 500, 480, "centre"},
        {"abcd", 0, 500, 500, "left"},
        {"abcd", kPrtTextRight, 20, 0, "never left of 0"},
    };
    for (const Case& c : cases) {
        size_t n = strlen(c.text);
        long k = PrtFindLastDecimal(reinterpret_cast<const uint8_t*>(c.text), n, false, '.');
        int32_t prefix = k >= 0 ? FixedWidth(nullptr, 0, static_cast<size_t>(k) + 1) : 0;
        EXPECT_EQ(c.start, PrtAlignStart(c.column, FixedWidth(nullptr, 0, n), prefix, k >= 0, c.flags)) << c.why;
    }
    const uint8_t wide[] = {'1', 0, ',', 0, '5', 0, ',', 0, '0', 0};
    EXPECT_EQ(3, PrtFindLastDecimal(wide, 5, true, ',')) << "UTF-16 units are searched as units";
    EXPECT_EQ(2u, PrtAlignFlags(1));
    EXPECT_EQ(0u, PrtAlignFlags(2)) << "281 with 2 gives left alignment";
    EXPECT_EQ(1u, PrtAlignFlags(3));
    EXPECT_EQ(32u, PrtAlignFlags(4));
}

TEST(PrintCalc, AlignInRegion) {
    struct Case {
        const char* text;
        uint32_t flags;
        int32_t column, right;
        size_t first, count;
        int32_t x, width;
        const char* why;
    };
    const Case cases[] = {
        {"abcdef", 0, 100, 140, 0, 6, 100, 40, "left: the width is cut to the room"},
        {"abcd", kPrtTextRight, 100, 200, 0, 4, 160, 40, "right: ends at the region's right edge"},
        {"abcdef", kPrtTextRight, 100, 140, 0, 6, 80, 40, "right, wider: starts left of the region, clipped"},
        {"abcdef", kPrtTextRight, 0, 40, 2, 4, 0, 40, "right, start below 0: leading characters go"},
        {"ab", kPrtTextCentre, 100, 200, 0, 2, 140, 20, "centre"},
        {"abcdefgh", kPrtTextCentre, 100, 140, 2, 4, 100, 40, "centre, wider: the middle characters stay"},
        {"12.5", kPrtTextDecimal, 100, 200, 0, 4, 130, 40, "decimal: the part before the point ends at the centre"},
        {".5", kPrtTextDecimal, 100, 200, 0, 2, 150, 20, "decimal: a leading point starts at the centre"},
        {"123456789.5", kPrtTextDecimal, 100, 200, 4, 7, 100, 70, "decimal: leading digits go when too long"},
    };
    for (const Case& c : cases) {
        size_t n = strlen(c.text);
        long k = PrtFindLastDecimal(reinterpret_cast<const uint8_t*>(c.text), n, false, '.');
        PrtClipLayout L = PrtLayoutClipped(n, k, c.column, c.right, c.flags, FixedWidth, nullptr);
        EXPECT_EQ(c.first, L.first) << c.why;
        EXPECT_EQ(c.count, L.count) << c.why;
        EXPECT_EQ(c.x, L.x) << c.why;
        EXPECT_EQ(c.width, L.width) << c.why;
    }
}

TEST(PrintCalc, ImageFit) {
    struct Case {
        PrtRect rect;
        int32_t w, h;
        uint32_t mode;
        bool frame;
        PrtRect out;
        const char* why;
    };
    const Case cases[] = {
        {{0, 0, 400, 400}, 200, 100, 0, false, {0, 0, 400, 200}, "mode 0 keeps the aspect ratio"},
        {{0, 0, 400, 400}, 100, 200, 0, false, {0, 0, 200, 400}, "mode 0, tall image"},
        {{10, 10, 410, 410}, 200, 100, 1, false, {10, 10, 210, 110}, "mode 1: actual size"},
        {{10, 10, 110, 60}, 200, 100, 1, false, {10, 10, 110, 60}, "mode 1 never grows the rectangle"},
        {{10, 10, 410, 410}, 200, 100, 1, true, {11, 11, 211, 111}, "mode 1 with a frame: room for it"},
        {{0, 0, 402, 402}, 200, 100, 0, true, {1, 1, 401, 201}, "frame: one pixel inside"},
        {{0, 0, 400, 400}, 0, 100, 0, false, {0, 0, 0, 0}, "an empty image draws nothing"},
    };
    for (const Case& c : cases) {
        PrtRect d = PrtFitImage(c.rect, c.w, c.h, c.mode, c.frame);
        EXPECT_EQ(c.out.left, d.left) << c.why;
        EXPECT_EQ(c.out.top, d.top) << c.why;
        EXPECT_EQ(c.out.right, d.right) << c.why;
        EXPECT_EQ(c.out.bottom, d.bottom) << c.why;
    }
}

}  // namespace
