// tiff_reference_test.cpp - TIFF files written by independent tools (libtiff's
// tiffcp, netpbm's pamtotiff, ImageMagick, Pillow) and Go's samples decode to
// the pixels libtiff's tiff2rgba gives, or are refused by the rule expected;
// fax runs of every length through modified Huffman and Group 4 decode
// exactly. Host build only: the tools run at test time.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

#include "graphics/image/imageload.h"
#include "graphics/image/tiff.h"
#include "image_testkit.h"
#include "raster_kit.h"
#include "session/util/mem.h"

std::string RequiredTestData(const std::string& sub) {
    const char* root = getenv("QOV_TESTDATA");
    std::string dir = root ? std::string(root) + "/tiffpcx/" + sub : "";
    if (dir.empty() || RunStatus("test -d '" + dir + "'") != 0) {
        ADD_FAILURE() << "set-up data tiffpcx/" << sub << " is missing: run scripts/setup.sh";
        return "";
    }
    return dir;
}

namespace {

enum { kG4 = 4, kWhiteIsZero = 0 };

bool ToolsPresent() {
    int rc = RunStatus("(command -v tiffcp && command -v tiff2rgba && command -v pamtotiff && "
                       "command -v convert && /usr/bin/python3 -c 'import PIL') >/dev/null 2>&1");
    if (rc != 0) ADD_FAILURE() << "libtiff-tools, netpbm, ImageMagick or python3-pil missing: run scripts/setup.sh";
    return rc == 0;
}

// libtiff's reading of a page (0-based) as top-down RGB.
Bytes ReferenceRgb(const std::string& tif, int page = 0) {
    std::string rgba = KitTempPath("rgba.tif");
    RunCommand("tiff2rgba -c none '" + tif + "' '" + rgba + "' 2>/dev/null");
    Bytes out = RunCommand("convert '" + rgba + "[" + std::to_string(page) + "]' -alpha off -depth 8 rgb:- 2>/dev/null");
    remove(rgba.c_str());
    return out;
}

// Decodes a file's page and compares it with the reference; answers the
// reader's result.
// tolerance: libtiff scales ColorMap values by >> 8, the reader by / 257 (the
// same for the multiples of 257 that most writers store, one less for some).
int CheckAgainstReference(const std::string& path, uint16_t page, const std::string& label, int tolerance = 0) {
    Bytes file = ReadFileBytes(path);
    EXPECT_FALSE(file.empty()) << label;
    DecodedImage img;
    int rc = TiffDecodeBuffer(file.data(), file.size(), page, &img, nullptr);
    LocalFreeMem(img.bits);
    if (rc != kTiffOk) return rc;
    uint32_t count = 0;
    EXPECT_EQ(DecodePage(kImgFormatTiff, file, page, &count), kImgOk) << label;
    EXPECT_LE(MaxDiff(StateToRgb(), ReferenceRgb(path, page - 1)), tolerance) << label;
    return rc;
}

std::string Reason(int rc) { return TiffRule(rc).reason; }

}  // namespace

TEST(TiffReference, GoSamplesDecodeOrAreRefusedByTheirRule) {
    std::string dir = RequiredTestData("gotiff");
    if (dir.empty() || !ToolsPresent()) return;
    struct Case { const char* file; int expect; };
    const Case cases[] = {
        {"blue-purple-pink.lzwcompressed.tiff", kTiffOk},
        {"bw-gopher_ccittGroup4.tiff", kTiffOk},
        {"bw-packbits.tiff", kTiffOk},
        {"bw-uncompressed.tiff", kTiffOk},
        {"video-001-gray.tiff", kTiffOk},             // grey in two strips
        {"video-001-uncompressed.tiff", kTiffOk},     // big-endian RGB
        {"bw-deflate.tiff", kTiffBadCompression},
        {"bw-gopher_ccittGroup3.tiff", kTiffBadCompression},
        {"video-001.tiff", kTiffBadCompression},      // deflate
        {"video-001-paletted.tiff", kTiffBadCompression},
        {"video-001-strip-64.tiff", kTiffBadCompression},
        {"video-001-tile-64x64.tiff", kTiffBadCompression},
        {"video-001-16bit.tiff", kTiffBadCompression},
        {"video-001-gray-16bit.tiff", kTiffBadBits},
        {"no_compress.tiff", kTiffBadSamples},        // four samples
        {"no_rps.tiff", kTiffBadSamples},
    };
    for (const Case& c : cases) {
        const std::string path = dir + "/" + c.file;
        int rc = CheckAgainstReference(path, 1, c.file);
        EXPECT_EQ(rc, c.expect) << c.file << ": \"" << Reason(rc) << "\", expected \"" << Reason(c.expect) << "\"";
        if (c.expect != kTiffOk) {
            EXPECT_EQ(DecodeBytes(kImgFormatTiff, ReadFileBytes(path)), kImgInvalid) << c.file;
        }
    }
}

