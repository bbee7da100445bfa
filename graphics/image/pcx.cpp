// pcx.cpp - the PCX reader: finds the page of a DCX file in its offset table,
// checks the 128-byte header, picks the palette (the 256-colour one at the end
// of version 5 files, the header's, or a default), and run-length decodes the
// scan lines into a DIB: single-plane 1-, 4- and 8-bit rows as they are, three
// or four 1-bit planes merged into 4-bit pixels, three 8-bit planes
// interleaved into 24-bit pixels.
#include "graphics/image/pcx.h"

#include <cstring>

#include "graphics/image/imageload.h"
#include "session/util/bytereader.h"
#include "session/util/mem.h"

namespace {

constexpr uint8_t kPcxManufacturer = 10;
constexpr size_t kPcxHeaderSize = 128;
constexpr size_t kDcxTableStart = 4;
constexpr uint8_t kEndPaletteMarker = 12;
constexpr size_t kEndPaletteBytes = 768;
constexpr uint8_t kVersionEndPalette = 5;
constexpr uint8_t kVersionNoPalette = 3;
constexpr uint8_t kRunFlag = 0xC0;
constexpr uint8_t kRunCount = 0x3F;

enum PcxHeaderField {
    kFieldVersion = 1,
    kFieldBits = 3,
    kFieldXmin = 4,
    kFieldYmin = 6,
    kFieldXmax = 8,
    kFieldYmax = 10,
    kFieldPalette = 16,
    kFieldPlanes = 65,
    kFieldBytesPerLine = 66,
};

const DecodeRule kPcxRules[kPcxResultCount] = {
    {kImgOk, "decoded"},
    {kImgInvalid, "the DCX page table has no end"},
    {kImgInvalid, "a DCX page offset outside the file or out of order"},
    {kImgInvalid, "the page is not in the DCX table"},
    {kImgInvalid, "shorter than the PCX header"},
    {kImgInvalid, "not a PCX picture"},
    {kImgInvalid, "an unsupported bits per pixel and plane count"},
    {kImgInvalid, "Xmax below Xmin, Ymax below Ymin, or no bytes per line"},
    {kImgNoMemory, kImageCeilingReason},
    {kImgInvalid, "the scan data ends before the picture"},
    {kImgInvalid, "a run goes on past the last scan line"},
    {kImgNoMemory, "out of memory"},
};

// The default 16 colours, as red, green, blue.
const uint8_t kDefault16[16][3] = {
    {0, 0, 0},       {255, 0, 0},    {0, 255, 0},    {255, 255, 0},
    {0, 0, 255},     {255, 0, 255},  {0, 255, 255},  {255, 255, 255},
    {255, 85, 85},   {85, 85, 85},   {0, 170, 0},    {0, 0, 170},
    {255, 255, 85},  {255, 85, 255}, {85, 255, 255}, {255, 255, 255},
};

// The kinds of picture read: bits per pixel per plane and planes.
enum PcxLayout { kLayoutSingle, kLayoutPlanar4, kLayoutRgb };
struct PcxKind {
    uint8_t bits, planes, bitCount, layout;
};
const PcxKind kPcxKinds[] = {
    {1, 1, 1, kLayoutSingle},  {4, 1, 4, kLayoutSingle},  {8, 1, 8, kLayoutSingle},
    {1, 3, 4, kLayoutPlanar4}, {1, 4, 4, kLayoutPlanar4}, {8, 3, 24, kLayoutRgb},
};

// The page of a DCX file: every table entry is checked up to the 0 that ends
// it; page n is the n-th entry and runs to the next one or to the end.
int DcxFindPage(const ByteReader& r, uint16_t page, size_t* start, size_t* end, uint32_t* pageCount) {
    uint32_t count = 0, prev = 0, off;
    size_t at = kDcxTableStart;
    for (;; at += 4, count++) {
        if (!r.U32At(at, &off)) return kPcxDcxNoEnd;
        if (off == 0) break;
        if (off >= r.Length() || off < prev) return kPcxDcxBadOffset;
        prev = off;
    }
    if (pageCount) *pageCount = count;
    const uint32_t want = page ? page : 1;
    if (want > count) return kPcxDcxNoPage;
    r.U32At(kDcxTableStart + size_t(want - 1) * 4, &off);
    *start = off;
    uint32_t after = 0;
    r.U32At(kDcxTableStart + size_t(want) * 4, &after);
    *end = after ? after : r.Length();
    return kPcxOk;
}

void MakeDefaultPalette(uint32_t colors, RGBQUAD* out) {
    if (colors == 2) {
        // Two colours are black and white: the 16-colour table's first two
        // would show a bilevel picture in black and red.
        out[1].rgbRed = out[1].rgbGreen = out[1].rgbBlue = 255;
        return;
    }
    if (colors <= 16) {
        for (uint32_t i = 0; i < colors; i++) {
            out[i].rgbRed = kDefault16[i][0];
            out[i].rgbGreen = kDefault16[i][1];
            out[i].rgbBlue = kDefault16[i][2];
        }
        return;
    }
    // Red fastest through 8 steps, then green through 8, blue through 4.
    for (uint32_t i = 0; i < colors; i++) {
        out[i].rgbRed = uint8_t((i & 7) * 32);
        out[i].rgbGreen = uint8_t(((i >> 3) & 7) * 32);
        out[i].rgbBlue = uint8_t(((i >> 6) & 3) * 64);
    }
}

// Versions 2 and 4 on take the file's palette unless it is all zero.
void MakePalette(uint8_t version, const uint8_t* rgb, uint32_t colors, RGBQUAD* out) {
    bool any = false;
    for (uint32_t i = 0; i < colors * 3; i++) any = any || rgb[i] != 0;
    if ((version == 2 || version > kVersionNoPalette) && any) {
        for (uint32_t i = 0; i < colors; i++) {
            out[i].rgbRed = rgb[i * 3];
            out[i].rgbGreen = rgb[i * 3 + 1];
            out[i].rgbBlue = rgb[i * 3 + 2];
        }
        return;
    }
    MakeDefaultPalette(colors, out);
}

// Where the scan bytes of one line go: each byte q of the line (planes after
// one another, bytesPerLine each) lands in the DIB row; bytes at or beyond
// the row's stride are dropped.
struct PcxPlacer {
    uint8_t layout;
    uint32_t width;
    size_t stride;
    uint32_t bytesPerLine;
    uint8_t* row;
    uint32_t plane;
    uint32_t b;   // byte within the plane

