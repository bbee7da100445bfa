// pdf_image_tools_test.cpp - pictures in PDF files read back by independent
// tools: the project's decoders decode the set-up's sample pictures, the
// writer puts them on a page, pdfimages lists and extracts them, and
// ImageMagick compares what it extracted with the decoded bitmap.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <regex>
#include <string>
#include <vector>

#include "graphics/image/bmp.h"
#include "graphics/image/dibutil.h"
#include "graphics/image/jpeg.h"
#include "graphics/image/png.h"
#include "session/config.h"
#include "session/util/mem.h"
#include "tests/pdf/pdftest.h"
#include "tests/pdf/pdftools.h"

namespace {

std::string TestData(const std::string& rel) {
    const char* root = getenv("QOV_TESTDATA");
    return std::string(root ? root : "") + "/image/" + rel;
}

enum Decoder { kPng, kJpeg, kBmp };

// Decodes a sample file with the project's decoder; false when it is missing.
bool Decode(const std::string& path, Decoder dec, DecodedImage* img) {
    std::string data = PdfTestRead(path);
    if (data.empty()) return false;
    memset(img, 0, sizeof *img);
    const auto* p = reinterpret_cast<const uint8_t*>(data.data());
    int rc = dec == kPng    ? PngDecode(p, data.size(), img, nullptr, kPngNoBackground)
             : dec == kJpeg ? JpegDecodeBuffer(p, data.size(), img)
                            : BmpDecodeBuffer(p, data.size(), true, img);
    return rc == 0 && img->bits;
}

void FreeDecoded(DecodedImage* img) {
    LocalFreeMem(img->bits);
    img->bits = nullptr;
}

// The writer's input for a whole decoded bitmap in a box of the given points.
PdfImageInput InputOf(const DecodedImage& img, WORD width, WORD height, DWORD mode = kPdfImageFit) {
    PdfImageInput in;
    memset(&in, 0, sizeof in);
    in.mode = mode;
    in.top = 100;
    in.left = 100;
    in.bottom = static_cast<WORD>(100 + height);
    in.right = static_cast<WORD>(100 + width);
    in.width = img.header.biWidth;
    in.height = img.header.biHeight;
    in.bitsPerPixel = img.header.biBitCount;
    in.paletteSize = img.header.biBitCount <= 8 ? 1u << img.header.biBitCount : 0;
    in.dataSize = static_cast<DWORD>(DibRowBytes(in.width, in.bitsPerPixel) * in.height);
    in.pixels = img.bits;
    in.palette = reinterpret_cast<const BYTE*>(img.colors);
    in.endRow = in.height;
    in.endCol = in.width;
    return in;
}

// A bitmap made here: its header only, bottom-up, no pixels yet.
DecodedImage MadeHeader(int width, int height, int bits) {
    DecodedImage img;
    memset(&img, 0, sizeof img);
    img.header.biSize = 40;
    img.header.biWidth = width;
    img.header.biHeight = height;
    img.header.biPlanes = 1;
    img.header.biBitCount = static_cast<WORD>(bits);
    return img;
}

PdfDocRec* BeginPoints(const char* name, DWORD options = 0) {
    PdfDocRec* doc = Begin(name, options);
    if (doc) PdfControlCode(doc, 280, 7);  // half points
    return doc;
}

// One row of "pdfimages -list": page, num, type, width, height, color, comp,
// bpc, enc, interp, object.
struct ListedImage {
    int page, width, height, bpc, object;
    std::string color, enc;
};

std::vector<ListedImage> ListImages(const std::string& path, const std::string& password = "") {
    std::string out = RunTool("pdfimages -list -upw '" + password + "' " + path);
    std::vector<ListedImage> rows;
    std::regex row(R"(^\s*(\d+)\s+\d+\s+image\s+(\d+)\s+(\d+)\s+(\w+)\s+\d+\s+(\d+)\s+(\w+)\s+\w+\s+(\d+))");
    size_t at = 0;
    while (at < out.size()) {
        size_t end = out.find('\n', at);
        std::string line = out.substr(at, end == std::string::npos ? std::string::npos : end - at);
        std::smatch m;
        if (std::regex_search(line, m, row))
            rows.push_back({std::stoi(m[1]), std::stoi(m[2]), std::stoi(m[3]), std::stoi(m[5]), std::stoi(m[7]),
                            m[4], m[6]});
        if (end == std::string::npos) break;
        at = end + 1;
    }
    return rows;
}

// ImageMagick's measure of two pictures: differing pixels (AE) or PSNR in dB,
// the reference's fourth byte not taken as alpha. JPEG's halved chroma at
// quality 100 leaves colourful pictures near 25 dB in colour; their grey
// stays near 40 dB, where a channel swap drops below 26 and a row slip lower.
double Compare(const std::string& metric, const std::string& a, const std::string& b, bool grey = false) {
    std::string mode = grey ? " -colorspace Gray" : "";
    RunTool("convert " + a + " -alpha off" + mode + " cmp-a.png && convert " + b + " -alpha off" + mode + " cmp-b.png");
    std::string out = RunTool("compare -metric " + metric + " cmp-a.png cmp-b.png null:");
    if (out.compare(0, 3, "inf") == 0) return INFINITY;
    return strtod(out.c_str(), nullptr);
}

}  // namespace