// Go's raw Group 4 streams of its 153x55 gopher, each wrapped in a directory.
// Its "truncated" streams lack only the end-of-block codes after the last row
// (Go's own test reads the whole picture from them), so they decode; a stream
// cut inside its rows is refused.
TEST(TiffReference, GoGroup4StreamsMatchTheirPicture) {
    std::string dir = RequiredTestData("ccitt");
    if (dir.empty() || !ToolsPresent()) return;
    const Bytes picture = RunCommand("convert '" + dir + "/bw-gopher.png' -alpha off -depth 8 rgb:- 2>/dev/null");
    ASSERT_EQ(picture.size(), 153u * 55 * 3);
    Bytes inverted = picture;
    for (auto& v : inverted) v = uint8_t(255 - v);
    struct Case { const char* file; size_t keep; int expect; const Bytes* pixels; };
    const Case cases[] = {
        {"bw-gopher.ccitt_group4", 0, kTiffOk, &picture},
        {"bw-gopher-inverted.ccitt_group4", 0, kTiffOk, &inverted},
        {"bw-gopher-truncated0.ccitt_group4", 0, kTiffOk, &picture},
        {"bw-gopher-truncated1.ccitt_group4", 0, kTiffOk, &picture},
        {"bw-gopher.ccitt_group4", 100, kTiffFaxShortData, nullptr},
        {"bw-gopher-truncated1.ccitt_group4", 190, kTiffFaxShortData, nullptr},
    };
    for (const Case& c : cases) {
        Bytes stream = ReadFileBytes(dir + "/" + c.file);
        ASSERT_FALSE(stream.empty()) << c.file;
        if (c.keep) stream.resize(c.keep);
        const Bytes file = MakeTiff({{TiffImageFields(153, 55, 1, 1, kG4, kWhiteIsZero, 55, {uint32_t(stream.size())}),
                                      stream}});
        DecodedImage img;
        int rc = TiffDecodeBuffer(file.data(), file.size(), 1, &img, nullptr);
        LocalFreeMem(img.bits);
        EXPECT_EQ(rc, c.expect) << c.file << " (" << stream.size() << " bytes): \"" << Reason(rc) << "\"";
        if (!c.pixels) {
            EXPECT_EQ(DecodeBytes(kImgFormatTiff, file), kImgInvalid) << c.file;
            continue;
        }
        ASSERT_EQ(DecodeBytes(kImgFormatTiff, file), kImgOk) << c.file;
        EXPECT_EQ(MaxDiff(StateToRgb(), *c.pixels), 0) << c.file;
    }
}

// A bilevel and a colour picture rewritten by tiffcp in either byte order,
// every compression, bit order and strip height.
TEST(TiffReference, TiffcpVariantsMatchLibtiff) {
    std::string dir = RequiredTestData("gotiff");
    if (dir.empty() || !ToolsPresent()) return;
    struct Source { std::string path; std::vector<std::string> compressions; std::vector<std::string> fills; };
    const Source sources[] = {
        {dir + "/bw-uncompressed.tiff", {"none", "lzw", "packbits", "g4"}, {"", "-f lsb2msb"}},
        {dir + "/video-001-uncompressed.tiff", {"none", "lzw", "lzw:2", "packbits"}, {""}},
    };
    int checked = 0;
    for (const Source& s : sources) {
        for (const char* order : {"-L", "-B"}) {
            for (const auto& comp : s.compressions) {
                for (const auto& fill : s.fills) {
                    for (int rows : {1, 7, 64}) {
                        const std::string opts = std::string(order) + " -c " + comp + " " + fill + " -r " +
                                                 std::to_string(rows);
                        const std::string out = KitTempPath("variant.tif");
                        ASSERT_EQ(RunStatus("tiffcp " + opts + " '" + s.path + "' '" + out + "' 2>/dev/null"), 0)
                            << opts;
                        int rc = CheckAgainstReference(out, 1, s.path + " " + opts);
                        EXPECT_EQ(rc, kTiffOk) << s.path << " " << opts << ": \"" << Reason(rc) << "\"";
                        remove(out.c_str());
                        checked++;
                    }
                }
            }
        }
    }
    EXPECT_EQ(checked, 2 * 4 * 2 * 3 + 2 * 4 * 3);
}

