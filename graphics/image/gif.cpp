// gif.cpp - the GIF reader: the first image of the stream (global or local
// colour table, interlaced rows put in display order) decoded with the
// variable-length LZW of the format into a 1-, 4- or 8-bit DIB.
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
constexpr int kScreenBytes = 13;
constexpr int kDescriptorBytes = 9;
constexpr int kExtensionIntroducer = 0x21;
constexpr int kImageSeparator = 0x2C;
constexpr uint8_t kTableFlag = 0x80;
constexpr uint8_t kInterlaceFlag = 0x40;
constexpr int kLzwEndOfData = -1;
constexpr int kLzwBadCodeSize = -20;
constexpr int kLzwCorrupt = -21;

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

uint8_t gGifColors[256 * 3];
uint8_t gGifLine[kMaxWidth];
uint16_t gGifPrefix[kTableSize];
uint8_t gGifSuffix[kTableSize];
uint8_t gGifStack[kStackSize];
GifLzw gGifLzw;
GifWork gGifWork;

bool GifReadBytes(uint8_t* out, uint32_t n) {
    ImageDecodeState& st = gImageDecodeState;
    if (st.sourceSize < n) return false;
    memcpy(out, st.sourcePos, n);
    st.sourcePos += n;
    st.sourceSize -= n;
    return true;
}

// Skips data sub-blocks up to the empty one; false when the data ends first.
bool GifSkipSubBlocks() {
    for (;;) {
        int size = GifReadByte();
        if (size < 0) return false;
        if (size == 0) return true;
        ImageDecodeState& st = gImageDecodeState;
        if (st.sourceSize < uint32_t(size)) return false;
        st.sourcePos += size;
        st.sourceSize -= size;
    }
}

void GifLzwInit(int codeSize) {
    GifLzw& z = gGifLzw;
    z.codeWidth = codeSize + 1;
    z.topSlot = 1 << (codeSize + 1);
    z.clearCode = 1 << codeSize;
    z.endCode = z.clearCode + 1;
    z.firstFree = z.nextSlot = z.endCode + 1;
    z.bitBuffer = 0;
    z.bitCount = 0;
    z.blockLeft = 0;
    memset(gGifPrefix, 0, sizeof gGifPrefix);
    memset(gGifSuffix, 0, sizeof gGifSuffix);
}

