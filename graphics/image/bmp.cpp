// bmp.cpp - the reader of BMP files and bare DIBs (core, info, V4 and V5
// headers; uncompressed, run-length and bit-field pixels): a core from a
// buffer into a DecodedImage, and the loaders' entry points over it.
#include "graphics/image/bmp.h"

#include <cstring>

#include "graphics/image/imageload.h"
#include "session/util/bytereader.h"
#include "session/util/mem.h"

namespace {

constexpr uint32_t kFileHeaderSize = 14;
constexpr uint32_t kOffBitsAt = 10;
constexpr uint32_t kCoreHeaderSize = 12;
constexpr uint32_t kInfoHeaderSize = 40;
constexpr uint32_t kV4HeaderSize = 108;
constexpr uint32_t kV5HeaderSize = 124;
constexpr uint32_t kMaskBytes = 12;
constexpr uint32_t kMaxColors = 256;
constexpr uint32_t kColorCountMask = 0xFFFF;
constexpr uint32_t kCoreEntrySize = 3;
constexpr uint32_t kInfoEntrySize = 4;

// Indexed by BmpResult.
const DecodeRule kBmpRules[kBmpResultCount] = {
    {kImgOk, "decoded"},
    {kImgInvalid, "the file header is cut short"},
    {kImgInvalid, "the header size is not 12, 40, 108 or 124"},
    {kImgInvalid, "the header runs past the data"},
    {kImgInvalid, "the bit count is not 1, 4, 8, 16, 24 or 32"},
    {kImgInvalid, "the compression does not fit the bit count"},
    {kImgInvalid, "the width or height is zero or out of range"},
    {kImgInvalid, "run-length data cannot be top-down"},
    {kImgInvalid, "more than 256 colours for 8 bits or fewer"},
    {kImgInvalid, "the bit-field masks are cut short"},
    {kImgNoMemory, kImageCeilingReason},
    {kImgInvalid, "the colour table is cut short"},
    {kImgInvalid, "the pixel offset points into the headers or colour table"},
    {kImgInvalid, "the pixel offset points past the data"},
    {kImgInvalid, "the run-length data is empty"},
    {kImgInvalid, "the run-length data is longer than the image size"},
    {kImgInvalid, "the pixel data is shorter than the rows"},
    {kImgNoMemory, "no memory for the bits"},
};

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

// The info part of the header at `at` (already known to be all there) as a
// 40-byte header; a core header's 16-bit fields are widened, the rest 0.
void BmpReadHeader(const ByteReader& r, uint32_t at, bool core, BITMAPINFOHEADER* h) {
    memset(h, 0, sizeof *h);
    h->biSize = kInfoHeaderSize;
    if (core) {
        uint16_t w = 0, ht = 0;
        r.U16At(at + 4, &w);
        r.U16At(at + 6, &ht);
        r.U16At(at + 8, &h->biPlanes);
        r.U16At(at + 10, &h->biBitCount);
        h->biWidth = w;
        h->biHeight = ht;
        return;
    }
    int32_t w = 0, ht = 0, xppm = 0, yppm = 0;
    uint32_t compression = 0, sizeImage = 0, clrUsed = 0, clrImportant = 0;
    r.I32At(at + 4, &w);
    r.I32At(at + 8, &ht);
    r.U16At(at + 12, &h->biPlanes);
    r.U16At(at + 14, &h->biBitCount);
    r.U32At(at + 16, &compression);
    r.U32At(at + 20, &sizeImage);
    r.I32At(at + 24, &xppm);
    r.I32At(at + 28, &yppm);
    r.U32At(at + 32, &clrUsed);
    r.U32At(at + 36, &clrImportant);
    h->biWidth = w;
    h->biHeight = ht;
    h->biCompression = compression;
    h->biSizeImage = sizeImage;
    h->biXPelsPerMeter = xppm;
    h->biYPelsPerMeter = yppm;
    h->biClrUsed = clrUsed;
    h->biClrImportant = clrImportant;
}

}  // namespace

const DecodeRule& BmpRule(int result) { return DecodeRuleOf(kBmpRules, kBmpResultCount, result); }

