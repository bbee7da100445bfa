// pdfimage.cpp - pictures on PDF pages: a DIB becomes an image XObject (1-bit
// grey, or RGB compressed with JPEG or Flate, whichever is smaller), written
// once per picture identity and placed on each page with a matrix, fitted to
// its box or at one point per pixel clipped to it.
#include <csetjmp>
#include <cstdio>
#include <cstring>

#include <jpeglib.h>

#include "print/pdf/pdf.h"
#include "session/config.h"
#include "session/util/bytereader.h"
#include "session/util/mem.h"

constexpr int kPdfRgbBytes = 3;
constexpr int kPdfScaleMilli = 1000;
constexpr size_t kPdfRgbQuad = 4;
enum { kPdfQuadBlue = 0, kPdfQuadGreen = 1, kPdfQuadRed = 2 };
constexpr DWORD kPdfBlack = 0, kPdfWhite = 0xFFFFFF;
constexpr int kPdfComponentBits = 8;

// ---- JPEG into memory --------------------------------------------------------------------

// A destination over one area. When it fills, the output is lost: the write
// position slides back so that libjpeg can go on, and the result is -1.
struct PdfJpegDest {
    jpeg_destination_mgr mgr;
    BYTE* area;
    size_t capacity;
    bool overflow;
};

struct PdfJpegError {
    jpeg_error_mgr mgr;
    jmp_buf back;
};

static void PdfJpegInitDest(j_compress_ptr c) {
    auto* d = reinterpret_cast<PdfJpegDest*>(c->dest);
    d->mgr.next_output_byte = d->area;
    d->mgr.free_in_buffer = d->capacity;
}

static boolean PdfJpegEmpty(j_compress_ptr c) {
    auto* d = reinterpret_cast<PdfJpegDest*>(c->dest);
    d->overflow = true;
    d->mgr.next_output_byte = d->area + d->capacity - kPdfJpegSlack;
    d->mgr.free_in_buffer = kPdfJpegSlack;
    return TRUE;
}

static void PdfJpegTerm(j_compress_ptr) {}

[[noreturn]] static void PdfJpegFail(j_common_ptr c) { longjmp(reinterpret_cast<PdfJpegError*>(c->err)->back, 1); }

static void PdfJpegQuiet(j_common_ptr) {}

int PdfJpegToMemory(int width, int height, const BYTE* rgb, size_t capacity, BYTE* out, size_t* outLen) {
    *outLen = 0;
    if (capacity < kPdfJpegSlack || width <= 0 || height <= 0) return kPdfFail;
    jpeg_compress_struct c;
    PdfJpegError err;
    PdfJpegDest dest;
    memset(&c, 0, sizeof c);
    c.err = jpeg_std_error(&err.mgr);
    err.mgr.error_exit = PdfJpegFail;
    err.mgr.output_message = PdfJpegQuiet;
    if (setjmp(err.back)) {
        jpeg_destroy_compress(&c);
        return kPdfFail;
    }
    jpeg_create_compress(&c);
    dest.mgr.init_destination = PdfJpegInitDest;
    dest.mgr.empty_output_buffer = PdfJpegEmpty;
    dest.mgr.term_destination = PdfJpegTerm;
    dest.area = out;
    dest.capacity = capacity;
    dest.overflow = false;
    c.dest = &dest.mgr;
    c.image_width = static_cast<JDIMENSION>(width);
    c.image_height = static_cast<JDIMENSION>(height);
    c.input_components = kPdfRgbBytes;
    c.in_color_space = JCS_RGB;
    jpeg_set_defaults(&c);
    int quality = static_cast<int>(gPdfJpegQuality);
    jpeg_set_quality(&c, quality < 1 ? 1 : quality > 100 ? 100 : quality, TRUE);
    jpeg_start_compress(&c, TRUE);
    size_t rowBytes = static_cast<size_t>(width) * kPdfRgbBytes;
    while (c.next_scanline < c.image_height) {
        JSAMPROW row = const_cast<BYTE*>(rgb + rowBytes * c.next_scanline);
        jpeg_write_scanlines(&c, &row, 1);
    }
    jpeg_finish_compress(&c);
    size_t len = static_cast<size_t>(dest.mgr.next_output_byte - out);
    jpeg_destroy_compress(&c);
    if (dest.overflow) return kPdfFail;
    *outLen = len;
    return kPdfOk;
}