// Every depth the decoders leave, written whole and extracted again: Flate
// forms come back pixel for pixel, JPEG forms within 30 dB of grey at quality
// 100.
TEST(PdfImages, DecodedPicturesComeBackAsTheyWere) {
    struct Case {
        const char* file;
        Decoder dec;
        const char* color;  // as pdfimages lists it
        int bpc;
        const char* why;
    };
    static const Case kCases[] = {
        {"pngsuite/basn0g01.png", kPng, "gray", 1, "1-bit black and white as 1-bit grey"},
        {"pngsuite/basn0g02.png", kPng, "rgb", 8, "2-bit grey through a palette"},
        {"pngsuite/basn0g04.png", kPng, "rgb", 8, "4-bit grey through a palette"},
        {"pngsuite/basn0g08.png", kPng, "rgb", 8, "8-bit grey through a palette"},
        {"pngsuite/basn2c08.png", kPng, "rgb", 8, "24-bit colour"},
        {"pngsuite/basn3p02.png", kPng, "rgb", 8, "2-bit palette"},
        {"pngsuite/basn3p04.png", kPng, "rgb", 8, "4-bit palette"},
        {"pngsuite/basn3p08.png", kPng, "rgb", 8, "8-bit palette"},
        {"pngsuite/basn6a08.png", kPng, "rgb", 8, "alpha composited by the decoder"},
        {"go/benchRGB.png", kPng, "rgb", 8, "a larger colour picture"},
        {"jpeg/testorig.jpg", kJpeg, "rgb", 8, "a photograph"},
        {"jpeg/nightshot_iso_100.bmp", kBmp, "rgb", 8, "a BMP photograph"},
    };
    gPdfJpegQuality = 100;
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.file);
        DecodedImage img;
        ASSERT_TRUE(Decode(TestData(c.file), c.dec, &img)) << "decoded by the project's decoder";
        DibWriteBmpFile("img-source.bmp", &img.header, img.bits);
        PdfDocRec* doc = BeginPoints("img.pdf");
        ASSERT_NE(doc, nullptr);
        PdfImageInput in = InputOf(img, 400, 400);
        EXPECT_EQ(PdfDrawImage(doc, &in), 0) << c.why;
        ASSERT_EQ(PdfFinish(doc), 0);
        CheckWithTools("img.pdf");
        std::vector<ListedImage> list = ListImages("img.pdf");
        ASSERT_EQ(list.size(), 1u);
        EXPECT_EQ(list[0].width, img.header.biWidth);
        EXPECT_EQ(list[0].height, img.header.biHeight);
        EXPECT_EQ(list[0].color, c.color) << c.why;
        EXPECT_EQ(list[0].bpc, c.bpc) << c.why;
        RunTool("rm -f img-out-*; pdfimages -png img.pdf img-out");
        if (list[0].enc == "jpeg") EXPECT_GE(Compare("PSNR", "img-out-000.png", "img-source.bmp", true), 30.0) << c.why;
        else EXPECT_EQ(Compare("AE", "img-out-000.png", "img-source.bmp"), 0.0) << c.why;
        FreeDecoded(&img);
    }
}

