// image_testkit.h - builders of small PNG, GIF, JPEG and BMP files for the
// decoder tests and the benchmark, and helpers that read decoded DIBs back.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "session/util/qovtypes.h"

using Bytes = std::vector<uint8_t>;

// PNG: signature, then chunks appended with their CRC.
Bytes PngSignature();
void PngAddChunk(Bytes* png, const char* type, const Bytes& data);
Bytes PngIhdr(uint32_t width, uint32_t height, uint8_t depth, uint8_t colorType, uint8_t interlace);
// The Paeth predictor as an encoder computes it, from left, upper and upper-left.
int Paeth(int a, int b, int c);
// zlib data of packed rows (each row already without filter byte), filtered
// with the given filter type (0..4) per row, or cycling 0..4 when filter < 0.
Bytes PngIdatData(const Bytes& rows, uint32_t rowBytes, uint32_t height, uint32_t bpp, int filter, int level);
// A whole non-interlaced PNG; plte optional (RGB triplets).
Bytes MakePng(uint32_t width, uint32_t height, uint8_t depth, uint8_t colorType, const Bytes& rows,
              const Bytes& plte = {}, int filter = 0, int level = 6);

// GIF with an LZW encoder of its own. pixels: one index per pixel, rows top
// down in display order; interlaced stores them in the format's pass order.
struct GifSpec {
    uint32_t width = 1, height = 1;
    Bytes globalTable;   // RGB triplets (2^n entries) or empty
    Bytes localTable;    // RGB triplets or empty
    bool interlaced = false;
    int minCodeSize = 0; // 0: from the table size
    bool extension = true;
};
Bytes MakeGif(const GifSpec& spec, const Bytes& pixels);

// A JPEG written by libjpeg into memory: `setup` gives the compressor the
// picture's parameters before it starts; row r is read at pixels + r * rowBytes.
struct jpeg_compress_struct;
Bytes WriteJpegWith(const std::function<void(jpeg_compress_struct*)>& setup, const uint8_t* pixels,
                    size_t rowBytes);
// JPEG through libjpeg: components 1 (grey), 3 (RGB) or 4 (CMYK, stored
// inverted as Adobe does).
Bytes MakeJpeg(uint32_t width, uint32_t height, int components, const Bytes& pixels, int quality,
               bool progressive, bool subsample420 = false);
// The markers of a 4:2:0 colour JPEG (progressive or baseline) whose frame
// declares width x height, then its first scan header `scans` times over with
// no data between, then the end marker: a file of a few hundred bytes per
// thousand scans that asks for the whole picture.
Bytes JpegHeadersWithoutData(uint32_t width, uint32_t height, bool progressive, uint32_t scans);

// A BMP file from a header (biSize, width, height, bits, compression filled),
// an optional block between header and table (masks), the table and pixels.
Bytes MakeBmp(const Bytes& header, const Bytes& table, const Bytes& pixels, bool fileHeader = true);
Bytes InfoHeader(int32_t width, int32_t height, uint16_t bits, uint32_t compression, uint32_t clrUsed = 0,
                 uint32_t size = 40, uint32_t sizeImage = 0);
// The 12-byte core header of OS/2 bitmaps, which states no colour count.
Bytes CoreHeader(uint16_t width, uint16_t height, uint16_t bits);
// An OS/2 bitmap, 32 x 32 x 8, whose table holds only the 252 colours used
// (three-byte entries), its pixels the indices 0..251 over and over.
Bytes Os2ShortTableBitmap();

// The decoded image of gImageDecodeState as top-down RGB triplets.
Bytes StateToRgb();
// Runs the decoder of `format` on the bytes through ImageLoadFromMemory.
int DecodeBytes(int format, const Bytes& file);

Bytes ReadFileBytes(const std::string& path);
bool WriteFileBytes(const std::string& path, const Bytes& data);
// QOV_TESTDATA/image/<sub>, or empty when the set-up data is absent.
std::string ImageTestData(const std::string& sub);
// Why ImageTestData(sub) is empty, naming the missing folder. The test command
// always installs the set-up data, so a test without it fails with this text
// rather than skip (a skip would count as a pass).
std::string MissingImageTestData(const std::string& sub);
// Runs a shell command and returns its standard output.
Bytes RunCommand(const std::string& cmd);
// Largest per-byte difference of two equal-length blocks (256 when lengths differ).
int MaxDiff(const Bytes& a, const Bytes& b);