// ---- the bitmap's pixels ---------------------------------------------------------------------

// The part of the bitmap to write, after the checks a hostile header needs.
struct PdfImageArea {
    int32_t firstRow, endRow, firstCol, endCol;
    size_t stride;
    bool grey;           // 1-bit written as it stands
    bool indexed;        // grey bits with a two-colour palette other than black and white
    bool invert;         // grey with a palette that starts light
    size_t rowOut;       // bytes of one written row
    size_t raw;          // bytes of all written rows
};

static bool PdfDepthFits(const PdfImageInput* img) {
    switch (img->bitsPerPixel) {
    case 1: return img->paletteSize == 2;
    case 4: return img->paletteSize == 16;
    case 8: return img->paletteSize == 256;
    case 16: case 24: case 32: return img->paletteSize == 0;
    default: return false;
    }
}

static int32_t PdfClamp(int32_t v, int32_t lo, int32_t hi) { return v < lo ? lo : v > hi ? hi : v; }

static bool PdfHasMasks(const PdfImageInput* img) { return img->masks[0] || img->masks[1] || img->masks[2]; }

// One run of set bits inside the pixel.
static bool PdfMaskFits(DWORD mask, WORD bitsPerPixel) {
    if (!mask || (bitsPerPixel < 32 && (mask >> bitsPerPixel))) return false;
    while (!(mask & 1)) mask >>= 1;
    return (mask & (mask + 1)) == 0;
}

// Masks only with 16- and 32-bit pixels, each a run of bits in the pixel.
static bool PdfMasksFit(const PdfImageInput* img) {
    if (!PdfHasMasks(img)) return true;
    if (img->bitsPerPixel != 16 && img->bitsPerPixel != 32) return false;
    for (DWORD m : img->masks)
        if (!PdfMaskFits(m, img->bitsPerPixel)) return false;
    return true;
}

static bool PdfIsBlackOrWhite(const BYTE* quad) {
    DWORD rgb = quad[kPdfQuadRed] | (quad[kPdfQuadGreen] << 8) | (quad[kPdfQuadBlue] << 16);
    return rgb == kPdfBlack || rgb == kPdfWhite;
}

// A two-colour palette of black and white (either order) is written as grey
// bits; any other pair keeps its colours through an indexed colour space.
static bool PdfIsBlackAndWhite(const BYTE* palette) {
    return PdfIsBlackOrWhite(palette) && PdfIsBlackOrWhite(palette + kPdfRgbQuad) &&
           memcmp(palette, palette + kPdfRgbQuad, kPdfRgbBytes) != 0;
}

// Width, height, depth and palette checked, the pixel data long enough for
// every row, and the part clamped inside the bitmap.
static bool PdfImagePlan(const PdfImageInput* img, bool crop, PdfImageArea* a) {
    if (!PdfDepthFits(img) || !PdfMasksFit(img) || img->width <= 0 || img->height <= 0 || !img->pixels) return false;
    if (img->paletteSize && !img->palette) return false;
    CheckedSize stride = DibStride(static_cast<uint64_t>(img->width), img->bitsPerPixel);
    CheckedSize data = stride;
    data.Mul(static_cast<uint64_t>(img->height));
    if (!data.Fits() || img->dataSize < data.value) return false;
    a->stride = stride.Size();
    if (crop) {
        a->firstRow = PdfClamp(img->firstRow, 0, img->height);
        a->endRow = PdfClamp(img->endRow, 0, img->height);
        a->firstCol = PdfClamp(img->firstCol, 0, img->width);
        a->endCol = PdfClamp(img->endCol, 0, img->width);
        if (a->firstRow >= a->endRow || a->firstCol >= a->endCol) return false;
    } else {
        a->firstRow = a->firstCol = 0;
        a->endRow = img->height;
        a->endCol = img->width;
    }
    int32_t w = a->endCol - a->firstCol, h = a->endRow - a->firstRow;
    a->grey = img->bitsPerPixel == 1 && !crop;
    a->invert = false;
    a->indexed = a->grey && !PdfIsBlackAndWhite(img->palette);
    if (a->grey && !a->indexed) {
        const BYTE* p = img->palette;
        a->invert = (p[kPdfQuadBlue] | p[kPdfQuadGreen] | p[kPdfQuadRed]) != kPdfBlack;
    }
    CheckedSize row(static_cast<uint64_t>(w));
    if (a->grey) row.Add(7).value /= 8;
    else row.Mul(kPdfRgbBytes);
    CheckedSize raw = row;
    raw.Mul(static_cast<uint64_t>(h));
    if (!raw.Fits()) return false;
    a->rowOut = row.Size();
    a->raw = raw.Size();
    return true;
}