// Bitmaps made here: 16-bit 5-5-5 widened to full intensity, 32-bit, a
// two-colour palette starting white (inverted bytes) or black (as they are),
// a crop of the middle, and a top-down bitmap.
TEST(PdfImages, MadeBitmapsKeepTheirColours) {
    struct Case {
        int bits;
        unsigned firstColour;  // palette entry 0 (0x00RRGGBB) for 1-bit
        bool crop;
        const char* color;
        const char* why;
    };
    static const Case kCases[] = {
        {16, 0, false, "rgb", "5-5-5 pixels"},
        {32, 0, false, "rgb", "blue-green-red-unused pixels"},
        {1, 0xFFFFFF, false, "gray", "palette white first: bytes inverted"},
        {1, 0x000000, false, "gray", "palette black first: bytes as they are"},
        {1, 0xFFFFFF, true, "rgb", "a crop of a 1-bit bitmap goes through the palette"},
        {24, 0, true, "rgb", "a crop of the middle"},
        {1, 0xFFFF00, false, "index", "yellow and navy keep their colours through an indexed space"},
    };
    const int w = 24, h = 16;
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.why);
        DecodedImage img = MadeHeader(w, h, c.bits);
        size_t stride = DibRowBytes(w, c.bits);
        std::vector<uint8_t> bits(stride * h);
        for (int y = 0; y < h; y++)
            for (int x = 0; x < w; x++) {
                uint8_t* row = bits.data() + stride * y;
                int r = x * 10, g = y * 15, b = (x + y) * 5;
                if (c.bits == 16) {
                    unsigned v = (r >> 3) << 10 | (g >> 3) << 5 | (b >> 3);
                    row[2 * x] = static_cast<uint8_t>(v);
                    row[2 * x + 1] = static_cast<uint8_t>(v >> 8);
                } else if (c.bits >= 24) {
                    uint8_t* p = row + x * (c.bits / 8);
                    p[0] = static_cast<uint8_t>(b), p[1] = static_cast<uint8_t>(g), p[2] = static_cast<uint8_t>(r);
                } else if ((x + y) % 3 == 0) {
                    row[x >> 3] |= static_cast<uint8_t>(0x80 >> (x & 7));
                }
            }
        if (c.bits == 1) {
            img.header.biClrUsed = 2;
            // Black and white (either order), or yellow with navy.
            unsigned second = c.firstColour == 0xFFFF00 ? 0x000080 : c.firstColour ^ 0xFFFFFF;
            img.colors[0] = {static_cast<BYTE>(c.firstColour), static_cast<BYTE>(c.firstColour >> 8),
                             static_cast<BYTE>(c.firstColour >> 16), 0};
            img.colors[1] = {static_cast<BYTE>(second), static_cast<BYTE>(second >> 8), static_cast<BYTE>(second >> 16), 0};
        }
        img.bits = bits.data();
        PdfDocRec* doc = BeginPoints("made.pdf", 1u << 26);  // no JPEG: exact pixels
        ASSERT_NE(doc, nullptr);
        PdfImageInput in = InputOf(img, 240, 160, c.crop ? kPdfImageCrop : kPdfImageFit);
        if (c.crop) in.firstRow = 4, in.endRow = 12, in.firstCol = 6, in.endCol = 18;
        ASSERT_EQ(PdfDrawImage(doc, &in), 0);
        ASSERT_EQ(PdfFinish(doc), 0);
        CheckWithTools("made.pdf");
        std::vector<ListedImage> list = ListImages("made.pdf");
        ASSERT_EQ(list.size(), 1u);
        EXPECT_EQ(list[0].color, c.color);
        if (c.bits == 1 && !c.crop) EXPECT_EQ(list[0].bpc, 1) << "one bit per pixel as it stands";
        RunTool("rm -f made-out-*; pdfimages -png made.pdf made-out");
        // pdfimages writes an indexed 1-bit image's indexes as grey; MuPDF
        // extracts it in its palette's colours.
        if (std::string(c.color) == "index")
            RunTool("rm -rf made-x && mkdir made-x && cd made-x && mutool extract ../made.pdf && "
                    "cp image-*.png ../made-out-000.png");
        // The reference: the same bitmap written as BMP and read by ImageMagick,
        // cropped the same way (the crop's rows count from the bottom).
        img.header.biClrUsed = c.bits == 1 ? 2 : 0;
        DibWriteBmpFile("made-source.bmp", &img.header, img.bits);
        std::string ref = "made-source.bmp";
        if (c.crop) {
            RunTool("convert made-source.bmp -crop 12x8+6+4 +repage made-crop.png");
            ref = "made-crop.png";
        }
        if (c.bits == 16) {
            // ImageMagick reads 5-bit components as v * 255 / 31; the writer
            // widens them as (v << 3) | (v >> 2): at most one step apart.
            EXPECT_GE(Compare("PSNR", "made-out-000.png", ref), 45.0);
        } else {
            EXPECT_EQ(Compare("AE", "made-out-000.png", ref), 0.0);
        }
    }
}

