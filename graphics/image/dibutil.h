// dibutil.h - DIB helpers shared by the picture, image-list and toolbar code:
// row sizes, pixel runs, image strips, transparent masks and the BMP writer.
#pragma once

#include <cstddef>
#include <cstdint>

#include "session/util/qovtypes.h"

enum DibWriteResult {
    kDibWriteOk = 0,
    kDibWriteNoCreate = -103,
    kDibWriteNoFileHeader = -104,
    kDibWriteNoHeader = -105,
    kDibWriteNoPixels = -106,
    kDibWriteNoClose = -107,
};

// Writes a .BMP file: header is a 40-byte BITMAPINFOHEADER followed by its
// masks (BI_BITFIELDS) and biClrUsed colours; bits the bottom-up rows.
int DibWriteBmpFile(const char* path, const BITMAPINFOHEADER* header, const void* bits);

// Bytes of one DIB row (padded to 4), or 0 when the size passes the cap.
size_t DibRowBytes(uint32_t width, uint32_t bitCount);

// n 8-bit RGB pixels from s into the DIB's BGR order at d (not overlapping).
void DibRgbToBgr(const uint8_t* s, size_t n, uint8_t* d);
#if defined(__i386__) || defined(__x86_64__)
// Whether the processor has SSSE3's byte shuffle and multiply-add (asked once),
// for the decoders' vector paths, and the vector cap allows them.
bool DibCpuHasSsse3();
#endif
// The most the decoders' vector paths may use: all the processor has, only
// what every x86 processor has (SSE2: the paths taken without SSSE3 and
// PCLMUL), or none (the portable loops of other processors). Tests lower it
// to run those paths on any processor and compare their pictures.
enum DibVectorLevel { kDibVectorNone, kDibVectorSse2, kDibVectorAll };
extern DibVectorLevel gDibVectorCap;

// Copies count pixels of bitCount (1, 4, 8, 16, 24 or 32) bits from pixel
// srcX of a row to pixel dstX of another.
void CopyPixelRun(uint8_t* dst, uint32_t dstX, const uint8_t* src, uint32_t srcX, uint32_t count,
                  uint32_t bitCount);

// The core of an image list's strip: the images of a grid bitmap (rows of
// bitmap width / image width images, left to right) laid out in one row.
// Fills stripHeader and a new LocalAllocZero block; 0, 2 (no image size),
// 5 (unsupported depth) or 6 (no memory).
int DibGridToStrip(const BITMAPINFOHEADER* header, const uint8_t* bits, uint32_t imageWidth,
                   uint32_t imageHeight, uint32_t count, BITMAPINFOHEADER* stripHeader, uint8_t** stripBits);

// Resolves a negative colour (a system colour index) for ApplyTransparentMask;
// the window code fills it in. Default: black.
extern uint32_t (*gDibSystemColor)(int index);

// Sets every image pixel under a set mask bit to the colour's table index.
// header is followed by its colour table; the mask is a 1-bit DIB.
bool ApplyTransparentMask(int32_t colour, const BITMAPINFOHEADER* header, uint8_t* bits,
                          const BITMAPINFOHEADER* maskHeader, const uint8_t* maskBits);

// The 1-bit display reduction of a picture shown below 100 % (zoom in per
// mille): each output pixel covers a cell of source pixels. Both answer 0,
// -3 (not a 1-bit image, or a zoom of 1000 or more) or -6 (no memory) and
// hand back a new LocalAllocZero block of bottom-up rows.
// Set bits in the source pixels [x0, x1) of DIB rows [y0, y1).
uint32_t MonoCellCount(const uint8_t* bits, size_t stride, uint32_t x0, uint32_t x1, uint32_t y0, uint32_t y1);
// A 1-bit view whose pixels are the OR of their cells, so thin dark lines on
// a light background stay visible; the colour table stays the source's.
int MonoReduceOr(const BITMAPINFOHEADER* header, const uint8_t* bits, uint32_t zoom, BITMAPINFOHEADER* outHeader,
                 uint8_t** outBits);
// An 8-bit view on five greys: each cell's share of set bits, error-diffused.
// outColors receives 255, 192, 128, 64, 0, reversed when the source's first
// colour has blue 0 (set bits are then the light ones).
int MonoReduceGrey(const BITMAPINFOHEADER* header, const RGBQUAD* colors, const uint8_t* bits, uint32_t zoom,
                   BITMAPINFOHEADER* outHeader, RGBQUAD outColors[5], uint8_t** outBits);
// One row of the grey view's error diffusion (Floyd-Steinberg, serpentine):
// values are the cell greys 0..255; errors are carried in sixteenths, errNext
// collects the share for the row below; out receives the levels 0..4.
void DitherRow(const int* values, int* errThis, int* errNext, uint32_t width, bool rightToLeft, uint8_t* out);
// Quantises rows of cell greys (0..255, bottom-up) to levels 0..4 in place,
// reversing direction on every row; work holds 3 x width ints, zero-filled.
void MonoDitherRows(uint8_t* rows, size_t stride, uint32_t width, uint32_t height, int* work);
