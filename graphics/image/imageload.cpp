// imageload.cpp - the image sources (client and server files, blocks sent by the
// server), format detection by extension and by content, the decoder dispatch
// and the shared decode state.
#include "graphics/image/imageload.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "graphics/image/bmp.h"
#include "graphics/image/gif.h"
#include "graphics/image/imagecore.h"
#include "graphics/image/jpeg.h"
#include "graphics/image/pcx.h"
#include "graphics/image/png.h"
#include "graphics/image/tiff.h"
#include "session/util/bytereader.h"
#include "session/util/mem.h"
#include "session/util/strutil.h"

ImageDecodeState gImageDecodeState;
int gImageFormatCode;
uint64_t gImageByteCap = kImageByteCeiling;

namespace {

constexpr size_t kMaxPathBytes = 260;
constexpr uint32_t kBareCoreHeader = 12;
constexpr uint32_t kBareInfoHeader = 40;
constexpr uint16_t kTiffMagic = 42;
constexpr int kFetchModeDefault = 0;

bool DefaultFetch(uint32_t*, const char*, const uint8_t**, uint16_t, uint32_t*, int) { return false; }
void DefaultFreeData(const uint8_t*) {}
bool DefaultFileDialog(char*, size_t, int*) { return false; }
const char* DefaultOemToAnsi(const char* path) { return path; }
uint32_t* DefaultPageCount(PictRecord*) { return nullptr; }
uint32_t DefaultBackground(PictRecord*) { return kPngNoBackground; }
int DefaultTakeImage(PictRecord*) { return kImgOk; }
void DefaultRefused(int, const char*) {}

// What one decode call needs besides the source.
struct DecodeArgs {
    uint32_t sourceSize;
    uint16_t page;
    uint32_t* pageCount;
    uint32_t background;
};

bool ProbeBmp() {
    ByteReader r(gImageDecodeState.sourcePos, gImageDecodeState.sourceSize);
    uint8_t a, b;
    return r.U8At(0, &a) && r.U8At(1, &b) && a == 'B' && b == 'M';
}

bool ProbeGif() {
    ByteReader r(gImageDecodeState.sourcePos, gImageDecodeState.sourceSize);
    const uint8_t* p = r.PtrAt(0, 3);
    return p && memcmp(p, "GIF", 3) == 0;
}

// "II" or "MM" followed by 42 in that byte order.
bool ProbeTiff() {
    ByteReader r(gImageDecodeState.sourcePos, gImageDecodeState.sourceSize);
    const uint8_t* p = r.PtrAt(0, 4);
    if (!p) return false;
    if (p[0] == 'I' && p[1] == 'I') return (p[2] | (p[3] << 8)) == kTiffMagic;
    if (p[0] == 'M' && p[1] == 'M') return ((p[2] << 8) | p[3]) == kTiffMagic;
    return false;
}

bool ProbePcx() { return PcxIsCurrentImage(); }
bool ProbeJpeg() { return JpegIsImage(gImageDecodeState.sourcePos, gImageDecodeState.sourceSize); }
bool ProbePng() { return PngIsImage(gImageDecodeState.sourcePos, gImageDecodeState.sourceSize); }
bool ProbeNone() { return false; }

int DecodeBmp(const DecodeArgs& a) { return BmpDecode(a.sourceSize); }
int DecodeGif(const DecodeArgs&) { return GifDecode(); }
int DecodeJpeg(const DecodeArgs&) { return JpegDecode(); }
int DecodePng(const DecodeArgs& a) { return PngLoad(a.background); }
int DecodePcx(const DecodeArgs& a) { return PcxDecode(a.page, a.pageCount); }
int DecodeTiff(const DecodeArgs& a) { return TiffDecode(a.page, a.pageCount); }

struct ImageFormatOps {
    const char* extUpper;
    const char* extLower;
    bool (*probe)();
    int (*decode)(const DecodeArgs& args);
};

// Indexed by ImageFormatCode.
const ImageFormatOps kImageFormats[] = {
    {nullptr, nullptr, ProbeNone, DecodeBmp},       // 0 unknown: read as BMP
    {".BMP", ".bmp", ProbeBmp, DecodeBmp},          // 1 BMP
    {".PCX", ".pcx", ProbePcx, DecodePcx},          // 2 PCX/DCX
    {".GIF", ".gif", ProbeGif, DecodeGif},          // 3 GIF
    {".TIF", ".tif", ProbeTiff, DecodeTiff},        // 4 TIFF
    {".JPG", ".jpg", ProbeJpeg, DecodeJpeg},        // 5 JPEG
    {".PNG", ".png", ProbePng, DecodePng},          // 6 PNG
};
constexpr int kFormatCount = 7;

// Probing order after the expected format's own test.
const int kProbeOrder[] = {kImgFormatGif, kImgFormatBmp, kImgFormatTiff,
                           kImgFormatPcx, kImgFormatJpeg, kImgFormatPng};
// Extension order of the file-name test.
const int kExtensionOrder[] = {kImgFormatPcx, kImgFormatBmp, kImgFormatGif,
                               kImgFormatTiff, kImgFormatJpeg, kImgFormatPng};

bool ValidFormat(int code) { return code >= kImgFormatBmp && code < kFormatCount; }

int DecodeFormat(int code, const DecodeArgs& args) {
    return kImageFormats[ValidFormat(code) ? code : kImgFormatBmp].decode(args);
}

// Decodes a file held whole in a block of `held` bytes: the block counts
// against the decode's ceiling beside the picture and the decoder's own
// blocks, which get what it leaves. Uncounted, a large uncompressed file
// held beside its picture came to about twice the ceiling (a 192 MB BMP:
// 346 MB at the peak).
int DecodeHeldFile(int code, const DecodeArgs& args, uint64_t held) {
    if (!CheckedSize(held).Fits(gImageByteCap)) {
        gImageLoadHooks.refused(kImgNoMemory, kImageCeilingReason);
        return kImgNoMemory;
    }
    const uint64_t ceiling = gImageByteCap;
    gImageByteCap = ceiling - held;
    const int rc = DecodeFormat(code, args);
    gImageByteCap = ceiling;
    return rc;
}

// Reads a whole client file into a runtime-heap block.
int ReadClientFile(const char* path, uint8_t** data, uint32_t* size) {
    FILE* f = fopen(gImageLoadHooks.oemToAnsi(path), "rb");
    if (!f) return kImgNotOpened;
    long len = -1;
    if (fseek(f, 0, SEEK_END) == 0) len = ftell(f);
    if (len < 0 || fseek(f, 0, SEEK_SET) != 0) {
        fclose(f);
        return kImgInvalid;
    }
    if (!CheckedSize(static_cast<uint64_t>(len)).Fits(gImageByteCap)) {
        fclose(f);
        return kImgNoMemory;
    }
    auto* block = static_cast<uint8_t*>(GuardedAlloc(static_cast<size_t>(len)));
    if (!block) {
        fclose(f);
        return kImgNoMemory;
    }
    size_t got = len ? fread(block, 1, static_cast<size_t>(len), f) : 0;
    fclose(f);
    if (got != static_cast<size_t>(len)) {
        GuardedFree(block);
        return kImgInvalid;
    }
    *data = block;
    *size = static_cast<uint32_t>(len);
    return kImgOk;
}

}  // namespace