// Bit-field pixels (16- and 32-bit with masks) come out in their colours,
// each component widened to 8 bits: within 8 per channel of the 24-bit
// bitmap they were cut from. Masks the writer cannot take are refused.
TEST(PdfImages, MaskedPixelsKeepTheirColours) {
    struct Case {
        int bits;
        DWORD masks[3];
        int expect;
        const char* why;
    };
    static const Case kCases[] = {
        {16, {0xF800, 0x07E0, 0x001F}, 0, "5-6-5"},
        {16, {0x7C00, 0x03E0, 0x001F}, 0, "5-5-5 named by its masks"},
        {32, {0xFF0000, 0x00FF00, 0x0000FF}, 0, "32-bit with the usual masks"},
        {32, {0x0000FF, 0x00FF00, 0xFF0000}, 0, "32-bit with red in the low byte"},
        {24, {0xFF0000, 0x00FF00, 0x0000FF}, kPdfImageNotWritten, "masks on 24-bit pixels"},
        {16, {0xF00F, 0x07E0, 0x001F}, kPdfImageNotWritten, "a mask with a gap"},
        {16, {0x1F0000, 0x07E0, 0x001F}, kPdfImageNotWritten, "a mask beyond the pixel"},
    };
    const int w = 24, h = 16;
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.why);
        DecodedImage ref = MadeHeader(w, h, 24);
        size_t refStride = DibRowBytes(w, 24), stride = DibRowBytes(w, c.bits);
        std::vector<uint8_t> refBits(refStride * h), bits(stride * h);
        for (int y = 0; y < h; y++)
            for (int x = 0; x < w; x++) {
                int rgb[3] = {x * 10, y * 15, (x + y) * 5};
                uint8_t* q = refBits.data() + refStride * y + 3 * x;
                q[0] = static_cast<uint8_t>(rgb[2]), q[1] = static_cast<uint8_t>(rgb[1]), q[2] = static_cast<uint8_t>(rgb[0]);
                uint32_t v = 0;
                for (int k = 0; k < 3; k++) {
                    DWORD m = c.masks[k];
                    int shift = 0, n = 0;
                    while (m && !((m >> shift) & 1)) shift++;
                    while (n + shift < 32 && ((m >> (shift + n)) & 1)) n++;
                    v |= static_cast<uint32_t>(rgb[k] >> (8 - n)) << shift;
                }
                uint8_t* p = bits.data() + stride * y + x * (c.bits / 8);
                for (int b = 0; b < c.bits / 8; b++) p[b] = static_cast<uint8_t>(v >> (8 * b));
            }
        DecodedImage img = ref;
        img.header.biBitCount = static_cast<WORD>(c.bits);
        img.bits = bits.data();
        PdfDocRec* doc = BeginPoints("masked.pdf", 1u << 26);  // no JPEG: exact pixels
        ASSERT_NE(doc, nullptr);
        PdfImageInput in = InputOf(img, 240, 160);
        memcpy(in.masks, c.masks, sizeof in.masks);
        EXPECT_EQ(PdfDrawImage(doc, &in), c.expect);
        ASSERT_EQ(PdfFinish(doc), 0);
        if (c.expect) continue;
        CheckWithTools("masked.pdf");
        RunTool("rm -f masked-out-*; pdfimages -png masked.pdf masked-out");
        ref.bits = refBits.data();
        DibWriteBmpFile("masked-source.bmp", &ref.header, ref.bits);
        std::string out = RunTool("convert masked-out-000.png -alpha off cmp-a.png && "
                                  "convert masked-source.bmp -alpha off cmp-b.png && "
                                  "compare -metric PAE cmp-a.png cmp-b.png null:");
        size_t open = out.find('(');
        ASSERT_NE(open, std::string::npos) << out;
        EXPECT_LE(strtod(out.c_str() + open + 1, nullptr) * 255.0, 8.0) << "largest difference: " << out;
    }
}

