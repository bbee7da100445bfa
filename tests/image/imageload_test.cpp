// imageload_test.cpp - the sources: memory blocks, client files, server files
// through the session hook, extensions and format probing; the decoders' rule tables.
#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "graphics/image/bmp.h"
#include "graphics/image/gif.h"
#include "graphics/image/imageload.h"
#include "graphics/image/jpeg.h"
#include "graphics/image/png.h"
#include "image_testkit.h"
#include "tests/testutil.h"

namespace {

Bytes SmallGif() {
    GifSpec s;
    s.width = 3;
    s.height = 2;
    s.globalTable = {0, 0, 0, 255, 255, 255};
    return MakeGif(s, {0, 1, 0, 1, 0, 1});
}
Bytes SmallPng() { return MakePng(2, 1, 8, 2, {1, 2, 3, 4, 5, 6}); }
Bytes SmallBmp(bool fileHeader) { return MakeBmp(InfoHeader(1, 1, 24, BI_RGB), {}, {1, 2, 3, 0}, fileHeader); }

std::string TempPath(const char* name) {
    const char* dir = getenv("TMPDIR");
    return std::string(dir ? dir : "/tmp") + "/qov_image_" + name;
}

int gFreed;
const uint8_t* gServed;
Bytes gServerFile;
bool ServeFile(uint32_t* size, const char* name, const uint8_t** data, uint16_t, uint32_t*, int mode) {
    if (std::string(name) != "pic.bmp" || mode != 1) return false;
    gServed = gServerFile.data();
    *data = gServed;
    *size = uint32_t(gServerFile.size());
    return true;
}
void FreeServed(const uint8_t* data) { gFreed += data == gServed; }

}  // namespace

TEST(ImageLoad, FormatCodesFromNamesAndContent) {
    struct { const char* name; int code; } names[] = {
        {"a.BMP", kImgFormatBmp}, {"a.bmp", kImgFormatBmp}, {"a.Bmp", kImgFormatUnknown},
        {"a.gif", kImgFormatGif}, {"a.PCX", kImgFormatPcx}, {"a.tif", kImgFormatTiff},
        {"a.tiff", kImgFormatUnknown}, {"a.jpeg", kImgFormatUnknown}, {"a.JPG", kImgFormatJpeg},
        {"x.png", kImgFormatPng}, {"png", kImgFormatUnknown},
    };
    for (const auto& n : names) EXPECT_EQ(ImageFormatFromName(n.name), n.code) << n.name;

    Bytes jpg = MakeJpeg(8, 8, 1, Bytes(64, 9), 80, false);
    struct { Bytes data; int expected, found; const char* why; } probes[] = {
        {SmallGif(), kImgFormatPng, kImgFormatGif, "a GIF named .png is found as GIF"},
        {SmallBmp(false), kImgFormatUnknown, kImgFormatBmp, "a bare DIB is found as BMP"},
        {SmallPng(), kImgFormatUnknown, kImgFormatPng, "PNG signature"},
        {jpg, kImgFormatBmp, kImgFormatJpeg, "JPEG header"},
        {{'I', 'I', 42, 0, 8, 0}, kImgFormatUnknown, kImgFormatTiff, "little-endian TIFF"},
        {{'M', 'M', 0, 42, 0, 8}, kImgFormatUnknown, kImgFormatTiff, "big-endian TIFF"},
        {{10, 5, 1, 8}, kImgFormatUnknown, kImgFormatPcx, "PCX manufacturer byte"},
        {{0xB1, 0x68, 0xDE, 0x3A, 0, 0, 0, 0}, kImgFormatPcx, kImgFormatPcx, "DCX magic"},
        {{'x', 'y', 'z', 0}, kImgFormatUnknown, kImgFormatUnknown, "nothing matches"},
    };
    for (const auto& p : probes) {
        gImageDecodeState.sourcePos = p.data.data();
        gImageDecodeState.sourceSize = uint32_t(p.data.size());
        EXPECT_EQ(ImageDetectFormat(p.expected), p.found) << p.why;
    }
}

TEST(ImageLoad, MemoryBlocks) {
    const uint8_t two[2] = {4, 1};
    EXPECT_EQ(ImageLoadFromMemory(two, 2, nullptr, 1), kImgInvalid) << "2 bytes";
    EXPECT_EQ(DecodeBytes(0, SmallBmp(true)), kImgInvalid) << "format byte 0";
    EXPECT_EQ(DecodeBytes(7, SmallBmp(true)), kImgInvalid) << "format byte 7";
    EXPECT_EQ(DecodeBytes(kImgFormatPcx, SmallBmp(true)), kImgInvalid) << "not a PCX picture";
    EXPECT_EQ(DecodeBytes(kImgFormatBmp, SmallGif()), kImgInvalid) << "no probing for memory blocks";
    EXPECT_EQ(DecodeBytes(kImgFormatBmp, SmallBmp(true)), kImgOk);
}