ImageLoadHooks gImageLoadHooks = {
    DefaultFetch,       // fetch
    DefaultFreeData,    // freeData
    DefaultFileDialog,  // fileDialog
    DefaultOemToAnsi,   // oemToAnsi
    DefaultPageCount,   // pictPageCount
    DefaultBackground,  // pictBackground
    DefaultTakeImage,   // takeImage
    DefaultRefused,     // refused
};

void ImageClearState() {
    LocalFreeMem(gImageDecodeState.bits);
    gImageDecodeState.bits = nullptr;
    gImageDecodeState.palette = nullptr;
}

bool ImageAllocBits(size_t size) {
    LocalFreeMem(gImageDecodeState.bits);
    gImageDecodeState.bits = static_cast<uint8_t*>(LocalAllocZero(size));
    return gImageDecodeState.bits != nullptr;
}

const DecodeRule& DecodeRuleOf(const DecodeRule* rules, int count, int result) {
    static const DecodeRule kUnknownResult = {kImgInvalid, "an unknown decoder result"};
    return result >= 0 && result < count ? rules[result] : kUnknownResult;
}

void DecodedImageClear(DecodedImage* image) { memset(image, 0, sizeof *image); }

void DecodedImageDropBits(DecodedImage* image) {
    LocalFreeMem(image->bits);
    image->bits = nullptr;
}

