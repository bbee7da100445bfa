// dibutil.cpp - DIB helpers: the BMP writer, pixel runs, image-list strips and
// transparent masks.
#include "graphics/image/dibutil.h"

#include <cstdio>
#include <cstring>

#include "graphics/image/imageload.h"
#include "session/util/bytereader.h"
#include "session/util/mem.h"

namespace {

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
    if (fclose(f) != 0 && rc == kDibWriteOk) rc = kDibWriteNoClose;
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
