// tiff.h - the TIFF reader: one page (directory) of a file held in memory into
// a bottom-up DIB of 1, 4, 8 or 24 bits, uncompressed or compressed with
// modified Huffman, Group 4, LZW or PackBits; old-style JPEG pages that carry
// a JFIF stream are handed to the JPEG reader.
#pragma once

#include <cstddef>
#include <cstdint>

#include "graphics/image/imagecore.h"

// TiffDecodeBuffer results, one per rule; TiffRule gives each its loader code
// and reason.
enum TiffResult {
    kTiffOk = 0,
    kTiffNoHeader,           // not "II"/"MM" and 42, or the first directory outside
    kTiffNoPage,             // the page asked for is not in the chain
    kTiffDirectoryCycle,     // the directory chain loops
    kTiffShortDirectory,     // a directory or a tag's values pass the end
    kTiffNoBitsPerSample,
    kTiffUnequalBits,        // samples of different sizes, or fewer sizes than samples
    kTiffBadCompression,
    kTiffNoStripOffsets,
    kTiffNoByteCounts,       // several strips without StripByteCounts
    kTiffShortStripArrays,   // fewer strip offsets or byte counts than strips
    kTiffJpegNoInterchange,  // compression 6 without JPEGInterchangeFormat
    kTiffJpegOutside,        // the interchange data or a strip passes the end
    kTiffJpegNotJfif,
    kTiffJpegFailed,         // the JPEG reader refuses the JFIF stream
    kTiffBadPlanar,
    kTiffBadFillOrder,
    kTiffNoSize,             // width or length missing or zero
    kTiffZeroRowsPerStrip,
    kTiffBadSamples,         // a sample count other than 1 or 3
    kTiffBadRgb,             // three samples that are not 8-bit RGB
    kTiffBadBits,            // bits per sample other than 1, 2, 4, 8
    kTiffBadPhotometric,
    kTiffShortColorMap,
    kTiffFaxNotBilevel,      // fax compression of more than one bit per pixel
    kTiffFaxTooWide,         // Group 4 rows wider than 65535
    kTiffTooLarge,           // the picture passes the ceiling
    kTiffStripOutside,       // a strip's data passes the end of the file
    kTiffPackBitsOverrun,    // a PackBits run passes the strip
    kTiffPackBitsShort,      // the PackBits data ends before the strip is full
    kTiffFaxBadCode,
    kTiffFaxRunPastRow,
    kTiffFaxShortData,
    kTiffFaxExtension,
    kTiffStripsCannotFill,   // the strips' bytes cannot yield the picture's rows
    kTiffNoMemory,
    kTiffJpegStripsOverlap,  // old-style JPEG strips that share bytes
    kTiffResultCount
};

// The core: page (1 = first; 0 is read as 1) of a TIFF file of `length`
// bytes into *out. *pageCount (when not null) receives the number of
// directories as soon as the page's directory has been read.
int TiffDecodeBuffer(const uint8_t* data, size_t length, uint16_t page, DecodedImage* out, uint32_t* pageCount);
const DecodeRule& TiffRule(int result);

// Decodes the source of gImageDecodeState; 0, -3 or -6.
int TiffDecode(uint16_t page, uint32_t* pageCount);
