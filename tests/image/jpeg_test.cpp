// jpeg_test.cpp - JPEG reading: colour spaces against a bare libjpeg decode,
// truncated data and hostile headers.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

#include <jpeglib.h>

#include "graphics/image/imageload.h"
#include "graphics/image/jpeg.h"
#include "image_testkit.h"
#include "session/util/mem.h"
#include "tests/testutil.h"

namespace {

Bytes Gradient(uint32_t w, uint32_t h, int components) {
    Bytes p(size_t(w) * h * components);
    for (uint32_t y = 0; y < h; y++)
        for (uint32_t x = 0; x < w; x++)
            for (int c = 0; c < components; c++)
                p[(size_t(y) * w + x) * components + c] = uint8_t(x * 7 + y * 3 + c * 60);
    return p;
}

// The library's own output, top-down, in its native colour space.
Bytes BareDecode(const Bytes& jpg, int* components) {
    jpeg_decompress_struct c;
    jpeg_error_mgr err;
    c.err = jpeg_std_error(&err);
    jpeg_create_decompress(&c);
    jpeg_mem_src(&c, jpg.data(), jpg.size());
    jpeg_read_header(&c, TRUE);
    jpeg_start_decompress(&c);
    *components = c.output_components;
    Bytes out(size_t(c.output_width) * c.output_height * c.output_components);
    while (c.output_scanline < c.output_height) {
        JSAMPROW row = out.data() + size_t(c.output_scanline) * c.output_width * c.output_components;
        jpeg_read_scanlines(&c, &row, 1);
    }
    jpeg_finish_decompress(&c);
    jpeg_destroy_decompress(&c);
    return out;
}

// The inverted-CMYK rule, v = (1 - C/255)(1 - k) + k with k = 1 - K/255 and
// output (1 - v) x 255 truncated, worked in exact fractions: C x K / 255.
Bytes CmykToRgb(const Bytes& cmyk) {
    Bytes rgb;
    for (size_t i = 0; i < cmyk.size(); i += 4)
        for (int ch = 0; ch < 3; ch++) rgb.push_back(uint8_t(cmyk[i + ch] * cmyk[i + 3] / 255));
    return rgb;
}

// Two components of no named colour space, written by the library itself.
Bytes TwoComponentJpeg() {
    const uint8_t row[16] = {};
    return WriteJpegWith(
        [](jpeg_compress_struct* c) {
            c->image_width = 8;
            c->image_height = 8;
            c->input_components = 2;
            c->in_color_space = JCS_UNKNOWN;
            jpeg_set_defaults(c);
        },
        row, 0);
}

// A progressive grey picture in (dcBits + 1) DC scans and (acBits + 1)
// scans of each of the 63 AC coefficients (successive approximation of
// dcBits and acBits low bits), written by the library from its scan script.
Bytes ProgressiveGreyInScans(int dcBits, int acBits) {
    constexpr int kSide = 16, kAcCoefficients = 63;
    std::vector<jpeg_scan_info> script;
    for (int al = dcBits; al >= 0; al--) script.push_back({1, {0}, 0, 0, al == dcBits ? 0 : al + 1, al});
    for (int k = 1; k <= kAcCoefficients; k++)
        for (int al = acBits; al >= 0; al--) script.push_back({1, {0}, k, k, al == acBits ? 0 : al + 1, al});
    const Bytes pixels = Gradient(kSide, kSide, 1);
    return WriteJpegWith(
        [&](jpeg_compress_struct* c) {
            c->image_width = c->image_height = kSide;
            c->input_components = 1;
            c->in_color_space = JCS_GRAYSCALE;
            jpeg_set_defaults(c);
            c->scan_info = script.data();
            c->num_scans = int(script.size());
        },
        pixels.data(), kSide);
}

// The start-of-scan markers of a file the library wrote (no 0xFF 0xDA stands
// inside its entropy-coded data, where every 0xFF is followed by 0).
size_t ScanMarkers(const Bytes& jpg) {
    size_t n = 0;
    for (size_t i = 0; i + 1 < jpg.size(); i++) n += jpg[i] == 0xFF && jpg[i + 1] == 0xDA;
    return n;
}

}  // namespace

