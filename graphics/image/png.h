// png.h - the PNG reader: chunk scan, inflate, unfilter and conversion into a
// bottom-up DIB of 1, 4, 8, 24 or 32 bits.
#pragma once

#include <cstddef>
#include <cstdint>

#include "graphics/image/imagecore.h"
#include "session/util/qovtypes.h"

// PngDecode results.
enum PngResult {
    kPngOk = 0,
    kPngBadData = 1,      // the image data does not decompress
    kPngBadArgument = 2,  // null argument or zero length
    kPngNoSignature = 4,
    kPngBadCrc = 5,
    kPngBadFormat = 6,
    kPngTooLarge = 7,     // the picture passes the ceiling
    kPngNoMemory = 8,
    kPngResultCount = 9
};

// Background argument: a COLORREF (red in the low byte); top byte 0x01 makes it
// win over the file's bKGD; kPngNoBackground means none (white).
constexpr uint32_t kPngForceBackground = 0x01000000;
constexpr uint32_t kPngNoBackground = 0xFF000000;

struct PngHeader {
    uint32_t width;
    uint32_t height;
    uint8_t bitDepth;
    uint8_t colorType;
    uint8_t compression;
    uint8_t filter;
    uint8_t interlace;
};

// The decoded DIB: header (biSize 40, bottom-up, biSizeImage set), colour table
// (biClrUsed entries) and the rows in a LocalAllocZero block of biSizeImage bytes.
using PngImage = DecodedImage;

bool PngIsImage(const uint8_t* buffer, size_t length);
// The core. Its result codes are the PNG reader's own, so one code stands for
// several rules (kPngBadFormat); PngRule gives each its loader code and reason.
int PngDecode(const uint8_t* data, size_t length, PngImage* out, PngHeader* headerOut, uint32_t background);
const DecodeRule& PngRule(int result);
// Decodes the source of gImageDecodeState into it; 0, -3 or -6.
int PngLoad(uint32_t background);

// Undoes one row's filter in place: n bytes, prev the row above (zeros for the
// first), bpp the filter distance (1, 2, 3, 4, 6 or 8). PngUnfilterRow takes
// the vector path for Paeth and Average of 3- and 4-byte pixels where there is
// one; PngUnfilterPortable is the byte loop it must match.
void PngUnfilterRow(uint8_t filter, uint8_t* row, const uint8_t* prev, size_t n, size_t bpp);
void PngUnfilterPortable(uint8_t filter, uint8_t* row, const uint8_t* prev, size_t n, size_t bpp);
// Two rows one above the other, upper then lower, when both have the same
// filter, Paeth or Average, of 3- or 4-byte pixels and there is a vector
// path: the lower row's pixels overlap the upper row's in time. False (and
// nothing done) otherwise; the rows are then undone one by one.
bool PngUnfilterPair(uint8_t filter, uint8_t lowerFilter, uint8_t* upper, uint8_t* lower, const uint8_t* prev, size_t n,
                     size_t bpp);
// A group of three or four rows one above the other, `stride` bytes apart,
// all with the filter `filter`, Paeth or Average, of 3- or 4-byte pixels
// where there is a vector path: each row's pixels overlap in time those of
// the row above. False (and nothing done) otherwise.
bool PngUnfilterGroup(uint8_t filter, uint8_t* first, size_t rows, size_t stride, const uint8_t* prev, size_t n,
                      size_t bpp);
// Four rows the same way, each with its own filter (filters[k], unknown types
// leaving the bytes as stored), of 3- or 4-byte pixels where there is a
// vector path. False (and nothing done) otherwise.
bool PngUnfilterMixedGroup(const uint8_t* filters, uint8_t* first, size_t stride, const uint8_t* prev, size_t n,
                           size_t bpp);
// Adler-32 of the inflated image data, the zlib stream's check value (start: 1).
uint32_t PngAdlerUpdate(uint32_t adler, const uint8_t* data, size_t length);
// CRC-32 of the PNG chunks (ISO 3309, reflected).
uint32_t PngCrcUpdate(uint32_t crc, const uint8_t* data, size_t length);
uint32_t PngCrc(const uint8_t* data, size_t length);
