// reference_test.cpp - every sample picture of the set-up data decodes to the
// pixels of an independent decoder (ImageMagick) or is refused with its code;
// the BMP samples, generated BMP variants and the BMP writer's files are
// checked the same way. Missing set-up data fails the test.
// Host build only: ImageMagick runs at test time.
#include <gtest/gtest.h>

#include <dirent.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>

#include "graphics/image/bmp.h"
#include "graphics/image/dibutil.h"
#include "graphics/image/imageload.h"
#include "graphics/image/png.h"
#include "image_testkit.h"
#include "session/util/mem.h"

namespace {

// The forced picture background: red 0x80, green 0x40, blue 0x20.
constexpr uint32_t kBackground = 0x00204080;
const char* kBackgroundArg = "-background 'rgb(128,64,32)'";

std::vector<std::string> Files(const std::string& dir, const char* ext) {
    std::vector<std::string> out;
    if (DIR* d = opendir(dir.c_str())) {
        while (dirent* e = readdir(d)) {
            std::string n = e->d_name;
            if (n.size() > strlen(ext) && n.compare(n.size() - strlen(ext), strlen(ext), ext) == 0) out.push_back(n);
        }
        closedir(d);
    }
    std::sort(out.begin(), out.end());
    return out;
}

Bytes ConvertRgb(const std::string& path, const std::string& options) {
    return RunCommand("convert '" + path + "' " + options + " -depth 8 rgb:- 2>/dev/null");
}

std::string TempPath(const char* name) {
    const char* dir = getenv("TMPDIR");
    return std::string(dir ? dir : "/tmp") + "/qov_ref_" + name;
}

// Files the reader refuses by its rules, with the loader's code.
const std::map<std::string, int> kPngRefused = {
    {"badcrc.png", kImgInvalid},          // a chunk CRC does not match
    {"bad_iCCP.png", kImgInvalid},        // IHDR and iCCP CRCs do not match
    {"badadler.png", kImgInvalid},        // the zlib check value does not match
    {"basn3p04-31i.png", kImgInvalid},    // interlaced below 8 bits
    {"gray-gradient.interlaced.png", kImgInvalid},
    {"invalid-crc32.png", kImgInvalid},
    {"invalid-noend.png", kImgInvalid},   // no IEND
    {"invalid-trunc.png", kImgInvalid},
    {"invalid-zlib.png", kImgInvalid},
};

}  // namespace

TEST(Reference, PngSuiteMatchesImageMagick) {
    int checked = 0;
    for (const char* sub : {"pngsuite", "testpngs", "go"}) {
        std::string dir = ImageTestData(sub);
        ASSERT_FALSE(dir.empty()) << MissingImageTestData(sub);
        for (const auto& name : Files(dir, ".png")) {
            std::string path = dir + "/" + name;
            Bytes file = ReadFileBytes(path);
            ASSERT_GT(file.size(), 26u) << name;
            const uint8_t depth = file[24], colorType = file[25];
            gImageDecodeState.sourcePos = file.data();
            gImageDecodeState.sourceSize = uint32_t(file.size());
            int rc = PngLoad(kPngForceBackground | kBackground);
            auto refused = kPngRefused.find(name);
            if (refused != kPngRefused.end()) {
                EXPECT_EQ(rc, refused->second) << name;
                continue;
            }
            // libpng's huge_* files declare a chunk length far past their end.
            if (name.compare(0, 5, "huge_") == 0) {
                EXPECT_EQ(rc, kImgInvalid) << name;
                continue;
            }
            EXPECT_EQ(rc, kImgOk) << name;
            if (rc != kImgOk) continue;
            if (name == "invalid-palette.png") {
                // Index 255 of a 255-entry PLTE: black here, an error to ImageMagick.
                EXPECT_EQ(gImageDecodeState.colors[255].rgbRed + gImageDecodeState.colors[255].rgbGreen +
                              gImageDecodeState.colors[255].rgbBlue, 0);
                continue;
            }
            // Transparency counts only as alpha and as an RGB key: everything
            // else is compared with the alpha channel switched off.
            bool keyed = false;
            for (size_t i = 8; colorType == 2 && i + 8 < file.size(); i++)
                if (memcmp(&file[i], "tRNS", 4) == 0) keyed = true;
            bool blended = colorType == 4 || colorType == 6 || keyed;
            // gAMA must not change the samples: the colour space is relabelled, not converted.
            Bytes ref = ConvertRgb(path, std::string("-set colorspace sRGB ") +
                                             (blended ? std::string(kBackgroundArg) + " -alpha remove" : "-alpha off"));
            int tolerance = blended ? 2 : depth == 16 ? 1 : 0;
            EXPECT_LE(MaxDiff(StateToRgb(), ref), tolerance) << name;
            checked++;
        }
    }
    EXPECT_GT(checked, 150);
}