TEST(Jpeg, ColourSpacesMatchTheBareLibraryDecode) {
    struct Case {
        int components;
        bool progressive, subsampled;
        int bitCount;
        const char* why;
    } cases[] = {
        {3, false, true, 24, "baseline 4:2:0 RGB becomes 24 bits"},
        {3, true, false, 24, "progressive RGB"},
        {1, false, false, 8, "greyscale becomes 8 bits with a grey ramp"},
        {4, false, false, 24, "CMYK becomes 24 bits"},
    };
    for (const auto& c : cases) {
        Bytes jpg = MakeJpeg(45, 27, c.components, Gradient(45, 27, c.components), 90, c.progressive, c.subsampled);
        ASSERT_EQ(DecodeBytes(kImgFormatJpeg, jpg), kImgOk) << c.why;
        EXPECT_EQ(gImageDecodeState.header.biBitCount, c.bitCount) << c.why;
        int comps = 0;
        Bytes bare = BareDecode(jpg, &comps);
        Bytes expect;
        if (comps == 3) expect = bare;
        else if (comps == 4) expect = CmykToRgb(bare);
        else for (uint8_t g : bare) expect.insert(expect.end(), {g, g, g});
        EXPECT_EQ(MaxDiff(StateToRgb(), expect), 0) << c.why;
        if (c.bitCount == 8) {
            EXPECT_EQ(gImageDecodeState.header.biClrUsed, 256u);
            EXPECT_EQ(gImageDecodeState.colors[200].rgbGreen, 200);
        }
    }
}

