// jpeg.h - JPEG reading through libjpeg-turbo from memory into a 24-bit or
// 8-bit DIB.
#pragma once

#include <cstddef>
#include <cstdint>

#include "graphics/image/imagecore.h"

// JpegDecodeBuffer results, one per rule; JpegRule gives each its loader code
// and reason. The library's refusals are told apart by where they happen.
enum JpegResult {
    kJpegOk = 0,
    kJpegNoData,            // no bytes at all
    kJpegBadHeader,         // the library cannot read the markers up to the first scan
    kJpegBadPrecision,      // samples other than 8 bits
    kJpegBadColourSpace,    // an output colour space other than RGB, grey or CMYK
    kJpegNoSize,            // zero output width or height
    kJpegTooLarge,          // the rows and what the caller holds pass the byte cap
    kJpegLibraryMemory,     // the library's working memory passes what the cap leaves
    kJpegBadData,           // the library fails inside the image data
    kJpegNoMemory,
    kJpegTooManyScans,      // more scans than any real file has
    kJpegResultCount
};

// True when the library reads a JPEG header from the buffer.
bool JpegIsImage(const uint8_t* buffer, size_t length);

// The core: a JPEG file of `length` bytes into *out. Data that ends early
// keeps the rows read so far. heldBytes: what the caller holds for this
// decode beside the picture (a joined stream), counted against the cap with
// the picture and the library's working memory.
int JpegDecodeBuffer(const uint8_t* data, size_t length, DecodedImage* out, uint64_t heldBytes = 0);
const DecodeRule& JpegRule(int result);

// Decodes the source of gImageDecodeState; 0, -3 or -6.
int JpegDecode();