TEST(Reference, GifAndJpegSamplesMatchImageMagick) {
    std::string go = ImageTestData("go"), lj = ImageTestData("jpeg");
    ASSERT_FALSE(go.empty()) << MissingImageTestData("go");
    ASSERT_FALSE(lj.empty()) << MissingImageTestData("jpeg");
    struct Sample { std::string path; int format; };
    std::vector<Sample> samples;
    for (auto& n : Files(go, ".gif")) samples.push_back({go + "/" + n, kImgFormatGif});
    for (auto& n : Files(go, ".jpeg")) samples.push_back({go + "/" + n, kImgFormatJpeg});
    for (auto& n : Files(lj, ".jpg")) samples.push_back({lj + "/" + n, kImgFormatJpeg});
    EXPECT_GE(samples.size(), 30u);
    for (const auto& s : samples) {
        Bytes file = ReadFileBytes(s.path);
        int rc = DecodeBytes(s.format, file);
        Bytes ref = ConvertRgb(s.path + (s.format == kImgFormatGif ? "[0]" : ""), "-alpha off");
        if (s.path.find("testorig12") != std::string::npos) {
            EXPECT_EQ(rc, kImgInvalid) << s.path << ": 12-bit samples are not supported";
            continue;
        }
        ASSERT_EQ(rc, kImgOk) << s.path;
        // ImageMagick turns CMYK into RGB with its own rounding.
        bool cmyk = s.path.find("cmyk") != std::string::npos;
        if (s.path.find("truncated") != std::string::npos) continue;  // ImageMagick gives up on these
        EXPECT_LE(MaxDiff(StateToRgb(), ref), cmyk ? 2 : 0) << s.path;
    }
}

TEST(Reference, BmpSamplesMatchImageMagick) {
    std::string lj = ImageTestData("jpeg");
    ASSERT_FALSE(lj.empty()) << MissingImageTestData("jpeg");
    const std::vector<std::string> names = Files(lj, ".bmp");
    EXPECT_GE(names.size(), 4u);
    for (const auto& n : names) {
        const std::string path = lj + "/" + n;
        Bytes file = ReadFileBytes(path);
        DecodedImage img;
        int rc = BmpDecodeBuffer(file.data(), file.size(), true, &img);
        LocalFreeMem(img.bits);
        ASSERT_EQ(rc, kBmpOk) << n << ": refused by \"" << BmpRule(rc).reason << "\"";
        ASSERT_EQ(DecodeBytes(kImgFormatBmp, file), kImgOk) << n;
        EXPECT_EQ(MaxDiff(StateToRgb(), ConvertRgb(path, "-alpha off")), 0) << n;
    }
}

// An OS/2 bitmap whose table holds only the colours it uses.
TEST(Reference, Os2BitmapWithAShortTableMatchesImageMagick) {
    const Bytes file = Os2ShortTableBitmap();
    const std::string path = TempPath("os2.bmp");
    ASSERT_TRUE(WriteFileBytes(path, file));
    ASSERT_EQ(DecodeBytes(kImgFormatBmp, file), kImgOk);
    const Bytes reference = ConvertRgb(path, "-alpha off");
    ASSERT_EQ(reference.size(), 32u * 32 * 3);
    EXPECT_EQ(StateToRgb(), reference);
    remove(path.c_str());
}