// A component of fewer than 8 bits widened by repeating its bits, so that full
// intensity stays full (5 bits: v << 3 | v >> 2); a wider one keeps its top 8.
static BYTE PdfWidenBits(DWORD v, int bits) {
    if (bits >= kPdfComponentBits) return static_cast<BYTE>(v >> (bits - kPdfComponentBits));
    DWORD out = 0;
    int have = 0;
    while (have < kPdfComponentBits) {
        out = (out << bits) | v;
        have += bits;
    }
    return static_cast<BYTE>(out >> (have - kPdfComponentBits));
}

static int PdfMaskShift(DWORD mask) {
    int shift = 0;
    for (; !(mask & 1); mask >>= 1) shift++;
    return shift;
}

static BYTE PdfMaskedComponent(DWORD pixel, DWORD mask) {
    int shift = PdfMaskShift(mask);
    DWORD run = mask >> shift;
    int bits = 0;
    while (run >> bits) bits++;
    return PdfWidenBits((pixel & mask) >> shift, bits);
}

static DWORD PdfPixelValue(const BYTE* row, int32_t x, WORD bitsPerPixel) {
    const BYTE* p = row + static_cast<size_t>(x) * (bitsPerPixel / 8);
    DWORD v = p[0] | (p[1] << 8);
    if (bitsPerPixel == 32) v |= (static_cast<DWORD>(p[2]) << 16) | (static_cast<DWORD>(p[3]) << 24);
    return v;
}

static void PdfRgbOf(const PdfImageInput* img, const BYTE* row, int32_t x, BYTE* out) {
    const BYTE* pal = img->palette;
    unsigned index = 0;
    switch (img->bitsPerPixel) {
    case 1: index = (row[x >> 3] >> (7 - (x & 7))) & 1; break;
    case 4: index = (row[x >> 1] >> ((x & 1) ? 0 : 4)) & 0xF; break;
    case 8: index = row[x]; break;
    case 16: {
        if (PdfHasMasks(img)) break;
        unsigned v = row[2 * x] | (row[2 * x + 1] << 8);
        out[0] = PdfWidenBits((v >> 10) & 0x1F, 5);
        out[1] = PdfWidenBits((v >> 5) & 0x1F, 5);
        out[2] = PdfWidenBits(v & 0x1F, 5);
        return;
    }
    default: {
        if (PdfHasMasks(img)) break;
        const BYTE* p = row + static_cast<size_t>(x) * (img->bitsPerPixel / 8);
        out[0] = p[kPdfQuadRed];
        out[1] = p[kPdfQuadGreen];
        out[2] = p[kPdfQuadBlue];
        return;
    }
    }
    if (img->bitsPerPixel > 8) {
        DWORD v = PdfPixelValue(row, x, img->bitsPerPixel);
        for (int c = 0; c < kPdfRgbBytes; c++) out[c] = PdfMaskedComponent(v, img->masks[c]);
        return;
    }
    const BYTE* e = pal + index * kPdfRgbQuad;
    out[0] = e[kPdfQuadRed];
    out[1] = e[kPdfQuadGreen];
    out[2] = e[kPdfQuadBlue];
}

