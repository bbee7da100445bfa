// imagecore.h - the shape every pure decoder core follows: a buffer in, a
// DecodedImage out, and a result of the decoder's own enum whose row in the
// decoder's rule table gives the code the loaders answer and the rule that
// refused the file in a few words. The loaders' entry points (BmpDecode,
// GifDecode, JpegDecode, PngLoad) are adapters over their cores.
//
// A decoder follows it with, in its header: an enum of results (0 success,
// one value per rule, a closing count), the core `XxxDecodeBuffer` (data,
// length, its own arguments such as a page, DecodedImage*) and `XxxRule`
// (result); in its source a DecodeRule table indexed by the enum. The core
// keeps its working tables in its own call and touches no global state; the
// entry point of the loaders is `return ImageAdoptDecoded(XxxRule(rc), &image)`.
// Tests call the core and compare the result with the rule meant.
#pragma once

#include <cstddef>
#include <cstdint>

#include "session/util/qovtypes.h"

// A decoded picture: a 40-byte header (bottom-up, biSizeImage the size of the
// bits block), the colour table (biClrUsed entries; with BI_BITFIELDS the first
// 12 bytes are the masks) and the rows in a LocalAllocZero block that the
// caller owns once the core succeeded. A refusing core leaves bits null.
struct DecodedImage {
    BITMAPINFOHEADER header;
    RGBQUAD colors[256];
    uint8_t* bits;
};

// The ceiling of every picture block a decoder takes (gImageByteCap): an A3
// page at 600 dpi in 24-bit colour, with room left in the 32-bit client's
// address space for the picture's copies. A picture past it answers kImgNoMemory
// with this reason.
constexpr uint64_t kImageByteCeiling = 256ull << 20;
constexpr const char* kImageCeilingReason = "the picture passes the 256 MiB ceiling";

// One row of a decoder's rule table, indexed by the decoder's result.
struct DecodeRule {
    int loaderCode;      // kImgOk, kImgInvalid or kImgNoMemory
    const char* reason;  // the rule in a few words
};

// The row of `result` in a table of `count` rows. A result outside the table
// gets a row that refuses with kImgInvalid, so a stray result never reads as
// success.
const DecodeRule& DecodeRuleOf(const DecodeRule* rules, int count, int result);

// The adapter step of every entry point: on a result whose loader code is
// kImgOk the image moves into gImageDecodeState (its previous bits block is
// freed); otherwise whatever the image holds is freed. Answers the loader code.
int ImageAdoptDecoded(const DecodeRule& rule, DecodedImage* image);

// Clears an image before a core fills it.
void DecodedImageClear(DecodedImage* image);
// Frees the bits a refusing core leaves behind.
void DecodedImageDropBits(DecodedImage* image);

// The entry point of a decoder of several pages (PCX/DCX, TIFF): its core over
// the source in gImageDecodeState for the page, adopted by its rule.
using PagedDecodeCore = int (*)(const uint8_t* data, size_t length, uint16_t page, DecodedImage* out,
                                uint32_t* pageCount);
using PagedDecodeRule = const DecodeRule& (*)(int result);
int ImageDecodePaged(PagedDecodeCore core, PagedDecodeRule rule, uint16_t page, uint32_t* pageCount);