int BmpDecodeBuffer(const uint8_t* data, size_t length, bool lengthKnown, DecodedImage* out) {
    DecodedImageClear(out);
    ByteReader r(data, length);

    uint32_t hdr = 0, offBits = 0;
    bool fileHeader = false;
    uint8_t b0 = 0, b1 = 0;
    if (r.U8At(0, &b0) && r.U8At(1, &b1) && b0 == 'B' && b1 == 'M') {
        if (!r.U32At(kOffBitsAt, &offBits)) return kBmpShortFileHeader;
        hdr = kFileHeaderSize;
        fileHeader = true;
    }

    uint32_t headerSize;
    if (!r.U32At(hdr, &headerSize)) return kBmpShortHeader;
    if (headerSize != kCoreHeaderSize && headerSize != kInfoHeaderSize &&
        headerSize != kV4HeaderSize && headerSize != kV5HeaderSize)
        return kBmpBadHeaderSize;
    if (!r.Has(hdr, headerSize)) return kBmpShortHeader;

    const bool core = headerSize == kCoreHeaderSize;
    BITMAPINFOHEADER& h = out->header;
    BmpReadHeader(r, hdr, core, &h);

    const uint32_t bits = h.biBitCount;
    if (!BmpBitCountValid(bits, core)) return kBmpBadBitCount;
    if (!BmpCompressionValid(h.biCompression, bits)) return kBmpBadCompression;
    const bool rle = h.biCompression == BI_RLE8 || h.biCompression == BI_RLE4;
    // Zero or negative widths and zero heights describe no image; a negative
    // height is a top-down file, which run-length data cannot be.
    if (h.biWidth <= 0 || h.biHeight == 0 || h.biHeight == INT32_MIN) return kBmpBadDimensions;
    const bool topDown = h.biHeight < 0;
    if (topDown && rle) return kBmpTopDownRle;
    const uint32_t height = topDown ? static_cast<uint32_t>(-h.biHeight) : static_cast<uint32_t>(h.biHeight);

    // Colour count from the low 16 bits of biClrUsed. More than 256 colours
    // would run past the 256-entry table; for 8 bits or fewer such a file is
    // refused, deeper images keep only the first 256 of their optional table.
    uint32_t colors = h.biClrUsed & kColorCountMask;
    const bool countImplied = colors == 0;
    if (colors == 0 && bits < 9) colors = 1u << bits;
    if (bits <= 8 && colors > kMaxColors) return kBmpTooManyColours;
    const uint32_t entrySize = core ? kCoreEntrySize : kInfoEntrySize;
    uint32_t tableOff = hdr + headerSize;

    // Bit-field masks: after a 40-byte header, inside a V4 or V5 one. The masks
    // share the first colour-table entries, so a table beside them is dropped.
    uint8_t masks[kMaskBytes] = {};
    if (h.biCompression == BI_BITFIELDS) {
        if (headerSize == kInfoHeaderSize) {
            if (!r.BytesAt(tableOff, masks, kMaskBytes)) return kBmpShortMasks;
            tableOff += kMaskBytes;
        } else if (!r.BytesAt(hdr + kInfoHeaderSize, masks, kMaskBytes)) {
            return kBmpShortMasks;
        }
    }
    const uint32_t kept = h.biCompression == BI_BITFIELDS ? 0 : (colors < kMaxColors ? colors : kMaxColors);
    h.biClrUsed = kept;
    h.biClrImportant = kept;

    // The rows' size comes from width, height and depth alone, never from the
    // file's biSizeImage: a small file that declares a huge image size must
    // not get a block of that size.
    const CheckedSize stride = DibStride(static_cast<uint32_t>(h.biWidth), bits);
    CheckedSize rowsSize = stride;
    rowsSize.Mul(height);
    if (!rowsSize.Fits(gImageByteCap)) return kBmpTooLarge;

    // A header that states no colour count (every core header, biClrUsed 0)
    // implies a full table, but writers store only the colours used: pixels
    // that start inside that table leave it the whole entries before them,
    // the rest black.
    uint32_t stored = colors;
    if (fileHeader && countImplied && offBits >= tableOff && uint64_t(offBits) < tableOff + uint64_t(colors) * entrySize)
        stored = (offBits - tableOff) / entrySize;
    CheckedSize tableBytes(stored);
    tableBytes.Mul(entrySize);
    const uint8_t* t = tableBytes.ok ? r.PtrAt(tableOff, tableBytes.Size()) : nullptr;
    if (!t && stored) return kBmpShortTable;
    for (uint32_t i = 0; i < kept && i < stored; i++) {
        out->colors[i].rgbBlue = t[i * entrySize];
        out->colors[i].rgbGreen = t[i * entrySize + 1];
        out->colors[i].rgbRed = t[i * entrySize + 2];
    }
    if (h.biCompression == BI_BITFIELDS) memcpy(out->colors, masks, kMaskBytes);

    // Pixels that start inside the headers or the colour table would show
    // those bytes as pixels.
    const uint64_t tableEnd = uint64_t(tableOff) + tableBytes.value;
    if (fileHeader && offBits < tableEnd) return kBmpPixelsInHeaders;
    const uint64_t pixelOff = fileHeader ? offBits : tableEnd;
    if (pixelOff > r.Length()) return kBmpPixelsPastEnd;
    const size_t avail = r.Length() - static_cast<size_t>(pixelOff);

    size_t blockSize;
    if (rle) {
        // The image size the file declares, never below the rows it decodes
        // to; the block holds the run-length bytes the file has up to it.
        // With a known file size, more data than that is refused.
        const uint64_t declared = h.biSizeImage > rowsSize.value ? h.biSizeImage : rowsSize.value;
        if (lengthKnown && avail > declared) return kBmpRunLengthTooLong;
        blockSize = avail < declared ? avail : static_cast<size_t>(declared);
        if (blockSize == 0) return kBmpNoRunLength;
    } else {
        blockSize = rowsSize.Size();
        if (avail < blockSize) return kBmpShortPixels;
    }

    out->bits = static_cast<uint8_t*>(LocalAllocZero(blockSize));
    if (!out->bits) return kBmpNoMemory;
    memcpy(out->bits, r.Data() + pixelOff, blockSize);
    if (topDown) BmpFlipRows(out->bits, stride.Size(), height);
    h.biHeight = static_cast<LONG>(height);
    h.biSizeImage = static_cast<DWORD>(blockSize);
    return kBmpOk;
}

int BmpDecode(uint32_t size) {
    ImageDecodeState& st = gImageDecodeState;
    const bool sized = size != 0;
    DecodedImage image;
    int rc = BmpDecodeBuffer(st.sourcePos, sized ? size : st.sourceSize, sized, &image);
    return ImageAdoptDecoded(BmpRule(rc), &image);
}

int BmpDecodeUnsized() { return BmpDecode(0); }