// The written rows, top of the picture first.
static void PdfConvertPixels(const PdfImageInput* img, const PdfImageArea& a, BYTE* out) {
    int32_t rows = a.endRow - a.firstRow;
    for (int32_t k = 0; k < rows; k++) {
        int32_t memRow = img->topDown ? a.firstRow + k : a.endRow - 1 - k;
        const BYTE* row = img->pixels + a.stride * static_cast<size_t>(memRow);
        BYTE* dst = out + a.rowOut * static_cast<size_t>(k);
        if (a.grey) {
            for (size_t i = 0; i < a.rowOut; i++) dst[i] = a.invert ? static_cast<BYTE>(~row[i]) : row[i];
            continue;
        }
        for (int32_t x = a.firstCol; x < a.endCol; x++, dst += kPdfRgbBytes) PdfRgbOf(img, row, x, dst);
    }
}

// ---- the image object ------------------------------------------------------------------------

enum PdfImageFilter { kPdfFilterNone, kPdfFilterFlate, kPdfFilterJpeg };

// The stream chosen: JPEG for RGB pictures unless the document says no JPEG,
// compared with Flate below 102000 raw bytes; Flate alone for grey pictures
// and without JPEG unless streams are uncompressed; the raw pixels when
// neither came out smaller. A JPEG that fails (a width beyond libjpeg's,
// memory) falls back to Flate in its own buffer.
struct PdfImageStream {
    PdfImageFilter filter;
    const BYTE* bytes;
    size_t len;
    BYTE* jpeg;
    BYTE* flate;
};

static void PdfChooseStream(PdfDocRec* doc, const PdfImageArea& a, int32_t w, int32_t h, BYTE* pixels,
                            PdfImageStream* s) {
    memset(s, 0, sizeof *s);
    s->filter = kPdfFilterNone;
    s->bytes = pixels;
    s->len = a.raw;
    bool jpegWanted = !a.grey && !(doc->flags & kPdfFlagNoJpeg);
    size_t jpegLen = 0;
    if (jpegWanted) {
        CheckedSize cap(a.raw);
        cap.Add(kPdfJpegSlack);
        if (cap.Fits()) s->jpeg = static_cast<BYTE*>(GuardedAlloc(cap.Size()));
        if (s->jpeg && PdfJpegToMemory(w, h, pixels, cap.Size(), s->jpeg, &jpegLen) != kPdfOk) jpegLen = 0;
        if (jpegLen && a.raw >= kPdfJpegOnlyFrom) {
            s->filter = kPdfFilterJpeg;
            s->bytes = s->jpeg;
            s->len = jpegLen;
            return;
        }
    }
    bool flateWanted = jpegWanted || !(doc->flags & kPdfFlagUncompressed);
    size_t flateLen = flateWanted ? PdfDeflateNew(pixels, a.raw, &s->flate) : 0;
    if (jpegLen && (!flateLen || jpegLen < flateLen)) {
        s->filter = kPdfFilterJpeg;
        s->bytes = s->jpeg;
        s->len = jpegLen;
    } else if (flateLen) {
        s->filter = kPdfFilterFlate;
        s->bytes = s->flate;
        s->len = flateLen;
    }
}

static void PdfPutKeyUInt(PdfDocRec* doc, const char* key, uint64_t v) {
    PdfPutText(doc, key);
    PdfPutUInt(doc, v, 1);
    PdfPutLine(doc, nullptr);
}

// "[/Indexed /DeviceRGB 1 <...>]" with the two palette colours, the string
// encrypted with the image object's key like any other.
static void PdfPutIndexedSpace(PdfDocRec* doc, const BYTE* palette, DWORD obj) {
    static const char kHex[] = "0123456789ABCDEF";
    BYTE rgb[2 * kPdfRgbBytes];
    for (int e = 0; e < 2; e++) {
        const BYTE* q = palette + e * kPdfRgbQuad;
        rgb[e * kPdfRgbBytes + 0] = q[kPdfQuadRed];
        rgb[e * kPdfRgbBytes + 1] = q[kPdfQuadGreen];
        rgb[e * kPdfRgbBytes + 2] = q[kPdfQuadBlue];
    }
    PdfEncryptBuf(doc, rgb, sizeof rgb, obj);
    PdfPutText(doc, "    /ColorSpace [/Indexed /DeviceRGB 1 <");
    for (BYTE b : rgb) {
        PdfPutByte(doc, static_cast<BYTE>(kHex[b >> 4]));
        PdfPutByte(doc, static_cast<BYTE>(kHex[b & 15]));
    }
    PdfPutLine(doc, ">] ");
}

