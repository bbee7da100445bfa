// dibutil.cpp - DIB helpers: the BMP writer, pixel runs, image-list strips and
// transparent masks.
#include "graphics/image/dibutil.h"

#include <cstdio>
#include <cstring>

// Every x86 processor this client runs on has SSE2; on i686 the compiler is not
// told so for the whole program, so the vector function asks for it itself.
#if defined(__i386__) || defined(__x86_64__)
#include <emmintrin.h>
#include <tmmintrin.h>
#define QOV_DIB_SSE2 1
#define QOV_DIB_SSE2_FN __attribute__((target("sse2")))
#define QOV_DIB_SSSE3_FN __attribute__((target("ssse3")))
#else
#define QOV_DIB_SSE2 0
#endif

#include "graphics/image/imageload.h"
#include "session/util/bytereader.h"
#include "session/util/mem.h"

namespace {

#if QOV_DIB_SSE2
// 8-bit RGB pixels into BGR, five at a time from one 16-byte load: output
// byte j is source byte j + 2, j or j - 2 as j is 0, 1 or 2 modulo 3. The
// sixteenth byte stored is wrong (its source lies past the load), so a store
// ends inside the row and the next store, or the byte loop after, writes that
// pixel again. Returns the pixels done.
QOV_DIB_SSE2_FN size_t RgbToBgrSse2(const uint8_t* s, size_t n, uint8_t* d) {
    constexpr size_t kGroup = 5, kVector = 16;
    const __m128i fromRight = _mm_setr_epi8(-1, 0, 0, -1, 0, 0, -1, 0, 0, -1, 0, 0, -1, 0, 0, 0);
    const __m128i green = _mm_setr_epi8(0, -1, 0, 0, -1, 0, 0, -1, 0, 0, -1, 0, 0, -1, 0, 0);
    const __m128i fromLeft = _mm_setr_epi8(0, 0, -1, 0, 0, -1, 0, 0, -1, 0, 0, -1, 0, 0, -1, 0);
    size_t x = 0;
    for (; 3 * x + kVector <= 3 * n; x += kGroup) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 3 * x));
        const __m128i out = _mm_or_si128(_mm_and_si128(v, green),
                                         _mm_or_si128(_mm_and_si128(_mm_srli_si128(v, 2), fromRight),
                                                      _mm_and_si128(_mm_slli_si128(v, 2), fromLeft)));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d + 3 * x), out);
    }
    return x;
}

// The same with one byte shuffle per five pixels, on processors that have it
// (asked once): two groups a turn, the second's load made before the first's
// store, which overlaps it.
QOV_DIB_SSSE3_FN size_t RgbToBgrSsse3(const uint8_t* s, size_t n, uint8_t* d) {
    constexpr size_t kGroup = 5, kVector = 16;
    const __m128i order = _mm_setr_epi8(2, 1, 0, 5, 4, 3, 8, 7, 6, 11, 10, 9, 14, 13, 12, 15);
    size_t x = 0;
    for (; 3 * (x + kGroup) + kVector <= 3 * n; x += 2 * kGroup) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 3 * x));
        const __m128i w = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 3 * (x + kGroup)));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d + 3 * x), _mm_shuffle_epi8(v, order));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d + 3 * (x + kGroup)), _mm_shuffle_epi8(w, order));
    }
    for (; 3 * x + kVector <= 3 * n; x += kGroup) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 3 * x));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d + 3 * x), _mm_shuffle_epi8(v, order));
    }
    return x;
}

#endif

constexpr uint32_t kMaskBytes = 12;
constexpr uint16_t kBmpMagic = 0x4D42;  // "BM"
enum StripResult { kStripOk = 0, kStripNoInfo = 2, kStripBadDepth = 5, kStripNoMemory = 6 };

uint32_t DefaultSystemColor(int) { return 0; }

bool WriteAll(FILE* f, const void* p, size_t n) { return n == 0 || fwrite(p, 1, n, f) == n; }

void PutU16(uint8_t* p, uint16_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}
void PutU32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; i++) p[i] = uint8_t(v >> (8 * i));
}

}  // namespace

uint32_t (*gDibSystemColor)(int index) = DefaultSystemColor;

size_t DibRowBytes(uint32_t width, uint32_t bitCount) {
    CheckedSize s = DibStride(width, bitCount);
    return s.ok ? s.Size() : 0;
}

