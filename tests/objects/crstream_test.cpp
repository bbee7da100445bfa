// crstream_test.cpp - creation streams of each record form decode into the
// creation record; streams that run past their end are refused.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "objects/crstream.h"

namespace {

struct Stream {
    std::vector<uint8_t> b;
    Stream& U16(uint16_t v) { b.push_back(v & 0xFF); b.push_back(v >> 8); return *this; }
    Stream& U32(uint32_t v) { for (int i = 0; i < 4; ++i) b.push_back((v >> (8 * i)) & 0xFF); return *this; }
    Stream& Num(uint16_t id, uint32_t v) { return U16(id).U32(v); }
    Stream& Text(uint16_t id, const std::string& t) {
        U16(0x8000 + id).U16(static_cast<uint16_t>(t.size()));
        b.insert(b.end(), t.begin(), t.end());
        return *this;
    }
    Stream& Named(uint16_t base, const std::string& name, const std::string& data, bool longForm = false) {
        U16(static_cast<uint16_t>(base + name.size() + 1)).U16(data.size() & 0xFFFF);
        if (longForm) U16(static_cast<uint16_t>(data.size() >> 16));
        b.insert(b.end(), name.begin(), name.end());
        b.push_back(0);
        b.insert(b.end(), data.begin(), data.end());
        return *this;
    }
};

std::string Str(const CrText& t) { return t.text ? std::string(t.text, t.length) : std::string(); }

ObjectCreateRecord gCr;

TEST(CrStream, EmptyStreamGivesDefaults) {
    ASSERT_TRUE(DecodeFormCrStream(nullptr, 0, 5, 0, &gCr));
    EXPECT_EQ(-1, gCr.bgColor.value);
    EXPECT_EQ(-1, gCr.fgColor.value);
    EXPECT_EQ(3, gCr.dock);
    EXPECT_EQ(7, gCr.anchor);
    EXPECT_EQ(1, gCr.destroyGlobal);
    EXPECT_EQ(-1, gCr.rightToLeft);
    EXPECT_EQ(0u, gCr.flags0);
}

TEST(CrStream, NumericRecordsFillFields) {
    Stream s;
    s.Num(kPidTop, 10).Num(kPidHeight, 20).Num(kPidLeft, 5).Num(kPidWidth, 100).Num(kPidBgColor, 0xFF)
        .Num(kPidVisible, 1).Num(kPidEnabled, 0).Num(kPidObjectId, 0x12345).Num(kPidDock, 2)
        .Num(kPidCauseValid, 1).Num(kPidLoadObject, 0).Num(kPidWinType, 3).Num(250, 96)
        .Num(400, 1);   // an id beyond the table is skipped
    ASSERT_TRUE(DecodeFormCrStream(s.b.data(), s.b.size(), 5, 1, &gCr));
    struct Case { int64_t expect, actual; const char* why; };
    const Case kCases[] = {
        {10, gCr.top, "Top"}, {30, gCr.bottom, "bottom = top + height"}, {5, gCr.left, "Left"},
        {105, gCr.right, "right = left + width"}, {0xFF, gCr.bgColor.value, "BgColor value"},
        {-1, gCr.fgColor.value, "FgColor stays inherited"},
        {kCrVisible | kCrDisabled, gCr.flags0, "Visible sets bit 0, Enabled 0 sets bit 1"},
        {kCr1CauseValid | kCr1NoLoad, gCr.flags1, "CauseValid bit 3, LoadObject 0 bit 1"},
        {0x2345, gCr.objectId, "ObjectId cut to 16 bits"}, {2, gCr.dock, "Dock"}, {3, gCr.winType, "WinType"},
        {96, CreateRecordValue(&gCr, 250, -1), "DPI kept by id"}, {-1, CreateRecordValue(&gCr, 251, -1), "absent"},
        {1, gCr.decodeFlag, "flag kept"}, {5, gCr.fileVersion, "version kept"},
    };
    for (const Case& c : kCases) EXPECT_EQ(c.expect, c.actual) << c.why;
}

// Positions and sizes near the ends of the 32-bit range are held 2^24 units
// from zero, so the edges made of them and any small adjustment or scaling of
// them stay 32-bit numbers; values inside the bound are kept as given.
TEST(CrStream, FarPositionsAndSizesAreHeld) {
    constexpr int32_t kBound = 1 << 24;
    Stream s;
    s.Num(kPidTop, 2000000000).Num(kPidHeight, 1000000000).Num(kPidLeft, 0x80000000u)
        .Num(kPidWidth, 0xC0000000u);  // left -2^31, width -2^30
    ASSERT_TRUE(DecodeFormCrStream(s.b.data(), s.b.size(), 5, 1, &gCr));
    EXPECT_EQ(kBound, gCr.top);
    EXPECT_EQ(2 * kBound, gCr.bottom);
    EXPECT_EQ(-kBound, gCr.left);
    EXPECT_EQ(-2 * kBound, gCr.right);
    EXPECT_EQ(kBound, CreateRecordValue(&gCr, kPidHeight, 0)) << "the value by id agrees";
    Stream t;
    t.Num(kPidTop, static_cast<uint32_t>(-kBound)).Num(kPidHeight, kBound).Num(kPidWidth, 0xFFFFFFFFu);
    ASSERT_TRUE(DecodeFormCrStream(t.b.data(), t.b.size(), 5, 1, &gCr));
    EXPECT_EQ(-kBound, gCr.top);
    EXPECT_EQ(0, gCr.bottom);
    EXPECT_EQ(-1, gCr.width) << "a small negative size is kept";
}

TEST(CrStream, TextAndNamedRecords) {
    Stream s;
    s.Text(kPidTitle, "Hello").Text(kPidName, "OkBtn").Text(kPidUserData, "").Text(61, "x")
        .Named(0xC000, "Color", "red").Named(0xE000, "Layout", "<?xml a")
        .Named(0xF000, "Big", std::string(70000, 'x'), true);
    ASSERT_TRUE(DecodeFormCrStream(s.b.data(), s.b.size(), 5, 0, &gCr));
    EXPECT_EQ("Hello", Str(gCr.title));
    EXPECT_EQ("OkBtn", Str(gCr.name));
    EXPECT_EQ(0u, gCr.userData.length);
    EXPECT_EQ("x", Str(CreateRecordText(&gCr, 61)));
    ASSERT_EQ(3u, gCr.namedCount);
    EXPECT_STREQ("Color", gCr.named[0].name);
    EXPECT_EQ("red", std::string(reinterpret_cast<const char*>(gCr.named[0].data), gCr.named[0].length));
    EXPECT_FALSE(gCr.named[0].xml);
    EXPECT_TRUE(gCr.named[1].xml);
    EXPECT_EQ(70000u, gCr.named[2].length) << "the 0xF000 form carries the high half";
}

TEST(CrStream, MalformedStreamsAreRefused) {
    Stream whole;
    whole.Num(kPidTop, 1).Text(kPidTitle, "abc").Named(0xC000, "N", "dd");
    // Every cut inside a record is refused; cuts at record ends are whole streams.
    const size_t ends[] = {6, 6 + 4 + 3, whole.b.size()};
    for (size_t cut = 1; cut < whole.b.size(); ++cut) {
        bool atEnd = false;
        for (size_t e : ends) atEnd |= e == cut;
        EXPECT_EQ(atEnd, DecodeFormCrStream(whole.b.data(), cut, 5, 0, &gCr)) << "cut at " << cut;
    }
    struct Case { std::vector<uint8_t> bytes; const char* why; };
    const Case kCases[] = {
        {{0x01, 0x80, 0xFF, 0xFF, 'a'}, "text length past the end"},
        {{0x00, 0xC0, 0x00, 0x00}, "named record with a zero name length"},
        {{0x02, 0xC0, 0x00, 0x00, 'a', 'b'}, "name without its NUL"},
        {{0x02, 0xC0, 0x05, 0x00, 'a', 0x00, 'x'}, "named data past the end"},
        {{0x02, 0xF0, 0x00, 0x00, 0x01, 0x00, 'a', 0x00}, "long form whose high half runs past the end"},
    };
    for (const Case& c : kCases) EXPECT_FALSE(DecodeFormCrStream(c.bytes.data(), c.bytes.size(), 5, 0, &gCr)) << c.why;
}

}  // namespace
