// pcx.h - the PCX reader: one PCX picture, or one page of a multi-page DCX
// file, into a bottom-up DIB of 1, 4, 8 or 24 bits.
#pragma once

#include <cstddef>
#include <cstdint>

#include "graphics/image/imagecore.h"

// PcxDecodeBuffer results, one per rule; PcxRule gives each its loader code
// and reason.
enum PcxResult {
    kPcxOk = 0,
    kPcxDcxNoEnd,          // the DCX page table has no 0 entry
    kPcxDcxBadOffset,      // a DCX page offset outside the file or below the one before
    kPcxDcxNoPage,         // the page asked for is not in the table
    kPcxShortHeader,       // fewer than 128 bytes
    kPcxNoSignature,       // the first byte is not 10
    kPcxBadDepth,          // bits per pixel and planes of no supported kind
    kPcxBadExtent,         // Xmax below Xmin, Ymax below Ymin, or no bytes per line
    kPcxTooLarge,          // the rows pass the byte cap
    kPcxShortData,         // the scan data ends before the picture
    kPcxPastImage,         // a run goes on past the last scan line
    kPcxNoMemory,
    kPcxResultCount
};

// The DCX magic, a little-endian u32 at offset 0.
constexpr uint32_t kDcxMagic = 0x3ADE68B1;

// True when the buffer starts with the DCX magic or the PCX manufacturer byte.
bool PcxIsImage(const uint8_t* buffer, size_t length);
// PcxIsImage of the source of gImageDecodeState.
bool PcxIsCurrentImage();

// The core: page (1 = first; 0 is read as 1, used by DCX files only) of a
// file of `length` bytes into *out. *pageCount (when not null) receives a DCX
// file's page count; a plain PCX leaves it alone.
int PcxDecodeBuffer(const uint8_t* data, size_t length, uint16_t page, DecodedImage* out, uint32_t* pageCount);
const DecodeRule& PcxRule(int result);

// Decodes the source of gImageDecodeState; 0, -3 or -6.
int PcxDecode(uint16_t page, uint32_t* pageCount);
