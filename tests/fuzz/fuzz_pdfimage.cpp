// fuzz_pdfimage.cpp - the PDF image writer over hostile bitmaps: the input's
// first 48 bytes give the header values (width, height, depth, palette size,
// data size, mode, crop, box), the rest the pixels and the palette. Whatever
// they claim, the writer reads only what it was given.
#include <cstdint>
#include <cstring>
#include <vector>

#include "print/pdf/pdf.h"
#include "session/util/bytereader.h"

constexpr size_t kPdfImageFuzzHead = 48;
constexpr size_t kPdfImageFuzzPalette = 1024;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ByteReader r(data, size);
    uint32_t w, h, bits, palette, dataSize, mode, rows, cols, box;
    if (!r.U32At(0, &w) || !r.U32At(4, &h) || !r.U32At(8, &bits) || !r.U32At(12, &palette) ||
        !r.U32At(16, &dataSize) || !r.U32At(20, &mode) || !r.U32At(24, &rows) || !r.U32At(28, &cols) ||
        !r.U32At(32, &box) || !r.Has(0, kPdfImageFuzzHead))
        return 0;
    // Small pictures only, so that a run stays quick; the checks still see
    // every claim against the bytes really there.
    PdfImageInput in;
    memset(&in, 0, sizeof in);
    in.width = static_cast<int32_t>(w % 300) - 2;
    in.height = static_cast<int32_t>(h % 300) - 2;
    in.bitsPerPixel = static_cast<WORD>(bits & 0x3F);
    in.paletteSize = palette % 300;
    in.mode = mode % 4;
    in.firstRow = static_cast<int8_t>(rows), in.endRow = static_cast<int16_t>(rows >> 8);
    in.firstCol = static_cast<int8_t>(cols), in.endCol = static_cast<int16_t>(cols >> 8);
    in.top = static_cast<WORD>(box & 0xFF), in.bottom = static_cast<WORD>((box >> 8) & 0x3FF);
    in.left = static_cast<WORD>((box >> 18) & 0xFF), in.right = static_cast<WORD>(box >> 22);
    in.identity[0] = data[36] & 1;
    in.topDown = data[37] & 1;
    // The pixels and palette in their own buffers of exactly the size there.
    std::vector<uint8_t> pal(data + (size > kPdfImageFuzzHead ? kPdfImageFuzzHead : size),
                             data + (size > kPdfImageFuzzHead + kPdfImageFuzzPalette ? kPdfImageFuzzHead + kPdfImageFuzzPalette : size));
    pal.resize(kPdfImageFuzzPalette);
    size_t pixAt = kPdfImageFuzzHead + kPdfImageFuzzPalette;
    std::vector<uint8_t> pixels(size > pixAt ? data + pixAt : data + size, data + size);
    in.pixels = pixels.data();
    in.dataSize = dataSize % 2 ? static_cast<DWORD>(pixels.size()) : dataSize % static_cast<DWORD>(pixels.size() + 1);
    in.palette = pal.data();
    static PdfDocRec* doc = nullptr;
    if (!doc && PdfBegin("fuzz-pdfimage.pdf", &doc, (data[38] & 1) ? (1u << 26) : 0, 600) != 0) return 0;
    PdfDrawImage(doc, &in);
    doc->contentLen = 0;
    return 0;
}