// The same picture on three pages is one object, /Img1 on each; the fit of a
// 10 x 10 picture into a 100 x 50 box is 50 x 50; mode 1 in a taller box hangs
// from the box's top.
TEST(PdfImages, ReusePlacementAndModes) {
    std::vector<uint8_t> bits(DibRowBytes(10, 24) * 10, 0x80);
    PdfImageInput in;
    memset(&in, 0, sizeof in);
    in.identity[0] = 7;
    in.identity[1] = 1;
    in.width = in.height = 10;
    in.bitsPerPixel = 24;
    in.dataSize = static_cast<DWORD>(bits.size());
    in.pixels = bits.data();
    in.endRow = in.endCol = 10;
    in.top = 0, in.left = 0, in.bottom = 100, in.right = 200;  // half points: 100 x 50 pt
    PdfDocRec* doc = BeginPoints("reuse.pdf");
    ASSERT_NE(doc, nullptr);
    PdfControlCode(doc, 279, 0);
    for (int page = 0; page < 3; page++) {
        PdfStartPage(doc);
        ASSERT_EQ(PdfDrawImage(doc, &in), 0);
        if (page == 0) {
            std::string cs(reinterpret_cast<char*>(doc->content), doc->contentLen);
            EXPECT_NE(cs.find("50.000 0 0 50.000 0 0 cm"), std::string::npos) << cs;
        }
    }
    in.mode = kPdfImageNatural;
    in.bottom = 200;  // 100 pt tall, the picture 10 pt
    PdfStartPage(doc);
    ASSERT_EQ(PdfDrawImage(doc, &in), 0);
    std::string cs(reinterpret_cast<char*>(doc->content), doc->contentLen);
    // Top of the box: page height 792 - 9 margin; the picture's bottom 10 below.
    EXPECT_NE(cs.find(" 1 0 0 1 9.000  773.000 cm"), std::string::npos) << cs;
    EXPECT_NE(cs.find("10.000 0 0 10.000 0 0 cm"), std::string::npos) << cs;
    ASSERT_EQ(PdfFinish(doc), 0);
    CheckWithTools("reuse.pdf");
    std::vector<ListedImage> list = ListImages("reuse.pdf");
    ASSERT_EQ(list.size(), 4u);
    for (const ListedImage& l : list) EXPECT_EQ(l.object, list[0].object) << "page " << l.page;
    std::string pdf = PdfTestRead("reuse.pdf");
    size_t n = 0;
    for (size_t at = pdf.find("/Subtype /Image"); at != std::string::npos; at = pdf.find("/Subtype /Image", at + 1)) n++;
    EXPECT_EQ(n, 1u) << "written once";
    n = 0;
    for (size_t at = pdf.find("/Img1 "); at != std::string::npos; at = pdf.find("/Img1 ", at + 1)) n++;
    EXPECT_EQ(n, 4u) << "listed in each page's resources";
}

