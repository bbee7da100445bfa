// memory_budget_test.cpp - tiny files that declare huge pictures, each decoded
// in a child process whose peak resident memory is read back: a picture its
// data can fill decodes within the 256 MiB ceiling plus a margin (the ceiling
// bounds all a decode holds at once: strip buffers, inflated rows, a JPEG's
// coefficients and joined strips count), the others are refused with their
// reason. Host build only (fork, wait4).
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <string>

#include "graphics/image/gif.h"
#include "graphics/image/imagecore.h"
#include "graphics/image/imageload.h"
#include "graphics/image/jpeg.h"
#include "graphics/image/png.h"
#include "graphics/image/tiff.h"
#include "image_testkit.h"
#include "raster_kit.h"
#include "session/util/mem.h"

namespace {

enum { kG4 = 4, kLzw = 5, kOldJpeg = 6, kWhiteIsZero = 0, kBlackIsZero = 1, kRgb = 2 };

// Room above the picture for the sanitizer's shadow of it, the fax tables and
// the test program's own growth.
constexpr long kMarginKb = 96 * 1024;
constexpr long kCeilingKb = long(kImageByteCeiling / 1024);
// A decode that takes longer than this is a fault of its own.
constexpr unsigned kChildSeconds = 45;

// An LZW strip of Clear and EndOfInformation: it yields nothing.
const Bytes kEmptyLzw = {0x80, 0x40, 0x40};

long ResidentKb() {
    long pages = 0, resident = 0;
    FILE* f = fopen("/proc/self/statm", "r");
    if (f) {
        if (fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
        fclose(f);
    }
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

struct ChildRun {
    int loaderCode;   // the loader's answer, from the child's exit status
    long growthKb;    // the child's peak resident memory above the parent's at the fork
};

// Runs decode in a child; its loader code leaves as the exit status.
ChildRun DecodeInChild(const std::function<int()>& decode) {
    fflush(nullptr);
    const long before = ResidentKb();
    const pid_t pid = fork();
    if (pid == 0) {
        alarm(kChildSeconds);
        _exit(-decode());
    }
    int status = 0;
    struct rusage use = {};
    EXPECT_EQ(wait4(pid, &status, 0, &use), pid);
    EXPECT_TRUE(WIFEXITED(status)) << "the child ended by signal " << WTERMSIG(status);
    return {WIFEXITED(status) ? -WEXITSTATUS(status) : 1, use.ru_maxrss - before};
}

// A white RGB picture of side x side pixels stored as Adam7 passes, every
// row unfiltered, compressed a row at a time (the inflated rows, near the
// picture's own size, are never held here).
Bytes WhiteInterlacedRgbPng(uint32_t side) {
    static const uint8_t kX0[7] = {0, 4, 0, 2, 0, 1, 0}, kY0[7] = {0, 0, 4, 0, 2, 0, 1};
    static const uint8_t kDx[7] = {8, 8, 4, 4, 2, 2, 1}, kDy[7] = {8, 8, 8, 4, 4, 2, 2};
    z_stream z = {};
    deflateInit(&z, Z_BEST_COMPRESSION);
    Bytes idat, out(1 << 16);
    Bytes row;
    auto drain = [&](int flush) {
        do {
            z.next_out = out.data();
            z.avail_out = uInt(out.size());
            deflate(&z, flush);
            idat.insert(idat.end(), out.begin(), out.end() - z.avail_out);
        } while (z.avail_out == 0);
    };
    for (int p = 0; p < 7; p++) {
        const uint32_t pw = (side - kX0[p] + kDx[p] - 1) / kDx[p], ph = (side - kY0[p] + kDy[p] - 1) / kDy[p];
        row.assign(size_t(pw) * 3 + 1, 0xFF);
        row[0] = 0;
        for (uint32_t y = 0; y < ph; y++) {
            z.next_in = row.data();
            z.avail_in = uInt(row.size());
            drain(Z_NO_FLUSH);
        }
    }
    drain(Z_FINISH);
    deflateEnd(&z);
    Bytes png = PngSignature();
    PngAddChunk(&png, "IHDR", PngIhdr(side, side, 8, 2, 1));
    PngAddChunk(&png, "IDAT", idat);
    PngAddChunk(&png, "IEND", {});
    return png;
}

// An LZW strip of Clear and zero codes, just long enough (at the most 9-bit
// codes can yield) to pass the check that the data can fill `bytes` of rows.
Bytes ZeroLzwStrip(uint64_t bytes) {
    const uint64_t yieldPerCode = 4096, bitsPerCode = 9;
    Bytes strip(size_t((bytes + yieldPerCode - 1) / yieldPerCode * bitsPerCode / 8 + 2), 0);
    strip[0] = 0x80;  // Clear: 1 0000 0000
    return strip;
}

Bytes OneStripTiff(uint32_t width, uint32_t length, uint32_t bits, uint32_t compression, uint32_t photometric,
                   const Bytes& data) {
    return MakeTiff({{TiffImageFields(width, length, bits, 1, compression, photometric, length,
                                      {uint32_t(data.size())}),
                      data}});
}

// An old-style JPEG TIFF whose picture is the JFIF stream's width x length:
// the interchange data (the markers of a JPEG of that size up to its first
// scan header), then `strips` strips of `stripBytes` each, which all name one
// run of bytes when `shared`, else lie one after another. The directory's own
// size only sets the strip count: a row a strip.
Bytes OldJpegTiff(uint32_t width, uint32_t length, bool progressive, uint32_t strips, uint32_t stripBytes,
                  bool shared) {
    Bytes head = JpegHeadersWithoutData(width, length, progressive, 1);
    head.resize(head.size() - 2);  // no end marker: the strips follow
    const uint32_t headBytes = uint32_t(head.size());
    Bytes data = head;
    data.resize(data.size() + size_t(stripBytes) * (shared ? 1 : strips), 0);
    std::vector<uint32_t> offsets(strips, headBytes);
    if (!shared)
        for (uint32_t s = 0; s < strips; s++) offsets[s] += s * stripBytes;
    auto fields = TiffImageFields(width, strips, 8, 3, kOldJpeg, kRgb, 1, std::vector<uint32_t>(strips, stripBytes));
    TiffSetField(&fields, 273, kKitLong, offsets);
    TiffSetField(&fields, 513, kKitLong, {0});
    TiffSetField(&fields, 514, kKitLong, {headBytes});
    return MakeTiff({{fields, data}});
}

}  // namespace

TEST(MemoryBudget, TinyFilesDeclaringHugePicturesStayWithinTheCeiling) {
    // The widest GIF the reader takes, 256 colours, one pixel of data.
    GifSpec fullGif;
    fullGif.width = 4096;
    fullGif.height = 65535;
    fullGif.globalTable = Bytes(768, 0);
    GifSpec hugeGif = fullGif;
    hugeGif.width = 4097;
    // One transparent pixel's data under a header of 100000 x 100000 RGBA.
    Bytes hugePng = PngSignature();
    PngAddChunk(&hugePng, "IHDR", PngIhdr(100000, 100000, 8, 6, 0));
    PngAddChunk(&hugePng, "IDAT", PngIdatData(Bytes(4, 0), 4, 1, 4, 0, 6));
    PngAddChunk(&hugePng, "IEND", {});

    const Bytes lzwA = ZeroLzwStrip(uint64_t(16384) * 16382), lzwB = ZeroLzwStrip(16384);
    Bytes lzwData = lzwA;
    lzwData.insert(lzwData.end(), lzwB.begin(), lzwB.end());
    const Bytes lzwTwoStrips = MakeTiff({{TiffImageFields(16384, 16383, 8, 1, kLzw, kBlackIsZero, 16382,
                                                          {uint32_t(lzwA.size()), uint32_t(lzwB.size())}),
                                          lzwData}});

    struct Case {
        const char* name;
        Bytes file;
        int format;
        int expect;          // loader code
        const char* reason;  // the refusing rule's reason, or null when it decodes
    };
    const Case cases[] = {
        // A 16384 x 16383 grey page from a strip that yields nothing.
        {"an empty LZW strip for a 256 MiB grey page", OneStripTiff(16384, 16383, 8, kLzw, kBlackIsZero, kEmptyLzw),
         kImgFormatTiff, kImgInvalid, "the strip data cannot fill the picture"},
        {"an empty LZW strip for a 1 GiB grey page", OneStripTiff(16384, 65535, 8, kLzw, kBlackIsZero, kEmptyLzw),
         kImgFormatTiff, kImgNoMemory, kImageCeilingReason},
        // Every white row under a white one is one V0 code: a bit a row.
        {"a 4 KB Group 4 page of 65535 x 32768 white rows",
         OneStripTiff(65535, 32768, 1, kG4, kWhiteIsZero, Bytes(32768 / 8, 0xFF)), kImgFormatTiff, kImgOk, nullptr},
        // Two strips, each as large as the picture's block: decoded into that
        // block, never into a second one beside it.
        {"a 4 KB Group 4 page of 65535 x 32768 white rows in strips of 32767 rows",
         MakeTiff({{TiffImageFields(65535, 32768, 1, 1, kG4, kWhiteIsZero, 32767, {32768 / 8, 1}),
                    [] {
                        Bytes d(32768 / 8, 0xFF);
                        d.push_back(0x80);
                        return d;
                    }()}}),
         kImgFormatTiff, kImgOk, nullptr},
        {"a 74 KB LZW grey page of 16384 x 16383 in strips of 16382 and 1 rows", lzwTwoStrips, kImgFormatTiff,
         kImgOk, nullptr},
        // Adam7 passes are about as large as the picture: they pass through
        // a window.
        {"an interlaced white RGB PNG of 9000 x 9000", WhiteInterlacedRgbPng(9000), kImgFormatPng, kImgOk,
         nullptr},
        {"a GIF of 4096 x 65535", MakeGif(fullGif, {0}), kImgFormatGif, kImgOk, nullptr},
        {"a GIF of 4097 x 65535", MakeGif(hugeGif, {0}), kImgFormatGif, kImgNoMemory, kImageCeilingReason},
        {"a PNG of 100000 x 100000", hugePng, kImgFormatPng, kImgNoMemory, kImageCeilingReason},
        // A progressive picture keeps every coefficient while its scans are
        // read: the library gets only what the picture leaves of the ceiling.
        {"a progressive JPEG header of 10000 x 8880 without data", JpegHeadersWithoutData(10000, 8880, true, 1),
         kImgFormatJpeg, kImgNoMemory, "the library's working memory passes the ceiling"},
        // Old-style JPEG strips are joined into one block: strips naming the
        // same bytes would join into many times the file.
        {"old-style JPEG in 4400 strips over one 60 KB run", OldJpegTiff(9000, 9000, false, 4400, 60000, true),
         kImgFormatTiff, kImgInvalid, "old-style JPEG strips that overlap"},
        {"progressive old-style JPEG in 4400 strips over one 60 KB run",
         OldJpegTiff(9000, 9000, true, 4400, 60000, true), kImgFormatTiff, kImgInvalid,
         "old-style JPEG strips that overlap"},
        // The joined block and the picture share the ceiling: 20 KB of strips
        // beside a picture 17 KB under it.
        {"old-style JPEG of 9459 x 9458 in two 10 KB strips", OldJpegTiff(9459, 9458, false, 2, 10000, false),
         kImgFormatTiff, kImgNoMemory, kImageCeilingReason},
    };
    for (const Case& c : cases) {
        EXPECT_LT(c.file.size(), 300000u) << c.name;
        const ChildRun run = DecodeInChild([&] { return DecodeBytes(c.format, c.file); });
        EXPECT_EQ(run.loaderCode, c.expect) << c.name;
        EXPECT_LE(run.growthKb, kCeilingKb + kMarginKb) << c.name;
        printf("%s: answer %d, peak %ld KB above the parent\n", c.name, run.loaderCode, run.growthKb);
        if (!c.reason) continue;
        // A refusal comes before any block is filled: its reason is read here.
        DecodedImage img;
        const char* reason = c.format == kImgFormatTiff ? TiffRule(TiffDecodeBuffer(c.file.data(), c.file.size(), 1,
                                                                                    &img, nullptr)).reason
                             : c.format == kImgFormatPng ? PngRule(PngDecode(c.file.data(), c.file.size(), &img,
                                                                            nullptr, kPngNoBackground)).reason
                             : c.format == kImgFormatJpeg ? JpegRule(JpegDecodeBuffer(c.file.data(), c.file.size(),
                                                                                      &img)).reason
                             : GifRule(GifDecodeBuffer(c.file.data(), c.file.size(), &img)).reason;
        EXPECT_STREQ(reason, c.reason) << c.name;
        DecodedImageDropBits(&img);
    }
}