int ImageDecodePaged(PagedDecodeCore core, PagedDecodeRule rule, uint16_t page, uint32_t* pageCount) {
    ImageDecodeState& st = gImageDecodeState;
    DecodedImage img;
    const int rc = core(st.sourcePos, st.sourceSize, page, &img, pageCount);
    return ImageAdoptDecoded(rule(rc), &img);
}

int ImageAdoptDecoded(const DecodeRule& rule, DecodedImage* image) {
    if (rule.loaderCode != kImgOk) {
        DecodedImageDropBits(image);
        gImageLoadHooks.refused(rule.loaderCode, rule.reason);
        return rule.loaderCode;
    }
    ImageDecodeState& st = gImageDecodeState;
    LocalFreeMem(st.bits);
    st.bits = image->bits;
    st.header = image->header;
    memcpy(st.colors, image->colors, sizeof st.colors);
    image->bits = nullptr;
    return kImgOk;
}

int ImageFormatFromName(const char* name) {
    size_t len = name ? strlen(name) : 0;
    if (len < 4) return kImgFormatUnknown;
    const char* ext = name + len - 4;
    for (int code : kExtensionOrder) {
        if (strcmp(ext, kImageFormats[code].extUpper) == 0 || strcmp(ext, kImageFormats[code].extLower) == 0)
            return code;
    }
    return kImgFormatUnknown;
}

int ImageDetectFormat(int expected) {
    if (ValidFormat(expected) && kImageFormats[expected].probe()) return expected;
    for (int code : kProbeOrder) {
        if (kImageFormats[code].probe()) return code;
    }
    // A bare DIB starts with its header size.
    ByteReader r(gImageDecodeState.sourcePos, gImageDecodeState.sourceSize);
    uint32_t first;
    if (r.U32At(0, &first) && (first == kBareCoreHeader || first == kBareInfoHeader)) return kImgFormatBmp;
    return kImgFormatUnknown;
}

bool ImageNameIsWhole(const char* text, uint32_t length) {
    if (NameIsWhole(text, length, SIZE_MAX)) return true;
    gImageLoadHooks.refused(kImgNotOpened, "the picture's name holds a NUL: cut there, it would name another file");
    return false;
}