// Flat and photographic pictures below and above 102000 raw bytes, and the
// options that keep JPEG out.
TEST(PdfImages, EncodingFollowsSizeAndOptions) {
    DecodedImage photo;  // 256 x 256: 196608 raw bytes
    ASSERT_TRUE(Decode(TestData("go/benchRGB.png"), kPng, &photo));
    DecodedImage small;  // 227 x 149: 101469 raw bytes
    ASSERT_TRUE(Decode(TestData("jpeg/testorig.jpg"), kJpeg, &small));
    struct Case {
        const DecodedImage* img;
        bool flat;
        DWORD options;
        const char* enc;
        const char* why;
    };
    const Case kCases[] = {
        {&photo, false, 0, "jpeg", "a photograph from 102000 bytes is JPEG"},
        {&photo, true, 0, "jpeg", "a flat picture from 102000 bytes is JPEG too"},
        {&small, true, 0, "image", "a flat picture below 102000 bytes: Flate is smaller"},
        {&small, false, 0, "jpeg", "a photograph below 102000 bytes: JPEG is smaller"},
        {&photo, false, 1u << 26, "image", "no JPEG by option: Flate"},
        {&photo, false, (1u << 26) | (1u << 16), "image", "no JPEG and uncompressed: raw"},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.why);
        DecodedImage img = *c.img;
        std::vector<uint8_t> flat;
        if (c.flat) {
            flat.assign(DibRowBytes(img.header.biWidth, img.header.biBitCount) * img.header.biHeight, 0xFF);
            for (size_t i = 0; i < flat.size() / 3; i += 97) flat[i] = 0;
            img.bits = flat.data();
        }
        PdfDocRec* doc = BeginPoints("enc.pdf", c.options);
        ASSERT_NE(doc, nullptr);
        PdfImageInput in = InputOf(img, 400, 400);
        ASSERT_EQ(PdfDrawImage(doc, &in), 0);
        ASSERT_EQ(PdfFinish(doc), 0);
        CheckWithTools("enc.pdf");
        std::vector<ListedImage> list = ListImages("enc.pdf");
        ASSERT_EQ(list.size(), 1u);
        EXPECT_EQ(list[0].enc, c.enc);
        std::string pdf = PdfTestRead("enc.pdf");
        if (c.options & (1u << 16)) EXPECT_EQ(pdf.find("/FlateDecode"), std::string::npos);
    }
    FreeDecoded(&photo);
    FreeDecoded(&small);
}