int DibWriteBmpFile(const char* path, const BITMAPINFOHEADER* header, const void* bits) {
    // Bit-field masks follow the header and count in the pixel offset.
    const uint32_t masks = header->biCompression == BI_BITFIELDS ? kMaskBytes : 0;
    CheckedSize headerBytes(header->biSize);
    headerBytes.Add(masks).Add(CheckedSize(header->biClrUsed).Mul(4).value);
    // A missing image size is taken from the rows, so no pixel is lost.
    CheckedSize image(header->biSizeImage);
    if (header->biSizeImage == 0 && (header->biCompression == BI_RGB || header->biCompression == BI_BITFIELDS)) {
        image = DibStride(uint32_t(header->biWidth), header->biBitCount);
        image.Mul(uint32_t(header->biHeight < 0 ? -int64_t(header->biHeight) : header->biHeight));
    }
    CheckedSize fileBytes = headerBytes;
    fileBytes.Add(14).Add(image.value);
    if (!headerBytes.ok || !image.ok || !fileBytes.ok || header->biClrUsed > 256) return kDibWriteNoCreate;

    FILE* f = fopen(gImageLoadHooks.oemToAnsi(path), "wb");
    if (!f) return kDibWriteNoCreate;
    uint8_t fh[14];
    PutU16(fh, kBmpMagic);
    PutU32(fh + 2, uint32_t(fileBytes.value));
    PutU16(fh + 6, 0);
    PutU16(fh + 8, 0);
    PutU32(fh + 10, uint32_t(headerBytes.value + 14));
    int rc = kDibWriteOk;
    if (!WriteAll(f, fh, sizeof fh)) rc = kDibWriteNoFileHeader;
    else if (!WriteAll(f, header, headerBytes.Size())) rc = kDibWriteNoHeader;
    else if (!WriteAll(f, bits, image.Size())) rc = kDibWriteNoPixels;
    // The last bytes are flushed and the error mark read before the close:
    // Wine's msvcrt fclose answers 0 when its own last flush fails.
    bool unflushed = fflush(f) != 0 || ferror(f) != 0;
    if ((fclose(f) != 0 || unflushed) && rc == kDibWriteOk) rc = kDibWriteNoClose;
    return rc;
}

void CopyPixelRun(uint8_t* dst, uint32_t dstX, const uint8_t* src, uint32_t srcX, uint32_t count,
                  uint32_t bitCount) {
    if (bitCount >= 8) {
        size_t bpp = bitCount / 8;
        memmove(dst + size_t(dstX) * bpp, src + size_t(srcX) * bpp, size_t(count) * bpp);
        return;
    }
    // 1 and 4 bits: pixel by pixel, most significant bits first.
    const uint32_t perByte = 8 / bitCount, mask = (1u << bitCount) - 1;
    for (uint32_t i = 0; i < count; i++) {
        uint32_t sx = srcX + i, dx = dstX + i;
        uint32_t sShift = (perByte - 1 - sx % perByte) * bitCount;
        uint32_t dShift = (perByte - 1 - dx % perByte) * bitCount;
        uint32_t v = (src[sx / perByte] >> sShift) & mask;
        uint8_t& d = dst[dx / perByte];
        d = uint8_t((d & ~(mask << dShift)) | (v << dShift));
    }
}

int DibGridToStrip(const BITMAPINFOHEADER* header, const uint8_t* bits, uint32_t imageWidth,
                   uint32_t imageHeight, uint32_t count, BITMAPINFOHEADER* stripHeader, uint8_t** stripBits) {
    if (imageWidth == 0 || imageHeight == 0 || header->biWidth <= 0 || header->biHeight <= 0 ||
        uint32_t(header->biWidth) < imageWidth)
        return kStripNoInfo;
    const uint32_t depth = header->biBitCount;
    if (depth != 1 && depth != 4 && depth != 8 && depth != 16 && depth != 24 && depth != 32) return kStripBadDepth;
    const uint32_t perRow = uint32_t(header->biWidth) / imageWidth;
    const uint32_t srcHeight = uint32_t(header->biHeight);
    CheckedSize stripWidth(imageWidth);
    stripWidth.Mul(count);
    CheckedSize stride = DibStride(stripWidth.value, depth);
    CheckedSize size = stride;
    size.Mul(imageHeight);
    if (!stripWidth.ok || !size.Fits(gImageByteCap)) return kStripNoMemory;
    auto* out = static_cast<uint8_t*>(LocalAllocZero(size.Size()));
    if (!out) return kStripNoMemory;
    const size_t srcStride = DibStride(uint32_t(header->biWidth), depth).Size();
    for (uint32_t i = 0; i < count; i++) {
        uint32_t gx = (i % perRow) * imageWidth, gy = (i / perRow) * imageHeight;
        for (uint32_t y = 0; y < imageHeight; y++) {
            // Rows counted from the top of the grid; DIB rows are stored bottom-up.
            if (gy + y >= srcHeight) break;
            const uint8_t* s = bits + size_t(srcHeight - 1 - gy - y) * srcStride;
            uint8_t* d = out + size_t(imageHeight - 1 - y) * stride.Size();
            CopyPixelRun(d, i * imageWidth, s, gx, imageWidth, depth);
        }
    }
    *stripHeader = *header;
    stripHeader->biWidth = LONG(stripWidth.value);
    stripHeader->biHeight = LONG(imageHeight);
    stripHeader->biSizeImage = DWORD(size.value);
    *stripBits = out;
    return kStripOk;
}