    void Put(uint8_t v) {
        switch (layout) {
        case kLayoutSingle:
            if (b < stride) row[b] = v;
            break;
        case kLayoutRgb:
            // Red, green, blue planes into blue, green, red bytes.
            if (b < width) row[size_t(b) * 3 + (2 - plane)] = v;
            break;
        default: {
            // Eight 1-bit pixels of one plane become bit `plane` of four
            // bytes of two 4-bit pixels each.
            const size_t at = size_t(b) * 4;
            for (size_t i = 0; i < 4 && at + i < stride; i++) {
                const uint8_t pair = uint8_t(v >> (6 - 2 * i));
                uint8_t d = row[at + i];
                if (pair & 2) d = uint8_t(d | (0x10 << plane));
                if (pair & 1) d = uint8_t(d | (0x01 << plane));
                row[at + i] = d;
            }
            break;
        }
        }
        if (++b == bytesPerLine) {
            b = 0;
            plane++;
        }
    }
};

int PcxDecodePage(const uint8_t* page, size_t length, DecodedImage* out) {
    ByteReader r(page, length);
    uint8_t first;
    if (!r.U8At(0, &first) || first != kPcxManufacturer) return kPcxNoSignature;
    const uint8_t* h = r.PtrAt(0, kPcxHeaderSize);
    if (!h) return kPcxShortHeader;
    const uint8_t version = h[kFieldVersion];
    const uint8_t bits = h[kFieldBits], planes = h[kFieldPlanes];
    const PcxKind* kind = nullptr;
    for (const PcxKind& k : kPcxKinds)
        if (k.bits == bits && k.planes == planes) kind = &k;
    if (!kind) return kPcxBadDepth;
    uint16_t xmin, ymin, xmax, ymax, bytesPerLine;
    r.U16At(kFieldXmin, &xmin);
    r.U16At(kFieldYmin, &ymin);
    r.U16At(kFieldXmax, &xmax);
    r.U16At(kFieldYmax, &ymax);
    r.U16At(kFieldBytesPerLine, &bytesPerLine);
    if (xmax < xmin || ymax < ymin || bytesPerLine == 0) return kPcxBadExtent;
    const uint32_t width = uint32_t(xmax - xmin) + 1, height = uint32_t(ymax - ymin) + 1;

    // Colours and palette.
    BITMAPINFOHEADER& bh = out->header;
    memset(&bh, 0, sizeof bh);
    if (kind->layout != kLayoutRgb) {
        uint32_t colors = bits == 1 && planes == 1 ? 2 : 16;
        const uint8_t* rgb = h + kFieldPalette;
        // Only 8-bit pixels can use 256 colours: in other pictures the byte
        // 769 from the end is scan data that may happen to be 12.
        uint8_t marker = 0;
        if (version == kVersionEndPalette && bits == 8 && length > kEndPaletteBytes + kPcxHeaderSize &&
            r.U8At(length - kEndPaletteBytes - 1, &marker) && marker == kEndPaletteMarker) {
            colors = 256;
            rgb = r.PtrAt(length - kEndPaletteBytes, kEndPaletteBytes);
        }
        MakePalette(version, rgb, colors, out->colors);
        bh.biClrUsed = bh.biClrImportant = colors;
    }

    const CheckedSize stride = DibStride(width, kind->bitCount);
    CheckedSize dibSize = stride;
    dibSize.Mul(height);
    if (!dibSize.Fits(gImageByteCap)) return kPcxTooLarge;
    bh.biSize = 40;
    bh.biWidth = LONG(width);
    bh.biHeight = LONG(height);
    bh.biPlanes = 1;
    bh.biBitCount = kind->bitCount;
    bh.biCompression = BI_RGB;
    bh.biSizeImage = DWORD(dibSize.value);
    out->bits = static_cast<uint8_t*>(LocalAllocZero(dibSize.Size()));
    if (!out->bits) return kPcxNoMemory;

    // Run-length decoding: a byte of 0xC0 and above counts the byte after
    // it (a count of 0 writes nothing), any other byte stands for itself.
    PcxPlacer put = {kind->layout, width, stride.Size(), bytesPerLine, out->bits + size_t(height - 1) * stride.Size(),
                     0, 0};
    size_t in = kPcxHeaderSize;
    uint32_t line = 0;
    while (line < height) {
        uint8_t v;
        if (!r.U8At(in++, &v)) return kPcxShortData;
        uint32_t count = 1;
        if (v >= kRunFlag) {
            count = v & kRunCount;
            if (!r.U8At(in++, &v)) return kPcxShortData;
        }
        for (; count > 0; count--) {
            // A run may go on into the next scan line, but not past the last.
            if (line >= height) return kPcxPastImage;
            put.Put(v);
            if (put.plane == planes) {
                line++;
                put.plane = 0;
                if (line < height) put.row = out->bits + size_t(height - 1 - line) * stride.Size();
            }
        }
    }
    return kPcxOk;
}

}  // namespace