TEST(ImageLoad, ClientAndServerFiles) {
    struct { const char* file; Bytes data; int expect; int format; const char* why; } files[] = {
        {"a.png", SmallGif(), kImgOk, kImgFormatGif, "content beats the extension"},
        {"b.Bmp", SmallBmp(false), kImgOk, kImgFormatBmp, "a bare DIB under a mixed-case name"},
        {"c.Bmp", {1, 2, 3, 4, 5}, kImgInvalid, kImgFormatUnknown, "an unknown file is read as BMP and fails"},
        {"d.jpg", SmallPng(), kImgOk, kImgFormatPng, "PNG under .jpg"},
    };
    for (const auto& f : files) {
        std::string path = TempPath(f.file);
        ASSERT_TRUE(WriteFileBytes(path, f.data));
        EXPECT_EQ(ImageLoadFromFile(("!" + path).c_str(), nullptr, 1), f.expect) << f.why;
        EXPECT_EQ(gImageFormatCode, f.format) << f.why;
        remove(path.c_str());
    }
    EXPECT_EQ(ImageLoadFromFile(std::string("!").append(TempPath("missing.bmp")).c_str(), nullptr, 1), kImgNotOpened);
    EXPECT_EQ(ImageLoadFromFile(nullptr, nullptr, 1), kImgNotOpened) << "no dialog: cancelled";
    EXPECT_EQ(ImageLoadFromFile("pic.bmp", nullptr, 1), kImgNotOpened) << "no session yet: not fetched";

    ScopedSet hooks(gImageLoadHooks);
    gImageLoadHooks.fetch = ServeFile;
    gImageLoadHooks.freeData = FreeServed;
    gServerFile = SmallBmp(true);
    gFreed = 0;
    EXPECT_EQ(ImageLoadFromFile("?pic.bmp", nullptr, 1), kImgOk) << "'?' selects fetch mode 1";
    EXPECT_EQ(gFreed, 1) << "the server block goes back to the session";
    EXPECT_EQ(gImageDecodeState.header.biWidth, 1);

    // A file is held whole while it is decoded: with the picture it must fit
    // the ceiling (1 MiB here). A 600 KB BMP would hold 1.2 MB, its picture
    // alone fits: refused, from the client or from the server.
    ScopedSet<uint64_t> cap(gImageByteCap);
    gImageByteCap = 1u << 20;
    const Bytes fits = MakeBmp(InfoHeader(256, 500, 24, BI_RGB), {}, Bytes(256 * 500 * 3, 7), true);
    const Bytes twice = MakeBmp(InfoHeader(256, 800, 24, BI_RGB), {}, Bytes(256 * 800 * 3, 7), true);
    const std::string path = TempPath("held.bmp");
    for (const Bytes* file : {&fits, &twice}) {
        const int expect = file == &fits ? kImgOk : kImgNoMemory;
        ASSERT_TRUE(WriteFileBytes(path, *file));
        EXPECT_EQ(ImageLoadFromFile(("!" + path).c_str(), nullptr, 1), expect) << file->size() << " bytes, a client file";
        gServerFile = *file;
        EXPECT_EQ(ImageLoadFromFile("?pic.bmp", nullptr, 1), expect) << file->size() << " bytes, a server file";
        EXPECT_EQ(gImageByteCap, 1u << 20) << "the ceiling is the same after the decode";
    }
    remove(path.c_str());
}

TEST(ImageCore, EveryRuleHasItsOwnReasonAndOnlySuccessReadsAsSuccess) {
    struct Decoder {
        const char* name;
        const DecodeRule& (*rule)(int);
        int count;
        std::set<int> unused;  // results the decoder never answers
    } decoders[] = {
        {"BMP", BmpRule, kBmpResultCount, {}},
        {"GIF", GifRule, kGifResultCount, {}},
        {"JPEG", JpegRule, kJpegResultCount, {}},
        {"PNG", PngRule, kPngResultCount, {3, 7}},
    };
    for (const auto& d : decoders) {
        EXPECT_EQ(d.rule(0).loaderCode, kImgOk) << d.name;
        std::set<std::string> reasons;
        for (int r = 1; r < d.count; r++) {
            if (d.unused.count(r)) continue;
            const DecodeRule& rule = d.rule(r);
            EXPECT_TRUE(rule.loaderCode == kImgInvalid || rule.loaderCode == kImgNoMemory) << d.name << " " << r;
            ASSERT_NE(rule.reason, nullptr) << d.name << " " << r;
            EXPECT_TRUE(reasons.insert(rule.reason).second) << d.name << " " << r << " repeats \"" << rule.reason << "\"";
        }
        // A result outside the table never reads as success.
        for (int stray : {-1, d.count, 1000}) EXPECT_EQ(d.rule(stray).loaderCode, kImgInvalid) << d.name << " " << stray;
    }
}

// Every refused decode tells the loaders' hook its code and reason (the
// start-up wiring puts them in the debug log); a decoded picture tells nothing.
TEST(ImageLoad, RefusalsTellTheirReason) {
    static std::vector<std::pair<int, std::string>> told;
    const auto saved = gImageLoadHooks.refused;
    gImageLoadHooks.refused = [](int code, const char* reason) { told.push_back({code, reason}); };
    told.clear();
    Bytes bmp = MakeBmp(InfoHeader(1, 1, 24, BI_RGB), {}, {1, 2, 3, 0});
    EXPECT_EQ(DecodeBytes(kImgFormatBmp, bmp), kImgOk);
    EXPECT_TRUE(told.empty());
    bmp[14] = 13;  // no header is 13 bytes long
    EXPECT_EQ(DecodeBytes(kImgFormatBmp, bmp), kImgInvalid);
    gImageLoadHooks.refused = saved;
    ASSERT_EQ(told.size(), 1u);
    EXPECT_EQ(told[0].first, kImgInvalid);
    EXPECT_EQ(told[0].second, "the header size is not 12, 40, 108 or 124");
}