bool ApplyTransparentMask(int32_t colour, const BITMAPINFOHEADER* header, uint8_t* bits,
                          const BITMAPINFOHEADER* maskHeader, const uint8_t* maskBits) {
    const uint32_t depth = header->biBitCount;
    if (depth < 1 || depth > 32 || maskHeader->biBitCount != 1) return false;
    uint32_t rgb = colour < 0 ? gDibSystemColor(-colour) : uint32_t(colour);
    uint32_t index = 0;
    if (header->biClrUsed > 0) {
        const RGBQUAD* table = reinterpret_cast<const RGBQUAD*>(header + 1);
        uint32_t i = 0;
        for (; i < header->biClrUsed; i++) {
            if (table[i].rgbRed == uint8_t(rgb) && table[i].rgbGreen == uint8_t(rgb >> 8) &&
                table[i].rgbBlue == uint8_t(rgb >> 16))
                break;
        }
        if (i == header->biClrUsed) return false;
        index = i;
    } else if (depth == 16) {
        // 5-5-5 without a table: the colour itself.
        index = ((rgb & 0xF8) << 7) | ((rgb >> 6) & 0x3E0) | ((rgb >> 19) & 0x1F);
    } else if (depth >= 24) {
        // Blue, green, red in memory order.
        index = ((rgb & 0xFF) << 16) | (rgb & 0xFF00) | ((rgb >> 16) & 0xFF);
    }
    if (header->biWidth <= 0 || maskHeader->biWidth <= 0) return false;
    const uint32_t width = uint32_t(header->biWidth < maskHeader->biWidth ? header->biWidth : maskHeader->biWidth);
    const int32_t h1 = header->biHeight < 0 ? -header->biHeight : header->biHeight;
    const int32_t h2 = maskHeader->biHeight < 0 ? -maskHeader->biHeight : maskHeader->biHeight;
    const uint32_t height = uint32_t(h1 < h2 ? h1 : h2);
    const size_t stride = DibStride(uint32_t(header->biWidth), depth).Size();
    const size_t maskStride = DibStride(uint32_t(maskHeader->biWidth), 1).Size();
    for (uint32_t y = 0; y < height; y++) {
        const uint8_t* m = maskBits + size_t(y) * maskStride;
        uint8_t* row = bits + size_t(y) * stride;
        for (uint32_t x = 0; x < width; x++) {
            if (!(m[x >> 3] & (0x80 >> (x & 7)))) continue;
            switch (depth) {
            case 1:
                if (index & 1) row[x >> 3] |= uint8_t(0x80 >> (x & 7));
                else row[x >> 3] &= uint8_t(~(0x80 >> (x & 7)));
                break;
            case 4:
                row[x >> 1] = (x & 1) ? uint8_t((row[x >> 1] & 0xF0) | (index & 0x0F))
                                      : uint8_t((row[x >> 1] & 0x0F) | (index << 4));
                break;
            case 8: row[x] = uint8_t(index); break;
            case 16: PutU16(row + size_t(x) * 2, uint16_t(index)); break;
            case 24:
                row[size_t(x) * 3] = uint8_t(index);
                row[size_t(x) * 3 + 1] = uint8_t(index >> 8);
                row[size_t(x) * 3 + 2] = uint8_t(index >> 16);
                break;
            case 32: PutU32(row + size_t(x) * 4, index); break;
            default: return false;
            }
        }
    }
    return true;
}