// Refusals come before the work they spare: 200,000 scans are refused as
// they are read (reading all of them would take minutes), a bound the test's
// own time limit holds (tests/image/CMakeLists.txt). The scan limit is pinned
// by a pair of valid files the library writes: 256 scans decode, 257 do not.
TEST(Jpeg, TruncatedAndHostileDataAreRefusedByTheirRule) {
    Bytes jpg = MakeJpeg(64, 64, 3, Gradient(64, 64, 3), 90, false);
    // Cut before the end marker: the rows read so far, the rest of a grey fill.
    Bytes cut(jpg.begin(), jpg.begin() + jpg.size() / 2);
    ASSERT_EQ(DecodeBytes(kImgFormatJpeg, cut), kImgOk);
    Bytes rgb = StateToRgb();
    int comps;
    Bytes bare = BareDecode(jpg, &comps);
    EXPECT_EQ(MaxDiff(Bytes(rgb.begin(), rgb.begin() + 64 * 3 * 8), Bytes(bare.begin(), bare.begin() + 64 * 3 * 8)), 0);

    // A small file whose frame header declares 65500 x 65500.
    Bytes huge = jpg;
    for (size_t i = 2; i + 8 < huge.size(); i++) {
        if (huge[i] == 0xFF && huge[i + 1] == 0xC0) {
            huge[i + 5] = huge[i + 7] = 0xFF;
            huge[i + 6] = huge[i + 8] = 0xDC;
            break;
        }
    }
    huge.resize(1024);
    ASSERT_TRUE(JpegIsImage(huge.data(), huge.size())) << "the header itself is readable";
    // The frame header's sample precision made 12 bits.
    Bytes twelve = jpg;
    for (size_t i = 2; i + 4 < twelve.size(); i++) {
        if (twelve[i] == 0xFF && twelve[i + 1] == 0xC0) {
            twelve[i + 4] = 12;
            break;
        }
    }
    // A progressive file whose second scan asks for coefficients 60..2:
    // the header reads, the scans do not.
    Bytes progressive = MakeJpeg(64, 64, 3, Gradient(64, 64, 3), 90, true);
    Bytes badScan = progressive;
    for (size_t i = 2, seen = 0; i + 8 < badScan.size(); i++) {
        if (badScan[i] == 0xFF && badScan[i + 1] == 0xDA && ++seen == 2) {
            size_t scanComps = badScan[i + 4];
            badScan[i + 5 + 2 * scanComps] = 60;
            badScan[i + 6 + 2 * scanComps] = 2;
            break;
        }
    }
    // 200,000 scan headers without data over a 4000 x 4000 picture (3.2 MB):
    // each scan would be a pass over every coefficient.
    const Bytes manyScans = JpegHeadersWithoutData(4000, 4000, true, 200000);
    const Bytes scans256 = ProgressiveGreyInScans(3, 3), scans257 = ProgressiveGreyInScans(4, 3);
    ASSERT_EQ(ScanMarkers(scans256), 256u);
    ASSERT_EQ(ScanMarkers(scans257), 257u);
    struct Case {
        Bytes file;
        int reason;  // the JpegResult of the rule that must refuse the file
        const char* why;
    } cases[] = {
        {jpg, kJpegOk, "a plain file decodes"},
        {huge, kJpegTooLarge, "65500 x 65500 in 1 KB is refused before any allocation"},
        {Bytes(jpg.begin(), jpg.begin() + 2), kJpegBadHeader, "a bare start marker is refused"},
        {Bytes{0xFF}, kJpegBadHeader, "one byte is refused"},
        {Bytes(100, 0x55), kJpegBadHeader, "no JPEG markers"},
        {twelve, kJpegBadPrecision, "12-bit samples are refused"},
        {TwoComponentJpeg(), kJpegBadColourSpace, "two components have no colour space to show"},
        {badScan, kJpegBadData, "a scan with impossible coefficients fails in the data"},
        {manyScans, kJpegTooManyScans, "200,000 scans are refused"},
        {JpegHeadersWithoutData(64, 64, true, 200), kJpegOk, "200 scans decode"},
        {scans256, kJpegOk, "a valid file of 256 scans decodes"},
        {scans257, kJpegTooManyScans, "a valid file of 257 scans is refused"},
    };
    for (const auto& c : cases) {
        DecodedImage img;
        int rc = JpegDecodeBuffer(c.file.data(), c.file.size(), &img);
        EXPECT_EQ(rc, c.reason) << c.why << ": refused by \"" << JpegRule(rc).reason << "\"";
        EXPECT_EQ(img.bits == nullptr, rc != kJpegOk) << c.why;
        LocalFreeMem(img.bits);
        EXPECT_EQ(DecodeBytes(kImgFormatJpeg, c.file), JpegRule(c.reason).loaderCode) << c.why;
    }
    DecodedImage none;
    EXPECT_EQ(JpegDecodeBuffer(nullptr, 0, &none), kJpegNoData);
    EXPECT_EQ(JpegDecodeBuffer(jpg.data(), 0, &none), kJpegNoData);

    // A progressive file keeps every coefficient of the picture: with the cap
    // above the rows but below that, the library's memory is what runs out.
    {
        ScopedSet<uint64_t> cap(gImageByteCap);
        gImageByteCap = 64 * 64 * 3 + 1024;
        DecodedImage img;
        EXPECT_EQ(JpegDecodeBuffer(progressive.data(), progressive.size(), &img), kJpegLibraryMemory);
        EXPECT_EQ(JpegDecodeBuffer(jpg.data(), jpg.size(), &img), kJpegOk) << "a baseline file streams its rows";
        LocalFreeMem(img.bits);
    }
    gImageDecodeState.sourcePos = nullptr;
    gImageDecodeState.sourceSize = 0;
    EXPECT_EQ(JpegDecode(), kImgInvalid) << "an empty source";

    EXPECT_TRUE(JpegIsImage(jpg.data(), jpg.size()));
    EXPECT_TRUE(JpegIsImage(cut.data(), 700)) << "the header alone is enough";
    EXPECT_FALSE(JpegIsImage(jpg.data(), 20));
    EXPECT_FALSE(JpegIsImage(nullptr, 0));
}
