// gif.cpp - the GIF reader: the first image of the stream (global or local
// colour table, interlaced rows put in display order) decoded with the
// variable-length LZW of the format into a 1-, 4- or 8-bit DIB. The decoder's
// tables belong to each call, so decodes never share state.
#include "graphics/image/gif.h"

#include <cstring>

#include "graphics/image/imageload.h"
#include "session/util/bytereader.h"
#include "session/util/mem.h"

namespace {

constexpr uint32_t kMaxWidth = 4097;      // the line buffer's size
constexpr int kTableSize = 4096;          // 12-bit codes
constexpr int kStackSize = 4096;
constexpr int kMaxCodeWidth = 12;
constexpr int kMinCodeSize = 2;
constexpr int kMaxCodeSize = 9;
constexpr uint32_t kScreenBytes = 13;
constexpr uint32_t kDescriptorBytes = 9;
constexpr uint32_t kMaxTableEntries = 256;
constexpr uint32_t kScreenFlagsAt = 10;
constexpr uint32_t kDescriptorFlagsAt = 8;
constexpr int kExtensionIntroducer = 0x21;
constexpr int kImageSeparator = 0x2C;
constexpr uint8_t kTableFlag = 0x80;
constexpr uint8_t kInterlaceFlag = 0x40;
constexpr uint8_t kTableSizeBits = 7;
constexpr int kEndOfSource = -1;
enum GifLzwResult { kLzwDone = 0, kLzwEndOfData = -1, kLzwBadCodeSize = -20, kLzwCorrupt = -21 };

// Indexed by GifResult.
const DecodeRule kGifRules[kGifResultCount] = {
    {kImgOk, "decoded"},
    {kImgInvalid, "the header and screen descriptor are cut short"},
    {kImgInvalid, "the signature is not GIF with a version"},
    {kImgInvalid, "the global colour table is cut short"},
    {kImgInvalid, "the data ends inside an extension"},
    {kImgInvalid, "no image descriptor follows the extensions"},
    {kImgInvalid, "the image descriptor is cut short"},
    {kImgInvalid, "the local colour table is cut short"},
    {kImgInvalid, "there is no colour table"},
    {kImgInvalid, "the width or height is zero"},
    {kImgInvalid, "the image is wider than 4097 pixels"},
    {kImgNoMemory, kImageCeilingReason},
    {kImgInvalid, "the LZW code size is outside 2..9"},
    {kImgNoMemory, "no memory for the decoder or the bits"},
};

// The image being built.
struct GifWork {
    uint32_t width, height;
    uint32_t colorCount;     // 2, 16 or 256
    uint32_t pixelsPerByte;  // 8, 2 or 1
    size_t stride;
    uint8_t* bits;
    uint32_t row;            // rows stored so far, in stream order
    bool interlaced;
};

// LZW decoder state.
struct GifLzw {
    int codeWidth, clearCode, endCode, firstFree, nextSlot, topSlot;
    uint32_t bitBuffer;
    int bitCount;
    int blockLeft;
};

// Everything one decode works with: the source and its read position, the
// image, the LZW state and its tables.
struct GifDecoder {
    const uint8_t* data;
    size_t length;
    size_t pos;
    GifWork work;
    GifLzw lzw;
    uint8_t colors[kMaxTableEntries * 3];
    uint8_t line[kMaxWidth];
    uint16_t prefix[kTableSize];
    uint8_t suffix[kTableSize];
    uint8_t stack[kStackSize];
};

int GifNextByte(GifDecoder* d) {
    ByteReader r(d->data, d->length);
    uint8_t b;
    if (!r.U8At(d->pos, &b)) return kEndOfSource;
    d->pos++;
    return b;
}

bool GifReadBytes(GifDecoder* d, uint8_t* out, uint32_t n) {
    ByteReader r(d->data, d->length);
    if (!r.BytesAt(d->pos, out, n)) return false;
    d->pos += n;
    return true;
}

// Skips data sub-blocks up to the empty one; false when the data ends first.
bool GifSkipSubBlocks(GifDecoder* d) {
    for (;;) {
        int size = GifNextByte(d);
        if (size < 0) return false;
        if (size == 0) return true;
        if (d->length - d->pos < uint32_t(size)) return false;
        d->pos += size_t(size);
    }
}

void GifLzwInit(GifDecoder* d, int codeSize) {
    GifLzw& z = d->lzw;
    z.codeWidth = codeSize + 1;
    z.topSlot = 1 << (codeSize + 1);
    z.clearCode = 1 << codeSize;
    z.endCode = z.clearCode + 1;
    z.firstFree = z.nextSlot = z.endCode + 1;
    z.bitBuffer = 0;
    z.bitCount = 0;
    z.blockLeft = 0;
    memset(d->prefix, 0, sizeof d->prefix);
    memset(d->suffix, 0, sizeof d->suffix);
}

// Bits least significant first from the data sub-blocks; negative at the end.
inline int GifNextCode(GifDecoder* d) {
    GifLzw& z = d->lzw;
    while (z.bitCount < z.codeWidth) {
        if (z.blockLeft == 0) {
            int size = GifNextByte(d);
            if (size <= 0) return kLzwEndOfData;
            z.blockLeft = size;
        }
        int b = GifNextByte(d);
        if (b < 0) return kLzwEndOfData;
        z.blockLeft--;
        z.bitBuffer |= uint32_t(b) << z.bitCount;
        z.bitCount += 8;
    }
    int code = int(z.bitBuffer & ((1u << z.codeWidth) - 1));
    z.bitBuffer >>= z.codeWidth;
    z.bitCount -= z.codeWidth;
    return code;
}

// The display row of the n-th stored row of an interlaced image (passes every
// 8th row from 0, every 8th from 4, every 4th from 2, every 2nd from 1).
uint32_t GifDisplayRow(uint32_t n, uint32_t height) {
    uint32_t pass1 = (height + 7) / 8, pass2 = (height + 3) / 8, pass3 = (height + 1) / 4;
    if (n < pass1) return n * 8;
    n -= pass1;
    if (n < pass2) return 4 + n * 8;
    n -= pass2;
    if (n < pass3) return 2 + n * 4;
    n -= pass3;
    return 1 + n * 2;
}

// Stores one decoded row; pixel values are taken modulo the DIB's colour count.
void GifPutLine(const GifWork& w, uint32_t row, uint32_t firstColumn, uint32_t count, const uint8_t* line) {
    if (row >= w.height) return;
    uint32_t y = w.interlaced ? GifDisplayRow(row, w.height) : row;
    if (y >= w.height || firstColumn >= w.width) return;
    if (count > w.width - firstColumn) count = w.width - firstColumn;
    uint8_t* d = w.bits + size_t(w.height - 1 - y) * w.stride;
    if (w.pixelsPerByte == 1) {
        memcpy(d + firstColumn, line, count);
    } else if (w.pixelsPerByte == 2) {
        for (uint32_t i = 0; i < count; i++) {
            uint32_t x = firstColumn + i;
            uint8_t v = line[i] & 0x0F;
            d[x >> 1] |= (x & 1) ? v : uint8_t(v << 4);
        }
    } else {
        for (uint32_t i = 0; i < count; i++) {
            uint32_t x = firstColumn + i;
            if (line[i] & 1) d[x >> 3] |= uint8_t(0x80 >> (x & 7));
        }
    }
}

// Decodes the image data; rows already stored stay whatever the result.
int GifLzwDecode(GifDecoder* d) {
    int codeSize = GifNextByte(d);
    if (codeSize < 0) return kLzwEndOfData;
    if (codeSize < kMinCodeSize || codeSize > kMaxCodeSize) return kLzwBadCodeSize;
    GifLzwInit(d, codeSize);
    GifLzw& z = d->lzw;
    GifWork& w = d->work;
    uint8_t* stack = d->stack;
    uint32_t lineLen = 0;
    int oldCode = -1, firstChar = 0;
    for (;;) {
        int c = GifNextCode(d);
        if (c < 0) return c;
        if (c == z.endCode) return kLzwDone;
        int sp = 0;
        if (c == z.clearCode || oldCode < 0) {
            // After a clear code (or at the start) the first code is a root.
            z.codeWidth = codeSize + 1;
            z.topSlot = 1 << (codeSize + 1);
            z.nextSlot = z.firstFree;
            while (c == z.clearCode) {
                c = GifNextCode(d);
                if (c < 0) return c;
            }
            if (c == z.endCode) return kLzwDone;
            if (c >= z.nextSlot) c = 0;
            oldCode = firstChar = c;
            stack[sp++] = uint8_t(c);
        } else {
            // Only the very next slot may be used before it is defined; a code
            // past it is corrupt data and ends the image.
            if (c > z.nextSlot) return kLzwCorrupt;
            int code = c;
            if (code == z.nextSlot) {
                stack[sp++] = uint8_t(firstChar);
                code = oldCode;
            }
            while (code >= z.firstFree) {
                if (sp >= kStackSize) return kLzwCorrupt;
                stack[sp++] = d->suffix[code];
                code = d->prefix[code];
            }
            if (sp >= kStackSize) return kLzwCorrupt;
            stack[sp++] = uint8_t(code);
            firstChar = code;
            if (z.nextSlot < z.topSlot) {
                d->suffix[z.nextSlot] = uint8_t(firstChar);
                d->prefix[z.nextSlot] = uint16_t(oldCode);
                z.nextSlot++;
            }
            if (z.nextSlot >= z.topSlot && z.codeWidth < kMaxCodeWidth) {
                z.topSlot <<= 1;
                z.codeWidth++;
            }
            oldCode = c;
        }
        // The stack holds the string last character first.
        while (sp > 0) {
            d->line[lineLen++] = stack[--sp];
            if (lineLen == w.width) {
                GifPutLine(w, w.row++, 0, w.width, d->line);
                lineLen = 0;
                if (w.row >= w.height) return kLzwDone;
            }
        }
    }
}

// A colour table of 2 << (flags & 7) entries; 0 entries when the flag is off.
bool GifReadTable(GifDecoder* d, uint8_t flags, uint32_t* entries) {
    if (!(flags & kTableFlag)) return true;
    *entries = 2u << (flags & kTableSizeBits);
    return GifReadBytes(d, d->colors, *entries * 3);
}

// The screen, the extensions and the image descriptor, up to the image data.
int GifReadHeaders(GifDecoder* d, uint32_t* tableEntries) {
    GifWork& w = d->work;
    uint8_t screen[kScreenBytes];
    if (!GifReadBytes(d, screen, kScreenBytes)) return kGifShortScreen;
    // "GIF", two digits and a letter: 87a and 89a pass.
    if (memcmp(screen, "GIF87a", 3) != 0 || screen[3] < '0' || screen[3] > '9' || screen[4] < '0' ||
        screen[4] > '9' || screen[5] < 'A' || screen[5] > 'z')
        return kGifNoSignature;
    if (!GifReadTable(d, screen[kScreenFlagsAt], tableEntries)) return kGifShortGlobalTable;

    int b = GifNextByte(d);
    while (b == kExtensionIntroducer) {
        // A label and its sub-blocks; data ending inside them is a broken file.
        if (GifNextByte(d) < 0 || !GifSkipSubBlocks(d)) return kGifShortExtension;
        b = GifNextByte(d);
    }
    if (b != kImageSeparator) return kGifNoImage;

    uint8_t desc[kDescriptorBytes];
    if (!GifReadBytes(d, desc, kDescriptorBytes)) return kGifShortDescriptor;
    w.width = desc[4] | (desc[5] << 8);
    w.height = desc[6] | (desc[7] << 8);
    w.interlaced = (desc[kDescriptorFlagsAt] & kInterlaceFlag) != 0;
    // A local colour table replaces the global one for this image.
    if (!GifReadTable(d, desc[kDescriptorFlagsAt], tableEntries)) return kGifShortLocalTable;
    if (*tableEntries == 0) return kGifNoColourTable;
    if (w.width == 0 || w.height == 0) return kGifBadDimensions;
    if (w.width > kMaxWidth) return kGifTooWide;
    return kGifOk;
}

// The DIB header and colour table for the image and its table; false when
// the rows pass the cap.
bool GifMakeDib(GifDecoder* d, uint32_t tableEntries, DecodedImage* out) {
    GifWork& w = d->work;
    uint32_t bitCount;
    if (tableEntries == 2) {
        bitCount = 1;
        w.colorCount = 2;
        w.pixelsPerByte = 8;
    } else if (tableEntries <= 16) {
        bitCount = 4;
        w.colorCount = 16;
        w.pixelsPerByte = 2;
    } else {
        bitCount = 8;
        w.colorCount = 256;
        w.pixelsPerByte = 1;
    }
    CheckedSize stride = DibStride(w.width, bitCount);
    CheckedSize size = stride;
    size.Mul(w.height);
    if (!size.Fits(gImageByteCap)) return false;
    w.stride = stride.Size();

    BITMAPINFOHEADER& h = out->header;
    h.biSize = 40;
    h.biWidth = LONG(w.width);
    h.biHeight = LONG(w.height);
    h.biPlanes = 1;
    h.biBitCount = WORD(bitCount);
    h.biCompression = BI_RGB;
    h.biSizeImage = DWORD(size.value);
    h.biClrUsed = h.biClrImportant = w.colorCount;
    for (uint32_t i = 0; i < tableEntries && i < w.colorCount; i++) {
        out->colors[i].rgbRed = d->colors[i * 3];
        out->colors[i].rgbGreen = d->colors[i * 3 + 1];
        out->colors[i].rgbBlue = d->colors[i * 3 + 2];
    }
    return true;
}

int GifDecodeWith(GifDecoder* d, DecodedImage* out) {
    uint32_t tableEntries = 0;
    int rc = GifReadHeaders(d, &tableEntries);
    if (rc != kGifOk) return rc;
    if (!GifMakeDib(d, tableEntries, out)) return kGifTooLarge;
    out->bits = static_cast<uint8_t*>(LocalAllocZero(out->header.biSizeImage));
    if (!out->bits) return kGifNoMemory;
    d->work.bits = out->bits;
    // Truncated or corrupt data keeps the rows decoded so far; only a code size
    // outside the format's range refuses the image.
    if (GifLzwDecode(d) == kLzwBadCodeSize) return kGifBadCodeSize;
    return kGifOk;
}

}  // namespace

const DecodeRule& GifRule(int result) { return DecodeRuleOf(kGifRules, kGifResultCount, result); }

int GifDecodeBuffer(const uint8_t* data, size_t length, DecodedImage* out) {
    DecodedImageClear(out);
    auto* d = static_cast<GifDecoder*>(GuardedAlloc(sizeof(GifDecoder)));
    if (!d) return kGifNoMemory;
    memset(d, 0, sizeof *d);
    d->data = data;
    d->length = data ? length : 0;
    int rc = GifDecodeWith(d, out);
    GuardedFree(d);
    if (rc != kGifOk) {
        DecodedImageDropBits(out);
    }
    return rc;
}

int GifReadByte() {
    ImageDecodeState& st = gImageDecodeState;
    if (st.sourceSize == 0) return kEndOfSource;
    st.sourceSize--;
    return *st.sourcePos++;
}

int GifDecode() {
    ImageDecodeState& st = gImageDecodeState;
    LocalFreeMem(st.bits);
    st.bits = nullptr;
    DecodedImage image;
    int rc = GifDecodeBuffer(st.sourcePos, st.sourceSize, &image);
    return ImageAdoptDecoded(GifRule(rc), &image);
}