namespace {

constexpr uint32_t kZoomWhole = 1000;
constexpr uint32_t kGreyLevels = 5;
constexpr uint32_t kLevelDivisor = 51;   // 255 / 51 = 5, capped at level 4
constexpr uint32_t kSmallCellZoom = 500; // cells of at most 2 x 2 pixels

// Output size of one side, never 0 and never larger than the source.
uint32_t MonoReducedSize(uint32_t size, uint32_t zoom) {
    uint64_t out = uint64_t(size) * zoom / kZoomWhole;
    if (out < 1) out = 1;
    return out > size ? size : uint32_t(out);
}

// The source range [first, last) of output pixel o out of n.
inline uint32_t MonoCellStart(uint32_t o, uint32_t src, uint32_t n) { return uint32_t(uint64_t(o) * src / n); }

bool MonoViewSizes(const BITMAPINFOHEADER* h, uint32_t zoom, uint32_t* w, uint32_t* ht) {
    if (h->biBitCount != 1 || h->biWidth <= 0 || h->biHeight <= 0 || zoom == 0 || zoom >= kZoomWhole) return false;
    *w = MonoReducedSize(uint32_t(h->biWidth), zoom);
    *ht = MonoReducedSize(uint32_t(h->biHeight), zoom);
    return true;
}

}  // namespace

uint32_t MonoCellCount(const uint8_t* bits, size_t stride, uint32_t x0, uint32_t x1, uint32_t y0, uint32_t y1) {
    uint32_t count = 0;
    for (uint32_t y = y0; y < y1; y++) {
        const uint8_t* row = bits + size_t(y) * stride;
        for (uint32_t x = x0; x < x1; x++) count += (row[x >> 3] >> (7 - (x & 7))) & 1;
    }
    return count;
}

int MonoReduceOr(const BITMAPINFOHEADER* header, const uint8_t* bits, uint32_t zoom, BITMAPINFOHEADER* outHeader,
                 uint8_t** outBits) {
    uint32_t w, h;
    if (!MonoViewSizes(header, zoom, &w, &h)) return kImgInvalid;
    const uint32_t srcW = uint32_t(header->biWidth), srcH = uint32_t(header->biHeight);
    const size_t srcStride = DibRowBytes(srcW, 1), stride = DibRowBytes(w, 1);
    auto* out = static_cast<uint8_t*>(LocalAllocZero(stride * h));
    if (!out) return kImgNoMemory;
    for (uint32_t oy = 0; oy < h; oy++) {
        uint32_t y0 = MonoCellStart(oy, srcH, h), y1 = MonoCellStart(oy + 1, srcH, h);
        for (uint32_t ox = 0; ox < w; ox++) {
            uint32_t x0 = MonoCellStart(ox, srcW, w), x1 = MonoCellStart(ox + 1, srcW, w);
            if (MonoCellCount(bits, srcStride, x0, x1, y0, y1)) out[oy * stride + (ox >> 3)] |= uint8_t(0x80 >> (ox & 7));
        }
    }
    *outHeader = *header;
    outHeader->biWidth = LONG(w);
    outHeader->biHeight = LONG(h);
    outHeader->biSizeImage = DWORD(stride * h);
    *outBits = out;
    return kImgOk;
}

void DitherRow(const int* values, int* errThis, int* errNext, uint32_t width, bool rightToLeft, uint8_t* out) {
    const int dir = rightToLeft ? -1 : 1;
    for (uint32_t i = 0; i < width; i++) {
        const int x = rightToLeft ? int(width - 1 - i) : int(i);
        int v = values[x] + (errThis[x] >= 0 ? errThis[x] + 8 : errThis[x] - 8) / 16;
        v = v < 0 ? 0 : v > 255 ? 255 : v;
        uint32_t level = uint32_t(v) / kLevelDivisor;
        if (level > kGreyLevels - 1) level = kGreyLevels - 1;
        out[x] = uint8_t(level);
        const int e = v - int(level * 255 / (kGreyLevels - 1));
        const int ahead = x + dir, behind = x - dir;
        if (ahead >= 0 && ahead < int(width)) {
            errThis[ahead] += e * 7;
            errNext[ahead] += e * 1;
        }
        if (behind >= 0 && behind < int(width)) errNext[behind] += e * 3;
        errNext[x] += e * 5;
    }
}

