// bmp.cpp - the reader of BMP files and bare DIBs (core, info, V4 and V5
// headers; uncompressed, run-length and bit-field pixels) into gImageDecodeState.
#include "graphics/image/bmp.h"

#include <cstring>

#include "graphics/image/imageload.h"
#include "session/util/bytereader.h"
#include "session/util/mem.h"

namespace {

constexpr uint32_t kFileHeaderSize = 14;
constexpr uint32_t kCoreHeaderSize = 12;
constexpr uint32_t kInfoHeaderSize = 40;
constexpr uint32_t kV4HeaderSize = 108;
constexpr uint32_t kV5HeaderSize = 124;
constexpr uint32_t kMaskBytes = 12;
constexpr uint32_t kMaxColors = 256;

bool BmpBitCountValid(uint32_t bits, bool core) {
    switch (bits) {
    case 1: case 4: case 8: case 24: return true;
    case 16: case 32: return !core;
    default: return false;
    }
}

// Run-length coding needs its own depth; bit fields only exist for 16 and 32 bits.
bool BmpCompressionValid(uint32_t compression, uint32_t bits) {
    switch (compression) {
    case BI_RGB: return true;
    case BI_RLE8: return bits == 8;
    case BI_RLE4: return bits == 4;
    case BI_BITFIELDS: return bits == 16 || bits == 32;
    default: return false;
    }
}

// Turns rows stored top-down into the bottom-up order of a DIB.
void BmpFlipRows(uint8_t* bits, size_t stride, uint32_t height) {
    uint8_t* top = bits;
    uint8_t* bottom = bits + (height - 1) * stride;
    while (top < bottom) {
        for (size_t i = 0; i < stride; i++) {
            uint8_t t = top[i];
            top[i] = bottom[i];
            bottom[i] = t;
        }
        top += stride;
        bottom -= stride;
    }
}

}  // namespace