TEST(TiffReference, ThreePagesCountedForEveryPage) {
    std::string dir = RequiredTestData("gotiff");
    if (dir.empty() || !ToolsPresent()) return;
    const std::string out = KitTempPath("three.tif");
    ASSERT_EQ(RunStatus("tiffcp -c g4 '" + dir + "/bw-uncompressed.tiff' '" + dir + "/bw-packbits.tiff' -c lzw '" + dir +
                        "/video-001-gray.tiff' '" + out + "' 2>/dev/null"), 0);
    const Bytes file = ReadFileBytes(out);
    for (uint16_t page = 1; page <= 4; page++) {
        uint32_t count = 0;
        int rc = DecodePage(kImgFormatTiff, file, page, &count);
        if (page == 4) {
            EXPECT_EQ(rc, kImgInvalid) << "page 4 of 3";
            continue;
        }
        ASSERT_EQ(rc, kImgOk) << "page " << page;
        EXPECT_EQ(count, 3u) << "page " << page;
        EXPECT_EQ(MaxDiff(StateToRgb(), ReferenceRgb(out, page - 1)), 0) << "page " << page;
    }
    remove(out.c_str());
}

// Modified Huffman (compression 2) has no command-line writer: Pillow's
// "tiff_ccitt" writes it, in either photometric.
TEST(TiffReference, ModifiedHuffmanFromPillow) {
    std::string dir = RequiredTestData("ccitt");
    if (dir.empty() || !ToolsPresent()) return;
    for (int photometric : {0, 1}) {
        const std::string out = KitTempPath("mh.tif");
        const std::string py = "from PIL import Image; Image.open('" + dir + "/bw-gopher.png').convert('1').save('" +
                               out + "', compression='tiff_ccitt', tiffinfo={262: " + std::to_string(photometric) +
                               "})";
        ASSERT_EQ(RunStatus("/usr/bin/python3 -c \"" + py + "\""), 0);
        const Bytes info = RunCommand("tiffinfo '" + out + "' 2>/dev/null");
        ASSERT_NE(std::string(info.begin(), info.end()).find("CCITT RLE"), std::string::npos);
        int rc = CheckAgainstReference(out, 1, "photometric " + std::to_string(photometric));
        EXPECT_EQ(rc, kTiffOk) << "photometric " << photometric << ": \"" << Reason(rc) << "\"";
        remove(out.c_str());
    }
}

// Grey of 2, 4 and 8 bits and palette pictures as netpbm and ImageMagick
// write them.
TEST(TiffReference, GreyAndPaletteFromNetpbmAndImageMagick) {
    std::string dir = RequiredTestData("gotiff");
    if (dir.empty() || !ToolsPresent()) return;
    const std::string src = dir + "/video-001-uncompressed.tiff";
    const std::string pgm = KitTempPath("grey.pgm"), ppm = KitTempPath("c16.ppm");
    RunCommand("convert '" + src + "' -colorspace gray -depth 8 pgm:'" + pgm + "'");
    RunCommand("convert '" + src + "' -colors 16 ppm:'" + ppm + "'");
    struct Case { const char* name; std::string command; int tolerance = 0; };
    const Case cases[] = {
        {"pamtotiff 2-bit grey", "pamdepth 3 '" + pgm + "' | pamtotiff"},
        {"pamtotiff 4-bit grey", "pamdepth 15 '" + pgm + "' | pamtotiff"},
        {"pamtotiff 8-bit grey", "pamtotiff '" + pgm + "'"},
        {"pamtotiff 8-bit palette", "pamtotiff '" + ppm + "'"},
        {"pamtotiff 8-bit grey, LZW", "pamtotiff -lzw '" + pgm + "'"},
        {"ImageMagick 2-bit grey", "convert '" + src + "' -colorspace gray -depth 2 -compress none tif:-"},
        {"ImageMagick 4-bit grey", "convert '" + src + "' -colorspace gray -depth 4 -compress none tif:-"},
        {"ImageMagick 4-bit palette", "convert '" + src + "' -colors 16 -type palette tif:-", 1},
        {"ImageMagick 8-bit palette", "convert '" + src + "' -colors 200 -type palette tif:-", 1},
    };
    for (const Case& c : cases) {
        const std::string out = KitTempPath("grey.tif");
        ASSERT_EQ(RunStatus(c.command + " > '" + out + "' 2>/dev/null"), 0) << c.name;
        int rc = CheckAgainstReference(out, 1, c.name, c.tolerance);
        EXPECT_EQ(rc, kTiffOk) << c.name << ": \"" << Reason(rc) << "\"";
        remove(out.c_str());
    }
    remove(pgm.c_str());
    remove(ppm.c_str());
}

// Noise leaves LZW few repeats, so its table fills and is cleared many times.
TEST(TiffReference, NoisyLzwDecodesExactly) {
    if (!ToolsPresent()) return;
    const uint32_t side = 1000;
    Bytes noise(size_t(side) * side);
    std::mt19937 rng(7);
    for (auto& v : noise) v = uint8_t(rng() >> 24);
    const std::string pgm = KitTempPath("noise.pgm"), out = KitTempPath("noise.tif");
    ASSERT_TRUE(WriteFileBytes(pgm, MakePnm(side, side, 1, noise)));
    ASSERT_EQ(RunStatus("pamtotiff -lzw '" + pgm + "' > '" + out + "' 2>/dev/null"), 0);
    ASSERT_EQ(DecodeBytes(kImgFormatTiff, ReadFileBytes(out)), kImgOk);
    Bytes expect;
    expect.reserve(noise.size() * 3);
    for (uint8_t v : noise) expect.insert(expect.end(), 3, v);
    EXPECT_TRUE(StateToRgb() == expect);
    remove(pgm.c_str());
    remove(out.c_str());
}

