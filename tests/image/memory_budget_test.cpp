// memory_budget_test.cpp - tiny files that declare huge pictures, each decoded
// in a child process whose peak resident memory is read back: a picture its
// data can fill decodes within the 256 MiB ceiling plus a margin, the others
// are refused with their reason. Host build only (fork, wait4).
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <string>

#include "graphics/image/gif.h"
#include "graphics/image/imagecore.h"
#include "graphics/image/imageload.h"
#include "graphics/image/png.h"
#include "graphics/image/tiff.h"
#include "image_testkit.h"
#include "raster_kit.h"
#include "session/util/mem.h"

namespace {

enum { kG4 = 4, kLzw = 5, kWhiteIsZero = 0, kBlackIsZero = 1 };

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

Bytes OneStripTiff(uint32_t width, uint32_t length, uint32_t bits, uint32_t compression, uint32_t photometric,
                   const Bytes& data) {
    return MakeTiff({{TiffImageFields(width, length, bits, 1, compression, photometric, length,
                                      {uint32_t(data.size())}),
                      data}});
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
        {"a GIF of 4096 x 65535", MakeGif(fullGif, {0}), kImgFormatGif, kImgOk, nullptr},
        {"a GIF of 4097 x 65535", MakeGif(hugeGif, {0}), kImgFormatGif, kImgNoMemory, kImageCeilingReason},
        {"a PNG of 100000 x 100000", hugePng, kImgFormatPng, kImgNoMemory, kImageCeilingReason},
    };
    for (const Case& c : cases) {
        EXPECT_LT(c.file.size(), 5000u) << c.name;
        const ChildRun run = DecodeInChild([&] { return DecodeBytes(c.format, c.file); });
        EXPECT_EQ(run.loaderCode, c.expect) << c.name;
        EXPECT_LE(run.growthKb, kCeilingKb + kMarginKb) << c.name;
        printf("%s: answer %d, peak %ld KB above the parent\n", c.name, run.loaderCode, run.growthKb);
        if (!c.reason) continue;
        // A refusal comes before any block is taken: its reason is read here.
        DecodedImage img;
        const char* reason = c.format == kImgFormatTiff ? TiffRule(TiffDecodeBuffer(c.file.data(), c.file.size(), 1,
                                                                                    &img, nullptr)).reason
                             : c.format == kImgFormatPng ? PngRule(PngDecode(c.file.data(), c.file.size(), &img,
                                                                            nullptr, kPngNoBackground)).reason
                             : GifRule(GifDecodeBuffer(c.file.data(), c.file.size(), &img)).reason;
        EXPECT_STREQ(reason, c.reason) << c.name;
    }
}