const DecodeRule& PcxRule(int result) { return DecodeRuleOf(kPcxRules, kPcxResultCount, result); }

bool PcxIsImage(const uint8_t* buffer, size_t length) {
    ByteReader r(buffer, length);
    uint32_t magic;
    uint8_t first;
    if (r.U32At(0, &magic) && magic == kDcxMagic) return true;
    return r.U8At(0, &first) && first == kPcxManufacturer;
}

bool PcxIsCurrentImage() { return PcxIsImage(gImageDecodeState.sourcePos, gImageDecodeState.sourceSize); }

int PcxDecodeBuffer(const uint8_t* data, size_t length, uint16_t page, DecodedImage* out, uint32_t* pageCount) {
    DecodedImageClear(out);
    ByteReader r(data, length);
    uint32_t magic;
    size_t start = 0, end = length;
    if (r.U32At(0, &magic) && magic == kDcxMagic) {
        int rc = DcxFindPage(r, page, &start, &end, pageCount);
        if (rc != kPcxOk) return rc;
    }
    int rc = PcxDecodePage(data + start, end - start, out);
    if (rc != kPcxOk) DecodedImageDropBits(out);
    return rc;
}

int PcxDecode(uint16_t page, uint32_t* pageCount) {
    return ImageDecodePaged(PcxDecodeBuffer, PcxRule, page, pageCount);
}