int BmpDecode(uint32_t size) {
    ImageDecodeState& st = gImageDecodeState;
    const bool sized = size != 0;
    ByteReader r(st.sourcePos, sized ? size : st.sourceSize);

    uint32_t hdr = 0, offBits = 0;
    bool fileHeader = false;
    uint8_t b0 = 0, b1 = 0;
    if (r.U8At(0, &b0) && r.U8At(1, &b1) && b0 == 'B' && b1 == 'M') {
        if (!r.U32At(10, &offBits)) return kImgInvalid;
        hdr = kFileHeaderSize;
        fileHeader = true;
    }

    uint32_t headerSize;
    if (!r.U32At(hdr, &headerSize)) return kImgInvalid;
    if (headerSize != kCoreHeaderSize && headerSize != kInfoHeaderSize &&
        headerSize != kV4HeaderSize && headerSize != kV5HeaderSize)
        return kImgInvalid;
    if (!r.Has(hdr, headerSize)) return kImgInvalid;

    const bool core = headerSize == kCoreHeaderSize;
    BITMAPINFOHEADER h;
    memset(&h, 0, sizeof h);
    h.biSize = kInfoHeaderSize;
    if (core) {
        uint16_t w = 0, ht = 0, planes = 0, bitCount = 0;
        r.U16At(hdr + 4, &w);
        r.U16At(hdr + 6, &ht);
        r.U16At(hdr + 8, &planes);
        r.U16At(hdr + 10, &bitCount);
        h.biWidth = w;
        h.biHeight = ht;
        h.biPlanes = planes;
        h.biBitCount = bitCount;
    } else {
        int32_t w = 0, ht = 0, xppm = 0, yppm = 0;
        uint32_t compression = 0, sizeImage = 0, clrUsed = 0, clrImportant = 0;
        r.I32At(hdr + 4, &w);
        r.I32At(hdr + 8, &ht);
        r.U16At(hdr + 12, &h.biPlanes);
        r.U16At(hdr + 14, &h.biBitCount);
        r.U32At(hdr + 16, &compression);
        r.U32At(hdr + 20, &sizeImage);
        r.I32At(hdr + 24, &xppm);
        r.I32At(hdr + 28, &yppm);
        r.U32At(hdr + 32, &clrUsed);
        r.U32At(hdr + 36, &clrImportant);
        h.biWidth = w;
        h.biHeight = ht;
        h.biCompression = compression;
        h.biSizeImage = sizeImage;
        h.biXPelsPerMeter = xppm;
        h.biYPelsPerMeter = yppm;
        h.biClrUsed = clrUsed;
        h.biClrImportant = clrImportant;
    }

    const uint32_t bits = h.biBitCount;
    if (!BmpBitCountValid(bits, core) || !BmpCompressionValid(h.biCompression, bits))
        return kImgInvalid;
    const bool rle = h.biCompression == BI_RLE8 || h.biCompression == BI_RLE4;
    // Zero or negative widths and zero heights describe no image; a negative
    // height is a top-down file, which run-length data cannot be.
    if (h.biWidth <= 0 || h.biHeight == 0 || h.biHeight == INT32_MIN) return kImgInvalid;
    const bool topDown = h.biHeight < 0;
    if (topDown && rle) return kImgInvalid;
    const uint32_t height = topDown ? static_cast<uint32_t>(-h.biHeight) : h.biHeight;

    // Colour count from the low 16 bits of biClrUsed. More than 256 colours
    // would run past the 256-entry table; for 8 bits or fewer such a file is
    // refused, deeper images keep only the first 256 of their optional table.
    uint32_t colors = h.biClrUsed & 0xFFFF;
    if (colors == 0 && bits < 9) colors = 1u << bits;
    if (bits <= 8 && colors > kMaxColors) return kImgInvalid;
    const uint32_t entrySize = core ? 3 : 4;
    uint32_t tableOff = hdr + headerSize;

    // Bit-field masks: after a 40-byte header, inside a V4 or V5 one. The masks
    // share the first colour-table entries, so a table beside them is dropped.
    uint8_t masks[kMaskBytes] = {};
    if (h.biCompression == BI_BITFIELDS) {
        if (headerSize == kInfoHeaderSize) {
            if (!r.BytesAt(tableOff, masks, kMaskBytes)) return kImgInvalid;
            tableOff += kMaskBytes;
        } else if (!r.BytesAt(hdr + kInfoHeaderSize, masks, kMaskBytes)) {
            return kImgInvalid;
        }
    }
    const uint32_t kept = h.biCompression == BI_BITFIELDS ? 0 : (colors < kMaxColors ? colors : kMaxColors);
    h.biClrUsed = kept;
    h.biClrImportant = kept;

    // The bits block is never smaller than the rows need, whatever biSizeImage says.
    CheckedSize rowsSize = DibStride(static_cast<uint32_t>(h.biWidth), bits);
    rowsSize.Mul(height);
    if (!rowsSize.Fits(gImageByteCap)) return kImgInvalid;
    if (!CheckedSize(h.biSizeImage).Fits(gImageByteCap)) return kImgInvalid;
    if (h.biSizeImage < rowsSize.value) h.biSizeImage = static_cast<DWORD>(rowsSize.value);
    const size_t stride = DibStride(static_cast<uint32_t>(h.biWidth), bits).Size();

    CheckedSize tableBytes(colors);
    tableBytes.Mul(entrySize);
    if (!tableBytes.ok || !r.Has(tableOff, tableBytes.Size())) return kImgInvalid;
    RGBQUAD table[kMaxColors];
    memset(table, 0, sizeof table);
    const uint8_t* t = r.PtrAt(tableOff, tableBytes.Size());
    for (uint32_t i = 0; i < kept; i++) {
        table[i].rgbBlue = t[i * entrySize];
        table[i].rgbGreen = t[i * entrySize + 1];
        table[i].rgbRed = t[i * entrySize + 2];
    }
    if (h.biCompression == BI_BITFIELDS) memcpy(table, masks, kMaskBytes);

    const uint64_t pixelOff = fileHeader ? offBits : uint64_t(tableOff) + tableBytes.value;
    if (pixelOff > r.Length()) return kImgInvalid;
    const size_t avail = r.Length() - static_cast<size_t>(pixelOff);
    size_t copy;
    if (rle) {
        // Run-length data is as long as the source; with a known size, more of
        // it than the block holds is refused, with an unknown size the block's
        // worth is taken.
        if (sized && avail > h.biSizeImage) return kImgInvalid;
        copy = avail < h.biSizeImage ? avail : h.biSizeImage;
    } else {
        copy = rowsSize.Size();
        if (avail < copy) return kImgInvalid;
    }

    if (!ImageAllocBits(h.biSizeImage)) return kImgNoMemory;
    memcpy(st.bits, r.Data() + pixelOff, copy);
    if (topDown) BmpFlipRows(st.bits, stride, height);
    h.biHeight = static_cast<LONG>(height);
    st.header = h;
    memcpy(st.colors, table, sizeof table);
    return kImgOk;
}

int BmpDecodeUnsized() { return BmpDecode(0); }