PdfImageRec* PdfWriteImage(PdfDocRec* doc, const PdfImageInput* img, bool crop) {
    PdfImageArea a;
    if (!PdfImagePlan(img, crop, &a)) return nullptr;
    int32_t w = a.endCol - a.firstCol, h = a.endRow - a.firstRow;
    auto* rec = static_cast<PdfImageRec*>(GuardedAlloc(sizeof(PdfImageRec)));
    BYTE* pixels = static_cast<BYTE*>(GuardedAlloc(a.raw));
    if (!rec || !pixels) {
        GuardedFree(rec);
        GuardedFree(pixels);
        return nullptr;
    }
    memset(rec, 0, sizeof *rec);
    DWORD obj = doc->nextObj;
    if (!PdfSetObjOffset(doc, obj)) {
        GuardedFree(rec);
        GuardedFree(pixels);
        return nullptr;
    }
    doc->nextObj++;
    rec->list.objNum = obj;
    rec->list.resNum = doc->imageCounter++;
    rec->list.used = 1;
    rec->list.next = doc->images;
    doc->images = &rec->list;

    PdfConvertPixels(img, a, pixels);
    PdfImageStream s;
    PdfChooseStream(doc, a, w, h, pixels, &s);

    PdfPutUInt(doc, obj, 1);
    PdfPutLine(doc, " 0 obj");
    PdfPutLine(doc, " << /Type /XObject");
    PdfPutLine(doc, "    /Subtype /Image");
    PdfPutKeyUInt(doc, "    /Name /Img", rec->list.resNum);
    if (a.indexed) PdfPutIndexedSpace(doc, img->palette, obj);
    else PdfPutLine(doc, a.grey ? "    /ColorSpace /DeviceGray " : "    /ColorSpace /DeviceRGB ");
    PdfPutKeyUInt(doc, "    /Width ", static_cast<uint64_t>(w));
    PdfPutKeyUInt(doc, "    /Height ", static_cast<uint64_t>(h));
    PdfPutLine(doc, a.grey ? "    /BitsPerComponent 1" : "    /BitsPerComponent 8");
    if (s.filter == kPdfFilterJpeg) PdfPutLine(doc, "    /Filter /DCTDecode ");
    else if (s.filter == kPdfFilterFlate) PdfPutLine(doc, "    /Filter /FlateDecode ");
    PdfPutKeyUInt(doc, "    /Length ", s.len);
    PdfPutLine(doc, " >>");
    PdfPutStreamBody(doc, const_cast<BYTE*>(s.bytes), s.len, obj);
    GuardedFree(s.jpeg);
    GuardedFree(s.flate);
    GuardedFree(pixels);
    return rec;
}

// ---- placing it on the page -------------------------------------------------------------------

static PdfImageRec* PdfFindImage(PdfDocRec* doc, const DWORD identity[2]) {
    for (PdfListRec* e = doc->images; e; e = e->next) {
        auto* rec = reinterpret_cast<PdfImageRec*>(e);
        if (rec->identity[0] == identity[0] && rec->identity[1] == identity[1]) return rec;
    }
    return nullptr;
}

static void PdfCsSpaced(PdfDocRec* doc, double v) {
    PdfCsAppend(doc, " ", 1);
    PdfCsNum(doc, v);
}

// "w 0 0 h 0 0 cm" and the image's Do, then "Q".
static void PdfCsPlaceImage(PdfDocRec* doc, double w, double h, DWORD resNum) {
    PdfCsNum(doc, w);
    PdfCsAppend(doc, " 0 0 ", 5);
    PdfCsNum(doc, h);
    PdfCsLine(doc, " 0 0 cm");
    PdfCsAppend(doc, " /Img", 5);
    PdfCsUInt(doc, resNum);
    PdfCsLine(doc, " Do");
    PdfCsLine(doc, "Q");
}

