// pcx_reference_test.cpp - PCX files written by netpbm's ppmtopcx and by
// ImageMagick, and the pages of an ImageMagick DCX, decode to the pixels of
// netpbm's pcxtoppm. Host build only: the tools run at test time.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "graphics/image/imageload.h"
#include "graphics/image/pcx.h"
#include "image_testkit.h"
#include "raster_kit.h"
#include "session/util/mem.h"

namespace {

bool ToolsPresent() {
    int rc = RunStatus("(command -v ppmtopcx && command -v pcxtoppm && command -v convert) >/dev/null 2>&1");
    if (rc != 0) ADD_FAILURE() << "netpbm or ImageMagick missing: run scripts/setup.sh";
    return rc == 0;
}

Bytes PcxToPpmRgb(const std::string& pcx) {
    return RunCommand("pcxtoppm '" + pcx + "' 2>/dev/null | convert ppm:- -depth 8 rgb:- 2>/dev/null");
}

uint32_t Le32(const Bytes& f, size_t at) {
    return f[at] | (f[at + 1] << 8) | (f[at + 2] << 16) | (uint32_t(f[at + 3]) << 24);
}

}  // namespace

TEST(PcxReference, NetpbmAndImageMagickFilesMatchPcxtoppm) {
    std::string dir = RequiredTestData("gotiff");
    if (dir.empty() || !ToolsPresent()) return;
    const std::string src = dir + "/video-001-uncompressed.tiff";
    const std::string ppm = KitTempPath("src.ppm");
    auto quantised = [&](int colors) {
        return "convert '" + src + "' -colors " + std::to_string(colors) + " ppm:- | ";
    };
    RunCommand("convert '" + src + "' ppm:'" + ppm + "'");
    struct Case { const char* name; std::string command; uint16_t bitCount; };
    const Case cases[] = {
        {"ppmtopcx -planes 1", quantised(2) + "ppmtopcx -planes 1", 1},
        {"ppmtopcx -planes 3", quantised(8) + "ppmtopcx -planes 3", 4},
        {"ppmtopcx -planes 4", quantised(16) + "ppmtopcx -planes 4", 4},
        {"ppmtopcx -packed", quantised(16) + "ppmtopcx -packed", 4},
        {"ppmtopcx -8bit", quantised(200) + "ppmtopcx -8bit", 8},
        {"ppmtopcx -24bit", "ppmtopcx -24bit '" + ppm + "'", 24},
        {"ImageMagick 1-bit", "convert '" + src + "' -colors 2 -type palette -depth 1 pcx:-", 1},
        {"ImageMagick 16 colours", "convert '" + src + "' -colors 16 -type palette pcx:-", 8},
        {"ImageMagick 256 colours, version 5", "convert '" + src + "' -colors 200 -type palette pcx:-", 8},
        {"ImageMagick 24-bit", "convert '" + src + "' pcx:-", 24},
    };
    for (const Case& c : cases) {
        const std::string out = KitTempPath("variant.pcx");
        ASSERT_EQ(RunStatus(c.command + " > '" + out + "' 2>/dev/null"), 0) << c.name;
        const Bytes file = ReadFileBytes(out);
        DecodedImage img;
        int rc = PcxDecodeBuffer(file.data(), file.size(), 1, &img, nullptr);
        LocalFreeMem(img.bits);
        ASSERT_EQ(rc, kPcxOk) << c.name << ": \"" << PcxRule(rc).reason << "\"";
        ASSERT_EQ(DecodeBytes(kImgFormatPcx, file), kImgOk) << c.name;
        EXPECT_EQ(gImageDecodeState.header.biBitCount, c.bitCount) << c.name;
        EXPECT_EQ(MaxDiff(StateToRgb(), PcxToPpmRgb(out)), 0) << c.name;
        remove(out.c_str());
    }
    remove(ppm.c_str());
}

// ImageMagick's three-page DCX: each page against pcxtoppm of its own bytes.
TEST(PcxReference, DcxPagesMatchPcxtoppm) {
    std::string dir = RequiredTestData("gotiff");
    if (dir.empty() || !ToolsPresent()) return;
    const std::string dcx = KitTempPath("three.dcx");
    ASSERT_EQ(RunStatus("convert '" + dir + "/video-001-uncompressed.tiff' '" + dir + "/bw-uncompressed.tiff' '" + dir +
                        "/video-001-gray.tiff' '" + dcx + "' 2>/dev/null"), 0);
    const Bytes file = ReadFileBytes(dcx);
    ASSERT_GT(file.size(), 16u);
    ASSERT_EQ(Le32(file, 0), kDcxMagic);
    for (uint16_t page = 0; page <= 4; page++) {
        uint32_t count = 0;
        int rc = DecodePage(kImgFormatPcx, file, page, &count);
        EXPECT_EQ(count, 3u) << "page " << page;
        if (page == 4) {
            EXPECT_EQ(rc, kImgInvalid) << "page 4 of 3";
            continue;
        }
        ASSERT_EQ(rc, kImgOk) << "page " << page;
        const uint16_t index = page ? page - 1 : 0;
        const uint32_t start = Le32(file, 4 + index * 4u), next = Le32(file, 8 + index * 4u);
        const std::string one = KitTempPath("page.pcx");
        WriteFileBytes(one, Bytes(file.begin() + start, next ? file.begin() + next : file.end()));
        EXPECT_EQ(MaxDiff(StateToRgb(), PcxToPpmRgb(one)), 0) << "page " << page;
        remove(one.c_str());
    }
    remove(dcx.c_str());
}
