// ccitt.h - the bilevel fax decoders of TIFF strips: modified Huffman rows
// (one-dimensional, each row byte-aligned) and two-dimensional Group 4 coding,
// both with the run-length codes of ITU-T T.4. Output rows are packed most
// significant pixel first, (width + 7) / 8 bytes each, black runs as 1 bits.
#pragma once

#include <cstddef>
#include <cstdint>

enum CcittResult {
    kCcittOk = 0,
    kCcittBadCode,      // bits that are no run-length or mode code
    kCcittRunPastRow,   // a run or a changing element beyond the row width
    kCcittShortData,    // the strip ends before its rows are complete
    kCcittExtension,    // a two-dimensional extension code
    kCcittBadArgument,  // output too small for the rows, or zero width
    kCcittNoMemory,
};

// The widest row the two-dimensional decoder accepts: its changing-element
// positions are kept in 16 bits.
constexpr uint32_t kCcittMaxWidth = 65535;

// The code lookup tables, built by one call for all the strips it decodes;
// null when out of memory.
struct CcittTables;
CcittTables* CcittTablesNew();
void CcittTablesFree(CcittTables* tables);

// msbFirst: take the bits of every byte from the most significant one.
int CcittMhDecode(const CcittTables& tables, const uint8_t* data, size_t length, uint8_t* out, size_t outSize,
                  size_t bytesPerRow, uint32_t rows, uint32_t width, bool msbFirst);
int CcittFax2dDecode(const CcittTables& tables, const uint8_t* data, size_t length, uint8_t* out, size_t outSize,
                     uint32_t width, uint32_t rows, bool msbFirst);

// Reverses the bit order of every byte of a block in place.
void CcittReverseBits(uint8_t* data, size_t length);
