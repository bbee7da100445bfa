// raster_kit.h - builders of small TIFF, PCX and DCX files for the decoder
// tests, the fuzz seeds and the benchmark, and the helpers the reference tests
// share: temporary paths, decoding a set-up file, and failing (not skipping)
// when the set-up data is missing.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "image_testkit.h"

enum TiffKitType : uint16_t { kKitByte = 1, kKitShort = 3, kKitLong = 4 };

// One directory entry. For tags 273 (StripOffsets) and 513 (the JPEG
// interchange offset) the values count from the start of the page's data
// block and MakeTiff moves them to file offsets.
struct TiffField {
    uint16_t tag;
    uint16_t type;
    std::vector<uint32_t> values;
};
struct TiffPage {
    std::vector<TiffField> fields;
    Bytes data;
};
// Header, then per page its data block, its directory and the values that do
// not fit in their entries; the pages are chained in order.
Bytes MakeTiff(const std::vector<TiffPage>& pages, bool bigEndian = false);
// The fields of a one-sample or RGB image in one strip per `rowsPerStrip`
// rows whose byte counts are given.
std::vector<TiffField> TiffImageFields(uint32_t width, uint32_t length, uint32_t bits, uint32_t samples,
                                       uint32_t compression, uint32_t photometric, uint32_t rowsPerStrip,
                                       const std::vector<uint32_t>& stripCounts);
// Sets (or adds) a field, keeping the tags in order.
void TiffSetField(std::vector<TiffField>* fields, uint16_t tag, uint16_t type, const std::vector<uint32_t>& values);
void TiffDropField(std::vector<TiffField>* fields, uint16_t tag);

// PCX: a 128-byte header with the given fields, the run-length coded scan
// bytes and, when given, the 256-colour end palette behind the marker 12.
struct PcxSpec {
    uint8_t version = 5;
    uint8_t bits = 8;
    uint8_t planes = 1;
    uint16_t xmin = 0, ymin = 0, xmax = 0, ymax = 0;
    uint16_t bytesPerLine = 0;
    Bytes headerPalette;   // up to 48 bytes of red, green, blue
};
Bytes MakePcx(const PcxSpec& spec, const Bytes& coded, const Bytes& endPalette = {});
// PCX run-length coding of raw scan bytes: runs up to 63, values of 0xC0
// and above always as a run.
Bytes PcxRle(const Bytes& raw);
// A DCX file of the given pages.
Bytes MakeDcx(const std::vector<Bytes>& pages);

// Runs the TIFF or PCX decoder of `format` on the bytes for a page, as the
// loaders do; *pageCount receives the page count when the decoder reports one.
int DecodePage(int format, const Bytes& file, uint16_t page, uint32_t* pageCount);

// A fresh path in the temporary directory.
std::string KitTempPath(const std::string& name);
// The set-up data folder QOV_TESTDATA/tiffpcx/<sub>; adds a test failure
// (the tests must not pass silently without their corpus) and answers "" when
// it is missing. Defined by the reference tests.
std::string RequiredTestData(const std::string& sub);
// Runs a command and answers its exit status.
int RunStatus(const std::string& cmd);
// A binary PBM (P4) or PGM/PPM (P5/P6) of the given rows.
Bytes MakePbm(uint32_t width, uint32_t height, const Bytes& packedRows);
Bytes MakePnm(uint32_t width, uint32_t height, int channels, const Bytes& samples);