// Hostile headers give 21272 and write nothing; a width beyond libjpeg's
// limit falls back to Flate.
TEST(PdfImages, HostileBitmapsAreRefused) {
    std::vector<uint8_t> bits(4096, 0x55);
    BYTE palette[256 * 4] = {};
    struct Case {
        int32_t width, height;
        WORD bits;
        DWORD palette, dataSize;
        DWORD mode;
        int32_t rows[4];  // first row, end row, first column, end column
        const char* why;
    };
    const Case kCases[] = {
        {0, 10, 24, 0, 4096, 0, {0, 10, 0, 0}, "width 0"},
        {10, 0, 24, 0, 4096, 0, {0, 0, 0, 10}, "height 0"},
        {-5, 10, 24, 0, 4096, 0, {0, 10, 0, 5}, "a negative width"},
        {10, 10, 24, 0, 0, 0, {0, 10, 0, 10}, "no pixel data size"},
        {100, 100, 24, 0, 4096, 0, {0, 100, 0, 100}, "data shorter than stride x height"},
        {10, 10, 12, 0, 4096, 0, {0, 10, 0, 10}, "12 bits per pixel"},
        {10, 10, 8, 16, 4096, 0, {0, 10, 0, 10}, "8 bits with 16 palette entries"},
        {10, 10, 24, 2, 4096, 0, {0, 10, 0, 10}, "24 bits with a palette"},
        {10, 10, 24, 0, 4096, 2, {20, 30, 0, 10}, "a crop below the bitmap"},
        {10, 10, 24, 0, 4096, 2, {5, 5, 0, 10}, "an empty crop"},
        {10, 10, 24, 0, 4096, 3, {0, 10, 0, 10}, "mode 3 places nothing"},
        {0x40000000, 1, 24, 0, 4096, 0, {0, 1, 0, 1}, "a width whose rows pass every cap"},
    };
    PdfDocRec* doc = BeginPoints("hostile.pdf");
    ASSERT_NE(doc, nullptr);
    for (const Case& c : kCases) {
        PdfImageInput in;
        memset(&in, 0, sizeof in);
        in.width = c.width, in.height = c.height, in.bitsPerPixel = c.bits;
        in.paletteSize = c.palette, in.dataSize = c.dataSize, in.mode = c.mode;
        in.firstRow = c.rows[0], in.endRow = c.rows[1], in.firstCol = c.rows[2], in.endCol = c.rows[3];
        in.pixels = bits.data();
        in.palette = palette;
        in.right = in.bottom = 50;
        DWORD objects = doc->nextObj;
        EXPECT_EQ(PdfDrawImage(doc, &in), 21272) << c.why;
        EXPECT_EQ(doc->nextObj, objects) << c.why << ": no object taken";
    }
    // 70000 x 1 passes every check but libjpeg's width limit.
    std::vector<uint8_t> wide(DibRowBytes(70000, 24), 0x40);
    PdfImageInput in;
    memset(&in, 0, sizeof in);
    in.width = 70000, in.height = 1, in.bitsPerPixel = 24;
    in.dataSize = static_cast<DWORD>(wide.size());
    in.pixels = wide.data();
    in.endRow = 1, in.endCol = 70000;
    in.right = in.bottom = 50;
    EXPECT_EQ(PdfDrawImage(doc, &in), 0);
    ASSERT_EQ(PdfFinish(doc), 0);
    std::vector<ListedImage> list = ListImages("hostile.pdf");
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].enc, "image") << "the JPEG failed; Flate took over";
    EXPECT_EQ(list[0].width, 70000);
}

// The JPEG compressor into memory: a baseline JPEG when it fits; -1 when the
// area overflows (the output slid back and lost), when libjpeg refuses the
// width, or when the area cannot hold the slack it needs.
TEST(PdfImages, JpegIntoMemory) {
    struct Case {
        int width, height;
        size_t capacity;
        int expect;
        const char* why;
    };
    static const Case kCases[] = {
        {200, 200, 200 * 200 * 3 + 10240, 0, "room for the raw size and the slack"},
        {200, 200, 10240, -1, "noise overflows 10240 bytes"},
        {70000, 1, 70000 * 3 + 10240, -1, "a width beyond libjpeg's 65500"},
        {10, 10, 1000, -1, "less than the slack"},
    };
    for (const Case& c : kCases) {
        std::vector<uint8_t> rgb(static_cast<size_t>(c.width) * c.height * 3);
        uint32_t seed = 7;
        for (uint8_t& b : rgb) b = static_cast<uint8_t>((seed = seed * 1103515245u + 12345u) >> 16);
        std::vector<uint8_t> out(c.capacity);
        size_t len = 0;
        EXPECT_EQ(PdfJpegToMemory(c.width, c.height, rgb.data(), c.capacity, out.data(), &len), c.expect) << c.why;
        if (c.expect != 0) continue;
        ASSERT_GT(len, 4u);
        EXPECT_EQ(out[0], 0xFF);
        EXPECT_EQ(out[1], 0xD8) << "a JPEG begins with SOI";
        std::string bytes(out.begin(), out.begin() + static_cast<long>(len));
        EXPECT_NE(bytes.find("\xFF\xC0"), std::string::npos) << "baseline (SOF0)";
    }
}