TEST(Reference, GeneratedBmpVariantsMatchImageMagick) {
    std::string suite = ImageTestData("pngsuite");
    ASSERT_FALSE(suite.empty()) << MissingImageTestData("pngsuite");
    const std::string src = suite + "/basn2c08.png";
    struct Variant { const char* name; std::string options; int bitCount; uint32_t compression; };
    const Variant variants[] = {
        {"1.bmp", "-type bilevel BMP3:", 1, BI_RGB},
        {"4.bmp", "-colors 16 -type palette BMP3:", 4, BI_RGB},
        {"8.bmp", "-colors 200 -type palette -compress none BMP3:", 8, BI_RGB},
        {"rle4.bmp", "", 4, BI_RLE4},
        {"rle8.bmp", "-colors 200 -type palette -compress RLE BMP3:", 8, BI_RLE8},
        {"565.bmp", "-define bmp:subtype=RGB565 BMP:", 16, BI_BITFIELDS},
        {"24.bmp", "BMP3:", 24, BI_RGB},
        {"24v5.bmp", "BMP:", 24, BI_RGB},
        {"32.bmp", "-alpha set -channel A -evaluate set 100% +channel BMP:", 32, BI_BITFIELDS},
        {"os2.bmp", "-colors 200 -type palette -compress none BMP2:", 8, BI_RGB},
    };
    // ImageMagick writes no RLE4: a 4x3 file by hand, with a run, an absolute
    // run, a delta and an end-of-line, checked against its reading of it.
    Bytes table;
    for (int i = 0; i < 16; i++) table.insert(table.end(), {uint8_t(i * 16), uint8_t(255 - i * 16), uint8_t(i * 7), 0});
    const Bytes rle4 = {4, 0x12, 0, 0, 0, 4, 0x34, 0x56, 0, 0, 0, 2, 1, 0, 3, 0x77, 0, 1};
    WriteFileBytes(TempPath("rle4.bmp"), MakeBmp(InfoHeader(4, 3, 4, BI_RLE4, 16, 40, uint32_t(rle4.size())), table, rle4));
    for (const auto& v : variants) {
        std::string path = TempPath(v.name);
        if (v.compression != BI_RLE4) RunCommand("convert '" + src + "' " + v.options + "'" + path + "' 2>/dev/null");
        Bytes file = ReadFileBytes(path);
        ASSERT_FALSE(file.empty()) << v.name;
        Bytes ref = ConvertRgb(path, "-alpha off");
        ASSERT_EQ(DecodeBytes(kImgFormatBmp, file), kImgOk) << v.name;
        EXPECT_EQ(gImageDecodeState.header.biBitCount, v.bitCount) << v.name;
        EXPECT_EQ(gImageDecodeState.header.biCompression, v.compression) << v.name;
        EXPECT_LE(MaxDiff(StateToRgb(), ref), v.bitCount == 16 ? 1 : 0) << v.name;

        if (std::string(v.name) == "24.bmp") {
            // The same file stored top-down: negative height, rows reversed.
            Bytes top = file;
            uint32_t off = file[10] | (file[11] << 8);
            int32_t h = int32_t(file[22] | (file[23] << 8) | (file[24] << 16) | (uint32_t(file[25]) << 24));
            int32_t neg = -h;
            memcpy(&top[22], &neg, 4);
            size_t stride = (file.size() - off) / size_t(h);
            for (int32_t y = 0; y < h; y++)
                memcpy(&top[off + size_t(y) * stride], &file[off + size_t(h - 1 - y) * stride], stride);
            ASSERT_EQ(DecodeBytes(kImgFormatBmp, top), kImgOk);
            EXPECT_EQ(gImageDecodeState.header.biHeight, h);
            EXPECT_EQ(MaxDiff(StateToRgb(), ref), 0) << "top-down";
        }
        remove(path.c_str());
    }
}

TEST(Reference, BmpWriterOutputIsReadByImageMagick) {
    std::string suite = ImageTestData("pngsuite");
    ASSERT_FALSE(suite.empty()) << MissingImageTestData("pngsuite");
    struct Case { std::string source; const char* via; const char* identify; };
    const Case cases[] = {
        {suite + "/basn2c08.png", nullptr, "32 32 8"},
        {suite + "/basn3p08.png", nullptr, "32 32 8"},
        {suite + "/basn0g01.png", nullptr, "32 32 1"},
        {suite + "/basn2c08.png", "-define bmp:subtype=RGB565 BMP:", "32 32 8"},
    };
    for (const auto& c : cases) {
        std::string source = c.source;
        if (c.via) {
            source = TempPath("via.bmp");
            RunCommand("convert '" + c.source + "' " + c.via + "'" + source + "' 2>/dev/null");
        }
        Bytes file = ReadFileBytes(source);
        ASSERT_EQ(DecodeBytes(c.via ? kImgFormatBmp : kImgFormatPng, file), kImgOk) << c.source;
        // The header and its masks or colours as one block, as a picture keeps them.
        Bytes info(sizeof(BITMAPINFOHEADER) + sizeof gImageDecodeState.colors);
        memcpy(info.data(), &gImageDecodeState.header, sizeof(BITMAPINFOHEADER));
        memcpy(info.data() + sizeof(BITMAPINFOHEADER), gImageDecodeState.colors, sizeof gImageDecodeState.colors);
        std::string out = TempPath("written.bmp");
        ASSERT_EQ(DibWriteBmpFile(out.c_str(), reinterpret_cast<BITMAPINFOHEADER*>(info.data()),
                                  gImageDecodeState.bits), kDibWriteOk);
        Bytes id = RunCommand("identify -format '%w %h %z' '" + out + "' 2>&1");
        EXPECT_EQ(std::string(id.begin(), id.end()), c.identify) << c.source;
        Bytes diff = RunCommand("compare -metric AE '" + source + "' '" + out + "' null: 2>&1");
        EXPECT_EQ(std::string(diff.begin(), diff.end()), "0") << c.source;
        remove(out.c_str());
        if (c.via) remove(source.c_str());
    }
}
