// bmp.h - the reader of BMP files and bare DIBs.
#pragma once

#include <cstddef>
#include <cstdint>

#include "graphics/image/imagecore.h"

// BmpDecodeBuffer results, one per rule; BmpRule gives each its loader code
// and reason.
enum BmpResult {
    kBmpOk = 0,
    kBmpShortFileHeader,    // "BM" without the pixel offset word
    kBmpBadHeaderSize,      // header size not 12, 40, 108 or 124
    kBmpShortHeader,        // the header runs past the data
    kBmpBadBitCount,
    kBmpBadCompression,     // compression unknown or not for this depth
    kBmpBadDimensions,      // zero or negative width, zero height
    kBmpTopDownRle,
    kBmpTooManyColours,     // more than 256 for 8 bits or fewer
    kBmpShortMasks,
    kBmpTooLarge,           // the rows pass the byte cap
    kBmpShortTable,
    kBmpPixelsInHeaders,    // bfOffBits points into the headers or colour table
    kBmpPixelsPastEnd,      // bfOffBits points past the data
    kBmpNoRunLength,        // run-length data of no bytes at all
    kBmpRunLengthTooLong,   // more run-length data than the image size
    kBmpShortPixels,        // fewer pixel bytes than the rows need
    kBmpNoMemory,
    kBmpResultCount
};

// The core: a BMP file or bare DIB of `length` bytes into *out. lengthKnown
// says whether length is the file's real size; when it is not, run-length
// data is taken up to the image size instead of being refused past it.
// The bits block holds the rows (stride x height) or, for run-length data,
// the compressed bytes the file holds, never more than the image size.
int BmpDecodeBuffer(const uint8_t* data, size_t length, bool lengthKnown, DecodedImage* out);
const DecodeRule& BmpRule(int result);

// BMP file or bare DIB at the source position of gImageDecodeState. size is the
// total source size, 0 when unknown: the state's source size then bounds the
// reads and run-length data is taken up to the image size. 0, -3 or -6.
int BmpDecode(uint32_t size);
int BmpDecodeUnsized();