// Bits least significant first from the data sub-blocks; negative at the end.
inline int GifNextCode() {
    GifLzw& z = gGifLzw;
    while (z.bitCount < z.codeWidth) {
        if (z.blockLeft == 0) {
            int size = GifReadByte();
            if (size <= 0) return kLzwEndOfData;
            z.blockLeft = size;
        }
        int b = GifReadByte();
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
void GifPutLine(uint32_t row, uint32_t firstColumn, uint32_t count, const uint8_t* line) {
    GifWork& w = gGifWork;
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
int GifLzwDecode(uint32_t width) {
    int codeSize = GifReadByte();
    if (codeSize < 0) return codeSize;
    if (codeSize < kMinCodeSize || codeSize > kMaxCodeSize) return kLzwBadCodeSize;
    GifLzwInit(codeSize);
    GifLzw& z = gGifLzw;
    GifWork& w = gGifWork;
    uint32_t lineLen = 0;
    int oldCode = -1, firstChar = 0;
    for (;;) {
        int c = GifNextCode();
        if (c < 0) return c;
        if (c == z.endCode) return 0;
        int sp = 0;
        if (c == z.clearCode || oldCode < 0) {
            // After a clear code (or at the start) the first code is a root.
            z.codeWidth = codeSize + 1;
            z.topSlot = 1 << (codeSize + 1);
            z.nextSlot = z.firstFree;
            while (c == z.clearCode) {
                c = GifNextCode();
                if (c < 0) return c;
            }
            if (c == z.endCode) return 0;
            if (c >= z.nextSlot) c = 0;
            oldCode = firstChar = c;
            gGifStack[sp++] = uint8_t(c);
        } else {
            // Only the very next slot may be used before it is defined; a code
            // past it is corrupt data and ends the image.
            if (c > z.nextSlot) return kLzwCorrupt;
            int code = c;
            if (code == z.nextSlot) {
                gGifStack[sp++] = uint8_t(firstChar);
                code = oldCode;
            }
            while (code >= z.firstFree) {
                if (sp >= kStackSize) return kLzwCorrupt;
                gGifStack[sp++] = gGifSuffix[code];
                code = gGifPrefix[code];
            }
            if (sp >= kStackSize) return kLzwCorrupt;
            gGifStack[sp++] = uint8_t(code);
            firstChar = code;
            if (z.nextSlot < z.topSlot) {
                gGifSuffix[z.nextSlot] = uint8_t(firstChar);
                gGifPrefix[z.nextSlot] = uint16_t(oldCode);
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
            gGifLine[lineLen++] = gGifStack[--sp];
            if (lineLen == width) {
                GifPutLine(w.row++, 0, width, gGifLine);
                lineLen = 0;
                if (w.row >= w.height) return 0;
            }
        }
    }
}

}  // namespace

int GifReadByte() {
    ImageDecodeState& st = gImageDecodeState;
    if (st.sourceSize == 0) return -1;
    st.sourceSize--;
    return *st.sourcePos++;
}

int GifDecode() {
    ImageDecodeState& st = gImageDecodeState;
    LocalFreeMem(st.bits);
    st.bits = nullptr;
    GifWork& w = gGifWork;
    memset(&w, 0, sizeof w);
    memset(gGifLine, 0, sizeof gGifLine);

    uint8_t screen[kScreenBytes];
    if (!GifReadBytes(screen, kScreenBytes)) return kImgInvalid;
    // "GIF", two digits and a letter: 87a and 89a pass.
    if (memcmp(screen, "GIF87a", 3) != 0 || screen[3] < '0' || screen[3] > '9' || screen[4] < '0' ||
        screen[4] > '9' || screen[5] < 'A' || screen[5] > 'z')
        return kImgInvalid;
    uint32_t tableEntries = 0;
    if (screen[10] & kTableFlag) {
        tableEntries = 2u << (screen[10] & 7);
        if (!GifReadBytes(gGifColors, tableEntries * 3)) return kImgInvalid;
    }

    int b = GifReadByte();
    while (b == kExtensionIntroducer) {
        // A label and its sub-blocks; data ending inside them is a broken file.
        if (GifReadByte() < 0 || !GifSkipSubBlocks()) return kImgInvalid;
        b = GifReadByte();
    }
    if (b != kImageSeparator) return kImgInvalid;

    uint8_t desc[kDescriptorBytes];
    if (!GifReadBytes(desc, kDescriptorBytes)) return kImgInvalid;
    w.width = desc[4] | (desc[5] << 8);
    w.height = desc[6] | (desc[7] << 8);
    w.interlaced = (desc[8] & kInterlaceFlag) != 0;
    // A local colour table replaces the global one for this image.
    if (desc[8] & kTableFlag) {
        tableEntries = 2u << (desc[8] & 7);
        if (!GifReadBytes(gGifColors, tableEntries * 3)) return kImgInvalid;
    }
    if (tableEntries == 0) return kImgInvalid;
    if (w.width == 0 || w.height == 0 || w.width > kMaxWidth) return kImgInvalid;

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
    if (!size.Fits(gImageByteCap)) return kImgInvalid;
    w.stride = stride.Size();

    BITMAPINFOHEADER& h = st.header;
    memset(&h, 0, sizeof h);
    h.biSize = 40;
    h.biWidth = LONG(w.width);
    h.biHeight = LONG(w.height);
    h.biPlanes = 1;
    h.biBitCount = WORD(bitCount);
    h.biCompression = BI_RGB;
    h.biSizeImage = DWORD(size.value);
    h.biClrUsed = h.biClrImportant = w.colorCount;
    memset(st.colors, 0, sizeof st.colors);
    for (uint32_t i = 0; i < tableEntries && i < w.colorCount; i++) {
        st.colors[i].rgbRed = gGifColors[i * 3];
        st.colors[i].rgbGreen = gGifColors[i * 3 + 1];
        st.colors[i].rgbBlue = gGifColors[i * 3 + 2];
    }

    if (!ImageAllocBits(size.Size())) return kImgNoMemory;
    w.bits = st.bits;
    // Truncated or corrupt data keeps the rows decoded so far; only a code size
    // outside the format's range refuses the image.
    if (GifLzwDecode(w.width) == kLzwBadCodeSize) {
        LocalFreeMem(st.bits);
        st.bits = nullptr;
        return kImgInvalid;
    }
    return kImgOk;
}