int ImageLoadFromFile(const char* name, PictRecord* pict, uint16_t page) {
    ImageClearState();
    const ImageLoadHooks& hk = gImageLoadHooks;
    uint32_t* pageCount = hk.pictPageCount(pict);
    uint32_t noPageCount = 0;
    if (!pageCount) pageCount = &noPageCount;

    char chosen[kMaxPathBytes];
    const uint8_t* data = nullptr;
    uint8_t* clientBlock = nullptr;
    uint32_t size = 0;
    bool serverFile = false;
    if (name) {
        int mode = kFetchModeDefault;
        if (*name == '?') {
            mode = 1;
            name++;
        } else if (*name == '*') {
            mode = 2;
            name++;
        }
        gImageFormatCode = kImgFormatUnknown;
        if (*name != '!') {
            size = static_cast<uint32_t>(strlen(name));
            if (!hk.fetch(&size, name, &data, page, pageCount, mode)) return kImgNotOpened;
            serverFile = true;
        } else {
            name++;
        }
    } else {
        int filter = 0;
        chosen[0] = 0;
        if (!hk.fileDialog(chosen, sizeof chosen, &filter)) return kImgNotOpened;
        chosen[sizeof chosen - 1] = 0;
        gImageFormatCode = filter;
        name = chosen;
    }
    if (!serverFile) {
        int rc = ReadClientFile(name, &clientBlock, &size);
        if (rc != kImgOk) return rc;
        data = clientBlock;
    }

    if (!ValidFormat(gImageFormatCode)) gImageFormatCode = ImageFormatFromName(name);
    gImageDecodeState.sourcePos = data;
    gImageDecodeState.sourceSize = size;
    int found = ImageDetectFormat(gImageFormatCode);
    if (found != kImgFormatUnknown) gImageFormatCode = found;

    DecodeArgs args = {size, page, pageCount, hk.pictBackground(pict)};
    // A server file that already reported its page count is a single page.
    if (gImageFormatCode == kImgFormatTiff && serverFile && *pageCount != 0) {
        args.page = 1;
        args.pageCount = nullptr;
    }
    int rc = DecodeHeldFile(gImageFormatCode, args, size);

    if (serverFile) hk.freeData(data);
    else GuardedFree(clientBlock);
    gImageDecodeState.sourcePos = nullptr;
    gImageDecodeState.sourceSize = 0;
    if (rc != kImgOk) return rc;
    return hk.takeImage(pict);
}

int ImageLoadFromMemory(const uint8_t* data, uint32_t length, PictRecord* pict, uint16_t page) {
    ImageClearState();
    if (!data || length < 3) return kImgInvalid;
    int code = data[1];
    if (!ValidFormat(code)) return kImgInvalid;
    uint32_t* pageCount = gImageLoadHooks.pictPageCount(pict);
    gImageDecodeState.sourcePos = data + 2;
    gImageDecodeState.sourceSize = length - 2;
    DecodeArgs args = {length - 2, page, pageCount, gImageLoadHooks.pictBackground(pict)};
    int rc = DecodeFormat(code, args);
    gImageDecodeState.sourcePos = nullptr;
    gImageDecodeState.sourceSize = 0;
    if (rc != kImgOk) return rc;
    return gImageLoadHooks.takeImage(pict);
}

int ImageDecodeBlock(const uint8_t* data, uint32_t size, PictRecord* pict) {
    ImageClearState();
    if (!data || size == 0) return kImgInvalid;
    gImageDecodeState.sourcePos = data;
    gImageDecodeState.sourceSize = size;
    int code = ImageDetectFormat(kImgFormatUnknown);
    DecodeArgs args = {size, 1, nullptr, gImageLoadHooks.pictBackground(pict)};
    int rc = DecodeFormat(code, args);
    gImageDecodeState.sourcePos = nullptr;
    gImageDecodeState.sourceSize = 0;
    return rc;
}

int ImagePaletteColors(RGBQUAD out[256]) {
    const BITMAPINFOHEADER& h = gImageDecodeState.header;
    if (h.biClrUsed > 0) {
        int n = h.biClrUsed < 256 ? static_cast<int>(h.biClrUsed) : 256;
        memcpy(out, gImageDecodeState.colors, n * sizeof(RGBQUAD));
        return n;
    }
    if (h.biBitCount < 16) return 0;
    // Colour cube: red fastest through 8 steps, then green through 8, blue through 4.
    int i = 0;
    for (int b = 0; b < 4; b++) {
        for (int g = 0; g < 8; g++) {
            for (int r = 0; r < 8; r++, i++) {
                out[i].rgbRed = static_cast<BYTE>(r * 32);
                out[i].rgbGreen = static_cast<BYTE>(g * 32);
                out[i].rgbBlue = static_cast<BYTE>(b * 64);
                out[i].rgbReserved = 0;
            }
        }
    }
    return i;
}
