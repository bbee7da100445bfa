// gif.h - the GIF reader: the first image of a GIF 87a/89a file as a 1-, 4- or
// 8-bit DIB.
#pragma once

#include <cstddef>
#include <cstdint>

#include "graphics/image/imagecore.h"

// GifDecodeBuffer results, one per rule; GifRule gives each its loader code
// and reason.
enum GifResult {
    kGifOk = 0,
    kGifShortScreen,        // the header and screen descriptor are cut short
    kGifNoSignature,        // not "GIF", two digits and a letter
    kGifShortGlobalTable,
    kGifShortExtension,     // the data ends inside an extension
    kGifNoImage,            // something other than an image follows the extensions
    kGifShortDescriptor,
    kGifShortLocalTable,
    kGifNoColourTable,
    kGifBadDimensions,      // zero width or height
    kGifTooWide,            // wider than the 4097-pixel line buffer
    kGifTooLarge,           // the rows pass the byte cap
    kGifBadCodeSize,        // an LZW code size outside 2..9
    kGifNoMemory,
    kGifResultCount
};

// The core: the first image of a GIF file of `length` bytes into *out.
// Truncated or corrupt image data keeps the rows decoded so far.
int GifDecodeBuffer(const uint8_t* data, size_t length, DecodedImage* out);
const DecodeRule& GifRule(int result);

// Decodes the source of gImageDecodeState; 0, -3 or -6.
int GifDecode();
// The next source byte (0..255), or -1 when the source is used up.
int GifReadByte();