// A chart whose rows hold a white run of every length 0..2623 followed by a
// black run one longer, between all-white rows so that Group 4 codes them
// horizontally: every terminating, make-up and extended make-up code of both
// colours is read.
TEST(TiffReference, RunLengthChartThroughModifiedHuffmanAndGroup4) {
    if (!ToolsPresent()) return;
    const uint32_t runs = 2624, width = 2 * runs + 1, height = 2 * runs, rowBytes = (width + 7) / 8;
    Bytes packed(size_t(rowBytes) * height, 0);
    for (uint32_t i = 0; i < runs; i++) {
        uint8_t* row = &packed[size_t(2 * i) * rowBytes];
        for (uint32_t x = i; x < 2 * i + 1; x++) row[x / 8] |= uint8_t(0x80 >> (x % 8));
    }
    const std::string pbm = KitTempPath("chart.pbm"), plain = KitTempPath("chart.tif");
    ASSERT_TRUE(WriteFileBytes(pbm, MakePbm(width, height, packed)));
    ASSERT_EQ(RunStatus("pamtotiff -miniswhite '" + pbm + "' > '" + plain + "' 2>/dev/null"), 0);
    struct Case { const char* name; std::string command; };
    const std::string out = KitTempPath("chart-coded.tif");
    const Case cases[] = {
        {"Group 4", "tiffcp -c g4 '" + plain + "' '" + out + "'"},
        {"Group 4, big-endian, strips of 100 rows", "tiffcp -B -r 100 -c g4 '" + plain + "' '" + out + "'"},
        {"modified Huffman", "/usr/bin/python3 -c \"from PIL import Image; Image.open('" + pbm +
                                 "').save('" + out + "', compression='tiff_ccitt', tiffinfo={262: 0})\""},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(RunStatus(c.command + " 2>/dev/null"), 0) << c.name;
        const Bytes file = ReadFileBytes(out);
        DecodedImage img;
        int rc = TiffDecodeBuffer(file.data(), file.size(), 1, &img, nullptr);
        ASSERT_EQ(rc, kTiffOk) << c.name << ": \"" << Reason(rc) << "\"";
        ASSERT_EQ(img.header.biBitCount, 1);
        // Black is 1 in the chart and, with WhiteIsZero, in the DIB.
        const size_t stride = ((width + 31) / 32) * 4;
        bool same = true;
        for (uint32_t y = 0; y < height && same; y++)
            same = memcmp(img.bits + size_t(height - 1 - y) * stride, &packed[size_t(y) * rowBytes], rowBytes) == 0;
        EXPECT_TRUE(same) << c.name;
        EXPECT_EQ(img.colors[1].rgbRed, 0) << c.name;
        LocalFreeMem(img.bits);
    }
    remove(pbm.c_str());
    remove(plain.c_str());
    remove(out.c_str());
}

// A Group 4 row with a change on a0 and a strip of old-style LZW codes, as
// fax machines and pre-1991 writers store them: ImageMagick's pixels.
TEST(TiffReference, ZeroLengthFaxRunAndOldStyleLzwMatchImageMagick) {
    if (!ToolsPresent()) return;
    enum { kLzw = 5, kBlackIsZero = 1 };
    struct Case { const char* name; Bytes file; };
    const Case cases[] = {
        {"Group 4 VL1 onto a0", MakeTiff({{TiffImageFields(4, 1, 1, 1, kG4, kWhiteIsZero, 1, {3}), {0x30, 0x1B, 0xA8}}})},
        {"old-style LZW", MakeTiff({{TiffImageFields(4, 1, 8, 1, kLzw, kBlackIsZero, 1, {7}),
                                     {0x00, 0x81, 0x00, 0x02, 0xF6, 0x2F, 0x20}}})},
    };
    const std::string path = KitTempPath("writers.tif");
    for (const Case& c : cases) {
        ASSERT_TRUE(WriteFileBytes(path, c.file));
        const Bytes reference = RunCommand("convert '" + path + "' -depth 8 rgb:- 2>/dev/null");
        ASSERT_EQ(reference.size(), 12u) << c.name;
        ASSERT_EQ(DecodeBytes(kImgFormatTiff, c.file), kImgOk) << c.name;
        EXPECT_EQ(StateToRgb(), reference) << c.name;
    }
    remove(path.c_str());
}