static void PdfCsTranslate(PdfDocRec* doc, double x, double y) {
    PdfCsAppend(doc, " 1 0 0 1 ", 9);
    PdfCsX(doc, x);
    PdfCsAppend(doc, "  ", 2);
    PdfCsY(doc, y);
    PdfCsLine(doc, " cm");
}

// A black frame around what was drawn, in the thinnest line, the pen and
// stroke colour put back after it.
static void PdfCsImageFrame(PdfDocRec* doc, double x, double y, double w, double h) {
    if (doc->penWidth != 0) PdfCsLine(doc, "0.000 w");
    PdfSetColor(doc, kPdfBlack, kPdfStroke);
    PdfCsX(doc, x);
    PdfCsAppend(doc, " ", 1);
    PdfCsY(doc, y + h);
    PdfCsSpaced(doc, w);
    PdfCsSpaced(doc, h);
    PdfCsLine(doc, " re");
    PdfCsLine(doc, "S");
    PdfSetColor(doc, doc->foreground, kPdfStroke);
    if (doc->penWidth != 1.0) {
        PdfCsNum(doc, doc->penWidth);
        PdfCsLine(doc, " w");
    }
}

int PdfDrawImage(PdfDocRec* doc, const PdfImageInput* img) {
    if (img->mode > kPdfImageCrop) return kPdfImageNotWritten;
    double x1 = PdfBoxStart(doc, img->left, kPdfHorz);
    double x2 = PdfToPoints(doc, img->right, kPdfHorz);
    double y1 = PdfBoxStart(doc, img->top, kPdfVert);
    double y2 = PdfToPoints(doc, img->bottom, kPdfVert);

    PdfImageRec* rec = nullptr;
    bool crop = img->mode == kPdfImageCrop;
    if (!crop && img->identity[0]) rec = PdfFindImage(doc, img->identity);
    if (rec) rec->list.used = 1;
    else rec = PdfWriteImage(doc, img, crop);
    if (!rec) return kPdfImageNotWritten;
    rec->identity[0] = crop ? 0 : img->identity[0];
    rec->identity[1] = crop ? 0 : img->identity[1];
    // The size placed is the written image's: a crop's, or the whole bitmap's.
    PdfImageArea a;
    if (!PdfImagePlan(img, crop, &a)) return kPdfImageNotWritten;
    int32_t iw = a.endCol - a.firstCol, ih = a.endRow - a.firstRow;

    auto bw = static_cast<int64_t>(x2 - x1), bh = static_cast<int64_t>(y2 - y1);
    PdfCsLine(doc, "q");
    double fx, fy, fw, fh;  // the frame: the drawn image, or the box
    if (img->mode != kPdfImageNatural) {
        int64_t sx = bw * kPdfScaleMilli / iw, sy = bh * kPdfScaleMilli / ih;
        int64_t dw = bw, dh = bh;
        if (sx < sy) dh = ih * sx / kPdfScaleMilli;
        else dw = iw * sy / kPdfScaleMilli;
        PdfCsTranslate(doc, x1, y1 + static_cast<double>(dh));
        PdfCsPlaceImage(doc, static_cast<double>(dw), static_cast<double>(dh), rec->list.resNum);
        fx = x1, fy = y1, fw = static_cast<double>(dw), fh = static_cast<double>(dh);
    } else {
        double bottom = bh > ih ? y1 + ih : y2;
        PdfCsX(doc, x1);
        PdfCsAppend(doc, " ", 1);
        PdfCsY(doc, y2);
        PdfCsSpaced(doc, static_cast<double>(bw));
        PdfCsSpaced(doc, static_cast<double>(bh));
        PdfCsLine(doc, " re");
        PdfCsLine(doc, " W n");
        PdfCsTranslate(doc, x1, bottom);
        PdfCsPlaceImage(doc, iw, ih, rec->list.resNum);
        fx = x1, fy = y1, fw = static_cast<double>(bw), fh = static_cast<double>(bh);
    }
    if (doc->flags & kPdfFlagImageFrame) PdfCsImageFrame(doc, fx, fy, fw, fh);
    return kPdfOk;
}