void MonoDitherRows(uint8_t* rows, size_t stride, uint32_t width, uint32_t height, int* work) {
    int* values = work;
    int* errThis = work + width;
    int* errNext = work + 2 * size_t(width);
    for (uint32_t y = 0; y < height; y++) {
        uint8_t* row = rows + size_t(y) * stride;
        for (uint32_t x = 0; x < width; x++) values[x] = row[x];
        DitherRow(values, errThis, errNext, width, (y & 1) != 0, row);
        for (uint32_t x = 0; x < width; x++) {
            errThis[x] = errNext[x];
            errNext[x] = 0;
        }
    }
}

int MonoReduceGrey(const BITMAPINFOHEADER* header, const RGBQUAD* colors, const uint8_t* bits, uint32_t zoom,
                   BITMAPINFOHEADER* outHeader, RGBQUAD outColors[5], uint8_t** outBits) {
    uint32_t w, h;
    if (!MonoViewSizes(header, zoom, &w, &h)) return kImgInvalid;
    const uint32_t srcW = uint32_t(header->biWidth), srcH = uint32_t(header->biHeight);
    const size_t srcStride = DibRowBytes(srcW, 1), stride = DibRowBytes(w, 8);
    auto* out = static_cast<uint8_t*>(LocalAllocZero(stride * h));
    // Cell greys of one row and the errors of this row and the next.
    auto* work = static_cast<int*>(LocalAllocZero(sizeof(int) * size_t(w) * 3));
    if (!out || !work) {
        LocalFreeMem(out);
        LocalFreeMem(work);
        return kImgNoMemory;
    }
    for (uint32_t oy = 0; oy < h; oy++) {
        uint32_t y0 = MonoCellStart(oy, srcH, h), y1 = MonoCellStart(oy + 1, srcH, h);
        for (uint32_t ox = 0; ox < w; ox++) {
            uint32_t x0 = MonoCellStart(ox, srcW, w), x1 = MonoCellStart(ox + 1, srcW, w);
            uint32_t cell = (x1 - x0) * (y1 - y0);
            uint32_t count = MonoCellCount(bits, srcStride, x0, x1, y0, y1);
            // Near full size the cells hold one to four pixels: count them
            // all out of four, so a one-pixel cell is either empty or full.
            if (zoom >= kSmallCellZoom && cell < 4) {
                count *= 4 / cell;
                cell = 4;
            }
            out[size_t(oy) * stride + ox] = uint8_t(count * 255 / cell);
        }
    }
    MonoDitherRows(out, stride, w, h, work);
    LocalFreeMem(work);
    // Level 0 (no set bits) shows the colour of index 0.
    static const uint8_t kGreys[kGreyLevels] = {255, 192, 128, 64, 0};
    const bool reversed = colors[0].rgbBlue == 0;
    for (uint32_t i = 0; i < kGreyLevels; i++) {
        uint8_t g = kGreys[reversed ? kGreyLevels - 1 - i : i];
        outColors[i].rgbBlue = outColors[i].rgbGreen = outColors[i].rgbRed = g;
        outColors[i].rgbReserved = 0;
    }
    memset(outHeader, 0, sizeof *outHeader);
    outHeader->biSize = 40;
    outHeader->biWidth = LONG(w);
    outHeader->biHeight = LONG(h);
    outHeader->biPlanes = 1;
    outHeader->biBitCount = 8;
    outHeader->biSizeImage = DWORD(stride * h);
    outHeader->biClrUsed = outHeader->biClrImportant = kGreyLevels;
    *outBits = out;
    return kImgOk;
}

DibVectorLevel gDibVectorCap = kDibVectorAll;

#if QOV_DIB_SSE2
bool DibCpuHasSsse3() {
    static const bool has = __builtin_cpu_supports("ssse3");
    return has && gDibVectorCap == kDibVectorAll;
}
#endif

void DibRgbToBgr(const uint8_t* s, size_t n, uint8_t* d) {
    size_t x = 0;
#if QOV_DIB_SSE2
    if (gDibVectorCap != kDibVectorNone) x = DibCpuHasSsse3() ? RgbToBgrSsse3(s, n, d) : RgbToBgrSse2(s, n, d);
#endif
    for (; x < n; x++) {
        const uint8_t r = s[3 * x], g = s[3 * x + 1], b = s[3 * x + 2];
        d[3 * x] = b;
        d[3 * x + 1] = g;
        d[3 * x + 2] = r;
    }
}
